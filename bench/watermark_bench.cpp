// Speed of the watermark: embedding and checking on spectra of photo size, the
// key set-up of the keystream alone, and the embedding with row keystreams
// recomputed for every row of every plane, pass and measure against the cached
// ones (the output bytes are compared before timing).

#include "spectral/store.h"
#include "spectral/transform.h"
#include "watermark/cipher.h"
#include "watermark/watermark.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>

namespace {

// A spectrum with the statistics of a photograph's: a large constant term and
// coefficients whose magnitude falls off with frequency, random signs, and
// the small ones stored as 0 as the transform does. Built directly rather than
// by transforming an image, since 2 * 1000 - 1 is prime and the transform of
// that size takes far longer than what is measured here.
TSpectrumStore PhotoLikeSpectrum(int32_t w, int32_t h, uint32_t seed) {
    TSpectrumStore s;
    s.Resize(w, h);
    std::mt19937 gen(seed);
    const double scale = 4.0 * double(w) * double(h);
    for (int p = 0; p < 3; ++p)
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) {
                const double f = std::hypot(double(c) / w, double(r) / h) * 64.0 + 1.0;
                const double u = (double(gen() >> 8) + 0.5) / 16777216.0 * 2.0 - 1.0;
                float v = float(scale * 0.02 * u / (f * f));
                if (std::fabs(v) < 0.1f) v = 0.0f;
                s.At(p, c, r) = v;
            }
    for (int p = 0; p < 3; ++p) s.At(p, 0, 0) = float(scale * 30.0);
    return s;
}

// A spectrum of strong grain: values spread evenly over +-50,000, all below
// both bounds, which hide the mark well, so the embedding needs many passes.
TSpectrumStore GrainSpectrum(int32_t w, int32_t h, uint32_t seed) {
    TSpectrumStore s;
    s.Resize(w, h);
    std::mt19937 gen(seed);
    for (auto& plane : s.Planes)
        for (auto& v : plane) v = float((int(gen() % 200001) - 100000) * 0.5);
    return s;
}

// kind 0: photo-like, kind 1: grain.
const TSpectrumStore& Spectrum(int32_t size, int kind = 0) {
    static std::map<std::pair<int32_t, int>, TSpectrumStore> cache;
    const auto key = std::make_pair(size, kind);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache
                 .emplace(key, kind == 0 ? PhotoLikeSpectrum(size, size, 1234u + uint32_t(size))
                                         : GrainSpectrum(size, size, 99u + uint32_t(size)))
                 .first;
    return it->second;
}

const char* KindName(int64_t kind) {
    return kind == 0 ? "photo-like" : "grain";
}

// Args: size, recompute (0/1), spectrum kind (0 photo-like, 1 grain).
void BM_Embed(benchmark::State& state) {
    const int32_t size = int32_t(state.range(0));
    const auto policy = state.range(1) ? TKeystreamPolicy::Recompute : TKeystreamPolicy::Cached;
    const int kind = int(state.range(2));
    TWatermarkResult result;
    for (auto _ : state) {
        state.PauseTiming();
        TSpectrumStore store = Spectrum(size, kind);
        state.ResumeTiming();
        result = EmbedWatermark(store, kDefaultSign, policy);
        benchmark::DoNotOptimize(store.Planes[0].data());
    }
    state.counters["passes"] = result.Passes;
    state.counters["measure"] = result.Measure;
    state.SetLabel(std::string(KindName(kind)) +
                   (policy == TKeystreamPolicy::Cached ? ", cached" : ", recomputed"));
}

void BM_Check(benchmark::State& state) {
    const int32_t size = int32_t(state.range(0));
    const auto policy = state.range(1) ? TKeystreamPolicy::Recompute : TKeystreamPolicy::Cached;
    TSpectrumStore store = Spectrum(size);
    EmbedWatermark(store, kDefaultSign);
    double q = 0;
    for (auto _ : state) q = WatermarkMeasure(store, kDefaultSign, policy);
    state.counters["measure"] = q;
    state.SetLabel(policy == TKeystreamPolicy::Cached ? "cached" : "recomputed");
}

// The correlation and fit alone, with the row keystreams already at hand.
void BM_MeasureOnly(benchmark::State& state) {
    const int32_t size = int32_t(state.range(0));
    const TSpectrumStore& store = Spectrum(size);
    const TRowKeystreams keys(kDefaultSign, size, size);
    for (auto _ : state) benchmark::DoNotOptimize(WatermarkMeasure(store, keys));
    state.SetItemsProcessed(state.iterations() * 3 * int64_t(size) * size);
}

void BM_KeySetup(benchmark::State& state) {
    TCipher_Blowfish cipher;
    uint8_t row[1001];
    int r = 0;
    for (auto _ : state) {
        KeystreamBytes(cipher, "(c) Pixmend Software" + std::to_string(r++ % 1000), row,
                       state.range(0));
        benchmark::DoNotOptimize(row);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_RowKeystreams(benchmark::State& state) {
    const int32_t size = int32_t(state.range(0));
    for (auto _ : state) {
        TRowKeystreams keys(kDefaultSign, size, size);
        benchmark::DoNotOptimize(keys.Row(0));
    }
    state.SetItemsProcessed(state.iterations() * size);
}

// The cache must not change a single byte: checked once before the timings.
bool SameOutputBothWays(int32_t size, int kind) {
    TSpectrumStore cached = Spectrum(size, kind), recomputed = Spectrum(size, kind);
    const auto a = EmbedWatermark(cached, kDefaultSign, TKeystreamPolicy::Cached);
    const auto b = EmbedWatermark(recomputed, kDefaultSign, TKeystreamPolicy::Recompute);
    bool same = a.Passes == b.Passes && a.Measure == b.Measure;
    for (int p = 0; p < 3; ++p)
        same = same && std::memcmp(cached.Planes[p].data(), recomputed.Planes[p].data(),
                                   cached.CellCount() * sizeof(float)) == 0;
    std::fprintf(stderr, "%d x %d %s: %d passes, measure %.9f, cached and recomputed output %s\n",
                 size, size, KindName(kind), a.Passes, a.Measure, same ? "identical" : "DIFFERENT");
    return same;
}

} // namespace

BENCHMARK(BM_KeySetup)->Arg(0)->Arg(1001)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MeasureOnly)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowKeystreams)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Embed)
    ->Args({512, 0, 0})
    ->Args({1000, 0, 0})
    ->Args({1000, 1, 0})
    ->Args({1000, 0, 1})
    ->Args({1000, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_Check)->Args({512, 0})->Args({1000, 0})->Args({1000, 1})->Unit(
    benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!SameOutputBothWays(1000, 0) || !SameOutputBothWays(1000, 1)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
