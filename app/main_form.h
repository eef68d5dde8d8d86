#pragma once
// The main window: the program's one document window and the hub of every
// command. It owns the tool bars, the menu, the image view, the contrast
// slider, the status bar, the language state and the picture dialogs; the
// spectrum store is the program's and only referenced here.
//
// Commands run on the user-interface thread to completion. Each handler
// takes its guard steps first (help mode, then the enabled state of its tool
// button, in the order DispatchGuard gives); tool button, menu item and
// shortcut run the same handler with themselves as sender. An exception
// leaving a handler is shown in an error box by RunCommand and the event loop
// goes on; whatever the command changed before stays changed.
//
// The implementation is split by concern: main_form.cpp (construction, command
// states, status bar, dispatch), main_form_file.cpp (image commands, Close,
// Quit), main_form_language.cpp (language and settings file),
// main_form_commands.cpp (filter list, zoom and information windows),
// main_form_transform.cpp (the Transform command, run on a worker thread
// with a progress window and Cancel), main_form_spectrum.cpp (display,
// smoothing, undo, resize),
// main_form_mark.cpp (the mark under the pointer, the zoom picture),
// main_form_view.cpp (the client area, the view's zoom and its status panels),
// main_form_open.cpp (loading a picture file on a worker thread),
// main_form_filter.cpp (apply filter, batch run) and main_form_watermark.cpp
// (embedding and checking the watermark).

#include "filter/apply_filter.h"
#include "filter/mark.h"
#include "shell/command_state.h"
#include "shell/language_tables.h"
#include "shell/settings.h"
#include "shell/translation.h"
#include "spectral/progress.h"
#include "spectral/store.h"
#include "spectral/transform.h"

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QFileDialog;
class QLabel;
class QMenu;
class QProgressDialog;
class QScrollArea;
class QSlider;
class QStatusBar;
class QToolBar;
class QToolButton;

class IUserDialogs;
class TFormAbout;
class TFormBatch;
class TFormHelp;
class TFormProtokol;
class TFormZoom;
class TFResize;
class TImageView;
class TPictureDialog;
class TScreenForm;
class TShapeMark;
class TViewArea;
class TVersionInfoForm;
struct TBatchFile;
struct TBatchSummary;

// The other windows, created after the main window; set by the start-up.
struct TOtherWindows {
    TFormZoom* FormZoom = nullptr;
    TFormHelp* FormHelp = nullptr;
    TFormProtokol* FormProtokol = nullptr;
    TFormBatch* FormBatch = nullptr;
    TFormAbout* FormAbout = nullptr;
    TVersionInfoForm* VersionInfoForm = nullptr;
    TFResize* FResize = nullptr;
};

// The window is also the progress display of its long operations: phases go
// to status panel 0, percentages to panel 1, both repainted at once.
class TForm1 : public QMainWindow, public IProgress {
    Q_OBJECT
public:
    // store: the program-wide spectrum store; dialogs: the boxes and file
    // dialogs (a fake in tests). Both must outlive the window.
    TForm1(TSpectrumStore& store, IUserDialogs& dialogs, QWidget* parent = nullptr);
    ~TForm1() override;

    // Hands the window the other windows once they exist.
    void SetOtherWindows(const TOtherWindows& windows);

    // Ends the program (Quit, the close box). Tests replace it.
    std::function<void()> QuitApplication;
    // How a batch run reads and writes image files (called on the worker
    // thread): the image files of the disk; tests wrap it.
    TImageAccess BatchImages;
    // How the Transform command transforms the store (called on its worker
    // thread): TransformStore; tests wrap it.
    std::function<TTransformResult(TSpectrumStore&, TTransformDirection, const TBitmap24*,
                                   IProgress&, const TTransformOptions&)>
        TransformEngine;
    // How Open reads an image file (on a worker thread, unless the file is
    // small): ReadImageFile when empty; tests wrap it.
    std::function<TBitmap24(const std::string& fileName)> ReadPicture;

