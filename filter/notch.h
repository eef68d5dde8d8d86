#pragma once
// The screen notch: the damping that removes one peak of a halftone screen
// from the spectrum. A screen adds, at each of its frequencies, a copy of the
// picture's own spectrum around the constant term; inside the notch the
// coefficients that stand out from the spectrum around it are brought down
// towards that level, while those at or below it stay as they are.
//
// Unlike smoothing, the damping adapts to the values: it measures the level
// around the region in each plane on the spectrum it is applied to, so one
// entry fits every scan of the same print, whatever its contrast. It is not
// reversible from the entry alone; an undo needs the old values.

#include "spectral/store.h"

#include <cstdint>

// Damps the cells inside the ellipse inscribed in columns x1..x2 and rows
// y1..y2 (inclusive), in all three planes, each plane against its own level.
// Regions narrower or lower than two cells, and regions with no spectrum
// around them to measure, change nothing; cells outside the store are skipped.
void DampNotch(TSpectrumStore& store, int32_t x1, int32_t x2, int32_t y1, int32_t y2);

// The notch's parameters. The screen finder sizes its regions by how far each
// peak stands out, not by these; they are fixed here so that every replay of a
// filter file damps exactly as the run that recorded it.
struct TNotchProfile {
    // The level is this multiple of the median magnitude around the region.
    double Level = 1.0;
    // How far a coefficient above the level is brought towards it: the gain
    // is (level / |v|) ^ Power, so 1 clips to the level and 2 goes below it
    // the way a Wiener filter does.
    double Power = 1.0;
    // The ring where the level is measured: from the ellipse out to this
    // multiple of its half axes.
    double RingScale = 2.0;
    // Full damping inside this fraction of the half axes, then a cosine taper
    // to none at the ellipse.
    double Core = 0.6;
};
const TNotchProfile& NotchProfile();
