// The lane-parallel FFT against the scalar engine, lane by lane and bit for
// bit, on every instruction set this processor has.
#include "spectral/errors.h"
#include "spectral/fft.h"
#include "spectral/fft_lanes.h"
#include "spectral/transform.h"
#include "tests/support/reference_transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMaxLanes = 32;

std::vector<TLaneSet> SupportedLaneSets() {
    std::vector<TLaneSet> sets;
    for (TLaneSet s : {TLaneSet::SSE2, TLaneSet::AVX2, TLaneSet::AVX512})
        if (LaneSetSupported(s)) sets.push_back(s);
    return sets;
}

// Equal bits, except that any NaN matches any NaN: which NaN an operation on
// two NaNs returns depends on the order the compiler put the operands in,
// in the scalar engine as much as in the lanes.
bool SameFloat(float a, float b) {
    return FloatBits(a) == FloatBits(b) || (std::isnan(a) && std::isnan(b));
}

// Reproducible values of mixed magnitudes and signs.
std::vector<float> Values(size_t count, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<float> v(count);
    for (float& x : v) x = (float(gen() >> 8) * (1.0f / 16777216.0f) - 0.5f) * 256.0f;
    return v;
}

// Sprinkles the values that break naive shortcuts over the first lanes' data.
void AddSpecialValues(std::vector<float>& v) {
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              -0.0f,
                              0.0f,
                              std::numeric_limits<float>::denorm_min(),
                              -std::numeric_limits<float>::max(),
                              3e38f};
    for (size_t i = 0; i < v.size(); i += 7) v[i] = specials[(i / 7) % std::size(specials)];
}

// Runs the complex lanes FFT of length n on kMaxLanes sequences and compares
// each lane with TFFTEngine::Forward of that lane's sequence.
void CheckComplexForward(int32_t n, bool special, const std::vector<TLaneSet>& sets) {
    auto re = Values(size_t(n) * kMaxLanes, uint32_t(n) * 2 + 1);
    auto im = Values(size_t(n) * kMaxLanes, uint32_t(n) * 2 + 2);
    if (special) {
        AddSpecialValues(re);
        std::fill(im.begin(), im.begin() + std::min<size_t>(im.size(), 5), -0.0f);
    }
    TFFTEngine scalar;
    const auto plan = TFFTPlan::Complex(n);
    for (TLaneSet set : sets) {
        const auto lanes = MakeFFTLanes(set);
        const int W = lanes->Lanes();
        // Lane-major copies of the first W sequences (sequence l is
        // re[l*n .. l*n+n-1]).
        std::vector<float> xre(size_t(n) * W), xim(size_t(n) * W), yre(xre.size()), yim(xre.size());
        for (int l = 0; l < W; ++l)
            for (int32_t k = 0; k < n; ++k) {
                xre[size_t(k) * W + l] = re[size_t(l) * n + k];
                xim[size_t(k) * W + l] = im[size_t(l) * n + k];
            }
        lanes->ComplexTransform(plan->View(), false, xre.data(), xim.data(), yre.data(),
                                yim.data());
        for (int l = 0; l < W; ++l) {
            std::vector<TComplex> in(static_cast<size_t>(n)), out(static_cast<size_t>(n));
            for (int32_t k = 0; k < n; ++k) in[k] = {re[size_t(l) * n + k], im[size_t(l) * n + k]};
            scalar.Forward(in.data(), out.data(), n);
            for (int32_t k = 0; k < n; ++k) {
                ASSERT_TRUE(SameFloat(yre[size_t(k) * W + l], out[k].re) &&
                            SameFloat(yim[size_t(k) * W + l], out[k].im))
                    << LaneSetName(set) << " n=" << n << " lane " << l << " k=" << k << ": "
                    << yre[size_t(k) * W + l] << "," << yim[size_t(k) * W + l] << " vs "
                    << out[k].re << "," << out[k].im;
            }
        }
    }
}

// The mirrored real transform of each lane against RealTransform1D.
// With zeros, every fifth sample is a zero of either sign, and every third
// sequence holds nothing but zeros of both signs, starting with -0: the
// general kernel's accumulators then take terms that are zeros, or start at
// -0 and stay zeros, where only the signs tell the results apart.
void CheckRealTransform(int32_t L, bool inverse, bool special, const std::vector<TLaneSet>& sets,
                        bool zeros = false) {
    auto x = Values(size_t(L) * kMaxLanes, uint32_t(L) * 3 + (inverse ? 1 : 0));
    if (special) AddSpecialValues(x);
    for (int l = 0; zeros && l < kMaxLanes; ++l)
        for (int32_t k = 0; k < L; ++k)
            if (l % 3 == 2 || k % 5 == 0)
                x[size_t(l) * L + k] = (k * 7 + l) % 3 == 0 ? 0.0f : -0.0f;
    const TFFTPlan plan(L);
    std::vector<TComplex> a(size_t(2) * L), b(size_t(2) * L);
    std::vector<float> want(size_t(L) * kMaxLanes);
    for (int l = 0; l < kMaxLanes; ++l)
        RealTransform1D(x.data() + size_t(l) * L, want.data() + size_t(l) * L, L,
                        inverse ? TTransformDirection::Inverse : TTransformDirection::Forward,
                        a.data(), b.data());
    for (TLaneSet set : sets) {
        const auto lanes = MakeFFTLanes(set);
        const int W = lanes->Lanes();
        std::vector<float> xl(size_t(L) * W), yl(size_t(L) * W);
        for (int l = 0; l < W; ++l)
            for (int32_t k = 0; k < L; ++k) xl[size_t(k) * W + l] = x[size_t(l) * L + k];
        lanes->RealTransform(plan.View(), inverse, xl.data(), yl.data());
        for (int l = 0; l < W; ++l)
            for (int32_t k = 0; k < L; ++k)
                ASSERT_TRUE(SameFloat(yl[size_t(k) * W + l], want[size_t(l) * L + k]))
                    << LaneSetName(set) << " L=" << L << (inverse ? " inverse" : " forward")
                    << " lane " << l << " k=" << k << ": " << yl[size_t(k) * W + l] << " vs "
                    << want[size_t(l) * L + k];
    }
}

} // namespace

