// pixmend-cli's transform commands, run as a user runs them.
#include "cli/cli_support.h"
#include "imagefile/image_file.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <limits>
#include <sys/wait.h>

namespace {

TBitmap24 TestImage(int32_t w, int32_t h) {
    TBitmap24 image(w, h);
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c) {
            uint8_t* px = image.Pixel(c, r);
            px[0] = uint8_t((c * 7 + r * 3) & 0xff);
            px[1] = uint8_t((c * c + r) & 0xff);
            px[2] = uint8_t(((c / 4 + r / 4) % 2) * 200 + 20);
        }
    return image;
}

} // namespace

TEST(CliTransform, SpectrumNpyHoldsTheStoreBitForBit) {
    TTempDir dir;
    const auto image = TestImage(23, 17);
    WriteImageFile(dir.File("in.bmp"), image);
    const auto run = RunCli("spectrum " + dir.File("in.bmp") + " -o " + dir.File("s.npy"));
    ASSERT_EQ(run.status, 0) << run.out;
    const auto bytes = ReadFileBytes(dir.File("s.npy"));
    const std::string head(bytes.begin(), bytes.begin() + 128);
    EXPECT_NE(head.find("'descr': '<f4', 'fortran_order': False, 'shape': (3, 17, 23)"),
              std::string::npos)
        << head;

    TSpectrumStore want;
    FillStoreFromBitmap(image, want);
    TNoProgress none;
    TransformStore(want, TTransformDirection::Forward, nullptr, none);
    const TSpectrumStore got = LoadStoreNpy(dir.File("s.npy"));
    ASSERT_EQ(got.Cols, 23);
    ASSERT_EQ(got.Rows, 17);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < got.CellCount(); ++i)
            ASSERT_EQ(FloatBits(got.Planes[p][i]), FloatBits(want.Planes[p][i])) << p << " " << i;
}

TEST(CliTransform, ImageFromStoredSpectrumGivesThePictureBack) {
    TTempDir dir;
    const auto image = TestImage(40, 30);
    WriteImageFile(dir.File("in.bmp"), image);
    ASSERT_EQ(RunCli("spectrum " + dir.File("in.bmp") + " -o " + dir.File("s.npy")).status, 0);
    const auto run = RunCli("image " + dir.File("s.npy") + " -o " + dir.File("back.bmp"));
    ASSERT_EQ(run.status, 0) << run.out;
    const TBitmap24 back = ReadImageFile(dir.File("back.bmp"));
    ASSERT_EQ(back.Width, 40);
    ASSERT_EQ(back.Height, 30);
    // Values are truncated, so a pixel may come back one lower.
    for (size_t i = 0; i < back.Bytes.size(); ++i)
        ASSERT_LE(std::abs(int(back.Bytes[i]) - int(image.Bytes[i])), 1) << i;

    ASSERT_EQ(RunCli("roundtrip " + dir.File("in.bmp") + " -o " + dir.File("rt.npy")).status, 0);
    const TSpectrumStore rt = LoadStoreNpy(dir.File("rt.npy"));
    EXPECT_NEAR(rt.Planes[2][0], float(image.Bytes[2]) - 127.0f, 1e-3);
}

TEST(CliTransform, SpectrumPictureUsesTheContrastPosition) {
    TTempDir dir;
    WriteImageFile(dir.File("in.bmp"), TestImage(16, 16));
    ASSERT_EQ(
        RunCli("spectrum " + dir.File("in.bmp") + " -o " + dir.File("dark.bmp") + " --contrast -50")
            .status,
        0);
    ASSERT_EQ(RunCli("spectrum " + dir.File("in.bmp") + " -o " + dir.File("bright.bmp") +
                     " --contrast 50")
                  .status,
              0);
    const TBitmap24 dark = ReadImageFile(dir.File("dark.bmp")),
                    bright = ReadImageFile(dir.File("bright.bmp"));
    int darkSum = 0, brightSum = 0;
    for (size_t i = 3; i < dark.Bytes.size(); ++i)
        darkSum += dark.Bytes[i], brightSum += bright.Bytes[i];
    EXPECT_LT(darkSum, brightSum);
}

