"""The agent and the guard: posable models and their animation cycles.

A pose is a small dict of joint angles; `build` turns it into primitives in
the model frame (x right, y forward, z up, feet on z = 0 at the origin).
"""
import math

import numpy as np

from rt import Box, Capsule, Cylinder, Ellipsoid, Mat, Sphere, rot_x, rot_y, rot_z

TAU = 2 * math.pi

# Keypad facings on the screen at the default camera heading, as horizontal unit
# vectors (screen right, away from the viewer).
S = math.sqrt(0.5)
FACINGS = {
    1: (-S, -S), 2: (0.0, -1.0), 3: (S, -S), 4: (-1.0, 0.0),
    6: (1.0, 0.0), 7: (-S, S), 8: (0.0, 1.0), 9: (S, S),
}


class Look:
    def __init__(self, **kw):
        self.__dict__.update(kw)


# The agent wears a colour no floor, wall, lamp or guard has: bright teal limbs
# and hood around a black vest and pack, so it reads as a two-tone figure.
PLAYER = Look(
    skin=Mat((0.90, 0.70, 0.56)),
    hood=Mat((0.10, 0.78, 0.70), rim=1.2),
    suit=Mat((0.14, 0.86, 0.76), rim=1.2),
    suit_dark=Mat((0.05, 0.56, 0.52), rim=1.2),
    accent=Mat((0.75, 1.0, 0.95), emit=0.8),
    lens=Mat((0.85, 1.0, 0.98), emit=0.95, specular=0.8),
    glove=Mat((0.06, 0.06, 0.07), specular=0.3),
    boot=Mat((0.06, 0.06, 0.07), specular=0.3),
    pack=Mat((0.09, 0.10, 0.11), specular=0.2),
    vest=Mat((0.08, 0.09, 0.10), specular=0.25, rim=1.2),
    shoulder=0.21, hip=0.12, torso_r=(0.23, 0.15, 0.30), head_r=0.2,
    limb=0.085, leg=0.105,
)

GUARD = Look(
    skin=Mat((0.88, 0.64, 0.50)),
    jacket=Mat((0.70, 0.15, 0.12), rim=1.1),
    jacket_dark=Mat((0.48, 0.09, 0.08)),
    trousers=Mat((0.20, 0.19, 0.22)),
    belt=Mat((0.08, 0.07, 0.07), specular=0.4),
    buckle=Mat((0.95, 0.78, 0.30), specular=1.0, emit=0.3),
    cap=Mat((0.24, 0.23, 0.28), specular=0.3),
    visor=Mat((0.05, 0.05, 0.06), specular=0.8),
    badge=Mat((1.0, 0.82, 0.30), emit=0.5, specular=1.0),
    boot=Mat((0.07, 0.07, 0.08), specular=0.4),
    glove=Mat((0.12, 0.10, 0.09)),
    gun=Mat((0.20, 0.21, 0.24), specular=0.9, shine=40),
    gun_wood=Mat((0.38, 0.24, 0.14)),
    flash=Mat((1.0, 0.92, 0.55), emit=1.0, rim=0.0),
    flash_core=Mat((1.0, 1.0, 0.92), emit=1.0, rim=0.0),
    shoulder=0.27, hip=0.15, torso_r=(0.30, 0.20, 0.33), head_r=0.19,
    limb=0.095, leg=0.115,
)


def _limb_dir(pitch, roll=0.0):
    """Unit vector of a limb hanging down, swung forward by `pitch` (radians)
    and outward by `roll`."""
    v = np.array([0.0, 0.0, -1.0])
    v = rot_x(pitch) @ v
    v = rot_y(roll) @ v
    return v


