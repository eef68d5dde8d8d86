#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/application.h"
#include "app/image_view.h"
#include "app/picture_dialog.h"
#include "app/shape_mark.h"
#include "app/user_dialogs.h"
#include "filter/filter_list_form.h"
#include "help/help_form.h"
#include "help/help_topics.h"
#include "shell/interface_texts.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <cstddef>
#include <exception>
#include <functional>
#include <type_traits>

// Resources of a static library are registered by hand.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace {

// An icon of app/icons with its greyed counterpart for the disabled state,
// each also at twice the size (the same pixels doubled), so that a screen of
// two device pixels a point shows crisp edges instead of a smoothed blur.
QIcon IconFile(const QString& name) {
    const QString base = QString(":/icons/%1").arg(name);
    QIcon icon;
    icon.addFile(base + ".png", QSize(16, 16), QIcon::Normal);
    icon.addFile(base + "@2x.png", QSize(32, 32), QIcon::Normal);
    icon.addFile(base + "_disabled.png", QSize(16, 16), QIcon::Disabled);
    icon.addFile(base + "_disabled@2x.png", QSize(32, 32), QIcon::Disabled);
    return icon;
}

// The control's own enabled flag: what SetCommandState set, regardless of
// whether a parent is disabled for the moment.
bool OwnEnabled(const QObject* object) {
    if (auto* widget = qobject_cast<const QWidget*>(object))
        return !widget->testAttribute(Qt::WA_ForceDisabled);
    if (auto* action = qobject_cast<const QAction*>(object)) return action->isEnabled();
    return true;
}

void SetOwnEnabled(QObject* object, bool on) {
    if (auto* widget = qobject_cast<QWidget*>(object))
        widget->setEnabled(on);
    else if (auto* action = qobject_cast<QAction*>(object))
        action->setEnabled(on);
}

// A 16 x 16 icon with its greyed version: paint draws one in the ink given,
// knowing which of the two it is drawing, on 16 x 16 points; it is painted at
// one and at two device pixels a point, so it stays sharp on either screen.
QIcon TwoStateIcon(const std::function<void(QPainter&, const QColor& ink, bool enabled)>& paint) {
    QIcon icon;
    for (const int scale : {1, 2})
        for (const bool enabled : {true, false}) {
            QPixmap pixmap(16 * scale, 16 * scale);
            pixmap.setDevicePixelRatio(scale);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            const QColor ink = enabled ? QColor(40, 60, 120) : QColor(150, 150, 150);
            painter.setPen(ink);
            paint(painter, ink, enabled);
            painter.end();
            icon.addPixmap(pixmap, enabled ? QIcon::Normal : QIcon::Disabled);
        }
    return icon;
}

// The before-and-after button: a picture split at its diagonal into a
// rough and a smooth half.
QIcon CompareIcon() {
    return TwoStateIcon([](QPainter& painter, const QColor&, bool enabled) {
        painter.drawRect(1, 1, 13, 13);
        for (int y = 2; y < 14; ++y)
            for (int x = 2; x < 14; ++x)
                if (x + y < 15 && (x + y) % 2 == 0) painter.drawPoint(x, y);
        painter.fillRect(QRect(8, 8, 6, 6),
                         enabled ? QColor(120, 160, 220) : QColor(200, 200, 200));
        painter.drawLine(2, 14, 14, 2);
    });
}

// The find-screen button: a grid of dots under a magnifying glass.
QIcon FindScreenIcon() {
    return TwoStateIcon([](QPainter& painter, const QColor& ink, bool enabled) {
        for (int y = 1; y < 11; y += 3)
            for (int x = 1; x < 11; x += 3) painter.drawPoint(x, y);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(ink, 1.5));
        painter.setBrush(enabled ? QColor(200, 220, 245, 180) : QColor(220, 220, 220, 180));
        painter.drawEllipse(QRectF(4.5, 4.5, 7, 7));
        painter.drawLine(QPointF(11, 11), QPointF(14.5, 14.5));
    });
}

