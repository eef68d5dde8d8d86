// Apply filter and the batch run from the main window, on real widgets and
// real files: the result against the engine's own replay, a resize entry
// before smoothings; batches writing into the folder clicked in the dialog,
// byte for byte what pixmend-cli apply writes, ending at a damaged file with
// the earlier results kept, cancelled after the current file, and the window
// answering while the worker holds a file.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/shape_mark.h"
#include "filter/apply_filter.h"
#include "filter/descreen.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"

#include "imagefile/image_file.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>

namespace {

class MainFormFilterTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
    }
    // The filter the window would record, through the window.
    void RecordFilter() {
        Form->AddFilterEntry(kFilterResizeBase, 50.0f, 0, 0, 0);
        Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
        Form->AddFilterEntry(kFilterEllipse, 0.5f, 0.7f, 0.05f, 0.45f);
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
    // selected; the target chosen as a user does, by a single click on the
    // folder `target` in the list of its parent. Returns once the run ended.
    void RunBatch(const std::string& source, const std::vector<QString>& names,
                  const std::string& target) {
        StartBatch(source, names, target);
        WaitForBatch();
    }
    void StartBatch(const std::string& source, const std::vector<QString>& names,
                    const std::string& target) {
        QTimer::singleShot(0, Batch.get(), [=, this] {
            Batch->SetSourceFolder(QString::fromStdString(source));
            const std::filesystem::path folder(target);
            Batch->SetTargetFolder(QString::fromStdString(folder.parent_path().string()));
            const auto found = Batch->DirListout->findItems(
                QString::fromStdString(folder.filename().string()), Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1);
            QWidget* viewport = Batch->DirListout->viewport();
            QTest::mouseClick(viewport, Qt::LeftButton, {},
                              Batch->DirListout->visualItemRect(found.front()).center());
            for (int row = 0; row < Batch->FileListIn->count(); ++row) {
                QListWidgetItem* item = Batch->FileListIn->item(row);
                item->setSelected(std::find(names.begin(), names.end(), item->text()) !=
                                  names.end());
            }
            Batch->BitBtn1->click();
        });
        Form->ToolBatchrun->click();
    }
    void WaitForBatch() {
        QSignalSpy finished(Form.get(), &TForm1::BatchFinished);
        if (Form->BatchRunning()) {
            ASSERT_TRUE(finished.wait(120000));
        }
    }
};

TEST_F(MainFormFilterTest, ApplyWithAResizeBeforeSmoothingsMatchesTheEngine) {
    const std::string path = WriteBitmap("scan.bmp", 64, 48, 3);
    OpenImage(path);
    RecordFilter();
    ASSERT_TRUE(On(TControlId::Toolapply));
    Form->Toolapply->click();

    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Form->CommandState(), 1);
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
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    Protokol->AppendLine("typ=resize");
    Form->Toolapply->click();
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_EQ(Dialogs.Errors[0], "'' is not a valid integer value");
    EXPECT_EQ(Form->CommandState(), 2) << "stopped between the transforms";
}

