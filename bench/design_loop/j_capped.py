"""The J panel (j_panel.py) with a stiffener mode that saturates: the web's buckling factor is
capped at 1.0 (past it the stiffener's own strength, here the same for every layup, decides),
and the web is made taller (h_w = 36 mm for t_s + t_t = 3.5 mm) so that the cap binds near the
best designs. Where it binds, the stiffener's bending parameters change nothing: a plateau of
tied designs, and a mode a quadratic fits badly at its edge."""

import numpy as np

import j_panel

MODES = j_panel.MODES
READS_BENDING = j_panel.READS_BENDING
SOURCES = (j_panel.__file__,)
PANEL = j_panel.JPanel(web=36.0)
CAP = 1.0


def analyse(params, skin_plies, stiffener_plies, panel=PANEL):
    found = j_panel.parts(params, skin_plies, stiffener_plies, panel)
    out = {m: found[m] for m in MODES}
    out["stiffener_buckling"] = np.minimum(out["stiffener_buckling"], CAP)
    return out
