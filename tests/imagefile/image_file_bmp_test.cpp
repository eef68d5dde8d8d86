// The bitmap decoder and encoder on files written byte by byte here, so each
// case shows exactly which header fields and pixel bytes it is about.

#include "imagefile/image_file_bmp.h"
#include "imagefile/image_file_source.h"
#include "spectral/errors.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

// The largest single request to operator new in this test program, so that
// a test can show a lying header costs no large allocation. Only this file
// replaces the global operator new.
static std::atomic<size_t> gLargestNew{0};

void* operator new(size_t n) {
    size_t seen = gLargestNew.load();
    while (n > seen && !gLargestNew.compare_exchange_weak(seen, n)) {
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

using Bgr = std::array<uint8_t, 3>;

// Little-endian byte writer.
struct TBytes {
    std::vector<uint8_t> b;
    TBytes& U8(unsigned v) {
        b.push_back(uint8_t(v));
        return *this;
    }
    TBytes& U16(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
    TBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    TBytes& Zeros(size_t n) {
        b.insert(b.end(), n, 0);
        return *this;
    }
    TBytes& Raw(const std::vector<uint8_t>& v) {
        b.insert(b.end(), v.begin(), v.end());
        return *this;
    }
    void Patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
    }
};

struct TBmpSpec {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    unsigned bits = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> masks; // red, green, blue (, alpha)
    std::vector<Bgr> palette;    // written as 4-byte entries (3 for the core header)
    std::vector<uint8_t> pixels; // the pixel data as stored
};

std::vector<uint8_t> MakeBmp(const TBmpSpec& s) {
    TBytes f;
    f.U8('B').U8('M').U32(0).U32(0).U32(0); // size and offset patched below
    f.U32(s.headerSize);
    if (s.headerSize == 12) {
        f.U16(uint32_t(s.width)).U16(uint32_t(s.height)).U16(1).U16(s.bits);
    } else {
        f.U32(uint32_t(s.width)).U32(uint32_t(s.height)).U16(1).U16(s.bits).U32(s.compression);
        f.U32(uint32_t(s.pixels.size())).U32(2835).U32(2835).U32(s.colorsUsed).U32(0);
        for (uint32_t m : s.masks) f.U32(m);
        if (s.headerSize > 40) f.Zeros(s.headerSize - 40 - 4 * s.masks.size());
    }
    for (const Bgr& c : s.palette) {
        f.U8(c[0]).U8(c[1]).U8(c[2]);
        if (s.headerSize != 12) f.U8(0);
    }
    f.Patch32(10, uint32_t(f.b.size()));
    f.Raw(s.pixels);
    f.Patch32(2, uint32_t(f.b.size()));
    return f.b;
}

TBitmap24 Decode(const std::vector<uint8_t>& file, uint64_t maxPixels = kMaxImagePixels) {
    const TMemorySource source(file.data(), file.size());
    return DecodeBitmapFile(source, maxPixels);
}

Bgr At(const TBitmap24& img, int c, int r) {
    const uint8_t* p = img.Pixel(c, r);
    return {p[0], p[1], p[2]};
}

void ExpectInvalid(const std::vector<uint8_t>& file) {
    try {
        Decode(file);
        FAIL() << "decoded a damaged bitmap";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Bitmap ist ungültig");
    }
}

const Bgr kBlack{0, 0, 0}, kWhite{255, 255, 255};
const Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0};
const Bgr kGrey{128, 128, 128}, kOlive{10, 128, 128}, kPink{200, 150, 250};

// Four colours, used by the palette tests.
const std::vector<Bgr> kFour{kRed, kGreen, kBlue, kWhite};

// A 3 x 2 24-bit image stored bottom-up: rows of 9 bytes padded to 12.
TBmpSpec TwentyFourBit() {
    TBmpSpec s;
    s.width = 3;
    s.height = 2;
    s.pixels = {// bottom row (image row 1)
                1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,
                // top row (image row 0)
                10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
    return s;
}

TEST(BitmapDecode, TwentyFourBitBottomUpAndTopDown) {
    TBitmap24 img = Decode(MakeBmp(TwentyFourBit()));
    ASSERT_EQ(img.Width, 3);
    ASSERT_EQ(img.Height, 2);
    EXPECT_EQ(At(img, 0, 0), (Bgr{10, 11, 12}));
    EXPECT_EQ(At(img, 2, 0), (Bgr{16, 17, 18}));
    EXPECT_EQ(At(img, 0, 1), (Bgr{1, 2, 3}));
    EXPECT_EQ(At(img, 2, 1), (Bgr{7, 8, 9}));

    TBmpSpec top = TwentyFourBit();
    top.height = -2;
    img = Decode(MakeBmp(top));
    ASSERT_EQ(img.Height, 2);
    EXPECT_EQ(At(img, 0, 0), (Bgr{1, 2, 3}));
    EXPECT_EQ(At(img, 2, 1), (Bgr{16, 17, 18}));
}

TEST(BitmapDecode, LastRowWithoutPaddingIsAccepted) {
    TBmpSpec s = TwentyFourBit();
    s.pixels.resize(s.pixels.size() - 3);
    const TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 2, 0), (Bgr{16, 17, 18}));
    s.pixels.resize(s.pixels.size() - 1); // now a pixel byte is missing
    ExpectInvalid(MakeBmp(s));
}

