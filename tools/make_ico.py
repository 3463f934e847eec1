#!/usr/bin/env python3
"""Packs PNG pictures of one icon into a Windows .ico file.

Usage: make_ico.py OUTPUT.ico PICTURE.png...

Each picture becomes one entry of the icon, in the order given, laid out the way Explorer and
the resource compiler expect since Windows Vista:
  - below 256 pixels, a 32-bit DIB: a BITMAPINFOHEADER whose height counts the colour rows and
    the mask rows together, the BGRA rows bottom-up with straight (not premultiplied) alpha,
    then the 1-bit AND mask, bottom-up, each row padded to 32 bits, set where the pixel is less
    than half opaque: the shape drawn where alpha is not blended (icotool draws the same line);
  - at 256 pixels, the PNG file itself, unchanged (a 256-pixel DIB would cost 256 KiB).

The pictures are decoded here with zlib alone, so the build needs no imaging library. Only what
the project's pictures are is accepted: 8-bit RGB or RGBA, non-interlaced; anything else stops
with a message naming the file. The output depends on the inputs alone (no time stamps), so the
same pictures always make the same bytes.
"""

import os
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
COLOUR_TYPES = {2: ("RGB", 3), 6: ("RGBA", 4)}  # PNG colour type: name, bytes per pixel
LARGEST_DIB = 255  # entries of 256 pixels are stored as PNG


class PictureError(Exception):
    """A picture that this tool cannot take; the message names the file and the reason."""


class Picture:
    """A decoded picture: width, height and rows of RGBA bytes, top row first."""

    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows


def read_chunks(data, name):
    """Yields (type, payload) for each chunk after the signature, checking each CRC."""
    if not data.startswith(PNG_SIGNATURE):
        raise PictureError(f"{name}: not a PNG file")
    at = len(PNG_SIGNATURE)
    while at < len(data):
        if at + 12 > len(data):
            raise PictureError(f"{name}: truncated chunk at byte {at}")
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        payload = data[at + 8:at + 8 + length]
        if len(payload) != length or at + 12 + length > len(data):
            raise PictureError(f"{name}: truncated {kind.decode('latin-1')} chunk")
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + payload) != crc:
            raise PictureError(f"{name}: bad CRC in the {kind.decode('latin-1')} chunk")
        yield kind, payload
        if kind == b"IEND":
            return
        at += 12 + length
    raise PictureError(f"{name}: no IEND chunk")


def paeth(left, up, up_left):
    estimate = left + up - up_left
    to_left, to_up, to_up_left = abs(estimate - left), abs(estimate - up), abs(estimate - up_left)
    if to_left <= to_up and to_left <= to_up_left:
        return left
    return up if to_up <= to_up_left else up_left


def unfilter(raw, width, height, pixel_bytes, name):
    """Undoes the per-row filters of a non-interlaced 8-bit picture; returns its rows."""
    stride = width * pixel_bytes
    if len(raw) != height * (stride + 1):
        raise PictureError(
            f"{name}: image data holds {len(raw)} bytes, {height * (stride + 1)} expected")
    rows = []
    previous = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        row = bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:  # Sub
            for i in range(pixel_bytes, stride):
                row[i] = (row[i] + row[i - pixel_bytes]) & 0xFF
        elif kind == 2:  # Up
            for i in range(stride):
                row[i] = (row[i] + previous[i]) & 0xFF
        elif kind == 3:  # Average
            for i in range(stride):
                left = row[i - pixel_bytes] if i >= pixel_bytes else 0
                row[i] = (row[i] + ((left + previous[i]) >> 1)) & 0xFF
        elif kind == 4:  # Paeth
            for i in range(stride):
                left = row[i - pixel_bytes] if i >= pixel_bytes else 0
                up_left = previous[i - pixel_bytes] if i >= pixel_bytes else 0
                row[i] = (row[i] + paeth(left, previous[i], up_left)) & 0xFF
        elif kind != 0:
            raise PictureError(f"{name}: unknown filter type {kind} in row {y}")
        rows.append(row)
        previous = row
    return rows


def check_header(payload, name):
    """The picture's width, height and bytes per pixel from its IHDR, if this tool takes it."""
    if len(payload) != 13:
        raise PictureError(f"{name}: IHDR of {len(payload)} bytes")
    width, height, depth, colour, compression, filtering, interlace = struct.unpack(
        ">IIBBBBB", payload)
    if colour not in COLOUR_TYPES or depth != 8:
        raise PictureError(f"{name}: {depth}-bit pixels of colour type {colour}; "
                           "only 8-bit RGB (2) or RGBA (6) is supported")
    if compression != 0 or filtering != 0:
        raise PictureError(f"{name}: unknown compression or filter method")
    if interlace != 0:
        raise PictureError(f"{name}: interlaced pictures are not supported")
    if not 1 <= width <= 256 or not 1 <= height <= 256:
        raise PictureError(f"{name}: {width} x {height} pixels; an icon entry has 1 to 256")
    return width, height, COLOUR_TYPES[colour][1]


