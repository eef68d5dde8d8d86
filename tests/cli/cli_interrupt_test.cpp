// apply killed outright (SIGKILL: no handler runs) at varied moments.
#include "imagefile/image_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(PIXMEND_CLI_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int WaitFor(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(CliInterrupted, KilledRunsLeaveOnlyCompleteTargetsAndTheNextRunNoTemporaryFile) {
    TTempDir dir;
    for (const char* sub : {"ref", "out"}) fs::create_directory(dir.Path() / sub);
    std::vector<std::string> args{"apply", "-q", dir.File("f.flt")};
    const char* names[] = {"a.bmp", "b.png", "c.tif", "d.bmp", "e.png"};
    for (int i = 0; i < 5; ++i) {
        WriteImageFile(dir.File(names[i]), RandomBitmap(150 + 10 * i, 110, uint32_t(i)));
        args.push_back(dir.File(names[i]));
    }
    ASSERT_EQ(RunCli("filter add " + dir.File("f.flt") + " --rect 20,20,9,9 --size 150x110").status,
              0);
    args.insert(args.end(), {"--jobs", "1", "-o"});
    std::vector<std::string> ref = args, out = args;
    ref.push_back(dir.File("ref"));
    out.push_back(dir.File("out"));

    // The moments are spread over the length of a whole run.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(WaitFor(Spawn(ref)), 0);
    const auto span = std::chrono::steady_clock::now() - start;
    for (int run = 0; run < 20; ++run) {
        const pid_t pid = Spawn(out);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(span * run / 20);
        ::kill(pid, SIGKILL);
        WaitFor(pid);
        // Whatever target exists is complete.
        for (const char* name : names) {
            if (!fs::exists(dir.Path() / "out" / name)) continue;
            EXPECT_EQ(ReadFileBytes(dir.File(std::string("out/") + name)),
                      ReadFileBytes(dir.File(std::string("ref/") + name)))
                << name << " after kill " << run;
        }
    }
    ASSERT_EQ(WaitFor(Spawn(out)), 0);
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir.Path() / "out")) {
        ++files;
        const std::string name = e.path().filename().string();
        EXPECT_NE(name.rfind(".pixmend-", 0), 0u) << name;
        EXPECT_EQ(ReadFileBytes(e.path().string()), ReadFileBytes(dir.File("ref/" + name))) << name;
    }
    EXPECT_EQ(files, 5u);
}
