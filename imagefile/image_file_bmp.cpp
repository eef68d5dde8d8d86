#include "imagefile/image_file_bmp.h"

#include "spectral/errors.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

[[noreturn]] void Invalid() {
    throw EInvalidGraphic(TMessage{TMessageId::InvalidPicture, {}, nullptr});
}

uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

// One colour channel given as a bit mask of a 16- or 32-bit pixel.
class TMaskChannel {
public:
    TMaskChannel() = default;
    explicit TMaskChannel(uint32_t mask) : mask_(mask) {
        if (mask == 0) return;
        shift_ = std::countr_zero(mask);
        // The span of the mask; a mask with holes is read as if it had none.
        bits_ = 32 - std::countl_zero(mask >> shift_);
    }
    uint8_t operator()(uint32_t pixel) const {
        if (bits_ == 0) return 0;
        const uint32_t v = (pixel & mask_) >> shift_;
        if (bits_ >= 8) return uint8_t(v >> (bits_ - 8));
        const uint32_t top = (uint32_t(1) << bits_) - 1;
        return uint8_t((v * 255u + top / 2) / top);
    }

private:
    uint32_t mask_ = 0;
    int shift_ = 0;
    int bits_ = 0;
};

// Everything the headers say about the pixel data.
struct TLayout {
    int32_t width = 0;
    int32_t height = 0;
    bool topDown = false;
    int bits = 0;
    uint32_t compression = kRgb;
    uint64_t dataOffset = 0;
    // 256 entries, blue-green-red; entries the file does not store are black.
    std::array<std::array<uint8_t, 3>, 256> palette{};
    std::array<uint32_t, 3> masks{}; // red, green, blue
};

TLayout ReadLayout(const TByteSource& src, uint64_t maxPixels) {
    TLayout L;
    const uint64_t size = src.Size();
    uint8_t fh[18];
    if (!src.ReadAt(0, fh, sizeof fh)) Invalid();
    if (fh[0] != 'B' || fh[1] != 'M') Invalid();
    const uint32_t offBits = U32(fh + 10);
    const uint32_t headerSize = U32(fh + 14);

    uint64_t paletteStart = 0;
    unsigned entrySize = 4;
    uint32_t colorsUsed = 0;
    int64_t height = 0;
    if (headerSize == 12) {
        // The core header: 16-bit sizes, no compression, 3-byte palette entries.
        uint8_t h[12];
        if (!src.ReadAt(14, h, sizeof h)) Invalid();
        L.width = U16(h + 4);
        height = U16(h + 6);
        L.bits = U16(h + 10);
        entrySize = 3;
        paletteStart = 14 + 12;
    } else if (headerSize >= 40) {
        uint8_t h[40];
        if (!src.ReadAt(14, h, sizeof h)) Invalid();
        L.width = int32_t(U32(h + 4));
        height = int32_t(U32(h + 8));
        L.bits = U16(h + 14);
        L.compression = U32(h + 16);
        colorsUsed = U32(h + 32);
        paletteStart = 14 + uint64_t(headerSize);
        if (L.compression == kBitFields || L.compression == kAlphaBitFields) {
            // The masks follow the 40-byte header; the later headers hold
            // them in the same place, inside the header.
            uint8_t m[12];
            if (!src.ReadAt(14 + 40, m, sizeof m)) Invalid();
            L.masks = {U32(m), U32(m + 4), U32(m + 8)};
            if (headerSize == 40) paletteStart += L.compression == kBitFields ? 12 : 16;
        }
    } else {
        Invalid();
    }

    if (L.width <= 0 || height == 0) Invalid();
    L.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (height > std::numeric_limits<int32_t>::max()) Invalid();
    L.height = int32_t(height);
    if (uint64_t(L.width) * uint64_t(L.height) > maxPixels) Invalid();

    bool formatOk = false;
    switch (L.compression) {
    case kRgb:
        formatOk = L.bits == 1 || L.bits == 2 || L.bits == 4 || L.bits == 8 || L.bits == 16 ||
                   L.bits == 24 || L.bits == 32;
        break;
    case kRle8:
        formatOk = L.bits == 8;
        break;
    case kRle4:
        formatOk = L.bits == 4;
        break;
    case kBitFields:
    case kAlphaBitFields:
        formatOk = L.bits == 16 || L.bits == 32;
        break;
    default:
        break;
    }
    if (!formatOk) Invalid();
    if (L.compression == kRgb && L.bits == 16) L.masks = {0x7C00, 0x03E0, 0x001F};

    if (offBits < paletteStart || offBits > size) Invalid();
    L.dataOffset = offBits;

    if (L.bits <= 8) {
        // Short palettes are common: read what lies between the headers and
        // the pixel data, at most what the header promises.
        uint64_t count = uint64_t(1) << L.bits;
        if (colorsUsed != 0 && colorsUsed < count) count = colorsUsed;
        count = std::min<uint64_t>(count, (offBits - paletteStart) / entrySize);
        std::vector<uint8_t> raw(size_t(count) * entrySize);
        if (!raw.empty() && !src.ReadAt(paletteStart, raw.data(), raw.size())) Invalid();
        for (size_t i = 0; i < count; ++i)
            std::memcpy(L.palette[i].data(), raw.data() + i * entrySize, 3);
    }
    return L;
}

