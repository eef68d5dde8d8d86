#pragma once
// JPEG files through libjpeg (the v6b interface).
//
// Decoding runs at full size with the codec's default settings. A file with a
// single grey component goes through the codec's one-pass colour
// quantisation to 236 levels with its default Floyd-Steinberg dithering, and
// each palette index becomes a grey pixel (blue = green = red). Four-component
// (CMYK, Adobe-inverted) files are converted to RGB so that no file is refused
// for its colour model.
//
// A file that ends before its pixel data is complete, or whose pixel data is
// cut short by a marker, is refused: the codec would only warn and make up
// the rest, and an archivist should never get a silently damaged scan. The
// error carries the number of that warning (JWRN_JPEG_EOF for a truncated
// file, JWRN_HIT_MARKER for corrupt data), like every other codec error:
// EInvalidGraphic "JPEG-Fehler #%d". A single-scan file that lacks nothing
// but its end marker is accepted.
// Images beyond kMaxImagePixels are refused after the header, before any
// pixel memory is taken (TooManyPixelsMessage), and so is a Huffman-coded
// file whose data is far too short for the size it declares
// (CutShortMessage): a few hundred bytes declaring 16000 x 16000 pixels
// would otherwise take gigabytes before the codec finds the data missing.
//
// Encoding writes a baseline JPEG, quality 98, otherwise the codec's defaults,
// from each pixel's red, green and blue.
//
// libjpeg reports errors by calling back into C; our handler jumps back into
// the C-only frame that started the codec, which cleans up and only then
// throws, so no C++ exception ever crosses the codec's frames.

#include "spectral/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>

TBitmap24 DecodeJpegFile(const uint8_t* data, size_t size);
// The same rows handed to `out` one at a time (row order, top first); on an
// error the rows it got so far are not to be used.
void DecodeJpegRows(const uint8_t* data, size_t size, const TRowConsumer& out);

// The codec's reason for a message number in words ("the file is cut short"
// for a truncated file), for the English messages: never a number.
std::string JpegMessageText(int code);

// Throws EInvalidGraphic "JPEG-Fehler #%d" when the codec refuses (an empty
// image, a side longer than 65500 pixels).
std::string EncodeJpegFile(const TBitmap24& image);
// The same from rows asked for one at a time, top first.
std::string EncodeJpegRows(const TRowProducer& image);
