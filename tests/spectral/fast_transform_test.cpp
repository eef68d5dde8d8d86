// The opt-in fast transform: its accuracy against the mirrored transform
// computed in long double, next to the exact transform's, at short and long
// lengths, prime ones included; and the image transform built on it.
#include "spectral/fft_lanes.h"
#include "spectral/transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

// Adds the squared errors of the outputs k = 0, step, 2 step, ... of
// sequence l (x and y sample-major with `width` sequences) and their squared
// values: y[k] = x[0] + 2 sum_j x[j] cos(2 pi jk/n), n = 2L - 1, in long double.
struct TErrorSum {
    long double error = 0, magnitude = 0;
    double Relative() const { return magnitude == 0 ? 0.0 : double(std::sqrt(error / magnitude)); }
};

void AddError(const std::vector<float>& x, const std::vector<float>& y, int width, int l, int32_t L,
              int32_t step, TErrorSum& sum) {
    const int64_t n = 2 * int64_t(L) - 1;
    std::vector<long double> cosine(static_cast<size_t>(n));
    for (int64_t t = 0; t < n; ++t)
        cosine[size_t(t)] = std::cos(2.0L * std::numbers::pi_v<long double> * t / n);
    for (int32_t k = 0; k < L; k += step) {
        long double want = x[size_t(l)];
        for (int64_t j = 1; j < L; ++j)
            want += 2.0L * x[size_t(j * width + l)] * cosine[size_t(j * k % n)];
        const long double e = want - y[size_t(int64_t(k) * width + l)];
        sum.error += e * e;
        sum.magnitude += want * want;
    }
}

} // namespace

TEST(FastTransform, IsAtLeastAsAccurateAsTheExactOneAtEveryLength) {
    // Prime 2L - 1 among them: 61, 127, 1999, 5099, 6599, 19841; and 1023 = 3 * 11 * 31,
    // 4959 = 9 * 19 * 29, 14031 = 9 * 1559, and lengths of small factors.
    const int32_t lengths[] = {1,   2,   3,    5,    13,   31,   33,   41,  64,
                               152, 512, 1000, 2480, 2550, 3300, 7016, 9921};
    const auto lanes = MakeFFTLanes(TLaneSet::Auto);
    const int K = lanes->Lanes(), W = 2 * K;
    std::mt19937 gen(7);
    for (const int32_t L : lengths) {
        SCOPED_TRACE("L = " + std::to_string(L));
        std::vector<float> x(size_t(L) * W), fast(x.size()), exactA(size_t(L) * K),
            exactB(exactA.size());
        for (float& v : x) v = float(int(gen() % 256) - 127);
        const TFastPlan fastPlan(L);
        lanes->FastRealTransform(fastPlan.View(), false, x.data(), fast.data());
        // The exact transform of the same sequences, K at a time.
        const TFFTPlan exactPlan(L);
        std::vector<float> half(size_t(L) * K);
        for (int part = 0; part < 2; ++part) {
            for (int32_t k = 0; k < L; ++k)
                for (int l = 0; l < K; ++l)
                    half[size_t(k) * K + l] = x[size_t(k) * W + part * K + l];
            lanes->RealTransform(exactPlan.View(), false, half.data(),
                                 (part ? exactB : exactA).data());
        }
        // The root-mean-square error over all sequences, relative to the
        // outputs' root mean square.
        const int32_t step = std::max(1, L / 16);
        TErrorSum fastError, exactError;
        for (int l = 0; l < W; ++l) {
            AddError(x, fast, W, l, L, step, fastError);
            std::vector<float> own(static_cast<size_t>(L)), exact(own.size());
            for (int32_t k = 0; k < L; ++k) {
                own[size_t(k)] = x[size_t(k) * W + l];
                exact[size_t(k)] = (l < K ? exactA : exactB)[size_t(k) * K + l % K];
            }
            AddError(own, exact, 1, 0, L, step, exactError);
        }
        EXPECT_LE(fastError.Relative(), exactError.Relative());
        EXPECT_LT(fastError.Relative(), 1e-6);
    }
}

TEST(FastTransform, ImageTransformIsCloseToTheExactOneAndReturnsTheImage) {
    // 2 * 157 - 1 = 313 and 2 * 120 - 1 = 239 are prime.
    const TSpectrumStore input = RandomStore(157, 120, 3);
    TNoProgress none;
    TTransformOptions exactOptions, fastOptions;
    exactOptions.ZeroBelow = fastOptions.ZeroBelow = 0; // the round trip keeps fractions
    fastOptions.Fast = true;
    TSpectrumStore exact = input, fast = input, fastOneThread = input;
    const TTransformResult exactResult =
        TransformStore(exact, TTransformDirection::Forward, nullptr, none, exactOptions);
    const TTransformResult fastResult =
        TransformStore(fast, TTransformDirection::Forward, nullptr, none, fastOptions);
    fastOptions.Threads = 1;
    TransformStore(fastOneThread, TTransformDirection::Forward, nullptr, none, fastOptions);
    EXPECT_EQ(fast.Planes[1], fastOneThread.Planes[1]); // the threads share out whole blocks
    EXPECT_NEAR(fastResult.Maximum, exactResult.Maximum, 1e-5 * exactResult.Maximum);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < input.CellCount(); ++i)
            ASSERT_NEAR(fast.Planes[p][i], exact.Planes[p][i], 1e-5 * exactResult.Maximum)
                << "plane " << p << " cell " << i;

    TransformStore(fast, TTransformDirection::Inverse, nullptr, none, fastOptions);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < input.CellCount(); ++i)
            ASSERT_NEAR(fast.Planes[p][i], input.Planes[p][i], 1e-3f)
                << "plane " << p << " cell " << i;
}
