#pragma once
// Image files: decoding into and encoding from the 24-bit in-memory bitmap.
//
// Reading chooses the decoder by the name's extension in any letter case:
// "bmp" (every pixel format, app/image_file_bmp.h), "jpg"/"jpeg" (libjpeg,
// app/image_file_jpeg.h), and also "png", "tif", "tiff" (Qt's readers).
// Writing: ".jpg" (lower-cased) gives a baseline JPEG of quality 98, anything
// else, ".jpeg" and no extension included, a 24-bit bottom-up Windows bitmap
// under exactly the given name. Writes go to a temporary file renamed over
// the target, so a failure never costs the old file.
//
// Errors (exact texts): EInvalidGraphic "Unbekannte Bilddateierweiterung
// (.%s)" with the extension as written (a name without one gives "(.)"),
// EFileError "Datei %s kann nicht geöffnet werden", EInvalidGraphic "Bitmap
// ist ungültig" and "JPEG-Fehler #%d", EFileError "Datei %s kann nicht
// erstellt werden".

#include "spectral/bitmap.h"

#include <string>

TBitmap24 ReadImageFile(const std::string& fileName);
void WriteImageFile(const std::string& fileName, const TBitmap24& image);

// The extension of the name's last path component, as written and without
// its dot; empty when there is none.
std::string ImageFileExtension(const std::string& fileName);