TEST_F(MainFormFilterTest, BatchWritesIntoTheClickedFolderWhatTheCommandLineToolWrites) {
    for (const char* folder : {"in", "parent/out", "parent/other", "cli"})
        std::filesystem::create_directories(Files.File(folder));
    Form->ToolDe->click();
    const std::string source = Files.File("in"), target = Files.File("parent/out");
    WriteBitmap("in/a.bmp", 40, 30, 1);
    WriteBitmap("in/b.bmp", 36, 20, 2);
    RecordFilter();
    Protokol->SaveFilterFile(Files.File("f.flt"));
    ASSERT_TRUE(On(TControlId::ToolBatchrun)) << "a batch may start with no image open";
    RunBatch(source, {"a.bmp", "b.bmp"}, target);

    EXPECT_FALSE(Form->BatchRunning());
    ASSERT_TRUE(Dialogs.Errors.empty()) << Dialogs.Errors[0].toStdString();
    EXPECT_TRUE(std::filesystem::is_empty(Files.File("parent/other")));
    const TCliRun cli = RunCli("apply '" + Files.File("f.flt") + "' '" + source + "/a.bmp' '" +
                               source + "/b.bmp' -o '" + Files.File("cli") + "'");
    ASSERT_EQ(cli.status, 0) << cli.out;
    for (const char* name : {"/a.bmp", "/b.bmp"}) {
        const auto written = ReadFileBytes(target + name);
        EXPECT_FALSE(written.empty()) << name;
        EXPECT_EQ(written, ReadFileBytes(Files.File("cli") + name)) << name;
    }
    // The window is as it was, with no image; the summary says where the
    // results went.
    EXPECT_EQ(Form->CommandState(), 0);
    EXPECT_TRUE(On(TControlId::ToolOpen));
    EXPECT_TRUE(On(TControlId::ToolBatchrun));
    ASSERT_EQ(Dialogs.Informations.size(), 1u);
    EXPECT_EQ(Dialogs.Informations[0],
              "2 von 2 Dateien geschrieben nach " + QString::fromStdString(target) + ".");
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
    Form->ToolDe->click();
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    RunBatch(source, {"a.bmp", "b.bmp", "c.bmp"}, target);

    ASSERT_EQ(Dialogs.Errors.size(), 1u) << "one box for the run";
    const QStringList summary = Dialogs.Errors[0].split('\n');
    ASSERT_EQ(summary.size(), 6) << Dialogs.Errors[0].toStdString();
    EXPECT_EQ(summary[0],
              "1 von 3 Dateien geschrieben nach " + QString::fromStdString(target) + ".");
    EXPECT_EQ(summary[2], "Fehlgeschlagen:");
    EXPECT_TRUE(summary[3].startsWith("b.bmp: ")) << summary[3].toStdString();
    EXPECT_GT(summary[3].size(), 10) << "with its reason";
    EXPECT_EQ(summary[5], "Nach dem Fehler angehalten: 1 Datei nicht bearbeitet.");
    EXPECT_FALSE(Form->BatchRunning());
    const TBitmap24 first = Expected(a);
    EXPECT_TRUE(ReadImageFile(target + "/a.bmp").Bytes == first.Bytes);
    EXPECT_FALSE(std::filesystem::exists(target + "/b.bmp"));
    EXPECT_FALSE(std::filesystem::exists(target + "/c.bmp")) << "no file after the failing one";
    EXPECT_EQ(Form->CommandState(), 0) << "no processed image is shown";
}

TEST_F(MainFormFilterTest, TheReasonOfAFailedFileSpeaksTheInterfaceLanguage) {
    const std::string source = Files.File("in");
    std::filesystem::create_directories(source);
    std::ofstream(Files.File("in/b.bmp"), std::ios::binary) << "BM this is no bitmap";
    Form->Toolgb->click();
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    std::filesystem::create_directories(Files.File("out"));
    RunBatch(source, {"b.bmp"}, Files.File("out"));
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_TRUE(Dialogs.Errors[0].contains("\nb.bmp: The picture is not valid"))
        << Dialogs.Errors[0].toStdString();
}

TEST_F(MainFormFilterTest, NothingIsDrawnDuringABatchWhileTheSpectrumIsCurrent) {
    const std::string source = Files.File("in");
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(Files.File("out"));
    WriteBitmap("in/a.bmp", 16, 12, 5);
    const TImageAccess disk = ImageFileAccess();
    // Runs a batch on a.bmp and calls `during` while the worker holds it.
    auto duringABatch = [&](const std::function<void()>& during) {
        std::promise<void> reached, go;
        std::shared_future<void> released = go.get_future().share();
        Form->BatchImages = {[&reached, released, disk](const std::string& name) {
                                 reached.set_value();
                                 released.wait();
                                 return disk.Read(name);
                             },
                             disk.Write};
        StartBatch(source, {"a.bmp"}, Files.File("out"));
        reached.get_future().wait();
        ASSERT_TRUE(Form->BatchRunning());
        during();
        go.set_value();
        WaitForBatch();
    };
    OpenSpectrum(20, 10, 2);
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    TBitmap24& view = Form->Image1->Picture;
    duringABatch([&] {
        std::fill(view.Bytes.begin(), view.Bytes.end(), uint8_t(7));
        Form->DrawStore();
        EXPECT_TRUE(
            std::all_of(view.Bytes.begin(), view.Bytes.end(), [](uint8_t b) { return b == 7; }));
    });
    // The spectrum is still the window's, and is drawn as always once the run ended.
    EXPECT_EQ(Form->CommandState(), 2);
    Form->DrawStore();
    EXPECT_FALSE(
        std::all_of(view.Bytes.begin(), view.Bytes.end(), [](uint8_t b) { return b == 7; }));
}

