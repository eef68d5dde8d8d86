#include "filter/screen_geometry.h"

#include "filter/spectrum_levels.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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
    TLatticeSearch(const std::vector<TScreenPeak>& peaks, int32_t W, int32_t H, bool inks)
        : cellX_(1.0 / (2.0 * W)), cellY_(1.0 / (2.0 * H)), inks_(inks) {
        for (const TScreenPeak& p : peaks)
            points_.push_back({p.Column * cellX_, p.Row * cellY_, p.Excess});
        // The peaks come strongest first; the constant term's neighbours
        // are none of the screen's.
        for (const TPoint& p : points_)
            if (const double r = std::hypot(p.X, p.Y); r >= 0.05) {
                strongest_ = {p.X, p.Y, p.Excess};
                strongestRadius_ = r;
                break;
            }
    }

    // The strongest peak at 0.05 cycles a pixel or more; at 0, 0 when none.
    const TPoint& Strongest() const { return strongest_; }

    // The excess of the strongest peak where the frequency (x, y) folds
    // to; below 0 when there is none. Unless `aliased`, a frequency beyond
    // the scan's limit counts as none: only a harmonic of an ink the scan
    // resolves is looked for where the sampling has folded it back.
    int32_t ExcessAt(double x, double y, bool aliased = false) const {
        if (aliased) {
            x -= std::round(x);
            y -= std::round(y);
        }
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
    bool Found(double x, double y, bool aliased = false) const {
        return ExcessAt(x, y, aliased) >= 0;
    }

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
            // An ink near the scan's limit (2 to 2.8 pixels a cell) has its
            // diagonal harmonics u + v and u - v beyond it, where the
            // sampling folds them back; for a fundamental beyond the limit
            // the fold would be a guess, as the peak itself is folded.
            const bool resolved = l.Frequency < 0.5;
            l.Support = (ownPartner      ? 0
                         : Found(vx, vy) ? 1
                                         : 0) +
                        (Found(ux + vx, uy + vy, resolved) ? 1 : 0) +
                        (Found(ux - vx, uy - vy, resolved) ? 1 : 0) +
                        (Found(2 * ux, 2 * uy) ? 1 : 0);
            // Two inks' difference terms can lie at half their fundamental,
            // which then reads as its second harmonic; a true fundamental is
            // not far weaker than its own second harmonic.
            const bool subharmonic = ExcessAt(2 * ux, 2 * uy) > p.Excess + kLevelsPerOctave;
            // A coarse screen's harmonics can drown in the sidebands of the
            // other inks; its fundamental with the partner still makes a
            // lattice when the other inks' fundamentals stand as strong at
            // the same radius.
            const bool inked = inks_ && l.Support == 1 && !ownPartner && Found(vx, vy) &&
                               OtherInks(p, l.Frequency) >= 2;
            if ((l.Support >= 2 || inked) && !subharmonic && l.Frequency >= kLowestRuling)
                found.push_back(l);
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

    // Whether the frequency (x, y) is a rosette term: the difference of two
    // peaks at one finer radius (two inks' fundamentals of the same ruling),
    // each standing out at least `excess` (see RosetteNeed).
    bool Rosette(double x, double y, int32_t excess) const {
        const double length = std::hypot(x, y);
        const double tx = 2.0 * cellX_ + 0.03 * x, ty = 2.0 * cellY_ + 0.03 * y;
        for (size_t i = 0; i < points_.size(); ++i) {
            const TPoint& a = points_[i];
            const double ra = std::hypot(a.X, a.Y);
            const int32_t need = RosetteNeed(ra, excess);
            if (a.Excess < need || ra < 1.3 * length) continue;
            const double near = 0.02 * ra + 2.0 * cellX_ + 2.0 * cellY_;
            for (size_t j = i + 1; j < points_.size(); ++j) {
                const TPoint& b = points_[j];
                if (b.Excess < need || std::fabs(std::hypot(b.X, b.Y) - ra) > near) continue;
                for (const double sx : {1.0, -1.0})
                    for (const double sy : {1.0, -1.0}) {
                        const double dx = std::fabs(a.X - sx * b.X), dy = std::fabs(a.Y - sy * b.Y);
                        if ((std::fabs(dx - x) <= tx && std::fabs(dy - y) <= ty) ||
                            (std::fabs(dy - x) <= tx && std::fabs(dx - y) <= ty))
                            return true;
                    }
            }
        }
        return false;
    }

    // Whether the frequency (x, y) is the difference of one ink's diagonal
    // harmonic (u + v or u - v, 1.41 times as far out as its fundamental)
    // and the fundamental of an ink 45 degrees from it: a lattice at 0.41
    // times the ruling along the second ink, which inks at 0 and 45
    // degrees print. It matters for inks close to the scan's limit (from
    // 0.4 cycles a pixel), whose harmonic lies beyond it: a screen whose
    // harmonics the scan resolves holds its fundamentals too strongly for
    // such a term to count. An ink just beyond the limit folds back to just
    // below it, so a peak within 0.1 of the limit is tried unfolded too. As
    // such a fit is found more easily than a rosette's, both inks stand out
    // at least as much as the term.
    bool HarmonicBeat(double x, double y, int32_t excess) const {
        const double length = std::hypot(x, y);
        const double tx = 2.0 * cellX_ + 0.03 * x, ty = 2.0 * cellY_ + 0.03 * y;
        struct TCandidate {
            double X, Y, Radius;
            int32_t Excess;
        };
        // The term's length is told closely: a coarse screen's harmonics at
        // 2.24 and 2.83 times its ruling lie 7 % from where the inks of a
        // beat lie.
        std::vector<TCandidate> inks;
        for (const TPoint& p : points_)
            if (p.Excess >= excess) {
                const double xs[] = {p.X, 1.0 - p.X}, ys[] = {p.Y, 1.0 - p.Y};
                for (int i = 0; i < (p.X >= 0.4 ? 2 : 1); ++i)
                    for (int j = 0; j < (p.Y >= 0.4 ? 2 : 1); ++j)
                        if (const double r = std::hypot(xs[i], ys[j]);
                            r >= 0.4 && std::fabs((std::numbers::sqrt2 - 1.0) * r - length) <=
                                            0.02 * length + cellX_ + cellY_)
                            inks.push_back({xs[i], ys[j], r, p.Excess});
            }
        const auto folds = [&](double fx, double fy) {
            fx = std::fabs(fx - std::round(fx));
            fy = std::fabs(fy - std::round(fy));
            return (std::fabs(fx - x) <= tx && std::fabs(fy - y) <= ty) ||
                   (std::fabs(fy - x) <= tx && std::fabs(fx - y) <= ty);
        };
        for (size_t i = 0; i < inks.size(); ++i) {
            const TCandidate& a = inks[i];
            const double near = 0.02 * a.Radius + 2.0 * cellX_ + 2.0 * cellY_;
            for (size_t j = 0; j < inks.size(); ++j) {
                const TCandidate& b = inks[j];
                if (j == i || std::fabs(b.Radius - a.Radius) > near) continue;
                for (const double sy : {1.0, -1.0}) {
                    // a = (X, sy Y); its harmonics a + v and a - v, v at
                    // right angles to it.
                    const double ax = a.X, ay = sy * a.Y;
                    for (const double hs : {1.0, -1.0}) {
                        const double hx = ax - hs * ay, hy = ay + hs * ax;
                        if (std::max(std::fabs(hx), std::fabs(hy)) <= 0.5) continue;
                        for (const double bs : {1.0, -1.0})
                            if (folds(hx - b.X, hy - bs * b.Y) || folds(hx + b.X, hy + bs * b.Y))
                                return true;
                    }
                }
            }
        }
        return false;
    }

private:
    // How strongly the inks of a rosette term must stand out: as much as
    // the term, but inks close to the scan's limit (from 0.4 cycles a
    // pixel) up to an octave less, as the print's and the scanner's blur
    // weaken them far more than their difference, which lies low in the
    // band, and a rosette taken for the ruling puts the damping where the
    // picture is. From 0.45 a JPEG file's quantising takes another octave,
    // allowed where the page's strongest peak lies at the inks' radius:
    // there they are the screen's fundamentals, not the harmonics of a
    // coarser ruling, whose differences would fit as well.
    int32_t RosetteNeed(double radius, int32_t excess) const {
        if (radius >= 0.45 && std::fabs(radius - strongestRadius_) <=
                                  0.02 * strongestRadius_ + 2.0 * (cellX_ + cellY_))
            return excess - 2 * kLevelsPerOctave;
        return radius >= 0.4 ? excess - kLevelsPerOctave : excess;
    }

    // How many peaks other than p and its partner lie at p's radius, at
    // least 5 degrees from both and at most an octave weaker.
    int OtherInks(const TPoint& p, double radius) const {
        int count = 0;
        const double angle = std::atan2(p.Y, p.X),
                     tolerance = 0.02 * radius + 2.0 * cellX_ + 2.0 * cellY_;
        for (const TPoint& q : points_) {
            if (q.Excess < p.Excess - kLevelsPerOctave) continue;
            if (std::fabs(std::hypot(q.X, q.Y) - radius) > tolerance) continue;
            const double a = std::atan2(q.Y, q.X);
            const double fromP = std::fabs(a - angle);
            const double fromPartner = std::fabs(a - (std::numbers::pi / 2.0 - angle));
            const double apart = 5.0 * std::numbers::pi / 180.0;
            if (fromP >= apart && fromPartner >= apart) ++count;
        }
        return count;
    }

    double cellX_, cellY_;
    TPoint strongest_{0.0, 0.0, 0};
    double strongestRadius_ = 0.0;
    bool inks_;
    std::vector<TPoint> points_;
};

