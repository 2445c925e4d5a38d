"""The table of the finite-element benchmark from the files in bench/fe_panel/results/.

    /usr/bin/python3 bench/fe_panel/summary.py [RESULTS_DIR]

loop50.csv (the loop's history: the first 46 rows are its D-optimal plan, the rest its rounds),
ga.csv (the genetic algorithm's analyses), reference_coarse.csv (the long loop on the coarse
mesh) and timing/*.csv (the analysed batches with the processor seconds of each design).
"""

import csv
import glob
import math
import os
import statistics
import sys


def _values(rows, column):
    out = []
    for r in rows:
        try:
            v = float(r.get(column, ""))
        except ValueError:
            v = math.nan
        out.append(v if math.isfinite(v) else math.nan)
    return out


def _best(values, n=None):
    found = [v for v in values[:n] if not math.isnan(v)]
    return max(found) if found else math.nan


def main(folder):
    def read(name):
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            return []
        with open(path, newline="") as source:
            return list(csv.DictReader(source))

    loop, ga, ref = read("loop50.csv"), read("ga.csv"), read("reference_coarse.csv")
    loop_values = _values(loop, "objective")
    plan_size = sum(1 for r in loop if r.get("round") == "0")
    print("| method (medium mesh unless said) | analyses | failed | best minimum factor |")
    print("|---|---|---|---|")
    if loop:
        print(f"| D-optimal plan (the loop's first {plan_size}) | {plan_size} | "
              f"{sum(math.isnan(v) for v in loop_values[:plan_size])} | "
              f"{_best(loop_values, plan_size):.4f} |")
        print(f"| loop (`kelm_loop --budget=50 --batch=2`) | {len(loop)} | "
              f"{sum(math.isnan(v) for v in loop_values)} | {_best(loop_values):.4f} |")
    if ga:
        ga_values = _values(ga, "minimum")
        print(f"| genetic algorithm | {len(ga)} | {sum(math.isnan(v) for v in ga_values)} | "
              f"{_best(ga_values):.4f} (after 46: {_best(ga_values, 46):.4f}) |")
    if ref:
        ref_values = _values(ref, "objective")
        print(f"| long loop, coarse mesh (reference) | {len(ref)} | "
              f"{sum(math.isnan(v) for v in ref_values)} | {_best(ref_values):.4f} (coarse) |")
    cpu = []
    for path in glob.glob(os.path.join(folder, "timing", "*.csv")) + [os.path.join(folder,
                                                                                  "ga.csv")]:
        if os.path.exists(path):
            with open(path, newline="") as source:
                for r in csv.DictReader(source):
                    if r.get("ccx_cpu_seconds") and r.get("ccx_runs"):
                        cpu.append((float(r["ccx_cpu_seconds"]), int(r["ccx_runs"])))
    if cpu:
        seconds = [c for c, _ in cpu]
        print(f"\nprocessor seconds per analysis (medium): median {statistics.median(seconds):.1f}, "
              f"mean {statistics.mean(seconds):.1f}, max {max(seconds):.1f} over {len(cpu)}; "
              f"ccx runs per analysis: mean {statistics.mean(r for _, r in cpu):.2f}")
    rounds = [r for r in loop if r.get("round") not in ("0", None) and r.get("predicted")]
    if rounds:
        print("\n| round | predicted | analysed | radius |\n|---|---|---|---|")
        for r in rounds:
            print(f"| {r['round']} | {float(r['predicted']):.4f} | {r['objective'] or 'failed'} "
                  f"| {r.get('radius', '')} |")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "results"))
