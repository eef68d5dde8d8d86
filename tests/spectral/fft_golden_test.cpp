// Golden digests: a hash of every output bit of the FFT and of the image
// transform on fixed inputs, computed once and stored below. The other tests
// compare one path with another (lanes with the scalar engine, the threaded
// transform with the one-row-at-a-time one), which a change made to every
// path alike would pass; these pin the bits themselves, on every path.
//
// The inputs come from a generator written here, not from a standard
// library distribution, so that they are the same with every library. When
// a digest differs, the test prints the table row it computed; a row may only
// be replaced when a change of results is intended.
#include "spectral/fft.h"
#include "spectral/fft_lanes.h"
#include "spectral/transform.h"
#include "tests/support/reference_transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

// FNV-1a over the bytes of the values, least significant byte first. Every
// NaN counts as the same value: which NaN an operation on two NaNs (or on an
// infinity and a NaN) returns depends on the order the compiler put its
// operands in, which differs between the paths; every other bit counts.
class TDigest {
public:
    void Add(uint32_t bits) {
        for (int i = 0; i < 4; ++i) {
            hash_ ^= (bits >> (8 * i)) & 0xffu;
            hash_ *= 0x100000001b3ull;
        }
    }
    void Add(float v) { Add(std::isnan(v) ? 0x7fc00000u : FloatBits(v)); }
    void Add(double v) {
        uint64_t u;
        std::memcpy(&u, &v, sizeof u);
        Add(uint32_t(u));
        Add(uint32_t(u >> 32));
    }
    void Add(const float* v, size_t count) {
        for (size_t i = 0; i < count; ++i) Add(v[i]);
    }
    uint64_t Value() const { return hash_; }

private:
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

const std::map<std::string, uint64_t> kGolden = {
    {"fft 1 forward", 0xcf46a7e83de2cadbull},
    {"fft 1 inverse", 0xcf46a7e83de2cadbull},
    {"fft 2 forward", 0x40905df78fea42c7ull},
    {"fft 2 inverse", 0xb929aa445705294bull},
    {"fft 3 forward", 0x96001711ea80b546ull},
    {"fft 3 inverse", 0x5aaa4d5135d52e94ull},
    {"fft 5 forward", 0xf7352f7e7d7a20e2ull},
    {"fft 5 inverse", 0x181669edab613a59ull},
    {"fft 8 forward", 0xf4caf76d025b7302ull},
    {"fft 8 inverse", 0xc284811bf51aef34ull},
    {"fft 10 forward", 0x36690d84e7f0f73dull},
    {"fft 10 inverse", 0xd19ea59b5d918fddull},
    {"fft 49 forward", 0x9f0d94742d81af11ull},
    {"fft 49 inverse", 0xa51144b75f1a0cacull},
    {"fft 97 forward", 0x6de09424d9ad4315ull},
    {"fft 97 inverse", 0x77b1c4376046b980ull},
    {"fft 389 forward", 0xfefda6c9f39918daull},
    {"fft 389 inverse", 0x7103e55f5a7750c4ull},
    {"fft 1999 forward", 0xa960bb92dd6c8226ull},
    {"fft 1999 inverse", 0x9381abcaa85fac30ull},
    {"fft 4999 forward", 0xc9dab7702bbcf072ull},
    {"fft 4999 inverse", 0xa45de910b02b986full},
    {"fft 20007 forward", 0xfa8d413276b5a5a1ull},
    {"fft 20007 inverse", 0x1faaf169878e09fdull},
    {"mirrored 1 forward", 0xf26e227f91d006e0ull},
    {"mirrored 1 inverse", 0xf26e227f91d006e0ull},
    {"mirrored 2 forward", 0x28db74f5cdc540dbull},
    {"mirrored 2 inverse", 0xdfa5a6f675263cd8ull},
    {"mirrored 3 forward", 0x4374d456e3a39c10ull},
    {"mirrored 3 inverse", 0x1d4b0f84fb1b38f1ull},
    {"mirrored 25 forward", 0x0e970f26d1a0368bull},
    {"mirrored 25 inverse", 0x479dd10a69435fe6ull},
    {"mirrored 49 forward", 0xca3105506bcffe8cull},
    {"mirrored 49 inverse", 0xc04139be9fb02791ull},
    {"mirrored 195 forward", 0xeb010039d7919473ull},
    {"mirrored 195 inverse", 0x0c923768c9e03449ull},
    {"mirrored 1000 forward", 0x064a079428cd7e77ull},
    {"mirrored 1000 inverse", 0x4cb12433c7d0c30eull},
    {"mirrored 2500 forward", 0x97429de7d200c0fdull},
    {"mirrored 2500 inverse", 0x9aed822d06dd709full},
    {"mirrored 10004 forward", 0x010dafbed4200584ull},
    {"mirrored 10004 inverse", 0x8020270886c859e5ull},
    {"image 1x1 forward", 0xbfcda982ed4daa71ull},
    {"image 1x1 from bitmap", 0xce7ef53710843a0full},
    {"image 1x1 inverse", 0xbfcda982ed4daa71ull},
    {"image 2x1 forward", 0xf689ad810521f1d1ull},
    {"image 2x1 from bitmap", 0x79dc6ca166c29453ull},
    {"image 2x1 inverse", 0x54d9d85064d7a16cull},
    {"image 1x3 forward", 0x81cb397d7c06f68full},
    {"image 1x3 from bitmap", 0xea8adfc423a25753ull},
    {"image 1x3 inverse", 0x65b2ac5c38606681ull},
    {"image 8x8 forward", 0x9e52f1bf1b918b7aull},
    {"image 8x8 from bitmap", 0xb47b43ec9f948524ull},
    {"image 8x8 inverse", 0xa7e598613ae8a04aull},
    {"image 17x9 forward", 0xeac0f22b57ba7b09ull},
    {"image 17x9 from bitmap", 0xfe7c8d81ee940db9ull},
    {"image 17x9 inverse", 0xad9359af8f9d484bull},
    {"image 25x49 forward", 0x296db2269540cc6dull},
    {"image 25x49 from bitmap", 0x452dcd8e3f6be7efull},
    {"image 25x49 inverse", 0x59f9f93cbbc1a3f7ull},
    {"image 64x48 forward", 0x55a0e1178481d50eull},
    {"image 64x48 from bitmap", 0x7842baeef86c3f39ull},
    {"image 64x48 inverse", 0xbb6a95890b5fa10full},
    {"image 195x33 forward", 0x2d0e149c7bd2c315ull},
    {"image 195x33 from bitmap", 0x8383b324e53789e6ull},
    {"image 195x33 inverse", 0x7036e21925fbda66ull},
    {"image 250x190 forward", 0x5151d4716a13d0fbull},
    {"image 250x190 from bitmap", 0x05c6d4ccd1f4c443ull},
    {"image 250x190 inverse", 0x0c96065d7878b21cull},
    {"image 9x6 special forward", 0x7561e414dcdaa379ull},
    {"image 9x6 special inverse", 0x7fbc4af9c5545885ull},
    {"image 40x27 special forward", 0xe79182e9ae0e240dull},
    {"image 40x27 special inverse", 0xe7927c72603c9199ull},
};

void ExpectGolden(const std::string& name, const std::string& path, uint64_t got) {
    const auto it = kGolden.find(name);
    if (it == kGolden.end() || it->second != got) {
        ADD_FAILURE() << path << ": " << name << " has no golden digest or a different one";
        std::printf("    {\"%s\", 0x%016llxull},\n", name.c_str(),
                    static_cast<unsigned long long>(got));
    }
}

// xorshift32: values of mixed signs, magnitudes below 128 and full 24-bit
// mantissas, the same on every machine.
class TValues {
public:
    explicit TValues(uint32_t seed) : state_(seed * 2654435761u + 0x9e3779b9u) {
        if (state_ == 0) state_ = 1;
    }
    float Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return float(int32_t(state_ >> 8) - (1 << 23)) * (1.0f / 65536.0f);
    }

private:
    uint32_t state_;
};