// Whether two lattices are of one ruling: their fundamentals as long.
bool OneRuling(const TScreenLattice& a, const TScreenLattice& b, double cellX, double cellY) {
    return std::fabs(b.Frequency - a.Frequency) <= 0.02 * a.Frequency + 2.0 * (cellX + cellY);
}

// Whether the sum or the difference of a fundamental of each lattice folds
// to within (tx, ty) of the frequency (x, y). Each lattice holds its partner
// too, the mirror of its fundamental, so the terms' mirrors are among them.
bool TermOfTwo(const TScreenLattice& a, const TScreenLattice& b, double x, double y, double tx,
               double ty) {
    for (const double* u : {a.U, a.V})
        for (const double* v : {b.U, b.V})
            for (const double sx : {1.0, -1.0})
                for (const double sy : {1.0, -1.0})
                    if (std::fabs(std::fabs(u[0] + sx * v[0]) - x) <= tx &&
                        std::fabs(std::fabs(u[1] + sy * v[1]) - y) <= ty)
                        return true;
    return false;
}

// Whether the lattice is the difference of two other, finer lattices of one
// ruling, each with its partner and both harmonics (two inks as clearly
// printed as inks are), standing out at most two octaves less than it: a
// rosette term can stand out more than either of the inks that make it.
bool InksRosette(const TScreenLattice& l, const std::vector<TScreenLattice>& lattices, int32_t W,
                 int32_t H) {
    const double cellX = 1.0 / (2.0 * W), cellY = 1.0 / (2.0 * H);
    const double tx = 2.0 * cellX + 0.03 * l.U[0], ty = 2.0 * cellY + 0.03 * l.U[1];
    for (size_t i = 0; i < lattices.size(); ++i) {
        const TScreenLattice& a = lattices[i];
        if (a.Support < 3 || a.Excess < l.Excess - kRulingMargin || a.Frequency < 1.3 * l.Frequency)
            continue;
        for (size_t j = i + 1; j < lattices.size(); ++j) {
            const TScreenLattice& b = lattices[j];
            if (b.Support >= 3 && b.Excess >= l.Excess - kRulingMargin &&
                OneRuling(a, b, cellX, cellY) && TermOfTwo(a, b, l.U[0], l.U[1], tx, ty))
                return true;
        }
    }
    return false;
}

