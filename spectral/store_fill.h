#pragma once
// Filling the store from a 24-bit bitmap: every pixel byte minus 127, so
// 0..255 becomes -127..128, byte p into plane p.

#include "spectral/bitmap.h"
#include "spectral/store.h"

// Gives the store the bitmap's size (all four arrays) and fills its planes.
void FillStoreFromBitmap(const TBitmap24& image, TSpectrumStore& store);
