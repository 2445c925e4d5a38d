#!/usr/bin/env python3
"""Blended structures of fixed ply counts, the kind of the constraint-programming benchmarks:
every panel a fixed total and fixed numbers of 0, +-45 and 90 deg positions (``ply_numbers``),
no surfaces; the question is only whether the counts can be blended (a stacking-sequence table,
covering, drop limit, symmetric laminates, optionally at most three equal plies in a row).

Each structure is drawn from a hidden table, so that most hold a design: a random guide of H
positions (random orientations, random levels), each panel a class, neighbours' classes at most
two apart; each panel's numbers are those of its cut. With --perturb=P (default 0.5), a share P
of the structures then has, in every panel of one class, one 0 deg position traded for a 90 deg
one (or back), which often leaves no design.
Adjacency: a grid (4 neighbours) or, with --irregular, the grid's edges less some plus some
diagonals (still connected).

Usage: fixed_counts.py OUT_DIR [--seed=1] [--sizes=3,4,...,10] [--count=5] [--run-rule]
                       [--irregular] [--perturb=0.5]
writes OUT_DIR/<kind>_<R>x<R>_s<NN>.json.
"""

import json
import os
import random
import sys


def option(name, default):
    for arg in sys.argv[2:]:
        if arg.startswith("--" + name + "="):
            return arg.split("=", 1)[1]
        if arg == "--" + name:
            return True
    return default


def adjacency(rng, size, irregular):
    cells = [(r, c) for r in range(size) for c in range(size)]
    edges = [((r, c), (r + dr, c + dc)) for r, c in cells for dr, dc in ((0, 1), (1, 0))
             if r + dr < size and c + dc < size]
    if not irregular:
        return edges
    edges += [((r, c), (r + 1, c + 1)) for r, c in cells if r + 1 < size and c + 1 < size and rng.random() < 0.3]
    rng.shuffle(edges)
    kept = list(edges)
    for edge in edges:  # drop a quarter of the edges while the graph stays connected
        if rng.random() < 0.25 and connected(cells, [e for e in kept if e != edge]):
            kept.remove(edge)
    return kept


def connected(cells, edges):
    seen, todo = {cells[0]}, [cells[0]]
    while todo:
        cell = todo.pop()
        for a, b in edges:
            for x, y in ((a, b), (b, a)):
                if x == cell and y not in seen:
                    seen.add(y)
                    todo.append(y)
    return len(seen) == len(cells)


def classes_of(rng, cells, edges, levels):
    """Each cell a class 1..levels, neighbours at most two apart, the thickest somewhere."""
    while True:
        cls = {}
        order = list(cells)
        rng.shuffle(order)
        ok = True
        for cell in order:
            near = [cls[b if a == cell else a] for a, b in edges if cell in (a, b) and (b if a == cell else a) in cls]
            allowed = [c for c in range(1, levels + 1) if all(abs(c - n) <= 2 for n in near)]
            if not allowed:
                ok = False
                break
            cls[cell] = rng.choice(allowed)
        if ok and max(cls.values()) == levels:
            return cls


def hidden_table(rng, positions, levels, run_rule):
    """Random guide rows (code, level): the first row of level 1 (covering), every level used."""
    while True:
        rows = [(rng.randrange(3), 1)] + [(rng.randrange(3), rng.randint(1, levels)) for _ in range(positions - 1)]
        if len({level for _, level in rows}) == levels:
            return rows


def structure(rng, size, run_rule, irregular, perturb):
    cells = [(r, c) for r in range(size) for c in range(size)]
    edges = adjacency(rng, size, irregular)
    levels = rng.randint(3, 5)
    positions = rng.randint(12, 20)
    rows = hidden_table(rng, positions, levels, run_rule)
    cls = classes_of(rng, cells, edges, levels)
    halves = sorted({sum(1 for _, level in rows if level <= c) for c in range(1, levels + 1)})
    panels = []
    traded = rng.randint(1, levels) if rng.random() < perturb else 0
    for cell in cells:
        kept = [code for code, level in rows if level <= cls[cell]]
        numbers = [kept.count(0), kept.count(1), kept.count(2)]
        if cls[cell] == traded:  # every panel of the class alike: one ply order, one set of numbers
            if numbers[0] > 0:
                numbers[0] -= 1
                numbers[2] += 1
            elif numbers[2] > 0:
                numbers[2] -= 1
                numbers[0] += 1
        total = 2 * len(kept)
        rules = {"balance": False, "ply_numbers": numbers}
        if run_rule:
            rules["max_run"] = 3
        panels.append({"name": "r%dc%d" % cell, "ply_weight": 1, "plies": "%d:%d" % (total, total), "rules": rules})
    return {"comment": "fixed ply counts, hidden table of %d positions and %d levels" % (positions, levels),
            "panels": panels,
            "adjacent": [["r%dc%d" % a, "r%dc%d" % b] for a, b in edges],
            "blending": {"form": "table", "covering": 1, "max_drops": 3}}


def main():
    out = sys.argv[1]
    seed = int(option("seed", "1"))
    sizes = [int(s) for s in str(option("sizes", "3,4,5,6,7,8,9,10")).split(",")]
    count = int(option("count", "5"))
    run_rule = option("run-rule", False) is True
    irregular = option("irregular", False) is True
    perturb = float(option("perturb", "0.5"))
    kind = ("irregular" if irregular else "grid") + ("_run" if run_rule else "")
    os.makedirs(out, exist_ok=True)
    for size in sizes:
        for n in range(1, count + 1):
            rng = random.Random("%d/%s/%d/%d" % (seed, kind, size, n))
            path = os.path.join(out, "%s_%dx%d_s%02d.json" % (kind, size, size, n))
            with open(path, "w") as f:
                json.dump(structure(rng, size, run_rule, irregular, perturb), f, indent=1)
                f.write("\n")


if __name__ == "__main__":
    main()