    // --- What the window shows, for the other windows and the tests ---
    // 0 no image, 1 image shown, 2 spectrum shown.
    uint8_t CommandState() const;
    // Whether the batch dialog is open or a batch runs.
    bool BatchRunning() const;
    bool HelpMode() const;
    // The window title without the image's name.
    QString CaptionBase() const;
    // The view as designed, copied into the real one when the image closes.
    TImageView* EmptyView() const;
    // The mark: where it was last placed, the zone under the pointer and the
    // zone a drag holds.
    int32_t ShapeLastLeft() const;
    int32_t ShapeLastTop() const;
    int32_t ShapeHoverZone() const;
    int32_t ShapeGrabZone() const;
    const TLanguageState& LanguageState() const;
    // The help server's base address as the settings file had it.
    const std::string& HelpBase() const;
    // The progress window of a batch run; null before the first run.
    QProgressDialog* BatchProgress() const;
    // The progress window of the Transform command (phase, time left, a bar
    // and Cancel, named "TransformText", "TransformBar", "TransformCancel");
    // null before the first transform.
    QDialog* TransformProgress() const;
    // Whether a transform runs (the command waits for its worker thread).
    bool TransformRunning() const;
    // The screen window of Find screen on the picture; null before its first use.
    TScreenForm* ScreenForm() const;

    // --- Controls ---
    QToolBar* ToolBar = nullptr;
    QToolBar* ToolShape = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolBar* ToolLanguage = nullptr;
    QToolButton* ToolOpen = nullptr;
    QToolButton* ToolSave = nullptr;
    QToolButton* ToolCopy = nullptr;
    QToolButton* ToolPaste = nullptr;
    QToolButton* ToolTransform = nullptr;
    QToolButton* Toolundo = nullptr;
    QToolButton* ToolRec = nullptr;
    QToolButton* ToolElipse = nullptr;
    QToolButton* ToolStempel = nullptr;
    QToolButton* ToolMirror = nullptr;
    QToolButton* ToolResize = nullptr;
    QToolButton* ToolZoom = nullptr;
    QToolButton* ToolHelp = nullptr;
    QToolButton* Toolapply = nullptr;
    QToolButton* ToolBatchrun = nullptr;
    QToolButton* ToolFilter = nullptr;
    QToolButton* ToolLoadFilter = nullptr;
    QToolButton* ToolSaveFilter = nullptr;
    QToolButton* ToolDe = nullptr;
    QToolButton* Toolgb = nullptr;
    // Flips between the picture before and after the filter (F8).
    QToolButton* ToolCompare = nullptr;
    // Finds the screen in the spectrum shown and damps it.
    QToolButton* ToolFindScreen = nullptr;

    QMenu* File1 = nullptr;
    QMenu* Edit1 = nullptr;
    QMenu* View1 = nullptr;
    QMenu* Tools1 = nullptr;
    QMenu* Advanced1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Schlieen1 = nullptr;
    QAction* Beenden1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Paste1 = nullptr;
    QAction* Transform1 = nullptr;
    // The option to transform with the fast transform (checkable; kept in
    // the settings file).
    QAction* FastTransform1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QAction* Bereichgltten1 = nullptr;
    QAction* ZoomIn1 = nullptr;
    QAction* ZoomOut1 = nullptr;
    QAction* FitWindow1 = nullptr;
    QAction* ActualSize1 = nullptr;
    QAction* Zoom1 = nullptr;
    QAction* Rechteck1 = nullptr;
    QAction* Kreis1 = nullptr;
    QAction* ApplyFilter1 = nullptr;
    QAction* Batchrun1 = nullptr;
    QAction* OpenFilter1 = nullptr;
    QAction* SaveFilter1 = nullptr;
    // Empties the filter to start a new one (undoable).
    QAction* NewFilter1 = nullptr;
    // The files opened or saved last, newest first (kept in the settings file).
    QMenu* Recent1 = nullptr;
    QAction* Filteransehen1 = nullptr;
    QAction* SetWatermark1 = nullptr;
    QAction* CheckWatermark1 = nullptr;
    QAction* FindScreen1 = nullptr;
    QAction* Contexthelp1 = nullptr;
    QAction* versioninfo1 = nullptr;
    QAction* about1 = nullptr;

