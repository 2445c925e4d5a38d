"""The analysed designs of a design loop and how they rank: the best design is the one that meets
the requirements with the largest smallest mode."""

from __future__ import annotations

import math
from dataclasses import dataclass
from typing import Dict, List, Mapping, Optional, Sequence

from ._kelm import Design, Laminate


@dataclass
class Record:
    """One design of the loop: proposed, then analysed (or failed)."""

    design: Design
    round: int
    responses: Dict[str, float]
    failed: str = ""  # why the analysis gave no usable numbers
    predicted: float = math.nan
    radius: float = math.nan  # the trust region's radius when it was proposed
    proved: Optional[bool] = None  # its search finished: the best design its surfaces allow
    region: Optional[int] = None  # the regions given up before it was proposed

    def key(self):
        return design_key(self.design)


def design_key(design: Design):
    """What makes two designs the same design: their stacking sequences."""
    return (tuple(design.skin.codes), tuple(design.stiffener.codes))


def ply_counts(laminate: Laminate) -> str:
    """A laminate's ply counts, the class its in-plane parameters fix: 0 / +-45 / 90 deg
    positions of its designed half."""
    codes = list(laminate.codes)
    return "/".join(str(codes.count(c)) for c in (0, 1, 2))


class Ranking:
    """How analysed designs compare: the objective is the smallest of the modes, and a design
    that misses a requirement ranks below every design that meets them all."""

    def __init__(self, modes: Sequence[str], require: Mapping[str, float]):
        self.modes = list(modes)
        self.require = dict(require)

    def objective(self, record: Record) -> float:
        return min(record.responses[m] for m in self.modes)

    def meets(self, record: Record) -> bool:
        return all(record.responses[n] >= limit for n, limit in self.require.items())

    def score(self, record: Record):
        """Designs meeting the requirements first, then the larger objective; a design that
        misses one is ranked by how far it misses (for the centre while none meets them)."""
        if record.failed:
            return (-1, -math.inf)
        if self.meets(record):
            return (1, self.objective(record))
        shortfall = sum(max(0.0, limit - record.responses[n]) / max(abs(limit), 1e-12)
                        for n, limit in self.require.items())
        return (0, -shortfall)

    def best(self, records: List[Record]) -> Record:
        return max((r for r in records if not r.failed), key=self.score)

    def best_value(self, records: List[Record]) -> float:
        """The best objective of a design meeting the requirements; -inf while none does."""
        best = self.best(records)
        return self.objective(best) if self.score(best)[0] == 1 else -math.inf
