#!/usr/bin/env python3
"""Writes the sample fiber data files in samples/.

Units: mm, mm^2 and MPa. Every section has 36 concrete and 4 steel fibers, so the
window's default counts read all of them. Run from the project root.
"""
import math

E0 = 30000.0  # MPa, C30 concrete


def grid(width, height, nx, ny, x0=0.0, y0=0.0):
    """Fibers of a width x height rectangle cut into nx x ny cells, centred at (x0, y0)."""
    dx, dy = width / nx, height / ny
    return [(x0 - width / 2 + dx * (i + 0.5), y0 - height / 2 + dy * (j + 0.5), dx * dy)
            for j in range(ny) for i in range(nx)]


def circle(diameter, rings, per_ring):
    r = diameter / 2
    fibers = []
    for k in range(rings):
        r1, r2 = r * k / rings, r * (k + 1) / rings
        area = math.pi * (r2 * r2 - r1 * r1) / per_ring
        rc = (r1 + r2) / 2
        for n in range(per_ring):
            a = 2 * math.pi * (n + 0.5) / per_ring
            fibers.append((rc * math.cos(a), rc * math.sin(a), area))
    return fibers


def bar(d):
    return math.pi * d * d / 4


def corners(ax, ay, d, x0=0.0, y0=0.0):
    return [(x0 + sx * ax, y0 + sy * ay, bar(d)) for sy in (-1, 1) for sx in (-1, 1)]


# (title in Chinese, title in ASCII, B (x extent), H (y extent), concrete, steel)
SECTIONS = [
    ("矩形柱 KZ1 400×600", "KZ1 RECT 400x600", 400, 600, grid(400, 600, 6, 6), corners(150, 250, 25)),
    ("方柱 KZ2 500×500", "KZ2 SQUARE 500x500", 500, 500, grid(500, 500, 6, 6), corners(200, 200, 22)),
    ("圆柱 YZ1 D600", "YZ1 CIRCLE D600", 600, 600, circle(600, 3, 12),
     [(240 * math.cos(a), 240 * math.sin(a), bar(25)) for a in (math.pi / 4 * k for k in (1, 3, 5, 7))]),
    ("剪力墙 Q1 1200×200", "Q1 WALL 1200x200", 1200, 200, grid(1200, 200, 18, 2), corners(550, 60, 20)),
    ("角柱 KZ3 300×300（原点在角点）", "KZ3 CORNER 300x300, origin at corner", 300, 300,
     grid(300, 300, 6, 6, 150, 150), corners(110, 110, 20, 150, 150)),
]


def area_of(s):
    return sum(f[2] for f in s[4])


def fiber_lines(s):
    lines = []
    for x, y, a in s[4]:
        lines.append(f"{x:10.3f} {y:10.3f} {a:12.4f}  1  -30.0  0.002  0.0035  0")
    for x, y, a in s[5]:
        lines.append(f"{x:10.3f} {y:10.3f} {a:10.4f}  2  400.0")
    return lines


def old_props(s):
    b, h = s[2], s[3]
    return f"{h}, {b}, {E0:.0f}"


def new_props(s):
    b, h = s[2], s[3]
    ea = E0 * area_of(s)
    eixx = E0 * sum(f[2] * f[1] ** 2 for f in s[4])
    eiyy = E0 * sum(f[2] * f[0] ** 2 for f in s[4])
    return f"{ea:.4E} {eixx:.4E} {eiyy:.4E}"


def write(name, lines, encoding="utf-8", newline="\n"):
    with open(f"samples/{name}", "w", encoding=encoding, newline="") as f:
        f.write(newline.join(lines) + newline)


def main():
    n = len(SECTIONS)
    lines = [str(n)]
    for s in SECTIONS:
        lines += [old_props(s)] + fiber_lines(s)
    write("old_no_titles.txt", lines)

    lines = [str(n)]
    for s in SECTIONS:
        lines += [f'"{s[1]}"', old_props(s)] + fiber_lines(s)
    write("old_titles.txt", lines, newline="\r\n")

    lines = [str(n)]
    for s in SECTIONS:
        lines += [s[0], new_props(s)] + fiber_lines(s)
    write("new_titles.txt", lines)

    lines = [str(n)]
    for s in SECTIONS:
        lines += [s[0], new_props(s)] + fiber_lines(s)
    write("new_titles_gbk.txt", lines, encoding="gbk", newline="\r\n")


if __name__ == "__main__":
    main()
