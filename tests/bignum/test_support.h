// Helpers for the Kalbrum unit tests: a fixed-seed generator, a slow but
// plainly correct reference arithmetic, and an allocator that watches every
// block the library allocates and releases.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bignum/kalbrum.h"

namespace kbtest {

// splitmix64: reproducible operands on every platform.
class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Word() { return static_cast<uint32_t>(Next() >> 16); }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

    // Words of a chosen character: random, zero, all ones, the values around
    // the top bit, mostly zero, of random bit length, or mixed.
    enum Style { kRandom, kZero, kOnes, kSpecial, kSparse, kShort, kMixed, kStyleCount };
    uint32_t StyledWord(Style s) {
        static const uint32_t kSpecialWords[] = {0, 1, 2, 0x7FFFFFFFu, 0x80000000u, 0x80000001u,
                                                 0xFFFFFFFEu, 0xFFFFFFFFu};
        switch (s) {
            case kRandom: return Word();
            case kZero: return 0;
            case kOnes: return 0xFFFFFFFFu;
            case kSpecial: return kSpecialWords[Below(8)];
            case kSparse: return Below(5) == 0 ? Word() : 0;
            case kShort: return Word() >> Below(32);  // random bit length
            default: return Below(2) ? kSpecialWords[Below(8)] : Word();
        }
    }
    std::vector<uint32_t> Number(uint32_t n, Style s) {
        std::vector<uint32_t> w(n);
        for (auto &x : w) x = StyledWord(s);
        return w;
    }
    std::vector<uint32_t> Number(uint32_t n) {
        auto w = Number(n, static_cast<Style>(Below(kStyleCount)));
        if (n && Below(4) == 0) {  // sometimes high zero words
            uint32_t keep = Below(n);
            for (uint32_t i = keep; i < n; i++) w[i] = 0;
        }
        return w;
    }

  private:
    uint64_t state_;
};

// Reference arithmetic on base-2^16 digits, least significant first, with
// no high zero digits: schoolbook product, bit-by-bit long division and
// right-to-left exponentiation. Nothing of it is shared with the library.
class Ref {
  public:
    Ref() = default;
    explicit Ref(uint64_t v) {
        while (v) {
            d_.push_back(static_cast<uint16_t>(v));
            v >>= 16;
        }
    }
    static Ref FromWords(const uint32_t *w, size_t n) {
        Ref r;
        for (size_t i = 0; i < n; i++) {
            r.d_.push_back(static_cast<uint16_t>(w[i]));
            r.d_.push_back(static_cast<uint16_t>(w[i] >> 16));
        }
        r.Trim();
        return r;
    }
    static Ref FromWords(const std::vector<uint32_t> &w) { return FromWords(w.data(), w.size()); }
    static Ref FromBytes(const unsigned char *b, size_t n) {  // big-endian
        Ref r;
        for (size_t i = 0; i < n; i++) r = r.Shl(8).Add(Ref(b[i]));
        return r;
    }
    // The value as n words; false when it does not fit.
    bool ToWords(uint32_t *w, size_t n) const {
        for (size_t i = 0; i < n; i++) w[i] = 0;
        for (size_t i = 0; i < d_.size(); i++) {
            if (i / 2 >= n) return false;
            w[i / 2] |= uint32_t{d_[i]} << (16 * (i % 2));
        }
        return true;
    }
    std::vector<uint32_t> Words(size_t n) const {
        std::vector<uint32_t> w(n);
        if (!ToWords(w.data(), n)) w.assign(n, 0xBADBADu);  // cannot match any result
        return w;
    }
    bool IsZero() const { return d_.empty(); }
    size_t BitLen() const {
        if (d_.empty()) return 0;
        size_t bits = 16 * (d_.size() - 1);
        for (uint32_t top = d_.back(); top; top >>= 1) bits++;
        return bits;
    }
    bool Bit(size_t i) const { return i / 16 < d_.size() && ((d_[i / 16] >> (i % 16)) & 1); }

