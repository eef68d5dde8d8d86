#pragma once
// The batch runner: one per-file operation run over a list of image files,
// each result written under its source's name into a target folder. The
// command-line tool runs it on its own thread, the window program on a worker
// thread; both hear about each file through IBatchEvents. What is done to a
// file is a parameter (a TFileWork), so applying a saved filter and any other
// per-file operation share the loading, writing, failure handling, cancelling
// and the sharing of the cores.

#include "filter/apply_filter.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TBatchFile {
    std::string Source;
    std::string Target;
    // Why the file cannot be processed, in the tool's English (only the tool
    // plans files that can clash); set before the run to skip it.
    std::string Error;
    // The earlier entry of the list that names the same file (the same path,
    // or the same file through a link): it is processed once, there.
    std::string DuplicateOf;
};

// One file per source, its result under the source's name in the folder, with
// `suffix` put before the extension ("scan.png" and "-clean" give
// "scan-clean.png"); with `besideSources` each result goes into its source's
// own folder instead. A source whose output name an earlier one already has
// fails up front: the later result would silently replace the earlier one. A
// source listed a second time is marked as a duplicate (and fails too, for a
// host that does not look at the mark), not as a collision with itself.
// A non-empty `extension` (without its dot) replaces each result's own, so
// the result is written in that format.
std::vector<TBatchFile> PlanBatchFiles(const std::vector<std::string>& sources,
                                       const std::string& folder, const std::string& suffix = {},
                                       bool besideSources = false,
                                       const std::string& extension = {});

// A planned result that would replace one of the sources of the plan: the
// same name, or the same file through a link. A run must not start then, or
// a scan is lost to its own result.
struct TReplacedSource {
    std::string Target;
    std::string Source;
};
std::optional<TReplacedSource> FindReplacedSource(const std::vector<TBatchFile>& files);

// The work on one file: the store comes in holding the loaded image (pixel
// bytes minus 127) and goes out holding the result image; returns the filter
// that was applied. It runs on a runner thread; `options` is that file's
// share of the cores.
using TFileWork =
    std::function<TFilterList(TSpectrumStore& store, const TTransformOptions& options)>;

// The work of applying a saved filter (forward transform, every entry,
// inverse transform). The filter is copied.
TFileWork FilterFileWork(const TFilterList& filter);

// What the runner tells its host. Calls come from the runner's threads, one
// at a time; `index` counts from 0, `count` is the number of files.
class IBatchEvents {
public:
    virtual ~IBatchEvents() = default;
    virtual void FileStarted(size_t index, size_t count, const TBatchFile& file) = 0;
    // The result was written; `image` is what was written, `applied` what the
    // work applied.
    virtual void FileDone(size_t index, size_t count, const TBatchFile& file,
                          const TBitmap24& image, const TFilterList& applied) = 0;
    virtual void FileFailed(size_t index, size_t count, const TBatchFile& file,
                            const TMessage& reason) = 0;
    // The cancel flag stopped the run before `notStarted` files began.
    virtual void Cancelled(size_t notStarted, size_t count) = 0;
    // Whether FileDone wants the image that was written; a host that only
    // names the files saves drawing a big scan a second time.
    virtual bool WantsImages() const { return true; }
};

// How the cores are shared: `Jobs` files at once, each of whose transforms
// runs on `ThreadsPerJob` threads, so that together they stay within the
// cores (unless more jobs than cores were asked for).
struct TThreadBudget {
    unsigned Jobs = 1;
    unsigned ThreadsPerJob = 1;
};
TThreadBudget BudgetThreads(unsigned requestedJobs, size_t files, unsigned cores);

struct TBatchOptions {
    // Files processed at once (at least 1).
    unsigned Jobs = 1;
    // After a failed file: go on with the others, or start no further file.
    bool StopAtFailure = false;
    // Checked before each file starts; a file already started is finished.
    const std::atomic<bool>* Cancel = nullptr;
    // The fast transform (TTransformOptions::Fast) for every file.
    bool FastTransform = false;
};

struct TBatchSummary {
    size_t Written = 0;
    size_t Failed = 0;     // failures up front included
    size_t NotStarted = 0; // left out by a cancel or by a stop at a failure
    bool Cancelled = false;
};

// Runs the work on every file in list order (several at once when asked):
// read the source, the work, render the store as the image view shows an
// image, write the target. A failure is reported with its message and
// handled as the options say; files written before stay. The result of a
// file does not depend on the number of jobs.
TBatchSummary RunBatch(const std::vector<TBatchFile>& files, const TFileWork& work,
                       const TImageAccess& images, const TBatchOptions& options,
                       IBatchEvents* events = nullptr);
