#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quenby Works
"""Draws every picture in res/art/ from scratch.

Run from the repository root:  python3 res/tools/make_art.py

Only the Python standard library is used (struct, zlib, math), so the artwork can be
rebuilt on any machine without image tools.  The output is deterministic: running the
script twice gives byte-identical files, so regenerating never shows up as a change.

Cursor hot spot: (10, 0) -- the tip of the index finger in cursor162.png.
"""

import math
import os
import struct
import zlib

OUT_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'art'))

CURSOR_HOTSPOT = (10, 0)

# Larger sizes of the installed program icon (the 48-pixel one is icon128_48.png);
# res/CMakeLists.txt installs them.
HICOLOR_ICON_SIZES = (128, 256)


# ---------------------------------------------------------------------------
# Colours
# ---------------------------------------------------------------------------

def rgba(c):
    """Any colour tuple -> (r, g, b, a) with r,g,b in 0..255 and a in 0..1."""
    if len(c) == 3:
        return (float(c[0]), float(c[1]), float(c[2]), 1.0)
    return (float(c[0]), float(c[1]), float(c[2]), float(c[3]))


def mix(c0, c1, t):
    a, b = rgba(c0), rgba(c1)
    t = min(1.0, max(0.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def shade(c, f):
    """f > 0 lightens towards white, f < 0 darkens towards black."""
    c = rgba(c)
    if f >= 0:
        return (c[0] + (255 - c[0]) * f, c[1] + (255 - c[1]) * f, c[2] + (255 - c[2]) * f, c[3])
    return (c[0] * (1 + f), c[1] * (1 + f), c[2] * (1 + f), c[3])


def with_alpha(c, a):
    c = rgba(c)
    return (c[0], c[1], c[2], a)


def lin(x0, y0, c0, x1, y1, c1):
    """Linear gradient paint between two points."""
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1.0

    def paint(x, y):
        return mix(c0, c1, ((x - x0) * dx + (y - y0) * dy) / ll)
    return paint


def radial(cx, cy, r, c0, c1, power=1.0):
    def paint(x, y):
        d = math.hypot(x - cx, y - cy) / r
        return mix(c0, c1, d ** power)
    return paint


# ---------------------------------------------------------------------------
# Shapes: each is (inside(x, y) -> bool, bounding box).  Keeping shapes as plain
# predicates lets one supersampling fill routine anti-alias all of them.
# ---------------------------------------------------------------------------

def ellipse(cx, cy, rx, ry, ang=0.0):
    ca, sa = math.cos(ang), math.sin(ang)

    def f(x, y):
        dx, dy = x - cx, y - cy
        u = dx * ca + dy * sa
        v = -dx * sa + dy * ca
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0
    r = max(rx, ry)
    return f, (cx - r, cy - r, cx + r, cy + r)


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def rect(x0, y0, x1, y1):
    return (lambda x, y: x0 <= x < x1 and y0 <= y < y1), (x0, y0, x1, y1)


def rrect(x0, y0, x1, y1, r):
    def f(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        qx = max(x0 + r - x, 0.0, x - (x1 - r))
        qy = max(y0 + r - y, 0.0, y - (y1 - r))
        return qx * qx + qy * qy <= r * r
    return f, (x0, y0, x1, y1)


def poly(pts):
    n = len(pts)

    def f(x, y):
        inside = False
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                inside = not inside
            j = i
        return inside
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return f, (min(xs), min(ys), max(xs), max(ys))


def capsule(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy or 1e-9
    r2 = r * r

    def f(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / ll
        t = 0.0 if t < 0 else (1.0 if t > 1 else t)
        ex, ey = x - (ax + t * dx), y - (ay + t * dy)
        return ex * ex + ey * ey <= r2
    return f, (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r, max(ay, by) + r)


def union(*shapes):
    fs = [s[0] for s in shapes]

    def f(x, y):
        for g in fs:
            if g(x, y):
                return True
        return False
    bx = [s[1] for s in shapes]
    return f, (min(b[0] for b in bx), min(b[1] for b in bx), max(b[2] for b in bx), max(b[3] for b in bx))


def minus(a, b):
    fa, fb = a[0], b[0]
    return (lambda x, y: fa(x, y) and not fb(x, y)), a[1]


def intersect(a, b):
    fa, fb = a[0], b[0]
    ba, bb = a[1], b[1]
    return (lambda x, y: fa(x, y) and fb(x, y)), (max(ba[0], bb[0]), max(ba[1], bb[1]),
                                                   min(ba[2], bb[2]), min(ba[3], bb[3]))


def polyline(pts, r, closed=False):
    segs = list(zip(pts, pts[1:] + (pts[:1] if closed else [])))
    return union(*[capsule(a[0], a[1], b[0], b[1], r) for a, b in segs])


def outline_of(pts, r):
    return polyline(list(pts), r, closed=True)


def leaf(x, y, ang, length, width, lobes=0):
    """A pointed leaflet starting at (x, y), widest a little below its middle.
    `lobes` scallops the edge so bigger leaflets read as fern pinnae."""
    ca, sa = math.cos(ang), math.sin(ang)
    hw = width / 2.0

    def f(px, py):
        dx, dy = px - x, py - y
        u = dx * ca + dy * sa
        if u < 0 or u > length:
            return False
        v = -dx * sa + dy * ca
        s = u / length
        w = hw * math.sin(math.pi * s ** 0.7) ** 0.8
        if lobes:
            w *= 0.72 + 0.28 * abs(math.cos(math.pi * lobes * s))
        return abs(v) <= w
    ex, ey = x + ca * length, y + sa * length
    return f, (min(x, ex) - hw, min(y, ey) - hw, max(x, ex) + hw, max(y, ey) + hw)


def star(cx, cy, r, inner=0.28, points=4, ang=-math.pi / 2):
    pts = []
    for k in range(points * 2):
        rr = r if k % 2 == 0 else r * inner
        a = ang + k * math.pi / points
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    return poly(pts)


def rotate_pts(pts, cx, cy, ang):
    ca, sa = math.cos(ang), math.sin(ang)
    return [(cx + (x - cx) * ca - (y - cy) * sa, cy + (x - cx) * sa + (y - cy) * ca) for x, y in pts]


# ---------------------------------------------------------------------------
# Canvas: straight-alpha RGBA floats, "over" compositing, 4x4 supersampling.
# ---------------------------------------------------------------------------

class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        bg = rgba(bg)
        self.px = [list(bg) for _ in range(w * h)]

    def blend(self, i, c, a):
        if a <= 0:
            return
        d = self.px[i]
        da = d[3]
        oa = a + da * (1.0 - a)
        if oa <= 0:
            return
        k = da * (1.0 - a)
        d[0] = (c[0] * a + d[0] * k) / oa
        d[1] = (c[1] * a + d[1] * k) / oa
        d[2] = (c[2] * a + d[2] * k) / oa
        d[3] = oa

    def fill(self, shape, paint, alpha=1.0, ss=4):
        fn, (bx0, by0, bx1, by1) = shape
        x0, y0 = max(0, int(math.floor(bx0)) - 1), max(0, int(math.floor(by0)) - 1)
        x1, y1 = min(self.w, int(math.ceil(bx1)) + 1), min(self.h, int(math.ceil(by1)) + 1)
        offs = [(i + 0.5) / ss for i in range(ss)]
        n = float(ss * ss)
        fixed = None if callable(paint) else rgba(paint)
        for py in range(y0, y1):
            for px in range(x0, x1):
                k = 0
                for oy in offs:
                    yy = py + oy
                    for ox in offs:
                        if fn(px + ox, yy):
                            k += 1
                if k:
                    c = fixed or rgba(paint(px + 0.5, py + 0.5))
                    self.blend(py * self.w + px, c, c[3] * alpha * k / n)

    def paint_all(self, paint, alpha=1.0):
        """Covers the whole canvas (backgrounds) without supersampling."""
        for py in range(self.h):
            for px in range(self.w):
                c = rgba(paint(px + 0.5, py + 0.5))
                self.blend(py * self.w + px, c, c[3] * alpha)

    def soft_ellipse(self, cx, cy, rx, ry, col, a):
        """A blurred blob, used for shadows and glows."""
        col = rgba(col)
        for py in range(max(0, int(cy - ry)), min(self.h, int(cy + ry) + 1)):
            for px in range(max(0, int(cx - rx)), min(self.w, int(cx + rx) + 1)):
                d = ((px + 0.5 - cx) / rx) ** 2 + ((py + 0.5 - cy) / ry) ** 2
                if d < 1:
                    self.blend(py * self.w + px, col, a * (1 - d) ** 1.6)

    def get(self, x, y):
        return self.px[y * self.w + x]

    def sample(self, x, y):
        """Bilinear sample in pixel-centre coordinates, premultiplied internally."""
        x -= 0.5
        y -= 0.5
        x0, y0 = int(math.floor(x)), int(math.floor(y))
        fx, fy = x - x0, y - y0
        acc = [0.0, 0.0, 0.0, 0.0]
        for (xx, yy, wgt) in ((x0, y0, (1 - fx) * (1 - fy)), (x0 + 1, y0, fx * (1 - fy)),
                              (x0, y0 + 1, (1 - fx) * fy), (x0 + 1, y0 + 1, fx * fy)):
            if 0 <= xx < self.w and 0 <= yy < self.h and wgt > 0:
                p = self.px[yy * self.w + xx]
                acc[0] += p[0] * p[3] * wgt
                acc[1] += p[1] * p[3] * wgt
                acc[2] += p[2] * p[3] * wgt
                acc[3] += p[3] * wgt
        if acc[3] <= 1e-6:
            return (0.0, 0.0, 0.0, 0.0)
        return (acc[0] / acc[3], acc[1] / acc[3], acc[2] / acc[3], acc[3])

    def copy(self):
        c = Canvas(self.w, self.h)
        c.px = [list(p) for p in self.px]
        return c

    def flat_rgb(self, bg):
        """Opaque 8-bit colours, composited over bg (formats without alpha)."""
        bg = rgba(bg)
        out = []
        for p in self.px:
            a = p[3]
            out.append(tuple(int(round(min(255.0, max(0.0, p[i] * a + bg[i] * (1 - a))))) for i in range(3)))
        return out


# ---------------------------------------------------------------------------
# Encoders
# ---------------------------------------------------------------------------

def write_png(path, cv):
    # Filter type 0 on every row keeps the encoder tiny; zlib does the real work.
    raw = bytearray()
    for y in range(cv.h):
        raw.append(0)
        for x in range(cv.w):
            r, g, b, a = cv.get(x, y)
            ai = int(round(a * 255))
            if ai == 0:
                raw += b'\0\0\0\0'  # zeroed so invisible pixels carry no stray colour
            else:
                raw += bytes((int(round(r)), int(round(g)), int(round(b)), ai))

    def chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff)
    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', cv.w, cv.h, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(bytes(raw), 9))
    png += chunk(b'IEND', b'')
    with open(path, 'wb') as fh:
        fh.write(png)


def median_cut(hist, n):
    """Palette of at most n colours from a {rgb: count} histogram.  Boxes are split
    where colours spread most, weighted by use, so gradients keep their steps small."""
    items = sorted(hist.items())
    if len(items) <= n:
        return [c for c, _ in items]
    boxes = [items]
    while len(boxes) < n:
        best, best_score, best_ch = -1, 0.0, 0
        for bi, box in enumerate(boxes):
            if len(box) < 2:
                continue
            rng = [max(c[ch] for c, _ in box) - min(c[ch] for c, _ in box) for ch in range(3)]
            ch = rng.index(max(rng))
            score = rng[ch] * math.sqrt(sum(k for _, k in box))
            if score > best_score:
                best, best_score, best_ch = bi, score, ch
        if best < 0:
            break
        box = sorted(boxes.pop(best), key=lambda e: (e[0][best_ch], e[0]))
        total = sum(k for _, k in box)
        acc, cut = 0, 1
        for i, (_, k) in enumerate(box):
            acc += k
            if acc * 2 >= total:
                cut = i + 1
                break
        cut = min(max(cut, 1), len(box) - 1)
        boxes.insert(best, box[cut:])
        boxes.insert(best, box[:cut])
    pal = []
    for box in boxes:
        t = sum(k for _, k in box)
        pal.append(tuple(int(round(sum(c[i] * k for c, k in box) / t)) for i in range(3)))
    return pal


def nearest_mapper(pal):
    cache = {}

    def idx(c):
        i = cache.get(c)
        if i is None:
            best, bd = 0, 1e18
            for j, p in enumerate(pal):
                # Eye is most sensitive to green, least to blue.
                d = 3 * (c[0] - p[0]) ** 2 + 4 * (c[1] - p[1]) ** 2 + 2 * (c[2] - p[2]) ** 2
                if d < bd:
                    best, bd = j, d
            cache[c] = i = best
        return i
    return idx


def write_bmp(path, w, h, bpp, palette, indices):
    """Uncompressed 8- or 4-bit BMP: BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up rows."""
    ncol = 1 << bpp
    palette = list(palette) + [(0, 0, 0)] * (ncol - len(palette))
    row_bytes = ((w * bpp + 31) // 32) * 4
    rows = []
    for y in range(h - 1, -1, -1):  # BMP stores the bottom row first
        line = indices[y * w:(y + 1) * w]
        if bpp == 8:
            b = bytearray(line)
        else:
            b = bytearray()
            for x in range(0, w, 2):
                hi = line[x]
                lo = line[x + 1] if x + 1 < w else 0
                b.append((hi << 4) | lo)  # leftmost pixel in the high nibble
        b += b'\0' * (row_bytes - len(b))
        rows.append(bytes(b))
    pixels = b''.join(rows)
    table = b''.join(struct.pack('<BBBB', c[2], c[1], c[0], 0) for c in palette)
    offset = 14 + 40 + len(table)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, 0, len(pixels), 2835, 2835, ncol, 0)
    head = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    with open(path, 'wb') as fh:
        fh.write(head + info + table + pixels)


def write_bmp8(path, cv, bg=(255, 255, 255)):
    flat = cv.flat_rgb(bg)
    hist = {}
    for c in flat:
        hist[c] = hist.get(c, 0) + 1
    pal = median_cut(hist, 256)
    m = nearest_mapper(pal)
    write_bmp(path, cv.w, cv.h, 8, pal, [m(c) for c in flat])


def write_bmp4(path, cv, palette16, bg=(255, 255, 255)):
    m = nearest_mapper(palette16)
    write_bmp(path, cv.w, cv.h, 4, palette16, [m(c) for c in cv.flat_rgb(bg)])


def lzw_encode(indices, min_size):
    """GIF flavour of LZW: variable code width, LSB-first packing, restart when the
    4096-entry table is full."""
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    acc, nbits = 0, 0
    size = min_size + 1

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xff)
            acc >>= 8
            nbits -= 8

    emit(clear, size)
    table, nxt = {}, eoi + 1
    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix, k)
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix, size)
        table[key] = nxt
        nxt += 1
        if nxt == 4096:
            emit(clear, size)
            table, nxt, size = {}, eoi + 1, min_size + 1
        elif nxt > (1 << size):
            size += 1
        prefix = k
    emit(prefix, size)
    # The decoder adds one more entry after the last code and may widen before EOI.
    if nxt == (1 << size) and size < 12:
        size += 1
    emit(eoi, size)
    if nbits:
        out.append(acc & 0xff)
    return bytes(out)


def write_gif(path, frames, delay_cs, key=(240, 240, 240)):
    """Animated GIF89a, one global 256-colour table, index 0 transparent, looping forever.
    Mostly-transparent pixels become see-through; edges are pre-blended over a light grey
    so they sit well on ordinary window backgrounds."""
    w, h = frames[0].w, frames[0].h
    flats = []
    hist = {}
    for f in frames:
        flat = f.flat_rgb(key)
        alpha = [p[3] for p in f.px]
        fr = [None if a < 0.5 else c for c, a in zip(flat, alpha)]
        for c in fr:
            if c is not None:
                hist[c] = hist.get(c, 0) + 1
        flats.append(fr)
    pal = median_cut(hist, 255)
    m = nearest_mapper(pal)
    table = [key] + pal + [(0, 0, 0)] * (255 - len(pal))
    data = bytearray(b'GIF89a')
    data += struct.pack('<HHBBB', w, h, 0x80 | 0x70 | 0x07, 0, 0)
    data += b''.join(bytes(c) for c in table)
    data += b'\x21\xff\x0bNETSCAPE2.0\x03\x01' + struct.pack('<H', 0) + b'\x00'
    for fr in flats:
        idx = [0 if c is None else m(c) + 1 for c in fr]
        # Disposal 2 (restore to background) so the previous frame never shows through.
        data += b'\x21\xf9\x04' + struct.pack('<BHB', (2 << 2) | 1, delay_cs, 0) + b'\x00'
        data += b'\x2c' + struct.pack('<HHHHB', 0, 0, w, h, 0)
        data.append(8)
        lz = lzw_encode(idx, 8)
        for i in range(0, len(lz), 255):
            block = lz[i:i + 255]
            data.append(len(block))
            data += block
        data.append(0)
    data.append(0x3b)
    with open(path, 'wb') as fh:
        fh.write(bytes(data))


# ---------------------------------------------------------------------------
# Motifs shared by several pictures
# ---------------------------------------------------------------------------

def fern(cv, p0, p1, p2, pairs, lmax, base_col, tip_col, stem_col, wf=0.34, lobes=0,
         stem_w=1.2, spread=62, outline=None, ss=4):
    """A frond along a quadratic curve p0 -> p2 (bent towards p1): pinnae in
    near-opposite pairs, longest low down and shrinking to the tip."""
    def bez(t):
        u = 1 - t
        return (u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1])

    def tan(t):
        return (2 * (1 - t) * (p1[0] - p0[0]) + 2 * t * (p2[0] - p1[0]),
                2 * (1 - t) * (p1[1] - p0[1]) + 2 * t * (p2[1] - p1[1]))

    for i in range(pairs):
        t0 = 0.07 + 0.88 * i / pairs
        for side in (-1, 1):
            t = t0 + (0.4 / pairs if side > 0 else 0.0)
            x, y = bez(t)
            tx, ty = tan(t)
            a = math.atan2(ty, tx) + side * math.radians(spread - 22 * t)
            ln = max(1.6, lmax * (1 - t) ** 0.7 * (0.55 + 0.45 * min(1.0, t / 0.3)))
            wd = max(1.1, ln * wf)
            col = mix(base_col, tip_col, t)
            tip = shade(col, 0.25)
            lv = ln * 0.9 if ln > 5 else ln
            ex, ey = x + math.cos(a) * ln, y + math.sin(a) * ln
            if outline is not None:
                cv.fill(leaf(x - math.cos(a) * 0.6, y - math.sin(a) * 0.6, a, ln + 1.3, wd + 1.4,
                             lobes if ln > 5 else 0), outline, ss=ss)
            cv.fill(leaf(x, y, a, ln, wd, lobes if lv > 4.5 else 0), lin(x, y, col, ex, ey, tip), ss=ss)
    # Terminal leaflet continues the stem.
    x, y = bez(0.95)
    tx, ty = tan(0.95)
    a = math.atan2(ty, tx)
    ln = max(2.5, lmax * 0.22)
    if outline is not None:
        cv.fill(leaf(x - math.cos(a) * 0.6, y - math.sin(a) * 0.6, a, ln + 1.3, ln * 0.45 + 1.4),
                outline, ss=ss)
    cv.fill(leaf(x, y, a, ln, ln * 0.45), shade(tip_col, 0.2), ss=ss)
    # Stem on top reads as the midrib.
    n = 24
    pts = [bez(i / n) for i in range(n + 1)]
    for i in range(n):
        if i / n > 0.97:
            break
        r = stem_w * (1 - 0.6 * i / n)
        cv.fill(capsule(pts[i][0], pts[i][1], pts[i + 1][0], pts[i + 1][1], r), stem_col, ss=ss)


