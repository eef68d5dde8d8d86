// Apply filter and the batch run: the recorded filter replayed on the current
// image, and on a selection of image files whose results go into a target
// folder. Apply runs the Transform command on either side of the entries, so
// the status bar and the view show what a transform by hand would show. The
// batch runs the engine's batch runner on a worker thread, exactly as the
// command-line tool does, so the window stays responsive: a progress window
// shows "file n of m" and can cancel after the current file, and a summary
// tells what was written and what failed. The run has a store of its own:
// the picture, the store, the filter and the undo steps of the window stay
// as they were.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/main_form_busy.h"
#include "app/queued_relay.h"
#include "app/user_dialogs.h"
#include "filter/apply_filter.h"
#include "filter/batch_form.h"
#include "filter/batch_runner.h"
#include "filter/filter_entry.h"
#include "filter/filter_list_form.h"
#include "imagefile/image_file.h"
#include "shell/interface_texts.h"
#include "spectral/memory_budget.h"
#include "spectral/store_fill.h"
#include "spectral/transform_run.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QToolButton>

#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <optional>

void TForm1::ToolapplyClick(QObject* sender) {
    if (!PassesGuard(TCommand::ApplyFilter, sender)) return;
    ApplyFilterWork();
}

void TForm1::ApplyFilterWork() {
    if (d->CommandState == csSpectrum) {
        if (d->Windows.FormProtokol) ApplyEntriesShown();
        return;
    }
    if (d->CommandState == csImage) ApplyFilterOnPicture();
}

void TForm1::ApplyEntriesShown() {
    try {
        ApplyFilterEntries(Store, d->Windows.FormProtokol->List(), *this);
    } catch (...) {
        // The entries before the failing one stay applied; show the
        // spectrum as it now is before the error is reported.
        DrawStore();
        throw;
    }
}

namespace {

// Whether an entry of the list may give the store another size. A line that
// cannot be read may be anything.
bool MayResize(const TFilterList& list) {
    for (size_t i = 0; i < list.EntryCount(); ++i) {
        try {
            if (IsResizeKind(list.GetEntry(i).typ)) return true;
        } catch (const std::exception&) {
            return true;
        }
    }
    return false;
}

} // namespace

void TForm1::ApplyFilterOnPicture() {
    // The window shows the picture until both transforms are done: Cancel
    // in either of them puts the store back and leaves the picture, the
    // filter, the undo steps and the title as they were. The store comes
    // back from the bitmap when it holds exactly that (a picture as loaded,
    // at no cost), else from a copy of its planes; should the memory for the
    // copy be refused, the transform back cannot be cancelled. The way back
    // is paid for before the run: once a resize has shrunk the planes,
    // filling them from the bitmap again would need memory that may then be
    // refused, leaving a store that is neither the picture nor the result.
    const TBitmap24* source = nullptr;
    if (Image1->ImageModified != 1 && Image1->Picture.Width == Store.Cols &&
        Image1->Picture.Height == Store.Rows)
        source = &Image1->Picture;
    const bool refill = source &&
                        !(d->Windows.FormProtokol && MayResize(d->Windows.FormProtokol->List())) &&
                        PlanesHoldBitmap(Store, *source);
    std::optional<TPlanes> kept;
    if (!refill) {
        try {
            const TMemoryGrant grant = GrantMemory(3 * uint64_t(Store.CellCount()) * sizeof(float),
                                                   "the picture kept for Cancel");
            kept = TPlanes{Store.Planes[0], Store.Planes[1], Store.Planes[2]};
        } catch (const EMemoryBudget&) {
        } catch (const std::bad_alloc&) {
        }
    }
    const bool restorable = refill || kept;
    const int32_t cols = Store.Cols, rows = Store.Rows;
    // Needs no memory: the planes move back, or are filled again in place
    // (no entry changed their size).
    const auto restore = [&] {
        if (kept) {
            for (size_t p = 0; p < 3; ++p) Store.Planes[p] = std::move((*kept)[p]);
            Store.Cols = cols;
            Store.Rows = rows;
            // A shrunk work plane keeps its buffer.
            Store.WorkPlane.resize(Store.CellCount());
        } else {
            for (int32_t r = 0; r < rows; ++r) FillStoreRow(Image1->Picture.Row(r), r, Store);
        }
    };
    TTransformOptions options;
    options.Fast = FastTransform1->isChecked();
    const auto cancelled = [this] { ShowStatus(Tr("Umwandlung abgebrochen"), 0); };

    const TTransformEnd there =
        RunTransform(true, source, options, restorable ? TCancelBy::Caller : TCancelBy::Engine);
    if (there.WindowGone) return;
    if (there.Cancelled || there.Error) {
        if (restorable) restore();
        if (there.Error) std::rethrow_exception(there.Error);
        cancelled();
        return;
    }
    if (d->Windows.FormProtokol) {
        try {
            ApplyFilterEntries(Store, d->Windows.FormProtokol->List(), *this);
        } catch (...) {
            // The command stops at the failing entry: the spectrum is shown
            // as it now is, the entries before it applied.
            EnterTransformed(true, there.Result, options.Fast);
            throw;
        }
    }
    const TTransformEnd back =
        RunTransform(false, nullptr, options, restorable ? TCancelBy::Caller : TCancelBy::Nobody);
    if (back.WindowGone) return;
    if (back.Cancelled || (back.Error && restorable)) {
        restore();
        if (back.Error) std::rethrow_exception(back.Error);
        cancelled();
        return;
    }
    if (back.Error) {
        EnterTransformed(true, there.Result, options.Fast);
        std::rethrow_exception(back.Error);
    }
    // What the transform there would have changed, without drawing the
    // spectrum the store no longer holds; the controls pass through the
    // spectrum's command state as with two transforms by hand.
    d->Undo.Clear();
    if (d->PictureAsLoaded) {
        d->BeforeFilter = Image1->Picture;
        d->PictureAsLoaded = false;
    }
    SetCommandState(csSpectrum);
    EnterTransformed(false, back.Result, options.Fast);
}