TEST(BitmapDecode, ThirtyTwoBitDropsTheFourthByte) {
    TBmpSpec s;
    s.width = 2;
    s.bits = 32;
    s.pixels = {1, 2, 3, 99, 4, 5, 6, 255};
    const TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), (Bgr{1, 2, 3}));
    EXPECT_EQ(At(img, 1, 0), (Bgr{4, 5, 6}));
}

TEST(BitmapDecode, ThirtyTwoBitBitFieldsInAnyOrder) {
    // Red in the low byte, green next, blue in the third, like an RGBA layout.
    TBmpSpec s;
    s.width = 2;
    s.bits = 32;
    s.compression = 3;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    s.pixels = {200, 150, 250, 7, 0, 0, 255, 0};
    TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), (Bgr{250, 150, 200}));
    EXPECT_EQ(At(img, 1, 0), kBlue);

    // 10-bit channels (2-10-10-10) keep their top 8 bits.
    s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    s.width = 1;
    const uint32_t v = (1023u << 20) | (512u << 10) | 4u;
    s.pixels = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), (Bgr{1, 128, 255}));
}

std::vector<uint8_t> Pixels16(const std::vector<uint16_t>& values) {
    TBytes b;
    for (uint16_t v : values) b.U16(v);
    while (b.b.size() % 4) b.U8(0);
    return b.b;
}

TEST(BitmapDecode, SixteenBitDefaultsTo555) {
    TBmpSpec s;
    s.width = 6;
    s.bits = 16;
    s.pixels = Pixels16({0x7FFF, 0x7C00, 0x03E0, 0x001F, 0x0001, 0x8000});
    const TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kWhite);
    EXPECT_EQ(At(img, 1, 0), kRed);
    EXPECT_EQ(At(img, 2, 0), kGreen);
    EXPECT_EQ(At(img, 3, 0), kBlue);
    EXPECT_EQ(At(img, 4, 0), (Bgr{8, 0, 0})); // 1 of 31, rounded
    EXPECT_EQ(At(img, 5, 0), kBlack);         // the unused top bit is ignored
}

TEST(BitmapDecode, SixteenBit565BitFields) {
    TBmpSpec s;
    s.width = 5;
    s.bits = 16;
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixels = Pixels16({0xFFFF, 0xF800, 0x07E0, 0x0020, 0x8410});
    const TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kWhite);
    EXPECT_EQ(At(img, 1, 0), kRed);
    EXPECT_EQ(At(img, 2, 0), kGreen);
    EXPECT_EQ(At(img, 3, 0), (Bgr{0, 4, 0}));       // 1 of 63
    EXPECT_EQ(At(img, 4, 0), (Bgr{132, 130, 132})); // 16/31, 32/63, 16/31
}

