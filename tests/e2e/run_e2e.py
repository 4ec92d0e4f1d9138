#!/usr/bin/env python3
"""End-to-end scenarios: the real horlix.exe under Wine, driven from outside.

Usage: run_e2e.py SCENARIO      (run_e2e.py --list names them)

Environment: HORLIX_WINDOWS_BIN (the Windows tree's bin folder with horlix.exe
and horlix-driver.exe), HORLIX_SOURCE_DIR (the project), HORLIX_E2E_DIR (a
work folder inside the build tree: the suite's Wine prefix, the program
folder, logs).

Each scenario lays out a program folder like an installation (horlix.exe and
the shipped horlixtz.ini), wipes the program's registry key in the suite's own
Wine prefix, starts horlix.exe in the background and acts on it through
horlix-driver.exe: window messages, the registry, the clipboard and the
screen. Each scenario runs on a virtual display of its own (Xvfb), or on
DISPLAY when Xvfb is missing. Exit code 0 = passed, 1 = failed, 77 = skipped
(no program or no display).
"""

import datetime
import fcntl
import os
import re
import shutil
import subprocess
import sys
import time

SKIP = 77

BIN = os.environ.get("HORLIX_WINDOWS_BIN", "")
SOURCE = os.environ.get("HORLIX_SOURCE_DIR", os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))))
WORK = os.environ.get("HORLIX_E2E_DIR", os.path.join(SOURCE, "build", "e2e"))
PREFIX = os.path.join(WORK, "wineprefix")
PROG = os.path.join(WORK, "prog")
HORLIX = os.path.join(BIN, "horlix.exe")
DRIVER = os.path.join(BIN, "horlix-driver.exe")
# The scenarios run copies: a build running meanwhile may relink the originals.
DRIVER_COPY = os.path.join(WORK, "driver", "horlix-driver.exe")

# Colours of the default clocks (COLORREF 0x00BBGGRR, as the driver names them).
LIGHT_BLUE, GREEN, YELLOW, RED, WHITE = "FFFF00", "00FF00", "00FFFF", "0000FF", "FFFFFF"

DEFAULT_CLOCKS = [
    {"Id": "Local", "Title": "Local", "Type": 0, "Wd": 0, "Width": 80, "Color": 0xFFFF00,
     "Format": 0, "Tz": ""},
    {"Id": "Australia/Perth", "Title": "Perth", "Type": 2, "Wd": 0, "Width": 80,
     "Color": 0x00FF00, "Format": 1, "Tz": "AWST-8"},
    {"Id": "UTC", "Title": "UTC", "Type": 1, "Wd": 0, "Width": 80, "Color": 0x00FFFF,
     "Format": 2, "Tz": "GMT0"},
]
CLOCK_VALUES = ["Id", "Title", "Type", "Wd", "Width", "Color", "Format", "Tz"]
TEXT_VALUES = {"Id", "Title", "Tz"}


class Failure(Exception):
    pass


def log(*parts):
    print(*parts, flush=True)


def check(condition, what):
    if not condition:
        raise Failure(what)
    log("  ok:", what)


def check_equal(actual, expected, what):
    if actual != expected:
        raise Failure("%s: expected %r, got %r" % (what, expected, actual))
    log("  ok:", what, "=", repr(actual))


def wine_env():
    env = dict(os.environ)
    env["WINEPREFIX"] = PREFIX
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env["WINEARCH"] = "win64"
    return env


ENV = wine_env()


def detached(args, timeout):
    """Runs a Wine tool with every stream detached: whatever it starts in the
    background (the wine server, the prefix's services) holds no pipe of ours
    or of CTest's."""
    subprocess.run(args, env=ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, start_new_session=True, timeout=timeout,
                   check=False)


# ---------------------------------------------------------------- the display

XVFB_PID = os.path.join(WORK, "xvfb.pid")


