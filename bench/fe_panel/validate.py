"""Validation tables of the finite-element panel, as markdown on standard output.

    /usr/bin/python3 bench/fe_panel/validate.py plate        # flat plates vs the closed form
    /usr/bin/python3 bench/fe_panel/validate.py mesh         # three designs, three meshes
    /usr/bin/python3 bench/fe_panel/validate.py compare FILE.csv [N]
        # the first N (10) analysed rows of FILE.csv (skin_stack, stiffener_stack and the
        # factors, e.g. results/plan.csv) beside examples/blade_panel.py's factors

Times are the processor seconds of the ccx runs (user + system), which a busy machine does not
inflate the way it inflates wall time.
"""

import csv
import math
import os
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path[:0] = [os.path.join(ROOT, "examples", "fe_panel"), os.path.join(ROOT, "examples")]

from analysis import analyse_stacks  # noqa: E402
from panel import Panel, lamination_parameters, parse_stack, stiffness_matrices  # noqa: E402

MESH_DESIGNS = [
    ("[+45/-45/0/0/90/0/+45/-45/-45/+45/0/90/0/0/-45/+45]",
     "[+45/-45/0/0/0/+45/-45/0/0/90/0/0/0/0/90/0/0/-45/+45/0/0/0/-45/+45]"),
    ("[+45/-45/+45/-45/0/0/90/0/0/90/0/0/-45/+45/-45/+45]",
     "[0/0/+45/-45/0/0/0/0/90/+45/-45/0/0/-45/+45/90/0/0/0/0/-45/+45/0/0]"),
    ("[90/90/+45/-45/0/0/90/0/0/90/0/0/-45/+45/90/90]",
     "[+45/-45/+45/-45/0/0/+45/-45/0/0/90/0/0/90/0/0/-45/+45/0/0/-45/+45/-45/+45]"),
]


def analyse(skin, blade, mesh, panel=Panel(), with_blades=True):
    with tempfile.TemporaryDirectory(prefix="fe_validate_") as work:
        return analyse_stacks(parse_stack(skin), parse_stack(blade), panel, mesh, work,
                              with_blades)


def plate():
    panel = Panel(blades=1)
    print("| stack | closed form | coarse | medium | fine |\n|---|---|---|---|---|")
    for stack in ("[0/90/0/90/90/0/90/0]", "[90/0/0/90/90/0/0/90]", "[0/0/90/90/90/90/0/0]"):
        _, d = stiffness_matrices(parse_stack(stack), panel)
        a, b = panel.frame_pitch, panel.stiffener_pitch
        exact = min(math.pi ** 2 / b ** 2 * (d[0][0] * (m * b / a) ** 2
                                             + 2 * (d[0][1] + 2 * d[2][2])
                                             + d[1][1] * (a / (m * b)) ** 2)
                    for m in range(1, 30)) / panel.load
        cells = []
        for mesh in ("coarse", "medium", "fine"):
            found = analyse(stack, stack, mesh, panel, with_blades=False)["skin_buckling"]
            cells.append(f"{found:.5f} ({100 * (found / exact - 1):+.2f} %)")
        print(f"| {stack} | {exact:.5f} | " + " | ".join(cells) + " |")


def mesh():
    print("| design | mesh | skin | blade | strain | minimum | ccx runs | ccx s |\n"
          "|---|---|---|---|---|---|---|---|")
    for number, (skin, blade) in enumerate(MESH_DESIGNS, 1):
        for density in ("coarse", "medium", "fine"):
            r = analyse(skin, blade, density)
            low = min(r["skin_buckling"], r["blade_buckling"], r["strain"])
            print(f"| {number} | {density} | {r['skin_buckling']:.4f} | "
                  f"{r['blade_buckling']:.4f} | {r['strain']:.4f} | {low:.4f} | "
                  f"{r['ccx_runs']} | {r['ccx_cpu_seconds']:.1f} |", flush=True)


def compare(path, count=10):
    import blade_panel
    with open(path, newline="") as source:
        rows = [r for r in csv.DictReader(source) if r.get("minimum")][:count]
    panel = Panel()
    print("| skin / stiffener | skin FE / CF | blade FE / CF | strain FE / CF | min FE / CF | "
          "skin D16/D11 |\n|---|---|---|---|---|---|")
    for r in rows:
        skin, blade = parse_stack(r["skin_stack"]), parse_stack(r["stiffener_stack"])
        s, b = lamination_parameters(skin), lamination_parameters(blade)
        closed = blade_panel.load_factors([s[0], s[1], b[0], b[1], s[2], s[3], b[2], b[3]],
                                          len(skin), len(blade))
        _, d = stiffness_matrices(skin, panel)
        cells = [f"{float(r[k]):.3f} / {closed[k]:.3f}"
                 for k in ("skin_buckling", "blade_buckling", "strain", "minimum")]
        print(f"| {r['skin_stack']} / {r['stiffener_stack']} | " + " | ".join(cells)
              + f" | {d[0][2] / d[0][0]:.3f} |")


if __name__ == "__main__":
    what = sys.argv[1] if len(sys.argv) > 1 else ""
    if what == "plate":
        plate()
    elif what == "mesh":
        mesh()
    elif what == "compare" and len(sys.argv) > 2:
        compare(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 10)
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
