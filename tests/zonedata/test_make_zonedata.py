#!/usr/bin/env python3
"""The zone data generator's rewrites and its output, tested against glibc
(through horlix-zonediff) and our parser (through horlix-zonecheck).

Environment: HORLIX_ZONECHECK and HORLIX_ZONEDIFF name the two tools (the
native build's by default).
"""

import calendar
import itertools
import os
import re
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tools"))
import check_zonedata as check  # noqa: E402
import make_zonedata as gen  # noqa: E402

ZONECHECK = os.environ.get("HORLIX_ZONECHECK", gen.DEFAULT_ZONECHECK)
ZONEDIFF = os.environ.get("HORLIX_ZONEDIFF", check.DEFAULT_ZONEDIFF)


def glibc_versus_engine(cases, first_year, last_year, step):
    """Compares glibc reading each TZ text (no zone files) with our engine
    reading the rule string; returns the differences of each case."""
    first = calendar.timegm((first_year, 1, 1, 0, 0, 0))
    last = calendar.timegm((last_year, 12, 31, 23, 59, 0))
    with tempfile.TemporaryDirectory() as empty:
        results = check.run_zonediff(ZONEDIFF, empty, cases, first, last, step)
    return [check.differences(r) for r in results]


def all_offset_names():
    """Every bracket text the generator spells out, with its offset in seconds."""
    for sign, hours, minutes in itertools.product("+-", range(gen._HOUR_LIMIT + 1), (0, 15, 30, 45)):
        text = f"{sign}{hours:02d}" + (f"{minutes:02d}" if minutes else "")
        seconds = (hours * 3600 + minutes * 60) * (1 if sign == "+" else -1)
        yield text, seconds


class OffsetNames(unittest.TestCase):
    def test_examples(self):
        self.assertEqual(gen.offset_name("+0530"), "UTCPlusFiveThirty")
        self.assertEqual(gen.offset_name("-03"), "UTCMinusThree")
        self.assertEqual(gen.offset_name("+1245"), "UTCPlusTwelveFortyFive")
        self.assertEqual(gen.offset_name("-0930"), "UTCMinusNineThirty")
        self.assertEqual(gen.offset_name("+14"), "UTCPlusFourteen")
        self.assertEqual(gen.offset_name("+00"), "UTCPlusZero")

    def test_names_are_letters_only_and_distinct(self):
        seen = {}
        for text, _ in all_offset_names():
            name = gen.offset_name(text)
            self.assertRegex(name, r"^[A-Za-z]{3,}$", text)
            self.assertNotIn(name, seen, f"{text} and {seen.get(name)}")
            seen[name] = text

    def test_unspellable_names_are_refused(self):
        # "+0000" and "+053000" would be shown back as "+00" and "+0530".
        for text in ("ABC", "+5", "+0507", "+25", "+053010", "05", "+05:30", "", "+0000", "+053000"):
            with self.assertRaises(gen.ZoneDataError, msg=text):
                gen.offset_name(text)

    def test_engine_reads_every_name_whole(self):
        # glibc reads the bracketed form; our engine must give the same times
        # and exactly the spelt-out name, for standard and daylight time.
        cases = []
        for text, seconds in all_offset_names():
            if abs(seconds) > 14 * 3600:
                continue
            west = -seconds
            plain = f"<{text}>{gen._clock_text(abs(west)) if west >= 0 else '-' + gen._clock_text(-west)}"
            cases.append(plain)
            cases.append(plain + "<+2345>,M3.2.0,M11.1.0")
        rules = []
        for footer in cases:
            rule, pairs, changes = gen.convert_footer(footer)
            self.assertFalse(changes)
            self.assertEqual(len(pairs), footer.count("<"))
            rules.append((footer, rule))
        gen.verify_rules([r for _, r in rules], ZONECHECK)
        for (footer, rule), diffs in zip(rules, glibc_versus_engine(rules, 2030, 2031, 3600)):
            self.assertEqual(diffs, [], f"{footer} -> {rule}")

    def test_rewrite_keeps_everything_but_the_names(self):
        footer = "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0"
        rule, pairs, _ = gen.convert_footer(footer)
        self.assertEqual(rule, "UTCPlusTenThirty-10:30UTCPlusEleven-11,M10.1.0,M4.1.0")
        self.assertEqual(pairs, [("<+1030>", "UTCPlusTenThirty"), ("<+11>", "UTCPlusEleven")])
        self.assertEqual(gen.convert_footer("CET-1CEST,M3.5.0,M10.5.0/3"),
                         ("CET-1CEST,M3.5.0,M10.5.0/3", [], []))
        with self.assertRaises(gen.ZoneDataError):
            gen.convert_footer("<+05-5")


