#include "spectral/fft_lanes.h"

#include "spectral/errors.h"
#include "spectral/fft_factors.h"

#include <algorithm>
#include <cmath>
#include <numbers>

// Defined in the files compiled for each instruction set.
IFFTLanes* NewFFTLanesScalar();
IFFTLanes* NewFFTLanesSse2();
IFFTLanes* NewFFTLanesAvx2();
IFFTLanes* NewFFTLanesAvx512();

bool LaneSetSupported(TLaneSet set) {
    switch (set) {
    case TLaneSet::Auto:
    case TLaneSet::Scalar:
    case TLaneSet::SSE2:
        return true;
    case TLaneSet::AVX2:
        return __builtin_cpu_supports("avx2");
    case TLaneSet::AVX512:
        return __builtin_cpu_supports("avx512f");
    }
    return false;
}

TLaneSet ResolveLaneSet(TLaneSet set) {
    if (set != TLaneSet::Auto) return set;
    if (LaneSetSupported(TLaneSet::AVX512)) return TLaneSet::AVX512;
    if (LaneSetSupported(TLaneSet::AVX2)) return TLaneSet::AVX2;
    return TLaneSet::SSE2;
}

int LaneCount(TLaneSet set) {
    switch (ResolveLaneSet(set)) {
    case TLaneSet::AVX512:
        return 32;
    case TLaneSet::AVX2:
        return 8;
    case TLaneSet::Scalar:
        return 1;
    default:
        return 4;
    }
}

const char* LaneSetName(TLaneSet set) {
    switch (set) {
    case TLaneSet::Auto:
        return "auto";
    case TLaneSet::Scalar:
        return "scalar";
    case TLaneSet::SSE2:
        return "SSE2";
    case TLaneSet::AVX2:
        return "AVX2";
    case TLaneSet::AVX512:
        return "AVX-512";
    }
    return "?";
}

std::unique_ptr<IFFTLanes> MakeFFTLanes(TLaneSet set) {
    switch (ResolveLaneSet(set)) {
    case TLaneSet::AVX512:
        return std::unique_ptr<IFFTLanes>(NewFFTLanesAvx512());
    case TLaneSet::AVX2:
        return std::unique_ptr<IFFTLanes>(NewFFTLanesAvx2());
    case TLaneSet::Scalar:
        return std::unique_ptr<IFFTLanes>(NewFFTLanesScalar());
    default:
        return std::unique_ptr<IFFTLanes>(NewFFTLanesSse2());
    }
}

// The tables of every stage, once per length instead of once per sequence;
// the lanes only read them. Stage order, the digit-reversed permutation and
// the tables are part of the defined result: roots and twiddles are
// double-precision angles rounded to float, and their powers are built by
// repeated float multiplication, never computed directly.
TFFTPlan::TFFTPlan(int32_t realLength) : TFFTPlan(realLength, 2 * realLength - 1) {}

std::unique_ptr<TFFTPlan> TFFTPlan::Complex(int32_t n) {
    return std::unique_ptr<TFFTPlan>(new TFFTPlan(n, n));
}

std::unique_ptr<TFFTPlan> TFFTPlan::AccurateComplex(int32_t n) {
    return std::unique_ptr<TFFTPlan>(new TFFTPlan(n, n, true));
}

TFFTPlan::TFFTPlan(int32_t realLength, int32_t n, bool accurate) : L_(realLength), n_(n) {
    const std::vector<int32_t> restAll = PlanStages();
    BuildPermutation(restAll);
    BuildTables(accurate);
    FillView();
}

// Stage j (0-based) combines groups of factors_[j] elements span_[j] apart;
// there are rest_[j] groups per offset. The result's restAll[j] is the
// remaining length before stage j, as the permutation counts it.
std::vector<int32_t> TFFTPlan::PlanStages() {
    factors_ = FactorizeLength(n_);
    if (factors_.front() > cMaxPrimeFactor)
        throw EMathError(TMessage{TMessageId::FFTLength, {}, nullptr});
    const int m = int(factors_.size());
    largest_ = 0;
    for (int32_t f : factors_) largest_ = std::max(largest_, f);

    std::vector<int32_t> restAll(size_t(m) + 2, 0);
    restAll[0] = n_;
    span_.assign(size_t(m), 1);
    rest_.assign(size_t(m), 0);
    for (int j = 1; j <= m; ++j) {
        restAll[size_t(j)] = restAll[size_t(j) - 1] / factors_[size_t(j) - 1];
        rest_[size_t(j) - 1] = restAll[size_t(j)];
        if (j > 1) span_[size_t(j) - 1] = span_[size_t(j) - 2] * factors_[size_t(j) - 2];
    }
    return restAll;
}

