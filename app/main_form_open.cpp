// Loading a picture file into the window. A page scanned at 600 dpi is a
// hundred megabytes of pixels and half a gigabyte of store: reading it and
// filling the store take a second or more, so they run on a worker thread
// while the command waits in an event loop of its own. The window repaints,
// zooms and scrolls the picture it shows meanwhile; the commands that would
// touch the picture or the store are blocked as during a transform.
//
// The store goes to the worker for the load, which fills it in place (its
// buffers serve the new picture when they are large enough) and the window
// takes it back however the load ended: a file that cannot be read leaves it,
// and everything else of the window, as it was. Only once the worker has
// ended does the window show the new picture.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/main_form_busy.h"
#include "app/queued_relay.h"
#include "imagefile/image_file.h"
#include "spectral/store_fill.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// Files below this size load on the window's thread: they take milliseconds,
// and the wait for a thread would only add to that.
constexpr qint64 kLoadOnWorkerFrom = 256 * 1024;

} // namespace

// What the window and the worker share. The worker writes Picture, Store and
// the outcome before it posts its end; the window reads them after the join.
struct TForm1::TOpenRun {
    std::thread Thread;
    // Window side.
    QEventLoop* Loop = nullptr;
    bool Ended = false;
    TControlStates Before;
    // The program's store while the worker fills it.
    TSpectrumStore Store;
    // Outcome.
    TBitmap24 Picture;
    std::exception_ptr Error;
    // The error came from reading the file: the box names it.
    bool ReadFailed = false;
};

bool TForm1::LoadImageFile(const QString& fileName) {
    auto run = std::make_shared<TOpenRun>();
    const auto work = [run, path = fileName.toStdString(), read = ReadPicture] {
        try {
            run->Picture = read ? read(path) : ReadImageFile(path);
        } catch (...) {
            run->Error = std::current_exception();
            run->ReadFailed = true;
            return;
        }
        try {
            FillStoreFromBitmap(run->Picture, run->Store);
        } catch (...) {
            // The store refuses a size before it changes anything.
            run->Error = std::current_exception();
        }
    };

    d->FilterEventWhileTransforming = false;
    ShowStatus(Tr("%1 wird ge\u00f6ffnet \u2026").arg(QFileInfo(fileName).fileName()), 0);
    run->Store = std::exchange(Store, TSpectrumStore{});
    const bool onWorker = QFileInfo(fileName).size() >= kLoadOnWorkerFrom;
    if (!onWorker) {
        const TBusyCursor busy;
        work();
    } else {
        run->Before = CurrentControlStates();
        d->Opening = run;
        SetCommandState(uint8_t(255)); // no row: only blocks the commands and mirrors the menu
        setCursor(Qt::BusyCursor);
        const QPointer<TForm1> alive(this);
        QEventLoop loop;
        run->Loop = &loop;
        try {
            run->Thread = std::thread([this, run, work] {
                work();
                // The end reaches the window unless the window is gone.
                TQueuedRelay(this).Post([run] {
                    run->Ended = true;
                    if (run->Loop) run->Loop->quit();
                });
            });
        } catch (const std::system_error&) {
            // No thread to be had: the load happens here, as it always could.
            work();
            run->Ended = true;
        }
        if (!run->Ended) loop.exec();
        // Gone meanwhile: the window's end took the store back (StopOpen).
        if (!alive) return false;
        run->Loop = nullptr;
        // The loop also ends when the program is told to quit; the worker's
        // outcome is complete once it has ended.
        if (run->Thread.joinable()) run->Thread.join();

        const TControlStates blocked = ControlsBlockedWhileBusy();
        d->Opening.reset();
        GiveBackBlocked(blocked, run->Before);
        unsetCursor();
    }
    Store = std::move(run->Store);
    if (run->Error) {
        // Mirrors the menu and gives back what the blocking took.
        if (onWorker) SetCommandState(d->FilterEventWhileTransforming ? 3 : uint8_t(255));
        if (run->ReadFailed) d->FailedFile = fileName;
        std::rethrow_exception(run->Error);
    }

    Image1->Picture = std::move(run->Picture);
    ShowNewImage();
    // The new picture is painted before the commands come back, as after
    // any long step on the window's thread; the worker's end comes from an
    // event loop that paints it next anyway.
    if (!onWorker) LetWindowRepaint();
    SetCommandState(1);
    ShowStatus(LangText("Imageloaded"), 0);
    d->ImageFile = QFileInfo(fileName).absoluteFilePath();
    d->OpenedFile = d->ImageFile;
    d->ImageFileSaved = false;
    SetTitle(QFileInfo(fileName).fileName());
    return true;
}

void TForm1::StopOpen() {
    if (!d->Opening) return;
    const std::shared_ptr<TOpenRun> run = std::exchange(d->Opening, nullptr);
    if (run->Thread.joinable()) run->Thread.join();
    // The store is the program's and outlives the window: it gets back what
    // the worker left in it, and the command, should it still wait, leaves it.
    Store = std::move(run->Store);
    if (run->Loop) run->Loop->quit();
}
