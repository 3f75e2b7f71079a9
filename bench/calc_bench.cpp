// The monthly payroll run (PROCE01) on generated companies of 10,000 and 100,000
// employees with every input table present: active employees, rates, pension funds
// of the year, exchange rate, the month's entries and vacation roll, the July and
// December gratification results and the year's earnings and withholding tables.
// Working month December, so every look-up of the run is exercised.
//
//   calc_bench [employees ...]     (default: 10000 100000)
//   calc_bench --generar DIR N DD/MM/AAAA
//       writes the generated tables of N employees for company "01" and that working
//       date, and the employee master, into the data directory DIR (replacing those
//       tables), without running: a large company for trying the desktop and the
//       documents (the demo's DIR after "planilla init"; see bench/big_company.sh).
//
// Prints the time of each run (generation not counted) and the ratio of the last to
// the first. Targets: 10,000 employees under one second; 100,000 within 11 times that.
//
// Before each run, in the same directory, a baseline: the run's two result tables
// written as the run writes them (built beside, put in place with their bags) with
// one record per employee each, the same record every time: the engine's share of a
// run, without reading or arithmetic. Target: the run within 3 times its baseline.
//
//   calc_bench --conservar DIR [employees ...]
//       also copies the tables the run wrote (results and year tables) into DIR/N/,
//       to compare them byte for byte with another version's.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "session/run_tables.h"
#include "session/session.h"
#include "session/startup.h"
#include "calc/record.h"
#include "calc/runs.h"
#include "store/catalog.h"
#include "store/table.h"
#include "ui/messages.h"

namespace {

using namespace planilla;
using catalog::TableDef;
using catalog::TableId;

class QuietMessages : public ui::Messages {
 public:
  bool show(ui::MsgKind, const std::string& text, const std::string& title) override {
    last = title + ": " + text;
    return true;
  }
  std::string last;
};

void check(const Status& st, const char* what) {
  if (!st) {
    std::fprintf(stderr, "%s: %s\n", what, st.message().c_str());
    std::exit(1);
  }
}

std::string code(int i) {
  char b[16];
  std::snprintf(b, sizeof b, "T%07d", i);
  return b;
}

bool replaceFiles = false;  // --generar: the tables replace those of the directory

// Creates the table of `def` (fields as the catalog or `fields` give), appends `n`
// records built by `make`, then builds the tags over all records.
void fill(const std::string& dir, TableDef def, const std::vector<FieldSpec>& fields, int n,
          const std::function<void(int, calc::PendingRecord&)>& make) {
  if (def.fields.empty()) def.fields = fields;
  for (auto& t : def.tags)
    for (char& c : t.name)
      if (c == '+') c = '_';
  const std::string path = catalog::joinPath(dir, def.dbf());
  if (replaceFiles) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    for (const auto& tag : def.tags) std::filesystem::remove(catalog::joinPath(dir, tag.bag + ".cdx"), ec);
  }
  check(Table::create(platformFileSystem(), path, def.fields), def.dbf().c_str());
  auto t = Table::open(platformFileSystem(), path, OpenMode::Exclusive, def.alias);
  check(t.status(), def.dbf().c_str());
  calc::PendingRecord rec = calc::PendingRecord::forTable(**t);
  for (int i = 0; i < n; ++i) {
    rec.clear();
    make(i, rec);
    check(rec.appendTo(**t), def.dbf().c_str());
  }
  for (const auto& tag : def.tags) {
    const std::string bag = catalog::joinPath(dir, tag.bag + ".cdx");
    if (tag.name.empty())
      check((*t)->createIndexFile(bag, tag.key), "indice");
    else
      check((*t)->createTag(bag, tag.name, tag.key, tag.forExpr), "indice");
  }
  check((*t)->flush(), "flush");
  (*t)->close();
}

void set(const Status& st) { check(st, "campo"); }

