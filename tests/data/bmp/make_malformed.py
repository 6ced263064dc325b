#!/usr/bin/env python3
"""Writes the bad-picture corpus under malformed/ and its MANIFEST.

The well-formed pictures these are cut from come from ImageMagick, so the
corpus does not depend on our own reader's idea of a bitmap. Rerun it when an
entry is added; the files are committed so the tests need nothing at run time.

MANIFEST lines:  <file> none
                 <file> black <width> <height>
                 <file> image <width> <height> [<file whose RGB it must equal>]
"""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "malformed")


def pattern_ppm(w, h):
    """A P6 picture with a different colour in every pixel."""
    px = bytearray()
    for y in range(h):
        for x in range(w):
            px += bytes(((x * 53 + y * 7) & 255, (y * 41 + 11) & 255, (x * y * 13 + 97) & 255))
    return b"P6\n%d %d\n255\n" % (w, h) + bytes(px)


def imagemagick(w, h, fmt, *options):
    """A picture written by ImageMagick from the pattern, as bytes."""
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.ppm")
        dst = os.path.join(tmp, "out.bmp")
        with open(src, "wb") as f:
            f.write(pattern_ppm(w, h))
        subprocess.run(["convert", src, *options, fmt + ":" + dst], check=True)
        with open(dst, "rb") as f:
            return bytearray(f.read())


def put32(b, off, v, signed=False):
    b[off:off + 4] = struct.pack("<i" if signed else "<I", v)


