#!/bin/sh
# Peak memory and time of the documents of a large company, made from the command line
# as an operator makes them: the payroll book to PDF, and documents of one employee
# (the payslip, the gratification payslip, the fifth-category certificate, the
# pension-contribution certificate) to PDF. Each command runs under /usr/bin/time;
# its maximum resident set, elapsed time and processor time (user + system; the
# ratios use it, as other programs on the machine do not change it) are printed.
#
#   bench/big_company.sh PLANILLA CALC_BENCH [EMPLOYEES] [PLANILLA_BEFORE] [BOOK_EMPLOYEES]
#
# Installs the demonstration company in a temporary folder, replaces its working
# month (31/12/2016) with EMPLOYEES generated employees (default 100,000; calc_bench
# --generar, which also writes the July and December gratification results) and
# calculates the month. EMPLOYEES and BOOK_EMPLOYEES may instead name the data folder
# of a company made so before (it is used as it is, and left in place). With PLANILLA_BEFORE (another build of the program) every
# measurement is repeated with it, in the same run, and the ratios are printed. With
# BOOK_EMPLOYEES the book is also measured on a second company of that size (the book
# of 100,000 employees takes long).
set -eu
exe=$(readlink -f "$1")
gen=$(readlink -f "$2")
n=${3:-100000}
before=${4:-}
[ -n "$before" ] && before=$(readlink -f "$before")
bookN=${5:-}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export PLANILLA_CLAVE=PLANILLA QT_QPA_PLATFORM=offscreen

# company NAME EMPLOYEES|FOLDER: sets $data to the company's data folder.
company() {
  if [ -d "$2" ]; then
    data=$(readlink -f "$2")
    return 0
  fi
  data="$dir/$1"
  (cd "$dir" && "$exe" init "$1" --demo --fecha 31/12/2016 >/dev/null)
  "$gen" --generar "$data" "$2" 31/12/2016 >/dev/null
  (cd "$data" && "$exe" calcular --cia 01 --fecha 31/12/2016 --tc TC0001 >/dev/null)
}

# measure LABEL FOLDER PROGRAM ARGS...: prints "LABEL  peak MB  seconds".
measure() {
  label=$1 folder=$2 prog=$3
  shift 3
  if ! (cd "$folder" && /usr/bin/time -f "%M %e %U %S" -o "$dir/time.txt" "$prog" "$@" >"$dir/out.txt" 2>"$dir/err.txt"); then
    echo "$label: fallo: $(cat "$dir/err.txt" "$dir/time.txt" | grep -v XDG_RUNTIME | head -3 | tr '\n' ' ')"
    rm -f "$dir/last.txt"
    return 0
  fi
  read -r kb secs user sys <"$dir/time.txt"
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
  pages=$(sed -n 's/.*: \([0-9]*\) pagina.*/\1/p' "$dir/out.txt" | tail -1)
  awk -v l="$label" -v kb="$kb" -v s="$secs" -v c="$cpu" -v p="${pages:-?}" \
    'BEGIN { printf "%-44s %8.1f MB %8.2f s (CPU %7.2f s)  %s pagina(s)\n", l, kb / 1024, s, c, p }'
  echo "$kb $cpu" >"$dir/last.txt"
}

# compare LABEL FOLDER ARGS...: with the program, and with the earlier build when given.
compare() {
  label=$1 folder=$2
  shift 2
  measure "$label" "$folder" "$exe" "$@"
  [ -n "$before" ] && [ -f "$dir/last.txt" ] || return 0
  read -r kbA sA <"$dir/last.txt"
  measure "$label (antes)" "$folder" "$before" "$@"
  [ -f "$dir/last.txt" ] || return 0
  read -r kbB sB <"$dir/last.txt"
  awk -v a="$kbA" -v b="$kbB" -v sa="$sA" -v sb="$sB" \
    'BEGIN { printf "%-44s antes/ahora: memoria x%.1f, CPU x%.1f\n", "", b / a, (sb + 0.005) / (sa + 0.005) }'
}

echo "Empresa grande ($n), 31/12/2016"
company big "$n"
big=$data
code=T0000001
compare "boleta $code --pdf" "$big" boleta --cia 01 --codigo $code --pdf "$dir/b.pdf"
compare "reporte boleta-grati $code --pdf" "$big" reporte boleta-grati --cia 01 --codigo $code --pdf "$dir/g.pdf"
compare "reporte certificado-quinta $code --pdf" "$big" reporte certificado-quinta --cia 01 --codigo $code --pdf "$dir/c.pdf"
compare "reporte retencion-aportes $code --pdf" "$big" reporte retencion-aportes --cia 01 --codigo $code --pdf "$dir/r.pdf"
if [ -n "$bookN" ]; then
  echo "Empresa del libro ($bookN)"
  company book "$bookN"
  compare "reporte libro --pdf ($bookN)" "$data" reporte libro --cia 01 --pdf "$dir/l.pdf"
else
  compare "reporte libro --pdf ($n)" "$big" reporte libro --cia 01 --pdf "$dir/l.pdf"
fi
