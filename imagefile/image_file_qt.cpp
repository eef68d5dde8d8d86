#include "imagefile/image_file_qt.h"

#include "imagefile/image_file_bmp.h"
#include "spectral/errors.h"
#include "spectral/memory_budget.h"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QImageReader>
#include <QRgba64>

#include <dlfcn.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <string>

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
    // Every other format through 0xAARRGGBB words, straight (not
    // premultiplied). A transparent pixel keeps whatever colour was stored
    // under it, which was never meant to be seen: every pixel is composited
    // onto white, as a viewer shows it on a page (opaque ones are unchanged).
    const bool direct =
        image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    const QImage words = direct ? image : image.convertToFormat(QImage::Format_ARGB32);
    const bool alpha = image.hasAlphaChannel();
    for (int r = 0; r < words.height(); ++r) {
        const auto* s = reinterpret_cast<const QRgb*>(words.constScanLine(r));
        uint8_t* d = out.Row(r);
        for (int c = 0; c < words.width(); ++c) {
            const unsigned a = alpha ? unsigned(qAlpha(s[c])) : 255u;
            const auto onWhite = [a](int v) {
                return uint8_t((unsigned(v) * a + 255u * (255u - a) + 127u) / 255u);
            };
            d[3 * c] = onWhite(qBlue(s[c]));
            d[3 * c + 1] = onWhite(qGreen(s[c]));
            d[3 * c + 2] = onWhite(qRed(s[c]));
        }
    }
    return out;
}

// Whether any pixel of the image is not fully opaque.
static bool HasTransparentPixels(const QImage& image) {
    if (!image.hasAlphaChannel()) return false;
    const auto f = image.format();
    for (int r = 0; r < image.height(); ++r) {
        if (f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied) {
            const auto* s = reinterpret_cast<const QRgb*>(image.constScanLine(r));
            for (int c = 0; c < image.width(); ++c)
                if (qAlpha(s[c]) != 255) return true;
        } else if (f == QImage::Format_RGBA64 || f == QImage::Format_RGBA64_Premultiplied) {
            const auto* s = reinterpret_cast<const QRgba64*>(image.constScanLine(r));
            for (int c = 0; c < image.width(); ++c)
                if (s[c].alpha() != 65535) return true;
        } else {
            for (int c = 0; c < image.width(); ++c)
                if (image.pixelColor(c, r).alpha() != 255) return true;
        }
    }
    return false;
}

namespace {

// What Qt's readers and the libraries below them (libpng, libtiff) say while
// a file is decoded: their warnings would otherwise go to stderr in the
// middle of a batch, detached from the file they concern. While a decode runs
// on a thread, that thread's messages are collected and become part of the
// file's error; other threads' messages go where they went before. The
// handler is installed only while some decode runs.
thread_local std::string* tCollected = nullptr;
std::mutex gHandlerMutex;
int gDecodes = 0;
QtMessageHandler gPrevious = nullptr;

// Adds a line to this thread's collection, once.
void Collect(const std::string& line) {
    if (!line.empty() && tCollected->find(line) == std::string::npos) {
        if (!tCollected->empty()) *tCollected += "; ";
        *tCollected += line;
    }
}

void CollectingHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (tCollected && type != QtFatalMsg) {
        Collect(text.simplified().toStdString());
        return;
    }
    if (gPrevious) {
        gPrevious(type, context, text);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    }
}

// libtiff, below Qt's TIFF plugin, writes its errors and warnings straight to
// stderr unless the process gives it handlers; those are global to the
// library and shared by every thread, so they are installed once and look at
// the calling thread's collection. An error becomes part of the file's error,
// without its module (a function name) and without the made-up file name
// "foo" that the plugin opens every buffer under; warnings are about tags and
// fields libtiff skips and stay quiet. Outside a decode or encode of ours (the
// window's file dialog preview) both stay quiet too: the reader's result says
// whether the picture could be read.
void TiffError(const char*, const char* format, va_list args) {
    if (!tCollected) return;
    char text[400];
    std::vsnprintf(text, sizeof text, format, args);
    std::string line(text);
    if (line.rfind("foo: ", 0) == 0) line.erase(0, 5);
    std::replace(line.begin(), line.end(), '\n', ' ');
    while (!line.empty() && (line.back() == ' ' || line.back() == '.')) line.pop_back();
    Collect(line);
}