// The icon a command's row names: a picture of app/icons, or one painted here.
QIcon IconOf(std::string_view name) {
    if (name == "painted:compare") return CompareIcon();
    if (name == "painted:find_screen") return FindScreenIcon();
    return IconFile(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

QString TextOf(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The row of the command a control belongs to.
const TCommandTexts& RowOf(TControlId control) {
    return CommandTexts(*CommandOfControl(control));
}

enum class TButtonKind { Push, Check, Grouped };

// A blank gap of the designed width between buttons of a tool bar.
void AddGap(QToolBar* bar, int width) {
    auto* gap = new QWidget(bar);
    gap->setFixedWidth(width);
    bar->addWidget(gap);
}

} // namespace

// A control's hint lives in the property "Hint", the text the translation
// walk reads and writes; it is shown as the tooltip unless the control
// carries "HideHint" (the image view and the resize button never show theirs).
void SetHint(QObject* object, const QString& hint) {
    object->setProperty("Hint", hint);
    if (object->property("HideHint").toBool()) return;
    if (auto* widget = qobject_cast<QWidget*>(object)) widget->setToolTip(hint);
}

TForm1::TForm1(TSpectrumStore& store, IUserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), d(std::make_unique<TPrivate>()), Store(store), dialogs_(dialogs) {
    InitIconResources();
    setObjectName("Form1");
    resize(939, 744);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(241, 245, 250));
    setPalette(palette);

    CreateToolBars();
    CreateMenu();
    CreateClientArea();
    CreateStatusBar();
    CreateWorkControls();
    OpenPictureDialog =
        new TPictureDialog(this, "OpenPictureDialog", TPictureDialog::TPurpose::Open);
    SavePictureDialog =
        new TPictureDialog(this, "SavePictureDialog", TPictureDialog::TPurpose::Save);
    CreateFilterDialogs();
    d->EmptyView = new TImageView(this);
    d->EmptyView->hide();
    CreateComponentTree();
    ConnectCommands();
    CreationStep();
    TranslateOtherTexts();
}

TForm1::~TForm1() {
    StopBatch();
    StopTransform();
    StopOpen();
    // Quit destroys the window without closing it: the settings are written
    // now, unless the close already did.
    if (!d->SettingsWritten) WriteSettings(true);
}

uint8_t TForm1::CommandState() const {
    return d->CommandState;
}
bool TForm1::BatchRunning() const {
    return d->BatchRunning;
}
bool TForm1::HelpMode() const {
    return d->HelpMode;
}
QString TForm1::CaptionBase() const {
    return d->CaptionBase;
}
TImageView* TForm1::EmptyView() const {
    return d->EmptyView;
}
int32_t TForm1::ShapeLastLeft() const {
    return d->ShapeLastLeft;
}
int32_t TForm1::ShapeLastTop() const {
    return d->ShapeLastTop;
}
int32_t TForm1::ShapeHoverZone() const {
    return d->ShapeHoverZone;
}
int32_t TForm1::ShapeGrabZone() const {
    return d->ShapeGrabZone;
}
const TLanguageState& TForm1::LanguageState() const {
    return d->LanguageState;
}
const std::string& TForm1::HelpBase() const {
    return d->HelpBase;
}
QProgressDialog* TForm1::BatchProgress() const {
    return d->BatchProgress;
}
QDialog* TForm1::TransformProgress() const {
    return d->TransformProgress;
}
bool TForm1::TransformRunning() const {
    return d->Transform != nullptr;
}
TComponentTree& TForm1::Components() {
    return *d->Components;
}

void TForm1::CreateToolBars() {
    auto makeBar = [this](const char* name) {
        auto* bar = new QToolBar(this);
        bar->setObjectName(name);
        bar->setWindowTitle(name);
        bar->setMovable(true);
        bar->setFloatable(false);
        bar->setIconSize(QSize(16, 16));
        bar->setAllowedAreas(Qt::TopToolBarArea);
        addToolBar(Qt::TopToolBarArea, bar);
        return bar;
    };
    // A command's button takes its icon and designed hint from the command's row.
    auto makeButton = [this](QToolBar* bar, QToolButton*& field, const char* name, TButtonKind kind,
                             bool enabled, bool down, int width = 0) {
        auto* button = new QToolButton(bar);
        button->setObjectName(name);
        QString hint;
        if (const auto control = ControlByName(name)) {
            const TCommandTexts& row = RowOf(*control);
            button->setIcon(IconOf(row.Icon));
            hint = TextOf(row.Hint);
        }
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCheckable(kind != TButtonKind::Push);
        button->setChecked(down);
        button->setEnabled(enabled);
        if (width > 0) button->setFixedWidth(width);
        if (!hint.isEmpty()) SetHint(button, hint);
        bar->addWidget(button);
        field = button;
    };
    // Designed order of the strip, left to right.
    ToolBar = makeBar("ToolBar");
    ToolShape = makeBar("ToolShape");
    ToolBar2 = makeBar("ToolBar2");
    ToolBar1 = makeBar("ToolBar1");
    ToolLanguage = makeBar("ToolLanguage");

    makeButton(ToolBar, ToolOpen, "ToolOpen", TButtonKind::Push, true, false);
    makeButton(ToolBar, ToolSave, "ToolSave", TButtonKind::Push, false, false);
    AddGap(ToolBar, 8);
    makeButton(ToolBar, ToolCopy, "ToolCopy", TButtonKind::Push, false, false);
    makeButton(ToolBar, ToolPaste, "ToolPaste", TButtonKind::Push, true, false);

    makeButton(ToolShape, ToolTransform, "ToolTransform", TButtonKind::Push, true, false, 26);
    AddGap(ToolShape, 8);
    makeButton(ToolShape, Toolundo, "Toolundo", TButtonKind::Push, false, false, 26);
    AddGap(ToolShape, 8);
    makeButton(ToolShape, ToolRec, "ToolRec", TButtonKind::Grouped, false, true, 26);
    makeButton(ToolShape, ToolElipse, "ToolElipse", TButtonKind::Grouped, false, false, 26);
    auto* shapes = new QButtonGroup(this);
    shapes->setExclusive(true);
    shapes->addButton(ToolRec);
    shapes->addButton(ToolElipse);
    makeButton(ToolShape, ToolStempel, "ToolStempel", TButtonKind::Push, false, false, 26);
    makeButton(ToolShape, ToolMirror, "ToolMirror", TButtonKind::Check, true, true, 26);
    ToolMirror->setIcon(IconFile("14_mirror"));
    // The resize button's hint is translated with the others but never
    // shown as a tooltip.
    makeButton(ToolShape, ToolResize, "ToolResize", TButtonKind::Push, false, false, 26);
    ToolResize->setProperty("HideHint", true);
    SetHint(ToolResize, TextOf(RowOf(TControlId::ToolResize).Hint));

    makeButton(ToolBar2, ToolZoom, "ToolZoom", TButtonKind::Check, true, false);
    AddGap(ToolBar2, 26);
    makeButton(ToolBar2, ToolHelp, "ToolHelp", TButtonKind::Push, true, false);

    makeButton(ToolBar1, Toolapply, "Toolapply", TButtonKind::Push, false, false);
    makeButton(ToolBar1, ToolBatchrun, "ToolBatchrun", TButtonKind::Push, false, false);
    AddGap(ToolBar1, 19);
    makeButton(ToolBar1, ToolFilter, "ToolFilter", TButtonKind::Push, false, false);
    makeButton(ToolBar1, ToolLoadFilter, "ToolLoadFilter", TButtonKind::Push, true, false);
    makeButton(ToolBar1, ToolSaveFilter, "ToolSaveFilter", TButtonKind::Push, false, false);
    AddGap(ToolBar1, 8);
    makeButton(ToolBar1, ToolCompare, "ToolCompare", TButtonKind::Check, false, false);
    makeButton(ToolBar1, ToolFindScreen, "ToolFindScreen", TButtonKind::Push, false, false);

    makeButton(ToolLanguage, ToolDe, "ToolDe", TButtonKind::Check, true, true, 26);
    makeButton(ToolLanguage, Toolgb, "Toolgb", TButtonKind::Check, true, false, 26);
}

void TForm1::CreateMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    auto makeMenu = [bar](const char* name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(name);
        menu->menuAction()->setObjectName(name);
        return menu;
    };
    // A command's menu item takes its caption and icon from the command's row.
    auto makeItem = [this](QMenu* menu, const char* name) {
        const TCommandTexts& row = RowOf(*ControlByName(name));
        auto* action = new QAction(TextOf(row.Caption.empty() ? row.German : row.Caption), this);
        action->setObjectName(name);
        if (!row.Icon.empty()) action->setIcon(IconOf(row.Icon));
        menu->addAction(action);
        return action;
    };
    File1 = makeMenu("File1", "&Datei");
    Open1 = makeItem(File1, "Open1");
    Save1 = makeItem(File1, "Save1");
    Schlieen1 = makeItem(File1, "Schlieen1");
    Beenden1 = makeItem(File1, "Beenden1");
    Edit1 = makeMenu("Edit1", "&Bearbeiten");
    Copy1 = makeItem(Edit1, "Copy1");
    Paste1 = makeItem(Edit1, "Paste1");
    Transform1 = makeItem(Edit1, "Transform1");
    Bereichgltten1 = makeItem(Edit1, "Bereichgltten1");
    Edit1->addSeparator();
    FastTransform1 = makeItem(Edit1, "FastTransform1");
    FastTransform1->setCheckable(true);
    Edit1->addSeparator();
    Undo1 = makeItem(Edit1, "Undo1");
    Redo1 = makeItem(Edit1, "Redo1");
    View1 = makeMenu("View1", "&Ansicht");
    ZoomIn1 = makeItem(View1, "ZoomIn1");
    ZoomOut1 = makeItem(View1, "ZoomOut1");
    FitWindow1 = makeItem(View1, "FitWindow1");
    ActualSize1 = makeItem(View1, "ActualSize1");
    Tools1 = makeMenu("Tools1", "&Werkzeuge");
    Zoom1 = makeItem(Tools1, "Zoom1");
    Rechteck1 = makeItem(Tools1, "Rechteck1");
    Kreis1 = makeItem(Tools1, "Kreis1");
    Advanced1 = makeMenu("Advanced1", "&Erweitert");
    ApplyFilter1 = makeItem(Advanced1, "ApplyFilter1");
    Batchrun1 = makeItem(Advanced1, "Batchrun1");
    NewFilter1 = makeItem(Advanced1, "NewFilter1");
    OpenFilter1 = makeItem(Advanced1, "OpenFilter1");
    SaveFilter1 = makeItem(Advanced1, "SaveFilter1");
    Filteransehen1 = makeItem(Advanced1, "Filteransehen1");
    FindScreen1 = makeItem(Advanced1, "FindScreen1");
    Advanced1->addSeparator();
    SetWatermark1 = makeItem(Advanced1, "SetWatermark1");
    CheckWatermark1 = makeItem(Advanced1, "CheckWatermark1");
    Help1 = makeMenu("Help1", "&Hilfe");
    Contexthelp1 = makeItem(Help1, "Contexthelp1");
    versioninfo1 = makeItem(Help1, "versioninfo1");
    about1 = makeItem(Help1, "about1");
}

