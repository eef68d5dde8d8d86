// Finding a screen where its peaks stand out little, and the picture's own
// peaks where they stand out from the cells around but not from their line.
#include "filter/screen_finder.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>
#include <utility>

namespace {

// A round shape on a white ground, the way a cartoon or a product shot sits
// on a page: between the radii `inner` and `outer` (shares of the shorter
// side) a tone that runs across, printed with round dots of `cell`
// pixels at 15, 75 and 45 degrees, one per plane; the tone is `picture`'s
// where given.
template <typename TInside>
TBitmap24 PrintedWhere(int32_t w, int32_t h, double cell, TInside inside,
                       const TBitmap24* picture = nullptr) {
    TBitmap24 out(w, h);
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c) {
            for (int p = 0; p < 3; ++p) {
                const double a = (p == 0 ? 15.0 : p == 1 ? 75.0 : 45.0) * std::numbers::pi / 180.0;
                const double k = 2.0 * std::numbers::pi / cell;
                const double u = c * std::cos(a) + r * std::sin(a),
                             t = -c * std::sin(a) + r * std::cos(a);
                const double spot = (2.0 - std::cos(k * u) - std::cos(k * t)) / 4.0;
                const double tone =
                    picture ? picture->Pixel(c, r)[p] / 255.0 : 0.3 + 0.4 * double(c) / w + 0.1 * p;
                out.Pixel(c, r)[p] = !inside(c, r) || spot < tone ? 255 : 0;
            }
        }
    return out;
}

TBitmap24 PrintedShape(int32_t w, int32_t h, double cell, double inner, double outer,
                       const TBitmap24* picture = nullptr) {
    const double side = std::min(w, h);
    return PrintedWhere(
        w, h, cell,
        [&](int32_t c, int32_t r) {
            const double d = std::hypot(c - w / 2.0, r - h / 2.0) / side;
            return d >= inner && d <= outer;
        },
        picture);
}

std::vector<TScreenPeak> PeaksOf(const TBitmap24& picture) {
    TSpectrumStore store = SpectrumOf(picture);
    return FindScreenPeaks(store);
}

// A spectrum made by hand: noise of about a million in every cell.
TSpectrumStore NoiseSpectrum(int32_t w, int32_t h, uint32_t seed) {
    TSpectrumStore s;
    s.Resize(w, h);
    uint32_t state = seed;
    for (size_t i = 0; i < s.CellCount(); ++i)
        for (auto& plane : s.Planes) {
            state = state * 1664525u + 1013904223u;
            plane[i] = float(1e6 * (double(state >> 8) / double(1u << 24) - 0.5));
        }
    return s;
}

} // namespace

TEST(ScreenFinder, FindsACoarseScreenOnASmallShapeFromItsInksFundamentals) {
    // Seven pixels a cell on a disc half as wide as a 200 x 160 picture is
    // high: the inks' fundamentals stand out, their harmonics hardly.
    const std::vector<TScreenPeak> peaks = PeaksOf(PrintedShape(200, 160, 7.0, 0.0, 0.25));
    ASSERT_FALSE(peaks.empty());
    // The strongest are fundamentals: 1/7 cycles per pixel.
    const double f = std::hypot(peaks[0].Column / 400.0, peaks[0].Row / 320.0);
    EXPECT_NEAR(f, 1.0 / 7.0, 0.01);
}

TEST(ScreenFinder, FindsAScreenPrintedOnLittleOfThePage) {
    // Scattered small discs on white paper, a tenth of the page, as sweets
    // photographed for a catalogue: their outlines smear every peak over
    // many cells, and none stands out alone.
    const std::vector<TScreenPeak> peaks =
        PeaksOf(PrintedWhere(320, 256, 5.0, [](int32_t c, int32_t r) {
            for (const auto& [x, y] :
                 {std::pair{60, 50}, {250, 40}, {150, 130}, {40, 200}, {270, 210}})
                if (std::hypot(c - x, r - y) < 22.0) return true;
            return false;
        }));
    ASSERT_FALSE(peaks.empty());
    const double f = std::hypot(peaks[0].Column / 640.0, peaks[0].Row / 512.0);
    EXPECT_NEAR(f, 1.0 / 5.0, 0.01);
    EXPECT_GE(peaks[0].Radius, 4);
}

