// The logs from the command line, on a demo month: an input changed through the record
// helpers after the run makes the payslip command warn (exit code unchanged) until the
// month is calculated again; `planilla bitacora` lists the change and the runs, and
// only for a password that opens the tools.
#include <unistd.h>

#include <sstream>

#include <gtest/gtest.h>

#include "app/cli_session.h"
#include "app/commands.h"
#include "masters/maintenance.h"
#include "session/startup.h"
#include "session/tables.h"
#include "store/catalog.h"
#include "store/tests/temp_dir.h"

namespace planilla {
namespace {

struct Outcome {
  int rc = -1;
  std::string out, err;
};

Outcome run(const std::vector<std::string>& words) {
  Outcome o;
  std::ostringstream out, err;
  for (const auto& c : commandRegistry())
    if (c.name == words.at(0)) o.rc = c.run(std::vector<std::string>(words.begin() + 1, words.end()), out, err);
  o.out = out.str();
  o.err = err.str();
  return o;
}

class Bitacora : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("PLANILLA_CLAVE");
    char buf[4096];
    ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
    home_ = buf;
    ASSERT_EQ(::chdir(scratch_.path().c_str()), 0);
    ASSERT_EQ(run({"init", "datos", "--demo", "--fecha", "31/03/2026"}).rc, 0);
    ASSERT_EQ(::chdir("datos"), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir(home_.c_str()), 0); }
  testutil::TempDir scratch_{"planilla-bitacora"};
  std::string home_;
};

TEST_F(Bitacora, InputChangedAfterTheRunMakesThePayslipWarn) {
  const std::vector<std::string> calcular = {"calcular", "--cia", "01", "--clave", "PLANILLA", "--tc", "03 31"};
  const std::vector<std::string> boleta = {"boleta", "--cia", "01", "--clave", "PLANILLA", "--codigo", "E0001"};
  const std::string warning = "Aviso: Los Datos Del Mes Cambiaron Despues Del Ultimo Calculo";
  ASSERT_EQ(run(calcular).rc, 0);
  Outcome fresh = run(boleta);
  ASSERT_EQ(fresh.rc, 0) << fresh.err;
  EXPECT_EQ(fresh.err.find(warning), std::string::npos) << fresh.err;

  // The pay of E0001 in the month's active employees, changed as the screens change it.
  double before = 0;
  {
    std::ostringstream shown;
    StreamMessages msgs(shown);
    Session s(platformFileSystem(), msgs, ".");
    s.YCIA = "01";
    s.userCode = "QTR";
    ASSERT_TRUE(FECRETE(s, Date(2026, 3, 31)));
    Table* t = openOwnTable(s, catalog::TableId::ActiveEmployees, 1);
    ASSERT_NE(t, nullptr) << shown.str();
    ASSERT_TRUE(t->seek("E0001"));
    before = t->num("BAS_MEN");
    ASSERT_TRUE(masters::changeRecord(s, *t, t->recno(), [&](masters::RecordEdit& e) {
      e.number("BAS_MEN", before + 100);
    })) << shown.str();
    s.closeAll();
  }
  Outcome stale = run(boleta);
  EXPECT_EQ(stale.rc, 0) << stale.err;
  EXPECT_NE(stale.err.find(warning), std::string::npos) << stale.err;
  // The payslips of every employee: told once.
  Outcome all = run({"boletas", "--cia", "01", "--clave", "PLANILLA", "--dir", "pdf"});
  EXPECT_EQ(all.rc, 0) << all.err;
  const size_t first = all.err.find(warning);
  EXPECT_NE(first, std::string::npos) << all.err;
  EXPECT_EQ(all.err.find(warning, first + 1), std::string::npos) << all.err;
  Outcome report = run({"reporte", "libro", "--cia", "01", "--clave", "PLANILLA"});
  EXPECT_EQ(report.rc, 0);
  EXPECT_NE(report.err.find(warning), std::string::npos) << report.err;

  // The log names the change with both values; the register the run.
  char change[64];
  std::snprintf(change, sizeof change, "BAS_MEN: %.2f -> %.2f", before, before + 100);
  Outcome log = run({"bitacora", "--cia", "01", "--clave", "PLANILLA", "--codigo", "e0001"});
  ASSERT_EQ(log.rc, 0) << log.err;
  EXPECT_NE(log.out.find("\tQTR\t"), std::string::npos) << log.out;
  EXPECT_NE(log.out.find("\tp9032601\tE0001\tModificacion\t" + std::string(change) + "\n"), std::string::npos)
      << log.out;
  EXPECT_EQ(run({"bitacora", "--cia", "01", "--clave", "PLANILLA", "--codigo", "E0002"}).out, "");
  Outcome runs = run({"bitacora", "procesos", "--cia", "01", "--clave", "PLANILLA"});
  ASSERT_EQ(runs.rc, 0) << runs.err;
  EXPECT_EQ(runs.out.find("PLANILLA\t202603\tQTR\t"), 0u) << runs.out;
  EXPECT_NE(runs.out.find("\tTerminado\t\n"), std::string::npos) << runs.out;
  EXPECT_EQ(run({"bitacora", "--cia", "01", "--clave", "PLANILLA", "--desde", "31/02/2026"}).rc, 2);

  // Calculated again: the warning is gone.
  ASSERT_EQ(run(calcular).rc, 0);
  Outcome again = run(boleta);
  EXPECT_EQ(again.rc, 0);
  EXPECT_EQ(again.err.find(warning), std::string::npos) << again.err;

  // A password limited to the reports does not see the logs.
  {
    auto t = catalog::openTable(platformFileSystem(), ".", catalog::define(catalog::TableId::Users, {}),
                                OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE((*t)->appendBlank().isOk());
    for (auto [f, v] : {std::pair{"CODIGO", "ANA"}, {"FUNCION", "REPORTES"}, {"ACCESO", "T"}, {"INICIA", "REP1"}})
      ASSERT_TRUE((*t)->replace(f, v).isOk());
    (*t)->close();
  }
  Outcome refused = run({"bitacora", "--cia", "01", "--clave", "REP1"});
  EXPECT_EQ(refused.rc, 2);
  EXPECT_NE(refused.err.find("Acceso Denegado"), std::string::npos);
  EXPECT_EQ(refused.out, "");
}

}  // namespace
}  // namespace planilla
