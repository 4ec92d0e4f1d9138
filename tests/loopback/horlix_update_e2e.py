#!/usr/bin/env python3
"""horlix.exe's update dialog under Wine against the reference update server
on loopback.

Usage: horlix_update_e2e.py SCENARIO    (--list names them)

The program is the loopback build (horlix-loopback.exe: the shipped sources,
the update server and web site http://127.0.0.1:PORT; for the *_https
scenarios horlix-loopback-tls.exe and https://localhost:PORT), laid out as horlix.exe
in the end-to-end suite's program folder, and driven by horlix-driver.exe
through the suite's helpers (tests/e2e/e2e.py: its prefix, its display,
its lock). The server runs in this process on the loopback port.
Exit code 0 = passed, 1 = failed, 77 = skipped.
"""

import os
import re
import sys
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))

import loopback as lb  # noqa: E402
import e2e  # noqa: E402

CAPTION = "Check for updates"
CGI = "/cgi-bin/horlix-update.cgi"


def resource_ids():
    """Every #define NAME NUMBER of the resource headers."""
    ids = {}
    folder = os.path.join(lb.SOURCE, "resources")
    for name in os.listdir(folder):
        if name.endswith(".h"):
            with open(os.path.join(folder, name)) as f:
                for m in re.finditer(r"^#define\s+(\w+)\s+(\d+)\s*$", f.read(), re.M):
                    ids[m.group(1)] = int(m.group(2))
    return ids


IDS = resource_ids()


def control(*names):
    """The id of the first of names that the headers define."""
    for name in names:
        if name in IDS:
            return IDS[name]
    raise e2e.Failure("no control id among %s" % ", ".join(names))


def shipped_zone_date():
    with open(os.path.join(lb.SOURCE, "resources", "horlixtz.ini"), "rb") as f:
        return lb.srv.zone_data_date(f.read())


class Replies(lb.srv.UpdateHandler):
    """The real server, or a fixed body for the CGI when one is set."""

    cgi_body = None

    def route(self, path, query):
        if path == CGI and Replies.cgi_body is not None:
            return 200, Replies.cgi_body, "text/plain"
        return super().route(path, query)


def wait_progress(last, seconds=30):
    end = time.time() + seconds
    got = None
    while time.time() < end:
        code, lines = e2e.drive("lb-items", CAPTION, control("IDC_UPDATE_PROGRESS", "IDC_UPDATE_LIST"),
                                may_fail=True)
        if code == 0:
            got = [line.split(" ", 2)[2] if line.count(" ") >= 2 else ""
                   for line in lines if line.startswith("item ")]
            if got and got[-1].startswith(last):
                return got
        time.sleep(0.3)
    raise e2e.Failure("progress list never ended with %r: %r" % (last, got))


def main_values():
    keys = e2e.reg() or {}
    return keys.get(".", {})


def check_once(expected_last):
    e2e.drive("click", CAPTION, control("IDC_UPDATE_CHECK"))
    return wait_progress(expected_last)


def status_text():
    return e2e.dialog_controls(CAPTION)[0][control("IDC_UPDATE_STATUS")]["text"]


def scenario_update_check():
    site, port = lb.loopback_site()
    root = lb.fresh_folder("release-horlix")
    zone_date = shipped_zone_date()
    newer = os.path.join(lb.WORK, "newer-zones.ini")
    with open(os.path.join(lb.SOURCE, "resources", "horlixtz.ini"), "rb") as f:
        shipped = f.read()
    lb.write(newer, shipped.replace(b"Date=" + zone_date.encode(), b"Date=2099-01-01T00:00Z"))
    lb.publish(root, "--zone-file", os.path.join(lb.SOURCE, "resources", "horlixtz.ini"))
    with lb.PortLock(port) as lock:
        with lock.serve(root, handler=Replies) as server:
            e2e.fresh_registry()
            e2e.start()
            e2e.drive("post-command", IDS["IDM_CHECK_UPDATES"], "--", "wait-dialog", CAPTION, 10)
            e2e.check_equal(status_text(), "Not checked yet", "the status before any check")
            done = ["Getting latest info from web site...", None, "...done.", "Update check is complete."]
            before = None
            for status, publish_args in ((0, None), (1, ["--zone-file", newer]),
                                         (2, ["--installer", newer, "--version", "1651",
                                              "--key", lb.DEV_KEY, "--site", site])):
                if publish_args:
                    lb.publish(root, *publish_args)
                del server.log_lines[:]
                items = check_once("Update check is complete.")
                e2e.check(len(items) == 4 and items[0] == done[0] and items[2:] == done[2:] and
                          re.match(r"^Checking for updates at \d\d:\d\d:\d\d$", items[1]),
                          "status %d: the progress lines %r" % (status, items))
                values = main_values()
                e2e.check_equal(values.get("UpdateStatus"), status, "UpdateStatus")
                e2e.check("UpdateLastCheck" in values, "UpdateLastCheck written")
                controls, _ = e2e.dialog_controls(CAPTION)
                texts = ["Horlix is up to date", ATTENTION[1], ATTENTION[2]]
                e2e.check_equal(controls[control("IDC_UPDATE_STATUS")]["text"], texts[status],
                                "status %d: the dialog shows its text" % status)
                e2e.check(re.fullmatch(r"\d+ seconds ago",
                                       controls[control("IDC_UPDATE_LAST_CHECKED")]["text"]),
                          "status %d: last checked just now" % status)
                e2e.check_equal([controls[control(name)]["enabled"] for name in
                                 ("IDC_UPDATE_INSTALL", "IDC_UPDATE_UPGRADE", "IDC_UPDATE_REMIND")],
                                [status == 1, status == 2, status != 0],
                                "status %d: install, upgrade, remind enabled" % status)
                query = cgi_requests(server)
                e2e.check(len(query) == 1 and
                          ("GET %s?xv=1650&zd=%s\" 200 8 \"Horlix\"" % (CGI, zone_date)) in query[0],
                          "the query and its agent: %r" % query)
                before = values
            page = b"<html>" + b"x" * 294  # 300 bytes: the reply is cut to 255
            site_error = "ERROR: An error occurred on our web site: "
            bad = [(b"", site_error),
                   (b"nothing", site_error + "nothing"),
                   (b"status=x", site_error + "status=x"),
                   (b"status=10", "ERROR: An invalid status code was returned: 10"),
                   (page, (site_error + page[:255].decode())[:255])]
            for body, line in bad:
                Replies.cgi_body = body
                items = check_once("ERROR: ")
                e2e.check_equal(items[-1], line, "reply %r" % body[:20])
                e2e.check_equal(items[:1] + items[2:-1], ["Getting latest info from web site...", "...done."],
                                "the lines before it")
                e2e.check_equal(main_values().get("UpdateStatus"), 2, "UpdateStatus unchanged")
                e2e.check_equal(main_values().get("UpdateLastCheck"), before.get("UpdateLastCheck"),
                                "UpdateLastCheck unchanged")
                e2e.check_equal(status_text(), "The last check failed: " + line[len("ERROR: "):],
                                "reply %r: the status tells of the failure" % body[:20])
            Replies.cgi_body = None
        lock.wait_free()
        items = check_once("ERROR: ")
        e2e.check_equal(items[-1], "ERROR: Failed to connect with web site: code 12029.",
                        "a server that is down")
        e2e.check_equal(main_values().get("UpdateStatus"), 2, "UpdateStatus unchanged")
        e2e.check_equal(status_text(), "The last check failed: Failed to connect with web site: "
                        "code 12029.", "a server that is down: the status tells of it")


