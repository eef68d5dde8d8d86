// The sideband damping of a moire: two inks at close angles printed over
// each other make a peak at their difference, deep inside the picture's band.
#include "filter/screen_finder.h"
#include "filter/sideband_damping.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

const double kCell = 6.0, kAngles[2] = {20.0, 35.0};

using TAngles = std::array<double, 2>;

// The picture printed with two inks at close angles.
TBitmap24 PrintedWithTwoInks(TAngles angles = {kAngles[0], kAngles[1]}) {
    const TBitmap24 clean = ScreenedPicture(320, 256, 0);
    const double cell = kCell;
    // Paper stays white where neither ink's dot covers it; each ink takes
    // half the tone's darkness, so that the two together print the tone.
    TBitmap24 printed = clean;
    for (int32_t r = 0; r < clean.Height; ++r)
        for (int32_t c = 0; c < clean.Width; ++c)
            for (int p = 0; p < 3; ++p) {
                const double tone = std::sqrt(clean.Pixel(c, r)[p] / 255.0);
                bool white = true;
                for (const double degrees : angles) {
                    const double a = degrees * std::numbers::pi / 180.0,
                                 k = 2.0 * std::numbers::pi / cell;
                    const double u = c * std::cos(a) + r * std::sin(a),
                                 t = -c * std::sin(a) + r * std::cos(a);
                    white = white && (2.0 - std::cos(k * u) - std::cos(k * t)) / 4.0 < tone;
                }
                printed.Pixel(c, r)[p] = white ? 255 : 0;
            }
    return printed;
}

double PowerAt(const TSpectrumStore& s, int64_t c, int64_t r) {
    const size_t i = size_t(r) * size_t(s.Cols) + size_t(c);
    double sum = 0.0;
    for (const auto& plane : s.Planes) sum += double(plane[i]) * double(plane[i]);
    return sum;
}

// The moires: the differences of the two inks' fundamentals, folded onto
// the cells of a W x H spectrum, at a quarter of the fundamental.
std::vector<std::pair<int64_t, int64_t>> Moires(int32_t W, int32_t H,
                                                TAngles angles = {kAngles[0], kAngles[1]}) {
    std::vector<std::pair<int64_t, int64_t>> moires;
    for (const double turn : {0.0, 90.0}) {
        const double a = (angles[0] + turn) * std::numbers::pi / 180.0,
                     b = (angles[1] + turn) * std::numbers::pi / 180.0;
        moires.push_back({std::lround(std::fabs(std::cos(a) - std::cos(b)) / kCell * 2.0 * W),
                          std::lround(std::fabs(std::sin(a) - std::sin(b)) / kCell * 2.0 * H)});
    }
    return moires;
}

} // namespace

TEST(SidebandDamping, TakesTheMoireOfTwoInksAtCloseAnglesAndLeavesThePictureAroundIt) {
    const double cell = kCell;
    TSpectrumStore spectrum = SpectrumOf(PrintedWithTwoInks());
    const int32_t W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum);
    ASSERT_GE(peaks.size(), 4u);
    TSpectrumStore damped = spectrum;
    DampScreenSidebands(damped, float(2.0 / cell), 1.0f, peaks);

    const auto power = PowerAt;
    const std::vector<std::pair<int64_t, int64_t>> moires = Moires(W, H);
    for (const auto& [mc, mr] : moires) {
        double before = 0.0, after = 0.0;
        for (int64_t r = mr - 2; r <= mr + 2; ++r)
            for (int64_t c = mc - 2; c <= mc + 2; ++c) {
                before = std::max(before, power(spectrum, c, r));
                after = std::max(after, power(damped, c, r));
            }
        // It was there to take, and the low-pass alone, at a quarter of
        // the fundamental, would keep more than two thirds of its power.
        double ring = 0.0;
        for (int64_t c = mc - 12; c <= mc + 12; ++c) ring += power(spectrum, c, mr + 12);
        EXPECT_GT(before, 64.0 * ring / 25.0) << mc << " " << mr;
        EXPECT_LT(after, before / 16.0) << mc << " " << mr;
    }
    // The picture's band away from the moires is kept as the sideband
    // damping keeps it.
    double before = 0.0, after = 0.0;
    for (int64_t r = 0; r < H; ++r)
        for (int64_t c = 0; c < W; ++c) {
            if (std::hypot(double(c) / W, double(r) / H) > 0.5 * 2.0 / cell) continue;
            if (std::any_of(moires.begin(), moires.end(), [&](const auto& m) {
                    return std::abs(m.first - c) <= 12 && std::abs(m.second - r) <= 12;
                }))
                continue;
            before += power(spectrum, c, r);
            after += power(damped, c, r);
        }
    EXPECT_GT(after, 0.99 * before);
}

