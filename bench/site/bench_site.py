#!/usr/bin/env python3
"""The web site under load: answers per second with 20 concurrent clients
(ApacheBench, `ab`) on loopback. Prints figures; judges nothing.

Usage: bench/site/bench_site.py [--requests N] [--concurrency C]

Needs the native tree (bin/horlix-update.cgi, bin/horlix-sign), apache2 and
apache2-utils. It publishes the shipped zone data file and a signed
installer into a scratch folder, serves it with server/horlix-site (Apache
httpd and the compiled CGI) on a free loopback port, and measures:
- the update CGI's status answer (what every installation asks once a day),
- its tzinfo answer (CRC-32 of the zone data file at every request),
- the zone data file as a static file, for comparison;
then the status answer of the reference server (Python's http.server) the
same way. The machine's load average is printed before and after.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "server"))

import horlix_update_server as srv  # noqa: E402

NATIVE_BIN = os.path.join(SOURCE, "build", "native", "bin")
STATUS = srv.CGI_PATH + "?xv=1650&zd=2026-01-01T00:00Z"


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def ab(url, requests, concurrency):
    """(answers per second, mean ms per request, 99th percentile ms, failed)."""
    p = subprocess.run(["ab", "-q", "-s", "10", "-n", str(requests), "-c", str(concurrency),
                        "-H", "User-Agent: Horlix", url], capture_output=True, text=True, timeout=600)
    if p.returncode != 0:
        raise SystemExit("ab failed: %s" % p.stderr.strip())
    out = p.stdout

    def number(pattern):
        m = re.search(pattern, out, re.M)
        return float(m.group(1)) if m else float("nan")

    failed = int(number(r"^Failed requests:\s+(\d+)")) + int(number(r"^Non-2xx responses:\s+(\d+)")
                                                             if "Non-2xx" in out else 0)
    return (number(r"^Requests per second:\s+([\d.]+)"),
            number(r"^Time per request:\s+([\d.]+) \[ms\] \(mean\)$"),
            number(r"^\s+99%\s+(\d+)"), failed)


def report(label, figures):
    rate, mean, p99, failed = figures
    print("%-44s %8.0f /s   mean %6.2f ms   99%% %4.0f ms   failed %d"
          % (label, rate, mean, p99, failed), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--requests", type=int, default=5000)
    parser.add_argument("--concurrency", type=int, default=20)
    args = parser.parse_args()
    if shutil.which("ab") is None:
        raise SystemExit("ab is not installed (Debian package apache2-utils)")
    tmp = tempfile.mkdtemp(prefix="horlix-bench-site-")
    try:
        root = os.path.join(tmp, "root")
        installer = os.path.join(tmp, "setup.exe")
        with open(installer, "wb") as f:
            f.write(os.urandom(100000))
        subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "horlix-publish"), "--root", root,
                        "--sign-tool", os.path.join(NATIVE_BIN, "horlix-sign"),
                        "--zone-file", os.path.join(SOURCE, "resources", "horlixtz.ini"),
                        "--installer", installer, "--version", "1651",
                        "--key", os.path.join(SOURCE, "tools", "devkey", "horlix-dev-private.pem"),
                        "--site", "http://127.0.0.1"], check=True, stdout=subprocess.DEVNULL)
        print("%d requests, %d concurrent clients, %d cores; load average before: %s"
              % (args.requests, args.concurrency, os.cpu_count(), load()), flush=True)
        with srv.SiteProcess(root, cgi=os.path.join(NATIVE_BIN, "horlix-update.cgi")) as site:
            for label, path in (("Apache + horlix-update.cgi, status", STATUS),
                                ("Apache + horlix-update.cgi, req=tzinfo", srv.CGI_PATH + "?req=tzinfo"),
                                ("Apache, /src/horlixtz.ini (static, %d bytes)"
                                 % os.path.getsize(os.path.join(root, "src", "horlixtz.ini")),
                                 "/src/horlixtz.ini")):
                report(label, ab(site.url + path, args.requests, args.concurrency))
        server = srv.make_server(root, 0, log_file=None)
        with srv.ServerThread(server):
            report("reference server (http.server), status",
                   ab(server.url + STATUS, min(args.requests, 2000), args.concurrency))
        print("load average after: %s" % load())
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
