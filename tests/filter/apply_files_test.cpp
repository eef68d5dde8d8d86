// Many files at once: the core budget, the plan, and parallel runs that give
// the same results as one file at a time and keep failures to their file.
#include "filter/apply_files.h"
#include "spectral/display.h"
#include "spectral/errors.h"
#include "spectral/store_fill.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(b(3, 50, 8), std::pair(3u, 2u));    // 3 x 2 <= 8
    EXPECT_EQ(b(8, 2, 8), std::pair(2u, 4u));     // no more jobs than files
    EXPECT_EQ(b(16, 50, 8), std::pair(16u, 1u));  // asked for: at least one thread each
    EXPECT_EQ(b(0, 0, 0), std::pair(1u, 1u));
    for (unsigned cores = 1; cores <= 16; ++cores)
        for (unsigned jobs = 1; jobs <= cores; ++jobs) {
            const TThreadBudget t = BudgetThreads(jobs, 100, cores);
            EXPECT_LE(t.Jobs * t.ThreadsPerJob, cores);
            EXPECT_GT((t.Jobs) * (t.ThreadsPerJob + 1), cores);  // nothing left idle that could be used
        }
    EXPECT_GE(CoreCount(), 1u);
}

TEST(PlanFileJobs, TargetsAndDuplicateNames) {
    const auto jobs = PlanFileJobs({"/a/x.bmp", "/b/y.jpg", "/c/x.bmp", "x.bmp"}, "/out");
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
        if (name.find("bad") != std::string::npos || !files_.count(name)) throw EInvalidGraphic("Bitmap ist ungültig");
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

TEST(ApplyFilterToFiles, ParallelRunsEqualSingleRunsAndFailuresStayAlone) {
    TFilterList filter;
    filter.AppendLine("typ=rec,x1=10,x2=30,y1=10,y2=30");
    filter.AppendLine("typ=resize100,x1=8000");
    filter.AppendLine("typ=ell,x1=40,x2=70,y1=5,y2=50");
    std::vector<std::string> sources;
    TSharedDisk disk;
    for (int i = 0; i < 9; ++i) {
        const std::string name = "/in/" + std::string(i == 4 ? "bad" : "f") + std::to_string(i) + ".bmp";
        disk.Put(name, RandomBitmap(20 + 3 * i, 17 + i, uint32_t(i)));
        sources.push_back(name);
    }
    std::map<unsigned, std::vector<TBitmap24>> results;
    for (unsigned jobs : {1u, 3u, 8u}) {
        const std::string folder = "/out" + std::to_string(jobs);
        auto plan = PlanFileJobs(sources, folder);
        size_t calls = 0;
        const size_t failed = ApplyFilterToFiles(filter, plan, disk.Access(), jobs, [&](const TFileJob& job) {
            ++calls;
            EXPECT_EQ(job.Done, job.Error.empty()) << job.Source;
        });
        EXPECT_EQ(failed, 1u);
        EXPECT_EQ(calls, sources.size());
        for (const auto& job : plan) {
            const bool bad = job.Source.find("bad") != std::string::npos;
            EXPECT_EQ(job.Done, !bad) << job.Source;
            EXPECT_EQ(disk.Has(job.Target), !bad) << job.Target;
            if (bad) EXPECT_EQ(job.Error, "Bitmap ist ungültig");
            else results[jobs].push_back(disk.Get(job.Target));
        }
    }
    // Identical whatever the number of jobs, and equal to the batch's result.
    ASSERT_EQ(results[1].size(), 8u);
    for (unsigned jobs : {3u, 8u})
        for (size_t i = 0; i < results[1].size(); ++i) EXPECT_EQ(results[jobs][i].Bytes, results[1][i].Bytes) << i;
    TSpectrumStore store;
    TNoProgress quiet;
    FillStoreFromBitmap(disk.Get("/in/f8.bmp"), store);
    ApplyFilterToStore(store, filter, quiet);
    EXPECT_EQ(RenderStore(store, true, 0).Bytes, results[1].back().Bytes);
}

}  // namespace
