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

def _grad_wrap(h):
    gx = (np.roll(h, -1, 1) - np.roll(h, 1, 1)) * 0.5
    gy = (np.roll(h, -1, 0) - np.roll(h, 1, 0)) * 0.5
    return gx, gy


def _shade_slabs(edge, ids, n, rng, base, tone_range, bevel_px, relief, mortar_col, mortar_px,
                 light=(-0.5, -0.6, 0.62), hue=(0.03, 0.0, -0.02)):
    """Stone slabs from a map of distances to the nearest joint (pixels) and a
    map of slab ids: bevelled, pitted relief lit from the upper left, each slab
    its own tone, dark mortar in the joints. Everything wraps, so it tiles."""
    count = int(ids.max()) + 1
    tone = rng.uniform(tone_range[0], tone_range[1], count)[ids]
    tint = rng.uniform(-1, 1, count)[ids]
    tilt_x = rng.uniform(-1, 1, count)[ids]
    tilt_y = rng.uniform(-1, 1, count)[ids]
    nz = value_noise((n, n), 8, rng, 5)
    grain = value_noise((n, n), 48, rng, 3)
    pits = value_noise((n, n), 96, rng, 2)
    chip = value_noise((n, n), 32, rng, 2)
    edge = edge + (chip - 0.5) * bevel_px * 0.6
    bev = smoothstep(mortar_px, mortar_px + bevel_px, edge)
    h = bev * 1.0 + relief * (0.55 * nz + 0.3 * grain + 0.25 * smoothstep(0.62, 0.75, pits))
    h += 0.002 * (tilt_x * np.arange(n)[None, :] % 40 + tilt_y * np.arange(n)[:, None] % 40) * 0
    gx, gy = _grad_wrap(h * 6.0)
    L = np.array(light) / np.linalg.norm(light)
    nrm = np.stack([-gx, -gy, np.ones_like(gx)], 2)
    nrm /= np.linalg.norm(nrm, axis=2, keepdims=True)
    lit = np.clip(nrm @ L, 0, 1) / L[2]
    shade = 0.62 + 0.38 * lit
    v = tone * (0.82 + 0.25 * nz + 0.1 * grain) * shade
    rgb = np.asarray(base)[None, None, :] * v[..., None]
    rgb += tint[..., None] * np.asarray(hue)[None, None, :]
    # Dirt gathers toward the joints.
    dirt = 1 - 0.35 * (1 - smoothstep(mortar_px, mortar_px + bevel_px * 2.5, edge))
    rgb *= dirt[..., None]
    mortar = smoothstep(mortar_px - 1.5, mortar_px + 0.5, edge)
    mcol = np.asarray(mortar_col)[None, None, :] * (0.75 + 0.5 * grain)[..., None]
    return rgb * mortar[..., None] + mcol * (1 - mortar[..., None])


def _box_edges(n, boxes):
    """Distance (pixels, wrapping) to the nearest edge of the box each pixel is
    in, and the box id. boxes: list of (x0, y0, w, h) in pixels; they tile the
    plane (wrapping at n)."""
    edge = np.zeros((n, n))
    ids = np.zeros((n, n), int)
    y, x = np.mgrid[0:n, 0:n].astype(float)
    for i, (bx, by, bw, bh) in enumerate(boxes):
        rx = (x - bx) % n
        ry = (y - by) % n
        inside = (rx < bw) & (ry < bh)
        d = np.minimum(np.minimum(rx, bw - rx), np.minimum(ry, bh - ry))
        edge = np.where(inside, d, edge)
        ids = np.where(inside, i, ids)
    return edge, ids


