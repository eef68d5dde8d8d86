// The lane-parallel FFT on AVX2 registers: eight sequences at once. This file
// alone is compiled for AVX2 (see CMakeLists.txt) and is only called after the
// processor has been asked whether it has AVX2. Fused multiply-add is not
// enabled, so every product is rounded before it is added, as in the scalar
// engine.

#include "spectral/fft_lanes_impl.h"

#include <immintrin.h>

namespace {

struct VAvx2 {
    static constexpr int kLanes = 8;
    __m256 v;
    static VAvx2 Load(const float* p) { return {_mm256_loadu_ps(p)}; }
    static void Store(float* p, VAvx2 a) { _mm256_storeu_ps(p, a.v); }
    static VAvx2 Splat(float f) { return {_mm256_set1_ps(f)}; }
};

inline VAvx2 operator+(VAvx2 a, VAvx2 b) {
    return {_mm256_add_ps(a.v, b.v)};
}
inline VAvx2 operator-(VAvx2 a, VAvx2 b) {
    return {_mm256_sub_ps(a.v, b.v)};
}
inline VAvx2 operator*(VAvx2 a, VAvx2 b) {
    return {_mm256_mul_ps(a.v, b.v)};
}
// Flips the sign bit, exactly as the scalar negation does.
inline VAvx2 operator-(VAvx2 a) {
    return {_mm256_xor_ps(a.v, _mm256_set1_ps(-0.0f))};
}

} // namespace

IFFTLanes* NewFFTLanesAvx2() {
    return new TLaneEngine<VAvx2>();
}
