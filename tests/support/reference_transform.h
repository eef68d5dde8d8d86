#pragma once
// The image transform one row or column at a time with ForwardFFT and
// InverseFFT on the full mirrored sequence: the reference the lane-parallel,
// threaded TransformStore is checked against bit for bit (tests) and timed
// against (benchmarks).

#include "spectral/complex.h"
#include "spectral/transform.h"

#include <cstdint>

TTransformResult TransformStoreReference(TSpectrumStore& store, TTransformDirection direction,
                                         const TBitmap24* source, IProgress& progress);

// One mirrored real transform of length L: y[k] for k < L from x[0..L-1].
// a and b are scratch buffers of at least 2L elements.
void RealTransform1D(const float* x, float* y, int32_t L, TTransformDirection direction,
                     TComplex* a, TComplex* b);
