#pragma once
// Whole-file reading and writing for every file the program writes (images,
// filters, stored spectra, settings). A write goes to a temporary file in the
// target's own folder that is renamed over the target only when complete, so
// a failed write never leaves a truncated file in place of a good one.
//
// Temporary files are named ".pixmend-HOST-PID-XXXXXX". They are removed on
// every error path and, through a handler installed with the first write,
// when the process is stopped by SIGINT or SIGTERM. Those left by a process
// that was killed outright are removed by the next write into the same
// folder from the same machine once their process is gone; a folder shared
// by several machines keeps the files of the others, whose processes cannot
// be asked about here.

#include "spectral/messages.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Reads the whole file. Throws EFileError "Datei %s kann nicht geöffnet
// werden" when it cannot be opened or read (also for a folder), and when it is
// larger than maxBytes.
std::string ReadWholeFile(const std::string& fileName, size_t maxBytes = size_t(1) << 31);

// Replaces the file's contents. A symbolic link is followed and the file it
// points at is replaced, in that file's folder; an existing target that is a
// device, a pipe or a socket is refused with EFileError "%s is not a regular
// file and is not replaced" (a folder with the message below). Any other failure throws
// EFileError "Datei %s kann nicht erstellt werden"; the previous file then
// stays as it was. A replaced file keeps its permission bits, a new one gets
// those of a plain creation.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);

// The standard messages, with the name filled in.
TMessage CannotOpenMessage(const std::string& fileName);
TMessage CannotCreateMessage(const std::string& fileName);

// A temporary file ".pixmend-HOST-PID-XXXXXX" in a folder, created empty with the
// permissions of a plain creation and registered for removal on SIGINT and
// SIGTERM. The destructor removes it unless Commit renamed it over a target.
class TTempFile {
public:
    // folder is empty or ends in '/'. Throws EFileError with failMessage when
    // no file can be created there.
    TTempFile(const std::string& folder, const TMessage& failMessage);
    ~TTempFile();
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    int Descriptor() const { return fd_; }
    const std::string& Name() const { return name_; }
    // Closes the descriptor and renames the file to target; false on failure
    // (the file is then still removed by the destructor).
    bool Commit(const std::string& target);

private:
    std::string name_;
    int fd_ = -1;
    int slot_ = -1;
    bool committed_ = false;
};

// The same written piece by piece, for files too large to build in memory
// first (stored spectra and images of big scans): the pieces go into the
// temporary file, Commit renames it over the target. Links, targets that are
// not regular files and permissions as for WriteFileAtomically. A writer
// destroyed without Commit (an error on the way) removes its temporary file
// and leaves the target as it was. Write and Commit throw the "kann nicht
// erstellt werden" error.
class TAtomicFileWriter {
public:
    explicit TAtomicFileWriter(std::string fileName);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;
    void Write(std::string_view bytes);
    // The temporary file, for writers that seek (a TIFF's directory offset
    // goes back into its header); -1 after a failure.
    int Descriptor() const { return temp_ ? temp_->Descriptor() : -1; }
    void Commit();

private:
    [[noreturn]] void Fail();
    std::string fileName_, target_;
    std::optional<TTempFile> temp_;
    bool exists_ = false;
    unsigned mode_ = 0;
};

// Removes the temporary files of this machine's processes that no longer
// exist from a folder (empty or ending in '/'). Each folder is swept once per
// process; WriteFileAtomically calls this.
void RemoveStaleTempFiles(const std::string& folder);