def stop_stale_display():
    """The Xvfb of a run that was killed before it could end it (a CTest
    timeout, say), found by the pid and display that run wrote down."""
    try:
        with open(XVFB_PID) as f:
            pid, display = f.read().split()
        with open("/proc/%s/cmdline" % pid, "rb") as f:
            cmdline = f.read().split(b"\0")
        if cmdline[0].endswith(b"Xvfb") and display.encode() in cmdline:
            os.kill(int(pid), 15)
            time.sleep(0.3)
    except (OSError, ValueError):
        pass
    try:
        os.remove(XVFB_PID)
    except OSError:
        pass


def start_private_display():
    """A virtual display of the scenario's own: the scenarios move the mouse
    pointer and put topmost windows on the screen, which must not disturb
    other tests that run at the same time on the shared display."""
    if shutil.which("Xvfb") is None:
        return None
    stop_stale_display()
    for n in range(150, 200):
        if os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
            continue
        proc = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1280x800x24",
                                 "-nolisten", "tcp"], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        end = time.time() + 5
        while time.time() < end and proc.poll() is None:
            if os.path.exists("/tmp/.X11-unix/X%d" % n):
                ENV["DISPLAY"] = ":%d" % n
                with open(XVFB_PID, "w") as f:
                    f.write("%d :%d\n" % (proc.pid, n))
                time.sleep(0.1)
                return proc
            time.sleep(0.05)
        proc.kill()
        proc.wait(timeout=10)
    return None


# ---------------------------------------------------------------- the prefix

def prepare_prefix():
    """The suite's own prefix, made once and reused; the X11 driver is told
    not to hand windows to a window manager, since with none running (Xvfb)
    Wine waits 2 s for one whenever a shown window goes away."""
    ready = os.path.join(WORK, "prefix.ready")
    if not os.path.exists(ready):
        log("creating the Wine prefix", PREFIX)
        shutil.rmtree(PREFIX, ignore_errors=True)
        os.makedirs(PREFIX, exist_ok=True)
        detached(["wineboot", "-i"], 180)
        detached(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                  "/t", "REG_SZ", "/d", "N", "/f"], 60)
        detached(["wineserver", "-w"], 60)
        with open(ready, "w") as f:
            f.write("ok\n")
    # A server left from a run that was cut short belongs to another display.
    stop_wineserver()
    # Keep the server a little past each program, and boot the services now
    # with our streams detached (see above).
    detached(["wineserver", "-p30"], 30)
    detached(["wine", "cmd", "/c", "exit"], 120)


def stop_wineserver():
    """Ends every program of the prefix and waits until the server has gone
    (and saved the registry), so that the next scenario starts a new one."""
    detached(["wineserver", "-k"], 30)
    detached(["wineserver", "-w"], 30)


def appdata_horlix_dirs():
    users = os.path.join(PREFIX, "drive_c", "users")
    found = []
    if os.path.isdir(users):
        for user in os.listdir(users):
            path = os.path.join(users, user, "AppData", "Roaming", "Horlix")
            if os.path.isdir(path):
                found.append(path)
    return found


def appdata_folder():
    """The prefix user's "Horlix" folder under AppData\\Roaming, whether it
    exists yet or not."""
    users = os.path.join(PREFIX, "drive_c", "users")
    for user in sorted(os.listdir(users)):
        roaming = os.path.join(users, user, "AppData", "Roaming")
        if os.path.isdir(roaming) and user != "Public":
            return os.path.join(roaming, "Horlix")
    raise Failure("no application-data folder in %s" % users)


def layout_program_folder():
    os.makedirs(os.path.dirname(DRIVER_COPY), exist_ok=True)
    shutil.copy2(DRIVER, DRIVER_COPY)
    shutil.rmtree(PROG, ignore_errors=True)
    os.makedirs(PROG)
    shutil.copy2(HORLIX, PROG)
    shutil.copy2(os.path.join(SOURCE, "resources", "horlixtz.ini"), PROG)


# ---------------------------------------------------------------- the driver

