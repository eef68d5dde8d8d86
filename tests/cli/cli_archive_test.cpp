// apply at archive scale: shards in parallel processes, resuming, reports.
#include "cli/cli_support.h"
#include "imagefile/image_file.h"
#include "spectral/transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

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

namespace {
// True when the text is valid UTF-8 (what a JSON reader insists on).
bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return false;
        i += n;
    }
    return true;
}
} // namespace

TEST(CliArchive, NoOutputEverReplacesAnInput) {
    TArchive a(3);
    const std::string in = a.dir.File("in");
    const auto before = ReadFileBytes(in + "/p1.bmp");
    const auto files = in + "/p0.png " + in + "/p1.bmp ";
    // The output folder is the input folder; a link in the output folder
    // leads to an input of another name; a single output names its input.
    fs::create_symlink(in + "/p1.bmp", a.dir.File("one/p0.png"));
    const TCliRun same = RunCli("descreen " + files + "-o " + in);
    const TCliRun link =
        RunCli("apply " + a.dir.File("f.flt") + " " + files + "-o " + a.dir.File("one"));
    const TCliRun single = RunCli("roundtrip " + in + "/p1.bmp -o " + in + "/./p1.bmp");
    EXPECT_EQ(same.status, 1);
    EXPECT_EQ(same.out, "pixmend-cli: " + in +
                            "/p0.png: is an input and would be replaced by the "
                            "result; write into another folder, or beside the inputs under another "
                            "name with --suffix -clean\n");
    EXPECT_EQ(link.status, 1);
    EXPECT_NE(link.out.find(a.dir.File("one/p0.png") + ": would replace the input " + in +
                            "/p1.bmp (the same file)"),
              std::string::npos)
        << link.out;
    EXPECT_EQ(single.status, 1);
    EXPECT_NE(single.out.find("would replace the input"), std::string::npos) << single.out;
    EXPECT_EQ(ReadFileBytes(in + "/p1.bmp"), before);
    EXPECT_TRUE(fs::is_symlink(a.dir.File("one/p0.png")));
    // --suffix writes beside the inputs, under other names.
    ASSERT_EQ(RunCli("apply -q " + a.dir.File("f.flt") + " " + files + "--suffix -clean").status,
              0);
    EXPECT_TRUE(fs::is_regular_file(in + "/p0-clean.png"));
    EXPECT_TRUE(fs::is_regular_file(in + "/p1-clean.bmp"));
    EXPECT_EQ(ReadFileBytes(in + "/p1.bmp"), before);
}

TEST(CliArchive, FourShardsSharingOneReportWriteWholeLinesOfAnyLength) {
    TTempDir dir;
    fs::create_directory(dir.Path() / "out");
    EXPECT_EQ(RunCli("filter add " + dir.File("f.flt") + " --rect 2,2,3,3 --size 12x10").status, 0);
    // Names of about 4 KB that do not exist: each fails at once, with a
    // line of over 8 KB (input, output and a message naming the file).
    std::ofstream list(dir.File("list.txt"));
    std::set<std::string> names;
    for (int i = 0; i < 400; ++i) {
        const std::string name =
            "/nonexistent/" + std::string(4000, char('a' + i % 26)) + std::to_string(i) + ".png";
        names.insert(name);
        list << name << "\n";
    }
    list.close();
    std::string shards;
    for (int k = 0; k < 4; ++k)
        shards += std::string(PIXMEND_CLI_PATH) + " apply -q " + dir.File("f.flt") +
                  " --files-from " + dir.File("list.txt") + " -o " + dir.File("out") +
                  " --jobs 1 --shard " + std::to_string(k) + "/4 --report " + dir.File("r.jsonl") +
                  " 2>/dev/null & ";
    std::system((shards + "wait").c_str());
    const auto lines = Lines(dir.File("r.jsonl"));
    EXPECT_EQ(lines.size(), 400u);
    std::set<std::string> reported;
    for (const auto& line : lines) {
        ASSERT_GT(line.size(), 8000u);
        ASSERT_EQ(line.rfind("{\"input\": \"", 0), 0u) << line.substr(0, 100);
        ASSERT_EQ(line.back(), '}');
        const size_t end = line.find('"', 11);
        EXPECT_EQ(line.find("{", 1), std::string::npos);
        EXPECT_NE(line.find("\"status\": \"failed\""), std::string::npos);
        reported.insert(line.substr(11, end - 11));
    }
    EXPECT_EQ(reported, names);
}

