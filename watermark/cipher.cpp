#include "watermark/cipher.h"

#include "spectral/errors.h"

#include <cryptopp/blowfish.h>
#include <cryptopp/ripemd.h>

#include <cstdio>
#include <cstring>

namespace {
// Converts to Latin-1 as ToLatin1 does; false when anything became '?'.
bool Latin1Bytes(std::string_view utf8, std::string& out) {
    bool exact = true;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = uint8_t(utf8[i]);
        if (lead < 0x80) {
            out.push_back(char(lead));
            ++i;
            continue;
        }
        // Length and first bits of a multi-byte sequence; anything malformed
        // (stray continuation byte, cut-off or overlong sequence) is one '?'.
        const size_t len = (lead & 0xE0) == 0xC0   ? 2
                           : (lead & 0xF0) == 0xE0 ? 3
                           : (lead & 0xF8) == 0xF0 ? 4
                                                   : 0;
        uint32_t code = lead & (0x7Fu >> len);
        size_t got = 1;
        while (len > 0 && got < len && i + got < utf8.size() &&
               (uint8_t(utf8[i + got]) & 0xC0) == 0x80) {
            code = (code << 6) | (uint8_t(utf8[i + got]) & 0x3F);
            ++got;
        }
        static constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        const bool valid = len > 0 && got == len && code >= kSmallest[len];
        exact = exact && valid && code <= 0xFF;
        out.push_back(valid && code <= 0xFF ? char(code) : '?');
        i += got;
    }
    return exact;
}
} // namespace

std::string ToLatin1(std::string_view utf8) {
    std::string out;
    Latin1Bytes(utf8, out);
    return out;
}

std::string KeyTextBytes(std::string_view utf8) {
    std::string latin1;
    return Latin1Bytes(utf8, latin1) ? latin1 : std::string(utf8);
}

// The Blowfish key schedule lives behind the header so that the cipher
// library's headers stay out of everyone else's includes.
struct TCipher_Blowfish::TSchedule {
    CryptoPP::Blowfish::Encryption blowfish;
};

TCipher_Blowfish::TCipher_Blowfish(TCipherMode mode) : mode_(mode), schedule_(new TSchedule) {
    Reset();
}

TCipher_Blowfish::~TCipher_Blowfish() = default;

void TCipher_Blowfish::Reset() {
    // Wipe first, so no byte of an earlier key survives in the registers.
    for (uint8_t fill : {uint8_t(0xAA), uint8_t(0x55)}) {
        std::memset(v_, fill, sizeof v_);
        std::memset(f_, fill, sizeof f_);
        std::memset(b_, fill, sizeof b_);
    }
    std::memset(b_, 0x00, sizeof b_);
    std::memset(v_, 0xFF, sizeof v_);
    std::memset(f_, 0xFF, sizeof f_);
    ready_ = false;
}

void TCipher_Blowfish::EncryptBlock(const uint8_t* in, uint8_t* out) const {
    // Blowfish reads the block as two big-endian 32-bit halves; the cipher
    // library does the same, as its published test vectors confirm.
    schedule_->blowfish.ProcessBlock(in, out);
}

void TCipher_Blowfish::InitKey(std::string_view keyBytes) {
    uint8_t digest[CryptoPP::RIPEMD256::DIGESTSIZE];
    CryptoPP::RIPEMD256().CalculateDigest(
        digest, reinterpret_cast<const CryptoPP::byte*>(keyBytes.data()), keyBytes.size());
    static_assert(sizeof digest <= MaxKeySize, "the whole digest is the key");
    Reset();
    schedule_->blowfish.SetKey(digest, sizeof digest);
    EncryptBlock(v_, v_);
    std::memcpy(f_, v_, sizeof f_);
    ready_ = true;
    // Encrypting the digest in place leaves no copy of the key behind; it
    // moves the feedback register, which is then brought back to the start
    // vector so that the output depends on the key text alone.
    EncryptCts(digest, digest, sizeof digest);
    if (std::memcmp(f_, v_, sizeof f_) != 0) {
        std::memcpy(b_, f_, sizeof b_);
        std::memcpy(f_, v_, sizeof f_);
    }
}

void TCipher_Blowfish::EncryptBytes(const void* source, void* destination, size_t n) {
    if (!ready_) {
        char text[128];
        std::snprintf(text, sizeof text, "%s is not initialized call Init() or InitKey() before.",
                      ClassName);
        throw Exception(text);
    }
    if (mode_ != cmCTS)
        throw Exception(std::string(ClassName) + ": only the CTS mode is available");
    EncryptCts(source, destination, n);
}

void TCipher_Blowfish::EncryptCts(const void* source, void* destination, size_t n) {
    auto src = static_cast<const uint8_t*>(source);
    auto dst = static_cast<uint8_t*>(destination);
    uint8_t block[8];
    for (; n >= 8; n -= 8, src += 8, dst += 8) {
        for (int i = 0; i < 8; ++i) block[i] = src[i] ^ f_[i];
        EncryptBlock(block, block);
        for (int i = 0; i < 8; ++i) {
            dst[i] = block[i];
            f_[i] ^= block[i];
        }
    }
    if (n > 0) {
        std::memcpy(b_, f_, sizeof b_);
        EncryptBlock(b_, b_);
        for (size_t i = 0; i < n; ++i) dst[i] = src[i] ^ b_[i];
        for (int i = 0; i < 8; ++i) f_[i] ^= b_[i];
    }
}

TCipher_Blowfish& TCipherManager::CipherObject() {
    if (!cipher_) {
        if (Cipher != TCipher_Blowfish::ClassName) throw Exception("unknown cipher " + Cipher);
        cipher_ = std::make_unique<TCipher_Blowfish>(Mode);
    }
    return *cipher_;
}

void TCipherManager::InitKey(std::string_view keyText) {
    CipherObject().InitKey(KeyTextBytes(keyText));
}

void TCipherManager::InitKeyBytes(std::string_view keyBytes) {
    CipherObject().InitKey(keyBytes);
}

void TCipherManager::EncryptBytes(const void* source, void* destination, size_t n) {
    CipherObject().EncryptBytes(source, destination, n);
}

void KeystreamBytes(TCipher_Blowfish& cipher, std::string_view keyBytes, uint8_t* out, size_t n) {
    cipher.InitKey(keyBytes);
    std::memset(out, 0, n);
    cipher.EncryptBytes(out, out, n);
}

std::vector<uint8_t> Keystream(std::string_view keyText, size_t n) {
    TCipher_Blowfish cipher;
    std::vector<uint8_t> out(n);
    KeystreamBytes(cipher, KeyTextBytes(keyText), out.data(), n);
    return out;
}

std::vector<uint8_t> RipeMD256(std::string_view bytes) {
    std::vector<uint8_t> digest(CryptoPP::RIPEMD256::DIGESTSIZE);
    CryptoPP::RIPEMD256().CalculateDigest(
        digest.data(), reinterpret_cast<const CryptoPP::byte*>(bytes.data()), bytes.size());
    return digest;
}

void BlowfishEncryptBlock(const uint8_t* key, size_t keyLength, const uint8_t in[8],
                          uint8_t out[8]) {
    CryptoPP::Blowfish::Encryption blowfish(key, keyLength);
    blowfish.ProcessBlock(in, out);
}
