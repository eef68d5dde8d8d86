#include "watermark/watermark.h"

#include "spectral/errors.h"
#include "spectral/thread_team.h"
#include "watermark/cipher.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

// ---------------------------------------------------------------------------
// Row keystreams

size_t TRowKeystreams::LengthFor(int32_t cols) {
    return std::max<size_t>(size_t(cols) + 1, 3);
}

void TRowKeystreams::ComputeRow(const std::string& signBytes, int32_t r, int8_t* out,
                                size_t length) {
    thread_local TCipher_Blowfish cipher;
    KeystreamBytes(cipher, signBytes + std::to_string(r), reinterpret_cast<uint8_t*>(out), length);
}

TRowKeystreams::TRowKeystreams(const std::string& sign, int32_t cols, int32_t rows)
    : length_(LengthFor(cols)), rows_(std::max(rows, 0)), bytes_(length_ * size_t(rows_)) {
    const std::string signBytes = KeyTextBytes(sign);
    // The key set-ups are independent, so the rows are shared out between the
    // cores, each thread with its own cipher object, taking the next row that
    // nobody has taken yet. If no thread can be started, this one does all.
    std::atomic<int32_t> next{0};
    auto work = [&] {
        for (int32_t r; (r = next.fetch_add(1)) < rows_;)
            ComputeRow(signBytes, r, bytes_.data() + size_t(r) * length_, length_);
    };
    const int cores = std::min(AvailableProcessors(), 8);
    RunOnThreads(rows_ >= 16 ? cores : 1, [&](int) { work(); });
}

