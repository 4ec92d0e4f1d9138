"""Shared pieces of the scenarios that run the loopback builds under Wine
against the reference update server: the fixed port and its lock, the Wine
environment, releases, signing, and running a console program with its key
press.

Environment: HORLIX_WINDOWS_BIN (the Windows tree's bin folder),
HORLIX_SOURCE_DIR, HORLIX_SIGN (horlix-sign), HORLIX_LOOPBACK_WORK (a work
folder in the build tree), HORLIX_WINEPREFIX (default build/wineprefix),
HORLIX_LOOPBACK_SERVER=apache (serve with Apache httpd through
server/horlix-site and HORLIX_UPDATE_CGI instead of the reference server).
"""

import errno
import fcntl
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys
import threading
import time
import warnings

SKIP = 77
SOURCE = os.environ.get("HORLIX_SOURCE_DIR") or os.path.dirname(os.path.dirname(
    os.path.dirname(os.path.abspath(__file__))))
BIN = os.environ.get("HORLIX_WINDOWS_BIN", os.path.join(SOURCE, "build", "windows", "bin"))
WORK = os.environ.get("HORLIX_LOOPBACK_WORK", os.path.join(SOURCE, "build", "native", "loopback"))
SIGN = os.environ.get("HORLIX_SIGN", os.path.join(SOURCE, "build", "native", "bin", "horlix-sign"))
PUBLISH = os.path.join(SOURCE, "tools", "horlix-publish")
DEV_KEY = os.path.join(SOURCE, "tools", "devkey", "horlix-dev-private.pem")
DIGEST_INFO = bytes.fromhex("3020300c06082a864886f70d020505000410")
APACHE = os.environ.get("HORLIX_LOOPBACK_SERVER") == "apache"

sys.path.insert(0, os.path.join(SOURCE, "server"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "bignum"))

import horlix_update_server as srv  # noqa: E402
import kbref  # noqa: E402


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def log(*parts):
    print(*parts, flush=True)


def check(condition, what):
    if not condition:
        raise Failure(what)
    log("  ok:", what)


def check_equal(actual, expected, what):
    if actual != expected:
        raise Failure("%s:\n  expected %r\n  got      %r" % (what, expected, actual))
    log("  ok:", what, "=", repr(actual) if len(repr(actual)) < 200 else "(%d chars)" % len(actual))


def loopback_site():
    """The web site the loopback builds were made with: (address, port)."""
    path = os.path.join(BIN, "horlix-loopback-site.txt")
    try:
        with open(path) as f:
            site = f.read().strip()
    except OSError:
        raise Skip("no %s: the Windows tree is not built" % path)
    return site, int(site.rsplit(":", 1)[1])


def program_version():
    """The programs' own version number (1650 for 1.6.5.0) as the Windows tree
    was configured with it."""
    path = os.path.join(BIN, os.pardir, "generated", "horlix_version.h")
    try:
        with open(path) as f:
            m = re.search(r"^#define HORLIX_VERSION_NUMBER (\d+)$", f.read(), re.M)
    except OSError:
        raise Skip("no %s: the Windows tree is not configured" % path)
    if m is None:
        raise Failure("%s names no HORLIX_VERSION_NUMBER" % path)
    return int(m.group(1))


def wine_env():
    env = dict(os.environ)
    env["WINEPREFIX"] = os.environ.get("HORLIX_WINEPREFIX", os.path.join(SOURCE, "build", "wineprefix"))
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env["WINEARCH"] = "win64"
    # WinINet's preconfigured access would take a proxy from these.
    for name in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(name, None)
    return env


def prepare_wine(env):
    """Starts the wine server (kept a minute past its last program) and the
    prefix's services with every stream detached: started by a program under
    test they would inherit its pipes and hold them open after it ended."""
    for args in (["wineserver", "-p60"], ["wine", "cmd", "/c", "exit"]):
        subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, start_new_session=True, timeout=180, check=False)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def program_copy(name):
    """A copy of a Windows program from the build tree (or of the program at
    the path name): a build running meanwhile may relink the original."""
    exe = os.path.join(BIN, name)
    if not os.path.isfile(exe):
        raise Skip("%s is not built" % exe)
    if shutil.which("wine") is None:
        raise Skip("wine is not installed")
    folder = os.path.join(WORK, "bin")
    os.makedirs(folder, exist_ok=True)
    copy = os.path.join(folder, os.path.basename(name))
    shutil.copy2(exe, copy)
    return copy


