#!/usr/bin/env python3
"""The reference update server and the publish tool, over real HTTP on
loopback; the same request tables against Apache httpd through
server/horlix-site with the compiled update CGI (the Apache* classes), and
that CGI against the reference's answers on random queries (CgiReference).

Usage: test_server.py [unittest arguments, e.g. a class name]

Environment: HORLIX_SIGN (the native tree's horlix-sign), HORLIX_SOURCE_DIR,
HORLIX_UPDATE_CGI (the native tree's horlix-update.cgi).
References: zlib.crc32 for the CRC-32, OpenSSL (pkeyutl -verifyrecover) for
the signature, and tests/bignum/kbref.py (an independent Python model of the
block digest) for the dig= value.
"""

import http.client
import os
import random
import re
import shutil
import signal
import socket
import ssl
import stat
import subprocess
import sys
import tempfile
import threading
import time
import types
import unittest
import urllib.error
import urllib.parse
import urllib.request
import warnings
import zlib

SOURCE = os.environ.get("HORLIX_SOURCE_DIR") or os.path.dirname(os.path.dirname(
    os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, "server"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "bignum"))

import horlix_update_server as srv  # noqa: E402
import kbref  # noqa: E402

SIGN = os.environ.get("HORLIX_SIGN", os.path.join(SOURCE, "build", "native", "bin", "horlix-sign"))
PUBLISH = os.path.join(SOURCE, "tools", "horlix-publish")
SERVER_CMD = os.path.join(SOURCE, "server", "horlix-update-server")
SITE_CMD = os.path.join(SOURCE, "server", "horlix-site")
CGI_PROGRAM = os.environ.get("HORLIX_UPDATE_CGI",
                             os.path.join(SOURCE, "build", "native", "bin", "horlix-update.cgi"))
DEV_KEY = os.path.join(SOURCE, "tools", "devkey", "horlix-dev-private.pem")
SHIPPED_ZONES = os.path.join(SOURCE, "resources", "horlixtz.ini")
DIGEST_INFO = bytes.fromhex("3020300c06082a864886f70d020505000410")
CGI = "/cgi-bin/horlix-update.cgi"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def zone_file(date, extra=b""):
    """A small zone data file with the given Version Date (None: no Version)."""
    text = b"; test zone data\r\n[Australia/Perth]\r\nTZ=AWST-8\r\n"
    if date is not None:
        text += b"[Version]\r\nDate=" + date.encode() + b"\r\nRelease=2026f\r\n"
    return text + b"[UTC]\r\nTZ=UTC0\r\n" + extra


def publish(*args):
    return subprocess.run([sys.executable, PUBLISH, "--sign-tool", SIGN] + list(args),
                          capture_output=True, text=True)


def get(server, path, agent="Horlix", method="GET", headers=()):
    """(HTTP status, body, headers) of one GET, sent exactly as given."""
    conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
    try:
        conn.putrequest(method, path, skip_accept_encoding=True)
        conn.putheader("User-Agent", agent)
        for name, value in headers:
            conn.putheader(name, value)
        conn.endheaders()
        r = conn.getresponse()
        return r.status, r.read(), r.headers
    finally:
        conn.close()


def openssl(*args, data=None):
    return subprocess.run(["openssl"] + list(args), input=data, capture_output=True,
                          check=True).stdout


def info_fields(info):
    """What horlixupdater takes from an info file: each key's first
    occurrence in the signed text (before the first '#'); sig after it."""
    signed, _, rest = info.partition(b"#")

    def value(text, key):
        at = text.find(key)
        if at < 0:
            return None
        v = text[at + len(key):]
        for end in (b";", b"\r", b"\n"):
            if end in v:
                v = v[:v.index(end)]
        return v

    return {"signed": signed, "exever": value(signed, b"exever="), "size": value(signed, b"size="),
            "url": value(signed, b"url="), "dig": value(signed, b"dig="), "sig": value(rest, b"sig=")}


