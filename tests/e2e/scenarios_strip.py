"""End-to-end scenarios of the strip: the first start, a second instance,
the clock list's commands, moving and the tray icon, Capture Timestamp, bad
stored data, the settings the strip shows, the display scale and the preview
of another instant by the wheel. Run through run_e2e.py; the helpers are in
e2e.py."""

import datetime
import time

from e2e import (DEFAULT_CLOCKS, GREEN, LIGHT_BLUE, MONTHS, RED, WHITE, YELLOW, Failure,
                 Program, buttons, capture, cells, check, check_clock_key, check_equal,
                 check_tooltip, cleanup_programs, clipboard, clock_record, colours_from,
                 designator, detached, dialog_controls, drive, exit_via_menu, fresh_registry,
                 hint_after_update_dialog, local_offset, log, parse_stamp, prepare_prefix,
                 put_clock, rect, reg, screen_size, seed_clocks, start, start_watched,
                 stop_wineserver, text_of, tooltip_texts, tray_icon_shown, wait_colours,
                 wait_dialog, wait_reg, wait_until, widths, words, zoneinfo_offset)


def scenario_first_start():
    """An empty registry: the defaults are written at once, the strip shows
    three cells in their colours where the registry says, with tooltips."""
    fresh_registry()
    check(reg() is None, "the program's key is absent before the first start")
    # The times show from the moment the window appears, also across the
    # first layout, which changes the strip's size.
    p, samples = start_watched(1500)
    check(len(samples) > 10, "the driver read the time row from the start on")
    shown = [colours_from(c) == [LIGHT_BLUE, GREEN, YELLOW] for _, c in samples]
    blank = [ms for (ms, _), ok in zip(samples, shown) if not ok]
    log("  readings of the time row in the first %d ms: %d, %d without the times%s"
        % (samples[-1][0], len(samples), len(blank),
           " (from %d to %d ms)" % (blank[0], blank[-1]) if blank else ""))
    # The window is mapped a moment before its first paint reaches the
    # screen; a busy machine may stretch that moment, but not to a tick.
    check(not [ms for ms in blank if ms >= 100],
          "every reading from 100 ms to %d ms after the window appeared shows the times"
          % samples[-1][0])
    keys = wait_reg(lambda k: "2" in k and "Tz" in k["2"], "the first start wrote the clocks")
    check_equal(keys["."], {"N": 3, "X": 100, "Y": 0, "PositionDpi": 96},
                "N, X, Y and the scale of the position: the main key after the first start")
    check_equal(sorted(k for k in keys if k != "."), ["0", "1", "2"], "clock subkeys")
    for i, clock in enumerate(DEFAULT_CLOCKS):
        check_clock_key(keys, i, clock, "first start")

    drive("wait-ready", 20)
    r = rect()
    check_equal((r["left"], r["top"]), (100, 0), "window position")
    check_equal(r["title"], "HORLIX", "window title")
    check(r["visible"] == 1, "the window is visible")
    check(r["style"] & 0x80000000 and not r["style"] & 0x00C00000 and not r["style"] & 0x00040000,
          "popup style without caption or sizing border")
    check_equal(r["exstyle"] & 0x88, 0x88, "tool window and topmost")
    b = buttons()
    check_equal([x["id"] for x in b], [0, 1, 2], "title button ids")
    check(all(x["style"] & 0x0F == 0x0B for x in b), "title buttons are owner-drawn")
    check(b[0]["left"] == 0 and all(b[i]["right"] == b[i + 1]["left"] for i in range(2)),
          "title buttons side by side from x = 0")
    check_equal(b[2]["right"], r["width"], "the strip is as wide as its cells")
    check(all(x["top"] == 0 and x["bottom"] == b[0]["bottom"] for x in b),
          "title buttons in one row at the top")
    check(0 < b[0]["bottom"] < r["height"], "a time row below the title buttons")
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])

    hint = text_of(drive("tooltip-at", b[1]["left"] + 3, r["height"] - 3, 8), "tooltip")
    check_equal(hint, STRIP_HINT, "the black area's hint")
    for n in (1, 2):
        check_equal(hint_after_update_dialog(), STRIP_HINT,
                    "the hint after the update dialog closed (%d)" % n)
    check_tooltip(1, "AWST", 8 * 3600, 1, "Perth")
    check_tooltip(2, "GMT", 0, 1, "UTC")
    now = time.time()
    check_tooltip(0, "Local", local_offset(now), 1, "Local")

    # Nothing is written at exit but the laid-out widths, since the first tick
    # found the strip's size changed (SettingsDirty).
    laid_out = widths()
    exit_via_menu(p)
    keys = reg()
    check_equal(keys["."], {"N": 3, "X": 100, "Y": 0, "PositionDpi": 96},
                "the main key after exit")
    for i, clock in enumerate(DEFAULT_CLOCKS):
        check_clock_key(keys, i, dict(clock, Width=laid_out[i]), "after exit")


STRIP_HINT = ("Right-click for menu; double-click for clock properties; left-click in the BLACK "
              "area and hold to move.")


def scenario_second_instance():
    """A second start asks; No leaves the first running, Yes replaces it."""
    fresh_registry()
    first = start()
    hwnd_first = words(drive("find"), "window")[0][0]
    second = Program("second")
    lines = drive("answer", "Horlix", "No", 20)
    check_equal(text_of(lines, "text"), "Horlix is already running. Do you want to restart it?",
                "question of the second start")
    check_equal(second.wait_exit(), 0, "exit code of the second start after No")
    time.sleep(0.5)
    check(first.running(), "the first instance still runs after No")
    w = words(drive("find"), "window")[0]
    check_equal((w[0], w[2]), (hwnd_first, "1"), "the first strip is unchanged and visible")

    third = Program("third")
    lines = drive("answer", "Horlix", "Yes", 20)
    check_equal(text_of(lines, "text"), "Horlix is already running. Do you want to restart it?",
                "question of the third start")
    check_equal(first.wait_exit(), 0, "exit code of the first instance after Yes")
    drive("wait-ready", 20)
    w = words(drive("find"), "window")[0]
    check(w[0] != hwnd_first and w[2] == "1", "the new instance shows its own strip")
    check(third.running(), "the new instance runs")
    r = rect()
    check_equal((r["left"], r["top"]), (100, 0), "the new strip at the stored position")
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])
    exit_via_menu(third)


