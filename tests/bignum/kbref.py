"""Reference pieces shared by the Kalbrum differential tests.

Independent Python versions of what the C++ library computes: word-array
formatting for the probe protocol, the XXTEA cipher and the block digest, and
a model of the long division's decisions (trial quotient overflow and
add-back) used to show that the test inputs reach those paths.
"""

import subprocess

B = 1 << 32
MASK = B - 1


# --- probe protocol --------------------------------------------------------

def words_hex(value, n):
    """value as n words, most significant word first, 8 digits each."""
    if n == 0:
        assert value == 0
        return "-"
    assert 0 <= value < (1 << (32 * n)), (value, n)
    return format(value, "0%dx" % (8 * n))


def words_value(text):
    return 0 if text == "-" else int(text, 16)


def bytes_hex(data):
    return data.hex() if data else "-"


class Probe:
    """Runs kalbrum_probe over a batch of requests, one line each."""

    def __init__(self, path):
        self.path = path

    def run(self, requests):
        if not requests:
            return []
        proc = subprocess.run([self.path], input="\n".join(requests) + "\n",
                              capture_output=True, text=True, check=False)
        if proc.returncode != 0:
            raise RuntimeError("probe failed (%d): %s" % (proc.returncode, proc.stderr))
        lines = proc.stdout.split("\n")
        if lines and lines[-1] == "":
            lines.pop()
        if len(lines) != len(requests):
            raise RuntimeError("probe answered %d of %d requests" % (len(lines), len(requests)))
        return lines


# --- XXTEA and the block digest --------------------------------------------

DELTA = 0x9E3779B9
IV = (0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344)


def xxtea_encrypt(v, k):
    """Corrected Block TEA encryption of a list of words (here four)."""
    v = list(v)
    n = len(v)
    rounds = 6 + 52 // n
    total = 0
    z = v[n - 1]
    for _ in range(rounds):
        total = (total + DELTA) & MASK
        e = (total >> 2) & 3
        for p in range(n):
            y = v[(p + 1) % n]
            mx = ((((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^
                  ((total ^ y) + (k[(p & 3) ^ e] ^ z)))
            v[p] = (v[p] + mx) & MASK
            z = v[p]
    return v


def _block_words(block):
    return [int.from_bytes(block[4 * i:4 * i + 4], "big") for i in range(4)]


def block_digest(data):
    """Davies-Meyer on XXTEA: message blocks key the cipher, H is encrypted."""
    h = list(IV)

    def compress(key):
        t = xxtea_encrypt(h, key)
        for i in range(4):
            h[i] ^= t[i]

    length = len(data)
    full = length // 16
    for i in range(full):
        compress(_block_words(data[16 * i:16 * i + 16]))
    tail = data[16 * full:]
    final = tail + b"\x80" + bytes(15 - len(tail))
    compress(_block_words(final))
    compress([0, 0, 0, length & MASK])
    return b"".join(x.to_bytes(4, "big") for x in h)


# --- model of the long division's decisions --------------------------------

def _sig(words):
    n = len(words)
    while n and words[n - 1] == 0:
        n -= 1
    return n


def to_words(value, n):
    return [(value >> (32 * i)) & MASK for i in range(n)]


def divrem_trace(u, ud, v, vd):
    """How many quotient digits of the long division u / v take each path:
    a dict with "overflow" (trial quotient capped at all ones),
    "overflow_carry" (of those, the trial remainder carried out of 32 bits),
    "overflow_corrected" (of those, the correction step lowered the digit),
    "overflow_kept" (the capped digit was right, and only the divisor's top
    word in the trial remainder keeps the correction from lowering it),
    "second" (second correction) and "addback".

    Follows the normalisation, trial quotient, correction and add-back
    decisions step by step with exact integers, so a test can tell which of
    its inputs exercise which path.
    """
    trace = {"overflow": 0, "overflow_carry": 0, "overflow_corrected": 0, "overflow_kept": 0, "second": 0, "addback": 0}
    uw, vw = to_words(u, ud), to_words(v, vd)
    n, m = _sig(vw), _sig(uw)
    if n <= 1 or m < n or (m == n and u <= v):
        return trace
    s = 32 - vw[n - 1].bit_length()
    vn = v << s
    V = to_words(vn, n)
    R = to_words(u << s, m + 1)
    top, nxt = V[n - 1], V[n - 2]
    for j in range(m - n, -1, -1):
        t = R[j + n]
        carried = False
        if t >= top:
            trace["overflow"] += 1
            qhat = MASK
            rhat = R[j + n - 1] + top
            carried = rhat >= B
            trace["overflow_carry"] += carried
        else:
            qhat, rhat = divmod(t * B + R[j + n - 1], top)
        window = sum(R[j + i] << (32 * i) for i in range(n + 1))
        if t >= top and not carried and window // vn == MASK:
            plain = qhat * nxt > R[j + n - 1] * B + R[j + n - 2]
            trace["overflow_kept"] += plain and not qhat * nxt > rhat * B + R[j + n - 2]
        if qhat and not carried:
            if qhat * nxt > rhat * B + R[j + n - 2]:
                trace["overflow_corrected"] += t >= top
                qhat -= 1
                rhat += top
                if rhat < B and qhat * nxt > rhat * B + R[j + n - 2]:
                    qhat -= 1
                    trace["second"] += 1
        window = sum(R[j + i] << (32 * i) for i in range(n + 1))
        if qhat * vn > window:
            trace["addback"] += 1
            qhat -= 1
        window -= qhat * vn
        assert 0 <= window < vn
        for i in range(n + 1):
            R[j + i] = (window >> (32 * i)) & MASK
    return trace


def divrem_paths(u, ud, v, vd):
    """(overflow, second correction, add-back) digit counts of u / v."""
    t = divrem_trace(u, ud, v, vd)
    return t["overflow"], t["second"], t["addback"]
