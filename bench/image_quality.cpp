#include "bench/image_quality.h"

#include "bench/parallel_rows.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

std::vector<double> GaussianKernel(double sigma, int32_t radius) {
    std::vector<double> k(size_t(2 * radius + 1));
    double sum = 0.0;
    for (int32_t i = -radius; i <= radius; ++i)
        sum += k[size_t(i + radius)] = std::exp(-0.5 * i * i / (sigma * sigma));
    for (double& v : k) v /= sum;
    return k;
}

void RequireSameSize(const TImageF& a, const TImageF& b) {
    if (a.Width != b.Width || a.Height != b.Height)
        throw std::invalid_argument("images of different sizes");
}

// Valid-region filtering of one plane with a separable kernel: the output is
// (w - 2r) x (h - 2r).
std::vector<double> FilterValid(const std::vector<double>& plane, int32_t w, int32_t h,
                                const std::vector<double>& k) {
    const int32_t r = int32_t(k.size() / 2);
    const int32_t ow = w - 2 * r, oh = h - 2 * r;
    std::vector<double> rows(size_t(ow) * size_t(h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < ow; ++x) {
            double s = 0.0;
            const double* src = plane.data() + size_t(y) * size_t(w) + size_t(x);
            for (size_t t = 0; t < k.size(); ++t) s += k[t] * src[t];
            rows[size_t(y) * size_t(ow) + size_t(x)] = s;
        }
    std::vector<double> out(size_t(ow) * size_t(oh));
    for (int32_t y = 0; y < oh; ++y)
        for (int32_t x = 0; x < ow; ++x) {
            double s = 0.0;
            for (size_t t = 0; t < k.size(); ++t)
                s += k[t] * rows[(size_t(y) + t) * size_t(ow) + size_t(x)];
            out[size_t(y) * size_t(ow) + size_t(x)] = s;
        }
    return out;
}

} // namespace

TImageF ToFloatImage(const TBitmap24& image) {
    TImageF out(image.Width, image.Height);
    for (size_t i = 0; i < image.Bytes.size(); ++i) out.Values[i] = float(image.Bytes[i]);
    return out;
}

TBitmap24 ToBitmap(const TImageF& image) {
    TBitmap24 out(image.Width, image.Height);
    for (size_t i = 0; i < image.Values.size(); ++i)
        out.Bytes[i] = uint8_t(std::clamp(std::lround(image.Values[i]), 0L, 255L));
    return out;
}

TImageF Reduce2x2(const TImageF& image) {
    TImageF out(image.Width / 2, image.Height / 2);
    for (int32_t r = 0; r < out.Height; ++r)
        for (int32_t c = 0; c < out.Width; ++c) {
            const float* a = image.Pixel(2 * c, 2 * r);
            const float* b = image.Pixel(2 * c + 1, 2 * r);
            const float* d = image.Pixel(2 * c, 2 * r + 1);
            const float* e = image.Pixel(2 * c + 1, 2 * r + 1);
            float* o = out.Pixel(c, r);
            for (int ch = 0; ch < 3; ++ch) o[ch] = (a[ch] + b[ch] + d[ch] + e[ch]) * 0.25f;
        }
    return out;
}

