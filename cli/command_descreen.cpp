// descreen: finds and removes the halftone screen of each image on its own.
// It runs like apply (every file is tried, failures are reported one per line)
// with the per-file work of finding the screen in place of a saved filter.
#include "cli/cli_support.h"

#include "filter/batch_runner.h"
#include "filter/descreen.h"
#include "filter/image_file_access.h"
#include "spectral/thread_team.h"

#include <cstdio>
#include <filesystem>
#include <map>

namespace {

// The filter file saved next to a result: its name with ".flt" for the
// extension.
std::string FilterPathFor(const std::string& target) {
    return std::filesystem::path(target).replace_extension(".flt").string();
}

// The lines of apply, each written file's with what was found, and the
// filter saved next to it when asked.
class TDescreenLines final : public TCliBatchLines {
public:
    TDescreenLines(size_t count, bool saveFilters) : TCliBatchLines("descreen", count), saveFilters_(saveFilters) {}

protected:
    std::string Note(const TBatchFile& file, const TFilterList& applied) override {
        if (saveFilters_) {
            try {
                applied.SaveFilterFile(FilterPathFor(file.Target));
            } catch (const std::exception& e) {
                Failed(file, e.what());
            }
        }
        return applied.Empty() ? "no screen found" : std::to_string(applied.EntryCount()) + " entries";
    }

private:
    bool saveFilters_;
};

int RunDescreen(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output", "jobs", "strength"}, {"save-filters"});
    const auto& positional = args.Positional();
    if (positional.empty()) throw EUsage("expected at least one IMAGE");
    const std::string folder = args.Required("output");
    TBatchOptions options;
    options.Jobs = unsigned(AvailableProcessors());
    if (auto j = args.Value("jobs")) {
        const int32_t n = ParseIntArg(*j, "--jobs");
        if (n < 1) throw EUsage("--jobs: needs at least 1");
        options.Jobs = unsigned(n);
    }
    const double strength = StrengthArg(args);
    const bool saveFilters = args.Flag("save-filters");
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw EFileFailure(folder, "the output folder does not exist");

    std::vector<TBatchFile> files = PlanBatchFiles(positional, folder);
    if (saveFilters) {
        std::map<std::string, std::string> claimed;
        for (TBatchFile& file : files) {
            const auto [it, fresh] = claimed.emplace(FilterPathFor(file.Target), file.Source);
            if (!fresh && file.Error.empty()) file.Error = "has the same filter file name as " + it->second;
        }
    }
    const TFileWork work = [strength](TSpectrumStore& store, const TTransformOptions& transform) {
        TDescreenOptions descreen;
        descreen.Strength = strength;
        descreen.Transform = transform;
        TNoProgress quiet;
        return DescreenStore(store, quiet, descreen);
    };
    TDescreenLines lines(files.size(), saveFilters);
    const TBatchSummary summary = RunBatch(files, work, ImageFileAccess(), options, &lines);
    lines.ClearProgress();
    const size_t failed = summary.Failed + lines.LateFailures();
    if (failed > 0) {
        std::fprintf(stderr, "pixmend-cli: %zu of %zu files failed\n", failed, files.size());
        return 1;
    }
    return 0;
}

TCommandRegistrar descreen({"descreen", "find and remove the halftone screen of each image",
                            "usage: pixmend-cli descreen IMAGE... -o FOLDER [--jobs N] [--strength S]\n"
                            "                            [--save-filters]\n\n"
                            "Finds the screen in each IMAGE's spectrum on its own, damps it and writes\n"
                            "the result under its own name into FOLDER, as 'apply' does. A picture\n"
                            "without a screen is written unchanged but for the round trip through the\n"
                            "transform. --strength S (0.25 to 4, default 1) finds weaker peaks and\n"
                            "damps harder above 1, the opposite below; the default needs no tuning.\n"
                            "--save-filters also writes what was applied as NAME.flt next to each\n"
                            "result, to replay with 'apply' on other scans of the same print. Every\n"
                            "file is tried; each failure is reported on one line and the exit status\n"
                            "is 1 if any file failed.\n",
                            RunDescreen});

}  // namespace
