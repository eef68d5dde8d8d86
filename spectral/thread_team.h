#pragma once
// Running one piece of work on several threads at once, for the transform's
// blocks of rows and columns. Threads are started per call and joined before
// it returns: the transform's passes are long, and nothing outlives a call.

#include <functional>

// The number of processors this process may run on (at least 1).
int AvailableProcessors();

// More threads than this are never started for one piece of work.
constexpr int kMaxThreads = 256;

// The thread count for a request: 0 (or less) means all available
// processors; other values are used as given, up to kMaxThreads.
int ResolveThreadCount(int requested);

// Calls work(worker) for worker = 0 .. count-1 concurrently: worker 0 on the
// calling thread, the others on threads of their own. Returns when all have
// finished; if any threw, rethrows the first exception caught. Should the
// system refuse to start a thread, fewer workers run: work is to be shared by
// claiming it from a common counter, not by worker number.
void RunOnThreads(int count, const std::function<void(int worker)>& work);
