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
#include <QLineEdit>
#include <QMenu>
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
    // Every format the program reads and writes, "Images" showing them all.
    const QStringList open = Form->OpenPictureDialog->nameFilters();
    ASSERT_EQ(open.size(), 5);
    EXPECT_TRUE(open[0].startsWith("Images ("));
    for (const char* pattern : {"*.bmp", "*.jpg", "*.jpeg", "*.png", "*.tif", "*.tiff", "*.PNG"})
        EXPECT_TRUE(open[0].contains(QString(pattern) + " ") ||
                    open[0].contains(QString(pattern) + ")"))
            << pattern;
    EXPECT_TRUE(open[1].startsWith("Bitmaps (*.bmp) ("));
    EXPECT_TRUE(open[2].startsWith("Jpeg (*.jpg) ("));
    EXPECT_TRUE(open[3].startsWith("PNG (*.png) ("));
    EXPECT_TRUE(open[4].startsWith("TIFF (*.tif) ("));
    const QStringList save = Form->SavePictureDialog->nameFilters();
    ASSERT_EQ(save.size(), 4);
    EXPECT_TRUE(save[0].startsWith("Bitmaps (*.bmp) ("));
    EXPECT_TRUE(save[1].startsWith("Jpeg (*.jpg) ("));
    EXPECT_TRUE(save[2].startsWith("PNG (*.png) ("));
    EXPECT_TRUE(save[3].startsWith("TIFF (*.tif) ("));
    EXPECT_TRUE(Form->SavePictureDialog->defaultSuffix().isEmpty());
    EXPECT_TRUE(Form->SavePictureDialog->testOption(QFileDialog::DontConfirmOverwrite));

    // Choosing a format in the save dialog gives the name its extension.
    auto* name = Form->SavePictureDialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText("page.v2.bmp");
    emit Form->SavePictureDialog->filterSelected(save[3]);
    EXPECT_EQ(name->text(), "page.v2.tif");
    emit Form->SavePictureDialog->filterSelected(save[1]);
    EXPECT_EQ(name->text(), "page.v2.jpg");

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

TEST_F(MainFormFileTest, UnsavedWorkIsSavedDiscardedOrKeptBeforeItIsReplaced) {
    const std::string first = WriteBitmap("first.bmp", 8, 8);
    Open(first);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) first.bmp");
    Form->ToolTransform->click();
    Form->ToolTransform->click(); // the filtered picture is unsaved work
    EXPECT_EQ(Form->windowTitle(), "*Pixmend (Standard-Edition) first.bmp");
    const TBitmap24 work = Form->Image1->Picture;

    // Cancel: nothing changes and no file dialog is shown.
    const size_t dialogs = Dialogs.FileDialogs.size();
    Form->ToolOpen->click();
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Dialogs.Questions[0], "Save the changes to first.bmp?");
    EXPECT_EQ(Dialogs.ChoiceButtons[0], (QStringList{"Save", "Discard", "Cancel"}));
    EXPECT_EQ(Dialogs.FileDialogs.size(), dialogs);
    // Discard, then a cancelled file dialog: the work is still there, still unsaved.
    Dialogs.Choices = {1};
    Form->ToolOpen->click();
    EXPECT_EQ(Dialogs.FileDialogs.back(), "OpenPictureDialog");
    EXPECT_EQ(Form->Image1->ImageModified, 1);
    // Save with its dialog cancelled goes no further: no open dialog.
    Dialogs.Choices = {0};
    Form->Paste1->trigger();
    EXPECT_EQ(Dialogs.FileDialogs.back(), "SavePictureDialog");
    EXPECT_EQ(Form->Image1->Picture.Bytes, work.Bytes);
    // Save, then open: the work is written first.
    Dialogs.Choices = {0};
    Dialogs.Files = {QString::fromStdString(Files.File("kept.png")),
                     QString::fromStdString(WriteBitmap("second.bmp", 4, 4))};
    Form->ToolOpen->click();
    EXPECT_EQ(ReadImageFile(Files.File("kept.png")).Bytes, work.Bytes);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) second.bmp");
    // After Copy the mark is gone: Open asks nothing.
    Form->Image1->ImageModified = 1;
    Form->ToolCopy->click();
    Open(WriteBitmap("third.bmp", 4, 4));
    EXPECT_EQ(Dialogs.Questions.size(), 4u);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) third.bmp");

    // In German the question and its buttons are German.
    Form->ToolDe->click();
    Form->Image1->ImageModified = 1;
    Form->Schlieen1->trigger();
    EXPECT_EQ(Dialogs.Questions.back(), "\u00c4nderungen an third.bmp speichern?");
    EXPECT_EQ(Dialogs.ChoiceButtons.back(), (QStringList{"Speichern", "Verwerfen", "Abbrechen"}));
    EXPECT_EQ(Form->CommandState(), 1);
}

