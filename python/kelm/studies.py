"""Studies of many panels: one search per panel, run side by side on one machine
(concurrent.futures) or on a cluster (Dask distributed), gathered into one table row per panel.

    panels = [kelm.Panel("a", "examples/panel_a.rs", 24, 32),
              kelm.Panel("d", "examples/panel_d.rs", 24, 32, rules="-bf")]
    table = kelm.run_panels(panels)                    # threads of this process
    table = kelm.run_panels(panels, client=client)     # a dask.distributed Client
"""

from __future__ import annotations

import os
import threading
import time
from concurrent.futures import Executor, ThreadPoolExecutor
from concurrent.futures import wait as wait_for_futures
from dataclasses import dataclass
from functools import partial
from typing import Any, Iterable, List, Optional

from . import _checks
from ._kelm import Surface
from .rules import _panel_rules
from .searches import METHODS, optimize

ERRORS = ("raise", "record")


@dataclass
class Panel:
    """One panel of a study: its surface (a kelm.Surface or a file path, read where the search
    runs), ply totals, rules and search method. Checked when made, as kelm.optimize checks."""

    name: str
    surface: Any
    skin_plies: int
    stiffener_plies: int
    rules: Any = None
    method: str = "tight"
    time_limit: Optional[float] = None

    def __post_init__(self):
        if not isinstance(self.surface, Surface):
            self.surface = _checks.path(self.surface, "Panel.surface")
        self.skin_plies = _checks.ply_total(self.skin_plies, "Panel.skin_plies")
        self.stiffener_plies = _checks.ply_total(self.stiffener_plies, "Panel.stiffener_plies")
        _panel_rules(self.rules)
        _checks.choice(self.method, "Panel.method", METHODS)
        self.time_limit = _checks.seconds(self.time_limit, "Panel.time_limit")


def _row(panel: Panel, status: str, message: str, result=None) -> dict:
    best = result.designs[0] if result is not None and result.designs else None
    return {
        "panel": panel.name,
        "skin_plies": panel.skin_plies,
        "stiffener_plies": panel.stiffener_plies,
        "method": panel.method,
        "status": status,
        "value": result.value if result is not None else None,
        "designs": len(result.designs) if result is not None else 0,
        "skin": best.skin.printed if best else None,
        "stiffener": best.stiffener.printed if best else None,
        "skin_stack": best.skin.stack_text if best else None,
        "stiffener_stack": best.stiffener.stack_text if best else None,
        "steps": result.steps if result is not None else 0,
        "seconds": result.seconds if result is not None else 0.0,
        "message": message,
    }


def panel_row(panel: Panel, seed: int = 1, threads: int = 1, errors: str = "raise") -> dict:
    """Searches one panel and gives its table row: the inputs, status, value, the first optimal
    design (printed forms and stacks to lay up), the number of tied designs, steps, seconds and
    the result's message. errors="record" turns a failure (a missing file, a refused ply total)
    into a row of status "error" whose message says why, instead of raising it."""
    return _study_row(panel, seed, threads, _checks.choice(errors, "errors", ERRORS))


def _study_row(panel: Panel, seed: int, threads: int, errors: str,
               deadline: Optional[float] = None, stop: Optional[threading.Event] = None) -> dict:
    """One panel's row within a study: searched until the study's deadline (time.time()), and
    stopped when the study's stop event is set (a thread pool's Ctrl-C)."""
    time_limit = panel.time_limit
    if deadline is not None:
        left = deadline - time.time()
        if left <= 0:
            return _row(panel, "time-limit", "the study's time limit was reached before this "
                        "panel was searched")
        time_limit = left if time_limit is None else min(time_limit, left)
    if stop is not None and stop.is_set():
        return _row(panel, "interrupted", "the study was interrupted before this panel was searched")
    try:
        surface = panel.surface
        if not isinstance(surface, Surface):
            surface = Surface.read(surface)
        result = optimize(surface, panel.skin_plies, panel.stiffener_plies, method=panel.method,
                          rules=panel.rules, seed=seed, time_limit=time_limit, threads=threads,
                          progress=None if stop is None else (lambda _: not stop.is_set()))
    except Exception as error:  # noqa: BLE001  (recorded in the row, by request)
        if errors == "raise":
            raise
        return _row(panel, "error", f"{type(error).__name__}: {error}")
    return _row(panel, result.status, result.message, result)


