#include "bench/halftone_sim.h"

#include "bench/parallel_rows.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

constexpr double kPi = std::numbers::pi;

// The dot's spot function on a cell from the cosines of its cell coordinates
// (u, v): 0 at the cell's centre, 1 at its corners; a dot covers where it is
// below the threshold of the tone. Weights e and 2 - e on the two axes make
// round dots (e = 1) or elliptical ones.
double Spot(double cu, double cv, double e) {
    return 1.0 - (e * cu + (2.0 - e) * cv + 2.0) / 4.0;
}

// The dot's edge is antialiased by a linear ramp one sample wide across the
// spot function's threshold (see DotCoverage).
double RampWidth(double su, double sv, double cell, double e) {
    const double gu = e * su, gv = (2.0 - e) * sv;
    const double slope = (kPi / 2.0) * std::sqrt(gu * gu + gv * gv) / cell; // per print pixel
    return std::max(slope / kPrintSupersampling, 1e-9);
}

double Ramp(double threshold, double spot, double width) {
    return std::clamp((threshold - spot) / width + 0.5, 0.0, 1.0);
}

// Threshold of each tone such that the antialiased dots cover exactly that
// share of the page: the ramp overstates small dots and understates small
// holes, so the coverage is measured over the cell for many thresholds and
// the tone's threshold interpolated from them.
class TThresholds {
public:
    TThresholds(double cell, double e) {
        constexpr int32_t n = 128, steps = 2048;
        std::vector<double> spot, width;
        for (int32_t j = 0; j < n; ++j)
            for (int32_t i = 0; i < n; ++i) {
                const double u = 2 * kPi * (i + 0.5) / n, v = 2 * kPi * (j + 0.5) / n;
                spot.push_back(Spot(std::cos(u), std::cos(v), e));
                width.push_back(RampWidth(std::sin(u), std::sin(v), cell, e));
            }
        // Coverage for thresholds from a little below 0 to a little above 1.
        std::vector<double> thresholds, coverage;
        for (int32_t t = 0; t <= steps; ++t) {
            const double threshold = -0.1 + 1.2 * t / steps;
            double sum = 0.0;
            for (size_t k = 0; k < spot.size(); ++k) sum += Ramp(threshold, spot[k], width[k]);
            thresholds.push_back(threshold);
            coverage.push_back(sum / double(spot.size()));
        }
        table_.resize(kSteps + 1);
        size_t at = 0;
        for (int32_t t = 0; t <= kSteps; ++t) {
            const double tone = double(t) / kSteps;
            while (at + 2 < coverage.size() && coverage[at + 1] < tone) ++at;
            const double span = coverage[at + 1] - coverage[at];
            const double f = span > 0 ? std::clamp((tone - coverage[at]) / span, 0.0, 1.0) : 0.0;
            table_[size_t(t)] = thresholds[at] * (1.0 - f) + thresholds[at + 1] * f;
        }
    }
    double operator()(double tone) const {
        const double x = std::clamp(tone, 0.0, 1.0) * kSteps;
        const int32_t i = std::min<int32_t>(int32_t(x), kSteps - 1);
        const double f = x - i;
        return table_[size_t(i)] * (1.0 - f) + table_[size_t(i) + 1] * f;
    }

private:
    static constexpr int32_t kSteps = 4096;
    std::vector<double> table_;
};

// A point turning around the unit circle in equal steps: cos and sin of
// 2 pi t along a row of samples without calling them per sample.
struct TTurn {
    double C = 1.0, S = 0.0;   // cos, sin of the current angle
    double Cs = 1.0, Ss = 0.0; // of the step
    TTurn(double start, double step)
        : C(std::cos(2 * kPi * start)), S(std::sin(2 * kPi * start)), Cs(std::cos(2 * kPi * step)),
          Ss(std::sin(2 * kPi * step)) {}
    void Next() {
        const double c = C * Cs - S * Ss;
        S = S * Cs + C * Ss;
        C = c;
    }
};