// Whether the frequency (x, y) is the sum or the difference of the
// fundamentals of two inks of one ruling: the rosette's second-order terms.
// With inks 30 degrees apart their sum, at 1.93 times the ruling, can stand
// out more than any ink's own peaks.
bool InksSum(double x, double y, const std::vector<TScreenLattice>& lattices, int32_t W,
             int32_t H) {
    const double cellX = 1.0 / (2.0 * W), cellY = 1.0 / (2.0 * H);
    const double tx = 2.0 * cellX + 0.03 * x, ty = 2.0 * cellY + 0.03 * y;
    const double apart = 5.0 * std::numbers::pi / 180.0;
    for (size_t i = 0; i < lattices.size(); ++i) {
        const TScreenLattice& a = lattices[i];
        for (size_t j = i + 1; j < lattices.size(); ++j) {
            const TScreenLattice& b = lattices[j];
            if (!OneRuling(a, b, cellX, cellY)) continue;
            // Two inks lie apart: the fold makes a peak's mirror image of
            // one ink's spread look like a second ink beside it.
            const double angle = std::atan2(a.U[1], a.U[0]), other = std::atan2(b.U[1], b.U[0]);
            if (std::fabs(angle - other) < apart ||
                std::fabs(angle + other - std::numbers::pi / 2.0) < apart)
                continue;
            if (TermOfTwo(a, b, x, y, tx, ty)) return true;
        }
    }
    return false;
}

