// Number objects and the byte and hexadecimal conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bignum/kalbrum.h"
#include "tests/bignum/test_support.h"

namespace {

using kbtest::Ref;
using kbtest::Rng;
using Words = std::vector<uint32_t>;

// used <= capacity, capacity >= 1, and every word above used is zero.
::testing::AssertionResult InvariantsHold(const KbNumber *b) {
    if (!b->words) return ::testing::AssertionFailure() << "no word array";
    if (b->capacity < 1 || b->used > b->capacity)
        return ::testing::AssertionFailure() << "used " << b->used << " capacity " << b->capacity;
    if (b->used && b->words[b->used - 1] == 0) return ::testing::AssertionFailure() << "used counts a zero top word";
    for (uint32_t i = b->used; i < b->capacity; i++)
        if (b->words[i] != 0) return ::testing::AssertionFailure() << "word " << i << " above used is not zero";
    return ::testing::AssertionSuccess();
}

Ref ValueOf(const KbNumber *b) { return Ref::FromWords(b->words, b->capacity); }

TEST(BignumObjects, NewNumberIsZeroWithOneWord) {
    KbNumber *b = kbNew();
    EXPECT_EQ(b->used, 0u);
    EXPECT_EQ(b->capacity, 1u);
    EXPECT_EQ(b->words[0], 0u);
    kbRelease(b);
}

TEST(BignumObjects, LoadHexSkipsNonDigitsAndIgnoresCase) {
    struct Row {
        const char *text;
        uint64_t value;
        uint32_t capacity;
    } rows[] = {
        {"AB", 171, 1},       {"ab", 171, 1},          {"0aB", 171, 1},       {"A B", 171, 1},
        {"A:B", 171, 1},      {"0x0AB", 171, 1},       {"abc", 2748, 1},      {"", 0, 1},
        {"xyz", 0, 1},        {"00000000000", 0, 2},   {"ffffffff", 0xFFFFFFFFu, 1},
        {"1 0000 0000", 0x100000000ull, 2},            {"DeadBeefCafe", 0xDEADBEEFCAFEull, 2},
        // Non-digits still count in the length: the array is only larger.
        {"-1-2-3-4-5-6-7-8-9", 0x123456789ull, 3},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        KbNumber *b = kbNew();
        kbLoadHex(b, r.text);
        EXPECT_TRUE(InvariantsHold(b));
        EXPECT_EQ(Ref::Cmp(ValueOf(b), Ref(r.value)), 0);
        EXPECT_EQ(b->used, r.value == 0 ? 0u : r.value > 0xFFFFFFFFu ? 2u : 1u);
        EXPECT_EQ(b->capacity, r.capacity);
        kbRelease(b);
    }
}

TEST(BignumObjects, LoadHexOfLongTextMatchesReference) {
    Rng rng(21);
    const char digits[] = "0123456789abcdefABCDEF";
    for (int i = 0; i < 60; i++) {
        std::string text;
        uint32_t len = rng.Below(600);
        Ref want;
        for (uint32_t k = 0; k < len; k++) {
            char c = rng.Below(8) == 0 ? " :x-"[rng.Below(4)] : digits[rng.Below(22)];
            text += c;
            int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                     : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (d >= 0) want = want.Shl(4).Add(Ref(uint64_t(d)));
        }
        KbNumber *b = kbNew();
        kbLoadHex(b, text.c_str());
        EXPECT_TRUE(InvariantsHold(b));
        EXPECT_EQ(Ref::Cmp(ValueOf(b), want), 0) << text;
        EXPECT_EQ(b->capacity, std::max<uint32_t>(1, ((len + 1) / 2 + 3) / 4));
        // Loading a short value into the same, larger object clears the rest.
        kbLoadHex(b, "7");
        EXPECT_TRUE(InvariantsHold(b));
        EXPECT_EQ(Ref::Cmp(ValueOf(b), Ref(7)), 0);
        kbRelease(b);
    }
}

TEST(BignumObjects, StoreOctetsOfZeroWritesOneByteCountAndZeros) {
    KbNumber *b = kbNew();
    kbLoadHex(b, "");
    EXPECT_EQ(b->used, 0u);
    unsigned char out[128];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(kbStoreOctets(b, out), 1u);
    for (unsigned char c : out) EXPECT_EQ(c, 0);
    EXPECT_EQ(kbStoreOctets(b, nullptr), 1u);  // count only
    kbRelease(b);
}

TEST(BignumObjects, StoreOctetsWritesBigEndianBlock) {
    KbNumber *b = kbNew();
    kbLoadHex(b, "0102030405");
    unsigned char out[128];
    EXPECT_EQ(kbStoreOctets(b, out), 5u);
    for (int i = 0; i < 123; i++) EXPECT_EQ(out[i], 0) << i;
    EXPECT_EQ(kbtest::Hex(out + 123, 5), "0102030405");
    kbRelease(b);
}

TEST(BignumObjects, ToOctetsKeepsTheLow128BytesOfALongerNumber) {
    Words w(40);
    for (uint32_t i = 0; i < 40; i++) w[i] = 0x01010101u * (i + 1);
    unsigned char out[129];
    out[128] = 0xA5;
    EXPECT_EQ(mpToOctets(w.data(), 40, out), 160u);
    EXPECT_EQ(out[128], 0xA5);
    // Byte 127 is the lowest byte of word 0, byte 0 the top byte of word 31.
    EXPECT_EQ(out[127], 0x01);
    EXPECT_EQ(out[0], 32);
    Ref low = Ref::FromWords(w.data(), 32);
    EXPECT_EQ(Ref::Cmp(Ref::FromBytes(out, 128), low), 0);
    // Zero length: 128 zero bytes.
    std::memset(out, 0xEE, 128);
    EXPECT_EQ(mpToOctets(w.data(), 0, out), 0u);
    for (int i = 0; i < 128; i++) EXPECT_EQ(out[i], 0);
}

TEST(BignumObjects, FromOctetsTable) {
    struct Row {
        const char *hex;
        uint32_t nw;
        uint32_t written;
        Words words;
    } rows[] = {
        {"", 3, 0, {0, 0, 0}},
        {"01", 0, 0, {}},
        {"010001", 1, 1, {65537}},
        {"0102030405", 3, 2, {0x02030405u, 0x01, 0}},
        {"0102030405", 1, 1, {0x02030405u}},  // top byte dropped
        {"00000000", 2, 1, {0, 0}},
        {"ffffffffffffffff", 2, 2, {0xFFFFFFFFu, 0xFFFFFFFFu}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.hex);
        std::vector<unsigned char> bytes = kbtest::FromHex(r.hex);
        Words w(r.nw + 1, 0x5A5A5A5Au);
        EXPECT_EQ(mpFromOctets(w.data(), r.nw, bytes.data(), uint32_t(bytes.size())), r.written);
        EXPECT_EQ(Words(w.begin(), w.begin() + r.nw), r.words);
        EXPECT_EQ(w[r.nw], 0x5A5A5A5Au);
    }
}

TEST(BignumObjects, LoadOctetsSetsUsed) {
    KbNumber *e = kbNew();
    const unsigned char exp[3] = {0x01, 0x00, 0x01};
    kbLoadOctets(e, exp, 3, 1);
    EXPECT_EQ(e->used, 1u);
    EXPECT_EQ(e->words[0], 65537u);
    kbRelease(e);

    KbNumber *n = kbNew();
    unsigned char mod[128];
    for (int i = 0; i < 128; i++) mod[i] = static_cast<unsigned char>(0x80 + i);
    kbLoadOctets(n, mod, 128, 32);
    EXPECT_EQ(n->used, 32u);
    EXPECT_TRUE(InvariantsHold(n));
    EXPECT_EQ(Ref::Cmp(ValueOf(n), Ref::FromBytes(mod, 128)), 0);
    // A smaller value afterwards leaves no trace of the old one.
    kbLoadOctets(n, exp, 3, 1);
    EXPECT_EQ(n->used, 1u);
    EXPECT_TRUE(InvariantsHold(n));
    kbRelease(n);
}

TEST(BignumObjects, ResizeShrinksInPlaceAndGrowsByExactAmounts) {
    kbtest::WatchAllocations();
    KbNumber *b = kbNew();
    kbLoadHex(b, "0123456789abcdef0123456789abcdef01");  // 34 digits: 5 words
    EXPECT_EQ(b->capacity, 5u);
    EXPECT_EQ(b->used, 5u);
    size_t before = kbtest::g_watch.allocations;

    EXPECT_EQ(kb_resize(b, 2), 0);
    EXPECT_EQ(b->used, 2u);
    EXPECT_EQ(b->capacity, 5u);
    EXPECT_TRUE(InvariantsHold(b));
    EXPECT_EQ(b->words[0], 0xabcdef01u);
    EXPECT_EQ(b->words[1], 0x23456789u);

    EXPECT_EQ(kb_resize(b, 5), 0);  // back to the old capacity: no allocation
    EXPECT_EQ(kbtest::g_watch.allocations, before);
    EXPECT_EQ(b->used, 2u);
    EXPECT_TRUE(InvariantsHold(b));

    EXPECT_EQ(kb_resize(b, 9), 0);  // growth allocates exactly 9 words
    EXPECT_EQ(kbtest::g_watch.allocations, before + 1);
    EXPECT_EQ(b->capacity, 9u);
    EXPECT_EQ(b->used, 2u);
    EXPECT_TRUE(InvariantsHold(b));  // the new words are cleared (the allocator filled them)
    EXPECT_EQ(b->words[1], 0x23456789u);
    EXPECT_EQ(kbtest::g_watch.lastReleasedBytes, 5 * sizeof(uint32_t));  // old array released

    kbRelease(b);
    EXPECT_EQ(kbtest::g_watch.liveCount, 0u);
    kbtest::StopWatching();
}

TEST(BignumObjects, PowModMatchesReference) {
    Rng rng(22);
    for (int i = 0; i < 60; i++) {
        KbNumber *x = kbNew(), *e = kbNew(), *m = kbNew(), *y = kbNew();
        std::vector<unsigned char> xb(rng.Below(40)), eb(rng.Below(6)), mb(1 + rng.Below(40));
        for (auto &c : xb) c = static_cast<unsigned char>(rng.Word());
        for (auto &c : eb) c = static_cast<unsigned char>(rng.Word());
        for (auto &c : mb) c = static_cast<unsigned char>(rng.Word());
        mb[0] |= 1;
        kbLoadOctets(x, xb.data(), uint32_t(xb.size()), uint32_t((xb.size() + 3) / 4));
        kbLoadOctets(e, eb.data(), uint32_t(eb.size()), uint32_t((eb.size() + 3) / 4));
        kbLoadOctets(m, mb.data(), uint32_t(mb.size()), uint32_t((mb.size() + 3) / 4));
        Ref rx = ValueOf(x), re = ValueOf(e), rm = ValueOf(m);
        kbPowMod(y, x, e, m);
        EXPECT_TRUE(InvariantsHold(y));
        EXPECT_TRUE(InvariantsHold(x) && InvariantsHold(e) && InvariantsHold(m));
        // The operands keep their values.
        EXPECT_EQ(Ref::Cmp(ValueOf(x), rx), 0);
        EXPECT_EQ(Ref::Cmp(ValueOf(e), re), 0);
        EXPECT_EQ(Ref::Cmp(ValueOf(m), rm), 0);
        Ref want = re.IsZero() ? Ref(1) : Ref::PowMod(rx, re, rm);
        EXPECT_EQ(Ref::Cmp(ValueOf(y), want), 0);
        kbRelease(x);
        kbRelease(e);
        kbRelease(m);
        kbRelease(y);
    }
}

TEST(BignumObjects, PowModOfAllZeroOperandsKeepsTheInvariant) {
    KbNumber *x = kbNew(), *e = kbNew(), *m = kbNew(), *y = kbNew();
    kbPowMod(y, x, e, m);  // no words at all: nothing to hold the value 1
    EXPECT_TRUE(InvariantsHold(y));
    EXPECT_EQ(y->used, 0u);
    kbRelease(x);
    kbRelease(e);
    kbRelease(m);
    kbRelease(y);
}

}  // namespace
