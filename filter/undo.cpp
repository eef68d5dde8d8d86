#include "filter/undo.h"

#include "filter/apply_filter.h"
#include "filter/mark.h"
#include "filter/smoothing.h"

#include <utility>

namespace {

TPlanes CopyPlanes(const TSpectrumStore& store) {
    return {store.Planes[0], store.Planes[1], store.Planes[2]};
}

// Smooths or restores the region of a smoothing line; other kinds are left
// to the caller.
void SmoothLine(TSpectrumStore& store, const std::string& line, TSmoothDirection direction) {
    const TFilterEntry entry = ParseEntryLine(line);
    if (!IsSmoothingKind(entry.typ)) return;
    const int32_t W = store.Cols, H = store.Rows;
    SmoothRegion(store, CellBound(W, entry.x1), CellBound(W, entry.x2), CellBound(H, entry.y1),
                 CellBound(H, entry.y2), entry.typ != kFilterRectangle, direction);
}

} // namespace

bool TUndoStack::NeedsPlanes(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const int32_t typ = ParseEntryLine(line).typ;
        if (!IsSmoothingKind(typ) && !IsResizeKind(typ)) return true;
    }
    return false;
}

void TUndoStack::Record(std::vector<std::string> lines, std::optional<TPlanes> before) {
    if (lines.empty()) return;
    done_.push_back({std::move(lines), std::move(before)});
    undone_.clear();
}

void TUndoStack::RecordOnPicture(std::vector<std::string> lines, TPlanes before,
                                 const TTransformOptions& transform) {
    if (lines.empty()) return;
    TStep step{std::move(lines), std::move(before)};
    TTransformOptions options = transform;
    options.Cancel = nullptr;
    options.KeepPlanes = false;
    step.Picture = options;
    done_.push_back(std::move(step));
    undone_.clear();
}

void TUndoStack::RecordNewFilter(std::vector<std::string> removed, std::string name) {
    if (removed.empty()) return;
    TStep step{std::move(removed), std::nullopt};
    step.NewFilter = true;
    step.Name = std::move(name);
    done_.push_back(std::move(step));
    undone_.clear();
}

const std::string* TUndoStack::NewFilterToUndo() const {
    return !done_.empty() && done_.back().NewFilter ? &done_.back().Name : nullptr;
}

const std::string* TUndoStack::NewFilterToRedo() const {
    return !undone_.empty() && undone_.back().NewFilter ? &undone_.back().Name : nullptr;
}

bool TUndoStack::Undo(TSpectrumStore& store, IFilterLines& filter) {
    if (done_.empty()) return false;
    TStep step = std::move(done_.back());
    done_.pop_back();
    if (step.NewFilter) {
        for (const std::string& line : step.Lines) filter.AppendLine(line);
        undone_.push_back(std::move(step));
        return true;
    }
    if (step.Before) {
        for (size_t p = 0; p < 3; ++p) store.Planes[p] = std::move((*step.Before)[p]);
        step.Before.reset();
    } else {
        for (auto line = step.Lines.rbegin(); line != step.Lines.rend(); ++line)
            SmoothLine(store, *line, TSmoothDirection::Restore);
    }
    for (size_t i = 0; i < step.Lines.size() && filter.LineCount() > 0; ++i)
        filter.RemoveLastLine();
    undone_.push_back(std::move(step));
    return true;
}

bool TUndoStack::Redo(TSpectrumStore& store, IFilterLines& filter, IProgress& progress) {
    if (undone_.empty()) return false;
    TStep step = std::move(undone_.back());
    undone_.pop_back();
    if (step.NewFilter) {
        for (size_t i = 0; i < step.Lines.size() && filter.LineCount() > 0; ++i)
            filter.RemoveLastLine();
        done_.push_back(std::move(step));
        return true;
    }
    if (step.Picture) {
        step.Before = CopyPlanes(store);
        TFilterList lines;
        for (const std::string& line : step.Lines) lines.AppendLine(line);
        ApplyFilterToStore(store, lines, progress, *step.Picture);
    } else if (NeedsPlanes(step.Lines)) {
        step.Before = CopyPlanes(store);
        TFilterList lines;
        for (const std::string& line : step.Lines) lines.AppendLine(line);
        ApplyFilterEntries(store, lines, progress);
    } else {
        for (const std::string& line : step.Lines)
            SmoothLine(store, line, TSmoothDirection::Smooth);
    }
    for (const std::string& line : step.Lines) filter.AppendLine(line);
    done_.push_back(std::move(step));
    return true;
}

void TUndoStack::Clear() {
    done_.clear();
    undone_.clear();
}