def drive(*args, timeout=60, may_fail=False):
    """Runs horlix-driver.exe with commands separated by "--"; returns its
    output lines."""
    cmd = ["wine", DRIVER_COPY] + [str(a) for a in args]
    try:
        done = subprocess.run(cmd, env=ENV, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout, check=False)
    except subprocess.TimeoutExpired:
        raise Failure("driver timed out: %s" % " ".join(map(str, args)))
    out = done.stdout.decode("latin-1").replace("\r", "")
    lines = [line for line in out.split("\n") if line != ""]
    if done.returncode != 0 and not may_fail:
        err = done.stderr.decode("latin-1").replace("\r", "").strip()
        raise Failure("driver %s failed (%d): %s | %s" % (" ".join(map(str, args)),
                                                           done.returncode, err,
                                                           " / ".join(lines)))
    if may_fail:
        return done.returncode, lines
    return lines


def words(lines, word):
    return [line.split(" ")[1:] for line in lines if line.split(" ")[0] == word]


def text_of(lines, word):
    for line in lines:
        if line.startswith(word + " "):
            return line[len(word) + 1:]
        if line == word:
            return ""
    raise Failure("no %r line in %r" % (word, lines))


def rect():
    lines = drive("rect")
    r = [int(v) for v in words(lines, "rect")[0]]
    visible = int(words(lines, "visible")[0][0])
    style, ex = (int(v, 16) for v in words(lines, "style")[0])
    return {"left": r[0], "top": r[1], "width": r[2] - r[0], "height": r[3] - r[1],
            "visible": visible, "style": style, "exstyle": ex, "title": text_of(lines, "title")}


def buttons():
    out = []
    for w in words(drive("buttons"), "button"):
        out.append({"id": int(w[0]), "left": int(w[1]), "top": int(w[2]), "right": int(w[3]),
                    "bottom": int(w[4]), "hwnd": w[5], "style": int(w[6], 16)})
    return out


def widths():
    return [b["right"] - b["left"] for b in buttons()]


def cells():
    """Per clock cell of the time row: pixel counts by colour."""
    out = []
    for w in words(drive("pixels"), "cell"):
        counts = {"rows": int(w[4]) - int(w[2])}
        for item in w[5:]:
            key, value = item.split("=")
            counts[key] = int(value)
        out.append(counts)
    return out


def wait_colours(expected, seconds=5):
    """Waits until the cells show the expected colours (the time row is
    repainted every 500 ms), and checks that no cell holds the colour of
    another clock."""
    end = time.time() + seconds
    got = None
    while time.time() < end:
        counts = cells()
        got = colours_from(counts)
        if got == expected:
            for i, c in enumerate(counts):
                for colour in (LIGHT_BLUE, GREEN, YELLOW, RED):
                    if colour != expected[i] and colour in expected:
                        check_equal(c[colour], 0, "cell %d has no pixel of colour %s" % (i, colour))
            log("  ok: cell colours", expected, "pixels", [c[e] for c, e in zip(counts, expected)])
            return counts
        time.sleep(0.2)
    raise Failure("cell colours: expected %r, got %r" % (expected, got))


def colours_from(counts_list):
    """The palette colour of each cell's text: the one with most pixels, at
    least 20 of them (a cell's raised edge draws one column of white on its
    left side, which does not count)."""
    result = []
    for counts in counts_list:
        best, best_n = None, 0
        for colour in (LIGHT_BLUE, GREEN, YELLOW, RED, WHITE):
            n = counts[colour]
            if colour == WHITE:
                n -= counts["rows"]  # the white inner line of the left edge
            if n > best_n:
                best, best_n = colour, n
        result.append(best if best_n >= 20 else None)
    return result


def reg():
    """The program's key as {".": {name: value}, "0": {...}, ...}; texts come
    as (text, stored size), numbers as ints, other types as (type, hex)."""
    lines = drive("reg-dump")
    if lines == ["no-key"]:
        return None
    keys = {".": {}}
    for line in lines:
        parts = line.split(" ", 4)
        if parts[0] == "key":
            keys[parts[1]] = {}
        if parts[0] != "value":
            continue
        sub, name = parts[1], parts[2]
        rest = line.split(" ", 3)[3]
        kind = rest.split(" ", 1)[0]
        if kind == "dword":
            keys.setdefault(sub, {})[name] = int(rest.split(" ")[1])
        elif kind in ("sz", "expand"):
            _, size, *text = rest.split(" ", 2)
            keys.setdefault(sub, {})[name] = (text[0] if text else "", int(size))
        else:
            keys.setdefault(sub, {})[name] = tuple(rest.split(" "))
    return keys