def saved_clocks(keys):
    n = keys["."]["N"]
    return [clock_record(keys[str(i)]) for i in range(n)]


def scenario_list_commands():
    """Remove, duplicate, move left and right on the clock list: the strip,
    then the registry through "Save settings" and "Exit"."""
    fresh_registry()
    p = start()
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])
    w = widths()
    total = rect()["width"]

    # Remove asks first; Cancel keeps the clock.
    drive("select-clock", 2, "--", "post-command", 105)
    lines = drive("answer", "Delete Clock", "Cancel", 10)
    check_equal(text_of(lines, "text"), "Remove clock (3) UTC?", "question for the third clock")
    check_equal(text_of(lines, "default"), "Cancel", "Cancel is the default button")
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])

    # Move left is refused for the first clock, move right for the last.
    drive("select-clock", 0, "--", "send-command", 106, "--", "select-clock", 2, "--",
          "send-command", 107)
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])
    check_equal(widths(), w, "refused moves keep the layout")

    # Move right on the first clock, move left on the last.
    drive("select-clock", 0, "--", "send-command", 107)
    wait_colours([GREEN, LIGHT_BLUE, YELLOW])
    check_equal(widths(), [w[1], w[0], w[2]], "cell widths follow the moved clock")
    drive("select-clock", 2, "--", "send-command", 106)
    wait_colours([GREEN, YELLOW, LIGHT_BLUE])
    order = [DEFAULT_CLOCKS[1], DEFAULT_CLOCKS[2], DEFAULT_CLOCKS[0]]
    wo = [w[1], w[2], w[0]]
    check_equal(widths(), wo, "cell widths after both moves")

    drive("send-command", 108)
    keys = reg()
    check_equal(keys["."]["N"], 3, "N after Save settings")
    for i, clock in enumerate(order):
        check_clock_key(keys, i, dict(clock, Width=wo[i]), "after moves and Save settings")

    # Duplicate appends a copy of the selected clock at the right end.
    drive("select-clock", 0, "--", "send-command", 109)
    wait_colours([GREEN, YELLOW, LIGHT_BLUE, GREEN])
    check_equal(len(buttons()), 4, "four title buttons after Duplicate")
    check_equal(rect()["width"], total + w[1], "the strip grows by the copy's cell")
    drive("send-command", 108)
    keys = reg()
    check_equal(keys["."]["N"], 4, "N after Duplicate and Save settings")
    check_clock_key(keys, 3, dict(DEFAULT_CLOCKS[1], Width=w[1]), "the duplicate")

    # Remove with OK: the clocks after it move one place left.
    drive("select-clock", 1, "--", "post-command", 105)
    lines = drive("answer", "Delete Clock", "OK", 10)
    check_equal(text_of(lines, "text"), "Remove clock (2) UTC?", "question for the second clock")
    wait_colours([GREEN, LIGHT_BLUE, GREEN])
    check_equal(rect()["width"], w[1] + w[0] + w[1], "the strip shrinks by the removed cell")

    # Exit writes the changed list; the subkey of the old fourth clock stays.
    exit_via_menu(p)
    keys = reg()
    check_equal(keys["."]["N"], 3, "N after Remove and Exit")
    final = [DEFAULT_CLOCKS[1], DEFAULT_CLOCKS[0], DEFAULT_CLOCKS[1]]
    for i, clock in enumerate(final):
        check_clock_key(keys, i, dict(clock, Width=[w[1], w[0], w[1]][i]), "after Exit")
    check_clock_key(keys, 3, dict(DEFAULT_CLOCKS[1], Width=w[1]), "the left-over fourth subkey")

    # The next start reads N clocks and ignores the left-over subkey.
    p = start()
    wait_colours([GREEN, LIGHT_BLUE, GREEN])
    exit_via_menu(p)


