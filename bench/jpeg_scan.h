#pragma once
// Scans saved as JPEG files, the way most scanner software stores them:
// baseline, 4:2:0 chroma subsampling, a chosen quality, and read back with
// the codec's default decoding (as the program reads JPEG files). For the
// descreening benchmark only; a codec failure ends the benchmark.

#include "spectral/bitmap.h"

// The image after encoding at the quality (1..100) and decoding again.
TBitmap24 JpegRoundTrip(const TBitmap24& image, int quality);
