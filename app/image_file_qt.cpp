#include "app/image_file_qt.h"

#include "app/image_file_bmp.h"
#include "spectral/errors.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <limits>

QImage ToQImage(const TBitmap24& image) {
    if (image.Empty()) return QImage();
    QImage out(image.Width, image.Height, QImage::Format_RGB888);
    if (out.isNull()) return out;
    for (int32_t r = 0; r < image.Height; ++r) {
        const uint8_t* s = image.Row(r);
        uchar* d = out.scanLine(r);
        for (int32_t c = 0; c < image.Width; ++c) {
            d[3 * c] = s[3 * c + 2];
            d[3 * c + 1] = s[3 * c + 1];
            d[3 * c + 2] = s[3 * c];
        }
    }
    return out;
}

TBitmap24 FromQImage(const QImage& image) {
    if (image.isNull()) return TBitmap24();
    TBitmap24 out(image.width(), image.height());
    if (image.format() == QImage::Format_RGB888) {
        for (int r = 0; r < image.height(); ++r) {
            const uchar* s = image.constScanLine(r);
            uint8_t* d = out.Row(r);
            for (int c = 0; c < image.width(); ++c) {
                d[3 * c] = s[3 * c + 2];
                d[3 * c + 1] = s[3 * c + 1];
                d[3 * c + 2] = s[3 * c];
            }
        }
        return out;
    }
    // Every other format through 0xAARRGGBB words. Non-premultiplied ARGB
    // keeps the stored colours of transparent pixels, so taking red, green
    // and blue from it simply drops the alpha byte.
    const bool direct =
        image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    const QImage words = direct ? image : image.convertToFormat(QImage::Format_ARGB32);
    for (int r = 0; r < words.height(); ++r) {
        const auto* s = reinterpret_cast<const QRgb*>(words.constScanLine(r));
        uint8_t* d = out.Row(r);
        for (int c = 0; c < words.width(); ++c) {
            d[3 * c] = uint8_t(qBlue(s[c]));
            d[3 * c + 1] = uint8_t(qGreen(s[c]));
            d[3 * c + 2] = uint8_t(qRed(s[c]));
        }
    }
    return out;
}

TBitmap24 DecodeQtImageFile(const char* data, size_t size) {
    if (size > size_t(std::numeric_limits<int>::max()))
        throw EInvalidGraphic("Bitmap ist ungültig");
    QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize declared = reader.size();
    if (declared.isValid() &&
        uint64_t(declared.width()) * uint64_t(declared.height()) > kMaxImagePixels)
        throw EInvalidGraphic("Bitmap ist ungültig");
    // Qt refuses images above a global limit (256 MB by default); raise it to
    // what our largest image needs at 8 bytes per pixel (16-bit RGBA).
    const int neededMb = int(kMaxImagePixels * 8 >> 20);
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < neededMb)
        QImageReader::setAllocationLimit(neededMb);
    QImage image;
    if (!reader.read(&image) || image.isNull()) throw EInvalidGraphic("Bitmap ist ungültig");
    if (uint64_t(image.width()) * uint64_t(image.height()) > kMaxImagePixels)
        throw EInvalidGraphic("Bitmap ist ungültig");
    return FromQImage(image);
}
