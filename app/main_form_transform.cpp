// The Transform command. A scan of a few thousand pixels a side takes half a
// minute to transform, so the engine runs on a worker thread while the
// command waits in an event loop of its own: the window repaints, a progress
// window shows the phase, the time left and a Cancel button, and the commands
// that would touch the store or the picture are blocked as during a batch
// run. The window changes nothing until the run has ended: a completed run
// then switches to the other domain as the command always did, a cancelled
// one leaves everything as it was.
//
// How Cancel gets the store back is the engine's (RunCancellableTransform):
// should the memory for it be refused, the run goes on in place and cannot be
// cancelled, and the progress window says so.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/progress_form.h"
#include "app/queued_relay.h"
#include "app/shape_mark.h"
#include "spectral/transform_run.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>

namespace {

// Short runs finish before their progress window would only flicker.
constexpr int kShowProgressAfterMs = 400;

// "25 s", "3:05 min".
QString DurationText(double seconds) {
    const int s = int(std::ceil(seconds));
    if (s < 60) return QString("%1 s").arg(s);
    return QString("%1:%2 min").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

TFormProgress* ProgressWindow(QDialog* dialog) {
    return static_cast<TFormProgress*>(dialog);
}

// The German words for a pass of the transform, which the progress window
// shows (the status bar keeps the tables' short "Rot (1)"); null for others.
const char* PhaseWords(const std::string& key) {
    static const std::pair<const char*, const char*> words[] = {
        {"Red1", "Rote Ebene, Zeilen"},          {"Green1", "Gr\u00fcne Ebene, Zeilen"},
        {"Blue1", "Blaue Ebene, Zeilen"},        {"Red2", "Rote Ebene, Spalten"},
        {"Green2", "Gr\u00fcne Ebene, Spalten"}, {"Blue2", "Blaue Ebene, Spalten"},
    };
    for (const auto& [phase, text] : words)
        if (key == phase) return text;
    return nullptr;
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
    EnterTransformed(forward, end.Result, options.Fast);
}

void TForm1::EnterTransformed(bool forward, const TTransformResult& result, bool fast) {
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
        TrackKontrast->setValue(forward ? result.ContrastPreset : 0);
    }
    SetCommandState(forward ? 2 : 1);
    // A new spectrum has no mark until the user draws one.
    Shape->Forget();
    DrawStore();
    ClearPercent();
    ShowStatus(fast ? Tr("Umwandlung fertig (schnell)") : LangText("Transformed"), 0);
    Image1->ImageModified = 1;
}

TForm1::TTransformEnd TForm1::RunTransform(bool forward, const TBitmap24* source,
                                           const TTransformOptions& options, TCancelBy cancelBy) {
    auto run = std::make_shared<TTransformRun>();
    run->Before = CurrentControlStates();
    run->SliderEnabled = TrackKontrast->isEnabled();
    run->Phase = Tr(PhaseWords("Red1"));
    run->TimeLeft = Tr("Restzeit wird gesch\u00e4tzt \u2026");

    if (!d->TransformProgress) {
        auto* progress = new TFormProgress(this);
        connect(progress, &TFormProgress::cancelRequested, this, [this] { CancelTransform(); });
        d->TransformProgress = progress;
    }
    TFormProgress* dialog = ProgressWindow(d->TransformProgress);
    dialog->Begin(Tr("Umwandeln"), run->Phase + "\n" + run->TimeLeft, Tr("Abbrechen"));

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

    // The worker's reports reach the window as queued calls, dropped once
    // the run is no longer the window's.
    class TRelay final : public IProgress {
    public:
        TRelay(TForm1* form, const std::shared_ptr<TTransformRun>& run)
            : form_(form), relay_(form, [form, run] { return form->d->Transform == run; }) {}
        void Phase(const std::string& key) override {
            relay_.Post([form = form_, key] { form->TransformPhase(key); });
        }
        void Percent(double percent) override {
            relay_.Post([form = form_, percent] { form->TransformPercent(percent); });
        }
        void ClearPercent() override {
            relay_.Post([form = form_] { form->ClearPercent(); });
        }
        void CannotCancel() override {
            relay_.Post([form = form_] {
                form->d->Transform->NoWayBack = true;
                form->TransformPercent(-1.0);
            });
        }

    private:
        TForm1* form_;
        TQueuedRelay relay_;
    };

    if (cancelBy == TCancelBy::Nobody) {
        run->NoWayBack = true;
        TransformPercent(-1.0);
    }
    const auto work = [this, run, forward, source, options, cancelBy, engine = TransformEngine] {
        TRelay relay(this, run);
        const TTransformDirection direction =
            forward ? TTransformDirection::Forward : TTransformDirection::Inverse;
        TTransformOptions o = options;
        o.Cancel = cancelBy == TCancelBy::Nobody ? nullptr : &run->Cancel;
        try {
            if (cancelBy == TCancelBy::Engine) {
                const TTransformOutcome outcome =
                    RunCancellableTransform(Store, direction, source, relay, o, engine);
                run->Cancelled = outcome.Cancelled;
                run->Result = outcome.Result;
            } else {
                // In place: no planes kept beside the store.
                o.KeepPlanes = false;
                try {
                    run->Result = engine ? engine(Store, direction, source, relay, o)
                                         : TransformStore(Store, direction, source, relay, o);
                } catch (const ETransformCancelled&) {
                    run->Cancelled = true;
                }
            }
        } catch (...) {
            run->Error = std::current_exception();
        }
        // The end reaches the window even when the run is no longer its own.
        TQueuedRelay(this).Post([run] {
            run->Ended = true;
            if (run->Loop) run->Loop->quit();
        });
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

    const TControlStates blocked = ControlsBlockedWhileBusy();
    d->Transform.reset();
    GiveBackBlocked(blocked, run->Before);
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
    const char* words = PhaseWords(key);
    d->Transform->Phase = words ? Tr(words) : LangText(key);
    Phase(key);
    TransformPercent(-1.0);
}

void TForm1::TransformPercent(double percent) {
    const auto& run = d->Transform;
    if (!run) return;
    TFormProgress* dialog = ProgressWindow(d->TransformProgress);
    if (percent >= 0.0) {
        Percent(percent);
        dialog->SetPercent(percent);
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
        dialog->DisableCancel();
    }
    dialog->SetText(text);
}

void TForm1::CancelTransform() {
    const auto& run = d->Transform;
    if (!run || run->NoWayBack || run->Cancel) return;
    run->Cancel = true;
    ProgressWindow(d->TransformProgress)->DisableCancel();
    TransformPercent(-1.0);
}

void TForm1::StopTransform() {
    if (!d->Transform) return;
    d->Transform->Cancel = true;
    if (d->Transform->Thread.joinable()) d->Transform->Thread.join();
    // The worker's end is addressed to this window and will never arrive.
    if (d->Transform->Loop) d->Transform->Loop->quit();
}
