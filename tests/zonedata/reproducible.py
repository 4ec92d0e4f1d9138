#!/usr/bin/env python3
"""The shipped zone data file is what the generator makes from this machine's
database, given the file's own Version Date. Exit 0 when it is, 1 when not
(with the first differing lines, or when the machine's IANA release is not the
file's: tools/setup.sh installs that release).

    reproducible.py ZONECHECK
"""

import difflib
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tools"))
import check_zonedata as check  # noqa: E402
import make_zonedata as gen  # noqa: E402


def main():
    zonecheck = sys.argv[1] if len(sys.argv) > 1 else gen.DEFAULT_ZONECHECK
    version = dict(check.read_ini(check.DEFAULT_INI))["Version"]
    installed = gen.read_release(os.path.join(gen.DEFAULT_ZONEINFO, "tzdata.zi"))
    if version["Release"] != installed:
        print(f"FAILED: the file comes from IANA {version['Release']}, this machine has {installed}"
              " (tools/setup.sh installs the file's release)")
        return 1
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "horlixtz.ini")
        subprocess.run([sys.executable, os.path.join(os.path.dirname(check.__file__), "make_zonedata.py"),
                        "--date", version["Date"], "--zonecheck", zonecheck, "--output", out],
                       check=True)
        with open(out, "rb") as f:
            made = f.read()
    with open(check.DEFAULT_INI, "rb") as f:
        shipped = f.read()
    if made == shipped:
        print(f"{check.DEFAULT_INI} is reproduced byte for byte (IANA {installed})")
        return 0
    diff = difflib.unified_diff(shipped.decode("ascii").splitlines(), made.decode("ascii").splitlines(),
                                "shipped", "generated", lineterm="")
    print("\n".join(list(diff)[:40]))
    return 1


if __name__ == "__main__":
    sys.exit(main())
