// apply: a saved filter on many image files, in parallel.
//
// Unlike the window's batch run, which stops at the first failing file, the
// command goes through every file, reports each failure on its own line and
// exits with 1 when any failed: a script converting a folder of scans wants
// all it can get, and to know which ones to look at.
#include "cli/cli_support.h"

#include "filter/apply_filter.h"
#include "filter/image_file_access.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace {

// How the machine's cores are shared: `Jobs` files at once, each of whose
// transforms runs on `ThreadsPerJob` threads, so that the total stays within
// the cores.
struct TThreadBudget {
    unsigned Jobs = 1;
    unsigned ThreadsPerJob = 1;
};

TThreadBudget BudgetThreads(unsigned requestedJobs, size_t files, unsigned cores) {
    TThreadBudget budget;
    budget.Jobs = unsigned(std::max<size_t>(1, std::min<size_t>(requestedJobs, std::max<size_t>(files, 1))));
    budget.ThreadsPerJob = std::max(1u, cores / budget.Jobs);
    return budget;
}

unsigned CoreCount() { return std::max(1u, std::thread::hardware_concurrency()); }

struct TJob {
    std::string Source;
    std::string Target;
    std::string Error;  // set when the file failed
    bool Done = false;
};

// One output name claimed by two sources would let the later result silently
// replace the earlier one; the later source fails instead.
void RefuseDuplicateTargets(std::vector<TJob>& jobs) {
    std::map<std::string, std::string> claimed;
    for (auto& job : jobs) {
        const auto [it, fresh] = claimed.emplace(job.Target, job.Source);
        if (!fresh) job.Error = "has the same output name as " + it->second;
    }
}

int RunApply(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output", "jobs"});
    const auto& positional = args.Positional();
    if (positional.size() < 2) throw EUsage("expected FILTER.flt and at least one IMAGE");
    const std::string folder = args.Required("output");
    unsigned requested = CoreCount();
    if (auto j = args.Value("jobs")) {
        const int32_t n = ParseIntArg(*j, "--jobs");
        if (n < 1) throw EUsage("--jobs: needs at least 1");
        requested = unsigned(n);
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw Exception("the output folder " + folder + " does not exist");

    TFilterList filter;
    filter.LoadFilterFile(positional[0]);

    std::vector<TJob> jobs;
    for (size_t i = 1; i < positional.size(); ++i)
        jobs.push_back({positional[i], BatchTargetPath(positional[i], folder), {}, false});
    RefuseDuplicateTargets(jobs);

    const TThreadBudget budget = BudgetThreads(requested, jobs.size(), CoreCount());
    const TImageAccess images = ImageFileAccess();
    TTransformOptions transform;
    transform.Threads = int(budget.ThreadsPerJob);
    std::mutex report;
    std::atomic<size_t> next{0};
    // Each worker takes the next file and keeps one store for all its files;
    // results do not depend on which worker ran a file, or when.
    const auto worker = [&] {
        TSpectrumStore store;
        TNoProgress quiet;
        for (size_t i = next++; i < jobs.size(); i = next++) {
            TJob& job = jobs[i];
            if (job.Error.empty()) {
                try {
                    ApplyFilterToFile(filter, job.Source, job.Target, images, store, quiet, transform);
                    job.Done = true;
                } catch (const std::bad_alloc&) {
                    job.Error = "not enough memory";
                } catch (const std::exception& e) {
                    job.Error = e.what();
                }
                // A failed file's store may be half-way; the next one starts afresh.
                if (!job.Done) store = TSpectrumStore{};
            }
            const std::lock_guard<std::mutex> lock(report);
            if (job.Done)
                std::printf("%s -> %s\n", job.Source.c_str(), job.Target.c_str());
            else
                std::fprintf(stderr, "pixmend-cli apply: %s: %s\n", job.Source.c_str(), job.Error.c_str());
            std::fflush(stdout);
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < budget.Jobs; ++t) threads.emplace_back(worker);
    worker();
    for (auto& t : threads) t.join();

    const size_t failed = size_t(std::count_if(jobs.begin(), jobs.end(), [](const TJob& j) { return !j.Done; }));
    if (failed > 0) {
        std::fprintf(stderr, "pixmend-cli apply: %zu of %zu files failed\n", failed, jobs.size());
        return 1;
    }
    return 0;
}

TCommandRegistrar apply({"apply", "apply a filter file to image files",
                         "usage: pixmend-cli apply FILTER.flt IMAGE... -o FOLDER [--jobs N]\n\n"
                         "Applies the filter to every IMAGE (forward transform, every entry in\n"
                         "order, inverse transform) and writes each result under its own name into\n"
                         "FOLDER, replacing what is there: a JPEG for names ending in .jpg, a 24-bit\n"
                         "bitmap otherwise. Every file is tried; each failure is reported on one line\n"
                         "and the exit status is 1 if any file failed. N files are processed at once\n"
                         "(default: the number of cores); the results do not depend on N.\n",
                         RunApply});

}  // namespace
