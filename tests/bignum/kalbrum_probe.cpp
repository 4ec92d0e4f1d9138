// Command-line window onto the Kalbrum routines, for the differential tests
// that compare them with Python's integers and with OpenSSL.
//
// Reads one request per line from standard input and answers each with one
// line on standard output. Tokens are separated by blanks. A word array is
// written as hexadecimal, 8 digits per word, most significant word first
// ("-" for an array of no words), so high zero words survive the trip; byte
// strings and texts are written as hexadecimal bytes ("-" when empty).
//
//   mul U V | sqr X                    -> W
//   divrem U V                         -> result Q R V-after-call
//   divword U D                        -> Q remainder
//   worddiv U0 U1 D                    -> result q r
//   estimate QHAT RHAT DLOW ULOW       -> 0 or 1
//   submul TOP W V Q                   -> W-after result
//   reduce U M | mulreduce X Y M       -> R | A
//   powbits X E M | powwindow X E M    -> Y
//   shl SRC K | shr SRC K              -> DST result (also checked in place)
//   bitlen A | sigwords A | cmp A B    -> decimal
//   tooctets W                         -> count block
//   kbhex TEXT                         -> used capacity words count block
//   kboctets BYTES NWORDS              -> used capacity words
//   kbpow X E M (byte strings)         -> Y-bytes used
//   verifykey KEY131 SIGTEXT DIGEST    -> 0 or 1
//   verify SIGTEXT DIGEST              -> 0 or 1 (built-in key)
//   pubkey                             -> the 131 built-in key bytes
//   digest DATA                        -> 16 digest bytes
//   xxtea V K (4 words each)           -> V-after
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bignum/block_digest.h"
#include "bignum/kalbrum.h"
#include "bignum/signature.h"

