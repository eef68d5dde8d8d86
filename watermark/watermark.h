#pragma once
// The spectral watermark: a keyed pseudo-random pattern added to the spectrum
// and found again by correlation.
//
// Every row r of the store has its own keystream, that of the key text
// "sign followed by r"; column c uses its byte c div 2 as a signed number. The
// embedding adds a growing multiple of those bytes to every cell below a
// magnitude bound, pass after pass, until the detection measure says the mark
// is found with certainty; the measure correlates the store with the bytes at
// column offsets -4..4 and fits a bell to the normalised profile. Both work on
// the store as it stands (a spectrum, after the forward transform). Every
// intermediate that is stored is rounded to single precision at the point
// where it is stored, never earlier or later, and sums are formed in the
// order written: a mark is found only by a detector that rounds the same
// way, and marks embedded by other installations must stay found here.

#include "spectral/errors.h"
#include "spectral/store.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr const char* kDefaultSign = "(c) Pixmend Software";
constexpr int kWatermarkPasses = 20;

// Where the row keystreams come from. Cached computes each row's keystream once
// per operation and reuses it across planes, passes and measures; Recompute
// sets the key up afresh for every row of every plane, pass and measure. The
// bytes, and so every result, are the same; Recompute is there to prove it and
// to measure what the cache saves.
enum class TKeystreamPolicy { Cached, Recompute };

// The row keystreams of a sign for a store of the given size, as signed bytes.
// Each row holds max(W + 1, 3) bytes: the measure reads up to byte
// (W + 3) div 2, which for a one-column image lies past the W + 1 bytes the
// pattern is made of; a longer keystream of a key text extends the shorter one,
// so that byte is simply the next one of the same sequence.
class TRowKeystreams {
public:
    TRowKeystreams(const std::string& sign, int32_t cols, int32_t rows);
    const int8_t* Row(int32_t r) const { return bytes_.data() + size_t(r) * length_; }
    size_t Length() const { return length_; }
    int32_t Rows() const { return rows_; }

    // The bytes of row r's keystream, computed on the spot.
    static void ComputeRow(const std::string& signBytes, int32_t r, int8_t* out, size_t length);
    static size_t LengthFor(int32_t cols);

private:
    size_t length_ = 0;
    int32_t rows_ = 0;
    std::vector<int8_t> bytes_;
};

struct TWatermarkResult {
    int Passes = 0;       // passes run, 1..20
    double Measure = 0.0; // the measure after the last pass
};

// Called after every pass of the embedding with the pass number and the
// measure it reached.
using TWatermarkPassReport = std::function<void(int pass, double measure)>;

// Embeds the watermark of `sign` (UTF-8; hashed as KeyTextBytes gives it)
// into the store. Runs pass after pass until the measure exceeds 0.995, at
// most 20 passes, whatever measure that leaves. Throws EMathError on an empty
// store before changing anything.
TWatermarkResult EmbedWatermark(TSpectrumStore& store, const std::string& sign,
                                TKeystreamPolicy policy = TKeystreamPolicy::Cached,
                                const TWatermarkPassReport& report = {});

// Why an embedding that ran cannot count as done.
class EWatermarkError : public Exception {
public:
    enum class TKind { NotFinite, TooWeak };
    EWatermarkError(TKind kind, int passes, double measure);
    TKind Kind;
    int Passes;     // passes run (0 when none could run)
    double Measure; // the measure they reached
};

// EmbedWatermark for the commands: refuses a store holding NaN or infinity
// before changing it, and an embedding whose final measure the check would
// report as not found; in both cases the store is left as it was and
// EWatermarkError says why.
TWatermarkResult EmbedWatermarkOrFail(TSpectrumStore& store, const std::string& sign,
                                      const TWatermarkPassReport& report = {});

// The detection measure in [0, 1] of `sign` on the store: a single-precision
// value carried as a double. Throws EMathError on an empty store.
double WatermarkMeasure(const TSpectrumStore& store, const std::string& sign,
                        TKeystreamPolicy policy = TKeystreamPolicy::Cached);
double WatermarkMeasure(const TSpectrumStore& store, const TRowKeystreams& keystreams);

// The steps of the measure after the correlation, for tests of the fit: takes
// the raw profile A[-4..4] (before the division by H and W) and the size.
double WatermarkMeasureFromProfile(const float profile[9], int32_t cols, int32_t rows);

// Whether the embedding stops after a pass with this measure: above 0.995,
// compared in double, so the single nearest 0.995 (slightly above) stops it.
bool WatermarkEmbedded(double measure);

// The check's verdict and its message: "Wasserzeichen nicht gefunden" for a
// measure of at most 0.1, else "Wasserzeichen gefunden, %8.1f % vollständig"
// with the measure in percent, using the given decimal separator. The text is
// the message in German.
bool WatermarkFound(double measure);
TMessage WatermarkResult(double measure, char decimalSeparator = '.');
std::string WatermarkResultText(double measure, char decimalSeparator = '.');