namespace {

// Hands out the keystream of a row either from the cache or computed afresh
// into one buffer, as the key set-up per row does.
class TRowSource {
public:
    explicit TRowSource(const TRowKeystreams& cache) : cache_(&cache) {}
    TRowSource(const std::string& sign, int32_t cols)
        : signBytes_(KeyTextBytes(sign)), buffer_(TRowKeystreams::LengthFor(cols)) {}
    const int8_t* Row(int32_t r) {
        if (cache_) return cache_->Row(r);
        TRowKeystreams::ComputeRow(signBytes_, r, buffer_.data(), buffer_.size());
        return buffer_.data();
    }

private:
    const TRowKeystreams* cache_ = nullptr;
    std::string signBytes_;
    std::vector<int8_t> buffer_;
};

void RequireFilledStore(const TSpectrumStore& store) {
    // Both scale factors divide by the size; an empty store has none.
    if (store.Rows <= 0 || store.Cols <= 0)
        throw EMathError(TMessage{TMessageId::DivisionByZero, {}, nullptr});
    for (const auto& plane : store.Planes)
        if (plane.size() < store.CellCount())
            throw Exception("the store's planes are smaller than its size");
}

// The bells exp(-((t + d/10) (w/40))^2) for d = -40..40, w = 1..40, t = -4..4,
// evaluated once: the fit compares every measure with all of them.
struct TBellTable {
    std::vector<double> g;
    TBellTable() : g(81 * 40 * 9) {
        for (int d = -40; d <= 40; ++d)
            for (int w = 1; w <= 40; ++w)
                for (int t = -4; t <= 4; ++t) {
                    const double y = (double(t) + double(d) / 10.0) * (double(w) / 40.0);
                    g[Index(d, w, t)] = std::exp(-(y * y));
                }
    }
    static size_t Index(int d, int w, int t) {
        return (size_t(d + 40) * 40 + size_t(w - 1)) * 9 + size_t(t + 4);
    }
};

const TBellTable& Bells() {
    static const TBellTable table;
    return table;
}

// One step of the correlation: A = single(A + k v), the sum formed in double.
inline float Accumulate(float a, int8_t k, float v) {
    return float(double(a) + double(k) * double(v));
}

// Adds the correlation of one row to the profile A[-4..4] (index t + 4).
void CorrelateRow(const float* x, const int8_t* key, int32_t W, float sd, float* A) {
    for (int32_t j = 0; j < W; ++j) {
        const float v = x[j] * sd; // the exact product of two floats, rounded once
        if (!(std::fabs(v) < 100000.0f)) continue;
        if (j >= 4) {
            const int8_t* k = key + ((j - 4) >> 1);
            // j - 4 .. j + 4 cover the bytes (j-4)/2 .. (j+4)/2; which ones
            // depends on the parity of j.
            if ((j & 1) == 0) {
                A[0] = Accumulate(A[0], k[0], v);
                A[1] = Accumulate(A[1], k[0], v);
                A[2] = Accumulate(A[2], k[1], v);
                A[3] = Accumulate(A[3], k[1], v);
                A[4] = Accumulate(A[4], k[2], v);
                A[5] = Accumulate(A[5], k[2], v);
                A[6] = Accumulate(A[6], k[3], v);
                A[7] = Accumulate(A[7], k[3], v);
                A[8] = Accumulate(A[8], k[4], v);
            } else {
                A[0] = Accumulate(A[0], k[0], v);
                A[1] = Accumulate(A[1], k[1], v);
                A[2] = Accumulate(A[2], k[1], v);
                A[3] = Accumulate(A[3], k[2], v);
                A[4] = Accumulate(A[4], k[2], v);
                A[5] = Accumulate(A[5], k[3], v);
                A[6] = Accumulate(A[6], k[3], v);
                A[7] = Accumulate(A[7], k[4], v);
                A[8] = Accumulate(A[8], k[4], v);
            }
        } else {
            for (int t = -4; t <= 4; ++t) {
                const int32_t i = std::max(j + t, 0); // offsets left of the row read byte 0
                A[t + 4] = Accumulate(A[t + 4], key[i >> 1], v);
            }
        }
    }
}

double Measure(const TSpectrumStore& store, TRowSource& rows) {
    const int32_t W = store.Cols, H = store.Rows;
    const float sd = float(1000000.0 / double(H) / double(W));
    float A[9] = {};
    for (int p = 0; p < 3; ++p) {
        const float* plane = store.Planes[p].data();
        for (int32_t r = 0; r < H; ++r)
            CorrelateRow(plane + size_t(r) * size_t(W), rows.Row(r), W, sd, A);
    }
    return WatermarkMeasureFromProfile(A, W, H);
}

// One pass of the embedding over one row: x = single(x + s_e (k m)) for every
// cell with |x s_e| < 100000.
void EmbedRow(float* x, const int8_t* key, int32_t W, float se, int m) {
    const double scale = se;
    for (int32_t c = 0; c < W; ++c) {
        const double value = x[c];
        const float changed = float(value + scale * double(key[c >> 1] * m));
        x[c] = std::fabs(value * scale) < 100000.0 ? changed : x[c];
    }
}

TWatermarkResult Embed(TSpectrumStore& store, TRowSource& rows,
                       const TWatermarkPassReport& report) {
    const int32_t W = store.Cols, H = store.Rows;
    const float se = float(100000.0 / double(H) / double(W));
    TWatermarkResult result;
    for (int m = 1; m <= kWatermarkPasses; ++m) {
        for (int p = 0; p < 3; ++p) {
            float* plane = store.Planes[p].data();
            for (int32_t r = 0; r < H; ++r)
                EmbedRow(plane + size_t(r) * size_t(W), rows.Row(r), W, se, m);
        }
        result.Passes = m;
        result.Measure = Measure(store, rows);
        if (report) report(m, result.Measure);
        if (WatermarkEmbedded(result.Measure)) break;
    }
    return result;
}

// Checks the store, then runs work over the row keystreams of the sign,
// cached for the whole operation or computed afresh row by row.
template <class TWork>
auto WithRowSource(const TSpectrumStore& store, const std::string& sign, TKeystreamPolicy policy,
                   TWork&& work) {
    RequireFilledStore(store);
    if (policy == TKeystreamPolicy::Recompute) {
        TRowSource rows(sign, store.Cols);
        return work(rows);
    }
    const TRowKeystreams cache(sign, store.Cols, store.Rows);
    TRowSource rows(cache);
    return work(rows);
}

} // namespace