// What a batch run shares between the window and its worker thread. The
// worker writes Last* only; the window reads them after the thread ended.
struct TForm1::TBatchRun {
    std::vector<TBatchFile> Files;
    TFilterList Filter;
    std::atomic<bool> Cancel{false};
    std::unique_ptr<QThread> Thread;
    // Kept by the window from the events.
    QString Target;
    QStringList Failures;
    TControlStates Before;
};

namespace {

QString FileName(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).fileName();
}

} // namespace

bool TForm1::Busy() const {
    return d->Batch || d->Transform || d->Opening || d->ScreenPreviewOpen;
}

void TForm1::BlockWhileBusy(TControlStates& states) const {
    if (Busy()) BlockBusyCommands(states);
}

TControlStates TForm1::ControlsBlockedWhileBusy() const {
    TControlStates blocked;
    blocked.Enabled.fill(true);
    BlockWhileBusy(blocked);
    return blocked;
}

void TForm1::GiveBackBlocked(const TControlStates& blocked, const TControlStates& before) {
    TControlStates states = CurrentControlStates();
    for (size_t i = 0; i < kControlCount; ++i)
        if (!blocked.Enabled[i]) states.Enabled[i] = before.Enabled[i];
    WriteControlStates(states);
}

void TForm1::ToolBatchrunClick(QObject* sender) {
    if (!PassesGuard(TCommand::BatchRun, sender)) return;
    if (!d->Windows.FormProtokol || d->Windows.FormProtokol->EntryCount() == 0 ||
        !d->Windows.FormBatch)
        return;
    // Set while the dialog is open and for the whole run; cleared however it
    // ends (EndBatch), or here when no run starts.
    d->BatchRunning = true;
    struct TNoRun {
        TForm1& Form;
        ~TNoRun() {
            if (!Form.d->Batch) Form.d->BatchRunning = false;
        }
    } noRun{*this};

    TFormBatch& dialog = *d->Windows.FormBatch;
    dialog.ApplyTexts([this](const std::string& key, const QString& fallback) {
        return QString::fromStdString(LookupText(d->LanguageState, key, fallback.toStdString()));
    });
    dialog.SetFilter(d->FilterFile, d->Windows.FormProtokol->EntryCount());
    if (!dialog.Execute()) return;
    std::vector<TBatchFile> files = dialog.PlannedFiles();
    if (files.empty()) return;
    StartBatch(std::move(files), dialog.TargetFolder());
}

