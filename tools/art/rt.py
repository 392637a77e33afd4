"""A tiny vectorised ray caster for pre-rendered billboard sprites.

Scenes are lists of analytic primitives (spheres, capsules, ellipsoids, boxes)
in a right-handed frame: x to the right of the screen, y away from the viewer
(horizontal), z up. One world unit is one map cell.

The camera looks down at the game's elevation. A picture made here is pasted by
the game onto an upright quad that faces the camera: a point (x, y, z) lands on
that quad at height z + y * tan(elevation), which is what `project` computes, so
the sprite looks on screen as the 3D object would.
"""
import math

import numpy as np

F = np.float64

# The game camera sits at 1.65 g above and g * sqrt(2) away from its target.
ELEVATION = math.atan2(1.65, math.sqrt(2.0))
TAN_E = math.tan(ELEVATION)
# Direction the view rays travel: away from the viewer and down.
VIEW = np.array([0.0, math.cos(ELEVATION), -math.sin(ELEVATION)])


def norm(v):
    v = np.asarray(v, F)
    return v / np.linalg.norm(v)


def rot_z(a):
    c, s = math.cos(a), math.sin(a)
    return np.array([[c, -s, 0], [s, c, 0], [0, 0, 1]], F)


def rot_x(a):
    c, s = math.cos(a), math.sin(a)
    return np.array([[1, 0, 0], [0, c, -s], [0, s, c]], F)


def rot_y(a):
    c, s = math.cos(a), math.sin(a)
    return np.array([[c, 0, s], [0, 1, 0], [-s, 0, c]], F)


class Mat:
    """Surface look: base colour (0..1 RGB), shininess, emission, rim strength."""

    def __init__(self, color, specular=0.0, emit=0.0, rim=1.0, shine=24.0):
        self.color = np.asarray(color, F)
        self.specular = specular
        self.emit = emit
        self.rim = rim
        self.shine = shine


class Prim:
    def __init__(self, mat):
        self.mat = mat

    def transformed(self, m, t):
        raise NotImplementedError


class Sphere(Prim):
    def __init__(self, c, r, mat):
        super().__init__(mat)
        self.c = np.asarray(c, F)
        self.r = r

    def bound(self):
        return self.c, self.r

    def transformed(self, m, t):
        return Sphere(m @ self.c + t, self.r, self.mat)

    def hit(self, o, d):
        oc = o - self.c
        b = (oc * d).sum(1)
        c = (oc * oc).sum(1) - self.r * self.r
        h = b * b - c
        ok = h >= 0
        t = np.where(ok, -b - np.sqrt(np.maximum(h, 0)), np.inf)
        p = o + d * t[:, None]
        n = (p - self.c) / self.r
        return t, n


