// Makes the bundled sample: a scan-like colour picture printed with a
// halftone screen (cyan, magenta, yellow and black dots on rotated grids, as
// offset printing lays them down), scanned with a little blur and paper noise.
// Its spectrum shows the screen's peaks, which the sample filter removes.
//
// usage: make_sample OUT.bmp [WIDTH HEIGHT]

#include "imagefile/image_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

struct TRgb {
    double r, g, b;
};

// The continuous-tone picture: a sky, a sun, hills, a lake and a house, in
// 0..1 per channel.
TRgb Scene(double x, double y) {
    // x, y in 0..1, y downwards.
    TRgb c{0.45 + 0.4 * y, 0.65 + 0.25 * y, 0.95 - 0.1 * y}; // sky
    const double sun = std::hypot(x - 0.78, y - 0.22);
    if (sun < 0.09) c = {1.0, 0.85 - sun, 0.3};
    const double hill1 = 0.55 + 0.08 * std::sin(x * 7.0 + 0.5);
    const double hill2 = 0.62 + 0.05 * std::sin(x * 11.0 + 2.0);
    if (y > hill1) c = {0.25 + 0.2 * x, 0.5 + 0.15 * std::sin(x * 20), 0.2};
    if (y > hill2) c = {0.2, 0.42 + 0.1 * y, 0.15 + 0.1 * x};
    if (y > 0.78) {
        const double ripple = 0.05 * std::sin(y * 160.0 + x * 6.0);
        c = {0.15 + ripple, 0.35 + ripple, 0.6 + 0.2 * (y - 0.78) + ripple};
    }
    // A house with a red roof.
    if (x > 0.18 && x < 0.38 && y > 0.5 && y < 0.72) c = {0.9, 0.88, 0.78};
    if (y > 0.38 && y <= 0.5 && std::fabs(x - 0.28) < (y - 0.38) * 1.0) c = {0.7, 0.15, 0.1};
    if (x > 0.25 && x < 0.31 && y > 0.6 && y < 0.72) c = {0.35, 0.2, 0.1};
    c.r = std::clamp(c.r, 0.0, 1.0);
    c.g = std::clamp(c.g, 0.0, 1.0);
    c.b = std::clamp(c.b, 0.0, 1.0);
    return c;
}

// Coverage of one ink at a point: a round dot on a grid of period `period`
// rotated by `angle`, grown until it covers the fraction `tone`.
bool Inked(double x, double y, double tone, double period, double angle) {
    const double ca = std::cos(angle), sa = std::sin(angle);
    const double u = (x * ca + y * sa) / period, v = (-x * sa + y * ca) / period;
    const double fu = u - std::floor(u) - 0.5, fv = v - std::floor(v) - 0.5;
    // Spot function: a round dot, its value grows from the cell's centre.
    const double spot =
        1.0 -
        (std::cos(2 * std::numbers::pi * fu) + std::cos(2 * std::numbers::pi * fv) + 2.0) / 4.0;
    return spot < tone;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: make_sample OUT.bmp [WIDTH HEIGHT]\n");
        return 2;
    }
    const int W = argc == 4 ? std::atoi(argv[2]) : 600;
    const int H = argc == 4 ? std::atoi(argv[3]) : 450;
    if (W < 8 || H < 8 || W > 20000 || H > 20000) {
        std::fprintf(stderr, "make_sample: size out of range\n");
        return 2;
    }
    const double deg = std::numbers::pi / 180.0;
    const double period =
        5.5; // pixels per screen cell, a coarse magazine screen scanned at low resolution
    const double angles[4] = {15 * deg, 75 * deg, 0 * deg, 45 * deg}; // C, M, Y, K
    const int ss = 4;                                                 // supersampling per axis

    std::vector<double> plane(size_t(W) * H * 3);
    for (int py = 0; py < H; ++py)
        for (int px = 0; px < W; ++px) {
            double acc[3] = {0, 0, 0};
            for (int sy = 0; sy < ss; ++sy)
                for (int sx = 0; sx < ss; ++sx) {
                    const double x = px + (sx + 0.5) / ss, y = py + (sy + 0.5) / ss;
                    const TRgb c = Scene(x / W, y / H);
                    const double k = std::max(0.0, 0.6 * (1.0 - std::max({c.r, c.g, c.b})));
                    const double cy = (1 - c.r - k) / (1 - k), mg = (1 - c.g - k) / (1 - k),
                                 ye = (1 - c.b - k) / (1 - k);
                    const bool inks[4] = {
                        Inked(x, y, cy, period, angles[0]), Inked(x, y, mg, period, angles[1]),
                        Inked(x, y, ye, period, angles[2]), Inked(x, y, k, period, angles[3])};
                    // Paper white, each ink absorbs its complementary light.
                    double r = 0.96, g = 0.95, b = 0.92;
                    if (inks[0]) r *= 0.12, g *= 0.75;
                    if (inks[1]) g *= 0.12, b *= 0.7, r *= 0.95;
                    if (inks[2]) b *= 0.1, g *= 0.95;
                    if (inks[3]) r *= 0.1, g *= 0.1, b *= 0.1;
                    acc[0] += b, acc[1] += g, acc[2] += r;
                }
            for (int p = 0; p < 3; ++p) plane[(size_t(py) * W + px) * 3 + p] = acc[p] / (ss * ss);
        }

    // The scanner: a slight blur and some noise.
    std::mt19937 gen(20261208);
    std::normal_distribution<double> noise(0.0, 0.012);
    TBitmap24 image(W, H);
    for (int py = 0; py < H; ++py)
        for (int px = 0; px < W; ++px)
            for (int p = 0; p < 3; ++p) {
                double sum = 0, weight = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int qx = std::clamp(px + dx, 0, W - 1),
                                  qy = std::clamp(py + dy, 0, H - 1);
                        const double w = (dx == 0 ? 2 : 1) * (dy == 0 ? 2 : 1);
                        sum += w * plane[(size_t(qy) * W + qx) * 3 + p];
                        weight += w;
                    }
                const double v = sum / weight + noise(gen);
                image.Pixel(px, py)[p] = uint8_t(std::clamp(v * 255.0 + 0.5, 0.0, 255.0));
            }
    try {
        WriteImageFile(argv[1], image);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_sample: %s\n", e.what());
        return 1;
    }
    std::printf("wrote %s (%d x %d)\n", argv[1], W, H);
    return 0;
}
