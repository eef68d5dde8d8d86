#include "spectral/resize.h"

#include "spectral/errors.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

// Shrinking: keep the lowest W' columns of the lowest H' rows, times f^2.
void CropPlane(tdline& plane, int32_t W, int32_t W2, int32_t H2, float f) {
    float* p = plane.data();
    for (int32_t r = 0; r < H2; ++r) {
        float* dst = p + size_t(r) * size_t(W2);
        std::memmove(dst, p + size_t(r) * size_t(W), size_t(W2) * sizeof(float));
        for (int32_t c = 0; c < W2; ++c) dst[c] = float(double(dst[c]) * f * f);
    }
    plane.resize(size_t(W2) * size_t(H2));
    plane.shrink_to_fit();
}

// Enlarging: the old spectrum keeps its place in the top-left corner, scaled
// by f^2, with linear ramps over its last tenth of columns and of rows; every
// new frequency is 0.
void PadPlane(tdline& plane, int32_t W, int32_t H, int32_t W2, int32_t H2, float f) {
    plane.resize(size_t(W2) * size_t(H2), 0.0f);
    float* p = plane.data();
    // Rows move down, so the last row goes first: none is overwritten before
    // it has moved.
    for (int32_t r = H - 1; r >= 0; --r) {
        float* dst = p + size_t(r) * size_t(W2);
        std::memmove(dst, p + size_t(r) * size_t(W), size_t(W) * sizeof(float));
        for (int32_t c = 0; c < W; ++c) {
            const double v = double(dst[c]) * f * f;
            dst[c] = int64_t(10) * c < int64_t(9) * W ? float(v)
                                                      : float(v * double(W - c) / double(W) * 10.0);
        }
        std::fill(dst + W, dst + W2, 0.0f);
    }
    const int32_t r0 = int32_t(std::nearbyint(9.0 * double(H - 1) / 10.0));
    for (int32_t r = r0; r < H; ++r) {
        float* row = p + size_t(r) * size_t(W2);
        for (int32_t c = 0; c < W; ++c)
            row[c] = float(double(H - r) * double(row[c]) / double(H) * 10.0);
    }
}

} // namespace

TResizeOutcome PlanResize(int32_t W, int32_t H, int32_t value, int32_t mode) {
    TResizeOutcome out{false, W, H, 100.0f};
    float f = 100.0f;
    switch (mode) {
    case rmPercent:
        f = float(double(value) / 100.0);
        break;
    case rmWidth:
    case rmMaxWidth:
        f = float(double(value) / double(W));
        break;
    case rmHeight:
    case rmMaxHeight:
        f = float(double(value) / double(H));
        break;
    default:
        break;
    }
    out.Factor = f;
    // Modes beyond the dialog's keep f = 100 and stop here like a "Max" mode
    // that would enlarge.
    if ((mode > rmHeight || mode < 0) && !(f <= 1.0f)) return out;
    if (W <= 0 || H <= 0 || !std::isfinite(f)) return out;

    const double h2 = std::nearbyint(double(H) * double(f));
    const double w2 = std::nearbyint(double(W) * double(f));
    if (!(h2 >= 4.0) || !(w2 >= 4.0)) return out;
    if (h2 * w2 > double(kMaxResizeCells))
        throw Exception(TMessage{TMessageId::NewSizeTooLarge,
                                 {std::to_string(int64_t(w2)), std::to_string(int64_t(h2))},
                                 nullptr});
    out.Changed = true;
    out.Cols = int32_t(w2);
    out.Rows = int32_t(h2);
    return out;
}

TResizeOutcome ResizeSpectrum(TSpectrumStore& store, int32_t value, int32_t mode,
                              IProgress& progress) {
    const int32_t W = store.Cols, H = store.Rows;
    TResizeOutcome out = PlanResize(W, H, value, mode);
    if (!out.Changed) return out;
    const int32_t W2 = out.Cols, H2 = out.Rows;
    const float f = out.Factor;
    // A factor just below 1 can keep the width and lose rows; that, like every
    // shrink, only crops, within the planes' own buffers.
    const bool crop = W2 < W || H2 < H;
    const TMemoryGrant grant =
        GrantStoreMemory(W2, H2, crop ? uint64_t(W2) * uint64_t(H2) * 16 : 0);

    progress.Phase("ReInitializing");
    store.WorkPlane.assign(size_t(W2) * size_t(H2), 0.0f);
    for (auto& plane : store.Planes) {
        if (crop)
            CropPlane(plane, W, W2, H2, f);
        else
            PadPlane(plane, W, H, W2, H2, f);
    }
    store.Rows = H2;
    store.Cols = W2;
    progress.Phase("ReInitializing ok");
    return out;
}
