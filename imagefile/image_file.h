#pragma once
// Image files: decoding into and encoding from the in-memory bitmaps.
//
// The format follows the name's extension in any letter case, for reading
// and for writing: "bmp" (every pixel format in, 24 bits out,
// imagefile/image_file_bmp.h), "jpg"/"jpeg" (libjpeg, baseline quality 98 out,
// imagefile/image_file_jpeg.h), "png", "tif", "tiff" (Qt's readers; written
// row by row with libpng and libtiff, imagefile/image_file_rows.h).
// Any other extension is refused before anything is read, encoded or
// written: a file whose name lies about its format is worse than none. A name
// without an extension is written as a 24-bit bitmap and read by no decoder.
// Writes go to a temporary file renamed over the target, so a failure never
// costs the old file.
//
// Errors (exact texts): EInvalidGraphic "Unbekannte Bilddateierweiterung
// (.%s)" with the extension as written, "Der Dateiname %s hat keine
// Erweiterung" when a name without one is read,
// EFileError "Datei %s kann nicht geöffnet werden", EInvalidGraphic "Bitmap
// ist ungültig" and "JPEG-Fehler #%d", EFileError "Datei %s kann nicht
// erstellt werden".

#include "spectral/bitmap.h"
#include "spectral/image_access.h"
#include "spectral/image_info.h"
#include "spectral/store.h"

#include <string>

TBitmap24 ReadImageFile(const std::string& fileName);
void WriteImageFile(const std::string& fileName, const TBitmap24& image);

// The extension of the name's last path component, as written and without
// its dot; empty when there is none.
std::string ImageFileExtension(const std::string& fileName);

// Throws the unknown-extension error unless the name has one we write.
void CheckImageFileName(const std::string& fileName);

// An image file with what it says about its pixels. 16-bit PNG and TIFF
// files fill Deep and leave Bitmap empty; every other file fills Bitmap.
struct TImageFile {
    TBitmap24 Bitmap;
    TBitmap48 Deep;
    TImageInfo Info;
};
TImageFile ReadImageFileWithInfo(const std::string& fileName);

// Writes the image in the name's format with as much of the information as
// the format holds: resolution everywhere, the profile in JPEG, PNG and TIFF,
// grey and 16 bits in PNG and TIFF. A 16-bit image written to a bitmap or
// JPEG is rounded to 8 bits.
void WriteImageFileWithInfo(const std::string& fileName, const TImageFile& image);

// The file into the store (8-bit pixels as the window loads them, 16-bit
// ones with their fractions); returns what the file says about them. Bitmap
// and JPEG rows go into the planes as they are decoded, so a big scan never
// exists as a bitmap beside them; the store's old contents are released
// first, and after an error the store is not to be used.
TImageInfo LoadImageStore(const std::string& fileName, TSpectrumStore& store);

// The image in the store (spatial domain) to the file: 16 bits when the info
// says so and the format holds them, else the 8-bit image the window shows.
void SaveImageStore(const std::string& fileName, const TSpectrumStore& store,
                    const TImageInfo& info);

// The store drawn as the window shows it (image or spectrum at a contrast
// position) to the file, with the info's resolution and profile. The rows are
// drawn a few at a time as the encoder asks for them, never as a whole
// picture; PNG, TIFF and bitmap files take them straight to the disk.
void SaveStoreView(const std::string& fileName, const TSpectrumStore& store, bool imageShown,
                   int32_t contrastPosition, const TImageInfo& info = {});

// The image files of the disk as the batch runner reads and writes them:
// every format in and out by its name's extension, the source's resolution,
// profile, colour type and 16-bit samples carried to the target where its
// format holds them.
TImageAccess ImageFileAccess();
