"""Each model's true optimum by decomposed enumeration, and the cache of them (optima.json).

With both laminates' ply counts fixed (one in-plane group of each, see laminates.py), the
in-plane parameters x1..x4 are fixed, and each mode reads the bending parameters of one
laminate at most. The smallest mode is then
    min(min of the skin's modes, min of the stiffener's modes, min of the in-plane modes),
whose three parts depend on the skin's arrangement, the stiffener's, and neither. So its best
value over arrangements is the smallest of the three parts' separate maxima: every distinct
skin arrangement is evaluated against every stiffener in-plane group, every distinct stiffener
arrangement against every skin in-plane group, and the best pair of groups wins.

    /usr/bin/python3 bench/design_loop/optima.py [--models=a,b] [--sizes=12/16,..] [--rules=-b,-bf]

recomputes what is missing or stale in optima.json (a model's fingerprint changed).
"""

import argparse
import json
import pathlib
import sys
import time

import numpy as np

import laminates as lam
import models

HERE = pathlib.Path(__file__).resolve().parent
CACHE = HERE / "optima.json"
SIZES = ((12, 16), (16, 24), (24, 32))
RULES = ("-b", "-bf")
CHUNK = 400_000
METHOD = ("decomposed enumeration: per pair of in-plane groups (ply counts) of skin and "
          "stiffener, every allowed arrangement of each laminate deduplicated by its exact "
          "integer bending parameters, each evaluated against every in-plane group of the other "
          "laminate; objective = min over the model's modes")


def _rows_for(options, rows, other_inplane, bending_index, own_index):
    """x1..x8 rows of the given laminate's options, the other laminate's in-plane parameters
    given per row; the other's bending parameters are set to its in-plane ones (any feasible
    value: no mode of this laminate reads them)."""
    x = np.empty((len(rows), 8))
    own_inplane = np.repeat(options.inplane_parameters(), np.diff(options.start), axis=0)[rows]
    x[:, own_index] = own_inplane
    x[:, bending_index] = options.bending_parameters(rows)
    other = [2, 3] if own_index == [0, 1] else [0, 1]
    x[:, other] = other_inplane
    x[:, [6, 7] if bending_index == [4, 5] else [4, 5]] = other_inplane
    return x


def _keep_group_best(start, rows, value, best, where):
    """Raise best[g] (and where[g], its row) to the largest value of group g among `rows`
    (consecutive, groups contiguous)."""
    groups = np.searchsorted(start, rows, side="right") - 1
    cuts = np.flatnonzero(np.r_[True, groups[1:] != groups[:-1]])
    top = np.maximum.reduceat(value, cuts)
    first = np.minimum.reduceat(np.where(value == np.repeat(top, np.diff(np.r_[cuts, len(rows)])),
                                         np.arange(len(rows)), len(rows)), cuts)
    g = groups[cuts]
    better = top > best[g]
    best[g[better]] = top[better]
    where[g[better]] = rows[first[better]]


def _laminate_part(model, options, other, own_is_skin, modes_of_own):
    """For every (own group, other group): the best over own arrangements of the smallest of
    the own laminate's modes, and the row reaching it. Returns (G_own x G_other values,
    G_own x G_other rows)."""
    groups_own, groups_other = len(options.start) - 1, len(other.start) - 1
    best = np.full((groups_own, groups_other), -np.inf)
    where = np.zeros((groups_own, groups_other), dtype=np.int64)
    if not modes_of_own:
        return np.full((groups_own, groups_other), np.inf), where
    other_inplane = other.inplane_parameters()
    own_index, bending_index = ([0, 1], [4, 5]) if own_is_skin else ([2, 3], [6, 7])
    for go in range(groups_other):
        for lo in range(0, len(options), CHUNK):
            rows = np.arange(lo, min(lo + CHUNK, len(options)))
            x = _rows_for(options, rows, other_inplane[go], bending_index, own_index)
            plies = (options.plies, other.plies) if own_is_skin else (other.plies, options.plies)
            found = model.analyse(x, *plies)
            value = np.min([found[m] for m in modes_of_own], axis=0)
            _keep_group_best(options.start, rows, value, best[:, go], where[:, go])
    return best, where


def _inplane_part(model, skin, stiffener, modes):
    """Smallest of the modes that read no bending parameters, per pair of groups."""
    gs, gt = len(skin.start) - 1, len(stiffener.start) - 1
    if not modes:
        return np.full((gs, gt), np.inf)
    s_in, t_in = skin.inplane_parameters(), stiffener.inplane_parameters()
    x = np.empty((gs * gt, 8))
    x[:, 0:2] = np.repeat(s_in, gt, axis=0)
    x[:, 2:4] = np.tile(t_in, (gs, 1))
    x[:, 4:6], x[:, 6:8] = x[:, 0:2], x[:, 2:4]
    found = model.analyse(x, skin.plies, stiffener.plies)
    return np.min([found[m] for m in modes], axis=0).reshape(gs, gt)


