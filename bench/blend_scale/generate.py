#!/usr/bin/env python3
"""Random blended structures on square grids of plates, for kelm_blend at scale.

Each structure is an R x R grid of simply supported plates (4-neighbour adjacency), each plate
with its own size and biaxial compression, and its ply total fixed (a range T:T): the question
kelm_blend answers for it is whether these counts can be blended under the blending rules and
every plate's buckling requirements. The thickest plate has 50 to 58 plies and neighbours differ
by 2, 4 or 6 plies (by 1 to 6 with --odd, for structures whose odd totals keep a mid-plane ply).

The buckling physics is the plate example's and the choice of modes the horseshoe's: a plate
holds when every mode lambda(m, n) >= 1, the modes taken with m = 1..M, n = 1..N so that the
smallest one is always among them.

The loads make the fixed totals bind. Over the whole lamination-parameter triangle (which holds
every 0/+-45/90 laminate) the best smallest mode of a plate of T plies is an exact upper bound
for any stack of T plies. A plate's load is scaled so that this best value at its own total is
its reserve, drawn from --reserve (default 1.01 to 1.15). Every mode scales as plies^3, so the
best value at T - 2 is reserve x ((T - 2) / T)^3: below 1 for every reserve under 1.11 to 1.37
(58 to 20 plies), so the plate alone needs its full total; only thick plates with a reserve at
the top of the range could hold with 2 plies fewer. A stack of T plies must still come within
the reserve of the bound; --check=KELM_BLEND proves that for every plate (each plate alone,
fixed total) and raises the reserve of a plate that fails by 2 % until it holds.

Usage: generate.py OUT_DIR [--seed=S] [--count=40] [--sizes=3,4,5,6] [--odd]
                   [--reserve=LO:HI] [--check=KELM_BLEND]
writes OUT_DIR/grid<R>x<R>/s<NN>/structure.json, the surface files beside it (one folder per
plate, r<row>c<col>) and plates.json (each plate's size, loads, reserve and modes). Structure
s<NN> of size R depends only on the seed, R and NN, so any one can be made again alone.
"""

import json
import math
import os
import random
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "examples")
sys.path.insert(0, os.path.join(EXAMPLES, "plate"))
sys.path.insert(0, os.path.join(EXAMPLES, "horseshoe"))
from plate_buckling import MATERIAL, PLY, buckling_mode, invariants  # noqa: E402
from horseshoe_surfaces import modes_needed, write_surface  # noqa: E402

DENSITY = 0.057  # lb/in^3, graphite-epoxy
THICKEST = (50, 58)
THINNEST = 20  # below this the few plies cannot come near the triangle's bound
V0, V45, V90 = (1.0, 1.0), (0.0, -1.0), (-1.0, 1.0)


def inside_triangle(xi1, xi2):
    """Barycentric weights of V0, V45, V90 are all >= 0 (up to rounding)."""
    w0 = (xi2 + 1) / 4 + xi1 / 2
    w90 = (xi2 + 1) / 4 - xi1 / 2
    w45 = (1 - xi2) / 2
    return min(w0, w45, w90) >= -1e-12


def best_smallest_mode(modes):
    """The largest, over the triangle, of the smallest of the linear modes (c, a, b).

    The smallest of linear functions is concave and piecewise linear, so its largest over the
    triangle lies at a corner of the pieces: a vertex of the triangle, a point of an edge where
    two modes are equal, or an inner point where three are.
    """
    points = [V0, V45, V90]
    for p, q in ((V0, V45), (V45, V90), (V90, V0)):
        d = (q[0] - p[0], q[1] - p[1])
        for i in range(len(modes)):
            for j in range(i + 1, len(modes)):
                (ci, ai, bi), (cj, aj, bj) = modes[i], modes[j]
                slope = (ai - aj) * d[0] + (bi - bj) * d[1]
                if slope == 0:
                    continue
                t = -((ci - cj) + (ai - aj) * p[0] + (bi - bj) * p[1]) / slope
                if 0 <= t <= 1:
                    points.append((p[0] + t * d[0], p[1] + t * d[1]))
    for i in range(len(modes)):
        for j in range(i + 1, len(modes)):
            for k in range(j + 1, len(modes)):
                (ci, ai, bi), (cj, aj, bj), (ck, ak, bk) = modes[i], modes[j], modes[k]
                # f_i - f_j = 0 and f_i - f_k = 0, two lines in (xi1, xi2)
                a1, b1, r1 = ai - aj, bi - bj, cj - ci
                a2, b2, r2 = ai - ak, bi - bk, ck - ci
                det = a1 * b2 - a2 * b1
                if det == 0:
                    continue
                point = ((r1 * b2 - r2 * b1) / det, (a1 * r2 - a2 * r1) / det)
                if inside_triangle(*point):
                    points.append(point)
    return max(min(c + a * x + b * y for c, a, b in modes) for x, y in points)