TImageF GaussianBlur(const TImageF& image, double sigma) {
    if (sigma <= 0.0 || image.Width <= 0 || image.Height <= 0) return image;
    const int32_t radius = std::max<int32_t>(1, int32_t(std::ceil(4.0 * sigma)));
    std::vector<float> k;
    for (double v : GaussianKernel(sigma, radius)) k.push_back(float(v));
    const int32_t w = image.Width, h = image.Height;
    const size_t rowValues = size_t(w) * 3u;
    // Whole rows are added up tap by tap, so that the inner loops run over
    // contiguous floats.
    TImageF rows(w, h);
    ParallelRows(h, [&](int32_t y0, int32_t y1) {
        std::vector<float> padded(size_t(w + 2 * radius) * 3u);
        for (int32_t y = y0; y < y1; ++y) {
            for (int32_t x = -radius; x < w + radius; ++x)
                std::copy_n(image.Pixel(MirrorIndex(x, w), y), 3,
                            padded.data() + size_t(x + radius) * 3u);
            float* o = rows.Pixel(0, y);
            for (int32_t t = 0; t <= 2 * radius; ++t) {
                const float kt = k[size_t(t)];
                const float* p = padded.data() + size_t(t) * 3u;
                for (size_t i = 0; i < rowValues; ++i) o[i] += kt * p[i];
            }
        }
    });
    TImageF out(w, h);
    ParallelRows(h, [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y) {
            float* o = out.Pixel(0, y);
            for (int32_t t = -radius; t <= radius; ++t) {
                const float kt = k[size_t(t + radius)];
                const float* p = rows.Pixel(0, MirrorIndex(y + t, h));
                for (size_t i = 0; i < rowValues; ++i) o[i] += kt * p[i];
            }
        }
    });
    return out;
}

double MeanSquaredError(const TImageF& a, const TImageF& b) {
    RequireSameSize(a, b);
    if (a.Values.empty()) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.Values.size(); ++i) {
        const double d = double(a.Values[i]) - double(b.Values[i]);
        sum += d * d;
    }
    return sum / double(a.Values.size());
}

double Psnr(const TImageF& a, const TImageF& b) {
    const double mse = MeanSquaredError(a, b);
    if (mse <= 0.0) return kPsnrCap;
    return std::min(kPsnrCap, 10.0 * std::log10(255.0 * 255.0 / mse));
}

std::vector<float> Luminance(const TImageF& image) {
    std::vector<float> y(size_t(image.Width) * size_t(image.Height));
    for (size_t i = 0; i < y.size(); ++i) {
        const float* p = image.Values.data() + i * 3u; // blue, green, red
        y[i] = 0.114f * p[0] + 0.587f * p[1] + 0.299f * p[2];
    }
    return y;
}

double Ssim(const TImageF& a, const TImageF& b) {
    RequireSameSize(a, b);
    constexpr int32_t kRadius = 5;
    const int32_t w = a.Width, h = a.Height;
    if (w <= 2 * kRadius || h <= 2 * kRadius)
        throw std::invalid_argument("image too small for SSIM");
    const std::vector<float> ya = Luminance(a), yb = Luminance(b);
    const size_t n = ya.size();
    std::vector<double> pa(n), pb(n), aa(n), bb(n), ab(n);
    for (size_t i = 0; i < n; ++i) {
        pa[i] = ya[i];
        pb[i] = yb[i];
        aa[i] = pa[i] * pa[i];
        bb[i] = pb[i] * pb[i];
        ab[i] = pa[i] * pb[i];
    }
    const std::vector<double> k = GaussianKernel(1.5, kRadius);
    const std::vector<double> ma = FilterValid(pa, w, h, k), mb = FilterValid(pb, w, h, k);
    const std::vector<double> saa = FilterValid(aa, w, h, k), sbb = FilterValid(bb, w, h, k),
                              sab = FilterValid(ab, w, h, k);
    const double c1 = (0.01 * 255.0) * (0.01 * 255.0), c2 = (0.03 * 255.0) * (0.03 * 255.0);
    double sum = 0.0;
    for (size_t i = 0; i < ma.size(); ++i) {
        const double va = saa[i] - ma[i] * ma[i], vb = sbb[i] - mb[i] * mb[i],
                     cov = sab[i] - ma[i] * mb[i];
        sum += ((2.0 * ma[i] * mb[i] + c1) * (2.0 * cov + c2)) /
               ((ma[i] * ma[i] + mb[i] * mb[i] + c1) * (va + vb + c2));
    }
    return sum / double(ma.size());
}

int32_t MirrorIndex(int32_t i, int32_t n) {
    if (n == 1) return 0;
    const int32_t period = 2 * (n - 1);
    i %= period;
    if (i < 0) i += period;
    return i < n ? i : period - i;
}
