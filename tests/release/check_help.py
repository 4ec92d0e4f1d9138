#!/usr/bin/env python3
"""Checks the compiled help file horlix.chm against its sources, read back
with chmls (fp-utils) as a black box.

Usage: check_help.py HELP.chm HELP_SOURCE_DIR VERSION

- every file of the project's [FILES] is in the help file, byte for byte
  (pages with "@HORLIX_VERSION@" replaced by VERSION), and no page names
  another version of the form N.N.N.N;
- the contents file lists every page, and every page it lists is there;
- every local link of every page names a page of the help file;
- the help file's title is the project's;
- context number 1100 (the clock properties dialog's "Help" button) leads,
  through #IVB and #STRINGS, to the clock properties page, named as a path
  inside the help file, and chmls's own alias listing says the same;
- no string of the file names a folder of the build machine.
Exit code 0 = all hold, 1 = a check failed, 77 = chmls or the file missing.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

SKIP = 77
PROPERTIES_CONTEXT = 1100
PROPERTIES_PAGE = "properties.html"


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)
    print("  ok:", what, flush=True)


def chmls(*args):
    done = subprocess.run(["chmls"] + list(args), capture_output=True, check=False,
                          stdin=subprocess.DEVNULL, timeout=60)
    return done.returncode, done.stdout.decode("latin-1")


def listing(chm):
    code, out = chmls("-p", "-n", "list", chm)
    names = set()
    for line in out.splitlines():
        line = line.strip()
        if line.startswith("/"):
            names.add(line)
    if code != 0 or not names:
        raise Failure("chmls cannot list %s: %s" % (chm, out))
    return names


def extract(chm, name, tmp):
    target = os.path.join(tmp, "x-" + re.sub(r"[^A-Za-z0-9.]", "_", name))
    chmls("extract", chm, name, target)
    if not os.path.isfile(target):
        raise Failure("chmls cannot extract %s" % name)
    with open(target, "rb") as f:
        return f.read()


def project(hhp):
    sections = {}
    current = None
    with open(hhp, encoding="latin-1") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and line.endswith("]"):
                current = line[1:-1].upper()
                sections.setdefault(current, [])
                continue
            if current:
                sections[current].append(line)
    return sections


def option(sections, key):
    for line in sections.get("OPTIONS", []):
        k, _, v = line.partition("=")
        if k.strip().lower() == key.lower():
            return v.strip()
    return None


def string_at(table, offset):
    end = table.find(b"\0", offset)
    return table[offset:end if end >= 0 else len(table)].decode("latin-1")


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    chm, source, version = sys.argv[1:]
    if shutil.which("chmls") is None:
        print("skipped: chmls (fp-utils) is not installed")
        return SKIP
    if not os.path.isfile(chm):
        print("skipped: %s has not been built" % chm)
        return SKIP
    sections = project(os.path.join(source, "horlix.hhp"))
    try:
        with tempfile.TemporaryDirectory() as tmp:
            run_checks(chm, source, sections, tmp, version)
    except Failure as failure:
        print("FAILED:", failure)
        return 1
    print("passed")
    return 0


def run_checks(chm, source, sections, tmp, version):
    names = listing(chm)
    files = sections.get("FILES", [])
    pages = [f for f in files if f.endswith(".html")]
    check(len(pages) >= 8, "the project names %d pages" % len(pages))
    for name in files + [option(sections, "Contents file"), option(sections, "Index file")]:
        check("/" + name in names, "%s is in the help file" % name)
        with open(os.path.join(source, name), "rb") as f:
            want = f.read()
        if name.endswith(".html"):
            want = want.replace(b"@HORLIX_VERSION@", version.encode("ascii"))
        stored = extract(chm, "/" + name, tmp)
        check(stored == want, "%s is stored as written, with the version %s" % (name, version))
        check(set(re.findall(rb"\b\d\.\d\.\d\.\d\b", stored)) <= {version.encode("ascii")},
              "%s names no other version" % name)

    toc = extract(chm, "/" + option(sections, "Contents file"), tmp).decode("latin-1")
    listed = re.findall(r'<param name="Local" value="([^"]+)"', toc)
    check(sorted(set(listed)) == sorted(pages),
          "the contents list every page once and no other (%d entries)" % len(listed))

    for page in pages:
        html = extract(chm, "/" + page, tmp).decode("latin-1")
        for target in re.findall(r'href="([^"#:]+)', html):
            check("/" + target in names, "%s links to %s, which is there" % (page, target))
        check(re.search(r"<title>[^<]+</title>", html) is not None, "%s has a title" % page)

    code, system = chmls("printsystem", chm)
    title = option(sections, "Title")
    check(title and title in system, "the help file's title is %r" % title)

    ivb = extract(chm, "/#IVB", tmp)
    strings = extract(chm, "/#STRINGS", tmp)
    size = struct.unpack_from("<I", ivb, 0)[0]
    check(size == len(ivb) - 4 and size % 8 == 0, "#IVB holds %d (context, topic) pairs" % (size // 8))
    pairs = [struct.unpack_from("<II", ivb, 4 + 8 * i) for i in range(size // 8)]
    contexts = {number: string_at(strings, offset) for number, offset in pairs}
    check(PROPERTIES_CONTEXT in contexts, "context %d is mapped" % PROPERTIES_CONTEXT)
    topic = contexts[PROPERTIES_CONTEXT]
    check(topic == PROPERTIES_PAGE,
          "context %d leads to %r (got %r)" % (PROPERTIES_CONTEXT, PROPERTIES_PAGE, topic))
    check("/" + topic in names, "the topic of context %d is a page of the help file"
          % PROPERTIES_CONTEXT)
    page = extract(chm, "/" + topic, tmp).decode("latin-1")
    check("<title>The Clock Properties dialog</title>" in page,
          "that page is the clock properties page")

    # chmls's own reading of the context table (it writes NAME.ali and
    # NAME.h next to the help file it reads, so it reads a copy).
    aliases = os.path.join(tmp, "aliases")
    os.makedirs(aliases)
    shutil.copy2(chm, os.path.join(aliases, "horlix.chm"))
    subprocess.run(["chmls", "extractalias", "horlix.chm"], cwd=aliases, capture_output=True,
                   stdin=subprocess.DEVNULL, timeout=60, check=False)
    ali = [f for f in os.listdir(aliases) if f.endswith(".ali")]
    check(len(ali) == 1, "chmls writes the alias listing %r" % ali)
    with open(os.path.join(aliases, ali[0]), encoding="latin-1") as f:
        text = f.read()
    check(re.search(r"^\w*%d=%s\s*$" % (PROPERTIES_CONTEXT, re.escape(PROPERTIES_PAGE)), text, re.M)
          is not None, "chmls reads context %d as %s (%r)" % (PROPERTIES_CONTEXT, PROPERTIES_PAGE,
                                                           text.strip()))

    absolute = [s for s in strings.split(b"\0") if s.startswith(b"/") and b"/" in s[1:]]
    check(not absolute, "no string names a folder of the build machine (%r)" % absolute[:3])


if __name__ == "__main__":
    sys.exit(main())
