// help-server: serves the help pages to the window program's help window.
//
// A deliberately small HTTP/1.0-1.1 server: it listens on the loopback
// address only, answers GET and HEAD for files directly in the pages folder,
// each connection closed after its answer. One poll loop serves all
// connections at once; a client gets a few seconds for its whole request head
// and a bounded number of open connections. It runs until it is interrupted
// (Ctrl+C or SIGTERM).
#include "cli/cli_support.h"

#include "help/page_request.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int32_t kDefaultPort = 8642;
constexpr size_t kMaxRequestHead = 16 * 1024;
constexpr off_t kMaxPageBytes = 16 * 1024 * 1024;
using Clock = std::chrono::steady_clock;
// The whole request head must arrive within this time, however it trickles
// in; the answer then has this long to be taken.
constexpr auto kHeadTime = std::chrono::seconds(4);
constexpr auto kSendTime = std::chrono::seconds(30);
// Open connections at once, and of those from one client address.
constexpr size_t kMaxConnections = 256;
constexpr int kMaxPerClient = 32;

volatile std::sig_atomic_t gStop = 0;
void OnStopSignal(int) {
    gStop = 1;
}

// A file descriptor closed when it goes out of scope.
class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

std::string ErrnoText() {
    return std::strerror(errno);
}

// The pages folder when none is given: the source tree's, then one installed
// beside or below the program.
fs::path DefaultPagesFolder() {
    std::vector<fs::path> candidates;
#ifdef PIXMEND_HELP_PAGES_DIR
    candidates.emplace_back(PIXMEND_HELP_PAGES_DIR);
#endif
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        candidates.push_back(exe.parent_path().parent_path() / "share" / "pixmend" / "help" /
                             "pages");
        candidates.push_back(exe.parent_path() / "help" / "pages");
    }
    for (const fs::path& p : candidates)
        if (fs::is_directory(p, ec)) return p;
    throw Exception("no help pages folder found; name one with --pages DIR");
}

// Whether the head is complete: it ends at its first blank line.
bool HeadComplete(const std::string& head) {
    return head.find("\r\n\r\n") != std::string::npos || head.find("\n\n") != std::string::npos;
}