def hard_disk(cv, x, y, w, h, d, body=(170, 178, 188), line=(58, 66, 78), led=(90, 220, 90)):
    """A drive seen slightly from above and to the right: top, front and side faces."""
    dx, dy = d, d * 0.55
    top = [(x, y), (x + dx, y - dy), (x + w + dx, y - dy), (x + w, y)]
    side = [(x + w, y), (x + w + dx, y - dy), (x + w + dx, y + h - dy), (x + w, y + h)]
    front = [(x, y), (x + w, y), (x + w, y + h), (x, y + h)]
    cv.fill(poly(top), lin(x, y - dy, shade(body, 0.55), x + w, y, shade(body, 0.2)))
    cv.fill(poly(side), lin(x + w, y, shade(body, -0.32), x + w + dx, y, shade(body, -0.45)))
    cv.fill(poly(front), lin(x, y, shade(body, 0.1), x, y + h, shade(body, -0.18)))
    # Front details: vent slots at the left, activity light at the right.
    sh = max(1.0, h * 0.14)
    for i in range(3):
        sx = x + 4 + i * 3.2
        cv.fill(capsule(sx, y + h * 0.35, sx, y + h * 0.68, 0.6), shade(body, -0.45))
    cv.fill(rrect(x + w - 9, y + h / 2 - sh, x + w - 4, y + h / 2 + sh, sh), led)
    cv.fill(rect(x + 0.6, y + 0.6, x + w - 0.6, y + 1.4), shade(body, 0.5), alpha=0.7)
    cv.fill(outline_of(front, 0.55), line)
    cv.fill(outline_of(top, 0.55), line)
    cv.fill(outline_of(side, 0.55), line)


