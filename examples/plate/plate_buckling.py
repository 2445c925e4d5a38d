#!/usr/bin/env python3
"""Linear response surfaces of a simply supported rectangular plate under biaxial compression:
one surface per buckling mode, for each ply total, for kelm_alt --skin-only.

A symmetric, balanced laminate of 0, +-45 and 90 deg plies is specially orthotropic in bending
(the +-45 pairs' D16, D26 are neglected, as is usual for this plate). A simply supported plate
a x b under Nx, Ny (compression positive) buckles into m half-waves along a and n across b at
the load factor (Whitney, "Structural Analysis of Laminated Anisotropic Plates", 1987, ch. 5;
Jones, "Mechanics of Composite Materials", 2nd ed., 1999, sec. 5.5):

    lambda(m, n) = pi^2 [D11 (m/a)^4 + 2 (D12 + 2 D66) (m/a)^2 (n/b)^2 + D22 (n/b)^4]
                   / [(m/a)^2 Nx + (n/b)^2 Ny]

and the plate buckles at the smallest over (m, n). The bending stiffnesses are linear in the
bending lamination parameters xi1 = x5 (cos 2 theta) and xi2 = x6 (cos 4 theta), with the
laminate thickness h = plies * t and the material invariants U1..U5 (Tsai and Pagano, 1968):

    D11 = h^3/12 (U1 + U2 xi1 + U3 xi2)      D22 = h^3/12 (U1 - U2 xi1 + U3 xi2)
    D12 = h^3/12 (U4 - U3 xi2)               D66 = h^3/12 (U5 - U3 xi2)

so each lambda(m, n) is a linear surface in x5, x6 whose coefficients grow as plies^3: the
surfaces depend on the total, hence one file per total, mode_M_N_{plies}.rs. The objective is
the smallest of them (the first with --min-of= for the rest); sizing asks each to reach 1.

Usage: plate_buckling.py OUT_DIR FIRST_TOTAL LAST_TOTAL [--load=NX,NY] [--modes=M,N]
writes OUT_DIR/mode_M_N_T.rs for m = 1..M, n = 1..N and T = FIRST..LAST, and
OUT_DIR/modes.txt, the kelm_alt --min-of= options that name all but the first. A mode's load
factor grows with m and n beyond the few smallest; the script checks that the smallest mode is
never at m = M or n = N over a grid of the whole lamination-parameter triangle (the surfaces
are linear in x5, x6, so their smallest is piecewise linear and the grid's finest cell decides
nothing between modes that are not at the border) and otherwise asks for more modes.
"""

import itertools
import math
import os
import sys

# Graphite-epoxy (T300/5208) in lb and in: E1, E2, G12, nu12; ply thickness.
MATERIAL = {"E1": 18.5e6, "E2": 1.89e6, "G12": 0.93e6, "nu12": 0.3}
PLY = 0.005
A, B = 20.0, 5.0  # plate length and width, in


def invariants(material):
    """U1..U5 of a ply's reduced stiffnesses (material: E1, E2, G12, nu12)."""
    e1, e2, g12, nu12 = material["E1"], material["E2"], material["G12"], material["nu12"]
    nu21 = nu12 * e2 / e1
    q = 1.0 - nu12 * nu21
    q11, q22, q12, q66 = e1 / q, e2 / q, nu12 * e2 / q, g12
    u1 = (3 * q11 + 3 * q22 + 2 * q12 + 4 * q66) / 8
    u2 = (q11 - q22) / 2
    u3 = (q11 + q22 - 2 * q12 - 4 * q66) / 8
    u4 = (q11 + q22 + 6 * q12 - 4 * q66) / 8
    u5 = (q11 + q22 - 2 * q12 + 4 * q66) / 8
    return u1, u2, u3, u4, u5


def buckling_mode(u, a, b, nx, ny, h, m, n):
    """(constant, x5, x6) of lambda(m, n) of an a x b plate of thickness h under nx, ny."""
    u1, u2, u3, u4, u5 = u
    p, r = (m / a) ** 2, (n / b) ** 2
    scale = math.pi ** 2 * h ** 3 / 12.0 / (nx * p + ny * r)
    # D11 p^2 + 2 (D12 + 2 D66) p r + D22 r^2, term by term in 1, xi1, xi2.
    constant = u1 * p * p + 2 * (u4 + 2 * u5) * p * r + u1 * r * r
    xi1 = u2 * p * p - u2 * r * r
    xi2 = u3 * p * p - 6 * u3 * p * r + u3 * r * r
    return scale * constant, scale * xi1, scale * xi2


def mode_coefficients(plies, m, n, nx, ny):
    """(constant, x5, x6) of lambda(m, n) for a laminate of `plies` plies of this plate."""
    return buckling_mode(invariants(MATERIAL), A, B, nx, ny, plies * PLY, m, n)


def triangle_grid(steps=20):
    """Points of the lamination-parameter triangle V0 (1, 1), V45 (0, -1), V90 (-1, 1)."""
    for i in range(steps + 1):
        for j in range(steps + 1 - i):
            a, b = i / steps, j / steps
            yield a - (1 - a - b), a - b + (1 - a - b)


def check_modes(plies, modes, nx, ny):
    """The smallest mode never lies at the border m = M or n = N of the modes written."""
    last_m, last_n = modes
    surfaces = {(m, n): mode_coefficients(plies, m, n, nx, ny)
                for m in range(1, last_m + 1) for n in range(1, last_n + 1)}
    for xi1, xi2 in triangle_grid():
        values = {k: c + a * xi1 + b * xi2 for k, (c, a, b) in surfaces.items()}
        m, n = min(values, key=values.get)
        if (m == last_m and last_m > 1) or (n == last_n and last_n > 1):
            sys.exit(f"plate_buckling.py: at xi = ({xi1:.2f}, {xi2:.2f}) the smallest mode is "
                     f"m={m}, n={n}; give more modes than --modes={last_m},{last_n}")


def write_surface(path, plies, m, n, coefficients):
    constant, x5, x6 = coefficients
    with open(path, "w") as out:
        out.write(f"# buckling load factor, mode m={m} n={n}, {plies} plies, "
                  f"plate {A} x {B} in\n")
        out.write(f"0 {constant!r}\n10000 {x5!r}\n100000 {x6!r}\n")


def main(argv):
    args = [a for a in argv if not a.startswith("--")]
    options = dict(a[2:].split("=", 1) for a in argv if a.startswith("--") and "=" in a)
    if len(args) != 3:
        sys.exit(__doc__.split("Usage: ")[1].split("\n")[0])
    out, first, last = args[0], int(args[1]), int(args[2])
    nx, ny = (float(v) for v in options.get("load", "1,0.5").split(","))
    modes = tuple(int(v) for v in options.get("modes", "8,2").split(","))
    os.makedirs(out, exist_ok=True)
    for plies in range(first, last + 1):
        check_modes(plies, modes, nx, ny)
        for m, n in itertools.product(range(1, modes[0] + 1), range(1, modes[1] + 1)):
            write_surface(os.path.join(out, f"mode_{m}_{n}_{plies}.rs"), plies, m, n,
                          mode_coefficients(plies, m, n, nx, ny))
    names = [f"mode_{m}_{n}_{{plies}}.rs"
             for m, n in itertools.product(range(1, modes[0] + 1), range(1, modes[1] + 1))]
    with open(os.path.join(out, "modes.txt"), "w") as listing:
        listing.write(" ".join(f"--min-of={out}/{name}" for name in names[1:]) + "\n")
    print(f"{len(names)} modes x {last - first + 1} totals written to {out}")


if __name__ == "__main__":
    main(sys.argv[1:])
