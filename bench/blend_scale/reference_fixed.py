#!/usr/bin/env python3
"""A simple complete method for fixed-count structures (fixed_counts.py): whether the counts can
be blended by a stacking-sequence table, decided by plain depth-first search over the guide's
rows (orientation and level, outer to inner) with every rule checked on each prefix and the
states that led nowhere remembered; each level's rows hold the orientations its class adds to
the class below. No bounds, no ordering, nothing clever: a reference that
kelm_blend's decisions are compared with.

The rules are kelm_blend's for even totals: panels of one total share one laminate (their ply
numbers must agree), each total's half laminate holds its fixed numbers of 0, +-45 and 90 deg
positions, the first `covering` rows run through every panel, between neighbours at most
`max_drops` consecutive rows are dropped (the innermost run too), and under `max_run` no run of
equal 0 or 90 deg positions is longer (the one touching the mid-plane at most half of it).

Usage: reference_fixed.py STRUCTURE.json [--time-limit=60]   prints found / infeasible / stopped
"""

import json
import sys
import time


class Stopped(Exception):
    pass


def decide(document, time_limit=60.0):
    panels = document["panels"]
    blending = document.get("blending", {})
    covering, max_drops = blending.get("covering", 1), blending.get("max_drops", 3)
    totals = [int(p["plies"].split(":")[0]) for p in panels]
    halves = sorted({t // 2 for t in totals})
    level_of = {h: i + 1 for i, h in enumerate(halves)}
    numbers = {}
    max_run = 0
    for p, total in zip(panels, totals):
        wanted = tuple(p["rules"]["ply_numbers"])
        max_run = p["rules"].get("max_run", 0)
        if numbers.setdefault(level_of[total // 2], wanted) != wanted:
            return "infeasible"  # one total, one laminate
    levels = len(halves)
    # The rows of level l are what class l keeps beyond class l - 1: their orientations are
    # fixed by the two classes' numbers.
    quota = []
    for level in range(1, levels + 1):
        below = numbers[level - 1] if level > 1 else (0, 0, 0)
        quota.append([numbers[level][o] - below[o] for o in range(3)])
        if min(quota[-1]) < 0:
            return "infeasible"
    index = {p["name"]: level_of[t // 2] for p, t in zip(panels, totals)}
    pairs = sorted({(max(index[a], index[b]), min(index[a], index[b])) for a, b in document["adjacent"]
                    if index[a] != index[b]})
    deadline = time.monotonic() + time_limit
    failed = set()
    steps = [0]

    def run_ok(last, run, code, length, half):
        """The run of equal 0/90 positions after appending `code` as position `length`."""
        run = run + 1 if code == last and code != 1 else 1
        if code == 1 or max_run == 0 or half < 3:
            return True, run
        return run <= (max_run // 2 if length == half else max_run), run

    def search(depth, left, counts, lasts, runs, drops):
        steps[0] += 1
        if steps[0] % 4096 == 0 and time.monotonic() > deadline:
            raise Stopped()
        if depth == halves[-1]:
            return True
        key = (tuple(map(tuple, left)), counts, lasts, runs, drops)
        if key in failed:
            return False
        for level in range(1, levels + 1):
            if sum(left[level - 1]) == 0 or (depth < covering and level != 1):
                continue
            new_drops = []
            ok = True
            for (high, low), run in zip(pairs, drops):
                run = 0 if level <= low else run + 1 if level <= high else run
                ok = ok and run <= max_drops
                new_drops.append(run)
            if not ok:
                continue
            for code in range(3):
                if left[level - 1][code] == 0:
                    continue
                left[level - 1][code] -= 1
                new_counts, new_lasts, new_runs = list(counts), list(lasts), list(runs)
                good = True
                for c in range(level, levels + 1):  # the classes that keep this row
                    n = list(new_counts[c - 1])
                    n[code] += 1
                    if n[code] > numbers[c][code]:
                        good = False
                        break
                    fine, new_runs[c - 1] = run_ok(lasts[c - 1], runs[c - 1], code, sum(n), halves[c - 1])
                    if not fine:
                        good = False
                        break
                    new_counts[c - 1], new_lasts[c - 1] = tuple(n), code
                if good and search(depth + 1, left, tuple(new_counts), tuple(new_lasts), tuple(new_runs),
                                   tuple(new_drops)):
                    left[level - 1][code] += 1
                    return True
                left[level - 1][code] += 1
        failed.add(key)
        return False

    start = (tuple((0, 0, 0) for _ in range(levels)), tuple(-1 for _ in range(levels)),
             tuple(0 for _ in range(levels)), tuple(0 for _ in pairs))
    try:
        return "found" if search(0, quota, *start) else "infeasible"
    except Stopped:
        return "stopped"


def main():
    limit = 60.0
    for arg in sys.argv[2:]:
        if arg.startswith("--time-limit="):
            limit = float(arg.split("=", 1)[1])
    with open(sys.argv[1]) as f:
        document = json.load(f)
    sys.setrecursionlimit(10000)
    began = time.monotonic()
    print(decide(document, limit), "%.3f" % (time.monotonic() - began))


if __name__ == "__main__":
    main()
