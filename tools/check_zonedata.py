#!/usr/bin/env python3
"""Checks the zone data file against glibc and the installed IANA database.

Every zone of the file is run through our engine (its rule string) and through
glibc's localtime (TZ set to the zone's name, so glibc reads the zone's TZif
file with its whole history), every hour of the period, by horlix-zonediff.
Local time (all calendar fields) and the daylight-saving flag must agree; so
must the abbreviation, except that where the file spells an angle-bracket name
out (glibc "+0530", the file "UTCPlusFiveThirty") the file's name must be the
one spelt from glibc's. Zones whose changes no rule string can express are
listed in KNOWN and only reported. Before that, the file itself is checked:
its Version section, the length of every value and our parser's reading of it.

    python3 tools/check_zonedata.py             # every zone, 2026-2037
    python3 tools/check_zonedata.py --zones Europe/Berlin America/Nuuk

Exit status: 0 when only known differences were found, 1 otherwise, 2 when
the check could not run; with --require-same-release also 1 when the file was
made from another IANA release than the one installed (tools/setup.sh installs
the file's release of Debian's tzdata).
"""

import argparse
import calendar
import os
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_zonedata as gen  # noqa: E402

DEFAULT_INI = os.path.join(gen.ROOT, "resources", "horlixtz.ini")
DEFAULT_ZONEDIFF = os.path.join(gen.ROOT, "build", "native", "bin", "horlix-zonediff")

# Zones whose future changes follow no yearly rule, so their rule string
# cannot match the database: "all" allows differing local time, flag and
# name, "isdst" only a differing daylight-saving flag.
# The rule string is the database's own TZ string, which describes the zone
# after its last listed change; the check also proves that our engine reads
# it exactly as glibc does, for these zones too.
KNOWN = {
    "Africa/Casablanca": "all",   # Ramadan changes, listed year by year
    "Africa/El_Aaiun": "all",
    "Asia/Gaza": "all",           # Ramadan changes, listed year by year
    "Asia/Hebron": "all",
    "America/Coyhaique": "isdst",
    # Daylight saving in 2026, then permanent time from 2026-11-01 on.
    "America/Edmonton": "all",
    "America/Inuvik": "all",
    "America/Vancouver": "all",
    "America/Winnipeg": "all",
    # No return to standard time in November 2026; the yearly rules resume
    # in November 2027.
    "America/Havana": "all",
}


class CheckError(Exception):
    pass


def read_ini(path):
    """Sections in file order as (name, {key: value}); duplicates are an error
    (the program would keep the later one, which hides a mistake here)."""
    sections = []
    seen = set()
    current = None
    with open(path, "rb") as f:
        raw = f.read()
    if b"\r\n" not in raw or raw.replace(b"\r\n", b"").count(b"\n") or raw.count(b"\r") != raw.count(b"\r\n"):
        raise CheckError(f"{path}: line ends are not CRLF throughout")
    for number, line in enumerate(raw.decode("ascii").split("\r\n"), 1):
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            name = line[1:-1]
            if name in seen:
                raise CheckError(f"{path}:{number}: section [{name}] appears twice")
            seen.add(name)
            current = {}
            sections.append((name, current))
        elif "=" in line and current is not None:
            key, value = line.split("=", 1)
            key = key.strip()
            if key in current:
                raise CheckError(f"{path}:{number}: key {key} appears twice")
            current[key] = value.strip()
        else:
            raise CheckError(f"{path}:{number}: neither a section, a key nor a comment: {line!r}")
    return sections


