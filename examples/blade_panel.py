"""Closed-form model of a blade-stiffened panel under axial compression.

A quick stand-in for a finite-element analysis when trying the response-surface workflow:
it turns the eight lamination parameters of a design (skin and blade, both symmetric and
balanced laminates of 0, +-45 and 90 degree plies) into three load factors, failure load
divided by applied load, so larger is better.

    /usr/bin/python3 examples/blade_panel.py PLAN.csv [--out=FILE.csv]

reads a CSV whose header has x1..x8, skin_plies and stiffener_plies, and writes it back (to
FILE.csv or standard output) with the columns skin_buckling, blade_buckling, strain, minimum
and ks filled in or appended; an empty `response` column is filled with ks.

Variables, in the response-surface file's order: x1, x2 skin in-plane xiA1 = mean cos 2theta,
xiA2 = mean cos 4theta; x3, x4 the same for the blade; x5, x6 skin bending xiD1, xiD2; x7, x8
blade bending. Balanced laminates have no +-45 sign term, so A16 = A26 = D16 = D26 = 0.

Material (defaults of BladePanel): carbon/epoxy, E1 = 138 GPa, E2 = 9 GPa, G12 = 7.1 GPa,
nu12 = 0.30, ply 0.125 mm. Units are N and mm throughout (stiffness in MPa).
Geometry and load: stiffener pitch b = 125 mm (skin width between blades), blade height
h_b = 40 mm, frame pitch a = 500 mm (buckling length), running load N = 675 N/mm of panel
width, allowable compressive strain 0.0045, KS aggregation rho = 50.

Stiffness (Tsai & Pagano invariants; Jones, Mechanics of Composite Materials, sec. 2.9 and
4.5) from the reduced stiffnesses Q11 = E1/(1 - nu12 nu21), Q22 = E2/(1 - nu12 nu21),
Q12 = nu12 Q22, Q66 = G12:
    U1 = (3Q11 + 3Q22 + 2Q12 + 4Q66)/8   U2 = (Q11 - Q22)/2   U3 = (Q11 + Q22 - 2Q12 - 4Q66)/8
    U4 = (Q11 + Q22 + 6Q12 - 4Q66)/8     U5 = (Q11 + Q22 - 2Q12 + 4Q66)/8
    A11 = h(U1 + U2 xi1 + U3 xi2)   A22 = h(U1 - U2 xi1 + U3 xi2)
    A12 = h(U4 - U3 xi2)            A66 = h(U5 - U3 xi2)
and D alike with h^3/12 and the bending parameters.

Load sharing: skin and blade take the same axial strain (a stiffener bay acts as one beam),
    eps = N b / (b Ex_skin + h_b Ex_blade),   Ex = A11 - A12^2/A22,
the membrane stiffness of a laminate free to contract sideways.

1. Skin buckling between blades: orthotropic plate a x b, all edges simply supported,
   uniaxial compression (Whitney, Structural Analysis of Laminated Anisotropic Plates, ch. 5;
   Jones sec. 5.5), minimised over the number m of half-waves along a:
       N_cr = pi^2/b^2 min_m [D11 (m b/a)^2 + 2(D12 + 2 D66) + D22 (a/(m b))^2]
   (the long-plate limit is 2 pi^2/b^2 (sqrt(D11 D22) + D12 + 2 D66)); factor N_cr / (eps Ex).
2. Blade local buckling: long plate with the edge at the skin simply supported and the other
   free (Kassapoglou, Design and Analysis of Composite Structures, buckling of plates with a
   free edge):  N_cr = 12 D66/h_b^2 + pi^2 D11/a^2; factor N_cr / (eps Ex).
3. Strain: allowable strain / eps.
The minimum of the three, and the Kreisselmeier-Steinhauser smooth minimum
    KS = g_min - ln(sum_i exp(-rho (g_i - g_min))) / rho,
a differentiable lower bound within ln(3)/rho of the minimum, suited to fitting a surface.
"""

