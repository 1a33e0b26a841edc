#!/usr/bin/env python3
"""Writes the plug-in property list ("PIPL" resource data) the host reads to
find the module's entry point.

Usage: pipl.py OUTPUT.bin

This file is the one description of those bytes: the Windows resource
embeds OUTPUT.bin as it is, and the tests read the same file.
"""
import struct
import sys
from pathlib import Path

VENDOR = "8BIM"
NAME = "Outfold"
CATEGORY = "General Plugin"
# major << 19 | minor << 15 | fix << 11 | stage << 9 | build: 1.1.4, stage 0, build 1
VERSION = (1 << 19) | (1 << 15) | (4 << 11) | (0 << 9) | 1
ENTRY_POINT = "EntryPointFunc"


def four_char_code(code):
    """A four-character code as the host stores it: a little-endian 32-bit
    value whose most significant byte is the first character."""
    assert len(code) == 4
    return struct.pack("<I", int.from_bytes(code.encode("ascii"), "big"))


def pascal_string(text):
    data = text.encode("ascii")
    assert len(data) < 256
    return bytes([len(data)]) + data


def c_string(text):
    return text.encode("ascii") + b"\0"


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def prop(key, data):
    data = padded(data)
    return four_char_code(VENDOR) + four_char_code(key) + struct.pack("<iI", 0, len(data)) + data


PROPERTIES = [
    prop("kind", four_char_code("AEgx")),
    prop("name", pascal_string(NAME)),
    prop("catg", pascal_string(CATEGORY)),
    prop("vers", struct.pack("<I", VERSION)),
    prop("8664", c_string(ENTRY_POINT)),
]


def property_list():
    header = struct.pack("<hiI", 1, 0, len(PROPERTIES))
    return header + b"".join(PROPERTIES)


def main():
    output = Path(sys.argv[1])
    data = property_list()
    assert VERSION == 0x0008A001
    output.parent.mkdir(parents=True, exist_ok=True)
    if not output.exists() or output.read_bytes() != data:
        output.write_bytes(data)


if __name__ == "__main__":
    main()
