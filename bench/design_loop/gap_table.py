"""The gap to the true optimum of a method on every model, size, rule set and seed.

    PYTHONPATH=build/python /usr/bin/python3 bench/design_loop/gap_table.py --method=loop
        [--models=i_panel,shear_blade] [--sizes=12/16,16/24] [--rules=-b,-bf] [--seeds=1-5]
        [--budget=200] [--csv=FILE] [--markdown=FILE]

Methods: loop (kelm.optimize_model), ga (genetic.py), plan (the best design of a D-optimal
plan, kelm.sample_plan, of 50, 100, 150 and 200 designs), stub (stub_loop.py, for trying the
harness). The gap is (optimum - value) / optimum in percent, the optimum from optima.json and
the value the model's at the design the method returns, analysed again here; a returned
design that breaks the rules counts as a gap of 100 %. The gaps after 50, 100, 150 and 200
analyses take the best design among the first that many (the loop: rows of .history).
Writes a CSV (one row per run) and a markdown table (median and worst over seeds);
--compare=results/plan.csv,results/ga.csv,results/loop.csv puts methods side by side.
"""

import argparse
import pathlib
import statistics
import sys
import time
from dataclasses import dataclass, field

import numpy as np

import genetic
import laminates as lam
import models
import optima

HERE = pathlib.Path(__file__).resolve().parent
CHECKPOINTS = (50, 100, 150, 200)
METHODS = ("loop", "ga", "plan", "stub")


@dataclass
class Judge:
    """A model at one size and rule set, analysing designs given as codes or kelm.Design."""

    model: object
    skin_plies: int
    stiffener_plies: int
    letters: str
    calls: int = 0

    @property
    def rules(self):
        return lam.LaminateRules.from_letters(self.letters)

    def vector(self, skin, stiffener):
        s = lam.parameters(skin, self.skin_plies)[0]
        t = lam.parameters(stiffener, self.stiffener_plies)[0]
        return np.r_[s[:2], t[:2], s[2:], t[2:]]

    def _analyse(self, x):
        self.calls += len(x)
        return self.model.analyse(np.asarray(x, dtype=float), self.skin_plies,
                                  self.stiffener_plies)

    def objective_of_codes(self, designs):
        """Objective of (skin codes, stiffener codes) pairs."""
        found = self._analyse([self.vector(s, t) for s, t in designs])
        return list(np.min([found[m] for m in self.model.MODES], axis=0))

    def analyse_designs(self, designs):
        """What kelm.optimize_model's analyse returns: one {mode: value} per kelm.Design."""
        found = self._analyse([d.parameters for d in designs])
        return [{m: float(found[m][i]) for m in self.model.MODES} for i in range(len(designs))]

    def allowed(self, skin, stiffener):
        return bool(lam.allowed(np.asarray(skin)[None], self.skin_plies, self.rules)[0]
                    and lam.allowed(np.asarray(stiffener)[None], self.stiffener_plies,
                                    self.rules)[0])


@dataclass
class Outcome:
    value: float                 # the model's objective at the returned design
    skin: tuple
    stiffener: tuple
    analyses: int
    status: str
    best_after: dict = field(default_factory=dict)  # analyses -> best value among the first


def _best_after(values, budget):
    running = np.maximum.accumulate(np.where(np.isfinite(values), values, -np.inf))
    return {n: float(running[min(n, len(values)) - 1]) for n in CHECKPOINTS
            if n <= budget and len(values)}


def run_plan(judge, seed, budget):
    sizes = sorted({n for n in CHECKPOINTS if n < budget} | {budget})
    best_after, final = {}, None
    for n in sizes:
        import kelm
        plan = kelm.sample_plan(judge.skin_plies, judge.stiffener_plies, n, rules=judge.letters,
                                seed=seed)
        codes = [(d.skin.codes, d.stiffener.codes) for d in plan.designs]
        values = judge.objective_of_codes(codes)
        i = int(np.argmax(values))
        best_after[n] = float(values[i])
        final = Outcome(float(values[i]), tuple(codes[i][0]), tuple(codes[i][1]), len(codes),
                        "plan analysed")
    final.best_after = {n: v for n, v in best_after.items() if n in CHECKPOINTS}
    return final


def run_ga(judge, seed, budget):
    search = genetic.GeneticSearch(judge.objective_of_codes, judge.skin_plies,
                                   judge.stiffener_plies, judge.rules, seed).run(budget)
    (skin, stiffener), value = search.best()
    return Outcome(float(value), skin, stiffener, len(search.values), search.status,
                   _best_after(np.array(search.values), budget))


