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
   shrinks when none does; every fifth round instead fits the whole space and proposes the
   best design of another ply-count class of the skin (of the stiffener, in the next such
   round) than the best design's and than those such rounds proposed before: the fits cannot
   always tell a laminate's share of a value from its partner's, so a class the plan analysed
   only with a poor partner looks worse than it is, and only an analysis with a fitting one
   tells. Whole-space fits help them tell: while the curvature is held back, each mode may be
   fitted in one laminate's bending parameters and both in-plane pairs (the load share) alone,
   whichever set cross-validation prefers, so a skin's worth carries over to partners it never
   met;
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
import time
from dataclasses import dataclass, field
from typing import Callable, Dict, List, Mapping, NamedTuple, Optional, Sequence

from . import _checks
from . import loop_settings as tuning
from ._kelm import Design, Surface
from .loop_analysis import Stop, call_analyse, refuse_unwritten, responses
from .loop_history import History
from .loop_picture import convergence_svg
from .loop_records import Ranking, Record, design_key
from .loop_regions import Regions
from .loop_settings import LoopSettings, plan_size
from .loop_surfaces import far_from, fit_responses
from .searches import SearchInterrupted, optimize
from .workflow import sample_plan, target_surface

__all__ = ["STOP_REASONS", "LoopProgress", "LoopSettings", "ModelResult", "optimize_model",
           "plan_size"]

#: Why a loop stopped (ModelResult.status).
STOP_REASONS = {
    "budget": "the budget of analyses is used up",
    "exhausted": "every buildable design the surfaces allow has been analysed",
    "time-limit": "the time limit was reached",
    "interrupted": "stopped by Ctrl-C or by the progress callback",
}

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
        return convergence_svg(self.history, title, true_optimum)


def optimize_model(analyse: Callable, skin_plies: int, stiffener_plies: int, *,
                   modes: Sequence[str], require: Optional[Mapping[str, float]] = None,
                   rules=None, budget: int = 200, batch: int = 1, plan=None,
                   seed: Optional[int] = None, executor=None, client=None,
                   history=None, progress: Optional[Callable[[LoopProgress], Optional[bool]]] = None,
                   time_limit: Optional[float] = None, search_time: Optional[float] = None,
                   search_steps: int = tuning.SEARCH_STEPS) -> ModelResult:
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
    settings = LoopSettings(analyse, skin_plies, stiffener_plies, modes, require=require,
                            rules=rules, budget=budget, batch=batch, plan=plan, seed=seed,
                            executor=executor, client=client, history=history,
                            progress=progress, time_limit=time_limit, search_time=search_time,
                            search_steps=search_steps)
    return _Loop(settings).run()