class ServerCase(unittest.TestCase):
    """A fresh release folder and a server on a free port for each test."""

    handler = srv.UpdateHandler
    apache = False  # True: Apache httpd through server/horlix-site instead
    logged_odd_agent = "Odd 'agent'"

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="horlix-server-test-")
        self.root = os.path.join(self.tmp, "root")
        os.makedirs(self.root)
        if self.apache:
            os.chmod(self.tmp, 0o755)  # httpd's workers read it
            self.running = self.server = srv.SiteProcess(self.root, cgi=CGI_PROGRAM)
        else:
            self.server = srv.make_server(self.root, 0, handler=self.handler, log_file=None)
            self.running = srv.ServerThread(self.server)
        self.running.__enter__()
        self.site = self.server.url

    def tearDown(self):
        self.running.__exit__(None, None, None)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def write(self, name, data):
        path = os.path.join(self.tmp, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def publish_ok(self, *args):
        p = publish("--root", self.root, *args)
        self.assertEqual(p.returncode, 0, p.stderr)
        return p


class Crc(ServerCase):
    def test_crc_routine_against_zlib(self):
        rng = random.Random(7)
        self.assertEqual(srv.crc32(b"123456789"), 0xCBF43926)
        self.assertEqual(srv.crc32(b""), 0)
        for size in (1, 2, 3, 255, 256, 4097):
            data = bytes(rng.getrandbits(8) for _ in range(size))
            self.assertEqual(srv.crc32(data), zlib.crc32(data), size)
            half = size // 2
            self.assertEqual(srv.crc32(data[half:], srv.crc32(data[:half])), zlib.crc32(data))

    def test_tzinfo_reply_is_crc_and_size_of_published_file(self):
        status, body, _ = get(self.server, CGI + "?req=tzinfo")
        self.assertEqual((status, body), (404, b"error=no zone data file"))
        rng = random.Random(11)
        with open(SHIPPED_ZONES, "rb") as f:
            shipped = f.read()
        # A file whose CRC has leading zero digits shows how "%x" writes it.
        small = zone_file("2026-01-01T00:00Z")
        while zlib.crc32(small) >= 0x10000000:
            small += b";"
        candidates = [shipped, small,
                      zone_file("2026-01-02T00:00Z", bytes(rng.getrandbits(8) for _ in range(70000)))]
        for data in candidates:
            self.publish_ok("--zone-file", self.write("zones.ini", data))
            status, body, _ = get(self.server, CGI + "?req=tzinfo")
            self.assertEqual(status, 200)
            self.assertEqual(body, ("crc=%x;size=%u;" % (zlib.crc32(data), len(data))).encode())
            self.assertLessEqual(len(body), 32, "the client reads at most 32 bytes")
            status, served, _ = get(self.server, "/src/horlixtz.ini")
            self.assertEqual((status, served), (200, data))

    def test_same_size_new_content_gives_new_crc(self):
        a = zone_file("2026-03-01T00:00Z", b"; aaaa\r\n")
        b = zone_file("2026-03-01T00:00Z", b"; bbbb\r\n")
        for data in (a, b, a):
            self.publish_ok("--zone-file", self.write("zones.ini", data))
            _, body, _ = get(self.server, CGI + "?req=tzinfo")
            self.assertEqual(body, ("crc=%x;size=%u;" % (zlib.crc32(data), len(data))).encode())


class Status(ServerCase):
    def status(self, query):
        code, body, _ = get(self.server, CGI + "?" + query)
        self.assertEqual(code, 200, body)
        self.assertRegex(body, rb"^status=[0-2]$")
        return int(body[7:])

    def test_nothing_published(self):
        self.assertEqual(self.status("xv=1650&zd=0000-00-00T00:00Z"), 0)
        self.assertEqual(self.status("xv=0&zd=0000-00-00T00:00Z"), 0)

    def test_decision_table(self):
        installer = self.write("setup.exe", b"MZ" + bytes(range(256)) * 8)
        self.publish_ok("--installer", installer, "--version", "1651", "--key", DEV_KEY,
                        "--site", self.site,
                        "--zone-file", self.write("zones.ini", zone_file("2026-06-01T12:00Z")))
        table = [
            # xv, zd, status
            ("1650", "0000-00-00T00:00Z", 2),   # the program's own default query
            ("1650", "2026-06-01T12:00Z", 2),   # an older program always hears of the upgrade
            ("1650", "2027-01-01T00:00Z", 2),
            ("0", "2026-06-01T12:00Z", 2),
            ("1651", "0000-00-00T00:00Z", 1),
            ("1651", "2026-06-01T11:59Z", 1),   # one minute older
            ("1651", "2026-05-31T12:00Z", 1),
            ("1651", "2026-06-01T12:00Z", 0),   # the same date
            ("1651", "2026-06-01T12:01Z", 0),   # newer than the published one
            ("1651", "2030-01-01T00:00Z", 0),
            ("1652", "2026-01-01T00:00Z", 1),
            ("1652", "2026-06-01T12:00Z", 0),
            ("9999", "2026-06-01T12:00Z", 0),
            ("1651", "garbage", 1),             # any other form counts as older
            ("1651", "", 1),
            ("1651", "2026-06-01", 1),
        ]
        for xv, zd, expected in table:
            with self.subTest(xv=xv, zd=zd):
                self.assertEqual(self.status("xv=%s&zd=%s" % (xv, zd)), expected)
        self.assertEqual(self.status("xv=1651"), 1, "zd missing")
        self.assertEqual(self.status("zd=2026-06-01T12:00Z&xv=1651"), 0, "any order")
        self.assertEqual(self.status("xv=01650&zd=2026-06-01T12:00Z"), 2)

    def test_only_zone_data_or_only_installer(self):
        self.publish_ok("--zone-file", self.write("zones.ini", zone_file("2026-06-01T12:00Z")))
        self.assertEqual(self.status("xv=1650&zd=2026-01-01T00:00Z"), 1)
        self.assertEqual(self.status("xv=1650&zd=2026-06-01T12:00Z"), 0)
        self.assertEqual(self.status("xv=1&zd=2026-06-01T12:00Z"), 0, "no version published")
        # Publishing an installer later keeps the zone data file.
        installer = self.write("setup.exe", b"MZ installer")
        self.publish_ok("--installer", installer, "--version", "1700", "--key", DEV_KEY,
                        "--site", self.site)
        self.assertEqual(self.status("xv=1650&zd=2026-06-01T12:00Z"), 2)
        self.assertEqual(self.status("xv=1700&zd=2026-01-01T00:00Z"), 1)
        self.assertEqual(self.status("xv=1700&zd=2026-06-01T12:00Z"), 0)

    def test_republishing_takes_effect_at_once(self):
        self.publish_ok("--zone-file", self.write("zones.ini", zone_file("2026-06-01T12:00Z")))
        self.assertEqual(self.status("xv=1650&zd=2026-06-01T12:00Z"), 0)
        self.publish_ok("--zone-file", self.write("zones.ini", zone_file("2026-07-01T00:00Z")))
        self.assertEqual(self.status("xv=1650&zd=2026-06-01T12:00Z"), 1)

    def test_bad_queries(self):
        for query in ("", "xv=", "xv=abc&zd=0000-00-00T00:00Z", "xv=-1", "xv=16x0", "zd=x",
                      "req=other"):
            with self.subTest(query=query):
                code, body, _ = get(self.server, CGI + "?" + query)
                self.assertEqual((code, body), (400, b"error=bad query"))
                self.assertFalse(body.startswith(b"status="))


class Files(ServerCase):
    def test_release_files_and_pages(self):
        rng = random.Random(3)
        installer_bytes = bytes(rng.getrandbits(8) for _ in range(123457))
        installer = self.write("setup.exe", installer_bytes)
        zones = zone_file("2026-06-01T12:00Z")
        url = self.site + "/horlix/files/horlix-1651-setup.exe"
        self.publish_ok("--installer", installer, "--version", "1651", "--key", DEV_KEY, "--url", url,
                        "--zone-file", self.write("zones.ini", zones))
        code, body, headers = get(self.server, "/horlix/files/horlix-1651-setup.exe", "Horlixupdater")
        self.assertEqual((code, body), (200, installer_bytes))
        self.assertEqual(headers["Content-Length"], str(len(installer_bytes)))
        self.assertEqual(headers["Cache-Control"], "no-store")
        code, body, _ = get(self.server, "/src/horlixtz.ini")
        self.assertEqual((code, body), (200, zones))
        code, info, _ = get(self.server, "/horlix/upd/horlixquicki-sig.txt", "Horlixupdater")
        self.assertEqual(code, 200)
        self.assertEqual(info_fields(info)["url"], url.encode())
        for path in ("/horlix/", "/horlix/download.html"):
            code, body, headers = get(self.server, path)
            self.assertEqual(code, 200, path)
            self.assertTrue(headers["Content-Type"].startswith("text/html"), path)
            self.assertIn(b"1.6.5.1", body, path)
        _, download, _ = get(self.server, "/horlix/download.html")
        self.assertIn(b'href="' + url.encode() + b'"', download)
        _, about, _ = get(self.server, "/horlix/")
        self.assertIn(b"2026-06-01T12:00Z", about)
        self.assertIn(b'href="download.html"', about)

    def test_missing_and_outside_paths(self):
        secret = os.path.join(self.tmp, "secret.txt")
        with open(secret, "wb") as f:
            f.write(b"not for the web")
        for path in ("/horlix/upd/horlixquicki-sig.txt", "/src/horlixtz.ini", "/nothing",
                     "/../secret.txt", "/%2e%2e/secret.txt", "/src/%2e%2e/%2e%2e/secret.txt",
                     "/horlix/../../secret.txt", "/horlix/%00", "/src/horlixtz.ini%00.txt"):
            with self.subTest(path=path):
                code, body, _ = get(self.server, path)
                if self.apache and ".." in urllib.parse.unquote(path):
                    # Apache refuses a path that climbs above the root.
                    self.assertEqual(code, 400)
                    self.assertNotIn(b"not for the web", body)
                else:
                    self.assertEqual((code, body), (404, b"Not Found"))

    def test_only_get_and_head(self):
        self.publish_ok("--zone-file", self.write("zones.ini", zone_file("2026-06-01T12:00Z")))
        for path in (CGI + "?xv=1650&zd=x", "/src/horlixtz.ini", "/horlix/", "/nothing"):
            for method in ("POST", "PUT", "DELETE", "PATCH", "OPTIONS", "PROPFIND", "TRACE", "get"):
                with self.subTest(path=path, method=method):
                    code, body, headers = get(self.server, path, method=method)
                    self.assertEqual((code, body), (405, b"Method Not Allowed"))
                    self.assertEqual(headers.get_all("Allow"), ["GET, HEAD"])
            code, body, headers = get(self.server, path, method="HEAD")
            self.assertEqual((code, body), (get(self.server, path)[0], b""))

    def test_request_log_names_the_agent(self):
        self.publish_ok("--zone-file", self.write("zones.ini", zone_file("2026-06-01T12:00Z")))
        get(self.server, CGI + "?xv=1650&zd=0000-00-00T00:00Z", "Horlix")
        get(self.server, "/src/horlixtz.ini", "Horlixupdater")
        get(self.server, "/nothing", 'Odd "agent"')
        # Apache writes a request's log line after it has sent the answer.
        end = time.time() + 10
        while len(self.server.log_lines) < 3 and time.time() < end:
            time.sleep(0.05)
        # Workers log independently: a later request's line may come first.
        order = ("horlix-update.cgi", "horlixtz.ini", "/nothing")
        lines = sorted(self.server.log_lines,
                       key=lambda line: [p in line for p in order].index(True))
        self.assertEqual(len(lines), 3, lines)
        self.assertRegex(lines[0], r'^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ 127\.0\.0\.1 '
                                   r'"GET /cgi-bin/horlix-update\.cgi\?xv=1650&zd=0000-00-00T00:00Z" '
                                   r'200 8 "Horlix"$')
        self.assertTrue(lines[1].endswith('"GET /src/horlixtz.ini" 200 %d "Horlixupdater"'
                                          % len(zone_file("2026-06-01T12:00Z"))), lines[1])
        self.assertTrue(lines[2].endswith('404 9 "%s"' % self.logged_odd_agent), lines[2])


class BadReplies(ServerCase):
    """A subclassed handler answers whatever a test sets."""

    class Handler(srv.UpdateHandler):
        replies = {}

        def route(self, path, query):
            if path in self.replies:
                return self.replies[path]
            return super().route(path, query)

    handler = Handler

    def test_subclass_sends_arbitrary_bodies(self):
        for body in (b"", b"status=x", b"status=10", b"A" * 300, bytes(range(256))):
            self.Handler.replies[CGI] = (200, body, "text/plain")
            code, got, headers = get(self.server, CGI + "?xv=1650&zd=0000-00-00T00:00Z")
            self.assertEqual((code, got), (200, body))
            self.assertEqual(headers["Content-Length"], str(len(body)))
        self.Handler.replies[CGI] = (500, b"<html>Internal Server Error</html>", "text/html")
        self.assertEqual(get(self.server, CGI)[:2], (500, b"<html>Internal Server Error</html>"))
        self.Handler.replies.clear()
        self.assertEqual(get(self.server, CGI + "?xv=1650&zd=x")[:2], (200, b"status=0"))


class Signing(ServerCase):
    def test_info_file_verifies_with_openssl(self):
        rng = random.Random(5)
        fresh = os.path.join(self.tmp, "fresh.pem")
        openssl("genrsa", "-out", fresh, "1024")
        for key, size in ((DEV_KEY, 1), (DEV_KEY, 4096), (DEV_KEY, 300001), (fresh, 1000)):
            data = bytes(rng.getrandbits(8) for _ in range(size))
            installer = self.write("setup.exe", data)
            version = 1601 + size % 97
            p = self.publish_ok("--installer", installer, "--version", str(version), "--key", key,
                                "--site", self.site)
            if key == fresh:
                self.assertIn("not the one built into", p.stderr)
            code, info, _ = get(self.server, "/horlix/upd/horlixquicki-sig.txt", "Horlixupdater")
            self.assertEqual(code, 200)
            self.assertTrue(info.startswith(b"exever="))
            self.assertLessEqual(len(info), 1023)
            f = info_fields(info)
            url = "%s/horlix/horlix-%d-setup.exe" % (self.site, version)
            self.assertEqual(f["exever"], str(version).encode())
            self.assertEqual(f["size"], str(size).encode())
            self.assertEqual(f["url"], url.encode())
            self.assertEqual(f["dig"], kbref.block_digest(data).hex().encode())
            self.assertEqual(srv.info_file_version(info), version)
            pub = os.path.join(self.tmp, "pub.pem")
            openssl("rsa", "-in", key, "-pubout", "-out", pub)
            sig = os.path.join(self.tmp, "sig.bin")
            with open(sig, "wb") as out:
                out.write(bytes.fromhex(f["sig"].decode()))
            recovered = openssl("pkeyutl", "-verifyrecover", "-pubin", "-inkey", pub, "-in", sig)
            self.assertEqual(recovered, DIGEST_INFO + kbref.block_digest(f["signed"]))
            code, body, _ = get(self.server, url[len(self.site):], "Horlixupdater")
            self.assertEqual((code, body), (200, data))
            _, status, _ = get(self.server, CGI + "?xv=1600&zd=0000-00-00T00:00Z")
            self.assertEqual(status, b"status=2")

    def test_zone_data_signed_when_published_with_the_key(self):
        def signature():
            return get(self.server, "/src/horlixtz-sig.txt")[:2]

        zones = zone_file("2026-06-01T12:00Z")
        p = self.publish_ok("--zone-file", self.write("zones.ini", zones))
        self.assertIn("not signed", p.stderr)
        self.assertEqual(signature()[0], 404)
        # The next publish with the key signs what was published before.
        self.publish_ok("--installer", self.write("setup.exe", b"MZ"), "--version", "1651",
                        "--key", DEV_KEY, "--site", self.site)
        code, text = signature()
        self.assertEqual(code, 200)
        signed, _, sig = text.partition(b"#sig=")
        self.assertEqual(signed, b"zd=2026-06-01T12:00Z;size=%d;dig=%s;"
                         % (len(zones), kbref.block_digest(zones).hex().encode()))
        pub = self.write("pub.pem", openssl("rsa", "-in", DEV_KEY, "-pubout"))
        recovered = openssl("pkeyutl", "-verifyrecover", "-pubin", "-inkey", pub, "-in",
                            self.write("sig.bin", bytes.fromhex(sig.decode().strip())))
        self.assertEqual(recovered, DIGEST_INFO + kbref.block_digest(signed))
        # A new file without the key: the old signature would not fit it.
        self.publish_ok("--zone-file", self.write("zones2.ini", zone_file("2026-07-01T00:00Z")))
        self.assertEqual(signature()[0], 404)

    def test_refusals_change_nothing(self):
        installer = self.write("setup.exe", b"MZ first")
        zones = zone_file("2026-06-01T12:00Z")
        self.publish_ok("--installer", installer, "--version", "1651", "--key", DEV_KEY,
                        "--site", self.site, "--zone-file", self.write("zones.ini", zones))

        def snapshot():
            files = {}
            for folder, _, names in os.walk(self.root):
                for name in names:
                    with open(os.path.join(folder, name), "rb") as f:
                        files[os.path.relpath(os.path.join(folder, name), self.root)] = f.read()
            return files

        before = snapshot()
        other = self.write("other.exe", b"MZ second")
        refusals = [
            ("zone file without Version", ["--zone-file", self.write("bad.ini", zone_file(None))]),
            ("zone file with a bad Date", ["--zone-file", self.write("bad2.ini", zone_file("2026-06-01"))]),
            ("missing zone file", ["--zone-file", os.path.join(self.tmp, "none.ini")]),
            ("version 1600", ["--installer", other, "--version", "1600", "--key", DEV_KEY,
                              "--site", self.site]),
            ("missing key", ["--installer", other, "--version", "1652",
                             "--key", os.path.join(self.tmp, "none.pem"), "--site", self.site]),
            ("reserved path", ["--installer", other, "--version", "1652", "--key", DEV_KEY,
                               "--url", self.site + "/src/horlixtz.ini"]),
            ("cgi path", ["--installer", other, "--version", "1652", "--key", DEV_KEY,
                          "--url", self.site + "/cgi-bin/x.exe"]),
            ("leaving the folder", ["--installer", other, "--version", "1652", "--key", DEV_KEY,
                                    "--url", self.site + "/../x.exe"]),
            ("a folder", ["--installer", other, "--version", "1652", "--key", DEV_KEY,
                          "--url", self.site + "/horlix/"]),
            ("a query", ["--installer", other, "--version", "1652", "--key", DEV_KEY,
                         "--url", self.site + "/x.exe?a=1"]),
            ("a bare fragment", ["--installer", other, "--version", "1652", "--key", DEV_KEY,
                                 "--url", self.site + "/x.exe#"]),
            ("a quote in the site", ["--installer", other, "--version", "1652", "--key", DEV_KEY,
                                     "--site", self.site + '"']),
            ("ftp", ["--installer", other, "--version", "1652", "--key", DEV_KEY,
                     "--url", "ftp://h/x.exe"]),
            ("a good zone file with a bad installer", [
                "--zone-file", self.write("good.ini", zone_file("2026-09-01T00:00Z")),
                "--installer", other, "--version", "1600", "--key", DEV_KEY, "--site", self.site]),
        ]
        for label, args in refusals:
            with self.subTest(label):
                p = publish("--root", self.root, *args)
                self.assertEqual(p.returncode, 1, p.stdout + p.stderr)
                self.assertIn("horlix-publish: ", p.stderr)
                self.assertEqual(snapshot(), before)
        for label, args in (("no part", []), ("no key", ["--installer", other, "--version", "1652",
                                                          "--site", self.site]),
                            ("url and site", ["--installer", other, "--version", "1652", "--key",
                                              DEV_KEY, "--site", self.site, "--url", self.site + "/a"])):
            with self.subTest(label):
                p = publish("--root", self.root, *args)
                self.assertEqual(p.returncode, 2)
                self.assertEqual(snapshot(), before)
        # https is taken like http (the release tools agree on the addresses).
        self.publish_ok("--installer", other, "--version", "1652", "--key", DEV_KEY,
                        "--url", "https://updates.horlix-site.net/horlix/x.exe")
        self.assertTrue(os.path.isfile(os.path.join(self.root, "horlix", "x.exe")))


class Command(unittest.TestCase):
    """The server as a maker starts it."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="horlix-server-cmd-")
        self.root = os.path.join(self.tmp, "root")
        os.makedirs(self.root)
        os.chmod(self.tmp, 0o755)

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    @staticmethod
    def stop(p):
        if p.poll() is None:
            p.kill()
        p.communicate()

    def start(self, *args):
        p = subprocess.Popen([SERVER_CMD, "--root", self.root] + list(args), stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
        self.addCleanup(self.stop, p)
        first = p.stdout.readline()
        self.assertRegex(first, r"^horlix-update-server: serving .* at http://[0-9.]+:\d+/ "
                                r"\(port \d+\)$")
        return p, int(first.rsplit("port ", 1)[1].rstrip(")\n"))

    def assert_loopback_only(self, port):
        """Bound to loopback only: the port is not open on another address."""
        with open("/proc/net/tcp") as f:
            listening = [line.split()[1] for line in f.read().splitlines()[1:]
                         if line.split()[3] == "0A"]
        self.assertIn("0100007F:%04X" % port, listening)
        self.assertNotIn("00000000:%04X" % port, listening)

    def test_port_zero_sigterm_and_log_file(self):
        log = os.path.join(self.tmp, "requests.log")
        p, port = self.start("--port", "0", "--log", log)
        self.assertGreater(port, 0)
        req = urllib.request.Request("http://127.0.0.1:%d%s?xv=1650&zd=0000-00-00T00:00Z" % (port, CGI),
                                     headers={"User-Agent": "Horlixupdater"})
        with urllib.request.urlopen(req, timeout=10) as r:
            self.assertEqual(r.read(), b"status=0")
        self.assert_loopback_only(port)
        p.send_signal(signal.SIGTERM)
        self.assertEqual(p.wait(timeout=10), 0)
        self.assertIn("horlix-update-server: stopped", p.stderr.read())
        with open(log) as f:
            lines = f.read().splitlines()
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].endswith('200 8 "Horlixupdater"'), lines[0])
        # Nothing listens on the port any more (connections of the last
        # requests may still be closing, hence SO_REUSEADDR).
        with socket.socket() as s:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            s.bind(("127.0.0.1", port))

    def test_site_command_first_line_log_and_nothing_left_after_sigterm(self):
        logs = os.path.join(self.tmp, "logs")
        p = subprocess.Popen([SITE_CMD, "--root", self.root, "--port", "0", "--log", logs,
                              "--cgi", CGI_PROGRAM], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True)
        self.addCleanup(self.stop, p)
        first = p.stdout.readline()
        self.assertRegex(first, r"^horlix-site: serving .* at http://127\.0\.0\.1:\d+/ \(port \d+\)$")
        port = int(first.rsplit("port ", 1)[1].rstrip(")\n"))
        req = urllib.request.Request("http://127.0.0.1:%d%s?xv=1650&zd=x" % (port, CGI),
                                     headers={"User-Agent": "Horlixupdater"})
        with urllib.request.urlopen(req, timeout=10) as r:
            self.assertEqual(r.read(), b"status=0")
        self.assert_loopback_only(port)

        def descendants():
            parents = {}
            for pid in filter(str.isdigit, os.listdir("/proc")):
                try:
                    with open("/proc/%s/stat" % pid) as f:
                        parents[int(pid)] = int(f.read().rsplit(")", 1)[1].split()[1])
                except OSError:
                    pass
            found, grown = {p.pid}, True
            while grown:
                more = {pid for pid, parent in parents.items() if parent in found} - found
                found |= more
                grown = bool(more)
            return found - {p.pid}

        httpd = descendants()
        self.assertGreaterEqual(len(httpd), 2, "httpd and its workers")
        p.send_signal(signal.SIGTERM)
        self.assertEqual(p.wait(timeout=30), 0)
        self.assertIn("horlix-site: stopped", p.stderr.read())
        self.assertEqual([pid for pid in httpd if os.path.exists("/proc/%d" % pid)], [])
        with open(os.path.join(logs, "access.log")) as f:
            lines = f.read().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertTrue(lines[0].endswith('200 8 "Horlixupdater"'), lines[0])
        with socket.socket() as s:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            s.bind(("127.0.0.1", port))

    def test_site_refuses_a_root_its_workers_cannot_read_and_changes_nothing(self):
        if os.geteuid() != 0:
            self.skipTest("only root's workers change user")
        os.chmod(self.tmp, 0o700)
        p = subprocess.run([SITE_CMD, "--root", self.root, "--port", "0", "--cgi", CGI_PROGRAM],
                           capture_output=True, text=True, timeout=30)
        self.assertEqual(p.returncode, 1)
        self.assertRegex(p.stderr, r"^horlix-site: the workers \(user nobody\) cannot read %s: .*"
                                   r"chmod o\+rx" % self.root)
        self.assertEqual(stat.S_IMODE(os.stat(self.tmp).st_mode), 0o700)

    def test_site_over_https_with_a_plain_port_beside(self):
        sys.path.insert(0, os.path.join(SOURCE, "tests", "loopback"))
        import loopback as lb
        lb.WORK = self.tmp
        pki = lb.make_pki()
        ca = self.write_ca(pki["ca"])
        http_port = free_port()
        p = subprocess.Popen([SITE_CMD, "--root", self.root, "--port", "0", "--cgi", CGI_PROGRAM,
                              "--tls-cert", pki["good"][0], "--tls-key", pki["good"][1],
                              "--http-port", str(http_port)], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
        self.addCleanup(self.stop, p)
        first = p.stdout.readline()
        m = re.search(r" at https://127\.0\.0\.1:(\d+)/ \(port \d+\), http://127\.0\.0\.1:%d/ "
                      % http_port, first)
        self.assertIsNotNone(m, first)
        query = "%s?xv=1650&zd=x" % CGI
        for versions, works in (((ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_2), True),
                                ((ssl.TLSVersion.TLSv1_3, ssl.TLSVersion.TLSv1_3), True),
                                ((ssl.TLSVersion.TLSv1_1, ssl.TLSVersion.TLSv1_1), False)):
            with self.subTest(versions=versions):
                context = ssl.create_default_context(cafile=ca)
                context.set_ciphers("DEFAULT:@SECLEVEL=0")
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore", DeprecationWarning)
                    context.minimum_version, context.maximum_version = versions
                url = "https://localhost:%s%s" % (m.group(1), query)
                if works:
                    with urllib.request.urlopen(url, context=context, timeout=10) as r:
                        self.assertEqual(r.read(), b"status=0")
                else:
                    with self.assertRaises(urllib.error.URLError):
                        urllib.request.urlopen(url, context=context, timeout=10)
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (http_port, query), timeout=10) as r:
            self.assertEqual(r.read(), b"status=0")
        p.send_signal(signal.SIGTERM)
        self.assertEqual(p.wait(timeout=30), 0)
        for args in (["--tls-cert", pki["good"][0]], ["--http-port", "1"]):
            r = subprocess.run([SITE_CMD, "--root", self.root, "--port", "0", "--cgi", CGI_PROGRAM]
                               + args, capture_output=True, text=True, timeout=30)
            self.assertEqual(r.returncode, 2, args)

    def write_ca(self, der):
        pem = os.path.join(self.tmp, "ca.pem")
        subprocess.run(["openssl", "x509", "-inform", "DER", "-in", der, "-out", pem], check=True)
        return pem

    def test_two_servers_two_ports_and_a_taken_port(self):
        a, port_a = self.start("--port", "0")
        b, port_b = self.start("--port", "0")
        self.assertNotEqual(port_a, port_b)
        c = subprocess.run([SERVER_CMD, "--root", self.root, "--port", str(port_a)],
                           capture_output=True, text=True, timeout=30)
        self.assertEqual(c.returncode, 1)
        self.assertIn("cannot listen on 127.0.0.1:%d" % port_a, c.stderr)
        for p in (a, b):
            p.send_signal(signal.SIGTERM)
            self.assertEqual(p.wait(timeout=10), 0)

    def test_bind_address_and_bad_usage(self):
        p, port = self.start("--port", "0", "--bind", "127.0.0.2")
        conn = http.client.HTTPConnection("127.0.0.2", port, timeout=10)
        conn.request("GET", CGI + "?xv=1650&zd=x")
        self.assertEqual(conn.getresponse().read(), b"status=0")
        conn.close()
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", port), timeout=5).close()
        p.send_signal(signal.SIGTERM)
        self.assertEqual(p.wait(timeout=10), 0)
        for args in ([], ["--port", "0"], ["--root", os.path.join(self.tmp, "none"), "--port", "0"]):
            r = subprocess.run([SERVER_CMD] + args, capture_output=True, text=True, timeout=30)
            self.assertEqual(r.returncode, 2, args)


class ApacheCrc(Crc):
    apache = True


class ApacheStatus(Status):
    apache = True


class ApacheFiles(Files):
    apache = True
    logged_odd_agent = 'Odd \\"agent\\"'

    def test_texts_are_plain_and_ht_files_hidden(self):
        folder = os.path.join(self.root, "horlix")
        os.makedirs(folder)
        for name in ("notes.txt", "extra.ini", ".htaccess", ".htpasswd"):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(b"x=1\n")
        for name in ("notes.txt", "extra.ini"):
            code, _, headers = get(self.server, "/horlix/" + name)
            self.assertEqual((code, headers["Content-Type"]), (200, "text/plain"), name)
        for name in (".htaccess", ".htpasswd"):
            self.assertEqual(get(self.server, "/horlix/" + name)[0], 403, name)

    def test_head_ranges_and_no_store_on_what_the_programs_read(self):
        rng = random.Random(9)
        installer = bytes(rng.getrandbits(8) for _ in range(5000))
        self.publish_ok("--installer", self.write("setup.exe", installer), "--version", "1651",
                        "--key", DEV_KEY, "--site", self.site,
                        "--zone-file", self.write("zones.ini", zone_file("2026-06-01T12:00Z")))
        table = [
            # path, status, read by the programs (no-store)
            (CGI + "?xv=1650&zd=0000-00-00T00:00Z", 200, True),
            (CGI + "?req=tzinfo", 200, True),
            (CGI + "?xv=", 400, True),
            ("/src/horlixtz.ini", 200, True),
            ("/src/horlixtz-sig.txt", 200, True),
            ("/horlix/upd/horlixquicki-sig.txt", 200, True),
            ("/horlix/horlix-1651-setup.exe", 200, True),
            ("/horlix/horlix-1652-setup.exe", 404, True),
            ("/horlix/", 200, False),
            ("/horlix/download.html", 200, False),
        ]
        for path, status, program_reads in table:
            with self.subTest(path=path):
                code, body, headers = get(self.server, path)
                self.assertEqual(code, status)
                self.assertEqual(headers.get("Cache-Control") == "no-store", program_reads,
                                 headers.get("Cache-Control"))
                code, head_body, head_headers = get(self.server, path, method="HEAD")
                self.assertEqual((code, head_body), (status, b""))
                # (Apache passes a CGI's Content-Length on HEAD only when the
                # body has arrived before the headers go out.)
                if status == 200 and not path.startswith(CGI):
                    self.assertEqual(head_headers["Content-Length"], str(len(body)))
                    self.assertIsNotNone(headers["Last-Modified"])
        code, part, headers = get(self.server, "/horlix/horlix-1651-setup.exe",
                                  headers=[("Range", "bytes=1000-1999")])
        self.assertEqual((code, part), (206, installer[1000:2000]))
        self.assertEqual(headers["Content-Range"], "bytes 1000-1999/%d" % len(installer))
        _, zones, _ = get(self.server, "/src/horlixtz.ini")
        code, tail, _ = get(self.server, "/src/horlixtz.ini", headers=[("Range", "bytes=-10")])
        self.assertEqual((code, tail), (206, zones[-10:]))


class ApacheSlowClients(ServerCase):
    """One client trickling the headers of 300 requests neither starves the
    site nor holds a connection for long."""

    apache = True

    def test_trickling_connections(self):
        held = []
        started = time.time()
        try:
            for _ in range(300):
                s = socket.create_connection(("127.0.0.1", self.server.port), timeout=5)
                s.sendall(b"GET /horlix/ HTTP/1.1\r\nHost: x\r\nX-Slow: ")
                s.setblocking(False)
                held.append(s)
            time.sleep(1)
            fresh = time.time()
            code, body, _ = get(self.server, CGI + "?xv=1650&zd=x")
            self.assertEqual((code, body), (200, b"status=0"))
            answered = time.time() - fresh
            self.assertLess(answered, 5, "a fresh request waited for the slow ones")
            # A byte every 2 s each, until the server has closed them all
            # (it answers 408 or just closes); 30 s at the most.
            open_ = set(held)
            while open_ and time.time() - started < 30:
                for s in list(open_):
                    try:
                        if s.recv(4096) == b"":
                            open_.discard(s)
                            continue
                    except BlockingIOError:
                        pass
                    except OSError:
                        open_.discard(s)
                        continue
                    try:
                        s.send(b"a")
                    except BlockingIOError:
                        pass
                    except OSError:
                        open_.discard(s)
                time.sleep(2)
            self.assertEqual(len(open_), 0, "connections still open after %.0f s"
                             % (time.time() - started))
            print("fresh request answered in %.2f s; all 300 closed by the server within %.0f s"
                  % (answered, time.time() - started), file=sys.stderr)
        finally:
            for s in held:
                s.close()


class CgiReference(unittest.TestCase):
    """The compiled update CGI, run the way a web server runs it, answers
    random queries exactly as the reference server's handler does, over
    releases of odd forms."""

    INFOS = [None, b"exever=1651\nsize=1;", b"exever= \t-1700;", b"exever=+1700", b"exever=;",
             b"exever=0001652x", b"url=x#exever=9999", b"exever=99999999999999999999999",
             b"no version here", b"x" * 1020 + b"exever=1700"]
    ZONES = [None, zone_file("2026-06-01T12:00Z"), b"[version]\n date = 2026-06-01T12:00Z \n",
             b"[ Version ]\rDate=2026-06-01T12:00Z\r", b"[Version]\r\nDate=2026-06-01\r\n",
             b"[Version]\r\nRelease=x\r\n[Version]\r\nDate=2027-01-01T00:00Z\r\n",
             b"Date=2026-06-01T12:00Z\r\n[Version]\r\n", b"[Version\r\nDATE=2026-06-01T12:00Z\xa0\r\n",
             b"[Version]\r\nDate=2026-06-01T12:00Z\r\n[Version]\r\nDate=2028-01-01T00:00Z\r\n"]
    NAMES = ["xv", "zd", "req", "x%76", "XV", "xv ", "", "z%64", "r+eq"]
    VALUES = ["1650", "1651", "01651", "", "abc", "+1651", "%2B1", "16%350", "tzinfo", "tzinf%6F",
              "2026-06-01T12:00Z", "2026-06-01T11:59Z", "2026-06-01T12:00Z%0A", "2026-06-01T12%3A01Z",
              "2026-06-01T12:00Z+", "%D9%A0026-06-01T12:00Z", "99999999999999999999999999", "%",
              "%4", "2027-01-01T00:00Z", "1651%00", "%00", "%FF", "\xe9", "%D9%A1", "1" * 4301,
              "1" * 8192, "0" * 8193, "2026-06-01T12:00Z" * 600]
    METHODS = ["GET"] * 8 + ["HEAD", "HEAD", "POST", "PUT", "DELETE", "OPTIONS", "PROPFIND", "get"]

    def cgi(self, root, method, query):
        """Status, header fields and body of the CGI's answer."""
        env = {"HORLIX_ROOT": root, "QUERY_STRING": query.encode("latin-1"), "REQUEST_METHOD": method}
        out = subprocess.run([CGI_PROGRAM], env=env, capture_output=True, check=True).stdout
        head, _, body = out.partition(b"\r\n\r\n")
        fields = dict(line.split(b": ", 1) for line in head.split(b"\r\n"))
        self.assertEqual(fields[b"Cache-Control"], b"no-store")
        return int(fields[b"Status"].split()[0]), fields, body

    def test_random_queries_over_odd_releases(self):
        rng = random.Random(18)
        tmp = tempfile.mkdtemp(prefix="horlix-cgi-test-")
        self.addCleanup(shutil.rmtree, tmp, True)
        reference = srv.UpdateHandler.__new__(srv.UpdateHandler)
        reference.server = types.SimpleNamespace(release=srv.Release(tmp))
        seen = set()
        for info in self.INFOS:
            for zones in self.ZONES:
                for relative, data in ((srv.INFO_FILE, info), (srv.ZONE_FILE, zones)):
                    path = reference.server.release.path(relative)
                    if data is None:
                        if os.path.exists(path):
                            os.remove(path)
                    else:
                        os.makedirs(os.path.dirname(path), exist_ok=True)
                        with open(path, "wb") as f:
                            f.write(data)
                fixed = ["req=tzinfo", "xv=1651&zd=2026-06-01T12:00Z", "xv=9999&zd=2026-06-01T12:00Z"]
                for n in range(12):
                    query = fixed[n] if n < len(fixed) else "&".join("%s=%s" % (rng.choice(self.NAMES), rng.choice(self.VALUES))
                                     if rng.random() < 0.9 else rng.choice(self.NAMES)
                                     for _ in range(rng.randint(0, 3)))
                    method = "GET" if n < len(fixed) else rng.choice(self.METHODS)
                    code, body, _ = reference.answer(method, CGI + "?" + query)
                    with self.subTest(info=info, zones=zones, method=method, query=query[:80]):
                        got, fields, got_body = self.cgi(tmp, method, query)
                        self.assertEqual((got, got_body), (code, b"" if method == "HEAD" else body))
                        self.assertEqual(fields[b"Content-Length"], str(len(body)).encode())
                        self.assertEqual(fields.get(b"Allow"), b"GET, HEAD" if code == 405 else None)
                    seen.add(b"crc=" if body.startswith(b"crc=") else body)
        # Every kind of answer came up.
        self.assertLessEqual({b"status=0", b"status=1", b"status=2", b"error=bad query",
                              b"error=no zone data file", b"crc=", b"Method Not Allowed"}, seen)


if __name__ == "__main__":
    unittest.main(verbosity=2)
