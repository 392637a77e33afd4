"""Pictures that make the scene read at a glance: the target's and the crate's
own faces, what fills the openings of the exit window and the barred opening,
the lamp fixtures, the agent's rim glow and the marks on cells a guard sees,
and the floor and wall sheets of the themes.

All functions return float RGBA arrays (rows, columns, 4) in 0..1, not
premultiplied. Random parts use fixed seeds."""
import math

import numpy as np
from PIL import Image, ImageDraw

import rt
import textures as tx
from rt import Capsule, Cylinder, Mat, Sphere

K = 4  # supersampling of the drawn pictures


def _drawn(w, h, draw_fn):
    """A picture drawn with PIL at K times the size, box-filtered down."""
    big = Image.new("RGBA", (w * K, h * K), (0, 0, 0, 0))
    draw_fn(ImageDraw.Draw(big), K)
    return tx.downsample(np.asarray(big).astype(float) / 255.0, K)


def _u8(c, a=1.0):
    return tuple(int(round(v * 255)) for v in c) + (int(round(a * 255)),)


# ------------------------------------------------------------------ target

TARGET_H = 2.675  # the elevation the side picture covers, world units
HAZARD = (0.98, 0.78, 0.08)
HAZARD_DARK = (0.09, 0.08, 0.07)


def _hazard_band(img, r0, r1, phase=0.0):
    """Yellow and black diagonal stripes with a bevel on rows r0..r1."""
    h, w = img.shape[:2]
    y, x = np.mgrid[r0:r1, 0:w].astype(float)
    stripe = (((x + y) / 22.0 + phase) % 1.0) < 0.5
    col = np.where(stripe[..., None], np.array(HAZARD), np.array(HAZARD_DARK))
    t = (y - r0) / max(r1 - r0 - 1, 1)
    bevel = 1.0 + 0.25 * tx.smoothstep(0.25, 0.0, t) - 0.35 * tx.smoothstep(0.7, 1.0, t)
    img[r0:r1, :, :3] = np.clip(col * bevel[..., None], 0, 1)
    img[r0:r1, :, 3] = 1


def target_side(w=128, h=256):
    """The elevation of a target, top down: a glowing beacon crown, a hazard
    striped cap, a shaft of hot orange light behind a steel frame, and a hazard
    striped base. Drawn unlit, so it carries its own light and shade."""
    img = np.zeros((h, w, 4))
    row = lambda y: int(round(h * (1 - y / TARGET_H)))  # noqa: E731
    crown0, cap0, shaft0, base0 = row(2.675), row(2.5), row(2.15), row(0.35)
    # Crown: the beacon, brightest in the middle.
    y, x = np.mgrid[crown0:cap0, 0:w].astype(float)
    u = np.abs((x + 0.5) / w - 0.5) * 2
    glow = 1 - 0.35 * u ** 2
    img[crown0:cap0, :, :3] = np.array([1.0, 0.86, 0.45]) * glow[..., None]
    img[crown0:cap0, :, 3] = 1
    _hazard_band(img, cap0, shaft0)
    _hazard_band(img, base0, h, phase=0.5)
    # Shaft: steel frame at the edges, the core behind bars of glass.
    y, x = np.mgrid[shaft0:base0, 0:w].astype(float)
    u = (x + 0.5) / w
    v = (y - shaft0) / max(base0 - shaft0, 1)
    edge = np.minimum(u, 1 - u)
    core = np.exp(-((u - 0.5) / 0.2) ** 2)
    pulse = 0.85 + 0.15 * np.cos(v * math.pi * 6) ** 2
    hot = np.array([1.0, 0.45, 0.08]) + core[..., None] * np.array([0.0, 0.5, 0.55])
    rgb = np.clip(hot * (0.7 + 0.3 * core)[..., None] * pulse[..., None], 0, 1)
    # Rings of dark steel across the glass.
    rings = ((v * 5.0) % 1.0) < 0.07
    steel = np.array([0.16, 0.17, 0.2])
    rgb = np.where(rings[..., None], steel * 1.4, rgb)
    frame = edge < 0.14
    frame_shade = 0.8 + 0.6 * (u < 0.5)  # a lit left edge, a darker right one
    rgb = np.where(frame[..., None], steel[None, None, :] * frame_shade[..., None], rgb)
    rim = (edge >= 0.14) & (edge < 0.17)
    rgb = np.where(rim[..., None], np.array([0.05, 0.05, 0.06]), rgb)
    img[shaft0:base0, :, :3] = rgb
    img[shaft0:base0, :, 3] = 1
    # Dark seams between the parts, so the stack reads as separate blocks.
    for r in (cap0, shaft0, base0):
        img[max(r - 1, 0):r + 1, :, :3] *= 0.35
    return img