// Reads a page file that sits directly in the folder. Symbolic links are not
// followed, so a link placed in the folder cannot lead outside it.
bool ReadPage(int folderFd, const std::string& name, std::string& body) {
    TFd fd(::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > kMaxPageBytes)
        return false;
    body.assign(size_t(st.st_size), '\0');
    size_t have = 0;
    while (have < body.size()) {
        const ssize_t got = ::read(fd.Get(), body.data() + have, body.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        have += size_t(got);
    }
    body.resize(have);
    return true;
}

// The whole answer to a request head (or to one that grew beyond the limit),
// and the line logged for it.
std::string Answer(const std::string& head, bool tooLarge, int folderFd, std::string& logLine) {
    TPageRequest request;
    if (tooLarge)
        request.Status = 431;
    else
        request = ParsePageRequest(head);

    const std::string requestLine = head.substr(0, head.find_first_of("\r\n"));
    const size_t sp = requestLine.find(' ');
    const std::string target = sp == std::string::npos
                                   ? std::string()
                                   : requestLine.substr(sp + 1, requestLine.rfind(' ') - sp - 1);

    std::string body, type = "text/html; charset=utf-8";
    if (request.Status == 200) {
        if (ReadPage(folderFd, request.FileName, body))
            type = ContentTypeOf(request.FileName);
        else
            request.Status = 404;
    }
    if (request.Status != 200) body = StatusPage(request.Status, target);

    std::string reply = "HTTP/1.1 " + std::to_string(request.Status) + " " +
                        StatusReason(request.Status) + "\r\nContent-Type: " + type +
                        "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    if (request.Status == 405) reply += "Allow: GET, HEAD\r\n";
    reply += "Cache-Control: no-cache\r\nConnection: close\r\n\r\n";
    if (!request.HeadOnly) reply += body;
    // The request line is the client's text: keep control bytes off the terminal.
    logLine = requestLine.substr(0, 200);
    for (char& c : logLine)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    logLine += " -> " + std::to_string(request.Status);
    return reply;
}

// One open connection: first its request head is collected, then its answer
// sent. Every socket is non-blocking and served by the one poll loop, so no
// client, however slow, holds up another.
struct TConnection {
    int Fd = -1;
    uint32_t Peer = 0; // the client's address, for the per-client cap
    std::string Head, Reply;
    size_t Sent = 0;
    bool Answering = false;
    Clock::time_point Deadline;
};

void CloseConnection(TConnection& c) {
    // Discard what the client has already sent beyond its head, so that the
    // close does not reset the connection under an answer it is still
    // reading; nothing is waited for.
    char sink[4096];
    for (int i = 0; i < 64 && ::recv(c.Fd, sink, sizeof sink, MSG_DONTWAIT) > 0; ++i) {
    }
    ::close(c.Fd);
    c.Fd = -1;
}

// Sends what the socket takes. False when the connection is to end (all sent,
// or the client went away).
bool WriteTo(TConnection& c) {
    while (c.Sent < c.Reply.size()) {
        const ssize_t sent = ::send(c.Fd, c.Reply.data() + c.Sent, c.Reply.size() - c.Sent,
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (sent <= 0) return false;
        c.Sent += size_t(sent);
    }
    return false;
}

// Reads what the client has sent. False when the connection is to end.
bool ReadFrom(TConnection& c, int folderFd) {
    char buf[4096];
    for (;;) {
        const ssize_t got = ::recv(c.Fd, buf, sizeof buf, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
        if (got == 0) return false; // gone before its request was whole
        c.Head.append(buf, size_t(got));
        const bool complete = HeadComplete(c.Head);
        if (complete || c.Head.size() > kMaxRequestHead) {
            std::string logLine;
            c.Reply = Answer(c.Head, !complete, folderFd, logLine);
            std::printf("%s\n", logLine.c_str());
            std::fflush(stdout);
            c.Answering = true;
            c.Deadline = Clock::now() + kSendTime;
            return WriteTo(c);
        }
    }
}

void Serve(int listener, int folderFd) {
    std::vector<TConnection> open;
    std::map<uint32_t, int> perPeer;
    std::vector<pollfd> fds;
    while (!gStop) {
        fds.clear();
        fds.push_back({listener, open.size() < kMaxConnections ? short(POLLIN) : short(0), 0});
        for (const auto& c : open)
            fds.push_back({c.Fd, c.Answering ? short(POLLOUT) : short(POLLIN), 0});
        // The timeout lets a stop signal that arrives between two waits end
        // the loop promptly, and deadlines be checked.
        const int ready = ::poll(fds.data(), fds.size(), 250);
        if (ready < 0 && errno != EINTR) throw Exception("cannot wait for clients: " + ErrnoText());
        const auto now = Clock::now();
        for (size_t i = 0; i < open.size(); ++i) {
            TConnection& c = open[i];
            const short events = ready > 0 ? fds[i + 1].revents : short(0);
            bool keep = now < c.Deadline;
            if (keep && events) keep = c.Answering ? WriteTo(c) : ReadFrom(c, folderFd);
            if (!keep) {
                CloseConnection(c);
                if (--perPeer[c.Peer] == 0) perPeer.erase(c.Peer);
            }
        }
        std::erase_if(open, [](const TConnection& c) { return c.Fd < 0; });
        if (ready <= 0 || (fds[0].revents & POLLIN) == 0) continue;
        while (open.size() < kMaxConnections) {
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length,
                                     SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) break;
            const uint32_t address = ntohl(peer.sin_addr.s_addr);
            if (perPeer[address] >= kMaxPerClient) {
                ::close(fd); // one client must not take every place
                continue;
            }
            ++perPeer[address];
            TConnection c;
            c.Fd = fd;
            c.Peer = address;
            c.Deadline = Clock::now() + kHeadTime;
            open.push_back(std::move(c));
        }
    }
    for (auto& c : open) CloseConnection(c);
}

int RunHelpServer(const std::vector<std::string>& argv) {
    TArgs args(argv, {"port", "pages"});
    if (!args.Positional().empty())
        throw EUsage("unexpected argument '" + args.Positional()[0] + "'");
    int32_t port = kDefaultPort;
    if (auto p = args.Value("port")) port = ParseIntArg(*p, "--port");
    if (port < 0 || port > 65535)
        throw EUsage("--port: " + std::to_string(port) + " is not a port (0..65535)");
    const fs::path folder =
        args.Value("pages") ? fs::path(*args.Value("pages")) : DefaultPagesFolder();

    TFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Get() < 0)
        throw EFileError("cannot open the pages folder " + folder.string() + ": " + ErrnoText());

    TFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listener.Get() < 0) throw Exception("cannot create a socket: " + ErrnoText());
    const int yes = 1;
    ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // never reachable from other machines
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.Get(), 64) != 0)
        throw Exception("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + ErrnoText());
    socklen_t length = sizeof address;
    ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    const int actualPort = ntohs(address.sin_port);

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    std::printf("serving the help pages in %s at http://127.0.0.1:%d/ (Ctrl+C stops)\n",
                fs::absolute(folder).lexically_normal().c_str(), actualPort);
    if (actualPort != kDefaultPort)
        std::printf(
            "the window program finds them with HelpBase=http://127.0.0.1:%d/ in section [Prefs] "
            "of its settings file\n",
            actualPort);
    std::fflush(stdout);

    ::fcntl(listener.Get(), F_SETFL, ::fcntl(listener.Get(), F_GETFL) | O_NONBLOCK);
    Serve(listener.Get(), folderFd.Get());
    std::printf("help server stopped\n");
    return 0;
}

TCommandRegistrar helpServer({"help-server", "serve the help pages to the window program",
                              "usage: pixmend-cli help-server [--port N] [--pages DIR]\n\n"
                              "Serves the help pages over HTTP on 127.0.0.1 (loopback only) until\n"
                              "interrupted. N defaults to 8642, the port of the window program's\n"
                              "default help address http://127.0.0.1:8642/; 0 picks a free port.\n"
                              "Another address is set with the key HelpBase in section [Prefs] of\n"
                              "the settings file. DIR defaults to the bundled help/pages folder.\n",
                              RunHelpServer});
} // namespace
