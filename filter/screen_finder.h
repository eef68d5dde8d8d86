#pragma once
// Finding a halftone screen in a spectrum. A screen is a lattice of dots, so
// its spectrum has sharp peaks at the lattice's frequencies, their harmonics
// and, with several inks, their sums and differences; a scan at about the
// screen's own resolution folds the higher ones back from the spectrum's far
// edges. A photograph's own spectrum instead falls off smoothly from the
// constant term. The finder measures how far each coefficient stands out from
// the spectrum around it and reports the compact, isolated peaks that stand
// out strongly, but only when the picture has a screen at all: at least two
// strong peaks well away from the constant term. Where none stand out, it
// looks again at cells of 4 x 4 summed, for a screen printed on a small part
// of the page, whose peaks are smeared by that part's outline. Far below the
// screen's ruling the only peaks it reports are the inks' moires; the others
// there are the picture's own.
//
// Everything is computed in whole numbers from the float planes, cell by
// cell, so the result is the same whatever the thread count.

#include "filter/spectrum_levels.h"
#include "spectral/store.h"

#include <cstdint>
#include <optional>
#include <vector>

struct TScreenPeak {
    int32_t Column = 0; // position of the peak's maximum
    int32_t Row = 0;
    int32_t Radius = 0; // half the side of the square the notch spans, in cells
    int32_t Excess = 0; // how far the peak stands out, in eighths of an octave of power
};

struct TScreenFinderOptions {
    // 1 is the default; larger values find weaker peaks and widen the
    // notches, smaller values the opposite. At most 4.
    double Strength = 1.0;
};

// The peaks of the screen in a spectrum (the store in the frequency domain),
// strongest first; none when the picture shows no screen. The planes are only
// read; the work plane, which holds nothing between transforms, serves as
// scratch space, so finding costs little memory beyond the store.
std::vector<TScreenPeak> FindScreenPeaks(TSpectrumStore& spectrum,
                                         const TScreenFinderOptions& options = {});

// What finding measured on its way that a damping of the same spectrum needs
// again. With Rings set, the work plane holds the spectrum's combined levels
// (as CombinedLevels computes them) and Rings their profile (as Measure takes
// it); nothing may change the planes or the work plane in between.
struct TSpectrumLevels {
    std::optional<TRadialProfile> Rings;
};

// The rings that finding kept in `kept`, or, without them, the rings measured
// here into `own`. Either way the work plane then holds the combined levels
// the rings were measured from.
const TRadialProfile& KeptOrMeasuredRings(TSpectrumStore& store, const TSpectrumLevels* kept,
                                          std::optional<TRadialProfile>& own);

// The same, and with peaks found, leaves the levels in `levels`.
std::vector<TScreenPeak> FindScreenPeaks(TSpectrumStore& spectrum,
                                         const TScreenFinderOptions& options,
                                         TSpectrumLevels& levels);
