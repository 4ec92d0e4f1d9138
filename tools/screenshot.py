#!/usr/bin/env python3
"""Takes a picture of the clock strip as a PNG file.

    tools/screenshot.py [OUT.png]
        Runs the Windows tree's horlix.exe with its default clocks (Local,
        Perth, UTC) under Wine, on a virtual display and in a Wine prefix of
        this script's own (build/wineprefix-shot), with the local time zone
        --tz (default Europe/Berlin), and writes the strip to OUT.png
        (default docs/strip.png). Everything it started ends with it.

    tools/screenshot.py --display :N [--prefix PREFIX] OUT.png
        The strip of the Horlix that already runs on display :N in PREFIX
        (default build/wineprefix-run, the one ./run.sh starts); nothing is
        started or ended.

The picture is taken by horlix-driver.exe (its "shot" command writes the
strip's window as a BMP); this script turns it into a PNG with the standard
library alone. Needs the Windows tree built (horlix and horlix-driver), Wine
and Xvfb: what tools/setup.sh installs.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(SOURCE, "build", "windows", "bin")
SHOT_PREFIX = os.path.join(SOURCE, "build", "wineprefix-shot")
SHOT_PROGRAM = os.path.join(SOURCE, "build", "shot", "Horlix")


def bmp_to_png(bmp_path, png_path):
    """A 24-bit uncompressed BMP (what the driver writes) as an RGB PNG."""
    with open(bmp_path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise SystemExit("screenshot: %s is not a BMP" % bmp_path)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24:
        raise SystemExit("screenshot: %s has %d bits a pixel, not 24" % (bmp_path, bits))
    bottom_up = height > 0
    height = abs(height)
    row = (width * 3 + 3) & ~3
    raw = bytearray()
    for y in range(height):
        src = offset + row * (height - 1 - y if bottom_up else y)
        raw.append(0)  # filter type None
        line = data[src:src + width * 3]
        for x in range(0, len(line), 3):
            raw += bytes((line[x + 2], line[x + 1], line[x]))  # BGR -> RGB

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    with open(png_path, "wb") as f:
        f.write(png)
    return width, height, len(png)


def wine_env(prefix, display):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH="win64", DISPLAY=display,
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    return env


def quiet(args, env, timeout, cwd=None):
    """Runs a Wine tool with its streams detached (a service it starts holds
    no pipe of ours); returns its exit code."""
    return subprocess.run(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          start_new_session=True, timeout=timeout, check=False).returncode


def driver(env, *args, timeout=60):
    result = subprocess.run(["wine", os.path.join(BIN, "horlix-driver.exe")] +
                            [str(a) for a in args], env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, timeout=timeout, check=False)
    if result.returncode != 0:
        raise SystemExit("screenshot: horlix-driver %s failed (%d): %s%s" % (
            " ".join(map(str, args)), result.returncode, result.stdout, result.stderr))
    return result.stdout


def shoot(env, out):
    with tempfile.TemporaryDirectory() as work:
        bmp = os.path.join(work, "strip.bmp")
        wine_bmp = subprocess.run(["winepath", "-w", bmp], env=env, capture_output=True,
                                  text=True, check=True).stdout.strip()
        driver(env, "shot", wine_bmp)
        width, height, size = bmp_to_png(bmp, out)
    print("screenshot: %s, %dx%d, %d bytes" % (out, width, height, size))


def start_display():
    """Xvfb on a free display number of its own choosing (-displayfd)."""
    if shutil.which("Xvfb") is None:
        raise SystemExit("screenshot: Xvfb is not installed (package xvfb)")
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             "1024x300x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(write_end)
    number = b""
    end = time.time() + 10
    while time.time() < end and not number.endswith(b"\n"):
        piece = os.read(read_end, 16)
        if not piece:
            break
        number += piece
    os.close(read_end)
    if not number.strip():
        proc.kill()
        raise SystemExit("screenshot: the virtual display (Xvfb) did not start")
    return proc, ":" + number.decode().strip()


def make_prefix(env):
    ready = os.path.join(SHOT_PREFIX, ".horlix-ready")
    if os.path.exists(ready):
        return
    print("screenshot: creating the Wine prefix", SHOT_PREFIX)
    shutil.rmtree(SHOT_PREFIX, ignore_errors=True)
    os.makedirs(SHOT_PREFIX)
    # No window manager on Xvfb: Wine would wait for one when a window goes.
    for args in (["wineboot", "-i"],
                 ["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                  "/t", "REG_SZ", "/d", "N", "/f"],
                 ["wineserver", "-w"]):
        if quiet(args, env, 300) != 0:
            raise SystemExit("screenshot: making the Wine prefix: %s failed" % args[0])
    open(ready, "w").close()


def own_run(out, tz):
    for name in ("horlix.exe", "horlix-driver.exe"):
        if not os.path.isfile(os.path.join(BIN, name)):
            raise SystemExit("screenshot: build %s first: cmake --build build/windows "
                             "--target horlix horlix-driver" % name)
    xvfb, display = start_display()
    env = wine_env(SHOT_PREFIX, display)
    env["TZ"] = tz
    program = None
    try:
        make_prefix(env)
        # A program folder like an installation: the program and the shipped zone data.
        os.makedirs(SHOT_PROGRAM, exist_ok=True)
        shutil.copy(os.path.join(BIN, "horlix.exe"), SHOT_PROGRAM)
        shutil.copy(os.path.join(SOURCE, "resources", "horlixtz.ini"), SHOT_PROGRAM)
        quiet(["wineserver", "-p10"], env, 30)
        # The default clocks: no settings from an earlier run.
        quiet(["wine", "reg", "delete", r"HKCU\SOFTWARE\Brenvale\horlix", "/f"], env, 60)
        program = subprocess.Popen(["wine", os.path.join(SHOT_PROGRAM, "horlix.exe")], env=env,
                                   cwd=SHOT_PROGRAM, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        driver(env, "wait-ready", 30)
        time.sleep(1.5)  # a few ticks: every cell painted with the current time
        shoot(env, out)
        driver(env, "post-command", 100)  # Exit
        program.wait(timeout=20)
    finally:
        if program is not None and program.poll() is None:
            program.kill()
        quiet(["wineserver", "-k"], env, 30)  # this script's own prefix
        quiet(["wineserver", "-w"], env, 30)
        xvfb.terminate()
        xvfb.wait(timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out", nargs="?", default=os.path.join(SOURCE, "docs", "strip.png"))
    parser.add_argument("--display", help="shoot the Horlix already running on this display")
    parser.add_argument("--prefix", default=os.path.join(SOURCE, "build", "wineprefix-run"),
                        help="its Wine prefix, with --display (default: build/wineprefix-run)")
    parser.add_argument("--tz", default="Europe/Berlin",
                        help="the local time zone of the program this script starts")
    args = parser.parse_args()
    out = os.path.abspath(args.out)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    if args.display:
        shoot(wine_env(os.path.abspath(args.prefix), args.display), out)
    else:
        own_run(out, args.tz)
    return 0


if __name__ == "__main__":
    sys.exit(main())
