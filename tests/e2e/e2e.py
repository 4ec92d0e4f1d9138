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

# The suite's helpers and its runner, run(). The entry point is run_e2e.py;
# the scenarios are in scenarios_strip.py (the strip, its menus, the
# timestamp, the stored settings) and scenarios_dialogs.py (the dialogs and
# the help file). The update dialog's scenarios (tests/loopback), the soak run
# and the installer run use these helpers too.

import datetime
import fcntl
import os
import re
import shutil
import subprocess
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


# The programs' local time zone, and this script's: a fixed zone of our own
# (UTC+05:30, no daylight saving) rather than whatever the host is set to, so
# that Wine's local time and the one the checks compute always agree.
LOCAL_TZ = "HLX-5:30"
os.environ["TZ"] = LOCAL_TZ
time.tzset()


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
    or of CTest's. Returns its exit code."""
    return subprocess.run(args, env=ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, start_new_session=True, timeout=timeout,
                          check=False).returncode


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


def start_private_display(width=1280, height=800):
    """A virtual display of the scenario's own: the scenarios move the mouse
    pointer and put topmost windows on the screen, which must not disturb
    other tests that run at the same time on the shared display."""
    if shutil.which("Xvfb") is None:
        return None
    stop_stale_display()
    for n in range(150, 200):
        if os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
            continue
        proc = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % (width, height),
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


def end_private_display(xvfb):
    """Ends the display and the prefix's services, which are tied to it."""
    stop_wineserver()
    xvfb.terminate()  # lets it remove its socket and lock file
    try:
        xvfb.wait(timeout=10)
    except subprocess.TimeoutExpired:
        xvfb.kill()
    stop_stale_display()


def lock_prefix():
    """One scenario at a time on this prefix, also across CTest runs (two
    test.sh runs on the same build tree would wipe each other's registry and
    stop each other's server). Returns the held lock, or None after 400 s."""
    os.makedirs(WORK, exist_ok=True)
    lock = open(os.path.join(WORK, "e2e.lock"), "w")
    waited = time.time()
    while True:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            break
        except OSError:
            if time.time() - waited > 400:
                print("FAILED: another run held the e2e prefix for 400 s")
                return None
            time.sleep(0.2)
    if time.time() - waited > 1:
        log("waited %.1f s for another run's scenario" % (time.time() - waited))
    return lock


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
        # Marked ready only when every step worked: a half-made prefix is
        # made again by the next scenario instead of failing them all.
        for args, limit in ((["wineboot", "-i"], 180),
                            (["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v",
                              "Managed", "/t", "REG_SZ", "/d", "N", "/f"], 60),
                            (["wineserver", "-w"], 60)):
            code = detached(args, limit)
            if code != 0:
                raise Failure("making the Wine prefix: %s ended with %d" % (args[0], code))
        if not os.path.isfile(os.path.join(PREFIX, "system.reg")):
            raise Failure("wineboot made no prefix in %s" % PREFIX)
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
    for attempt in (1, 2):
        try:
            done = subprocess.run(cmd, env=ENV, stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=timeout, check=False)
        except subprocess.TimeoutExpired:
            raise Failure("driver timed out: %s" % " ".join(map(str, args)))
        # Wine itself, not the driver, ends a process that never got to run
        # with 1 and no word (its messages are off): start it once more. The
        # driver prints every line unbuffered, and each of its failures says
        # why, so no outcome of its own looks like this.
        if done.returncode != 1 or done.stdout or done.stderr or attempt == 2:
            break
        log("  (the driver did not start: %s; once more)" % " ".join(map(str, args)))
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


def cells(lines=None):
    """Per clock cell of the time row: pixel counts by colour (of the
    driver's "cell" lines given, or of a new reading)."""
    out = []
    for w in words(drive("pixels") if lines is None else lines, "cell"):
        counts = {"rows": int(w[4]) - int(w[2])}
        for item in w[5:]:
            key, value = item.split("=")
            counts[key] = int(value)
        out.append(counts)
    return out


def start_watched(span_ms):
    """Starts the program while the driver already watches for its window;
    returns the program and the driver's readings of the time row from the
    moment the window became visible on, for span_ms: [(ms, cells)]."""
    watch = subprocess.Popen(["wine", DRIVER_COPY, "first-pixels", "30", str(span_ms)], env=ENV,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, start_new_session=True)
    try:
        if watch.stdout.readline().strip() != b"watching":
            raise Failure("the driver did not start watching: %r" % watch.stderr.read())
        p = start(ready=False)
        out, err = watch.communicate(timeout=60)
    finally:
        if watch.poll() is None:
            watch.kill()
    if watch.returncode != 0:
        raise Failure("driver first-pixels failed: %s" % err.decode("latin-1").strip())
    samples, lines = [], []
    for line in out.decode("latin-1").replace("\r", "").split("\n") + ["sample"]:
        if line.startswith("sample"):
            if lines:
                samples.append((int(lines[0].split(" ")[2]), cells(lines[1:])))
            lines = [line]
        elif line:
            lines.append(line)
    return p, samples


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


# ---------------------------------------------------------------- timestamps

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


def strip_settled():
    """Returns once the strip has handled every message posted to it before:
    the About box, whose command is posted behind them, has opened (in the
    loop of any dialog they opened) and is closed again. A check that
    nothing happened belongs after this, never after a bare wait."""
    drive("post-command", 102, "--", "wait-dialog", "About Horlix", 15)
    drive("press", "About Horlix", 1, "--", "wait-no-dialog", "About Horlix", 15)


def hint_after_update_dialog():
    """Opens and closes the update dialog, after which the strip is laid
    out and its black area's hint set again; returns the hint shown then."""
    drive("post-command", 113, "--", "wait-dialog", "Check for updates", 10)
    drive("click", "Check for updates", 1, "--", "wait-no-dialog", "Check for updates", 15)
    b, r = buttons(), rect()
    return text_of(drive("tooltip-at", b[-1]["left"] + 3, r["height"] - 3, 8), "tooltip")


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


# ---------------------------------------------------------------- running a scenario

def run(scenarios, argv):
    """Runs the scenario that argv (as sys.argv: the program, then a
    scenario's name or --list) names, out of scenarios (name: function);
    returns the exit code."""
    if len(argv) != 2:
        print(__doc__)
        return 2
    if argv[1] == "--list":
        print("\n".join(scenarios))
        return 0
    scenario = scenarios.get(argv[1])
    if scenario is None:
        print("unknown scenario", argv[1])
        return 2
    for path in (HORLIX, DRIVER):
        if not os.path.isfile(path):
            print("skipped: %s has not been built" % path)
            return SKIP
    lock = lock_prefix()
    if lock is None:
        return 1
    xvfb = start_private_display()
    if xvfb is None and not os.environ.get("DISPLAY"):
        print("skipped: no Xvfb and no DISPLAY")
        return SKIP
    started = time.time()
    shot = os.path.join(WORK, "%s-failure.bmp" % argv[1])
    if os.path.exists(shot):
        os.remove(shot)
    try:
        log("display", ENV.get("DISPLAY"))
        layout_program_folder()
        prepare_prefix()
        cleanup_programs()
        for path in appdata_horlix_dirs():
            shutil.rmtree(path, ignore_errors=True)
        log("scenario", argv[1])
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
            end_private_display(xvfb)
    log("passed in %.1f s" % (time.time() - started))
    return 0
