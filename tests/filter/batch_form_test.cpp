// The batch dialog on real widgets: which files it lists, the selection in
// list order with full paths, folder browsing in both columns, the target
// chosen by a single click, a typed path or a new folder, a folder that
// cannot be read, and the modal run closed by OK or cancel.

#include "filter/batch_form.h"
#include "filter/batch_runner.h"
#include "shell/language_tables.h"
#include "tests/support/test_support.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts.append(list->item(i)->text());
    return texts;
}

QListWidgetItem* ItemNamed(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
}

class BatchFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"b.bmp", "c.JPG", "a.Bmp", "d.jpeg", "e.png", "notes.txt", "bmp",
                                 "z.jpg.txt", "y.jpg"})
            std::ofstream(Dir.File(name)) << "x";
        fs::create_directories(Dir.Path() / "sub");
        fs::create_directories(Dir.Path() / "folder.bmp");
        std::ofstream(Dir.File("sub/inner.jpg")) << "x";
        Folder = QString::fromStdString(Dir.Path().string());
    }

    TTempDir Dir;
    QString Folder;
};

TEST_F(BatchFormTest, IsAFixedDialogWithItsCaptions) {
    TFormBatch batch;
    EXPECT_EQ(batch.windowTitle(), "Batchconversion");
    EXPECT_EQ(batch.size(), QSize(413, 376));
    EXPECT_EQ(batch.minimumSize(), batch.maximumSize());
    EXPECT_EQ(batch.Label1->text(), "Source");
    EXPECT_EQ(batch.Label2->text(), "Target");
    EXPECT_EQ(batch.BitBtn1->text(), "OK");
    EXPECT_EQ(batch.BitBtn2->text(), "Cancel");
    EXPECT_EQ(batch.FileListIn->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(batch.SourceFolder(), QDir::currentPath());
    EXPECT_EQ(batch.TargetFolder(), QDir::currentPath());
    // Every control lies inside the client area.
    for (QWidget* w : batch.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(batch.rect().contains(w->geometry())) << w->objectName().toStdString();
    }
}

TEST_F(BatchFormTest, ListsOnlyBitmapAndJpegFilesInAnyLetterCase) {
    EXPECT_TRUE(TFormBatch::IsBatchFileName("x.bmp"));
    EXPECT_TRUE(TFormBatch::IsBatchFileName("X.JPG"));
    EXPECT_FALSE(TFormBatch::IsBatchFileName("x.jpeg"));
    EXPECT_FALSE(TFormBatch::IsBatchFileName("x.bmp.png"));
    EXPECT_FALSE(TFormBatch::IsBatchFileName("bmp"));

    TFormBatch batch;
    batch.SetSourceFolder(Folder);
    EXPECT_EQ(Texts(batch.FileListIn), (QStringList{"a.Bmp", "b.bmp", "c.JPG", "y.jpg"}))
        << "folders named like images are not files";
    EXPECT_EQ(Texts(batch.DirListIn), (QStringList{"..", "folder.bmp", "sub"}));
}

TEST_F(BatchFormTest, SelectionComesInListOrderWithFullPaths) {
    TFormBatch batch;
    batch.SetSourceFolder(Folder + "/sub/..");
    EXPECT_EQ(batch.SourceFolder(), Folder) << "kept as a clean absolute path";
    EXPECT_EQ(batch.SelectedFiles().size(), 4) << "a folder just opened has every file selected";
    batch.FileListIn->clearSelection();
    // Chosen in reverse; the run takes them in the order of the list.
    batch.FileListIn->item(3)->setSelected(true);
    batch.FileListIn->item(1)->setSelected(true);
    batch.FileListIn->item(2)->setSelected(true);
    EXPECT_EQ(batch.SelectedFiles(),
              (QStringList{Folder + "/b.bmp", Folder + "/c.JPG", Folder + "/y.jpg"}));
    batch.FileListIn->selectAll();
    EXPECT_EQ(batch.SelectedFiles().size(), 4);
}

TEST_F(BatchFormTest, FolderListsOpenFoldersAndGoUp) {
    TFormBatch batch;
    batch.SetSourceFolder(Folder);
    batch.SetTargetFolder(Folder);
    emit batch.DirListIn->itemActivated(ItemNamed(batch.DirListIn, "sub"));
    EXPECT_EQ(batch.SourceFolder(), Folder + "/sub");
    EXPECT_EQ(Texts(batch.FileListIn), QStringList{"inner.jpg"});
    EXPECT_EQ(batch.TargetFolder(), Folder) << "the columns are independent";
    emit batch.DirListIn->itemActivated(ItemNamed(batch.DirListIn, ".."));
    EXPECT_EQ(batch.SourceFolder(), Folder);

    emit batch.DirListout->itemActivated(ItemNamed(batch.DirListout, "folder.bmp"));
    EXPECT_EQ(batch.TargetFolder(), Folder + "/folder.bmp");
    EXPECT_EQ(batch.SourceFolder(), Folder);

    batch.SetTargetFolder("/");
    EXPECT_EQ(batch.TargetFolder(), "/");
    EXPECT_EQ(ItemNamed(batch.DirListout, ".."), nullptr) << "no way up from the root";
}

TEST_F(BatchFormTest, ASingleClickMakesAFolderTheTargetAndThePathFieldShowsIt) {
    TFormBatch batch;
    batch.SetTargetFolder(Folder);
    batch.show();
    QListWidget* list = batch.DirListout;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(ItemNamed(list, "sub")).center());
    EXPECT_EQ(batch.TargetFolder(), Folder + "/sub");
    EXPECT_EQ(batch.TargetPath->text(), QDir::toNativeSeparators(Folder + "/sub"));
    EXPECT_EQ(Texts(list), (QStringList{"..", "folder.bmp", "sub"}))
        << "the list stays where it is";
    batch.Refresh();
    EXPECT_EQ(batch.TargetFolder(), Folder + "/sub") << "kept over a refresh";
    list->clearSelection();
    EXPECT_EQ(batch.TargetFolder(), Folder) << "nothing selected: the folder shown";

    // A typed path is opened when confirmed; one that is no folder is refused.
    batch.TargetPath->setText(Folder + "/folder.bmp");
    emit batch.TargetPath->editingFinished();
    EXPECT_EQ(batch.TargetFolder(), Folder + "/folder.bmp");
    EXPECT_EQ(Texts(list), QStringList{".."});
    batch.TargetPath->setText(Folder + "/nowhere");
    batch.accept();
    EXPECT_EQ(batch.result(), QDialog::Rejected) << "not closed with a missing target";
    EXPECT_EQ(batch.Note->text(), "The target folder " + Folder + "/nowhere does not exist.");

    // A new folder is made inside the target and becomes the target.
    batch.SetTargetFolder(Folder);
    ASSERT_TRUE(batch.MakeFolder("made"));
    EXPECT_TRUE(fs::is_directory(Dir.Path() / "made"));
    EXPECT_EQ(batch.TargetFolder(), Folder + "/made");
    EXPECT_EQ(list->currentItem()->text(), "made");
    EXPECT_FALSE(batch.MakeFolder("../escape"));
    batch.SetTargetFolder(Folder);
    EXPECT_FALSE(batch.MakeFolder("made"));
    EXPECT_TRUE(batch.Note->text().startsWith("Folder " + Folder + "/made cannot be created ("));
}

