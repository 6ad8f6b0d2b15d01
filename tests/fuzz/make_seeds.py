#!/usr/bin/env python3
"""Writes the small hand-made fuzz seeds into seeds/ (kept in the tree; run
again only to change them). The generated demo data adds the large ones;
with --lying-ogg IN OUT it writes the first pages of IN, the last of them
announcing 3.3 hours, to OUT."""
import os
import struct
import sys
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds")


def put(kind, name, data):
    os.makedirs(os.path.join(HERE, kind), exist_ok=True)
    with open(os.path.join(HERE, kind, name), "wb") as f:
        f.write(data)


def tga(width, height, top_first, id_field=b""):
    header = struct.pack("<BBBHHBHHHHBB", len(id_field), 0, 2, 0, 0, 0, 0, 0,
                         width, height, 24, 0x20 if top_first else 0)
    pixels = bytes((i * 37) & 255 for i in range(width * height * 3))
    return header + id_field + pixels


def png(width, height, colour_type, depth, rows, extra=b"", interlace=0):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, interlace)
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def ogg_crc(data):
    crc = 0
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xffffffff
    return crc


def ogg_page(packet, header_type, granule, serial, sequence):
    lacing = [255] * (len(packet) // 255) + [len(packet) % 255]
    head = struct.pack("<4sBBqIIIB", b"OggS", 0, header_type, granule, serial,
                       sequence, 0, len(lacing)) + bytes(lacing)
    page = bytearray(head + packet)
    struct.pack_into("<I", page, 22, ogg_crc(page))
    return bytes(page)


def lying_ogg(src, dst, keep=60000):
    data = open(src, "rb").read()
    pages, at = [], 0
    while at < len(data) and at < keep:
        segments = data[at + 26]
        size = 27 + segments + sum(data[at + 27:at + 27 + segments])
        pages.append(bytearray(data[at:at + size]))
        at += size
    last = pages[-1]
    struct.pack_into("<q", last, 6, int(3.3 * 3600 * 44100))
    struct.pack_into("<I", last, 22, 0)
    struct.pack_into("<I", last, 22, ogg_crc(last))
    with open(dst, "wb") as f:
        f.write(b"".join(pages))


def hostile_seeds():
    """Files made to hurt: each must be refused promptly, within memory."""
    put("tga", "huge_header.tga", struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0,
                                              0, 32768, 32768, 24, 0))
    put("png", "huge_header.png", png(16384, 16384, 2, 8, []))
    tri = b"v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\no a\ng b\n"
    put("scene", "long_face", tri + b"f" + b" 1//1" * 10000 + b" 9//1\n")
    library = b"mtllib m.mtl\n" + tri + b"usemtl m\nf 1//1 2//1 3//1\n\0newmtl m\n"
    for name, texture in (("texture_up_the_tree", b"../../../../etc/shadow"),
                          ("texture_absolute", b"/etc/hostname"),
                          ("texture_huge", b"big.tga"),
                          ("texture_control_characters", b"\x1b]0;x\x07\x1b[31m\xc2\x9b.tga")):
        put("scene", name, library + b"map_Kd " + texture + b"\n")
    put("scene", "library_up_the_tree", b"mtllib ../m.mtl\n" + tri)
    put("scene", "two_libraries", b"mtllib m.mtl\nmtllib m.mtl\n" + tri + b"\0newmtl m\n")


def main():
    if sys.argv[1:2] == ["--lying-ogg"]:
        lying_ogg(sys.argv[2], sys.argv[3])
        return
    hostile_seeds()
    put("tga", "bottom_first.tga", tga(2, 3, False))
    put("tga", "top_first_id.tga", tga(3, 2, True, b"ninefold"))
    put("tga", "short.tga", tga(4, 4, False)[:30])

    put("png", "grey_1x1.png", png(1, 1, 0, 8, [b"\x80"]))
    put("png", "rgba_2x2.png", png(2, 2, 6, 8, [b"\xff\0\0\xff\0\xff\0\x80"] * 2))
    plte = struct.pack(">I", 6) + b"PLTE" + b"\xff\0\0\0\0\xff"
    plte += struct.pack(">I", zlib.crc32(b"PLTE\xff\0\0\0\0\xff") & 0xffffffff)
    trns = struct.pack(">I", 1) + b"tRNS\0" + struct.pack(">I", zlib.crc32(b"tRNS\0"))
    put("png", "palette_4x1.png", png(4, 1, 3, 2, [b"\x1b"], plte + trns))
    put("png", "grey16_interlaced_3x3.png",
        png(3, 3, 0, 16, [b"\x12\x34" * 3] * 3, interlace=1))

    ident = (b"\x01vorbis" + struct.pack("<IBIiii", 0, 2, 44100, 0, 128000, 0) +
             b"\xb8\x01")
    put("ogg", "ident_only.ogg", ogg_page(ident, 2, 0, 0x6e696e65, 0))

    scene = b"""mtllib m.mtl
v 0 0 0
v 1 0 0
v 0 1 0
v 0 0 1
vt 0 0
vt 1 0
vt 0 1
vn 0 0 1
o pivot_lid
g hinge
f 1/1/1 2/2/1 3/3/1 4/1/1
f 1//1 2//1 3//1
o lid
g top
usemtl red
f 1/1/1  2/2/1 3/3/1
o point_lamp
g bulb
f 1//1 2//1 4//1
"""
    mtl = b"""newmtl red
Ka 0.1 0 0
Kd 1 0 0
Ks 1 1 1
Ns 30
d 0.5
map_Kd t.tga
newmtl plain
Kd 0.5 0.5 0.5
"""
    put("scene", "hinge_lamp", scene + b"\0" + mtl)
    put("scene", "no_library", b"o a\ng b\nv 1 2 3\nf 1//1 1//1 1//1\n")


main()
