// The image commands of the main window: Open, Save, Copy, Paste with the
// overwrite question, titles, status texts and what every failure leaves.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/picture_dialog.h"
#include "imagefile/image_file.h"
#include <QPushButton>

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMimeData>

#include <filesystem>
#include <fstream>

namespace {

class MainFormFileTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm(); // English, as on a first run
    }

    QString Status() const { return Form->StatusPanels[0]->text(); }
};

TEST_F(MainFormFileTest, OpenLoadsTheImageIntoViewAndStore) {
    // One pixel with blue 0, green 127, red 255 at (1, 0).
    TBitmap24 bitmap(3, 2);
    uint8_t* px = bitmap.Pixel(1, 0);
    px[0] = 0;
    px[1] = 127;
    px[2] = 255;
    const std::string path = Files.File("scan.bmp");
    WriteImageFile(path, bitmap);
    Open(path);

    EXPECT_EQ(Dialogs.FileDialogs, std::vector<QString>{"OpenPictureDialog"});
    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) scan.bmp");
    EXPECT_EQ(Status(), "image loaded");
    EXPECT_EQ(Form->Image1->size(), QSize(3, 2));
    EXPECT_EQ(Form->Image1->pos(), QPoint(0, 0));
    EXPECT_EQ(Form->Image1->Picture.Bytes, bitmap.Bytes);
    ASSERT_EQ(Store.Cols, 3);
    ASSERT_EQ(Store.Rows, 2);
    EXPECT_EQ(Store.At(0, 1, 0), -127.0f);
    EXPECT_EQ(Store.At(1, 1, 0), 0.0f);
    EXPECT_EQ(Store.At(2, 1, 0), 128.0f);
    EXPECT_EQ(Store.WorkPlane.size(), 6u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor ends";

    // A second, differently sized image resizes view and store.
    Open(WriteBitmap("big.bmp", 17, 9));
    EXPECT_EQ(Form->Image1->size(), QSize(17, 9));
    EXPECT_EQ(Store.Cols, 17);
    EXPECT_EQ(Store.Rows, 9);
    for (const tdline& plane : Store.Planes) EXPECT_EQ(plane.size(), 17u * 9u);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) big.bmp");
}

TEST_F(MainFormFileTest, PictureDialogsOfferTheirFiltersAndPreview) {
    const QStringList open = Form->OpenPictureDialog->nameFilters();
    ASSERT_EQ(open.size(), 3);
    EXPECT_TRUE(open[0].startsWith("Images ("));
    EXPECT_TRUE(open[1].startsWith("Bitmaps (*.bmp) ("));
    EXPECT_TRUE(open[2].startsWith("Jpeg (*.jpg) ("));
    const QStringList save = Form->SavePictureDialog->nameFilters();
    ASSERT_EQ(save.size(), 2);
    EXPECT_TRUE(save[0].startsWith("Bitmaps (*.bmp) ("));
    EXPECT_TRUE(save[1].startsWith("Jpeg (*.jpg) ("));
    EXPECT_TRUE(Form->SavePictureDialog->defaultSuffix().isEmpty());
    EXPECT_TRUE(Form->SavePictureDialog->testOption(QFileDialog::DontConfirmOverwrite));

    const std::string path = WriteBitmap("look.bmp", 30, 20);
    Form->OpenPictureDialog->PreviewFile(QString::fromStdString(path));
    EXPECT_EQ(Form->OpenPictureDialog->PreviewImage().size(), QSize(30, 20));
    EXPECT_TRUE(Form->OpenPictureDialog->PreviewButton->isEnabled());
    std::ofstream(Files.File("junk.bmp")) << "not a picture";
    Form->OpenPictureDialog->PreviewFile(QString::fromStdString(Files.File("junk.bmp")));
    EXPECT_TRUE(Form->OpenPictureDialog->PreviewImage().isNull());
    EXPECT_FALSE(Form->OpenPictureDialog->PreviewButton->isEnabled());
    // A file is shown as what its name says or not at all, as Open reads it.
    std::filesystem::copy_file(path, Files.File("renamed.png"));
    Form->OpenPictureDialog->PreviewFile(QString::fromStdString(Files.File("renamed.png")));
    EXPECT_TRUE(Form->OpenPictureDialog->PreviewImage().isNull());
    // A TIFF asking libtiff for a 12 GB strip is not previewed, rather than
    // taking a minute and all the memory on a click. A sound TIFF is.
    Form->OpenPictureDialog->PreviewFile(PIXMEND_SOURCE_DIR
                                         "/fuzz/corpus/png_tiff/strip-of-46593-samples.tif");
    EXPECT_TRUE(Form->OpenPictureDialog->PreviewImage().isNull());
    Form->OpenPictureDialog->PreviewFile(PIXMEND_SOURCE_DIR "/fuzz/corpus/png_tiff/rgb8.tif");
    EXPECT_FALSE(Form->OpenPictureDialog->PreviewImage().isNull());
}

