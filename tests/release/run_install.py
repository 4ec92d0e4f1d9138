#!/usr/bin/env python3
"""End-to-end scenarios of the installer under Wine, each in a fresh prefix.

Usage: run_install.py SCENARIO      (run_install.py --list names them)

Environment: HORLIX_WINDOWS_BUILD (the Windows build tree: bin/horlix-driver.exe,
installer/horlix-VERSION-setup.exe, program/Horlix), HORLIX_SOURCE_DIR (the
project), HORLIX_INSTALL_DIR (a work folder inside the build tree: the
prefixes, logs, installers built for the scenarios); full_upgrade also takes
the loopback scenarios' HORLIX_SIGN and HORLIX_LOOPBACK_WORK (see
tests/loopback/loopback.py).

Every scenario starts from a copy of a pristine prefix made once by
wineboot (hard links for the big unchanging files, real copies of the
registry and of everything small), runs the installer and the installed
program there, on a virtual display of its own, and acts on them with
horlix-driver.exe and Wine's reg. Exit code 0 = passed, 1 = failed, 77 =
skipped (nothing built, or no display).
"""

import atexit
import fcntl
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("HORLIX_SOURCE_DIR", os.path.dirname(os.path.dirname(HERE)))
BUILD = os.environ.get("HORLIX_WINDOWS_BUILD", os.path.join(SOURCE, "build", "windows"))
WORK = os.environ.get("HORLIX_INSTALL_DIR", os.path.join(SOURCE, "build", "native", "install"))

# The end-to-end helpers (display, driver, prefix services), pointed at this
# runner's own work folder and prefix.
os.environ["HORLIX_E2E_DIR"] = WORK
os.environ["HORLIX_WINDOWS_BIN"] = os.path.join(BUILD, "bin")
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import e2e  # noqa: E402
from e2e import Failure, check, check_equal, drive, log, text_of, words  # noqa: E402
# The loopback builds, the reference update server and the update dialog's
# helpers (full_upgrade).
sys.path.insert(0, os.path.join(SOURCE, "tests", "loopback"))
import loopback as lb  # noqa: E402
import horlix_update_e2e as update_dialog  # noqa: E402
import updater_e2e  # noqa: E402

