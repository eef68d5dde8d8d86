#include "filter/spectrum_levels.h"

#include "spectral/thread_team.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

int32_t PowerLevel(double power) {
    const float p = float(power);
    if (!(p >= 0.0f) || std::isinf(p)) return 0;
    uint32_t bits;
    std::memcpy(&bits, &p, sizeof bits);
    return int32_t(bits >> 20);
}

int32_t LevelsOf(double ratio) {
    return int32_t(std::lround(kLevelsPerOctave * std::log2(ratio)));
}

void ForRowBands(int32_t rows, const std::function<void(int32_t r0, int32_t r1)>& rowWork) {
    constexpr int32_t kBand = 64;
    const int32_t bands = (rows + kBand - 1) / kBand;
    std::atomic<int32_t> next{0};
    RunOnThreads(std::min(AvailableProcessors(), std::max(bands, 1)), [&](int) {
        for (int32_t b = next++; b < bands; b = next++)
            rowWork(b * kBand, std::min(rows, (b + 1) * kBand));
    });
}

void CombinedLevels(const TSpectrumStore& store, float* levels) {
    const size_t W = size_t(store.Cols);
    ForRowBands(store.Rows, [&](int32_t r0, int32_t r1) {
        for (size_t i = size_t(r0) * W; i < size_t(r1) * W; ++i)
            levels[i] = float(PowerLevel(CombinedPower(store, i)));
    });
}

TRadialProfile::TRadialProfile(int32_t W, int32_t H)
    : W_(W), H_(H), columnSquares_(size_t(std::max(W, 0))) {
    for (int64_t c = 0; c < W_; ++c) {
        const double u = double(c) / double(W_);
        columnSquares_[size_t(c)] = u * u;
    }
}

double TRadialProfile::Radius(int64_t c, int64_t r) const {
    const double u = double(c) / double(W_), v = double(r) / double(H_);
    return std::sqrt(u * u + v * v);
}

namespace {
// The bin of a squared radius, as Bin computes it from u^2 + v^2.
int BinOfSquare(double square) {
    return std::min(int(std::sqrt(square) / 1.4142135623730951 * TRadialProfile::kBins),
                    TRadialProfile::kBins - 1);
}

// The smallest squared radius of each bin: every step of BinOfSquare (a root,
// a division, a product and a truncation, each rounded the same way every
// time) never decreases as its argument grows, so a square lies in bin b
// exactly when it is at least the b-th threshold and below the next. Found
// once by bisection over the ordered bit patterns of non-negative doubles.
const std::vector<double>& BinThresholds() {
    static const std::vector<double> thresholds = [] {
        std::vector<double> t(TRadialProfile::kBins + 1, 0.0);
        const auto bitsOf = [](double v) {
            uint64_t b;
            std::memcpy(&b, &v, sizeof b);
            return b;
        };
        const auto valueOf = [](uint64_t b) {
            double v;
            std::memcpy(&v, &b, sizeof v);
            return v;
        };
        for (int bin = 1; bin < TRadialProfile::kBins; ++bin) {
            uint64_t lo = 0, hi = bitsOf(4.0); // BinOfSquare(lo) < bin <= BinOfSquare(hi)
            while (hi - lo > 1) {
                const uint64_t mid = lo + (hi - lo) / 2;
                (BinOfSquare(valueOf(mid)) >= bin ? hi : lo) = mid;
            }
            t[size_t(bin)] = valueOf(hi);
        }
        t[TRadialProfile::kBins] = std::numeric_limits<double>::infinity();
        return t;
    }();
    return thresholds;
}
} // namespace

int TRadialProfile::Bin(int64_t c, int64_t r) const {
    return std::min(int(Radius(c, r) / 1.4142135623730951 * kBins), kBins - 1);
}

