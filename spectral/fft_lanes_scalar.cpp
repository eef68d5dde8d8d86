// The FFT on plain floats: one sequence at a time. This is the engine behind
// ForwardFFT and InverseFFT, and the lane set that needs no vector registers.

#include "spectral/fft_lanes_impl.h"

namespace {

struct VScalar {
    static constexpr int kLanes = 1;
    float v;
    static VScalar Load(const float* p) { return {*p}; }
    static void Store(float* p, VScalar a) { *p = a.v; }
    static VScalar Splat(float f) { return {f}; }
};

inline VScalar operator+(VScalar a, VScalar b) {
    return {a.v + b.v};
}
inline VScalar operator-(VScalar a, VScalar b) {
    return {a.v - b.v};
}
inline VScalar operator*(VScalar a, VScalar b) {
    return {a.v * b.v};
}
inline VScalar operator-(VScalar a) {
    return {-a.v};
}

} // namespace

IFFTLanes* NewFFTLanesScalar() {
    return new TLaneEngine<VScalar>();
}
