// The Transform command on its worker thread: Cancel gives back everything
// as it was, a completed run matches the engine bit for bit, the fast option
// is kept in the settings, and closing the window during a run is safe.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/shape_mark.h"
#include "spectral/transform.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

#include <array>
#include <atomic>
#include <functional>

namespace {

struct TWindowState {
    std::array<tdline, 3> Planes;
    uint8_t CommandState;
    int Contrast;
    bool MarkVisible;
    std::vector<uint8_t> Picture;
    int32_t ImageModified;
    TControlStates Controls;

    bool operator==(const TWindowState&) const = default;
};

class MainFormTransformTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
        // Every run holds in the second plane (40 %), where the first plane
        // is already transformed.
        Form->TransformEngine = [this](TSpectrumStore& store, TTransformDirection direction,
                                       const TBitmap24* source, IProgress& progress,
                                       const TTransformOptions& options) {
            THoldAt hold(progress, Hold ? options.Cancel : nullptr, HoldAt);
            ++EngineRuns;
            return TransformStore(store, direction, source, hold, options);
        };
        QObject::connect(Form.get(), &TForm1::transformProgressed, Form.get(),
                         [this](double percent) {
                             if (percent >= HoldAt && Hold && AtHold) {
                                 Hold = false;
                                 AtHold();
                             }
                         });
    }

    TWindowState State() const {
        return {{Store.Planes[0], Store.Planes[1], Store.Planes[2]},
                Form->CommandState(),
                Form->TrackKontrast->value(),
                Form->Shape->isVisible(),
                Form->Image1->Picture.Bytes,
                Form->Image1->ImageModified,
                Form->CurrentControlStates()};
    }
    QPushButton* CancelButton() const {
        return Form->TransformProgress()->findChild<QPushButton*>("TransformCancel");
    }

    // Whether the next run holds, and what the window then does.
    bool Hold = false;
    double HoldAt = 40.0;
    std::function<void()> AtHold;
    int EngineRuns = 0;
};

TEST_F(MainFormTransformTest, CancelLeavesImageStoreAndCommandsAsTheyWere) {
    // Forward from the bitmap (the planes are filled again from it), then
    // inverse from an edited spectrum (the planes are kept aside).
    OpenImage(WriteBitmap("scan.bmp", 40, 250, 3));
    for (const bool forward : {true, false}) {
        if (!forward) {
            Form->ToolTransform->click();
            ASSERT_EQ(Form->CommandState(), 2);
            Form->TrackKontrast->setValue(-7);
            Form->Shape->SetMark(TMarkRect{5, 20, 20, 60});
            Form->ToolStempel->click(); // an undo step and event 3
            ASSERT_TRUE(On(TControlId::Toolundo));
        }
        const TWindowState before = State();
        bool blocked = false, named = false;
        AtHold = [&] {
            blocked = !On(TControlId::ToolTransform) && !On(TControlId::ToolOpen) &&
                      !On(TControlId::Toolundo) && !Form->TrackKontrast->isEnabled() &&
                      Form->TransformRunning();
            Form->ToolTransformClick(Form->ToolTransform); // refused while running
            // Nor may a batch or the screen search start meanwhile.
            const size_t entries = Protokol->EntryCount();
            Form->ToolBatchrunClick(Form->Batchrun1);
            Form->ToolFindScreenClick(Form->FindScreen1);
            blocked = blocked && !Form->BatchRunning() && Protokol->EntryCount() == entries;
            // The pass is named in words, not as the status bar's "red (2)".
            QString said;
            for (const QLabel* l : Form->TransformProgress()->findChildren<QLabel*>())
                said += l->text();
            named = said.contains(QRegularExpression("(Red|Green|Blue) plane, (rows|columns)"));
            CancelButton()->click();
        };
        EngineRuns = 0;
        Hold = true;
        Form->ToolTransform->click();

        EXPECT_EQ(EngineRuns, 1);
        EXPECT_TRUE(blocked) << "forward " << forward;
        EXPECT_TRUE(named) << "forward " << forward;
        EXPECT_FALSE(Form->TransformRunning());
        EXPECT_TRUE(State() == before) << "forward " << forward;
        EXPECT_EQ(Form->StatusPanels[0]->text(), "Transform cancelled");
        EXPECT_TRUE(Dialogs.Errors.empty());
    }
    // The undo step survived: it still takes the smoothing back.
    const tdline smoothed = Store.Planes[0];
    Form->Toolundo->click();
    EXPECT_NE(Store.Planes[0], smoothed);
}

