"""Hat-stiffened panel under biaxial compression: skin buckling, hat-cap buckling and
first-ply failure (Tsai-Wu) of the skin and of the hat.

One bay of a panel with hat stringers at pitch b, frames at L, loaded by N_x along the hats
and N_y across them (both compressive, N/mm; the hats carry no N_y). The skin laminate forms
the skin; the stiffener laminate forms the hat: cap of width c, two webs of height h_w and two
feet of width f bonded to the skin. Load factors are failure load over applied load.

Load sharing along the hats: equal axial strain,
    eps_x = N_x b / (Ex_s t_s b + Ex_t t_t (c + 2 h_w + 2 f)),   Ex t = A11 - A12^2/A22;
the skin then carries N_x,skin = eps_x Ex_s t_s and the whole N_y (the Poisson effect of N_y
on the shared strain is neglected).

1. skin_buckling (reads skin bending): the skin between the hats' feet, a simply supported
   plate of width w = b - c - 2 f and length L under biaxial compression (Whitney, Structural
   Analysis of Laminated Anisotropic Plates, ch. 5; Jones sec. 5.5.2):
       lam = min_{m,n} pi^2 [D11 m^4 + 2(D12 + 2 D66) m^2 n^2 r^2 + D22 n^4 r^4]
                      / (L^2 (m^2 N_x,skin + n^2 r^2 N_y)),   r = L / w, n = 1, 2.
2. cap_buckling (reads stiffener bending): the hat cap, a long plate of width c whose long
   edges the webs clamp: N_cr = pi^2/c^2 (4.6 sqrt(D11 D22) + 2.67 (D12 + 2 D66))
   (mechanics.long_plate_clamped); factor N_cr / (eps_x Ex_t t_t).
3. skin_first_ply (reads in-plane only): Tsai-Wu (Tsai & Wu 1971; Jones sec. 2.9; Daniel &
   Ishai ch. 6) in every ply orientation present in the skin (0, +45, -45, 90, found from the
   in-plane parameters and the total), the laminate strains from A [eps_x, eps_y] =
   [N_x,skin, N_y], the ply stresses Q T eps. With the stresses s at the applied load,
   F1 s1 + F2 s2 + F11 s1^2 + F22 s2^2 + F66 s6^2 + 2 F12 s1 s2 = 1 at lam s gives
   a lam^2 + b lam = 1, lam = 2 / (b + sqrt(b^2 + 4a)); F12 = -sqrt(F11 F22)/2.
4. hat_first_ply (reads in-plane only): the same in the hat's plies under eps_x and the
   Poisson strain eps_y = -A12/A22 eps_x.
Strengths (MPa): X_t 2000, X_c 1200, Y_t 50, Y_c 200, S 80.

Geometry and load (defaults, for t_s + t_t = 3.5 mm): b = 95 mm, c = 40 mm, h_w = 22 mm,
f = 12 mm, L = 600 mm, N_x = 1760 N/mm, N_y = 240 N/mm; other totals are geometrically
similar panels (lengths and loads scale with t_s + t_t, as in the I panel).
"""

from dataclasses import dataclass

import numpy as np

import mechanics as mech

MODES = ("skin_buckling", "cap_buckling", "skin_first_ply", "hat_first_ply")
READS_BENDING = {"skin_buckling": "skin", "cap_buckling": "stiffener", "skin_first_ply": None,
                 "hat_first_ply": None}

STRENGTHS = (2000.0, 1200.0, 50.0, 200.0, 80.0)  # X_t, X_c, Y_t, Y_c, S (MPa)


@dataclass(frozen=True)
class HatPanel:
    ply: mech.Ply = mech.Ply()
    pitch: float = 95.0
    cap: float = 40.0
    web: float = 22.0
    foot: float = 12.0
    frame_pitch: float = 600.0
    compression: float = 1760.0
    transverse: float = 240.0
    reference_thickness: float = 3.5


