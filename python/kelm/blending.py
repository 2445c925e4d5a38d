"""Blended panels: the certified lightest design of many adjacent panels whose plies run on from
one panel into the next (kelm_blend), and the result with its certificate."""

from __future__ import annotations

import copy
import json
import math
import os
import sys
import threading
import time
from dataclasses import dataclass, field
from typing import Any, Callable, Dict, List, NamedTuple, Optional, Sequence, Tuple, Union

from . import _checks
from ._kelm import Design, Laminate, _SharedBlend, _VectorDecider, _blend
from .searches import _returned, _says_stop

StructureArgument = Union[str, bytes, os.PathLike, dict]


class TableRow(NamedTuple):
    """One position of the guide laminate, outer surface first: its angle (0, 45 for a +-45
    position, 90) and its level (a panel of count class c keeps the positions of level <= c)."""

    angle: int
    level: int


@dataclass(frozen=True)
class BlendedPanel:
    """One panel of a blended design: its ply total, its laminate (``design``, a kelm.Design whose
    value is the panel's smallest margin: a single laminate, or a stiffened panel's skin and
    stiffener), the half laminate in bracket form (``stack``), the value of each of its surfaces
    by file name, and its smallest margin; a stiffened panel's stiffener in bracket form and its
    ply total (None for a plate); the fixed numbers of 0, +-45 and 90 deg positions of its
    designed half when its rules fix them (``ply_numbers``, else None)."""

    name: str
    plies: int
    design: Design
    stack: str
    values: Dict[str, float]
    margin: float
    stiffener: Optional[str] = None
    stiffener_plies: Optional[int] = None
    ply_numbers: Optional[Tuple[int, int, int]] = None


@dataclass
class BlendResult:
    """What kelm.blend found, read like scipy's OptimizeResult.

    status: "optimal" (the lightest weight, certified, and among its designs the largest
        smallest margin), "infeasible" (no count vector holds a blended design) or "stopped"
        (time limit, progress callback or Ctrl-C: the best design found so far, if any, and the
        certified lower bound).
    weight, smallest_margin: the design's (None without one; the margin is infinite when no
        panel has a surface). lower_bound: every count vector
        lighter than it was proved to hold no design (equal to weight when optimal; None when
        infeasible). panels: a BlendedPanel per panel of the structure (empty without a design).
    table: the stacking-sequence table, a TableRow per guide position (empty edge-wise).
    ruled_out_totals, ruled_out_pairs, ruled_out_groups, ruled_out_vectors: the certificate,
        each entry saying why (groups: three to six connected panels that cannot be blended together).
    searching_when_stopped: the count vector being searched when stopped (else empty).
    guides_annealed: guides tried by the annealing that looks for designs early (it finds
        designs; only the exact searches prove a vector holds none).
    """

    status: str
    weight: Optional[float]
    lower_bound: Optional[float]
    smallest_margin: Optional[float]
    panels: List[BlendedPanel]
    table: List[TableRow]
    ruled_out_totals: List[dict]
    ruled_out_pairs: List[dict]
    ruled_out_groups: List[dict]
    ruled_out_vectors: List[dict]
    searching_when_stopped: List[int]
    vectors_tried: int
    guide_positions_searched: int
    seconds: float
    guides_annealed: int
    _document: dict = field(repr=False, compare=False)
    _picture: str = field(default="", repr=False, compare=False)

    @property
    def success(self) -> bool:
        """True when the lightest weight is certified (status "optimal")."""
        return self.status == "optimal"

    @property
    def margin_maximised(self) -> bool:
        """Whether the smallest margin is proved the largest among the designs of the lightest
        weight (False when stopped, or when asked for the weight alone)."""
        return bool(self._document.get("margin_maximised", False))

    @property
    def found(self) -> bool:
        """Whether a blended design is held (also when stopped)."""
        return self.weight is not None

    @property
    def message(self) -> str:
        """What the status means, in words."""
        if self.status == "optimal":
            return (f"optimal: weight {self.weight:.10g} is the lightest; every lighter count "
                    "vector is proved to hold no blended design")
        if self.status == "infeasible":
            return "no count vector holds a blended design that meets every requirement"
        if not self.found and not self.lower_bound:
            return "stopped before any count vector was decided"
        if not self.found:
            return (f"stopped before a design was found; every count vector lighter than "
                    f"{self.lower_bound:.10g} holds none")
        if not self.lower_bound < self.weight:
            return (f"stopped: weight {self.weight:.10g} is certified the lightest, the smallest "
                    "margin among designs of that weight is not proved the largest")
        return (f"stopped: the best design found weighs {self.weight:.10g}; every count vector "
                f"lighter than {self.lower_bound:.10g} holds none (gap "
                f"{self.weight - self.lower_bound:.10g})")

    def __repr__(self) -> str:
        plies = "/".join(str(p.plies) for p in self.panels) or "no design"
        return (f"<kelm.BlendResult {self.status} weight {self.weight} lower bound "
                f"{self.lower_bound}, plies {plies}>")

    def svg(self) -> Optional[str]:
        """The picture of kelm_blend --svg (one column per panel, one row per guide position),
        as SVG text; None without a design."""
        return self._picture or None

    def _repr_svg_(self) -> Optional[str]:
        return self.svg()

    def to_dict(self) -> dict:
        """The fields of kelm_blend's JSON document (--json=), which kelm_eval --structure reads
        back as a design file."""
        return copy.deepcopy(self._document)

    @classmethod
    def _from_document(cls, document: dict, picture: str) -> "BlendResult":
        # A panel without surfaces has no margin to fall short of: infinite, which JSON writes as null.
        unbounded = lambda margin: math.inf if margin is None else margin  # noqa: E731
        panels = [BlendedPanel(p["name"], p["plies"],
                               Design(Laminate.parse(p["stack"], p["plies"]),
                                      Laminate.parse(p["stiffener"], p["stiffener_plies"]) if "stiffener" in p else None,
                                      # a Design's value is finite: the largest float stands for none
                                      min(unbounded(p["margin"]), sys.float_info.max)),
                               p["stack"], dict(p["values"]), unbounded(p["margin"]), p.get("stiffener"), p.get("stiffener_plies"),
                               tuple(p["ply_numbers"]) if "ply_numbers" in p else None)
                  for p in document["panels"]]
        return cls(document["status"], document["weight"], document["lower_bound"],
                   unbounded(document["smallest_margin"]) if panels else None, panels,
                   [TableRow(row["angle"], row["level"]) for row in document.get("table", [])],
                   document["ruled_out_totals"], document["ruled_out_pairs"],
                   document["ruled_out_groups"], document["ruled_out_vectors"], document["searching_when_stopped"],
                   document["vectors_tried"], document["guide_positions_searched"],
                   document["seconds"], document.get("guides_annealed", 0), document, picture)