def broom(cv, hx, hy, bx, by, head_len, head_w, handle_r=1.6):
    """Handle from (hx, hy) down to the binding at (bx, by); bristles fan out beyond it."""
    ux, uy = bx - hx, by - hy
    ln = math.hypot(ux, uy)
    ux, uy = ux / ln, uy / ln
    vx, vy = -uy, ux
    wood, wood_dark = (176, 112, 58), (110, 66, 30)
    straw, straw_dark = (240, 202, 98), (178, 132, 44)
    cv.fill(capsule(hx, hy, bx, by, handle_r + 0.6), wood_dark)
    cv.fill(capsule(hx, hy, bx, by, handle_r), lin(hx - vx * handle_r, hy - vy * handle_r, shade(wood, 0.25),
                                                    hx + vx * handle_r, hy + vy * handle_r, wood))
    tw, bw = head_w * 0.45, head_w
    pts = [(bx + vx * tw, by + vy * tw)]
    teeth = 7
    for i in range(teeth + 1):  # ragged bristle ends
        s = 1 - 2 * i / teeth
        extra = 0.0 if i % 2 == 0 else -head_len * 0.08
        pts.append((bx + ux * (head_len + extra) + vx * bw * s, by + uy * (head_len + extra) + vy * bw * s))
    pts.append((bx - vx * tw, by - vy * tw))
    cv.fill(outline_of(pts, 0.6), straw_dark)
    cv.fill(poly(pts), lin(bx, by, shade(straw, 0.2), bx + ux * head_len, by + uy * head_len, straw))
    for i in range(5):
        s = -0.7 + 0.35 * i
        cv.fill(capsule(bx + vx * tw * s + ux * head_len * 0.25, by + vy * tw * s + uy * head_len * 0.25,
                        bx + vx * bw * s * 0.95 + ux * head_len * 0.86, by + vy * bw * s * 0.95 + uy * head_len * 0.86,
                        0.4), straw_dark, alpha=0.8)
    # Binding band.
    band = [(bx + vx * (tw + 0.8), by + vy * (tw + 0.8)),
            (bx - vx * (tw + 0.8), by - vy * (tw + 0.8)),
            (bx - vx * (tw + 1.0) + ux * 3, by - vy * (tw + 1.0) + uy * 3),
            (bx + vx * (tw + 1.0) + ux * 3, by + vy * (tw + 1.0) + uy * 3)]
    cv.fill(poly(band), (192, 62, 52))
    cv.fill(outline_of(band, 0.5), (110, 30, 28))


