// The long commands that wait in an event loop of their own (a big file's
// load, a transform) while the window is destroyed: the command comes back
// to nothing and touches nothing, the store stays the program's. And a
// cancelled Apply filter whose resize shrank the store gets it back even when
// memory is refused by then.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "filter/filter_entry.h"
#include "spectral/memory_budget.h"
#include "spectral/transform.h"

#include <QPointer>
#include <QStatusBar>
#include <QTimer>

#include <array>
#include <atomic>

namespace {

class MainFormSafetyTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
    }
    void TearDown() override {
        SetMemoryLimit(0);
        MainFormTest::TearDown();
    }
    // The window, destroyed by the next turn of whatever event loop runs.
    void DestroyLater() { Form.release()->deleteLater(); }
    // The next transform holds until the window, destroyed at its first
    // report, stops it.
    void DestroyDuringTransform() {
        Form->TransformEngine = [](TSpectrumStore& store, TTransformDirection direction,
                                   const TBitmap24* source, IProgress& progress,
                                   const TTransformOptions& options) {
            THoldAt hold(progress, options.Cancel, 0.0);
            return TransformStore(store, direction, source, hold, options);
        };
        QObject::connect(Form.get(), &TForm1::transformProgressed, Form.get(), [this] {
            if (Form) DestroyLater();
        });
    }
};

TEST_F(MainFormSafetyTest, AWindowDestroyedDuringATransformIsLeftAlone) {
    OpenImage(WriteBitmap("scan.bmp", 40, 250, 9));
    const tdline before = Store.Planes[0];
    DestroyDuringTransform();
    const QPointer<TForm1> window(Form.get());
    window->ToolTransform->click();

    EXPECT_TRUE(window.isNull()) << "destroyed while the run went on";
    EXPECT_EQ(Store.Planes[0], before) << "the cancelled run gave the store back";
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormSafetyTest, AWindowDestroyedWhileQuitSavesItsSpectrumSavesNothing) {
    OpenSpectrum(40, 250, 3);
    Dialogs.Choices.push_back(0); // save the changes
    Dialogs.Files.push_back(QString::fromStdString(Files.File("saved.bmp")));
    const size_t asked = Dialogs.FileDialogs.size();
    DestroyDuringTransform();
    const QPointer<TForm1> window(Form.get());
    window->Beenden1->trigger();

    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(Dialogs.FileDialogs.size(), asked) << "no file to save to asked for";
    EXPECT_EQ(QuitCalls, 0);
}

TEST_F(MainFormSafetyTest, AWindowDestroyedWhileABigFileLoadsIsLeftAlone) {
    // Over the size that small files load at once with.
    const std::string path = WriteBitmap("page.bmp", 400, 300, 5);
    std::atomic<bool> ticked{false};
    Form->ReadPicture = [&ticked](const std::string& fileName) {
        WaitUntilSet(ticked);
        return ReadImageFile(fileName);
    };
    QTimer::singleShot(0, Form.get(), [this, &ticked] {
        DestroyLater();
        ticked = true;
    });
    const QPointer<TForm1> window(Form.get());
    Open(path);

    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(Store.Cols, 400) << "the store the load filled stays the program's";
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormSafetyTest, ACancelledApplyGetsTheShrunkStoreBackWithMemoryRefused) {
    const std::string path = Files.File("scan.bmp");
    TBitmap24 picture(64, 48);
    for (size_t i = 0; i < picture.Bytes.size(); ++i) picture.Bytes[i] = uint8_t(i * 13 + 1);
    WriteImageFile(path, picture);
    OpenImage(path);
    Form->AddFilterEntry(kFilterResizeBase, 50.0f, 0, 0, 0);
    const std::array<tdline, 3> planes{Store.Planes[0], Store.Planes[1], Store.Planes[2]};
    const QString title = Form->windowTitle();
    // The transform back is cancelled when memory has become scarce: no
    // request passes any more.
    bool scarce = true;
    Form->TransformEngine = [&scarce](TSpectrumStore& store, TTransformDirection direction,
                                      const TBitmap24* source, IProgress& progress,
                                      const TTransformOptions& options) {
        if (scarce && direction == TTransformDirection::Inverse && options.Cancel) {
            SetMemoryLimit(1);
            throw ETransformCancelled();
        }
        return TransformStore(store, direction, source, progress, options);
    };
    Form->Toolapply->click();

    EXPECT_TRUE(Dialogs.Errors.empty());
    ASSERT_EQ(Store.Cols, 64);
    ASSERT_EQ(Store.Rows, 48);
    for (size_t p = 0; p < 3; ++p) EXPECT_EQ(Store.Planes[p], planes[p]) << "plane " << p;
    EXPECT_EQ(Store.WorkPlane.size(), Store.CellCount());
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->Image1->Picture.Bytes, picture.Bytes);
    EXPECT_EQ(Form->windowTitle(), title);
    EXPECT_EQ(Form->StatusPanels[0]->text(), "Transform cancelled");
    SetMemoryLimit(0);
    scarce = false;
    // The window goes on from there: the filter applies as it would have.
    Form->Toolapply->click();
    EXPECT_EQ(Store.Cols, 32);
    EXPECT_TRUE(Dialogs.Errors.empty());
}

} // namespace
