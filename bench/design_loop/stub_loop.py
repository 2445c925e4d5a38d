"""A stand-in with the shape of kelm.optimize_model's interface and result, for trying the
harness before the loop exists: a D-optimal plan of a quarter of the budget, then single-ply
changes and swaps around the best analysed design, chosen at random. Not a method to judge.
"""

import types

import numpy as np

import kelm


def optimize_model(analyse, skin_plies, stiffener_plies, *, modes, rules=None, budget=200,
                   seed=None, **unused):
    import pandas

    rng = np.random.default_rng(seed)
    plan = kelm.sample_plan(skin_plies, stiffener_plies, max(budget // 4, 10), rules=rules,
                            seed=seed or 1)
    surface, _ = kelm.target_surface([0.0] * 8)
    rows, seen = [], set()

    def run(designs, round_number):
        designs = [d for d in designs if (tuple(d.skin.codes), tuple(d.stiffener.codes)) not in seen]
        designs = designs[:budget - len(rows)]
        for d, found in zip(designs, analyse(designs) if designs else []):
            seen.add((tuple(d.skin.codes), tuple(d.stiffener.codes)))
            row = {"round": round_number, "design": d}
            row.update({f"x{i + 1}": v for i, v in enumerate(d.parameters)})
            row.update({m: float(found[m]) for m in modes})
            rows.append(row)

    run(plan.designs, 0)
    round_number = 0
    while len(rows) < budget and round_number < 10 * budget:
        round_number += 1
        best = max(rows, key=lambda r: min(r[m] for m in modes))["design"]
        skin, stiffener = list(best.skin.codes), list(best.stiffener.codes)
        half = skin if rng.random() < 0.5 else stiffener
        p, q = rng.choice(len(half), 2, replace=False)
        half[p], half[q] = half[q], half[p]
        if rng.random() < 0.5:
            half[p] = int(rng.integers(3))
        design = kelm.Design(kelm.Laminate(skin, skin_plies), kelm.Laminate(stiffener, stiffener_plies))
        checked = kelm.evaluate(surface, design.skin, design.stiffener, rules=rules)
        if checked.allowed:
            run([design], round_number)
    best = max(rows, key=lambda r: min(r[m] for m in modes))
    history = pandas.DataFrame([{k: v for k, v in r.items() if k != "design"} for r in rows])
    return types.SimpleNamespace(best=best["design"], responses={m: best[m] for m in modes},
                                 history=history, analyses=len(rows),
                                 status="budget spent" if len(rows) >= budget else "stub gave up")
