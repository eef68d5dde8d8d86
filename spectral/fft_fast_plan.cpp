// The tables of the fast transform. Nothing here is part of the exact
// transform's defined result: every table entry is computed in double
// precision and rounded once, which is what makes the fast transform at least
// as accurate as the exact one at every length.

#include "spectral/fft.h"
#include "spectral/fft_lanes.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

namespace {

using TDoubleComplex = std::complex<double>;

// Below this length the exact transform is as accurate as any and cheap.
constexpr int32_t kShortLength = 64;

// Work per sample of the radix passes of these factors, roughly: the
// written-out kernels cost about the same, the general odd kernel grows with
// its factor.
double PassCost(const std::vector<int32_t>& factors) {
    double cost = 0;
    for (int32_t f : factors) cost += f <= 10 ? 1.0 : 0.5 * double(f);
    return cost;
}

bool HasSmallFactorsOnly(int64_t m) {
    for (int64_t p : {2, 3, 5})
        while (m % p == 0) m /= p;
    return m == 1;
}

// The DFT of x (length with small factors) in double precision, by
// decimation in time on its smallest factor; unit[t] = e^(-2 pi i t/M) for the
// full length M, of which this call's length divides.
void DoubleFFT(const TDoubleComplex* x, size_t stride, size_t m, TDoubleComplex* out,
               const std::vector<TDoubleComplex>& unit) {
    if (m == 1) {
        out[0] = x[0];
        return;
    }
    size_t p = 2;
    while (m % p != 0) ++p;
    const size_t q = m / p;
    std::vector<TDoubleComplex> parts(m);
    for (size_t r = 0; r < p; ++r)
        DoubleFFT(x + r * stride, stride * p, q, parts.data() + r * q, unit);
    const size_t step = unit.size() / m;
    for (size_t k = 0; k < m; ++k) {
        TDoubleComplex acc = parts[k % q];
        for (size_t r = 1; r < p; ++r) acc += parts[r * q + k % q] * unit[(r * k % m) * step];
        out[k] = acc;
    }
}

} // namespace

TFastPlan::TFastPlan(int32_t realLength) {
    const int32_t n = 2 * realLength - 1;
    view_.L = realLength;
    view_.n = n;
    view_.inverseScale = float(1.0 / double(n));

    if (n < kShortLength) {
        inner_ = std::make_unique<TFFTPlan>(realLength);
        view_.inner = &inner_->View();
        view_.exact = true;
        return;
    }
    const std::vector<int32_t> factors = FactorizeLength(n);
    int64_t m = 2 * int64_t(n) - 1;
    while (!HasSmallFactorsOnly(m)) ++m;
    const double direct = double(n) * PassCost(factors);
    const double chirp = double(m) * (2.0 * PassCost(FactorizeLength(int32_t(m))) + 1.5);
    if (factors.front() <= cMaxPrimeFactor && direct <= chirp) {
        inner_ = TFFTPlan::AccurateComplex(n);
        view_.inner = &inner_->View();
        return;
    }

    // X[k] = w[k] sum_j (x[j] w[j]) conj(w[k - j]) with w[k] = e^(-i pi k^2/n):
    // a cyclic convolution of length m once the conjugate chirp is wrapped
    // around. k^2 is reduced modulo 2n exactly before it becomes an angle.
    inner_ = TFFTPlan::AccurateComplex(int32_t(m));
    chirp_.resize(size_t(n));
    std::vector<TDoubleComplex> wrapped(size_t(m), 0.0);
    for (int64_t k = 0; k < n; ++k) {
        const double angle = std::numbers::pi * double(k * k % (2 * int64_t(n))) / double(n);
        chirp_[size_t(k)] = {float(std::cos(angle)), float(-std::sin(angle))};
        const TDoubleComplex conjugate(std::cos(angle), std::sin(angle));
        wrapped[size_t(k)] = conjugate;
        if (k > 0) wrapped[size_t(m - k)] = conjugate;
    }
    std::vector<TDoubleComplex> unit(static_cast<size_t>(m));
    for (int64_t t = 0; t < m; ++t) {
        const double angle = 2.0 * std::numbers::pi * double(t) / double(m);
        unit[size_t(t)] = {std::cos(angle), -std::sin(angle)};
    }
    std::vector<TDoubleComplex> spectrum(static_cast<size_t>(m));
    DoubleFFT(wrapped.data(), 1, size_t(m), spectrum.data(), unit);
    spectrum_.resize(size_t(m));
    for (size_t k = 0; k < size_t(m); ++k) {
        const TDoubleComplex v = spectrum[k] / double(m);
        spectrum_[k] = {float(v.real()), float(v.imag())};
    }
    view_.inner = &inner_->View();
    view_.chirp = chirp_.data();
    view_.spectrum = spectrum_.data();
}
