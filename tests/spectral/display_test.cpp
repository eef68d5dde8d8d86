// How store values become pixel bytes.
#include "spectral/display.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
uint8_t Shown(float v, bool imageShown, int32_t position = 0) {
    TSpectrumStore s;
    s.Resize(1, 1);
    for (auto& p : s.Planes) p[0] = v;
    const TBitmap24 view = RenderStore(s, imageShown, position);
    EXPECT_EQ(view.Bytes[0], view.Bytes[2]);
    return view.Bytes[1];
}
} // namespace

TEST(Display, GainOfSliderPositions) {
    EXPECT_EQ(ContrastGain(0), 1.0f);
    EXPECT_FLOAT_EQ(ContrastGain(-50), 4.539993e-05f);
    EXPECT_FLOAT_EQ(ContrastGain(-10), 0.13533528f);
    EXPECT_FLOAT_EQ(ContrastGain(10), 7.389056f);
    EXPECT_FLOAT_EQ(ContrastGain(50), 22026.465f);
    EXPECT_EQ(ContrastGain(5), float(std::exp(1.0)));
}

TEST(Display, SpectrumShowsTruncatedClampedMagnitudes) {
    EXPECT_EQ(Shown(-300.0f, false), 255);
    EXPECT_EQ(Shown(-0.5f, false), 0);
    EXPECT_EQ(Shown(254.7f, false), 254);
    EXPECT_EQ(Shown(-254.7f, false), 254);
    EXPECT_EQ(Shown(std::numeric_limits<float>::quiet_NaN(), false), 0);
    EXPECT_EQ(Shown(-std::numeric_limits<float>::infinity(), false), 255);
    // Position 5 multiplies by e before clipping.
    EXPECT_EQ(Shown(50.0f, false, 5), uint8_t(50.0f * float(std::exp(1.0))));
}

TEST(Display, ImageShowsValuesPlus127) {
    EXPECT_EQ(Shown(-200.0f, true), 0);
    EXPECT_EQ(Shown(200.0f, true), 255);
    EXPECT_EQ(Shown(0.0f, true), 127);
    EXPECT_EQ(Shown(0.999f, true), 127); // truncated, not rounded
    EXPECT_EQ(Shown(-126.5f, true), 0);
    EXPECT_EQ(Shown(std::numeric_limits<float>::quiet_NaN(), true), 0);
}

TEST(Display, RegionIsClampedAndNeverSwapped) {
    TSpectrumStore s = RandomStore(10, 8, 4, 50.0f, 60.0f);
    TBitmap24 view(10, 8);
    RenderStoreRegion(s, false, 0, 2, 4, 3, 100, view);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x <= 4 && y >= 3;
            EXPECT_EQ(view.Pixel(x, y)[0] != 0, inside) << x << "," << y;
        }
    TBitmap24 untouched(10, 8);
    RenderStoreRegion(s, false, 0, 6, 3, 0, 7, untouched);   // x1 > x2: nothing
    RenderStoreRegion(s, false, 0, -5, -1, 0, 7, untouched); // clamps to column 0 only
    for (int32_t y = 0; y < 8; ++y) {
        EXPECT_NE(untouched.Pixel(0, y)[2], 0);
        for (int32_t x = 1; x < 10; ++x) EXPECT_EQ(untouched.Pixel(x, y)[2], 0);
    }
}

TEST(Display, EachPlaneGoesToItsOwnByte) {
    TSpectrumStore s;
    s.Resize(1, 1);
    s.Planes[0][0] = -10;
    s.Planes[1][0] = 20;
    s.Planes[2][0] = 30;
    const TBitmap24 spectrum = RenderStore(s, false, 0);
    EXPECT_EQ(spectrum.Bytes, (std::vector<uint8_t>{10, 20, 30}));
    const TBitmap24 image = RenderStore(s, true, 0);
    EXPECT_EQ(image.Bytes, (std::vector<uint8_t>{117, 147, 157}));
}
