#include "filter/apply_filter.h"

#include "filter/band_damping.h"
#include "filter/mark.h"
#include "filter/notch.h"
#include "filter/ruling_low_pass.h"
#include "filter/sideband_damping.h"
#include "filter/smoothing.h"
#include "spectral/resize.h"

namespace {
void Transform(TSpectrumStore& store, TTransformDirection direction, IProgress& progress,
               const TTransformOptions& options) {
    TransformStore(store, direction, nullptr, progress, options);
    progress.ClearPercent();
    progress.Phase("Transformed");
}
} // namespace

void ApplyFilterEntries(TSpectrumStore& store, const TFilterList& filter, IProgress& progress) {
    const size_t n = filter.EntryCount();
    for (size_t i = 0; i < n; ++i) {
        try {
            const TFilterEntry e = filter.GetEntry(i);
            const int32_t W = store.Cols, H = store.Rows;
            if (e.typ == kFilterNotch) {
                DampNotch(store, CellBound(W, e.x1), CellBound(W, e.x2), CellBound(H, e.y1),
                          CellBound(H, e.y2));
                continue;
            }
            if (e.typ == kFilterBand) {
                DampScreenBand(store, e.x1, e.x2, e.y1);
                continue;
            }
            if (e.typ == kFilterRuling) {
                DampScreenRuling(store, e.x1, e.x2);
                continue;
            }
            if (e.typ == kFilterSidebands) {
                DampScreenSidebands(store, e.x1, e.x2, e.y1);
                continue;
            }
            if (IsSmoothingKind(e.typ)) {
                SmoothRegion(store, CellBound(W, e.x1), CellBound(W, e.x2), CellBound(H, e.y1),
                             CellBound(H, e.y2), e.typ != kFilterRectangle,
                             TSmoothDirection::Smooth);
            } else if (IsResizeKind(e.typ)) {
                ResizeSpectrum(store, RoundToInt32(double(e.x1)), e.typ - kFilterResizeBase,
                               progress);
            }
        } catch (const Exception& e) {
            throw EFilterEntryError(i + 1, e.Message());
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
