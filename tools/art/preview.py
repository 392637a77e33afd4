#!/usr/bin/python3
"""A rough software preview of the artwork in a small scene, seen through the
game's camera with its night light and lamps, to judge the look while
painting (the game's own renderer is the reference).

    /usr/bin/python3 tools/art/preview.py [--data DIR] [--out FILE] [--heading DEG] [--zoom Z]
"""
import argparse
import json
import math
import os

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))

# A small map: '#' wall, 'B' tall block, 'W' window, 'P' target, 'C' crate,
# '.' floor, ':' dark floor, 'o' crater, ' ' outside; actors and props are
# listed separately.
MAP = [
    "##########WW######",
    "#........#.......#",
    "#..P.....#...B...#",
    "#........#.......#",
    "#:::.....C...C...#",
    "#:::.............#",
    "#:::.....#..oo...#",
    "#........#..oo...#",
    "#...C....#.......#",
    "####.#####...P...#",
    "#........#.......#",
    "#........#.......#",
    "##################",
]
HEIGHT = {"#": 2.5, "B": 5.0, "C": 1.25, "P": 2.5}
ACTORS = [("player-walk-3-2", 5.0, 5.0), ("guard-walk-1-3", 12.0, 4.0), ("guard-shoot-4-0", 14.0, 10.0),
          ("player-die-9-5", 3.0, 10.0), ("bomb2", 6.0, 7.0), ("blast-3", 14.0, 7.0)]
SPRITES = [("barrel", 1.0, 1.0), ("bush", 16.0, 1.0), ("cartridge", 7.0, 2.0), ("bomb1", 2.0, 7.0),
           ("statue", 6.0, 11.0)]
LAMPS = [(1, 4.0, 2.0), (2, 15.0, 3.0), (3, 12.0, 11.0)]
LAMP_COL = {1: (18, 10, 0), 2: (0, 10, 18), 3: (18, 0, 0), 4: (7.333, 0, 18)}


def load(data):
    tex = json.load(open(os.path.join(data, "texture.txt")))
    img = json.load(open(os.path.join(data, "image.txt")))
    cache = {}

    def texture(name):
        if name not in cache:
            im = Image.open(os.path.join(data, tex[name]["fname"])).convert("RGBA")
            cache[name] = np.asarray(im).astype(float) / 255.0
        return cache[name]

    def image(name):
        e = img[name]
        t = texture(e["texture"])
        r = e["rect"]
        return t[r["y"]:r["y"] + r["h"], r["x"]:r["x"] + r["w"]], e["shape"]

    return texture, image