class Capsule(Prim):
    """Segment a-b swept by a radius that goes linearly from ra to rb (a
    cone-capsule is approximated: the radius at the closest segment point)."""

    def __init__(self, a, b, r, mat, rb=None):
        super().__init__(mat)
        self.a = np.asarray(a, F)
        self.b = np.asarray(b, F)
        self.r = r
        self.rb = r if rb is None else rb

    def transformed(self, m, t):
        return Capsule(m @ self.a + t, m @ self.b + t, self.r, self.mat, self.rb)

    def bound(self):
        return (self.a + self.b) / 2, np.linalg.norm(self.b - self.a) / 2 + max(self.r, self.rb)

    def hit(self, o, d):
        if abs(self.r - self.rb) < 1e-6:
            return self._hit_round(o, d, self.r)
        # Tapered: march a few constant-radius slices and keep the nearest.
        best_t = np.full(len(o), np.inf)
        best_n = np.zeros_like(o)
        steps = 4
        for i in range(steps):
            u0, u1 = i / steps, (i + 1) / steps
            a = self.a + (self.b - self.a) * u0
            b = self.a + (self.b - self.a) * u1
            r = self.r + (self.rb - self.r) * (u0 + u1) / 2
            t, n = Capsule(a, b, r, self.mat)._hit_round(o, d, r)
            closer = t < best_t
            best_t = np.where(closer, t, best_t)
            best_n = np.where(closer[:, None], n, best_n)
        return best_t, best_n

    def _hit_round(self, o, d, r):
        a, b = self.a, self.b
        ba = b - a
        oa = o - a
        baba = ba @ ba
        bard = d @ ba
        baoa = oa @ ba
        rdoa = (d * oa).sum(1)
        oaoa = (oa * oa).sum(1)
        A = baba - bard * bard
        B = baba * rdoa - baoa * bard
        C = baba * oaoa - baoa * baoa - r * r * baba
        h = B * B - A * C
        t = np.full(len(o), np.inf)
        ok = h >= 0
        if abs(A) > 1e-12:
            tb = (-B - np.sqrt(np.maximum(h, 0))) / A
            y = baoa + tb * bard
            body = ok & (y > 0) & (y < baba)
            t = np.where(body, tb, t)
        else:
            y = baoa
            body = np.zeros(len(o), bool)
        # End caps.
        for end in (a, b):
            oc = o - end
            bb = (d * oc).sum(1)
            cc = (oc * oc).sum(1) - r * r
            hh = bb * bb - cc
            tc = np.where(hh >= 0, -bb - np.sqrt(np.maximum(hh, 0)), np.inf)
            t = np.where(~body & (tc < t), tc, t)
        p = o + d * np.where(np.isfinite(t), t, 0)[:, None]
        u = np.clip(((p - a) @ ba) / max(baba, 1e-12), 0, 1)
        q = a + u[:, None] * ba
        n = p - q
        n /= np.maximum(np.linalg.norm(n, axis=1), 1e-9)[:, None]
        return t, n


class Ellipsoid(Prim):
    def __init__(self, c, radii, mat, m=None):
        super().__init__(mat)
        self.c = np.asarray(c, F)
        self.radii = np.asarray(radii, F)
        self.m = np.eye(3) if m is None else np.asarray(m, F)

    def transformed(self, m, t):
        return Ellipsoid(m @ self.c + t, self.radii, self.mat, m @ self.m)

    def bound(self):
        return self.c, float(self.radii.max())

    def hit(self, o, d):
        inv = self.m.T
        ol = ((o - self.c) @ inv.T) / self.radii
        dl = (d @ inv.T) / self.radii
        a = (dl * dl).sum(-1)
        b = (ol * dl).sum(-1)
        c = (ol * ol).sum(1) - 1
        h = b * b - a * c
        t = np.where(h >= 0, (-b - np.sqrt(np.maximum(h, 0))) / a, np.inf)
        pl = ol + dl * np.where(np.isfinite(t), t, 0)[:, None]
        nl = pl / self.radii
        n = nl @ self.m.T
        n /= np.maximum(np.linalg.norm(n, axis=1), 1e-9)[:, None]
        return t, n


class Box(Prim):
    def __init__(self, c, half, mat, m=None, round_=0.0):
        super().__init__(mat)
        self.c = np.asarray(c, F)
        self.half = np.asarray(half, F)
        self.m = np.eye(3) if m is None else np.asarray(m, F)

    def transformed(self, m, t):
        return Box(m @ self.c + t, self.half, self.mat, m @ self.m)

    def bound(self):
        return self.c, float(np.linalg.norm(self.half))

    def hit(self, o, d):
        inv = self.m.T
        ol = (o - self.c) @ inv.T
        dl = d @ inv.T
        with np.errstate(divide="ignore", invalid="ignore"):
            dinv = 1.0 / np.where(np.abs(dl) < 1e-12, 1e-12, dl)
            t1 = (-self.half - ol) * dinv
            t2 = (self.half - ol) * dinv
        tmin = np.minimum(t1, t2)
        tmax = np.maximum(t1, t2)
        tn = tmin.max(1)
        tf = tmax.min(1)
        ok = (tn <= tf) & (tf > 0)
        t = np.where(ok, tn, np.inf)
        axis = tmin.argmax(1)
        nl = np.zeros_like(ol)
        sign = -np.sign(dl[axis])
        nl[np.arange(len(ol)), axis] = sign
        n = nl @ self.m.T
        return t, n


