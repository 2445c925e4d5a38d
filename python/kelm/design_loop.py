"""Design by analysis: the design that is best on the user's own analysis, not on a fitted surface.

A fitted quadratic is least accurate where it matters most: the best design of a panel usually
sits where two failure modes have equal load factors, on a kink that one global quadratic cannot
follow. ``optimize_model`` therefore works as a trust region around the best design analysed so
far:

1. a D-optimal plan of buildable designs is analysed (as ``kelm_sample`` chooses them), its
   size scaled to the budget (``plan_size``); while fewer analyses than the 45 terms of a
   quadratic (and a margin) are at hand, the surfaces are fitted with their curvature held
   back (a ridge fit), so that a small budget is left mostly to the loop;
2. each round fits one quadratic per failure mode (and per required response), with weights that
   fall off with the distance, in lamination parameters, from the best analysed design, each
   mode capped a little above that design's value so that modes far from governing do not spend
   the fit (a mode capped at every analysis, a constant, is left out of that round's search);
3. the exact search maximises the smallest of the mode surfaces over the buildable designs that
   were not analysed yet, inside the trust region (a distance requirement around the best
   design) and meeting the fitted requirements; each search is limited by its own steps, not
   by the clock, so the same seed gives the same history under any load (and on any machine
   whose numpy computes the same numbers), and the history says whether each proposal is the
   proved best of its surfaces;
4. the proposals are analysed; the region grows when a proposal beats the best design and
   shrinks when none does;
5. a region is given up once it is at its smallest, or once its centre has stayed unbeaten for
   ten rounds (fewer with a small budget: a plateau, the governing mode is one the designs near
   the centre do not change). The next region opens at the best design of whole-space surfaces
   (fitted with the analyses weighted against crowding) whose skin lies away from the skins
   of every region given up (after the first, third, ... region), or whose stiffener does
   (after the second, fourth, ...): other ply counts (which fix the in-plane parameters) or
   far other bending parameters of that laminate. So the loop cannot starve on one skin (or
   one stiffener) while the budget lasts, and a good region the plan missed still gets found.
   The regions file beside the history lists the regions given up with their ply counts.

The answer is always the best *analysed* design, never a prediction.

    result = kelm.optimize_model(analyse, 24, 32, modes=["skin", "blade", "strain"],
                                 rules="-bf", budget=200, seed=1)
    print(result.best, result.responses, result.status)
"""

from __future__ import annotations

import math
import os
import time
from dataclasses import dataclass, field
from typing import Callable, Dict, List, Mapping, NamedTuple, Optional, Sequence

import numpy

from . import _checks
from ._kelm import Design, Laminate, Surface
from .workflow import design_columns

#: Why a loop stopped (ModelResult.status).
STOP_REASONS = {
    "budget": "the budget of analyses is used up",
    "exhausted": "every buildable design the surfaces allow has been analysed",
    "time-limit": "the time limit was reached",
    "interrupted": "stopped by Ctrl-C or by the progress callback",
}

# The trust region, in lamination-parameter distance (each parameter spans at most 2, so the
# whole space is about 5.7 across; one ply moved changes a bending parameter by 0.05 to 0.3).
_START_RADIUS = 0.6
_SMALLEST_RADIUS = 0.07
_WIDEST_RADIUS = 6.0
# The region shrinks by _SHRINK after _PATIENCE proposals in a row that do not beat its centre:
# one miss of the fitted surfaces is not yet a sign that the centre is the local best.
_SHRINK = 0.6
_PATIENCE = 2
# Fit weights exp(-(d/h)^2): h is the radius or the distance to the nearest _LOCAL_SAMPLES
# analysed designs, whichever is larger, so that every fit has enough samples near its centre.
_LOCAL_SAMPLES = 60
_SMALLEST_WEIGHT = 1e-3
# A mode is fitted to min(value, _CAP * best value): above it the mode does not govern.
_CAP = 1.5
# No centre is taken this close to a given-up one, and the designs of an exploring batch keep
# this far apart: panels often have good designs in several distant places (other ply counts,
# another governing mode).
_SEPARATION = 0.5
# Every _GLOBAL_ROUND-th round fits the surfaces to the whole space and searches all of it: a good
# region the plan only brushed still gets proposals.
_GLOBAL_ROUND = 5
# A region whose proposals fail to beat its centre this many rounds in a row is given up, whatever
# its radius: on a plateau (a governing mode that the designs near the centre do not change) the
# radius swings between shrinking on misses and widening on regions emptied by the analyses, and
# would never reach its smallest.
_STALE_ROUNDS = 10
# ... but at most this share of the budget: a budget of 50 cannot wait ten rounds.
_STALE_SHARE = 0.05
_FEWEST_STALE_ROUNDS = 3
# Whole-space fits weight each analysis by 1 / (analyses within about this distance of it), so
# that the many analyses of a searched region do not outweigh the rest of the space.
_BALANCE_WIDTH = 0.3
# Each search of the loop stops after this many steps with its best so far (a round's search
# that finds many near-tied designs in its region needs 0.2 to 0.3 million at 16/24; most need
# a few thousand).
_SEARCH_STEPS = 1_000_000
# Below this many usable analyses the quadratics are fitted with their curvature held back
# (a ridge fit whose weight generalised cross-validation chooses): a full quadratic has 45 terms.
_RIDGE_BELOW = 60
# The default plan: this share of the budget, within these bounds.
_PLAN_SHARE = 0.3
_SMALLEST_PLAN = 10
_LARGEST_PLAN = 60


