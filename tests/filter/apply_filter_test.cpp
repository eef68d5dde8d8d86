// Applying a filter to the store and the batch run, against the operations
// they replay called by hand.
#include "filter/apply_filter.h"
#include "filter/mark.h"
#include "filter/smoothing.h"
#include "spectral/display.h"
#include "spectral/errors.h"
#include "spectral/resize.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <map>
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

void ExpectSameStore(const TSpectrumStore& a, const TSpectrumStore& b) {
    ASSERT_EQ(a.Cols, b.Cols);
    ASSERT_EQ(a.Rows, b.Rows);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < a.CellCount(); ++i)
            ASSERT_EQ(FloatBits(a.Planes[p][i]), FloatBits(b.Planes[p][i])) << "plane " << p << " cell " << i;
}

// A spectrum-like store: random values, as a transform would leave them.
TSpectrumStore Spectrum(int32_t w, int32_t h, uint32_t seed) { return RandomStore(w, h, seed, -500, 500); }

TEST(ApplyFilterEntries, ReplaysEachEntryInOrder) {
    TFilterList f;
    const TNormalisedRegion r = MarkRegion({100, 50, 40, 20}, 200, 150);
    const TNormalisedRegion m = MirroredRegion(r);
    f.AppendEntry(0, r.x1, r.x2, r.y1, r.y2);
    f.AppendEntry(0, m.x1, m.x2, m.y1, m.y2);
    f.AppendEntry(1, 0.1f, 0.4f, 0.2f, 0.5f);
    f.AppendLine("typ=resize7,x1=5,x2=30,y1=5,y2=30");  // kind 7: an ellipse
    f.AppendLine("typ=REC,x1=1,x2=90,y1=1,y2=90");      // unrecognised: skipped
    f.AppendLine("");
    f.AppendLine("typ=resize250,x1=50");                 // beyond 200: skipped
    f.AppendLine("typ=resize150,x1=50");                 // mode 50: changes nothing

    TSpectrumStore got = Spectrum(200, 150, 1), want = got;
    TRecorder progress;
    ApplyFilterEntries(got, f, progress);
    SmoothRegion(want, 100, 140, 50, 70, false, TSmoothDirection::Smooth);
    SmoothRegion(want, CellBound(200, m.x1), CellBound(200, m.x2), CellBound(150, m.y1),
                 CellBound(150, m.y2), false, TSmoothDirection::Smooth);
    SmoothRegion(want, 20, 80, 30, 75, true, TSmoothDirection::Smooth);
    SmoothRegion(want, 10, 60, 8, 45, true, TSmoothDirection::Smooth);
    ExpectSameStore(got, want);
    EXPECT_TRUE(progress.phases.empty());
}

TEST(ApplyFilterEntries, ResizeChangesTheSizeForTheEntriesAfterIt) {
    const TFilterList f = Filter({"typ=rec,x1=10,x2=30,y1=20,y2=40", "typ=resize100,x1=5000",
                                  "typ=ell,x1=10,x2=30,y1=20,y2=40", "typ=resize102,x1=4550"});
    TSpectrumStore got = Spectrum(120, 80, 2), want = got;
    TRecorder progress;
    ApplyFilterEntries(got, f, progress);
    TNoProgress quiet;
    SmoothRegion(want, 12, 36, 16, 32, false, TSmoothDirection::Smooth);
    ResizeSpectrum(want, 50, 0, quiet);
    ASSERT_EQ(want.Cols, 60);
    SmoothRegion(want, 6, 18, 8, 16, true, TSmoothDirection::Smooth);
    ResizeSpectrum(want, 46, 2, quiet);  // round(45.5) = 46, halves to even
    ExpectSameStore(got, want);
    EXPECT_EQ(got.Rows, 46);
    EXPECT_EQ(progress.phases, (std::vector<std::string>{"ReInitializing", "ReInitializing ok",
                                                          "ReInitializing", "ReInitializing ok"}));
}

TEST(ApplyFilterEntries, SameFilterOnDifferentSizesUsesTheSameFractions) {
    const TFilterList f = Filter({"typ=ell,x1=25,x2=50,y1=10,y2=60"});
    for (auto [w, h] : {std::pair(64, 64), std::pair(101, 37), std::pair(300, 200)}) {
        TSpectrumStore got = Spectrum(w, h, 3), want = got;
        TNoProgress quiet;
        ApplyFilterEntries(got, f, quiet);
        SmoothRegion(want, CellBound(w, 0.25f), CellBound(w, 0.5f), CellBound(h, 0.1f),
                     CellBound(h, 0.6f), true, TSmoothDirection::Smooth);
        ExpectSameStore(got, want);
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
        const TFilterList f = Filter({"typ=rec,x1=10,x2=30,y1=20,y2=40", bad, "typ=rec,x1=50,x2=90,y1=50,y2=90"});
        TSpectrumStore got = Spectrum(50, 40, 4), want = got;
        TNoProgress quiet;
        try {
            ApplyFilterEntries(got, f, quiet);
            ADD_FAILURE() << bad << " was applied";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), message) << bad;
        }
        SmoothRegion(want, 5, 15, 8, 16, false, TSmoothDirection::Smooth);
        ExpectSameStore(got, want);
    }
    // Values that read as 0 or as harmless numbers apply.
    const TFilterList odd = Filter({"typ=rec,x1=nan,x2=-0,y1=-0,y2=50", "typ=rec,x1=1e-999,x2=1e2,y1=0,y2=100",
                                    "typ=resize100,x1=-1e9", "typ=resize104,x1=1e9", "typ=resize101,x1=nan"});
    TSpectrumStore s = Spectrum(50, 40, 5), want = s;
    TNoProgress quiet;
    EXPECT_NO_THROW(ApplyFilterEntries(s, odd, quiet));
    SmoothRegion(want, 0, 50, 0, 40, false, TSmoothDirection::Smooth);
    ExpectSameStore(s, want);
}