def true_optimum(model, skin_plies, stiffener_plies, rules):
    """The best design of the model under the rules: a dict with value, the halves' codes
    (outer surface inward), the modes there and the count of distinct arrangements."""
    rules = lam.LaminateRules.from_letters(rules) if isinstance(rules, str) else rules
    skin = lam.enumerate_allowed(skin_plies, rules)
    stiffener = lam.enumerate_allowed(stiffener_plies, rules)
    reads = model.READS_BENDING
    skin_value, skin_row = _laminate_part(
        model, skin, stiffener, True, [m for m in model.MODES if reads[m] == "skin"])
    stiff_value, stiff_row = _laminate_part(
        model, stiffener, skin, False, [m for m in model.MODES if reads[m] == "stiffener"])
    other = _inplane_part(model, skin, stiffener, [m for m in model.MODES if reads[m] is None])
    total = np.minimum(np.minimum(skin_value, stiff_value.T), other)
    gs, gt = np.unravel_index(int(np.argmax(total)), total.shape)
    skin_codes = skin.code_rows([skin_row[gs, gt] if np.isfinite(skin_value[gs, gt])
                                 else skin.start[gs]])[0]
    stiff_codes = stiffener.code_rows([stiff_row[gt, gs] if np.isfinite(stiff_value[gt, gs])
                                       else stiffener.start[gt]])[0]
    x = np.concatenate([lam.parameters(skin_codes, skin_plies)[0, :2],
                        lam.parameters(stiff_codes, stiffener_plies)[0, :2],
                        lam.parameters(skin_codes, skin_plies)[0, 2:],
                        lam.parameters(stiff_codes, stiffener_plies)[0, 2:]])
    found = model.analyse(x[None, :], skin_plies, stiffener_plies)
    modes = {m: float(found[m][0]) for m in model.MODES}
    return {"value": float(total[gs, gt]), "skin": [int(c) for c in skin_codes],
            "stiffener": [int(c) for c in stiff_codes], "modes": modes,
            "governs": min(modes, key=modes.get),
            "skin_arrangements": len(skin), "stiffener_arrangements": len(stiffener),
            "count_pairs": int(total.size)}


def key(skin_plies, stiffener_plies, rules):
    return f"{skin_plies}/{stiffener_plies} {rules}"


def load_cache():
    if CACHE.exists():
        return json.loads(CACHE.read_text())
    return {"method": METHOD, "models": {}}


def cached_optimum(name, skin_plies, stiffener_plies, rules):
    """The cached optimum, refused when missing or computed from another version of the model."""
    entry = load_cache()["models"].get(name, {})
    if entry.get("fingerprint") != models.fingerprint(models.load(name)):
        raise LookupError(f"no optimum of {name} for its current source: run optima.py")
    found = entry.get("optima", {}).get(key(skin_plies, stiffener_plies, rules))
    if found is None:
        raise LookupError(f"no optimum of {name} at {key(skin_plies, stiffener_plies, rules)}: "
                          "run optima.py")
    return found


def _printed(codes):
    return "[" + "/".join(("0", "45", "90")[c] for c in codes) + "]s"


def table():
    """The cached optima as a markdown table: value, the modes within 2 % of it, designs."""
    lines = ["| model | case | optimum | modes within 2 % | skin | stiffener |",
             "|---|---|---|---|---|---|"]
    for name, entry in load_cache()["models"].items():
        for k, o in entry.get("optima", {}).items():
            near = ", ".join(f"{m} {v:.4f}" for m, v in sorted(o["modes"].items(), key=lambda i: i[1])
                             if v <= 1.02 * o["value"])
            lines.append(f"| {name} | {k} | {o['value']:.4f} | {near} | {_printed(o['skin'])} | "
                         f"{_printed(o['stiffener'])} |")
    return "\n".join(lines) + "\n"


def main(argv=None):
    parser = argparse.ArgumentParser(description="compute the models' true optima")
    parser.add_argument("--models", default=",".join(models.NAMES))
    parser.add_argument("--sizes", default=",".join(f"{s}/{t}" for s, t in SIZES))
    parser.add_argument("--rules", default=",".join(RULES))
    parser.add_argument("--force", action="store_true", help="recompute what is cached")
    parser.add_argument("--table", action="store_true", help="print the cached optima as markdown")
    args = parser.parse_args(argv)
    if args.table:
        sys.stdout.write(table())
        return 0
    cache = load_cache()
    cache["method"] = METHOD
    for name in args.models.split(","):
        model = models.load(name)
        entry = cache["models"].setdefault(name, {})
        if entry.get("fingerprint") != models.fingerprint(model):
            entry.clear()
            entry["fingerprint"] = models.fingerprint(model)
        optima = entry.setdefault("optima", {})
        for size in args.sizes.split(","):
            s, t = (int(p) for p in size.split("/"))
            for rules in args.rules.split(","):
                k = key(s, t, rules)
                if k in optima and not args.force:
                    continue
                start = time.perf_counter()
                optima[k] = true_optimum(model, s, t, rules)
                optima[k]["seconds"] = round(time.perf_counter() - start, 1)
                print(f"{name} {k}: {optima[k]['value']:.6f} ({optima[k]['governs']}) "
                      f"in {optima[k]['seconds']} s", flush=True)
                CACHE.write_text(json.dumps(cache, indent=1, sort_keys=True) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