class LoopProgress(NamedTuple):
    """What a running loop reports to a progress callback after each batch of analyses."""

    analyses: int  #: analyses so far, failed ones included
    best: float  #: the best analysed objective (the smallest mode), NaN before the first
    round: int  #: the round (0 is the plan)
    radius: float  #: the trust region's radius
    seconds: float  #: wall-clock seconds since the start


@dataclass
class ModelResult:
    """What optimize_model found: the best analysed design and every analysis on the way."""

    best: Optional[Design]  #: the best analysed design meeting the requirements (None: none)
    value: float  #: its objective, the smallest of its modes (NaN without a best design)
    responses: Dict[str, float]  #: its analysed responses
    history: object = field(repr=False)  #: pandas DataFrame, one row per analysis
    surfaces: Dict[str, Surface] = field(repr=False)  #: the last fits, by response name
    status: str = "budget"  #: why it stopped: a key of kelm.design_loop.STOP_REASONS
    message: str = ""  #: the same in words
    analyses: int = 0  #: analyses made, the resumed ones and failed ones included
    failed: int = 0  #: analyses that raised or returned no number

    @property
    def success(self) -> bool:
        """A design meeting the requirements was found and the loop ended by its own rule."""
        return self.best is not None and self.status in ("budget", "exhausted")

    def convergence_svg(self, true_optimum: Optional[float] = None, title: str = "") -> str:
        """The picture of the loop as SVG text: the best analysed value against the analyses,
        each analysis, each proposal's predicted value, the plan's best and the true optimum
        when it is known."""
        from .loop_picture import convergence_svg

        return convergence_svg(self.history, title, true_optimum)


@dataclass
class _Record:
    design: Design
    round: int
    responses: Dict[str, float]
    failed: str = ""  # why the analysis gave no usable numbers
    predicted: float = math.nan
    radius: float = math.nan  # the trust region's radius when it was proposed
    proved: Optional[bool] = None  # its search finished: the best design its surfaces allow
    region: Optional[int] = None  # the regions given up before it was proposed

    def key(self):
        return (tuple(self.design.skin.codes), tuple(self.design.stiffener.codes))


def optimize_model(analyse: Callable, skin_plies: int, stiffener_plies: int, *,
                   modes: Sequence[str], require: Optional[Mapping[str, float]] = None,
                   rules=None, budget: int = 200, batch: int = 1, plan=None,
                   seed: Optional[int] = None, executor=None, client=None,
                   history=None, progress: Optional[Callable[[LoopProgress], Optional[bool]]] = None,
                   time_limit: Optional[float] = None, search_time: Optional[float] = None,
                   search_steps: int = _SEARCH_STEPS) -> ModelResult:
    """The best design of a panel on the user's analysis, within a budget of analyses.

    analyse: called with a list of kelm.Design; returns, for each, a mapping from response name
        to value (or a pandas DataFrame with one row per design). A design whose analysis raises
        or lacks a finite number for a needed response is recorded as failed and never retried.
    modes: the responses whose smallest value is maximised (load factors: larger is better).
    require: {response: limit}: only designs whose analysed response is at least the limit count.
    rules: as for kelm.optimize (option letters, a Rules, a pair or a dict).
    budget: analyses in all, the plan's included (resumed ones count too).
    batch: designs proposed and analysed per round (in parallel through executor or client).
    plan: the first designs: their number (default ``plan_size(budget)``: 30 % of the budget,
        10 to 60) or a list of kelm.Design.
    seed: the plan's and the searches' seed (default: the calendar time).
    executor: a concurrent.futures executor; client: a Dask distributed Client. With either,
        each design of a batch is analysed by its own call analyse([design]).
    history: a CSV file: the loop's state. Each batch is appended as it is analysed; a loop
        started with an existing file resumes from it without repeating an analysis. The
        regions given up and the region open are kept beside it (HISTORY.regions.json), so a
        resumed loop goes on where it stopped.
    progress: called with a LoopProgress after each batch; returning False stops the loop.
    time_limit: seconds after which the loop returns what was analysed so far.
    search_steps: steps each search of the loop may take (kelm.optimize's step_limit, on one
        thread): a limit by the search's own work, so that the same seed, model and budget give
        the same history under any load. A search stopped by it proposes its
        best so far, and the history's column ``proved`` is then False.
    search_time: seconds each search may take besides (default: no limit). A search cut by the
        clock makes the history depend on the machine's speed and load; ``proved`` says so.

    Ctrl-C raises kelm.SearchInterrupted (a KeyboardInterrupt) whose ``result`` is the
    ModelResult of what was analysed so far (status "interrupted"), as kelm.optimize and
    kelm.blend do; a progress callback's False returns that result.
    """
    loop = _Loop(analyse, skin_plies, stiffener_plies, modes, require, rules, budget, batch,
                 plan, seed, executor, client, history, progress, time_limit, search_time,
                 search_steps)
    return loop.run()


class _Stop(Exception):
    def __init__(self, status: str):
        super().__init__(status)
        self.status = status