void generate(const std::string& dir, const catalog::Period& p, int n) {
  catalog::Period p07 = p, p12 = p;
  p07.mes = "07";
  p12.mes = "12";
  fill(dir, catalog::define(TableId::CalcTemplate, p), {}, 0, [](int, calc::PendingRecord&) {});
  fill(dir, catalog::define(TableId::Rates, p), {}, 1, [](int, calc::PendingRecord& r) {
    set(r.setText("CODIGO", "01"));
    for (auto [f, v] : std::vector<std::pair<const char*, double>>{
             {"IPSST", 0},        {"SNPT", 13},        {"IPSSE", 9},        {"MINIVITAL", 850},
             {"HEXEMP1", 1.25},   {"HEXEMP2", 2},      {"UIT2", 3950},      {"SCALA01", 19750},
             {"SCALA02", 79000},  {"SCALA03", 138250}, {"SCALA04", 177750}, {"SCALA05", 177750},
             {"TASA08", 8},       {"TASA14", 14},      {"TASA17", 17},      {"TASA20", 20},
             {"TASA30", 30},      {"BONIFI9", 9},      {"FONAVIE", 1.5}})
      set(r.setNum(f, v));
    set(r.setText("MESAFEC", "12 DIC"));
  });
  const char* funds[3] = {"INTEG ", "PRIMA ", "HABITA"};
  fill(dir, catalog::define(TableId::PensionFunds, p), {}, 36, [&](int i, calc::PendingRecord& r) {
    const char mes[3] = {static_cast<char>('0' + (i / 3 + 1) / 10), static_cast<char>('0' + (i / 3 + 1) % 10), 0};
    set(r.setText("MES", mes));
    set(r.setText("CODIGO", funds[i % 3]));
    set(r.setNum("AFPPOR1", 10));
    set(r.setNum("AFPPOR2", 1.36 + 0.01 * (i % 3)));
    set(r.setNum("AFPPOR3", 1.5 + 0.05 * (i % 3)));
    set(r.setNum("AFPPOR4", 9000));
  });
  fill(dir, catalog::define(TableId::ExchangeRates, p), {}, 1, [](int, calc::PendingRecord& r) {
    set(r.setText("CODIGO", "TC0001"));
    set(r.setNum("TIP_CAM", 3.25));
    set(r.setNum("TIP_CAME", 3.6));
  });
  fill(dir, catalog::define(TableId::ActiveEmployees, p), catalog::employeeFields(), n,
       [&](int i, calc::PendingRecord& r) {
         set(r.setText("CODIGO", code(i)));
         set(r.setText("NOMBRE", "TRABAJADOR " + code(i)));
         set(r.setText("CCOSTO", i % 2 ? "ADM" : "PROD"));
         const bool member = i % 5 < 2;
         set(r.setText("CODAFP", member ? funds[i % 3] : "      "));
         // Identity and CUSPP of the form the statutory files take, so the exports of
         // the generated month go through (see bench/exports_memory.sh).
         char dni[16], cuspp[16];
         std::snprintf(dni, sizeof dni, "%08d", 10000000 + i);
         std::snprintf(cuspp, sizeof cuspp, "%06dABCDE%d", i % 1000000, i % 10);
         set(r.setText("DocIden", "1"));
         set(r.setText("electoral", dni));
         if (member) set(r.setText("nroafp", cuspp));
         if (member) set(r.setDate("FECH_AFP", Date(2010, 1 + i % 12, 1)));
         set(r.setDate("FECH_ING", Date(2005 + i % 12, 1 + i % 12, 1)));
         set(r.setText("SEGUROAFP", i % 3 ? "S" : "N"));
         const char* cur = i % 20 == 0 ? "D" : (i % 20 == 1 ? "E" : "S");
         set(r.setText("DOLAR", cur));
         set(r.setNum("BAS_MEN", *cur == 'S' ? 1200 + (i % 400) * 25 : 800 + (i % 50) * 20));
         set(r.setNum("ASIGNA", i % 2 ? 85 : 0));
         set(r.setNum("GRATIF", i % 7 == 0 ? 150 : 0));
         set(r.setText("QUINTA", i % 10 < 5 ? "S" : (i % 10 == 5 ? "E" : "N")));
         set(r.setNum("DIA_TRA", 30 - i % 4));
         set(r.setNum("FRACCION", i % 9 == 0 ? 2 : 0));
         set(r.setText("RETRI", i % 50 == 0 ? "2" : "1"));
         set(r.setNum("ESVIDA", i % 11 == 0 ? 5 : 0));
         set(r.setNum("HorasTra", 8));
       });
  // For --generar, the employee master holds the generated staff too: the documents of
  // one employee (payslips, certificates) take the employee from it.
  if (replaceFiles)
    fill(dir, catalog::define(TableId::EmployeeMaster, p), {}, n, [&](int i, calc::PendingRecord& r) {
      set(r.setText("CODIGO", code(i)));
      set(r.setText("NOMBRE", "TRABAJADOR " + code(i)));
      set(r.setText("CCOSTO", i % 2 ? "ADM" : "PROD"));
      set(r.setText("CARGO", "OPERARIO"));
      set(r.setDate("FECH_ING", Date(2005 + i % 12, 1 + i % 12, 1)));
    });
  fill(dir, catalog::define(TableId::IncomeEntries, p), {}, n, [&](int i, calc::PendingRecord& r) {
    set(r.setText("CODIGO", code(i)));
    set(r.setNum("SIMPLE", i % 6));
    set(r.setNum("DOBLE", i % 3));
    set(r.setNum("REFRIGE", i % 4 == 0 ? 100 : 0));
    set(r.setNum("MOVILI", i % 5 == 0 ? 60 : 0));
    set(r.setNum("SUBSID", i % 97 == 0 ? 300 : 0));
    set(r.setNum("ADELANTO", i % 8 == 0 ? 200 : 0));
  });
  fill(dir, catalog::define(TableId::VacationRoll, p), catalog::rollTemplateFields(), n / 10,
       [&](int i, calc::PendingRecord& r) {
         set(r.setText("CODIGO", code(i * 10 + 3)));
         set(r.setNum("CONTROL", 1));
         set(r.setNum("DIAVAC", 15));
       });
  for (const catalog::Period& gp : {p07, p12})
    fill(dir, catalog::define(TableId::GratSoles, gp), catalog::calcTemplateFields(), n,
         [&](int i, calc::PendingRecord& r) {
           set(r.setText("CODIGO", code(i)));
           set(r.setNum("TBRUTO", 1500 + i % 300));
           set(r.setNum("AAPOR2", 10));
         });
  for (TableId id : {TableId::Earnings, TableId::Deductions})
    fill(dir, catalog::define(id, p), {}, n, [&](int i, calc::PendingRecord& r) {
      set(r.setText("CODIGO", code(i)));
      const auto& months = catalog::monthFieldNames();
      double tot = 0;
      for (int m = 0; m < 11; ++m) {
        double v = id == TableId::Earnings ? 2000 + i % 500 : 20 + i % 30;
        set(r.setNum(months[m], v));
        tot += v;
      }
      set(r.setNum("TOT", tot));
    });
}

double cpuSeconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The baseline: n records appended to each of the run's result tables through the
// run's own path (RunTables, PendingRecord, the lock released after each append),
// every record the same, set once. Returns the processor seconds.
double appendBaseline(Session& s, int n) {
  const TableDef e2 = s.def(TableId::PayrollSoles), e1 = s.def(TableId::PayrollDollars);
  const double c0 = cpuSeconds();
  {
    RunTables out(s);
    check(out.hold(e2), "e2");
    check(out.hold(e1), "e1");
    Result<Table*> t2 = out.fresh(e2), t1 = out.fresh(e1);
    check(t2.status(), "e2");
    check(t1.status(), "e1");
    calc::PendingRecord rec = calc::PendingRecord::forTable(**t2), conv = calc::PendingRecord::forTable(**t1);
    for (calc::PendingRecord* r : {&rec, &conv})
      for (const FieldSpec& f : r->fields()) {
        if (f.type == 'N') {
          if (!r->setNum(f.name, 1.25) && !r->setNum(f.name, 1)) set(r->setNum(f.name, 0));
        }
        else if (f.type == 'C') set(r->setText(f.name, "T0000001"));
        else if (f.type == 'D') set(r->setDate(f.name, Date(2016, 12, 31)));
      }
    for (int i = 0; i < n; ++i) {
      check(rec.appendTo(**t2), "e2");
      (*t2)->unlockAll();
      check(conv.appendTo(**t1), "e1");
      (*t1)->unlockAll();
    }
    check(out.commit(), "commit");
  }
  s.closeAll();
  return cpuSeconds() - c0;
}

