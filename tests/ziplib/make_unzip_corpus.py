#!/usr/bin/env python3
"""Makes the archives the unzip tests read, with the host's writers, and what unzip extracts from them.

make_unzip_corpus.py FOLDER [--small]   FOLDER/<name>.zip are the archives: Debian's zip (deflated, stored,
-P encrypted, -fz ZIP64, streamed with data descriptors), 7-Zip and Python's zipfile (UTF-8 names,
a comment, a streamed archive). FOLDER/<name>.zip.expected/ holds the files `unzip` extracts from
each, FOLDER/<name>.zip.password the password where there is one. Runs before the tests, on the
host, because programs under Wine cannot wait for host programs. --small makes small files, for
seeding the fuzzer.
"""
import io
import os
import random
import shutil
import subprocess
import sys
import zipfile

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
    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, b):
        return self.f.write(b)


with open(os.path.join(out, "python-streamed.zip"), "wb") as raw:
    with zipfile.ZipFile(Unseekable(raw), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            with z.open(name, "w") as w:
                w.write(data)

with open(os.path.join(out, "zip-password.zip.password"), "w") as f:
    f.write("secret")
for archive in sorted(os.listdir(out)):
    if not archive.endswith(".zip"):
        continue
    expected = os.path.join(out, archive + ".expected")
    os.makedirs(expected)
    run(["unzip", "-q", "-o", "-P", "secret", os.path.join(out, archive), "-d", expected], cwd=out)
shutil.rmtree(src)
print("made", len([a for a in os.listdir(out) if a.endswith(".zip")]), "archives in", out)
