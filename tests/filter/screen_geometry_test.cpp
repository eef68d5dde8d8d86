// The screen's geometry from its peaks, the ruling low-pass and the sideband
// damping anchored on it, and the descreen on screens it was not built for.
#include "filter/apply_filter.h"
#include "filter/descreen.h"
#include "filter/ruling_low_pass.h"
#include "filter/screen_geometry.h"
#include "filter/sideband_damping.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace {

constexpr int32_t kW = 600, kH = 500;

// The peak where the frequency (x, y), in cycles a pixel, folds to.
TScreenPeak FoldedPeak(double x, double y, int32_t excess) {
    const auto folded = [](double v) { return std::fabs(v - std::round(v)); };
    return {int32_t(std::lround(folded(x) * 2.0 * kW)), int32_t(std::lround(folded(y) * 2.0 * kH)),
            3, excess};
}

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

TEST(ScreenGeometry, PassesOverRosetteLatticesAndFindsCoarseScreensWithoutHarmonics) {
    const double f = 1.0 / 9.0, degree = std::numbers::pi / 180.0;
    for (const double turn : {0.0, 4.0, -8.0}) {
        // Inks 30 degrees apart: the difference of their fundamentals, at
        // 0.52 times the ruling, prints a lattice of its own with its
        // harmonics, nearly as strong as the inks.
        auto peaks = LatticePeaks(f, {15.0 + turn, 45.0 + turn, 75.0 + turn}, 0);
        const double a = (15.0 + turn) * degree, b = (45.0 + turn) * degree;
        const double dx = f * (std::cos(a) - std::cos(b)), dy = f * (std::sin(a) - std::sin(b));
        for (const auto& [x, y] :
             {std::pair{dx, dy}, {-dy, dx}, {dx - dy, dy + dx}, {2 * dx, 2 * dy}})
            peaks.push_back({int32_t(std::lround(std::fabs(x) * 2.0 * kW)),
                             int32_t(std::lround(std::fabs(y) * 2.0 * kH)), 3, 135});
        ASSERT_NEAR(FindScreenLattices(peaks, kW, kH).front().Frequency, 0.52 * f, 0.02 * f);
        EXPECT_NEAR(ScreenFundamental(peaks, kW, kH), f, 0.02 * f) << turn;

        // Yellow and black, 45 degrees apart, whose difference stands out
        // more than either's fundamental.
        auto two = LatticePeaks(f, {0.0 + turn, 45.0 + turn}, 1);
        const double yellow = turn * degree, black = (45.0 + turn) * degree;
        const double ex = f * (std::cos(yellow) - std::cos(black)),
                     ey = f * (std::sin(yellow) - std::sin(black));
        for (const auto& [x, y] :
             {std::pair{ex, ey}, {-ey, ex}, {ex - ey, ey + ex}, {2 * ex, 2 * ey}})
            two.push_back({int32_t(std::lround(std::fabs(x) * 2.0 * kW)),
                           int32_t(std::lround(std::fabs(y) * 2.0 * kH)), 3, 110});
        std::stable_sort(two.begin(), two.end(), [](const TScreenPeak& p, const TScreenPeak& q) {
            return p.Excess > q.Excess;
        });
        EXPECT_NEAR(ScreenFundamental(two, kW, kH), f, 0.02 * f) << turn;

        // Only the inks' fundamentals and partners stand out.
        std::vector<TScreenPeak> bare;
        for (const double ink : {15.0, 75.0, 0.0, 45.0}) {
            const double t = (ink + turn) * degree;
            for (const double s : {t, t + 90.0 * degree})
                bare.push_back({int32_t(std::lround(std::fabs(f * std::cos(s)) * 2.0 * kW)),
                                int32_t(std::lround(std::fabs(f * std::sin(s)) * 2.0 * kH)), 3,
                                100});
        }
        EXPECT_NEAR(ScreenFundamental(bare, kW, kH), f, 0.02 * f) << turn;
        // One ink alone is no such screen.
        bare.resize(2);
        EXPECT_EQ(ScreenFundamental(bare, kW, kH), 0.0) << turn;

        // A screen of 2.14 pixels a cell: the scan's blur leaves two of its
        // inks less strong than their difference, 30 degrees apart,
        // whose lattice, at half the ruling, is no anchor either; a JPEG
        // file weakens one of them further.
        const double fine = 1.0 / 2.14;
        for (const int32_t weakest : {94, 86}) {
            std::vector<TScreenPeak> blurred;
            const auto add = [&](double x, double y, int32_t excess) {
                blurred.push_back({int32_t(std::lround(std::fabs(x) * 2.0 * kW)),
                                   int32_t(std::lround(std::fabs(y) * 2.0 * kH)), 3, excess});
            };
            for (const auto& [ink, excess] :
                 {std::pair{15.0, 105}, {75.0, 100}, {0.0, 97}, {45.0, weakest}}) {
                const double t = (ink + turn) * degree;
                add(fine * std::cos(t), fine * std::sin(t), excess);
                add(-fine * std::sin(t), fine * std::cos(t), excess - 1);
            }
            const double mx = fine * (std::cos(a) - std::cos(b)),
                         my = fine * (std::sin(a) - std::sin(b));
            for (const auto& [x, y] : {std::pair{mx, my}, {-my, mx}, {mx - my, my + mx}})
                add(x, y, 101);
            std::stable_sort(
                blurred.begin(), blurred.end(),
                [](const TScreenPeak& p, const TScreenPeak& q) { return p.Excess > q.Excess; });
            EXPECT_NEAR(ScreenFundamental(blurred, kW, kH), fine, 0.02 * fine)
                << turn << " " << weakest;
        }
    }
}