    TViewArea* ScrollBox1 = nullptr;
    QLabel* Image2 = nullptr;
    TImageView* Image1 = nullptr;
    TShapeMark* Shape = nullptr;
    QSlider* TrackKontrast = nullptr;
    // The slider's caption beside it in the tool bar, shown with it.
    QLabel* KontrastLabel = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 2> StatusPanels{};
    // Names the filter in use (its file, or unsaved) and its entry count.
    QLabel* FilterPanel = nullptr;
    // Beside them: the picture's size, the zoom, and the pointer's cell (on a
    // spectrum also its frequency and its distance from the constant term).
    std::array<QLabel*, 3> ViewPanels{};

    TPictureDialog* OpenPictureDialog = nullptr;
    TPictureDialog* SavePictureDialog = nullptr;
    QFileDialog* OpenFilter = nullptr;
    QFileDialog* SaveFilter = nullptr;

    // --- Operations ---
    // Enables and disables the commands for state 0, 1, 2 or event 3, stores
    // the state (not 3) and brings the menu into line with the tool buttons.
    void SetCommandState(uint8_t state);
    // Sets a status panel's text and repaints the status bar at once.
    void ShowStatus(const QString& text, int panel);
    // The text of a message key in the current language.
    QString LangText(const std::string& messageKey) const;
    // A German text the tables do not hold, in the current language.
    QString Tr(const char* german) const;

    // The tool button or menu item of a control of the command table.
    QObject* Control(TControlId id) const;
    // The enabled states of all command-table controls as the window has them.
    TControlStates CurrentControlStates() const;

    // Runs a command's work; an exception is shown in an error box.
    void RunCommand(const std::function<void()>& work);

    // Image input and output.
    // Open image after its guard steps: the question before a changed image
    // is replaced, then the file dialog, or fileName when one is given (a
    // file named on the command line or dropped onto the window).
    void OpenImage(const QString& fileName = QString());
    // Open filter after its guard steps: the file dialog, or fileName.
    void OpenFilterFile(const QString& fileName = QString());
    // Reads the file and fills the store, on a worker thread for all but
    // small files while the window goes on in an event loop of its own (the
    // commands that touch the picture or the store wait), then shows the
    // picture; returns once it is shown, or throws and leaves everything as
    // it was.
    bool LoadImageFile(const QString& fileName);
    void InitializeImage();
    void SaveImageFile(const QString& fileName);

    // Unsaved work. What a command would throw away: the picture alone
    // (Open, Close, Paste: the filter stays with the program), or the
    // picture and the filter (Quit, closing the window).
    enum class TDiscard : uint8_t { Picture, Filter, PictureAndFilter };
    // The one question before unsaved work goes: Save (through the save
    // dialog where needed), Discard or Cancel, for the picture and then for
    // the filter. True when the command may go on: nothing was unsaved, it
    // was saved, or the user let it go. Cancel, or a save that did not
    // happen, gives false and leaves everything as it was.
    bool ConfirmDiscard(TDiscard what);
    // Whether the picture (or the spectrum made from it) or the filter holds
    // changes that no file has.
    bool PictureUnsaved() const;
    bool FilterUnsaved() const;
    // The filter's file (empty when it has none).
    QString FilterFile() const;
    // The recent files, newest first.
    QStringList RecentFiles() const;
    // Opens recent file `index` as Open image would open it.
    void OpenRecentFile(int index);

    // Language.
    void ApplyLanguage();
    // The component tree the translation walk runs over, built from the
    // window's real controls with their owners.
    TComponentTree& Components();

    // Settings file: read at the first showing, written at close (or, when
    // the window is destroyed without closing, then).
    void ReadSettings();
    void WriteSettings(bool visible);
    std::string SettingsFileName() const;

    // --- Help mode ---
    void SetHelpMode(bool on);
    void ShowElementHelp(QObject* element);