def magnifier(cv, cx, cy, r, ang=math.radians(45), handle_len=None, glass=(210, 232, 250, 0.55),
              ring=(70, 78, 92), handle=(60, 40, 28), scene=None, zoom=1.6, ring_w=None):
    """Lens with a dark rim and a handle; if scene is given the lens really magnifies it."""
    handle_len = handle_len if handle_len is not None else r * 1.2
    ring_w = ring_w if ring_w is not None else max(1.4, r * 0.18)
    ux, uy = math.cos(ang), math.sin(ang)
    sx, sy = cx + ux * (r + ring_w * 0.5), cy + uy * (r + ring_w * 0.5)
    ex, ey = cx + ux * (r + handle_len), cy + uy * (r + handle_len)
    hr = max(1.2, ring_w * 0.95)
    cv.fill(capsule(sx, sy, ex, ey, hr * 0.7), ring)
    cv.fill(capsule(sx + ux * handle_len * 0.3, sy + uy * handle_len * 0.3, ex, ey, hr), handle)
    cv.fill(capsule(sx + ux * handle_len * 0.3 - uy * hr * 0.4, sy + uy * handle_len * 0.3 + ux * hr * 0.4,
                    ex - uy * hr * 0.4, ey + ux * hr * 0.4, hr * 0.3), shade(handle, 0.35))
    lens = circle(cx, cy, r)
    if scene is not None:
        base = rgba(glass)

        def magnified(x, y):
            s = scene.sample(cx + (x - cx) / zoom, cy + (y - cy) / zoom)
            under = mix(base, s, s[3])
            return mix(under, (200, 228, 252, 1.0), 0.22)[:3] + (1.0,)
        cv.fill(lens, magnified)
    else:
        cv.fill(lens, glass)
    # Glint in the upper left of the glass.
    cv.fill(ellipse(cx - r * 0.38, cy - r * 0.4, r * 0.32, r * 0.16, math.radians(-40)), (255, 255, 255), alpha=0.8)
    cv.fill(minus(circle(cx, cy, r + ring_w), circle(cx, cy, r)), ring)
    cv.fill(minus(circle(cx, cy, r + ring_w * 0.5), circle(cx, cy, r + ring_w * 0.1)), shade(ring, 0.4), alpha=0.5)


