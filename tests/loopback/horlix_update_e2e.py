#!/usr/bin/env python3
"""horlix.exe's update dialog under Wine against the reference update server
on loopback.

Usage: horlix_update_e2e.py SCENARIO    (--list names them)

The program is the loopback build (horlix-loopback.exe: the shipped sources,
the update server and web site http://127.0.0.1:PORT), laid out as horlix.exe
in the end-to-end suite's program folder, and driven by horlix-driver.exe
through the suite's runner (tests/e2e/run_e2e.py: its prefix, its display,
its lock). The server runs in this process on the loopback port.
Exit code 0 = passed, 1 = failed, 77 = skipped.
"""

import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))

import loopback as lb  # noqa: E402
import run_e2e as e2e  # noqa: E402

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
                query = [line for line in server.log_lines if CGI in line]
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
            Replies.cgi_body = None
        lock.wait_free()
        items = check_once("ERROR: ")
        e2e.check_equal(items[-1], "ERROR: Failed to connect with web site: code 12029.",
                        "a server that is down")
        e2e.check_equal(main_values().get("UpdateStatus"), 2, "UpdateStatus unchanged")


SCENARIOS = {"update_check": scenario_update_check}


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
    loopback_horlix = os.path.join(lb.BIN, "horlix-loopback.exe")
    if not os.path.isfile(loopback_horlix):
        print("skipped: %s has not been built" % loopback_horlix)
        return lb.SKIP
    e2e.HORLIX = loopback_horlix
    original_layout = e2e.layout_program_folder

    def layout():
        # The loopback builds under the names horlix looks for.
        original_layout()
        lb.shutil.copy2(loopback_horlix, os.path.join(e2e.PROG, "horlix.exe"))
        updater = os.path.join(lb.BIN, "horlixupdater-loopback.exe")
        if os.path.isfile(updater):
            lb.shutil.copy2(updater, os.path.join(e2e.PROG, "horlixupdater.exe"))

    e2e.layout_program_folder = layout
    e2e.SCENARIOS = dict(SCENARIOS)
    return e2e.main()


if __name__ == "__main__":
    sys.exit(main())
