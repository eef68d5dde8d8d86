#pragma once
// The FFT of many sequences at once, one sequence per lane of a SIMD
// register, and the mirrored real transform of the image's rows and columns.
//
// Every lane runs the same float operations in the same order: the same
// permutation, the same kernels, the same root and twiddle tables (built once
// per length in a TFFTPlan and shared by all lanes). Only the number of
// sequences per instruction changes, so each lane's result is bit-identical
// whatever the lane count. The plain FFT of fft.h is the one-lane case.
//
// The instruction set is chosen at run time, so one binary runs on any x86-64
// processor: SSE2 (4 lanes) is always there, AVX2 (8 lanes) and AVX-512
// (32 lanes, two registers each) are used where the processor has them.

#include "spectral/complex.h"

#include <cstdint>
#include <memory>
#include <vector>

// Scalar is the one-lane case: plain float registers, one sequence at a time.
enum class TLaneSet { Auto, Scalar, SSE2, AVX2, AVX512 };

// Whether this processor can run the given lane set (Auto always can).
bool LaneSetSupported(TLaneSet set);
// Auto resolved to the widest lane set this processor has; others unchanged.
TLaneSet ResolveLaneSet(TLaneSet set);
// Floats per register of a resolved lane set.
int LaneCount(TLaneSet set);
const char* LaneSetName(TLaneSet set);

// The scalar tables of one transform length n = 2L - 1, built once and shared
// read-only by every lane and thread.
class TFFTPlan {
public:
    // Throws EMathError with the transform-length message when n cannot be
    // transformed; nothing else has happened then.
    explicit TFFTPlan(int32_t realLength);
    // The tables of a plain complex FFT of length n (no mirroring), for
    // IFFTLanes::ComplexTransform.
    static std::unique_ptr<TFFTPlan> Complex(int32_t n);
    // A complex plan whose roots and twiddles are each computed in double
    // precision and rounded once, for the fast transform: more accurate than
    // the defined tables, but not those tables.
    static std::unique_ptr<TFFTPlan> AccurateComplex(int32_t n);
    TFFTPlan(const TFFTPlan&) = delete; // the view points into the tables
    TFFTPlan& operator=(const TFFTPlan&) = delete;

    int32_t RealLength() const { return L_; }
    int32_t Length() const { return n_; }
    // The largest factor; it sizes the lanes' working arrays.
    int32_t LargestFactor() const { return largest_; }

    // A view of the tables as plain pointers, for the instruction-set specific
    // code (which must not instantiate library templates of its own).
    struct TView {
        int32_t L = 0; // n for a complex plan
        int32_t n = 0;
        int32_t stages = 0;
        const int32_t* factors = nullptr; // stage order
        const int32_t* span = nullptr;    // span[j] for stage j = 0..stages-1
        const int32_t* rest = nullptr;    // groups per offset of stage j
        // source[i] = the sample of x that lands at position i after the
        // mirrored fill and the digit-reversed permutation (0 <= source[i] < L);
        // a complex plan has no mirrored fill.
        const int32_t* source = nullptr;
        const TComplex* roots = nullptr;        // per stage, factor entries
        const int64_t* rootOffset = nullptr;    // start of stage j's roots
        const TComplex* twiddles = nullptr;     // per stage with span > 1: span * factor entries
        const int64_t* twiddleOffset = nullptr; // start of stage j's twiddles
        float inverseScale = 1.0f;              // 1/n rounded to float
        // The first stage's roots multiplied by +0 (signed zeros): the
        // products that real input, with all imaginary parts zero, gives.
        const TComplex* realZeros = nullptr;
    };
    const TView& View() const { return view_; }

private:
    TFFTPlan(int32_t realLength, int32_t n, bool accurate = false);
    // The constructor's three steps, then the view of what they built.
    std::vector<int32_t> PlanStages();
    void BuildPermutation(const std::vector<int32_t>& restAll);
    void BuildTables(bool accurate);
    void FillView();

