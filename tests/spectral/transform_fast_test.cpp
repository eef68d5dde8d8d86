// The fast image transform against the scalar reference: the same bits in
// every plane, the same maximum, the same progress reports and the same
// error, whatever the lane width and the number of threads.
#include "spectral/errors.h"
#include "spectral/store_fill.h"
#include "spectral/thread_team.h"
#include "spectral/transform.h"
#include "tests/support/reference_transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Records the reports exactly (percentages as raw doubles).
class TExactRecorder final : public IProgress {
public:
    std::vector<std::string> events;
    void Phase(const std::string& key) override { events.push_back("phase " + key); }
    void Percent(double p) override {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%a", p);
        events.push_back(buf);
    }
    void ClearPercent() override { events.push_back("clear"); }
};

bool SameFloat(float a, float b) {
    // Any NaN matches any NaN: which NaN an operation on two NaNs returns
    // depends on the compiler's operand order, in the reference as well.
    return FloatBits(a) == FloatBits(b) || (std::isnan(a) && std::isnan(b));
}

// The first differing cell, or "" when the stores agree bit for bit.
std::string FirstDifference(const TSpectrumStore& got, const TSpectrumStore& want) {
    if (got.Cols != want.Cols || got.Rows != want.Rows) return "size";
    const tdline* gotArrays[4] = {&got.Planes[0], &got.Planes[1], &got.Planes[2], &got.WorkPlane};
    const tdline* wantArrays[4] = {&want.Planes[0], &want.Planes[1], &want.Planes[2],
                                   &want.WorkPlane};
    for (int a = 0; a < 4; ++a) {
        if (gotArrays[a]->size() != wantArrays[a]->size()) return "array size";
        for (size_t i = 0; i < gotArrays[a]->size(); ++i) {
            const float g = (*gotArrays[a])[i], w = (*wantArrays[a])[i];
            if (!SameFloat(g, w)) {
                std::ostringstream out;
                out << (a < 3 ? "plane " + std::to_string(a) : std::string("work plane"))
                    << " cell (" << i % size_t(got.Cols) << ", " << i / size_t(got.Cols)
                    << "): " << g << " vs " << w;
                return out.str();
            }
        }
    }
    return "";
}

struct TConfig {
    TLaneSet lanes;
    int threads;
};

// Every supported lane set with one thread and with three (more than this
// machine may have: the result may not depend on it).
std::vector<TConfig> Configs() {
    std::vector<TConfig> configs;
    for (TLaneSet s : {TLaneSet::SSE2, TLaneSet::AVX2, TLaneSet::AVX512})
        if (LaneSetSupported(s))
            for (int threads : {1, 3}) configs.push_back({s, threads});
    return configs;
}

// Runs the reference once and every configuration of the fast path on copies
// of `input`, and compares stores and results.
void CheckAgainstReference(const TSpectrumStore& input, TTransformDirection direction,
                           const TBitmap24* source = nullptr,
                           const std::vector<TConfig>& configs = Configs()) {
    TNoProgress none;
    TSpectrumStore want = input;
    const TTransformResult wantResult = TransformStoreReference(want, direction, source, none);
    for (const TConfig& config : configs) {
        TSpectrumStore got = input;
        const TTransformResult gotResult = TransformStore(
            got, direction, source, none, TTransformOptions{config.threads, config.lanes});
        const std::string where =
            std::string(LaneSetName(config.lanes)) + ", " + std::to_string(config.threads) +
            " threads, " + std::to_string(input.Cols) + " x " + std::to_string(input.Rows) +
            (direction == TTransformDirection::Forward ? " forward" : " inverse");
        ASSERT_EQ(FirstDifference(got, want), "") << where;
        ASSERT_EQ(gotResult.Maximum, wantResult.Maximum) << where;
        ASSERT_EQ(gotResult.ContrastPreset, wantResult.ContrastPreset) << where;
    }
}

// Forward from random spatial values, then inverse from the reference's
// spectrum (which has the thresholded zeros of a real one).
void CheckBothDirections(int32_t w, int32_t h, uint32_t seed,
                         const std::vector<TConfig>& configs = Configs()) {
    const TSpectrumStore spatial = RandomStore(w, h, seed);
    ASSERT_NO_FATAL_FAILURE(
        CheckAgainstReference(spatial, TTransformDirection::Forward, nullptr, configs));
    TSpectrumStore spectrum = spatial;
    TNoProgress none;
    TransformStoreReference(spectrum, TTransformDirection::Forward, nullptr, none);
    ASSERT_NO_FATAL_FAILURE(
        CheckAgainstReference(spectrum, TTransformDirection::Inverse, nullptr, configs));
}

} // namespace

