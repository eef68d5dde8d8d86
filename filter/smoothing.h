#pragma once
// Smoothing of a region of the spectrum: the one edit the user makes on a
// spectrum. Every coefficient in the region, in all three planes, is divided
// by a factor that is 1 on the border of the region's bounding rectangle and
// grows with the square of the distance from the nearest border line. The
// factor depends only on the geometry and on the store's size, never on the
// values, so restoring with the same arguments undoes a smoothing (up to float
// rounding) without any saved copy.

#include "spectral/store.h"

#include <cstdint>

enum class TSmoothDirection { Smooth, Restore };

// Smooths (divides) or restores (multiplies) the cells of columns x1..x2 and
// rows y1..y2 (inclusive; for an ellipse only the cells inside the inscribed
// ellipse). Regions of zero width or height change nothing; cells outside the
// store are skipped, but the factors of the cells inside still come from the
// whole region.
void SmoothRegion(TSpectrumStore& store, int32_t x1, int32_t x2, int32_t y1, int32_t y2,
                  bool ellipse, TSmoothDirection direction);

// The factor that SmoothRegion applies to cell (c, r) of the region, for a
// store of W x H; 0 when the cell is not part of the region. For tests and
// for showing the effect of a mark.
double SmoothingFactor(int32_t W, int32_t H, int32_t x1, int32_t x2, int32_t y1, int32_t y2,
                       bool ellipse, int32_t c, int32_t r);