TEST(CliTransform, TooWideImageReportsTheLengthError) {
    TTempDir dir;
    WriteImageFile(dir.File("wide.bmp"), TBitmap24(10006, 1));
    const auto run = RunCli("spectrum " + dir.File("wide.bmp") + " -o " + dir.File("s.npy"));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.out.find("pixmend-cli: " + dir.File("wide.bmp") +
                           ": a side of this length cannot be transformed"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("The largest width below it that works is 10005 pixels"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(std::filesystem::exists(dir.File("s.npy")));
}

TEST(CliTransform, ResizeGivesTheNewSize) {
    TTempDir dir;
    WriteImageFile(dir.File("in.bmp"), TestImage(60, 40));
    auto run = RunCli("resize " + dir.File("in.bmp") + " -o " + dir.File("half.bmp") +
                      " --mode percent --value 50");
    ASSERT_EQ(run.status, 0) << run.out;
    TBitmap24 half = ReadImageFile(dir.File("half.bmp"));
    EXPECT_EQ(half.Width, 30);
    EXPECT_EQ(half.Height, 20);
    run = RunCli("resize " + dir.File("in.bmp") + " -o " + dir.File("w.bmp") +
                 " --mode max-width --value 90");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(ReadImageFile(dir.File("w.bmp")).Width, 60);
    run = RunCli("resize " + dir.File("in.bmp") + " -o " + dir.File("x.bmp") +
                 " --mode sideways --value 9");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("unknown --mode"), std::string::npos) << run.out;
}

TEST(CliTransform, BadInputGetsOneClearLine) {
    TTempDir dir;
    // A stored spectrum of the wrong shape or type.
    TSpectrumStore two;
    two.Resize(4, 3);
    SaveStoreNpy(two, dir.File("ok.npy"));
    auto bytes = ReadFileBytes(dir.File("ok.npy"));
    std::string text(bytes.begin(), bytes.end());
    auto wrongType = text;
    wrongType.replace(wrongType.find("<f4"), 3, "<f8");
    WriteFileBytes(dir.File("f8.npy"), {wrongType.begin(), wrongType.end()});
    auto wrongShape = text;
    wrongShape.replace(wrongShape.find("(3, 3, 4)"), 9, "(2, 3, 4)");
    WriteFileBytes(dir.File("shape.npy"), {wrongShape.begin(), wrongShape.end()});
    WriteFileBytes(dir.File("short.npy"), {bytes.begin(), bytes.end() - 5});
    for (const char* name : {"f8.npy", "shape.npy", "short.npy"}) {
        const auto run = RunCli("image " + dir.File(name) + " -o " + dir.File("out.bmp"));
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.out.find("pixmend-cli: " + dir.File(name) + ": not a stored spectrum"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    }
    auto run = RunCli("spectrum " + dir.File("missing.bmp") + " -o " + dir.File("s.npy"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "pixmend-cli: " + dir.File("missing.bmp") + ": cannot open (no such file)\n");
    WriteFileBytes(dir.File("cut.bmp"), {'B', 'M', 1, 2});
    run = RunCli("roundtrip " + dir.File("cut.bmp") + " -o " + dir.File("s.png"));
    EXPECT_EQ(run.out, "pixmend-cli: " + dir.File("cut.bmp") + ": not a valid bitmap\n");
    run = RunCli("spectrum");
    EXPECT_EQ(run.status, 2);
    run = RunCli("spectrum a.bmp");
    EXPECT_NE(run.out.find("missing -o"), std::string::npos) << run.out;
    run = RunCli("spectrum a.bmp -o x.npy --contrast lots");
    EXPECT_NE(run.out.find("not a whole number"), std::string::npos) << run.out;
    run = RunCli("spectrum a.bmp -o x.npy --contrast 1000");
    EXPECT_NE(run.out.find("--contrast: 1000 is out of range (-50..50)"), std::string::npos)
        << run.out;
    run = RunCli("frobnicate");
    EXPECT_EQ(run.status, 2);
    run = RunCli("spectrum --help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("usage: pixmend-cli spectrum"), std::string::npos);
}

TEST(CliTransform, FailedWriteKeepsTheOldFile) {
    TTempDir dir;
    WriteImageFile(dir.File("in.bmp"), TestImage(8, 8));
    WriteFileBytes(dir.File("keep.npy"), {1, 2, 3});
    std::filesystem::create_directory(dir.File("sub.npy"));
    // The target is a folder: the write fails, nothing else is touched.
    auto run = RunCli("spectrum " + dir.File("in.bmp") + " -o " + dir.File("sub.npy"));
    EXPECT_EQ(run.status, 1) << run.out;
    run = RunCli("spectrum " + dir.File("in.bmp") + " -o " + dir.File("in.bmp/x.npy"));
    EXPECT_EQ(run.out, "pixmend-cli: " + dir.File("in.bmp/x.npy") +
                           ": cannot write (the folder does not exist)\n");
    EXPECT_EQ(ReadFileBytes(dir.File("keep.npy")), (std::vector<uint8_t>{1, 2, 3}));
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 2u);
}

TEST(CliTransform, FastSaysSoAndStoresTheFastTransform) {
    TTempDir dir;
    const auto image = TestImage(100, 70); // 199 and 139 are prime
    WriteImageFile(dir.File("in.bmp"), image);
    const auto run = RunCli("spectrum --fast " + dir.File("in.bmp") + " -o " + dir.File("s.npy"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("fast transform"), std::string::npos) << run.out;

    TSpectrumStore want;
    FillStoreFromBitmap(image, want);
    TNoProgress none;
    TTransformOptions fast;
    fast.Fast = true;
    TransformStore(want, TTransformDirection::Forward, nullptr, none, fast);
    const TSpectrumStore got = LoadStoreNpy(dir.File("s.npy"));
    ASSERT_EQ(got.CellCount(), want.CellCount());
    for (int p = 0; p < 3; ++p) EXPECT_EQ(got.Planes[p], want.Planes[p]) << p;
}

TEST(CliTransform, ImageRefusesASpectrumWithNaNOrInfinity) {
    TTempDir dir;
    TSpectrumStore store = RandomStore(6, 4, 7);
    store.Planes[1][9] = std::numeric_limits<float>::quiet_NaN();
    SaveStoreNpy(store, dir.File("nan.npy"));
    store.Planes[1][9] = 0;
    store.Planes[2][0] = std::numeric_limits<float>::infinity();
    SaveStoreNpy(store, dir.File("inf.npy"));
    const auto nan = RunCli("image " + dir.File("nan.npy") + " -o " + dir.File("a.bmp"));
    EXPECT_EQ(nan.status, 1);
    EXPECT_EQ(nan.out, "pixmend-cli: " + dir.File("nan.npy") +
                           ": the spectrum holds values that are not finite (NaN or infinity; the "
                           "first in plane 1, row 1, column 3); no image is written\n");
    EXPECT_EQ(RunCli("image " + dir.File("inf.npy") + " -o " + dir.File("a.bmp")).status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.bmp")));
}