def target_top(n=128):
    """A target's top faces: the beacon's lens in a hazard striped ring."""
    y, x = np.mgrid[0:n, 0:n].astype(float)
    u = (x + 0.5) / n - 0.5
    v = (y + 0.5) / n - 0.5
    r = np.sqrt(u * u + v * v)
    ang = np.arctan2(v, u)
    stripe = ((ang / (2 * math.pi) * 12) % 1.0) < 0.5
    ring = np.where(stripe[..., None], np.array(HAZARD), np.array(HAZARD_DARK))
    lens = np.array([1.0, 0.9, 0.55]) * (1.0 - 0.4 * tx.smoothstep(0.0, 0.22, r))[..., None]
    rgb = np.where((r < 0.24)[..., None], lens, ring)
    edge = np.maximum(np.abs(u), np.abs(v))
    rgb = rgb * (1 - 0.45 * tx.smoothstep(0.42, 0.5, edge))[..., None]
    return tx.rgba(rgb)


# ------------------------------------------------------------------ crate

def crate_face(w, h, seed, top=False):
    """Wooden boards inside a frame of darker battens, with a diagonal brace
    on the sides; the top shows its boards only."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:h, 0:w].astype(float)
    boards = 5
    bw = w / boards
    idx = np.floor(x / bw).astype(int)
    tone = rng.uniform(0.85, 1.12, boards)[idx]
    grain = tx.value_noise((h, w), 4, rng, 3)
    streak = np.sin((y / h * 9 + grain * 3.0 + idx * 1.7) * math.pi) * 0.06
    wood = np.array([0.62, 0.42, 0.22])
    rgb = wood * (tone * (0.9 + 0.2 * grain) + streak)[..., None]
    gap = np.abs(x - (idx + 0.5) * bw) > bw / 2 - 1.6
    rgb = np.where(gap[..., None], rgb * 0.35, rgb)
    batten = np.array([0.42, 0.27, 0.13])
    b = w * 0.12
    frame = (x < b) | (x >= w - b) | (y < b) | (y >= h - b)
    if not top:
        # The brace runs from the lower left to the upper right corner.
        d = np.abs((x - b) * (h - 2 * b) / (w - 2 * b) - (h - b - y)) * (w - 2 * b) / math.hypot(w - 2 * b, h - 2 * b)
        frame |= (d < b * 0.55) & (x >= b) & (x < w - b) & (y >= b) & (y < h - b)
    batten_rgb = batten * (0.9 + 0.2 * grain)[..., None]
    rgb = np.where(frame[..., None], batten_rgb, rgb)
    # Nail heads in the corners of the frame.
    for cx, cy in ((b / 2, b / 2), (w - b / 2, b / 2), (b / 2, h - b / 2), (w - b / 2, h - b / 2)):
        nail = (x - cx) ** 2 + (y - cy) ** 2 < 3.2 ** 2
        rgb = np.where(nail[..., None], np.array([0.7, 0.68, 0.62]), rgb)
    edge = np.minimum(np.minimum(x, w - 1 - x), np.minimum(y, h - 1 - y))
    rgb = rgb * (0.55 + 0.45 * tx.smoothstep(0.0, 3.0, edge))[..., None]
    return tx.rgba(rgb)


# ------------------------------------------------------------------ openings

def pane_window(w=128, h=192):
    """The exit's opening for additive drawing: cold moonlight pouring in
    through four panes, dark mullions between them, brightest low and in the
    middle."""
    y, x = np.mgrid[0:h, 0:w].astype(float)
    u = (x + 0.5) / w
    v = (y + 0.5) / h
    edge = np.minimum(np.minimum(u, 1 - u) * w / h, np.minimum(v, 1 - v))
    light = 0.55 + 0.45 * np.exp(-((u - 0.5) / 0.35) ** 2) * (0.6 + 0.4 * v)
    mull = (np.abs(u - 0.5) < 0.035) | (np.abs(v - 0.5) < 0.025)
    frame = edge < 0.045
    a = np.where(mull | frame, 0.0, light) * tx.smoothstep(0.045, 0.1, edge)
    a = np.maximum(a, np.where(mull & ~frame, 0.08, 0.0))
    rgb = np.zeros((h, w, 3)) + np.array([0.62, 0.88, 1.0])
    return tx.rgba(rgb, np.clip(a, 0, 1))


def spill_window(w=128, h=192):
    """Moonlight the exit throws on the floor, for additive drawing over the
    cell in front of it and half the next: brightest at the window (the top
    of the picture), fading into the room, soft at the sides."""
    y, x = np.mgrid[0:h, 0:w].astype(float)
    u = (x + 0.5) / w
    v = (y + 0.5) / h
    across = np.exp(-((u - 0.5) / 0.42) ** 4)
    along = (1 - v) ** 1.6
    a = 0.75 * across * along
    rgb = np.zeros((h, w, 3)) + np.array([0.6, 0.86, 1.0])
    return tx.rgba(rgb, a)


def pane_bars(w=128, h=192):
    """The barred opening: upright iron bars through two cross bands."""

    def draw(d, k):
        iron = (0.52, 0.53, 0.58)
        hi = (0.78, 0.79, 0.84)
        lo = (0.22, 0.22, 0.26)
        bar = 9 * k
        for i in range(5):
            cx = (i + 0.5) * w * k / 5
            d.rectangle((cx - bar / 2, 0, cx + bar / 2, h * k), fill=_u8(iron))
            d.rectangle((cx - bar / 2, 0, cx - bar / 2 + 2 * k, h * k), fill=_u8(hi))
            d.rectangle((cx + bar / 2 - 2 * k, 0, cx + bar / 2, h * k), fill=_u8(lo))
        for yy in (0.22, 0.78):
            cy = yy * h * k
            d.rectangle((0, cy - 6 * k, w * k, cy + 6 * k), fill=_u8(iron))
            d.rectangle((0, cy - 6 * k, w * k, cy - 4 * k), fill=_u8(hi))
            d.rectangle((0, cy + 4 * k, w * k, cy + 6 * k), fill=_u8(lo))

    return _drawn(w, h, draw)


# ------------------------------------------------------------------ lamps

# The glass of each lamp value, as in the tile catalogue: amber, blue, red, violet.
LAMP_GLASS = {1: (1.0, 0.66, 0.22), 2: (0.35, 0.72, 1.0), 3: (1.0, 0.25, 0.2), 4: (0.72, 0.4, 1.0)}
LAMP_HEIGHT = 2.45  # where the game hangs the light, world units


def lamp_model(glass):
    """A lantern hanging on a short chain: cap, glass, cage and a bottom knob.
    `glass` None gives a lantern whose light is out."""
    iron = Mat((0.16, 0.16, 0.18), specular=0.7, shine=30)
    lit = glass is not None
    pane = Mat(glass if lit else (0.2, 0.22, 0.28), emit=0.95 if lit else 0.0, specular=0.0 if lit else 0.8)
    z = LAMP_HEIGHT
    prims = [
        Capsule((0, 0, z + 0.75), (0, 0, z + 0.33), 0.025, iron),
        Cylinder((0, 0, z + 0.22), (0, 0, z + 0.3), 0.2, iron),
        Cylinder((0, 0, z + 0.3), (0, 0, z + 0.36), 0.12, iron),
        Cylinder((0, 0, z - 0.2), (0, 0, z + 0.22), 0.15, pane),
        Cylinder((0, 0, z - 0.27), (0, 0, z - 0.2), 0.18, iron),
        Sphere((0, 0, z - 0.32), 0.06, iron),
    ]
    for k in range(4):
        a = math.pi / 4 + k * math.pi / 2
        px, py = 0.16 * math.cos(a), 0.16 * math.sin(a)
        prims.append(Capsule((px, py, z - 0.2), (px, py, z + 0.22), 0.022, iron))
    return prims


def lamp(value):
    """A lamp fixture as an actor picture (128 x 128, floor line at three
    quarters): the lantern lit in the lamp's colour with a soft halo, or dark
    for value 0."""
    size = 128
    glass = LAMP_GLASS.get(value)
    prims = lamp_model(glass)
    img = rt.render(prims, size, size / 2.5, size / 4.0, size * 3 / 4, ss=3)
    if glass is None:
        return img
    # A halo around the glass, under the lantern.
    y, x = np.mgrid[0:size, 0:size].astype(float)
    cy = size * 3 / 4 - LAMP_HEIGHT * size / 4.0
    r = np.sqrt(((x + 0.5 - size / 2) / 26.0) ** 2 + ((y + 0.5 - cy) / 26.0) ** 2)
    ha = 0.7 * np.clip(1 - r, 0, 1) ** 1.6
    halo = tx.rgba(np.zeros((size, size, 3)) + np.array(glass) * 0.6 + 0.4, ha)
    sa = img[..., 3:4]
    oa = sa + halo[..., 3:4] * (1 - sa)
    rgb = (img[..., :3] * sa + halo[..., :3] * halo[..., 3:4] * (1 - sa)) / np.maximum(oa, 1e-6)
    return np.concatenate([rgb, oa], 2)


# ------------------------------------------------------------------ marks

def seen_mark(n=64):
    """The mark on a cell a guard can see: a red frame around red hazard
    stripes, strong enough to read as danger through the renderer's alpha."""
    y, x = np.mgrid[0:n, 0:n].astype(float)
    u = np.abs((x + 0.5) / n - 0.5)
    v = np.abs((y + 0.5) / n - 0.5)
    d = np.maximum(u, v)
    stripes = (((x + y) / (n / 4.0)) % 1.0) < 0.45
    a = np.where(stripes, 0.8, 0.35)
    a = np.where(d > 0.36, 1.0, a)
    a = a * (1 - tx.smoothstep(0.46, 0.5, d))
    rgb = np.zeros((n, n, 3)) + np.array([1.0, 0.12, 0.06])
    rgb = np.where((d > 0.36)[..., None], np.array([1.0, 0.3, 0.12]), rgb)
    return tx.rgba(rgb, a)


