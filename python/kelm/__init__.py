"""kelm: optimal stacking sequences of a stiffened composite panel.

The searches of the kelm programs (kelm_alt, kelm_iter) over the same C++ library, for
notebooks, optimisation frameworks and studies of many panels::

    import kelm
    surface = kelm.Surface.read("examples/panel_a.rs")
    result = kelm.optimize(surface, 24, 32)
    print(result.value, [d.skin.printed for d in result.designs])

Errors the programs report with a message and status 1 raise ValueError (bad input),
OSError (files) or MemoryError with the same message; the interpreter and the library go on.
"""

from __future__ import annotations

import time
from dataclasses import asdict, dataclass
from typing import Callable, NamedTuple, Optional, Sequence, Tuple, Union

from ._kelm import Design, Laminate, Result, Surface, check_surface
from ._kelm import _evaluate, _optimize

__all__ = [
    "Design", "Evaluation", "Laminate", "METHODS", "Progress", "Result", "Rules",
    "SearchInterrupted", "Surface", "check_surface", "evaluate", "optimize", "run_panels",
    "Panel", "panel_row", "Plan", "Fit", "surface_values", "sample_plan", "fit_surface", "target_surface",
    "LoopProgress", "ModelResult", "optimize_model",
]

#: The searches ``optimize`` runs: ``"tight"`` (kelm_alt --tight, the fastest exact one),
#: ``"tree"`` (kelm_alt), ``"exhaustive"`` (kelm_alt r), ``"iterative"`` (kelm_iter),
#: ``"iterative-tight"`` (kelm_iter --tight) and ``"round-robin"`` (kelm_iter r).
METHODS = ("tight", "tree", "exhaustive", "iterative", "iterative-tight", "round-robin")


@dataclass(frozen=True)
class Rules:
    """The design rules of one laminate (or of both, where one Rules is given for the panel).

    balance: as many +45 as -45 deg plies (option letter b; off with n).
    four_ply: no more than four equal plies in a row (option f).
    ply_numbers: fixed numbers of 0 and +-45 deg positions of the designed half, 90 deg taking
        the rest (option p); fixed numbers switch the balance rule off for that laminate.
    min_share: each orientation at least this percentage of the plies (--min-share=).
    max_run: the longest run of equal 0 or 90 deg positions (--max-run=).
    no_cross_ply_jump: no 0 deg position next to a 90 deg one (--no-cross-ply-jump).
    outer_45: the outermost position is +-45 deg (--outer-45).
    """

    balance: bool = True
    four_ply: bool = False
    ply_numbers: Optional[Tuple[int, int]] = None
    min_share: float = 0.0
    max_run: int = 0
    no_cross_ply_jump: bool = False
    outer_45: bool = False

    @classmethod
    def from_letters(cls, letters: str, **guidelines) -> "Rules":
        """The rules of the programs' option letters ("-b", "-bf", "n", ...), plus guidelines.

        Letter p needs the numbers: give them as ply_numbers=(zero, plus_minus_45).
        """
        balance, four_ply = True, False
        for letter in letters:
            if letter == "b":
                balance = True
            elif letter == "n":
                balance = False
            elif letter == "f":
                four_ply = True
            elif letter not in "-p":
                raise ValueError("unknown option!")
        if "p" in letters and guidelines.get("ply_numbers") is None:
            raise ValueError("option p needs ply_numbers=(zero, plus_minus_45)")
        return cls(balance=balance, four_ply=four_ply, **guidelines)

    def __post_init__(self):
        if not 0.0 <= self.min_share <= 100.0 / 3.0:
            raise ValueError("min_share takes a percentage from 0 up to 33.3")
        if self.max_run < 0:
            raise ValueError("max_run takes a whole number, 0 for no limit")
        if self.ply_numbers is not None and len(self.ply_numbers) != 2:
            raise ValueError("ply_numbers takes two numbers: 0 deg and +-45 deg positions")


RulesArgument = Union[None, str, Rules, Sequence[Rules], dict]


def _panel_rules(rules: RulesArgument) -> Tuple[Rules, Rules]:
    """Both laminates' rules from one Rules, a pair, {"skin": .., "stiffener": ..} or letters."""
    if rules is None:
        return Rules(), Rules()
    if isinstance(rules, str):
        rules = Rules.from_letters(rules)
    if isinstance(rules, Rules):
        return rules, rules
    if isinstance(rules, dict):
        return rules.get("skin", Rules()), rules.get("stiffener", Rules())
    skin, stiffener = rules
    return skin, stiffener


class Progress(NamedTuple):
    """What a running search reports to a progress callback."""

    steps: int  #: steps so far
    held: int  #: open designs or branches held
    best: float  #: best value so far
    seconds: float  #: wall-clock seconds since the start


class SearchInterrupted(KeyboardInterrupt):
    """Ctrl-C during a search: the search stopped, and ``result`` holds the best designs found
    so far (status "interrupted"). Caught by ``except KeyboardInterrupt`` as usual."""

    def __init__(self, result: Result):
        super().__init__("search interrupted: the best designs found so far are in .result")
        self.result = result


