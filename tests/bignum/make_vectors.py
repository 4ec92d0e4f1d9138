#!/usr/bin/env python3
"""Writes vectors.inc, the reference values the Kalbrum unit tests embed so
that they run anywhere (also under Wine) without Python or OpenSSL.

Usage: make_vectors.py OUTPUT.inc

- Block digests and XXTEA encryptions from the independent Python
  implementation in kbref (checked first against the two worked values).
- Long divisions that take the trial-quotient overflow path (with and
  without a carry out of the trial remainder) and the add-back path (with
  and without normalising shift), found with the decision model of kbref.
- RSA-1024 keys made by `openssl genrsa` and signatures made by
  `openssl pkeyutl -sign`: PKCS #1 v1.5 over the DigestInfo header and a
  digest, and raw signatures of blocks with altered filler, algorithm
  identifier or a single altered header byte (raw private-key operation,
  `openssl pkeyutl -decrypt -pkeyopt rsa_padding_mode:none`). Also one signature made with
  the development key in tools/devkey, for the built-in key.

The private keys of the fresh test keys are thrown away.
"""

import os
import random
import subprocess
import sys
import tempfile

import kbref

HERE = os.path.dirname(os.path.abspath(__file__))
DEV_KEY = os.path.join(HERE, "..", "..", "tools", "devkey", "horlix-dev-private.pem")
DIGEST_INFO = bytes.fromhex("3020300c06082a864886f70d020505000410")
# The thirteen header positions the verifier compares, with their values.
HEADER = [(0, 0x00), (1, 0x01), (2, 0xFF), (3, 0xFF), (91, 0xFF), (92, 0xFF), (93, 0x00),
          (94, 0x30), (95, 0x20), (108, 0x05), (109, 0x00), (110, 0x04), (111, 0x10)]


def pattern(length):
    """The test message of a given length (the C++ test makes the same)."""
    return bytes((i * 167 + 13) & 0xFF for i in range(length))


def c_bytes(data, indent="    "):
    lines = []
    for i in range(0, len(data), 16):
        lines.append(indent + " ".join("0x%02x," % b for b in data[i:i + 16]))
    return "\n".join(lines)


def openssl(*args, data=None):
    return subprocess.run(["openssl"] + list(args), input=data, capture_output=True, check=True).stdout


def modulus_of(pem):
    text = openssl("rsa", "-in", pem, "-noout", "-modulus").decode().strip()
    return bytes.fromhex(text.split("=", 1)[1])


def sign_pkcs1(pem, payload):
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(payload)
    try:
        return openssl("pkeyutl", "-sign", "-inkey", pem, "-in", f.name)
    finally:
        os.unlink(f.name)


def sign_raw(pem, block):
    """block^d mod n: the raw private-key operation (pkeyutl -sign refuses
    inputs longer than a hash, so it goes through -decrypt without padding)."""
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(block)
    try:
        return openssl("pkeyutl", "-decrypt", "-inkey", pem, "-in", f.name,
                       "-pkeyopt", "rsa_padding_mode:none")
    finally:
        os.unlink(f.name)


def good_block(digest):
    return b"\x00\x01" + b"\xff" * 91 + b"\x00" + DIGEST_INFO + digest