def _source(structure: StructureArgument, base) -> tuple:
    """The compiled reader's input: (file path, False) or (JSON text, True) with its base."""
    if isinstance(structure, dict):
        base = os.getcwd() if base is None else base
        _checks.path(base, "base")
        try:
            text = json.dumps(structure, allow_nan=False)
        except TypeError as error:
            raise TypeError(f"structure: not a JSON document ({error})") from None
        except ValueError as error:
            raise ValueError(f"structure: not a JSON document ({error})") from None
        return text, True, base
    if base is not None:
        raise ValueError("base is for a structure given as a dict: a structure file's surfaces "
                         "are named relative to the file")
    _checks.path(structure, "structure")
    return structure, False, ""


def blend(structure: StructureArgument, *, base=None, time_limit: Optional[float] = None,
          progress: Optional[Callable[[List[int], float], Optional[bool]]] = None,
          start: Optional[Sequence[int]] = None, weight_only: bool = False,
          client: Any = None, workers: Optional[int] = None) -> BlendResult:
    """The certified lightest blended design of a structure (kelm_blend).

    structure: the path of a structure file (JSON, see kelm_blend(1)), or the same document as
        a dict; a dict's surface file names are taken relative to ``base`` (default: the
        current directory), a file's relative to the file.
    time_limit: seconds after which the search stops (status "stopped") with the best design
        found so far and the certified lower bound.
    progress: called with each count vector (one ply total per panel) the search takes up and
        its weight, at most every 20 ms (the latest one); returning False (only False) stops
        the search, status "stopped".
    start: one allowed ply total per panel (a known design's), searched first for a design, so
        that a search stopped early still returns a design and its certified gap.
    weight_only: end once the weight is certified, with the first design found of that weight
        (its smallest margin not raised; ``margin_maximised`` is then False).
    client: where count vectors are decided besides this process: a Dask ``distributed.Client``
        (a cluster of machines, or a ``LocalCluster``) or a ``concurrent.futures`` executor such
        as ``ProcessPoolExecutor``; anything with ``submit(fn, *args)`` returning futures. This
        process enumerates the vectors by weight, learns the pairs and finds the light design;
        each vector is decided (its groups, annealing, its own exact search) by a worker, which
        keeps what it learns of the structure between vectors. The answer is the one process's:
        the same weight, status and largest smallest margin once the run is decided. A file
        structure must be readable at the same path on every worker (with its surface files).
    workers: how many vectors are decided at once (default: the cluster's threads, or the
        executor's workers).

    Count vectors are searched by increasing weight, each exactly; the first that holds a design
    gives the weight, and the lighter ones, each proved to hold none, are the certificate
    (``ruled_out_*``). Among designs of that weight the largest smallest margin is kept. In the
    table form designs are also looked for by seeded annealing of the table (a light one before
    the enumeration, so that a stopped search still has a design and its gap); it finds designs
    but proves nothing. Every design returned has passed the independent check of every rule and
    requirement.

    A structure that does not fit the schema raises ValueError with kelm_blend's message (the
    place of the fault in the document); a file that cannot be opened, the OSError of its errno
    (FileNotFoundError, ...) with the file name. The GIL is released while the search runs.
    Ctrl-C stops it within a tenth of a second and raises kelm.SearchInterrupted whose
    ``result`` is the BlendResult so far; an exception raised by ``progress`` stops it too and
    carries the same ``result``.
    """
    source, is_text, base = _source(structure, base)
    time_limit = _checks.seconds(time_limit, "time_limit")
    callback = None
    if _checks.callable_or_none(progress, "progress") is not None:
        def callback(plies: List[int], weight: float) -> bool:
            return not _says_stop(progress(plies, weight))
    totals = [] if start is None else _checks.whole_list(start, "start")
    weight_only = _checks.flag(weight_only, "weight_only")
    if client is not None:
        width = _worker_count(client, workers)
        document, picture, pending = _blend_shared(client, width, (source, is_text, base), time_limit,
                                                   callback, totals, weight_only)
    else:
        if workers is not None:
            raise ValueError("workers: needs a client to share the count vectors with")
        document, picture, pending = _blend(source, is_text, base, time_limit, callback, totals, weight_only)
    return _returned(BlendResult._from_document(json.loads(document), picture), pending)


