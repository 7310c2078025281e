#!/usr/bin/env python3
"""Builds the core library's map data from the raw sources.

Writes countries.json, lakes.json, prefixes.json, cqzones.json, ituzones.json
and NOTICES.txt into the core resource folder. Standard library only; never
downloads anything. Run by hand from the checkout:

    tools/mapdata/generate.py            # regenerate core/Resources
    tools/mapdata/generate.py --check    # compare a fresh run with the files

With --check nothing is written. The exit status is 0 when every file would
come out byte for byte as it is, 1 when one differs, and 2 when the inputs
are not the ones the committed files were made from (see inputs.sha256), so
that a newer cty.dat on the machine is not mistaken for a broken generator.

All output is a pure function of the inputs: fixed key order, fixed number
formatting, no dates, no dictionary-order dependence.
"""

import argparse
import hashlib
import json
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKOUT = os.path.dirname(os.path.dirname(HERE))
INPUT_HASHES = os.path.join(HERE, "inputs.sha256")

# Zone outlines are simplified to about this many degrees.
ZONE_TOLERANCE = 0.01


class DataError(Exception):
    pass


# ---------------------------------------------------------------- output


def number(value):
    """Three decimals, trailing zeros dropped, never "-0", never NaN."""
    if not math.isfinite(value):
        raise DataError(f"non-finite number {value!r}")
    text = f"{value:.3f}".rstrip("0").rstrip(".")
    if text in ("-0", ""):
        text = "0"
    return text


def encode(value):
    if isinstance(value, bool):
        raise DataError("no booleans in map data")
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        return number(value)
    if isinstance(value, str):
        return json.dumps(value, ensure_ascii=False)
    if isinstance(value, list):
        return "[" + ",".join(encode(v) for v in value) + "]"
    if isinstance(value, tuple):  # an ordered object: ((key, value), …)
        return "{" + ",".join(json.dumps(k) + ":" + encode(v) for k, v in value) + "}"
    raise DataError(f"cannot encode {type(value).__name__}")


def document(elements):
    """A JSON array with one element per line: compact, yet diffable."""
    return ("[\n" + ",\n".join(encode(e) for e in elements) + "\n]\n").encode("utf-8")


# ----------------------------------------------------------------- rings


def signed_area(points):
    s = 0.0
    for i in range(len(points)):
        x1, y1 = points[i - 1]
        x2, y2 = points[i]
        s += x1 * y2 - x2 * y1
    return s / 2.0


def open_ring(points):
    """Drops consecutive repeats and the repeated closing point."""
    out = []
    for p in points:
        p = (float(p[0]), float(p[1]))
        if not out or out[-1] != p:
            out.append(p)
    while len(out) > 1 and out[-1] == out[0]:
        out.pop()
    return out


def rounded_ring(points):
    """Rounds to the output grid and drops points that became repeats.
    Gives None when fewer than three points remain."""
    out = []
    for x, y in points:
        p = (float(number(x)), float(number(y)))
        if not out or out[-1] != p:
            out.append(p)
    while len(out) > 1 and out[-1] == out[0]:
        out.pop()
    return out if len(out) >= 3 else None


def flat(points):
    return [c for p in points for c in p]


# ------------------------------------------------------------- countries


def polygons_of(geometry):
    if geometry["type"] == "Polygon":
        return [geometry["coordinates"]]
    if geometry["type"] == "MultiPolygon":
        return geometry["coordinates"]
    raise DataError(f"unexpected geometry {geometry['type']}")


def polygon_rings(polygon, what):
    """Outer ring then holes, rounded; holes must wind against the outer
    ring (the non-zero fill relies on it). None when the outer ring vanishes."""
    outer = rounded_ring(open_ring(polygon[0]))
    if outer is None:
        return None
    rings = [outer]
    outer_sign = signed_area(outer) > 0
    for hole in polygon[1:]:
        ring = rounded_ring(open_ring(hole))
        if ring is None:
            continue
        if (signed_area(ring) > 0) == outer_sign:
            raise DataError(f"{what}: a hole winds like its outer ring")
        rings.append(ring)
    return rings


