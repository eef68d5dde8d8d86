#include "filter/sideband_damping.h"

#include "filter/ruling_low_pass.h"
#include "filter/spectrum_levels.h"
#include "spectral/thread_team.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

const TSidebandProfile& SidebandProfile() {
    static const TSidebandProfile profile;
    return profile;
}

double SidebandGain(double lowPass, double wiener) {
    return std::max(std::sqrt(std::sqrt(lowPass * wiener * wiener * wiener)),
                    lowPass * lowPass * lowPass);
}

namespace {

void ScaleOneByOne(float* row, const double* lowPass, const double* wiener, int64_t n) {
    for (int64_t c = 0; c < n; ++c)
        if (wiener[c] != 1.0) row[c] = float(double(row[c]) * SidebandGain(lowPass[c], wiener[c]));
}

#if defined(__x86_64__)
// Four cells a step, in the order SidebandGain takes them: the page's every
// cell passes here once for each plane.
__attribute__((target("avx2"))) void ScaleFourAtOnce(float* row, const double* lowPass,
                                                     const double* wiener, int64_t n) {
    const __m256d one = _mm256_set1_pd(1.0);
    int64_t c = 0;
    for (; c + 4 <= n; c += 4) {
        const __m256d lp = _mm256_loadu_pd(lowPass + c), w = _mm256_loadu_pd(wiener + c);
        const __m256d root = _mm256_sqrt_pd(
            _mm256_sqrt_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(lp, w), w), w)));
        const __m256d cube = _mm256_mul_pd(_mm256_mul_pd(lp, lp), lp);
        // std::max(root, cube) is root unless root < cube; maxpd takes its
        // first operand where it is the greater.
        __m256d gain = _mm256_max_pd(cube, root);
        gain = _mm256_blendv_pd(gain, one, _mm256_cmp_pd(w, one, _CMP_EQ_OQ));
        const __m256d x = _mm256_cvtps_pd(_mm_loadu_ps(row + c));
        _mm_storeu_ps(row + c, _mm256_cvtpd_ps(_mm256_mul_pd(x, gain)));
    }
    ScaleOneByOne(row + c, lowPass + c, wiener + c, n - c);
}
#endif

} // namespace

void ScaleBySidebandGains(float* row, const double* lowPass, const double* wiener, int64_t n,
                          bool wide) {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (wide && avx2) return ScaleFourAtOnce(row, lowPass, wiener, n);
#endif
    (void)wide;
    ScaleOneByOne(row, lowPass, wiener, n);
}

double TSidebandModel::Picture(double radius) const {
    return std::exp2(Offset + Slope * std::log2(radius));
}

TPictureDirections::TPictureDirections(int sectors)
    : factors_(static_cast<size_t>(std::max(1, sectors)), 1.0) {
    for (size_t k = 1; k < factors_.size(); ++k)
        tangents_.push_back(std::tan(double(k) / double(factors_.size()) * std::numbers::pi / 2.0));
}

size_t TPictureDirections::Sector(double u, double v) const {
    // Counted without a branch or a division: the screen's model asks this
    // for every peak at every point of its grid.
    size_t k = 0;
    for (const double t : tangents_) k += size_t(v >= t * u);
    return k;
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
    TPlaneShares Share;  // of each plane in the ring around it
};

// The screen's power at cell (x, y): every peak's sidebands at each of the
// peak's four mirror images, since a frequency and its mirrors fold onto the
// same cell, with the picture's factor for the direction from the image to
// the cell. Summed in the peaks' order, so the value is the same whoever
// computes it.
class TScreenPower {
public:
    TScreenPower(std::vector<TSidebandCarrier> carriers, double slope,
                 TPictureDirections directions, int32_t W, int32_t H)
        : carriers_(std::move(carriers)), directions_(std::move(directions)), half_(slope / 2.0),
          cellX_(1.0 / W), cellY_(1.0 / H) {
        const double nearest = std::min(cellX_, cellY_);
        floor_ = nearest * nearest;
    }