TEST_F(MainFormFileTest, ADamagedFileLeavesEverythingAsItWas) {
    Open(WriteBitmap("good.bmp", 12, 10, 3));
    const TBitmap24 before = Form->Image1->Picture;
    const std::vector<float> plane = Store.Planes[2];
    Form->Image1->ImageModified = 0;

    // A bitmap file cut off in its pixel rows.
    std::vector<uint8_t> bytes = ReadFileBytes(WriteBitmap("cut.bmp", 64, 64));
    bytes.resize(bytes.size() / 2);
    WriteFileBytes(Files.File("cut.bmp"), bytes);
    Open(Files.File("cut.bmp"));
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    // The box names the file and says what is wrong, in the interface's language.
    EXPECT_TRUE(Dialogs.Errors[0].startsWith(QString::fromStdString(Files.File("cut.bmp")) + "\n"));
    EXPECT_TRUE(Dialogs.Errors[0].endsWith(
        "The picture is not valid: the file is damaged, truncated or of an "
        "unsupported kind"))
        << Dialogs.Errors[0].toStdString();
    EXPECT_EQ(Form->Image1->Picture.Bytes, before.Bytes);
    EXPECT_EQ(Form->Image1->size(), QSize(12, 10));
    EXPECT_EQ(Store.Planes[2], plane);
    EXPECT_EQ(Store.Cols, 12);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) good.bmp");
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Status(), "ready") << "the status bar does not go on claiming to load";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Unknown extension and a missing file: the same.
    std::ofstream(Files.File("x.gif")) << "GIF89a";
    Open(Files.File("x.gif"));
    Open(Files.File("nothing.bmp"));
    ASSERT_EQ(Dialogs.Errors.size(), 3u);
    EXPECT_TRUE(Dialogs.Errors[1].endsWith("\n\nUnknown image file extension (.gif)"));
    EXPECT_EQ(Dialogs.Errors[2],
              QString::fromStdString("Cannot open the file " + Files.File("nothing.bmp")))
        << "a message naming the file is not prefixed with it again";
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) good.bmp");
    EXPECT_EQ(Form->Image1->Picture.Bytes, before.Bytes);
}

TEST_F(MainFormFileTest, AMarkedImageIsReplacedOnlyAfterYes) {
    Open(WriteBitmap("first.bmp", 8, 8));
    Form->Image1->ImageModified = 1; // as after a transform

    // No: nothing changes and no file dialog is shown.
    Dialogs.Answers = {false};
    Form->ToolOpen->click();
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Dialogs.Questions[0], "overwrite this image?");
    EXPECT_EQ(Dialogs.FileDialogs.size(), 1u);
    EXPECT_EQ(Form->Image1->ImageModified, 1);

    // Yes: the mark is cleared even when the dialog is then cancelled.
    Dialogs.Answers = {true};
    Form->ToolOpen->click();
    EXPECT_EQ(Dialogs.FileDialogs.size(), 2u);
    EXPECT_EQ(Form->Image1->ImageModified, 0);

    // After Copy the mark is gone: Open asks nothing.
    Form->Image1->ImageModified = 1;
    Form->ToolCopy->click();
    EXPECT_EQ(Form->Image1->ImageModified, 0);
    Open(WriteBitmap("second.bmp", 4, 4));
    EXPECT_EQ(Dialogs.Questions.size(), 2u);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) second.bmp");

    // Paste asks too.
    Form->Image1->ImageModified = 1;
    Dialogs.Answers = {false};
    Form->ToolPaste->click();
    EXPECT_EQ(Dialogs.Questions.size(), 3u);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) second.bmp");
}

