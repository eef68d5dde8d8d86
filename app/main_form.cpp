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
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
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

// Icon set, by the index the tool buttons and menu items refer to.
constexpr const char* kIconFiles[18] = {
    "00_context_help", "01_transform", "02_open",      "03_save",         "04_zoom",
    "05_copy",         "06_paste",     "07_batch_run", "08_apply_filter", "09_view_filter",
    "10_undo",         "11_rectangle", "12_ellipse",   "13_smoothing",    "14_mirror",
    "15_english",      "16_german",    "17_resize",
};

// An icon with its greyed counterpart for the disabled state.
QIcon IconOf(int index) {
    const QString base = QString(":/icons/%1").arg(kIconFiles[index]);
    QIcon icon;
    icon.addFile(base + ".png", QSize(16, 16), QIcon::Normal);
    icon.addFile(base + "_disabled.png", QSize(16, 16), QIcon::Disabled);
    return icon;
}

// A control's hint lives in the property "Hint", the text the translation
// walk reads and writes; it is shown as the tooltip unless the control
// carries "HideHint" (the image view and the resize button never show theirs).
void SetHint(QObject* object, const QString& hint) {
    object->setProperty("Hint", hint);
    if (object->property("HideHint").toBool()) return;
    if (auto* widget = qobject_cast<QWidget*>(object)) widget->setToolTip(hint);
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
// knowing which of the two it is drawing.
QIcon TwoStateIcon(const std::function<void(QPainter&, const QColor& ink, bool enabled)>& paint) {
    QIcon icon;
    for (const bool enabled : {true, false}) {
        QPixmap pixmap(16, 16);
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

enum class TButtonKind { Push, Check, Grouped };

// A blank gap of the designed width between buttons of a tool bar.
void AddGap(QToolBar* bar, int width) {
    auto* gap = new QWidget(bar);
    gap->setFixedWidth(width);
    bar->addWidget(gap);
}

} // namespace

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
    auto makeButton = [this](QToolBar* bar, QToolButton*& field, const char* name, int icon,
                             const QString& hint, TButtonKind kind, bool enabled, bool down,
                             int width = 0) {
        auto* button = new QToolButton(bar);
        button->setObjectName(name);
        button->setIcon(IconOf(icon));
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

    makeButton(ToolBar, ToolOpen, "ToolOpen", 2, "Bild öffnen", TButtonKind::Push, true, false);
    makeButton(ToolBar, ToolSave, "ToolSave", 3, "Bild speichern", TButtonKind::Push, false, false);
    AddGap(ToolBar, 8);
    makeButton(ToolBar, ToolCopy, "ToolCopy", 5, "Kopieren in die Zwischenablage",
               TButtonKind::Push, false, false);
    makeButton(ToolBar, ToolPaste, "ToolPaste", 6, "Einfügen aus der Zwischenablage",
               TButtonKind::Push, true, false);

    makeButton(ToolShape, ToolTransform, "ToolTransform", 1, "Umwandel", TButtonKind::Push, true,
               false, 26);
    AddGap(ToolShape, 8);
    makeButton(ToolShape, Toolundo, "Toolundo", 10, "Letze Glättung zurücknehmen",
               TButtonKind::Push, false, false, 26);
    AddGap(ToolShape, 8);
    makeButton(ToolShape, ToolRec, "ToolRec", 11, "mit Rechteck glätten", TButtonKind::Grouped,
               false, true, 26);
    makeButton(ToolShape, ToolElipse, "ToolElipse", 12, "mit Ellipse glätten", TButtonKind::Grouped,
               false, false, 26);
    auto* shapes = new QButtonGroup(this);
    shapes->setExclusive(true);
    shapes->addButton(ToolRec);
    shapes->addButton(ToolElipse);
    makeButton(ToolShape, ToolStempel, "ToolStempel", 13, "Glättung anwenden", TButtonKind::Push,
               false, false, 26);
    makeButton(ToolShape, ToolMirror, "ToolMirror", 14, QString(), TButtonKind::Check, true, true,
               26);
    // The resize button's hint is translated with the others but never
    // shown as a tooltip.
    makeButton(ToolShape, ToolResize, "ToolResize", 17, QString(), TButtonKind::Push, false, false,
               26);
    ToolResize->setProperty("HideHint", true);
    SetHint(ToolResize, "Resize");

    makeButton(ToolBar2, ToolZoom, "ToolZoom", 4, "Zoom", TButtonKind::Check, true, false);
    AddGap(ToolBar2, 26);
    makeButton(ToolBar2, ToolHelp, "ToolHelp", 0,
               "Kontexthilfe\r\n(Klicken Sie auf das Element zu dem Sie Hilfe benötigen)",
               TButtonKind::Push, true, false);

    makeButton(ToolBar1, Toolapply, "Toolapply", 8, "Filter anwenden", TButtonKind::Push, false,
               false);
    makeButton(ToolBar1, ToolBatchrun, "ToolBatchrun", 7, "Batchlauf", TButtonKind::Push, false,
               false);
    AddGap(ToolBar1, 19);
    makeButton(ToolBar1, ToolFilter, "ToolFilter", 9, "Filter ansehen und bearbeiten",
               TButtonKind::Push, false, false);
    makeButton(ToolBar1, ToolLoadFilter, "ToolLoadFilter", 2, "Filter öffnen", TButtonKind::Push,
               true, false);
    makeButton(ToolBar1, ToolSaveFilter, "ToolSaveFilter", 3, "Filter speichern", TButtonKind::Push,
               false, false);
    AddGap(ToolBar1, 8);
    makeButton(ToolBar1, ToolCompare, "ToolCompare", 9, QString(), TButtonKind::Check, false,
               false);
    ToolCompare->setIcon(CompareIcon());
    makeButton(ToolBar1, ToolFindScreen, "ToolFindScreen", 9, QString(), TButtonKind::Push, false,
               false);
    ToolFindScreen->setIcon(FindScreenIcon());

    makeButton(ToolLanguage, ToolDe, "ToolDe", 16, QString(), TButtonKind::Check, true, true, 26);
    makeButton(ToolLanguage, Toolgb, "Toolgb", 15, QString(), TButtonKind::Check, true, false, 26);
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
    auto makeItem = [this](QMenu* menu, const char* name, const QString& caption, int icon) {
        auto* action = new QAction(caption, this);
        action->setObjectName(name);
        if (icon >= 0) action->setIcon(IconOf(icon));
        menu->addAction(action);
        return action;
    };
    File1 = makeMenu("File1", "&Datei");
    Open1 = makeItem(File1, "Open1", "Öffnen", 2);
    Save1 = makeItem(File1, "Save1", "Speichern", 3);
    Schlieen1 = makeItem(File1, "Schlieen1", "Schließen", -1);
    Beenden1 = makeItem(File1, "Beenden1", "Beenden", -1);
    Edit1 = makeMenu("Edit1", "&Bearbeiten");
    Copy1 = makeItem(Edit1, "Copy1", "Kopieren", 5);
    Paste1 = makeItem(Edit1, "Paste1", "Einfügen", 6);
    Transform1 = makeItem(Edit1, "Transform1", "Umwandeln", 1);
    Bereichgltten1 = makeItem(Edit1, "Bereichgltten1", "Bereich glätten", 13);
    Edit1->addSeparator();
    FastTransform1 = makeItem(Edit1, "FastTransform1", "Schnelle Umwandlung (nicht bitgenau)", -1);
    FastTransform1->setCheckable(true);
    Tools1 = makeMenu("Tools1", "&Werkzeuge");
    Zoom1 = makeItem(Tools1, "Zoom1", "Zoom", 4);
    Rechteck1 = makeItem(Tools1, "Rechteck1", "Rechteck", 11);
    Kreis1 = makeItem(Tools1, "Kreis1", "Ellipse", 12);
    Advanced1 = makeMenu("Advanced1", "&Erweitert");
    ApplyFilter1 = makeItem(Advanced1, "ApplyFilter1", "Filter anwenden", 8);
    Batchrun1 = makeItem(Advanced1, "Batchrun1", "Batchlauf", 7);
    OpenFilter1 = makeItem(Advanced1, "OpenFilter1", "Filter öffnen", 2);
    SaveFilter1 = makeItem(Advanced1, "SaveFilter1", "Filter speichern", 3);
    Filteransehen1 = makeItem(Advanced1, "Filteransehen1", "Filter ansehen", 9);
    FindScreen1 = makeItem(Advanced1, "FindScreen1", "Raster finden", -1);
    FindScreen1->setIcon(FindScreenIcon());
    Advanced1->addSeparator();
    SetWatermark1 = makeItem(Advanced1, "SetWatermark1", "Wasserzeichen setzen", -1);
    CheckWatermark1 = makeItem(Advanced1, "CheckWatermark1", "Wasserzeichen prüfen", -1);
    Help1 = makeMenu("Help1", "&Hilfe");
    Contexthelp1 = makeItem(Help1, "Contexthelp1", "Kontexthilfe", 0);
    versioninfo1 = makeItem(Help1, "versioninfo1", "version-info", -1);
    about1 = makeItem(Help1, "about1", "Über uns", -1);
}

void TForm1::CreateClientArea() {
    auto* client = new QWidget(this);
    auto* row = new QHBoxLayout(client);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    ScrollBox1 = new QScrollArea(client);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setBackgroundRole(QPalette::Window);
    auto* canvas = new QWidget;
    canvas->setObjectName("ScrollBox1Canvas");
    Image2 = new QLabel(canvas);
    Image2->setObjectName("Image2");
    Image2->setPixmap(QPixmap(":/icons/background.png"));
    Image2->move(0, 160);
    Image2->adjustSize();
    Image1 = new TImageView(canvas);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 737, 705);
    Image1->setProperty("HideHint", true);
    SetHint(Image1, "Doppelklick zum Anwenden");
    Shape = new TShapeMark(Image1);
    Shape->setObjectName("Shape");
    Shape->SetMark(TMarkRect{80, 272, 89, 89});
    Shape->hide();
    ScrollBox1->setWidget(canvas);
    FitScrollArea();
    row->addWidget(ScrollBox1, 1);

    TrackKontrast = new QSlider(Qt::Vertical, client);
    TrackKontrast->setObjectName("TrackKontrast");
    TrackKontrast->setRange(-50, 50);
    TrackKontrast->setValue(0);
    TrackKontrast->setTickInterval(1);
    TrackKontrast->setTickPosition(QSlider::TicksLeft);
    TrackKontrast->setFixedWidth(29);
    TrackKontrast->setProperty("Tag", kTopicContrast);
    SetHint(TrackKontrast, "kontrast");
    row->addWidget(TrackKontrast);
    setCentralWidget(client);
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
}

void TForm1::ConnectCommands() {
    // Each row of the command table: its controls take their help topics and
    // start its handler with themselves as sender.
    using THandler = void (TForm1::*)(QObject*);
    auto bind = [this](auto control, int32_t topic, THandler handler) {
        if constexpr (!std::is_same_v<decltype(control), std::nullptr_t>) {
            control->setProperty("Tag", topic);
            const auto run = [this, control, handler] {
                RunCommand([&] { (this->*handler)(control); });
            };
            if constexpr (std::is_same_v<decltype(control), QToolButton*>)
                connect(control, &QToolButton::clicked, this, run);
            else
                connect(control, &QAction::triggered, this, run);
        }
    };
    // A column without a control.
    [[maybe_unused]] constexpr std::nullptr_t None = nullptr;
#define PIXMEND_BIND_COMMAND(command, button, buttonTopic, item, itemTopic, handler, steps, guard) \
    bind(button, buttonTopic, &TForm1::handler);                                                   \
    bind(item, itemTopic, &TForm1::handler);
    PIXMEND_COMMANDS(PIXMEND_BIND_COMMAND)
#undef PIXMEND_BIND_COMMAND
    auto bindButton = [this](QToolButton* button, THandler handler) {
        connect(button, &QToolButton::clicked, this,
                [this, button, handler] { RunCommand([&] { (this->*handler)(button); }); });
    };
    auto bindItem = [this](QAction* action, THandler handler) {
        connect(action, &QAction::triggered, this,
                [this, action, handler] { RunCommand([&] { (this->*handler)(action); }); });
    };
    // Outside the table: the buttons and the key that live apart from the
    // command states.
    bindButton(ToolCompare, &TForm1::ToolCompareClick);
    bindButton(ToolFindScreen, &TForm1::ToolFindScreenClick);
    bindItem(FindScreen1, &TForm1::ToolFindScreenClick);
    ToolFindScreen->setProperty("Tag", kTopicFindScreen);
    FindScreen1->setProperty("Tag", kTopicFindScreen);
    // The key flips at once (a button's own shortcut would click it only
    // after its pressed look has been shown).
    auto* compareKey = new QAction(this);
    compareKey->setObjectName("CompareKey");
    compareKey->setShortcut(QKeySequence(Qt::Key_F8));
    addAction(compareKey);
    bindItem(compareKey, &TForm1::ToolCompareClick);
    // A preference, not a command: in help mode the click only asks what it does.
    connect(FastTransform1, &QAction::triggered, this, [this] {
        if (!d->HelpMode) return;
        FastTransform1->setChecked(!FastTransform1->isChecked());
        RunCommand([&] { ShowElementHelp(FastTransform1); });
    });
    connect(TrackKontrast, &QSlider::valueChanged, this,
            [this] { RunCommand([&] { TrackKontrastChange(TrackKontrast); }); });
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
    connect(Shape, &TShapeMark::pointerPressed, this,
            [this](QPoint pos, Qt::MouseButton button, bool doubleClick) {
                RunCommand([&] { ShapeMouseDown(button, pos, doubleClick); });
            });
    connect(Shape, &TShapeMark::pointerMoved, this,
            [this](QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
                RunCommand([&] { ShapeMouseMove(buttons, modifiers, pos); });
            });
    connect(Shape, &TShapeMark::pointerReleased, this, [this](QPoint pos, Qt::MouseButton button) {
        RunCommand([&] { ShapeMouseUp(button, pos); });
    });
}

void TForm1::CreationStep() {
    CopyImageView(*d->EmptyView, *Image1);
    SetCommandState(0);
    d->BatchRunning = false;
    d->ShapeLastLeft = Shape->x();
    d->ShapeLastTop = Shape->y();
    d->CaptionBase = "Pixmend (Standard-Edition) ";
    Open1->setShortcut(QKeySequence(Qt::Key_F2));
    Save1->setShortcut(QKeySequence(Qt::Key_F3));
    Schlieen1->setShortcut(QKeySequence(Qt::Key_F4));
    Transform1->setShortcut(QKeySequence(Qt::Key_F5));
    ApplyFilter1->setShortcut(QKeySequence(Qt::Key_F6));
    Batchrun1->setShortcut(QKeySequence(Qt::Key_F7));
    about1->setShortcut(QKeySequence(Qt::Key_F1));
    Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
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
    // Applied again when the transform has ended, to the controls it blocked.
    if (d->Transform && state == 3) d->FilterEventWhileTransforming = true;
    const size_t entries = d->Windows.FormProtokol ? d->Windows.FormProtokol->EntryCount() : 0;
    TCommandStateResult result = ApplyCommandState(state, d->CommandState, CurrentControlStates(),
                                                   entries, d->Undo.UndoCount());
    BlockWhileBusy(result.States);
    WriteControlStates(result.States);
    d->CommandState = result.CommandState;
    // The comparison swaps the picture a forward transform may be reading,
    // the screen search reads the store: neither while a transform runs.
    ToolCompare->setEnabled(d->CommandState == 1 && d->BeforeFilter.has_value() && !d->Transform);
    ToolFindScreen->setEnabled(d->CommandState == 2 && !d->Transform);
    FindScreen1->setEnabled(d->CommandState == 2 && !d->Transform);
    if (d->Windows.FormProtokol)
        d->Windows.FormProtokol->SetSpectrumSize(d->CommandState == 0 ? 0 : Store.Cols,
                                                 d->CommandState == 0 ? 0 : Store.Rows);
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

bool TForm1::PassesGuard(TCommand command, QObject* sender) {
    // Every command works on the filtered picture, never on the one shown
    // for comparison.
    ShowBeforeFilter(false);
    const TDispatchGuard guard = DispatchGuard(command);
    auto helpStep = [&] {
        if (!d->HelpMode) return true;
        // The check buttons have already changed their down state by the
        // click that only asked for help: put it back.
        if (auto* button = qobject_cast<QToolButton*>(sender);
            button && (button == ToolZoom || button == ToolDe || button == Toolgb))
            button->setChecked(!button->isChecked());
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
    return steps() && !BusyBlocks(command);
}

void TForm1::SetTitle(const QString& name) {
    setWindowTitle(d->CaptionBase + name);
}

void TForm1::SetHelpMode(bool on) {
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
        help->ShowNotice = [this](const QString& text) { dialogs_.ShowInformation(this, text); };
        help->SetHelpBase(d->HelpBase.empty() ? std::nullopt
                                              : std::optional<std::string>(d->HelpBase));
        help->ShowHelpPage(topic, d->LanguageState.Language);
    }
    SetHelpMode(false);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const bool onStatusBar =
        watched == StatusBar || watched == StatusPanels[0] || watched == StatusPanels[1];
    if (onStatusBar && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        RunCommand([&] { StatusBarClick(StatusBar); });
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
