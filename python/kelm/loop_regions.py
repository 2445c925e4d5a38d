"""Where a design loop searches: a trust region around its best design that grows on success and
shrinks on misses, given up when it has nothing better to offer; the next region opens far from
every region given up, in the skin's parameters and the stiffener's in turn, so that the loop
cannot starve on one skin (or one stiffener) while the budget lasts."""

from __future__ import annotations

from typing import List, Optional

import numpy

from . import loop_settings as tuning
from .loop_records import Ranking, Record, ply_counts
from .loop_surfaces import (SKIN_IN_PLANE, SKIN_WEIGHTS, STIFFENER_IN_PLANE, STIFFENER_WEIGHTS,
                            far_from)


class Regions:
    """The trust region open now and the regions given up, over the loop's analysed records
    (the list is the loop's own: the regions see each analysis as it is added)."""

    def __init__(self, records: List[Record], ranking: Ranking, stale_rounds: int):
        self.records = records
        self.ranking = ranking
        self.stale_rounds = stale_rounds
        self.radius = tuning.START_RADIUS
        self.spent: List[numpy.ndarray] = []  # centres of the regions given up
        self.given_up: List[dict] = []  # the same for the regions file: counts, value, analyses
        self.misses = 0  # proposals in a row that did not beat the centre
        self.stale = 0  # rounds in a row whose proposals did not beat the centre
        # After a region is given up, the next one is opened at a design found far from every
        # analysed design (the anchor); the region's centre is then the best design of its own
        # lineage: the anchor and the designs analysed since it was opened.
        self.anchor: Optional[Record] = None
        self.anchor_since = 0
        self.explore = False  # the next round opens a new region
        # The in-plane parameters of the classes given a look by whole-space rounds, by laminate.
        self.looked = {"skin": [], "stiffener": []}

    # --- the centre -----------------------------------------------------------------------
    def centre(self, round_number: int) -> Optional[Record]:
        """The best analysed design away from the regions given up (after a new region is
        opened: the best of its lineage); None in a global or exploring round, or when every
        good design lies in a given-up region: the round then searches the whole space."""
        if self.explore or round_number % tuning.GLOBAL_ROUND == 0:
            return None
        if self.anchor is not None:
            lineage = [r for r in self.records[self.anchor_since:]
                       if not r.failed and self.fresh(r)]
            return max([self.anchor] + lineage, key=self.ranking.score)
        usable = [r for r in self.records if not r.failed and self.fresh(r)]
        return max(usable, key=self.ranking.score) if usable else None

    def fresh(self, record: Record) -> bool:
        """The design lies away from every region given up."""
        return all(numpy.linalg.norm(numpy.asarray(record.design.parameters) - c)
                   > tuning.SEPARATION for c in self.spent)

    # --- after a round --------------------------------------------------------------------
    def widen(self) -> None:
        self.radius = min(2 * self.radius, tuning.WIDEST_RADIUS)

    def emptied(self, centre: Optional[Record]) -> None:
        """Every design of the region is analysed: widen it, and count the round as one the
        centre was not beaten in."""
        self.widen()
        self.count_stale(centre)

    def count_stale(self, centre: Optional[Record]) -> None:
        if centre is None or self.explore:
            return
        self.stale += 1
        if self.stale >= self.stale_rounds:
            self.give_up(centre)

    def give_up(self, centre: Record) -> None:
        """The region around centre has nothing better to offer: the next round explores."""
        self.spent.append(numpy.asarray(centre.design.parameters))
        self.given_up.append({"skin_counts": ply_counts(centre.design.skin),
                              "stiffener_counts": ply_counts(centre.design.stiffener),
                              "centre": self.records.index(centre),
                              "value": self.ranking.objective(centre) if not centre.failed
                              else None,
                              "analyses": len(self.records)})
        self.radius = tuning.START_RADIUS
        self.misses = self.stale = 0
        self.anchor = None
        self.explore = True

    def open(self, proposals: List[Record]) -> None:
        """An exploring round's best design opens the next region."""
        usable = [p for p in proposals if not p.failed]
        self.explore = False
        if usable:
            self.anchor = max(usable, key=self.ranking.score)
            self.anchor_since = len(self.records)

    def adapt(self, centre: Optional[Record], proposals: List[Record]) -> None:
        """Grow on a proposal that beats the centre; shrink after PATIENCE misses; give the
        region up at its smallest."""
        if centre is None:
            return  # a round over the whole space
        score = self.ranking.score
        if any(not p.failed and score(p) > score(centre) and self.fresh(p) for p in proposals):
            self.widen()
            self.misses = self.stale = 0
            return
        self.misses += 1
        self.count_stale(centre)
        if self.explore or self.misses < tuning.PATIENCE:
            return
        self.misses = 0
        if self.radius * tuning.SHRINK >= tuning.SMALLEST_RADIUS:
            self.radius *= tuning.SHRINK
        else:
            # The centre stays best however close the region comes: search elsewhere, never
            # stopping while the budget lasts.
            self.give_up(centre)

    def away_from_given_up(self) -> list:
        """Requirements keeping an exploring search away from the regions given up, in the
        skin's parameters (x1, x2, x5, x6) after an odd number of them, in the stiffener's after
        an even number: the next region then has another skin (or stiffener), of other ply
        counts or of far other bending parameters, and the loop cannot spend its explorations
        on one skin with ever other partners. (A requirement per region given up, not per
        analysed design: each requirement costs the search its own tables.)"""
        weights = SKIN_WEIGHTS if len(self.given_up) % 2 == 1 else STIFFENER_WEIGHTS
        return far_from(self.spent, tuning.SEPARATION, weights)

    # --- whole-space rounds --------------------------------------------------------------
    @staticmethod
    def looking_at(round_number: int) -> Optional[str]:
        """The laminate whose ply-count classes a whole-space round looks at: the skin's and the
        stiffener's in turn (None: not a whole-space round)."""
        if round_number % tuning.GLOBAL_ROUND:
            return None
        return "skin" if (round_number // tuning.GLOBAL_ROUND) % 2 else "stiffener"

    def other_classes(self, laminate: str, plies: int, best: Record) -> list:
        """Requirements keeping a whole-space search off the best design's ply-count class of
        one laminate and off the classes earlier whole-space rounds looked at. The trust region
        spends its rounds on the best design's counts; a class that the plan analysed with a
        poor partner (or missed) is rated low by fits that cannot separate the two laminates'
        shares, and only an analysis of it with a fitting partner tells. Classes differ by at
        least 2 / plies in an in-plane parameter, so half of that parts them."""
        centres = [numpy.asarray(best.design.parameters)] + self.looked[laminate]
        return _off_classes(centres, laminate, plies)

    def look(self, laminate: str, plies: int, record: Record) -> list:
        """Notes the class a whole-space round proposed; the requirement keeping the round's
        further designs off it."""
        self.looked[laminate].append(numpy.asarray(record.design.parameters))
        return _off_classes(self.looked[laminate][-1:], laminate, plies)

    # --- kept beside the history ------------------------------------------------------------
    def state(self, round_number: int) -> dict:
        anchor = None if self.anchor is None else self.records.index(self.anchor)
        return {"analyses": len(self.records), "round": round_number, "radius": self.radius,
                "spent": [list(map(float, c)) for c in self.spent], "misses": self.misses,
                "given_up": self.given_up,
                "stale": self.stale, "anchor": anchor, "anchor_since": self.anchor_since,
                "explore": self.explore,
                "looked": {k: [list(map(float, c)) for c in v] for k, v in self.looked.items()}}

    def restore(self, state: Optional[dict]) -> Optional[int]:
        """The state saved after the history's last row; its round, or None when the state is
        missing, unreadable, or older or newer than the rows (the loop then goes on from the
        rows alone)."""
        if state is None:
            return None
        try:
            if state["analyses"] != len(self.records):
                return None
            anchor = None if state["anchor"] is None else self.records[int(state["anchor"])]
            spent = [numpy.asarray(c, dtype=float) for c in state["spent"]]
            given_up = list(state.get("given_up", []))
            round_number, radius = int(state["round"]), float(state["radius"])
            misses, stale = int(state["misses"]), int(state["stale"])
            anchor_since, explore = int(state["anchor_since"]), bool(state["explore"])
            looked = {k: [numpy.asarray(c, dtype=float) for c in state.get("looked", {}).get(k, [])]
                      for k in ("skin", "stiffener")}
        except (ValueError, KeyError, IndexError, TypeError, AttributeError):
            return None
        # All or nothing: a state read in part would mix two rounds.
        self.anchor, self.spent, self.given_up, self.radius = anchor, spent, given_up, radius
        self.misses, self.stale = misses, stale
        self.anchor_since, self.explore, self.looked = anchor_since, explore, looked
        return round_number


def _off_classes(centres, laminate: str, plies: int) -> list:
    weights = SKIN_IN_PLANE if laminate == "skin" else STIFFENER_IN_PLANE
    return far_from(centres, 1.0 / plies, weights)