TEST_F(BatchFormTest, AFolderThatCannotBeReadSaysSoAndOffersNothing) {
    TFormBatch batch;
    // In German, as the main window hands the texts over.
    TLanguageState german;
    SelectLanguageTable(german, 1);
    batch.ApplyTexts([&](const std::string& key, const QString& fallback) {
        return QString::fromStdString(LookupText(german, key, fallback.toStdString()));
    });
    EXPECT_EQ(batch.BitBtn2->text(), "Abbrechen");
    const QString gone = Folder + "/gone";
    batch.SetSourceFolder(gone);
    EXPECT_EQ(batch.SourceFolder(), gone);
    ASSERT_EQ(batch.FileListIn->count(), 1);
    EXPECT_TRUE(batch.FileListIn->item(0)->text().startsWith("Ordner " + gone +
                                                             " kann nicht gelesen werden"));
    batch.FileListIn->selectAll();
    EXPECT_TRUE(batch.SelectedFiles().isEmpty()) << "the notice is no file";
    ASSERT_NE(ItemNamed(batch.DirListIn, ".."), nullptr) << "the way back stays open";
    emit batch.DirListIn->itemActivated(ItemNamed(batch.DirListIn, ".."));
    EXPECT_EQ(batch.FileListIn->count(), 4);

    if (geteuid() != 0) { // permissions do not bind the superuser
        const fs::path locked = Dir.Path() / "locked";
        fs::create_directories(locked);
        fs::permissions(locked, fs::perms::none);
        batch.SetSourceFolder(QString::fromStdString(locked.string()));
        EXPECT_EQ(batch.FileListIn->count(), 1);
        EXPECT_FALSE(batch.FileListIn->item(0)->flags() & Qt::ItemIsSelectable);
        fs::permissions(locked, fs::perms::owner_all);
    }
}

