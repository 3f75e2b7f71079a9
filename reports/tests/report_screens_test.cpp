// The report screens through the scripted backend, on the demo company.
#include "reports/report_screens.h"

#include "calc/runs.h"
#include "session/tests/demo_fixture.h"

namespace planilla::reports {
namespace {

using testing::DemoFixture;
using ui::MsgKind;

class ReportScreens : public DemoFixture {
 protected:
  // The month's calculation, run by another station of the same data directory.
  void runPayroll() {
    planilla::testing::RecordingMessages msgs;
    Session other(platformFileSystem(), msgs, dir.path());
    other.YCIA = "01";
    other.YFECHA = testing::demoDate();
    ASSERT_TRUE(acceptWorkingDate(other));
    ASSERT_TRUE(calc::PROCE01(other, "03 31 "));
  }
};

TEST_F(ReportScreens, PeriodDialogsPrintOrCancel) {
  runPayroll();
  chooseDemoDate();
  // Cancel writes nothing; print writes the book.
  tk.expectDialog("REPOR402", "Resumen De Planilla").press(302);
  findReportScreen("F_P406")(s(), tk);
  EXPECT_FALSE(exists("Test.rpv"));
  struct Case {
    const char* function;
    const char* title;
    const char* marker;
  };
  for (const Case& c : {Case{"F_P406", "Resumen De Planilla", "PLANILLA DE REMUNERACIONES"},
                        Case{"F_XXP404", "Resumen PDT-Sunat", "TOTAL PDT-SUNAT"},
                        Case{"F_XXP405", "Resumen Aportes Previsionales", "TOTAL APORTES PREVISIONALES"},
                        Case{"F_P426(3)", "Relacion De Pagos Mensual", "TOTAL PLANILLA"}}) {
    SCOPED_TRACE(c.function);
    tk.expectDialog("REPOR402", c.title).press(301);
    findReportScreen(c.function)(s(), tk);
    EXPECT_TRUE(tk.ok()) << tk.report();
    EXPECT_NE(read("Test.rpv").find(c.marker), std::string::npos);
    EXPECT_EQ(s().current(), nullptr);
  }
  // The gratification screens need the month's gratification results.
  tk.expectMessage(MsgKind::Stop, "Archivo Gratificaciones No Existe ", "Lea El Mensaje");
  findReportScreen("F_P403")(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(ReportScreens, CtsCertificateNeedsItsDateAndDepositsChooseTheBank) {
  chooseDemoDate(Date(2025, 11, 30));
  tk.expectDialog("REPP430", "Liquidacion Deposito Semestral CTS")
      .type(102, "E0003")
      .leave(102)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(d.labelById(551)->shown().substr(0, 11), "GARCIA LUNA"); })
      .press(355)
      .expectMessage(MsgKind::Stop, "Ingrese Fecha Del Certificado", "Mensaje")
      .type(104, "14/11/2025")
      .leave(104)
      .press(355);
  F_P430(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  const std::string cert = read("Test.rpv");
  EXPECT_NE(cert.find("dia 14 De Noviembre Del 2025"), std::string::npos);
  EXPECT_NE(cert.find("Tipo Cambio "), std::string::npos);  // paid in dollars, deposited in soles

  tk.expectDialog("REPP431", "Relacion Depositos CTS").choose(102, "BANCO DE CREDITO DEL PERU").press(109);
  F_P431(s(), tk, 3);
  EXPECT_TRUE(tk.ok()) << tk.report();
  const std::string list = read("Test.rpv");
  EXPECT_NE(list.find("BCP     BANCO DE CREDITO DEL PERU"), std::string::npos);
  EXPECT_NE(list.find("(SOLES) NOVIEMBRE  2025"), std::string::npos);

  // Outside May and November neither opens.
  chooseDemoDate();
  tk.expectMessage(MsgKind::Stop, "File de CTS  No Generada", "Mensaje");
  F_P431(s(), tk, 2);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(ReportScreens, VacationRecordOfTheYear) {
  chooseDemoDate(Date(2025, 12, 31));
  tk.expectDialog("REPP401", "Reporte Record Vacacional").type(102, "E0005").leave(102).press(109);
  findReportScreen("F_P429")(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  // The demo installed in March holds E0005's January vacation only (15 to 29: 15 days),
  // read whatever the working month.
  EXPECT_NE(read("Test.rpv").find("RECORD VACACIONAL EN EL A\xD1O 2025 ====>{t;$c02;a=r} {tab= +4300} 15"),
            std::string::npos);
}

TEST_F(ReportScreens, YearDocumentsAskTheYearAndTheEmployee) {
  runPayroll();
  chooseDemoDate();
  const std::string year = std::to_string(testing::demoDate().year());
  // A year that is not four digits is refused; the working year's results are listed,
  // the months never calculated named.
  tk.expectDialog("", "Resumen Retencion de Quinta Categoria").type(0, "20x6").press("&Aceptar");
  tk.expectMessage(MsgKind::Stop, "A\xF1o No Valido", "Mensaje");
  findReportScreen("F_P424")(s(), tk);
  EXPECT_FALSE(exists("Test.rpv"));
  tk.expectDialog("", "Resumen Retencion de Quinta Categoria").type(0, year).press("&Aceptar");
  findReportScreen("F_P424")(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_NE(read("Test.rpv").find("RESUMEN RETENCIONES QUINTA CATEGORIA  A\xD1O " + year), std::string::npos);
  // The certificate: the year, then the employee dialog with its code check.
  tk.expectDialog("", "Certificado Quinta Categoria").type(0, year).press("&Aceptar");
  tk.expectDialog("REPP401", "Certificado Quinta Categoria").type(102, "E0003").leave(102).press(109);
  findReportScreen("F_P419")(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_NE(read("Test.rpv").find("CERTIFICA: que a Don(na) GARCIA LUNA, JOHN"), std::string::npos);
  EXPECT_EQ(s().current(), nullptr);
}

}  // namespace
}  // namespace planilla::reports
