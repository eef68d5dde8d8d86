#pragma once
// Applying one filter to many image files at once, for the command-line tool
// and scripts: every file is tried whatever happens to the others, several
// files run in parallel, and the cores are shared between the files and
// their transforms. Each result is the same as a run of the file alone.

#include "filter/apply_filter.h"

#include <functional>
#include <string>
#include <vector>

struct TFileJob {
    std::string Source;
    std::string Target;
    std::string Error;  // why the file failed; set before the run to skip it
    bool Done = false;  // the result was written
};

// How the cores are shared: `Jobs` files at once, each of whose transforms
// runs on `ThreadsPerJob` threads, so that together they stay within the
// cores (unless more jobs than cores were asked for).
struct TThreadBudget {
    unsigned Jobs = 1;
    unsigned ThreadsPerJob = 1;
};
TThreadBudget BudgetThreads(unsigned requestedJobs, size_t files, unsigned cores);

// The number of cores, at least 1.
unsigned CoreCount();

// One job per source, its result under the source's name in the folder. A
// source whose output name an earlier one already has fails up front: the
// later result would silently replace the earlier one.
std::vector<TFileJob> PlanFileJobs(const std::vector<std::string>& sources, const std::string& folder);

// Runs every job without an error yet, `requestedJobs` at a time. `finished`
// is called once per job, from whichever thread ran it, one call at a time.
// Returns the number of jobs that failed (those failed up front included).
size_t ApplyFilterToFiles(const TFilterList& filter, std::vector<TFileJob>& jobs, const TImageAccess& images,
                          unsigned requestedJobs,
                          const std::function<void(const TFileJob&)>& finished = nullptr);
