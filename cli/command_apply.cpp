// apply: a saved filter on many image files, in parallel.
//
// Unlike the window's batch run, which stops at the first failing file, the
// command goes through every file, reports each failure on its own line and
// exits with 1 when any failed: a script converting a folder of scans wants
// all it can get, and to know which ones to look at.
#include "cli/cli_support.h"

#include "filter/batch_runner.h"
#include "filter/image_file_access.h"
#include "spectral/thread_team.h"

#include <cstdio>
#include <filesystem>

namespace {

int RunApply(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output", "jobs"});
    const auto& positional = args.Positional();
    if (positional.size() < 2) throw EUsage("expected FILTER.flt and at least one IMAGE");
    const std::string folder = args.Required("output");
    unsigned requested = unsigned(AvailableProcessors());
    if (auto j = args.Value("jobs")) {
        const int32_t n = ParseIntArg(*j, "--jobs");
        if (n < 1) throw EUsage("--jobs: needs at least 1");
        requested = unsigned(n);
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw EFileFailure(folder, "the output folder does not exist");

    TFilterList filter;
    ForFile(positional[0], [&] { filter.LoadFilterFile(positional[0]); });
    const std::vector<TBatchFile> files =
        PlanBatchFiles(std::vector<std::string>(positional.begin() + 1, positional.end()), folder);
    TCliBatchLines lines("apply", files.size());
    TBatchOptions options;
    options.Jobs = requested;
    const TBatchSummary summary =
        RunBatch(files, FilterFileWork(filter), ImageFileAccess(), options, &lines);
    lines.ClearProgress();
    if (summary.Failed > 0) {
        std::fprintf(stderr, "pixmend-cli: %zu of %zu files failed\n", summary.Failed, files.size());
        return 1;
    }
    return 0;
}

TCommandRegistrar apply({"apply", "apply a filter file to image files",
                         "usage: pixmend-cli apply FILTER.flt IMAGE... -o FOLDER [--jobs N]\n\n"
                         "Applies the filter to every IMAGE (forward transform, every entry in\n"
                         "order, inverse transform) and writes each result under its own name into\n"
                         "FOLDER, replacing what is there, in the format its extension names, with\n"
                         "its resolution, profile, grey and 16 bits. Every file is tried; each\n"
                         "failure is reported on one line\n"
                         "and the exit status is 1 if any file failed. N files are processed at once\n"
                         "(default: the number of cores); the results do not depend on N.\n",
                         RunApply});

}  // namespace