def clock_record(values):
    out = {}
    for name, value in values.items():
        out[name] = value[0] if isinstance(value, tuple) and name in TEXT_VALUES else value
    return out


def check_clock_key(keys, index, expected, what):
    """A clock subkey holds exactly the eight values, texts stored with their
    terminating NUL."""
    sub = str(index)
    if sub not in keys:
        raise Failure("%s: subkey %s missing" % (what, sub))
    values = keys[sub]
    check_equal(sorted(values), sorted(CLOCK_VALUES), "%s: value names of subkey %s" % (what, sub))
    for name in TEXT_VALUES:
        v = values[name]
        if not isinstance(v, tuple) or len(v) != 2 or v[1] != len(v[0]) + 1:
            raise Failure("%s: %s\\%s is not a text stored with its NUL: %r" % (what, sub, name, v))
    rec = clock_record(values)
    for name, value in expected.items():
        if rec[name] != value:
            raise Failure("%s: subkey %s %s: expected %r, got %r" % (what, sub, name, value,
                                                                    rec[name]))
    log("  ok: %s: subkey %s = %s" % (what, sub, {k: rec[k] for k in expected}))


def wait_reg(predicate, what, seconds=5):
    end = time.time() + seconds
    keys = None
    while time.time() < end:
        keys = reg()
        if keys is not None and predicate(keys):
            log("  ok:", what)
            return keys
        time.sleep(0.1)
    raise Failure("%s; registry: %r" % (what, keys))


def clipboard():
    lines = drive("clipboard")
    if lines == ["clipboard-empty"]:
        return None
    return text_of(lines, "clipboard")


def screen_size():
    w = words(drive("screen"), "screen")[0]
    return max(int(w[0]), int(w[2])), max(int(w[1]), int(w[3]))


def tray_icon_shown():
    for line in drive("windows", "all"):
        parts = line.split(" ")
        if parts[0] == "top" and parts[4] == "__winex11_standalone_tray":
            return parts[3] == "1"
    return False


# ---------------------------------------------------------------- programs

class Program:
    """One horlix.exe started in the background."""

    def __init__(self, name="horlix"):
        self.log_path = os.path.join(WORK, "%s.log" % name)
        self.log_file = open(self.log_path, "wb")
        self.proc = subprocess.Popen(["wine", os.path.join(PROG, "horlix.exe")], env=ENV,
                                     cwd=PROG, stdin=subprocess.DEVNULL, stdout=self.log_file,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        STARTED.append(self)

    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, seconds=15):
        try:
            code = self.proc.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            raise Failure("horlix.exe did not end within %d s" % seconds)
        return code

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self.log_file.close()


STARTED = []


def start(ready=True):
    p = Program("horlix%d" % (len(STARTED) + 1))
    if ready:
        lines = drive("wait-ready", 20)
        log("  started:", " ".join(lines))
    return p


def exit_via_menu(p):
    drive("post-command", 100)
    code = p.wait_exit()
    check_equal(code, 0, "exit code after E&xit")


def fresh_registry(values=None):
    """Wipes the program's key, then stores the given values: a list of
    (subkey, name, type, data) for the driver's reg-put."""
    drive("reg-wipe")
    values = list(values or [])
    for start_at in range(0, len(values), 50):  # keeps each command line short
        args = []
        for sub, name, kind, data in values[start_at:start_at + 50]:
            args += ["--", "reg-put", sub, name, kind, data]
        drive(*args[1:])


def put_clock(sub, clock):
    out = []
    for name in CLOCK_VALUES:
        if name not in clock:
            continue
        value = clock[name]
        out.append((sub, name, "sz" if name in TEXT_VALUES else "dword", value))
    return out