void TiffWarning(const char*, const char*, va_list) {}

// libpng's own error function writes "libpng error: ..." on stderr before it
// jumps back to the reader. Qt's PNG reader and writer give libpng a warning
// function (its warnings arrive as Qt messages, collected above) but no error
// function, and libpng has no global setting for it. This one does what
// libpng's does, without the print: the text goes to the thread's collection
// and becomes part of the file's error.
PNG_NORETURN void PngError(png_structp png, png_const_charp message) {
    if (tCollected) Collect(std::string("libpng error: ") + (message ? message : ""));
    png_longjmp(png, 1);
}

} // namespace

// The process's png_set_error_fn: the dynamic linker binds Qt's calls to this
// definition ahead of libpng's. It passes everything on to libpng's own and
// only fills in the error function where the caller left it to libpng.
extern "C" void png_set_error_fn(png_structrp png, png_voidp errorData, png_error_ptr errorFn,
                                 png_error_ptr warningFn) {
    using TSetErrorFn = void (*)(png_structrp, png_voidp, png_error_ptr, png_error_ptr);
    static const auto libpngOwn =
        reinterpret_cast<TSetErrorFn>(dlsym(RTLD_NEXT, "png_set_error_fn"));
    if (!libpngOwn) std::abort(); // libpng is linked in: it cannot be missing
    libpngOwn(png, errorData, errorFn ? errorFn : PngError, warningFn);
}

void InstallTiffHandlers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        TIFFSetErrorHandler(TiffError);
        TIFFSetWarningHandler(TiffWarning);
    });
}

namespace {

class TCollectMessages {
public:
    explicit TCollectMessages(std::string& into) {
        InstallTiffHandlers();
        tCollected = &into;
        const std::lock_guard<std::mutex> lock(gHandlerMutex);
        if (gDecodes++ == 0) gPrevious = qInstallMessageHandler(CollectingHandler);
    }
    ~TCollectMessages() {
        tCollected = nullptr;
        const std::lock_guard<std::mutex> lock(gHandlerMutex);
        if (--gDecodes == 0) qInstallMessageHandler(gPrevious);
    }
    TCollectMessages(const TCollectMessages&) = delete;
    TCollectMessages& operator=(const TCollectMessages&) = delete;
};

[[noreturn]] void InvalidImage(const std::string& said) {
    if (said.empty()) throw EInvalidGraphic(TMessage{TMessageId::InvalidPicture, {}, nullptr});
    throw EInvalidGraphic(TMessage{TMessageId::InvalidPictureSaid, {said.substr(0, 300)}, nullptr});
}

bool IsPng(const char* data, size_t size) {
    return size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0;
}

// Qt's reader for the bytes by their signature, or null. Left to guess, Qt
// hands bytes to whichever of its plugins claims them (MNG, GIF, icons,
// WebP...): decoders no file of ours is meant to reach, one of which spins
// for seconds on a hundred bytes.
const char* QtFormatOf(const char* data, size_t size) {
    if (IsPng(data, size)) return "png";
    if (size >= 4 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0 ||
                      std::memcmp(data, "II+\0", 4) == 0 || std::memcmp(data, "MM\0+", 4) == 0))
        return "tiff";
    return nullptr;
}

// Bytes in memory as libtiff's client procedures see a file: read-only, no
// mapping, so that libtiff copies no more than it asks for.
struct TTiffBytes {
    const char* Data;
    toff_t Size;
    toff_t Pos = 0;
};

