// Forward transform of whole pages at scan resolutions whose transform
// lengths have large prime factors, exact and fast, on all cores: one run of
// each, with wall and processor seconds and the peak memory beside the store.
//
// Usage: page_transform_bench [--sizes WxH,...] [--modes exact,fast]
// Defaults: A3 at 600 dpi (7016 x 9921, column length 19841 prime) and US
// Letter at 300 dpi (2550 x 3300, lengths 5099 and 6599 prime). The exact A3
// run takes about a minute of both cores: run it once, not in a loop.

#include "spectral/store.h"
#include "spectral/thread_team.h"
#include "spectral/transform.h"

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Scan-like planes: pixel values minus 127, the same on every run.
void Fill(TSpectrumStore& s, uint32_t seed) {
    uint32_t state = seed;
    for (auto& plane : s.Planes)
        for (float& v : plane) {
            state = state * 1664525u + 1013904223u;
            v = float(state >> 24) - 127.0f;
        }
}

} // namespace

int main(int argc, char** argv) {
    std::string sizes = "7016x9921,2550x3300", modes = "exact,fast";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--sizes")
            sizes = argv[i + 1];
        else if (arg == "--modes")
            modes = argv[i + 1];
    }
    std::printf("forward transform of 3 planes on %d cores\n", AvailableProcessors());
    std::printf("%-11s %-6s %9s %9s %10s %12s\n", "size", "mode", "wall s", "cpu s", "store MB",
                "peak RSS MB");
    size_t pos = 0;
    while (pos < sizes.size()) {
        const size_t comma = std::min(sizes.find(',', pos), sizes.size());
        int w = 0, h = 0;
        if (std::sscanf(sizes.substr(pos, comma - pos).c_str(), "%dx%d", &w, &h) == 2 && w > 0 &&
            h > 0) {
            for (const std::string mode : {"fast", "exact"}) {
                if (modes.find(mode) == std::string::npos) continue;
                TSpectrumStore s;
                s.Resize(w, h);
                Fill(s, uint32_t(w * 7 + h));
                const double storeMb = 4.0 * double(s.CellCount()) * sizeof(float) / 1048576.0;
                TTransformOptions options;
                options.Fast = mode == "fast";
                TNoProgress none;
                const double cpu = CpuNow();
                const auto start = std::chrono::steady_clock::now();
                TransformStore(s, TTransformDirection::Forward, nullptr, none, options);
                const double wall =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::printf("%5dx%-5d %-6s %9.2f %9.2f %10.0f %12.0f\n", w, h, mode.c_str(), wall,
                            CpuNow() - cpu, storeMb, PeakRssMb());
                std::fflush(stdout);
            }
        }
        pos = comma + 1;
    }
    std::printf("peak RSS is the process's high-water mark so far (store included).\n");
    return 0;
}
