"""Editor palette icons (drawn as seen on screen) and floor decals (drawn as
map squares: image x along map x, image y along map y)."""
import math

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

import chars
import props
import rt
import sprites
import textures as tx

SIZE = 128
K = 2  # supersampling of the drawn icons

# Screen angle (degrees, counter-clockwise from screen right) of each keypad digit.
SCREEN_ANGLE = {6: 0, 9: 45, 8: 90, 7: 135, 4: 180, 1: 225, 2: 270, 3: 315}
# Map step (dx, dy) of each keypad digit.
MAP_STEP = {1: (0, 1), 2: (1, 1), 3: (1, 0), 4: (-1, 1), 6: (1, -1), 7: (-1, 0), 8: (-1, -1), 9: (0, -1)}

LAMP_RGB = {1: (1.0, 0.62, 0.16), 2: (0.25, 0.7, 1.0), 3: (1.0, 0.22, 0.18), 4: (0.62, 0.3, 1.0)}


def to_pil(img):
    return Image.fromarray(rt.to_u8(img), "RGBA")


def from_pil(im):
    return np.asarray(im).astype(float) / 255.0


def over(dst, src):
    """Alpha-composite src over dst (both straight-alpha float RGBA)."""
    sa = src[..., 3:4]
    da = dst[..., 3:4]
    oa = sa + da * (1 - sa)
    rgb = (src[..., :3] * sa + dst[..., :3] * da * (1 - sa)) / np.maximum(oa, 1e-6)
    return np.concatenate([rgb, oa], 2)


def blank(n=SIZE):
    return np.zeros((n, n, 4))


# ------------------------------------------------------------- iso blocks

def _paste_face(canvas, tex, origin, U, V, mult):
    """Map the texture's full square onto the parallelogram origin + s U + t V."""
    th, tw = tex.shape[:2]
    M = np.array([[U[0], V[0]], [U[1], V[1]]], float)
    Mi = np.linalg.inv(M)
    # source = (tw * s, th * t), (s, t) = Mi (P - O)
    a, b = Mi[0] * tw
    d, e = Mi[1] * th
    c = -(a * origin[0] + b * origin[1])
    f = -(d * origin[0] + e * origin[1])
    src = to_pil(np.concatenate([np.clip(tex[..., :3] * mult, 0, 1), tex[..., 3:4]], 2))
    face = src.transform(canvas.size, Image.AFFINE, (a, b, c, d, e, f), resample=Image.BILINEAR)
    mask = Image.new("L", canvas.size, 0)
    pts = [tuple(origin), tuple(origin + U), tuple(origin + U + V), tuple(origin + V)]
    ImageDraw.Draw(mask).polygon(pts, fill=255)
    canvas.paste(face, (0, 0), mask)


class Iso:
    """An isometric drawing of one map cell, viewed like the game's camera."""

    def __init__(self, half=50, hs=None, z1=0.0):
        n = SIZE * K
        self.n = n
        self.a = half * K
        # Fit the drawing: diamond (half tall) plus z1 units of height.
        if hs is None:
            hs = min(20.0, (SIZE * 0.9 - half) / max(z1, 1e-6))
        self.hs = hs * K
        cy = (SIZE + z1 * hs) / 2.0
        self.c = np.array([n / 2, cy * K])
        self.img = Image.new("RGBA", (n, n), (0, 0, 0, 0))

    def pt(self, u, v, z):
        """Cell coordinates u (toward screen lower right), v (lower left) in 0..1, height z."""
        a = self.a
        x = self.c[0] + (u - v) * a
        y = self.c[1] + (u + v - 1) * a / 2 - z * self.hs
        return np.array([x, y])

    def block(self, z0, z1, tex, inset=0.0, mult=(1, 1, 1), side_tex=None, top=True):
        side_tex = tex if side_tex is None else side_tex
        mult = np.array(mult)
        i0, i1 = inset, 1 - inset
        # left face: along v at u = 1 ... right face: along u at v = 1
        o = self.pt(i0, i1, z1)
        _paste_face(self.img, side_tex, o, self.pt(i1, i1, z1) - o, self.pt(i0, i1, z0) - o, mult * 0.78)
        o = self.pt(i1, i1, z1)
        _paste_face(self.img, side_tex, o, self.pt(i1, i0, z1) - o, self.pt(i1, i1, z0) - o, mult * 0.58)
        if top:
            o = self.pt(i0, i0, z1)
            _paste_face(self.img, tex, o, self.pt(i1, i0, z1) - o, self.pt(i0, i1, z1) - o, mult * 1.05)

    def floor(self, tex, mult=(1, 1, 1)):
        o = self.pt(0, 0, 0)
        _paste_face(self.img, tex, o, self.pt(1, 0, 0) - o, self.pt(0, 1, 0) - o, np.array(mult))

    def result(self):
        return tx.downsample(from_pil(self.img), K)


