"""From analyses to a surface: a sampling plan of buildable designs, a least-squares fit with
its diagnostics, and the surface of a lamination-parameter target (as kelm_sample and
kelm_fit do).

    plan = kelm.sample_plan(24, 32, 120, rules="-bf", seed=1)
    analysed = [my_analysis(x) for x in plan.parameters]        # one response per design
    fit = kelm.fit_surface(plan.parameters, analysed, cap=3.0)
    print(fit.report); fit.surface.write("panel.rs")
"""

from __future__ import annotations

import time
from dataclasses import asdict, dataclass, field
from typing import List, Optional, Sequence

from ._kelm import Design, Surface, _fit, _sample_plan, _target


@dataclass
class Plan:
    """A sampling plan: the designs to analyse and how well they determine the quadratic."""

    designs: List[Design]  #: buildable designs, both laminates keeping the rules
    efficiency: float  #: D-efficiency against a random plan of the same size from the pool
    log_det_plan: float  #: log det of the information matrix per sample
    log_det_random: float  #: the same for the random plan
    pool: int  #: designs the plan was chosen from

    @property
    def parameters(self):
        """The designs' lamination parameters as an N x 8 numpy array (file order x1..x8)."""
        import numpy

        return numpy.array([d.parameters for d in self.designs])

    def rows(self) -> List[dict]:
        """One dict per design with the columns of kelm_sample's CSV (response left empty)."""
        rows = []
        for d in self.designs:
            row = {"skin_plies": d.skin.plies, "stiffener_plies": d.stiffener.plies,
                   "skin": d.skin.printed, "stiffener": d.stiffener.printed,
                   "skin_codes": "".join(map(str, d.skin.codes)),
                   "stiffener_codes": "".join(map(str, d.stiffener.codes)),
                   "skin_stack": d.skin.stack_text, "stiffener_stack": d.stiffener.stack_text}
            row.update({f"x{i + 1}": float(v) for i, v in enumerate(d.parameters)})
            row["response"] = None
            rows.append(row)
        return rows


def sample_plan(skin_plies: int, stiffener_plies: int, count: int, rules=None,
                seed: Optional[int] = None, pool: int = 2000) -> Plan:
    """COUNT buildable designs spread so that the 45-term quadratic is well determined: a
    D-optimal choice from a seeded pool of random allowed designs and block designs
    (kelm_sample). rules: as for kelm.optimize."""
    from . import _panel_rules

    skin_rules, stiffener_rules = _panel_rules(rules)
    if seed is None:
        seed = int(time.time()) & 0xFFFFFFFF
    found = _sample_plan(int(skin_plies), int(stiffener_plies), int(count), asdict(skin_rules),
                         asdict(stiffener_rules), int(seed), int(pool))
    return Plan(**found)


@dataclass
class Fit:
    """A fitted surface and what a designer needs to judge it (kelm_fit's report)."""

    surface: Surface  #: the fitted response surface, ready for kelm.optimize
    samples: int
    r_squared: float
    adjusted_r_squared: float
    rms_residual: float
    largest_residual: float  #: analysed minus predicted, the largest in size
    largest_residual_row: int  #: its sample, counted from 1
    press_rms: float  #: leave-one-out RMS from the hat matrix
    condition_number: float
    predicted: object = field(repr=False)  #: the fit's values at the samples (numpy array)
    report: str = field(repr=False)  #: the report lines of kelm_fit


def fit_surface(parameters, response: Sequence[float], weights: Optional[Sequence[float]] = None,
                cap: Optional[float] = None, name: str = "response") -> Fit:
    """Least-squares fit of the full quadratic in x1..x8 (an N x 8 array) to the response
    (kelm_fit). cap fits min(response, cap). Refuses plans that cannot determine the terms with
    a ValueError saying why."""
    values = [float(v) for v in response]
    if cap is not None:
        values = [min(v, float(cap)) for v in values]
    found = _fit(parameters, values, [] if weights is None else [float(w) for w in weights], name)
    return Fit(**found)


def target_surface(target: Sequence[float], weights: Optional[Sequence[float]] = None):
    """The surface C - sum w_i (x_i - t_i)^2 of a lamination-parameter target (x1..x8): a search
    on it finds the buildable designs nearest the target. Returns (surface, C): a design's
    weighted squared distance from the target is C minus its value."""
    target = [float(t) for t in target]
    weights = [1.0] * 8 if weights is None else [float(w) for w in weights]
    if len(target) != 8 or len(weights) != 8:
        raise ValueError("a target and its weights take eight numbers each (x1..x8)")
    return _target(target, weights)
