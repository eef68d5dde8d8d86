#include "imagefile/image_file_info.h"

#include <cmath>
#include <cstdint>
#include <map>

namespace {

constexpr double kMetresPerInch = 0.0254;

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
unsigned Be16(const std::string& s, size_t i) {
    return unsigned(uint8_t(s[i])) << 8 | uint8_t(s[i + 1]);
}

void PutLe32(std::string& s, size_t i, uint32_t v) {
    for (int k = 0; k < 4; ++k) s[i + size_t(k)] = char((v >> (8 * k)) & 0xff);
}
void PutBe16(std::string& s, size_t i, unsigned v) {
    s[i] = char((v >> 8) & 0xff);
    s[i + 1] = char(v & 0xff);
}

bool Stated(double dpi) {
    return std::isfinite(dpi) && dpi > 0;
}

const char kIccTag[] = "ICC_PROFILE"; // with its terminating zero: 12 bytes

} // namespace

TImageInfo ReadBitmapInfo(const TByteSource& source) {
    TImageInfo info;
    uint8_t header[32];
    if (!source.ReadAt(14, header, sizeof header) || Le32(header) < 40) return info;
    const auto x = int32_t(Le32(header + 24)), y = int32_t(Le32(header + 28));
    if (x > 0 && y > 0) {
        info.DpiX = x * kMetresPerInch;
        info.DpiY = y * kMetresPerInch;
    }
    return info;
}

void PutBitmapResolution(std::string& bytes, const TImageInfo& info) {
    if (!Stated(info.DpiX) || !Stated(info.DpiY) || bytes.size() < 54) return;
    const auto perMetre = [](double dpi) {
        return uint32_t(std::min(std::lround(dpi / kMetresPerInch), long(INT32_MAX)));
    };
    PutLe32(bytes, 38, perMetre(info.DpiX));
    PutLe32(bytes, 42, perMetre(info.DpiY));
}

TImageInfo ReadJpegInfo(const std::string& s) {
    TImageInfo info;
    std::map<unsigned, std::string> iccChunks;
    unsigned iccCount = 0;
    size_t i = 2;
    if (s.size() < 4 || Be16(s, 0) != 0xFFD8) return info;
    while (i + 4 <= s.size() && uint8_t(s[i]) == 0xFF) {
        const unsigned marker = uint8_t(s[i + 1]);
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break; // scan data follows
        const size_t length = Be16(s, i + 2);
        if (length < 2 || i + 2 + length > s.size()) break;
        const size_t body = i + 4, size = length - 2;
        if (marker == 0xE0 && size >= 12 && s.compare(body, 5, std::string("JFIF\0", 5)) == 0) {
            const unsigned unit = uint8_t(s[body + 7]), x = Be16(s, body + 8),
                           y = Be16(s, body + 10);
            if ((unit == 1 || unit == 2) && x > 0 && y > 0) {
                const double perInch = unit == 1 ? 1.0 : 2.54;
                info.DpiX = x * perInch;
                info.DpiY = y * perInch;
            }
        } else if (marker == 0xE2 && size > 14 &&
                   s.compare(body, 12, std::string(kIccTag, 12)) == 0) {
            iccCount = uint8_t(s[body + 13]);
            iccChunks[uint8_t(s[body + 12])] = s.substr(body + 14, size - 14);
        } else if ((marker >= 0xC0 && marker <= 0xCF) && marker != 0xC4 && marker != 0xC8 &&
                   marker != 0xCC && size >= 6) {
            info.Grey = uint8_t(s[body + 5]) == 1;
        }
        i += 2 + length;
    }
    // A profile counts only when all its numbered pieces are there.
    if (iccCount > 0 && iccChunks.size() == iccCount && iccChunks.begin()->first == 1 &&
        iccChunks.rbegin()->first == iccCount)
        for (const auto& [seq, chunk] : iccChunks) info.IccProfile += chunk;
    return info;
}

void PutJpegInfo(std::string& bytes, const TImageInfo& info) {
    // The encoder writes SOI and then its JFIF APP0 segment of 16 bytes.
    if (bytes.size() < 20 || Be16(bytes, 2) != 0xFFE0 ||
        bytes.compare(6, 5, std::string("JFIF\0", 5)) != 0)
        return;
    if (Stated(info.DpiX) && Stated(info.DpiY)) {
        const long x = std::lround(info.DpiX), y = std::lround(info.DpiY);
        if (x >= 1 && y >= 1 && x <= 65535 && y <= 65535) {
            bytes[13] = 1; // dots per inch
            PutBe16(bytes, 14, unsigned(x));
            PutBe16(bytes, 16, unsigned(y));
        }
    }
    const size_t app0End = 4 + Be16(bytes, 4);
    const size_t maxChunk = 65533 - 14;
    const size_t chunks = (info.IccProfile.size() + maxChunk - 1) / maxChunk;
    if (chunks == 0 || chunks > 255) return;
    std::string segments;
    for (size_t k = 0; k < chunks; ++k) {
        const std::string piece = info.IccProfile.substr(k * maxChunk, maxChunk);
        std::string segment("\xFF\xE2\0\0", 4);
        PutBe16(segment, 2, unsigned(piece.size() + 16));
        segment.append(kIccTag, 12);
        segment.push_back(char(k + 1));
        segment.push_back(char(chunks));
        segments += segment + piece;
    }
    bytes.insert(app0End, segments);
}