// A coarse screen on a picture whose own spectrum is strong at the ruling
// can leave its fundamentals and second harmonics under the picture's, and
// the finder sees only harmonics further out, which make no lattice of
// their own. The differences of those harmonics are the fundamentals:
// where at least four pairs of the strongest peaks give one difference
// (or its partner) that lies below half the lowest peak, that is the
// ruling. The lowest peak lies this far out for such a screen alone: a
// finer screen shows its fundamentals, and one folded back its rosette
// terms, far lower down. Of the eight strongest peaks, `onLattice` must lie
// on the ruling's lattice.
double MissedFundamental(const std::vector<TScreenPeak>& peaks, int32_t W, int32_t H,
                         size_t onLattice = 6) {
    const double cellX = 1.0 / (2.0 * W), cellY = 1.0 / (2.0 * H);
    double lowest = 1.0;
    for (const TScreenPeak& p : peaks)
        lowest = std::min(lowest, std::hypot(p.Column * cellX, p.Row * cellY));
    const size_t n = std::min<size_t>(peaks.size(), 16);
    std::vector<std::pair<double, double>> steps;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            for (const int sy : {1, -1}) {
                const double dx = std::fabs(peaks[i].Column - peaks[j].Column) * cellX,
                             dy = std::fabs(peaks[i].Row - sy * peaks[j].Row) * cellY;
                const double r = std::hypot(dx, dy);
                // A lattice and its partner: (x, y) and (y, x) as folded.
                if (r >= kLowestRuling && r <= 0.5 * lowest)
                    steps.push_back({std::max(dx, dy), std::min(dx, dy)});
            }
    size_t most = 0;
    double ux = 0.0, uy = 0.0;
    for (const auto& [x, y] : steps) {
        const double tx = 2.0 * (cellX + cellY) + 0.03 * x, ty = 2.0 * (cellX + cellY) + 0.03 * y;
        size_t votes = 0;
        double sx = 0.0, sy = 0.0;
        for (const auto& [qx, qy] : steps)
            if (std::fabs(qx - x) <= tx && std::fabs(qy - y) <= ty) {
                ++votes;
                sx += qx;
                sy += qy;
            }
        if (votes > most) {
            most = votes;
            ux = sx / double(votes);
            uy = sy / double(votes);
        }
    }
    if (most < 4) return 0.0;
    // The strongest peaks must be that lattice's harmonics, as closely as
    // the peaks' cells tell: a finer screen's rosette terms are no steps of
    // a lattice its inks lie on.
    const size_t tried = std::min<size_t>(peaks.size(), 8);
    size_t harmonics = 0;
    for (size_t i = 0; i < tried; ++i) {
        const double px = peaks[i].Column * cellX, py = peaks[i].Row * cellY;
        const double tolerance = cellX + cellY + 0.01 * std::hypot(px, py);
        bool found = false;
        for (int a = -8; a <= 8 && !found; ++a)
            for (int b = -8; b <= 8 && !found; ++b) {
                double x = std::fabs(a * ux - b * uy), y = std::fabs(a * uy + b * ux);
                x = std::fabs(x - std::round(x));
                y = std::fabs(y - std::round(y));
                found = std::fabs(x - px) <= tolerance && std::fabs(y - py) <= tolerance;
            }
        harmonics += found ? 1 : 0;
    }
    return 8 * harmonics >= onLattice * tried ? std::hypot(ux, uy) : 0.0;
}

} // namespace

