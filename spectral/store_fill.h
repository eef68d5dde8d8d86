#pragma once
// Filling the store from a 24-bit bitmap: every pixel byte minus 127, so
// 0..255 becomes -127..128, byte p into plane p.

#include "spectral/bitmap.h"
#include "spectral/image_info.h"
#include "spectral/store.h"

// Gives the store the bitmap's size (all four arrays) and fills its planes.
void FillStoreFromBitmap(const TBitmap24& image, TSpectrumStore& store);

// One row of 3 * W pixel bytes into row r of the planes (the store has its
// size already); for decoders that hand over one row at a time.
void FillStoreRow(const uint8_t* bgr, int32_t row, TSpectrumStore& store);

// The same for 16-bit pixels: 0..65535 onto the 8-bit path's range, v / 257
// - 127 with its fraction, so 0 and 65535 give -127 and 128 like 0 and 255.
void FillStoreFromBitmap48(const TBitmap48& image, TSpectrumStore& store);