# ------------------------------------------------------------ zone data update

def clean_data_folder():
    path = e2e.appdata_folder()
    if os.path.isdir(path):
        lb.shutil.rmtree(path)
    elif os.path.exists(path):
        os.remove(path)


def shipped_zones():
    with open(os.path.join(lb.SOURCE, "resources", "horlixtz.ini"), "rb") as f:
        return f.read()


def zone_variant(date, tokyo_rule, extra=b""):
    """The shipped zone data file with another version date, another rule for
    Asia/Tokyo and perhaps more zones."""
    data = shipped_zones()
    old_date = b"Date=" + shipped_zone_date().encode()
    old_tokyo = b"[Asia/Tokyo]\r\nTZ=JST-9\r\n"
    if data.count(old_date) != 1 or data.count(old_tokyo) != 1:
        raise e2e.Failure("the shipped zone data file no longer has one Date and JST-9 for Tokyo")
    data = data.replace(old_date, b"Date=" + date).replace(
        old_tokyo, b"[Asia/Tokyo]\r\nTZ=" + tokyo_rule + b"\r\n")
    return data + extra


TOKYO = {"Id": "Asia/Tokyo", "Title": "Tokyo", "Type": 2, "Wd": 0, "Width": 80,
         "Color": 0x00FF00, "Format": 0, "Tz": "JST-9"}


def tokyo_designator():
    """The zone designator of a timestamp of the Tokyo clock (TimeStampFmt 3)."""
    stamp = e2e.capture(0, "Cancel")
    m = re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)", stamp)
    if m is None:
        raise e2e.Failure("timestamp %r" % stamp)
    return m.group(1)


def open_update_dialog():
    e2e.drive("post-command", IDS["IDM_CHECK_UPDATES"], "--", "wait-dialog", CAPTION, 10)


def close_update_dialog():
    e2e.drive("click", CAPTION, 1)
    e2e.wait_no_dialog(CAPTION)


def strip_pid():
    return e2e.words(e2e.drive("find"), "window")[0][1]


def zone_details():
    """Timestamp, size, checksum and location as the update dialog shows them."""
    controls, _ = e2e.dialog_controls(CAPTION)
    return {name: controls[control("IDC_UPDATE_" + name.upper())]["text"]
            for name in ("timestamp", "size", "checksum", "location")}


def data_files():
    folder = e2e.appdata_folder()
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else None


class ZoneReplies(Replies, lb.SetsCookies):
    """The real server, or fixed bodies for the zone file's information and
    for the zone file itself when they are set; it sets a cookie on every
    answer."""

    tzinfo_body = None
    zone_body = None
    signature_body = None  # b"" answers 404

    def route(self, path, query):
        if path == CGI and "req=tzinfo" in query and ZoneReplies.tzinfo_body is not None:
            return 200, ZoneReplies.tzinfo_body, "text/plain"
        if path == "/src/horlixtz.ini" and ZoneReplies.zone_body is not None:
            return 200, ZoneReplies.zone_body, "text/plain"
        if path == "/src/horlixtz-sig.txt" and ZoneReplies.signature_body is not None:
            if not ZoneReplies.signature_body:
                return 404, b"Not Found", "text/plain"
            return 200, ZoneReplies.signature_body, "text/plain"
        return super().route(path, query)