class _Loop:
    def __init__(self, analyse, skin_plies, stiffener_plies, modes, require, rules, budget, batch,
                 plan, seed, executor, client, history, progress, time_limit, search_time,
                 search_steps=_SEARCH_STEPS):
        from . import _panel_rules

        if not callable(analyse):
            raise TypeError("analyse must be callable: it takes a list of kelm.Design")
        self.skin_plies = _checks.ply_total(skin_plies, "skin_plies")
        self.stiffener_plies = _checks.ply_total(stiffener_plies, "stiffener_plies")
        self.modes = list(dict.fromkeys(_names(modes)))
        self.require = _requirements(require)
        self.names = list(dict.fromkeys(self.modes + list(self.require)))
        self.rules = rules
        _panel_rules(rules)  # refuses bad rules before anything is analysed
        self.budget = _checks.whole(budget, "budget", 1)
        self.batch = _checks.whole(batch, "batch", 1)
        self.plan = plan
        self.seed = (int(time.time()) & 0xFFFFFFFF) if seed is None else _checks.whole(seed, "seed", 0, 0xFFFFFFFF)
        if executor is not None and client is not None:
            raise ValueError("give executor or client, not both")
        self.analyse, self.pool = analyse, executor if executor is not None else client
        self.history_path = None if history is None else os.fspath(history)
        self.progress = progress
        self.time_limit = _checks.seconds(time_limit, "time_limit")
        self.search_time = _checks.seconds(search_time, "search_time")
        self.search_steps = _checks.whole(search_steps, "search_steps", 1)
        self.stale_rounds = max(_FEWEST_STALE_ROUNDS,
                                min(_STALE_ROUNDS, int(_STALE_SHARE * self.budget)))
        self.records: List[_Record] = []
        self.seen = set()
        self.written: set = set()  # the response names some analysis has written
        self.resumed = False
        self.history_columns: Optional[List[str]] = None
        self.surfaces: Dict[str, Surface] = {}
        self._capped: set = set()
        self.radius = _START_RADIUS
        self.spent: List[numpy.ndarray] = []  # centres of the regions given up
        self.given_up: List[dict] = []  # the same for the regions file: counts, value, analyses
        self.misses = 0  # proposals in a row that did not beat the centre
        self.stale = 0  # rounds in a row whose proposals did not beat the centre
        # After a region is given up, the next one is opened at a design found far from every
        # analysed design (the anchor); the region's centre is then the best design of its own
        # lineage: the anchor and the designs analysed since it was opened.
        self.anchor: Optional[_Record] = None
        self.anchor_since = 0
        self.explore = False  # the next round opens a new region
        self.round = 0
        self.start = time.monotonic()

    # --- the loop -------------------------------------------------------------------------
    def run(self) -> ModelResult:
        status = "budget"
        try:
            self._resume()
            self._analyse_plan()
            status = self._iterate()
        except _Stop as stop:
            status = stop.status
        except KeyboardInterrupt:
            # As kelm.optimize and kelm.blend: Ctrl-C raises, carrying what was analysed.
            from . import SearchInterrupted

            raise SearchInterrupted(self._result("interrupted")) from None
        return self._result(status)

    def _iterate(self) -> str:
        while len(self.records) < self.budget:
            self.round += 1
            proposals = self._propose()
            if not proposals and self.explore:
                self.explore = False  # no unanalysed design lies far from the analysed ones
                continue
            if not proposals and self.radius >= _WIDEST_RADIUS:
                # The fitted requirements may rule out every design left: ask once more
                # without them before calling the designs exhausted.
                proposals = self._propose(fitted_requirements=False)
                if not proposals:
                    return "exhausted"
            if not proposals:
                # Every design of the region is analysed: widen it, and count the round as one
                # the centre was not beaten in.
                self.radius = min(2 * self.radius, _WIDEST_RADIUS)
                self._count_stale(self._centre())
                continue
            centre = self._centre()
            self._analyse_designs(proposals)
            if self.explore:
                self._open_region(proposals)
            else:
                self._adapt_radius(centre, proposals)
            self._save_regions()
        return "budget"

    def _count_stale(self, centre: Optional[_Record]) -> None:
        if centre is None or self.explore:
            return
        self.stale += 1
        if self.stale >= self.stale_rounds:
            self._give_up(centre)

    def _give_up(self, centre: _Record) -> None:
        """The region around centre has nothing better to offer: the next round explores."""
        self.spent.append(numpy.asarray(centre.design.parameters))
        self.given_up.append({"skin_counts": _counts(centre.design.skin),
                              "stiffener_counts": _counts(centre.design.stiffener),
                              "centre": self.records.index(centre),
                              "value": self._objective(centre) if not centre.failed else None,
                              "analyses": len(self.records)})
        self.radius = _START_RADIUS
        self.misses = self.stale = 0
        self.anchor = None
        self.explore = True

    def _away_from_given_up(self) -> list:
        """Requirements keeping an exploring search away from the regions given up, in the
        skin's parameters (x1, x2, x5, x6) after an odd number of them, in the stiffener's after
        an even number: the next region then has another skin (or stiffener), of other ply
        counts or of far other bending parameters, and the loop cannot spend its explorations
        on one skin with ever other partners. (A requirement per region given up, not per
        analysed design: each requirement costs the search its own tables.)"""
        weights = _SKIN if len(self.given_up) % 2 == 1 else _STIFFENER
        return _far_from(self.spent, _SEPARATION, weights)

    def _open_region(self, proposals: List[_Record]) -> None:
        usable = [p for p in proposals if not p.failed]
        self.explore = False
        if usable:
            self.anchor = max(usable, key=self._score)
            self.anchor_since = len(self.records)

    def _adapt_radius(self, centre: Optional[_Record], proposals: List[_Record]) -> None:
        if centre is None:
            return  # a round over the whole space
        if any(not p.failed and self._score(p) > self._score(centre) and self._fresh_region(p)
               for p in proposals):
            self.radius = min(2 * self.radius, _WIDEST_RADIUS)
            self.misses = self.stale = 0
            return
        self.misses += 1
        self._count_stale(centre)
        if self.explore or self.misses < _PATIENCE:
            return
        self.misses = 0
        if self.radius * _SHRINK >= _SMALLEST_RADIUS:
            self.radius *= _SHRINK
        else:
            # The centre stays best however close the region comes: search elsewhere, never
            # stopping while the budget lasts.
            self._give_up(centre)

    def _fresh_region(self, record: _Record) -> bool:
        return all(numpy.linalg.norm(numpy.asarray(record.design.parameters) - c) > _SEPARATION
                   for c in self.spent)

    def _centre(self) -> Optional[_Record]:
        """The best analysed design away from the regions given up (after a new region is
        opened: the best of its lineage); None in a global or exploring round, or when every
        good design lies in a given-up region: the round then searches the whole space."""
        if self.explore or self.round % _GLOBAL_ROUND == 0:
            return None
        if self.anchor is not None:
            lineage = [r for r in self.records[self.anchor_since:]
                       if not r.failed and self._fresh_region(r)]
            return max([self.anchor] + lineage, key=self._score)
        usable = [r for r in self.records if not r.failed and self._fresh_region(r)]
        return max(usable, key=self._score) if usable else None

    # --- proposals ------------------------------------------------------------------------
    def _propose(self, fitted_requirements: bool = True) -> List[_Record]:
        from . import optimize, target_surface

        try:
            self.surfaces = self._fit_surfaces()
        except ValueError:
            # Too few analyses succeeded to determine the quadratics: more of the plan first.
            return self._more_plan_designs()
        centre = self._centre()
        required = [(self.surfaces[n], limit) for n, limit in self.require.items()
                    if fitted_requirements]
        if centre is not None:
            region, top = target_surface(list(centre.design.parameters))
            required.append((region, top - self.radius ** 2))
        elif self.explore:
            required += self._away_from_given_up()
        objectives = [self.surfaces[m] for m in self._governing_modes()]
        proposals: List[_Record] = []
        while len(proposals) < min(self.batch, self.budget - len(self.records)):
            excluded = [r.design for r in self.records] + [p.design for p in proposals]
            found = optimize(objectives[0], self.skin_plies, self.stiffener_plies,
                             rules=self.rules, seed=(self.seed + self.round) & 0xFFFFFFFF,
                             time_limit=self._search_limit(), step_limit=self.search_steps,
                             threads=1, min_of=objectives[1:], require=required,
                             **_exclusion(excluded))
            fresh = [d for d in found.designs if _key(d) not in self.seen
                     and _key(d) not in {p.key() for p in proposals}]
            if not fresh:
                break
            proposals.append(_Record(fresh[0], self.round, {}, predicted=float(found.value),
                                     radius=self.radius, proved=found.status == "optimal",
                                     region=len(self.given_up)))
            if self.explore:  # a batch that explores spreads out
                required += _far_from([fresh[0].parameters], _SEPARATION)
        return proposals

    def _more_plan_designs(self) -> List[_Record]:
        from . import sample_plan

        wanted = min(self.batch, self.budget - len(self.records))
        size = len(self.records) + 2 * wanted + _LOCAL_SAMPLES
        designs = sample_plan(self.skin_plies, self.stiffener_plies, size, rules=self.rules,
                              seed=self.seed + self.round).designs
        fresh = [d for d in designs if _key(d) not in self.seen]
        return [_Record(d, self.round, {}) for d in fresh[:wanted]]

    def _fit_surfaces(self) -> Dict[str, Surface]:
        from . import fit_surface

        usable = [r for r in self.records if not r.failed]
        x = numpy.array([r.design.parameters for r in usable])
        centre = self._centre()
        weights = _balanced_weights(x) if centre is None else self._local_weights(x, centre)
        cap = _CAP * max(self._best_value(), 0.0) if self._best_value() > 0 else None
        fits = {}
        self._capped = set()
        basis = _RidgeBasis(x, weights) if len(usable) < _RIDGE_BELOW else None
        for name in self.names:
            y = [r.responses[name] for r in usable]
            mode_cap = cap if name in self.modes and cap is not None else None
            if mode_cap is not None and min(y) >= mode_cap:
                self._capped.add(name)
            if len(usable) < _RIDGE_BELOW:
                capped = numpy.minimum(y, mode_cap) if mode_cap is not None else numpy.asarray(y)
                fits[name] = _ridge_fit(basis, capped)
            else:
                fits[name] = fit_surface(x, y, weights=weights, cap=mode_cap, name=name).surface
        return fits

    def _governing_modes(self) -> List[str]:
        # A mode capped at every analysis is fitted as a constant: it governs nowhere the loop
        # has looked, and as a smallest value it would tie every design the others rate above it.
        governing = [m for m in self.modes if m not in self._capped]
        return governing or self.modes

    def _local_weights(self, x: numpy.ndarray, centre: _Record) -> numpy.ndarray:
        distance = numpy.sqrt(((x - numpy.asarray(centre.design.parameters)) ** 2).sum(axis=1))
        near = numpy.sort(distance)[min(_LOCAL_SAMPLES, len(distance)) - 1]
        width = max(self.radius, near, 1e-9)
        return numpy.maximum(numpy.exp(-(distance / width) ** 2), _SMALLEST_WEIGHT)

    # --- analyses -------------------------------------------------------------------------
    def _analyse_plan(self) -> None:
        from . import sample_plan

        planned = [r for r in self.records if r.round == 0 and r.key() in self.seen]
        if isinstance(self.plan, (list, tuple)):
            designs = list(self.plan)
            if not all(isinstance(d, Design) for d in designs):
                raise TypeError("plan takes a number of designs or a list of kelm.Design")
        else:
            size = plan_size(self.budget) if self.plan is None else _checks.whole(self.plan, "plan", 1)
            size = min(size, self.budget)
            designs = [] if len(planned) >= size else sample_plan(
                self.skin_plies, self.stiffener_plies, size, rules=self.rules,
                seed=self.seed).designs
        todo = [d for d in designs if _key(d) not in self.seen]
        todo = todo[: max(0, min(len(designs) - len(planned), self.budget - len(self.records)))]
        chunk = max(self.batch, 10)
        for start in range(0, len(todo), chunk):
            self._analyse_designs([_Record(d, 0, {}) for d in todo[start:start + chunk]])
        if not any(not r.failed for r in self.records):
            raise ValueError(self._nothing_usable())

    def _nothing_usable(self) -> str:
        if not self.records:
            return "the plan holds no design"
        where = f"the history {self.history_path} holds no usable analysis and " \
            if self.resumed else ""
        return f"{where}every analysis of the plan failed: {self.records[-1].failed}"

    def _analyse_designs(self, records: List[_Record]) -> None:
        self._check_time()
        answers = self._call_analyse([r.design for r in records])
        for record, answer in zip(records, answers):
            record.responses, record.failed = self._responses(answer)
            self.records.append(record)
            self.seen.add(record.key())
        self._append_history(records)
        self._refuse_unwritten(answers)
        self._report()

    def _refuse_unwritten(self, answers) -> None:
        """A response no analysis has written yet, after a batch that answered, is a wrong name
        (a typo in modes or require), not a failed design: stop before the whole plan is spent."""
        written = [a for a in answers if isinstance(a, Mapping)]
        missing = [n for n in self.names if n not in self.written]
        if written and missing:
            columns = sorted({str(k) for a in written for k in a})
            raise ValueError(f"the analysis wrote no {', '.join(missing)}: it wrote "
                             f"{', '.join(columns) or 'nothing'}; check the response names")

    def _call_analyse(self, designs: List[Design]) -> list:
        if self.pool is None:
            try:
                return _rows(self.analyse(list(designs)), len(designs))
            except KeyboardInterrupt:
                raise
            except Exception as error:  # noqa: BLE001 -- the user's analysis may raise anything
                remaining = self._remaining_time()
                if _is_timeout(error) and remaining is not None and remaining <= 0:
                    raise _Stop("time-limit") from None  # stopped by the limit: not a failure
                return [error] * len(designs)
        submit = self.pool.submit
        extra = {"pure": False} if hasattr(self.pool, "gather") else {}
        futures = [submit(self.analyse, [d], **extra) for d in designs]
        answers = []
        try:
            for future in futures:
                try:
                    answers.append(_rows(future.result(timeout=self._remaining_time()), 1)[0])
                except KeyboardInterrupt:
                    raise
                except Exception as error:  # noqa: BLE001
                    if _is_timeout(error):
                        raise _Stop("time-limit") from None
                    answers.append(error)
        except BaseException:
            for future in futures:
                future.cancel()
            # The designs analysed before the stop are kept.
            done = [(d, a) for d, a in zip(designs, answers)]
            if done:
                self._keep_partial(done)
            raise
        return answers

    def _keep_partial(self, done) -> None:
        records = []
        for design, answer in done:
            record = _Record(design, self.round, {})
            record.responses, record.failed = self._responses(answer)
            records.append(record)
            self.records.append(record)
            self.seen.add(record.key())
        self._append_history(records)

    def _responses(self, answer):
        if isinstance(answer, BaseException):
            return {}, f"{type(answer).__name__}: {answer}"
        if not isinstance(answer, Mapping):
            return {}, f"the analysis returned {type(answer).__name__}, not a mapping"
        self.written.update(str(k) for k in answer)
        values, missing = {}, []
        for name in self.names:
            try:
                value = float(answer[name])
            except (KeyError, TypeError, ValueError):
                value = math.nan
            if not math.isfinite(value):
                missing.append(name)
            values[name] = value
        for name, value in answer.items():
            if name not in values:
                try:
                    values[str(name)] = float(value)
                except (TypeError, ValueError):
                    pass
        return values, ("no number for " + ", ".join(missing)) if missing else ""

    # --- the best design ------------------------------------------------------------------
    def _objective(self, record: _Record) -> float:
        return min(record.responses[m] for m in self.modes)

    def _meets(self, record: _Record) -> bool:
        return all(record.responses[n] >= limit for n, limit in self.require.items())

    def _score(self, record: _Record):
        """Designs meeting the requirements first, then the larger objective; a design that
        misses one is ranked by how far it misses (for the centre while none meets them)."""
        if record.failed:
            return (-1, -math.inf)
        if self._meets(record):
            return (1, self._objective(record))
        shortfall = sum(max(0.0, limit - record.responses[n]) / max(abs(limit), 1e-12)
                        for n, limit in self.require.items())
        return (0, -shortfall)

    def _best_record(self) -> _Record:
        return max((r for r in self.records if not r.failed), key=self._score)

    def _best_score(self):
        usable = [r for r in self.records if not r.failed]
        return self._score(self._best_record()) if usable else (-2, -math.inf)

    def _best_value(self) -> float:
        best = self._best_record()
        return self._objective(best) if self._score(best)[0] == 1 else -math.inf

    # --- time, progress, history ----------------------------------------------------------
    def _remaining_time(self) -> Optional[float]:
        if self.time_limit is None:
            return None
        return self.time_limit - (time.monotonic() - self.start)

    def _search_limit(self) -> Optional[float]:
        # Only a time limit the caller gave cuts a search by the clock.
        limits = [t for t in (self.search_time, self._remaining_time()) if t is not None]
        return max(0.05, min(limits)) if limits else None

    def _check_time(self) -> None:
        remaining = self._remaining_time()
        if remaining is not None and remaining <= 0:
            raise _Stop("time-limit")

    def _report(self) -> None:
        if self.progress is None:
            return
        value = self._best_value() if self.records and any(not r.failed for r in self.records) \
            else math.nan
        info = LoopProgress(len(self.records), value if value > -math.inf else math.nan,
                            self.round, self.radius, time.monotonic() - self.start)
        if self.progress(info) is False:
            raise _Stop("interrupted")

    def _columns(self) -> List[str]:
        return (["round", "skin_plies", "stiffener_plies", "skin", "stiffener", "skin_codes",
                 "stiffener_codes"] + [f"x{i}" for i in range(1, 9)] + self.names
                + ["objective", "feasible", "predicted", "radius", "proved", "region", "failed"])

    def _row(self, record: _Record) -> dict:
        d = record.design
        row = {"round": record.round, **design_columns(d, stacks=False)}
        row.update({n: record.responses.get(n, math.nan) for n in self.names})
        usable = not record.failed
        row["objective"] = self._objective(record) if usable else math.nan
        row["feasible"] = usable and self._meets(record)
        row["predicted"] = record.predicted
        row["radius"] = record.radius
        row["proved"] = record.proved
        row["region"] = math.nan if record.region is None else record.region
        row["failed"] = record.failed
        return row

    def _append_history(self, records: List[_Record]) -> None:
        if self.history_path is None or not records:
            return
        import csv

        fresh = not os.path.exists(self.history_path) or os.path.getsize(self.history_path) == 0
        with open(self.history_path, "a", newline="") as out:
            writer = csv.DictWriter(out, fieldnames=self.history_columns or self._columns(),
                                    lineterminator="\n")
            if fresh:
                writer.writeheader()
            for record in records:
                writer.writerow({k: _csv_value(v) for k, v in self._row(record).items()})
            out.flush()
            os.fsync(out.fileno())

    # --- the regions' state beside the history ---------------------------------------------
    def _regions_path(self) -> Optional[str]:
        return None if self.history_path is None else self.history_path + ".regions.json"

    def _save_regions(self) -> None:
        """What the rows alone cannot tell after a round: the regions given up, the region
        opened last and the rounds its centre went unbeaten, written whole (a crash leaves the
        previous state) beside the history."""
        path = self._regions_path()
        if path is None:
            return
        import json

        anchor = None if self.anchor is None else self.records.index(self.anchor)
        state = {"analyses": len(self.records), "round": self.round, "radius": self.radius,
                 "spent": [list(map(float, c)) for c in self.spent], "misses": self.misses,
                 "given_up": self.given_up,
                 "stale": self.stale, "anchor": anchor, "anchor_since": self.anchor_since,
                 "explore": self.explore}
        with open(path + ".tmp", "w") as out:
            json.dump(state, out)
            out.flush()
            os.fsync(out.fileno())
        os.replace(path + ".tmp", path)

    def _resume_regions(self) -> None:
        """The regions' state, when it was saved after the history's last row (a state older
        or newer than the rows is ignored: the loop then starts over from the rows alone)."""
        path = self._regions_path()
        if path is None or not os.path.exists(path):
            return
        import json

        try:
            with open(path) as source:
                state = json.load(source)
            if state["analyses"] != len(self.records):
                return
            anchor = state["anchor"]
            self.anchor = None if anchor is None else self.records[int(anchor)]
            self.spent = [numpy.asarray(c, dtype=float) for c in state["spent"]]
            self.given_up = list(state.get("given_up", []))
            self.round, self.radius = int(state["round"]), float(state["radius"])
            self.misses, self.stale = int(state["misses"]), int(state["stale"])
            self.anchor_since, self.explore = int(state["anchor_since"]), bool(state["explore"])
        except (OSError, ValueError, KeyError, IndexError, TypeError):
            return

    def _resume(self) -> None:
        if self.history_path is None or not os.path.exists(self.history_path):
            return
        import csv

        try:
            with open(self.history_path, newline="") as source:
                reader = csv.DictReader(source)
                rows = list(reader)
                header = list(reader.fieldnames or [])
        except (csv.Error, UnicodeDecodeError) as error:
            raise ValueError(f"history {self.history_path}: not a history CSV ({error})") from None
        attempts: Dict[tuple, List[_Record]] = {}
        for number, row in enumerate(rows, 2):
            record = self._resumed_record(row, number)
            self.records.append(record)
            attempts.setdefault(record.key(), []).append(record)
            self.written.update(n for n, v in record.responses.items() if math.isfinite(v))
        # A design whose only analysis failed is analysed once more: the failure may have been
        # the set-up's (a missing library, a wrong response name), not the design's.
        self.seen = {key for key, tries in attempts.items()
                     if len(tries) > 1 or not tries[0].failed}
        self.resumed = bool(rows)
        self.round = max((r.round for r in self.records), default=0)
        radii = [r.radius for r in self.records if math.isfinite(r.radius)]
        self.radius = radii[-1] if radii else self.radius
        self._widen_history(header)
        self._resume_regions()

    def _resumed_record(self, row: Mapping[str, str], number: int) -> _Record:
        where = f"history {self.history_path}, line {number}"
        if None in row or None in row.values():
            raise ValueError(f"{where}: the row has {'more' if None in row else 'fewer'} "
                             "cells than the header")
        try:
            design = _design_of(row)
            responses = {n: float(row[n]) if row.get(n, "") != "" else math.nan
                         for n in self.names}
            record = _Record(design, int(row.get("round") or 0), responses, row.get("failed", ""),
                             float(row.get("predicted") or "nan"),
                             float(row.get("radius") or "nan"), _flag(row.get("proved")),
                             int(row["region"]) if row.get("region") else None)
        except KeyError as error:
            raise ValueError(f"{where}: no column {error}") from None
        except (ValueError, TypeError) as error:
            raise ValueError(f"{where}: {error}") from None
        plies = (design.skin.plies, design.stiffener.plies)
        if plies != (self.skin_plies, self.stiffener_plies):
            raise ValueError(f"{where}: a design of {plies[0]}/{plies[1]} plies; this loop designs "
                             f"{self.skin_plies}/{self.stiffener_plies} (another history?)")
        if not record.failed and not all(math.isfinite(v) for v in responses.values()):
            record.failed = "no number for " + ", ".join(n for n, v in responses.items()
                                                        if not math.isfinite(v))
        return record

    def _widen_history(self, header: List[str]) -> None:
        """Rows are appended under the file's own header; a response the file has no column for
        (the loop resumed with other names) gets one, the file rewritten whole."""
        columns = self._columns()
        self.history_columns = header + [c for c in columns if c not in header]
        if len(self.history_columns) == len(header):
            return
        import csv

        with open(self.history_path, newline="") as source:
            rows = list(csv.DictReader(source))
        with open(self.history_path + ".tmp", "w", newline="") as out:
            writer = csv.DictWriter(out, fieldnames=self.history_columns, lineterminator="\n")
            writer.writeheader()
            writer.writerows(rows)
            out.flush()
            os.fsync(out.fileno())
        os.replace(self.history_path + ".tmp", self.history_path)

    def _result(self, status: str) -> ModelResult:
        import pandas

        rows = [self._row(r) for r in self.records]
        history = pandas.DataFrame(rows, columns=self._columns())
        usable = [r for r in self.records if not r.failed]
        best = self._best_record() if usable else None
        if best is not None and self._score(best)[0] != 1:
            best = None
        message = STOP_REASONS[status]
        if best is None:
            message += "; no analysed design meets the requirements" if usable else \
                "; no analysis succeeded"
        value = self._objective(best) if best else math.nan
        # The design reported carries its analysed objective, never a fitted prediction.
        return ModelResult(best=None if best is None else Design(best.design.skin,
                                                                 best.design.stiffener, value),
                           value=value,
                           responses=dict(best.responses) if best else {},
                           history=history, surfaces=dict(self.surfaces), status=status,
                           message=message, analyses=len(self.records),
                           failed=sum(1 for r in self.records if r.failed))