def draw_totals(rng, size, odd):
    """Fixed totals on the grid: the thickest 50-58, neighbours 2/4/6 apart (1-6 with odd)."""
    steps = set(range(1, 7)) if odd else {2, 4, 6}
    cells = [(r, c) for r in range(size) for c in range(size)]
    while True:
        thickest = rng.choice([t for t in range(THICKEST[0], THICKEST[1] + 1) if odd or t % 2 == 0])
        totals = {rng.choice(cells): thickest}
        while len(totals) < len(cells):
            frontier = sorted({(r + dr, c + dc) for r, c in totals
                               for dr, dc in ((1, 0), (-1, 0), (0, 1), (0, -1))
                               if 0 <= r + dr < size and 0 <= c + dc < size} - set(totals))
            cell = rng.choice(frontier)
            placed = [totals[n] for n in neighbours(cell, size) if n in totals]
            allowed = [t for t in range(THINNEST, thickest + 1)
                       if (odd or t % 2 == 0) and all(abs(t - p) in steps for p in placed)]
            if not allowed:
                break
            totals[cell] = rng.choice(allowed)
        if len(totals) == len(cells):
            return totals


def neighbours(cell, size):
    r, c = cell
    return [(r + dr, c + dc) for dr, dc in ((1, 0), (-1, 0), (0, 1), (0, -1))
            if 0 <= r + dr < size and 0 <= c + dc < size]


def draw_plate(rng, u, plies, reserve_range):
    """A plate of random size and load direction, its load scaled to the drawn reserve."""
    a, b = rng.uniform(10, 30), rng.uniform(8, 24)
    angle = rng.uniform(0.1, 1.2)  # Ny / Nx from 0.1 to 2.6
    plate = {"a": round(a, 2), "b": round(b, 2), "Nx": math.cos(angle), "Ny": math.sin(angle)}
    plate["modes"] = modes_needed(u, plate)
    best = best_smallest_mode(mode_list(u, plate, plies))
    plate["reserve"] = rng.uniform(*reserve_range)
    scale(plate, best / plate["reserve"])
    return plate


def scale(plate, factor):
    plate["Nx"] *= factor
    plate["Ny"] *= factor


def mode_list(u, plate, plies):
    last_m, last_n = plate["modes"]
    return [buckling_mode(u, plate["a"], plate["b"], plate["Nx"], plate["Ny"], plies * PLY, m, n)
            for m in range(1, last_m + 1) for n in range(1, last_n + 1)]


def panel_entry(folder, name, plate, plies):
    """Write the plate's mode surfaces at its total; its entry in the structure file."""
    os.makedirs(os.path.join(folder, name), exist_ok=True)
    last_m, last_n = plate["modes"]
    u = invariants(MATERIAL)
    requirements = []
    for (m, n), coefficients in zip(((m, n) for m in range(1, last_m + 1) for n in range(1, last_n + 1)),
                                    mode_list(u, plate, plies)):
        pattern = f"{name}/mode_{m}_{n}_{{plies}}.rs"
        write_surface(os.path.join(folder, pattern.replace("{plies}", str(plies))), coefficients,
                      f"grid plate {name}, buckling mode m={m} n={n}, {plies} plies")
        requirements.append({"surface": pattern, "limit": 1.0})
    return {"name": name, "ply_weight": DENSITY * PLY * plate["a"] * plate["b"],
            "plies": f"{plies}:{plies}", "require": requirements, "rules": {"balance": True}}


