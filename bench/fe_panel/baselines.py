"""The loop's baselines on the finite-element panel: the best design of a D-optimal plan and a
genetic algorithm, each spending the same number of analyses, through the same CSV command the
loop runs (examples/fe_panel/analyse.py), so the three methods see the same answers.

    cd /work/wt-fe   # the project's root
    PYTHONPATH=build/python /usr/bin/python3 bench/fe_panel/baselines.py --method=plan|ga \
        [--budget=50] [--seed=1] [--jobs=2] [--mesh=medium] [--out=bench/fe_panel/results/M.csv]

Writes one row per analysis (the design's stacks and codes, the factors, the seconds of the
command run that analysed it, the batch) and prints the best design and the wall time.
"""

import argparse
import csv
import math
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path[:0] = [os.path.join(ROOT, "examples", "fe_panel"),
                os.path.join(ROOT, "bench", "design_loop")]

from panel import stack_from_codes  # noqa: E402

MODES = ("skin_buckling", "blade_buckling", "strain")
SKIN, STIFFENER, LETTERS = 16, 24, "-bf"


class CommandObjective:
    """objective(list of (skin codes, stiffener codes)) through the analysis command; every row
    it analyses is kept in `rows`. A failed analysis scores 0, below any real design."""

    def __init__(self, jobs, mesh):
        self.jobs, self.mesh, self.rows, self.batches = jobs, mesh, [], 0

    def __call__(self, designs):
        self.batches += 1
        with tempfile.TemporaryDirectory(prefix="fe_baseline_") as work:
            source, target = os.path.join(work, "in.csv"), os.path.join(work, "out.csv")
            with open(source, "w", newline="") as out:
                writer = csv.writer(out, lineterminator="\n")
                writer.writerow(["skin_codes", "stiffener_codes", "skin_stack", "stiffener_stack"])
                for skin, stiffener in designs:
                    writer.writerow(["".join(map(str, skin)), "".join(map(str, stiffener)),
                                     stack_from_codes(skin, SKIN),
                                     stack_from_codes(stiffener, STIFFENER)])
            start = time.time()
            subprocess.run([sys.executable, os.path.join(ROOT, "examples", "fe_panel",
                                                         "analyse.py"), source, f"--out={target}",
                            f"--jobs={self.jobs}", f"--mesh={self.mesh}", "--timing"], check=True)
            seconds = time.time() - start
            with open(target, newline="") as analysed:
                rows = list(csv.DictReader(analysed))
        values = []
        for row in rows:
            row["seconds"], row["batch"] = "%.1f" % seconds, self.batches
            self.rows.append(row)
            try:
                value = min(float(row[m]) for m in MODES)
            except ValueError:
                value = math.nan
            values.append(value if math.isfinite(value) else 0.0)
        return values


def run_plan(objective, budget, seed):
    import kelm
    plan = kelm.sample_plan(SKIN, STIFFENER, budget, rules=LETTERS, seed=seed)
    return objective([(d.skin.codes, d.stiffener.codes) for d in plan.designs])


def run_ga(objective, budget, seed):
    import genetic
    import laminates as lam
    search = genetic.GeneticSearch(objective, SKIN, STIFFENER,
                                   lam.LaminateRules.from_letters(LETTERS), seed).run(budget)
    return search.values


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--method", choices=("plan", "ga"), required=True)
    parser.add_argument("--budget", type=int, default=50)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--mesh", default="medium")
    parser.add_argument("--out")
    args = parser.parse_args(argv)
    out = args.out or os.path.join(ROOT, "bench", "fe_panel", "results", f"{args.method}.csv")
    objective = CommandObjective(args.jobs, args.mesh)
    start = time.time()
    values = (run_plan if args.method == "plan" else run_ga)(objective, args.budget, args.seed)
    wall = time.time() - start
    with open(out, "w", newline="") as target:
        writer = csv.DictWriter(target, fieldnames=list(objective.rows[0]),
                                lineterminator="\n")
        writer.writeheader()
        writer.writerows(objective.rows)
    best = max(range(len(values)), key=lambda i: values[i])
    row = objective.rows[best]
    print(f"{args.method}: {len(values)} analyses, best minimum {values[best]:.4f} "
          f"({row['skin_stack']} / {row['stiffener_stack']}), "
          f"{sum(v == 0.0 for v in values)} failed, wall {wall:.0f} s")


if __name__ == "__main__":
    sys.exit(main())