TEST(TransformFast, SmallestSizesMatchTheReference) {
    for (auto [w, h] :
         {std::pair{1, 1}, std::pair{2, 1}, std::pair{1, 2}, std::pair{7, 3}, std::pair{3, 7}})
        ASSERT_NO_FATAL_FAILURE(CheckBothDirections(w, h, uint32_t(w * 100 + h)));
}

// Every width to 40 (so every block remainder of every lane width, and row
// lengths 1 .. 79 with all their factorisations) against a few heights, and
// every height to 40 against a few widths. The configurations take turns, so
// that each size meets several of them and each configuration every
// remainder, without running all of them on every size.
TEST(TransformFast, EveryWidthAndHeightTo40MatchesTheReference) {
    const std::vector<TConfig> all = Configs();
    size_t turn = 0;
    const auto next = [&] { return std::vector<TConfig>{all[turn++ % all.size()]}; };
    for (int32_t w = 1; w <= 40; ++w)
        for (int32_t h : {1, 2, 5, 17, 33})
            ASSERT_NO_FATAL_FAILURE(CheckBothDirections(w, h, uint32_t(w * 1000 + h), next()));
    for (int32_t h = 1; h <= 40; ++h)
        for (int32_t w : {1, 3, 16, 19})
            ASSERT_NO_FATAL_FAILURE(CheckBothDirections(w, h, uint32_t(h * 1000 + w), next()));
}

TEST(TransformFast, LargePrimeLengthsMatchTheReference) {
    // 2 * 640 - 1 = 1279 and 2 * 1000 - 1 = 1999 are prime: one pass of the
    // general kernel; 2 * 320 - 1 = 639 = 71 * 3 * 3 mixes it with radix 3;
    // 2 * 72 - 1 = 143 = 13 * 11 runs it twice, the second time on complex
    // values with twiddles.
    const std::vector<TConfig> few = {{TLaneSet::Auto, 1}, {TLaneSet::SSE2, 2}};
    for (auto [w, h] : {std::pair{640, 2}, std::pair{1000, 2}, std::pair{3, 640},
                        std::pair{2, 1000}, std::pair{320, 21}, std::pair{72, 72}})
        ASSERT_NO_FATAL_FAILURE(CheckBothDirections(w, h, uint32_t(w + h), few));
}

TEST(TransformFast, ResultDoesNotDependOnTheThreadCount) {
    std::vector<TConfig> configs;
    for (int threads : {0, 1, 2, 3, 5, 16, 64}) configs.push_back({TLaneSet::Auto, threads});
    ASSERT_NO_FATAL_FAILURE(CheckBothDirections(45, 67, 5, configs));
}

TEST(TransformFast, BitmapSourceMatchesTheReference) {
    const int32_t w = 29, h = 23;
    TBitmap24 bitmap(w, h);
    uint32_t state = 12345;
    for (uint8_t& b : bitmap.Bytes) {
        state = state * 1664525u + 1013904223u;
        b = uint8_t(state >> 24);
    }
    // The planes hold something else: the bitmap has to win in a forward run.
    const TSpectrumStore other = RandomStore(w, h, 77);
    ASSERT_NO_FATAL_FAILURE(CheckAgainstReference(other, TTransformDirection::Forward, &bitmap));
    // An inverse run ignores the bitmap.
    ASSERT_NO_FATAL_FAILURE(CheckAgainstReference(other, TTransformDirection::Inverse, &bitmap));
}

TEST(TransformFast, NaNInfinityAndSignedZerosMatchTheReference) {
    TSpectrumStore s = RandomStore(13, 11, 9);
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              -0.0f,
                              std::numeric_limits<float>::denorm_min(),
                              3e38f,
                              -3e38f};
    // One special value in plane 0 (it spreads through its row and column),
    // negative zeros all over plane 1, overflowing values in plane 2.
    s.At(0, 4, 5) = specials[0];
    s.At(0, 0, 0) = specials[1];
    for (size_t i = 0; i < s.Planes[1].size(); i += 2) s.Planes[1][i] = -0.0f;
    for (size_t i = 0; i < s.Planes[2].size(); i += 5)
        s.Planes[2][i] = specials[(i / 5) % std::size(specials)];
    for (auto direction : {TTransformDirection::Forward, TTransformDirection::Inverse})
        ASSERT_NO_FATAL_FAILURE(CheckAgainstReference(s, direction));

    // A store of negative zeros only: the spectrum's signs of zero are kept.
    TSpectrumStore zeros;
    zeros.Resize(9, 10);
    for (auto& p : zeros.Planes) std::fill(p.begin(), p.end(), -0.0f);
    for (auto direction : {TTransformDirection::Forward, TTransformDirection::Inverse})
        ASSERT_NO_FATAL_FAILURE(CheckAgainstReference(zeros, direction));
}

