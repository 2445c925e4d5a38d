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
    # Inside a trust region the designs are near one partner pair, and a fit in all eight
    # parameters follows it best; the whole space pairs each laminate with many partners.
    variables = _RIDGE_VARIABLES if centre is None else _RIDGE_VARIABLES[:1]
    bases = [_RidgeBasis(x, weights, v) for v in variables] \
        if len(usable) < tuning.RIDGE_BELOW else None
    for name in names:
        y = [r.responses[name] for r in usable]
        mode_cap = cap if name in modes and cap is not None else None
        if mode_cap is not None and min(y) >= mode_cap:
            capped.add(name)
        if bases is not None:
            held = numpy.minimum(y, mode_cap) if mode_cap is not None else numpy.asarray(y)
            fits[name] = _ridge_fit(bases, held)
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


# The parameters a ridge fit may be written in. A failure mode of a stiffened panel usually
# reads the bending stiffnesses of one laminate only (the skin's for skin buckling, the
# stiffener's for its crippling or buckling, neither for strain or column buckling), while the
# in-plane parameters of both share out the load. A quadratic in all eight, fitted to a few dozen
# analyses, spreads a skin's worth over the stiffener bending parameters of the partners it
# happened to be analysed with; written in the parameters the mode reads, the skin's worth is
# carried over to every partner. Which set a mode reads is chosen from the analyses (the
# smallest cross-validation score), not declared by the caller.
_RIDGE_VARIABLES = (
    (0, 1, 2, 3, 4, 5, 6, 7),
    (0, 1, 2, 3, 4, 5),   # the skin's bending parameters and both in-plane pairs
    (0, 1, 2, 3, 6, 7),   # the stiffener's bending parameters and both in-plane pairs
    (0, 1, 2, 3),         # the in-plane parameters alone
)


def _quadratic_columns(x: numpy.ndarray) -> numpy.ndarray:
    """The terms of a quadratic in the columns of x: 1, x_i, x_i^2, x_i x_j (i < j)."""
    i, j = numpy.triu_indices(x.shape[1], 1)
    return numpy.hstack([numpy.ones((len(x), 1)), x, x ** 2, x[:, i] * x[:, j]])


class _RidgeBasis:
    """What the ridge fits of one round in one set of parameters share: the weighted terms of the
    analysed designs and, for each penalty weight tried, the inverse of the penalised normal
    matrix and the fit's degrees of freedom. They depend on the designs and their weights only,
    not on the response, so every mode of the round reuses them (the same numbers as working
    them out per mode)."""

    _STRENGTHS = 10.0 ** numpy.arange(-4.0, 2.5, 0.5)

    def __init__(self, x: numpy.ndarray, weights: numpy.ndarray,
                 variables: Sequence[int] = tuple(range(8))):
        self.variables = numpy.asarray(variables)
        k = len(self.variables)
        self.root = numpy.sqrt(numpy.asarray(weights, dtype=float))
        self.a = _quadratic_columns(x[:, self.variables]) * self.root[:, None]
        gram = self.a.T @ self.a
        second = k * (k + 1) // 2
        penalised = numpy.r_[numpy.zeros(1 + k), numpy.ones(second)]
        scale = max(numpy.trace(gram[1 + k:, 1 + k:]) / second, 1e-12)
        self.inverses = []
        for strength in self._STRENGTHS:
            inverse = numpy.linalg.pinv(gram + numpy.diag(penalised * strength * scale))
            self.inverses.append((inverse, numpy.trace(self.a @ inverse @ self.a.T)))

    def best_fit(self, y: numpy.ndarray) -> Tuple[float, numpy.ndarray]:
        """The generalised cross-validation score and the coefficients of the penalty weight
        it prefers."""
        b = numpy.asarray(y, dtype=float) * self.root
        moment = self.a.T @ b
        best = None
        for inverse, freedom in self.inverses:
            beta = inverse @ moment
            residual = b - self.a @ beta
            score = len(b) * (residual @ residual) / max(len(b) - freedom, 1e-3) ** 2
            if best is None or score < best[0]:
                best = (score, beta)
        return best

    def surface(self, beta: numpy.ndarray) -> Surface:
        """The fitted quadratic as a surface over all eight parameters (zero in those it
        leaves out)."""
        k, v = len(self.variables), self.variables
        linear = numpy.zeros(8)
        linear[v] = beta[1:1 + k]
        hessian = numpy.zeros((8, 8))
        hessian[v, v] = 2 * beta[1 + k:1 + 2 * k]
        i, j = numpy.triu_indices(k, 1)
        hessian[v[i], v[j]] = hessian[v[j], v[i]] = beta[1 + 2 * k:]
        return Surface.from_arrays(float(beta[0]), linear, hessian)


def _ridge_fit(bases: Sequence[_RidgeBasis], y: numpy.ndarray) -> Surface:
    """The weighted least-squares quadratic with its second-order terms held back (a ridge
    penalty on them alone, its weight the one of a few that generalised cross-validation
    prefers), in the set of parameters that cross-validation prefers: with fewer analyses than
    terms the fit is mostly linear, and the curvature grows in as the analyses determine it."""
    fits = [(basis.best_fit(y), basis) for basis in bases]
    (_, beta), basis = min(fits, key=lambda fit: fit[0][0])
    return basis.surface(beta)
