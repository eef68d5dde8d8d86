#pragma once
// The sideband damping: a gain per coefficient for coarse screens that takes
// the carriers together with their sidebands. A halftone multiplies the
// picture onto every carrier, so around each peak of the screen lies a copy
// of the picture's own spectrum, scaled by the carrier's strength, and at 2.5
// scan pixels a cell and more those copies reach deep into the picture's
// band. Both parts are modelled from the scan itself:
//
// - the picture, S: its spectrum falls off close to a power of the
//   frequency, fitted to the ring medians of the band below the fundamental,
//   where the sidebands are thinnest; and it is stronger in some directions
//   than in others (a building's edges, grass, hatching), by a factor per
//   direction measured in the same band;
// - the screen, N: around each of the screen's peaks the same fall, with the
//   same factors by direction (the sidebands are copies of the picture's
//   spectrum), scaled to the level measured in a ring around the peak,
//   summed over the peaks; and
//   beyond the fitted band whatever the rings hold above the picture's fall
//   that no peak accounts for (harmonics too weak to be found, the scanner's
//   noise).
//
// Both are taken in each of the three planes by the share of it measured
// where they are (over the band for the picture, in each peak's ring for its
// sidebands): an ink prints in the planes its colour absorbs, while the
// picture's detail lies in all three, so a plane an ink hardly shows in
// keeps its detail around that ink's carriers.
//
// The Wiener gain S / (S + N) keeps the picture's detail in the directions
// between the carriers, where the ruling low-pass (see DampScreenRuling)
// takes it away with the screen; the low-pass is the safer of the two where
// the models are poor (a picture whose own spectrum is lost under the
// screen's). The gain is their weighted geometric mean, the Wiener gain
// counting three times (see SidebandGain), never below the cube of the
// low-pass: measured on the descreen benchmark this beats either alone, the
// plain mean and the Wiener gain counting twice, and a model gone wrong
// damps at most three times as hard as the low-pass would. Cells where no
// screen is modelled are left alone.
//
// Where two inks' angles lie close, the difference of their carriers, a
// moire, falls so far inside the picture's band that neither gain reaches
// it; it is looked for where the carriers predict it and, where it stands
// far out of the spectrum beside it, its cells get the Wiener gain of what
// they hold beyond that, there alone below the low-pass squared (see
// TMoireSearch in the source).
//
// Like the notch it measures the spectrum it is applied to (it finds the
// screen's peaks again), so one entry fits every scan of the same print, and
// a replay on the same scan damps exactly as the run that recorded it.
// Everything per cell is computed by one thread from values that do not
// depend on the thread count, so the result is the same whatever it is.

#include "filter/screen_finder.h"
#include "spectral/store.h"

#include <memory>
#include <vector>

struct TSidebandProfile {
    // The picture's power law is fitted on the rings from Low to High times
    // the fundamental's radius; its slope (octaves of power per octave of
    // frequency) is at most MaxSlope. The rings that low mostly hold the
    // picture's broad shapes, which fall less steeply than its detail does
    // at the fundamental (photographs printed and scanned fall by 3 to 4
    // octaves an octave there): on the descreen benchmark a limit of -2.5
    // scores better than -1.5 to -2 and no worse than -2.25 to -3, over all
    // bands and both formats.
    double Low = 0.08;
    double High = 0.45;
    double MaxSlope = -2.5;
    // A peak's sidebands are measured in the ring from RingInner to
    // RingOuter times its notch radius (plus one cell), and count out to
    // Reach times the fundamental's radius.
    double RingInner = 1.0;
    double RingOuter = 3.0;
    double Reach = 1.2;
    // At most this many peaks, strongest first, are modelled.
    int MaxPeaks = 64;
    // The moires of every two of the strongest this many peaks are damped
    // where their peak stands out by MoireStandOut (a power ratio: 6
    // octaves) from the spectrum beside it, and with it the cells joined to
    // it that stand out by MoireJoined (3 octaves). The moires found stand
    // out by 6 to 17 octaves; peaks taken at lower ratios include the
    // picture's own (on the descreen benchmark 8 and 16 lose, 32 to 128
    // gain, 64 most), and flanks taken down to 2 octaves score worse than
    // to 3 or 4. Four inks' fundamentals and their harmonics, or two
    // rulings' fundamentals, are more than 16 peaks: 32, 48 and 64 parents
    // score +8.1, +8.1 and +8.7 dB over 16 in sum over the benchmark's 280
    // small cases, 64 losing 1.7 dB on one.
    int MoireParents = 32;
    double MoireStandOut = 64.0;
    double MoireJoined = 8.0;
    // Nor is a moire looked for nearer the constant term than this, times
    // the fundamental's radius: the closest inks lie 7.5 degrees apart,
    // which puts their moire at 0.13, and below it lie the picture's broad
    // shapes, a horizon's line stands out there as sharply as a moire.
    double MoireLowest = 0.12;
    // A horizon, a building's edges or a page's text lines, tilted with the
    // page, draw the picture's strongest lines within this many degrees of
    // the axes; there a moire's peak must stand out of the median along its
    // ray from the constant term by MoireStandOut too, or it is the line's.
    double MoireAxisDegrees = 10.0;
    // On the two axes lie the picture's row and column means: a horizon or
    // a building's edges put far more picture there than the radial model
    // holds, and its Wiener gain took them away with the screen (a sky over
    // the sea at 11.7 pixels a cell, 27.5 dB where 30.5 was in reach). So a
    // cell within AxisCells of an axis, out to twice the low-pass's cutoff,
    // whose measured power M is more than AxisStandOut times the modelled
    // screen's N gets at least the measured Wiener gain 1 - N / M; except
    // within the fundamental's distance of a peak that lies within
    // AxisInkCells of the axis, whose sidebands run along it (inks at 0 and
    // 90 degrees, a yellow close to them).
    int AxisCells = 2;
    double AxisStandOut = 8.0;
    int AxisInkCells = 6;
    // The picture's factor by direction is measured in Directions sectors of
    // the quadrant as the median of the band's levels above the fitted
    // fall, relative to the median over the sectors, and held within
    // DirectionLimit of it either way (a power ratio: 4 octaves). On the
    // descreen benchmark 16 sectors score better than 4, 8, 24 or 32 (the
    // sum of PSNR over 280 cases gains 33.5 dB, against 22.0, 28.8, 31.2
    // and 30.5; every band of pixels a cell gains, in both formats), a limit
    // of 16 better than 4 and as well as 64. A sector with fewer than 16
    // cells in the band keeps factor 1.
    int Directions = 16;
    double DirectionLimit = 16.0;
    // The gain is evaluated on a grid of at most this many points across the
    // spectrum's shorter side and interpolated between them: it varies
    // slowly except at the peaks, which the notches take.
    int GridPoints = 192;
};
const TSidebandProfile& SidebandProfile();

