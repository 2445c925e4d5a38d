#!/bin/sh
# From a structural model to a laid-up optimum. First the adaptive loop (kelm_loop), which
# finds the design best on the model itself; then its steps by hand: plan, analyses, fit,
# search, check, in both formulations of a panel's several failure modes: one surface of the
# smallest load factor (smoothed), and one surface per mode with the search taking the
# smallest (--min-of=).
#   examples/surface_walkthrough.sh BUILD_DIR [SKIN_TOTAL STIFFENER_TOTAL SAMPLES [LETTERS [LOOP_BUDGET]]]
# runs in the current directory (it writes plan.csv, analysed.csv, *.rs and *.json there).
set -eu
build=$1
skin=${2:-24}
stiffener=${3:-32}
samples=${4:-120}
letters=${5:--bf}
examples=$(cd "$(dirname "$0")" && pwd)
python=$(command -v /usr/bin/python3 || command -v python3)
budget=${6:-200}

if [ -x "$build/kelm_loop" ]; then
  echo "== the adaptive loop: the design best on the model, within $budget analyses"
  rm -f loop.csv
  "$build/kelm_loop" "$skin" "$stiffener" "$letters" --seed=1 --budget="$budget" \
    --history=loop.csv --svg=loop.svg --json=loop.json \
    --analyse="$python $examples/blade_panel.py {in} --out={out}" \
    --modes=skin_buckling,blade_buckling,strain 2>/dev/null
else
  echo "== the adaptive loop skipped: $build/kelm_loop was not built (make python)"
fi

"$build/kelm_sample" "$skin" "$stiffener" "$samples" "$letters" --seed=1 --out=plan.csv
"$python" "$examples/blade_panel.py" plan.csv --out=analysed.csv

echo "== one surface: the KS smooth minimum of the load factors"
"$build/kelm_fit" analysed.csv --response=ks --out=panel.rs
"$build/kelm_alt" --tight --seed=1 --json=optimum.json "$letters" "$skin" "$stiffener" panel.rs 2>/dev/null
"$python" "$examples/compare_optimum.py" optimum.json analysed.csv ks

echo "== one surface per mode, each capped at 1.5 times the best sampled minimum"
cap=$("$python" -c "import csv, sys; print(1.5 * max(float(r['minimum']) for r in csv.DictReader(open(sys.argv[1]))))" analysed.csv)
"$build/kelm_fit" analysed.csv --response=skin_buckling --response=blade_buckling --response=strain \
  --cap="$cap" --out=mode_{}.rs
"$build/kelm_alt" --tight --seed=1 --json=modes.json --min-of=mode_blade_buckling.rs \
  --min-of=mode_strain.rs "$letters" "$skin" "$stiffener" mode_skin_buckling.rs 2>/dev/null
"$python" "$examples/compare_optimum.py" modes.json analysed.csv minimum
