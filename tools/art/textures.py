"""Painted textures: floor and wall sheets, light effects, blasts, interface
frames, rating symbols and the title logo. All functions return float RGBA
arrays (rows, columns, 4) in 0..1, not premultiplied."""
import math

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"


def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0, 1)
    return t * t * (3 - 2 * t)


def value_noise(shape, cells, rng, octaves=4):
    """Tileable fractal value noise in 0..1."""
    h, w = shape
    out = np.zeros(shape)
    amp, total = 1.0, 0.0
    for o in range(octaves):
        c = cells * (2 ** o)
        grid = rng.random((c, c))
        y = np.arange(h) * c / h
        x = np.arange(w) * c / w
        y0 = np.floor(y).astype(int)
        x0 = np.floor(x).astype(int)
        fy = (y - y0)[:, None]
        fx = (x - x0)[None, :]
        fy = fy * fy * (3 - 2 * fy)
        fx = fx * fx * (3 - 2 * fx)
        y1 = (y0 + 1) % c
        x1 = (x0 + 1) % c
        g00 = grid[y0][:, x0]
        g01 = grid[y0][:, x1]
        g10 = grid[y1][:, x0]
        g11 = grid[y1][:, x1]
        v = (g00 * (1 - fx) + g01 * fx) * (1 - fy) + (g10 * (1 - fx) + g11 * fx) * fy
        out += v * amp
        total += amp
        amp *= 0.5
    return out / total


def rgba(rgb, a=None):
    if a is None:
        a = np.ones(rgb.shape[:2])
    return np.concatenate([np.clip(rgb, 0, 1), np.clip(a, 0, 1)[..., None]], 2)


