// The batch runner: the core budget, the plan, the events in file order, a
// failure going on or stopping as the host asks, a cancel between files, and
// parallel runs that give the same bytes as one file applied alone.
#include "filter/batch_runner.h"
#include "spectral/display.h"
#include "spectral/errors.h"
#include "spectral/store_fill.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>

namespace {

TEST(BudgetThreads, SharesTheCores) {
    const auto b = [](unsigned jobs, size_t files, unsigned cores) {
        const TThreadBudget t = BudgetThreads(jobs, files, cores);
        return std::pair(t.Jobs, t.ThreadsPerJob);
    };
    EXPECT_EQ(b(1, 50, 8), std::pair(1u, 8u));
    EXPECT_EQ(b(2, 50, 8), std::pair(2u, 4u));
    EXPECT_EQ(b(8, 50, 8), std::pair(8u, 1u));
    EXPECT_EQ(b(3, 50, 8), std::pair(3u, 2u));   // 3 x 2 <= 8
    EXPECT_EQ(b(8, 2, 8), std::pair(2u, 4u));    // no more jobs than files
    EXPECT_EQ(b(16, 50, 8), std::pair(16u, 1u)); // asked for: at least one thread each
    EXPECT_EQ(b(0, 0, 0), std::pair(1u, 1u));
    for (unsigned cores = 1; cores <= 16; ++cores)
        for (unsigned jobs = 1; jobs <= cores; ++jobs) {
            const TThreadBudget t = BudgetThreads(jobs, 100, cores);
            EXPECT_LE(t.Jobs * t.ThreadsPerJob, cores);
            EXPECT_GT((t.Jobs) * (t.ThreadsPerJob + 1),
                      cores); // nothing left idle that could be used
        }
}

TEST(PlanBatchFiles, TargetsAndDuplicateNames) {
    const auto jobs = PlanBatchFiles({"/a/x.bmp", "/b/y.jpg", "/c/x.bmp", "x.bmp"}, "/out");
    ASSERT_EQ(jobs.size(), 4u);
    EXPECT_EQ(jobs[0].Target, "/out/x.bmp");
    EXPECT_EQ(jobs[1].Target, "/out/y.jpg");
    EXPECT_TRUE(jobs[0].Error.empty());
    EXPECT_TRUE(jobs[1].Error.empty());
    EXPECT_EQ(jobs[2].Error, "has the same output name as /a/x.bmp");
    EXPECT_EQ(jobs[3].Error, "has the same output name as /a/x.bmp");
}

// Image files in memory, safe to use from several threads; names containing
// "bad" cannot be read.
class TSharedDisk {
public:
    void Put(const std::string& name, TBitmap24 image) {
        const std::lock_guard<std::mutex> lock(m_);
        files_[name] = std::move(image);
    }
    TBitmap24 Get(const std::string& name) {
        const std::lock_guard<std::mutex> lock(m_);
        if (name.find("bad") != std::string::npos || !files_.count(name))
            throw EInvalidGraphic("Bitmap ist ungültig");
        return files_.at(name);
    }
    bool Has(const std::string& name) {
        const std::lock_guard<std::mutex> lock(m_);
        return files_.count(name) > 0;
    }
    TImageAccess Access() {
        return {[this](const std::string& n) { return Get(n); },
                [this](const std::string& n, const TBitmap24& b) { Put(n, b); }};
    }

private:
    std::mutex m_;
    std::map<std::string, TBitmap24> files_;
};

TFilterList Filter(std::initializer_list<const char*> lines) {
    TFilterList f;
    for (const char* l : lines) f.AppendLine(l);
    return f;
}

// Writes one line per event, and may set the cancel flag when a file is done.
class TLog final : public IBatchEvents {
public:
    std::vector<std::string> lines;
    std::atomic<bool>* cancelAfterDone = nullptr;
    void FileStarted(size_t i, size_t n, const TBatchFile& f) override {
        lines.push_back("start " + std::to_string(i) + "/" + std::to_string(n) + " " + f.Source);
    }
    void FileDone(size_t i, size_t, const TBatchFile& f, const TBitmap24& image,
                  const TFilterList& applied) override {
        lines.push_back("done " + std::to_string(i) + " " + f.Target + " " +
                        std::to_string(image.Width) + " " + std::to_string(applied.EntryCount()));
        if (cancelAfterDone) *cancelAfterDone = true;
    }
    void FileFailed(size_t i, size_t, const TBatchFile& f, const TMessage& reason) override {
        lines.push_back("failed " + std::to_string(i) + " " + f.Source + ": " + GermanText(reason));
    }
    void Cancelled(size_t notStarted, size_t n) override {
        lines.push_back("cancelled " + std::to_string(notStarted) + "/" + std::to_string(n));
    }
};

class BatchRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        disk.Put("/in/a.bmp", RandomBitmap(24, 16, 1));
        disk.Put("/in/bad.bmp", RandomBitmap(8, 8, 2));
        disk.Put("/in/c.JPG", RandomBitmap(20, 20, 3));
        files = PlanBatchFiles({"/in/a.bmp", "/in/bad.bmp", "/in/c.JPG"}, "/out");
    }
    TBatchSummary Run(const TBatchOptions& options) {
        return RunBatch(files, FilterFileWork(filter), disk.Access(), options, &log);
    }
    TSharedDisk disk;
    std::vector<TBatchFile> files;
    TFilterList filter = Filter({"typ=rec,x1=10,x2=60,y1=10,y2=60", "typ=resize100,x1=5000"});
    TLog log;
};