TEST_F(MainFormFilterTest, ABatchLeavesTheOpenPictureItsStoreFilterAndUndoAlone) {
    for (const char* folder : {"in", "out"})
        std::filesystem::create_directories(Files.File(folder));
    WriteBitmap("in/a.bmp", 40, 30, 1);
    WriteBitmap("in/b.bmp", 36, 20, 2);
    OpenSpectrum(48, 32, 6);
    Form->Shape->SetMark(TMarkRect{4, 4, 10, 8});
    Form->ToolStempel->click(); // unsaved work: a smoothing, its entry and its undo step
    ASSERT_TRUE(On(TControlId::Toolundo));
    const TSpectrumStore store = Store;
    const std::vector<uint8_t> picture = Form->Image1->Picture.Bytes;
    const std::vector<std::string> filter = Protokol->List().Lines();
    const QString title = Form->windowTitle();
    const int32_t modified = Form->Image1->ImageModified;

    RunBatch(Files.File("in"), {"a.bmp", "b.bmp"}, Files.File("out"));
    ASSERT_TRUE(Dialogs.Errors.empty()) << Dialogs.Errors[0].toStdString();
    EXPECT_TRUE(std::filesystem::exists(Files.File("out/b.bmp")));
    EXPECT_EQ(Form->CommandState(), 2);
    for (int p = 0; p < 3; ++p) EXPECT_TRUE(Store.Planes[p] == store.Planes[p]) << "plane " << p;
    EXPECT_EQ(Store.Cols, store.Cols);
    EXPECT_TRUE(Form->Image1->Picture.Bytes == picture);
    EXPECT_EQ(Protokol->List().Lines(), filter);
    EXPECT_EQ(Form->windowTitle(), title);
    EXPECT_EQ(Form->Image1->ImageModified, modified);
    // The smoothing can still be taken back.
    ASSERT_TRUE(On(TControlId::Toolundo));
    Form->Toolundo->click();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
}

TEST_F(MainFormFilterTest, CancelStopsAfterTheCurrentFileWhileTheWindowAnswers) {
    Form->Toolgb->click(); // English
    const std::string source = Files.File("in");
    const std::string target = Files.File("out");
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(target);
    for (const char* name : {"in/a.bmp", "in/b.bmp", "in/c.bmp"}) WriteBitmap(name, 32, 24, 4);
    OpenSpectrum(20, 16);
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f,
                         0.4f); // state 2, event 3: Batch run is on
    // The worker holds b.bmp until the test lets it go.
    std::promise<void> reached, go;
    std::shared_future<void> released = go.get_future().share();
    const TImageAccess disk = ImageFileAccess();
    Form->BatchImages = {[&, released](const std::string& name) {
                             if (name.ends_with("b.bmp")) {
                                 reached.set_value();
                                 released.wait();
                             }
                             return disk.Read(name);
                         },
                         disk.Write};
    StartBatch(source, {"a.bmp", "b.bmp", "c.bmp"}, target);
    reached.get_future().wait();
    QCoreApplication::processEvents(); // the events the worker posted so far

    EXPECT_TRUE(Form->BatchRunning());
    ASSERT_NE(Form->BatchProgress(), nullptr);
    EXPECT_TRUE(Form->BatchProgress()->isVisible());
    EXPECT_EQ(Form->BatchProgress()->labelText(), "File 2 of 3: b.bmp");
    EXPECT_EQ(Form->BatchProgress()->value(), 1);
    // Commands that would touch the image are off and do nothing.
    EXPECT_FALSE(On(TControlId::ToolTransform));
    EXPECT_FALSE(On(TControlId::Transform1));
    EXPECT_FALSE(On(TControlId::ToolBatchrun));
    Form->ToolTransform->click();
    Form->ToolundoClick(Form->Toolundo);
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(Protokol->EntryCount(), 1u);
    Form->AddFilterEntry(kFilterEllipse, 0.5f, 0.7f, 0.05f, 0.45f); // event 3 keeps them off
    EXPECT_FALSE(On(TControlId::ToolBatchrun));

    QPushButton* cancel = Form->BatchProgress()->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Cancel");
    cancel->click();
    EXPECT_EQ(Form->BatchProgress()->labelText(), "Stopping after the current file ...");
    go.set_value();
    WaitForBatch();

    EXPECT_FALSE(Form->BatchRunning());
    EXPECT_TRUE(std::filesystem::exists(target + "/a.bmp"));
    EXPECT_TRUE(std::filesystem::exists(target + "/b.bmp")) << "the current file is finished";
    EXPECT_FALSE(std::filesystem::exists(target + "/c.bmp"));
    ASSERT_EQ(Dialogs.Informations.size(), 1u);
    EXPECT_EQ(Dialogs.Informations[0], "2 of 3 files written to " + QString::fromStdString(target) +
                                           ".\n\nCancelled: 1 file not processed.");
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_TRUE(On(TControlId::ToolTransform));
}

