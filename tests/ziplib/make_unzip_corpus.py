#!/usr/bin/env python3
"""Makes the archives the unzip tests read, and the files a reader must extract from each.

make_unzip_corpus.py FOLDER [--small]   FOLDER/<name>.zip are the archives: the host's writers' (zip,
7-Zip, bsdtar, Python's zipfile) in their usual forms, the kinds readers tell apart, made by byte
surgery, and the ones built entry by entry for the tests' cases: hostile archives, which have no
expected files, and those the option tables work on. FOLDER/<name>.zip.expected/ holds what `unzip`
extracts from each or, where an entry must be refused, the other entries; FOLDER/<name>.zip.password
the password where there is one; FOLDER/locale a ja_JP.UTF-8 locale (for LOCPATH) under which Wine's
OEM code page is 932. Runs before the tests, on the host, because programs under Wine cannot wait
for host programs. --small makes small files, for seeding the fuzzer.
"""
import functools
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


def with_zip64_end(archive, disks=(0, 0), change=(0, 0, 0), marked=False):
    """The archive with a ZIP64 end record and its locator before the end record, as stream writers
    add them; the end record keeps its values, or with `marked` the all-ones marker for the
    directory's size and offset. `disks` fill the ZIP64 record's disk numbers, `change` is added to
    its count, directory size and offset."""
    end = archive.rfind(b"PK\x05\x06")
    count, size, offset = (a + b for a, b in zip(struct.unpack("<HII", archive[end + 10 : end + 20]), change))
    record = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, *disks, count, count, size, offset)
    tail = archive[end : end + 12] + b"\xff" * 8 + archive[end + 20 :] if marked else archive[end:]
    return archive[:end] + record + struct.pack("<IIQI", 0x07064B50, 0, end, 1) + tail


def zip_crypto(data, password, check):
    """`data` in traditional PKWARE encryption under `password`, as `zip -P` writes it: a header of 11
    seeded random bytes and the check byte, then the data. Seeded, so that which wrong passwords pass
    the one-byte check (1 in 256) is the same in every run."""
    keys = [0x12345678, 0x23456789, 0x34567890]

    def crc(value, byte):  # one step of CRC-32 without its inversions
        return zlib.crc32(bytes([byte]), value ^ 0xFFFFFFFF) ^ 0xFFFFFFFF

    def update(byte):
        keys[0] = crc(keys[0], byte)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = crc(keys[2], keys[1] >> 24)

    for byte in password:
        update(byte)
    out = bytearray()
    for byte in rnd.randbytes(11) + bytes([check]) + data:
        temp = (keys[2] | 2) & 0xFFFF
        out.append(byte ^ ((temp * (temp ^ 1)) >> 8) & 0xFF)
        update(byte)
    return bytes(out)


