#pragma once
// Image files: decoding into and encoding from the 24-bit in-memory bitmap.
//
// Reading chooses the decoder by the name's extension in any letter case:
// "bmp" (every pixel format), "jpg"/"jpeg" (libjpeg), and also "png", "tif",
// "tiff". Writing: ".jpg" (lower-cased) gives a baseline JPEG of quality 98,
// anything else a 24-bit bottom-up Windows bitmap. Writes go to a temporary
// file renamed over the target, so a failure never costs the old file.
//
// Errors (exact texts): "Unbekannte Bilddateierweiterung (.%s)",
// "Datei %s kann nicht geöffnet werden", "Bitmap ist ungültig",
// "JPEG-Fehler #%d", "Datei %s kann nicht erstellt werden".

#include "spectral/bitmap.h"

#include <string>

TBitmap24 ReadImageFile(const std::string& fileName);
void WriteImageFile(const std::string& fileName, const TBitmap24& image);
