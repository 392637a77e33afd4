#!/usr/bin/python3
"""The application icon for the desktop: the agent, lit by a lamp on a patch
of the game's floor under a crescent moon, on a rounded night-blue tile.
Rendered at each size from the same models and textures as the game's
artwork (not scaled from one picture), so the small sizes stay sharp.

    /usr/bin/python3 tools/art/app_icon.py [--out DIR]

writes DIR/murkwell-48.png, -64, -128 and -256 (default: dist/icons/).
"""
import argparse
import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import chars  # noqa: E402
import icons  # noqa: E402
import props  # noqa: E402
import rt  # noqa: E402
import sprites  # noqa: E402
import textures as tx  # noqa: E402

SIZES = (48, 64, 128, 256)
K = 4  # supersampling of the drawn layers
NIGHT_TOP = np.array([0.10, 0.13, 0.24])
NIGHT_BOTTOM = np.array([0.03, 0.04, 0.08])
LAMP = np.array(icons.LAMP_RGB[1])
MOON = np.array([0.78, 0.88, 1.0])
BORDER = (0.55, 0.62, 0.78)


def tile_mask(n, k):
    """Coverage of the rounded tile that fills the icon, with a small margin."""
    im = Image.new("L", (n * k, n * k), 0)
    m = n * k * 0.03
    ImageDraw.Draw(im).rounded_rectangle((m, m, n * k - m - 1, n * k - m - 1), n * k * 0.2, fill=255)
    return np.asarray(im).astype(float) / 255.0


def tile_border(n, k):
    im = Image.new("L", (n * k, n * k), 0)
    m = n * k * 0.03
    w = max(k, int(round(n * k * 0.018)))
    ImageDraw.Draw(im).rounded_rectangle((m, m, n * k - m - 1, n * k - m - 1), n * k * 0.2, outline=255, width=w)
    return np.asarray(im).astype(float) / 255.0


def floor_patch(n, k, floor_tex):
    """A lamp-lit diamond of the floor texture under the agent, fading out."""
    big = n * k
    cx, cy = big * 0.5, big * 0.80
    half_w, half_h = big * 0.46, big * 0.17
    y, x = np.mgrid[0:big, 0:big].astype(float)
    u = (x - cx) / half_w
    v = (y - cy) / half_h
    # Floor texture coordinates along the diamond's two edges (one cell = 1/5 sheet).
    s = (u + v) * 0.5
    t = (v - u) * 0.5
    th = floor_tex.shape[0]
    cell = th / 5.0
    tu = ((s * 1.6 + 2.0) * cell).astype(int) % th
    tv = ((t * 1.6 + 2.0) * cell).astype(int) % th
    rgb = floor_tex[tv, tu, :3]
    d = np.sqrt(u * u + v * v)
    light = np.clip(1.25 - d, 0, 1) ** 1.6
    rgb = rgb * (0.25 + 1.25 * light[..., None] * (0.55 + 0.45 * LAMP))
    a = tx.smoothstep(1.05, 0.55, np.abs(u) + np.abs(v))
    return tx.rgba(rgb, a)


def lamp_glow(n, k):
    big = n * k
    y, x = np.mgrid[0:big, 0:big].astype(float)
    d = np.sqrt(((x - big * 0.5) / (big * 0.5)) ** 2 + ((y - big * 0.66) / (big * 0.42)) ** 2)
    a = np.clip(1 - d, 0, 1) ** 2 * 0.7
    return tx.rgba(np.ones((big, big, 3)) * LAMP, a)


def moon(n, k):
    big = n * k
    y, x = np.mgrid[0:big, 0:big].astype(float)
    r = big * 0.12
    cx, cy = big * 0.76, big * 0.23
    d1 = np.sqrt((x - cx) ** 2 + (y - cy) ** 2)
    d2 = np.sqrt((x - cx + r * 0.5) ** 2 + (y - cy - r * 0.25) ** 2)
    edge = k * 0.75
    body = tx.smoothstep(r + edge, r - edge, d1) * tx.smoothstep(r * 0.85 - edge, r * 0.85 + edge, d2)
    halo = tx.smoothstep(r * 2.0, r * 0.9, d1) * 0.3 * (1 - body)
    rgb = np.where((body > halo)[..., None], MOON, np.array([0.5, 0.65, 1.0]))
    return tx.rgba(rgb * np.ones((big, big, 3)), np.maximum(body, halo))


def agent(n):
    """The agent standing, turned three quarters toward the viewer."""
    prims = chars.build_player(chars.stand_pose())
    prims = [sprites.scaled(p, sprites.MODEL_SCALE) for p in prims]
    prims = rt.place(prims, chars.FACINGS[3])
    prims = sprites.grounded(prims)
    pz = n * 0.28
    px = pz * sprites.PX_X / sprites.PX_Z
    outline = (0.03, 0.04, 0.07, 0.85) if n >= 64 else None
    return rt.render(prims, n, px, pz, n * 0.88, ss=3, outline=outline, center_col=n * 0.42)


def bomb(n):
    """A Detonator Bomb at the agent's feet."""
    build, scale = props.BUILDERS["bomb1"]
    prims = [sprites.scaled(p, scale) for p in build()]
    prims = [p.transformed(np.eye(3), np.array([0, 0, -sprites.lowest(prims)])) for p in prims]
    pz = n * 0.17
    px = pz * sprites.PX_X / sprites.PX_Z
    return rt.render(prims, n, px, pz, n * 0.88, ss=3, outline=None, center_col=n * 0.70)


def make(n, floor_tex):
    k = K
    big = n * k
    yy = np.linspace(0, 1, big)[:, None, None]
    ground = tx.rgba(NIGHT_TOP * (1 - yy) + NIGHT_BOTTOM * yy * np.ones((big, big, 3)))
    layer = ground
    for part in (lamp_glow(n, k), moon(n, k), floor_patch(n, k, floor_tex)):
        layer = icons.over(layer, part)
    layer = tx.downsample(layer, k)
    layer = icons.over(layer, bomb(n))
    layer = icons.over(layer, agent(n))
    # Clip to the tile and draw its rim.
    mask = tx.downsample(tx.rgba(np.zeros((big, big, 3)), tile_mask(n, k)), k)[..., 3]
    rim = tx.downsample(tx.rgba(np.ones((big, big, 3)), tile_border(n, k)), k)[..., 3]
    rgb = layer[..., :3] * (1 - rim[..., None] * 0.8) + np.array(BORDER) * rim[..., None] * 0.8
    return tx.rgba(rgb, mask * layer[..., 3])


def save_png(img, path):
    u8 = rt.to_u8(img)
    u8[u8[..., 3] == 0] = 0
    Image.fromarray(u8, "RGBA").save(path, "PNG", compress_level=9)


def write_icons(out):
    os.makedirs(out, exist_ok=True)
    floor_tex = tx.floor()
    for n in SIZES:
        save_png(make(n, floor_tex), os.path.join(out, "murkwell-%d.png" % n))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", default=os.path.normpath(os.path.join(HERE, "..", "..", "dist", "icons")))
    args = ap.parse_args()
    write_icons(args.out)


if __name__ == "__main__":
    main()