void TRadialProfile::RowBins(int64_t r, uint8_t* bins) const {
    static_assert(kBins <= 256, "bins are kept in bytes");
    const std::vector<double>& threshold = BinThresholds();
    const double v = double(r) / double(H_), v2 = v * v;
    // Along a row the square only grows, and so does its bin.
    int bin = W_ > 0 ? BinOfSquare(columnSquares_[0] + v2) : 0;
    for (int64_t c = 0; c < W_; ++c) {
        const double square = columnSquares_[size_t(c)] + v2;
        while (square >= threshold[size_t(bin) + 1]) ++bin;
        bins[c] = uint8_t(bin);
    }
}

namespace {
// The first level where the running count reaches half the total; -1 for
// no counts at all.
int32_t HistogramMedian(const uint32_t* counts) {
    uint64_t total = 0;
    for (int i = 0; i < kLevelCount; ++i) total += counts[i];
    uint64_t seen = 0;
    for (int i = 0; i < kLevelCount && total > 0; ++i) {
        seen += counts[i];
        if (2 * seen >= total) return i;
    }
    return -1;
}

template <size_t N>
int32_t MedianOf(int32_t (&window)[N], int n) {
    std::nth_element(window, window + n / 2, window + n);
    return window[n / 2];
}
} // namespace

bool TRadialProfile::FitFall(double lo, double hi, int first, double maxSlope, double& slope,
                             double& intercept) const {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int b = first; b < kBins; ++b) {
        const double radius = BinRadius(b);
        if (radius < lo || radius > hi) continue;
        const double x = std::log2(radius), y = Median(b);
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    if (n < 3) return false;
    slope = std::min(maxSlope, (n * sxy - sx * sy) / (n * sxx - sx * sx));
    intercept = (sy - slope * sx) / n;
    return true;
}

void TRadialProfile::Measure(const float* levels) {
    // Counts per worker, added up afterwards: sums of whole numbers do not
    // depend on the order they are taken in, nor on who took them.
    constexpr int32_t kBand = 64;
    const int32_t bands = (H_ + kBand - 1) / kBand;
    const int workers = std::min(AvailableProcessors(), std::max(bands, 1));
    std::vector<std::vector<uint32_t>> counts(static_cast<size_t>(workers));
    std::atomic<int32_t> next{0};
    RunOnThreads(workers, [&](int worker) {
        std::vector<uint32_t>& own = counts[size_t(worker)];
        own.assign(size_t(kBins) * kLevelCount, 0);
        std::vector<uint8_t> bins(static_cast<size_t>(W_));
        for (int32_t b = next++; b < bands; b = next++)
            for (int64_t r = int64_t(b) * kBand; r < std::min<int64_t>(H_, (b + 1) * kBand); ++r) {
                RowBins(r, bins.data());
                const float* row = levels + size_t(r) * size_t(W_);
                for (int64_t c = 0; c < W_; ++c)
                    ++own[size_t(bins[size_t(c)]) * kLevelCount + size_t(row[c])];
            }
    });
    std::vector<uint32_t>& hist = counts[0];
    for (size_t w = 1; w < counts.size(); ++w)
        if (!counts[w].empty())
            for (size_t i = 0; i < hist.size(); ++i) hist[i] += counts[w][i];
    std::vector<int32_t> raw(kBins);
    for (int b = 0; b < kBins; ++b)
        raw[size_t(b)] = HistogramMedian(&hist[size_t(b) * kLevelCount]);
    // Rings near the constant term hold few cells; on a small spectrum the
    // rings out at the far corner hold none, and they count for nothing (a
    // level of 0 there would make every cell beside them stand out).
    for (int b = 0; b < kBins; ++b) {
        int32_t window[5];
        int n = 0;
        for (int k = std::max(0, b - 2); k <= std::min(kBins - 1, b + 2); ++k)
            if (raw[size_t(k)] >= 0) window[n++] = raw[size_t(k)];
        median_[size_t(b)] = n > 0 ? MedianOf(window, n) : b > 0 ? median_[size_t(b) - 1] : 0;
    }
}

int32_t TBlockLevels::BlockFor(int32_t W, int32_t H) {
    return std::clamp<int32_t>(int32_t(std::lround(std::min(W, H) / 96.0)), 6, 32);
}

