#pragma once
// Runs fn(first, last) over consecutive blocks of 0..count-1 on the
// processors this process may use. Every index is handled exactly once and by
// one thread, so results are the same for any number of threads as long as fn
// writes only the rows it is given.

#include "spectral/thread_team.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

template <class Fn>
void ParallelRows(int32_t count, Fn&& fn) {
    const int32_t blocks =
        std::clamp<int32_t>(AvailableProcessors(), 1, std::max<int32_t>(1, count / 16));
    // Blocks are claimed from a counter, so all are done even if fewer
    // threads than asked for could be started.
    std::atomic<int32_t> next{0};
    RunOnThreads(blocks, [&](int) {
        for (int32_t b; (b = next.fetch_add(1)) < blocks;)
            fn(int32_t(int64_t(count) * b / blocks), int32_t(int64_t(count) * (b + 1) / blocks));
    });
}
