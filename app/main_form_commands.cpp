// The main window's commands whose work lives with other windows: the filter
// list, the zoom window, the shape choice and the information windows. Each handler takes its guard
// steps here, so the command states and help mode already hold for all of them.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/shape_mark.h"
#include "app/user_dialogs.h"
#include "filter/filter_list_form.h"
#include "filter/zoom_form.h"
#include "help/about_form.h"
#include "help/version_info_form.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QToolButton>

#include <algorithm>

void TForm1::SetOtherWindows(const TOtherWindows& windows) {
    if (d->Windows.FormProtokol) disconnect(d->Windows.FormProtokol, nullptr, this, nullptr);
    d->Windows = windows;
    if (d->Windows.FormZoom)
        connect(d->Windows.FormZoom, &TFormZoom::closedByUser, this,
                [this] { ToolZoom->setChecked(false); });
    if (d->Windows.FormProtokol)
        connect(d->Windows.FormProtokol, &TFormProtokol::listChanged, this,
                [this] { FilterListChanged(); });
    TranslateOtherTexts();
}

void TForm1::CreateFilterDialogs() {
    OpenFilter = new QFileDialog(this);
    OpenFilter->setObjectName("OpenFilter");
    OpenFilter->setAcceptMode(QFileDialog::AcceptOpen);
    // The file need not exist; loading reports a missing one.
    OpenFilter->setFileMode(QFileDialog::AnyFile);
    OpenFilter->setNameFilter("Filter (*.flt)");
    OpenFilter->setDefaultSuffix("flt");
    SaveFilter = new QFileDialog(this);
    SaveFilter->setObjectName("SaveFilter");
    SaveFilter->setAcceptMode(QFileDialog::AcceptSave);
    SaveFilter->setFileMode(QFileDialog::AnyFile);
    SaveFilter->setNameFilter("filter (*.flt)");
    SaveFilter->setDefaultSuffix("flt");
}

void TForm1::AddFilterEntry(int32_t typ, float x1, float x2, float y1, float y2) {
    if (d->Windows.FormProtokol) d->Windows.FormProtokol->AppendEntry(typ, x1, x2, y1, y2);
    SetCommandState(csFilterEvent);
}

void TForm1::PlaceBeside(QWidget* tool) const {
    // Once: afterwards the window stays where the user put it.
    if (!tool || tool->property("PlacedBeside").toBool()) return;
    tool->setProperty("PlacedBeside", true);
    const QRect main = frameGeometry();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : main;
    const QSize size = tool->frameGeometry().size();
    constexpr int kGap = 8;
    // To the right of the main window, else to its left, else over its
    // picture below the menu and tool bars, never over them.
    int x = main.right() + kGap;
    if (x + size.width() > room.right()) x = main.left() - kGap - size.width();
    const bool beside = x >= room.left();
    if (!beside) x = std::max(room.left(), main.right() - size.width() - 2 * kGap);
    const int below = centralWidget() ? centralWidget()->mapTo(this, QPoint(0, 0)).y() : 0;
    int y = beside ? main.top() : geometry().top() + below + kGap;
    y = std::clamp(y, room.top(), std::max(room.top(), room.bottom() - size.height()));
    tool->move(x, y);
}

void TForm1::ToolFilterClick(QObject* sender) {
    if (!PassesGuard(TCommand::ViewFilter, sender)) return;
    if (d->Windows.FormProtokol) {
        PlaceBeside(d->Windows.FormProtokol);
        d->Windows.FormProtokol->show();
        d->Windows.FormProtokol->raise();
    }
}

void TForm1::ToolLoadfilterClick(QObject* sender) {
    if (!PassesGuard(TCommand::OpenFilter, sender)) return;
    OpenFilterFile();
}

void TForm1::OpenFilterFile(const QString& fileName) {
    // Entries changed since they were loaded or saved would be lost.
    if (!ConfirmDiscard(TDiscard::Filter)) return;
    const std::optional<QString> chosen =
        fileName.isEmpty() ? dialogs_.RunFileDialog(*OpenFilter) : std::optional<QString>(fileName);
    if (!chosen || !d->Windows.FormProtokol) return;
    // A failed load leaves the list and the command state as they were.
    d->Windows.FormProtokol->LoadFilterFile(chosen->toStdString());
    d->FilterFile = QFileInfo(*chosen).absoluteFilePath();
    d->FindScreenLines.clear();
    SetCommandState(csFilterEvent);
}

void TForm1::ToolSaveFilterClick(QObject* sender) {
    if (!PassesGuard(TCommand::SaveFilter, sender)) return;
    SaveFilterWork(false);
}

void TForm1::ToolZoomClick(QObject* sender) {
    if (!PassesGuard(TCommand::ZoomWindow, sender)) return;
    // The menu item leaves the button as it is, so it shows or hides the
    // window just as the button already has it.
    if (!d->Windows.FormZoom) return;
    if (ToolZoom->isChecked()) PlaceBeside(d->Windows.FormZoom);
    d->Windows.FormZoom->setVisible(ToolZoom->isChecked());
}

void TForm1::ToolRecClick(QObject* sender) {
    if (!PassesGuard(TCommand::Rectangle, sender)) return;
    ToolRec->setChecked(true);
    Shape->SetKind(TShapeMark::TKind::Rectangle);
}

void TForm1::ToolElipseClick(QObject* sender) {
    if (!PassesGuard(TCommand::Ellipse, sender)) return;
    ToolElipse->setChecked(true);
    Shape->SetKind(TShapeMark::TKind::Ellipse);
}

void TForm1::versioninfo1Click(QObject* sender) {
    if (!PassesGuard(TCommand::VersionInfo, sender)) return;
    if (d->Windows.VersionInfoForm)
        d->Windows.VersionInfoForm->ShowVersionInfo(d->LanguageState.Language);
}

void TForm1::FastTransform1Click(QObject* sender) {
    // A preference, not a command: its check mark is the setting, read by
    // the next transform; in help mode the click only asks what it does.
    if (!PassesGuard(TCommand::FastTransform, sender)) return;
}

void TForm1::about1Click(QObject* sender) {
    if (!PassesGuard(TCommand::About, sender)) return;
    if (d->Windows.FormAbout) d->Windows.FormAbout->ShowAbout(d->LanguageState.Language);
}
