"""End-to-end scenarios of the dialogs: clock properties, the all-zones
list, preferences, the countdown timer and calendar, About, export and
import, and the help file. Run through run_e2e.py; the helpers are in
e2e.py."""

import datetime
import os
import re
import shutil
import time

from e2e import (BIN, DEFAULT_CLOCKS, GREEN, LIGHT_BLUE, MONTHS, PROG, RED, SOURCE, WHITE, WORK,
                 YELLOW, Failure, buttons, capture, check, check_clock_key, check_equal,
                 check_tooltip, clipboard, wait_reg,
                 combo_items, dialog_controls, drive, exit_via_menu, hint_after_update_dialog,
                 log, one_line, parse_stamp, tooltip_texts, MONTHS,
                 rect, reg, screen_size, seed_clocks, start, text_of, tray_icon_shown, wait_colours,
                 strip_settled, wait_dialog, wait_no_dialog, wait_until, widths, words)


def zone_table():
    """The shipped zone data file: [(name, rule string)] in file order."""
    zones = []
    section = None
    with open(os.path.join(SOURCE, "resources", "horlixtz.ini"), encoding="latin-1") as f:
        for line in f:
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1]
            elif section is not None and line.startswith("TZ="):
                zones.append((section, line[3:]))
    return zones


def check_platform_sorted(names, what):
    """A sorted drop-down list orders by the platform's own text comparison,
    which ignores case and weighs punctuation its own way: check the order of
    the names made only of letters and slashes, where that comparison agrees
    with a case-blind byte comparison, and the order of the regions."""
    plain = [n for n in names if re.fullmatch(r"[A-Za-z/]+", n)]
    check(len(plain) > len(names) // 2, "%s: most names are letters and slashes" % what)
    bad = [(a, b) for a, b in zip(plain, plain[1:]) if a.lower() > b.lower()]
    check_equal(bad, [], "%s: names in alphabetical order" % what)
    regions = [n.split("/")[0].lower() for n in names]
    check(regions == sorted(regions), "%s: regions in alphabetical order" % what)


PROPS_NEW = "Clock Properties <New>"
CAUTION = "Changing clock type to use system time"
LOCAL_CAUTION = ("CAUTION: this setting will use your system's local clock time regardless of the "
                 "Zone setting.\r\nDo you want to continue?")
UTC_CAUTION = ("CAUTION: this setting will use your system's UTC (GMT) clock time and will fix "
               "the Zone setting as 'UTC'.\r\nDo you want to continue?")
COLOUR_LABELS = ["Green", "Light Blue", "Red", "White", "Yellow"]
FORMAT_LABELS = ["1 - hh:mm:ss", "2 - h:mm a/p", "3 - hh:mm", "4 - www dd"]
TITLE_25 = "Twenty-five characters!!!"


def props_state(caption):
    c, focus = dialog_controls(caption)
    return {"title": c[1004]["text"], "zone": c[1005]["text"], "zone_enabled": c[1005]["enabled"],
            "zone_index": c[1005]["state"], "format": c[1006]["text"], "colour": c[1007]["text"],
            "width": c[1009]["text"], "width_enabled": c[1009]["enabled"], "tz": c[1010]["text"],
            "type": [c[i]["state"] for i in (800, 801, 802)], "focus": focus,
            "ok": c[1]["text"], "cancel": c[2]["text"], "help": c[110]["text"]}


def check_props(caption, expected, what):
    state = props_state(caption)
    got = {k: state[k] for k in expected}
    check_equal(got, expected, what)
    return state


def caution(radio, caption, answer, text):
    drive("click", caption, radio)
    lines = drive("answer", CAUTION, answer, 10)
    check_equal(text_of(lines, "text"), one_line(text), "the caution question")
    check_equal(text_of(lines, "default"), "Cancel", "Cancel is the caution's default button")
    drive("settle", caption, radio, "--", "no-box", CAUTION, 0)  # one click, one question


def ok_props(caption):
    drive("press", caption, 1)
    wait_no_dialog(caption)


def wait_clocks(n):
    wait_until(lambda: len(buttons()) == n, "%d title buttons" % n)
    return drive("wait-ready", 20)


def scenario_props():
    """The clock properties dialog: adding a zone clock and a local clock,
    editing type, zone, format, colour and title with each caution answered
    both ways, and the error for a zone clock without a zone."""
    zones = dict(zone_table())
    seed_clocks(DEFAULT_CLOCKS)
    p = start()
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])
    start_width = rect()["width"]
    start_widths = widths()

    # A new zone clock.
    drive("post-command", 104)
    wait_dialog(PROPS_NEW)
    check_props(PROPS_NEW, {"title": "<New>", "type": [1, 0, 0], "colour": "Green",
                            "format": "1 - hh:mm:ss", "zone_index": -1, "zone_enabled": True,
                            "width_enabled": False, "tz": "", "ok": "OK", "cancel": "Cancel",
                            "help": "Help"}, "a new clock's dialog opens with the defaults")
    check_equal(combo_items(PROPS_NEW, 1007), (COLOUR_LABELS, 0), "colour list, sorted")
    check_equal(combo_items(PROPS_NEW, 1006), (FORMAT_LABELS, 0), "format list")
    names, sel = combo_items(PROPS_NEW, 1005)
    check(sorted(names) == sorted(zones) and sel == -1,
          "the zone list holds every zone (%d), none selected" % len(names))
    check_platform_sorted(names, "the zone list")
    drive("select", PROPS_NEW, 1005, "America/Argentina/Buenos_Aires")
    check_props(PROPS_NEW, {"title": "Argentina/Buenos_Aires"},
                "a zone name with two slashes proposes country/city")
    drive("select", PROPS_NEW, 1005, "Asia/Tokyo", "--", "select", PROPS_NEW, 1007, "Red", "--",
          "select", PROPS_NEW, 1006, "3 - hh:mm")
    check_props(PROPS_NEW, {"title": "Tokyo", "zone": "Asia/Tokyo", "colour": "Red",
                            "format": "3 - hh:mm"}, "the choices for Tokyo")
    ok_props(PROPS_NEW)
    wait_clocks(4)
    wait_colours([LIGHT_BLUE, GREEN, YELLOW, RED])
    w = widths()
    check_equal(w[:3], start_widths, "the old cells keep their widths")
    check_equal(rect()["width"], start_width + w[3], "the strip grows by the new cell")
    drive("send-command", 108)
    keys = reg()
    check_equal(keys["."]["N"], 4, "N after adding Tokyo")
    check_clock_key(keys, 3, {"Id": "Asia/Tokyo", "Title": "Tokyo", "Type": 2, "Wd": 0,
                              "Color": 0x0000FF, "Format": 2, "Tz": zones["Asia/Tokyo"],
                              "Width": w[3]}, "the new zone clock")

    # A new local clock: no caution for a new clock; the title is cut to 18.
    drive("post-command", 104)
    wait_dialog(PROPS_NEW)
    drive("click", PROPS_NEW, 801, "--", "settle", PROPS_NEW, 801, "--", "no-box", CAUTION, 0)
    drive("set-text", PROPS_NEW, 1004, TITLE_25)
    check_props(PROPS_NEW, {"type": [0, 1, 0], "title": TITLE_25, "colour": "Green"},
                "Local System Time chosen for the new clock")
    ok_props(PROPS_NEW)
    wait_clocks(5)
    wait_colours([LIGHT_BLUE, GREEN, YELLOW, RED, GREEN])
    check_equal(rect()["width"], start_width + sum(widths()[3:]), "the strip grows again")

    # A new zone clock without a zone cannot be added.
    drive("post-command", 104)
    wait_dialog(PROPS_NEW)
    drive("press", PROPS_NEW, 1)
    lines = drive("answer", "HORLIX", "OK", 10)
    check_equal(text_of(lines, "text"), "You must select a valid time zone", "the zone error")
    state = check_props(PROPS_NEW, {"title": "<New>", "type": [1, 0, 0]},
                        "the dialog stays open after the error")
    check_equal(state["focus"], 1005, "the focus is on the zone list")
    drive("press", PROPS_NEW, 2)
    wait_no_dialog(PROPS_NEW)
    time.sleep(0.6)
    check_equal(len(buttons()), 5, "Cancel after the error adds nothing")

    # A new UTC clock whose title was never touched is "<New>".
    drive("post-command", 104)
    wait_dialog(PROPS_NEW)
    drive("click", PROPS_NEW, 802, "--", "settle", PROPS_NEW, 802, "--", "no-box", CAUTION, 0)
    ok_props(PROPS_NEW)
    wait_clocks(6)
    drive("send-command", 108)
    keys = reg()
    check_equal(keys["."]["N"], 6, "N after adding three clocks")
    check_clock_key(keys, 4, {"Id": "Local", "Title": TITLE_25[:18], "Type": 0, "Wd": 0,
                              "Color": 0x00FF00, "Format": 0, "Tz": ""}, "the new local clock")
    check_clock_key(keys, 5, {"Id": "", "Title": "<New>", "Type": 1, "Wd": 0,
                              "Color": 0x00FF00, "Format": 0, "Tz": ""}, "the new UTC clock")

    # Editing Perth, opened by a double click on its title: both cautions
    # answered Cancel, then OK.
    drive("dblclick-title", 1)
    edit = "Clock Properties (2) - Perth"
    wait_dialog(edit)
    check_props(edit, {"title": "Perth", "type": [1, 0, 0], "zone": "Australia/Perth",
                       "zone_enabled": True, "colour": "Green", "format": "2 - h:mm a/p",
                       "width": str(keys["1"]["Width"]), "tz": "AWST-8"},
                "the dialog shows the Perth clock")
    caution(801, edit, "Cancel", LOCAL_CAUTION)
    check_props(edit, {"type": [1, 0, 0], "zone": "Australia/Perth", "zone_enabled": True,
                       "colour": "Green", "title": "Perth"}, "Cancel: back to Time Zone")
    caution(801, edit, "OK", LOCAL_CAUTION)
    check_props(edit, {"type": [0, 1, 0], "zone_index": -1, "zone_enabled": False,
                       "colour": "Light Blue", "title": "Local"}, "OK: a local clock")
    caution(802, edit, "Cancel", UTC_CAUTION)
    check_props(edit, {"type": [1, 0, 0], "zone_enabled": True}, "Cancel: back to Time Zone")
    caution(802, edit, "OK", UTC_CAUTION)
    check_props(edit, {"type": [0, 0, 1], "zone": "UTC", "zone_enabled": False,
                       "colour": "Yellow", "title": "UTC"}, "OK: a UTC clock")
    ok_props(edit)
    wait_colours([LIGHT_BLUE, YELLOW, YELLOW, RED, GREEN, GREEN])
    drive("send-command", 108)
    keys = reg()
    check_clock_key(keys, 1, {"Id": "UTC", "Title": "UTC", "Type": 1, "Color": 0x00FFFF,
                              "Format": 1, "Tz": zones["UTC"]}, "Perth became a UTC clock")

    # Back to a zone clock (no caution), with zone, format, colour and a long
    # title, which is cut to 19.
    drive("select-clock", 1, "--", "post-command", 103)
    edit = "Clock Properties (2) - UTC"
    wait_dialog(edit)
    check_props(edit, {"type": [0, 0, 1], "zone": "UTC", "colour": "Yellow"},
                "the dialog shows the UTC clock")
    drive("click", edit, 800, "--", "settle", edit, 800, "--", "no-box", CAUTION, 0)
    check_props(edit, {"type": [1, 0, 0], "zone_enabled": True}, "Time Zone without a question")
    drive("select", edit, 1005, "Europe/Paris")
    check_props(edit, {"title": "Paris"}, "choosing Paris proposes its title")
    drive("select", edit, 1007, "White", "--", "select", edit, 1006, "4 - www dd", "--",
          "set-text", edit, 1004, TITLE_25)
    ok_props(edit)
    wait_colours([LIGHT_BLUE, WHITE, YELLOW, RED, GREEN, GREEN])
    drive("send-command", 108)
    keys = reg()
    check_clock_key(keys, 1, {"Id": "Europe/Paris", "Title": TITLE_25[:19], "Type": 2,
                              "Color": 0xFFFFFF, "Format": 3, "Tz": zones["Europe/Paris"]},
                    "the clock became Paris")

    # The local clock switched to Time Zone without a zone: the error, the
    # dialog stays; then a zone and OK.
    drive("select-clock", 0, "--", "post-command", 103)
    edit = "Clock Properties (1) - Local"
    wait_dialog(edit)
    check_props(edit, {"type": [0, 1, 0], "zone_index": -1, "colour": "Light Blue"},
                "the dialog shows the local clock")
    drive("click", edit, 800, "--", "settle", edit, 800, "--", "no-box", CAUTION, 0)
    drive("press", edit, 1)
    lines = drive("answer", "HORLIX", "OK", 10)
    check_equal(text_of(lines, "text"), "You must select a valid time zone",
                "the zone error when editing")
    state = check_props(edit, {"type": [1, 0, 0], "zone_enabled": True},
                        "the dialog stays open")
    check_equal(state["focus"], 1005, "the focus is on the zone list")
    drive("select", edit, 1005, "America/New_York", "--", "select", edit, 1007, "Green")
    ok_props(edit)
    wait_colours([GREEN, WHITE, YELLOW, RED, GREEN, GREEN])

    # Only a colour changed: no new layout (the title buttons stay), the
    # next tick paints the colour; a format change lays the strip out again.
    before = [b["hwnd"] for b in buttons()]
    drive("select-clock", 4, "--", "post-command", 103)
    edit = "Clock Properties (5) - " + TITLE_25[:18]
    wait_dialog(edit)
    drive("select", edit, 1007, "Yellow")
    ok_props(edit)
    wait_colours([GREEN, WHITE, YELLOW, RED, YELLOW, GREEN])
    check_equal([b["hwnd"] for b in buttons()], before, "a colour change keeps the title buttons")
    drive("select-clock", 4, "--", "post-command", 103)
    wait_dialog(edit)
    drive("select", edit, 1006, "2 - h:mm a/p", "--", "select", edit, 1007, "Green")
    ok_props(edit)
    wait_until(lambda: all(a != b["hwnd"] for a, b in zip(before, buttons())),
               "a format change lays the strip out again")
    wait_colours([GREEN, WHITE, YELLOW, RED, GREEN, GREEN])

    # Cancel leaves the clock as it was.
    drive("select-clock", 2, "--", "post-command", 103)
    edit = "Clock Properties (3) - UTC"
    wait_dialog(edit)
    drive("select", edit, 1007, "Red", "--", "set-text", edit, 1004, "Changed")
    drive("press", edit, 2)
    wait_no_dialog(edit)
    wait_colours([GREEN, WHITE, YELLOW, RED, GREEN, GREEN])
    laid_out = widths()
    exit_via_menu(p)
    keys = reg()
    check_equal(keys["."]["N"], 6, "N at exit")
    check_clock_key(keys, 0, {"Id": "America/New_York", "Title": "New_York", "Type": 2,
                              "Color": 0x00FF00, "Tz": zones["America/New_York"]},
                    "the local clock became New York")
    check_clock_key(keys, 2, dict(DEFAULT_CLOCKS[2], Width=laid_out[2]),
                    "the cancelled edit changed nothing")
    check_equal([keys[str(i)]["Width"] for i in range(6)], laid_out, "widths at exit")


