#pragma once
// The FFT, written once for any register type: the kernels, the radix passes
// and the mirrored fill. Each instruction set's file defines its register
// type V in an anonymous namespace and instantiates TLaneEngine<V>; plain
// floats (one lane) are the scalar engine. The instantiations therefore stay
// private to files compiled for that instruction set. This code must not call
// inline library functions on types of other files (containers of ints,
// algorithms): the linker could otherwise pick a copy compiled for a wider
// instruction set for the whole program. Templates instantiated on V's own
// types are private to the file like V itself.
//
// V provides: V::kLanes, V::Load(const float*), V::Store(float*, V),
// V::Splat(float), the operators + - * and unary -, each one IEEE float
// operation per lane (no fused multiply-add, no reassociation; unary minus
// flips the sign bit), so every lane performs the operations below in their
// order and rounds each result to float.

#include "spectral/fft.h"
#include "spectral/fft_lanes.h"

#include <cstddef>
#include <cstdint>
#include <memory>

template <class V>
class TLaneEngine final : public IFFTLanes {
public:
    static constexpr int kLanes = V::kLanes;

    // The working arrays are left uninitialised: pages that a transform
    // never reaches (most of them, for small factors) are never touched.
    TLaneEngine()
        : zArray_(new LC[cMaxPrimeFactor]), sumArray_(new LC[cMaxPrimeFactorHalf]),
          difArray_(new LC[cMaxPrimeFactorHalf]), sumReArray_(new V[cMaxPrimeFactorHalf]),
          rootReArray_(new float[cMaxPrimeFactor]), z_(zArray_.get()), sum_(sumArray_.get()),
          dif_(difArray_.get()), sumRe_(sumReArray_.get()), rootRe_(rootReArray_.get()) {}

    TLaneEngine(const TLaneEngine&) = delete;
    TLaneEngine& operator=(const TLaneEngine&) = delete;

    int Lanes() const override { return kLanes; }

    void RealTransform(const TFFTPlan::TView& plan, bool inverse, const float* x,
                       float* y) override {
        const int32_t n = plan.n;
        Reserve(n);
        LC* b = data_;
        // The mirrored fill and the digit-reversed permutation are one copy.
        // The inverse conjugates its real input: the imaginary parts become -0.
        const V im = V::Splat(inverse ? -0.0f : 0.0f);
        for (int32_t i = 0; i < n; ++i) {
            b[i].re = V::Load(x + ptrdiff_t(plan.source[i]) * kLanes);
            b[i].im = im;
        }
        Passes(plan, b, true, inverse);
        if (inverse) {
            const V scale = V::Splat(plan.inverseScale);
            for (int32_t k = 0; k < plan.L; ++k)
                V::Store(y + ptrdiff_t(k) * kLanes, scale * b[k].re);
        } else {
            for (int32_t k = 0; k < plan.L; ++k) V::Store(y + ptrdiff_t(k) * kLanes, b[k].re);
        }
    }

    void ComplexTransform(const TFFTPlan::TView& plan, bool inverse, const float* xre,
                          const float* xim, float* yre, float* yim) override {
        const int32_t n = plan.n;
        Reserve(n);
        LC* b = data_;
        // The inverse transforms the conjugate (negation only flips the sign
        // bit), then conjugates and scales the result.
        for (int32_t i = 0; i < n; ++i) {
            const ptrdiff_t at = ptrdiff_t(plan.source[i]) * kLanes;
            b[i].re = V::Load(xre + at);
            b[i].im = inverse ? -V::Load(xim + at) : V::Load(xim + at);
        }
        Passes(plan, b, false, inverse);
        if (inverse) {
            const V scale = V::Splat(plan.inverseScale);
            for (int32_t k = 0; k < n; ++k) {
                V::Store(yre + ptrdiff_t(k) * kLanes, scale * b[k].re);
                V::Store(yim + ptrdiff_t(k) * kLanes, -(scale * b[k].im));
            }
        } else {
            for (int32_t k = 0; k < n; ++k) {
                V::Store(yre + ptrdiff_t(k) * kLanes, b[k].re);
                V::Store(yim + ptrdiff_t(k) * kLanes, b[k].im);
            }
        }
    }

