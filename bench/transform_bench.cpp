// Speed of the image transform, forward plus inverse of all three planes:
// the scalar reference, the fast path on one thread and on all cores, and
// (where installed) the general-purpose FFT library in single precision on
// one thread and on all cores, side by side in one run. The fast results are
// checked against the reference bit for bit on every size timed.
//
// The library computes the same mirrored real transform (a real-input FFT of
// length 2L - 1 of each mirrored row and column, keeping the real parts of
// the first L outputs), with its best plans; it is not bit-exact and is only
// a yardstick for speed.
//
// Usage: transform_bench [--sizes WxH,WxH,...] [--sample-above PIXELS]
// The scalar reference runs in full up to --sample-above pixels (default
// 10 000 000); above that it is timed on a sample of rows and columns and
// extrapolated, and the fast result is checked on those rows and columns.

#include "spectral/store.h"
#include "spectral/thread_team.h"
#include "spectral/transform.h"
#include "tests/support/reference_transform.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef PIXMEND_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time of the whole process (all its threads). On a machine shared
// with other work the one-thread figures are fairer in processor time than in
// wall time.
double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// A spatial store of pseudo-random pixel values minus 127, the same on every run.
TSpectrumStore MakeStore(int32_t w, int32_t h, uint32_t seed) {
    TSpectrumStore s;
    s.Resize(w, h);
    uint32_t state = seed;
    for (auto& plane : s.Planes)
        for (float& v : plane) {
            state = state * 1664525u + 1013904223u;
            v = float(state >> 24) - 127.0f;
        }
    return s;
}

