#pragma once
// The ruling low-pass: the damping of a coarse screen's carriers together
// with their sidebands. A halftone multiplies the picture onto every carrier,
// so each peak of the screen is surrounded by a copy of the picture's
// spectrum, as wide as the picture's own detail; at 2.5 scan pixels a cell
// and more those copies reach deep into the picture's band, and notches that
// bring only the peaks down leave dots whose strength follows the tone.
//
// The gain is a radial Butterworth low-pass whose cutoff is a fixed share of
// the screen's fundamental frequency, the way a scanner's descreen setting
// works, but with the fundamental taken from the screen's lattices (see
// ScreenFundamental) rather than from a ruling the user has to know. The
// share and the order are the ones that score best on average over the
// descreen benchmark's whole range of rulings, angles and photographs.
//
// The entry holds the fundamental, so a replay damps exactly as the run
// that recorded it, on any scan of the same print at the same resolution.

#include "spectral/store.h"

struct TRulingLowPassProfile {
    // The cutoff as a share of the fundamental's frequency.
    double Cutoff = 0.47;
    // The Butterworth order: the gain is 1 / (1 + (f / cutoff)^(2 order)).
    double Order = 2.0;
};
const TRulingLowPassProfile& RulingLowPassProfile();

// `fundamental` is the screen's fundamental as a normalised radius
// (sqrt((c/W)^2 + (r/H)^2) of its peak, 1 at the far edges, twice the
// frequency in cycles per pixel); `power` raises the gain to that power (1
// the profile's low-pass, 2 its square, which damps harder). Changes nothing
// for a fundamental out of 0..2 or a power out of 0..16.
void DampScreenRuling(TSpectrumStore& store, float fundamental, float power);
