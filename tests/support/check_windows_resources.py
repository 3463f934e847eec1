#!/usr/bin/env python3
"""Checks the resources a built Windows program carries, read with icoutils on the Linux side.

Usage: check_windows_resources.py PROGRAM.exe --version X.Y.Z --assets DIR --sizes N...
                                  [--common-controls]

  icon      the icon group MAINICON holds exactly the given sizes, each the picture of that
            size in DIR (kelvarin*.png) as icotool itself packs it: a 32-bit DIB with its AND
            mask below 256 pixels, the PNG unchanged at 256 (biSizeImage aside, which the two
            writers fill differently and Windows ignores for uncompressed DIBs);
  version   VS_VERSIONINFO in Japanese (0x0411) with code page 932: FILEVERSION and
            PRODUCTVERSION X.Y.Z.0, an application (VFT_APP) for Windows NT, the same numbers in
            its strings, OriginalFilename naming the program, translation 0x0411/0x03A4;
  manifest  resource 1 of type RT_MANIFEST: well-formed, asInvoker, longPathAware true, Windows
            10 among the supported systems, no DPI awareness of any kind, and the common
            controls version 6 exactly when --common-controls is given.
Prints each failure and exits 1 if there is any.
"""

import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 14, 16, 24
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"

failures = []


def fail(message):
    failures.append(message)
    print(f"FAIL: {message}", file=sys.stderr)


def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout


def resources(program):
    """(type, name, language) of every resource, as wrestool lists them."""
    listing = run("wrestool", "-l", program).decode()
    found = set()
    for line in listing.splitlines():
        match = re.match(r"--type=(\d+) --name=(?:'([^']*)'|(\d+)) --language=(\d+)", line)
        if match:
            kind, text_name, number, language = match.groups()
            found.add((int(kind), text_name if text_name is not None else int(number),
                       int(language)))
    return found


def icon_entries(ico):
    """[(width, height, planes, bits, image bytes)] of an .ico, with biSizeImage zeroed."""
    reserved, kind, count = struct.unpack_from("<HHH", ico, 0)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    entries = []
    for i in range(count):
        width, height, _, _, planes, bits, size, offset = struct.unpack_from(
            "<BBBBHHII", ico, 6 + 16 * i)
        image = bytearray(ico[offset:offset + size])
        if image[:4] == b"\x28\x00\x00\x00":  # a DIB
            image[20:24] = b"\x00\x00\x00\x00"
        entries.append((width or 256, height or 256, planes, bits, bytes(image)))
    return entries


def png_size(path):
    with open(path, "rb") as file:
        head = file.read(24)
    return struct.unpack(">II", head[16:24])


def check_icon(program, assets, sizes, scratch):
    extracted = run("wrestool", "-x", f"--type={RT_GROUP_ICON}", "--name=MAINICON", program)
    have = icon_entries(extracted)
    if [(w, h) for w, h, *_ in have] != [(n, n) for n in sizes]:
        fail(f"icon sizes {[(w, h) for w, h, *_ in have]}, expected {sizes} square")
        return
    by_size = {}
    for name in sorted(os.listdir(assets)):
        if re.fullmatch(r"kelvarin(-\d+)?\.png", name):
            by_size.setdefault(png_size(os.path.join(assets, name)), os.path.join(assets, name))
    pictures = []
    for n in sizes:
        if (n, n) not in by_size:
            fail(f"no {n} x {n} picture in {assets}")
            return
        path = by_size[(n, n)]
        pictures.append(f"--raw={path}" if n >= 256 else path)
    reference = os.path.join(scratch, "reference.ico")
    run("icotool", "-c", "-o", reference, *pictures)
    with open(reference, "rb") as file:
        want = icon_entries(file.read())
    for (w, h, planes, bits, image), (_, _, want_planes, want_bits, want_image) in zip(have, want):
        if (planes, bits) != (1, 32) or image != want_image:
            fail(f"the {w} x {h} icon ({planes} planes, {bits} bits, {len(image)} bytes) differs "
                 f"from icotool's ({want_planes} planes, {want_bits} bits, {len(want_image)} "
                 "bytes)")


