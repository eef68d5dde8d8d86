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

#include <cstdint>
#include <memory>
#include <vector>

constexpr int32_t cMaxPrimeFactor = 20007;
constexpr int32_t cMaxPrimeFactorHalf = (cMaxPrimeFactor + 1) / 2; // 10004
constexpr int cMaxFactorCount = 20;

// Kernel constants, used with exactly these float values.
constexpr float R3A = -1.5f;        // cos(2pi/3) - 1
constexpr float R3B = 0.8660254f;   // sin(2pi/3)
constexpr float R5A = -1.25f;       // (cos(2pi/5) + cos(4pi/5))/2 - 1
constexpr float R5B = 0.559017f;    // (cos(2pi/5) - cos(4pi/5))/2
constexpr float R5C = -0.95105654f; // -sin(2pi/5)
constexpr float R5D = -1.5388417f;  // -(sin(2pi/5) + sin(4pi/5))
constexpr float R5E = 0.36327127f;  // sin(2pi/5) - sin(4pi/5)
constexpr float R8 = 0.70710677f;   // 1/sqrt(2)

// The factors of n in stage order (n >= 1). Written-out radices come last,
// the largest prime first.
std::vector<int32_t> FactorizeLength(int32_t n);

// The message of the transform-length error, raised as EMathError.
extern const char* const kFFTLengthErrorMessage;

// Throws EMathError when n cannot be transformed (its first stage factor is
// above cMaxPrimeFactor). n <= 0 is accepted.
void CheckFFTLength(int32_t n);

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
