// Smoothing of spectrum regions: the factors, the ellipse, the clipping to
// the store and the reversal.
#include "filter/smoothing.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
TSpectrumStore Ones(int32_t w, int32_t h) {
    TSpectrumStore s;
    s.Resize(w, h);
    for (auto& p : s.Planes) std::fill(p.begin(), p.end(), 1.0f);
    return s;
}
} // namespace

TEST(Smoothing, FactorsOfTheSquareExample) {
    const auto f = [](int c, int r) {
        return SmoothingFactor(512, 512, 100, 120, 200, 220, false, c, r);
    };
    EXPECT_EQ(f(100, 210), 1.0);
    EXPECT_EQ(f(120, 200), 1.0);
    EXPECT_EQ(f(101, 210), 1.244140625);
    EXPECT_EQ(f(110, 201), 1.244140625);
    EXPECT_EQ(f(105, 205), 7.103515625);
    EXPECT_EQ(f(110, 210), 25.4140625);
    // The centre of a square of side s: 1 + 1250 s / (W + H).
    EXPECT_EQ(f(110, 210), 1.0 + 1250.0 * 20 / 1024);

    auto s = Ones(512, 512);
    SmoothRegion(s, 100, 120, 200, 220, false, TSmoothDirection::Smooth);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(s.At(p, 110, 210), float(1.0 / 25.4140625));
        EXPECT_EQ(s.At(p, 100, 210), 1.0f);
        EXPECT_EQ(s.At(p, 99, 210), 1.0f);
        EXPECT_EQ(s.At(p, 121, 210), 1.0f);
    }
}

TEST(Smoothing, EllipseTakesCellsOnItsOutline) {
    const auto inside = [](int c, int r) {
        return SmoothingFactor(512, 512, 100, 120, 200, 210, true, c, r) > 0;
    };
    EXPECT_TRUE(inside(100, 205));  // the sum is exactly 1
    EXPECT_FALSE(inside(101, 201)); // the sum is 1.45
    EXPECT_FALSE(inside(100, 200));
    EXPECT_FALSE(inside(120, 210));
    EXPECT_TRUE(inside(110, 205));

    auto s = Ones(512, 512);
    SmoothRegion(s, 100, 120, 200, 210, true, TSmoothDirection::Smooth);
    EXPECT_EQ(s.At(0, 101, 201), 1.0f);
    EXPECT_LT(s.At(0, 110, 205), 1.0f);
}

TEST(Smoothing, DegenerateRegionsChangeNothing) {
    const auto original = RandomStore(64, 64, 1);
    for (auto [x1, x2, y1, y2] :
         {std::tuple{10, 10, 5, 20}, {5, 20, 7, 7}, {20, 5, 5, 20}, {5, 20, 20, 5}}) {
        auto s = original;
        SmoothRegion(s, x1, x2, y1, y2, false, TSmoothDirection::Smooth);
        SmoothRegion(s, x1, x2, y1, y2, true, TSmoothDirection::Smooth);
        for (int p = 0; p < 3; ++p) EXPECT_EQ(s.Planes[p], original.Planes[p]);
    }
}

TEST(Smoothing, RestoreUndoesSmooth) {
    const auto original = RandomStore(200, 150, 2, -1e4f, 1e4f);
    for (bool ellipse : {false, true}) {
        auto s = original;
        SmoothRegion(s, 30, 90, 20, 70, ellipse, TSmoothDirection::Smooth);
        SmoothRegion(s, 30, 90, 20, 70, ellipse, TSmoothDirection::Restore);
        for (int p = 0; p < 3; ++p)
            for (size_t i = 0; i < s.CellCount(); ++i)
                ASSERT_NEAR(s.Planes[p][i], original.Planes[p][i],
                            1e-6 * std::fabs(original.Planes[p][i]) + 1e-6);
    }
}

TEST(Smoothing, RegionBeyondTheStoreKeepsTheFactorsOfTheWholeRegion) {
    auto s = Ones(50, 40);
    SmoothRegion(s, 30, 70, -10, 30, false, TSmoothDirection::Smooth);
    for (int c = 0; c < 50; ++c)
        for (int r = 0; r < 40; ++r) {
            const double f = SmoothingFactor(50, 40, 30, 70, -10, 30, false, c, r);
            ASSERT_EQ(s.At(1, c, r), f == 0 ? 1.0f : float(1.0 / f)) << c << "," << r;
        }
    // (45, 5): 15 from the left line, 25 from the right, 15 from the top (-10), 25 from the bottom.
    EXPECT_EQ(SmoothingFactor(50, 40, 30, 70, -10, 30, false, 45, 5),
              double(float(225.0 * 5000 / 90)) / 40 + 1);
    // A huge region is no slower than the store.
    auto t = Ones(50, 40);
    SmoothRegion(t, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, true, TSmoothDirection::Smooth);
    EXPECT_LT(t.At(0, 25, 20), 1.0f);
}

TEST(Smoothing, MarkOnThe800By600ExampleAndItsMirror) {
    // A mark at L 100, T 50, 40 x 20 on an 800 x 600 spectrum, as fractions.
    const float x1n = 100.0f / 800, x2n = 140.0f / 800, y1n = 50.0f / 600, y2n = 70.0f / 600;
    const auto cell = [](int32_t size, float n) {
        return int32_t(std::nearbyint(double(size) * n));
    };
    EXPECT_EQ(cell(800, x1n), 100);
    EXPECT_EQ(cell(800, x2n), 140);
    EXPECT_EQ(cell(600, y1n), 50);
    EXPECT_EQ(cell(600, y2n), 70);
    EXPECT_EQ(cell(800, y1n), 67);
    EXPECT_EQ(cell(800, y2n), 93);
    EXPECT_EQ(cell(600, x1n), 75);
    EXPECT_EQ(cell(600, x2n), 105);
}
