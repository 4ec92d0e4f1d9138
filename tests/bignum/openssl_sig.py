#!/usr/bin/env python3
"""VerifySignature against OpenSSL, with keys and signatures made afresh.

Usage: openssl_sig.py PROBE DEV_KEY.pem [SEED]

For fresh RSA-1024 keys (openssl genrsa) and random digests, signatures
from `openssl pkeyutl -sign` over the DigestInfo header and the digest must
verify, in every writing of the hexadecimal text and as s + k * n; wrong
digests, other keys, cut, damaged, empty and foreign texts must not. The
built-in key is checked with signatures of the development key when the tree
is built with it.
"""

import os
import random
import subprocess
import sys
import tempfile

import kbref

DIGEST_INFO = bytes.fromhex("3020300c06082a864886f70d020505000410")


def openssl(*args):
    return subprocess.run(["openssl"] + list(args), capture_output=True, check=True).stdout


def modulus_of(pem):
    return bytes.fromhex(openssl("rsa", "-in", pem, "-noout", "-modulus").decode().strip().split("=", 1)[1])


def sign(pem, digest, tmp):
    path = os.path.join(tmp, "payload.bin")
    with open(path, "wb") as f:
        f.write(DIGEST_INFO + digest)
    return openssl("pkeyutl", "-sign", "-inkey", pem, "-in", path)


def variants(rng, sig_hex, n):
    """(label, text, valid) writings of one signature."""
    s = int(sig_hex, 16)
    k = rng.getrandbits(300) | 1
    flipped = list(sig_hex)
    pos = rng.randrange(len(flipped))
    flipped[pos] = "0" if flipped[pos] != "0" else "f"
    out = [
        ("lower", sig_hex, True),
        ("upper", sig_hex.upper(), True),
        ("spaced pairs", " ".join(sig_hex[i:i + 2] for i in range(0, len(sig_hex), 2)), True),
        ("colon pairs", ":".join(sig_hex[i:i + 2].upper() for i in range(0, len(sig_hex), 2)), True),
        ("leading zeros", "000000" + sig_hex, True),
        ("s + n", "%x" % (s + n), True),
        ("s + k * n", "%x" % (s + k * n), True),
        ("truncated", sig_hex[:-2], False),
        ("half", sig_hex[:128], False),
        ("empty", "", False),
        ("no digits", "zz;--", False),
        ("damaged digit", "".join(flipped), False),
        ("extra digit", sig_hex + "7", False),
    ]
    return out


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    probe = kbref.Probe(sys.argv[1])
    dev_key = sys.argv[2]
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 4242)
    requests, expected, labels = [], [], []
    with tempfile.TemporaryDirectory() as tmp:
        keys = []
        for i in range(3):
            pem = os.path.join(tmp, "key%d.pem" % i)
            openssl("genrsa", "-out", pem, "1024")
            keys.append((pem, modulus_of(pem)))
        for ki, (pem, modulus) in enumerate(keys):
            key_hex = (modulus + b"\x01\x00\x01").hex()
            other_hex = (keys[(ki + 1) % len(keys)][1] + b"\x01\x00\x01").hex()
            n = int.from_bytes(modulus, "big")
            for _ in range(4):
                digest = bytes(rng.getrandbits(8) for _ in range(16))
                sig_hex = sign(pem, digest, tmp).hex()
                for label, text, valid in variants(rng, sig_hex, n):
                    requests.append("verifykey %s %s %s" % (key_hex, kbref.bytes_hex(text.encode()), digest.hex()))
                    expected.append("0" if valid else "1")
                    labels.append("key %d %s" % (ki, label))
                wrong = bytearray(digest)
                wrong[15] ^= 1
                for label, dig, key in [("last digest byte", bytes(wrong), key_hex),
                                        ("first digest byte", bytes([digest[0] ^ 0x80]) + digest[1:], key_hex),
                                        ("other key", digest, other_hex)]:
                    requests.append("verifykey %s %s %s" % (key, kbref.bytes_hex(sig_hex.encode()), dig.hex()))
                    expected.append("1")
                    labels.append("key %d %s" % (ki, label))

        builtin = probe.run(["pubkey"])[0]
        dev_modulus = modulus_of(dev_key)
        if builtin == (dev_modulus + b"\x01\x00\x01").hex():
            for _ in range(4):
                digest = bytes(rng.getrandbits(8) for _ in range(16))
                sig_hex = sign(dev_key, digest, tmp).hex()
                requests.append("verify %s %s" % (kbref.bytes_hex(sig_hex.encode()), digest.hex()))
                expected.append("0")
                labels.append("built-in key")
                requests.append("verify %s %s" % (kbref.bytes_hex(sig_hex.encode()), bytes(16).hex()))
                expected.append("1")
                labels.append("built-in key, other digest")
            # A signature of a fresh key is not one of the built-in key.
            digest = bytes(16)
            requests.append("verify %s %s" % (kbref.bytes_hex(sign(keys[0][0], digest, tmp).hex().encode()),
                                              digest.hex()))
            expected.append("1")
            labels.append("built-in key, foreign signature")
        else:
            print("note: the tree is built with another public key; built-in key cases skipped")

    answers = probe.run(requests)
    bad = 0
    for label, want, got in zip(labels, expected, answers):
        if want != got:
            bad += 1
            print("MISMATCH %s: want %s got %s" % (label, want, got))
    print("%d signature checks, %d failures" % (len(requests), bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
