#pragma once
// The picture the batch benchmarks feed through apply and the batch dialog,
// one generator so that both measure the same work.

#include "spectral/bitmap.h"

#include <algorithm>
#include <cstdint>

// A scan-like picture: smooth shapes under a fine dot screen, different per
// image.
inline TBitmap24 Scan(int32_t w, int32_t h, int seed) {
    TBitmap24 b(w, h);
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c) {
            const int base = ((c + seed * 17) / 40 + r / 50) % 3 * 60 + 40;
            const int dot = ((c % 6) < 3) == ((r % 6) < 3) ? 50 : -50;
            uint8_t* px = b.Pixel(c, r);
            px[0] = uint8_t(std::clamp(base + dot, 0, 255));
            px[1] = uint8_t(std::clamp(base + 30 - dot, 0, 255));
            px[2] = uint8_t(std::clamp(200 - base + dot / 2, 0, 255));
        }
    return b;
}