def sparkle(cv, x, y, r, col=(255, 255, 255), a=1.0):
    cv.soft_ellipse(x, y, r * 0.9, r * 0.9, col, 0.5 * a)
    cv.fill(star(x, y, r), col, alpha=a)


# A compact 5x7 pixel alphabet, just the letters the product name needs.
GLYPHS = {
    'F': ['#####', '#....', '#....', '####.', '#....', '#....', '#....'],
    'e': ['.....', '.....', '.###.', '#...#', '#####', '#....', '.###.'],
    'r': ['.....', '.....', '#.##.', '##..#', '#....', '#....', '#....'],
    'n': ['.....', '.....', '#.##.', '##..#', '#...#', '#...#', '#...#'],
    'w': ['.....', '.....', '#...#', '#...#', '#.#.#', '#.#.#', '.#.#.'],
    'i': ['.#...', '.....', '##...', '.#...', '.#...', '.#...', '###..'],
    'c': ['.....', '.....', '.###.', '#....', '#....', '#...#', '.###.'],
    'k': ['#....', '#....', '#..#.', '#.#..', '##...', '#.#..', '#..#.'],
}


def glyph_width(ch):
    rows = GLYPHS[ch]
    return max((i + 1) for r in rows for i, b in enumerate(r) if b == '#')


