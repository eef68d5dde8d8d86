// Apply filter and the batch run: the recorded filter replayed on the current
// image, and on a selection of image files whose results go into a target
// folder. Both run the Transform command on either side of the entries, so
// the status bar and the view show what a transform by hand would show.

#include "app/main_form.h"

#include "app/image_view_form.h"
#include "app/main_form_busy.h"
#include "filter/apply_filter.h"
#include "filter/batch_form.h"
#include "filter/filter_list_form.h"

#include <QThread>
#include <QToolButton>

void TForm1::ToolapplyClick(QObject* sender) {
    if (!PassesGuard(TCommand::ApplyFilter, sender)) return;
    ApplyFilterWork();
}

void TForm1::ApplyFilterWork() {
    const uint8_t before = CommandState;
    if (before == 1) ButtonfftClick(ToolTransform);
    if (CommandState == 2 && Windows.FormProtokol) {
        try {
            ApplyFilterEntries(Store, Windows.FormProtokol->List(), *this);
        } catch (...) {
            // The entries before the failing one stay applied; show the
            // spectrum as it now is before the error is reported.
            DrawStore();
            throw;
        }
    }
    if (before == 1) ButtonfftClick(ToolTransform);
}

void TForm1::BatchPause() {
    LetWindowRepaint();
    if (BatchPauseMs > 0) QThread::msleep(unsigned(BatchPauseMs));
}

void TForm1::ToolBatchrunClick(QObject* sender) {
    if (!PassesGuard(TCommand::BatchRun, sender)) return;
    if (!Windows.FormProtokol || Windows.FormProtokol->EntryCount() == 0 || !Windows.FormBatch)
        return;
    // Cleared however the run ends, an error at some file included.
    struct TRunning {
        bool& Flag;
        explicit TRunning(bool& flag) : Flag(flag) { Flag = true; }
        ~TRunning() { Flag = false; }
    } running(BatchRunning);

    if (!Windows.FormBatch->Execute()) return;
    const QStringList sources = Windows.FormBatch->SelectedFiles();
    const std::string target = Windows.FormBatch->TargetFolder().toStdString();
    for (const QString& source : sources) {
        LoadImageFile(source);
        Image1->ImageModified = 0;
        BatchPause();
        ApplyFilterWork();
        BatchPause();
        SaveImageFile(QString::fromStdString(BatchTargetPath(source.toStdString(), target)));
        LetWindowRepaint();
    }
}
