#include "spectral/fft.h"

#include "spectral/errors.h"

#include <cmath>
#include <numbers>

const char* const kFFTLengthErrorMessage =
    "Prime factor for FFT length too large. Change value for cMaxPrimeFactor in FFTs unit";

std::vector<int32_t> FactorizeLength(int32_t n) {
    static constexpr int32_t kRadices[] = {2, 3, 4, 5, 8, 10};
    std::vector<int32_t> f;
    if (n == 1) f.push_back(1);
    int32_t rest = n;
    for (int i = 5; i >= 0 && rest > 1;) {
        if (rest % kRadices[i] == 0) {
            rest /= kRadices[i];
            f.push_back(kRadices[i]);
        } else {
            --i;
        }
    }
    // An 8 and a trailing 2 become 4 and 4.
    if (!f.empty() && f.back() == 2) {
        for (int i = int(f.size()) - 2; i >= 0; --i) {
            if (f[i] == 8) {
                f[i] = 4;
                f.back() = 4;
                break;
            }
        }
    }
    if (rest > 1) {
        const int32_t bound = int32_t(std::sqrt(double(rest)));
        for (int32_t k = 2; k <= bound; ++k) {
            while (rest % k == 0) {
                rest /= k;
                f.push_back(k);
            }
        }
        if (rest > 1) f.push_back(rest);
    }
    return {f.rbegin(), f.rend()};
}

void CheckFFTLength(int32_t n) {
    if (n <= 0) return;
    if (FactorizeLength(n).front() > cMaxPrimeFactor) throw EMathError(kFFTLengthErrorMessage);
}

// The kernels below spell out every float operation in the defined order.
namespace {
inline TComplex Add(TComplex a, TComplex b) { return ComplexAdd(a, b); }
inline TComplex Sub(TComplex a, TComplex b) { return ComplexSub(a, b); }
}  // namespace

void Kernel2(TComplex* z) {
    const TComplex z0 = z[0], z1 = z[1];
    z[0] = Add(z0, z1);
    z[1] = Sub(z0, z1);
}

void Kernel3(TComplex* z) {
    const TComplex t1 = Add(z[1], z[2]);
    const TComplex Z0 = Add(z[0], t1);
    const TComplex m1 = ComplexScale(t1, R3A);
    const TComplex m2 = ComplexScale({z[1].im - z[2].im, z[2].re - z[1].re}, R3B);
    const TComplex s1 = Add(Z0, m1);
    z[0] = Z0;
    z[1] = Add(s1, m2);
    z[2] = Sub(s1, m2);
}

void Kernel4(TComplex* z) {
    const TComplex t1 = Add(z[0], z[2]);
    const TComplex t2 = Add(z[1], z[3]);
    const TComplex m2 = Sub(z[0], z[2]);
    const TComplex m3 = {z[1].im - z[3].im, z[3].re - z[1].re};
    z[0] = Add(t1, t2);
    z[2] = Sub(t1, t2);
    z[1] = Add(m2, m3);
    z[3] = Sub(m2, m3);
}

void Kernel5(TComplex* z) {
    const TComplex t1 = Add(z[1], z[4]);
    const TComplex t2 = Add(z[2], z[3]);
    const TComplex t3 = Sub(z[1], z[4]);
    const TComplex t4 = Sub(z[3], z[2]);
    const TComplex t5 = Add(t1, t2);
    const TComplex Z0 = Add(z[0], t5);
    const TComplex m1 = ComplexScale(t5, R5A);
    const TComplex m2 = ComplexScale(Sub(t1, t2), R5B);
    const float s34im = t3.im + t4.im;
    const float s34re = t3.re + t4.re;
    const TComplex m3 = {-(R5C * s34im), R5C * s34re};
    const TComplex m4 = {-(R5D * t4.im), R5D * t4.re};
    const TComplex m5 = {-(R5E * t3.im), R5E * t3.re};
    const TComplex s3 = Sub(m3, m4);
    const TComplex s5 = Add(m3, m5);
    const TComplex s1 = Add(Z0, m1);
    const TComplex s2 = Add(s1, m2);
    const TComplex s4 = Sub(s1, m2);
    z[0] = Z0;
    z[1] = Add(s2, s3);
    z[2] = Add(s4, s5);
    z[3] = Sub(s4, s5);
    z[4] = Sub(s2, s3);
}

