// BlockDigest and XXTEA against the worked values and the values of the
// independent Python implementation (vectors.inc, from kbref.py).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bignum/block_digest.h"
#include "tests/bignum/test_support.h"

namespace {

#include "tests/bignum/vectors.inc"

std::string DigestHex(const unsigned char *data, uint32_t len) {
    unsigned char out[16];
    EXPECT_EQ(BlockDigest(out, data, len), 16);
    return kbtest::Hex(out, 16);
}

std::vector<unsigned char> Pattern(uint32_t length) {
    std::vector<unsigned char> m(length);
    for (uint32_t i = 0; i < length; i++) m[i] = static_cast<unsigned char>((i * 167 + 13) & 0xFF);
    return m;
}

TEST(BignumDigest, WorkedValues) {
    EXPECT_EQ(DigestHex(nullptr, 0), "ee5abb2ab1f62242dcc4b28913290305");
    const unsigned char abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(DigestHex(abc, 3), "c32e9c54b462a6fe69ce1b279e9c8a4c");
}

TEST(BignumDigest, MatchesReferenceAtBlockBoundariesAndLargeSizes) {
    // Lengths 15, 16 and 17 put the end marker in the last message block, in
    // an extra block and in a block after a full one.
    for (const DigestVector &v : kDigestVectors) {
        std::vector<unsigned char> m = Pattern(v.length);
        EXPECT_EQ(DigestHex(m.empty() ? nullptr : m.data(), v.length), v.digest) << "length " << v.length;
    }
}

TEST(BignumDigest, AbsentDataIsTheEmptyMessage) {
    EXPECT_EQ(DigestHex(nullptr, 17), "ee5abb2ab1f62242dcc4b28913290305");
    EXPECT_EQ(DigestHex(nullptr, 0xFFFFFFFFu), "ee5abb2ab1f62242dcc4b28913290305");
    const unsigned char one = 0;
    EXPECT_EQ(DigestHex(&one, 0), "ee5abb2ab1f62242dcc4b28913290305");
}

TEST(BignumDigest, EveryByteAndTheLengthCount) {
    // A changed byte anywhere, or a trailing zero byte, changes the digest.
    std::vector<unsigned char> m = Pattern(40);
    const std::string base = DigestHex(m.data(), 40);
    for (uint32_t i = 0; i < 40; i++) {
        std::vector<unsigned char> c = m;
        c[i] ^= 0x01;
        EXPECT_NE(DigestHex(c.data(), 40), base) << "byte " << i;
    }
    std::vector<unsigned char> longer = m;
    longer.push_back(0);
    EXPECT_NE(DigestHex(longer.data(), 41), base);
}

TEST(BignumDigest, XxteaMatchesReference) {
    for (const XxteaVector &v : kXxteaVectors) {
        uint32_t block[4] = {v.v[0], v.v[1], v.v[2], v.v[3]};
        EXPECT_EQ(XxteaEncrypt4(block, v.k), 0);
        for (int i = 0; i < 4; i++) EXPECT_EQ(block[i], v.out[i]) << "word " << i;
    }
}

}  // namespace