def raw_zip(entries, comment=b""):
    """An archive written field by field. Each entry is (name bytes, data, changes); changes may set
    deflate, size (the size the headers claim; ZIP64 from 4 GiB), crc_xor (spoils the CRC in both headers),
    cut (bytes cut off the end of the compressed data), extra and local_extra (the extra fields), mode (the
    Unix file mode), offset (where the central header says the local one is), local_crc and local_size
    (what the local header alone claims), local_zip64 (its ZIP64 field, which holds both sizes, for its
    compressed size alone; "marked only" holds the compressed size alone), descriptor (general purpose bit 3, zeros in the local header, these bytes
    after the data), dos (made by MS-DOS), body and crc (given for data too large to pass), password
    (traditional encryption under it). More than
    65,535 entries are counted modulo 65,536, as old writers did."""
    out, central = bytearray(), bytearray()
    for name, data, c in entries:
        packer = zlib.compressobj(6, zlib.DEFLATED, -15)
        body = c.get("body") or (packer.compress(data) + packer.flush() if c.get("deflate") else data)
        body = body[: len(body) - c.get("cut", 0)]
        crc, size = c.get("crc", zlib.crc32(data)) ^ c.get("crc_xor", 0), c.get("size", len(data))
        flags = (8 if "descriptor" in c else 0) | (1 if c.get("password") else 0)
        if c.get("password"):
            body = zip_crypto(body, c["password"], crc >> 24)
        local = [0, 0, 0] if "descriptor" in c else [c.get("local_crc", crc), len(body), c.get("local_size", size)]
        made_by, attributes = (0x0014, 0x20) if c.get("dos") else (0x031E, c.get("mode", 0o100644) << 16)
        shared = struct.pack("<HHHHH", 20, flags, 8 if c.get("deflate") else 0, 0, 0x5021)
        size32, local_extra = min(size, 0xFFFFFFFF), c.get("local_extra", b"")
        extra = c.get("extra", b"") + (struct.pack("<HHQ", 1, 8, size) if size32 != size else b"")
        if size32 != size or c.get("local_zip64"):
            local[1:] = [0xFFFFFFFF if c.get("local_zip64") else len(body), size32]
            local_extra += struct.pack("<HHQ", 1, 8, len(body)) if c.get("local_zip64") == "marked only" else \
                struct.pack("<HHQQ", 1, 16, size, len(body))
        central += struct.pack("<IH", 0x02014B50, made_by) + shared + struct.pack("<III", crc, len(body), size32)
        central += struct.pack("<HHHHHII", len(name), len(extra), 0, 0, 0, attributes, c.get("offset", len(out)))
        central += name + extra
        out += struct.pack("<I", 0x04034B50) + shared + struct.pack("<IIIHH", *local, len(name), len(local_extra))
        out += name + local_extra + body + c.get("descriptor", b"")
    count = len(entries) & 0xFFFF
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), len(out), len(comment))
    return bytes(out + central + end + comment)


def unicode_path(stored, name, crc_xor=0):
    """A Unicode Path extra field that names the entry stored as `stored` `name`; it holds only when
    its CRC is that of the stored name."""
    return struct.pack("<HHBI", 0x7075, 5 + len(name.encode()), 1, zlib.crc32(stored) ^ crc_xor) + name.encode()


stub = b"MZ" + bytes(510)  # a self-extractor's program, as far as readers care
base = pathlib.Path(out, "python.zip").read_bytes()
write("zip64-end-unneeded.zip", with_zip64_end(base))
write("zip64-end-odd-disks.zip", with_zip64_end(base, disks=(1, 1)))
needed = with_zip64_end(base, marked=True)  # its record stating 20 bytes, less than its fixed part
record_at = needed.rfind(b"PK\x06\x06")
write("zip64-end-short-size.zip", needed[: record_at + 4] + struct.pack("<Q", 20) + needed[record_at + 12 :])
for field, change in [("count", (1, 0, 0)), ("size", (0, 46, 0)), ("offset", (0, 0, 46))]:
    write(f"zip64-{field}-disagrees.zip", with_zip64_end(base, change=change))
write("zip64-empty.zip", with_zip64_end(raw_zip([]), marked=True))  # its ZIP64 end record at the file's start
write("cp437-name.zip", raw_zip([(b"\x80\xfe.txt", b"437\n", {"dos": True})]))  # no name in code page 932 either
write("cp437-name.zip.expected/\u00c7\u25a0.txt", b"437\n")
write("trailing-bytes.zip", base + bytes(100) + b"a signature block")
write("nested-trailing.zip", raw_zip([(b"inner.zip", base, {})]) + b"a signature")  # the inner end record is no second one
# Data between the last entry and the directory that the directory's offset does not count.
directory = struct.unpack("<I", base[base.rfind(b"PK\x05\x06") + 16 :][:4])[0]
write("gap.zip", base[:directory] + bytes(40) + base[directory:])
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
    "local-size-zero.zip": [(*hello, {"local_size": 0})],  # as a streamed entry has it, but no descriptor
    "descriptor-differs.zip": [(*hello, {"descriptor": struct.pack("<IIII", 0x08074B50, zlib.crc32(hello[1]) ^ 1, 14, 14)})],
    "duplicate-dot-name.zip": [(*hello, {}), (b"./hello.txt", b"second\n", {})],
    "duplicate-backslash-name.zip": [(b"sub/x.txt", b"x\n", {}), (b"sub\\x.txt", b"second\n", {})],
    "extra-damaged.zip": [(*hello, {"extra": struct.pack("<HH", 0x5455, 9) + b"x"})],
    "local-extra-damaged.zip": [(*hello, {"local_extra": struct.pack("<HH", 0x5455, 9) + b"x"})],
    "file-and-folder.zip": [(b"dir", b"a file\n", {}), (b"dir/", b"", {})],  # a file and a folder of one name
}
for name, entries in lying.items():
    write(name, raw_zip(entries + [other]))
    for file, data, _ in entries[:-1] + [other]:
        write(f"{name}.expected/{file.decode()}", data)
