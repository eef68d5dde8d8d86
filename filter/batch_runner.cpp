#include "filter/batch_runner.h"

#include "filter/apply_filter.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "spectral/thread_team.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <optional>

#include <sys/stat.h>

namespace {

// What makes two names one file: the same device and inode when the file
// exists (links followed), otherwise the same absolute path without "." and
// "..".
std::string FileIdentity(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0)
        return "#" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    std::error_code ec;
    const auto path = std::filesystem::absolute(name, ec);
    return ec ? name : path.lexically_normal().string();
}

std::string WithSuffix(const std::string& path, const std::string& suffix) {
    if (suffix.empty()) return path;
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot <= nameStart) return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

std::string WithExtension(const std::string& path, const std::string& extension) {
    if (extension.empty()) return path;
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= nameStart) return path + "." + extension;
    return path.substr(0, dot + 1) + extension;
}

} // namespace

std::vector<TBatchFile> PlanBatchFiles(const std::vector<std::string>& sources,
                                       const std::string& folder, const std::string& suffix,
                                       bool besideSources, const std::string& extension) {
    std::vector<TBatchFile> files;
    std::map<std::string, std::string> claimed, seen;
    for (const auto& source : sources) {
        std::string target;
        if (besideSources) {
            const auto slash = source.find_last_of('/');
            target = WithSuffix(source.substr(0, slash == std::string::npos ? 0 : slash + 1) +
                                    BatchTargetPath(source, ""),
                                suffix);
        } else {
            target = WithSuffix(BatchTargetPath(source, folder), suffix);
        }
        target = WithExtension(target, extension);
        TBatchFile file{source, target, {}, {}};
        const auto [first, unseen] = seen.emplace(FileIdentity(source), source);
        if (!unseen) {
            file.DuplicateOf = first->second;
            file.Error = "is listed before as " + first->second;
        } else {
            const auto [it, fresh] = claimed.emplace(file.Target, source);
            if (!fresh) file.Error = "has the same output name as " + it->second;
        }
        files.push_back(std::move(file));
    }
    return files;
}

std::optional<TReplacedSource> FindReplacedSource(const std::vector<TBatchFile>& files) {
    std::map<std::string, std::string> sources;
    for (const TBatchFile& file : files) sources.emplace(FileIdentity(file.Source), file.Source);
    for (const TBatchFile& file : files) {
        const auto it = sources.find(FileIdentity(file.Target));
        if (it != sources.end()) return TReplacedSource{file.Target, it->second};
    }
    return std::nullopt;
}

TFileWork FilterFileWork(const TFilterList& filter) {
    return [filter](TSpectrumStore& store, const TTransformOptions& options) {
        TNoProgress quiet;
        ApplyFilterToStore(store, filter, quiet, options);
        return filter;
    };
}

TThreadBudget BudgetThreads(unsigned requestedJobs, size_t files, unsigned cores) {
    TThreadBudget budget;
    budget.Jobs = unsigned(std::clamp<size_t>(requestedJobs, 1, std::max<size_t>(files, 1)));
    budget.ThreadsPerJob = std::max(1u, std::max(cores, 1u) / budget.Jobs);
    return budget;
}

TBatchSummary RunBatch(const std::vector<TBatchFile>& files, const TFileWork& work,
                       const TImageAccess& images, const TBatchOptions& options,
                       IBatchEvents* events) {
    const size_t count = files.size();
    const TThreadBudget budget =
        BudgetThreads(options.Jobs, count, unsigned(AvailableProcessors()));
    TTransformOptions transform;
    transform.Threads = int(budget.ThreadsPerJob);
    transform.Fast = options.FastTransform;

    std::mutex reporting; // events and the summary, one thread at a time
    TBatchSummary summary;
    std::atomic<size_t> next{0};
    std::atomic<size_t> started{0};
    std::atomic<bool> stopped{false};
    const auto cancelled = [&] { return options.Cancel && options.Cancel->load(); };

    // Each worker claims the next file; results do not depend on which worker
    // ran a file, or when.
    const auto worker = [&](int) {
        TSpectrumStore store; // kept from file to file, so its planes are reused
        for (;;) {
            if (stopped || cancelled()) return;
            const size_t i = next++;
            if (i >= count) return;
            ++started;
            const TBatchFile& file = files[i];
            std::optional<TMessage> error;
            if (!file.Error.empty()) error = PlainMessage(file.Error);
            TBitmap24 image;
            TFilterList applied;
            if (!error) {
                {
                    const std::lock_guard<std::mutex> lock(reporting);
                    if (events) events->FileStarted(i, count, file);
                }
                try {
                    if (images.Load && images.Save) {
                        TImageInfo info = images.Load(file.Source, store);
                        const int32_t cols = store.Cols, rows = store.Rows;
                        TTransformOptions fileTransform = transform;
                        if (info.Deep) fileTransform.ZeroBelow = 0; // keep the 16-bit fractions
                        applied = work(store, fileTransform);
                        // A resize keeps the printed size.
                        ScaleResolution(info, cols, rows, store.Cols, store.Rows);
                        images.Save(file.Target, store, info);
                        if (events && events->WantsImages()) image = RenderStore(store, true, 0);
                    } else {
                        FillStoreFromBitmap(images.Read(file.Source), store);
                        applied = work(store, transform);
                        image = RenderStore(store, true, 0);
                        images.Write(file.Target, image);
                    }
                } catch (const EFilterEntryError& e) {
                    error =
                        MessageAbout(TMessageId::FilterLine, {std::to_string(e.Line)}, e.Message());
                } catch (const std::exception& e) {
                    error = MessageOf(e);
                    if (error->Id == TMessageId::Text && error->Args[0].empty())
                        error = TMessage{TMessageId::UnknownError, {}, nullptr};
                }
                // The store of a failed file may be half-way; release it.
                if (error) store = TSpectrumStore{};
            }
            const std::lock_guard<std::mutex> lock(reporting);
            if (!error) {
                ++summary.Written;
                if (events) events->FileDone(i, count, file, image, applied);
            } else {
                ++summary.Failed;
                if (options.StopAtFailure) stopped = true;
                if (events) events->FileFailed(i, count, file, *error);
            }
        }
    };
    RunOnThreads(int(budget.Jobs), worker);

    summary.NotStarted = count - std::min(count, started.load());
    summary.Cancelled = summary.NotStarted > 0 && cancelled() && !stopped;
    if (summary.Cancelled && events) events->Cancelled(summary.NotStarted, count);
    return summary;
}
