#include "filter/sideband_damping.h"

#include "filter/ruling_low_pass.h"
#include "filter/spectrum_levels.h"

#include <algorithm>
#include <cmath>
#include <memory>

const TSidebandProfile& SidebandProfile() {
    static const TSidebandProfile profile;
    return profile;
}

double SidebandGain(double lowPass, double wiener) {
    return std::max(std::cbrt(lowPass * wiener * wiener), lowPass * lowPass);
}

double TSidebandModel::Picture(double radius) const {
    return std::exp2(Offset + Slope * std::log2(radius));
}

namespace {

// The median of the values, which are reordered.
double MedianOf(std::vector<double>& v) {
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(mid), v.end());
    return v[mid];
}

} // namespace

struct TSidebandCarrier {
    double C, R;         // the peak's cell
    double LogScale;     // log2 of its sidebands' power at normalised distance 1
    double SpanC, SpanR; // how far its sidebands reach, in cells
};

// The screen's power at cell (x, y): every peak's sidebands at each of the
// peak's four mirror images, since a frequency and its mirrors fold onto the
// same cell. Summed in the peaks' order, so the value is the same whoever
// computes it.
class TScreenPower {
public:
    TScreenPower(std::vector<TSidebandCarrier> carriers, double slope, int32_t W, int32_t H)
        : carriers_(std::move(carriers)), half_(slope / 2.0), cellX_(1.0 / W), cellY_(1.0 / H) {
        const double nearest = std::min(cellX_, cellY_);
        floor_ = nearest * nearest;
    }

    float At(double x, double y) const {
        float sum = 0.0f;
        for (const TSidebandCarrier& k : carriers_)
            for (const double kr : {k.R, -k.R}) {
                if (kr < 0.0 && k.R == 0.0) continue;
                const double dr = y - kr;
                if (std::fabs(dr) > k.SpanR) continue;
                const double dy2 = dr * cellY_ * dr * cellY_;
                for (const double kc : {k.C, -k.C}) {
                    if (kc < 0.0 && k.C == 0.0) continue;
                    if (std::fabs(x - kc) > k.SpanC) continue;
                    const double dc = (x - kc) * cellX_;
                    const double d2 = std::max(floor_, dc * dc + dy2);
                    sum += float(std::exp2(k.LogScale + half_ * std::log2(d2)));
                }
            }
        return sum;
    }

private:
    std::vector<TSidebandCarrier> carriers_;
    double half_, cellX_, cellY_, floor_;
};

bool SidebandModel(TSpectrumStore& store, float fundamental, const std::vector<TScreenPeak>& peaks,
                   TSidebandModel& model) {
    const TSidebandProfile& profile = SidebandProfile();
    const int32_t W = store.Cols, H = store.Rows;
    if (store.Empty() || store.WorkPlane.size() != store.CellCount() || peaks.empty()) return false;
    if (!(fundamental > 0.0f && fundamental <= 2.0f)) return false;
    float* levels = store.WorkPlane.data();
    CombinedLevels(store, levels);
    TRadialProfile rings(W, H);
    rings.Measure(levels);

    // The picture: least squares of log2 power on log2 radius over the band.
    const double f = fundamental;
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int b = 2; b < TRadialProfile::kBins; ++b) {
        const double radius = TRadialProfile::BinRadius(b);
        if (radius < profile.Low * f || radius > profile.High * f) continue;
        const double x = std::log2(radius), y = double(rings.Median(b)) / kLevelsPerOctave;
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    if (n < 3) return false;
    const double slope = std::min(profile.MaxSlope, (n * sxy - sx * sy) / (n * sxx - sx * sx));
    // Powers are kept relative to the picture's at the fundamental, so that
    // they fit a float.
    const double intercept = (sy - slope * sx) / n;
    const double reference = intercept + slope * std::log2(f);

    // The screen: each peak's sidebands, scaled to the ring around it.
    const double cellX = 1.0 / W, cellY = 1.0 / H;
    std::vector<TSidebandCarrier> carriers;
    std::vector<double> ring;
    for (const TScreenPeak& p : peaks) {
        if (int(carriers.size()) >= profile.MaxPeaks) break;
        const double inner = profile.RingInner * p.Radius + 1.0;
        const double outer = profile.RingOuter * p.Radius + 1.0;
        ring.clear();
        const int64_t span = int64_t(std::ceil(outer));
        for (int64_t r = std::max<int64_t>(1, p.Row - span);
             r <= std::min<int64_t>(H - 1, p.Row + span); ++r)
            for (int64_t c = std::max<int64_t>(1, p.Column - span);
                 c <= std::min<int64_t>(W - 1, p.Column + span); ++c) {
                const double dc = double(c - p.Column), dr = double(r - p.Row);
                const double d = std::sqrt(dc * dc + dr * dr);
                if (d < inner || d > outer) continue;
                const double dn = std::hypot(dc * cellX, dr * cellY);
                ring.push_back(double(levels[size_t(r) * size_t(W) + size_t(c)]) /
                                   kLevelsPerOctave -
                               slope * std::log2(dn));
            }
        if (ring.size() < 8) continue;
        const double reach = profile.Reach * f;
        carriers.push_back({double(p.Column), double(p.Row), MedianOf(ring) - reference,
                            std::ceil(reach * W), std::ceil(reach * H)});
    }
    if (carriers.empty()) return false;

    model.Slope = slope;
    model.Offset = intercept - reference;
    model.Fundamental = f;
    model.RingExcess.assign(TRadialProfile::kBins, 0.0);
    for (int b = 0; b < TRadialProfile::kBins; ++b) {
        const double radius = TRadialProfile::BinRadius(b);
        if (radius <= profile.High * f) continue;
        const double measured = std::exp2(double(rings.Median(b)) / kLevelsPerOctave - reference);
        model.RingExcess[size_t(b)] = std::max(0.0, measured - model.Picture(radius));
    }

    model.Screen = std::make_shared<TScreenPower>(std::move(carriers), slope, W, H);
    return true;
}