# The last entry before the directory: an empty name, nothing else (its header still lies inside).
write("empty-name-last.zip", raw_zip([(*hello, {}), (b"", b"", {})]))
write("empty-name-last.zip.expected/hello.txt", hello[1])
# Unicode Path fields made for their names that hold no name: not UTF-8, a zero byte, nothing.
path = lambda stored, raw: struct.pack("<HHBI", 0x7075, 5 + len(raw), 1, zlib.crc32(stored)) + raw
write("unicode-path-unusable.zip", raw_zip([(name, b"kept\n", {"extra": path(name, raw)})
                                            for name, raw in [(b"bad.txt", b"\xff.txt"), (b"zero.txt", b"a\0b.txt"), (b"none.txt", b"")]]))
for name in ("bad.txt", "zero.txt", "none.txt"):
    write(f"unicode-path-unusable.zip.expected/{name}", b"kept\n")
# An old writer counts 65,537 entries as 1; 65,535 entries without ZIP64 are counted as 65,535, the
# all-ones that marks a ZIP64 count.
for name, count in [("wrapped-count.zip", 65537), ("count-65535.zip", 65535)]:
    many = [(b"first.txt", b"first\n", {})] + [(b"f/%05d" % i, b"", {}) for i in range(count - 2)] + [(b"last.txt", b"last\n", {})]
    write(name, raw_zip(many))
    for file, data, _ in many[:: len(many) - 1]:
        write(f"{name}.expected/{file.decode()}", data)
# A local header may mark one size alone for its ZIP64 field, which holds both (unzip misreads it).
write("local-zip64.zip", raw_zip([(*hello, {"deflate": True, "local_zip64": True}), other]))
for file, data, _ in [(*hello, {}), other]:
    write(f"local-zip64.zip.expected/{file.decode()}", data)
# Stream writers put the marked size alone in the local ZIP64 field, as the central header does.
write("local-zip64-marked-only.zip", raw_zip([(*hello, {"deflate": True, "local_zip64": "marked only"}), other]))
# Jar files repeat a folder's entry.
write("repeated-folder.zip", raw_zip([(b"META-INF/", b"", {}), (b"META-INF/MANIFEST.MF", b"Manifest-Version: 1.0\n", {}),
                                      (b"META-INF/", b"", {})]))
# zip to a pipe makes the password check from the local header's time; the central headers say an hour later.
with open(os.path.join(out, "zip-streamed-password.zip"), "wb") as f:
    subprocess.run(["zip", "-q", "-r", "-P", "secret", "-", "."], cwd=src, env=env, check=True, stdout=f)
streamed, at = bytearray(pathlib.Path(f.name).read_bytes()), 0
while (at := streamed.find(b"PK\x01\x02", at or struct.unpack("<I", streamed[-6:-2])[0]) + 1) > 0:
    streamed[at + 12] ^= 0x08