def text_width(s, scale):
    return sum((glyph_width(ch) + 1) * scale for ch in s) - scale


def draw_text(cv, s, x, y, scale, col):
    for ch in s:
        for ry, row in enumerate(GLYPHS[ch]):
            for rx, b in enumerate(row):
                if b == '#':
                    cv.fill(rect(x + rx * scale, y + ry * scale, x + (rx + 1) * scale, y + (ry + 1) * scale), col, ss=1)
        x += (glyph_width(ch) + 1) * scale


def side_panel_backdrop(cv, horizon):
    """Soft green sky fading down to a rolling meadow; shared by the wizard panels."""
    w, h = cv.w, cv.h
    cv.paint_all(lin(0, 0, (238, 248, 234), 0, h, (176, 218, 166)))
    cv.soft_ellipse(w * 0.78, h * 0.12, w * 0.6, w * 0.6, (255, 255, 240), 0.75)
    cv.fill(ellipse(w * 0.15, horizon + 26, w * 0.9, 34), lin(0, horizon - 8, (150, 200, 126), 0, h, (108, 168, 92)))
    cv.fill(ellipse(w * 0.95, horizon + 34, w * 0.8, 36), lin(0, horizon, (126, 186, 106), 0, h, (86, 148, 78)))


# ---------------------------------------------------------------------------
# The pictures
# ---------------------------------------------------------------------------

FERN_DARK = (40, 112, 52)
FERN_LIGHT = (120, 196, 86)
FERN_STEM = (52, 100, 40)
FERN_EDGE = (30, 80, 40, 0.85)


def art_start_panel():
    """Wizard start page: a fern growing behind a drive that a broom is sweeping clean."""
    cv = Canvas(100, 170)
    side_panel_backdrop(cv, 140)
    fern(cv, (40, 132), (72, 70), (30, 12), 13, 27, FERN_DARK, FERN_LIGHT, FERN_STEM,
         lobes=3, stem_w=1.3, outline=FERN_EDGE)
    fern(cv, (60, 130), (64, 96), (90, 68), 8, 13, FERN_DARK, FERN_LIGHT, FERN_STEM,
         lobes=2, stem_w=1.0, outline=FERN_EDGE)
    cv.soft_ellipse(50, 152, 46, 9, (30, 60, 30), 0.45)
    hard_disk(cv, 12, 126, 64, 20, 14)
    # Dust being swept off the edge of the drive.
    for (dx, dy, r) in ((20, 115, 2.6), (15, 111, 1.8), (10, 117, 1.5), (24, 110, 1.2)):
        cv.fill(circle(dx, dy, r), (200, 196, 184), alpha=0.6)
    broom(cv, 93, 62, 56, 106, 17, 9)
    sparkle(cv, 84, 112, 5)
    sparkle(cv, 14, 98, 3.5)
    sparkle(cv, 70, 26, 3)
    sparkle(cv, 20, 160, 3)
    return cv


def cd_disc(cv, cx, cy, r):
    def sheen(x, y):
        a = math.atan2(y - cy, x - cx)
        d = math.hypot(x - cx, y - cy) / r
        # Soft rainbow bands sweep round the disc, fading towards the hub.
        hue = (a / (2 * math.pi) * 2) % 1.0
        rr = 0.5 + 0.5 * math.cos(2 * math.pi * hue)
        gg = 0.5 + 0.5 * math.cos(2 * math.pi * (hue - 1 / 3))
        bb = 0.5 + 0.5 * math.cos(2 * math.pi * (hue - 2 / 3))
        base = (214, 220, 230)
        k = 0.35 * d
        return (base[0] * (1 - k) + 255 * rr * k, base[1] * (1 - k) + 255 * gg * k, base[2] * (1 - k) + 255 * bb * k)
    cv.fill(circle(cx, cy, r + 0.8), (96, 104, 118))
    cv.fill(minus(circle(cx, cy, r), circle(cx, cy, r * 0.2)), sheen)
    cv.fill(minus(circle(cx, cy, r * 0.34), circle(cx, cy, r * 0.2)), (236, 240, 246))
    cv.fill(minus(circle(cx, cy, r * 0.2 + 0.7), circle(cx, cy, r * 0.2)), (96, 104, 118))
    cv.fill(ellipse(cx - r * 0.35, cy - r * 0.45, r * 0.35, r * 0.12, math.radians(-35)), (255, 255, 255), alpha=0.7)


