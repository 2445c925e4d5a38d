#!/bin/sh
# The finite-element benchmark's runs, one after the other (each analyses two designs at once):
# the loop with 50 analyses (its first 46 are its D-optimal plan, the plan baseline), a genetic
# algorithm with as many, and a long loop on the coarse mesh as the reference. About an hour and a
# half on two free cores; results in bench/fe_panel/results/. `baselines.py --method=plan` runs a
# separate plan of 50 where one is wanted.
cd "$(dirname "$0")/../.."
out=bench/fe_panel/results
mkdir -p $out
analyse='/usr/bin/python3 examples/fe_panel/analyse.py {in} --out={out} --jobs=2 --timing'
loop() {  # NAME BUDGET SEED MESH
  start=$(date +%s)
  build/kelm_loop 16 24 -bf --budget=$2 --batch=2 --seed=$3 --history=$out/$1.csv \
    --svg=$out/$1.svg --json=$out/$1.json --analyse="$analyse --mesh=$4" \
    --modes=skin_buckling,blade_buckling,strain > $out/$1.txt 2> $out/$1.err
  echo "wall seconds: $(( $(date +%s) - start ))" >> $out/$1.txt
}
baseline() {  # METHOD
  PYTHONPATH=build/python /usr/bin/python3 bench/fe_panel/baselines.py --method=$1 --budget=50 \
    --seed=1 > $out/$1.txt 2> $out/$1.err
}
loop loop50 50 1 medium
baseline ga
loop reference_coarse 200 2 coarse
