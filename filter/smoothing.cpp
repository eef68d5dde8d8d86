#include "filter/smoothing.h"

#include <algorithm>
#include <cmath>

namespace {

// The geometry of one region, computed once per call.
struct TRegion {
    int64_t x1, x2, y1, y2;
    bool ellipse;
    double a, b, cx, cy; // half axes and centre of the ellipse, halves exact
    double wh;           // W + H
    double m;            // the smaller side, x2 - x1 or y2 - y1

    TRegion(int32_t W, int32_t H, int32_t X1, int32_t X2, int32_t Y1, int32_t Y2, bool ell)
        : x1(X1), x2(X2), y1(Y1), y2(Y2), ellipse(ell) {
        a = double(x2 - x1) / 2.0;
        b = double(y2 - y1) / 2.0;
        cx = double(x1 + x2) / 2.0;
        cy = double(y1 + y2) / 2.0;
        wh = double(W) + double(H);
        m = double(std::min(x2 - x1, y2 - y1));
    }

    bool Degenerate() const { return x2 - x1 == 0 || y2 - y1 == 0; }

    bool Inside(int64_t c, int64_t r) const {
        if (!ellipse) return true;
        const double u = (double(c) - cx) / a;
        const double v = (double(r) - cy) / b;
        return std::sqrt(u * u + v * v) <= 1.0;
    }

    double Factor(int64_t c, int64_t r) const {
        // Squared distance to the nearest of the four border lines, compared
        // as floats.
        const auto sq = [](int64_t d) { return float(d * d); };
        const float d2 =
            std::min(std::min(sq(x1 - c), sq(x2 - c)), std::min(sq(y1 - r), sq(y2 - r)));
        const float e = float(double(d2) * 5000.0 / wh);
        return double(e) / m + 1.0;
    }
};

} // namespace

double SmoothingFactor(int32_t W, int32_t H, int32_t x1, int32_t x2, int32_t y1, int32_t y2,
                       bool ellipse, int32_t c, int32_t r) {
    const TRegion g(W, H, x1, x2, y1, y2, ellipse);
    if (g.Degenerate() || c < x1 || c > x2 || r < y1 || r > y2 || !g.Inside(c, r)) return 0.0;
    return g.Factor(c, r);
}

void SmoothRegion(TSpectrumStore& store, int32_t x1, int32_t x2, int32_t y1, int32_t y2,
                  bool ellipse, TSmoothDirection direction) {
    const int32_t W = store.Cols, H = store.Rows;
    const TRegion g(W, H, x1, x2, y1, y2, ellipse);
    if (g.Degenerate()) return;
    // Only cells inside the store change, and a cell's factor does not depend
    // on any other cell, so the walk is limited to the part inside the store.
    const int64_t c0 = std::max<int64_t>(x1, 0), c1 = std::min<int64_t>(x2, int64_t(W) - 1);
    const int64_t r0 = std::max<int64_t>(y1, 0), r1 = std::min<int64_t>(y2, int64_t(H) - 1);
    for (int64_t c = c0; c <= c1; ++c) {
        for (int64_t r = r0; r <= r1; ++r) {
            if (!g.Inside(c, r)) continue;
            const double f = g.Factor(c, r);
            const size_t i = size_t(r) * size_t(W) + size_t(c);
            for (auto& plane : store.Planes) {
                float& v = plane[i];
                v = direction == TSmoothDirection::Smooth ? float(double(v) / f)
                                                          : float(double(v) * f);
            }
        }
    }
}
