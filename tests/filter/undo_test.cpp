// Undo and redo over the store and the filter: smoothings come back from
// their entries, dampings from the planes they kept, resizes are only
// removed, and redo repeats what replaying the lines would do.
#include "filter/apply_filter.h"
#include "filter/undo.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::string Line(int32_t typ, float x1, float x2, float y1, float y2) {
    return *FormatEntryLine(typ, x1, x2, y1, y2);
}

TPlanes PlanesOf(const TSpectrumStore& s) {
    return {s.Planes[0], s.Planes[1], s.Planes[2]};
}

// What the window does for one action: apply the lines, append them, record.
void Act(TUndoStack& undo, TSpectrumStore& store, TFilterList& filter,
         const std::vector<std::string>& lines) {
    std::optional<TPlanes> before;
    if (TUndoStack::NeedsPlanes(lines)) before = PlanesOf(store);
    TFilterList applied;
    for (const auto& line : lines) applied.AppendLine(line);
    TNoProgress quiet;
    ApplyFilterEntries(store, applied, quiet);
    for (const auto& line : lines) filter.AppendLine(line);
    undo.Record(lines, std::move(before));
}

} // namespace

TEST(Undo, TakesBackOneActionAtATimeAndRedoesIt) {
    TSpectrumStore store = RandomStore(64, 48, 7);
    // A peak for the damping to take down.
    for (auto& plane : store.Planes) plane[size_t(20 * 64 + 30)] = 5000.0f;
    const TPlanes original = PlanesOf(store);
    TFilterList filter;
    TFilterListLines lines(filter);
    TUndoStack undo;
    TNoProgress quiet;

    // A mirrored smoothing (two lines, one step), then a screen damping.
    Act(undo, store, filter,
        {Line(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f),
         Line(kFilterEllipse, 0.2f, 0.4f, 0.1f, 0.3f)});
    const TPlanes smoothed = PlanesOf(store);
    Act(undo, store, filter, {Line(kFilterNotch, 0.4f, 0.55f, 0.35f, 0.5f)});
    const TPlanes damped = PlanesOf(store);
    ASSERT_NE(damped, smoothed);
    ASSERT_EQ(filter.EntryCount(), 3u);

    ASSERT_TRUE(undo.Undo(store, lines));
    EXPECT_EQ(PlanesOf(store), smoothed); // from the planes kept, bit for bit
    EXPECT_EQ(filter.EntryCount(), 2u);
    ASSERT_TRUE(undo.Undo(store, lines));
    EXPECT_EQ(filter.EntryCount(), 0u);
    for (size_t p = 0; p < 3; ++p)
        for (size_t i = 0; i < original[p].size(); ++i)
            ASSERT_NEAR(store.Planes[p][i], original[p][i], 1e-4f * (1 + std::abs(original[p][i])));
    EXPECT_FALSE(undo.Undo(store, lines));

    // Redo replays the lines in order: the damping sees the same values again.
    ASSERT_TRUE(undo.Redo(store, lines, quiet));
    ASSERT_TRUE(undo.Redo(store, lines, quiet));
    EXPECT_FALSE(undo.Redo(store, lines, quiet));
    EXPECT_EQ(filter.EntryCount(), 3u);
    EXPECT_EQ(filter.Line(2), Line(kFilterNotch, 0.4f, 0.55f, 0.35f, 0.5f));

    // The damping step can be undone again after its redo, from fresh planes.
    const TPlanes redone = PlanesOf(store);
    ASSERT_TRUE(undo.Undo(store, lines));
    ASSERT_TRUE(undo.Redo(store, lines, quiet));
    EXPECT_EQ(PlanesOf(store), redone);
}

TEST(Undo, ResizeIsOnlyRemovedAndANewActionEndsRedo) {
    TSpectrumStore store = RandomStore(32, 32, 3);
    TFilterList filter;
    TFilterListLines lines(filter);
    TUndoStack undo;
    const std::string resize = Line(kFilterResizeBase + 1, 50.0f, 0, 0, 0);
    EXPECT_FALSE(TUndoStack::NeedsPlanes({resize}));
    filter.AppendLine(resize);
    undo.Record({resize});
    const TPlanes kept = PlanesOf(store);
    ASSERT_TRUE(undo.Undo(store, lines));
    EXPECT_EQ(PlanesOf(store), kept);
    EXPECT_EQ(filter.EntryCount(), 0u);
    EXPECT_EQ(undo.RedoCount(), 1u);

    undo.Record({Line(kFilterRectangle, 0.1f, 0.2f, 0.1f, 0.2f)});
    EXPECT_EQ(undo.RedoCount(), 0u);
    EXPECT_EQ(undo.UndoCount(), 1u);
    undo.Record({});
    EXPECT_EQ(undo.UndoCount(), 1u);
    undo.Clear();
    EXPECT_EQ(undo.UndoCount() + undo.RedoCount(), 0u);
}

TEST(Undo, ANewFilterComesBackWithItsLinesAndNameAndLeavesTheStore) {
    TSpectrumStore store = RandomStore(32, 24, 3);
    TFilterList filter;
    TFilterListLines lines(filter);
    TUndoStack undo;
    TNoProgress quiet;
    Act(undo, store, filter, {Line(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f)});
    const TPlanes smoothed = PlanesOf(store);
    const std::vector<std::string> held = filter.Lines();

    undo.RecordNewFilter(held, "screen.flt");
    filter.Clear();
    ASSERT_NE(undo.NewFilterToUndo(), nullptr);
    EXPECT_EQ(*undo.NewFilterToUndo(), "screen.flt");
    ASSERT_TRUE(undo.Undo(store, lines));
    EXPECT_EQ(filter.Lines(), held);
    EXPECT_EQ(PlanesOf(store), smoothed);
    EXPECT_EQ(undo.NewFilterToUndo(), nullptr) << "below it: the smoothing";
    ASSERT_NE(undo.NewFilterToRedo(), nullptr);
    ASSERT_TRUE(undo.Redo(store, lines, quiet));
    EXPECT_TRUE(filter.Empty());
    EXPECT_EQ(PlanesOf(store), smoothed);
    // Undone again, the smoothing below is taken back from its own line.
    ASSERT_TRUE(undo.Undo(store, lines));
    ASSERT_TRUE(undo.Undo(store, lines));
    EXPECT_TRUE(filter.Empty());
    EXPECT_NE(PlanesOf(store), smoothed);
    undo.RecordNewFilter({}, "none");
    EXPECT_EQ(undo.UndoCount(), 0u) << "an empty filter left nothing to bring back";
}
