// Files handed to the main window from outside: named on the command line or
// dropped onto the window. They go the way of Open image and Open filter.

#include "tests/app/main_form_fixture_test.h"

#include "app/file_drop.h"
#include "app/image_view.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <fstream>

namespace {

class FileDropTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        new TFileDrop(*Form);
        ShowForm();
    }
    std::string WriteFilter(const std::string& name) {
        const std::string path = Files.File(name);
        std::ofstream(path, std::ios::binary)
            << "typ=rec,x1=0.10000,x2=0.20000,y1=0.10000,y2=0.20000\r\n";
        return path;
    }
    static QMimeData* FileList(const std::vector<std::string>& paths) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
        data->setUrls(urls);
        return data;
    }
    // Drags data over the window and drops it; whether the window took it.
    bool Drop(QMimeData* data) {
        std::unique_ptr<QMimeData> owned(data);
        const QPoint at = Form->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(Form.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(Form.get(), &drop);
        // The files open right after the drop, not inside it.
        QTest::qWait(0);
        QCoreApplication::processEvents();
        return drop.isAccepted();
    }
    QString Title() const { return Form->windowTitle(); }
};

TEST_F(FileDropTest, TheFirstImageAndTheFirstFilterAreChosen) {
    const TFilesToOpen c = ChooseFilesToOpen({"a.FLT", "one.jpg", "two.bmp", "b.flt", "three.bmp"});
    EXPECT_EQ(c.Image, "one.jpg");
    EXPECT_EQ(c.Filter, "a.FLT");
    EXPECT_EQ(ChooseFilesToOpen({"only.flt"}).Image, "");
    EXPECT_EQ(ChooseFilesToOpen({"noext"}).Image, "noext") << "the open command judges it";
}

TEST_F(FileDropTest, CommandLineOpensTheImageAndLoadsTheFilterWithoutADialog) {
    OpenFiles(*Form, {QString::fromStdString(WriteBitmap("scan.bmp", 12, 10)),
                      QString::fromStdString(WriteFilter("screen.flt"))});
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Title(), "Pixmend (Standard-Edition) scan.bmp");
    EXPECT_EQ(Form->Image1->size(), QSize(12, 10));
    EXPECT_EQ(Protokol->EntryCount(), 1u);
    EXPECT_TRUE(On(TControlId::Toolapply)) << "image and filter: Apply filter is ready";
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
    EXPECT_TRUE(Dialogs.Errors.empty());

    // A changed image is replaced only after the question, as with Open.
    Form->Image1->ImageModified = 1;
    OpenFiles(*Form, {QString::fromStdString(WriteBitmap("other.bmp", 8, 8))});
    EXPECT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Title(), "*Pixmend (Standard-Edition) scan.bmp") << "Cancel keeps the image";

    // Nothing replaces the spectrum while it is shown.
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 2);
    OpenFiles(*Form, {QString::fromStdString(WriteBitmap("third.bmp", 8, 8))});
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(Dialogs.Questions.size(), 1u);
}

TEST_F(FileDropTest, DroppedFilesOpenLikeOpen) {
    EXPECT_TRUE(Drop(FileList({WriteBitmap("first.bmp", 12, 10)})));
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Title(), "Pixmend (Standard-Edition) first.bmp");

    // Several files: the first image, and the filter among them.
    EXPECT_TRUE(Drop(FileList(
        {WriteFilter("f.flt"), WriteBitmap("second.bmp", 6, 4), WriteBitmap("third.bmp", 8, 8)})));
    EXPECT_EQ(Title(), "Pixmend (Standard-Edition) second.bmp");
    EXPECT_EQ(Form->Image1->size(), QSize(6, 4));
    EXPECT_EQ(Protokol->EntryCount(), 1u);
    EXPECT_TRUE(Dialogs.FileDialogs.empty());

    // What is no local file is not taken, nor an image while the spectrum is shown.
    auto* text = new QMimeData;
    text->setText("scan.bmp");
    EXPECT_FALSE(Drop(text));
    Form->ToolTransform->click();
    EXPECT_FALSE(Drop(FileList({WriteBitmap("fourth.bmp", 8, 8)})));
    EXPECT_TRUE(Drop(FileList({WriteFilter("g.flt")})));
}

TEST_F(FileDropTest, ADroppedDamagedFileShowsTheErrorAndKeepsTheImage) {
    ASSERT_TRUE(Drop(FileList({WriteBitmap("good.bmp", 12, 10, 3)})));
    const TBitmap24 before = Form->Image1->Picture;
    std::vector<uint8_t> bytes = ReadFileBytes(WriteBitmap("cut.bmp", 64, 64));
    bytes.resize(bytes.size() / 2);
    WriteFileBytes(Files.File("cut.bmp"), bytes);

    EXPECT_TRUE(Drop(FileList({Files.File("cut.bmp")})));
    EXPECT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_EQ(Form->Image1->Picture.Bytes, before.Bytes);
    EXPECT_EQ(Store.Cols, 12);
    EXPECT_EQ(Title(), "Pixmend (Standard-Edition) good.bmp");
    EXPECT_EQ(Form->CommandState(), 1);
}

} // namespace
