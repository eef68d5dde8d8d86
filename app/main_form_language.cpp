// The main window's language: the component tree the translation walk runs
// over, ApplyLanguage, the German and English commands; and the settings
// file, read at the first showing and written when the window closes.
//
// Qt's parent chain says which container shows a control; the walk needs who
// owns it (every control and menu item the main window, the menu's root item
// the menu, a picture dialog's preview button the dialog). So the tree is
// built here by hand from the real widgets, each node holding its widget or
// action as Handle; before a walk the current texts are read from the
// widgets and afterwards the results written back.

#include "app/main_form.h"
#include "app/main_form_private.h"
#include "app/screen_form.h"

#include "app/image_view.h"
#include "app/picture_dialog.h"
#include "app/shape_mark.h"
#include "app/user_dialogs.h"
#include "app/view_area.h"
#include "filter/filter_list_form.h"
#include "filter/zoom_form.h"
#include "help/about_form.h"
#include "shell/interface_texts.h"
#include "spectral/resize_form.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

QString CaptionOf(const QObject* object) {
    if (auto* action = qobject_cast<const QAction*>(object)) return action->text();
    if (auto* menu = qobject_cast<const QMenu*>(object)) return menu->title();
    if (auto* button = qobject_cast<const QAbstractButton*>(object)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(object)) return label->text();
    if (auto* widget = qobject_cast<const QWidget*>(object); widget && widget->isWindow())
        return widget->windowTitle();
    return {};
}

void SetCaption(QObject* object, const QString& caption) {
    if (CaptionOf(object) == caption) return;
    if (auto* action = qobject_cast<QAction*>(object))
        action->setText(caption);
    else if (auto* menu = qobject_cast<QMenu*>(object))
        menu->setTitle(caption);
    else if (auto* button = qobject_cast<QAbstractButton*>(object))
        button->setText(caption);
    else if (auto* label = qobject_cast<QLabel*>(object))
        label->setText(caption);
    else if (auto* widget = qobject_cast<QWidget*>(object); widget && widget->isWindow())
        widget->setWindowTitle(caption);
}

QString HintOf(const QObject* object) {
    const QVariant hint = object->property("Hint");
    if (hint.isValid()) return hint.toString();
    if (auto* widget = qobject_cast<const QWidget*>(object)) return widget->toolTip();
    return {};
}

void SetHintText(QObject* object, const QString& hint) {
    if (HintOf(object) == hint) return;
    object->setProperty("Hint", hint);
    if (object->property("HideHint").toBool()) return;
    if (auto* widget = qobject_cast<QWidget*>(object)) widget->setToolTip(hint);
}

std::string Utf8(const QString& text) {
    return text.toStdString();
}

int32_t ScreenPixelsPerInch(const QWidget* widget) {
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? int32_t(std::lround(screen->logicalDotsPerInch())) : 96;
}

