#pragma once
// PNG and TIFF files written a row at a time, with libpng and libtiff, from
// rows asked for as they are encoded: a big scan goes from the store to the
// disk without a whole picture, or the encoded file, in memory beside it.
// The file is written to a temporary file renamed over the target only when
// complete (spectral/file_io.h), so a failure never costs the old file.
//
// What is written: 8 or 16 bits a sample; RGB, or grey (the mean of the
// three channels, exact for grey pixels) when info.Grey; the resolution when
// one is stated and none otherwise; the colour profile when the image is not
// grey and the profile is one the readers understand (an RGB profile). PNG
// is deflated at the library's default level, TIFF is LZW-compressed (both
// lossless).
//
// Errors: EFileError "Datei %s kann nicht erstellt werden" for any failure
// (an empty image, a full disk, a folder that cannot be written); nothing the
// libraries say reaches stderr.

#include "spectral/image_info.h"

#include <cstdint>
#include <string>

// The rows of a picture to encode, top first: blue, green, red, 3 * Width
// bytes, or 3 * Width 16-bit samples when Deep. Fill is called from frames
// that must not be left by an exception, hence noexcept.
struct TPictureRows {
    int32_t Width = 0;
    int32_t Height = 0;
    bool Deep = false;
    const void* Context = nullptr;
    void (*Fill)(const void* context, int32_t row, void* bgr) noexcept = nullptr;
};

void WritePngRows(const std::string& fileName, const TPictureRows& rows, const TImageInfo& info);
void WriteTiffRows(const std::string& fileName, const TPictureRows& rows, const TImageInfo& info);
