// The image transform: its numeric examples, the source of its input, the
// threshold, the running maximum, its progress reports and its error.
#include "spectral/errors.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <vector>

namespace {

// Records what the transform reports, in order.
class TRecorder final : public IProgress {
public:
    std::vector<std::string> events;
    void Phase(const std::string& key) override { events.push_back(key); }
    void Percent(double p) override {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f", p);
        events.push_back(buf);
    }
    void ClearPercent() override { events.push_back("clear"); }
};

TTransformResult Apply(TSpectrumStore& s, TTransformDirection d,
                       const TBitmap24* source = nullptr) {
    TNoProgress none;
    return TransformStore(s, d, source, none);
}

TSpectrumStore StoreOf(int32_t w, int32_t h, const std::vector<float>& values) {
    TSpectrumStore s;
    s.Resize(w, h);
    for (auto& p : s.Planes) p = values;
    return s;
}

} // namespace

TEST(Transform, OneByOneImageIsItsOwnSpectrum) {
    auto s = StoreOf(1, 1, {-41.0f});
    const auto result = Apply(s, TTransformDirection::Forward);
    EXPECT_EQ(s.Planes[0][0], -41.0f);
    EXPECT_EQ(result.Maximum, 1.0);
    EXPECT_EQ(result.ContrastPreset, 0);
    Apply(s, TTransformDirection::Inverse);
    EXPECT_EQ(s.Planes[2][0], -41.0f);
}

TEST(Transform, TwoByOneImageGivesTheMirroredCosineSums) {
    const float a = 17.0f, b = -40.0f;
    auto s = StoreOf(2, 1, {a, b});
    Apply(s, TTransformDirection::Forward);
    EXPECT_FLOAT_EQ(s.Planes[1][0], a + 2 * b);
    EXPECT_FLOAT_EQ(s.Planes[1][1], a - b);
    Apply(s, TTransformDirection::Inverse);
    EXPECT_NEAR(s.Planes[1][0], a, 1e-5);
    EXPECT_NEAR(s.Planes[1][1], b, 1e-5);
}

TEST(Transform, UniformImageHasOnlyTheConstantTerm) {
    for (int v : {0, 100, 127, 200, 255}) {
        auto s = StoreOf(8, 8, std::vector<float>(64, float(v) - 127.0f));
        const auto result = Apply(s, TTransformDirection::Forward);
        for (int p = 0; p < 3; ++p) {
            EXPECT_FLOAT_EQ(s.Planes[p][0], float(v - 127) * 225.0f) << v;
            for (int i = 1; i < 64; ++i) ASSERT_EQ(s.Planes[p][size_t(i)], 0.0f) << v << " " << i;
        }
        EXPECT_EQ(result.Maximum, 1.0);
        EXPECT_EQ(result.ContrastPreset, 0);
    }
}

TEST(Transform, RoundTripRestoresTheImage) {
    for (auto [w, h] : {std::pair{13, 7}, {64, 48}, {100, 101}, {33, 1}, {1, 33}, {640, 3}}) {
        const auto original = RandomStore(w, h, uint32_t(w * 1000 + h));
        auto s = original;
        Apply(s, TTransformDirection::Forward);
        Apply(s, TTransformDirection::Inverse);
        const double tolerance = std::max(2e-3, 3e-5 * (w + h));
        for (int p = 0; p < 3; ++p)
            for (size_t i = 0; i < s.CellCount(); ++i) {
                const float want = original.Planes[p][i];
                if (std::fabs(want) < 0.099f) {
                    ASSERT_EQ(s.Planes[p][i],
                              0.0f); // the 0.1 threshold makes near-zero cells exact
                } else if (std::fabs(want) > 0.101f) {
                    ASSERT_NEAR(s.Planes[p][i], want, tolerance)
                        << w << "x" << h << " plane " << p << " cell " << i;
                }
            }
    }
}