write("zip-streamed-password.zip", streamed)
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
# Plain and well-formed entries, whatever they resemble; zeros that inflate a thousandfold.
write("plain-names.zip", raw_zip([
    (b"com0.txt", b"0", {}), (b"lpt10.log", b"10", {}), (b"console.txt", b"c", {}), (b"com\xc2\xb9\xc2\xb9.txt", b"11", {}),
    (b"zeros.bin", bytes((16 << 20) + 1), {"deflate": True}),
    (b"u.txt", b"u", {"extra": unicode_path(b"u.txt", "\u00fcbung.txt")}),
    (b"plain.txt", b"p", {"extra": unicode_path(b"plain.txt", "other.txt", crc_xor=1)}), (b"last-empty.txt", b"", {}),
    ("next\u0085line.txt".encode(), b"a C1 control, which listings show escaped", {})]))
# Windows writes names in the OEM code page without the UTF-8 flag: "ソフト.txt" in code page 932,
# whose first character ends in the byte of a backslash.
write("cp932-name.zip", raw_zip([("\u30bd\u30d5\u30c8.txt".encode("cp932"), b"Japanese name\n", {"dos": True})]))

for name in ("zip-password.zip", "zip-streamed-password.zip"):
    write(name + ".password", b"secret")
# unzip takes the disk numbers of a ZIP64 end record that no field needs (Python's zipfile does not),
# and reads an archive with a gap before its directory with result 2: these hold python.zip's files.
for archive in ("zip64-end-odd-disks.zip", "gap.zip"):
    shutil.copytree(src, os.path.join(out, archive + ".expected"))
refused = {"two-end-records.zip", "cp932-name.zip"} | {f"zip64-{f}-disagrees.zip" for f in ("count", "size", "offset")}
for archive in sorted(set(os.listdir(out)) - refused):
    expected = os.path.join(out, archive + ".expected")
    if archive.endswith(".zip") and not os.path.exists(expected):
        # unzip warns (status 1) about bytes before the archive, and passes them over.
        command = ["unzip", "-q", "-o", "-P", "secret", os.path.join(out, archive), "-d", expected]
        if subprocess.run(command, env=env, capture_output=True, stdin=subprocess.DEVNULL).returncode > 1:
            sys.exit(f"unzip cannot extract {archive}")

# The archives the tests try options on, and the ones they expect to be refused, where nothing may be
# written: an unsafe name in each unsafe-*.zip, entries that overlap, an entry larger than any disk,
# one larger than it says, damaged directories and data, and links; and a gibibyte of zeros.
write("options.zip", raw_zip([
    (b"my dir/my file.txt", b"one\ntwo\r\nthree\n", {}), (b"bin.dat", b"\0\n\1\n", {}), (b"Docs/Read.TXT", b"1", {}),
    (b"Docs/b.txt", b"beta\n", {}), (b"empty dir/", b"", {}), (b"e.txt", b"", {}), (b"z.txt", b"z" * 22, {"deflate": True})],
    comment=b"the comment"))
write("long-text.zip", raw_zip([(b"long.txt", "".join(f"line {i}\n" for i in range(150000)).encode(), {"deflate": True})]))
write("existing.zip", raw_zip([(name, b"entry", {}) for name in (b"old.txt", b"new.txt", b"absent.txt")]))
write("empty.zip", raw_zip([]))
unsafe = ["../evil.txt", "a/../../evil.txt", "a\\..\\..\\evil.txt", "/abs.txt", "\\abs.txt", "C:/evil.txt", "C:evil.txt",
          "\\\\server\\share\\x.txt", "file.txt:stream", "CON", "nul.txt", "COM1.log", "lpt9 .txt", "sub/AUX", "trailing.",
          "trailing ", "..", "a/b/../../../evil.txt", "a<b", "a>b", 'a"b', "a|b", "a?b", "a*b"]
for i, name in enumerate(unsafe):
    write(f"unsafe-{i:02}.zip", raw_zip([(name.encode(), b"payload", {})]))
# Control characters in names, which messages and listings show as \xNN: one that would forge a line.
for i, name in enumerate(["ctl\x01.txt", "forged\nArchive:  line.txt"]):
    write(f"unsafe-control-{i}.zip", raw_zip([(name.encode(), b"payload", {})]))
# Device names with a superscript digit, whose UTF-8 bytes a single-byte locale takes for letters.
for i, name in enumerate(["COM\u00b2", "lpt\u00b9.txt", "LPT\u00b3 .log"]):
    write(f"unsafe-superscript-{i}.zip", raw_zip([(name.encode(), b"payload", {})]))