def scenario_zones():
    """The all-zones list: its columns, its rows and their times, sorting by
    each column in both directions, Refresh, and the directions kept after
    the dialog closes."""
    # The program's zone list holds the zones in the reverse of the file's order.
    zones = list(reversed(zone_table()))
    soon, soon_clock = clock_changing_soon()
    seed_clocks(DEFAULT_CLOCKS + [soon_clock])
    p = start()
    caption = "All Time Zones"
    check_change_tooltip(soon)

    def rows(column=None):
        """(data, [texts]) per row in display order; with a column, only its
        text (at the column's place, the others empty; no data)."""
        out = []
        args = ("lv-rows", caption, 1011) + (() if column is None else (column,))
        for line in drive(*args):
            if line.startswith("row "):
                data, *texts = line.split(" ", 2)[2].split("|")
                if column is not None:
                    out.append((None, [""] * column + texts))
                else:
                    out.append((int(data), texts))
        return out

    def is_sorted(rs, column, descending):
        keys = [r[1][column].encode("latin-1") for r in rs]
        pairs = zip(keys, keys[1:])
        return all((a >= b) if descending else (a <= b) for a, b in pairs)

    def wait_sorted(column, descending, what):
        def probe():
            rs = rows(column)
            return rs if len(rs) == len(zones) and is_sorted(rs, column, descending) else None
        rs = wait_until(probe, what)
        check(sorted(r[1][column] for r in rs) == all_texts[column],
              "%s: the same rows" % what)
        return rs

    t0 = time.time()
    drive("post-command", 111)
    wait_dialog(caption)
    t1 = time.time()
    lines = drive("lv-columns", caption, 1011)
    cols = [(int(w[0]), int(w[1]), int(w[2]), " ".join(w[3:])) for w in words(lines, "column")]
    check_equal([(c[0], c[2], c[3]) for c in cols],
                [(0, 0, "Zone Name"), (1, 0, "Time Now"), (2, 0, "TZ string")],
                "three left-aligned columns")
    # At least their set widths; the longest names ("America/North_Dakota/
    # New_Salem") need more than 140 pixels in any font.
    check(all(c[1] >= w for c, w in zip(cols, (140, 160, 200))) and cols[0][1] > 140,
          "columns at least as wide as set and wide enough for the names: %r" % cols)
    style, ex = (int(v, 16) for v in words(lines, "styles")[0])
    check_equal((style & 0x3, style & 0x8, ex & 0x20), (1, 0x8, 0x20),
                "report view, selection always shown, full-row selection")
    c, _ = dialog_controls(caption)
    check_equal((c[1]["text"], c[1012]["text"]), ("Close", "Refresh"), "the buttons")

    first = rows()
    all_texts = [sorted(r[1][c] for r in first) for c in range(3)]
    check_equal(sorted(r[0] for r in first), list(range(len(zones))), "one row per zone")
    check(is_sorted(first, 0, False), "opened sorted by zone name, ascending")
    for data, texts in first:
        if (texts[0], texts[2]) != zones[data]:
            raise Failure("row data %d: %r, expected %r" % (data, texts, zones[data]))
    log("  ok: each row's data is its zone's place in the zone list")
    pattern = re.compile(r"\d\d:\d\d ([A-Za-z]\S*|[+-]\d\d(\d\d)?) *(Sun|Mon|Tue|Wed|Thu|Fri|Sat) \d\d "
                         r"(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) (\(d\))?")
    bad = [r[1] for r in first if not pattern.fullmatch(r[1][1])]
    check_equal(bad, [], "every Time Now text has the row layout")
    import zoneinfo
    by_name = {r[1][0]: r[1][1] for r in first}
    for name in ("Australia/Perth", "Asia/Tokyo", "Europe/Paris", "America/New_York", "UTC",
                 "America/St_Johns", "Australia/Sydney", "America/Sao_Paulo", "Asia/Kathmandu"):
        expected = set()
        for at in (t0, t1):
            d = datetime.datetime.fromtimestamp(at, zoneinfo.ZoneInfo(name))
            expected.add("%02d:%02d %-4s %3s %02d %3s %s" % (
                d.hour, d.minute, d.tzname(), d.strftime("%a"), d.day, d.strftime("%b"),
                "(d)" if d.dst() else ""))
        check(by_name[name] in expected, "%s: %r is the zone's time now (%r)"
              % (name, by_name[name], sorted(expected)))

    for column in (0, 1, 2):
        drive("lv-click-column", caption, 1011, column)
        wait_sorted(column, True, "first click on column %d: descending" % column)
        drive("lv-click-column", caption, 1011, column)
        wait_sorted(column, False, "second click on column %d: ascending" % column)

    # Refresh fills the list again and sorts by the last column clicked.
    drive("lv-click-column", caption, 1011, 2)
    wait_sorted(2, True, "column 2 descending again")
    drive("lv-set-text", caption, 1011, 0, 1, "stale", "--", "lv-set-text", caption, 1011, 5, 0,
          "~stale")
    check(any(r[1][1] == "stale" for r in rows()), "a cell was overwritten")
    drive("press", caption, 1012)
    waited = int(words(drive("wait-responsive", 60), "responsive")[0][0])
    log("  the program answered %d ms after Refresh" % waited)
    rs = rows()
    check(not any("stale" in t for r in rs for t in r[1]), "Refresh replaced every cell")
    check(is_sorted(rs, 2, True), "Refresh sorts by the last column in its direction")
    check_equal(sorted(r[0] for r in rs), list(range(len(zones))), "one row per zone after Refresh")

    # The directions outlive the dialog: column 0 descending at the next opening.
    drive("lv-click-column", caption, 1011, 0)
    wait_sorted(0, True, "column 0 descending")
    drive("press", caption, 1)
    wait_no_dialog(caption)
    drive("post-command", 111)
    wait_dialog(caption)
    wait_sorted(0, True, "reopened: column 0 keeps its descending direction")
    drive("press", caption, 2)
    wait_no_dialog(caption)
    check_find_boxes(caption, len(zones))
    exit_via_menu(p)