// Converts one stored row of an uncompressed bitmap to blue-green-red.
class TRowConverter {
public:
    explicit TRowConverter(const TLayout& L) : L_(L) {
        if (L.bits == 16 || L.bits == 32) {
            red_ = TMaskChannel(L.masks[0]);
            green_ = TMaskChannel(L.masks[1]);
            blue_ = TMaskChannel(L.masks[2]);
        }
        if (L.bits == 16) {
            // Every 16-bit value once, so a row costs one lookup per pixel.
            table16_.resize(65536 * 3);
            for (uint32_t v = 0; v < 65536; ++v) {
                table16_[3 * v] = blue_(v);
                table16_[3 * v + 1] = green_(v);
                table16_[3 * v + 2] = red_(v);
            }
        }
    }

    void operator()(const uint8_t* in, uint8_t* out) const {
        const int32_t w = L_.width;
        switch (L_.bits) {
        case 1:
        case 2:
        case 4: {
            const int bits = L_.bits;
            const int perByte = 8 / bits;
            const unsigned lowMask = (1u << bits) - 1;
            for (int32_t c = 0; c < w; ++c) {
                const int slot = c % perByte;
                const unsigned idx = (in[c / perByte] >> (8 - bits * (slot + 1))) & lowMask;
                std::memcpy(out + 3 * size_t(c), L_.palette[idx].data(), 3);
            }
            break;
        }
        case 8:
            for (int32_t c = 0; c < w; ++c)
                std::memcpy(out + 3 * size_t(c), L_.palette[in[c]].data(), 3);
            break;
        case 16:
            for (int32_t c = 0; c < w; ++c)
                std::memcpy(out + 3 * size_t(c), &table16_[3 * size_t(U16(in + 2 * size_t(c)))], 3);
            break;
        case 24:
            std::memcpy(out, in, size_t(w) * 3);
            break;
        case 32:
            if (L_.compression == kRgb) {
                for (int32_t c = 0; c < w; ++c)
                    std::memcpy(out + 3 * size_t(c), in + 4 * size_t(c), 3);
            } else {
                for (int32_t c = 0; c < w; ++c) {
                    const uint32_t v = U32(in + 4 * size_t(c));
                    uint8_t* px = out + 3 * size_t(c);
                    px[0] = blue_(v);
                    px[1] = green_(v);
                    px[2] = red_(v);
                }
            }
            break;
        default:
            Invalid();
        }
    }

private:
    const TLayout& L_;
    TMaskChannel red_, green_, blue_;
    std::vector<uint8_t> table16_;
};