void Kernel8(TComplex* z) {
    TComplex a[4] = {z[0], z[2], z[4], z[6]};
    TComplex b[4] = {z[1], z[3], z[5], z[7]};
    Kernel4(a);
    Kernel4(b);
    const float b1sum = b[1].re + b[1].im;
    const float b1dif = b[1].im - b[1].re;
    b[1] = {R8 * b1sum, R8 * b1dif};
    b[2] = {b[2].im, -b[2].re};
    const float b3dif = b[3].im - b[3].re;
    const float b3sum = b[3].re + b[3].im;
    b[3] = {R8 * b3dif, -(R8 * b3sum)};
    for (int k = 0; k < 4; ++k) {
        z[k] = Add(a[k], b[k]);
        z[k + 4] = Sub(a[k], b[k]);
    }
}

void Kernel10(TComplex* z) {
    TComplex a[5] = {z[0], z[2], z[4], z[6], z[8]};
    TComplex b[5] = {z[5], z[7], z[9], z[1], z[3]};
    Kernel5(a);
    Kernel5(b);
    z[0] = Add(a[0], b[0]);
    z[5] = Sub(a[0], b[0]);
    z[6] = Add(a[1], b[1]);
    z[1] = Sub(a[1], b[1]);
    z[2] = Add(a[2], b[2]);
    z[7] = Sub(a[2], b[2]);
    z[8] = Add(a[3], b[3]);
    z[3] = Sub(a[3], b[3]);
    z[4] = Add(a[4], b[4]);
    z[9] = Sub(a[4], b[4]);
}

TFFTEngine::TFFTEngine()
    : root_(cMaxPrimeFactor),
      z_(cMaxPrimeFactor),
      twiddle_(cMaxPrimeFactor),
      sum_(cMaxPrimeFactorHalf),
      dif_(cMaxPrimeFactorHalf) {}

void TFFTEngine::OddPrimeKernel(TComplex* z, int32_t p) {
    const int32_t h = (p + 1) / 2;
    TComplex* sum = sum_.data();
    TComplex* dif = dif_.data();
    const TComplex* root = root_.data();
    for (int32_t j = 1; j < h; ++j) {
        sum[j] = {z[j].re + z[p - j].re, z[j].im - z[p - j].im};
        dif[j] = {z[j].re - z[p - j].re, z[j].im + z[p - j].im};
    }
    const TComplex z0 = z[0];
    for (int32_t j = 1; j < h; ++j) {
        TComplex lo = z0;  // becomes z[j]
        TComplex hi = z0;  // becomes z[p-j]
        int32_t k = j;
        for (int32_t i = 1; i < h; ++i) {
            const float a = root[k].re * sum[i].re;
            const float b = root[k].im * sum[i].im;
            const float c = root[k].re * dif[i].im;
            const float d = root[k].im * dif[i].re;
            const float apb = a + b, cmd = c - d, amb = a - b, cpd = c + d;
            hi.re = hi.re + apb;
            hi.im = hi.im + cmd;
            lo.re = lo.re + amb;
            lo.im = lo.im + cpd;
            k += j;
            if (k >= p) k -= p;
        }
        z[j] = lo;
        z[p - j] = hi;
    }
    for (int32_t j = 1; j < h; ++j) {
        z[0].re = z[0].re + sum[j].re;
        z[0].im = z[0].im + dif[j].im;
    }
}

