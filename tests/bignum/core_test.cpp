// Word-array core against the reference arithmetic of test_support.h.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bignum/kalbrum.h"
#include "tests/bignum/test_support.h"

namespace {

using kbtest::Ref;
using kbtest::Rng;
using Words = std::vector<uint32_t>;

#include "tests/bignum/vectors.inc"

constexpr uint32_t kGuard = 0xA5A5A5A5u;

// An output array with a guard word behind it, so writes past the stated
// length are caught.
struct Out {
    Words w;
    uint32_t n;
    explicit Out(uint32_t count, uint32_t fill = 0x5A5A5A5Au) : w(count + 1, fill), n(count) { w[count] = kGuard; }
    uint32_t *p() { return w.data(); }
    Words value() const { return Words(w.begin(), w.begin() + n); }
    bool guardIntact() const { return w[n] == kGuard; }
};

TEST(BignumCore, SigWordsAndBitLen) {
    struct Row {
        Words a;
        uint32_t sig, bits;
    } rows[] = {
        {{}, 0, 0},
        {{0}, 0, 0},
        {{0, 0, 0}, 0, 0},
        {{1}, 1, 1},
        {{0x80000000u}, 1, 32},
        {{0, 1}, 2, 33},
        {{5, 0, 0}, 1, 3},
        {{0, 0, 0xFFFFFFFFu, 0}, 3, 96},
        {{0xFFFFFFFFu, 0x7FFFFFFFu}, 2, 63},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::Message() << "words " << r.a.size() << " sig " << r.sig);
        EXPECT_EQ(mpSigWords(r.a.data(), uint32_t(r.a.size())), r.sig);
        EXPECT_EQ(mpBitLen(r.a.data(), uint32_t(r.a.size())), r.bits);
    }
}

TEST(BignumCore, CmpWordsDecidesAtTheHighestDifferingWord) {
    struct Row {
        Words a, b;
        int32_t want;
    } rows[] = {
        {{}, {}, 0},
        {{7, 7}, {7, 7}, 0},
        {{0, 2}, {0xFFFFFFFFu, 1}, 1},
        {{0xFFFFFFFFu, 1}, {0, 2}, -1},
        {{1, 0}, {0, 0}, 1},
        {{3, 5, 9}, {4, 5, 9}, -1},
    };
    for (const Row &r : rows) EXPECT_EQ(mpCmpWords(r.a.data(), r.b.data(), uint32_t(r.a.size())), r.want);
}

TEST(BignumCore, SetOneAndCopyWords) {
    Out a(4, 0xFFFFFFFFu);
    mpSetOne(a.p(), 4);
    EXPECT_EQ(a.value(), (Words{1, 0, 0, 0}));
    EXPECT_TRUE(a.guardIntact());
    Out none(0);
    mpSetOne(none.p(), 0);  // no words to write
    EXPECT_TRUE(none.guardIntact());
    Out c(3);
    Words src = {9, 8, 7};
    mpCopyWords(c.p(), src.data(), 3);
    EXPECT_EQ(c.value(), src);
    EXPECT_TRUE(c.guardIntact());
}

TEST(BignumCore, ShiftsMatchReferenceInPlaceAndApart) {
    Rng rng(11);
    for (int iter = 0; iter < 400; iter++) {
        uint32_t n = rng.Below(9);
        uint32_t k = rng.Below(32);
        Words src = rng.Number(n);
        Ref x = Ref::FromWords(src);
        SCOPED_TRACE(::testing::Message() << "n=" << n << " k=" << k);

        Out left(n);
        uint32_t outL = mpShlBits(left.p(), src.data(), k, n);
        Ref wide = x.Shl(k);
        EXPECT_EQ(left.value(), wide.Mod(Ref(1).Shl(32 * n)).Words(n));
        EXPECT_EQ(outL, wide.Shr(32 * n).Words(1)[0]);
        EXPECT_TRUE(left.guardIntact());

        Out right(n);
        uint32_t outR = mpShrBits(right.p(), src.data(), k, n);
        EXPECT_EQ(right.value(), x.Shr(k).Words(n));
        EXPECT_EQ(outR, x.Mod(Ref(1).Shl(k)).Shl(32 - k).Mod(Ref(1).Shl(32)).Words(1)[0]);
        EXPECT_TRUE(right.guardIntact());

        Words inPlace = src;
        EXPECT_EQ(mpShlBits(inPlace.data(), inPlace.data(), k, n), outL);
        EXPECT_EQ(inPlace, left.value());
        inPlace = src;
        EXPECT_EQ(mpShrBits(inPlace.data(), inPlace.data(), k, n), outR);
        EXPECT_EQ(inPlace, right.value());
    }
}