TEST(SidebandDamping, LeavesAPicturesEdgeThatPassesAMoire) {
    // A straight edge of the picture draws a line along a ray from the
    // constant term; here one passes through a moire, four octaves below
    // its peak and as strong as its flanks. The moire is taken down to the
    // line, which is the picture's.
    TSpectrumStore spectrum = SpectrumOf(PrintedWithTwoInks());
    const int32_t W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum);
    const auto [mc, mr] = Moires(W, H)[0];
    double peak = 0.0;
    for (int64_t r = mr - 2; r <= mr + 2; ++r)
        for (int64_t c = mc - 2; c <= mc + 2; ++c) peak = std::max(peak, PowerAt(spectrum, c, r));
    const double line = peak / 16.0, len = std::hypot(double(mc), double(mr));
    // The line runs through the moire's peak, falling as a picture's
    // spectrum does; its cells beside the peak are looked at.
    std::vector<std::pair<int64_t, int64_t>> beyond;
    std::pair<int64_t, int64_t> last{-1, -1};
    for (double t = 2.0; t <= 4.0 * len; t += 0.5) {
        const int64_t c = std::lround(mc * t / len), r = std::lround(mr * t / len);
        if (std::pair{c, r} == std::pair{mc, mr} || std::pair{c, r} == last) continue;
        last = {c, r};
        for (auto& plane : spectrum.Planes)
            plane[size_t(r) * size_t(W) + size_t(c)] =
                float(std::sqrt(line * std::pow(len / t, 3.0) / 3.0));
        if (std::abs(t - len) > 3 && std::abs(t - len) <= 6) beyond.push_back({c, r});
    }
    TSpectrumStore damped = spectrum;
    DampScreenSidebands(damped, float(2.0 / kCell), 1.0f, peaks);
    double before = 0.0, after = 0.0;
    for (const auto& [c, r] : beyond) {
        before += PowerAt(spectrum, c, r);
        after += PowerAt(damped, c, r);
    }
    EXPECT_GT(after, before / 4.0);
    EXPECT_LT(PowerAt(damped, mc, mr), PowerAt(spectrum, mc, mr) / 16.0);
}

TEST(SidebandDamping, TakesAMoireNearAnAxis) {
    // Inks at 0 and 15 degrees put a moire 7.5 degrees from the column
    // axis, where a horizon on a page laid askew draws its line: the peak
    // stands out of its ray as well as of the ring, its row and its column.
    const TAngles angles = {0.0, 15.0};
    TSpectrumStore spectrum = SpectrumOf(PrintedWithTwoInks(angles));
    const int32_t W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum);
    const auto [mc, mr] = Moires(W, H, angles)[0];
    const auto peakNear = [&](const TSpectrumStore& s) {
        double peak = 0.0;
        for (int64_t r = mr - 2; r <= mr + 2; ++r)
            for (int64_t c = mc - 2; c <= mc + 2; ++c) peak = std::max(peak, PowerAt(s, c, r));
        return peak;
    };
    TSpectrumStore damped = spectrum;
    DampScreenSidebands(damped, float(2.0 / kCell), 1.0f, peaks);
    EXPECT_LT(peakNear(damped), peakNear(spectrum) / 16.0);
}

TEST(SidebandDamping, KeepsAPicturesLineAlongAnAxis) {
    // A horizon puts its spectrum on the column axis, far above what the
    // picture's radial fall holds there; no ink lies near the axis.
    TSpectrumStore spectrum = SpectrumOf(PrintedWithTwoInks());
    const int32_t W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum);
    const double f = 2.0 / kCell;
    std::vector<int64_t> rows;
    for (int64_t r = std::lround(0.3 * f * H); r <= std::lround(0.8 * f * H); ++r) {
        rows.push_back(r);
        double beside = 0.0;
        for (int64_t c = 8; c < 16; ++c) beside += PowerAt(spectrum, c, r) / 8.0;
        for (auto& plane : spectrum.Planes)
            plane[size_t(r) * size_t(W)] = float(std::sqrt(beside * 64.0 / 3.0));
    }
    TSpectrumStore damped = spectrum;
    DampScreenSidebands(damped, float(f), 1.0f, peaks);
    double before = 0.0, after = 0.0, besideBefore = 0.0, besideAfter = 0.0;
    for (const int64_t r : rows) {
        before += PowerAt(spectrum, 0, r);
        after += PowerAt(damped, 0, r);
        besideBefore += PowerAt(spectrum, 12, r);
        besideAfter += PowerAt(damped, 12, r);
    }
    EXPECT_GT(after, 0.5 * before);
    // Beside the axis the screen's remains are damped as before.
    EXPECT_LT(besideAfter, 0.5 * besideBefore);
}

