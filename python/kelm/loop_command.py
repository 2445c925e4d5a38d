"""kelm_loop: the adaptive design loop for analyses run by a command (a script, a cluster queue).

    kelm_loop SKIN STIFFENER --analyse='COMMAND {in} {out}' --modes=a,b,c
              [--require=NAME:LIMIT ...] [--budget=N] [--batch=K] [--plan=N]
              [--history=FILE.csv] [--seed=N] [--time-limit=S] [--search-steps=N]
              [--search-time=S] [--json=FILE] [LETTERS] [--min-share=P] [--max-run=N]
              [--no-cross-ply-jump] [--outer-45]

The command is run once per batch of designs: {in} is replaced by a CSV of the designs in
kelm_sample's format, {out} by the file it must write: the same rows with one column per
response. A command that fails, or a row without a number, marks those designs as failed; the
loop goes on. The history file is the loop's state: run the same command line again after a
stop or a crash and it resumes without repeating an analysis.
"""

from __future__ import annotations

import argparse
import csv
import json
import math
import os
import shlex
import re
import signal
import subprocess
import sys
import tempfile
import time
from typing import List, Optional

from . import design_loop
from .loop_settings import SEARCH_STEPS
from ._kelm import Design, __version__
from .rules import Rules
from .searches import SearchInterrupted
from .workflow import design_columns

_DESIGN_COLUMNS = ["skin_plies", "stiffener_plies", "skin", "stiffener", "skin_codes",
                   "stiffener_codes", "skin_stack", "stiffener_stack"]


class CommandAnalysis:
    """analyse(designs) for optimize_model through a shell command with {in} and {out}."""

    def __init__(self, template: str, workdir: str, deadline: Optional[float] = None):
        if "{in}" not in template or "{out}" not in template:
            raise ValueError("--analyse needs a command with {in} and {out}, e.g. "
                             "'python3 model.py {in} --out={out}'")
        self.template, self.workdir, self.calls = template, workdir, 0
        self.deadline = deadline  # time.monotonic() at which a running command is stopped

    def __call__(self, designs: List[Design]) -> List[dict]:
        self.calls += 1
        source = os.path.join(self.workdir, f"designs_{self.calls}.csv")
        target = os.path.join(self.workdir, f"analysed_{self.calls}.csv")
        _write_designs(source, designs)
        command = self.template.replace("{in}", shlex.quote(source)).replace(
            "{out}", shlex.quote(target))
        status, errors = _run(command, self.deadline)
        if status != 0:
            raise RuntimeError(f"the analysis command ended with status {status}: "
                               + (errors.strip().splitlines() or [""])[-1])
        if not os.path.isfile(target):
            raise RuntimeError("the analysis command wrote no {out} file")
        try:
            with open(target, newline="") as analysed:
                rows = list(csv.DictReader(analysed))
        except (csv.Error, UnicodeDecodeError) as error:
            raise RuntimeError(f"the analysis command's {{out}} is not a CSV file: {error}") from None
        if len(rows) != len(designs):
            raise RuntimeError(f"the analysis wrote {len(rows)} rows for {len(designs)} designs")
        return [_numbers(row) for row in rows]


def _run(command: str, deadline: Optional[float]):
    """Runs the command in a process group of its own, so that the time limit and Ctrl-C stop
    the whole analysis (a shell's children included), not only the shell."""
    process = subprocess.Popen(command, shell=True, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               errors="replace", start_new_session=True)
    try:
        timeout = None if deadline is None else max(0.0, deadline - time.monotonic())
        _, errors = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        _stop(process)
        raise TimeoutError("the time limit stopped the analysis command") from None
    except BaseException:
        _stop(process)
        raise
    return process.returncode, errors


def _stop(process: subprocess.Popen) -> None:
    try:
        os.killpg(process.pid, signal.SIGTERM)
        process.wait(timeout=2)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
    except ProcessLookupError:
        pass


def _write_designs(path: str, designs: List[Design]) -> None:
    with open(path, "w", newline="") as out:
        writer = csv.DictWriter(out, fieldnames=_DESIGN_COLUMNS + [f"x{i}" for i in range(1, 9)]
                                + ["response"], lineterminator="\n")
        writer.writeheader()
        for d in designs:
            writer.writerow({**design_columns(d), "response": ""})


_PARAMETER_COLUMNS = {f"x{i}" for i in range(1, 9)}


