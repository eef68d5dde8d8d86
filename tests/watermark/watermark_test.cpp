#include "watermark/watermark.h"

#include "spectral/errors.h"
#include "tests/support/test_support.h"
#include "watermark/cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// A plain reference of both operations, written as directly as possible from
// their description: loops over t with the index clamp, a fresh key set-up for
// every row through the cipher component, the bells evaluated on the spot. The
// engine's unrolled, cached version must match it bit for bit.

std::vector<int8_t> RefRow(TCipherManager& cm, const std::string& sign, int32_t r, size_t n) {
    std::vector<uint8_t> buf(n, 0);
    cm.InitKey(sign + std::to_string(r));
    cm.EncryptBytes(buf.data(), buf.data(), n);
    return std::vector<int8_t>(buf.begin(), buf.end());
}

double RefMeasure(const TSpectrumStore& s, const std::string& sign) {
    const int32_t W = s.Cols, H = s.Rows;
    TCipherManager cm;
    float A[9] = {};
    const float sd = float(1000000.0 / H / W);
    for (int p = 0; p < 3; ++p)
        for (int32_t r = 0; r < H; ++r) {
            const auto K = RefRow(cm, sign, r, std::max<size_t>(size_t(W) + 1, 3));
            for (int32_t j = 0; j < W; ++j) {
                const float v = float(double(s.At(p, j, r)) * double(sd));
                if (std::fabs(double(v)) < 100000.0)
                    for (int t = -4; t <= 4; ++t) {
                        const int32_t i = j + t < 0 ? 0 : j + t;
                        A[t + 4] = float(double(A[t + 4]) + double(K[size_t(i / 2)]) * double(v));
                    }
            }
        }
    for (auto& a : A) a = float(double(a) / H / W);
    float n = A[4];
    if (n == 0) n = 1;
    for (auto& a : A) a = float(double(a) / double(n));
    float best = 1111110;
    int ds = 0;
    for (int d = -40; d <= 40; ++d)
        for (int w = 1; w <= 40; ++w) {
            float e = 0;
            for (int t = -4; t <= 4; ++t) {
                const double g = std::exp(-std::pow((t + d / 10.0) * (w / 40.0), 2));
                e = float(double(e) + std::pow(double(A[t + 4]) - g, 2));
            }
            if (e < best) best = e, ds = d;
        }
    float q = float(1 - double(best) / 2);
    if (q < 0) q = 0;
    if (q > 1) q = 1;
    return std::abs(ds) >= 3 ? 0.0 : double(q);
}

TWatermarkResult RefEmbed(TSpectrumStore& s, const std::string& sign) {
    const int32_t W = s.Cols, H = s.Rows;
    TCipherManager cm;
    const float se = float(100000.0 / H / W);
    TWatermarkResult res;
    for (int m = 1; m <= 20; ++m) {
        for (int p = 0; p < 3; ++p)
            for (int32_t r = 0; r < H; ++r) {
                const auto K = RefRow(cm, sign, r, size_t(W) + 1);
                for (int32_t c = 0; c < W; ++c) {
                    float& x = s.At(p, c, r);
                    if (std::fabs(double(x) * double(se)) < 100000.0)
                        x = float(double(x) + double(se) * double(int(K[size_t(c / 2)]) * m));
                }
            }
        res.Passes = m;
        res.Measure = RefMeasure(s, sign);
        if (res.Measure > 0.995) break;
    }
    return res;
}

// A store that looks like a photo's spectrum: a large constant term, falling
// magnitudes, random signs, small values stored as 0, and a few cells beyond
// both bounds.
TSpectrumStore SpectrumLike(int32_t w, int32_t h, uint32_t seed) {
    TSpectrumStore s;
    s.Resize(w, h);
    std::mt19937 gen(seed);
    const double scale = 4.0 * w * h;
    for (int p = 0; p < 3; ++p)
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) {
                const double f = std::hypot(double(c) / w, double(r) / h) * 32.0 + 1.0;
                const double u = double(gen() >> 8) / 16777216.0 * 2.0 - 1.0;
                float v = float(scale * 0.01 * u / (f * f));
                if (std::fabs(v) < 0.1f) v = 0.0f;
                s.At(p, c, r) = v;
            }
    for (int p = 0; p < 3; ++p) s.At(p, 0, 0) = float(scale * 20.0);
    return s;
}

