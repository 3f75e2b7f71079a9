// Reports made from the command line on a data directory other stations use at the
// same time, on a demonstration installation made by `planilla init`: a command
// renders the report it wrote itself, whatever another station writes meanwhile, and
// the values of the tables print as text, never as report markup. The PDFs are read
// back with pdftotext.
#include <filesystem>

#include <gtest/gtest.h>

#include "app/tests/cli_util.h"
#include "store/catalog.h"
#include "store/tests/temp_dir.h"

namespace planilla {
namespace {

using testing::runPlanilla;

class ReportFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(testing::planillaBinary())) GTEST_SKIP() << "no existe el ejecutable planilla";
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext no esta instalado";
    data = scratch.file("d");
    testing::Run r = runPlanilla(scratch.path(), {"init", "d", "--demo", "--fecha", "31/03/2026"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = planilla({"calcular", "--cia", "01", "--tc", "03 31"});
    ASSERT_EQ(r.code, 0) << r.err;
  }
  testing::Run planilla(const std::vector<std::string>& args) { return runPlanilla(data, args); }
  // The text of a PDF as pdftotext reads it ("" when it cannot).
  std::string pdfText(const std::string& pdf) {
    const std::string txt = pdf + ".txt";
    if (std::system(("pdftotext -layout " + testing::quoted(pdf) + " " + testing::quoted(txt) + " 2>/dev/null").c_str()) != 0) return "";
    return testing::slurp(txt);
  }
  // Renames the employee in the master (the payslip's) and the month's active staff
  // (the book's).
  void rename(const std::string& code, const std::string& name) {
    for (catalog::TableId id : {catalog::TableId::EmployeeMaster, catalog::TableId::ActiveEmployees}) {
      auto t = catalog::openTable(platformFileSystem(), data, catalog::define(id, {"01", "03", "26"}), OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk()) << t.status().message();
      ASSERT_TRUE((*t)->seek(code));
      ASSERT_TRUE((*t)->replace("NOMBRE", name).isOk());
      ASSERT_TRUE((*t)->flush().isOk());
    }
  }

  testutil::TempDir scratch{"planilla-reportes"};
  std::string data;
};

// Two stations print payslips of different employees 50 times each, at the same time,
// into the same data directory: every PDF holds the employee it was asked for (the
// reference line "KYL<code>/" closes each payslip), and no private report is left.
TEST_F(ReportFiles, TwoStationsPrintingPayslipsAtOnceEachGetTheirOwn) {
  const std::string bin = testing::quoted(testing::planillaBinary());
  // A run that fails is noted with its number (another station's login may hold the
  // company record a moment: that is reported on stderr, and the run goes on).
  auto station = [&](const std::string& code) {
    return "(cd " + testing::quoted(data) + " && for i in $(seq 50); do PLANILLA_CLAVE=planilla " + bin +
           " boleta --cia 01 --codigo " + code + " --pdf " + testing::quoted(scratch.path() + "/" + code) +
           "_$i.pdf >/dev/null 2>&1 || echo $i >>" + testing::quoted(scratch.path() + "/" + code + ".fallos") + "; done)";
  };
  ASSERT_EQ(std::system((station("E0001") + " & " + station("E0002") + " & wait").c_str()), 0);
  int wrong = 0;
  for (const std::string code : {"E0001", "E0002"}) {
    const std::string other = code == "E0001" ? "E0002" : "E0001";
    EXPECT_EQ(testing::slurp(scratch.path() + "/" + code + ".fallos"), "") << code;
    for (int i = 1; i <= 50; ++i) {
      const std::string text = pdfText(scratch.path() + "/" + code + "_" + std::to_string(i) + ".pdf");
      const bool own = text.find("KYL" + code + "/") != std::string::npos;
      const bool theirs = text.find("KYL" + other + "/") != std::string::npos;
      if (!own || theirs) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0) << "boletas con otro trabajador o ilegibles, de 100";
  for (const auto& e : std::filesystem::directory_iterator(data)) {
    const std::string name = e.path().filename().string();
    EXPECT_FALSE(name.rfind("Test-", 0) == 0 || name.find(".tmp-") != std::string::npos) << name;
  }
}

// Braces, backslashes and commands in a name print as written: the payslip stays one
// page, the payroll book keeps its pages.
TEST_F(ReportFiles, MarkupInANamePrintsAsText) {
  const std::string book = scratch.path() + "/libro.pdf";
  testing::Run r = planilla({"reporte", "libro", "--cia", "01", "--pdf", book});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string pages = r.out.substr(r.out.rfind(": "));
  const std::string name = "RAMIREZ {SOTO} {s=144} {\\np} C:\\";
  rename("E0001", name);
  r = planilla({"reporte", "libro", "--cia", "01", "--pdf", book});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(r.out.rfind(": ")), pages);
  EXPECT_NE(pdfText(book).find(name), std::string::npos);
  const std::string slip = scratch.path() + "/boleta.pdf";
  r = planilla({"boleta", "--cia", "01", "--codigo", "E0001", "--pdf", slip});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(": 1 pagina(s)"), std::string::npos) << r.out;
  EXPECT_NE(pdfText(slip).find(name), std::string::npos);
}

}  // namespace
}  // namespace planilla
