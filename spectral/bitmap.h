#pragma once
// A 24-bit bitmap in memory: W x H pixels of three bytes, blue, green, red,
// row 0 at the top, rows packed without padding. This is the one in-memory
// form of an image outside the store; decoders produce it, the display writes
// it, the window shows it.

#include "spectral/memory_grant.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Throws EMemoryBudget when the memory for a bitmap of this size, at this
// many bytes per pixel, is not available (spectral/memory_budget.h).
void RequireBitmapMemory(int32_t width, int32_t height, uint32_t bytesPerPixel = 3);
// The same check, held until the caller has allocated.
[[nodiscard]] TMemoryGrant GrantBitmapMemory(int32_t width, int32_t height, uint32_t bytesPerPixel);

// Width x height pixels of `channels` zeroed samples, allocated under a grant.
template <class Sample>
std::vector<Sample> NewSamples(int32_t width, int32_t height, uint32_t channels) {
    const TMemoryGrant grant =
        GrantBitmapMemory(width, height, channels * uint32_t(sizeof(Sample)));
    return std::vector<Sample>(size_t(width) * size_t(height) * channels, Sample(0));
}

struct TBitmap24 {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Bytes; // Height rows of 3 * Width bytes

    TBitmap24() = default;
    TBitmap24(int32_t width, int32_t height)
        : Width(width), Height(height),
          Bytes(width > 0 && height > 0 ? NewSamples<uint8_t>(width, height, 3)
                                        : std::vector<uint8_t>()) {}

    bool Empty() const { return Width <= 0 || Height <= 0; }
    size_t RowBytes() const { return size_t(Width) * 3u; }
    uint8_t* Row(int32_t r) { return Bytes.data() + size_t(r) * RowBytes(); }
    const uint8_t* Row(int32_t r) const { return Bytes.data() + size_t(r) * RowBytes(); }
    uint8_t* Pixel(int32_t c, int32_t r) { return Row(r) + size_t(c) * 3u; }
    const uint8_t* Pixel(int32_t c, int32_t r) const { return Row(r) + size_t(c) * 3u; }
};

// Images too large to hold twice pass through the codecs a row at a time
// (blue, green, red, 3 * Width bytes). The codecs call these from frames that
// must not be left by an exception, hence noexcept.
struct TRowProducer { // the rows of an image to encode
    int32_t Width = 0;
    int32_t Height = 0;
    const void* Context = nullptr;
    void (*Fill)(const void* context, int32_t row, uint8_t* bgr) noexcept = nullptr;
};
struct TRowConsumer { // where a decoder puts its rows
    void* Context = nullptr;
    // The size is known; false when there is no memory for it.
    bool (*Begin)(void* context, int32_t width, int32_t height) noexcept = nullptr;
    // Where row r goes, then the note that it is there.
    uint8_t* (*Row)(void* context, int32_t row) noexcept = nullptr;
    void (*Done)(void* context, int32_t row) noexcept = nullptr;
};