TEST(BitmapDecode, SixteenBitMasksInsideV4AndV5Headers) {
    for (uint32_t header : {52u, 56u, 108u, 124u}) {
        TBmpSpec s;
        s.headerSize = header;
        s.width = 2;
        s.bits = 16;
        s.compression = 3;
        s.masks = {0xF800, 0x07E0, 0x001F};
        s.pixels = Pixels16({0xF800, 0x001F});
        const TBitmap24 img = Decode(MakeBmp(s));
        EXPECT_EQ(At(img, 0, 0), kRed) << header;
        EXPECT_EQ(At(img, 1, 0), kBlue) << header;
    }
}

TEST(BitmapDecode, V5HeaderTwentyFourBit) {
    TBmpSpec s = TwentyFourBit();
    s.headerSize = 124;
    const TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), (Bgr{10, 11, 12}));
    EXPECT_EQ(At(img, 2, 1), (Bgr{7, 8, 9}));
}

TEST(BitmapDecode, OneBitRowsCrossByteBoundaries) {
    TBmpSpec s;
    s.width = 10;
    s.height = 2;
    s.bits = 1;
    s.palette = {kBlack, kPink};
    // Rows of 10 bits: 1011001110, then 0100110001 on the top row.
    s.pixels = {0b10110011, 0b10000000, 0, 0, 0b01001100, 0b01000000, 0, 0};
    const TBitmap24 img = Decode(MakeBmp(s));
    const char* top = "0100110001";
    const char* bottom = "1011001110";
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(At(img, c, 0), top[c] == '1' ? kPink : kBlack) << c;
        EXPECT_EQ(At(img, c, 1), bottom[c] == '1' ? kPink : kBlack) << c;
    }
}

TEST(BitmapDecode, TwoAndFourBitIndices) {
    TBmpSpec s;
    s.width = 5;
    s.bits = 2;
    s.palette = kFour;
    s.pixels = {0b00011011, 0b01000000, 0, 0}; // 0 1 2 3 1
    TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kRed);
    EXPECT_EQ(At(img, 1, 0), kGreen);
    EXPECT_EQ(At(img, 2, 0), kBlue);
    EXPECT_EQ(At(img, 3, 0), kWhite);
    EXPECT_EQ(At(img, 4, 0), kGreen);

    s.bits = 4;
    s.width = 3;
    s.pixels = {0x32, 0x10, 0, 0}; // 3 2 1
    img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kWhite);
    EXPECT_EQ(At(img, 1, 0), kBlue);
    EXPECT_EQ(At(img, 2, 0), kGreen);
}

TEST(BitmapDecode, EightBitPaletteGivesPaletteColours) {
    TBmpSpec s;
    s.width = 4;
    s.height = 2;
    s.bits = 8;
    for (int i = 0; i < 256; ++i)
        s.palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
    s.pixels = {0, 1, 254, 255, 17, 128, 3, 9};
    const TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 1), (Bgr{0, 255, 0}));
    EXPECT_EQ(At(img, 3, 1), (Bgr{255, 0, 127}));
    EXPECT_EQ(At(img, 1, 0), (Bgr{128, 127, 64}));
    EXPECT_EQ(At(img, 3, 0), (Bgr{9, 246, 4}));
}

