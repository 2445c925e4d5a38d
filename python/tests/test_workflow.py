"""The surface workflow from Python: a plan of allowed designs, a fit that gives back a known
surface, and a target that finds its own design."""

import numpy as np
import pytest

import kelm


def test_plan_fit_and_target_close_the_loop(examples):
    plan = kelm.sample_plan(12, 16, 60, rules="-bf", seed=3)
    assert len(plan.designs) == 60 and plan.efficiency > 1.0
    assert all(kelm.evaluate(kelm.Surface.from_terms({"0": 0}), d.skin, d.stiffener, "-bf").allowed
               for d in plan.designs)
    assert plan.rows()[0]["skin"] == plan.designs[0].skin.printed

    known = kelm.Surface.read(str(examples / "panel_b.rs"))
    fit = kelm.fit_surface(plan.parameters, known(plan.parameters))
    points = np.random.default_rng(2).uniform(-1, 1, (20, 8))
    assert np.allclose(fit.surface(points), known(points), atol=1e-9)
    assert fit.r_squared == pytest.approx(1.0) and "60 samples" in fit.report
    with pytest.raises(ValueError, match="44 samples cannot determine"):
        kelm.fit_surface(plan.parameters[:44], known(plan.parameters[:44]))

    own = plan.designs[5]
    surface, offset = kelm.target_surface(own.parameters)
    found = kelm.optimize(surface, 12, 16, rules="-bf", seed=1)
    assert found.value == pytest.approx(offset, abs=1e-12)
    assert any(d.skin == own.skin and d.stiffener == own.stiffener for d in found.designs)