    void FastRealTransform(const TFastPlan::TView& plan, bool inverse, const float* x,
                           float* y) override {
        constexpr ptrdiff_t K = kLanes, W = 2 * kLanes;
        const TFFTPlan::TView& inner = *plan.inner;
        const int32_t L = plan.L, n = plan.n;
        ReserveFast(plan);
        LC* b = data_;
        if (plan.exact) {
            // Each half as the exact transform does it.
            const V im = V::Splat(inverse ? -0.0f : 0.0f);
            const V scale = V::Splat(plan.inverseScale);
            for (ptrdiff_t half = 0; half < W; half += K) {
                for (int32_t i = 0; i < n; ++i)
                    b[i] = {V::Load(x + ptrdiff_t(inner.source[i]) * W + half), im};
                Passes(inner, b, true, inverse);
                for (int32_t k = 0; k < L; ++k)
                    V::Store(y + ptrdiff_t(k) * W + half, inverse ? scale * b[k].re : b[k].re);
            }
            return;
        }
        const auto load = [&](int32_t s) {
            const float* at = x + ptrdiff_t(s < L ? s : n - s) * W; // mirrored
            return LC{V::Load(at), V::Load(at + K)};
        };
        if (!plan.chirp) {
            for (int32_t i = 0; i < n; ++i) b[i] = load(inner.source[i]);
            Passes(inner, b, false, false);
        } else {
            // The chirped input, its FFT times the chirp's spectrum, and the
            // inverse FFT of that as the conjugate of the forward FFT of the
            // conjugate (the 1/m is in the spectrum).
            const int32_t m = inner.n;
            const V zero = V::Splat(0.0f);
            for (int32_t i = 0; i < m; ++i) {
                const int32_t s = inner.source[i];
                b[i] = s < n ? Mul(plan.chirp[s], load(s)) : LC{zero, zero};
            }
            Passes(inner, b, false, false);
            LC* c = second_;
            for (int32_t i = 0; i < m; ++i) {
                const int32_t s = inner.source[i];
                const LC v = Mul(plan.spectrum[s], b[s]);
                c[i] = {v.re, -v.im};
            }
            Passes(inner, c, false, false);
            for (int32_t k = 0; k < L; ++k) b[k] = Mul(plan.chirp[k], LC{c[k].re, -c[k].im});
        }
        if (inverse) {
            // A mirrored sequence's spectrum is real and even, so its inverse
            // is its forward transform divided by n.
            const V scale = V::Splat(plan.inverseScale);
            for (int32_t k = 0; k < L; ++k) {
                V::Store(y + ptrdiff_t(k) * W, scale * b[k].re);
                V::Store(y + ptrdiff_t(k) * W + K, scale * b[k].im);
            }
        } else {
            for (int32_t k = 0; k < L; ++k) {
                V::Store(y + ptrdiff_t(k) * W, b[k].re);
                V::Store(y + ptrdiff_t(k) * W + K, b[k].im);
            }
        }
    }

    void ReserveFast(const TFastPlan::TView& plan) override {
        const int32_t m = plan.inner->n;
        Reserve(m);
        if (!plan.chirp || m <= secondCapacity_) return;
        secondArray_.reset();
        secondCapacity_ = 0;
        secondArray_.reset(new LC[size_t(m)]);
        second_ = secondArray_.get();
        secondCapacity_ = m;
    }

private:
    struct LC {
        V re, im;
    };

    // What a pass knows about its input: nothing, or that every imaginary
    // part is +0 (or every one -0).
    enum class TPassInput { Complex, RealPlusZero, RealMinusZero };