def agent_glow(w=128, h=256):
    """The agent's aura, drawn just behind the figure: an even teal haze over
    the figure's outline that fades out around it, so the figure itself hides
    the middle and the aura rims it."""
    y, x = np.mgrid[0:h, 0:w].astype(float)
    # The quad is 2 units wide and stands from -1 to 3: the body's middle is
    # about 1 unit up (row h * 0.5), and it is about 1.9 tall.
    u = ((x + 0.5) / w - 0.5) / 0.34
    v = ((y + 0.5) / h - 0.52) / 0.3
    r = np.sqrt(u * u + v * v)
    a = 0.95 * (1 - tx.smoothstep(0.55, 1.0, r))
    rgb = np.zeros((h, w, 3)) + np.array([0.35, 1.0, 0.92])
    return tx.rgba(rgb, a)


# ------------------------------------------------------------------ themes

def _slab_sheet(seed, n, boxes_fn, base, tone_range, bevel_px, relief, mortar_col, mortar_px, hue, light,
                post=None):
    rng = np.random.default_rng(seed)
    boxes = boxes_fn(rng, n)
    edge, ids = tx._box_edges(n, boxes)
    rgb = tx._shade_slabs(edge, ids, n, rng, base=base, tone_range=tone_range, bevel_px=bevel_px, relief=relief,
                          mortar_col=mortar_col, mortar_px=mortar_px, light=light, hue=hue)
    if post is not None:
        rgb = post(rgb, rng, n, edge, ids)
    return rgb


