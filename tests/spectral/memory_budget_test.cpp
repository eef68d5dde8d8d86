// The memory budget: requests beyond the machine's memory or a set limit are
// refused with both figures before anything is allocated or changed.

#include "spectral/memory_budget.h"

#include "spectral/bitmap.h"
#include "spectral/progress.h"
#include "spectral/resize.h"
#include "spectral/store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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

TEST(MemoryBudget, ALimitCountsWhatTheProcessAlreadyHolds) {
    SetMemoryLimit(300u << 20);
    TSpectrumStore first, second;
    first.Resize(3000, 3500); // 168 MB, touched and held
    try {
        second.Resize(3000, 3500);
        FAIL() << "no error";
    } catch (const EMemoryBudget& e) {
        EXPECT_NE(std::string(e.what()).find("a store of 3000 x 3500 cells needs 161 MB of memory "
                                             "beside the "),
                  std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("more than the 300 MB allowed"), std::string::npos);
    }
    EXPECT_TRUE(second.Empty());
    // Its own buffers, reused for a smaller size, are not counted again.
    EXPECT_NO_THROW(first.Resize(3500, 2900));
    first = TSpectrumStore{};

    // Jobs side by side: whichever checks second sees the first one's store.
    SetMemoryLimit(300u << 20);
    std::atomic<int> refused{0};
    TSpectrumStore stores[2];
    std::vector<std::thread> jobs;
    for (TSpectrumStore& store : stores)
        jobs.emplace_back([&store, &refused] {
            try {
                store.Resize(3000, 3500);
            } catch (const EMemoryBudget&) {
                ++refused;
            }
        });
    for (std::thread& job : jobs) job.join();
    EXPECT_EQ(refused.load(), 1);
    SetMemoryLimit(0);
}