void TForm1::CreateStatusBar() {
    StatusBar = statusBar();
    StatusBar->setObjectName("StatusBar");
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setProperty("Tag", kTopicStatusBar);
    for (int i = 0; i < 2; ++i) {
        auto* panel = new QLabel(StatusBar);
        panel->setObjectName(QString("StatusPanel%1").arg(i));
        panel->setMinimumWidth(i == 0 ? 95 : 90);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        StatusBar->addWidget(panel);
        StatusPanels[size_t(i)] = panel;
    }
    StatusBar->installEventFilter(this);
    for (QLabel* panel : StatusPanels) panel->installEventFilter(this);
    CreateViewPanels();
}

void TForm1::ConnectCommands() {
    // Each row of the command table: its controls take their help topics and
    // start its handler with themselves as sender; the key goes on the menu
    // item, or on a key of the window's own for a command without one.
    using THandler = void (TForm1::*)(QObject*);
    auto bind = [this](TCommand command, auto control, int32_t topic, THandler handler) {
        if constexpr (!std::is_same_v<decltype(control), std::nullptr_t>) {
            control->setProperty("Tag", topic);
            const auto run = [this, command, control, handler] {
                RunCommand([&] { StartCommand(command, control, handler); });
            };
            if constexpr (std::is_same_v<decltype(control), QToolButton*>)
                connect(control, &QToolButton::clicked, this, run);
            else
                connect(control, &QAction::triggered, this, run);
        }
    };
    auto bindKey = [this](TCommand command, QAction* item, THandler handler) {
        const std::string_view key = CommandTexts(command).Key;
        if (key.empty()) return;
        QList<QKeySequence> sequences;
        for (const QString& one : TextOf(key).split(';')) sequences.append(QKeySequence(one));
        if (item) {
            item->setShortcuts(sequences);
            return;
        }
        // A key of its own flips at once (a button's own shortcut would click
        // it only after its pressed look has been shown).
        auto* action = new QAction(this);
        action->setObjectName(TextOf(CommandName(command)) + "Key");
        action->setShortcuts(sequences);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, command, action, handler] {
            RunCommand([&] { StartCommand(command, action, handler); });
        });
    };
    // A column without a control.
    [[maybe_unused]] constexpr std::nullptr_t None = nullptr;
    auto itemOf = [](auto item) -> QAction* {
        if constexpr (std::is_same_v<decltype(item), std::nullptr_t>)
            return nullptr;
        else
            return item;
    };
