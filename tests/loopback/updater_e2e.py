#!/usr/bin/env python3
"""horlixupdater.exe under Wine against the reference update server on
loopback.

Usage: updater_e2e.py CASE      (updater_e2e.py --list names them)

The program is the loopback build (horlixupdater-loopback.exe: the shipped
sources, the development key, the web site http://127.0.0.1:PORT); the https
cases run horlixupdater-loopback-tls.exe (https://localhost:PORT) against a
certificate authority that the case makes and the prefix trusts. Each case
publishes a release with tools/horlix-publish (or doctors one), serves it on
the port, runs the updater with an output path whose old file must go, and
checks standard output and standard error byte for byte (the program writes
in text mode, so each line ends in CR LF), the exit code, the output file,
that a failure waits for a key press before it ends, and what the server
was asked and by which agent.
Exit code 0 = passed, 1 = failed, 77 = skipped (nothing built, no Wine).
"""

import os
import random
import re
import sys
import time
import urllib.parse

import loopback as lb

PROMPT = lb.Console.PROMPT
INFO_PATH = "/horlix/upd/horlixquicki-sig.txt"
STEPS = [b"Downloading installation info...", b" OK\n", b"Verifying download info...", b" OK\n",
         b"Downloading installation file...", b" OK\n", b"Verifying installation file...", b" OK\n"]


def crlf(text):
    return text.replace(b"\n", b"\r\n")


def cancelled(reason):
    return crlf(b"\nERROR: " + reason + b": upgrade cancelled.\n")


class Run:
    """One scenario: the site, the release folder, the output file."""

    def __init__(self, port_lock, site, program="horlixupdater-loopback.exe"):
        self.lock = port_lock
        self.site = site
        self.env = lb.wine_env()
        lb.prepare_wine(self.env)
        self.exe = lb.program_copy(program)
        self.root = lb.fresh_folder("release")
        self.out_dir = lb.fresh_folder("out")
        self.output = os.path.join(self.out_dir, "horlixquicki-Ab3dE6gH.exe")
        self.rng = random.Random(1651)
        self.installer = None
        self.installer_url = None
        self.handler = lb.srv.UpdateHandler
        self.tls = None  # (CERT, KEY[, "TLSv1"]) to serve HTTPS

    def genuine(self, size=300000, version=None):
        """Publishes a signed release of a random installer, by default of
        the version after the program's own."""
        version = version or lb.program_version() + 1
        self.installer = self.rng.randbytes(size)
        path = os.path.join(lb.WORK, "setup.exe")
        lb.write(path, self.installer)
        lb.publish(self.root, "--installer", path, "--version", str(version), "--key", lb.DEV_KEY,
                   "--site", self.site)
        self.installer_url = "%s/horlix/horlix-%d-setup.exe" % (self.site, version)
        return lb.read(os.path.join(self.root, "horlix", "upd", "horlixquicki-sig.txt"))

    def set_info(self, data):
        lb.write(os.path.join(self.root, "horlix", "upd", "horlixquicki-sig.txt"), data)

    def run(self, args=None, expect_key=True, server=True):
        """Runs the updater; returns (exit code, stdout, stderr, request log)."""
        if args is None:
            args = [lb.windows_path(self.output)]
            lb.write(self.output, b"an old installer that must go")
        running = self.lock.serve(self.root, self.handler, tls=self.tls) if server else None
        if running is not None:
            running.__enter__()
        try:
            c = lb.Console([self.exe] + args, self.env)
            if expect_key:
                if not c.wait_for_output(PROMPT, 120):
                    c.finish(5)
                    raise lb.Failure("no key prompt; stdout %r stderr %r" % (bytes(c.out), bytes(c.err)))
                time.sleep(0.7)
                lb.check(c.proc.poll() is None, "after the prompt it waits for a key press")
                c.press_key()
            # A run that should succeed keeps its standard input open and
            # unread: it must end without a key press.
            rc = c.finish(120)
        finally:
            if running is not None:
                running.__exit__(None, None, None)
        requests = []
        if running is not None:
            for line in running.server.log_lines:
                m = re.match(r'^\S+ \S+ "GET (\S+)" (\d+) \S+ "(.*)"$', line)
                if m is None:
                    raise lb.Failure("unexpected log line %r" % line)
                # Through a proxy the request names the whole address.
                target = urllib.parse.urlsplit(m.group(1))
                path = target.path + ("?" + target.query if target.query else "")
                requests.append((path, int(m.group(2)), m.group(3)))
        return rc, bytes(c.out), bytes(c.err), requests

    def check_refused(self, result, stdout, reason, requests):
        rc, out, err, log = result
        lb.check_equal(out, crlf(stdout) + PROMPT, "standard output")
        lb.check_equal(err, cancelled(reason), "standard error")
        lb.check_equal(rc, 1, "exit code")
        lb.check(not os.path.exists(self.output), "no output file (the old one is gone too)")
        lb.check_equal([(path, agent) for path, _, agent in log], requests,
                       "requests and their agent")


def installer_path(run):
    return run.installer_url[len(run.site):]