def put16(b, off, v):
    b[off:off + 2] = struct.pack("<H", v)


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        os.remove(os.path.join(OUT, name))
    entries = []

    def add(name, data, outcome):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(bytes(data))
        entries.append(name + " " + outcome)

    base = imagemagick(5, 3, "BMP3", "-type", "truecolor")  # 16-byte rows: 15 + 1 padding
    assert base[28] == 24 and len(base) == 54 + 48, "ImageMagick did not write 24-bit 5x3"
    add("base.bmp", base, "image 5 3")

    # Truncations and wrong magic.
    add("empty.bmp", b"", "none")
    add("magic-only.bmp", b"BM", "none")
    add("trunc-file-header.bmp", base[:10], "none")
    add("trunc-info-header.bmp", base[:50], "none")
    add("headers-only.bmp", base[:54], "none")
    add("trunc-pixels-one-byte.bmp", base[:-1], "none")
    add("trunc-pixels-half.bmp", base[:54 + 24], "none")
    b = bytearray(base); b[0:2] = b"MB"
    add("magic-mb.bmp", b, "none")
    b = bytearray(base); b[0:2] = b"BA"
    add("magic-ba.bmp", b, "none")

    # Pixel data offset lying about where the headers end.
    for off, tag in ((0, "0"), (14, "14"), (53, "53")):
        b = bytearray(base); put32(b, 10, off)
        add("offbits-%s.bmp" % tag, b, "none")
    b = bytearray(base); put32(b, 10, 0xFFFFFFFF)
    add("offbits-max.bmp", b, "none")
    b = bytearray(base); put32(b, 10, len(base) + 1)
    add("offbits-past-end.bmp", b, "none")
    # A colour table in front of 24-bit rows is legal: the rows are found at bfOffBits.
    b = bytearray(base[:54]) + bytes(range(256)) * 4 + base[54:]
    put32(b, 10, 54 + 1024); put32(b, 2, len(b))
    add("offbits-colour-table.bmp", b, "image 5 3 base.bmp")

    # Info header size.
    b = bytearray(base); put32(b, 14, 12)
    add("infosize-core-12.bmp", b, "none")
    b = bytearray(base); put32(b, 14, 200)
    add("infosize-past-offbits.bmp", b, "none")
    v5 = imagemagick(5, 3, "BMP", "-type", "truecolor")
    assert struct.unpack_from("<I", v5, 14)[0] == 124, "ImageMagick did not write a V5 header"
    add("infosize-v5.bmp", v5, "image 5 3 base.bmp")

    # biSizeImage: not trusted for uncompressed rows.
    b = bytearray(base); put32(b, 34, 1)
    add("sizeimage-small.bmp", b, "image 5 3 base.bmp")
    b = bytearray(base); put32(b, 34, 45)
    add("sizeimage-unpadded-truncated.bmp", b[:54 + 45], "none")
    b = bytearray(base); put32(b, 34, 0xFFFFFFFF)
    add("sizeimage-huge.bmp", b, "image 5 3 base.bmp")
    b = bytearray(base); put32(b, 34, 0)
    add("sizeimage-zero.bmp", b, "image 5 3 base.bmp")

    # Dimensions.
    for w, h, tag in ((0, 3, "width-zero"), (5, 0, "height-zero"), (-5, 3, "width-negative"),
                      (0x7FFFFFFF, 3, "width-max"), (-0x80000000, 3, "width-min"),
                      (5, -0x80000000, "height-min"), (0x55555556, 3, "width-wraps-times-3"),
                      (65536, 65536, "area-wraps-32"), (8193, 3, "width-8193"),
                      (5, 8193, "height-8193"), (5, -8193, "height-minus-8193"),
                      (8000, 8000, "lying-8000x8000")):
        b = bytearray(base); put32(b, 18, w, True); put32(b, 22, h, True)
        add("dims-%s.bmp" % tag, b, "none")
    add("side-8192x1.bmp", imagemagick(8192, 1, "BMP3", "-type", "truecolor"), "image 8192 1")
    add("side-1x8192.bmp", imagemagick(1, 8192, "BMP3", "-type", "truecolor"), "image 1 8192")
    add("side-8193x1.bmp", imagemagick(8193, 1, "BMP3", "-type", "truecolor"), "none")
    tall = imagemagick(1, 8193, "BMP3", "-type", "truecolor")
    add("side-1x8193.bmp", tall, "none")
    b = bytearray(tall); put32(b, 22, -8193, True)
    add("side-1x8193-top-down.bmp", b, "none")

    # Top-down rows: read, and turned bottom-up.
    rows = [base[54 + 16 * r:54 + 16 * (r + 1)] for r in range(3)]
    b = bytearray(base[:54]) + b"".join(reversed(rows)); put32(b, 22, -3, True)
    add("top-down.bmp", b, "image 5 3 base.bmp")
    add("top-down-truncated.bmp", b[:-1], "none")

    # Other depths and compression: black pictures of their own size, when their data is there.
    pal8 = imagemagick(16, 8, "BMP3", "-type", "palette", "-colors", "200", "-compress", "none")
    assert pal8[28] == 8 and struct.unpack_from("<I", pal8, 30)[0] == 0, "not an uncompressed 8-bit file"
    add("depth-8.bmp", pal8, "black 16 8")
    add("depth-8-truncated.bmp", pal8[:-1], "none")
    pal4 = imagemagick(16, 8, "BMP3", "-type", "palette", "-colors", "16", "-compress", "none")
    assert pal4[28] == 4, "not a 4-bit file"
    add("depth-4.bmp", pal4, "black 16 8")
    rle8 = imagemagick(16, 8, "BMP3", "-type", "palette", "-colors", "16", "-compress", "RLE")
    if rle8[28] != 8:  # ImageMagick writes RLE only at 8 bits; make sure
        rle8 = imagemagick(16, 8, "BMP3", "-type", "palette", "-colors", "200", "-compress", "RLE")
    assert rle8[28] == 8 and struct.unpack_from("<I", rle8, 30)[0] == 1, "not an RLE8 file"
    add("compressed-rle8.bmp", rle8, "black 16 8")
    off = struct.unpack_from("<I", rle8, 10)[0]
    b = bytearray(rle8[:off]); put32(b, 34, 0)
    add("compressed-no-data.bmp", b, "none")
    b = bytearray(rle8); put32(b, 18, 8192, True); put32(b, 22, 8192, True)
    add("compressed-lying-8192x8192.bmp", b, "none")
    b = bytearray(rle8); put32(b, 34, 0x7FFFFFFF)
    add("compressed-sizeimage-huge.bmp", b, "none")
    b = bytearray(base); put32(b, 30, 3)
    add("compressed-bitfields-24.bmp", b, "black 5 3")
    for bits in (0, 33, 0xFFFF):
        b = bytearray(base); put16(b, 28, bits)
        add("depth-%d.bmp" % bits, b, "none")
    b = bytearray(base); put16(b, 28, 32)  # 5 x 3 at 32 bits needs 60 bytes; the file has 48
    add("depth-32-truncated.bmp", b, "none")
    b = bytearray(base) + bytes(12); put16(b, 28, 32)
    add("depth-32.bmp", b, "black 5 3")

    with open(os.path.join(OUT, "MANIFEST"), "w") as f:
        f.write("# <file> none | black <w> <h> | image <w> <h> [<same RGB as file>]\n")
        f.write("\n".join(entries) + "\n")
    print("wrote %d files" % len(entries))


if __name__ == "__main__":
    sys.exit(main())
