// The lane-parallel FFT on AVX-512 registers: thirty-two sequences at once,
// in pairs of registers. A pair shares the general kernel's index steps and
// root loads between twice the values, and those, not the arithmetic, limit
// it at large primes (a column of an A3 page at 600 dpi). This file alone is
// compiled for AVX-512F (see CMakeLists.txt) and is only called
// after the processor has been asked whether it has it. Every product is
// rounded before it is added, as in the scalar engine: only separate add,
// subtract and multiply instructions are used.

#include "spectral/fft_lanes_impl.h"

#include <immintrin.h>

namespace {

struct VAvx512 {
    static constexpr int kLanes = 32;
    __m512 v, w;
    static VAvx512 Load(const float* p) { return {_mm512_loadu_ps(p), _mm512_loadu_ps(p + 16)}; }
    static void Store(float* p, VAvx512 a) {
        _mm512_storeu_ps(p, a.v);
        _mm512_storeu_ps(p + 16, a.w);
    }
    static VAvx512 Splat(float f) {
        const __m512 s = _mm512_set1_ps(f);
        return {s, s};
    }
};

inline VAvx512 operator+(VAvx512 a, VAvx512 b) {
    return {_mm512_add_ps(a.v, b.v), _mm512_add_ps(a.w, b.w)};
}
inline VAvx512 operator-(VAvx512 a, VAvx512 b) {
    return {_mm512_sub_ps(a.v, b.v), _mm512_sub_ps(a.w, b.w)};
}
inline VAvx512 operator*(VAvx512 a, VAvx512 b) {
    return {_mm512_mul_ps(a.v, b.v), _mm512_mul_ps(a.w, b.w)};
}
inline __m512 Neg(__m512 a) {
    return _mm512_castsi512_ps(
        _mm512_xor_si512(_mm512_castps_si512(a), _mm512_set1_epi32(int32_t(0x80000000u))));
}
// Flips the sign bit, exactly as the scalar negation does.
inline VAvx512 operator-(VAvx512 a) {
    return {Neg(a.v), Neg(a.w)};
}

} // namespace

IFFTLanes* NewFFTLanesAvx512() {
    return new TLaneEngine<VAvx512>();
}