INFO_STEPS = b"".join(STEPS[:3])
INSTALLER_STEPS = b"".join(STEPS[:7])


def case_genuine(run):
    """A genuine release: the eight progress pieces, exit code 0 without a
    key press, the installer written byte for byte. Its version is the
    one after the program's own, the lowest the updater takes."""
    run.genuine(size=1048576 + 777)  # large enough to arrive in many pieces
    rc, out, err, log = run.run(expect_key=False)
    lb.check_equal(out, crlf(b"".join(STEPS)), "standard output: the eight success pieces")
    lb.check_equal(err, b"", "standard error")
    lb.check_equal(rc, 0, "exit code")
    lb.check(lb.read(run.output) == run.installer, "output file equals the installer (%d bytes)"
             % len(run.installer))
    lb.check_equal(log, [(INFO_PATH, 200, "Horlixupdater"), (installer_path(run), 200, "Horlixupdater")],
                   "requests, replies and agent")


def case_no_cookies(run):
    """The server sets a cookie on every answer: neither the installer's
    request after the info file's nor those of a second run carry it."""
    run.handler = lb.SetsCookies
    del lb.SetsCookies.cookies[:]
    run.genuine()
    for _ in range(2):
        rc, _, _, log = run.run(expect_key=False)
        lb.check_equal(rc, 0, "exit code")
    lb.check_equal(lb.SetsCookies.cookies, [None] * 4, "the Cookie header of the four requests")


def case_forged_signature(run):
    info = run.genuine()
    at = info.index(b"sig=") + 4 + 100
    forged = info[:at] + (b"0" if info[at:at + 1] != b"0" else b"1") + info[at + 1:]
    run.set_info(forged)
    run.check_refused(run.run(), INFO_STEPS, b"Signature is invalid", [(INFO_PATH, "Horlixupdater")])
    # The signed text changed under a genuine signature.
    tampered = info.replace(b"exever=", b"exever=9")
    run.set_info(tampered)
    run.check_refused(run.run(), INFO_STEPS, b"Signature is invalid", [(INFO_PATH, "Horlixupdater")])


def case_other_key(run):
    run.genuine()
    key = os.path.join(lb.WORK, "other-key.pem")
    lb.openssl("genrsa", "-out", key, "1024")
    path = os.path.join(lb.WORK, "setup.exe")
    p = lb.publish(run.root, "--installer", path, "--version", "1651", "--key", key, "--site", run.site)
    lb.check("not the one built into" in p.stderr, "horlix-sign notes the foreign key")
    run.check_refused(run.run(), INFO_STEPS, b"Signature is invalid", [(INFO_PATH, "Horlixupdater")])