def skeleton(p, torso_h=0.94):
    """Joint positions of pose p (angles in radians)."""
    j = {}
    lean = p.get("lean", 0.0)
    twist = p.get("twist", 0.0)
    side_lean = p.get("side", 0.0)
    pel = np.array([0.0, p.get("shift", 0.0), torso_h + p.get("bob", 0.0)])
    j["pelvis"] = pel
    body = rot_z(twist) @ rot_x(lean) @ rot_y(side_lean)
    j["body"] = body
    j["chest"] = pel + body @ np.array([0, 0, 0.50])
    j["neck"] = pel + body @ np.array([0, 0, 0.72])
    j["head"] = pel + body @ np.array([0, 0.02, 0.90])
    thigh, shin = 0.46, 0.46
    for side, s in (("l", -1), ("r", 1)):
        hip = pel + np.array([s * 0.13, 0, 0])
        hp = p.get("hip_" + side, 0.0)
        kn = p.get("knee_" + side, 0.0)
        spread = p.get("spread", 0.0) * s
        knee = hip + thigh * _limb_dir(hp, spread)
        ankle = knee + shin * _limb_dir(hp - kn, spread)
        toe_pitch = p.get("toe_" + side, 0.0)
        foot = ankle + 0.17 * (rot_x(toe_pitch) @ np.array([0, 1.0, 0]))
        j["hip_" + side] = hip
        j["knee_" + side] = knee
        j["ankle_" + side] = ankle
        j["foot_" + side] = foot
        sh = j["chest"] + body @ np.array([s * 0.24, 0, 0.06])
        j["shoulder_" + side] = sh
    return j


def arm(j, side, p, upper=0.31, lower=0.30):
    """Elbow and hand of an arm from pitch/roll/elbow angles, or IK targets."""
    body = j["body"]
    sh = j["shoulder_" + side]
    s = -1 if side == "l" else 1
    target = p.get("hand_" + side)
    if target is not None:
        # Two-bone IK toward a hand target given in body space, elbow out/down.
        tgt = j["chest"] + body @ np.asarray(target, float)
        d = tgt - sh
        dist = min(np.linalg.norm(d), upper + lower - 1e-3)
        dn = d / np.linalg.norm(d)
        a = math.acos(np.clip((upper ** 2 + dist ** 2 - lower ** 2) / (2 * upper * dist), -1, 1))
        pole = body @ np.array([s * 0.8, -0.2, -1.0])
        pole = pole - dn * (pole @ dn)
        pole /= np.linalg.norm(pole)
        elbow = sh + upper * (math.cos(a) * dn + math.sin(a) * pole)
        hand = sh + dn * dist
        return elbow, hand
    pitch = p.get("arm_" + side, 0.0)
    roll = p.get("armroll_" + side, 0.12) * s
    bend = p.get("elbow_" + side, 0.25)
    elbow = sh + upper * (body @ _limb_dir(pitch, roll))
    hand = elbow + lower * (body @ _limb_dir(pitch + bend, roll))
    return elbow, hand