def division_cases(rng):
    """Small divisions reaching each path, as (u words, v words, label)."""
    want = {"overflow": 2, "overflow, then corrected": 2, "overflow, digit kept by its remainder": 2,
            "overflow, trial remainder carries": 2,
            "add-back, shifted divisor": 2, "add-back, divisor already normalised": 2}
    found = []
    special = [0, 1, 2, 0x7FFFFFFF, 0x80000000, 0x80000001, 0xFFFFFFFE, 0xFFFFFFFF]

    def word():
        x = rng.random()
        if x < 0.5:
            return rng.choice(special)
        return rng.getrandbits(rng.randint(1, 32))

    while any(want.values()):
        vd = rng.randint(2, 3)
        ud = rng.randint(vd + 1, vd + 2)
        v = [word() for _ in range(vd)]
        u = [word() for _ in range(ud)]
        if v[-1] == 0:
            continue
        uval = sum(w << (32 * i) for i, w in enumerate(u))
        vval = sum(w << (32 * i) for i, w in enumerate(v))
        trace = kbref.divrem_trace(uval, ud, vval, vd)
        labels = []
        if trace["overflow_carry"]:
            labels.append("overflow, trial remainder carries")
        elif trace["overflow_kept"]:
            labels.append("overflow, digit kept by its remainder")
        elif trace["overflow_corrected"]:
            labels.append("overflow, then corrected")
        elif trace["overflow"]:
            labels.append("overflow")
        if trace["addback"]:
            labels.append("add-back, divisor already normalised" if v[-1] >> 31
                          else "add-back, shifted divisor")
        for label in labels:
            if want.get(label, 0) > 0:
                want[label] -= 1
                found.append((u, v, label))
                break
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    assert kbref.block_digest(b"").hex() == "ee5abb2ab1f62242dcc4b28913290305"
    assert kbref.block_digest(b"abc").hex() == "c32e9c54b462a6fe69ce1b279e9c8a4c"
    rng = random.Random(7)
    out = ["// Generated by make_vectors.py: reference values for the unit tests.",
           "// Digests and XXTEA from the Python reference in kbref.py; signatures",
           "// from OpenSSL. Regenerate with: make_vectors.py vectors.inc", ""]

    out.append("struct DigestVector { uint32_t length; const char *digest; };")
    out.append("// Message of each length: byte i = (i * 167 + 13) & 0xFF.")
    out.append("const DigestVector kDigestVectors[] = {")
    for length in [0, 1, 3, 15, 16, 17, 31, 32, 33, 64, 1000, 65536, 1 << 20]:
        out.append('    {%d, "%s"},' % (length, kbref.block_digest(pattern(length)).hex()))
    out.append("};\n")

    out.append("struct XxteaVector { uint32_t v[4]; uint32_t k[4]; uint32_t out[4]; };")
    out.append("const XxteaVector kXxteaVectors[] = {")
    blocks = [([0, 0, 0, 0], [0, 0, 0, 0]), ([0xFFFFFFFF] * 4, [0xFFFFFFFF] * 4)]
    blocks += [([rng.getrandbits(32) for _ in range(4)], [rng.getrandbits(32) for _ in range(4)])
               for _ in range(6)]
    for v, k in blocks:
        o = kbref.xxtea_encrypt(v, k)
        fmt = lambda ws: "{" + ", ".join("0x%08xu" % w for w in ws) + "}"
        out.append("    {%s, %s, %s}," % (fmt(v), fmt(k), fmt(o)))
    out.append("};\n")

    out.append("struct DivisionCase { const char *label; uint32_t ud; uint32_t u[5]; uint32_t vd; uint32_t v[3]; };")
    out.append("// Found with the decision model of kbref.divrem_paths.")
    out.append("const DivisionCase kPathCases[] = {")
    for u, v, label in division_cases(rng):
        out.append('    {"%s", %d, {%s}, %d, {%s}},' % (
            label, len(u), ", ".join("0x%08xu" % w for w in u), len(v),
            ", ".join("0x%08xu" % w for w in v)))
    out.append("};\n")

    with tempfile.TemporaryDirectory() as tmp:
        key = os.path.join(tmp, "test.pem")
        other = os.path.join(tmp, "other.pem")
        openssl("genrsa", "-out", key, "1024")
        openssl("genrsa", "-out", other, "1024")
        n = modulus_of(key)
        out.append("// Modulus of a test key (openssl genrsa 1024), then 65537.")
        out.append("const unsigned char kTestKey[131] = {\n%s\n};" % c_bytes(n + b"\x01\x00\x01"))
        out.append("// A second, unrelated key.")
        out.append("const unsigned char kOtherKey[131] = {\n%s\n};\n"
                   % c_bytes(modulus_of(other) + b"\x01\x00\x01"))

        digest = bytes(rng.getrandbits(8) for _ in range(16))
        out.append("const unsigned char kSignedDigest[16] = {\n%s\n};" % c_bytes(digest))
        sig = sign_pkcs1(key, DIGEST_INFO + digest)
        assert len(sig) == 128
        out.append('// openssl pkeyutl -sign over the DigestInfo header and kSignedDigest.')
        out.append('const char kSignatureHex[] = "%s";' % sig.hex())
        nval, sval = int.from_bytes(n, "big"), int.from_bytes(sig, "big")
        out.append("// The same signature plus 1 and plus 2^200 times the modulus.")
        out.append('const char kSignaturePlusN[] = "%x";' % (sval + nval))
        out.append('const char kSignaturePlusBigN[] = "%x";\n' % (sval + (nval << 200)))

        block = bytearray(good_block(digest))
        for i in range(4, 91):
            block[i] = rng.getrandbits(8)
        out.append("// Raw signatures: filler bytes 4 to 90 replaced by random bytes,")
        out.append('const char kOddFillerHex[] = "%s";' % sign_raw(key, bytes(block)).hex())
        block = bytearray(good_block(digest))
        for i in range(96, 108):
            block[i] = rng.getrandbits(8)
        out.append("// and the algorithm identifier (bytes 96 to 107) replaced.")
        out.append('const char kOddAlgorithmHex[] = "%s";\n' % sign_raw(key, bytes(block)).hex())

        out.append("struct HeaderFault { uint32_t pos; const char *sig; };")
        out.append("// Raw signatures of the good block with one compared header byte changed.")
        out.append("const HeaderFault kHeaderFaults[] = {")
        for pos, value in HEADER:
            block = bytearray(good_block(digest))
            block[pos] = value ^ 0x5A  # byte 0 stays below 0x80: the block stays below n
            out.append('    {%d, "%s"},' % (pos, sign_raw(key, bytes(block)).hex()))
        out.append("};\n")

        dev_modulus = modulus_of(DEV_KEY)
        out.append("// Modulus of the development key in tools/devkey, and a signature made")
        out.append("// with it over kSignedDigest.")
        out.append("const unsigned char kDevKey[131] = {\n%s\n};" % c_bytes(dev_modulus + b"\x01\x00\x01"))
        out.append('const char kDevSignatureHex[] = "%s";' % sign_pkcs1(DEV_KEY, DIGEST_INFO + digest).hex())

    with open(sys.argv[1], "w") as f:
        f.write("\n".join(out) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