def _numbers(row: dict) -> dict:
    """The responses of one analysed row: every column but the design's own, as numbers."""
    values = {}
    for name, text in row.items():
        if name is None or name in _DESIGN_COLUMNS or name in _PARAMETER_COLUMNS:
            continue
        if name == "response" and not (text or "").strip():
            continue
        try:
            values[name] = float(text)
        except (TypeError, ValueError):
            values[name] = math.nan
    return values


_EPILOG = """\
LETTERS as for kelm_alt: b balance (default), n no balance, f 4-ply rule.

The budget decides the plan (30 % of it, 10 to 60 designs) and what is left for the loop:
   30 analyses: a plan of 10, then 20 proposals (one per round, or --batch per round);
   50 analyses: a plan of 15, then 35 proposals;
  100 analyses: a plan of 30, then 70 proposals;
  200 analyses: a plan of 60, then 140 proposals.
On our closed-form test panels (BENCHMARKS.md, 12/16 to 24/32 plies) the best design came
within about 2 % of the true optimum in the median with 30 analyses, within 0.4 % with 50
(worst run 6 %) and on it with 100 or 200; a genetic algorithm given as many analyses stayed
2-31 % away in the median.
Below 60 analyses the surfaces are fitted with their curvature held back (a ridge fit; over
the whole space each mode in the parameters cross-validation prefers: all eight, or one
laminate's bending parameters with both in-plane pairs); full quadratics from then on. A region whose best design stays unbeaten for 5 % of the budget in
rounds (3 to 10) is given up; the next opens on a skin away from those of every region given
up, the one after on a stiffener away from theirs, and so on in turn (other ply counts or far
other bending parameters; HISTORY.regions.json lists the regions given up).
"""


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="kelm_loop", description="The design best on your own analysis: an adaptive loop "
        "of surfaces fitted near the best analysed design and exact searches.",
        epilog=_EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("skin", type=int, help="skin ply total")
    parser.add_argument("stiffener", type=int, help="stiffener ply total")
    parser.add_argument("--analyse", required=True, metavar="'COMMAND {in} {out}'",
                        help="the analysis command; {in} a CSV of designs, {out} its output")
    parser.add_argument("--modes", required=True, metavar="A,B,...",
                        help="responses whose smallest value is maximised")
    parser.add_argument("--require", action="append", default=[], metavar="NAME:LIMIT",
                        help="only designs with NAME >= LIMIT count (repeatable)")
    parser.add_argument("--budget", type=int, default=200, help="analyses in all (default 200)")
    parser.add_argument("--batch", type=int, default=1, help="designs per command run")
    parser.add_argument("--plan", type=int, default=None, help="designs of the first plan")
    parser.add_argument("--history", default=None, metavar="FILE.csv",
                        help="the loop's state: every analysis; resumes when it exists")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--time-limit", type=float, default=None, metavar="S",
                        help="seconds in all; a running analysis command is stopped at the "
                        "limit and its designs are analysed again when the loop resumes")
    parser.add_argument("--search-steps", type=int, default=SEARCH_STEPS,
                        metavar="N", help="steps per search at most (default %(default)s): a "
                        "limit by the search's own work, so the same --seed gives the same "
                        "history on any machine; the history's column proved is False where "
                        "it cut a search")
    parser.add_argument("--search-time", type=float, default=None, metavar="S",
                        help="seconds per search at most besides (default: none); a search cut "
                        "by the clock makes the history depend on the machine's load")
    parser.add_argument("--json", default=None, metavar="FILE", help="the result as JSON")
    parser.add_argument("--svg", default=None, metavar="FILE",
                        help="the convergence picture: best analysed value against analyses")
    parser.add_argument("--min-share", type=float, default=0.0, metavar="P")
    parser.add_argument("--max-run", type=int, default=0, metavar="N")
    parser.add_argument("--no-cross-ply-jump", action="store_true")
    parser.add_argument("--outer-45", action="store_true")
    parser.add_argument("--version", action="version", version=f"kelm_loop {__version__}")
    return parser


def _requirements(items: List[str]) -> dict:
    required = {}
    for item in items:
        name, _, limit = item.rpartition(":")
        try:
            required[name] = float(limit)
        except ValueError:
            raise ValueError(f"--require={item}: give NAME:LIMIT with a number") from None
        if not name or not math.isfinite(required[name]):
            raise ValueError(f"--require={item}: give NAME:LIMIT with a finite number")
    return required