class StudyInterrupted(KeyboardInterrupt):
    """Ctrl-C during run_panels: the searches stopped, and ``table`` holds every panel's row:
    those searched, those stopped with their best designs so far (status "interrupted") and
    those not reached. Caught by ``except KeyboardInterrupt`` as usual."""

    def __init__(self, table):
        super().__init__("study interrupted: the rows so far are in .table")
        self.table = table


def run_panels(panels: Iterable[Panel], executor: Optional[Executor] = None, client=None,
               seed: int = 1, threads: int = 1, errors: str = "raise",
               time_limit: Optional[float] = None):
    """Searches every panel and returns a pandas DataFrame with one row per panel, in the
    panels' order.

    executor: a concurrent.futures Executor; default, a thread pool with one worker per core
        (the searches release the GIL, so threads run them side by side).
    client: a dask.distributed Client; the panels are mapped over its workers instead.
    seed, threads: given to every search (threads per search; 1 suits a pool of panels).
    errors: "raise" (the first failing panel's exception) or "record" (its row has status
        "error" and the reason in "message"; the other panels' rows are kept).
    time_limit: seconds for the whole study: searches still running then stop with their best
        designs (status "time-limit"), panels not yet started get a row saying so.

    Ctrl-C raises StudyInterrupted (a KeyboardInterrupt) whose ``table`` holds the rows so far;
    in the default thread pool the running searches stop within about a quarter second.
    """
    import pandas

    panels = list(panels)
    for i, panel in enumerate(panels):
        _checks.instance(panel, f"panels[{i}]", Panel)
    seed = _checks.whole(seed, "seed", 0, 0xFFFFFFFF)
    threads = _checks.whole(threads, "threads", 1, 4096)
    _checks.choice(errors, "errors", ERRORS)
    time_limit = _checks.seconds(time_limit, "time_limit")
    deadline = None if time_limit is None else time.time() + time_limit
    row = partial(_study_row, seed=seed, threads=threads, errors=errors, deadline=deadline)
    if client is not None:
        futures = client.map(row, panels, pure=False)
        try:
            return pandas.DataFrame(client.gather(futures))
        except KeyboardInterrupt:
            client.cancel(futures)
            raise StudyInterrupted(_table_so_far(pandas, panels, futures)) from None
    stop = threading.Event()
    own_pool = executor is None
    pool = ThreadPoolExecutor(max_workers=os.cpu_count() or 1) if own_pool else executor
    if isinstance(pool, ThreadPoolExecutor):
        row = partial(row, stop=stop)
    futures = [pool.submit(row, panel) for panel in panels]
    try:
        _wait_watching_ctrl_c(futures)
        return pandas.DataFrame([future.result() for future in futures])
    except KeyboardInterrupt:
        stop.set()
        for future in futures:
            future.cancel()
        wait_for_futures(futures)
        raise StudyInterrupted(_table_so_far(pandas, panels, futures)) from None
    finally:
        if own_pool:
            pool.shutdown(wait=True, cancel_futures=True)


def _wait_watching_ctrl_c(futures) -> None:
    """Waits in short slices: a pending Ctrl-C (or an interrupt set by another thread) is
    raised between two of them, not after the longest search."""
    while wait_for_futures(futures, timeout=0.05).not_done:
        pass


def _table_so_far(pandas, panels: List[Panel], futures) -> Any:
    rows = []
    for panel, future in zip(panels, futures):
        try:
            rows.append(future.result(timeout=0))
        except BaseException:  # noqa: BLE001  (not done, cancelled or failed: no row of its own)
            rows.append(_row(panel, "interrupted", "the study was interrupted before this "
                             "panel's row was made"))
    return pandas.DataFrame(rows)
