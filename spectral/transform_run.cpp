#include "spectral/transform_run.h"

#include "spectral/memory_budget.h"
#include "spectral/store_fill.h"

#include <new>

bool PlanesHoldBitmap(const TSpectrumStore& store, const TBitmap24& bitmap) {
    if (bitmap.Width != store.Cols || bitmap.Height != store.Rows) return false;
    for (int32_t r = 0; r < store.Rows; ++r) {
        const uint8_t* px = bitmap.Row(r);
        const size_t base = size_t(r) * size_t(store.Cols);
        for (int p = 0; p < 3; ++p) {
            const float* row = store.Planes[p].data() + base;
            for (int32_t c = 0; c < store.Cols; ++c)
                if (row[c] != float(px[size_t(c) * 3 + size_t(p)]) - 127.0f) return false;
        }
    }
    return true;
}

TTransformOutcome RunCancellableTransform(TSpectrumStore& store, TTransformDirection direction,
                                          const TBitmap24* source, IProgress& progress,
                                          const TTransformOptions& options,
                                          const TTransformEngine& engine) {
    const auto transform = [&](const TTransformOptions& o) {
        return engine ? engine(store, direction, source, progress, o)
                      : TransformStore(store, direction, source, progress, o);
    };
    TTransformOutcome run;
    if (!options.Cancel) {
        run.Result = transform(options);
        return run;
    }
    const bool refill = source && PlanesHoldBitmap(store, *source);
    TTransformOptions o = options;
    o.KeepPlanes = !refill;
    try {
        try {
            run.Result = transform(o);
        } catch (const std::exception& e) {
            // Keeping the planes needs memory the machine does not have; they
            // are untouched, so the run can start again in place.
            const bool memory =
                dynamic_cast<const EMemoryBudget*>(&e) || dynamic_cast<const std::bad_alloc*>(&e);
            if (!o.KeepPlanes || !memory) throw;
            if (options.Cancel->load()) throw ETransformCancelled();
            progress.CannotCancel();
            o.KeepPlanes = false;
            o.Cancel = nullptr;
            run.Result = transform(o);
        }
    } catch (const ETransformCancelled&) {
        if (refill)
            for (int32_t r = 0; r < source->Height; ++r) FillStoreRow(source->Row(r), r, store);
        run.Cancelled = true;
    }
    return run;
}
