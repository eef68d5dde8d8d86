#include "filter/apply_files.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <thread>

TThreadBudget BudgetThreads(unsigned requestedJobs, size_t files, unsigned cores) {
    TThreadBudget budget;
    budget.Jobs = unsigned(std::clamp<size_t>(requestedJobs, 1, std::max<size_t>(files, 1)));
    budget.ThreadsPerJob = std::max(1u, std::max(cores, 1u) / budget.Jobs);
    return budget;
}

unsigned CoreCount() { return std::max(1u, std::thread::hardware_concurrency()); }

std::vector<TFileJob> PlanFileJobs(const std::vector<std::string>& sources, const std::string& folder) {
    std::vector<TFileJob> jobs;
    std::map<std::string, std::string> claimed;
    for (const auto& source : sources) {
        TFileJob job{source, BatchTargetPath(source, folder), {}, false};
        const auto [it, fresh] = claimed.emplace(job.Target, source);
        if (!fresh) job.Error = "has the same output name as " + it->second;
        jobs.push_back(std::move(job));
    }
    return jobs;
}

size_t ApplyFilterToFiles(const TFilterList& filter, std::vector<TFileJob>& jobs, const TImageAccess& images,
                          unsigned requestedJobs, const std::function<void(const TFileJob&)>& finished) {
    const TThreadBudget budget = BudgetThreads(requestedJobs, jobs.size(), CoreCount());
    TTransformOptions transform;
    transform.Threads = int(budget.ThreadsPerJob);
    std::mutex reporting;
    std::atomic<size_t> next{0};
    // Each worker takes the next file; results do not depend on which worker
    // ran a file, or when.
    const auto worker = [&] {
        TSpectrumStore store;
        TNoProgress quiet;
        for (size_t i = next++; i < jobs.size(); i = next++) {
            TFileJob& job = jobs[i];
            if (job.Error.empty()) {
                try {
                    ApplyFilterToFile(filter, job.Source, job.Target, images, store, quiet, transform);
                    job.Done = true;
                } catch (const std::bad_alloc&) {
                    job.Error = "not enough memory";
                } catch (const std::exception& e) {
                    job.Error = e.what();
                }
                // The store of a failed file may be half-way; release it.
                if (!job.Done) store = TSpectrumStore{};
            }
            if (finished) {
                const std::lock_guard<std::mutex> lock(reporting);
                finished(job);
            }
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < budget.Jobs; ++t) {
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error&) {
            break;  // fewer workers share the files
        }
    }
    worker();
    for (auto& t : threads) t.join();
    return size_t(std::count_if(jobs.begin(), jobs.end(), [](const TFileJob& j) { return !j.Done; }));
}
