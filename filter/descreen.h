#pragma once
// Automatic screen removal: find the screen in an image's spectrum, damp the
// band its carriers and their sidebands fill (a sideband damping anchored on
// the screen's lattices for coarse screens, a band damping for fine ones),
// and each of its peaks with a notch. The result is an ordinary filter, so what
// was done can be looked at, saved, edited and replayed on other scans of the
// same print exactly as a hand-made filter.

#include "filter/filter_list.h"
#include "spectral/progress.h"
#include "spectral/store.h"
#include "spectral/transform.h"

struct TDescreenOptions {
    // 1 is the default, which needs no tuning; up to 4 finds weaker peaks and
    // damps wider, down to 0.25 the opposite.
    double Strength = 1.0;
    TTransformOptions Transform;
};

// The notch entries that remove the screen from a spectrum (the store in the
// frequency domain), strongest peak first; an empty filter when there is no
// screen. The planes are not changed (the work plane is used as scratch).
TFilterList DetectScreen(TSpectrumStore& spectrum, const TDescreenOptions& options = {});

// Finds the screen on the spectrum and damps it there: the same as applying
// what DetectScreen returns, spared finding the peaks and measuring the
// spectrum a second time. Returns the entries.
TFilterList DescreenSpectrum(TSpectrumStore& spectrum, IProgress& progress,
                             const TDescreenOptions& options = {});

// The store holds an image (pixel bytes minus 127); afterwards it holds the
// descreened image. Returns the entries it applied, the same that applying
// the returned filter to the original image would apply.
TFilterList DescreenStore(TSpectrumStore& store, IProgress& progress,
                          const TDescreenOptions& options = {});
