// Find screen in the window: the screen found and damped on the spectrum
// shown, or on the picture through the screen window and its preview, each
// recorded as one undo step that Undo takes back whole.
#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/screen_form.h"
#include "filter/filter_entry.h"
#include "spectral/display.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <cmath>

namespace {

class MainFormScreenTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
    }
    QString Status() const { return Form->StatusPanels[0]->text(); }
    void OpenPicture(double cell) {
        const std::string path = Files.File(cell > 0 ? "screened.bmp" : "plain.bmp");
        WriteImageFile(path, ScreenedPicture(240, 180, cell));
        OpenImage(path);
        Form->ToolTransform->click();
        ASSERT_EQ(Form->CommandState(), 2);
    }
};

TEST_F(MainFormScreenTest, DampsTheScreenAsOneUndoStep) {
    EXPECT_FALSE(Form->ToolFindScreen->isEnabled());
    OpenPicture(3.6);
    ASSERT_TRUE(Form->ToolFindScreen->isEnabled());
    EXPECT_TRUE(Form->FindScreen1->isEnabled());
    const TSpectrumStore before = Store;
    Form->FindScreen1->trigger();
    ASSERT_GT(Protokol->EntryCount(), 1u);
    EXPECT_TRUE(Protokol->GetEntry(0).typ == kFilterBand ||
                Protokol->GetEntry(0).typ == kFilterSidebands);
    EXPECT_EQ(Protokol->GetEntry(1).typ, kFilterNotch);
    EXPECT_NE(Store.Planes[0], before.Planes[0]);
    EXPECT_TRUE(Status().startsWith("Screen found and damped: ")) << Status().toStdString();
    EXPECT_TRUE(Form->Toolundo->isEnabled());

    Form->Toolundo->click();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    for (int p = 0; p < 3; ++p) EXPECT_EQ(Store.Planes[p], before.Planes[p]);
    EXPECT_FALSE(Form->Toolundo->isEnabled());

    // Back on the image the command opens the screen window.
    Form->ToolTransform->click();
    EXPECT_TRUE(Form->ToolFindScreen->isEnabled());
}

TEST_F(MainFormScreenTest, LeavesASpectrumWithoutAScreenAloneAndSaysSo) {
    OpenPicture(0);
    const TSpectrumStore before = Store;
    Form->ToolFindScreen->click();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    EXPECT_EQ(Store.Planes[1], before.Planes[1]);
    EXPECT_EQ(Status(), "No screen found");
    Form->ToolDe->click();
    EXPECT_EQ(Form->FindScreen1->text(), "Raster finden");
    EXPECT_EQ(Form->ToolFindScreen->toolTip(), "Raster finden");
}

class ScreenFormTest : public MainFormScreenTest {
protected:
    void OpenScreenedPicture() {
        const std::string path = Files.File("screened.bmp");
        WriteImageFile(path, ScreenedPicture(600, 560, 3.6));
        OpenImage(path);
    }
    TScreenForm* OpenWindow() {
        Form->ToolFindScreen->click();
        TScreenForm* screen = Form->ScreenForm();
        return screen && screen->isVisible() ? screen : nullptr;
    }
    static void WaitForPreview(TScreenForm& screen) {
        QTRY_VERIFY_WITH_TIMEOUT(!screen.PreviewPending(), 20000);
    }
    // How far the preview moved from the picture: 99 - its PSNR.
    double PreviewChange(const TScreenForm& screen) const {
        const TPreviewRegion r = screen.CleanedRegion();
        double sum = 0.0;
        for (int32_t y = 0; y < r.Rows; ++y)
            for (int32_t x = 0; x < r.Cols; ++x)
                for (int p = 0; p < 3; ++p)
                    sum += std::pow(double(screen.Cleaned().Pixel(x, y)[p]) -
                                        Form->Image1->Picture.Pixel(r.Left + x, r.Top + y)[p],
                                    2);
        const double mse = sum / (3.0 * r.Cols * r.Rows);
        return mse == 0.0 ? 0.0 : 99.0 - 10.0 * std::log10(255.0 * 255.0 / mse);
    }
    bool SameStore(const TSpectrumStore& before) const {
        for (int p = 0; p < 3; ++p)
            if (Store.Planes[p] != before.Planes[p]) return false;
        return true;
    }
};

TEST_F(ScreenFormTest, AppliesFromThePictureAsOneUndoStepAndEndsOnTheCleanedPicture) {
    OpenScreenedPicture();
    const TSpectrumStore before = Store;
    TScreenForm* screen = OpenWindow();
    ASSERT_NE(screen, nullptr);
    // While it is open the picture cannot change under the preview.
    EXPECT_FALSE(Form->ToolTransform->isEnabled());
    WaitForPreview(*screen);
    EXPECT_GT(screen->FoundEntries(), 1u);
    EXPECT_TRUE(SameStore(before));
    EXPECT_EQ(Protokol->EntryCount(), 0u);

    screen->ApplyButton->click();
    EXPECT_FALSE(screen->isVisible());
    EXPECT_EQ(Form->CommandState(), 1);
    ASSERT_GT(Protokol->EntryCount(), 1u);
    EXPECT_FALSE(SameStore(before));
    EXPECT_TRUE(Form->ToolTransform->isEnabled());
    EXPECT_TRUE(Status().startsWith("Screen found and damped: ")) << Status().toStdString();
    const TBitmap24 cleaned = Form->Image1->Picture;
    EXPECT_EQ(cleaned.Bytes, RenderStore(Store, true, 0).Bytes);

    ASSERT_TRUE(Form->Toolundo->isEnabled());
    Form->Toolundo->click();
    EXPECT_TRUE(SameStore(before));
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    EXPECT_FALSE(Form->Toolundo->isEnabled());
    ASSERT_TRUE(Form->Redo1->isEnabled());
    Form->Redo1->trigger();
    EXPECT_EQ(Form->Image1->Picture.Bytes, cleaned.Bytes);
}

TEST_F(ScreenFormTest, CancelLeavesEverythingAsItWasAndStrengthTakesMoreOfTheScreen) {
    OpenScreenedPicture();
    const TSpectrumStore before = Store;
    const TControlStates states = Form->CurrentControlStates();
    TScreenForm* screen = OpenWindow();
    ASSERT_NE(screen, nullptr);
    double last = -1.0;
    for (const double strength : {0.25, 1.0, 4.0}) {
        screen->StrengthBox->setValue(strength);
        WaitForPreview(*screen);
        ASSERT_GT(screen->FoundEntries(), 0u) << strength;
        const double change = PreviewChange(*screen);
        EXPECT_GT(change, last) << strength;
        last = change;
    }
    EXPECT_TRUE(SameStore(before));
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    screen->CancelButton->click();
    EXPECT_FALSE(screen->isVisible());
    EXPECT_TRUE(SameStore(before));
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    EXPECT_EQ(Form->CurrentControlStates().Enabled, states.Enabled);
    EXPECT_FALSE(Form->Toolundo->isEnabled());

    Form->ToolDe->click();
    ASSERT_EQ(OpenWindow(), screen);
    EXPECT_EQ(screen->windowTitle(), "Raster entfernen");
    EXPECT_EQ(screen->ApplyButton->text(), "Anwenden");
    // German numbers have a decimal comma.
    EXPECT_DOUBLE_EQ(screen->StrengthBox->valueFromText("1,5"), 1.5);
    EXPECT_EQ(screen->StrengthBox->textFromValue(0.25), "0,25");
}

} // namespace
