#!/usr/bin/env python3
"""Writes the samples' own game files: a colormap (samples/misc/cmp/dflt.cmp), the 64 x 64
texture both sample models name (samples/mat/dflt.mat) and an archive laid out as the game's
(samples/samples.gob). Everything is drawn here from numbers; no game data is read. Run it
again after changing a sample model: the output depends only on this script and the models."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = os.path.join(HERE, "..", "samples")

# Palette: index 0 black, 1..15 a grey ramp, then 15 ramps of 16 shades, dark to bright.
HUES = [(1.00, 0.25, 0.20), (1.00, 0.55, 0.15), (1.00, 0.85, 0.20), (0.55, 0.90, 0.25),
        (0.20, 0.75, 0.35), (0.20, 0.80, 0.75), (0.25, 0.55, 1.00), (0.35, 0.35, 0.95),
        (0.65, 0.35, 0.95), (0.95, 0.35, 0.75), (0.80, 0.65, 0.45), (0.55, 0.60, 0.65),
        (0.70, 0.70, 0.60), (0.45, 0.50, 0.40), (0.90, 0.90, 0.95)]


def palette():
    colours = [(0, 0, 0)] + [(17 * i, 17 * i, 17 * i) for i in range(1, 16)]
    for hue in HUES:
        for shade in range(16):
            level = (shade + 1) / 16
            colours.append(tuple(min(255, round(255 * c * level)) for c in hue))
    return colours


def nearest(colours, rgb):
    return min(range(len(colours)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colours[i], rgb)))


def colormap(colours):
    out = bytearray(b"CMP ")
    out += struct.pack("<II", 0x1E, 0) + struct.pack("<fff", 1.0, 1.0, 1.0) + bytes(40)
    for rgb in colours:
        out += bytes(rgb)
    cache = {}
    for level in range(64):
        for rgb in colours:
            dim = tuple(round(c * level / 63) for c in rgb)
            if dim not in cache:
                cache[dim] = nearest(colours, dim)
            out.append(cache[dim])
    return bytes(out)


def plate(colours):
    """A riveted steel plate with a hazard band, as RGB rows."""
    steel = (150, 156, 165)
    rows = []
    for y in range(64):
        row = []
        for x in range(64):
            r, g, b = steel
            shade = 1.0 - 0.12 * ((x + y) % 8 == 0)  # brushed streaks
            edge = min(x, y, 63 - x, 63 - y)
            if edge < 2:
                shade = 1.25 if (x < 2 or y < 2) else 0.55  # bevel: lit top left
            if 24 <= y < 40:
                stripe = ((x + y) // 6) % 2 == 0
                r, g, b = (230, 190, 40) if stripe else (40, 36, 30)
                shade = 1.0
            for cx, cy in ((6, 6), (57, 6), (6, 57), (57, 57)):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if d <= 5:
                    shade = 1.35 if (x - cx) + (y - cy) < 0 else 0.6
            row.append(tuple(min(255, round(c * shade)) for c in (r, g, b)))
        rows.append(row)
    return rows


def material(colours, rows):
    cache = {}

    def index(rgb):
        if rgb not in cache:
            cache[rgb] = nearest(colours, rgb)
        return cache[rgb]

    levels = [rows]
    while len(levels) < 4:
        prev = levels[-1]
        size = len(prev) // 2
        levels.append([[tuple(sum(prev[2 * y + dy][2 * x + dx][c] for dy in (0, 1) for dx in (0, 1)) // 4
                              for c in range(3)) for x in range(size)] for y in range(size)])
    out = bytearray(b"MAT ")
    out += struct.pack("<IIiiII", 0x32, 2, 1, 1, 0, 8) + bytes(4 * 12)
    out += struct.pack("<II4fIIIi", 8, index((150, 156, 165)), 1, 1, 1, 1, 0, 0, 0, 0)
    out += struct.pack("<6I", 64, 64, 0, 0, 0, len(levels))
    for level in levels:
        for row in level:
            out += bytes(index(rgb) for rgb in row)
    return bytes(out)


def gob(members):
    out = bytearray(b"GOB ") + struct.pack("<III", 20, 12, len(members))
    offset = 16 + 136 * len(members)
    for name, data in members:
        out += struct.pack("<II", offset, len(data)) + name.encode().ljust(128, b"\0")
        offset += len(data)
    for _, data in members:
        out += data
    return bytes(out)


def write(relative, data):
    path = os.path.join(SAMPLES, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    colours = palette()
    cmp = colormap(colours)
    mat = material(colours, plate(colours))
    write("misc/cmp/dflt.cmp", cmp)
    write("mat/dflt.mat", mat)
    models = []
    for name in ("walker.3do", "canister_lod.3do"):
        with open(os.path.join(SAMPLES, name), "rb") as f:
            models.append(("3do\\" + name, f.read()))
    write("samples.gob", gob(models + [("3do\\mat\\dflt.mat", mat), ("misc\\cmp\\dflt.cmp", cmp)]))


if __name__ == "__main__":
    main()
