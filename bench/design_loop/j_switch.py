"""The J panel (j_panel.py) whose stiffener mode switches its governing region: the stiffener
buckles either in the web (a long plate simply supported by foot and cap, best with a large
sqrt(D11 D22)) or in the cap, an outstand with one free edge (Kassapoglou, Design and Analysis
of Composite Structures, ch. 6: N_cr = 12 D66 / c^2 + pi^2 D11 / L^2, best with +-45 plies
outside), whichever is lower. Which one governs changes across the stiffener's designs, near
the best ones too. Web and cap are sized so that both lie near the other modes: h_w = 36 mm,
c = 22 mm (for t_s + t_t = 3.5 mm)."""

import numpy as np

import j_panel
import mechanics as mech

MODES = j_panel.MODES
READS_BENDING = j_panel.READS_BENDING
SOURCES = (j_panel.__file__,)
PANEL = j_panel.JPanel(web=36.0, cap=22.0)


def analyse(params, skin_plies, stiffener_plies, panel=PANEL):
    found = j_panel.parts(params, skin_plies, stiffener_plies, panel)
    d11, _, _, d66 = found["stiffener_bending"]
    cap = found["cap"]
    outstand = 12 * d66 / cap ** 2 + np.pi ** 2 * d11 / found["length"] ** 2
    own = outstand / (found["eps"] * found["ext"])
    out = {m: found[m] for m in MODES}
    out["stiffener_buckling"] = np.minimum(out["stiffener_buckling"], own)
    return out