def _report(result, out) -> None:
    if result.best is None:
        print(f"no design found: {result.message}", file=out)
    else:
        best = result.best
        print(best.skin.printed, file=out)
        print(best.stiffener.printed, file=out)
        print(f"best analysed value = {result.value:.10g}", file=out)
        print("  " + ", ".join(f"{k} {v:.6g}" for k, v in result.responses.items()), file=out)
    print(f"analyses: {result.analyses} ({result.failed} failed); stopped: {result.status} "
          f"({result.message})", file=out)


def _json(result) -> dict:
    best = result.best
    return {"status": result.status, "success": result.success, "message": result.message,
            "analyses": result.analyses, "failed": result.failed,
            "value": None if best is None else result.value,
            "responses": result.responses,
            "best": None if best is None else best.to_dict()}


def _split_letters(argv: List[str]):
    """The rule letters (one argument such as -bf, as the search programs take them) apart from
    the rest, which argparse would read as unknown short options."""
    letters = [a for a in argv if len(a) > 1 and a[0] == "-" and set(a[1:]) <= set("bnf")]
    return "".join(letters) or "-b", [a for a in argv if a not in letters]


# The Python names of the loop's arguments, as the command line spells them.
_OPTION_NAMES = {"time_limit": "--time-limit", "search_time": "--search-time", "budget": "--budget",
                 "batch": "--batch", "plan": "--plan", "seed": "--seed", "modes": "--modes",
                 "require": "--require", "skin_plies": "SKIN", "stiffener_plies": "STIFFENER",
                 "Rules.min_share": "--min-share", "Rules.max_run": "--max-run",
                 "min_share": "--min-share", "max_run": "--max-run"}
_PYTHON_NAME = re.compile(r"(?<![\w.-])(" + "|".join(re.escape(n) for n in sorted(
    _OPTION_NAMES, key=len, reverse=True)) + r")(?= must| takes| has|\[|=)")


def _in_option_terms(message: str) -> str:
    return _PYTHON_NAME.sub(lambda m: _OPTION_NAMES[m.group(1)], message)


def main(argv=None) -> int:
    try:
        return _main(list(sys.argv[1:] if argv is None else argv))
    except KeyboardInterrupt:
        return 130  # as a shell reports a program ended by Ctrl-C


def _main(argv: List[str]) -> int:
    letters, rest = _split_letters(argv)
    try:
        args = _parser().parse_args(rest)
    except SystemExit as done:  # bad arguments end with 1, as in every kelm program
        return 1 if done.code == 2 else int(done.code or 0)
    interrupted = False
    try:
        rules = Rules.from_letters(letters, min_share=args.min_share, max_run=args.max_run,
                                   no_cross_ply_jump=args.no_cross_ply_jump,
                                   outer_45=args.outer_45)
        modes = [m for m in args.modes.split(",") if m]
        deadline = None if args.time_limit is None or not args.time_limit > 0 else \
            time.monotonic() + args.time_limit
        with tempfile.TemporaryDirectory(prefix="kelm_loop_") as workdir:
            analyse = CommandAnalysis(args.analyse, workdir, deadline)

            def progress(info):
                print(f"round {info.round}: {info.analyses} analyses, best {info.best:.6g}",
                      file=sys.stderr, flush=True)

            try:
                result = design_loop.optimize_model(
                    analyse, args.skin, args.stiffener, modes=modes,
                    require=_requirements(args.require), rules=rules, budget=args.budget,
                    batch=args.batch, plan=args.plan, seed=args.seed, history=args.history,
                    progress=progress, time_limit=args.time_limit, search_time=args.search_time,
                    search_steps=args.search_steps)
            except SearchInterrupted as stop:
                result, interrupted = stop.result, True
    except (TypeError, ValueError, OSError) as error:
        print(f"error: {_in_option_terms(str(error))}", file=sys.stderr)
        return 1
    _report(result, sys.stdout)
    if args.svg:
        with open(args.svg, "w") as out:
            out.write(result.convergence_svg(title=f"kelm_loop {args.skin}/{args.stiffener}"))
    if args.json:
        with open(args.json, "w") as out:
            json.dump(_json(result), out, indent=2)
            out.write("\n")
    if interrupted:
        return 130
    return 0 if result.best is not None else 1


if __name__ == "__main__":
    sys.exit(main())
