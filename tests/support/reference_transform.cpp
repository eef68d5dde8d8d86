#include "tests/support/reference_transform.h"

#include "spectral/fft.h"

#include <algorithm>
#include <cmath>
#include <vector>

void RealTransform1D(const float* x, float* y, int32_t L, TTransformDirection direction,
                     TComplex* a, TComplex* b) {
    for (int32_t k = 0; k < L; ++k) a[k] = {x[k], 0.0f};
    for (int32_t k = L; k < 2 * L; ++k) a[k] = {x[2 * L - 1 - k], 0.0f};
    const int32_t n = 2 * L - 1;
    if (direction == TTransformDirection::Forward)
        ForwardFFT(a, b, n);
    else
        InverseFFT(a, b, n);
    for (int32_t k = 0; k < L; ++k) y[k] = b[k].re;
}

namespace {
const char* const kRowKeys[3] = {"Red1", "Green1", "Blue1"};
const char* const kColumnKeys[3] = {"Red2", "Green2", "Blue2"};
} // namespace

TTransformResult TransformStoreReference(TSpectrumStore& store, TTransformDirection direction,
                                         const TBitmap24* source, IProgress& progress) {
    const int32_t W = store.Cols;
    const int32_t H = store.Rows;
    TTransformResult result;
    if (W <= 0 || H <= 0) return result;
    const bool fromBitmap = direction == TTransformDirection::Forward && source != nullptr;
    double m = 1.0;

    std::vector<TComplex> a, b;
    std::vector<float> x(size_t(std::max(W, H))), y(size_t(std::max(W, H)));
    for (int p = 0; p < 3; ++p) {
        progress.Phase(kRowKeys[p]);
        a.assign(size_t(2) * size_t(W), {});
        b.assign(size_t(2) * size_t(W), {});
        float* plane = store.Planes[p].data();
        float* work = store.WorkPlane.data();
        for (int32_t r = 0; r < H; ++r) {
            if (r % 100 == 0) progress.Percent(double(r) / double(H) * 50.0 / 3.0 + p * 33.3);
            const float* row;
            if (fromBitmap) {
                const uint8_t* px = source->Row(r);
                for (int32_t c = 0; c < W; ++c)
                    x[c] = float(px[size_t(c) * 3 + size_t(p)]) - 127.0f;
                row = x.data();
            } else {
                row = plane + size_t(r) * size_t(W);
            }
            RealTransform1D(row, work + size_t(r) * size_t(W), W, direction, a.data(), b.data());
        }

        progress.Phase(kColumnKeys[p]);
        a.assign(size_t(2) * size_t(H), {});
        b.assign(size_t(2) * size_t(H), {});
        for (int32_t c = 0; c < W; ++c) {
            if (c % 100 == 0)
                progress.Percent((double(c) / double(W) * 50.0 + 50.0) / 3.0 + p * 33.3);
            for (int32_t r = 0; r < H; ++r) x[r] = work[size_t(r) * size_t(W) + size_t(c)];
            RealTransform1D(x.data(), y.data(), H, direction, a.data(), b.data());
            for (int32_t k = 0; k < H; ++k) {
                const float v = y[k];
                plane[size_t(k) * size_t(W) + size_t(c)] = std::fabs(double(v)) < 0.1 ? 0.0f : v;
                if (v > m && k > 0 && c > 0) m = v;
            }
        }
    }
    result.Maximum = m;
    result.ContrastPreset = ContrastPresetFor(m);
    return result;
}
