// Applying a filter to the store, against facts worked out by hand: which
// cells a region covers, the factor a cell is divided by (1 plus the squared
// distance to the nearest border times 5000 / (W + H), over the region's
// smaller side), the size after a resize, and what the transforms around the
// entries do to a flat image.
#include "filter/apply_filter.h"
#include "spectral/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// Records the phases an operation reports.
class TRecorder final : public IProgress {
public:
    std::vector<std::string> phases;
    void Phase(const std::string& key) override { phases.push_back(key); }
    void Percent(double) override {}
    void ClearPercent() override {}
};

TFilterList Filter(std::initializer_list<const char*> lines) {
    TFilterList f;
    for (const char* l : lines) f.AppendLine(l);
    return f;
}

// A store of w x h whose every cell in every plane holds v.
TSpectrumStore Flat(int32_t w, int32_t h, float v) {
    TSpectrumStore s;
    s.Resize(w, h);
    for (auto& p : s.Planes) std::fill(p.begin(), p.end(), v);
    return s;
}

// The cell's value in all three planes (they must agree).
float Cell(const TSpectrumStore& s, int c, int r) {
    EXPECT_EQ(FloatBits(s.At(0, c, r)), FloatBits(s.At(1, c, r))) << c << "," << r;
    EXPECT_EQ(FloatBits(s.At(0, c, r)), FloatBits(s.At(2, c, r))) << c << "," << r;
    return s.At(0, c, r);
}

void ExpectSameStore(const TSpectrumStore& a, const TSpectrumStore& b) {
    ASSERT_EQ(a.Cols, b.Cols);
    ASSERT_EQ(a.Rows, b.Rows);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < a.CellCount(); ++i)
            ASSERT_EQ(FloatBits(a.Planes[p][i]), FloatBits(b.Planes[p][i]))
                << "plane " << p << " cell " << i;
}

// A spectrum-like store: random values, as a transform would leave them.
TSpectrumStore Spectrum(int32_t w, int32_t h, uint32_t seed) {
    return RandomStore(w, h, seed, -500, 500);
}

TEST(ApplyFilterEntries, SmoothsEachRecognisedEntryAndSkipsTheOthers) {
    // 100 x 100, so W + H = 200 and a percentage is a cell number.
    const TFilterList f = Filter({
        "typ=rec,x1=10,x2=30,y1=20,y2=40",
        "typ=rec,x1=10,x2=30,y1=20,y2=40", // the same region again: divided twice
        "typ=ell,x1=50,x2=90,y1=50,y2=90",
        "typ=resize7,x1=50,x2=90,y1=0,y2=40", // kind 7 smooths as an ellipse
        "typ=REC,x1=1,x2=99,y1=1,y2=99",      // unrecognised: skipped
        "",
        "typ=resize250,x1=50", // beyond 200: skipped
        "typ=resize150,x1=50", // mode 50 changes nothing
    });
    TSpectrumStore s = Flat(100, 100, 1.0f);
    TRecorder progress;
    ApplyFilterEntries(s, f, progress);
    ASSERT_EQ(s.Cols, 100);
    ASSERT_EQ(s.Rows, 100);
    // Rectangle 10..30 x 20..40, smaller side 20: the centre is 10 from every
    // border, 10 * 10 * 5000 / 200 / 20 + 1 = 126; two cells in, 2 * 2 * 25 / 20 + 1 = 6.
    EXPECT_FLOAT_EQ(Cell(s, 20, 30), 1.0f / 126 / 126);
    EXPECT_FLOAT_EQ(Cell(s, 12, 30), 1.0f / 6 / 6);
    EXPECT_EQ(Cell(s, 10, 30), 1.0f) << "the border is divided by 1";
    EXPECT_EQ(Cell(s, 9, 30), 1.0f) << "outside";
    // Ellipse 50..90 x 50..90, smaller side 40: the centre 20 * 20 * 25 / 40 + 1 = 251;
    // the rectangle's corner region lies outside the ellipse.
    EXPECT_FLOAT_EQ(Cell(s, 70, 70), 1.0f / 251);
    EXPECT_EQ(Cell(s, 52, 52), 1.0f);
    // Kind 7 as an ellipse over 50..90 x 0..40: a rectangle would divide (51, 1).
    EXPECT_FLOAT_EQ(Cell(s, 70, 20), 1.0f / 251);
    EXPECT_EQ(Cell(s, 51, 1), 1.0f);
    EXPECT_EQ(Cell(s, 5, 60), 1.0f) << "the unrecognised line smoothed";
    EXPECT_TRUE(progress.phases.empty()) << "no resize changed the store";
}

