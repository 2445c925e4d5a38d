"""The best designs of a loop's history analysed again on another mesh (the reference run is on
the coarse mesh; its best designs are judged on the medium one, like the other methods').

    /usr/bin/python3 bench/fe_panel/reanalyse_best.py HISTORY.csv OUT.csv [COUNT] [--mesh=medium]
"""

import csv
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "examples", "fe_panel"))

from panel import stack_from_codes  # noqa: E402


def main(history, out, count=3, mesh="medium"):
    with open(history, newline="") as source:
        rows = [r for r in csv.DictReader(source) if r.get("objective")]
    rows.sort(key=lambda r: float(r["objective"]), reverse=True)
    plan = out + ".designs.csv"
    with open(plan, "w", newline="") as target:
        writer = csv.writer(target, lineterminator="\n")
        writer.writerow(["skin", "stiffener", "coarse_objective", "skin_stack", "stiffener_stack"])
        for r in rows[:count]:
            writer.writerow([r["skin"], r["stiffener"], r["objective"],
                             stack_from_codes([int(c) for c in r["skin_codes"]],
                                              int(r["skin_plies"])),
                             stack_from_codes([int(c) for c in r["stiffener_codes"]],
                                              int(r["stiffener_plies"]))])
    subprocess.run([sys.executable, os.path.join(ROOT, "examples", "fe_panel", "analyse.py"),
                    plan, f"--out={out}", "--jobs=2", "--timing", f"--mesh={mesh}"], check=True)
    os.remove(plan)


if __name__ == "__main__":
    options = [a for a in sys.argv[1:] if a.startswith("--mesh=")]
    args = [a for a in sys.argv[1:] if not a.startswith("--mesh=")]
    main(args[0], args[1], int(args[2]) if len(args) > 2 else 3,
         options[0].split("=", 1)[1] if options else "medium")
