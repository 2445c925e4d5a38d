"""The searches of one panel and the check of one design by hand, as kelm_alt, kelm_iter and
kelm_eval run them: arguments checked where they enter, the search in the compiled module, its
result or the error that stopped it."""

from __future__ import annotations

import time
from dataclasses import asdict
from typing import Callable, NamedTuple, Optional, Sequence, Tuple, Union

import numpy

from . import _checks
from ._kelm import Design, Laminate, Result, Surface, _evaluate, _optimize
from .rules import RulesArgument, _panel_rules

#: The searches ``optimize`` runs: ``"tight"`` (kelm_alt --tight, the fastest exact one),
#: ``"tree"`` (kelm_alt), ``"exhaustive"`` (kelm_alt r), ``"iterative"`` (kelm_iter),
#: ``"iterative-tight"`` (kelm_iter --tight) and ``"round-robin"`` (kelm_iter r).
METHODS = ("tight", "tree", "exhaustive", "iterative", "iterative-tight", "round-robin")


class Progress(NamedTuple):
    """What a running search reports to a progress callback."""

    steps: int  #: steps so far
    held: int  #: open designs or branches held
    best: Optional[float]  #: best value so far; None until the search has one
    seconds: float  #: wall-clock seconds since the start


class SearchInterrupted(KeyboardInterrupt):
    """Ctrl-C during a search: the search stopped, and ``result`` holds the best designs found
    so far (status "interrupted"; for kelm.blend a BlendResult, status "stopped"). Caught by
    ``except KeyboardInterrupt`` as usual."""

    def __init__(self, result: Result):
        super().__init__("search interrupted: the best designs found so far are in .result")
        self.result = result