TEST(ApplyFilterEntries, ResizeChangesTheSizeForTheEntriesAfterIt) {
    const TFilterList resized =
        Filter({"typ=rec,x1=10,x2=30,y1=20,y2=40", "typ=resize100,x1=5000"});
    TSpectrumStore before = Flat(120, 80, 1.0f);
    TNoProgress quiet;
    ApplyFilterEntries(before, resized, quiet);
    ASSERT_EQ(before.Cols, 60);
    ASSERT_EQ(before.Rows, 40);

    TFilterList more = resized;
    more.AppendLine("typ=ell,x1=10,x2=30,y1=20,y2=40");
    TRecorder progress;
    TSpectrumStore s = Flat(120, 80, 1.0f);
    ApplyFilterEntries(s, more, progress);
    // The ellipse smoothed 6..18 x 8..16 of 60 x 40 (not 12..36 x 16..32):
    // at its centre 4 * 4 * 5000 / 100 / 8 + 1 = 101.
    EXPECT_FLOAT_EQ(s.At(0, 12, 12) / before.At(0, 12, 12), 1.0f / 101);
    EXPECT_EQ(FloatBits(s.At(0, 24, 24)), FloatBits(before.At(0, 24, 24)))
        << "outside the new region";
    // A height of 45.5 rounds to 46 (halves to even); the width follows, 60 * 46 / 40.
    ApplyFilterEntries(s, Filter({"typ=resize102,x1=4550"}), progress);
    EXPECT_EQ(s.Rows, 46);
    EXPECT_EQ(s.Cols, 69);
    EXPECT_EQ(progress.phases, (std::vector<std::string>{"ReInitializing", "ReInitializing ok",
                                                         "ReInitializing", "ReInitializing ok"}));
}

TEST(ApplyFilterEntries, SameFilterOnDifferentSizesUsesTheSameFractions) {
    // ell 25..50 % x 10..60 %, bounds rounded with halves to the even cell.
    struct TCase {
        int32_t w, h, x1, x2, y1, y2;
    };
    for (const TCase k : {TCase{64, 64, 16, 32, 6, 38}, TCase{101, 37, 25, 50, 4, 22},
                          TCase{300, 200, 75, 150, 20, 120}}) {
        TSpectrumStore s = Flat(k.w, k.h, 1.0f);
        TNoProgress quiet;
        ApplyFilterEntries(s, Filter({"typ=ell,x1=25,x2=50,y1=10,y2=60"}), quiet);
        // On the centre row exactly the cells strictly between the borders change.
        const int32_t row = (k.y1 + k.y2) / 2;
        for (int32_t c = 0; c < k.w; ++c)
            EXPECT_EQ(Cell(s, c, row) != 1.0f, c > k.x1 && c < k.x2)
                << k.w << "x" << k.h << " cell " << c;
    }
}

TEST(ApplyFilterEntries, BadEntriesStopWithAMessageAndEarlierOnesStay) {
    const std::pair<const char*, const char*> cases[] = {
        {"typ=resize,x1=50", "'' ist kein gültiger Integerwert"},
        {"typ=rec,x1=1e999,x2=20,y1=10,y2=20", "Ungültige Gleitkommaoperation"},
        {"typ=ell,x1=-1e999,x2=20,y1=10,y2=20", "Ungültige Gleitkommaoperation"},
        {"typ=rec,x1=1e30,x2=20,y1=10,y2=20", "Ungültige Gleitkommaoperation"},
        {"typ=resize100,x1=1e999", "Ungültige Gleitkommaoperation"},
        {"typ=resize100,x1=1e15", "Ungültige Gleitkommaoperation"},
    };
    for (const auto& [bad, message] : cases) {
        const TFilterList f =
            Filter({"typ=rec,x1=10,x2=30,y1=20,y2=40", bad, "typ=rec,x1=50,x2=90,y1=50,y2=90"});
        TSpectrumStore s = Flat(50, 40, 1.0f);
        TNoProgress quiet;
        try {
            ApplyFilterEntries(s, f, quiet);
            ADD_FAILURE() << bad << " was applied";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), message) << bad;
        }
        EXPECT_NE(Cell(s, 10, 12), 1.0f) << "the first entry stays applied";
        EXPECT_EQ(Cell(s, 35, 28), 1.0f) << "the entry after the bad one did not run";
    }
    // Values that read as 0 or as harmless numbers apply: the first line is an
    // empty region, the second the whole 50 x 40 store, the resizes keep the size.
    const TFilterList odd =
        Filter({"typ=rec,x1=nan,x2=-0,y1=-0,y2=50", "typ=rec,x1=1e-999,x2=1e2,y1=0,y2=100",
                "typ=resize100,x1=-1e9", "typ=resize104,x1=1e9", "typ=resize101,x1=nan"});
    TSpectrumStore s = Flat(50, 40, 1.0f);
    TNoProgress quiet;
    EXPECT_NO_THROW(ApplyFilterEntries(s, odd, quiet));
    ASSERT_EQ(s.Cols, 50);
    ASSERT_EQ(s.Rows, 40);
    EXPECT_EQ(Cell(s, 0, 0), 1.0f);
    // The centre is 20 from the nearest border: 400 * 5000 / 90 / 40 + 1.
    EXPECT_NEAR(Cell(s, 25, 20), 1.0 / (400.0 * 5000 / 90 / 40 + 1), 1e-9);
}