TEST(BitmapDecode, IndicesBeyondAShortPaletteGiveBlack) {
    // colorsUsed = 2: only two entries are stored, index 200 has none.
    TBmpSpec s;
    s.width = 4;
    s.bits = 8;
    s.colorsUsed = 2;
    s.palette = {kGrey, kOlive};
    s.pixels = {1, 0, 200, 2};
    TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kOlive);
    EXPECT_EQ(At(img, 1, 0), kGrey);
    EXPECT_EQ(At(img, 2, 0), kBlack);
    EXPECT_EQ(At(img, 3, 0), kBlack);

    // colorsUsed = 0 promises 256 entries but the pixel data starts after
    // two: the palette is what lies before the pixel data.
    s.colorsUsed = 0;
    img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kOlive);
    EXPECT_EQ(At(img, 2, 0), kBlack);

    // An absurd colorsUsed changes nothing either.
    s.colorsUsed = 0xFFFFFFFF;
    img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kOlive);
    EXPECT_EQ(At(img, 3, 0), kBlack);
}

TEST(BitmapDecode, CoreHeaderWithThreeBytePalette) {
    TBmpSpec s;
    s.headerSize = 12;
    s.width = 3;
    s.height = 2;
    s.bits = 8;
    s.palette = {kRed, kGreen, kBlue};
    s.pixels = {0, 1, 2, 0, 2, 2, 1, 0};
    TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 1), kRed);
    EXPECT_EQ(At(img, 1, 1), kGreen);
    EXPECT_EQ(At(img, 2, 1), kBlue);
    EXPECT_EQ(At(img, 0, 0), kBlue);
    EXPECT_EQ(At(img, 2, 0), kGreen);

    TBmpSpec t = TwentyFourBit();
    t.headerSize = 12;
    img = Decode(MakeBmp(t));
    EXPECT_EQ(At(img, 1, 0), (Bgr{13, 14, 15}));
    EXPECT_EQ(At(img, 1, 1), (Bgr{4, 5, 6}));
}

// RLE8: the image is 6 x 4; P is the palette, with index 0 the background
// that skipped pixels show.
TEST(BitmapDecode, RunLength8AllEscapes) {
    TBmpSpec s;
    s.width = 6;
    s.height = 4;
    s.bits = 8;
    s.compression = 1;
    s.palette = {kGrey, kRed, kGreen, kBlue, kWhite};
    s.pixels = {
        3, 1, 2, 2, 0, 0,            // stored row 0: R R R G G, end of line
        0, 3, 4, 3, 1, 0,            // row 1: absolute W B R + pad byte
        1, 2, 0, 2, 1, 1,            // G, delta right 1 and up 1
        1, 3, 0, 0,                  // row 2, x = 5: B; end of line
        0, 4, 1, 2, 3, 4, 9, 4, 0, 1 // row 3: absolute R G B W, then 9 x W clipped, end of bitmap
    };
    const TBitmap24 img = Decode(MakeBmp(s));
    // Stored row y is image row 3 - y.
    const std::vector<std::vector<Bgr>> want = {
        {kRed, kGreen, kBlue, kWhite, kWhite, kWhite},
        {kGrey, kGrey, kGrey, kGrey, kGrey, kBlue},
        {kWhite, kBlue, kRed, kGreen, kGrey, kGrey},
        {kRed, kRed, kRed, kGreen, kGreen, kGrey},
    };
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(At(img, c, r), want[size_t(r)][size_t(c)]) << c << "," << r;
}

TEST(BitmapDecode, RunLength4NibblesAndPadding) {
    TBmpSpec s;
    s.width = 7;
    s.height = 2;
    s.bits = 4;
    s.compression = 2;
    s.palette = {kGrey, kRed, kGreen, kBlue, kWhite};
    s.pixels = {
        5, 0x12, 0,    0,          // R G R G R, end of line
        0, 3,    0x34, 0x10, 0, 1, // absolute B W R (two bytes, no pad), end of bitmap
    };
    TBitmap24 img = Decode(MakeBmp(s));
    const std::vector<Bgr> bottom{kRed, kGreen, kRed, kGreen, kRed, kGrey, kGrey};
    const std::vector<Bgr> top{kBlue, kWhite, kRed, kGrey, kGrey, kGrey, kGrey};
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(At(img, c, 1), bottom[size_t(c)]) << c;
        EXPECT_EQ(At(img, c, 0), top[size_t(c)]) << c;
    }

    // Five nibbles take three bytes, padded with one more to a word.
    s.height = 1;
    s.pixels = {0, 5, 0x12, 0x34, 0x40, 0xEE, 2, 0x44, 0, 1};
    img = Decode(MakeBmp(s));
    const std::vector<Bgr> row{kRed, kGreen, kBlue, kWhite, kWhite, kWhite, kWhite};
    for (int c = 0; c < 7; ++c) EXPECT_EQ(At(img, c, 0), row[size_t(c)]) << c;
}