bool SameBits(const TSpectrumStore& a, const TSpectrumStore& b) {
    if (a.Rows != b.Rows || a.Cols != b.Cols) return false;
    for (int p = 0; p < 3; ++p)
        if (std::memcmp(a.Planes[p].data(), b.Planes[p].data(), a.CellCount() * sizeof(float)) != 0)
            return false;
    return true;
}

// ---------------------------------------------------------------------------

TEST(WatermarkMeasure, MatchesThePlainReferenceBitForBit) {
    // Odd and even widths, one column, one row, narrow rows where every column
    // is near an end, values straddling the bound.
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {1, 7}, {2, 3},  {3, 1},  {5, 4},
                                                 {8, 3}, {9, 9}, {17, 6}, {40, 31}};
    uint32_t seed = 1;
    for (auto [w, h] : sizes) {
        // Most cells below the detection bound, some beyond it.
        const float range = 0.15f * float(w) * float(h);
        TSpectrumStore s = RandomStore(w, h, seed++, -range, range);
        for (const char* sign : {"", "(c) Pixmend Software", "M\xC3\xBCller"}) {
            const double expected = RefMeasure(s, sign);
            EXPECT_EQ(WatermarkMeasure(s, sign), expected)
                << w << " x " << h << " sign '" << sign << "'";
            EXPECT_EQ(WatermarkMeasure(s, sign, TKeystreamPolicy::Recompute), expected);
            EXPECT_EQ(WatermarkMeasure(s, TRowKeystreams(sign, w, h)), expected);
        }
    }
}

TEST(WatermarkMeasure, TinyAndSubnormalValuesMatchTheReference) {
    // Values so small that sums could leave the normal range of singles take
    // the plain path; the results are the same either way.
    for (float tiny : {1e-22f, 1e-30f, 1e-38f, 1e-44f}) {
        TSpectrumStore s = RandomStore(37, 23, 77, -1000.0f, 1000.0f);
        for (int p = 0; p < 3; ++p)
            for (size_t i = 0; i < s.CellCount(); i += 5)
                s.Planes[p][i] = tiny * float(int(i % 7) - 3);
        EXPECT_EQ(WatermarkMeasure(s, "t"), RefMeasure(s, "t")) << tiny;
        TSpectrumStore all = RandomStore(37, 23, 78, -1.0f, 1.0f);
        for (int p = 0; p < 3; ++p)
            for (auto& v : all.Planes[p]) v *= tiny;
        EXPECT_EQ(WatermarkMeasure(all, "t"), RefMeasure(all, "t")) << tiny;
    }
}

TEST(WatermarkEmbed, MatchesThePlainReferenceBitForBit) {
    const std::pair<int32_t, int32_t> sizes[] = {{1, 2},  {2, 2},   {7, 5},
                                                 {16, 9}, {33, 20}, {130, 90}};
    uint32_t seed = 100;
    for (auto [w, h] : sizes) {
        const TSpectrumStore original = SpectrumLike(w, h, seed++);
        TSpectrumStore ref = original, cached = original, recomputed = original;
        const auto r = RefEmbed(ref, kDefaultSign);
        const auto a = EmbedWatermark(cached, kDefaultSign);
        const auto b = EmbedWatermark(recomputed, kDefaultSign, TKeystreamPolicy::Recompute);
        EXPECT_EQ(a.Passes, r.Passes) << w << " x " << h;
        EXPECT_EQ(a.Measure, r.Measure) << w << " x " << h;
        EXPECT_EQ(b.Passes, r.Passes);
        EXPECT_EQ(b.Measure, r.Measure);
        EXPECT_TRUE(SameBits(cached, ref)) << w << " x " << h;
        EXPECT_TRUE(SameBits(recomputed, ref)) << w << " x " << h;
    }
}