std::string keepDir;  // --conservar

void keepTables(const std::string& dir, const catalog::Period& p, int n) {
  const std::string to = catalog::joinPath(keepDir, std::to_string(n));
  std::filesystem::create_directories(to);
  for (TableId id : {TableId::PayrollSoles, TableId::PayrollDollars, TableId::Earnings, TableId::Deductions}) {
    const std::string name = catalog::define(id, p).dbf();
    std::filesystem::copy_file(catalog::joinPath(dir, name), catalog::joinPath(to, name),
                               std::filesystem::copy_options::overwrite_existing);
  }
}

double runOnce(int n, bool red) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "calc_benchXXXXXX").string();
  std::string dir = mkdtemp(tmpl.data());
  QuietMessages msgs;
  double seconds = -1;
  {
    Session s(platformFileSystem(), msgs, dir);
    s.setRed(red);
    s.YCIA = "01";
    s.YFECHA = Date(2016, 12, 31);
    if (!FECRETE(s, s.YFECHA)) std::exit(1);
    auto g0 = std::chrono::steady_clock::now();
    generate(dir, s.period(), n);
    auto g1 = std::chrono::steady_clock::now();
    const double base = appendBaseline(s, n);
    const double c0 = cpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    bool ok = calc::PROCE01(s, "TC0001");
    auto t1 = std::chrono::steady_clock::now();
    const double c1 = cpuSeconds();
    seconds = std::chrono::duration<double>(t1 - t0).count();
    std::printf("%7d empleados (%s): generacion %.2f s, PROCE01 %.3f s (cpu %.3f s)%s\n", n, red ? "red" : "local",
                std::chrono::duration<double>(g1 - g0).count(), seconds, c1 - c0, ok ? "" : "  FALLO");
    std::printf("         base (solo grabar %d + %d registros): cpu %.3f s; PROCE01 / base = %.2f (objetivo 3)\n", n,
                n, base, base > 0 ? (c1 - c0) / base : 0.0);
    if (!ok) std::printf("  ultimo mensaje: %s\n", msgs.last.c_str());
    if (ok && !keepDir.empty()) keepTables(dir, s.period(), n);
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return seconds;
}

int generateInto(const std::string& dir, int n, const std::string& date) {
  int d = 0, m = 0, y = 0;
  if (std::sscanf(date.c_str(), "%d/%d/%d", &d, &m, &y) != 3) {
    std::fprintf(stderr, "fecha no valida: %s\n", date.c_str());
    return 2;
  }
  QuietMessages msgs;
  Session s(platformFileSystem(), msgs, dir);
  s.YCIA = "01";
  s.YFECHA = Date(y, m, d);
  if (!FECRETE(s, s.YFECHA)) return 1;
  replaceFiles = true;
  generate(dir, s.period(), n);
  std::printf("%d empleados generados en %s para el %s\n", n, dir.c_str(), date.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--generar") return generateInto(argv[2], std::atoi(argv[3]), argv[4]);
  std::vector<int> sizes;
  bool red = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--red") red = true;
    else if (a == "--conservar" && i + 1 < argc) keepDir = argv[++i];
    else sizes.push_back(std::atoi(argv[i]));
  }
  if (sizes.empty()) sizes = {10000, 100000};
  std::vector<double> times;
  for (int n : sizes) times.push_back(runOnce(n, red));
  if (times.size() >= 2 && times.front() > 0)
    std::printf("relacion %d/%d: %.2f\n", sizes.back(), sizes.front(), times.back() / times.front());
  return 0;
}
