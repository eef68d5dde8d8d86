#pragma once
// Bridges between the 24-bit in-memory image and QtGui's QImage, for the
// window program (clipboard, image view) and for the picture kinds we leave
// to Qt's image readers (PNG, TIFF).

#include "spectral/bitmap.h"

#include <QImage>

#include <cstddef>

// An RGB888 image with the same pixels; a null image for an empty bitmap.
QImage ToQImage(const TBitmap24& image);

// Any QImage as 24 bits: palette indices take their palette colour, a 32-bit
// pixel drops its alpha byte (the stored colour is kept, nothing is blended),
// 15- and 16-bit and wider channels are scaled to 8 bits. An empty bitmap
// for a null image.
TBitmap24 FromQImage(const QImage& image);

// A PNG or TIFF file's bytes through Qt's readers. Throws EInvalidGraphic
// "Bitmap ist ungültig" when they cannot be decoded or the image is larger
// than kMaxImagePixels.
TBitmap24 DecodeQtImageFile(const char* data, size_t size);