def cleanup_programs():
    for p in STARTED:
        p.kill()
    STARTED.clear()
    # A window left by an earlier, broken run: ask it to close, then insist.
    code, lines = drive("find", may_fail=True)
    if code == 0:
        drive("close-message", "--", "wait-gone", 5, may_fail=True)
        code, lines = drive("find", may_fail=True)
        if code == 0:
            stop_wineserver()
            prepare_prefix()


# ---------------------------------------------------------------- time texts

def zone_now(offset_seconds, at=None):
    at = at if at is not None else time.time()
    return datetime.datetime.fromtimestamp(at, datetime.timezone(
        datetime.timedelta(seconds=offset_seconds)))


def designator(offset):
    if offset == 0:
        return "Z"
    sign = "+" if offset > 0 else "-"
    offset = abs(offset)
    return "%s%02d:%02d" % (sign, offset // 3600, offset % 3600 // 60)


def local_offset(at):
    return int(datetime.datetime.fromtimestamp(at).astimezone().utcoffset().total_seconds())


def zoneinfo_offset(name, at):
    import zoneinfo  # the host's zone database as the reference for one zone
    dt = datetime.datetime.fromtimestamp(at, zoneinfo.ZoneInfo(name))
    return int(dt.utcoffset().total_seconds())


DAYS = ["Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"]
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]


def tooltip_texts(name, offset, date_format, t0, t1):
    """The tooltip a clock should show at any moment between t0 and t1."""
    out = set()
    for at in (t0, t1):
        d = zone_now(offset, at)
        if date_format == 0:
            date = "%s %d %04d" % (MONTHS[d.month - 1], d.day, d.year)
        elif date_format == 2:
            date = "%04d %s %d" % (d.year, MONTHS[d.month - 1], d.day)
        else:
            date = "%2d %s %04d" % (d.day, MONTHS[d.month - 1], d.year)
        out.add("%s: %s, %s " % (name, DAYS[d.weekday()], date))
    return out


def check_tooltip(index, name, offset, date_format, what):
    t0 = time.time()
    tip = text_of(drive("tooltip", index, 8), "tooltip")
    t1 = time.time()
    expected = tooltip_texts(name, offset, date_format, t0, t1)
    if tip not in expected:
        raise Failure("%s: tooltip %r, expected one of %r" % (what, tip, sorted(expected)))
    log("  ok: %s: tooltip %r" % (what, tip))


# ---------------------------------------------------------------- scenarios

def scenario_first_start():
    """An empty registry: the defaults are written at once, the strip shows
    three cells in their colours where the registry says, with tooltips."""
    fresh_registry()
    check(reg() is None, "the program's key is absent before the first start")
    p = start(ready=False)
    drive("wait-window", 20)
    keys = wait_reg(lambda k: "2" in k and "Tz" in k["2"], "the first start wrote the clocks")
    check_equal(sorted(keys["."]), ["N", "X", "Y"], "values of the main key after the first start")
    check_equal(keys["."], {"N": 3, "X": 100, "Y": 0}, "N, X and Y of the first start")
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
    check_tooltip(1, "AWST", 8 * 3600, 1, "Perth")
    check_tooltip(2, "GMT", 0, 1, "UTC")
    now = time.time()
    check_tooltip(0, "Local", local_offset(now), 1, "Local")

    # Nothing is written at exit but the laid-out widths, since the first tick
    # found the strip's size changed (SettingsDirty).
    laid_out = widths()
    exit_via_menu(p)
    keys = reg()
    check_equal(sorted(keys["."]), ["N", "X", "Y"], "values of the main key after exit")
    check_equal(keys["."], {"N": 3, "X": 100, "Y": 0}, "N, X and Y after exit")
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
    check_equal(keys["."], {"N": 7, "X": 100, "Y": 0}, "Save settings after Refresh: X, Y only")
    check_equal(sorted(k for k in keys if k != "."), [], "no clock subkeys written")

    # Dragging the black area moves the window; then Exit: X and Y, nothing else.
    r = rect()
    drive("drag", after[1]["left"] + 3, r["height"] - 3, 321 - r["left"], 123 - r["top"])
    end = time.time() + 3
    while time.time() < end and (rect()["left"], rect()["top"]) != (321, 123):
        time.sleep(0.1)
    r = rect()
    check_equal((r["left"], r["top"]), (321, 123), "the window was dragged")
    exit_via_menu(p)
    keys = reg()
    check_equal(keys["."], {"N": 7, "X": 321, "Y": 123}, "Exit after a move writes X and Y only")
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


