#!/usr/bin/env python3
"""Run kelm_blend on every generated structure, one at a time, and tabulate what it decided.

Each structure (OUT_DIR/grid<R>x<R>/s<NN>/structure.json, from generate.py) runs under `nice`
with --time-limit. A row per run goes to the CSV as soon as the run ends, so an interrupted
sweep resumes where it stopped: structures already in the CSV with the same limit are skipped.

The outcome of a run:
  optimal     a blended design found and its smallest margin proved the largest;
  found       a blended design found, stopped while raising its smallest margin: the counts can
              be blended, so the structure is decided, but not the time it took to decide it
              (at most the limit);
  infeasible  proved that the counts cannot be blended (or a plate alone cannot hold);
  stopped     neither within the limit.

Usage: run.py KELM_BLEND OUT_DIR CSV [--time-limit=SECONDS] [--sizes=3,4,5,6] [--count=N] [--retry]
       run.py --table CSV
runs the first N structures of each size (all by default), then prints the table: per size and
limit, how many were decided, the median and largest time of those decided with a proof. With
--retry only the structures that every run in the CSV left stopped run again, with the new limit.
"""

import csv
import glob
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile

FIELDS = ["size", "structure", "panels", "time_limit", "outcome", "status", "seconds", "cpu_seconds",
          "guide_positions", "vectors_tried", "ruled_out_totals", "ruled_out_pairs", "ruled_out_groups", "exit"]


def outcome_of(doc):
    if doc["status"] == "stopped" and doc["weight"] is not None:
        return "found"
    return doc["status"]


def run_one(kelm_blend, structure, limit):
    with tempfile.TemporaryDirectory() as work:
        report = os.path.join(work, "out.json")
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        run = subprocess.run(["nice", kelm_blend, structure, f"--json={report}", f"--time-limit={limit}"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if run.returncode not in (0, 2, 124) or not os.path.exists(report):
            sys.exit(f"run.py: {kelm_blend} {structure}: exit {run.returncode}: {run.stderr.strip()}")
        with open(report) as f:
            doc = json.load(f)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return {"outcome": outcome_of(doc), "status": doc["status"], "seconds": f"{doc['seconds']:.3f}",
            "cpu_seconds": f"{cpu:.3f}", "guide_positions": doc["guide_positions_searched"],
            "vectors_tried": doc["vectors_tried"], "ruled_out_totals": len(doc["ruled_out_totals"]),
            "ruled_out_pairs": len(doc["ruled_out_pairs"]),
            # groups of neighbours searched alone: not in the documents of older builds
            "ruled_out_groups": len(doc.get("ruled_out_groups", [])), "exit": run.returncode}


def structures(out, sizes, count):
    for size in sizes:
        found = sorted(glob.glob(os.path.join(out, f"grid{size}x{size}", "s*", "structure.json")))
        yield from ((size, path) for path in found[:count])


def done_runs(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return list(csv.DictReader(f))


def sweep(kelm_blend, out, path, limit, sizes, count, retry):
    runs = done_runs(path)
    done = {(row["size"], row["structure"], row["time_limit"]) for row in runs}
    decided = {(row["size"], row["structure"]) for row in runs if row["outcome"] != "stopped"}
    tried = {(row["size"], row["structure"]) for row in runs}
    new_file = not os.path.exists(path)
    # A CSV begun by an older runner keeps its own columns.
    fields = FIELDS if new_file else list(csv.DictReader(open(path)).fieldnames)
    with open(path, "a", newline="") as f:
        writer = csv.DictWriter(f, fields, extrasaction="ignore")
        if new_file:
            writer.writeheader()
        for size, structure in structures(out, sizes, count):
            name = os.path.basename(os.path.dirname(structure))
            if (str(size), name, str(limit)) in done:
                continue
            if retry and ((str(size), name) in decided or (str(size), name) not in tried):
                continue
            with open(structure) as s:
                panels = len(json.load(s)["panels"])
            row = dict(run_one(kelm_blend, structure, limit), size=size, structure=name, panels=panels,
                       time_limit=limit)
            writer.writerow(row)
            f.flush()
            print(f"{size}x{size} {name}: {row['outcome']} in {row['seconds']} s, "
                  f"{row['guide_positions']} guide positions", flush=True)


def table(path):
    rows = done_runs(path)
    lines = ["| panels | limit (s) | run | decided | optimal | found (margin open) | infeasible | stopped "
             "| median s (proved) | max s (proved) |",
             "|---|---|---|---|---|---|---|---|---|---|"]
    for key in sorted({(int(r["panels"]), r["time_limit"]) for r in rows}, key=lambda k: (k[0], float(k[1]))):
        group = [r for r in rows if (int(r["panels"]), r["time_limit"]) == key]
        count = {o: sum(r["outcome"] == o for r in group) for o in ("optimal", "found", "infeasible", "stopped")}
        proved = sorted(float(r["seconds"]) for r in group if r["outcome"] in ("optimal", "infeasible"))
        median = f"{statistics.median(proved):.2f}" if proved else "-"
        largest = f"{proved[-1]:.2f}" if proved else "-"
        lines.append(f"| {key[0]} | {key[1]} | {len(group)} | {len(group) - count['stopped']} | {count['optimal']} "
                     f"| {count['found']} | {count['infeasible']} | {count['stopped']} | {median} | {largest} |")
    return "\n".join(lines)


def main(argv):
    args = [a for a in argv if not a.startswith("--")]
    options = dict(a[2:].split("=", 1) if "=" in a else (a[2:], "") for a in argv if a.startswith("--"))
    usage = "usage: " + __doc__.split("Usage: ")[1].split("\nruns")[0]
    if "table" in options:
        if len(args) != 1 or len(options) != 1:
            sys.exit(usage)
        print(table(args[0]))
        return
    if len(args) != 3 or set(options) - {"time-limit", "sizes", "count", "retry"}:
        sys.exit(usage)
    kelm_blend, out, path = args
    sizes = [int(v) for v in options.get("sizes", "3,4,5,6").split(",")]
    count = int(options["count"]) if "count" in options else None
    sweep(kelm_blend, out, path, options.get("time-limit", "60"), sizes, count, "retry" in options)
    print(table(path))


if __name__ == "__main__":
    main(sys.argv[1:])
