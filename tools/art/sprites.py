"""Frames of the agent and the guard, rendered from the game's camera angle."""
import math

import numpy as np

import chars
import rt

SIZE = 128                 # pixels per frame
PX_X = SIZE / 2.5          # the billboard is 2.5 world units wide ...
PX_Z = SIZE / 4.0          # ... and 4 high
GROUND_ROW = SIZE * 3 / 4  # the quad's bottom quarter lies below the floor
LIFT = 0.32                # world units the model is raised on its quad, so
                           # feet in front of the quad stay above the floor


def lowest(prims):
    z = []
    for p in prims:
        if isinstance(p, rt.Sphere):
            z.append(p.c[2] - p.r)
        elif isinstance(p, (rt.Capsule,)):
            z.append(min(p.a[2] - p.r, p.b[2] - p.rb))
        elif isinstance(p, rt.Cylinder):
            z.append(min(p.a[2], p.b[2]) - p.r)
        elif isinstance(p, rt.Ellipsoid):
            ext = np.sqrt(((p.m * p.radii[None, :]) ** 2).sum(1))
            z.append(p.c[2] - ext[2])
        elif isinstance(p, rt.Box):
            ext = np.abs(p.m * p.half[None, :]).sum(1)
            z.append(p.c[2] - ext[2])
    return min(z)


def axis_rot(axis, a):
    x, y, z = axis / np.linalg.norm(axis)
    c, s, C = math.cos(a), math.sin(a), 1 - math.cos(a)
    return np.array([[c + x * x * C, x * y * C - z * s, x * z * C + y * s],
                     [y * x * C + z * s, c + y * y * C, y * z * C - x * s],
                     [z * x * C - y * s, z * y * C + x * s, c + z * z * C]])


def grounded(prims, facing=(0.0, 1.0), roll=0.0):
    """Roll the model by `roll` radians onto the side that lies away from the
    viewer (so a fallen body never hangs below its quad's floor line), then
    stand it on z = 0 and lift it by LIFT."""
    if roll:
        fx, fy = facing
        right = np.array([fy, -fx, 0.0])
        # Positive rotation about the forward axis tips the head to the right.
        sign = 1.0 if (right[1] > 1e-6 or (abs(right[1]) <= 1e-6 and right[0] > 0)) else -1.0
        m = axis_rot(np.array([fx, fy, 0.0]), sign * roll)
        prims = [p.transformed(m, np.zeros(3)) for p in prims]
    dz = -lowest(prims)
    dx = 0.0
    if roll:
        # Keep a fallen body inside the quad's width.
        lo = min(p.bound()[0][0] - p.bound()[1] * 0.6 for p in prims)
        hi = max(p.bound()[0][0] + p.bound()[1] * 0.6 for p in prims)
        if hi > 1.0:
            dx = 1.0 - hi
        elif lo < -1.0:
            dx = -1.0 - lo
    return [p.transformed(np.eye(3), np.array([dx, 0, dz + LIFT])) for p in prims]


MODEL_SCALE = 1.06
# Characters are seen from a little lower than the game camera: a stride
# toward the viewer then stays above the quad's floor line instead of sinking
# into the floor, which hides everything of the quad below ground.
CHAR_ELEVATION = math.radians(34.0)


def scaled(p, k):
    q = p.transformed(np.eye(3) * k, np.zeros(3))
    # transformed() scales positions; scale the sizes too.
    if isinstance(q, (rt.Sphere, rt.Cylinder)):
        q.r *= k
    elif isinstance(q, rt.Capsule):
        q.r *= k
        q.rb *= k
    elif isinstance(q, (rt.Ellipsoid, rt.Box)):
        q.m = q.m / k
        if isinstance(q, rt.Ellipsoid):
            q.radii = q.radii * k
        else:
            q.half = q.half * k
    return q


def frame(model_prims, facing, roll=0.0, ss=3, outline=None, outline_px=1):
    """One frame; `outline` (RGBA) and `outline_px` replace the thin dark
    outline every figure gets."""
    model_prims = [scaled(p, MODEL_SCALE) for p in model_prims]
    placed = rt.place(model_prims, chars.FACINGS[facing])
    placed = grounded(placed, chars.FACINGS[facing], roll)
    kw = {} if outline is None else {"outline": outline}
    return rt.render(placed, SIZE, PX_X, PX_Z, GROUND_ROW, ss=ss, elevation=CHAR_ELEVATION,
                     outline_px=outline_px, **kw)


def prop_frame(prims, scale=1.0, ss=3):
    """A standing object, scaled and set so its lowest visible point sits on
    the quad's floor line."""
    prims = [scaled(p, scale) for p in prims]
    low = min(p.bound()[0][2] + p.bound()[0][1] * rt.TAN_E - p.bound()[1] / math.cos(rt.ELEVATION)
              for p in prims)
    low = max(low, -lowest(prims) * 0 + min(p.bound()[0][2] - p.bound()[1] for p in prims))
    prims = [p.transformed(np.eye(3), np.array([0, 0, -lowest(prims) + 0.02])) for p in prims]
    return rt.render(prims, SIZE, PX_X, PX_Z, GROUND_ROW - 4, ss=ss)
