// The main window's batch run as a user starts it: scans written as bitmaps
// into a temporary folder (20 of 2480 x 3508, an A4 page at 300 dpi, by
// default), the filter of apply_bench recorded in the window, the batch
// dialog answered with every file and a target folder, the run through the
// engine's runner on its worker thread. Prints the wall-clock time of the run
// and the longest time the window's event loop did not turn (the largest gap
// between the ticks of a 10 ms timer), which is what a user feels as a frozen
// window. Run it from a release build on the offscreen platform:
//
//   QT_QPA_PLATFORM=offscreen batch_window [--images N] [--size WxH] [--keep DIR]
//
// With --keep the scans, the filter and the results stay in DIR, so that the
// window's results can be compared with the command-line tool's:
//
//   pixmend-cli apply DIR/filter.flt DIR/in/*.bmp -o DIR/cli
//   for f in DIR/out/*; do cmp "$f" DIR/cli/$(basename "$f"); done

#include "app/main_form.h"
#include "bench/quiet_dialogs.h"
#include "bench/scan_picture.h"
#include "filter/batch_form.h"
#include "filter/filter_entry.h"
#include "filter/filter_list_form.h"
#include "imagefile/image_file.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

} // namespace

int main(int argc, char** argv) {
    int images = 20;
    int32_t w = 2480, h = 3508;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--images"))
            images = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--size") &&
                 std::sscanf(argv[i + 1], "%dx%d", &w, &h) == 2) {
        } else if (!std::strcmp(argv[i], "--keep"))
            keep = argv[i + 1];
        else {
            std::fprintf(stderr, "usage: batch_window [--images N] [--size WxH] [--keep DIR]\n");
            return 2;
        }
    }
    const fs::path dir = keep.empty() ? fs::temp_directory_path() /
                                            ("pixmend-batch-window-" + std::to_string(::getpid()))
                                      : fs::path(keep);
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "config");
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    for (int i = 0; i < images; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "scan%02d.bmp", i);
        WriteImageFile((dir / "in" / name).string(), Scan(w, h, i));
    }

    QApplication app(argc, argv);
    TSpectrumStore store;
    TQuietDialogs dialogs;
    TForm1 form(store, dialogs);
    TFormProtokol protokol;
    TFormBatch batch;
    TOtherWindows windows;
    windows.FormProtokol = &protokol;
    windows.FormBatch = &batch;
    form.SetOtherWindows(windows);
    form.show();
    for (int i = 0; i < 20; ++i) {
        const float x = 0.05f + 0.04f * float(i), y = 0.9f - 0.04f * float(i);
        form.AddFilterEntry(i % 2 == 0 ? kFilterRectangle : kFilterEllipse, x, x + 0.03f, y,
                            y + 0.02f);
    }
    form.AddFilterEntry(kFilterResizeBase, 50.0f, 0, 0, 0); // to 50 percent
    protokol.SaveFilterFile((dir / "filter.flt").string());

    QElapsedTimer clock;
    qint64 lastTick = 0, longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    QTimer::singleShot(0, &batch, [&] {
        batch.SetSourceFolder(QString::fromStdString((dir / "in").string()));
        batch.SetTargetFolder(QString::fromStdString((dir / "out").string()));
        batch.FileListIn->selectAll();
        ticks.start(10);
        clock.start();
        batch.BitBtn1->click();
    });
    QEventLoop done;
    QObject::connect(&form, &TForm1::BatchFinished, &done, &QEventLoop::quit);
    form.ToolBatchrun->click();
    if (form.BatchRunning()) done.exec();
    const double seconds = double(clock.elapsed()) / 1000.0;
    ticks.stop();
    std::printf("window batch: %d images of %d x %d, %zu filter entries: %.2f s (%.2f s/image), "
                "longest event-loop stall %lld ms\n",
                images, w, h, protokol.EntryCount(), seconds, seconds / images, (long long)longest);
    if (keep.empty()) fs::remove_all(dir);
    return 0;
}
