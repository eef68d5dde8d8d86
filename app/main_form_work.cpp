// The user's unsaved work: the one question before a changed picture or
// filter is thrown away, the title's mark while there is such work, where
// Save proposes to write and the question before a file is replaced; the
// filter as part of the work (the panel naming it, New filter, the question
// whether it stays for the next picture); and the recent files.
//
// A scan is the user's original: Save never proposes its name, and writing
// over it takes a question of its own.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/picture_dialog.h"
#include "app/user_dialogs.h"
#include "filter/filter_list_form.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QToolButton>

namespace {

// How many files the recent list keeps.
constexpr qsizetype kRecentCount = 8;

// The filters of the picture dialogs, indexed by the name's extension.
int SaveFilterIndexOf(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == "jpg" || suffix == "jpeg") return 1;
    if (suffix == "png") return 2;
    if (suffix == "tif" || suffix == "tiff") return 3;
    return 0;
}

bool SameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty()) return ca == cb;
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

} // namespace

bool TForm1::PictureUnsaved() const {
    return d->CommandState != csNoImage && Image1->ImageModified == 1;
}

bool TForm1::FilterUnsaved() const {
    return d->Windows.FormProtokol && d->Windows.FormProtokol->Modified();
}

QString TForm1::FilterFile() const {
    return d->FilterFile;
}

QStringList TForm1::RecentFiles() const {
    return d->RecentFiles;
}

bool TForm1::ConfirmDiscard(TDiscard what) {
    const QStringList buttons{Tr("Speichern"), Tr("Verwerfen"), Tr("Abbrechen")};
    enum { Save, Discard };
    if (what != TDiscard::Filter && PictureUnsaved()) {
        const QString name = d->ImageFile.isEmpty() ? LangText("PixmendUntitled.bmp")
                                                    : QFileInfo(d->ImageFile).fileName();
        const int answer =
            dialogs_.Choose(this, Tr("\u00c4nderungen an %1 speichern?").arg(name), buttons);
        if (answer != Save && answer != Discard) return false;
        if (answer == Save) {
            // A spectrum is saved as the picture it gives. The transform waits
            // in an event loop of its own: the window may be gone after it, and
            // a cancelled one leaves nothing to save.
            if (d->CommandState == csSpectrum) {
                const QPointer<TForm1> alive(this);
                ToolTransformClick(ToolTransform);
                if (!alive || d->CommandState == csSpectrum) return false;
            }
            if (!SavePictureAs()) return false;
        }
    }
    if (what != TDiscard::Picture && FilterUnsaved()) {
        const QString text =
            d->FilterFile.isEmpty()
                ? Tr("\u00c4nderungen am neuen Filter speichern?")
                : Tr("\u00c4nderungen an %1 speichern?").arg(QFileInfo(d->FilterFile).fileName());
        const int answer = dialogs_.Choose(this, text, buttons);
        if (answer != Save && answer != Discard) return false;
        if (answer == Save && !SaveFilterWork(true)) return false;
    }
    return true;
}

void TForm1::SetTitle(const QString& name) {
    d->TitleName = name;
    ShowWorkState();
}

void TForm1::ShowWorkState() {
    const bool unsaved = PictureUnsaved() || FilterUnsaved();
    setWindowTitle((unsaved ? "*" : "") + d->CaptionBase + d->TitleName);
    if (!FilterPanel) return;
    const size_t count = d->Windows.FormProtokol ? d->Windows.FormProtokol->EntryCount() : 0;
    QString name =
        d->FilterFile.isEmpty() ? Tr("ungespeichert") : QFileInfo(d->FilterFile).fileName();
    if (!d->FilterFile.isEmpty() && FilterUnsaved()) name += "*";
    const QString entries =
        count == 1 ? Tr("1 Eintrag") : Tr("%1 Eintr\u00e4ge").arg(qulonglong(count));
    FilterPanel->setText(Tr("Filter: %1, %2").arg(name, entries));
    FilterPanel->setToolTip(d->FilterFile.isEmpty() ? ToolFilter->property("Hint").toString()
                                                    : QDir::toNativeSeparators(d->FilterFile));
}

