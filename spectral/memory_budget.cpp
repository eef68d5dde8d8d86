#include "spectral/memory_budget.h"

#include "spectral/bitmap.h"
#include "spectral/store.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

std::atomic<uint64_t> g_limit{0};
// What the process held when the limit was set: the program itself, which the
// limit does not count.
std::atomic<uint64_t> g_baseline{0};
// Held from a check until the allocation it allowed is made.
std::mutex g_allocating;

constexpr uint64_t kUncheckedBytes = uint64_t(64) << 20;

// MemAvailable from /proc/meminfo, in bytes; the free physical pages where
// that cannot be read.
uint64_t SystemAvailable() {
    if (std::FILE* f = std::fopen("/proc/meminfo", "re")) {
        char line[256];
        unsigned long long kb = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1;
        std::fclose(f);
        if (found) return uint64_t(kb) * 1024;
    }
    const long pages = ::sysconf(_SC_AVPHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && size > 0) return uint64_t(pages) * uint64_t(size);
    return UINT64_MAX; // nothing to go by: let the allocation decide
}

// The process's resident memory in bytes (0 where it cannot be read).
uint64_t Resident() {
    unsigned long long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "re")) {
        if (std::fscanf(f, "%llu %llu", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    const long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? uint64_t(resident) * uint64_t(size) : 0;
}

} // namespace

uint64_t AvailableMemory() {
    const uint64_t system = SystemAvailable();
    const uint64_t limit = g_limit.load();
    return limit != 0 && limit < system ? limit : system;
}

void SetMemoryLimit(uint64_t bytes) {
    g_baseline.store(bytes != 0 ? Resident() : 0);
    g_limit.store(bytes);
}

uint64_t MemoryLimit() {
    return g_limit.load();
}

TMemoryGrant GrantMemory(uint64_t bytes, const std::string& what, uint64_t reused) {
    const uint64_t limit = g_limit.load();
    if (bytes < kUncheckedBytes && limit == 0) return {};
    std::unique_lock<std::mutex> hold(g_allocating);
    const uint64_t system = SystemAvailable();
    const bool limited = limit != 0 && limit < system;
    const uint64_t available = limited ? limit : system;
    if (bytes > available) throw EMemoryBudget(what, bytes, available, limited);
    // The system's figure already counts what every thread has allocated;
    // a limit counts it from what this process has taken since it was set.
    if (limited) {
        const uint64_t resident = Resident(), baseline = g_baseline.load();
        const uint64_t held = resident > baseline ? resident - baseline : 0;
        const uint64_t fresh = bytes > reused ? bytes - reused : 0;
        if (held + fresh > limit) throw EMemoryBudget::Beside(what, fresh, held, limit);
    }
    return TMemoryGrant(std::move(hold));
}

void RequireMemory(uint64_t bytes, const std::string& what) {
    (void)GrantMemory(bytes, what);
}

std::string MemoryText(uint64_t bytes, int extraDecimals) {
    static const char* const units[] = {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};
    double v = double(bytes);
    int unit = 0;
    while (v >= 1024.0 && unit < 6) {
        v /= 1024.0;
        ++unit;
    }
    char text[48];
    if (unit == 0) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
        return text;
    }
    // Rounded up, so that a need is never shown smaller than it is.
    const int decimals = (v < 10.0 ? 1 : 0) + extraDecimals;
    const double scale = std::pow(10.0, decimals);
    const double up = std::ceil(v * scale - 1e-9) / scale;
    std::snprintf(text, sizeof text, "%.*f %s", decimals, up, units[unit]);
    return text;
}

namespace {
// The need and what is there, rounded up, with as many decimals as it takes
// for the two to read differently.
TMessage BudgetMessage(const std::string& what, uint64_t needed, uint64_t available,
                       bool limitSet) {
    std::string need = MemoryText(needed), have = MemoryText(available);
    for (int extra = 1; need == have && extra <= 3; ++extra) {
        need = MemoryText(needed, extra);
        have = MemoryText(available, extra);
    }
    return TMessage{limitSet ? TMessageId::MemoryNeededAllowed : TMessageId::MemoryNeeded,
                    {what, need, have},
                    nullptr};
}
} // namespace

uint64_t ParseMemorySize(const std::string& text) {
    if (text.empty()) return 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    double scale = 1.0;
    if (*end != '\0') {
        const char* const suffixes = "KMGT";
        const char* at = std::strchr(suffixes, *end & ~0x20);
        if (!at || *end == '\0') return 0;
        scale = std::ldexp(1.0, 10 * int(at - suffixes + 1));
        ++end;
        if ((*end & ~0x20) == 'B') ++end;
        if (*end != '\0') return 0;
    }
    const double bytes = v * scale;
    if (!std::isfinite(bytes) || bytes < 1.0 || bytes > 1.8e19) return 0;
    return uint64_t(bytes);
}

TMemoryGrant GrantBitmapMemory(int32_t width, int32_t height, uint32_t bytesPerPixel) {
    if (width <= 0 || height <= 0) return {};
    return GrantMemory(uint64_t(width) * uint64_t(height) * bytesPerPixel,
                       "a bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels");
}

void RequireBitmapMemory(int32_t width, int32_t height, uint32_t bytesPerPixel) {
    (void)GrantBitmapMemory(width, height, bytesPerPixel);
}

TMemoryGrant GrantStoreMemory(int32_t cols, int32_t rows, uint64_t reused) {
    if (cols <= 0 || rows <= 0) return {};
    // Three planes and the work plane of single-precision floats.
    return GrantMemory(
        uint64_t(cols) * uint64_t(rows) * 16,
        "a store of " + std::to_string(cols) + " x " + std::to_string(rows) + " cells", reused);
}

void RequireStoreMemory(int32_t cols, int32_t rows) {
    (void)GrantStoreMemory(cols, rows, 0);
}

EMemoryBudget::EMemoryBudget(const std::string& what, uint64_t needed, uint64_t available,
                             bool limitSet)
    : Exception(BudgetMessage(what, needed, available, limitSet)), Needed(needed),
      Available(available) {}

EMemoryBudget::EMemoryBudget(const TMessage& message, uint64_t needed, uint64_t available)
    : Exception(message), Needed(needed), Available(available) {}

EMemoryBudget EMemoryBudget::Beside(const std::string& what, uint64_t needed, uint64_t held,
                                    uint64_t limit) {
    return EMemoryBudget(TMessage{TMessageId::MemoryNeededBeside,
                                  {what, MemoryText(needed), MemoryText(held), MemoryText(limit)},
                                  nullptr},
                         needed, limit > held ? limit - held : 0);
}
