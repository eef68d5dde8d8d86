#include "filter/band_damping.h"

#include "filter/sideband_damping.h"
#include "filter/spectrum_levels.h"

#include <algorithm>
#include <cmath>
#include <optional>

void DampScreenBand(TSpectrumStore& store, float lo, float hi, float power,
                    const TSpectrumLevels* kept) {
    const int32_t W = store.Cols, H = store.Rows;
    if (store.Empty() || store.WorkPlane.size() != store.CellCount()) return;
    if (!(lo > 0.0f && hi > lo && power > 0.0f && std::isfinite(hi) && std::isfinite(power)))
        return;
    float* levels = store.WorkPlane.data();
    std::optional<TRadialProfile> own;
    const TRadialProfile& rings = KeptOrMeasuredRings(store, kept, own);

    // A picture's detail falls at least as steeply as the sideband damping
    // assumes; a flatter fit is the scanner's noise and the screen's remains
    // filling the band (a smooth sky's spectrum is little else), and taking
    // it for the picture left them all in place: a sky at 2.1 pixels a cell
    // came out at 35.7 dB where a low-pass reached 42.7, 40.1 with the limit.
    double slope = 0, intercept = 0;
    if (!rings.FitFall(lo, hi, 0, SidebandProfile().MaxSlope * kLevelsPerOctave, slope, intercept))
        return;

    // Damping starts three quarters of the way up the band: below that the
    // fit is the spectrum itself, and a picture's spectrum is lumpier than a
    // power law, so damping there would take away picture.
    const double start = double(lo) + 0.75 * (double(hi) - double(lo));
    const TBlockLevels blocks(levels, W, H, TBlockLevels::BlockFor(W, H));
    ForRowBands(H, [&](int32_t r0, int32_t r1) {
        for (int64_t r = r0; r < r1; ++r)
            for (int64_t c = 0; c < W; ++c) {
                const double radius = rings.Radius(c, r);
                if (radius < start) continue;
                const double expected = intercept + slope * std::log2(radius);
                const double measured = blocks.At(c, r);
                if (measured <= expected) continue;
                const double gain =
                    std::exp2(double(power) * (expected - measured) / kLevelsPerOctave);
                const size_t i = size_t(r) * size_t(W) + size_t(c);
                for (auto& plane : store.Planes) plane[i] = float(double(plane[i]) * gain);
            }
    });
}