def scenario_position():
    """Moving, Refresh and Reset position, and what each writes."""
    fresh_registry()
    p = start()
    drive("send-command", 108)  # the first layout's widths, and no dirty flag left
    keys = reg()
    check_equal(keys["."]["N"], 3, "N after Save settings")

    # Refresh lays the strip out again (new title buttons, same place) and
    # marks nothing as changed: Save settings then writes X and Y only.
    before = buttons()
    drive("reg-delete", "0", "--", "reg-delete", "1", "--", "reg-delete", "2", "--",
          "reg-delete", ".", "X", "--", "reg-put", ".", "N", "dword", 7)
    drive("send-command", 116)
    after = buttons()
    check(all(a["hwnd"] != b["hwnd"] for a, b in zip(after, before)),
          "Refresh recreated the title buttons")
    check_equal([(a["left"], a["right"]) for a in after], [(b["left"], b["right"]) for b in before],
                "Refresh keeps the cells")
    drive("send-command", 108)
    keys = reg()
    check_equal(keys["."], {"N": 7, "X": 100, "Y": 0, "PositionDpi": 96},
                "Save settings after Refresh: the position only")
    check_equal(sorted(k for k in keys if k != "."), [], "no clock subkeys written")

    # Dragging the black area moves the window; then Exit: X and Y, nothing else.
    # Synthetic mouse input passes through absolute coordinates (0..65535),
    # so the drag may end a pixel off the requested point: the window must
    # follow it to within that, and Exit must store where it really is.
    r = rect()
    drive("drag", after[1]["left"] + 3, r["height"] - 3, 321 - r["left"], 123 - r["top"])
    def near_target():
        m = rect()
        return m if abs(m["left"] - 321) <= 1 and abs(m["top"] - 123) <= 1 else None
    moved = wait_until(near_target, "the window was dragged to (321, 123) within a pixel",
                       seconds=3, interval=0.1)
    exit_via_menu(p)
    keys = reg()
    check_equal(keys["."], {"N": 7, "X": moved["left"], "Y": moved["top"], "PositionDpi": 96},
                "Exit after a move writes the position only")
    check_equal(sorted(k for k in keys if k != "."), [], "no clock subkeys written at Exit")

    # The next start opens where the window was left.
    fresh_registry([(".", "X", "dword", 321), (".", "Y", "dword", 123)]
                   + [x for i, c in enumerate(DEFAULT_CLOCKS) for x in put_clock(str(i), c)]
                   + [(".", "N", "dword", 3)])
    p = start()
    r = rect()
    check_equal((r["left"], r["top"]), (321, 123), "the strip starts at the stored X, Y")
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])

    # Reset position puts it at (5, 5); Exit stores that.
    drive("send-command", 120)
    r = rect()
    check_equal((r["left"], r["top"]), (5, 5), "Reset position")
    exit_via_menu(p)
    keys = reg()
    check_equal((keys["."]["X"], keys["."]["Y"]), (5, 5), "X and Y after Reset position and Exit")


def scenario_tray():
    """With ShowIconInTray the icon exists, Hide clocks hides the strip and
    the icon's menu shows it again; without it the popup entry is greyed."""
    fresh_registry([(".", "ShowIconInTray", "dword", 1)])
    p = start()
    check(tray_icon_shown(), "the tray icon is shown")

    # From the strip's popup menu: "Hide &clocks".
    drive("open-menu", 0, "--", "menu-key", "c", "--", "wait-visible", 0, 5)
    check_equal(rect()["visible"], 0, "Hide clocks hides the strip")
    time.sleep(0.6)
    check_equal(rect()["visible"], 0, "the strip stays hidden while the timers run")
    # The icon's menu: right button, then its "Show &clocks".
    drive("tray-event", "right", "--", "menu-wait", 5, "--", "menu-key", "c", "--",
          "wait-visible", 1, 5)
    check_equal(rect()["visible"], 1, "Show clocks from the tray menu shows the strip")
    # Hide and show once more through the commands themselves.
    drive("send-command", 118, "--", "wait-visible", 0, 5, "--", "send-command", 118, "--",
          "wait-visible", 1, 5)
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])

    # A left click on the icon refreshes the strip (new title buttons).
    before = buttons()
    drive("tray-event", "left")
    end = time.time() + 5
    while time.time() < end and buttons()[0]["hwnd"] == before[0]["hwnd"]:
        time.sleep(0.1)
    check(buttons()[0]["hwnd"] != before[0]["hwnd"], "a left click on the icon refreshes")
    # The tray menu's "Re&set position".
    drive("move", 200, 300, "--", "tray-event", "right", "--", "menu-wait", 5, "--",
          "menu-key", "s")
    end = time.time() + 5
    while time.time() < end and (rect()["left"], rect()["top"]) != (5, 5):
        time.sleep(0.1)
    r = rect()
    check_equal((r["left"], r["top"]), (5, 5), "Reset position from the tray menu")
    exit_via_menu(p)
    time.sleep(0.3)
    check(not tray_icon_shown(), "the tray icon is gone after Exit")

    # Without the tray icon "Hide &clocks" is greyed in the popup menu.
    fresh_registry()
    p = start()
    check(not tray_icon_shown(), "no tray icon without ShowIconInTray")
    drive("open-menu", 0, "--", "menu-key", "c", "--", "sleep", 800)
    drive("menu-close")
    check_equal(rect()["visible"], 1, "greyed Hide clocks leaves the strip shown")
    exit_via_menu(p)


def wait_clipboard_change(old, seconds=5):
    end = time.time() + seconds
    value = old
    while time.time() < end:
        value = clipboard()
        if value != old:
            return value
        time.sleep(0.05)
    return value


def scenario_timestamp():
    """Capture Timestamp in every TimeStampFmt: the question shows the text,
    OK puts exactly it on the clipboard, Cancel leaves the clipboard alone."""
    st_johns = {"Id": "America/St_Johns", "Title": "St Johns", "Type": 2, "Wd": 0,
                "Width": 80, "Color": 0x0000FF, "Format": 0, "Tz": "stale"}
    clocks = DEFAULT_CLOCKS + [st_johns]
    for fmt in (3, 0, 1, 2, 4):
        values = [(".", "N", "dword", len(clocks)), (".", "TimeStampFmt", "dword", fmt)]
        for i, c in enumerate(clocks):
            values += put_clock(str(i), c)
        fresh_registry(values)
        p = start()
        wait_colours([LIGHT_BLUE, GREEN, YELLOW, RED])
        sentinel = "sentinel %d %f" % (fmt, time.time())
        drive("clipboard-set", sentinel)
        check_equal(clipboard(), sentinel, "the clipboard holds our text")
        stamp = capture(1, "Cancel")
        time.sleep(0.5)
        check_equal(clipboard(), sentinel, "format %d: Cancel leaves the clipboard" % fmt)
        parse_stamp(fmt, stamp, 8 * 3600)

        cases = [(1, "Perth", lambda at: 8 * 3600), (2, "UTC", lambda at: 0),
                 (3, "St Johns", lambda at: zoneinfo_offset("America/St_Johns", at)),
                 (0, "Local", local_offset)]
        if fmt != 3:
            cases = cases[:3]
        for index, name, offset_at in cases:
            before = clipboard()
            t0 = time.time()
            stamp = capture(index, "OK")
            got = wait_clipboard_change(before)
            t1 = time.time()
            check_equal(got, stamp, "format %d, %s: the clipboard holds the text asked about"
                        % (fmt, name))
            offset = offset_at(t0)
            at, tzd = parse_stamp(fmt, stamp, offset)
            if fmt in (0, 1) and at > t1 + 43200:
                at -= 86400  # time-only text from just before the zone's midnight
            if fmt in (0, 1) and at < t0 - 43200:
                at += 86400
            check(t0 - 3 <= at <= t1 + 1, "format %d, %s: %r is the present moment"
                  % (fmt, name, stamp))
            if tzd is not None:
                check_equal(tzd, designator(offset), "format %d, %s: zone designator"
                            % (fmt, name))
        exit_via_menu(p)


