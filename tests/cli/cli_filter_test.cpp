// pixmend-cli's filter and apply commands, run as a user runs them.
#include "filter/apply_filter.h"
#include "imagefile/image_file.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace {

struct TRun {
    int status = -1;
    std::string out, err;
};

// Runs the tool with the arguments (each quoted for the shell).
TRun Cli(const std::vector<std::string>& args, const TTempDir& scratch) {
    std::string command = "'" + std::string(PIXMEND_CLI_PATH) + "'";
    for (const auto& a : args) command += " '" + a + "'";
    const std::string out = scratch.File(".stdout"), err = scratch.File(".stderr");
    const int raw = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
    TRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto o = ReadFileBytes(out), e = ReadFileBytes(err);
    run.out.assign(o.begin(), o.end());
    run.err.assign(e.begin(), e.end());
    return run;
}

std::string Text(const std::string& file) {
    const auto b = ReadFileBytes(file);
    return {b.begin(), b.end()};
}

TBitmap24 Picture(int32_t w, int32_t h, int seed) {
    TBitmap24 image(w, h);
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c) {
            uint8_t* px = image.Pixel(c, r);
            px[0] = uint8_t((c * 7 + r * 3 + seed) & 0xff);
            px[1] = uint8_t(((c / 3 + r / 3) % 2) * 180 + 30); // a fine screen
            px[2] = uint8_t((c * c + r * seed) & 0xff);
        }
    return image;
}

TEST(CliFilterAdd, MarkOn800By600WithMirrorGivesTheTwoExampleLines) {
    TTempDir dir;
    const std::string flt = dir.File("new.flt");
    const TRun run =
        Cli({"filter", "add", flt, "--rect", "100,50,40,20", "--size", "800x600", "--mirror"}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Text(flt), "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667\r\n"
                         "typ=rec,x1=8.33333,x2=11.66667,y1=12.50000,y2=17.50000\r\n");
    EXPECT_EQ(run.out, "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667\n"
                       "typ=rec,x1=8.33333,x2=11.66667,y1=12.50000,y2=17.50000\n");
    // The same mark dragged up and to the left records the same lines.
    const std::string up = dir.File("up.flt");
    ASSERT_EQ(
        Cli({"filter", "add", up, "--rect", "140,70,-40,-20", "--size", "800x600", "--mirror"}, dir)
            .status,
        0);
    EXPECT_EQ(Text(up), Text(flt));
}

TEST(CliFilterAdd, AppendsAndKeepsOtherLinesVerbatim) {
    TTempDir dir;
    const std::string flt = dir.File("f.flt");
    WriteFileBytes(flt, {'x', ' ', '=', '1', '\n', '\n', 't', 'y', 'p', '=', 'e', 'l', 'l'});
    ASSERT_EQ(Cli({"filter", "add", flt, "--resize", "percent", "50"}, dir).status, 0);
    ASSERT_EQ(
        Cli({"filter", "add", flt, "--ellipse", "0,0,64,32", "--size", "128x128"}, dir).status, 0);
    ASSERT_EQ(Cli({"filter", "add", flt, "--resize", "max-height", "7"}, dir).status, 0);
    // The old lines keep their bytes, line ends included.
    EXPECT_EQ(Text(flt), "x =1\n\ntyp=ell\r\n"
                         "typ=resize100,x1=5000.00000,x2=0.00000,y1=0.00000,y2=0.00000\r\n"
                         "typ=ell,x1=0.00000,x2=50.00000,y1=0.00000,y2=25.00000\r\n"
                         "typ=resize104,x1=700.00000,x2=0.00000,y1=0.00000,y2=0.00000\r\n");
}

