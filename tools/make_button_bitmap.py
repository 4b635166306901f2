#!/usr/bin/env python3
"""Draws the command's 16x16 button picture and writes it as a 24-bit Windows
bitmap of 824 bytes: 54 bytes of headers, 768 bytes of pixel rows bottom-up and
2 bytes of padding that round the file to a multiple of four."""
import struct
import sys

ART = [
    "....gGg.........",
    "...gGGGg........",
    "..gGGGGGg.......",
    "...gGGGg........",
    "..gGGGGGg.......",
    ".gGGGGGGGg......",
    "..gGGGGGg.......",
    ".gGGGGGGGg......",
    "gGGGGGGGGGg.....",
    "....ttt.........",
    "....ttt.........",
    "........bbb.bbb.",
    "........b.b.b...",
    "........bbb.bbb.",
    "........b.....b.",
    "........b...bbb.",
]
COLOURS = {  # red, green, blue
    ".": (255, 255, 255),
    "G": (0, 100, 0),
    "g": (0, 128, 0),
    "t": (90, 60, 20),
    "b": (0, 0, 255),
}


def bitmap():
    rows = b""
    for line in reversed(ART):
        for ch in line:
            r, g, b = COLOURS[ch]
            rows += bytes((b, g, r))
    assert len(rows) == 768
    info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 24, 0, len(rows), 2834, 2834, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 824, 0, 0, 54)
    data = header + info + rows + b"\0\0"
    assert len(data) == 824
    return data


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "src/command/resources/button.bmp", "wb") as f:
        f.write(bitmap())