    // The mirror images of the peaks whose sidebands reach row y, in the
    // order the sum takes them, each with its distance from the row and that
    // squared.
    struct TRowTerm {
        const TSidebandCarrier* Carrier;
        double Dy, Dy2;
    };
    void RowTerms(double y, std::vector<TRowTerm>& terms) const {
        terms.clear();
        for (const TSidebandCarrier& k : carriers_)
            for (const double kr : {k.R, -k.R}) {
                if (kr < 0.0 && k.R == 0.0) continue;
                const double dr = y - kr;
                if (std::fabs(dr) > k.SpanR) continue;
                terms.push_back({&k, std::fabs(dr) * cellY_, dr * cellY_ * dr * cellY_});
            }
    }

    // The power at (x, y) in each plane from RowTerms(y): the mirrors that
    // reach no further than the row are left out before the columns are
    // looked at, the rest are summed as they come.
    void At(double x, const std::vector<TRowTerm>& terms, float (&sum)[3]) const {
        sum[0] = sum[1] = sum[2] = 0.0f;
        for (const TRowTerm& t : terms) {
            const TSidebandCarrier& k = *t.Carrier;
            for (const double kc : {k.C, -k.C}) {
                if (kc < 0.0 && k.C == 0.0) continue;
                if (std::fabs(x - kc) > k.SpanC) continue;
                const double dc = (x - kc) * cellX_;
                const double d2 = std::max(floor_, dc * dc + t.Dy2);
                const double power = directions_.At(std::fabs(dc), t.Dy) *
                                     std::exp2(k.LogScale + half_ * std::log2(d2));
                for (size_t p = 0; p < 3; ++p) sum[p] += float(power * k.Share[p]);
            }
        }
    }

private:
    std::vector<TSidebandCarrier> carriers_;
    TPictureDirections directions_;
    double half_, cellX_, cellY_, floor_;
};

namespace {

// How much more or less than the planes' combined level the planes' own
// levels read, as a power ratio: the median over the cells `each` gives.
template <typename TEach>
TPlaneShares PlaneSharesOf(const TSpectrumStore& store, const float* levels, TEach each) {
    TPlaneShares shares;
    std::vector<double> ratios;
    for (size_t p = 0; p < 3; ++p) {
        ratios.clear();
        each([&](size_t i) {
            const double x = store.Planes[p][i];
            ratios.push_back(double(PowerLevel(x * x)) - double(levels[i]));
        });
        if (!ratios.empty()) shares[p] = std::exp2(MedianOf(ratios) / kLevelsPerOctave);
    }
    return shares;
}

// Each cell of a W x H spectrum whose normalised radius lies from `lo` to
// `hi`, row by row: take(index, u, v, radius).
template <typename TTake>
void ForBandCells(int32_t W, int32_t H, double lo, double hi, TTake take) {
    const int64_t cs = std::min<int64_t>(W - 1, int64_t(std::ceil(hi * W)));
    const int64_t rs = std::min<int64_t>(H - 1, int64_t(std::ceil(hi * H)));
    for (int64_t r = 0; r <= rs; ++r)
        for (int64_t c = 0; c <= cs; ++c) {
            const double u = double(c) / W, v = double(r) / H;
            const double radius = std::sqrt(u * u + v * v);
            if (radius >= lo && radius <= hi) take(size_t(r) * size_t(W) + size_t(c), u, v, radius);
        }
}

// The picture's factors by direction from the levels of the band from `lo`
// to `hi` (normalised radii) above `fall`, the fitted fall in octaves.
template <typename TFall>
TPictureDirections PictureDirections(const float* levels, int32_t W, int32_t H, double lo,
                                     double hi, TFall fall) {
    const TSidebandProfile& profile = SidebandProfile();
    TPictureDirections directions(profile.Directions);
    std::vector<std::vector<double>> bySector(directions.Count());
    ForBandCells(W, H, lo, hi, [&](size_t i, double u, double v, double radius) {
        bySector[directions.Sector(u, v)].push_back(double(levels[i]) / kLevelsPerOctave -
                                                    fall(radius));
    });
    constexpr size_t kFewest = 16;
    std::vector<double> medians(bySector.size(), 0.0), measured;
    for (size_t k = 0; k < bySector.size(); ++k)
        if (bySector[k].size() >= kFewest) {
            medians[k] = MedianOf(bySector[k]);
            measured.push_back(medians[k]);
        }
    if (measured.empty()) return directions;
    const double middle = MedianOf(measured);
    const double limit = std::log2(profile.DirectionLimit);
    for (size_t k = 0; k < bySector.size(); ++k)
        if (bySector[k].size() >= kFewest)
            directions.Set(k, std::exp2(std::clamp(medians[k] - middle, -limit, limit)));
    return directions;
}

} // namespace