def downsample(img, k):
    h, w, c = img.shape
    pm = img.copy()
    pm[..., :3] *= pm[..., 3:4]
    pm = pm.reshape(h // k, k, w // k, k, c).mean((1, 3))
    a = pm[..., 3:4]
    rgb = np.where(a > 1e-6, pm[..., :3] / np.maximum(a, 1e-6), 0)
    return np.concatenate([rgb, a], 2)


# ------------------------------------------------------------------ floor

def floor(size=512, seed=11):
    """Night flagstones, one slab per map cell, 5 x 5 cells; tiles seamlessly."""
    rng = np.random.default_rng(seed)
    k = 2
    n = size * k
    cell = n / 5
    y, x = np.mgrid[0:n, 0:n].astype(float)
    cx = np.floor(x / cell)
    cy = np.floor(y / cell)
    fx = x / cell - cx
    fy = y / cell - cy
    # Each slab: its own tone and tilt, bevelled edges, a grout line.
    tone = rng.uniform(0.82, 1.12, (5, 5))
    warm = rng.uniform(-0.04, 0.04, (5, 5))
    t = tone[cy.astype(int) % 5, cx.astype(int) % 5]
    w = warm[cy.astype(int) % 5, cx.astype(int) % 5]
    edge = np.minimum(np.minimum(fx, 1 - fx), np.minimum(fy, 1 - fy))
    grout = smoothstep(0.018, 0.035, edge)
    bevel = 1 - 0.25 * (1 - smoothstep(0.03, 0.09, edge))
    light = 1 + 0.10 * (smoothstep(0.03, 0.08, fx) - smoothstep(0.92, 0.97, fx)) * 0 \
        + 0.08 * (smoothstep(0.92, 0.97, 1 - fy) - 0.5) * 0
    nz = value_noise((n, n), 8, rng, 5)
    fine = value_noise((n, n), 64, rng, 2)
    cracks = value_noise((n, n), 16, rng, 3)
    crack = 1 - 0.35 * smoothstep(0.015, 0.0, np.abs(cracks - 0.5)) * (nz > 0.55)
    base = np.array([0.47, 0.49, 0.55])
    v = t * (0.78 + 0.3 * nz + 0.12 * fine) * bevel * crack * light
    rgb = base[None, None, :] * v[..., None]
    rgb[..., 0] += w * 0.6
    rgb[..., 1] += w * 0.2
    # Moss in some grout lines
    moss = (value_noise((n, n), 6, rng, 3) > 0.6) * (1 - grout)
    g = np.array([0.10, 0.13, 0.11])
    rgb = rgb * grout[..., None] + (g + moss[..., None] * np.array([0.03, 0.1, 0.03])) * (1 - grout[..., None])
    return downsample(rgba(rgb), k)


def walls(size=512, seed=12):
    """Dressed stone courses: 16 courses of 32 px, blocks 64 px long (or 96),
    alternating offsets; tiles seamlessly in both directions."""
    rng = np.random.default_rng(seed)
    k = 2
    n = size * k
    courses = 16
    ch = n / courses
    y, x = np.mgrid[0:n, 0:n].astype(float)
    row = np.floor(y / ch).astype(int)
    fy = y / ch - row
    # Block joints per course: varied lengths summing to the width.
    rgb = np.zeros((n, n, 3))
    edge_x = np.ones((n, n))
    block_id = np.zeros((n, n), int)
    for r in range(courses):
        lengths = []
        total = 0
        while total < 8:
            L = int(rng.choice([1, 1, 2, 2, 3]))
            L = min(L, 8 - total)
            lengths.append(L)
            total += L
        off = rng.integers(0, 8) * n / 8 / 2
        starts = np.cumsum([0] + lengths[:-1]) * n / 8 + off
        sel = row == r
        xx = x[sel]
        fxs = np.ones_like(xx)
        ids = np.zeros_like(xx, int)
        for i, (s0, L) in enumerate(zip(starts, lengths)):
            rel = (xx - s0) % n
            inside = rel < L * n / 8
            d = np.minimum(rel, L * n / 8 - rel) / ch
            fxs = np.where(inside, d, fxs)
            ids = np.where(inside, r * 16 + i, ids)
        edge_x[sel] = fxs
        block_id[sel] = ids
    edge = np.minimum(edge_x, np.minimum(fy, 1 - fy))
    tone = rng.uniform(0.8, 1.15, courses * 16)[block_id]
    hue = rng.uniform(-1, 1, courses * 16)[block_id]
    nz = value_noise((n, n), 8, rng, 5)
    fine = value_noise((n, n), 64, rng, 2)
    mortar = smoothstep(0.05, 0.11, edge)
    bevel = 0.72 + 0.28 * smoothstep(0.06, 0.22, edge)
    top_light = 1 + 0.12 * smoothstep(0.25, 0.0, fy) - 0.12 * smoothstep(0.75, 1.0, fy)
    base = np.array([0.45, 0.46, 0.52])
    v = tone * (0.75 + 0.35 * nz + 0.15 * fine) * bevel * top_light
    stone = base[None, None, :] * v[..., None]
    stone[..., 0] += hue * 0.03
    stone[..., 2] -= hue * 0.02
    mort = np.array([0.16, 0.16, 0.19]) * (0.8 + 0.4 * fine)[..., None]
    rgb = stone * mortar[..., None] + mort * (1 - mortar[..., None])
    # Streaks of damp running down
    streak = value_noise((n, n), 12, rng, 3)
    rgb *= (0.9 + 0.1 * smoothstep(0.3, 0.7, streak))[..., None]
    return downsample(rgba(rgb), k)


# ------------------------------------------------------------------ effects

def solid(color, size=8):
    img = np.zeros((size, size, 4))
    img[..., :3] = color
    img[..., 3] = 1
    return img


def radial(size, cx=0.5, cy=0.5, sx=1.0, sy=1.0):
    y, x = np.mgrid[0:size, 0:size].astype(float)
    u = ((x + 0.5) / size - cx) / sx
    v = ((y + 0.5) / size - cy) / sy
    return np.sqrt(u * u + v * v)


def shadow(size=128):
    """Soft contact shadow for a 3 x 3 cell square: dark in the middle cell."""
    r = radial(size)
    a = 0.62 * (1 - smoothstep(0.05, 0.2, r))
    img = np.zeros((size, size, 4))
    img[..., 3] = a
    return img


def unshadow(size=64):
    """A soft-edged square, light red so it reads red tinted or not."""
    y, x = np.mgrid[0:size, 0:size].astype(float)
    u = np.abs((x + 0.5) / size - 0.5)
    v = np.abs((y + 0.5) / size - 0.5)
    d = np.maximum(u, v)
    a = 1 - smoothstep(0.36, 0.49, d)
    img = np.zeros((size, size, 4))
    img[..., :3] = (1.0, 0.55, 0.5)
    img[..., 3] = a
    return img


def player_glow(w=128, h=256):
    """An upright teal aura around the agent, strongest at chest height."""
    y, x = np.mgrid[0:h, 0:w].astype(float)
    u = ((x + 0.5) / w - 0.5) / 0.30
    v = ((y + 0.5) / h - 0.55) / 0.32
    r = np.sqrt(u * u + v * v)
    a = np.clip(1 - r, 0, 1) ** 1.8 * 0.85
    img = np.zeros((h, w, 4))
    img[..., :3] = (0.45, 1.0, 0.95)
    img[..., 3] = a
    return img


def blast(c, size=128, seed=40):
    """Ring c (0..8) of an explosion: a white-hot flash that swells into an
    orange fireball, breaks into a ring of flame and fades to embers."""
    rng = np.random.default_rng(seed)
    t = c / 8.0
    r = radial(size)
    y, x = np.mgrid[0:size, 0:size].astype(float)
    ang = np.arctan2(y - size / 2, x - size / 2)
    nz = value_noise((size, size), 6, rng, 4)
    radius = 0.12 + 0.36 * (1 - (1 - t) ** 2)
    rr = r / radius + (nz - 0.5) * (0.35 + 0.3 * t)
    core = np.clip(1 - rr, 0, 1)
    ring_w = 0.25 + 0.2 * t
    ring = np.exp(-((rr - 0.85) / ring_w) ** 2) * min(1.0, t * 3)
    heat = np.clip(core * (1.6 - 1.4 * t) + ring * (0.9 - 0.5 * t), 0, 1.4)
    fade = 1.0 if c < 6 else (9 - c) / 3.5
    heat *= fade
    col = np.zeros((size, size, 3))
    hot = np.clip(heat, 0, 1.4)
    col[..., 0] = np.clip(hot * 1.5, 0, 1)
    col[..., 1] = np.clip(hot * 1.1 - 0.15, 0, 1)
    col[..., 2] = np.clip(hot * 1.2 - 0.7, 0, 1)
    # Sparks
    sparks = (rng.random((size, size)) > 0.996) & (r < radius * 1.4) & (r > radius * 0.5)
    spark = np.zeros((size, size))
    spark[sparks] = 1.0 * fade
    spark = np.array(Image.fromarray((spark * 255).astype(np.uint8)).filter(ImageFilter.GaussianBlur(0.8))) / 255.0
    col = np.maximum(col, spark[..., None] * np.array([1.0, 0.85, 0.5]))
    a = np.clip(heat * 1.2 + spark * 2, 0, 1) * (1 - smoothstep(0.46, 0.5, r))
    del ang
    return rgba(col, a)


# ------------------------------------------------------------------ interface

def _ss_frame(size, k, draw_fn):
    big = Image.new("RGBA", (size * k, size * k), (0, 0, 0, 0))
    draw_fn(ImageDraw.Draw(big), size * k, k)
    arr = np.asarray(big).astype(float) / 255.0
    return downsample(arr, k)


def frame_box(fill, border, glow=None, radius=22, border_w=3.0, size=128, inner_hi=None):
    """A nine-slice panel: rounded corners inside the corner ninth, edges and
    centre uniform along their length so the ninths tile."""
    k = 4

    def draw(d, n, k):
        m = 4 * k
        r = radius * k
        if glow is not None:
            for i in range(6, 0, -1):
                a = int(glow[3] * 255 * (1 - i / 7) ** 2)
                d.rounded_rectangle((m - i * k, m - i * k, n - m + i * k - 1, n - m + i * k - 1), r + i * k,
                                    fill=None, outline=tuple(int(c * 255) for c in glow[:3]) + (a,), width=k)
        d.rounded_rectangle((m, m, n - m - 1, n - m - 1), r, fill=tuple(int(c * 255) for c in fill),
                            outline=tuple(int(c * 255) for c in border), width=int(border_w * k))
        if inner_hi is not None:
            bw = int(border_w * k)
            d.rounded_rectangle((m + bw + k, m + bw + k, n - m - bw - k - 1, n - m - bw - k - 1),
                                r - bw - k, fill=None, outline=tuple(int(c * 255) for c in inner_hi), width=k)

    img = _ss_frame(size, k, draw)
    # Make the edge bands exactly uniform along their length (copy the middle
    # column/row over the middle ninth), so tiling shows no seams.
    mid = size // 2
    third = size // 3
    lo, hi = third - 2, size - third + 2
    img[:, lo:hi] = img[:, mid:mid + 1]
    img[lo:hi, :] = img[mid:mid + 1, :]
    return img


def star(size=128):
    k = 4

    def draw(d, n, k):
        cx = cy = n / 2
        pts = []
        for i in range(10):
            a = -math.pi / 2 + i * math.pi / 5
            rr = n * (0.46 if i % 2 == 0 else 0.2)
            pts.append((cx + rr * math.cos(a), cy + 0.04 * n + rr * math.sin(a)))
        d.polygon(pts, fill=(255, 196, 60, 255), outline=(120, 70, 10, 255), width=3 * k)
        pts2 = [(cx + (x - cx) * 0.55, cy + 0.04 * n + (y - cy - 0.04 * n) * 0.55 - 0.03 * n) for x, y in pts]
        d.polygon(pts2, fill=(255, 236, 150, 255))

    return _ss_frame(size, k, draw)


def skull(size=128):
    k = 4

    def draw(d, n, k):
        bone = (236, 230, 214, 255)
        dark = (40, 30, 36, 255)
        s = n / 128
        d.ellipse((18 * s, 8 * s, 110 * s, 92 * s), fill=bone, outline=dark, width=3 * k)
        d.rounded_rectangle((36 * s, 70 * s, 92 * s, 112 * s), 10 * s, fill=bone, outline=dark, width=3 * k)
        d.rectangle((38 * s, 66 * s, 90 * s, 84 * s), fill=bone)
        d.ellipse((32 * s, 44 * s, 58 * s, 70 * s), fill=dark)
        d.ellipse((70 * s, 44 * s, 96 * s, 70 * s), fill=dark)
        d.polygon([(64 * s, 72 * s), (57 * s, 86 * s), (71 * s, 86 * s)], fill=dark)
        for xx in (50, 64, 78):
            d.line((xx * s, 94 * s, xx * s, 110 * s), fill=dark, width=3 * k)

    return _ss_frame(size, k, draw)


def logo(w=1024, h=256):
    """The title: MURKWELL in lamplit letters over a soft glow, with a
    crescent moon."""
    k = 2
    W, H = w * k, h * k
    font = ImageFont.truetype(FONT_DIR + "DejaVuSans-Bold.ttf", 150 * k)
    text = "MURKWELL"
    tmp = Image.new("L", (W, H), 0)
    d = ImageDraw.Draw(tmp)
    bbox = d.textbbox((0, 0), text, font=font)
    tw, th = bbox[2] - bbox[0], bbox[3] - bbox[1]
    ox = (W - tw) // 2 - bbox[0] + 40 * k
    oy = (H - th) // 2 - bbox[1] + 6 * k
    d.text((ox, oy), text, font=font, fill=255)
    mask = np.asarray(tmp).astype(float) / 255.0
    glow = np.asarray(tmp.filter(ImageFilter.GaussianBlur(18 * k))).astype(float) / 255.0
    outline = np.asarray(tmp.filter(ImageFilter.MaxFilter(2 * 3 + 1))).astype(float) / 255.0
    yy = np.linspace(0, 1, H)[:, None] * np.ones((1, W))
    top = np.array([1.0, 0.86, 0.52])
    bot = np.array([0.86, 0.42, 0.12])
    t = np.clip((yy * H - oy - bbox[1]) / max(th, 1), 0, 1)[..., None]
    letters = top * (1 - t) + bot * t
    rgb = np.zeros((H, W, 3))
    a = np.zeros((H, W))
    # glow
    gcol = np.array([1.0, 0.55, 0.15])
    a = np.maximum(a, glow * 0.75)
    rgb = gcol * np.ones((H, W, 3))
    # dark outline
    rgb = rgb * (1 - outline[..., None]) + np.array([0.06, 0.05, 0.08]) * outline[..., None]
    a = np.maximum(a, outline)
    rgb = rgb * (1 - mask[..., None]) + letters * mask[..., None]
    a = np.maximum(a, mask)
    # crescent moon left of the title
    cy, cx, rr = H * 0.46, ox - 95 * k, 62 * k
    y, x = np.mgrid[0:H, 0:W].astype(float)
    d1 = np.sqrt((x - cx) ** 2 + (y - cy) ** 2)
    d2 = np.sqrt((x - cx - 26 * k) ** 2 + (y - cy + 14 * k) ** 2)
    moon = smoothstep(rr + 1.5 * k, rr - 1.5 * k, d1) * smoothstep(rr * 0.86 - 1.5 * k, rr * 0.86 + 1.5 * k, d2)
    mglow = smoothstep(rr * 1.8, rr * 0.8, d1) * 0.35 * (1 - moon)
    rgb = rgb * (1 - moon[..., None]) + np.array([0.78, 0.88, 1.0]) * moon[..., None]
    rgb = np.where((mglow > a)[..., None], np.array([0.5, 0.65, 1.0]), rgb)
    a = np.maximum(a, np.maximum(moon, mglow))
    return downsample(rgba(rgb, a), k)
