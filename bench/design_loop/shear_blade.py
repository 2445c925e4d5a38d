"""Blade-stiffened panel under combined compression and shear: skin buckling under the
interaction of both loads, blade buckling, and a ply strain limit.

One bay of a panel with blade stringers at pitch b, frames at L, loaded by N_x (compression
along the blades) and N_xy (shear), both N/mm of panel width. Load factors are failure load
over applied load (all loads grow together).

Load sharing: the compression is shared at equal axial strain,
    eps_x = N_x b / (Ex_s t_s b + Ex_t t_t h),   Ex t = A11 - A12^2/A22,
and the shear is carried by the skin alone (a blade has no in-plane shear stiffness across the
panel), gamma_xy = N_xy / A66 of the skin.

1. skin_buckling (reads skin bending): the skin between blades, a simply supported plate
   b x L. Compression alone: N_x,cr = pi^2/b^2 min_m [D11 (m b/L)^2 + 2(D12 + 2 D66)
   + D22 (L/(m b))^2] (Whitney, Structural Analysis of Laminated Anisotropic Plates, ch. 5);
   shear alone: the long-plate fit of Seydel's solution (see mechanics.long_plate_shear).
   Interaction R_c + R_s^2 = 1 with R_c = lam N_x,skin / N_x,cr and R_s = lam N_xy / N_xy,cr
   (Kassapoglou, Design and Analysis of Composite Structures, sec. 6.6; Bruhn C5), solved for
   lam: lam = 2 / (r_c + sqrt(r_c^2 + 4 r_s^2)) with r_c, r_s the ratios at lam = 1.
2. blade_buckling (reads stiffener bending): the blade as a plate of height h clamped at the
   skin (a blade bonded to a thicker skin flange) and free at its tip, under compression at
   the shared strain. Rayleigh-Ritz with the one-term deflection w = (y/h)^2 sin(m pi x/L)
   (Timoshenko & Gere, Theory of Elastic Stability, sec. 9.2; the energy of an orthotropic
   plate as in Whitney ch. 5) gives, with alpha = m pi / L,
       N_cr = min_m [D11 alpha^2 + 20 D22 / (alpha^2 h^4)] + (20/3)(4 D66 - D12)/h^2,
   an upper bound (isotropic: 24 % above the exact clamped-free plate; the model keeps it as
   its own physics). Short half-waves: D22 of the blade matters, unlike a pinned root.
   Factor N_cr / (eps_x Ex_t t_t).
3. skin_strain (reads in-plane only): the largest strain in the axes of every ply orientation
   present in the skin (0, +45, -45, 90; found from the in-plane parameters and the total)
   against the allowables eps1 = 0.0060 tension / 0.0040 compression, eps2 = 0.0045 / 0.0120,
   gamma12 = 0.0100 (a damage-tolerant design strain set, Niu ch. 14), under eps_x, the
   Poisson strain eps_y = -A12/A22 eps_x and gamma_xy. Strains grow with the load, so the
   factor is the smallest allowable / strain.

Geometry and load (defaults, for t_s + t_t = 3.5 mm): b = 75 mm, h = 40 mm, L = 560 mm,
N_x = 300 N/mm, N_xy = 160 N/mm; other totals are geometrically similar panels (lengths and
loads scale with t_s + t_t, as in the I panel).
"""

from dataclasses import dataclass

import numpy as np

import mechanics as mech

MODES = ("skin_buckling", "blade_buckling", "skin_strain")
READS_BENDING = {"skin_buckling": "skin", "blade_buckling": "stiffener", "skin_strain": None}

#: allowable strains: (fibre tension, fibre compression, transverse tension, transverse
#: compression, in-plane shear)
ALLOWABLES = (0.0060, 0.0040, 0.0045, 0.0120, 0.0100)


@dataclass(frozen=True)
class ShearBladePanel:
    ply: mech.Ply = mech.Ply()
    pitch: float = 75.0
    blade: float = 40.0
    frame_pitch: float = 560.0
    compression: float = 300.0
    shear: float = 160.0
    reference_thickness: float = 3.5


def _strain_factor(ex, ey, gxy, present, allow):
    """Smallest allowable/strain over the components of every ply orientation present."""
    e1t, e1c, e2t, e2c, g12 = allow
    worst = np.full(ex.shape, np.inf)
    for degrees, here in zip((0.0, 45.0, -45.0, 90.0), present):
        e1, e2, g = mech.ply_strains(ex, ey, gxy, degrees)
        with np.errstate(divide="ignore"):
            ratio = np.minimum.reduce([np.where(e1 > 0, e1t / e1, np.where(e1 < 0, -e1c / e1, np.inf)),
                                       np.where(e2 > 0, e2t / e2, np.where(e2 < 0, -e2c / e2, np.inf)),
                                       np.where(g != 0, g12 / np.abs(g), np.inf)])
        worst = np.where(here, np.minimum(worst, ratio), worst)
    return worst


def analyse(params, skin_plies, stiffener_plies, panel=ShearBladePanel()):
    """Load factors of the designs: dict mode -> array of N (params: N x 8, x1..x8)."""
    x, ns, nt = mech.check_parameters(params, skin_plies, stiffener_plies)
    ts, tt = ns * panel.ply.thickness, nt * panel.ply.thickness
    scale = (ts + tt) / panel.reference_thickness
    nx, nxy = panel.compression * scale, panel.shear * scale
    a11, a22, a12, a66 = mech.stiffness(x[:, 0], x[:, 1], ts, panel.ply)
    exs = a11 - a12 ** 2 / a22
    ext = mech.membrane_modulus(x[:, 2], x[:, 3], tt, panel.ply)
    b, h, length = (scale * v for v in (panel.pitch, panel.blade, panel.frame_pitch))
    eps = nx * b / (exs * b + ext * h)
    gxy = nxy / a66

    d11, d22, d12, d66 = mech.stiffness(x[:, 4], x[:, 5], ts ** 3 / 12, panel.ply)
    m = np.maximum(np.floor(length / b * (d22 / d11) ** 0.25), 1)

    def bracket(m):
        r = (m * b / length) ** 2
        return d11 * r + 2 * (d12 + 2 * d66) + d22 / r
    nx_cr = np.pi ** 2 / b ** 2 * np.minimum(bracket(m), bracket(m + 1))
    nxy_cr = mech.long_plate_shear(d11, d22, d12, d66, b)
    skin = 2 / (eps * exs / nx_cr + np.sqrt((eps * exs / nx_cr) ** 2 + 4 * (nxy / nxy_cr) ** 2))

    d11, d22, d12, d66 = mech.stiffness(x[:, 6], x[:, 7], tt ** 3 / 12, panel.ply)
    m = np.maximum(np.floor(length / (np.pi * h) * (20 * d22 / d11) ** 0.25), 1)

    def blade_bracket(m):
        alpha2 = (m * np.pi / length) ** 2
        return d11 * alpha2 + 20 * d22 / (alpha2 * h ** 4)
    blade = (np.minimum(blade_bracket(m), blade_bracket(m + 1))
             + 20 / 3 * (4 * d66 - d12) / h ** 2)

    n0, n45, n90 = mech.full_ply_counts(x[:, 0], x[:, 1], ns)
    present = (n0 > 0, n45 > 0, n45 > 0, n90 > 0)
    strain = _strain_factor(-eps, eps * a12 / a22, gxy, present, ALLOWABLES)
    return {"skin_buckling": skin, "blade_buckling": blade / (eps * ext), "skin_strain": strain}
