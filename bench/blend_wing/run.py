#!/usr/bin/env python3
"""A blended structure searched with its count vectors decided here or by local worker
processes (kelm.blend(..., client=ProcessPoolExecutor(N))), one line of CSV per run: the design's
weight, the certified lower bound and the gap (% of the bound), the status, the vectors decided,
wall-clock seconds and the processor seconds of this process and its workers together (the
machine is shared, so processor time says more than wall-clock time).

Usage: run.py STRUCTURE.json OUT.csv [--workers=0] [--time-limit=600] [--weight-only]
(--workers=0: the one-process search, no client.) Run it with the build's python directory on
PYTHONPATH.
"""

import csv
import os
import resource
import sys
import time
from concurrent.futures import ProcessPoolExecutor

import kelm


def processor_seconds():
    own, children = resource.getrusage(resource.RUSAGE_SELF), resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def main(argv):
    args = [a for a in argv if not a.startswith("--")]
    options = dict((a[2:].split("=", 1) + [""])[:2] for a in argv if a.startswith("--"))
    if len(args) != 2 or set(options) - {"workers", "time-limit", "weight-only"}:
        sys.exit("usage: " + __doc__.split("Usage: ")[1].split("\n(")[0])
    workers, limit = int(options.get("workers", "0")), float(options.get("time-limit", "600"))
    weight_only = "weight-only" in options
    started, cpu = time.monotonic(), processor_seconds()
    if workers == 0:
        result = kelm.blend(args[0], time_limit=limit, weight_only=weight_only)
    else:
        with ProcessPoolExecutor(workers) as pool:
            result = kelm.blend(args[0], time_limit=limit, weight_only=weight_only, client=pool)
    row = {"structure": args[0], "panels": len(result.panels) or "", "workers": workers, "status": result.status,
           "weight": result.weight, "lower_bound": result.lower_bound,
           "gap_percent": "" if result.weight is None or not result.lower_bound
           else round(100 * (result.weight - result.lower_bound) / result.lower_bound, 3),
           "vectors_tried": result.vectors_tried, "ruled_out_vectors": len(result.ruled_out_vectors),
           "ruled_out_pairs": len(result.ruled_out_pairs), "ruled_out_groups": len(result.ruled_out_groups),
           "guides_annealed": result.guides_annealed, "positions": result.guide_positions_searched,
           "seconds": round(time.monotonic() - started, 1), "processor_seconds": round(processor_seconds() - cpu, 1)}
    new = not os.path.exists(args[1])
    with open(args[1], "a", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=list(row))
        if new:
            writer.writeheader()
        writer.writerow(row)
    print(", ".join(f"{k} {v}" for k, v in row.items()))


if __name__ == "__main__":
    main(sys.argv[1:])
