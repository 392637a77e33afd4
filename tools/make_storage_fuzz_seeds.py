#!/usr/bin/python3
"""Writes the seed inputs of fuzz/storage_fuzz.cpp into fuzz/seeds/storage_fuzz/.

Input format (see the fuzz target): a mode byte, eight text columns (id, name,
author, title, uid, intro, stars, skulls) each as a 16-bit little-endian length
and its bytes, then the payload of the data column.
"""
import os
import struct
import zlib

LEVEL_SIZE = 46576
MAP_OFFSET = 692
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "fuzz", "seeds", "storage_fuzz")


def texts(*values):
    out = b""
    for v in values:
        out += struct.pack("<H", len(v)) + v
    return out


def blank_map():
    cells = bytearray(128 * 128)
    for y in range(128):
        for x in range(128):
            if x < 4 or y < 4 or x > 123 or y > 123:
                cells[x + 128 * y] = 32
    for y in range(63, 66):
        for x in range(63, 66):
            cells[x + 128 * y] = 1
    cells[64 + 128 * 64] = 4
    return cells


def blank_record():
    rec = bytearray(LEVEL_SIZE)
    rec[MAP_OFFSET:MAP_OFFSET + 128 * 128] = blank_map()
    struct.pack_into("<i", rec, 620, 1)             # unbeaten
    struct.pack_into("<ff", rec, 684, 64.0, 64.0)  # camera look-at
    rec[644:646] = b"1\0"                          # identifier
    return bytes(rec)


def busy_map():
    # Tile numbers of the fuzz target's synthetic catalogue: kind = n % 18 - 1,
    # value = n % 10. 1 none (floor), 6 wall, 8 pillar, 11 guard, 12 player,
    # 13 arrow (direction 3), 31 arrow (direction 1), 14 light, 15 item (value 5).
    cells = blank_map()
    for y in range(4, 124):
        for x in range(4, 124):
            cells[x + 128 * y] = 1
    for x in range(10, 40):
        cells[x + 128 * 30] = 6
    cells[20 + 128 * 20] = 12
    cells[25 + 128 * 25] = 11
    cells[26 + 128 * 25] = 13
    cells[35 + 128 * 25] = 31
    cells[35 + 128 * 28] = 13
    cells[50 + 128 * 50] = 14
    cells[51 + 128 * 51] = 13
    cells[60 + 128 * 20] = 8
    cells[61 + 128 * 20] = 15
    return bytes(cells)


def main():
    os.makedirs(OUT, exist_ok=True)
    common = texts(b"1700000000", b"Seed", b"Ada", b"A seed level", b"u:1",
                   b"Blow the pillar.", b"4.5", b"2")
    seeds = {
        "raw-record": bytes([0]) + common + zlib.compress(blank_record()),
        "busy-map": bytes([2]) + common + busy_map(),
        "short-record": bytes([1]) + texts(b"x", b"", b"", b"", b"", b"", b"nan", b"") + b"\x05" * 64,
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
        print("wrote", name, len(data))


if __name__ == "__main__":
    main()
