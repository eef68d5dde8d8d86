// The memory budget: requests beyond the machine's memory or a set limit are
// refused with both figures before anything is allocated or changed.

#include "spectral/memory_budget.h"

#include "spectral/bitmap.h"
#include "spectral/progress.h"
#include "spectral/resize.h"
#include "spectral/store.h"

#include <gtest/gtest.h>

TEST(MemoryBudget, BitmapsStoresAndResizesBeyondTheLimitAreRefused) {
    SetMemoryLimit(100u << 20);
    TSpectrumStore store;
    try {
        store.Resize(4000, 4000);
        FAIL() << "no error";
    } catch (const EMemoryBudget& e) {
        EXPECT_STREQ(
            e.what(),
            "a store of 4000 x 4000 cells needs 245 MB of memory, more than the 100 MB allowed");
    }
    EXPECT_TRUE(store.Empty());
    EXPECT_THROW(TBitmap24(10000, 10000), EMemoryBudget);

    store.Resize(100, 100);
    TNoProgress quiet;
    EXPECT_THROW(ResizeSpectrum(store, 5000, 0, quiet), EMemoryBudget);
    EXPECT_EQ(store.Cols, 100);
    EXPECT_EQ(ResizeSpectrum(store, 200, 0, quiet).Cols, 200);

    // Without a limit, the machine's memory is the bound.
    SetMemoryLimit(0);
    EXPECT_THROW(RequireMemory(uint64_t(1) << 62, "a test"), EMemoryBudget);
    EXPECT_NO_THROW(TBitmap24(1000, 1000));
}

TEST(MemoryBudget, SizesAsWritten) {
    EXPECT_EQ(ParseMemorySize("800M"), uint64_t(800) << 20);
    EXPECT_EQ(ParseMemorySize("2g"), uint64_t(2) << 30);
    EXPECT_EQ(ParseMemorySize("1.5GB"), uint64_t(3) << 29);
    EXPECT_EQ(ParseMemorySize("4096"), 4096u);
    for (const char* bad : {"", "0", "-1G", "lots", "2X", "nanG", "1e30T"})
        EXPECT_EQ(ParseMemorySize(bad), 0u) << bad;
    EXPECT_EQ(MemoryText(uint64_t(3) << 29), "1.5 GB");
}

TEST(MemoryBudget, FiguresAreRoundedUpAndNeverReadAlike) {
    EXPECT_EQ(MemoryText(uint64_t(1117) << 20), "1.1 GB"); // 1.09 GB
    EXPECT_EQ(MemoryText(uint64_t(1) << 30), "1.0 GB");
    EXPECT_EQ(MemoryText(uint64_t(203) << 20 | 1), "204 MB");
    const EMemoryBudget e("a picture", (uint64_t(1) << 30) + (uint64_t(40) << 20),
                          uint64_t(1) << 30, true);
    EXPECT_STREQ(e.what(), "a picture needs 1.1 GB of memory, more than the 1.0 GB allowed");
    const EMemoryBudget close("a picture", (uint64_t(1) << 30) + (uint64_t(40) << 20),
                              (uint64_t(1) << 30) + (uint64_t(30) << 20), true);
    EXPECT_STREQ(close.what(), "a picture needs 1.04 GB of memory, more than the 1.03 GB allowed");
}
