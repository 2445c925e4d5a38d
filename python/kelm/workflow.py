"""From analyses to a surface: a sampling plan of buildable designs, a least-squares fit with
its diagnostics, and the surface of a lamination-parameter target (as kelm_sample and
kelm_fit do).

    plan = kelm.sample_plan(24, 32, 120, rules="-bf", seed=1)
    analysed = [my_analysis(x) for x in plan.parameters]        # one response per design
    fit = kelm.fit_surface(plan.parameters, analysed, cap=3.0)
    print(fit.report); fit.surface.write("panel.rs")

A single laminate (a plate, or a skin designed alone) takes stiffener_plies None: its plan's
parameters are the skin's x1, x2, x5, x6 (N x 4), and the fit of an N x 4 table determines the
15 terms of the quadratic in those four, a surface kelm.optimize(surface, N, None) takes.
"""

from __future__ import annotations

from dataclasses import asdict, dataclass, field
from typing import List, Optional, Sequence

from . import _checks
from ._kelm import Design, Surface, _fit, _sample_plan, _target
from .rules import _panel_rules
from .searches import _seed


@dataclass
class Plan:
    """A sampling plan: the designs to analyse and how well they determine the quadratic."""

    designs: List[Design]  #: buildable designs, both laminates keeping the rules (or the skin alone)
    efficiency: float  #: D-efficiency against a random plan of the same size from the pool
    log_det_plan: float  #: log det of the information matrix per sample
    log_det_random: float  #: the same for the random plan
    pool: int  #: designs the plan was chosen from
    #: "complete", or "time-limit" when stopped early: the designs are then the exchange's
    #: current choice (none if the pool was not complete) and the determinants NaN
    status: str = "complete"

    @property
    def success(self) -> bool:
        """The plan ran to its end."""
        return self.status == "complete"

    @property
    def message(self) -> str:
        """What the status means, in words."""
        if self.success:
            return "complete: the D-optimal choice of the pool"
        if self.designs:
            return "time limit reached: the exchange's current choice, not its end"
        return "time limit reached before the pool of designs was complete: no plan"

    #: terms of the quadratic the plan determines: 45 for a panel, 15 for a single laminate
    terms: int = 45

    @property
    def single_laminate(self) -> bool:
        """A plan of single laminates (no stiffener)."""
        return self.terms == 15

    @property
    def parameters(self):
        """The designs' lamination parameters as a numpy array: N x 8 for a panel (file order
        x1..x8), N x 4 for a single laminate (x1, x2, x5, x6), as fit_surface takes them."""
        import numpy

        columns = _SINGLE_LAMINATE_COLUMNS if self.single_laminate else list(range(8))
        return numpy.array([[d.parameters[i] for i in columns] for d in self.designs]).reshape(
            len(self.designs), len(columns))

    def rows(self) -> List[dict]:
        """One dict per design with the columns of kelm_sample's CSV (response left empty)."""
        return [_single_row(d) if self.single_laminate else _panel_row(d) for d in self.designs]


_SINGLE_LAMINATE_COLUMNS = [0, 1, 4, 5]  # x1, x2, x5, x6: the skin's parameters


def design_columns(d: Design, stacks: bool = True) -> dict:
    """A panel design as the design files give it, in their column order: ply totals, printed
    laminates, the designed halves' codes, the stacks to lay up (unless ``stacks`` is False) and
    the lamination parameters x1..x8. Every file of designs to analyse starts its rows so."""
    row = {"skin_plies": d.skin.plies, "stiffener_plies": d.stiffener.plies,
           "skin": d.skin.printed, "stiffener": d.stiffener.printed,
           "skin_codes": "".join(map(str, d.skin.codes)),
           "stiffener_codes": "".join(map(str, d.stiffener.codes))}
    if stacks:
        row.update({"skin_stack": d.skin.stack_text, "stiffener_stack": d.stiffener.stack_text})
    row.update({f"x{i + 1}": float(v) for i, v in enumerate(d.parameters)})
    return row


def _panel_row(d: Design) -> dict:
    return {**design_columns(d), "response": None}


