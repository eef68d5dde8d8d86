// The image transform: a block of rows (columns) in the lanes of SIMD
// registers, each lane transformed by the same float operations as one row
// (column) alone, and the blocks shared among threads.
//
// Why the result cannot depend on the thread count or the lane width: every
// row and column is transformed by the same float operations whatever lane
// or thread it lands in, each writes only its own cells, and the running
// maximum is a maximum, which does not depend on the order it is taken in.

#include "spectral/transform.h"

#include "spectral/errors.h"
#include "spectral/fft.h"
#include "spectral/fft_lanes.h"
#include "spectral/memory_budget.h"
#include "spectral/thread_team.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

int32_t ContrastPresetFor(double maximum) {
    const double position = -2.0 * std::trunc(std::log(maximum));
    return int32_t(std::clamp(position, double(kContrastMin), double(kContrastMax)));
}

namespace {

const char* const kRowKeys[3] = {"Red1", "Green1", "Blue1"};
const char* const kColumnKeys[3] = {"Red2", "Green2", "Blue2"};

// Lane engines left over from earlier runs. Each holds about 5 MB of
// address space (mostly never touched), which is not worth giving back and
// taking again for every image of a batch.
class TEngineCache {
public:
    std::unique_ptr<IFFTLanes> Take(TLaneSet set) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            auto& list = free_[Index(set)];
            if (!list.empty()) {
                std::unique_ptr<IFFTLanes> engine = std::move(list.back());
                list.pop_back();
                return engine;
            }
        }
        return MakeFFTLanes(set);
    }

    void Give(TLaneSet set, std::unique_ptr<IFFTLanes> engine) {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto& list = free_[Index(set)];
        if (engine && int(list.size()) < 2 * AvailableProcessors())
            list.push_back(std::move(engine));
    }

private:
    static size_t Index(TLaneSet set) { return size_t(set); }
    std::mutex mutex_;
    std::vector<std::unique_ptr<IFFTLanes>> free_[size_t(TLaneSet::AVX512) + 1];
};

TEngineCache& Engines() {
    static TEngineCache cache;
    return cache;
}

// What one thread keeps across the passes of a run.
struct alignas(64) TWorker {
    std::unique_ptr<IFFTLanes> lanes;
    std::vector<float> x, y; // lane-major input and output of one block
    float maximum = 1.0f;    // running maximum of the blocks this thread did
};

class TFastTransform {
public:
    TFastTransform(TSpectrumStore& store, TTransformDirection direction, const TBitmap24* source,
                   IProgress& progress, const TTransformOptions& options)
        : store_(store), progress_(progress), W_(store.Cols), H_(store.Rows),
          inverse_(direction == TTransformDirection::Inverse),
          source_(direction == TTransformDirection::Forward ? source : nullptr),
          laneSet_(LaneSetSupported(options.Lanes) ? ResolveLaneSet(options.Lanes)
                                                   : ResolveLaneSet(TLaneSet::Auto)),
          lanes_(LaneCount(laneSet_)), threads_(ResolveThreadCount(options.Threads)),
          zeroBelow_(options.ZeroBelow), fast_(options.Fast), keep_(options.KeepPlanes),
          cancel_(options.Cancel), width_(fast_ ? 2 * lanes_ : lanes_) {
        for (int p = 0; p < 3; ++p) {
            rowOut_[p] = &store.WorkPlane;
            columnOut_[p] = &store.Planes[p];
        }
    }

    ~TFastTransform() {
        for (TWorker& w : workers_) Engines().Give(laneSet_, std::move(w.lanes));
    }

