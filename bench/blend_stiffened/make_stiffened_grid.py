#!/usr/bin/env python3
"""A seeded grid of stiffened panels for kelm_blend: each panel's skin blends with its
neighbours, its stiffener (a fixed total) is its own. Two buckling-like modes per panel, each
growing with the square of the skin's total and reading all eight lamination parameters (the
skin's, the stiffener's and their products), every mode required to reach 1.

usage: make_stiffened_grid.py OUT_DIR [--side=3] [--stiffener=16] [--seed=1]
"""
import argparse
import json
import random
from pathlib import Path

# File variables: x1, x2 skin in-plane, x3, x4 stiffener in-plane, x5, x6 skin bending,
# x7, x8 stiffener bending.
SKIN = (1, 2, 5, 6)
STIFFENER = (3, 4, 7, 8)


def code(*variables):
    return sum(1 << (4 * (v - 1)) for v in variables)


def mode_terms(rng):
    """The factor a mode's load factor takes from the laminates: 1 plus linear terms in every
    parameter and a few skin-stiffener products."""
    terms = {code(): 1.0}
    for v in SKIN:
        terms[code(v)] = rng.uniform(-0.3, 0.3)
    for v in STIFFENER:
        terms[code(v)] = rng.uniform(-0.2, 0.2)
    for s in SKIN:
        for t in STIFFENER:
            if rng.random() < 0.3:
                terms[code(s, t)] = rng.uniform(-0.1, 0.1)
    for v in SKIN + STIFFENER:
        if rng.random() < 0.3:
            terms[code(v, v)] = rng.uniform(-0.1, 0.1)
    return terms


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--side", type=int, default=3)
    parser.add_argument("--stiffener", type=int, default=16)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    panels, adjacent = [], []
    for row in range(args.side):
        for column in range(args.side):
            name = f"P{row}{column}"
            reference = rng.uniform(12.0, 20.0)  # the skin total at which the factor is 1
            for m in range(2):
                terms = mode_terms(rng)
                for plies in range(8, 33, 2):
                    scale = (plies / reference) ** 2
                    lines = "".join(f"{c:x} {value * scale!r}\n" for c, value in terms.items())
                    (out / f"{name}_m{m}_{plies}_{args.stiffener}.rs").write_text(lines)
            panels.append({"name": name, "ply_weight": 1.0, "plies": "8:32",
                           "stiffener": {"plies": args.stiffener, "ply_weight": 0.6},
                           "require": [{"surface": f"{name}_m{m}_{{plies}}_{{stiffener}}.rs", "limit": 1.0}
                                       for m in range(2)]})
            if column > 0:
                adjacent.append([f"P{row}{column - 1}", name])
            if row > 0:
                adjacent.append([f"P{row - 1}{column}", name])
    (out / "structure.json").write_text(json.dumps({"panels": panels, "adjacent": adjacent}, indent=1))


if __name__ == "__main__":
    main()
