#!/bin/sh
# Peak memory (maximum resident set, from /usr/bin/time) of `planilla exportar
# excel|plame|afpnet` on a generated company, for one or two builds in the same run:
#
#   sh bench/exports_memory.sh BUILD [EMPLOYEES] [OTHER_PLANILLA]
#
# BUILD is a build folder holding planilla and bench/calc_bench (the generator);
# EMPLOYEES defaults to 100000; OTHER_PLANILLA, when given, is measured on the same
# data right after (an older build, for a before/after). The demo is installed for
# March 2026, its tables replaced by the generated company, and the month calculated.
set -e
build=$1
n=${2:-100000}
other=$3
[ -x "$build/planilla" ] && [ -x "$build/bench/calc_bench" ] || {
  echo "uso: sh bench/exports_memory.sh CARPETA_DE_COMPILACION [EMPLEADOS] [OTRO_PLANILLA]" >&2
  exit 2
}
work=$(mktemp -d "${TMPDIR:-/tmp}/planilla-exports-mem-XXXXXX")
trap 'rm -rf "$work"' EXIT
planilla=$(cd "$(dirname "$build/planilla")" && pwd)/planilla
calc_bench=$(cd "$build/bench" && pwd)/calc_bench
cd "$work"
"$planilla" init datos --demo --fecha 31/03/2026 >/dev/null
"$calc_bench" --generar datos "$n" 31/03/2026 >/dev/null
cd datos
"$planilla" calcular --cia 01 --clave PLANILLA --tc TC0001 >/dev/null 2>&1
mkdir -p out
for binary in "$planilla" $other; do
  for kind in excel plame afpnet; do
    rm -f out/*
    /usr/bin/time -f "%M %e" -o ../time.txt "$binary" exportar $kind --cia 01 --clave PLANILLA --dir out >/dev/null 2>../err.txt ||
      { echo "$binary exportar $kind fallo:"; head -3 ../err.txt; }
    read -r kb secs < ../time.txt
    printf '%-8s %7d empleados  pico %7.1f MB  %6.2f s  %s\n' "$kind" "$n" "$(echo "$kb / 1024" | bc -l)" "$secs" "$binary"
  done
done
