#pragma once
// What an image file says about its pixels beyond their values, and pixels
// of 16 bits per channel. Both travel next to the store from reading to
// writing, so that a scan keeps its printed size, its colour profile, its
// colour type and its precision; the store's arithmetic never sees them.

#include "spectral/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TImageInfo {
    // Resolution in dots per inch; 0 when the file does not state one.
    double DpiX = 0;
    double DpiY = 0;
    // The embedded ICC profile as stored; empty when there is none.
    std::string IccProfile;
    // The file holds one grey channel (written back as grey where the
    // output format has a grey colour type).
    bool Grey = false;
    // The file holds 16 bits per channel.
    bool Deep = false;
    // The file had transparent or translucent pixels; they were composited
    // onto white, since the store holds no transparency (a host says so).
    bool AlphaComposited = false;
};

// A resize keeps the printed size: the resolution scales with the pixel
// count along each axis. Nothing changes when no resolution is stated.
void ScaleResolution(TImageInfo& info, int32_t oldCols, int32_t oldRows, int32_t newCols,
                     int32_t newRows);

// W x H pixels of three 16-bit channels, blue, green, red, row 0 at the top:
// the 16-bit counterpart of TBitmap24.
struct TBitmap48 {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint16_t> Samples; // Height rows of 3 * Width samples

    TBitmap48() = default;
    TBitmap48(int32_t width, int32_t height)
        : Width(width), Height(height),
          Samples(width > 0 && height > 0 ? NewSamples<uint16_t>(width, height, 3)
                                          : std::vector<uint16_t>()) {}

    bool Empty() const { return Width <= 0 || Height <= 0; }
    uint16_t* Row(int32_t r) { return Samples.data() + size_t(r) * size_t(Width) * 3u; }
    const uint16_t* Row(int32_t r) const { return Samples.data() + size_t(r) * size_t(Width) * 3u; }
};
