// VerifySignature against signatures made by OpenSSL (vectors.inc).
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "bignum/signature.h"
#include "tests/bignum/test_support.h"

namespace {

#include "tests/bignum/vectors.inc"

std::string Upper(std::string s) {
    for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Spaced(const std::string &s, const char *sep) {
    std::string out;
    for (size_t i = 0; i < s.size(); i += 2) {
        if (i) out += sep;
        out += s.substr(i, 2);
    }
    return out;
}

int32_t Verify(const std::string &sig, const unsigned char *digest = kSignedDigest,
               const unsigned char *key = kTestKey) {
    return VerifySignatureWithKey(sig.c_str(), digest, key);
}

TEST(BignumSignature, AcceptsOpensslSignatureInEveryWriting) {
    const std::string sig = kSignatureHex;
    struct Row {
        const char *label;
        std::string text;
    } rows[] = {
        {"lower case", sig},
        {"upper case", Upper(sig)},
        {"spaces between pairs", Spaced(sig, " ")},
        {"colons between pairs", Spaced(Upper(sig), ":")},
        {"leading zero digits", "0000000000" + sig},
        {"line break and 0x prefix", "0x" + sig.substr(0, 100) + "\r\n" + sig.substr(100)},
        {"s + n", kSignaturePlusN},
        {"s + 2^200 n, longer than 256 digits", kSignaturePlusBigN},
    };
    for (const Row &r : rows) EXPECT_EQ(Verify(r.text), 0) << r.label;
}

TEST(BignumSignature, IgnoresFillerAndAlgorithmIdentifierBytes) {
    EXPECT_EQ(Verify(kOddFillerHex), 0);
    EXPECT_EQ(Verify(kOddAlgorithmHex), 0);
}

TEST(BignumSignature, RejectsEachChangedHeaderByte) {
    size_t count = 0;
    for (const HeaderFault &f : kHeaderFaults) {
        EXPECT_EQ(Verify(f.sig), 1) << "header byte " << f.pos;
        count++;
    }
    EXPECT_EQ(count, 13u);
}

TEST(BignumSignature, RejectsEachChangedDigestByte) {
    for (int i = 0; i < 16; i++) {
        for (unsigned char flip : {0x01, 0x80, 0xFF}) {
            unsigned char d[16];
            std::memcpy(d, kSignedDigest, 16);
            d[i] ^= flip;
            EXPECT_EQ(Verify(kSignatureHex, d), 1) << "digest byte " << i;
        }
    }
}

TEST(BignumSignature, RejectsDamagedAndForeignSignatures) {
    const std::string sig = kSignatureHex;
    std::string flipped = sig;
    flipped[200] = flipped[200] == '0' ? '1' : '0';
    struct Row {
        const char *label;
        std::string text;
        const unsigned char *key;
    } rows[] = {
        {"empty", "", kTestKey},
        {"no hexadecimal digit", "xyz; -", kTestKey},
        {"cut by two digits", sig.substr(0, 254), kTestKey},
        {"cut to half", sig.substr(0, 128), kTestKey},
        {"one digit changed", flipped, kTestKey},
        {"an extra digit", sig + "0", kTestKey},
        {"another key", sig, kOtherKey},
        {"the modulus itself (s = n gives 0)", kbtest::Hex(kTestKey, 128), kTestKey},
    };
    for (const Row &r : rows) EXPECT_EQ(Verify(r.text, kSignedDigest, r.key), 1) << r.label;
    EXPECT_EQ(VerifySignatureWithKey(nullptr, kSignedDigest, kTestKey), 1);
}

TEST(BignumSignature, BuiltInKeyChecksDevelopmentSignatures) {
    if (std::memcmp(HorlixPublicKey, kDevKey, sizeof kDevKey) != 0)
        GTEST_SKIP() << "this tree is built with another public key (HORLIX_PUBLIC_KEY_FILE)";
    EXPECT_EQ(VerifySignature(kDevSignatureHex, kSignedDigest), 0);
    unsigned char d[16];
    std::memcpy(d, kSignedDigest, 16);
    d[15] ^= 1;
    EXPECT_EQ(VerifySignature(kDevSignatureHex, d), 1);
    EXPECT_EQ(VerifySignature(kSignatureHex, kSignedDigest), 1);  // other key's signature
}

TEST(BignumSignature, BuiltInKeyIsA1024BitModulusAndExponent65537) {
    EXPECT_GE(HorlixPublicKey[0], 0x80);
    EXPECT_EQ(HorlixPublicKey[128], 0x01);
    EXPECT_EQ(HorlixPublicKey[129], 0x00);
    EXPECT_EQ(HorlixPublicKey[130], 0x01);
}

}  // namespace
