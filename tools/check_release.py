#!/usr/bin/env python3
"""Checks for release.sh: the addresses a release is built for, and the
proof of the built release before it is written out.

Usage: check_release.py address WHAT URL [--path]
       check_release.py form WHAT URL [--path]
       check_release.py installer URL
       check_release.py build UPDATER.exe MODULUS DEV_MODULUS INFO_FILE PUBLIC.pem

form: URL must be http:// or https:// with a host (and a port), without a
path unless --path is given (then with one), without user, query or fragment
(not even a bare "?" or "#"), and made only of characters that go unescaped
into a C string literal and an NSIS define (no quotes, backslash, percent,
dollar, blanks, control or non-ASCII characters). Every release tool
(release.sh, tools/make_dist.sh, tools/horlix-publish) takes an address only
in this form.

address: the form, and a host the users' computers can reach: example and
reserved names (*.example, example.com/.net/.org and their subdomains, *.test,
*.invalid, localhost, *.localhost, localhost6, ip6-localhost, ip6-loopback,
*.local, *.internal, home.arpa) and loopback, unspecified, multicast,
broadcast, reserved, "this network" (0.0.0.0/8), link-local and
documentation addresses are refused: a release built for them would never
find its maker's web site. A private address (10/8, 172.16/12, 192.168/16,
fc00::/7) is taken with a warning: a company's internal site is real.

installer: URL as tools/horlix-publish keeps an installer: a plain file path,
not one of the site's own paths.

build: MODULUS and DEV_MODULUS are hexadecimal (as `openssl rsa -noout -modulus`
prints them, with or without "Modulus="). Checks that the updater carries
MODULUS as its built-in key (128 bytes, most significant first, followed by
the exponent bytes 01 00 01, as generated/horlix_public_key.cpp lays it out)
and not DEV_MODULUS, and that OpenSSL, with the key's public half
PUBLIC.pem, recovers from the info file's signature the DigestInfo header
followed by the block digest of the file's signed text (everything before
the first "#"), computed by the project's reference model.
Exit status 0 when all holds, 1 with a one-line reason otherwise.
"""

import ipaddress
import os
import re
import socket
import subprocess
import sys
import urllib.parse

SOURCE = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
sys.path.insert(0, os.path.join(SOURCE, "tests", "bignum"))
sys.path.insert(0, os.path.join(SOURCE, "server"))
import kbref  # noqa: E402

DIGEST_INFO = bytes.fromhex("3020300c06082a864886f70d020505000410")
EXPONENT = bytes([1, 0, 1])


RESERVED_NAMES = ("example", "example.com", "example.net", "example.org", "test", "invalid",
                  "localhost", "localhost6", "ip6-localhost", "ip6-loopback", "local", "internal",
                  "home.arpa")
DOCUMENTATION_NETS = tuple(ipaddress.ip_network(n) for n in (
    "192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/24", "2001:db8::/32"))
THIS_NETWORK = ipaddress.ip_network("0.0.0.0/8")
PRIVATE_NETS = tuple(ipaddress.ip_network(n) for n in (
    "10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16", "fc00::/7"))
# What may stand in an address that goes into C string literals and NSIS
# defines as it is: RFC 3986's characters without % (no escapes), quotes,
# backslash and $ (NSIS variables).
PLAIN_URL = re.compile(r"[A-Za-z0-9\-._~:/\[\]@!&()*+,;=]*\Z")
WARNINGS = []


def form_problem(what, url, path_allowed):
    form = "%s must be %s, without a query or fragment: %r" % (
        what, "http(s)://HOST[:PORT]/PATH" if path_allowed else
        "http(s)://HOST[:PORT] without a path or final slash", url)
    if "?" in url or "#" in url:
        return form
    if not PLAIN_URL.match(url):
        bad = next(c for c in url if not PLAIN_URL.match(c))
        return "%s %r holds %r, which would need escaping in the programs and the installer" % (
            what, url, bad)
    try:
        parts = urllib.parse.urlsplit(url)
        parts.port  # a port that is not a number raises here
    except ValueError:
        parts = None
    if (parts is None or parts.scheme not in ("http", "https") or not parts.hostname or
            "@" in parts.netloc or (parts.path and not path_allowed) or
            (path_allowed and not parts.path)):
        return form
    return None