class PortLock:
    """Holds the loopback port for one scenario: a lock file against other
    runs of this tree, then a server bound to the port (waiting while
    something else holds it)."""

    def __init__(self, port, seconds=180):
        self.port = port
        self.seconds = seconds
        self.lock = None

    def __enter__(self):
        self.lock = open("/tmp/horlix-loopback-%d.lock" % self.port, "w")
        fcntl.flock(self.lock, fcntl.LOCK_EX)
        return self

    def __exit__(self, *exc):
        fcntl.flock(self.lock, fcntl.LOCK_UN)
        self.lock.close()
        return False

    def serve(self, root, handler=srv.UpdateHandler, tls=None):
        """A running server (srv.ServerThread) on the port for root; with
        HORLIX_LOOPBACK_SERVER=apache, Apache httpd (srv.SiteProcess) serves a
        release that the plain handler would. tls=(CERT, KEY) serves HTTPS
        (TLS 1.2 and later), tls=(CERT, KEY, "TLSv1") offers TLS 1.0 only."""
        end = time.time() + self.seconds
        while True:
            try:
                if APACHE and handler is srv.UpdateHandler and (tls is None or len(tls) == 2):
                    return srv.SiteProcess(root, self.port, cgi=os.environ.get("HORLIX_UPDATE_CGI"),
                                           tls=tls)
                server = srv.make_server(root, self.port, handler=handler,
                                         log_file=None)
                if tls is not None:
                    server.socket = tls_context(*tls).wrap_socket(server.socket, server_side=True)
                return srv.ServerThread(server)
            except OSError as e:
                if e.errno != errno.EADDRINUSE or time.time() > end:
                    raise Failure("cannot listen on loopback port %d: %s (another program holds"
                                  " it: configure the Windows tree with another"
                                  " -DHORLIX_LOOPBACK_PORT)" % (self.port, e))
                log("  port %d is in use, waiting" % self.port)
                time.sleep(2)

    def wait_free(self):
        """Waits until nothing listens on the port (for a server that is down)."""
        end = time.time() + self.seconds
        while True:
            with socket.socket() as s:
                # Connections of the last server that are still closing do
                # not count: only a listener makes the bind fail.
                s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
                try:
                    s.bind(("127.0.0.1", self.port))
                    return
                except OSError:
                    if time.time() > end:
                        raise Failure("loopback port %d stays in use" % self.port)
            time.sleep(2)


class SetsCookies(srv.UpdateHandler):
    """The real server, setting a cookie on every answer and keeping the
    Cookie header of every request (None when it has none) in .cookies."""

    cookies = []

    def parse_request(self):
        if not super().parse_request():
            return False
        SetsCookies.cookies.append(self.headers.get("Cookie"))
        return True

    def end_headers(self):
        self.send_header("Set-Cookie", "horlix-visitor=tracked; Path=/; Max-Age=86400")
        super().end_headers()


# ------------------------------------------------------------------ HTTPS

def tls_site(port):
    """The address of the HTTPS loopback builds (a name: the test certificate
    names localhost)."""
    return "https://localhost:%d" % port


def tls_context(cert, key, only=None):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    if only == "TLSv1":
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            context.set_ciphers("DEFAULT:@SECLEVEL=0")
            context.minimum_version = context.maximum_version = ssl.TLSVersion.TLSv1
    return context


def make_pki():
    """A test certificate authority made here, and server certificates:
    {"ca": DER file, "good": (cert, key) for localhost by the authority,
    "other": for another name, "expired": for localhost but past its end,
    "self": for localhost, signed by itself}."""
    folder = fresh_folder("pki")

    def path(name):
        return os.path.join(folder, name)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("ca.key"), "-out",
            path("ca.pem"), "-days", "2", "-subj", "/CN=Horlix test authority", "-addext",
            "basicConstraints=critical,CA:true", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("x509", "-in", path("ca.pem"), "-outform", "DER", "-out", path("ca.der"))
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", path("server.key"), "-out",
            path("server.csr"), "-subj", "/CN=localhost")
    pki = {"ca": path("ca.der")}
    for name, host, days in (("good", "localhost", "2"), ("other", "other.example", "2"),
                             ("expired", "localhost", "-1")):
        write(path(name + ".ext"), b"subjectAltName=DNS:%s\n" % host.encode())
        openssl("x509", "-req", "-in", path("server.csr"), "-CA", path("ca.pem"), "-CAkey",
                path("ca.key"), "-set_serial", str(len(pki)), "-days", days, "-extfile",
                path(name + ".ext"), "-out", path(name + ".pem"))
        pki[name] = (path(name + ".pem"), path("server.key"))
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("self.key"), "-out",
            path("self.pem"), "-days", "2", "-subj", "/CN=localhost", "-addext",
            "subjectAltName=DNS:localhost")
    pki["self"] = (path("self.pem"), path("self.key"))
    for name in os.listdir(folder):  # Apache's workers read them
        os.chmod(path(name), 0o644)
    return pki


