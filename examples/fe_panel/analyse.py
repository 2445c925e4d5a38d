"""Finite-element model of the blade-stiffened panel of examples/blade_panel.py (CalculiX ccx).

    /usr/bin/python3 examples/fe_panel/analyse.py PLAN.csv [--out=FILE.csv]
        [--mesh=coarse|medium|fine] [--jobs=N] [--keep=DIR] [--panel=SETTINGS.json] [--timing]

reads a CSV with the columns skin_stack and stiffener_stack (as kelm_loop and kelm_sample write
them, e.g. "[+45/-45/0/90/90/0/-45/+45]", the whole laminate ply by ply) and writes it back (to
FILE.csv or standard output) with the columns skin_buckling, blade_buckling, global_buckling,
strain and minimum filled in or appended: load factors, failure load over applied load, so
larger is better. The deck is built from the stacks, not from the lamination parameters: each
+45 and -45 keeps its place, so the bend-twist terms D16 and D26 of the real stack are in.
A design that cannot be analysed gets empty cells and a line on standard error naming the row,
its stacks and the reason; the others are still written, and the status is 0 as long as the
file was read and written (kelm_loop records such designs as failed).

The panel (defaults of blade_panel.py; change them with --panel=FILE.json, a JSON object with
any of the fields of panel.Panel, e.g. {"frame_pitch": 600, "load": 800, "blades": 4}):
  * three blades at a pitch of 125 mm, each mid-way across its pitch, so the panel is 375 mm
    wide: two full skin bays between blades and a half bay at each side; blades 40 mm high
    (from the skin's mid-surface), frames 500 mm apart (the panel's length);
  * carbon/epoxy plies 0.125 mm thick, E1 138 GPa, E2 = E3 9 GPa, G12 = G13 7.1 GPa,
    G23 3.1 GPa, nu12 = nu13 0.30, nu23 0.45;
  * running load 675 N/mm of panel width (253 kN in all), compressive along the blades;
    allowable compressive fibre strain 0.0045.
Boundary conditions and load introduction: see deck.py (simply supported at the frames and
the long edges, end forces shared by skin and blades at equal strain). Mesh (elements per half
bay across, along the length, up the blade): coarse 2/12/2 (about 700 nodes), medium 3/18/3
(about 1,550 nodes), fine 5/30/4 (about 3,900 nodes); all S8R composite shells, one section
per stack.

Results, per design:
  * skin_buckling, blade_buckling, global_buckling: the factor of the lowest mode of each kind,
    the kinds told apart by the mode shapes (rule in results.py); global_buckling is empty when
    no global mode is among those computed. When the lowest modes are all of one kind, the
    window of computed modes is moved up (analysis.py); a kind still not found is reported as
    the highest factor computed, a lower bound, with a note on standard error;
  * strain: 0.0045 over the largest compressive fibre-direction ply strain of a linear static
    step under the same load;
  * minimum: the smallest of skin_buckling, blade_buckling, strain (and global_buckling when
    there is one).
--timing adds the columns ccx_runs and ccx_cpu_seconds (processor time of the ccx runs of the
row, which a busy machine hardly changes, unlike the wall time). Work files go to a temporary folder, removed afterwards unless --keep=DIR names a folder to
keep them in (one sub-folder per row: the deck panel.inp, ccx's panel.dat and panel.log).
"""

import argparse
import csv
import io
import math
import os
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
if HERE not in sys.path:
    sys.path.insert(0, HERE)

from analysis import analyse_stacks  # noqa: E402
from panel import MESHES, load_panel, parse_stack  # noqa: E402
from results import AnalysisError  # noqa: E402

FACTORS = ("skin_buckling", "blade_buckling", "global_buckling", "strain", "minimum")
TIMING = ("ccx_runs", "ccx_cpu_seconds")
STACKS = ("skin_stack", "stiffener_stack")


def analyse_design(skin_stack, stiffener_stack, panel, mesh="medium", workdir=None):
    """The factors of one design, as a dict of FACTORS (global_buckling may be None) and
    'notes' (a list of remarks), from its two stack texts. Raises AnalysisError or ValueError
    with the reason. Work files go to `workdir` (kept) or to a temporary folder (removed)."""
    skin, blade = parse_stack(skin_stack), parse_stack(stiffener_stack)
    if workdir is None:
        with tempfile.TemporaryDirectory(prefix="fe_panel_") as scratch:
            return analyse_design(skin_stack, stiffener_stack, panel, mesh, scratch)
    os.makedirs(workdir, exist_ok=True)
    result = analyse_stacks(skin, blade, panel, mesh, workdir)
    kinds = [result[k] for k in ("skin_buckling", "blade_buckling", "global_buckling", "strain")]
    result["minimum"] = min(v for v in kinds if v is not None)
    return result