write("unsafe-superscript-dos.zip", raw_zip([(b"COM\xfd.txt", b"payload", {"dos": True})]))  # COM² in code page 437
# Chains of folders: 8 files and folders under a new extraction folder.
write("folder-chains.zip", raw_zip([(b"a/b/c/d/e/", b"", {}), (b"a/b/x/y.txt", b"y", {}), (b"a/b/x/z.txt", b"z", {}),
                                    (b"a/b/c/", b"", {})]))
# Printed pieces at the callback buffer's size (32,800 bytes and a zero byte), one byte less and one more.
write("buffer.zip", raw_zip([(b"%d.txt" % n, b"x" * n, {}) for n in (32799, 32800, 32801)]))
# a.txt's data is b.txt's local header and data, where b.txt's central header points.
write("overlap.zip", raw_zip([(b"a.txt", raw_zip([(b"b.txt", b"shared", {})])[:41], {}),
                             (b"b.txt", b"shared", {"offset": 35})]))
# A long name, then a slot where the test puts the short alias Wine gives it.
write("alias.zip", raw_zip([(b"A long file name.txt", b"long\n", {}), (b"ALIAS~00.TXT", b"alias\n", {})]))
write("long-name.zip", raw_zip([(b"x" * 300 + b".txt", b"a name longer than file systems allow", {})]))
write("too-big.zip", raw_zip([(b"huge.bin", bytes(1000), {"deflate": True, "size": 1 << 62})]))
if scale == 1:  # a gibibyte of zeros: 1 MiB deflated and flushed whole stands for each of its pieces
    zero = bytes(1 << 20)
    crc = functools.reduce(lambda c, _: zlib.crc32(zero, c), range(1024), 0)
    packer = zlib.compressobj(6, zlib.DEFLATED, -15)
    body = (packer.compress(zero) + packer.flush(zlib.Z_FULL_FLUSH)) * 1024 + b"\x03\x00"  # an empty last block ends it
    write("gigabyte.zip", raw_zip([(b"zeros.bin", b"", {"deflate": True, "size": 1 << 30, "body": body, "crc": crc})]))