tmsize_t TiffRead(thandle_t h, void* to, tmsize_t n) {
    auto& f = *static_cast<TTiffBytes*>(h);
    const toff_t count = std::min<toff_t>(toff_t(std::max<tmsize_t>(n, 0)), f.Size - f.Pos);
    std::memcpy(to, f.Data + f.Pos, size_t(count));
    f.Pos += count;
    return tmsize_t(count);
}
tmsize_t TiffWrite(thandle_t, void*, tmsize_t) {
    return -1;
}
toff_t TiffSeek(thandle_t h, toff_t offset, int whence) {
    auto& f = *static_cast<TTiffBytes*>(h);
    const toff_t base = whence == SEEK_CUR ? f.Pos : whence == SEEK_END ? f.Size : 0;
    if (offset > std::numeric_limits<toff_t>::max() - base) return toff_t(-1);
    f.Pos = std::min(base + offset, f.Size);
    return f.Pos;
}
int TiffClose(thandle_t) {
    return 0;
}
toff_t TiffSize(thandle_t h) {
    return static_cast<TTiffBytes*>(h)->Size;
}
int TiffMap(thandle_t, void**, toff_t*) {
    return 0;
}
void TiffUnmap(thandle_t, void*, toff_t) {}

// libtiff decodes a strip or a tile at a time into a buffer sized from the
// directory's tags, whatever the file holds: a few hundred bytes declaring
// tens of thousands of samples per pixel, or tiles far larger than the
// image, ask it for gigabytes. No picture we read needs more than four 32-bit
// samples a pixel, so a buffer beyond 16 bytes for each of the image's pixels
// (or 16 MB, for small images in the usual large tiles) is too large. Closes
// the file; the buffer's size, or nullopt for a buffer too large.
std::optional<uint64_t> TiffBufferOf(TIFF* tiff) {
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    const uint64_t buffer = TIFFIsTiled(tiff) ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff);
    TIFFClose(tiff);
    constexpr uint64_t kSmallImageBuffer = uint64_t(16) << 20;
    const uint64_t pixels = std::min(uint64_t(width) * height, kMaxImagePixels);
    if (buffer > std::max(pixels * 16, kSmallImageBuffer)) return std::nullopt;
    return buffer;
}

// The most pixel bytes one stored byte can give under a compression; 0 when
// there is no such bound we know (fax codes, JPEG).
uint64_t TiffExpansion(uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE:
        return 1;
    case COMPRESSION_PACKBITS: // two bytes repeat one up to 128 times
        return 64;
    case COMPRESSION_LZW: // a code of at least 9 bits gives at most 4096 bytes
        return 4096;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE: // deflate's own limit is 1032 to 1
        return 1032;
    default:
        return 0;
    }
}

// A directory declaring far more pixels than its strips or tiles can hold
// (138 bytes declaring hundreds of megabytes) is a file cut short; it is
// refused before Qt's reader takes the memory of the declared size. The
// byte counts are taken no larger than the file.
void RequireTiffDataForItsSize(TIFF* tiff, size_t fileSize) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    const uint64_t expansion = TiffExpansion(compression);
    if (expansion == 0) return;
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    const uint64_t pieces = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    const uint64_t pieceBytes = TIFFIsTiled(tiff) ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff);
    uint64_t stored = 0;
    for (uint64_t i = 0; i < pieces && stored < fileSize; ++i)
        stored += TIFFGetStrileByteCount(tiff, uint32_t(i));
    stored = std::min<uint64_t>(stored, fileSize);
    // Every piece but the last holds its full size; a whole image's worth of
    // pixel bytes must come from what is stored.
    const uint64_t rowBytes = TIFFScanlineSize64(tiff);
    const uint64_t needed = TIFFIsTiled(tiff) ? pieceBytes * (pieces > 0 ? pieces - 1 : 0)
                                              : rowBytes * (height > 0 ? height - 1 : 0);
    if (stored * expansion < needed) {
        TIFFClose(tiff);
        throw EInvalidGraphic(CutShortError(width, height, fileSize));
    }
}