# The protocols the programs ask Windows for (TLS 1.2 and later). Wine 8
# does not understand that option (12009), so the scenarios that check the
# refusal of an older server turn the older ones off in the prefix's
# Schannel settings, where Windows keeps the same choice for the machine.
OLD_PROTOCOLS = ("SSL 3.0", "TLS 1.0", "TLS 1.1")


def trust_pki(env, pki):
    """Makes the test authority a trusted root of env's Wine prefix, and
    turns the protocols before TLS 1.2 off there."""
    tool = program_copy("horlix-add-root-ca.exe")
    done = subprocess.run(["wine", tool, windows_path(pki["ca"])], env=env, capture_output=True,
                          timeout=120)
    if done.returncode != 0:
        raise Failure("horlix-add-root-ca failed: %r" % done.stderr)
    for protocol in OLD_PROTOCOLS:
        key = ("HKLM\\System\\CurrentControlSet\\Control\\SecurityProviders\\SCHANNEL\\"
               "Protocols\\%s\\Client" % protocol)
        subprocess.run(["wine", "reg", "add", key, "/v", "Enabled", "/t", "REG_DWORD", "/d", "0",
                        "/f"], env=env, capture_output=True, timeout=120, check=True)


def fresh_folder(name):
    path = os.path.join(WORK, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def publish(root, *args):
    p = subprocess.run([sys.executable, PUBLISH, "--sign-tool", SIGN, "--root", root] + list(args),
                       capture_output=True, text=True)
    if p.returncode != 0:
        raise Failure("horlix-publish %s failed: %s" % (" ".join(args), p.stderr))
    return p


def openssl(*args, data=None):
    return subprocess.run(["openssl"] + list(args), input=data, capture_output=True,
                          check=True).stdout


def signed_info(signed_text, key=DEV_KEY):
    """signed_text (bytes) followed by "#" and its signature under key, made
    with OpenSSL over the block digest (the reference model)."""
    block = DIGEST_INFO + kbref.block_digest(signed_text)
    sig = openssl("pkeyutl", "-sign", "-inkey", key, data=block)
    return signed_text + b"#\nsig=" + sig.hex().encode() + b"\n"


def zone_signature(data, key=DEV_KEY):
    """The signature file of zone data (bytes), made with OpenSSL over the
    block digest (the reference model)."""
    signed = b"zd=%s;size=%d;dig=%s;" % (srv.zone_data_date(data).encode(), len(data),
                                         kbref.block_digest(data).hex().encode())
    return signed_info(signed, key).replace(b"#\nsig=", b"#sig=")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Console:
    """A console program under Wine with its three streams as pipes."""

    PROMPT = b"Press any key to close this window..."

    def __init__(self, args, env, cwd=None):
        self.proc = subprocess.Popen(["wine"] + args, env=env, cwd=cwd, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.out = bytearray()
        self.err = bytearray()
        self.readers = [threading.Thread(target=self._pump, args=(self.proc.stdout, self.out)),
                        threading.Thread(target=self._pump, args=(self.proc.stderr, self.err))]
        for t in self.readers:
            t.daemon = True
            t.start()

    @staticmethod
    def _pump(stream, into):
        while True:
            chunk = stream.read1(65536)
            if not chunk:
                return
            into.extend(chunk)

    def wait_for_output(self, tail, seconds):
        end = time.time() + seconds
        while time.time() < end:
            if bytes(self.out).endswith(tail):
                return True
            if self.proc.poll() is not None:
                break
            time.sleep(0.05)
        return bytes(self.out).endswith(tail)

    def finish(self, seconds):
        try:
            rc = self.proc.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(timeout=30)
            raise Failure("program did not end within %d s; output %r / %r"
                          % (seconds, bytes(self.out), bytes(self.err)))
        for t in self.readers:
            t.join(timeout=10)
        return rc

    def press_key(self):
        self.proc.stdin.write(b"x")
        self.proc.stdin.flush()
        self.proc.stdin.close()
