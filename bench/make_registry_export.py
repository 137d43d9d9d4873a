#!/usr/bin/env python3
"""Writes text shaped like a full `regedit /e` export: UTF-16LE with a byte-order mark, CR LF.

make_registry_export.py PATH MEGABYTES [SEED]

Keys nest under the five roots with the names real machines carry (CLSIDs, interfaces, file
classes, services, installed programs); values are strings (paths, names, GUIDs, versions),
dwords, hex blobs wrapped at 80 columns as regedit wraps them, and expandable strings. Names and
values repeat the way a registry does: a few hundred words, many GUIDs that recur as references.
The same seed gives the same bytes.
"""
import random
import sys

WORDS = ("Microsoft Windows CurrentVersion Explorer Shell Classes CLSID Interface TypeLib Software "
         "Policies Services Control Enum Hardware Profiles Pebblework Orlavent Fonts Printers Network "
         "Setup Uninstall Installer Components Features Products Display Settings Internet Zones "
         "Associations FileExts OpenWithList ProgID Default Icon Command Open Print Edit "
         "InprocServer32 LocalServer32 ThreadingModel Version Description Publisher InstallLocation "
         "DisplayIcon UninstallString ModifyPath EstimatedSize Language Codepage Parameters Security "
         "Linkage Device Driver Class Vendor Media Audio Video Session Manager Environment").split()
ROOTS = ["HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS", "HKEY_CURRENT_CONFIG"]


def main():
    path, megabytes = sys.argv[1], float(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    guids = ["{%08X-%04X-%04X-%04X-%012X}" % (rng.getrandbits(32), rng.getrandbits(16), rng.getrandbits(16),
                                              rng.getrandbits(16), rng.getrandbits(48)) for _ in range(6000)]
    exts = [".%s" % "".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 4)))
            for _ in range(400)]

    def word():
        return rng.choice(WORDS)

    def key_path():
        root = rng.choices(ROOTS, weights=[50, 20, 25, 4, 1])[0]
        kind = rng.random()
        if kind < 0.35:
            parts = ["SOFTWARE", "Classes", "CLSID", rng.choice(guids)] + [word() for _ in range(rng.randint(0, 2))]
        elif kind < 0.5:
            parts = ["SOFTWARE", "Classes", rng.choice(exts)] + [word() for _ in range(rng.randint(0, 2))]
        elif kind < 0.65:
            parts = ["SYSTEM", "CurrentControlSet", "Services", word() + word()] + [word() for _ in range(rng.randint(0, 2))]
        else:
            parts = ["SOFTWARE"] + [word() for _ in range(rng.randint(1, 5))]
        return root + "\\" + "\\".join(parts)

    def hex_value(name, kind=""):
        data = ",".join("%02x" % (rng.getrandbits(8) if rng.random() < 0.4 else 0) for _ in range(rng.randint(4, 120)))
        line = '"%s"=hex%s:' % (name, kind)
        out, col = [line], len(line)
        for item in data.split(","):
            if col + len(item) + 1 > 78:
                out.append("\\\r\n  ")
                col = 2
            out.append(item + ",")
            col += len(item) + 1
        return "".join(out).rstrip(",")

    def value():
        name = word() + (word() if rng.random() < 0.5 else "")
        kind = rng.random()
        if kind < 0.12:
            return '@="%s"' % rng.choice(guids)
        if kind < 0.45:
            return '"%s"="%s"' % (name, rng.choice([
                "C:\\\\Program Files\\\\%s\\\\%s.exe" % (word(), word()),
                "%s %s" % (word(), word()),
                rng.choice(guids),
                "%d.%d.%d.%d" % (rng.randint(1, 12), rng.randint(0, 9), rng.randint(0, 9999), rng.randint(0, 99)),
                "%SystemRoot%\\\\System32\\\\" + word().lower() + ".dll",
                "Apartment", "Both", "Free"]))
        if kind < 0.75:
            return '"%s"=dword:%08x' % (name, rng.choice([0, 1, 2, 3, 0x10, 0xFFFFFFFF, rng.getrandbits(32)]))
        if kind < 0.93:
            return hex_value(name)
        return hex_value(name, "(2)")

    limit = int(megabytes * 1024 * 1024)
    with open(path, "wb") as f:
        f.write(b"\xff\xfe")
        written = 2
        f.write("Windows Registry Editor Version 5.00\r\n\r\n".encode("utf-16-le"))
        while written < limit:
            lines = []
            for _ in range(200):
                lines.append("[%s]" % key_path())
                lines.extend(value() for _ in range(rng.choice([0, 1, 1, 2, 2, 3, 4, 6])))
                lines.append("")
            chunk = ("\r\n".join(lines) + "\r\n").encode("utf-16-le")
            chunk = chunk[: limit - written]
            f.write(chunk)
            written += len(chunk)


if __name__ == "__main__":
    main()