TEST(ScreenGeometry, PassesOverTheBeatOfAHarmonicBeyondTheScansLimit) {
    // A screen of 1.96 pixels a cell with inks at 0 and 45 degrees: the
    // black ink's diagonal harmonic lies beyond the scan's limit, and its
    // difference from the 45 degree ink, at 0.41 times the ruling, stands
    // out with its partner and harmonics nearly as much as the inks do.
    const double f = 1.0 / 1.96, degree = std::numbers::pi / 180.0;
    for (const double turn : {-2.4, 1.5}) {
        std::vector<TScreenPeak> peaks;
        const auto add = [&](double x, double y, int32_t excess) {
            peaks.push_back(FoldedPeak(x, y, excess));
        };
        double ink[4][2];
        for (int i = 0; const double angle : {45.0, 0.0, 15.0, 75.0}) {
            const double t = (angle + turn) * degree;
            ink[i][0] = f * std::cos(t);
            ink[i][1] = f * std::sin(t);
            add(ink[i][0], ink[i][1], 107 - 6 * i);
            add(-ink[i][1], ink[i][0], 104 - 6 * i);
            ++i;
        }
        // (u + v) of the black ink less u of the 45 degree one.
        const double bx = ink[1][0] - ink[1][1] - ink[0][0], by = ink[1][1] + ink[1][0] - ink[0][1];
        for (const auto& [x, y] :
             {std::pair{bx, by}, {-by, bx}, {bx - by, by + bx}, {2 * bx, 2 * by}})
            add(x, y, 88);
        std::stable_sort(
            peaks.begin(), peaks.end(),
            [](const TScreenPeak& p, const TScreenPeak& q) { return p.Excess > q.Excess; });
        ASSERT_NEAR(FindScreenLattices(peaks, kW, kH).front().Frequency, 0.414 * f, 0.02 * f);
        EXPECT_NEAR(ScreenFundamental(peaks, kW, kH), f, 0.02 * f) << turn;
    }
}

TEST(ScreenGeometry, FindsACoarseRulingFromItsHarmonicsAlone) {
    // 10.7 pixels a cell on a picture that hides the fundamentals and the
    // second harmonics: only harmonics from 2.8 times the ruling stand out,
    // none with its partner.
    const double f = 1.0 / 10.7, degree = std::numbers::pi / 180.0;
    for (const double turn : {47.0, 31.0, 62.5}) {
        const double ux = f * std::cos(turn * degree), uy = f * std::sin(turn * degree);
        std::vector<TScreenPeak> peaks;
        int32_t excess = 60;
        for (const auto& [n, m] :
             {std::pair{3, 1}, {1, 3}, {2, 2}, {3, 2}, {2, 3}, {4, 1}, {1, 4}, {3, 3}}) {
            peaks.push_back(FoldedPeak(n * ux - m * uy, n * uy + m * ux, excess--));
        }
        EXPECT_NEAR(ScreenFundamental(peaks, kW, kH), f, 0.03 * f) << turn;
        // The same peaks moved off that lattice are no screen's harmonics.
        for (size_t i = 0; i < peaks.size(); i += 2) peaks[i].Column += 9;
        EXPECT_EQ(ScreenFundamental(peaks, kW, kH), 0.0) << turn;
    }
    // The third harmonics make a lattice of their own, with its partner and
    // harmonic; the steps to the fourth tell the ruling.
    for (const double turn : {12.0, 31.0, 62.5}) {
        const double ux = f * std::cos(turn * degree), uy = f * std::sin(turn * degree);
        std::vector<TScreenPeak> peaks;
        int32_t excess = 60;
        for (const auto& [n, m] :
             {std::pair{3, 0}, {0, 3}, {3, 3}, {3, -3}, {4, 0}, {0, 4}, {4, 3}, {3, 4}}) {
            peaks.push_back(FoldedPeak(n * ux - m * uy, n * uy + m * ux, excess--));
        }
        EXPECT_NEAR(ScreenFundamental(peaks, kW, kH), f, 0.03 * f) << turn;
    }
}

