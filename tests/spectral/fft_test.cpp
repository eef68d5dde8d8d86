// The FFT against the discrete Fourier transform in long double, its
// factorisation, its error, and the properties the image transform relies on.
#include "spectral/errors.h"
#include "spectral/fft.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace {

using LComplex = std::complex<long double>;

std::vector<TComplex> RandomSignal(int32_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<TComplex> x(static_cast<size_t>(n));
    for (auto& v : x) {
        v.re = float(int(gen() % 20001) - 10000) / 100.0f;
        v.im = float(int(gen() % 20001) - 10000) / 100.0f;
    }
    return x;
}

std::vector<LComplex> ReferenceDFT(const std::vector<TComplex>& x, int sign) {
    const size_t n = x.size();
    std::vector<LComplex> out(n), root(n);
    for (size_t t = 0; t < n; ++t) {
        const long double a = sign * 2.0L * std::numbers::pi_v<long double> * t / n;
        root[t] = LComplex(std::cos(a), std::sin(a));
    }
    for (size_t k = 0; k < n; ++k) {
        LComplex s = 0;
        for (size_t j = 0; j < n; ++j) s += LComplex(x[j].re, x[j].im) * root[(j * k) % n];
        out[k] = s;
    }
    return out;
}

// Relative error bound: the root and twiddle tables are built by repeated
// float products, so the error grows with the length.
double Tolerance(int32_t n) {
    return std::max(1e-5, 3e-8 * n);
}

double MaxRelativeError(const std::vector<LComplex>& want, const std::vector<TComplex>& got) {
    long double err = 0, mag = 0;
    for (size_t k = 0; k < want.size(); ++k) {
        err = std::max(err, std::abs(want[k] - LComplex(got[k].re, got[k].im)));
        mag = std::max(mag, std::abs(want[k]));
    }
    return mag == 0 ? double(err) : double(err / mag);
}

} // namespace

TEST(FactorizeLength, OrdersFactorsAsTheStagesRun) {
    const std::vector<std::pair<int32_t, std::vector<int32_t>>> cases = {
        {16, {4, 4}},
        {20, {2, 10}},
        {32, {4, 8}},
        {48, {4, 3, 4}},
        {128, {4, 4, 8}},
        {639, {71, 3, 3}},
        {1023, {31, 11, 3}},
        {1279, {1279}},
        {1000, {10, 10, 10}},
        {1, {1}},
        {59991, {19997, 3}},
        {2, {2}},
        {7, {7}},
        {49, {7, 7}},
        {1999, {1999}},
        {6, {2, 3}},
    };
    for (const auto& [n, want] : cases) EXPECT_EQ(FactorizeLength(n), want) << "n = " << n;
}

TEST(FactorizeLength, ProductIsTheLengthAndAtMostOneTwo) {
    for (int32_t n = 1; n <= 5000; ++n) {
        const auto f = FactorizeLength(n);
        int64_t product = 1;
        int twos = 0;
        for (int32_t v : f) {
            product *= v;
            twos += v == 2;
        }
        ASSERT_EQ(product, n) << n;
        ASSERT_LE(twos, 1) << n;
        ASSERT_LE(f.size(), size_t(cMaxFactorCount));
    }
}

TEST(FFT, MatchesTheDiscreteTransformForEveryLengthUpTo600) {
    for (int32_t n = 1; n <= 600; ++n) {
        const auto x = RandomSignal(n, uint32_t(n));
        std::vector<TComplex> y(static_cast<size_t>(n)), z(static_cast<size_t>(n));
        ForwardFFT(x.data(), y.data(), n);
        ASSERT_LE(MaxRelativeError(ReferenceDFT(x, -1), y), Tolerance(n)) << "forward, n = " << n;
        InverseFFT(x.data(), z.data(), n);
        auto inv = ReferenceDFT(x, +1);
        for (auto& v : inv) v /= n;
        ASSERT_LE(MaxRelativeError(inv, z), Tolerance(n)) << "inverse, n = " << n;
    }
}

TEST(FFT, MatchesTheDiscreteTransformForLongPrimeAndMixedLengths) {
    for (int32_t n : {1279, 1999, 2047, 2187, 3125, 4000, 4096, 7919}) {
        const auto x = RandomSignal(n, uint32_t(n));
        std::vector<TComplex> y(static_cast<size_t>(n));
        ForwardFFT(x.data(), y.data(), n);
        EXPECT_LE(MaxRelativeError(ReferenceDFT(x, -1), y), Tolerance(n)) << "n = " << n;
    }
}

TEST(FFT, RoundTripRestoresTheInput) {
    std::vector<int32_t> lengths;
    for (int32_t n = 1; n <= 1200; ++n) lengths.push_back(n);
    for (int32_t n : {2999, 8191, 10007, 19997, 20007, 59991}) lengths.push_back(n);
    for (int32_t n : lengths) {
        const auto x = RandomSignal(n, uint32_t(n) * 7u);
        std::vector<TComplex> y(static_cast<size_t>(n)), z(static_cast<size_t>(n));
        ForwardFFT(x.data(), y.data(), n);
        InverseFFT(y.data(), z.data(), n);
        double err = 0, mag = 0;
        for (int32_t k = 0; k < n; ++k) {
            err = std::max(err, std::hypot(double(z[k].re) - x[k].re, double(z[k].im) - x[k].im));
            mag = std::max(mag, std::hypot(double(x[k].re), double(x[k].im)));
        }
        // Two transforms, and the long prime lengths' root tables drift the most.
        ASSERT_LE(err / mag, std::max(2e-5, 1.2e-7 * n)) << "n = " << n;
    }
}