// The sequences of every batch: 0 to 5 carry the values that break naive
// shortcuts (NaN, infinities, signed zeros, overflow), the rest are plain.
constexpr int kSequences = 16;

void SpecialValues(int sequence, float* x, int32_t n) {
    const float inf = std::numeric_limits<float>::infinity();
    switch (sequence) {
    case 0:
        x[n / 3] = std::numeric_limits<float>::quiet_NaN();
        break;
    case 1:
        x[n / 2] = inf;
        break;
    case 2:
        x[0] = -inf;
        x[n - 1] = inf;
        break;
    case 3:
        for (int32_t k = 0; k < n; ++k) x[k] = (k * 7) % 3 == 0 ? -0.0f : 0.0f;
        break;
    case 4:
        for (int32_t k = 0; k < n; k += 5) x[k] = -0.0f;
        break;
    case 5:
        for (int32_t k = 0; k < n; k += 2) x[k] = k % 4 == 0 ? 3e38f : -3e38f;
        break;
    default:
        break;
    }
}

std::vector<float> Sequence(int sequence, int32_t n, uint32_t seed) {
    TValues values(seed * 131u + uint32_t(sequence));
    std::vector<float> x(static_cast<size_t>(n));
    for (float& v : x) v = values.Next();
    SpecialValues(sequence, x.data(), n);
    return x;
}

