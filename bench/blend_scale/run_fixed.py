#!/usr/bin/env python3
"""Runs kelm_blend and the reference (reference_fixed.py) on fixed-count structures and tables
the outcome per kind and size.

Usage: run_fixed.py KELM_BLEND DIR results.csv [--time-limit=30] [--reference-limit=60]
       run_fixed.py --recheck DIR results.csv [--reference-limit=60]   the reference again where stopped
       run_fixed.py --rerun-kelm KELM_BLEND DIR results.csv [--time-limit=30]  kelm again, reference kept
       run_fixed.py --table results.csv
Appends one CSV row per structure (file, kelm outcome, kelm seconds (its JSON document's search
time), reference outcome, reference seconds); structures already in the CSV are skipped. A kelm
outcome of "infeasible" where the reference found a design is an error (printed); "stopped"
where the reference found one counts as undecided-but-holds.
"""

import csv
import glob
import json
import os
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import reference_fixed  # noqa: E402


def option(name, default):
    for arg in sys.argv:
        if arg.startswith("--" + name + "="):
            return arg.split("=", 1)[1]
    return default


def kelm(binary, path, limit):
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "out.json")
        subprocess.run(["nice", binary, path, "--json=" + out, "--time-limit=%g" % limit],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(out) as f:
            doc = json.load(f)
    status = {"optimal": "found", "infeasible": "infeasible"}.get(doc["status"], "stopped")
    if doc["status"] == "stopped" and doc["weight"] is not None:
        status = "found"
    return status, doc["seconds"]


def size_then_name(path):
    name = os.path.basename(path)
    return int(name.rsplit("_", 2)[1].split("x")[0]), name


def run(binary, folder, csv_path):
    limit = float(option("time-limit", "30"))
    reference_limit = float(option("reference-limit", "60"))
    done = set()
    if os.path.exists(csv_path):
        with open(csv_path) as f:
            done = {row["file"] for row in csv.DictReader(f)}
    new = not os.path.exists(csv_path)
    with open(csv_path, "a", newline="") as f:
        writer = csv.writer(f)
        if new:
            writer.writerow(["file", "kelm", "kelm_seconds", "reference", "reference_seconds"])
        for path in sorted(glob.glob(os.path.join(folder, "*.json")), key=size_then_name):
            name = os.path.basename(path)
            if name in done:
                continue
            status, seconds = kelm(binary, path, limit)
            with open(path) as g:
                document = json.load(g)
            import time
            began = time.monotonic()
            reference = reference_fixed.decide(document, reference_limit)
            reference_seconds = time.monotonic() - began
            if reference == "found" and status == "infeasible":
                print("ERROR: kelm says infeasible, the reference found a design:", name)
            writer.writerow([name, status, "%.3f" % seconds, reference, "%.3f" % reference_seconds])
            f.flush()


def recheck(folder, csv_path):
    """Runs the reference again where it was stopped (a stronger reference, a longer limit)."""
    limit = float(option("reference-limit", "60"))
    with open(csv_path) as f:
        rows = list(csv.DictReader(f))
    for row in rows:
        if row["reference"] != "stopped":
            continue
        with open(os.path.join(folder, row["file"])) as g:
            document = json.load(g)
        import time
        began = time.monotonic()
        row["reference"] = reference_fixed.decide(document, limit)
        row["reference_seconds"] = "%.3f" % (time.monotonic() - began)
        if row["reference"] == "found" and row["kelm"] == "infeasible":
            print("ERROR: kelm says infeasible, the reference found a design:", row["file"])
    with open(csv_path, "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=list(rows[0].keys()))
        writer.writeheader()
        writer.writerows(rows)


def rerun_kelm(binary, folder, csv_path):
    """kelm_blend again on every structure of the CSV (a new build), the reference kept."""
    limit = float(option("time-limit", "30"))
    with open(csv_path) as f:
        rows = list(csv.DictReader(f))
    for row in rows:
        status, seconds = kelm(binary, os.path.join(folder, row["file"]), limit)
        row["kelm"], row["kelm_seconds"] = status, "%.3f" % seconds
        if row["reference"] == "found" and status == "infeasible":
            print("ERROR: kelm says infeasible, the reference found a design:", row["file"])
    with open(csv_path, "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=list(rows[0].keys()))
        writer.writeheader()
        writer.writerows(rows)


def table(csv_path):
    rows = list(csv.DictReader(open(csv_path)))
    groups = {}
    for row in rows:
        kind, size = row["file"].rsplit("_", 2)[0], row["file"].rsplit("_", 2)[1]
        groups.setdefault((kind, int(size.split("x")[0])), []).append(row)
    print("| kind | size | n | kelm decided | median s | worst s | undecided (reference found) | reference decided | disagree |")
    print("|---|---|---|---|---|---|---|---|---|")
    for (kind, size), group in sorted(groups.items()):
        decided = [float(r["kelm_seconds"]) for r in group if r["kelm"] != "stopped"]
        open_found = sum(1 for r in group if r["kelm"] == "stopped" and r["reference"] == "found")
        undecided = sum(1 for r in group if r["kelm"] == "stopped")
        disagree = sum(1 for r in group if "stopped" not in (r["kelm"], r["reference"]) and r["kelm"] != r["reference"])
        print("| %s | %dx%d | %d | %d | %s | %s | %d (%d) | %d | %d |" % (
            kind, size, size, len(group), len(decided),
            "%.2f" % statistics.median(decided) if decided else "-", "%.2f" % max(decided) if decided else "-",
            undecided, open_found, sum(1 for r in group if r["reference"] != "stopped"), disagree))
    decided = [float(r["kelm_seconds"]) for r in rows if r["kelm"] != "stopped"]
    small = [float(r["kelm_seconds"]) for r in rows if int(r["file"].rsplit("_", 2)[1].split("x")[0]) <= 6]
    print("\nall %d: %d decided, median %.2f s, worst %.2f s; up to 6x6 worst %.2f s" % (
        len(rows), len(decided), statistics.median(decided), max(decided), max(small) if small else 0.0))


if __name__ == "__main__":
    if sys.argv[1] == "--table":
        table(sys.argv[2])
    elif sys.argv[1] == "--rerun-kelm":
        rerun_kelm(sys.argv[2], sys.argv[3], sys.argv[4])
    elif sys.argv[1] == "--recheck":
        sys.setrecursionlimit(10000)
        recheck(sys.argv[2], sys.argv[3])
    else:
        sys.setrecursionlimit(10000)
        run(sys.argv[1], sys.argv[2], sys.argv[3])