def _tsai_wu_factor(ex, ey, present, ply):
    """Smallest Tsai-Wu load factor over the ply orientations present (strains at lam = 1)."""
    xt, xc, yt, yc, s = STRENGTHS
    f1, f2 = 1 / xt - 1 / xc, 1 / yt - 1 / yc
    f11, f22, f66 = 1 / (xt * xc), 1 / (yt * yc), 1 / s ** 2
    f12 = -0.5 * np.sqrt(f11 * f22)
    q11, q22, q12, q66 = ply.reduced()
    worst = np.full(np.shape(ex), np.inf)
    for degrees, here in zip((0.0, 45.0, -45.0, 90.0), present):
        e1, e2, g12 = mech.ply_strains(ex, ey, 0.0, degrees)
        s1, s2, s6 = q11 * e1 + q12 * e2, q12 * e1 + q22 * e2, q66 * g12
        a = f11 * s1 ** 2 + f22 * s2 ** 2 + f66 * s6 ** 2 + 2 * f12 * s1 * s2
        lam = mech.first_positive_root(a, f1 * s1 + f2 * s2)
        worst = np.where(here, np.minimum(worst, lam), worst)
    return worst


def _present(x, plies):
    n0, n45, n90 = mech.full_ply_counts(x[:, 0], x[:, 1], plies)
    return n0 > 0, n45 > 0, n45 > 0, n90 > 0


def analyse(params, skin_plies, stiffener_plies, panel=HatPanel()):
    """Load factors of the designs: dict mode -> array of N (params: N x 8, x1..x8)."""
    x, ns, nt = mech.check_parameters(params, skin_plies, stiffener_plies)
    ts, tt = ns * panel.ply.thickness, nt * panel.ply.thickness
    scale = (ts + tt) / panel.reference_thickness
    nx, ny = panel.compression * scale, panel.transverse * scale
    pitch, cap_width, web, foot, length = (scale * v for v in (
        panel.pitch, panel.cap, panel.web, panel.foot, panel.frame_pitch))
    a11, a22, a12, _ = mech.stiffness(x[:, 0], x[:, 1], ts, panel.ply)
    exs = a11 - a12 ** 2 / a22
    t11, t22, t12, _ = mech.stiffness(x[:, 2], x[:, 3], tt, panel.ply)
    ext = t11 - t12 ** 2 / t22
    perimeter = cap_width + 2 * web + 2 * foot
    eps = nx * pitch / (exs * pitch + ext * perimeter)
    nx_skin = eps * exs

    width = pitch - cap_width - 2 * foot
    r = length / width
    d11, d22, d12, d66 = mech.stiffness(x[:, 4], x[:, 5], ts ** 3 / 12, panel.ply)
    skin = np.full(len(x), np.inf)
    for m in range(1, 13):
        for n in (1, 2):
            top = d11 * m ** 4 + 2 * (d12 + 2 * d66) * m ** 2 * n ** 2 * r ** 2 + d22 * n ** 4 * r ** 4
            skin = np.minimum(skin, np.pi ** 2 * top / (length ** 2 *
                                                         (m ** 2 * nx_skin + n ** 2 * r ** 2 * ny)))
    d11, d22, d12, d66 = mech.stiffness(x[:, 6], x[:, 7], tt ** 3 / 12, panel.ply)
    cap = mech.long_plate_clamped(d11, d22, d12, d66, cap_width)

    # laminate strains of the skin under compressive N_x,skin and N_y (A eps = N)
    det = a11 * a22 - a12 ** 2
    ex_s = (-nx_skin * a22 + ny * a12) / det
    ey_s = (-ny * a11 + nx_skin * a12) / det
    skin_fpf = _tsai_wu_factor(ex_s, ey_s, _present(x, ns), panel.ply)
    hat_fpf = _tsai_wu_factor(-eps, eps * t12 / t22, _present(x[:, 2:], nt), panel.ply)
    return {"skin_buckling": skin, "cap_buckling": cap / (eps * ext),
            "skin_first_ply": skin_fpf, "hat_first_ply": hat_fpf}