TEST(BignumCore, ProductAndSquareMatchReference) {
    Rng rng(12);
    const uint32_t sizes[] = {0, 1, 2, 3, 4, 5, 7, 8, 13, 16, 31, 32, 33};
    for (uint32_t n : sizes) {
        for (int style = 0; style < Rng::kStyleCount; style++) {
            for (int rep = 0; rep < 3; rep++) {
                SCOPED_TRACE(::testing::Message() << "n=" << n << " style=" << style << " rep=" << rep);
                Words u = rng.Number(n, static_cast<Rng::Style>(style));
                Words v = rep == 0 ? rng.Number(n) : rng.Number(n, static_cast<Rng::Style>(style));
                Out w(2 * n), sq(2 * n), self(2 * n);
                EXPECT_EQ(mpMulFull(w.p(), u.data(), v.data(), n), 0);
                EXPECT_EQ(w.value(), Ref::FromWords(u).Mul(Ref::FromWords(v)).Words(2 * n));
                EXPECT_EQ(mpSqrFull(sq.p(), u.data(), n), 0);
                mpMulFull(self.p(), u.data(), u.data(), n);
                EXPECT_EQ(sq.value(), self.value());
                EXPECT_EQ(sq.value(), Ref::FromWords(u).Mul(Ref::FromWords(u)).Words(2 * n));
                EXPECT_TRUE(w.guardIntact() && sq.guardIntact() && self.guardIntact());
            }
        }
    }
}

TEST(BignumCore, WordDivisionTable) {
    struct Row {
        uint32_t u0, u1, d;
        int32_t result;
        uint32_t q, r;
    } rows[] = {
        // A divisor without its top bit is refused.
        {5, 0, 0x7FFFFFFFu, -1, 0, 0},
        {5, 0, 0, -1, 0, 0},
        // High word below the divisor: no quotient bit 32.
        {0, 0, 0x80000000u, 0, 0, 0},
        {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0, 0xFFFFFFFFu, 0x7FFFFFFFu},
        // High word at or above the divisor: bit 32 set.
        {0, 0x80000000u, 0x80000000u, 1, 0, 0},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 1, 1, 0},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0x80000000u, 1, 0xFFFFFFFFu, 0x7FFFFFFFu},
    };
    for (const Row &row : rows) {
        uint32_t u[2] = {row.u0, row.u1};
        uint32_t q = 0x1234, r = 0x5678;
        EXPECT_EQ(mpWordDiv(&q, &r, u, row.d), row.result) << row.u1 << ":" << row.u0 << " / " << row.d;
        EXPECT_EQ(q, row.q);
        EXPECT_EQ(r, row.r);
    }
}

TEST(BignumCore, WordDivisionIdentityOnRandomValues) {
    Rng rng(13);
    for (int i = 0; i < 3000; i++) {
        uint32_t u[2] = {rng.StyledWord(Rng::kMixed), rng.StyledWord(Rng::kMixed)};
        uint32_t d = rng.StyledWord(Rng::kMixed) | 0x80000000u;
        uint32_t q = 0, r = 0;
        int32_t res = mpWordDiv(&q, &r, u, d);
        ASSERT_TRUE(res == 0 || res == 1);
        // u = (res * 2^32 + q) * d + r with r < d.
        Ref lhs = Ref::FromWords(u, 2);
        Ref quot = Ref(uint64_t{q} + (uint64_t(res) << 32));
        EXPECT_EQ(Ref::Cmp(lhs, quot.Mul(Ref(d)).Add(Ref(r))), 0);
        EXPECT_LT(r, d);
    }
}

TEST(BignumCore, EstimateHighIsTheExactComparison) {
    struct Row {
        uint32_t qhat, rhat, dlow, ulow;
        bool want;
    } rows[] = {
        {0, 0, 0, 0, false},
        {1, 0, 1, 0, true},
        {1, 0, 1, 1, false},
        {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu, 0, true},         // (2^32-1)^2 > (2^32-2)*2^32
        {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu, 1, false},        // equal: not greater
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, false},
        {2, 1, 0x80000001u, 0, true},
    };
    for (const Row &r : rows) EXPECT_EQ(mpEstimateHigh(r.qhat, r.rhat, r.dlow, r.ulow), r.want);
}