TEST(ApplyFilterEntries, HostileFiltersApplyOrFailWithAMessage) {
    std::mt19937 gen(99);
    std::vector<std::string> texts = {
        std::string(100000, ','), "typ=rec," + std::string(100000, ',') + "x1=1e999",
        "typ=ell,x1=nan,x2=inf,y1=-0,y2=1e-999", "typ=resize100,x1=-0"};
    for (int i = 0; i < 30; ++i) {
        std::string t(200 + gen() % 2000, '\0');
        static const std::string alphabet = "typ=recllresize0123456789.,e-+\r\n \"x1y2";
        for (auto& ch : t) ch = char(gen() % 3 ? alphabet[gen() % alphabet.size()] : gen() % 256);
        texts.push_back(t);
    }
    for (const auto& text : texts) {
        const std::vector<std::string> lines = SplitFilterText(text, "f.flt");
        TFilterList f;
        for (const auto& l : lines) f.AppendLine(l);
        TSpectrumStore s = Spectrum(24, 18, 9);
        TNoProgress quiet;
        try {
            ApplyFilterEntries(s, f, quiet);
        } catch (const Exception& e) {
            EXPECT_GT(std::string(e.what()).size(), 10u);
        }
        EXPECT_EQ(s.CellCount(), s.Planes[0].size());
    }
}

TEST(ApplyFilterEntries, AbsurdResizeIsRefusedBeforeAnyAllocation) {
    for (const char* line : {"typ=resize100,x1=1e9", "typ=resize101,x1=2e11"}) {
        const TFilterList f = Filter({line});
        TSpectrumStore s = Spectrum(20, 10, 6), want = s;
        TNoProgress quiet;
        EXPECT_THROW(ApplyFilterEntries(s, f, quiet), Exception) << line;
        ExpectSameStore(s, want);
    }
}

TEST(ApplyFilterToStore, TransformsAroundTheEntries) {
    // A flat image has only the constant coefficient at (0, 0). An empty
    // filter gives the image back; one whose region holds (0, 0) four cells
    // inside divides it, and so the whole image, by 4 * 4 * 5000 / 50 / 4 + 1.
    TRecorder progress;
    TSpectrumStore plain = Flat(30, 20, 100.0f);
    ApplyFilterToStore(plain, TFilterList{}, progress);
    TSpectrumStore smoothed = Flat(30, 20, 100.0f);
    ApplyFilterToStore(smoothed, Filter({"typ=rec,x1=-10,x2=10,y1=-10,y2=10"}), progress);
    for (size_t i = 0; i < plain.CellCount(); ++i) {
        ASSERT_NEAR(plain.Planes[1][i], 100.0f, 1e-3) << i;
        ASSERT_NEAR(smoothed.Planes[1][i], 100.0f / 101, 1e-3) << i;
    }
    ASSERT_FALSE(progress.phases.empty());
    EXPECT_EQ(progress.phases.front(), "Red1");
    EXPECT_EQ(progress.phases.back(), "Transformed");
    EXPECT_EQ(std::count(progress.phases.begin(), progress.phases.end(), "Transformed"), 4);
}

TEST(BatchTargetPath, JoinsFolderAndName) {
    EXPECT_EQ(BatchTargetPath("/x/y/z.jpeg", "/t"), "/t/z.jpeg");
    EXPECT_EQ(BatchTargetPath("z.bmp", "t/"), "t/z.bmp");
    EXPECT_EQ(BatchTargetPath("/x/z.bmp", ""), "z.bmp");
}

} // namespace

TEST(ApplyFilterEntries, AFiltersWholeWorkIsBoundedBeforeAnythingChanges) {
    // A band damps the whole spectrum; so does a notch over all of it.
    TFilterList bands;
    for (int i = 0; i < 300; ++i) bands.AppendLine("typ=band,x1=10,x2=20,y1=1");
    EXPECT_EQ(FilterWork(bands, 2000, 2000), 300u * 2000 * 2000);
    EXPECT_NO_THROW(RequireFilterWork(bands, 1000, 1000)); // 300 visits a cell, under the floor
    try {
        RequireFilterWork(bands, 2000, 2000);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "the filter's 300 entries would work on 1200 million cells, more "
                               "than the 1074 million allowed for a spectrum of 2000 x 2000 cells");
    }
    // A resize counts the entries after it at the new size.
    TFilterList grown = Filter({"typ=resize100,x1=20000", "typ=band,x1=10,x2=20,y1=1"});
    EXPECT_EQ(FilterWork(grown, 100, 50), 2u * 200 * 100);

    TFilterList notches;
    for (int i = 0; i < 300000; ++i) notches.AppendLine("typ=notch,x1=0,x2=100,y1=0,y2=100");
    TSpectrumStore s = Spectrum(64, 64, 3), want = s;
    TNoProgress quiet;
    EXPECT_THROW(ApplyFilterEntries(s, notches, quiet), Exception);
    ExpectSameStore(s, want);
}
