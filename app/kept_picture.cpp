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
#include <sys/mman.h>
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

// Asks for large pages under `bytes`: a hundred megabytes in ordinary pages
// cost the window tens of thousands of page faults, several times the copy
// itself. Where the system has none this changes nothing.
void PreferLargePages(void* bytes, size_t size) {
    constexpr uintptr_t kLarge = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(bytes) + kLarge - 1) & ~(kLarge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(bytes) + size) & ~(kLarge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// A copy of a picture's bytes on its way to the file, in memory of its own
// that goes back to the system when the copy ends.
class TPageCopy {
public:
    explicit TPageCopy(const TBitmap24& picture) : size_(picture.Bytes.size()) {
        const TMemoryGrant grant = GrantBitmapMemory(picture.Width, picture.Height, 3);
        void* at =
            ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED) throw std::bad_alloc();
        bytes_ = static_cast<uint8_t*>(at);
        PreferLargePages(bytes_, size_);
        std::memcpy(bytes_, picture.Bytes.data(), size_);
    }
    TPageCopy(TPageCopy&& other) noexcept
        : bytes_(std::exchange(other.bytes_, nullptr)), size_(other.size_) {}
    TPageCopy(const TPageCopy&) = delete;
    TPageCopy& operator=(const TPageCopy&) = delete;
    TPageCopy& operator=(TPageCopy&&) = delete;
    ~TPageCopy() {
        if (bytes_) ::munmap(bytes_, size_);
    }
    const uint8_t* Bytes() const { return bytes_; }
    size_t Size() const { return size_; }

private:
    uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
};

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
    if (std::exchange(lost_, false)) {
        CloseFile();
        kept_ = false;
    }
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
    TPageCopy copy(picture);
    if (!StartKeeping(picture.Width, picture.Height)) {
        memory_ = picture;
        return;
    }
    try {
        writer_ = std::thread([this, fd = fd_, copy = std::move(copy), width = picture.Width,
                               height = picture.Height] {
            if (WriteAll(fd, copy.Bytes(), copy.Size())) return;
            try {
                TBitmap24 back(width, height);
                std::memcpy(back.Bytes.data(), copy.Bytes(), copy.Size());
                unwritten_ = std::move(back);
            } catch (...) {
                // Neither the file nor the memory takes it: the comparison is lost.
                lost_ = true;
            }
        });
    } catch (const std::system_error&) {
        CloseFile();
        memory_ = picture;
    }
}

TBitmap24 TKeptPicture::ReadFile() const {
    TBitmap24 picture;
    {
        const TMemoryGrant grant = GrantBitmapMemory(width_, height_, 3);
        const size_t size = size_t(width_) * size_t(height_) * 3u;
        picture.Bytes.reserve(size);
        PreferLargePages(picture.Bytes.data(), size);
        picture.Bytes.resize(size);
    }
    picture.Width = width_;
    picture.Height = height_;
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
