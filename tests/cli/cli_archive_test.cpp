// apply at archive scale: shards in parallel processes, resuming, reports.
#include "imagefile/image_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

struct TArchive {
    TTempDir dir;
    std::string list;
    TArchive(int files) {
        fs::create_directory(dir.Path() / "in");
        for (const char* out : {"one", "shards"}) fs::create_directory(dir.Path() / out);
        std::ofstream names(dir.File("list.txt"));
        for (int i = 0; i < files; ++i) {
            const std::string name =
                dir.File("in/p" + std::to_string(i) + (i % 3 ? ".bmp" : ".png"));
            WriteImageFile(name, RandomBitmap(12 + i % 5, 10, uint32_t(i)));
            names << name << "\n";
        }
        EXPECT_EQ(RunCli("filter add " + dir.File("f.flt") + " --rect 2,2,3,3 --size 12x10").status,
                  0);
    }
    std::string Apply(const std::string& out, const std::string& more) const {
        return std::string(PIXMEND_CLI_PATH) + " apply -q " + dir.File("f.flt") + " --files-from " +
               dir.File("list.txt") + " -o " + dir.File(out) + " --jobs 1 " + more;
    }
};

std::vector<std::string> Lines(const std::string& name) {
    std::ifstream in(name);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

} // namespace

TEST(CliArchive, ShardsInParallelWriteEachFileOnceAndEqualOneRun) {
    TArchive a(60);
    ASSERT_EQ(RunCli("apply -q " + a.dir.File("f.flt") + " --files-from " + a.dir.File("list.txt") +
                     " -o " + a.dir.File("one"))
                  .status,
              0);
    std::string parallel;
    for (int k = 0; k < 3; ++k)
        parallel += a.Apply("shards", "--shard " + std::to_string(k) + "/3 --report " +
                                          a.dir.File("r" + std::to_string(k) + ".jsonl")) +
                    " & ";
    ASSERT_EQ(std::system((parallel + "wait").c_str()), 0);
    // Every input reported done exactly once over the three reports.
    std::map<std::string, int> done;
    for (int k = 0; k < 3; ++k)
        for (const auto& line : Lines(a.dir.File("r" + std::to_string(k) + ".jsonl"))) {
            ASSERT_NE(line.find("\"status\": \"done\""), std::string::npos) << line;
            ++done[line.substr(0, line.find(", \"output\""))];
        }
    EXPECT_EQ(done.size(), 60u);
    for (const auto& [input, n] : done) EXPECT_EQ(n, 1) << input;
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(a.dir.Path() / "one")) {
        ++files;
        EXPECT_EQ(ReadFileBytes(e.path().string()),
                  ReadFileBytes((a.dir.Path() / "shards" / e.path().filename()).string()))
            << e.path();
    }
    EXPECT_EQ(files, 60u);
    EXPECT_EQ(
        std::distance(fs::directory_iterator(a.dir.Path() / "shards"), fs::directory_iterator()),
        60);
}

TEST(CliArchive, ARestartSkipsWhatExists) {
    TArchive a(6);
    const std::string out = a.dir.File("one/p1.bmp");
    ASSERT_EQ(std::system((a.Apply("one", "--shard 1/2")).c_str()), 0);
    const auto first = ReadFileBytes(out);
    fs::remove(a.dir.File("one/p3.png"));
    ASSERT_EQ(
        std::system((a.Apply("one", "--skip-existing --report " + a.dir.File("r.jsonl"))).c_str()),
        0);
    const auto report = Lines(a.dir.File("r.jsonl"));
    EXPECT_EQ(std::count_if(
                  report.begin(), report.end(),
                  [](const std::string& l) { return l.find("\"skipped\"") != std::string::npos; }),
              2); // p1 and p5; p3 and the other shard's files are written
    EXPECT_EQ(report.size(), 6u);
    EXPECT_EQ(ReadFileBytes(out), first);
    EXPECT_TRUE(fs::exists(a.dir.File("one/p3.png")));
}

TEST(CliArchive, BadShardsAndReportsStopBeforeAnyWork) {
    TArchive a(2);
    for (const char* shard : {"3/3", "0/0", "1", "-1/2", "a/b"}) {
        const auto run =
            RunCli("apply " + a.dir.File("f.flt") + " --files-from " + a.dir.File("list.txt") +
                   " -o " + a.dir.File("one") + " --shard " + shard);
        EXPECT_EQ(run.status, 2) << shard;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        EXPECT_NE(run.out.find("--shard"), std::string::npos) << run.out;
    }
    const auto run =
        RunCli("apply " + a.dir.File("f.flt") + " --files-from " + a.dir.File("list.txt") + " -o " +
               a.dir.File("one") + " --report " + a.dir.File("no/such/r.jsonl"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "pixmend-cli: " + a.dir.File("no/such/r.jsonl") +
                           ": cannot write (the folder does not exist)\n");
    EXPECT_TRUE(fs::is_empty(a.dir.Path() / "one"));
}
