// apply: a saved filter on many image files, in parallel.
//
// Unlike the window's batch run, which stops at the first failing file, the
// command goes through every file, reports each failure on its own line and
// exits with 1 when any failed: a script converting a folder of scans wants
// all it can get, and to know which ones to look at.
//
// At archive scale one run is spread over many processes and machines: each
// takes its shard of one stable list of files, a restarted run skips what is
// already written (saves are atomic, so a target that exists is complete),
// and every process can keep a report of one JSON line per file.
#include "cli/cli_support.h"

#include "filter/batch_runner.h"
#include "filter/image_file_access.h"
#include "spectral/thread_team.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

// "K/N": this process takes the files whose place in the list, counted from
// 0, leaves K when divided by N.
std::pair<size_t, size_t> ParseShard(const std::string& text) {
    const auto slash = text.find('/');
    const std::string bad = "--shard: '" + text + "' is not K/N with 0 <= K < N";
    if (slash == std::string::npos) throw EUsage(bad);
    int32_t k = 0, n = 0;
    try {
        k = ParseIntArg(text.substr(0, slash), "--shard");
        n = ParseIntArg(text.substr(slash + 1), "--shard");
    } catch (const EUsage&) {
        throw EUsage(bad);
    }
    if (n < 1 || k < 0 || k >= n) throw EUsage(bad);
    return {size_t(k), size_t(n)};
}

// One name per line; empty lines are skipped, a CR before the line end goes.
std::vector<std::string> ReadFileList(const std::string& list) {
    std::ifstream file;
    if (list != "-") {
        file.open(list);
        if (!file) throw EFileFailure(list, "cannot open the file list");
    }
    std::istream& in = list == "-" ? std::cin : file;
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) names.push_back(line);
    }
    if (in.bad()) throw EFileFailure(list, "cannot read the file list");
    return names;
}

int RunApply(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output", "jobs", "files-from", "shard", "report"}, {"skip-existing"});
    const auto& positional = args.Positional();
    const auto listName = args.Value("files-from");
    if (positional.empty() || (positional.size() < 2 && !listName))
        throw EUsage("expected FILTER.flt and at least one IMAGE (or --files-from LIST)");
    std::pair<size_t, size_t> shard{0, 1};
    if (auto sh = args.Value("shard")) shard = ParseShard(*sh);
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
    std::vector<std::string> sources(positional.begin() + 1, positional.end());
    if (listName) {
        const std::vector<std::string> listed = ReadFileList(*listName);
        sources.insert(sources.end(), listed.begin(), listed.end());
    }
    TCliReport report(args.Value("report"));
    // Output names are checked over the whole list, so every shard agrees on
    // which of two sources with one output name fails.
    std::vector<TBatchFile> files;
    size_t skipped = 0;
    {
        std::vector<TBatchFile> all = PlanBatchFiles(sources, folder);
        for (size_t i = shard.first; i < all.size(); i += shard.second) {
            if (args.Flag("skip-existing") && all[i].Error.empty() && std::filesystem::exists(all[i].Target, ec)) {
                report.Line(all[i], "skipped", "the output exists", 0);
                ++skipped;
                continue;
            }
            files.push_back(std::move(all[i]));
        }
    }
    TCliBatchLines lines("apply", files.size(), &report);
    TBatchOptions options;
    options.Jobs = requested;
    const TBatchSummary summary =
        RunBatch(files, FilterFileWork(filter), ImageFileAccess(), options, &lines);
    lines.ClearProgress();
    if (summary.Failed > 0) {
        std::fprintf(stderr, "pixmend-cli: %zu of %zu files failed\n", summary.Failed, files.size());
        return 1;
    }
    if (skipped > 0 && !Quiet()) std::printf("%zu files skipped: their outputs exist\n", skipped);
    return 0;
}

TCommandRegistrar apply({"apply", "apply a filter file to image files",
                         "usage: pixmend-cli apply FILTER.flt [IMAGE...] -o FOLDER [--jobs N]\n"
                         "         [--files-from LIST] [--shard K/N] [--skip-existing] [--report FILE]\n\n"
                         "Applies the filter to every IMAGE (forward transform, every entry in\n"
                         "order, inverse transform) and writes each result under its own name into\n"
                         "FOLDER, replacing what is there, in the format its extension names, with\n"
                         "its resolution, profile, grey and 16 bits. Every file is tried; each\n"
                         "failure is reported on one line\n"
                         "and the exit status is 1 if any file failed. N files are processed at once\n"
                         "(default: the number of cores); the results do not depend on N.\n\n"
                         "--files-from LIST  also the names in LIST, one per line (- reads stdin)\n"
                         "--shard K/N        only every N-th file of the list, starting at K (0..N-1)\n"
                         "--skip-existing    leave out files whose output exists (writes are atomic,\n"
                         "                   so an existing output is complete)\n"
                         "--report FILE      append one JSON line per file: input, output, status\n"
                         "                   (done, failed, skipped), message, seconds\n",
                         RunApply});

}  // namespace