PREFIX = e2e.PREFIX                      # WORK/wineprefix, the scenario's prefix
TEMPLATE = os.path.join(WORK, "pristine")  # made once, never run in
ENV = e2e.ENV
ENV["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d"  # no menu entries on the host
# WinINet's preconfigured access would take a proxy from these.
for _name in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
    ENV.pop(_name, None)

VERSION = None  # read from the build's installer name
PROGRAM_FILES = ["horlix.exe", "horlixupdater.exe", "horlixtz.ini", "horlix.chm",
                 "horlix-alarm1.wav"]
INSTALL_DIR = os.path.join(PREFIX, "drive_c", "Program Files", "Horlix")
INSTALL_DIR_WIN = r"C:\Program Files\Horlix"
SHORTCUT = os.path.join(PREFIX, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu",
                        "Programs", "Horlix.lnk")
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Horlix"
SETTINGS_KEY = r"HKCU\SOFTWARE\Brenvale\horlix"


def installer_path():
    """The installer the Windows tree builds (the folder may hold older ones)."""
    folder = os.path.join(BUILD, "installer")
    try:
        with open(os.path.join(folder, "setup-name.txt")) as f:
            path = os.path.join(folder, f.read().strip())
    except OSError:
        return None
    return path if os.path.isfile(path) else None


def program_folder():
    return os.path.join(BUILD, "program", "Horlix")


# ---------------------------------------------------------------- prefixes

def make_template():
    ready = os.path.join(WORK, "pristine.ready")
    if os.path.exists(ready):
        return
    log("creating the pristine Wine prefix", TEMPLATE)
    shutil.rmtree(TEMPLATE, ignore_errors=True)
    os.makedirs(TEMPLATE)
    env = dict(ENV, WINEPREFIX=TEMPLATE)
    for args, limit in ((["wineboot", "-i"], 240),
                        (["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                          "/t", "REG_SZ", "/d", "N", "/f"], 60),
                        (["wineserver", "-w"], 60)):
        code = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True, timeout=limit,
                              check=False).returncode
        if code != 0:
            raise Failure("making the pristine prefix: %s ended with %d" % (args[0], code))
    if not os.path.isfile(os.path.join(TEMPLATE, "system.reg")):
        raise Failure("wineboot made no prefix in %s" % TEMPLATE)
    with open(ready, "w") as f:
        f.write("ok\n")


def fresh_prefix():
    """A new prefix from the pristine one: files of 64 KiB and more (the
    system's libraries, never written in place) are hard links, everything
    else, the registry included, is copied."""
    e2e.stop_wineserver()
    shutil.rmtree(PREFIX, ignore_errors=True)

    def copy(src, dst):
        if os.path.getsize(src) >= 65536 and not src.endswith(".reg"):
            os.link(src, dst)
        else:
            shutil.copy2(src, dst)

    shutil.copytree(TEMPLATE, PREFIX, symlinks=True, copy_function=copy)
    e2e.detached(["wineserver", "-p30"], 30)
    e2e.detached(["wine", "cmd", "/c", "exit"], 120)


# ---------------------------------------------------------------- Wine tools

def wine(*args, timeout=180):
    done = subprocess.run(["wine"] + list(args), env=ENV, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=timeout, check=False,
                          start_new_session=True)
    return done.returncode, done.stdout.decode("latin-1").replace("\r", "")


def reg_values(key):
    """The values of a registry key as {name: (type, data)}; None when the
    key does not exist."""
    code, out = wine("reg", "query", key)
    if code != 0:
        return None
    values = {}
    for line in out.split("\n"):
        parts = line.strip().split("    ")
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
    return values


def run_installer(path, *args, timeout=240):
    started = time.time()
    code, _ = wine(path, *args, timeout=timeout)
    log("  installer %s %s ended with %d after %.1f s" % (os.path.basename(path), " ".join(args),
                                                         code, time.time() - started))
    return code


def wait_until(predicate, what, seconds=60):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            log("  ok:", what)
            return
        time.sleep(0.25)
    raise Failure(what + " (waited %d s)" % seconds)


class Installed:
    """The installed horlix.exe, started in the background."""

    def __init__(self, name):
        self.log_file = open(os.path.join(WORK, name + ".log"), "wb")
        self.proc = subprocess.Popen(["wine", INSTALL_DIR_WIN + r"\horlix.exe"], env=ENV,
                                     stdin=subprocess.DEVNULL, stdout=self.log_file,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        STARTED.append(self)

    def wait_exit(self, seconds):
        try:
            return self.proc.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            raise Failure("the installed horlix.exe did not end within %d s" % seconds)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self.log_file.close()


STARTED = []


def start_installed(name):
    p = Installed(name)
    lines = drive("wait-ready", 60)
    log("  started the installed program:", " ".join(lines))
    drive("no-box", "HORLIX", 2)
    log("  ok: no warning at start (the shipped zone data file was found)")
    return p


# ---------------------------------------------------------------- checks

def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def check_installed(version, source_folder):
    for name in PROGRAM_FILES:
        path = os.path.join(INSTALL_DIR, name)
        check(os.path.isfile(path), "installed: %s" % name)
        check(same_bytes(path, os.path.join(source_folder, name)),
              "%s is the one of the program folder" % name)
    check(os.path.isfile(os.path.join(INSTALL_DIR, "uninstall.exe")), "installed: uninstall.exe")
    check(os.path.isfile(SHORTCUT), "the Start menu shortcut exists")
    with open(SHORTCUT, "rb") as f:
        link = f.read()
    target = INSTALL_DIR_WIN + r"\horlix.exe"
    check(target.encode("latin-1") in link or target.encode("utf-16-le") in link,
          "the shortcut starts %s" % target)
    values = reg_values(UNINSTALL_KEY)
    check(values is not None, "the uninstall entry exists")
    check_equal(values.get("DisplayName", (None, None))[1], "Horlix World Time Utility",
                "uninstall entry DisplayName")
    check_equal(values.get("DisplayVersion", (None, None))[1], version, "uninstall entry DisplayVersion")
    check_equal(values.get("InstallLocation", (None, None))[1], INSTALL_DIR_WIN,
                "uninstall entry InstallLocation")
    check_equal(values.get("UninstallString", (None, None))[1],
                '"%s\\uninstall.exe"' % INSTALL_DIR_WIN, "uninstall entry UninstallString")


def check_removed():
    # uninstall.exe starts a copy of itself, Un.exe in the temporary folder,
    # and ends at once; the copy does the work.
    drive("process-gone", "Un.exe", 90, timeout=120)
    log("  ok: the uninstaller has ended")
    check(not os.path.exists(INSTALL_DIR), "the program folder is gone")
    check(not os.path.exists(SHORTCUT), "the Start menu shortcut is gone")
    check(reg_values(UNINSTALL_KEY) is None, "the uninstall entry is gone")


def settings_count():
    """The number of clocks in the user's settings, None without the key."""
    values = reg_values(SETTINGS_KEY)
    if values is None:
        return None
    kind, data = values.get("N", ("", ""))
    return int(data, 16) if kind == "REG_DWORD" else -1


appdata_folder = e2e.appdata_folder


# ---------------------------------------------------------------- scenarios

def scenario_install():
    """Silent install into a fresh prefix, the installed program runs and its
    help opens, silent uninstall keeps the user's settings; /PURGE removes
    them too."""
    setup = installer_path()
    check_equal(run_installer(setup, "/S"), 0, "silent install: exit code")
    check_installed(VERSION, program_folder())

    p = start_installed("installed1")
    drive("post-command", 110)
    lines = drive("help-wait", 30)
    check_equal(text_of(lines, "title"), "Horlix Help", "the installed help file opens")
    drive("help-close", 10)
    drive("post-command", 100)
    check_equal(p.wait_exit(30), 0, "the installed program ends through E&xit with")
    check_equal(settings_count(), 3, "the program wrote its settings (3 clocks)")
    data = appdata_folder()
    os.makedirs(data, exist_ok=True)
    marker = os.path.join(data, "kept.txt")
    with open(marker, "w") as f:
        f.write("user data\n")

    check_equal(run_installer(INSTALL_DIR_WIN + r"\uninstall.exe", "/S"), 0,
                "silent uninstall: exit code")
    check_removed()
    check_equal(settings_count(), 3, "the user's settings are kept")
    check(os.path.isfile(marker), "the application-data folder is kept")

    check_equal(run_installer(setup, "/S"), 0, "second silent install: exit code")
    check_installed(VERSION, program_folder())
    check_equal(run_installer(INSTALL_DIR_WIN + r"\uninstall.exe", "/S", "/PURGE"), 0,
                "silent uninstall with /PURGE: exit code")
    check_removed()
    check(settings_count() is None, "with /PURGE the settings are removed")
    check(not os.path.exists(data), "with /PURGE the application-data folder is removed")


def build_installer(version, name, programs=None, extra_zone=False):
    """An installer of version, built like the real one with makensis from a
    copy of the program folder in WORK/name; programs maps installed names
    to files that replace them (the loopback builds), extra_zone gives its
    zone data file one more zone. Returns the installer and the folder."""
    folder = os.path.join(WORK, name, "Horlix")
    shutil.rmtree(os.path.dirname(folder), ignore_errors=True)
    shutil.copytree(program_folder(), folder)
    for installed, source in (programs or {}).items():
        shutil.copy2(source, os.path.join(folder, installed))
    if extra_zone:
        with open(os.path.join(folder, "horlixtz.ini"), "ab") as f:
            f.write(b"\r\n[Test/Upgrade]\r\nTZ=UPG-3\r\n")
    out = os.path.join(WORK, name, "horlix-%s-setup.exe" % version)
    done = subprocess.run(["makensis", "-V2", "-DVERSION=" + version, "-DPROGRAM_DIR=" + folder,
                           "-DOUTFILE=" + out, os.path.join(SOURCE, "installer", "horlix.nsi")],
                          capture_output=True, check=False, stdin=subprocess.DEVNULL, timeout=120)
    if done.returncode != 0 or not os.path.isfile(out):
        raise Failure("makensis failed: %s" % done.stdout.decode("latin-1")[-2000:])
    return out, folder


def newer_installer(version):
    """An installer of a later version, built like the real one from a copy
    of the program folder whose zone data file carries one more zone."""
    return build_installer(version, "newer", extra_zone=True)


def next_version(version):
    return version.rsplit(".", 1)[0] + ".%d" % (int(version.rsplit(".", 1)[1]) + 1)


def scenario_upgrade_running():
    """Installing a newer version over a running horlix closes it first
    (the private close message), replaces the files and the entry's version,
    keeps the settings, and the new program starts."""
    check_equal(run_installer(installer_path(), "/S"), 0, "silent install: exit code")
    check_installed(VERSION, program_folder())
    p = start_installed("old")
    newer = next_version(VERSION)
    setup, folder = newer_installer(newer)

    check_equal(run_installer(setup, "/S"), 0, "silent install of %s over the running program" % newer)
    check_equal(p.wait_exit(30), 0, "the running program was closed, exit code")
    check_installed(newer, folder)
    check_equal(settings_count(), 3, "the user's settings are kept")
    p = start_installed("new")
    drive("post-command", 100)
    check_equal(p.wait_exit(30), 0, "the new program ends through E&xit with")

# ---------------------------------------------------------------- full upgrade

PRODUCT_LONG = "Horlix World Time Utility"
WIZARD = PRODUCT_LONG + " Setup"   # the installer's caption (NSIS: Name, then "Setup")
# Later pages change the caption (a space or the page's name after it).
WIZARD_PAGES = WIZARD + "*"
CGI = update_dialog.CGI
INFO_PATH = update_dialog.INFO_PATH
UPGRADE_LINES = update_dialog.UPGRADE_STARTED


def wizard_controls(may_fail=False):
    """The wizard's own controls as {id: (enabled, text)}; None when it is
    not up and may_fail is set."""
    code, lines = drive("controls", WIZARD_PAGES, timeout=30, may_fail=True)
    if code != 0:
        if may_fail:
            return None
        raise Failure("the wizard's controls cannot be read: %s" % " / ".join(lines))
    found = {}
    for line in lines:
        if line.startswith("control "):
            parts = line.split(" ", 10)
            found[int(parts[1])] = (parts[3] == "1", parts[10] if len(parts) > 10 else "")
    return found


def wait_wizard_button(text, seconds=60):
    """Waits until the wizard's Next button (id 1) reads text and is enabled:
    the page that belongs to it is up."""
    end = time.time() + seconds
    got = None
    while time.time() < end:
        controls = wizard_controls(may_fail=True)
        if controls is not None:
            got = controls.get(1)
            if got == (True, text):
                log("  ok: the wizard's page with %r" % text)
                return
        time.sleep(0.3)
    raise Failure("the wizard's button 1 never read %r, enabled (last: %r)" % (text, got))


def wait_server_line(server, path, seconds):
    end = time.time() + seconds
    while time.time() < end:
        lines = update_dialog.requests_of(server, path)
        if lines:
            return lines
        time.sleep(0.2)
    raise Failure("the server never served %s (log: %r)" % (path, list(server.log_lines)))


def scenario_full_upgrade():
    """The whole upgrade path: a build announcing version 1650, installed,
    finds a newer version on the reference server, downloads it with
    horlixupdater, starts its installer through cmd.exe /c, and the wizard,
    driven to Install, closes the running program, puts the new files in
    place and starts the new program."""
    site, port = lb.loopback_site()
    bin_dir = os.path.join(BUILD, "bin")
    programs = {"horlix.exe": os.path.join(bin_dir, "horlix-loopback.exe"),
                "horlixupdater.exe": os.path.join(bin_dir, "horlixupdater-loopback.exe")}
    for path in programs.values():
        if not os.path.isfile(path):
            raise lb.Skip("%s is not built" % path)
    started = time.time()
    setup, folder = build_installer(VERSION, "loopback-old", programs)
    check_equal(run_installer(setup, "/S"), 0, "silent install of the loopback build %s" % VERSION)
    check_installed(VERSION, folder)

    newer = next_version(VERSION)
    newer_setup, newer_folder = build_installer(newer, "loopback-new", programs, extra_zone=True)
    root = lb.fresh_folder("release-full-upgrade")
    lb.publish(root, "--installer", newer_setup, "--version", "1651", "--key", lb.DEV_KEY,
               "--site", site)
    setup_path = "/horlix/horlix-1651-setup.exe"
    check(os.path.isfile(os.path.join(root, setup_path.lstrip("/"))),
          "published %s as %s on %s" % (os.path.basename(newer_setup), setup_path, site))
    log("  (installers built and the old one installed in %.1f s)" % (time.time() - started))

    caption = update_dialog.CAPTION
    with lb.PortLock(port) as lock:
        with lock.serve(root) as server:
            old = start_installed("full-old")
            old_pid = int(words(drive("find"), "window")[0][1])
            drive("post-command", update_dialog.IDS["IDM_CHECK_UPDATES"], "--",
                  "wait-dialog", caption, 10)
            log("  the update dialog is open")
            # 3. the check
            drive("click", caption, update_dialog.control("IDC_UPDATE_CHECK"))
            items = update_dialog.wait_progress("Update check is complete.", 60)
            check_equal(items[-1], "Update check is complete.", "the check's last progress line")
            values = reg_values(SETTINGS_KEY) or {}
            check_equal(values.get("UpdateStatus"), ("REG_DWORD", "0x2"), "registry UpdateStatus")
            query = update_dialog.cgi_requests(server)
            check(len(query) == 1 and ("%s?xv=1650&" % CGI) in query[0] and
                  query[0].endswith('"Horlix"'),
                  "one update query with xv=1650, agent Horlix: %r" % query)

            # 4. the upgrade: horlixupdater, then the installer through cmd.exe /c
            del server.log_lines[:]
            clicked = time.time()
            drive("click", caption, update_dialog.control("IDC_UPDATE_UPGRADE"))
            info = wait_server_line(server, INFO_PATH, 60)
            fetched = wait_server_line(server, setup_path, 60)
            check(len(info) == 1 and ('"GET %s" 200 ' % INFO_PATH) in info[0] and
                  info[0].endswith('"Horlixupdater"'),
                  "the signed info file was fetched by Horlixupdater: %r" % info)
            size = os.path.getsize(newer_setup)
            check(len(fetched) == 1 and ('"GET %s" 200 %d ' % (setup_path, size)) in fetched[0] and
                  fetched[0].endswith('"Horlixupdater"'),
                  "the installer (%d bytes) was fetched by Horlixupdater: %r" % (size, fetched))
            # horlix is busy while the updater runs; the list answers afterwards.
            items = update_dialog.wait_progress(UPGRADE_LINES[-1], 120)
            check_equal(items, UPGRADE_LINES, "the upgrade's progress lines (horlixupdater ended with 0)")
            log("  (download and start of the installer took %.1f s)" % (time.time() - clicked))
            updates = os.path.join(appdata_folder(), "_updates")
            downloaded = sorted(f for f in os.listdir(updates)
                                if f.startswith("horlixquicki-") and f.endswith(".exe"))
            check(len(downloaded) == 1 and len(downloaded[0]) == len("horlixquicki-12345678.exe"),
                  "one downloaded installer in _updates: %r" % downloaded)
            downloaded = downloaded[0]
            check(same_bytes(os.path.join(updates, downloaded), newer_setup),
                  "%s is the published installer" % downloaded)

            waited = time.time()
            lines = drive("wait-caption", WIZARD, 90, timeout=120)
            log("  the wizard's window after %.1f s: %s" % (time.time() - waited, " / ".join(lines)))
            window = words(lines, "window")[0]
            check_equal(window[2], "#32770", "the wizard's window class")
            check_equal(text_of(lines, "image").lower(), downloaded.lower(),
                        "the wizard is the downloaded installer's process")
            check_equal(text_of(lines, "parent").split(" ", 1)[1].lower(), "cmd.exe",
                        "the installer was started by cmd.exe")
            controls = wizard_controls()
            # NSIS draws the branding text twice (a trimmed copy behind it).
            branding = sorted({text.strip() for _, text in controls.values()
                               if text.startswith(PRODUCT_LONG)})
            check_equal(branding, ["%s %s" % (PRODUCT_LONG, newer)],
                        "the wizard's branding names the new version")

            # 5. the wizard: Welcome, Directory, Install (closes the program), Finish
            wait_wizard_button("&Next >")
            drive("press", WIZARD_PAGES, 1)
            wait_wizard_button("&Install")
            drive("press", WIZARD_PAGES, 1)
            check_equal(old.wait_exit(60), 0, "the running program was asked to close, exit code")
            drive("process-gone", "horlix.exe", 60, timeout=90)
            log("  ok: no horlix.exe is left running")
            wait_wizard_button("&Finish", 120)
            check_installed(newer, newer_folder)
            check_equal(settings_count(), 3, "the user's settings are kept (3 clocks)")
            check_equal((reg_values(SETTINGS_KEY) or {}).get("UpdateStatus"), ("REG_DWORD", "0x2"),
                        "UpdateStatus kept")
            # Finish with "Start Horlix now" checked starts the new program.
            drive("press", WIZARD_PAGES, 1)
            drive("wait-no-dialog", WIZARD_PAGES, 30, timeout=60)
            drive("process-gone", downloaded, 60, timeout=90)
            log("  ok: the installer has ended")
            lines = drive("wait-other-window", old_pid, 60, timeout=90)
            new_pid = int(words(lines, "window")[0][1])
            check(new_pid != old_pid, "the new program's window is up (pid %d)" % new_pid)
            # Started through Explorer, as the user, not by the elevated installer.
            parent_pid, parent_image = text_of(lines, "parent").split(" ", 1)
            check(int(parent_pid) != int(window[1]) and parent_image.lower() in ("explorer.exe", "?"),
                  "the new program was started through Explorer, not by the installer (pid %s):"
                  " parent %s %s" % (window[1], parent_pid, parent_image))
            drive("wait-ready", 60, timeout=90)
            drive("no-box", "HORLIX", 2)
            log("  ok: the new program started without a warning")
            drive("post-command", 100)
            drive("process-gone", "horlix.exe", 60, timeout=90)
            log("  ok: the new program ends through E&xit")
            check_equal(settings_count(), 3, "the settings after the new program's exit (3 clocks)")
    log("  (the whole upgrade took %.1f s)" % (time.time() - started))


# ---------------------------------------------------------------- release.sh

def release_sh(tree, *args, env=None):
    """Runs ./release.sh with its release trees in tree (and env added to the
    environment); (exit status, stderr)."""
    started = time.time()
    done = subprocess.run([os.path.join(SOURCE, "release.sh")] + list(args), capture_output=True,
                          env=dict(os.environ, HORLIX_RELEASE_BUILD=tree, **(env or {})),
                          stdin=subprocess.DEVNULL, timeout=600, check=False)
    err = done.stderr.decode("latin-1")
    log("  release.sh %s: exit status %d after %.1f s%s" % (
        " ".join(args), done.returncode, time.time() - started,
        (", " + err.strip().split("\n")[-1]) if done.returncode else ""))
    return done.returncode, err


def code_signing_certificates(folder):
    """A certificate authority (folder/ca.pem) and three certificates it
    issued, each with its key in folder/NAME.pfx under the password in
    folder/password.txt: good (for code signing), expired, server (for web
    servers only)."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    path = lambda name: os.path.join(folder, name)  # noqa: E731
    with open(path("ca.cnf"), "w") as f:
        f.write("[ca]\ndefault_ca = test\n[test]\ndatabase = %s\nnew_certs_dir = %s\nserial = %s\n"
                "default_md = sha256\npolicy = any\nunique_subject = no\n[any]\ncommonName = supplied\n"
                "[good]\nextendedKeyUsage = codeSigning\n[expired]\nextendedKeyUsage = codeSigning\n"
                "[server]\nextendedKeyUsage = serverAuth\n" % (path("index.txt"), folder, path("serial")))
    open(path("index.txt"), "w").close()
    with open(path("serial"), "w") as f:
        f.write("01\n")
    with open(path("password.txt"), "w") as f:
        f.write("release check\n")
    lb.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("ca.key"), "-out",
               path("ca.pem"), "-subj", "/CN=Horlix Check CA", "-days", "2",
               "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=keyCertSign")
    for name, dates in (("good", ["-days", "2"]),
                        ("expired", ["-startdate", "20200101000000Z", "-enddate", "20200201000000Z"]),
                        ("server", ["-days", "2"])):
        lb.openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", path(name + ".key"),
                   "-out", path(name + ".csr"), "-subj", "/CN=Horlix Check " + name)
        lb.openssl("ca", "-batch", "-config", path("ca.cnf"), "-cert", path("ca.pem"), "-keyfile",
                   path("ca.key"), "-extensions", name, "-in", path(name + ".csr"),
                   "-out", path(name + ".pem"), *dates)
        lb.openssl("pkcs12", "-export", "-inkey", path(name + ".key"), "-in", path(name + ".pem"),
                   "-certfile", path("ca.pem"), "-passout", "file:" + path("password.txt"),
                   "-out", path(name + ".pfx"))
    return path


def without_osslsigncode(folder):
    """A PATH of links to every program but osslsigncode."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for directory in ("/usr/bin", "/bin"):
        for name in os.listdir(directory):
            link = os.path.join(folder, name)
            if name != "osslsigncode" and not os.path.lexists(link):
                os.symlink(os.path.join(directory, name), link)
    return folder


# The fields the winget manifest schema (1.6.0) requires of each file.
WINGET_REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                      "License", "ShortDescription", "ManifestType", "ManifestVersion"],
}


def check_release_listing(out, winget_id, url, sums):
    """The winget manifest (the schema's required fields, the installer's
    address and sum) and the download page (each file's size and sum)."""
    import yaml
    folder = os.path.join(out, "winget")
    manifests = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name)) as f:
            manifest = yaml.safe_load(f)
        manifests[manifest.get("ManifestType")] = manifest
        missing = [k for k in WINGET_REQUIRED.get(manifest.get("ManifestType"), ["ManifestType"])
                   if manifest.get(k) in (None, "")]
        check(not missing, "winget/%s has the schema's required fields (missing: %s)" % (name, missing))
        check_equal((manifest["PackageIdentifier"], manifest["PackageVersion"], manifest["ManifestVersion"]),
                    (winget_id, VERSION, "1.6.0"), "winget/%s: identifier, version, manifest version" % name)
    check_equal(sorted(manifests), sorted(WINGET_REQUIRED), "winget/ holds the three files")
    installer = manifests["installer"]
    check_equal((installer["InstallerType"], installer["Scope"], installer["MinimumOSVersion"],
                 installer["InstallerSwitches"], installer["Installers"]),
                ("nullsoft", "machine", "6.1.7601.0", {"Silent": "/S", "SilentWithProgress": "/S"},
                 [{"Architecture": "x64", "InstallerUrl": url,
                   "InstallerSha256": sums[os.path.basename(url)].upper()}]),
                "the winget installer manifest")
    page = lb.read(os.path.join(out, "download.html")).decode()
    for name in (os.path.basename(url), "horlix-%s-portable.zip" % VERSION, "SHA256SUMS"):
        size = format(os.path.getsize(os.path.join(out, name)), ",")
        check(re.search(r"%s</a>.*?%s bytes.*?%s" % (re.escape(name), size, sums[name]), page),
              "the download page lists %s, its size and its sum" % name)


