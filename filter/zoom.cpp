#include "filter/zoom.h"

#include <algorithm>
#include <cstring>

TZoomSpan ZoomSpan(int32_t pointer, int32_t size) {
    if (size < kZoomSize) return {0, size - 1};
    int64_t first = int64_t(pointer) - 32, last = int64_t(pointer) + 31;
    if (first < 0) {
        first = 0;
        last = kZoomSize - 1;
    }
    if (last >= size) {
        last = size - 1;
        first = int64_t(size) - kZoomSize;
    }
    return {int32_t(first), int32_t(last)};
}

void RenderZoom(const TSpectrumStore& store, int32_t x, int32_t y, TBitmap24& picture) {
    if (picture.Width != kZoomSize || picture.Height != kZoomSize)
        picture = TBitmap24(kZoomSize, kZoomSize);
    std::memset(picture.Bytes.data(), 127, picture.Bytes.size());
    if (store.Empty()) return;
    const TZoomSpan cols = ZoomSpan(x, store.Cols), rows = ZoomSpan(y, store.Rows);
    for (int p = 0; p < 3; ++p) {
        if (store.Planes[p].size() < store.CellCount()) continue;
        double lo = 255.0, hi = 0.0;
        for (int32_t r = rows.First; r <= rows.Last; ++r)
            for (int32_t c = cols.First; c <= cols.Last; ++c) {
                if (int64_t(c) + r <= 5) continue;
                const double v = store.At(p, c, r);
                if (v > hi) hi = v;
                if (v < lo) lo = v;
            }
        if (hi == lo) hi = hi - 1.0;
        const double span = hi - lo;
        for (int32_t r = rows.First; r <= rows.Last; ++r) {
            uint8_t* out = picture.Row(r - rows.First);
            for (int32_t c = cols.First; c <= cols.Last; ++c) {
                const double t = (double(store.At(p, c, r)) - lo) / span * 255.0;
                // Clamped before the conversion, so NaN and infinities (which
                // have no whole-number value) come out as 0 and 255.
                uint8_t byte = 0;
                if (t >= 255.0)
                    byte = 255;
                else if (t > 0.0)
                    byte = uint8_t(t);
                out[size_t(c - cols.First) * 3 + size_t(p)] = byte;
            }
        }
    }
}

TBitmap24 RenderZoom(const TSpectrumStore& store, int32_t x, int32_t y) {
    TBitmap24 picture(kZoomSize, kZoomSize);
    RenderZoom(store, x, y, picture);
    return picture;
}