TEST(BitmapDecode, RunLengthTopDownAndEndings) {
    TBmpSpec s;
    s.width = 2;
    s.height = -2;
    s.bits = 8;
    s.compression = 1;
    s.palette = {kGrey, kRed};
    s.pixels = {2, 1, 0, 0, 0, 1};
    TBitmap24 img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kRed);
    EXPECT_EQ(At(img, 1, 1), kGrey);

    // Rows complete without an end code: fine.
    s.pixels = {2, 1, 0, 0, 2, 1, 0, 0};
    img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 1, 1), kRed);

    // The stream stops in the middle of the image: damaged.
    s.pixels = {2, 1, 0, 0};
    ExpectInvalid(MakeBmp(s));
    // An odd absolute run without its padding byte at the very end.
    s.height = 1;
    s.pixels = {0, 3, 1, 1, 1};
    ExpectInvalid(MakeBmp(s));
    // A delta far beyond the image ends it.
    s.pixels = {0, 2, 255, 255};
    img = Decode(MakeBmp(s));
    EXPECT_EQ(At(img, 0, 0), kGrey);
}

TEST(BitmapDecode, DamagedHeadersAreRefused) {
    const std::vector<uint8_t> good = MakeBmp(TwentyFourBit());
    ASSERT_NO_THROW(Decode(good));
    auto with32 = [&](size_t at, uint32_t v) {
        std::vector<uint8_t> f = good;
        for (int i = 0; i < 4; ++i) f.at(at + size_t(i)) = uint8_t(v >> (8 * i));
        return f;
    };
    auto with16 = [&](size_t at, uint16_t v) {
        std::vector<uint8_t> f = good;
        f[at] = uint8_t(v);
        f[at + 1] = uint8_t(v >> 8);
        return f;
    };
    ExpectInvalid({});
    ExpectInvalid({'B', 'M'});
    std::vector<uint8_t> notBm = good;
    notBm[0] = 'P';
    ExpectInvalid(notBm);
    ExpectInvalid(with32(14, 20)); // unknown header size
    ExpectInvalid(with32(14, 0));
    ExpectInvalid(with32(18, 0));          // width 0
    ExpectInvalid(with32(18, 0x80000000)); // negative width
    ExpectInvalid(with32(22, 0));          // height 0
    ExpectInvalid(with32(22, 0x80000000)); // the one height that has no positive
    ExpectInvalid(with16(28, 0));          // bits 0 (an embedded JPEG or PNG)
    ExpectInvalid(with16(28, 3));
    ExpectInvalid(with16(28, 64));
    ExpectInvalid(with32(30, 1));                         // RLE8 needs 8 bits
    ExpectInvalid(with32(30, 3));                         // bit fields need 16 or 32 bits
    ExpectInvalid(with32(30, 4));                         // JPEG inside
    ExpectInvalid(with32(30, 5));                         // PNG inside
    ExpectInvalid(with32(10, uint32_t(good.size()) + 1)); // data beyond the end
    ExpectInvalid(with32(10, 20));                        // data inside the headers
    ExpectInvalid(with32(22, 3));                         // one more row than stored
}

