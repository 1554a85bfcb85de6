#!/usr/bin/env python3
"""Writes the window's icon and built-in picture into the binary properties of
resources/TFORM1.dfm, in the layout the declaration reader expects:
Icon.Data is the icon file itself; Picture.Data is the picture kind's name
(one length byte, then the name), a 32-bit little-endian byte count and the
JPEG file. Usage: update_declaration.py [SOURCE_DIR]"""
import pathlib
import re
import struct
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
resources = root / "resources"
declaration = resources / "TFORM1.dfm"

icon = (resources / "blank-icon.ico").read_bytes()
jpeg = (resources / "builtin-sketch.jpg").read_bytes()
kind = b"TJPEGImage"
picture = bytes([len(kind)]) + kind + struct.pack("<I", len(jpeg)) + jpeg


def block(data, indent):
    lines = [data[i:i + 32].hex().upper() for i in range(0, len(data), 32)]
    return "{\n" + "".join(indent + "  " + line + "\n" for line in lines) + indent + "}"


def replace(text, name, data):
    pattern = re.compile(r"^( *)" + re.escape(name) + r" = \{.*?\}", re.S | re.M)
    match = pattern.search(text)
    if not match:
        sys.exit(f"{declaration}: no {name} block")
    indent = match.group(1)
    return text[:match.start()] + f"{indent}{name} = " + block(data, indent) + text[match.end():]


text = declaration.read_text(encoding="utf-8")
text = replace(text, "Icon.Data", icon)
text = replace(text, "Picture.Data", picture)
declaration.write_text(text, encoding="utf-8")
