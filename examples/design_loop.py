"""The design best on the analysis: kelm.optimize_model on the example blade-panel model.

    PYTHONPATH=build/python /usr/bin/python3 examples/design_loop.py [--skin=24 --stiffener=32
        --rules=-bf --budget=200 --batch=1 --seed=1 --history=loop.csv --svg=loop.svg]

The model (examples/blade_panel.py) stands in for a finite-element analysis; its three load
factors are the failure modes whose smallest value is maximised. The script prints the best
analysed design, its load factors, how the loop stopped, and the best design of the plan for
comparison, and draws the convergence picture.
"""

import argparse
import pathlib
import sys

import numpy

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import blade_panel  # noqa: E402
import kelm  # noqa: E402

MODES = ["skin_buckling", "blade_buckling", "strain"]


def analyse(designs):
    """The example model's load factors of each design, as a finite-element run would give."""
    x = numpy.array([d.parameters for d in designs])
    factors = blade_panel.load_factors(x, [d.skin.plies for d in designs],
                                       [d.stiffener.plies for d in designs])
    return [{m: float(factors[m][i]) for m in MODES} for i in range(len(designs))]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--skin", type=int, default=24, help="skin ply total")
    parser.add_argument("--stiffener", type=int, default=32, help="stiffener ply total")
    parser.add_argument("--rules", default="-bf", help="rule letters (default -bf)")
    parser.add_argument("--budget", type=int, default=200, help="analyses in all")
    parser.add_argument("--batch", type=int, default=1, help="analyses per round")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--history", default=None, help="CSV of every analysis (resumable)")
    parser.add_argument("--svg", default="loop.svg", help="the convergence picture")
    parser.add_argument("--true-optimum", type=float, default=None,
                        help="draw a known optimum (e.g. 1.1843 at 24/32 -bf)")
    args = parser.parse_args(argv)

    result = kelm.optimize_model(analyse, args.skin, args.stiffener, modes=MODES,
                                 rules=args.rules, budget=args.budget, batch=args.batch,
                                 seed=args.seed, history=args.history)
    h = result.history
    plan = h[h["round"] == 0]
    print(f"best analysed: {result.best.skin.printed} {result.best.stiffener.printed}")
    print("  " + ", ".join(f"{m} {result.responses[m]:.4f}" for m in MODES)
          + f"; smallest {result.value:.4f}")
    print(f"best of the plan ({len(plan)} designs): {plan['objective'].max():.4f}")
    print(f"{result.analyses} analyses; {result.status}: {result.message}")
    pathlib.Path(args.svg).write_text(result.convergence_svg(
        args.true_optimum, title=f"blade panel {args.skin}/{args.stiffener} {args.rules}"))
    print(f"wrote {args.svg}")


if __name__ == "__main__":
    main()
