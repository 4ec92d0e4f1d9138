#!/usr/bin/env python3
"""Soak run: horlix.exe under Wine with 64 clocks of varied zones, watched
from outside for growth in what it holds and for missed paints.

Usage: run_soak.py [--seconds N] [--warmup N] [--churn N] [--report FILE]
    (default 600 s, the full run; CTest runs a short one)

Uses the end-to-end suite's prefix, program folder and driver (tests/e2e):
the same environment (HORLIX_WINDOWS_BIN, HORLIX_SOURCE_DIR, HORLIX_E2E_DIR)
and the same lock. The display is a wide virtual one of its own, so that all
64 cells (twice their stored 80 pixels each) are on the screen and every one can
be checked.

After the warm-up, rounds of 20 s follow until the time is up. Each round
first opens and closes the popup menu of one clock and asks for a timestamp
of another (the question answered Cancel), so that windows, menus and
message boxes come and go; then it samples the time row of every cell every
~50 ms (driver "ticks") and then
reads the program's resources (driver "resources": GDI and USER objects,
private bytes, kernel handles, windows) and its Linux process's resident
size. Passes when every clock that shows seconds changed its pixels about
once a second with no long stretch unpainted, and nothing grew beyond a
small tolerance over the first sample after the warm-up.
Exit code 0 = passed, 1 = failed, 77 = skipped (no program or no display)."""

import argparse
import configparser
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))
import e2e  # noqa: E402  (the suite's helpers: drive, start, registry)

from e2e import Failure, check, log  # noqa: E402

# Allowed growth from the first sample after the warm-up to any later one.
# From the driver (Win32 counters; Wine counts some of them as 0 or not at
# all) and from the Linux process that runs the program under Wine.
TOLERANCE = {"gdi": 4, "user": 4, "handles": 8, "windows": 0, "private": 2 * 1024 * 1024,
             "rss_kb": 4096, "rss_anon_kb": 2048, "vm_data_kb": 4096, "fds": 4}
# Figures that Linux always has for a running process: one that is missing
# means the process was lost, and its leak check would silently vanish.
LINUX_FIGURES = ("rss_kb", "rss_anon_kb", "vm_data_kb", "fds")
COLOURS = [0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFFFFFF]
CELL_WIDTH = 80