import argparse
import csv
import io
import sys
from dataclasses import dataclass

import numpy as np

FACTORS = ("skin_buckling", "blade_buckling", "strain", "minimum", "ks")


@dataclass(frozen=True)
class BladePanel:
    e1: float = 138e3              # MPa
    e2: float = 9e3
    g12: float = 7.1e3
    nu12: float = 0.30
    ply_thickness: float = 0.125   # mm
    stiffener_pitch: float = 125.0  # b, skin width between blades
    blade_height: float = 40.0
    frame_pitch: float = 500.0     # a, panel length between frames
    load: float = 675.0            # N/mm of panel width, compressive
    allowable_strain: float = 0.0045
    rho: float = 50.0

    def __post_init__(self):
        for name, value in vars(self).items():
            if name != "nu12" and not value > 0:
                raise ValueError(f"BladePanel.{name} must be positive, got {value!r}")
        if not 0 <= self.nu12 ** 2 * self.e2 / self.e1 < 1:
            raise ValueError("BladePanel: nu12 gives a material with no positive stiffness")

    def invariants(self):
        """U1..U5 of the ply from its reduced stiffnesses."""
        d = 1 - self.nu12 ** 2 * self.e2 / self.e1
        q11, q22, q66 = self.e1 / d, self.e2 / d, self.g12
        q12 = self.nu12 * q22
        return ((3 * q11 + 3 * q22 + 2 * q12 + 4 * q66) / 8, (q11 - q22) / 2,
                (q11 + q22 - 2 * q12 - 4 * q66) / 8, (q11 + q22 + 6 * q12 - 4 * q66) / 8,
                (q11 + q22 - 2 * q12 + 4 * q66) / 8)


def stiffness(xi1, xi2, scale, u):
    """(11, 22, 12, 66) terms: scale h gives A, h^3/12 gives D."""
    u1, u2, u3, u4, u5 = u
    return (scale * (u1 + u2 * xi1 + u3 * xi2), scale * (u1 - u2 * xi1 + u3 * xi2),
            scale * (u4 - u3 * xi2), scale * (u5 - u3 * xi2))


def simply_supported_buckling(d11, d22, d12, d66, a, b):
    """Uniaxial buckling load per unit width of a simply supported a x b orthotropic plate.

    The bracket is convex in m, so the best whole number of half-waves is next to the
    continuous optimum m* = (a/b)(D22/D11)^(1/4)."""
    def bracket(m):
        r = (m * b / a) ** 2
        return d11 * r + 2 * (d12 + 2 * d66) + d22 / r
    m = np.maximum(np.floor(a / b * (d22 / d11) ** 0.25), 1)
    return np.pi ** 2 / b ** 2 * np.minimum(bracket(m), bracket(m + 1))


def _feasible(xi1, xi2):
    # Any stack of plies has |xi1| <= 1 and 2 xi1^2 - 1 <= xi2 <= 1; outside this region the
    # stiffnesses can turn negative and the load factors would be meaningless or NaN.
    tol = 1e-6
    return (np.abs(xi1) <= 1 + tol) & (xi2 <= 1 + tol) & (xi2 >= 2 * xi1 ** 2 - 1 - tol)