def scenario_bad_registry():
    """Bad stored data still starts with the documented defaults."""
    sw, sh = screen_size()
    log("  screen", sw, sh)

    # Values of the wrong type: N unreadable means a first start.
    fresh_registry([(".", "X", "sz", "12345"), (".", "Y", "binary", "0102030405060708"),
                    (".", "N", "sz", "three"), (".", "DateFormat", "sz", "zero"),
                    (".", "FontSize", "qword", 2), (".", "TimeStampFmt", "binary", "0000000000")])
    p = start()
    r = rect()
    check_equal((r["left"], r["top"]), (100, 0), "wrong types: the default position")
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])
    keys = reg()
    check_equal(keys["."]["N"], 3, "wrong types: N rewritten by the first start")
    check_equal((keys["."]["X"], keys["."]["Y"]), (100, 0), "wrong types: X, Y rewritten")
    for i, clock in enumerate(DEFAULT_CLOCKS):
        check_clock_key(keys, i, dict(clock, Width=80), "wrong types")
    check_equal(keys["."]["DateFormat"], ("zero", 5), "DateFormat is not written")
    check_tooltip(1, "AWST", 8 * 3600, 1, "wrong-type DateFormat reads as d-m-y")
    stamp = capture(2, "Cancel")
    parse_stamp(3, stamp, 0)
    log("  ok: wrong-type TimeStampFmt gives format 3:", stamp)
    exit_via_menu(p)

    # N of 100 reads 64 clocks; oversized texts fall back to their defaults.
    values = [(".", "N", "dword", 100)]
    for i in range(70):
        c = dict(DEFAULT_CLOCKS[i % 3])
        c["Title"] = "C%d" % i
        values += put_clock(str(i), c)
    values += [("0", "Title", "longsz", 20), ("1", "Title", "longsz", 19),
               ("2", "Id", "longsz", 255), ("2", "Tz", "longsz", 300),
               ("3", "Id", "longsz", 254)]
    fresh_registry(values)
    p = start()
    check_equal(len(buttons()), 64, "N = 100 gives 64 clocks")
    keys = reg()
    check_equal(keys["."]["N"], 100, "N = 100 is not rewritten at start")
    # A full list: Add new clock says so, Duplicate does nothing.
    drive("post-command", 104)
    lines = drive("answer", "HORLIX", "OK", 10)
    check_equal(text_of(lines, "text"), "You have reached the maximum of 64 clocks.",
                "Add new clock with 64 clocks")
    drive("select-clock", 0, "--", "send-command", 109)
    check_equal(len(buttons()), 64, "Duplicate with 64 clocks adds none")
    exit_via_menu(p)
    keys = reg()
    check_equal(keys["."]["N"], 64, "Exit writes the 64 clocks")
    saved = saved_clocks(keys)
    check_equal(saved[0]["Title"], "???", "a 20-character Title reads as ???")
    check_equal(saved[1]["Title"], "ABCDEFGHIJKLMNOPQRS", "a 19-character Title is kept")
    check_equal(saved[2]["Id"], "ERROR", "a 255-character Id reads as ERROR")
    check_equal(saved[2]["Tz"], "", "a 300-character Tz reads as empty")
    check_equal(len(saved[3]["Id"]), 254, "a 254-character Id is kept")
    check_equal([c["Title"] for c in saved[5:64]], ["C%d" % i for i in range(5, 64)],
                "clocks 5..63 in order")
    check_equal(keys["64"]["Title"], ("C64", 4), "subkeys beyond 64 are left alone")

    # N below 0: the default clocks, nothing written at start.
    fresh_registry([(".", "N", "dword", -1)])
    p = start()
    wait_colours([LIGHT_BLUE, GREEN, YELLOW])
    keys = reg()
    check_equal(keys["."], {"N": -1}, "N = -1: nothing written at start")
    exit_via_menu(p)

    # Missing subkeys: "???", "ERROR", no Tz, white, and the slot's type and format.
    fresh_registry([(".", "N", "dword", 3)] + put_clock("1", DEFAULT_CLOCKS[1]))
    p = start()
    wait_colours([WHITE, GREEN, WHITE])
    # Duplicating the present clock marks the clocks changed, so Exit writes
    # them all (whether the first layout changed the strip's size or not).
    drive("select-clock", 1, "--", "post-command", 109)
    wait_colours([WHITE, GREEN, WHITE, GREEN])
    exit_via_menu(p)
    keys = reg()
    check_equal(keys["."]["N"], 4, "N after Duplicate and Exit")
    for i in (0, 2):
        check_clock_key(keys, i, {"Title": "???", "Id": "ERROR", "Tz": "", "Color": 0xFFFFFF,
                                  "Type": DEFAULT_CLOCKS[i]["Type"],
                                  "Format": DEFAULT_CLOCKS[i]["Format"], "Wd": 0},
                        "missing subkey")
    for i in (1, 3):
        check_clock_key(keys, i, dict(DEFAULT_CLOCKS[1], Width=keys[str(i)]["Width"]),
                        "present subkey")

    # X and Y off screen: reset beyond width - 80 and height - 34, kept up to them.
    clocks = [(".", "N", "dword", 3)]
    for i, c in enumerate(DEFAULT_CLOCKS):
        clocks += put_clock(str(i), c)
    for x, y, want in [(sw - 79, sh - 33, (100, 0)), (sw - 80, sh - 34, (sw - 80, sh - 34)),
                       (-50, -20, (-50, -20))]:
        fresh_registry(clocks + [(".", "X", "dword", x), (".", "Y", "dword", y)])
        p = start()
        r = rect()
        check_equal((r["left"], r["top"]), want, "stored X, Y = %d, %d" % (x, y))
        drive("close-message")
        check_equal(p.wait_exit(), 0, "exit code after the close message")
        keys = reg()
        check_equal((keys["."]["X"], keys["."]["Y"]), want, "the final save writes X, Y")


