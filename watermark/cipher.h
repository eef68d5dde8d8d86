#pragma once
// The keystream generator behind the watermark: Blowfish in the chaining mode
// called CTS here, keyed through the RIPEMD-256 hash of a key text.
//
// The watermark must be found again by any other installation that follows the
// same steps, so every step of InitKey and EncryptBytes is fixed down to the
// byte: a keystream is the encryption of zero bytes right after InitKey, and it
// depends on the key text alone, never on what was encrypted before.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Chaining modes, in the order the settings store them. Only cmCTS is ever
// used; the others exist so that a stored mode can be named, and refuse to run.
enum TCipherMode { cmCTS, cmCBC, cmCFB, cmOFB, cmECB, cmCTSMAC, cmCBCMAC, cmCFBMAC };

// Key texts are hashed as 8-bit bytes. Converts UTF-8 text to Latin-1; a
// character outside Latin-1, and a byte that is not valid UTF-8, becomes '?'.
std::string ToLatin1(std::string_view utf8);

// The bytes a key text is hashed as: its Latin-1 bytes when every character
// has one, so that keys made from such texts stay what they always were;
// otherwise the text's own bytes (UTF-8 as given), so that texts in other
// scripts stay distinct instead of all becoming the same row of '?'.
std::string KeyTextBytes(std::string_view utf8);

// One Blowfish cipher object with its registers. Not thread-safe; give each
// thread its own.
class TCipher_Blowfish {
public:
    static constexpr const char* ClassName = "TCipher_Blowfish";
    static constexpr size_t BlockSize = 8;
    static constexpr size_t MaxKeySize = 56;

    explicit TCipher_Blowfish(TCipherMode mode = cmCTS);
    ~TCipher_Blowfish();
    TCipher_Blowfish(const TCipher_Blowfish&) = delete;
    TCipher_Blowfish& operator=(const TCipher_Blowfish&) = delete;

    TCipherMode Mode() const { return mode_; }
    bool Initialized() const { return ready_; }

    // Sets the key from the bytes of a key text (already 8-bit), replacing all
    // earlier key and register state.
    void InitKey(std::string_view keyBytes);

    // Encrypts n bytes in the configured mode, advancing the feedback
    // register; source and destination may be the same buffer, n any count.
    // Throws Exception before any key was set up, and for modes other than
    // cmCTS.
    void EncryptBytes(const void* source, void* destination, size_t n);

    // The registers, for tests: start vector, feedback register, block buffer.
    const uint8_t* StartVector() const { return v_; }
    const uint8_t* Feedback() const { return f_; }
    const uint8_t* Buffer() const { return b_; }

private:
    void EncryptBlock(const uint8_t* in, uint8_t* out) const;
    void Reset();
    void EncryptCts(const void* source, void* destination, size_t n);

    struct TSchedule;
    TCipherMode mode_;
    std::unique_ptr<TSchedule> schedule_;
    uint8_t v_[8]{}, f_[8]{}, b_[8]{};
    bool ready_ = false;
};

// The cipher component of the main window: names its cipher kind and mode and
// creates the cipher object on first use, keeping it afterwards.
class TCipherManager {
public:
    std::string Cipher = TCipher_Blowfish::ClassName;
    TCipherMode Mode = cmCTS;

    // Key set-up from a UTF-8 key text (hashed as KeyTextBytes gives it).
    void InitKey(std::string_view keyText);
    // Key set-up from bytes that are already 8-bit.
    void InitKeyBytes(std::string_view keyBytes);
    void EncryptBytes(const void* source, void* destination, size_t n);

    TCipher_Blowfish& CipherObject();

private:
    std::unique_ptr<TCipher_Blowfish> cipher_;
};

// The two primitives alone, as published: RIPEMD-256 of some bytes, and the
// Blowfish encryption of one block under a raw key of 4 to 56 bytes. For
// checking against the algorithms' published test vectors.
std::vector<uint8_t> RipeMD256(std::string_view bytes);
void BlowfishEncryptBlock(const uint8_t* key, size_t keyLength, const uint8_t in[8],
                          uint8_t out[8]);

// The keystream of a key text (already 8-bit) and a length: InitKey, then the
// encryption of n zero bytes. A longer keystream of the same key text starts
// with the shorter one.
void KeystreamBytes(TCipher_Blowfish& cipher, std::string_view keyBytes, uint8_t* out, size_t n);
std::vector<uint8_t> Keystream(std::string_view keyText, size_t n); // UTF-8 key text