std::vector<TScreenLattice> FindScreenLattices(const std::vector<TScreenPeak>& peaks, int32_t W,
                                               int32_t H) {
    if (W <= 0 || H <= 0 || peaks.empty()) return {};
    return TLatticeSearch(peaks, W, H, false).Run();
}

double ScreenFundamental(const std::vector<TScreenPeak>& peaks, int32_t W, int32_t H) {
    if (W <= 0 || H <= 0 || peaks.empty()) return 0.0;
    const TLatticeSearch search(peaks, W, H, true);
    std::vector<TScreenLattice> lattices = search.Run();
    // Two inks' fundamentals make, by their difference, a lattice of their
    // own below the ruling (at about half of it for inks 30 degrees apart),
    // and it can stand out as much as the ruling; it is no anchor unless
    // nothing else is.
    std::vector<TScreenLattice> plain;
    for (const TScreenLattice& l : lattices)
        if (!search.Rosette(l.U[0], l.U[1], l.Excess) &&
            !search.HarmonicBeat(l.U[0], l.U[1], l.Excess) && !InksRosette(l, lattices, W, H))
            plain.push_back(l);
    // The rosette lattices too are made of the inks, whose sums they give.
    const std::vector<TScreenLattice> all = lattices;
    if (!plain.empty()) lattices = std::move(plain);
    const double strongestX = search.Strongest().X, strongestY = search.Strongest().Y;
    const double strongest = std::hypot(strongestX, strongestY);
    if (strongest == 0.0) return 0.0;
    if (lattices.empty()) return MissedFundamental(peaks, W, H);
    // The strongest peak must be a fundamental or a harmonic of a lattice
    // found, or a sum or difference of two inks' fundamentals of one ruling.
    // Where it is none of these, the screen is finer than the scan's
    // resolution and has folded back, and what looks like a lattice is the
    // fold.
    // A lattice without harmonics found (see TLatticeSearch's inks) is
    // none of the strongest peak's harmonics, or that harmonic would have
    // been found; and it is its fundamental only when closely so, as a
    // screen folded back leaves peaks at every radius.
    bool explained = InksSum(strongestX, strongestY, all, W, H);
    for (const TScreenLattice& l : lattices)
        for (const double m : {1.0, std::sqrt(2.0), 2.0, std::sqrt(5.0), std::sqrt(8.0), 3.0})
            if (l.Support >= 2 ? std::fabs(strongest / l.Frequency - m) <= 0.025 * m
                               : m == 1.0 && std::fabs(strongest / l.Frequency - m) <= 0.01)
                explained = true;
    if (!explained) return MissedFundamental(peaks, W, H);
    int32_t strongestLattice = 0;
    for (const TScreenLattice& k : lattices)
        strongestLattice = std::max(strongestLattice, k.Excess);
    for (const TScreenLattice& k : lattices)
        if (k.Excess >= strongestLattice - kRulingMargin) {
            // The lattice can be a coarse screen's second or third harmonic
            // whose fundamentals lie under the picture's spectrum (sweets on
            // a table at 10.7 pixels a cell, saved as JPEG: 21.2 dB where
            // 23.4 was in reach); where the steps between the strongest
            // peaks give a ruling a half or a third of it, that is the one.
            // The lattice found at twice or three times the ruling bears the
            // steps out, so five of the eight strongest peaks on the step's
            // lattice suffice: the others can be the harmonics of the other
            // inks, each on its own lattice (sweets at 6.2 pixels a cell,
            // 25.9 dB where 27.5 was in reach).
            const double missed = MissedFundamental(peaks, W, H, 5);
            if (missed > 0.0)
                for (const double n : {2.0, 3.0})
                    if (std::fabs(k.Frequency / missed - n) <= 0.03 * n) return missed;
            return k.Frequency;
        }
    return 0.0;
}