    static LC Add(LC a, LC b) { return {a.re + b.re, a.im + b.im}; }
    static LC Sub(LC a, LC b) { return {a.re - b.re, a.im - b.im}; }
    static LC Scale(LC a, float s) {
        const V vs = V::Splat(s);
        return {vs * a.re, vs * a.im};
    }
    // ComplexMul(a, b) with a shared by all lanes.
    static LC Mul(TComplex a, LC b) {
        const V are = V::Splat(a.re), aim = V::Splat(a.im);
        const V rr = are * b.re;
        const V ii = aim * b.im;
        const V ir = aim * b.re;
        const V ri = are * b.im;
        return {rr - ii, ir + ri};
    }

    // A mirrored transform (of odd length) has real input, so its first pass
    // sees imaginary parts that are all +0 (all -0 in the inverse), and only
    // the real parts of outputs 0 .. (n-1)/2 of its last pass are used.
    void Passes(const TFFTPlan::TView& plan, LC* b, bool mirrored, bool inverse) {
        for (int32_t j = 0; j < plan.stages; ++j) {
            const int32_t s = plan.span[j];
            TPassInput input = TPassInput::Complex;
            if (mirrored && j == 0)
                input = inverse ? TPassInput::RealMinusZero : TPassInput::RealPlusZero;
            RadixPass(b, s, plan.factors[j], plan.rest[j], plan.roots + plan.rootOffset[j],
                      s > 1 ? plan.twiddles + plan.twiddleOffset[j] : nullptr, plan.realZeros,
                      input, mirrored && j == plan.stages - 1);
        }
    }

    void Reserve(int32_t n) override {
        if (n <= capacity_) return;
        dataArray_.reset();
        data_ = nullptr;
        capacity_ = 0;
        dataArray_.reset(new LC[size_t(n)]);
        data_ = dataArray_.get();
        capacity_ = n;
    }

    static void Kernel2(LC* z) {
        const LC z0 = z[0], z1 = z[1];
        z[0] = Add(z0, z1);
        z[1] = Sub(z0, z1);
    }

    static void Kernel3(LC* z) {
        const LC t1 = Add(z[1], z[2]);
        const LC Z0 = Add(z[0], t1);
        const LC m1 = Scale(t1, R3A);
        const LC m2 = Scale({z[1].im - z[2].im, z[2].re - z[1].re}, R3B);
        const LC s1 = Add(Z0, m1);
        z[0] = Z0;
        z[1] = Add(s1, m2);
        z[2] = Sub(s1, m2);
    }

    static void Kernel4(LC* z) {
        const LC t1 = Add(z[0], z[2]);
        const LC t2 = Add(z[1], z[3]);
        const LC m2 = Sub(z[0], z[2]);
        const LC m3 = {z[1].im - z[3].im, z[3].re - z[1].re};
        z[0] = Add(t1, t2);
        z[2] = Sub(t1, t2);
        z[1] = Add(m2, m3);
        z[3] = Sub(m2, m3);
    }

    static void Kernel5(LC* z) {
        const LC t1 = Add(z[1], z[4]);
        const LC t2 = Add(z[2], z[3]);
        const LC t3 = Sub(z[1], z[4]);
        const LC t4 = Sub(z[3], z[2]);
        const LC t5 = Add(t1, t2);
        const LC Z0 = Add(z[0], t5);
        const LC m1 = Scale(t5, R5A);
        const LC m2 = Scale(Sub(t1, t2), R5B);
        const V s34im = t3.im + t4.im;
        const V s34re = t3.re + t4.re;
        const V c = V::Splat(R5C), dd = V::Splat(R5D), e = V::Splat(R5E);
        const LC m3 = {-(c * s34im), c * s34re};
        const LC m4 = {-(dd * t4.im), dd * t4.re};
        const LC m5 = {-(e * t3.im), e * t3.re};
        const LC s3 = Sub(m3, m4);
        const LC s5 = Add(m3, m5);
        const LC s1 = Add(Z0, m1);
        const LC s2 = Add(s1, m2);
        const LC s4 = Sub(s1, m2);
        z[0] = Z0;
        z[1] = Add(s2, s3);
        z[2] = Add(s4, s5);
        z[3] = Sub(s4, s5);
        z[4] = Sub(s2, s3);
    }