    TTransformResult Run() {
        // Everything a thread needs is allocated before any plane is touched,
        // so that running out of memory cannot leave a plane half transformed.
        // The fast transform has no length error, so its plans come first.
        if (fast_) {
            fastRowPlan_ = std::make_unique<TFastPlan>(W_);
            fastColumnPlan_ = std::make_unique<TFastPlan>(H_);
        }
        if (keep_) {
            // Planes 1 and 2 get scratch planes of their own; every column
            // pass writes its results over the row pass's in place.
            const size_t cells = size_t(W_) * size_t(H_);
            RequireMemory(2 * cells * sizeof(float), "the planes kept while transforming");
            for (int i = 0; i < 2; ++i) {
                extra_[i].assign(cells, 0.0f);
                rowOut_[i + 1] = &extra_[i];
            }
            for (int p = 0; p < 3; ++p) columnOut_[p] = rowOut_[p];
        }
        const int32_t blocks = (std::max(W_, H_) + width_ - 1) / width_;
        workers_.resize(size_t(std::min<int32_t>(threads_, blocks)));
        for (TWorker& w : workers_) Prepare(w);

        const auto rowPlan = [&] {
            if (!fast_ && !rowPlan_) rowPlan_ = std::make_unique<TFFTPlan>(W_);
        };
        const auto columnPlan = [&] {
            if (!fast_ && !columnPlan_) columnPlan_ = std::make_unique<TFFTPlan>(H_);
        };
        for (int p = 0; p < 3; ++p) {
            progress_.Phase(kRowKeys[p]);
            RunPass(
                H_, [&](int32_t r) { return double(r) / double(H_) * 50.0 / 3.0 + p * 33.3; },
                rowPlan, [&](int32_t block, TWorker& w) { RowBlock(p, block, w); });
            progress_.Phase(kColumnKeys[p]);
            RunPass(
                W_,
                [&](int32_t c) { return (double(c) / double(W_) * 50.0 + 50.0) / 3.0 + p * 33.3; },
                columnPlan, [&](int32_t block, TWorker& w) { ColumnBlock(p, block, w); });
        }
        if (keep_) {
            // The originals go to the scratch plane and the extra planes,
            // which are given back with this object.
            store_.Planes[0].swap(store_.WorkPlane);
            store_.Planes[1].swap(extra_[0]);
            store_.Planes[2].swap(extra_[1]);
        }
        double m = 1.0;
        for (const TWorker& w : workers_) m = std::max(m, double(w.maximum));
        TTransformResult result;
        result.Maximum = m;
        result.ContrastPreset = ContrastPresetFor(m);
        return result;
    }

private:
    // One pass over `count` rows or columns, each a sequence of `length`
    // samples. The percentage of every hundredth item is reported from the
    // calling thread as that item is started, and all of them before the
    // pass returns, so the host sees the reports of a one-row-at-a-time
    // transform in their order. The plan is made after the first report,
    // where that transform meets the length error at its first row or column.
    template <class PercentOf, class MakePlan, class Block>
    void RunPass(int32_t count, PercentOf percentOf, MakePlan makePlan, Block block) {
        int32_t reported = 0; // the next item whose percentage is due
        const auto reportUpTo = [&](int32_t item) {
            for (; reported <= item && reported < count; reported += 100)
                progress_.Percent(percentOf(reported));
        };
        reportUpTo(0);
        if (cancel_ && cancel_->load(std::memory_order_relaxed)) throw ETransformCancelled();
        makePlan();

        const int32_t blocks = (count + width_ - 1) / width_;
        std::atomic<int32_t> next{0};
        std::atomic<bool> failed{false};
        const int team = std::min<int32_t>(int32_t(workers_.size()), blocks);
        RunOnThreads(team, [&](int worker) {
            TWorker& w = workers_[size_t(worker)];
            try {
                for (;;) {
                    if (failed.load(std::memory_order_relaxed)) return;
                    if (cancel_ && cancel_->load(std::memory_order_relaxed))
                        throw ETransformCancelled();
                    const int32_t b = next.fetch_add(1, std::memory_order_relaxed);
                    if (b >= blocks) return;
                    if (worker == 0) reportUpTo(std::min(count, (b + 1) * width_) - 1);
                    block(b, w);
                }
            } catch (...) {
                failed = true;
                throw;
            }
        });
        reportUpTo(count - 1);
        // The pass's last reports may come after its last block, from this
        // thread; a cancel that follows them still stops the run.
        if (cancel_ && cancel_->load(std::memory_order_relaxed)) throw ETransformCancelled();
    }

