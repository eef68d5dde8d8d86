// The print-and-scan simulator of the descreening benchmark: a perfect
// descreener can only reach the picture if the printed dots carry its tones.
#include "bench/halftone_sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

double MeanLevel(const TBitmap24& image, int channel) {
    double sum = 0.0;
    for (size_t i = size_t(channel); i < image.Bytes.size(); i += 3) sum += image.Bytes[i];
    return sum / double(image.Bytes.size() / 3);
}

TEST(HalftoneSimTest, ScreenedPagesKeepTheirTonesOnAverage) {
    // A flat colour: every ink and black at work, screens at the benchmark's
    // ruling and a turned page.
    TBitmap24 picture(48, 40);
    for (size_t i = 0; i < picture.Bytes.size(); i += 3) {
        picture.Bytes[i] = 60;      // blue
        picture.Bytes[i + 1] = 140; // green
        picture.Bytes[i + 2] = 210; // red
    }
    for (const double elongation : {1.0, 1.4}) {
        TScreenSetup screen;
        screen.CellPixels = 1.9;
        screen.PageRotation = 0.8;
        screen.DotElongation = elongation; // round and elliptical dots
        const TPrintedPage page = PrintHalftone(picture, screen);
        for (int32_t factor : {1, 2}) {
            const TBitmap24 scan = ScanPage(page, {factor, 0.5, 0.0, 7u});
            ASSERT_EQ(scan.Width, 48 * factor);
            ASSERT_EQ(scan.Height, 40 * factor);
            EXPECT_NEAR(MeanLevel(scan, 0), 60.0, 0.6);
            EXPECT_NEAR(MeanLevel(scan, 1), 140.0, 0.6);
            EXPECT_NEAR(MeanLevel(scan, 2), 210.0, 0.6);
            // The screen is there: single pixels stray far from the mean.
            const TImageF f = ToFloatImage(scan);
            double spread = 0.0;
            for (size_t i = 2; i < f.Values.size(); i += 3)
                spread = std::max(spread, double(std::abs(f.Values[i] - 210.0f)));
            EXPECT_GT(spread, 20.0);
        }
    }
}

TEST(HalftoneSimTest, UnscreenedPagesScanBackAsThePicture) {
    TBitmap24 picture(24, 20);
    for (size_t i = 0; i < picture.Bytes.size(); ++i) picture.Bytes[i] = uint8_t((i * 37) % 256);
    const TBitmap24 scan = ScanPage(PrintContone(picture), {1, 0.0, 0.0, 1u});
    EXPECT_EQ(scan.Bytes, picture.Bytes);
}

} // namespace
