#!/usr/bin/python3
"""Regenerates the game's look in data/: tiles.json, texture.txt, image.txt,
font.txt, the PNG atlases under data/img/ and the font licence; and the
desktop icons in dist/icons/.

    /usr/bin/python3 tools/art/build.py [--out DIR] [--icons DIR] [--jobs N] [--sheets DIR]

Deterministic: fixed seeds, no time stamps; the same machine writes the same
bytes every time (tools/art/check.sh proves it).
"""
import argparse
import json
import os
import shutil
import sys
from multiprocessing import Pool

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import app_icon  # noqa: E402
import chars  # noqa: E402
import dressing  # noqa: E402
import fonts  # noqa: E402
import icons  # noqa: E402
import props  # noqa: E402
import rt  # noqa: E402
import sprites  # noqa: E402
import textures as tx  # noqa: E402
import tiles  # noqa: E402

FACINGS = [1, 2, 3, 4, 6, 7, 8, 9]
CELL = 128
ACTOR_SHAPE = {"x": 0, "y": -24, "w": 96, "h": 96}  # y: the floor line, see README.md here
# The agent's frames get a heavier dark outline than anyone else's: it cuts the
# figure out of any floor.
AGENT_OUTLINE = dict(outline=(0.02, 0.03, 0.04, 1.0), outline_px=2)
LICENCE_SRC = "/usr/share/doc/fonts-dejavu-core/copyright"


# ------------------------------------------------------------------ jobs

def job(task):
    """Render one frame; `task` is a picklable description."""
    kind = task[0]
    if kind == "player":
        _, anim, f, i = task
        if anim == "walk":
            return sprites.frame(chars.build_player(chars.walk_pose(i)), f, **AGENT_OUTLINE)
        if anim == "stop":
            return sprites.frame(chars.build_player(chars.stand_pose()), f, **AGENT_OUTLINE)
        if anim == "die":
            p, roll = chars.die_pose(i)
            return sprites.frame(chars.build_player(p), f, roll=roll, **AGENT_OUTLINE)
    if kind == "guard":
        _, anim, f, i = task
        if anim == "walk":
            return sprites.frame(chars.build_guard(chars.guard_walk_pose(i)), f)
        if anim == "run":
            return sprites.frame(chars.build_guard(chars.guard_walk_pose(i, run=True)), f)
        if anim == "shoot":
            p, flash = chars.guard_shoot_pose(i)
            return sprites.frame(chars.build_guard(p, flash), f)
        if anim == "stand":
            return sprites.frame(chars.build_guard(chars.guard_stand_pose()), f)
    if kind == "prop":
        build, scale = props.BUILDERS[task[1]]
        return sprites.prop_frame(build(), scale)
    if kind == "icon-prop":
        return icons.icon_prop(task[1])
    if kind == "lamp":
        return dressing.lamp(task[1])
    if kind == "icon-figure":
        if task[1] == "player":
            return icons.icon_figure(chars.build_player, chars.stand_pose())
        return icons.icon_figure(chars.build_guard, chars.guard_stand_pose())
    raise ValueError(task)


# ------------------------------------------------------------------ atlas

class Atlas:
    """Images packed on a grid of equal cells into one power-of-two texture."""

    def __init__(self, name, w, h, cell_w=CELL, cell_h=CELL):
        self.name = name
        self.w, self.h = w, h
        self.cw, self.ch = cell_w, cell_h
        self.pixels = np.zeros((h, w, 4))
        self.next = 0
        self.images = {}

    def add(self, name, img, shape, w=None, h=None):
        ih, iw = img.shape[:2]
        cols = self.w // self.cw
        span = (iw + self.cw - 1) // self.cw
        # Images wider than a cell take a run of cells on one row.
        col = self.next % cols
        if col + span > cols:
            self.next += cols - col
        row, col = divmod(self.next, cols)
        x, y = col * self.cw, row * self.ch
        if y + ih > self.h:
            raise RuntimeError("atlas %s is full" % self.name)
        self.pixels[y:y + ih, x:x + iw] = img
        self.next += span
        self.images[name] = {"texture": self.name, "rect": rect(x, y, iw, ih), "shape": shape}
        return self.images[name]

    def alias(self, name, other, shape=None):
        e = dict(self.images[other])
        if shape is not None:
            e["shape"] = shape
        self.images[name] = e


def rect(x, y, w, h):
    return {"x": int(x), "y": int(y), "w": int(w), "h": int(h)}