TIMESTAMP_PATTERNS = {
    0: r"(\d\d):(\d\d):(\d\d)",
    1: r"(\d\d):(\d\d):(\d\d)(Z|[+-]\d\d:\d\d)",
    2: r"(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)",
    3: r"(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)(Z|[+-]\d\d:\d\d)",
    4: r"(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
       r"(\d\d) (\d\d):(\d\d):(\d\d) (\d{4})",
}


def parse_stamp(fmt, text, offset):
    """The instant a timestamp names (today's date assumed for the time-only
    formats) and its designator."""
    m = re.fullmatch(TIMESTAMP_PATTERNS[fmt], text)
    if m is None:
        raise Failure("timestamp %r does not match format %d" % (text, fmt))
    g = m.groups()
    zone = datetime.timezone(datetime.timedelta(seconds=offset))
    today = zone_now(offset)
    if fmt in (0, 1):
        dt = today.replace(hour=int(g[0]), minute=int(g[1]), second=int(g[2]), microsecond=0)
        tzd = g[3] if fmt == 1 else None
    elif fmt in (2, 3):
        dt = datetime.datetime(int(g[0]), int(g[1]), int(g[2]), int(g[3]), int(g[4]), int(g[5]),
                               tzinfo=zone)
        tzd = g[6] if fmt == 3 else None
    else:
        dt = datetime.datetime.strptime(text, "%a %b %d %H:%M:%S %Y").replace(tzinfo=zone)
        if dt.strftime("%a") != g[0]:
            raise Failure("timestamp %r: wrong day name" % text)
        tzd = None
    return dt.timestamp(), tzd


def capture(index, button):
    drive("select-clock", index, "--", "post-command", 121)
    lines = drive("answer", "Save Timestamp to Clipboard?", button, 10)
    text = text_of(lines, "text")
    m = re.fullmatch(r"Save timestamp '(.*)' to clipboard\?", text)
    if m is None:
        raise Failure("question %r" % text)
    check_equal(text_of(lines, "default"), "Cancel", "Cancel is the default button")
    return m.group(1)


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
    exit_via_menu(p)
    keys = reg()
    for i in (0, 2):
        check_clock_key(keys, i, {"Title": "???", "Id": "ERROR", "Tz": "", "Color": 0xFFFFFF,
                                  "Type": DEFAULT_CLOCKS[i]["Type"],
                                  "Format": DEFAULT_CLOCKS[i]["Format"], "Wd": 0},
                        "missing subkey")
    check_clock_key(keys, 1, dict(DEFAULT_CLOCKS[1], Width=keys["1"]["Width"]), "present subkey")

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


# ---------------------------------------------------------------- dialogs

STATIC_IDS = (-1, 0xFFFF)


def dialog_controls(caption):
    """The dialog's direct children by id (the statics without an id in a
    list under -1) and the id of the control with the focus."""
    lines = drive("controls", caption)
    out = {-1: []}
    for line in lines:
        if not line.startswith("control "):
            continue
        parts = line.split(" ", 10)
        c = {"id": int(parts[1]), "class": parts[2], "enabled": parts[3] == "1",
             "visible": parts[4] == "1", "state": int(parts[5]),
             "rect": tuple(int(v) for v in parts[6:10]),
             "text": parts[10] if len(parts) > 10 else ""}
        if c["id"] in STATIC_IDS:
            out[-1].append(c)
        else:
            out[c["id"]] = c
    return out, int(words(lines, "focus")[0][0])