def install_and_restart(server, expected, old_pid, old_process=None):
    """Installs the published zone data file from the open dialog: the success
    box, the old instance gone, a new one running. Returns (new pid, time
    before, time after)."""
    del server.log_lines[:]
    t0 = time.time()
    e2e.drive("click", CAPTION, control("IDC_UPDATE_INSTALL"))
    new_pid = e2e.words(e2e.drive("wait-other-window", old_pid, 60, timeout=90), "window")[0][1]
    t1 = time.time()
    e2e.drive("wait-ready", 30)
    # The success box belongs to the dialog, which the restart destroys
    # with the main window: the old instance ends without showing it.
    if old_process is not None:
        e2e.check_equal(old_process.wait_exit(30), 0, "the old instance ends")
    windows = [w for w in e2e.words(e2e.drive("windows", "all"), "top") if w[3] == "HORLIX"]
    e2e.check_equal([w[1] for w in windows], [new_pid], "one strip left, of the new instance")
    requests = [line for line in server.log_lines if "\"GET " in line]
    e2e.check(len(requests) == 3 and ("GET %s?req=tzinfo\" 200" % CGI) in requests[0] and
              "\"Horlix\"" in requests[0] and
              ("GET /src/horlixtz.ini\" 200 %d \"Horlix\"" % len(expected)) in requests[1] and
              "GET /src/horlixtz-sig.txt\" 200" in requests[2],
              "the file information, the file, its signature, asked by \"Horlix\": %r" % requests)
    installed = os.path.join(e2e.appdata_folder(), "horlixtz.ini")
    e2e.check(lb.read(installed) == expected, "the new file is installed in %s" % installed)
    e2e.check_equal(main_values().get("UpdateStatus"), 0, "UpdateStatus after the installation")
    return new_pid, t0, t1


def backup_names_between(t0, t1):
    names = set()
    for at in range(int(t0) - 1, int(t1) + 2):
        names.add("_horlixtz.ini-%s.back" % time.strftime("%Y%m%dT%H%M%S", time.localtime(at)))
    return names


def scenario_zone_update():
    """Installing a newer zone data file twice: the first creates the folder,
    the second keeps the first as its timestamped backup; each restarts the
    program, which then shows the new rules. The server sets a cookie on
    every answer, which no later request carries."""
    site, port = lb.loopback_site()
    root = lb.fresh_folder("release-zones")
    first = zone_variant(b"2099-01-01T00:00Z", b"TKA-5", b"[Test/Update]\r\nTZ=UPD-3\r\n")
    second = zone_variant(b"2099-02-01T00:00Z", b"TKB-6")
    paths = {}
    for name, data in (("first", first), ("second", second)):
        paths[name] = os.path.join(lb.WORK, "zones-%s.ini" % name)
        lb.write(paths[name], data)
    lb.publish(root, "--zone-file", paths["first"], "--key", lb.DEV_KEY)
    clean_data_folder()
    del lb.SetsCookies.cookies[:]
    with lb.PortLock(port) as lock:
        with lock.serve(root, handler=ZoneReplies) as server:
            e2e.seed_clocks([TOKYO], [(".", "TimeStampFmt", "dword", 3),
                                      (".", "UpdateStatus", "dword", 0)])
            p = e2e.start()
            e2e.check_equal(tokyo_designator(), "+09:00", "Tokyo before: the shipped rule JST-9")
            pid = strip_pid()
            open_update_dialog()
            shown = zone_details()
            e2e.check_equal(shown["timestamp"], shipped_zone_date(), "the shipped file's date")
            e2e.check(shown["location"].lower().endswith("\\horlixtz.ini") and
                      "\\horlix\\" not in shown["location"].lower(),
                      "the program folder's file is in use: %r" % shown["location"])
            e2e.check_equal(check_once("Update check is complete.")[-1], "Update check is complete.",
                            "the check")
            e2e.check_equal(main_values().get("UpdateStatus"), 1, "status 1: a newer file")
            pid, _, _ = install_and_restart(server, first, pid, p)
            e2e.check_equal(data_files(), ["horlixtz.ini"],
                            "no backup when there was no copy in the folder before")
            e2e.check_equal(tokyo_designator(), "+05:00", "Tokyo after: the new rule TKA-5")
            open_update_dialog()
            shown = zone_details()
            e2e.check_equal(shown["timestamp"], "2099-01-01T00:00Z", "the new file's date")
            e2e.check_equal(shown["location"], windows_data_folder() + "\\horlixtz.ini",
                            "the new file's place")
            e2e.check_equal(shown["checksum"], "%08X" % zlib.crc32(first),
                            "the checksum shown is zlib's CRC-32 of the file")
            e2e.check_equal(shown["size"], str(len(first)), "the size shown")

            lb.publish(root, "--zone-file", paths["second"], "--key", lb.DEV_KEY)
            del server.log_lines[:]
            check_once("Update check is complete.")
            e2e.check(any("zd=2099-01-01T00:00Z" in line for line in server.log_lines),
                      "the check asks with the installed file's date")
            e2e.check_equal(main_values().get("UpdateStatus"), 1, "status 1 again")
            pid, t0, t1 = install_and_restart(server, second, pid)
            files = data_files()
            backups = [f for f in files if f != "horlixtz.ini"]
            e2e.check(len(files) == 2 and len(backups) == 1 and
                      backups[0] in backup_names_between(t0, t1),
                      "the first file kept as its timestamped backup: %r" % files)
            e2e.check(lb.read(os.path.join(e2e.appdata_folder(), backups[0])) == first,
                      "the backup holds the first file")
            e2e.check_equal(tokyo_designator(), "+06:00", "Tokyo after the second: TKB-6")
            e2e.check_equal(set(lb.SetsCookies.cookies), {None},
                            "no Cookie header in %d requests" % len(lb.SetsCookies.cookies))
            # The refreshed rule is what the clocks are saved with: Duplicate
            # marks them changed, so that Exit writes them whatever the first
            # layout made of the strip's size.
            e2e.drive("select-clock", 0, "--", "post-command", 109, "--", "post-command", 100,
                      "--", "wait-gone", 20)
            saved = e2e.reg()
            e2e.check_equal((saved["."]["N"], saved["0"]["Tz"][0], saved["1"]["Tz"][0]),
                            (2, "TKB-6", "TKB-6"),
                            "the clock's rule string is refreshed from the new file")


