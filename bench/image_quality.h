#pragma once
// Image quality measures for the descreening benchmark: how close a cleaned
// scan comes to the picture that was printed. Plain data, no Qt.
//
// Images are compared as floats in 0..255 with three channels per pixel in
// the bitmap's byte order (blue, green, red), so that a scan at twice the
// print's resolution can be reduced by 2 x 2 means and scored without being
// rounded again.

#include "spectral/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct TImageF {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<float> Values; // Height rows of Width pixels of blue, green, red

    TImageF() = default;
    TImageF(int32_t width, int32_t height)
        : Width(width), Height(height), Values(size_t(width) * size_t(height) * 3u, 0.0f) {}

    float* Pixel(int32_t c, int32_t r) {
        return Values.data() + (size_t(r) * size_t(Width) + size_t(c)) * 3u;
    }
    const float* Pixel(int32_t c, int32_t r) const {
        return Values.data() + (size_t(r) * size_t(Width) + size_t(c)) * 3u;
    }
};

TImageF ToFloatImage(const TBitmap24& image);
// Rounds to the nearest level and clamps to 0..255.
TBitmap24 ToBitmap(const TImageF& image);

// Each output pixel is the mean of a 2 x 2 block; an odd last row or column
// is dropped.
TImageF Reduce2x2(const TImageF& image);

// A separable Gaussian blur of every channel with standard deviation sigma
// (in pixels), the kernel cut at 4 sigma and the border extended by mirroring
// (the edge pixel not repeated). sigma <= 0 returns the image unchanged.
TImageF GaussianBlur(const TImageF& image, double sigma);

// The PSNR cap: what identical images score, so that means stay finite.
// Mirrors an index into 0..n-1 without repeating the edge: -1 -> 1, n -> n-2.
int32_t MirrorIndex(int32_t i, int32_t n);

constexpr double kPsnrCap = 100.0;

// Mean squared error over all pixels and all three channels; the images must
// have the same size.
double MeanSquaredError(const TImageF& a, const TImageF& b);
// 10 log10(255^2 / MSE) in dB, at most kPsnrCap.
double Psnr(const TImageF& a, const TImageF& b);

// Luminance 0.299 R + 0.587 G + 0.114 B.
std::vector<float> Luminance(const TImageF& image);

// SSIM on luminance with the usual constants (K1 = 0.01, K2 = 0.03, L = 255)
// and an 11 x 11 Gaussian window of sigma 1.5, averaged over the positions
// where the whole window lies inside the image. 1 for identical images.
double Ssim(const TImageF& a, const TImageF& b);
