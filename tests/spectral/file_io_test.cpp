// Writing files: what stands at the target's name, links, permissions and
// temporary files left behind.

#include "spectral/errors.h"
#include "spectral/file_io.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST(FileIo, RefusesToReplaceWhatIsNoRegularFile) {
    TTempDir dir;
    const std::string fifo = dir.File("pipe.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        WriteFileAtomically(fifo, "data");
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), fifo + " is not a regular file and is not replaced");
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"pipe.bmp"});
}

TEST(FileIo, FollowsLinksAndKeepsPermissions) {
    TTempDir dir;
    fs::create_directory(dir.Path() / "real");
    fs::create_directory(dir.Path() / "links");
    const std::string real = dir.File("real/out.flt");
    WriteFileAtomically(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_symlink("../real/out.flt", dir.Path() / "links/out.flt");

    WriteFileAtomically(dir.File("links/out.flt"), "new");
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "links/out.flt"));
    EXPECT_EQ(ReadWholeFile(real), "new");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));
    EXPECT_EQ(Names(dir.Path() / "real"), std::vector<std::string>{"out.flt"});
    EXPECT_EQ(Names(dir.Path() / "links"), std::vector<std::string>{"out.flt"});

    // A new file gets the creation mask's permissions, and the mask stays.
    const mode_t saved = ::umask(027);
    WriteFileAtomically(dir.File("real/fresh.flt"), "x");
    EXPECT_EQ(::umask(saved), mode_t(027));
    EXPECT_EQ(fs::status(dir.File("real/fresh.flt")).permissions(), fs::perms(0640));
}

TEST(FileIo, TemporaryFilesGoOnSignalsAndAfterTheirProcessDied) {
    TTempDir dir;
    const std::string folder = dir.Path().string() + "/";
    // A process stopped by SIGTERM while it holds a temporary file.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TTempFile temp(folder, PlainMessage("x"));
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(Names(dir.Path()).empty());

    // Files of a dead process of this machine go with the next write into
    // the folder. Those of a live process, of another machine sharing the
    // folder, and other names stay.
    std::string mine;
    {
        TTempFile probe(folder, PlainMessage("x"));
        mine = probe.Name().substr(folder.size());
    }
    const std::string host =
        mine.substr(0, mine.size() - 6 - 1 - std::to_string(::getpid()).size());
    ASSERT_EQ(host.rfind(".pixmend-", 0), 0u) << mine;
    const std::string dead = host + std::to_string(child) + "-abcdef";
    const std::string alive = host + std::to_string(::getppid()) + "-abcdef";
    const std::string elsewhere = ".pixmend-otherhost-" + std::to_string(child) + "-abcdef";
    for (const auto& n : {dead, alive, elsewhere, std::string(".pixmend-abcdef")})
        WriteFileBytes(dir.File(n), {1, 2});
    WriteFileAtomically(dir.File("out.flt"), "x");
    std::vector<std::string> expected{alive, elsewhere, ".pixmend-abcdef", "out.flt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(dir.Path()), expected);
}
