// pixmend-cli with the image formats of archival scanners: the format follows
// the output name, and 16-bit, grey, resolution and profile survive a run.
#include "imagefile/image_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

// A 16-bit ramp over the whole range, different in each channel.
TImageFile Ramp(bool grey) {
    TImageFile f;
    f.Info = {600, 600, {}, grey, true};
    f.Deep = TBitmap48(64, 48);
    for (int32_t r = 0; r < 48; ++r)
        for (int32_t c = 0; c < 64; ++c)
            for (int p = 0; p < 3; ++p)
                f.Deep.Row(r)[3 * c + p] =
                    uint16_t(grey ? (c * 48 + r) * 21 : ((c * 48 + r) * 21 + p * 9000) % 65536);
    return f;
}

} // namespace

TEST(CliFormats, SixteenBitRampComesBackWithinFourUnits) {
    for (const char* ext : {"png", "tif"})
        for (const bool grey : {false, true}) {
            SCOPED_TRACE(testing::Message() << ext << " grey " << grey);
            TTempDir dir;
            const TImageFile ramp = Ramp(grey);
            const std::string in = dir.File(std::string("in.") + ext),
                              out = dir.File(std::string("out.") + ext);
            WriteImageFileWithInfo(in, ramp);
            const auto run = RunCli("roundtrip " + in + " -o " + out);
            ASSERT_EQ(run.status, 0) << run.out;
            const TImageFile back = ReadImageFileWithInfo(out);
            EXPECT_TRUE(back.Info.Deep);
            EXPECT_EQ(back.Info.Grey, grey);
            EXPECT_NEAR(back.Info.DpiX, 600, 0.02);
            ASSERT_EQ(back.Deep.Samples.size(), ramp.Deep.Samples.size());
            int worst = 0;
            for (size_t i = 0; i < ramp.Deep.Samples.size(); ++i)
                worst = std::max(worst,
                                 std::abs(int(back.Deep.Samples[i]) - int(ramp.Deep.Samples[i])));
            EXPECT_LE(worst, 4);
        }
}

TEST(CliFormats, ResizeKeepsThePrintedSize) {
    TTempDir dir;
    TImageFile f;
    f.Bitmap = RandomBitmap(40, 20, 3);
    f.Info.DpiX = f.Info.DpiY = 300;
    WriteImageFileWithInfo(dir.File("in.jpg"), f);
    const auto run = RunCli("resize " + dir.File("in.jpg") + " -o " + dir.File("out.png") +
                            " --mode percent --value 50");
    ASSERT_EQ(run.status, 0) << run.out;
    const TImageFile back = ReadImageFileWithInfo(dir.File("out.png"));
    EXPECT_EQ(back.Bitmap.Width, 20);
    EXPECT_NEAR(back.Info.DpiX, 150, 0.02);
    EXPECT_NEAR(back.Info.DpiY, 150, 0.02);
}

TEST(CliFormats, UnknownOutputExtensionFailsBeforeAnyWork) {
    TTempDir dir;
    // The input does not even exist: the name is judged first.
    const auto run = RunCli("roundtrip " + dir.File("missing.bmp") + " -o " + dir.File("out.gif"));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.out.find("(.gif)"), std::string::npos) << run.out;
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(CliFormats, ApplyCarriesDepthGreyAndResolution) {
    TTempDir dir;
    std::filesystem::create_directory(dir.Path() / "out");
    ASSERT_EQ(RunCli("filter add " + dir.File("half.flt") + " --resize percent 50").status, 0);
    WriteImageFileWithInfo(dir.File("scan.tiff"), Ramp(true));
    const auto run = RunCli("apply " + dir.File("half.flt") + " " + dir.File("scan.tiff") + " -o " +
                            dir.File("out"));
    ASSERT_EQ(run.status, 0) << run.out;
    const TImageFile back = ReadImageFileWithInfo(dir.File("out/scan.tiff"));
    EXPECT_TRUE(back.Info.Deep);
    EXPECT_TRUE(back.Info.Grey);
    EXPECT_EQ(back.Deep.Width, 32);
    EXPECT_EQ(back.Deep.Height, 24);
    EXPECT_NEAR(back.Info.DpiX, 300, 0.02);
}

