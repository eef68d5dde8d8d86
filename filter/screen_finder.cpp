#include "filter/screen_finder.h"

#include "filter/screen_geometry.h"
#include "filter/spectrum_levels.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <optional>
#include <tuple>

namespace {

// How the finder judges peaks, in eighths of an octave above the background.
struct TThresholds {
    int32_t peak;   // a local maximum this far above counts as a peak
    int32_t edge;   // a notch reaches as far as its peak stays this far above
    int32_t strong; // peaks this far above make a screen
};

TThresholds ThresholdsFor(double strength, bool coarse) {
    const double s = std::clamp(strength, 0.25, 4.0);
    TThresholds t;
    t.peak = LevelsOf(64.0) - LevelsOf(s * s);
    t.edge = std::max<int32_t>(LevelsOf(1.5), LevelsOf(4.0) - LevelsOf(s));
    t.strong = LevelsOf(256.0) - LevelsOf(s);
    // A coarse cell sums the power of many, which steadies the background
    // it is compared with, so the same share of a picture's noise stands
    // out less: three octaves and a half less.
    if (coarse) t.peak -= LevelsOf(8.0), t.strong -= LevelsOf(11.3);
    return t;
}

class TFinder {
public:
    TFinder(TSpectrumStore& store, const TScreenFinderOptions& options, bool coarse = false)
        : s_(store), W_(store.Cols), H_(store.Rows), t_(ThresholdsFor(options.Strength, coarse)),
          strength_(std::clamp(options.Strength, 0.25, 4.0)), coarse_(coarse) {}

    std::vector<TScreenPeak> Run(TSpectrumLevels* keep) {
        if (W_ < 16 || H_ < 16) return {};
        Levels();
        std::vector<TScreenPeak> peaks = Peaks();
        if (peaks.empty() && !coarse_) peaks = Coarser();
        if (keep && !peaks.empty()) {
            // Back to the combined levels: the medians taken off were whole
            // numbers, as the levels are, so adding them again is exact.
            float* level = s_.WorkPlane.data();
            ForRowBands(H_, [&](int32_t r0, int32_t r1) {
                std::vector<uint8_t> bins(static_cast<size_t>(W_));
                for (int64_t r = r0; r < r1; ++r) {
                    ring_.RowBins(r, bins.data());
                    float* row = level + Index(0, r);
                    for (int64_t c = 0; c < W_; ++c) row[c] += float(ring_.Median(bins[size_t(c)]));
                }
            });
            keep->Rings = ring_;
        }
        return peaks;
    }

private:
    // A second look, at a spectrum of coarse cells, each summing the power
    // of kCoarse x kCoarse cells. A screen printed on a small part of the
    // page (a cartoon or a product shot on white paper, one picture of two)
    // multiplies every carrier with that part's outline, whose spectrum
    // smears each peak over dozens of cells, none of which stands out; the
    // coarse cells gather a smeared peak again. Patterns that a coarse look
    // takes for peaks (text, a compressed picture's blocks) do not lie in
    // several directions at one radius, so here only the inks of one ruling
    // or an ink's lattice with its harmonics make a screen. A peak found is
    // placed on the strongest cell of its coarse cell, its notch as wide as
    // its coarse one.
    std::vector<TScreenPeak> Coarser() const {
        const int32_t Wc = W_ / kCoarse, Hc = H_ / kCoarse;
        if (Wc < 32 || Hc < 32) return {};
        TSpectrumStore coarse;
        coarse.Resize(Wc, Hc);
        // Scaled so that a wave's peak reads the same against the floor of
        // the faintest wave as it does in one cell.
        constexpr double scale = 1.0 / double(kCoarse * kCoarse);
        ForRowBands(Hc, [&](int32_t j0, int32_t j1) {
            for (int64_t j = j0; j < j1; ++j)
                for (int64_t i = 0; i < Wc; ++i) {
                    double sum = 0.0;
                    for (int64_t r = j * kCoarse; r < (j + 1) * kCoarse; ++r)
                        for (int64_t c = i * kCoarse; c < (i + 1) * kCoarse; ++c)
                            sum += CombinedPower(s_, Index(c, r));
                    coarse.Planes[0][size_t(j * Wc + i)] = float(std::sqrt(sum) * scale);
                }
        });
        std::vector<TScreenPeak> peaks =
            TFinder(coarse, TScreenFinderOptions{strength_}, true).Run(nullptr);
        for (TScreenPeak& p : peaks) {
            const int64_t c0 = int64_t(p.Column) * kCoarse, r0 = int64_t(p.Row) * kCoarse;
            double best = -1.0;
            for (int64_t r = r0; r < r0 + kCoarse; ++r)
                for (int64_t c = c0; c < c0 + kCoarse; ++c)
                    if (const double power = CombinedPower(s_, Index(c, r)); power > best)
                        best = power, p.Column = int32_t(c), p.Row = int32_t(r);
            p.Radius *= kCoarse;
        }
        return peaks;
    }

