#!/usr/bin/env python3
"""Writes the hand-built archive fixtures of the archive tests into this folder.

Free tools cannot make RAR archives, and no Linux tool writes Shift_JIS names the
way archivers on Japanese Windows do, so these few small files are built byte by
byte from the published layouts of the formats:

  rar4_stored.rar   RAR 1.5-4.x: "hello.txt" and "dir\\日本.txt" (Shift_JIS name,
                    "\\" separator), both stored
  rar5_stored.rar   RAR 5: "hello.txt" and "dir/日本.txt" (UTF-8), both stored
  sjis_names.zip    ZIP: "フォルダ\\データ.txt" with an unflagged Shift_JIS name,
                    and "utf8_名前.txt" flagged UTF-8
  level0.lzh        LHA, level-0 header, -lh0-: "DIR\\ファイル.TXT" (Shift_JIS)

sample.arj beside them was made with the arj program:
  (cd src && arj a -y ../sample.arj hello.txt dir/data.txt)
Run this script again to rebuild the hand-built files; the tests check contents,
so the files are expected to be byte-identical after a rebuild.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
HELLO = b"Hello, archive\n"
NIHON = "\u65e5\u672c\u306e\u30c7\u30fc\u30bf\n".encode("utf-8")  # 日本のデータ
DOS_TIME = (1 << 11) | (2 << 5) | 3           # 01:02:06
DOS_DATE = ((2020 - 1980) << 9) | (5 << 5) | 17  # 2020-05-17


def crc32(b):
    return zlib.crc32(b) & 0xFFFFFFFF


def rar4():
    def block(body):  # body starts with HEAD_TYPE
        return struct.pack("<H", crc32(body) & 0xFFFF) + body

    out = b"Rar!\x1a\x07\x00"
    out += block(struct.pack("<BHHHI", 0x73, 0, 13, 0, 0))
    for name, data in ((b"hello.txt", HELLO), ("dir\\\u65e5\u672c.txt".encode("cp932"), NIHON)):
        fixed = struct.pack("<BHH", 0x74, 0x8000, 32 + len(name))
        fixed += struct.pack("<IIBIIBBHI", len(data), len(data), 2, crc32(data),
                             (DOS_DATE << 16) | DOS_TIME, 20, 0x30, len(name), 0x20)
        out += block(fixed + name) + data
    out += b"\xc4\x3d\x7b\x00\x40\x07\x00"
    return out


def vint(n):
    b = bytearray()
    while True:
        c = n & 0x7F
        n >>= 7
        b.append(c | (0x80 if n else 0))
        if not n:
            return bytes(b)


def rar5():
    def header(body):  # body: type, flags and the rest
        data = vint(len(body)) + body
        return struct.pack("<I", crc32(data)) + data

    out = b"Rar!\x1a\x07\x01\x00"
    out += header(vint(1) + vint(0) + vint(0))
    mtime = 1589677326
    for name, data in ((b"hello.txt", HELLO), ("dir/\u65e5\u672c.txt".encode("utf-8"), NIHON)):
        body = vint(2) + vint(0x02) + vint(len(data))        # type, flags (data area), data size
        body += vint(0x02 | 0x04) + vint(len(data)) + vint(0x20)  # mtime + CRC, size, attributes
        body += struct.pack("<II", mtime, crc32(data))
        body += vint(0) + vint(0) + vint(len(name)) + name  # stored, Windows, name
        out += header(body) + data
    out += header(vint(5) + vint(0) + vint(0))
    return out


def sjis_zip():
    # Two stored entries: an unflagged Shift_JIS name with a "\\" separator, as
    # archivers on Japanese Windows write them, and a name flagged UTF-8 (bit 11).
    entries = [("\u30d5\u30a9\u30eb\u30c0\\\u30c7\u30fc\u30bf.txt".encode("cp932"), 0, HELLO),
               ("utf8_\u540d\u524d.txt".encode("utf-8"), 0x800, NIHON)]
    out, central = b"", b""
    for name, flags, data in entries:
        fields = struct.pack("<HHHHHIIIHH", 20, flags, 0, DOS_TIME, DOS_DATE, crc32(data), len(data), len(data),
                             len(name), 0)
        central += b"PK\x01\x02" + struct.pack("<H", 20) + fields + struct.pack("<HHHII", 0, 0, 0, 0x20, len(out)) + name
        out += b"PK\x03\x04" + fields + name + data
    end = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, len(entries), len(entries), len(central), len(out), 0)
    return out + central + end


def lzh_level0():
    name = "DIR\\\u30d5\u30a1\u30a4\u30eb.TXT".encode("cp932")
    crc = 0
    for byte in HELLO:  # CRC-16, polynomial 0xA001 reflected
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    body = b"-lh0-" + struct.pack("<IIHHBBB", len(HELLO), len(HELLO), DOS_TIME, DOS_DATE, 0x20, 0, len(name))
    body += name + struct.pack("<H", crc)
    return struct.pack("<BB", len(body), sum(body) & 0xFF) + body + HELLO + b"\x00"


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


write("rar4_stored.rar", rar4())
write("rar5_stored.rar", rar5())
write("sjis_names.zip", sjis_zip())
write("level0.lzh", lzh_level0())