write("liar.zip", raw_zip([(b"liar.bin", b"x" * (1 << 20), {"deflate": True, "size": 1000})]))
good = bytearray(raw_zip([(b"a.txt", rnd.randbytes(100_000), {"deflate": True})]))
end = len(good) - 22
write("truncated.zip", good[: len(good) // 2])
for name, at, xor in [("bad-count", [end + 8, end + 10], 4), ("count-short", [end + 8, end + 10], 1), ("bad-offset", [end + 18], 2),
                      ("flipped", [200], 0xFF)]:
    damaged = bytearray(good)  # five entries claimed for one, or none; the directory past the file's end; the data spoilt
    for offset in at:
        damaged[offset] ^= xor
    write(name + ".zip", damaged)
pair = raw_zip([(b"a.txt", b"a", {}), (b"b.txt", b"b", {})])
second = pair.rfind(b"PK\x01\x02")
write("bad-central-signature.zip", pair[: second + 3] + b"\x09" + pair[second + 4 :])  # the second central header's
# An end record that marks one of its fields for a ZIP64 end record the archive does not have.
for field, at, width in [("disk", 4, 2), ("directory-disk", 6, 2), ("disk-count", 8, 2), ("count", 10, 2), ("size", 12, 4),
                         ("offset", 16, 4)]:
    at += base.rfind(b"PK\x05\x06")
    write(f"zip64-{field}-marked.zip", base[:at] + b"\xff" * width + base[at + width :])
# An end record that says the archive spans disks: by this disk's number, the directory's, or its own count.
for field, at in [("disk", 4), ("directory-disk", 6), ("disk-count", 8)]:
    at += base.rfind(b"PK\x05\x06")
    write(f"split-{field}.zip", base[:at] + bytes([base[at] + 1]) + base[at + 1 :])
# A locator, and no ZIP64 end record where it points or right before it.
write("zip64-record-missing.zip", needed.replace(b"PK\x06\x06", b"PK\x06\x07"))
write("folder-data.zip", raw_zip([(b"dir\\", b"data", {"dos": True})]))  # a folder by its DOS separator
write("stored-sizes.zip", raw_zip([(b"stored.txt", b"data", {"size": 3})]))
write("bad-crc.zip", raw_zip([(b"crc.txt", b"data", {"crc_xor": 1})]))
write("stub-bad-crc.zip", stub + raw_zip([(b"crc.txt", b"data", {"crc_xor": 1})]))  # a warning, then an error
write("cut.zip", raw_zip([(b"cut.txt", rnd.randbytes(3000).hex().encode(), {"deflate": True, "cut": 3})]))
packer = zlib.compressobj(6, zlib.DEFLATED, -15)  # bytes after the end of the deflate stream, within the entry's size
write("padded.zip", raw_zip([(b"padded.txt", b"padded\n", {"deflate": True, "body": packer.compress(b"padded\n") + packer.flush() + b"pad"})]))
write("no-descriptor.zip", raw_zip([(b"late.txt", b"data", {"descriptor": b""})]))
write("symlink.zip", raw_zip([(b"link", b"/etc/passwd", {"mode": 0o120777}), (b"ok.txt", b"fine", {})]))
write("through-links.zip", raw_zip([(b"link/evil.txt", b"x", {}), (b"file.txt", b"y", {})]))
secrets = [(b"secret.txt", b"the secret text", {"password": b"right"}), (b"second.txt", b"more", {"password": b"right"})]
write("secret.zip", raw_zip(secrets))
# ZIP64 claims at and past 2 and 4 GiB, which a 32-bit reader must not cut short: offsets past the
# file, and (not for the fuzzer) directories too large to hold in memory, by their bytes or by their
# entries, in files that do hold them: sparse files, a hole but for the records.
write("zip64-directory-offset-4g.zip", with_zip64_end(plain, change=(0, 0, 1 << 32), marked=True))
for gib in (2, 4):
    write(f"zip64-offset-{gib}g.zip", raw_zip([(b"far.txt", b"far\n", {"offset": 0xFFFFFFFF, "extra": struct.pack("<HHQ", 1, 8, gib << 30)})]))
if "--small" not in sys.argv[2:]:
    for name, size, count in [("directory-2g", 1 << 31, 1), ("directory-4g", (1 << 32) + 46, 1), ("entries", 1 << 30, (1 << 30) // 46)]:
        with open(os.path.join(out, f"zip64-{name}.zip"), "wb") as f:
            f.write(struct.pack("<I", 0x02014B50))
            f.seek(size)
            f.write(struct.pack("<IQHHIIQQQQIIQIIHHHHIIH", 0x06064B50, 44, 45, 45, 0, 0, count, count, size, 0,  # ZIP64 end record,
                                0x07064B50, 0, size, 1, 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0))  # locator, end record
    # Without ZIP64 the count of 1 may be an old writer's, wrapped: the directory has room for 23 million entries.
    with open(os.path.join(out, "wrapped-directory-1g.zip"), "wb") as f:
        f.write(struct.pack("<I", 0x02014B50))
        f.seek(1 << 30)
        f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, 1 << 30, 0, 0))
    # Wine takes its OEM code page from the Unix locale, which must exist for Unix file names.
    os.makedirs(os.path.join(out, "locale"))
    run(["localedef", "-i", "ja_JP", "-f", "UTF-8", os.path.join(out, "locale", "ja_JP.UTF-8")], cwd=out)
    # A single-byte locale, in which the C library takes the bytes of UTF-8 text for letters.
    run(["localedef", "-i", "en_US", "-f", "ISO-8859-1", os.path.join(out, "locale", "en_US.ISO-8859-1")], cwd=out)
shutil.rmtree(src)
print("made", len([a for a in os.listdir(out) if a.endswith(".zip")]), "archives in", out)
