// The JPEG codec: colour and grey decoding, the encoder's settings, and
// damaged files of every kind giving the codec's message number.

#include "imagefile/image_file_bmp.h"
#include "imagefile/image_file_jpeg.h"
#include "spectral/errors.h"
#include "spectral/memory_budget.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// A JPEG written straight through libjpeg, for input kinds our own encoder
// never produces (grey, CMYK).
std::string EncodeRaw(int w, int h, int components, J_COLOR_SPACE space,
                      const std::vector<uint8_t>& samples, int quality = 90,
                      bool progressive = false) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(samples.data() + size_t(c.next_scanline) * size_t(w * components));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string out(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return out;
}

TBitmap24 Decode(const std::string& bytes) {
    return DecodeJpegFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string CodecMessage(int code) {
    return "JPEG-Fehler #" + std::to_string(code);
}

// Smooth colours that JPEG keeps well: a gradient per channel.
TBitmap24 Gradient(int w, int h) {
    TBitmap24 img(w, h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            uint8_t* p = img.Pixel(c, r);
            p[0] = uint8_t(255 * c / (w - 1));
            p[1] = uint8_t(255 * r / (h - 1));
            p[2] = uint8_t(255 - 255 * (c + r) / (w + h - 2));
        }
    return img;
}

// The quantisation table with the given id, in the file's (zigzag) order.
std::vector<int> QuantTable(const std::string& jpeg, int id) {
    for (size_t i = 2; i + 4 < jpeg.size();) {
        if (uint8_t(jpeg[i]) != 0xFF) return {};
        const int marker = uint8_t(jpeg[i + 1]);
        const size_t len = size_t(uint8_t(jpeg[i + 2]) << 8 | uint8_t(jpeg[i + 3]));
        if (marker == 0xDB) {
            for (size_t t = i + 4; t < i + 2 + len; t += 65) {
                if ((uint8_t(jpeg[t]) & 0x0F) != id) continue;
                std::vector<int> q;
                for (size_t k = 1; k <= 64; ++k) q.push_back(uint8_t(jpeg[t + k]));
                return q;
            }
        }
        if (marker == 0xDA) return {};
        i += 2 + len;
    }
    return {};
}

bool HasMarker(const std::string& jpeg, int marker) {
    for (size_t i = 2; i + 4 < jpeg.size();) {
        if (uint8_t(jpeg[i]) != 0xFF) return false;
        if (uint8_t(jpeg[i + 1]) == marker) return true;
        if (uint8_t(jpeg[i + 1]) == 0xDA) return false;
        i += 2 + size_t(uint8_t(jpeg[i + 2]) << 8 | uint8_t(jpeg[i + 3]));
    }
    return false;
}

TEST(JpegEncode, BaselineQuality98FromTrueColours) {
    const std::string file = EncodeJpegFile(Gradient(40, 24));
    ASSERT_GT(file.size(), 4u);
    EXPECT_EQ(uint8_t(file[0]), 0xFF);
    EXPECT_EQ(uint8_t(file[1]), 0xD8);
    EXPECT_TRUE(HasMarker(file, 0xC0)) << "baseline frame";
    EXPECT_FALSE(HasMarker(file, 0xC2)) << "progressive frame";
    // Quality 98 scales the standard tables by 4/100: the luminance table's
    // largest entry 121 becomes 5, the chrominance table's 99 becomes 4
    // (97 would give 7 and 6, 99 would give 2 and 2).
    const std::vector<int> luma = QuantTable(file, 0), chroma = QuantTable(file, 1);
    ASSERT_EQ(luma.size(), 64u);
    ASSERT_EQ(chroma.size(), 64u);
    EXPECT_EQ(*std::max_element(luma.begin(), luma.end()), 5);
    EXPECT_EQ(*std::min_element(luma.begin(), luma.end()), 1);
    EXPECT_EQ(*std::max_element(chroma.begin(), chroma.end()), 4);
}

TEST(JpegRoundTrip, ColoursStayClose) {
    const TBitmap24 img = Gradient(64, 48);
    const TBitmap24 back = Decode(EncodeJpegFile(img));
    ASSERT_EQ(back.Width, 64);
    ASSERT_EQ(back.Height, 48);
    int worst = 0;
    long total = 0;
    for (size_t i = 0; i < img.Bytes.size(); ++i) {
        const int d = std::abs(int(img.Bytes[i]) - int(back.Bytes[i]));
        worst = std::max(worst, d);
        total += d;
    }
    EXPECT_LE(worst, 8);
    EXPECT_LT(double(total) / double(img.Bytes.size()), 1.5);
}

TEST(JpegRoundTrip, ChannelsAreNotSwapped) {
    // Solid blocks of pure blue, green and red (blue-green-red bytes).
    TBitmap24 img(48, 16);
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 48; ++c) img.Pixel(c, r)[c / 16] = 255;
    const TBitmap24 back = Decode(EncodeJpegFile(img));
    for (int block = 0; block < 3; ++block) {
        const uint8_t* p = back.Pixel(block * 16 + 8, 8);
        for (int ch = 0; ch < 3; ++ch) {
            if (ch == block)
                EXPECT_GT(p[ch], 240) << block;
            else
                EXPECT_LT(p[ch], 15) << block << " " << ch;
        }
    }
}