#define PIXMEND_BIND_COMMAND(command, button, buttonTopic, item, itemTopic, handler, ...)          \
    bind(TCommand::command, button, buttonTopic, &TForm1::handler);                                \
    bind(TCommand::command, item, itemTopic, &TForm1::handler);                                    \
    bindKey(TCommand::command, itemOf(item), &TForm1::handler);
    PIXMEND_COMMANDS(PIXMEND_BIND_COMMAND)
#undef PIXMEND_BIND_COMMAND
    connect(TrackKontrast, &QSlider::valueChanged, this, [this] {
        RunCommand(
            [&] { StartCommand(TCommand::Contrast, TrackKontrast, &TForm1::TrackKontrastChange); });
    });
    connect(Image1, &TImageView::clicked, this,
            [this] { RunCommand([&] { Image1Click(Image1); }); });
    connect(Image1, &TImageView::pointerPressed, this, [this](QPoint pos, Qt::MouseButton button) {
        RunCommand([&] { Image1MouseDown(button, pos); });
    });
    connect(Image1, &TImageView::pointerMoved, this,
            [this](QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
                RunCommand([&] { Image1MouseMove(buttons, modifiers, pos); });
            });
    connect(Image1, &TImageView::pointerReleased, this, [this](QPoint pos, Qt::MouseButton button) {
        RunCommand([&] { ShapeMouseUp(button, pos); });
    });
    connect(Image1, &TImageView::pointerLeft, this, [this] { ShowPointer(std::nullopt); });
    connect(Shape, &TShapeMark::pointerPressed, this,
            [this](QPoint pos, Qt::MouseButton button, bool doubleClick) {
                RunCommand([&] { ShapeMouseDown(button, pos, doubleClick); });
            });
    connect(Shape, &TShapeMark::pointerMoved, this,
            [this](QPoint pos, QPoint onMark, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers) {
                RunCommand([&] { ShapeMouseMove(buttons, modifiers, pos, onMark); });
            });
    connect(Shape, &TShapeMark::pointerReleased, this, [this](QPoint pos, Qt::MouseButton button) {
        RunCommand([&] { ShapeMouseUp(button, pos); });
    });
}

