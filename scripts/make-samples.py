#!/usr/bin/env python3
"""Writes the samples' own game files: a colormap (samples/misc/cmp/dflt.cmp), the 64 x 64
texture both sample models name (samples/mat/dflt.mat), a walk for the walker
(samples/key/walk.key) and a puppet naming it (samples/misc/pup/walker.pup), and an archive laid
out as the game's (samples/samples.gob). Everything is drawn here from numbers; no game data is
read. Run it again after changing a sample model: the output depends only on this script and
the models."""
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


# The walker's nodes, as its hierarchy names them: (name, position, pitch yaw roll at rest).
WALKER = [("$$$dummy_pelvis", (0, 0, 0.15), (0, 0, 0)), ("torso", (0, 0, 0.03), (0, 0, 0)),
          ("head", (0, 0, 0.12), (5, 0, 0)), ("r_shoulder", (0.075, 0, 0.11), (0, 0, -10)),
          ("r_elbow", (0, 0, -0.09), (-20, 0, 0)), ("l_shoulder", (-0.075, 0, 0.11), (0, 0, 10)),
          ("l_elbow", (0, 0, -0.09), (-20, 0, 0)), ("r_hip", (0.025, 0, -0.02), (0, 0, 0)),
          ("l_hip", (-0.025, 0, -0.02), (0, 0, 0))]
WALK_FRAMES = 48  # two steps
WALK_FPS = 16


def swing(node, axis, start, end, half=WALK_FRAMES // 2):
    """Entries that sweep one angle from start to end and back, each extrapolated with its own
    change per frame from where it starts (flag 0x2)."""
    _, pos, rot = WALKER[node]
    entries = []
    for frame, a, b in ((0, start, end), (half, end, start)):
        angles = list(rot)
        angles[axis] = a
        delta = [0, 0, 0]
        delta[axis] = (b - a) / half
        entries.append((frame, 0x2, pos, angles, (0, 0, 0), delta))
    return entries


def walk_key():
    """Two steps of walking: legs and arms swinging against each other, the pelvis bobbing with
    each step (position changes, flag 0x1), the torso twisting, the elbows held bent (entries
    without changes), and the head, a sensor, turning round and round: its yaw runs free, the
    second entry saying 540 degrees rather than 180."""
    quarter = WALK_FRAMES // 4
    _, pelvis, _ = WALKER[0]
    bob = []
    for i in range(4):
        z = pelvis[2] - (0 if i % 2 == 0 else 0.012)
        step = (0.012 if i % 2 else -0.012) / quarter
        bob.append((i * quarter, 0x1, (0, 0, z), (0, 0, 0), (0, 0, step), (0, 0, 0)))
    _, head, (pitch, _, _) = WALKER[2]
    turn = (0, 360 / WALK_FRAMES, 0)
    spin = [(0, 0x2, head, (pitch, 0, 0), (0, 0, 0), turn),
            (WALK_FRAMES // 2, 0x2, head, (pitch, 540, 0), (0, 0, 0), turn)]
    elbow = lambda node: [(0, 0x0, WALKER[node][1], (-35, 0, 0), (0, 0, 0), (0, 0, 0))]
    nodes = [(0, bob), (1, swing(1, 1, 4, -4)), (2, spin), (3, swing(3, 0, -20, 20)),
             (4, elbow(4)), (5, swing(5, 0, 20, -20)), (6, elbow(6)), (7, swing(7, 0, 25, -25)),
             (8, swing(8, 0, -25, 25))]
    lines = ["# A walk for walker.3do, made by scripts/make-samples.py", "",
             "SECTION: HEADER", "", "FLAGS 0x0000", "TYPE  0xFFFF",
             "FRAMES %d" % WALK_FRAMES, "FPS   %.3f" % WALK_FPS, "JOINTS %d" % len(WALKER), "",
             "SECTION: MARKERS", "", "MARKERS 2",
             "  %f %d" % (quarter, 1), "  %f %d" % (3 * quarter, 2), "",
             "SECTION: KEYFRAME NODES", "", "NODES %d" % len(nodes), ""]
    for node, entries in nodes:
        lines += ["NODE %d" % node, "MESH NAME %s" % WALKER[node][0],
                  "ENTRIES %d" % len(entries), "",
                  "#  num: frame   flags         x          y          z      pitch        yaw"
                  "       roll",
                  "#                            dx         dy         dz     dpitch       dyaw"
                  "      droll"]
        for i, (frame, flags, pos, rot, dpos, drot) in enumerate(entries):
            values = " ".join("%10.6f" % v for v in (*pos, *rot))
            deltas = " ".join("%10.6f" % v for v in (*dpos, *drot))
            lines.append("  %4d: %5d  0x%04x  %s" % (i, frame, flags, values))
            lines.append("                      %s" % deltas)
        lines.append("")
    return ("\r\n".join(lines)).encode()


def walker_puppet():
    return ("\r\n".join([
        "# Which key the walker plays for which action; made by scripts/make-samples.py",
        "mode=0",
        "stand      none",
        "walk       walk.key    0x00  1  1",
        "run        walk.key    0x00  2",
        "mode=1 basedon=0",
        "walk       walk.key    0x04  2  2",
        "joints",
        "0=2",
        "1=1",
        "end", ""])).encode()


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
    key = walk_key()
    pup = walker_puppet()
    write("key/walk.key", key)
    write("misc/pup/walker.pup", pup)
    models = []
    for name in ("walker.3do", "canister_lod.3do"):
        with open(os.path.join(SAMPLES, name), "rb") as f:
            models.append(("3do\\" + name, f.read()))
    write("samples.gob", gob(models + [("3do\\mat\\dflt.mat", mat), ("misc\\cmp\\dflt.cmp", cmp),
                                       ("3do\\key\\walk.key", key), ("misc\\pup\\walker.pup", pup)]))


if __name__ == "__main__":
    main()
