#include "app/kept_picture.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Pieces of this size go to and from the file in one call.
constexpr size_t kPiece = size_t(8) << 20;

// An unnamed file in the temporary folder: its name goes at once, so the
// bytes vanish when the descriptor is closed or the process ends. -1 when
// none can be made.
int UnnamedFile() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) return -1;
    std::string name = (folder / "pixmend-kept-XXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
    if (::ftruncate(fd, 0) != 0) return false;
    for (size_t at = 0; at < size;) {
        const ssize_t wrote = ::pwrite(fd, bytes + at, std::min(kPiece, size - at), off_t(at));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        at += size_t(wrote);
    }
    return true;
}

} // namespace

TKeptPicture::~TKeptPicture() {
    Join();
    CloseFile();
}

void TKeptPicture::CloseFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void TKeptPicture::Join() {
    if (!writer_.joinable()) return;
    writer_.join();
    if (unwritten_) {
        CloseFile();
        memory_ = std::move(unwritten_);
        unwritten_.reset();
    }
}

void TKeptPicture::reset() {
    Join();
    kept_ = false;
    memory_.reset();
    width_ = height_ = 0;
    CloseFile();
}

bool TKeptPicture::InFile() {
    Join();
    return kept_ && !memory_;
}

bool TKeptPicture::StartKeeping(int32_t width, int32_t height) {
    Join();
    memory_.reset();
    kept_ = true;
    width_ = width;
    height_ = height;
    if (fd_ < 0) fd_ = UnnamedFile();
    return fd_ >= 0;
}

void TKeptPicture::KeepMoved(TBitmap24&& picture) {
    if (!StartKeeping(picture.Width, picture.Height)) {
        memory_ = std::move(picture);
        return;
    }
    try {
        writer_ = std::thread([this, fd = fd_, kept = std::move(picture)]() mutable {
            if (!WriteAll(fd, kept.Bytes.data(), kept.Bytes.size())) unwritten_ = std::move(kept);
            // Otherwise the picture is freed here, as soon as the file has it.
        });
    } catch (const std::system_error&) {
        // No thread to be had: the bytes stay where they are.
        CloseFile();
        memory_ = std::move(picture);
    }
}

void TKeptPicture::KeepCopy(const TBitmap24& picture) {
    Join();
    // The picture goes on changing as soon as this returns: the thread
    // writes a copy. Made first, so that a refused copy changes nothing.
    TBitmap24 copy = picture;
    KeepMoved(std::move(copy));
}

TBitmap24 TKeptPicture::ReadFile() const {
    TBitmap24 picture(width_, height_);
    uint8_t* bytes = picture.Bytes.data();
    for (size_t at = 0; at < picture.Bytes.size();) {
        const ssize_t got =
            ::pread(fd_, bytes + at, std::min(kPiece, picture.Bytes.size() - at), off_t(at));
        if (got < 0 && errno == EINTR) continue;
        // The file is this process's own and unnamed: nobody else shortens it.
        if (got <= 0) throw std::system_error(errno, std::generic_category(), "kept picture");
        at += size_t(got);
    }
    return picture;
}

TKeptPicture& TKeptPicture::operator=(const TBitmap24& picture) {
    KeepCopy(picture);
    return *this;
}

TKeptPicture& TKeptPicture::operator=(TBitmap24&& picture) {
    KeepMoved(std::move(picture));
    picture = TBitmap24();
    return *this;
}

void TKeptPicture::SwapWith(TBitmap24& picture) {
    Join();
    if (!kept_) return;
    if (memory_) {
        std::swap(*memory_, picture);
        return;
    }
    TBitmap24 fromFile = ReadFile();
    KeepMoved(std::move(picture));
    picture = std::move(fromFile);
}
