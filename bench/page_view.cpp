// A big page in the main window as a user looks at it: a scan (4960 x 7016,
// an A4 page at 600 dpi, by default) opened and fitted, zoomed in step by
// step to the top of the ladder around the view's centre, panned at 100 % and
// 400 %, fitted again, transformed, its spectrum zoomed and panned, and its
// contrast moved. For each step it prints the time until the window has
// repainted (all of it: the view draws a big picture over several turns of
// the event loop) and the longest time the event loop did not turn (the largest gap
// between the ticks of a 10 ms timer), which is what a user feels as a frozen
// window; at the end the memory the process holds with the page and its
// spectrum against the store and the bitmap. Run it from a release build on
// the offscreen platform:
//
//   QT_QPA_PLATFORM=offscreen page_view [--size WxH] [--file PAGE.bmp]

#include "app/image_view.h"
#include "app/main_form.h"
#include "app/view_area.h"
#include "bench/quiet_dialogs.h"
#include "bench/scan_picture.h"
#include "filter/filter_list_form.h"
#include "filter/zoom_form.h"
#include "imagefile/image_file.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The process's resident memory now and at its peak, in MB.
std::pair<double, double> ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    double now = 0, peak = 0;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) now = std::atof(line.c_str() + 6) / 1024.0;
        if (line.rfind("VmHWM:", 0) == 0) peak = std::atof(line.c_str() + 6) / 1024.0;
    }
    return {now, peak};
}

// A step a user takes, Repeat times, each in an event of its own (a pan is
// many small moves).
struct TStep {
    std::string Name;
    std::function<void()> Work;
    int Repeat = 1;
};

} // namespace

int main(int argc, char** argv) {
    int32_t w = 4960, h = 7016;
    std::string file;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--size") && std::sscanf(argv[i + 1], "%dx%d", &w, &h) == 2) {
        } else if (!std::strcmp(argv[i], "--file"))
            file = argv[i + 1];
        else {
            std::fprintf(stderr, "usage: page_view [--size WxH] [--file PAGE.bmp]\n");
            return 2;
        }
    }
    const fs::path dir =
        fs::temp_directory_path() / ("pixmend-page-view-" + std::to_string(::getpid()));
    fs::create_directories(dir / "config");
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    if (file.empty()) {
        file = (dir / "page.bmp").string();
        WriteImageFile(file, Scan(w, h, 1));
    }

    QApplication app(argc, argv);
    TSpectrumStore store;
    TQuietDialogs dialogs;
    TForm1 form(store, dialogs);
    TFormProtokol protokol;
    TFormZoom zoom;
    TOtherWindows windows;
    windows.FormProtokol = &protokol;
    windows.FormZoom = &zoom;
    form.SetOtherWindows(windows);
    form.resize(1280, 900);
    form.show();

    TViewArea& area = *form.ScrollBox1;
    auto pan = [&] {
        area.horizontalScrollBar()->setValue(area.horizontalScrollBar()->value() + 150);
        area.verticalScrollBar()->setValue(area.verticalScrollBar()->value() + 150);
    };
    std::vector<TStep> steps;
    steps.push_back({"open and fit", [&] { form.OpenImage(QString::fromStdString(file)); }});
    for (int i = 0; i < 8; ++i) steps.push_back({"zoom in", [&] { area.StepZoom(true); }});
    steps.push_back({"100 %", [&] { area.SetZoom(kActualSize); }});
    steps.push_back({"pan 100 % (20 x 150 px)", pan, 20});
    steps.push_back({"400 %", [&] { area.SetZoom({4, 1}); }});
    steps.push_back({"pan 400 % (20 x 150 px)", pan, 20});
    steps.push_back({"1600 %", [&] { area.SetZoom({16, 1}); }});
    steps.push_back({"fit", [&] { area.FitToWindow(); }});
    steps.push_back({"50 %", [&] { area.SetZoom({1, 2}); }});
    steps.push_back({"pan 50 % (20 x 150 px)", pan, 20});
    steps.push_back({"fit", [&] { area.FitToWindow(); }});
    steps.push_back({"transform (worker thread)", [&] { form.ToolTransform->click(); }});
    steps.push_back({"spectrum 400 %", [&] { area.SetZoom({4, 1}); }});
    steps.push_back({"spectrum pan 400 %", pan, 20});
    steps.push_back({"spectrum fit", [&] { area.FitToWindow(); }});
    steps.push_back(
        {"contrast +5", [&] { form.TrackKontrast->setValue(form.TrackKontrast->value() + 5); }});

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    ticks.start(10);
    qint64 worst = 0;
    std::printf("page %d x %d; the view's longest event-loop stall per step:\n", w, h);
    size_t next = 0;
    int left = 0;
    qint64 started = 0;
    std::function<void()> again;
    std::function<void()> runNext = [&] {
        if (next > 0) {
            const qint64 took = clock.elapsed() - started - 200;
            std::printf("  %-28s %6lld ms until painted, longest stall %5lld ms (zoom %d %%)\n",
                        steps[next - 1].Name.c_str(), (long long)took, (long long)longest,
                        area.Zoom().Percent());
            if (next > 1) worst = std::max(worst, longest);
        }
        if (next == steps.size()) {
            app.quit();
            return;
        }
        started = clock.elapsed();
        lastTick = started;
        longest = 0;
        left = steps[next].Repeat;
        again();
    };
    // The view draws a big redraw over several turns: a step ends when it has
    // drawn all of it.
    std::function<void()> waitDrawn = [&] {
        if (form.Image1->DrawingPending()) {
            QTimer::singleShot(5, waitDrawn);
            return;
        }
        QTimer::singleShot(200, runNext);
    };
    // Each repetition is painted before the next; the step is measured up to
    // when the window has painted the last.
    again = [&] {
        steps[next].Work();
        form.repaint();
        QTimer::singleShot(0, [&] {
            if (--left > 0) {
                again();
                return;
            }
            ++next;
            waitDrawn();
        });
    };
    QTimer::singleShot(100, runNext);
    app.exec();
    const auto [now, peak] = ResidentMegabytes();
    // The store as it stands (its work plane and three planes), and the bitmap shown.
    size_t storeFloats = store.WorkPlane.size();
    for (const auto& plane : store.Planes) storeFloats += plane.size();
    const double storeMb = double(storeFloats) * 4.0 / 1048576.0;
    const double bitmapMb = double(form.Image1->Picture.Bytes.size()) / 1048576.0;
    std::printf("longest stall after the open: %lld ms\n", (long long)worst);
    std::printf(
        "memory with the page and its spectrum: %.0f MiB resident, peak %.0f MiB; store %.0f "
        "MiB + bitmap %.0f MiB = %.0f MiB, +15 %% = %.0f MiB\n",
        now, peak, storeMb, bitmapMb, storeMb + bitmapMb, (storeMb + bitmapMb) * 1.15);
    fs::remove_all(dir);
    return 0;
}