class NegativeRuleTimes(unittest.TestCase):
    def test_rewrites_agree_with_glibc_over_a_full_weekday_cycle(self):
        # glibc reads signed rule times itself, so it is the reference for
        # the original text. 2000-2027 is a whole 28-year cycle of weekdays
        # (2000 is a leap year), so every month starts on every weekday.
        cases = []
        for (start_month, end_month), day, times in itertools.product(
                [(1, 8), (3, 10), (5, 12), (7, 12)], range(7), [("-1", "-25:30"), ("-0:30", "-47")]):
            footer = (f"<-02>2<-01>,M{start_month}.5.{day}/{times[0]},"
                      f"M{end_month}.5.{(day + 3) % 7}/{times[1]}")
            rule, _, changes = gen.convert_footer(footer)
            self.assertEqual(len(changes), 2, footer)
            self.assertNotRegex(rule, r"/-", footer)
            cases.append((footer, rule))
        gen.verify_rules([r for _, r in cases], ZONECHECK)
        for (footer, rule), diffs in zip(cases, glibc_versus_engine(cases, 2000, 2027, 1800)):
            self.assertEqual(diffs, [], f"{footer} -> {rule}")

    def test_nuuk_footer(self):
        rule, _, changes = gen.convert_footer("<-02>2<-01>,M3.5.0/-1,M10.5.0/0")
        self.assertEqual(rule, "UTCMinusTwo2UTCMinusOne,M3.4.4/71,M10.5.0/0")
        self.assertEqual(changes, [("M3.5.0/-1", "M3.4.4/71")])

    def test_no_equivalent_fails_loudly(self):
        for rule in ("M4.5.0/-1",    # April has 30 days
                     "M2.5.0/-1",    # February has 28 or 29
                     "M3.4.0/-1",    # not the last weekday
                     "J60/-1", "60/-1",
                     "M3.5.0/-100",  # 72 h earlier is still negative
                     "M3.5.0/+1"):
            with self.assertRaises(gen.ZoneDataError, msg=rule):
                gen.rewrite_rule_time(rule)

    def test_unsigned_times_stay(self):
        for rule in ("M3.5.0", "M3.5.0/1", "M10.5.0/25", "J60/2:30", "59"):
            self.assertEqual(gen.rewrite_rule_time(rule), (rule, False))


def tzif(footer):
    """A stand-in TZif file: the header the generator checks and the footer."""
    return b"TZif2" + b"\0" * 39 + b"\nTZif2 body\n" + footer.encode("ascii") + b"\n"


