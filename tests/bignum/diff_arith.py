#!/usr/bin/env python3
"""Differential test of the Kalbrum word-array and object routines against
Python's integers.

Usage: diff_arith.py PROBE [SEED]

Every request goes through kalbrum_probe; every answer is compared with the
exact value Python computes. Operands come from a fixed-seed generator that
mixes random words with zero words, all-ones words and the words around the
top bit, over random lengths including high zero words. The long-division
group also counts, with the decision model of kbref, how many of its cases
take the trial-quotient overflow path and the add-back path, and fails when
either count is zero.
"""

import random
import sys

import kbref
from kbref import MASK, bytes_hex, words_hex, words_value

SPECIAL = [0, 1, 2, 0x7FFFFFFF, 0x80000000, 0x80000001, 0xFFFFFFFE, 0xFFFFFFFF]


class Checker:
    def __init__(self, probe):
        self.probe = probe
        self.failures = 0
        self.checked = 0

    def group(self, name, cases):
        """cases: list of (request, expected answer line)."""
        answers = self.probe.run([req for req, _ in cases])
        bad = 0
        for (req, want), got in zip(cases, answers):
            self.checked += 1
            if got != want:
                bad += 1
                if bad <= 5:
                    print("MISMATCH %s\n  request: %s\n  want:    %s\n  got:     %s"
                          % (name, req, want, got))
        self.failures += bad
        print("%-12s %5d cases %s" % (name, len(cases), "ok" if bad == 0 else "%d FAILED" % bad))


class Gen:
    def __init__(self, seed):
        self.rng = random.Random(seed)

    def word(self, style):
        r = self.rng
        if style == "rand":
            return r.getrandbits(32)
        if style == "zero":
            return 0
        if style == "ones":
            return MASK
        if style == "special":
            return r.choice(SPECIAL)
        if style == "short":
            return r.getrandbits(r.randint(1, 32))
        if style == "sparse":
            return r.getrandbits(32) if r.random() < 0.2 else 0
        return r.choice(SPECIAL) if r.random() < 0.5 else r.getrandbits(32)

    def style(self):
        return self.rng.choice(["rand", "rand", "mix", "special", "sparse", "ones", "zero"])

    def number(self, n, style=None, top_zero=None):
        """An n-word value; sometimes with its highest words zero."""
        style = style or self.style()
        value = 0
        for i in range(n):
            value |= self.word(style) << (32 * i)
        if top_zero is None:
            top_zero = self.rng.random() < 0.25
        if top_zero and n:
            keep = self.rng.randint(0, n - 1)
            value &= (1 << (32 * keep)) - 1
        return value


def mul_cases(g):
    cases = []
    for n in list(range(0, 12)) + [16, 31, 32, 33, 40, 64]:
        for _ in range(6):
            x, y = g.number(n), g.number(n)
            cases.append(("mul %s %s" % (words_hex(x, n), words_hex(y, n)), words_hex(x * y, 2 * n)))
            # The square must equal the product of the operand with itself.
            cases.append(("sqr %s" % words_hex(x, n), words_hex(x * x, 2 * n)))
            cases.append(("mul %s %s" % (words_hex(x, n), words_hex(x, n)), words_hex(x * x, 2 * n)))
    return cases


def worddiv_cases(g):
    cases = []
    r = g.rng
    for _ in range(400):
        u0, u1 = g.word(g.style()), g.word(g.style())
        d = g.word(g.style())
        if r.random() < 0.7:
            d |= 0x80000000
        if r.random() < 0.2 and d & 0x80000000:
            u1 = r.choice([d, d - 1, (d + 1) & MASK, MASK])
        req = "worddiv %s %s %s" % (words_hex(u0, 1), words_hex(u1, 1), words_hex(d, 1))
        if not d & 0x80000000:
            cases.append((req, "-1 00000000 00000000"))
            continue
        quot, rem = divmod(u1 * 2 ** 32 + u0, d)
        cases.append((req, "%d %s %s" % (quot >> 32, words_hex(quot & MASK, 1), words_hex(rem, 1))))
    return cases


def estimate_cases(g):
    cases = []
    for _ in range(300):
        q, rh, dl, ul = (g.word(g.style()) for _ in range(4))
        want = 1 if q * dl > rh * 2 ** 32 + ul else 0
        cases.append(("estimate %s %s %s %s" % tuple(words_hex(w, 1) for w in (q, rh, dl, ul)),
                      str(want)))
    return cases


