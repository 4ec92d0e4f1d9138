"""Horlix's reference update server: the maker's web site and its update CGI.

Everything is answered from a release folder that tools/horlix-publish fills:

    ROOT/src/horlixtz.ini                  the current zone data file
    ROOT/src/horlixtz-sig.txt              the maker's signature of it
    ROOT/horlix/upd/horlixquicki-sig.txt   the signed installer information file
    ROOT/horlix/index.html                 the program's page (/horlix/)
    ROOT/horlix/download.html              the download page
    ROOT/<path of url=>                    the installer

Requests (HTTP GET or HEAD; any other method is answered with HTTP 405 and
"Allow: GET, HEAD"; every reply carries Content-Length and no-cache headers):

    /cgi-bin/horlix-update.cgi?xv=V&zd=D   "status=N"
        2  when V is below the published version (the info file's exever=),
        1  otherwise, when D is older than the published zone data file's
           Date in section Version (both "YYYY-MM-DDThh:mmZ", compared as
           text; a D of another form counts as older than any date),
        0  otherwise (also when nothing is published).
        A missing or non-decimal V, or one of more than 8192 digits, is
        answered with HTTP 400 and "error=bad query".
    /cgi-bin/horlix-update.cgi?req=tzinfo  "crc=%x;size=%u;" of the zone data
        file (CRC-32 of IEEE 802.3, lower-case hex); HTTP 404 and
        "error=no zone data file" when none is published.
    any other path                         the file under ROOT (a path ending
        in "/" serves its index.html); HTTP 404 "Not Found" when missing.

The folder is read at every request, so a release published while the server
runs takes effect at once. Each request is logged as one line:

    2026-12-08T09:00:00Z 127.0.0.1 "GET /src/horlixtz.ini" 200 51234 "Horlix"

the last field being the request's User-Agent.

Tests import this module: make_server() builds a server for a folder,
UpdateHandler can be subclassed to answer anything (route() decides the
reply), and ServerThread runs a server in the background. SiteProcess runs
the same folder under Apache httpd instead (server/horlix-site).
"""

import datetime
import errno
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CGI_PATH = "/cgi-bin/horlix-update.cgi"
ZONE_FILE = "src/horlixtz.ini"
ZONE_SIGNATURE_FILE = "src/horlixtz-sig.txt"
INFO_FILE = "horlix/upd/horlixquicki-sig.txt"
PAGE_FILES = ("horlix/index.html", "horlix/download.html")
# ASCII digits only, and nothing after the Z (not even a newline, which "$"
# would let through): the compiled CGI (server/cgi) reads dates the same way.
DATE_FORM = re.compile(r"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}Z\Z")
INFO_TEXT_MAX = 1023
# The longest xv the compiled CGI takes (more digits are a bad query there,
# and Python's int() refuses them anyway).
FIELD_MAX = 8192
ALLOWED_METHODS = ("GET", "HEAD")


# ---------------------------------------------------------------- CRC-32

def _crc_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    return table


_CRC_TABLE = _crc_table()


def crc32(data, crc=0):
    """The reflected CRC-32 of zip and IEEE 802.3 (polynomial 0xEDB88320,
    initial value all ones, final complement). crc continues a previous
    result, so a file may be fed in pieces."""
    c = crc ^ 0xFFFFFFFF
    table = _CRC_TABLE
    for b in data:
        c = table[(c ^ b) & 0xFF] ^ (c >> 8)
    return c ^ 0xFFFFFFFF


# ------------------------------------------------------- the release folder

def zone_data_date(data):
    """Value of Date in section Version of an INI text (bytes), the way the
    Windows profile functions find it: names without regard to case, blanks
    around names and values ignored, the first matching section and key.
    None when there is none."""
    section = None
    for raw in data.splitlines():
        line = raw.decode("latin-1").strip()
        if line.startswith("["):
            end = line.find("]")
            name = line[1:end if end > 0 else len(line)].strip()
            if section is not None and section.lower() == "version":
                return None
            section = name
            continue
        if section is None or section.lower() != "version" or "=" not in line:
            continue
        key, value = line.split("=", 1)
        if key.strip().lower() == "date":
            return value.strip()
    return None


def info_file_version(data):
    """The exever= number of an info file (bytes) as the updater reads it:
    first occurrence in the text before the first "#", leading blanks and a
    sign allowed, digits up to the first other character. None when the text
    has no such key."""
    text = data[:INFO_TEXT_MAX]
    hash_at = text.find(b"#")
    signed = text if hash_at < 0 else text[:hash_at]
    at = signed.find(b"exever=")
    if at < 0:
        return None
    m = re.match(rb"[ \t\n\v\f\r]*([+-]?)(\d*)", signed[at + 7:])
    if not m.group(2):
        return 0
    value = int(m.group(2))
    return -value if m.group(1) == b"-" else value


def decimal_below(digits, number):
    """Whether the decimal text digits is below the number (>= 0), compared
    as text so that no length of digits is too long."""
    digits = digits.lstrip("0")
    other = str(number)
    return (len(digits), digits) < (len(other), other)


