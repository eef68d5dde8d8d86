#pragma once
// A picture set aside until it is looked at again: the picture as loaded,
// kept for the comparison with the filtered one. A page at 600 dpi is about
// a hundred megabytes that sit unused while the user works on the spectrum,
// so the bytes go to an unnamed file in the temporary folder (gone with the
// process, whatever way it ends) and come back when they are shown. The file
// is written on a thread of its own, from a copy that is freed once written,
// so that a slow disk never holds up the window (the copy itself costs what
// keeping the picture in memory always did). Where no such file can be
// written the picture stays in memory, as it always could.
//
// Assigning and reset() follow std::optional, which this replaces. All
// calls come from one thread.

#include "spectral/bitmap.h"

#include <cstdint>
#include <optional>
#include <thread>

class TKeptPicture {
public:
    TKeptPicture() = default;
    ~TKeptPicture();
    TKeptPicture(const TKeptPicture&) = delete;
    TKeptPicture& operator=(const TKeptPicture&) = delete;

    TKeptPicture& operator=(const TBitmap24& picture);
    TKeptPicture& operator=(TBitmap24&& picture);
    void reset();
    bool has_value() const { return kept_; }
    explicit operator bool() const { return kept_; }

    // The kept picture into `picture`, and what `picture` held kept instead.
    void SwapWith(TBitmap24& picture);
    // Waits for the file to be written; then whether the bytes are in the
    // file rather than in memory.
    bool InFile();

private:
    // Forgets what was kept; false when there is no file to keep it in.
    bool StartKeeping(int32_t width, int32_t height);
    // Hands the picture, or a copy of it, to the writing thread.
    void KeepMoved(TBitmap24&& picture);
    void KeepCopy(const TBitmap24& picture);
    // Waits for the writing thread; a picture it could not write stays in
    // memory.
    void Join();
    TBitmap24 ReadFile() const;
    void CloseFile();

    bool kept_ = false;
    int fd_ = -1;
    int32_t width_ = 0, height_ = 0;
    std::optional<TBitmap24> memory_;
    std::thread writer_;
    // The writing thread's outcome, read after the join: the picture back
    // when the file could not take it.
    std::optional<TBitmap24> unwritten_;
};