TEST_F(MainFormFilterTest, TheDialogsTargetIsTheTypedOrNewFolder) {
    const std::string source = Files.File("in");
    std::filesystem::create_directories(source);
    WriteBitmap("in/a.bmp", 20, 20, 1);
    Form->ToolDe->click();
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    Batch->AskFolderName = [](const QString&, const QString&) { return QString("made"); };
    QTimer::singleShot(0, Batch.get(), [&] {
        EXPECT_EQ(Batch->NewFolder->text(), "Neuer Ordner");
        Batch->SetSourceFolder(QString::fromStdString(source));
        Batch->FileListIn->selectAll();
        // A folder that does not exist is refused with a reason.
        Batch->TargetPath->setText("nowhere");
        Batch->BitBtn1->click();
        EXPECT_TRUE(Batch->isVisible());
        EXPECT_TRUE(Batch->Note->text().startsWith("Der Zielordner"))
            << Batch->Note->text().toStdString();
        Batch->TargetPath->setText(QString::fromStdString(Files.Path().string()));
        Batch->NewFolder->click();
        Batch->BitBtn1->click();
    });
    Form->ToolBatchrun->click();
    WaitForBatch();
    EXPECT_TRUE(std::filesystem::exists(Files.File("made/a.bmp")));
}

TEST_F(MainFormFilterTest, CancelledOrEmptyBatchProcessesNothing) {
    const std::string source = Files.File("in");
    std::filesystem::create_directories(source);
    WriteBitmap("in/a.bmp", 20, 20, 1);
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    QTimer::singleShot(0, Batch.get(), [this] { Batch->BitBtn2->click(); });
    Form->ToolBatchrun->click();
    EXPECT_EQ(Form->CommandState(), 0);
    EXPECT_FALSE(Form->BatchRunning());

    // An emptied list: the command stays enabled but does nothing (no dialog).
    Protokol->Clear();
    Form->ToolBatchrun->click();
    EXPECT_EQ(Form->CommandState(), 0);
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormFilterTest, ThePanelNamesTheFilterAndNewFilterStartsOneUndoably) {
    EXPECT_EQ(Form->FilterPanel->text(), "Filter: unsaved, 0 entries");
    EXPECT_FALSE(Form->NewFilter1->isEnabled()) << "nothing to leave";
    OpenImage(WriteBitmap("scan.bmp", 16, 8));
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    EXPECT_EQ(Form->FilterPanel->text(), "Filter: unsaved, 1 entry");
    Form->AddFilterEntry(kFilterEllipse, 0.5f, 0.7f, 0.05f, 0.45f);
    EXPECT_EQ(Form->FilterPanel->text(), "Filter: unsaved, 2 entries");
    EXPECT_EQ(Form->windowTitle(), "*Pixmend (Standard-Edition) scan.bmp") << "the filter is work";
    Dialogs.Files = {QString::fromStdString(Files.File("screen.flt"))};
    Form->ToolSaveFilter->click();
    EXPECT_EQ(Form->FilterPanel->text(), "Filter: screen.flt, 2 entries");
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) scan.bmp");
    const std::vector<std::string> lines = Protokol->List().Lines();

    // New filter, on the picture, and back with one Undo; Redo does it again.
    ASSERT_TRUE(Form->NewFilter1->isEnabled());
    Form->NewFilter1->trigger();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    EXPECT_EQ(Form->FilterPanel->text(), "Filter: unsaved, 0 entries");
    ASSERT_TRUE(Form->Undo1->isEnabled());
    Form->Undo1->trigger();
    EXPECT_EQ(Protokol->List().Lines(), lines);
    EXPECT_TRUE(Form->FilterPanel->text().startsWith("Filter: screen.flt")) << "named again";
    ASSERT_TRUE(Form->Redo1->isEnabled());
    Form->Redo1->trigger();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    EXPECT_FALSE(Form->Redo1->isEnabled());

    Form->ToolDe->click();
    EXPECT_EQ(Form->FilterPanel->text(), "Filter: ungespeichert, 0 Eintr\u00e4ge");
}

