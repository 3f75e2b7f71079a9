// The payroll book ("PLANILLA DE REMUNERACIONES", PREP406) and the gratification book
// ("PLANILLA DE GRATIFICACIONES", PREP402): every employee on a block of five lines
// with the 31 numbered amount boxes of the statutory book, then a four-line RESUMEN.
#include <array>

#include "reports/institution.h"
#include "reports/report_common.h"
#include "reports/report_format.h"
#include "reports/summaries.h"

namespace planilla::reports {

namespace {

using catalog::TableId;

// One numbered box: its column stop, number, caption and the fields it adds (none:
// the box prints its number only).
struct Box {
  int stop;
  const char* number;
  const char* caption;
  std::vector<const char*> fields;
};

// The four amount lines of an employee block.
const std::array<std::vector<Box>, 4>& bookLines() {
  static const std::array<std::vector<Box>, 4> lines = {{
      {{2, "(01)", "REM.BASICA", {"BAS_QUI"}},
       {3, "(05)", "ESCOLARIDAD", {"ESCOLAR"}},
       {4, "(09)", "BONIFICAC.", {"BONIFI"}},
       {5, "(13)", "O.N.P.", {"SNPT"}},
       {6, "(17)", "DESC.JUDIC.", {"RETJUD"}},
       {7, "(21)", "OTROS", {"OTROSD"}},
       {8, "(25)", "RCSSS", {"IPSSE"}},
       {9, "(29)", "TOTAL REMUNERACION", {"TBRUTO"}}},
      {{2, "(02)", "ASIG.FAMIL.", {"ASIGNA"}},
       {3, "(06)", "MOVILIDAD", {"MOVILI"}},
       {4, "(10)", "GRAT.EXTR.", {"GRAEXT"}},
       {5, "(14)", "PENSION AFP", {"AAPOR1"}},
       {6, "(18)", "I.R.5TA.CAT.", {"RTA_5TA"}},
       {7, "(22)", "TARDANZAS", {"TARDAN"}},
       {8, "(26)", "SENATI", {"FONAVIE"}},
       {9, "(30)", "TOTAL DESCUENTOS", {"T_DSCTOT"}}},
      {{2, "(03)", "HORAS EXTRAS", {"HSIMPLE_P", "HDOBLE_P"}},
       {3, "(07)", "GRATIFIC.", {"GRATIF"}},
       {4, "(11)", "SUBSIDIOS", {"SUBSID"}},
       {5, "(15)", "SEGURO AFP", {"AAPOR2"}},
       {6, "(19)", "ES-VIDA", {"ESVIDA"}},
       {7, "(23)", "CUOTA SINDI.", {"CUOSIN"}},
       {8, "(27)", "", {}},
       {9, "(31)", "NETO A PAGAR", {"TPAGAR"}}},
      {{2, "(04)", "VACACIONES", {"VACACI"}},
       {3, "(08)", "OTROS", {"OTROSP"}},
       {4, "(12)", "SUM.INDIREC", {"SUMIND", "SUMINI"}},
       {5, "(16)", "COMISION AFP", {"AAPOR3"}},
       {6, "(20)", "ADELANTOS", {"ADELANTO"}},
       {7, "(24)", "", {}},
       {8, "(28)", "", {}}},
  }};
  return lines;
}

std::string stop(int n) { return "$c" + NUM_CAR(n, 2); }

// The boxes of one line as cells. `values` holds one amount per box (boxes without
// fields ignore theirs). On the fourth line of the RESUMEN the bare boxes are written
// without a cell marker.
std::string cells(const std::vector<Box>& boxes, const std::vector<double>& values, bool bareWithoutCell = false) {
  std::string s;
  for (size_t i = 0; i < boxes.size(); ++i) {
    const Box& b = boxes[i];
    if (b.fields.empty()) {
      s += (bareWithoutCell ? "{" : "{t;") + stop(b.stop) + ";a=l} " + b.number;
      continue;
    }
    s += "{t;" + stop(b.stop) + ";a=l} " + b.number + "{t;" + stop(b.stop) + ";a=r} {tab= +1200} " +
         amount(values[i], kPicSummary);
  }
  return s;
}

std::vector<double> boxValues(const Table& row, const std::vector<Box>& boxes) {
  std::vector<double> v;
  for (const Box& b : boxes) {
    double x = 0;
    for (const char* f : b.fields) x += row.num(f);
    v.push_back(x);
  }
  return v;
}

std::string bookHeader(const Session& s, const std::string& ruc, bool grati) {
  std::string h;
  auto L = [&](const std::string& t) { h += t + kCrLf; };
  const std::string month = monthNameUpper(s.YFECHA.month());
  L("[Header]");
  L("{f=Lucida Console;\\n;s=9}");
  L("{\\n;\\n;$c00;a=l} " + rpvText(s.YNOMBRE1));
  L("{\\n;$c00;a=l;s=7} RUC :  " + rpvText(ruc));
  L("{$c00;13000} FOLIO:");
  L("{\\n;$c00;a=l} D.S. 020-2008-TR");
  L(std::string("{\\n;\\n;$c02;s=8;b=y;a=l} {tab=500} ") +
    (grati ? "PLANILLA DE GRATIFICACIONES" : "PLANILLA DE REMUNERACIONES") + "   MES: " + month + "  DE:  " +
    s.ANO_CIE + "{\\n}");
  L("{$c02;s=8;b=y;a=l} {tab=500}  " + (grati ? companySubtitle(s.YCIA) : std::string("  ")) + "{\\n;\\n}");
  L("{Line=300,16000;\\n}");
  L("{$c02;s=6;a=l} {tab=700} REMUNERACION{$c05;a=l} {tab=600} DESCUENTOS AL TRABAJADOR{$c08;a=l} {tab=300} "
    "APORTACION{$c09;a=l} {tab=400} TOTALES {\\n}");
  L("{$c00;a=l} CODIGO{$c01;a=l} APELLIDOS Y NOMBRES {\\n} ");
  static const char* const kIdCaptions[4][2] = {{"No.AUTOGENERADO", "FECHA DE INGRESO"},
                                                {"No.C.U.S.P.P.", "FECHA DE CESE"},
                                                {"CAR/OCUP.", "REM.BASICA"},
                                                {"D/TRAB.H/TRAB.", "TIPO TRABAJADOR"}};
  for (int line = 0; line < 4; ++line) {
    std::string t = std::string("{$c00;a=l} ") + kIdCaptions[line][0] + "{$c01;a=l} " + kIdCaptions[line][1];
    for (const Box& b : bookLines()[line]) {
      if (line == 3 && b.fields.empty()) break;  // (24) and (28) follow on the next file line
      const bool upper = b.stop == 9 || std::string(b.number) == "(20)";
      t += "{" + stop(b.stop) + (upper ? ";a=L} " : ";a=l} ") + b.number;
      if (*b.caption) t += std::string(" ") + b.caption;
    }
    if (line < 3)
      L(t + " {\\n}");
    else
      L(t);
  }
  L("{$c07;a=l} (24){$c08;a=l} (28){\\n;Line=300,16000;b=n;\\n}");
  L("[Data]");
  return h;
}

std::string blankDate() { return "  /  /  "; }

// The employee block of one result row; adds its boxes to `sums`.
std::string employeeBlock(const Session& s, const Table& row, Table& employees, Table& types,
                          std::array<std::vector<double>, 4>& sums) {
  const std::string code = row.str("CODIGO");
  const bool known = employees.seek(code);
  std::string nombre = " ", carnet = " ", nroafp = " ", cargo = " ", typeName = " ";
  std::string hired = writerDate(Date()), leaving = blankDate();
  if (known) {
    nombre = employees.str("NOMBRE");
    carnet = employees.str("CARNET");
    nroafp = employees.str("NROAFP");
    cargo = employees.str("CARGO").substr(0, 14);
    hired = writerDate(employees.date("FECH_ING"));
    const Date situ = employees.date("FECHASITUA");
    if (!situ.empty() && situ.month() == s.YFECHA.month()) leaving = writerDate(situ);
    // The type name stays inside its column, whatever its stored length.
    if (types.seek(employees.str("TIPTRAB"))) typeName = rtrim(types.str("NOMBRE")).substr(0, 24);
  }
  std::array<std::vector<double>, 4> v;
  for (int line = 0; line < 4; ++line) {
    v[line] = boxValues(row, bookLines()[line]);
    for (size_t i = 0; i < v[line].size(); ++i) sums[line][i] += v[line][i];
  }
  const double days = row.num("DIA_TRA");
  // Eight hours a worked day unless the hours worked are recorded. The days start one
  // blank in, under the other texts of the column, either way.
  const double hours = row.num("HORASTRA") == 0 ? days * 8 : row.num("HORASTRA");
  const std::string dayHours =
      "{e;$c00;a=l} " + amount(days, kPicDays2) + "{t;$c00;a=r}{tab= +900} " + amount(hours, kPicDays3);
  std::string b;
  auto L = [&](const std::string& t) { b += t + kCrLf; };
  L("{e;$c00;a=l} " + rpvText(code) + "{t;$c01;a=l} " + rpvText(nombre) + "{t;\\n}");
  L("{e;$c00;a=l} " + rpvText(carnet) + "{e;$c01;a=l} " + hired + cells(bookLines()[0], v[0]) + "{t;\\n}");
  L("{e;$c00;a=l} " + rpvText(nroafp) + "{e;$c01;a=l} " + leaving + cells(bookLines()[1], v[1]) + "{t;\\n}");
  L("{e;$c00;a=l} " + rpvText(cargo) + "{t;$c01;a=r} {tab= +1200} " + amount(row.num("BAS_MEN"), kPicSummary) +
    cells(bookLines()[2], v[2]) + "{t;\\n}");
  L(dayHours + "{e;$c01;a=l} " + rpvText(typeName) + cells(bookLines()[3], v[3]) + "{t;\\n}");
  L("{\\n;Line=300,16000;\\n}");
  return b;
}

std::string resumen(const std::array<std::vector<double>, 4>& sums) {
  const auto& lines = bookLines();
  std::string b;
  b += "{e;$c01;b=y;a=l} RESUMEN :" + cells(lines[0], sums[0]) + "{t;\\n}" + kCrLf;
  b += cells(lines[1], sums[1]) + "{t;\\n}" + kCrLf;
  b += cells(lines[2], sums[2]) + "{t;\\n}" + kCrLf;
  b += cells(lines[3], sums[3], /*bareWithoutCell=*/true) + "{t;b=n;\\n}" + kCrLf;
  return b;
}

// Writes the book over the scratch copy (open, in code order) and finishes the report.
bool writeBook(Session& s, ScratchTable& copy, const std::string& ruc, bool grati, bool startViewer,
               const std::string& title) {
  Table* types = openAs(s, TableId::WorkerTypes, "Tipos");
  Table* employees = types ? openAs(s, TableId::ActiveEmployees, "RepEmplea") : nullptr;
  if (!employees) {
    s.closeAll();
    return false;
  }
  Table& rows = *copy.table;
  if (Status st = rows.goTop(); !st || rows.eof()) {
    if (!st)
      showStatus(s, st);
    else
      stopBox(s, "Sin Registros ", title);
    s.closeAll();
    return false;
  }
  RpvWriter w(s.dataDir());
  ReportSettings st;
  st.title = "Resumen De Planilla";
  st.orientation = 2;
  st.c00 = 300;
  st.base = 690;
  st.widths = {7, 24, 11, 11, 11, 11, 11, 11, 11, 11};
  w.settings(st);
  w.PRINTLINE(grati ? bookHeader(s, ruc, grati) : markPendingPayroll(s, bookHeader(s, ruc, grati)));
  std::array<std::vector<double>, 4> sums;
  for (int line = 0; line < 4; ++line) sums[line].assign(bookLines()[line].size(), 0.0);
  if (!eachRow(s, rows, [&] {
        w.PRINTLINE(employeeBlock(s, rows, *employees, *types, sums));
        return true;
      })) {
    s.closeAll();
    return false;
  }
  w.PRINTLINE(resumen(sums));
  copy.table.reset();
  return finishReport(s, w, startViewer, pdfNameOf(s, "libro"));
}

// The institution's RUC with the screen's messages.
bool institutionRuc(Session& s, std::string& ruc, const char* tableMissing, const char* recordMissing,
                    const std::string& title) {
  InstitutionData in;
  if (!institutionRecord(s, in, tableMissing, recordMissing, title)) return false;
  ruc = in.ruc;
  return true;
}

}  // namespace

bool checkPayrollBook(Session& s, std::string& ruc) {
  if (!companyChosen(s, "")) return false;
  if (!institutionRuc(s, ruc, "Maestro De Institucion No Existe  ", "Codigo De Institucion  No Existe  ", ""))
    return false;
  if (!tableExists(s, TableId::ActiveEmployees)) {
    stopBox(s, "Maestro De Activos No Existe  ");
    return false;
  }
  if (!tableExists(s, TableId::PayrollSoles)) {
    stopBox(s, "Archivo Planilla-1 Mes " + s.YMES + " No Existe");
    return false;
  }
  return true;
}

bool PREP406(Session& s, const std::string& ruc, bool startViewer) {
  s.closeAll();
  if (!tableExists(s, TableId::ActiveEmployees)) {
    stopBox(s, "Maestro De Empleados No Existe  ");
    return false;
  }
  if (!tableExists(s, TableId::WorkerTypes)) {
    stopBox(s, "Maestro Tipo Trabajador No Existe  ");
    return false;
  }
  if (!tableExists(s, TableId::PayrollSoles)) {
    stopBox(s, "Archivo Planilla-1 Mes " + s.YMES + " No Existe");
    return false;
  }
  ScratchTable copy;
  if (!scratchCopy(s, s.def(TableId::PayrollSoles), copy, "Sin Registros ", "")) return false;
  // The gratification paid in the month goes into the book with the payroll.
  static const std::vector<const char*> kGrati = {
      "BAS_QUI", "ESCOLAR", "BONIFI",   "SNPT",   "RETJUD",  "OTROSD",   "IPSSE",  "ASIGNA", "MOVILI",
      "AAPOR1",  "RTA_5TA", "FONAVIE",  "T_DSCTOT", "HSIMPLE_P", "HDOBLE_P", "AAPOR2", "ESVIDA", "GRATIF",
      "VACACI",  "OTROSP",  "AAPOR3",   "ADELANTO", "GRAEXT",  "TBRUTO",   "TPAGAR"};
  for (TableId extra : {TableId::GratSoles, TableId::ExtraGrat}) {
    if (!tableExists(s, extra)) continue;
    Table* g = openAs(s, extra, "CalGrati");
    std::vector<const char*> fields = kGrati;
    if (extra == TableId::ExtraGrat) std::erase(fields, std::string_view("BONIFI"));
    if (!g || !addByCode(s, *g, *copy.table, fields)) {
      s.closeAll();
      return false;
    }
    s.close(s.areaOf("CalGrati"));
  }
  return writeBook(s, copy, ruc, /*grati=*/false, startViewer, "");
}

bool checkGratiBook(Session& s, std::string& ruc) {
  const std::string title = "Mensaje";
  if (!companyChosen(s, title)) return false;
  if (!institutionRuc(s, ruc, "Maestro De Institucion No Existe", "Codigo De Institucion  No Existe", title))
    return false;
  if (!tableExists(s, TableId::ActiveEmployees)) {
    stopBox(s, "Maestro De Empleados No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::PayrollSoles)) {
    stopBox(s, "Archivo Planilla-1 Mes " + s.YMES + " No Existe", title);
    return false;
  }
  return true;
}

bool PREP402(Session& s, const std::string& ruc, bool startViewer) {
  const std::string title = "Mensaje";
  s.closeAll();
  if (!tableExists(s, TableId::ActiveEmployees)) {
    stopBox(s, "Maestro De Empleados No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::WorkerTypes)) {
    stopBox(s, "Maestro Tipo Trabajador No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::GratSoles)) {
    stopBox(s, "Archivo Gratificacion Mes " + s.YMES + " No Existe", title);
    return false;
  }
  ScratchTable copy;
  if (!scratchCopy(s, s.def(TableId::GratSoles), copy, "Sin Registros ", "")) return false;
  return writeBook(s, copy, ruc, /*grati=*/true, startViewer, "");
}

}  // namespace planilla::reports
