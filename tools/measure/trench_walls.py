#!/usr/bin/python3
"""Mean luminance of a trench's walls that face away from the sun, over that
of the untouched grass around the trench, measured on a picture.

usage: trench_walls.py PICTURE.bmp GROUND.txt EXERCISE.json [SUN_X,SUN_Y,SUN_Z]

GROUND.txt is what `kelvarro-scenario --exercise ... --picture-ground` writes
beside the picture: the view and the drawn ground's columns. The pixels come
from that geometry alone: a wall cell is a ground cell within the trench's
outline that is steep and turned from the sun; the grass is the flat cells,
no corner of them soil, 1 to 3 m outside the outline. Cells turned from the
eye are left out, and so are points that the ground hides from the eye or
that lie within 4 pixels of the outline's marking. Luminance is Rec. 709's
weighting of the picture's own values.
"""
import json
import math
import sys

import numpy as np
from PIL import Image

VOXEL = 0.34375


def fail(message):
    print("[trench_walls] " + message, file=sys.stderr)
    sys.exit(1)


def read_ground(path):
    view, columns = {}, {}
    with open(path) as f:
        for line in f:
            words = line.split()
            if not words:
                continue
            if words[0] == "fovy":
                view["fovy"], view["aspect"] = float(words[1]), float(words[3])
            elif words[0] in ("eye", "center", "up"):
                view[words[0]] = np.array([float(w) for w in words[1:4]])
            elif words[0] == "column":
                x, y, z = (float(w) for w in words[1:4])
                columns[(round((x + 88.0) / VOXEL), round((z + 88.0) / VOXEL))] = (x, y, z, words[4] == "1")
    if set(view) != {"fovy", "aspect", "eye", "center", "up"} or not columns:
        fail("%s has no view or no columns" % path)
    return view, columns


def projector(view, width, height):
    f = view["center"] - view["eye"]
    f /= np.linalg.norm(f)
    s = np.cross(f, view["up"])
    s /= np.linalg.norm(s)
    u = np.cross(s, f)
    t = 1.0 / math.tan(math.radians(view["fovy"]) / 2.0)

    def project(p):
        d = p - view["eye"]
        x, y, z = d @ s, d @ u, -(d @ f)
        if z >= -1e-6:
            return None
        nx, ny = t / view["aspect"] * x / -z, t * y / -z
        return (nx + 1.0) / 2.0 * width, (1.0 - ny) / 2.0 * height

    return project


def main():
    if len(sys.argv) not in (4, 5):
        fail("usage: trench_walls.py PICTURE.bmp GROUND.txt EXERCISE.json [SUN_X,SUN_Y,SUN_Z]")
    picture = np.asarray(Image.open(sys.argv[1]).convert("RGB"), dtype=float)
    luminance = picture @ np.array([0.2126, 0.7152, 0.0722])
    height, width = luminance.shape
    view, columns = read_ground(sys.argv[2])
    target = json.load(open(sys.argv[3]))["target"]
    sun = np.array([float(v) for v in (sys.argv[4] if len(sys.argv) == 5 else "-30,300,-300").split(",")])
    project = projector(view, width, height)

    # The trench's frame: along its length (u) and across it (v).
    heading = math.radians(target["heading_deg"])
    centre = np.array([target["x"], target["z"]])
    along, across = np.array([math.cos(heading), -math.sin(heading)]), np.array([math.sin(heading), math.cos(heading)])
    half = np.array([target["length"], target["width"]]) / 2.0

    def outside(x, z):  # distance outside the outline, 0 within
        d = np.array([x, z]) - centre
        du, dv = abs(d @ along) - half[0], abs(d @ across) - half[1]
        return math.hypot(max(du, 0.0), max(dv, 0.0))

    def ground_height(x, z):
        gx, gz = (x + 88.0) / VOXEL, (z + 88.0) / VOXEL
        ix, iz = math.floor(gx), math.floor(gz)
        try:
            c = [columns[(ix + a, iz + b)][1] for a in (0, 1) for b in (0, 1)]
        except KeyError:
            return None
        fx, fz = gx - ix, gz - iz
        return (c[0] * (1 - fx) + c[2] * fx) * (1 - fz) + (c[1] * (1 - fx) + c[3] * fx) * fz

    def seen(p):  # no ground between the point and the eye
        d = view["eye"] - p
        steps = int(np.linalg.norm(d) / 0.05)
        for k in range(2, steps):
            q = p + d * (k / steps)
            h = ground_height(q[0], q[2])
            if h is None or q[1] > h + 3.0:
                return True
            if q[1] < h - 0.01:
                return False
        return True

    # The outline's marking: its edges at the ground's height, in pixels.
    corners = [centre + sa * half[0] * along + sb * half[1] * across for sa, sb in ((-1, -1), (1, -1), (1, 1), (-1, 1))]
    mark = []
    for k in range(4):
        a, b = corners[k], corners[(k + 1) % 4]
        for t in np.linspace(0.0, 1.0, 60):
            x, z = a + (b - a) * t
            h = ground_height(x, z)
            for lift in (0.0, 0.3, 0.6) if t in (0.0, 1.0) else (0.0,):
                if h is not None:
                    p = project(np.array([x, h + lift, z]))
                    if p:
                        mark.append(p)
    mark = np.array(mark)

    def pixels(cell_points):
        out = []
        for p in cell_points:
            xy = project(p)
            if xy is None or not (0 <= xy[0] < width and 0 <= xy[1] < height):
                continue
            if len(mark) and np.min(np.hypot(mark[:, 0] - xy[0], mark[:, 1] - xy[1])) < 4.0:
                continue
            if seen(p):
                out.append((int(xy[1]), int(xy[0])))
        return out

    wall, grass = set(), set()
    for (ix, iz), c00 in columns.items():
        quad = [columns.get(k) for k in ((ix, iz), (ix + 1, iz), (ix, iz + 1), (ix + 1, iz + 1))]
        if None in quad:
            continue
        p = [np.array(q[:3]) for q in quad]
        mid = sum(p) / 4.0
        normal = np.cross(p[2] - p[1], p[3] - p[0])
        normal *= (1.0 if normal[1] > 0 else -1.0) / np.linalg.norm(normal)
        if normal @ (view["eye"] - mid) <= 0.0:
            continue
        where = outside(mid[0], mid[2])
        points = [(p[0] * (1 - a) + p[1] * a) * (1 - b) + (p[2] * (1 - a) + p[3] * a) * b
                  for a in np.linspace(0.2, 0.8, 4) for b in np.linspace(0.2, 0.8, 4)]
        if where < 0.2 and normal[1] < 0.7 and normal @ (sun - mid) < 0.0:
            wall.update(pixels(points))
        elif 1.0 <= where <= 3.0 and normal[1] > 0.95 and not any(q[3] for q in quad):
            grass.update(pixels(points))
    if len(wall) < 20 or len(grass) < 20:
        fail("too few pixels: %d of the walls, %d of the grass" % (len(wall), len(grass)))
    w = np.mean([luminance[r, c] for r, c in wall])
    g = np.mean([luminance[r, c] for r, c in grass])
    print("walls turned from the sun: %d pixels, mean luminance %.1f" % (len(wall), w))
    print("grass around the trench:   %d pixels, mean luminance %.1f" % (len(grass), g))
    print("ratio %.3f" % (w / g))


try:
    main()
except (OSError, ValueError, KeyError) as error:
    fail("cannot measure: %s" % error)
