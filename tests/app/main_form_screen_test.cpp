// Find screen in the window: the screen found and damped on the spectrum
// shown, recorded as one undo step that Undo takes back whole.
#include "tests/app/main_form_fixture_test.h"

#include "filter/filter_entry.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>

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

    // Back on the image the command is off again.
    Form->ToolTransform->click();
    EXPECT_FALSE(Form->ToolFindScreen->isEnabled());
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

} // namespace
