#include "imagefile/image_file.h"

#include "imagefile/image_file_bmp.h"
#include "imagefile/image_file_info.h"
#include "imagefile/image_file_jpeg.h"
#include "imagefile/image_file_qt.h"
#include "imagefile/image_file_rows.h"
#include "imagefile/image_file_source.h"
#include "spectral/display.h"
#include "spectral/errors.h"
#include "spectral/file_io.h"
#include "spectral/store_fill.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string_view>
#include <vector>

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

namespace {

enum class TFormat { Bmp, Jpeg, Png, Tiff };

// A name without an extension claims no format: it is written as a 24-bit
// bitmap, as the window always has, but there is nothing to choose a decoder
// by when it is read, and the error says so instead of naming an empty
// extension.
TFormat FormatOf(const std::string& fileName, bool writing = false) {
    const std::string extension = ImageFileExtension(fileName);
    const std::string kind = LowerAscii(extension);
    if (extension.empty()) {
        if (writing) return TFormat::Bmp;
        throw EInvalidGraphic(TMessage{TMessageId::NoExtension, {fileName}, nullptr});
    }
    if (kind == "bmp") return TFormat::Bmp;
    if (kind == "jpg" || kind == "jpeg") return TFormat::Jpeg;
    if (kind == "png") return TFormat::Png;
    if (kind == "tif" || kind == "tiff") return TFormat::Tiff;
    throw EInvalidGraphic(TMessage{TMessageId::UnknownExtension, {extension}, nullptr});
}

// 16-bit samples to 8 bits, to the nearest (v / 257 rounded).
TBitmap24 Narrow(const TBitmap48& deep) {
    TBitmap24 out(deep.Width, deep.Height);
    for (size_t i = 0; i < deep.Samples.size(); ++i)
        out.Bytes[i] = uint8_t((uint32_t(deep.Samples[i]) + 128) / 257);
    return out;
}

} // namespace

void CheckImageFileName(const std::string& fileName) {
    FormatOf(fileName, true);
}

