"""The zone search table: for every zone of the zone data file, the countries
it serves, the older names the IANA database keeps as links to it and the
large cities it serves that no zone is named after. Written as C++ for
tz/zone_search.cpp by tools/make_zonedata.py from the same database as the
zone data file, so the two always come from one release.

- Countries: iso3166.tab names the codes; zone1970.tab and zone.tab give the
  codes of each zone (a zone.tab entry that is a link counts for its target).
- Older names: the Link lines of tzdata.zi.
- Cities: tools/zone_search_cities.txt ("City|Zone", sourced there).

Every name is folded to ASCII (accents dropped), so the program compares plain
letters whatever the code page.
"""

import os
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_CITIES = os.path.join(ROOT, "tools", "zone_search_cities.txt")


class SearchTableError(Exception):
    """The database or the city list holds something the table cannot take."""


def ascii_name(text):
    """ "Côte d'Ivoire" -> "Cote d'Ivoire"; refuses what does not fold."""
    text = text.replace("\u2019", "'")
    folded = unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode("ascii")
    if not folded.strip() or '"' in folded or "\\" in folded or ";" in folded:
        raise SearchTableError(f"name {text!r} has no plain-letter form for the search table")
    return folded


def words(text):
    """The name as the program compares it: lower-case words of letters and digits."""
    out = []
    word = ""
    for c in ascii_name(text).replace("_", " ").lower():
        if c.isalnum():
            word += c
        elif word:
            out.append(word)
            word = ""
    if word:
        out.append(word)
    return " ".join(out)


def _tab_lines(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            yield line.rstrip("\n").split("\t")


def read_links(tzdata_zi):
    """{link name: target} from the Link lines of tzdata.zi."""
    links = {}
    with open(tzdata_zi, encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 3 and fields[0] == "L":
                links[fields[2]] = fields[1]
    return links


def _resolve(name, zones, links):
    seen = set()
    while name not in zones and name in links and name not in seen:
        seen.add(name)
        name = links[name]
    return name if name in zones else None


def read_countries(zoneinfo, zones, links):
    """{zone: sorted country names} from iso3166.tab, zone1970.tab and zone.tab."""
    names = {fields[0]: ascii_name(fields[1]) for fields in _tab_lines(os.path.join(zoneinfo, "iso3166.tab"))}
    countries = {}
    for table in ("zone1970.tab", "zone.tab"):
        for fields in _tab_lines(os.path.join(zoneinfo, table)):
            zone = _resolve(fields[2], zones, links)
            if zone is None:
                continue
            for code in fields[0].split(","):
                if code not in names:
                    raise SearchTableError(f"{table}: country code {code} is not in iso3166.tab")
                countries.setdefault(zone, set()).add(names[code])
    return {zone: sorted(found) for zone, found in countries.items()}


def read_cities(path, zones, links):
    """{zone: [city, ...]} from the city list; a city some zone or link already
    names, or a zone that is not in the file, is an error."""
    named = {words(n.rsplit("/", 1)[-1]) for n in list(zones) + list(links)}
    cities = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            city, sep, zone_name = line.partition("|")
            zone = _resolve(zone_name, zones, links)
            if not sep or zone is None:
                raise SearchTableError(f"{path}:{number}: not 'City|Zone' with a zone of the file: {line!r}")
            if words(city) in named:
                raise SearchTableError(f"{path}:{number}: {city} is named by a zone or link already")
            cities.setdefault(zone, []).append(ascii_name(city))
    return cities


def _c_string(items):
    return '"' + ";".join(items) + '"'


def build_table(zoneinfo, zones, release, cities_path=DEFAULT_CITIES):
    """The text of tz/zone_search_table.inc for the zones (a set of names)."""
    links = read_links(os.path.join(zoneinfo, "tzdata.zi"))
    countries = read_countries(zoneinfo, zones, links)
    cities = read_cities(cities_path, zones, links)
    older = {}
    for link in sorted(links):
        zone = _resolve(link, zones, links)
        if zone is not None and link not in zones:
            older.setdefault(zone, []).append(ascii_name(link))
    lines = [
        "// The zone search table: made by tools/make_zonedata.py from the IANA time zone",
        f"// database, release {release}, and tools/zone_search_cities.txt; do not edit.",
        "// Per zone, sorted by name: countries, older names (links), large cities; each",
        "// list separated by ';'.",
    ]
    for zone in sorted(zones):
        row = [countries.get(zone, []), older.get(zone, []), cities.get(zone, [])]
        if any(row):
            lines.append(f'{{"{zone}", {", ".join(_c_string(r) for r in row)}}},')
    return "\n".join(lines) + "\n"
