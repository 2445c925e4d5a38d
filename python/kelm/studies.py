"""Studies of many panels: one search per panel, run side by side on one machine
(concurrent.futures) or on a cluster (Dask distributed), gathered into one table row per panel.

    panels = [kelm.Panel("a", "examples/panel_a.rs", 24, 32),
              kelm.Panel("d", "examples/panel_d.rs", 24, 32, rules="-bf")]
    table = kelm.run_panels(panels)                    # threads of this process
    table = kelm.run_panels(panels, client=client)     # a dask.distributed Client
"""

from __future__ import annotations

import os
from concurrent.futures import Executor, ThreadPoolExecutor
from dataclasses import dataclass
from functools import partial
from typing import Any, Iterable, List, Optional, Union


@dataclass
class Panel:
    """One panel of a study: its surface (a kelm.Surface or a file path, read where the search
    runs), ply totals, rules and search method."""

    name: str
    surface: Any
    skin_plies: int
    stiffener_plies: int
    rules: Any = None
    method: str = "tight"
    time_limit: Optional[float] = None


def panel_row(panel: Panel, seed: int = 1, threads: int = 1) -> dict:
    """Searches one panel and gives its table row: the inputs, status, value, the first optimal
    design (printed forms and stacks to lay up), the number of tied designs, steps, seconds."""
    from . import Surface, optimize

    surface = panel.surface
    if not isinstance(surface, Surface):
        surface = Surface.read(os.fspath(surface))
    result = optimize(surface, panel.skin_plies, panel.stiffener_plies, method=panel.method,
                      rules=panel.rules, seed=seed, time_limit=panel.time_limit, threads=threads)
    best = result.designs[0] if result.designs else None
    return {
        "panel": panel.name,
        "skin_plies": panel.skin_plies,
        "stiffener_plies": panel.stiffener_plies,
        "method": panel.method,
        "status": result.status,
        "value": result.value,
        "designs": len(result.designs),
        "skin": best.skin.printed if best else None,
        "stiffener": best.stiffener.printed if best else None,
        "skin_stack": best.skin.stack_text if best else None,
        "stiffener_stack": best.stiffener.stack_text if best else None,
        "steps": result.steps,
        "seconds": result.seconds,
    }


def run_panels(panels: Iterable[Panel], executor: Optional[Executor] = None, client=None,
               seed: int = 1, threads: int = 1):
    """Searches every panel and returns a pandas DataFrame with one row per panel, in the
    panels' order.

    executor: a concurrent.futures Executor; default, a thread pool with one worker per core
        (the searches release the GIL, so threads run them side by side).
    client: a dask.distributed Client; the panels are mapped over its workers instead.
    seed, threads: given to every search (threads per search; 1 suits a pool of panels).
    """
    import pandas

    panels = list(panels)
    if client is not None:
        futures = client.map(panel_row, panels, seed=seed, threads=threads, pure=False)
        rows: List[dict] = client.gather(futures)
    elif executor is not None:
        rows = list(executor.map(partial(panel_row, seed=seed, threads=threads), panels))
    else:
        with ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
            rows = list(pool.map(partial(panel_row, seed=seed, threads=threads), panels))
    return pandas.DataFrame(rows)
