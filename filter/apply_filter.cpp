#include "filter/apply_filter.h"

#include "filter/mark.h"
#include "filter/smoothing.h"
#include "spectral/display.h"
#include "spectral/resize.h"
#include "spectral/store_fill.h"

namespace {
void Transform(TSpectrumStore& store, TTransformDirection direction, IProgress& progress,
               const TTransformOptions& options) {
    TransformStore(store, direction, nullptr, progress, options);
    progress.ClearPercent();
    progress.Phase("Transformed");
}
}  // namespace

void ApplyFilterEntries(TSpectrumStore& store, const TFilterList& filter, IProgress& progress) {
    const size_t n = filter.EntryCount();
    for (size_t i = 0; i < n; ++i) {
        const TFilterEntry e = filter.GetEntry(i);
        const int32_t W = store.Cols, H = store.Rows;
        if (e.typ < 0 || e.typ > 200) continue;
        if (e.typ < 100) {
            SmoothRegion(store, CellBound(W, e.x1), CellBound(W, e.x2), CellBound(H, e.y1),
                         CellBound(H, e.y2), e.typ != kFilterRectangle, TSmoothDirection::Smooth);
        } else {
            ResizeSpectrum(store, RoundToInt32(double(e.x1)), e.typ - kFilterResizeBase, progress);
        }
    }
}

void ApplyFilterToStore(TSpectrumStore& store, const TFilterList& filter, IProgress& progress,
                        const TTransformOptions& options) {
    Transform(store, TTransformDirection::Forward, progress, options);
    ApplyFilterEntries(store, filter, progress);
    Transform(store, TTransformDirection::Inverse, progress, options);
}

std::string BatchTargetPath(const std::string& sourcePath, const std::string& targetFolder) {
    const auto slash = sourcePath.find_last_of('/');
    const std::string name = slash == std::string::npos ? sourcePath : sourcePath.substr(slash + 1);
    if (targetFolder.empty()) return name;
    return targetFolder.back() == '/' ? targetFolder + name : targetFolder + "/" + name;
}

TBitmap24 ApplyFilterToFile(const TFilterList& filter, const std::string& sourcePath,
                            const std::string& targetPath, const TImageAccess& images,
                            TSpectrumStore& store, IProgress& progress,
                            const TTransformOptions& options) {
    FillStoreFromBitmap(images.Read(sourcePath), store);
    ApplyFilterToStore(store, filter, progress, options);
    TBitmap24 result = RenderStore(store, true, 0);
    images.Write(targetPath, result);
    return result;
}

size_t RunBatch(const TFilterList& filter, const std::vector<std::string>& sources,
                const std::string& targetFolder, const TImageAccess& images, TSpectrumStore& store,
                IProgress& progress, IBatchEvents* events) {
    if (filter.Empty()) return 0;
    size_t written = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        if (events) events->FileStarted(i, sources[i]);
        const std::string target = BatchTargetPath(sources[i], targetFolder);
        const TBitmap24 result = ApplyFilterToFile(filter, sources[i], target, images, store, progress);
        ++written;
        if (events) events->FileDone(i, target, result);
    }
    return written;
}