    // --- Command handlers; sender is the tool button, menu item or control ---
    void BopenClick(QObject* sender);
    void BsaveClick(QObject* sender);
    void Schlieen1Click(QObject* sender);
    void Beenden1Click(QObject* sender);
    void ToolCopyClick(QObject* sender);
    void ToolPasteClick(QObject* sender);
    void ToolTransformClick(QObject* sender);
    void ToolStempelClick(QObject* sender);
    void ToolundoClick(QObject* sender);
    void ToolRedoClick(QObject* sender);
    void ToolZoomClick(QObject* sender);
    void ToolRecClick(QObject* sender);
    void ToolElipseClick(QObject* sender);
    void ToolResizeClick(QObject* sender);
    void ToolapplyClick(QObject* sender);
    void ToolBatchrunClick(QObject* sender);
    void ToolFilterClick(QObject* sender);
    void ToolLoadfilterClick(QObject* sender);
    void ToolSaveFilterClick(QObject* sender);
    void ToolHelpClick(QObject* sender);
    void versioninfo1Click(QObject* sender);
    void about1Click(QObject* sender);
    void ToolDeClick(QObject* sender);
    void ToolgbClick(QObject* sender);
    void TrackKontrastChange(QObject* sender);
    void Image1Click(QObject* sender);
    void StatusBarClick(QObject* sender);
    void BSetWatermarkClick(QObject* sender);
    void BCheckWaterClick(QObject* sender);
    void ToolCompareClick(QObject* sender);
    void ToolFindScreenClick(QObject* sender);
    void FastTransform1Click(QObject* sender);
    void ToolNewFilterClick(QObject* sender);
    void ZoomInClick(QObject* sender);
    void ZoomOutClick(QObject* sender);
    void FitWindowClick(QObject* sender);
    void ActualSizeClick(QObject* sender);

    // Appends a filter entry and raises event 3.
    void AddFilterEntry(int32_t typ, float x1, float x2, float y1, float y2);

    // --- Spectrum view ---
    // Redraws columns x1..x2 and rows y1..y2 of the store into the view (or
    // nothing while a batch runs and the spectrum is current), then repaints.
    void DrawStoreRegion(int32_t x1, int32_t x2, int32_t y1, int32_t y2);
    void DrawStore();

    // --- Progress of long operations (status bar) ---
    void Phase(const std::string& key) override;
    void Percent(double percent) override;
    void ClearPercent() override;

    // --- The mark and the zoom (pointer events of the view and the mark) ---
    void Image1MouseDown(Qt::MouseButton button, QPoint viewPos);
    void Image1MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint viewPos);
    void ShapeMouseDown(Qt::MouseButton button, QPoint viewPos, bool doubleClick);
    // onMark: the pointer relative to the mark's corner in screen pixels.
    void ShapeMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint viewPos,
                        QPoint onMark);
    void ShapeMouseUp(Qt::MouseButton button, QPoint viewPos);
    // Draws the zoom picture around a view position into the zoom window.
    void UpdateZoom(QPoint viewPos);
    // The pointer's cell in the status bar; none clears it.
    void ShowPointer(std::optional<QPoint> viewPos);

    // Whether the command may run, after its guard steps (DispatchGuard):
    // in help mode the sender's help page is shown instead, and nothing runs.
    [[nodiscard]] bool PassesGuard(TCommand command, QObject* sender);
    // Moves a tool window beside the main window the first time it is shown,
    // so that it covers neither the menu nor the tool bars.
    void PlaceBeside(QWidget* tool) const;
    // How every row of the command table starts its handler: back to the
    // filtered picture first (unless the command is the comparison itself),
    // then the handler with its sender.
    void StartCommand(TCommand command, QObject* sender, void (TForm1::*handler)(QObject*));