TEST(BignumCore, SubMulWordMatchesReference) {
    Rng rng(14);
    for (int i = 0; i < 500; i++) {
        uint32_t n = rng.Below(9);
        uint32_t top = rng.StyledWord(Rng::kMixed), q = rng.StyledWord(Rng::kMixed);
        Words w = rng.Number(n), v = rng.Number(n);
        // (top * B^n + w - q * v) mod B^(n+1): low n words and the new top.
        Ref modulus = Ref(1).Shl(32 * (n + 1));
        Ref value = Ref(top).Shl(32 * n).Add(Ref::FromWords(w)).Add(modulus);
        value = value.Add(modulus.Mul(Ref(0xFFFFFFFFu))).Sub(Ref(q).Mul(Ref::FromWords(v))).Mod(modulus);
        Words expect = value.Words(n + 1);
        Words got = w;
        uint32_t newTop = mpSubMulWord(top, got.data(), v.data(), q, n);
        EXPECT_EQ(got, Words(expect.begin(), expect.begin() + n));
        EXPECT_EQ(newTop, expect[n]);
    }
}

TEST(BignumCore, DivByWordMatchesReference) {
    Rng rng(15);
    for (int i = 0; i < 500; i++) {
        uint32_t n = 1 + rng.Below(12);
        Words u = rng.Number(n);
        uint32_t d = rng.StyledWord(Rng::kMixed);
        if (d == 0) d = 1 + rng.Below(1000);
        Out q(n);
        uint32_t rem = mpDivByWord(q.p(), u.data(), d, n);
        Ref quot, r;
        Ref::DivMod(Ref::FromWords(u), Ref(d), &quot, &r);
        EXPECT_EQ(q.value(), quot.Words(n));
        EXPECT_EQ(rem, r.Words(1)[0]);
        EXPECT_TRUE(q.guardIntact());
    }
}

TEST(BignumCore, DivByWordRefusesZeroDivisorAndEmptyArray) {
    Words u = {1, 2, 3};
    Out q(3, 0x77777777u);
    EXPECT_EQ(mpDivByWord(q.p(), u.data(), 0, 3), 0u);
    EXPECT_EQ(q.value(), Words(3, 0x77777777u));
    EXPECT_EQ(mpDivByWord(q.p(), u.data(), 5, 0), 0u);
    EXPECT_EQ(q.value(), Words(3, 0x77777777u));
}

// Runs one long division and checks q, r, the restored divisor and the
// guard words against the reference.
void CheckDivRem(const Words &u, Words v, const char *label) {
    SCOPED_TRACE(label);
    uint32_t ud = uint32_t(u.size()), vd = uint32_t(v.size());
    const Words vBefore = v;
    Out q(ud), r(ud);
    v.push_back(kGuard);
    int32_t res = mpDivRem(q.p(), r.p(), u.data(), ud, v.data(), vd);
    EXPECT_EQ(v.back(), kGuard);
    v.pop_back();
    EXPECT_EQ(v, vBefore) << "divisor not restored";
    EXPECT_TRUE(q.guardIntact() && r.guardIntact());
    Ref divisor = Ref::FromWords(vBefore);
    if (divisor.IsZero()) {
        EXPECT_EQ(res, -1);
        EXPECT_EQ(q.value(), Words(ud, 0));
        EXPECT_EQ(r.value(), Words(ud, 0));
        return;
    }
    EXPECT_EQ(res, 0);
    Ref quot, rem;
    Ref::DivMod(Ref::FromWords(u), divisor, &quot, &rem);
    EXPECT_EQ(q.value(), quot.Words(ud));
    EXPECT_EQ(r.value(), rem.Words(ud));
}

