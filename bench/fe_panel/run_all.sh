#!/bin/sh
# The finite-element benchmark's runs, one after the other (each analyses two designs at once):
# the loop with 50 analyses, a plan and a genetic algorithm with as many, and a long loop as the
# reference. About an hour on two free cores; results in bench/fe_panel/results/.
cd "$(dirname "$0")/../.."
out=bench/fe_panel/results
mkdir -p $out
analyse='/usr/bin/python3 examples/fe_panel/analyse.py {in} --out={out} --jobs=2 --timing'
loop() {  # NAME BUDGET SEED
  start=$(date +%s)
  build/kelm_loop 16 24 -bf --budget=$2 --batch=2 --seed=$3 --history=$out/$1.csv \
    --svg=$out/$1.svg --json=$out/$1.json --analyse="$analyse" \
    --modes=skin_buckling,blade_buckling,strain > $out/$1.txt 2> $out/$1.err
  echo "wall seconds: $(( $(date +%s) - start ))" >> $out/$1.txt
}
baseline() {  # METHOD
  PYTHONPATH=build/python /usr/bin/python3 bench/fe_panel/baselines.py --method=$1 --budget=50 \
    --seed=1 > $out/$1.txt 2> $out/$1.err
}
loop loop50 50 1
baseline plan
baseline ga
loop reference 200 2
