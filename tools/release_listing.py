#!/usr/bin/env python3
"""What release.sh writes beside a release's files for those who list it:
the winget manifest and the download page.

Usage: release_listing.py check-id ID
       release_listing.py write DIR --version V --url URL --site SITE
                                --winget-id ID [--signer NAME]

check-id: ID must be a winget package identifier, PUBLISHER.NAME (two to
eight parts joined by dots, no spaces or path characters).

write: from DIR's installer, portable zip and SHA256SUMS, writes
DIR/winget/ (a multi-file manifest of ManifestVersion 1.6.0: ID.yaml,
ID.installer.yaml, ID.locale.en-US.yaml) and DIR/download.html. URL is
where the installer is offered; the zip and SHA256SUMS are offered beside
it. NAME is whom the programs are Authenticode-signed by (none: unsigned).
Exit status 0 on success, 1 with a one-line reason otherwise, 2 on bad usage.
"""

import argparse
import hashlib
import html
import os
import re
import sys

# The identifier's form in the winget manifest schema.
ID_FORM = re.compile(r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}')
MANIFEST_VERSION = "1.6.0"
LOCALE = "en-US"
PUBLISHER = "Brenvale"
PRODUCT_LONG = "Horlix World Time Utility"  # the installer's name in the list of programs
SHORT_DESCRIPTION = "A world-time utility: a narrow strip of clocks, each in its own time zone."
DESCRIPTION = ("Horlix shows an always-on-top strip of clocks for the places you work with, "
               "with a preview of any other time under the mouse wheel, a calendar, a "
               "countdown and its own time-zone data, updated from the maker's site on request.")
# Windows 7 with Service Pack 1, the oldest the installer accepts.
MINIMUM_OS = "6.1.7601.0"
SUPPORTED = ("64-bit Windows 7 with Service Pack 1 and every later 64-bit Windows "
             "(8.1, 10, 11); there is no 32-bit build")


def sums(folder):
    """SHA256SUMS as {file name: sum}."""
    with open(os.path.join(folder, "SHA256SUMS")) as f:
        return {name: digest for digest, name in (line.split("  ", 1) for line in f.read().splitlines())}


def quoted(value):
    return "'%s'" % value.replace("'", "''")


def manifest(fields, kind):
    lines = ["# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json" %
             (kind, MANIFEST_VERSION), ""]
    for key, value in fields:
        lines.append(key + ":" + ("" if value is None else " " + value))
    lines += ["ManifestType: " + kind, "ManifestVersion: " + MANIFEST_VERSION]
    return "\n".join(lines) + "\n"


def write_winget(folder, ident, version, url, sha256, site):
    head = [("PackageIdentifier", quoted(ident)), ("PackageVersion", quoted(version))]
    files = {
        ident + ".yaml": manifest(head + [("DefaultLocale", LOCALE)], "version"),
        ident + ".installer.yaml": manifest(head + [
            ("MinimumOSVersion", quoted(MINIMUM_OS)),
            ("InstallerType", "nullsoft"),
            ("Scope", "machine"),
            ("InstallModes", "[interactive, silent, silentWithProgress]"),
            ("InstallerSwitches", None),
            ("  Silent", "/S"),
            ("  SilentWithProgress", "/S"),
            ("ExpectedReturnCodes", None),
            ("- InstallerReturnCode", "3"),
            ("  ReturnResponse", "packageInUse"),
            ("- InstallerReturnCode", "4"),
            ("  ReturnResponse", "systemNotSupported"),
            ("UpgradeBehavior", "install"),
            ("ProductCode", "Horlix"),  # the key of its entry in the list of programs
            ("Installers", None),
            ("- Architecture", "x64"),
            ("  InstallerUrl", quoted(url)),
            ("  InstallerSha256", sha256.upper())], "installer"),
        "%s.locale.%s.yaml" % (ident, LOCALE): manifest(head + [
            ("PackageLocale", LOCALE),
            ("Publisher", quoted(PUBLISHER)),
            ("PublisherUrl", quoted(site)),
            ("PackageName", quoted("Horlix")),
            ("PackageUrl", quoted(site + "/horlix/")),
            # No licence has been chosen yet: all rights stay with the maker.
            ("License", quoted("Proprietary")),
            ("ShortDescription", quoted(SHORT_DESCRIPTION)),
            ("Description", quoted(DESCRIPTION)),
            ("Moniker", "horlix"),
            ("Tags", "[clock, time-zone, world-clock]")], "defaultLocale"),
    }
    os.makedirs(os.path.join(folder, "winget"), exist_ok=True)
    for name, text in files.items():
        with open(os.path.join(folder, "winget", name), "w", newline="\n") as f:
            f.write(text)


