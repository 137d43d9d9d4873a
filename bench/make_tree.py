#!/usr/bin/env python3
"""Generates a folder tree shaped like a Windows folder for the tree-size benchmark.

    make_tree.py ROOT [FILES] [FOLDERS]

Creates FOLDERS folders (default 10,000) holding FILES files (default 100,000) under ROOT:
twelve top-level folders, one of them ("system32") holding about half of everything, nested a few
levels deep, with file sizes from a few bytes to a few hundred kilobytes (sparse files, so the
tree costs little disk). A tree that already has a completion marker is left as it is.
"""
import os
import random
import sys


def main():
    root = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 100_000
    folders = int(sys.argv[3]) if len(sys.argv) > 3 else 10_000
    marker = os.path.join(root, ".complete-%d-%d" % (files, folders))
    if os.path.exists(marker):
        return
    rng = random.Random(20261205)
    os.makedirs(root, exist_ok=True)
    tops = ["system32", "fonts", "help", "inf", "media", "temp", "winsxs", "logs", "assembly", "boot",
            "cursors", "resources"]
    paths = []
    for top in tops:
        path = os.path.join(root, top)
        os.makedirs(path, exist_ok=True)
        paths.append(path)
    # Half of the folders go under system32, the rest spread over the other top-level folders.
    while len(paths) < folders:
        big = rng.random() < 0.5
        parent = rng.choice([p for p in paths[-200:] if ("system32" in p) == big] or paths[:1])
        if parent.count(os.sep) - root.count(os.sep) > 6:
            parent = os.path.join(root, "system32" if big else rng.choice(tops[1:]))
        path = os.path.join(parent, "d%05d" % len(paths))
        os.makedirs(path, exist_ok=True)
        paths.append(path)
    for i in range(files):
        folder = paths[i % len(paths)] if i < len(paths) else rng.choice(paths)
        size = int(rng.paretovariate(1.2) * 600) % 400_000
        with open(os.path.join(folder, "file%06d.dat" % i), "wb") as f:
            if size:
                f.truncate(size)
    open(marker, "w").close()


if __name__ == "__main__":
    main()