def sample(tex, u, v):
    h, w = tex.shape[:2]
    x = np.clip((u % 1.0) * w, 0, w - 1).astype(int)
    y = np.clip((v % 1.0) * h, 0, h - 1).astype(int)
    return tex[y, x]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--data", default=os.path.normpath(os.path.join(HERE, "..", "..", "data")))
    ap.add_argument("--out", default="/tmp/murkwell-preview.png")
    ap.add_argument("--heading", type=float, default=0.0)
    ap.add_argument("--zoom", type=float, default=-10.0)
    args = ap.parse_args()
    texture, image = load(args.data)
    floor_t = texture(json.load(open(os.path.join(args.data, "image.txt")))["floor"]["texture"])
    walls_t = texture(json.load(open(os.path.join(args.data, "image.txt")))["walls"]["texture"])

    W, H = 960, 720
    rows, cols = len(MAP), len(MAP[0])
    tx_, tz = cols / 2, rows / 2
    g = args.zoom + 50
    th = math.radians(args.heading)
    eye = np.array([tx_ + g * (math.cos(th) + math.sin(th)), 1.65 * g, tz + g * (math.cos(th) - math.sin(th))])
    target = np.array([tx_, 0, tz])
    f = target - eye
    f /= np.linalg.norm(f)
    r = np.cross(f, [0, 1, 0])
    r /= np.linalg.norm(r)
    u = np.cross(r, f)
    half = math.tan(math.radians(5))
    ys, xs = np.mgrid[0:H, 0:W].astype(float)
    sx = ((xs + 0.5) / W * 2 - 1) * half * W / H
    sy = (1 - (ys + 0.5) / H * 2) * half
    d = f[None, None, :] + sx[..., None] * r + sy[..., None] * u
    d /= np.linalg.norm(d, axis=2, keepdims=True)
    d = d.reshape(-1, 3)
    n_rays = len(d)
    best = np.full(n_rays, np.inf)
    col = np.zeros((n_rays, 3))
    nrm = np.zeros((n_rays, 3))
    pos = np.zeros((n_rays, 3))
    dark = np.zeros(n_rays, bool)
    # Ground
    t = -eye[1] / d[:, 1]
    p = eye + d * t[:, None]
    cx = np.floor(p[:, 0]).astype(int)
    cz = np.floor(p[:, 2]).astype(int)
    inside = (cx >= 0) & (cx < cols) & (cz >= 0) & (cz < rows) & (t > 0)
    for z in range(rows):
        for x in range(cols):
            ch = MAP[z][x]
            sel = inside & (cx == x) & (cz == z)
            if ch == " " or ch == "o" or not sel.any():
                continue
            uu = (x % 5) / 5 + (p[sel, 0] - x) * 0.2
            vv = (z % 5) / 5 + (p[sel, 2] - z) * 0.2
            best[sel] = t[sel]
            col[sel] = sample(floor_t, uu, vv)[:, :3]
            nrm[sel] = (0, 1, 0)
            pos[sel] = p[sel]
            dark[sel] = ch == ":"
    # Blocks (slab test per cell)
    for z in range(rows):
        for x in range(cols):
            ch = MAP[z][x]
            if ch not in HEIGHT and ch != "W":
                continue
            parts = [(0, 0.5), (2.0, 2.5)] if ch == "W" else [(0, HEIGHT[ch])]
            inset = 0.0
            for y0, y1 in parts:
                lo = np.array([x + inset, y0, z + inset])
                hi = np.array([x + 1 - inset, y1, z + 1 - inset])
                with np.errstate(divide="ignore", invalid="ignore"):
                    t1 = (lo - eye) / d
                    t2 = (hi - eye) / d
                tn = np.minimum(t1, t2)
                tf = np.maximum(t1, t2)
                tnear = tn.max(1)
                tfar = tf.min(1)
                hit = (tnear <= tfar) & (tnear > 0) & (tnear < best)
                if not hit.any():
                    continue
                axis = tn[hit].argmax(1)
                ph = eye + d[hit] * tnear[hit][:, None]
                nn = np.zeros((hit.sum(), 3))
                nn[np.arange(len(axis)), axis] = -np.sign(d[hit][np.arange(len(axis)), axis])
                # Texture cells: top ((x mod 5)/5, (z mod 5)/5), sides 0.2 x 0.4
                uu = np.where(axis == 1, (x % 5) / 5 + (ph[:, 0] - x) * 0.2,
                              np.where(axis == 0, ((z if True else 0) % 5) / 5 + (ph[:, 2] - z) * 0.2,
                                       (x % 5) / 5 + (ph[:, 0] - x) * 0.2))
                vv = np.where(axis == 1, (z % 5) / 5 + (ph[:, 2] - z) * 0.2,
                              (y1 - ph[:, 1]) / max(y1 - y0, 1e-6) * 0.4 * (y1 - y0) / 2.5)
                c = sample(walls_t, uu, vv)[:, :3]
                if ch == "P":
                    c = c * np.array([0.25, 0.75, 1.5])
                best[hit] = tnear[hit]
                col[hit] = np.clip(c, 0, 1)
                nrm[hit] = nn
                pos[hit] = ph
                dark[hit] = False
    # Lighting: the game's light 0, ambient and the lamps.
    L0 = np.array([20, 40, 0.0])
    L0 /= np.linalg.norm(L0)
    light = np.array([0.075, 0.125, 0.175]) + np.clip(nrm @ L0, 0, 1)[:, None] * np.array([0.15, 0.25, 0.35])
    light = np.where(dark[:, None], np.array([0.075, 0.125, 0.175]), light)
    for v, lx, lz in LAMPS:
        lp = np.array([lx + 0.5, 2.45, lz + 0.5])
        dv = lp - pos
        dist2 = (dv * dv).sum(1)
        ndl = np.clip((nrm * dv).sum(1) / np.sqrt(dist2 + 1e-9), 0, 1)
        add = (ndl / np.maximum(dist2, 1e-3))[:, None] * np.array(LAMP_COL[v])
        light += np.where(dark[:, None], 0, add)
    frame = np.clip(col * np.clip(light, 0, 1), 0, 1)
    frame[~np.isfinite(best)] = 0
    frame = frame.reshape(H, W, 3)
    depth = best.reshape(H, W)
    dd = d.reshape(H, W, 3)

    # Billboards, back to front.
    def billboard(name, ax, az, bottom, height, width, lit=True, additive=False):
        im, shp = image(name)
        c = np.array([ax + 0.5, 0, az + 0.5])
        side = np.array([-r[0], 0, -r[2]]) * -1
        side /= np.linalg.norm(side)
        normal = np.array([-f[0], 0, -f[2]])
        normal /= np.linalg.norm(normal)
        denom = (dd * normal).sum(2)
        tt = ((c - eye) @ normal) / np.where(np.abs(denom) < 1e-9, 1e-9, denom)
        pp = eye + dd * tt[..., None]
        q = pp - c
        uu = (q @ side) / width + 0.5
        vv = 1 - (q[..., 1] - bottom) / height
        ok = (uu >= 0) & (uu < 1) & (vv >= 0) & (vv < 1) & (tt < depth + 1e-6)
        if not ok.any():
            return
        px = sample(im, uu[ok], vv[ok])
        a = px[:, 3:4]
        rgb = px[:, :3]
        if lit:
            lv = np.array([0.075, 0.125, 0.175]) + max(0.0, normal @ L0) * np.array([0.15, 0.25, 0.35])
            lpos = pp[ok]
            tot = np.tile(lv, (len(rgb), 1))
            for v, lx, lz in LAMPS:
                lp = np.array([lx + 0.5, 2.45 + 3, lz + 0.5])
                dv = lp - lpos
                dist2 = (dv * dv).sum(1)
                ndl = np.clip((dv @ normal) / np.sqrt(dist2), 0, 1)
                tot += (ndl / dist2)[:, None] * np.array(LAMP_COL[v])
            rgb = rgb * np.clip(tot, 0, 1)
        if additive:
            frame[ok] = np.clip(frame[ok] + rgb * a, 0, 1)
        else:
            a = np.where(a > 0.1, a, 0)
            frame[ok] = frame[ok] * (1 - a) + rgb * a
    items = [(n, x, z, "actor") for n, x, z in ACTORS] + [(n, x, z, "sprite") for n, x, z in SPRITES]
    items.sort(key=lambda e: -((e[1] - eye[0]) ** 2 + (e[2] - eye[2]) ** 2))
    for name, x, z, kind in items:
        im, shp = image(name)
        if name.startswith("blast"):
            w = 2.5 * shp["w"] / 96
            h = int(4 * shp["h"] / 96) * 1.5
            billboard(name, x, z, -1.0, h, w, lit=False, additive=True)
        elif kind == "sprite":
            billboard(name, x, z, -1.0, 4.0, 2.5, lit=name not in ("cartridge", "bomb1"))
        else:
            w = 2.5 * shp["w"] / 96
            h = int(4 * shp["h"] / 96)
            billboard(name, x, z, 4 * shp.get("y", 0) / 96, h, w)
    Image.fromarray((frame * 255).astype(np.uint8)).save(args.out)
    print(args.out)


if __name__ == "__main__":
    main()