class _Loop:
    """One run of the loop: the plan, then rounds of fitting, searching and analysing."""

    def __init__(self, settings: LoopSettings):
        self.settings = settings
        self.ranking = Ranking(settings.modes, settings.require)
        self.names = settings.names
        self.history = History(settings.history, self.names, self.ranking,
                               settings.skin_plies, settings.stiffener_plies)
        self.records: List[Record] = []
        self.seen = set()
        self.written: set = set()  # the response names some analysis has written
        self.resumed = False
        self.surfaces: Dict[str, Surface] = {}
        self.capped: set = set()
        self.regions = Regions(self.records, self.ranking, settings.stale_rounds)
        self.round = 0
        self.start = time.monotonic()

    def run(self) -> ModelResult:
        status = "budget"
        try:
            self._resume()
            self._analyse_plan()
            status = self._iterate()
        except Stop as stop:
            status = stop.status
        except KeyboardInterrupt:
            # As kelm.optimize and kelm.blend: Ctrl-C raises, carrying what was analysed.
            raise SearchInterrupted(self._result("interrupted")) from None
        return self._result(status)

    # --- the rounds -----------------------------------------------------------------------
    def _iterate(self) -> str:
        regions = self.regions
        while len(self.records) < self.settings.budget:
            self.round += 1
            proposals = self._propose()
            if not proposals and regions.explore:
                regions.explore = False  # no unanalysed design lies far from the analysed ones
                continue
            if not proposals and regions.radius >= tuning.WIDEST_RADIUS:
                # The fitted requirements may rule out every design left: ask once more
                # without them before calling the designs exhausted.
                proposals = self._propose(fitted_requirements=False)
                if not proposals:
                    return "exhausted"
            if not proposals:
                regions.emptied(self._centre())
                continue
            centre = self._centre()
            self._analyse_designs(proposals)
            if regions.explore:
                regions.open(proposals)
            else:
                regions.adapt(centre, proposals)
            self.history.save_regions(regions.state(self.round))
        return "budget"

    def _centre(self) -> Optional[Record]:
        return self.regions.centre(self.round)

    def _propose(self, fitted_requirements: bool = True, look: bool = True) -> List[Record]:
        """The round's designs: the best unanalysed designs of the fitted surfaces inside the
        trust region (or, exploring, away from the regions given up; or, over the whole space,
        of other ply-count classes of one laminate than the best design's)."""
        settings, regions = self.settings, self.regions
        try:
            usable = [r for r in self.records if not r.failed]
            self.surfaces, self.capped = fit_responses(
                usable, self._centre(), regions.radius, self.names, settings.modes,
                self.ranking.best_value(self.records))
        except ValueError:
            # Too few analyses succeeded to determine the quadratics: more of the plan first.
            return self._more_plan_designs()
        centre = self._centre()
        required = [(self.surfaces[n], limit) for n, limit in settings.require.items()
                    if fitted_requirements]
        if centre is not None:
            region, top = target_surface(list(centre.design.parameters))
            required.append((region, top - regions.radius ** 2))
        elif regions.explore:
            required += regions.away_from_given_up()
        looking = regions.looking_at(self.round) if look and centre is None \
            and not regions.explore and self.records else None
        if looking is not None:
            required += regions.other_classes(looking, self._plies(looking),
                                              self.ranking.best(self.records))
        objectives = [self.surfaces[m] for m in self._governing_modes()]
        proposals: List[Record] = []
        while len(proposals) < min(settings.batch, settings.budget - len(self.records)):
            excluded = [r.design for r in self.records] + [p.design for p in proposals]
            found = optimize(objectives[0], settings.skin_plies, settings.stiffener_plies,
                             rules=settings.rules, seed=(settings.seed + self.round) & 0xFFFFFFFF,
                             time_limit=self._search_limit(), step_limit=settings.search_steps,
                             threads=1, min_of=objectives[1:], require=required,
                             exclude=excluded)
            fresh = [d for d in found.designs if design_key(d) not in self.seen
                     and design_key(d) not in {p.key() for p in proposals}]
            if not fresh:
                break
            proposals.append(Record(fresh[0], self.round, {}, predicted=float(found.value),
                                    radius=regions.radius, proved=found.status == "optimal",
                                    region=len(regions.given_up)))
            if regions.explore:  # a batch that explores spreads out
                required += far_from([fresh[0].parameters], tuning.SEPARATION)
            if looking is not None:  # ... and one that looks at classes, over classes
                required += regions.look(looking, self._plies(looking), proposals[-1])
        if looking is not None and not proposals:
            # Every class of that laminate has had its look: an ordinary whole-space round.
            return self._propose(fitted_requirements, look=False)
        return proposals

    def _plies(self, laminate: str) -> int:
        return self.settings.skin_plies if laminate == "skin" else self.settings.stiffener_plies

    def _governing_modes(self) -> List[str]:
        # A mode capped at every analysis is fitted as a constant: it governs nowhere the loop
        # has looked, and as a smallest value it would tie every design the others rate above it.
        governing = [m for m in self.settings.modes if m not in self.capped]
        return governing or self.settings.modes

    def _more_plan_designs(self) -> List[Record]:
        settings = self.settings
        wanted = min(settings.batch, settings.budget - len(self.records))
        size = len(self.records) + 2 * wanted + tuning.LOCAL_SAMPLES
        designs = sample_plan(settings.skin_plies, settings.stiffener_plies, size,
                              rules=settings.rules, seed=settings.seed + self.round).designs
        fresh = [d for d in designs if design_key(d) not in self.seen]
        return [Record(d, self.round, {}) for d in fresh[:wanted]]

    # --- the plan -------------------------------------------------------------------------
    def _analyse_plan(self) -> None:
        settings = self.settings
        planned = [r for r in self.records if r.round == 0 and r.key() in self.seen]
        if isinstance(settings.plan, (list, tuple)):
            designs = list(settings.plan)
            if not all(isinstance(d, Design) for d in designs):
                raise TypeError("plan takes a number of designs or a list of kelm.Design")
        else:
            size = plan_size(settings.budget) if settings.plan is None else \
                _checks.whole(settings.plan, "plan", 1)
            size = min(size, settings.budget)
            designs = [] if len(planned) >= size else sample_plan(
                settings.skin_plies, settings.stiffener_plies, size, rules=settings.rules,
                seed=settings.seed).designs
        todo = [d for d in designs if design_key(d) not in self.seen]
        todo = todo[: max(0, min(len(designs) - len(planned), settings.budget - len(self.records)))]
        chunk = max(settings.batch, 10)
        for start in range(0, len(todo), chunk):
            self._analyse_designs([Record(d, 0, {}) for d in todo[start:start + chunk]])
        if not any(not r.failed for r in self.records):
            raise ValueError(self._nothing_usable())

    def _nothing_usable(self) -> str:
        if not self.records:
            return "the plan holds no design"
        where = f"the history {self.history.path} holds no usable analysis and " \
            if self.resumed else ""
        return f"{where}every analysis of the plan failed: {self.records[-1].failed}"

    # --- analyses -------------------------------------------------------------------------
    def _analyse_designs(self, records: List[Record]) -> None:
        self._check_time()
        answers = call_analyse(self.settings.analyse, self.settings.pool,
                               [r.design for r in records], self._remaining_time,
                               self._keep_partial)
        for record, answer in zip(records, answers):
            self._add(record, answer)
        self.history.append(records)
        refuse_unwritten(answers, self.names, self.written)
        self._report()

    def _keep_partial(self, done) -> None:
        records = [Record(design, self.round, {}) for design, _ in done]
        for record, (_, answer) in zip(records, done):
            self._add(record, answer)
        self.history.append(records)

    def _add(self, record: Record, answer) -> None:
        record.responses, record.failed = responses(answer, self.names, self.written)
        self.records.append(record)
        self.seen.add(record.key())

    # --- resuming -------------------------------------------------------------------------
    def _resume(self) -> None:
        """The analyses of an existing history, and the regions' state saved beside it."""
        records = self.history.read()
        attempts: Dict[tuple, List[Record]] = {}
        for record in records:
            self.records.append(record)
            attempts.setdefault(record.key(), []).append(record)
            self.written.update(n for n, v in record.responses.items() if math.isfinite(v))
        # A design whose only analysis failed is analysed once more: the failure may have been
        # the set-up's (a missing library, a wrong response name), not the design's.
        self.seen = {key for key, tries in attempts.items()
                     if len(tries) > 1 or not tries[0].failed}
        self.resumed = bool(records)
        self.round = max((r.round for r in self.records), default=0)
        radii = [r.radius for r in self.records if math.isfinite(r.radius)]
        self.regions.radius = radii[-1] if radii else self.regions.radius
        saved_round = self.regions.restore(self.history.read_regions())
        if saved_round is not None:
            self.round = saved_round

    # --- time and progress ----------------------------------------------------------------
    def _remaining_time(self) -> Optional[float]:
        if self.settings.time_limit is None:
            return None
        return self.settings.time_limit - (time.monotonic() - self.start)

    def _search_limit(self) -> Optional[float]:
        # Only a time limit the caller gave cuts a search by the clock.
        limits = [t for t in (self.settings.search_time, self._remaining_time()) if t is not None]
        return max(0.05, min(limits)) if limits else None

    def _check_time(self) -> None:
        remaining = self._remaining_time()
        if remaining is not None and remaining <= 0:
            raise Stop("time-limit")

    def _report(self) -> None:
        if self.settings.progress is None:
            return
        value = self.ranking.best_value(self.records) \
            if self.records and any(not r.failed for r in self.records) else math.nan
        info = LoopProgress(len(self.records), value if value > -math.inf else math.nan,
                            self.round, self.regions.radius, time.monotonic() - self.start)
        if self.settings.progress(info) is False:
            raise Stop("interrupted")

    # --- the answer -----------------------------------------------------------------------
    def _result(self, status: str) -> ModelResult:
        import pandas  # only when a result is made: the loop itself does not need it

        rows = [self.history.row(r) for r in self.records]
        history = pandas.DataFrame(rows, columns=self.history.fresh_columns())
        usable = [r for r in self.records if not r.failed]
        best = self.ranking.best(self.records) if usable else None
        if best is not None and self.ranking.score(best)[0] != 1:
            best = None
        message = STOP_REASONS[status]
        if best is None:
            message += "; no analysed design meets the requirements" if usable else \
                "; no analysis succeeded"
        value = self.ranking.objective(best) if best else math.nan
        # The design reported carries its analysed objective, never a fitted prediction.
        return ModelResult(best=None if best is None else Design(best.design.skin,
                                                                 best.design.stiffener, value),
                           value=value,
                           responses=dict(best.responses) if best else {},
                           history=history, surfaces=dict(self.surfaces), status=status,
                           message=message, analyses=len(self.records),
                           failed=sum(1 for r in self.records if r.failed))