class Cylinder(Prim):
    """Upright-ish closed cylinder between a and b with radius r."""

    def __init__(self, a, b, r, mat):
        super().__init__(mat)
        self.a = np.asarray(a, F)
        self.b = np.asarray(b, F)
        self.r = r

    def transformed(self, m, t):
        return Cylinder(m @ self.a + t, m @ self.b + t, self.r, self.mat)

    def bound(self):
        return (self.a + self.b) / 2, np.linalg.norm(self.b - self.a) / 2 + self.r

    def hit(self, o, d):
        a, b, r = self.a, self.b, self.r
        ba = b - a
        oc = o - a
        baba = ba @ ba
        bard = d @ ba
        baoc = oc @ ba
        k2 = baba - bard * bard
        k1 = baba * (oc * d).sum(1) - baoc * bard
        k0 = baba * (oc * oc).sum(1) - baoc * baoc - r * r * baba
        h = k1 * k1 - k2 * k0
        t = np.full(len(o), np.inf)
        n = np.zeros_like(o)
        ok = h >= 0
        hs = np.sqrt(np.maximum(h, 0))
        tb = (-k1 - hs) / (k2 if abs(k2) > 1e-12 else 1e-12)
        y = baoc + tb * bard
        body = ok & (y > 0) & (y < baba)
        t = np.where(body, tb, t)
        p = o + d * np.where(body, tb, 0)[:, None]
        q = a + np.clip(((p - a) @ ba) / baba, 0, 1)[:, None] * ba
        nb = p - q
        nb /= np.maximum(np.linalg.norm(nb, axis=1), 1e-9)[:, None]
        n = np.where(body[:, None], nb, n)
        # Caps.
        bhat = ba / math.sqrt(baba)
        for end, nn in ((a, -bhat), (b, bhat)):
            denom = d @ nn
            tc = ((end - o) @ nn) / (denom if abs(denom) > 1e-12 else 1e-12)
            pc = o + d * tc[:, None]
            inside = ((pc - end) ** 2).sum(1) <= r * r
            cap = ok & inside & (tc > 0) & (tc < t)
            t = np.where(cap, tc, t)
            n = np.where(cap[:, None], nn, n)
        return t, n


def place(prims, facing, offset=(0, 0, 0)):
    """Turn a model built facing +y (x to its right) to face the horizontal
    unit vector `facing` (screen x, depth y) and move it by `offset`."""
    fx, fy = facing
    m = np.array([[fy, fx, 0], [-fx, fy, 0], [0, 0, 1]], F)
    t = np.asarray(offset, F)
    return [p.transformed(m, t) for p in prims]


KEY = norm([-0.55, -0.45, 0.75])     # key light: upper left, toward the viewer
KEY_COL = np.array([1.0, 0.93, 0.82])  # warm lamplight
SKY = np.array([0.30, 0.36, 0.50])
GROUND = np.array([0.12, 0.10, 0.11])
RIM_COL = np.array([0.45, 0.65, 1.0])   # cold moonlight from behind


