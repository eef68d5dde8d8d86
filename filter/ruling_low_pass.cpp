#include "filter/ruling_low_pass.h"

#include "filter/spectrum_levels.h"

#include <cmath>
#include <vector>

const TRulingLowPassProfile& RulingLowPassProfile() {
    static const TRulingLowPassProfile profile;
    return profile;
}

void DampScreenRuling(TSpectrumStore& store, float fundamental, float power) {
    const TRulingLowPassProfile& profile = RulingLowPassProfile();
    const int32_t W = store.Cols, H = store.Rows;
    if (store.Empty()) return;
    if (!(fundamental > 0.0f && fundamental <= 2.0f && power > 0.0f && power <= 16.0f)) return;
    const double cutoff = profile.Cutoff * double(fundamental);
    // The gain depends on the column and the row only through their squares,
    // so it is taken per row from two tables; each cell's value is the same
    // whatever the thread count.
    std::vector<double> cu(static_cast<size_t>(W));
    for (int32_t c = 0; c < W; ++c) {
        const double u = double(c) / W / cutoff;
        cu[size_t(c)] = u * u;
    }
    ForRowBands(H, [&](int32_t r0, int32_t r1) {
        for (int64_t r = r0; r < r1; ++r) {
            const double v = double(r) / H / cutoff, rv = v * v;
            const size_t row = size_t(r) * size_t(W);
            for (int64_t c = 0; c < W; ++c) {
                const double q2 = cu[size_t(c)] + rv;
                const double lowPass =
                    1.0 / (1.0 + (profile.Order == 2.0 ? q2 * q2 : std::pow(q2, profile.Order)));
                const double gain = power == 1.0f ? lowPass : std::pow(lowPass, double(power));
                for (auto& plane : store.Planes) {
                    float& x = plane[row + size_t(c)];
                    x = float(double(x) * gain);
                }
            }
        }
    });
}