def scenario_zone_update_failures():
    """Every failure of the installation shows its line in a "HORLIX" box and
    keeps the current file; the program goes on."""
    site, port = lb.loopback_site()
    root = lb.fresh_folder("release-zone-failures")
    newer = zone_variant(b"2099-03-01T00:00Z", b"TKA-5")
    current = zone_variant(b"2098-01-01T00:00Z", b"TKC-4")
    newer_path = os.path.join(lb.WORK, "zones-newer.ini")
    lb.write(newer_path, newer)
    lb.publish(root, "--zone-file", newer_path, "--key", lb.DEV_KEY)
    clean_data_folder()
    lb.write(os.path.join(e2e.appdata_folder(), "horlixtz.ini"), current)
    crc = zlib.crc32(newer)
    other_key = os.path.join(lb.WORK, "other-key.pem")
    lb.openssl("genrsa", "-out", other_key, "1024")
    unsigned = "ERROR: The zone data file is not signed by the maker. Update aborted."
    cases = [
        ("size 0", "crc=%x;size=0;" % crc, None, None,
         "ERROR: Received invalid value from web site. Update aborted."),
        ("no size", "crc=%x;" % crc, None, None,
         "ERROR: Received invalid value from web site. Update aborted."),
        ("a short download", None, newer[:-100], None,
         "ERROR: Failed to receive valid file from web site. Update aborted."),
        ("a CRC-32 mismatch", "crc=%x;size=%u;" % (crc ^ 0x80, len(newer)), None, None,
         "ERROR: File checksum error. Update aborted."),
        ("a file that differs from the announced CRC-32", None, newer[:-1] + b"X", None,
         "ERROR: File checksum error. Update aborted."),
        # (Signatures for another file or date, cut or overlong: the unit tests.)
        ("no signature (404)", None, None, b"", unsigned),
        # As the development key is to a release build: not the built-in one.
        ("a signature by another key", None, None, lb.zone_signature(newer, other_key), unsigned),
    ]
    with lb.PortLock(port) as lock:
        with lock.serve(root, handler=ZoneReplies) as server:
            e2e.seed_clocks([TOKYO], [(".", "TimeStampFmt", "dword", 3),
                                      (".", "UpdateStatus", "dword", 0)])
            p = e2e.start()
            e2e.check_equal(tokyo_designator(), "+04:00",
                            "the application-data copy is in use (TKC-4)")
            open_update_dialog()
            check_once("Update check is complete.")
            e2e.check_equal(main_values().get("UpdateStatus"), 1, "status 1")
            for what, tzinfo, body, signature_body, message in cases:
                ZoneReplies.tzinfo_body = tzinfo.encode() if tzinfo is not None else None
                ZoneReplies.zone_body = body
                ZoneReplies.signature_body = signature_body
                e2e.drive("click", CAPTION, control("IDC_UPDATE_INSTALL"))
                lines = e2e.drive("answer", "HORLIX", "OK", 60, timeout=90)
                e2e.check_equal(e2e.text_of(lines, "text"), message, what + ": the box")
                items = wait_progress("ERROR: ")
                e2e.check_equal(items[-1], message, what + ": the last progress line")
                e2e.check_equal(data_files(), ["horlixtz.ini"], what + ": no backup, nothing new")
                e2e.check(lb.read(os.path.join(e2e.appdata_folder(), "horlixtz.ini")) == current,
                          what + ": the current file is kept")
                e2e.check(p.running(), what + ": the program goes on")
                e2e.check_equal(main_values().get("UpdateStatus"), 1, what + ": UpdateStatus kept")
            ZoneReplies.tzinfo_body = ZoneReplies.zone_body = ZoneReplies.signature_body = None
        lock.wait_free()
        e2e.drive("click", CAPTION, control("IDC_UPDATE_INSTALL"))
        lines = e2e.drive("answer", "HORLIX", "OK", 60, timeout=90)
        e2e.check_equal(e2e.text_of(lines, "text"),
                        "ERROR: Failed to connect with web site: error 12029. Update aborted.",
                        "a server that is down")
        e2e.check(lb.read(os.path.join(e2e.appdata_folder(), "horlixtz.ini")) == current,
                  "server down: the current file is kept")
        e2e.check_equal(tokyo_designator(), "+04:00", "the running program still has TKC-4")
        e2e.drive("post-command", 100, "--", "wait-gone", 20)

        # A copy that fails: the place of the folder is taken by a file, so
        # neither the folder nor the copy can be made.
        clean_data_folder()
        blocker = e2e.appdata_folder()
        lb.write(blocker, b"not a folder\r\n")
        with lock.serve(root, handler=ZoneReplies):
            p = e2e.start()
            e2e.check_equal(tokyo_designator(), "+09:00", "the program folder's file is in use")
            open_update_dialog()
            e2e.drive("click", CAPTION, control("IDC_UPDATE_INSTALL"))
            lines = e2e.drive("answer", "HORLIX", "OK", 60, timeout=90)
            e2e.check_equal(e2e.text_of(lines, "text"),
                            "ERROR: Failed to copy file to APPDATA folder. Update aborted.",
                            "a copy that fails: the box")
            items = wait_progress("ERROR: ")
            e2e.check_equal(items[-3:-1], ["Creating new subdir %s." % windows_data_folder(),
                                           "Copying file to %s\\horlixtz.ini."
                                           % windows_data_folder()],
                            "a copy that fails: the lines before")
            e2e.check_equal(lb.read(blocker), b"not a folder\r\n", "the file in the way is untouched")
            e2e.check(lb.read(os.path.join(e2e.PROG, "horlixtz.ini")) == shipped_zones(),
                      "the program folder's file is untouched")
            e2e.check(p.running(), "the program goes on")
            e2e.drive("post-command", 100, "--", "wait-gone", 20)
        os.remove(blocker)


