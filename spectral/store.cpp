#include "spectral/store_fill.h"

void FillStoreFromBitmap(const TBitmap24& image, TSpectrumStore& store) {
    store.Resize(image.Width, image.Height);
    for (int32_t r = 0; r < image.Height; ++r) FillStoreRow(image.Row(r), r, store);
}

void FillStoreRow(const uint8_t* px, int32_t row, TSpectrumStore& store) {
    const size_t W = size_t(store.Cols);
    for (int p = 0; p < 3; ++p) {
        float* dst = store.Planes[p].data() + size_t(row) * W;
        for (size_t c = 0; c < W; ++c) dst[c] = float(px[c * 3 + size_t(p)]) - 127.0f;
    }
}

void FillStoreFromBitmap48(const TBitmap48& image, TSpectrumStore& store) {
    store.Resize(image.Width, image.Height);
    const size_t W = size_t(image.Width);
    for (int32_t r = 0; r < image.Height; ++r) {
        const uint16_t* px = image.Row(r);
        for (int p = 0; p < 3; ++p) {
            float* dst = store.Planes[p].data() + size_t(r) * W;
            for (size_t c = 0; c < W; ++c) dst[c] = float(px[c * 3 + size_t(p)]) / 257.0f - 127.0f;
        }
    }
}
