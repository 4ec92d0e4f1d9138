#!/usr/bin/env python3
"""Builds the zone data file horlixtz.ini from the IANA time zone database
installed on this machine (Debian's tzdata package).

One section per canonical zone (the Zone lines of tzdata.zi, without
"Factory"), plus the section "UTC"; the key "TZ" of each is the POSIX TZ
string that ends the zone's TZif file, rewritten where our rule-string grammar
cannot read it:

- Angle-bracket names such as "<+0530>" become alphabetic names derived from
  the offset inside the brackets ("UTCPlusFiveThirty").
- A negative rule time in a "last weekday" rule of a 31-day month, such as
  "M3.5.0/-1", becomes the same instant counted from the fourth occurrence of
  the weekday three days earlier ("M3.4.4/71").

Every value is then handed to horlix-zonecheck, which runs our own parser on
it; the file is written only when all of them are read.

With --search-table it also writes the zone search table of the same zones
from the same database (tools/zone_search_table.py):

    python3 tools/make_zonedata.py --output resources/horlixtz.ini \
        --search-table tz/zone_search_table.inc
"""

import argparse
import datetime
import os
import re
import subprocess
import sys
import tempfile

import zone_search_table

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_ZONEINFO = "/usr/share/zoneinfo"
DEFAULT_ZONECHECK = os.path.join(ROOT, "build", "native", "bin", "horlix-zonecheck")

# The profile functions of the program read at most this many characters.
MAX_RULE_LENGTH = 254
# The longest rule time our grammar accepts, in hours.
MAX_RULE_HOURS = 167
# The section the properties dialog picks first and the zone it copies.
UTC_SECTION = "UTC"
UTC_SOURCE = "Etc/UTC"

DATE_RE = re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}Z$")


class ZoneDataError(Exception):
    """The installed data holds something this generator cannot convert."""


# ---------------------------------------------------------------------------
# Reading the installed database

def read_release(tzdata_zi):
    """The IANA release named by the first line of tzdata.zi ("# version 2025b")."""
    with open(tzdata_zi, encoding="utf-8") as f:
        first = f.readline()
    m = re.match(r"^# version (\S+)\s*$", first)
    if not m:
        raise ZoneDataError(f"{tzdata_zi}: first line is not '# version ...': {first!r}")
    return m.group(1)