def flat_polygons(geometry, what):
    """Every polygon of a feature as flat rings, those that vanished left out."""
    out = []
    for polygon in polygons_of(geometry):
        rings = polygon_rings(polygon, what)
        if rings is not None:
            out.append([flat(r) for r in rings])
    return out


def countries(data_dir):
    source = load_json(os.path.join(data_dir, "naturalearth", "ne_50m_admin_0_countries.geojson"))
    out = []
    for feature in source["features"]:
        props = feature["properties"]
        colour = props["MAPCOLOR7"]
        if colour != int(colour) or not 1 <= colour <= 7:
            raise DataError(f"{props.get('NAME')}: MAPCOLOR7 {colour}")
        parts = flat_polygons(feature["geometry"], props.get("NAME"))
        if not parts:
            raise DataError(f"{props.get('NAME')}: no outline left")
        out.append((("c", int(colour)), ("p", parts)))
    return out


def lakes(data_dir):
    source = load_json(os.path.join(data_dir, "naturalearth", "ne_50m_lakes.geojson"))
    out = []
    for feature in source["features"]:
        out.extend(flat_polygons(feature["geometry"], feature["properties"].get("name")))
    return out


# -------------------------------------------------------------- prefixes

# Labels renamed so the country file's built-in aliases find them.
RENAMED_PREFIXES = {"KL": "KL7", "EU": "EW"}
# cty.dat puts Antarctica on the pole, where a label cannot be drawn.
MOVED_LABELS = {"CE9": (-80.0, 0.0)}


def prefixes(cty_path):
    with open(cty_path, encoding="latin-1") as f:
        text = f.read()
    out = []
    seen = set()
    for line in text.splitlines():
        if not line or line[0].isspace():
            continue  # alias lines belong to the record above
        fields = [field.strip() for field in line.split(":")]
        if len(fields) < 9:
            raise DataError(f"cty.dat: malformed record {line!r}")
        name, _cq, _itu, continent, lat, lon, _tz, prefix = fields[:8]
        if prefix.startswith("*"):
            continue  # WAE-only entity: not a DXCC country
        prefix = RENAMED_PREFIXES.get(prefix, prefix)
        latitude, longitude = float(lat), -float(lon)  # cty.dat counts west positive
        latitude, longitude = MOVED_LABELS.get(prefix, (latitude, longitude))
        if prefix in seen:
            raise DataError(f"cty.dat: prefix {prefix} twice")
        seen.add(prefix)
        out.append((("prefix", prefix), ("name", name), ("lat", latitude), ("lon", longitude),
                    ("continent", continent)))
    return out


# ----------------------------------------------------------------- zones


def polar(points):
    """Zones stop at 85°: stretching those vertices to the pole covers the caps."""
    return [(x, 90.0 if y == 85 else -90.0 if y == -85 else y) for x, y in points]


def key_of(point):
    """The same place whatever side of the date line the outline writes it on."""
    x, y = point
    x = (x + 180.0) % 360.0 - 180.0
    return (round(x, 7), round(y, 7))


def segment_distance(p, a, b):
    ax, ay = a
    bx, by = b
    px, py = p
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    if length2 == 0:
        return math.hypot(px - ax, py - ay)
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def douglas_peucker(points, tolerance):
    """Indices of the points kept; both ends always stay."""
    keep = [False] * len(points)
    keep[0] = keep[-1] = True
    stack = [(0, len(points) - 1)]
    while stack:
        first, last = stack.pop()
        best, index = -1.0, -1
        for i in range(first + 1, last):
            d = segment_distance(points[i], points[first], points[last])
            if d > best:
                best, index = d, i
        if index >= 0 and best > tolerance:
            keep[index] = True
            stack.append((first, index))
            stack.append((index, last))
    return keep


