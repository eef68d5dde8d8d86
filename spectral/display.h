#pragma once
// How the store is shown: the image as values plus 127, the spectrum as
// magnitudes times the contrast gain, clamped to 0..255 and truncated. Each
// plane goes into its own byte of the pixel, so the spectrum is a colour
// picture of the three planes' spectra.

#include "spectral/bitmap.h"
#include "spectral/image_info.h"
#include "spectral/store.h"

#include <cstdint>

// The gain of a contrast slider position: e^(position/5) as a float.
float ContrastGain(int32_t position);

// Writes the pixels of columns x1..x2 and rows y1..y2 (inclusive) of `view`
// from the store. The bounds are clamped to the store (to at most W-1 / H-1,
// then to at least 0) and are not swapped: an empty range writes nothing.
// imageShown selects the image mapping (command state 1), otherwise the
// spectrum mapping. `view` must have the store's size.
void RenderStoreRegion(const TSpectrumStore& store, bool imageShown, int32_t contrastPosition,
                       int32_t x1, int32_t x2, int32_t y1, int32_t y2, TBitmap24& view);

// One row of the store as RenderStoreRegion draws it, into 3 * W bytes.
void RenderStoreRow(const TSpectrumStore& store, bool imageShown, int32_t contrastPosition,
                    int32_t row, uint8_t* bgr) noexcept;

// The rows of the store as drawn, for the encoders that take them one at a
// time; `view` holds what the rows depend on and must outlive the producer.
struct TStoreView {
    const TSpectrumStore* Store = nullptr;
    bool ImageShown = true;
    int32_t ContrastPosition = 0;
};
TRowProducer StoreRows(const TStoreView& view);

// The whole store into a bitmap of its size.
TBitmap24 RenderStore(const TSpectrumStore& store, bool imageShown, int32_t contrastPosition);

// The image in the store as 16-bit pixels: (value + 127) * 257, rounded to
// the nearest and clamped to 0..65535 (NaN gives 0); the inverse of
// FillStoreFromBitmap48.
TBitmap48 RenderStoreImage48(const TSpectrumStore& store);
// One row of it, into 3 * W samples.
void RenderStoreRow48(const TSpectrumStore& store, int32_t row, uint16_t* bgr) noexcept;
