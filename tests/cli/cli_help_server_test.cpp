// pixmend-cli help-server, run in the background and asked over a socket as
// the help window asks it.
#include "help/help_address.h"
#include "help/help_topics.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The server as a child process whose stdout we read.
class TServer {
public:
    explicit TServer(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(PIXMEND_CLI_PATH),
                                    const_cast<char*>("help-server")};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~TServer() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }
    TServer(const TServer&) = delete;
    TServer& operator=(const TServer&) = delete;

    // The next line of output, waiting up to 10 s.
    std::optional<std::string> Line() {
        std::string line;
        char c;
        while (true) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 10000) <= 0) return std::nullopt;
            if (read(out_, &c, 1) != 1) return line.empty() ? std::nullopt : std::optional(line);
            if (c == '\n') return line;
            line += c;
        }
    }

    // The port announced in the first line ("... at http://127.0.0.1:N/ ...").
    int Port() {
        if (port_ == 0) {
            first_ = Line().value_or("");
            const size_t at = first_.find("http://127.0.0.1:");
            if (at != std::string::npos) port_ = std::atoi(first_.c_str() + at + 17);
        }
        return port_;
    }
    const std::string& FirstLine() const { return first_; }

    // Sends a signal and waits up to 5 s; the exit status, or -1.
    int Stop(int signal) {
        kill(pid_, signal);
        return Wait();
    }
    int Wait() {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int port_ = 0;
    bool exited_ = false;
    std::string first_;
};

struct TReply {
    int Status = 0;
    std::string Head, Body;
};

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends raw request bytes and reads the whole answer (the server closes).
TReply Ask(int port, const std::string& request) {
    TReply reply;
    const int fd = Connect(port);
    if (fd < 0) return reply;
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string all;
    char buf[4096];
    ssize_t got;
    while ((got = recv(fd, buf, sizeof buf, 0)) > 0) all.append(buf, size_t(got));
    close(fd);
    const size_t split = all.find("\r\n\r\n");
    if (all.rfind("HTTP/1.1 ", 0) != 0 || split == std::string::npos) return reply;
    reply.Status = std::atoi(all.c_str() + 9);
    reply.Head = all.substr(0, split + 2);
    reply.Body = all.substr(split + 4);
    return reply;
}

// A connection from another loopback address, which the server counts as
// another client.
int ConnectFrom(int port, const char* source) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{}, a{};
    from.sin_family = a.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether the server has closed the connection (without waiting).