TEST(CliFilterAdd, RefusesToHideLinesBehindANul) {
    TTempDir dir;
    const std::string flt = dir.File("f.flt");
    const std::vector<uint8_t> bytes = {'a', '\r', '\n', 0, 'b', '\r', '\n'};
    WriteFileBytes(flt, bytes);
    const TRun run = Cli({"filter", "add", flt, "--resize", "width", "640"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("holds a NUL byte"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFileBytes(flt), bytes);
    // A file without a final line end gets one before the new line.
    WriteFileBytes(flt, {'a', '\r', 'b'});
    ASSERT_EQ(Cli({"filter", "add", flt, "--resize", "width", "640"}, dir).status, 0);
    EXPECT_EQ(Text(flt),
              "a\rb\r\ntyp=resize101,x1=64000.00000,x2=0.00000,y1=0.00000,y2=0.00000\r\n");
}

TEST(CliFilterAdd, BadArgumentsChangeNothing) {
    TTempDir dir;
    const std::string flt = dir.File("f.flt");
    WriteFileBytes(flt, {'a', '\r', '\n'});
    const std::vector<std::vector<std::string>> bad = {
        {"filter", "add", flt, "--rect", "1,2,3", "--size", "800x600"},
        {"filter", "add", flt, "--rect", "1,2,3,4,5", "--size", "800x600"},
        {"filter", "add", flt, "--rect", "1,2,3,x", "--size", "800x600"},
        {"filter", "add", flt, "--rect", "1,2,3,4"},
        {"filter", "add", flt, "--rect", "1,2,3,4", "--size", "0x600"},
        {"filter", "add", flt, "--rect", "1,2,3,4", "--size", "800"},
        {"filter", "add", flt, "--rect", "1,2,3,4", "--ellipse", "1,2,3,4", "--size", "8x6"},
        {"filter", "add", flt, "--resize", "percent"},
        {"filter", "add", flt, "--resize", "sideways", "5"},
        {"filter", "add", flt, "--resize", "percent", "1.5"},
        {"filter", "add", flt, "--resize", "percent", "2147483647"},
        {"filter", "add", flt, "--resize", "max-height", "-7"},
        {"filter", "add", flt, "--rect", "2147483647,0,10,10", "--size", "800x600"},
        {"filter", "add", flt, "--ellipse", "790,0,20,10", "--size", "800x600"},
        {"filter", "add", flt},
        {"filter", "remove", flt},
        {"filter"},
    };
    for (const auto& args : bad) {
        const TRun run = Cli(args, dir);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_NE(run.err.find("pixmend-cli filter: "), std::string::npos) << run.err;
    }
    EXPECT_EQ(Text(flt), "a\r\n");
}

TEST(CliFilterShow, KindsNumbersAndVerbatimLines) {
    TTempDir dir;
    const std::string flt = dir.File("f.flt");
    const std::string text = "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667\r\n"
                             "x2=20,typ=ell,x1=10\n"
                             "typ=resize102,x1=40000\r"
                             "typ=resize7\r\n"
                             "typ=resize150\r\n"
                             "\r\n"
                             "typ=REC,x1=1\x01\r\n"
                             "typ=resize\r\n";
    WriteFileBytes(flt, std::vector<uint8_t>(text.begin(), text.end()));
    const TRun run = Cli({"filter", "show", flt}, dir);
    EXPECT_EQ(run.status, 1); // the last line stops any apply
    EXPECT_EQ(run.out, "1: rectangle x1=0.125 x2=0.175 y1=0.0833333 y2=0.1166667 | "
                       "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667\n"
                       "2: ellipse x1=0.1 x2=0.2 y1=0 y2=0 | x2=20,typ=ell,x1=10\n"
                       "3: resize height x1=400 x2=0 y1=0 y2=0 | typ=resize102,x1=40000\n"
                       "4: ellipse (kind 7) x1=0 x2=0 y1=0 y2=0 | typ=resize7\n"
                       "5: resize mode 50 (changes nothing) x1=0 x2=0 y1=0 y2=0 | typ=resize150\n"
                       "6: unrecognised x1=0 x2=0 y1=0 y2=0 | \n"
                       "7: unrecognised x1=0.01 x2=0 y1=0 y2=0 | typ=REC,x1=1\\x01\n"
                       "8: unreadable ('' is not a valid whole number) | typ=resize\n"
                       "8 entries\n");
    const TRun missing = Cli({"filter", "show", dir.File("none.flt")}, dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "pixmend-cli: " + dir.File("none.flt") + ": cannot open (no such file)\n");
}

// A folder of sources: two bitmaps and a JPEG.
struct TSources {
    TTempDir dir;
    std::vector<std::string> files;
    TSources() {
        std::filesystem::create_directory(dir.Path() / "in");
        const std::pair<const char*, TBitmap24> images[] = {{"in/a.bmp", Picture(40, 30, 1)},
                                                            {"in/b.JPG", Picture(33, 47, 2)},
                                                            {"in/c.bmp", Picture(64, 64, 3)}};
        for (const auto& [name, image] : images) {
            WriteImageFile(dir.File(name), image);
            files.push_back(dir.File(name));
        }
        WriteFileBytes(dir.File("f.flt"), {});
        std::string filter =
            "typ=rec,x1=30,x2=40,y1=30,y2=40\r\ntyp=ell,x1=55,x2=75,y1=20,y2=35\r\n"
            "typ=resize100,x1=15000\r\ntyp=rec,x1=60,x2=70,y1=60,y2=70\r\n";
        WriteFileBytes(dir.File("f.flt"), std::vector<uint8_t>(filter.begin(), filter.end()));
    }
};

TEST(CliApply, ResultsMatchTheEngineAndDoNotDependOnJobs) {
    TSources src;
    for (const char* out : {"one", "two", "many"})
        std::filesystem::create_directory(src.dir.Path() / out);
    std::vector<std::string> base = {"apply", src.dir.File("f.flt")};
    base.insert(base.end(), src.files.begin(), src.files.end());
    const auto run = [&](const std::string& out, const char* jobs) {
        auto args = base;
        args.insert(args.end(), {"-o", src.dir.File(out)});
        if (jobs) args.insert(args.end(), {"--jobs", jobs});
        return Cli(args, src.dir);
    };
    const TRun one = run("one", "1"), two = run("two", "2"), many = run("many", nullptr);
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(two.status, 0) << two.err;
    ASSERT_EQ(many.status, 0) << many.err;
    TFilterList filter;
    filter.LoadFilterFile(src.dir.File("f.flt"));
    for (const char* name : {"a.bmp", "b.JPG", "c.bmp"}) {
        const auto a = ReadFileBytes(src.dir.File(std::string("one/") + name));
        ASSERT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, ReadFileBytes(src.dir.File(std::string("two/") + name))) << name;
        EXPECT_EQ(a, ReadFileBytes(src.dir.File(std::string("many/") + name))) << name;
    }
    // The bitmaps hold what the engine computes; the JPEG is a JPEG.
    for (const char* name : {"a.bmp", "c.bmp"}) {
        TSpectrumStore store;
        FillStoreFromBitmap(ReadImageFile(src.dir.File(std::string("in/") + name)), store);
        TNoProgress quiet;
        ApplyFilterToStore(store, filter, quiet);
        const TBitmap24 want = RenderStore(store, true, 0);
        const TBitmap24 got = ReadImageFile(src.dir.File(std::string("one/") + name));
        EXPECT_EQ(got.Width, want.Width); // enlarged by the resize entry
        EXPECT_EQ(got.Bytes, want.Bytes) << name;
    }
    EXPECT_EQ(ReadImageFile(src.dir.File("one/a.bmp")).Width, 60);
    const auto jpeg = ReadFileBytes(src.dir.File("one/b.JPG"));
    ASSERT_GE(jpeg.size(), 2u);
    EXPECT_EQ(jpeg[0], 0xff);
    EXPECT_EQ(jpeg[1], 0xd8);
    EXPECT_NE(one.out.find(src.dir.File("in/b.JPG") + " -> " + src.dir.File("one") + "/b.JPG"),
              std::string::npos)
        << one.out;
}

TEST(CliApply, DamagedFileFailsAloneAndIsNamed) {
    TSources src;
    std::filesystem::create_directory(src.dir.Path() / "out");
    WriteFileBytes(src.dir.File("in/broken.bmp"), {'B', 'M', 1, 2, 3});
    std::vector<std::string> args = {"apply",
                                     src.dir.File("f.flt"),
                                     src.files[0],
                                     src.dir.File("in/broken.bmp"),
                                     src.files[1],
                                     src.dir.File("in/missing.bmp"),
                                     src.files[2],
                                     "-o",
                                     src.dir.File("out"),
                                     "--jobs",
                                     "2"};
    const TRun run = Cli(args, src.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(
        run.err.find("pixmend-cli: " + src.dir.File("in/broken.bmp") + ": not a valid bitmap\n"),
        std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("pixmend-cli: " + src.dir.File("in/missing.bmp") +
                           ": cannot open (no such file)\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("2 of 5 files failed"), std::string::npos) << run.err;
    for (const char* name : {"a.bmp", "b.JPG", "c.bmp"})
        EXPECT_TRUE(std::filesystem::exists(src.dir.Path() / "out" / name)) << name;
    EXPECT_FALSE(std::filesystem::exists(src.dir.Path() / "out" / "broken.bmp"));
    EXPECT_FALSE(std::filesystem::exists(src.dir.Path() / "out" / "missing.bmp"));
}

TEST(CliApply, RefusesWhatWouldLoseWork) {
    TSources src;
    std::filesystem::create_directory(src.dir.Path() / "out");
    std::filesystem::create_directory(src.dir.Path() / "other");
    WriteImageFile(src.dir.File("other/a.bmp"), Picture(8, 8, 9));
    // Two sources with one output name: the second fails instead of
    // replacing the first one's result.
    TRun run = Cli({"apply", src.dir.File("f.flt"), src.files[0], src.dir.File("other/a.bmp"), "-o",
                    src.dir.File("out")},
                   src.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(
        run.err.find(src.dir.File("other/a.bmp") + ": has the same output name as " + src.files[0]),
        std::string::npos)
        << run.err;
    EXPECT_EQ(ReadImageFile(src.dir.File("out/a.bmp")).Width, 60);
    // A filter whose numbers have no cell: every file fails with the message,
    // nothing is written.
    WriteFileBytes(src.dir.File("inf.flt"), {'t', 'y', 'p', '=', 'r', 'e', 'c', ',', 'x', '1', '=',
                                             '1', 'e', '9', '9', '9'});
    run =
        Cli({"apply", src.dir.File("inf.flt"), src.files[2], "-o", src.dir.File("other")}, src.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(": filter line 1: invalid floating-point operation"), std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(src.dir.Path() / "other" / "c.bmp"));
    // A missing output folder or filter, a bad job count: nothing runs.
    run =
        Cli({"apply", src.dir.File("f.flt"), src.files[0], "-o", src.dir.File("nowhere")}, src.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("nowhere: the output folder does not exist"), std::string::npos)
        << run.err;
    run =
        Cli({"apply", src.dir.File("none.flt"), src.files[0], "-o", src.dir.File("out")}, src.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("none.flt: cannot open (no such file)"), std::string::npos) << run.err;
    for (const char* jobs : {"0", "-1", "x"})
        EXPECT_EQ(Cli({"apply", src.dir.File("f.flt"), src.files[0], "-o", src.dir.File("out"),
                       "--jobs", jobs},
                      src.dir)
                      .status,
                  2)
            << jobs;
    EXPECT_EQ(Cli({"apply", src.dir.File("f.flt"), "-o", src.dir.File("out")}, src.dir).status, 2);
}

// The bundled filter removes the bundled sample's screen: the strongest
// peaks of the screen lose almost all their energy, the mean brightness stays.
TEST(CliApply, BundledFilterRemovesTheSampleScreen) {
    const std::string samples = std::string(PIXMEND_SOURCE_DIR) + "/samples/";
    if (!std::filesystem::exists(samples + "halftone.bmp") ||
        !std::filesystem::exists(samples + "halftone.flt"))
        GTEST_SKIP() << "no sample";
    TTempDir dir;
    const TRun run = Cli(
        {"apply", samples + "halftone.flt", samples + "halftone.bmp", "-o", dir.Path().string()},
        dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto spectrum = [](const std::string& file) {
        TSpectrumStore store;
        FillStoreFromBitmap(ReadImageFile(file), store);
        TNoProgress quiet;
        TransformStore(store, TTransformDirection::Forward, nullptr, quiet);
        return store;
    };
    const TSpectrumStore before = spectrum(samples + "halftone.bmp"),
                         after = spectrum(dir.File("halftone.bmp"));
    const auto energy = [](const TSpectrumStore& s, int32_t c0, int32_t r0) {
        double e = 0;
        for (int p = 0; p < 3; ++p)
            for (int32_t r = std::max(0, r0 - 2); r <= r0 + 2; ++r)
                for (int32_t c = std::max(0, c0 - 2); c <= c0 + 2; ++c)
                    e += double(s.At(p, c, r)) * s.At(p, c, r);
        return e;
    };
    for (auto [c, r] :
         {std::pair(211, 42), std::pair(56, 158), std::pair(154, 116), std::pair(309, 0)})
        EXPECT_LT(energy(after, c, r), energy(before, c, r) / 100) << c << "," << r;
    // The constant term sums the mirrored image: within one grey level of
    // mean brightness (writing bytes truncates, which costs half a level).
    const double cells = double(2 * before.Cols - 1) * double(2 * before.Rows - 1);
    for (int p = 0; p < 3; ++p) EXPECT_NEAR(after.At(p, 0, 0), before.At(p, 0, 0), cells) << p;
}

} // namespace

TEST(CliApply, ChainedResizesStopAtTheMemoryBudgetNamingTheLine) {
    TTempDir dir;
    WriteImageFile(dir.File("small.bmp"), RandomBitmap(37, 23, 5));
    std::filesystem::create_directory(dir.Path() / "out");
    const std::string line = "typ=resize100,x1=50000.00000,x2=0.00000,y1=0.00000,y2=0.00000\r\n";
    const std::string text = line + line + line + line;
    WriteFileBytes(dir.File("grow.flt"), std::vector<uint8_t>(text.begin(), text.end()));
    const TRun run = Cli({"apply", "--max-memory", "200M", dir.File("grow.flt"),
                          dir.File("small.bmp"), "-o", dir.File("out")},
                         dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(": filter line 3: a store of 4625 x 2875 cells needs 203 MB of memory, "
                           "more than the 200 MB allowed"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out" / "small.bmp"));
}

TEST(CliFilter, AValueThatIsNoNumberStopsApplyAndShowNamingFileAndLine) {
    TTempDir dir;
    WriteImageFile(dir.File("a.bmp"), RandomBitmap(12, 10, 3));
    const std::string text = "typ=rec,x1=10.00000,x2=20.00000,y1=10.00000,y2=20.00000\r\n"
                             "typ=rec,x1=12abc,x2=20,y1=10,y2=20\r\n";
    WriteFileBytes(dir.File("bad.flt"), std::vector<uint8_t>(text.begin(), text.end()));
    std::filesystem::create_directory(dir.Path() / "out");
    const std::string expected = "pixmend-cli: " + dir.File("bad.flt") +
                                 ": line 2: the number 12 is followed by 'abc' (x1)\n";
    const TCliRun apply =
        RunCli("apply " + dir.File("bad.flt") + " " + dir.File("a.bmp") + " -o " + dir.File("out"));
    EXPECT_EQ(apply.status, 1);
    EXPECT_EQ(apply.out, expected);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "out"));
    const TCliRun show = RunCli("filter show " + dir.File("bad.flt"));
    EXPECT_EQ(show.status, 1);
    EXPECT_EQ(show.out, expected);
}
