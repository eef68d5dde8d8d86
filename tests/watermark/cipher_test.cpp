#include "watermark/cipher.h"

#include "spectral/errors.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::array<uint8_t, 8> Block(const Bytes& key, std::array<uint8_t, 8> in) {
    std::array<uint8_t, 8> out{};
    BlowfishEncryptBlock(key.data(), key.size(), in.data(), out.data());
    return out;
}

std::array<uint8_t, 8> Xor(std::array<uint8_t, 8> a, const std::array<uint8_t, 8>& b) {
    for (int i = 0; i < 8; ++i) a[i] ^= b[i];
    return a;
}

// The first blocks of a keystream, worked out from the two primitives alone:
// V = E(FF..FF), block 1 = E(V), F1 = block1 ^ V, block 2 = E(F1), ...
Bytes ExpectedKeystream(const std::string& keyBytes, size_t n) {
    const Bytes key = RipeMD256(keyBytes);
    std::array<uint8_t, 8> f{};
    f.fill(0xFF);
    f = Block(key, f);
    Bytes out;
    while (out.size() < n) {
        const auto c = Block(key, f);
        for (size_t i = 0; i < 8 && out.size() < n; ++i) out.push_back(c[i]);
        f = Xor(c, f);
    }
    return out;
}

TEST(RipeMD256, PublishedVectors) {
    EXPECT_EQ(RipeMD256(""),
              Hex("02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d"));
    EXPECT_EQ(RipeMD256("abc"),
              Hex("afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"));
    EXPECT_EQ(RipeMD256("a"),
              Hex("f9333e45d857f5d90a91bab70a1eba0cfb1be4b0783c9acfcd883a9134692925"));
}

TEST(Blowfish, PublishedVectorsInTheirByteOrder) {
    struct Case {
        const char *key, *plain, *cipher;
    };
    const Case cases[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        // A longer key: the schedule cycles through all its bytes.
        {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210",
         "05044B62FA52D080"},
    };
    for (const auto& c : cases) {
        const Bytes key = Hex(c.key), plain = Hex(c.plain), expected = Hex(c.cipher);
        std::array<uint8_t, 8> in{};
        std::memcpy(in.data(), plain.data(), 8);
        const auto out = Block(key, in);
        EXPECT_EQ(Bytes(out.begin(), out.end()), expected) << "key " << c.key;
    }
}

TEST(Keystream, LengthsAroundTheBlockSize) {
    const std::string key = "(c) Pixmend Software17";
    const Bytes expected = ExpectedKeystream(key, 40);
    for (size_t n = 0; n <= 40; ++n) {
        TCipher_Blowfish cipher;
        Bytes out(n + 4, 0xEE); // guard bytes after the end must stay untouched
        std::memset(out.data(), 0, n);
        cipher.InitKey(key);
        uint8_t before[8];
        std::memcpy(before, cipher.Feedback(), 8);
        cipher.EncryptBytes(out.data(), out.data(), n);
        EXPECT_EQ(Bytes(out.begin(), out.begin() + long(n)),
                  Bytes(expected.begin(), expected.begin() + long(n)))
            << "n = " << n;
        for (size_t i = n; i < n + 4; ++i) EXPECT_EQ(out[i], 0xEE) << "n = " << n;
        if (n == 0) {
            EXPECT_EQ(0, std::memcmp(before, cipher.Feedback(), 8)) << "n = 0 moved the register";
        }
    }
}

TEST(Keystream, PartialBlockIsThePrefixOfTheNextBlock) {
    // n = 1..7: the first n bytes of E(V); n = 9: E(V) and one byte of E(E(V) ^ V).
    const Bytes key = RipeMD256("x");
    std::array<uint8_t, 8> v{};
    v.fill(0xFF);
    v = Block(key, v);
    const auto first = Block(key, v);
    const auto second = Block(key, Xor(first, v));
    for (size_t n = 1; n <= 7; ++n) {
        const Bytes ks = Keystream("x", n);
        EXPECT_EQ(ks, Bytes(first.begin(), first.begin() + long(n)));
    }
    EXPECT_EQ(Keystream("x", 8), Bytes(first.begin(), first.end()));
    Bytes nine(first.begin(), first.end());
    nine.push_back(second[0]);
    EXPECT_EQ(Keystream("x", 9), nine);
}

TEST(Keystream, InitKeyLeavesTheStartVectorInTheRegister) {
    TCipher_Blowfish cipher;
    cipher.InitKey("abc");
    std::array<uint8_t, 8> v{};
    v.fill(0xFF);
    v = Block(RipeMD256("abc"), v);
    EXPECT_EQ(0, std::memcmp(cipher.StartVector(), v.data(), 8));
    EXPECT_EQ(0, std::memcmp(cipher.Feedback(), v.data(), 8));
    // The digest's encryption moved the register; the buffer keeps where it went.
    EXPECT_NE(0, std::memcmp(cipher.Buffer(), v.data(), 8));
}