def optimize(surface: Surface, skin_plies: int, stiffener_plies: Optional[int],
             method: str = "tight",
             rules: RulesArgument = None, seed: Optional[int] = None,
             time_limit: Optional[float] = None, threads: Optional[int] = None,
             progress: Optional[Callable[[Progress], Optional[bool]]] = None,
             memory: Optional[int] = None, min_of: Sequence[Surface] = (),
             require: Sequence[Tuple[Surface, float]] = (),
             exclude: Sequence[Union[Design, Tuple[Sequence[int], Sequence[int]]]] = (),
             top: Optional[int] = None, step_limit: Optional[int] = None) -> Result:
    """The optimal designs of a panel: every design of the best value under the rules.

    surface: the response surface to maximise (kelm.Surface).
    skin_plies, stiffener_plies: the ply totals of the two laminates. stiffener_plies None
        designs one laminate alone (a plate, or a skin; kelm_alt --skin-only): the surface may
        then read only x1, x2, x5 and x6, the designs have no stiffener (``design.stiffener``
        is None) and the methods are "tight", "tree" and "exhaustive".
    method: one of METHODS; "tight" is the fastest exact search.
    rules: None (balance only, as the programs' default -b), one Rules for both laminates, a
        pair (skin, stiffener), a dict with keys "skin" and "stiffener", or option letters.
    seed: the random start's seed (default: the calendar time, as the programs).
    time_limit: seconds after which the search stops with the best found so far
        (status "time-limit").
    threads: threads of "tight" and "iterative-tight" (default: every core, one with a
        step_limit); the result of a finished search is the same for every number.
    progress: called with a Progress at most four times a second; returning False (only
        False: None, 0 and other answers go on) stops the search (status "interrupted").
    memory: bytes the tight search's open designs may take (default: half the machine's).
    min_of: further surfaces (failure modes): the smallest of all is maximised
        (--min-of=); ``kelm.surface_values`` tells which one governs a design.
    require: (surface, limit) pairs: only designs whose value of the surface is at least the
        limit are allowed (--require=); with none allowed the result has no designs and the
        status "infeasible".
    exclude: designs never to return, each a Design or a pair (skin codes, stiffener codes) of
        the designed halves (0, 1 = +-45, 2 = 90 deg): the result is the best of the other
        designs, exactly (--exclude=). Methods "tight", "tree" and "exhaustive" only.
    top: the K best designs instead of the best and its ties: ``designs`` in falling value,
        best first, designs tied with the K-th all included (--top=K); found exactly, by the
        methods "tight", "tree" and "exhaustive".
    step_limit: steps (as ``Result.steps`` counts them) after which the search stops with the
        best designs found so far (status "step-limit"); methods "tight" and "tree". A limit by
        the search's own work, unlike time_limit: on one thread (the default with a step limit)
        the same arguments give the same designs on every machine and under any load.

    The Result says whether it succeeded: ``success`` is True for status "optimal" only;
    "time-limit", "step-limit" and "interrupted" hold the best designs found so far, as does
    "memory-limit" (tied designs, a plateau of equal values, filled half of ``memory``), "infeasible" none
    (no design meets the rules and requirements; the iterative methods, which start from the
    first allowed stiffener, may miss designs the exact methods find). ``message`` says it in
    words. Arguments are checked first: a wrong type raises TypeError, a wrong value
    ValueError, each naming the argument.

    The GIL is released while the search runs, so searches in several Python threads run at
    once. Ctrl-C stops the search within a tenth of a second and raises SearchInterrupted (a
    KeyboardInterrupt) whose ``result`` holds the best designs found so far. An exception
    raised by the progress callback stops the search too; it carries the same ``result``.
    """
    _checks.instance(surface, "surface", Surface)
    skin_plies = _checks.ply_total(skin_plies, "skin_plies")
    single = stiffener_plies is None
    stiffener_plies = 0 if single else _checks.ply_total(stiffener_plies, "stiffener_plies")
    _checks.choice(method, "method", METHODS)
    if single and method not in _EXCLUDING_METHODS:
        raise ValueError(f"a single laminate (stiffener_plies None) is searched by the methods "
                         f"{', '.join(_EXCLUDING_METHODS)}; not by {method!r}")
    skin_rules, stiffener_rules = _panel_rules(rules)
    seed = _seed(seed)
    time_limit = _checks.seconds(time_limit, "time_limit")
    threads = None if threads is None else _checks.whole(threads, "threads", 1, 4096)
    memory = None if memory is None else _checks.whole(memory, "memory", 1)
    min_of = [_checks.instance(s, f"min_of[{i}]", Surface) for i, s in enumerate(_items(min_of, "min_of"))]
    require = [_requirement(r, i) for i, r in enumerate(_items(require, "require"))]
    excluded = _excluded_codes(exclude, skin_plies, stiffener_plies)
    if step_limit is not None:
        step_limit = _checks.whole(step_limit, "step_limit", 1)
        if method not in ("tight", "tree"):
            raise ValueError(f"step_limit is available with the methods tight and tree; not with "
                             f"{method!r}")
        threads = 1 if threads is None else threads
    if top is not None:
        top = _checks.whole(top, "top", 1, 100000)
        if method not in _EXCLUDING_METHODS:
            raise ValueError(f"top is available with the methods {', '.join(_EXCLUDING_METHODS)}; "
                             f"not with {method!r}")
    if excluded and method not in _EXCLUDING_METHODS:
        raise ValueError(f"exclude is available with the methods {', '.join(_EXCLUDING_METHODS)}; "
                         f"not with {method!r}")
    callback = None
    if _checks.callable_or_none(progress, "progress") is not None:
        def callback(info: dict) -> bool:
            return not _says_stop(progress(Progress(**info)))
    result, pending = _optimize(surface, skin_plies, stiffener_plies, method,
                                asdict(skin_rules), asdict(stiffener_rules), seed,
                                time_limit, threads, memory, callback, min_of, require, excluded,
                                top or 0, step_limit or 0)
    return _returned(result, pending)


_EXCLUDING_METHODS = ("tight", "tree", "exhaustive")


def _excluded_codes(exclude, skin_plies: int, stiffener_plies: int) -> list:
    """The excluded designs as pairs of code lists, checked against the search's ply totals."""
    if isinstance(exclude, (Design, str)):
        raise TypeError("exclude takes a sequence of designs, not a single one")
    pairs = []
    for i, item in enumerate(exclude):
        if isinstance(item, Design):
            stiffener = item.stiffener
            plies = (item.skin.plies, 0 if stiffener is None else stiffener.plies)
            if plies != (skin_plies, stiffener_plies):
                raise ValueError(f"exclude[{i}] is a design of {plies[0]}/{plies[1]} plies; the "
                                 f"search is for {skin_plies}/{stiffener_plies}")
            pairs.append((list(item.skin.codes), [] if stiffener is None else list(stiffener.codes)))
            continue
        if stiffener_plies == 0:  # a single laminate: the skin's codes alone
            item = (item, [])
        try:
            skin, stiffener = item
            pairs.append(([int(c) for c in skin], [int(c) for c in stiffener]))
        except (TypeError, ValueError):
            raise TypeError(f"exclude[{i}] must be a kelm.Design or a pair "
                            "(skin_codes, stiffener_codes)") from None
    return pairs