def clock_changing_soon():
    """A zone clock whose clocks go forward at 02:00 local time five (or six)
    days from today (UTC), with the date of that day."""
    soon = datetime.datetime.now(datetime.timezone.utc).date() + datetime.timedelta(days=5)
    if (soon.month, soon.day) == (2, 29):  # a Jn rule cannot name it
        soon += datetime.timedelta(days=1)
    day = datetime.date(2001, soon.month, soon.day).timetuple().tm_yday
    rule = "XXX-1YYY,J%d/2,J%d/3" % (day, (day + 180) % 365 + 1)
    return soon, {"Id": "Soon/Change", "Title": "Soon", "Type": 2, "Wd": 0, "Width": 80,
                  "Color": 0xFFFFFF, "Format": 0, "Tz": rule}


def check_change_tooltip(soon):
    """The clock's title tip has the change as its second line (the driver
    prints the line break as two blanks)."""
    t0 = time.time()
    tip = text_of(drive("tooltip", 3, 8), "tooltip")
    change = "Clocks go forward 1:00 on %s %d %s %d at 02:00 (XXX -> YYY)" % (
        soon.strftime("%a"), soon.day, MONTHS[soon.month - 1], soon.year)
    expected = {first + "  " + change for first in tooltip_texts("XXX", 3600, 1, t0, time.time())}
    check(tip in expected, "the tip of a clock changing in five days: %r (expected one of %r)"
          % (tip, sorted(expected)))
    # The orange corner mark (COLORREF 0x0080FF) on its title, on no other.
    marks = [int(words(drive("pixels-of", "strip", i, "0080FF"), "pixels")[0][1].split("=")[1])
             for i in range(4)]
    check(marks[3] > 0 and marks[:3] == [0, 0, 0], "the change mark on that title only: %r" % marks)


def check_find_boxes(caption, zone_count):
    """Typing into the search boxes of the all-zones list and the properties
    dialog narrows their lists, best first; Down and Enter move on to the list."""
    drive("post-command", 111)
    wait_dialog(caption)

    def names():
        return [line.split(" ", 2)[2].split("|")[1] for line in drive("lv-rows", caption, 1011)
                if line.startswith("row ")]
    drive("set-text", caption, 1061, "Mumbai")
    check_equal(names(), ["Asia/Kolkata"], "Mumbai finds Kolkata")
    drive("set-text", caption, 1061, "united states")
    found = names()
    check("America/New_York" in found and "Pacific/Honolulu" in found
          and all(n.split("/")[0] in ("America", "Pacific") for n in found),
          "united states finds its zones (%d)" % len(found))
    drive("set-text", caption, 1061, "ist")
    found = names()
    check(found[0] == "Europe/Istanbul" and {"Asia/Kolkata", "Europe/Dublin"} <= set(found[1:]),
          "a city's beginning before the zones called IST: %r" % found)
    drive("enter", caption, 1061, "down")
    wait_until(lambda: dialog_controls(caption)[1] == 1011, "Down in the box moves to the list")
    drive("set-text", caption, 1061, "")
    check_equal(len(names()), zone_count, "an empty box shows every zone again")
    drive("press", caption, 2)
    wait_no_dialog(caption)

    drive("post-command", 104)
    wait_dialog(PROPS_NEW)
    drive("set-text", PROPS_NEW, 1060, "saigon")
    check_equal(combo_items(PROPS_NEW, 1005), (["Asia/Ho_Chi_Minh"], 0), "saigon finds one zone")
    check_props(PROPS_NEW, {"title": "Ho_Chi_Minh"}, "the zone found proposes its title")
    drive("set-text", PROPS_NEW, 1060, "germany")
    check_equal(combo_items(PROPS_NEW, 1005)[0][0], "Europe/Berlin", "germany finds Berlin first")
    drive("enter", PROPS_NEW, 1060)
    wait_until(lambda: dialog_controls(PROPS_NEW)[1] == 1005, "Enter in the box moves to the zones")
    drive("set-text", PROPS_NEW, 1060, "")
    names_all, selected = combo_items(PROPS_NEW, 1005)
    check(len(names_all) == zone_count and names_all[selected] == "Europe/Berlin",
          "an empty box shows every zone again, the found one still selected")
    drive("press", PROPS_NEW, 2)
    wait_no_dialog(PROPS_NEW)


