#!/usr/bin/env python3
"""Runs tools/make_dist.sh on the built trees into a temporary folder and
checks what it wrote: the installer as built, the portable zip holding
exactly the program folder, the signed information file, whose signature
OpenSSL (as a black box) recovers with the development key, and the zone
data file with its signature (checked with OpenSSL by server.signing).

Usage: check_dist.py SOURCE_DIR WINDOWS_BUILD NATIVE_BUILD
Exit code 0 = passed, 1 = failed, 77 = not built or no openssl.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.realpath(__file__)))), "tests", "bignum"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.realpath(__file__)))), "server"))
import horlix_update_server as srv  # noqa: E402
import kbref  # noqa: E402

SKIP = 77
URL = "http://updates.example/horlix/upd/horlix-test-setup.exe"
# PKCS #1 v1.5 DigestInfo header of a 16-byte MD5-sized digest.
DIGEST_INFO = bytes.fromhex("3020300c06082a864886f70d020505000410")


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)
    print("  ok:", what, flush=True)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def built_installer(win):
    """The file name of the installer the Windows tree builds, or None."""
    try:
        with open(os.path.join(win, "installer", "setup-name.txt")) as f:
            name = f.read().strip()
    except OSError:
        return None
    return name if os.path.isfile(os.path.join(win, "installer", name)) else None


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    source, win, native = sys.argv[1:]
    key = os.path.join(source, "tools", "devkey", "horlix-dev-private.pem")
    setup = built_installer(win)
    if setup is None or not os.path.isfile(os.path.join(native, "bin", "horlix-sign")):
        print("skipped: the installer or horlix-sign has not been built")
        return SKIP
    if shutil.which("openssl") is None:
        print("skipped: no openssl")
        return SKIP
    version = setup[len("horlix-"):-len("-setup.exe")]
    with open(os.path.join(win, "generated", "horlix_version.h")) as f:
        built = re.search(r'^#define HORLIX_VERSION_DOTTED "([^"]*)"', f.read(), re.M)
    try:
        check(built is not None and built.group(1) == version,
              "the installer's version %s is the program's" % version)
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "dist")
            done = subprocess.run([os.path.join(source, "tools", "make_dist.sh"), win, native, out,
                                   URL, key], capture_output=True, stdin=subprocess.DEVNULL,
                                  timeout=300, check=False)
            print(done.stdout.decode("latin-1"), done.stderr.decode("latin-1"))
            check(done.returncode == 0, "make_dist.sh succeeds")
            check(sorted(os.listdir(out)) == sorted([setup, "horlix-%s-portable.zip" % version,
                                                     "horlixquicki-sig.txt", "horlixtz.ini",
                                                     "horlixtz-sig.txt"]),
                  "dist holds the installer, the zip, the info file and the signed zone data")
            installer = read(os.path.join(out, setup))
            check(installer == read(os.path.join(win, "installer", setup)),
                  "the installer is the one built")

            folder = os.path.join(win, "program", "Horlix")
            with zipfile.ZipFile(os.path.join(out, "horlix-%s-portable.zip" % version)) as z:
                files = sorted(n for n in z.namelist() if not n.endswith("/"))
                want = sorted("Horlix/" + f for f in os.listdir(folder))
                check(files == want, "the zip holds the program folder %r" % files)
                for name in files:
                    check(z.read(name) == read(os.path.join(folder, name[len("Horlix/"):])),
                          "%s in the zip is the program folder's" % name)

            text = read(os.path.join(out, "horlixquicki-sig.txt")).decode("latin-1")
            signed, _, tail = text.partition("#")
            fields = dict(line.split("=", 1) for line in signed.split("\n") if "=" in line)
            check(text.startswith("exever="), "the info file begins with exever=")
            check(fields.get("exever") == version.replace(".", ""),
                  "exever= is the version number %s" % version.replace(".", ""))
            check(fields.get("size") == str(len(installer)), "size= is the installer's size")
            check(fields.get("url") == URL, "url= is the given address")
            check(re.fullmatch(r"[0-9a-f]{32}", fields.get("dig", "")) is not None,
                  "dig= is a 16-byte digest in hexadecimal")
            sig = re.search(r"sig=([0-9a-f]+)", tail)
            check(sig is not None and len(sig.group(1)) == 256, "sig= is a 128-byte signature")
            sig_path = os.path.join(tmp, "sig.bin")
            with open(sig_path, "wb") as f:
                f.write(bytes.fromhex(sig.group(1)))
            pub = os.path.join(tmp, "pub.pem")
            subprocess.run(["openssl", "pkey", "-in", key, "-pubout", "-out", pub], check=True,
                           capture_output=True)
            rec = subprocess.run(["openssl", "pkeyutl", "-verifyrecover", "-pubin", "-inkey", pub,
                                  "-in", sig_path], capture_output=True, check=False)
            check(rec.returncode == 0, "OpenSSL recovers the signed block with the development key")
            check(len(rec.stdout) == 34 and rec.stdout.startswith(DIGEST_INFO),
                  "the signed block is a DigestInfo with a 16-byte digest")
            zone = read(os.path.join(out, "horlixtz.ini"))
            check(zone == read(os.path.join(win, "program", "Horlix", "horlixtz.ini")),
                  "the zone data file is the one the program folder ships")
            signed, _, sig = read(os.path.join(out, "horlixtz-sig.txt")).partition(b"#sig=")
            date = srv.zone_data_date(zone).encode()
            check(signed == b"zd=%s;size=%d;dig=%s;" % (date, len(zone),
                                                        kbref.block_digest(zone).hex().encode()),
                  "the zone data's signed text names its Date, size and digest")
            check(re.fullmatch(rb"[0-9a-f]{256}\n", sig) is not None, "a signature follows it")
    except Failure as failure:
        print("FAILED:", failure)
        return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