def art_drives_panel():
    """Drives page: a stack of drives and a disc under an arching fern."""
    cv = Canvas(105, 190)
    side_panel_backdrop(cv, 158)
    fern(cv, (30, 150), (4, 60), (86, 26), 14, 26, FERN_DARK, FERN_LIGHT, FERN_STEM,
         lobes=3, stem_w=1.3, outline=FERN_EDGE)
    fern(cv, (50, 150), (60, 100), (94, 84), 8, 13, FERN_DARK, FERN_LIGHT, FERN_STEM,
         lobes=2, stem_w=1.0, outline=FERN_EDGE)
    cv.soft_ellipse(52, 172, 50, 9, (30, 60, 30), 0.45)
    hard_disk(cv, 12, 152, 62, 16, 12, body=(150, 160, 176))
    hard_disk(cv, 12, 136, 62, 16, 12, body=(176, 184, 196))
    hard_disk(cv, 12, 120, 62, 16, 12, body=(196, 204, 214), led=(250, 190, 60))
    cd_disc(cv, 84, 158, 16)
    sparkle(cv, 22, 104, 4)
    sparkle(cv, 94, 128, 3)
    sparkle(cv, 48, 16, 3)
    return cv


def emblem(cv, x, y, s, pairs, lobes, shadow=True):
    """The product mark: a pale fern frond on a glossy green rounded square."""
    r = s * 0.22
    if shadow:
        for i in range(5):
            g = i * s * 0.012
            cv.fill(rrect(x - g, y + s * 0.03 - g, x + s + g, y + s * 1.04 + g, r + g), (20, 50, 30), alpha=0.07)
    body = rrect(x, y, x + s, y + s, r)
    cv.fill(body, lin(x, y, (136, 210, 104), x + s, y + s, (30, 112, 62)))
    edge = max(0.8, s * 0.012)
    cv.fill(minus(body, rrect(x + edge, y + edge, x + s - edge, y + s - edge, r - edge)), (24, 84, 46), alpha=0.9)
    # Gloss across the upper half.
    cv.fill(intersect(rrect(x + edge, y + edge, x + s - edge, y + s - edge, r - edge),
                      ellipse(x + s * 0.5, y - s * 0.25, s * 0.85, s * 0.68)), (255, 255, 255), alpha=0.16)
    p0 = (x + s * 0.26, y + s * 0.9)
    p1 = (x + s * 0.34, y + s * 0.34)
    p2 = (x + s * 0.82, y + s * 0.14)
    leafc, tipc, stemc = (226, 246, 212), (255, 255, 250), (236, 250, 226)
    fern(cv, p0, p1, p2, pairs, s * 0.27, leafc, tipc, stemc, wf=0.36, lobes=lobes,
         stem_w=max(0.7, s * 0.016), spread=60, outline=(24, 90, 48, 0.35) if s > 40 else None)


def art_about():
    """About box: the emblem with the product name in a pixel font underneath."""
    cv = Canvas(149, 154)
    cv.paint_all(lin(0, 0, (255, 255, 255), 0, 154, (226, 240, 222)))
    cv.soft_ellipse(74, 56, 80, 66, (255, 255, 255), 0.6)
    emblem(cv, 29, 10, 92, 12, 3)
    name = 'Fernwick'
    tw = text_width(name, 2)
    tx = (149 - tw) // 2
    draw_text(cv, name, tx + 1, 123, 2, (180, 214, 176))
    draw_text(cv, name, tx, 122, 2, (32, 92, 52))
    return cv


BANNER_PALETTE = [
    (246, 250, 242), (255, 255, 255), (214, 236, 204), (156, 208, 130),
    (92, 166, 80), (44, 112, 56), (24, 70, 40), (206, 212, 218),
    (152, 160, 170), (88, 96, 106), (36, 40, 46), (200, 226, 246),
    (96, 150, 206), (140, 94, 54), (226, 190, 100), (230, 90, 70),
]


def art_banner():
    """Unattended-run banner: a fern beside a drive being examined with a magnifier."""
    cv = Canvas(173, 71)
    cv.paint_all(lambda x, y: BANNER_PALETTE[0])
    cv.fill(ellipse(40, 96, 110, 38), BANNER_PALETTE[2], ss=2)
    cv.fill(ellipse(150, 100, 80, 40), BANNER_PALETTE[2], ss=2)
    dk, lt, st = BANNER_PALETTE[5], BANNER_PALETTE[3], BANNER_PALETTE[6]
    fern(cv, (16, 66), (14, 26), (64, 8), 10, 17, dk, lt, st, lobes=0, stem_w=1.1,
         outline=BANNER_PALETTE[6])
    hard_disk(cv, 66, 42, 54, 14, 10, body=(152, 160, 170), line=(36, 40, 46), led=(156, 208, 130))
    magnifier(cv, 124, 28, 13, ang=math.radians(40), handle_len=14, glass=(200, 226, 246, 0.8),
              ring=(36, 40, 46), handle=(140, 94, 54), ring_w=2.6)
    broom(cv, 170, 10, 154, 46, 16, 7, handle_r=1.4)
    sparkle(cv, 142, 8, 3.5, (255, 255, 255))
    sparkle(cv, 100, 12, 3, (226, 190, 100))
    return cv


def art_checkbox(checked):
    cv = Canvas(16, 16)
    cv.fill(rrect(1, 1, 15, 15, 2.2), (104, 112, 122))
    cv.fill(rrect(2, 2, 14, 14, 1.3), lin(0, 2, (255, 255, 255), 0, 14, (232, 238, 232)))
    if checked:
        cv.fill(polyline([(4.4, 8.0), (6.9, 10.7), (11.7, 4.9)], 1.2), (28, 122, 52))
    return cv


def art_icon(size):
    cv = Canvas(size, size)
    m = size * 0.04
    pairs = 5 if size <= 32 else 7
    emblem(cv, m, m, size - 2 * m, pairs, 0, shadow=False)
    return cv