void TForm1::StartBatch(std::vector<TBatchFile> files, const QString& target) {
    auto run = std::make_shared<TBatchRun>();
    run->Files = std::move(files);
    run->Filter = d->Windows.FormProtokol->List();
    run->Target = target;
    run->Before = CurrentControlStates();

    if (!d->BatchProgress) {
        d->BatchProgress = new QProgressDialog(this);
        d->BatchProgress->setObjectName("BatchProgress");
        d->BatchProgress->setWindowModality(Qt::NonModal);
        d->BatchProgress->setAutoClose(false);
        d->BatchProgress->setAutoReset(false);
        d->BatchProgress->setMinimumWidth(360);
        // Cancel asks the run to stop after its current file; the window
        // stays up to say so, instead of vanishing as it would by itself.
        disconnect(d->BatchProgress, &QProgressDialog::canceled, d->BatchProgress,
                   &QProgressDialog::cancel);
        connect(d->BatchProgress, &QProgressDialog::canceled, this, [this] {
            if (!d->Batch) return;
            d->Batch->Cancel = true;
            d->BatchProgress->setLabelText(LangText("BatchStopping"));
            if (auto* button = d->BatchProgress->findChild<QPushButton*>())
                button->setEnabled(false);
        });
    }
    d->BatchProgress->setWindowTitle(LangText("BatchRun"));
    d->BatchProgress->setCancelButtonText(LangText("BatchCancel"));
    if (auto* button = d->BatchProgress->findChild<QPushButton*>()) button->setEnabled(true);
    d->BatchProgress->setRange(0, int(run->Files.size()));
    d->BatchProgress->setValue(0);
    d->BatchProgress->setLabelText(LangText("BatchFile")
                                       .arg(1)
                                       .arg(run->Files.size())
                                       .arg(FileName(run->Files.front().Source)));

    d->Batch = run;
    SetCommandState(uint8_t(255)); // no row: only blocks the commands and mirrors the menu
    d->BatchProgress->show();

    // The worker's events reach the window as queued calls; a call that
    // arrives after the window is gone is dropped by Qt.
    class TRelay final : public IBatchEvents {
    public:
        explicit TRelay(TForm1* form) : form_(form), relay_(form) {}
        void FileStarted(size_t index, size_t count, const TBatchFile& file) override {
            relay_.Post([form = form_, index, count, name = FileName(file.Source)] {
                form->BatchFileStarted(index, count, name);
            });
        }
        void FileDone(size_t, size_t, const TBatchFile&, const TBitmap24&,
                      const TFilterList&) override {}
        // The results are on disk; the window shows none of them.
        bool WantsImages() const override { return false; }
        void FileFailed(size_t, size_t, const TBatchFile& file, const TMessage& reason) override {
            relay_.Post([form = form_, name = FileName(file.Source), reason] {
                form->BatchFileFailed(name, reason);
            });
        }
        void End(const TBatchSummary& summary) const {
            relay_.Post([form = form_, summary] { form->EndBatch(summary); });
        }
        void Cancelled(size_t, size_t) override {}

    private:
        TForm1* form_;
        TQueuedRelay relay_;
    };
    const TImageAccess images = BatchImages.Read ? BatchImages : ImageFileAccess();
    run->Thread.reset(QThread::create([this, run, images] {
        TRelay relay(this);
        TBatchOptions options;
        // The window's run stops at the first file that fails: the user
        // looks at the reason before the rest is converted.
        options.StopAtFailure = true;
        options.Cancel = &run->Cancel;
        TBatchSummary summary;
        try {
            summary = RunBatch(run->Files, FilterFileWork(run->Filter), images, options, &relay);
        } catch (const std::exception& e) {
            // Nothing of a file escapes the runner; a thread that could not
            // even start its work still ends the run in the window.
            summary.NotStarted = run->Files.size();
            relay.FileFailed(0, run->Files.size(), run->Files.front(), MessageOf(e));
        }
        relay.End(summary);
    }));
    run->Thread->start();
}

void TForm1::BatchFileStarted(size_t index, size_t count, const QString& name) {
    if (!d->Batch || d->Batch->Cancel) return;
    d->BatchProgress->setValue(int(index));
    d->BatchProgress->setLabelText(LangText("BatchFile").arg(index + 1).arg(count).arg(name));
}

void TForm1::BatchFileFailed(const QString& name, const TMessage& reason) {
    if (d->Batch)
        d->Batch->Failures.append(
            name + ": " + QString::fromStdString(MessageText(d->LanguageState.Language, reason)));
}

void TForm1::EndBatch(const TBatchSummary& summary) {
    if (!d->Batch) return;
    const std::shared_ptr<TBatchRun> run = d->Batch;
    run->Thread->wait(); // it has posted this call as its last act
    d->Batch.reset();
    d->BatchRunning = false;
    d->BatchProgress->setValue(d->BatchProgress->maximum());
    d->BatchProgress->hide();

    // The window is as the run found it: the commands come back as they were.
    TControlStates blocked;
    blocked.Enabled.fill(true);
    BlockBusyCommands(blocked);
    TControlStates states = CurrentControlStates();
    for (size_t i = 0; i < kControlCount; ++i)
        if (!blocked.Enabled[i]) states.Enabled[i] = run->Before.Enabled[i];
    MirrorMenuItems(states);
    WriteControlStates(states);
    ShowStatus(LangText("standby"), 0);

    QStringList lines{LangText("BatchWritten")
                          .arg(summary.Written)
                          .arg(run->Files.size())
                          .arg(QDir::toNativeSeparators(run->Target))};
    if (!run->Failures.isEmpty())
        lines << QString() << LangText("BatchFailedList") << run->Failures;
    if (summary.NotStarted == 1)
        lines << QString() << LangText(summary.Cancelled ? "BatchCancelledOne" : "BatchStoppedOne");
    else if (summary.NotStarted > 0)
        lines << QString()
              << LangText(summary.Cancelled ? "BatchCancelled" : "BatchStopped")
                     .arg(summary.NotStarted);
    if (run->Failures.isEmpty())
        dialogs_.ShowInformation(this, lines.join('\n'));
    else
        dialogs_.ShowError(this, lines.join('\n'));
    emit BatchFinished();
}

void TForm1::StopBatch() {
    if (!d->Batch) return;
    d->Batch->Cancel = true;
    d->Batch->Thread->wait();
}