double WatermarkMeasureFromProfile(const float profile[9], int32_t cols, int32_t rows) {
    float A[9];
    for (int t = 0; t < 9; ++t) A[t] = float(double(profile[t]) / double(rows) / double(cols));
    float n = A[4];
    if (n == 0.0f) n = 1.0f;
    for (float& a : A) a = float(double(a) / double(n));

    // Bell fit: the first of the strictly smallest errors wins, d outer, w inner.
    const TBellTable& bells = Bells();
    float best = 1111110.0f;
    int bestShift = 0;
    for (int d = -40; d <= 40; ++d)
        for (int w = 1; w <= 40; ++w) {
            const double* g = &bells.g[TBellTable::Index(d, w, -4)];
            float e = 0.0f;
            for (int t = 0; t < 9; ++t) {
                const double diff = double(A[t]) - g[t];
                e = float(double(e) + diff * diff);
            }
            if (e < best) {
                best = e;
                bestShift = d;
            }
        }
    float q = float(1.0 - double(best) / 2.0);
    q = std::clamp(q, 0.0f, 1.0f);
    // A best shift of 0.3 columns or more is not a mark at offset zero.
    return std::abs(bestShift) >= 3 ? 0.0 : double(q);
}

TWatermarkResult EmbedWatermark(TSpectrumStore& store, const std::string& sign,
                                TKeystreamPolicy policy, const TWatermarkPassReport& report) {
    return WithRowSource(store, sign, policy,
                         [&](TRowSource& rows) { return Embed(store, rows, report); });
}

namespace {
TMessage WatermarkErrorMessage(EWatermarkError::TKind kind, int passes, double measure) {
    if (kind == EWatermarkError::TKind::NotFinite)
        return TMessage{TMessageId::WatermarkNotFinite, {}, nullptr};
    char number[64];
    std::snprintf(number, sizeof number, "%.4f", measure);
    return TMessage{TMessageId::WatermarkTooWeak, {std::to_string(passes), number}, nullptr};
}
} // namespace

EWatermarkError::EWatermarkError(TKind kind, int passes, double measure)
    : Exception(WatermarkErrorMessage(kind, passes, measure)), Kind(kind), Passes(passes),
      Measure(measure) {}

TWatermarkResult EmbedWatermarkOrFail(TSpectrumStore& store, const std::string& sign,
                                      const TWatermarkPassReport& report) {
    RequireFilledStore(store);
    const size_t cells = store.CellCount();
    for (const auto& plane : store.Planes)
        for (size_t i = 0; i < cells; ++i)
            if (!std::isfinite(plane[i]))
                throw EWatermarkError(EWatermarkError::TKind::NotFinite, 0, 0.0);
    // The passes change the store in place; a failed embedding puts it back.
    tdline original[3] = {store.Planes[0], store.Planes[1], store.Planes[2]};
    const TWatermarkResult result = EmbedWatermark(store, sign, TKeystreamPolicy::Cached, report);
    if (!WatermarkFound(result.Measure)) {
        for (int p = 0; p < 3; ++p) store.Planes[p].swap(original[p]);
        throw EWatermarkError(EWatermarkError::TKind::TooWeak, result.Passes, result.Measure);
    }
    return result;
}

double WatermarkMeasure(const TSpectrumStore& store, const std::string& sign,
                        TKeystreamPolicy policy) {
    return WithRowSource(store, sign, policy,
                         [&](TRowSource& rows) { return Measure(store, rows); });
}

double WatermarkMeasure(const TSpectrumStore& store, const TRowKeystreams& keystreams) {
    RequireFilledStore(store);
    if (keystreams.Rows() != store.Rows ||
        keystreams.Length() != TRowKeystreams::LengthFor(store.Cols))
        throw Exception("the row keystreams do not fit the store");
    TRowSource rows(keystreams);
    return Measure(store, rows);
}

bool WatermarkEmbedded(double measure) {
    return measure > 0.995;
}

bool WatermarkFound(double measure) {
    return measure > 0.1;
}

TMessage WatermarkResult(double measure, char decimalSeparator) {
    // The measure is a single-precision value already; it is compared and
    // scaled in double against the decimal constants.
    if (!WatermarkFound(measure)) return TMessage{TMessageId::WatermarkNotFound, {}, nullptr};
    char number[64];
    std::snprintf(number, sizeof number, "%8.1f", measure * 100.0);
    if (char* dot = std::strchr(number, '.')) *dot = decimalSeparator;
    return TMessage{TMessageId::WatermarkFound, {number}, nullptr};
}

std::string WatermarkResultText(double measure, char decimalSeparator) {
    return GermanText(WatermarkResult(measure, decimalSeparator));
}