bool SidebandModel(TSpectrumStore& store, float fundamental, const std::vector<TScreenPeak>& peaks,
                   TSidebandModel& model, const TSpectrumLevels* kept) {
    const TSidebandProfile& profile = SidebandProfile();
    const int32_t W = store.Cols, H = store.Rows;
    if (store.Empty() || store.WorkPlane.size() != store.CellCount() || peaks.empty()) return false;
    if (!(fundamental > 0.0f && fundamental <= 2.0f)) return false;
    float* levels = store.WorkPlane.data();
    std::optional<TRadialProfile> own;
    const TRadialProfile& rings = KeptOrMeasuredRings(store, kept, own);

    // The picture: its fall over the band, in octaves of power (levels are
    // eighths of one, and scaling by a power of two is exact).
    const double f = fundamental;
    double slope = 0, intercept = 0;
    if (!rings.FitFall(profile.Low * f, profile.High * f, 2, profile.MaxSlope * kLevelsPerOctave,
                       slope, intercept))
        return false;
    slope /= kLevelsPerOctave;
    // Powers are kept relative to the picture's at the fundamental, so that
    // they fit a float.
    intercept /= kLevelsPerOctave;
    const double reference = intercept + slope * std::log2(f);

    // The screen: each peak's sidebands, scaled to the ring around it.
    const double cellX = 1.0 / W, cellY = 1.0 / H;
    std::vector<TSidebandCarrier> carriers;
    std::vector<double> ring;
    std::vector<size_t> ringCells;
    for (const TScreenPeak& p : peaks) {
        if (int(carriers.size()) >= profile.MaxPeaks) break;
        const double inner = profile.RingInner * p.Radius + 1.0;
        const double outer = profile.RingOuter * p.Radius + 1.0;
        ring.clear();
        ringCells.clear();
        const int64_t span = int64_t(std::ceil(outer));
        for (int64_t r = std::max<int64_t>(1, p.Row - span);
             r <= std::min<int64_t>(H - 1, p.Row + span); ++r)
            for (int64_t c = std::max<int64_t>(1, p.Column - span);
                 c <= std::min<int64_t>(W - 1, p.Column + span); ++c) {
                const double dc = double(c - p.Column), dr = double(r - p.Row);
                const double d = std::sqrt(dc * dc + dr * dr);
                if (d < inner || d > outer) continue;
                const double dn = std::hypot(dc * cellX, dr * cellY);
                ringCells.push_back(size_t(r) * size_t(W) + size_t(c));
                ring.push_back(double(levels[ringCells.back()]) / kLevelsPerOctave -
                               slope * std::log2(dn));
            }
        if (ring.size() < 8) continue;
        const double reach = profile.Reach * f;
        carriers.push_back({double(p.Column), double(p.Row), MedianOf(ring) - reference,
                            std::ceil(reach * W), std::ceil(reach * H),
                            PlaneSharesOf(store, levels, [&](const auto& take) {
                                for (const size_t i : ringCells) take(i);
                            })});
    }
    if (carriers.empty()) return false;

    model.Slope = slope;
    model.Offset = intercept - reference;
    model.Reference = reference;
    model.Fundamental = f;
    model.RingExcess.assign(TRadialProfile::kBins, 0.0);
    for (int b = 0; b < TRadialProfile::kBins; ++b) {
        const double radius = TRadialProfile::BinRadius(b);
        if (radius <= profile.High * f) continue;
        const double measured = std::exp2(double(rings.Median(b)) / kLevelsPerOctave - reference);
        model.RingExcess[size_t(b)] = std::max(0.0, measured - model.Picture(radius));
    }

    model.Directions =
        PictureDirections(levels, W, H, profile.Low * f, profile.High * f,
                          [&](double radius) { return intercept + slope * std::log2(radius); });
    model.Share = PlaneSharesOf(store, levels, [&](const auto& take) {
        ForBandCells(W, H, profile.Low * f, profile.High * f,
                     [&](size_t i, double, double, double) { take(i); });
    });
    model.Screen =
        std::make_shared<TScreenPower>(std::move(carriers), slope, model.Directions, W, H);
    return true;
}