def check_file(sections, zonecheck):
    """The file's own rules. Returns (release, [(zone, rule)])."""
    index = dict(sections)
    version = index.get("Version")
    if version is None:
        raise CheckError("no section Version")
    if not gen.DATE_RE.match(version.get("Date", "")):
        raise CheckError(f"Version Date {version.get('Date')!r} is not YYYY-MM-DDThh:mmZ")
    release = version.get("Release")
    if not release:
        raise CheckError("Version has no Release")
    if "TZ" in version:
        raise CheckError("Version has a TZ key and would be read as a zone")
    zones = []
    for name, keys in sections:
        if name == "Version":
            continue
        rule = keys.get("TZ", "")
        if not rule:
            raise CheckError(f"[{name}] has no TZ value")
        if len(rule) > gen.MAX_RULE_LENGTH:
            raise CheckError(f"[{name}] TZ is longer than {gen.MAX_RULE_LENGTH} characters")
        zones.append((name, rule))
    if not any(name.startswith(gen.UTC_SECTION) for name, _ in zones):
        raise CheckError(f"no zone whose name begins with {gen.UTC_SECTION}")
    try:
        gen.verify_rules([rule for _, rule in zones], zonecheck)
    except gen.ZoneDataError as e:
        raise CheckError(str(e)) from None
    return release, zones


def run_zonediff(zonediff, tzdir, cases, first, last, step):
    """horlix-zonediff over (TZ, rule) cases with glibc's zone files taken
    from tzdir. One result per case, in order: {"time": tally, "isdst":
    tally, "abbr": [(glibc, ours, tally)]} with tally = (count, first, last)."""
    if not os.access(zonediff, os.X_OK):
        raise CheckError(f"{zonediff} not found: build it first "
                         "(cmake --build build/native --target horlix-zonediff)")
    env = dict(os.environ, TZDIR=tzdir)
    text = "".join(f"{tz}\t{rule}\n" for tz, rule in cases)
    result = subprocess.run([zonediff, str(first), str(last), str(step)], input=text,
                            capture_output=True, text=True, env=env)
    if result.returncode != 0:
        raise CheckError(f"horlix-zonediff failed ({result.returncode}): {result.stderr}")

    def tally(fields):
        count = int(fields[0])
        return (count, None, None) if count == 0 else (count, int(fields[1]), int(fields[2]))

    found = []
    for line in result.stdout.splitlines():
        fields = line.split("\t")
        if fields[0] == "zone":
            found.append((fields[1], {"abbr": []}))
        elif fields[0] in ("time", "isdst"):
            found[-1][1][fields[0]] = tally(fields[1:])
        elif fields[0] == "abbr":
            found[-1][1]["abbr"].append((fields[1], fields[2], tally(fields[3:])))
    if [tz for tz, _ in found] != [tz for tz, _ in cases] or any("isdst" not in r for _, r in found):
        raise CheckError("horlix-zonediff did not answer every case")
    return [r for _, r in found]


def spelt_name(glibc_name):
    """The file's name for one of glibc's offset-style names, or None."""
    try:
        return gen.offset_name(glibc_name)
    except gen.ZoneDataError:
        return None


def hour_text(t):
    return time.strftime("%Y-%m-%dT%H:%MZ", time.gmtime(t))


def tally_text(what, tally):
    count, first, last = tally
    return f"{what} in {count} hours, {hour_text(first)} .. {hour_text(last)}"


def differences(result):
    """The differences of one comparison as (kind, text, tally); kind is
    "time", "isdst" or "abbr". A name glibc writes in offset style ("+0530")
    counts as agreeing with the name the file spells from it."""
    found = []
    if result["time"][0]:
        found.append(("time", "local time differs", result["time"]))
    if result["isdst"][0]:
        found.append(("isdst", "daylight-saving flag differs", result["isdst"]))
    for glibc_name, ours, tally in result["abbr"]:
        if spelt_name(glibc_name) != ours:
            found.append(("abbr", f"name differs (glibc {glibc_name!r}, ours {ours!r})", tally))
    return found


def evaluate(zone, by_name, by_footer):
    """(unexpected texts, known texts) for one zone. by_name compares our
    rule string with the zone's whole database entry, by_footer with the TZ
    string the entry ends with (as glibc reads it)."""
    unexpected, known = [], []
    # The rewrites keep the meaning of the TZ string, and our engine computes
    # it as glibc does: no exception here.
    for _, text, tally in differences(by_footer):
        unexpected.append(tally_text(f"{text} from the zone's own TZ string", tally))
    allowed = KNOWN.get(zone)
    for kind, text, tally in differences(by_name):
        if allowed == "all" or (allowed == kind == "isdst"):
            known.append(tally_text(text, tally))
        else:
            unexpected.append(tally_text(text, tally))
    if unexpected and not differences(by_footer):
        unexpected.append("the zone's own TZ string differs from its database entry in the same"
                          " way: if no rule string can follow its changes, list it in KNOWN")
    return unexpected, known


