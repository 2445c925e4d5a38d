"""The gap table by budget: the loop run with budgets of 50, 100 and 200 analyses (one CSV of
gap_table.py each, plan included) beside the GA's best after as many analyses.

    /usr/bin/python3 budget_table.py --loop=50:results/a.csv,100:results/b.csv,200:results/c.csv
        --ga=results/ga_hard.csv[,30:results/ga_30.csv]

The GA's gaps at 50, 100 and 200 are read from its runs' columns gap_50, gap_100, gap_200; a
BUDGET:CSV item takes the final gap of GA runs made with that budget (30 analyses, say, which
is no column of a longer run). The table has a column per budget the loop was given.

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


def _case_order(item):
    (model, size, rules), _ = item
    return (int(size.split("/")[0]), rules, model)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--loop", required=True, help="BUDGET:CSV,... (several CSVs per budget "
                        "may be given; a seed in two of them counts as in the later)")
    parser.add_argument("--ga", required=True, help="CSV of gap_table.py --method=ga; "
                        "BUDGET:CSV items take the final gaps of GA runs of that budget")
    args = parser.parse_args(argv)
    loop = {}
    for item in args.loop.split(","):
        budget, path = item.split(":", 1)
        for r in _read(path):
            # A seed run again (a later file) counts once, as its latest run.
            loop.setdefault((r["model"], r["size"], r["rules"]), {}).setdefault(
                int(budget), {})[r["seed"]] = float(r["gap"])
    ga = {}
    for item in args.ga.split(","):
        budget, path = item.split(":", 1) if ":" in item else (None, item)
        for r in _read(path):
            case = ga.setdefault((r["model"], r["size"], r["rules"]), {})
            if budget is not None:
                case.setdefault(int(budget), []).append(float(r["gap"]))
                continue
            for n in (50, 100, 200):
                case.setdefault(n, []).append(float(r[f"gap_{n}"]))
    budgets = sorted({n for by_budget in loop.values() for n in by_budget})
    print("| model | size | rules | " + " | ".join(f"loop {n}" for n in budgets) + " | "
          + " | ".join(f"GA {n}" for n in budgets) + " |")
    print("|---|---|---|" + "---|" * (2 * len(budgets)))
    for case, by_budget in sorted(loop.items(), key=_case_order):
        cells = [_cell(list(by_budget.get(n, {}).values())) for n in budgets]
        cells += [_cell(ga.get(case, {}).get(n, [])) for n in budgets]
        print(f"| {' | '.join(case)} | " + " | ".join(cells) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
