#!/usr/bin/env python3
"""Checks zip archives with the readers users have: unzip, Python's zipfile, 7-Zip and bsdtar.

check_archives.py [--test-only] ARCHIVE|FOLDER...  For each ARCHIVE, the folder ARCHIVE.expected holds
the files it must contain, under their stored names; ARCHIVE.password, when present, holds the
password, without which zipfile must not read the entries. Every reader must test the archive as
sound, and unzip, 7-Zip, bsdtar and zipfile must each extract exactly the expected files with
identical bytes. With --test-only the readers only test the archive and must agree on its entry
count (for archives too large to extract quickly).
A FOLDER stands for every archive under it with its expected files beside it. Prints one line per
failure and exits 1 on any; prints "ok ARCHIVE" for each archive that passes.
"""
import os
import subprocess
import sys
import tempfile
import zipfile


def tree(folder):
    return {os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/"):
            open(os.path.join(root, name), "rb").read() for root, _, names in os.walk(folder) for name in names}


def run(command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                          env=dict(os.environ, LC_ALL="C.UTF-8"))
    return done.returncode, done.stdout.decode("utf-8", "replace")


def check(archive, test_only):
    faults = []
    password = open(archive + ".password").read().strip() if os.path.exists(archive + ".password") else None
    unzip_pw, bsdtar_pw = (["-P", password], ["--passphrase", password]) if password else ([], [])
    sevenzip_pw = ["-p" + (password or "")]
    tests = {"unzip -t": ["unzip", "-t", "-q"] + unzip_pw + [archive], "7z t": ["7z", "t", "-bd"] + sevenzip_pw + [archive],
             "bsdtar -tf": ["bsdtar", "-tf", archive]}
    if not password:
        tests["python3 -m zipfile -t"] = [sys.executable, "-m", "zipfile", "-t", archive]
    for name, command in tests.items():
        code, output = run(command)
        if code != 0:
            faults.append(f"{name} failed ({code}): {output.strip()[-400:]}")
    if test_only:
        count = len(zipfile.ZipFile(archive).infolist())
        listed = len(run(["bsdtar", "-tf", archive])[1].splitlines())
        return faults + ([f"bsdtar lists {listed} entries, zipfile {count}"] if listed != count else [])
    expected = tree(archive + ".expected")
    with tempfile.TemporaryDirectory() as scratch:
        extractors = {
            "unzip": lambda d: run(["unzip", "-q", "-o"] + unzip_pw + [archive, "-d", d]),
            "7z": lambda d: run(["7z", "x", "-bd", "-y", "-o" + d] + sevenzip_pw + [archive]),
            "bsdtar": lambda d: run(["bsdtar", "-xf", archive, "-C", d] + bsdtar_pw),
        }
        for name, extract in extractors.items():
            target = os.path.join(scratch, name)
            os.mkdir(target)
            code, output = extract(target)
            if code != 0:
                faults.append(f"{name} could not extract ({code}): {output.strip()[-400:]}")
            elif tree(target) != expected:
                faults.append(f"{name} extracted {sorted(tree(target))} differing from {sorted(expected)}")
        with zipfile.ZipFile(archive) as z:
            got = {i.filename: z.read(i, pwd=password and password.encode()) for i in z.infolist() if not i.is_dir()}
            for i in z.infolist() if password else []:
                try:
                    z.read(i)
                    faults.append(f"zipfile read {i.filename} without the password")
                except RuntimeError:
                    pass
        if got != expected:
            faults.append(f"zipfile read {sorted(got)} differing from {sorted(expected)}")
    return faults


test_only = "--test-only" in sys.argv
archives = []
for a in (a for a in sys.argv[1:] if a != "--test-only"):
    if os.path.isdir(a):
        archives += sorted(os.path.join(r, n) for r, _, names in os.walk(a) for n in names
                           if os.path.isdir(os.path.join(r, n + ".expected")))
    else:
        archives.append(a)
failed = not archives
for archive in archives:
    faults = check(archive, test_only)
    print("\n".join(f"FAIL {archive}: {fault}" for fault in faults) if faults else f"ok {archive}")
    failed = failed or bool(faults)
if not archives:
    print("no archive given")
sys.exit(1 if failed else 0)
