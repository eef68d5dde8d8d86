// The view's drawing in turns: a spectrum drawn band by band over turns of
// the event loop ends as the very bitmap the display makes at once, a command
// that reads the bitmap gets it whole, the scaled copy made band by band is
// the mean of the cells, and the picture kept for the comparison comes back
// byte for byte.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/kept_picture.h"
#include "app/view_area.h"
#include "imagefile/image_file.h"
#include "spectral/display.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSlider>

namespace {

class ViewDrawingTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        // Every redraw of more than one cell goes in turns.
        before_ = TImageView::SetDrawAtOnceCells(1);
        ShowForm();
    }
    void TearDown() override {
        TImageView::SetDrawAtOnceCells(before_);
        MainFormTest::TearDown();
    }
    // Lets the event loop turn until the view has drawn everything.
    bool DrawnInTurns() {
        QElapsedTimer clock;
        clock.start();
        while (Form->Image1->DrawingPending() && clock.elapsed() < 20000)
            QCoreApplication::processEvents();
        return !Form->Image1->DrawingPending();
    }
    bool ShowsSpectrum() const {
        const TBitmap24 expected = RenderStore(Store, false, Form->TrackKontrast->value());
        return Form->Image1->Picture.Bytes == expected.Bytes;
    }

private:
    int64_t before_ = 0;
};

TEST_F(ViewDrawingTest, TheSpectrumDrawnInTurnsIsTheSpectrumDrawnAtOnce) {
    OpenSpectrum(300, 520, 9);
    EXPECT_TRUE(Form->Image1->DrawingPending()) << "the transform's end left drawing for later";
    EXPECT_FALSE(ShowsSpectrum());
    ASSERT_TRUE(DrawnInTurns());
    EXPECT_TRUE(ShowsSpectrum());

    // A new contrast while the old one is still being drawn.
    Form->TrackKontrast->setValue(Form->TrackKontrast->value() + 5);
    QCoreApplication::processEvents();
    Form->TrackKontrast->setValue(Form->TrackKontrast->value() - 2);
    ASSERT_TRUE(DrawnInTurns());
    EXPECT_TRUE(ShowsSpectrum());
}

TEST_F(ViewDrawingTest, ACommandReadingTheBitmapGetsItWhole) {
    OpenSpectrum(300, 520, 4);
    Form->ToolTransform->click(); // back to the picture, drawn in turns
    ASSERT_EQ(Form->CommandState(), 1);
    ASSERT_TRUE(Form->Image1->DrawingPending());
    const std::string path = Files.File("result.bmp");
    Dialogs.Files.push_back(QString::fromStdString(path));
    Form->ToolSave->click();
    EXPECT_FALSE(Form->Image1->DrawingPending());
    EXPECT_EQ(ReadImageFile(path).Bytes, RenderStore(Store, true, 0).Bytes);
}

TEST_F(ViewDrawingTest, TheScaledCopyMadeInBandsIsTheMeanOfTheCells) {
    OpenSpectrum(300, 520, 2);
    for (const TViewZoom zoom : {TViewZoom{1, 3}, TViewZoom{1, 2}, TViewZoom{3, 1}}) {
        SCOPED_TRACE(zoom.Percent());
        Form->ScrollBox1->SetZoom(zoom);
        Form->TrackKontrast->setValue(Form->TrackKontrast->value() + 1);
        Form->Image1->repaint();
        ASSERT_TRUE(DrawnInTurns());
        const QRect shown = Form->Image1->visibleRegion().boundingRect();
        ASSERT_FALSE(shown.isEmpty());
        const QImage painted =
            Form->Image1->grab(shown).toImage().convertToFormat(QImage::Format_RGB32);
        QImage expected(shown.size(), QImage::Format_RGB32);
        const TBitmap24 all = RenderStore(Store, false, Form->TrackKontrast->value());
        if (zoom < kActualSize) {
            ShrinkPicture(all, zoom, shown, expected, {0, 0});
        } else {
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x) {
                    const uint8_t* cell = all.Pixel(int32_t(zoom.CellAt(shown.x() + x)),
                                                    int32_t(zoom.CellAt(shown.y() + y)));
                    expected.setPixel(x, y, qRgb(cell[2], cell[1], cell[0]));
                }
        }
        EXPECT_EQ(painted, expected);
    }
}

TEST(KeptPictureTest, AKeptPictureComesBackByteForByte) {
    TBitmap24 first(37, 23), second(12, 40);
    for (size_t i = 0; i < first.Bytes.size(); ++i) first.Bytes[i] = uint8_t(i * 13 + 1);
    for (size_t i = 0; i < second.Bytes.size(); ++i) second.Bytes[i] = uint8_t(i * 5 + 3);
    TKeptPicture kept;
    EXPECT_FALSE(kept.has_value());
    kept = first;
    EXPECT_TRUE(kept.InFile()) << "out of memory, in the temporary folder";
    TBitmap24 shown = second;
    kept.SwapWith(shown);
    EXPECT_EQ(shown.Width, first.Width);
    EXPECT_EQ(shown.Height, first.Height);
    EXPECT_EQ(shown.Bytes, first.Bytes);
    kept.SwapWith(shown);
    EXPECT_EQ(shown.Width, second.Width);
    EXPECT_EQ(shown.Bytes, second.Bytes) << "and the other back";
    kept.reset();
    EXPECT_FALSE(kept.has_value());
}

} // namespace
