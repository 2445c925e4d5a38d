cd "$(dirname "$0")"
L=""
add() { [ -e "$2" ] && L="$L,$1:$2"; }
add 30 loop_5873f6e_30.csv; add 30 loop_5873f6e_30_24-32.csv
for f in loop_d06ca46_bf_12-16_b50.csv loop_d06ca46_b_12-16_b50.csv loop_5873f6e_12-16_b50_s45.csv loop_d06ca46_bf_16-24_b50_a.csv loop_d06ca46_bf_16-24_b50_b.csv loop_5873f6e_bf_16-24_b50_s45.csv loop_5873f6e_b_16-24_b50.csv loop_5873f6e_bf_24-32_b50_a.csv loop_5873f6e_bf_24-32_b50_a2.csv loop_5873f6e_bf_24-32_b50_b.csv loop_5873f6e_bf_24-32_b50_c.csv; do add 50 $f; done
for f in loop_35e03da_*_b50*.csv; do add 50 $f; done
for f in loop_35e03da_*_b100*.csv; do add 100 $f; done
add 100 loop_5873f6e_bf_16-24_b100.csv; add 100 loop_5873f6e_bf_16-24_b100_s45.csv
add 200 loop_d06ca46_bf_16-24_b200.csv; add 200 loop_5873f6e_bf_16-24_b200_a.csv; add 200 loop_5873f6e_bf_16-24_b200_b.csv
/usr/bin/python3 ../budget_table.py --loop=${L#,} --ga=ga_hard_all.csv,ga_hard_24-32.csv,ga_hard_24-32_b.csv,30:ga_hard_b30.csv,30:ga_hard_b30_24-32.csv