def decode_png(data, name):
    """Decodes an 8-bit RGB or RGBA, non-interlaced PNG into a Picture of RGBA rows."""
    header = None
    compressed = bytearray()
    for kind, payload in read_chunks(data, name):
        if header is None and kind != b"IHDR":
            raise PictureError(f"{name}: the first chunk is not IHDR")
        if kind == b"IHDR":
            if header is not None:
                raise PictureError(f"{name}: a second IHDR chunk")
            header = check_header(payload, name)
        elif kind == b"IDAT":
            compressed += payload
        elif kind == b"tRNS":
            raise PictureError(f"{name}: transparency by a tRNS chunk is not supported; "
                               "save the picture as RGBA")
        elif kind[0] & 0x20 == 0 and kind not in (b"IEND", b"PLTE"):
            raise PictureError(f"{name}: unknown critical chunk {kind.decode('latin-1')}")
    width, height, pixel_bytes = header
    try:
        raw = zlib.decompress(bytes(compressed))
    except zlib.error as error:
        raise PictureError(f"{name}: corrupt image data ({error})") from None
    rows = unfilter(raw, width, height, pixel_bytes, name)
    if pixel_bytes == 3:  # opaque: add the alpha byte
        rows = [bytearray(b"".join(bytes(row[i:i + 3]) + b"\xff" for i in range(0, len(row), 3)))
                for row in rows]
    return Picture(width, height, rows)


def dib_entry(picture):
    """The picture as an icon's 32-bit DIB: header, BGRA rows, AND mask, all bottom-up."""
    width, height = picture.width, picture.height
    mask_stride = (width + 31) // 32 * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(picture.rows):
        for x in range(0, len(row), 4):
            red, green, blue, alpha = row[x:x + 4]
            colour += bytes((blue, green, red, alpha))
        bits = bytearray(mask_stride)
        for x in range(width):
            if row[4 * x + 3] < 128:
                bits[x >> 3] |= 0x80 >> (x & 7)
        mask += bits
    header = struct.pack("<IiiHHIIiiII",
                         40,  # biSize: BITMAPINFOHEADER
                         width,
                         2 * height,  # the colour rows and the mask rows
                         1,  # biPlanes
                         32,  # biBitCount
                         0,  # biCompression: BI_RGB
                         len(colour) + len(mask),  # biSizeImage
                         0, 0,  # no resolution
                         0, 0)  # no colour table
    return header + bytes(colour) + bytes(mask)


def make_ico(pictures):
    """The .ico bytes for [(picture, png bytes)]: directory, then the entries in that order."""
    directory_size = 6 + 16 * len(pictures)
    entries = []
    for picture, png in pictures:
        large = picture.width > LARGEST_DIB or picture.height > LARGEST_DIB
        entries.append((picture, png if large else dib_entry(picture)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))  # reserved, type 1 (icon), count
    offset = directory_size
    for picture, image in entries:
        out += struct.pack("<BBBBHHII",
                           picture.width & 0xFF,  # 0 means 256
                           picture.height & 0xFF,
                           0,  # no palette
                           0,  # reserved
                           1,  # planes
                           32,  # bits per pixel
                           len(image),
                           offset)
        offset += len(image)
    for _, image in entries:
        out += image
    return bytes(out)


def main(argv):
    if len(argv) < 3:
        print("usage: make_ico.py OUTPUT.ico PICTURE.png...", file=sys.stderr)
        return 2
    output, names = argv[1], argv[2:]
    pictures = []
    sizes = set()
    try:
        for name in names:
            with open(name, "rb") as file:
                png = file.read()
            picture = decode_png(png, name)
            size = (picture.width, picture.height)
            if size in sizes:
                raise PictureError(f"{name}: a second picture of {size[0]} x {size[1]}")
            sizes.add(size)
            pictures.append((picture, png))
    except (OSError, PictureError) as error:
        print(f"make_ico: {error}", file=sys.stderr)
        return 1
    data = make_ico(pictures)
    # Written under a temporary name and moved into place, so that a build stopped half-way
    # never leaves a truncated icon that looks up to date.
    partial = output + ".part"
    try:
        with open(partial, "wb") as file:
            file.write(data)
        os.replace(partial, output)
    except OSError as error:
        print(f"make_ico: cannot write {output}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
