#include "filter/notch.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

const TNotchProfile& NotchProfile() {
    static const TNotchProfile profile;
    return profile;
}

namespace {

// The median of the values, which are reordered.
double Median(std::vector<float>& v) {
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(mid), v.end());
    double m = v[mid];
    if (v.size() % 2 == 0) {
        const float below = *std::max_element(v.begin(), v.begin() + std::ptrdiff_t(mid));
        m = (m + double(below)) / 2.0;
    }
    return m;
}

} // namespace

void DampNotch(TSpectrumStore& store, int32_t x1, int32_t x2, int32_t y1, int32_t y2) {
    const TNotchProfile& profile = NotchProfile();
    const int64_t W = store.Cols, H = store.Rows;
    if (x2 - x1 < 2 || y2 - y1 < 2 || W <= 0 || H <= 0) return;
    const double a = double(int64_t(x2) - x1) / 2.0, b = double(int64_t(y2) - y1) / 2.0;
    const double cx = (double(x1) + double(x2)) / 2.0, cy = (double(y1) + double(y2)) / 2.0;
    const auto radius = [&](int64_t c, int64_t r) {
        const double u = (double(c) - cx) / a, v = (double(r) - cy) / b;
        return std::sqrt(u * u + v * v);
    };

    // The level around the region. Row 0 and column 0 hold the means of the
    // picture's columns and rows, which are far stronger than their
    // neighbours, so they do not count.
    const double ring = profile.RingScale;
    const int64_t c0 = std::max<int64_t>(1, int64_t(std::floor(cx - ring * a)));
    const int64_t c1 = std::min<int64_t>(W - 1, int64_t(std::ceil(cx + ring * a)));
    const int64_t r0 = std::max<int64_t>(1, int64_t(std::floor(cy - ring * b)));
    const int64_t r1 = std::min<int64_t>(H - 1, int64_t(std::ceil(cy + ring * b)));
    std::vector<float> around[3];
    for (int64_t r = r0; r <= r1; ++r)
        for (int64_t c = c0; c <= c1; ++c) {
            const double d = radius(c, r);
            if (d <= 1.0 || d > ring) continue;
            const size_t i = size_t(r) * size_t(W) + size_t(c);
            for (int p = 0; p < 3; ++p) around[p].push_back(std::fabs(store.Planes[p][i]));
        }
    if (around[0].size() < 8) return;
    double level[3];
    for (int p = 0; p < 3; ++p) level[p] = profile.Level * Median(around[p]);

    const int64_t d0 = std::max<int64_t>(0, x1), d1 = std::min<int64_t>(W - 1, x2);
    const int64_t e0 = std::max<int64_t>(0, y1), e1 = std::min<int64_t>(H - 1, y2);
    for (int64_t r = e0; r <= e1; ++r)
        for (int64_t c = d0; c <= d1; ++c) {
            const double d = radius(c, r);
            if (d > 1.0) continue;
            double weight = 1.0;
            if (d > profile.Core) {
                const double t = (d - profile.Core) / (1.0 - profile.Core);
                weight = 0.5 + 0.5 * std::cos(std::numbers::pi * t);
            }
            const size_t i = size_t(r) * size_t(W) + size_t(c);
            for (int p = 0; p < 3; ++p) {
                float& v = store.Planes[p][i];
                const double m = std::fabs(double(v));
                if (!(m > level[p]) || std::isinf(m)) continue;
                const double gain = std::pow(level[p] / m, profile.Power);
                v = float(double(v) * (1.0 - weight * (1.0 - gain)));
            }
        }
}
