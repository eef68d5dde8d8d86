// The descreening benchmark's measures: if they are wrong, every figure the
// benchmark prints is.
#include "bench/image_quality.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

TImageF RandomImage(int32_t w, int32_t h, uint32_t seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> level(0, 255);
    TImageF image(w, h);
    for (float& v : image.Values) v = float(level(gen));
    return image;
}

TEST(ImageQualityTest, IdenticalImagesScoreTheCapAndOne) {
    const TImageF a = RandomImage(40, 30, 1);
    EXPECT_EQ(Psnr(a, a), kPsnrCap);
    EXPECT_NEAR(Ssim(a, a), 1.0, 1e-12);
}

TEST(ImageQualityTest, KnownDifferencesGiveKnownScores) {
    // Every value off by 5 levels: MSE 25, PSNR 10 log10(255^2 / 25).
    TImageF a = RandomImage(40, 30, 2);
    for (float& v : a.Values) v = std::min(v, 250.0f);
    TImageF b = a;
    for (float& v : b.Values) v += 5.0f;
    EXPECT_DOUBLE_EQ(MeanSquaredError(a, b), 25.0);
    EXPECT_NEAR(Psnr(a, b), 10.0 * std::log10(255.0 * 255.0 / 25.0), 1e-9);

    // A vertical stripe pattern shifted by one column: every pixel differs
    // by the stripes' contrast, and the structure no longer matches.
    TImageF stripes(40, 30), shifted(40, 30);
    for (int32_t r = 0; r < 30; ++r)
        for (int32_t c = 0; c < 40; ++c)
            for (int ch = 0; ch < 3; ++ch) {
                stripes.Pixel(c, r)[ch] = (c % 2) ? 200.0f : 100.0f;
                shifted.Pixel(c, r)[ch] = (c % 2) ? 100.0f : 200.0f;
            }
    EXPECT_DOUBLE_EQ(MeanSquaredError(stripes, shifted), 10000.0);
    EXPECT_LT(Ssim(stripes, shifted), 0.0);
    EXPECT_THROW(Psnr(stripes, RandomImage(39, 30, 3)), std::invalid_argument);
}

TEST(ImageQualityTest, ReductionAndBlurKeepTheMean) {
    TImageF a = RandomImage(6, 4, 4);
    const TImageF half = Reduce2x2(a);
    ASSERT_EQ(half.Width, 3);
    ASSERT_EQ(half.Height, 2);
    const float* p = a.Pixel(2, 2);
    EXPECT_FLOAT_EQ(half.Pixel(1, 1)[1],
                    (p[1] + a.Pixel(3, 2)[1] + a.Pixel(2, 3)[1] + a.Pixel(3, 3)[1]) / 4.0f);

    TImageF flat(20, 20);
    for (float& v : flat.Values) v = 77.0f;
    for (const float v : GaussianBlur(flat, 2.5).Values) EXPECT_NEAR(v, 77.0f, 1e-3);
}

} // namespace