def submul_cases(g):
    cases = []
    for _ in range(300):
        n = g.rng.randint(0, 10)
        top, q = g.word(g.style()), g.word(g.style())
        w, v = g.number(n), g.number(n)
        full = ((top << (32 * n)) + w - q * v) % (1 << (32 * (n + 1)))
        cases.append(("submul %s %s %s %s" % (words_hex(top, 1), words_hex(w, n), words_hex(v, n),
                                              words_hex(q, 1)),
                      "%s %s" % (words_hex(full & ((1 << (32 * n)) - 1), n),
                                 words_hex(full >> (32 * n), 1))))
    return cases


def divword_cases(g):
    cases = []
    for _ in range(400):
        n = g.rng.randint(0, 12)
        u = g.number(n)
        d = g.word(g.style())
        req = "divword %s %s" % (words_hex(u, n), words_hex(d, 1))
        if n == 0 or d == 0:
            # Refused: the quotient array is left as it was.
            cases.append((req, "%s 00000000" % ("-" if n == 0 else "77777777" * n)))
        else:
            cases.append((req, "%s %s" % (words_hex(u // d, n), words_hex(u % d, 1))))
    return cases


def divrem_expect(u, ud, v, vd):
    if v == 0:
        return "-1 %s %s %s" % (words_hex(0, ud), words_hex(0, ud), words_hex(v, vd))
    return "0 %s %s %s" % (words_hex(u // v, ud), words_hex(u % v, ud), words_hex(v, vd))


def divrem_cases(g):
    cases = []
    paths = [0, 0, 0]  # overflow, second correction, add-back
    r = g.rng

    def add(u, ud, v, vd):
        for i, steps in enumerate(kbref.divrem_paths(u, ud, v, vd)):
            paths[i] += steps > 0
        cases.append(("divrem %s %s" % (words_hex(u, ud), words_hex(v, vd)), divrem_expect(u, ud, v, vd)))

    # General random sizes, zero and one-word divisors among them.
    for _ in range(700):
        vd = r.randint(0, 12)
        ud = r.randint(0, 24)
        v = g.number(vd)
        if r.random() < 0.3 and vd:
            v |= 1 << (32 * vd - 1)  # top word with its high bit: no shift
        add(g.number(ud), ud, v, vd)
    # Words around the digit boundaries: these reach the overflow and add-back
    # paths often.
    for _ in range(2500):
        vd = r.randint(2, 8)
        ud = r.randint(vd, 16)
        style = r.choice(["special", "mix", "short"])
        add(g.number(ud, style, False), ud, g.number(vd, style, False), vd)
    # u < v, u = v, and u = k * v exactly, with padding words.
    for _ in range(150):
        vd = r.randint(1, 8)
        v = g.number(vd, top_zero=False) or 1
        ud = vd + r.randint(0, 4)
        add(v, ud, v, vd)
        add(v - 1, ud, v, vd)
        k = r.randint(1, (1 << (32 * (ud - vd))) - 1) if ud > vd else 1
        add(v * k, ud, v, vd)
    # 1024-bit moduli as the signature check uses them.
    for _ in range(60):
        m = g.number(32, "rand", False) | (1 << 1023)
        add(g.number(64, "rand", False), 64, m, 32)
    return cases, paths


def shift_cases(g):
    cases = []
    for _ in range(300):
        n = g.rng.randint(0, 10)
        k = g.rng.randint(0, 31)
        x = g.number(n)
        total = 32 * n
        left = (x << k) & ((1 << total) - 1)
        out_left = (x >> (total - k)) if k and n else 0
        right = x >> k
        out_right = ((x & ((1 << k) - 1)) << (32 - k)) if k else 0
        if n == 0:
            out_left = out_right = 0
        cases.append(("shl %s %d" % (words_hex(x, n), k), "%s %s" % (words_hex(left, n), words_hex(out_left, 1))))
        cases.append(("shr %s %d" % (words_hex(x, n), k), "%s %s" % (words_hex(right, n), words_hex(out_right, 1))))
    return cases


def small_cases(g):
    cases = []
    for _ in range(300):
        n = g.rng.randint(0, 10)
        x = g.number(n)
        y = x if g.rng.random() < 0.2 else g.number(n)
        cases.append(("bitlen %s" % words_hex(x, n), str(x.bit_length())))
        cases.append(("sigwords %s" % words_hex(x, n), str((x.bit_length() + 31) // 32)))
        cases.append(("cmp %s %s" % (words_hex(x, n), words_hex(y, n)), str((x > y) - (x < y))))
    return cases


def reduce_cases(g):
    cases = []
    r = g.rng
    for _ in range(300):
        md = r.randint(0, 10)
        ud = r.randint(0, 20)
        u, m = g.number(ud), g.number(md)
        cases.append(("reduce %s %s" % (words_hex(u, ud), words_hex(m, md)),
                      words_hex(u % m if m else 0, md)))
    for _ in range(200):
        n = r.randint(1, 12)
        x, y, m = g.number(n), g.number(n), g.number(n)
        cases.append(("mulreduce %s %s %s" % (words_hex(x, n), words_hex(y, n), words_hex(m, n)),
                      words_hex(x * y % m if m else 0, n)))
    return cases


def pow_expect(x, e, m, n):
    if e == 0:
        return words_hex(1, n) if n else "-"  # 1 whatever m is, even m = 1
    if m == 0:
        return words_hex(0, n)  # division by zero yields zero remainders
    return words_hex(pow(x, e, m), n)


def window_width(bits):
    w = 0
    for t in (5, 16, 64, 240, 768, 1024, 2048, 4096):
        if t > bits:
            break
        w += 1
    return w


def pow_cases(g):
    """Exponent lengths covering every window width; both methods each time."""
    cases = []
    widths = set()
    r = g.rng
    lengths = [0, 1, 2, 3, 4, 5, 15, 16, 17, 40, 63, 64, 65, 200, 239, 240, 241, 500, 767, 768,
               1000, 1023, 1024, 1025, 2047, 2048, 2500, 4095, 4096, 4100]
    for bits in lengths:
        reps = 2 if bits > 2000 else 6
        for rep in range(reps):
            n = max((bits + 31) // 32, 1) + r.randint(0, 2)
            if bits > 2000:
                n = (bits + 31) // 32 + (rep % 2)
            e = (1 << (bits - 1)) | r.getrandbits(bits - 1) if bits else 0
            if rep == 1 and bits:
                e = (1 << bits) - 1  # all ones: every window full
            md = r.randint(1, n)
            m = g.number(md, "rand", False) if rep != 2 else g.number(md)
            if rep == 3:
                m = 1
            x = g.number(n)
            if rep == 4 and m:
                x = x % m
            for op in ("powbits", "powwindow"):
                req = "%s %s %s %s" % (op, words_hex(x, n), words_hex(e, n), words_hex(m, n))
                cases.append((req, pow_expect(x, e, m, n)))
            widths.add(window_width(bits))
    # Small exponents, 65535 and 65537, x at or above m, a zero modulus.
    for e in (0, 1, 2, 3, 4, 15, 16, 17, 255, 65535, 65536, 65537):
        for _ in range(5):
            n = r.randint(1, 8)
            m = g.number(n, "rand", False) | 1
            x = g.number(n, "rand", False)
            if r.random() < 0.5:
                x = (m + r.randint(0, 5)) % (1 << (32 * n))  # at or just above m
            for mm in (m, 0):
                for op in ("powbits", "powwindow"):
                    cases.append(("%s %s %s %s" % (op, words_hex(x, n), words_hex(e, n), words_hex(mm, n)),
                                  pow_expect(x, e, mm, n)))
    return cases, widths


def octets_cases(g):
    cases = []
    r = g.rng
    for _ in range(200):
        n = r.randint(0, 40)
        w = g.number(n)
        length = (w.bit_length() + 7) // 8
        block = (w & ((1 << 1024) - 1)).to_bytes(128, "big")  # low 128 bytes kept
        cases.append(("tooctets %s" % words_hex(w, n), "%d %s" % (length, block.hex())))
    for _ in range(300):
        nbytes = r.randint(0, 40)
        data = bytes(r.getrandbits(8) for _ in range(nbytes))
        if data and r.random() < 0.3:
            data = bytes(r.randint(0, 3)) + data  # leading zero bytes
        nwords = r.randint(0, 12)
        value = int.from_bytes(data, "big") & ((1 << (32 * nwords)) - 1)
        used = (value.bit_length() + 31) // 32
        capacity = max(1, nwords)
        cases.append(("kboctets %s %d" % (bytes_hex(data), nwords),
                      "%d %d %s" % (used, capacity, words_hex(value, capacity))))
    return cases


def hex_digits_value(text):
    digits = "".join(c for c in text if c in "0123456789abcdefABCDEF")
    return int(digits, 16) if digits else 0


def kbhex_expect(text):
    length = len(text.encode("latin-1"))
    nwords = ((length + 1) // 2 + 3) // 4
    capacity = max(1, nwords)
    value = hex_digits_value(text)
    used = (value.bit_length() + 31) // 32
    count = max(1, (value.bit_length() + 7) // 8)
    block = (value & ((1 << 1024) - 1)).to_bytes(128, "big")
    return "%d %d %s %d %s" % (used, capacity, words_hex(value, capacity), count, block.hex())


def kbhex_cases(g):
    texts = ["AB", "ab", "0aB", "A B", "A:B", "0x0AB", "abc", "", "0", "00000000", "f" * 300,
             "xyz", "1" * 257, "  ", "-12", "deadbeef", "DEADBEEF1"]
    r = g.rng
    alphabet = "0123456789abcdefABCDEF :x-\t#"
    for _ in range(200):
        texts.append("".join(r.choice(alphabet) for _ in range(r.randint(0, 300))))
    return [("kbhex %s" % bytes_hex(t.encode("latin-1")), kbhex_expect(t)) for t in texts]


def kbpow_cases(g):
    cases = []
    r = g.rng
    for _ in range(150):
        xb, eb, mb = (bytes(r.getrandbits(8) for _ in range(r.randint(0, 40))) for _ in range(3))
        x, e, m = (int.from_bytes(b, "big") for b in (xb, eb, mb))
        if e == 0:
            # 1 over max(used) words; with every operand zero there are none.
            y = 1 if (x or m) else 0
        elif m == 0:
            y = 0
        else:
            y = pow(x, e, m)
        used = (y.bit_length() + 31) // 32
        yb = y.to_bytes(4 * used, "big") if used else b""
        cases.append(("kbpow %s %s %s" % (bytes_hex(xb), bytes_hex(eb), bytes_hex(mb)),
                      "%s %d" % (bytes_hex(yb), used)))
    return cases


def digest_cases(g):
    r = g.rng
    cases = [("digest -", "ee5abb2ab1f62242dcc4b28913290305"),
             ("digest %s" % b"abc".hex(), "c32e9c54b462a6fe69ce1b279e9c8a4c")]
    lengths = list(range(0, 49)) + [255, 256, 257, 1000, 4096, 65537, 300000]
    for length in lengths:
        data = bytes(r.getrandbits(8) for _ in range(length))
        cases.append(("digest %s" % bytes_hex(data), kbref.block_digest(data).hex()))
    for _ in range(100):
        v = [r.getrandbits(32) for _ in range(4)]
        k = [r.getrandbits(32) for _ in range(4)]
        out = kbref.xxtea_encrypt(v, k)
        cases.append(("xxtea %s %s" % ("".join("%08x" % w for w in v), "".join("%08x" % w for w in k)),
                      "".join("%08x" % w for w in out)))
    return cases


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else 20240611
    # The reference must give the worked values before it can judge anything.
    assert kbref.block_digest(b"").hex() == "ee5abb2ab1f62242dcc4b28913290305"
    assert kbref.block_digest(b"abc").hex() == "c32e9c54b462a6fe69ce1b279e9c8a4c"
    g = Gen(seed)
    c = Checker(kbref.Probe(sys.argv[1]))
    c.group("mul/sqr", mul_cases(g))
    c.group("worddiv", worddiv_cases(g))
    c.group("estimate", estimate_cases(g))
    c.group("submul", submul_cases(g))
    c.group("divword", divword_cases(g))
    cases, paths = divrem_cases(g)
    c.group("divrem", cases)
    print("             divrem cases taking the trial-quotient overflow: %d, the second "
          "correction: %d, the add-back: %d" % tuple(paths))
    c.group("shift", shift_cases(g))
    c.group("small", small_cases(g))
    c.group("reduce", reduce_cases(g))
    cases, widths = pow_cases(g)
    c.group("pow", cases)
    c.group("octets", octets_cases(g))
    c.group("kbhex", kbhex_cases(g))
    c.group("kbpow", kbpow_cases(g))
    c.group("digest", digest_cases(g))
    ok = c.failures == 0
    if 0 in paths:
        print("FAILED: the division cases missed the overflow, second-correction or add-back path")
        ok = False
    if widths != set(range(0, 9)):
        print("FAILED: exponents did not cover every window width: %s" % sorted(widths))
        ok = False
    print("%d checks, %d failures" % (c.checked, c.failures))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
