// Each format written and read back with what it holds besides the pixels:
// resolution, colour profile, grey colour type and 16-bit samples.
#include "imagefile/image_file.h"
#include "imagefile/image_file_bmp.h"
#include "spectral/display.h"
#include "spectral/errors.h"
#include "spectral/store_fill.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>

#include <algorithm>

namespace {

std::string AdobeRgbProfile() {
    const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    return std::string(icc.constData(), size_t(icc.size()));
}

// A picture with grey or colour pixels in 8 or 16 bits, stated at 300 x 150 dpi.
TImageFile Picture(bool deep, bool grey, std::string profile = {}) {
    TImageFile f;
    f.Info = {300, 150, std::move(profile), grey, deep};
    const TBitmap24 bytes = RandomBitmap(9, 7, 5);
    if (deep) {
        f.Deep = TBitmap48(9, 7);
        for (size_t i = 0; i < f.Deep.Samples.size(); ++i)
            f.Deep.Samples[i] =
                uint16_t(grey ? bytes.Bytes[i / 3 * 3] * 251 + i / 3 : bytes.Bytes[i] * 257 + i);
    } else {
        f.Bitmap = bytes;
        if (grey)
            for (size_t i = 0; i < bytes.Bytes.size(); ++i)
                f.Bitmap.Bytes[i] = bytes.Bytes[i / 3 * 3];
    }
    return f;
}

TImageFile RoundTrip(const TImageFile& f, const std::string& name) {
    TTempDir dir;
    WriteImageFileWithInfo(dir.File(name), f);
    return ReadImageFileWithInfo(dir.File(name));
}

void ExpectSameInfo(const TImageInfo& got, const TImageInfo& want, double dpiTolerance) {
    EXPECT_NEAR(got.DpiX, want.DpiX, dpiTolerance);
    EXPECT_NEAR(got.DpiY, want.DpiY, dpiTolerance);
    EXPECT_EQ(got.IccProfile, want.IccProfile);
    EXPECT_EQ(got.Grey, want.Grey);
    EXPECT_EQ(got.Deep, want.Deep);
}

} // namespace

TEST(ImageFileFormats, PngKeepsEverything) {
    for (const bool deep : {false, true})
        for (const bool grey : {false, true}) {
            SCOPED_TRACE(testing::Message() << "deep " << deep << " grey " << grey);
            // Qt knows RGB profiles only; a grey image carries none.
            const TImageFile f = Picture(deep, grey, grey ? "" : AdobeRgbProfile());
            const TImageFile back = RoundTrip(f, "a.png");
            ExpectSameInfo(back.Info, f.Info, 0.02); // pixels per metre
            EXPECT_EQ(back.Bitmap.Bytes, f.Bitmap.Bytes);
            EXPECT_EQ(back.Deep.Samples, f.Deep.Samples);
        }
}

TEST(ImageFileFormats, TiffKeepsEverything) {
    for (const bool deep : {false, true})
        for (const bool grey : {false, true}) {
            SCOPED_TRACE(testing::Message() << "deep " << deep << " grey " << grey);
            const TImageFile f = Picture(deep, grey, grey ? "" : AdobeRgbProfile());
            const TImageFile back = RoundTrip(f, "a.tif");
            ExpectSameInfo(back.Info, f.Info, 0.02);
            EXPECT_EQ(back.Bitmap.Bytes, f.Bitmap.Bytes);
            EXPECT_EQ(back.Deep.Samples, f.Deep.Samples);
        }
}

TEST(ImageFileFormats, JpegKeepsResolutionAndProfile) {
    // Any profile bytes, larger than one marker segment holds.
    std::string profile(70000, '\0');
    for (size_t i = 0; i < profile.size(); ++i) profile[i] = char(i * 7);
    TImageFile f = Picture(false, false, profile);
    const TImageFile back = RoundTrip(f, "a.jpeg");
    f.Info.DpiY = 150;
    ExpectSameInfo(back.Info, f.Info, 0);
    EXPECT_EQ(back.Bitmap.Width, 9);
    EXPECT_EQ(back.Bitmap.Height, 7);
    // Without resolution and profile the bytes are the codec's alone.
    TTempDir dir;
    WriteImageFile(dir.File("plain.jpg"), f.Bitmap);
    WriteImageFileWithInfo(dir.File("info.jpg"), TImageFile{f.Bitmap, {}, {}});
    EXPECT_EQ(ReadFileBytes(dir.File("plain.jpg")), ReadFileBytes(dir.File("info.jpg")));
    EXPECT_EQ(ReadImageFileWithInfo(dir.File("plain.jpg")).Info.DpiX, 0);
}