TEST(Keystream, SameKeyTwiceWithOtherWorkBetween) {
    TCipherManager manager;
    Bytes a(37, 0), b(37, 0), junk(123, 7);
    manager.InitKey("Sign0");
    manager.EncryptBytes(a.data(), a.data(), a.size());
    manager.InitKey("other key");
    manager.EncryptBytes(junk.data(), junk.data(), junk.size());
    manager.InitKey("Sign0");
    manager.EncryptBytes(b.data(), b.data(), b.size());
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, ExpectedKeystream("Sign0", 37));
}

TEST(Keystream, InPlaceEqualsSeparateBuffers) {
    const Bytes source = [] {
        Bytes s(29);
        for (size_t i = 0; i < s.size(); ++i) s[i] = uint8_t(i * 37 + 11);
        return s;
    }();
    TCipher_Blowfish cipher;
    cipher.InitKey("key");
    Bytes separate(source.size());
    cipher.EncryptBytes(source.data(), separate.data(), source.size());
    cipher.InitKey("key");
    Bytes inPlace = source;
    cipher.EncryptBytes(inPlace.data(), inPlace.data(), inPlace.size());
    EXPECT_EQ(separate, inPlace);
    EXPECT_NE(separate, source);
}

TEST(Keystream, SplitCallsContinueTheChainOnWholeBlocks) {
    // Encrypting 16 then 8 bytes equals encrypting 24 at once; the register
    // carries the chain from call to call.
    TCipher_Blowfish cipher;
    Bytes whole(24, 0), parts(24, 0);
    cipher.InitKey("k");
    cipher.EncryptBytes(whole.data(), whole.data(), 24);
    cipher.InitKey("k");
    cipher.EncryptBytes(parts.data(), parts.data(), 16);
    cipher.EncryptBytes(parts.data() + 16, parts.data() + 16, 8);
    EXPECT_EQ(whole, parts);
}

TEST(Keystream, KeyTextsAreCaseSensitiveBytes) {
    const Bytes lower = Keystream("pixmend", 16), upper = Keystream("PIXMEND", 16);
    EXPECT_NE(lower, upper);
    size_t same = 0;
    for (size_t i = 0; i < 16; ++i) same += lower[i] == upper[i];
    EXPECT_LT(same, 4u);
    // The empty key text is valid and has its own keystream.
    EXPECT_EQ(Keystream("", 16), ExpectedKeystream("", 16));
}

TEST(Keystream, LongerKeystreamsExtendShorterOnes) {
    const Bytes longOne = Keystream("row", 1001);
    for (size_t n : {size_t(1), size_t(2), size_t(3), size_t(500), size_t(1000)})
        EXPECT_EQ(Keystream("row", n), Bytes(longOne.begin(), longOne.begin() + long(n)));
}

TEST(Latin1, KeyTextsAreHashedAsLatin1Bytes) {
    EXPECT_EQ(ToLatin1("(c) Pixmend"), "(c) Pixmend");
    EXPECT_EQ(ToLatin1("\xC2\xA9 M\xC3\xBCller"), "\xA9 M\xFCller");
    EXPECT_EQ(ToLatin1("\xE2\x82\xAC 5"), "? 5");   // the euro sign is not Latin-1
    EXPECT_EQ(ToLatin1("\xF0\x9F\x98\x80!"), "?!"); // nor is anything beyond the BMP
    EXPECT_EQ(ToLatin1("a\xFC"
                       "b"),
              "a?b");                     // a Latin-1 byte is not UTF-8
    EXPECT_EQ(ToLatin1("\xC0\xAF"), "?"); // overlong
    EXPECT_EQ(ToLatin1("\xC3"), "?");     // cut off
    EXPECT_EQ(Keystream("M\xC3\xBCller", 8), ExpectedKeystream("M\xFCller", 8));
}

TEST(CipherErrors, EncryptBeforeKeySetup) {
    TCipherManager manager;
    uint8_t buf[8] = {};
    try {
        manager.EncryptBytes(buf, buf, 8);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(),
                     "TCipher_Blowfish is not initialized call Init() or InitKey() before.");
    }
    TCipher_Blowfish cipher;
    EXPECT_THROW(cipher.EncryptBytes(buf, buf, 0), Exception);
}

TEST(CipherErrors, OnlyTheChainingModeInUseRuns) {
    EXPECT_EQ(int(cmCTS), 0);
    EXPECT_EQ(int(cmCFBMAC), 7);
    TCipher_Blowfish cipher(cmCBC);
    cipher.InitKey("k");
    uint8_t buf[8] = {};
    EXPECT_THROW(cipher.EncryptBytes(buf, buf, 8), Exception);
    TCipherManager manager;
    EXPECT_EQ(manager.Cipher, "TCipher_Blowfish");
    EXPECT_EQ(manager.Mode, cmCTS);
}

} // namespace