def simplify_closed(points, tolerance):
    """A ring with no junction: split at the point farthest from the start."""
    start = points[0]
    far = max(range(len(points)), key=lambda i: (math.hypot(points[i][0] - start[0], points[i][1] - start[1]), -i))
    first = douglas_peucker(points[: far + 1], tolerance)
    second = douglas_peucker(points[far:] + [start], tolerance)
    return first + second[1:-1]


def simplify_zones(rings, tolerance):
    """Simplifies every ring so that borders shared between zones stay
    identical: rings are cut into arcs at the points where neighbours part,
    and each arc is simplified once, in one canonical direction."""
    keys = [[key_of(p) for p in ring] for ring in rings]

    # A point is a junction when its neighbours differ between occurrences.
    neighbours = {}
    for ring_keys in keys:
        n = len(ring_keys)
        for i, k in enumerate(ring_keys):
            pair = frozenset((ring_keys[i - 1], ring_keys[(i + 1) % n]))
            neighbours.setdefault(k, set()).add(pair)
    junction = {k for k, pairs in neighbours.items() if len(pairs) > 1}

    masks = {}
    result = []
    for ring, ring_keys in zip(rings, keys):
        n = len(ring)
        cuts = [i for i, k in enumerate(ring_keys) if k in junction]
        keep = [False] * n
        if not cuts:
            # Canonical start (smallest key) and direction, so a ring shared
            # whole by two zones is simplified the same way in both.
            start = min(range(n), key=lambda i: ring_keys[i])
            forward = [(start + i) % n for i in range(n)]
            backward = [(start - i) % n for i in range(n)]
            order = min(forward, backward, key=lambda idx: [ring_keys[i] for i in idx])
            canonical = tuple(ring_keys[i] for i in order)
            if canonical not in masks:
                masks[canonical] = simplify_closed([ring[i] for i in order], tolerance)
            for i, kept in zip(order, masks[canonical]):
                keep[i] = kept
        else:
            for a, b in zip(cuts, cuts[1:] + [cuts[0] + n]):
                idx = [i % n for i in range(a, b + 1)]
                arc = tuple(ring_keys[i] for i in idx)
                reverse = arc[::-1]
                if reverse < arc:
                    idx, arc = idx[::-1], reverse
                if arc not in masks:
                    masks[arc] = douglas_peucker([ring[i] for i in idx], tolerance)
                for i, kept in zip(idx, masks[arc]):
                    keep[i] = keep[i] or kept
        result.append([p for p, kept in zip(ring, keep) if kept])
    return result


def zones(data_dir, kind):
    source = load_json(os.path.join(data_dir, "zones", f"{kind}zones.geojson"))
    features = source["features"]
    numbers = [f["properties"][f"{kind}_zone_number"] for f in features]
    expected = list(range(1, 41 if kind == "cq" else 91))
    if numbers != expected:
        raise DataError(f"{kind} zones are not 1…{expected[-1]} in ascending order")

    rings, owners = [], []
    for feature in features:
        geometry = feature["geometry"]
        for polygon in polygons_of(geometry):
            for ring in polygon:
                rings.append(polar(open_ring(ring)))
                owners.append(feature["properties"][f"{kind}_zone_number"])
    simplified = simplify_zones(rings, ZONE_TOLERANCE)

    out = []
    for feature in features:
        props = feature["properties"]
        zone = props[f"{kind}_zone_number"]
        zone_rings = []
        for owner, ring in zip(owners, simplified):
            if owner != zone:
                continue
            ring = rounded_ring(ring)
            if ring is None:
                raise DataError(f"{kind} zone {zone}: a ring vanished")
            zone_rings.append(flat(ring))
        label_lat, label_lon = props[f"{kind}_zone_name_loc"]
        name = props["cq_zone_name"] if kind == "cq" else f"ITU Zone {zone}"
        out.append((("number", zone), ("name", name), ("labelLat", float(label_lat)),
                    ("labelLon", float(label_lon)), ("rings", zone_rings)))
    return out


# --------------------------------------------------------------- notices


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read().rstrip("\n") + "\n"


