#include "filter/apply_filter.h"

#include "filter/band_damping.h"
#include "filter/mark.h"
#include "filter/notch.h"
#include "filter/ruling_low_pass.h"
#include "filter/sideband_damping.h"
#include "filter/smoothing.h"
#include "spectral/resize.h"

#include <algorithm>
#include <cstdint>

namespace {
void Transform(TSpectrumStore& store, TTransformDirection direction, IProgress& progress,
               const TTransformOptions& options) {
    TransformStore(store, direction, nullptr, progress, options);
    progress.ClearPercent();
    progress.Phase("Transformed");
}
// Cells of columns x1..x2 and rows y1..y2 inside a W x H store.
uint64_t CellsInside(int64_t x1, int64_t x2, int64_t y1, int64_t y2, int64_t W, int64_t H) {
    const int64_t c = std::min(x2, W - 1) - std::max<int64_t>(x1, 0) + 1;
    const int64_t r = std::min(y2, H - 1) - std::max<int64_t>(y1, 0) + 1;
    return c > 0 && r > 0 ? uint64_t(c) * uint64_t(r) : 0;
}

// A filter may visit each cell of the store this many times, and any filter
// at least this many cells: far more than any filter made by hand or by the
// screen search needs (tens of entries, each on a small part of the store),
// and still minutes at most on a big page.
constexpr uint64_t kWorkPerCell = 256;
constexpr uint64_t kWorkFloor = uint64_t(1) << 30;

} // namespace

uint64_t FilterWork(const TFilterList& filter, int32_t cols, int32_t rows) {
    int64_t W = cols, H = rows;
    uint64_t work = 0;
    const size_t n = filter.EntryCount();
    for (size_t i = 0; i < n; ++i) {
        TFilterEntry e;
        try {
            e = filter.GetEntry(i);
        } catch (const Exception&) {
            break; // the run itself stops there, naming the line
        }
        try {
            const int64_t cells = W * H;
            if (e.typ == kFilterNotch) {
                // The ring where the level is measured reaches out to twice the
                // half axes around the region; the region lies inside it.
                const int64_t x1 = CellBound(int32_t(W), e.x1), x2 = CellBound(int32_t(W), e.x2);
                const int64_t y1 = CellBound(int32_t(H), e.y1), y2 = CellBound(int32_t(H), e.y2);
                const int64_t a = (x2 - x1 + 1) / 2 + 1, b = (y2 - y1 + 1) / 2 + 1;
                work += CellsInside(x1 - a, x2 + a, y1 - b, y2 + b, W, H);
            } else if (e.typ == kFilterBand || e.typ == kFilterRuling ||
                       e.typ == kFilterSidebands) {
                work += uint64_t(cells);
            } else if (IsSmoothingKind(e.typ)) {
                work += CellsInside(CellBound(int32_t(W), e.x1), CellBound(int32_t(W), e.x2),
                                    CellBound(int32_t(H), e.y1), CellBound(int32_t(H), e.y2), W, H);
            } else if (IsResizeKind(e.typ)) {
                const TResizeOutcome next = PlanResize(
                    int32_t(W), int32_t(H), RoundToInt32(double(e.x1)), e.typ - kFilterResizeBase);
                W = next.Cols;
                H = next.Rows;
                work += uint64_t(W * H);
            }
        } catch (const Exception&) {
            break; // the run itself stops at this entry with its own error
        }
    }
    return work;
}

void RequireFilterWork(const TFilterList& filter, int32_t cols, int32_t rows) {
    const uint64_t cells = uint64_t(std::max(cols, 0)) * uint64_t(std::max(rows, 0));
    const uint64_t allowed = std::max(kWorkFloor, kWorkPerCell * cells);
    const uint64_t work = FilterWork(filter, cols, rows);
    if (work <= allowed) return;
    const auto millions = [](uint64_t v) { return std::to_string((v + 999999) / 1000000); };
    throw Exception(TMessage{TMessageId::FilterTooMuchWork,
                             {std::to_string(filter.EntryCount()), millions(work),
                              millions(allowed), std::to_string(cols), std::to_string(rows)},
                             nullptr});
}

void ApplyFilterEntries(TSpectrumStore& store, const TFilterList& filter, IProgress& progress) {
    RequireFilterWork(filter, store.Cols, store.Rows);
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