TEST(BitmapDecode, AbsurdDimensionsAreRefusedBeforeAllocating) {
    // 100000 x 100000 pixels claimed by a file of a few bytes, uncompressed
    // and run-length coded.
    for (uint32_t compression : {0u, 1u}) {
        TBmpSpec s;
        s.width = 100000;
        s.height = 100000;
        s.bits = 8;
        s.compression = compression;
        s.palette = {kRed};
        s.pixels = {0, 1};
        const std::vector<uint8_t> file = MakeBmp(s);
        gLargestNew = 0;
        ExpectInvalid(file);
        EXPECT_LT(gLargestNew.load(), size_t(1) << 20) << compression;
    }
    // 24-bit, top-down, 7 times the cap in rows.
    TBmpSpec s = TwentyFourBit();
    s.width = 65536;
    s.height = -(1 << 15);
    gLargestNew = 0;
    ExpectInvalid(MakeBmp(s));
    EXPECT_LT(gLargestNew.load(), size_t(1) << 20);
}

TEST(BitmapDecode, RunLengthDataThatCannotFillItsSizeIsRefusedBeforeAllocating) {
    // A kilobyte of runs and an end code declaring 16384 x 16384 pixels.
    TBmpSpec s;
    s.width = 16384;
    s.height = 16384;
    s.bits = 8;
    s.compression = 1;
    s.palette = {kRed, kGreen};
    for (int i = 0; i < 500; ++i) s.pixels.insert(s.pixels.end(), {255, 1});
    s.pixels.insert(s.pixels.end(), {0, 1});
    gLargestNew = 0;
    ExpectInvalid(MakeBmp(s));
    EXPECT_LT(gLargestNew.load(), size_t(1) << 20);
    // The same stream for a picture it can paint decodes.
    s.width = 1024;
    s.height = 1024;
    EXPECT_EQ(Decode(MakeBmp(s)).Width, 1024);
}

TEST(BitmapDecode, AnA3ScanIsWithinTheCap) {
    // 7016 x 9921 at 600 dpi; run-length coded so the file is tiny: one red
    // pixel at the bottom left, the rest skipped to the end.
    TBmpSpec s;
    s.width = 7016;
    s.height = 9921;
    s.bits = 8;
    s.compression = 1;
    s.palette = {kGrey, kRed};
    s.pixels = {1, 1, 0, 1};
    const TBitmap24 img = Decode(MakeBmp(s));
    ASSERT_EQ(img.Width, 7016);
    ASSERT_EQ(img.Height, 9921);
    EXPECT_EQ(At(img, 0, 9920), kRed);
    EXPECT_EQ(At(img, 7015, 0), kGrey);
}

// Every prefix of a valid file and random bit flips must give an image or
// "Bitmap ist ungültig", never anything else; under the address sanitizer
// this also shows that no byte outside the file is read. A flipped size bit
// of a run-length file would legitimately ask for hundreds of megabytes, so
// these runs use a small pixel cap.
std::vector<std::vector<uint8_t>> FuzzSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(MakeBmp(TwentyFourBit()));
    TBmpSpec p;
    p.width = 5;
    p.height = 3;
    p.bits = 8;
    p.palette = kFour;
    p.pixels = std::vector<uint8_t>(24, 2);
    seeds.push_back(MakeBmp(p));
    TBmpSpec r8 = p;
    r8.compression = 1;
    r8.pixels = {3, 1, 0, 3, 2, 3, 0, 0, 0, 2, 1, 1, 2, 2, 0, 1};
    seeds.push_back(MakeBmp(r8));
    TBmpSpec r4 = r8;
    r4.bits = 4;
    r4.compression = 2;
    r4.pixels = {3, 0x12, 0, 3, 0x31, 0x20, 0, 0, 0, 2, 1, 1, 4, 0x33, 0, 1};
    seeds.push_back(MakeBmp(r4));
    TBmpSpec b16;
    b16.width = 3;
    b16.height = 2;
    b16.bits = 16;
    b16.compression = 3;
    b16.headerSize = 108;
    b16.masks = {0xF800, 0x07E0, 0x001F};
    b16.pixels = std::vector<uint8_t>(16, 0x5A);
    seeds.push_back(MakeBmp(b16));
    TBmpSpec core;
    core.headerSize = 12;
    core.width = 9;
    core.bits = 1;
    core.palette = {kBlack, kWhite};
    core.pixels = {0xAA, 0x80, 0, 0};
    seeds.push_back(MakeBmp(core));
    return seeds;
}

