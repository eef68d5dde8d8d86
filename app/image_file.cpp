#include "app/image_file.h"

#include "app/file_io.h"
#include "app/image_file_bmp.h"
#include "app/image_file_jpeg.h"
#include "app/image_file_qt.h"
#include "app/image_file_source.h"
#include "spectral/errors.h"

#include <algorithm>

namespace {

std::string LowerAscii(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch; });
    return s;
}

// The whole file, for the codecs that want their input in one piece. Files
// beyond 2 GB are no image we could hold and are refused unread.
std::string ReadAllBytes(const std::string& fileName) {
    const TFileSource source(fileName);
    if (source.Size() > (uint64_t(1) << 31)) throw EFileError(CannotOpenMessage(fileName));
    std::string bytes(size_t(source.Size()), '\0');
    if (!source.ReadAt(0, bytes.data(), bytes.size()))
        throw EFileError(CannotOpenMessage(fileName));
    return bytes;
}

} // namespace

std::string ImageFileExtension(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || dot < base) return std::string();
    return fileName.substr(dot + 1);
}

TBitmap24 ReadImageFile(const std::string& fileName) {
    const std::string extension = ImageFileExtension(fileName);
    const std::string kind = LowerAscii(extension);
    if (kind == "bmp") {
        const TFileSource source(fileName);
        return DecodeBitmapFile(source);
    }
    if (kind == "jpg" || kind == "jpeg") {
        const std::string bytes = ReadAllBytes(fileName);
        return DecodeJpegFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    if (kind == "png" || kind == "tif" || kind == "tiff") {
        const std::string bytes = ReadAllBytes(fileName);
        return DecodeQtImageFile(bytes.data(), bytes.size());
    }
    throw EInvalidGraphic("Unbekannte Bilddateierweiterung (." + extension + ")");
}

void WriteImageFile(const std::string& fileName, const TBitmap24& image) {
    std::string bytes;
    try {
        bytes = LowerAscii(ImageFileExtension(fileName)) == "jpg" ? EncodeJpegFile(image)
                                                                  : EncodeBitmapFile(image);
    } catch (const Exception&) {
        // An image the format cannot hold (empty, or too large for it).
        throw EFileError(CannotCreateMessage(fileName));
    }
    WriteFileAtomically(fileName, bytes);
}