def build_player(p):
    L = PLAYER
    j = skeleton(p)
    body = j["body"]
    prims = []
    # Legs
    for side in "lr":
        prims.append(Capsule(j["hip_" + side], j["knee_" + side], L.leg + 0.01, L.suit_dark, rb=L.leg - 0.005))
        prims.append(Capsule(j["knee_" + side], j["ankle_" + side], L.leg - 0.01, L.suit_dark, rb=L.leg - 0.025))
        prims.append(Capsule(j["ankle_" + side], j["foot_" + side], 0.07, L.boot))
    # Hips and torso
    prims.append(Ellipsoid(j["pelvis"] + body @ np.array([0, 0, 0.05]), (0.20, 0.13, 0.14), L.suit_dark, body))
    prims.append(Ellipsoid(j["pelvis"] + body @ np.array([0, 0, 0.36]), (0.23, 0.15, 0.29), L.vest, body))
    # Teal piping down the front of the vest and a collar
    prims.append(Ellipsoid(j["pelvis"] + body @ np.array([0, 0.02, 0.40]), (0.035, 0.145, 0.22), L.accent, body))
    prims.append(Ellipsoid(j["pelvis"] + body @ np.array([0, 0, 0.62]), (0.15, 0.11, 0.05), L.suit_dark, body))
    # Teal belt and shoulder strap
    prims.append(Ellipsoid(j["pelvis"] + body @ np.array([0, 0, 0.13]), (0.205, 0.137, 0.045), L.accent, body))
    # Backpack
    prims.append(Box(j["pelvis"] + body @ np.array([0, -0.17, 0.40]), (0.15, 0.07, 0.17), L.pack, body))
    prims.append(Box(j["pelvis"] + body @ np.array([0, -0.245, 0.48]), (0.08, 0.012, 0.03), L.accent, body))
    # Neck and head with hood
    prims.append(Capsule(j["chest"] + body @ np.array([0, 0, 0.1]), j["neck"], 0.07, L.skin))
    h = j["head"]
    prims.append(Sphere(h, L.head_r, L.skin))
    hood_c = h + body @ np.array([0, -0.035, 0.03])
    prims.append(Ellipsoid(hood_c, (0.215, 0.215, 0.21), L.hood, body))
    # Goggles across the face: two glowing lenses and a strap
    for s in (-1, 1):
        prims.append(Ellipsoid(h + body @ np.array([s * 0.08, 0.175, 0.02]), (0.06, 0.045, 0.045), L.lens, body))
    prims.append(Ellipsoid(h + body @ np.array([0, 0.0, 0.02]), (0.208, 0.208, 0.035), L.suit_dark, body))
    # Arms
    for side in "lr":
        elbow, hand = arm(j, side, p)
        sh = j["shoulder_" + side]
        prims.append(Sphere(sh, 0.095, L.suit))
        prims.append(Capsule(sh, elbow, L.limb + 0.005, L.suit, rb=L.limb - 0.005))
        prims.append(Capsule(elbow, hand, L.limb - 0.01, L.suit))
        prims.append(Sphere(hand, 0.068, L.glove))
    return prims


def rifle(grip, muzzle_dir, up, L):
    """A rifle whose grip is at `grip`, pointing along `muzzle_dir`."""
    f = muzzle_dir / np.linalg.norm(muzzle_dir)
    u = up - f * (up @ f)
    u /= np.linalg.norm(u)
    r = np.cross(f, u)
    m = np.stack([r, f, u], 1)  # columns: local x, y (forward), z
    prims = [
        Box(grip + m @ np.array([0, 0.12, 0.03]), (0.035, 0.30, 0.05), L.gun, m),
        Box(grip + m @ np.array([0, -0.22, 0.0]), (0.032, 0.12, 0.055), L.gun_wood, m),
        Capsule(grip + m @ np.array([0, 0.40, 0.05]), grip + m @ np.array([0, 0.56, 0.05]), 0.022, L.gun),
        Box(grip + m @ np.array([0, 0.08, -0.07]), (0.025, 0.04, 0.06), L.gun, m),
    ]
    tip = grip + m @ np.array([0, 0.58, 0.05])
    return prims, tip


