"""What a design loop is asked to do: the caller's settings, each checked where it enters, and
the tuning of the loop's trust regions that no caller sets."""

from __future__ import annotations

import os
import time
from dataclasses import dataclass
from typing import Any, Callable, Dict, List, Mapping, Optional

from . import _checks
from .rules import _panel_rules

# The trust region, in lamination-parameter distance (each parameter spans at most 2, so the
# whole space is about 5.7 across; one ply moved changes a bending parameter by 0.05 to 0.3).
START_RADIUS = 0.6
SMALLEST_RADIUS = 0.07
WIDEST_RADIUS = 6.0
# The region shrinks by SHRINK after PATIENCE proposals in a row that do not beat its centre:
# one miss of the fitted surfaces is not yet a sign that the centre is the local best.
SHRINK = 0.6
PATIENCE = 2
# Fit weights exp(-(d/h)^2): h is the radius or the distance to the nearest LOCAL_SAMPLES
# analysed designs, whichever is larger, so that every fit has enough samples near its centre.
LOCAL_SAMPLES = 60
SMALLEST_WEIGHT = 1e-3
# A mode is fitted to min(value, CAP * best value): above it the mode does not govern.
CAP = 1.5
# No centre is taken this close to a given-up one, and the designs of an exploring batch keep
# this far apart: panels often have good designs in several distant places (other ply counts,
# another governing mode).
SEPARATION = 0.5
# Every GLOBAL_ROUND-th round fits the surfaces to the whole space and searches it outside the
# best design's ply-count class of the skin (then of the stiffener, in turn) and outside the
# classes such rounds proposed before: a good class the plan only brushed, or analysed with a
# poor partner, still gets an analysis while the trust region works on the best one.
GLOBAL_ROUND = 5
# A region whose proposals fail to beat its centre this many rounds in a row is given up, whatever
# its radius: on a plateau (a governing mode that the designs near the centre do not change) the
# radius swings between shrinking on misses and widening on regions emptied by the analyses, and
# would never reach its smallest.
STALE_ROUNDS = 10
# ... but at most this share of the budget: a budget of 50 cannot wait ten rounds.
STALE_SHARE = 0.05
FEWEST_STALE_ROUNDS = 3
# Whole-space fits weight each analysis by 1 / (analyses within about this distance of it), so
# that the many analyses of a searched region do not outweigh the rest of the space.
BALANCE_WIDTH = 0.3
# Each search of the loop stops after this many steps with its best so far (a round's search
# that finds many near-tied designs in its region needs 0.2 to 0.3 million at 16/24; most need
# a few thousand).
SEARCH_STEPS = 1_000_000
# Below this many usable analyses the quadratics are fitted with their curvature held back
# (a ridge fit whose weight generalised cross-validation chooses): a full quadratic has 45 terms.
RIDGE_BELOW = 60
# The default plan: this share of the budget, within these bounds.
PLAN_SHARE = 0.3
SMALLEST_PLAN = 10
LARGEST_PLAN = 60


def plan_size(budget: int) -> int:
    """The designs of the loop's default plan for a budget of analyses: 30 % of it, at least
    10 and at most 60 (30 analyses: 10; 50: 15; 100: 30; 200 and more: 60). A small plan leaves
    the budget to the loop; its fits hold the curvature back until the analyses determine it."""
    budget = _checks.whole(budget, "budget", 1)
    return min(budget, max(SMALLEST_PLAN, min(LARGEST_PLAN, int(PLAN_SHARE * budget))))


@dataclass
class LoopSettings:
    """One loop's settings as kelm.optimize_model takes them; checked (TypeError or ValueError
    naming the argument) and put in their working form when made."""

    analyse: Callable
    skin_plies: int
    stiffener_plies: int
    modes: Any
    require: Any = None
    rules: Any = None
    budget: int = 200
    batch: int = 1
    plan: Any = None
    seed: Optional[int] = None
    executor: Any = None
    client: Any = None
    history: Any = None
    progress: Optional[Callable] = None
    time_limit: Optional[float] = None
    search_time: Optional[float] = None
    search_steps: int = SEARCH_STEPS

    def __post_init__(self):
        if not callable(self.analyse):
            raise TypeError("analyse must be callable: it takes a list of kelm.Design")
        self.skin_plies = _checks.ply_total(self.skin_plies, "skin_plies")
        self.stiffener_plies = _checks.ply_total(self.stiffener_plies, "stiffener_plies")
        self.modes = list(dict.fromkeys(_names(self.modes)))
        self.require = _requirements(self.require)
        _panel_rules(self.rules)  # refuses bad rules before anything is analysed
        self.budget = _checks.whole(self.budget, "budget", 1)
        self.batch = _checks.whole(self.batch, "batch", 1)
        self.seed = (int(time.time()) & 0xFFFFFFFF) if self.seed is None else \
            _checks.whole(self.seed, "seed", 0, 0xFFFFFFFF)
        if self.executor is not None and self.client is not None:
            raise ValueError("give executor or client, not both")
        self.history = None if self.history is None else os.fspath(self.history)
        self.time_limit = _checks.seconds(self.time_limit, "time_limit")
        self.search_time = _checks.seconds(self.search_time, "search_time")
        self.search_steps = _checks.whole(self.search_steps, "search_steps", 1)

    @property
    def names(self) -> List[str]:
        """Every response the loop reads: the modes, then the required ones."""
        return list(dict.fromkeys(self.modes + list(self.require)))

    @property
    def pool(self):
        """Where each design of a batch is analysed by its own call (None: one call a batch)."""
        return self.executor if self.executor is not None else self.client

    @property
    def stale_rounds(self) -> int:
        """Rounds a region's centre may go unbeaten before the region is given up."""
        return max(FEWEST_STALE_ROUNDS, min(STALE_ROUNDS, int(STALE_SHARE * self.budget)))


def _names(modes) -> List[str]:
    """The modes as a list of response names (any iterable of strings, read once)."""
    if isinstance(modes, (str, bytes, Mapping)) or not hasattr(modes, "__iter__"):
        raise TypeError("modes takes a list of response names, e.g. ['skin', 'blade'], not "
                        f"{type(modes).__name__}")
    names = list(modes)
    if not names or not all(isinstance(m, str) and m for m in names):
        raise TypeError("modes takes a non-empty list of response names, e.g. ['skin', 'blade']")
    return names


def _requirements(require) -> Dict[str, float]:
    """{name: limit} from a mapping or from (name, limit) pairs, as kelm.optimize takes them."""
    if require is None:
        return {}
    if isinstance(require, (str, bytes)) or not hasattr(require, "__iter__"):
        raise TypeError("require takes {response name: limit} or (name, limit) pairs, not "
                        f"{type(require).__name__}")
    pairs = require.items() if isinstance(require, Mapping) else list(require)
    limits = {}
    for i, pair in enumerate(pairs):
        if not isinstance(pair, (tuple, list)) or len(pair) != 2 or not isinstance(pair[0], str):
            raise TypeError(f"require[{i}] must be a pair (response name, limit), not {pair!r}")
        limits[pair[0]] = _checks.real(pair[1], f"require[{pair[0]!r}]")
    return limits