    static int Cmp(const Ref &a, const Ref &b) {
        if (a.d_.size() != b.d_.size()) return a.d_.size() < b.d_.size() ? -1 : 1;
        for (size_t i = a.d_.size(); i > 0; i--)
            if (a.d_[i - 1] != b.d_[i - 1]) return a.d_[i - 1] < b.d_[i - 1] ? -1 : 1;
        return 0;
    }
    Ref Add(const Ref &b) const {
        Ref r;
        uint32_t carry = 0;
        for (size_t i = 0; i < d_.size() || i < b.d_.size() || carry; i++) {
            uint32_t s = carry + (i < d_.size() ? d_[i] : 0) + (i < b.d_.size() ? b.d_[i] : 0);
            r.d_.push_back(static_cast<uint16_t>(s));
            carry = s >> 16;
        }
        r.Trim();
        return r;
    }
    Ref Sub(const Ref &b) const {  // requires *this >= b
        Ref r;
        int32_t borrow = 0;
        for (size_t i = 0; i < d_.size(); i++) {
            int32_t s = int32_t{d_[i]} - borrow - (i < b.d_.size() ? b.d_[i] : 0);
            borrow = s < 0;
            r.d_.push_back(static_cast<uint16_t>(s + (borrow ? 65536 : 0)));
        }
        r.Trim();
        return r;
    }
    Ref Mul(const Ref &b) const {
        if (IsZero() || b.IsZero()) return Ref();
        Ref r;
        r.d_.assign(d_.size() + b.d_.size(), 0);
        for (size_t i = 0; i < d_.size(); i++) {
            uint32_t carry = 0;
            for (size_t j = 0; j < b.d_.size(); j++) {
                uint32_t t = uint32_t{d_[i]} * b.d_[j] + r.d_[i + j] + carry;
                r.d_[i + j] = static_cast<uint16_t>(t);
                carry = t >> 16;
            }
            r.d_[i + b.d_.size()] = static_cast<uint16_t>(carry);
        }
        r.Trim();
        return r;
    }
    Ref Shl(size_t k) const {
        Ref r;
        if (IsZero()) return r;
        r.d_.assign(k / 16, 0);
        uint32_t carry = 0;
        for (uint16_t x : d_) {
            uint32_t t = (uint32_t{x} << (k % 16)) | carry;
            r.d_.push_back(static_cast<uint16_t>(t));
            carry = t >> 16;
        }
        r.d_.push_back(static_cast<uint16_t>(carry));
        r.Trim();
        return r;
    }
    Ref Shr(size_t k) const {
        Ref r;
        size_t bits = BitLen();
        for (size_t i = bits; i > k; i--) r = r.Shl(1).Add(Ref(Bit(i - 1) ? 1 : 0));
        return r;
    }
    // Binary long division (shift in one bit, subtract when possible); b
    // must not be zero.
    static void DivMod(const Ref &a, const Ref &b, Ref *q, Ref *r) {
        const size_t nb = b.d_.size() + 1;
        std::vector<uint16_t> rem(nb, 0);
        Ref quot;
        quot.d_.assign(a.d_.size(), 0);
        for (size_t i = a.BitLen(); i > 0; i--) {
            uint16_t carry = a.Bit(i - 1) ? 1 : 0;
            for (size_t k = 0; k < nb; k++) {
                uint16_t next = static_cast<uint16_t>(rem[k] >> 15);
                rem[k] = static_cast<uint16_t>((rem[k] << 1) | carry);
                carry = next;
            }
            // rem >= b ?
            int c = 0;
            for (size_t k = nb; k > 0 && c == 0; k--) {
                uint16_t bk = k - 1 < b.d_.size() ? b.d_[k - 1] : 0;
                if (rem[k - 1] != bk) c = rem[k - 1] < bk ? -1 : 1;
            }
            if (c >= 0) {
                int32_t borrow = 0;
                for (size_t k = 0; k < nb; k++) {
                    int32_t v = int32_t{rem[k]} - borrow - (k < b.d_.size() ? b.d_[k] : 0);
                    borrow = v < 0;
                    rem[k] = static_cast<uint16_t>(v + (borrow ? 65536 : 0));
                }
                quot.d_[(i - 1) / 16] = static_cast<uint16_t>(quot.d_[(i - 1) / 16] | (1u << ((i - 1) % 16)));
            }
        }
        quot.Trim();
        Ref rr;
        rr.d_ = rem;
        rr.Trim();
        *q = quot;
        *r = rr;
    }
    Ref Mod(const Ref &m) const {
        Ref q, r;
        DivMod(*this, m, &q, &r);
        return r;
    }
    // x^e mod m, right to left; m must not be zero.
    static Ref PowMod(const Ref &x, const Ref &e, const Ref &m) {
        Ref result = Ref(1).Mod(m);
        Ref base = x.Mod(m);
        for (size_t i = 0; i < e.BitLen(); i++) {
            if (e.Bit(i)) result = result.Mul(base).Mod(m);
            base = base.Mul(base).Mod(m);
        }
        return result;
    }

  private:
    void Trim() {
        while (!d_.empty() && d_.back() == 0) d_.pop_back();
    }
    std::vector<uint16_t> d_;
};

std::string Hex(const unsigned char *b, size_t n);
std::vector<unsigned char> FromHex(const char *hex);

// An allocator for the library that records every live block, checks at
// release that the block is one it handed out, with its size, and that all
// of its bytes are zero; it can also be told to fail the k-th request.
struct Watch {
    struct Block {
        void *p;
        size_t bytes;
    };
    static constexpr size_t kMaxLive = 4096;
    Block live[kMaxLive];
    size_t liveCount;
    size_t allocations;
    size_t releases;
    size_t dirtyReleases;     // released with a non-zero byte
    size_t unknownReleases;   // pointer or size not as allocated
    size_t failAt;            // 1-based request number to refuse; 0 = never
    size_t lastReleasedBytes;
};

extern Watch g_watch;

// Installs the watching allocator with fresh counters (and failAt).
void WatchAllocations(size_t failAt = 0);
// Restores the library's own allocator.
void StopWatching();
// Hands a block straight to the watch's release, skipping the wipe: only to
// show that the watch notices such a release.
void ReleaseWithoutWipe(void *block, size_t bytes);

}  // namespace kbtest