def floor(size=512, seed=11):
    """Worn flagstones, 5 x 5 map cells; some cells are one slab, others split
    in two or four. Tiles seamlessly; joints fall on cell borders."""
    rng = np.random.default_rng(seed)
    k = 2
    n = size * k
    cell = n / 5
    boxes = []
    for cy in range(5):
        for cx in range(5):
            x0, y0 = cx * cell, cy * cell
            r = rng.random()
            if r < 0.45:
                boxes.append((x0, y0, cell, cell))
            elif r < 0.65:
                s = cell * rng.choice([0.4, 0.5, 0.6])
                boxes += [(x0, y0, s, cell), (x0 + s, y0, cell - s, cell)]
            elif r < 0.85:
                s = cell * rng.choice([0.4, 0.5, 0.6])
                boxes += [(x0, y0, cell, s), (x0, y0 + s, cell, cell - s)]
            else:
                h = cell / 2
                boxes += [(x0, y0, h, h), (x0 + h, y0, h, h), (x0, y0 + h, h, h), (x0 + h, y0 + h, h, h)]
    edge, ids = _box_edges(n, boxes)
    rgb = _shade_slabs(edge, ids, n, rng, base=(0.50, 0.52, 0.58), tone_range=(0.78, 1.12), bevel_px=7 * k,
                       relief=0.3, mortar_col=(0.10, 0.10, 0.12), mortar_px=2.2 * k)
    # Damp patches: darker, slightly bluer, with a faint sheen.
    wet = smoothstep(0.58, 0.72, value_noise((n, n), 4, rng, 4))
    rgb = rgb * (1 - 0.28 * wet[..., None]) + wet[..., None] * np.array([0.0, 0.01, 0.04])
    return downsample(rgba(rgb), k)


def walls(size=512, seed=12):
    """Dressed stone: 16 courses of 32 px; blocks 1 to 3 eighths long with
    staggered joints. Tiles seamlessly in both directions."""
    rng = np.random.default_rng(seed)
    k = 2
    n = size * k
    courses = 16
    ch = n / courses
    boxes = []
    for r in range(courses):
        off = rng.integers(0, 16) * n / 16
        total = 0
        while total < 16:
            L = int(rng.choice([2, 3, 3, 4, 4, 5]))
            L = min(L, 16 - total)
            boxes.append(((off + total * n / 16) % n, r * ch, L * n / 16, ch))
            total += L
    edge, ids = _box_edges(n, boxes)
    rgb = _shade_slabs(edge, ids, n, rng, base=(0.47, 0.47, 0.53), tone_range=(0.72, 1.15), bevel_px=6 * k,
                       relief=0.5, mortar_col=(0.13, 0.12, 0.14), mortar_px=2.5 * k, light=(-0.3, -0.8, 0.6),
                       hue=(0.05, 0.01, -0.03))
    # Damp streaks running down from the top of each course.
    streak = value_noise((n, n), 16, rng, 3)
    rgb *= (0.88 + 0.12 * smoothstep(0.3, 0.7, streak))[..., None]
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
    u = ((x + 0.5) / w - 0.5) / 0.38
    v = ((y + 0.5) / h - 0.47) / 0.34
    r = np.sqrt(u * u + v * v)
    a = np.clip(1 - r, 0, 1) ** 1.8 * 0.85
    img = np.zeros((h, w, 4))
    img[..., :3] = (0.45, 1.0, 0.95)
    img[..., 3] = a
    return img


def fire_ramp(h):
    """Black body colours: 0 nothing, then deep red, orange, yellow, white."""
    stops = np.array([0.0, 0.25, 0.5, 0.75, 1.0])
    cols = np.array([[0.0, 0.0, 0.0], [0.55, 0.06, 0.02], [1.0, 0.42, 0.06], [1.0, 0.8, 0.3], [1.0, 1.0, 0.9]])
    h = np.clip(h, 0, 1)
    out = np.zeros(h.shape + (3,))
    for ch in range(3):
        out[..., ch] = np.interp(h, stops, cols[:, ch])
    return out


