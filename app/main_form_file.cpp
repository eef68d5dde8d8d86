// The main window's image commands (Open, Save, Copy, Paste), the image
// operations the batch run shares (LoadImageFile, SaveImageFile,
// InitializeImage), and Close and Quit.
//
// A load decodes the whole file before anything of the window changes, so a
// damaged or unreadable file leaves the image, the store, the title and the
// command state as they were; only the status text says a load was tried.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/main_form_busy.h"
#include "app/picture_dialog.h"
#include "app/shape_mark.h"
#include "app/user_dialogs.h"
#include "imagefile/image_file.h"
#include "imagefile/image_file_qt.h"
#include "spectral/errors.h"
#include "spectral/store_fill.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>

#include <algorithm>

bool TForm1::ConfirmReplaceImage() {
    if (Image1->ImageModified == 1 &&
        dialogs_.Confirm(this, LangText("aktuellesBildüberschreiben")))
        Image1->ImageModified = 0;
    return Image1->ImageModified == 0;
}

void TForm1::BopenClick(QObject* sender) {
    if (!PassesGuard(TCommand::OpenImage, sender)) return;
    OpenImage();
}

void TForm1::OpenImage(const QString& fileName) {
    if (!ConfirmReplaceImage()) return;
    if (d->CommandState != 0 && d->CommandState != 1) return;
    const std::optional<QString> chosen = fileName.isEmpty()
                                              ? dialogs_.RunFileDialog(*OpenPictureDialog)
                                              : std::optional<QString>(fileName);
    if (!chosen) return;
    if (LoadImageFile(*chosen)) Image1->ImageModified = 0;
}

bool TForm1::LoadImageFile(const QString& fileName) {
    TBusyCursor busy;
    // Named by the error box should the load fail.
    d->FailedFile = fileName;
    ShowStatus(LangText("Loading"), 0);
    TBitmap24 picture = ReadImageFile(fileName.toStdString());
    d->FailedFile.clear();
    LetWindowRepaint();
    Image1->Picture = std::move(picture);
    InitializeImage();
    SetTitle(QFileInfo(fileName).fileName());
    d->ImageFile = QFileInfo(fileName).absoluteFilePath();
    return true;
}

void TForm1::InitializeImage() {
    TBusyCursor busy;
    const int32_t w = Image1->Picture.Width;
    const int32_t h = Image1->Picture.Height;
    // A new picture: nothing to compare it with until it is filtered.
    d->Comparing = false;
    d->BeforeFilter.reset();
    d->PictureAsLoaded = true;
    ToolCompare->setChecked(false);
    d->ImageFile.clear();
    Image1->resize(w, h);
    Image1->PictureChanged();
    FitScrollArea();
    LetWindowRepaint();
    ShowStatus(LangText("Initializing"), 0);
    FillStoreFromBitmap(Image1->Picture, Store);
    SetCommandState(1);
    ShowStatus(LangText("Imageloaded"), 0);
}

void TForm1::BsaveClick(QObject* sender) {
    if (!PassesGuard(TCommand::SaveImage, sender)) return;
    if (d->CommandState != 1) return;
    // Start where the image came from, under its name; a pasted image under
    // the name its title shows.
    if (!d->ImageFile.isEmpty()) {
        SavePictureDialog->setDirectory(QFileInfo(d->ImageFile).absolutePath());
        SavePictureDialog->selectFile(QFileInfo(d->ImageFile).fileName());
    } else {
        SavePictureDialog->selectFile(LangText("PixmendUntitled.bmp"));
    }
    const std::optional<QString> fileName = dialogs_.RunFileDialog(*SavePictureDialog);
    if (!fileName) return;
    SaveImageFile(*fileName);
    Image1->ImageModified = 0;
    SetTitle(QFileInfo(*fileName).fileName());
    d->ImageFile = QFileInfo(*fileName).absoluteFilePath();
}

void TForm1::SaveImageFile(const QString& fileName) {
    d->FailedFile = fileName;
    ShowStatus(LangText("Saving"), 0);
    WriteImageFile(fileName.toStdString(), Image1->Picture);
    d->FailedFile.clear();
    ShowStatus(LangText("standby"), 0);
}

void TForm1::ToolCopyClick(QObject* sender) {
    if (!PassesGuard(TCommand::Copy, sender)) return;
    QApplication::clipboard()->setImage(ToQImage(Image1->Picture));
    Image1->ImageModified = 0;
}

void TForm1::ToolPasteClick(QObject* sender) {
    if (!PassesGuard(TCommand::Paste, sender)) return;
    if (!ConfirmReplaceImage()) return;
    const QImage picture = QApplication::clipboard()->image();
    if (picture.isNull()) throw Exception(TMessage{TMessageId::ClipboardFormat, {}, nullptr});
    Image1->Picture = FromQImage(picture);
    InitializeImage();
    SetTitle(LangText("PixmendUntitled.bmp"));
}

void TForm1::Schlieen1Click(QObject* sender) {
    if (!PassesGuard(TCommand::CloseImage, sender)) return;
    // Closing throws the picture away: the same question as before Open.
    if (!ConfirmReplaceImage()) return;
    d->Undo.Clear();
    d->BeforeFilter.reset();
    d->PictureAsLoaded = false;
    d->ImageFile.clear();
    Shape->hide();
    SetCommandState(0);
    CopyImageView(*Image1, *d->EmptyView);
    FitScrollArea();
    SetTitle();
}

void TForm1::Beenden1Click(QObject* sender) {
    if (!PassesGuard(TCommand::Quit, sender)) return;
    if (!dialogs_.Confirm(this, LangText("beenden"))) return;
    // Ending the event loop closes the windows; the settings are written
    // when this window is destroyed, not by that close.
    d->Quitting = true;
    if (QuitApplication) QuitApplication();
}

void TForm1::FitScrollArea() {
    QWidget* canvas = ScrollBox1->widget();
    const QRect used = Image1->geometry().united(Image2->geometry());
    canvas->resize(std::max(used.right() + 1, 0), std::max(used.bottom() + 1, 0));
}
