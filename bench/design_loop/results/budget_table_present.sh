# The gap table by budget of the present loop (the code of a809e37, unchanged since), the GA
# beside it: every file of a run of that code, each after its budget.
cd "$(dirname "$0")"
L=""
add() { [ -e "$2" ] && L="$L,$1:$2"; }
for f in loop_a809e37_hard_12-16_b50.csv loop_a809e37_hard_16-24_b50.csv loop_a809e37_hard_24-32_b_b50_seed1.csv loop_a809e37_hard_24-32_bf_b50_seed1.csv loop_2b91b7d_hard_24-32_b_b50_seed2.csv loop_2b91b7d_hard_24-32_bf_b50_seed2.csv; do add 50 $f; done
for f in loop_a809e37_hard_12-16_b_b100.csv loop_a809e37_hard_16-24_b_b100.csv loop_2b91b7d_hard_bf_b100.csv; do add 100 $f; done
/usr/bin/python3 ../budget_table.py --loop=${L#,} --ga=ga_hard_all.csv,ga_hard_24-32.csv,ga_hard_24-32_b.csv
