#!/usr/bin/env python3
"""Compiles the help file horlix.chm and mends its context topics.

Usage: build_help.py SOURCE_DIR WORK_DIR OUTPUT.chm VERSION

Copies the help project of SOURCE_DIR (horlix.hhp and the files it names)
into WORK_DIR, with "@HORLIX_VERSION@" in the pages replaced by VERSION
(the project's, such as 1.6.5.0), compiles it there with chmcmd (fp-utils), whose messages go to
WORK_DIR/chmcmd.log, and writes the result to OUTPUT.chm.

chmcmd (fp-utils 3.2) writes the topic of every [ALIAS] entry into the help
file's string table (#STRINGS, which #IVB points into) as the page's full path
on the build machine, for example "/home/me/build/help/properties.html". The
viewer looks that path up inside the help file, finds nothing, and so a help
call with a context number cannot open its page. So the string table is
taken out of the compiled file (with chmls, from the same package), the
project folder is cut off every such path, padding with NUL bytes so that no
other string moves, and the mended table is stored uncompressed, in section 0
of the help file, by rewriting its directory entry. Everything else stays as
chmcmd wrote it.

The help file's layout (ITSF version 3): a header with the header-section
table and the offset of content section 0, header section 0 with the file
size, the directory (ITSP) with one or more PMGL listing chunks. Each listing
entry is: name length, name, section, offset, length, the numbers written as
ENCINTs (7 bits a byte, most significant first, high bit = more follows).
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile


class ChmError(Exception):
    pass


def read_encint(data, pos):
    value = 0
    while True:
        if pos >= len(data):
            raise ChmError("truncated number in the directory")
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def encint(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def parse_chunk(chunk):
    """Entries of one PMGL chunk as [name, section, offset, length]."""
    if chunk[:4] != b"PMGL":
        raise ChmError("not a listing chunk")
    free = struct.unpack_from("<I", chunk, 4)[0]
    end = len(chunk) - free
    pos = 20
    entries = []
    while pos < end:
        n, pos = read_encint(chunk, pos)
        name = chunk[pos:pos + n]
        pos += n
        section, pos = read_encint(chunk, pos)
        offset, pos = read_encint(chunk, pos)
        length, pos = read_encint(chunk, pos)
        entries.append([name, section, offset, length])
    count = struct.unpack_from("<H", chunk, len(chunk) - 2)[0]
    if count != len(entries):
        raise ChmError("listing chunk holds %d entries, says %d" % (len(entries), count))
    return entries


def build_chunk(header, entries, size, density):
    """A PMGL chunk: the 20-byte header, the entries, free space and the
    quickref area written backwards from the end (entry count last, then the
    offset, relative to the first entry, of every (1 + 2^density)-th entry,
    counted as chmcmd counts them)."""
    step = 1 + (1 << density)
    body = bytearray()
    quick = []
    for i, (name, section, offset, length) in enumerate(entries):
        if (i + 1) % step == 0:
            quick.append(len(body))
        body += encint(len(name)) + name + encint(section) + encint(offset) + encint(length)
    tail = b"".join(struct.pack("<H", q) for q in reversed(quick)) + struct.pack("<H", len(entries))
    free = size - 20 - len(body)
    if free < len(tail):
        raise ChmError("the mended entry does not fit its listing chunk")
    chunk = bytearray(header[:20]) + body + bytes(free - len(tail)) + tail
    struct.pack_into("<I", chunk, 4, free)
    return bytes(chunk)


def quickref_matches(chunk, entries, density):
    """True when the chunk's quickref area follows build_chunk's rule: the
    rebuilt chunk is then laid out as chmcmd lays them out."""
    rebuilt = build_chunk(chunk, entries, len(chunk), density)
    return rebuilt == chunk


def mend_strings(strings, project_dir):
    """Cuts project_dir + "/" off every string that begins with it, keeping
    every string's offset; returns the new table and the number mended."""
    prefix = project_dir.rstrip("/").encode() + b"/"
    out = bytearray(strings)
    mended = 0
    pos = 0
    while pos < len(out):
        end = out.find(b"\0", pos)
        if end < 0:
            end = len(out)
        text = bytes(out[pos:end])
        if text.startswith(prefix):
            rest = text[len(prefix):]
            out[pos:end] = rest + bytes(len(text) - len(rest))
            mended += 1
        pos = end + 1
    return bytes(out), mended


