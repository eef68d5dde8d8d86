// pixmend-cli watermark embed / check, run as a user runs them.
#include "imagefile/image_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

// A small picture with smooth shading, a few shapes and fine texture; 160 x 128
// is large enough for the mark to be detectable and quick to transform.
TBitmap24 Picture() {
    const int32_t w = 160, h = 128;
    TBitmap24 image(w, h);
    uint32_t noise = 12345;
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double shade = 60.0 + 90.0 * double(c) / w + 40.0 * std::sin(r / 9.0);
            const bool disc = (c - 50) * (c - 50) + (r - 60) * (r - 60) < 900;
            const double grain = double(noise >> 28) - 8.0;
            uint8_t* px = image.Pixel(c, r);
            px[0] = uint8_t(std::clamp(shade + grain + (disc ? 70 : 0), 0.0, 255.0));
            px[1] = uint8_t(std::clamp(shade * 0.8 + grain + (c > 110 ? 50 : 0), 0.0, 255.0));
            px[2] = uint8_t(std::clamp(200.0 - shade * 0.5 + grain, 0.0, 255.0));
        }
    return image;
}

// The number at the end of the output's last line.
double LastNumber(const std::string& out) {
    const auto pos = out.find_last_of(" \n", out.size() - 2);
    return std::atof(out.c_str() + (pos == std::string::npos ? 0 : pos + 1));
}

TEST(CliWatermark, EmbedThenCheckFindsTheSignOnly) {
    TTempDir dir;
    WriteImageFile(dir.File("in.bmp"), Picture());
    const auto embed = RunCli("watermark embed " + dir.File("in.bmp") + " -o " +
                              dir.File("marked.bmp") + " --sign 'Archiv 7'");
    ASSERT_EQ(embed.status, 0) << embed.out;
    EXPECT_NE(embed.out.find("passes: "), std::string::npos) << embed.out;
    EXPECT_GT(LastNumber(embed.out), 0.99) << embed.out;
    EXPECT_EQ(ReadImageFile(dir.File("marked.bmp")).Width, 160);

    const auto found = RunCli("watermark check " + dir.File("marked.bmp") + " --sign 'Archiv 7'");
    EXPECT_EQ(found.status, 0) << found.out;
    EXPECT_EQ(found.out.rfind("Wasserzeichen gefunden, ", 0), 0u) << found.out;
    EXPECT_NE(found.out.find(" % vollst\u00e4ndig\n"), std::string::npos) << found.out;
    EXPECT_GT(LastNumber(found.out), 0.1);

    const auto other = RunCli("watermark check " + dir.File("marked.bmp") + " --sign 'archiv 7'");
    EXPECT_EQ(other.status, 1) << other.out;
    EXPECT_EQ(other.out.rfind("Wasserzeichen nicht gefunden\n", 0), 0u) << other.out;
    EXPECT_LE(LastNumber(other.out), 0.1);

    // The unmarked picture does not carry it.
    EXPECT_EQ(RunCli("watermark check " + dir.File("in.bmp") + " --sign 'Archiv 7'").status, 1);
}

TEST(CliWatermark, DefaultSignAndUnquantisedNpy) {
    TTempDir dir;
    WriteImageFile(dir.File("in.bmp"), Picture());
    const auto embed =
        RunCli("watermark embed " + dir.File("in.bmp") + " -o " + dir.File("marked.npy"));
    ASSERT_EQ(embed.status, 0) << embed.out;
    const auto bytes = ReadFileBytes(dir.File("marked.npy"));
    const std::string head(bytes.begin(), bytes.begin() + 128);
    EXPECT_NE(head.find("'shape': (3, 128, 160)"), std::string::npos) << head;
    // The .npy is a spatial store: check reads it as one, with the default sign.
    const auto check =
        RunCli("watermark check " + dir.File("marked.npy") + " --sign '(c) Pixmend Software'");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(RunCli("watermark check " + dir.File("marked.npy")).status, 0);
}

TEST(CliWatermark, ErrorsLeaveExistingFilesAlone) {
    TTempDir dir;
    WriteFileBytes(dir.File("keep.bmp"), {1, 2, 3});
    const auto missing =
        RunCli("watermark embed " + dir.File("nope.bmp") + " -o " + dir.File("keep.bmp"));
    EXPECT_EQ(missing.status, 1) << missing.out;
    EXPECT_EQ(std::count(missing.out.begin(), missing.out.end(), '\n'), 1) << missing.out;
    EXPECT_EQ(ReadFileBytes(dir.File("keep.bmp")), (std::vector<uint8_t>{1, 2, 3}));

    WriteFileBytes(dir.File("bad.bmp"), {'B', 'M', 0, 0});
    EXPECT_EQ(RunCli("watermark check " + dir.File("bad.bmp")).out,
              "pixmend-cli: " + dir.File("bad.bmp") + ": not a valid bitmap\n");
    EXPECT_EQ(RunCli("watermark").status, 2);
    EXPECT_EQ(RunCli("watermark stamp x").status, 2);
    EXPECT_EQ(RunCli("watermark embed " + dir.File("keep.bmp")).status, 2); // no -o
    const auto help = RunCli("watermark --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("watermark check IMAGE"), std::string::npos);
}

} // namespace

TEST(CliWatermark, AMarkTooWeakToBeFoundIsAFailureAndWritesNothing) {
    TTempDir dir;
    WriteImageFile(dir.File("tiny.bmp"), TBitmap24(6, 4));
    const auto run =
        RunCli("watermark embed " + dir.File("tiny.bmp") + " -o " + dir.File("out.bmp"));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("pixmend-cli watermark: the watermark did not take: after 20 passes"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.bmp")));
}
