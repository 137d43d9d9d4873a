#!/usr/bin/env python3
"""Checks zip archives with the readers users have: unzip, Python's zipfile, 7-Zip and bsdtar.

check_archives.py [--test-only] ARCHIVE|FOLDER...  For each ARCHIVE, the folder ARCHIVE.expected holds
the files it must contain, under their stored names; ARCHIVE.password, when present, holds the
password. Every reader must test the archive as sound, and unzip, 7-Zip, bsdtar and zipfile must
each extract exactly the expected files with identical bytes. With --test-only the readers only
test the archive and must agree on its entry count (for archives too large to extract quickly).
Prints one line per failure and exits 1 on any; prints "ok ARCHIVE" for each archive that passes.
"""
import os
import subprocess
import sys
import tempfile
import zipfile


def tree(folder):
    files = {}
    for root, _dirs, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder).replace(os.sep, "/")] = f.read()
    return files


def run(command):
    env = dict(os.environ, LC_ALL="C.UTF-8")
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def check(archive, test_only):
    faults = []
    password = None
    if os.path.exists(archive + ".password"):
        with open(archive + ".password") as f:
            password = f.read().strip()
    unzip_pw = ["-P", password] if password else []
    sevenzip_pw = ["-p" + password] if password else ["-p"]
    bsdtar_pw = ["--passphrase", password] if password else []
    tests = {
        "unzip -t": ["unzip", "-t", "-q"] + unzip_pw + [archive],
        "7z t": ["7z", "t", "-bd"] + sevenzip_pw + [archive],
        "bsdtar -tf": ["bsdtar", "-tf", archive],
    }
    if not password:
        tests["python3 -m zipfile -t"] = [sys.executable, "-m", "zipfile", "-t", archive]
    for name, command in tests.items():
        code, output = run(command)
        if code != 0:
            faults.append(f"{name} failed ({code}): {output.strip()[-400:]}")
    if test_only:
        with zipfile.ZipFile(archive) as z:
            count = len(z.infolist())
        code, output = run(["bsdtar", "-tf", archive])
        if len(output.splitlines()) != count:
            faults.append(f"bsdtar lists {len(output.splitlines())} entries, zipfile {count}")
        return faults
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
                continue
            got = tree(target)
            if got != expected:
                faults.append(f"{name} extracted {sorted(got)} differing from {sorted(expected)}")
        with zipfile.ZipFile(archive) as z:
            got = {}
            for info in z.infolist():
                if not info.is_dir():
                    got[info.filename] = z.read(info, pwd=password.encode() if password else None)
            if got != expected:
                faults.append(f"zipfile read {sorted(got)} differing from {sorted(expected)}")
    return faults


def main():
    failed = False
    args = sys.argv[1:]
    test_only = "--test-only" in args
    args = [a for a in args if a != "--test-only"]
    # A folder stands for every archive in it that has its expected files beside it.
    archives = []
    for a in args:
        if os.path.isdir(a):
            archives += sorted(os.path.join(a, n) for n in os.listdir(a) if os.path.isdir(os.path.join(a, n + ".expected")))
        else:
            archives.append(a)
    args = archives
    for archive in args:
        faults = check(archive, test_only)
        for fault in faults:
            print(f"FAIL {archive}: {fault}")
        if faults:
            failed = True
        else:
            print(f"ok {archive}")
    if not args:
        print("no archive given")
        failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
