#!/bin/sh
# Builds the program, installs a demo data directory (./demo, company 01 with a
# prepared working month) and runs the program's main job on it: the desktop when
# there is a display; otherwise the month's runs, with every payslip written as PDF.
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target planilla
BIN="$ROOT/build/planilla"

rm -rf demo
"$BIN" init demo --demo
cd demo
export PLANILLA_CLAVE=PLANILLA
if [ -n "${DISPLAY:-}" ]; then
  echo "Usuario: QTR   Clave: PLANILLA   (Compania 01)"
  exec "$BIN"
fi

# Without a display: the working month's runs. The demo's working date is the last
# day of the current month; its exchange-rate record is "MM DD" of that day.
MES=$(date +%m)
DIA=$(date -d "$(date +%Y-%m-01) +1 month -1 day" +%d)
if [ "$MES" = "07" ] || [ "$MES" = "12" ]; then
  "$BIN" gratificacion --cia 01 --tc "$MES $DIA"
fi
"$BIN" calcular --cia 01 --tc "$MES $DIA"
"$BIN" boletas --cia 01 --dir "$ROOT/demo/boletas"
echo "Boletas de pago en PDF: $ROOT/demo/boletas/"
# The same payslips signed with the demo's test certificate (password "demo").
PLANILLA_CERT_CLAVE=demo "$BIN" boletas --cia 01 --dir "$ROOT/demo/boletas_firmadas" --firmar
echo "Boletas firmadas digitalmente: $ROOT/demo/boletas_firmadas/ (pdfsig ARCHIVO.pdf)"

# The month's salary-transfer files for BCP and BBVA, with their summaries.
mkdir -p "$ROOT/demo/bancos"
for BANCO in BCP BBVA; do
  "$BIN" exportar banco $BANCO --cia 01 --dir "$ROOT/demo/bancos" --pdf "$ROOT/demo/bancos/$BANCO.pdf"
done
echo "Archivos de pago al banco: $ROOT/demo/bancos/"

# Every report of the month, and the CTS documents of the year's November half-year
# (last: choosing 30 November makes it the company's working date).
mkdir -p "$ROOT/demo/reportes"
R="$ROOT/demo/reportes"
for NOMBRE in libro pdt aportes netos; do
  "$BIN" reporte $NOMBRE --cia 01 --pdf "$R/$NOMBRE.pdf"
done
if [ "$MES" = "07" ] || [ "$MES" = "12" ]; then
  "$BIN" reporte grati --cia 01 --pdf "$R/grati.pdf"
  "$BIN" reporte boleta-grati --cia 01 --codigo E0005 --pdf "$R/boleta-grati.pdf"
fi
"$BIN" reporte vacaciones --cia 01 --codigo E0010 --pdf "$R/vacaciones.pdf"
# The year's documents (the months calculated so far) and the month's cost.
for NOMBRE in quinta-anual aportes-anual essalud-anual afp-anual costo-cc; do
  "$BIN" reporte $NOMBRE --cia 01 --pdf "$R/$NOMBRE.pdf"
done
for NOMBRE in certificado-quinta retencion-aportes comprobante-aportes; do
  "$BIN" reporte $NOMBRE --cia 01 --codigo E0003 --pdf "$R/$NOMBRE.pdf"
done
ANO=$(date +%Y)
"$BIN" reporte cts --cia 01 --fecha "30/11/$ANO" --codigo E0003 --pdf "$R/cts.pdf"
"$BIN" reporte depositos-cts --cia 01 --fecha "30/11/$ANO" --moneda S --pdf "$R/depositos-cts.pdf"
echo "Reportes en PDF: $R/"