void TForm1::CreationStep() {
    CopyImageView(*d->EmptyView, *Image1);
    SetCommandState(csNoImage);
    d->BatchRunning = false;
    d->ShapeLastLeft = Shape->x();
    d->ShapeLastTop = Shape->y();
    d->CaptionBase = "Pixmend (Standard-Edition) ";
    SetTitle();
}

QObject* TForm1::Control(TControlId id) const {
    switch (id) {
#define PIXMEND_CONTROL_CASE(field)                                                                \
    case TControlId::field:                                                                        \
        return field;
        PIXMEND_CONTROLS(PIXMEND_CONTROL_CASE)
#undef PIXMEND_CONTROL_CASE
    }
    return nullptr;
}

TControlStates TForm1::CurrentControlStates() const {
    TControlStates states;
    for (size_t i = 0; i < kControlCount; ++i) {
        const QObject* control = Control(TControlId(i));
        states.Enabled[i] = control && OwnEnabled(control);
    }
    states.KontrastVisible = !TrackKontrast->isHidden();
    return states;
}

void TForm1::SetCommandState(uint8_t state) {
    // Applied again when the transform or open has ended, to the controls it blocked.
    if ((d->Transform || d->Opening) && state == 3) d->FilterEventWhileTransforming = true;
    const size_t entries = d->Windows.FormProtokol ? d->Windows.FormProtokol->EntryCount() : 0;
    TCommandStateResult result =
        ApplyCommandState(state, d->CommandState, CurrentControlStates(), entries,
                          d->Undo.UndoCount(), d->BeforeFilter.has_value(), d->Undo.RedoCount());
    d->CommandState = result.CommandState;
    OfferFilterCommands(result.States);
    BlockWhileBusy(result.States);
    WriteControlStates(result.States);
    if (d->Windows.FormProtokol)
        d->Windows.FormProtokol->SetSpectrumSize(d->CommandState == csNoImage ? 0 : Store.Cols,
                                                 d->CommandState == csNoImage ? 0 : Store.Rows);
    ShowWorkState();
}