// The TIFF bytes' buffer (see above); refused before Qt's reader runs.
uint64_t CheckTiffBuffer(const char* data, size_t size, const std::string& said) {
    TTiffBytes bytes{data, toff_t(size)};
    // Opened under the name Qt's plugin uses, so that messages read alike.
    TIFF* tiff = TIFFClientOpen("foo", "rm", &bytes, TiffRead, TiffWrite, TiffSeek, TiffClose,
                                TiffSize, TiffMap, TiffUnmap);
    if (!tiff) InvalidImage(said);
    RequireTiffDataForItsSize(tiff, size);
    const std::optional<uint64_t> buffer = TiffBufferOf(tiff);
    if (!buffer) throw EInvalidGraphic(TMessage{TMessageId::InvalidPicture, {}, nullptr});
    return *buffer;
}

// Qt's PNG or TIFF reader, with our size limit checked on the header and on
// the result, and what it says collected for the error.
QImage ReadQImage(const char* data, size_t size) {
    std::string said;
    const TCollectMessages collect(said);
    const char* format = QtFormatOf(data, size);
    if (!format || size > size_t(std::numeric_limits<int>::max()))
        throw EInvalidGraphic(TMessage{TMessageId::InvalidPicture, {}, nullptr});
    QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const QSize declared = reader.size();
    if (declared.isValid() &&
        uint64_t(declared.width()) * uint64_t(declared.height()) > kMaxImagePixels)
        throw EInvalidGraphic(
            TooManyPixelsError(uint64_t(declared.width()), uint64_t(declared.height())));
    const uint64_t tiffBuffer =
        std::strcmp(format, "tiff") == 0 ? CheckTiffBuffer(data, size, said) : 0;
    // Qt's image (up to 8 bytes per pixel) and ours (up to 6) exist at once.
    if (declared.isValid())
        RequireMemory(uint64_t(declared.width()) * uint64_t(declared.height()) * 14 + tiffBuffer,
                      "a picture of " + std::to_string(declared.width()) + " x " +
                          std::to_string(declared.height()) + " pixels");
    // Qt refuses images above a global limit (256 MB by default); raise it to
    // what our largest image needs at 8 bytes per pixel (16-bit RGBA).
    const int neededMb = int(kMaxImagePixels * 8 >> 20);
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < neededMb)
        QImageReader::setAllocationLimit(neededMb);
    QImage image;
    if (!reader.read(&image) || image.isNull()) InvalidImage(said);
    if (uint64_t(image.width()) * uint64_t(image.height()) > kMaxImagePixels)
        throw EInvalidGraphic(TMessage{TMessageId::InvalidPicture, {}, nullptr});
    return image;
}

constexpr double kMetresPerInch = 0.0254;

uint32_t Be32(const char* p) {
    const auto* u = reinterpret_cast<const uint8_t*>(p);
    return uint32_t(u[0]) << 24 | uint32_t(u[1]) << 16 | uint32_t(u[2]) << 8 | u[3];
}

// Calls visit(offset of the chunk, type, body offset, body length) for each
// chunk of PNG bytes until IDAT or until a chunk does not fit.
template <typename Visit>
void WalkPngChunks(const char* data, size_t size, Visit visit) {
    size_t i = 8;
    while (i + 12 <= size) {
        const uint32_t length = Be32(data + i);
        if (length > size - i - 12) return;
        const std::string type(data + i + 4, 4);
        if (type == "IDAT" || !visit(i, type, i + 8, size_t(length))) return;
        i += 12 + length;
    }
}

// The pHYs chunk's resolution when its unit is the metre. Qt cannot say
// whether a file stated one, since its images always have one.
void ReadPngResolution(const char* data, size_t size, TImageInfo& info) {
    WalkPngChunks(data, size, [&](size_t, const std::string& type, size_t body, size_t length) {
        if (type != "pHYs" || length != 9) return true;
        const uint32_t x = Be32(data + body), y = Be32(data + body + 4);
        if (data[body + 8] == 1 && x > 0 && y > 0 && x <= INT32_MAX && y <= INT32_MAX) {
            info.DpiX = x * kMetresPerInch;
            info.DpiY = y * kMetresPerInch;
        }
        return false;
    });
}

bool IsDeep(QImage::Format f) {
    return f == QImage::Format_Grayscale16 || f == QImage::Format_RGBX64 ||
           f == QImage::Format_RGBA64 || f == QImage::Format_RGBA64_Premultiplied;
}