void DecodeOrInvalid(const std::vector<uint8_t>& file) {
    try {
        const TBitmap24 img = Decode(file, 1 << 16);
        ASSERT_FALSE(img.Empty());
        ASSERT_EQ(img.Bytes.size(), size_t(img.Width) * size_t(img.Height) * 3);
    } catch (const EInvalidGraphic& e) {
        ASSERT_STREQ(e.what(), "Bitmap ist ungültig");
    }
}

TEST(BitmapDecode, EveryTruncationIsSafe) {
    for (const auto& seed : FuzzSeeds()) {
        ASSERT_NO_THROW(Decode(seed));
        for (size_t n = 0; n < seed.size(); ++n) {
            const std::vector<uint8_t> cut(seed.begin(), seed.begin() + std::ptrdiff_t(n));
            DecodeOrInvalid(cut);
        }
    }
}

TEST(BitmapDecode, RandomBitFlipsAreSafe) {
    std::mt19937 rng(20240611);
    for (const auto& seed : FuzzSeeds()) {
        for (int round = 0; round < 1000; ++round) {
            std::vector<uint8_t> file = seed;
            const int flips = 1 + int(rng() % 4);
            for (int k = 0; k < flips; ++k) file[rng() % file.size()] ^= uint8_t(1u << (rng() % 8));
            DecodeOrInvalid(file);
        }
    }
}

TEST(BitmapEncode, ByteForByte) {
    // 2 x 2: rows of 6 bytes padded to 8, bottom row first.
    TBitmap24 img(2, 2);
    const uint8_t px[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::memcpy(img.Bytes.data(), px, sizeof px);
    const std::string file = EncodeBitmapFile(img);
    const std::vector<uint8_t> want = {
        'B', 'M', 70, 0,  0,  0,  0, 0, 0, 0, 54, 0, 0, 0, // file header
        40,  0,   0,  0,  2,  0,  0, 0, 2, 0, 0,  0, 1, 0,
        24,  0,                         // size, width, height, planes, bits
        0,   0,   0,  0,  16, 0,  0, 0, // no compression, 16 data bytes
        0,   0,   0,  0,  0,  0,  0, 0, 0, 0, 0,  0, 0, 0,
        0,   0,                         // resolution and colour counts
        7,   8,   9,  10, 11, 12, 0, 0, // image row 1
        1,   2,   3,  4,  5,  6,  0, 0, // image row 0
    };
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.end()), want);
}

TEST(BitmapEncode, RoundTripsEveryPadding) {
    std::mt19937 rng(7);
    for (int w = 1; w <= 9; ++w) {
        for (int h : {1, 2, 5}) {
            TBitmap24 img(w, h);
            for (uint8_t& b : img.Bytes) b = uint8_t(rng());
            const std::string file = EncodeBitmapFile(img);
            EXPECT_EQ(file.size(), 54 + size_t((3 * w + 3) / 4 * 4) * size_t(h));
            const TMemorySource source(file.data(), file.size());
            const TBitmap24 back = DecodeBitmapFile(source);
            EXPECT_EQ(back.Width, w);
            EXPECT_EQ(back.Height, h);
            EXPECT_EQ(back.Bytes, img.Bytes) << w << "x" << h;
        }
    }
}

TEST(BitmapEncode, EmptyImageIsRefused) {
    EXPECT_THROW(EncodeBitmapFile(TBitmap24()), EInvalidGraphic);
}

} // namespace