PREFS = "Preferences"
DATE_LABELS = ["d-m-y", "m-d-y", "y-m-d"]
HOUR_LABELS = ["%02d:00 - %02d:59" % (h, h) for h in range(24)]
FONT_LABELS = ["0 - Normal", "1 - Big", "2 - Bigger"]
STAMP_LABELS = ["asctime", "hh:mm:ss", "hh:mm:ssTZD", "YYYY-MM-DDThh:mm:ss",
                "YYYY-MM-DDThh:mm:ssTZD"]
PREF_VALUES = ["DateFormat", "UpdateCheck", "UpdateTime", "TimeStampFmt", "FontSize",
               "ShowIconInTray", "TurnOffOnTop"]


def prefs_state():
    c, _ = dialog_controls(PREFS)
    return {"launch": c[1101]["state"], "date": c[1102]["text"], "update": c[1103]["state"],
            "hour": c[1104]["text"], "hour_enabled": c[1104]["enabled"], "font": c[1105]["text"],
            "stamp": c[1106]["text"], "tray": c[1107]["state"], "on_top": c[1108]["state"]}


def open_prefs():
    drive("post-command", 112)
    wait_dialog(PREFS)


def set_prefs(launch=None, date=None, update=None, hour=None, font=None, stamp=None, tray=None,
              on_top=None):
    args = []
    for control, value in ((1101, launch), (1103, update), (1107, tray), (1108, on_top)):
        if value is not None:
            args += ["--", "check", PREFS, control, value]
    for control, value in ((1102, date), (1104, hour), (1105, font), (1106, stamp)):
        if value is not None:
            args += ["--", "select", PREFS, control, value]
    if args:
        drive(*args[1:])


def run_value():
    lines = drive("run-get")
    if lines == ["run-absent"]:
        return None
    return text_of(lines, "run").split(" ", 2)[2]


def program_path():
    return "Z:" + os.path.join(PROG, "horlix.exe").replace("/", "\\")


def scenario_prefs():
    """The preferences dialog: what it shows, every choice applied and
    written by OK (the Run value only on a change, the tray icon and the
    on-top state at once, the font at the next tick), nothing by Cancel."""
    drive("run-delete")
    seed_clocks(DEFAULT_CLOCKS, [(".", "DateFormat", "dword", 7), (".", "UpdateCheck", "dword", 0),
                                 (".", "UpdateTime", "dword", 5), (".", "FontSize", "dword", 0),
                                 (".", "TimeStampFmt", "dword", 4),
                                 (".", "ShowIconInTray", "dword", 0),
                                 (".", "TurnOffOnTop", "dword", 0)])
    p = start()
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])
    normal = rect()
    normal_widths = widths()
    check(not tray_icon_shown() and normal["exstyle"] & 0x8, "no tray icon, topmost")

    open_prefs()
    shown = {"launch": 0, "date": "", "update": 0, "hour": "05:00 - 05:59",
             "hour_enabled": False, "font": "0 - Normal", "stamp": "asctime", "tray": 0,
             "on_top": 0}
    check_equal(prefs_state(), shown, "the dialog shows the stored settings")
    check_equal(combo_items(PREFS, 1102), (DATE_LABELS, -1),
                "date formats, sorted; a stored 7 selects none")
    check_equal(combo_items(PREFS, 1104), (HOUR_LABELS, 5), "the hours in their order")
    check_equal(combo_items(PREFS, 1105), (FONT_LABELS, 0), "font sizes")
    check_equal(combo_items(PREFS, 1106), (STAMP_LABELS, 0),
                "timestamp formats in alphabetical order")
    c, _ = dialog_controls(PREFS)
    check_equal([c[i]["text"] for i in (1101, 1103, 1107, 1108, 1109, 1110, 1, 2)],
                ["&Launch automatically on startup", "Check for &updates daily at:",
                 "&Show icon in system tray", "&Turn off 'always-on-top' behaviour", "E&xport",
                 "&Import", "OK", "Cancel"], "the captions")
    drive("check", PREFS, 1103, 1)
    check_equal(prefs_state()["hour_enabled"], True, "checking the update box enables the hours")
    drive("check", PREFS, 1103, 0)
    check_equal(prefs_state()["hour_enabled"], False, "unchecking it disables them")

    # Every choice changed, then Cancel: nothing is applied or written.
    before = reg()
    changes = dict(launch=1, date="y-m-d", update=1, hour="19:00 - 19:59", font="2 - Bigger",
                   stamp="hh:mm:ssTZD", tray=1, on_top=1)
    set_prefs(**changes)
    check_equal(prefs_state(), {"launch": 1, "date": "y-m-d", "update": 1,
                                "hour": "19:00 - 19:59", "hour_enabled": True,
                                "font": "2 - Bigger", "stamp": "hh:mm:ssTZD", "tray": 1,
                                "on_top": 1}, "every choice changed")
    drive("press", PREFS, 2)
    wait_no_dialog(PREFS)
    check_equal(reg(), before, "Cancel writes nothing")
    check_equal(run_value(), None, "Cancel registers nothing to run")
    r = rect()
    check(not tray_icon_shown() and r["exstyle"] & 0x8, "Cancel: still no tray icon, topmost")
    time.sleep(1.2)
    check_equal((rect()["height"], widths()), (normal["height"], normal_widths),
                "Cancel: the font stays")
    open_prefs()
    check_equal(prefs_state(), shown, "after Cancel the dialog shows the old settings")

    # OK without changes writes every value it has one for; the date format
    # without an entry stays as it was.
    drive("press", PREFS, 1)
    wait_no_dialog(PREFS)
    keys = reg()
    check_equal({k: keys["."].get(k) for k in PREF_VALUES},
                {"DateFormat": 7, "UpdateCheck": 0, "UpdateTime": 5, "TimeStampFmt": 4,
                 "FontSize": 0, "ShowIconInTray": 0, "TurnOffOnTop": 0},
                "OK without changes: the values as they were")
    check_equal(run_value(), None, "OK with the box unchanged registers nothing")

    # Every choice changed, then OK.
    drive("reg-delete", ".", "UpdateCheck", "--", "reg-delete", ".", "ShowIconInTray")
    open_prefs()
    set_prefs(**changes)
    drive("press", PREFS, 1)
    wait_no_dialog(PREFS)
    r = rect()
    check(tray_icon_shown(), "OK shows the tray icon at once")
    check_equal(r["exstyle"] & 0x8, 0, "OK takes the strip off the top at once")
    check_equal((r["left"], r["top"]), (normal["left"], normal["top"]), "the strip keeps its place")
    keys = reg()
    check_equal({k: keys["."].get(k) for k in PREF_VALUES},
                {"DateFormat": 2, "UpdateCheck": 1, "UpdateTime": 19, "TimeStampFmt": 1,
                 "FontSize": 2, "ShowIconInTray": 1, "TurnOffOnTop": 1},
                "OK writes every choice")
    check_equal(run_value().lower(), program_path().lower(),
                "OK registers the program under Run as Horlix")
    big = wait_until(lambda: (lambda r: r if r["height"] > normal["height"] else None)(rect()),
                     "the next tick rebuilds the font: a taller strip")
    check(all(a > b for a, b in zip(widths(), normal_widths)), "and wider cells")
    check_equal(big["exstyle"] & 0x8, 0, "still not topmost after the relayout")
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])
    check_tooltip(1, "AWST", 8 * 3600, 2, "the new date format")
    stamp = capture(2, "Cancel")
    parse_stamp(1, stamp, 0)
    check(stamp.endswith("Z"), "the new timestamp format: %r" % stamp)

    # With the program registered, a checked box writes nothing to Run; the
    # other values are written again, changed or not.
    drive("run-put", "sentinel", "--", "reg-delete", ".", "DateFormat")
    open_prefs()
    check_equal(prefs_state(), {"launch": 1, "date": "y-m-d", "update": 1,
                                "hour": "19:00 - 19:59", "hour_enabled": True,
                                "font": "2 - Bigger", "stamp": "hh:mm:ssTZD", "tray": 1,
                                "on_top": 1}, "the dialog shows the new settings")
    drive("press", PREFS, 1)
    wait_no_dialog(PREFS)
    check_equal(run_value(), "sentinel", "OK with the box unchanged leaves the Run value")
    check_equal(reg()["."].get("DateFormat"), 2, "the unchanged date format is written again")

    # Back: unregister, no tray icon, on top, normal font.
    open_prefs()
    set_prefs(launch=0, font="0 - Normal", tray=0, on_top=0)
    drive("press", PREFS, 1)
    wait_no_dialog(PREFS)
    r = rect()
    check(not tray_icon_shown(), "OK removes the tray icon at once")
    check_equal(r["exstyle"] & 0x8, 0x8, "OK puts the strip on top at once")
    check_equal(run_value(), None, "unchecking the box removes the Run value")
    wait_until(lambda: rect()["height"] == normal["height"] and widths() == normal_widths,
               "the normal font comes back")
    check_equal(rect()["exstyle"] & 0x8, 0x8, "still topmost after the relayout")
    check_tooltip(1, "AWST", 8 * 3600, 2, "the tooltips still show")
    keys = reg()
    check_equal({k: keys["."].get(k) for k in PREF_VALUES},
                {"DateFormat": 2, "UpdateCheck": 1, "UpdateTime": 19, "TimeStampFmt": 1,
                 "FontSize": 0, "ShowIconInTray": 0, "TurnOffOnTop": 0}, "the values written")
    exit_via_menu(p)