TEST(CliArchive, ReportsTellTheTruth) {
    TArchive a(3);
    const std::string in = a.dir.File("in"), out = a.dir.File("one");
    const std::string report = " --report " + a.dir.File("r.jsonl");
    // A report that cannot be written fails the run.
    EXPECT_EQ(RunCli("apply -q " + a.dir.File("f.flt") + " " + in + "/p1.bmp -o " + out +
                     " --report /dev/full")
                  .status,
              1);
    // A filter that cannot be saved makes the file failed, not done, and a
    // folder in an output's place is not taken for a finished output.
    fs::create_directory(out + "/p2.flt");
    fs::remove(out + "/p1.bmp");
    fs::create_directory(out + "/p1.bmp");
    const std::string descreen = "descreen -q " + in + "/p1.bmp " + in + "/p2.bmp -o " + out +
                                 " --save-filters --skip-existing" + report;
    EXPECT_EQ(RunCli(descreen).status, 1);
    EXPECT_EQ(RunCli(descreen).status, 1);
    const auto lines = Lines(a.dir.File("r.jsonl"));
    ASSERT_EQ(lines.size(), 4u);
    for (const auto& line : lines) EXPECT_NE(line.find("\"failed\""), std::string::npos) << line;
    // A name listed twice is done once and reported as a duplicate.
    fs::remove(a.dir.File("r.jsonl"));
    const TCliRun twice = RunCli("apply -q " + a.dir.File("f.flt") + " " + in + "/p0.png " + in +
                                 "/./p0.png -o " + out + report);
    EXPECT_EQ(twice.status, 0) << twice.out;
    const auto dup = Lines(a.dir.File("r.jsonl"));
    ASSERT_EQ(dup.size(), 2u);
    EXPECT_NE(dup[0].find("\"duplicate\""), std::string::npos) << dup[0];
    EXPECT_NE(dup[1].find("\"done\""), std::string::npos) << dup[1];
    // An empty list is an error, unless it is expected.
    const std::string empty = "apply " + a.dir.File("f.flt") + " --files-from - -o " + out;
    const TCliRun none = RunCli(empty + " </dev/null");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("names no file"), std::string::npos) << none.out;
    EXPECT_EQ(RunCli(empty + " <&-").status, 1);
    EXPECT_EQ(RunCli(empty + " --allow-empty </dev/null").status, 0);
}

TEST(CliArchive, NamesThatAreNotUtf8GiveValidJsonWithTheirExactBytes) {
    TTempDir dir;
    fs::create_directory(dir.Path() / "out");
    const std::string odd = dir.File("scan\xff\xfe.bmp");
    WriteImageFile(odd, RandomBitmap(12, 10, 1));
    ASSERT_EQ(RunCli("filter add " + dir.File("f.flt") + " --rect 2,2,3,3 --size 12x10").status, 0);
    ASSERT_EQ(RunCli("apply -q " + dir.File("f.flt") + " '" + odd + "' -o " + dir.File("out") +
                     " --report " + dir.File("r.jsonl"))
                  .status,
              0);
    const auto lines = Lines(dir.File("r.jsonl"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(ValidUtf8(lines[0])) << lines[0];
    std::string hex;
    for (const unsigned char c : odd) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02x", c);
        hex += buf;
    }
    EXPECT_NE(lines[0].find("\"input_hex\": \"" + hex + "\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("scan\xef\xbf\xbd\xef\xbf\xbd.bmp"), std::string::npos) << lines[0];
}

TEST(CliArchive, AFileOverItsTimeLimitFailsWithTheReasonAndTheRunGoesOn) {
    TArchive a(1);
    // 2W-1 = 19997 is a prime: the exact transform costs its square per row.
    WriteImageFile(a.dir.File("in/wide.bmp"), RandomBitmap(9999, 6, 3));
    const std::string apply = "apply -q " + a.dir.File("f.flt") + " " + a.dir.File("in/wide.bmp") +
                              " " + a.dir.File("in/p0.png") + " -o " + a.dir.File("one") +
                              " --jobs 1 --max-seconds-per-file ";
    const TCliRun early = RunCliErrors(apply + "0.01");
    EXPECT_EQ(early.status, 1);
    EXPECT_NE(early.out.find("wide.bmp: the exact transform would take longer than the 0.01 s "
                             "allowed per file (--max-seconds-per-file): about "),
              std::string::npos)
        << early.out;
    EXPECT_NE(early.out.find("2W-1 = 19997 (a prime)"), std::string::npos) << early.out;
    EXPECT_NE(early.out.find("--fast"), std::string::npos) << early.out;
    // Just above what the fastest machine would need: the file is started,
    // and on any real one it is still working at the limit.
    char limit[32];
    std::snprintf(limit, sizeof limit, "%.3g",
                  1.02 * 2 * ExactTransformWork(9999, 6) / TBatchCommand::kFastestWorkPerSecond);
    const TCliRun late = RunCliErrors(apply + limit);
    EXPECT_EQ(late.status, 1);
    EXPECT_NE(
        late.out.find("wide.bmp: stopped after the " + std::string(limit) + " s allowed per file"),
        std::string::npos)
        << late.out;
    EXPECT_FALSE(fs::exists(a.dir.File("one/wide.bmp")));
    EXPECT_TRUE(fs::is_regular_file(a.dir.File("one/p0.png"))); // the run went on
}
