// Reading and writing image files by name: the choice of codec by extension,
// the exact error texts, and saves that never damage what was there.

#include "imagefile/image_file.h"
#include "spectral/errors.h"
#include "spectral/memory_budget.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <jerror.h>
#include <random>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

TBitmap24 Noise(int w, int h, unsigned seed) {
    TBitmap24 img(w, h);
    std::mt19937 rng(seed);
    for (uint8_t& b : img.Bytes) b = uint8_t(rng());
    return img;
}

TBitmap24 Smooth(int w, int h) {
    TBitmap24 img(w, h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            uint8_t* p = img.Pixel(c, r);
            p[0] = uint8_t(4 * c);
            p[1] = uint8_t(4 * r);
            p[2] = uint8_t(2 * (c + r));
        }
    return img;
}

std::string Head(const std::string& file, size_t n) {
    const std::vector<uint8_t> bytes = ReadFileBytes(file);
    return std::string(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(n, bytes.size())));
}

template <class E>
void ExpectError(const std::function<void()>& f, const std::string& message) {
    try {
        f();
        FAIL() << "no error, expected: " << message;
    } catch (const E& e) {
        EXPECT_EQ(std::string(e.what()), message);
    }
}

// Files the save left behind besides the expected ones.
std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ImageFile, ExtensionOfTheLastPathComponent) {
    EXPECT_EQ(ImageFileExtension("a.bmp"), "bmp");
    EXPECT_EQ(ImageFileExtension("/x/scan.final.JPeG"), "JPeG");
    EXPECT_EQ(ImageFileExtension("/x.jpg/scan"), "");
    EXPECT_EQ(ImageFileExtension("scan"), "");
    EXPECT_EQ(ImageFileExtension("scan."), "");
}

TEST(ImageFile, BitmapRoundTripInAnyLetterCase) {
    TTempDir dir;
    const TBitmap24 img = Noise(7, 5, 1);
    for (const char* name : {"a.bmp", "b.BMP", "c.Bmp"}) {
        WriteImageFile(dir.File(name), img);
        EXPECT_EQ(Head(dir.File(name), 2), "BM") << name;
        const TBitmap24 back = ReadImageFile(dir.File(name));
        EXPECT_EQ(back.Width, 7);
        EXPECT_EQ(back.Height, 5);
        EXPECT_EQ(back.Bytes, img.Bytes) << name;
    }
}

TEST(ImageFile, JpgInAnyCaseIsWrittenAsJpeg) {
    TTempDir dir;
    const TBitmap24 img = Smooth(40, 30);
    for (const char* name : {"a.jpg", "b.JPG", "c.JpG"}) {
        WriteImageFile(dir.File(name), img);
        EXPECT_EQ(Head(dir.File(name), 3), "\xFF\xD8\xFF") << name;
        const TBitmap24 back = ReadImageFile(dir.File(name));
        ASSERT_EQ(back.Bytes.size(), img.Bytes.size());
        for (size_t i = 0; i < img.Bytes.size(); ++i)
            ASSERT_NEAR(back.Bytes[i], img.Bytes[i], 8) << name << " byte " << i;
    }
}

TEST(ImageFile, EachNameIsWrittenInTheFormatItSays) {
    TTempDir dir;
    const TBitmap24 img = Noise(3, 3, 2);
    for (const char* name : {"a.jpeg", "b.JPEG", "c.png", "d.Tif", "e.tiff", "f.bmp"})
        WriteImageFile(dir.File(name), img);
    EXPECT_EQ(Head(dir.File("a.jpeg"), 3), "\xFF\xD8\xFF");
    EXPECT_EQ(Head(dir.File("b.JPEG"), 3), "\xFF\xD8\xFF");
    EXPECT_EQ(Head(dir.File("c.png"), 4), "\x89PNG");
    EXPECT_EQ(Head(dir.File("d.Tif"), 4), std::string("II*\0", 4));
    EXPECT_EQ(Head(dir.File("e.tiff"), 4), std::string("II*\0", 4));
    EXPECT_EQ(Head(dir.File("f.bmp"), 2), "BM");
    for (const char* name : {"c.png", "d.Tif", "e.tiff", "f.bmp"})
        EXPECT_EQ(ReadImageFile(dir.File(name)).Bytes, img.Bytes) << name;
}