void TForm1::WriteControlStates(const TControlStates& states) {
    for (size_t i = 0; i < kControlCount; ++i) {
        const auto id = TControlId(i);
        if (id == TControlId::TrackKontrast) continue;
        if (QObject* control = Control(id)) SetOwnEnabled(control, states.Enabled[i]);
    }
    TrackKontrast->setVisible(states.KontrastVisible);
}

void TForm1::ShowStatus(const QString& text, int panel) {
    if (panel < 0 || panel > 1) return;
    QLabel* label = StatusPanels[size_t(panel)];
    label->setText(text);
    // Long operations keep the event loop busy: paint now, not later.
    if (label->isVisible()) label->repaint();
}

QString TForm1::LangText(const std::string& messageKey) const {
    // Keys without a line of their own in the English table ("ReInitializing",
    // or "standby", whose line there is German) get their English form here.
    return QString::fromStdString(
        InterfaceText(d->LanguageState.Language, ::LangText(d->LanguageState, messageKey)));
}

QString TForm1::Tr(const char* german) const {
    return QString::fromStdString(InterfaceText(d->LanguageState.Language, german));
}

void TForm1::StartCommand(TCommand command, QObject* sender, void (TForm1::*handler)(QObject*)) {
    // Every command works on the filtered picture, never on the one shown for
    // comparison; only the comparison itself and the fast option leave it.
    if (command != TCommand::Compare && command != TCommand::FastTransform) ShowBeforeFilter(false);
    (this->*handler)(sender);
}

