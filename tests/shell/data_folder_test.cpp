// Where the programs find their shipped files: under the installation prefix
// first, then in the source tree they were built from.
#include "shell/data_folder.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(DataFolder, InstalledFilesWinOverTheSourceTree) {
    TTempDir prefix, source;
    fs::create_directories(prefix.Path() / "bin");
    fs::create_directories(source.Path() / "help/pages");
    const auto candidates = DataFolderCandidates(prefix.Path() / "bin", source.Path());
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[0], prefix.Path() / "share/pixmend");

    EXPECT_EQ(FindDataPath("help/pages", candidates), source.Path() / "help/pages");
    fs::create_directories(prefix.Path() / "share/pixmend/help/pages");
    EXPECT_EQ(FindDataPath("help/pages", candidates), prefix.Path() / "share/pixmend/help/pages");
    EXPECT_EQ(FindDataPath("samples/halftone.bmp", candidates), std::nullopt);
    EXPECT_EQ(FindDataPath("help/pages", DataFolderCandidates({}, {})), std::nullopt);
}

TEST(DataFolder, ATestProgramFindsTheShippedFilesOfItsSourceTree) {
    EXPECT_EQ(FindDataPath("help/pages"), fs::path(PIXMEND_SOURCE_DIR) / "help/pages");
    EXPECT_EQ(FindDataPath("samples/halftone.flt"),
              fs::path(PIXMEND_SOURCE_DIR) / "samples/halftone.flt");
}
