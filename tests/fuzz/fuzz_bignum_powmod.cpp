// kbLoadHex and kbPowMod: three numbers from arbitrary text (non-digits are
// skipped), then y = x^e mod m. Checks the object invariants, y < m, the
// square-and-multiply method against the sliding window that kbPowMod picks,
// 64-bit operands against 128-bit integer arithmetic, and that every block
// the library releases has been wiped.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bignum/kalbrum.h"
#include "fuzz_common.h"

namespace {

bool gDirtyRelease = false;

void* Allocate(size_t bytes) { return std::malloc(bytes); }
void Release(void* block, size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(block);
  for (size_t i = 0; i < bytes; ++i) {
    if (p[i] != 0) gDirtyRelease = true;
  }
  std::free(block);
}

void CheckObject(const KbNumber* b) {
  FUZZ_CHECK(b->capacity >= 1);
  FUZZ_CHECK(b->used <= b->capacity);
  FUZZ_CHECK(b->used == 0 || b->words[b->used - 1] != 0);
  for (uint32_t i = b->used; i < b->capacity; ++i) FUZZ_CHECK(b->words[i] == 0);
}

// The value of text's hexadecimal digits when it has at most 16 significant ones.
bool SmallValue(const std::string& text, uint64_t* value) {
  uint64_t v = 0;
  int digits = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else continue;
    if (digits > 0 || d != 0) ++digits;
    if (digits > 16) return false;
    v = v * 16 + static_cast<uint64_t>(d);
  }
  *value = v;
  return true;
}

uint64_t Word64(const KbNumber* b) {
  uint64_t v = b->used > 0 ? b->words[0] : 0;
  if (b->used > 1) v |= uint64_t{b->words[1]} << 32;
  return v;
}

uint64_t PowMod64(uint64_t x, uint64_t e, uint64_t m) {
  // x^0 is 1, not reduced, as the library defines it; with all three zero
  // the operation works over zero words and leaves 0.
  if (e == 0) return x == 0 && m == 0 ? 0 : 1;
  if (m == 0) return 0;  // the remainder of a division by zero is 0
  unsigned __int128 result = 1 % m;
  unsigned __int128 base = x % m;
  for (; e != 0; e >>= 1) {
    if (e & 1) result = result * base % m;
    base = base * base % m;
  }
  return static_cast<uint64_t>(result);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static const KbAllocator watch = {Allocate, Release};
  kbSetAllocator(&watch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string xs = in.ConsumeRandomLengthString(300);
  const std::string es = in.ConsumeRandomLengthString(80);
  const std::string ms = in.ConsumeRemainingBytesAsString().substr(0, 300);
  gDirtyRelease = false;
  KbNumber* x = kbNew();
  KbNumber* e = kbNew();
  KbNumber* m = kbNew();
  KbNumber* y = kbNew();
  kbLoadHex(x, xs.c_str());
  kbLoadHex(e, es.c_str());
  kbLoadHex(m, ms.c_str());
  for (const KbNumber* b : {x, e, m, y}) CheckObject(b);
  uint64_t sx, se, sm;
  const bool small = SmallValue(xs.c_str(), &sx) && SmallValue(es.c_str(), &se) &&
                     SmallValue(ms.c_str(), &sm);
  if (small) FUZZ_CHECK(Word64(x) == sx && Word64(e) == se && Word64(m) == sm);

  // kbPowMod works over the longest operand's word count.
  uint32_t n = m->used;
  if (e->used > n) n = e->used;
  if (x->used > n) n = x->used;
  kbPowMod(y, x, e, m);
  for (const KbNumber* b : {x, e, m, y}) CheckObject(b);
  const uint32_t ebits = mpBitLen(e->words, e->used);
  if (ebits > 0 && m->used > 0) {
    FUZZ_CHECK(mpCmpWords(y->words, m->words, n) < 0);
  }
  if (small) FUZZ_CHECK(Word64(y) == PowMod64(sx, se, sm) && y->used <= 2);

  // The same power by square and multiply over the same word count.
  if (ebits >= 2 && m->used > 0) {
    uint32_t* other = mpAlloc(n);
    mpPowBits(other, x->words, e->words, m->words, n);
    FUZZ_CHECK(mpSigWords(other, n) == y->used);
    FUZZ_CHECK(std::memcmp(other, y->words, sizeof(uint32_t) * y->used) == 0);
    mpWipeFree(other, n);
  }

  unsigned char octets[128];
  const uint32_t count = kbStoreOctets(y, octets);
  FUZZ_CHECK(count >= 1 && count == (mpBitLen(y->words, y->used) + 7) / 8 + (y->used == 0));
  kbRelease(x);
  kbRelease(e);
  kbRelease(m);
  kbRelease(y);
  FUZZ_CHECK(!gDirtyRelease);
  return 0;
}