TEST(ImageFile, UnknownExtensionsAreNamedAsWritten) {
    TTempDir dir;
    // Refused before anything is written, and before the file is looked at.
    ExpectError<EInvalidGraphic>([&] { WriteImageFile(dir.File("x.Gif"), Noise(2, 2, 3)); },
                                 "Unbekannte Bilddateierweiterung (.Gif)");
    EXPECT_TRUE(Listing(dir.Path()).empty());
    ExpectError<EInvalidGraphic>([&] { ReadImageFile(dir.File("missing.txt")); },
                                 "Unbekannte Bilddateierweiterung (.txt)");
    // A name without one claims no format: written as a bitmap, as the window
    // always did, and refused for reading with a message that says why.
    WriteImageFile(dir.File("scan"), Noise(2, 2, 3));
    EXPECT_EQ(Head(dir.File("scan"), 2), "BM");
    ExpectError<EInvalidGraphic>([&] { ReadImageFile("/no.such.dir/scan"); },
                                 "Der Dateiname /no.such.dir/scan hat keine Erweiterung");
}

TEST(ImageFile, FilesThatCannotBeOpened) {
    TTempDir dir;
    for (const char* name :
         {"missing.bmp", "missing.jpg", "missing.JPEG", "missing.png", "missing.tif"}) {
        const std::string path = dir.File(name);
        ExpectError<EFileError>([&] { ReadImageFile(path); },
                                "Datei " + path + " kann nicht geöffnet werden");
    }
    fs::create_directory(dir.Path() / "folder.bmp");
    const std::string folder = dir.File("folder.bmp");
    ExpectError<EFileError>([&] { ReadImageFile(folder); },
                            "Datei " + folder + " kann nicht geöffnet werden");
    // A named pipe without a writer would block a plain open for ever.
    for (const char* name : {"pipe.bmp", "pipe.jpg", "pipe.png"}) {
        const std::string path = dir.File(name);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        ExpectError<EFileError>([&] { ReadImageFile(path); },
                                "Datei " + path + " kann nicht geöffnet werden");
    }
}

TEST(ImageFile, EmptyAndDamagedFiles) {
    TTempDir dir;
    WriteFileBytes(dir.File("empty.bmp"), {});
    ExpectError<EInvalidGraphic>([&] { ReadImageFile(dir.File("empty.bmp")); },
                                 "Bitmap ist ungültig");
    WriteFileBytes(dir.File("empty.jpg"), {});
    ExpectError<EInvalidGraphic>([&] { ReadImageFile(dir.File("empty.jpg")); },
                                 "JPEG-Fehler #" + std::to_string(JERR_INPUT_EMPTY));
    WriteFileBytes(dir.File("text.png"), {'h', 'e', 'l', 'l', 'o'});
    ExpectError<EInvalidGraphic>([&] { ReadImageFile(dir.File("text.png")); },
                                 "Bitmap ist ungültig");
    WriteFileBytes(dir.File("text.tiff"), {'I', 'I', 42, 0, 8, 0});
    ExpectError<EInvalidGraphic>([&] { ReadImageFile(dir.File("text.tiff")); },
                                 "Bitmap ist ungültig (Cannot read TIFF header)");

    // A bitmap cut short at every length, read through the file.
    WriteImageFile(dir.File("good.bmp"), Noise(5, 4, 4));
    const std::vector<uint8_t> good = ReadFileBytes(dir.File("good.bmp"));
    for (size_t n = 0; n < good.size(); ++n) {
        WriteFileBytes(dir.File("cut.bmp"),
                       std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(n)));
        try {
            ReadImageFile(dir.File("cut.bmp"));
            EXPECT_GE(n, good.size() - 1)
                << "decoded at length " << n; // only the last padding byte may go
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Bitmap ist ungültig");
        }
    }
}

