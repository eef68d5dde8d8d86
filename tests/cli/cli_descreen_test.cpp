// pixmend-cli descreen and filter detect, run as a user runs them.
#include "imagefile/image_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(CliDescreen, CleansEachFileGoesOnPastABrokenOneAndSavesWhatItDid) {
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "out");
    WriteImageFile(dir.File("screened.bmp"), ScreenedPicture(240, 180, 3.6));
    WriteImageFile(dir.File("plain.bmp"), ScreenedPicture(200, 150, 0));
    WriteFileBytes(dir.File("broken.bmp"), {'B', 'M', 1, 2, 3});
    const TCliRun run =
        RunCli("descreen '" + dir.File("screened.bmp") + "' '" + dir.File("broken.bmp") + "' '" +
               dir.File("plain.bmp") + "' -o '" + dir.File("out") + "' --save-filters");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("broken.bmp: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("plain.bmp (no screen found)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 of 3 files failed"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/broken.bmp")));
    EXPECT_TRUE(ReadFileBytes(dir.File("out/plain.flt")).empty());

    // The filter it saved is what filter detect finds, and applying it gives
    // the same picture, byte for byte.
    const std::string detected = dir.File("detected.flt");
    const TCliRun detect =
        RunCli("filter detect '" + dir.File("screened.bmp") + "' -o '" + detected + "'");
    ASSERT_EQ(detect.status, 0) << detect.out;
    EXPECT_NE(detect.out.find("entries written"), std::string::npos) << detect.out;
    EXPECT_EQ(ReadFileBytes(detected), ReadFileBytes(dir.File("out/screened.flt")));
    std::filesystem::create_directories(dir.Path() / "replay");
    ASSERT_EQ(RunCli("apply '" + detected + "' '" + dir.File("screened.bmp") + "' -o '" +
                     dir.File("replay") + "'")
                  .status,
              0);
    EXPECT_EQ(ReadFileBytes(dir.File("replay/screened.bmp")),
              ReadFileBytes(dir.File("out/screened.bmp")));

    const TCliRun show = RunCli("filter show '" + detected + "'");
    EXPECT_NE(show.out.find("screen notch"), std::string::npos) << show.out;
    EXPECT_EQ(
        RunCli("descreen '" + dir.File("plain.bmp") + "' -o '" + dir.File("out") + "' --strength 9")
            .status,
        2);
}

// The archive options are apply's: two shards from a list write every file
// once, and a rerun with --skip-existing redoes only the file whose filter
// is missing, as after a run killed between the image and its filter.
TEST(CliDescreen, ShardsFromAListAndResumes) {
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "out");
    std::string list;
    for (int i = 0; i < 4; ++i) {
        WriteImageFile(dir.File("s" + std::to_string(i) + ".bmp"),
                       ScreenedPicture(120, 90, 3.0 + i * 0.2));
        list += dir.File("s" + std::to_string(i) + ".bmp") + "\n";
    }
    WriteFileBytes(dir.File("list.txt"), std::vector<uint8_t>(list.begin(), list.end()));
    const std::string common = "descreen -q --files-from '" + dir.File("list.txt") + "' -o '" +
                               dir.File("out") + "' --save-filters --report '" +
                               dir.File("r.jsonl") + "' ";
    ASSERT_EQ(RunCli(common + "--shard 0/2").status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.File("out/s2.flt")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/s1.bmp")));
    ASSERT_EQ(RunCli(common + "--shard 1/2").status, 0);
    std::filesystem::remove(dir.File("out/s3.flt"));
    const auto s0 = ReadFileBytes(dir.File("out/s0.bmp"));
    ASSERT_EQ(RunCli(common + "--skip-existing").status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out/s0.bmp")), s0);
    const auto report = ReadFileBytes(dir.File("r.jsonl"));
    const std::string text(report.begin(), report.end());
    size_t skipped = 0, done = 0;
    for (size_t at = 0; (at = text.find("\"status\": \"", at)) != std::string::npos; ++at)
        (text.compare(at + 11, 7, "skipped") == 0 ? skipped : done) += 1;
    EXPECT_EQ(skipped, 3u) << text;
    EXPECT_EQ(done, 5u) << text;
    EXPECT_TRUE(std::filesystem::exists(dir.File("out/s3.flt")));
}
