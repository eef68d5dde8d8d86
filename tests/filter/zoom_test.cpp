// The zoom picture: the window rule, the per-plane range with its start
// values and the lowest frequencies left out, and the channels.
#include "filter/zoom.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ZoomSpan, WindowRule) {
    auto span = [](int32_t p, int32_t size) {
        const TZoomSpan s = ZoomSpan(p, size);
        return std::pair(s.First, s.Last);
    };
    EXPECT_EQ(span(10, 512), std::pair(0, 63));
    EXPECT_EQ(span(100, 512), std::pair(68, 131));
    EXPECT_EQ(span(500, 512), std::pair(448, 511));
    EXPECT_EQ(span(20, 40), std::pair(0, 39));
    EXPECT_EQ(span(-1000, 512), std::pair(0, 63)); // pointer outside during a drag
    EXPECT_EQ(span(100000, 512), std::pair(448, 511));
    EXPECT_EQ(span(32, 64), std::pair(0, 63));
    EXPECT_EQ(span(0, 0).second, -1);
    EXPECT_EQ(span(std::numeric_limits<int32_t>::min(), 100), std::pair(0, 63));
    EXPECT_EQ(span(std::numeric_limits<int32_t>::max(), 100), std::pair(36, 99));
    for (int32_t size = 64; size < 200; size += 7)
        for (int32_t p = -40; p < size + 40; ++p) {
            const TZoomSpan s = ZoomSpan(p, size);
            ASSERT_EQ(s.Last - s.First, 63);
            ASSERT_GE(s.First, 0);
            ASSERT_LT(s.Last, size);
        }
}

// A store of w x h whose plane p holds value(c, r, p).
template <class F>
TSpectrumStore MakeStore(int32_t w, int32_t h, F value) {
    TSpectrumStore s;
    s.Resize(w, h);
    for (int p = 0; p < 3; ++p)
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) s.At(p, c, r) = value(c, r, p);
    return s;
}

uint8_t Channel(const TBitmap24& b, int32_t x, int32_t y, int p) {
    return b.Pixel(x, y)[p];
}

int Expected(double v, double lo, double hi) {
    const double t = std::trunc((v - lo) / (hi - lo) * 255.0);
    return int(std::clamp(t, 0.0, 255.0));
}

TEST(RenderZoom, RangeStartsAt255And0) {
    // Plane 0 values 300..400, plane 1 -50..-10, plane 2 10..20, on 64 x 64
    // (the cells with c + r <= 5 hold huge values that must not count).
    auto value = [](int32_t c, int32_t r, int p) -> float {
        if (c + r <= 5) return p == 1 ? -1e6f : 1e6f;
        const float u = float((c * 7 + r * 13) % 101) / 100.0f; // 0..1
        if (p == 0) return 300.0f + 100.0f * u;
        if (p == 1) return -50.0f + 40.0f * u;
        return 10.0f + 10.0f * u;
    };
    const TSpectrumStore s = MakeStore(64, 64, value);
    const TBitmap24 z = RenderZoom(s, 10, 10);
    ASSERT_EQ(z.Width, 64);
    ASSERT_EQ(z.Height, 64);
    const double lo[3] = {255, -50, 10}, hi[3] = {400, 0, 20};
    bool sawMax[3] = {};
    for (int32_t r = 0; r < 64; ++r)
        for (int32_t c = 0; c < 64; ++c)
            for (int p = 0; p < 3; ++p) {
                const int want = Expected(value(c, r, p), lo[p], hi[p]);
                ASSERT_EQ(Channel(z, c, r, p), want) << c << "," << r << " plane " << p;
                sawMax[p] = sawMax[p] || want == 255;
            }
    EXPECT_TRUE(sawMax[0]);
    EXPECT_TRUE(sawMax[2]);
    // The lowest frequencies are drawn, clamped.
    EXPECT_EQ(Channel(z, 0, 0, 0), 255);
    EXPECT_EQ(Channel(z, 0, 0, 1), 0);
}

TEST(RenderZoom, AllZeroPlaneAndSmallStore) {
    // 40 x 30: the window is the whole store, the rest stays grey.
    const TSpectrumStore s = MakeStore(40, 30, [](int32_t c, int32_t r, int p) -> float {
        return p == 0 ? 0.0f : p == 1 ? float(c + r) : -float(c);
    });
    const TBitmap24 z = RenderZoom(s, 5, 5);
    for (int32_t r = 0; r < 64; ++r)
        for (int32_t c = 0; c < 64; ++c) {
            const uint8_t* px = z.Pixel(c, r);
            if (c >= 40 || r >= 30) {
                ASSERT_EQ(px[0], 127);
                ASSERT_EQ(px[1], 127);
                ASSERT_EQ(px[2], 127);
                continue;
            }
            // min = max = 0, the maximum becomes -1: zeros are drawn as 0.
            ASSERT_EQ(px[0], 0);
            // Plane 1: range 6 .. 68 (c + r > 5 only); plane 2: -39 .. 0 (the
            // start value of the maximum).
            ASSERT_EQ(px[1], Expected(c + r, 6, 68));
            ASSERT_EQ(px[2], Expected(-c, -39, 0));
        }
}

TEST(RenderZoom, WindowFollowsThePointerAndBadValuesAreSafe) {
    TSpectrumStore s = RandomStore(512, 300, 11);
    s.At(0, 100, 100) = NAN;
    s.At(1, 101, 100) = INFINITY;
    s.At(2, 102, 100) = -INFINITY;
    TBitmap24 z;
    RenderZoom(s, 100, 100, z); // gives the picture its size
    ASSERT_EQ(z.Width, 64);
    ASSERT_EQ(z.Height, 64);
    // Zoom pixel (x, y) shows cell (68 + x, 68 + y). Plane 0: the NaN takes
    // no part in the range and is drawn as 0.
    double lo = 255, hi = 0;
    for (int32_t r = 68; r <= 131; ++r)
        for (int32_t c = 68; c <= 131; ++c) {
            const float v = s.At(0, c, r);
            if (v > hi) hi = v;
            if (v < lo) lo = v;
        }
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            if (x == 32 && y == 32) continue;
            ASSERT_EQ(Channel(z, x, y, 0), Expected(s.At(0, 68 + x, 68 + y), lo, hi))
                << x << "," << y;
            // An infinite bound of the range draws everything as 0.
            ASSERT_EQ(Channel(z, x, y, 1), 0);
            ASSERT_EQ(Channel(z, x, y, 2), 0);
        }
    EXPECT_EQ(Channel(z, 32, 32, 0), 0);
    // A picture of another size is replaced; an empty store gives grey.
    TBitmap24 other(3, 3);
    RenderZoom(TSpectrumStore{}, 0, 0, other);
    ASSERT_EQ(other.Width, 64);
    for (uint8_t b : other.Bytes) ASSERT_EQ(b, 127);
}

} // namespace