def scenario_update_https():
    """The HTTPS build (https://localhost:PORT) with the scenario's own test
    authority trusted in the prefix: the update check and the installation of
    a signed zone data file over HTTPS; then a certificate for another name
    is refused with the error named."""
    _, port = lb.loopback_site()
    pki = lb.make_pki()
    lb.trust_pki(e2e.ENV, pki)
    root = lb.fresh_folder("release-https")
    newer = zone_variant(b"2099-04-01T00:00Z", b"TKA-5")
    path = os.path.join(lb.WORK, "zones-https.ini")
    lb.write(path, newer)
    lb.publish(root, "--zone-file", path, "--key", lb.DEV_KEY)
    clean_data_folder()
    with lb.PortLock(port) as lock:
        with lock.serve(root, handler=ZoneReplies, tls=pki["good"]) as server:
            e2e.seed_clocks([TOKYO], [(".", "TimeStampFmt", "dword", 3),
                                      (".", "UpdateStatus", "dword", 0)])
            p = e2e.start()
            pid = strip_pid()
            open_update_dialog()
            check_once("Update check is complete.")
            e2e.check_equal(main_values().get("UpdateStatus"), 1, "over HTTPS: status 1")
            install_and_restart(server, newer, pid, p)
            e2e.check_equal(tokyo_designator(), "+05:00", "the file installed over HTTPS is in use")
        with lock.serve(root, handler=ZoneReplies, tls=pki["other"]):
            open_update_dialog()
            e2e.check_equal(check_once("ERROR: ")[-1],
                            "ERROR: Failed to connect with web site: code 12038 (the site's "
                            "certificate is for another name).", "a certificate for another name")
            close_update_dialog()
        e2e.drive("post-command", 100, "--", "wait-gone", 20)


def windows_data_folder():
    user = e2e.appdata_folder().split(os.sep)[-4]  # .../users/USER/AppData/Roaming/Horlix
    return "C:\\users\\%s\\AppData\\Roaming\\Horlix" % user


# ------------------------------------------------------------ program upgrade

UPGRADE_STARTED = ["Starting automatic update process...",
                   "Successfully downloaded installation file.",
                   "About to install new version...",
                   "User Account Control: waiting for you...",
                   "..to click 'Allow program to make changes'..."]
UPGRADE_FAILED = ["Starting automatic update process...",
                  "Oh, sorry, that didn't work.",
                  "About to open a web page in your browser...",
                  "Now exit the Horlix program and install the new version."]
UPGRADE_BOX = ("Please exit from Horlix, download and install the new version from our web "
               "site. Then re-start.")
INFO_PATH = "/horlix/upd/horlixquicki-sig.txt"
INSTALLER_PATH = "/horlix/horlix-1651-setup.exe"


def record_browser():
    """Makes Wine's browser launcher hand web addresses to a script that
    writes them to a file; returns that file."""
    script = os.path.join(lb.WORK, "browser.sh")
    record = os.path.join(lb.WORK, "browser.log")
    lb.write(script, ("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % record).encode())
    os.chmod(script, 0o755)
    if os.path.exists(record):
        os.remove(record)
    done = lb.subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v",
                              "Browsers", "/d", script, "/f"], env=e2e.ENV,
                             stdin=lb.subprocess.DEVNULL, capture_output=True, timeout=120)
    if done.returncode != 0:
        raise e2e.Failure("cannot set Wine's browser: %r" % done.stderr)
    return record