    void Prepare(TWorker& w) {
        w.lanes = Engines().Take(laneSet_);
        if (fast_) {
            w.lanes->ReserveFast(fastRowPlan_->View());
            w.lanes->ReserveFast(fastColumnPlan_->View());
        } else {
            w.lanes->Reserve(2 * std::max(W_, H_) - 1);
        }
        const size_t size = size_t(width_) * size_t(std::max(W_, H_));
        w.x.assign(size, 0.0f);
        w.y.assign(size, 0.0f);
    }

    void Transform(TWorker& w, const TFFTPlan* plan, const TFastPlan* fastPlan) {
        if (fast_)
            w.lanes->FastRealTransform(fastPlan->View(), inverse_, w.x.data(), w.y.data());
        else
            w.lanes->RealTransform(plan->View(), inverse_, w.x.data(), w.y.data());
    }

    // Rows r0 .. r0+n-1 into the lanes; lanes past the last row hold zeros and
    // are transformed but never stored.
    void RowBlock(int p, int32_t block, TWorker& w) {
        const int32_t r0 = block * width_;
        const int32_t n = std::min(width_, H_ - r0);
        float* x = w.x.data();
        for (int32_t l = 0; l < width_; ++l) {
            if (l >= n) {
                for (int32_t c = 0; c < W_; ++c) x[size_t(c) * width_ + l] = 0.0f;
            } else if (source_) {
                const uint8_t* px = source_->Row(r0 + l);
                for (int32_t c = 0; c < W_; ++c)
                    x[size_t(c) * width_ + l] = float(px[size_t(c) * 3 + size_t(p)]) - 127.0f;
            } else {
                const float* row = store_.Planes[p].data() + size_t(r0 + l) * size_t(W_);
                for (int32_t c = 0; c < W_; ++c) x[size_t(c) * width_ + l] = row[c];
            }
        }
        Transform(w, rowPlan_.get(), fastRowPlan_.get());
        const float* y = w.y.data();
        for (int32_t l = 0; l < n; ++l) {
            float* out = rowOut_[p]->data() + size_t(r0 + l) * size_t(W_);
            for (int32_t c = 0; c < W_; ++c) out[c] = y[size_t(c) * width_ + l];
        }
    }

    // Columns c0 .. c0+n-1 into the lanes. Adjacent columns are adjacent in
    // memory, so each row of the block is one short copy. The whole block is
    // read before any of it is written, so the results may go back into the
    // plane they came from.
    void ColumnBlock(int p, int32_t block, TWorker& w) {
        const int32_t c0 = block * width_;
        const int32_t n = std::min(width_, W_ - c0);
        float* x = w.x.data();
        const float* work = rowOut_[p]->data();
        for (int32_t r = 0; r < H_; ++r) {
            float* dst = x + size_t(r) * width_;
            std::memcpy(dst, work + size_t(r) * size_t(W_) + size_t(c0), size_t(n) * sizeof(float));
            for (int32_t l = n; l < width_; ++l) dst[l] = 0.0f;
        }
        Transform(w, columnPlan_.get(), fastColumnPlan_.get());
        const float* y = w.y.data();
        float* plane = columnOut_[p]->data();
        float m = w.maximum;
        for (int32_t k = 0; k < H_; ++k) {
            float* out = plane + size_t(k) * size_t(W_) + size_t(c0);
            const float* v = y + size_t(k) * width_;
            for (int32_t l = 0; l < n; ++l) {
                out[l] = std::fabs(double(v[l])) < zeroBelow_ ? 0.0f : v[l];
                if (v[l] > m && k > 0 && c0 + l > 0) m = v[l];
            }
        }
        w.maximum = m;
    }