TEST(TransformFast, ReportsTheSameProgressAsTheReference) {
    for (auto [w, h] :
         {std::pair{230, 120}, std::pair{101, 201}, std::pair{100, 100}, std::pair{3, 2}}) {
        const TSpectrumStore input = RandomStore(w, h, 3);
        for (auto direction : {TTransformDirection::Forward, TTransformDirection::Inverse}) {
            TExactRecorder want;
            TSpectrumStore a = input;
            TransformStoreReference(a, direction, nullptr, want);
            for (int threads : {1, 2, 4}) {
                TExactRecorder got;
                TSpectrumStore b = input;
                TransformStore(b, direction, nullptr, got,
                               TTransformOptions{threads, TLaneSet::Auto});
                EXPECT_EQ(got.events, want.events)
                    << w << " x " << h << ", " << threads << " threads";
            }
        }
    }
}

TEST(TransformFast, TooLongLengthFailsLikeTheReferenceBeforeAnyPlaneChanges) {
    // 2 * 10006 - 1 = 20011 is a prime above the limit: the rows fail at once;
    // for the columns the row pass of plane 0 has run (into the work plane
    // only) when the error comes.
    for (auto [w, h] : {std::pair{10006, 2}, std::pair{2, 10006}}) {
        const TSpectrumStore original = RandomStore(w, h, 11);
        TExactRecorder wantProgress;
        TSpectrumStore want = original;
        EXPECT_THROW(
            TransformStoreReference(want, TTransformDirection::Forward, nullptr, wantProgress),
            EMathError);
        for (int threads : {1, 2}) {
            TExactRecorder gotProgress;
            TSpectrumStore got = original;
            try {
                TransformStore(got, TTransformDirection::Forward, nullptr, gotProgress,
                               TTransformOptions{threads, TLaneSet::Auto});
                FAIL() << w << " x " << h << ": no error";
            } catch (const EMathError& e) {
                EXPECT_EQ(e.what(), TransformLengthMessage(w, h));
            }
            for (int p = 0; p < 3; ++p)
                ASSERT_EQ(got.Planes[p], original.Planes[p]) << w << " x " << h;
            EXPECT_EQ(gotProgress.events, wantProgress.events) << w << " x " << h;
        }
    }
}

TEST(TransformFast, EmptyStoreDoesNothing) {
    TSpectrumStore s;
    TExactRecorder rec;
    const TTransformResult r = TransformStore(s, TTransformDirection::Forward, nullptr, rec, {});
    EXPECT_EQ(r.Maximum, 1.0);
    EXPECT_EQ(r.ContrastPreset, 0);
    EXPECT_TRUE(rec.events.empty());
}

TEST(ThreadTeam, RunsEveryWorkerAndRethrowsTheFirstError) {
    std::atomic<int> ran{0};
    std::atomic<int> mask{0};
    RunOnThreads(5, [&](int worker) {
        ++ran;
        mask |= 1 << worker;
    });
    EXPECT_EQ(ran, 5);
    EXPECT_EQ(mask, 0b11111);

    ran = 0;
    EXPECT_THROW(RunOnThreads(3,
                              [&](int worker) {
                                  ++ran;
                                  if (worker == 2) throw std::runtime_error("worker 2");
                              }),
                 std::runtime_error);
    EXPECT_EQ(ran, 3); // the others still ran to their end and were joined

    EXPECT_EQ(ResolveThreadCount(0), AvailableProcessors());
    EXPECT_EQ(ResolveThreadCount(-4), AvailableProcessors());
    EXPECT_EQ(ResolveThreadCount(3), 3);
    EXPECT_EQ(ResolveThreadCount(100000), kMaxThreads);
    EXPECT_GE(AvailableProcessors(), 1);
}
