// The listing of the month's entries: what "&Impresion" of F_PFMR201 prints.
#include <array>

#include "inputs/income_entries.h"
#include "masters/maintenance.h"
#include "ui/picture.h"

namespace planilla::inputs {

namespace {

// Two lines per entry under the code and name: the income of the month, then the
// other income and the deductions. Fields and their headings; every column is twelve
// characters wide, room for the largest amount the fields hold.
struct Column {
  const char* field;
  const char* heading;
};
constexpr std::array<std::array<Column, 7>, 2> kColumns = {{
    {{{"simple", "H.SIMPLE"},
      {"doble", "H.DOBLE"},
      {"refrige", "REFRIGERIO"},
      {"diastra", "DIAS TRAB."},
      {"produc", "BONO PROD."},
      {"movili", "MOVILIDAD"},
      {"utili", "UTILIDADES"}}},
    {{{"cts", "C.T.S."},
      {"subsid", "SUBSIDIO"},
      {"adelanto", "ADELANTO"},
      {"otrosegr", "PRESTAMO"},
      {"tardan", "TARDANZA"},
      {"retjud", "RET.JUDIC."},
      {"cuosin", "CUO/SIND"}}},
}};

std::string stop(size_t n) { return n < 10 ? "$c0" + std::to_string(n) : "$c" + std::to_string(n); }

// An amount right-aligned in its column; nothing for zero, so that what was
// entered stands out.
constexpr int kWidth = 12;
std::string cell(double v) { return v == 0 ? std::string(kWidth, ' ') : ui::transform(v, "#,###,###.##"); }
std::string heading(const std::string& h) { return std::string(kWidth - h.size(), ' ') + h; }

}  // namespace

void printIncomeEntries(Session& s, ui::Browse& br) {
  Table& t = br.table();
  masters::selectTable(s, t);
  const uint32_t rec = t.recno();
  // Every entry of the month, whatever row the cursor is on.
  (void)t.goTop();
  masters::ListingLayout l;
  l.reportTitle = "Ingresos Del Mes";
  l.orientation = 2;
  l.widths = {6, 30, kWidth, kWidth, kWidth, kWidth, kWidth, kWidth, kWidth};
  l.header = masters::listingTitleLines(
      s, "INGRESOS Y DESCUENTOS DEL MES  " + ui::upper1252(s.MES_CIE) + " " + s.ANO_CIE, 500, "$c01");
  l.header.push_back("{Line=300,16000;\\n}");
  for (size_t row = 0; row < kColumns.size(); ++row) {
    std::string h = row == 0 ? "{$c00;a=l;s=7} CODIGO{$c01;a=l} APELLIDOS Y NOMBRES" : "{$c00;a=l;s=7} {$c01;a=l} ";
    for (size_t i = 0; i < kColumns[row].size(); ++i)
      h += "{" + stop(i + 2) + ";a=l} " + heading(kColumns[row][i].heading);
    l.header.push_back(h + "{\\n}");
  }
  l.header.push_back("{Line=300,16000;\\n}");
  masters::printListing(s, t, l, [](Table& e) {
    std::string out;
    for (size_t row = 0; row < kColumns.size(); ++row) {
      if (row > 0) out += "\r\n";
      out += row == 0 ? "{e;$c00;a=l;s=7} " + e.str("codigo").substr(0, 6) + "{t;$c01;a=l} " + e.str("nombre").substr(0, 30)
                      : "{e;$c00;a=l;s=7} {t;$c01;a=l} ";
      for (size_t i = 0; i < kColumns[row].size(); ++i)
        out += "{t;" + stop(i + 2) + ";a=l} " + cell(e.num(kColumns[row][i].field));
      out += "{t;\\n}";
    }
    return out;
  });
  masters::backTo(t, rec);
  masters::settle(br);
}

}  // namespace planilla::inputs