def crop_cell(tex, cells=1):
    n = tex.shape[0]
    c = int(n / 5 * cells)
    return tex[:c, :c]


def side_strip(tex, height_units):
    """The part of the walls sheet a side face of the given height shows."""
    n = tex.shape[0]
    return tex[: int(n * 0.4), : int(n * 0.2)]


def icon_floor(floor_tex, mult=(1, 1, 1)):
    iso = Iso(half=58)
    iso.floor(crop_cell(floor_tex), mult)
    return iso.result()


def icon_none():
    img = blank()
    iso = Iso(half=58)
    d = ImageDraw.Draw(iso.img)
    pts = [tuple(iso.pt(0, 0, 0)), tuple(iso.pt(1, 0, 0)), tuple(iso.pt(1, 1, 0)), tuple(iso.pt(0, 1, 0))]
    d.polygon(pts, fill=(8, 9, 14, 255))
    for i in range(4):
        p, q = np.array(pts[i]), np.array(pts[(i + 1) % 4])
        for s in np.linspace(0, 1, 9)[:-1]:
            a_ = p + (q - p) * s
            b_ = p + (q - p) * (s + 0.07)
            d.line((tuple(a_), tuple(b_)), fill=(120, 130, 160, 255), width=2 * K)
    del img
    return iso.result()


def icon_hole(floor_tex, crater=True):
    iso = Iso(half=58)
    iso.floor(crop_cell(floor_tex))
    d = ImageDraw.Draw(iso.img)
    c = iso.pt(0.5, 0.5, 0)
    r = iso.a * (0.8 if crater else 0.7)
    if crater:
        d.ellipse((c[0] - r * 1.05, c[1] - r * 0.55, c[0] + r * 1.05, c[1] + r * 0.55), fill=(70, 52, 40, 255))
        d.ellipse((c[0] - r * 0.9, c[1] - r * 0.45, c[0] + r * 0.9, c[1] + r * 0.45), fill=(34, 24, 20, 255))
        d.ellipse((c[0] - r * 0.6, c[1] - r * 0.25, c[0] + r * 0.6, c[1] + r * 0.32), fill=(8, 6, 6, 255))
    else:
        pts = [tuple(iso.pt(0.1, 0.1, 0)), tuple(iso.pt(0.9, 0.1, 0)), tuple(iso.pt(0.9, 0.9, 0)),
               tuple(iso.pt(0.1, 0.9, 0))]
        d.polygon(pts, fill=(4, 4, 6, 255), outline=(40, 40, 50, 255))
    return iso.result()


def icon_block(walls_tex, z1, mult=(1, 1, 1)):
    # A tall block keeps the walls' height scale and narrows instead.
    iso = Iso(half=50 if z1 <= 2.5 else 36, z1=z1)
    iso.block(0, z1, crop_cell(walls_tex), mult=mult, side_tex=side_strip(walls_tex, z1))
    return iso.result()