def extract(chm, name):
    with tempfile.TemporaryDirectory() as tmp:
        target = os.path.join(tmp, "out.bin")
        subprocess.run(["chmls", "extract", chm, name, target], check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not os.path.isfile(target):
            raise ChmError("chmls could not extract %s from %s" % (name, chm))
        with open(target, "rb") as f:
            return f.read()


def mend_context_topics(chm, project_dir):
    """Makes the context topics of the compiled file chm relative to
    project_dir; returns how many were mended."""
    with open(chm, "rb") as f:
        data = bytearray(f.read())
    if data[:4] != b"ITSF" or struct.unpack_from("<I", data, 4)[0] != 3:
        raise ChmError("%s is not an ITSF version 3 help file" % chm)
    hs0_off, _, dir_off, _ = struct.unpack_from("<QQQQ", data, 0x38)
    content0 = struct.unpack_from("<Q", data, 0x58)[0]
    if data[dir_off:dir_off + 4] != b"ITSP":
        raise ChmError("no directory header")
    header_len = struct.unpack_from("<I", data, dir_off + 8)[0]
    chunk_size, density = struct.unpack_from("<Ii", data, dir_off + 16)
    chunks = struct.unpack_from("<i", data, dir_off + 44)[0]
    file_size = struct.unpack_from("<Q", data, hs0_off + 8)[0]
    if file_size != len(data) or content0 > len(data):
        raise ChmError("file size does not match its header")

    strings = extract(chm, "/#STRINGS")
    mended, count = mend_strings(strings, project_dir)
    if count == 0:
        return 0

    first_chunk = dir_off + header_len
    for i in range(chunks):
        at = first_chunk + i * chunk_size
        chunk = bytes(data[at:at + chunk_size])
        if chunk[:4] != b"PMGL":
            continue
        entries = parse_chunk(chunk)
        for entry in entries:
            if entry[0] != b"/#STRINGS":
                continue
            if not quickref_matches(chunk, entries, density):
                raise ChmError("unexpected quickref layout; not rewriting")
            # Section 0 runs from content0 to the end of the file: append.
            entry[1], entry[2], entry[3] = 0, len(data) - content0, len(mended)
            data[at:at + chunk_size] = build_chunk(chunk, entries, chunk_size, density)
            data += mended
            struct.pack_into("<Q", data, hs0_off + 8, len(data))
            with open(chm + ".tmp", "wb") as f:
                f.write(data)
            os.replace(chm + ".tmp", chm)
            return count
    raise ChmError("no /#STRINGS entry in the directory")


def project_files(hhp):
    """The files a help project uses: itself, the [FILES] entries, the
    contents and index files of [OPTIONS] and the #include files of [MAP]."""
    files = [os.path.basename(hhp)]
    section = None
    with open(hhp, encoding="latin-1") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].upper()
                continue
            if section == "FILES":
                files.append(line)
            elif section == "OPTIONS":
                key, _, value = line.partition("=")
                if key.strip().lower() in ("contents file", "index file"):
                    files.append(value.strip())
            elif section == "MAP" and line.lower().startswith("#include"):
                files.append(line.split(None, 1)[1].strip())
    return files


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    source, work, output = (os.path.abspath(a) for a in sys.argv[1:4])
    hhp = os.path.join(source, "horlix.hhp")
    os.makedirs(work, exist_ok=True)
    for name in project_files(hhp):
        with open(os.path.join(source, name), "rb") as f:
            data = f.read()
        if name.endswith(".html"):
            data = data.replace(b"@HORLIX_VERSION@", sys.argv[4].encode("ascii"))
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    compiled = os.path.join(work, "horlix.chm")
    if os.path.exists(compiled):
        os.remove(compiled)
    log = os.path.join(work, "chmcmd.log")
    with open(log, "wb") as f:
        done = subprocess.run(["chmcmd", "--verbosity", "1", "horlix.hhp"], cwd=work,
                              stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.STDOUT,
                              check=False)
    with open(log, encoding="latin-1") as f:
        messages = f.read()
    if done.returncode != 0 or not os.path.isfile(compiled) or "corrupt" in messages:
        sys.stderr.write(messages)
        raise ChmError("chmcmd failed (exit code %d); see %s" % (done.returncode, log))
    count = mend_context_topics(compiled, work)
    shutil.copy2(compiled, output)
    print("build_help: %s written, %d context topic(s) mended" % (output, count))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except ChmError as e:
        print("build_help: %s" % e, file=sys.stderr)
        sys.exit(1)