def optimize(surface: Surface, skin_plies: int, stiffener_plies: int, method: str = "tight",
             rules: RulesArgument = None, seed: Optional[int] = None,
             time_limit: Optional[float] = None, threads: Optional[int] = None,
             progress: Optional[Callable[[Progress], Optional[bool]]] = None,
             memory: Optional[int] = None, min_of: Sequence[Surface] = (),
             require: Sequence[Tuple[Surface, float]] = (),
             exclude: Sequence[Union[Design, Tuple[Sequence[int], Sequence[int]]]] = (),
             top: Optional[int] = None) -> Result:
    """The optimal designs of a panel: every design of the best value under the rules.

    surface: the response surface to maximise (kelm.Surface).
    skin_plies, stiffener_plies: the ply totals of the two laminates.
    method: one of METHODS; "tight" is the fastest exact search.
    rules: None (balance only, as the programs' default -b), one Rules for both laminates, a
        pair (skin, stiffener), a dict with keys "skin" and "stiffener", or option letters.
    seed: the random start's seed (default: the calendar time, as the programs).
    time_limit: seconds after which the search stops with the best found so far
        (status "time-limit").
    threads: threads of "tight" and "iterative-tight" (default: every core); the result is the
        same for every number.
    progress: called with a Progress at most four times a second; returning False stops the
        search (status "interrupted").
    memory: bytes the tight search's open designs may take (default: half the machine's).
    min_of: further surfaces (failure modes): the smallest of all is maximised
        (--min-of=); ``kelm.surface_values`` tells which one governs a design.
    require: (surface, limit) pairs: only designs whose value of the surface is at least the
        limit are allowed (--require=); with none allowed the result has no designs.
    exclude: designs never to return, each a Design or a pair (skin codes, stiffener codes) of
        the designed halves (0, 1 = +-45, 2 = 90 deg): the result is the best of the other
        designs, exactly (--exclude=). Methods "tight", "tree" and "exhaustive" only.
    top: the K best designs instead of the best and its ties: ``designs`` in falling value,
        best first, designs tied with the K-th all included (--top=K); found exactly, by the
        methods "tight", "tree" and "exhaustive".

    The GIL is released while the search runs, so searches in several Python threads run at
    once. Ctrl-C stops the search within a tenth of a second and raises SearchInterrupted (a
    KeyboardInterrupt) whose ``result`` holds the best designs found so far. An exception
    raised by the progress callback stops the search too; it carries the same ``result``.
    """
    skin_rules, stiffener_rules = _panel_rules(rules)
    excluded = _excluded_codes(exclude, int(skin_plies), int(stiffener_plies))
    if top is not None:
        if isinstance(top, bool) or not isinstance(top, int):
            raise TypeError("top must be a whole number")
        if not 1 <= top <= 100000:
            raise ValueError("top takes a whole number from 1 to 100000")
        if method not in _EXCLUDING_METHODS:
            raise ValueError(f"top is available with the methods {', '.join(_EXCLUDING_METHODS)}; "
                             f"not with {method!r}")
    if excluded and method not in _EXCLUDING_METHODS:
        raise ValueError(f"exclude is available with the methods {', '.join(_EXCLUDING_METHODS)}; "
                         f"not with {method!r}")
    if seed is None:
        seed = int(time.time()) & 0xFFFFFFFF
    callback = None
    if progress is not None:
        def callback(info: dict):
            return progress(Progress(**info))
    result, pending = _optimize(surface, int(skin_plies), int(stiffener_plies), method,
                                asdict(skin_rules), asdict(stiffener_rules), int(seed),
                                time_limit, threads, memory, callback, list(min_of),
                                [(s, float(limit)) for s, limit in require], excluded,
                                top or 0)
    if pending is not None:
        if isinstance(pending, KeyboardInterrupt) and not isinstance(pending, SearchInterrupted):
            raise SearchInterrupted(result) from None
        pending.result = result
        raise pending
    return result


_EXCLUDING_METHODS = ("tight", "tree", "exhaustive")


def _excluded_codes(exclude, skin_plies: int, stiffener_plies: int) -> list:
    """The excluded designs as pairs of code lists, checked against the search's ply totals."""
    if isinstance(exclude, (Design, str)):
        raise TypeError("exclude takes a sequence of designs, not a single one")
    pairs = []
    for i, item in enumerate(exclude):
        if isinstance(item, Design):
            if (item.skin.plies, item.stiffener.plies) != (skin_plies, stiffener_plies):
                raise ValueError(f"exclude[{i}] is a design of {item.skin.plies}/"
                                 f"{item.stiffener.plies} plies; the search is for "
                                 f"{skin_plies}/{stiffener_plies}")
            pairs.append((list(item.skin.codes), list(item.stiffener.codes)))
            continue
        try:
            skin, stiffener = item
            pairs.append(([int(c) for c in skin], [int(c) for c in stiffener]))
        except (TypeError, ValueError):
            raise TypeError(f"exclude[{i}] must be a kelm.Design or a pair "
                            "(skin_codes, stiffener_codes)") from None
    return pairs


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
    text, plies = laminate
    return Laminate.parse(text, plies)


def evaluate(surface: Surface, skin, stiffener, rules: RulesArgument = None) -> Evaluation:
    """The value of one design and whether each laminate meets its rules (kelm_eval).

    skin, stiffener: kelm.Laminate, or (bracket text, ply total), e.g. ("[45/45/90/0]s", 8).
    """
    skin_rules, stiffener_rules = _panel_rules(rules)
    checked = _evaluate(surface, _laminate(skin, "skin"), _laminate(stiffener, "stiffener"),
                        asdict(skin_rules), asdict(stiffener_rules))
    return Evaluation(checked["design"], checked["skin_allowed"], checked["stiffener_allowed"])


from .studies import Panel, panel_row, run_panels  # noqa: E402  (uses optimize above)
from .workflow import Fit, Plan, fit_surface, sample_plan, target_surface  # noqa: E402
from .design_loop import LoopProgress, ModelResult, optimize_model  # noqa: E402
