// The employee screens on a company of 5,000 employees (or as many as asked): the
// general master (F_PJLG01) and the active employees of the month (F_PJLG02) driven by
// the scripted backend, timing what the operator waits for: opening the screen (for
// the active list also the first opening of a month, which copies the master), the
// first page of the list, a jump to its last row, and a search by code.
//
//   employees_bench [employees]     (default: 5000)
//
// Target: every step well under 100 ms (no visible wait) except the month's first
// opening, a once-a-month copy, which should stay under a second.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "masters/active_employees.h"
#include "masters/employees.h"
#include "session/session.h"
#include "store/catalog.h"
#include "store/table.h"
#include "ui/scripted.h"

namespace {

using namespace planilla;
using catalog::TableDef;
using catalog::TableId;
using Clock = std::chrono::steady_clock;

void check(const Status& st, const char* what) {
  if (!st) {
    std::fprintf(stderr, "%s: %s\n", what, st.message().c_str());
    std::exit(1);
  }
}

double ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

std::string code(int i) {
  char b[16];
  std::snprintf(b, sizeof b, "%06d", i);
  return b;
}

void codeTable(const std::string& dir, const TableDef& def, const char* c, const char* name) {
  check(catalog::ensureTable(platformFileSystem(), dir, def), def.dbf().c_str());
  auto t = catalog::openTable(platformFileSystem(), dir, def, OpenMode::Exclusive);
  check(t.status(), def.dbf().c_str());
  check((*t)->appendBlank(), "append");
  check((*t)->replace("codigo", c), "codigo");
  check((*t)->replace("nombre", name), "nombre");
  (*t)->close();
}

void generate(const std::string& dir, const catalog::Period& p, int n) {
  codeTable(dir, catalog::define(TableId::Situations, p), "11", "ACTIVO");
  codeTable(dir, catalog::define(TableId::CostCentres, p), "ADM", "ADMINISTRACION");
  codeTable(dir, catalog::define(TableId::Banks, p), "BCP", "BANCO DE CREDITO");
  codeTable(dir, catalog::define(TableId::WorkerTypes, p), "23", "EMPLEADO");
  codeTable(dir, catalog::define(TableId::PensionerTypes, p), "00", "NO APLICA");
  codeTable(dir, catalog::define(TableId::DocumentTypes, p), "1", "DNI");
  codeTable(dir, catalog::define(TableId::MovementTypes, p), "0", "SIN MOVIMIENTO");
  codeTable(dir, catalog::define(TableId::UniqueCodes, p), "01", "PLANILLA");
  TableDef funds = catalog::define(TableId::PensionFunds, p);
  check(catalog::ensureTable(platformFileSystem(), dir, funds), "pm06");
  TableDef master = catalog::define(TableId::EmployeeMaster, p);
  check(Table::create(platformFileSystem(), catalog::joinPath(dir, master.dbf()), catalog::employeeFields()), "create");
  {
    auto t = Table::open(platformFileSystem(), catalog::joinPath(dir, master.dbf()), OpenMode::Exclusive, "Emplea");
    check(t.status(), "open");
    for (int i = n; i >= 1; --i) {  // reverse record order: the list's code order differs
      check((*t)->appendBlank(), "append");
      check((*t)->replace("codigo", code(i)), "codigo");
      check((*t)->replace("nombre", "APELLIDO" + code(i) + " , NOMBRE"), "nombre");
      check((*t)->replace("cargo", "ANALISTA"), "cargo");
      check((*t)->replace("bas_men", 1500.0 + i % 1000), "bas_men");
      check((*t)->replace("dia_tra", 30.0), "dia_tra");
      if (i % 50 == 0) check((*t)->replace("baja", "1"), "baja");
    }
    check((*t)->flush(), "flush");
    (*t)->close();
  }
  check(catalog::rebuildIndexes(platformFileSystem(), dir, master, false), "index");
}

struct Times {
  double open = 0, firstPage = 0, lastRow = 0, search = 0;
  int rows = 0;
};

// Plays one screen: the time from the call to the dialog's first inspection is the
// opening; then the first 20 rows, the last row and a search by code.
Times play(Session& s, ui::ScriptedToolkit& tk, bool general, int target) {
  Times t;
  Clock::time_point start, mark;
  const int exitButton = general ? 6 : 110;
  auto lastRow = [&](ui::Dialog& d) {
    auto& br = *dynamic_cast<ui::Browse*>(d.control(101));
    mark = Clock::now();
    t.open = ms(start, mark);
    for (int i = 0; i < 20; ++i) (void)br.row(i);
    Clock::time_point page = Clock::now();
    t.firstPage = ms(mark, page);
    // The last row (an estimated count is refined when the end is reached).
    for (int tries = 0; tries < 3; ++tries) {
      t.rows = br.rowCount();
      if (!br.row(t.rows - 1).empty() && br.rowCountExact()) break;
    }
    t.lastRow = ms(page, Clock::now());
  };
  tk.reset();
  tk.expectDialog(general ? "MANTEP02" : "MANTEP03").inspect(lastRow);
  if (general)
    tk.pressBar(3);
  else
    tk.press(104);
  tk.expectDialog("", "Buscar").type(0, code(target)).inspect([&](ui::Dialog&) { mark = Clock::now(); }).press("&Aceptar");
  tk.inspect([&](ui::Dialog&) { t.search = ms(mark, Clock::now()); });
  if (general)
    tk.pressBar(exitButton);
  else
    tk.press(exitButton);
  start = Clock::now();
  if (general)
    masters::F_PJLG01(s, tk);
  else
    masters::F_PJLG02(s, tk);
  if (!tk.ok()) {
    std::fprintf(stderr, "%s\n", tk.report().c_str());
    std::exit(1);
  }
  return t;
}

void print(const char* what, const Times& t) {
  std::printf("%-34s open %8.1f ms  first page %6.1f ms  last row %7.1f ms  search %6.1f ms  (%d rows)\n", what,
              t.open, t.firstPage, t.lastRow, t.search, t.rows);
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
  std::string dir = (std::filesystem::temp_directory_path() / "planilla-employees-bench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) return 1;
  const catalog::Period p{"01", "05", "16"};
  generate(dir, p, n);
  ui::ScriptedToolkit tk;
  Session s(platformFileSystem(), tk, dir);
  s.YCIA = "01", s.YMES = "05", s.YANO = "16";
  ::setenv("PLANILLA_VISOR", "true", 1);
  std::printf("%d employees (one in 50 terminated)\n", n);
  print("general master", play(s, tk, true, n / 2 + 1));
  print("active, first opening of month", play(s, tk, false, n / 2 + 1));
  print("active, later opening", play(s, tk, false, n / 2 + 1));
  std::filesystem::remove_all(dir);
  return 0;
}
