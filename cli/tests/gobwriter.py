"""A small writer of Jedi Knight GOB archives for the command-line tests: the header, the index
right after it, then the members' bytes in index order. Names and data are bytes; raw() gives
full control of every index field for hostile archives."""
import struct


def raw(entries, data=b"", version=20, index_offset=12, count=None, magic=b"GOB "):
    """entries: (offset, length, name bytes, exactly as stored in the 128-byte field)."""
    out = magic + struct.pack("<II", version, index_offset)
    out += struct.pack("<I", len(entries) if count is None else count)
    for offset, length, name in entries:
        out += struct.pack("<II", offset, length) + name.ljust(128, b"\0")[:128]
    return out + data


def archive(members):
    """members: (name, bytes) in index order."""
    start = 16 + 136 * len(members)
    entries, data = [], b""
    for name, content in members:
        entries.append((start + len(data), len(content), name + b"\0"))
        data += content
    return raw(entries, data)


def write(path, content):
    with open(path, "wb") as f:
        f.write(content)
