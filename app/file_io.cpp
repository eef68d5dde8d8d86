#include "app/file_io.h"

#include "spectral/errors.h"

#include <cerrno>
#include <cstdio>
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
    const auto slash = fileName.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : fileName.substr(0, slash + 1);
    std::string temp = (slash == std::string::npos ? std::string() : folder) + ".pixmend-XXXXXX";
    if (slash == std::string::npos) temp = ".pixmend-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throw EFileError(CannotCreateMessage(fileName));
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) ok = false;
        else done += size_t(put);
    }
    // Files get the permissions a plain creation would give them.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat old {};
    const mode_t mode = ::stat(fileName.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask);
    if (ok && ::fchmod(fd, mode) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), fileName.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        throw EFileError(CannotCreateMessage(fileName));
    }
}
