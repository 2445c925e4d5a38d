"""The gap table by budget: the loop run with budgets of 50, 100 and 200 analyses (one CSV of
gap_table.py each, plan included) beside the GA's best after as many analyses.

    /usr/bin/python3 budget_table.py --loop=50:results/a.csv,100:results/b.csv,200:results/c.csv
        --ga=results/ga_hard.csv

Prints a markdown table: per model, size and rules, the median / worst gap in % over the seeds
(their number in brackets).
"""

import argparse
import csv
import statistics
import sys


def _read(path):
    with open(path, newline="") as source:
        return list(csv.DictReader(source))


def _cell(gaps):
    if not gaps:
        return "–"
    return f"{max(statistics.median(gaps), 0):.2f} / {max(max(gaps), 0):.2f} ({len(gaps)})"


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--loop", required=True, help="BUDGET:CSV,... (several CSVs per budget "
                        "may be given)")
    parser.add_argument("--ga", required=True, help="CSV of gap_table.py --method=ga")
    args = parser.parse_args(argv)
    loop = {}
    for item in args.loop.split(","):
        budget, path = item.split(":", 1)
        for r in _read(path):
            loop.setdefault((r["model"], r["size"], r["rules"]), {}).setdefault(
                int(budget), []).append(float(r["gap"]))
    ga = {}
    for r in _read(args.ga):
        for n in (50, 100, 200):
            ga.setdefault((r["model"], r["size"], r["rules"]), {}).setdefault(n, []).append(
                float(r[f"gap_{n}"]))
    budgets = (50, 100, 200)
    print("| model | size | rules | " + " | ".join(f"loop {n}" for n in budgets) + " | "
          + " | ".join(f"GA {n}" for n in budgets) + " |")
    print("|---|---|---|" + "---|" * 6)
    for case, by_budget in loop.items():
        cells = [_cell(by_budget.get(n, [])) for n in budgets]
        cells += [_cell(ga.get(case, {}).get(n, [])) for n in budgets]
        print(f"| {' | '.join(case)} | " + " | ".join(cells) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
