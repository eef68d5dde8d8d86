#include "spectral/thread_team.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include <sched.h>

int AvailableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return count;
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? int(hardware) : 1;
}

int ResolveThreadCount(int requested) {
    if (requested <= 0) return AvailableProcessors();
    return std::min(requested, kMaxThreads);
}

void RunOnThreads(int count, const std::function<void(int worker)>& work) {
    if (count <= 1) {
        work(0);
        return;
    }
    std::mutex mutex;
    std::exception_ptr first;
    const auto guarded = [&](int worker) {
        try {
            work(worker);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex);
            if (!first) first = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(size_t(count) - 1);
    try {
        for (int worker = 1; worker < count; ++worker) threads.emplace_back(guarded, worker);
    } catch (...) {
        // Could not start every thread: the ones started still finish the work.
    }
    guarded(0);
    for (std::thread& t : threads) t.join();
    if (first) std::rethrow_exception(first);
}
