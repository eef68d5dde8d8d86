// Apply filter and the batch run from the main window, on real widgets and
// real files: the result against the engine's own replay, a resize entry
// before smoothings, batches writing every file, and a batch ending at a
// damaged file with the earlier results kept.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view_form.h"
#include "filter/apply_filter.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace {

class MainFormFilterTest : public MainFormTest {
  protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
        Form->BatchPauseMs = 0;
    }
    // The filter the window would record, through the window.
    void RecordFilter() {
        Form->AddFilterEntry(100, 50.0f, 0, 0, 0);
        Form->AddFilterEntry(0, 0.1f, 0.3f, 0.2f, 0.4f);
        Form->AddFilterEntry(1, 0.5f, 0.7f, 0.05f, 0.45f);
    }
    // What the engine makes of a file with the window's filter.
    TBitmap24 Expected(const std::string& path) {
        TSpectrumStore store;
        FillStoreFromBitmap(ReadImageFile(path), store);
        TNoProgress quiet;
        ApplyFilterToStore(store, Protokol->List(), quiet);
        return RenderStore(store, true, 0);
    }
    // Runs the batch with the dialog answered: these files of `source`
    // selected, results into `target`.
    void RunBatch(const std::string& source, const std::vector<QString>& names,
                  const std::string& target) {
        QTimer::singleShot(0, Batch.get(), [=, this] {
            Batch->SetSourceFolder(QString::fromStdString(source));
            Batch->SetTargetFolder(QString::fromStdString(target));
            for (int row = 0; row < Batch->FileListIn->count(); ++row) {
                QListWidgetItem* item = Batch->FileListIn->item(row);
                item->setSelected(std::find(names.begin(), names.end(), item->text()) !=
                                  names.end());
            }
            Batch->BitBtn1->click();
        });
        Form->ToolBatchrun->click();
    }
};

TEST_F(MainFormFilterTest, ApplyWithAResizeBeforeSmoothingsMatchesTheEngine) {
    const std::string path = WriteBitmap("scan.bmp", 64, 48, 3);
    OpenImage(path);
    RecordFilter();
    ASSERT_TRUE(On(TControlId::Toolapply));
    Form->Toolapply->click();

    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Form->CommandState, 1);
    EXPECT_EQ(Store.Cols, 32);
    EXPECT_EQ(Store.Rows, 24);
    EXPECT_EQ(Form->Image1->size(), QSize(32, 24));
    const TBitmap24 expected = Expected(path);
    EXPECT_TRUE(Form->Image1->Picture.Bytes == expected.Bytes);
    EXPECT_EQ(Form->Image1->ImageModified, 1);
    EXPECT_EQ(Protokol->EntryCount(), 3u) << "applying only reads the filter";
}

TEST_F(MainFormFilterTest, ApplyStopsAtAnUnreadableEntryWithItsMessage) {
    OpenImage(WriteBitmap("scan.bmp", 40, 30, 3));
    Form->AddFilterEntry(0, 0.1f, 0.3f, 0.2f, 0.4f);
    Protokol->AppendLine("typ=resize");
    Form->Toolapply->click();
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_EQ(Dialogs.Errors[0], "'' is not a valid integer value");
    EXPECT_EQ(Form->CommandState, 2) << "stopped between the transforms";
}

TEST_F(MainFormFilterTest, BatchOverTwoFilesInOneFolderWritesBoth) {
    const std::string source = Files.File("in");
    const std::string target = Files.File("out");
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(target);
    const std::string a = WriteBitmap("in/a.bmp", 40, 30, 1);
    const std::string b = WriteBitmap("in/b.bmp", 36, 20, 2);
    Form->AddFilterEntry(0, 0.1f, 0.3f, 0.2f, 0.4f);
    Form->AddFilterEntry(1, 0.5f, 0.7f, 0.05f, 0.45f);
    ASSERT_TRUE(On(TControlId::ToolBatchrun)) << "a batch may start with no image open";
    RunBatch(source, {"a.bmp", "b.bmp"}, target);

    EXPECT_TRUE(Dialogs.Errors.empty())
        << (Dialogs.Errors.empty() ? "" : Dialogs.Errors[0].toStdString());
    EXPECT_FALSE(Form->BatchRunning);
    EXPECT_TRUE(ReadImageFile(target + "/a.bmp").Bytes == Expected(a).Bytes);
    const TBitmap24 lastExpected = Expected(b);
    EXPECT_TRUE(ReadImageFile(target + "/b.bmp").Bytes == lastExpected.Bytes);
    // The last image stays shown, in the image state.
    EXPECT_EQ(Form->CommandState, 1);
    EXPECT_TRUE(Form->Image1->Picture.Bytes == lastExpected.Bytes);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) b.bmp");
}

TEST_F(MainFormFilterTest, BatchStopsAtADamagedFileKeepingEarlierResults) {
    const std::string source = Files.File("in");
    const std::string target = Files.File("out");
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(target);
    const std::string a = WriteBitmap("in/a.bmp", 40, 30, 1);
    {
        std::ofstream damaged(Files.File("in/b.bmp"), std::ios::binary);
        damaged << "BM this is no bitmap";
    }
    WriteBitmap("in/c.bmp", 30, 30, 3);
    Form->AddFilterEntry(0, 0.1f, 0.3f, 0.2f, 0.4f);
    RunBatch(source, {"a.bmp", "b.bmp", "c.bmp"}, target);

    ASSERT_EQ(Dialogs.Errors.size(), 1u) << "one error box for the run";
    EXPECT_FALSE(Form->BatchRunning);
    const TBitmap24 first = Expected(a);
    EXPECT_TRUE(ReadImageFile(target + "/a.bmp").Bytes == first.Bytes);
    EXPECT_FALSE(std::filesystem::exists(target + "/b.bmp"));
    EXPECT_FALSE(std::filesystem::exists(target + "/c.bmp")) << "no file after the failing one";
    EXPECT_EQ(Form->CommandState, 1);
    EXPECT_TRUE(Form->Image1->Picture.Bytes == first.Bytes) << "the last processed image stays";
}

TEST_F(MainFormFilterTest, CancelledOrEmptyBatchProcessesNothing) {
    const std::string source = Files.File("in");
    std::filesystem::create_directories(source);
    WriteBitmap("in/a.bmp", 20, 20, 1);
    Form->AddFilterEntry(0, 0.1f, 0.3f, 0.2f, 0.4f);
    QTimer::singleShot(0, Batch.get(), [this] { Batch->BitBtn2->click(); });
    Form->ToolBatchrun->click();
    EXPECT_EQ(Form->CommandState, 0);
    EXPECT_FALSE(Form->BatchRunning);

    // An emptied list: the command stays enabled but does nothing (no dialog).
    Protokol->Clear();
    Form->ToolBatchrun->click();
    EXPECT_EQ(Form->CommandState, 0);
    EXPECT_TRUE(Dialogs.Errors.empty());
}

} // namespace