TEST(FFTLanes, LaneSetsResolveToWhatTheProcessorHas) {
    EXPECT_TRUE(LaneSetSupported(TLaneSet::SSE2));
    const TLaneSet best = ResolveLaneSet(TLaneSet::Auto);
    EXPECT_NE(best, TLaneSet::Auto);
    EXPECT_TRUE(LaneSetSupported(best));
    EXPECT_EQ(LaneCount(TLaneSet::Scalar), 1);
    EXPECT_EQ(LaneCount(TLaneSet::SSE2), 4);
    EXPECT_EQ(LaneCount(TLaneSet::AVX2), 8);
    EXPECT_EQ(LaneCount(TLaneSet::AVX512), 32);
    for (TLaneSet s : SupportedLaneSets()) EXPECT_EQ(MakeFFTLanes(s)->Lanes(), LaneCount(s));
    std::printf("lane sets here:");
    for (TLaneSet s : SupportedLaneSets()) std::printf(" %s", LaneSetName(s));
    std::printf("\n");
}

// Every length up to 160 exercises every kernel (2, 3, 4, 5, 8, 10 and the
// general one) alone and in combination, with and without twiddles.
TEST(FFTLanes, ComplexForwardMatchesTheScalarEngineForEveryLengthTo160) {
    const auto sets = SupportedLaneSets();
    for (int32_t n = 1; n <= 160; ++n) ASSERT_NO_FATAL_FAILURE(CheckComplexForward(n, false, sets));
}

TEST(FFTLanes, ComplexForwardMatchesOnLargePrimeFactorsAndMixedLengths) {
    const auto sets = SupportedLaneSets();
    // 639 = 71*3*3, 1000 = 10*10*10, 1023 = 31*11*3, 1279 prime, 2047 = 89*23,
    // 4959 = 29*19*3*3, 7015 = 61*23*5.
    for (int32_t n : {639, 1000, 1023, 1024, 1279, 2047, 4959, 7015})
        ASSERT_NO_FATAL_FAILURE(CheckComplexForward(n, false, sets));
}

TEST(FFTLanes, ComplexForwardMatchesWithNaNInfinityAndSignedZeros) {
    const auto sets = SupportedLaneSets();
    for (int32_t n : {1, 2, 3, 4, 5, 7, 8, 10, 16, 20, 21, 40, 77, 121, 160})
        ASSERT_NO_FATAL_FAILURE(CheckComplexForward(n, true, sets));
}

TEST(FFTLanes, MirroredRealTransformMatchesRealTransform1D) {
    const auto sets = SupportedLaneSets();
    for (int32_t L = 1; L <= 80; ++L)
        for (bool inverse : {false, true})
            ASSERT_NO_FATAL_FAILURE(CheckRealTransform(L, inverse, false, sets));
    // 2L - 1 = 253 = 23*11 (the general kernel twice), 285 = 19*5*3,
    // 1279 and 1999 are prime, 1331 = 11*11*11, 2047 = 89*23.
    for (int32_t L : {127, 143, 640, 666, 1000, 1024})
        for (bool inverse : {false, true})
            ASSERT_NO_FATAL_FAILURE(CheckRealTransform(L, inverse, false, sets));
}

TEST(FFTLanes, MirroredRealTransformMatchesWithNaNInfinityAndSignedZeros) {
    const auto sets = SupportedLaneSets();
    for (int32_t L : {1, 2, 3, 4, 5, 8, 13, 23, 50})
        for (bool inverse : {false, true})
            ASSERT_NO_FATAL_FAILURE(CheckRealTransform(L, inverse, true, sets));
}

TEST(FFTLanes, MirroredRealTransformMatchesWithSignedZerosAtLargePrimes) {
    // 2L - 1 = 7, 127, 1999 are prime, 93 = 31 * 3 and 1191 = 397 * 3 have a
    // large prime as their first stage.
    const auto sets = SupportedLaneSets();
    for (int32_t L : {4, 47, 64, 596, 1000})
        for (bool inverse : {false, true})
            ASSERT_NO_FATAL_FAILURE(CheckRealTransform(L, inverse, false, sets, true));
}

TEST(FFTLanes, PlanRefusesLengthsWithTooLargeAFactor) {
    // 2 * 10006 - 1 = 20011 is prime and above the limit.
    try {
        TFFTPlan plan(10006);
        FAIL() << "no error";
    } catch (const EMathError& e) {
        EXPECT_STREQ(
            e.what(),
            "Prime factor for FFT length too large. Change value for cMaxPrimeFactor in FFTs unit");
    }
    // 2 * 29996 - 1 = 59991 = 19997 * 3: the largest allowed prime is fine.
    const TFFTPlan plan(29996);
    EXPECT_EQ(plan.Length(), 59991);
    EXPECT_EQ(plan.LargestFactor(), 19997);
}
