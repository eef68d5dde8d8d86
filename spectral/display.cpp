#include "spectral/display.h"

#include <algorithm>
#include <cmath>

float ContrastGain(int32_t position) {
    return float(std::exp(double(position) / 5.0));
}

namespace {
inline uint8_t ImageByte(float v, float t) {
    float g = v * t;
    g = g + 127.0f;
    if (g < 0.0f) g = 0.0f;
    if (g > 255.0f) g = 255.0f;
    return g >= 0.0f ? uint8_t(g) : 0; // NaN is drawn as 0
}

inline uint8_t SpectrumByte(float v, float t) {
    float g = v * t;
    if (g < 0.0f) g = -g;
    if (g > 255.0f) g = 255.0f;
    return g >= 0.0f ? uint8_t(g) : 0; // NaN is drawn as 0
}
} // namespace

void RenderStoreRegion(const TSpectrumStore& store, bool imageShown, int32_t contrastPosition,
                       int32_t x1, int32_t x2, int32_t y1, int32_t y2, TBitmap24& view) {
    const int32_t W = store.Cols, H = store.Rows;
    x1 = std::max(std::min(x1, W - 1), 0);
    x2 = std::max(std::min(x2, W - 1), 0);
    y1 = std::max(std::min(y1, H - 1), 0);
    y2 = std::max(std::min(y2, H - 1), 0);
    if (W <= 0 || H <= 0 || view.Width != W || view.Height != H) return;
    const float t = ContrastGain(contrastPosition);
    for (int p = 0; p < 3; ++p) {
        const float* plane = store.Planes[p].data();
        for (int32_t y = y1; y <= y2; ++y) {
            const float* src = plane + size_t(y) * size_t(W);
            uint8_t* dst = view.Row(y);
            if (imageShown)
                for (int32_t x = x1; x <= x2; ++x)
                    dst[size_t(x) * 3 + size_t(p)] = ImageByte(src[x], t);
            else
                for (int32_t x = x1; x <= x2; ++x)
                    dst[size_t(x) * 3 + size_t(p)] = SpectrumByte(src[x], t);
        }
    }
}

void RenderStoreRow(const TSpectrumStore& store, bool imageShown, int32_t contrastPosition,
                    int32_t row, uint8_t* bgr) noexcept {
    const int32_t W = store.Cols;
    if (row < 0 || row >= store.Rows) return;
    const float t = ContrastGain(contrastPosition);
    for (int p = 0; p < 3; ++p) {
        const float* src = store.Planes[p].data() + size_t(row) * size_t(W);
        if (imageShown)
            for (int32_t x = 0; x < W; ++x) bgr[size_t(x) * 3 + size_t(p)] = ImageByte(src[x], t);
        else
            for (int32_t x = 0; x < W; ++x)
                bgr[size_t(x) * 3 + size_t(p)] = SpectrumByte(src[x], t);
    }
}

TRowProducer StoreRows(const TStoreView& view) {
    TRowProducer rows;
    rows.Width = view.Store->Cols;
    rows.Height = view.Store->Rows;
    rows.Context = &view;
    rows.Fill = [](const void* context, int32_t row, uint8_t* bgr) noexcept {
        const auto& v = *static_cast<const TStoreView*>(context);
        RenderStoreRow(*v.Store, v.ImageShown, v.ContrastPosition, row, bgr);
    };
    return rows;
}

TBitmap24 RenderStore(const TSpectrumStore& store, bool imageShown, int32_t contrastPosition) {
    TBitmap24 view(store.Cols, store.Rows);
    RenderStoreRegion(store, imageShown, contrastPosition, 0, store.Cols - 1, 0, store.Rows - 1,
                      view);
    return view;
}

void RenderStoreRow48(const TSpectrumStore& store, int32_t row, uint16_t* bgr) noexcept {
    const size_t W = size_t(store.Cols);
    for (int p = 0; p < 3; ++p) {
        const float* src = store.Planes[p].data() + size_t(row) * W;
        for (size_t c = 0; c < W; ++c) {
            const double v = std::nearbyint((double(src[c]) + 127.0) * 257.0);
            bgr[c * 3 + size_t(p)] = v >= 65535.0 ? 65535 : v > 0.0 ? uint16_t(v) : 0;
        }
    }
}

TBitmap48 RenderStoreImage48(const TSpectrumStore& store) {
    TBitmap48 out(store.Cols, store.Rows);
    for (int32_t r = 0; r < out.Height && out.Width > 0; ++r)
        RenderStoreRow48(store, r, out.Row(r));
    return out;
}
