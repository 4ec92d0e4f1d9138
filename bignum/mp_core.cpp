// Word-array arithmetic up to modular exponentiation.
//
// Numbers are arrays of 32-bit words, least significant first, with their
// length passed beside them; high zero words are allowed everywhere. Word
// products and two-word divisions use 64-bit intermediates, which give the
// exact results the half-word formulation would. Reduction is plain long
// division after every product.
#include "bignum/kalbrum.h"

const uint32_t mpWindowThresholds[8] = {5, 16, 64, 240, 768, 1024, 2048, 4096};

namespace {

constexpr uint32_t kTopBit = 0x80000000u;

inline uint32_t LeadingZeros(uint32_t w) {
    // w != 0 for every caller.
    uint32_t s = 0;
    while (!(w & kTopBit)) {
        w <<= 1;
        s++;
    }
    return s;
}

inline void ZeroWords(uint32_t *a, uint32_t n) {
    for (uint32_t i = 0; i < n; i++) a[i] = 0;
}

}  // namespace

uint32_t mpSigWords(const uint32_t *a, uint32_t n) {
    while (n > 0 && a[n - 1] == 0) n--;
    return n;
}

uint32_t mpBitLen(const uint32_t *a, uint32_t n) {
    uint32_t sig = mpSigWords(a, n);
    if (sig == 0) return 0;
    return 32 * sig - LeadingZeros(a[sig - 1]);
}

void mpCopyWords(uint32_t *dst, const uint32_t *src, uint32_t n) {
    for (uint32_t i = 0; i < n; i++) dst[i] = src[i];
}

void mpSetOne(uint32_t *a, uint32_t n) {
    if (n == 0) return;
    a[0] = 1;
    for (uint32_t i = 1; i < n; i++) a[i] = 0;
}

int32_t mpCmpWords(const uint32_t *a, const uint32_t *b, uint32_t n) {
    for (uint32_t i = n; i > 0; i--) {
        if (a[i - 1] != b[i - 1]) return a[i - 1] > b[i - 1] ? 1 : -1;
    }
    return 0;
}

uint32_t mpShlBits(uint32_t *dst, const uint32_t *src, uint32_t k, uint32_t n) {
    if (k >= 32) {
        ZeroWords(dst, n);
        return 0;
    }
    if (k == 0) {
        if (dst != src) mpCopyWords(dst, src, n);
        return 0;
    }
    if (n == 0) return 0;
    // Top word first, so an in-place shift reads each word before it is
    // overwritten.
    uint32_t out = src[n - 1] >> (32 - k);
    for (uint32_t i = n - 1; i > 0; i--) dst[i] = (src[i] << k) | (src[i - 1] >> (32 - k));
    dst[0] = src[0] << k;
    return out;
}

uint32_t mpShrBits(uint32_t *dst, const uint32_t *src, uint32_t k, uint32_t n) {
    if (k >= 32) {
        ZeroWords(dst, n);
        return 0;
    }
    if (k == 0) {
        if (dst != src) mpCopyWords(dst, src, n);
        return 0;
    }
    if (n == 0) return 0;
    uint32_t out = src[0] << (32 - k);
    for (uint32_t i = 0; i + 1 < n; i++) dst[i] = (src[i] >> k) | (src[i + 1] << (32 - k));
    dst[n - 1] = src[n - 1] >> k;
    return out;
}

