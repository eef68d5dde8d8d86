// The zoom window on real widgets: its picture is stretched to the client
// area cell by cell without any blending, in the right colours, and closing
// the window tells the main window.

#include "filter/zoom.h"
#include "filter/zoom_form.h"
#include "spectral/store.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

TBitmap24 RandomPicture(uint32_t seed) {
    TBitmap24 picture(kZoomSize, kZoomSize);
    std::mt19937 random(seed);
    for (uint8_t& byte : picture.Bytes) byte = uint8_t(random());
    return picture;
}

QRgb Rgb(const TBitmap24& picture, int c, int r) {
    const uint8_t* p = picture.Pixel(c, r);
    return qRgb(p[2], p[1], p[0]);
}

QImage Shown(TFormZoom& zoom) {
    QApplication::processEvents();
    return zoom.Image2->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(ZoomWindowTest, StartsAsStayOnTopToolWindowWithGreyPicture) {
    TFormZoom zoom;
    EXPECT_EQ(zoom.windowTitle(), "zoom");
    EXPECT_EQ(zoom.size(), QSize(192, 192));
    EXPECT_TRUE(zoom.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(zoom.windowType(), Qt::Tool);
    EXPECT_TRUE(zoom.isHidden());
    zoom.show();
    const QImage shown = Shown(zoom);
    EXPECT_EQ(shown.size(), QSize(192, 192)) << "the picture fills the client area";
    EXPECT_EQ(shown.pixel(0, 0), qRgb(127, 127, 127));
    EXPECT_EQ(shown.pixel(191, 191), qRgb(127, 127, 127));
}

TEST(ZoomWindowTest, WholeScaleStretchGivesEveryCellASquareOfItsColour) {
    TFormZoom zoom;
    const TBitmap24 picture = RandomPicture(7);
    zoom.SetPicture(picture);
    zoom.show();
    const QImage shown = Shown(zoom);
    ASSERT_EQ(shown.size(), QSize(192, 192));
    int wrong = 0;
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 192; ++x)
            if (shown.pixel(x, y) != Rgb(picture, x / 3, y / 3)) ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST(ZoomWindowTest, AnyWindowSizeShowsOnlyCellColoursInOrder) {
    TFormZoom zoom;
    const TBitmap24 picture = RandomPicture(11);
    zoom.SetPicture(picture);
    zoom.show();
    for (const QSize size : {QSize(100, 70), QSize(257, 301), QSize(64, 64), QSize(40, 90)}) {
        zoom.resize(size);
        const QImage shown = Shown(zoom);
        ASSERT_EQ(shown.size(), size);
        // Each screen pixel takes the colour of a cell at or next to the one
        // under it: a blended colour would match none of them.
        int blended = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const int c = x * kZoomSize / size.width();
                const int r = y * kZoomSize / size.height();
                bool found = false;
                for (int dr = -1; dr <= 1 && !found; ++dr)
                    for (int dc = -1; dc <= 1 && !found; ++dc) {
                        const int cc = c + dc;
                        const int rr = r + dr;
                        if (cc < 0 || rr < 0 || cc >= kZoomSize || rr >= kZoomSize) continue;
                        found = shown.pixel(x, y) == Rgb(picture, cc, rr);
                    }
                if (!found) ++blended;
            }
        EXPECT_EQ(blended, 0) << size.width() << " x " << size.height();
        // The corners show the corner cells.
        EXPECT_EQ(shown.pixel(0, 0), Rgb(picture, 0, 0));
        EXPECT_EQ(shown.pixel(size.width() - 1, size.height() - 1),
                  Rgb(picture, kZoomSize - 1, kZoomSize - 1));
    }
}

TEST(ZoomWindowTest, ShowsTheEngineZoomInItsChannels) {
    TSpectrumStore store;
    store.Resize(40, 40);
    // Plane 2 (red) rises along the columns, the others stay flat at 0.
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 40; ++c) store.At(2, c, r) = float(c);
    TFormZoom zoom;
    zoom.SetPicture(RenderZoom(store, 20, 20));
    zoom.resize(128, 128);
    zoom.show();
    const QImage shown = Shown(zoom);
    ASSERT_EQ(shown.size(), QSize(128, 128));
    // Columns 40..63 of the zoom picture have no cell and stay grey.
    EXPECT_EQ(shown.pixel(127, 0), qRgb(127, 127, 127));
    EXPECT_EQ(shown.pixel(81, 127), qRgb(127, 127, 127));
    EXPECT_EQ(qGreen(shown.pixel(10, 10)), 0);
    EXPECT_EQ(qBlue(shown.pixel(10, 10)), 0);
    EXPECT_LT(qRed(shown.pixel(2, 64)), qRed(shown.pixel(77, 64))) << "red rises with the column";
    EXPECT_EQ(qRed(shown.pixel(79, 64)), 255);
}

TEST(ZoomWindowTest, ClosingTellsTheMainWindowHidingDoesNot) {
    TFormZoom zoom;
    QSignalSpy closed(&zoom, &TFormZoom::closedByUser);
    zoom.show();
    zoom.hide();
    EXPECT_EQ(closed.count(), 0) << "the zoom button hides it without a close";
    zoom.show();
    EXPECT_TRUE(zoom.close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(zoom.isHidden());
    zoom.show();
    EXPECT_TRUE(zoom.isVisible()) << "it can be shown again after a close";
}

} // namespace