def _single_row(d: Design) -> dict:
    row = {"skin_plies": d.skin.plies, "skin": d.skin.printed,
           "skin_codes": "".join(map(str, d.skin.codes)), "skin_stack": d.skin.stack_text}
    row.update({f"x{i + 1}": float(d.parameters[i]) for i in _SINGLE_LAMINATE_COLUMNS})
    row["response"] = None
    return row


def sample_plan(skin_plies: int, stiffener_plies: Optional[int], count: int, rules=None,
                seed: Optional[int] = None, pool: int = 2000,
                time_limit: Optional[float] = None) -> Plan:
    """COUNT buildable designs spread so that the 45-term quadratic is well determined: a
    D-optimal choice from a seeded pool of random allowed designs and block designs
    (kelm_sample). rules: as for kelm.optimize. stiffener_plies None plans single laminates
    (kelm_sample --skin-only) for the 15 terms in x1, x2, x5, x6: the designs have no stiffener
    and the plan's parameters are N x 4; the skin's rules apply.

    A large plan takes long (the exchange grows with the square of COUNT): time_limit stops it
    with the current choice (status "time-limit"), and Ctrl-C stops it within a tenth of a
    second with KeyboardInterrupt."""
    skin_plies = _checks.ply_total(skin_plies, "skin_plies")
    single = stiffener_plies is None
    stiffener_plies = 0 if single else _checks.ply_total(stiffener_plies, "stiffener_plies")
    count = _checks.whole(count, "count", 1, 10**7)
    skin_rules, stiffener_rules = _panel_rules(rules)
    seed = _seed(seed)
    pool = _checks.whole(pool, "pool", 4, 10**7)
    time_limit = _checks.seconds(time_limit, "time_limit")
    found = _sample_plan(skin_plies, stiffener_plies, count, asdict(skin_rules),
                         asdict(stiffener_rules), seed, pool, time_limit)
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
    terms: int = 45  #: of the fitted quadratic: 45 in x1..x8, 15 of a single laminate


def fit_surface(parameters, response: Sequence[float], weights: Optional[Sequence[float]] = None,
                cap: Optional[float] = None, name: str = "response",
                time_limit: Optional[float] = None) -> Fit:
    """Least-squares fit of the full quadratic in x1..x8 (an N x 8 array) to the response
    (kelm_fit); of a single laminate's x1, x2, x5, x6 (an N x 4 array, as a plan of single
    laminates gives them: 15 terms, a surface kelm.optimize(surface, N, None) takes).
    cap fits min(response, cap). Refuses plans that cannot determine the terms with a
    ValueError saying why, and NaN or infinite data with a ValueError saying where.

    Ctrl-C returns at once with KeyboardInterrupt, and time_limit with TimeoutError (the
    decomposition of a large table then finishes in the background, its result dropped)."""
    parameters = _checks.finite_array(parameters, "parameters")
    if parameters.ndim != 2 or parameters.shape[1] not in (8, 4):
        raise ValueError(f"parameters must be an N x 8 array (one row per sample), or N x 4 for "
                         f"a single laminate (x1, x2, x5, x6), not of shape {parameters.shape}")
    values = _checks.real_list(response, "response")
    if cap is not None:
        cap = _checks.real(cap, "cap")
        values = [min(v, cap) for v in values]
    weights = [] if weights is None else _checks.real_list(weights, "weights")
    _checks.text(name, "name")
    time_limit = _checks.seconds(time_limit, "time_limit")
    found = _fit(parameters, values, weights, name, time_limit)
    return Fit(**found)


def target_surface(target: Sequence[float], weights: Optional[Sequence[float]] = None):
    """The surface C - sum w_i (x_i - t_i)^2 of a lamination-parameter target (x1..x8, or four
    numbers x1, x2, x5, x6 for a single laminate): a search on it finds the buildable designs
    nearest the target. Returns (surface, C): a design's weighted squared distance from the
    target is C minus its value."""
    target = _checks.real_list(target, "target")
    if len(target) not in (8, 4):
        raise ValueError(f"target must have 8 numbers (x1..x8), or 4 for a single laminate "
                         f"(x1, x2, x5, x6), not {len(target)}")
    weights = ([1.0] * len(target) if weights is None
               else _checks.real_list(weights, "weights", len(target)))
    return _target(target, weights)