def version_node(data, at):
    """One node of VS_VERSIONINFO at `at`: (key, value bytes, value length, type, children)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\x00\x00":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value_bytes = value_length * 2 if kind == 1 else value_length  # text counts UTF-16 units
    value = data[value_at:value_at + value_bytes]
    children = []
    child = (value_at + value_bytes + 3) & ~3
    while child < end:
        node = version_node(data, child)
        children.append(node)
        child = (child + node[2] + 3) & ~3
    return key, value, length, kind, children


def check_version(program, version, present):
    languages = [lang for kind, name, lang in present if kind == RT_VERSION and name == 1]
    if languages != [0x0411]:
        fail(f"version resource 1 in languages {languages}, expected only 0x0411 (Japanese)")
    data = run("wrestool", "-x", "--raw", f"--type={RT_VERSION}", program)
    key, fixed, _, _, children = version_node(data, 0)
    if key != "VS_VERSION_INFO" or len(fixed) != 52:
        fail(f"version block {key!r} with {len(fixed)} bytes of fixed information")
        return
    (signature, _, file_ms, file_ls, product_ms, product_ls, _, flags, os_kind, file_type,
     _, _, _) = struct.unpack("<13I", fixed)
    numbers = [int(part) for part in version.split(".")] + [0]
    want_ms, want_ls = numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3]
    if signature != 0xFEEF04BD:
        fail(f"VS_FIXEDFILEINFO signature {signature:#x}")
    for what, ms, ls in (("FILEVERSION", file_ms, file_ls),
                         ("PRODUCTVERSION", product_ms, product_ls)):
        if (ms, ls) != (want_ms, want_ls):
            fail(f"{what} {ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}, "
                 f"expected {version}.0")
    if (file_type, os_kind, flags) != (1, 0x40004, 0):
        fail(f"file type {file_type}, OS {os_kind:#x}, flags {flags:#x}: expected an "
             "application (1) for Windows NT (0x40004) with no flags")
    blocks = {child[0]: child for child in children}
    translation = blocks.get("VarFileInfo", (None, None, 0, 0, []))[4]
    pairs = [struct.unpack("<HH", node[1]) for node in translation if node[0] == "Translation"]
    if pairs != [(0x0411, 0x03A4)]:
        fail(f"translations {pairs}, expected [(0x0411, 0x03A4)]")
    tables = blocks.get("StringFileInfo", (None, None, 0, 0, []))[4]
    if [table[0].lower() for table in tables] != ["041103a4"]:
        fail(f"string tables {[table[0] for table in tables]}, expected 041103a4")
        return
    strings = {node[0]: node[1].decode("utf-16-le").rstrip("\x00") for node in tables[0][4]}
    want = {"FileVersion": f"{version}.0", "ProductVersion": version, "ProductName": "Kelvarin",
            "OriginalFilename": os.path.basename(program)}
    for name, text in want.items():
        if strings.get(name) != text:
            fail(f"{name} {strings.get(name)!r}, expected {text!r}")
    if not strings.get("FileDescription"):
        fail("no FileDescription: Task Manager would show no name for the program")


def check_manifest(program, common_controls, present):
    if not any(kind == RT_MANIFEST and name == 1 for kind, name, _ in present):
        fail("no manifest as resource 1 of type RT_MANIFEST")
        return
    text = run("wrestool", "-x", "--raw", f"--type={RT_MANIFEST}", "--name=1", program)
    try:
        root = ET.fromstring(text)
    except ET.ParseError as error:
        fail(f"the manifest is not well-formed XML: {error}")
        return
    if root.tag != f"{{{ASM_V1}}}assembly" or root.get("manifestVersion") != "1.0":
        fail(f"manifest root {root.tag} version {root.get('manifestVersion')}")
    dpi = [e.tag for e in root.iter() if e.tag.rsplit("}", 1)[-1] in ("dpiAware", "dpiAwareness")]
    if dpi:
        fail(f"the manifest declares DPI awareness: {dpi}")
    long_paths = root.findall(
        f"{{{ASM_V3}}}application/{{{ASM_V3}}}windowsSettings/{{{SETTINGS_2016}}}longPathAware")
    if [e.text.strip().lower() for e in long_paths] != ["true"]:
        fail("the manifest does not declare longPathAware true")
    systems = [e.get("Id") for e in root.iter(f"{{{COMPATIBILITY}}}supportedOS")]
    if WINDOWS_10 not in systems:
        fail(f"Windows 10 is not among the supported systems {systems}")
    levels = [e.get("level") for e in root.iter(f"{{{ASM_V3}}}requestedExecutionLevel")]
    if levels != ["asInvoker"]:
        fail(f"execution levels {levels}, expected asInvoker")
    controls = [(e.get("version"), e.get("publicKeyToken"))
                for e in root.iter(f"{{{ASM_V1}}}assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    want = [("6.0.0.0", "6595b64144ccf1df")] if common_controls else []
    if controls != want:
        fail(f"common controls {controls}, expected {want}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--version", required=True)
    parser.add_argument("--assets", required=True)
    parser.add_argument("--sizes", type=int, nargs="+", required=True)
    parser.add_argument("--common-controls", action="store_true")
    args = parser.parse_args()
    present = resources(args.program)
    with tempfile.TemporaryDirectory() as scratch:
        check_icon(args.program, args.assets, args.sizes, scratch)
    check_version(args.program, args.version, present)
    check_manifest(args.program, args.common_controls, present)
    if failures:
        return 1
    print(f"{os.path.basename(args.program)}: icon {args.sizes}, version {args.version}.0, "
          "manifest: all as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
