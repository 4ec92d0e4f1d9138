// Kalbrum: the updater's multiple-precision library.
//
// Lower layer (prefix mp): plain functions on caller-supplied arrays of 32-bit
// words, least significant word first, with the word count passed beside each
// array. Upper layer (prefix kb): growable number objects on top of them.
//
// Every temporary array and byte buffer is released through one path that
// overwrites it with zeros first. Out of memory is never reported to the
// caller: mpFatal ends the process with exit status 1.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Memory: the single allocation and release path of the library.

// Pluggable block allocator. The default is malloc/free. A test installs its
// own to watch every released block or to make requests fail (return null).
// `release` receives the block only after all `bytes` of it have been zeroed.
struct KbAllocator {
    void *(*allocate)(size_t bytes);
    void (*release)(void *block, size_t bytes);
};

// Installs `allocator` (copied); null restores malloc/free.
void kbSetAllocator(const KbAllocator *allocator);

// Raw block request through the current allocator; null when it fails.
// Contents are unspecified.
void *kbAllocBlock(size_t bytes);

// Zeroes `bytes` bytes of `block`, then hands it to the allocator's release.
// Null blocks are ignored. Every release in the library ends here.
void kbWipeRelease(void *block, size_t bytes);

// Replaces what mpFatal shows before it exits (message box on Windows,
// standard error elsewhere). Null restores the platform's own report.
void kbSetFatalReporter(void (*report)(const char *text));

// n zeroed bytes (at least one is allocated); failure is fatal.
unsigned char *ALLOC_BYTES(size_t n);

// Zeroes the n bytes of a buffer from ALLOC_BYTES and releases it.
void mpWipeFreeBytes(unsigned char *p, size_t n);

// ---------------------------------------------------------------------------
// Word-array core.

// Exponent bit lengths at which mpPowWindow widens its window by one bit.
extern const uint32_t mpWindowThresholds[8];

// New array of max(n, 1) zero words; failure is fatal.
uint32_t *mpAlloc(uint32_t n);
// Zeroes the words of an array from mpAlloc (at least one) and releases it.
void mpWipeFree(uint32_t *a, uint32_t n);
// Shows `text` under the caption "Kalbrum Error" and exits with status 1.
[[noreturn]] void mpFatal(const char *text);

uint32_t mpSigWords(const uint32_t *a, uint32_t n);
uint32_t mpBitLen(const uint32_t *a, uint32_t n);
void mpCopyWords(uint32_t *dst, const uint32_t *src, uint32_t n);
// a = 1 over n words; with n = 0 nothing is written.
void mpSetOne(uint32_t *a, uint32_t n);
int32_t mpCmpWords(const uint32_t *a, const uint32_t *b, uint32_t n);

// Shifts by k bits (0 to 31) within n words; dst may equal src. Return the
// bits shifted out (low k bits for the left shift, high k bits for the right
// shift). Counts of 32 or more clear dst and return 0.
uint32_t mpShlBits(uint32_t *dst, const uint32_t *src, uint32_t k, uint32_t n);
uint32_t mpShrBits(uint32_t *dst, const uint32_t *src, uint32_t k, uint32_t n);

// w (2n words) = u * v, and w (2n words) = x * x. w must not overlap inputs.
int32_t mpMulFull(uint32_t *w, const uint32_t *u, const uint32_t *v, uint32_t n);
int32_t mpSqrFull(uint32_t *w, const uint32_t *x, uint32_t n);

// (u[1] * 2^32 + u[0]) / d for a normalised d (top bit set): returns the
// quotient's bit 32 (0 or 1) with its low word in q and the remainder in r;
// returns -1 with q = r = 0 when d is not normalised.
int32_t mpWordDiv(uint32_t *q, uint32_t *r, const uint32_t u[2], uint32_t d);
// qhat * dlow > rhat * 2^32 + ulow.
bool mpEstimateHigh(uint32_t qhat, uint32_t rhat, uint32_t dlow, uint32_t ulow);
// w[0..n-1] -= q * v[0..n-1]; returns top minus the final borrow.
uint32_t mpSubMulWord(uint32_t top, uint32_t *w, const uint32_t *v, uint32_t q, uint32_t n);
// q (n words) = u div d, returns u mod d. n = 0 or d = 0: returns 0, q untouched.
uint32_t mpDivByWord(uint32_t *q, const uint32_t *u, uint32_t d, uint32_t n);

// q = u div v, r = u mod v; q and r need ud words each and must not overlap u
// or v. v is shifted in place during the call and restored before it returns.
// Returns -1 (q = r = 0) when v is zero, else 0.
int32_t mpDivRem(uint32_t *q, uint32_t *r, const uint32_t *u, uint32_t ud,
                 uint32_t *v, uint32_t vd);
// r (md words) = u mod m.
void mpReduce(uint32_t *r, const uint32_t *u, uint32_t ud, uint32_t *m, uint32_t md);
// a (n words) = x * y mod m.
void mpMulReduce(uint32_t *a, const uint32_t *x, const uint32_t *y, uint32_t *m, uint32_t n);
// y = x^e mod m over n words: square and multiply, and the sliding-window
// entry point that picks the method. y must not overlap x, e or m.
void mpPowBits(uint32_t *y, const uint32_t *x, const uint32_t *e, uint32_t *m, uint32_t n);
void mpPowWindow(uint32_t *y, const uint32_t *x, const uint32_t *e, uint32_t *m, uint32_t n);

// ---------------------------------------------------------------------------
// Conversions (128-byte blocks are the signature check's modulus length).

uint32_t mpFromOctets(uint32_t *w, uint32_t nw, const unsigned char *bytes, uint32_t nbytes);
uint32_t mpToOctets(const uint32_t *w, uint32_t nw, unsigned char out[128]);
uint32_t mpFromHex(uint32_t *w, uint32_t nw, const char *text);

// ---------------------------------------------------------------------------
// Number objects. Invariants: used <= capacity, capacity >= 1 while alive,
// and words[used..capacity-1] are zero.

struct KbNumber {
    uint32_t *words;
    uint32_t used;
    uint32_t capacity;
};

KbNumber *kbNew();
void kbRelease(KbNumber *b);
int32_t kb_resize(KbNumber *b, uint32_t newsize);
void kbLoadOctets(KbNumber *b, const unsigned char *bytes, uint32_t nbytes, uint32_t nwords);
void kbLoadHex(KbNumber *b, const char *text);
uint32_t kbStoreOctets(const KbNumber *b, unsigned char *out);
void kbPowMod(KbNumber *y, KbNumber *x, KbNumber *e, KbNumber *m);
