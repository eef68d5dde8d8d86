#pragma once
// Runs fn(first, last) over consecutive blocks of 0..count-1 on the
// machine's cores. Every index is handled exactly once and by one thread, so
// results are the same for any number of threads as long as fn writes only
// the rows it is given.

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

template <class Fn> void ParallelRows(int32_t count, Fn&& fn) {
    const int32_t threads = std::clamp<int32_t>(int32_t(std::thread::hardware_concurrency()), 1,
                                                std::max<int32_t>(1, count / 16));
    if (threads <= 1) {
        fn(int32_t(0), count);
        return;
    }
    std::vector<std::thread> pool;
    for (int32_t t = 0; t < threads; ++t) {
        const int32_t first = int32_t(int64_t(count) * t / threads),
                      last = int32_t(int64_t(count) * (t + 1) / threads);
        pool.emplace_back([&fn, first, last] { fn(first, last); });
    }
    for (auto& th : pool)
        th.join();
}