void DecodeUncompressed(const TByteSource& src, const TLayout& L, const TRowConsumer& out) {
    const uint64_t rowBits = uint64_t(L.width) * uint64_t(L.bits);
    const uint64_t stride = (rowBits + 31) / 32 * 4;
    const uint64_t rowBytes = (rowBits + 7) / 8;
    // The file must hold every row before anything is allocated; the last
    // row's padding may be missing, some writers leave it off.
    const uint64_t need = stride * uint64_t(L.height - 1) + rowBytes;
    if (need > src.Size() - L.dataOffset) Invalid();

    if (!out.Begin(out.Context, L.width, L.height)) throw std::bad_alloc();
    const TRowConverter convert(L);
    std::vector<uint8_t> row(L.bits == 24 ? 0 : size_t(rowBytes));
    for (int32_t i = 0; i < L.height; ++i) {
        const int32_t r = L.topDown ? i : L.height - 1 - i;
        const uint64_t at = L.dataOffset + uint64_t(i) * stride;
        uint8_t* target = out.Row(out.Context, r);
        if (L.bits == 24) {
            // Stored rows are already blue-green-red.
            if (!src.ReadAt(at, target, size_t(rowBytes))) Invalid();
        } else {
            if (!src.ReadAt(at, row.data(), row.size())) Invalid();
            convert(row.data(), target);
        }
        out.Done(out.Context, r);
    }
}

// Reads a run-length stream front to back in blocks.
class TStreamReader {
public:
    TStreamReader(const TByteSource& src, uint64_t start) : src_(src), pos_(start) {}
    // The next byte; false at the end of the file.
    bool Next(uint8_t& b) {
        if (at_ == filled_) {
            const uint64_t left = src_.Size() - pos_;
            if (left == 0) return false;
            filled_ = size_t(std::min<uint64_t>(left, sizeof buffer_));
            if (!src_.ReadAt(pos_, buffer_, filled_)) return false;
            pos_ += filled_;
            at_ = 0;
        }
        b = buffer_[at_++];
        return true;
    }

private:
    const TByteSource& src_;
    uint64_t pos_;
    uint8_t buffer_[1 << 16];
    size_t at_ = 0, filled_ = 0;
};

// Walks the run-length codes without painting: the declared size must be
// reached by the data (the codes run to the last row or to an end code), and
// the runs of a very large picture must paint a fair share of it, before
// memory for the picture is taken. A few hundred bytes can declare a picture of gigabytes; such a
// file is refused at the cost of reading it once.
void RequireRunLengthReach(const TByteSource& src, const TLayout& L) {
    const bool four = L.compression == kRle4;
    TStreamReader in(src, L.dataOffset);
    auto next = [&in]() {
        uint8_t b;
        if (!in.Next(b)) Invalid();
        return b;
    };
    uint64_t x = 0, y = 0, painted = 0;
    const auto paint = [&](uint64_t n) {
        if (y < uint64_t(L.height) && x < uint64_t(L.width))
            painted += std::min<uint64_t>(n, uint64_t(L.width) - x);
        x += n;
    };
    bool ended = false;
    while (!ended && y < uint64_t(L.height)) {
        const uint8_t count = next();
        const uint8_t value = next();
        if (count > 0) {
            paint(count);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            ended = true;
        } else if (value == 2) {
            x += next();
            y += next();
        } else {
            const unsigned stored = four ? (value + 1u) / 2u : value;
            for (unsigned k = 0; k < stored + (stored & 1u); ++k) next();
            paint(value);
        }
    }
    // Rows left to the background by end-of-line and end codes are legal (a
    // page scan with one mark is a real file), but beyond 128 megapixels,
    // well past an A3 page at 600 dpi, a picture painted to less than a
    // sixty-fourth is taken for what it is: a few bytes asking for gigabytes.
    const uint64_t area = uint64_t(L.width) * uint64_t(L.height);
    if (area > (uint64_t(1) << 27) && painted < area / 64) Invalid();
}