TEST_F(MainFormFilterTest, AnotherPictureKeepsTheFilterOrStartsANewOne) {
    OpenImage(WriteBitmap("a.bmp", 16, 8));
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    // Cancel: the picture stays, and so does the filter.
    Open(WriteBitmap("b.bmp", 8, 8));
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Dialogs.Questions[0], "The filter holds 1 unsaved entry. Keep it for the new "
                                    "picture, or start a new filter?");
    EXPECT_EQ(Dialogs.ChoiceButtons[0], (QStringList{"Keep", "New filter", "Cancel"}));
    EXPECT_EQ(Form->windowTitle(), "*Pixmend (Standard-Edition) a.bmp");
    EXPECT_EQ(Protokol->EntryCount(), 1u);
    // Keep: the entries stay for the new picture.
    Dialogs.Choices = {0};
    Open(Files.File("b.bmp"));
    EXPECT_EQ(Form->windowTitle(), "*Pixmend (Standard-Edition) b.bmp");
    EXPECT_EQ(Protokol->EntryCount(), 1u);
    // New filter: empty, and Undo brings the entries back.
    Dialogs.Choices = {1};
    Open(WriteBitmap("c.bmp", 8, 8));
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) c.bmp");
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    Form->Toolundo->click();
    EXPECT_EQ(Protokol->EntryCount(), 1u);
    // A filter file, loaded and unchanged, stays without a question.
    Dialogs.Files = {QString::fromStdString(Files.File("kept.flt"))};
    Form->ToolSaveFilter->click();
    Dialogs.Files = {QString::fromStdString(Files.File("kept.flt"))};
    Form->ToolLoadFilter->click();
    const size_t asked = Dialogs.Questions.size();
    Open(Files.File("a.bmp"));
    EXPECT_EQ(Dialogs.Questions.size(), asked);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) a.bmp");
    EXPECT_EQ(Form->FilterPanel->text(), "Filter: kept.flt, 1 entry");
}

TEST_F(MainFormFilterTest, FindScreenReplacesTheEntriesOfItsLastRun) {
    const std::string path = Files.File("screened.bmp");
    WriteImageFile(path, ScreenedPicture(240, 180, 3.6));
    OpenImage(path);
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 2);
    Form->AddFilterEntry(kFilterRectangle, 0.9f, 0.95f, 0.9f, 0.95f); // the user's own entry
    const TFilterList first = DetectScreen(Store);
    Form->ToolFindScreen->click();
    ASSERT_GT(Protokol->EntryCount(), 2u);
    const std::vector<std::string> once = Protokol->List().Lines();
    const TSpectrumStore damped = Store;
    // Again on the same spectrum: the same entries and values, not a second set.
    Form->ToolFindScreen->click();
    EXPECT_EQ(Protokol->List().Lines(), once);
    for (int p = 0; p < 3; ++p) EXPECT_EQ(Store.Planes[p], damped.Planes[p]);
    // On the spectrum of the cleaned picture: this run's entries replace the last.
    Form->ToolTransform->click();
    Form->ToolTransform->click();
    const TFilterList second = DetectScreen(Store);
    Form->ToolFindScreen->click();
    std::vector<std::string> expected{once.front()};
    expected.insert(expected.end(), second.Lines().begin(), second.Lines().end());
    EXPECT_EQ(Protokol->List().Lines(), expected);
    EXPECT_EQ(first.EntryCount() + 1, once.size());
}

// A broken filter file is an error of its own command: the box names the
// file, the line and what is wrong in the interface language, the filter
// loaded before stays, and the next command shows no trace of it.
TEST_F(MainFormFilterTest, ABrokenFilterFileIsRefusedWholeAndItsErrorEndsWithIt) {
    Form->Toolgb->click();
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    Dialogs.Files = {QString::fromStdString(Files.File("good.flt"))};
    Form->ToolSaveFilter->click();
    const std::vector<std::string> good = Protokol->List().Lines();
    const std::string broken = Files.File("broken.flt");
    const std::string text = std::string("typ=rec,x1=1\r\ntyp=ell,x1=2") + '\0' + "\r\ntyp=rec\r\n";
    WriteFileBytes(broken, std::vector<uint8_t>(text.begin(), text.end()));
    Dialogs.Files = {QString::fromStdString(broken)};
    Form->ToolLoadFilter->click();
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_EQ(Dialogs.Errors[0], "Filter file " + QString::fromStdString(broken) +
                                     ", line 2: the line holds a NUL byte with more text after it");
    EXPECT_EQ(Protokol->List().Lines(), good);

    OpenImage(WriteBitmap("scan.bmp", 16, 12));
    EXPECT_EQ(Dialogs.Errors.size(), 1u) << "no later command repeats it";
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) scan.bmp");
    EXPECT_EQ(Form->StatusPanels[0]->text(), "image loaded");
}

} // namespace
