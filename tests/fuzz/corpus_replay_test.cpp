// The fuzz corpora replayed through the fuzz entries in the normal build:
// every seed, and every input a fuzzing run found and saved there, must be
// read or refused without a crash, a sanitizer report or a stray exception.

#include "fuzz/fuzz_entries.h"
#include "spectral/memory_budget.h"

#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class FuzzCorpus : public testing::TestWithParam<TFuzzEntry> {
protected:
    void SetUp() override { PrepareFuzzing(); }
    void TearDown() override { SetMemoryLimit(0); }
};

TEST_P(FuzzCorpus, EveryFileIsReadOrRefused) {
    const TFuzzEntry entry = GetParam();
    const fs::path folder = fs::path(PIXMEND_FUZZ_CORPUS) / entry.Name;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    size_t files = 0;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (!item.is_regular_file()) continue;
        std::ifstream in(item.path(), std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
        try {
            entry.Run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        } catch (const std::exception& e) {
            ADD_FAILURE() << item.path() << ": " << e.what();
        }
        ++files;
    }
    EXPECT_GE(files, 2u) << "a corpus needs seeds";
}

INSTANTIATE_TEST_SUITE_P(Entries, FuzzCorpus, testing::ValuesIn(FuzzEntries()),
                         [](const testing::TestParamInfo<TFuzzEntry>& entry) {
                             return std::string(entry.param.Name);
                         });