def build_guard(p, flash=0.0):
    L = GUARD
    j = skeleton(p, torso_h=0.94)
    body = j["body"]
    prims = []
    for side in "lr":
        prims.append(Capsule(j["hip_" + side], j["knee_" + side], L.leg + 0.01, L.trousers, rb=L.leg - 0.01))
        prims.append(Capsule(j["knee_" + side], j["ankle_" + side], L.leg - 0.01, L.trousers, rb=L.leg - 0.025))
        prims.append(Capsule(j["ankle_" + side], j["foot_" + side], 0.085, L.boot))
    prims.append(Ellipsoid(j["pelvis"] + body @ np.array([0, 0, 0.05]), (0.24, 0.16, 0.16), L.trousers, body))
    # Broad jacket, belt with a gold buckle
    prims.append(Ellipsoid(j["pelvis"] + body @ np.array([0, 0, 0.38]), (0.30, 0.19, 0.32), L.jacket, body))
    prims.append(Ellipsoid(j["pelvis"] + body @ np.array([0, 0, 0.14]), (0.255, 0.175, 0.05), L.belt, body))
    prims.append(Box(j["pelvis"] + body @ np.array([0, 0.17, 0.14]), (0.05, 0.02, 0.035), L.buckle, body))
    # Chest badge
    prims.append(Sphere(j["pelvis"] + body @ np.array([-0.13, 0.165, 0.50]), 0.035, L.badge))
    # Epaulettes
    for s in (-1, 1):
        prims.append(Box(j["chest"] + body @ np.array([s * 0.24, 0, 0.12]), (0.09, 0.07, 0.025), L.jacket_dark, body))
    prims.append(Capsule(j["chest"] + body @ np.array([0, 0, 0.1]), j["neck"], 0.085, L.skin))
    h = j["head"]
    prims.append(Sphere(h, L.head_r, L.skin))
    # Peaked cap: crown, band, visor, badge
    prims.append(Cylinder(h + body @ np.array([0, 0.0, 0.07]), h + body @ np.array([0, 0.0, 0.17]), 0.205, L.cap))
    prims.append(Ellipsoid(h + body @ np.array([0, -0.01, 0.2]), (0.25, 0.25, 0.06), L.cap, body))
    prims.append(Ellipsoid(h + body @ np.array([0, 0.17, 0.08]), (0.15, 0.13, 0.02), L.visor, body @ rot_x(-0.25)))
    prims.append(Sphere(h + body @ np.array([0, 0.215, 0.16]), 0.035, L.badge))
    # Moustache
    prims.append(Ellipsoid(h + body @ np.array([0, 0.175, -0.06]), (0.07, 0.02, 0.018), L.belt, body))
    for side in "lr":
        elbow, hand = arm(j, side, p)
        sh = j["shoulder_" + side]
        prims.append(Sphere(sh, 0.12, L.jacket))
        prims.append(Capsule(sh, elbow, L.limb + 0.01, L.jacket, rb=L.limb))
        prims.append(Capsule(elbow, hand, L.limb - 0.005, L.jacket))
        prims.append(Sphere(hand, 0.075, L.glove))
    # Rifle, held by the right hand; the left hand supports it.
    gun = p.get("gun")
    if gun is not None:
        _, grip = arm(j, "r", p)
        g_dir = body @ np.asarray(gun["dir"], float)
        gp, tip = rifle(grip, g_dir, body @ np.array([0, 0, 1.0]), L)
        prims += gp
        if flash > 0:
            f = g_dir / np.linalg.norm(g_dir)
            prims.append(Sphere(tip + f * 0.12, 0.12 * flash, L.flash))
            prims.append(Sphere(tip + f * 0.10, 0.07 * flash, L.flash_core))
            prims.append(Capsule(tip + f * 0.05, tip + f * 0.24 * flash, 0.04 * flash, L.flash_core))
    return prims


# ---------------------------------------------------------------- animations

def walk_pose(i, run=False):
    ph = TAU * i / 8
    s = math.sin(ph)
    c = math.cos(ph)
    if run:
        A, K, arm_a = 0.75, 1.35, 0.9
        p = dict(lean=0.28, bob=0.05 * abs(math.cos(ph)) - 0.05)
    else:
        A, K, arm_a = 0.42, 0.75, 0.45
        p = dict(lean=0.05, bob=0.025 * abs(math.cos(ph)) - 0.02)
    p["hip_l"] = A * s
    p["hip_r"] = -A * s
    # Knees bend while the leg swings forward (when its hip angle rises).
    p["knee_l"] = 0.08 + K * max(0.0, c) ** 1.5
    p["knee_r"] = 0.08 + K * max(0.0, -c) ** 1.5
    p["toe_l"] = -0.3 * max(0.0, -s)
    p["toe_r"] = -0.3 * max(0.0, s)
    p["arm_l"] = -arm_a * s
    p["arm_r"] = arm_a * s
    p["elbow_l"] = (1.3 if run else 0.3) + 0.2 * max(0.0, -s)
    p["elbow_r"] = (1.3 if run else 0.3) + 0.2 * max(0.0, s)
    p["twist"] = 0.12 * s * (1.6 if run else 1.0)
    if i == 0 and not run:
        # Frame 0 doubles as the standing pose of a guard: feet together.
        p.update(knee_l=0.08, knee_r=0.08, toe_l=0.0, toe_r=0.0, spread=0.05)
    return p


