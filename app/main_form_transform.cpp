// The Transform command. A scan of a few thousand pixels a side takes half a
// minute to transform, so the engine runs on a worker thread while the
// command waits in an event loop of its own: the window repaints, a progress
// window shows the phase, the time left and a Cancel button, and the commands
// that would touch the store or the picture are blocked as during a batch
// run. The window changes nothing until the run has ended: a completed run
// then switches to the other domain as the command always did, a cancelled
// one leaves everything as it was.
//
// How Cancel gets the store back without a copy where it can: a forward run
// that reads the bitmap the planes were filled from fills them again from it
// (costs nothing); every other run builds its results beside the planes and
// puts them in place only at its end (TTransformOptions::KeepPlanes, two
// planes of memory). Should that memory be refused, the run goes on in place
// and cannot be cancelled; the progress window says so.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/shape_mark.h"
#include "spectral/memory_budget.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"

#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <atomic>
#include <cmath>
#include <exception>
#include <functional>
#include <new>
#include <system_error>
#include <thread>

namespace {

// Short runs finish before their progress window would only flicker.
constexpr int kShowProgressAfterMs = 400;

// Whether the planes hold exactly the bitmap's bytes minus 127, as loading
// leaves them (after an inverse transform they hold unclipped values).
bool PlanesHoldBitmap(const TSpectrumStore& store, const TBitmap24& bitmap) {
    if (bitmap.Width != store.Cols || bitmap.Height != store.Rows) return false;
    for (int32_t r = 0; r < store.Rows; ++r) {
        const uint8_t* px = bitmap.Row(r);
        const size_t base = size_t(r) * size_t(store.Cols);
        for (int p = 0; p < 3; ++p) {
            const float* row = store.Planes[p].data() + base;
            for (int32_t c = 0; c < store.Cols; ++c)
                if (row[c] != float(px[size_t(c) * 3 + size_t(p)]) - 127.0f) return false;
        }
    }
    return true;
}

// "25 s", "3:05 min".
QString DurationText(double seconds) {
    const int s = int(std::ceil(seconds));
    if (s < 60) return QString("%1 s").arg(s);
    return QString("%1:%2 min").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

} // namespace

// What the window and the worker share. The worker writes the outcome fields
// only, before it posts its end; the window reads them after the join.
struct TForm1::TTransformRun {
    std::atomic<bool> Cancel{false};
    std::thread Thread;
    // Window side.
    QEventLoop* Loop = nullptr;
    bool Ended = false;     // the worker's end has arrived
    bool NoWayBack = false; // the run goes on in place: Cancel is off
    QElapsedTimer Clock;
    QString Phase;
    QString TimeLeft;
    TControlStates Before;
    bool SliderEnabled = true;
    // Outcome.
    bool Cancelled = false;
    std::exception_ptr Error;
    TTransformResult Result;
};

struct TForm1::TTransformEnd {
    bool WindowGone = false;
    bool Cancelled = false;
    std::exception_ptr Error;
    TTransformResult Result;
};

void TForm1::ToolTransformClick(QObject* sender) {
    if (!PassesGuard(TCommand::Transform, sender)) return;
    if (d->CommandState != 1 && d->CommandState != 2) return;
    const bool forward = d->CommandState == 1;

    // The bitmap is the source only while it is what the store was filled
    // from; after a transform the store's unclipped values are the better one.
    const TBitmap24* source = nullptr;
    if (forward && Image1->ImageModified != 1 && Image1->Picture.Width == Store.Cols &&
        Image1->Picture.Height == Store.Rows)
        source = &Image1->Picture;
    TTransformOptions options;
    options.Fast = FastTransform1->isChecked();

    const TTransformEnd end = RunTransform(forward, source, options);
    if (end.WindowGone) return;
    if (end.Cancelled) {
        ShowStatus(Tr("Umwandlung abgebrochen"), 0);
        return;
    }
    // A refused length changed nothing; the error box tells why.
    if (end.Error) std::rethrow_exception(end.Error);

    // A new spectrum, or the image again: what was done on the old one can
    // no longer be taken back step by step.
    d->Undo.Clear();
    if (forward && d->PictureAsLoaded) {
        d->BeforeFilter = Image1->Picture;
        d->PictureAsLoaded = false;
    }
    {
        // Drawn once below: a redraw for the slider's change would only cost time.
        const QSignalBlocker quiet(TrackKontrast);
        TrackKontrast->setValue(forward ? end.Result.ContrastPreset : 0);
    }
    SetCommandState(forward ? 2 : 1);
    Shape->setVisible(forward);
    DrawStore();
    ClearPercent();
    ShowStatus(options.Fast ? Tr("Umwandlung fertig (schnell)") : LangText("Transformed"), 0);
    Image1->ImageModified = 1;
}

TForm1::TTransformEnd TForm1::RunTransform(bool forward, const TBitmap24* source,
                                           const TTransformOptions& options) {
    auto run = std::make_shared<TTransformRun>();
    run->Before = CurrentControlStates();
    run->SliderEnabled = TrackKontrast->isEnabled();
    run->Phase = LangText("Red1");
    run->TimeLeft = Tr("Restzeit wird gesch\u00e4tzt \u2026");

    // The progress window: made once, filled for each run.
    if (!d->TransformProgress) {
        auto* dialog = new QDialog(this);
        dialog->setObjectName("TransformProgress");
        dialog->setWindowModality(Qt::NonModal);
        dialog->setMinimumWidth(340);
        auto* column = new QVBoxLayout(dialog);
        auto* text = new QLabel(dialog);
        text->setObjectName("TransformText");
        auto* bar = new QProgressBar(dialog);
        bar->setObjectName("TransformBar");
        bar->setRange(0, 1000);
        bar->setFormat("%p %");
        auto* cancel = new QPushButton(dialog);
        cancel->setObjectName("TransformCancel");
        column->addWidget(text);
        column->addWidget(bar);
        column->addWidget(cancel, 0, Qt::AlignRight);
        connect(cancel, &QPushButton::clicked, this, [this] { CancelTransform(); });
        // Escape and the close box ask for the same as the button.
        connect(dialog, &QDialog::rejected, this, [this] { CancelTransform(); });
        d->TransformProgress = dialog;
    }
    QDialog* dialog = d->TransformProgress;
    dialog->setWindowTitle(Tr("Umwandeln"));
    dialog->findChild<QProgressBar*>("TransformBar")->setValue(0);
    dialog->findChild<QLabel*>("TransformText")->setText(run->Phase + "\n" + run->TimeLeft);
    auto* cancelButton = dialog->findChild<QPushButton*>("TransformCancel");
    cancelButton->setText(Tr("Abbrechen"));
    cancelButton->setEnabled(true);

    // Disabling the slider and showing the progress window move the keyboard
    // focus; it goes back where it was, so the arrow keys do what they did.
    const QPointer<QWidget> focused = focusWidget();
    d->Transform = run;
    d->FilterEventWhileTransforming = false;
    SetCommandState(uint8_t(255)); // no row: only blocks the commands and mirrors the menu
    TrackKontrast->setEnabled(false);
    setCursor(Qt::BusyCursor);
    const std::weak_ptr<TTransformRun> weak = run;
    QTimer::singleShot(kShowProgressAfterMs, dialog, [this, weak, dialog] {
        if (const auto shown = weak.lock(); shown && d->Transform == shown && !shown->Ended)
            dialog->show();
    });

    // The worker's reports reach the window as queued calls; they carry the
    // run so that a late one of an ended run changes nothing.
    class TRelay final : public IProgress {
    public:
        TRelay(TForm1* form, std::shared_ptr<TTransformRun> run)
            : form_(form), run_(std::move(run)) {}
        void Phase(const std::string& key) override {
            Post([key](TForm1& form) { form.TransformPhase(key); });
        }
        void Percent(double percent) override {
            Post([percent](TForm1& form) { form.TransformPercent(percent); });
        }
        void ClearPercent() override {
            Post([](TForm1& form) { form.ClearPercent(); });
        }
        void NoWayBack() {
            Post([](TForm1& form) {
                form.d->Transform->NoWayBack = true;
                form.TransformPercent(-1.0);
            });
        }
        void End() {
            QMetaObject::invokeMethod(
                form_,
                [run = run_] {
                    run->Ended = true;
                    if (run->Loop) run->Loop->quit();
                },
                Qt::QueuedConnection);
        }

    private:
        void Post(std::function<void(TForm1&)> work) {
            QMetaObject::invokeMethod(
                form_,
                [form = form_, run = run_, work = std::move(work)] {
                    if (form->d->Transform == run) work(*form);
                },
                Qt::QueuedConnection);
        }
        TForm1* form_;
        std::shared_ptr<TTransformRun> run_;
    };

    decltype(TransformEngine) engine = TransformEngine;
    if (!engine)
        engine = [](TSpectrumStore& store, TTransformDirection direction, const TBitmap24* bitmap,
                    IProgress& progress, const TTransformOptions& o) {
            return TransformStore(store, direction, bitmap, progress, o);
        };
    const auto work = [this, run, forward, source, options, engine] {
        TRelay relay(this, run);
        TTransformOptions o = options;
        o.Cancel = &run->Cancel;
        const TTransformDirection direction =
            forward ? TTransformDirection::Forward : TTransformDirection::Inverse;
        bool refill = false;
        try {
            refill = source && PlanesHoldBitmap(Store, *source);
            o.KeepPlanes = !refill;
            try {
                run->Result = engine(Store, direction, source, relay, o);
            } catch (const std::exception& e) {
                // Keeping the planes needs memory the machine does not have;
                // they are untouched, so the run can start again in place.
                const bool memory = dynamic_cast<const EMemoryBudget*>(&e) ||
                                    dynamic_cast<const std::bad_alloc*>(&e);
                if (!o.KeepPlanes || !memory) throw;
                if (run->Cancel) throw ETransformCancelled();
                relay.NoWayBack();
                o.KeepPlanes = false;
                o.Cancel = nullptr;
                run->Result = engine(Store, direction, source, relay, o);
            }
        } catch (const ETransformCancelled&) {
            if (refill)
                for (int32_t r = 0; r < source->Height; ++r) FillStoreRow(source->Row(r), r, Store);
            run->Cancelled = true;
        } catch (...) {
            run->Error = std::current_exception();
        }
        relay.End();
    };

    const QPointer<TForm1> alive(this);
    QEventLoop loop;
    run->Loop = &loop;
    run->Clock.start();
    bool started = true;
    try {
        run->Thread = std::thread(work);
    } catch (const std::system_error&) {
        // No thread to be had: the run happens here, as it always could.
        started = false;
        work();
    }
    if (started && !run->Ended) loop.exec();
    if (!alive) return TTransformEnd{true, true, nullptr, {}};
    run->Loop = nullptr;
    // The loop also ends when the program is told to quit: stop the work then.
    if (!run->Ended) run->Cancel = true;
    if (run->Thread.joinable()) run->Thread.join();

    // The blocked controls get back what they had; the others keep what
    // happened meanwhile (a filter loaded while the run went on).
    TControlStates blocked;
    blocked.Enabled.fill(true);
    BlockWhileBusy(blocked);
    d->Transform.reset();
    TControlStates states = CurrentControlStates();
    for (size_t i = 0; i < kControlCount; ++i)
        if (!blocked.Enabled[i]) states.Enabled[i] = run->Before.Enabled[i];
    WriteControlStates(states);
    // Mirrors the menu and gives back the comparison and the screen search.
    SetCommandState(d->FilterEventWhileTransforming ? 3 : uint8_t(255));
    TrackKontrast->setEnabled(run->SliderEnabled);
    unsetCursor();
    dialog->hide();
    if (focused)
        focused->setFocus();
    else if (QWidget* now = focusWidget())
        now->clearFocus();
    ClearPercent();
    return TTransformEnd{false, run->Cancelled, run->Error, run->Result};
}

void TForm1::TransformPhase(const std::string& key) {
    if (!d->Transform) return;
    d->Transform->Phase = LangText(key);
    Phase(key);
    TransformPercent(-1.0);
}

void TForm1::TransformPercent(double percent) {
    const auto& run = d->Transform;
    if (!run) return;
    if (percent >= 0.0) {
        Percent(percent);
        d->TransformProgress->findChild<QProgressBar*>("TransformBar")
            ->setValue(int(percent * 10.0));
        // The percentage grows about evenly with the work; the first few
        // reports say too little about the speed to be worth showing.
        const double seconds = double(run->Clock.elapsed()) / 1000.0;
        if (percent >= 2.0 && seconds >= 1.0)
            run->TimeLeft =
                Tr("Noch etwa %1").arg(DurationText(seconds * (100.0 - percent) / percent));
        emit transformProgressed(percent);
    }
    QString text =
        run->Phase + "\n" + (run->Cancel ? Tr("Wird abgebrochen \u2026") : run->TimeLeft);
    if (run->NoWayBack) {
        text += "\n" + Tr("Abbrechen nicht m\u00f6glich: zu wenig Arbeitsspeicher");
        d->TransformProgress->findChild<QPushButton*>("TransformCancel")->setEnabled(false);
    }
    d->TransformProgress->findChild<QLabel*>("TransformText")->setText(text);
}

void TForm1::CancelTransform() {
    const auto& run = d->Transform;
    if (!run || run->NoWayBack || run->Cancel) return;
    run->Cancel = true;
    d->TransformProgress->findChild<QPushButton*>("TransformCancel")->setEnabled(false);
    TransformPercent(-1.0);
}

void TForm1::StopTransform() {
    if (!d->Transform) return;
    d->Transform->Cancel = true;
    if (d->Transform->Thread.joinable()) d->Transform->Thread.join();
    // The worker's end is addressed to this window and will never arrive.
    if (d->Transform->Loop) d->Transform->Loop->quit();
}