    size_t Index(int64_t c, int64_t r) const { return size_t(r) * size_t(W_) + size_t(c); }
    // Frequency in cycles per pixel of cell (c, r).
    double Frequency(int64_t c, int64_t r) const {
        const double fx = double(c) / double(2 * int64_t(W_) - 1);
        const double fy = double(r) / double(2 * int64_t(H_) - 1);
        return std::sqrt(fx * fx + fy * fy);
    }

    // Levels relative to their ring, so that the steep fall of a picture's
    // spectrum away from the constant term does not look like peaks, and the
    // background of blocks of those.
    void Levels() {
        float* level = s_.WorkPlane.data();
        CombinedLevels(s_, level);
        ring_.Measure(level);
        ForRowBands(H_, [&](int32_t r0, int32_t r1) {
            std::vector<uint8_t> bins(static_cast<size_t>(W_));
            for (int64_t r = r0; r < r1; ++r) {
                ring_.RowBins(r, bins.data());
                float* row = level + Index(0, r);
                for (int64_t c = 0; c < W_; ++c) row[c] -= float(ring_.Median(bins[size_t(c)]));
            }
        });
        blocks_.emplace(level, W_, H_, TBlockLevels::BlockFor(W_, H_));
        block_ = blocks_->Block();
    }

    int32_t Excess(int64_t c, int64_t r) const {
        return int32_t(s_.WorkPlane[Index(c, r)]) - int32_t(std::lround(blocks_->At(c, r)));
    }

    bool IsLocalMaximum(int64_t c, int64_t r, int32_t e) const {
        for (int64_t dr = -2; dr <= 2; ++dr)
            for (int64_t dc = -2; dc <= 2; ++dc) {
                const int64_t u = c + dc, v = r + dr;
                if ((dc == 0 && dr == 0) || u < 0 || v < 0 || u >= W_ || v >= H_) continue;
                const int32_t o = Excess(u, v);
                // Of two equal neighbours the first in reading order wins.
                if (o > e || (o == e && (dr < 0 || (dr == 0 && dc < 0)))) return false;
            }
        return true;
    }