TEST_F(BatchRunnerTest, GoesOnAfterAFailureReportingEachFileInOrder) {
    const TBatchSummary s = Run({});
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "start 0/3 /in/a.bmp", "done 0 /out/a.bmp 12 2",
                             "start 1/3 /in/bad.bmp", "failed 1 /in/bad.bmp: Bitmap ist ungültig",
                             "start 2/3 /in/c.JPG", "done 2 /out/c.JPG 10 2"}));
    EXPECT_EQ(s.Written, 2u);
    EXPECT_EQ(s.Failed, 1u);
    EXPECT_EQ(s.NotStarted, 0u);
    EXPECT_FALSE(s.Cancelled);
    EXPECT_TRUE(disk.Has("/out/c.JPG"));
}

TEST_F(BatchRunnerTest, StopsAtAFailureWhenAsked) {
    TBatchOptions options;
    options.StopAtFailure = true;
    const TBatchSummary s = Run(options);
    ASSERT_EQ(log.lines.size(), 4u);
    EXPECT_EQ(log.lines.back(), "failed 1 /in/bad.bmp: Bitmap ist ungültig");
    EXPECT_EQ(s.Written, 1u);
    EXPECT_EQ(s.NotStarted, 1u);
    EXPECT_FALSE(s.Cancelled) << "a stop is no cancel";
    EXPECT_TRUE(disk.Has("/out/a.bmp")) << "results written before stay";
    EXPECT_FALSE(disk.Has("/out/c.JPG"));
}

TEST_F(BatchRunnerTest, CancelFinishesTheCurrentFileAndStartsNoOther) {
    std::atomic<bool> cancel{false};
    log.cancelAfterDone = &cancel;
    TBatchOptions options;
    options.Cancel = &cancel;
    const TBatchSummary s = Run(options);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"start 0/3 /in/a.bmp", "done 0 /out/a.bmp 12 2",
                                                   "cancelled 2/3"}));
    EXPECT_TRUE(s.Cancelled);
    EXPECT_EQ(s.Written, 1u);
    EXPECT_EQ(s.NotStarted, 2u);
    // A flag set before the run starts nothing.
    log.lines.clear();
    EXPECT_EQ(Run(options).NotStarted, 3u);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"cancelled 3/3"}));
}

