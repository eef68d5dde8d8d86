// The bridges between the 24-bit image and QImage, for every QImage format
// the window program may meet (clipboard contents, view).

#include "imagefile/image_file_qt.h"

#include <gtest/gtest.h>

#include <QColor>

#include <vector>

namespace {

std::vector<uint8_t> Bytes(const TBitmap24& img) {
    return img.Bytes;
}

TEST(QtBridge, ToQImageKeepsColoursAndLayout) {
    TBitmap24 img(3, 2);
    for (size_t i = 0; i < img.Bytes.size(); ++i) img.Bytes[i] = uint8_t(10 * i + 1);
    const QImage q = ToQImage(img);
    ASSERT_EQ(q.width(), 3);
    ASSERT_EQ(q.height(), 2);
    // Pixel (2, 1): bytes 15..17 are blue 151, green 161, red 171.
    EXPECT_EQ(q.pixel(2, 1), qRgb(171, 161, 151));
    EXPECT_EQ(q.pixel(0, 0), qRgb(21, 11, 1));
    EXPECT_EQ(Bytes(FromQImage(q)), img.Bytes);
    EXPECT_TRUE(ToQImage(TBitmap24()).isNull());
    EXPECT_TRUE(FromQImage(QImage()).Empty());
}

TEST(QtBridge, FromEveryFormat) {
    QImage base(4, 1, QImage::Format_RGB32);
    base.setPixel(0, 0, qRgb(255, 0, 0));
    base.setPixel(1, 0, qRgb(0, 255, 0));
    base.setPixel(2, 0, qRgb(0, 0, 255));
    base.setPixel(3, 0, qRgb(255, 255, 255));
    const std::vector<uint8_t> want{0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
    for (QImage::Format f :
         {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
          QImage::Format_RGB888, QImage::Format_BGR888, QImage::Format_RGB16, QImage::Format_RGB555,
          QImage::Format_RGBX8888, QImage::Format_RGBA64, QImage::Format_Indexed8}) {
        const QImage q = base.convertToFormat(f);
        ASSERT_EQ(q.format(), f);
        EXPECT_EQ(Bytes(FromQImage(q)), want) << int(f);
    }
}

TEST(QtBridge, PaletteGreyAndAlpha) {
    QImage indexed(3, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3), qRgb(40, 50, 60), qRgb(200, 210, 220)});
    indexed.setPixel(0, 0, 2);
    indexed.setPixel(1, 0, 0);
    indexed.setPixel(2, 0, 1);
    EXPECT_EQ(Bytes(FromQImage(indexed)),
              (std::vector<uint8_t>{220, 210, 200, 3, 2, 1, 60, 50, 40}));

    QImage mono(2, 1, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 128, 0)});
    mono.setPixel(0, 0, 1);
    mono.setPixel(1, 0, 0);
    EXPECT_EQ(Bytes(FromQImage(mono)), (std::vector<uint8_t>{0, 128, 255, 0, 0, 0}));

    QImage grey(2, 1, QImage::Format_Grayscale8);
    grey.setPixel(0, 0, qRgb(77, 77, 77));
    grey.setPixel(1, 0, qRgb(200, 200, 200));
    EXPECT_EQ(Bytes(FromQImage(grey)), (std::vector<uint8_t>{77, 77, 77, 200, 200, 200}));

    // A transparent pixel's stored colour was never meant to be seen: it is
    // composited onto white, as a page shows it.
    QImage alpha(1, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(90, 80, 70, 0));
    EXPECT_EQ(Bytes(FromQImage(alpha)), (std::vector<uint8_t>{255, 255, 255}));
}

TEST(QtBridge, SixteenBitIsWidenedToFullRange) {
    QImage q(2, 1, QImage::Format_RGB16);
    q.setPixel(0, 0, qRgb(255, 255, 255));
    q.setPixel(1, 0, qRgb(0, 0, 0));
    EXPECT_EQ(Bytes(FromQImage(q)), (std::vector<uint8_t>{255, 255, 255, 0, 0, 0}));
}

} // namespace
