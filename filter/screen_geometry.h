#pragma once
// The geometry of a halftone screen from its peaks. Each ink prints a square
// lattice of dots, so its spectrum holds a pair of fundamentals u and v of
// equal length at right angles, and from them the harmonics u + v, u - v, 2u;
// several inks add their sums and differences (the rosette terms), which can
// lie far below the fundamentals. The spectrum of the cosine-type transform
// keeps frequencies without their signs, so every frequency (fx, fy) shows at
// (|fx|, |fy|), and the partner of a fundamental (fx, fy) is (fy, fx).
//
// A peak counts as a fundamental when the peaks that its lattice predicts
// are there as well; the coarsest such lattice is the screen's ruling. Unlike
// the single strongest peak, which may be a harmonic or another ink's term,
// this is the same whatever the page's rotation, contrast or encoding.

#include "filter/screen_finder.h"

#include <cstdint>
#include <vector>

struct TScreenLattice {
    // The fundamentals in cycles per pixel, folded into the first quadrant.
    double U[2] = {0.0, 0.0};
    double V[2] = {0.0, 0.0};
    // |u| in cycles per pixel.
    double Frequency = 0.0;
    // How many of the predicted partner and harmonics were found (at most 4).
    int32_t Support = 0;
    // How far the fundamental's peak stands out (see TScreenPeak).
    int32_t Excess = 0;
};

// The lattices the peaks (of a spectrum of W x H cells) make, coarsest first;
// one per ink ruling and angle, harmonics not repeated. Empty when no peak
// has the support of its lattice, as when a screen finer than the scan's
// resolution has folded back.
std::vector<TScreenLattice> FindScreenLattices(const std::vector<TScreenPeak>& peaks, int32_t W,
                                               int32_t H);

// The screen's fundamental frequency in cycles per pixel that the dampings
// are anchored on: the coarsest lattice's among those about as strong as the
// strongest, when the strongest peak is one of the lattices' fundamentals or
// harmonics, or the sum or difference of two inks' fundamentals of one
// ruling (with inks 30 degrees apart their sum, at 1.93 times the ruling,
// can outdo every ink's own peaks); otherwise 0 (no screen, or one finer than the scan's
// resolution, folded back). The rosette terms that two inks make (the
// difference of their fundamentals, at about half the ruling for inks 30
// degrees apart) form lattices of their own, as strong as the ruling's at
// times; a lattice that is the difference of two peaks standing out as much
// at one finer radius, or of two finer inks' full lattices of one ruling
// standing out at most two octaves less, is passed over. Here, unlike in FindScreenLattices, a
// fundamental with its partner also makes a lattice without harmonics when
// two more inks' fundamentals lie at its radius: a coarse screen's harmonics
// can be lost among the inks' sidebands.
double ScreenFundamental(const std::vector<TScreenPeak>& peaks, int32_t W, int32_t H);
