// The screen's geometry from its peaks, the ruling low-pass anchored on it,
// and the descreen on screens it was not built for.
#include "filter/apply_filter.h"
#include "filter/descreen.h"
#include "filter/ruling_low_pass.h"
#include "filter/screen_geometry.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr int32_t kW = 600, kH = 500;

// The folded peaks of square-lattice inks at these angles: fundamentals,
// their partners and the harmonics u + v, u - v, 2u; `strongest` first.
std::vector<TScreenPeak> LatticePeaks(double frequency, std::initializer_list<double> angles,
                                      int strongestHarmonic) {
    std::vector<TScreenPeak> peaks;
    auto add = [&](double fx, double fy, int32_t excess) {
        const int32_t c = int32_t(std::lround(std::fabs(fx) * 2.0 * kW));
        const int32_t r = int32_t(std::lround(std::fabs(fy) * 2.0 * kH));
        peaks.push_back({c, r, 3, excess});
    };
    for (const double a : angles) {
        const double t = a * std::numbers::pi / 180.0;
        const double ux = frequency * std::cos(t), uy = frequency * std::sin(t);
        const double vx = -uy, vy = ux;
        const int32_t boost = strongestHarmonic == 0 ? 40 : 0;
        add(ux, uy, 100 + boost);
        add(vx, vy, 99 + boost);
        add(ux + vx, uy + vy, 80 + (strongestHarmonic == 1 ? 60 : 0));
        add(ux - vx, uy - vy, 79);
        add(2 * ux, 2 * uy, 70);
    }
    std::stable_sort(peaks.begin(), peaks.end(), [](const TScreenPeak& a, const TScreenPeak& b) {
        return a.Excess > b.Excess;
    });
    return peaks;
}

// The smooth picture printed with a dot screen per plane (dots on a grid
// turned by the plane's angle, each as large as its tone asks), so that the
// screen has harmonics as a print's has.
TBitmap24 DotScreened(const TBitmap24& clean, double cell, double turn) {
    TBitmap24 out = clean;
    const double angles[3] = {15.0 + turn, 75.0 + turn, 45.0 + turn};
    for (int32_t r = 0; r < clean.Height; ++r)
        for (int32_t c = 0; c < clean.Width; ++c)
            for (int p = 0; p < 3; ++p) {
                const double a = angles[p] * std::numbers::pi / 180.0,
                             k = 2.0 * std::numbers::pi / cell;
                const double u = c * std::cos(a) + r * std::sin(a),
                             t = -c * std::sin(a) + r * std::cos(a);
                const double spot = (2.0 - std::cos(k * u) - std::cos(k * t)) / 4.0; // 0 .. 1
                const double tone = clean.Pixel(c, r)[p] / 255.0;
                out.Pixel(c, r)[p] = spot < tone ? 255 : 0;
            }
    return out;
}

} // namespace

TEST(ScreenGeometry, FindsTheFundamentalWhateverTheRotationAndWhicheverPeakIsStrongest) {
    const double f = 1.0 / 6.0; // six pixels a cell
    for (const double turn : {0.0, 3.0, -6.5, 10.0, 30.0, 45.0})
        for (const int strongest : {0, 1}) {
            const auto peaks = LatticePeaks(f, {15.0 + turn, 45.0 + turn, 0.0 + turn}, strongest);
            EXPECT_NEAR(ScreenFundamental(peaks, kW, kH), f, 0.02 * f) << turn << " " << strongest;
            const auto lattices = FindScreenLattices(peaks, kW, kH);
            ASSERT_FALSE(lattices.empty());
            // Harmonics do not count as lattices of their own.
            for (const TScreenLattice& l : lattices) EXPECT_NEAR(l.Frequency, f, 0.02 * f);
        }
    // Two rulings: both are found, the coarser first.
    auto two = LatticePeaks(1.0 / 8.0, {15.0, 45.0}, 0);
    const auto fine = LatticePeaks(1.0 / 4.5, {15.0, 45.0}, 0);
    two.insert(two.end(), fine.begin(), fine.end());
    const auto lattices = FindScreenLattices(two, kW, kH);
    ASSERT_GE(lattices.size(), 2u);
    EXPECT_NEAR(lattices.front().Frequency, 1.0 / 8.0, 0.003);
    EXPECT_NEAR(lattices.back().Frequency, 1.0 / 4.5, 0.005);
}

TEST(ScreenGeometry, GivesNoAnchorForPeaksThatMakeNoLattice) {
    EXPECT_EQ(ScreenFundamental({}, kW, kH), 0.0);
    // A line screen: one frequency and its harmonic, no partner at right
    // angles.
    const std::vector<TScreenPeak> line = {{100, 0, 3, 90}, {200, 0, 3, 60}};
    EXPECT_EQ(ScreenFundamental(line, kW, kH), 0.0);
    // A strongest peak that is no harmonic of the lattice: a fine screen
    // folded back, where the lattice seen is the fold.
    auto folded = LatticePeaks(1.0 / 6.0, {15.0, 45.0}, 0);
    folded.insert(folded.begin(),
                  TScreenPeak{int32_t(0.37 * 2 * kW), int32_t(0.2 * 2 * kH), 3, 200});
    EXPECT_EQ(ScreenFundamental(folded, kW, kH), 0.0);
}

