# The gap table by budget of the loop whose whole-space fits take each mode's own parameters
# (816b82c), the GA beside it: the J panels at 50 (12/16, 16/24, 5 seeds) and 200 (seeds 1-3).
cd "$(dirname "$0")"
L="50:loop_816b82c_12-16_b50.csv,50:loop_816b82c_16-24_b50.csv,200:loop_816b82c_hard_12-16_b200_s1-3.csv"
[ -e loop_816b82c_hard_16-24_b200_s1-3.csv ] && L="$L,200:loop_816b82c_hard_16-24_b200_s1-3.csv"
/usr/bin/python3 ../budget_table.py --loop=$L --ga=ga_hard_all.csv | grep -E '^\| (model|---|j_)'
