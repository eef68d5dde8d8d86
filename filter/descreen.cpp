#include "filter/descreen.h"

#include "filter/apply_filter.h"
#include "filter/screen_finder.h"
#include "filter/screen_geometry.h"

#include <cmath>

TFilterList DetectScreen(TSpectrumStore& spectrum, const TDescreenOptions& options) {
    TFilterList filter;
    const double W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum, {options.Strength});
    // A coarse screen (2.5 scan pixels a cell and more) gets the ruling
    // low-pass, anchored on the screen's geometry: the coarsest ink
    // lattice's fundamental, as a normalised radius (twice the frequency in
    // cycles per pixel). A finer screen, or one folded back beyond the
    // scan's resolution, leaves the picture's band alone; there the band
    // damping fitted below the strongest peak takes what the notches leave.
    const double fundamental = 2.0 * ScreenFundamental(peaks, spectrum.Cols, spectrum.Rows);
    double strongest = 0.0;
    for (const TScreenPeak& p : peaks) {
        const double radius = std::hypot(p.Column / W, p.Row / H);
        if (radius < 0.1) continue;
        strongest = radius;
        break;
    }
    if (fundamental > 0.0 && fundamental < 0.75)
        filter.AppendEntry(kFilterRuling, float(fundamental), float(options.Strength), 0.0f, 0.0f);
    else if (strongest > 0.0)
        filter.AppendEntry(kFilterBand, float(strongest / 8.0), float(strongest / 2.0),
                           float(options.Strength), 0.0f);
    for (const TScreenPeak& p : peaks) {
        const auto x = [&](int32_t c) { return float(double(c) / W); };
        const auto y = [&](int32_t r) { return float(double(r) / H); };
        filter.AppendEntry(kFilterNotch, x(p.Column - p.Radius), x(p.Column + p.Radius),
                           y(p.Row - p.Radius), y(p.Row + p.Radius));
    }
    return filter;
}

TFilterList DescreenStore(TSpectrumStore& store, IProgress& progress,
                          const TDescreenOptions& options) {
    TransformStore(store, TTransformDirection::Forward, nullptr, progress, options.Transform);
    progress.ClearPercent();
    progress.Phase("Transformed");
    const TFilterList filter = DetectScreen(store, options);
    ApplyFilterEntries(store, filter, progress);
    TransformStore(store, TTransformDirection::Inverse, nullptr, progress, options.Transform);
    progress.ClearPercent();
    progress.Phase("Transformed");
    return filter;
}