TEST_F(BatchRunnerTest, TheWorkIsAParameterAndItsFailureStaysWithItsFile) {
    // Any per-file operation: here one that inverts the image and applies nothing.
    int calls = 0;
    const TFileWork invert = [&](TSpectrumStore& store, const TTransformOptions&) {
        if (++calls == 1) throw Exception("no screen found");
        for (auto& plane : store.Planes)
            for (float& v : plane) v = 1.0f - v;
        return TFilterList{};
    };
    const auto plan = PlanBatchFiles({"/in/a.bmp", "/in/c.JPG"}, "/inv");
    const TBatchSummary s = RunBatch(plan, invert, disk.Access(), {}, &log);
    EXPECT_EQ(s.Written, 1u);
    EXPECT_EQ(log.lines[1], "failed 0 /in/a.bmp: no screen found");
    // Bytes minus 127, negated plus 1: byte b becomes 255 - b.
    const TBitmap24 source = disk.Get("/in/c.JPG"), result = disk.Get("/inv/c.JPG");
    for (size_t i = 0; i < source.Bytes.size(); ++i)
        ASSERT_EQ(result.Bytes[i], 255 - source.Bytes[i]) << i;
}

TEST(RunBatch, ParallelRunsEqualSingleFileAppliesAndFailuresStayAlone) {
    TFilterList filter;
    filter.AppendLine("typ=rec,x1=10,x2=30,y1=10,y2=30");
    filter.AppendLine("typ=resize100,x1=8000");
    filter.AppendLine("typ=ell,x1=40,x2=70,y1=5,y2=50");
    std::vector<std::string> sources;
    TSharedDisk disk;
    for (int i = 0; i < 9; ++i) {
        const std::string name =
            "/in/" + std::string(i == 4 ? "bad" : "f") + std::to_string(i) + ".bmp";
        disk.Put(name, RandomBitmap(20 + 3 * i, 17 + i, uint32_t(i)));
        sources.push_back(name);
    }
    std::map<unsigned, std::vector<TBitmap24>> results;
    for (unsigned jobs : {1u, 3u, 8u}) {
        const std::string folder = "/out" + std::to_string(jobs);
        const auto plan = PlanBatchFiles(sources, folder);
        TLog events;
        TBatchOptions options;
        options.Jobs = jobs;
        const TBatchSummary summary =
            RunBatch(plan, FilterFileWork(filter), disk.Access(), options, &events);
        EXPECT_EQ(summary.Failed, 1u);
        EXPECT_EQ(summary.Written, 8u);
        EXPECT_EQ(events.lines.size(), 2 * sources.size());
        for (const auto& job : plan) {
            const bool bad = job.Source.find("bad") != std::string::npos;
            EXPECT_EQ(disk.Has(job.Target), !bad) << job.Target;
            if (!bad) results[jobs].push_back(disk.Get(job.Target));
        }
    }
    // Identical whatever the number of jobs, and to the file applied alone.
    ASSERT_EQ(results[1].size(), 8u);
    for (unsigned jobs : {3u, 8u})
        for (size_t i = 0; i < results[1].size(); ++i)
            EXPECT_EQ(results[jobs][i].Bytes, results[1][i].Bytes) << i;
    TSpectrumStore store;
    TNoProgress quiet;
    FillStoreFromBitmap(disk.Get("/in/f8.bmp"), store);
    ApplyFilterToStore(store, filter, quiet);
    EXPECT_EQ(RenderStore(store, true, 0).Bytes, results[1].back().Bytes);
}

} // namespace

TEST(PlanBatchFiles, SuffixesBesideTheSourcesAndFilesListedTwice) {
    const auto beside =
        PlanBatchFiles({"/a/x.bmp", "y.tif", "/b/.hidden", "/a/./x.bmp"}, "", "-clean", true);
    EXPECT_EQ(beside[0].Target, "/a/x-clean.bmp");
    EXPECT_EQ(beside[1].Target, "y-clean.tif");
    EXPECT_EQ(beside[2].Target, "/b/.hidden-clean");
    EXPECT_EQ(beside[3].DuplicateOf, "/a/x.bmp");
    EXPECT_FALSE(beside[3].Error.empty());
    EXPECT_EQ(PlanBatchFiles({"/a/x.bmp"}, "/out", "_v2")[0].Target, "/out/x_v2.bmp");
}
