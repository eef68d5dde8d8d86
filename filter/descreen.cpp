#include "filter/descreen.h"

#include "filter/apply_filter.h"
#include "filter/band_damping.h"
#include "filter/screen_finder.h"
#include "filter/screen_geometry.h"
#include "filter/sideband_damping.h"

#include <cmath>

namespace {

// The entries, and the peaks found on the way, which the sideband damping
// needs again when it is applied to the same spectrum.
TFilterList Detect(TSpectrumStore& spectrum, const TDescreenOptions& options,
                   std::vector<TScreenPeak>& peaks, TSpectrumLevels* measured) {
    TFilterList filter;
    const double W = spectrum.Cols, H = spectrum.Rows;
    // The strength as the entries' lines read back, so that a replay finds
    // the same peaks.
    const float strength =
        ParseEntryLine(FormatEntryLine(kFilterSidebands, 0.0f, 0.0f, float(options.Strength), 0.0f)
                           .value_or(""))
            .y1;
    peaks = measured ? FindScreenPeaks(spectrum, {double(strength)}, *measured)
                     : FindScreenPeaks(spectrum, {double(strength)});
    // A screen the scan resolves (its fundamental below half the sampling
    // rate, 2 scan pixels a cell and more) gets the sideband damping,
    // anchored on the screen's geometry: the coarsest ink lattice's
    // fundamental, as a normalised radius (twice the frequency in cycles per
    // pixel). A screen folded back beyond the scan's resolution has no
    // geometry the models could follow; there the band damping fitted below
    // the strongest peak takes what the notches leave. Between 2 and 2.7
    // pixels a cell the sideband damping scores better on all but the most
    // detailed pictures (a butterfly, a painting: 0.2 to 0.6 dB lower), and
    // smooth ones gain up to 1.8 dB.
    const double fundamental = 2.0 * ScreenFundamental(peaks, spectrum.Cols, spectrum.Rows);
    double strongest = 0.0;
    for (const TScreenPeak& p : peaks) {
        const double radius = std::hypot(p.Column / W, p.Row / H);
        if (radius < 0.1) continue;
        strongest = radius;
        break;
    }
    if (fundamental > 0.0 && fundamental < 1.0)
        filter.AppendEntry(kFilterSidebands, float(fundamental), strength, strength, 0.0f);
    else if (strongest > 0.0)
        filter.AppendEntry(kFilterBand, float(strongest / 8.0), float(strongest / 2.0), strength,
                           0.0f);
    for (const TScreenPeak& p : peaks) {
        const auto x = [&](int32_t c) { return float(double(c) / W); };
        const auto y = [&](int32_t r) { return float(double(r) / H); };
        filter.AppendEntry(kFilterNotch, x(p.Column - p.Radius), x(p.Column + p.Radius),
                           y(p.Row - p.Radius), y(p.Row + p.Radius));
    }
    return filter;
}

} // namespace

TFilterList DetectScreen(TSpectrumStore& spectrum, const TDescreenOptions& options) {
    std::vector<TScreenPeak> peaks;
    return Detect(spectrum, options, peaks, nullptr);
}

TFilterList DescreenSpectrum(TSpectrumStore& spectrum, IProgress& progress,
                             const TDescreenOptions& options) {
    std::vector<TScreenPeak> peaks;
    TSpectrumLevels measured;
    const TFilterList filter = Detect(spectrum, options, peaks, &measured);
    // The damping of the band comes first, on the spectrum the peaks were
    // found on, so it is spared finding them and measuring the levels again;
    // the rest as any filter.
    TFilterList rest;
    for (size_t i = 0; i < filter.EntryCount(); ++i) {
        const TFilterEntry e = filter.GetEntry(i);
        if (i == 0 && e.typ == kFilterSidebands)
            DampScreenSidebands(spectrum, e.x1, e.x2, peaks, &measured);
        else if (i == 0 && e.typ == kFilterBand)
            DampScreenBand(spectrum, e.x1, e.x2, e.y1, &measured);
        else
            rest.AppendLine(filter.Line(i));
    }
    ApplyFilterEntries(spectrum, rest, progress);
    return filter;
}

TFilterList DescreenStore(TSpectrumStore& store, IProgress& progress,
                          const TDescreenOptions& options) {
    TransformStore(store, TTransformDirection::Forward, nullptr, progress, options.Transform);
    progress.ClearPercent();
    progress.Phase("Transformed");
    const TFilterList filter = DescreenSpectrum(store, progress, options);
    TransformStore(store, TTransformDirection::Inverse, nullptr, progress, options.Transform);
    progress.ClearPercent();
    progress.Phase("Transformed");
    return filter;
}