// Coverage (0..1) of one fine sample from the cosines and sines of its cell
// coordinates.
double DotCoverage(double tone, const TTurn& u, const TTurn& v, double cell, double e,
                   const TThresholds& thresholds) {
    if (tone <= 0.0) return 0.0;
    if (tone >= 1.0) return 1.0;
    return Ramp(thresholds(tone), Spot(u.C, v.C, e), RampWidth(u.S, v.S, cell, e));
}

std::vector<float> Kernel(double sigma) {
    if (sigma <= 0.0) return {1.0f};
    const int32_t radius = std::max<int32_t>(1, int32_t(std::ceil(3.5 * sigma)));
    std::vector<double> k(size_t(2 * radius + 1));
    double sum = 0.0;
    for (int32_t i = -radius; i <= radius; ++i)
        sum += k[size_t(i + radius)] = std::exp(-0.5 * i * i / (sigma * sigma));
    std::vector<float> out;
    for (double v : k) out.push_back(float(v / sum));
    return out;
}

void CheckPicture(const TBitmap24& picture) {
    if (picture.Width <= 0 || picture.Height <= 0) throw std::invalid_argument("empty picture");
}

} // namespace

TPrintedPage PrintHalftone(const TBitmap24& picture, const TScreenSetup& screen) {
    CheckPicture(picture);
    const double e = std::clamp(screen.DotElongation, 1.0, 1.9);
    const TThresholds thresholds(screen.CellPixels, e);
    const int32_t w = picture.Width, h = picture.Height, s = kPrintSupersampling;
    // Separation: black replaces the given share of the grey that all three
    // colours share; the colour inks make up the rest, so that the inks'
    // product gives the picture's colour back.
    std::vector<float> inks(size_t(w) * size_t(h) * 4u);
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c) {
            const uint8_t* p = picture.Pixel(c, r);
            const double rgb[3] = {p[2] / 255.0, p[1] / 255.0, p[0] / 255.0};
            const double k = screen.BlackShare * (1.0 - std::max({rgb[0], rgb[1], rgb[2]}));
            float* out = inks.data() + (size_t(r) * size_t(w) + size_t(c)) * 4u;
            for (int i = 0; i < 3; ++i)
                out[i] = float(k < 1.0 ? std::clamp(1.0 - rgb[i] / (1.0 - k), 0.0, 1.0) : 0.0);
            out[3] = float(k);
        }
    double cosA[4], sinA[4];
    for (int i = 0; i < 4; ++i) {
        const double a = (screen.InkAngles[i] + screen.PageRotation) * kPi / 180.0;
        cosA[i] = std::cos(a);
        sinA[i] = std::sin(a);
    }
    TPrintedPage page;
    page.Width = w;
    page.Height = h;
    const int32_t fw = w * s, fh = h * s;
    page.Reflectance.assign(size_t(fw) * size_t(fh) * 3u, 0.0f);
    ParallelRows(fh, [&](int32_t first, int32_t last) {
        for (int32_t j = first; j < last; ++j) {
            const double y = (j + 0.5) / s;
            // The tone at a sample is the picture interpolated bilinearly.
            const double ty = std::clamp(y - 0.5, 0.0, double(h - 1));
            const int32_t r0 = std::min<int32_t>(int32_t(ty), h - 1), r1 = std::min(r0 + 1, h - 1);
            const double fy = ty - r0;
            // Each ink's cell coordinates (u, v) grow linearly along the row.
            std::vector<TTurn> us, vs;
            for (int k = 0; k < 4; ++k) {
                const double cell = screen.CellPixels, x0 = 0.5 / s;
                us.emplace_back((x0 * cosA[k] + y * sinA[k]) / cell + screen.Phase[k][0],
                                cosA[k] / (cell * s));
                vs.emplace_back((-x0 * sinA[k] + y * cosA[k]) / cell + screen.Phase[k][1],
                                -sinA[k] / (cell * s));
            }
            for (int32_t i = 0; i < fw; ++i) {
                const double x = (i + 0.5) / s;
                const double tx = std::clamp(x - 0.5, 0.0, double(w - 1));
                const int32_t c0 = std::min<int32_t>(int32_t(tx), w - 1),
                              c1 = std::min(c0 + 1, w - 1);
                const double fx = tx - c0;
                double cover[4];
                for (int k = 0; k < 4; ++k) {
                    auto at = [&](int32_t c, int32_t r) {
                        return double(inks[(size_t(r) * size_t(w) + size_t(c)) * 4u + size_t(k)]);
                    };
                    const double tone = (at(c0, r0) * (1 - fx) + at(c1, r0) * fx) * (1 - fy) +
                                        (at(c0, r1) * (1 - fx) + at(c1, r1) * fx) * fy;
                    cover[k] = DotCoverage(tone, us[size_t(k)], vs[size_t(k)], screen.CellPixels, e,
                                           thresholds);
                    us[size_t(k)].Next();
                    vs[size_t(k)].Next();
                }
                const double paper = 1.0 - cover[3];
                float* out = page.Reflectance.data() + (size_t(j) * size_t(fw) + size_t(i)) * 3u;
                out[0] = float(paper * (1.0 - cover[2])); // blue: yellow absorbs it
                out[1] = float(paper * (1.0 - cover[1])); // green: magenta
                out[2] = float(paper * (1.0 - cover[0])); // red: cyan
            }
        }
    });
    return page;
}

