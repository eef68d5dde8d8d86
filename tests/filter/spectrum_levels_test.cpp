// The spectrum's levels: the quick ways to the rings and the block medians
// give the numbers the plain ways do.
#include "filter/spectrum_levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

TEST(RadialProfile, RowBinsAreTheBinsOfEveryCell) {
    for (const auto& [w, h] : {std::pair{1, 1}, {7, 300}, {401, 13}, {1000, 997}}) {
        const TRadialProfile rings(w, h);
        std::vector<uint8_t> bins(static_cast<size_t>(w));
        for (int64_t r = 0; r < h; ++r) {
            rings.RowBins(r, bins.data());
            for (int64_t c = 0; c < w; ++c)
                ASSERT_EQ(bins[size_t(c)], rings.Bin(c, r))
                    << w << "x" << h << " " << c << "," << r;
        }
    }
}

TEST(BlockLevels, EachBlockReadsTheMedianOfItsNeighbourhoodsMedians) {
    // Narrow and wide ranges of levels within a block, and partial blocks at
    // the edges.
    const int32_t W = 53, H = 41, block = 5; // odd: a block's centre is a cell
    std::mt19937 gen(5);
    std::vector<float> levels(size_t(W) * H);
    for (size_t i = 0; i < levels.size(); ++i)
        levels[i] =
            float(i / W < 10 && i % 7 == 0 ? int(gen() % 9000) - 4500 : int(gen() % 40) + 300);
    const TBlockLevels blocks(levels.data(), W, H, block);
    const int32_t bx = (W + block - 1) / block, by = (H + block - 1) / block;
    std::vector<int32_t> median(size_t(bx) * by);
    for (int32_t j = 0; j < by; ++j)
        for (int32_t i = 0; i < bx; ++i) {
            std::vector<int32_t> cells;
            for (int32_t r = j * block; r < std::min(H, (j + 1) * block); ++r)
                for (int32_t c = i * block; c < std::min(W, (i + 1) * block); ++c)
                    cells.push_back(int32_t(levels[size_t(r) * W + size_t(c)]));
            std::sort(cells.begin(), cells.end());
            median[size_t(j) * bx + size_t(i)] = cells[cells.size() / 2];
        }
    for (int32_t j = 0; j < by; ++j)
        for (int32_t i = 0; i < bx; ++i) {
            std::vector<int32_t> window;
            for (int32_t v = std::max(0, j - 1); v <= std::min(by - 1, j + 1); ++v)
                for (int32_t u = std::max(0, i - 1); u <= std::min(bx - 1, i + 1); ++u)
                    window.push_back(median[size_t(v) * bx + size_t(u)]);
            std::sort(window.begin(), window.end());
            // At a full block's centre the reading is that block's own level.
            if ((i + 1) * block <= W && (j + 1) * block <= H) {
                EXPECT_EQ(blocks.At(i * block + block / 2, j * block + block / 2),
                          double(window[window.size() / 2]))
                    << i << "," << j;
            }
        }
}