TEST(ScreenGeometry, FindsAnInkNearTheScansLimitByItsFoldedHarmonics) {
    // 2.3 pixels a cell: the fundamentals lie below the scan's limit, the
    // diagonal harmonics u + v and u - v beyond it, folded back.
    const double f = 1.0 / 2.3, degree = std::numbers::pi / 180.0;
    for (const double turn : {0.0, 2.0, -3.0}) {
        std::vector<TScreenPeak> peaks;
        int32_t excess = 90;
        for (const double ink : {105.0, 45.0}) {
            const double ux = f * std::cos((ink + turn) * degree),
                         uy = f * std::sin((ink + turn) * degree);
            for (const auto& [x, y] :
                 {std::pair{ux, uy}, {-uy, ux}, {ux - uy, uy + ux}, {ux + uy, uy - ux}}) {
                peaks.push_back(FoldedPeak(x, y, excess));
                excess -= 4;
            }
        }
        EXPECT_NEAR(ScreenFundamental(peaks, kW, kH), f, 0.02 * f) << turn;
    }
}

TEST(ScreenGeometry, FindsACoarseRulingFromOneInksHarmonicsAmongAnothers) {
    // Two inks' third harmonics make lattices at three times the ruling; the
    // steps to the first ink's fourth harmonics tell the ruling, though
    // three of the eight strongest peaks are the second ink's.
    const double f = 1.0 / 10.7, degree = std::numbers::pi / 180.0;
    for (const double turn : {12.0, 31.0, 62.5}) {
        std::vector<TScreenPeak> peaks;
        int32_t excess = 70;
        const auto add = [&](double angle, int n, int m) {
            const double ux = f * std::cos(angle * degree), uy = f * std::sin(angle * degree);
            peaks.push_back(FoldedPeak(n * ux - m * uy, n * uy + m * ux, excess--));
        };
        for (const auto& [n, m] : {std::pair{3, 0}, {0, 3}, {3, 3}, {3, -3}}) add(turn, n, m);
        for (const auto& [n, m] : {std::pair{3, 0}, {0, 3}, {3, 3}}) add(turn + 30.0, n, m);
        for (const auto& [n, m] : {std::pair{4, 0}, {0, 4}, {4, 3}, {3, 4}}) add(turn, n, m);
        EXPECT_NEAR(ScreenFundamental(peaks, kW, kH), f, 0.03 * f) << turn;
    }
}