signals:
    // A batch run has ended, however; the window shows its outcome.
    void BatchFinished();
    // A running transform reported its progress (0 to just below 100).
    void transformProgressed(double percent);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateToolBars();
    void CreateMenu();
    void CreateClientArea();
    void CreateStatusBar();
    void CreateComponentTree();
    void ConnectCommands();
    void CreationStep();
    // Window title: CaptionBase, or CaptionBase + name, marked while there
    // is unsaved work.
    void SetTitle(const QString& name = QString());
    // Brings the title's mark and the filter panel up to date.
    void ShowWorkState();
    // Save image's work: the save dialog, on the name proposed, with the
    // question before an existing file is replaced; true when written.
    bool SavePictureAs();
    // Save filter's work: to its own file when `ownFile` and it has one,
    // else through the dialog; true when written.
    bool SaveFilterWork(bool ownFile);
    // The question before an existing file is replaced; true to replace.
    bool ConfirmReplaceFile(const QString& fileName);
    // Before another picture comes in: asks whether unsaved filter entries
    // stay for it or a new filter starts. False on Cancel; newFilter tells
    // which was chosen (a loaded, unchanged filter stays without asking).
    bool AskKeepFilter(bool& newFilter);
    // Empties the filter as one undoable step.
    void StartNewFilter();
    // Takes the entries of Find screen's last run out of the filter, before
    // the next run records its own.
    void ReplaceLastFindScreen();
    // Find screen's result in the status bar: how many entries it recorded.
    QString FoundText(size_t entries) const;
    // Find screen on the picture: the screen window with its preview, and
    // Apply's work (transform, find and damp at `strength`, transform back).
    void OpenScreenForm();
    void EndScreenForm();
    void FindScreenOnPicture(double strength);
    // New filter is offered while there is a filter to leave; its Undo and
    // Redo work whatever is shown.
    void OfferFilterCommands(TControlStates& states) const;
    void CreateWorkControls();
    void AddRecentFile(const QString& fileName);
    void FillRecentMenu();
    // The view follows the picture's size (a fitted view fits again), and
    // the status panels the picture's size and zoom.
    void FitScrollArea();
    void CreateViewPanels();
    void ShowViewPanels();
    void CreateFilterDialogs();
    // The work of Apply filter, without its guard steps: on the spectrum
    // shown its entries, on the picture both transforms around them.
    void ApplyFilterWork();
    void ApplyEntriesShown();
    void ApplyFilterOnPicture();
    // Smooths the region of a normalised entry, redraws it and records it.
    void SmoothAndRecord(int32_t kind, float x1, float x2, float y1, float y2);
    // The batch run: its files go through the engine's runner on a worker
    // thread; the window hears of each file through queued calls.
    struct TBatchRun;
    void StartBatch(std::vector<TBatchFile> files, const QString& target);
    void BatchFileStarted(size_t index, size_t count, const QString& name);
    void BatchFileFailed(const QString& name, const TMessage& reason);
    void EndBatch(const TBatchSummary& summary);
    // Cancels a running batch and waits for its current file (closing down).
    void StopBatch();
    // Cancels a running transform and waits for its worker (closing down).
    void StopTransform();
    // Open's load on its worker thread; waited for when closing down.
    struct TOpenRun;
    void StopOpen();
    // A new picture in the view, before the store holds it.
    void ShowNewImage();
    // Commands that would replace the image or touch the store do not run
    // while a batch, a transform or an open runs; their controls are disabled
    // meanwhile.
    bool Busy() const;
    void BlockWhileBusy(TControlStates& states) const;
    // The end of a busy run, in two steps around the run's own reset: which
    // controls being busy blocks, asked while still busy; then those get back
    // what they had before the run (`before`), while the others keep what
    // happened meanwhile (a filter loaded while the run went on).
    TControlStates ControlsBlockedWhileBusy() const;
    void GiveBackBlocked(const TControlStates& blocked, const TControlStates& before);
    // The Transform command's run on its worker thread: starts it, keeps the
    // window responsive until it ends and gives the commands back.
    struct TTransformRun;
    struct TTransformEnd;
    // Who gives the store back when the run is cancelled: the engine (it
    // fills the planes again from the bitmap, or keeps them at the cost of
    // two planes of memory), the caller from what it kept (the run works in
    // place and leaves the store half transformed), or nobody (Cancel is off).
    enum class TCancelBy : uint8_t { Engine, Caller, Nobody };
    TTransformEnd RunTransform(bool forward, const TBitmap24* source,
                               const TTransformOptions& options,
                               TCancelBy cancelBy = TCancelBy::Engine);
    // What a completed transform changes in the window: the other domain
    // shown, the undo steps gone, the slider at the run's preset.
    void EnterTransformed(bool forward, const TTransformResult& result, bool fast);
    void TransformPhase(const std::string& key);
    void TransformPercent(double percent);
    void CancelTransform();
    void WriteControlStates(const TControlStates& states);
    // The sign prompt of the watermark commands; Cancel gives the default sign.
    std::string AskSign();

    // The window's state, shared by its implementation files
    // (main_form_private.h).
    struct TPrivate;
    std::unique_ptr<TPrivate> d;
    TSpectrumStore& Store;
    IUserDialogs& dialogs_;

    QRect NormalPlacement() const;
    void FilterListChanged();
    void ShowBeforeFilter(bool before);
    void ReportError(const TMessage& message);
    // The texts the tables do not hold, in the current language.
    void TranslateOtherTexts();
};