def floor_museum(size=512, seed=21):
    """Polished marble: one square slab per cell, cream and rose in turn along
    the diagonals, veined, with a thin dark inlay at every joint."""
    k = 2
    n = size * k
    cell = n / 5

    def boxes(rng, n):
        return [(cx * cell, cy * cell, cell, cell) for cy in range(5) for cx in range(5)]

    def post(rgb, rng, n, edge, ids):
        veins = tx.value_noise((n, n), 6, rng, 5)
        vein = np.exp(-((veins - 0.5) / 0.012) ** 2)
        cx = ids % 5
        cy = ids // 5
        rose = ((cx + cy) % 2 == 1)[..., None]
        tint = np.where(rose, np.array([1.04, 0.9, 0.86]), np.array([1.0, 0.98, 0.92]))
        rgb = rgb * tint * (1 - 0.3 * vein[..., None])
        # A glossy sheen across each slab.
        y, x = np.mgrid[0:n, 0:n].astype(float)
        sheen = 0.06 * np.sin((x + y) / cell * math.pi) ** 2
        return rgb + sheen[..., None]

    rgb = _slab_sheet(seed, n, boxes, base=(0.74, 0.69, 0.63), tone_range=(0.92, 1.05), bevel_px=3 * k,
                      relief=0.08, mortar_col=(0.16, 0.12, 0.1), mortar_px=1.6 * k, hue=(0.02, 0.0, -0.02),
                      light=(-0.4, -0.6, 0.7), post=post)
    return tx.downsample(tx.rgba(rgb), k)


