// The month at a glance and all its payslips at once, on a demo month: the checklist
// before the payroll run, after it and after an input changed; "Boletas Del Mes" to one
// PDF per employee (their names and count) and to one PDF holding every payslip.
#include <QGuiApplication>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "app/cli_session.h"
#include "app/commands.h"
#include "app/shell/month_status.h"
#include "delivery/batch.h"
#include "masters/maintenance.h"
#include "reports/render/rpv_render.h"
#include "session/startup.h"
#include "session/tables.h"
#include "store/catalog.h"
#include "store/tests/temp_dir.h"

namespace planilla {
namespace {

int run(const std::vector<std::string>& words, std::string* errText = nullptr) {
  std::ostringstream out, err;
  struct Keep {
    std::ostringstream& e;
    std::string* to;
    ~Keep() {
      if (to) *to = e.str();
    }
  } keep{err, errText};
  for (const auto& c : commandRegistry())
    if (c.name == words.at(0)) return c.run(std::vector<std::string>(words.begin() + 1, words.end()), out, err);
  return -1;
}

class Month : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("PLANILLA_CLAVE");
    ::setenv("PLANILLA_VISOR", "true", 1);
    char buf[4096];
    ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
    home_ = buf;
    ASSERT_EQ(::chdir(scratch_.path().c_str()), 0);
    ASSERT_EQ(run({"init", "datos", "--demo", "--fecha", "31/03/2026"}), 0);
    ASSERT_EQ(::chdir("datos"), 0);
    s.YCIA = "01";
    s.userCode = "QTR";
    ASSERT_TRUE(FECRETE(s, Date(2026, 3, 31)));
  }
  void TearDown() override { ASSERT_EQ(::chdir(home_.c_str()), 0); }
  // "state: detail" of the checklist's line `step`.
  std::string line(const std::string& step) {
    for (const auto& m : shell::monthChecklist(s))
      if (m.step == step) return m.state + ": " + m.detail;
    return "(no esta)";
  }
  // The codes of the month's calculated payroll, read from the results table.
  std::set<std::string> payrollCodes() {
    std::set<std::string> codes;
    auto t = Table::openReadOnly(platformFileSystem(), s.path(s.def(catalog::TableId::PayrollSoles).dbf()));
    EXPECT_TRUE(t.isOk());
    for (Status st = (*t)->goTop(); !(*t)->eof(); st = (*t)->skip()) codes.insert(trimRight((*t)->str("CODIGO")));
    return codes;
  }
  testutil::TempDir scratch_{"planilla-mes"};
  std::string home_;
  std::ostringstream shown;
  StreamMessages msgs{shown};
  Session s{platformFileSystem(), msgs, "."};
};

TEST_F(Month, ChecklistBeforeAndAfterTheRunAndStaleAfterAnInputChange) {
  // March: no gratification lines; nothing calculated nor exported yet.
  EXPECT_EQ(line("Calculo De Gratificacion (Antes De La Planilla)"), "(no esta)");
  EXPECT_EQ(line("Calculo De Planilla"), "Pendiente: No Se Ha Hecho Este Mes");
  EXPECT_EQ(line("Archivos PLAME"), "Pendiente: No Se Ha Hecho Este Mes");
  EXPECT_EQ(line("Empleados Activos Del Mes").rfind("Hecho: ", 0), 0u) << line("Empleados Activos Del Mes");

  ASSERT_EQ(run({"calcular", "--cia", "01", "--clave", "PLANILLA", "--tc", "03 31"}), 0);
  const std::string done = line("Calculo De Planilla");
  EXPECT_EQ(done.rfind("Hecho: ", 0), 0u) << done;
  EXPECT_NE(done.find(" Por QTR ("), std::string::npos) << done;
  EXPECT_NE(done.find(", " + std::to_string(payrollCodes().size()) + " Trabajador(es)"), std::string::npos) << done;

  // A month's input changed as the screens change it: the results are stale, and the
  // entries line names the change.
  {
    Table* t = openOwnTable(s, catalog::TableId::ActiveEmployees, 1);
    ASSERT_NE(t, nullptr) << shown.str();
    ASSERT_TRUE(t->seek("E0001"));
    const double pay = t->num("BAS_MEN");
    ASSERT_TRUE(masters::changeRecord(s, *t, t->recno(), [&](masters::RecordEdit& e) { e.number("BAS_MEN", pay + 1); }));
    s.closeAll();
  }
  EXPECT_EQ(line("Calculo De Planilla").rfind("Desactualizado: Los Datos Del Mes Cambiaron Despues", 0), 0u)
      << line("Calculo De Planilla");
  EXPECT_NE(line("Empleados Activos Del Mes").find("Ultimo Cambio "), std::string::npos);
  EXPECT_NE(line("Empleados Activos Del Mes").find(" Por QTR"), std::string::npos);
}

