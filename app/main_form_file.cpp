// The main window's image commands (Open, Save, Copy, Paste), the image
// operations SaveImageFile and InitializeImage, and Close and Quit.
//
// A load (main_form_open.cpp) decodes the whole file before anything of the
// window changes, so a damaged or unreadable file leaves the image, the
// store, the title and the command state as they were; only the status text
// says a load was tried.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/main_form_busy.h"
#include "app/picture_dialog.h"
#include "app/shape_mark.h"
#include "app/user_dialogs.h"
#include "app/view_area.h"
#include "imagefile/image_file.h"
#include "imagefile/image_file_qt.h"
#include "spectral/errors.h"
#include "spectral/store_fill.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QToolButton>

#include <algorithm>

void TForm1::BopenClick(QObject* sender) {
    if (!PassesGuard(TCommand::OpenImage, sender)) return;
    OpenImage();
}

void TForm1::OpenImage(const QString& fileName) {
    if ((d->CommandState != 0 && d->CommandState != 1) || Busy()) return;
    // A drop comes here past the guard: the picture it may replace, save or
    // keep on a failure must be drawn whole first.
    Image1->FinishDrawing();
    if (!ConfirmDiscard(TDiscard::Picture)) return;
    const std::optional<QString> chosen = fileName.isEmpty()
                                              ? dialogs_.RunFileDialog(*OpenPictureDialog)
                                              : std::optional<QString>(fileName);
    if (!chosen) return;
    bool newFilter = false;
    if (!AskKeepFilter(newFilter)) return;
    if (!LoadImageFile(*chosen)) return;
    Image1->ImageModified = 0;
    // A filter the user opened while the file loaded is the newer choice.
    if (newFilter && !d->FilterEventWhileTransforming) StartNewFilter();
    AddRecentFile(*chosen);
    ShowWorkState();
}

void TForm1::InitializeImage() {
    TBusyCursor busy;
    ShowNewImage();
    LetWindowRepaint();
    ShowStatus(LangText("Initializing"), 0);
    FillStoreFromBitmap(Image1->Picture, Store);
    SetCommandState(1);
    ShowStatus(LangText("Imageloaded"), 0);
}

void TForm1::ShowNewImage() {
    // A new picture: nothing to compare it with until it is filtered.
    d->Comparing = false;
    d->BeforeFilter.reset();
    d->PictureAsLoaded = true;
    ToolCompare->setChecked(false);
    d->ImageFile.clear();
    d->OpenedFile.clear();
    d->ImageFileSaved = false;
    Image1->PictureChanged();
    ScrollBox1->ShowNewPicture();
    ShowViewPanels();
}

void TForm1::BsaveClick(QObject* sender) {
    if (!PassesGuard(TCommand::SaveImage, sender)) return;
    SavePictureAs();
}

void TForm1::SaveImageFile(const QString& fileName) {
    // Every way to a saved picture (Save, the question before closing or
    // quitting) writes the whole bitmap, not the bands drawn so far.
    Image1->FinishDrawing();
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
    if (!ConfirmDiscard(TDiscard::Picture)) return;
    const QImage picture = QApplication::clipboard()->image();
    if (picture.isNull()) throw Exception(TMessage{TMessageId::ClipboardFormat, {}, nullptr});
    bool newFilter = false;
    if (!AskKeepFilter(newFilter)) return;
    Image1->Picture = FromQImage(picture);
    InitializeImage();
    Image1->ImageModified = 0;
    if (newFilter) StartNewFilter();
    SetTitle(LangText("PixmendUntitled.bmp"));
}

void TForm1::Schlieen1Click(QObject* sender) {
    if (!PassesGuard(TCommand::CloseImage, sender)) return;
    // Closing throws the picture away; the filter stays for the next one.
    if (!ConfirmDiscard(TDiscard::Picture)) return;
    d->Undo.Clear();
    d->BeforeFilter.reset();
    d->PictureAsLoaded = false;
    d->ImageFile.clear();
    d->OpenedFile.clear();
    d->ImageFileSaved = false;
    Shape->hide();
    SetCommandState(0);
    CopyImageView(*Image1, *d->EmptyView);
    FitScrollArea();
    SetTitle();
}

void TForm1::Beenden1Click(QObject* sender) {
    if (!PassesGuard(TCommand::Quit, sender)) return;
    // With work at stake the save question asks instead; without, the
    // question whether to quit at all.
    if (PictureUnsaved() || FilterUnsaved()) {
        if (!ConfirmDiscard(TDiscard::PictureAndFilter)) return;
    } else if (!dialogs_.Confirm(this, LangText("beenden"))) {
        return;
    }
    // Ending the event loop closes the windows; the settings are written
    // when this window is destroyed, not by that close.
    d->Quitting = true;
    if (QuitApplication) QuitApplication();
}
