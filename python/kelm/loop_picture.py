"""The convergence picture of a design loop: the best analysed value against the number of
analyses, every analysis as a dot, the surfaces' prediction of each proposal, the best design of
the plan and, when known, the true optimum."""

from __future__ import annotations

import math
from typing import List, Optional, Tuple
from xml.sax.saxutils import escape

_WIDTH, _HEIGHT = 640, 400
_LEFT, _RIGHT, _TOP, _BOTTOM = 64, 24, 36, 48


def convergence_svg(history, title: str = "", true_optimum: Optional[float] = None) -> str:
    """SVG text of the loop's history (ModelResult.history)."""
    objective = [float(v) for v in history["objective"]]
    feasible = [bool(v) for v in history["feasible"]]
    predicted = [float(v) for v in history["predicted"]]
    planned = sum(1 for r in history["round"] if int(r) == 0)
    best, running = [], -math.inf
    for value, ok in zip(objective, feasible):
        if ok and value > running:
            running = value
        best.append(running)
    plan_best = max((v for v, ok, n in zip(objective, feasible, range(planned)) if ok),
                    default=None)
    shown = [v for v in objective + predicted + [true_optimum or math.nan] if math.isfinite(v)]
    if not shown:
        return _frame(title, [], (0.0, 1.0), max(len(objective), 1))
    low, high = min(shown), max(shown)
    span = high - low or max(abs(high), 1.0)
    yrange = (low - 0.05 * span, high + 0.05 * span)
    n = max(len(objective), 1)
    at = _Axes(n, yrange)
    parts = [f'<line x1="{at.x(planned):.1f}" y1="{_TOP}" x2="{at.x(planned):.1f}" '
             f'y2="{_HEIGHT - _BOTTOM}" stroke="#bbb" stroke-dasharray="4 3"/>',
             f'<text x="{at.x(planned) + 4:.1f}" y="{_TOP + 12}" font-size="11" fill="#777">'
             f'end of plan</text>']
    for i, (value, ok) in enumerate(zip(objective, feasible), 1):
        if math.isfinite(value):
            parts.append(f'<circle cx="{at.x(i):.1f}" cy="{at.y(value):.1f}" r="2.2" '
                         f'fill="{"#9aa" if ok else "#e99"}"/>')
    for i, value in enumerate(predicted, 1):
        if math.isfinite(value):
            parts.append(f'<circle cx="{at.x(i):.1f}" cy="{at.y(value):.1f}" r="3" fill="none" '
                         f'stroke="#c80"/>')
    steps = [(i, v) for i, v in enumerate(best, 1) if math.isfinite(v)]
    if steps:
        path = " ".join(f"{at.x(i):.1f},{at.y(v):.1f} {at.x(i + 1):.1f},{at.y(v):.1f}"
                        for i, v in steps)
        parts.append(f'<polyline points="{path}" fill="none" stroke="#1565c0" stroke-width="2"/>')
    for value, colour, label in ((plan_best, "#777", "best of the plan"),
                                 (true_optimum, "#2e7d32", "true optimum")):
        if value is not None and math.isfinite(value):
            parts.append(f'<line x1="{_LEFT}" y1="{at.y(value):.1f}" x2="{_WIDTH - _RIGHT}" '
                         f'y2="{at.y(value):.1f}" stroke="{colour}" stroke-dasharray="6 3"/>')
            parts.append(f'<text x="{_WIDTH - _RIGHT - 4}" y="{at.y(value) - 4:.1f}" '
                         f'font-size="11" text-anchor="end" fill="{colour}">{label} '
                         f'{value:.4g}</text>')
    return _frame(title, parts, yrange, n)


class _Axes:
    def __init__(self, n: int, yrange: Tuple[float, float]):
        self.n, (self.low, self.high) = n, yrange

    def x(self, i: float) -> float:
        return _LEFT + (min(i, self.n) / self.n) * (_WIDTH - _LEFT - _RIGHT)

    def y(self, v: float) -> float:
        return _HEIGHT - _BOTTOM - (v - self.low) / (self.high - self.low) * (
            _HEIGHT - _TOP - _BOTTOM)


def _frame(title: str, parts: List[str], yrange, n: int) -> str:
    at = _Axes(n, yrange)
    ticks = []
    for k in range(6):
        v = yrange[0] + k * (yrange[1] - yrange[0]) / 5
        ticks.append(f'<text x="{_LEFT - 6}" y="{at.y(v) + 4:.1f}" font-size="11" '
                     f'text-anchor="end">{v:.3g}</text>')
        i = round(k * n / 5)
        ticks.append(f'<text x="{at.x(i):.1f}" y="{_HEIGHT - _BOTTOM + 16}" font-size="11" '
                     f'text-anchor="middle">{i}</text>')
    legend = ('<text x="{0}" y="{1}" font-size="11" fill="#1565c0">best analysed</text>'
              '<text x="{2}" y="{1}" font-size="11" fill="#9aa">each analysis</text>'
              '<text x="{3}" y="{1}" font-size="11" fill="#c80">predicted</text>').format(
                  _LEFT, _HEIGHT - 8, _LEFT + 100, _LEFT + 200)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{_WIDTH}" height="{_HEIGHT}" '
            f'font-family="sans-serif">\n<rect width="100%" height="100%" fill="white"/>\n'
            f'<text x="{_WIDTH / 2}" y="20" font-size="14" text-anchor="middle">'
            f'{escape(title)}</text>\n'
            f'<rect x="{_LEFT}" y="{_TOP}" width="{_WIDTH - _LEFT - _RIGHT}" '
            f'height="{_HEIGHT - _TOP - _BOTTOM}" fill="none" stroke="#333"/>\n'
            + "\n".join(ticks + parts) + f'\n<text x="{_WIDTH / 2}" y="{_HEIGHT - 22}" '
            f'font-size="11" text-anchor="middle">analyses</text>\n{legend}\n</svg>\n')