bool TForm1::SavePictureAs() {
    if (d->CommandState != csImage) return false;
    // Beside the picture, under a name of its own in the same format: the
    // scan stays as it was unless the user says otherwise. A result this
    // window wrote is proposed again under its name.
    QString proposed;
    if (d->ImageFile.isEmpty()) {
        proposed = LangText("PixmendUntitled.bmp");
    } else {
        const QFileInfo file(d->ImageFile);
        SavePictureDialog->setDirectory(file.absolutePath());
        proposed = d->ImageFileSaved ? file.fileName()
                                     : file.completeBaseName() + "-clean." + file.suffix();
    }
    for (;;) {
        SavePictureDialog->selectNameFilter(
            SavePictureDialog->nameFilters().value(SaveFilterIndexOf(proposed)));
        SavePictureDialog->selectFile(proposed);
        const std::optional<QString> fileName = dialogs_.RunFileDialog(*SavePictureDialog);
        if (!fileName) return false;
        if (!ConfirmReplaceFile(*fileName)) {
            // Back to the dialog on the name that was refused.
            proposed = QFileInfo(*fileName).fileName();
            SavePictureDialog->setDirectory(QFileInfo(*fileName).absolutePath());
            continue;
        }
        SaveImageFile(*fileName);
        Image1->ImageModified = 0;
        d->ImageFile = QFileInfo(*fileName).absoluteFilePath();
        d->ImageFileSaved = true;
        SetTitle(QFileInfo(*fileName).fileName());
        AddRecentFile(d->ImageFile);
        return true;
    }
}

bool TForm1::ConfirmReplaceFile(const QString& fileName) {
    if (!QFileInfo::exists(fileName)) return true;
    const QString shown = QDir::toNativeSeparators(fileName);
    if (SameFile(fileName, d->OpenedFile))
        return dialogs_.Confirm(
            this, Tr("%1 ist die ge\u00f6ffnete Vorlage. Soll sie wirklich durch das Ergebnis "
                     "ersetzt werden?")
                      .arg(shown));
    return dialogs_.Confirm(this,
                            Tr("%1 existiert bereits. Soll die Datei ersetzt werden?").arg(shown));
}

bool TForm1::SaveFilterWork(bool ownFile) {
    if (!d->Windows.FormProtokol) return false;
    QString fileName = ownFile ? d->FilterFile : QString();
    if (fileName.isEmpty()) {
        if (!d->FilterFile.isEmpty()) SaveFilter->selectFile(d->FilterFile);
        const std::optional<QString> chosen = dialogs_.RunFileDialog(*SaveFilter);
        if (!chosen) return false;
        fileName = *chosen;
    }
    d->FailedFile = fileName;
    d->Windows.FormProtokol->SaveFilterFile(fileName.toStdString());
    d->FailedFile.clear();
    d->FilterFile = QFileInfo(fileName).absoluteFilePath();
    ShowWorkState();
    return true;
}

bool TForm1::AskKeepFilter(bool& newFilter) {
    newFilter = false;
    if (!FilterUnsaved()) return true;
    const size_t count = d->Windows.FormProtokol->EntryCount();
    const QString text =
        count == 1 ? Tr("Der Filter enth\u00e4lt einen nicht gespeicherten Eintrag. Soll er "
                        "f\u00fcr das neue Bild bleiben, oder soll ein neuer Filter beginnen?")
                   : Tr("Der Filter enth\u00e4lt %1 nicht gespeicherte Eintr\u00e4ge. Sollen sie "
                        "f\u00fcr das neue Bild bleiben, oder soll ein neuer Filter beginnen?")
                         .arg(qulonglong(count));
    const int answer =
        dialogs_.Choose(this, text, {Tr("Behalten"), Tr("Neuer Filter"), Tr("Abbrechen")});
    if (answer != 0 && answer != 1) return false;
    newFilter = answer == 1;
    return true;
}

