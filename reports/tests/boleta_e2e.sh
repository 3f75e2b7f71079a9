#!/bin/sh
# End to end: a demo installation, the month's payroll, the payslip of one employee
# as Test.rpv and as PDF, and the refusal for an unknown employee.
# Usage: boleta_e2e.sh PLANILLA_EXECUTABLE
set -eu
exe="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
"$exe" init datos --demo --fecha 31/03/2026 >/dev/null
cd datos
"$exe" calcular --cia 01 --fecha 31/03/2026 --tc "88 888" --clave PLANILLA >/dev/null 2>&1
"$exe" boleta --cia 01 --fecha 31/03/2026 --codigo E0001 --clave PLANILLA --pdf boleta.pdf >out.txt 2>err.txt
grep -q "boleta.pdf: 1 pagina" out.txt
head -c 5 boleta.pdf | grep -q "%PDF-"
grep -q "BOLETA DE REMUNERACIONES" Test.rpv
grep -q "KYLE0001/" Test.rpv
# Every line of the report ends in CR LF.
test "$(tr -cd '\n' < Test.rpv | wc -c)" = "$(grep -c "$(printf '\r')\$" Test.rpv)"
# An unknown employee: the validation's message on stderr, exit status 1, no new report.
cp Test.rpv before.rpv
if "$exe" boleta --cia 01 --fecha 31/03/2026 --codigo NOEXISTE --clave PLANILLA >/dev/null 2>err2.txt; then
  echo "boleta de un codigo inexistente no fallo" >&2
  exit 1
fi
grep -q "Codigo Empleado  NOEXISTE   No Existe" err2.txt
cmp -s Test.rpv before.rpv
echo "ok"