def shape(w, h, x=0, y=0):
    return {"x": x, "y": y, "w": w, "h": h}


def save_png(img, path, alpha=True):
    """Write float RGBA as an 8-bit PNG; fully transparent pixels become
    transparent black. PIL writes no time stamp, so output is reproducible."""
    u8 = rt.to_u8(img)
    if alpha:
        u8[u8[..., 3] == 0] = 0
        im = Image.fromarray(u8, "RGBA")
    else:
        im = Image.fromarray(u8[..., :3], "RGB")
    im.save(path, "PNG", compress_level=9)


# ------------------------------------------------------------------ main

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", default=os.path.normpath(os.path.join(HERE, "..", "..", "data")))
    ap.add_argument("--icons", default=os.path.normpath(os.path.join(HERE, "..", "..", "dist", "icons")),
                    help="where the desktop icons go")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--sheets", default=None, help="also write contact sheets into this folder")
    args = ap.parse_args()
    out = args.out
    img_dir = os.path.join(out, "img")
    os.makedirs(img_dir, exist_ok=True)

    textures = {}
    images = {}

    def tex(name, w, h):
        textures[name] = {"fname": "img/%s.png" % name, "rect": rect(0, 0, w, h)}

    def whole(name, img, shp, alpha=True, texname=None):
        texname = texname or name
        h, w = img.shape[:2]
        save_png(img, os.path.join(img_dir, texname + ".png"), alpha)
        tex(texname, w, h)
        images[name] = {"texture": texname, "rect": rect(0, 0, w, h), "shape": shp}

    # --- rendered frames (the slow part), in parallel
    tasks = []
    for f in FACINGS:
        for i in range(8):
            tasks.append(("player", "walk", f, i))
    for f in FACINGS:
        tasks.append(("player", "stop", f, 0))
    for f in FACINGS:
        for i in range(8):
            tasks.append(("player", "die", f, i))
    for anim in ("walk", "run", "shoot"):
        for f in FACINGS:
            for i in range(8):
                tasks.append(("guard", anim, f, i))
    prop_names = list(props.BUILDERS)
    for n in prop_names:
        tasks.append(("prop", n))
        tasks.append(("icon-prop", n))
    tasks.append(("icon-figure", "player"))
    tasks.append(("icon-figure", "guard"))
    for v in (0, 1, 2, 3, 4):
        tasks.append(("lamp", v))
    with Pool(args.jobs) as pool:
        frames = dict(zip(tasks, pool.map(job, tasks, chunksize=4)))

    # --- world
    floor = tx.floor()
    walls = tx.walls()
    whole("floor", floor, shape(512, 512), alpha=False)
    whole("walls", walls, shape(512, 512), alpha=False)
    whole("white", tx.solid((1, 1, 1)), shape(8, 8))
    whole("black", tx.solid((0, 0, 0)), shape(8, 8))

    fx = Atlas("fx", 512, 256)
    fx.add("shadow", tx.shadow(), shape(96, 96))
    fx.add("unshadow", np.pad(dressing.seen_mark(), ((0, 64), (0, 64), (0, 0))), shape(64, 64))
    fx.images["unshadow"]["rect"] = rect(fx.images["unshadow"]["rect"]["x"], 0, 64, 64)
    fx.add("player-glow", dressing.agent_glow(), shape(96, 192))
    save_png(fx.pixels, os.path.join(img_dir, "fx.png"))
    tex("fx", fx.w, fx.h)
    images.update(fx.images)

    world_dressing(whole, tex, images, img_dir, frames)

    # --- actors: agent frames, props and blasts share one sheet, guards another
    agent = Atlas("agent", 2048, 2048)
    for f in FACINGS:
        for i in range(8):
            agent.add("player-walk-%d-%d" % (f, i), frames[("player", "walk", f, i)], ACTOR_SHAPE)
    for f in FACINGS:
        agent.add("player-stop-%d-0" % f, frames[("player", "stop", f, 0)], ACTOR_SHAPE)
    for f in FACINGS:
        for i in range(8):
            agent.add("player-die-%d-%d" % (f, i), frames[("player", "die", f, i)], ACTOR_SHAPE)
    agent.alias("player", "player-stop-2-0")
    agent.add("blank", np.zeros((CELL, CELL, 4)), ACTOR_SHAPE)
    for n in prop_names:
        agent.add(n, frames[("prop", n)], ACTOR_SHAPE)
    for c in range(9):
        agent.add("blast-%d" % c, tx.blast(c), shape(192, 120))
    save_png(agent.pixels, os.path.join(img_dir, "agent.png"))
    tex("agent", agent.w, agent.h)
    images.update(agent.images)

    guard = Atlas("guard", 2048, 2048)
    for anim in ("walk", "run", "shoot"):
        for f in FACINGS:
            for i in range(8):
                guard.add("guard-%s-%d-%d" % (anim, f, i), frames[("guard", anim, f, i)], ACTOR_SHAPE)
    guard.alias("guard", "guard-walk-2-0")
    save_png(guard.pixels, os.path.join(img_dir, "guard.png"))
    tex("guard", guard.w, guard.h)
    images.update(guard.images)

    # --- editor icons and decals
    ic = Atlas("icons", 1024, 1024)
    ic_shape = shape(64, 64)
    by_name = {t[1]: t for t in tiles.TILES}
    for t in tiles.TILES:
        n, name, kind, view = t[0], t[1], t[2], t[3]
        if name == "none":
            img = icons.icon_none()
        elif name == "floor":
            img = icons.icon_floor(floor)
        elif name == "dark":
            img = icons.icon_floor(floor, (0.32, 0.36, 0.55))
        elif name == "crater":
            img = icons.icon_hole(floor, True)
        elif name == "pit":
            img = icons.icon_hole(floor, False)
        elif name in ("player", "guard"):
            img = frames[("icon-figure", name)]
        elif kind == "light":
            img = icons.icon_lamp(t[4])
        elif kind == "arrow":
            img = icons.icon_arrow(t[4])
        elif name in props.BUILDERS:
            img = frames[("icon-prop", name)]
        elif name == "rug":
            img = icons.decal_rug()
        elif name == "grate":
            img = icons.decal_grate()
        elif name == "window":
            img = icons.icon_window(walls)
        elif name == "arch":
            img = icons.icon_window(walls, bars=True)
        elif name == "pillar":
            img = icons.icon_pillar(dressing.target_top(), dressing.target_side())
        elif view == "wall":
            img = icons.icon_block(walls, 2.5)
        elif view == "arch":
            img = icons.icon_block(walls, 5.0)
        elif view == "crate":
            img = icons.icon_crate(dressing.crate_face(128, 128, 52, top=True), dressing.crate_face(128, 160, 51))
        else:
            raise ValueError("no icon for tile %s" % name)
        ic.add("icon-" + name, img, ic_shape)
    del by_name
    save_png(ic.pixels, os.path.join(img_dir, "icons.png"))
    tex("icons", ic.w, ic.h)
    images.update(ic.images)

    dc = Atlas("decals", 1024, 512)
    dc.add("decal-none", icons.blank(), ic_shape)
    for t in tiles.TILES:
        name, kind, view = t[1], t[2], t[3]
        if view != "decal" and kind != "arrow":
            continue
        if kind == "arrow":
            img = icons.decal_arrow(t[4])
        elif kind == "light":
            img = icons.decal_lamp(t[4])
        elif name == "player":
            img = icons.decal_ring((0.3, 1.0, 0.9), chevron=True)
        elif name == "guard":
            img = icons.decal_ring((1.0, 0.3, 0.25))
        elif name == "rug":
            img = icons.decal_rug()
        elif name == "grate":
            img = icons.decal_grate()
        else:
            raise ValueError("no decal for tile %s" % name)
        dc.add("decal-" + name, img, ic_shape)
    save_png(dc.pixels, os.path.join(img_dir, "decals.png"))
    tex("decals", dc.w, dc.h)
    images.update(dc.images)

    # --- interface
    whole("box", tx.frame_box((0.07, 0.09, 0.14, 0.88), (0.55, 0.62, 0.78, 1.0), inner_hi=(0.25, 0.3, 0.42, 0.8)),
          shape(128, 128))
    whole("box1", tx.frame_box((0.10, 0.16, 0.22, 0.92), (0.45, 0.75, 0.85, 1.0), inner_hi=(0.2, 0.4, 0.5, 0.8)),
          shape(128, 128))
    whole("box2", tx.frame_box((0.85, 0.55, 0.15, 0.38), (1.0, 0.82, 0.45, 1.0), glow=(1.0, 0.7, 0.3, 0.8),
                               border_w=3.5), shape(128, 128))
    whole("box3", tx.frame_box((0.62, 0.30, 0.06, 0.95), (1.0, 0.80, 0.40, 1.0), inner_hi=(1.0, 0.65, 0.3, 0.9),
                               border_w=3.5), shape(128, 128))
    whole("bar1", tx.frame_box((0.35, 0.06, 0.06, 0.9), (1.0, 0.45, 0.4, 1.0), radius=30), shape(128, 128))
    whole("logo", tx.logo(), shape(640, 160))
    ui = Atlas("ui", 256, 128)
    ui.add("stars", tx.star(), shape(60, 60))
    ui.add("skulls", tx.skull(), shape(60, 60))
    save_png(ui.pixels, os.path.join(img_dir, "ui.png"))
    tex("ui", ui.w, ui.h)
    images.update(ui.images)

    # --- fonts
    font_json = {}
    for name, (file, px, aw) in fonts.FONTS.items():
        img, glyphs, height, (w, h) = fonts.build(file, px, aw)
        save_png(img, os.path.join(img_dir, name + ".png"))
        tex(name, w, h)
        font_json[name] = {"height": height, "texture": name, "rect": rect(0, 0, w, h), "chars": glyphs}
    shutil.copyfile(LICENCE_SRC, os.path.join(out, "fonts-LICENSE.txt"))

    def dump(obj, fname):
        with open(os.path.join(out, fname), "w") as fh:
            fh.write(json.dumps(obj, indent=1, sort_keys=True))
            fh.write("\n")

    dump(textures, "texture.txt")
    dump(images, "image.txt")
    dump(font_json, "font.txt")
    with open(os.path.join(out, "tiles.json"), "w") as fh:
        fh.write("[\n")
        ents = tiles.entries()
        for i, e in enumerate(ents):
            fh.write(" " + json.dumps(e) + (",\n" if i + 1 < len(ents) else "\n"))
        fh.write("]\n")

    app_icon.write_icons(args.icons)

    if args.sheets:
        write_sheets(args.sheets, img_dir)


