"""Mode surfaces fitted where failure modes meet, as the adaptive loop fits them: hard cases for
the searches that maximise the smallest of several surfaces (kelm_alt --tight --min-of=).

    python3 bench/kink_surfaces/make_kink_surfaces.py BUILD_DIR OUT_DIR [--cases=N]

For each ply-total pair (24/32 and 48/48), each model (the blade panel of
examples/blade_panel.py and the shear-column panel beside this script) and each case: a
D-optimal plan of buildable designs under -bf (kelm_sample), analysed by the model; the centre
is the best analysed design whose two smallest load factors are within 2 % of each other (a
kink); every mode is fitted with weights falling off with the distance from the centre in
lamination-parameter space, capped a little above the centre's smallest factor (kelm_fit).
Writes OUT_DIR/<model>_<skin>_<stiffener>_<case>_<mode>.rs and, per case, a line of
OUT_DIR/cases.txt: the totals and the three surface files, the first to be maximised and the
others given with --min-of=.
"""

import argparse
import csv
import importlib.util
import os
import subprocess
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def load_module(path, name):
    found = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


MODELS = {
    "blade": (load_module(os.path.join(ROOT, "examples", "blade_panel.py"), "blade_panel"),
              ("skin_buckling", "blade_buckling", "strain")),
    "shear": (load_module(os.path.join(HERE, "shear_column_panel.py"), "shear_column_panel"),
              ("shear_buckling", "column", "crippling")),
}
TOTALS = ((24, 32), (48, 48))


def run(args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def read_plan(path):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    x = np.array([[float(r[f"x{k}"]) for k in range(1, 9)] for r in rows])
    return rows, x


def kink_centre(g, case):
    """The analysed design at the case-th best kink: two smallest factors within 2 %."""
    s = np.sort(g, axis=0)
    near = (s[1] - s[0]) <= 0.02 * s[0]
    order = [i for i in np.argsort(-s[0]) if near[i]]
    if not order:
        return None
    return order[min(case, len(order) - 1)]


def make_case(build, out, model_name, totals, case, lines):
    model, modes = MODELS[model_name]
    tag = f"{model_name}_{totals[0]}_{totals[1]}_{case}"
    plan = os.path.join(out, tag + "_plan.csv")
    run([os.path.join(build, "kelm_sample"), str(totals[0]), str(totals[1]), "240", "-bf",
         f"--seed={101 + 7 * case}", "--out=" + plan])
    rows, x = read_plan(plan)
    f = model.load_factors(x, totals[0], totals[1])
    g = np.stack([f[m] for m in modes])
    centre = kink_centre(g, 2 * case)
    if centre is None:
        print(f"{tag}: no two modes within 2 % of each other in the plan", file=sys.stderr)
        return
    distance = np.linalg.norm(x - x[centre], axis=1)
    radius = np.median(distance) * 0.6
    weight = np.maximum(np.exp(-(distance / radius) ** 2), 0.02)
    cap = 1.3 * g[:, centre].min()
    with open(plan, "w", newline="") as fh:
        fields = list(rows[0].keys()) + list(modes) + ["weight"]
        writer = csv.DictWriter(fh, fieldnames=fields, lineterminator="\n")
        writer.writeheader()
        for i, row in enumerate(rows):
            row.update({m: "%.10g" % g[k][i] for k, m in enumerate(modes)})
            row["weight"] = "%.10g" % weight[i]
            writer.writerow(row)
    files = []
    for k, mode in enumerate(modes):
        if g[k].min() >= cap:  # capped everywhere: a constant the design loop leaves out
            continue
        surface = os.path.join(out, f"{tag}_{mode}.rs")
        run([os.path.join(build, "kelm_fit"), plan, "--response=" + mode, "--weight=weight",
             f"--cap={cap:.6g}", "--out=" + surface])
        files.append(surface)
    lines.append(f"{totals[0]} {totals[1]} " + " ".join(files))
    print(f"{tag}: centre row {centre + 1}, factors "
          + ", ".join("%.4f" % v for v in g[:, centre]) + f", cap {cap:.4f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("out")
    parser.add_argument("--cases", type=int, default=2)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    lines = []
    for totals in TOTALS:
        for name in MODELS:
            for case in range(args.cases):
                make_case(args.build, args.out, name, totals, case, lines)
    with open(os.path.join(args.out, "cases.txt"), "w") as fh:
        fh.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