std::vector<TLaneSet> SupportedLaneSets() {
    std::vector<TLaneSet> sets;
    for (TLaneSet s : {TLaneSet::Scalar, TLaneSet::SSE2, TLaneSet::AVX2, TLaneSet::AVX512})
        if (LaneSetSupported(s)) sets.push_back(s);
    return sets;
}

// The transform lengths: every written-out radix, squares and powers of the
// general kernel, long primes, and a length with many stages (20007 = 3^4 * 13 * 19).
const int32_t kLengths[] = {1, 2, 3, 5, 8, 10, 49, 97, 389, 1999, 4999, 20007};

std::string Name(const char* what, int32_t n, bool inverse) {
    return std::string(what) + " " + std::to_string(n) + (inverse ? " inverse" : " forward");
}

} // namespace

// The complex FFT of 16 sequences of each length, re and im drawn alike.
TEST(GoldenDigests, ComplexFFT) {
    const auto sets = SupportedLaneSets();
    for (int32_t n : kLengths) {
        std::vector<std::vector<TComplex>> in(kSequences);
        for (int s = 0; s < kSequences; ++s) {
            const auto re = Sequence(s, n, uint32_t(n));
            const auto im = Sequence(s, n, uint32_t(n) + 7777u);
            for (int32_t k = 0; k < n; ++k) in[size_t(s)].push_back({re[size_t(k)], im[size_t(k)]});
        }
        for (bool inverse : {false, true}) {
            TDigest scalar;
            std::vector<TComplex> out(static_cast<size_t>(n));
            for (const auto& x : in) {
                if (inverse)
                    InverseFFT(x.data(), out.data(), n);
                else
                    ForwardFFT(x.data(), out.data(), n);
                for (const TComplex& v : out) {
                    scalar.Add(v.re);
                    scalar.Add(v.im);
                }
            }
            ExpectGolden(Name("fft", n, inverse), "scalar", scalar.Value());
        }

        const auto plan = TFFTPlan::Complex(n);
        for (TLaneSet set : sets) {
            const auto lanes = MakeFFTLanes(set);
            const int W = lanes->Lanes();
            std::vector<float> xre(size_t(n) * W), xim(xre.size()), yre(xre.size()),
                yim(xre.size());
            for (bool inverse : {false, true}) {
                TDigest digest;
                for (int s0 = 0; s0 < kSequences; s0 += W) {
                    // Lanes past the last sequence get the first one again
                    // and are not hashed.
                    for (int l = 0; l < W; ++l)
                        for (int32_t k = 0; k < n; ++k) {
                            const auto& x = in[size_t((s0 + l) % kSequences)];
                            xre[size_t(k) * W + l] = x[size_t(k)].re;
                            xim[size_t(k) * W + l] = x[size_t(k)].im;
                        }
                    lanes->ComplexTransform(plan->View(), inverse, xre.data(), xim.data(),
                                            yre.data(), yim.data());
                    for (int l = 0; l < W && s0 + l < kSequences; ++l)
                        for (int32_t k = 0; k < n; ++k) {
                            digest.Add(yre[size_t(k) * W + l]);
                            digest.Add(yim[size_t(k) * W + l]);
                        }
                }
                ExpectGolden(Name("fft", n, inverse), LaneSetName(set), digest.Value());
            }
        }
    }
}

