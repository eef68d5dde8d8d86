#pragma once
// Mixed-radix decimation-in-time FFT of single-precision complex sequences of
// any length whose largest factor does not exceed cMaxPrimeFactor.
//
// The result is defined bit for bit, not just numerically: the factorisation
// order, the kernels, the root and twiddle tables (built by repeated float
// multiplication) and the rounding of every intermediate to float are all
// fixed. Any change of operation order changes results that users' stored
// spectra and peers rely on. See complex.h for the precision rule.

#include "spectral/complex.h"
#include "spectral/fft_factors.h"

#include <cstdint>
#include <memory>
#include <vector>

class IFFTLanes;
class TFFTPlan;

// One transform engine: the one-lane case of the lane-parallel FFT
// (fft_lanes_impl.h), with the tables of the last length it was given. Not
// thread-safe; give each thread its own.
class TFFTEngine {
public:
    TFFTEngine();
    ~TFFTEngine();
    TFFTEngine(const TFFTEngine&) = delete;
    TFFTEngine& operator=(const TFFTEngine&) = delete;

    // output[k] = sum_j input[j] e^(-2 pi i jk/n), unscaled. output may be input.
    void Forward(const TComplex* input, TComplex* output, int32_t n);
    // output[j] = (1/n) sum_k input[k] e^(+2 pi i jk/n). input is never changed.
    void Inverse(const TComplex* input, TComplex* output, int32_t n);

private:
    void Transform(const TComplex* input, TComplex* output, int32_t n, bool inverse);

    std::unique_ptr<IFFTLanes> lane_;
    std::unique_ptr<TFFTPlan> plan_;
    std::vector<float> xre_, xim_, yre_, yim_; // the split input and output
};

// Convenience forms on a per-thread engine.
void ForwardFFT(const TComplex* input, TComplex* output, int32_t n);
void InverseFFT(const TComplex* input, TComplex* output, int32_t n);