def blast(c, size=128, seed=40):
    """Ring c (0..8) of an explosion, drawn with additive blending: a white
    flash that swells into a turbulent fireball with a shock ring, then cools
    through orange and red to a few embers."""
    rng = np.random.default_rng(seed)
    t = c / 8.0
    r = radial(size)
    nz = value_noise((size, size), 5, rng, 4)
    nz2 = value_noise((size, size), 11, rng, 3)
    radius = 0.10 + 0.32 * (1 - (1 - t) ** 2.2)
    rr = r / radius + (nz - 0.5) * (0.25 + 0.5 * t)
    ball = np.clip(1 - rr, 0, 1) ** (0.45 + 0.5 * t)
    # The middle burns out first, leaving a rolling rim of flame.
    hollow = 1 - 0.55 * min(1.0, t * 1.6) * np.clip(1 - rr * 1.4, 0, 1)
    heat = ball * hollow * (1.6 - 1.25 * t) * (0.75 + 0.5 * nz2)
    shock_r = 0.12 + 0.42 * min(1.0, t * 1.8)
    shock = np.exp(-((r - shock_r) / 0.035) ** 2) * max(0.0, 1 - t * 1.8) * 0.45
    heat = heat + shock * (0.6 + 0.4 * nz2)
    sparks = (rng.random((size, size)) > 0.994) & (r < radius * 1.5) & (r > radius * 0.4)
    spark = np.zeros((size, size))
    spark[sparks] = max(0.0, 1.1 - t)
    spark = np.asarray(Image.fromarray((spark * 255).astype(np.uint8)).filter(ImageFilter.GaussianBlur(0.7))) / 255.0
    heat = np.maximum(heat, spark * 2.5)
    heat *= 1 - smoothstep(0.34, 0.48, r)
    col = fire_ramp(heat)
    a = np.clip(heat * 1.6, 0, 1)
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
    # A sheen in the top ninth and a little shade in the bottom one: both stay
    # inside the rows that frame_draw never repeats vertically.
    third = size // 3
    y = np.arange(size, dtype=float)
    gain = 1 + 0.35 * np.clip(1 - (y - 4) / (third - 6), 0, 1) ** 2 \
        - 0.18 * np.clip((y - (size - third)) / (third - 4), 0, 1) ** 2
    img[..., :3] = np.clip(img[..., :3] * gain[:, None, None], 0, 1)
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
    text = "MURKWELL"
    rr = 56 * k                      # moon radius
    gap = 34 * k
    size = 150 * k
    while True:
        font = ImageFont.truetype(FONT_DIR + "DejaVuSans-Bold.ttf", size)
        probe = ImageDraw.Draw(Image.new("L", (8, 8)))
        bbox = probe.textbbox((0, 0), text, font=font)
        tw, th = bbox[2] - bbox[0], bbox[3] - bbox[1]
        if tw + 2 * rr + gap <= W * 0.9 and th <= H * 0.62:
            break
        size -= 2 * k
    total = tw + 2 * rr + gap
    left = (W - total) // 2
    ox = left + 2 * rr + gap - bbox[0]
    oy = (H - th) // 2 - bbox[1]
    tmp = Image.new("L", (W, H), 0)
    d = ImageDraw.Draw(tmp)
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
    cy, cx = H * 0.5, left + rr
    y, x = np.mgrid[0:H, 0:W].astype(float)
    d1 = np.sqrt((x - cx) ** 2 + (y - cy) ** 2)
    d2 = np.sqrt((x - cx - 26 * k) ** 2 + (y - cy + 14 * k) ** 2)
    moon = smoothstep(rr + 1.5 * k, rr - 1.5 * k, d1) * smoothstep(rr * 0.86 - 1.5 * k, rr * 0.86 + 1.5 * k, d2)
    mglow = smoothstep(rr * 1.8, rr * 0.8, d1) * 0.35 * (1 - moon)
    rgb = rgb * (1 - moon[..., None]) + np.array([0.78, 0.88, 1.0]) * moon[..., None]
    rgb = np.where((mglow > a)[..., None], np.array([0.5, 0.65, 1.0]), rgb)
    a = np.maximum(a, np.maximum(moon, mglow))
    return downsample(rgba(rgb, a), k)
