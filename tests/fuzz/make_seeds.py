#!/usr/bin/env python3
"""Writes the committed seed corpora of the fuzz targets (tests/fuzz/corpus).

The targets read their inputs with libFuzzer's FuzzedDataProvider: texts are
taken from the front (a backslash followed by another character ends one),
numbers from the back, last byte first. The seeds are laid out to match.
Run it again after changing a target's input layout."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def text(s):
    """One text as ConsumeRandomLengthString reads it, ended by '\\' 'x'."""
    return s.replace(b"\\", b"\\\\") + b"\\x"


# zone_rule: rule text, second text or "same" (a bool from the back), the
# instants (one selector byte and 8 bytes each, from the back), third text.
def instants(values):
    tail = b""
    for v in values:
        # selector 0: any int64; the provider adds the range's minimum.
        tail = struct.pack("<Q", v + 2**63) + b"\x00" + tail
    return tail


rules = [
    b"AWST-8",
    b"CET-1CEST,M3.5.0,M10.5.0/3",
    b"EST5EDT,M3.2.0,M11.1.0",
    b"<+0330>-3:30",
    b"NZST-12NZDT,M9.5.0,M4.1.0/3",
    b"IST-1GMT0,M10.5.0,M3.5.0/1",
    b"WGT3WGST,M3.5.0/-2,M10.5.0/-1",
    b"AAA3BBB,J60/25,300/167",
    b"XXX-24:59:59YYY+24:59:59,0/0,365/0",
    b"",
    b"GMT0BST",
]
for i, rule in enumerate(rules):
    data = text(rule) + text(rules[(i + 1) % len(rules)]) + b"rest"
    data += instants([0, 1774746000, -2208988800, 2145916799, 2**62, -2**63])
    data += b"\x00"  # the bool: take a second text
    write("zone_rule", "rule%02d" % i, data)

# clock_texts: the local rule, then from the back: "any instant" (1), the
# instant, DateFormat, the clock count; per clock Type and Format (bool 0:
# in range), then its rule text from the front.
def clock_texts(local, rules, instant, date_format):
    front = text(local) + b"".join(text(r) for r in rules)
    back = b""
    for i, _ in enumerate(rules):
        back = bytes([i % 4, 0, i % 3, 0]) + back  # Format, in range; Type, in range
    back += bytes([len(rules) - 1])
    back += struct.pack("<I", (date_format + 2**31) % 2**32)
    back += struct.pack("<Q", instant + 2**63) + b"\x01"
    return front + b"marks" + back


write("clock_texts", "three", clock_texts(b"CET-1CEST,M3.5.0,M10.5.0/3",
                                         [b"AWST-8", b"", b"NZST-12NZDT,M9.5.0,M4.1.0/3"],
                                         1774746000, 1))
write("clock_texts", "far", clock_texts(b"EST5EDT", [b"IST-5:30", b"GMT0"], -2**62, 2))
write("clock_texts", "bad_formats", clock_texts(b"", [b"XXX-24:59:59YYY", b"junk"], 0, -7))

# zone_file: a selector byte (bit 0: application-data folder), then the file.
with open(os.path.join(HERE, "..", "..", "resources", "horlixtz.ini"), "rb") as f:
    shipped = f.read()
lines = shipped.split(b"\n")
write("zone_file", "shipped_head", b"\x00" + b"\n".join(lines[:40]))
write("zone_file", "appdata", b"\x01[Europe/Berlin]\r\nTZ=CET-1CEST,M3.5.0,M10.5.0/3\r\n[UTC]\r\nTZ=GMT0\r\n")
write("zone_file", "odd_lines", b"\x00\xef\xbb\xbf[ A ]\r\nTZ = \"x\"\r\n[A]\r\nTZ=second\r\nno equals\r\n[]\r\n[B\r\n=v\r\n[C]\r\nTZ=" + b"y" * 300 + b"\r\n")
write("zone_file", "empty", b"\x00")

# zone_ini: the file alone; line ends, blanks, quotes, NUL bytes, duplicates.
write("zone_ini", "shipped_head", b"\n".join(lines[:40]))
write("zone_ini", "line_ends", b"[A]\rTZ=a\r\r[B]\n\rTZ=b\r\n[C]\nTZ=c\x1a\r\n\t[ D\x0b]\nTZ\t= d ")
write("zone_ini", "quotes", b"[A]\nTZ=\" x \"\n[B]\nTZ=\"\n[C]\nTZ=''\n[D]\nTZ='a\"\n[E]\nTZ=\"" + b"w" * 255 + b"\"\n")
write("zone_ini", "nul_bytes", b"[A\x00B]\r\nTZ=a\x00b\r\n[C]\r\nT\x00Z=c\r\nTZ\x00=d\r\n[ D \x00 ]\r\nTZ=1\r\n[d]\r\nTZ=2\r\n")
write("zone_ini", "duplicates", b"TZ=x\r\n[a]b]\r\n[A]\r\nX=1\r\n[a]\r\nTZ=2\r\n[B]\r\nTZ\r\nTZ=3\r\n[]\r\nTZ=4\r\n[x]")

# settings_file: an exported file.
def settings(n, clocks, guid=b"7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371"):
    out = [b"; Exported settings for Horlix world time utility", b"; <http://horlix.example/horlix/>",
           b"; To restore use Right-click > Preferences > Import", b"", b"[Horlix]", b"Version=1650",
           b"Created=2026-12-08T08:00:00Z", b"URL=http://horlix.example/horlix/", b"Guid=" + guid,
           b"DateFormat=2", b"UpdateCheck=1", b"UpdateTime=7", b"UpdateStatus=0", b"LayoutStyle=0",
           b"TimeStampFmt=3", b"FontSize=1", b"ShowIconInTray=1", b"TurnOffOnTop=0", b"X=100", b"Y=0",
           b"AutoStart=1", b"N=%d" % n]
    for i, (title, ident, tz, typ) in enumerate(clocks):
        out += [b"", b"[%d]" % i, b"Color=65280", b"Format=1", b"Type=%d" % typ, b"Wd=0", b"Width=80",
                b"Id=" + ident, b"Title=" + title, b"Tz=" + tz]
    return b"\r\n".join(out) + b"\r\n"


three = [(b"Perth", b"Australia/Perth", b"AWST-8", 2), (b"Local", b"Local", b"", 0),
         (b"UTC", b"UTC", b"", 1)]
write("settings_file", "three", settings(3, three))
write("settings_file", "long_texts", settings(1, [(b"T" * 25, b"I" * 300, b"Z" * 300, 2)]))
write("settings_file", "sixty_four", settings(64, [(b"Clock %d" % i, b"Zone/%d" % i, b"UTC0", 2)
                                                   for i in range(64)]))
write("settings_file", "missing_id", settings(2, three[:1]))
write("settings_file", "quoted", settings(1, [(b"\"Quoted title\"", b"'Id'", b"\"CET-1\"", 2)]))

# update_replies: the last byte picks raw text (odd) or a reply built of
# numbers (even, the rest drives the numbers' spelling).
for name, reply in [("status", b"status=1"), ("status_big", b"status=99999999999x"),
                    ("status_bad", b"status=-1"), ("info", b"crc=cbf43926;size=9;"),
                    ("info_spaced", b"crc= 0xCBF43926;size= +9;"),
                    ("info_no_size", b"crc=1;"), ("info_overflow", b"crc=123456789;size=4294967296;")]:
    write("update_replies", name, reply + b"\x01")
write("update_replies", "built", bytes(range(40)) + b"\x00")
write("update_replies", "built_zero", b"\x00" * 24)

# info_file: texts from the front, then the installer; from the back the mode
# (0 raw, 1 sign the text, 2 a release fitting the installer) and which fetch
# fails (0 = none).
installer = b"MZ installer bytes " + bytes(range(256))
raw = (b"exever=1651\nsize=275\nurl=http://site.test/horlix/setup.exe\n"
       b"dig=00112233445566778899aabbccddeeff\n#\nsig=" + b"ab" * 128 + b"\n")
write("info_file", "raw", text(raw) + installer + b"\x00\x00")
write("info_file", "raw_no_hash", text(b"exever=1700\nsize=10\nurl=x\ndig=0\nsig=00") + b"x" * 10 + b"\x00\x00")
write("info_file", "raw_old", text(b"exever=1600\n") + b"\x00\x00")
write("info_file", "signed", text(b"exever=1651\nsize=275\nurl=http://site.test/a.exe\ndig=0011\n") +
      installer + b"\x00\x01")
def version(v):
    return struct.pack("<I", v + 2**31)  # the provider adds the range's minimum


write("info_file", "release", text(b"http://site.test/horlix/setup.exe") + text(b"extra=1\r\n")
      + installer + version(1651) + b"\x00\x02")
write("info_file", "release_fetch_fails", text(b"http://site.test/setup.exe") + text(b"") + installer
      + version(1700) + b"\x02\x02")

# bignum_powmod: x and e as texts, m as the rest.
mod1024 = b"c" + b"5a" * 127 + b"b"
write("bignum_powmod", "small", text(b"AB") + text(b"3") + b"65")
write("bignum_powmod", "rsa_like", text(b"12 34:56 0x789abc" * 8) + text(b"010001") + mod1024)
write("bignum_powmod", "window", text(b"f" * 200) + text(b"ffffffff" * 9) + mod1024)
write("bignum_powmod", "zero_exponent", text(b"0") + text(b"") + b"1")
write("bignum_powmod", "zero_modulus", text(b"123456789") + text(b"10001") + b"")
write("bignum_powmod", "even_modulus", text(b"deadbeef" * 4) + text(b"ffff") + b"10000000000000000")

# update_cgi: from the back the mode (1 info file, 2 zone data file, 4 no
# method, 8 no query, 16 no release folder); texts method, query, info file;
# the rest the zone data file.
zones = b"[Version]\r\nDate=2026-06-01T12:00Z\r\n"
for name, mode, method, query in (("status", 3, b"GET", b"xv=1650&zd=2026-06-01T12:00Z"),
                                  ("tzinfo", 2, b"GET", b"req=tzinfo"),
                                  ("head", 3, b"HEAD", b"xv=1651&zd=0000-00-00T00:00Z"),
                                  ("post", 3, b"POST", b"xv=1650"),
                                  ("escapes", 1, b"GET", b"x%76=%31%00&zd=%D9%A0+&req"),
                                  ("no_root", 16, b"GET", b"xv=1")):
    write("update_cgi", name, text(method) + text(query) + text(b"exever=1651\n#") + zones + bytes([mode]))