# --- helpers --------------------------------------------------------------------------------
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


def _key(design: Design):
    return (tuple(design.skin.codes), tuple(design.stiffener.codes))


def _exclusion(designs) -> dict:
    import inspect

    from . import optimize

    return {"exclude": designs} if "exclude" in inspect.signature(optimize).parameters else {}


# One laminate's parameters, as weights of a distance.
_SKIN = [1.0, 1.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0]
_STIFFENER = [0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 1.0, 1.0]


def _far_from(centres, distance: float, weights=None) -> list:
    """Requirements keeping a search at least distance away from each centre (lamination
    parameters, each weighted): |x - c|^2 >= distance^2, written as
    -(C - |x - c|^2) >= distance^2 - C."""
    from . import target_surface

    required = []
    for centre in centres:
        near, top = target_surface(list(centre), weights)
        far = Surface.from_arrays(-near.constant, -near.linear, -near.hessian)
        required.append((far, distance ** 2 - top))
    return required


def _balanced_weights(x: numpy.ndarray) -> numpy.ndarray:
    """Weights of a whole-space fit: a cluster of analyses counts about as much as one analysis
    alone in its part of the space."""
    distance2 = ((x[:, None, :] - x[None, :, :]) ** 2).sum(axis=2)
    crowd = numpy.exp(-distance2 / _BALANCE_WIDTH ** 2).sum(axis=1)
    return 1.0 / crowd


