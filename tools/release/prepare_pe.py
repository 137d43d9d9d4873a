#!/usr/bin/python3
"""Gives stripped PE binaries the form that an Authenticode signature's removal leaves.

    prepare_pe.py FILE...

Signing pads a PE file with zeros to a multiple of 8 bytes before it appends the signature, and
sets the PE checksum over the result; removing the signature keeps the padding and sets the
checksum again. Each FILE is padded and given its checksum here, so that a signed release with its
signatures removed is byte for byte the unsigned one. Runs with Debian's python3 (python3-pefile).
"""
import sys

import pefile


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            data = f.read()
        pe = pefile.PE(data=data + b"\0" * (-len(data) % 8))
        pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
        pe.write(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