def scenario_settings():
    """FontSize, TurnOffOnTop and DateFormat as the strip shows them."""
    def seed(extra):
        values = [(".", "N", "dword", 3)]
        for i, c in enumerate(DEFAULT_CLOCKS):
            values += put_clock(str(i), c)
        fresh_registry(values + extra)

    seed([])
    p = start()
    normal = rect()
    normal_widths = widths()
    check_equal(normal["exstyle"] & 0x8, 0x8, "topmost by default")
    exit_via_menu(p)

    sizes = [normal]
    for size in (1, 2):
        seed([(".", "FontSize", "dword", size), (".", "TurnOffOnTop", "dword", 1),
              (".", "DateFormat", "dword", 2 if size == 1 else 0)])
        p = start()
        r = rect()
        sizes.append(r)
        check_equal(r["exstyle"] & 0x88, 0x80, "TurnOffOnTop = 1: a tool window, not topmost")
        w = widths()
        check(all(a > b for a, b in zip(w, normal_widths)),
              "FontSize %d: every cell wider than with 0 (%r, %r)" % (size, w, normal_widths))
        wait_colours([LIGHT_BLUE, GREEN, YELLOW])
        check_tooltip(1, "AWST", 8 * 3600, 2 if size == 1 else 0, "DateFormat %d"
                      % (2 if size == 1 else 0))
        exit_via_menu(p)
        keys = reg()
        check_equal([keys[str(i)]["Width"] for i in range(3)], w,
                    "FontSize %d: the new widths are written at exit" % size)
    heights = [r["height"] for r in sizes]
    check(heights[0] < heights[1] < heights[2], "FontSize 0, 1, 2: taller strips %r" % heights)

DARK_BLUE = "600000"  # the time row's background while it previews another instant
QUARTER, HOUR = 900, 3600