def icon_window(walls_tex, bars=False):
    iso = Iso(z1=2.5)
    top = crop_cell(walls_tex)
    side = side_strip(walls_tex, 0.5)
    # Far half of the cell first: nothing; sill, glowing pane, lintel.
    iso.block(0, 0.5, top, side_tex=side[: side.shape[0] // 5])
    d = ImageDraw.Draw(iso.img)
    # Opening between sill and lintel
    pane = [tuple(iso.pt(0.35, 1, 2.0)), tuple(iso.pt(1, 1, 2.0)), tuple(iso.pt(1, 0.35, 2.0)),
            tuple(iso.pt(1, 0.35, 0.5)), tuple(iso.pt(1, 1, 0.5)), tuple(iso.pt(0.35, 1, 0.5))]
    if bars:
        for u in np.linspace(0.2, 0.95, 5):
            d.line((tuple(iso.pt(u, 1.0, 0.5)), tuple(iso.pt(u, 1.0, 2.0))), fill=(60, 62, 72, 255), width=3 * K)
        for v in np.linspace(0.2, 0.95, 5):
            d.line((tuple(iso.pt(1.0, v, 0.5)), tuple(iso.pt(1.0, v, 2.0))), fill=(45, 46, 55, 255), width=3 * K)
    else:
        glow = Image.new("RGBA", iso.img.size, (0, 0, 0, 0))
        gd = ImageDraw.Draw(glow)
        gd.polygon([tuple(iso.pt(0, 1, 2.0)), tuple(iso.pt(1, 1, 2.0)), tuple(iso.pt(1, 1, 0.5)),
                    tuple(iso.pt(0, 1, 0.5))], fill=(150, 200, 255, 170))
        gd.polygon([tuple(iso.pt(1, 1, 2.0)), tuple(iso.pt(1, 0, 2.0)), tuple(iso.pt(1, 0, 0.5)),
                    tuple(iso.pt(1, 1, 0.5))], fill=(120, 170, 240, 150))
        # Mullions
        for a_, b_ in (((0.5, 1, 0.5), (0.5, 1, 2.0)), ((1, 0.5, 0.5), (1, 0.5, 2.0)),
                       ((0, 1, 1.25), (1, 1, 1.25)), ((1, 1, 1.25), (1, 0, 1.25))):
            gd.line((tuple(iso.pt(*a_)), tuple(iso.pt(*b_))), fill=(40, 45, 60, 255), width=3 * K)
        iso.img = Image.alpha_composite(iso.img, glow)
    del pane
    iso.block(2.0, 2.5, top, side_tex=side[: side.shape[0] // 5])
    return iso.result()


def icon_pillar(top, side, height=2.675):
    """A target as the game draws it: four stacked blocks, each side showing
    its band of the target's elevation picture."""
    iso = Iso(half=44, z1=height)
    rows = side.shape[0]
    for z0, z1, inset in ((0, 0.35, 0), (0.35, 2.15, 0.125), (2.15, 2.5, 0), (2.5, 2.675, 0.25)):
        band = side[int(rows * (1 - z1 / height)):max(int(rows * (1 - z0 / height)), int(rows * (1 - z1 / height)) + 1)]
        iso.block(z0, z1, top, inset=inset, side_tex=band, mult=(1.25, 1.25, 1.25))
    return iso.result()


def icon_crate(top, side):
    iso = Iso(half=50, z1=1.25)
    iso.block(0, 1.25, top, side_tex=side)
    return iso.result()


# ------------------------------------------------------------- rendered

def icon_figure(build, pose, facing=2, zoom=1.9, focus=1.9):
    prims = build(pose)
    prims = [sprites.scaled(p, sprites.MODEL_SCALE) for p in prims]
    prims = rt.place(prims, chars.FACINGS[facing])
    prims = sprites.grounded(prims)
    px = sprites.PX_X * zoom
    pz = sprites.PX_Z * zoom
    ground = SIZE / 2 + focus * pz
    return rt.render(prims, SIZE, px, pz, ground, ss=3)


def icon_prop(name):
    build, scale = props.BUILDERS[name]
    prims = [sprites.scaled(p, scale) for p in build()]
    prims = [p.transformed(np.eye(3), np.array([0, 0, -sprites.lowest(prims)])) for p in prims]
    top = max(p.bound()[0][2] + p.bound()[0][1] * rt.TAN_E + p.bound()[1] for p in prims)
    span = max(top, 0.9) + 0.35
    pz = (SIZE - 16) / span
    px = pz * sprites.PX_X / sprites.PX_Z
    ground = SIZE - 8 - 0.2 * pz
    return rt.render(prims, SIZE, px, pz, ground, ss=3)


# ------------------------------------------------------------- drawn

def arrow_shape(d, n, angle_deg, fill, outline, scale=1.0, shaft=0.13):
    a = math.radians(angle_deg)
    ux, uy = math.cos(a), -math.sin(a)
    px_, py_ = -uy, ux
    c = n / 2
    L = 0.40 * n * scale
    pts_local = [(-L, -shaft * n), (0.05 * n, -shaft * n), (0.05 * n, -0.3 * n * scale),
                 (L, 0), (0.05 * n, 0.3 * n * scale), (0.05 * n, shaft * n), (-L, shaft * n)]
    pts = [(c + x * ux + y * px_, c + x * uy + y * py_) for x, y in pts_local]
    d.polygon(pts, fill=fill, outline=outline, width=max(1, n // 40))


def icon_arrow(digit):
    n = SIZE * K
    im = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    d.ellipse((n * 0.06, n * 0.06, n * 0.94, n * 0.94), fill=(20, 24, 34, 200), outline=(255, 190, 80, 255),
              width=3 * K)
    arrow_shape(d, n, SCREEN_ANGLE[digit], (255, 196, 70, 255), (60, 30, 0, 255), scale=0.95)
    return tx.downsample(from_pil(im), K)


def decal_arrow(digit):
    dx, dy = MAP_STEP[digit]
    angle = math.degrees(math.atan2(-dy, dx))
    n = SIZE * K
    im = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    arrow_shape(d, n, angle, (255, 190, 60, 235), (70, 35, 0, 255), scale=1.0, shaft=0.11)
    return tx.downsample(from_pil(im), K)


def glow_disc(rgb, inner=0.1, outer=0.48, strength=1.0):
    r = tx.radial(SIZE)
    img = blank()
    img[..., :3] = rgb
    img[..., 3] = np.clip(1 - (r - inner) / (outer - inner), 0, 1) ** 2 * strength
    return img


def icon_lamp(value):
    col = np.array(LAMP_RGB[value])
    img = glow_disc(col, 0.05, 0.5, 0.9)
    n = SIZE * K
    im = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    s = n / 128
    dark = (30, 30, 36, 255)
    d.line((64 * s, 4 * s, 64 * s, 26 * s), fill=dark, width=int(4 * s))
    d.polygon([(44 * s, 34 * s), (84 * s, 34 * s), (74 * s, 24 * s), (54 * s, 24 * s)], fill=dark)
    bright = tuple(int(255 * min(1, c * 0.6 + 0.45)) for c in col) + (255,)
    d.rounded_rectangle((48 * s, 34 * s, 80 * s, 82 * s), 6 * s, fill=bright, outline=dark, width=int(4 * s))
    d.line((64 * s, 34 * s, 64 * s, 82 * s), fill=dark, width=int(3 * s))
    d.polygon([(44 * s, 82 * s), (84 * s, 82 * s), (76 * s, 92 * s), (52 * s, 92 * s)], fill=dark)
    return over(img, tx.downsample(from_pil(im), K))


def decal_lamp(value):
    col = np.array(LAMP_RGB[value])
    img = glow_disc(col, 0.0, 0.5, 0.8)
    n = SIZE * K
    im = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    bright = tuple(int(255 * min(1, c * 0.5 + 0.5)) for c in col) + (255,)
    d.ellipse((n * 0.36, n * 0.36, n * 0.64, n * 0.64), fill=bright, outline=(30, 30, 36, 255), width=3 * K)
    return over(img, tx.downsample(from_pil(im), K))


def decal_ring(rgb, chevron=False):
    n = SIZE * K
    im = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    c = tuple(int(v * 255) for v in rgb)
    d.ellipse((n * 0.1, n * 0.1, n * 0.9, n * 0.9), outline=c + (230,), width=6 * K)
    d.ellipse((n * 0.2, n * 0.2, n * 0.8, n * 0.8), outline=c + (120,), width=3 * K)
    if chevron:
        d.ellipse((n * 0.4, n * 0.4, n * 0.6, n * 0.6), fill=c + (220,))
    else:
        d.line((n * 0.35, n * 0.35, n * 0.65, n * 0.65), fill=c + (230,), width=6 * K)
        d.line((n * 0.65, n * 0.35, n * 0.35, n * 0.65), fill=c + (230,), width=6 * K)
    return tx.downsample(from_pil(im), K)


def decal_rug(seed=5):
    n = SIZE * K
    im = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    d.rectangle((n * 0.08, n * 0.16, n * 0.92, n * 0.84), fill=(120, 30, 36, 255), outline=(200, 150, 70, 255),
                width=4 * K)
    d.rectangle((n * 0.16, n * 0.24, n * 0.84, n * 0.76), outline=(200, 150, 70, 255), width=2 * K)
    d.polygon([(n * 0.5, n * 0.3), (n * 0.7, n * 0.5), (n * 0.5, n * 0.7), (n * 0.3, n * 0.5)],
              fill=(170, 110, 50, 255), outline=(40, 10, 12, 255), width=2 * K)
    for i in range(9):
        x = n * (0.1 + 0.1 * i)
        d.line((x, n * 0.1, x, n * 0.16), fill=(200, 170, 110, 255), width=2 * K)
        d.line((x, n * 0.84, x, n * 0.9), fill=(200, 170, 110, 255), width=2 * K)
    del seed
    return tx.downsample(from_pil(im), K)


def decal_grate():
    n = SIZE * K
    im = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    d.rectangle((n * 0.1, n * 0.1, n * 0.9, n * 0.9), fill=(12, 12, 16, 255), outline=(90, 92, 104, 255),
                width=5 * K)
    for i in range(1, 8):
        x = n * (0.1 + 0.1 * i)
        d.line((x, n * 0.12, x, n * 0.88), fill=(70, 72, 84, 255), width=4 * K)
    return tx.downsample(from_pil(im), K)


def soften(img, radius=0.6):
    im = to_pil(img).filter(ImageFilter.GaussianBlur(radius))
    return from_pil(im)