TEST(ScreenFinder, CountsOtherInksSecondHarmonicsOnASmallPage) {
    // By hand: a 256 x 192 page whose peaks are each spread evenly over four
    // by four cells, so that no cell stands out alone: one ink's pair of
    // fundamentals at 0.23 cycles per pixel (18.5 and 71.5 degrees), and two
    // other inks only by their second harmonics at twice that, at 2.5 and
    // 48.5 degrees. No lattice has its harmonics, and one radius holds only
    // two directions.
    TSpectrumStore s = NoiseSpectrum(256, 192, 7);
    for (const auto& [fx, fy] :
         {std::pair{0.2205, 0.0737}, {0.0737, 0.2205}, {0.4724, 0.0211}, {0.3150, 0.3579}}) {
        const int32_t c0 = int32_t(fx * 512.0) / 4 * 4, r0 = int32_t(fy * 384.0) / 4 * 4;
        for (int p = 0; p < 3; ++p)
            for (int32_t r = r0; r < r0 + 4; ++r)
                for (int32_t c = c0; c < c0 + 4; ++c) s.At(p, c, r) = 1e8f;
    }
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(s);
    EXPECT_TRUE(std::any_of(peaks.begin(), peaks.end(), [](const TScreenPeak& p) {
        return std::abs(p.Column - 113) <= 4 && std::abs(p.Row - 28) <= 4;
    }));
}

TEST(ScreenFinder, TakesNoBumpOfAPicturesLevelBandsForAPeak) {
    // A spectrum made by hand: a background of noise, a screen's lattice
    // standing out far, and beside column 0, below the lowest ruling, the
    // spread spectrum of bands that run nearly level (a sky's) with a bump on
    // it. The bump stands out from the background, but hardly from its own
    // line, and a notch over it would take the bands and leave stripes.
    TSpectrumStore s = NoiseSpectrum(512, 400, 3);
    for (int p = 0; p < 3; ++p) {
        for (const auto& [c, r] : {std::pair{150, 40}, {50, 120}, {200, 160}, {100, 80}})
            s.At(p, c, r) = 1e9f;
        for (int32_t r = 5; r < 50; ++r) s.At(p, 1, r) *= 6.0f; // the bands
        s.At(p, 1, 30) = 6e6f;                                  // a bump on them
    }
    for (const TScreenPeak& p : FindScreenPeaks(s))
        EXPECT_FALSE(p.Column <= 3 && p.Row < 50) << p.Column << " " << p.Row;
}

TEST(ScreenFinder, KeepsTheInksMoireFarBelowTheRulingButNotThePicturesPeaks) {
    // By hand again: two inks' lattices 7.5 degrees apart at 160 cells,
    // their moire at the difference of the fundamentals (a fifth of the
    // ruling and less), a picture's peak as strong beside it that no two
    // of the screen's peaks make, and a bump on a horizon's bands.
    TSpectrumStore s = NoiseSpectrum(512, 512, 5);
    std::vector<std::pair<std::pair<int, int>, float>> cells = {
        {{7, 20}, 3e8f}, {{20, 7}, 3e8f}, {{22, 18}, 3e8f}};
    for (const double degrees : {15.0, 22.5}) {
        const double a = degrees * std::numbers::pi / 180.0;
        const double uc = 160.0 * std::cos(a), ur = 160.0 * std::sin(a);
        for (const auto& [c, r, level] : {std::tuple{uc, ur, 1e9f},
                                          {ur, uc, 1e9f},
                                          {uc + ur, uc + ur, 3e8f},
                                          {uc - ur, uc - ur, 3e8f},
                                          {2 * uc, 2 * ur, 3e8f},
                                          {2 * ur, 2 * uc, 3e8f}})
            cells.push_back({{int(std::lround(c)), int(std::lround(r))}, level});
    }
    for (int p = 0; p < 3; ++p) {
        for (const auto& [cell, level] : cells) s.At(p, cell.first, cell.second) = level;
        // A horizon's bands beside the column axis, with a bump, below half
        // the ruling but above the lowest ruling there is.
        for (int32_t r = 55; r < 76; ++r) s.At(p, 1, r) *= 6.0f;
        s.At(p, 1, 65) = 6e6f;
    }
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(s);
    const auto found = [&](int c, int r) {
        return std::any_of(peaks.begin(), peaks.end(), [&](const TScreenPeak& p) {
            return std::abs(p.Column - c) <= 1 && std::abs(p.Row - r) <= 1;
        });
    };
    EXPECT_TRUE(found(155, 41) && found(148, 61));
    EXPECT_TRUE(found(7, 20) && found(20, 7));
    EXPECT_FALSE(found(22, 18));
    EXPECT_FALSE(found(1, 65));
}