def size_text(size):
    """As Windows' own dialogs show sizes: KB and MB of 1024."""
    if size < 1024 * 1024:
        return "%s bytes (%d KB)" % (format(size, ","), (size + 1023) // 1024)
    return "%s bytes (%.1f MB)" % (format(size, ","), size / (1024 * 1024))


def write_page(folder, version, url, signer, listed):
    base = url.rsplit("/", 1)[0]
    listed_sums = sums(folder)
    rows = []
    for name, what in listed:
        size = os.path.getsize(os.path.join(folder, name))
        digest = listed_sums.get(name)
        if digest is None:  # SHA256SUMS itself
            with open(os.path.join(folder, name), "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
        link = url if name.endswith("-setup.exe") else base + "/" + name
        rows.append("<tr><td><a href=\"%s\">%s</a><br>%s</td><td>%s</td><td><code>%s</code></td></tr>"
                    % (html.escape(link), html.escape(name), html.escape(what), size_text(size), digest))
    if signer:
        signed = ("The programs, the uninstaller and the installer are Authenticode-signed by %s: "
                  "Windows names %s as the publisher when it asks to run them."
                  % (html.escape(signer), html.escape(signer)))
    else:
        signed = ("The programs are not Authenticode-signed: Windows SmartScreen may say "
                  "&ldquo;Windows protected your PC&rdquo; (<i>More info</i>, <i>Run anyway</i>). "
                  "Compare the file's SHA-256 with the one above before you run it.")
    body = (
        "<p>Horlix %s, %s</p>\n"
        "<p>Runs on %s.</p>\n"
        "<table>\n<tr><th>File</th><th>Size</th><th>SHA-256</th></tr>\n%s\n</table>\n"
        "<p>%s</p>\n"
        "<p>To compute a download's SHA-256 on Windows: <code>certutil -hashfile FILE SHA256</code>.</p>\n"
        "<p>The installer closes a running Horlix first; your clocks and settings are kept.</p>\n"
        % (html.escape(version), html.escape(SHORT_DESCRIPTION[0].lower() + SHORT_DESCRIPTION[1:]), SUPPORTED, "\n".join(rows), signed))
    page = ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Download Horlix</title></head>\n"
            "<body>\n<h1>Download Horlix</h1>\n%s</body></html>\n" % body)
    with open(os.path.join(folder, "download.html"), "w", encoding="utf-8", newline="\n") as f:
        f.write(page)


def main():
    if sys.argv[1:2] == ["check-id"] and len(sys.argv) == 3:
        if not ID_FORM.fullmatch(sys.argv[2]) or len(sys.argv[2]) > 128:
            print("release: the winget identifier %r is not of the form PUBLISHER.NAME "
                  "(parts joined by a dot, without spaces)" % sys.argv[2], file=sys.stderr)
            return 1
        return 0
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("command", choices=["write"])
    parser.add_argument("folder")
    for option in ("--version", "--url", "--site", "--winget-id"):
        parser.add_argument(option, required=True)
    parser.add_argument("--signer", default="")
    args = parser.parse_args()
    setup = "horlix-%s-setup.exe" % args.version
    listed = [(setup, "The installer: for all users, into Program Files (administrator rights)"),
              ("horlix-%s-portable.zip" % args.version,
               "Without installing: unpack anywhere and run Horlix\\horlix.exe"),
              ("SHA256SUMS", "The SHA-256 sums of the installer, the zip and the updater's file")]
    try:
        sha256 = sums(args.folder)[setup]
        write_winget(args.folder, args.winget_id, args.version, args.url, sha256, args.site)
        write_page(args.folder, args.version, args.url, args.signer, listed)
    except (OSError, KeyError, ValueError) as e:
        print("release: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
