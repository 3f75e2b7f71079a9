#!/bin/sh
# End to end: install the demo, reindex it from the command line, then check every
# table against its index bags with `planilla verificar` and, when Perl XBase is
# installed, read every index tag with its index_dump and compare the key counts with
# the live records. Usage: demo_e2e.sh PLANILLA_BINARY
set -u
BIN="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FALLO: $*" >&2; exit 1; }

cd "$WORK" || exit 1
for FECHA in "" "15/07/2016"; do
  D="d$(echo "$FECHA" | tr -d /)"
  if [ -n "$FECHA" ]; then "$BIN" init "$D" --demo --fecha "$FECHA" || fail "init $FECHA"
  else "$BIN" init "$D" --demo || fail "init"; fi
  "$BIN" init "$D" --demo 2>/dev/null && fail "init sobre una instalacion"
  cd "$D" || exit 1
  "$BIN" reindexar --cia 01 --clave MALA 2>err.txt; rc=$?
  [ $rc -eq 2 ] || fail "clave errada: codigo $rc"
  grep -q "Clave No Valida  , Intente Nuevamente" err.txt || fail "clave errada: mensaje"
  PLANILLA_CLAVE=planilla "$BIN" reindexar --cia 01 > out.txt || fail "reindexar"
  [ "$(grep -c reindexado out.txt)" -ge 19 ] || fail "reindexar: pocas tablas"
  rm -f err.txt out.txt
  for T in *.dbf; do
    B=${T%.dbf}
    BAGS=""
    [ -f "$B.cdx" ] && BAGS="$B.cdx"
    case "$B" in
      pmae01??) BAGS="$BAGS pmno${B#pmae}.cdx" ;;
      p9*) BAGS="$BAGS p8${B#p9}.cdx" ;;
    esac
    # shellcheck disable=SC2086
    "$BIN" verificar "$T" $BAGS > v.txt || { cat v.txt; fail "verificar $T"; }
  done
  rm -f v.txt
  if command -v index_dump > /dev/null && command -v dbf_dump > /dev/null; then
    for C in *.cdx; do
      B=${C%.cdx}
      case "$B" in
        pmno*) T="pmae${B#pmno}.dbf" ;;
        p8*) T="p9${B#p8}.dbf" ;;
        *) T="$B.dbf" ;;
      esac
      RECS=$(dbf_dump "$T" | wc -l)
      READ=0
      case "$B" in
        pmno*|p8*) TAGS=NOMBRE ;;
        pmae0001) TAGS=COD_CIA ;;
        kylusua) TAGS=INICIA ;;
        pm06*) TAGS=MESCODIGO ;;
        bmae02*) TAGS=CUENTA ;;
        *) TAGS="CODIGO $(echo "$B" | tr a-z A-Z)" ;;
      esac
      for TAG in $TAGS; do
        OUT=$(index_dump --type=char "$C" "$TAG" 2>&1)
        case "$OUT" in "No tag"*) continue ;; esac
        KEYS=$(printf '%s\n' "$OUT" | grep -c .)
        [ "$KEYS" -eq "$RECS" ] || fail "index_dump $C $TAG: $KEYS claves, $RECS registros"
        READ=1
      done
      [ $READ -eq 1 ] || fail "index_dump no lee $C"
    done
  else
    echo "Perl XBase no instalado: se omite index_dump"
  fi
  cd "$WORK" || exit 1
done
echo OK