TEST_F(BatchFormTest, ExecuteIsConfirmedOnlyByOkAndKeepsTheFolders) {
    TFormBatch batch;
    batch.SetSourceFolder(Folder);
    batch.SetTargetFolder(Folder + "/sub");
    QTimer::singleShot(0, &batch, [&] {
        batch.FileListIn->clearSelection();
        batch.FileListIn->item(0)->setSelected(true);
        batch.BitBtn1->click();
    });
    EXPECT_TRUE(batch.Execute());
    EXPECT_EQ(batch.SelectedFiles(), QStringList{Folder + "/a.Bmp"});
    EXPECT_EQ(batch.TargetFolder(), Folder + "/sub");

    // A file that appears between two runs is listed at the next one.
    std::ofstream(Dir.File("0.jpg")) << "x";
    QTimer::singleShot(0, &batch, [&] {
        EXPECT_EQ(batch.FileListIn->item(0)->text(), "0.jpg");
        batch.BitBtn2->click();
    });
    EXPECT_FALSE(batch.Execute());
    EXPECT_EQ(batch.SourceFolder(), Folder);
    EXPECT_EQ(batch.TargetFolder(), Folder + "/sub");

    QTimer::singleShot(0, &batch, [&] { batch.reject(); });
    EXPECT_FALSE(batch.Execute()) << "closing the window is no confirmation";
}

TEST_F(BatchFormTest, OkNeedsASelectionAndRefusesResultsThatWouldReplaceASource) {
    TFormBatch batch;
    batch.SetSourceFolder(Folder);
    batch.SetTargetFolder(Folder);
    batch.show();
    // Without a file there is nothing to do, and the note says what is needed.
    batch.FileListIn->clearSelection();
    EXPECT_FALSE(batch.BitBtn1->isEnabled());
    EXPECT_EQ(batch.Note->text(), "Select the files to convert.");
    batch.FileListIn->item(1)->setSelected(true); // b.bmp
    EXPECT_TRUE(batch.BitBtn1->isEnabled());
    EXPECT_TRUE(batch.Note->text().isEmpty());

    // Into its own folder under its own name, the result would be the scan.
    batch.accept();
    EXPECT_TRUE(batch.isVisible());
    EXPECT_EQ(batch.Note->text(),
              "b.bmp would replace the source b.bmp: choose another target folder or format.");
    // In another format it is a file of its own; the same holds for a link
    // to the source under the result's name.
    batch.OutputFormat->setCurrentIndex(batch.OutputFormat->findText("PNG"));
    EXPECT_EQ(batch.OutputExtension(), "png");
    ASSERT_EQ(batch.PlannedFiles().size(), 1u);
    EXPECT_EQ(batch.PlannedFiles()[0].Target, Dir.File("b.png"));
    fs::create_symlink(Dir.File("b.bmp"), Dir.File("b.png"));
    batch.accept();
    EXPECT_TRUE(batch.isVisible());
    EXPECT_TRUE(batch.Note->text().startsWith("b.png would replace the source"));
    fs::remove(Dir.File("b.png"));
    batch.accept();
    EXPECT_FALSE(batch.isVisible());
}

TEST_F(BatchFormTest, NamesTheFilterItAppliesInTheInterfaceLanguage) {
    TFormBatch batch;
    batch.SetFilter({}, 66);
    EXPECT_EQ(batch.FilterInfo->text(), "Filter: unsaved, 66 entries");
    batch.SetFilter(Folder + "/scans.flt", 1);
    EXPECT_EQ(batch.FilterInfo->text(), "Filter: scans.flt, 1 entry");
    batch.SetFilter(Folder + "/scans.flt", 3);
    EXPECT_EQ(batch.FilterInfo->text(), "Filter: scans.flt, 3 entries");
    const TLanguageState german = [] {
        TLanguageState state;
        SelectLanguageTable(state, 1);
        state.Language = 1;
        return state;
    }();
    batch.ApplyTexts([&](const std::string& key, const QString& fallback) {
        return QString::fromStdString(LookupText(german, key, fallback.toStdString()));
    });
    EXPECT_EQ(batch.FilterInfo->text(), QString::fromUtf8("Filter: scans.flt, 3 Einträge"));
    batch.SetFilter({}, 1);
    EXPECT_EQ(batch.FilterInfo->toolTip(), "Filter: nicht gespeichert, 1 Eintrag");
    EXPECT_EQ(batch.OutputFormat->itemText(0), "wie die Quelle");
}

} // namespace
