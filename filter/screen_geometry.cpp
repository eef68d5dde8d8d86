#include "filter/screen_geometry.h"

#include "filter/spectrum_levels.h"

#include <algorithm>
#include <cmath>

namespace {

// No screen is coarser than 25 scan pixels a cell.
constexpr double kLowestRuling = 0.04;
// The ruling's lattice stands out at most this much less than the strongest
// lattice (two octaves of power: a ruling that covers part of the page).
constexpr int32_t kRulingMargin = 2 * kLevelsPerOctave;

struct TPoint {
    double X, Y; // cycles per pixel
    int32_t Excess;
};

class TLatticeSearch {
public:
    TLatticeSearch(const std::vector<TScreenPeak>& peaks, int32_t W, int32_t H)
        : cellX_(1.0 / (2.0 * W)), cellY_(1.0 / (2.0 * H)) {
        for (const TScreenPeak& p : peaks)
            points_.push_back({p.Column * cellX_, p.Row * cellY_, p.Excess});
    }

    // Whether a peak lies where the frequency (x, y) folds to.
    // The excess of the strongest peak where the frequency (x, y) folds
    // to; below 0 when there is none.
    int32_t ExcessAt(double x, double y) const {
        x = std::fabs(x);
        y = std::fabs(y);
        // Two cells, and more far out, where a turned page spreads a peak.
        const double tx = 2.0 * cellX_ + 0.03 * x, ty = 2.0 * cellY_ + 0.03 * y;
        int32_t best = -1;
        for (const TPoint& p : points_)
            if (std::fabs(p.X - x) <= tx && std::fabs(p.Y - y) <= ty)
                best = std::max(best, p.Excess);
        return best;
    }
    bool Found(double x, double y) const { return ExcessAt(x, y) >= 0; }

    std::vector<TScreenLattice> Run() const {
        std::vector<TScreenLattice> found;
        for (const TPoint& p : points_) {
            // The partner at right angles, unfolded as (-y, x).
            const double ux = p.X, uy = p.Y, vx = -p.Y, vy = p.X;
            TScreenLattice l;
            l.U[0] = ux;
            l.U[1] = uy;
            l.V[0] = p.Y;
            l.V[1] = p.X;
            l.Frequency = std::hypot(ux, uy);
            l.Excess = p.Excess;
            // A peak on an axis or the diagonal is its own partner; those
            // lattices need both harmonics.
            const bool ownPartner = std::fabs(ux - uy) <= 2.0 * std::max(cellX_, cellY_) ||
                                    ux <= 2.0 * cellX_ || uy <= 2.0 * cellY_;
            l.Support = (ownPartner      ? 0
                         : Found(vx, vy) ? 1
                                         : 0) +
                        (Found(ux + vx, uy + vy) ? 1 : 0) + (Found(ux - vx, uy - vy) ? 1 : 0) +
                        (Found(2 * ux, 2 * uy) ? 1 : 0);
            // Two inks' difference terms can lie at half their fundamental,
            // which then reads as its second harmonic; a true fundamental is
            // not far weaker than its own second harmonic.
            const bool subharmonic = ExcessAt(2 * ux, 2 * uy) > p.Excess + kLevelsPerOctave;
            if (l.Support >= 2 && !subharmonic && l.Frequency >= kLowestRuling) found.push_back(l);
        }
        std::sort(found.begin(), found.end(), [](const TScreenLattice& a, const TScreenLattice& b) {
            return a.Frequency < b.Frequency ||
                   (a.Frequency == b.Frequency &&
                    (a.U[0] < b.U[0] || (a.U[0] == b.U[0] && a.U[1] < b.U[1])));
        });
        // One lattice per ink: drop partners and harmonics of lattices kept.
        std::vector<TScreenLattice> lattices;
        for (const TScreenLattice& l : found) {
            const bool known =
                std::any_of(lattices.begin(), lattices.end(), [&](const TScreenLattice& k) {
                    const double harmonics[][2] = {{k.U[0], k.U[1]},
                                                   {k.V[0], k.V[1]},
                                                   {k.U[0] + k.U[1], std::fabs(k.U[1] - k.U[0])},
                                                   {std::fabs(k.U[0] - k.U[1]), k.U[0] + k.U[1]},
                                                   {2 * k.U[0], 2 * k.U[1]},
                                                   {2 * k.V[0], 2 * k.V[1]}};
                    for (const auto& h : harmonics)
                        if (std::fabs(h[0] - l.U[0]) <= 2.0 * cellX_ + 0.03 * h[0] &&
                            std::fabs(h[1] - l.U[1]) <= 2.0 * cellY_ + 0.03 * h[1])
                            return true;
                    return false;
                });
            if (!known) lattices.push_back(l);
        }
        return lattices;
    }

private:
    double cellX_, cellY_;
    std::vector<TPoint> points_;
};

} // namespace

std::vector<TScreenLattice> FindScreenLattices(const std::vector<TScreenPeak>& peaks, int32_t W,
                                               int32_t H) {
    if (W <= 0 || H <= 0 || peaks.empty()) return {};
    return TLatticeSearch(peaks, W, H).Run();
}

double ScreenFundamental(const std::vector<TScreenPeak>& peaks, int32_t W, int32_t H) {
    const std::vector<TScreenLattice> lattices = FindScreenLattices(peaks, W, H);
    double strongest = 0.0;
    for (const TScreenPeak& p : peaks) {
        const double f = std::hypot(p.Column / (2.0 * W), p.Row / (2.0 * H));
        if (f >= 0.05) {
            strongest = f;
            break;
        }
    }
    if (lattices.empty() || strongest == 0.0) return 0.0;
    // The strongest peak must be a fundamental or a harmonic of a lattice
    // found. Where it is not, the screen is finer than the scan's
    // resolution and has folded back, and what looks like a lattice is the
    // fold.
    for (const TScreenLattice& l : lattices)
        for (const double m : {1.0, std::sqrt(2.0), 2.0, std::sqrt(5.0), std::sqrt(8.0), 3.0})
            if (std::fabs(strongest / l.Frequency - m) <= 0.025 * m) {
                int32_t strongestLattice = 0;
                for (const TScreenLattice& k : lattices)
                    strongestLattice = std::max(strongestLattice, k.Excess);
                for (const TScreenLattice& k : lattices)
                    if (k.Excess >= strongestLattice - kRulingMargin) return k.Frequency;
            }
    return 0.0;
}