def render(prims, size, px_per_unit_x, px_per_unit_z, ground_row, ss=3,
           outline=(0.03, 0.04, 0.07, 0.85), key=None, center_col=None, elevation=ELEVATION,
           outline_px=1):
    """Render the primitives into an RGBA float image (size x size, premultiplied
    not) with `ss` x `ss` supersampling. The point (0, 0, 0) lands at column
    size/2 (or `center_col`) and row `ground_row`."""
    w = h = size * ss
    cx = (size / 2 if center_col is None else center_col) * ss
    gy = ground_row * ss
    sx = px_per_unit_x * ss
    sz = px_per_unit_z * ss
    cols = (np.arange(w, dtype=F) + 0.5)
    rows = (np.arange(h, dtype=F) + 0.5)
    X, R = np.meshgrid(cols, rows)
    x = ((X - cx) / sx).ravel()
    bz = ((gy - R) / sz).ravel()
    far = 20.0
    tan_e = math.tan(elevation)
    view = np.array([0.0, math.cos(elevation), -math.sin(elevation)])
    o = np.stack([x, np.full_like(x, -far), bz + far * tan_e], 1)
    # The rays start on a plane far in front and travel along the view.
    d = view
    best = np.full(len(x), np.inf)
    nrm = np.zeros((len(x), 3))
    idx = np.full(len(x), -1)
    flat = np.arange(len(x)).reshape(h, w)
    for i, p in enumerate(prims):
        # Only the rays inside the primitive's projected bounding square.
        c, r = p.bound()
        col = cx + c[0] * sx
        row = gy - (c[2] + c[1] * tan_e) * sz
        rc = r * sx + 2
        rr = r / math.cos(elevation) * sz + 2
        c0, c1 = max(0, int(col - rc)), min(w, int(col + rc) + 1)
        r0, r1 = max(0, int(row - rr)), min(h, int(row + rr) + 1)
        if c0 >= c1 or r0 >= r1:
            continue
        sel = flat[r0:r1, c0:c1].ravel()
        with np.errstate(invalid="ignore", over="ignore"):
            t, n = p.hit(o[sel], d)
        t = np.where(t > 0, t, np.inf)
        closer = t < best[sel]
        best[sel] = np.where(closer, t, best[sel])
        nrm[sel] = np.where(closer[:, None], n, nrm[sel])
        idx[sel] = np.where(closer, i, idx[sel])
    hit = np.isfinite(best)
    key = KEY if key is None else key
    color = np.zeros((len(x), 3))
    nrm = np.where((nrm @ d)[:, None] > 0, -nrm, nrm)
    for i, p in enumerate(prims):
        sel = idx == i
        if not sel.any():
            continue
        n = nrm[sel]
        m = p.mat
        ndl = n @ key
        diff = np.clip(ndl * 0.8 + 0.2, 0, 1)[:, None]
        hemi = (n[:, 2] * 0.5 + 0.5)[:, None]
        amb = GROUND + (SKY - GROUND) * hemi
        facing_v = np.clip(-(n @ view), 0, 1)
        rim = ((1 - facing_v) ** 3)[:, None] * RIM_COL * 0.55 * m.rim
        hv = norm(key - view)
        highlight = (np.clip(n @ hv, 0, 1) ** m.shine)[:, None] * m.specular
        c = m.color * (amb + diff * KEY_COL * 0.95) + rim + highlight
        c = c * (1 - m.emit) + m.color * m.emit
        color[sel] = c
    a = hit.astype(F)
    img = np.concatenate([np.clip(color, 0, 1), a[:, None]], 1).reshape(h, w, 4)
    if outline is not None:
        img = add_outline(img, ss * outline_px, outline)
    return downsample(img, ss)


def shifted(a, dy, dx):
    """a moved by (dy, dx) without wrapping; vacated cells are False."""
    out = np.zeros_like(a)
    h, w = a.shape
    ys, yd = (slice(0, h - dy), slice(dy, h)) if dy >= 0 else (slice(-dy, h), slice(0, h + dy))
    xs, xd = (slice(0, w - dx), slice(dx, w)) if dx >= 0 else (slice(-dx, w), slice(0, w + dx))
    out[yd, xd] = a[ys, xs]
    return out


def add_outline(img, width, col):
    a = img[..., 3] > 0.5
    grown = a.copy()
    for dy in range(-width, width + 1):
        for dx in range(-width, width + 1):
            if dx * dx + dy * dy > width * width:
                continue
            grown |= shifted(a, dy, dx)
    ring = grown & ~a
    out = img.copy()
    out[ring] = np.array(col, F)
    return out


def downsample(img, ss):
    """Box-filter with premultiplied alpha, then un-premultiply."""
    h, w, _ = img.shape
    pm = img.copy()
    pm[..., :3] *= pm[..., 3:4]
    pm = pm.reshape(h // ss, ss, w // ss, ss, 4).mean((1, 3))
    a = pm[..., 3:4]
    rgb = np.where(a > 1e-6, pm[..., :3] / np.maximum(a, 1e-6), 0)
    return np.concatenate([rgb, a], 2)


def to_u8(img):
    return np.clip(np.round(img * 255), 0, 255).astype(np.uint8)
