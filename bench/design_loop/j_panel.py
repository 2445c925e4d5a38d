"""J-stiffened panel under biaxial compression: skin buckling whose governing half-wave number
changes inside the mode, stiffener buckling, column buckling and strain.

One bay of a panel with J stringers at pitch b, frames at L, loaded by N_x along the stringers
and N_y across them (both compressive, N/mm; the stringers carry no N_y). The skin laminate
forms the skin; the stiffener laminate the J: a foot of width f bonded to the skin, a web of
height h_w and a cap of width c on one side of the web. Load factors are failure load over
applied load. Load sharing along the stringers by equal axial strain, as in the I panel:
    eps = N_x b / EA,  EA = Ex_s t_s b + Ex_t t_t (f + h_w + c),  Ex t = A11 - A12^2/A22.

1. skin_buckling (reads skin bending): the skin between feet, a simply supported plate of width
   w = b - f and length L = 12 w under N_x,skin = eps Ex_s t_s and N_y (Whitney, Structural
   Analysis of Laminated Anisotropic Plates, ch. 5), one half-wave across:
       lam = min_m pi^2 [D11 m^4 + 2(D12 + 2 D66) m^2 r^2 + D22 r^4]
                     / (L^2 (m^2 N_x,skin + r^2 N_y)),   r = L / w, m = 1..20.
   The governing m moves with D11/D22 and with (D12 + 2 D66): the mode has kinks inside it,
   near the best designs too, that one quadratic cannot follow.
2. stiffener_buckling (reads stiffener bending): the web, a long plate of height h_w simply
   supported by foot and cap (mechanics.long_plate_simply_supported); factor
   N_cr / (eps Ex_t t_t).
3. column (reads in-plane only): Euler buckling of the bay between frames, eps_E = pi^2 EI /
   (L^2 EA), every part with its membrane modulus; factor eps_E / eps.
4. strain (reads in-plane only): the allowable compression strain 0.0045 over the larger of the
   skin's axial strain and its transverse strain under N_y (laminate strains from A).

Geometry and load (defaults, for t_s + t_t = 3.5 mm): b = 80 mm, f = 26 mm, h_w = 30 mm,
c = 14 mm, N_x = 820 N/mm, N_y = 110 N/mm; other totals are geometrically similar panels
(lengths and loads scale with t_s + t_t, as in the I panel). The variants j_switch, j_capped,
j_noisy and j_two_classes change one aspect each.
"""

from dataclasses import dataclass, replace

import numpy as np

import mechanics as mech

MODES = ("skin_buckling", "stiffener_buckling", "column", "strain")
READS_BENDING = {"skin_buckling": "skin", "stiffener_buckling": "stiffener", "column": None,
                 "strain": None}
ALLOWABLE_STRAIN = 0.0045


@dataclass(frozen=True)
class JPanel:
    ply: mech.Ply = mech.Ply()
    pitch: float = 80.0
    foot: float = 26.0
    web: float = 30.0
    cap: float = 14.0
    aspect: float = 12.0  # L / w
    compression: float = 820.0
    transverse: float = 110.0
    reference_thickness: float = 3.5


def _section(ts, tt, exs, ext, b, foot, web, cap):
    """EA and EI of the bay: skin strip, foot, web and cap (moduli per unit thickness)."""
    e_s, e_t = exs / ts, ext / tt
    parts = [(e_s, b * ts, 0.0, b * ts ** 3 / 12),
             (e_t, foot * tt, ts / 2 + tt / 2, foot * tt ** 3 / 12),
             (e_t, web * tt, ts / 2 + tt + web / 2, tt * web ** 3 / 12),
             (e_t, cap * tt, ts / 2 + tt + web + tt / 2, cap * tt ** 3 / 12)]
    ea = sum(e * a for e, a, _, _ in parts)
    centre = sum(e * a * z for e, a, z, _ in parts) / ea
    return ea, sum(e * (i + a * (z - centre) ** 2) for e, a, z, i in parts)


def skin_plate(d11, d22, d12, d66, width, length, nx, ny, waves=20):
    """Biaxial buckling factor of a simply supported plate, smallest over m = 1..waves."""
    r = length / width
    found = np.full(np.shape(d11), np.inf)
    for m in range(1, waves + 1):
        top = d11 * m ** 4 + 2 * (d12 + 2 * d66) * m ** 2 * r ** 2 + d22 * r ** 4
        found = np.minimum(found, np.pi ** 2 * top / (length ** 2 * (m ** 2 * nx + r ** 2 * ny)))
    return found


def parts(params, skin_plies, stiffener_plies, panel=JPanel()):
    """What the variants share: the geometry, strains and the four load factors."""
    x, ns, nt = mech.check_parameters(params, skin_plies, stiffener_plies)
    ts, tt = ns * panel.ply.thickness, nt * panel.ply.thickness
    scale = (ts + tt) / panel.reference_thickness
    b, foot, web, cap = (scale * v for v in (panel.pitch, panel.foot, panel.web, panel.cap))
    nx, ny = panel.compression * scale, panel.transverse * scale
    a11, a22, a12, _ = mech.stiffness(x[:, 0], x[:, 1], ts, panel.ply)
    exs = a11 - a12 ** 2 / a22
    ext = mech.membrane_modulus(x[:, 2], x[:, 3], tt, panel.ply)
    ea, ei = _section(ts, tt, exs, ext, b, foot, web, cap)
    eps = nx * b / ea
    width = b - foot
    length = panel.aspect * width
    d = mech.stiffness(x[:, 4], x[:, 5], ts ** 3 / 12, panel.ply)
    skin = skin_plate(*d, width, length, eps * exs, ny)
    t = mech.stiffness(x[:, 6], x[:, 7], tt ** 3 / 12, panel.ply)
    stiffener = mech.long_plate_simply_supported(*t, web) / (eps * ext)
    column = np.pi ** 2 * ei / (length ** 2 * ea) / eps
    det = a11 * a22 - a12 ** 2
    ex = (eps * exs * a22 - ny * a12) / det
    ey = (ny * a11 - eps * exs * a12) / det
    strain = ALLOWABLE_STRAIN / np.maximum(np.abs(ex), np.abs(ey))
    return {"x": x, "ts": ts, "tt": tt, "eps": eps, "ext": ext, "web": web, "cap": cap,
            "length": length, "stiffener_bending": t, "skin_buckling": skin,
            "stiffener_buckling": stiffener, "column": column, "strain": strain}


def analyse(params, skin_plies, stiffener_plies, panel=JPanel()):
    """Load factors of the designs: dict mode -> array of N (params: N x 8, x1..x8)."""
    found = parts(params, skin_plies, stiffener_plies, panel)
    return {m: found[m] for m in MODES}
