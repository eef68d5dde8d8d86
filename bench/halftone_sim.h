#pragma once
// A print-and-scan simulator for measuring descreeners: a continuous-tone
// picture is separated into cyan, magenta, yellow and black, each ink is laid
// down as an amplitude-modulated screen of round dots on its own rotated
// grid, the inks are combined subtractively on white paper, and the page is
// scanned back with an optical blur, area integration over the scanner's
// pixels, noise and 8-bit quantisation. Plain data, no Qt.
//
// The picture's pixel grid is the print's resolution. The inks are ideal
// (each absorbs exactly one of red, green and blue, black all three), so a
// perfect descreener that averages the dots away gets the picture back; the
// benchmark scores against the picture itself.

#include "bench/image_quality.h"
#include "spectral/bitmap.h"

#include <cstdint>
#include <random>
#include <vector>

struct TScreenSetup {
    // Print pixels per screen cell, the same for all four inks.
    double CellPixels = 1.9;
    // Screen angles in degrees of cyan, magenta, yellow and black, before the
    // page rotation.
    double InkAngles[4] = {15.0, 75.0, 0.0, 45.0};
    // The page lies this many degrees askew on the scanner: every screen
    // turns with it (the picture's grid does not, so the scores compare like
    // with like).
    double PageRotation = 0.0;
    // Where each ink's grid starts, in cells.
    double Phase[4][2] = {};
    // Grey component replacement: black takes this share of the common grey.
    double BlackShare = 0.6;
    // 1 for round dots; above 1 the dots grow along the grid's first axis
    // faster than along the second (elliptical or chain dots), up to 1.9.
    double DotElongation = 1.0;
};

// Fine samples per print pixel and axis: the dots are rendered with
// antialiased edges at this resolution, blurred and integrated from there.
constexpr int32_t kPrintSupersampling = 4;

// The printed page as light reflected by it (0 ink-covered black .. 1 white
// paper) at kPrintSupersampling samples per picture pixel and axis, three
// channels (blue, green, red) per sample.
struct TPrintedPage {
    int32_t Width = 0; // of the picture, in print pixels
    int32_t Height = 0;
    std::vector<float> Reflectance; // (Height * S) rows of (Width * S) samples of 3 floats
};

// Prints the picture with the screen.
TPrintedPage PrintHalftone(const TBitmap24& picture, const TScreenSetup& screen);
// The picture printed without a screen (continuous tone): the control case.
TPrintedPage PrintContone(const TBitmap24& picture);

struct TScanSetup {
    // Scan pixels per print pixel and axis: 1 or 2.
    int32_t Factor = 1;
    // Standard deviation of the scanner's optics (a Gaussian point spread
    // function), in scan pixels.
    double BlurSigma = 0.5;
    // Standard deviation of additive noise, in 8-bit levels.
    double NoiseSigma = 1.0;
    uint32_t Seed = 1;
};

// Scans the page: blur at the fine resolution, mean over each scan pixel's
// area, noise, rounding to 0..255. The result is Factor times the picture's
// size.
TBitmap24 ScanPage(const TPrintedPage& page, const TScanSetup& scan);

// Resamples a picture to width x height by area averaging (box filter); for
// reducing photographs to print size.
TBitmap24 ResizeByArea(const TBitmap24& picture, int32_t width, int32_t height);
