#pragma once
// Complex numbers of two single-precision floats.
//
// Precision rule for the whole spectral engine: every value it stores is a
// float, and every single +, -, * and / is rounded to float before the next
// operation uses it. Expressions below are written so that each operation is
// a separate float operation; the build disables contraction into fused
// multiply-add, so the compiler keeps them that way.

struct TComplex {
    float re = 0.0f;
    float im = 0.0f;
};

inline TComplex MakeComplex(float re, float im) {
    return TComplex{re, im};
}

inline TComplex ComplexAdd(TComplex a, TComplex b) {
    return {a.re + b.re, a.im + b.im};
}

inline TComplex ComplexSub(TComplex a, TComplex b) {
    return {a.re - b.re, a.im - b.im};
}

inline TComplex ComplexMul(TComplex a, TComplex b) {
    const float rr = a.re * b.re;
    const float ii = a.im * b.im;
    const float ir = a.im * b.re;
    const float ri = a.re * b.im;
    return {rr - ii, ir + ri};
}

inline TComplex ComplexScale(TComplex a, float s) {
    return {s * a.re, s * a.im};
}
