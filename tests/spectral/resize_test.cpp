// The spectral resize: crop, pad with its tapers, and the cases that change
// nothing.
#include "spectral/errors.h"
#include "spectral/resize.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace {

class TPhases final : public IProgress {
public:
    std::vector<std::string> keys;
    void Phase(const std::string& key) override { keys.push_back(key); }
    void Percent(double) override {}
    void ClearPercent() override {}
};

TResizeOutcome Resize(TSpectrumStore& s, int32_t value, int32_t mode) {
    TNoProgress none;
    return ResizeSpectrum(s, value, mode, none);
}

void ExpectUnchanged(const TSpectrumStore& before, const TSpectrumStore& after) {
    EXPECT_EQ(after.Cols, before.Cols);
    EXPECT_EQ(after.Rows, before.Rows);
    for (int p = 0; p < 3; ++p) EXPECT_EQ(after.Planes[p], before.Planes[p]);
}

} // namespace

TEST(Resize, FiftyPercentCropsAndScalesByAQuarter) {
    const auto original = RandomStore(200, 100, 1);
    auto s = original;
    TPhases phases;
    const auto out = ResizeSpectrum(s, 50, rmPercent, phases);
    EXPECT_TRUE(out.Changed);
    EXPECT_EQ(phases.keys, (std::vector<std::string>{"ReInitializing", "ReInitializing ok"}));
    ASSERT_EQ(s.Cols, 100);
    ASSERT_EQ(s.Rows, 50);
    EXPECT_EQ(s.WorkPlane.size(), 5000u);
    for (int p = 0; p < 3; ++p) {
        ASSERT_EQ(s.Planes[p].size(), 5000u);
        for (int r = 0; r < 50; ++r)
            for (int c = 0; c < 100; ++c)
                ASSERT_EQ(s.At(p, c, r), original.At(p, c, r) * 0.25f) << p << " " << c << "," << r;
    }
}

TEST(Resize, TwoHundredPercentPadsAndTapersTheLastTenth) {
    const auto original = RandomStore(100, 100, 2);
    auto s = original;
    Resize(s, 200, rmPercent);
    ASSERT_EQ(s.Cols, 200);
    ASSERT_EQ(s.Rows, 200);
    for (int p = 0; p < 3; ++p)
        for (int r = 0; r < 200; ++r)
            for (int c = 0; c < 200; ++c) {
                const float v = s.At(p, c, r);
                if (r >= 100 || c >= 100) {
                    ASSERT_EQ(v, 0.0f);
                    continue;
                }
                double want = double(original.At(p, c, r)) * 2.0f * 2.0f;
                if (c >= 90) want = float(want * (100 - c) / 100.0 * 10.0);
                want = float(want);
                if (r >= 89) want = float(double(100 - r) * want / 100.0 * 10.0);
                ASSERT_EQ(v, float(want)) << c << "," << r;
            }
    // Column 95 is weighted 0.5, row 89 1.1 on top.
    EXPECT_NEAR(s.At(0, 95, 10), original.At(0, 95, 10) * 4 * 0.5, 1e-3);
    EXPECT_NEAR(s.At(0, 10, 89), original.At(0, 10, 89) * 4 * 1.1, 1e-3);
}

TEST(Resize, HundredPercentKeepsTheSizeButTapers) {
    const auto original = RandomStore(50, 40, 3);
    auto s = original;
    EXPECT_TRUE(Resize(s, 100, rmPercent).Changed);
    EXPECT_EQ(s.Cols, 50);
    EXPECT_EQ(s.At(1, 10, 10), original.At(1, 10, 10));
    EXPECT_NE(s.At(1, 49, 10), original.At(1, 49, 10));
    EXPECT_NE(s.At(1, 10, 39), original.At(1, 10, 39));
}

TEST(Resize, WidthAndHeightModesUseTheirFactor) {
    TSpectrumStore s = RandomStore(1000, 500, 4);
    const auto out = Resize(s, 400, rmWidth);
    EXPECT_FLOAT_EQ(out.Factor, 0.4f);
    EXPECT_EQ(s.Cols, 400);
    EXPECT_EQ(s.Rows, 200);
    s = RandomStore(300, 200, 5);
    Resize(s, 100, rmHeight);
    EXPECT_EQ(s.Cols, 150);
    EXPECT_EQ(s.Rows, 100);
}

TEST(Resize, MaxModesNeverEnlarge) {
    const auto original = RandomStore(100, 60, 6);
    auto s = original;
    EXPECT_FALSE(Resize(s, 120, rmMaxWidth).Changed);
    ExpectUnchanged(original, s);
    EXPECT_FALSE(Resize(s, 61, rmMaxHeight).Changed);
    ExpectUnchanged(original, s);
    EXPECT_TRUE(Resize(s, 80, rmMaxWidth).Changed);
    EXPECT_EQ(s.Cols, 80);
    EXPECT_EQ(s.Rows, 48);
    s = original;
    EXPECT_TRUE(Resize(s, 100, rmMaxWidth).Changed); // equal: f = 1, tapers
    EXPECT_EQ(s.Cols, 100);
}

TEST(Resize, TooSmallResultsAndForeignModesChangeNothing) {
    const auto original = RandomStore(300, 200, 7);
    for (auto [value, mode] :
         {std::pair{1, 0}, {0, 0}, {-50, 0}, {3, 1}, {150, 5}, {1, 100}, {50, -1}}) {
        auto s = original;
        EXPECT_FALSE(Resize(s, value, mode).Changed) << value << " " << mode;
        ExpectUnchanged(original, s);
    }
}

TEST(Resize, SameWidthWithFewerRowsCropsTheRows) {
    // "Höhe" 999 on 100 x 1000: W' = round(99.9) = 100, H' = 999.
    const auto original = RandomStore(100, 1000, 8);
    auto s = original;
    const auto out = Resize(s, 999, rmHeight);
    ASSERT_TRUE(out.Changed);
    EXPECT_EQ(s.Cols, 100);
    EXPECT_EQ(s.Rows, 999);
    const float f = 999.0f / 1000.0f;
    for (int r = 0; r < 999; r += 97)
        for (int c = 0; c < 100; c += 9)
            ASSERT_EQ(s.At(2, c, r), float(double(original.At(2, c, r)) * f * f));
}

TEST(Resize, HugeResultIsRefusedBeforeAnythingChanges) {
    const auto original = RandomStore(100, 100, 9);
    auto s = original;
    EXPECT_THROW(Resize(s, 2000000000, rmPercent), Exception);
    ExpectUnchanged(original, s);
}