// The picture's power by direction, as a factor on its radial fall, per
// sector of the quadrant; 1 everywhere when made empty.
class TPictureDirections {
public:
    TPictureDirections() = default;
    explicit TPictureDirections(int sectors);
    size_t Count() const { return factors_.size(); }
    // The sector of the direction (u, v), both at least 0.
    size_t Sector(double u, double v) const;
    double At(double u, double v) const { return factors_.empty() ? 1.0 : factors_[Sector(u, v)]; }
    void Set(size_t sector, double factor) { factors_[sector] = factor; }

private:
    std::vector<double> factors_;
    std::vector<double> tangents_; // of the sectors' upper bounds but the last
};

// A power ratio for each of the three planes.
struct TPlaneShares {
    double Of[3] = {1.0, 1.0, 1.0};
    double operator[](size_t p) const { return Of[p]; }
    double& operator[](size_t p) { return Of[p]; }
};

// The models of a spectrum: the picture's power at a normalised radius, and
// the screen's at a cell, both relative to the picture's at the fundamental.
class TScreenPower;
struct TSidebandModel {
    double Slope = 0.0;     // octaves of power per octave of radius
    double Offset = 0.0;    // log2 of the picture's power at radius 1
    double Reference = 0.0; // log2 of the measured power the others are relative to
    double Fundamental = 0.0;
    // The screen's power that no peak accounts for, per ring of
    // TRadialProfile.
    std::vector<double> RingExcess;
    // The peaks' sidebands.
    std::shared_ptr<const TScreenPower> Screen;
    TPictureDirections Directions;
    // Each plane's level against the planes' combined one, over the band.
    TPlaneShares Share;
    // Along the radial fall, and at the normalised frequency (u, v) with its
    // direction's factor.
    double Picture(double radius) const;
    double Picture(double u, double v, double radius) const {
        return Picture(radius) * Directions.At(u, v);
    }
};
// The gain from the ruling low-pass's and the Wiener gain at one cell: their
// geometric mean with weights 1/4 and 3/4, never below the low-pass cubed.
double SidebandGain(double lowPass, double wiener);
// row[c] times SidebandGain(lowPass[c], wiener[c]) for c below n, but where
// wiener[c] is 1. With `wide`, four cells at once where the processor can;
// the products and roots are the same, so is the row.
void ScaleBySidebandGains(float* row, const double* lowPass, const double* wiener, int64_t n,
                          bool wide = true);

// False when there is nothing to model: no peaks, a fundamental out of 0..2,
// or a band too narrow to fit. Uses the work plane as scratch space.
// With `kept` holding rings, takes the levels from there and the work
// plane (see TSpectrumLevels) instead of measuring them again.
bool SidebandModel(TSpectrumStore& store, float fundamental, const std::vector<TScreenPeak>& peaks,
                   TSidebandModel& model, const TSpectrumLevels* kept = nullptr);

// `fundamental` is the screen's fundamental as a normalised radius (see
// DampScreenRuling), `power` the power of the gain (1 as modelled, 2 its
// square, which damps harder), `strength` the screen finder's. Changes nothing
// for numbers out of range (a power or a strength out of 0..16 and 0..4), or
// a spectrum without a screen. Uses the work plane as scratch.
void DampScreenSidebands(TSpectrumStore& store, float fundamental, float power, float strength);

// The same with the peaks already found on this spectrum, as
// FindScreenPeaks(store, {strength}) gives them, and what it measured on the
// way when it was asked to keep that.
void DampScreenSidebands(TSpectrumStore& store, float fundamental, float power,
                         const std::vector<TScreenPeak>& peaks,
                         const TSpectrumLevels* kept = nullptr);