// Digit-reversed order: output i takes input k(i) = sum_j c_j rest(j) for the
// mixed-radix digits c_j of i (c_1 the fastest), counted incrementally; the
// last sample stays in place. The indices are then folded back onto the
// unmirrored samples: position k >= L of the mirrored sequence holds
// x[2L - 1 - k]. A complex plan (L = n) folds nothing.
void TFFTPlan::BuildPermutation(const std::vector<int32_t>& restAll) {
    const int m = int(factors_.size());
    source_.resize(size_t(n_));
    const auto fold = [this](int32_t k) { return k < L_ || L_ == n_ ? k : 2 * L_ - 1 - k; };
    int32_t digit[cMaxFactorCount + 2] = {};
    int32_t k = 0;
    for (int32_t i = 0; i < n_ - 1; ++i) {
        source_[size_t(i)] = fold(k);
        k += restAll[1];
        ++digit[1];
        for (int j = 1; j <= m && digit[j] >= factors_[size_t(j) - 1]; ++j) {
            digit[j] = 0;
            k = k - restAll[size_t(j) - 1] + restAll[size_t(j) + 1];
            if (j + 1 <= m) ++digit[j + 1];
        }
    }
    source_[size_t(n_) - 1] = fold(n_ - 1);
}

// The roots of every stage and the twiddles of every stage with span > 1.
void TFFTPlan::BuildTables(bool accurate) {
    const int m = int(factors_.size());
    rootOffset_.assign(size_t(m), 0);
    twiddleOffset_.assign(size_t(m), 0);
    int64_t rootCount = 0, twiddleCount = 0;
    for (int j = 0; j < m; ++j) {
        rootOffset_[size_t(j)] = rootCount;
        rootCount += factors_[size_t(j)];
        twiddleOffset_[size_t(j)] = twiddleCount;
        if (span_[size_t(j)] > 1) twiddleCount += int64_t(span_[size_t(j)]) * factors_[size_t(j)];
    }
    roots_.resize(size_t(rootCount));
    twiddles_.resize(size_t(twiddleCount));
    for (int j = 0; j < m; ++j) {
        const int32_t s = span_[size_t(j)];
        const int32_t r = factors_[size_t(j)];
        TComplex* root = roots_.data() + rootOffset_[size_t(j)];
        const double theta = 2.0 * std::numbers::pi / double(r);
        root[0] = {1.0f, 0.0f};
        if (r > 1) root[1] = {float(std::cos(theta)), float(-std::sin(theta))};
        for (int32_t t = 2; t < r; ++t) root[t] = ComplexMul(root[1], root[t - 1]);
        if (accurate) {
            // e^(-2 pi i a/b), the angle reduced exactly before it is rounded.
            const auto unit = [](int64_t a, int64_t b) {
                const double angle = 2.0 * std::numbers::pi * double(a % b) / double(b);
                return TComplex{float(std::cos(angle)), float(-std::sin(angle))};
            };
            for (int32_t t = 0; t < r; ++t) root[t] = unit(t, r);
            for (int32_t d = 0; d < s && s > 1; ++d) {
                TComplex* twiddle = twiddles_.data() + twiddleOffset_[size_t(j)] + int64_t(d) * r;
                for (int32_t t = 0; t < r; ++t) twiddle[t] = unit(int64_t(d) * t, int64_t(s) * r);
            }
            continue;
        }
        if (s <= 1) continue;

        const double omega = 2.0 * std::numbers::pi / (double(s) * double(r));
        const TComplex w = {float(std::cos(omega)), float(-std::sin(omega))};
        TComplex tw = {1.0f, 0.0f};
        for (int32_t d = 0; d < s; ++d) {
            TComplex* twiddle = twiddles_.data() + twiddleOffset_[size_t(j)] + int64_t(d) * r;
            twiddle[0] = {1.0f, 0.0f};
            if (r > 1) twiddle[1] = tw;
            for (int32_t t = 2; t < r; ++t) twiddle[t] = ComplexMul(tw, twiddle[t - 1]);
            tw = ComplexMul(w, tw);
        }
    }

    // Computed, not written as constants: the sign of each zero is the sign
    // of the float root, whatever rounding gave it.
    const float zero = 0.0f;
    for (int32_t t = 0; t < factors_[0]; ++t) {
        const TComplex r = roots_[size_t(t)];
        realZeros_.push_back({r.re * zero, r.im * zero});
    }
}

void TFFTPlan::FillView() {
    const int m = int(factors_.size());
    view_.L = L_;
    view_.n = n_;
    view_.stages = m;
    view_.factors = factors_.data();
    view_.span = span_.data();
    view_.rest = rest_.data();
    view_.source = source_.data();
    view_.roots = roots_.data();
    view_.rootOffset = rootOffset_.data();
    view_.twiddles = twiddles_.data();
    view_.twiddleOffset = twiddleOffset_.data();
    view_.inverseScale = float(1.0 / double(n_));
    view_.realZeros = realZeros_.data();
}
