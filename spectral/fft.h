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
#include <vector>

constexpr int32_t cMaxPrimeFactor = 20007;
constexpr int32_t cMaxPrimeFactorHalf = (cMaxPrimeFactor + 1) / 2;  // 10004
constexpr int cMaxFactorCount = 20;

// Kernel constants, used with exactly these float values.
constexpr float R3A = -1.5f;          // cos(2pi/3) - 1
constexpr float R3B = 0.8660254f;     // sin(2pi/3)
constexpr float R5A = -1.25f;         // (cos(2pi/5) + cos(4pi/5))/2 - 1
constexpr float R5B = 0.559017f;      // (cos(2pi/5) - cos(4pi/5))/2
constexpr float R5C = -0.95105654f;   // -sin(2pi/5)
constexpr float R5D = -1.5388417f;    // -(sin(2pi/5) + sin(4pi/5))
constexpr float R5E = 0.36327127f;    // sin(2pi/5) - sin(4pi/5)
constexpr float R8 = 0.70710677f;     // 1/sqrt(2)

// The factors of n in stage order (n >= 1). Written-out radices come last,
// the largest prime first.
std::vector<int32_t> FactorizeLength(int32_t n);

// The message of the transform-length error, raised as EMathError.
extern const char* const kFFTLengthErrorMessage;

// Throws EMathError when n cannot be transformed (its first stage factor is
// above cMaxPrimeFactor). n <= 0 is accepted.
void CheckFFTLength(int32_t n);

// Small DFT kernels, in place on z[0..r-1]; exposed so that the lane-parallel
// transform can be checked against them.
void Kernel2(TComplex* z);
void Kernel3(TComplex* z);
void Kernel4(TComplex* z);
void Kernel5(TComplex* z);
void Kernel8(TComplex* z);
void Kernel10(TComplex* z);

// One transform engine with its fixed-capacity working arrays (about 640 KB).
// Not thread-safe; give each thread its own.
class TFFTEngine {
public:
    TFFTEngine();

    // output[k] = sum_j input[j] e^(-2 pi i jk/n), unscaled. output may be input.
    void Forward(const TComplex* input, TComplex* output, int32_t n);
    // output[j] = (1/n) sum_k input[k] e^(+2 pi i jk/n). input is never changed.
    void Inverse(const TComplex* input, TComplex* output, int32_t n);

private:
    void Permute(const TComplex* input, TComplex* output, int32_t n,
                 const std::vector<int32_t>& factors, const int32_t* rest);
    void RadixPass(TComplex* y, int32_t s, int32_t r, int32_t q);
    void OddPrimeKernel(TComplex* z, int32_t p);

    std::vector<TComplex> root_, z_, twiddle_, sum_, dif_;
    std::vector<TComplex> temp_;  // the permuted copy of the in-place case
    std::vector<TComplex> conj_;  // the conjugated input of the inverse
};

// Convenience forms on a per-thread engine.
void ForwardFFT(const TComplex* input, TComplex* output, int32_t n);
void InverseFFT(const TComplex* input, TComplex* output, int32_t n);