def combo_items(caption, control):
    lines = drive("combo-items", caption, control)
    items = [line.split(" ", 2)[2] if line.count(" ") >= 2 else ""
             for line in lines if line.startswith("item ")]
    return items, int(words(lines, "selected")[0][0])


def wait_dialog(caption, seconds=15):
    lines = drive("wait-dialog", caption, seconds)
    w = words(lines, "dialog")[0]
    return {"hwnd": w[0], "pid": int(w[1]), "rect": tuple(int(v) for v in w[2:6]),
            "caption": text_of(lines, "caption")}


def wait_no_dialog(caption, seconds=15):
    drive("wait-no-dialog", caption, seconds)


def wait_until(probe, what, seconds=10, interval=0.2):
    """Polls probe() until it returns something true; returns that."""
    end = time.time() + seconds
    value = None
    while True:
        value = probe()
        if value:
            log("  ok:", what)
            return value
        if time.time() > end:
            raise Failure("%s: not within %d s (last %r)" % (what, seconds, value))
        time.sleep(interval)


def one_line(text):
    """A text as the driver prints it: control characters become blanks."""
    return "".join(" " if ord(ch) < 32 else ch for ch in text)


def seed_clocks(clocks, extra=()):
    values = [(".", "N", "dword", len(clocks))]
    for i, c in enumerate(clocks):
        values += put_clock(str(i), c)
    fresh_registry(values + list(extra))


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
    drive("no-box", CAUTION, 1)  # one click, one question


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
    drive("click", PROPS_NEW, 801, "--", "no-box", CAUTION, 1)
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
    drive("click", PROPS_NEW, 802, "--", "no-box", CAUTION, 1)
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
    drive("click", edit, 800, "--", "no-box", CAUTION, 1)
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
    drive("click", edit, 800, "--", "no-box", CAUTION, 1)
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
    seed_clocks(DEFAULT_CLOCKS)
    p = start()
    caption = "All Time Zones"

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
    check_equal(cols, [(0, 140, 0, "Zone Name"), (1, 160, 0, "Time Now"), (2, 200, 0, "TZ string")],
                "three left-aligned columns with their widths")
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
    pattern = re.compile(r"\d\d:\d\d [A-Za-z]\S* *(Sun|Mon|Tue|Wed|Thu|Fri|Sat) \d\d "
                         r"(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) (\(d\))?")
    bad = [r[1] for r in first if not pattern.fullmatch(r[1][1])]
    check_equal(bad, [], "every Time Now text has the row layout")
    import zoneinfo
    by_name = {r[1][0]: r[1][1] for r in first}
    for name in ("Australia/Perth", "Asia/Tokyo", "Europe/Paris", "America/New_York", "UTC",
                 "America/St_Johns", "Australia/Sydney"):
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
    exit_via_menu(p)


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


def scenario_countdown_calendar():
    """The countdown of 2 seconds raises the alarm on the first tick after
    it has expired, also with the dialog hidden; OFF and Escape close the
    alarm. The calendar counts the days from today to a date clicked."""
    seed_clocks(DEFAULT_CLOCKS)
    p = start()
    drive("post-command", 117)
    wait_dialog(COUNTDOWN)
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

    # Typed values beyond the spin ranges count in full: 90 minutes.
    drive("set-text", COUNTDOWN, 1040, "90", "--", "press", COUNTDOWN, 1044)
    wait_until(lambda: (lambda f: f[:2] == ["1", "29"] and int(f[2]) >= 55)(
        countdown_state()["fields"]), "90 minutes show as 1 hour 29 minutes after a second")
    drive("press", COUNTDOWN, 1044)
    wait_until(lambda: countdown_state()["button"] == "Start", "Stop stops it")
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
    wait_dialog(CALENDAR)
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


