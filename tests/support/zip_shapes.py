"""Writes a package's parts again as a zip of one shape: those other writers produce (which every
reader opens), damage a reader must refuse, or a zip bomb. The part damaged is the one whose
name ends with MAIN (the sheet or the document body).

    zip_shapes.py SOURCE OUT SHAPE MAIN
"""
import struct
import sys
import zipfile
import zlib

BOMB = 200 << 20  # inflated bytes of a bomb's main part


def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def bomb_data(data):
    """The part followed by spaces: still the part to a parser, and 200 MB inflated."""
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    out, crc = [c.compress(data)], zlib.crc32(data)
    block = b" " * (1 << 20)
    for _ in range(BOMB >> 20):
        out.append(c.compress(block))
        crc = zlib.crc32(block, crc)
    out.append(c.flush())
    return b"".join(out), crc, len(data) + BOMB


def write(source, out, shape, main):
    with zipfile.ZipFile(source) as z:
        parts = [(i.filename, z.read(i)) for i in z.infolist()]
    evil = {"dotdot-name": "xl/../../evil.xml", "absolute-name": "/etc/evil.xml"}
    if shape in evil:
        parts.append((evil[shape], b"<a/>"))
    body, central = bytearray(), bytearray()
    offsets = {}
    for name, data in parts:
        is_main = name.endswith(main)
        if is_main and shape.startswith("bomb"):
            packed, crc, size = bomb_data(data)
        else:
            packed, crc, size = deflate(data), zlib.crc32(data), len(data)
        lies = {"bomb-understated": len(data), "size-too-large": size + 100, "size-too-small": size - 10}
        stated = lies.get(shape, size) if is_main else size
        stored_crc = crc ^ 1 if is_main and shape == "bad-crc" else crc
        flags = 0x08 if shape == "descriptor-with-sizes" else 0
        local_time = 0x6042 if shape == "times-differ" else 0x6000
        encoded = name.encode()
        offsets[name] = len(body)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, 8, local_time, 0x5A21, stored_crc, len(packed),
                            stated, len(encoded), 0) + encoded + packed
        if flags:
            body += struct.pack("<IIII", 0x08074B50, stored_crc, len(packed), stated)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, 8, 0x6000, 0x5A21, stored_crc,
                               len(packed), stated, len(encoded), 0, 0, 0, 0, 0, offsets[name]) + encoded
    count = len(parts)
    if shape == "overlapping":
        # A second directory entry whose data is the main part's: read twice, stored once.
        name = next(n for n, _ in parts if n.endswith(main)).encode()
        record = bytearray(central[central.index(name) - 46:central.index(name)])
        record[28:30] = struct.pack("<H", 9)
        central += record + b"extra.xml"
        count += 1
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), len(body), 0)
    tail = b"bytes after the end record" if shape == "trailing-bytes" else b""
    with open(out, "wb") as f:
        f.write(bytes(body) + bytes(central) + end + tail)


if __name__ == "__main__":
    write(*sys.argv[1:5])
