#!/usr/bin/env python3
"""Regenerate the DA1011 picture assets from scratch.

Makes, next to this script:
  welcome.gif  141x180 cover picture for the welcome window
               (GIF89a, one frame, 256-entry global colour table)
  reader.jpg   124x140 cover picture for the reader's side panel
               (baseline JFIF 1.01, YCbCr, 72x72 dpi)
  icon16.png   16x16 program icon, palette PNG (16 colours)
  DA1011.ico   the same icon as a 16x16, 4 bits-per-pixel Windows icon
  icon32.png ... icon256.png
               the desktop icon at 32, 48, 64, 128 and 256 px, the cover
               drawn afresh at each size (RGBA PNG)

Usage:  python3 make_assets.py        (or ./make-assets.sh)

Needs only python3 and ImageMagick's `convert`.  ImageMagick draws the
cover artwork; the GIF, PNG and ICO files are encoded here byte by byte
so that their layout is exactly what the program expects and the output
is identical from one run to the next.
"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

FONT_DIR = "/usr/share/fonts/opentype/urw-base35"
FONT_TITLE = os.path.join(FONT_DIR, "P052-Bold.otf")
FONT_ITALIC = os.path.join(FONT_DIR, "P052-Italic.otf")
FONT_SANS = os.path.join(FONT_DIR, "NimbusSans-Bold.otf")

COVER_W, COVER_H = 141, 180
READER_W, READER_H = 124, 140


def run(args):
    subprocess.run(args, check=True)


def convert_exe():
    exe = shutil.which("convert")
    if not exe:
        sys.exit("make_assets: ImageMagick 'convert' not found")
    for f in (FONT_TITLE, FONT_ITALIC, FONT_SANS):
        if not os.path.exists(f):
            sys.exit("make_assets: font missing: " + f +
                     " (Debian package fonts-urw-base35)")
    return exe


# ---------------------------------------------------------------------------
# Cover artwork
# ---------------------------------------------------------------------------

def knot_mvg(cx, cy, radius, segments=360, weight=1.0):
    """A trefoil 'quorvel' cord drawn as short z-sorted segments.

    Painting the pieces from back to front gives the over/under look of a
    real knotted cord without working out the crossings by hand.
    """
    pts = []
    for i in range(segments):
        t = 2 * math.pi * i / segments
        x = math.sin(t) + 2 * math.sin(2 * t)
        y = math.cos(t) - 2 * math.cos(2 * t)
        z = -math.sin(3 * t)
        pts.append((x, y, z))
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    mx = (max(xs) + min(xs)) / 2
    my = (max(ys) + min(ys)) / 2
    scale = radius / max(max(xs) - mx, max(ys) - my)
    # Flip vertically so that the single lobe points down
    pts = [(cx + (x - mx) * scale, cy - (y - my) * scale, z) for x, y, z in pts]

    segs = []
    for i in range(segments):
        x0, y0, z0 = pts[i]
        x1, y1, z1 = pts[(i + 1) % segments]
        segs.append(((z0 + z1) / 2, i, (x0, y0, x1, y1)))
    segs.sort()

    out = ["push graphic-context", "fill none"]
    for z, _, (x0, y0, x1, y1) in segs:
        line = "line %.2f,%.2f %.2f,%.2f" % (x0, y0, x1, y1)
        # lighter gold on the upper parts of the cord
        k = (z + 1) / 2
        core = "#%02x%02x%02x" % (int(200 + 45 * k), int(140 + 60 * k), int(40 + 40 * k))
        out += [
            "stroke-linecap butt", "stroke #2a1805", "stroke-width %.2f" % (7.2 * weight), line,
            "stroke-linecap round", "stroke " + core, "stroke-width %.2f" % (4.4 * weight), line,
            "stroke #fff2c0", "stroke-width %.2f" % (1.1 * weight), line,
        ]
    out.append("pop graphic-context")
    return out


# What of the cover a rendition shows: the full design down to 128 px, then only what
# stays legible (the number, then the knot alone, drawn larger and bolder).
FULL_COVER = ("title", "subtitle", "number", "ribbon", "inner frame")


def cover_mvg(w, h, parts=FULL_COVER, knot_radius=25, knot_weight=1.0, ecy=88):
    gold = "#e9c25a"
    pale = "#f6e7b8"
    spine = 11
    cx = (spine + w) / 2.0
    m = []
    # spine with a crease
    m += ["fill #00000055", "stroke none",
          "rectangle 0,0 %d,%d" % (spine - 1, h)]
    m += ["fill #ffffff30", "rectangle %d,0 %d,%d" % (spine, spine, h)]
    m += ["fill #00000040", "rectangle %d,0 %d,%d" % (spine + 1, spine + 1, h)]
    # double gold frame
    m += ["fill none", "stroke " + gold, "stroke-width %.2f" % knot_weight,
          "rectangle %d.5,5.5 %d.5,%d.5" % (spine + 5, w - 7, h - 7)]
    if "inner frame" in parts:
        m += ["stroke #e9c25a90",
              "rectangle %d.5,8.5 %d.5,%d.5" % (spine + 8, w - 10, h - 10)]
    # title
    if "title" in parts:
        m += ["stroke none", "font '%s'" % FONT_TITLE, "font-size 16.5",
              "text-anchor middle", "kerning 0.8",
              "fill #00000080", "text %.1f,35 'QUORVEL'" % (cx + 1),
              "fill " + gold, "text %.1f,34 'QUORVEL'" % cx]
    # medallion behind the knot
    ring = knot_radius * 33 / 25.0
    m += ["fill #0b1430a0", "stroke " + gold, "stroke-width %.2f" % (1.2 * knot_weight),
          "circle %.1f,%d %.1f,%d" % (cx, ecy, cx + ring, ecy),
          "fill none", "stroke #e9c25a70", "stroke-width %.2f" % (0.8 * knot_weight),
          "circle %.1f,%d %.1f,%d" % (cx, ecy, cx + ring + 3 * knot_weight, ecy)]
    m += knot_mvg(cx, ecy, knot_radius, weight=knot_weight)
    # big number
    if "number" in parts:
        m += ["stroke none", "font '%s'" % FONT_TITLE, "font-size 34",
              "text-anchor middle",
              "kerning 0", "fill #00000080", "text %.1f,154 '101'" % (cx + 1.5),
              "fill " + gold, "text %.1f,152.5 '101'" % cx]
    if "subtitle" in parts:
        m += ["font '%s'" % FONT_ITALIC, "font-size 10", "fill " + pale,
              "text %.1f,167 \"a beginner's guide\"" % cx]
    if "ribbon" not in parts:
        return "\n".join(m)
    # "FREE" ribbon across the top right corner
    m += ["fill #b3202a", "stroke #6b0f15", "stroke-width 0.8",
          "polygon %d,0 %d,0 %d,%d %d,%d" % (w - 33, w - 18, w, 18, w, 33),
          "stroke #f3d27a", "stroke-width 0.6",
          "line %d,0 %d,%d" % (w - 31, w, 31),
          "line %d,0 %d,%d" % (w - 20, w, 20),
          "push graphic-context",
          "translate %.1f,%.1f" % (w - 12.6, 12.6), "rotate 45",
          "stroke none", "fill white", "font '%s'" % FONT_SANS,
          "font-size 8", "text-anchor middle", "kerning 0.5",
          "text 0,3 'FREE'", "pop graphic-context"]
    return "\n".join(m)


def draw_cover(conv, out_png, tmp):
    w, h = COVER_W, COVER_H
    glow = os.path.join(tmp, "glow.png")
    run([conv, "-size", "130x130", "radial-gradient:#3f6fc8-#000000", glow])
    run([conv, "-size", "%dx%d" % (w, h), "gradient:#22407f-#0c1330",
         glow, "-geometry", "+11+22", "-compose", "screen", "-composite",
         "-compose", "over", "-draw", cover_mvg(w, h),
         "-alpha", "off", "-depth", "8", out_png])


# ---------------------------------------------------------------------------
# GIF89a writer (one frame, full 256-entry colour table)
# ---------------------------------------------------------------------------

def lzw_encode(indices, min_code_size=8):
    clear = 1 << min_code_size
    eoi = clear + 1
    out = bytearray()
    bitbuf = 0
    nbits = 0

    def emit(code, size):
        nonlocal bitbuf, nbits
        bitbuf |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bitbuf & 0xFF)
            bitbuf >>= 8
            nbits -= 8

    def reset():
        return {bytes([i]): i for i in range(clear)}, eoi + 1, min_code_size + 1

    table, next_code, code_size = reset()
    emit(clear, code_size)
    prefix = b""
    for idx in indices:
        cand = prefix + bytes([idx])
        if cand in table:
            prefix = cand
            continue
        emit(table[prefix], code_size)
        if next_code < 4096:
            table[cand] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear, code_size)
            table, next_code, code_size = reset()
        prefix = bytes([idx])
    if prefix:
        emit(table[prefix], code_size)
    emit(eoi, code_size)
    if nbits:
        out.append(bitbuf & 0xFF)
    return bytes(out)


def write_gif(path, w, h, palette, indices):
    assert len(palette) == 256 and len(indices) == w * h
    data = bytearray(b"GIF89a")
    # logical screen: global table present, 8-bit colour, table size 2^(7+1)
    data += struct.pack("<HHBBB", w, h, 0xF7, 0, 0)
    for r, g, b in palette:
        data += bytes((r, g, b))
    data += b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0)
    data += b"\x08"
    lzw = lzw_encode(indices)
    for i in range(0, len(lzw), 255):
        chunk = lzw[i:i + 255]
        data += bytes([len(chunk)]) + chunk
    data += b"\x00\x3B"
    with open(path, "wb") as f:
        f.write(data)


def make_welcome_gif(conv, cover_png, out):
    w, h = COVER_W, COVER_H
    raw = subprocess.run([conv, cover_png, "-dither", "FloydSteinberg",
                          "-colors", "256", "-depth", "8", "rgb:-"],
                         check=True, stdout=subprocess.PIPE).stdout
    assert len(raw) == w * h * 3
    pixels = [raw[i:i + 3] for i in range(0, len(raw), 3)]
    colours = sorted(set(pixels))
    if len(colours) > 256:
        sys.exit("make_assets: quantiser returned %d colours" % len(colours))
    lookup = {c: i for i, c in enumerate(colours)}
    palette = [tuple(c) for c in colours]
    # unused slots stay black; the table is always written in full
    palette += [(0, 0, 0)] * (256 - len(palette))
    write_gif(out, w, h, palette, [lookup[p] for p in pixels])


# ---------------------------------------------------------------------------
# Reader side-panel picture
# ---------------------------------------------------------------------------

def make_reader_jpg(conv, cover_png, out, tmp):
    w, h = READER_W, READER_H
    bw, bh = 92, 118                 # book size on the panel
    bx, by = 14, 9
    small = os.path.join(tmp, "small.png")
    shadow = os.path.join(tmp, "shadow.png")
    run([conv, cover_png, "-filter", "Lanczos", "-resize", "%dx%d!" % (bw, bh),
         small])
    run([conv, "-size", "%dx%d" % (w, h), "xc:none", "-fill", "#00000070",
         "-draw", "roundrectangle %d,%d %d,%d 2,2" % (bx + 3, by + 4,
                                                     bx + bw + 2, by + bh + 3),
         "-blur", "0x2.5", shadow])
    run([conv, "-size", "%dx%d" % (w, h), "gradient:#f7f0df-#dccba5",
         shadow, "-compose", "over", "-composite",
         small, "-geometry", "+%d+%d" % (bx, by), "-composite",
         "-alpha", "off", "-strip", "-colorspace", "sRGB", "-type", "TrueColor",
         "-interlace", "none", "-sampling-factor", "1x1,1x1,1x1",
         "-quality", "92", "-units", "PixelsPerInch", "-density", "72x72",
         "jpeg:" + out])


# ---------------------------------------------------------------------------
# Program icon: 16x16, 16 colours
# ---------------------------------------------------------------------------

ICON_PALETTE = [
    (0, 0, 0),          # .  transparent
    (18, 22, 46),       # k  outline
    (28, 48, 110),      # s  spine
    (44, 82, 170),      # b  cover
    (92, 136, 222),     # B  cover highlight
    (240, 232, 208),    # p  page edges
    (188, 176, 148),    # P  page shade
    (236, 186, 52),     # g  gold
    (255, 230, 140),    # G  light gold
    (150, 104, 20),     # d  dark gold
    # spare entries: a 4-bit icon always carries 16 palette slots
    (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0),
]
ICON_KEYS = ".ksbBpPgGd"

ICON_ART = [
    "................",
    ".kkkkkkkkkkkk...",
    ".ksBBBBBBBBBbk..",
    ".ksBbbbGGgbbbkk.",
    ".ksBbbGbbbgbbkpk",
    ".ksBbGbbbbbgbkpk",
    ".ksBbGbbbbbgbkPk",
    ".ksBbgbbgbbgbkpk",
    ".ksBbbgbbGgbbkpk",
    ".ksBbbbgggGbbkPk",
    ".ksBbbbbbbbGbkpk",
    ".ksBbbbbbbbbdkpk",
    ".ksbbbbbbbbbbkPk",
    ".kkkkkkkkkkkkkpk",
    "..kpPpPpPpPpPppk",
    "...kkkkkkkkkkkkk",
]


def icon_indices():
    rows = []
    for line in ICON_ART:
        assert len(line) == 16
        rows.append([ICON_KEYS.index(ch) for ch in line])
    assert len(rows) == 16
    return rows


def png_chunk(tag, body):
    return (struct.pack(">I", len(body)) + tag + body +
            struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))


def write_icon_png(path, rows):
    w, h = 16, 16
    ihdr = struct.pack(">IIBBBBB", w, h, 4, 3, 0, 0, 0)   # 4-bit palette
    plte = b"".join(bytes(c) for c in ICON_PALETTE)
    trns = b"\x00"                                       # index 0 clear
    raw = bytearray()
    for r in rows:
        raw.append(0)
        for x in range(0, w, 2):
            raw.append((r[x] << 4) | r[x + 1])
    data = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            png_chunk(b"PLTE", plte) + png_chunk(b"tRNS", trns) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            png_chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def write_icon_ico(path, rows):
    w, h = 16, 16
    xor = bytearray()
    andmask = bytearray()
    for r in reversed(rows):                 # DIB rows run bottom-up
        for x in range(0, w, 2):
            xor.append((r[x] << 4) | r[x + 1])
        bits = 0
        for x in range(w):
            if r[x] == 0:
                bits |= 1 << (15 - x)
        andmask += struct.pack(">H", bits) + b"\x00\x00"   # rows padded to 32 bits
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in ICON_PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0,
                         len(xor) + len(andmask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(andmask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


# ---------------------------------------------------------------------------
# Desktop icons: the cover as a book with its page edges, drawn afresh at each
# size (never scaled down from a bitmap), so every rendition is sharp. The 16 px
# one is the designed window icon itself.
# ---------------------------------------------------------------------------

ICON_SIZES = (32, 48, 64, 128, 256)


def icon_parts(size):
    if size >= 256:
        return dict(parts=FULL_COVER)
    if size >= 128:
        return dict(parts=("title", "number", "ribbon", "inner frame"))
    if size >= 64:
        return dict(parts=("number",), knot_radius=30, knot_weight=1.6, ecy=72)
    return dict(parts=(), knot_radius=42, knot_weight=2.6 if size < 48 else 2.2, ecy=90)


def make_icon(conv, size, out, tmp):
    outline = max(1, round(size / 64))
    pages = max(2, round(size / 16))         # depth of the page edges
    margin = max(0, round(size / 32) - 1)
    book_h = size - 2 * outline - pages - 2 * margin
    book_w = round(book_h * COVER_W / COVER_H)
    x0 = (size - book_w - pages - 2 * outline) // 2 + outline
    y0 = margin + outline
    k = book_h / float(COVER_H)
    glow = os.path.join(tmp, "glow%d.png" % size)
    cover = os.path.join(tmp, "cover%d.png" % size)
    g = max(2, round(130 * k))
    run([conv, "-size", "%dx%d" % (g, g), "radial-gradient:#3f6fc8-#000000", glow])
    run([conv, "-size", "%dx%d" % (book_w, book_h), "gradient:#22407f-#0c1330",
         glow, "-geometry", "+%d+%d" % (round(11 * k), round(22 * k)),
         "-compose", "screen", "-composite", "-compose", "over",
         "-draw", "scale %.5f,%.5f\n" % (book_w / float(COVER_W), k) +
         cover_mvg(COVER_W, COVER_H, **icon_parts(size)),
         "-alpha", "off", "-depth", "8", cover])
    ink = "#12162e"
    # Solid rectangles only, on whole pixels: the outline and the page edges stay crisp.
    # The page block sits one step down and to the right of the cover, ruled like the
    # edges of the leaves.
    px0, py0 = x0 + pages, y0 + pages
    px1, py1 = x0 + book_w - 1 + pages, y0 + book_h - 1 + pages
    draw = ["stroke none", "fill " + ink,
            "rectangle %d,%d %d,%d" % (px0 - outline, py0 - outline, px1 + outline, py1 + outline),
            "fill #f0e8d0", "rectangle %d,%d %d,%d" % (px0, py0, px1, py1),
            "fill #bcb094"]
    step = 2 * outline
    for i in range(py0 + step, py1 - outline, step):   # right-hand edges
        draw.append("rectangle %d,%d %d,%d" % (x0 + book_w + outline, i, px1, i + outline - 1))
    for i in range(px0 + step, px1 - outline, step):   # bottom edges
        draw.append("rectangle %d,%d %d,%d" % (i, y0 + book_h + outline, i + outline - 1, py1))
    draw += ["fill " + ink,
             "rectangle %d,%d %d,%d" % (x0 - outline, y0 - outline,
                                        x0 + book_w - 1 + outline, y0 + book_h - 1 + outline)]
    run([conv, "-size", "%dx%d" % (size, size), "xc:none",
         "+antialias", "-draw", "\n".join(draw),
         cover, "-geometry", "+%d+%d" % (x0, y0), "-composite",
         "-strip", "-define", "png:exclude-chunks=date,time",
         "PNG32:" + out])


# ---------------------------------------------------------------------------

def main():
    conv = convert_exe()
    tmp = tempfile.mkdtemp(prefix="da1011-assets-")
    try:
        cover = os.path.join(tmp, "cover.png")
        draw_cover(conv, cover, tmp)
        make_welcome_gif(conv, cover, os.path.join(HERE, "welcome.gif"))
        make_reader_jpg(conv, cover, os.path.join(HERE, "reader.jpg"), tmp)
        rows = icon_indices()
        write_icon_png(os.path.join(HERE, "icon16.png"), rows)
        write_icon_ico(os.path.join(HERE, "DA1011.ico"), rows)
        for size in ICON_SIZES:
            make_icon(conv, size, os.path.join(HERE, "icon%d.png" % size), tmp)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    for name in ("welcome.gif", "reader.jpg", "icon16.png", "DA1011.ico") + tuple(
            "icon%d.png" % size for size in ICON_SIZES):
        print("%-12s %6d bytes" % (name, os.path.getsize(os.path.join(HERE, name))))


if __name__ == "__main__":
    main()
