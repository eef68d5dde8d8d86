#pragma once
// The memory budget: before a bitmap, a store or a resized spectrum is
// allocated, its size is compared with the memory the machine has available
// (and with a limit the user may set, such as the command-line tool's
// --max-memory). A file or filter that asks for more is refused with an error
// naming both figures, instead of the program grinding through swap or being
// killed. Small requests are not checked; they cost nothing worth asking
// about.

#include "spectral/errors.h"
#include "spectral/memory_grant.h"

#include <cstdint>
#include <string>

// A request beyond the budget.
class EMemoryBudget : public Exception {
public:
    EMemoryBudget(const std::string& what, uint64_t needed, uint64_t available, bool limitSet);
    // A request within the limit by itself that, beside what this run already
    // holds, would go beyond it.
    static EMemoryBudget Beside(const std::string& what, uint64_t needed, uint64_t held,
                                uint64_t limit);
    uint64_t Needed;
    uint64_t Available;

private:
    EMemoryBudget(const TMessage& message, uint64_t needed, uint64_t available);
};

// The memory available for new allocations in bytes: what the system reports
// as available (MemAvailable), lowered to the limit when one is set.
uint64_t AvailableMemory();

// A limit in bytes for this process (0: none, the default). It bounds what
// the process takes from the moment it is set, over all its threads: every
// checked request is counted beside the memory the process already holds.
void SetMemoryLimit(uint64_t bytes);
uint64_t MemoryLimit();

// Throws EMemoryBudget when `bytes` (requested for `what`, e.g. "a bitmap of
// 800 x 600 pixels") exceed what is available. Requests below 64 MB pass
// unless a limit is set.
void RequireMemory(uint64_t bytes, const std::string& what);
// The same check, held until the caller has made the allocation it allows
// (see spectral/memory_grant.h); `reused` bytes of the request are memory the
// process holds already and reuses for it.
[[nodiscard]] TMemoryGrant GrantMemory(uint64_t bytes, const std::string& what,
                                       uint64_t reused = 0);

// "123 MB", "4.3 GB": a byte count as a person reads it, rounded up (with
// `extraDecimals` more decimals than usual when asked).
std::string MemoryText(uint64_t bytes, int extraDecimals = 0);

// Reads "500M", "2G", "1.5G", "800000000" (bytes; K, M, G, T in powers of
// 1024). Returns 0 for a text that is none of these.
uint64_t ParseMemorySize(const std::string& text);