// The mirrored real transform of 16 sequences of each length L whose
// transform length 2L - 1 is one of the odd lengths above.
TEST(GoldenDigests, MirroredRealTransform) {
    const auto sets = SupportedLaneSets();
    for (int32_t n : kLengths) {
        if (n % 2 == 0) continue;
        const int32_t L = (n + 1) / 2;
        std::vector<std::vector<float>> in;
        for (int s = 0; s < kSequences; ++s) in.push_back(Sequence(s, L, uint32_t(L) + 99u));
        const TFFTPlan plan(L);
        for (bool inverse : {false, true}) {
            const auto direction =
                inverse ? TTransformDirection::Inverse : TTransformDirection::Forward;
            TDigest scalar;
            std::vector<TComplex> a(size_t(2) * L), b(size_t(2) * L);
            std::vector<float> y(static_cast<size_t>(L));
            for (const auto& x : in) {
                RealTransform1D(x.data(), y.data(), L, direction, a.data(), b.data());
                scalar.Add(y.data(), y.size());
            }
            ExpectGolden(Name("mirrored", L, inverse), "scalar", scalar.Value());

            for (TLaneSet set : sets) {
                const auto lanes = MakeFFTLanes(set);
                const int W = lanes->Lanes();
                std::vector<float> xl(size_t(L) * W), yl(xl.size());
                TDigest digest;
                for (int s0 = 0; s0 < kSequences; s0 += W) {
                    for (int l = 0; l < W; ++l)
                        for (int32_t k = 0; k < L; ++k)
                            xl[size_t(k) * W + l] = in[size_t((s0 + l) % kSequences)][size_t(k)];
                    lanes->RealTransform(plan.View(), inverse, xl.data(), yl.data());
                    for (int l = 0; l < W && s0 + l < kSequences; ++l)
                        for (int32_t k = 0; k < L; ++k) digest.Add(yl[size_t(k) * W + l]);
                }
                ExpectGolden(Name("mirrored", L, inverse), LaneSetName(set), digest.Value());
            }
        }
    }
}

namespace {

struct TImageCase {
    int32_t w, h;
    bool special; // NaN in plane 0, an infinity in plane 1, signed zeros in plane 2
};

TSpectrumStore ImageInput(const TImageCase& c, uint32_t seed) {
    TSpectrumStore s;
    s.Resize(c.w, c.h);
    for (int p = 0; p < 3; ++p) {
        TValues values(seed + uint32_t(p));
        for (float& v : s.Planes[p]) v = values.Next();
    }
    if (c.special) {
        const size_t cells = s.CellCount();
        s.Planes[0][cells / 2] = std::numeric_limits<float>::quiet_NaN();
        s.Planes[1][cells / 3] = -std::numeric_limits<float>::infinity();
        for (size_t i = 0; i < cells; i += 3) s.Planes[2][i] = i % 2 ? -0.0f : 0.0f;
    }
    return s;
}

uint64_t StoreDigest(const TSpectrumStore& s, const TTransformResult& result) {
    TDigest d;
    for (const tdline* a : {&s.Planes[0], &s.Planes[1], &s.Planes[2], &s.WorkPlane})
        d.Add(a->data(), a->size());
    d.Add(result.Maximum);
    d.Add(uint32_t(result.ContrastPreset));
    return d.Value();
}

// Forward from the store, forward from a bitmap and inverse, on the scalar
// reference and on every lane set with one and two threads.
void CheckImage(const TImageCase& c) {
    const std::string size =
        std::to_string(c.w) + "x" + std::to_string(c.h) + (c.special ? " special" : "");
    const TSpectrumStore input = ImageInput(c, uint32_t(c.w * 1000 + c.h));
    const TBitmap24 bitmap = RandomBitmap(c.w, c.h, uint32_t(c.w + c.h));
    struct TRun {
        const char* what;
        TTransformDirection direction;
        const TBitmap24* source;
    };
    const TRun runs[] = {{"forward", TTransformDirection::Forward, nullptr},
                         {"from bitmap", TTransformDirection::Forward, &bitmap},
                         {"inverse", TTransformDirection::Inverse, nullptr}};
    TNoProgress none;
    for (const TRun& run : runs) {
        if (run.source && c.special) continue;
        const std::string name = "image " + size + " " + run.what;
        TSpectrumStore s = input;
        const TTransformResult ref = TransformStoreReference(s, run.direction, run.source, none);
        ExpectGolden(name, "reference", StoreDigest(s, ref));
        for (TLaneSet set : SupportedLaneSets())
            for (int threads : {1, 2}) {
                TSpectrumStore f = input;
                const TTransformResult got = TransformStore(f, run.direction, run.source, none,
                                                            TTransformOptions{threads, set});
                ExpectGolden(name,
                             std::string(LaneSetName(set)) + ", " + std::to_string(threads) +
                                 " threads",
                             StoreDigest(f, got));
            }
    }
}

} // namespace

TEST(GoldenDigests, ImageTransform) {
    // 25 x 49 and 195 x 33 give the lengths 49, 97, 389 and 65; 250 x 190
    // the primes 499 and 379.
    const TImageCase cases[] = {{1, 1, false},   {2, 1, false},    {1, 3, false},
                                {8, 8, false},   {17, 9, false},   {25, 49, false},
                                {64, 48, false}, {195, 33, false}, {250, 190, false},
                                {9, 6, true},    {40, 27, true}};
    for (const TImageCase& c : cases) CheckImage(c);
}