def art_cursor():
    """Pointing hand, index finger straight up; the fingertip is the hot spot."""
    cv = Canvas(32, 32)
    black, white = (0, 0, 0), (255, 255, 255)
    fx = CURSOR_HOTSPOT[0] + 0.5  # finger centre line through the hot-spot column
    parts = [
        ('cap', (fx, 3.0, fx, 17.0, 2.2)),            # index finger
        ('cap', (fx + 4.6, 12.4, fx + 4.6, 18.0, 2.2)),  # middle finger knuckle
        ('cap', (fx + 9.0, 13.6, fx + 9.0, 19.0, 2.1)),  # ring finger knuckle
        ('cap', (fx + 13.0, 15.4, fx + 13.0, 20.0, 1.9)),  # little finger knuckle
        ('cap', (fx - 1.2, 22.2, fx - 6.4, 16.8, 2.0)),   # thumb
        ('rr', (fx - 2.2, 14.0, fx + 14.9, 27.0, 4.2)),   # palm
        ('rr', (fx + 0.8, 23.0, fx + 12.6, 30.0, 1.6)),   # wrist
    ]

    def shape(kind, p, grow):
        if kind == 'cap':
            return capsule(p[0], p[1], p[2], p[3], p[4] + grow)
        return rrect(p[0] - grow, p[1] - grow, p[2] + grow, p[3] + grow, p[4] + grow)
    outer = union(*[shape(k, p, 1.0) for k, p in parts])
    inner = union(*[shape(k, p, 0.0) for k, p in parts])
    cv.fill(outer, black)
    cv.fill(inner, lin(0, 0, white, 32, 32, (226, 226, 226)))
    # Creases between the folded fingers, and a cuff line at the wrist.
    for gx, y0, y1 in ((fx + 2.3, 12.6, 18.5), (fx + 6.8, 13.4, 19.4), (fx + 11.0, 15.2, 20.2)):
        cv.fill(capsule(gx, y0, gx, y1, 0.5), black)
    cv.fill(capsule(fx + 1.2, 25.0, fx + 12.2, 25.0, 0.5), black)
    return cv


def folder_scene(w, h):
    """An open manila folder with a few pages, drawn once and reused by every frame."""
    cv = Canvas(w, h)
    back, back_dark = (226, 172, 64), (150, 104, 30)
    front, front_light = (248, 206, 96), (255, 230, 150)
    tab = [(14, 12), (17, 8.5), (30, 8.5), (33, 12)]
    cv.fill(outline_of(tab, 0.6), back_dark)
    cv.fill(poly(tab), back)
    cv.fill(rrect(14, 11, 62, 42, 1.5), back_dark)
    cv.fill(rrect(15, 12, 61, 41, 1.0), lin(0, 12, shade(back, 0.1), 0, 41, back))
    for (x0, y0, ang, col) in ((22, 10, -0.08, (244, 244, 240)), (26, 13, 0.06, (255, 255, 255))):
        pg = rotate_pts([(x0, y0), (x0 + 28, y0), (x0 + 28, y0 + 24), (x0, y0 + 24)], x0 + 14, y0 + 12, ang)
        cv.fill(outline_of(pg, 0.5), (150, 150, 150))
        cv.fill(poly(pg), col)
        for k in range(4):
            ln = rotate_pts([(x0 + 4, y0 + 5 + k * 4), (x0 + (24 if k < 3 else 16), y0 + 5 + k * 4)],
                            x0 + 14, y0 + 12, ang)
            cv.fill(capsule(ln[0][0], ln[0][1], ln[1][0], ln[1][1], 0.55), (150, 170, 196))
    flap = [(10, 22), (58, 22), (64, 42.5), (14, 42.5)]
    cv.fill(outline_of(flap, 0.7), back_dark)
    cv.fill(poly(flap), lin(0, 22, front_light, 0, 42, front))
    cv.fill(capsule(12, 23.3, 57, 23.3, 0.5), (255, 244, 200), alpha=0.9)
    return cv


def art_search_frames(n=10):
    w, h = 80, 50
    scene = folder_scene(w, h)
    frames = []
    for i in range(n):
        th = 2 * math.pi * i / n
        cx = 40 + 15 * math.cos(th)
        cy = 22 + 6 * math.sin(th)
        fr = scene.copy()
        magnifier(fr, cx, cy, 9.5, ang=math.radians(45), handle_len=9, ring=(62, 70, 84),
                  handle=(72, 46, 30), scene=scene, glass=(236, 244, 252), ring_w=2.0, zoom=1.5)
        frames.append(fr)
    return frames


def main():
    os.makedirs(OUT_DIR, exist_ok=True)

    def out(name):
        return os.path.join(OUT_DIR, name)
    write_bmp8(out('bitmap145.bmp'), art_start_panel())
    write_bmp8(out('bitmap154.bmp'), art_drives_panel())
    write_bmp8(out('bitmap161.bmp'), art_about())
    write_bmp4(out('bitmap166.bmp'), art_banner(), BANNER_PALETTE)
    write_png(out('icon146.png'), art_checkbox(True))
    write_png(out('icon147.png'), art_checkbox(False))
    write_png(out('icon128.png'), art_icon(32))
    write_png(out('icon128_48.png'), art_icon(48))
    # The program icon in the desktop's icon theme (hicolor), drawn afresh for each size.
    for size in HICOLOR_ICON_SIZES:
        write_png(out('fernwick-%d.png' % size), art_icon(size))
    write_png(out('cursor162.png'), art_cursor())
    write_gif(out('avi_video.gif'), art_search_frames(), 10)


if __name__ == '__main__':
    main()