TBlockLevels::TBlockLevels(const float* levels, int32_t W, int32_t H, int32_t block)
    : block_(block), bx_((W + block - 1) / block), by_((H + block - 1) / block) {
    // Each block's median on its own, rows of blocks spread over the
    // processors: a median is the same whoever takes it.
    std::vector<int32_t> median(size_t(bx_) * size_t(by_));
    std::atomic<int32_t> next{0};
    RunOnThreads(std::min(AvailableProcessors(), std::max(by_, 1)), [&](int) {
        std::vector<int32_t> cells(size_t(block) * size_t(block));
        std::vector<uint32_t> counts;
        for (int32_t j = next++; j < by_; j = next++)
            for (int32_t i = 0; i < bx_; ++i) {
                size_t n = 0;
                int32_t lo = std::numeric_limits<int32_t>::max();
                int32_t hi = std::numeric_limits<int32_t>::min();
                const int64_t c0 = int64_t(i) * block, c1 = std::min<int64_t>(W, c0 + block);
                for (int64_t r = int64_t(j) * block;
                     r < std::min<int64_t>(H, int64_t(j + 1) * block); ++r) {
                    const float* row = levels + size_t(r) * size_t(W);
                    for (int64_t c = c0; c < c1; ++c) {
                        const int32_t v = int32_t(row[c]);
                        cells[n++] = v;
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                }
                // The (n / 2)-th smallest, counted over the block's
                // range of levels (a few dozen) where that is short.
                const size_t k = n / 2;
                int32_t m;
                if (int64_t(hi) - lo < 4096) {
                    counts.assign(size_t(hi - lo) + 1, 0);
                    for (size_t q = 0; q < n; ++q) ++counts[size_t(cells[q] - lo)];
                    size_t seen = 0, v = 0;
                    while (seen + counts[v] <= k) seen += counts[v++];
                    m = lo + int32_t(v);
                } else {
                    std::nth_element(cells.begin(), cells.begin() + std::ptrdiff_t(k),
                                     cells.begin() + std::ptrdiff_t(n));
                    m = cells[k];
                }
                median[size_t(j) * size_t(bx_) + size_t(i)] = m;
            }
    });
    level_.assign(median.size(), 0);
    for (int32_t j = 0; j < by_; ++j)
        for (int32_t i = 0; i < bx_; ++i) {
            int32_t window[9];
            int n = 0;
            for (int32_t v = std::max(0, j - 1); v <= std::min(by_ - 1, j + 1); ++v)
                for (int32_t u = std::max(0, i - 1); u <= std::min(bx_ - 1, i + 1); ++u)
                    window[n++] = median[size_t(v) * size_t(bx_) + size_t(u)];
            level_[size_t(j) * size_t(bx_) + size_t(i)] = MedianOf(window, n);
        }
    lowest_ = level_.empty() ? 0 : *std::min_element(level_.begin(), level_.end());
}

double TBlockLevels::At(int64_t c, int64_t r) const {
    const double u = (double(c) + 0.5) / block_ - 0.5, v = (double(r) + 0.5) / block_ - 0.5;
    const int32_t i0 = std::clamp<int32_t>(int32_t(std::floor(u)), 0, bx_ - 1);
    const int32_t j0 = std::clamp<int32_t>(int32_t(std::floor(v)), 0, by_ - 1);
    const int32_t i1 = std::min(i0 + 1, bx_ - 1), j1 = std::min(j0 + 1, by_ - 1);
    const double fu = std::clamp(u - i0, 0.0, 1.0), fv = std::clamp(v - j0, 0.0, 1.0);
    const auto at = [&](int32_t i, int32_t j) {
        return double(level_[size_t(j) * size_t(bx_) + size_t(i)]);
    };
    const double top = at(i0, j0) * (1.0 - fu) + at(i1, j0) * fu;
    const double bottom = at(i0, j1) * (1.0 - fu) + at(i1, j1) * fu;
    return top * (1.0 - fv) + bottom * fv;
}
