#!/usr/bin/env python3
"""The shipped zone data file and the zone search table are what the
generator makes from this machine's database, given the file's own Version
Date. Exit 0 when they are, 1 when not (with the first differing lines, or
when the machine's IANA release is not the file's: tools/setup.sh installs
that release).

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

SEARCH_TABLE = os.path.join(os.path.dirname(os.path.dirname(HERE)), "tz", "zone_search_table.inc")


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
        table = os.path.join(folder, "zone_search_table.inc")
        subprocess.run([sys.executable, os.path.join(os.path.dirname(check.__file__), "make_zonedata.py"),
                        "--date", version["Date"], "--zonecheck", zonecheck, "--output", out,
                        "--search-table", table],
                       check=True)
        failed = 0
        for made_path, shipped_path in ((out, check.DEFAULT_INI), (table, SEARCH_TABLE)):
            failed |= compare(made_path, shipped_path, installed)
    return failed


def compare(made_path, shipped_path, installed):
    with open(made_path, "rb") as f:
        made = f.read()
    with open(shipped_path, "rb") as f:
        shipped = f.read()
    if made == shipped:
        print(f"{shipped_path} is reproduced byte for byte (IANA {installed})")
        return 0
    diff = difflib.unified_diff(shipped.decode("ascii").splitlines(), made.decode("ascii").splitlines(),
                                "shipped", "generated", lineterm="")
    print("\n".join(list(diff)[:40]))
    return 1


if __name__ == "__main__":
    sys.exit(main())
