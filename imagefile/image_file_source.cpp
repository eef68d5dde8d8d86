#include "imagefile/image_file_source.h"

#include "spectral/errors.h"
#include "spectral/file_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool TMemorySource::ReadAt(uint64_t offset, void* into, size_t count) const {
    if (offset > size_ || count > size_ - offset) return false;
    if (count > 0) std::memcpy(into, data_ + offset, count);
    return true;
}

TFileSource::TFileSource(const std::string& fileName) {
    // Non-blocking, so that a named pipe or device given as an image name is
    // refused below instead of hanging the open; regular files ignore it.
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw EFileError(CannotOpenMessage(fileName));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EFileError(CannotOpenMessage(fileName));
    }
    size_ = uint64_t(st.st_size);
}

TFileSource::~TFileSource() {
    if (fd_ >= 0) ::close(fd_);
}

bool TFileSource::ReadAt(uint64_t offset, void* into, size_t count) const {
    if (offset > size_ || count > size_ - offset) return false;
    auto* out = static_cast<uint8_t*>(into);
    while (count > 0) {
        const ssize_t got = ::pread(fd_, out, count, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        // A file that shrank while we read it counts as damaged.
        if (got <= 0) return false;
        out += got;
        offset += uint64_t(got);
        count -= size_t(got);
    }
    return true;
}
