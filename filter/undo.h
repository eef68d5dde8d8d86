#pragma once
// Undo and redo of the user's actions on the spectrum shown, over the store
// and the filter list together.
//
// One step is one user action, however many filter lines it recorded (a
// mirrored smoothing records two, Find screen dozens). Smoothings are taken
// back from their own entries, since a smoothing divides by factors that the
// restoration multiplies in again. A resize is only removed from the filter:
// the store keeps its new size, as before the stack existed. Every other kind
// (the screen dampings) damps by what it measured in the values, so its
// entries cannot reverse it: such a step keeps the planes as they were.
//
// The stack knows nothing of windows. Lines that reach the filter from
// elsewhere (a filter file, a deleted row, an earlier spectrum) were never
// applied to this spectrum; whoever changes the filter that way clears the
// stack, since undoing a step from them would raise regions instead of
// restoring them.

#include "filter/filter_list.h"
#include "spectral/progress.h"
#include "spectral/store.h"
#include "spectral/transform.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The filter's lines as the stack edits them: only at the end. The window's
// filter list keeps its rows in step with them.
class IFilterLines {
public:
    virtual ~IFilterLines() = default;
    virtual size_t LineCount() const = 0;
    virtual void AppendLine(const std::string& line) = 0;
    virtual void RemoveLastLine() = 0;
};

// A plain filter list seen through IFilterLines.
class TFilterListLines final : public IFilterLines {
public:
    explicit TFilterListLines(TFilterList& list) : list_(list) {}
    size_t LineCount() const override { return list_.EntryCount(); }
    void AppendLine(const std::string& line) override { list_.AppendLine(line); }
    void RemoveLastLine() override { list_.DeleteLastEntry(); }

private:
    TFilterList& list_;
};

using TPlanes = std::array<tdline, 3>;

class TUndoStack {
public:
    // True when a step of these lines has to keep the planes it started
    // from: when any of them is neither a smoothing nor a resize.
    static bool NeedsPlanes(const std::vector<std::string>& lines);

    // An action changed the store and appended `lines` to the filter.
    // `before` is the planes as they were, required when NeedsPlanes(lines).
    // A new step ends what could be redone. No lines, no step.
    void Record(std::vector<std::string> lines, std::optional<TPlanes> before = std::nullopt);
    // The filter was emptied to start a new one: `removed` are the lines it
    // held, which an undo appends again, and `name` the file they came from
    // (empty when none), for the window to name the filter again. The store
    // is not touched, so this step can be taken back whatever is shown.
    // An action on the picture shown: `lines` were applied to its spectrum
    // between two transforms with `transform`'s options, and `before` is the
    // picture as it was. Undo puts it back; Redo transforms, applies the
    // lines and transforms back again.
    void RecordOnPicture(std::vector<std::string> lines, TPlanes before,
                         const TTransformOptions& transform);
    // Whether the step Undo would take back, or Redo do again, is one on
    // the picture (the others belong to the spectrum or to the filter alone).
    bool PictureToUndo() const { return !done_.empty() && done_.back().Picture.has_value(); }
    bool PictureToRedo() const { return !undone_.empty() && undone_.back().Picture.has_value(); }
    void RecordNewFilter(std::vector<std::string> removed, std::string name);
    // The file name of the new-filter step that Undo would take back, or
    // that Redo would do again; null when that step is of another kind.
    const std::string* NewFilterToUndo() const;
    const std::string* NewFilterToRedo() const;

    // Takes the last step back: the store as it was before the action, its
    // lines gone from the end of the filter. False when there is none.
    bool Undo(TSpectrumStore& store, IFilterLines& filter);
    // Does the last undone step again, as applying its lines would; the
    // progress shows the dampings' phases. False when there is none.
    bool Redo(TSpectrumStore& store, IFilterLines& filter, IProgress& progress);

    size_t UndoCount() const { return done_.size(); }
    size_t RedoCount() const { return undone_.size(); }
    void Clear();

private:
    struct TStep {
        std::vector<std::string> Lines;
        std::optional<TPlanes> Before;
        // A new filter: Lines are the lines it removed, Name their file.
        bool NewFilter = false;
        std::string Name;
        // A step on the picture: the options its transforms ran with.
        std::optional<TTransformOptions> Picture;
    };
    std::vector<TStep> done_;
    std::vector<TStep> undone_;
};
