#pragma once
// How strong a spectrum is where: the combined power of the three planes at
// every cell as a level, the median level of every ring around the constant
// term, and the median level of blocks of cells. The screen finder looks for
// peaks above these; the band damping compares them with what a photograph's
// spectrum would be.
//
// Levels are whole numbers, eighths of an octave of power: the top bits of a
// non-negative float (its exponent and three bits of mantissa) grow with its
// logarithm, so they serve as a logarithm that costs nothing and is exact, and
// everything computed from them is the same whatever the thread count.

#include "spectral/store.h"

#include <cstdint>
#include <functional>
#include <vector>

constexpr int32_t kLevelsPerOctave = 8;
constexpr int32_t kLevelCount = 2048;

// The level of a power; 0 for no power, NaN and infinities.
int32_t PowerLevel(double power);
// A power ratio in levels, rounded.
int32_t LevelsOf(double ratio);

// Runs rowWork(r0, r1) over bands of rows on the processors this process may
// use. Each row is one worker's alone, so what is computed per cell does not
// depend on the thread count.
void ForRowBands(int32_t rows, const std::function<void(int32_t r0, int32_t r1)>& rowWork);

// The combined power v0^2 + v1^2 + v2^2 of the three planes at cell i.
inline double CombinedPower(const TSpectrumStore& store, size_t i) {
    const double v0 = store.Planes[0][i], v1 = store.Planes[1][i], v2 = store.Planes[2][i];
    return v0 * v0 + v1 * v1 + v2 * v2;
}

// The level of CombinedPower at every cell, into levels[r * W + c].
void CombinedLevels(const TSpectrumStore& store, float* levels);

// Rings by normalised radius sqrt((c/W)^2 + (r/H)^2), 0 .. sqrt 2.
class TRadialProfile {
public:
    static constexpr int kBins = 256;
    TRadialProfile(int32_t W, int32_t H);
    int Bin(int64_t c, int64_t r) const;
    // Bin(c, r) of every cell of row r, into bins[0 .. W): the same numbers,
    // found without a square root per cell.
    void RowBins(int64_t r, uint8_t* bins) const;
    double Radius(int64_t c, int64_t r) const;
    static double BinRadius(int bin) { return (bin + 0.5) / kBins * 1.4142135623730951; }
    // The median level of each ring, steadied over neighbouring rings.
    void Measure(const float* levels);
    int32_t Median(int bin) const { return median_[size_t(bin)]; }
    // The straight line, by least squares, of the medians (in levels) on
    // log2 of the radius over the rings from `first` on whose radius lies in
    // lo..hi, its slope at most `maxSlope` (levels per octave of radius):
    // the power law a photograph's spectrum falls by. False with fewer than
    // three rings to fit.
    bool FitFall(double lo, double hi, int first, double maxSlope, double& slope,
                 double& intercept) const;

private:
    int32_t W_, H_;
    std::vector<int32_t> median_ = std::vector<int32_t>(kBins, 0);
    // (c / W)^2 per column, as Radius computes it.
    std::vector<double> columnSquares_;
};

// Median levels of square blocks of cells, each steadied over its
// neighbouring blocks so that a peak filling one block does not raise it,
// and read anywhere by interpolating between the blocks' centres.
class TBlockLevels {
public:
    // The block side for a spectrum of W x H cells.
    static int32_t BlockFor(int32_t W, int32_t H);
    TBlockLevels(const float* levels, int32_t W, int32_t H, int32_t block);
    double At(int64_t c, int64_t r) const;
    int32_t Block() const { return block_; }
    // The lowest block level: nothing reads below it.
    int32_t Lowest() const { return lowest_; }

private:
    int32_t block_, bx_, by_;
    int32_t lowest_ = 0;
    std::vector<int32_t> level_;
};