def read_zone_names(tzdata_zi):
    """The names of the Zone lines of tzdata.zi, in file order, without Factory."""
    names = []
    with open(tzdata_zi, encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 2 and fields[0] == "Z" and fields[1] != "Factory":
                names.append(fields[1])
    if not names:
        raise ZoneDataError(f"{tzdata_zi}: no Zone lines")
    return names


def read_footer(path):
    """The POSIX TZ string of a TZif file: the text between its last two newlines."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"TZif" or data[4:5] not in (b"2", b"3", b"4"):
        raise ZoneDataError(f"{path}: not a TZif file of version 2 or later")
    if not data.endswith(b"\n"):
        raise ZoneDataError(f"{path}: does not end with a newline")
    start = data.rfind(b"\n", 0, len(data) - 1)
    footer = data[start + 1:-1]
    if start < 0 or not footer:
        raise ZoneDataError(f"{path}: has no TZ string at its end")
    try:
        return footer.decode("ascii")
    except UnicodeDecodeError:
        raise ZoneDataError(f"{path}: TZ string is not ASCII: {footer!r}") from None


# ---------------------------------------------------------------------------
# Angle-bracket names

# The words of the spelt-out names, shared with the program's display of them
# (which reads them back to IANA's spelling): one table file for both.
WORDS_FILE = os.path.join(ROOT, "tz", "abbreviation_words.inc")


def read_offset_words(path=WORDS_FILE):
    """The prefix and the sign, hour and minute words of abbreviation_words.inc:
    (prefix, {"+": word, "-": word}, {hours: word}, {minutes: word})."""
    with open(path, encoding="ascii") as f:
        text = f.read()
    prefix = re.search(r'kOffsetNamePrefix\[\] = "(\w+)";', text)
    tables = {}
    for name, body in re.findall(r"k(\w+)Words\[\] = \{(.*?)\n\};", text, re.S):
        tables[name] = {(int(v) if v.isdigit() else v.strip("'")): word
                        for v, word in re.findall(r"\{('.'|\d+), \"(\w*)\"\},", body)}
    if not prefix or set(tables) != {"Sign", "Hour", "Minute"}:
        raise ZoneDataError(f"{path}: no prefix or not the three word tables")
    return prefix.group(1), tables["Sign"], tables["Hour"], tables["Minute"]


_PREFIX, _SIGNS, _HOURS, _MINUTES = read_offset_words()
_HOUR_LIMIT = max(_HOURS)

_BRACKET_RE = re.compile(r"<([^<>]*)>")
_OFFSET_NAME_RE = re.compile(r"^([+-])(\d{2})(\d{2})?(\d{2})?$")


def offset_name(text):
    """The alphabetic name for the offset-style name inside angle brackets,
    e.g. "+0530" -> "UTCPlusFiveThirty", "-03" -> "UTCMinusThree". The program
    shows the name as "+hh" or "+hhmm" again, so only a text written that way
    (minutes only when not 00) has a name."""
    m = _OFFSET_NAME_RE.match(text)
    if not m:
        raise ZoneDataError(f"angle-bracket name <{text}> is not of the form +hh[mm[ss]]")
    sign, hh, mm = m.group(1), int(m.group(2)), int(m.group(3) or 0)
    if hh not in _HOURS or mm not in _MINUTES or m.group(3) == "00" or m.group(4) is not None:
        raise ZoneDataError(f"angle-bracket name <{text}> has no spelt-out name "
                            f"(hours up to {_HOUR_LIMIT}, minutes 15, 30 or 45)")
    return _PREFIX + _SIGNS[sign] + _HOURS[hh] + _MINUTES[mm]


def _bracket_order(bracket):
    """Sort key of "<+0530>": west to east by offset."""
    m = _OFFSET_NAME_RE.match(bracket[1:-1])
    minutes = int(m.group(2)) * 60 + int(m.group(3) or 0)
    return (minutes if m.group(1) == "+" else -minutes, m.group(1))


def rewrite_bracket_names(footer):
    """Replaces every <...> name of a TZ string. Returns the new text and the
    list of (bracket text, name) pairs replaced."""
    pairs = []

    def replace(m):
        name = offset_name(m.group(1))
        pairs.append((m.group(0), name))
        return name

    text = _BRACKET_RE.sub(replace, footer)
    if "<" in text or ">" in text:
        raise ZoneDataError(f"unbalanced angle brackets in {footer!r}")
    return text, pairs


# ---------------------------------------------------------------------------
# Negative rule times

_MONTH_31 = {1, 3, 5, 7, 8, 10, 12}
_RULE_RE = re.compile(r"^(?P<date>M(?P<m>\d+)\.(?P<w>\d+)\.(?P<d>\d+)|J\d+|\d+)"
                      r"(?:/(?P<sign>[+-]?)(?P<h>\d+)(?::(?P<min>\d+))?(?::(?P<s>\d+))?)?$")


def _clock_text(seconds):
    h, rest = divmod(seconds, 3600)
    m, s = divmod(rest, 60)
    if s:
        return f"{h}:{m:02d}:{s:02d}"
    if m:
        return f"{h}:{m:02d}"
    return str(h)


def rewrite_rule_time(rule):
    """A start or end rule with a signed time rewritten without the sign.

    The last weekday d of a 31-day month falls on one of its last seven days
    (the 25th to the 31st), three days after the fourth occurrence of the
    weekday (d - 3) mod 7 (the 22nd to the 28th). So "Mm.5.d/-T" is the instant
    "Mm.4.((d-3) mod 7)/(72h - T)". Returns (text, changed); any other signed
    time raises ZoneDataError."""
    m = _RULE_RE.match(rule)
    if not m:
        raise ZoneDataError(f"rule {rule!r} is not Jn, n or Mm.w.d with an optional /time")
    if m.group("h") is None or m.group("sign") == "":
        return rule, False
    seconds = (int(m.group("h")) * 3600 + int(m.group("min") or 0) * 60 + int(m.group("s") or 0))
    if m.group("sign") == "+":
        raise ZoneDataError(f"rule {rule!r}: a '+' before the rule time is not converted")
    if m.group("m") is None:
        raise ZoneDataError(f"rule {rule!r}: a negative time is converted only in Mm.5.d rules")
    month, week, day = int(m.group("m")), int(m.group("w")), int(m.group("d"))
    if week != 5 or month not in _MONTH_31 or not 0 <= day <= 6:
        raise ZoneDataError(f"rule {rule!r}: a negative time has an exact equivalent only for "
                            "the last weekday (week 5) of a 31-day month")
    shifted = 72 * 3600 - seconds
    if not 0 <= shifted <= MAX_RULE_HOURS * 3600:
        raise ZoneDataError(f"rule {rule!r}: the time moved by 72 hours leaves 0..{MAX_RULE_HOURS} h")
    return f"M{month}.4.{(day - 3) % 7}/{_clock_text(shifted)}", True


def rewrite_rule_times(text):
    """Rewrites the signed times of both rules of a TZ string. Returns the new
    text and the list of (old rule, new rule) pairs changed."""
    parts = text.split(",")
    if len(parts) == 1:
        return text, []
    if len(parts) != 3:
        raise ZoneDataError(f"TZ string {text!r} does not have exactly two rules")
    changes = []
    for i in (1, 2):
        new, changed = rewrite_rule_time(parts[i])
        if changed:
            changes.append((parts[i], new))
            parts[i] = new
    return ",".join(parts), changes


def convert_footer(footer):
    """The rule string for one TZ string: (text, bracket pairs, rule changes)."""
    text, pairs = rewrite_bracket_names(footer)
    text, changes = rewrite_rule_times(text)
    if len(text) > MAX_RULE_LENGTH:
        raise ZoneDataError(f"rule string {text!r} is longer than {MAX_RULE_LENGTH} characters")
    return text, pairs, changes


# ---------------------------------------------------------------------------
# The file

def verify_rules(rules, zonecheck):
    """Runs our parser (horlix-zonecheck) on every rule string."""
    if not os.access(zonecheck, os.X_OK):
        raise ZoneDataError(f"{zonecheck} not found: build it first "
                            "(cmake --build build/native --target horlix-zonecheck)")
    result = subprocess.run([zonecheck], input="".join(r + "\n" for r in rules),
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise ZoneDataError("our parser rejects:\n" + result.stdout + result.stderr)


def build(zoneinfo, date, zonecheck):
    """The text of the zone data file (LF line ends; written with CRLF)."""
    tzdata_zi = os.path.join(zoneinfo, "tzdata.zi")
    release = read_release(tzdata_zi)
    zones = {}
    bracket_names = {}
    rule_changes = {}
    sources = [(name, name) for name in read_zone_names(tzdata_zi)]
    sources.append((UTC_SECTION, UTC_SOURCE))
    for section, source in sources:
        if section in zones:
            raise ZoneDataError(f"zone {section} appears twice")
        text, pairs, changes = convert_footer(read_footer(os.path.join(zoneinfo, source)))
        zones[section] = text
        for bracket, name in pairs:
            bracket_names[bracket] = name
        for old, new in changes:
            rule_changes.setdefault((old, new), []).append(section)
    verify_rules(list(zones.values()), zonecheck)

    names = sorted(zones)
    lines = [
        "; horlixtz.ini: the time zones of Horlix. Each section is a zone; its key TZ",
        "; is the zone's rule string. The section Version dates the file.",
        ";",
        f"; Made by tools/make_zonedata.py from the IANA time zone database, release {release},",
        f"; as Debian's tzdata package installs it ({zoneinfo}): the zones are the",
        "; Zone lines of tzdata.zi (without Factory), and each TZ is the POSIX TZ string",
        "; at the end of the zone's TZif file. The section UTC copies Etc/UTC.",
        ";",
        "; Rewritten so that every rule string reads in Horlix (it reads no angle",
        "; brackets and no signed rule times); offsets and rules are otherwise as given.",
    ]
    if bracket_names:
        lines.append("; Angle-bracket names, replaced by names spelt from their offset:")
        for bracket in sorted(bracket_names, key=_bracket_order):
            lines.append(f";   {bracket} -> {bracket_names[bracket]}")
    if rule_changes:
        lines.append("; Negative rule times, as the same instant counted from the fourth")
        lines.append("; weekday three days earlier (exact: the last weekday of a 31-day")
        lines.append("; month is always the fourth occurrence of that weekday plus three days):")
        for (old, new), sections in sorted(rule_changes.items()):
            lines.append(f";   {old} -> {new} ({', '.join(sections)})")
    lines += [
        ";",
        "; Regenerate: python3 tools/make_zonedata.py --output resources/horlixtz.ini",
        "",
        "[Version]",
        f"Date={date}",
        f"Release={release}",
    ]
    for name in names:
        lines += ["", f"[{name}]", f"TZ={zones[name]}"]
    return "\n".join(lines) + "\n"


def build_search_table(zoneinfo):
    """The zone search table for the zones build() writes."""
    tzdata_zi = os.path.join(zoneinfo, "tzdata.zi")
    zones = set(read_zone_names(tzdata_zi)) | {UTC_SECTION}
    return zone_search_table.build_table(zoneinfo, zones, read_release(tzdata_zi))


def write_atomically(path, data):
    folder = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(dir=folder, prefix=".horlixtz-")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def to_file_bytes(text):
    return text.replace("\n", "\r\n").encode("ascii")


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Builds horlixtz.ini from the installed IANA time zone database.")
    parser.add_argument("--output", "-o", help="file to write (default: standard output)")
    parser.add_argument("--date", help="the Version Date, YYYY-MM-DDThh:mmZ (default: now, UTC)")
    parser.add_argument("--zoneinfo", default=DEFAULT_ZONEINFO,
                        help=f"folder of tzdata.zi and the TZif files (default {DEFAULT_ZONEINFO})")
    parser.add_argument("--zonecheck", default=DEFAULT_ZONECHECK,
                        help="our rule-string parser as a program (default: the native build's)")
    parser.add_argument("--search-table",
                        help="also write the zone search table (tz/zone_search_table.inc) here")
    args = parser.parse_args(argv)

    date = args.date
    if date is None:
        date = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%MZ")
    elif not DATE_RE.match(date):
        parser.error(f"--date {date!r} is not YYYY-MM-DDThh:mmZ")
    try:
        data = to_file_bytes(build(args.zoneinfo, date, args.zonecheck))
        table = None
        if args.search_table:
            table = build_search_table(args.zoneinfo).encode("ascii")
    except (ZoneDataError, zone_search_table.SearchTableError, OSError) as e:
        print(f"make_zonedata: {e}", file=sys.stderr)
        return 1
    if table is not None:
        write_atomically(args.search_table, table)
    if args.output is None:
        sys.stdout.buffer.write(data)
        return 0
    write_atomically(args.output, data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