TEST_F(MainFormTransformTest, ApplyFilterStopsWhenItsFirstTransformIsCancelled) {
    OpenImage(WriteBitmap("scan.bmp", 40, 250, 4));
    Form->AddFilterEntry(0, 0.1f, 0.3f, 0.1f, 0.3f);
    ASSERT_TRUE(On(TControlId::Toolapply));
    const TWindowState before = State();
    AtHold = [&] { CancelButton()->click(); };
    Hold = true;
    Form->Toolapply->click();

    EXPECT_EQ(EngineRuns, 1) << "no transform back after the cancelled one";
    EXPECT_TRUE(State() == before);
}

TEST_F(MainFormTransformTest, FastOptionIsKeptAndGivesTheEnginesFastResult) {
    const std::string path = WriteBitmap("scan.bmp", 37, 23, 5);
    ASSERT_FALSE(Form->FastTransform1->isChecked()) << "off by default";
    Form->FastTransform1->trigger();
    ASSERT_TRUE(Form->FastTransform1->isChecked());
    Form->close();
    EXPECT_NE(SettingsText().find("FastTransform=True"), std::string::npos);

    Form = std::make_unique<TForm1>(Store, Dialogs);
    Form->QuitApplication = [] {};
    ConnectOtherWindows();
    ShowForm();
    ASSERT_TRUE(Form->FastTransform1->isChecked()) << "read back from the settings";
    OpenImage(path);
    TSpectrumStore expected = Store;
    TTransformOptions fast;
    fast.Fast = true;
    TNoProgress quiet;
    const TTransformResult forward =
        TransformStore(expected, TTransformDirection::Forward, &Form->Image1->Picture, quiet, fast);

    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(Form->StatusPanels[0]->text(), "Transformed (fast)");
    EXPECT_EQ(Form->TrackKontrast->value(), forward.ContrastPreset);
    for (int p = 0; p < 3; ++p) EXPECT_TRUE(Store.Planes[p] == expected.Planes[p]) << "plane " << p;

    // Back with the exact transform, as the engine does it.
    Form->FastTransform1->trigger();
    TransformStore(expected, TTransformDirection::Inverse, nullptr, quiet);
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->StatusPanels[0]->text(), "Transformed");
    for (int p = 0; p < 3; ++p) EXPECT_TRUE(Store.Planes[p] == expected.Planes[p]) << "plane " << p;
}

TEST_F(MainFormTransformTest, ClosingDuringARunStopsItAndLosesNothing) {
    OpenImage(WriteBitmap("scan.bmp", 40, 250, 9));
    const TWindowState before = State();
    AtHold = [&] { Form->close(); };
    Hold = true;
    Form->ToolTransform->click();

    EXPECT_EQ(QuitCalls, 1);
    EXPECT_FALSE(Form->TransformRunning());
    EXPECT_TRUE(State() == before);
    EXPECT_NE(SettingsText().find("[Prefs]"), std::string::npos) << "the settings were written";
}

// Cancel at every moment of a run that reports progress, in both directions:
// each time the store, the view and the commands are as before and the
// status says the run was cancelled, never that it transformed.
TEST_F(MainFormTransformTest, CancelAtAnyMomentLeavesEverythingAsItWas) {
    OpenImage(WriteBitmap("scan.bmp", 40, 250, 6));
    for (const bool forward : {true, false}) {
        if (!forward) {
            Form->ToolTransform->click();
            ASSERT_EQ(Form->CommandState(), 2);
        }
        const TWindowState before = State();
        // The run reports every 100 rows and columns: up to 83 % of a picture
        // this size, with a report between any two of these moments.
        for (int k = 0; k < 13; ++k) {
            const double at = 6.5 * k;
            HoldAt = at;
            AtHold = [&] { CancelButton()->click(); };
            Hold = true;
            Form->ToolTransform->click();
            EXPECT_FALSE(Hold) << "held at " << at;
            EXPECT_TRUE(State() == before) << "forward " << forward << " at " << at;
            EXPECT_EQ(Form->StatusPanels[0]->text(), "Transform cancelled") << at;
        }
    }
    EXPECT_TRUE(Dialogs.Errors.empty());
}

} // namespace