bool ClosedByServer(int fd) {
    char c;
    const ssize_t got = recv(fd, &c, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

TReply Get(int port, const std::string& target) {
    return Ask(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

std::string ReadText(const fs::path& p) {
    const auto bytes = ReadFileBytes(p.string());
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const fs::path& p, const std::string& text) {
    WriteFileBytes(p.string(), std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace

TEST(CliHelpServer, ServesPagesAndRefusesEverythingElse) {
    TTempDir dir;
    const fs::path pages = dir.Path() / "pages";
    fs::create_directory(pages);
    WriteText(pages / "index.htm", "<html><body>index</body></html>\n");
    WriteText(pages / "pixmend_help_223575831_2.htm", "<html><body>status bar</body></html>\n");
    WriteText(dir.Path() / "secret.txt", "do not serve me");
    fs::create_symlink(dir.Path() / "secret.txt", pages / "link.htm");
    fs::create_directory(pages / "folder.htm");

    TServer server({"--port", "0", "--pages", pages.string()});
    const int port = server.Port();
    ASSERT_GT(port, 0) << server.FirstLine();
    EXPECT_NE(server.FirstLine().find(pages.string()), std::string::npos) << server.FirstLine();

    const TReply page = Get(port, "/pixmend_help_223575831_2.htm");
    EXPECT_EQ(page.Status, 200);
    EXPECT_EQ(page.Body, "<html><body>status bar</body></html>\n");
    EXPECT_NE(page.Head.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(page.Head.find("Content-Length: 37\r\n"), std::string::npos) << page.Head;

    EXPECT_EQ(Get(port, "/").Body, "<html><body>index</body></html>\n");
    const TReply http10 = Ask(port, "GET /index.htm HTTP/1.0\r\n\r\n");
    EXPECT_EQ(http10.Status, 200);
    EXPECT_EQ(http10.Body, "<html><body>index</body></html>\n");

    const TReply head = Ask(port, "HEAD /index.htm HTTP/1.1\r\n\r\n");
    EXPECT_EQ(head.Status, 200);
    EXPECT_TRUE(head.Body.empty());
    EXPECT_NE(head.Head.find("Content-Length: 32\r\n"), std::string::npos) << head.Head;

    const TReply missing = Get(port, "/pixmend_help_1_1.htm");
    EXPECT_EQ(missing.Status, 404);
    EXPECT_NE(missing.Body.find("pixmend_help_1_1.htm"), std::string::npos);

    for (const char* target :
         {"/../secret.txt", "/%2e%2e/secret.txt", "/..%2fsecret.txt", "//etc/passwd"}) {
        const TReply r = Get(port, target);
        EXPECT_EQ(r.Status, 403) << target;
        EXPECT_EQ(r.Body.find("do not serve me"), std::string::npos) << target;
    }
    // A link inside the folder does not lead out of it; a folder is no page.
    EXPECT_EQ(Get(port, "/link.htm").Status, 404);
    EXPECT_EQ(Get(port, "/folder.htm").Status, 404);

    const TReply post = Ask(port, "POST /index.htm HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(post.Status, 405);
    EXPECT_NE(post.Head.find("Allow: GET, HEAD\r\n"), std::string::npos);
    EXPECT_EQ(Ask(port, "nonsense\r\n\r\n").Status, 400);
    EXPECT_EQ(Ask(port, "GET /" + std::string(40000, 'a') + " HTTP/1.1\r\n\r\n").Status, 431);

    // A client that connects and goes away without asking does not stop the server.
    const int quiet = Connect(port);
    ASSERT_GE(quiet, 0);
    close(quiet);
    EXPECT_EQ(Get(port, "/index.htm").Status, 200);

    EXPECT_EQ(server.Stop(SIGTERM), 0);
}

TEST(CliHelpServer, BundledPagesAreFoundWithoutNamingTheFolder) {
    TServer server({"--port", "0"});
    const int port = server.Port();
    ASSERT_GT(port, 0) << server.FirstLine();
    for (int32_t language : {1, 2}) {
        const std::string name = HelpPageName(kTopicStatusBar, language);
        const TReply page = Get(port, "/" + name);
        EXPECT_EQ(page.Status, 200) << name;
        EXPECT_EQ(page.Body, ReadText(fs::path(PIXMEND_SOURCE_DIR) / "help" / "pages" / name));
    }
    EXPECT_EQ(Get(port, "/").Status, 200);
    EXPECT_EQ(server.Stop(SIGINT), 0);
}

TEST(CliHelpServer, BadOptionsAndABusyPortAreReported) {
    TServer first({"--port", "0"});
    const int port = first.Port();
    ASSERT_GT(port, 0);

    TServer busy({"--port", std::to_string(port)});
    EXPECT_EQ(busy.Wait(), 1);
    EXPECT_NE(busy.Line().value_or("").find("cannot listen on 127.0.0.1:" + std::to_string(port)),
              std::string::npos);

    for (const std::vector<std::string>& args : {std::vector<std::string>{"--port", "65536"},
                                                 {"--port", "-1"},
                                                 {"--port", "http"},
                                                 {"extra"}}) {
        TServer bad(args);
        EXPECT_EQ(bad.Wait(), 2) << args[0];
        EXPECT_NE(bad.Line().value_or("").find("pixmend-cli help-server: "), std::string::npos)
            << args[0];
    }
    TServer noPages({"--pages", "/nonexistent/pixmend/pages"});
    EXPECT_EQ(noPages.Wait(), 1);
    EXPECT_NE(noPages.Line().value_or("").find("pixmend-cli: "), std::string::npos);
    EXPECT_EQ(first.Stop(SIGTERM), 0);
}

TEST(CliHelpServer, IdleAndTricklingClientsHoldUpNobody) {
    TTempDir dir;
    WriteText(dir.Path() / "index.htm", "index\n");
    TServer server({"--port", "0", "--pages", dir.Path().string()});
    const int port = server.Port();
    ASSERT_GT(port, 0) << server.FirstLine();
    std::vector<int> idle, trickling;
    for (int i = 0; i < 50; ++i) {
        idle.push_back(ConnectFrom(port, "127.0.0.2"));
        trickling.push_back(ConnectFrom(port, "127.0.0.3"));
        ASSERT_GE(idle.back(), 0);
        ASSERT_GE(trickling.back(), 0);
    }
    const auto trickle = [&] {
        for (int fd : trickling) send(fd, "G", 1, MSG_NOSIGNAL);
    };
    trickle();

    // The answer comes while the others idle and trickle. The bound is
    // generous: one connection at a time took minutes here.
    const int fd = Connect(port);
    const std::string request = "GET /index.htm HTTP/1.1\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) == 0) {
            trickle();
            continue;
        }
        char buf[256];
        const ssize_t got = recv(fd, buf, sizeof buf, 0);
        if (got <= 0) break;
        answer.append(buf, size_t(got));
    }
    close(fd);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
    EXPECT_EQ(answer.substr(answer.size() - 6), "index\n");

    // Each client address keeps at most 32 connections; the rest were closed
    // as they came. The others are closed when their head's time is up,
    // however they trickle.
    size_t refused = 0;
    for (int c : idle) refused += ClosedByServer(c);
    EXPECT_EQ(refused, 18u);
    size_t closed = 0;
    while (closed < 100 && std::chrono::steady_clock::now() < until + std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        trickle();
        closed = 0;
        for (int c : idle) closed += ClosedByServer(c);
        for (int c : trickling) closed += ClosedByServer(c);
    }
    EXPECT_EQ(closed, 100u);
    for (int c : idle) close(c);
    for (int c : trickling) close(c);
    EXPECT_EQ(server.Stop(SIGTERM), 0);
}
