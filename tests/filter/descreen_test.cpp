// Automatic screen removal: the notch entry's line, the notch's damping, and
// the finder with the whole descreen on pictures printed with known screens.
#include "filter/apply_filter.h"
#include "filter/descreen.h"
#include "filter/notch.h"
#include "filter/screen_finder.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

double Psnr(const TBitmap24& a, const TBitmap24& b) {
    double sum = 0.0;
    for (size_t i = 0; i < a.Bytes.size(); ++i) sum += std::pow(double(a.Bytes[i]) - b.Bytes[i], 2);
    const double mse = sum / double(a.Bytes.size());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

TBitmap24 Descreened(const TBitmap24& in, TFilterList* used = nullptr, int threads = 0,
                     bool fast = false) {
    TSpectrumStore store;
    FillStoreFromBitmap(in, store);
    TNoProgress quiet;
    TDescreenOptions options;
    options.Transform.Threads = threads;
    options.Transform.Fast = fast;
    const TFilterList filter = DescreenStore(store, quiet, options);
    if (used) *used = filter;
    return RenderStore(store, true, 0);
}

} // namespace

TEST(NotchEntry, HasALineOfItsOwnThatNoOtherKindSpells) {
    const auto line = FormatEntryLine(kFilterNotch, 0.25f, 0.5f, 0.125f, 0.375f);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "typ=notch,x1=25.00000,x2=50.00000,y1=12.50000,y2=37.50000");
    const TFilterEntry e = ParseEntryLine(*line);
    EXPECT_EQ(e.typ, kFilterNotch);
    EXPECT_FLOAT_EQ(e.y2, 0.375f);
    // A resize kind reads three characters at most, so it never reaches it.
    EXPECT_EQ(ParseEntryLine("typ=resize1000").typ, 100);
    EXPECT_EQ(ParseEntryLine("typ=Notch").typ, -1);
    EXPECT_EQ(ParseEntryLine(*FormatEntryLine(kFilterBand, 0.06f, 0.25f, 1.0f, 0.0f)).typ,
              kFilterBand);
}

TEST(Notch, BringsOutstandingCellsDownToTheLevelAroundAndLeavesTheRestAlone) {
    TSpectrumStore s = RandomStore(64, 64, 7, -10.0f, 10.0f);
    const TSpectrumStore before = s;
    for (int p = 0; p < 3; ++p) s.At(p, 32, 32) = 5000.0f * float(p + 1) * (p == 1 ? -1.0f : 1.0f);
    DampNotch(s, 28, 36, 28, 36);
    for (int p = 0; p < 3; ++p) {
        // The peak comes down to about the median magnitude around it (the
        // values around are uniform in -10..10, so about 5), keeping its sign.
        EXPECT_GT(std::fabs(s.At(p, 32, 32)), 3.0f);
        EXPECT_LT(std::fabs(s.At(p, 32, 32)), 7.0f);
        EXPECT_EQ(std::signbit(s.At(p, 32, 32)), p == 1);
    }
    int changed = 0;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) {
            if (c == 32 && r == 32) continue;
            const bool inside = std::hypot(c - 32, r - 32) <= 4.0;
            for (int p = 0; p < 3; ++p) {
                const float was = before.At(p, c, r), now = s.At(p, c, r);
                if (!inside) {
                    EXPECT_EQ(now, was) << c << "," << r;
                }
                EXPECT_LE(std::fabs(now), std::fabs(was));
                changed += now != was;
            }
        }
    EXPECT_GT(changed, 0); // cells inside above the level came down too
    // Too small a region, or one with nothing around it, changes nothing.
    TSpectrumStore t = before;
    DampNotch(t, 10, 11, 10, 20);
    DampNotch(t, -500, 500, -500, 500);
    EXPECT_EQ(t.Planes[0], before.Planes[0]);
}

TEST(Descreen, RemovesAScreenAndRecordsItAsAReplayableFilter) {
    const TBitmap24 clean = ScreenedPicture(320, 240, 0), screened = ScreenedPicture(320, 240, 3.6);
    TFilterList filter;
    const TBitmap24 out = Descreened(screened, &filter);
    ASSERT_FALSE(filter.Empty());
    EXPECT_LT(Psnr(screened, clean), 25.0);
    EXPECT_GT(Psnr(out, clean), Psnr(screened, clean) + 10.0);
    // A band damping or sideband damping first, then one notch per peak.
    EXPECT_TRUE(filter.GetEntry(0).typ == kFilterBand ||
                filter.GetEntry(0).typ == kFilterSidebands);
    for (size_t i = 1; i < filter.EntryCount(); ++i)
        EXPECT_EQ(filter.GetEntry(i).typ, kFilterNotch);

    // Replaying the recorded filter gives the same picture, bit for bit, and
    // neither depends on the number of threads.
    TSpectrumStore store;
    FillStoreFromBitmap(screened, store);
    TNoProgress quiet;
    ApplyFilterToStore(store, filter, quiet);
    EXPECT_EQ(RenderStore(store, true, 0).Bytes, out.Bytes);
    TFilterList single;
    EXPECT_EQ(Descreened(screened, &single, 1).Bytes, out.Bytes);
    EXPECT_EQ(single.Lines(), filter.Lines());
}