def zones_from_file(count):
    """count zones spread over the shipped zone data file, with their rules."""
    parser = configparser.RawConfigParser(strict=False, interpolation=None)
    parser.optionxform = str
    with open(os.path.join(e2e.SOURCE, "resources", "horlixtz.ini"), encoding="latin-1") as f:
        parser.read_file(f)
    names = [s for s in parser.sections() if parser.has_option(s, "TZ")]
    step = max(1, len(names) // count)
    chosen = names[::step][:count]
    return [(name, parser.get(name, "TZ")) for name in chosen]


def clock_list():
    """Local, UTC and 62 zone clocks; most show seconds (format 0)."""
    clocks = [{"Id": "Local", "Title": "Local", "Type": 0, "Format": 0, "Tz": ""},
              {"Id": "UTC", "Title": "UTC", "Type": 1, "Format": 0, "Tz": "GMT0"}]
    for name, rule in zones_from_file(62):
        clocks.append({"Id": name, "Title": name.split("/")[-1][:19], "Type": 2,
                       "Format": 0, "Tz": rule})
    for i, clock in enumerate(clocks):
        clock.update({"Wd": 0, "Width": CELL_WIDTH, "Color": COLOURS[i % len(COLOURS)]})
        if i % 8 == 7:
            clock["Format"] = 1 + (i // 8) % 3  # a few without seconds
    return clocks


def store_clocks(clocks):
    values = [(".", "N", "dword", len(clocks)), (".", "X", "dword", 0), (".", "Y", "dword", 0)]
    for i, clock in enumerate(clocks):
        values += e2e.put_clock(str(i), clock)
    e2e.fresh_registry(values)


def resources(pid):
    line = e2e.words(e2e.drive("resources"), "resources")[0]
    sample = {}
    for item in line:
        key, value = item.split("=")
        sample[key] = int(value)
    fields = {"VmRSS:": "rss_kb", "RssAnon:": "rss_anon_kb", "VmData:": "vm_data_kb"}
    for key in list(fields.values()) + ["fds"]:
        sample[key] = -1
    try:
        with open("/proc/%d/status" % pid) as f:
            for row in f:
                name = row.split()[0] if row.strip() else ""
                if name in fields:
                    sample[fields[name]] = int(row.split()[1])
        sample["fds"] = len(os.listdir("/proc/%d/fd" % pid))
    except OSError:
        pass
    return sample


def linux_pid():
    """The Linux process that runs horlix.exe in our prefix (None when there
    is none)."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % entry) as f:
                if f.read().strip() != "horlix.exe":
                    continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if ("WINEPREFIX=" + e2e.PREFIX).encode() not in f.read().split(b"\0"):
                    continue
            return int(entry)
        except OSError:
            continue
    return None


def ticks(seconds, formats, round_no, report):
    lines = e2e.drive("ticks", seconds, timeout=seconds + 60)
    samples, span, longest_sample = (int(v) for v in e2e.words(lines, "ticks")[0])
    cells = [[int(v) for v in w] for w in e2e.words(lines, "tick-cell")]
    check(len(cells) == len(formats), "round %d: %d cells watched" % (round_no, len(cells)))
    # The text changes each second; the 500 ms tick and the sampling add to
    # the gap between two changes seen.
    allowed_gap = 1500 + longest_sample + 250
    worst = max(c[2] for c, f in zip(cells, formats) if f == 0)
    fewest = min(c[1] for c, f in zip(cells, formats) if f == 0)
    report.append("round %d: %d samples over %d ms (longest sample gap %d ms); seconds clocks: "
                  "fewest changes %d, longest unchanged %d ms" %
                  (round_no, samples, span, longest_sample, fewest, worst))
    log("  " + report[-1])
    for (cell_id, changes, gap), fmt in zip(cells, formats):
        if fmt != 0:
            continue
        if changes < (span // 1000) - 2 or gap > allowed_gap:
            raise Failure("round %d: cell %d changed %d times in %d ms, longest unchanged %d ms "
                          "(allowed %d)" % (round_no, cell_id, changes, span, gap, allowed_gap))
    return worst, fewest


def churn(round_no, n):
    """Windows that come and go (the n-th time): a clock's popup menu, and the
    timestamp question of another clock, answered Cancel."""
    e2e.drive("open-menu", n % 64, "--", "menu-close")
    e2e.drive("select-clock", (n * 7) % 64, "--", "post-command", 121)
    lines = e2e.drive("answer", "Save Timestamp to Clipboard?", "Cancel", 10)
    check(e2e.text_of(lines, "text").startswith("Save timestamp '"),
          "round %d: menu opened and closed, timestamp question answered" % round_no)


def soak(seconds, warmup, churns, report):
    clocks = clock_list()
    formats = [c["Format"] for c in clocks]
    store_clocks(clocks)
    program = e2e.start()
    pid = e2e.wait_until(linux_pid, "the Linux process of horlix.exe is found", seconds=10)
    log("  Linux process of horlix.exe:", pid)
    check(len(e2e.buttons()) == 64, "64 title buttons")
    # Every cell is watched on the screen, however wide this machine's fonts
    # make the cells.
    width = e2e.rect()["width"]
    check(width <= e2e.screen_size()[0], "the strip (%d pixels) fits the display" % width)
    started = time.time()
    first = resources(pid)
    log("  at start:", first)
    time.sleep(warmup)
    base = resources(pid)
    log("  after %d s warm-up:" % warmup, base)
    samples = [base]
    round_no = 0
    worst_gap, fewest = 0, 10 ** 9
    while time.time() - started < seconds:
        left = seconds - (time.time() - started)
        length = int(max(5, min(20, left)))
        round_no += 1
        for k in range(churns):
            churn(round_no, (round_no - 1) * churns + k + 1)
        gap, least = ticks(length, formats, round_no, report)
        worst_gap, fewest = max(worst_gap, gap), min(fewest, least)
        sample = resources(pid)
        samples.append(sample)
        log("  round %d at %.0f s:" % (round_no, time.time() - started), sample)
        check(program.running(), "horlix.exe still running")
    last = samples[-1]
    figures = {}
    for key, allowed in TOLERANCE.items():
        values = [s[key] for s in samples]
        if key in LINUX_FIGURES and min(values) <= 0:
            raise Failure("%s of the Linux process is missing from a sample: %r" % (key, values))
        if max(values) <= 0:
            figures[key] = "not counted by this system (always %d)" % base[key]
            continue
        growth = max(values) - base[key]
        figures[key] = "%d -> %d (max %d, growth %d, allowed %d)" % (base[key], last[key],
                                                                     max(values), growth, allowed)
        if growth > allowed:
            raise Failure("%s grew by %d (from %d to max %d), allowed %d" %
                          (key, growth, base[key], max(values), allowed))
    report.append("duration %.0f s, warm-up %d s, %d rounds, each with %d popup menus and "
                  "timestamp questions opened and closed" % (time.time() - started, warmup,
                                                             round_no, churns))
    report.append("paint: every clock with seconds changed in each round; fewest changes in a "
                  "round %d, longest unchanged %d ms" % (fewest, worst_gap))
    report.append("at start: %s" % first)
    for key, text in figures.items():
        report.append("%s: %s" % (key, text))
    e2e.exit_via_menu(program)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=int, default=600)
    parser.add_argument("--warmup", type=int, default=None)
    parser.add_argument("--churn", type=int, default=1,
                        help="menus and questions opened and closed per round: a short run"
                             " takes more, so that a leak of one object each outgrows the"
                             " tolerance")
    parser.add_argument("--report", default=None)
    args = parser.parse_args()
    warmup = args.warmup if args.warmup is not None else min(60, max(10, args.seconds // 6))
    for path in (e2e.HORLIX, e2e.DRIVER):
        if not os.path.isfile(path):
            print("skipped: %s has not been built" % path)
            return e2e.SKIP
    lock = e2e.lock_prefix()
    if lock is None:
        return 1
    xvfb = e2e.start_private_display(64 * 2 * CELL_WIDTH, 400)
    if xvfb is None and not os.environ.get("DISPLAY"):
        print("skipped: no Xvfb and no DISPLAY")
        return e2e.SKIP
    report = []
    started = time.time()
    try:
        log("display", e2e.ENV.get("DISPLAY"))
        e2e.layout_program_folder()
        e2e.prepare_prefix()
        e2e.cleanup_programs()
        for path in e2e.appdata_horlix_dirs():
            shutil.rmtree(path, ignore_errors=True)
        log("soak for %d s (warm-up %d s)" % (args.seconds, warmup))
        soak(args.seconds, warmup, args.churn, report)
    except Failure as failure:
        log("FAILED:", failure)
        return 1
    finally:
        for p in e2e.STARTED:
            p.kill()
        if xvfb is not None:
            e2e.end_private_display(xvfb)
    log("soak report:")
    for line in report:
        log("  " + line)
    if args.report:
        with open(args.report, "w") as f:
            f.write("\n".join(report) + "\n")
    log("passed in %.1f s" % (time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