def plan_size(budget: int) -> int:
    """The designs of the loop's default plan for a budget of analyses: 30 % of it, at least
    10 and at most 60 (30 analyses: 10; 50: 15; 100: 30; 200 and more: 60). A small plan leaves
    the budget to the loop; its fits hold the curvature back until the analyses determine it."""
    budget = _checks.whole(budget, "budget", 1)
    return min(budget, max(_SMALLEST_PLAN, min(_LARGEST_PLAN, int(_PLAN_SHARE * budget))))


def _quadratic_columns(x: numpy.ndarray) -> numpy.ndarray:
    """The 45 terms of a quadratic in x1..x8: 1, x_i, x_i^2, x_i x_j (i < j)."""
    i, j = numpy.triu_indices(8, 1)
    return numpy.hstack([numpy.ones((len(x), 1)), x, x ** 2, x[:, i] * x[:, j]])


class _RidgeBasis:
    """What the ridge fits of one round share: the weighted terms of the analysed designs and,
    for each penalty weight tried, the inverse of the penalised normal matrix and the fit's
    degrees of freedom. They depend on the designs and their weights only, not on the response,
    so every mode of the round reuses them (the same numbers as working them out per mode)."""

    _STRENGTHS = 10.0 ** numpy.arange(-4.0, 2.5, 0.5)

    def __init__(self, x: numpy.ndarray, weights: numpy.ndarray):
        self.root = numpy.sqrt(numpy.asarray(weights, dtype=float))
        self.a = _quadratic_columns(x) * self.root[:, None]
        gram = self.a.T @ self.a
        penalised = numpy.r_[numpy.zeros(9), numpy.ones(36)]
        scale = max(numpy.trace(gram[9:, 9:]) / 36, 1e-12)
        self.inverses = []
        for strength in self._STRENGTHS:
            inverse = numpy.linalg.pinv(gram + numpy.diag(penalised * strength * scale))
            self.inverses.append((inverse, numpy.trace(self.a @ inverse @ self.a.T)))