    TSpectrumStore& store_;
    IProgress& progress_;
    const int32_t W_, H_;
    const bool inverse_;
    const TBitmap24* source_;
    const TLaneSet laneSet_;
    const int32_t lanes_;
    const int threads_;
    const double zeroBelow_;
    const bool fast_;
    const bool keep_;
    const std::atomic<bool>* const cancel_;
    const int32_t width_; // sequences per block: twice the lanes in the fast transform
    std::vector<TWorker> workers_;
    std::unique_ptr<TFFTPlan> rowPlan_, columnPlan_;
    std::unique_ptr<TFastPlan> fastRowPlan_, fastColumnPlan_;
    // Where plane p's row pass writes and its column pass writes: the
    // scratch plane and the plane itself, or with KeepPlanes one scratch
    // plane per plane for both.
    tdline* rowOut_[3];
    tdline* columnOut_[3];
    tdline extra_[2];
};

} // namespace

TTransformResult TransformStore(TSpectrumStore& store, TTransformDirection direction,
                                const TBitmap24* source, IProgress& progress,
                                const TTransformOptions& options) {
    if (store.Cols <= 0 || store.Rows <= 0) return {};
    try {
        return TFastTransform(store, direction, source, progress, options).Run();
    } catch (const EMathError& e) {
        // The FFT knows only a length; say which side of the image it is.
        if (e.Message().Id != TMessageId::FFTLength) throw;
        throw EMathError(TransformLengthError(store.Cols, store.Rows));
    }
}

TTransformResult TransformStore(TSpectrumStore& store, TTransformDirection direction,
                                const TBitmap24* source, IProgress& progress) {
    return TransformStore(store, direction, source, progress, TTransformOptions{});
}

namespace {
// The largest prime factor of the transform length 2 n - 1.
int32_t LargestFactorFor(int32_t n) {
    return FactorizeLength(2 * n - 1).front();
}
} // namespace

TMessage TransformLengthError(int32_t cols, int32_t rows) {
    std::string detail;
    for (const bool wide : {true, false}) {
        const int32_t n = wide ? cols : rows;
        if (n <= 0 || n > (INT32_MAX >> 1) || LargestFactorFor(n) <= cMaxPrimeFactor) continue;
        int32_t fits = n - 1;
        while (fits > 1 && LargestFactorFor(fits) > cMaxPrimeFactor) --fits;
        detail += std::string(detail.empty() ? "" : " The image is ") + std::to_string(n) +
                  " pixels " + (wide ? "wide" : "high") + ": its transform length " +
                  std::to_string(2 * int64_t(n) - 1) + " has the prime factor " +
                  std::to_string(LargestFactorFor(n)) + ", above the " +
                  std::to_string(cMaxPrimeFactor) + " the FFT takes. The largest " +
                  (wide ? "width" : "height") + " below it that works is " + std::to_string(fits) +
                  " pixels; crop the image to it.";
    }
    if (detail.empty()) return TMessage{TMessageId::TransformLengthUnknown, {}, nullptr};
    return TMessage{TMessageId::TransformLength, {detail}, nullptr};
}

std::string TransformLengthMessage(int32_t cols, int32_t rows) {
    return GermanText(TransformLengthError(cols, rows));
}

namespace {
double LengthWork(int32_t n) {
    if (n <= 1) return 0;
    double sum = 0;
    for (const int32_t f : FactorizeLength(n)) sum += f;
    return double(n) * sum;
}
} // namespace

double ExactTransformWork(int32_t cols, int32_t rows) {
    if (cols <= 0 || rows <= 0) return 0;
    return 3.0 *
           (double(rows) * LengthWork(2 * cols - 1) + double(cols) * LengthWork(2 * rows - 1));
}

std::string FactorisationText(int32_t n) {
    std::vector<int32_t> factors = n > 1 ? FactorizeLength(n) : std::vector<int32_t>{};
    std::sort(factors.begin(), factors.end());
    std::string text = std::to_string(n) + " =";
    for (size_t i = 0; i < factors.size(); ++i)
        text += (i == 0 ? " " : " \u00b7 ") + std::to_string(factors[i]);
    return factors.size() == 1 ? std::to_string(n) + " (a prime)" : text;
}