TEST(Transform, ThresholdZeroesMagnitudesBelowPointOne) {
    // A 1 x 1 store is its own spectrum, so the threshold alone decides.
    const float tenth = 0.1f; // slightly above one tenth: kept
    const float below = std::nextafter(tenth, 0.0f);
    for (float v : {tenth, -tenth, below, -below, 0.5f}) {
        auto s = StoreOf(1, 1, {v});
        Apply(s, TTransformDirection::Forward);
        EXPECT_EQ(s.Planes[0][0], std::fabs(v) < 0.1 ? 0.0f : v) << v;
    }
}

TEST(Transform, BitmapSourceEqualsTheFilledStore) {
    TBitmap24 image(37, 23);
    for (size_t i = 0; i < image.Bytes.size(); ++i) image.Bytes[i] = uint8_t((i * 7919u) >> 3);
    TSpectrumStore fromPlanes, fromBitmap;
    FillStoreFromBitmap(image, fromPlanes);
    FillStoreFromBitmap(image, fromBitmap);
    for (auto& p : fromBitmap.Planes) std::fill(p.begin(), p.end(), 1e9f); // must not be read
    Apply(fromPlanes, TTransformDirection::Forward);
    Apply(fromBitmap, TTransformDirection::Forward, &image);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < fromPlanes.CellCount(); ++i)
            ASSERT_EQ(FloatBits(fromBitmap.Planes[p][i]), FloatBits(fromPlanes.Planes[p][i]));
}

TEST(Transform, InverseAlwaysReadsThePlanes) {
    TBitmap24 image(5, 4);
    auto a = RandomStore(5, 4, 3), b = a;
    Apply(a, TTransformDirection::Inverse, &image);
    Apply(b, TTransformDirection::Inverse);
    for (size_t i = 0; i < a.CellCount(); ++i)
        ASSERT_EQ(FloatBits(a.Planes[0][i]), FloatBits(b.Planes[0][i]));
}

TEST(Transform, MaximumIgnoresRowAndColumnZeroAndPresetsTheContrast) {
    // A spectrum whose inverse we transform forward again keeps its maximum.
    TSpectrumStore s;
    s.Resize(6, 5);
    s.At(0, 0, 0) = 1e9f;      // constant term: ignored
    s.At(1, 4, 0) = 1e8f;      // row 0: ignored
    s.At(2, 0, 3) = 1e8f;      // column 0: ignored
    s.At(1, 2, 2) = 500000.0f; // e^13.12
    Apply(s, TTransformDirection::Inverse);
    const auto result = Apply(s, TTransformDirection::Forward);
    EXPECT_NEAR(result.Maximum, 500000.0, 5.0);
    EXPECT_EQ(result.ContrastPreset, -26);
    EXPECT_EQ(ContrastPresetFor(1.0), 0);
    EXPECT_EQ(ContrastPresetFor(2.0), 0);
    EXPECT_EQ(ContrastPresetFor(std::exp(1.5)), -2);
    EXPECT_EQ(ContrastPresetFor(std::exp(30.0)), -50);
}

TEST(Transform, ReportsPhasesAndPercentagesAtEveryHundredthLine) {
    auto s = RandomStore(230, 120, 1);
    TRecorder rec;
    TransformStore(s, TTransformDirection::Forward, nullptr, rec);
    const std::vector<std::string> want = {"Red1", "0.0",    "13.9",  "Red2", "16.7",   "23.9",
                                           "31.2", "Green1", "33.3",  "47.2", "Green2", "50.0",
                                           "57.2", "64.5",   "Blue1", "66.6", "80.5",   "Blue2",
                                           "83.3", "90.5",   "97.8"};
    EXPECT_EQ(rec.events, want);
}

TEST(Transform, TooWideImageFailsBeforeAnyPlaneChanges) {
    for (auto [w, h] : {std::pair{10006, 1}, std::pair{1, 10006}}) {
        const auto original = RandomStore(w, h, 11);
        auto s = original;
        try {
            Apply(s, TTransformDirection::Forward);
            FAIL() << w << "x" << h;
        } catch (const EMathError& e) {
            const std::string side = w > 1 ? "10006 pixels wide" : "10006 pixels high";
            const std::string size = w > 1 ? "width" : "height";
            EXPECT_EQ(e.what(), "Prime factor for FFT length too large. The image is " + side +
                                    ": its transform length 20011 has the prime factor 20011, "
                                    "above the 20007 the FFT takes. The largest " +
                                    size +
                                    " below it that works is 10005 pixels; crop the image to it.");
        }
        for (int p = 0; p < 3; ++p) ASSERT_EQ(s.Planes[p], original.Planes[p]);
    }
}