def load_factors(x, skin_plies, stiffener_plies, panel=BladePanel()):
    """Load factors of one design (x of shape (8,): numpy scalars) or many ((N, 8): arrays)."""
    x = np.asarray(x, dtype=float)
    if x.ndim not in (1, 2) or x.shape[-1] != 8:
        raise ValueError(f"lamination parameters must have shape (8,) or (N, 8), not {x.shape}")
    single = x.ndim == 1
    x = np.atleast_2d(x)
    plies = [np.broadcast_to(np.asarray(p, dtype=float), x.shape[:1])
             for p in (skin_plies, stiffener_plies)]
    bad = ~np.all(np.isfinite(x), axis=1)
    for p in plies:
        bad |= ~(p > 0)
    for i, j in ((0, 1), (2, 3), (4, 5), (6, 7)):
        bad |= ~_feasible(x[:, i], x[:, j])
    if bad.any():
        raise ValueError("ply totals that are not positive or lamination parameters no laminate "
                         f"can have, in designs {np.flatnonzero(bad).tolist()} (from 0)")

    u = panel.invariants()
    h_skin, h_blade = plies[0] * panel.ply_thickness, plies[1] * panel.ply_thickness
    a11, a22, a12, _ = stiffness(x[:, 0], x[:, 1], h_skin, u)
    ex_skin = a11 - a12 ** 2 / a22
    a11, a22, a12, _ = stiffness(x[:, 2], x[:, 3], h_blade, u)
    ex_blade = a11 - a12 ** 2 / a22
    b, hb, a = panel.stiffener_pitch, panel.blade_height, panel.frame_pitch
    strain = panel.load * b / (b * ex_skin + hb * ex_blade)

    d11, d22, d12, d66 = stiffness(x[:, 4], x[:, 5], h_skin ** 3 / 12, u)
    skin = simply_supported_buckling(d11, d22, d12, d66, a, b) / (strain * ex_skin)
    d11, _, _, d66 = stiffness(x[:, 6], x[:, 7], h_blade ** 3 / 12, u)
    blade = (12 * d66 / hb ** 2 + np.pi ** 2 * d11 / a ** 2) / (strain * ex_blade)

    g = np.stack([skin, blade, panel.allowable_strain / strain])
    low = g.min(axis=0)
    ks = low - np.log(np.exp(-panel.rho * (g - low)).sum(axis=0)) / panel.rho
    out = dict(zip(FACTORS, (g[0], g[1], g[2], low, ks)))
    return {k: v[0] for k, v in out.items()} if single else out


def fill_csv(source, target):
    """Read a plan from the open file `source` and write it with the load factors to `target`."""
    rows = list(csv.reader(source))
    if not rows:
        raise ValueError("the plan is empty: no header row")
    header, body = rows[0], [r for r in rows[1:] if any(cell.strip() for cell in r)]
    names = [f"x{k}" for k in range(1, 9)] + ["skin_plies", "stiffener_plies"]
    missing = [n for n in names if n not in header]
    if missing:
        raise ValueError(f"the header lacks the columns {', '.join(missing)}")
    for n, row in enumerate(body, 1):
        if len(row) > len(header):
            raise ValueError(f"data row {n} has more fields than the header")
        row.extend([""] * (len(header) - len(row)))
    try:
        values = np.array([[float(row[header.index(c)]) for c in names] for row in body],
                          dtype=float).reshape(len(body), 10)
    except ValueError as e:
        raise ValueError(f"the plan has a value that is not a number: {e}") from None
    result = load_factors(values[:, :8], values[:, 8], values[:, 9])

    header = list(header)
    for name in FACTORS:
        if name not in header:
            header.append(name)
            for row in body:
                row.append("")
    for i, row in enumerate(body):
        for name in FACTORS:
            row[header.index(name)] = "%.10g" % result[name][i]
        if "response" in header and not row[header.index("response")].strip():
            row[header.index("response")] = "%.10g" % result["ks"][i]
    writer = csv.writer(target, lineterminator="\n")
    writer.writerow(header)
    writer.writerows(body)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("plan", help="CSV with columns x1..x8, skin_plies, stiffener_plies")
    parser.add_argument("--out", help="write here instead of standard output")
    args = parser.parse_args(argv)
    try:
        with open(args.plan, newline="") as source:
            # Everything is computed before the output is opened, so a bad plan never leaves a
            # half-written file behind (and --out may name the plan itself).
            buffer = io.StringIO()
            fill_csv(source, buffer)
        if args.out:
            with open(args.out, "w", newline="") as target:
                target.write(buffer.getvalue())
        else:
            sys.stdout.write(buffer.getvalue())
    except (OSError, ValueError) as e:
        print(f"error: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
