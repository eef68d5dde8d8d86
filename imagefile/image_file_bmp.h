#pragma once
// Windows bitmap files: our own decoder for every pixel format, and the
// encoder for the one format we write.
//
// Decoding accepts 1, 2, 4 and 8 bits with a palette (uncompressed, RLE8,
// RLE4), 16 bits (5-5-5 by default, or any masks given as bit fields), 24
// bits, 32 bits (the fourth byte dropped, or bit-field masks), bottom-up and
// top-down rows, and the 12-byte core header as well as the 40-byte and later
// (V4, V5) information headers. Every result is a 24-bit blue-green-red image.
//
// Choices made where the format leaves room:
// - A palette index beyond the stored palette gives black.
// - Pixels an RLE stream skips (delta, early end of line or of the bitmap)
//   take the colour of palette entry 0, as a freshly cleared indexed image
//   would show them.
// - An RLE stream that ends before its rows are complete, or whose last
//   absolute run lacks its padding byte, is damaged.
// - Masked channels are widened to 8 bits with rounding (31 -> 255), so
//   white stays white.
// Damaged data of any kind throws EInvalidGraphic "Bitmap ist ungültig".

#include "imagefile/image_file_source.h"
#include "spectral/bitmap.h"
#include "spectral/messages.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <string_view>

// The largest image, in pixels, that any decoder accepts: 2^28 (e.g. 16384 x
// 16384), about 800 MB as a 24-bit image and four times that in the spectrum
// store. An A3 scan at 600 dpi (7016 x 9921) is about a quarter of it. The
// check runs on the header, before anything is allocated, so a few bytes that
// claim 100000 x 100000 pixels cost nothing.
inline constexpr uint64_t kMaxImagePixels = uint64_t(1) << 28;

// The messages of the decoders' size checks: a picture larger than
// kMaxImagePixels, and a file whose data cannot hold the size it declares.
TMessage TooManyPixelsError(uint64_t width, uint64_t height);
TMessage CutShortError(uint64_t width, uint64_t height, uint64_t bytes);
// Their German texts.
std::string TooManyPixelsMessage(uint64_t width, uint64_t height);
std::string CutShortMessage(uint64_t width, uint64_t height, uint64_t bytes);

// Where a decoder puts the rows of a new bitmap. The consumer may not throw,
// so a refusal of the memory budget while the bitmap is made is kept and
// thrown by Rethrow when the decoder gave up for want of memory.
struct TBitmapSink {
    TBitmap24 Image;
    std::exception_ptr Failure;
    TRowConsumer Consumer();
    // Runs the decoder; its "no memory" becomes the kept refusal, if any.
    template <typename Decode>
    void Run(Decode&& decode) {
        try {
            decode(Consumer());
        } catch (const std::bad_alloc&) {
            if (Failure) std::rethrow_exception(Failure);
            throw;
        }
    }
};

// maxPixels lowers the cap (tests that feed random headers use it).
TBitmap24 DecodeBitmapFile(const TByteSource& source, uint64_t maxPixels = kMaxImagePixels);
// The same rows handed to `out` one at a time (in the file's row order); on
// an error the rows it got so far are not to be used.
void DecodeBitmapRows(const TByteSource& source, const TRowConsumer& out,
                      uint64_t maxPixels = kMaxImagePixels);

// An uncompressed 24-bit bitmap: 14-byte file header, 40-byte information
// header, rows bottom-up, each padded with zero bytes to a multiple of 4.
// The resolution fields are 0 (not stated), since the in-memory image does
// not carry one. Throws EInvalidGraphic "Bitmap ist ungültig" for an empty
// image or one too large for the format's 32-bit size fields.
std::string EncodeBitmapFile(const TBitmap24& image);
// The same bytes from rows asked for a few at a time and handed to `write`
// in file order; `amendHeader` may fill the header's resolution fields.
void EncodeBitmapRows(const TRowProducer& image,
                      const std::function<void(std::string& header)>& amendHeader,
                      const std::function<void(std::string_view)>& write);
