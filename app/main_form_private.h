#pragma once
// The main window's own state, shared by the files that implement the
// window and by nobody else. Other windows and tests see what the window's
// accessors give them; everything the commands keep between two user actions
// lives here.

#include "app/kept_picture.h"
#include "app/main_form.h"

#include "filter/filter_list_form.h"
#include "filter/undo.h"
#include "spectral/bitmap.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The filter list window's lines as the undo stack edits them, its rows in step.
class TFormLines final : public IFilterLines {
public:
    explicit TFormLines(TFormProtokol& form) : form_(form) {}
    size_t LineCount() const override { return form_.EntryCount(); }
    void AppendLine(const std::string& line) override { form_.AppendLine(line); }
    void RemoveLastLine() override { form_.DeleteLastEntry(); }

private:
    TFormProtokol& form_;
};

// Sets a control's hint, the text the translation walk reads and writes (its
// property "Hint"), shown as its tooltip unless it carries "HideHint".
void SetHint(QObject* object, const QString& hint);

// How a run of RunTransform ended (the window may be gone by then).
struct TForm1::TTransformEnd {
    bool WindowGone = false;
    bool Cancelled = false;
    std::exception_ptr Error;
    TTransformResult Result;
};

struct TForm1::TPrivate {
    TOtherWindows Windows;

    // 0 no image, 1 image shown, 2 spectrum shown.
    uint8_t CommandState = 0;
    // Set while the batch dialog is open and for the whole run.
    bool BatchRunning = false;
    bool HelpMode = false;
    QString CaptionBase;
    // The view as designed, copied into the real one when the image closes.
    TImageView* EmptyView = nullptr;
    // The mark under the pointer: where it was last placed, the zone the
    // pointer is over and the zone a drag holds.
    int32_t ShapeLastLeft = 0;
    int32_t ShapeLastTop = 0;
    int32_t ShapeHoverZone = 0;
    int32_t ShapeGrabZone = 0;
    // Where the last press on the view happened: the corner new marks grow from.
    QPoint DrawingOrigin;
    // Language (0 until first applied) and LanguageTable (null until then).
    TLanguageState LanguageState;
    // The help server's base address as the settings file had it; written
    // back unchanged so that a user's own address survives.
    std::string HelpBase;
    // The progress window of a batch run (file n of m, Cancel); created at
    // the first run.
    QProgressDialog* BatchProgress = nullptr;
    // The running batch, shared with its worker thread; null when none runs.
    std::shared_ptr<TBatchRun> Batch;
    // The progress window of the Transform command; created at its first run.
    QDialog* TransformProgress = nullptr;
    // The running transform, shared with its worker thread; null when none runs.
    std::shared_ptr<TTransformRun> Transform;
    // A filter entry was recorded or a filter loaded while it (or an open)
    // ran: event 3 is applied again to the controls it blocked.
    bool FilterEventWhileTransforming = false;
    // The image file being opened, shared with its worker thread; null when
    // none is.
    std::shared_ptr<TOpenRun> Opening;

    std::unique_ptr<TComponentTree> Components;
    // The normal geometry when the window filled the screen by itself (no
    // window manager to remember it).
    QRect NormalGeometry;
    bool SettingsRead = false;
    bool SettingsWritten = false;
    bool Quitting = false;
    // The zoom picture, kept so that pointer moves allocate nothing.
    TBitmap24 ZoomPicture;

    // The user's actions on the spectrum shown, for Undo and Redo.
    TUndoStack Undo;
    // Set while the window itself changes the filter list.
    bool OwnListChange = false;
    // The picture as loaded, kept from its first transform on so that the
    // filtered result can be compared with it; Comparing while it is shown.
    TKeptPicture BeforeFilter;
    bool PictureAsLoaded = false;
    bool Comparing = false;
    // The file the image came from or was saved to (empty after a paste),
    // where the save dialog starts.
    QString ImageFile;
    // The file a failing load or save was working on, named by the error box.
    QString FailedFile;
    // The name the title shows after CaptionBase.
    QString TitleName;
    // The file the picture was opened from (empty after a paste), and
    // whether ImageFile is a result this window wrote rather than a scan.
    QString OpenedFile;
    bool ImageFileSaved = false;
    // The filter's file: where it was loaded from or last saved to.
    QString FilterFile;
    // Find screen's last run: where its lines start in the filter and the
    // lines, so that a new run replaces them; the undo steps then recorded.
    size_t FindScreenFirst = 0;
    std::vector<std::string> FindScreenLines;
    size_t FindScreenUndoCount = 0;
    // The files opened or saved last, newest first.
    QStringList RecentFiles;
    // The screen window, and whether it is open (the picture's commands wait).
    TScreenForm* ScreenForm = nullptr;
    bool ScreenPreviewOpen = false;
};
