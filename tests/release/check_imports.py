"""Checks that the programs load on every Windows they claim (7 SP1 and
later): neither imports a function that a Windows 7 without the DLL search
update (KB2533623) lacks, so the loader never refuses them; such functions
are looked up at run time instead.

    check_imports.py OBJDUMP EXE...

Exit code 0 when no EXE imports one, 1 when one does or an import table
cannot be read, 77 (skipped) when an EXE has not been built."""

import os
import re
import subprocess
import sys

# KERNEL32 functions that came with KB2533623 (and Windows 8).
LATER = {"SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory"}


def imports(objdump, exe):
    """{dll name in upper case: [function names]} from the import tables."""
    out = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
    tables, dll, inside = {}, None, False
    for line in out.splitlines():
        if line.startswith("The Import Tables"):
            inside = True
        elif inside and line.startswith("The "):
            break
        elif inside and "DLL Name:" in line:
            dll = line.split("DLL Name:")[1].strip().upper()
            tables.setdefault(dll, [])
        elif inside and dll is not None:
            m = re.match(r"^\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)
            if m:
                tables[dll].append(m.group(1))
    return tables


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    objdump, exes = sys.argv[1], sys.argv[2:]
    missing = [e for e in exes if not os.path.isfile(e)]
    if missing:
        print("skipped: not built:", " ".join(missing))
        return 77
    failed = False
    for exe in exes:
        tables = imports(objdump, exe)
        kernel32 = tables.get("KERNEL32.DLL", [])
        if not kernel32:
            print("FAILED: %s: no KERNEL32 imports read" % exe)
            failed = True
            continue
        later = sorted(LATER.intersection(kernel32))
        if later:
            print("FAILED: %s imports %s: it does not load on Windows 7 without KB2533623"
                  % (os.path.basename(exe), ", ".join(later)))
            failed = True
        else:
            print("ok: %s: %d KERNEL32 imports, none of %s"
                  % (os.path.basename(exe), len(kernel32), ", ".join(sorted(LATER))))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
