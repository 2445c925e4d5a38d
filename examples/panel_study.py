"""A worked example of the Python package: from response-surface files to a table of optimal
designs and a picture of one.

    PYTHONPATH=build/python python3 examples/panel_study.py [OUTPUT_DIR] [--time-limit=S]

Searches both bundled panels at three pairs of ply totals with and without the 4-ply rule,
prints the table, and writes it as CSV with the picture of the best design (SVG) to OUTPUT_DIR
(default: the current directory).
"""

import argparse
import pathlib

import kelm

here = pathlib.Path(__file__).resolve().parent
arguments = argparse.ArgumentParser(
    description="Searches both bundled panels at three pairs of ply totals with and without the "
                "4-ply rule; writes the table (CSV) and the best design's picture (SVG).")
arguments.add_argument("output_dir", nargs="?", default=".", type=pathlib.Path,
                       help="where panels.csv and panel_a_best.svg go (default: here)")
arguments.add_argument("--time-limit", type=float, default=None, metavar="S",
                       help="seconds for the whole study (default: none)")
options = arguments.parse_args()
out = options.output_dir
out.mkdir(parents=True, exist_ok=True)

# One Panel per case; a surface is read once and shared by its cases.
surfaces = {name: kelm.Surface.read(str(here / f"{name}.rs")) for name in ("panel_a", "panel_b")}
panels = [
    kelm.Panel(f"{name} {skin}/{stiffener} {letters}", surface, skin, stiffener, rules=letters)
    for name, surface in surfaces.items()
    for skin, stiffener in ((16, 24), (24, 32), (32, 32))
    for letters in ("-b", "-bf")
]

# Every panel in a thread of this process (the searches release the GIL); pass
# client=distributed.Client(...) to run them on a Dask cluster instead.
table = kelm.run_panels(panels, time_limit=options.time_limit)
print(table[["panel", "status", "value", "designs", "skin", "stiffener", "seconds"]]
      .to_string(index=False))
table.to_csv(out / "panels.csv", index=False)

# The best panel_a design at 24/32 under the 4-ply rule, looked at closely.
result = kelm.optimize(surfaces["panel_a"], 24, 32, rules="-bf", seed=1)
best = result.designs[0]
print(f"\npanel_a 24/32 -bf: value {result.value:.10f} after {result.steps} steps")
print("skin to lay up:     ", best.skin.stack_text)
print("stiffener to lay up:", best.stiffener.stack_text)
print("in-plane, bending:  ", best.skin.in_plane, best.skin.bending)
(out / "panel_a_best.svg").write_text(best.svg())
print(f"wrote {out / 'panels.csv'} and {out / 'panel_a_best.svg'}")