TBitmap24 DecodeRunLength(const TByteSource& src, const TLayout& L) {
    RequireRunLengthReach(src, L);
    TBitmap24 out(L.width, L.height);
    for (int32_t c = 0; c < L.width; ++c) std::memcpy(out.Pixel(c, 0), L.palette[0].data(), 3);
    for (int32_t r = 1; r < L.height; ++r) std::memcpy(out.Row(r), out.Row(0), out.RowBytes());

    const bool four = L.compression == kRle4;
    TStreamReader in(src, L.dataOffset);
    auto next = [&in]() {
        uint8_t b;
        if (!in.Next(b)) Invalid();
        return b;
    };
    // Positions grow by at most 255 per code and the stream is finite, so
    // 64 bits cannot overflow; pixels outside the image are dropped.
    uint64_t x = 0, y = 0;
    auto put = [&](unsigned idx) {
        if (x < uint64_t(L.width) && y < uint64_t(L.height)) {
            const int32_t r = L.topDown ? int32_t(y) : L.height - 1 - int32_t(y);
            std::memcpy(out.Pixel(int32_t(x), r), L.palette[idx].data(), 3);
        }
        ++x;
    };

    while (y < uint64_t(L.height)) {
        const uint8_t count = next();
        const uint8_t value = next();
        if (count > 0) {
            // An encoded run: one index, or two alternating nibbles.
            for (unsigned k = 0; k < count; ++k)
                put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return out;
        case 2: { // delta: move right and up (down in the image)
            const uint8_t dx = next();
            const uint8_t dy = next();
            x += dx;
            y += dy;
            break;
        }
        default: { // absolute run of `value` pixels, padded to 16 bits
            unsigned stored = 0;
            uint8_t b = 0;
            for (unsigned k = 0; k < value; ++k) {
                if (!four) {
                    b = next();
                    ++stored;
                    put(b);
                } else {
                    if ((k & 1) == 0) {
                        b = next();
                        ++stored;
                    }
                    put((k & 1) ? b & 0x0F : b >> 4);
                }
            }
            if (stored & 1) next();
            break;
        }
        }
    }
    // The rows are complete; whatever follows (normally the end code) does
    // not matter.
    return out;
}

} // namespace

void DecodeBitmapRows(const TByteSource& source, const TRowConsumer& out, uint64_t maxPixels) {
    const TLayout layout = ReadLayout(source, std::min(maxPixels, kMaxImagePixels));
    if (layout.compression != kRle8 && layout.compression != kRle4)
        return DecodeUncompressed(source, layout, out);
    // Run lengths can jump about the image; they are decoded whole.
    const TBitmap24 image = DecodeRunLength(source, layout);
    if (!out.Begin(out.Context, image.Width, image.Height)) throw std::bad_alloc();
    for (int32_t r = 0; r < image.Height; ++r) {
        std::memcpy(out.Row(out.Context, r), image.Row(r), image.RowBytes());
        out.Done(out.Context, r);
    }
}

TBitmap24 DecodeBitmapFile(const TByteSource& source, uint64_t maxPixels) {
    const TLayout layout = ReadLayout(source, std::min(maxPixels, kMaxImagePixels));
    if (layout.compression == kRle8 || layout.compression == kRle4)
        return DecodeRunLength(source, layout);
    TBitmapSink sink;
    sink.Run([&](const TRowConsumer& rows) { DecodeUncompressed(source, layout, rows); });
    return std::move(sink.Image);
}

