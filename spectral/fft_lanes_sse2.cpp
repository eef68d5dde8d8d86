// The lane-parallel FFT on SSE2 registers: four sequences at once. SSE2 is
// part of every x86-64 processor, so this is the fallback that always runs.

#include "spectral/fft_lanes_impl.h"

#include <emmintrin.h>

namespace {

struct VSse2 {
    static constexpr int kLanes = 4;
    __m128 v;
    static VSse2 Load(const float* p) { return {_mm_loadu_ps(p)}; }
    static void Store(float* p, VSse2 a) { _mm_storeu_ps(p, a.v); }
    static VSse2 Splat(float f) { return {_mm_set1_ps(f)}; }
};

inline VSse2 operator+(VSse2 a, VSse2 b) {
    return {_mm_add_ps(a.v, b.v)};
}
inline VSse2 operator-(VSse2 a, VSse2 b) {
    return {_mm_sub_ps(a.v, b.v)};
}
inline VSse2 operator*(VSse2 a, VSse2 b) {
    return {_mm_mul_ps(a.v, b.v)};
}
// Flips the sign bit, exactly as the scalar negation does.
inline VSse2 operator-(VSse2 a) {
    return {_mm_xor_ps(a.v, _mm_set1_ps(-0.0f))};
}

} // namespace

IFFTLanes* NewFFTLanesSse2() {
    return new TLaneEngine<VSse2>();
}
