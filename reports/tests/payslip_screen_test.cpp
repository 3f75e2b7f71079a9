// The payslip screen F_P401 and the employee lookup through the scripted backend.
#include "reports/payslip_screen.h"
#include "calc/runs.h"
#include "reports/payslip.h"
#include "session/tests/demo_fixture.h"

namespace planilla::reports {
namespace {

using testing::DemoFixture;
using ui::MsgKind;

class PayslipScreenTest : public DemoFixture {
 protected:
  // The month's calculation, run by another station of the same data directory.
  void runPayroll() {
    planilla::testing::RecordingMessages msgs;
    Session other(platformFileSystem(), msgs, dir.path());
    other.YCIA = "01";
    other.YFECHA = testing::demoDate();
    ASSERT_TRUE(acceptWorkingDate(other));
    ASSERT_TRUE(calc::PROCE01(other, "03 31 ")) << (msgs.boxes.empty() ? "" : msgs.boxes.back().text);
  }
};

TEST_F(PayslipScreenTest, WithoutWorkingDateTheScreenRefuses) {
  tk.expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Stop");
  F_P401(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(PayslipScreenTest, WithoutTheMonthsResultsTheScreenRefuses) {
  chooseDemoDate();
  tk.expectMessage(MsgKind::Stop, "Archivo Planilla-1 Mes 03 No Existe", "Stop");
  F_P401(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().current(), nullptr);
}

TEST_F(PayslipScreenTest, UnknownCodeThenLookupThenPrint) {
  runPayroll();
  chooseDemoDate();
  tk.expectDialog("REPP401", "Reporte De Boletas")
      .type(102, "zz99")
      .leave(102)
      .expectMessage(MsgKind::Alert, "Codigo Empleado  ZZ99       No Existe", "Error En Ingreso De Dato")
      .expectFocus(102)
      .click(301)
      .expectDialog("", "Ventana De Ayuda (Maestro De Empleados)")
      .keys(1001, "MEN")  // name order: MENDOZA RIOS, CARMEN
      .press("&Selecciona")
      .expectText(102, "E0010")
      .expectFocus(102)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(d.labelById(551)->shown().substr(0, 12), "MENDOZA RIOS"); })
      .press(109);
  F_P401(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  ASSERT_TRUE(exists("Test.rpv"));
  const std::string rpv = read("Test.rpv");
  EXPECT_NE(rpv.find("BOLETA DE REMUNERACIONES"), std::string::npos);
  EXPECT_NE(rpv.find("MENDOZA RIOS"), std::string::npos);
  // The cost centre kept from the lookup closes the payslip.
  EXPECT_NE(rpv.find("KYLE0010/ADM"), std::string::npos);
  EXPECT_EQ(s().current(), nullptr);
}

TEST_F(PayslipScreenTest, TypedCodeIsValidatedAndPrinted) {
  runPayroll();
  chooseDemoDate();
  tk.expectDialog("REPP401").type(102, "e0003").press(109);
  F_P401(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  const std::string rpv = read("Test.rpv");
  EXPECT_NE(rpv.find("GARCIA LUNA"), std::string::npos);
  EXPECT_NE(rpv.find("KYLE0003/PRO"), std::string::npos);
}

TEST_F(PayslipScreenTest, CancelWritesNoReport) {
  runPayroll();
  chooseDemoDate();
  tk.expectDialog("REPP401")
      .click(301)
      .expectDialog("", "Ventana De Ayuda (Maestro De Empleados)")
      .press("&Cancela")
      .expectText(102, "")
      .press(110);
  F_P401(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_FALSE(exists("Test.rpv"));
  EXPECT_EQ(s().current(), nullptr);
}

TEST_F(PayslipScreenTest, LookupByCodeOrderAndDoubleClick) {
  runPayroll();
  chooseDemoDate();
  reports::PayslipValues values;
  ASSERT_TRUE(reports::checkPayslipPreconditions(s(), values));
  EmployeeChoice c;
  // Mode 6 lists by code: the first row is the first code; a double-click chooses it.
  tk.expectDialog("", "Ventana De Ayuda (Maestro De Empleados)").doubleClick(1002, 1);
  CONSULTABANCOS(s(), tk, c, 6, nullptr);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(c.code, "E0001     ");
  EXPECT_EQ(c.costCentre, "ADM   ");
  EXPECT_EQ(c.name.substr(0, 7), "RAMIREZ");
  // Other modes open nothing.
  tk.reset();
  EXPECT_FALSE(KYLAYU(s(), tk, c, 4));
  EXPECT_TRUE(tk.dialogs().empty());
  s().closeAll();
}

}  // namespace
}  // namespace planilla::reports
