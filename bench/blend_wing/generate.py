#!/usr/bin/env python3
"""A wing cover of many blended panels for kelm_blend: a grid of stringer bays (chordwise rows)
by rib bays (spanwise columns), each a simply supported plate between two ribs and two
stringers under biaxial compression, thickest at the root and thinning to the tip.

The spanwise running load follows the wing's bending moment, which falls roughly with the
square of the distance from the tip: Nx(y) = Nroot (1 - 0.9 y)^2 for y from 0 (root) to 1
(tip), a little more at the front and rear spar than mid-chord, and every panel drawn within
+-8 % of it; the chordwise load Ny is 10 to 30 % of Nx. The root is scaled so that its panels
need about 40 plies and the tip ones about 12 (the lamination-parameter triangle's bound of
the smallest mode, which grows as plies^3), within 10 % to spare. Each panel may take every even total from 4 below
the fewest that bound allows up to 10 above it; a panel's buckling surfaces (one per mode, the
modes chosen as for the horseshoe) are written for each of them.

Usage: generate.py OUT_DIR [--rows=5] [--columns=10] [--seed=1]
writes OUT_DIR/structure.json (table form, covering 1, at most 3 consecutive drops, balance per
panel, even totals) and one folder of surfaces per panel (r<row>c<column>). The same arguments
give the same structure.
"""

import json
import math
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "blend_scale"))
from generate import DENSITY, MATERIAL, PLY, best_smallest_mode, invariants, mode_list, modes_needed, write_surface  # noqa: E402

ROOT_PLIES, TIP_PLIES = 40, 12
RIB_PITCH, STRINGER_PITCH = 24.0, 8.0  # inches


def spanwise_load(y, row, rows):
    """The bending moment's share at span station y, higher near the spars (the cover's edges)."""
    edge = abs(2 * row / max(rows - 1, 1) - 1)  # 0 mid-chord, 1 at a spar
    return (1 - 0.9 * y) ** 2 * (1 + 0.1 * edge)


def draw_panel(rng, u, row, column, rows, columns):
    y = column / max(columns - 1, 1)
    plate = {"a": RIB_PITCH * rng.uniform(0.95, 1.05), "b": STRINGER_PITCH * rng.uniform(0.95, 1.05)}
    nx = spanwise_load(y, row, rows) * rng.uniform(0.92, 1.08)
    plate.update(Nx=nx, Ny=nx * rng.uniform(0.1, 0.3))
    plate["modes"] = modes_needed(u, plate)
    # Scaled so the root's panels need about ROOT_PLIES and the tip's at least TIP_PLIES: the
    # thickness follows the load's cube root, as the modes grow with plies^3.
    wanted = max(TIP_PLIES, ROOT_PLIES * (spanwise_load(y, row, rows) / spanwise_load(0, row, rows)) ** (1 / 3))
    best = best_smallest_mode(mode_list(u, plate, wanted))
    factor = best / rng.uniform(1.0, 1.1)
    plate["Nx"] *= factor
    plate["Ny"] *= factor
    return plate


def fewest_plies(u, plate):
    """The fewest even total the triangle's bound lets the plate hold with."""
    plies = 2
    while best_smallest_mode(mode_list(u, plate, plies)) < 1:
        plies += 2
    return plies


def panel_entry(folder, name, u, plate):
    fewest = fewest_plies(u, plate)
    first, last = max(4, fewest - 4), fewest + 10
    os.makedirs(os.path.join(folder, name), exist_ok=True)
    last_m, last_n = plate["modes"]
    modes = [(m, n) for m in range(1, last_m + 1) for n in range(1, last_n + 1)]
    for plies in range(first, last + 1, 2):
        for (m, n), coefficients in zip(modes, mode_list(u, plate, plies)):
            write_surface(os.path.join(folder, name, f"mode_{m}_{n}_{plies}.rs"), coefficients,
                          f"wing cover panel {name}, buckling mode m={m} n={n}, {plies} plies")
    return {"name": name, "ply_weight": DENSITY * PLY * plate["a"] * plate["b"], "plies": f"{first}:{last}",
            "require": [{"surface": f"{name}/mode_{m}_{n}_{{plies}}.rs", "limit": 1.0} for m, n in modes],
            "rules": {"balance": True}}


def make_cover(folder, rows, columns, seed):
    rng = random.Random(f"wing:{rows}x{columns}:{seed}")
    u = invariants(MATERIAL)
    panels = []
    for row in range(rows):
        for column in range(columns):
            plate = draw_panel(rng, u, row, column, rows, columns)
            panels.append(panel_entry(folder, f"r{row + 1}c{column + 1}", u, plate))
    adjacent = [[f"r{r + 1}c{c + 1}", f"r{r + 1 + dr}c{c + 1 + dc}"]
                for r in range(rows) for c in range(columns) for dr, dc in ((0, 1), (1, 0))
                if r + dr < rows and c + dc < columns]
    structure = {"name": f"wing cover {rows}x{columns} seed {seed}",
                 "blending": {"form": "table", "covering": 1, "max_drops": 3, "totals": "even"},
                 "panels": panels, "adjacent": adjacent}
    with open(os.path.join(folder, "structure.json"), "w") as f:
        json.dump(structure, f, indent=1)


def main(argv):
    args = [a for a in argv if not a.startswith("--")]
    options = dict(a[2:].split("=", 1) for a in argv if a.startswith("--") and "=" in a)
    if len(args) != 1 or set(options) - {"rows", "columns", "seed"}:
        sys.exit("usage: " + __doc__.split("Usage: ")[1].split("\nwrites")[0])
    rows, columns = int(options.get("rows", "5")), int(options.get("columns", "10"))
    os.makedirs(args[0], exist_ok=True)
    make_cover(args[0], rows, columns, options.get("seed", "1"))
    print(f"wing cover {rows} x {columns} in {args[0]}")


if __name__ == "__main__":
    main(sys.argv[1:])