int32_t mpMulFull(uint32_t *w, const uint32_t *u, const uint32_t *v, uint32_t n) {
    ZeroWords(w, 2 * n);
    for (uint32_t j = 0; j < n; j++) {
        uint32_t vj = v[j];
        if (vj == 0) {
            w[j + n] = 0;
            continue;
        }
        uint32_t *row = w + j;
        uint64_t carry = 0;
        for (uint32_t i = 0; i < n; i++) {
            uint64_t t = uint64_t{u[i]} * vj + row[i] + carry;
            row[i] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        w[j + n] = static_cast<uint32_t>(carry);
    }
    return 0;
}

// Squaring: the sum of the cross products x[i] * x[j] (i < j) is formed once,
// row by row as in the schoolbook product, then doubled by a one-bit shift
// while the diagonal squares x[i]^2 are added into words 2i and 2i+1. About
// half the word products of mpMulFull, with every carry exact: the doubled
// sum plus the squares is x^2 < 2^(64n), so nothing leaves the 2n words.
int32_t mpSqrFull(uint32_t *w, const uint32_t *x, uint32_t n) {
    ZeroWords(w, 2 * n);
    if (n == 0) return 0;
    for (uint32_t i = 0; i + 1 < n; i++) {
        uint32_t xi = x[i];
        if (xi == 0) continue;  // w[i + n] is still zero from above
        uint32_t *row = w + i;
        uint64_t carry = 0;
        for (uint32_t j = i + 1; j < n; j++) {
            uint64_t t = uint64_t{xi} * x[j] + row[j] + carry;
            row[j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        w[i + n] = static_cast<uint32_t>(carry);
    }
    uint32_t shiftIn = 0;  // bit carried into the doubling from below
    uint64_t carry = 0;    // carry of the running addition of the squares
    for (uint32_t i = 0; i < n; i++) {
        uint64_t sq = uint64_t{x[i]} * x[i];
        uint32_t lo = w[2 * i];
        uint32_t hi = w[2 * i + 1];
        uint32_t dlo = (lo << 1) | shiftIn;
        uint32_t dhi = (hi << 1) | (lo >> 31);
        shiftIn = hi >> 31;
        uint64_t t = uint64_t{dlo} + static_cast<uint32_t>(sq) + carry;
        w[2 * i] = static_cast<uint32_t>(t);
        t = uint64_t{dhi} + (sq >> 32) + (t >> 32);
        w[2 * i + 1] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    return 0;
}

int32_t mpWordDiv(uint32_t *q, uint32_t *r, const uint32_t u[2], uint32_t d) {
    if (!(d & kTopBit)) {
        *q = 0;
        *r = 0;
        return -1;
    }
    uint32_t high = u[1];
    int32_t result = 0;
    if (high >= d) {
        result = 1;
        high -= d;
    }
    // high < d now, so the quotient of the two words fits one word.
    uint64_t num = (uint64_t{high} << 32) | u[0];
    *q = static_cast<uint32_t>(num / d);
    *r = static_cast<uint32_t>(num % d);
    return result;
}

bool mpEstimateHigh(uint32_t qhat, uint32_t rhat, uint32_t dlow, uint32_t ulow) {
    return uint64_t{qhat} * dlow > ((uint64_t{rhat} << 32) | ulow);
}

uint32_t mpSubMulWord(uint32_t top, uint32_t *w, const uint32_t *v, uint32_t q, uint32_t n) {
    // borrow stays below 2^32: q * v[i] + borrow <= 2^32 * (2^32 - 1), and
    // when its high word is all ones its low word is 0, so no extra 1 follows.
    uint32_t borrow = 0;
    for (uint32_t i = 0; i < n; i++) {
        uint64_t p = uint64_t{q} * v[i] + borrow;
        uint32_t lo = static_cast<uint32_t>(p);
        uint32_t wi = w[i];
        w[i] = wi - lo;
        borrow = static_cast<uint32_t>(p >> 32) + (wi < lo ? 1u : 0u);
    }
    return top - borrow;
}

uint32_t mpDivByWord(uint32_t *q, const uint32_t *u, uint32_t d, uint32_t n) {
    if (n == 0 || d == 0) return 0;
    uint32_t s = LeadingZeros(d);
    uint32_t dn = d << s;
    uint32_t t = mpShlBits(q, u, s, n);
    for (uint32_t j = n; j > 0; j--) {
        uint32_t pair[2] = {q[j - 1], t};
        uint32_t qj = 0;
        // t < dn throughout, so the division never overflows.
        mpWordDiv(&qj, &t, pair, dn);
        q[j - 1] = qj;
    }
    return t >> s;
}

// Long division, Knuth's Algorithm D with 32-bit digits.
int32_t mpDivRem(uint32_t *q, uint32_t *r, const uint32_t *u, uint32_t ud,
                 uint32_t *v, uint32_t vd) {
    ZeroWords(q, ud);
    ZeroWords(r, ud);
    uint32_t n = mpSigWords(v, vd);
    uint32_t m = mpSigWords(u, ud);
    if (n == 0) return -1;
    if (n == 1) {
        // With no dividend words there is no room for a remainder word either.
        if (ud > 0) r[0] = mpDivByWord(q, u, v[0], ud);
        return 0;
    }
    if (m < n) {
        mpCopyWords(r, u, ud);
        return 0;
    }
    if (m == n) {
        int32_t c = mpCmpWords(u, v, n);
        if (c < 0) {
            mpCopyWords(r, u, ud);
            return 0;
        }
        if (c == 0) {
            mpSetOne(q, ud);
            return 0;
        }
    }

    // Normalise so that the divisor's top word has its high bit set; the
    // trial quotient from the top two remainder words is then at most two
    // too large, and the correction step below brings that down to one.
    uint32_t s = LeadingZeros(v[n - 1]);
    mpShlBits(v, v, s, n);
    uint32_t t = mpShlBits(r, u, s, m);
    const uint32_t vTop = v[n - 1];
    const uint32_t vNext = v[n - 2];

    for (uint32_t j = m - n + 1; j > 0;) {
        j--;
        uint32_t *window = r + j;  // current n-word window, t above it
        uint32_t qhat = 0;
        uint32_t rhat = 0;
        bool rhatCarried = false;
        uint32_t pair[2] = {window[n - 1], t};
        if (mpWordDiv(&qhat, &rhat, pair, vTop) == 1) {
            // t equals the divisor's top word: the trial digit is capped at
            // all ones, and its remainder is t * 2^32 + r - (2^32 - 1) * vTop.
            qhat = 0xFFFFFFFFu;
            rhat = window[n - 1] + vTop;
            rhatCarried = rhat < vTop;
        }
        if (qhat != 0 && !rhatCarried) {
            if (mpEstimateHigh(qhat, rhat, vNext, window[n - 2])) {
                qhat--;
                uint32_t sum = rhat + vTop;
                if (sum >= rhat && mpEstimateHigh(qhat, sum, vNext, window[n - 2])) qhat--;
            }
        }
        uint32_t top = mpSubMulWord(t, window, v, qhat, n);
        q[j] = qhat;
        if (top != 0) {
            // The digit was one too large: the window went below zero.
            q[j] = qhat - 1;
            uint64_t carry = 0;
            for (uint32_t i = 0; i < n; i++) {
                uint64_t sum = uint64_t{window[i]} + v[i] + carry;
                window[i] = static_cast<uint32_t>(sum);
                carry = sum >> 32;
            }
        }
        t = window[n - 1];
    }

    if (n < m) ZeroWords(r + n, m - n);
    mpShrBits(r, r, s, n);
    mpShrBits(v, v, s, n);
    return 0;
}

void mpReduce(uint32_t *r, const uint32_t *u, uint32_t ud, uint32_t *m, uint32_t md) {
    uint32_t rd = ud > md ? ud : md;
    uint32_t *qs = mpAlloc(ud);
    uint32_t *rs = mpAlloc(rd);
    mpDivRem(qs, rs, u, ud, m, md);
    mpCopyWords(r, rs, md);
    mpWipeFree(qs, ud);
    mpWipeFree(rs, rd);
}

void mpMulReduce(uint32_t *a, const uint32_t *x, const uint32_t *y, uint32_t *m, uint32_t n) {
    uint32_t *t = mpAlloc(2 * n);
    mpMulFull(t, x, y, n);
    mpReduce(a, t, 2 * n, m, n);
    mpWipeFree(t, 2 * n);
}

// Left-to-right binary method: one squaring per exponent bit below the top
// one and one multiplication per set bit, each followed by a reduction.
void mpPowBits(uint32_t *y, const uint32_t *x, const uint32_t *e, uint32_t *m, uint32_t n) {
    const uint32_t n2 = 2 * n;
    uint32_t *T = mpAlloc(n2);
    uint32_t *Q = mpAlloc(n2);
    uint32_t *A = mpAlloc(n2);
    uint32_t top = mpSigWords(e, n);
    if (top == 0) {
        mpSetOne(A, n);
    } else {
        uint32_t word = top - 1;
        uint32_t bit = 31 - LeadingZeros(e[word]);
        if (word == 0 && bit == 0) {
            // e = 1 takes no squaring, so reduce x here: the result is
            // below m for every exponent except 0.
            mpDivRem(Q, A, x, n, m, n);
        } else {
            mpCopyWords(A, x, n);
        }
        for (;;) {
            if (bit == 0) {
                if (word == 0) break;
                word--;
                bit = 31;
            } else {
                bit--;
            }
            mpSqrFull(T, A, n);
            mpDivRem(Q, A, T, n2, m, n);
            if ((e[word] >> bit) & 1u) {
                mpMulFull(T, A, x, n);
                mpDivRem(Q, A, T, n2, m, n);
            }
        }
    }
    mpCopyWords(y, A, n);
    mpWipeFree(T, n2);
    mpWipeFree(Q, n2);
    mpWipeFree(A, n2);
}

namespace {

inline uint32_t ExponentBit(const uint32_t *e, uint32_t index) {
    return (e[index / 32] >> (index % 32)) & 1u;
}

}  // namespace

// Left-to-right sliding window over the exponent bits with a table of the
// odd powers x, x^3, ..., x^(2^w - 1). The window width grows with the
// exponent length (mpWindowThresholds); the first window copies its table
// entry instead of multiplying the value 1 by it.
void mpPowWindow(uint32_t *y, const uint32_t *x, const uint32_t *e, uint32_t *m, uint32_t n) {
    uint32_t b = mpBitLen(e, n);
    if (b == 0) {
        mpSetOne(y, n);
        return;
    }
    if (b == 1) {
        mpReduce(y, x, n, m, n);
        return;
    }
    uint32_t w = 0;
    while (w < 8 && mpWindowThresholds[w] <= b) w++;
    if (w <= 1) {
        mpPowBits(y, x, e, m, n);
        return;
    }

    const uint32_t n2 = 2 * n;
    uint32_t *T = mpAlloc(n2);
    uint32_t *Q = mpAlloc(n2);
    uint32_t *X2 = mpAlloc(n2);
    uint32_t *A = mpAlloc(n2);
    mpMulReduce(X2, x, x, m, n);

    const uint32_t entries = 1u << (w - 1);
    const uint32_t *g[128];
    uint32_t *owned[128] = {nullptr};
    g[0] = x;
    for (uint32_t i = 1; i < entries; i++) {
        owned[i] = mpAlloc(n2);
        mpCopyWords(owned[i], g[i - 1], n);
        mpMulFull(T, owned[i], X2, n);
        mpDivRem(Q, owned[i], T, n2, m, n);
        g[i] = owned[i];
    }

    bool first = true;
    bool inWindow = false;
    uint32_t left = 0;
    uint32_t idx = 0;
    for (uint32_t pos = b; pos > 0;) {
        pos--;
        if (!first) {
            mpSqrFull(T, A, n);
            mpDivRem(Q, A, T, n2, m, n);
        }
        if (inWindow) {
            if (left > 0) left--;
        } else if (ExponentBit(e, pos)) {
            uint32_t v = 1;
            for (uint32_t k = 1; k < w; k++) {
                uint32_t bit = pos >= k ? ExponentBit(e, pos - k) : 0;
                v = 2 * v + bit;
            }
            uint32_t dropped = 0;
            while (dropped < w - 1 && (v & 1u) == 0) {
                v >>= 1;
                dropped++;
            }
            left = (w - 1) - dropped;
            idx = (v - 1) / 2;
            inWindow = true;
        }
        if (inWindow && left == 0) {
            if (first) {
                mpCopyWords(A, g[idx], n);
                first = false;
            } else {
                mpMulFull(T, A, g[idx], n);
                mpDivRem(Q, A, T, n2, m, n);
            }
            inWindow = false;
        }
    }

    mpCopyWords(y, A, n);
    mpWipeFree(T, n2);
    mpWipeFree(Q, n2);
    mpWipeFree(X2, n2);
    mpWipeFree(A, n2);
    for (uint32_t i = 1; i < entries; i++) mpWipeFree(owned[i], n2);
}
