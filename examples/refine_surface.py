"""The walk-through in Python, with refinement: after each search the optimum is analysed
with the example panel model, added to the samples, the surface fitted again and searched
again, until the optimum repeats.

    PYTHONPATH=build/python /usr/bin/python3 examples/refine_surface.py [SKIN STIFFENER SAMPLES]
"""

import pathlib
import sys

import numpy

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import blade_panel  # noqa: E402
import kelm  # noqa: E402

skin, stiffener, samples = (int(a) for a in (sys.argv[1:4] if len(sys.argv) > 3 else (24, 32, 120)))
plan = kelm.sample_plan(skin, stiffener, samples, rules="-bf", seed=1)
x = plan.parameters
y = blade_panel.load_factors(x, skin, stiffener)["ks"]
print(f"plan of {samples}: D-efficiency {plan.efficiency:.2f} against random; best sample {y.max():.4f}")
seen = set()
for round_ in range(1, 11):
    fit = kelm.fit_surface(x, y)
    result = kelm.optimize(fit.surface, skin, stiffener, rules="-bf", seed=1)
    best = result.designs[0]
    true = float(blade_panel.load_factors(best.parameters, skin, stiffener)["ks"])
    print(f"round {round_}: R^2 {fit.r_squared:.3f}, predicted {result.value:.4f}, "
          f"model {true:.4f}  {best.skin.printed} {best.stiffener.printed}")
    key = (best.skin.printed, best.stiffener.printed)
    if key in seen:
        break
    seen.add(key)
    x = numpy.vstack([x, best.parameters])
    y = numpy.append(y, true)
