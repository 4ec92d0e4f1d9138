#!/usr/bin/env python3
"""The zone data check itself: it passes on the shipped file and fails on a
file with a wrong rule, a wrong name or a broken Version section, also for a
zone whose database differences are known.

Environment: HORLIX_ZONECHECK and HORLIX_ZONEDIFF name the two tools.
"""

import contextlib
import io
import os
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
ZONES = ["Europe/Berlin", "Asia/Kolkata", "Australia/Sydney", "America/Nuuk",
         "Africa/Casablanca", "UTC"]


def shipped_text():
    with open(check.DEFAULT_INI, "rb") as f:
        return f.read().decode("ascii")


def same_release():
    sections = dict(check.read_ini(check.DEFAULT_INI))
    installed = gen.read_release(os.path.join(gen.DEFAULT_ZONEINFO, "tzdata.zi"))
    return sections["Version"]["Release"] == installed


class Check(unittest.TestCase):
    def test_machine_has_the_files_release(self):
        # Every case below needs glibc to read the release the file was made from.
        self.assertTrue(same_release(), "the shipped file comes from another IANA release than"
                        " the machine's tzdata: tools/setup.sh installs the file's release")

    def run_check(self, text, zones=ZONES):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "horlixtz.ini")
            with open(path, "wb") as f:
                f.write(text.encode("ascii"))
            out = io.StringIO()
            with contextlib.redirect_stdout(out), contextlib.redirect_stderr(out):
                status = check.main(["--ini", path, "--zonecheck", ZONECHECK,
                                     "--zonediff", ZONEDIFF, "--zones", *zones])
        return status, out.getvalue()

    def replace(self, text, old, new):
        self.assertIn(old, text)
        return text.replace(old, new)

    def test_shipped_file_passes(self):
        status, out = self.run_check(shipped_text())
        self.assertEqual(status, 0, out)
        self.assertIn("known      Africa/Casablanca", out)
        self.assertNotIn("UNEXPECTED", out)

    def test_wrong_rule_time_fails(self):
        text = self.replace(shipped_text(), "[Europe/Berlin]\r\nTZ=CET-1CEST,M3.5.0,M10.5.0/3",
                            "[Europe/Berlin]\r\nTZ=CET-1CEST,M3.5.0,M10.5.0/2")
        status, out = self.run_check(text)
        self.assertEqual(status, 1, out)
        self.assertIn("UNEXPECTED Europe/Berlin: local time differs in 12 hours", out)

    def test_wrong_name_fails(self):
        text = self.replace(shipped_text(), "TZ=IST-5:30\r\n", "TZ=ISX-5:30\r\n")
        status, out = self.run_check(text)
        self.assertEqual(status, 1, out)
        self.assertIn("UNEXPECTED Asia/Kolkata: name differs (glibc 'IST', ours 'ISX')", out)

    def test_wrongly_spelt_name_fails(self):
        text = self.replace(shipped_text(), "TZ=UTCMinusTwo2UTCMinusOne,",
                            "TZ=UTCMinusThree2UTCMinusOne,")
        status, out = self.run_check(text)
        self.assertEqual(status, 1, out)
        self.assertIn("UNEXPECTED America/Nuuk: name differs (glibc '-02', ours 'UTCMinusThree')",
                      out)

    def test_wrong_rule_of_a_known_zone_fails(self):
        # Casablanca differs from its database entry anyway; a rule string
        # that is not its TZ string is still caught.
        text = self.replace(shipped_text(), "[Africa/Casablanca]\r\nTZ=UTCPlusZero0",
                            "[Africa/Casablanca]\r\nTZ=UTCPlusZero0:30")
        status, out = self.run_check(text)
        self.assertEqual(status, 1, out)
        self.assertIn("UNEXPECTED Africa/Casablanca: local time differs", out)
        self.assertIn("from the zone's own TZ string", out)

    def test_unreadable_rule_stops_the_check(self):
        text = self.replace(shipped_text(), "TZ=IST-5:30\r\n", "TZ=<+0530>-5:30\r\n")
        status, out = self.run_check(text)
        self.assertEqual(status, 2, out)
        self.assertIn("rejected: <+0530>-5:30", out)

    def test_broken_version_stops_the_check(self):
        text = shipped_text()
        date_line = next(line for line in text.split("\r\n") if line.startswith("Date="))
        status, out = self.run_check(text.replace(date_line, "Date=2026-01-01 00:00"))
        self.assertEqual(status, 2, out)
        status, out = self.run_check(text.replace("Release=", "Releases="))
        self.assertEqual(status, 2, out)

    def test_lf_line_ends_are_refused(self):
        status, out = self.run_check(shipped_text().replace("\r\n", "\n"))
        self.assertEqual(status, 2, out)


if __name__ == "__main__":
    unittest.main()