TEST(JpegDecode, GreyFileGivesAtMost236EqualGreyLevels) {
    // A ramp over all 256 levels, so quantisation must merge some of them.
    const int w = 256, h = 32;
    std::vector<uint8_t> grey(size_t(w) * h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) grey[size_t(r) * w + size_t(c)] = uint8_t(c);
    const TBitmap24 img = Decode(EncodeRaw(w, h, 1, JCS_GRAYSCALE, grey, 100));
    ASSERT_EQ(img.Width, w);
    ASSERT_EQ(img.Height, h);
    std::set<uint8_t> levels;
    double error = 0;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const uint8_t* p = img.Pixel(c, r);
            ASSERT_EQ(p[0], p[1]);
            ASSERT_EQ(p[1], p[2]);
            levels.insert(p[0]);
            error += std::abs(int(p[0]) - c);
        }
    EXPECT_LE(levels.size(), 236u);
    EXPECT_GT(levels.size(), 200u); // a real ramp, not a handful of levels
    EXPECT_LT(error / (w * h), 2.0);
}

TEST(JpegDecode, AdobeCmykBecomesRgb) {
    // Adobe stores inks inverted: 255 is no ink. White, cyan, magenta, black.
    const std::vector<uint8_t> cmyk = {255, 255, 255, 255, 0,   255, 255, 255,
                                       255, 0,   255, 255, 255, 255, 255, 0};
    std::vector<uint8_t> samples;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 32; ++c)
            samples.insert(samples.end(), cmyk.begin() + 4 * (c / 8),
                           cmyk.begin() + 4 * (c / 8) + 4);
    const TBitmap24 img = Decode(EncodeRaw(32, 8, 4, JCS_CMYK, samples, 100));
    auto near = [&](int c, int b, int g, int red) {
        const uint8_t* p = img.Pixel(c, 4);
        EXPECT_NEAR(p[0], b, 6) << c;
        EXPECT_NEAR(p[1], g, 6) << c;
        EXPECT_NEAR(p[2], red, 6) << c;
    };
    near(4, 255, 255, 255);
    near(12, 255, 255, 0);
    near(20, 255, 0, 255);
    near(28, 0, 0, 0);
}

void ExpectCodecError(const std::string& bytes, int code) {
    try {
        Decode(bytes);
        FAIL() << "decoded a damaged JPEG";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(std::string(e.what()), CodecMessage(code));
    }
}

TEST(JpegDecode, DamagedFilesGiveTheCodecMessageNumber) {
    ExpectCodecError("", JERR_INPUT_EMPTY);
    ExpectCodecError("BM not a jpeg", JERR_NO_SOI);
    const std::string good = EncodeJpegFile(Gradient(32, 32));
    // Cut in the middle of the pixel data: the codec only warns, we refuse.
    ExpectCodecError(good.substr(0, good.size() * 2 / 3), JWRN_JPEG_EOF);
    // A frame header with zero width.
    std::string zero = good;
    const size_t sof = zero.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    zero[sof + 7] = 0;
    zero[sof + 8] = 0;
    ExpectCodecError(zero, JERR_EMPTY_IMAGE);
}

