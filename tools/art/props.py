"""Standing objects: the four bombs, the Data Cartridge and the decorations.

Each builder returns primitives in the model frame (feet on z = 0, front
toward -y, that is toward the viewer)."""
import math

import numpy as np

from rt import Box, Capsule, Cylinder, Ellipsoid, Mat, Sphere, rot_x, rot_z

METAL = Mat((0.22, 0.23, 0.27), specular=0.9, shine=40)
DARK = Mat((0.10, 0.10, 0.12), specular=0.6, shine=30)
RED_LED = Mat((1.0, 0.15, 0.1), emit=0.95)
AMBER_LED = Mat((1.0, 0.7, 0.2), emit=0.95)
BLUE_GLOW = Mat((0.35, 0.7, 1.0), emit=0.85)
GREEN_GLOW = Mat((0.35, 1.0, 0.45), emit=0.85)
WHITE = Mat((0.95, 0.93, 0.88), emit=0.3)
BRASS = Mat((0.85, 0.65, 0.25), specular=1.0, shine=30)


def bomb1():
    """Detonator Bomb: a round black charge with a red light and an antenna."""
    return [
        Sphere((0, 0, 0.30), 0.30, DARK),
        Cylinder((0, 0, 0.0), (0, 0, 0.08), 0.2, METAL),
        Cylinder((0, 0, 0.55), (0, 0, 0.64), 0.1, METAL),
        Sphere((0, 0, 0.68), 0.07, RED_LED),
        Capsule((0.08, 0, 0.58), (0.2, 0.05, 1.0), 0.015, METAL),
        Sphere((0.2, 0.05, 1.0), 0.035, RED_LED),
        Box((0, -0.27, 0.33), (0.12, 0.04, 0.07), METAL),
        Box((0, -0.305, 0.33), (0.08, 0.01, 0.035), RED_LED),
    ]


def bomb2():
    """Time Bomb: three red charges strapped to a clock."""
    red = Mat((0.75, 0.16, 0.12), rim=0.8)
    prims = []
    for x in (-0.17, 0.0, 0.17):
        y = 0.05 if x == 0.0 else 0.0
        prims.append(Cylinder((x, y, 0.0), (x, y, 0.75), 0.095, red))
    prims += [
        Box((0, 0, 0.22), (0.30, 0.11, 0.04), DARK),
        Box((0, 0, 0.55), (0.30, 0.11, 0.04), DARK),
        Cylinder((0, -0.10, 0.42), (0, -0.17, 0.42), 0.16, BRASS),
        Cylinder((0, -0.17, 0.42), (0, -0.19, 0.42), 0.13, WHITE),
        Box((0, -0.2, 0.47), (0.012, 0.005, 0.06), DARK),
        Box((0.035, -0.2, 0.42), (0.05, 0.005, 0.012), DARK),
        Sphere((0.13, -0.16, 0.56), 0.035, AMBER_LED),
    ]
    return prims


def bomb3():
    """EMP Bomb: a coil drum with a glowing blue ring."""
    prims = [
        Cylinder((0, 0, 0.0), (0, 0, 0.12), 0.32, METAL),
        Cylinder((0, 0, 0.12), (0, 0, 0.55), 0.22, DARK),
        Cylinder((0, 0, 0.55), (0, 0, 0.64), 0.30, METAL),
        Capsule((0, 0, 0.64), (0, 0, 0.9), 0.04, METAL),
        Sphere((0, 0, 0.93), 0.08, BLUE_GLOW),
    ]
    for k in range(12):
        a = 2 * math.pi * k / 12
        prims.append(Sphere((0.25 * math.cos(a), 0.25 * math.sin(a), 0.34), 0.07, BLUE_GLOW))
    return prims


def bomb4():
    """Mini Bomb: a small olive charge with a yellow band."""
    olive = Mat((0.35, 0.42, 0.22))
    return [
        Ellipsoid((0, 0, 0.22), (0.2, 0.2, 0.22), olive),
        Cylinder((0, 0, 0.18), (0, 0, 0.26), 0.205, Mat((0.95, 0.8, 0.2))),
        Cylinder((0, 0, 0.42), (0, 0, 0.5), 0.07, METAL),
        Sphere((0, 0, 0.53), 0.045, RED_LED),
    ]