class Release:
    """What is published in a release folder, read from disk when asked."""

    def __init__(self, root):
        self.root = os.path.abspath(root)
        self._crc_cache = {}

    def path(self, relative):
        return os.path.join(self.root, *relative.split("/"))

    def read(self, relative):
        try:
            with open(self.path(relative), "rb") as f:
                return f.read()
        except OSError:
            return None

    def version(self):
        """Published program version (exever= of the info file), or None."""
        data = self.read(INFO_FILE)
        return None if data is None else info_file_version(data)

    def zone_date(self):
        """Date of the published zone data file when it has the fixed form."""
        data = self.read(ZONE_FILE)
        if data is None:
            return None
        date = zone_data_date(data)
        return date if date is not None and DATE_FORM.match(date) else None

    def zone_info(self):
        """(crc, size) of the published zone data file, or None. The CRC is
        kept for a file whose size and time stamp have not changed."""
        path = self.path(ZONE_FILE)
        try:
            st = os.stat(path)
        except OSError:
            return None
        key = (st.st_size, st.st_mtime_ns, st.st_ino)
        if self._crc_cache.get("key") != key:
            data = self.read(ZONE_FILE)
            if data is None:
                return None
            self._crc_cache = {"key": key, "value": (crc32(data), len(data))}
        return self._crc_cache["value"]

    def status(self, xv, zd):
        """xv is the program's version as decimal digits (or a number)."""
        version = self.version()
        if version is not None and version >= 0 and decimal_below(str(xv), version):
            return 2
        date = self.zone_date()
        if date is not None:
            if zd is None or not DATE_FORM.match(zd) or zd < date:
                return 1
        return 0

    def static_file(self, url_path):
        """The file for a request path inside the folder, or None. Paths
        that leave the folder are refused."""
        relative = urllib.parse.unquote(url_path).lstrip("/")
        if "\0" in relative:
            return None
        if url_path.endswith("/"):
            relative += "index.html"
        full = os.path.realpath(os.path.join(self.root, relative))
        if not (full == self.root or full.startswith(self.root + os.sep)):
            return None
        return full if os.path.isfile(full) else None


# ------------------------------------------------------------- the handler

class UpdateHandler(BaseHTTPRequestHandler):
    """Answers the update CGI and the site's files from server.release.

    Subclasses change replies by overriding route() (or one of the reply_*
    methods); each returns (http_status, body_bytes, content_type)."""

    server_version = "HorlixUpdateServer/1.0"
    protocol_version = "HTTP/1.0"

    def parse_request(self):
        if not super().parse_request():
            return False
        if self.command not in ALLOWED_METHODS:
            self.send_body(*self.answer(self.command, self.path))
            return False
        return True

    def do_GET(self):
        self.send_body(*self.answer(self.command, self.path))

    do_HEAD = do_GET

    def answer(self, method, target):
        """(status, body, content type) for a request; a HEAD answer's body
        is dropped when it is sent."""
        if method not in ALLOWED_METHODS:
            return 405, b"Method Not Allowed", "text/plain"
        parts = urllib.parse.urlsplit(target)
        try:
            return self.route(parts.path, parts.query)
        except Exception as e:
            # A fault (here or in a test's handler) still answers, but what
            # went wrong goes to the log only, never to the client.
            self.server.write_log("error answering %r: %s: %s" % (target, type(e).__name__, e))
            return 500, b"Internal Server Error", "text/plain"

    def route(self, path, query):
        if path == CGI_PATH:
            return self.reply_cgi(query)
        return self.reply_file(path)

    def reply_cgi(self, query):
        fields = urllib.parse.parse_qs(query, keep_blank_values=True)
        if fields.get("req") == ["tzinfo"]:
            return self.reply_tzinfo()
        xv = fields.get("xv", [""])[0]
        if re.fullmatch(r"[0-9]+", xv) is None or len(xv) > FIELD_MAX:
            return 400, b"error=bad query", "text/plain"
        zd = fields.get("zd", [None])[0]
        return self.reply_status(xv, zd)

    def reply_status(self, xv, zd):
        return 200, ("status=%d" % self.server.release.status(xv, zd)).encode(), "text/plain"

    def reply_tzinfo(self):
        info = self.server.release.zone_info()
        if info is None:
            return 404, b"error=no zone data file", "text/plain"
        return 200, ("crc=%x;size=%u;" % info).encode(), "text/plain"

    def reply_file(self, path):
        full = self.server.release.static_file(path)
        if full is None:
            return 404, b"Not Found", "text/plain"
        with open(full, "rb") as f:
            body = f.read()
        if full.endswith(".html"):
            ctype = "text/html; charset=iso-8859-1"
        elif full.endswith((".txt", ".ini")):
            ctype = "text/plain"
        else:
            ctype = "application/octet-stream"
        return 200, body, ctype

    def send_body(self, code, body, ctype):
        self.body_length = len(body)
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        # Replies change whenever a release is published.
        self.send_header("Cache-Control", "no-store")
        self.send_header("Expires", "0")
        if code == 405:
            self.send_header("Allow", ", ".join(ALLOWED_METHODS))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def log_request(self, code="-", size="-"):
        agent = self.headers.get("User-Agent", "") if self.headers else ""
        stamp = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
        line = '%s %s "%s %s" %s %s "%s"' % (
            stamp, self.client_address[0], self.command, self.path, code,
            getattr(self, "body_length", "-"), agent.replace('"', "'"))
        self.server.write_log(line)

    def log_message(self, format, *args):
        # Errors of the HTTP layer (bad request lines and the like).
        self.server.write_log("%s %s" % (self.client_address[0], format % args))