TRowConsumer TBitmapSink::Consumer() {
    TRowConsumer rows;
    rows.Context = this;
    rows.Begin = [](void* context, int32_t width, int32_t height) noexcept {
        auto& self = *static_cast<TBitmapSink*>(context);
        try {
            self.Image = TBitmap24(width, height);
            return true;
        } catch (...) {
            self.Failure = std::current_exception();
            return false;
        }
    };
    rows.Row = [](void* context, int32_t row) noexcept {
        return static_cast<TBitmapSink*>(context)->Image.Row(row);
    };
    rows.Done = [](void*, int32_t) noexcept {};
    return rows;
}

namespace {
// The 54 header bytes; Invalid() for a size the format cannot hold.
std::string BitmapHeader(int32_t width, int32_t height, uint64_t& stride) {
    if (width <= 0 || height <= 0) Invalid();
    stride = (uint64_t(width) * 3 + 3) / 4 * 4;
    const uint64_t dataSize = stride * uint64_t(height);
    const uint64_t fileSize = 54 + dataSize;
    if (fileSize > std::numeric_limits<uint32_t>::max()) Invalid();
    std::string file(54, '\0');
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, uint32_t(fileSize));
    Put32(file, 10, 54); // pixel data offset
    Put32(file, 14, 40); // information header size
    Put32(file, 18, uint32_t(width));
    Put32(file, 22, uint32_t(height)); // positive: bottom-up
    Put16(file, 26, 1);                // planes
    Put16(file, 28, 24);               // bits per pixel
    Put32(file, 30, kRgb);
    Put32(file, 34, uint32_t(dataSize));
    // Resolution (38, 42), colours used (46) and important (50) stay 0.
    return file;
}
} // namespace

std::string EncodeBitmapFile(const TBitmap24& image) {
    if (image.Empty()) Invalid();
    uint64_t stride = 0;
    std::string file = BitmapHeader(image.Width, image.Height, stride);
    file.resize(size_t(54 + stride * uint64_t(image.Height)), '\0');
    for (int32_t r = 0; r < image.Height; ++r) {
        const size_t at = 54 + size_t(stride) * size_t(image.Height - 1 - r);
        std::memcpy(file.data() + at, image.Row(r), image.RowBytes());
    }
    return file;
}

void EncodeBitmapRows(const TRowProducer& image,
                      const std::function<void(std::string& header)>& amendHeader,
                      const std::function<void(std::string_view)>& write) {
    uint64_t stride = 0;
    std::string header = BitmapHeader(image.Width, image.Height, stride);
    amendHeader(header);
    write(header);
    // A few rows per write; the padding bytes stay zero.
    const int32_t perSlice =
        int32_t(std::clamp<uint64_t>((uint64_t(1) << 22) / stride, 1, uint64_t(image.Height)));
    std::string slice(size_t(stride) * size_t(perSlice), '\0');
    for (int32_t done = 0; done < image.Height;) {
        const int32_t n = std::min(perSlice, image.Height - done);
        for (int32_t i = 0; i < n; ++i) // bottom-up: the last row first
            image.Fill(image.Context, image.Height - 1 - (done + i),
                       reinterpret_cast<uint8_t*>(slice.data()) + size_t(i) * size_t(stride));
        write(std::string_view(slice.data(), size_t(stride) * size_t(n)));
        done += n;
    }
}

TMessage TooManyPixelsError(uint64_t width, uint64_t height) {
    return TMessage{
        TMessageId::TooManyPixels,
        {std::to_string(width), std::to_string(height), std::to_string(kMaxImagePixels)},
        nullptr};
}

TMessage CutShortError(uint64_t width, uint64_t height, uint64_t bytes) {
    return TMessage{TMessageId::CutShort,
                    {std::to_string(width), std::to_string(height), std::to_string(bytes)},
                    nullptr};
}

std::string TooManyPixelsMessage(uint64_t width, uint64_t height) {
    return GermanText(TooManyPixelsError(width, height));
}

std::string CutShortMessage(uint64_t width, uint64_t height, uint64_t bytes) {
    return GermanText(CutShortError(width, height, bytes));
}