TEST(ImageFileFormats, BitmapKeepsResolutionAndTakes16BitsRounded) {
    const TImageFile f = Picture(true, false);
    const TImageFile back = RoundTrip(f, "a.bmp");
    ExpectSameInfo(back.Info, {300, 150, "", false, false}, 0.02);
    ASSERT_EQ(back.Bitmap.Bytes.size(), f.Deep.Samples.size());
    for (size_t i = 0; i < f.Deep.Samples.size(); ++i)
        ASSERT_EQ(back.Bitmap.Bytes[i], (f.Deep.Samples[i] + 128) / 257) << i;
    // Without a resolution the bytes are those of the plain writer.
    TTempDir dir;
    WriteImageFile(dir.File("plain.bmp"), back.Bitmap);
    WriteImageFileWithInfo(dir.File("info.bmp"), TImageFile{back.Bitmap, {}, {}});
    EXPECT_EQ(ReadFileBytes(dir.File("plain.bmp")), ReadFileBytes(dir.File("info.bmp")));
}

namespace {

// The refusal of a damaged file carries what the decoding library said about
// it, and the library says nothing on stderr.
std::string RefusalOf(const std::string& file) {
    std::string message;
    testing::internal::CaptureStderr();
    try {
        ReadImageFileWithInfo(file);
    } catch (const EInvalidGraphic& e) {
        message = e.what();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << file;
    return message;
}

} // namespace

TEST(ImageFileFormats, DamagedFilesAreRefusedWithTheLibrarysReason) {
    TTempDir dir;
    WriteImageFileWithInfo(dir.File("deep.png"), Picture(true, false));
    std::vector<uint8_t> png = ReadFileBytes(dir.File("deep.png"));
    png[png.size() - 20] ^= 0x55; // the checksum of the compressed pixels
    WriteFileBytes(dir.File("bad.png"), png);
    EXPECT_EQ(RefusalOf(dir.File("bad.png")),
              "Bitmap ist ungültig (libpng error: IDAT: incorrect data check)");

    WriteImageFileWithInfo(dir.File("a.tif"), Picture(false, false));
    const std::vector<uint8_t> tif = ReadFileBytes(dir.File("a.tif"));
    std::vector<uint8_t> unknown = tif;
    SetTiffShortTag(unknown, 259, 12345); // a compression scheme nobody has
    WriteFileBytes(dir.File("unknown.tif"), unknown);
    EXPECT_EQ(RefusalOf(dir.File("unknown.tif")),
              "Bitmap ist ungültig (Compression scheme 12345 strip decoding is not implemented)");
    WriteFileBytes(dir.File("short.tif"), {tif.begin(), tif.begin() + 200});
    EXPECT_NE(RefusalOf(dir.File("short.tif")).find("Bitmap ist ungültig ("), std::string::npos);

    // Only the PNG and TIFF readers see these files: a picture in another
    // format that Qt could decode is not taken for one.
    WriteImageFile(dir.File("a.bmp"), RandomBitmap(5, 4, 1));
    const std::vector<uint8_t> bmp = ReadFileBytes(dir.File("a.bmp"));
    for (const char* name : {"bmp.png", "bmp.tif"}) {
        WriteFileBytes(dir.File(name), bmp);
        EXPECT_EQ(RefusalOf(dir.File(name)), "Bitmap ist ungültig") << name;
    }
}

// A few hundred bytes declaring 46593 samples a pixel would have libtiff
// allocate a strip of 12 GB; the file is refused before any decoding, so no
// library reason comes with it. So is an LZW file whose few bytes declare
// far more pixels than LZW can give from them.
TEST(ImageFileFormats, TiffAskingForHugeStripsIsRefusedBeforeDecoding) {
    EXPECT_EQ(RefusalOf(PIXMEND_SOURCE_DIR "/fuzz/corpus/png_tiff/strip-of-46593-samples.tif"),
              CutShortMessage(65285, 4, 198));
    TTempDir dir;
    WriteImageFile(dir.File("small.tif"), RandomBitmap(16, 12, 5));
    std::vector<uint8_t> tif = ReadFileBytes(dir.File("small.tif"));
    SetTiffShortTag(tif, 256, 16000);
    SetTiffShortTag(tif, 257, 16000);
    WriteFileBytes(dir.File("big.tif"), tif);
    EXPECT_EQ(RefusalOf(dir.File("big.tif")), CutShortMessage(16000, 16000, tif.size()));
}

// Big scans are written from the store and read into it a few rows at a
// time; the files and planes must be exactly those of the whole-picture path.
TEST(ImageFileFormats, StoreSlicesMatchWholePictures) {
    TTempDir dir;
    const TImageInfo info{300, 150, AdobeRgbProfile(), false, false};
    // Values beyond the pixel range and fractions, as a transform leaves them.
    const TSpectrumStore store = RandomStore(37, 23, 11, -300.0f, 300.0f);
    for (const std::string ext : {"bmp", "jpg"})
        for (const bool image : {true, false}) {
            SCOPED_TRACE(ext + (image ? " image" : " spectrum"));
            const std::string sliced = dir.File("s." + ext), whole = dir.File("w." + ext);
            SaveStoreView(sliced, store, image, image ? 0 : 7, info);
            TImageFile picture;
            picture.Bitmap = RenderStore(store, image, image ? 0 : 7);
            picture.Info = info;
            WriteImageFileWithInfo(whole, picture);
            EXPECT_EQ(ReadFileBytes(sliced), ReadFileBytes(whole));

            TSpectrumStore loaded = RandomStore(50, 50, 3); // an older, larger image
            const TImageInfo read = LoadImageStore(sliced, loaded);
            TSpectrumStore expected;
            FillStoreFromBitmap(ReadImageFile(sliced), expected);
            ASSERT_EQ(loaded.Cols, 37);
            ASSERT_EQ(loaded.Rows, 23);
            for (int p = 0; p < 3; ++p) EXPECT_EQ(loaded.Planes[p], expected.Planes[p]);
            EXPECT_NEAR(read.DpiX, 300, 0.02);
        }
    // A file that cannot be written leaves no file behind.
    EXPECT_THROW(SaveStoreView(dir.File("missing/x.bmp"), store, true, 0), EFileError);
}

namespace {
// The tags of a little-endian TIFF's first directory.
std::vector<unsigned> TiffTags(const std::vector<uint8_t>& tif) {
    const auto u16 = [&](size_t at) { return unsigned(tif.at(at) | tif.at(at + 1) << 8); };
    const size_t ifd = u16(4) | size_t(u16(6)) << 16;
    std::vector<unsigned> tags;
    for (unsigned e = 0; e < u16(ifd); ++e) tags.push_back(u16(ifd + 2 + 12 * e));
    return tags;
}
} // namespace

TEST(ImageFileFormats, TransparencyGoesOntoWhiteAndAMissingResolutionStaysMissing) {
    TTempDir dir;
    QImage rgba(3, 1, QImage::Format_ARGB32);
    rgba.setPixel(0, 0, qRgba(255, 0, 0, 0));   // hidden red
    rgba.setPixel(1, 0, qRgba(0, 0, 255, 255)); // opaque blue
    rgba.setPixel(2, 0, qRgba(0, 0, 0, 128));   // half black
    ASSERT_TRUE(rgba.save(QString::fromStdString(dir.File("a.png"))));
    const TImageFile read = ReadImageFileWithInfo(dir.File("a.png"));
    EXPECT_TRUE(read.Info.AlphaComposited);
    const uint8_t* px = read.Bitmap.Row(0);
    EXPECT_EQ(std::vector<int>(px, px + 9),
              (std::vector<int>{255, 255, 255, 255, 0, 0, 127, 127, 127}));
    // Written without a resolution, a TIFF states none; with one, it keeps it.
    WriteImageFile(dir.File("plain.tif"), RandomBitmap(4, 3, 1));
    const auto tags = TiffTags(ReadFileBytes(dir.File("plain.tif")));
    for (const unsigned tag : {282u, 283u, 296u})
        EXPECT_EQ(std::count(tags.begin(), tags.end(), tag), 0) << tag;
    EXPECT_FALSE(ReadImageFileWithInfo(dir.File("plain.tif")).Bitmap.Empty());
    TImageFile stated{RandomBitmap(4, 3, 1), {}, {}};
    stated.Info.DpiX = stated.Info.DpiY = 300;
    WriteImageFileWithInfo(dir.File("stated.tif"), stated);
    EXPECT_NEAR(ReadImageFileWithInfo(dir.File("stated.tif")).Info.DpiX, 300, 0.1);
}