bool TForm1::PassesGuard(TCommand command, QObject* sender) {
    const TDispatchGuard guard = DispatchGuard(command);
    auto helpStep = [&] {
        if (!d->HelpMode) return true;
        // The check buttons and the option have already changed their state
        // by the click that only asked for help: put it back.
        if (auto* button = qobject_cast<QToolButton*>(sender);
            button &&
            (button == ToolZoom || button == ToolDe || button == Toolgb || button == ToolCompare))
            button->setChecked(!button->isChecked());
        if (sender == FastTransform1) FastTransform1->setChecked(!FastTransform1->isChecked());
        ShowElementHelp(sender);
        return false;
    };
    auto enabledStep = [&] { return !guard.Button || OwnEnabled(Control(*guard.Button)); };
    const auto steps = [&] {
        switch (guard.Steps) {
        case TDispatchSteps::HelpThenEnabled:
            return helpStep() && enabledStep();
        case TDispatchSteps::EnabledThenHelp:
            return enabledStep() && helpStep();
        case TDispatchSteps::HelpOnly:
            return helpStep();
        case TDispatchSteps::None:
            return true;
        }
        return false;
    };
    // Also when a command's own control does not say so (Undo, Resize).
    if (!steps() || (Busy() && BlockedWhileBusy(command))) return false;
    // The view may still be drawing the store into the bitmap: a command that
    // reads the bitmap or changes the store gets it whole. Looking and a new
    // contrast do not wait for it.
    if (command != TCommand::ZoomIn && command != TCommand::ZoomOut &&
        command != TCommand::FitWindow && command != TCommand::ActualSize &&
        command != TCommand::Contrast)
        Image1->FinishDrawing();
    return true;
}

void TForm1::SetHelpMode(bool on) {
    // Esc leaves help mode without asking about anything; the key is the
    // window's only while help mode is on.
    auto* leave = findChild<QAction*>("LeaveHelpModeKey", Qt::FindDirectChildrenOnly);
    if (!leave && on) {
        leave = new QAction(this);
        leave->setObjectName("LeaveHelpModeKey");
        leave->setShortcut(QKeySequence(Qt::Key_Escape));
        leave->setShortcutContext(Qt::WindowShortcut);
        addAction(leave);
        connect(leave, &QAction::triggered, this, [this] { SetHelpMode(false); });
    }
    if (leave) leave->setEnabled(on);
    if (on != d->HelpMode) {
        if (on)
            QApplication::setOverrideCursor(Qt::WhatsThisCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    d->HelpMode = on;
    ToolHelp->setDown(on);
}

void TForm1::ShowElementHelp(QObject* sender) {
    // The help window decides between the element's page, the offline notice
    // and the no-help notice; its notices go through our boxes. Help mode ends
    // whatever the answer.
    const int32_t topic = sender ? sender->property("Tag").toInt() : 0;
    if (TFormHelp* help = d->Windows.FormHelp) {
        PlaceBeside(help);
        help->ShowNotice = [this](const QString& text) { dialogs_.ShowInformation(this, text); };
        help->SetHelpBase(d->HelpBase.empty() ? std::nullopt
                                              : std::optional<std::string>(d->HelpBase));
        help->ShowHelpPage(topic, d->LanguageState.Language);
    }
    SetHelpMode(false);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // The commands below may end with the window destroyed.
    const QPointer<TForm1> alive(this);
    const bool onStatusBar =
        watched == StatusBar || watched == StatusPanels[0] || watched == StatusPanels[1];
    if (onStatusBar && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        RunCommand([&] { StatusBarClick(StatusBar); });
    // The filter's panel opens the filter list, as View filter does.
    if (watched == FilterPanel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        RunCommand(
            [&] { StartCommand(TCommand::ViewFilter, ToolFilter, &TForm1::ToolFilterClick); });
    if (!alive) return true;
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::Image1Click(QObject* sender) {
    if (d->HelpMode) ShowElementHelp(sender);
}

void TForm1::StatusBarClick(QObject* sender) {
    if (d->HelpMode) ShowElementHelp(sender);
}

void TForm1::ToolHelpClick(QObject* sender) {
    if (d->HelpMode)
        ShowElementHelp(sender);
    else
        SetHelpMode(true);
}
