#include "filter/descreen.h"

#include "filter/apply_filter.h"
#include "filter/screen_finder.h"

#include <cmath>

TFilterList DetectScreen(TSpectrumStore& spectrum, const TDescreenOptions& options) {
    TFilterList filter;
    const double W = spectrum.Cols, H = spectrum.Rows;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(spectrum, {options.Strength});
    // The band is fitted below the screen's strongest peak away from the
    // constant term, from an eighth to half its radius: a picture's own
    // spectrum, not yet crossed by the screen's copies of it.
    for (const TScreenPeak& p : peaks) {
        const double radius = std::hypot(p.Column / W, p.Row / H);
        if (radius < 0.1) continue;
        filter.AppendEntry(kFilterBand, float(radius / 8.0), float(radius / 2.0),
                           float(options.Strength), 0.0f);
        break;
    }
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