TEST(CliFormats, DamagedFilesGiveOneLineAndWriteNothing) {
    TTempDir dir;
    WriteImageFileWithInfo(dir.File("deep.png"), Ramp(false));
    std::vector<uint8_t> png = ReadFileBytes(dir.File("deep.png"));
    png[png.size() - 20] ^= 0x55; // inside the last data chunk
    WriteFileBytes(dir.File("bad.png"), png);
    WriteImageFileWithInfo(dir.File("a.tif"), Ramp(true));
    std::vector<uint8_t> tif = ReadFileBytes(dir.File("a.tif"));
    const uint32_t ifd = tif[4] | tif[5] << 8 | tif[6] << 16 | uint32_t(tif[7]) << 24;
    for (unsigned e = 0, n = tif[ifd] | tif[ifd + 1] << 8; e < n; ++e)
        if ((tif[ifd + 2 + 12 * e] | tif[ifd + 3 + 12 * e] << 8) == 259)
            tif[ifd + 10 + 12 * e] = 0x39; // no such compression
    WriteFileBytes(dir.File("bad.tif"), tif);
    for (const auto& [in, text] : {std::pair{"bad.png", "not a valid PNG image"},
                                   std::pair{"bad.tif", "not a valid TIFF image"}}) {
        const auto run = RunCli("roundtrip " + dir.File(in) + " -o " + dir.File("out.png"));
        EXPECT_EQ(run.status, 1);
        // Our line is the last; the codec libraries may have printed theirs before it.
        EXPECT_NE(run.out.find("pixmend-cli: " + dir.File(in) + ": " + text), std::string::npos)
            << run.out;
        EXPECT_EQ(run.out.back(), '\n');
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.png")));
}

TEST(CliFormats, QuietPrintsNothingButErrors) {
    TTempDir dir;
    WriteImageFileWithInfo(dir.File("in.png"), Ramp(true));
    EXPECT_EQ(RunCli("roundtrip --quiet " + dir.File("in.png") + " -o " + dir.File("out.png")).out,
              "");
    EXPECT_EQ(RunCli("roundtrip -q " + dir.File("in.png") + " -o " + dir.File("out.bad")).status,
              1);
    EXPECT_EQ(RunCli("roundtrip -q --frobnicate").status, 2);
}

// A damaged or mislabelled file is one line on stderr that names it, what the
// decoding library said included; the libraries' own lines stay off stderr.
TEST(CliFormats, DamagedFilesAreOneLineNamingTheFile) {
    TTempDir dir;
    WriteImageFileWithInfo(dir.File("deep.png"), Ramp(false));
    const std::vector<uint8_t> png = ReadFileBytes(dir.File("deep.png"));
    std::vector<uint8_t> crc = png;
    crc[crc.size() - 20] ^= 0x55;
    WriteFileBytes(dir.File("crc.png"), crc);
    WriteFileBytes(dir.File("short.png"),
                   {png.begin(), png.begin() + std::ptrdiff_t(png.size() / 2)});

    WriteImageFileWithInfo(dir.File("deep.tif"), Ramp(false));
    const std::vector<uint8_t> tif = ReadFileBytes(dir.File("deep.tif"));
    std::vector<uint8_t> unknown = tif;
    SetTiffShortTag(unknown, 259, 34712); // JPEG 2000, which libtiff does not decode
    WriteFileBytes(dir.File("j2k.tif"), unknown);
    WriteFileBytes(dir.File("short.tif"),
                   {tif.begin(), tif.begin() + std::ptrdiff_t(tif.size() / 2)});
    WriteFileBytes(dir.File("text.tif"), {'n', 'o', 't', ' ', 'a', ' ', 'T', 'I', 'F', 'F', '\n'});

    for (const char* name : {"crc.png", "short.png", "j2k.tif", "short.tif", "text.tif"}) {
        SCOPED_TRACE(name);
        const std::string in = dir.File(name), out = dir.File("out.bmp");
        const auto run = RunCliErrors("roundtrip " + in + " -o " + out);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        EXPECT_EQ(run.out.rfind("pixmend-cli: " + in + ": not a valid ", 0), 0u) << run.out;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST(CliFormats, ShortFilesAreSaidToBeCutShortInWords) {
    TTempDir dir;
    WriteImageFile(dir.File("small.jpg"), RandomBitmap(16, 16, 2));
    std::vector<uint8_t> jpg = ReadFileBytes(dir.File("small.jpg"));
    WriteFileBytes(dir.File("cut.jpg"),
                   {jpg.begin(), jpg.begin() + std::ptrdiff_t(jpg.size() / 2)});
    for (size_t i = 2; i + 9 < jpg.size(); i += 2u + size_t(jpg[i + 2] << 8 | jpg[i + 3]))
        if (jpg[i + 1] == 0xC0) {
            jpg[i + 5] = jpg[i + 7] = uint8_t(16000 >> 8);
            jpg[i + 6] = jpg[i + 8] = uint8_t(16000 & 255);
            break;
        }
    WriteFileBytes(dir.File("big.jpg"), jpg);
    const TCliRun cut = RunCli("roundtrip " + dir.File("cut.jpg") + " -o " + dir.File("o.bmp"));
    EXPECT_EQ(cut.out, "pixmend-cli: " + dir.File("cut.jpg") +
                           ": not a valid JPEG file: the file is cut short\n");
    const TCliRun big = RunCli("roundtrip " + dir.File("big.jpg") + " -o " + dir.File("o.bmp"));
    EXPECT_EQ(big.out, "pixmend-cli: " + dir.File("big.jpg") +
                           ": the file is cut short: it declares 16000 x 16000 pixels, more than "
                           "its " +
                           std::to_string(jpg.size()) + " bytes can hold\n");
}

TEST(CliFormats, TransparencyCompositedOntoWhiteIsSaidInOneLine) {
    TTempDir dir;
    QImage rgba(2, 1, QImage::Format_ARGB32);
    rgba.setPixel(0, 0, qRgba(255, 0, 0, 0));
    rgba.setPixel(1, 0, qRgba(0, 0, 255, 255));
    ASSERT_TRUE(rgba.save(QString::fromStdString(dir.File("a.png"))));
    const TCliRun run = RunCliErrors("roundtrip " + dir.File("a.png") + " -o " + dir.File("b.png"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "pixmend-cli: " + dir.File("a.png") +
                           ": note: transparent areas were composited onto white (the result "
                           "holds no transparency)\n");
    const TBitmap24 back = ReadImageFile(dir.File("b.png"));
    EXPECT_EQ(back.Row(0)[0], 255);
    EXPECT_EQ(back.Row(0)[2], 255);
}
