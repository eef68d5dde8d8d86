#pragma once
// Bridges between the in-memory images and QtGui's QImage, for the window
// program (clipboard, image view) and for the picture kinds we leave to Qt's
// image readers (PNG, TIFF; imagefile/image_file_rows.h writes them).

#include "imagefile/image_file.h"
#include "spectral/bitmap.h"

#include <QImage>

#include <cstddef>
#include <string>

// An RGB888 image with the same pixels; a null image for an empty bitmap.
QImage ToQImage(const TBitmap24& image);

// Any QImage as 24 bits: palette indices take their palette colour, a 32-bit
// pixel drops its alpha byte (the stored colour is kept, nothing is blended),
// 15- and 16-bit and wider channels are scaled to 8 bits. An empty bitmap
// for a null image.
TBitmap24 FromQImage(const QImage& image);

// A PNG or TIFF file's bytes (told apart by their signature; no other format
// is taken) through Qt's readers. Throws EInvalidGraphic
// "Bitmap ist ungültig" when they cannot be decoded or the image is larger
// than kMaxImagePixels; what the readers said about a file they could not
// decode follows in parentheses. Nothing they say reaches stderr.
TBitmap24 DecodeQtImageFile(const char* data, size_t size);

// The same, keeping 16-bit channels (in Deep), the grey colour type, the
// resolution and the colour profile. 8-bit pixels are those of
// DecodeQtImageFile.
TImageFile DecodeQtImageFileWithInfo(const char* data, size_t size);

// Whether a TIFF file may be given to Qt's reader: libtiff can open it and
// the buffer it would decode a strip or tile into is within what the image's
// pixels need. The decoders above refuse the same files; this is for readers
// of our own that go to Qt directly (the file dialog's preview).
bool TiffFileFitsItsPixels(const std::string& fileName);

// libtiff's error and warning handlers of ours, installed once for the
// process: what libtiff says goes into the error of the file a decode of ours
// is reading, and nowhere otherwise (never stderr).
void InstallTiffHandlers();
