#pragma once
// A checked allocation's hold on the process: while a grant lives, no other
// thread can pass a memory check, so the check and the allocation it allows
// are one step. Jobs running side by side then each see what the others have
// already taken, and together stay within the budget (spectral/memory_budget.h).

#include <mutex>
#include <utility>

class TMemoryGrant {
public:
    TMemoryGrant() = default;
    explicit TMemoryGrant(std::unique_lock<std::mutex> hold) : hold_(std::move(hold)) {}

private:
    std::unique_lock<std::mutex> hold_;
};
