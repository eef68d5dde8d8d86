#include "app/file_io.h"

#include "spectral/errors.h"

#include <cerrno>
#include <cstdio>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string CannotOpenMessage(const std::string& fileName) {
    return "Datei " + fileName + " kann nicht geöffnet werden";
}

std::string CannotCreateMessage(const std::string& fileName) {
    return "Datei " + fileName + " kann nicht erstellt werden";
}

std::string ReadWholeFile(const std::string& fileName, size_t maxBytes) {
    // Non-blocking, so that a named pipe under a file's name is refused at the
    // type check below instead of hanging the program.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw EFileError(CannotOpenMessage(fileName));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || size_t(st.st_size) > maxBytes) {
        ::close(fd);
        throw EFileError(CannotOpenMessage(fileName));
    }
    std::string data;
    data.reserve(size_t(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            throw EFileError(CannotOpenMessage(fileName));
        }
        if (got == 0) break;
        if (data.size() + size_t(got) > maxBytes) {
            ::close(fd);
            throw EFileError(CannotOpenMessage(fileName));
        }
        data.append(buffer, size_t(got));
    }
    ::close(fd);
    return data;
}

void WriteFileAtomically(const std::string& fileName, std::string_view bytes) {
    TAtomicFileWriter file(fileName);
    file.Write(bytes);
    file.Commit();
}

TAtomicFileWriter::TAtomicFileWriter(std::string fileName) : fileName_(std::move(fileName)) {
    const auto slash = fileName_.find_last_of('/');
    temp_ = (slash == std::string::npos ? std::string() : fileName_.substr(0, slash + 1)) + ".pixmend-XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) throw EFileError(CannotCreateMessage(fileName_));
}

TAtomicFileWriter::~TAtomicFileWriter() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(temp_.c_str());
}

void TAtomicFileWriter::Fail() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
        fd_ = -1;
    }
    throw EFileError(CannotCreateMessage(fileName_));
}

void TAtomicFileWriter::Write(std::string_view bytes) {
    if (fd_ < 0) Fail();
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) Fail();
        done += size_t(put);
    }
}

void TAtomicFileWriter::Commit() {
    if (fd_ < 0) Fail();
    // Files get the permissions a plain creation would give them.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat old {};
    const mode_t mode = ::stat(fileName_.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask);
    bool ok = ::fchmod(fd_, mode) == 0;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), fileName_.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp_.c_str());
        throw EFileError(CannotCreateMessage(fileName_));
    }
}
