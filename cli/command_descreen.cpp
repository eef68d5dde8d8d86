// descreen: finds and removes the halftone screen of each image on its own.
// It runs like apply (every file is tried, failures are reported one per line)
// with the per-file work of finding the screen in place of a saved filter.
#include "cli/cli_support.h"

#include "filter/batch_runner.h"
#include "filter/descreen.h"
#include "imagefile/image_file.h"

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
    TDescreenLines(TBatchCommand& batch, bool saveFilters)
        : TCliBatchLines("descreen", batch), saveFilters_(saveFilters) {}

protected:
    std::string Note(const TBatchFile& file, const TFilterList& applied) override {
        // A filter that cannot be written fails the file: a rerun with
        // --skip-existing must not take it for done.
        if (saveFilters_) applied.SaveFilterFile(FilterPathFor(file.Target));
        return applied.Empty() ? "no screen found"
                               : std::to_string(applied.EntryCount()) + " entries";
    }

private:
    bool saveFilters_;
};

int RunDescreen(const std::vector<std::string>& argv) {
    TArgs args(argv, TBatchCommand::ValueOptions({"strength"}),
               TBatchCommand::Flags({"save-filters"}));
    const double strength = StrengthArg(args);
    const bool saveFilters = args.Flag("save-filters");
    // With filters saved next to the results, two results must not share a
    // filter name, and a file is done only when its filter is written too.
    const auto checkAll = [saveFilters](std::vector<TBatchFile>& files) {
        if (!saveFilters) return;
        std::map<std::string, std::string> claimed;
        for (TBatchFile& file : files) {
            const auto [it, fresh] = claimed.emplace(FilterPathFor(file.Target), file.Source);
            if (!fresh && file.Error.empty())
                file.Error = "has the same filter file name as " + it->second;
        }
    };
    const auto outputs = [saveFilters](const TBatchFile& file) {
        std::vector<std::string> owed{file.Target};
        if (saveFilters) owed.push_back(FilterPathFor(file.Target));
        return owed;
    };
    TBatchCommand batch(args, args.Positional(), {}, outputs, checkAll);
    const TFileWork work = [strength](TSpectrumStore& store, const TTransformOptions& transform) {
        TDescreenOptions descreen;
        descreen.Strength = strength;
        descreen.Transform = transform;
        TNoProgress quiet;
        return DescreenStore(store, quiet, descreen);
    };
    TDescreenLines lines(batch, saveFilters);
    const TBatchSummary summary =
        RunBatch(batch.Files(), batch.Bounded(work), CliImageAccess(), batch.Options(), &lines);
    lines.ClearProgress();
    return batch.Finish(summary.Failed + lines.LateFailures());
}

TCommandRegistrar
    descreen({"descreen", "find and remove the halftone screen of each image",
              "usage: pixmend-cli descreen [IMAGE...] -o FOLDER [--suffix S] [--jobs N]\n"
              "         [--strength S] [--save-filters] [--files-from LIST] [--allow-empty]\n"
              "         [--shard K/N] [--skip-existing] [--report FILE]\n\n"
              "Finds the screen in each IMAGE's spectrum on its own, damps it and writes\n"
              "the result under its own name into FOLDER, as 'apply' does. A picture\n"
              "without a screen is written unchanged but for the round trip through the\n"
              "transform. --strength S (0.25 to 4, default 1) finds weaker peaks and\n"
              "damps harder above 1, the opposite below; the default needs no tuning.\n"
              "--save-filters also writes what was applied as NAME.flt next to each\n"
              "result, to replay with 'apply' on other scans of the same print. Every\n"
              "file is tried; each failure is reported on one line and the exit status\n"
              "is 1 if any file failed. --suffix, --files-from, --shard, --skip-existing,\n"
              "--max-seconds-per-file\n"
              "and --report work as for 'apply', and no output may replace an input (with\n"
              "--save-filters a file counts as done only when its filter is written too).\n",
              RunDescreen});

} // namespace