TRect32 RectOf(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace

void TForm1::CreateComponentTree() {
    d->Components = std::make_unique<TComponentTree>();
    TComponentTree& tree = *d->Components;
    TComponent& form =
        tree.Add(tree.Application(), "Form1", TComponentKind::MainWindow, {}, {}, this);
    auto add = [&](TComponent& owner, QObject* object, TComponentKind kind) -> TComponent& {
        return tree.Add(owner, Utf8(object->objectName()), kind, Utf8(CaptionOf(object)),
                        Utf8(HintOf(object)), object);
    };
    auto plain = [&](TComponent& owner, const char* name, TComponentKind kind) -> TComponent& {
        return tree.Add(owner, name, kind);
    };

    // In the order of the designed layout.
    plain(form, "ControlBar1", TComponentKind::Control);
    for (QToolBar* bar : {ToolBar, ToolShape, ToolBar2, ToolBar1, ToolLanguage}) {
        add(form, bar, TComponentKind::Control);
        for (QToolButton* button : bar->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
            if (!button->objectName().isEmpty() && !button->objectName().startsWith("qt_"))
                add(form, button, TComponentKind::ToolButton);
    }
    add(form, StatusBar, TComponentKind::Control);
    add(form, ScrollBox1, TComponentKind::Control);
    add(form, Image2, TComponentKind::Control);
    add(form, Image1, TComponentKind::Control);
    add(form, Shape, TComponentKind::Control);
    add(form, TrackKontrast, TComponentKind::Control);
    plain(form, "GradientCaption1", TComponentKind::NonVisual);

    TComponent& mainMenu = add(form, menuBar(), TComponentKind::Menu);
    TComponent& root = tree.Add(mainMenu, "", TComponentKind::MenuItem);
    for (QMenu* menu : {File1, Edit1, Tools1, Advanced1, Help1}) {
        TComponent& top = add(form, menu, TComponentKind::MenuItem);
        TComponentTree::AddSubItem(root, top);
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            // The tables name menu items by their place among the designed
            // ones; items added since take their texts from their rows
            // (TranslateOtherTexts), so they stay out of the count.
            const auto control = ControlByName(Utf8(action->objectName()));
            const auto command = control ? CommandOfControl(*control) : std::nullopt;
            if (!command || CommandTexts(*command).Caption.empty()) continue;
            TComponentTree::AddSubItem(top, add(form, action, TComponentKind::MenuItem));
        }
    }

    for (TPictureDialog* dialog : {OpenPictureDialog, SavePictureDialog}) {
        TComponent& owner = add(form, dialog, TComponentKind::NonVisual);
        add(owner, dialog->PreviewButton, TComponentKind::PushButton);
    }
    add(form, OpenFilter, TComponentKind::NonVisual);
    add(form, SaveFilter, TComponentKind::NonVisual);
    for (const char* name :
         {"StrHolder1", "StrHolder2", "FormStorage1", "CipherManager", "ImageList1", "ImageList2"})
        plain(form, name, TComponentKind::NonVisual);
    // Created last, without a name: the first walk names it.
    tree.Add(form, "", TComponentKind::Control, {}, {}, d->EmptyView);
}

void TForm1::ApplyLanguage() {
    // Let the window finish painting before the walk.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const TLanguageTable* before = d->LanguageState.LanguageTable;
    const int32_t spoken = before == &StrHolder2()   ? lgEnglish
                           : before == &StrHolder1() ? lgGerman
                                                     : lgNone;
    SelectLanguageTable(d->LanguageState, d->LanguageState.Language);
    // The status bar says what it said in the new language; a text of no
    // table (or none known) goes rather than stay in the old one.
    if (spoken != lgNone && spoken != d->LanguageState.Language)
        for (QLabel* panel : StatusPanels)
            if (!panel->text().isEmpty())
                panel->setText(QString::fromStdString(TextInLanguage(
                    spoken, d->LanguageState.Language, panel->text().toStdString())));

    TComponentTree& tree = *d->Components;
    const std::vector<TComponent*> all = tree.All();
    for (TComponent* c : all) {
        if (!c->Handle) continue;
        const auto* object = static_cast<const QObject*>(c->Handle);
        c->Caption = Utf8(CaptionOf(object));
        c->Hint = Utf8(HintOf(object));
    }
    TranslateComponents(d->LanguageState, *tree.Find("Form1"));
    for (TComponent* c : all) {
        if (!c->Handle || c->Handle == this) continue;
        auto* object = static_cast<QObject*>(c->Handle);
        SetCaption(object, QString::fromStdString(c->Caption));
        SetHintText(object, QString::fromStdString(c->Hint));
        if (object->objectName().isEmpty() && !c->Name.empty())
            object->setObjectName(QString::fromStdString(c->Name));
    }

    TranslateOtherTexts();

    if (d->LanguageState.Language == lgGerman) {
        ToolDe->setChecked(true);
        Toolgb->setChecked(false);
    } else if (d->LanguageState.Language == lgEnglish) {
        Toolgb->setChecked(true);
        ToolDe->setChecked(false);
    }
}

void TForm1::TranslateOtherTexts() {
    const int32_t language = d->LanguageState.Language;
    dialogs_.SetLanguage(language);
    if (d->TransformProgress) {
        d->TransformProgress->setWindowTitle(Tr("Umwandeln"));
        if (auto* cancel = d->TransformProgress->findChild<QPushButton*>("TransformCancel"))
            cancel->setText(Tr("Abbrechen"));
    }
    // Buttons the tables have no hint for still tell what they do; their
    // Hint stays as designed, only the tooltip is set.
    ToolMirror->setToolTip(Tr("Auch den an der Diagonale gespiegelten Bereich gl\u00e4tten"));
    View1->setTitle(Tr("&Ansicht"));
    KontrastLabel->setText(Tr("Kontrast"));
    ScrollBox1->SetEmptyText(Tr("Bild \u00f6ffnen (Strg+O) oder hierher ziehen"));
    // Painted, so a screen reader gets it as the view's description.
    ScrollBox1->setAccessibleDescription(Tr("Bild \u00f6ffnen (Strg+O) oder hierher ziehen"));
    ShowPointer(std::nullopt);
    // The commands the tables know nothing of take their texts from their
    // rows; a button's tooltip names the command's key.
    for (size_t i = 0; i < kControlCount; ++i) {
        const auto id = TControlId(i);
        const std::optional<TCommand> command = CommandOfControl(id);
        if (!command) continue;
        const TCommandTexts& row = CommandTexts(*command);
        const std::string_view text = language == lgEnglish ? row.English : row.German;
        QString shown = QString::fromUtf8(text.data(), qsizetype(text.size()));
        const QString key =
            QString::fromUtf8(row.Key.data(), qsizetype(row.Key.size())).section(';', 0, 0);
        if (auto* button = qobject_cast<QToolButton*>(Control(id))) {
            // The designed hint, as the tables gave it, unless it is never
            // shown; else the row's text.
            if (!row.Hint.empty() && !button->property("HideHint").toBool())
                shown = button->property("Hint").toString();
            if (shown.isEmpty()) continue;
            if (!key.isEmpty()) shown += QString(" (%1)").arg(key);
            button->setToolTip(shown);
        } else if (auto* item = qobject_cast<QAction*>(Control(id)); item && !text.empty()) {
            item->setText(shown);
        }
    }
    FillRecentMenu();
    ShowWorkState();
    if (d->Windows.FResize) d->Windows.FResize->SetLanguage(language);
    if (d->Windows.FormProtokol) d->Windows.FormProtokol->SetLanguage(language);
    if (d->Windows.FormAbout) d->Windows.FormAbout->SetLanguage(language);
    if (d->ScreenForm) d->ScreenForm->SetLanguage(language);
}

void TForm1::ToolDeClick(QObject* sender) {
    if (!PassesGuard(TCommand::German, sender)) return;
    d->LanguageState.Language = lgGerman;
    ApplyLanguage();
}

void TForm1::ToolgbClick(QObject* sender) {
    if (!PassesGuard(TCommand::English, sender)) return;
    d->LanguageState.Language = lgEnglish;
    ApplyLanguage();
}

std::string TForm1::SettingsFileName() const {
    return SettingsFilePath();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (d->SettingsRead || event->spontaneous()) return;
    d->SettingsRead = true;
    ReadSettings();
}

void TForm1::ReadSettings() {
    const int32_t ppi = ScreenPixelsPerInch(this);
    const TRect32 current = RectOf(normalGeometry().isValid() ? normalGeometry() : geometry());
    TRestoredSettings settings;
    try {
        settings = ReadSettingsFile(SettingsFileName(), ppi, current);
    } catch (const std::exception& error) {
        // An unreadable file must not stop the start: report it, use defaults.
        dialogs_.ShowError(this, QString::fromUtf8(error.what()));
        settings = DefaultSettings(ppi, current);
    }
    // The help server's address is kept even when nothing else was read.
    if (settings.HelpBase) d->HelpBase = *settings.HelpBase;
    d->RecentFiles.clear();
    for (const std::string& file : settings.RecentFiles)
        d->RecentFiles.append(QString::fromStdString(file));
    FillRecentMenu();
    if (!settings.Read) return;

    if (settings.ApplyPlacement) {
        const TRect32& r = settings.NormalPosition;
        setGeometry(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    }
    switch (settings.ShowState) {
    case TShowState::Normal:
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        break;
    case TShowState::Minimized:
        setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
        break;
    case TShowState::Maximized:
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        // Without a window manager nobody carries out the request: fill the
        // screen ourselves, keeping the normal geometry for the settings.
        QTimer::singleShot(200, this, [this] {
            if (!isMaximized() || !screen()) return;
            const QRect available = screen()->availableGeometry();
            if (frameGeometry().size() == available.size()) return;
            const QRect normal = normalGeometry();
            setGeometry(available);
            if (!isMaximized()) setWindowState(windowState() | Qt::WindowMaximized);
            d->NormalGeometry = normal;
        });
        break;
    }

    // Tool bar positions: the strip keeps the bars in the order of their
    // stored left edges (the designed order breaks ties).
    struct TBarPlace {
        QToolBar* Bar;
        int32_t Left;
    };
    std::vector<TBarPlace> bars = {
        {ToolBar, settings.ToolBar_Left.value_or(11)},
        {ToolShape, settings.ToolShape_Left.value_or(124)},
        {ToolBar2, settings.ToolBar2_Left.value_or(390)},
        {ToolBar1, settings.ToolBar1_Left.value_or(482)},
        {ToolLanguage, settings.ToolLanguage_Left.value_or(636)},
    };
    std::stable_sort(bars.begin(), bars.end(),
                     [](const TBarPlace& a, const TBarPlace& b) { return a.Left < b.Left; });
    for (const TBarPlace& place : bars) {
        removeToolBar(place.Bar);
        addToolBar(Qt::TopToolBarArea, place.Bar);
        place.Bar->show();
    }
    if (settings.ToolMirror_Down) ToolMirror->setChecked(*settings.ToolMirror_Down);
    if (settings.Toolgb_Down) Toolgb->setChecked(*settings.Toolgb_Down);
    if (settings.ToolDe_Down) ToolDe->setChecked(*settings.ToolDe_Down);

    FastTransform1->setChecked(settings.FastTransform);

    // The language stored with the settings (English when none is).
    d->LanguageState.Language = settings.Lang;
    ApplyLanguage();
}

void TForm1::WriteSettings(bool visible) {
    // A window that was never shown has no placement of its own; writing
    // would only replace the user's settings with designed values.
    if (!d->SettingsRead) return;
    d->SettingsWritten = true;
    TSettingsRecord record;
    record.Flags = 0;
    record.ShowState = isMinimized()   ? TShowState::Minimized
                       : isMaximized() ? TShowState::Maximized
                                       : TShowState::Normal;
    record.PixelsPerInch = ScreenPixelsPerInch(this);
    record.MinPosition = {-1, -1};
    record.MaxPosition = {-1, -1};
    record.NormalPosition = RectOf(NormalPlacement());
    record.Visible = visible;
    record.ToolBar_Left = ToolBar->x();
    record.ToolBar1_Left = ToolBar1->x();
    record.ToolBar2_Left = ToolBar2->x();
    record.ToolLanguage_Left = ToolLanguage->x();
    record.ToolShape_Left = ToolShape->x();
    record.ToolMirror_Down = ToolMirror->isChecked();
    record.Toolgb_Down = Toolgb->isChecked();
    record.ToolDe_Down = ToolDe->isChecked();
    record.Lang = d->LanguageState.Language;
    record.HelpBase = d->HelpBase;
    record.FastTransform = FastTransform1->isChecked();
    for (const QString& file : d->RecentFiles) record.RecentFiles.push_back(file.toStdString());
    try {
        WriteSettingsFile(SettingsFileName(), record);
    } catch (const std::exception& error) {
        // Reported, and the program still ends.
        dialogs_.ShowError(this, QString::fromUtf8(error.what()));
    }
}

QRect TForm1::NormalPlacement() const {
    if (isMaximized() && d->NormalGeometry.isValid()) return d->NormalGeometry;
    return normalGeometry().isValid() ? normalGeometry() : geometry();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The close box asks before unsaved work goes, as Quit does; Cancel
    // keeps the window open with everything as it was.
    if (!d->Quitting && !ConfirmDiscard(TDiscard::PictureAndFilter)) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    // A running transform stops; its command gives the store back as it was.
    if (d->Transform) CancelTransform();
    if (d->Quitting) return;
    WriteSettings(false);
    // The close box ends the program at once, whatever other windows show.
    if (QuitApplication) QuitApplication();
}
