#pragma once
// A transform that its user may cancel, and what being able to costs. Cancel
// must give the store back as it was. A forward run whose planes hold exactly
// the bitmap it reads gets them back by filling them again from it, which
// costs nothing; every other cancellable run builds its results beside the
// planes (TTransformOptions::KeepPlanes, two planes of memory). When that
// memory is refused the run goes on in place and can no longer be cancelled:
// progress.CannotCancel() says so, and the cancel flag is no longer read.

#include "spectral/bitmap.h"
#include "spectral/progress.h"
#include "spectral/store.h"
#include "spectral/transform.h"

#include <functional>

// The transform itself; TransformStore unless a test puts in its own.
using TTransformEngine = std::function<TTransformResult(
    TSpectrumStore&, TTransformDirection, const TBitmap24*, IProgress&, const TTransformOptions&)>;

struct TTransformOutcome {
    bool Cancelled = false; // the store is as it was before the run
    TTransformResult Result;
};

// Whether the planes hold exactly the bitmap's bytes minus 127, as loading
// leaves them (after an inverse transform they hold unclipped values): then
// filling them again from the bitmap gives them back as they are.
bool PlanesHoldBitmap(const TSpectrumStore& store, const TBitmap24& bitmap);

// Runs TransformStore (or `engine`) with the options; a run without
// options.Cancel is simply that. Errors other than a cancel reach the caller.
TTransformOutcome RunCancellableTransform(TSpectrumStore& store, TTransformDirection direction,
                                          const TBitmap24* source, IProgress& progress,
                                          const TTransformOptions& options,
                                          const TTransformEngine& engine = {});