def run_loop(judge, seed, budget, optimize_model):
    modes = list(judge.model.MODES)
    result = optimize_model(judge.analyse_designs, judge.skin_plies, judge.stiffener_plies,
                            modes=modes, rules=judge.letters, budget=budget, seed=seed)
    history = result.history
    values = history[modes].astype(float).min(axis=1, skipna=False).to_numpy()
    status = str(result.status)
    if result.best is None:
        return Outcome(-np.inf, (), (), int(result.analyses), status + "; no design returned",
                       _best_after(values, budget))
    skin, stiffener = tuple(result.best.skin.codes), tuple(result.best.stiffener.codes)
    value = judge.objective_of_codes([(skin, stiffener)])[0]
    claimed = min(float(result.responses[m]) for m in modes)
    if not np.isclose(claimed, value, rtol=1e-9, atol=0):
        status += f"; its responses say {claimed:.6g}, the model {value:.6g}"
    if len(history) != result.analyses:
        status += f"; history has {len(history)} rows for {result.analyses} analyses"
    if result.analyses > budget:
        status += f"; {result.analyses} analyses for a budget of {budget}"
    return Outcome(float(value), skin, stiffener, int(result.analyses), status,
                   _best_after(values, budget))


def loop_function(method):
    if method == "stub":
        import stub_loop
        return stub_loop.optimize_model
    import kelm
    found = getattr(kelm, "optimize_model", None)
    if found is None:
        raise SystemExit(f"error: kelm.optimize_model is not in {kelm.__file__}: point "
                         "PYTHONPATH at a build's python folder that has the design loop")
    return found


def gap(optimum, value):
    return 100.0 * (optimum - value) / optimum


def run_one(method, name, skin_plies, stiffener_plies, letters, seed, budget):
    """One CSV row."""
    model = models.load(name)
    optimum = optima.cached_optimum(name, skin_plies, stiffener_plies, letters)["value"]
    judge = Judge(model, skin_plies, stiffener_plies, letters)
    start = time.perf_counter()
    if method == "plan":
        outcome = run_plan(judge, seed, budget)
    elif method == "ga":
        outcome = run_ga(judge, seed, budget)
    else:
        outcome = run_loop(judge, seed, budget, loop_function(method))
    seconds = time.perf_counter() - start
    allowed = bool(outcome.skin) and judge.allowed(outcome.skin, outcome.stiffener)
    row = {"method": method, "model": name, "size": f"{skin_plies}/{stiffener_plies}",
           "rules": letters, "seed": seed, "optimum": optimum, "value": outcome.value,
           "gap": gap(optimum, outcome.value) if allowed else 100.0, "allowed": allowed,
           "analyses": outcome.analyses, "status": outcome.status, "seconds": round(seconds, 2),
           "skin": "".join(map(str, outcome.skin)),
           "stiffener": "".join(map(str, outcome.stiffener))}
    for n in CHECKPOINTS:
        v = outcome.best_after.get(n)
        row[f"gap_{n}"] = gap(optimum, v) if v is not None else float("nan")
    return row


def _fmt(v):
    if v is None or not np.isfinite(v):
        return "–"
    # the optimum's parameters are exact fractions, kelm's are summed ply by ply: the same
    # design can come out a few ulps above its optimum
    return f"{max(v, 0.0) if v > -1e-9 else v:.2f}"


def markdown(rows, method, budget):
    """Median and worst gap per model, size and rule set; the gaps after n analyses."""
    lines = [f"Method `{method}`, budget {budget} analyses, gap to the true optimum in % "
             "(median / worst over seeds).", "",
             "| model | size | rules | seeds | optimum | gap median | gap worst | "
             + " | ".join(f"after {n}" for n in CHECKPOINTS) + " | analyses | seconds |",
             "|---|---|---|---|---|---|---|" + "---|" * len(CHECKPOINTS) + "---|---|"]
    groups = {}
    for r in rows:
        groups.setdefault((r["model"], r["size"], r["rules"]), []).append(r)
    for (name, size, letters), rs in groups.items():
        gaps = [r["gap"] for r in rs]
        after = []
        for n in CHECKPOINTS:
            vals = [r[f"gap_{n}"] for r in rs if np.isfinite(r[f"gap_{n}"])]
            after.append(_fmt(statistics.median(vals)) if vals else "–")
        lines.append(f"| {name} | {size} | {letters} | {len(rs)} | {rs[0]['optimum']:.4f} | "
                     f"{_fmt(statistics.median(gaps))} | {_fmt(max(gaps))} | "
                     + " | ".join(after)
                     + f" | {statistics.median(r['analyses'] for r in rs):.0f} | "
                     f"{statistics.median(r['seconds'] for r in rs):.1f} |")
    gaps = [r["gap"] for r in rows]
    medians = [statistics.median([r["gap"] for r in rs]) for rs in groups.values()]
    lines += ["", f"Over all {len(groups)} cases: median of the cases' median gaps "
              f"{_fmt(statistics.median(medians))} %, largest case median {_fmt(max(medians))} %, "
              f"worst single run {_fmt(max(gaps))} %; cases with median <= 1 % and worst <= 3 %: "
              f"{sum(1 for rs in groups.values() if statistics.median([r['gap'] for r in rs]) <= 1 and max(r['gap'] for r in rs) <= 3)}"
              f" of {len(groups)}."]
    troubles = sorted({r["status"] for r in rows if ";" in r["status"] or not r["allowed"]})
    if troubles:
        lines += ["", "Runs whose result did not check out: " + " / ".join(troubles)]
    return "\n".join(lines) + "\n"


