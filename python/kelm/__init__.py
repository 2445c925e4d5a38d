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

from ._kelm import Design, Laminate, Result, Surface, __version__, check_surface
from .rules import Rules, RulesArgument
from .searches import (METHODS, Evaluation, Progress, SearchInterrupted, evaluate, optimize,
                       surface_values)
from .studies import Panel, StudyInterrupted, panel_row, run_panels
from .workflow import Fit, Plan, fit_surface, sample_plan, target_surface
from .design_loop import LoopProgress, ModelResult, optimize_model
from .sizing import SizingResult, Total, lightest
from .blending import BlendResult, BlendedPanel, TableRow, blend

__all__ = [
    "__version__", "Design", "Evaluation", "Laminate", "METHODS", "Progress", "Result", "Rules",
    "SearchInterrupted", "Surface", "check_surface", "evaluate", "optimize", "run_panels",
    "Panel", "StudyInterrupted", "panel_row", "Plan", "Fit", "surface_values", "sample_plan", "fit_surface", "target_surface",
    "LoopProgress", "ModelResult", "optimize_model", "SizingResult", "Total", "lightest",
    "BlendResult", "BlendedPanel", "TableRow", "blend",
]
