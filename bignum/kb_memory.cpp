// The library's only allocation and release path.
//
// Every block handed out here comes back through kbWipeRelease, which zeroes
// it with volatile stores (so the compiler cannot drop them as dead writes
// before the release) and only then frees it. No reallocation primitive is
// used anywhere, so no stale copy of a value is ever left behind.
#include "bignum/kalbrum.h"

#include <cstdlib>

namespace {

void *DefaultAllocate(size_t bytes) { return std::malloc(bytes); }
void DefaultRelease(void *block, size_t) { std::free(block); }

KbAllocator g_allocator = {DefaultAllocate, DefaultRelease};

void WipeBytes(void *block, size_t bytes) {
    volatile unsigned char *p = static_cast<volatile unsigned char *>(block);
    for (size_t i = 0; i < bytes; i++) p[i] = 0;
}

}  // namespace

void kbSetAllocator(const KbAllocator *allocator) {
    if (allocator && allocator->allocate && allocator->release) {
        g_allocator = *allocator;
    } else {
        g_allocator.allocate = DefaultAllocate;
        g_allocator.release = DefaultRelease;
    }
}

void *kbAllocBlock(size_t bytes) { return g_allocator.allocate(bytes ? bytes : 1); }

void kbWipeRelease(void *block, size_t bytes) {
    if (!block) return;
    WipeBytes(block, bytes);
    g_allocator.release(block, bytes);
}

uint32_t *mpAlloc(uint32_t n) {
    uint32_t count = n ? n : 1;
    uint32_t *a = static_cast<uint32_t *>(kbAllocBlock(sizeof(uint32_t) * size_t{count}));
    if (!a) mpFatal("mpAlloc: Unable to allocate memory.");
    for (uint32_t i = 0; i < count; i++) a[i] = 0;
    return a;
}

void mpWipeFree(uint32_t *a, uint32_t n) {
    // Every array of the library has at least one word (mpAlloc, KbNumber),
    // so word 0 is always wiped, even when a caller passes n = 0.
    uint32_t count = n ? n : 1;
    kbWipeRelease(a, sizeof(uint32_t) * size_t{count});
}

unsigned char *ALLOC_BYTES(size_t n) {
    size_t count = n ? n : 1;
    unsigned char *p = static_cast<unsigned char *>(kbAllocBlock(count));
    if (!p) mpFatal("ALLOC_BYTES: Unable to allocate memory.");
    for (size_t i = 0; i < count; i++) p[i] = 0;
    return p;
}

void mpWipeFreeBytes(unsigned char *p, size_t n) { kbWipeRelease(p, n ? n : 1); }