TEST(JpegDecode, AMissingEndMarkerLosesNothing) {
    const TBitmap24 img = Gradient(32, 32);
    const std::string good = EncodeJpegFile(img);
    ASSERT_EQ(good.substr(good.size() - 2), "\xFF\xD9");
    const TBitmap24 full = Decode(good);
    const TBitmap24 cut = Decode(good.substr(0, good.size() - 2));
    EXPECT_EQ(cut.Bytes, full.Bytes);
}

TEST(JpegDecode, PixelDataCutShortByAMarkerIsCorrupt) {
    std::string file = EncodeJpegFile(Gradient(64, 64));
    const size_t sos = file.find("\xFF\xDA");
    ASSERT_NE(sos, std::string::npos);
    // An end marker in the middle of the entropy-coded data.
    const size_t mid = sos + (file.size() - sos) / 2;
    file[mid] = char(0xFF);
    file[mid + 1] = char(0xD9);
    ExpectCodecError(file, JWRN_HIT_MARKER);
}

TEST(JpegDecode, ProgressiveFilesMustBeComplete) {
    std::vector<uint8_t> samples;
    const TBitmap24 img = Gradient(32, 32);
    for (size_t i = 0; i < img.Bytes.size(); i += 3)
        samples.insert(samples.end(), {img.Bytes[i + 2], img.Bytes[i + 1], img.Bytes[i]});
    const std::string file = EncodeRaw(32, 32, 3, JCS_RGB, samples, 90, true);
    ASSERT_TRUE(HasMarker(file, 0xC2));
    const TBitmap24 back = Decode(file);
    EXPECT_NEAR(back.Pixel(5, 7)[2], img.Pixel(5, 7)[2], 8);
    // Without its end marker a progressive file may also lack whole scans.
    ExpectCodecError(file.substr(0, file.size() - 2), JWRN_JPEG_EOF);
    ExpectCodecError(file.substr(0, file.size() / 2), JWRN_JPEG_EOF);
}

TEST(JpegDecode, EveryTruncationIsSafe) {
    const std::string good = EncodeJpegFile(Gradient(24, 16));
    for (size_t n = 0; n < good.size(); ++n) {
        try {
            const TBitmap24 img = Decode(good.substr(0, n));
            EXPECT_GE(n, good.size() - 2) << "a truncated file decoded at " << n;
            EXPECT_EQ(img.Width, 24);
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(std::string(e.what()).rfind("JPEG-Fehler #", 0), 0u) << e.what();
        }
    }
}

TEST(JpegDecode, RandomDamageIsSafe) {
    const std::string good = EncodeJpegFile(Gradient(24, 16));
    std::mt19937 rng(99);
    for (int round = 0; round < 400; ++round) {
        std::string bytes = good;
        for (int k = 0; k < 3; ++k) bytes[rng() % bytes.size()] ^= char(1u << (rng() % 8));
        try {
            const TBitmap24 img = Decode(bytes);
            EXPECT_EQ(img.Bytes.size(), size_t(img.Width) * size_t(img.Height) * 3);
        } catch (const EInvalidGraphic&) {
        }
    }
}

TEST(JpegDecode, AbsurdDimensionsAreRefusedBeforeDecoding) {
    std::string file = EncodeJpegFile(Gradient(16, 16));
    const size_t sof = file.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    // 65000 x 65000 pixels: far beyond the cap, and far beyond the data.
    file[sof + 5] = char(0xFD);
    file[sof + 6] = char(0xE8);
    file[sof + 7] = char(0xFD);
    file[sof + 8] = char(0xE8);
    try {
        Decode(file);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.what(), TooManyPixelsMessage(65000, 65000));
    }
    // 16000 x 16000 pixels, within the cap: a few hundred bytes cannot hold
    // them, and the file is refused before the picture takes 768 MB.
    file[sof + 5] = file[sof + 7] = char(16000 >> 8);
    file[sof + 6] = file[sof + 8] = char(16000 & 255);
    SetMemoryLimit(uint64_t(2) << 30);
    try {
        Decode(file);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.what(), CutShortMessage(16000, 16000, file.size()));
    }
    SetMemoryLimit(0);
}

TEST(JpegEncode, ImagesTheFormatCannotHoldAreRefused) {
    EXPECT_THROW(EncodeJpegFile(TBitmap24()), EInvalidGraphic);
    try {
        EncodeJpegFile(TBitmap24(70000, 1));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(std::string(e.what()), CodecMessage(JERR_IMAGE_TOO_BIG));
    }
}

} // namespace
