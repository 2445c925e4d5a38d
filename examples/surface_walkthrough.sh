#!/bin/sh
# From a structural model to a laid-up optimum: plan, analyses, fit, search, check.
#   examples/surface_walkthrough.sh BUILD_DIR [SKIN_TOTAL STIFFENER_TOTAL SAMPLES [LETTERS]]
# runs in the current directory (it writes plan.csv, analysed.csv, panel.rs, optimum.json).
set -eu
build=$1
skin=${2:-24}
stiffener=${3:-32}
samples=${4:-120}
letters=${5:--bf}
examples=$(cd "$(dirname "$0")" && pwd)
python=$(command -v /usr/bin/python3 || command -v python3)

"$build/kelm_sample" "$skin" "$stiffener" "$samples" "$letters" --seed=1 --out=plan.csv
"$python" "$examples/blade_panel.py" plan.csv --out=analysed.csv
"$build/kelm_fit" analysed.csv --response=ks --cap=3 --out=panel.rs
"$build/kelm_alt" --tight --seed=1 --json=optimum.json "$letters" "$skin" "$stiffener" panel.rs 2>/dev/null
"$python" "$examples/compare_optimum.py" optimum.json analysed.csv ks
