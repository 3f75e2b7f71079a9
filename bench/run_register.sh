#!/bin/sh
# The monthly run of a large company before and after the run register, in one run:
# calc_bench of this build and of a build without the register (BEFORE), alternated
# ROUNDS times on the same sizes; the best processor time of each is kept (other
# programs on the machine do not change it) and the ratio after/before is printed.
#
#   bench/run_register.sh CALC_BENCH_AFTER CALC_BENCH_BEFORE [EMPLOYEES] [ROUNDS]
set -eu
after=$(readlink -f "$1")
before=$(readlink -f "$2")
n=${3:-100000}
rounds=${4:-3}
best() { sort -n | head -1; }
cpu() { "$1" "$n" | sed -n 's/.*(cpu \([0-9.]*\) s).*/\1/p' | head -1; }
a=""; b=""
i=0
while [ "$i" -lt "$rounds" ]; do
  b="$b $(cpu "$before")"
  a="$a $(cpu "$after")"
  i=$((i + 1))
done
ba=$(printf '%s\n' $a | best)
bb=$(printf '%s\n' $b | best)
echo "PROCE01 $n empleados, cpu (mejor de $rounds): antes $bb s, despues $ba s"
awk -v a="$ba" -v b="$bb" 'BEGIN { printf "relacion despues/antes: %.3f\n", a / b }'
