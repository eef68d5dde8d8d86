#pragma once
// Resizing an image through its spectrum: the store, holding a spectrum, is
// cropped to fewer frequencies (to shrink) or padded with zero frequencies (to
// enlarge), and its values scaled by f^2, so that the next inverse transform
// gives the image at the new size. Enlarging (and a resize to the same size)
// tapers the highest tenth of the old columns and rows linearly towards zero.

#include "spectral/progress.h"
#include "spectral/store.h"

#include <cstdint>

// The modes of the resize dialog, in its order.
enum TResizeMode : int32_t {
    rmPercent = 0,   // "Prozent": f = value / 100
    rmWidth = 1,     // "Breite": f = value / W
    rmHeight = 2,    // "Höhe": f = value / H
    rmMaxWidth = 3,  // "Max Breite": value / W, never enlarging
    rmMaxHeight = 4, // "Max Höhe": value / H, never enlarging
};

struct TResizeOutcome {
    bool Changed = false; // false: the store was left as it was
    int32_t Cols = 0;     // the store's size afterwards
    int32_t Rows = 0;
    float Factor = 0.0f; // f as computed
};

// Cells a resize may produce at most; a larger result is refused with an
// error before anything changes.
constexpr int64_t kMaxResizeCells = int64_t(1) << 29; // 2 GiB a plane

// Resizes the spectrum in the store. Leaves it unchanged when the factor gives
// fewer than 4 rows or columns, when a "Max" mode would enlarge, and for a
// mode outside 0..4. Reports "ReInitializing" and "ReInitializing ok" as
// phases around the work when it changes the store. Throws Exception when
// the new size exceeds kMaxResizeCells (the store is unchanged then).
TResizeOutcome ResizeSpectrum(TSpectrumStore& store, int32_t value, int32_t mode,
                              IProgress& progress);
// What ResizeSpectrum would make of a W x H store, without touching one:
// Changed tells whether it would change it, Cols and Rows the size then.
// Throws the same error for a size beyond kMaxResizeCells.
TResizeOutcome PlanResize(int32_t W, int32_t H, int32_t value, int32_t mode);