TEST(WatermarkEmbed, FoundAfterEmbeddingOnALargeEnoughSpectrum) {
    // 150 x 100 = 15,000 cells: large enough for the pattern to stay within
    // the detection bound after the first pass.
    TSpectrumStore s = SpectrumLike(150, 100, 7);
    const double before = WatermarkMeasure(s, kDefaultSign);
    const auto result = EmbedWatermark(s, kDefaultSign);
    EXPECT_TRUE(result.Measure > 0.995 || result.Passes == 20)
        << result.Passes << " " << result.Measure;
    EXPECT_GE(result.Passes, 1);
    EXPECT_LE(result.Passes, 20);
    // The reported measure is the one the store now has.
    EXPECT_EQ(WatermarkMeasure(s, kDefaultSign), result.Measure);
    EXPECT_GT(result.Measure, before);
    EXPECT_TRUE(WatermarkFound(result.Measure));
    // Other signs, even one differing only in case, do not find it.
    for (const char* other : {"(C) Pixmend Software", "(c) Pixmend Software ", "", "someone else"})
        EXPECT_FALSE(WatermarkFound(WatermarkMeasure(s, other)))
            << other << " " << WatermarkMeasure(s, other);
}

TEST(WatermarkEmbed, StopsAtTheFirstMeasureAboveTheThreshold) {
    // Run the passes by hand with the reference and check the embedding stops
    // exactly where the first measure exceeds 0.995, or runs all 20.
    for (uint32_t seed : {3u, 4u, 5u}) {
        const TSpectrumStore original = SpectrumLike(120, 110, seed);
        TSpectrumStore s = original;
        const auto result = EmbedWatermark(s, "abc");
        TSpectrumStore ref = original;
        const auto expected = RefEmbed(ref, "abc");
        EXPECT_EQ(result.Passes, expected.Passes);
        if (result.Passes < 20) {
            EXPECT_GT(result.Measure, 0.995);
        }
        EXPECT_TRUE(SameBits(s, ref));
    }
}

TEST(WatermarkEmbed, CellsAtTheBoundAreNeverChanged) {
    // The bound is |x s_e| >= 100000 with s_e a float near 100000 / (H W): find
    // the smallest float magnitude that reaches it. Cells there and beyond
    // stay as they are, the float just below changes.
    TSpectrumStore s = SpectrumLike(150, 100, 11);
    const float se = float(100000.0 / 100 / 150);
    float bound = 150.0f * 100.0f;
    while (double(bound) * double(se) >= 100000.0) bound = std::nextafter(bound, 0.0f);
    while (double(bound) * double(se) < 100000.0) bound = std::nextafter(bound, 2.0f * bound);
    const float below = std::nextafter(bound, 0.0f);
    s.At(0, 10, 10) = bound;
    s.At(1, 11, 10) = -bound;
    s.At(2, 12, 10) = 1.0e9f;
    s.At(0, 12, 10) = below;
    s.At(1, 30, 40) = std::numeric_limits<float>::infinity();
    s.At(2, 31, 40) = std::numeric_limits<float>::quiet_NaN();
    EmbedWatermark(s, kDefaultSign);
    EXPECT_EQ(FloatBits(s.At(0, 10, 10)), FloatBits(bound));
    EXPECT_EQ(FloatBits(s.At(1, 11, 10)), FloatBits(-bound));
    EXPECT_EQ(FloatBits(s.At(2, 12, 10)), FloatBits(1.0e9f));
    EXPECT_TRUE(std::isinf(s.At(1, 30, 40)));
    EXPECT_TRUE(std::isnan(s.At(2, 31, 40)));
    // Column 12 uses key byte 6; unless it is 0 the cell just below the bound moved.
    const auto K = Keystream(std::string(kDefaultSign) + "10", 151);
    if (K[6] != 0) {
        EXPECT_NE(FloatBits(s.At(0, 12, 10)), FloatBits(below));
    }
}

TEST(WatermarkMeasure, CellsAtTheDetectionBoundAreNotCounted) {
    // s_d = 10 s_e: a cell whose v = x s_d reaches 100000 adds nothing, so
    // changing its value does not change the measure; below the bound it does.
    TSpectrumStore s = SpectrumLike(60, 50, 12);
    const float sd = float(1000000.0 / 50 / 60);
    float bound = 3000.0f / 10.0f;
    while (!(std::fabs(bound * sd) < 100000.0f)) bound = std::nextafter(bound, 0.0f);
    while (std::fabs(bound * sd) < 100000.0f) bound = std::nextafter(bound, 2.0f * bound);
    s.At(1, 20, 20) = bound;
    const double q = WatermarkMeasure(s, "k");
    s.At(1, 20, 20) = -5.0f * bound;
    EXPECT_EQ(WatermarkMeasure(s, "k"), q);
    s.At(1, 20, 20) = std::numeric_limits<float>::infinity();
    EXPECT_EQ(WatermarkMeasure(s, "k"), q);
    s.At(1, 20, 20) = std::nextafter(bound, 0.0f);
    EXPECT_EQ(WatermarkMeasure(s, "k"), RefMeasure(s, "k"));
}