bool IsGrey(const QImage& image) {
    const auto f = image.format();
    if (f == QImage::Format_Grayscale8 || f == QImage::Format_Grayscale16) return true;
    return image.depth() <= 8 && image.colorCount() > 0 && image.isGrayscale();
}

TBitmap48 FromQImage48(const QImage& image) {
    TBitmap48 out(image.width(), image.height());
    if (image.format() == QImage::Format_Grayscale16) {
        for (int r = 0; r < image.height(); ++r) {
            const auto* s = reinterpret_cast<const quint16*>(image.constScanLine(r));
            uint16_t* d = out.Row(r);
            for (int c = 0; c < image.width(); ++c) d[3 * c] = d[3 * c + 1] = d[3 * c + 2] = s[c];
        }
        return out;
    }
    // Straight (not premultiplied) channels, composited onto white as in 8 bits.
    const QImage words = image.format() == QImage::Format_RGBA64_Premultiplied
                             ? image.convertToFormat(QImage::Format_RGBA64)
                             : image;
    const bool alpha = image.hasAlphaChannel();
    for (int r = 0; r < words.height(); ++r) {
        const auto* s = reinterpret_cast<const QRgba64*>(words.constScanLine(r));
        uint16_t* d = out.Row(r);
        for (int c = 0; c < words.width(); ++c) {
            const uint64_t a = alpha ? s[c].alpha() : 65535u;
            const auto onWhite = [a](uint16_t v) {
                return uint16_t((uint64_t(v) * a + 65535u * (65535u - a) + 32767u) / 65535u);
            };
            d[3 * c] = onWhite(s[c].blue());
            d[3 * c + 1] = onWhite(s[c].green());
            d[3 * c + 2] = onWhite(s[c].red());
        }
    }
    return out;
}

} // namespace

TBitmap24 DecodeQtImageFile(const char* data, size_t size) {
    return FromQImage(ReadQImage(data, size));
}

TImageFile DecodeQtImageFileWithInfo(const char* data, size_t size) {
    const QImage image = ReadQImage(data, size);
    TImageFile out;
    out.Info.Grey = IsGrey(image);
    out.Info.Deep = IsDeep(image.format());
    out.Info.AlphaComposited = HasTransparentPixels(image);
    if (out.Info.Deep)
        out.Deep = FromQImage48(image);
    else
        out.Bitmap = FromQImage(image);
    if (IsPng(data, size)) {
        ReadPngResolution(data, size, out.Info);
    } else if (image.dotsPerMeterX() != QImage(1, 1, image.format()).dotsPerMeterX() ||
               image.dotsPerMeterY() != QImage(1, 1, image.format()).dotsPerMeterY()) {
        // A TIFF without resolution tags keeps Qt's default; we cannot tell it
        // from a file that states exactly that, and take it as not stated.
        out.Info.DpiX = image.dotsPerMeterX() * kMetresPerInch;
        out.Info.DpiY = image.dotsPerMeterY() * kMetresPerInch;
    }
    const QByteArray icc = image.colorSpace().iccProfile();
    out.Info.IccProfile.assign(icc.constData(), size_t(icc.size()));
    return out;
}

bool TiffFileFitsItsPixels(const std::string& fileName) {
    InstallTiffHandlers(); // quiet: the answer says all
    TIFF* tiff = TIFFOpen(fileName.c_str(), "rm");
    return tiff && TiffBufferOf(tiff).has_value();
}

#if defined(__SANITIZE_ADDRESS__)
// Qt keeps a little state (a mutex, a wait condition) for every thread it did
// not start that used it, such as a batch's worker threads reading PNG and TIFF
// files; whether that is freed when such a thread ends depends on timing. In a
// sanitizer build the leak check would report those few hundred bytes now and
// then and fail a run that did nothing wrong. Every program that reads through
// Qt links this file, so the one rule here covers them all; the reports' stacks
// end in Qt Core with no frame of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6Core.so\n";
}
#endif
