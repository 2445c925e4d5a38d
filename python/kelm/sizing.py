"""Sizing: the lightest laminate (or panel) whose best design meets every requirement, decided
total by total with the exact searches (kelm_alt --plies=)."""

from dataclasses import asdict, dataclass, field
from typing import Any, Callable, List, Optional, Sequence, Tuple, Union

from . import _checks
from ._kelm import Surface, _size_lightest
from .rules import _panel_rules
from .searches import optimize

SurfaceOf = Union[Surface, Callable[..., Surface]]


@dataclass
class Total:
    """What sizing decided for one total: outcome "skipped" (a requirement no design of the
    total can meet, by a cheap bound: ``surface`` index, ``limit`` and ``bound``), "none" (the
    search found no design meeting the requirements), "found" or "stopped"."""

    plies: Union[int, Tuple[int, int]]
    outcome: str
    weight: float
    requirement: Optional[int] = None
    limit: Optional[float] = None
    bound: Optional[float] = None
    steps: int = 0
    seconds: float = 0.0


@dataclass
class SizingResult:
    """The lightest total with a design meeting every requirement: ``plies`` (an int, or the
    pair (skin, stiffener) for a panel; None when none in the range has one or the run stopped
    first), ``result`` (the search's Result at that total: its designs), ``totals`` (one Total
    per total tried, lightest first), ``status`` ("optimal", "infeasible", "time-limit",
    "interrupted" or "memory-limit"), ``success`` and ``message``."""

    plies: Any
    result: Any
    totals: List[Total] = field(default_factory=list)
    status: str = "infeasible"

    @property
    def success(self) -> bool:
        return self.status == "optimal"

    @property
    def message(self) -> str:
        return {"optimal": f"the lightest is {self.plies} plies",
                "infeasible": "no total in the range has a design that meets the requirements",
                "time-limit": "the time limit ended the sizing before a total was found",
                "interrupted": "the sizing was interrupted before a total was found",
                "memory-limit": "tied designs filled the memory budget before a total was "
                                "found"}[self.status]


def _surface_at(surface: SurfaceOf, plies, name: str) -> Surface:
    if isinstance(surface, Surface):
        return surface
    if not callable(surface):
        raise TypeError(f"{name} must be a kelm.Surface or a callable of the total, not "
                        f"{type(surface).__name__}")
    made = surface(*plies) if isinstance(plies, tuple) else surface(plies)
    return _checks.instance(made, f"{name}(...)", Surface)


def _candidates(plies, weights) -> List[Tuple[Any, float]]:
    """Every total (or pair) with its weight, lightest first."""
    if isinstance(plies, tuple) and len(plies) == 2 and not isinstance(plies[0], int):
        skins = [_checks.ply_total(p, "plies[0][]") for p in plies[0]]
        stiffeners = [_checks.ply_total(p, "plies[1][]") for p in plies[1]]
        ws, wt = weights
        pairs = [((s, t), ws * s + wt * t) for s in skins for t in stiffeners]
        return sorted(pairs, key=lambda p: p[1])
    totals = [_checks.ply_total(p, "plies[]") for p in _items(plies)]
    return sorted(((t, float(t)) for t in totals), key=lambda p: p[1])


def _items(values) -> list:
    if isinstance(values, (str, bytes)) or not hasattr(values, "__iter__"):
        raise TypeError(f"plies must be a range of totals or a pair (skin totals, stiffener "
                        f"totals), not {type(values).__name__}")
    return list(values)


def lightest(objective: SurfaceOf, plies, *, require: Sequence[Tuple[SurfaceOf, float]] = (),
             min_of: Sequence[SurfaceOf] = (), rules=None,
             weights: Optional[Tuple[float, float]] = None, method: str = "tight",
             seed: Optional[int] = None, time_limit: Optional[float] = None,
             threads: Optional[int] = None, top: Optional[int] = None) -> SizingResult:
    """The lightest laminate whose best design meets every requirement (kelm_alt --plies=).

    objective, min_of, require's surfaces: a kelm.Surface, or a callable of the total
    (``f(plies)`` for one laminate, ``f(skin, stiffener)`` for a panel) giving the surface of
    that total. plies: the totals to try, e.g. ``range(16, 65)``, designing one laminate alone
    (its surfaces read x1, x2, x5, x6 only); or a pair (skin totals, stiffener totals) for a
    panel, tried by the weight ``weights[0] * skin + weights[1] * stiffener`` (default 1, 1).
    require: (surface, limit) pairs each design must meet. Totals are tried lightest first:
    one whose requirement no design can reach by a cheap bound is skipped, every other is
    searched exactly, and the first with a design is the answer: every lighter one is proved
    to have none. time_limit covers the whole sizing; Ctrl-C stops it with SearchInterrupted.
    rules, method, seed, threads, top: as kelm.optimize.
    """
    weights = (1.0, 1.0) if weights is None else tuple(
        _checks.real(w, f"weights[{i}]") for i, w in enumerate(weights))
    if len(weights) != 2 or not all(w > 0 for w in weights):
        raise ValueError("weights takes two positive numbers: per skin ply, per stiffener ply")
    candidates = _candidates(plies, weights)
    if not candidates:
        raise ValueError("plies holds no total")
    requirements = [(s, _checks.real(limit, f"require[{i}][1]"))
                    for i, (s, limit) in enumerate(require)]
    time_limit = _checks.seconds(time_limit, "time_limit")
    skin_rules, stiffener_rules = _panel_rules(rules)
    rule_fields = (asdict(skin_rules), asdict(stiffener_rules))
    sizing = SizingResult(None, None)
    required = []  # the requirement surfaces of the total being decided

    def set_up(skin: int, stiffener: int):
        total = _total_of(skin, stiffener)
        required[:] = [(_surface_at(s, total, f"require[{i}][0]"), limit)
                       for i, (s, limit) in enumerate(requirements)]
        return (*rule_fields, list(required))

    def search(skin: int, stiffener: int, left: Optional[float]):
        total = _total_of(skin, stiffener)
        result = optimize(_surface_at(objective, total, "objective"), skin, stiffener or None,
                          method=method, rules=rules, seed=seed, time_limit=left,
                          threads=threads, top=top, require=list(required),
                          min_of=[_surface_at(s, total, f"min_of[{i}]")
                                  for i, s in enumerate(min_of)])
        stopped = result.status in ("time-limit", "interrupted", "memory-limit")
        if stopped:
            sizing.status = result.status
        elif result.designs:
            sizing.plies, sizing.result, sizing.status = total, result, "optimal"
        return stopped, bool(result.designs) and not stopped, result.steps, result.seconds

    decided = _size_lightest([(*_pair_of(total), weight) for total, weight in candidates],
                             time_limit, set_up, search)
    for (total, weight), (outcome, requirement, limit, bound, steps, seconds) in zip(
            candidates, decided):
        entry = Total(total, outcome, weight, steps=steps, seconds=seconds)
        if outcome == "skipped":
            entry.requirement, entry.limit, entry.bound = requirement, limit, bound
        sizing.totals.append(entry)
    if sizing.totals and sizing.totals[-1].outcome == "stopped" and sizing.status == "infeasible":
        sizing.status = "time-limit"  # the limit came between two totals
    return sizing


def _pair_of(total) -> Tuple[int, int]:
    """(skin, stiffener) of a total; a stiffener of 0 plies is a laminate alone."""
    return total if isinstance(total, tuple) else (total, 0)


def _total_of(skin: int, stiffener: int):
    return skin if stiffener == 0 else (skin, stiffener)