TEST(SidebandDamping, KeepsTheDetailOfAPicturesStrongDirection) {
    // Hatching, or a field of grass, puts a picture's detail in a few
    // directions, far above its radial fall there; between 1 and 11 degrees
    // lies no ink.
    TSpectrumStore spectrum = SpectrumOf(PrintedWithTwoInks());
    const int32_t W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum);
    const double f = 2.0 / kCell;
    const auto within = [&](int64_t c, int64_t r, double lo, double hi, double from, double to) {
        const double u = double(c) / W, v = double(r) / H, radius = std::hypot(u, v);
        const double degrees = std::atan2(v, u) * 180.0 / std::numbers::pi;
        return radius >= lo * f && radius < hi * f && degrees >= from && degrees < to;
    };
    for (int64_t r = 1; r < H; ++r)
        for (int64_t c = 0; c < W; ++c)
            if (within(c, r, 0.0, 0.9, 1.0, 11.0))
                for (auto& plane : spectrum.Planes)
                    plane[size_t(r) * size_t(W) + size_t(c)] *= 8.0f;
    TSpectrumStore damped = spectrum;
    DampScreenSidebands(damped, float(f), 1.0f, peaks);
    double before = 0.0, after = 0.0, besideBefore = 0.0, besideAfter = 0.0;
    for (int64_t r = 1; r < H; ++r)
        for (int64_t c = 0; c < W; ++c) {
            if (within(c, r, 0.25, 0.5, 2.0, 10.0))
                before += PowerAt(spectrum, c, r), after += PowerAt(damped, c, r);
            if (within(c, r, 0.25, 0.5, 40.0, 50.0))
                besideBefore += PowerAt(spectrum, c, r), besideAfter += PowerAt(damped, c, r);
        }
    // Measured as one fall in all directions, it kept a fifth.
    EXPECT_GT(after, 0.4 * before);
    EXPECT_LT(besideAfter, 0.25 * besideBefore);
}

TEST(SidebandDamping, SparesAPlaneTheScreenDoesNotPrintIn) {
    // Inks that only the first two planes see: the third holds the picture
    // alone, and its detail around the carriers is no screen.
    const TBitmap24 clean = ScreenedPicture(320, 256, 0);
    TBitmap24 printed = PrintedWithTwoInks();
    for (int32_t r = 0; r < clean.Height; ++r)
        for (int32_t c = 0; c < clean.Width; ++c) printed.Pixel(c, r)[2] = clean.Pixel(c, r)[2];
    TSpectrumStore spectrum = SpectrumOf(printed);
    const int32_t W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum);
    const double f = 2.0 / kCell;
    TSpectrumStore damped = spectrum;
    DampScreenSidebands(damped, float(f), 1.0f, peaks);
    double kept[3] = {0.0, 0.0, 0.0}, held[3] = {0.0, 0.0, 0.0};
    for (int64_t r = 0; r < H; ++r)
        for (int64_t c = 0; c < W; ++c) {
            const double radius = std::hypot(double(c) / W, double(r) / H);
            if (radius < 0.3 * f || radius > 0.8 * f) continue;
            const size_t i = size_t(r) * size_t(W) + size_t(c);
            for (size_t p = 0; p < 3; ++p) {
                held[p] += double(spectrum.Planes[p][i]) * spectrum.Planes[p][i];
                kept[p] += double(damped.Planes[p][i]) * damped.Planes[p][i];
            }
        }
    // One gain for all three planes kept an eighth of the third's.
    EXPECT_GT(kept[2], 0.4 * held[2]);
    EXPECT_LT(kept[0], 0.25 * held[0]);
}

TEST(SidebandDamping, ScalesARowTheSameFourCellsAtOnce) {
    // Gains over the whole range, ones that leave a cell alone, a length
    // that leaves cells past the last four.
    const int64_t n = 1031;
    std::vector<double> lowPass(n), wiener(n);
    std::vector<float> row(n);
    for (int64_t c = 0; c < n; ++c) {
        lowPass[size_t(c)] = std::fmod(c * 0.6180339887, 1.0);
        wiener[size_t(c)] = c % 7 == 0 ? 1.0 : c % 11 == 0 ? 0.0 : std::fmod(c * 0.4142135, 1.0);
        row[size_t(c)] = float(std::sin(c * 1.3) * 1e4);
    }
    std::vector<float> wide = row, narrow = row;
    ScaleBySidebandGains(wide.data(), lowPass.data(), wiener.data(), n, true);
    ScaleBySidebandGains(narrow.data(), lowPass.data(), wiener.data(), n, false);
    for (int64_t c = 0; c < n; ++c) {
        ASSERT_EQ(wide[size_t(c)], narrow[size_t(c)]) << c;
        if (wiener[size_t(c)] == 1.0) {
            EXPECT_EQ(narrow[size_t(c)], row[size_t(c)]) << c;
        }
    }
    EXPECT_NE(narrow[1], row[1]);
}
