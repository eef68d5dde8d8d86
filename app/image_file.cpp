// Interim reader and writer on QImage; replaced by the full codecs.
#include "app/image_file.h"

#include "spectral/errors.h"

#include <QImage>

TBitmap24 ReadImageFile(const std::string& fileName) {
    QImage img(QString::fromStdString(fileName));
    if (img.isNull()) throw EInvalidGraphic("Bitmap ist ungültig");
    img = img.convertToFormat(QImage::Format_RGB888);
    TBitmap24 out(img.width(), img.height());
    for (int r = 0; r < img.height(); ++r) {
        const uchar* s = img.constScanLine(r);
        uint8_t* d = out.Row(r);
        for (int c = 0; c < img.width(); ++c) {
            d[3 * c] = s[3 * c + 2];
            d[3 * c + 1] = s[3 * c + 1];
            d[3 * c + 2] = s[3 * c];
        }
    }
    return out;
}

void WriteImageFile(const std::string& fileName, const TBitmap24& image) {
    QImage img(image.Width, image.Height, QImage::Format_RGB888);
    for (int r = 0; r < image.Height; ++r) {
        const uint8_t* s = image.Row(r);
        uchar* d = img.scanLine(r);
        for (int c = 0; c < image.Width; ++c) {
            d[3 * c] = s[3 * c + 2];
            d[3 * c + 1] = s[3 * c + 1];
            d[3 * c + 2] = s[3 * c];
        }
    }
    if (!img.save(QString::fromStdString(fileName), "BMP"))
        throw EFileError("Datei " + fileName + " kann nicht erstellt werden");
}
