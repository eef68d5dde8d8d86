#pragma once
// A 24-bit bitmap in memory: W x H pixels of three bytes, blue, green, red,
// row 0 at the top, rows packed without padding. This is the one in-memory
// form of an image outside the store; decoders produce it, the display writes
// it, the window shows it.

#include <cstddef>
#include <cstdint>
#include <vector>

struct TBitmap24 {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Bytes;  // Height rows of 3 * Width bytes

    TBitmap24() = default;
    TBitmap24(int32_t width, int32_t height)
        : Width(width), Height(height), Bytes(size_t(width) * size_t(height) * 3u, 0) {}

    bool Empty() const { return Width <= 0 || Height <= 0; }
    size_t RowBytes() const { return size_t(Width) * 3u; }
    uint8_t* Row(int32_t r) { return Bytes.data() + size_t(r) * RowBytes(); }
    const uint8_t* Row(int32_t r) const { return Bytes.data() + size_t(r) * RowBytes(); }
    uint8_t* Pixel(int32_t c, int32_t r) { return Row(r) + size_t(c) * 3u; }
    const uint8_t* Pixel(int32_t c, int32_t r) const { return Row(r) + size_t(c) * 3u; }
};