TBitmap24 ReadImageFile(const std::string& fileName) {
    switch (FormatOf(fileName)) {
    case TFormat::Bmp: {
        const TFileSource source(fileName);
        return DecodeBitmapFile(source);
    }
    case TFormat::Jpeg: {
        const std::string bytes = ReadAllBytes(fileName);
        return DecodeJpegFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    case TFormat::Png:
    case TFormat::Tiff:
        break;
    }
    const std::string bytes = ReadAllBytes(fileName);
    return DecodeQtImageFile(bytes.data(), bytes.size());
}

TImageFile ReadImageFileWithInfo(const std::string& fileName) {
    TImageFile out;
    switch (FormatOf(fileName)) {
    case TFormat::Bmp: {
        const TFileSource source(fileName);
        out.Bitmap = DecodeBitmapFile(source);
        out.Info = ReadBitmapInfo(source);
        return out;
    }
    case TFormat::Jpeg: {
        const std::string bytes = ReadAllBytes(fileName);
        out.Bitmap = DecodeJpegFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        out.Info = ReadJpegInfo(bytes);
        return out;
    }
    case TFormat::Png:
    case TFormat::Tiff:
        break;
    }
    const std::string bytes = ReadAllBytes(fileName);
    return DecodeQtImageFileWithInfo(bytes.data(), bytes.size());
}

namespace {

// The rows of a picture in memory, 8 or 16 bits.
TPictureRows PictureRows(const TBitmap24& bitmap, const TBitmap48& deep) {
    TPictureRows rows;
    rows.Deep = !deep.Empty();
    rows.Width = rows.Deep ? deep.Width : bitmap.Width;
    rows.Height = rows.Deep ? deep.Height : bitmap.Height;
    if (rows.Deep) {
        rows.Context = &deep;
        rows.Fill = [](const void* context, int32_t r, void* bgr) noexcept {
            const auto& image = *static_cast<const TBitmap48*>(context);
            std::copy_n(image.Row(r), size_t(image.Width) * 3, static_cast<uint16_t*>(bgr));
        };
    } else {
        rows.Context = &bitmap;
        rows.Fill = [](const void* context, int32_t r, void* bgr) noexcept {
            const auto& image = *static_cast<const TBitmap24*>(context);
            std::copy_n(image.Row(r), image.RowBytes(), static_cast<uint8_t*>(bgr));
        };
    }
    return rows;
}

// The 8-bit rows of an encoder's producer (the store as drawn).
TPictureRows PictureRows(const TRowProducer& producer) {
    TPictureRows rows;
    rows.Width = producer.Width;
    rows.Height = producer.Height;
    rows.Context = &producer;
    rows.Fill = [](const void* context, int32_t r, void* bgr) noexcept {
        const auto& p = *static_cast<const TRowProducer*>(context);
        p.Fill(p.Context, r, static_cast<uint8_t*>(bgr));
    };
    return rows;
}

// The store's image in 16 bits, a row at a time.
TPictureRows DeepStoreRows(const TSpectrumStore& store) {
    TPictureRows rows;
    rows.Width = store.Cols;
    rows.Height = store.Rows;
    rows.Deep = true;
    rows.Context = &store;
    rows.Fill = [](const void* context, int32_t r, void* bgr) noexcept {
        RenderStoreRow48(*static_cast<const TSpectrumStore*>(context), r,
                         static_cast<uint16_t*>(bgr));
    };
    return rows;
}

// PNG and TIFF go from their rows straight into the file.
void WriteRows(TFormat format, const std::string& fileName, const TPictureRows& rows,
               const TImageInfo& info) {
    if (format == TFormat::Png)
        WritePngRows(fileName, rows, info);
    else
        WriteTiffRows(fileName, rows, info);
}

void WriteImage(const std::string& fileName, const TBitmap24& bitmap, const TBitmap48& deepImage,
                const TImageInfo& info) {
    const TFormat format = FormatOf(fileName, true);
    if (format == TFormat::Png || format == TFormat::Tiff) {
        WriteRows(format, fileName, PictureRows(bitmap, deepImage), info);
        return;
    }
    std::string bytes;
    try {
        const bool deep = !deepImage.Empty();
        if (format == TFormat::Bmp) {
            bytes = EncodeBitmapFile(deep ? Narrow(deepImage) : bitmap);
            PutBitmapResolution(bytes, info);
        } else {
            bytes = EncodeJpegFile(deep ? Narrow(deepImage) : bitmap);
            PutJpegInfo(bytes, info);
        }
    } catch (const Exception&) {
        // An image the format cannot hold (empty, or too large for it).
        throw EFileError(CannotCreateMessage(fileName));
    }
    WriteFileAtomically(fileName, bytes);
}

} // namespace

void WriteImageFile(const std::string& fileName, const TBitmap24& image) {
    WriteImage(fileName, image, TBitmap48(), TImageInfo());
}

void WriteImageFileWithInfo(const std::string& fileName, const TImageFile& image) {
    WriteImage(fileName, image.Bitmap, image.Deep, image.Info);
}

namespace {

// Decoded rows go straight into the store, through one row of scratch: a big
// scan is never held as a bitmap and as planes at once.
struct TStoreFiller {
    TSpectrumStore* store;
    std::vector<uint8_t> row;
    // A refusal of the memory budget, kept since the consumer may not throw.
    std::exception_ptr failure;

    template <typename Decode>
    void Run(Decode&& decode) {
        try {
            decode(Consumer());
        } catch (const std::bad_alloc&) {
            if (failure) std::rethrow_exception(failure);
            throw;
        }
    }

    TRowConsumer Consumer() {
        TRowConsumer rows;
        rows.Context = this;
        rows.Begin = [](void* context, int32_t width, int32_t height) noexcept {
            auto& self = *static_cast<TStoreFiller*>(context);
            try {
                // Planes too small for the new image go first, so that they
                // and the new ones are never held together.
                if (self.store->Planes[0].capacity() < size_t(width) * size_t(height))
                    *self.store = TSpectrumStore{};
                self.store->Resize(width, height);
                self.row.assign(size_t(width) * 3, 0);
                return true;
            } catch (...) {
                *self.store = TSpectrumStore{};
                self.failure = std::current_exception();
                return false;
            }
        };
        rows.Row = [](void* context, int32_t) noexcept {
            return static_cast<TStoreFiller*>(context)->row.data();
        };
        rows.Done = [](void* context, int32_t r) noexcept {
            auto& self = *static_cast<TStoreFiller*>(context);
            FillStoreRow(self.row.data(), r, *self.store);
        };
        return rows;
    }
};

} // namespace

TImageInfo LoadImageStore(const std::string& fileName, TSpectrumStore& store) {
    TStoreFiller filler{&store, {}};
    switch (FormatOf(fileName)) {
    case TFormat::Bmp: {
        const TFileSource source(fileName);
        filler.Run([&](const TRowConsumer& rows) { DecodeBitmapRows(source, rows); });
        return ReadBitmapInfo(source);
    }
    case TFormat::Jpeg: {
        const std::string bytes = ReadAllBytes(fileName);
        filler.Run([&](const TRowConsumer& rows) {
            DecodeJpegRows(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), rows);
        });
        return ReadJpegInfo(bytes);
    }
    case TFormat::Png:
    case TFormat::Tiff:
        break;
    }
    TImageInfo info;
    {
        TImageFile file = ReadImageFileWithInfo(fileName);
        if (store.Planes[0].capacity() <
            size_t(file.Info.Deep ? file.Deep.Width : file.Bitmap.Width) *
                size_t(file.Info.Deep ? file.Deep.Height : file.Bitmap.Height))
            store = TSpectrumStore{};
        if (file.Info.Deep)
            FillStoreFromBitmap48(file.Deep, store);
        else
            FillStoreFromBitmap(file.Bitmap, store);
        info = file.Info;
    }
    return info;
}