TEST(WatermarkEmbed, ColumnPairsShareTheirByteAndPlanesAlike) {
    // A grey store (three equal planes) of zeros: each pass adds s_e k m, so
    // after the embedding every cell is a multiple of its key byte, columns
    // 2i and 2i+1 equal, and the three planes equal.
    TSpectrumStore s;
    s.Resize(121, 130);
    const auto result = EmbedWatermark(s, kDefaultSign);
    for (int32_t r = 0; r < s.Rows; r += 13) {
        const auto K = Keystream(std::string(kDefaultSign) + std::to_string(r), size_t(s.Cols) + 1);
        for (int32_t c = 0; c < s.Cols; ++c) {
            EXPECT_EQ(FloatBits(s.At(0, c, r)), FloatBits(s.At(1, c, r)));
            EXPECT_EQ(FloatBits(s.At(0, c, r)), FloatBits(s.At(2, c, r)));
            if (c % 2 == 1) {
                EXPECT_EQ(FloatBits(s.At(0, c, r)), FloatBits(s.At(0, c - 1, r)));
            }
            const auto k = int8_t(K[size_t(c / 2)]);
            EXPECT_EQ(s.At(0, c, r) == 0.0f, k == 0);
            if (k != 0) {
                EXPECT_EQ(s.At(0, c, r) > 0, k > 0);
            }
        }
    }
    EXPECT_TRUE(result.Measure > 0.995 || result.Passes == 20);
}

TEST(WatermarkEmpty, EmptyStoreIsADivisionByZeroAndChangesNothing) {
    TSpectrumStore s;
    try {
        EmbedWatermark(s, kDefaultSign);
        FAIL() << "no error";
    } catch (const EMathError& e) {
        EXPECT_STREQ(e.what(), "Division durch Null");
    }
    EXPECT_THROW(WatermarkMeasure(s, kDefaultSign), EMathError);
    EXPECT_THROW(WatermarkMeasure(s, kDefaultSign, TKeystreamPolicy::Recompute), EMathError);
    EXPECT_TRUE(s.Planes[0].empty());
    EXPECT_EQ(s.Rows, 0);
}

TEST(WatermarkMeasure, EmptySignUsesTheBareRowNumbers) {
    TSpectrumStore s = SpectrumLike(140, 100, 21);
    const auto result = EmbedWatermark(s, "");
    EXPECT_TRUE(result.Measure > 0.995 || result.Passes == 20);
    EXPECT_EQ(WatermarkMeasure(s, ""), RefMeasure(s, ""));
    EXPECT_EQ(WatermarkMeasure(s, ""), result.Measure);
}

// ---------------------------------------------------------------------------
// The fit on hand-made profiles.