TEST(ImageFile, PngAndTiffAreRead) {
    TTempDir dir;
    const TBitmap24 img = Noise(9, 6, 5);
    QImage q(9, 6, QImage::Format_RGB888);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 9; ++c) {
            const uint8_t* p = img.Pixel(c, r);
            q.setPixel(c, r, qRgb(p[2], p[1], p[0]));
        }
    ASSERT_TRUE(q.save(QString::fromStdString(dir.File("a.png")), "PNG"));
    ASSERT_TRUE(q.save(QString::fromStdString(dir.File("a.tif")), "TIFF"));
    ASSERT_TRUE(q.save(QString::fromStdString(dir.File("a.TIFF")), "TIFF"));
    for (const char* name : {"a.png", "a.tif", "a.TIFF"}) {
        const TBitmap24 back = ReadImageFile(dir.File(name));
        EXPECT_EQ(back.Width, 9) << name;
        EXPECT_EQ(back.Bytes, img.Bytes) << name;
    }
    // A palette PNG comes in with its palette colours.
    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    indexed.setPixel(0, 0, 1);
    indexed.setPixel(1, 0, 0);
    ASSERT_TRUE(indexed.save(QString::fromStdString(dir.File("p.png")), "PNG"));
    const TBitmap24 pal = ReadImageFile(dir.File("p.png"));
    EXPECT_EQ(std::vector<uint8_t>(pal.Bytes.begin(), pal.Bytes.end()),
              (std::vector<uint8_t>{50, 100, 200, 30, 20, 10}));
}

TEST(ImageFile, SavingReplacesAnExistingFile) {
    TTempDir dir;
    const std::string name = dir.File("out.bmp");
    WriteImageFile(name, Noise(4, 4, 6));
    const TBitmap24 second = Noise(2, 3, 7);
    WriteImageFile(name, second);
    EXPECT_EQ(ReadImageFile(name).Bytes, second.Bytes);
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"out.bmp"}));
}

TEST(ImageFile, FailedSavesLoseNothingAndLeaveNothing) {
    TTempDir dir;
    // The parent "folder" is a regular file.
    const std::string blocker = dir.File("plain");
    WriteFileBytes(blocker, {1, 2, 3});
    for (const char* leaf : {"/x.bmp", "/x.jpg"}) {
        const std::string name = blocker + leaf;
        ExpectError<EFileError>([&] { WriteImageFile(name, Noise(2, 2, 8)); },
                                "Datei " + name + " kann nicht erstellt werden");
    }
    // The target is a folder (with something in it).
    fs::create_directory(dir.Path() / "taken.bmp");
    WriteFileBytes(dir.File("taken.bmp/keep"), {9});
    ExpectError<EFileError>([&] { WriteImageFile(dir.File("taken.bmp"), Noise(2, 2, 9)); },
                            "Datei " + dir.File("taken.bmp") + " kann nicht erstellt werden");
    EXPECT_EQ(ReadFileBytes(dir.File("taken.bmp/keep")), std::vector<uint8_t>{9});

    // An image no file can hold leaves the old file as it was.
    const std::string old = dir.File("old.jpg");
    WriteImageFile(old, Smooth(8, 8));
    const std::vector<uint8_t> before = ReadFileBytes(old);
    ExpectError<EFileError>([&] { WriteImageFile(old, TBitmap24()); },
                            "Datei " + old + " kann nicht erstellt werden");
    ExpectError<EFileError>([&] { WriteImageFile(old, TBitmap24(70000, 1)); },
                            "Datei " + old + " kann nicht erstellt werden");
    EXPECT_EQ(ReadFileBytes(old), before);
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"old.jpg", "plain", "taken.bmp"}));
}

} // namespace

TEST(ImageFile, TheMemoryBudgetRefusesPicturesAsTheyAreDecoded) {
    TTempDir dir;
    for (const char* name : {"a.bmp", "a.jpg", "a.png"})
        WriteImageFile(dir.File(name), Noise(64, 64, 1));
    SetMemoryLimit(4096);
    for (const char* name : {"a.bmp", "a.jpg", "a.png"}) {
        EXPECT_THROW(ReadImageFile(dir.File(name)), EMemoryBudget) << name;
        TSpectrumStore store;
        EXPECT_THROW(LoadImageStore(dir.File(name), store), EMemoryBudget) << name;
    }
    SetMemoryLimit(0);
}
