#include "spectral/file_io.h"

#include "spectral/errors.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

TMessage CannotOpenMessage(const std::string& fileName) {
    return TMessage{TMessageId::CannotOpen, {fileName}, nullptr};
}

TMessage CannotCreateMessage(const std::string& fileName) {
    return TMessage{TMessageId::CannotCreate, {fileName}, nullptr};
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

namespace {

// The names of the temporary files that exist right now, for the signal
// handler. A slot is taken with a compare-and-swap (free -> filling), filled,
// and published (filling -> live); the handler reads only live slots, so it
// needs no lock and calls nothing but unlink. More writes at once than slots
// simply go unregistered (a later run still sweeps their files).
constexpr int kFree = 0, kFilling = 1, kLive = 2;
constexpr int kTempSlots = 64;
struct TTempSlot {
    std::atomic<int> State{kFree};
    char Name[PATH_MAX];
};
TTempSlot g_tempSlots[kTempSlots];
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RemoveTempFilesOnSignal(int sig) {
    const int savedErrno = errno;
    for (auto& slot : g_tempSlots)
        if (slot.State.load(std::memory_order_acquire) == kLive) ::unlink(slot.Name);
    // Die of the signal as if nobody had caught it, so the parent sees it.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
    errno = savedErrno;
}

// Installed once, only where the signal still has its default action: a
// host that ignores SIGINT or handles it itself keeps its own way.
void InstallSignalCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int sig : {SIGINT, SIGTERM}) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL ||
                (old.sa_flags & SA_SIGINFO))
                continue;
            struct sigaction act {};
            act.sa_handler = RemoveTempFilesOnSignal;
            sigemptyset(&act.sa_mask);
            act.sa_flags = SA_RESTART;
            ::sigaction(sig, &act, nullptr);
        }
    });
}

int RegisterTempName(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kTempSlots; ++i) {
        int expected = kFree;
        if (g_tempSlots[i].State.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(g_tempSlots[i].Name, name.c_str(), name.size() + 1);
            g_tempSlots[i].State.store(kLive, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void ForgetTempName(int slot) {
    if (slot >= 0) g_tempSlots[slot].State.store(kFree, std::memory_order_release);
}

const char kTempPrefix[] = ".pixmend-";

// Six characters that make the name unique among this process's own files;
// O_EXCL settles any collision with a retry.
std::string RandomSuffix() {
    static std::atomic<uint64_t> counter{0};
    uint64_t x = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (counter.fetch_add(1) * 0x9e3779b97f4a7c15ull) ^ (uint64_t(::getpid()) << 32);
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s(6, 'a');
    for (auto& ch : s) {
        ch = alphabet[x % 62];
        x /= 62;
    }
    return s;
}

// This machine's name as it goes into temporary names: letters, digits and
// dots only, so that it cannot be mistaken for the other parts of the name.
const std::string& HostTag() {
    static const std::string tag = [] {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
        std::string t;
        for (const char* p = host; *p && t.size() < 48; ++p)
            if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
                *p == '.')
                t += *p;
        return t.empty() ? std::string("host") : t;
    }();
    return tag;
}

// The pid in a name ".pixmend-HOST-PID-XXXXXX" written on this machine, or 0
// when the name is none of ours or comes from another machine sharing the
// folder (whose processes cannot be asked about here).
pid_t TempNamePid(const char* name) {
    if (std::strncmp(name, kTempPrefix, sizeof kTempPrefix - 1) != 0) return 0;
    const std::string rest = name + sizeof kTempPrefix - 1;
    const std::string& host = HostTag();
    if (rest.size() < host.size() + 1 || rest.compare(0, host.size(), host) != 0 ||
        rest[host.size()] != '-')
        return 0;
    const char* p = rest.c_str() + host.size() + 1;
    long long pid = 0;
    const char* digits = p;
    while (*p >= '0' && *p <= '9' && pid < INT_MAX) pid = pid * 10 + (*p++ - '0');
    if (p == digits || *p != '-' || std::strlen(p + 1) != 6 || pid <= 0 || pid >= INT_MAX) return 0;
    return pid_t(pid);
}

// Follows a chain of symbolic links to the name of the file it ends at (which
// need not exist yet). Throws when the chain is broken off or circular.
std::string FollowLinks(const std::string& fileName) {
    std::string path = fileName;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
        if (n <= 0 || size_t(n) >= sizeof buffer) break;
        std::string link(buffer, size_t(n));
        const auto slash = path.find_last_of('/');
        if (link[0] != '/' && slash != std::string::npos) link = path.substr(0, slash + 1) + link;
        path = link;
    }
    throw EFileError(CannotCreateMessage(fileName));
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

TTempFile::TTempFile(const std::string& folder, const TMessage& failMessage) {
    InstallSignalCleanup();
    const std::string stem =
        folder + kTempPrefix + HostTag() + "-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        name_ = stem + RandomSuffix();
        // Register before the file exists, so that no moment is left in which
        // a signal would strand it.
        slot_ = RegisterTempName(name_);
        // The kernel applies the creation mask to 0666: the permissions of a
        // plain creation, without touching the process-wide umask.
        fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int error = errno;
            ForgetTempName(slot_);
            slot_ = -1;
            if (error != EEXIST) break;
        }
    }
    if (fd_ < 0) throw EFileError(failMessage);
}