TEST_F(MainFormFileTest, SaveWritesByTheTypedNameAndClearsTheMark) {
    Open(WriteBitmap("in.bmp", 16, 8));
    Form->Image1->ImageModified = 1;
    const std::string jpeg = Files.File("out.JPG");
    Dialogs.Files.push_back(QString::fromStdString(jpeg));
    Form->ToolSave->click();
    EXPECT_EQ(Dialogs.FileDialogs.back(), "SavePictureDialog");
    const std::vector<uint8_t> bytes = ReadFileBytes(jpeg);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(Form->Image1->ImageModified, 0);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) out.JPG");
    EXPECT_EQ(Status(), "ready");
    EXPECT_EQ(Form->CommandState(), 1);

    // A name without an extension is written as a bitmap under that name.
    const std::string plain = Files.File("noext");
    Dialogs.Files.push_back(QString::fromStdString(plain));
    Form->Save1->trigger();
    EXPECT_TRUE(Dialogs.Errors.empty());
    const std::vector<uint8_t> plainBytes = ReadFileBytes(plain);
    ASSERT_GE(plainBytes.size(), 2u);
    EXPECT_EQ(plainBytes[0], 'B');
    EXPECT_EQ(plainBytes[1], 'M');
}

TEST_F(MainFormFileTest, AFailedSaveKeepsMarkAndTitle) {
    Open(WriteBitmap("in.bmp", 4, 4));
    Form->Image1->ImageModified = 1;
    Dialogs.Files.push_back(QString::fromStdString(Files.File("no/such/folder/out.bmp")));
    Form->ToolSave->click();
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_NE(Dialogs.Errors[0].indexOf("Cannot create the file"), -1)
        << Dialogs.Errors[0].toStdString();
    EXPECT_EQ(Form->Image1->ImageModified, 1);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) in.bmp");
    EXPECT_EQ(Status(), "ready");
}

TEST_F(MainFormFileTest, CopyAndPasteGoThroughTheClipboard) {
    Open(WriteBitmap("clip.bmp", 5, 3, 40));
    const TBitmap24 original = Form->Image1->Picture;
    Form->ToolCopy->click();
    Form->Schlieen1->trigger();
    ASSERT_EQ(Form->CommandState(), 0);

    Form->ToolPaste->click();
    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->Image1->Picture.Bytes, original.Bytes);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) Pixmend untitled.bmp");
    EXPECT_EQ(Status(), "image loaded");
    EXPECT_EQ(Store.Cols, 5);

    // In German the untitled name is German.
    Form->ToolDe->click();
    Form->Paste1->trigger();
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) Pixmend unbenannt.bmp");
}

TEST_F(MainFormFileTest, PastingSomethingElseIsRefusedAndChangesNothing) {
    Open(WriteBitmap("keep.bmp", 6, 6));
    QApplication::clipboard()->setText("just text");
    Form->ToolPaste->click();
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_EQ(Dialogs.Errors[0], "The clipboard holds no picture in a supported format");
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) keep.bmp");
    EXPECT_EQ(Form->Image1->size(), QSize(6, 6));
    EXPECT_EQ(Store.Cols, 6);
    EXPECT_EQ(Form->CommandState(), 1);
}

} // namespace