bool SameBits(const tdline& a, const tdline& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

bool SameStores(const TSpectrumStore& a, const TSpectrumStore& b) {
    return SameBits(a.Planes[0], b.Planes[0]) && SameBits(a.Planes[1], b.Planes[1]) &&
           SameBits(a.Planes[2], b.Planes[2]);
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct TTimes {
    double forward = 0, inverse = 0;
    double cpu = 0; // processor seconds of forward plus inverse
    double Total() const { return forward + inverse; }
};

// Forward then inverse with the fast path; the store ends in the spatial domain.
TTimes RunFast(TSpectrumStore& s, int threads, TSpectrumStore* spectrum = nullptr) {
    TNoProgress none;
    TTimes t;
    const double cpu = CpuNow();
    auto start = Clock::now();
    TransformStore(s, TTransformDirection::Forward, nullptr, none, TTransformOptions{threads});
    t.forward = Seconds(start);
    if (spectrum) *spectrum = s;
    start = Clock::now();
    TransformStore(s, TTransformDirection::Inverse, nullptr, none, TTransformOptions{threads});
    t.inverse = Seconds(start);
    t.cpu = CpuNow() - cpu;
    return t;
}

// The reference, timed on a sample of rows and columns of plane 2: the row
// pass of a forward run is checked against the fast run's work plane (which
// holds plane 2's row pass at the end), the column pass against its plane 2.
// The time of all 3 (H + W) transforms is extrapolated from the sample.
struct TSampled {
    TTimes times;
    bool identical = true;
    int rows = 0, columns = 0;
};

TSampled SampleReference(const TSpectrumStore& input, const TSpectrumStore& fastSpectrum,
                         int count) {
    const int32_t W = input.Cols, H = input.Rows;
    TSampled out;
    std::vector<TComplex> a(size_t(2) * size_t(std::max(W, H))), b(a.size());
    std::vector<float> x(size_t(std::max(W, H))), y(x.size());
    double rowSeconds = 0, columnSeconds = 0;
    for (int i = 0; i < count; ++i) {
        const int32_t r = int32_t(int64_t(H - 1) * i / std::max(1, count - 1));
        const auto start = Clock::now();
        RealTransform1D(input.Planes[2].data() + size_t(r) * size_t(W), y.data(), W,
                        TTransformDirection::Forward, a.data(), b.data());
        rowSeconds += Seconds(start);
        out.identical = out.identical &&
                        std::memcmp(y.data(), fastSpectrum.WorkPlane.data() + size_t(r) * size_t(W),
                                    size_t(W) * sizeof(float)) == 0;
        ++out.rows;
    }
    for (int i = 0; i < count; ++i) {
        const int32_t c = int32_t(int64_t(W - 1) * i / std::max(1, count - 1));
        for (int32_t r = 0; r < H; ++r)
            x[size_t(r)] = fastSpectrum.WorkPlane[size_t(r) * size_t(W) + size_t(c)];
        const auto start = Clock::now();
        RealTransform1D(x.data(), y.data(), H, TTransformDirection::Forward, a.data(), b.data());
        columnSeconds += Seconds(start);
        for (int32_t k = 0; k < H; ++k) {
            const float v = std::fabs(double(y[size_t(k)])) < 0.1 ? 0.0f : y[size_t(k)];
            const float got = fastSpectrum.Planes[2][size_t(k) * size_t(W) + size_t(c)];
            out.identical = out.identical && std::memcmp(&v, &got, sizeof v) == 0;
        }
        ++out.columns;
    }
    // The inverse costs what the forward costs (plus one scaling per value).
    out.times.forward = 3.0 * (rowSeconds / count * H + columnSeconds / count * W);
    out.times.inverse = out.times.forward;
    out.times.cpu = out.times.Total(); // one thread: wall time is processor time
    return out;
}

#ifdef PIXMEND_HAVE_FFTW
// The mirrored real transform of a whole store with the library: blocks of
// rows (columns) are mirrored into a batch of real sequences of length
// 2L - 1, transformed by one real-input plan, and the real parts of the first
// L outputs are kept (scaled by 1/(2L - 1) for the inverse).
class TLibraryTransform {
public:
    static constexpr int kBatch = 64;

    TLibraryTransform(int32_t w, int32_t h, int threads) : W_(w), H_(h) {
#ifdef PIXMEND_HAVE_FFTW_THREADS
        fftwf_plan_with_nthreads(threads);
#else
        (void)threads;
#endif
        const auto start = Clock::now();
        MakePlan(W_, rows_);
        MakePlan(H_, columns_);
        planSeconds = Seconds(start);
    }

    ~TLibraryTransform() {
        for (TPlan* p : {&rows_, &columns_}) {
            fftwf_destroy_plan(p->plan);
            fftwf_free(p->in);
            fftwf_free(p->out);
        }
    }

    void Run(TSpectrumStore& s, bool inverse) {
        for (int p = 0; p < 3; ++p) {
            float* plane = s.Planes[p].data();
            float* work = s.WorkPlane.data();
            for (int32_t r0 = 0; r0 < H_; r0 += kBatch) {
                const int32_t count = std::min(kBatch, H_ - r0);
                Transform(
                    rows_, count, inverse,
                    [&](int32_t i, int32_t k) {
                        return plane[size_t(r0 + i) * size_t(W_) + size_t(k)];
                    },
                    [&](int32_t i, int32_t k, float v) {
                        work[size_t(r0 + i) * size_t(W_) + size_t(k)] = v;
                    });
            }
            for (int32_t c0 = 0; c0 < W_; c0 += kBatch) {
                const int32_t count = std::min(kBatch, W_ - c0);
                Transform(
                    columns_, count, inverse,
                    [&](int32_t i, int32_t k) {
                        return work[size_t(k) * size_t(W_) + size_t(c0 + i)];
                    },
                    [&](int32_t i, int32_t k, float v) {
                        plane[size_t(k) * size_t(W_) + size_t(c0 + i)] =
                            std::fabs(v) < 0.1f ? 0.0f : v;
                    });
            }
        }
    }

    double planSeconds = 0;

private:
    struct TPlan {
        int32_t L = 0, n = 0, outLength = 0;
        float* in = nullptr;
        fftwf_complex* out = nullptr;
        fftwf_plan plan = nullptr;
    };

    static void MakePlan(int32_t L, TPlan& p) {
        p.L = L;
        p.n = 2 * L - 1;
        p.outLength = p.n / 2 + 1;
        p.in = fftwf_alloc_real(size_t(p.n) * kBatch);
        p.out = fftwf_alloc_complex(size_t(p.outLength) * kBatch);
        int n = p.n;
        p.plan = fftwf_plan_many_dft_r2c(1, &n, kBatch, p.in, nullptr, 1, p.n, p.out, nullptr, 1,
                                         p.outLength, FFTW_MEASURE);
        std::memset(p.in, 0, sizeof(float) * size_t(p.n) * kBatch);
    }

    template <class Get, class Put>
    void Transform(TPlan& p, int32_t count, bool inverse, Get get, Put put) {
        for (int32_t i = 0; i < count; ++i) {
            float* seq = p.in + size_t(i) * size_t(p.n);
            for (int32_t k = 0; k < p.L; ++k) seq[k] = get(i, k);
            for (int32_t k = p.L; k < p.n; ++k) seq[k] = seq[p.n - k];
        }
        fftwf_execute(p.plan);
        const float scale = inverse ? float(1.0 / double(p.n)) : 1.0f;
        for (int32_t i = 0; i < count; ++i) {
            const fftwf_complex* o = p.out + size_t(i) * size_t(p.outLength);
            for (int32_t k = 0; k < p.L; ++k) put(i, k, scale * o[k][0]);
        }
    }

    int32_t W_, H_;
    TPlan rows_, columns_;
};

TTimes RunLibrary(const TSpectrumStore& input, int threads, double& planSeconds) {
    TSpectrumStore s = input;
    TLibraryTransform t(s.Cols, s.Rows, threads);
    planSeconds = t.planSeconds;
    TTimes times;
    const double cpu = CpuNow();
    auto start = Clock::now();
    t.Run(s, false);
    times.forward = Seconds(start);
    start = Clock::now();
    t.Run(s, true);
    times.inverse = Seconds(start);
    times.cpu = CpuNow() - cpu;
    return times;
}
#endif

std::vector<std::pair<int32_t, int32_t>> ParseSizes(const std::string& text) {
    std::vector<std::pair<int32_t, int32_t>> sizes;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t comma = std::min(text.find(',', pos), text.size());
        int w = 0, h = 0;
        if (std::sscanf(text.substr(pos, comma - pos).c_str(), "%dx%d", &w, &h) == 2 && w > 0 &&
            h > 0)
            sizes.push_back({w, h});
        pos = comma + 1;
    }
    return sizes;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<int32_t, int32_t>> sizes = {{512, 512},   {1000, 1000}, {1024, 1024},
                                                      {1500, 1000}, {2480, 3508}, {4960, 7016}};
    double sampleAbove = 10e6;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--sizes")
            sizes = ParseSizes(argv[i + 1]);
        else if (arg == "--sample-above")
            sampleAbove = std::atof(argv[i + 1]);
    }
    const int cores = AvailableProcessors();
    std::printf("Image transform, forward + inverse of 3 planes; %d cores, lanes %s\n", cores,
                LaneSetName(ResolveLaneSet(TLaneSet::Auto)));
#ifdef PIXMEND_HAVE_FFTW_THREADS
    fftwf_init_threads();
#endif

    // Memory first, while the peak resident size still belongs to nothing
    // else: what the fast transform of the largest size needs beyond its store.
    {
        const auto largest = *std::max_element(sizes.begin(), sizes.end(), [](auto a, auto b) {
            return int64_t(a.first) * a.second < int64_t(b.first) * b.second;
        });
        TSpectrumStore s = MakeStore(largest.first, largest.second, 1);
        const double storeMb = 4.0 * double(s.CellCount()) * sizeof(float) / 1048576.0;
        const long before = PeakRssKb();
        RunFast(s, 0);
        const long after = PeakRssKb();
        const double extraMb = double(after - before) / 1024.0;
        std::printf(
            "memory %dx%d: store %.0f MB, peak grew by %.1f MB during the transform (%.2f %%)\n",
            largest.first, largest.second, storeMb, extraMb, 100.0 * extraMb / storeMb);
    }

    std::printf("\n%-10s %10s %9s %9s %9s %9s | %8s %8s %8s %8s | %s\n", "size", "scalar s",
                "fast1 s", "fastN s", "lib1 s", "libN s", "sc/fN", "f1/lib1", "fN/lib1", "fN/libN",
                "bits");
    for (auto [w, h] : sizes) {
        const TSpectrumStore input = MakeStore(w, h, uint32_t(w * 7 + h));
        const bool sampled = double(w) * double(h) > sampleAbove;

        TSpectrumStore fast1 = input, fast1Spectrum;
        const TTimes f1 = RunFast(fast1, 1, &fast1Spectrum);
        TSpectrumStore fastN = input, fastNSpectrum;
        const TTimes fN = RunFast(fastN, 0, &fastNSpectrum);

        TTimes ref;
        std::string bits;
        if (!sampled) {
            TNoProgress none;
            TSpectrumStore s = input;
            const double cpu = CpuNow();
            auto start = Clock::now();
            TransformStoreReference(s, TTransformDirection::Forward, nullptr, none);
            ref.forward = Seconds(start);
            const bool forwardSame = SameStores(s, fast1Spectrum) && SameStores(s, fastNSpectrum);
            start = Clock::now();
            TransformStoreReference(s, TTransformDirection::Inverse, nullptr, none);
            ref.inverse = Seconds(start);
            ref.cpu = CpuNow() - cpu;
            const bool inverseSame = SameStores(s, fast1) && SameStores(s, fastN);
            bits = forwardSame && inverseSame ? "identical" : "DIFFERENT";
        } else {
            const TSampled sample = SampleReference(input, fast1Spectrum, 8);
            ref = sample.times;
            const bool threadsSame =
                SameStores(fast1Spectrum, fastNSpectrum) && SameStores(fast1, fastN);
            bits = (sample.identical && threadsSame ? "identical" : "DIFFERENT") +
                   std::string(" (scalar sampled: ") + std::to_string(sample.rows) + " rows + " +
                   std::to_string(sample.columns) + " columns)";
        }

        double lib1 = NAN, libN = NAN, lib1Cpu = NAN;
#ifdef PIXMEND_HAVE_FFTW
        double plan1 = 0, planN = 0;
        const TTimes l1 = RunLibrary(input, 1, plan1);
        lib1 = l1.Total();
        lib1Cpu = l1.cpu;
#ifdef PIXMEND_HAVE_FFTW_THREADS
        libN = RunLibrary(input, cores, planN).Total();
#endif
#endif
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", w, h);
        std::printf("%-10s %10.2f %9.3f %9.3f %9.3f %9.3f | %8.1f %8.2f %8.2f %8.2f | %s\n", size,
                    ref.Total(), f1.Total(), fN.Total(), lib1, libN, ref.Total() / fN.Total(),
                    f1.Total() / lib1, fN.Total() / lib1, fN.Total() / libN, bits.c_str());
        std::printf(
            "%-10s %10.2f %9.3f %9.3f %9.3f %9s | %8.1f %8.2f %8s %8s | processor seconds\n",
            "  cpu", ref.cpu, f1.cpu, fN.cpu, lib1Cpu, "", ref.cpu / f1.cpu, f1.cpu / lib1Cpu, "",
            "");
        std::fflush(stdout);
    }
    std::printf(
        "\nsc/fN: scalar reference over fast path on all cores; f1, fN over lib1, libN: fast path\n"
        "(1 thread, all cores) over the library (1 thread, all cores): below 1 means faster.\n"
        "The cpu lines give processor seconds of the same runs (their sc column is scalar\n"
        "over fast 1 thread), which other load on the machine does not inflate.\n");
    return 0;
}