def compare(paths):
    """Methods side by side from their CSVs: median / worst gap per case, and the median over
    the cases of the gap after 50, 100, 150 and 200 analyses."""
    import csv

    by_method = {}
    for path in paths:
        with open(path, newline="") as source:
            for r in csv.DictReader(source):
                by_method.setdefault(r["method"], []).append(r)
    methods = list(by_method)
    cases = {}
    for method, rows in by_method.items():
        for r in rows:
            cases.setdefault((r["model"], r["size"], r["rules"]), {}).setdefault(method, []).append(r)
    lines = ["| model | size | rules | optimum | " + " | ".join(methods) + " |",
             "|---|---|---|---|" + "---|" * len(methods)]
    for (name, size, letters), found in cases.items():
        optimum = float(next(iter(found.values()))[0]["optimum"])
        cells = []
        for m in methods:
            gaps = [float(r["gap"]) for r in found.get(m, [])]
            cells.append(f"{_fmt(statistics.median(gaps))} / {_fmt(max(gaps))}" if gaps else "–")
        lines.append(f"| {name} | {size} | {letters} | {optimum:.4f} | " + " | ".join(cells) + " |")
    lines += ["", "| analyses | " + " | ".join(methods) + " |", "|---|" + "---|" * len(methods)]
    for n in CHECKPOINTS:
        cells = []
        for m in methods:
            per_case = {}
            for r in by_method[m]:
                v = float(r[f"gap_{n}"])
                if np.isfinite(v):
                    per_case.setdefault((r["model"], r["size"], r["rules"]), []).append(v)
            medians = [statistics.median(v) for v in per_case.values()]
            cells.append(f"{_fmt(statistics.median(medians))} (worst case {_fmt(max(medians))})"
                         if medians else "–")
        lines.append(f"| {n} | " + " | ".join(cells) + " |")
    return "\n".join(lines) + "\n"


def _seeds(text):
    if "-" in text:
        low, high = (int(p) for p in text.split("-"))
        return list(range(low, high + 1))
    return [int(p) for p in text.split(",")]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--method", choices=METHODS)
    parser.add_argument("--compare", help="CSV files of earlier runs, comma-separated: print "
                        "their methods side by side and run nothing")
    parser.add_argument("--models", default=",".join(models.NAMES))
    parser.add_argument("--sizes", default=",".join(f"{s}/{t}" for s, t in optima.SIZES))
    parser.add_argument("--rules", default=",".join(optima.RULES))
    parser.add_argument("--seeds", default="1-5")
    parser.add_argument("--budget", type=int, default=200)
    parser.add_argument("--csv", help="default: results/METHOD.csv beside this script")
    parser.add_argument("--markdown", help="default: results/METHOD.md beside this script")
    args = parser.parse_args(argv)
    if args.compare:
        sys.stdout.write(compare(args.compare.split(",")))
        return 0
    if args.method is None:
        parser.error("give --method or --compare")
    if args.budget < 1:
        parser.error("--budget takes a positive number of analyses")
    csv_path = pathlib.Path(args.csv or HERE / "results" / f"{args.method}.csv")
    md_path = pathlib.Path(args.markdown or HERE / "results" / f"{args.method}.md")
    import csv
    csv_path.parent.mkdir(parents=True, exist_ok=True)
    rows = []
    with open(csv_path, "w", newline="") as out:
        writer = None
        for name in args.models.split(","):
            for size in args.sizes.split(","):
                s, t = (int(p) for p in size.split("/"))
                for letters in args.rules.split(","):
                    for seed in _seeds(args.seeds):
                        row = run_one(args.method, name, s, t, letters, seed, args.budget)
                        rows.append(row)
                        # each run is written at once, so a long table stopped half way keeps
                        # what it has measured
                        if writer is None:
                            writer = csv.DictWriter(out, fieldnames=list(row), lineterminator="\n")
                            writer.writeheader()
                        writer.writerow(row)
                        out.flush()
                        print(f"{name} {size} {letters} seed {seed}: gap {row['gap']:.2f} % "
                              f"({row['analyses']} analyses, {row['seconds']} s, {row['status']})",
                              flush=True)
    md_path.write_text(markdown(rows, args.method, args.budget))
    print(md_path.read_text())
    return 0


if __name__ == "__main__":
    sys.exit(main())
