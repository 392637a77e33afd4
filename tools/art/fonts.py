"""Bitmap font atlases at canvas scale, rendered with FreeType (through PIL)
from DejaVu fonts.

Byte values map to characters as Windows-1252 (Latin-1 plus typographic marks
in 0x80-0x9F). Control bytes and the five unassigned bytes get an empty glyph
of width 0. A glyph's cell is exactly its advance wide and one line high, with
a soft dark shadow, so text stays legible over the 3D scene."""
import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
GUTTER = 3


def char_of(b):
    if b < 32 or b == 127:
        return None
    try:
        return bytes([b]).decode("cp1252")
    except UnicodeDecodeError:
        return None


def next_pow2(v):
    p = 1
    while p < v:
        p *= 2
    return p


def build(file, px, atlas_w=512, shadow=0.55):
    font = ImageFont.truetype(FONT_DIR + file, px)
    ascent, descent = font.getmetrics()
    H = ascent + descent + 1
    cells = []
    for b in range(256):
        ch = char_of(b)
        if ch is None:
            cells.append(None)
            continue
        adv = int(round(font.getlength(ch)))
        x0, y0, x1, y1 = font.getbbox(ch, anchor="la")
        left = max(0, -x0)
        right = max(0, x1 - adv) if ch.strip() else 0
        w = adv + left + right
        cells.append((ch, w, left))
    # Pack row by row.
    x = y = GUTTER
    pos = []
    for c in cells:
        if c is None:
            pos.append(None)
            continue
        w = c[1]
        if x + w + GUTTER > atlas_w:
            x = GUTTER
            y += H + GUTTER
        pos.append((x, y))
        x += w + GUTTER
    atlas_h = next_pow2(y + H + GUTTER)
    glyph = Image.new("L", (atlas_w, atlas_h), 0)
    d = ImageDraw.Draw(glyph)
    for c, p in zip(cells, pos):
        if c is None:
            continue
        ch, w, left = c
        # Draw inside the cell only: a per-glyph image pasted at its place.
        g = Image.new("L", (w, H), 0)
        ImageDraw.Draw(g).text((left, 0), ch, font=font, fill=255, anchor="la")
        glyph.paste(g, p)
    del d
    a = np.asarray(glyph).astype(float) / 255.0
    # Shadow: the glyph moved one pixel right and down, kept inside each cell.
    sh = np.zeros_like(a)
    for c, p in zip(cells, pos):
        if c is None:
            continue
        w = c[1]
        x0, y0 = p
        cell = a[y0:y0 + H, x0:x0 + w]
        s = np.zeros_like(cell)
        s[1:, 1:] = cell[:-1, :-1]
        sh[y0:y0 + H, x0:x0 + w] = s
    sa = sh * shadow
    out_a = a + sa * (1 - a)
    rgb = np.where(out_a[..., None] > 0, (a / np.maximum(out_a, 1e-6))[..., None], 0) * np.ones(3)
    img = np.concatenate([rgb, out_a[..., None]], 2)
    chars = []
    for c, p in zip(cells, pos):
        if c is None:
            chars.append({"x": 0, "y": 0, "w": 0, "h": H})
        else:
            chars.append({"x": p[0], "y": p[1], "w": c[1], "h": H})
    return img, chars, H, (atlas_w, atlas_h)


FONTS = {
    # name: (file, pixel size, atlas width)
    "font1": ("DejaVuSans.ttf", 17, 512),
    "font2": ("DejaVuSans-Bold.ttf", 28, 512),
    "font3": ("DejaVuSans.ttf", 13, 256),
}
