#pragma once
// Resolution and colour profile in the bytes of bitmap and JPEG files. The
// pixel codecs leave them alone (a bitmap states no resolution, a JPEG the
// JFIF default of 1 x 1 without unit); these read them from a file's
// headers and put them into freshly encoded bytes, so that the pixels of
// both formats stay exactly what the codecs make.

#include "imagefile/image_file_source.h"
#include "spectral/image_info.h"

#include <string>

// Pixels per metre from a bitmap's information header (12-byte core headers
// state none).
TImageInfo ReadBitmapInfo(const TByteSource& source);

// Puts the resolution into the pixels-per-metre fields of bitmap bytes from
// EncodeBitmapFile. Without a stated resolution the bytes stay as they are.
void PutBitmapResolution(std::string& bytes, const TImageInfo& info);

// JFIF density (dots per inch or per centimetre), the ICC profile of the
// APP2 "ICC_PROFILE" segments, and whether the frame has a single (grey)
// component. Malformed markers only end the search: the decoder judges the
// file.
TImageInfo ReadJpegInfo(const std::string& bytes);

// Puts the resolution into the JFIF header of bytes from EncodeJpegFile and
// the profile into APP2 segments after it. Without either, the bytes stay
// as they are.
void PutJpegInfo(std::string& bytes, const TImageInfo& info);