def check_authenticode(out, setup, zip_name, ca):
    """The installer, the programs in the zip and the uninstaller it installs
    carry Authenticode signatures that osslsigncode proves against the test's
    authority."""
    folder = lb.fresh_folder("release-zip")
    with zipfile.ZipFile(os.path.join(out, zip_name)) as z:
        z.extractall(folder)
    check_equal(run_installer(os.path.join(out, setup), "/S"), 0, "the signed installer: exit code")
    for path in (os.path.join(out, setup), os.path.join(folder, "Horlix", "horlix.exe"),
                 os.path.join(folder, "Horlix", "horlixupdater.exe"),
                 os.path.join(INSTALL_DIR, "uninstall.exe")):
        done = subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", path], capture_output=True,
                              check=False)
        check(done.returncode == 0 and b"Signature verification: ok" in done.stdout,
              "osslsigncode proves the signature of %s" % os.path.basename(path))
    page = lb.read(os.path.join(out, "download.html")).decode()
    check("Authenticode-signed by Horlix Check good" in page, "the download page names the signer")


def scenario_release_script():
    """./release.sh refuses to run without a key and with the development key
    (under any name), writing nothing; with a key made here it builds a
    release in a tree of its own, Authenticode-signed with a certificate made
    here (refusing a wrong password, an expired certificate, one not for code
    signing, a missing osslsigncode), with its winget manifest and download
    page, whose updater, run against the release's
    own web site, takes a newer release signed with that key and refuses
    the same release signed with the development key. The site's name is
    made up; the updater reaches it through a proxy on loopback (the test
    server, which answers for any host), so nothing leaves the machine."""
    _, port = lb.loopback_site()
    site = "http://updates.horlix-release-check.net"
    # The maker's keys live outside the source tree (release.sh refuses one inside).
    keys = tempfile.mkdtemp(prefix="horlix-release-keys-")
    atexit.register(shutil.rmtree, keys, True)
    key = os.path.join(keys, "release-key.pem")
    lb.openssl("genrsa", "-out", key, "1024")
    renamed = os.path.join(WORK, "maker.pem")
    shutil.copy(lb.DEV_KEY, renamed)
    bad = {name: os.path.join(keys, "bad-%s.pem" % name)
           for name in ("encrypted", "public", "rsa2048", "ec", "exponent3", "empty_passphrase", "der",
                        "pss", "two", "readable")}
    bad["in_tree"] = os.path.join(WORK, "bad-in-tree.pem")
    lb.openssl("genrsa", "-aes128", "-passout", "pass:secret", "-out", bad["encrypted"], "1024")
    lb.openssl("pkey", "-in", key, "-aes128", "-passout", "pass:", "-out", bad["empty_passphrase"])
    lb.openssl("pkey", "-in", key, "-outform", "DER", "-out", bad["der"])
    lb.openssl("genpkey", "-algorithm", "RSA-PSS", "-pkeyopt", "rsa_keygen_bits:1024", "-out", bad["pss"])
    # A new key (PKCS #1) with the development key after it.
    with open(bad["two"], "wb") as f:
        f.write(lb.openssl("rsa", "-in", key, "-traditional") + lb.read(lb.DEV_KEY))
    for name in ("readable", "in_tree"):
        shutil.copy(key, bad[name])
    os.chmod(bad["readable"], 0o644)
    os.chmod(bad["in_tree"], 0o600)
    lb.openssl("rsa", "-in", key, "-pubout", "-out", bad["public"])
    lb.openssl("genrsa", "-out", bad["rsa2048"], "2048")
    lb.openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", bad["ec"])
    lb.openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024",
               "-pkeyopt", "rsa_keygen_pubexp:3", "-out", bad["exponent3"])
    cert = code_signing_certificates(os.path.join(WORK, "codesign"))
    signing = ["--key", key, "--site", site, "--codesign-pass", cert("password.txt"), "--codesign"]
    refused_tree = os.path.join(WORK, "release-refused")
    out = os.path.join(WORK, "release-dist")
    for path in (refused_tree, out):
        shutil.rmtree(path, ignore_errors=True)
    for what, args, status, says in (
            ("no key", ["--site", site], 2, "usage: "),
            ("no site", ["--key", key], 2, "usage: "),
            ("the development key", ["--key", lb.DEV_KEY, "--site", site], 1, "development key"),
            ("a renamed copy of the development key", ["--key", renamed, "--site", site], 1,
             "development key"),
            ("a missing key file", ["--key", key + ".none", "--site", site], 1, "no key file"),
            ("an encrypted key", ["--key", bad["encrypted"], "--site", site], 1, "encrypted"),
            ("a public key only", ["--key", bad["public"], "--site", site], 1, "only a public key"),
            ("a 2048-bit key", ["--key", bad["rsa2048"], "--site", site], 1, "not a 1024-bit"),
            ("an EC key", ["--key", bad["ec"], "--site", site], 1, "not an RSA key"),
            ("the exponent 3", ["--key", bad["exponent3"], "--site", site], 1, "exponent 65537"),
            ("an empty passphrase", ["--key", bad["empty_passphrase"], "--site", site], 1, "encrypted"),
            ("a DER key", ["--key", bad["der"], "--site", site], 1, "DER"),
            ("an RSA-PSS key", ["--key", bad["pss"], "--site", site], 1, "RSA-PSS"),
            ("a second key after the first", ["--key", bad["two"], "--site", site], 1, "more than one"),
            ("a key others can read", ["--key", bad["readable"], "--site", site], 1, "chmod 600"),
            ("a key inside the source tree", ["--key", bad["in_tree"], "--site", site], 1,
             "inside the source tree"),
            ("a bare query", ["--key", key, "--site", site + "?"], 1, "without a query"),
            ("a bare fragment", ["--key", key, "--site", site + "#"], 1, "without a query"),
            ("a quote in the host", ["--key", key, "--site", 'http://a"b.net'], 1, "escaping"),
            ("a percent in the installer address", ["--key", key, "--site", site,
                                                    "--url", site + "/a%20b.exe"], 1, "escaping"),
            ("a multicast address", ["--key", key, "--site", "http://224.0.0.9"], 1, "multicast"),
            ("a 0.x address", ["--key", key, "--site", "http://0.1.2.3"], 1, "multicast"),
            ("a .local name", ["--key", key, "--site", "http://nas.local"], 1, "local-network"),
            ("localhost6", ["--key", key, "--site", "http://localhost6:8080"], 1, "local-network"),
            ("home.arpa", ["--key", key, "--site", "http://router.home.arpa"], 1, "local-network"),
            ("the site's own path with --publish", ["--key", key, "--site", site, "--publish", WORK,
                                                    "--url", site + "/src/horlixtz.ini"], 1,
             "site's own paths"),
            ("a private address, which only warns", ["--key", bad["public"],
                                                     "--site", "http://10.0.0.5"], 1,
             "warning: --site http://10.0.0.5 is a private address"),
            ("an example site", ["--key", key, "--site", "http://horlix.example"], 1, "example"),
            ("a documentation address", ["--key", key, "--site", "http://192.0.2.7"], 1,
             "example address"),
            ("a loopback update server", ["--key", key, "--site", site,
                                          "--update-server", "http://127.0.0.1:8080"], 1, "loopback"),
            ("a winget identifier without a dot", ["--key", key, "--site", site, "--winget-id", "Horlix"],
             1, "PUBLISHER.NAME"),
            ("a wrong certificate password", signing[:4] + ["--codesign-pass", key, "--codesign",
                                                             cert("good.pfx")], 1, "password"),
            ("an expired certificate", signing + [cert("expired.pfx")], 1, "has expired"),
            ("a certificate not for code signing", signing + [cert("server.pfx")], 1,
             "not for code signing"),
            ("no osslsigncode", signing + [cert("good.pfx"), {"PATH": without_osslsigncode(
                os.path.join(WORK, "no-osslsigncode"))}], 1, "osslsigncode is not installed")):
        env = args.pop() if isinstance(args[-1], dict) else None
        code, err = release_sh(refused_tree, *args, "--out", out, env=env)
        check_equal(code, status, "release.sh with %s: exit status" % what)
        check(says in err, "with %s it says why: %r" % (what, err.strip()))
        check(len(err.strip().splitlines()) == (2 if "warning" in says else 1),
              "with %s the reason is one line" % what)
        check(not os.path.exists(out) and not os.path.exists(refused_tree),
              "with %s nothing is built or written" % what)

    dev_tree = [os.path.join(BUILD, "CMakeCache.txt"), os.path.join(BUILD, "bin", "horlixupdater.exe")]
    before = [os.stat(p).st_mtime_ns for p in dev_tree]
    tree = os.path.join(WORK, "release-build")
    root = lb.fresh_folder("release-site")
    winget_id = "Horlix-Check.Horlix"
    code, _ = release_sh(tree, "--key", key, "--site", site, "--out", out, "--publish", root,
                         "--winget-id", winget_id, "--codesign", cert("good.pfx"),
                         "--codesign-ca", cert("ca.pem"), env={"HORLIX_CODESIGN_PASSWORD": "release check"})
    check_equal(code, 0, "release.sh with a key and a certificate made here: exit status")
    check_equal([os.stat(p).st_mtime_ns for p in dev_tree], before,
                "the development Windows tree was neither configured nor built again")
    setup = "horlix-%s-setup.exe" % VERSION
    zip_name = "horlix-%s-portable.zip" % VERSION
    names = sorted(os.listdir(out))
    check_equal(names, sorted(["SHA256SUMS", setup, zip_name, "horlixquicki-sig.txt", "download.html",
                               "winget", "horlixtz.ini", "horlixtz-sig.txt"]), "the release's files")
    sums = {n: hashlib.sha256(lb.read(os.path.join(out, n))).hexdigest()
            for n in (setup, zip_name, "horlixquicki-sig.txt", "SHA256SUMS")}
    with open(os.path.join(out, "SHA256SUMS")) as f:
        check_equal(sorted(f.read().split("\n")[:-1]),
                    sorted("%s  %s" % (s, n) for n, s in sums.items() if n != "SHA256SUMS"), "SHA256SUMS")
    check_release_listing(out, winget_id, site + "/horlix/" + setup, sums)
    check_authenticode(out, setup, zip_name, cert("ca.pem"))
    for name in (zip_name, "SHA256SUMS", "download.html"):
        check(lb.read(os.path.join(root, "horlix", name)) == lb.read(os.path.join(out, name)),
              "the site's horlix/%s is the release's" % name)

    # Its About box shows the maker's notice, the development tree's says what it is.
    notice = b"This is a development build"
    check(notice in lb.read(os.path.join(BUILD, "bin", "horlix.exe")) and
          notice not in lb.read(os.path.join(tree, "windows", "program", "Horlix", "horlix.exe")),
          "only the development build's horlix.exe carries the development build's notice")

    # The release's own updater: a newer release signed with the key is taken,
    # the same fields signed with the development key are not.
    os.environ["HORLIX_WINEPREFIX"] = PREFIX
    run = updater_e2e.Run(lb.PortLock(port), site,
                          os.path.join(tree, "windows", "program", "Horlix", "horlixupdater.exe"))
    run.env["http_proxy"] = "http://127.0.0.1:%d" % port  # WinINet under Wine takes it
    run.root = root
    run.installer = lb.read(os.path.join(out, setup))
    run.installer_url = "%s/horlix/%s" % (site, setup)
    with run.lock:
        run.set_info(lb.signed_info(updater_e2e.fields(run), key))
        rc, stdout, stderr, requests = run.run(expect_key=False)
        check_equal((rc, stdout, stderr), (0, updater_e2e.crlf(b"".join(updater_e2e.STEPS)), b""),
                    "the release's updater takes a newer release signed with the key")
        check(lb.read(run.output) == run.installer, "and writes the installer")
        run.set_info(lb.signed_info(updater_e2e.fields(run), lb.DEV_KEY))
        run.check_refused(run.run(), updater_e2e.INFO_STEPS, b"Signature is invalid",
                          [(updater_e2e.INFO_PATH, "Horlixupdater")])