def _ridge_fit(basis: _RidgeBasis, y: numpy.ndarray) -> Surface:
    """The weighted least-squares quadratic with its second-order terms held back (a ridge
    penalty on them alone, its weight the one of a few that generalised cross-validation
    prefers): with fewer analyses than terms the fit is mostly linear, and the curvature grows
    in as the analyses determine it."""
    a = basis.a
    b = numpy.asarray(y, dtype=float) * basis.root
    moment = a.T @ b
    best = None
    for inverse, freedom in basis.inverses:
        beta = inverse @ moment
        residual = b - a @ beta
        score = len(b) * (residual @ residual) / max(len(b) - freedom, 1e-3) ** 2
        if best is None or score < best[0]:
            best = (score, beta)
    beta = best[1]
    hessian = numpy.diag(2 * beta[9:17])
    i, j = numpy.triu_indices(8, 1)
    hessian[i, j] = hessian[j, i] = beta[17:]
    return Surface.from_arrays(float(beta[0]), beta[1:9], hessian)


def _counts(laminate: Laminate) -> str:
    """A laminate's ply counts, the class its in-plane parameters fix: 0 / +-45 / 90 deg
    positions of its designed half."""
    codes = list(laminate.codes)
    return "/".join(str(codes.count(c)) for c in (0, 1, 2))


def _rows(answer, count: int) -> list:
    """The analysis's answer as one mapping per design (a DataFrame gives its rows)."""
    if hasattr(answer, "to_dict") and hasattr(answer, "columns"):
        answer = answer.to_dict("records")
    answer = list(answer)
    if len(answer) != count:
        raise ValueError(f"the analysis returned {len(answer)} results for {count} designs")
    return answer


def _is_timeout(error: BaseException) -> bool:
    import concurrent.futures

    return isinstance(error, (TimeoutError, concurrent.futures.TimeoutError)) or \
        type(error).__name__ == "TimeoutError"


def _design_of(row: Mapping[str, str]) -> Design:
    skin = Laminate([int(c) for c in row["skin_codes"]], int(row["skin_plies"]))
    stiffener = Laminate([int(c) for c in row["stiffener_codes"]], int(row["stiffener_plies"]))
    return Design(skin, stiffener)


def _flag(text: Optional[str]) -> Optional[bool]:
    return None if not text else text == "True"


def _csv_value(value):
    if isinstance(value, float):
        return "" if math.isnan(value) else repr(value)
    return value
