#pragma once
// The separable image transform between the spatial and the frequency domain
// of the spectrum store.
//
// Each row, then each column, of a plane is mirrored to an odd length 2L - 1
// (x0 x1 .. xL-1 xL-1 .. x1), transformed with the FFT, and the real parts of
// the first L outputs are kept. The mirrored sequence is real and even, so its
// spectrum is too, and the same steps with the inverse FFT give the image back.

#include "spectral/bitmap.h"
#include "spectral/errors.h"
#include "spectral/fft_lanes.h"
#include "spectral/progress.h"
#include "spectral/store.h"

#include <atomic>
#include <cstdint>
#include <string>

enum class TTransformDirection { Forward, Inverse };

struct TTransformResult {
    // Largest coefficient outside row 0 and column 0, at least 1.0. Only
    // meaningful after a forward run.
    double Maximum = 1.0;
    // The contrast slider position it presets: -2 trunc(ln m), clamped to the
    // slider's range -50..50.
    int32_t ContrastPreset = 0;
};

// How a transform shares the machine (the result never depends on that), and
// which values it rounds to zero.
struct TTransformOptions {
    // Threads to use: 0 = all processors. A batch running several jobs at
    // once gives each job its share, so that jobs and transform threads
    // together do not oversubscribe the cores.
    int Threads = 0;
    // The SIMD registers to use; Auto picks the widest the processor has. A
    // set the processor lacks falls back to the widest it has.
    TLaneSet Lanes = TLaneSet::Auto;
    // Results of magnitude below this are stored as 0. That is right for
    // 8-bit images, whose pixels are whole numbers; 16-bit images hold
    // fractions of those steps, which an inverse transform would flatten
    // near the middle grey, so their runs pass 0.
    double ZeroBelow = 0.1;
    // The fast transform: O(n log n) at every length, with tables computed
    // in double precision, so at least as accurate as the exact transform
    // but not bit-identical to it. Off by default:
    // stored spectra and peers rely on the exact bits.
    bool Fast = false;
    // Read between blocks of rows or columns: once it holds true the run
    // stops and throws ETransformCancelled. The planes are then partly
    // transformed, unless KeepPlanes is set.
    const std::atomic<bool>* Cancel = nullptr;
    // Leaves the planes as they are until the run has finished: each plane's
    // result is built in a plane of its own (the scratch plane and two more,
    // allocated before anything changes) and all three take the planes'
    // places at the end. A run that fails or is cancelled therefore changes
    // nothing but the scratch plane. Costs two planes of memory for the
    // run's length; the values are the same as without it.
    bool KeepPlanes = false;
};

// A run stopped through TTransformOptions::Cancel.
class ETransformCancelled : public Exception {
public:
    ETransformCancelled() : Exception(TMessage{TMessageId::TransformCancelled, {}, nullptr}) {}
};

// Transforms the three planes in place. In a forward run the rows are read
// from `source` (pixel bytes minus 127) when it is given, else from the
// planes; an inverse run always reads the planes. `source` must be the size of
// the store. Coefficients of magnitude below 0.1 (options.ZeroBelow) are
// stored as 0.
//
// Reports "Red1".."Blue2" as phases and the percentage every 100 rows or
// columns; the caller reports the end ("Transformed").
//
// Throws EMathError with TransformLengthMessage when 2W-1 or 2H-1 has too
// large a prime factor; no plane has been changed then.
//
// With options.Fast the fast transform runs instead (TFastPlan): no length
// error, values close to but not bit-identical with the exact ones; it is
// still the same whatever the number of threads.
//
// Many rows (columns) are transformed at once in SIMD lanes and blocks of them
// on several threads; every value is bit-identical to transforming one row or
// column at a time with ForwardFFT or InverseFFT, and the progress reports
// come from the calling thread, in the order and with the values that the
// one-at-a-time transform reports.
TTransformResult TransformStore(TSpectrumStore& store, TTransformDirection direction,
                                const TBitmap24* source, IProgress& progress);
TTransformResult TransformStore(TSpectrumStore& store, TTransformDirection direction,
                                const TBitmap24* source, IProgress& progress,
                                const TTransformOptions& options);

// The transform-length error for an image of W x H: which side is too long
// for the FFT and the largest size below it that works, so that the user
// can crop instead of being left with the FFT's own wording. The second
// gives its German text.
TMessage TransformLengthError(int32_t cols, int32_t rows);
std::string TransformLengthMessage(int32_t cols, int32_t rows);

// The work of one exact transform of a W x H store (both passes, three
// planes) in complex multiply-adds, from the factorisation of 2W - 1 and
// 2H - 1: a 1-D transform of length n costs about n times the sum of its
// stage factors, so a length with a large prime factor costs nearly its
// square. It says nothing about the results, only how long they take.
double ExactTransformWork(int32_t cols, int32_t rows);
// "59991 = 3 · 19997": a length and its stage factors, for messages.
std::string FactorisationText(int32_t n);

// The contrast slider's range and the gain of a position.
constexpr int32_t kContrastMin = -50;
constexpr int32_t kContrastMax = 50;
int32_t ContrastPresetFor(double maximum);