TTempFile::~TTempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(name_.c_str());
    ForgetTempName(slot_);
}

bool TTempFile::Commit(const std::string& target) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return false;
    if (::rename(name_.c_str(), target.c_str()) != 0) return false;
    committed_ = true;
    return true;
}

void RemoveStaleTempFiles(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!swept.insert(folder).second) return;
    }
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = TempNamePid(entry->d_name);
        if (pid == 0 || pid == self) continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue; // alive, or not ours to judge
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

void WriteFileAtomically(const std::string& fileName, std::string_view bytes) {
    TAtomicFileWriter file(fileName);
    file.Write(bytes);
    file.Commit();
}

TAtomicFileWriter::TAtomicFileWriter(std::string fileName) : fileName_(std::move(fileName)) {
    // Write where a link points, so that the link survives; the temporary
    // file must then live in the target's folder for the rename to be atomic.
    target_ = FollowLinks(fileName_);
    struct stat old {};
    exists_ = ::stat(target_.c_str(), &old) == 0;
    mode_ = unsigned(old.st_mode & 07777);
    // A folder gets the usual message; a device, pipe or socket is named
    // for what it is, since a replaced node is a harm the user cannot see.
    if (exists_ && S_ISDIR(old.st_mode)) throw EFileError(CannotCreateMessage(fileName_));
    if (exists_ && !S_ISREG(old.st_mode))
        throw EFileError(TMessage{TMessageId::NotReplaced, {fileName_}, nullptr});
    const std::string folder = FolderOf(target_);
    RemoveStaleTempFiles(folder);
    temp_.emplace(folder, CannotCreateMessage(fileName_));
}

TAtomicFileWriter::~TAtomicFileWriter() = default;

void TAtomicFileWriter::Fail() {
    temp_.reset();
    throw EFileError(CannotCreateMessage(fileName_));
}

void TAtomicFileWriter::Write(std::string_view bytes) {
    if (!temp_) Fail();
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(temp_->Descriptor(), bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) Fail();
        done += size_t(put);
    }
}

void TAtomicFileWriter::Commit() {
    if (!temp_) Fail();
    // A replaced file keeps its permissions; a new one has those of a plain
    // creation already (the kernel applied the creation mask).
    if (exists_ && ::fchmod(temp_->Descriptor(), mode_t(mode_)) != 0) Fail();
    if (!temp_->Commit(target_)) Fail();
    temp_.reset();
}
