"""The tile catalogue written to data/tiles.json.

Fixed roles: 0 the outside, 1 floor, 2 dark floor, 3 crater, 4 the player's
start placed at a new map's centre, 32 the wall framing a new map. Arrows sit
at 20 + their direction so the editor's turned-arrow lookup (ids 0..31) finds
them. Editor categories: 1 floors, 2 walls, 3 goals, 4 people and lamps,
5 arrows, 6 items, 7 decoration; category 0 keeps a tile out of the palette.
"""

# n, name, type, view, value, solid, opaque, shadow, editor, help
TILES = [
    (0, "none", "none", "none", 0, 1, 0, 0, 1,
     "Outside: nothing at all. Nobody can stand here. Use it to cut the map into shape."),
    (1, "floor", "floor", "floor", 0, 0, 0, 0, 1,
     "Floor: plain stone ground to walk on."),
    (2, "dark", "dark", "dark", 0, 0, 0, 0, 1,
     "Dark floor: lamps do not light it and guards only see you on it from right next to you."),
    (3, "crater", "pit", "pit", 0, 1, 0, 0, 1,
     "Crater: a hole blasted into the ground. Nobody can cross it; whoever stands in it dies."),
    (4, "player", "player", "decal", 0, 0, 0, 0, 4,
     "Agent start: where you begin. Arrows next to it turn you to face their way."),
    (5, "guard", "guard", "decal", 0, 0, 0, 0, 4,
     "Guard: shoots on sight. Put arrows next to it to start its patrol route."),
    (6, "window", "window", "window", 0, 1, 0, 0, 3,
     "Window: the way out. Once every target is destroyed, step next to it to escape."),
    (7, "pillar", "pillar", "pillar", 0, 1, 1, 1, 3,
     "Target: destroy every one of these with your bombs before you escape."),
    (8, "pit", "pit", "pit", 0, 1, 0, 0, 0,
     "Pit: a bottomless hole. Nobody can cross it."),
    (9, "lamp1", "light", "decal", 1, 0, 0, 0, 4,
     "Lamp, amber: lights the floor around it so guards see farther. Arrows move it."),
    (10, "lamp2", "light", "decal", 2, 0, 0, 0, 4,
     "Lamp, blue: lights the floor around it so guards see farther. Arrows move it."),
    (11, "lamp3", "light", "decal", 3, 0, 0, 0, 4,
     "Lamp, red: lights the floor around it so guards see farther. Arrows move it."),
    (12, "lamp4", "light", "decal", 4, 0, 0, 0, 4,
     "Lamp, violet: lights the floor around it so guards see farther. Arrows move it."),
    (13, "bomb1", "item", "sprite", 1, 0, 0, 0, 6,
     "Detonator Bomb pick-up. Drop it, walk away, use it again to set it off: leaves a crater."),
    (14, "bomb2", "item", "sprite", 2, 0, 0, 0, 6,
     "Time Bomb pick-up. Goes off 10 seconds after you leave it (use it again for 20 or 30)."),
    (15, "bomb3", "item", "sprite", 3, 0, 0, 0, 6,
     "EMP Bomb pick-up. Freezes every guard for 10 seconds once you step off it."),
    (16, "bomb4", "item", "sprite", 4, 0, 0, 0, 6,
     "Mini Bomb pick-up. A small blast that breaks walls and targets without a crater."),
    (17, "cartridge", "item", "sprite", 5, 0, 0, 0, 6,
     "Data Cartridge: optional, but each one you collect raises your score."),
    (18, "barrel", "sprite", "sprite", 0, 1, 0, 0, 7,
     "Barrel: blocks the way but not the view."),
    (19, "bush", "sprite", "sprite", 0, 1, 1, 1, 7,
     "Bush: blocks the way and the view. Hide behind it."),
    (20, "statue", "sprite", "sprite", 0, 1, 0, 0, 7,
     "Statue: blocks the way but not the view."),
    (21, "arrow1", "arrow", "decal", 1, 0, 0, 0, 5,
     "Arrow: guards and lamps on their route turn this way here. A loop of arrows makes a patrol."),
    (22, "arrow2", "arrow", "decal", 2, 0, 0, 0, 5,
     "Arrow: guards and lamps on their route turn this way here. A loop of arrows makes a patrol."),
    (23, "arrow3", "arrow", "decal", 3, 0, 0, 0, 5,
     "Arrow: guards and lamps on their route turn this way here. A loop of arrows makes a patrol."),
    (24, "arrow4", "arrow", "decal", 4, 0, 0, 0, 5,
     "Arrow: guards and lamps on their route turn this way here. A loop of arrows makes a patrol."),
    (25, "rug", "decal", "decal", 0, 0, 0, 0, 0,
     "Rug: a mark on the floor, shown in the editor only."),
    (26, "arrow6", "arrow", "decal", 6, 0, 0, 0, 5,
     "Arrow: guards and lamps on their route turn this way here. A loop of arrows makes a patrol."),
    (27, "arrow7", "arrow", "decal", 7, 0, 0, 0, 5,
     "Arrow: guards and lamps on their route turn this way here. A loop of arrows makes a patrol."),
    (28, "arrow8", "arrow", "decal", 8, 0, 0, 0, 5,
     "Arrow: guards and lamps on their route turn this way here. A loop of arrows makes a patrol."),
    (29, "arrow9", "arrow", "decal", 9, 0, 0, 0, 5,
     "Arrow: guards and lamps on their route turn this way here. A loop of arrows makes a patrol."),
    (30, "grate", "decal", "decal", 0, 0, 0, 0, 0,
     "Grate: a mark on the floor, shown in the editor only."),
    (32, "wall", "wall", "wall", 0, 1, 1, 1, 2,
     "Wall: blocks the way and the view. A Mini Bomb breaks it."),
    (33, "block", "full", "arch", 0, 1, 1, 2, 2,
     "Tall block: a wall twice as high, casting a longer shadow."),
    (34, "arch", "arch", "window", 0, 1, 0, 0, 2,
     "Barred opening: blocks the way but guards see through it. Not an exit."),
    (35, "crate", "crate", "crate", 0, 1, 1, 1, 2,
     "Crate: a low stack that blocks the way and the view. Hide behind it."),
]

KINDS = ["none", "floor", "dark", "full", "arch", "wall", "window", "pillar", "crate", "pit",
         "guard", "player", "arrow", "light", "item", "sprite", "decal"]


def entries():
    out = []
    for n, name, kind, view, value, solid, opaque, shadow, editor, help_ in TILES:
        out.append({"n": n, "name": name, "type": kind, "view": view, "value": value, "solid": solid,
                    "opaque": opaque, "shadow": shadow, "editor": editor, "help": help_})
    return out