TEST(Transform, EmptyStoreDoesNothing) {
    TSpectrumStore s;
    EXPECT_NO_THROW(Apply(s, TTransformDirection::Forward));
    EXPECT_TRUE(s.Empty());
}

TEST(StoreFill, PixelBytesMinus127InTheirPlanes) {
    TBitmap24 image(3, 2);
    uint8_t* px = image.Pixel(2, 1);
    px[0] = 0;
    px[1] = 127;
    px[2] = 255;
    TSpectrumStore s;
    FillStoreFromBitmap(image, s);
    EXPECT_EQ(s.Rows, 2);
    EXPECT_EQ(s.Cols, 3);
    EXPECT_EQ(s.WorkPlane.size(), 6u);
    EXPECT_EQ(s.Planes[0][5], -127.0f);
    EXPECT_EQ(s.Planes[1][5], 0.0f);
    EXPECT_EQ(s.Planes[2][5], 128.0f);
    EXPECT_EQ(s.Planes[0][0], -127.0f);
}

namespace {

// Sets a cancel flag once the reported percentage reaches `at`.
class TCancelAt final : public IProgress {
public:
    TCancelAt(std::atomic<bool>& flag, double at) : flag_(flag), at_(at) {}
    void Phase(const std::string&) override {}
    void Percent(double p) override {
        if (p >= at_) flag_ = true;
    }
    void ClearPercent() override {}

private:
    std::atomic<bool>& flag_;
    double at_;
};

bool SameBits(const tdline& a, const tdline& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FloatBits(a[i]) != FloatBits(b[i])) return false;
    return true;
}

} // namespace

TEST(Transform, KeptPlanesGiveTheSameBitsInEveryMode) {
    // 250 rows: the cancel checks between blocks run across several blocks.
    const TBitmap24 image = RandomBitmap(61, 250, 5);
    for (const bool fast : {false, true})
        for (const int threads : {1, 3})
            for (const bool fromBitmap : {true, false})
                for (const auto direction :
                     {TTransformDirection::Forward, TTransformDirection::Inverse}) {
                    TSpectrumStore inPlace;
                    FillStoreFromBitmap(image, inPlace);
                    if (direction == TTransformDirection::Inverse)
                        Apply(inPlace, TTransformDirection::Forward);
                    TSpectrumStore kept = inPlace;
                    const TBitmap24* source = fromBitmap ? &image : nullptr;
                    TTransformOptions options;
                    options.Fast = fast;
                    options.Threads = threads;
                    TNoProgress none;
                    const auto a = TransformStore(inPlace, direction, source, none, options);
                    options.KeepPlanes = true;
                    const auto b = TransformStore(kept, direction, source, none, options);
                    EXPECT_EQ(a.Maximum, b.Maximum);
                    for (int p = 0; p < 3; ++p)
                        ASSERT_TRUE(SameBits(inPlace.Planes[p], kept.Planes[p]))
                            << "plane " << p << " fast " << fast << " threads " << threads;
                }
}

TEST(Transform, CancelStopsTheRunAndKeptPlanesStayAsTheyWere) {
    for (const int threads : {1, 4})
        for (const bool keep : {false, true}) {
            TSpectrumStore store = RandomStore(61, 250, 8);
            const TSpectrumStore before = store;
            std::atomic<bool> cancel{false};
            TCancelAt progress(cancel, 40.0); // in the second plane's row pass
            TTransformOptions options;
            options.Threads = threads;
            options.KeepPlanes = keep;
            options.Cancel = &cancel;
            EXPECT_THROW(
                TransformStore(store, TTransformDirection::Inverse, nullptr, progress, options),
                ETransformCancelled);
            for (int p = 0; p < 3; ++p)
                EXPECT_EQ(SameBits(store.Planes[p], before.Planes[p]), keep || p > 0)
                    << "plane " << p << " keep " << keep << ": without keeping, the first is done";
        }
}
