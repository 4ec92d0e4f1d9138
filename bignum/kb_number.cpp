// Number objects that own a growable word array, and the conversions between
// word arrays, big-endian bytes and hexadecimal text.
#include "bignum/kalbrum.h"

#include <cstring>

uint32_t mpFromOctets(uint32_t *w, uint32_t nw, const unsigned char *bytes, uint32_t nbytes) {
    for (uint32_t i = 0; i < nw; i++) w[i] = 0;
    if (nbytes == 0 || nw == 0) return 0;
    uint32_t written = 0;
    uint32_t word = 0;
    uint32_t shift = 0;
    for (uint32_t k = nbytes; k > 0;) {
        k--;
        word |= uint32_t{bytes[k]} << shift;
        shift += 8;
        if (shift == 32) {
            w[written++] = word;
            word = 0;
            shift = 0;
            if (written == nw) return written;  // more significant bytes dropped
        }
    }
    if (shift != 0) w[written++] = word;
    return written;
}

uint32_t mpToOctets(const uint32_t *w, uint32_t nw, unsigned char out[128]) {
    uint32_t count = (mpBitLen(w, nw) + 7) / 8;
    uint32_t pos = 128;  // one past the next position to write
    for (uint32_t i = 0; i < nw && pos > 0; i++) {
        uint32_t word = w[i];
        for (uint32_t k = 0; k < 4 && pos > 0; k++) {
            out[--pos] = static_cast<unsigned char>(word >> (8 * k));
        }
    }
    while (pos > 0) out[--pos] = 0;
    return count;
}

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// The digits, read in order as one big-endian number, go into a byte buffer
// of ceil(len / 2) bytes, which always has room for them: there are at most
// len digits. Appending a digit is multiplying by 16 and adding it, so the
// digits read from the end are simply the buffer's nibbles from the lowest
// one up; placing them directly costs one pass instead of one pass per digit.
uint32_t mpFromHex(uint32_t *w, uint32_t nw, const char *text) {
    for (uint32_t i = 0; i < nw; i++) w[i] = 0;
    size_t len = std::strlen(text);
    if (len == 0) return 0;
    size_t nbytes = len / 2 + (len % 2);
    unsigned char *buffer = ALLOC_BYTES(nbytes);
    size_t nibble = 0;  // index of the next nibble, 0 = lowest of the last byte
    for (size_t i = len; i > 0;) {
        i--;
        int d = HexDigitValue(text[i]);
        if (d < 0) continue;
        unsigned char *byte = &buffer[nbytes - 1 - nibble / 2];
        *byte = static_cast<unsigned char>(*byte | (nibble % 2 ? d << 4 : d));
        nibble++;
    }
    // Only the low 4 * nw bytes can reach the words; the rest would be
    // dropped as too significant anyway.
    size_t take = nbytes < size_t{nw} * 4 ? nbytes : size_t{nw} * 4;
    uint32_t k = mpFromOctets(w, nw, buffer + (nbytes - take), static_cast<uint32_t>(take));
    mpWipeFreeBytes(buffer, nbytes);
    return k;
}

KbNumber *kbNew() {
    KbNumber *b = static_cast<KbNumber *>(kbAllocBlock(sizeof(KbNumber)));
    if (!b) mpFatal("kbNew: Failed to calloc memory.");
    b->words = mpAlloc(1);
    b->words[0] = 0;
    b->used = 0;
    b->capacity = 1;
    return b;
}

void kbRelease(KbNumber *b) {
    if (!b) return;
    mpWipeFree(b->words, b->capacity);
    b->words = nullptr;
    b->capacity = 0;
    b->used = 0;
    kbWipeRelease(b, sizeof(KbNumber));
}

int32_t kb_resize(KbNumber *b, uint32_t newsize) {
    if (newsize < b->used) {
        for (uint32_t i = newsize; i < b->used; i++) b->words[i] = 0;
        b->used = newsize;
        return 0;
    }
    if (b->capacity < newsize) {
        uint32_t *grown = static_cast<uint32_t *>(kbAllocBlock(sizeof(uint32_t) * size_t{newsize}));
        if (!grown) {
            mpWipeFree(b->words, b->capacity);
            b->words = nullptr;
            b->capacity = 0;
            b->used = 0;
            mpFatal("kb_resize: Failed to realloc memory.");
        }
        mpCopyWords(grown, b->words, b->capacity);
        mpWipeFree(b->words, b->capacity);
        b->words = grown;
        b->capacity = newsize;
    }
    for (uint32_t i = b->used; i < newsize; i++) b->words[i] = 0;
    return 0;
}

void kbLoadOctets(KbNumber *b, const unsigned char *bytes, uint32_t nbytes, uint32_t nwords) {
    kb_resize(b, nwords);
    uint32_t k = mpFromOctets(b->words, nwords, bytes, nbytes);
    b->used = mpSigWords(b->words, k);
}

void kbLoadHex(KbNumber *b, const char *text) {
    size_t len = std::strlen(text);
    size_t nwords = ((len + 1) / 2 + 3) / 4;
    if (nwords > 0x3FFFFFFFu) mpFatal("kb_resize: Failed to realloc memory.");
    uint32_t nw = static_cast<uint32_t>(nwords);
    kb_resize(b, nw);
    uint32_t k = mpFromHex(b->words, nw, text);
    b->used = mpSigWords(b->words, k);
}

uint32_t kbStoreOctets(const KbNumber *b, unsigned char *out) {
    uint32_t count = (mpBitLen(b->words, b->used) + 7) / 8;
    if (count == 0) count = 1;
    if (out) mpToOctets(b->words, b->used, out);
    return count;
}

void kbPowMod(KbNumber *y, KbNumber *x, KbNumber *e, KbNumber *m) {
    uint32_t n = m->used;
    if (e->used > n) n = e->used;
    if (x->used > n) n = x->used;
    kb_resize(y, n);
    kb_resize(x, n);
    kb_resize(e, n);
    kb_resize(m, n);
    mpPowWindow(y->words, x->words, e->words, m->words, n);
    y->used = mpSigWords(y->words, n);
}