TEST_F(Month, PayslipsOfTheMonthOnePdfPerEmployeeAndOnePdfForAll) {
  ASSERT_EQ(run({"calcular", "--cia", "01", "--clave", "PLANILLA", "--tc", "03 31"}), 0);
  const std::set<std::string> codes = payrollCodes();
  ASSERT_GE(codes.size(), 2u);
  // The renderer paints with Qt, as the desktop's `pdf` command does.
  int argc = 1;
  char name[] = "planilla";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  auto render = [](const std::string& rpv, const std::string& pdf) { return rpv::renderFileToPdf(rpv, pdf); };

  std::filesystem::create_directory("carpeta");
  delivery::MonthPayslipsResult r;
  int calls = 0, lastDone = 0;
  Status st = delivery::writeMonthPayslips(s, {delivery::PayslipsTo::PdfPerEmployee, delivery::PayslipKind::Monthly, "carpeta"},
                                           render, &r, [&](int done, int total) {
                                             ++calls;
                                             lastDone = done;
                                             EXPECT_EQ(total, static_cast<int>(codes.size()));
                                           });
  ASSERT_TRUE(st.isOk()) << st.message() << shown.str();
  std::set<std::string> expected, written;
  for (const std::string& c : codes) expected.insert("boleta_" + c + "_2026-03.pdf");
  for (const auto& e : std::filesystem::directory_iterator("carpeta")) written.insert(e.path().filename().string());
  EXPECT_EQ(written, expected);
  EXPECT_EQ(r.written, static_cast<int>(codes.size()));
  EXPECT_EQ(calls, static_cast<int>(codes.size()));
  EXPECT_EQ(lastDone, calls);
  EXPECT_EQ(line("Boletas Del Mes (Impresas / PDF)").rfind("Hecho: ", 0), 0u);

  // One PDF: a page per payslip, each naming its employee.
  st = delivery::writeMonthPayslips(s, {delivery::PayslipsTo::OnePdf, delivery::PayslipKind::Monthly, "todas.pdf"},
                                    render, &r);
  ASSERT_TRUE(st.isOk()) << st.message();
  ASSERT_EQ(std::system("pdftotext -layout todas.pdf todas.txt"), 0);
  std::ifstream in("todas.txt");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t slips = 0, pages = 1 + std::count(text.begin(), text.end(), '\f') - (text.back() == '\f');
  for (size_t at = text.find("BOLETA DE REMUNERACIONES"); at != std::string::npos;
       at = text.find("BOLETA DE REMUNERACIONES", at + 1))
    ++slips;
  EXPECT_EQ(slips, codes.size());
  EXPECT_EQ(pages, codes.size());
}

// `planilla importar`: one bad line lists its problem and writes nothing; the sheet
// mended, every row is written and the checklist shows the entries' change.
TEST_F(Month, ImportCommandWritesAllRowsOrNone) {
  std::ofstream("horas.csv") << "CODIGO;HOR/SIMPLE;HOR/DOBLE\r\nE0001;10,5;2\r\nE0002;8;\r\nE0003;x;1\r\n";
  const std::vector<std::string> cmd = {"importar", "horas.csv", "--cia", "01", "--clave", "PLANILLA"};
  const std::string before = line("Ingresos De Trabajador");
  std::string err;
  EXPECT_EQ(run(cmd, &err), 1);
  EXPECT_NE(err.find("linea 4: HOR/SIMPLE: \"x\" No Es Un Numero\n"), std::string::npos) << err;
  EXPECT_EQ(line("Ingresos De Trabajador"), before);
  std::ofstream("horas.csv") << "CODIGO;HOR/SIMPLE;HOR/DOBLE\r\nE0001;10,5;2\r\nE0002;8;\r\nE0003;3;1\r\n";
  EXPECT_EQ(run(cmd, &err), 0) << err;
  EXPECT_NE(line("Ingresos De Trabajador").find("; Ultimo Cambio "), std::string::npos) << line("Ingresos De Trabajador");
}

}  // namespace
}  // namespace planilla
