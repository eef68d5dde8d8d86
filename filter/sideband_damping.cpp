#include "filter/sideband_damping.h"

#include "filter/ruling_low_pass.h"
#include "filter/spectrum_levels.h"
#include "spectral/thread_team.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <optional>

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

    // The mirror images of the peaks whose sidebands reach row y, in the
    // order the sum takes them, each with its distance from the row squared.
    struct TRowTerm {
        const TSidebandCarrier* Carrier;
        double Dy2;
    };
    void RowTerms(double y, std::vector<TRowTerm>& terms) const {
        terms.clear();
        for (const TSidebandCarrier& k : carriers_)
            for (const double kr : {k.R, -k.R}) {
                if (kr < 0.0 && k.R == 0.0) continue;
                const double dr = y - kr;
                if (std::fabs(dr) > k.SpanR) continue;
                terms.push_back({&k, dr * cellY_ * dr * cellY_});
            }
    }

    // The power at (x, y) from RowTerms(y): the mirrors that reach no
    // further than the row are left out before the columns are looked at,
    // the rest are summed as they come.
    float At(double x, const std::vector<TRowTerm>& terms) const {
        float sum = 0.0f;
        for (const TRowTerm& t : terms) {
            const TSidebandCarrier& k = *t.Carrier;
            for (const double kc : {k.C, -k.C}) {
                if (kc < 0.0 && k.C == 0.0) continue;
                if (std::fabs(x - kc) > k.SpanC) continue;
                const double dc = (x - kc) * cellX_;
                const double d2 = std::max(floor_, dc * dc + t.Dy2);
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
                   TSidebandModel& model, const TSpectrumLevels* kept) {
    const TSidebandProfile& profile = SidebandProfile();
    const int32_t W = store.Cols, H = store.Rows;
    if (store.Empty() || store.WorkPlane.size() != store.CellCount() || peaks.empty()) return false;
    if (!(fundamental > 0.0f && fundamental <= 2.0f)) return false;
    float* levels = store.WorkPlane.data();
    std::optional<TRadialProfile> own;
    const TRadialProfile& rings = KeptOrMeasuredRings(store, kept, own);

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
    TSpectrumLevels kept;
    const std::vector<TScreenPeak> peaks = FindScreenPeaks(store, {double(strength)}, kept);
    DampScreenSidebands(store, fundamental, power, peaks, &kept);
}

void DampScreenSidebands(TSpectrumStore& store, float fundamental, float power,
                         const std::vector<TScreenPeak>& peaks, const TSpectrumLevels* kept) {
    if (!(power > 0.0f && power <= 16.0f)) return;
    TSidebandModel model;
    if (!SidebandModel(store, fundamental, peaks, model, kept)) return;
    const TSidebandProfile& profile = SidebandProfile();
    const int32_t W = store.Cols, H = store.Rows;
    const double nearest = std::min(1.0 / W, 1.0 / H);
    const double cutoff = RulingLowPassProfile().Cutoff * model.Fundamental;
    const double order = RulingLowPassProfile().Order;
    // The Wiener gain at cell (x, y), with the screen's terms of row y; 1
    // where no screen is modelled.
    using TTerms = std::vector<TScreenPower::TRowTerm>;
    const auto wienerAt = [&](double x, double y, const TTerms& terms) {
        const double u = x / W, v = y / H;
        const double radius = std::sqrt(u * u + v * v);
        const int bin = std::min(int(radius / 1.4142135623730951 * TRadialProfile::kBins),
                                 TRadialProfile::kBins - 1);
        const double noise =
            std::max(double(model.Screen->At(x, terms)), model.RingExcess[size_t(bin)]);
        if (!(noise > 0.0)) return 1.0;
        const double picture = model.Picture(std::max(nearest, radius));
        return picture / (picture + noise);
    };
    // Row r with the Wiener gain wiener[c] at each of its cells.
    std::vector<double> columnSquares(static_cast<size_t>(W));
    for (int64_t c = 0; c < W; ++c) {
        const double u = double(c) / W;
        columnSquares[size_t(c)] = u * u;
    }
    const double cutoff2 = cutoff * cutoff;
    const auto scaleRow = [&](int64_t r, const double* wiener) {
        const double v = double(r) / H, v2 = v * v;
        float* rows[3];
        for (size_t p = 0; p < 3; ++p) rows[p] = store.Planes[p].data() + size_t(r) * size_t(W);
        for (int64_t c = 0; c < W; ++c) {
            if (wiener[c] == 1.0) continue;
            const double q2 = (columnSquares[size_t(c)] + v2) / cutoff2;
            const double lowPass = 1.0 / (1.0 + (order == 2.0 ? q2 * q2 : std::pow(q2, order)));
            const double both = SidebandGain(lowPass, wiener[c]);
            const double gain = power == 1.0f ? both : std::pow(both, double(power));
            for (float* row : rows) row[c] = float(double(row[c]) * gain);
        }
    };
    // Directly where the spectrum is small, else on a grid and interpolated
    // between its points.
    const int32_t step = std::max<int32_t>(1, (std::min(W, H) + profile.GridPoints - 1) /
                                                  std::max(1, profile.GridPoints));
    if (step == 1) {
        ForRowBands(H, [&](int32_t r0, int32_t r1) {
            TTerms terms;
            std::vector<double> wiener(static_cast<size_t>(W));
            for (int64_t r = r0; r < r1; ++r) {
                model.Screen->RowTerms(double(r), terms);
                for (int64_t c = 0; c < W; ++c)
                    wiener[size_t(c)] = wienerAt(double(c), double(r), terms);
                scaleRow(r, wiener.data());
            }
        });
        return;
    }
    const int32_t gx = (W - 1) / step + 2, gy = (H - 1) / step + 2;
    std::vector<double> grid(size_t(gx) * size_t(gy));
    // Row by row: the grid has few rows, and each costs much.
    std::atomic<int32_t> nextRow{0};
    RunOnThreads(std::min(AvailableProcessors(), gy), [&](int) {
        TTerms terms;
        for (int32_t j = nextRow++; j < gy; j = nextRow++) {
            const double y = double(int64_t(j) * step);
            model.Screen->RowTerms(y, terms);
            for (int64_t i = 0; i < gx; ++i)
                grid[size_t(j) * size_t(gx) + size_t(i)] = wienerAt(double(i * step), y, terms);
        }
    });
    ForRowBands(H, [&](int32_t r0, int32_t r1) {
        // Grid rows j and j + 1 interpolated across the columns, kept for
        // the step rows between them.
        std::vector<double> upper(static_cast<size_t>(W)), lower(upper), wiener(upper);
        const auto across = [&](int64_t j, std::vector<double>& out) {
            const double* g = grid.data() + size_t(j) * size_t(gx);
            for (int64_t c = 0; c < W; ++c) {
                const int64_t i = c / step;
                const double u = double(c - i * step) / step;
                out[size_t(c)] = g[i] * (1.0 - u) + g[i + 1] * u;
            }
        };
        int64_t held = -2;
        for (int64_t r = r0; r < r1; ++r) {
            const int64_t j = r / step;
            if (j == held + 1) {
                std::swap(upper, lower);
                across(j + 1, lower);
            } else if (j != held) {
                across(j, upper);
                across(j + 1, lower);
            }
            held = j;
            const double v = double(r - j * step) / step;
            for (int64_t c = 0; c < W; ++c)
                wiener[size_t(c)] = upper[size_t(c)] * (1.0 - v) + lower[size_t(c)] * v;
            scaleRow(r, wiener.data());
        }
    });
}