def blending(odd):
    rules = {"form": "table", "covering": 1, "max_drops": 3, "totals": "even"}
    if odd:
        rules["totals"] = "mid-plane"
    return rules


def holds_alone(kelm_blend, folder, entry, odd):
    """kelm_blend proves whether the plate alone has a stack at its fixed total."""
    with tempfile.NamedTemporaryFile("w", suffix=".json", dir=folder, delete=False) as f:
        json.dump({"blending": blending(odd), "panels": [entry], "adjacent": []}, f)
    try:
        run = subprocess.run([kelm_blend, f.name], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    finally:
        os.unlink(f.name)
    if run.returncode not in (0, 2):
        sys.exit(f"generate.py: {kelm_blend} failed on a single plate: {run.stderr.strip()}")
    return run.returncode == 0


def make_structure(folder, rng, size, odd, reserve_range, kelm_blend):
    u = invariants(MATERIAL)
    totals = draw_totals(rng, size, odd)
    panels, plates = [], {}
    for r in range(size):
        for c in range(size):
            name, plies = f"r{r + 1}c{c + 1}", totals[(r, c)]
            plate = draw_plate(rng, u, plies, reserve_range)
            entry = panel_entry(folder, name, plate, plies)
            while kelm_blend and not holds_alone(kelm_blend, folder, entry, odd):
                plate["reserve"] *= 1.02
                scale(plate, 1 / 1.02)
                entry = panel_entry(folder, name, plate, plies)
            panels.append(entry)
            plates[name] = dict(plate, plies=plies, fewest_alone_at_least=fewest_bound(plies, plate["reserve"], odd))
    adjacent = [[f"r{r + 1}c{c + 1}", f"r{r + 1 + dr}c{c + 1 + dc}"]
                for r in range(size) for c in range(size) for dr, dc in ((0, 1), (1, 0))
                if r + dr < size and c + dc < size]
    structure = {"name": f"{size}x{size} grid {os.path.basename(folder)}", "blending": blending(odd),
                 "panels": panels, "adjacent": adjacent}
    with open(os.path.join(folder, "structure.json"), "w") as f:
        json.dump(structure, f, indent=1)
    with open(os.path.join(folder, "plates.json"), "w") as f:
        json.dump(plates, f, indent=1)


def fewest_bound(plies, reserve, odd):
    """The fewest plies the triangle's bound lets the plate hold with (modes scale as plies^3)."""
    step = 1 if odd else 2
    fewest = plies
    while fewest - step >= 2 and reserve * ((fewest - step) / plies) ** 3 >= 1:
        fewest -= step
    return fewest


def parse(argv):
    args = [a for a in argv if not a.startswith("--")]
    options = dict(a[2:].split("=", 1) if "=" in a else (a[2:], "") for a in argv if a.startswith("--"))
    unknown = set(options) - {"seed", "count", "sizes", "odd", "reserve", "check"}
    if len(args) != 1 or unknown:
        sys.exit("usage: " + __doc__.split("Usage: ")[1].split("\nwrites")[0])
    low, high = (float(v) for v in options.get("reserve", "1.01:1.15").split(":"))
    if not 1 <= low <= high:
        sys.exit("generate.py: --reserve=LO:HI needs 1 <= LO <= HI")
    return {"out": args[0], "seed": options.get("seed", "1"), "count": int(options.get("count", "40")),
            "sizes": [int(v) for v in options.get("sizes", "3,4,5,6").split(",")],
            "odd": "odd" in options, "reserve": (low, high), "check": options.get("check")}


def main(argv):
    o = parse(argv)
    for size in o["sizes"]:
        for index in range(1, o["count"] + 1):
            folder = os.path.join(o["out"], f"grid{size}x{size}", f"s{index:02d}")
            os.makedirs(folder, exist_ok=True)
            rng = random.Random(f"{o['seed']}:{size}:{index}:{'odd' if o['odd'] else 'even'}")
            make_structure(folder, rng, size, o["odd"], o["reserve"], o["check"])
        print(f"grid {size}x{size}: {o['count']} structures in {o['out']}/grid{size}x{size}")


if __name__ == "__main__":
    main(sys.argv[1:])
