#!/usr/bin/env python3
"""The 18-panel horseshoe as a structure for kelm_blend: one linear buckling surface per mode,
panel and ply total, and the structure file that names them.

Each panel is a simply supported a x b plate under biaxial compression Nx (along a) and Ny
(along b), in lbf/in. A symmetric, balanced laminate of 0, +-45 and 90 deg plies buckles into
m half-waves along a and n across b at the load factor (classical laminated plate theory, D16
and D26 neglected; Whitney, "Structural Analysis of Laminated Anisotropic Plates", 1987, ch. 5)

    lambda(m, n) = pi^2 [D11 (m/a)^4 + 2 (D12 + 2 D66) (m/a)^2 (n/b)^2 + D22 (n/b)^4]
                   / [Nx (m/a)^2 + Ny (n/b)^2]

with D11 = h^3/12 (U1 + U2 xi1 + U3 xi2), D22 = h^3/12 (U1 - U2 xi1 + U3 xi2),
D12 = h^3/12 (U4 - U3 xi2), D66 = h^3/12 (U5 - U3 xi2), h = plies x ply thickness, and the
bending lamination parameters xi1 = x5, xi2 = x6: each mode is a linear surface in x5, x6. A
panel holds when every mode reaches 1.

Which modes: for each panel the script takes m = 1..M and n = 1..N and grows M and N until, at
every point of a 40-step grid over the whole lamination-parameter triangle, every mode on the
border (m = M or n = N) exceeds the smallest mode inside by at least 10 %. A mode's load
factor grows without bound with m and with n beyond the smallest, and the surfaces are linear,
so between grid points no border mode can come down to the smallest: the smallest mode is always
among those written. The ratio does not depend on the total (every mode scales with h^3), so
one choice of M, N holds for all totals of a panel.

The weight of one ply of a panel is density x ply thickness x a x b (lb), so the structure's
weight is the benchmark's weight formula.

Usage: horseshoe_surfaces.py [--odd] HORSESHOE_JSON OUT_DIR [FIRST_TOTAL LAST_TOTAL]
writes OUT_DIR/P<id>/mode_<m>_<n>_<plies>.rs for every even total from FIRST to LAST (default
12 to 48; with --odd every total, odd ones with a mid-plane ply) and OUT_DIR/structure.json
(table form, covering 1, at most 3 consecutive drops, balance per panel).
"""

import json
import math
import os
import sys

# The plate's buckling physics is the plate example's (installed beside this one).
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "plate"))
from plate_buckling import buckling_mode, invariants, triangle_grid  # noqa: E402


def mode_coefficients(u, panel, h, m, n):
    """(constant, x5, x6) of lambda(m, n) of a panel of thickness h."""
    return buckling_mode(u, panel["a"], panel["b"], panel["Nx"], panel["Ny"], h, m, n)


def modes_needed(u, panel):
    """The smallest M, N whose border modes stay 10 % above the smallest inner mode."""
    last_m, last_n = 2, 2
    while True:
        modes = {(m, n): mode_coefficients(u, panel, 1.0, m, n)
                 for m in range(1, last_m + 1) for n in range(1, last_n + 1)}
        grow_m = grow_n = False
        for xi1, xi2 in triangle_grid(40):
            value = {k: c + a * xi1 + b * xi2 for k, (c, a, b) in modes.items()}
            inner = min(v for (m, n), v in value.items() if m < last_m and n < last_n)
            grow_m |= any(v < 1.1 * inner for (m, n), v in value.items() if m == last_m)
            grow_n |= any(v < 1.1 * inner for (m, n), v in value.items() if n == last_n)
        if not grow_m and not grow_n:
            return last_m, last_n
        last_m += grow_m
        last_n += grow_n


def write_surface(path, coefficients, note):
    constant, x5, x6 = coefficients
    with open(path, "w") as out:
        out.write(f"# {note}\n0 {constant!r}\n10000 {x5!r}\n100000 {x6!r}\n")


def main(argv):
    odd = "--odd" in argv
    argv = [a for a in argv if a != "--odd"]
    if len(argv) not in (2, 4):
        sys.exit(__doc__.split("Usage: ")[1].split("\n")[0])
    data = json.load(open(argv[0]))
    out = argv[1]
    first, last = (int(argv[2]), int(argv[3])) if len(argv) == 4 else (12, 48)
    material = data["material"]
    u = invariants(material)
    panels = []
    for panel in data["panels"]:
        name = f"P{panel['id']}"
        os.makedirs(os.path.join(out, name), exist_ok=True)
        last_m, last_n = modes_needed(u, panel)
        requirements = []
        for m in range(1, last_m + 1):
            for n in range(1, last_n + 1):
                pattern = f"{name}/mode_{m}_{n}_{{plies}}.rs"
                requirements.append({"surface": pattern, "limit": 1.0})
                for plies in range(first, last + 1, 1 if odd else 2):
                    h = plies * material["ply_thickness"]
                    write_surface(os.path.join(out, pattern.replace("{plies}", str(plies))),
                                  mode_coefficients(u, panel, h, m, n),
                                  f"horseshoe panel {panel['id']}, buckling mode m={m} n={n}, {plies} plies")
        weight = material["density"] * material["ply_thickness"] * panel["a"] * panel["b"]
        panels.append({"name": name, "ply_weight": weight, "plies": f"{first}:{last}",
                       "require": requirements, "rules": {"balance": True}})
        print(f"{name}: modes m <= {last_m - 1}, n <= {last_n - 1} inside, border m = {last_m}, n = {last_n}")
    structure = {
        "name": data["name"],
        "blending": {"form": "table", "covering": 1, "max_drops": 3, "totals": "mid-plane" if odd else "even"},
        "panels": panels,
        "adjacent": [[f"P{a}", f"P{b}"] for a, b in data["adjacent"]],
    }
    with open(os.path.join(out, "structure.json"), "w") as f:
        json.dump(structure, f, indent=1)


if __name__ == "__main__":
    main(sys.argv[1:])