void SaveStoreView(const std::string& fileName, const TSpectrumStore& store, bool imageShown,
                   int32_t contrastPosition, const TImageInfo& info) {
    const TFormat format = FormatOf(fileName, true);
    const TStoreView view{&store, imageShown, contrastPosition};
    switch (format) {
    case TFormat::Bmp: {
        // Row slices straight from the store into the file.
        TAtomicFileWriter file(fileName);
        try {
            EncodeBitmapRows(
                StoreRows(view), [&](std::string& header) { PutBitmapResolution(header, info); },
                [&](std::string_view bytes) { file.Write(bytes); });
        } catch (const EInvalidGraphic&) {
            throw EFileError(CannotCreateMessage(fileName));
        }
        file.Commit();
        return;
    }
    case TFormat::Jpeg: {
        std::string bytes;
        try {
            bytes = EncodeJpegRows(StoreRows(view));
            PutJpegInfo(bytes, info);
        } catch (const Exception&) {
            throw EFileError(CannotCreateMessage(fileName));
        }
        WriteFileAtomically(fileName, bytes);
        return;
    }
    case TFormat::Png:
    case TFormat::Tiff:
        break;
    }
    const TRowProducer drawn = StoreRows(view);
    WriteRows(format, fileName, PictureRows(drawn), info);
}

void SaveImageStore(const std::string& fileName, const TSpectrumStore& store,
                    const TImageInfo& info) {
    const TFormat format = FormatOf(fileName, true);
    if (info.Deep && (format == TFormat::Png || format == TFormat::Tiff))
        WriteRows(format, fileName, DeepStoreRows(store), info);
    else
        SaveStoreView(fileName, store, true, 0, info);
}

TImageAccess ImageFileAccess() {
    return {ReadImageFile, WriteImageFile, LoadImageStore, SaveImageStore};
}