TEST(ApplyFilterEntries, HostileFiltersApplyOrFailWithAMessage) {
    std::mt19937 gen(99);
    std::vector<std::string> texts = {std::string(100000, ','), "typ=rec," + std::string(100000, ',') + "x1=1e999",
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
    TSpectrumStore got = RandomStore(30, 20, 7), want = got;
    const TFilterList f = Filter({"typ=rec,x1=10,x2=60,y1=10,y2=60"});
    TRecorder progress;
    ApplyFilterToStore(got, f, progress);
    TNoProgress quiet;
    TransformStore(want, TTransformDirection::Forward, nullptr, quiet);
    SmoothRegion(want, 3, 18, 2, 12, false, TSmoothDirection::Smooth);
    TransformStore(want, TTransformDirection::Inverse, nullptr, quiet);
    ExpectSameStore(got, want);
    ASSERT_FALSE(progress.phases.empty());
    EXPECT_EQ(progress.phases.front(), "Red1");
    EXPECT_EQ(progress.phases.back(), "Transformed");
    EXPECT_EQ(std::count(progress.phases.begin(), progress.phases.end(), "Transformed"), 2);

    // An empty filter runs only the transforms.
    TSpectrumStore plain = RandomStore(30, 20, 8), twice = plain;
    ApplyFilterToStore(plain, TFilterList{}, quiet);
    TransformStore(twice, TTransformDirection::Forward, nullptr, quiet);
    TransformStore(twice, TTransformDirection::Inverse, nullptr, quiet);
    ExpectSameStore(plain, twice);
}

// Image files in memory; a file whose name contains "bad" cannot be read.
struct TFakeDisk {
    std::map<std::string, TBitmap24> files;
    std::vector<std::string> reads, writes;
    TImageAccess Access() {
        return {[this](const std::string& name) {
                    reads.push_back(name);
                    if (name.find("bad") != std::string::npos || !files.count(name))
                        throw EInvalidGraphic("Bitmap ist ungültig");
                    return files.at(name);
                },
                [this](const std::string& name, const TBitmap24& image) {
                    writes.push_back(name);
                    files[name] = image;
                }};
    }
};

class TEvents final : public IBatchEvents {
public:
    std::vector<std::string> log;
    void FileStarted(size_t i, const std::string& source) override {
        log.push_back("start " + std::to_string(i) + " " + source);
    }
    void FileDone(size_t i, const std::string& target, const TBitmap24&) override {
        log.push_back("done " + std::to_string(i) + " " + target);
    }
};

TEST(RunBatch, WritesEachResultUnderItsNameAndStopsAtTheFirstError) {
    TFakeDisk disk;
    disk.files["/in/b.bmp"] = RandomBitmap(24, 16, 1);
    disk.files["/in/c.JPG"] = RandomBitmap(20, 20, 2);
    disk.files["/in/e.bmp"] = RandomBitmap(8, 8, 3);
    const TFilterList f = Filter({"typ=rec,x1=10,x2=60,y1=10,y2=60"});
    TSpectrumStore store;
    TEvents events;
    TNoProgress quiet;
    try {
        RunBatch(f, {"/in/b.bmp", "/in/c.JPG", "/in/bad.bmp", "/in/e.bmp"}, "/out", disk.Access(), store,
                 quiet, &events);
        ADD_FAILURE() << "the damaged file went through";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Bitmap ist ungültig");
    }
    EXPECT_EQ(disk.writes, (std::vector<std::string>{"/out/b.bmp", "/out/c.JPG"}));
    EXPECT_EQ(disk.reads, (std::vector<std::string>{"/in/b.bmp", "/in/c.JPG", "/in/bad.bmp"}));
    EXPECT_EQ(events.log, (std::vector<std::string>{"start 0 /in/b.bmp", "done 0 /out/b.bmp",
                                                     "start 1 /in/c.JPG", "done 1 /out/c.JPG",
                                                     "start 2 /in/bad.bmp"}));
    // Each result is the image mapping of the filtered store.
    TSpectrumStore check;
    FillStoreFromBitmap(disk.files["/in/c.JPG"], check);
    ApplyFilterToStore(check, f, quiet);
    EXPECT_EQ(disk.files["/out/c.JPG"].Bytes, RenderStore(check, true, 0).Bytes);
    // The store keeps the last processed image.
    ExpectSameStore(store, check);
}

TEST(RunBatch, EmptyFilterProcessesNothingAndPathsJoin) {
    TFakeDisk disk;
    disk.files["a.bmp"] = RandomBitmap(8, 8, 4);
    TSpectrumStore store;
    TNoProgress quiet;
    EXPECT_EQ(RunBatch(TFilterList{}, {"a.bmp"}, "/out", disk.Access(), store, quiet), 0u);
    EXPECT_TRUE(disk.reads.empty());
    EXPECT_EQ(RunBatch(Filter({"x"}), {"a.bmp"}, "/out/", disk.Access(), store, quiet), 1u);
    EXPECT_EQ(disk.writes, (std::vector<std::string>{"/out/a.bmp"}));
    EXPECT_EQ(BatchTargetPath("/x/y/z.jpeg", "/t"), "/t/z.jpeg");
    EXPECT_EQ(BatchTargetPath("z.bmp", "t/"), "t/z.bmp");
    EXPECT_EQ(BatchTargetPath("/x/z.bmp", ""), "z.bmp");
}

}  // namespace
