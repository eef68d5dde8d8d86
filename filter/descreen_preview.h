#pragma once
// The preview of automatic screen removal: a region of the picture cleaned as
// Find screen cleans the whole, quickly enough to follow a strength control.
// The region is transformed once; each strength then costs only the screen
// search on the region's spectrum, the damping and the inverse transform. The
// region is a picture of its own: its screen is found in its own spectrum, as
// a scan of that part of the page would show it, so a region of several
// hundred cells a side shows what the whole page gets. The fast transform
// serves: a preview needs no exact bits, and it is as quick at every size.

#include "spectral/bitmap.h"
#include "spectral/store.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

struct TPreviewRegion {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Cols = 0;
    int32_t Rows = 0;
    bool operator==(const TPreviewRegion&) const = default;
};

// The cells of `region` (clamped to the picture) of a store that holds an image.
TSpectrumStore CopyStoreRegion(const TSpectrumStore& picture, const TPreviewRegion& region);

class TDescreenPreview {
public:
    struct TResult {
        TBitmap24 Picture;  // the region as shown, cleaned
        size_t Entries = 0; // what the search found; 0: no screen, the region unchanged
    };
    // The region's picture (pixel bytes minus 127), transformed here. A set
    // cancel flag stops the transform (ETransformCancelled) and leaves no picture.
    void SetPicture(TSpectrumStore picture, const std::atomic<bool>* cancel = nullptr);
    bool HasPicture() const { return !spectrum_.Empty(); }
    // The region cleaned at `strength` (0.25 to 4, as Find screen takes it).
    TResult Clean(double strength, const std::atomic<bool>* cancel = nullptr);

private:
    TSpectrumStore spectrum_;
    TSpectrumStore cleaned_;
    TBitmap24 original_;
};