def main(argv=None):
    parser = argparse.ArgumentParser(description="Checks horlixtz.ini against glibc.")
    parser.add_argument("--ini", default=DEFAULT_INI, help="the zone data file (default: the shipped one)")
    parser.add_argument("--zoneinfo", default=gen.DEFAULT_ZONEINFO, help="the installed database")
    parser.add_argument("--zonecheck", default=gen.DEFAULT_ZONECHECK)
    parser.add_argument("--zonediff", default=DEFAULT_ZONEDIFF)
    parser.add_argument("--zones", nargs="+", metavar="ZONE", help="check only these zones")
    parser.add_argument("--first-year", type=int, default=2026)
    parser.add_argument("--last-year", type=int, default=2037)
    parser.add_argument("--step", type=int, default=3600, help="seconds between instants")
    parser.add_argument("--require-same-release", action="store_true",
                        help="fail when the file comes from another IANA release")
    args = parser.parse_args(argv)

    started = time.monotonic()
    try:
        release, zones = check_file(read_ini(args.ini), args.zonecheck)
        installed = gen.read_release(os.path.join(args.zoneinfo, "tzdata.zi"))
        if release != installed:
            message = (f"{args.ini} comes from IANA release {release}, this machine has "
                       f"{installed}: regenerate it (tools/make_zonedata.py)")
            if args.require_same_release:
                print(f"FAILED: {message}, or install its tzdata (tools/setup.sh)")
                return 1
            print(f"warning: {message}")
        if args.zones:
            rules = dict(zones)
            unknown = [z for z in args.zones if z not in rules]
            if unknown:
                raise CheckError(f"not in {args.ini}: {', '.join(unknown)}")
            zones = [(z, rules[z]) for z in args.zones]
        for name, _ in zones:
            if not os.path.isfile(os.path.join(args.zoneinfo, name)):
                raise CheckError(f"{name}: no TZif file in {args.zoneinfo} for glibc to read")
        footers = {name: gen.read_footer(os.path.join(args.zoneinfo, gen.UTC_SOURCE
                                                      if name == gen.UTC_SECTION else name))
                   for name, _ in zones}
        first = calendar.timegm((args.first_year, 1, 1, 0, 0, 0))
        last = calendar.timegm((args.last_year, 12, 31, 23, 0, 0))
        by_name = run_zonediff(args.zonediff, args.zoneinfo, zones, first, last, args.step)
        # glibc looks a TZ text up as a file name first ("EST5EDT" is one), so
        # the TZ strings are read with an empty zone folder.
        footer_cases = sorted({(footers[name], rule) for name, rule in zones})
        with tempfile.TemporaryDirectory() as empty:
            footer_results = run_zonediff(args.zonediff, empty, footer_cases, first, last, args.step)
        by_footer = dict(zip(footer_cases, footer_results))
    except (CheckError, gen.ZoneDataError, OSError) as e:
        print(f"check_zonedata: {e}", file=sys.stderr)
        return 2

    instants = (last - first) // args.step + 1
    print(f"{len(zones)} zones of {args.ini} (IANA {release}) against glibc, "
          f"{instants} instants each, {hour_text(first)} .. {hour_text(last)}")
    failed = agreeing = 0
    for (name, rule), result in zip(zones, by_name):
        unexpected, known = evaluate(name, result, by_footer[(footers[name], rule)])
        for text in known:
            print(f"  known      {name}: {text}")
        for text in unexpected:
            print(f"  UNEXPECTED {name}: {text}")
        if name in KNOWN and not known and not unexpected:
            print(f"  known      {name}: agrees in this period")
        failed += bool(unexpected)
        agreeing += not unexpected and not known
    elapsed = time.monotonic() - started
    print(f"{agreeing} zones agree in every instant, {len(zones) - agreeing - failed} differ "
          f"as known, {failed} differ unexpectedly; {elapsed:.1f} s")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
