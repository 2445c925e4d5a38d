"""I-stiffened panel under axial compression: column, skin, web and crippling modes.

One bay of a panel stiffened by I-section stringers, loaded along the stringers by N (N/mm of
panel width) and simply supported at frames a distance L apart. The skin laminate forms the
skin; the stiffener laminate forms the whole I section (bottom flange on the skin, web, top
flange, all of one thickness t_t). Load factors are failure load over applied load.

Load sharing: skin and stringer take the same axial strain,
    eps = N b / EA,   EA = Ex_s t_s b + Ex_t t_t (2 b_f + h_w),
with Ex t = A11 - A12^2/A22 of each laminate (membrane modulus free to contract sideways).

1. column (reads in-plane only): Euler buckling of the stiffened bay as a pin-ended column
   between frames (Niu, Airframe Stress Analysis and Sizing, ch. 10 and 14; Kassapoglou,
   Design and Analysis of Composite Structures, sec. 8.6):  eps_E = pi^2 EI / (L^2 EA), EI
   about the section's neutral axis, every part with its membrane modulus. Where the Euler
   strain passes half the crippling strain the Johnson parabola takes over:
       eps_col = eps_E                          if eps_E <= eps_cc / 2
               = eps_cc (1 - eps_cc / (4 eps_E))  otherwise.
   Factor eps_col / eps.
2. skin_buckling (reads skin bending): the skin between flanges, a plate of width
   b_s = b - b_f and length L, simply supported, uniaxial compression (Whitney, Structural
   Analysis of Laminated Anisotropic Plates, ch. 5), smallest over the half-waves m:
       N_cr = pi^2/b_s^2 min_m [D11 (m b_s/L)^2 + 2(D12 + 2 D66) + D22 (L/(m b_s))^2];
   factor N_cr / (eps Ex_s t_s).
3. web_buckling (reads stiffener bending): the web, a long plate of height h_w simply
   supported by the flanges: N_cr = 2 pi^2/h_w^2 (sqrt(D11 D22) + D12 + 2 D66) (Whitney ch. 5);
   factor N_cr / (eps Ex_t t_t).
4. crippling (reads in-plane only): the empirical crippling curves of Kassapoglou sec. 8.5 for
   the flange outstands (one edge free, width b_f/2: sigma_crip/sigma_cu = 1.63 (b/t)^-0.717)
   and the web (no edge free: 11 (b/t)^-1.124), each capped at 1, averaged over the areas of
   the section; the laminate's compression strength sigma_cu = Ex eps_cu with the allowable
   strain eps_cu. The crippling strain eps_cc is that average times eps_cu; factor eps_cc/eps.

Geometry and load (defaults, for t_s + t_t = 3.5 mm, i.e. 12 + 16 plies): b = 105 mm,
b_f = 24 mm, h_w = 55 mm, L = 600 mm, N = 700 N/mm; eps_cu = 0.0055. The panels of other
totals are geometrically similar: every length and the running load scale with t_s + t_t, so
every mode's load factor keeps its level (buckling strains go as (t/b)^2, strength strains
not at all) and each size is decided by its stacking sequences, not by its thickness.
"""

from dataclasses import dataclass

import numpy as np

import mechanics as mech

MODES = ("column", "skin_buckling", "web_buckling", "crippling")
#: which laminate's bending parameters each mode reads (None: neither)
READS_BENDING = {"column": None, "skin_buckling": "skin", "web_buckling": "stiffener",
                 "crippling": None}


@dataclass(frozen=True)
class IPanel:
    ply: mech.Ply = mech.Ply()
    pitch: float = 105.0
    flange: float = 24.0
    web: float = 55.0
    frame_pitch: float = 600.0
    load: float = 700.0
    reference_thickness: float = 3.5
    crippling_strain: float = 0.0055


def _section(ts, tt, ea_s, ea_t, b, bf, hw):
    """EA and EI of the bay: the skin strip, bottom flange, web and top flange."""
    e_s, e_t = ea_s / ts, ea_t / tt        # membrane moduli
    parts = [  # (modulus, area, centroid above the skin's mid-plane, own second moment)
        (e_s, b * ts, 0.0, b * ts ** 3 / 12),
        (e_t, bf * tt, ts / 2 + tt / 2, bf * tt ** 3 / 12),
        (e_t, hw * tt, ts / 2 + tt + hw / 2, tt * hw ** 3 / 12),
        (e_t, bf * tt, ts / 2 + tt + hw + tt / 2, bf * tt ** 3 / 12)]
    ea = sum(e * a for e, a, _, _ in parts)
    centre = sum(e * a * z for e, a, z, _ in parts) / ea
    ei = sum(e * (i + a * (z - centre) ** 2) for e, a, z, i in parts)
    return ea, ei


def analyse(params, skin_plies, stiffener_plies, panel=IPanel()):
    """Load factors of the designs: dict mode -> array of N (params: N x 8, x1..x8)."""
    x, ns, nt = mech.check_parameters(params, skin_plies, stiffener_plies)
    ts, tt = ns * panel.ply.thickness, nt * panel.ply.thickness
    scale = (ts + tt) / panel.reference_thickness
    b, bf, hw, length = (scale * v for v in (panel.pitch, panel.flange, panel.web, panel.frame_pitch))
    load = panel.load * scale
    exs = mech.membrane_modulus(x[:, 0], x[:, 1], ts, panel.ply)
    ext = mech.membrane_modulus(x[:, 2], x[:, 3], tt, panel.ply)
    ea, ei = _section(ts, tt, exs, ext, b, bf, hw)
    eps = load * b / ea

    oef = np.minimum(1.63 * (bf / 2 / tt) ** -0.717, 1.0)
    nef = np.minimum(11.0 * (hw / tt) ** -1.124, 1.0)
    flanges, web = 2 * bf, hw
    eps_cc = panel.crippling_strain * (oef * flanges + nef * web) / (flanges + web)
    eps_e = np.pi ** 2 * ei / (length ** 2 * ea)
    johnson = eps_cc * (1 - eps_cc / (4 * eps_e))
    column = np.where(eps_e <= eps_cc / 2, eps_e, johnson)

    width = b - bf
    d11, d22, d12, d66 = mech.stiffness(x[:, 4], x[:, 5], ts ** 3 / 12, panel.ply)
    m = np.maximum(np.floor(length / width * (d22 / d11) ** 0.25), 1)

    def bracket(m):
        r = (m * width / length) ** 2
        return d11 * r + 2 * (d12 + 2 * d66) + d22 / r
    skin = np.pi ** 2 / width ** 2 * np.minimum(bracket(m), bracket(m + 1))
    d11, d22, d12, d66 = mech.stiffness(x[:, 6], x[:, 7], tt ** 3 / 12, panel.ply)
    web_cr = mech.long_plate_simply_supported(d11, d22, d12, d66, hw)
    return {"column": column / eps, "skin_buckling": skin / (eps * exs),
            "web_buckling": web_cr / (eps * ext), "crippling": eps_cc / eps}
