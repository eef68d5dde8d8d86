// help-server: serves the help pages to the window program's help window.
//
// A deliberately small HTTP/1.0-1.1 server: it listens on the loopback
// address only, answers GET and HEAD for files directly in the pages folder,
// one connection at a time, each closed after its answer. It runs until it
// is interrupted (Ctrl+C or SIGTERM).
#include "cli/cli_support.h"

#include "help/page_request.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int32_t kDefaultPort = 8642;
constexpr size_t kMaxRequestHead = 16 * 1024;
constexpr off_t kMaxPageBytes = 16 * 1024 * 1024;
constexpr int kClientTimeoutSeconds = 3; // a silent client must not stall the server for long

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

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

// Reads the request head up to its blank line. Returns 0 when complete, 431
// when it grows too large, -1 when the client went away or fell silent.
int ReadRequestHead(int fd, std::string& head) {
    char buf[2048];
    while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
        if (head.size() > kMaxRequestHead) return 431;
        const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got < 0 && errno == EINTR && !gStop) continue;
        if (got <= 0) return -1;
        head.append(buf, size_t(got));
    }
    return 0;
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

void Answer(int client, int folderFd) {
    const timeval timeout{kClientTimeoutSeconds, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);

    std::string head;
    const int read = ReadRequestHead(client, head);
    if (read < 0) return;
    TPageRequest request;
    if (read == 431)
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
    SendAll(client, reply.data(), reply.size());
    // Closing with unread request bytes would reset the connection and could
    // destroy the answer before the client reads it: end our side first and
    // let the client's remaining bytes arrive.
    ::shutdown(client, SHUT_WR);
    const timeval drainTimeout{1, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &drainTimeout, sizeof drainTimeout);
    char sink[4096];
    for (size_t drained = 0; drained < 256 * 1024;) {
        const ssize_t got = ::recv(client, sink, sizeof sink, 0);
        if (got <= 0) break;
        drained += size_t(got);
    }
    // The request line is the client's text: keep control bytes off the terminal.
    std::string logged = requestLine.substr(0, 200);
    for (char& c : logged)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    std::printf("%s -> %d\n", logged.c_str(), request.Status);
    std::fflush(stdout);
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
        ::listen(listener.Get(), 16) != 0)
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

    // Polling with a timeout lets a stop signal that arrives between two
    // waits end the loop promptly.
    while (!gStop) {
        pollfd waiting{listener.Get(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, 250);
        if (ready <= 0) continue;
        TFd client(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.Get() >= 0) Answer(client.Get(), folderFd.Get());
    }
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