class StackAnalysis:
    """analyse(designs) for kelm.optimize_model: runs this model on each kelm.Design's stacks.
    A design that fails raises, which the loop records as a failed analysis; with an executor
    (optimize_model(..., executor=ThreadPoolExecutor(2))) each call gets one design and the
    ccx runs go in parallel."""

    def __init__(self, panel=None, mesh="medium", keep=None):
        self.panel, self.mesh, self.keep = panel or load_panel(), mesh, keep

    def __call__(self, designs):
        out = []
        for d in designs:
            folder = None
            if self.keep:
                folder = os.path.join(self.keep, _folder_name(d.skin.stack_text,
                                                              d.stiffener.stack_text))
            result = analyse_design(d.skin.stack_text, d.stiffener.stack_text, self.panel,
                                    self.mesh, folder)
            out.append({k: v for k, v in result.items() if k in FACTORS and v is not None})
        return out


def _folder_name(skin, stiffener):
    text = f"{skin}_{stiffener}"
    return "".join(c if c.isalnum() else {"+": "p", "-": "m"}.get(c, "_") for c in text)


def _analyse_row(number, row, header, panel, mesh, keep):
    """(factors or None, messages) of one data row."""
    try:
        stacks = [row[header.index(c)].strip() for c in STACKS]
        folder = os.path.join(keep, f"row{number}") if keep else None
        result = analyse_design(stacks[0], stacks[1], panel, mesh, folder)
        return result, [f"row {number} ({stacks[0]} / {stacks[1]}): {note}"
                        for note in result.get("notes", [])]
    except (AnalysisError, ValueError, OSError) as error:
        stacks = " / ".join(row[header.index(c)] for c in STACKS)
        return None, [f"row {number} ({stacks}): not analysed: {error}"]


def fill_csv(source, target, panel, mesh="medium", jobs=1, keep=None, messages=sys.stderr,
             timing=False):
    """Read a plan from `source`, analyse each row, write it with the factors (and with
    `timing` the ccx runs and their processor seconds) to `target`. Returns the number of rows
    that failed."""
    columns = FACTORS + (TIMING if timing else ())
    rows = list(csv.reader(source))
    if not rows:
        raise ValueError("the plan is empty: no header row")
    header, body = list(rows[0]), [r for r in rows[1:] if any(cell.strip() for cell in r)]
    missing = [c for c in STACKS if c not in header]
    if missing:
        raise ValueError(f"the header lacks the columns {', '.join(missing)}")
    for n, row in enumerate(body, 1):
        if len(row) > len(header):
            raise ValueError(f"data row {n} has more fields than the header")
        row.extend([""] * (len(header) - len(row)))
    for name in columns:
        if name not in header:
            header.append(name)
            for row in body:
                row.append("")

    def work(numbered):
        return _analyse_row(numbered[0], numbered[1], header, panel, mesh, keep)

    with ThreadPoolExecutor(max_workers=jobs) as pool:
        answers = list(pool.map(work, enumerate(body, 1)))
    failed = 0
    for row, (result, notes) in zip(body, answers):
        for note in notes:
            print(note, file=messages)
        failed += result is None
        for name in columns:
            value = None if result is None else result.get(name)
            row[header.index(name)] = "" if value is None else "%.10g" % value
    writer = csv.writer(target, lineterminator="\n")
    writer.writerow(header)
    writer.writerows(body)
    return failed


def _parser():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("plan", help="CSV with the columns skin_stack and stiffener_stack")
    parser.add_argument("--out", help="write here instead of standard output")
    parser.add_argument("--mesh", choices=sorted(MESHES), default="medium",
                        help="mesh density (default medium)")
    parser.add_argument("--jobs", type=int, default=1, help="designs analysed at once")
    parser.add_argument("--keep", metavar="DIR", help="keep the work files in DIR")
    parser.add_argument("--panel", metavar="FILE.json", help="panel settings to change")
    parser.add_argument("--timing", action="store_true",
                        help="add the columns ccx_runs and ccx_cpu_seconds")
    return parser


def main(argv=None):
    args = _parser().parse_args(argv)
    if args.jobs < 1:
        print("error: --jobs takes a whole number of at least 1", file=sys.stderr)
        return 2
    try:
        panel = load_panel(args.panel)
        with open(args.plan, newline="") as source:
            # Everything is computed before the output is opened, so a bad plan never leaves a
            # half-written file behind (and --out may name the plan itself).
            buffer = io.StringIO()
            fill_csv(source, buffer, panel, args.mesh, args.jobs, args.keep, timing=args.timing)
        if args.out:
            with open(args.out, "w", newline="") as target:
                target.write(buffer.getvalue())
        else:
            sys.stdout.write(buffer.getvalue())
    except (OSError, ValueError) as e:
        print(f"error: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
