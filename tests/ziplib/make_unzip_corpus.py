#!/usr/bin/env python3
"""Makes the archives the unzip tests read, and the files a reader must extract from each.

make_unzip_corpus.py FOLDER [--small]   FOLDER/<name>.zip are the archives: the host's writers' (zip,
7-Zip, bsdtar, Python's zipfile) in their usual forms, and the kinds readers tell apart, made by byte
surgery. FOLDER/<name>.zip.expected/ holds what `unzip` extracts from each or, where an entry must be
refused, the other entries; FOLDER/<name>.zip.password the password where there is one; FOLDER/locale
a ja_JP.UTF-8 locale (for LOCPATH) under which Wine's OEM code page is 932. Runs before the tests, on
the host, because programs under Wine cannot wait for host programs. --small makes small files, for
seeding the fuzzer.
"""
import io
import os
import pathlib
import random
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

out = os.path.abspath(sys.argv[1])
shutil.rmtree(out, ignore_errors=True)
src = os.path.join(out, "source")
os.makedirs(os.path.join(src, "folder", "nested"))
rnd = random.Random(5)
scale = 100 if "--small" in sys.argv[2:] else 1
files = {
    "hello.txt": b"Hello,\nworld.\n",
    "data.bin": bytes(rnd.getrandbits(8) for _ in range(300_000 // scale)),
    "folder/nested/deep.txt": b"deep\r\nwindows lines\r\n" * (500 // scale),
    "name with spaces.txt": b"spaces\n",
    "\u00fcbung.txt": b"non-ASCII name\n",
    "empty.txt": b"",
    "folder/repeat.log": b"registry-like line 0123456789\n" * (40_000 // scale),
    # Named like a temporary file beside "repeat.log", which it is not.
    "folder/repeat.log.tmp-txt": b"an entry, not a temporary file\n",
}
for name, data in files.items():
    with open(os.path.join(src, name), "wb") as f:
        f.write(data)
env = dict(os.environ, LC_ALL="C.UTF-8", TZ="UTC")


def run(args, cwd=src, **kw):
    subprocess.run(args, cwd=cwd, env=env, check=True, stdout=subprocess.DEVNULL, stdin=kw.pop("stdin", subprocess.DEVNULL), **kw)


def zip_archive(name, *switches):
    run(["zip", "-q", "-r", *switches, os.path.join(out, name), "."])


zip_archive("zip-deflated.zip")
subprocess.run(["zip", "-q", "-z", os.path.join(out, "zip-deflated.zip")], env=env, check=True,
               input=b"An archive comment.\n", stdout=subprocess.DEVNULL)
zip_archive("zip-stored.zip", "-0")
zip_archive("zip-password.zip", "-P", "secret")
zip_archive("zip-zip64.zip", "-fz")
# zip writing to a pipe cannot seek back: every entry gets a data descriptor.
with open(os.path.join(out, "zip-streamed.zip"), "wb") as f:
    subprocess.run(["zip", "-q", "-r", "-", "."], cwd=src, env=env, check=True, stdout=f)
run(["7z", "a", "-tzip", "-bd", os.path.join(out, "7z.zip"), "."])
with zipfile.ZipFile(os.path.join(out, "python.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    for name, data in files.items():
        z.writestr(name, data)
    z.comment = b"python comment"


class Unseekable(io.RawIOBase):
    writable = lambda self: True
    write = lambda self, b: self.f.write(b)


# zipfile writing where it cannot seek back gives every entry a data descriptor (with 8-byte sizes
# for ZIP64 entries).
for name, streamed, zip64 in [("python-streamed", True, False), ("python-zip64", False, True),
                              ("python-streamed-zip64", True, True)]:
    with open(os.path.join(out, name + ".zip"), "wb") as raw:
        target = Unseekable() if streamed else raw
        target.f = raw
        with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
            for file, data in files.items():
                with z.open(file, "w", force_zip64=zip64) as w:
                    w.write(data)
# bsdtar names the archive's root "./" and every entry under it "./...".
run(["bsdtar", "-c", "-f", os.path.join(out, "bsdtar.zip"), "--format", "zip", "."])


def write(name, data):
    target = pathlib.Path(out, name)
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(data)


def with_zip64_end(archive, disks=(0, 0), offset_change=0):
    """The archive with a ZIP64 end record and its locator before the end record, as stream writers
    add them; the end record keeps its values. `disks` fill the ZIP64 record's disk numbers."""
    end = archive.rfind(b"PK\x05\x06")
    count, size, offset = struct.unpack("<HII", archive[end + 10 : end + 20])
    record = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, *disks, count, count, size, offset + offset_change)
    return archive[:end] + record + struct.pack("<IIQI", 0x07064B50, 0, end, 1) + archive[end:]


def raw_zip(entries):
    """A stored archive written field by field. Each entry is (name bytes, data, changes); changes may
    set local_crc and local_size (what the local header claims), descriptor (general purpose bit 3,
    zeros in the local header, these bytes after the data) and dos (made by MS-DOS)."""
    out, central = b"", b""
    for name, data, changes in entries:
        crc, flags = zlib.crc32(data), 8 if "descriptor" in changes else 0
        local = [0, 0] if flags else [changes.get("local_crc", crc), changes.get("local_size", len(data))]
        made_by, attributes = (0x0014, 0x20) if changes.get("dos") else (0x031E, 0o100644 << 16)
        shared = struct.pack("<HHHH", 20, flags, 0, 0) + struct.pack("<H", 0x5021)
        central += struct.pack("<IH", 0x02014B50, made_by) + shared + struct.pack("<III", crc, len(data), len(data))
        central += struct.pack("<HHHHHII", len(name), 0, 0, 0, 0, attributes, len(out)) + name
        out += struct.pack("<I", 0x04034B50) + shared + struct.pack("<IIIHH", local[0], local[1], local[1], len(name), 0)
        out += name + data + changes.get("descriptor", b"")
    return out + central + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(out), 0)


stub = b"MZ" + bytes(510)  # a self-extractor's program, as far as readers care
base = pathlib.Path(out, "python.zip").read_bytes()
write("zip64-end-unneeded.zip", with_zip64_end(base))
write("zip64-end-odd-disks.zip", with_zip64_end(base, disks=(1, 1)))
write("zip64-end-disagrees.zip", with_zip64_end(base, offset_change=46))
write("trailing-bytes.zip", base + bytes(100) + b"a signature block")
write("stub-prefixed.zip", stub + base)
write("stub-adjusted.zip", stub + base)
run(["zip", "-q", "-A", os.path.join(out, "stub-adjusted.zip")])

# Entries that a reader must refuse while it reads the others: the last of each list.
hello, other = (b"hello.txt", b"Hello,\nworld.\n"), (b"sub/other.txt", b"other\n", {})
lying = {
    "empty-name.zip": [(*hello, {}), (b"", b"no name\n", {})],
    "duplicate-name.zip": [(*hello, {}), (b"hello.txt", b"second\n", {})],
    "duplicate-folded-name.zip": [(*hello, {}), (b"HELLO.TXT", b"second\n", {})],
    "duplicate-folded-unicode-name.zip": [("\u00c9t\u00e9.txt".encode(), b"first\n", {}), ("\u00e9T\u00c9.txt".encode(), b"second\n", {})],
    "local-crc-differs.zip": [(*hello, {"local_crc": zlib.crc32(hello[1]) ^ 1})],
    "local-size-differs.zip": [(*hello, {"local_size": 5})],
    "descriptor-differs.zip": [(*hello, {"descriptor": struct.pack("<IIII", 0x08074B50, zlib.crc32(hello[1]) ^ 1, 14, 14)})],
}
for name, entries in lying.items():
    write(name, raw_zip(entries + [other]))
    for file, data, _ in entries[:-1] + [other]:
        write(f"{name}.expected/{file.decode()}", data)
# A data descriptor may leave out its signature.
write("descriptor-unsigned.zip", raw_zip([(*hello, {"descriptor": struct.pack("<III", zlib.crc32(hello[1]), 14, 14)}), other]))
# A second end record in the first one's comment, after a directory of the first entry alone:
# readers that take the last end record see one entry, readers that take the one whose comment
# ends the file see two.
plain = raw_zip([(*hello, {}), other])
end = plain.rfind(b"PK\x05\x06")
first = plain[plain.index(b"PK\x01\x02") : plain.rindex(b"PK\x01\x02")]
hidden = first + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(first), end + 22, 0) + b"more"
write("two-end-records.zip", plain[: end + 20] + struct.pack("<H", len(hidden)) + hidden)
# Windows writes names in the OEM code page without the UTF-8 flag: "ソフト.txt" in code page 932,
# whose first character ends in the byte of a backslash.
write("cp932-name.zip", raw_zip([("\u30bd\u30d5\u30c8.txt".encode("cp932"), b"Japanese name\n", {"dos": True})]))

write("zip-password.zip.password", b"secret")
# unzip takes the disk numbers of a ZIP64 end record that no field needs (Python's zipfile does not):
# this archive holds the source files, as python.zip does.
shutil.copytree(src, os.path.join(out, "zip64-end-odd-disks.zip.expected"))
for archive in sorted(set(os.listdir(out)) - {"zip64-end-disagrees.zip", "two-end-records.zip", "cp932-name.zip"}):
    expected = os.path.join(out, archive + ".expected")
    if archive.endswith(".zip") and not os.path.exists(expected):
        # unzip warns (status 1) about bytes before the archive, and passes them over.
        command = ["unzip", "-q", "-o", "-P", "secret", os.path.join(out, archive), "-d", expected]
        if subprocess.run(command, env=env, capture_output=True, stdin=subprocess.DEVNULL).returncode > 1:
            sys.exit(f"unzip cannot extract {archive}")
if "--small" not in sys.argv[2:]:
    # Wine takes its OEM code page from the Unix locale, which must exist for Unix file names.
    os.makedirs(os.path.join(out, "locale"))
    run(["localedef", "-i", "ja_JP", "-f", "UTF-8", os.path.join(out, "locale", "ja_JP.UTF-8")], cwd=out)
shutil.rmtree(src)
print("made", len([a for a in os.listdir(out) if a.endswith(".zip")]), "archives in", out)
