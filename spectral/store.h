#pragma once
// The spectrum store: the current image as numbers, either pixel bytes minus
// 127 (spatial domain) or real spectral coefficients with the constant term at
// (0, 0) (frequency domain). The store does not know which; the caller's
// command state does.

#include "spectral/memory_grant.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using tdline = std::vector<float>;

// Throws EMemoryBudget when the memory for a store of this size is not
// available (spectral/memory_budget.h).
void RequireStoreMemory(int32_t cols, int32_t rows);
// The same check, held until the caller has allocated; `reused` bytes of the
// store are already held by the process and are not counted twice.
[[nodiscard]] TMemoryGrant GrantStoreMemory(int32_t cols, int32_t rows, uint64_t reused);

struct TSpectrumStore {
    tdline WorkPlane; // scratch: the row pass writes it, the column pass reads it
    tdline Planes[3]; // plane p holds byte p of every pixel: blue, green, red
    int32_t Rows = 0; // H
    int32_t Cols = 0; // W

    // Cell (c, r) of plane p.
    float& At(int p, int c, int r) { return Planes[p][size_t(r) * size_t(Cols) + size_t(c)]; }
    float At(int p, int c, int r) const { return Planes[p][size_t(r) * size_t(Cols) + size_t(c)]; }

    bool Empty() const { return Rows <= 0 || Cols <= 0; }
    size_t CellCount() const { return size_t(Rows) * size_t(Cols); }

    // Gives all four arrays W x H elements (contents of new cells are zero).
    // Throws EMemoryBudget, before changing anything, when they do not fit.
    void Resize(int32_t cols, int32_t rows) {
        const size_t n = size_t(cols) * size_t(rows);
        // An array that keeps its buffer costs nothing new; one that grows
        // holds its old buffer and its new one for a moment.
        uint64_t reused = 0;
        for (const tdline* a : {&WorkPlane, &Planes[0], &Planes[1], &Planes[2]})
            if (a->capacity() >= n) reused += uint64_t(n) * sizeof(float);
        const TMemoryGrant grant = GrantStoreMemory(cols, rows, reused);
        Cols = cols;
        Rows = rows;
        WorkPlane.assign(n, 0.0f);
        for (auto& p : Planes) p.assign(n, 0.0f);
    }
};