TPrintedPage PrintContone(const TBitmap24& picture) {
    CheckPicture(picture);
    const int32_t w = picture.Width, h = picture.Height, s = kPrintSupersampling;
    TPrintedPage page;
    page.Width = w;
    page.Height = h;
    const int32_t fw = w * s, fh = h * s;
    page.Reflectance.resize(size_t(fw) * size_t(fh) * 3u);
    for (int32_t j = 0; j < fh; ++j)
        for (int32_t i = 0; i < fw; ++i) {
            const uint8_t* p = picture.Pixel(i / s, j / s);
            float* out = page.Reflectance.data() + (size_t(j) * size_t(fw) + size_t(i)) * 3u;
            for (int ch = 0; ch < 3; ++ch) out[ch] = float(p[ch] / 255.0);
        }
    return page;
}

TBitmap24 ScanPage(const TPrintedPage& page, const TScanSetup& scan) {
    const int32_t s = kPrintSupersampling;
    if (scan.Factor < 1 || s % scan.Factor != 0)
        throw std::invalid_argument("scan factor must divide the supersampling");
    const int32_t block = s / scan.Factor;
    const int32_t fw = page.Width * s, fh = page.Height * s;
    const int32_t ow = page.Width * scan.Factor, oh = page.Height * scan.Factor;
    // Blur and area integration are both separable: along the rows first
    // (fine rows, scan columns), then along the columns.
    const std::vector<float> k = Kernel(scan.BlurSigma * block);
    const int32_t radius = int32_t(k.size() / 2);
    std::vector<float> rows(size_t(fh) * size_t(ow) * 3u);
    ParallelRows(fh, [&](int32_t first, int32_t last) {
        std::vector<float> blurred(size_t(fw) * 3u);
        for (int32_t j = first; j < last; ++j) {
            const float* src = page.Reflectance.data() + size_t(j) * size_t(fw) * 3u;
            for (int32_t i = 0; i < fw; ++i) {
                float acc[3] = {0, 0, 0};
                for (int32_t t = -radius; t <= radius; ++t) {
                    const float* p = src + size_t(MirrorIndex(i + t, fw)) * 3u;
                    for (int ch = 0; ch < 3; ++ch) acc[ch] += k[size_t(t + radius)] * p[ch];
                }
                for (int ch = 0; ch < 3; ++ch) blurred[size_t(i) * 3u + size_t(ch)] = acc[ch];
            }
            float* out = rows.data() + size_t(j) * size_t(ow) * 3u;
            for (int32_t c = 0; c < ow; ++c)
                for (int ch = 0; ch < 3; ++ch) {
                    float sum = 0.0f;
                    for (int32_t b = 0; b < block; ++b)
                        sum += blurred[(size_t(c) * size_t(block) + size_t(b)) * 3u + size_t(ch)];
                    out[size_t(c) * 3u + size_t(ch)] = sum / float(block);
                }
        }
    });
    std::vector<float> values(size_t(ow) * size_t(oh) * 3u);
    ParallelRows(oh, [&](int32_t first, int32_t last) {
        for (int32_t r = first; r < last; ++r)
            for (int32_t c = 0; c < ow; ++c)
                for (int ch = 0; ch < 3; ++ch) {
                    float sum = 0.0f;
                    for (int32_t b = 0; b < block; ++b) {
                        const int32_t j = r * block + b;
                        float acc = 0.0f;
                        for (int32_t t = -radius; t <= radius; ++t)
                            acc += k[size_t(t + radius)] *
                                   rows[(size_t(MirrorIndex(j + t, fh)) * size_t(ow) + size_t(c)) *
                                            3u +
                                        size_t(ch)];
                        sum += acc;
                    }
                    values[(size_t(r) * size_t(ow) + size_t(c)) * 3u + size_t(ch)] =
                        sum / float(block);
                }
    });
    // Noise is drawn in one sequence, so the scan is the same however many
    // threads rendered the page.
    std::mt19937 gen(scan.Seed);
    std::normal_distribution<double> noise(0.0, std::max(scan.NoiseSigma, 1e-12));
    TBitmap24 out(ow, oh);
    for (size_t i = 0; i < values.size(); ++i) {
        const double v = double(values[i]) * 255.0 + (scan.NoiseSigma > 0.0 ? noise(gen) : 0.0);
        out.Bytes[i] = uint8_t(std::clamp(std::lround(v), 0L, 255L));
    }
    return out;
}