TEST(RulingLowPass, HalvesAtItsCutoffKeepsTheConstantTermAndReadsAsItsOwnKind) {
    TSpectrumStore s = RandomStore(200, 100, 3, 1.0f, 1.0f);
    DampScreenRuling(s, 0.5f, 1.0f);
    const double cutoff = RulingLowPassProfile().Cutoff * 0.5;
    EXPECT_EQ(s.At(0, 0, 0), 1.0f);
    // Column c lies at radius c / W.
    const int32_t c = int32_t(std::lround(cutoff * 200));
    EXPECT_NEAR(s.At(1, c, 0), 0.5, 0.03);
    EXPECT_LT(s.At(2, 199, 99), 0.01f);
    // Power 2 squares the gain; absurd numbers change nothing.
    TSpectrumStore t = RandomStore(200, 100, 3, 1.0f, 1.0f);
    DampScreenRuling(t, 0.5f, 2.0f);
    EXPECT_NEAR(t.At(1, c, 0), s.At(1, c, 0) * s.At(1, c, 0), 1e-3);
    TSpectrumStore u = RandomStore(50, 40, 3, -5.0f, 5.0f);
    const TSpectrumStore before = u;
    for (const float bad : {0.0f, -1.0f, 3.0f, NAN}) DampScreenRuling(u, bad, 1.0f);
    DampScreenRuling(u, 0.5f, 0.0f);
    EXPECT_EQ(u.Planes[0], before.Planes[0]);

    const auto line = FormatEntryLine(kFilterRuling, 0.33333f, 1.0f, 0.0f, 0.0f);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "typ=ruling,x1=33.33300,x2=100.00000,y1=0.00000,y2=0.00000");
    EXPECT_EQ(ParseEntryLine(*line).typ, kFilterRuling);
    EXPECT_EQ(ParseEntryLine("typ=Ruling,x1=10").typ, kFilterUnrecognised);
}

TEST(Descreen, CoarseAndStronglyTurnedScreensGetTheRulingLowPassAndAreCleaned) {
    // A cell of 6 pixels is a 150-lpi print scanned at 900 dpi.
    const TBitmap24 clean = ScreenedPicture(320, 256, 0);
    for (const double turn : {4.0, 30.0}) {
        const TBitmap24 screened = DotScreened(clean, 6.0, turn);
        TSpectrumStore store;
        FillStoreFromBitmap(screened, store);
        TNoProgress quiet;
        const TFilterList used = DescreenStore(store, quiet);
        ASSERT_FALSE(used.Empty());
        EXPECT_EQ(used.GetEntry(0).typ, kFilterRuling);
        // Anchored on the fundamental (1/6 cycles per pixel, radius 1/3).
        EXPECT_NEAR(used.GetEntry(0).x1, 1.0 / 3.0, 0.01);
        const TBitmap24 out = RenderStore(store, true, 0);
        double before = 0.0, after = 0.0;
        for (size_t i = 0; i < clean.Bytes.size(); ++i) {
            before += std::pow(double(screened.Bytes[i]) - clean.Bytes[i], 2);
            after += std::pow(double(out.Bytes[i]) - clean.Bytes[i], 2);
        }
        EXPECT_LT(after, before / 20.0) << turn;
    }
}

TEST(Descreen, ScreensItWasNotBuiltForGetAClearResultAndNeverADamagedPicture) {
    const TBitmap24 clean = ScreenedPicture(256, 200, 0);
    auto distance = [&](const TBitmap24& b) {
        double sum = 0.0;
        for (size_t i = 0; i < b.Bytes.size(); ++i)
            sum += std::pow(double(b.Bytes[i]) - clean.Bytes[i], 2);
        return sum;
    };
    // A line screen at 30 degrees, and a stochastic screen (dots thrown at
    // random as often as the tone asks): each is damped or left alone, and
    // comes out no further from the picture than it went in.
    TBitmap24 lines = clean, stochastic = clean;
    uint32_t state = 11;
    for (int32_t r = 0; r < clean.Height; ++r)
        for (int32_t c = 0; c < clean.Width; ++c)
            for (int p = 0; p < 3; ++p) {
                const double tone = clean.Pixel(c, r)[p] / 255.0;
                const double u = c * std::cos(0.5236) + r * std::sin(0.5236);
                lines.Pixel(c, r)[p] =
                    (1.0 - std::cos(2.0 * std::numbers::pi * u / 5.0)) / 2.0 < tone ? 255 : 0;
                state = state * 1664525u + 1013904223u;
                stochastic.Pixel(c, r)[p] = double(state >> 8) / double(1u << 24) < tone ? 255 : 0;
            }
    for (const TBitmap24* in : {&lines, &stochastic}) {
        TSpectrumStore store;
        FillStoreFromBitmap(*in, store);
        TNoProgress quiet;
        const TFilterList used = DescreenStore(store, quiet);
        const TBitmap24 out = RenderStore(store, true, 0);
        if (used.Empty()) {
            // Only the transforms' rounding.
            for (size_t i = 0; i < out.Bytes.size(); ++i)
                ASSERT_LE(std::abs(out.Bytes[i] - in->Bytes[i]), 2) << i;
        } else {
            EXPECT_LE(distance(out), distance(*in));
        }
    }
    // An all-white page has nothing to find.
    TBitmap24 white(160, 120);
    std::fill(white.Bytes.begin(), white.Bytes.end(), uint8_t(255));
    TSpectrumStore s;
    FillStoreFromBitmap(white, s);
    TNoProgress quiet;
    TransformStore(s, TTransformDirection::Forward, nullptr, quiet);
    EXPECT_TRUE(DetectScreen(s).Empty());
}