void TFFTEngine::RadixPass(TComplex* y, int32_t s, int32_t r, int32_t q) {
    TComplex* root = root_.data();
    TComplex* twiddle = twiddle_.data();
    TComplex* z = z_.data();

    const double theta = 2.0 * std::numbers::pi / double(r);
    root[0] = {1.0f, 0.0f};
    if (r > 1) root[1] = {float(std::cos(theta)), float(-std::sin(theta))};
    for (int32_t t = 2; t < r; ++t) root[t] = ComplexMul(root[1], root[t - 1]);

    const double omega = 2.0 * std::numbers::pi / (double(s) * double(r));
    const TComplex w = {float(std::cos(omega)), float(-std::sin(omega))};
    TComplex tw = {1.0f, 0.0f};

    for (int32_t d = 0; d < s; ++d) {
        if (s > 1) {
            twiddle[0] = {1.0f, 0.0f};
            if (r > 1) twiddle[1] = tw;
            for (int32_t t = 2; t < r; ++t) twiddle[t] = ComplexMul(tw, twiddle[t - 1]);
            tw = ComplexMul(w, tw);
        }
        const bool rotate = s > 1 && d > 0;
        for (int32_t g = 0; g < q; ++g) {
            TComplex* base = y + d + size_t(g) * size_t(s) * size_t(r);
            for (int32_t t = 0; t < r; ++t) z[t] = base[size_t(t) * size_t(s)];
            if (rotate)
                for (int32_t t = 1; t < r; ++t) z[t] = ComplexMul(twiddle[t], z[t]);
            switch (r) {
            case 2: Kernel2(z); break;
            case 3: Kernel3(z); break;
            case 4: Kernel4(z); break;
            case 5: Kernel5(z); break;
            case 8: Kernel8(z); break;
            case 10: Kernel10(z); break;
            default: OddPrimeKernel(z, r); break;
            }
            for (int32_t t = 0; t < r; ++t) base[size_t(t) * size_t(s)] = z[t];
        }
    }
}

void TFFTEngine::Permute(const TComplex* input, TComplex* output, int32_t n,
                         const std::vector<int32_t>& factors, const int32_t* rest) {
    const int m = int(factors.size());
    int32_t digit[cMaxFactorCount + 1] = {};
    int32_t k = 0;
    for (int32_t i = 0; i < n - 1; ++i) {
        output[i] = input[k];
        k += rest[1];
        ++digit[1];
        for (int j = 1; j <= m && digit[j] >= factors[j - 1]; ++j) {
            digit[j] = 0;
            k = k - rest[j - 1] + (j + 1 <= m ? rest[j + 1] : 0);
            if (j + 1 <= m) ++digit[j + 1];
        }
    }
    output[n - 1] = input[n - 1];
}

void TFFTEngine::Forward(const TComplex* input, TComplex* output, int32_t n) {
    if (n <= 0) return;
    const std::vector<int32_t> factors = FactorizeLength(n);
    if (factors.front() > cMaxPrimeFactor) throw EMathError(kFFTLengthErrorMessage);
    const int m = int(factors.size());

    int32_t span[cMaxFactorCount + 1];
    int32_t rest[cMaxFactorCount + 2];
    rest[0] = n;
    span[1] = 1;
    for (int j = 1; j <= m; ++j) {
        rest[j] = rest[j - 1] / factors[j - 1];
        if (j > 1) span[j] = span[j - 1] * factors[j - 2];
    }
    rest[m + 1] = 0;

    if (input == output) {
        temp_.resize(size_t(n));
        Permute(input, temp_.data(), n, factors, rest);
        std::copy(temp_.begin(), temp_.begin() + n, output);
    } else {
        Permute(input, output, n, factors, rest);
    }
    for (int j = 1; j <= m; ++j) RadixPass(output, span[j], factors[j - 1], rest[j]);
}

void TFFTEngine::Inverse(const TComplex* input, TComplex* output, int32_t n) {
    if (n <= 0) return;
    conj_.resize(size_t(n));
    for (int32_t k = 0; k < n; ++k) conj_[k] = {input[k].re, -input[k].im};
    Forward(conj_.data(), output, n);
    const float s = float(1.0 / double(n));
    for (int32_t k = 0; k < n; ++k) {
        output[k].re = s * output[k].re;
        output[k].im = -(s * output[k].im);
    }
}

namespace {
TFFTEngine& ThreadEngine() {
    thread_local TFFTEngine engine;
    return engine;
}
}  // namespace

void ForwardFFT(const TComplex* input, TComplex* output, int32_t n) {
    ThreadEngine().Forward(input, output, n);
}

void InverseFFT(const TComplex* input, TComplex* output, int32_t n) {
    ThreadEngine().Inverse(input, output, n);
}