TEST_F(MainFormFileTest, QuitAndTheCloseBoxAskOnlyWhenWorkIsUnsaved) {
    // Nothing at stake: Quit keeps its Yes/No, the close box closes.
    Open(WriteBitmap("scan.bmp", 8, 8));
    Form->Beenden1->trigger();
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Dialogs.Questions[0], "Do you really want to quit Pixmend?");
    EXPECT_EQ(QuitCalls, 0);

    // The picture and the filter are unsaved: both are asked about, in turn.
    Form->ToolTransform->click();
    Protokol->AppendLine("typ=rec,x1=10,x2=20,y1=10,y2=20");
    Form->Beenden1->trigger();
    EXPECT_EQ(Dialogs.Questions.size(), 2u) << "Cancel at the first question ends it";
    EXPECT_EQ(Dialogs.Questions.back(), "Save the changes to scan.bmp?");
    EXPECT_TRUE(Form->close() == false) << "the close box is refused on Cancel";
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(QuitCalls, 0);
    EXPECT_EQ(Form->CommandState(), 2);

    // Save on the spectrum saves the picture it gives; the filter is saved
    // through its dialog, and only then does the window close.
    const QString picture = QString::fromStdString(Files.File("out.bmp"));
    const QString filter = QString::fromStdString(Files.File("screen.flt"));
    Dialogs.Choices = {0, 0};
    Dialogs.Files = {picture, filter};
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(Dialogs.Questions.back(), "Save the changes to the new filter?");
    EXPECT_EQ(Dialogs.FileDialogs.back(), "SaveFilter");
    EXPECT_EQ(QuitCalls, 1);
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(ReadImageFile(picture.toStdString()).Bytes, Form->Image1->Picture.Bytes);
    const auto lines = ReadFileBytes(filter.toStdString());
    EXPECT_EQ(std::string(lines.begin(), lines.end()), "typ=rec,x1=10,x2=20,y1=10,y2=20\r\n");
}

TEST_F(MainFormFileTest, SaveProposesANameBesideTheScanAndAsksBeforeReplacing) {
    const std::string scan = Files.File("scan.jpg");
    WriteImageFile(scan, ReadImageFile(WriteBitmap("scan.bmp", 16, 8)));
    const std::vector<uint8_t> original = ReadFileBytes(scan);
    Open(scan);
    Form->ToolSave->click();
    EXPECT_EQ(Form->SavePictureDialog->selectedFiles().value(0),
              QFileInfo(QString::fromStdString(Files.File("scan-clean.jpg"))).absoluteFilePath());
    EXPECT_TRUE(Form->SavePictureDialog->selectedNameFilter().startsWith("Jpeg"));

    // The opened scan: a question of its own, No goes back to the dialog,
    // which is cancelled: the scan is as it was.
    Dialogs.Files = {QString::fromStdString(scan)};
    Form->ToolSave->click();
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Dialogs.Questions[0], QString::fromStdString(scan) +
                                        " is the scan you opened. Replace the original "
                                        "with the result?");
    EXPECT_EQ(Dialogs.FileDialogs.back(), "SavePictureDialog");
    EXPECT_EQ(Dialogs.FileDialogs.size(), 4u) << "open, save, save, and save again after No";
    EXPECT_EQ(ReadFileBytes(scan), original);

    // Any other existing file asks too; Yes replaces it. Saved once, the
    // result is proposed again under its own name.
    const std::string other = WriteBitmap("other.bmp", 2, 2);
    Dialogs.Files = {QString::fromStdString(other)};
    Dialogs.Answers = {true};
    Form->ToolSave->click();
    EXPECT_EQ(Dialogs.Questions.back(),
              QString::fromStdString(other) + " already exists. Replace it?");
    EXPECT_EQ(ReadImageFile(other).Width, 16);
    Form->ToolSave->click();
    EXPECT_EQ(QFileInfo(Form->SavePictureDialog->selectedFiles().value(0)).fileName(), "other.bmp");
    // A new file is written without a question.
    Dialogs.Files = {QString::fromStdString(Files.File("new.tif"))};
    Form->ToolSave->click();
    EXPECT_EQ(Dialogs.Questions.size(), 2u);
    EXPECT_EQ(ReadImageFile(Files.File("new.tif")).Width, 16);
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
    EXPECT_EQ(Form->windowTitle(), "*Pixmend (Standard-Edition) in.bmp");
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

TEST_F(MainFormFileTest, RecentFilesAreRememberedAndOpenLikeOpen) {
    EXPECT_FALSE(Form->Recent1->isEnabled());
    const QString a = QString::fromStdString(WriteBitmap("a.bmp", 8, 8));
    const QString b = QString::fromStdString(WriteBitmap("b.bmp", 4, 4));
    Open(a.toStdString());
    Open(b.toStdString());
    Open(a.toStdString());
    EXPECT_EQ(Form->RecentFiles(), (QStringList{a, b})) << "newest first, once each";
    ASSERT_EQ(Form->Recent1->actions().size(), 2);
    EXPECT_EQ(Form->Recent1->actions()[1]->text(), "&2 b.bmp");

    // Remembered across runs in a section of their own; the keys before stay.
    Form->close();
    const std::string text = SettingsText();
    EXPECT_NE(text.find("[Prefs]\nLang=2\n\n[Recent]\nFile1=" + a.toStdString() +
                        "\nFile2=" + b.toStdString() + "\n"),
              std::string::npos)
        << text;
    Form = std::make_unique<TForm1>(Store, Dialogs);
    Form->QuitApplication = [this] { ++QuitCalls; };
    ConnectOtherWindows();
    ShowForm();
    ASSERT_EQ(Form->RecentFiles(), (QStringList{a, b}));

    // Opening one takes the road of Open: the question before unsaved work.
    Open(a.toStdString());
    Form->Image1->ImageModified = 1;
    Form->Recent1->actions()[1]->trigger();
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Form->windowTitle(), "*Pixmend (Standard-Edition) a.bmp") << "Cancel keeps it";
    Dialogs.Choices = {1};
    Form->Recent1->actions()[1]->trigger();
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) b.bmp");
    EXPECT_EQ(Form->RecentFiles().front(), b);

    // A file gone since is said so and dropped from the list.
    std::filesystem::remove(a.toStdString());
    Form->Recent1->actions()[1]->trigger();
    ASSERT_EQ(Dialogs.Informations.size(), 1u);
    EXPECT_EQ(Dialogs.Informations[0], "The file " + a + " no longer exists.");
    EXPECT_EQ(Form->RecentFiles(), QStringList{b});
}

} // namespace