TEST(BignumCore, DivRemEdgeCases) {
    struct Row {
        const char *label;
        Words u, v;
    } rows[] = {
        {"zero divisor", {1, 2, 3}, {0, 0}},
        {"empty divisor", {1, 2, 3}, {}},
        {"empty dividend", {}, {5}},
        {"u < v, shorter", {7}, {1, 1}},
        {"u < v, same length", {5, 1}, {6, 1}},
        {"u = v: quotient 1", {5, 9, 0}, {5, 9}},
        {"one-word divisor", {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {3, 0, 0}},
        {"one-word divisor with top bit", {1, 2, 3, 4}, {0x80000001u}},
        {"top bit already set: no shift", {0, 0, 0, 0xFFFFFFFFu}, {0xFFFFFFFFu, 0x80000000u}},
        {"divisor with high zero words", {1, 2, 3, 4, 5}, {7, 8, 0, 0, 0, 0}},
        {"dividend with high zero words", {9, 8, 7, 0, 0}, {3, 2}},
        {"exact multiple", {0, 0, 1}, {0, 1}},
    };
    for (const Row &r : rows) CheckDivRem(r.u, r.v, r.label);
}

TEST(BignumCore, DivRemReachesOverflowAndAddBackPaths) {
    // Inputs that the decision model of kbref.py shows to take the capped
    // trial quotient (with a carry out of its remainder, with a correction
    // after it, kept only thanks to its remainder, or none of these) and the
    // add-back after an over-large digit.
    bool seen[6] = {false, false, false, false, false, false};
    for (const DivisionCase &c : kPathCases) {
        Words u(c.u, c.u + c.ud), v(c.v, c.v + c.vd);
        CheckDivRem(u, v, c.label);
        std::string label = c.label;
        seen[0] |= label == "overflow";
        seen[1] |= label == "overflow, trial remainder carries";
        seen[2] |= label == "add-back, shifted divisor";
        seen[3] |= label == "add-back, divisor already normalised";
        seen[4] |= label == "overflow, then corrected";
        seen[5] |= label == "overflow, digit kept by its remainder";
    }
    for (bool s : seen) EXPECT_TRUE(s);
}

TEST(BignumCore, DivRemMatchesReferenceOnRandomSizes) {
    Rng rng(16);
    for (int i = 0; i < 600; i++) {
        uint32_t vd = rng.Below(9), ud = rng.Below(17);
        Words u = rng.Number(ud), v = rng.Number(vd);
        if (vd && rng.Below(3) == 0) v[vd - 1] |= 0x80000000u;
        CheckDivRem(u, v, "random");
    }
}

TEST(BignumCore, DivRemMatchesReferenceOnBoundaryWords) {
    // Words near the digit boundaries and of random bit length: these take
    // the capped trial quotient, the corrections and the add-back often.
    Rng rng(23);
    const Rng::Style styles[] = {Rng::kSpecial, Rng::kMixed, Rng::kShort};
    for (int i = 0; i < 3000; i++) {
        uint32_t vd = 2 + rng.Below(5), ud = vd + rng.Below(7);
        Rng::Style style = styles[rng.Below(3)];
        Words u = rng.Number(ud, style), v = rng.Number(vd, style);
        if (v[vd - 1] == 0) v[vd - 1] = 1;
        CheckDivRem(u, v, "boundary words");
    }
}

TEST(BignumCore, ReduceAndMulReduceMatchReference) {
    Rng rng(17);
    for (int i = 0; i < 200; i++) {
        uint32_t md = rng.Below(7), ud = rng.Below(13);
        Words u = rng.Number(ud), m = rng.Number(md);
        const Words mBefore = m;
        Out r(md);
        mpReduce(r.p(), u.data(), ud, m.data(), md);
        EXPECT_EQ(m, mBefore);
        EXPECT_TRUE(r.guardIntact());
        Ref mod = Ref::FromWords(m);
        EXPECT_EQ(r.value(), mod.IsZero() ? Words(md, 0) : Ref::FromWords(u).Mod(mod).Words(md));
    }
    for (int i = 0; i < 200; i++) {
        uint32_t n = 1 + rng.Below(8);
        Words x = rng.Number(n), y = rng.Number(n), m = rng.Number(n);
        Out a(n);
        mpMulReduce(a.p(), x.data(), y.data(), m.data(), n);
        EXPECT_TRUE(a.guardIntact());
        Ref mod = Ref::FromWords(m);
        EXPECT_EQ(a.value(),
                  mod.IsZero() ? Words(n, 0) : Ref::FromWords(x).Mul(Ref::FromWords(y)).Mod(mod).Words(n));
    }
}

// Expected x^e mod m over n words, with the library's conventions for e = 0
// (the value 1, not reduced) and for a zero modulus (zero remainders).
Words ExpectedPow(const Words &x, const Words &e, const Words &m, uint32_t n) {
    Ref re = Ref::FromWords(e), rm = Ref::FromWords(m);
    if (re.IsZero()) return Ref(1).Words(n);
    if (rm.IsZero()) return Words(n, 0);
    return Ref::PowMod(Ref::FromWords(x), re, rm).Words(n);
}

void CheckPow(const Words &x, const Words &e, const Words &m, const char *label) {
    SCOPED_TRACE(label);
    uint32_t n = uint32_t(x.size());
    Words want = ExpectedPow(x, e, m, n);
    Words mm = m;
    Out bits(n), window(n);
    mpPowBits(bits.p(), x.data(), e.data(), mm.data(), n);
    EXPECT_EQ(mm, m);
    mpPowWindow(window.p(), x.data(), e.data(), mm.data(), n);
    EXPECT_EQ(mm, m);
    EXPECT_EQ(bits.value(), want) << "mpPowBits";
    EXPECT_EQ(window.value(), want) << "mpPowWindow";
    EXPECT_TRUE(bits.guardIntact() && window.guardIntact());
}

TEST(BignumCore, PowEdgeCases) {
    const Words m = {0xFFFFFFC5u, 0x1234u};  // a two-word modulus
    const Words big = {0xFFFFFFFFu, 0xFFFFFFFFu};  // above m
    struct Row {
        const char *label;
        Words x, e, m;
    } rows[] = {
        {"e = 0 gives 1", {5, 0}, {0, 0}, m},
        {"e = 0 gives 1 also for m = 1", {5, 0}, {0, 0}, {1, 0}},
        {"e = 1 gives x mod m", big, {1, 0}, m},
        {"e = 1 with x below m", {7, 0}, {1, 0}, m},
        {"e = 2", big, {2, 0}, m},
        {"e = 3, square and multiply", big, {3, 0}, m},
        {"e = 65535, window of two bits", big, {65535, 0}, m},
        {"e = 65536, one bit and zeros", {3, 1}, {65536, 0}, m},
        {"e = 65537 on x >= m", big, {65537, 0}, m},
        {"m = 1 gives 0 for e >= 1", big, {65537, 0}, {1, 0}},
        {"x = 0", {0, 0}, {65537, 0}, m},
        {"zero modulus", big, {65537, 0}, {0, 0}},
    };
    for (const Row &r : rows) CheckPow(r.x, r.e, r.m, r.label);
}

TEST(BignumCore, PowWindowEqualsPowBitsForEveryWidth) {
    Rng rng(18);
    // Exponent lengths on both sides of every width threshold.
    const uint32_t lengths[] = {2, 4, 5, 15, 16, 17, 63, 64, 239, 240, 767, 768, 1023, 1024, 2047, 2048, 4095, 4096, 4097};
    for (uint32_t bits : lengths) {
        for (int rep = 0; rep < 2; rep++) {
            uint32_t n = (bits + 31) / 32 + rng.Below(2);
            Words e(n, 0);
            for (uint32_t i = 0; i + 1 < bits; i++)
                if (rep == 1 || rng.Below(2)) e[i / 32] |= 1u << (i % 32);  // rep 1: all ones
            e[(bits - 1) / 32] |= 1u << ((bits - 1) % 32);
            // Small moduli keep the reference fast at 4096-bit exponents;
            // their high zero words exercise the full-length arithmetic.
            Words m(n, 0);
            uint32_t md = 1 + rng.Below(n < 4 ? n : 4);
            for (uint32_t i = 0; i < md; i++) m[i] = rng.Word();
            if (m[md - 1] == 0) m[md - 1] = 1;
            Words x = rng.Number(n, Rng::kRandom);
            SCOPED_TRACE(::testing::Message() << "exponent bits " << bits);
            CheckPow(x, e, m, rep ? "all-ones exponent" : "random exponent");
        }
    }
}

TEST(BignumCore, PowMatchesReferenceWith1024BitModulus) {
    Rng rng(19);
    for (int i = 0; i < 3; i++) {
        Words m = rng.Number(32, Rng::kRandom);
        m[31] |= 0x80000000u;
        Words x = rng.Number(32, Rng::kRandom);
        Words e(32, 0);
        e[0] = i == 0 ? 65537u : rng.Word() | 1;
        if (i == 2) e[1] = rng.Word();  // a 64-bit exponent: width 3
        CheckPow(x, e, m, "1024-bit modulus");
    }
}

}  // namespace