def stand_pose():
    return dict(hip_l=0.02, hip_r=-0.02, knee_l=0.05, knee_r=0.05, arm_l=0.05,
                arm_r=0.05, elbow_l=0.25, elbow_r=0.25, spread=0.06)


def die_pose(i):
    """Hit, stagger, knees give way, slump, topple onto one side. Returns the
    pose and the roll (radians) of the whole body onto its side."""
    p = stand_pose()
    if i == 0:
        p.update(lean=-0.3, arm_l=-0.9, arm_r=-0.7, armroll_l=0.7, armroll_r=0.7,
                 elbow_l=0.9, elbow_r=0.9)
        return p, 0.0
    if i == 1:
        p.update(lean=-0.35, hip_l=0.35, hip_r=0.1, knee_l=0.7, knee_r=0.5, arm_l=-0.5,
                 arm_r=-0.3, armroll_l=0.9, armroll_r=0.9, elbow_l=0.6, elbow_r=0.6)
        return p, 0.0
    k = min(1.0, (i - 1) / 2.0)          # kneeling, reached at frame 3
    slump = max(0.0, min(1.0, (i - 3) / 2.0))
    roll = max(0.0, (i - 5) / 2.0)       # on its side by frame 7
    p.update(hip_l=1.25 * k, hip_r=1.1 * k, knee_l=2.3 * k, knee_r=2.2 * k,
             lean=-0.2 * (1 - k) + 0.25 * k + 0.55 * slump - 0.25 * roll,
             arm_l=0.2 + 0.5 * slump, arm_r=0.1 + 0.6 * slump, elbow_l=0.5 + 0.6 * slump,
             elbow_r=0.5 + 0.5 * slump, armroll_l=0.3, armroll_r=0.3,
             bob=0.0)
    return p, 1.2 * roll


def guard_walk_pose(i, run=False):
    p = walk_pose(i, run)
    if run:
        # Rifle at port arms, across the chest.
        p.update(hand_r=(0.10, 0.30, -0.22), hand_l=(-0.15, 0.30, 0.05), gun=dict(dir=(-0.55, 0.35, 0.75)))
    else:
        # Rifle at the low ready, swinging a little with the stride.
        sw = 0.03 * math.sin(TAU * i / 8)
        p.update(hand_r=(0.13, 0.28 + sw, -0.30), hand_l=(-0.10, 0.48 + sw, -0.18),
                 gun=dict(dir=(-0.1, 1.0, -0.45)))
    return p


def guard_stand_pose():
    p = stand_pose()
    p.update(hand_r=(0.13, 0.28, -0.30), hand_l=(-0.10, 0.48, -0.18), gun=dict(dir=(-0.1, 1.0, -0.45)))
    return p


def guard_shoot_pose(i):
    """Rifle shouldered; shots on frames 0 and 4 with recoil after each."""
    rec = [0.0, 1.0, 0.6, 0.25, 0.0, 1.0, 0.6, 0.25][i]
    flash = [1.0, 0.55, 0.0, 0.0, 0.9, 0.5, 0.0, 0.0][i]
    p = stand_pose()
    p.update(spread=0.12, hip_l=0.25, hip_r=-0.2, knee_l=0.35, knee_r=0.1,
             lean=0.06 - 0.1 * rec, twist=0.0)
    back = -0.05 * rec
    p.update(hand_r=(0.10, 0.18 + back, 0.02 + 0.02 * rec), hand_l=(-0.06, 0.45 + back, 0.03 + 0.03 * rec),
             gun=dict(dir=(-0.12, 1.0, -0.12 + 0.12 * rec)))
    return p, flash
