#!/bin/sh
# Times kelm_alt --tight on each case of make_kink_surfaces.py's cases.txt:
#   bench/kink_surfaces/time_cases.sh PROGRAM CASES [SECONDS] [extra options…]
# prints per case: totals, optimal value, steps (completed designs), seconds of processor time,
# or "timeout" after SECONDS (default 120) of wall time.
program=$1 cases=$2 limit=${3:-120}
shift 3 2>/dev/null || shift $#
while read -r skin stiffener first second third; do
  name=$(basename "$first" | sed 's/_[a-z_]*\.rs$//')
  # A search stopped by the time limit still reports its best design so far: not a result.
  if ! out=$(timeout "$limit" "$program" --tight --seed=1 "$@" -bf "$skin" "$stiffener" \
             "$first" "--min-of=$second" "--min-of=$third" 2>/dev/null); then
    echo "$name timeout"
    continue
  fi
  value=$(echo "$out" | sed -n 's/^optimal value = //p' | head -1)
  steps=$(echo "$out" | sed -n 's/^total step \(.*\) done\./\1/p')
  seconds=$(echo "$out" | sed -n 's/^caluclation time = \([^ ]*\).*/\1/p')
  echo "$name value $value steps $steps time $seconds"
done < "$cases"
