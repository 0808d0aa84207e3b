#!/usr/bin/env python3
"""Writes the colormap and material fuzz seeds into fuzz/corpus/: small files of our own in
each layout the readers know, so the fuzzer starts from accepted input."""
import pathlib
import struct

here = pathlib.Path(__file__).resolve().parent


def u32(*values):
    return struct.pack("<%dI" % len(values), *values)


def cmp(flags=0, tables=b""):
    palette = bytes(b for i in range(256) for b in (i, 255 - i, 7 * i % 256))
    light = bytes(i if row >= 32 else 0 for row in range(64) for i in range(256))
    return b"CMP " + u32(0x1E, flags) + struct.pack("<3f", 1, 1, 1) + bytes(40) + palette + light + tables


INDEXED = (0, 8) + (0,) * 12
RGB565 = (1, 16, 5, 6, 5, 11, 5, 0, 3, 2, 3, 0, 0, 0)
ARGB1555 = (2, 16, 5, 5, 5, 10, 5, 0, 3, 3, 3, 1, 15, 7)
ARGB4444 = (2, 16, 4, 4, 4, 8, 4, 0, 4, 4, 4, 4, 12, 4)
RGB888 = (1, 24, 8, 8, 8, 16, 8, 0, 0, 0, 0, 0, 0, 0)
ARGB8888 = (2, 32, 8, 8, 8, 16, 8, 0, 0, 0, 0, 8, 24, 0)


def header(mat_type, cels, textures, fmt=INDEXED):
    return b"MAT " + u32(0x32, mat_type, cels, textures, *fmt)


def colour_cel(index):
    return u32(0, index) + struct.pack("<4f", 1, 1, 1, 1)


def texture_cel(index, texture):
    return u32(8, index) + struct.pack("<4f", 1, 1, 1, 1) + u32(0, 0, 0, texture)


def texture(width, height, transparent, mips, bytes_per_texel):
    texels = b"".join(
        bytes((7 * k + level) % 256 for k in range((width >> level) * (height >> level) * bytes_per_texel))
        for level in range(mips))
    return u32(width, height, transparent, 0, 0, mips) + texels


seeds = {
    "colormap": {
        "minimal.cmp": cmp(),
        "transparency.cmp": cmp(1, bytes(65536)),
        "later_layout.cmp": cmp(4),
    },
    "material": {
        "two_levels.mat": header(2, 1, 1) + texture_cel(5, 0) + texture(4, 2, 0, 2, 1),
        "colour.mat": header(0, 2, 0) + colour_cel(5) + colour_cel(200),
        "rgb565.mat": header(2, 1, 1, RGB565) + texture_cel(5, 0) + texture(2, 2, 0, 1, 2),
        "argb1555.mat": header(2, 1, 1, ARGB1555) + texture_cel(5, 0) + texture(2, 2, 1, 1, 2),
        "argb4444.mat": header(2, 1, 1, ARGB4444) + texture_cel(0, 0) + texture(4, 4, 1, 2, 2),
        "rgb888.mat": header(2, 1, 1, RGB888) + texture_cel(0, 0) + texture(2, 2, 0, 1, 3),
        "argb8888.mat": header(2, 1, 1, ARGB8888) + texture_cel(0, 0) + texture(2, 2, 0, 1, 4),
        "cels_palette.mat": header(3, 3, 2) + texture_cel(1, 1) + texture_cel(2, 0) + texture_cel(3, 1)
        + texture(16, 8, 1, 4, 1) + texture(8, 8, 0, 1, 1) + bytes(range(256)) * 3,
    },
}

for target, files in seeds.items():
    folder = here / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in files.items():
        (folder / name).write_bytes(data)