void DampScreenSidebands(TSpectrumStore& store, float fundamental, float power, float strength) {
    if (store.Empty() || store.WorkPlane.size() != store.CellCount()) return;
    if (!(strength > 0.0f && strength <= 4.0f && power > 0.0f && power <= 16.0f)) return;
    DampScreenSidebands(store, fundamental, power, FindScreenPeaks(store, {double(strength)}));
}

void DampScreenSidebands(TSpectrumStore& store, float fundamental, float power,
                         const std::vector<TScreenPeak>& peaks) {
    if (!(power > 0.0f && power <= 16.0f)) return;
    TSidebandModel model;
    if (!SidebandModel(store, fundamental, peaks, model)) return;
    const TSidebandProfile& profile = SidebandProfile();
    const int32_t W = store.Cols, H = store.Rows;
    const double nearest = std::min(1.0 / W, 1.0 / H);
    const double cutoff = RulingLowPassProfile().Cutoff * model.Fundamental;
    const double order = RulingLowPassProfile().Order;
    // The Wiener gain at cell (x, y); 1 where no screen is modelled.
    const auto wienerAt = [&](double x, double y) {
        const double u = x / W, v = y / H;
        const double radius = std::sqrt(u * u + v * v);
        const int bin = std::min(int(radius / 1.4142135623730951 * TRadialProfile::kBins),
                                 TRadialProfile::kBins - 1);
        const double noise =
            std::max(double(model.Screen->At(x, y)), model.RingExcess[size_t(bin)]);
        if (!(noise > 0.0)) return 1.0;
        const double picture = model.Picture(std::max(nearest, radius));
        return picture / (picture + noise);
    };
    // Cell i at (c, r) with the Wiener gain there.
    const auto scale = [&](size_t i, int64_t c, int64_t r, double wiener) {
        if (wiener == 1.0) return;
        const double u = double(c) / W, v = double(r) / H;
        const double q2 = (u * u + v * v) / (cutoff * cutoff);
        const double lowPass = 1.0 / (1.0 + (order == 2.0 ? q2 * q2 : std::pow(q2, order)));
        const double both = SidebandGain(lowPass, wiener);
        const double gain = power == 1.0f ? both : std::pow(both, double(power));
        for (auto& plane : store.Planes) plane[i] = float(double(plane[i]) * gain);
    };
    // Directly where the spectrum is small, else on a grid and interpolated
    // between its points.
    const int32_t step = std::max<int32_t>(1, (std::min(W, H) + profile.GridPoints - 1) /
                                                  std::max(1, profile.GridPoints));
    if (step == 1) {
        ForRowBands(H, [&](int32_t r0, int32_t r1) {
            for (int64_t r = r0; r < r1; ++r)
                for (int64_t c = 0; c < W; ++c)
                    scale(size_t(r) * size_t(W) + size_t(c), c, r, wienerAt(double(c), double(r)));
        });
        return;
    }
    const int32_t gx = (W - 1) / step + 2, gy = (H - 1) / step + 2;
    std::vector<double> grid(size_t(gx) * size_t(gy));
    ForRowBands(gy, [&](int32_t j0, int32_t j1) {
        for (int64_t j = j0; j < j1; ++j)
            for (int64_t i = 0; i < gx; ++i)
                grid[size_t(j) * size_t(gx) + size_t(i)] =
                    wienerAt(double(i * step), double(j * step));
    });
    ForRowBands(H, [&](int32_t r0, int32_t r1) {
        for (int64_t r = r0; r < r1; ++r) {
            const int64_t j = r / step;
            const double v = double(r - j * step) / step;
            const double* top = grid.data() + size_t(j) * size_t(gx);
            const double* bottom = top + gx;
            for (int64_t c = 0; c < W; ++c) {
                const int64_t i = c / step;
                const double u = double(c - i * step) / step;
                const double upper = top[i] * (1.0 - u) + top[i + 1] * u;
                const double lower = bottom[i] * (1.0 - u) + bottom[i + 1] * u;
                scale(size_t(r) * size_t(W) + size_t(c), c, r, upper * (1.0 - v) + lower * v);
            }
        }
    });
}