class GeneratedFile(unittest.TestCase):
    def make_zoneinfo(self, folder, footers, release="2099z"):
        lines = [f"# version {release}", "# This zic input file is in the public domain."]
        for name, footer in footers.items():
            lines.append(f"Z {name} 0 - XYZ")
            os.makedirs(os.path.join(folder, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(folder, name), "wb") as f:
                f.write(tzif(footer))
        lines.append("L Etc/UTC UTC")
        with open(os.path.join(folder, "tzdata.zi"), "w") as f:
            f.write("\n".join(lines) + "\n")

    def generate(self, footers, date="2031-02-03T04:05Z"):
        with tempfile.TemporaryDirectory() as folder:
            self.make_zoneinfo(folder, footers)
            out = os.path.join(folder, "out.ini")
            status = gen.main(["--zoneinfo", folder, "--date", date, "--zonecheck", ZONECHECK,
                               "--output", out])
            if status != 0:
                return status, None
            with open(out, "rb") as f:
                return status, f.read()

    def test_layout(self):
        footers = {"Zulu/Last": "<+0530>-5:30", "Etc/UTC": "UTC0", "Factory": "<-00>0",
                   "America/Nuuk": "<-02>2<-01>,M3.5.0/-1,M10.5.0/0",
                   "Europe/Berlin": "CET-1CEST,M3.5.0,M10.5.0/3"}
        status, data = self.generate(footers)
        self.assertEqual(status, 0)
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""))
        self.assertTrue(data.endswith(b"\r\n"))
        text = data.decode("ascii").replace("\r\n", "\n")
        sections = re.findall(r"^\[(.*)\]$", text, re.M)
        self.assertEqual(sections, ["Version", "America/Nuuk", "Etc/UTC", "Europe/Berlin", "UTC",
                                    "Zulu/Last"])
        self.assertIn("[Version]\nDate=2031-02-03T04:05Z\nRelease=2099z\n", text)
        self.assertIn("[UTC]\nTZ=UTC0\n", text)
        self.assertIn("[Zulu/Last]\nTZ=UTCPlusFiveThirty-5:30\n", text)
        self.assertIn("[America/Nuuk]\nTZ=UTCMinusTwo2UTCMinusOne,M3.4.4/71,M10.5.0/0\n", text)
        # The comment names the source and every rewrite.
        header = text.split("\n[")[0]
        self.assertTrue(all(line.startswith(";") or not line for line in header.split("\n")))
        self.assertIn("release 2099z", header)
        self.assertIn("<+0530> -> UTCPlusFiveThirty", header)
        self.assertIn("M3.5.0/-1 -> M3.4.4/71 (America/Nuuk)", header)
        # The checker reads it back as written.
        with tempfile.NamedTemporaryFile(suffix=".ini") as f:
            f.write(data)
            f.flush()
            release, zones = check.check_file(check.read_ini(f.name), ZONECHECK)
        self.assertEqual(release, "2099z")
        self.assertEqual(len(zones), 5)

    def test_negative_time_without_equivalent_writes_nothing(self):
        status, data = self.generate({"Etc/UTC": "UTC0", "Bad/Zone": "<-02>2<-01>,M4.5.0/-1,M10.5.0"})
        self.assertEqual(status, 1)
        self.assertIsNone(data)

    def test_text_our_parser_rejects_writes_nothing(self):
        # A two-letter name is valid POSIX but not for our engine.
        status, data = self.generate({"Etc/UTC": "UTC0", "Bad/Zone": "AB3"})
        self.assertEqual(status, 1)
        status, data = self.generate({"Etc/UTC": "UTC0", "Bad/Zone": "XYZ" * 90 + "3"})
        self.assertEqual(status, 1)

    def test_bad_date_is_refused(self):
        with self.assertRaises(SystemExit):
            self.generate({"Etc/UTC": "UTC0"}, date="2031-02-03 04:05")

    def test_footer_reader(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "z")
            with open(path, "wb") as f:
                f.write(tzif("EST5EDT,M3.2.0,M11.1.0"))
            self.assertEqual(gen.read_footer(path), "EST5EDT,M3.2.0,M11.1.0")
            for data in (b"TZif2\nbody\n\n", b"TZif2\nbody\nEST5", b"TZif\0\nbody\nEST5\n",
                         b"NOTZ2\nbody\nEST5\n"):
                with open(path, "wb") as f:
                    f.write(data)
                with self.assertRaises(gen.ZoneDataError, msg=data):
                    gen.read_footer(path)

    def test_installed_footers_read(self):
        # The machine's own database: Zone lines without Factory, real footers.
        zones = gen.read_zone_names(os.path.join(gen.DEFAULT_ZONEINFO, "tzdata.zi"))
        self.assertNotIn("Factory", zones)
        self.assertGreater(len(zones), 300)
        self.assertIn("Europe/Berlin", zones)
        self.assertEqual(gen.read_footer(os.path.join(gen.DEFAULT_ZONEINFO, "Europe/Berlin")),
                         "CET-1CEST,M3.5.0,M10.5.0/3")


if __name__ == "__main__":
    unittest.main()