def world_dressing(whole, tex, images, img_dir, frames):
    """The pictures the renderer dresses the map with beyond the floor and
    walls: the themes' sheets, the target's and crate's faces, the panes of
    the openings and the lamp fixtures."""
    for name, (make_floor, make_walls) in dressing.THEMES.items():
        whole("floor-" + name, make_floor(), shape(512, 512), alpha=False)
        whole("walls-" + name, make_walls(), shape(512, 512), alpha=False)

    def sheet(texname, w, h, parts):
        pixels = np.zeros((h, w, 4))
        for name, img, x, y in parts:
            ih, iw = img.shape[:2]
            pixels[y:y + ih, x:x + iw] = img
            images[name] = {"texture": texname, "rect": rect(x, y, iw, ih), "shape": shape(iw, ih)}
        save_png(pixels, os.path.join(img_dir, texname + ".png"))
        tex(texname, w, h)

    sheet("target", 256, 256, [("target-side", dressing.target_side(), 0, 0),
                               ("target-top", dressing.target_top(), 128, 0)])
    sheet("crate", 256, 256, [("crate-side", dressing.crate_face(128, 160, 51), 0, 0),
                              ("crate-top", dressing.crate_face(128, 128, 52, top=True), 128, 0)])
    sheet("panes", 512, 256, [("pane-window", dressing.pane_window(), 0, 0),
                              ("pane-arch", dressing.pane_bars(), 128, 0),
                              ("spill-window", dressing.spill_window(), 256, 0)])
    lamps = Atlas("lamps", 512, 256)
    for v, name in ((1, "lamp-1"), (2, "lamp-2"), (3, "lamp-3"), (4, "lamp-4"), (0, "lamp-off")):
        lamps.add(name, frames[("lamp", v)], ACTOR_SHAPE)
    save_png(lamps.pixels, os.path.join(img_dir, "lamps.png"))
    tex("lamps", lamps.w, lamps.h)
    images.update(lamps.images)


def write_sheets(folder, img_dir):
    """Contact sheets of the atlases on a night-blue ground, for looking at."""
    os.makedirs(folder, exist_ok=True)
    for fname in sorted(os.listdir(img_dir)):
        im = Image.open(os.path.join(img_dir, fname)).convert("RGBA")
        bg = Image.new("RGBA", im.size, (38, 44, 60, 255))
        Image.alpha_composite(bg, im).convert("RGB").save(os.path.join(folder, fname))


if __name__ == "__main__":
    main()
