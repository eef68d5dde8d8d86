// PNG and TIFF results go from the store into the file a row at a time; what
// they hold must be the store's picture, and a write that fails on the way
// must cost nothing.
#include "imagefile/image_file.h"
#include "spectral/display.h"
#include "spectral/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

namespace {

// Values beyond the pixel range and fractions, as a transform leaves them; a
// width whose rows are no multiple of any strip or filter unit.
TSpectrumStore TransformedStore() {
    return RandomStore(301, 47, 17, -300.0f, 300.0f);
}

} // namespace

TEST(ImageFileRows, StoreSlicesReadBackAsTheStoresPicture) {
    TTempDir dir;
    const TSpectrumStore store = TransformedStore();
    const TBitmap24 drawn = RenderStore(store, true, 0);
    const TBitmap48 deep = RenderStoreImage48(store);
    for (const char* ext : {"png", "tif"}) {
        SCOPED_TRACE(ext);
        const std::string eight = dir.File(std::string("a8.") + ext);
        SaveImageStore(eight, store, TImageInfo{});
        EXPECT_EQ(ReadImageFile(eight).Bytes, drawn.Bytes);

        const std::string sixteen = dir.File(std::string("a16.") + ext);
        TImageInfo info;
        info.Deep = true;
        info.DpiX = info.DpiY = 600;
        SaveImageStore(sixteen, store, info);
        const TImageFile back = ReadImageFileWithInfo(sixteen);
        EXPECT_TRUE(back.Info.Deep);
        EXPECT_EQ(back.Deep.Samples, deep.Samples);
        EXPECT_NEAR(back.Info.DpiX, 600, 0.02);

        // The spectrum as the window shows it, at a contrast position.
        const std::string view = dir.File(std::string("s.") + ext);
        SaveStoreView(view, store, false, 9);
        EXPECT_EQ(ReadImageFile(view).Bytes, RenderStore(store, false, 9).Bytes);
    }
}

// A disk that fills up in the middle of the pixels (here the file size
// limit): the error is the usual one, the old file is as it was and no
// temporary file stays behind.
TEST(ImageFileRows, AWriteFailingOnTheWayLeavesTheOldFile) {
    TTempDir dir;
    const TSpectrumStore store = TransformedStore();
    for (const char* name : {"old.png", "old.tif"}) {
        SCOPED_TRACE(name);
        const std::string old = dir.File(name);
        WriteImageFile(old, RandomBitmap(4, 3, 1));
        const std::vector<uint8_t> before = ReadFileBytes(old);

        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096; // the header goes through, the pixels do not
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        std::string message;
        try {
            SaveImageStore(old, store, TImageInfo{});
        } catch (const EFileError& e) {
            message = e.what();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        EXPECT_EQ(message, "Datei " + old + " kann nicht erstellt werden");
        EXPECT_EQ(ReadFileBytes(old), before);
    }
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 2u); // the two old files only
}
