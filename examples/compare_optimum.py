"""Checks a search's optimum with the example panel model, against the best sampled design.

    /usr/bin/python3 examples/compare_optimum.py OPTIMUM.json ANALYSED.csv [COLUMN]

OPTIMUM.json: the --json document of kelm_alt or kelm_iter run on the fitted surface;
ANALYSED.csv: the plan with the model's columns (blade_panel.py); COLUMN: the objective that
was fitted (default ks). Prints the model's load factors of the optimum (its first design) and
of the sampled design best in COLUMN, and says which is higher.
"""

import csv
import json
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import blade_panel  # noqa: E402

MODES = ("skin_buckling", "blade_buckling", "strain", "minimum", "ks")


def optimum_parameters(document):
    design = document["designs"][0]
    skin, stiffener = design["skin"], design["stiffener"]
    x = skin["inPlane"] + stiffener["inPlane"] + skin["bending"] + stiffener["bending"]
    return x, skin["plyTotal"], stiffener["plyTotal"], skin["printed"], stiffener["printed"]


def main(argv):
    document = json.loads(pathlib.Path(argv[1]).read_text())
    column = argv[3] if len(argv) > 3 else "ks"
    with open(argv[2], newline="") as f:
        rows = list(csv.DictReader(f))
    best = max(rows, key=lambda row: float(row[column]))
    x, skin_plies, stiffener_plies, skin, stiffener = optimum_parameters(document)
    found = blade_panel.load_factors(x, skin_plies, stiffener_plies)
    print(f"optimum of the surface  {skin} {stiffener}")
    print("  model: " + ", ".join(f"{m} {float(found[m]):.4f}" for m in MODES))
    print(f"best of {len(rows)} samples  {best['skin']} {best['stiffener']}")
    print("  model: " + ", ".join(f"{m} {float(best[m]):.4f}" for m in MODES))
    gain = float(found[column]) / float(best[column]) - 1.0
    print(f"{column}: optimum {float(found[column]):.4f} against best sample "
          f"{float(best[column]):.4f} ({gain:+.1%})")


if __name__ == "__main__":
    main(sys.argv)