def notices(data_dir, cty_copyright):
    parts = [
        "Third-party notices for the map data in this folder\n"
        "====================================================\n\n"
        "countries.json and lakes.json are derived from Natural Earth.\n"
        "cqzones.json and ituzones.json are derived from hamradio-zones-geojson.\n"
        "prefixes.json is derived from the country file cty.dat.\n",
    ]
    sections = [
        ("Natural Earth 1:50m countries and lakes: provenance", os.path.join(data_dir, "naturalearth", "PROVENANCE.md")),
        ("Natural Earth GeoJSON carrier: licence", os.path.join(data_dir, "naturalearth", "LICENSE")),
        ("CQ and ITU zones: provenance", os.path.join(data_dir, "zones", "PROVENANCE.md")),
        ("CQ and ITU zones: licence", os.path.join(data_dir, "zones", "LICENSE")),
        ("Country file cty.dat (Debian hamradio-files): copyright and licence", cty_copyright),
    ]
    for title, path in sections:
        parts.append("\n" + title + "\n" + "-" * len(title) + "\n\n" + read_text(path))
    return "".join(parts).encode("utf-8")


# ------------------------------------------------------------------ main


def load_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def input_hashes(args):
    paths = [
        "naturalearth/ne_50m_admin_0_countries.geojson",
        "naturalearth/ne_50m_lakes.geojson",
        "naturalearth/LICENSE",
        "naturalearth/PROVENANCE.md",
        "zones/cqzones.geojson",
        "zones/ituzones.geojson",
        "zones/LICENSE",
        "zones/PROVENANCE.md",
    ]
    lines = [f"{sha256(os.path.join(args.data, p))}  {p}" for p in paths]
    lines.append(f"{sha256(args.cty)}  cty.dat")
    lines.append(f"{sha256(args.cty_copyright)}  cty.dat copyright")
    return ("\n".join(lines) + "\n").encode("utf-8")


def build(args):
    return {
        "countries.json": document(countries(args.data)),
        "lakes.json": document(lakes(args.data)),
        "prefixes.json": document(prefixes(args.cty)),
        "cqzones.json": document(zones(args.data, "cq")),
        "ituzones.json": document(zones(args.data, "itu")),
        "NOTICES.txt": notices(args.data, args.cty_copyright),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--data", default=os.path.normpath(os.path.join(CHECKOUT, "..", "shared", "data")),
                        help="folder with naturalearth/ and zones/ (default: ../shared/data)")
    parser.add_argument("--cty", default="/usr/share/hamradio-files/cty.dat", help="country file")
    parser.add_argument("--cty-copyright", default="/usr/share/doc/hamradio-files/copyright",
                        help="the country file's copyright notice")
    parser.add_argument("--out", default=os.path.join(CHECKOUT, "core", "Resources"), help="output folder")
    parser.add_argument("--check", action="store_true", help="compare instead of writing")
    args = parser.parse_args()

    try:
        hashes = input_hashes(args)
        if args.check:
            with open(INPUT_HASHES, "rb") as f:
                if f.read() != hashes:
                    print("inputs differ from those the resources were made from", file=sys.stderr)
                    return 2
        files = build(args)
        # The same inputs must always give the same bytes: build twice.
        if build(args) != files:
            raise DataError("two runs on the same inputs differ")
    except (OSError, KeyError, ValueError, DataError) as error:
        print(f"generate.py: {error}", file=sys.stderr)
        return 1

    if args.check:
        differing = []
        for name, content in files.items():
            path = os.path.join(args.out, name)
            try:
                with open(path, "rb") as f:
                    same = f.read() == content
            except OSError:
                same = False
            if not same:
                differing.append(name)
        for name in differing:
            print(f"{name} differs from a fresh run", file=sys.stderr)
        return 1 if differing else 0

    os.makedirs(args.out, exist_ok=True)
    for name, content in files.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(content)
        print(f"{name}: {len(content)} bytes")
    with open(INPUT_HASHES, "wb") as f:
        f.write(hashes)
    return 0


if __name__ == "__main__":
    sys.exit(main())