class UpdateServer(ThreadingHTTPServer):
    daemon_threads = True
    # SO_REUSEADDR: a restarted server may bind over connections of the last
    # one that are still closing; on Linux a second listening server still
    # cannot bind the port.
    allow_reuse_address = True

    def __init__(self, address, handler, release, log_file):
        self.release = release
        self.log_file = log_file
        self.log_lock = threading.Lock()
        self.log_lines = []
        super().__init__(address, handler)

    @property
    def port(self):
        return self.server_address[1]

    @property
    def url(self):
        return "http://%s:%d" % (self.server_address[0], self.server_address[1])

    def write_log(self, line):
        with self.log_lock:
            self.log_lines.append(line)
            if self.log_file is not None:
                self.log_file.write(line + "\n")
                self.log_file.flush()


def make_server(root, port=0, bind="127.0.0.1", handler=UpdateHandler, log_file=sys.stderr):
    """A server for the release folder root on bind:port (0 = a free port,
    see .port). log_file receives one line per request (None: kept only in
    .log_lines)."""
    return UpdateServer((bind, port), handler, Release(root), log_file)


class ServerThread:
    """Runs a server in a background thread: with ServerThread(server): ..."""

    def __init__(self, server):
        self.server = server
        self.thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1},
                                       daemon=True)

    def __enter__(self):
        self.thread.start()
        return self.server

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(timeout=10)
        return False


class SiteProcess:
    """server/horlix-site (Apache httpd) serving root in the background, in
    the place of a ServerThread: with SiteProcess(root) as server: ... It has
    .port, .url and .log_lines (the request log, kept after it stopped).
    tls=(CERT, KEY) serves HTTPS.
    Raises OSError(EADDRINUSE) when the port is taken."""

    def __init__(self, root, port=0, bind="127.0.0.1", cgi=None, tls=None):
        self.server = self
        self.logs = tempfile.mkdtemp(prefix="horlix-site-logs-")
        self._lines = None
        command = [os.path.join(os.path.dirname(os.path.realpath(__file__)), "horlix-site"),
                   "--root", root, "--port", str(port), "--bind", bind, "--log", self.logs]
        if cgi:
            command += ["--cgi", cgi]
        if tls:
            command += ["--tls-cert", tls[0], "--tls-key", tls[1]]
        with open(os.path.join(self.logs, "site.err"), "wb") as err:
            self.proc = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                         stderr=err, text=True)
        first = self.proc.stdout.readline()
        m = re.search(r" at (https?://\S+):(\d+)/ \(port \d+\)", first)
        if m is None:
            self.proc.wait(timeout=30)
            with open(os.path.join(self.logs, "site.err")) as f:
                said = f.read()
            shutil.rmtree(self.logs, ignore_errors=True)
            raise OSError(errno.EADDRINUSE if "cannot listen" in said else errno.EIO,
                          "horlix-site did not start: %s" % said.strip())
        self.url = "%s:%s" % (m.group(1), m.group(2))
        self.port = int(m.group(2))

    @property
    def log_lines(self):
        if self._lines is not None:
            return self._lines
        try:
            with open(os.path.join(self.logs, "access.log")) as f:
                return f.read().splitlines()
        except OSError:
            return []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self._lines is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.proc.stdout.close()
            self._lines = self.log_lines
            shutil.rmtree(self.logs, ignore_errors=True)
        return False


# ---------------------------------------------------------- the command

def main(argv=None):
    import argparse
    import signal

    parser = argparse.ArgumentParser(
        prog="horlix-update-server",
        description="Serves a published Horlix release: the update CGI, the zone data file, "
                    "the signed installer information file, the installer and the web pages.")
    parser.add_argument("--root", required=True, help="release folder (see tools/horlix-publish)")
    parser.add_argument("--port", type=int, required=True, help="TCP port; 0 picks a free one")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--log", help="append the request log to this file instead of standard error")
    args = parser.parse_args(argv)

    if not os.path.isdir(args.root):
        parser.error("no such folder: %s" % args.root)
    log_file = open(args.log, "a") if args.log else sys.stderr
    try:
        server = make_server(args.root, args.port, args.bind, log_file=log_file)
    except OSError as e:
        print("horlix-update-server: cannot listen on %s:%d: %s" % (args.bind, args.port, e.strerror),
              file=sys.stderr)
        return 1

    def stop(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, stop)
    print("horlix-update-server: serving %s at %s/ (port %d)" %
          (os.path.abspath(args.root), server.url, server.port), flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
        print("horlix-update-server: stopped", file=sys.stderr, flush=True)
        if args.log:
            log_file.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
