#!/usr/bin/env python3
"""Makes the archives that unzip-limits-bench extracts and lists: small archives that ask a reader
for far more disk or memory than their size suggests.

    make_hostile_archives.py FOLDER [WRAPPED_MB]

FOLDER/folders.zip      20 entries, each a folder entry for a chain of 1,000 one-letter folders with
                        a declared size of 0 (about 80 KB): extracted into a new folder it makes
                        20,001 folders.
FOLDER/wrapped-hole.zip an end record that counts 1 entry, an old writer's count wrapped modulo
                        65,536, before a central directory of 1 GiB: one central header, then a hole
                        (a sparse file, which takes no disk).
FOLDER/wrapped-real-<WRAPPED_MB>MB.zip
                        an end record with a wrapped count before a directory of WRAPPED_MB
                        megabytes (default 100) of real 47-byte central headers, all of one empty
                        stored file, each a separate entry.
An archive already there is left as it is.
"""
import os
import struct
import sys


def end_record(count, size, offset):
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count & 0xFFFF, count & 0xFFFF, size, offset, 0)


def header(central, name, offset=0):
    # Stored, no CRC, sizes 0, DOS date 2020-01-01; made by MS-DOS with the folder attribute when
    # the name ends in '/'.
    common = struct.pack("<HHHHHIII", 20, 0, 0, 0, 0x5021, 0, 0, 0)
    if not central:
        return struct.pack("<I", 0x04034B50) + common + struct.pack("<HH", len(name), 0) + name
    attributes = 0x10 if name.endswith(b"/") else 0x20
    return (struct.pack("<IH", 0x02014B50, 0x0014) + common +
            struct.pack("<HHHHHII", len(name), 0, 0, 0, 0, attributes, offset) + name)


def write(path, parts):
    with open(path + ".part", "wb") as f:
        for part in parts:
            f.write(part)
    os.replace(path + ".part", path)


def folders(path):
    local, central = bytearray(), bytearray()
    for i in range(20):
        name = bytes([ord("a") + i]) + b"/" + b"a/" * 999
        central += header(True, name, len(local))
        local += header(False, name)
    write(path, [local, central, end_record(20, len(central), len(local))])


def wrapped_hole(path):
    size = 1 << 30
    with open(path + ".part", "wb") as f:
        f.write(struct.pack("<I", 0x02014B50))
        f.seek(size)
        f.write(end_record(1, size, 0))
    os.replace(path + ".part", path)


def wrapped_real(path, megabytes):
    local = header(False, b"a")
    one = header(True, b"a")
    count = megabytes * 1000 * 1000 // len(one)
    write(path, [local, one * count, end_record(count, len(one) * count, len(local))])


def main():
    folder = sys.argv[1]
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    os.makedirs(folder, exist_ok=True)
    for name, make in [("folders.zip", folders), ("wrapped-hole.zip", wrapped_hole),
                       (f"wrapped-real-{megabytes}MB.zip", lambda p: wrapped_real(p, megabytes))]:
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            make(path)


if __name__ == "__main__":
    main()
