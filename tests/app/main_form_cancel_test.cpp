// Cancel at every moment of the commands that transform: Transform by itself,
// Apply filter from the picture (its transform there and its transform back)
// and Find screen's Apply on the picture. Each time the store, the picture,
// the filter, the undo steps, the commands, the title and the status bar are
// as they were before the command.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/screen_form.h"
#include "filter/filter_entry.h"
#include "spectral/transform.h"

#include <QDialog>
#include <QPushButton>
#include <QStatusBar>

#include <array>
#include <atomic>

namespace {

struct TWindowState {
    std::array<tdline, 3> Planes;
    int32_t Cols, Rows;
    uint8_t CommandState;
    int Contrast;
    std::vector<uint8_t> Picture;
    int32_t Width, Height, ImageModified;
    TControlStates Controls;
    std::vector<std::string> Filter;
    QString Title, Percent, FilterPanel, Size;

    bool operator==(const TWindowState&) const = default;
};

class MainFormCancelTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
        // Counts the reports of all runs of one command and holds the run
        // at the Target-th until the window has asked it to stop.
        Form->TransformEngine = [this](TSpectrumStore& store, TTransformDirection direction,
                                       const TBitmap24* source, IProgress& progress,
                                       const TTransformOptions& options) {
            struct THold final : IProgress {
                MainFormCancelTest& t;
                IProgress& inner;
                const std::atomic<bool>* cancel;
                THold(MainFormCancelTest& test, IProgress& p, const std::atomic<bool>* c)
                    : t(test), inner(p), cancel(c) {}
                void Phase(const std::string& key) override { inner.Phase(key); }
                void ClearPercent() override { inner.ClearPercent(); }
                void Percent(double percent) override {
                    const bool hold = cancel && ++t.Reports == t.Target;
                    if (hold) t.Holding = true;
                    inner.Percent(percent);
                    if (!hold) return;
                    t.HeldInRun = t.Runs.load();
                    WaitUntilSet(*cancel);
                }
            } hold(*this, progress, options.Cancel);
            ++Runs;
            return TransformStore(store, direction, source, hold, options);
        };
        QObject::connect(Form.get(), &TForm1::transformProgressed, Form.get(), [this] {
            if (!Holding.exchange(false)) return;
            Form->TransformProgress()->findChild<QPushButton*>("TransformCancel")->click();
        });
    }

    TWindowState State() const {
        return {{Store.Planes[0], Store.Planes[1], Store.Planes[2]},
                Store.Cols,
                Store.Rows,
                Form->CommandState(),
                Form->TrackKontrast->value(),
                Form->Image1->Picture.Bytes,
                Form->Image1->Picture.Width,
                Form->Image1->Picture.Height,
                Form->Image1->ImageModified,
                Form->CurrentControlStates(),
                Protokol->List().Lines(),
                Form->windowTitle(),
                Form->StatusPanels[1]->text(),
                Form->FilterPanel->text(),
                Form->ViewPanels[0]->text()};
    }

    // Runs `command` with Cancel at its first, second, ... report, up to
    // the `upTo`-th, or else until it completes without reaching the report;
    // each cancelled run must leave the window as it was. Gives the number
    // of reports cancelled at and the last run a cancel reached.
    std::pair<int, int> CancelAtEveryReport(const char* what, const std::function<void()>& command,
                                            int upTo = 0) {
        const TWindowState before = State();
        int lastRun = 0;
        for (Target = 1; upTo == 0 || Target <= upTo; ++Target) {
            Reports = 0;
            Runs = 0;
            HeldInRun = 0;
            Holding = false;
            command();
            if (HeldInRun == 0) break; // completed
            lastRun = HeldInRun;
            if (!(State() == before)) {
                ADD_FAILURE() << what << ": cancelled at report " << Target << " of run "
                              << HeldInRun << ", the window is no longer as it was";
                return {0, 0};
            }
            EXPECT_EQ(Form->StatusPanels[0]->text(), "Transform cancelled") << what << Target;
            EXPECT_FALSE(Form->TransformRunning());
        }
        const int cancelled = Target - 1;
        EXPECT_GT(cancelled, 4) << what;
        if (upTo == 0) {
            EXPECT_FALSE(State() == before) << what << ": the last run completed";
        }
        EXPECT_TRUE(Dialogs.Errors.empty()) << what;
        return {cancelled, lastRun};
    }
    void OpenScreened(const char* name) {
        const std::string path = Files.File(name);
        WriteImageFile(path, ScreenedPicture(240, 180, 3.6));
        OpenImage(path);
    }

    std::atomic<int> Reports{0};
    std::atomic<int> Target{0};
    std::atomic<int> Runs{0};
    std::atomic<int> HeldInRun{0};
    std::atomic<bool> Holding{false};
};

TEST_F(MainFormCancelTest, ApplyFilterAndTransformCancelledAtAnyMomentChangeNothing) {
    OpenScreened("scan.bmp");
    Form->AddFilterEntry(kFilterResizeBase, 50.0f, 0, 0, 0);
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    const auto apply = [this] { Form->Toolapply->click(); };
    // On the picture as loaded, whose store comes back from the bitmap; then
    // on the result, whose unclipped store the window keeps a copy of.
    EXPECT_EQ(CancelAtEveryReport("apply on the loaded picture", apply).second, 2);
    ASSERT_EQ(Store.Cols, 120);
    EXPECT_EQ(CancelAtEveryReport("apply on the result", apply).second, 2);
    ASSERT_EQ(Form->CommandState(), 1);

    const auto transform = [this] { Form->ToolTransform->click(); };
    EXPECT_EQ(CancelAtEveryReport("transform there", transform).second, 1);
    ASSERT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(CancelAtEveryReport("transform back", transform).second, 1);
    EXPECT_EQ(Form->CommandState(), 1);
}

TEST_F(MainFormCancelTest, FindScreenOnThePictureAndApplyAfterItKeepTheUndoStepWhenCancelled) {
    OpenScreened("screened.bmp");
    const auto screen = [this] {
        Form->ToolFindScreen->click();
        ASSERT_TRUE(Form->ScreenForm() && Form->ScreenForm()->isVisible());
        Form->ScreenForm()->ApplyButton->click();
    };
    const auto [reports, lastRun] = CancelAtEveryReport("find screen", screen);
    EXPECT_EQ(lastRun, 2);
    ASSERT_GT(Protokol->EntryCount(), 1u);
    ASSERT_TRUE(Form->Toolundo->isEnabled()) << "the screen's step on the picture";
    const TWindowState cleaned = State();

    // Apply filter with the screen's entries, its two transforms as long as
    // the screen's: every cancel keeps the step, which Undo then takes back.
    const auto apply = [this] { Form->Toolapply->click(); };
    EXPECT_EQ(CancelAtEveryReport("apply after the screen", apply, reports).second, 2);
    Form->Toolundo->click();
    EXPECT_EQ(Protokol->EntryCount(), 0u) << "the step was still there to take back";
    EXPECT_NE(Form->Image1->Picture.Bytes, cleaned.Picture);
}

} // namespace