TEST(WatermarkFit, IdealProfileIsFoundAndFlatOnesAreNot) {
    // The profile of a perfect mark: 1 at 0, one half at +-1, 0 elsewhere.
    const float ideal[9] = {0, 0, 0, 0.5f, 1, 0.5f, 0, 0, 0};
    const double q = WatermarkMeasureFromProfile(ideal, 1, 1);
    EXPECT_GT(q, 0.995);
    EXPECT_LT(q, 1.0);
    EXPECT_EQ(double(float(q)), q); // a single-precision value
    // Scaling the profile does not matter: it is normalised by A[0] (and the size).
    float scaled[9];
    for (int t = 0; t < 9; ++t) scaled[t] = ideal[t] * 4096.0f * 25.0f;
    EXPECT_EQ(WatermarkMeasureFromProfile(scaled, 64, 25), q);
    // The widest bells are nearly flat, so a flat profile fits them well: the
    // measure looks at the shape near the centre, not at a peak's height.
    const float flat[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_GT(WatermarkMeasureFromProfile(flat, 1, 1), 0.99);
    // An alternating profile fits no bell.
    const float alternating[9] = {1, -1, 1, -1, 1, -1, 1, -1, 1};
    EXPECT_EQ(WatermarkMeasureFromProfile(alternating, 1, 1), 0.0);
}

TEST(WatermarkFit, ShiftedPeakCountsAsNoMark) {
    // The peak one column to the right fits best at a shift of -1.0: no mark,
    // however good the fit.
    const float shifted[9] = {0, 0, 0, 0, 0.5f, 1, 0.5f, 0, 0};
    EXPECT_EQ(WatermarkMeasureFromProfile(shifted, 1, 1), 0.0);
    const float left[9] = {0, 0, 0.5f, 1, 0.5f, 0, 0, 0, 0};
    EXPECT_EQ(WatermarkMeasureFromProfile(left, 1, 1), 0.0);
    // A slight asymmetry moves the best shift by less than 0.3: still a mark.
    const float skew[9] = {0, 0, 0, 0.45f, 1, 0.55f, 0, 0, 0};
    EXPECT_GT(WatermarkMeasureFromProfile(skew, 1, 1), 0.9);
}

TEST(WatermarkFit, ZeroCentreIsLeftUndivided) {
    // A[0] = 0: the profile is divided by 1 instead, so no NaN appears and the
    // values after the division by H W are used as they are.
    const float bump[9] = {0, 0, 0, 0.6f, 0, 0.6f, 0, 0, 0};
    float scaled[9];
    for (int t = 0; t < 9; ++t) scaled[t] = bump[t] * 7.0f * 3.0f;
    const double q = WatermarkMeasureFromProfile(bump, 1, 1);
    EXPECT_FALSE(std::isnan(q));
    EXPECT_EQ(WatermarkMeasureFromProfile(scaled, 7, 3), q);
    // All zeros: every bell has its peak inside -4..4; the best fit is the
    // narrowest bell with its peak at the edge, found first at d = -40, which
    // is no mark.
    const float zeros[9] = {};
    EXPECT_EQ(WatermarkMeasureFromProfile(zeros, 1, 1), 0.0);
}

TEST(WatermarkFit, MeasureStaysWithinZeroAndOne) {
    std::mt19937 gen(5);
    for (int i = 0; i < 200; ++i) {
        float A[9];
        for (auto& a : A) a = float(int(gen() % 2001) - 1000);
        const double q = WatermarkMeasureFromProfile(A, 3, 7);
        EXPECT_GE(q, 0.0);
        EXPECT_LE(q, 1.0);
    }
    // Huge errors clamp q to 0 (the shift may be anywhere then).
    const float wild[9] = {1, -1e6f, 1e6f, -1e6f, 1, 1e6f, -1e6f, 1e6f, 1};
    EXPECT_EQ(WatermarkMeasureFromProfile(wild, 1, 1), 0.0);
}

// ---------------------------------------------------------------------------
// Result texts.

TEST(WatermarkText, EmbeddingStopsAboveTheThreshold) {
    EXPECT_FALSE(WatermarkEmbedded(0.995));
    EXPECT_TRUE(WatermarkEmbedded(double(0.995f))); // 0.99500000477
    EXPECT_FALSE(WatermarkEmbedded(double(std::nextafter(0.995f, 0.0f))));
    EXPECT_TRUE(WatermarkEmbedded(1.0));
}

TEST(WatermarkText, FoundAndNotFound) {
    EXPECT_EQ(WatermarkResultText(0.0), "Wasserzeichen nicht gefunden");
    // Exactly the single nearest 0.1 is above 0.1 in double, so it is found;
    // the largest single below 0.1 is not.
    EXPECT_TRUE(WatermarkFound(double(0.1f)));
    EXPECT_FALSE(WatermarkFound(double(std::nextafter(0.1f, 0.0f))));
    EXPECT_FALSE(WatermarkFound(0.1));
    EXPECT_EQ(WatermarkResultText(0.1), "Wasserzeichen nicht gefunden");
    EXPECT_EQ(WatermarkResultText(double(0.9987f)),
              "Wasserzeichen gefunden,     99.9 % vollst\u00e4ndig");
    EXPECT_EQ(WatermarkResultText(double(0.9987f), ','),
              "Wasserzeichen gefunden,     99,9 % vollst\u00e4ndig");
    EXPECT_EQ(WatermarkResultText(1.0), "Wasserzeichen gefunden,    100.0 % vollst\u00e4ndig");
    EXPECT_EQ(WatermarkResultText(double(0.25f)),
              "Wasserzeichen gefunden,     25.0 % vollst\u00e4ndig");
}

// ---------------------------------------------------------------------------
// Keystreams per row.

TEST(RowKeystreams, RowsAreTheKeystreamsOfSignAndRowNumber) {
    const TRowKeystreams keys("S", 10, 12);
    EXPECT_EQ(keys.Length(), 11u);
    for (int32_t r : {0, 1, 9, 10, 11}) {
        const auto K = Keystream("S" + std::to_string(r), 11);
        EXPECT_EQ(0, std::memcmp(keys.Row(r), K.data(), 11)) << r;
    }
    // One column: three bytes, so the measure's read of byte 2 is the third
    // byte of the same sequence.
    const TRowKeystreams narrow("S", 1, 2);
    EXPECT_EQ(narrow.Length(), 3u);
    EXPECT_EQ(0, std::memcmp(narrow.Row(1), Keystream("S1", 3).data(), 3));
    // Wider than the original's buffer of 10,000 columns is served.
    EXPECT_EQ(TRowKeystreams::LengthFor(12000), 12001u);
}

} // namespace

