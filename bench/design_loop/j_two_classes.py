"""The J panel (j_panel.py) with two distant ply-count classes nearly equal: every load factor
of the designs of one class of ply counts (skin x1, x2 and stiffener x3, x4 fixed) far from
the best class is raised by a constant, chosen for each size under the rules -bf so that the
best design of that class comes within 0.3 % of the panel's optimum. (A stand-in for panels
that carry the load as well with a 0-rich skin as with a +-45-rich one.) A loop that settles
in one class must still look at the other: which one wins is decided by 0.3 %. Under -b the
classes' values differ more."""

import numpy as np

import j_panel

MODES = j_panel.MODES
READS_BENDING = j_panel.READS_BENDING
SOURCES = (j_panel.__file__,)
# (skin plies, stiffener plies): (skin x1, x2), (stiffener x3, x4) of the raised class, and
# the raise; found by optima.py's enumeration of j_panel as the best class whose skin and
# stiffener both differ from the optimum's by more than 0.3 in some in-plane parameter.
RAISED = {(12, 16): ((-1 / 3, -1 / 3), (0.5, 1.0), 0.08959),
          (16, 24): ((-0.5, 0.0), (2 / 3, 1.0), 0.08176),
          (24, 32): ((-2 / 3, 1 / 3), (0.375, 1.0), 0.07075)}


def analyse(params, skin_plies, stiffener_plies):
    found = j_panel.parts(params, skin_plies, stiffener_plies)
    x = found["x"]
    factor = np.ones(len(x))
    if (skin_plies, stiffener_plies) in RAISED:
        skin, stiffener, raise_by = RAISED[(skin_plies, stiffener_plies)]
        inside = np.abs(x[:, :4] - np.r_[skin, stiffener]).max(axis=1) < 1e-6
        factor = np.where(inside, 1 + raise_by, 1.0)
    return {m: found[m] * factor for m in MODES}