TEST(ScreenGeometry, TakesTheSumOfTwoInksAsTheStrongestPeak) {
    // Inks 30 degrees apart, whose sum, at 1.93 times the ruling and no
    // harmonic of either, stands out most (as elliptical dots can make it).
    const double f = 1.0 / 6.0, degree = std::numbers::pi / 180.0;
    for (const double turn : {0.0, 2.4, -8.0}) {
        const double a = (15.0 + turn) * degree, b = (45.0 + turn) * degree;
        const double sx = f * (std::cos(a) + std::cos(b)), sy = f * (std::sin(a) + std::sin(b));
        auto peaks = LatticePeaks(f, {15.0 + turn, 45.0 + turn, 75.0 + turn}, 0);
        const auto withStrongest = [&](double x, double y) {
            auto p = peaks;
            p.insert(p.begin(), TScreenPeak{int32_t(std::lround(std::fabs(x) * 2.0 * kW)),
                                            int32_t(std::lround(std::fabs(y) * 2.0 * kH)), 3, 160});
            return p;
        };
        EXPECT_NEAR(ScreenFundamental(withStrongest(sx, sy), kW, kH), f, 0.02 * f) << turn;
        // The same radius ten degrees off is no term of these inks: a
        // screen folded back.
        const double off = std::atan2(sy, sx) + 10.0 * degree, r = std::hypot(sx, sy);
        EXPECT_EQ(ScreenFundamental(withStrongest(r * std::cos(off), r * std::sin(off)), kW, kH),
                  0.0)
            << turn;
    }
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
    // Nor one at the radius of a harmonic of inks whose harmonics are not
    // there: the inks' fundamentals alone are no screen that makes it.
    std::vector<TScreenPeak> bare = {{int32_t(0.37 * 2 * kW), int32_t(0.2 * 2 * kH), 3, 200}};
    const double f = std::hypot(0.37, 0.2) / std::sqrt(2.0);
    for (const double ink : {15.0, 75.0, 0.0, 45.0})
        for (const double t : {ink, ink + 90.0})
            bare.push_back({int32_t(std::lround(
                                std::fabs(f * std::cos(t * std::numbers::pi / 180.0)) * 2.0 * kW)),
                            int32_t(std::lround(
                                std::fabs(f * std::sin(t * std::numbers::pi / 180.0)) * 2.0 * kH)),
                            3, 100});
    EXPECT_EQ(ScreenFundamental(bare, kW, kH), 0.0);
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

TEST(Descreen, CoarseAndStronglyTurnedScreensGetTheSidebandDampingAndAreCleaned) {
    // A cell of 6 pixels is a 150-lpi print scanned at 900 dpi.
    const TBitmap24 clean = ScreenedPicture(320, 256, 0);
    for (const double turn : {4.0, 30.0}) {
        const TBitmap24 screened = DotScreened(clean, 6.0, turn);
        TSpectrumStore store;
        FillStoreFromBitmap(screened, store);
        TNoProgress quiet;
        const TFilterList used = DescreenStore(store, quiet);
        ASSERT_FALSE(used.Empty());
        EXPECT_EQ(used.GetEntry(0).typ, kFilterSidebands);
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

TEST(Descreen, AFineScreenTheScanStillResolvesGetsTheSidebandDamping) {
    // 2.3 pixels a cell keeps the fundamental (radius 2 / 2.3) below half
    // the sampling rate, so its geometry holds.
    TSpectrumStore store;
    FillStoreFromBitmap(DotScreened(ScreenedPicture(320, 256, 0), 2.3, 4.0), store);
    TNoProgress quiet;
    const TFilterList used = DescreenStore(store, quiet);
    ASSERT_FALSE(used.Empty());
    EXPECT_EQ(used.GetEntry(0).typ, kFilterSidebands);
    EXPECT_NEAR(used.GetEntry(0).x1, 2.0 / 2.3, 0.02);
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

TEST(SidebandDamping, TakesTheCarriersAndTheirSurroundingsHarderThanThePictureBetweenThem) {
    // One ink's lattice, so that its two fundamentals leave room between
    // them on their ring.
    const TBitmap24 clean = ScreenedPicture(320, 256, 0);
    TBitmap24 screened = clean;
    const double a = 20.0 * std::numbers::pi / 180.0, k = 2.0 * std::numbers::pi / 6.0;
    for (int32_t r = 0; r < clean.Height; ++r)
        for (int32_t c = 0; c < clean.Width; ++c) {
            const double u = c * std::cos(a) + r * std::sin(a),
                         t = -c * std::sin(a) + r * std::cos(a);
            const double spot = (2.0 - std::cos(k * u) - std::cos(k * t)) / 4.0;
            for (int p = 0; p < 3; ++p)
                screened.Pixel(c, r)[p] = spot < clean.Pixel(c, r)[p] / 255.0 ? 255 : 0;
        }
    TSpectrumStore spectrum = SpectrumOf(screened);
    const int32_t W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum);
    // The fundamental as a normalised radius, twice its cycles per pixel.
    const float f = float(2.0 / 6.0);
    ASSERT_GE(peaks.size(), 2u);
    TSpectrumStore damped = spectrum, ruling = spectrum;
    DampScreenSidebands(damped, f, 1.0f, peaks);
    DampScreenRuling(ruling, f, 3.0f);
    auto power = [](const TSpectrumStore& s, size_t i) {
        double sum = 0.0;
        for (const auto& plane : s.Planes) sum += double(plane[i]) * double(plane[i]);
        return sum;
    };
    auto gain = [&](size_t i) { return std::sqrt(power(damped, i) / power(spectrum, i)); };
    EXPECT_NEAR(gain(0), 1.0, 1e-3);
    const size_t strongest = size_t(peaks[0].Row) * size_t(W) + size_t(peaks[0].Column);
    EXPECT_LT(gain(strongest), 0.1);
    // Never more than the cube of the low-pass, never a gain.
    for (size_t i = 0; i < spectrum.CellCount(); ++i) {
        ASSERT_LE(power(damped, i), power(spectrum, i) * (1.0 + 1e-6)) << i;
        ASSERT_GE(power(damped, i), power(ruling, i) * (1.0 - 1e-4)) << i;
    }
    // On the ring of the fundamental the low-pass is the same everywhere:
    // what differs is the screen's model, strong beside a peak and weak
    // between peaks.
    std::vector<double> beside, between;
    for (int32_t r = 1; r < H; ++r)
        for (int32_t c = 1; c < W; ++c) {
            const double radius = std::hypot(double(c) / W, double(r) / H);
            if (std::fabs(radius - f) > 0.03 * f) continue;
            double nearest = 1e9;
            for (const TScreenPeak& p : peaks)
                if (std::fabs(std::hypot(double(p.Column) / W, double(p.Row) / H) - f) < 0.05 * f)
                    nearest = std::min(nearest,
                                       std::hypot(double(c - p.Column) / W, double(r - p.Row) / H));
            const size_t i = size_t(r) * size_t(W) + size_t(c);
            if (nearest < 0.05 * f) beside.push_back(gain(i));
            if (nearest > 0.12 * f) between.push_back(gain(i));
        }
    ASSERT_GT(beside.size(), 20u);
    ASSERT_GT(between.size(), 20u);
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    EXPECT_LT(median(beside), 0.5 * median(between));

    // Absurd numbers and a spectrum without peaks change nothing; the entry
    // finds its peaks itself and damps as with them given.
    TSpectrumStore untouched = spectrum;
    for (const float bad : {0.0f, -1.0f, 3.0f, NAN})
        DampScreenSidebands(untouched, bad, 1.0f, peaks);
    DampScreenSidebands(untouched, f, 0.0f, peaks);
    DampScreenSidebands(untouched, f, 1.0f, std::vector<TScreenPeak>{});
    DampScreenSidebands(untouched, f, 1.0f, 0.0f);
    for (int p = 0; p < 3; ++p) EXPECT_EQ(untouched.Planes[p], spectrum.Planes[p]);
    DampScreenSidebands(untouched, f, 1.0f, 1.0f);
    for (int p = 0; p < 3; ++p) EXPECT_EQ(untouched.Planes[p], damped.Planes[p]);

    const auto line = FormatEntryLine(kFilterSidebands, 0.33333f, 1.0f, 1.0f, 0.0f);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "typ=sidebands,x1=33.33300,x2=100.00000,y1=100.00000,y2=0.00000");
    EXPECT_EQ(ParseEntryLine(*line).typ, kFilterSidebands);
    EXPECT_EQ(ParseEntryLine("typ=Sidebands,x1=10").typ, kFilterUnrecognised);
}

TEST(Descreen, CoarseScreensComeOutTheSameOnOneProcessorAsOnAll) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    const TBitmap24 screened = DotScreened(ScreenedPicture(300, 240, 0), 5.0, -7.0);
    auto descreened = [&](TFilterList& used) {
        TSpectrumStore store;
        FillStoreFromBitmap(screened, store);
        TNoProgress quiet;
        used = DescreenStore(store, quiet);
        return RenderStore(store, true, 0);
    };
    TFilterList onAll, onOne;
    const TBitmap24 many = descreened(onAll);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const TBitmap24 single = descreened(onOne);
    sched_setaffinity(0, sizeof all, &all);
    ASSERT_FALSE(onAll.Empty());
    EXPECT_EQ(onAll.GetEntry(0).typ, kFilterSidebands);
    EXPECT_EQ(onOne.Lines(), onAll.Lines());
    EXPECT_EQ(single.Bytes, many.Bytes);
}
