#pragma once
// The zoom picture: the 64 x 64 cells of the store around the pointer,
// contrast-stretched per plane, for placing marks precisely on the peaks of a
// halftone screen. In the image domain it magnifies the image.

#include "spectral/bitmap.h"
#include "spectral/store.h"

#include <cstdint>

constexpr int32_t kZoomSize = 64;

// The cells shown along one axis, first and last inclusive: 64 cells around
// the pointer, shifted to stay inside an axis of `size` cells, or the whole
// axis when it is shorter (empty, Last < First, when size is 0).
struct TZoomSpan {
    int32_t First = 0;
    int32_t Last = -1;
};
TZoomSpan ZoomSpan(int32_t pointer, int32_t size);

// Draws the zoom for the pointer at view position (x, y) into `picture`
// (given 64 x 64 pixels if it has another size). Pixels without a cell are
// grey 127. Each plane's values are stretched to 0..255 over the range of the
// window's cells, where the range starts as 255..0 and leaves out the lowest
// frequencies (c + r <= 5), whose huge values would flatten everything else.
void RenderZoom(const TSpectrumStore& store, int32_t x, int32_t y, TBitmap24& picture);
TBitmap24 RenderZoom(const TSpectrumStore& store, int32_t x, int32_t y);