TEST(WatermarkSign, SignsOutsideLatin1AreDistinctKeysAndLatin1SignsKeepTheirBytes) {
    EXPECT_EQ(KeyTextBytes("\xC2\xA9 M\xC3\xBCller"), "\xA9 M\xFCller");
    EXPECT_EQ(KeyTextBytes("\xE6\xB0\xB4\xE5\x8D\xB0"), "\xE6\xB0\xB4\xE5\x8D\xB0");
    TSpectrumStore s = SpectrumLike(150, 100, 31);
    const std::string sign =
        "\xE6\xB0\xB4\xE5\x8D\xB0\xE7\xAD\xBE\xE5\x90\x8D\xE6\xB5\x8B\xE8\xAF\x95";
    EmbedWatermark(s, sign);
    EXPECT_TRUE(WatermarkFound(WatermarkMeasure(s, sign)));
    // Same length, other characters: once all the same "??????" key.
    EXPECT_FALSE(
        WatermarkFound(WatermarkMeasure(s, "\xD0\x96\xD0\xB6\xD0\xB6\xD0\xB6\xD0\xB6\xD0\xB6")));
    EXPECT_FALSE(WatermarkFound(WatermarkMeasure(s, "??????")));
}

TEST(WatermarkEmbed, FailuresSayWhyAndLeaveTheStoreAsItWas) {
    TSpectrumStore tiny = SpectrumLike(4, 3, 5);
    const TSpectrumStore original = tiny;
    int reports = 0;
    try {
        EmbedWatermarkOrFail(tiny, kDefaultSign,
                             [&](int pass, double) { EXPECT_EQ(pass, ++reports); });
        FAIL() << "no error";
    } catch (const EWatermarkError& e) {
        EXPECT_EQ(e.Kind, EWatermarkError::TKind::TooWeak);
        EXPECT_EQ(e.Passes, 20);
        EXPECT_FALSE(WatermarkFound(e.Measure));
    }
    EXPECT_EQ(reports, 20);
    EXPECT_TRUE(SameBits(tiny, original));

    TSpectrumStore s = SpectrumLike(150, 100, 7);
    s.At(2, 3, 4) = std::numeric_limits<float>::quiet_NaN();
    const TSpectrumStore withNaN = s;
    try {
        EmbedWatermarkOrFail(s, kDefaultSign);
        FAIL() << "no error";
    } catch (const EWatermarkError& e) {
        EXPECT_EQ(e.Kind, EWatermarkError::TKind::NotFinite);
        EXPECT_NE(std::string(e.what()).find("NaN or infinity"), std::string::npos);
    }
    EXPECT_TRUE(SameBits(s, withNaN));
}