def _worker_count(client: Any, workers: Any) -> int:
    if not callable(getattr(client, "submit", None)):
        raise TypeError(f"client must have a submit method (a distributed.Client or an executor), "
                        f"not {type(client).__name__}")
    if workers is not None:
        return _checks.whole(workers, "workers", 1)
    info = getattr(client, "scheduler_info", None)
    if callable(info):  # a Dask client: every thread of every worker
        return max(1, sum(w.get("nthreads", 1) for w in info().get("workers", {}).values()))
    return max(1, int(getattr(client, "_max_workers", 0) or os.cpu_count() or 1))


def _blend_shared(client: Any, width: int, source: tuple, time_limit, callback, totals, weight_only) -> tuple:
    """Vectors handed out by weight, at most `width` at once, settled as their verdicts arrive."""
    shared = _SharedBlend(*source, time_limit, totals, weight_only)
    going, pending = shared.prepare()
    in_flight: Dict[Any, List[int]] = {}
    stopping = False  # asked by the callback: the vectors out are left unsettled, not awaited
    try:
        while going and pending is None and not stopping:
            while len(in_flight) < width and pending is None:
                handed, pending = shared.hand_out()
                if handed is None:
                    break
                plies, weight = handed
                if callback is not None and not callback(plies, weight):
                    shared.stop()
                    stopping = True
                    break
                in_flight[client.submit(_decide_vector, *source, plies, shared.seconds_left())] = plies
            if not in_flight or pending is not None or stopping:
                break
            for future in _first_done(in_flight):
                shared.settle(in_flight.pop(future), future.result())
    except BaseException as error:  # Ctrl-C, the callback's error, a worker's: keep what is settled
        shared.stop()
        pending = error
    for future in in_flight:
        future.cancel()
    document, picture, stopped_by = shared.conclude(width)
    return document, picture, pending if pending is not None else stopped_by


def _first_done(in_flight: Dict[Any, List[int]]) -> list:
    """The futures done, waiting for one (in steps of 20 ms, so that Ctrl-C is seen)."""
    while True:
        done = [future for future in in_flight if future.done()]
        if done:
            return done
        time.sleep(0.02)


# Each process keeps its deciders (one per structure and thread at work), so that the panels'
# totals, groups and laminates a decider learnt serve the next vector it is handed.
_deciders: Dict[tuple, List[Any]] = {}
_deciders_lock = threading.Lock()


def _decide_vector(source, is_text, base, plies, time_limit):
    """A worker's side of a shared run: one count vector decided, its verdict as plain values."""
    key = (source, is_text, base)
    with _deciders_lock:
        idle = _deciders.setdefault(key, [])
        decider = idle.pop() if idle else None
    if decider is None:
        decider = _VectorDecider(source, is_text, base)
    try:
        return decider.decide(plies, time_limit)
    finally:
        with _deciders_lock:
            _deciders[key].append(decider)