TEST(FFT, LengthOneIsTheIdentity) {
    const TComplex x{3.25f, -1.5f};
    TComplex y{}, z{};
    ForwardFFT(&x, &y, 1);
    InverseFFT(&x, &z, 1);
    EXPECT_EQ(FloatBits(y.re), FloatBits(x.re));
    EXPECT_EQ(FloatBits(y.im), FloatBits(x.im));
    EXPECT_EQ(FloatBits(z.re), FloatBits(x.re));
    EXPECT_EQ(FloatBits(z.im), FloatBits(x.im));
}

TEST(FFT, LengthZeroDoesNothing) {
    TComplex x{1, 2}, y{7, 8};
    ForwardFFT(&x, &y, 0);
    InverseFFT(&x, &y, 0);
    EXPECT_EQ(y.re, 7.0f);
    EXPECT_EQ(y.im, 8.0f);
}

TEST(FFT, InPlaceGivesTheSameBitsAsSeparateArrays) {
    for (int32_t n : {1, 2, 3, 8, 16, 20, 48, 97, 639, 1000, 1023, 1279}) {
        auto x = RandomSignal(n, 99u + uint32_t(n));
        std::vector<TComplex> y(static_cast<size_t>(n));
        ForwardFFT(x.data(), y.data(), n);
        auto inPlace = x;
        ForwardFFT(inPlace.data(), inPlace.data(), n);
        for (int32_t k = 0; k < n; ++k) {
            ASSERT_EQ(FloatBits(inPlace[k].re), FloatBits(y[k].re)) << n << " " << k;
            ASSERT_EQ(FloatBits(inPlace[k].im), FloatBits(y[k].im)) << n << " " << k;
        }
        // The inverse never changes its input, also in place.
        const auto before = y;
        std::vector<TComplex> z(static_cast<size_t>(n));
        InverseFFT(y.data(), z.data(), n);
        for (int32_t k = 0; k < n; ++k) ASSERT_EQ(FloatBits(y[k].re), FloatBits(before[k].re));
        InverseFFT(y.data(), y.data(), n);
        for (int32_t k = 0; k < n; ++k) ASSERT_EQ(FloatBits(y[k].re), FloatBits(z[k].re));
    }
}

TEST(FFT, ConstantInputGivesOneCoefficient) {
    for (int32_t n : {5, 15, 16, 45, 127, 1999}) {
        std::vector<TComplex> x(static_cast<size_t>(n), TComplex{2.0f, 0.0f}),
            y(static_cast<size_t>(n)), z(static_cast<size_t>(n));
        ForwardFFT(x.data(), y.data(), n);
        EXPECT_NEAR(y[0].re, 2.0 * n, 1e-5 * n) << n;
        for (int32_t k = 1; k < n; ++k)
            EXPECT_LT(std::hypot(y[k].re, y[k].im), 1e-3 * n) << n << " " << k;
        InverseFFT(y.data(), z.data(), n);
        for (int32_t k = 0; k < n; ++k) EXPECT_NEAR(z[k].re, 2.0, 1e-4) << n;
    }
}

TEST(FFT, RealEvenInputGivesRealOutput) {
    for (int32_t n : {3, 9, 15, 99, 199, 1999}) {
        auto x = RandomSignal(n, 5u);
        for (auto& v : x) v.im = 0;
        for (int32_t j = 1; j < n; ++j) x[size_t(n - j)] = x[size_t(j)];
        std::vector<TComplex> y(static_cast<size_t>(n));
        ForwardFFT(x.data(), y.data(), n);
        double mag = 0, im = 0;
        for (const auto& v : y) {
            mag = std::max(mag, double(std::fabs(v.re)));
            im = std::max(im, double(std::fabs(v.im)));
        }
        EXPECT_LE(im, Tolerance(n) * mag) << n;
    }
}

TEST(FFT, TooLargePrimeFactorRaisesTheLengthErrorBeforeWriting) {
    for (int32_t n : {20011, 20021, 2 * 20011}) {
        std::vector<TComplex> x(static_cast<size_t>(n), TComplex{1, 1}),
            y(static_cast<size_t>(n), TComplex{5, 5});
        try {
            ForwardFFT(x.data(), y.data(), n);
            FAIL() << "no error for n = " << n;
        } catch (const EMathError& e) {
            EXPECT_STREQ(e.what(), "Prime factor for FFT length too large. Change value for "
                                   "cMaxPrimeFactor in FFTs unit");
        }
        EXPECT_THROW(InverseFFT(x.data(), y.data(), n), EMathError);
        for (const auto& v : y) ASSERT_EQ(v.re, 5.0f);
        EXPECT_THROW(CheckFFTLength(n), EMathError);
    }
    EXPECT_NO_THROW(CheckFFTLength(20007));
    EXPECT_NO_THROW(CheckFFTLength(59991));
}