    int32_t L_ = 0, n_ = 0, largest_ = 0;
    std::vector<int32_t> factors_, span_, rest_, source_;
    std::vector<TComplex> roots_, twiddles_, realZeros_;
    std::vector<int64_t> rootOffset_, twiddleOffset_;
    TView view_;
};

// The tables of the fast mirrored transform of length n = 2L - 1. Lengths
// with small factors only are transformed directly by the radix passes;
// others (a large prime factor) as a convolution (the chirp method) of a
// length m >= 2n - 1 that has small factors only, so the cost is O(n log n)
// at every length. All tables are computed in double precision and rounded
// once. Not bit-exact (except at short lengths, where it is the exact
// transform), and not limited by cMaxPrimeFactor.
class TFastPlan {
public:
    explicit TFastPlan(int32_t realLength);
    TFastPlan(const TFastPlan&) = delete;
    TFastPlan& operator=(const TFastPlan&) = delete;

    int32_t RealLength() const { return view_.L; }
    // The length of the complex transforms the lanes run: n, or m.
    int32_t WorkLength() const { return inner_->Length(); }
    bool UsesChirp() const { return view_.chirp != nullptr; }

    struct TView {
        int32_t L = 0;
        int32_t n = 0;
        const TFFTPlan::TView* inner = nullptr; // the complex plan of n or m
        // Short lengths only: the exact transform's own (mirrored) plan, also
        // in inner. Up there its error is rounding noise of the few terms,
        // which other tables would not lessen.
        bool exact = false;
        // Chirp method only (else null): chirp[k] = e^(-i pi k^2/n) for
        // k < n, and spectrum = the FFT of length m of the conjugate chirp
        // wrapped around, divided by m.
        const TComplex* chirp = nullptr;
        const TComplex* spectrum = nullptr;
        float inverseScale = 1.0f; // 1/n
    };
    const TView& View() const { return view_; }

private:
    std::unique_ptr<TFFTPlan> inner_;
    std::vector<TComplex> chirp_, spectrum_;
    TView view_;
};

// One thread's lane-parallel transformer with its working arrays (their
// capacity follows cMaxPrimeFactor; they are allocated once and never per
// sequence). Not thread-safe: one per thread.
class IFFTLanes {
public:
    virtual ~IFFTLanes() = default;
    virtual int Lanes() const = 0;
    // Sizes the data array for transforms of length up to n now, so that a
    // later transform cannot fail for lack of memory halfway through a pass.
    virtual void Reserve(int32_t n) = 0;
    // x holds Lanes() sequences of plan.L samples lane-major (sample k of lane
    // l at x[k * Lanes() + l]); y receives the kept outputs in the same layout:
    // the real parts of the first L values of the forward FFT (or inverse FFT)
    // of each mirrored sequence. x and y may not overlap.
    virtual void RealTransform(const TFFTPlan::TView& plan, bool inverse, const float* x,
                               float* y) = 0;
    // The plain complex FFT of Lanes() sequences of plan.n values (a complex
    // plan), split into real and imaginary parts, lane-major; the outputs may
    // not overlap the inputs. Forward: y[k] = sum_j x[j] e^(-2 pi i jk/n),
    // unscaled. Inverse: the forward transform of the conjugated input,
    // conjugated and scaled by 1/n.
    virtual void ComplexTransform(const TFFTPlan::TView& plan, bool inverse, const float* xre,
                                  const float* xim, float* yre, float* yim) = 0;
    // The fast mirrored transform of 2 * Lanes() sequences at once: x holds
    // them sample-major (sample k of sequence l at x[k * 2 * Lanes() + l]),
    // y receives the first L outputs in the same layout. Two real sequences
    // share one complex transform: a mirrored sequence has a real spectrum,
    // so one lands in the real parts and the other in the imaginary parts.
    virtual void FastRealTransform(const TFastPlan::TView& plan, bool inverse, const float* x,
                                   float* y) = 0;
    // Sizes the working arrays of FastRealTransform for this plan now.
    virtual void ReserveFast(const TFastPlan::TView& plan) = 0;
};

// A transformer for a supported lane set (Auto: the widest available).
std::unique_ptr<IFFTLanes> MakeFFTLanes(TLaneSet set);