def address_problem(what, url, path_allowed):
    problem = form_problem(what, url, path_allowed)
    if problem:
        return problem
    host = urllib.parse.urlsplit(url).hostname.rstrip(".")
    if any(host == name or host.endswith("." + name) for name in RESERVED_NAMES):
        return "%s %s names an example, reserved or local-network host, not the maker's own" % (
            what, url)
    try:
        address = ipaddress.ip_address(host)
    except ValueError:
        # The short and numeric forms that the system's resolvers also take
        # (127.1, 0x7f.0.0.1, 2130706433).
        try:
            address = ipaddress.ip_address(socket.inet_aton(host))
        except OSError:
            address = None
    if address is not None and getattr(address, "ipv4_mapped", None):
        address = address.ipv4_mapped
    if address is not None and (address.is_loopback or address.is_unspecified or
                                address.is_link_local):
        return "%s %s is a loopback or local-only address, which no user's computer reaches the maker at" % (
            what, url)
    if address is not None and (address.is_multicast or address.is_reserved or
                                (address.version == 4 and address in THIS_NETWORK)):
        return "%s %s is a multicast, broadcast or reserved address, not a web site's" % (what, url)
    if address is not None and any(address in net for net in DOCUMENTATION_NETS
                                   if net.version == address.version):
        return "%s %s is an example address (a documentation range), not the maker's own" % (
            what, url)
    if address is not None and any(address in net for net in PRIVATE_NETS
                                   if net.version == address.version):
        WARNINGS.append("%s %s is a private address: only computers inside that network reach it"
                        % (what, url))
    return None


def installer_problem(url):
    """Why tools/horlix-publish cannot keep the installer of url, or None."""
    import horlix_update_server as srv
    reserved = ({srv.CGI_PATH.lstrip("/"), srv.ZONE_FILE, srv.ZONE_SIGNATURE_FILE, srv.INFO_FILE} |
                set(srv.PAGE_FILES))
    relative = urllib.parse.unquote(urllib.parse.urlsplit(url).path).lstrip("/")
    segments = relative.split("/")
    if not relative or relative.endswith("/") or any(s in ("", ".", "..") for s in segments):
        return "the installer address needs a plain file path: %s" % url
    if relative in reserved or relative.startswith("cgi-bin/"):
        return "the installer address may not be one of the site's own paths: %s" % url
    return None


def modulus_bytes(text):
    return bytes.fromhex(re.sub(r"^modulus=", "", text.strip().lower()))


def check(updater, modulus, dev_modulus, info_path, public_pem):
    with open(updater, "rb") as f:
        program = f.read()
    key = modulus_bytes(modulus)
    if len(key) != 128:
        return "the modulus is not 128 bytes long"
    if program.count(key + EXPONENT) != 1:
        return "%s does not carry the release key (modulus, then 01 00 01) exactly once" % updater
    if modulus_bytes(dev_modulus) in program:
        return "%s carries the development key" % updater
    with open(info_path, "rb") as f:
        info = f.read()
    signed, hash_, rest = info.partition(b"#")
    sig = re.search(rb"sig=([0-9a-fA-F]+)", rest)
    if not hash_ or sig is None:
        return "%s has no signature after a \"#\"" % info_path
    sig_path = info_path + ".sig"
    with open(sig_path, "wb") as f:
        f.write(bytes.fromhex(sig.group(1).decode()))
    try:
        done = subprocess.run(["openssl", "pkeyutl", "-verifyrecover", "-pubin", "-inkey", public_pem,
                               "-in", sig_path], capture_output=True, check=False)
    finally:
        os.remove(sig_path)
    if done.returncode != 0 or done.stdout != DIGEST_INFO + kbref.block_digest(signed):
        return "the signature of %s does not verify with the key's public half" % info_path
    return None


def main():
    args = sys.argv[1:]
    if len(args) in (3, 4) and args[0] in ("address", "form") and args[3:] in ([], ["--path"]):
        check_address = address_problem if args[0] == "address" else form_problem
        reason = check_address(args[1], args[2], args[3:] == ["--path"])
    elif len(args) == 2 and args[0] == "installer":
        reason = form_problem("--url", args[1], True) or installer_problem(args[1])
    elif len(args) == 6 and args[0] == "build":
        reason = check(*args[1:])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for warning in WARNINGS:
        print("release: warning: %s" % warning, file=sys.stderr)
    if reason is not None:
        print("release: %s" % reason, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