COUNTDOWN = "Countdown Timer"
ALARM = "Horlix Alarm"
CALENDAR = "Horlix Calendar (Local time)"


def countdown_state():
    c, _ = dialog_controls(COUNTDOWN)
    return {"fields": [c[i]["text"] for i in (1038, 1040, 1042)],
            "enabled": [c[i]["enabled"] for i in (1038, 1039, 1040, 1041, 1042, 1043, 1045)],
            "button": c[1044]["text"]}


def alarm_windows():
    """How many alarm windows the program has, shown or not."""
    return sum(1 for line in drive("windows")
               if line.split(" ")[4:5] == ["#32770"] and line.endswith(" " + ALARM))


def check_beside_strip(dialog, what):
    """A dialog of the strip opens on the screen and clear of the strip."""
    r, (sw, sh) = rect(), screen_size()
    left, top, right, bottom = dialog["rect"]
    check(0 <= left and 0 <= top and right <= sw and bottom <= sh,
          "%s: on the screen %r" % (what, dialog["rect"]))
    check(bottom <= r["top"] or top >= r["top"] + r["height"] or right <= r["left"] or
          left >= r["left"] + r["width"], "%s: %r clear of the strip %r" % (what, dialog["rect"], r))


def scenario_countdown_calendar():
    """The countdown of 2 seconds raises the alarm on the first tick after
    it has expired, also with the dialog hidden; OFF and Escape close the
    alarm. The calendar counts the days from today to a date clicked. Both
    open beside the strip, here across the middle of the screen."""
    seed_clocks(DEFAULT_CLOCKS, [(".", "Y", "dword", screen_size()[1] // 2 - 20)])
    p = start()
    drive("post-command", 117)
    check_beside_strip(wait_dialog(COUNTDOWN), "the countdown")
    c, _ = dialog_controls(COUNTDOWN)
    check_equal([c[i]["class"] for i in (1038, 1039, 1040, 1041, 1042, 1043)],
                ["Edit", "msctls_updown32"] * 3, "three fields, each with a spin control")
    check_equal((c[1044]["text"], c[1045]["text"], c[2]["text"]), ("Start", "Reset", "Hide"),
                "the buttons")
    stopped = {"fields": ["0", "0", "0"], "enabled": [True] * 7, "button": "Start"}
    check_equal(countdown_state(), stopped, "a first opening: stopped at 0 0 0")

    # Start with nothing to count does nothing; Reset clears the fields.
    drive("press", COUNTDOWN, 1044, "--", "sleep", 600)
    check_equal(countdown_state(), stopped, "Start with 0 0 0 does nothing")
    drive("set-text", COUNTDOWN, 1038, "1", "--", "set-text", COUNTDOWN, 1040, "2", "--",
          "set-text", COUNTDOWN, 1042, "3", "--", "press", COUNTDOWN, 1045)
    wait_until(lambda: countdown_state() == stopped, "Reset sets the fields to 0")

    # Typed values beyond the spin ranges count in full: 90 minutes. Enter in
    # a field is the default button: Start, then Stop.
    drive("set-text", COUNTDOWN, 1040, "90", "--", "enter", COUNTDOWN, 1040)
    wait_until(lambda: (lambda f: f[:2] == ["1", "29"] and int(f[2]) >= 55)(
        countdown_state()["fields"]), "Enter starts: 90 minutes show as 1 hour 29 minutes")
    drive("enter", COUNTDOWN, 1042)
    wait_until(lambda: countdown_state()["button"] == "Start", "Enter stops it")
    drive("press", COUNTDOWN, 1045)
    wait_until(lambda: countdown_state() == stopped, "Reset again")

    # Two seconds with the dialog open.
    drive("set-text", COUNTDOWN, 1042, "2")
    before = time.time()
    drive("press", COUNTDOWN, 1044)
    running = wait_until(lambda: (lambda s: s if s["button"] == "Stop" else None)(
        countdown_state()), "Start: the button reads Stop")
    after = time.time()
    check_equal(running["enabled"], [False] * 7, "fields, spins and Reset disabled while running")
    lines = drive("wait-dialog", ALARM, 15)
    raised = time.time()
    # The end is the start's second plus 2; the alarm comes at the first
    # 1-second tick whose second is later than that.
    earliest = int(before) + 3
    log("  alarm %.2f s after the press (%.2f s after the earliest second)"
        % (raised - after, raised - earliest))
    check(raised >= earliest, "the alarm does not come before the second after the end")
    check(words(lines, "dialog")[0][1] == str(words(drive("find"), "window")[0][1]),
          "the alarm window belongs to the program")
    a, _ = dialog_controls(ALARM)
    check_equal((a[1]["text"], a[1]["class"], a[1150]["class"]), ("OFF", "Button", "Static"),
                "the alarm window: OFF and the icon")
    wait_until(lambda: countdown_state() == dict(stopped, fields=["0", "0", "0"]),
               "after the alarm the countdown dialog is stopped again")
    drive("press", ALARM, 1)
    wait_no_dialog(ALARM)
    wait_until(lambda: alarm_windows() == 0, "OFF closes the alarm window")

    # Started, hidden, reopened while running, hidden: the alarm still comes.
    drive("set-text", COUNTDOWN, 1042, "3")
    drive("press", COUNTDOWN, 1044)
    wait_until(lambda: countdown_state()["button"] == "Stop", "started again")
    drive("press", COUNTDOWN, 2)
    wait_no_dialog(COUNTDOWN)
    drive("post-command", 117)
    wait_dialog(COUNTDOWN)
    state = countdown_state()
    check(state["button"] == "Stop" and state["enabled"] == [False] * 7 and
          state["fields"][:2] == ["0", "0"] and 0 <= int(state["fields"][2]) <= 3,
          "reopened while running: Stop, disabled, the time left %r" % state["fields"])
    drive("press", COUNTDOWN, 2)
    wait_no_dialog(COUNTDOWN)
    drive("wait-dialog", ALARM, 15)
    check_equal(alarm_windows(), 1, "one alarm window")
    drive("press", ALARM, 2)  # Escape
    wait_until(lambda: alarm_windows() == 0, "Escape closes the alarm window")

    # The calendar.
    drive("post-command", 115)
    check_beside_strip(wait_dialog(CALENDAR), "the calendar")
    c, _ = dialog_controls(CALENDAR)
    check_equal((c[1036]["class"], c[2]["text"], c[1037]["text"]),
                ("SysMonthCal32", "Close", " "), "the calendar, Close and a blank day count")
    lines = drive("calendar-dates", CALENDAR, 1036)
    t = [int(v) for v in words(lines, "today")[0]]
    today = datetime.date(t[0], t[1], t[2])
    check(today in (datetime.date.today(), datetime.date.fromtimestamp(time.time() - 5)),
          "the calendar's today %s is the local date" % today)
    midnight = datetime.datetime(today.year, today.month, today.day)
    for delta in (1, 0, -1, 2):
        day = today + datetime.timedelta(days=delta)
        drive("calendar-click", CALENDAR, 1036, day.year, day.month, day.day)
        sel = [int(v) for v in words(drive("calendar-dates", CALENDAR, 1036), "selected")[0]]
        check_equal(sel[:3], [day.year, day.month, day.day], "the date %s is selected" % day)
        chosen = datetime.datetime(*sel[:6])
        seconds = int((chosen - midnight).total_seconds())
        days = int(seconds / 86400)  # whole days, toward zero
        expected = "%d day%s" % (days, "" if days == 1 else "s")
        if sel[3:6] == [0, 0, 0]:
            check_equal(expected, {1: "1 day", 0: "0 days", -1: "-1 days", 2: "2 days"}[delta],
                        "a date at midnight counts whole days")
        wait_until(lambda: dialog_controls(CALENDAR)[0][1037]["text"] == expected,
                   "%+d day(s): the text reads %r" % (delta, expected))
    drive("press", CALENDAR, 2)
    wait_no_dialog(CALENDAR)
    exit_via_menu(p)


STATUS_TEXTS = ["", "ATTENTION: an updated time zone file is available.",
                "ATTENTION: a newer version of Horlix is available."]
RED_TEXT, LINK_BLUE = "0000FF", "CC0000"
# In place of the maker's notice in a build that trusts the development key.
DEVELOPMENT_NOTICE = "This is a development build: its updates are signed with a published key."


def scenario_about():
    """The About box with each update status: its texts, the status in red,
    the links drawn in their colour, "Update Now" only for a newer version;
    after the update dialog the strip's hint tells of the update."""
    for status in (0, 1, 2):
        seed_clocks(DEFAULT_CLOCKS, [(".", "UpdateStatus", "dword", status)])
        p = start()
        drive("post-command", 102)
        check_beside_strip(wait_dialog("About Horlix"), "About")
        c, _ = dialog_controls("About Horlix")
        statics = [s["text"] for s in c[-1] if s["class"] == "Static"]
        check("Horlix World Time Utility" in statics and "Version:" in statics,
              "status %d: the name and the version label" % status)
        check_equal(c[1152]["text"], "1, 6, 5, 0", "the version")
        check_equal(c[1157]["text"], DEVELOPMENT_NOTICE, "the development build says what it is")
        check(re.fullmatch(r"\[(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ \d]\d \d{4} "
                           r"\d\d:\d\d:\d\d\] ", c[1153]["text"]) is not None,
              "the build time %r" % c[1153]["text"])
        check_equal(c[1154]["text"], STATUS_TEXTS[status], "status %d: the status text" % status)
        web = c[1156]["text"]
        check(web.endswith("/horlix/") and "://" not in web, "the web link %r" % web)
        check_equal((c[1155]["text"], c[1]["text"]), ("Update Now", "OK"), "Update Now and OK")

        def count(control, colour):
            w = words(drive("pixels-of", "About Horlix", control, colour), "pixels")[0]
            return int(w[1].split("=")[1])
        wait_until(lambda: count(1156, LINK_BLUE) > 20,
                   "the web link is drawn in the link colour")
        check_equal(count(1154, RED_TEXT) > 20, status > 0, "status %d: red status text" % status)
        check_equal(count(1155, LINK_BLUE) > 10, status == 2,
                    "status %d: Update Now drawn only for a newer version" % status)
        drive("press", "About Horlix", 1)
        wait_no_dialog("About Horlix")
        if status > 0:
            check_equal(hint_after_update_dialog(), STATUS_TEXTS[status],
                        "status %d: the strip's hint after the update dialog" % status)
        exit_via_menu(p)


SIGNATURE = "7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371"
EXPORT_CLOCKS = [
    {"Id": "Asia/Tokyo", "Title": "Tokyo", "Type": 2, "Wd": 0, "Width": 80, "Color": 0x0000FF,
     "Format": 3, "Tz": "JST-9"},
    {"Id": "Local", "Title": "Home", "Type": 0, "Wd": 0, "Width": 80, "Color": 0xFFFFFF,
     "Format": 1, "Tz": ""},
    {"Id": "UTC", "Title": "Zulu", "Type": 1, "Wd": 0, "Width": 80, "Color": 0x00FFFF,
     "Format": 2, "Tz": "UTC0"},
]
EXPORT_SETTINGS = {"DateFormat": 2, "UpdateCheck": 1, "UpdateTime": 7, "UpdateStatus": 1,
                   "LayoutStyle": 1, "TimeStampFmt": 1, "FontSize": 1, "ShowIconInTray": 1,
                   "TurnOffOnTop": 1, "X": 150, "Y": 40}
IMPORTED = ["DateFormat", "UpdateTime", "LayoutStyle", "FontSize", "TimeStampFmt",
            "ShowIconInTray"]
FILES = os.path.join(WORK, "files")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def settings_file(main, clocks):
    """An import file: section Horlix with the given lines, one section per
    clock (a dict of key: value, in order)."""
    text = "; made by the test\r\n\r\n[Horlix]\r\n" + "".join("%s\r\n" % m for m in main)
    for i, clock in enumerate(clocks):
        text += "\r\n[%d]\r\n" % i + "".join("%s=%s\r\n" % kv for kv in clock.items())
    return text


def write_file(name, text):
    path = os.path.join(FILES, name)
    with open(path, "wb") as f:
        f.write(text.encode("latin-1"))
    return path


def open_import(path):
    """Preferences, Import, the first question answered OK, the file chosen."""
    open_prefs()
    drive("press", PREFS, 1110)
    lines = drive("answer", "Import Horlix Settings", "OK", 15)
    check_equal(text_of(lines, "text"), "This will import Horlix settings from a '.hrlx' file and "
                "overwrite all your existing settings (you will get a second chance to confirm "
                "later). Do you want to continue?", "the import's first question")
    drive("file-dialog", "Open", windows_path(path), 30)


def main_values(keys):
    return {k: keys["."].get(k) for k in sorted(keys["."])}


def scenario_export_import():
    """Export writes the settings file; importing it after other settings
    restores the three clocks and the six imported settings and restarts the
    program; a cancelled confirmation and invalid files change nothing; long
    titles, Ids and rule strings come back as the registry can hold them."""
    shutil.rmtree(FILES, ignore_errors=True)
    os.makedirs(FILES)
    seed_clocks(EXPORT_CLOCKS, [(".", k, "dword", v) for k, v in EXPORT_SETTINGS.items()])
    drive("run-put", program_path())
    p = start()
    wait_colours([RED, WHITE, YELLOW])
    laid_out = widths()

    # Export, refused at the question: no file dialog.
    open_prefs()
    drive("press", PREFS, 1109)
    lines = drive("answer", "Export Horlix Settings", "Cancel", 15)
    check_equal(text_of(lines, "text"), "This will export your current settings to a file of your "
                "choice. Do you want to continue?", "the export's question")
    wait_no_dialog(PREFS)  # the export has run its course
    drive("no-box", "Save As", 0)

    # Export, the save dialog cancelled: no message, no file, the dialog closes.
    open_prefs()
    drive("check", PREFS, 1107, 0, "--", "press", PREFS, 1109)
    drive("answer", "Export Horlix Settings", "OK", 15)
    drive("wait-dialog", "Save As", 30, "--", "press", "Save As", 2, "--",
          "wait-no-dialog", "Save As", 15)
    wait_no_dialog(PREFS)
    drive("no-box", "Sorry, an error occurred", 0)
    check(tray_icon_shown() and os.listdir(FILES) == [],
          "a cancelled export writes nothing and applies nothing")

    # Export: the save dialog adds the extension.
    open_prefs()
    drive("press", PREFS, 1109)
    drive("answer", "Export Horlix Settings", "OK", 15)
    t0 = time.time()
    drive("file-dialog", "Save As", windows_path(os.path.join(FILES, "exported")), 30)
    exported = os.path.join(FILES, "exported.hrlx")
    wait_until(lambda: os.path.exists(exported), "the file exported.hrlx is written")
    wait_no_dialog(PREFS)
    t1 = time.time()
    time.sleep(0.5)
    with open(exported, "rb") as f:
        raw = f.read().decode("latin-1")
    check("\r\n" in raw and "\n" not in raw.replace("\r\n", ""), "lines end with CR LF")
    lines = raw.split("\r\n")
    check_equal(lines[0], "; Exported settings for Horlix world time utility", "comment 1")
    m = re.fullmatch(r"; <(https?://[^>]+/horlix/)>", lines[1])
    check(m is not None, "comment 2 names the program's page: %r" % lines[1])
    page = m.group(1)
    check_equal(lines[2:5], ["; To restore use Right-click > Preferences > Import", "",
                             "[Horlix]"], "comment 3, the empty line, the section")
    body = [line for line in lines[5:] if line != ""]
    created = body[1]
    stamp = datetime.datetime.strptime(created, "Created=%Y-%m-%dT%H:%M:%SZ").replace(
        tzinfo=datetime.timezone.utc).timestamp()
    check(t0 - 2 <= stamp <= t1 + 1, "Created is the time of the export in UTC: %r" % created)
    expected = ["Version=1650", created, "URL=" + page, "Guid=" + SIGNATURE] + [
        "%s=%d" % (k, EXPORT_SETTINGS[k]) for k in
        ("DateFormat", "UpdateCheck", "UpdateTime", "UpdateStatus", "LayoutStyle",
         "TimeStampFmt", "FontSize", "ShowIconInTray", "TurnOffOnTop", "X", "Y")] + [
        "AutoStart=1", "N=3"]
    for i, c in enumerate(EXPORT_CLOCKS):
        expected += ["[%d]" % i] + ["%s=%s" % (k, dict(c, Width=laid_out[i])[k]) for k in
                                    ("Color", "Format", "Type", "Wd", "Width", "Id", "Title",
                                     "Tz")]
    check_equal(body, expected, "the keys and values in their order")

    # Files that are not settings files change nothing.
    before = reg()
    clock0 = {"Color": 255, "Format": 0, "Type": 2, "Wd": 0, "Width": 80, "Id": "Asia/Tokyo",
              "Title": "Tokyo", "Tz": "JST-9"}
    clock1 = {"Color": 65280, "Format": 0, "Type": 0, "Wd": 0, "Width": 80, "Id": "Local",
              "Title": "Here", "Tz": ""}
    no_id = {k: v for k, v in clock1.items() if k != "Id"}
    six = ["%s=%d" % (k, 0) for k in IMPORTED] + ["AutoStart=0"]
    bad = {
        "bad-guid.hrlx": (["Guid=" + SIGNATURE[:-1] + "0", "N=2"] + six, [clock0, clock1]),
        "lower-guid.hrlx": (["Guid=" + SIGNATURE.lower(), "N=2"] + six, [clock0, clock1]),
        "no-guid.hrlx": (["N=2"] + six, [clock0, clock1]),
        "n0.hrlx": (["Guid=" + SIGNATURE, "N=0"] + six, [clock0, clock1]),
        "n65.hrlx": (["Guid=" + SIGNATURE, "N=65"] + six, [clock0] * 65),
        "no-id.txt": (["Guid=" + SIGNATURE, "N=2"] + six, [clock0, no_id]),
    }
    for name, (main, clocks) in bad.items():
        path = write_file(name, settings_file(main, clocks))
        open_import(path)
        lines = drive("answer", "ERROR", "OK", 15)
        check_equal(text_of(lines, "text"), "Invalid Horlix settings file", "%s is rejected" % name)
        wait_no_dialog(PREFS)
        check(p.running(), "%s: the program goes on" % name)
        check_equal(reg(), before, "%s: the registry is unchanged" % name)
        check_equal(run_value(), program_path(), "%s: the Run value is unchanged" % name)

    # 64 clocks: the confirmation is cut at 1344 characters.
    many = [dict(clock0, Title="Clock number %02d xyz" % i) for i in range(64)]
    open_import(write_file("many.hrlx", settings_file(["Guid=" + SIGNATURE, "N=64"] + six, many)))
    lines = drive("answer", "Change settings", "Cancel", 15)
    question = text_of(lines, "text")
    # Each title takes 20 characters with its line end: all 64 would not fit.
    check(question.startswith("The new settings contain 64 clocks as follows: Clock number 00 ")
          and 1343 <= len(question) <= 1344
          and question.endswith(" Do you want to change your settings?"),
          "64 clocks: the confirmation is cut to 1344 characters and ends with the question "
          "(%d: ...%r)" % (len(question), question[-60:]))
    wait_no_dialog(PREFS)
    check_equal(reg(), before, "64 clocks refused: the registry is unchanged")

    # The second confirmation cancelled: nothing changes.
    open_import(exported)
    lines = drive("answer", "Change settings", "Cancel", 15)
    check_equal(text_of(lines, "text"), one_line(
        "The new settings contain 3 clocks as follows:\rTokyo\rHome\rZulu\r\r"
        "Do you want to change your settings?"), "the second confirmation lists the clocks")
    wait_no_dialog(PREFS)
    time.sleep(0.5)
    check(p.running(), "Cancel: the program goes on")
    check_equal(reg(), before, "Cancel: the registry is unchanged")
    exit_via_menu(p)

    # Other settings, then the import of the exported file.
    other = [(".", "DateFormat", "dword", 0), (".", "UpdateCheck", "dword", 0),
             (".", "UpdateTime", "dword", 3), (".", "UpdateStatus", "dword", 2),
             (".", "LayoutStyle", "dword", 0), (".", "TimeStampFmt", "dword", 3),
             (".", "FontSize", "dword", 0), (".", "ShowIconInTray", "dword", 0),
             (".", "TurnOffOnTop", "dword", 0), (".", "X", "dword", 200), (".", "Y", "dword", 100)]
    seed_clocks(DEFAULT_CLOCKS[:2], other)
    drive("run-delete")
    p = start()
    old_pid = words(drive("find"), "window")[0][1]
    open_import(exported)
    drive("answer", "Change settings", "OK", 15)
    check_equal(p.wait_exit(30), 0, "the old instance ends after the import")
    new_pid = words(drive("wait-other-window", old_pid, 30), "window")[0][1]
    drive("wait-ready", 30)
    log("  ok: the program restarted as process %s" % new_pid)
    wait_colours([RED, WHITE, YELLOW])
    check(tray_icon_shown(), "the restarted program shows the tray icon")
    keys = reg()
    check_equal({k: keys["."][k] for k in IMPORTED}, {k: EXPORT_SETTINGS[k] for k in IMPORTED},
                "the six imported settings")
    check_equal({k: keys["."][k] for k in ("UpdateCheck", "UpdateStatus", "TurnOffOnTop", "X",
                                           "Y", "N")},
                {"UpdateCheck": 0, "UpdateStatus": 2, "TurnOffOnTop": 0, "X": 200, "Y": 100,
                 "N": 3}, "the others as they were, the position of the running program")
    for i, c in enumerate(EXPORT_CLOCKS):
        check_clock_key(keys, i, dict(c, Width=laid_out[i]), "imported")
    check_equal(run_value().lower(), program_path().lower(), "AutoStart=1 registers the program")

    # Long texts: a title of 20 characters comes back as 19, an Id and a rule
    # string of 255 as 254, where the registry reader takes them.
    title20 = "ABCDEFGHIJKLMNOPQRST"
    long_id = "Z" * 255
    long_tz = "Y" * 255
    path = write_file("long.hrlx", settings_file(
        ["Guid=" + SIGNATURE, "N=2"] + ["%s=%d" % (k, 0) for k in IMPORTED] + ["AutoStart=0"],
        [dict(clock0, Title=title20),
         dict(clock1, Id=long_id, Title="Long", Tz=long_tz, Type=2, Color=0xFF0000)]))
    open_import(path)
    lines = drive("answer", "Change settings", "OK", 15)
    check(text_of(lines, "text").startswith("The new settings contain 2 clocks as follows: "),
          "the second confirmation for two clocks")
    new_pid2 = words(drive("wait-other-window", new_pid, 30), "window")[0][1]
    drive("wait-ready", 30)
    log("  ok: the program restarted again as process %s" % new_pid2)
    check(not tray_icon_shown(), "ShowIconInTray=0 imported: no tray icon")
    check_equal(run_value(), None, "AutoStart=0 removes the Run value")
    keys = reg()
    check_equal((keys["0"]["Title"][0], keys["1"]["Id"][0], keys["1"]["Tz"][0]),
                (title20[:19], long_id[:254], long_tz[:254]),
                "the registry holds the cut title, Id and rule string")
    drive("post-command", 100, "--", "wait-gone", 20)
    keys = reg()
    check_equal(keys["."]["N"], 2, "N after the restarted program's exit")
    check_clock_key(keys, 0, {"Id": "Asia/Tokyo", "Title": title20[:19], "Tz": "JST-9"},
                    "the 19-character title read back")
    check_clock_key(keys, 1, {"Id": long_id[:254], "Title": "Long", "Tz": long_tz[:254]},
                    "the 254-character Id and rule string read back")


# ---------------------------------------------------------------- the help file

HELP_TITLE = "Horlix Help"  # the help project's title, which the viewer shows


def open_help_from_properties():
    drive("post-command", 103)
    drive("wait-dialog", PROPS_NEW, 10)
    drive("click", PROPS_NEW, 110)


def close_properties():
    drive("press", PROPS_NEW, 2, "--", "wait-no-dialog", PROPS_NEW, 10)


def scenario_help():
    """"&Help..." and the "Help" button of the clock properties dialog open
    horlix.chm from the program folder in the HTML Help viewer, inside the
    program's own process; without the file neither opens a viewer."""
    chm = os.path.join(BIN, "horlix.chm")
    if not os.path.isfile(chm):
        raise Failure("%s has not been built" % chm)
    shutil.copy2(chm, PROG)
    p = start()
    pid = words(drive("find"), "window")[0][1]

    drive("post-command", 110)
    lines = drive("help-wait", 30)
    check_equal(text_of(lines, "title"), HELP_TITLE, "&Help...: the viewer shows the help file")
    check_equal(words(lines, "help")[0][1], pid, "&Help...: the viewer runs in horlix's process")
    drive("help-close", 10)

    open_help_from_properties()
    lines = drive("help-wait", 30)
    check_equal(text_of(lines, "title"), HELP_TITLE, "Help button: the viewer shows the help file")
    check_equal(words(lines, "help")[0][1], pid, "Help button: the viewer runs in horlix's process")
    drive("help-close", 10)
    close_properties()
    exit_via_menu(p)

    os.remove(os.path.join(PROG, "horlix.chm"))
    p = start()
    drive("post-command", 110)
    strip_settled()
    drive("help-none", 0)
    log("  ok: &Help... without horlix.chm opens no viewer")
    open_help_from_properties()
    drive("settle", PROPS_NEW, 110, "--", "help-none", 0)
    log("  ok: the Help button without horlix.chm opens no viewer")
    close_properties()
    exit_via_menu(p)


PLANNER = "Plan a Meeting"
PLANNER_ZONES = [("Berlin", "Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3"),
                 ("New York", "America/New_York", "EST5EDT,M3.2.0,M11.1.0"),
                 ("Perth", "Australia/Perth", "AWST-8")]


def planner_copy():
    """Copy, then both clipboard formats: the text and the calendar."""
    drive("clipboard-set", "stale", "--", "press", PLANNER, 1305)
    wait_until(lambda: clipboard() != "stale", "Copy replaced the clipboard")
    out = {}
    for fmt, name in (("text", "planner.txt"), ("text/calendar", "planner.ics")):
        path = os.path.join(WORK, name)
        drive("clipboard-save", fmt, windows_path(path))
        with open(path, "rb") as f:
            out[fmt] = f.read().decode("latin-1")
    return out["text"], out["text/calendar"]


def planner_lines(start, minutes):
    """The copied lines by the host's zone database, for a slot at start."""
    import zoneinfo
    end = start + minutes * 60
    lines = []
    for title, zone, _ in PLANNER_ZONES:
        a = datetime.datetime.fromtimestamp(start, zoneinfo.ZoneInfo(zone))
        b = datetime.datetime.fromtimestamp(end, zoneinfo.ZoneInfo(zone))
        later = (b.date() - a.date()).days
        lines.append("%s: %s %d %s %d %s-%s%s %s" % (
            title, a.strftime("%a"), a.day, MONTHS[a.month - 1], a.year, a.strftime("%H:%M"),
            b.strftime("%H:%M"), " (+%d day)" % later if later else "", a.tzname()))
    fmt = "%Y-%m-%dT%H:%MZ"
    utc = datetime.timezone.utc
    lines.append("UTC: %s/%s" % (datetime.datetime.fromtimestamp(start, utc).strftime(fmt),
                                 datetime.datetime.fromtimestamp(end, utc).strftime(fmt)))
    return lines


def check_calendar(calendar, lines, start, minutes, what):
    """The calendar text read back by Python's icalendar (the system's Python)."""
    path = os.path.join(WORK, "planner-check.ics")
    with open(path, "w", encoding="latin-1", newline="") as f:
        f.write(calendar)
    import subprocess
    out = subprocess.run(["/usr/bin/python3", "-c",
                          "import sys, icalendar\n"
                          "ev = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read()).walk('VEVENT')[0]\n"
                          "print(int(ev.decoded('DTSTART').timestamp()), int(ev.decoded('DTEND').timestamp()),"
                          " ev['SUMMARY'], ev['UID'] != '', sep='|')\n"
                          "print(str(ev['DESCRIPTION']))", path],
                         capture_output=True, text=True, check=False)
    check_equal(out.returncode, 0, "%s: icalendar reads the event (%s)" % (what, out.stderr.strip()))
    head, description = out.stdout.split("\n", 1)
    check_equal(head, "%d|%d|Meeting|True" % (start, start + minutes * 60), what + ": start, end, summary")
    check_equal(description.rstrip("\n").split("\n"), lines, what + ": the description is the text")
    check("\r\n" in calendar and "\n" not in calendar.replace("\r\n", ""), what + ": CRLF line ends")


def scenario_planner():
    """Plan a Meeting from the menu: the copied text and calendar against the
    host's zone database, then keys to Berlin's spring change, a slot across it
    and both formats again; the window keeps its place."""
    import zoneinfo
    seed_clocks([{"Id": zone, "Title": title, "Type": 2, "Wd": 0, "Width": 80, "Color": 0x00FF00,
                  "Format": 2, "Tz": rule} for title, zone, rule in PLANNER_ZONES])
    p = start()
    drive("post-command", 130)
    wait_dialog(PLANNER)
    text, calendar = planner_copy()
    lines = text.split("\r\n")
    check_equal(lines[-1], "", "the text ends with CRLF")
    utc = re.fullmatch(r"UTC: (\S+)Z/(\S+)Z", lines[-2])
    check(utc is not None, "a UTC line: %r" % lines[-2])
    start_at = int(datetime.datetime.strptime(utc.group(1), "%Y-%m-%dT%H:%M").replace(
        tzinfo=datetime.timezone.utc).timestamp())
    check(abs(start_at + 900 - time.time()) <= 900 + 60, "the window opens on the slot of now")
    check_equal(lines[:-1], planner_lines(start_at, 60), "the copied lines")
    check_calendar(calendar, lines[:-1], start_at, 60, "now")

    # Page Down to Berlin's spring change (the reference row is the first
    # clock), then Left to 01:30, an hour across the change.
    berlin = zoneinfo.ZoneInfo("Europe/Berlin")
    here = datetime.datetime.fromtimestamp(start_at, berlin)
    change_day = datetime.date(here.year + (here.month > 3), 3, 31)
    change_day -= datetime.timedelta(days=(change_day.weekday() + 1) % 7)  # last Sunday
    midnight = datetime.datetime(here.year, here.month, here.day, tzinfo=berlin).timestamp()
    slot = int(start_at - midnight) // 1800
    keys = []
    for _ in range((change_day - here.date()).days):
        keys += ["--", "key", PLANNER, 1301, 0x22]  # VK_NEXT
    for _ in range(abs(slot - 3)):
        keys += ["--", "key", PLANNER, 1301, 0x25 if slot > 3 else 0x27]  # VK_LEFT, VK_RIGHT
    for at in range(1, len(keys), 60):
        drive(*keys[at:at + 59])
    first = datetime.datetime(change_day.year, 3, change_day.day, tzinfo=berlin).timestamp()
    text, calendar = planner_copy()
    lines = text.split("\r\n")[:-1]
    check_equal(lines, planner_lines(int(first) + 3 * 1800, 60), "the lines across the change")
    check(lines[0].endswith("01:30-03:30 CET"), "Berlin's hour spans the change: %r" % lines[0])
    check_calendar(calendar, lines, int(first) + 3 * 1800, 60, "across the change")

    drive("key", PLANNER, 1301, 0x1B)  # Escape closes it
    wait_no_dialog(PLANNER)
    keys = wait_reg(lambda k: "PlannerWidth" in k["."], "the planner's place is stored")
    check(keys["."]["PlannerWidth"] > 0 and keys["."]["PlannerHeight"] > 0, "a size is stored")
    exit_via_menu(p)


SCENARIOS = {
    "props": scenario_props,
    "zones": scenario_zones,
    "prefs": scenario_prefs,
    "countdown_calendar": scenario_countdown_calendar,
    "about": scenario_about,
    "export_import": scenario_export_import,
    "help": scenario_help,
    "planner": scenario_planner,
}
