"""The quadratics a design loop fits to its analyses each round: one per response, weighted
towards the region's centre (or balanced against crowding over the whole space), each mode capped
a little above the best value so that modes far from governing do not spend the fit."""

from __future__ import annotations

from typing import Dict, List, Optional, Sequence, Set, Tuple

import numpy

from . import loop_settings as tuning
from ._kelm import Surface
from .loop_records import Record
from .workflow import fit_surface, target_surface

# One laminate's parameters, as weights of a distance.
SKIN_WEIGHTS = [1.0, 1.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0]
STIFFENER_WEIGHTS = [0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 1.0, 1.0]
# One laminate's in-plane parameters: fixed by its ply counts, so equal for every design of a
# ply-count class.
SKIN_IN_PLANE = [1.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0]
STIFFENER_IN_PLANE = [0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0]


def fit_responses(usable: List[Record], centre: Optional[Record], radius: float,
                  names: Sequence[str], modes: Sequence[str],
                  best_value: float) -> Tuple[Dict[str, Surface], Set[str]]:
    """One round's surfaces by response name, and the modes capped at every analysis (fitted
    as constants: they govern nowhere the loop has looked). Raises ValueError when too few
    analyses succeeded to determine them."""
    x = numpy.array([r.design.parameters for r in usable])
    weights = balanced_weights(x) if centre is None else local_weights(x, centre, radius)
    cap = tuning.CAP * max(best_value, 0.0) if best_value > 0 else None
    fits, capped = {}, set()
    basis = _RidgeBasis(x, weights) if len(usable) < tuning.RIDGE_BELOW else None
    for name in names:
        y = [r.responses[name] for r in usable]
        mode_cap = cap if name in modes and cap is not None else None
        if mode_cap is not None and min(y) >= mode_cap:
            capped.add(name)
        if basis is not None:
            held = numpy.minimum(y, mode_cap) if mode_cap is not None else numpy.asarray(y)
            fits[name] = _ridge_fit(basis, held)
        else:
            fits[name] = fit_surface(x, y, weights=weights, cap=mode_cap, name=name).surface
    return fits, capped


def local_weights(x: numpy.ndarray, centre: Record, radius: float) -> numpy.ndarray:
    distance = numpy.sqrt(((x - numpy.asarray(centre.design.parameters)) ** 2).sum(axis=1))
    near = numpy.sort(distance)[min(tuning.LOCAL_SAMPLES, len(distance)) - 1]
    width = max(radius, near, 1e-9)
    return numpy.maximum(numpy.exp(-(distance / width) ** 2), tuning.SMALLEST_WEIGHT)


def balanced_weights(x: numpy.ndarray) -> numpy.ndarray:
    """Weights of a whole-space fit: a cluster of analyses counts about as much as one analysis
    alone in its part of the space."""
    distance2 = ((x[:, None, :] - x[None, :, :]) ** 2).sum(axis=2)
    crowd = numpy.exp(-distance2 / tuning.BALANCE_WIDTH ** 2).sum(axis=1)
    return 1.0 / crowd


def far_from(centres, distance: float, weights=None) -> list:
    """Requirements keeping a search at least distance away from each centre (lamination
    parameters, each weighted): |x - c|^2 >= distance^2, written as
    -(C - |x - c|^2) >= distance^2 - C."""
    required = []
    for centre in centres:
        near, top = target_surface(list(centre), weights)
        far = Surface.from_arrays(-near.constant, -near.linear, -near.hessian)
        required.append((far, distance ** 2 - top))
    return required


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