    static void Kernel8(LC* z) {
        LC a[4] = {z[0], z[2], z[4], z[6]};
        LC b[4] = {z[1], z[3], z[5], z[7]};
        Kernel4(a);
        Kernel4(b);
        const V r8 = V::Splat(R8);
        const V b1sum = b[1].re + b[1].im;
        const V b1dif = b[1].im - b[1].re;
        b[1] = {r8 * b1sum, r8 * b1dif};
        b[2] = {b[2].im, -b[2].re};
        const V b3dif = b[3].im - b[3].re;
        const V b3sum = b[3].re + b[3].im;
        b[3] = {r8 * b3dif, -(r8 * b3sum)};
        for (int k = 0; k < 4; ++k) {
            z[k] = Add(a[k], b[k]);
            z[k + 4] = Sub(a[k], b[k]);
        }
    }

    static void Kernel10(LC* z) {
        LC a[5] = {z[0], z[2], z[4], z[6], z[8]};
        LC b[5] = {z[5], z[7], z[9], z[1], z[3]};
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

    // The general kernel for any odd size p (and 1): with sum[i] and dif[i]
    // the symmetric and antisymmetric parts of z[i] and z[p-i], z[j] and
    // z[p-j] start at z[0] and add, for i = 1, 2, ..., h-1 in this order, the
    // products of root[i*j mod p] with sum[i] and dif[i]; z[0] adds the sums
    // last. Its variants below compute the same values with fewer operations
    // where the input allows; they share the loops that visit the outputs.
    void OddPrimeKernel(LC* z, int32_t p, const TComplex* root) {
        const int32_t h = (p + 1) / 2;
        LC* sum = sum_;
        LC* dif = dif_;
        for (int32_t j = 1; j < h; ++j) {
            sum[j] = {z[j].re + z[p - j].re, z[j].im - z[p - j].im};
            dif[j] = {z[j].re - z[p - j].re, z[j].im + z[p - j].im};
        }
        const LC z0 = z[0];
        EachOutputPair(z, p, z0, [&](LC& lo, LC& hi, int32_t k, int32_t i) {
            const V rre = V::Splat(root[k].re), rim = V::Splat(root[k].im);
            AddTerms(lo, hi, rre * sum[i].re, rim * sum[i].im, rre * dif[i].im, rim * dif[i].re);
        });
        LC acc = z0;
        for (int32_t jj = 1; jj < h; ++jj) {
            acc.re = acc.re + sum[jj].re;
            acc.im = acc.im + dif[jj].im;
        }
        z[0] = acc;
    }

    // The step of the general kernel's accumulators z[j] (lo) and z[p-j] (hi)
    // with the products a = root.re * sum.re, b = root.im * sum.im,
    // c = root.re * dif.im and d = root.im * dif.re of one term.
    static void AddTerms(LC& lo, LC& hi, V a, V b, V c, V d) {
        hi.re = hi.re + (a + b);
        hi.im = hi.im + (c - d);
        lo.re = lo.re + (a - b);
        lo.im = lo.im + (c + d);
    }

    // The next root index of an output: k = i*j mod p for the next i.
    static void NextRoot(int32_t& k, int32_t j, int32_t p) {
        k += j;
        if (k >= p) k -= p;
    }

    // The output pairs (z[j], z[p-j]), j = 1 .. h-1, of the general kernel:
    // each starts at z0 and takes its terms i = 1, 2, ..., h-1 in this order
    // from add(lo, hi, k, i), k = i*j mod p. Two pairs are accumulated side
    // by side: they share the loads of the term's operands and give the
    // processor independent chains, while each accumulator still adds its
    // terms in order.
    template <class Add>
    static void EachOutputPair(LC* z, int32_t p, LC z0, Add add) {
        const int32_t h = (p + 1) / 2;
        int32_t j = 1;
        for (; j + 1 < h; j += 2) {
            LC lo1 = z0, hi1 = z0, lo2 = z0, hi2 = z0;
            int32_t k1 = j, k2 = j + 1;
            for (int32_t i = 1; i < h; ++i) {
                add(lo1, hi1, k1, i);
                add(lo2, hi2, k2, i);
                NextRoot(k1, j, p);
                NextRoot(k2, j + 1, p);
            }
            z[j] = lo1;
            z[p - j] = hi1;
            z[j + 1] = lo2;
            z[p - j - 1] = hi2;
        }
        for (; j < h; ++j) {
            LC lo = z0, hi = z0;
            int32_t k = j;
            for (int32_t i = 1; i < h; ++i) {
                add(lo, hi, k, i);
                NextRoot(k, j, p);
            }
            z[j] = lo;
            z[p - j] = hi;
        }
    }

    // The real parts of the outputs z[1 .. h-1] alone, kWidth of them side by
    // side to share the loads of the terms' operands: each starts at z0 and
    // adds term(k, i) for i = 1, 2, ..., h-1 in this order, k = i*j mod p.
    template <int kWidth, class Term>
    static void EachRealOutput(LC* z, int32_t p, V z0, Term term) {
        const int32_t h = (p + 1) / 2;
        int32_t j = 1;
        for (; j + kWidth - 1 < h; j += kWidth) {
            V lo[kWidth];
            int32_t k[kWidth];
#pragma GCC unroll 16
            for (int m = 0; m < kWidth; ++m) {
                lo[m] = z0;
                k[m] = j + m;
            }
            for (int32_t i = 1; i < h; ++i) {
#pragma GCC unroll 16
                for (int m = 0; m < kWidth; ++m) lo[m] = lo[m] + term(k[m], i);
#pragma GCC unroll 16
                for (int m = 0; m < kWidth; ++m) NextRoot(k[m], j + m, p);
            }
#pragma GCC unroll 16
            for (int m = 0; m < kWidth; ++m) z[j + m].re = lo[m];
        }
        for (; j < h; ++j) {
            V lo = z0;
            int32_t k = j;
            for (int32_t i = 1; i < h; ++i) {
                lo = lo + term(k, i);
                NextRoot(k, j, p);
            }
            z[j].re = lo;
        }
    }

    // In the general kernel of the last pass of a mirrored transform only the
    // real parts of z[0 .. h-1] can reach a kept output: output d + t*s of
    // that pass is kept when it is below L = (n+1)/2, and with n = s*r, r odd,
    // that means t <= (r-1)/2. Those real parts are computed by exactly the
    // full kernel's operations (per term the products a and b and the
    // difference a - b that it adds to z[j].re, in the same order); only
    // results nobody reads are skipped.
    void OddPrimeKernelRealHalf(LC* z, int32_t p, const TComplex* root) {
        const int32_t h = (p + 1) / 2;
        LC* sum = sum_;
        for (int32_t j = 1; j < h; ++j) sum[j] = {z[j].re + z[p - j].re, z[j].im - z[p - j].im};
        const V z0 = z[0].re;
        EachRealOutput<4>(z, p, z0, [&](int32_t k, int32_t i) {
            return V::Splat(root[k].re) * sum[i].re - V::Splat(root[k].im) * sum[i].im;
        });
        V acc = z0;
        for (int32_t jj = 1; jj < h; ++jj) acc = acc + sum[jj].re;
        z[0].re = acc;
    }

    // The general kernel on real input, where every imaginary part is the same
    // zero (+0, or -0 when kMinusZero): sum[i].im is then +0 and dif[i].im
    // that zero, so the products b = root.im * sum.im and c = root.re * dif.im
    // are signed zeros that depend on the roots alone. The plan holds them
    // (zeros[k], the products of root[k] with +0; c with -0 is its negation).
    // The kernel adds exactly the values the full kernel adds, in its order;
    // it only skips the multiplications whose results are known.
    //
    // When the accumulators end the same without the zeros (NoMinusZero,
    // FirstDifferenceTermsNonZero), the terms a + b and a - b become a,
    // c - d becomes -d and c + d becomes d, which differ at most by the sign
    // of a zero; hi.im + (-d) is hi.im - d by definition.
    template <bool kMinusZero>
    void OddPrimeKernelOfReal(LC* z, int32_t p, const TComplex* root, const TComplex* zeros) {
        const int32_t h = (p + 1) / 2;
        LC* part = sum_; // re: the real part of sum[i], im: that of dif[i]
        for (int32_t j = 1; j < h; ++j) part[j] = {z[j].re + z[p - j].re, z[j].re - z[p - j].re};
        const LC z0 = z[0];
        if (NoMinusZero(z0.re) &&
            (kMinusZero ? FirstDifferenceTermsNonZero(part, h, root) : NoMinusZero(z0.im))) {
            EachOutputPair(z, p, z0, [&](LC& lo, LC& hi, int32_t k, int32_t i) {
                const V a = V::Splat(root[k].re) * part[i].re;
                const V d = V::Splat(root[k].im) * part[i].im;
                hi.re = hi.re + a;
                lo.re = lo.re + a;
                hi.im = hi.im - d;
                lo.im = lo.im + d;
            });
        } else {
            EachOutputPair(z, p, z0, [&](LC& lo, LC& hi, int32_t k, int32_t i) {
                const float c = kMinusZero ? -zeros[k].re : zeros[k].re;
                AddTerms(lo, hi, V::Splat(root[k].re) * part[i].re, V::Splat(zeros[k].im),
                         V::Splat(c), V::Splat(root[k].im) * part[i].im);
            });
        }
        const V difIm = V::Splat(kMinusZero ? -0.0f : 0.0f);
        LC acc = z0;
        for (int32_t jj = 1; jj < h; ++jj) {
            acc.re = acc.re + part[jj].re;
            acc.im = acc.im + difIm;
        }
        z[0] = acc;
    }

    // In the inverse the imaginary accumulators start at -0. Their first terms
    // root[j].im * dif[1].re (j = 1 .. h-1) are not zero when no dif[1].re
    // lane is zero or tiny and no such root has a zero imaginary part; after
    // a term that is not zero an accumulator never is -0 again.
    static bool FirstDifferenceTermsNonZero(const LC* part, int32_t h, const TComplex* root) {
        if (h < 2) return false;
        constexpr float kTiny = 0x1p-100f, kSmallRoot = 0x1p-40f; // products above 2^-149
        for (int32_t j = 1; j < h; ++j)
            if (!(root[j].im >= kSmallRoot || root[j].im <= -kSmallRoot)) return false;
        float lanes[kLanes];
        V::Store(lanes, part[1].im);
        for (int l = 0; l < kLanes; ++l)
            if (!(lanes[l] >= kTiny || lanes[l] <= -kTiny)) return false;
        return true;
    }

    // OddPrimeKernelRealHalf on real input (a mirrored transform whose only
    // pass this is): sum[i].im is +0, so b = root.im * sum.im is the signed
    // zero zeros[k].im and only a = root.re * sum.re is multiplied; when
    // z[0].re has no -0 (NoMinusZero) the zero need not be subtracted at all.
    // The sums' real parts and the roots' real parts are each copied into one
    // dense array: every output reads all of them, and packed they stay in
    // the processor's cache instead of bringing in the unused halves.
    void OddPrimeKernelRealHalfOfReal(LC* z, int32_t p, const TComplex* root,
                                      const TComplex* zeros) {
        const int32_t h = (p + 1) / 2;
        V* sum = sumRe_;
        float* cosine = rootRe_;
        for (int32_t j = 1; j < h; ++j) sum[j] = z[j].re + z[p - j].re;
        for (int32_t k = 0; k < p; ++k) cosine[k] = root[k].re;
        const V z0 = z[0].re;
        if (NoMinusZero(z0)) {
            // Eight outputs side by side keep the adds' latency hidden.
            EachRealOutput<8>(z, p, z0,
                              [&](int32_t k, int32_t i) { return V::Splat(cosine[k]) * sum[i]; });
        } else {
            EachRealOutput<4>(z, p, z0, [&](int32_t k, int32_t i) {
                return V::Splat(cosine[k]) * sum[i] - V::Splat(zeros[k].im);
            });
        }
        V acc = z0;
        for (int32_t jj = 1; jj < h; ++jj) acc = acc + sum[jj];
        z[0].re = acc;
    }

    // Whether no lane of v is -0. An accumulator that starts at such a value
    // never becomes -0 (a sum is -0 only when both terms are), and adding a
    // zero of either sign to it gives the same bits. So where a term differs
    // only by the sign of a zero, such as a product a against a - 0 or a + 0
    // (x - 0 and x + 0 differ from x only for x = -0), the accumulator ends
    // bit for bit the same with either term.
    static bool NoMinusZero(V v) {
        float lanes[kLanes];
        V::Store(lanes, v);
        for (int l = 0; l < kLanes; ++l) {
            uint32_t bits;
            __builtin_memcpy(&bits, &lanes[l], sizeof bits);
            if (bits == 0x80000000u) return false;
        }
        return true;
    }

    void RadixPass(LC* y, int32_t s, int32_t r, int32_t q, const TComplex* root,
                   const TComplex* twiddles, const TComplex* zeros, TPassInput input,
                   bool lastOfMirrored) {
        LC* z = z_;
        const ptrdiff_t stride = s;
        for (int32_t d = 0; d < s; ++d) {
            const TComplex* twiddle = twiddles ? twiddles + ptrdiff_t(d) * r : nullptr;
            const bool rotate = s > 1 && d > 0;
            for (int32_t g = 0; g < q; ++g) {
                LC* base = y + d + ptrdiff_t(g) * stride * r;
                z[0] = base[0];
                if (rotate) {
                    for (int32_t t = 1; t < r; ++t) z[t] = Mul(twiddle[t], base[t * stride]);
                } else {
                    for (int32_t t = 1; t < r; ++t) z[t] = base[t * stride];
                }
                switch (r) {
                case 2:
                    Kernel2(z);
                    break;
                case 3:
                    Kernel3(z);
                    break;
                case 4:
                    Kernel4(z);
                    break;
                case 5:
                    Kernel5(z);
                    break;
                case 8:
                    Kernel8(z);
                    break;
                case 10:
                    Kernel10(z);
                    break;
                default:
                    if (lastOfMirrored && r % 2 == 1) {
                        if (input == TPassInput::Complex)
                            OddPrimeKernelRealHalf(z, r, root);
                        else
                            OddPrimeKernelRealHalfOfReal(z, r, root, zeros);
                    } else if (input == TPassInput::RealPlusZero) {
                        OddPrimeKernelOfReal<false>(z, r, root, zeros);
                    } else if (input == TPassInput::RealMinusZero) {
                        OddPrimeKernelOfReal<true>(z, r, root, zeros);
                    } else {
                        OddPrimeKernel(z, r, root);
                    }
                    break;
                }
                for (int32_t t = 0; t < r; ++t) base[t * stride] = z[t];
            }
        }
    }

    std::unique_ptr<LC[]> zArray_, sumArray_, difArray_, dataArray_, secondArray_;
    std::unique_ptr<V[]> sumReArray_;
    std::unique_ptr<float[]> rootReArray_;
    LC* z_;
    LC* sum_;
    LC* dif_;
    V* sumRe_;
    float* rootRe_;
    LC* data_ = nullptr;
    LC* second_ = nullptr; // the fast transform's second array
    int32_t capacity_ = 0, secondCapacity_ = 0;
};