    // The excess at distance d in each of the eight directions (cells outside
    // the spectrum count as no excess).
    static constexpr int kDirections[8][2] = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                              {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    int32_t ExcessToward(int64_t c, int64_t r, int k, int64_t d) const {
        const int64_t u = c + kDirections[k][0] * d, v = r + kDirections[k][1] * d;
        if (u < 0 || v < 0 || u >= W_ || v >= H_) return -kLevelCount;
        return Excess(u, v);
    }

    // A screen peak is compact: a few cells away it has fallen off in most
    // directions. The lines that a picture's straight edges draw through its
    // spectrum stay high in two opposite directions (four where they cross).
    bool Isolated(int64_t c, int64_t r, int32_t e) const {
        int32_t ring[8];
        for (int k = 0; k < 8; ++k) ring[k] = ExcessToward(c, r, k, 3);
        std::sort(ring, ring + 8, std::greater<int32_t>());
        return ring[1] < e - LevelsOf(8.0);
    }

    // Row 0 and column 0 hold the spectra of the picture's column and row
    // means, far stronger than the cells beside them; a peak there has to
    // stand out from its own line. So does one on the few lines beside them
    // below the lowest ruling, where no ink's fundamental lies: there a
    // picture's bands that run nearly level (a sky's, a horizon's) spread
    // their spectrum, and a notch over one of their bumps takes the bands
    // and leaves stripes across the picture.
    int32_t ExcessOnAxis(int64_t c, int64_t r) const {
        std::vector<int32_t> line;
        const bool alongRow = r <= c;
        const int64_t n = alongRow ? W_ : H_, at = alongRow ? c : r;
        for (int64_t k = std::max<int64_t>(1, at - 2 * block_);
             k <= std::min(n - 1, at + 2 * block_); ++k)
            if (k != at)
                line.push_back(int32_t(s_.WorkPlane[alongRow ? Index(k, r) : Index(c, k)]));
        if (line.empty()) return 0;
        std::nth_element(line.begin(), line.begin() + std::ptrdiff_t(line.size() / 2), line.end());
        return int32_t(s_.WorkPlane[Index(c, r)]) - line[line.size() / 2];
    }

    // Half the side of the notch: how far the peak stays above the edge
    // threshold, the median over the eight directions, plus a margin.
    int32_t RadiusOf(int64_t c, int64_t r) const {
        const int32_t limit = std::max<int32_t>(4, std::min(W_, H_) / 40);
        int32_t reach[8];
        for (int k = 0; k < 8; ++k) {
            int32_t d = 1;
            while (d < limit && ExcessToward(c, r, k, d) >= t_.edge) ++d;
            reach[k] = d;
        }
        std::sort(reach, reach + 8);
        const double median = (reach[3] + reach[4]) / 2.0;
        return std::clamp<int32_t>(int32_t(std::ceil(median * std::sqrt(strength_))) + 1, 2, limit);
    }

    // Whether the peaks hold the fundamentals of two or more inks of one
    // ruling: three to eight peaks at one radius (each ink shows in two
    // directions, folded into the first quadrant, one at 0 and 45 degrees),
    // every two of them five degrees apart or more. A photograph's own peaks,
    // from its textures and edges, hardly ever meet at one radius in that
    // many directions, and the bits of a ring that a round shape draws lie
    // closer together; a single ink's make only two directions, so one ink
    // still needs its harmonics. The coarse look also counts the directions
    // of peaks at twice the radius: on a small page a screen's smeared
    // fundamentals can sink below the coarse cells' background but for one
    // ink's, while the other inks still show by their second harmonics (a
    // 257 x 193 page of two rulings at 4.2 and 5.3 pixels a cell). The lines
    // a shape's straight edges draw hold peaks at many radii in two
    // directions, which is why the fine look does not count those: there a
    // tilted rectangle would make a screen.
    bool InksOfOneRuling(const std::vector<TScreenPeak>& peaks) const {
        const double cellX = 1.0 / double(2 * int64_t(W_) - 1),
                     cellY = 1.0 / double(2 * int64_t(H_) - 1);
        const double apart = 5.0 * std::numbers::pi / 180.0;
        for (const TScreenPeak& p : peaks) {
            const double radius = Frequency(p.Column, p.Row);
            if (radius < kScreenFrequency) continue;
            const double tolerance = 0.02 * radius + 2.0 * cellX + 2.0 * cellY;
            const auto angleOf = [&](const TScreenPeak& q) {
                return std::atan2(double(q.Row) * cellY, double(q.Column) * cellX);
            };
            std::vector<double> angles;
            for (const TScreenPeak& q : peaks)
                if (std::fabs(Frequency(q.Column, q.Row) - radius) <= tolerance)
                    angles.push_back(angleOf(q));
            const size_t fundamentals = angles.size();
            if (coarse_)
                for (const TScreenPeak& q : peaks) {
                    if (std::fabs(Frequency(q.Column, q.Row) - 2.0 * radius) > 2.0 * tolerance)
                        continue;
                    // An ink whose fundamental is found as well is no new direction.
                    const double a = angleOf(q);
                    if (std::none_of(angles.begin(), angles.begin() + std::ptrdiff_t(fundamentals),
                                     [&](double b) { return std::fabs(a - b) < apart; }))
                        angles.push_back(a);
                }
            if (angles.size() < 3 || angles.size() > 8) continue;
            std::sort(angles.begin(), angles.end());
            bool separate = true;
            for (size_t i = 1; i < angles.size(); ++i)
                separate &= angles[i] - angles[i - 1] >= apart;
            if (separate) return true;
        }
        return false;
    }

    std::vector<TScreenPeak> Peaks() {
        // A wave of amplitude A grey levels gives coefficients of about
        // A W H; waves too faint to change a pixel are no screen, only the
        // rounding noise a blank page leaves in its spectrum.
        const int32_t floor = PowerLevel(std::pow(kFaintest * double(W_) * double(H_), 2.0));
        // No cell reads a background below the lowest block's.
        const float hopeless = float(blocks_->Lowest() + t_.peak);
        // Each band of rows collects its own; the sort below puts them in
        // one order (no two share a cell) whoever found them.
        std::vector<TScreenPeak> found;
        std::mutex adding;
        ForRowBands(H_, [&](int32_t r0, int32_t r1) {
            std::vector<TScreenPeak> own;
            for (int64_t r = r0; r < r1; ++r)
                for (int64_t c = 0; c < W_; ++c) {
                    if (s_.WorkPlane[Index(c, r)] < hopeless || Frequency(c, r) < kLowestFrequency)
                        continue;
                    int32_t e = Excess(c, r);
                    if (e < t_.peak ||
                        s_.WorkPlane[Index(c, r)] + float(ring_.Median(ring_.Bin(c, r))) <
                            float(floor))
                        continue;
                    if (!IsLocalMaximum(c, r, e) || !Isolated(c, r, e)) continue;
                    if (c == 0 || r == 0 ||
                        ((c <= kBesideAxis || r <= kBesideAxis) &&
                         Frequency(c, r) < kScreenFrequency))
                        e = std::min(e, ExcessOnAxis(c, r));
                    if (e < t_.peak) continue;
                    own.push_back({int32_t(c), int32_t(r), 0, e});
                }
            const std::lock_guard<std::mutex> lock(adding);
            found.insert(found.end(), own.begin(), own.end());
        });
        std::sort(found.begin(), found.end(), [](const TScreenPeak& a, const TScreenPeak& b) {
            return std::tie(b.Excess, a.Row, a.Column) < std::tie(a.Excess, b.Row, b.Column);
        });
        int strong = 0;
        std::vector<TScreenPeak> fairlyStrong;
        for (const TScreenPeak& p : found) {
            if (Frequency(p.Column, p.Row) < kScreenFrequency) continue;
            if (p.Excess >= t_.strong) ++strong;
            if (p.Excess >= t_.strong - LevelsOf(4.0)) fairlyStrong.push_back(p);
        }
        // A coarse screen's peaks sit among their sidebands and stand out
        // less, and more so on a small picture, whose peaks gather fewer
        // cells' worth of the screen above its background: fewer strong ones
        // still make a screen when the somewhat weaker ones form an ink's
        // lattice with its harmonics, or the fundamentals of several inks.
        if (coarse_) strong = std::min(strong, 1);
        if (strong < 3 && !InksOfOneRuling(fairlyStrong)) {
            const std::vector<TScreenLattice> lattices = FindScreenLattices(fairlyStrong, W_, H_);
            if (strong < 1 || std::none_of(lattices.begin(), lattices.end(),
                                           [](const TScreenLattice& l) { return l.Support >= 3; }))
                return {};
        }

        std::vector<TScreenPeak> peaks;
        for (TScreenPeak p : found) {
            if (peaks.size() >= kMaxPeaks) break;
            const bool covered = std::any_of(peaks.begin(), peaks.end(), [&](const TScreenPeak& q) {
                return std::abs(q.Column - p.Column) <= q.Radius &&
                       std::abs(q.Row - p.Row) <= q.Radius;
            });
            if (covered) continue;
            p.Radius = RadiusOf(p.Column, p.Row);
            peaks.push_back(p);
        }
        PassOverPictureLows(peaks);
        return peaks;
    }

    // Far below the ruling a screen has no peaks of its own: there lie only
    // the moires of inks whose angles lie close, at the difference of their
    // carriers (a yellow 7.5 degrees from another ink at 0.13 times the
    // ruling). The other peaks there are the picture's (a striped dress, a
    // fence), and they are the strongest detail it has: a notch over one
    // takes away far more of the picture than of the screen, and since each
    // cell of the cosine-type spectrum holds a frequency together with its
    // mirror, it leaves the picture's stripes in the mirror's direction as
    // well. So below a fifth of the ruling only the peaks that lie at the sum
    // or difference of two of the strongest peaks above it are kept. Beside
    // the axes, below half the ruling, a peak has to stand out from its line
    // as it has below the lowest ruling: a horizon's bands reach that far
    // (a sky over the sea on a page of two rulings, 30.7 dB where 32.4 was
    // in reach). A screen finer than the scan's resolution has no ruling the
    // geometry can tell; there every peak is kept.
    void PassOverPictureLows(std::vector<TScreenPeak>& peaks) const {
        const double bound = kLowestShare * ScreenFundamental(peaks, W_, H_);
        if (!(bound > 0.0)) return;
        std::vector<const TScreenPeak*> parents;
        for (const TScreenPeak& p : peaks)
            if (parents.size() < kParents && Frequency(p.Column, p.Row) >= bound)
                parents.push_back(&p);
        const auto moire = [&](const TScreenPeak& p) {
            for (size_t i = 0; i < parents.size(); ++i)
                for (size_t j = i; j < parents.size(); ++j) {
                    const TScreenPeak &a = *parents[i], &b = *parents[j];
                    const int64_t cs[2] = {std::abs(int64_t(a.Column) - b.Column),
                                           int64_t(a.Column) + b.Column};
                    const int64_t rs[2] = {std::abs(int64_t(a.Row) - b.Row),
                                           int64_t(a.Row) + b.Row};
                    for (const int64_t c : cs)
                        for (const int64_t r : rs)
                            if (std::abs(c - p.Column) <= 1 && std::abs(r - p.Row) <= 1)
                                return true;
                }
            return false;
        };
        const double belowHalf = 0.5 / kLowestShare * bound;
        std::erase_if(peaks, [&](const TScreenPeak& p) {
            const double f = Frequency(p.Column, p.Row);
            if (f < belowHalf && (p.Column <= kBesideAxis || p.Row <= kBesideAxis) &&
                ExcessOnAxis(p.Column, p.Row) < t_.peak)
                return true;
            return f < bound && !moire(p);
        });
    }

    static constexpr size_t kMaxPeaks = 400;
    // Below this share of the ruling only moires are peaks of the screen,
    // and the strongest this many peaks above it are their parents.
    static constexpr double kLowestShare = 0.2;
    static constexpr size_t kParents = 64;
    static constexpr int32_t kCoarse = 4;
    // Below this (cycles per pixel) a picture's own spectrum is too steep to
    // tell peaks from it.
    static constexpr double kLowestFrequency = 0.012;
    // The strong peaks that make a screen lie at least this high: finer
    // rulings than a tenth of the scan's resolution do not occur.
    static constexpr double kScreenFrequency = 0.05;
    static constexpr double kFaintest = 0.25;
    // How far from row 0 or column 0 a low peak is measured along its line.
    static constexpr int64_t kBesideAxis = 3;

    TSpectrumStore& s_;
    const int32_t W_, H_;
    const TThresholds t_;
    const double strength_;
    const bool coarse_;
    TRadialProfile ring_{W_, H_};
    std::optional<TBlockLevels> blocks_;
    int32_t block_ = 8;
};

} // namespace

std::vector<TScreenPeak> FindScreenPeaks(TSpectrumStore& spectrum,
                                         const TScreenFinderOptions& options) {
    if (spectrum.Empty() || spectrum.WorkPlane.size() != spectrum.CellCount()) return {};
    return TFinder(spectrum, options).Run(nullptr);
}

std::vector<TScreenPeak> FindScreenPeaks(TSpectrumStore& spectrum,
                                         const TScreenFinderOptions& options,
                                         TSpectrumLevels& levels) {
    levels.Rings.reset();
    if (spectrum.Empty() || spectrum.WorkPlane.size() != spectrum.CellCount()) return {};
    return TFinder(spectrum, options).Run(&levels);
}

const TRadialProfile& KeptOrMeasuredRings(TSpectrumStore& store, const TSpectrumLevels* kept,
                                          std::optional<TRadialProfile>& own) {
    if (kept && kept->Rings) return *kept->Rings;
    CombinedLevels(store, store.WorkPlane.data());
    own.emplace(store.Cols, store.Rows);
    own->Measure(store.WorkPlane.data());
    return *own;
}
