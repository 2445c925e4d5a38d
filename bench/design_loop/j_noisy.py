"""The J panel (j_panel.py) with analysis noise: every mode multiplied by 1 + 0.02 sin(phase),
the phase a fixed combination, with large coefficients, of the lamination parameters the mode
reads (its own laminate's bending parameters and both laminates' in-plane ones). A
deterministic perturbation of up to 2 % that changes from one design to the next as a
finite-element model's mesh error does, so that neither the optimum nor a fit is smooth."""

import numpy as np

import j_panel

MODES = j_panel.MODES
READS_BENDING = j_panel.READS_BENDING
SOURCES = (j_panel.__file__,)
AMPLITUDE = 0.02
# coefficients of x1..x8 in each mode's phase (zero where the mode does not read the parameter)
PHASES = {"skin_buckling": (19, 11, 13, 7, 53, 31, 0, 0),
          "stiffener_buckling": (5, 3, 13, 7, 0, 0, 47, 29),
          "column": (41, 23, 37, 17, 0, 0, 0, 0),
          "strain": (43, 27, 5, 3, 0, 0, 0, 0)}


def analyse(params, skin_plies, stiffener_plies):
    found = j_panel.parts(params, skin_plies, stiffener_plies)
    x = found["x"]
    return {m: found[m] * (1 + AMPLITUDE * np.sin(x @ np.array(PHASES[m], float) + 1.0))
            for m in MODES}