namespace {

using Words = std::vector<uint32_t>;
using Bytes = std::vector<unsigned char>;

[[noreturn]] void Die(const std::string &why) {
    std::fprintf(stderr, "kalbrum_probe: %s\n", why.c_str());
    std::exit(2);
}

unsigned HexNibble(char c) {
    if (c >= '0' && c <= '9') return unsigned(c - '0');
    if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return unsigned(c - 'A' + 10);
    Die(std::string("bad hex digit ") + c);
}

Words ParseWords(const std::string &t) {
    Words w;
    if (t == "-") return w;
    if (t.size() % 8) Die("word array not a multiple of 8 digits: " + t);
    size_t n = t.size() / 8;
    w.resize(n);
    for (size_t i = 0; i < n; i++) {
        uint32_t v = 0;
        for (size_t k = 0; k < 8; k++) v = v << 4 | HexNibble(t[i * 8 + k]);
        w[n - 1 - i] = v;
    }
    return w;
}

Bytes ParseBytes(const std::string &t) {
    Bytes b;
    if (t == "-") return b;
    if (t.size() % 2) Die("odd byte string: " + t);
    for (size_t i = 0; i < t.size(); i += 2)
        b.push_back(static_cast<unsigned char>(HexNibble(t[i]) << 4 | HexNibble(t[i + 1])));
    return b;
}

std::string FormatWords(const uint32_t *w, size_t n) {
    if (n == 0) return "-";
    std::string s;
    char buf[9];
    for (size_t i = n; i > 0; i--) {
        std::snprintf(buf, sizeof buf, "%08x", w[i - 1]);
        s += buf;
    }
    return s;
}

std::string FormatBytes(const unsigned char *b, size_t n) {
    if (n == 0) return "-";
    std::string s;
    char buf[3];
    for (size_t i = 0; i < n; i++) {
        std::snprintf(buf, sizeof buf, "%02x", b[i]);
        s += buf;
    }
    return s;
}

uint32_t ParseWord(const std::string &t) {
    Words w = ParseWords(t);
    if (w.size() != 1) Die("expected one word: " + t);
    return w[0];
}

// Arrays handed to the library get one spare word of room (the library's own
// arrays always have at least one) and a guard word after it, so a write past
// the stated length shows up as a damaged guard.
struct Guarded {
    Words store;
    size_t n;
    explicit Guarded(const Words &w) : n(w.size()) {
        store.assign(n + 2, 0);
        for (size_t i = 0; i < n; i++) store[i] = w[i];
        store[n + 1] = 0xA5A5A5A5u;
    }
    uint32_t *p() { return store.data(); }
    void Check(const char *what) const {
        if (store.back() != 0xA5A5A5A5u) Die(std::string("guard word damaged: ") + what);
    }
};

uint32_t SameLength(const Words &a, const Words &b) {
    if (a.size() != b.size()) Die("operands of different lengths");
    return static_cast<uint32_t>(a.size());
}

std::string Handle(std::istringstream &in) {
    std::string op;
    in >> op;
    std::vector<std::string> a;
    for (std::string t; in >> t;) a.push_back(t);
    auto need = [&](size_t k) {
        if (a.size() != k) Die(op + ": wrong number of arguments");
    };
    std::ostringstream out;

    if (op == "mul" || op == "sqr") {
        need(op == "mul" ? 2 : 1);
        Words u = ParseWords(a[0]);
        Words v = op == "mul" ? ParseWords(a[1]) : u;
        uint32_t n = SameLength(u, v);
        Guarded w(Words(2 * n, 0xDEADBEEFu));
        if (op == "mul") mpMulFull(w.p(), u.data(), v.data(), n);
        else mpSqrFull(w.p(), u.data(), n);
        w.Check(op.c_str());
        out << FormatWords(w.p(), 2 * n);
    } else if (op == "divrem") {
        need(2);
        Words u = ParseWords(a[0]);
        Words vw = ParseWords(a[1]);
        uint32_t ud = uint32_t(u.size()), vd = uint32_t(vw.size());
        Guarded q(Words(ud, 0x5A5A5A5Au)), r(Words(ud, 0x5A5A5A5Au)), v(vw);
        int32_t res = mpDivRem(q.p(), r.p(), u.data(), ud, v.p(), vd);
        q.Check("q");
        r.Check("r");
        v.Check("v");
        out << res << ' ' << FormatWords(q.p(), ud) << ' ' << FormatWords(r.p(), ud) << ' '
            << FormatWords(v.p(), vd);
    } else if (op == "divword") {
        need(2);
        Words u = ParseWords(a[0]);
        uint32_t n = uint32_t(u.size());
        Guarded q(Words(n, 0x77777777u));
        uint32_t rem = mpDivByWord(q.p(), u.data(), ParseWord(a[1]), n);
        q.Check("q");
        out << FormatWords(q.p(), n) << ' ' << FormatWords(&rem, 1);
    } else if (op == "worddiv") {
        need(3);
        uint32_t u[2] = {ParseWord(a[0]), ParseWord(a[1])};
        uint32_t q = 0x12345678u, r = 0x9ABCDEF0u;
        int32_t res = mpWordDiv(&q, &r, u, ParseWord(a[2]));
        out << res << ' ' << FormatWords(&q, 1) << ' ' << FormatWords(&r, 1);
    } else if (op == "estimate") {
        need(4);
        out << (mpEstimateHigh(ParseWord(a[0]), ParseWord(a[1]), ParseWord(a[2]), ParseWord(a[3])) ? 1 : 0);
    } else if (op == "submul") {
        need(4);
        Words w = ParseWords(a[1]);
        Words v = ParseWords(a[2]);
        uint32_t n = SameLength(w, v);
        Guarded g(w);
        uint32_t res = mpSubMulWord(ParseWord(a[0]), g.p(), v.data(), ParseWord(a[3]), n);
        g.Check("w");
        out << FormatWords(g.p(), n) << ' ' << FormatWords(&res, 1);
    } else if (op == "reduce") {
        need(2);
        Words u = ParseWords(a[0]);
        Words mw = ParseWords(a[1]);
        uint32_t md = uint32_t(mw.size());
        Guarded r(Words(md, 0x33333333u)), m(mw);
        mpReduce(r.p(), u.data(), uint32_t(u.size()), m.p(), md);
        r.Check("r");
        if (FormatWords(m.p(), md) != a[1]) Die("reduce changed the modulus");
        out << FormatWords(r.p(), md);
    } else if (op == "mulreduce") {
        need(3);
        Words x = ParseWords(a[0]), y = ParseWords(a[1]), mw = ParseWords(a[2]);
        uint32_t n = SameLength(x, y);
        SameLength(x, mw);
        Guarded r(Words(n, 0x33333333u)), m(mw);
        mpMulReduce(r.p(), x.data(), y.data(), m.p(), n);
        r.Check("a");
        if (FormatWords(m.p(), n) != a[2]) Die("mulreduce changed the modulus");
        out << FormatWords(r.p(), n);
    } else if (op == "powbits" || op == "powwindow") {
        need(3);
        Words x = ParseWords(a[0]), e = ParseWords(a[1]), mw = ParseWords(a[2]);
        uint32_t n = SameLength(x, e);
        SameLength(x, mw);
        Guarded y(Words(n, 0x44444444u)), m(mw);
        if (op == "powbits") mpPowBits(y.p(), x.data(), e.data(), m.p(), n);
        else mpPowWindow(y.p(), x.data(), e.data(), m.p(), n);
        y.Check("y");
        if (FormatWords(m.p(), n) != a[2]) Die(op + " changed the modulus");
        out << FormatWords(y.p(), n);
    } else if (op == "shl" || op == "shr") {
        need(2);
        Words src = ParseWords(a[0]);
        uint32_t n = uint32_t(src.size());
        uint32_t k = uint32_t(std::strtoul(a[1].c_str(), nullptr, 10));
        Guarded dst(Words(n, 0x66666666u)), same(src);
        uint32_t res = op == "shl" ? mpShlBits(dst.p(), src.data(), k, n)
                                   : mpShrBits(dst.p(), src.data(), k, n);
        uint32_t res2 = op == "shl" ? mpShlBits(same.p(), same.p(), k, n)
                                    : mpShrBits(same.p(), same.p(), k, n);
        dst.Check("dst");
        same.Check("in place");
        if (res != res2 || FormatWords(dst.p(), n) != FormatWords(same.p(), n))
            Die(op + ": in-place shift differs");
        out << FormatWords(dst.p(), n) << ' ' << FormatWords(&res, 1);
    } else if (op == "bitlen") {
        need(1);
        Words w = ParseWords(a[0]);
        out << mpBitLen(w.data(), uint32_t(w.size()));
    } else if (op == "sigwords") {
        need(1);
        Words w = ParseWords(a[0]);
        out << mpSigWords(w.data(), uint32_t(w.size()));
    } else if (op == "cmp") {
        need(2);
        Words x = ParseWords(a[0]), y = ParseWords(a[1]);
        out << mpCmpWords(x.data(), y.data(), SameLength(x, y));
    } else if (op == "tooctets") {
        need(1);
        Words w = ParseWords(a[0]);
        unsigned char block[130];
        block[128] = block[129] = 0xA5;
        uint32_t count = mpToOctets(w.data(), uint32_t(w.size()), block);
        if (block[128] != 0xA5 || block[129] != 0xA5) Die("tooctets wrote past 128 bytes");
        out << count << ' ' << FormatBytes(block, 128);
    } else if (op == "kbhex") {
        need(1);
        Bytes t = ParseBytes(a[0]);
        std::string text(t.begin(), t.end());
        KbNumber *b = kbNew();
        kbLoadHex(b, text.c_str());
        unsigned char block[128];
        uint32_t count = kbStoreOctets(b, block);
        out << b->used << ' ' << b->capacity << ' ' << FormatWords(b->words, b->capacity) << ' '
            << count << ' ' << FormatBytes(block, 128);
        kbRelease(b);
    } else if (op == "kboctets") {
        need(2);
        Bytes bytes = ParseBytes(a[0]);
        KbNumber *b = kbNew();
        kbLoadOctets(b, bytes.data(), uint32_t(bytes.size()),
                     uint32_t(std::strtoul(a[1].c_str(), nullptr, 10)));
        out << b->used << ' ' << b->capacity << ' ' << FormatWords(b->words, b->capacity);
        kbRelease(b);
    } else if (op == "kbpow") {
        need(3);
        KbNumber *num[3];
        for (int i = 0; i < 3; i++) {
            Bytes bytes = ParseBytes(a[i]);
            num[i] = kbNew();
            uint32_t nw = uint32_t((bytes.size() + 3) / 4);
            kbLoadOctets(num[i], bytes.data(), uint32_t(bytes.size()), nw);
        }
        KbNumber *y = kbNew();
        kbPowMod(y, num[0], num[1], num[2]);
        for (uint32_t i = y->used; i < y->capacity; i++)
            if (y->words[i] != 0) Die("kbpow: word above used is not zero");
        Bytes be;
        for (uint32_t i = y->used; i > 0; i--)
            for (int k = 3; k >= 0; k--) be.push_back(static_cast<unsigned char>(y->words[i - 1] >> (8 * k)));
        out << FormatBytes(be.data(), be.size()) << ' ' << y->used;
        kbRelease(y);
        for (KbNumber *p : num) kbRelease(p);
    } else if (op == "verifykey" || op == "verify") {
        need(op == "verify" ? 2 : 3);
        size_t at = op == "verify" ? 0 : 1;
        Bytes key;
        if (op == "verifykey") {
            key = ParseBytes(a[0]);
            if (key.size() != 131) Die("key must be 131 bytes");
        }
        Bytes t = ParseBytes(a[at]);
        std::string sig(t.begin(), t.end());
        Bytes digest = ParseBytes(a[at + 1]);
        if (digest.size() != 16) Die("digest must be 16 bytes");
        int32_t res = op == "verify" ? VerifySignature(sig.c_str(), digest.data())
                                     : VerifySignatureWithKey(sig.c_str(), digest.data(), key.data());
        out << res;
    } else if (op == "pubkey") {
        need(0);
        out << FormatBytes(HorlixPublicKey, 131);
    } else if (op == "digest") {
        need(1);
        Bytes data = ParseBytes(a[0]);
        unsigned char d[16];
        int32_t res = BlockDigest(d, data.empty() ? nullptr : data.data(), uint32_t(data.size()));
        if (res != 16) Die("BlockDigest did not return 16");
        out << FormatBytes(d, 16);
    } else if (op == "xxtea") {
        need(2);
        Words v = ParseWords(a[0]), k = ParseWords(a[1]);
        if (v.size() != 4 || k.size() != 4) Die("xxtea takes 4-word blocks");
        // Words arrive most significant first; the block is v[0] first.
        uint32_t vv[4] = {v[3], v[2], v[1], v[0]};
        uint32_t kk[4] = {k[3], k[2], k[1], k[0]};
        XxteaEncrypt4(vv, kk);
        uint32_t back[4] = {vv[3], vv[2], vv[1], vv[0]};
        out << FormatWords(back, 4);
    } else {
        Die("unknown request " + op);
    }
    return out.str();
}

}  // namespace

int main() {
    std::ios::sync_with_stdio(false);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty()) continue;
        std::istringstream in(line);
        std::cout << Handle(in) << '\n';
    }
    return 0;
}