def wait_file(path, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if os.path.isfile(path) and os.path.getsize(path) > 0:
            return lb.read(path)
        time.sleep(0.2)
    raise e2e.Failure("%s did not appear within %d s" % (path, seconds))


def updates_folder():
    return os.path.join(e2e.appdata_folder(), "_updates")


def installers():
    folder = updates_folder()
    return sorted(f for f in os.listdir(folder) if f.endswith(".exe")) if os.path.isdir(folder) else []


def requests_of(server, path):
    return [line for line in server.log_lines if ("\"GET %s\"" % path) in line]


def refused_upgrade(server, what, record):
    """Runs an upgrade that horlixupdater must refuse: the updater waits for
    a key, then horlix shows its failure lines, the box and the download page."""
    before = installers()
    if os.path.exists(record):
        os.remove(record)
    del server.log_lines[:]
    e2e.drive("click", CAPTION, control("IDC_UPDATE_UPGRADE"))
    e2e.drive("console-key", "horlixupdater.exe", 60, timeout=90)
    lines = e2e.drive("answer", "HORLIX", "OK", 60, timeout=90)
    e2e.check_equal(e2e.text_of(lines, "text"), UPGRADE_BOX, what + ": the box")
    e2e.check_equal(wait_progress(UPGRADE_FAILED[-1]), UPGRADE_FAILED, what + ": the progress lines")
    e2e.check_equal(installers(), before, what + ": no installer is left")
    e2e.check(requests_of(server, INFO_PATH) and "\"Horlixupdater\"" in requests_of(server, INFO_PATH)[0],
              what + ": horlixupdater fetched the info file")
    page = wait_file(record, 30).decode().strip()
    e2e.check_equal(page, lb.loopback_site()[0] + "/horlix/download.html",
                    what + ": the download page is opened")


def scenario_upgrade():
    """A genuine release: horlixupdater fetches and proves it, horlix starts
    the installer through cmd.exe /c. Refused releases: horlix offers the
    download page instead."""
    site, port = lb.loopback_site()
    root = lb.fresh_folder("release-upgrade")
    marker = lb.program_copy("horlix-marker-installer.exe")
    lb.publish(root, "--zone-file", os.path.join(lb.SOURCE, "resources", "horlixtz.ini"))
    lb.publish(root, "--installer", marker, "--version", "1651", "--key", lb.DEV_KEY, "--site", site)
    clean_data_folder()
    record = record_browser()
    with lb.PortLock(port) as lock:
        with lock.serve(root, handler=Replies) as server:
            e2e.fresh_registry([(".", "UpdateStatus", "dword", 0)])
            p = e2e.start()
            open_update_dialog()
            check_once("Update check is complete.")
            e2e.check_equal(main_values().get("UpdateStatus"), 2, "status 2: a newer version")
            controls, _ = e2e.dialog_controls(CAPTION)
            e2e.check(controls[control("IDC_UPDATE_UPGRADE")]["enabled"],
                      "the upgrade button is enabled")

            del server.log_lines[:]
            e2e.drive("click", CAPTION, control("IDC_UPDATE_UPGRADE"))
            e2e.check_equal(wait_progress(UPGRADE_STARTED[-1], 120), UPGRADE_STARTED,
                            "genuine: the progress lines")
            names = installers()
            e2e.check(len(names) == 1 and re.fullmatch(r"horlixquicki-[A-Za-z0-9]{8}\.exe", names[0]),
                      "genuine: one installer with a random name: %r" % names)
            path = os.path.join(updates_folder(), names[0])
            e2e.check(lb.read(path) == lb.read(marker), "genuine: the installer is the published one")
            ran = wait_file(path + ".ran", 60).decode("latin-1")
            windows_path = windows_data_folder() + "\\_updates\\" + names[0]
            e2e.check(windows_path.lower() in ran.lower(),
                      "genuine: the installer was started (its command line %r)" % ran)
            for what, wanted in (("info file", INFO_PATH), ("installer", INSTALLER_PATH)):
                got = requests_of(server, wanted)
                e2e.check(len(got) == 1 and "\" 200 " in got[0] and got[0].endswith("\"Horlixupdater\""),
                          "genuine: horlixupdater fetched the %s once: %r" % (what, got))
            e2e.drive("no-box", "HORLIX", 2)
            e2e.check(p.running(), "genuine: horlix goes on running")
            e2e.check(not os.path.exists(record), "genuine: no web page is opened")

            # Refused: a tampered installer, then a forged signature.
            published = os.path.join(root, INSTALLER_PATH.lstrip("/"))
            good = lb.read(published)
            lb.write(published, good[:-1] + bytes([good[-1] ^ 1]))
            refused_upgrade(server, "a tampered installer", record)
            lb.write(published, good)
            info_path = os.path.join(root, INFO_PATH.lstrip("/"))
            info = lb.read(info_path)
            at = info.index(b"sig=") + 10
            lb.write(info_path, info[:at] + (b"1" if info[at:at + 1] != b"1" else b"2") + info[at + 1:])
            refused_upgrade(server, "a forged signature", record)

            installer = lb.read(published)

            def signed_fields(version=1651, skip=None):
                lines = [b"exever=%d" % version, b"size=%d" % len(installer),
                         b"url=%s%s" % (site.encode(), INSTALLER_PATH.encode()),
                         b"dig=" + lb.kbref.block_digest(installer).hex().encode()]
                return b"".join(line + b"\n" for line in lines if not line.startswith(skip or b"-"))

            other_key = os.path.join(lb.WORK, "other-key.pem")
            lb.openssl("genrsa", "-out", other_key, "1024")
            digest = lb.kbref.block_digest(installer).hex().encode()
            for what, data in (
                    ("a signature by another key", lb.signed_info(signed_fields(), other_key)),
                    ("exever= the program's own version",
                     lb.signed_info(signed_fields(lb.program_version()))),
                    ("an info file not beginning with exever=",
                     lb.signed_info(b" " + signed_fields())),
                    ("a dig= appended after the signature",
                     lb.signed_info(signed_fields(skip=b"dig=")) + b"dig=" + digest + b"\n")):
                lb.write(info_path, data)
                refused_upgrade(server, what, record)
            # The same fields signed by the right key are taken: each case above
            # differs from a genuine release only in what it names.
            lb.write(info_path, lb.signed_info(signed_fields()))
            before = installers()
            e2e.drive("click", CAPTION, control("IDC_UPDATE_UPGRADE"))
            e2e.check_equal(wait_progress(UPGRADE_STARTED[-1], 120), UPGRADE_STARTED,
                            "the test's own genuine info file: the progress lines")
            added = sorted(set(installers()) - set(before))
            e2e.check(len(added) == 1, "a second installer, with another random name: %r" % added)
            wait_file(os.path.join(updates_folder(), added[0]) + ".ran", 60)
            e2e.drive("post-command", 100, "--", "wait-gone", 20)


# ------------------------------------------------------------ the daily check

UPDATE_TIMER = 2
BALLOON_CLICK = 0x405  # NIN_BALLOONUSERCLICK
ATTENTION = {1: "ATTENTION: an updated time zone file is available.",
             2: "ATTENTION: a newer version of Horlix is available."}


def balloons():
    """The texts of the visible balloons of the notification area (Wine shows
    each as a tooltip window titled with its text)."""
    out = []
    for line in e2e.drive("windows", "all"):
        parts = line.split(" ", 5)
        if parts[0] == "top" and len(parts) > 4 and parts[4] == "tooltips_class32" and parts[3] == "1":
            out.append(parts[5] if len(parts) > 5 else "")
    return out


def wait_balloon(text, seconds=15):
    end = time.time() + seconds
    while time.time() < end:
        if text in balloons():
            e2e.log("  ok: the balloon says %r" % text)
            return
        time.sleep(0.2)
    raise e2e.Failure("no balloon %r; visible: %r" % (text, balloons()))


def cgi_requests(server):
    return [line for line in server.log_lines if CGI in line]


def timer_check(server, expect_request, what, seconds=4):
    """Fires the half-hourly timer once; waits for the check it makes, or
    makes sure for a few seconds that it makes none."""
    before = len(cgi_requests(server))
    e2e.drive("post-timer", UPDATE_TIMER)
    end = time.time() + (30 if expect_request else seconds)
    while time.time() < end and len(cgi_requests(server)) == before:
        time.sleep(0.1)
    e2e.check_equal(len(cgi_requests(server)) - before, 1 if expect_request else 0,
                    what + ": requests to the update CGI")
    e2e.drive("wait-responsive", 15)


def scenario_update_daily():
    """The half-hourly timer's check: nothing before UpdateTime; from then
    once a day after a success, again after a failure; the balloon, and a
    click on it opening the dialog only after an automatic check."""
    site, port = lb.loopback_site()
    root = lb.fresh_folder("release-daily")
    newer = os.path.join(lb.WORK, "daily-newer.ini")
    lb.write(newer, zone_variant(b"2099-04-01T00:00Z", b"JST-9"))
    lb.publish(root, "--zone-file", os.path.join(lb.SOURCE, "resources", "horlixtz.ini"))
    now = time.localtime()
    if now.tm_min == 59:
        # Begun in the last minute of an hour, the checks could see the hour
        # (or the day) change under them: begin with the next hour instead.
        time.sleep(61 - now.tm_sec)
        now = time.localtime()
    hour = now.tm_hour
    base = [(".", "UpdateCheck", "dword", 1), (".", "ShowIconInTray", "dword", 1),
            (".", "UpdateStatus", "dword", 0)]
    with lb.PortLock(port) as lock:
        with lock.serve(root, handler=Replies) as server:
            if hour < 23:
                e2e.fresh_registry(base + [(".", "UpdateTime", "dword", hour + 1)])
                p = e2e.start()
                timer_check(server, False, "before UpdateTime (%d, now %d)" % (hour + 1, hour))
                e2e.check("UpdateLastCheck" not in main_values(), "before UpdateTime: no last check")
                e2e.exit_via_menu(p)
            else:
                e2e.log("  (23 h: no hour after this one to test 'before UpdateTime')")

            e2e.fresh_registry(base + [(".", "UpdateTime", "dword", hour)])
            p = e2e.start()
            e2e.check_equal(balloons(), [], "no balloon before a check")
            Replies.cgi_body = b"status=x"
            timer_check(server, True, "from UpdateTime, a bad reply")
            e2e.check("UpdateLastCheck" not in main_values(), "a failure writes no last check")
            timer_check(server, True, "after a failure it checks again")
            e2e.check_equal(balloons(), [], "no balloon after failures")
            Replies.cgi_body = None

            lb.publish(root, "--zone-file", newer)
            timer_check(server, True, "after failures, a good reply")
            e2e.check_equal(main_values().get("UpdateStatus"), 1, "the daily check stores status 1")
            e2e.check("UpdateLastCheck" in main_values(), "and the last check")
            wait_balloon(ATTENTION[1])
            timer_check(server, False, "after a success, not again the same day")

            e2e.drive("tray-event", BALLOON_CLICK, "--", "wait-dialog", CAPTION, 10)
            controls, _ = e2e.dialog_controls(CAPTION)
            last = controls[control("IDC_UPDATE_LAST_CHECKED")]["text"]
            e2e.check(re.fullmatch(r"\d+ seconds ago \(auto\)", last) is not None,
                      "the balloon click opens the dialog; last checked %r" % last)
            e2e.check(controls[control("IDC_UPDATE_INSTALL")]["enabled"],
                      "the zone data installation is offered")

            lb.publish(root, "--installer", newer, "--version", "1651", "--key", lb.DEV_KEY,
                       "--site", site)
            check_once("Update check is complete.")
            wait_balloon(ATTENTION[2])
            controls, _ = e2e.dialog_controls(CAPTION)
            last = controls[control("IDC_UPDATE_LAST_CHECKED")]["text"]
            e2e.check(re.fullmatch(r"\d+ seconds ago", last) is not None,
                      "after the dialog's check: last checked %r" % last)
            close_update_dialog()
            e2e.drive("tray-event", BALLOON_CLICK)
            e2e.strip_settled()
            e2e.check_equal(e2e.drive("wait-no-dialog", CAPTION, 0, may_fail=True)[0], 0,
                            "after a manual check the balloon click opens no dialog")
            timer_check(server, False, "a manual check counts for the day")
            e2e.exit_via_menu(p)

            # With the daily check off, the timer asks nothing.
            e2e.fresh_registry([(".", "UpdateCheck", "dword", 0), (".", "UpdateTime", "dword", 0)])
            p = e2e.start()
            timer_check(server, False, "UpdateCheck 0")
            e2e.exit_via_menu(p)


# ------------------------------------------------------------ web links

ABOUT = "About Horlix"


def clicked_page(caption, name, record):
    """A real click on a link button; the address the browser was given."""
    if os.path.exists(record):
        os.remove(record)
    e2e.drive("mouse-click", caption, control(name))
    return wait_file(record, 30).decode().strip()


def scenario_web_links():
    """The links of the About box and the update dialog open the maker's
    pages in the browser, at the build's web site."""
    site, port = lb.loopback_site()
    record = record_browser()
    e2e.fresh_registry([(".", "UpdateStatus", "dword", 2)])
    p = e2e.start()
    e2e.drive("post-command", IDS["IDM_ABOUT"], "--", "wait-dialog", ABOUT, 10)
    e2e.check_equal(clicked_page(ABOUT, "IDC_ABOUT_WEB_LINK", record), site + "/horlix/",
                    "the About box's web link opens the program's page")
    e2e.check_equal(clicked_page(ABOUT, "IDC_ABOUT_UPDATE_NOW", record),
                    site + "/horlix/download.html", "\"Update Now\" opens the download page")
    e2e.drive("press", ABOUT, 1)
    e2e.wait_no_dialog(ABOUT)
    open_update_dialog()
    e2e.check_equal(clicked_page(CAPTION, "IDC_UPDATE_LINK", record),
                    site + "/horlix/download.html", "the update dialog's link opens the download page")
    time.sleep(1)
    e2e.check_equal(lb.read(record).decode().split("\n")[:-1], [site + "/horlix/download.html"],
                    "one click opens one page")
    close_update_dialog()
    e2e.exit_via_menu(p)


# ------------------------------------------------------------ remind me later

def title_corner(index=0):
    """The 6 x 6 pixels at the top left of a clock's title button, around the
    3 x 3 attention notice."""
    path = os.path.join(lb.WORK, "strip.bmp")
    e2e.drive("shot", lb.windows_path(path))
    data = lb.read(path)
    offset = int.from_bytes(data[10:14], "little")
    width = int.from_bytes(data[18:22], "little", signed=True)
    height = int.from_bytes(data[22:26], "little", signed=True)
    row = (width * 3 + 3) & ~3
    button = e2e.buttons()[index]
    pixels = []
    for y in range(button["top"] + 1, button["top"] + 7):
        for x in range(button["left"] + 1, button["left"] + 7):
            at = offset + (height - 1 - y) * row + 3 * x
            pixels.append(data[at:at + 3].hex())
    return tuple(pixels)


def wait_corner(predicate, what, seconds=10):
    end = time.time() + seconds
    corner = None
    while time.time() < end:
        corner = title_corner()
        if predicate(corner):
            e2e.log("  ok:", what, corner)
            return corner
        time.sleep(0.3)
    raise e2e.Failure("%s: the corner is %r" % (what, corner))


def no_notice(corner):
    """The 3 x 3 notice's place (from the button's second pixel on) is the
    colour of the face beside it: no notice drawn."""
    face = corner[1 * 6 + 5]
    return all(corner[y * 6 + x] == face for y in (1, 2, 3) for x in (1, 2, 3))


def remind_state():
    controls, _ = e2e.dialog_controls(CAPTION)
    return controls[control("IDC_UPDATE_REMIND")]["state"], controls[1]["text"]


def scenario_remind_later():
    """"Remind me later" hides the strip's attention notice while it is set,
    is shown checked when the dialog opens again, and lasts only for the run."""
    e2e.fresh_registry([(".", "UpdateStatus", "dword", 0)])
    p = e2e.start()
    plain = wait_corner(no_notice, "status 0: the title's corner is the button's face")
    e2e.exit_via_menu(p)
    e2e.fresh_registry([(".", "UpdateStatus", "dword", 2)])
    p = e2e.start()
    notice = wait_corner(lambda c: c != plain, "status 2: the attention notice is drawn")
    open_update_dialog()
    e2e.check_equal(remind_state(), (0, "Close"), "at first: not checked, the button says Close")
    e2e.drive("check", CAPTION, control("IDC_UPDATE_REMIND"), 1)
    e2e.check_equal(remind_state(), (1, "OK"), "checked: the button says OK")
    e2e.drive("press", CAPTION, 1)
    e2e.wait_no_dialog(CAPTION)
    wait_corner(lambda c: c == plain, "remind me later: the notice is gone")
    open_update_dialog()
    e2e.check_equal(remind_state(), (1, "OK"), "opened again: still checked")
    e2e.drive("check", CAPTION, control("IDC_UPDATE_REMIND"), 0)
    e2e.check_equal(remind_state()[1], "Close", "unchecked: the button says Close again")
    e2e.drive("press", CAPTION, 2)  # closing with Escape stores it too
    e2e.wait_no_dialog(CAPTION)
    wait_corner(lambda c: c == notice, "unchecked: the notice is back")
    open_update_dialog()
    e2e.drive("check", CAPTION, control("IDC_UPDATE_REMIND"), 1)
    close_update_dialog()
    wait_corner(lambda c: c == plain, "checked again: the notice is gone")
    e2e.exit_via_menu(p)
    p = e2e.start()
    wait_corner(lambda c: c == notice, "the next run shows the notice again")
    open_update_dialog()
    e2e.check_equal(remind_state(), (0, "Close"), "the next run: not checked")
    close_update_dialog()
    e2e.exit_via_menu(p)


SCENARIOS = {"update_check": scenario_update_check, "zone_update": scenario_zone_update,
             "zone_update_failures": scenario_zone_update_failures, "upgrade": scenario_upgrade,
             "update_daily": scenario_update_daily, "web_links": scenario_web_links,
             "remind_later": scenario_remind_later, "update_https": scenario_update_https}


def main():
    if len(sys.argv) == 2 and sys.argv[1] == "--list":
        print("\n".join(SCENARIOS))
        return 0
    if len(sys.argv) != 2 or sys.argv[1] not in SCENARIOS:
        print(__doc__)
        return 2
    try:
        lb.loopback_site()
    except lb.Skip as e:
        print("skipped:", e)
        return lb.SKIP
    # The HTTPS scenarios run the builds for https://localhost:PORT.
    variant = "-tls" if sys.argv[1].endswith("_https") else ""
    loopback_horlix = os.path.join(lb.BIN, "horlix-loopback%s.exe" % variant)
    if not os.path.isfile(loopback_horlix):
        print("skipped: %s has not been built" % loopback_horlix)
        return lb.SKIP
    e2e.HORLIX = loopback_horlix
    original_layout = e2e.layout_program_folder

    def layout():
        # The loopback builds under the names horlix looks for.
        original_layout()
        lb.shutil.copy2(loopback_horlix, os.path.join(e2e.PROG, "horlix.exe"))
        updater = os.path.join(lb.BIN, "horlixupdater-loopback%s.exe" % variant)
        if os.path.isfile(updater):
            lb.shutil.copy2(updater, os.path.join(e2e.PROG, "horlixupdater.exe"))

    e2e.layout_program_folder = layout
    return e2e.run(SCENARIOS, sys.argv)


if __name__ == "__main__":
    sys.exit(main())