def cartridge():
    """Data Cartridge: a dark cartridge with a glowing label and gold pins."""
    shell = Mat((0.16, 0.17, 0.22), specular=0.5)
    m = rot_x(-0.25)
    return [
        Box((0, 0, 0.45), (0.32, 0.07, 0.42), shell, m),
        Box((0, -0.085, 0.55), (0.24, 0.01, 0.2), GREEN_GLOW, m),
        Box((0, -0.09, 0.28), (0.2, 0.01, 0.03), Mat((0.9, 0.9, 0.85), emit=0.5), m),
        Box((0, 0, 0.06), (0.22, 0.05, 0.05), BRASS, m),
        Box((0.25, -0.08, 0.8), (0.03, 0.01, 0.03), RED_LED, m),
    ]


def barrel():
    rust = Mat((0.55, 0.28, 0.14), specular=0.2)
    band = Mat((0.25, 0.22, 0.2), specular=0.6)
    return [
        Cylinder((0, 0, 0.0), (0, 0, 1.15), 0.38, rust),
        Cylinder((0, 0, 0.18), (0, 0, 0.26), 0.395, band),
        Cylinder((0, 0, 0.88), (0, 0, 0.96), 0.395, band),
        Cylinder((0, 0, 1.15), (0, 0, 1.17), 0.33, Mat((0.35, 0.2, 0.12))),
        Cylinder((0.15, -0.05, 1.16), (0.15, -0.05, 1.2), 0.06, band),
    ]


def bush(seed=3):
    rng = np.random.default_rng(seed)
    greens = [Mat((0.16, 0.38, 0.18), rim=1.2), Mat((0.2, 0.46, 0.2), rim=1.2),
              Mat((0.12, 0.30, 0.16), rim=1.2)]
    prims = [Cylinder((0, 0, 0), (0, 0, 0.35), 0.45, Mat((0.35, 0.3, 0.28)))]
    for k in range(22):
        a = rng.uniform(0, 2 * math.pi)
        r = rng.uniform(0.0, 0.35)
        z = rng.uniform(0.55, 1.45)
        size = rng.uniform(0.18, 0.3) * (1.2 - 0.3 * (z - 0.55))
        prims.append(Sphere((r * math.cos(a), r * math.sin(a), z), size, greens[k % 3]))
    # A few pale flowers
    for k in range(6):
        a = rng.uniform(0, 2 * math.pi)
        prims.append(Sphere((0.38 * math.cos(a), 0.38 * math.sin(a) - 0.05, rng.uniform(0.8, 1.4)), 0.05,
                            Mat((0.95, 0.85, 0.6), emit=0.3)))
    return prims


def statue():
    """A stone figure on a plinth."""
    stone = Mat((0.62, 0.62, 0.66), rim=1.2)
    dark = Mat((0.45, 0.45, 0.5))
    return [
        Box((0, 0, 0.25), (0.42, 0.42, 0.25), dark),
        Box((0, 0, 0.55), (0.34, 0.34, 0.05), stone),
        Capsule((-0.1, 0, 0.6), (-0.1, 0, 1.15), 0.1, stone),
        Capsule((0.1, 0, 0.6), (0.1, 0, 1.15), 0.1, stone),
        Ellipsoid((0, 0, 1.45), (0.24, 0.16, 0.36), stone),
        Sphere((0, 0.02, 1.98), 0.17, stone),
        Capsule((0.26, 0, 1.68), (0.42, 0.0, 2.25), 0.07, stone),
        Sphere((0.42, 0.0, 2.3), 0.08, Mat((1.0, 0.8, 0.4), emit=0.6)),
        Capsule((-0.26, 0, 1.68), (-0.3, -0.05, 1.2), 0.07, stone),
    ]


BUILDERS = {
    "bomb1": (bomb1, 1.4), "bomb2": (bomb2, 1.35), "bomb3": (bomb3, 1.35), "bomb4": (bomb4, 1.6),
    "cartridge": (cartridge, 1.2), "barrel": (barrel, 1.0), "bush": (bush, 1.1),
    "statue": (statue, 0.95),
}