TEST(Descreen, LeavesPicturesWithoutAScreenAlone) {
    const TBitmap24 smooth = ScreenedPicture(200, 150, 0);
    TFilterList filter;
    EXPECT_GE(Psnr(Descreened(smooth, &filter), smooth), 45.0);
    EXPECT_TRUE(filter.Empty());
    // Noise has no peaks, a blank page no spectrum, a tiny image no room.
    for (const TBitmap24& b :
         {RandomBitmap(160, 120, 3), TBitmap24(100, 80), ScreenedPicture(12, 9, 3.0)}) {
        TSpectrumStore s;
        FillStoreFromBitmap(b, s);
        TNoProgress quiet;
        TransformStore(s, TTransformDirection::Forward, nullptr, quiet);
        EXPECT_TRUE(DetectScreen(s).Empty());
    }
}

TEST(Descreen, FastTransformCleansToWithinOneLevelOfTheExactOne) {
    // 2 * 251 - 1 and 2 * 190 - 1 are prime: the fast transform's chirp path.
    TBitmap24 photo = ScreenedPicture(251, 190, 0);
    uint32_t state = 5; // film grain over the smooth picture
    for (uint8_t& b : photo.Bytes) {
        state = state * 1664525u + 1013904223u;
        b = uint8_t(std::clamp(int(b) + int(state >> 28) - 8, 0, 255));
    }
    for (const bool screened : {false, true}) {
        const TBitmap24 picture = screened ? ScreenedPicture(251, 190, 4.5) : photo;
        TFilterList exactFilter, fastFilter;
        const TBitmap24 exact = Descreened(picture, &exactFilter);
        const TBitmap24 fast = Descreened(picture, &fastFilter, 0, true);
        EXPECT_EQ(exactFilter.Empty(), !screened);
        EXPECT_EQ(fastFilter.Lines(), exactFilter.Lines());
        int worst = 0;
        for (size_t i = 0; i < exact.Bytes.size(); ++i)
            worst = std::max(worst, std::abs(exact.Bytes[i] - fast.Bytes[i]));
        EXPECT_LE(worst, 1);
    }
}

TEST(Descreen, StrengthTakesMoreOfTheScreenTheHigherItIs) {
    const TBitmap24 screened = ScreenedPicture(320, 240, 3.6);
    double lastChange = -1.0;
    for (const double strength : {0.25, 1.0, 4.0}) {
        TSpectrumStore store;
        FillStoreFromBitmap(screened, store);
        TNoProgress quiet;
        TDescreenOptions options;
        options.Strength = strength;
        EXPECT_FALSE(DescreenStore(store, quiet, options).Empty()) << strength;
        // How far the result moved from the scan: 99 - PSNR grows with it.
        const double change = 99.0 - Psnr(RenderStore(store, true, 0), screened);
        EXPECT_GT(change, lastChange) << strength;
        lastChange = change;
    }
}

TEST(Descreen, OnTheSpectrumDampsAsApplyingWhatDetectionFoundDoes) {
    // Fine screens get the band damping, coarse ones the sideband damping;
    // both take what finding measured instead of measuring again.
    bool band = false, sidebands = false;
    for (const double cell : {2.2, 3.6, 6.0}) {
        const TSpectrumStore spectrum = SpectrumOf(ScreenedPicture(300, 224, cell));
        TNoProgress quiet;
        TSpectrumStore once = spectrum, twice = spectrum;
        const TFilterList found = DescreenSpectrum(once, quiet);
        const TFilterList detected = DetectScreen(twice);
        ASSERT_FALSE(found.Empty()) << cell;
        EXPECT_EQ(found.Lines(), detected.Lines()) << cell;
        band |= found.GetEntry(0).typ == kFilterBand;
        sidebands |= found.GetEntry(0).typ == kFilterSidebands;
        ApplyFilterEntries(twice, detected, quiet);
        for (int p = 0; p < 3; ++p) EXPECT_EQ(once.Planes[p], twice.Planes[p]) << cell;
    }
    EXPECT_TRUE(band && sidebands);
}