def _returned(result, pending):
    """A search's result, or the error that stopped it (Ctrl-C as SearchInterrupted, the
    progress callback's own exception) raised carrying that result."""
    if pending is None:
        return result
    if isinstance(pending, KeyboardInterrupt) and not isinstance(pending, SearchInterrupted):
        raise SearchInterrupted(result) from None
    pending.result = result
    raise pending


def _says_stop(answer) -> bool:
    """Only False stops a search: None, 0 or any other answer lets it go on."""
    return answer is False or (isinstance(answer, numpy.bool_) and not answer)


def _seed(seed) -> int:
    if seed is None:
        return int(time.time()) & 0xFFFFFFFF
    return _checks.whole(seed, "seed", 0, 0xFFFFFFFF)


def _items(values, name: str) -> list:
    if isinstance(values, (str, bytes, dict)) or not hasattr(values, "__iter__"):
        raise TypeError(f"{name} must be a sequence, not {type(values).__name__}")
    return list(values)


def _requirement(pair, index: int) -> Tuple[Surface, float]:
    name = f"require[{index}]"
    if not isinstance(pair, (tuple, list)) or len(pair) != 2:
        raise TypeError(f"{name} must be a pair (surface, limit)")
    return (_checks.instance(pair[0], name + "[0]", Surface), _checks.real(pair[1], name + "[1]"))


class Evaluation(NamedTuple):
    """A design checked by hand, as kelm_eval checks it."""

    design: Design  #: the design with its value under the surface
    skin_allowed: bool  #: the skin meets its rules
    stiffener_allowed: bool  #: the stiffener meets its rules

    @property
    def value(self) -> float:
        """The surface's value of the design."""
        return self.design.value

    @property
    def allowed(self) -> bool:
        """Both laminates meet their rules."""
        return self.skin_allowed and self.stiffener_allowed


def surface_values(design: Design, surface: Surface, min_of: Sequence[Surface] = (),
                   require: Sequence[Tuple[Surface, float]] = ()) -> dict:
    """Every surface's value at a design, as the reports give them: "objectives" (the surface
    and the min_of ones, in order), "governs" (the index of the smallest), "required" (value
    and whether it holds, per requirement)."""
    _checks.instance(design, "design", Design)
    _checks.instance(surface, "surface", Surface)
    min_of = [_checks.instance(s, f"min_of[{i}]", Surface) for i, s in enumerate(_items(min_of, "min_of"))]
    require = [_requirement(r, i) for i, r in enumerate(_items(require, "require"))]
    x = design.parameters
    objectives = [float(s(x)) for s in (surface, *min_of)]
    return {"objectives": objectives, "governs": objectives.index(min(objectives)),
            "required": [(float(s(x)), float(s(x)) >= limit) for s, limit in require]}


def _laminate(laminate: Union[Laminate, str, Tuple[str, int]], name: str) -> Laminate:
    if isinstance(laminate, Laminate):
        return laminate
    if isinstance(laminate, str):
        raise ValueError(f"give the {name} as kelm.Laminate or as (text, plies): the ply total "
                         "decides the mid-plane ply")
    if not isinstance(laminate, (tuple, list)) or len(laminate) != 2:
        raise TypeError(f"{name} must be a kelm.Laminate or a pair (text, plies), not "
                        f"{type(laminate).__name__}")
    text, plies = laminate
    return Laminate.parse(_checks.text(text, name + "[0]"), _checks.ply_total(plies, name + "[1]"))


def evaluate(surface: Surface, skin, stiffener, rules: RulesArgument = None) -> Evaluation:
    """The value of one design and whether each laminate meets its rules (kelm_eval).

    skin, stiffener: kelm.Laminate, or (bracket text, ply total), e.g. ("[45/45/90/0]s", 8);
        stiffener None for a single laminate (its surface reads only x1, x2, x5 and x6).
    """
    _checks.instance(surface, "surface", Surface)
    skin_rules, stiffener_rules = _panel_rules(rules)
    checked = _evaluate(surface, _laminate(skin, "skin"),
                        None if stiffener is None else _laminate(stiffener, "stiffener"),
                        asdict(skin_rules), asdict(stiffener_rules))
    return Evaluation(checked["design"], checked["skin_allowed"], checked["stiffener_allowed"])