namespace {

struct TMoireCell {
    size_t Index;
    double Gain;
};

// The inks' intermodulation peaks inside the picture's band. Inks printed
// over each other multiply, so every two carriers give a peak at their
// difference and at their sum; where two inks' angles lie close (a yellow
// at 0 degrees beside a 15 degree ink, say), the difference falls deep into
// the picture's band: a moire a few screen cells long, sharp enough to stand
// far out of the picture's spectrum, but often too weak, or too smeared (its
// frequency lies between the cells), for the finder to take as a peak, and
// so low that the ruling low-pass keeps it. Where it lies is known from the
// carriers, so it is looked for there.
//
// A moire is taken where its peak stands out from the spectrum beside it by
// MoireStandOut, and with it the cells joined to the peak through cells
// that stand out by MoireJoined: its smeared flanks, which a photograph's
// own spectrum seldom reaches that close to so sharp a peak. The picture's own spectrum has lines
// (its straight edges, strongest along the axes, which hold its row and column means) and the local
// peaks of its textures, so the spectrum beside a cell is the highest of three medians: of the ring
// around the peak, and of the cell's row and its column beyond the ring. A straight edge at any
// other angle draws its line along a ray from the constant term, and where one passed a moire, the
// flanks ran out along it and took the edge away (a face's outline at 4.6 pixels a cell, 29.8 dB
// where 33.0 was in reach); so for the flanks the median along their ray counts as a fourth. Near
// the axes lie the strongest of such lines, a horizon's or a building's tilted with the page, and
// there the peak itself must stand out of its ray (on a page laid 3.8 degrees askew a horizon's
// line crossed a predicted place and was taken for a moire: 28.3 dB where 39.6 was kept). Such
// a cell gets the Wiener gain B / M that treats the background B as the picture's power and what
// the cell holds beyond it as the screen's. Levels are taken relative to the picture's fall, so
// that cells nearer the constant term compare with the same background.
class TMoireSearch {
public:
    TMoireSearch(const TSpectrumStore& store, const TSidebandModel& model)
        : levels_(store.WorkPlane.data()), W_(store.Cols), H_(store.Rows),
          fall_(model.Slope * kLevelsPerOctave), nearest_(std::min(1.0 / W_, 1.0 / H_)),
          lowest_(SidebandProfile().MoireLowest * model.Fundamental), highest_(model.Fundamental),
          stand_(LevelsOf(SidebandProfile().MoireStandOut)),
          join_(LevelsOf(SidebandProfile().MoireJoined)),
          axisTangent_(std::tan(SidebandProfile().MoireAxisDegrees * std::numbers::pi / 180.0)) {}

    // Whether a moire at (pc, pr) would lie where one is looked for.
    bool Within(int64_t pc, int64_t pr) const {
        if (pc >= W_ || pr >= H_) return false;
        const double at = std::hypot(double(pc) / W_, double(pr) / H_);
        return at >= lowest_ && at <= highest_;
    }