TBitmap24 ResizeByArea(const TBitmap24& picture, int32_t width, int32_t height) {
    CheckPicture(picture);
    if (width <= 0 || height <= 0) throw std::invalid_argument("empty target size");
    // Weights of the source pixels that each target pixel's area overlaps.
    struct TTap {
        int32_t Index;
        double Weight;
    };
    auto taps = [](int32_t from, int32_t to) {
        std::vector<std::vector<TTap>> out(static_cast<size_t>(to));
        const double scale = double(from) / to;
        for (int32_t d = 0; d < to; ++d) {
            const double a = d * scale, b = (d + 1) * scale;
            for (int32_t i = int32_t(std::floor(a)); i < int32_t(std::ceil(b)) && i < from; ++i) {
                const double overlap = std::min(b, i + 1.0) - std::max(a, double(i));
                if (overlap > 0) out[size_t(d)].push_back({i, overlap / scale});
            }
        }
        return out;
    };
    const auto tx = taps(picture.Width, width), ty = taps(picture.Height, height);
    std::vector<double> rows(size_t(picture.Height) * size_t(width) * 3u);
    for (int32_t r = 0; r < picture.Height; ++r)
        for (int32_t c = 0; c < width; ++c)
            for (const TTap& t : tx[size_t(c)])
                for (int ch = 0; ch < 3; ++ch)
                    rows[(size_t(r) * size_t(width) + size_t(c)) * 3u + size_t(ch)] +=
                        t.Weight * picture.Pixel(t.Index, r)[ch];
    TBitmap24 out(width, height);
    for (int32_t r = 0; r < height; ++r)
        for (int32_t c = 0; c < width; ++c)
            for (int ch = 0; ch < 3; ++ch) {
                double v = 0.0;
                for (const TTap& t : ty[size_t(r)])
                    v += t.Weight *
                         rows[(size_t(t.Index) * size_t(width) + size_t(c)) * 3u + size_t(ch)];
                out.Pixel(c, r)[ch] = uint8_t(std::clamp(std::lround(v), 0L, 255L));
            }
    return out;
}