SCENARIOS = {
    "install": scenario_install,
    "upgrade_running": scenario_upgrade_running,
    "full_upgrade": scenario_full_upgrade,
    "release_script": scenario_release_script,
}


def main():
    global VERSION
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
    setup = installer_path()
    if setup is None or not os.path.isfile(e2e.DRIVER):
        print("skipped: the installer or horlix-driver.exe has not been built")
        return SKIP
    VERSION = os.path.basename(setup)[len("horlix-"):-len("-setup.exe")]
    if scenario in (scenario_upgrade_running, scenario_full_upgrade) and \
            shutil.which("makensis") is None:
        print("skipped: makensis is not installed")
        return SKIP
    os.makedirs(WORK, exist_ok=True)
    lock = open(os.path.join(WORK, "install.lock"), "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    xvfb = e2e.start_private_display()
    if xvfb is None and not os.environ.get("DISPLAY"):
        print("skipped: no Xvfb and no DISPLAY")
        return SKIP
    started = time.time()
    try:
        log("display", ENV.get("DISPLAY"))
        os.makedirs(os.path.dirname(e2e.DRIVER_COPY), exist_ok=True)
        shutil.copy2(e2e.DRIVER, e2e.DRIVER_COPY)
        make_template()
        fresh_prefix()
        log("scenario", sys.argv[1], "with", os.path.basename(setup))
        scenario()
    except lb.Skip as skip:
        print("skipped:", skip)
        return SKIP
    except (Failure, lb.Failure) as failure:
        log("FAILED:", failure)
        log("windows:", " / ".join(drive("windows", "all", may_fail=True)[1]))
        return 1
    finally:
        for p in STARTED:
            p.kill()
        e2e.stop_wineserver()
        if xvfb is not None:
            xvfb.terminate()
            try:
                xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                xvfb.kill()
            e2e.stop_stale_display()
    log("passed in %.1f s" % (time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