    // Looks at the place (pc, pr) predicted from two carriers with notches
    // of the given radius; the cells taken are added to Cells().
    void LookAt(int64_t pc, int64_t pr, int32_t radius) {
        // The peak: the highest cell near the predicted place.
        mc_ = pc, mr_ = pr;
        for (int64_t r = std::max<int64_t>(0, pr - 2); r <= std::min<int64_t>(H_ - 1, pr + 2); ++r)
            for (int64_t c = std::max<int64_t>(0, pc - 2); c <= std::min<int64_t>(W_ - 1, pc + 2);
                 ++c)
                if (Level(c, r) > Level(mc_, mr_)) mc_ = c, mr_ = r;
        reach_ = int64_t(SidebandProfile().RingOuter * radius) + 1;
        r0_ = std::max<int64_t>(0, mr_ - reach_), r1_ = std::min<int64_t>(H_ - 1, mr_ + reach_);
        c0_ = std::max<int64_t>(0, mc_ - reach_), c1_ = std::min<int64_t>(W_ - 1, mc_ + reach_);
        // The ring is read on a grid of about 32 x 32 points: a median needs
        // no more.
        const int64_t stride = std::max<int64_t>(1, reach_ / 16), inner = radius + 1;
        around_.clear();
        for (int64_t r = r0_; r <= r1_; r += stride)
            for (int64_t c = c0_; c <= c1_; c += stride) {
                const int64_t d2 = (c - mc_) * (c - mc_) + (r - mr_) * (r - mr_);
                if (d2 >= inner * inner && d2 <= reach_ * reach_) around_.push_back(Level(c, r));
            }
        ring_ = Median();
        // The lines' medians as the cells ask for them: most predicted places
        // hold no moire.
        rowBack_.assign(size_t(r1_ - r0_ + 1), kUnknown);
        columnBack_.assign(size_t(c1_ - c0_ + 1), kUnknown);
        flank_ = false;
        if (!StandsOut(mc_, mr_, stand_)) return;
        if (NearAnAxis(mc_, mr_) && !(Level(mc_, mr_) >= Ray(mc_, mr_) + stand_)) return;
        flank_ = true;
        const int64_t gw = c1_ - c0_ + 1;
        seen_.assign(size_t(gw * (r1_ - r0_ + 1)), 0);
        pending_.assign(1, {mc_, mr_});
        seen_[size_t((mr_ - r0_) * gw + (mc_ - c0_))] = 1;
        while (!pending_.empty()) {
            const auto [c, r] = pending_.back();
            pending_.pop_back();
            if (std::hypot(double(c) / W_, double(r) / H_) < lowest_) continue;
            const int32_t b = Background(c, r), level = Level(c, r);
            if (b == kNone || level < b + join_) continue;
            cells_.push_back({size_t(r) * size_t(W_) + size_t(c),
                              std::exp2(double(b - level) / kLevelsPerOctave)});
            for (int64_t v = std::max(r0_, r - 1); v <= std::min(r1_, r + 1); ++v)
                for (int64_t u = std::max(c0_, c - 1); u <= std::min(c1_, c + 1); ++u) {
                    uint8_t& s = seen_[size_t((v - r0_) * gw + (u - c0_))];
                    if (!s) s = 1, pending_.push_back({u, v});
                }
        }
    }

    // The cells taken since the last call, in the order found.
    std::vector<TMoireCell> TakeCells() { return std::exchange(cells_, {}); }

private:
    static constexpr int32_t kNone = std::numeric_limits<int32_t>::min();
    static constexpr int32_t kUnknown = std::numeric_limits<int32_t>::max();

    int32_t Level(int64_t c, int64_t r) const {
        const double radius = std::max(nearest_, std::hypot(double(c) / W_, double(r) / H_));
        return int32_t(std::lround(double(levels_[size_t(r) * size_t(W_) + size_t(c)]) -
                                   fall_ * std::log2(radius)));
    }
    // The median of around_, which is reordered; kNone for too few cells.
    int32_t Median() {
        if (around_.size() < 8) return kNone;
        const auto mid = around_.begin() + std::ptrdiff_t(around_.size() / 2);
        std::nth_element(around_.begin(), mid, around_.end());
        return *mid;
    }
    // The median along row r, or column c, beyond the reach on either side
    // of the peak, taken once per line.
    int32_t Row(int64_t r) { return Line(rowBack_[size_t(r - r0_)], r, true); }
    int32_t Column(int64_t c) { return Line(columnBack_[size_t(c - c0_)], c, false); }
    int32_t Line(int32_t& known, int64_t line, bool row) {
        if (known != kUnknown) return known;
        const int64_t centre = row ? mc_ : mr_, last = (row ? W_ : H_) - 1;
        around_.clear();
        for (int64_t k = std::max<int64_t>(0, centre - 2 * reach_);
             k <= std::min<int64_t>(last, centre + 2 * reach_); ++k)
            if (std::abs(k - centre) > reach_)
                around_.push_back(row ? Level(k, line) : Level(line, k));
        return known = Median();
    }
    // The median along the ray from the constant term through (c, r),
    // beyond the reach on either side, read at about 16 points.
    int32_t Ray(int64_t c, int64_t r) {
        const double len = std::hypot(double(c), double(r));
        if (len < 1.0) return kNone;
        around_.clear();
        const int64_t stride = std::max<int64_t>(1, reach_ / 8);
        for (int64_t k = -2 * reach_; k <= 2 * reach_; k += stride) {
            if (std::abs(k) <= reach_) continue;
            const double t = (len + double(k)) / len;
            if (t <= 0.0) continue;
            const int64_t u = std::lround(double(c) * t), v = std::lround(double(r) * t);
            if (u < 0 || v < 0 || u >= W_ || v >= H_) continue;
            around_.push_back(Level(u, v));
        }
        return Median();
    }
    // Whether the cell's direction lies within MoireAxisDegrees of an axis.
    bool NearAnAxis(int64_t c, int64_t r) const {
        const double u = double(c) / W_, v = double(r) / H_;
        return std::min(u, v) <= axisTangent_ * std::max(u, v);
    }
    // The ray only where the cell stands out from the rest: it costs most.
    int32_t Background(int64_t c, int64_t r) {
        const int32_t lines = std::max({ring_, Row(r), Column(c)});
        if (!flank_ || lines == kNone || Level(c, r) < lines + join_) return lines;
        return std::max(lines, Ray(c, r));
    }
    bool StandsOut(int64_t c, int64_t r, int32_t by) {
        const int32_t b = Background(c, r);
        return b != kNone && Level(c, r) >= b + by;
    }

