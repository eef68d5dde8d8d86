#pragma once
// The FFT's factorisation of a length into its stages and the kernels'
// constants. Both are part of the bit-exact definition of the transform
// (see fft.h): the stage order decides the order of every operation, and
// the constants are used with exactly these float values.

#include <cstdint>
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

// Throws EMathError (TMessageId::FFTLength) when n cannot be transformed (its first stage factor is
// above cMaxPrimeFactor). n <= 0 is accepted.
void CheckFFTLength(int32_t n);