def round_time(t, n, step):
    """The n-th round time (multiple of step on the local clock) after t, or
    before it for a negative n."""
    t = int(t)
    if n < 0:
        t, n = t - 1, n + 1
    offset = local_offset(t)
    return ((t + offset) // step + n) * step - offset


def round_times(n, step, t0, t1):
    """Where n notches from the present lead, for a present between t0 and t1."""
    return {round_time(t, n, step) for t in (t0, t1)}


def wheel_stop(*moves):
    """How many round times from the present wheel messages (delta, count)
    lead: the present is a stop between them, and reaching it drops the rest
    short of a notch."""
    stop, rest = 0, 0
    for delta, count in moves:
        for _ in range(count):
            total = rest + delta
            notches = abs(total) // 120 * (1 if total >= 0 else -1)
            rest = total - notches * 120
            stop += notches
            if notches and stop == 0:
                rest = 0
    return stop


def preview_tips(shown, t0, t1):
    """The preview tip, "+3:15  Tue 8 Dec 18:30", for any of the shown
    instants and a present between t0 and t1."""
    out = set()
    for s in shown:
        for at in list(range(int(t0) - 1, int(t1), 30)) + [int(t1)]:
            offset = s - at
            minutes = abs(offset) // 60
            d = datetime.datetime.fromtimestamp(s)
            year = "" if d.year == datetime.datetime.fromtimestamp(at).year else " %d" % d.year
            out.add("%s%d:%02d  %s %d %s%s %02d:%02d" % ("-" if offset < 0 else "+", minutes // 60,
                                                          minutes % 60, d.strftime("%a"), d.day,
                                                          MONTHS[d.month - 1], year, d.hour,
                                                          d.minute))
    return out


def check_preview(what, step, shown_at, seconds=10, row=True):
    """Runs the driver commands of step, then, in the same run (the preview
    lasts 5 s), waits for the tip that names the offset and the previewed
    local time and reads the row: every cell on dark blue. shown_at(t0, t1)
    is what the step previews for a present between t0 and t1 (row: the
    whole strip is on the screen to be read). Returns the
    previewed instants and the tip's screen rectangle."""
    t0 = time.time()
    expected = preview_tips(shown_at(t0, t0 + 90), t0, t0 + 90)
    lines = drive(*step, "--", "wheel", 0, "--", "preview-tip", "|".join(sorted(expected)),
                  seconds, "--", "pixels")
    t1 = time.time()
    shown = shown_at(t0, t1)
    tip = text_of(lines, "preview-tip")
    check(tip in preview_tips(shown, t0, t1), "%s: preview tip %r" % (what, tip))
    for i, c in enumerate(cells(lines) if row else []):
        total = sum(v for k, v in c.items() if k != "rows")
        check(c[DARK_BLUE] * 2 > total, "%s: cell %d on dark blue (%d of %d pixels)"
              % (what, i, c[DARK_BLUE], total))
    log("  ok: %s: %r, dark blue row" % (what, tip))
    return shown, [int(v) for v in words(lines, "preview-rect")[0]], lines


def previewing():
    return all(c[DARK_BLUE] > 0 for c in cells())


def in_present():
    return all(c[DARK_BLUE] == 0 for c in cells()) and drive("preview-tip", "none")


def check_tooltip_at(index, name, offset, shown, what, step=("wheel", 0)):
    """A title tooltip during the preview, after the driver commands of step
    (a still wheel keeps the preview going)."""
    tip = text_of(drive(*step, "--", "tooltip", index, 8, "back"), "tooltip")
    expected = set().union(*(tooltip_texts(name, offset, 1, s, s) for s in shown))
    check(tip in expected, "%s: tooltip %r, expected one of %r" % (what, tip, sorted(expected)))
    log("  ok: %s: tooltip %r" % (what, tip))


def check_capture_at(index, zone_offset, shown, what, hold=0):
    """Capture Timestamp (format 3) names the previewed instant, seconds and
    all; with hold, the question stays open that many seconds first."""
    question = "Save Timestamp to Clipboard?"
    if hold:
        drive("wheel", 0, "--", "select-clock", index, "--", "post-command", 121, "--",
              "wait-dialog", question, 10)
        time.sleep(hold)
        check(previewing(), "%s: the preview waits for the box" % what)
        lines = drive("answer", question, "Cancel", 10)
    else:
        lines = drive("wheel", 0, "--", "select-clock", index, "--", "post-command", 121, "--",
                      "answer", question, "Cancel", 10)
    text = text_of(lines, "text")
    stamp = text[len("Save timestamp '"):-len("' to clipboard?")]
    at, tzd = parse_stamp(3, stamp, zone_offset)
    check(int(at) in shown, "%s: %r is the previewed instant" % (what, stamp))
    check_equal(tzd, designator(zone_offset), "%s: zone designator" % what)


def back_to_present(what, seconds=4):
    drive("middle-click")
    wait_until(in_present, what, seconds)


def scenario_preview():
    """The wheel, the keys and the menu preview another instant, from one
    round time of the local clock to the next: cells, title tooltips and
    Capture Timestamp follow it on a dark blue row with a tip beside the
    pointer that stays on the screen and follows the strip; the strip returns
    to the present 5 s after the last notch (not while a box or the menu is
    open or the pointer rests on it), when the wheel brings it back, on a
    middle click, Home and Escape. Nothing is stored."""
    # A zone whose name the zone data file spells out ("UTCMinusThree").
    clocks = DEFAULT_CLOCKS + [{"Id": "America/Sao_Paulo", "Title": "Sao Paulo", "Type": 2,
                                "Wd": 0, "Width": 80, "Color": 0xFFFFFF, "Format": 2,
                                "Tz": "UTCMinusThree3"}]
    values = [(".", "N", "dword", len(clocks)), (".", "TimeStampFmt", "dword", 3)]
    for i, c in enumerate(clocks):
        values += put_clock(str(i), c)
    fresh_registry(values)
    p = start()
    wait_colours([LIGHT_BLUE, GREEN, YELLOW, WHITE])
    drive("send-command", 108)  # Save Settings: what the start itself has to store
    stored = reg()
    check(in_present(), "no preview before the wheel")
    check_tooltip(3, "-03", -3 * 3600, 1, "Sao Paulo: the name as IANA writes it")
    # The pointer resting in a corner of the row keeps the preview between
    # the driver's runs (the hint it brings shows below the strip).
    rest = ("pointer", rect()["width"] - 2, rect()["height"] - 2)
    drive(*rest)

    # 96 notches: a day of quarter hours.
    day, _, _ = check_preview("96 notches", ("wheel", 120, 96),
                              lambda t0, t1: round_times(96, QUARTER, t0, t1))
    check_tooltip_at(0, "Local", local_offset(min(day)), day, "96 notches, Local")
    check_tooltip_at(1, "AWST", 8 * 3600, day, "96 notches, Perth")
    check_tooltip_at(2, "GMT", 0, day, "96 notches, UTC")
    check_capture_at(1, 8 * 3600, day, "96 notches, Perth")
    check_capture_at(1, 8 * 3600, day, "96 notches, Perth, box held open 6 s", hold=6)
    time.sleep(6.5)
    check(previewing(), "the preview waits while the pointer rests on the strip")
    drive("pointer", "away")
    left = time.time()
    wait_until(in_present, "back to the present 5 s after the pointer left the strip", 15)
    check(time.time() - left > 3, "the 5 s counted from the moment the pointer left")

    # The menu: the preview waits while it is open; its item starts a preview.
    drive("wheel", 120, "--", "open-menu", 0)
    time.sleep(6)
    check(previewing(), "the preview waits while the menu is open")
    drive("menu-close")
    wait_until(in_present, "back to the present 5 s after the menu closed", 15)
    # The keys go to the strip, which the menu item made the active window.
    first, _, _ = check_preview("Preview Another Time",
                                ("open-menu", 0, "--", "menu-key", "v", "--") + rest,
                                lambda t0, t1: round_times(1, QUARTER, t0, t1))
    shown, _, lines = check_preview("Right twice", ("keys", "right*2"),
                                    lambda t0, t1: {round_time(s, 2, QUARTER) for s in first})
    check_equal(words(lines, "foreground"), [["1"]], "the menu item activated the strip")
    shown, _, _ = check_preview("Shift+Right", ("keys", "shift+right"),
                                lambda t0, t1: {round_time(s, 1, HOUR) for s in shown})
    day_later = [datetime.datetime.fromtimestamp(s) + datetime.timedelta(days=1) for s in shown]
    check_preview("Page Up, Up three times, Down", ("keys", "pgup", "up*3", "down"),
                  lambda t0, t1: {round_time(d.timestamp(), 2, QUARTER) for d in day_later})
    drive("keys", "home")
    wait_until(in_present, "back to the present on Home", 4)

    def days_back(t0, t1):  # key repeats by the thousand
        start = (datetime.datetime.fromtimestamp(round_time(t, 0, QUARTER))
                 - datetime.timedelta(days=1) for t in (t0, t1))
        return {round_time(d.timestamp(), -2000, QUARTER) for d in start}
    check_preview("Page Down and 2000 presses of Left", ("keys", "pgdn", "left*2000"), days_back,
                  seconds=50)
    drive("keys", "esc")
    wait_until(in_present, "back to the present on Escape", 4)
    drive("pointer", "away")

    hour_back, _, _ = check_preview("Shift, a notch down", ("wheel", -120, 1, "shift"),
                                    lambda t0, t1: round_times(-1, HOUR, t0, t1))
    check_capture_at(2, 0, hour_back, "Shift, a notch down, UTC")
    drive("wheel", 0, 1, "--", "wheel", 120, 1, "shift")
    wait_until(in_present, "back to the present when the wheel reaches it", 4)

    # A quarter hour before midnight in Perth and the midnight itself.
    drive(*rest)
    now = time.time()
    midnight = ((int(now) + 8 * 3600) // 86400 + 1) * 86400 - 8 * 3600
    n = (midnight - round_time(now, 1, QUARTER)) // QUARTER + 1
    n += 96 if n < 2 else 0
    before, _, _ = check_preview("before midnight in Perth", ("wheel", 120, n - 1),
                                 lambda t0, t1: round_times(n - 1, QUARTER, t0, t1))
    check_tooltip_at(1, "AWST", 8 * 3600, before, "before midnight in Perth")
    check_tooltip_at(1, "AWST", 8 * 3600, {round_time(s, 1, QUARTER) for s in before},
                     "midnight in Perth", step=("wheel", 120))
    back_to_present("back to the present on a middle click")
    drive("pointer", "away")

    check_preview("1000 small deltas", ("wheel", 7, 1000),  # 7000 is 58 notches
                  lambda t0, t1: round_times(wheel_stop((7, 1000)), QUARTER, t0, t1))
    # One tip at a time: the black area's hint waits while the preview tip shows.
    b, r = buttons(), rect()
    code, lines = drive("wheel", 0, "--", "tooltip-at", b[-1]["left"] + 3, r["height"] - 3, 3,
                        may_fail=True)
    check(code != 0, "no hint over the preview tip: %r" % lines)
    back_to_present("back to the present on a middle click")
    check_equal(text_of(drive("tooltip-at", b[-1]["left"] + 3, r["height"] - 3, 8), "tooltip"),
                STRIP_HINT, "the hint is back after the preview")
    drive("pointer", "away")
    check_preview("2000 big deltas", ("wheel", 32767, 2000, "shift"),  # past 2038
                  lambda t0, t1: round_times(wheel_stop((32767, 2000)), HOUR, t0, t1))
    check_preview("2000 big deltas back, past the present", ("wheel", -32768, 2000, "shift"),
                  lambda t0, t1: round_times(wheel_stop((32767, 2000), (-32768, 2000)), HOUR,
                                             t0, t1))
    back_to_present("back to the present")
    check_preview("a wheel notch over a title",  # the pointer leaves before the title's tip shows
                  ("mouse-wheel", -120, "title", "--", "pointer", "away"),
                  lambda t0, t1: round_times(-1, QUARTER, t0, t1))
    back_to_present("back to the present")

    # At the bottom right corner the tip goes above the strip and left of the
    # pointer, inside the screen; it follows the strip when that moves.
    width, height = screen_size()
    r, b = rect(), buttons()
    pointer = width - 20  # clock 0's cell, where the wheel command points
    x = pointer - (b[0]["left"] + b[0]["right"]) // 2
    corner, tip, _ = check_preview("in the corner", ("move", x, height - r["height"], "--",
                                                      "wheel", 120),
                                   lambda t0, t1: round_times(1, QUARTER, t0, t1), row=False)
    check(0 <= tip[0] and tip[2] <= pointer and 0 <= tip[1] and tip[3] <= height - r["height"],
          "the tip %r above the strip, left of the pointer at %d" % (tip, pointer))
    _, moved, _ = check_preview("the strip moved", ("move", x - 10, height - r["height"] - 10),
                                lambda t0, t1: corner, row=False)
    check_equal([m - v for m, v in zip(moved, tip)], [-10, -10, -10, -10], "the tip moved along")
    back_to_present("back to the present")
    drive("move", r["left"], r["top"])
    exit_via_menu(p)
    check_equal(reg(), stored, "the preview stored nothing")


def scaled(value, dpi):
    """A pixel count written for 96 dpi at another scale, rounded as MulDiv
    rounds a positive value (halves up)."""
    return (value * dpi + 48) // 96


def set_display_dpi(dpi):
    """The prefix's display scale; the wine server reads it when it starts."""
    stop_wineserver()
    code = detached(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                     "/t", "REG_DWORD", "/d", str(dpi), "/f"], 60)
    if code != 0:
        raise Failure("setting LogPixels to %d: wine reg ended with %d" % (dpi, code))
    stop_wineserver()
    prepare_prefix()


def strip_sizes():
    r, b = rect(), buttons()
    return {"height": r["height"], "button": b[0]["bottom"], "row": r["height"] - b[0]["bottom"],
            "widths": widths(), "place": (r["left"], r["top"])}


def dpi_sizes():
    """What the strip and the dialogs' pixel-sized parts measure at the
    prefix's present scale: the strip as it appears and once laid out, and
    at 96 dpi also after the system told it of a monitor at 192 dpi and back."""
    p = start(ready=False)
    first = [int(v) for v in words(drive("wait-window", 20), "rect")[0]]
    drive("wait-ready", 20)
    out = strip_sizes()
    out["first height"] = first[3] - first[1]
    if out["place"] == (200, 100):  # only at 96 dpi: the position is kept there
        drive("dpi-changed", 192)
        out["told 192"] = strip_sizes()
        drive("dpi-changed", 96)
        out["told 96"] = strip_sizes()
    drive("post-command", 111)
    wait_dialog("All Time Zones")
    out["columns"] = [int(w[1]) for w in words(drive("lv-columns", "All Time Zones", 1011),
                                                "column")]
    drive("press", "All Time Zones", 1, "--", "wait-no-dialog", "All Time Zones", 15)
    drive("post-command", 117)
    wait_dialog("Countdown Timer")
    c, _ = dialog_controls("Countdown Timer")
    edit, spin = c[1038]["rect"], c[1039]["rect"]
    # The spin control takes its width from the right of its buddy.
    out["field"] = (spin[2] - edit[0], edit[3] - edit[1])
    drive("press", "Countdown Timer", 2, "--", "wait-no-dialog", "Countdown Timer", 15)
    drive("post-command", 102)
    wait_dialog("About Horlix")
    c, _ = dialog_controls("About Horlix")
    icon = c[1151]["rect"]
    out["icon"] = (icon[2] - icon[0], icon[3] - icon[1])
    drive("press", "About Horlix", 1, "--", "wait-no-dialog", "About Horlix", 15)
    exit_via_menu(p)
    return out


def scenario_dpi():
    """At 120, 144 and 192 dpi the strip's fonts, heights and cells and the
    dialogs' pixel-sized parts grow with the scale from the first moment on;
    the strip's measured sizes follow the fonts, so they are compared with
    the sizes at 96 dpi within the pixels of rounding a font's height. A
    position stored without its scale is in 96-dpi units. At 96 dpi the strip
    told of a monitor at 192 dpi takes the sizes it has at 192 dpi."""
    found = {}
    try:
        for dpi in (96, 120, 144, 192):
            set_display_dpi(dpi)
            seed_clocks(DEFAULT_CLOCKS, [(".", "X", "dword", 200), (".", "Y", "dword", 100)])
            found[dpi] = dpi_sizes()
            log("  at %d dpi: %r" % (dpi, found[dpi]))
    finally:
        cleanup_programs()
        set_display_dpi(96)
    base = found[96]
    # The zone list's columns fit their longest texts: at least the scaled
    # minimum widths, and wider as the font grows with the dpi.
    previous = [0, 0, 0]
    for dpi in (96, 120, 144, 192):
        columns = found[dpi]["columns"]
        check(all(c >= scaled(w, dpi) and c > p
                  for c, w, p in zip(columns, (140, 160, 200), previous)),
              "the zone list's columns at %d dpi: %r, at least %r and wider than %r"
              % (dpi, columns, [scaled(w, dpi) for w in (140, 160, 200)], previous))
        previous = columns

    def near(actual, at96, dpi, sums=1):
        # Text measured in a font of a scaled height is a pixel or two off
        # the plain ratio, a little more for a sum of several measurements;
        # heights are one measurement each, cells a sum of three.
        expected = at96 * dpi / 96.0
        return abs(actual - expected) <= 2 if sums == 1 else abs(actual - expected) <= 2 + expected / 20

    for dpi in (120, 144, 192):
        at = found[dpi]
        check(near(at["row"], base["row"], dpi) and near(at["button"], base["button"], dpi),
              "%d dpi: time row %d and title row %d scale from %d and %d"
              % (dpi, at["row"], at["button"], base["row"], base["button"]))
        check(all(near(w, w96, dpi, 3) for w, w96 in zip(at["widths"], base["widths"])),
              "%d dpi: cell widths %r scale from %r" % (dpi, at["widths"], base["widths"]))
        check(at["first height"] in (scaled(34, dpi), at["height"]),
              "%d dpi: the strip appears %d high, 34 scaled or its laid-out height %d"
              % (dpi, at["first height"], at["height"]))
        check_equal(at["place"], (scaled(200, dpi), scaled(100, dpi)),
                    "%d dpi: a position stored without its scale, converted" % dpi)
        check_equal(at["icon"], (scaled(32, dpi), scaled(32, dpi)),
                    "%d dpi: the About box's icon" % dpi)
        # The field's edit and spin control are placed in pixels; the spin
        # control overlaps the edit's border, which stays the system's.
        check_equal((at["field"][0] - scaled(50, dpi), at["field"][1]),
                    (base["field"][0] - 50, scaled(22, dpi)),
                    "%d dpi: the countdown field's width beyond 50 scaled, and its height" % dpi)
    told = {k: v for k, v in found[192].items() if k in base["told 192"] and k != "place"}
    check_equal({k: base["told 192"][k] for k in told}, told,
                "at 96 dpi told of 192 dpi: the strip as at 192 dpi")
    check_equal(base["told 96"], {k: base[k] for k in base["told 96"]},
                "told of 96 dpi again: the strip as it was")


SCENARIOS = {
    "first_start": scenario_first_start,
    "second_instance": scenario_second_instance,
    "list_commands": scenario_list_commands,
    "position": scenario_position,
    "tray": scenario_tray,
    "timestamp": scenario_timestamp,
    "bad_registry": scenario_bad_registry,
    "settings": scenario_settings,
    "dpi": scenario_dpi,
    "preview": scenario_preview,
}
