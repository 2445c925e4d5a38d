"""The panel models the design loop is judged on, by name.

Each model is a module with MODES (the failure modes, in order), READS_BENDING (which
laminate's bending parameters each mode reads: "skin", "stiffener" or None) and
analyse(params, skin_plies, stiffener_plies) -> {mode: load factors}, params an N x 8 array
of x1..x8. The objective is the smallest load factor over MODES.
"""

import hashlib
import importlib
import pathlib
import sys
import types

import numpy as np

HERE = pathlib.Path(__file__).resolve().parent
EXAMPLES = HERE.parents[1] / "examples"
if str(HERE) not in sys.path:
    sys.path.insert(0, str(HERE))

OWN = ("i_panel", "shear_blade", "hat_strength")
# Harder models for the loop: kinks inside a mode, a mode switching its governing region, a
# saturating mode, analysis noise, two distant ply-count classes near-equal (j_panel and its
# variants).
HARD = ("j_panel", "j_switch", "j_capped", "j_noisy", "j_two_classes")
NAMES = OWN + ("blade_example",) + HARD


def _blade_example():
    """examples/blade_panel.py with its three modes (its KS and minimum columns dropped)."""
    sys.path.insert(0, str(EXAMPLES))
    try:
        example = importlib.import_module("blade_panel")
    finally:
        sys.path.remove(str(EXAMPLES))

    def analyse(params, skin_plies, stiffener_plies):
        x = np.atleast_2d(np.asarray(params, dtype=float))
        out = example.load_factors(x, skin_plies, stiffener_plies)
        return {m: np.asarray(out[m], dtype=float) for m in ("skin_buckling", "blade_buckling",
                                                             "strain")}

    model = types.SimpleNamespace(
        __name__="blade_example", __file__=example.__file__, analyse=analyse,
        MODES=("skin_buckling", "blade_buckling", "strain"),
        READS_BENDING={"skin_buckling": "skin", "blade_buckling": "stiffener", "strain": None})
    return model


def load(name):
    """The model module called `name` (one of NAMES)."""
    if name == "blade_example":
        return _blade_example()
    if name not in OWN + HARD:
        raise ValueError(f"model must be one of {', '.join(NAMES)}, not {name!r}")
    return importlib.import_module(name)


def objective(model, params, skin_plies, stiffener_plies):
    """The smallest load factor of each design (array of N)."""
    found = model.analyse(params, skin_plies, stiffener_plies)
    return np.min([found[m] for m in model.MODES], axis=0)


def fingerprint(model):
    """A hash of the model's source and the shared mechanics: cached optima are refused once
    either changes."""
    digest = hashlib.sha256()
    for path in (model.__file__, HERE / "mechanics.py", *getattr(model, "SOURCES", ())):
        digest.update(pathlib.Path(path).read_bytes())
    return digest.hexdigest()[:16]