def case_tampered_installer(run):
    run.genuine()
    path = os.path.join(run.root, *installer_path(run).lstrip("/").split("/"))
    data = bytearray(lb.read(path))
    data[len(data) // 2] ^= 0x01
    lb.write(path, bytes(data))
    expected = [(INFO_PATH, "Horlixupdater"), (installer_path(run), "Horlixupdater")]
    run.check_refused(run.run(), INSTALLER_STEPS, b"Download is invalid", expected)
    # A short one: the size bounds the read, the digest decides.
    lb.write(path, run.installer[:-1])
    run.check_refused(run.run(), INSTALLER_STEPS, b"Download is invalid", expected)
    # Gone: the server's 404 page is what arrives.
    os.remove(path)
    run.check_refused(run.run(), INSTALLER_STEPS, b"Download is invalid", expected)


def fields(run, version=None):
    version = version or lb.program_version() + 1
    digest = lb.kbref.block_digest(run.installer).hex().encode()
    return (b"exever=%d\nsize=%d\nurl=%s\ndig=%s\n"
            % (version, len(run.installer), run.installer_url.encode(), digest))


def case_exever_not_newer(run):
    """Genuinely signed releases of the program's own version and of the one
    before it: no downgrade, nothing fetched but the info file."""
    run.genuine()
    own = lb.program_version()
    for version in (own, own - 1):
        lb.log("exever=%d" % version)
        run.set_info(lb.signed_info(fields(run, version)))
        run.check_refused(run.run(), INFO_STEPS, b"New version is older than current version",
                          [(INFO_PATH, "Horlixupdater")])


def case_not_exever(run):
    run.genuine()
    run.set_info(lb.signed_info(b" " + fields(run)))
    run.check_refused(run.run(), INFO_STEPS, b"Invalid download", [(INFO_PATH, "Horlixupdater")])
    run.set_info(lb.signed_info(b"size=%d\n" % len(run.installer) + fields(run)))
    run.check_refused(run.run(), INFO_STEPS, b"Invalid download", [(INFO_PATH, "Horlixupdater")])
    # No info file: the server's 404 page is the text.
    os.remove(os.path.join(run.root, "horlix", "upd", "horlixquicki-sig.txt"))
    run.check_refused(run.run(), INFO_STEPS, b"Invalid download", [(INFO_PATH, "Horlixupdater")])


def case_dig_after_signature(run):
    """The signature covers no dig=; one appended after it must not count."""
    run.genuine()
    signed = b"".join(line + b"\n" for line in fields(run).split(b"\n") if line and
                      not line.startswith(b"dig="))
    digest = lb.kbref.block_digest(run.installer).hex().encode()
    run.set_info(lb.signed_info(signed) + b"dig=" + digest + b"\n")
    run.check_refused(run.run(), INSTALLER_STEPS, b"Download is invalid",
                      [(INFO_PATH, "Horlixupdater"), (installer_path(run), "Horlixupdater")])
    # Nor a size= appended after it: without a signed size nothing is read.
    no_size = b"".join(line + b"\n" for line in fields(run).split(b"\n") if line and
                       not line.startswith(b"size="))
    run.set_info(lb.signed_info(no_size) + b"size=%d\n" % len(run.installer))
    run.check_refused(run.run(), INSTALLER_STEPS, b"Download is invalid",
                      [(INFO_PATH, "Horlixupdater"), (installer_path(run), "Horlixupdater")])


def case_illegal_name(run):
    run.genuine()
    for c in "<>|?*\"":
        name = lb.windows_path(os.path.join(run.out_dir, "setup%s1.exe" % c))
        log_c = c
        lb.log("character %r" % log_c)
        rc, out, err, log = run.run(args=[name])
        lb.check_equal(out, PROMPT, "standard output")
        lb.check_equal(err, cancelled(b"Illegal character in filename"), "standard error")
        lb.check_equal(rc, 1, "exit code")
        lb.check_equal(log, [], "nothing fetched")
        lb.check_equal(os.listdir(run.out_dir), [], "no output file")
    # A colon and backslashes (a full path) are fine.
    rc, out, err, _ = run.run(expect_key=False)
    lb.check_equal((rc, out, err), (0, crlf(b"".join(STEPS)), b""), "a full path is accepted")


def case_server_down(run):
    run.genuine()
    run.lock.wait_free()
    rc, out, err, _ = run.run(server=False)
    lb.check_equal(out, crlf(b"Downloading installation info...") + PROMPT, "standard output")
    m = re.match(rb"^\r\nFailed with error 12029: (.+)\r\n" + re.escape(
        cancelled(b"Failed to download installation info")) + rb"$", err, re.S)
    lb.check(m is not None, "standard error: the system error line for 12029, then the reason: %r"
             % err)
    lb.check_equal(rc, 1, "exit code")
    lb.check(not os.path.exists(run.output), "no output file")


def case_https(run):
    """The HTTPS build against a site whose certificate the test authority
    issued for localhost: the release is taken as over HTTP."""
    run.genuine(size=200000 + 333)
    rc, out, err, log = run.run(expect_key=False)
    lb.check_equal((rc, out, err), (0, crlf(b"".join(STEPS)), b""), "the eight success pieces")
    lb.check(lb.read(run.output) == run.installer, "output file equals the installer")
    lb.check_equal([path for path, _, _ in log], [INFO_PATH, installer_path(run)],
                   "the info file and the installer over HTTPS")


def case_https_refused(run):
    """A certificate for another name, an expired one, a self-signed one and a
    server that offers only TLS 1.0: each refused before anything is read,
    with the error's code and what it means."""
    run.genuine()
    for what, tls, code in (("another name", run.pki["other"], 12038),
                            ("an expired certificate", run.pki["expired"], 12037),
                            ("a self-signed certificate", run.pki["self"], 12045),
                            ("TLS 1.0 only", run.pki["good"] + ("TLSv1",), 12157)):
        lb.log(what)
        run.tls = tls
        rc, out, err, log = run.run()
        lb.check_equal(out, crlf(b"Downloading installation info...") + PROMPT, "standard output")
        # (Wine's TLS library may print its own complaint first.)
        m = re.search(rb"\r\nFailed with error %d: .+\r\n" % code + re.escape(
            cancelled(b"Failed to download installation info")) + rb"$", err, re.S)
        lb.check(m is not None, "standard error names error %d: %r" % (code, err))
        lb.check_equal((rc, log), (1, []), "exit code 1, nothing served")
        lb.check(not os.path.exists(run.output), "no output file")


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in CASES and sys.argv[1] != "--list":
        print(__doc__)
        return 2
    if sys.argv[1] == "--list":
        print("\n".join(CASES))
        return 0
    name = sys.argv[1]
    try:
        site, port = lb.loopback_site()
        with lb.PortLock(port) as lock:
            if name.startswith("https"):
                run = Run(lock, lb.tls_site(port), "horlixupdater-loopback-tls.exe")
                run.pki = lb.make_pki()
                lb.trust_pki(run.env, run.pki)
                run.tls = run.pki["good"]
            else:
                run = Run(lock, site)
            lb.log("updater case %s against %s%s" % (name, run.site,
                                                     " (Apache httpd)" if lb.APACHE else ""))
            CASES[name](run)
    except lb.Skip as e:
        lb.log("SKIPPED:", e)
        return lb.SKIP
    except lb.Failure as e:
        lb.log("FAILED:", e)
        return 1
    lb.log("PASSED")
    return 0


if __name__ == "__main__":
    sys.exit(main())
