// The screen window's preview on an A4 page at 300 dpi (2480 x 3508) with a
// screen of 3.6 pixels a cell: what a change of strength costs (search,
// damping, way back and drawing on the region the window holds), and what a
// new region costs on top (its copy out of the page and its transform). The
// region is the largest the window takes, 1024 x 1024 cells.
//   build/release/bench/descreen_preview_bench
#include "filter/descreen_preview.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

constexpr int32_t kCols = 2480, kRows = 3508, kRegion = 1024;

const TSpectrumStore& Page() {
    static const TSpectrumStore page = [] {
        TSpectrumStore s;
        s.Resize(kCols, kRows);
        const double angles[3] = {15.0, 75.0, 45.0};
        for (int p = 0; p < 3; ++p) {
            const double a = angles[p] * std::numbers::pi / 180.0, k = 2.0 * std::numbers::pi / 3.6;
            for (int32_t r = 0; r < kRows; ++r)
                for (int32_t c = 0; c < kCols; ++c) {
                    const double u = c * std::cos(a) + r * std::sin(a);
                    const double t = -c * std::sin(a) + r * std::cos(a);
                    const double picture = 40.0 * std::sin(c / 300.0 + p) * std::cos(r / 200.0);
                    s.At(p, c, r) = float(picture + 35.0 * (std::cos(k * u) + std::cos(k * t)));
                }
        }
        return s;
    }();
    return page;
}

const TPreviewRegion kMiddle{(kCols - kRegion) / 2, (kRows - kRegion) / 2, kRegion, kRegion};

void StrengthChange(benchmark::State& state) {
    TDescreenPreview preview;
    preview.SetPicture(CopyStoreRegion(Page(), kMiddle));
    double strength = 1.0;
    for (auto _ : state) {
        strength = strength == 1.0 ? 2.0 : 1.0;
        benchmark::DoNotOptimize(preview.Clean(strength).Entries);
    }
}

void RegionChange(benchmark::State& state) {
    TDescreenPreview preview;
    for (auto _ : state) {
        preview.SetPicture(CopyStoreRegion(Page(), kMiddle));
        benchmark::DoNotOptimize(preview.Clean(1.0).Entries);
    }
}

BENCHMARK(StrengthChange)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(RegionChange)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
