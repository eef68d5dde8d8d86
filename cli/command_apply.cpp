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
#include "imagefile/image_file.h"

namespace {

int RunApply(const std::vector<std::string>& argv) {
    TArgs args(argv, TBatchCommand::ValueOptions({}), TBatchCommand::Flags({}));
    const auto& positional = args.Positional();
    if (positional.empty())
        throw EUsage("expected FILTER.flt and at least one IMAGE (or --files-from LIST)");
    TBatchCommand batch(args, std::vector<std::string>(positional.begin() + 1, positional.end()),
                        {positional[0]});
    TFilterList filter;
    ForFile(positional[0], [&] { filter.LoadFilterFile(positional[0]); });
    TCliBatchLines lines("apply", batch);
    const TBatchSummary summary = RunBatch(batch.Files(), batch.Bounded(FilterFileWork(filter)),
                                           CliImageAccess(), batch.Options(), &lines);
    lines.ClearProgress();
    return batch.Finish(summary.Failed);
}

TCommandRegistrar
    apply({"apply", "apply a filter file to image files",
           "usage: pixmend-cli apply FILTER.flt [IMAGE...] -o FOLDER [--suffix S] [--jobs N]\n"
           "         [--files-from LIST] [--allow-empty] [--shard K/N] [--skip-existing]\n"
           "         [--report FILE]\n\n"
           "Applies the filter to every IMAGE (forward transform, every entry in\n"
           "order, inverse transform) and writes each result under its own name into\n"
           "FOLDER, replacing what is there, in the format its extension names, with\n"
           "its resolution, profile, grey and 16 bits. An output that would replace an\n"
           "input (the same name, or the same file through a link) stops the run before\n"
           "any work. Every file is tried; each failure is reported on one line and the\n"
           "exit status is 1 if any file failed. N files are processed at once\n"
           "(default: the number of cores); the results do not depend on N.\n\n"
           "--suffix S         put S before each result's extension (scan.png gives\n"
           "                   scan-clean.png with -clean); without -o the results go\n"
           "                   beside their inputs\n"
           "--files-from LIST  also the names in LIST, one per line (- reads stdin); a\n"
           "                   list naming no file is an error unless --allow-empty\n"
           "--shard K/N        only every N-th file of the list, starting at K (0..N-1)\n"
           "--skip-existing    leave out files whose outputs are complete regular files\n"
           "                   (writes are atomic, so an existing output is complete)\n"
           "--report FILE      append one JSON line per file: input, output, status\n"
           "                   (done, failed, skipped, duplicate), message, seconds; a\n"
           "                   name that is not UTF-8 shows U+FFFD for its odd bytes and\n"
           "                   comes exactly as input_hex / output_hex. A report that\n"
           "                   cannot be written fails the run.\n"
           "--max-seconds-per-file S  fail a file still working after S seconds (and at\n"
           "                   once one whose exact transform cannot be done in S), with\n"
           "                   the advice to use --fast; the run goes on. Default: 3600\n"
           "                   without a terminal, no limit on one; 0: no limit.\n"
           "A file listed twice is processed once; the later entry is reported as a\n"
           "duplicate. Without a terminal a line on stderr says once a minute how far\n"
           "the run is (also with -q).\n",
           RunApply});

} // namespace