def walls_museum(size=512, seed=22):
    """Pale ashlar: long smooth limestone blocks in even courses with fine
    joints, lightly stained."""
    k = 2
    n = size * k
    courses = 10

    def boxes(rng, n):
        ch = n / courses
        out = []
        for r in range(courses):
            off = (r % 2) * n / 10 + rng.integers(0, 3) * n / 40
            total = 0
            while total < 10:
                length = int(rng.choice([2, 3, 3, 4]))
                length = min(length, 10 - total)
                out.append(((off + total * n / 10) % n, r * ch, length * n / 10, ch))
                total += length
        return out

    rgb = _slab_sheet(seed, n, boxes, base=(0.68, 0.64, 0.57), tone_range=(0.88, 1.08), bevel_px=4 * k,
                      relief=0.22, mortar_col=(0.3, 0.27, 0.24), mortar_px=1.5 * k, hue=(0.03, 0.01, -0.02),
                      light=(-0.3, -0.8, 0.6))
    return tx.downsample(tx.rgba(rgb), k)


def floor_warehouse(size=512, seed=31):
    """Poured concrete: one slab per cell with saw-cut joints, oil stains and
    hairline cracks."""
    k = 2
    n = size * k
    cell = n / 5

    def boxes(rng, n):
        return [(cx * cell, cy * cell, cell, cell) for cy in range(5) for cx in range(5)]

    def post(rgb, rng, n, edge, ids):
        stain = tx.smoothstep(0.62, 0.8, tx.value_noise((n, n), 5, rng, 4))
        rgb = rgb * (1 - 0.45 * stain[..., None])
        crack_n = tx.value_noise((n, n), 3, rng, 5)
        crack = np.exp(-((crack_n - 0.5) / 0.006) ** 2) * tx.smoothstep(0.4, 0.7, tx.value_noise((n, n), 2, rng, 2))
        speck = rng.random((n, n)) > 0.985
        rgb = rgb * (1 - 0.5 * crack[..., None]) * np.where(speck[..., None], 0.8, 1.0)
        return rgb

    rgb = _slab_sheet(seed, n, boxes, base=(0.55, 0.54, 0.52), tone_range=(0.9, 1.06), bevel_px=2 * k,
                      relief=0.12, mortar_col=(0.12, 0.12, 0.12), mortar_px=1.4 * k, hue=(0.01, 0.01, 0.0),
                      light=(-0.5, -0.6, 0.62), post=post)
    return tx.downsample(tx.rgba(rgb), k)


def walls_warehouse(size=512, seed=32):
    """Red brick in stretcher bond, 16 courses a sheet, with pale mortar and
    a little soot."""
    k = 2
    n = size * k
    courses = 16

    def boxes(rng, n):
        ch = n / courses
        out = []
        for r in range(courses):
            off = (r % 2) * n / 16
            for i in range(8):
                out.append(((off + i * n / 8) % n, r * ch, n / 8, ch))
        return out

    def post(rgb, rng, n, edge, ids):
        soot = tx.smoothstep(0.5, 0.8, tx.value_noise((n, n), 3, rng, 4))
        return rgb * (1 - 0.35 * soot[..., None])

    rgb = _slab_sheet(seed, n, boxes, base=(0.6, 0.27, 0.18), tone_range=(0.75, 1.15), bevel_px=3 * k,
                      relief=0.45, mortar_col=(0.48, 0.45, 0.4), mortar_px=2.4 * k, hue=(0.05, 0.02, 0.0),
                      light=(-0.3, -0.8, 0.6), post=post)
    return tx.downsample(tx.rgba(rgb), k)


# Each theme's floor and wall sheets; the names are what a level's theme field holds.
THEMES = {
    "museum": (floor_museum, walls_museum),
    "warehouse": (floor_warehouse, walls_warehouse),
}
