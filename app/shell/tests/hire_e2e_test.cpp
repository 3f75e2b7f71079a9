// End to end on the demo company: an employee hired through the employee form reaches
// the month's active list by "&Refresh", the month is calculated and the new employee
// has a payslip.
#include <gtest/gtest.h>

#include "calc/runs.h"
#include "masters/screens.h"
#include "reports/payslip.h"
#include "session/tests/demo_fixture.h"

namespace planilla {
namespace {

class HireEndToEnd : public testing::DemoFixture {};

TEST_F(HireEndToEnd, HiredThroughTheFormGetsAPayslip) {
  chooseDemoDate();  // 31/03/2025: month 03, whose active list the demo already holds
  const masters::ScreenEntry* general = masters::findScreen("F_PJLG01");
  const masters::ScreenEntry* active = masters::findScreen("F_PJLG02");
  ASSERT_NE(general, nullptr);
  ASSERT_NE(active, nullptr);

  tk.expectDialog("MANTEP02", "Mantenimiento Maestro De Empleados")
      .pressBar(1)
      .expectDialog("EDITEMPLE", "Adicionar Registro")
      .type(102, "e0099")
      .type(104, "rosa")
      .type(164, "flores")
      .type(166, "mena")
      .type(112, "01/03/2025")
      .type(116, "45678901")
      .type(118, "asistente")
      .type(158, "f")
      .choose(160, "EMPLEADO")
      .type(134, "1800")
      .type(142, "s")
      .radio(182)
      .type(144, "s")
      .type(148, "n")
      .type(150, "30")
      .chooseIndex(169, 0)
      .chooseIndex(193, 1)
      .chooseIndex(192, 0)
      .chooseIndex(130, 0)
      .chooseIndex(122, 0)
      .chooseIndex(128, 0)  // ADM
      .chooseIndex(172, 0)
      .press(401)
      .pressBar(6);
  general->run(s(), tk);
  ASSERT_TRUE(tk.ok()) << tk.report();

  tk.expectDialog("MANTEP03")
      .press(106)  // "&Refresh" brings the new hire into March
      .press(108)  // "&Dias Real": 31 days
      .press(110);
  active->run(s(), tk);
  ASSERT_TRUE(tk.ok()) << tk.report();

  // The calculation and the payslip, as the command line runs them.
  testing::RecordingMessages msgs;
  Session other(posixFileSystem(), msgs, dir.path());
  other.YCIA = "01";
  other.YFECHA = testing::demoDate();
  ASSERT_TRUE(acceptWorkingDate(other));
  ASSERT_TRUE(calc::PROCE01(other, "03 31 ")) << (msgs.boxes.empty() ? "" : msgs.boxes.back().text);
  reports::PayslipValues values;
  ASSERT_TRUE(reports::checkPayslipPreconditions(other, values));
  ASSERT_TRUE(reports::PREP401(other, "E0099     ", values, "ADM   ", false))
      << (msgs.boxes.empty() ? "" : msgs.boxes.back().text);
  const std::string rpv = read("Test.rpv");
  EXPECT_NE(rpv.find("FLORES MENA"), std::string::npos);
  EXPECT_NE(rpv.find("ASISTENTE"), std::string::npos);
  EXPECT_NE(rpv.find("1,800.00"), std::string::npos);
}

}  // namespace
}  // namespace planilla
