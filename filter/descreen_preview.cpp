#include "filter/descreen_preview.h"

#include "filter/apply_filter.h"
#include "filter/descreen.h"
#include "spectral/display.h"
#include "spectral/transform.h"

#include <algorithm>
#include <utility>

namespace {

TTransformOptions PreviewTransform(const std::atomic<bool>* cancel) {
    TTransformOptions options;
    options.Fast = true;
    options.Cancel = cancel;
    return options;
}

} // namespace

TSpectrumStore CopyStoreRegion(const TSpectrumStore& picture, const TPreviewRegion& region) {
    const int32_t left = std::clamp(region.Left, 0, std::max(0, picture.Cols - 1));
    const int32_t top = std::clamp(region.Top, 0, std::max(0, picture.Rows - 1));
    const int32_t cols = std::clamp(region.Cols, 0, picture.Cols - left);
    const int32_t rows = std::clamp(region.Rows, 0, picture.Rows - top);
    TSpectrumStore copy;
    if (cols <= 0 || rows <= 0) return copy;
    copy.Resize(cols, rows);
    for (int p = 0; p < 3; ++p)
        for (int32_t r = 0; r < rows; ++r) {
            const float* from =
                picture.Planes[p].data() + size_t(top + r) * size_t(picture.Cols) + size_t(left);
            std::copy(from, from + cols, copy.Planes[p].data() + size_t(r) * size_t(cols));
        }
    return copy;
}

void TDescreenPreview::SetPicture(TSpectrumStore picture, const std::atomic<bool>* cancel) {
    spectrum_ = TSpectrumStore();
    if (picture.Empty()) return;
    original_ = RenderStore(picture, true, 0);
    TNoProgress quiet;
    TransformStore(picture, TTransformDirection::Forward, nullptr, quiet, PreviewTransform(cancel));
    spectrum_ = std::move(picture);
}

TDescreenPreview::TResult TDescreenPreview::Clean(double strength,
                                                  const std::atomic<bool>* cancel) {
    TResult result;
    if (!HasPicture()) return result;
    TDescreenOptions options;
    options.Strength = strength;
    options.Transform = PreviewTransform(cancel);
    // The planes' memory stays from one strength to the next. Found and
    // damped on the copy, so that the damping follows on what finding
    // measured.
    cleaned_.Cols = spectrum_.Cols;
    cleaned_.Rows = spectrum_.Rows;
    cleaned_.WorkPlane.resize(spectrum_.CellCount());
    for (int p = 0; p < 3; ++p) cleaned_.Planes[p] = spectrum_.Planes[p];
    TNoProgress quiet;
    const TFilterList found = DescreenSpectrum(cleaned_, quiet, options);
    result.Entries = found.EntryCount();
    if (found.Empty()) {
        result.Picture = original_;
        return result;
    }
    TransformStore(cleaned_, TTransformDirection::Inverse, nullptr, quiet, options.Transform);
    result.Picture = RenderStore(cleaned_, true, 0);
    return result;
}