def scenario_about():
    """The About box with each update status: its texts, the status in red,
    the links drawn in their colour, "Update Now" only for a newer version."""
    for status in (0, 1, 2):
        seed_clocks(DEFAULT_CLOCKS, [(".", "UpdateStatus", "dword", status)])
        p = start()
        drive("post-command", 102)
        wait_dialog("About Horlix")
        c, _ = dialog_controls("About Horlix")
        statics = [s["text"] for s in c[-1] if s["class"] == "Static"]
        check("Horlix World Time Utility" in statics and "Version:" in statics,
              "status %d: the name and the version label" % status)
        check_equal(c[1152]["text"], "1, 6, 5, 0", "the version")
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
    drive("no-box", "Save As", 1)
    wait_no_dialog(PREFS)

    # Export, the save dialog cancelled: no message, no file, the dialog closes.
    open_prefs()
    drive("check", PREFS, 1107, 0, "--", "press", PREFS, 1109)
    drive("answer", "Export Horlix Settings", "OK", 15)
    drive("wait-dialog", "Save As", 30, "--", "press", "Save As", 2, "--",
          "wait-no-dialog", "Save As", 15)
    wait_no_dialog(PREFS)
    drive("no-box", "Sorry, an error occurred", 1)
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
    drive("help-none", 5)
    log("  ok: &Help... without horlix.chm opens no viewer")
    open_help_from_properties()
    drive("help-none", 5)
    log("  ok: the Help button without horlix.chm opens no viewer")
    close_properties()
    exit_via_menu(p)


SCENARIOS = {
    "first_start": scenario_first_start,
    "second_instance": scenario_second_instance,
    "list_commands": scenario_list_commands,
    "position": scenario_position,
    "tray": scenario_tray,
    "timestamp": scenario_timestamp,
    "bad_registry": scenario_bad_registry,
    "settings": scenario_settings,
    "props": scenario_props,
    "zones": scenario_zones,
    "prefs": scenario_prefs,
    "countdown_calendar": scenario_countdown_calendar,
    "about": scenario_about,
    "export_import": scenario_export_import,
    "help": scenario_help,
}


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if sys.argv[1] == "--list":
        print("\n".join(SCENARIOS))
        return 0
    scenario = SCENARIOS.get(sys.argv[1])
    if scenario is None:
        print("unknown scenario", sys.argv[1])
        return 2
    for path in (HORLIX, DRIVER):
        if not os.path.isfile(path):
            print("skipped: %s has not been built" % path)
            return SKIP
    os.makedirs(WORK, exist_ok=True)
    # One scenario at a time on this prefix, also across CTest runs (two
    # test.sh runs on the same build tree would wipe each other's registry
    # and stop each other's server).
    lock = open(os.path.join(WORK, "e2e.lock"), "w")
    waited = time.time()
    while True:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            break
        except OSError:
            if time.time() - waited > 400:
                print("FAILED: another run held the e2e prefix for 400 s")
                return 1
            time.sleep(0.2)
    if time.time() - waited > 1:
        log("waited %.1f s for another run's scenario" % (time.time() - waited))
    xvfb = start_private_display()
    if xvfb is None and not os.environ.get("DISPLAY"):
        print("skipped: no Xvfb and no DISPLAY")
        return SKIP
    started = time.time()
    shot = os.path.join(WORK, "%s-failure.bmp" % sys.argv[1])
    if os.path.exists(shot):
        os.remove(shot)
    try:
        log("display", ENV.get("DISPLAY"))
        layout_program_folder()
        prepare_prefix()
        cleanup_programs()
        for path in appdata_horlix_dirs():
            shutil.rmtree(path, ignore_errors=True)
        log("scenario", sys.argv[1])
        scenario()
    except Failure as failure:
        log("FAILED:", failure)
        drive("shot", "Z:" + shot.replace("/", "\\"), may_fail=True)
        log("screenshot of the strip:", shot)
        log("windows:", " / ".join(drive("windows", "all", may_fail=True)[1]))
        return 1
    finally:
        for p in STARTED:
            p.kill()
        if xvfb is not None:
            # The prefix's services are tied to this display: end them with it.
            stop_wineserver()
            xvfb.terminate()  # lets it remove its socket and lock file
            try:
                xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                xvfb.kill()
            stop_stale_display()
    log("passed in %.1f s" % (time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
