#!/usr/bin/env python3
"""Reads the editor's resources back out of the built program with the mingw tools and checks
icon group 101 (every size at 32 bits, 256 twice, each image really that size), the manifest's
execution level and DPI awareness, and the GUI subsystem. Usage: check_resources.py <exe>"""
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
WANTED_SIZES = [16, 24, 32, 48, 64, 96, 128, 256, 256]


def read_id(data, at):
    """A resource type or name: 0xFFFF and an ordinal, or a NUL-terminated UTF-16 string."""
    if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def read_res(path):
    data = open(path, "rb").read()
    resources, at = {}, 0
    while at + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, at)
        kind, p = read_id(data, at + 8)
        name, p = read_id(data, p)
        body = data[at + header : at + header + size]
        if size:
            resources[(kind, name)] = body
        at = (at + header + size + 3) & ~3
    return resources


def image_size(body):
    if body[:8] == b"\x89PNG\r\n\x1a\n":
        width, height = struct.unpack_from(">II", body, 16)
        return width, height, 32
    _, width, height, _, bits = struct.unpack_from("<IiiHH", body, 0)
    return width, height // 2, bits


def main():
    exe = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        res = os.path.join(tmp, "editor.res")
        dump = subprocess.run(["x86_64-w64-mingw32-windres", "-i", exe, "-O", "res", "-o", res])
        if dump.returncode != 0:
            print("resources: windres cannot read the resources of", exe)
            return 1
        resources = read_res(res)

    group = resources.get((RT_GROUP_ICON, 101))
    if group is None:
        failures.append("no icon group 101")
    else:
        _, kind, count = struct.unpack_from("<HHH", group, 0)
        sizes = []
        for i in range(count):
            w, h, _, _, _, bits, length, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            w, h = w or 256, h or 256
            sizes.append(w)
            image = resources.get((RT_ICON, icon_id))
            if bits != 32:
                failures.append(f"icon {icon_id}: {bits} bits per pixel")
            if w != h:
                failures.append(f"icon {icon_id}: {w} x {h}")
            if image is None or len(image) != length:
                failures.append(f"icon {icon_id}: image missing or of the wrong length")
            elif image_size(image) != (w, h, 32):
                failures.append(f"icon {icon_id}: the image is {image_size(image)}, the group says {w}")
        if kind != 1 or sorted(sizes) != WANTED_SIZES:
            failures.append(f"icon group 101 holds sizes {sorted(sizes)}, wanted {WANTED_SIZES}")

    manifest = resources.get((RT_MANIFEST, 1))
    if manifest is None:
        failures.append("no application manifest")
    else:
        root = ET.fromstring(manifest)
        levels = [e for e in root.iter() if e.tag.endswith("}requestedExecutionLevel")]
        aware = [e.text for e in root.iter() if e.tag.endswith("}dpiAware")]
        if len(levels) != 1 or levels[0].get("level") != "asInvoker" or levels[0].get("uiAccess") != "false":
            failures.append("manifest: execution level is not asInvoker without UI access")
        if aware != ["True/PM"]:
            failures.append(f"manifest: DPI awareness {aware}, wanted True/PM")

    headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], check=True,
                             capture_output=True, text=True).stdout
    if "(Windows GUI)" not in headers:
        failures.append("not built for the Windows GUI subsystem")

    for f in failures:
        print("resources:", f)
    if not failures:
        print("resources: icon group 101 with", len(WANTED_SIZES), "images, manifest and GUI subsystem ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
