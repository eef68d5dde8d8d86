#include "spectral/fft.h"

#include "spectral/fft_lanes.h"

#include <cmath>

TFFTEngine::TFFTEngine() : lane_(MakeFFTLanes(TLaneSet::Scalar)) {}

TFFTEngine::~TFFTEngine() = default;

void TFFTEngine::Transform(const TComplex* input, TComplex* output, int32_t n, bool inverse) {
    if (n <= 0) return;
    // Making the plan is what raises the length error, before anything is written.
    if (!plan_ || plan_->Length() != n) plan_ = TFFTPlan::Complex(n);
    const size_t count = size_t(n);
    xre_.resize(count);
    xim_.resize(count);
    yre_.resize(count);
    yim_.resize(count);
    for (size_t k = 0; k < count; ++k) {
        xre_[k] = input[k].re;
        xim_[k] = input[k].im;
    }
    lane_->ComplexTransform(plan_->View(), inverse, xre_.data(), xim_.data(), yre_.data(),
                            yim_.data());
    for (size_t k = 0; k < count; ++k) output[k] = {yre_[k], yim_[k]};
}

void TFFTEngine::Forward(const TComplex* input, TComplex* output, int32_t n) {
    Transform(input, output, n, false);
}

void TFFTEngine::Inverse(const TComplex* input, TComplex* output, int32_t n) {
    Transform(input, output, n, true);
}

namespace {
TFFTEngine& ThreadEngine() {
    thread_local TFFTEngine engine;
    return engine;
}
} // namespace

void ForwardFFT(const TComplex* input, TComplex* output, int32_t n) {
    ThreadEngine().Forward(input, output, n);
}

void InverseFFT(const TComplex* input, TComplex* output, int32_t n) {
    ThreadEngine().Inverse(input, output, n);
}
