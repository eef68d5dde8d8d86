#pragma once
// The band damping: the part of a screen that no notch can hold. Around each
// of its peaks a screen spreads a copy of the whole picture's spectrum, and
// with the harmonics, their sums and the scanner's noise these fill the upper
// frequencies. A photograph's own spectrum falls off smoothly, close to a
// power of the frequency; the damping fits that fall on a band of low
// frequencies the screen leaves alone, and wherever the spectrum around a
// cell (the median of its block) is stronger than the fit predicts, scales
// the coefficients down by the ratio, as a Wiener filter does. The screen's
// remains lie in some directions only, so measuring by blocks damps them and
// spares the picture between them.
//
// Like the notch it measures the spectrum it is applied to, so one entry fits
// every scan of the same print.

#include "filter/screen_finder.h"
#include "spectral/store.h"

// Fits the fall on the normalised radii lo..hi (radius sqrt((c/W)^2 +
// (r/H)^2), 1 at the far edges) and damps the cells beyond the band's upper
// part;
// `power` scales the damping in octaves (1 is the Wiener gain). Changes
// nothing when the band holds too few rings to fit. Uses the work plane as
// scratch space; with `kept` holding rings, takes the levels from there
// and the work plane (see TSpectrumLevels) instead of measuring them again.
void DampScreenBand(TSpectrumStore& store, float lo, float hi, float power,
                    const TSpectrumLevels* kept = nullptr);