    const float* levels_;
    const int32_t W_, H_;
    const double fall_, nearest_, lowest_, highest_;
    const int32_t stand_, join_;
    const double axisTangent_;
    std::vector<std::pair<int64_t, int64_t>> pending_;
    std::vector<TMoireCell> cells_;
    // The place being looked at: its peak, reach, window and backgrounds.
    int64_t mc_ = 0, mr_ = 0, reach_ = 0, r0_ = 0, r1_ = 0, c0_ = 0, c1_ = 0;
    int32_t ring_ = kNone;
    bool flank_ = false; // whether the cells looked at are the peak's flanks
    std::vector<int32_t> around_, rowBack_, columnBack_;
    std::vector<uint8_t> seen_;
};

// The moires of every two of the strongest peaks, at the four places their
// difference and sum fold onto.
std::vector<TMoireCell> MoireCells(const TSpectrumStore& store, const TSidebandModel& model,
                                   const std::vector<TScreenPeak>& peaks) {
    // The places, each once: one within two cells of a place before it is
    // that place.
    struct TPlace {
        int64_t C, R;
        int32_t Radius;
    };
    std::vector<TPlace> places;
    const TMoireSearch bounds(store, model);
    const size_t parents = std::min<size_t>(peaks.size(), size_t(SidebandProfile().MoireParents));
    for (size_t i = 0; i < parents; ++i)
        for (size_t j = i + 1; j < parents; ++j) {
            const TScreenPeak &a = peaks[i], &b = peaks[j];
            const int64_t cs[2] = {std::abs(int64_t(a.Column) - b.Column),
                                   int64_t(a.Column) + b.Column};
            const int64_t rs[2] = {std::abs(int64_t(a.Row) - b.Row), int64_t(a.Row) + b.Row};
            for (const int64_t c : cs)
                for (const int64_t r : rs) {
                    if (!bounds.Within(c, r) ||
                        std::any_of(places.begin(), places.end(), [&](const TPlace& t) {
                            return std::abs(t.C - c) <= 2 && std::abs(t.R - r) <= 2;
                        }))
                        continue;
                    places.push_back({c, r, std::max(a.Radius, b.Radius)});
                }
        }
    // Each place is looked at on its own, so the places share out among
    // the processors; their cells are joined in the places' order.
    std::vector<std::vector<TMoireCell>> found(places.size());
    std::atomic<size_t> next{0};
    RunOnThreads(int(std::min<size_t>(size_t(AvailableProcessors()), places.size())), [&](int) {
        TMoireSearch search(store, model);
        for (size_t k = next++; k < places.size(); k = next++) {
            search.LookAt(places[k].C, places[k].R, places[k].Radius);
            found[k] = search.TakeCells();
        }
    });
    std::vector<TMoireCell> cells;
    for (const auto& f : found) cells.insert(cells.end(), f.begin(), f.end());
    // Each cell once, by index: a cell two moires share keeps the gain of
    // the first.
    std::stable_sort(cells.begin(), cells.end(),
                     [](const TMoireCell& a, const TMoireCell& b) { return a.Index < b.Index; });
    cells.erase(
        std::unique(cells.begin(), cells.end(),
                    [](const TMoireCell& a, const TMoireCell& b) { return a.Index == b.Index; }),
        cells.end());
    return cells;
}

} // namespace

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
    const std::vector<TMoireCell> moire = MoireCells(store, model, peaks);
    const auto dampMoire = [&] {
        for (const TMoireCell& m : moire) {
            const double gain = power == 1.0f ? m.Gain : std::pow(m.Gain, double(power));
            for (auto& plane : store.Planes) plane[m.Index] = float(double(plane[m.Index]) * gain);
        }
    };
    const TSidebandProfile& profile = SidebandProfile();
    const int32_t W = store.Cols, H = store.Rows;
    const double nearest = std::min(1.0 / W, 1.0 / H);
    const double cutoff = RulingLowPassProfile().Cutoff * model.Fundamental;
    const double order = RulingLowPassProfile().Order;
    // The Wiener gain of each plane at cell (x, y), with the screen's terms
    // of row y, into w[0..2]; 1 where no screen is modelled. Each ink prints
    // in the planes its colour absorbs, so its carriers and sidebands do
    // too, while the picture's detail lies in all three.
    using TTerms = std::vector<TScreenPower::TRowTerm>;
    const auto wienerAt = [&](double x, double y, const TTerms& terms, double* w) {
        const double u = x / W, v = y / H;
        const double radius = std::sqrt(u * u + v * v);
        const int bin = std::min(int(radius / 1.4142135623730951 * TRadialProfile::kBins),
                                 TRadialProfile::kBins - 1);
        float screen[3];
        model.Screen->At(x, terms, screen);
        const double picture = model.Picture(u, v, std::max(nearest, radius));
        for (size_t p = 0; p < 3; ++p) {
            const double noise =
                std::max(double(screen[p]), model.RingExcess[size_t(bin)] * model.Share[p]);
            const double own = picture * model.Share[p];
            w[p] = noise > 0.0 ? own / (own + noise) : 1.0;
        }
    };
    // Row r with the Wiener gains wiener[3 * c + p] at each of its cells.
    std::vector<double> columnSquares(static_cast<size_t>(W));
    for (int64_t c = 0; c < W; ++c) {
        const double u = double(c) / W;
        columnSquares[size_t(c)] = u * u;
    }
    const double cutoff2 = cutoff * cutoff;
    // Rows of the column axis and columns of the row axis that an ink's
    // sidebands run along.
    std::vector<uint8_t> inkRow(size_t(H), 0), inkColumn(size_t(W), 0);
    for (const TScreenPeak& p : peaks) {
        if (p.Column <= profile.AxisInkCells)
            for (int64_t r = 0; r < H; ++r)
                inkRow[size_t(r)] |= std::fabs(double(r - p.Row)) < model.Fundamental * H;
        if (p.Row <= profile.AxisInkCells)
            for (int64_t c = 0; c < W; ++c)
                inkColumn[size_t(c)] |= std::fabs(double(c - p.Column)) < model.Fundamental * W;
    }
    const double standOut = profile.AxisStandOut;
    // The Wiener gains wiener[p][c] of row r, planes apart, so that the cells
    // off the axes take one plain loop; lowPass is scratch for the row.
    const auto scaleRow = [&](int64_t r, const double* const* wiener, double* lowPass) {
        const double v = double(r) / H, v2 = v * v;
        if (order == 2.0)
            for (int64_t c = 0; c < W; ++c) {
                const double q2 = (columnSquares[size_t(c)] + v2) / cutoff2;
                lowPass[c] = 1.0 / (1.0 + q2 * q2);
            }
        else
            for (int64_t c = 0; c < W; ++c)
                lowPass[c] =
                    1.0 / (1.0 + std::pow((columnSquares[size_t(c)] + v2) / cutoff2, order));
        const auto gainOf = [&](double lp, double w) {
            const double both = SidebandGain(lp, w);
            return power == 1.0f ? both : std::pow(both, double(power));
        };
        // Up to here the cells may lie on an axis.
        const int64_t axis =
            r <= profile.AxisCells ? W : std::min<int64_t>(W, profile.AxisCells + 1);
        for (size_t p = 0; p < 3; ++p) {
            float* row = store.Planes[p].data() + size_t(r) * size_t(W);
            const double* wp = wiener[p];
            for (int64_t c = 0; c < axis; ++c) {
                double w = wp[c];
                if (w == 1.0) continue;
                const double q2 = (columnSquares[size_t(c)] + v2) / cutoff2;
                const bool onAxis = (c <= profile.AxisCells && !inkRow[size_t(r)]) ||
                                    (r <= profile.AxisCells && !inkColumn[size_t(c)]);
                if (onAxis && q2 < 4.0 && w > 0.0) {
                    const double radius =
                        std::max(nearest, std::sqrt(columnSquares[size_t(c)] + v2));
                    const double noise =
                        model.Picture(double(c) / W, v, radius) * model.Share[p] * (1.0 - w) / w;
                    const double x = row[c];
                    const double measured =
                        std::exp2(double(PowerLevel(x * x)) / kLevelsPerOctave - model.Reference);
                    if (measured > standOut * noise) w = std::max(w, 1.0 - noise / measured);
                }
                row[c] = float(double(row[c]) * gainOf(lowPass[c], w));
            }
            if (power == 1.0f)
                ScaleBySidebandGains(row + axis, lowPass + axis, wp + axis, W - axis);
            else
                for (int64_t c = axis; c < W; ++c)
                    if (wp[c] != 1.0) row[c] = float(double(row[c]) * gainOf(lowPass[c], wp[c]));
        }
    };
    // Directly where the spectrum is small, else on a grid and interpolated
    // between its points.
    const int32_t step = std::max<int32_t>(1, (std::min(W, H) + profile.GridPoints - 1) /
                                                  std::max(1, profile.GridPoints));
    const size_t w = static_cast<size_t>(W);
    if (step == 1) {
        ForRowBands(H, [&](int32_t r0, int32_t r1) {
            TTerms terms;
            std::vector<double> wiener(3 * w), lowPass(w);
            const double* planes[3] = {wiener.data(), wiener.data() + w, wiener.data() + 2 * w};
            for (int64_t r = r0; r < r1; ++r) {
                model.Screen->RowTerms(double(r), terms);
                for (int64_t c = 0; c < W; ++c) {
                    double g[3];
                    wienerAt(double(c), double(r), terms, g);
                    for (size_t p = 0; p < 3; ++p) wiener[p * w + size_t(c)] = g[p];
                }
                scaleRow(r, planes, lowPass.data());
            }
        });
        dampMoire();
        return;
    }
    const int32_t gx = (W - 1) / step + 2, gy = (H - 1) / step + 2;
    std::vector<double> grid(3 * size_t(gx) * size_t(gy));
    // Row by row: the grid has few rows, and each costs much.
    std::atomic<int32_t> nextRow{0};
    RunOnThreads(std::min(AvailableProcessors(), gy), [&](int) {
        TTerms terms;
        for (int32_t j = nextRow++; j < gy; j = nextRow++) {
            const double y = double(int64_t(j) * step);
            model.Screen->RowTerms(y, terms);
            for (int64_t i = 0; i < gx; ++i)
                wienerAt(double(i * step), y, terms,
                         grid.data() + 3 * (size_t(j) * size_t(gx) + size_t(i)));
        }
    });
    ForRowBands(H, [&](int32_t r0, int32_t r1) {
        // Grid rows j and j + 1 interpolated across the columns, planes
        // apart, kept for the step rows between them.
        std::vector<double> upper(3 * w), lower(upper), wiener(upper), lowPass(w);
        const double* planes[3] = {wiener.data(), wiener.data() + w, wiener.data() + 2 * w};
        const auto across = [&](int64_t j, std::vector<double>& out) {
            const double* g = grid.data() + 3 * size_t(j) * size_t(gx);
            for (int64_t c = 0; c < W; ++c) {
                const int64_t i = c / step;
                const double u = double(c - i * step) / step;
                for (size_t p = 0; p < 3; ++p)
                    out[p * w + size_t(c)] =
                        g[3 * size_t(i) + p] * (1.0 - u) + g[3 * size_t(i + 1) + p] * u;
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
            for (size_t k = 0; k < wiener.size(); ++k)
                wiener[k] = upper[k] * (1.0 - v) + lower[k] * v;
            scaleRow(r, planes, lowPass.data());
        }
    });
    dampMoire();
}