void TForm1::StartNewFilter() {
    TFormProtokol* list = d->Windows.FormProtokol;
    if (!list) return;
    if (!list->List().Empty()) {
        const QScopedValueRollback own(d->OwnListChange, true);
        d->Undo.RecordNewFilter(list->List().Lines(), d->FilterFile.toStdString());
        list->Clear();
    }
    d->FilterFile.clear();
    d->FindScreenLines.clear();
    SetCommandState(csFilterEvent);
}

void TForm1::ToolNewFilterClick(QObject* sender) {
    if (!PassesGuard(TCommand::NewFilter, sender)) return;
    StartNewFilter();
}

void TForm1::OfferFilterCommands(TControlStates& states) const {
    const bool entries = d->Windows.FormProtokol && d->Windows.FormProtokol->EntryCount() > 0;
    states[TControlId::NewFilter1] = entries || !d->FilterFile.isEmpty();
    // A new filter is taken back on the filter alone, whatever is shown; a
    // step on the picture while the picture is shown.
    if (d->CommandState == csSpectrum) return;
    const bool picture = d->CommandState == csImage;
    states[TControlId::Toolundo] =
        d->Undo.NewFilterToUndo() != nullptr || (picture && d->Undo.PictureToUndo());
    states[TControlId::Redo1] =
        d->Undo.NewFilterToRedo() != nullptr || (picture && d->Undo.PictureToRedo());
    MirrorMenuItems(states);
}

void TForm1::CreateWorkControls() {
    FilterPanel = new QLabel(StatusBar);
    FilterPanel->setObjectName("FilterPanel");
    FilterPanel->setFrameShape(QFrame::Panel);
    FilterPanel->setFrameShadow(QFrame::Sunken);
    FilterPanel->setMinimumWidth(160);
    FilterPanel->installEventFilter(this);
    StatusBar->addPermanentWidget(FilterPanel);

    Recent1 = new QMenu(File1);
    Recent1->setObjectName("Recent1");
    Recent1->menuAction()->setObjectName("Recent1");
    // Each item names its file's folder in its tooltip (a status tip would
    // hide the status panels while the menu is open).
    Recent1->setToolTipsVisible(true);
    File1->insertMenu(Save1, Recent1);
    FillRecentMenu();
    ShowWorkState();
}

void TForm1::AddRecentFile(const QString& fileName) {
    const QString path = QFileInfo(fileName).absoluteFilePath();
    // A name the settings file could not hold on one line is not kept.
    if (path.contains('\n') || path.contains('\r')) return;
    d->RecentFiles.removeAll(path);
    d->RecentFiles.prepend(path);
    while (d->RecentFiles.size() > kRecentCount) d->RecentFiles.removeLast();
    FillRecentMenu();
}

void TForm1::FillRecentMenu() {
    if (!Recent1) return;
    Recent1->setTitle(Tr("Zuletzt ge\u00f6ffnet"));
    Recent1->clear();
    for (qsizetype i = 0; i < d->RecentFiles.size(); ++i) {
        const QString& path = d->RecentFiles[i];
        QAction* item = Recent1->addAction(
            QString("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName().replace("&", "&&")));
        item->setObjectName(QString("RecentFile%1").arg(i + 1));
        item->setToolTip(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this,
                [this, i] { RunCommand([&] { OpenRecentFile(int(i)); }); });
    }
    Recent1->setEnabled(!d->RecentFiles.isEmpty());
}

void TForm1::OpenRecentFile(int index) {
    if (index < 0 || index >= d->RecentFiles.size()) return;
    if (!PassesGuard(TCommand::OpenImage, Open1)) return;
    const QString path = d->RecentFiles[index];
    if (!QFileInfo::exists(path)) {
        // Gone since: said once, and no longer offered.
        d->RecentFiles.removeAt(index);
        FillRecentMenu();
        dialogs_.ShowInformation(
            this, Tr("Die Datei %1 gibt es nicht mehr.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    OpenImage(path);
}
