#!/usr/bin/env python3
"""An independent model of the texture mappers, used to work out expected
values for tests/raster. Python floats are IEEE doubles with round-to-nearest,
so the double arithmetic below gives the same bits as the C++ code compiled
without contraction. The model is written plainly, pixel by pixel: texel
columns are floor(U / 65536), with no address stepping.

It covers inputs inside the mappers' contract only (no clamping).

    python3 reference_model.py     prints the values used by the tests
"""
import math

M32 = 1 << 32


def s32(x):
    x %= M32
    return x - M32 if x >= 1 << 31 else x


def trunc(x):
    return int(math.trunc(x))


def ceil_div_row(xs, dx, dy, k):
    # ceil(xs + k * dx / dy), the walker's column on row k of an edge
    return xs + -((-k * dx) // dy)


class Walk:
    """One boundary chain from the top vertex to the bottom vertex."""

    def __init__(self, pts, top, bottom, direction):
        self.rows = {}  # y -> vertex pair and row index on that edge
        n = len(pts)
        s = top
        while s != bottom:
            e = (s + direction) % n
            dy = pts[e][1] - pts[s][1]
            for k in range(dy):
                self.rows[pts[s][1] + k] = (s, e, k, dy)
            s = e


def rasterize(pts, tex, zs, persp, depth, clip, stamp=0, run=32):
    """Returns {(x, y): (u_col, v_row, depth_word or None)} for the drawn
    pixels (ignoring depth tests against older words)."""
    n = len(pts)
    top = bottom = 0
    for i in range(1, n):
        if pts[i][1] < pts[top][1]:
            top = i
        elif pts[i][1] > pts[bottom][1]:
            bottom = i
    cminx, cmaxx, cminy, cmaxy = clip
    out = {}
    if pts[top][1] == pts[bottom][1]:
        return out
    back = Walk(pts, top, bottom, -1)
    fwd = Walk(pts, top, bottom, +1)

    def edge_values(walk, y):
        s, e, k, dy = walk.rows[y]
        xs, ys = pts[s]
        xe, ye = pts[e]
        x = ceil_div_row(xs, xe - xs, dy, k)
        if persp:
            ws = abs(1.0 / zs[s])
            we = abs(1.0 / zs[e])
            r = 1.0 / dy
            uz, vz, w = tex[s][0] * ws, tex[s][1] * ws, ws
            su = (tex[e][0] * we - tex[s][0] * ws) * r
            sv = (tex[e][1] * we - tex[s][1] * ws) * r
            sw = (we - ws) * r
            for _ in range(k):  # accumulated row by row, as the walker does
                uz += su
                vz += sv
                w += sw
            return x, (uz, vz, w)
        U = tex[s][0] * 65536 + k * s32(int((tex[e][0] * 65536 - tex[s][0] * 65536) / dy))
        V = tex[s][1] * 65536 + k * s32(int((tex[e][1] * 65536 - tex[s][1] * 65536) / dy))
        D = 0
        if depth:
            Ds = trunc(abs(1.0 / zs[s]) * 16777216)
            De = trunc(abs(1.0 / zs[e]) * 16777216)
            D = Ds + k * int((De - Ds) / dy)
        return x, (s32(U), s32(V), D)

    for y in range(pts[top][1], min(pts[bottom][1], cmaxy + 1)):
        if y < cminy:
            continue
        bx, bv = edge_values(back, y)
        fx, fv = edge_values(fwd, y)
        if depth:
            (lx, lv), (rx, rv) = sorted([(bx, bv), (fx, fv)], key=lambda t: t[0])
            if lx == rx:
                continue
        else:
            if fx <= bx:
                continue
            (lx, lv), (rx, rv) = (bx, bv), (fx, fv)
        width = rx - lx
        x0, x1 = lx, rx
        if x1 < cminx:
            continue
        if x1 > cmaxx:
            x1 = cmaxx + 1
        if x0 > cmaxx:
            continue
        skip = max(0, cminx - x0)
        x0 += skip
        count = x1 - x0
        if count <= 0:
            continue
        if persp:
            rw = 1.0 / width
            gu = (rv[0] - lv[0]) * rw
            gv = (rv[1] - lv[1]) * rw
            gw = (rv[2] - lv[2]) * rw
            uz, vz, w = lv
            if skip:
                uz += skip * gu
                vz += skip * gv
                w += skip * gw
            G = trunc(gw * 16777216)
            x = x0
            while count > 0:
                L = min(run, count)
                w0 = w
                w1 = w0 + gw * L
                ua = uz / w0
                uz += gu * L
                ub = uz / w1
                du = (ub - ua) * (1.0 / L)
                va = vz / w0
                vz += gv * L
                vb = vz / w1
                dv = (vb - va) * (1.0 / L)
                w = w1
                du16, dv16 = trunc(du * 65536), trunc(dv * 65536)
                U = trunc(ua * 65536) + (du16 >> 1) + 0x8000
                V = trunc(va * 65536) + (dv16 >> 1) + 0x8000
                D = trunc(w0 * 16777216)
                for i in range(L):
                    z = (D + stamp + i * G) % M32 if depth else None
                    out[(x + i, y)] = ((U + i * du16) >> 16, (V + i * dv16) >> 16, z)
                x += L
                count -= L
        else:
            du = int((rv[0] - lv[0]) / width)
            dv = int((rv[1] - lv[1]) / width)
            dd = int((rv[2] - lv[2]) / width) if depth else 0
            U = lv[0] + (du >> 1) + skip * du + 0x8000
            V = lv[1] + (dv >> 1) + skip * dv + 0x8000
            D = lv[2] + skip * dd
            for i in range(count):
                z = (D + stamp + i * dd) % M32 if depth else None
                out[(x0 + i, y)] = (s32(U + i * du) >> 16, s32(V + i * dv) >> 16, z)
    return out


def show(name, d, keys):
    print(name, [d[k] for k in keys])


if __name__ == "__main__":
    full = (0, 639, 0, 479)
    sq = [(0, 0), (64, 0), (64, 64), (0, 64)]
    sqt = [(0, 0), (63, 0), (63, 63), (0, 63)]
    tilted = [64.0, 128.0, 128.0, 64.0]
    for persp in (True, False):
        d = rasterize(sq, sqt, tilted, persp, True, full)
        show("tilted row 10 persp=%d u:" % persp, {k: v[0] for k, v in d.items()},
             [(c, 10) for c in range(0, 64, 8)])
        show("tilted row 10 persp=%d depth:" % persp, {k: hex(v[2]) for k, v in d.items()},
             [(0, 10), (32, 10), (63, 10)])

    # A 70-pixel perspective span over a wide one-row texture: runs 32/32/6.
    wide = [(0, 0), (70, 0), (70, 2), (0, 2)]
    widet = [(0, 0), (8191, 0), (8191, 0), (0, 0)]
    d = rasterize(wide, widet, tilted, True, False, full)
    print("runs 70:", [d[(c, 0)][0] for c in range(70)])
    # The same span clipped at column 20.
    d = rasterize(wide, widet, tilted, True, False, (20, 639, 0, 479))
    print("runs 70 clipped at 20:", [d[(c, 0)][0] for c in range(20, 70)])
    # Exactly 32 pixels.
    w32 = [(0, 0), (32, 0), (32, 2), (0, 2)]
    d = rasterize(w32, widet, tilted, True, False, full)
    print("runs 32:", [d[(c, 0)][0] for c in range(32)])
