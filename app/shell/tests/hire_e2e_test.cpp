// End to end on the demo company: an employee hired through the employee form reaches
// the month's active list by "&Refresh", the month is calculated and the new employee
// has a payslip.
#include <gtest/gtest.h>

#include "calc/runs.h"
#include "exports/screens.h"
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
      .pressBar(7);
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
  Session other(platformFileSystem(), msgs, dir.path());
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

// The state's registration the day he starts: the hire's additional data typed from the
// employee form ("Datos &Adicionales"), then "Archivos &T-Registro" for that day writes
// his files (the demo's other employees neither start nor leave on 01/03/2025).
TEST_F(HireEndToEnd, HiredWithHisAdditionalDataIsRegisteredThatDay) {
  chooseDemoDate();
  const masters::ScreenEntry* general = masters::findScreen("F_PJLG01");
  const exports::ScreenEntry* tregistro = exports::findScreen("F_TREG01");
  ASSERT_NE(general, nullptr);
  ASSERT_NE(tregistro, nullptr);
  tk.expectDialog("MANTEP02")
      .pressBar(1)
      .expectDialog("EDITEMPLE", "Adicionar Registro")
      .type(102, "e0099")
      .type(104, "rosa")
      .type(164, "flores")
      .type(166, "mena")
      .type(108, "15/08/1995")
      .type(112, "01/03/2025")
      .type(116, "45678901")
      .type(158, "f")
      .choose(160, "EMPLEADO")
      .type(134, "1800")
      .chooseIndex(169, 0)  // DNI
      .chooseIndex(122, 0)  // 11 active
      .press(403)
      .expectDialog("EDITADIC", "Datos Adicionales E0099 FLORES MENA, ROSA")
      .type(105, "987001122")
      .type(106, "rosa.flores@empresa-demo.test")
      .choose(107, "03 CALLE")
      .type(108, "las flores")
      .type(109, "250")
      .type(120, "140130")
      .chooseIndex(132, 7)  // education 07, secondary complete
      .type(133, "999001")
      .chooseIndex(135, 1)  // contract 01, indefinite
      .chooseIndex(162, 1)  // BCP (002)
      .type(163, "19100011122233")
      .press(401)
      .press(401)
      .pressBar(7);
  general->run(s(), tk);
  ASSERT_TRUE(tk.ok()) << tk.report();

  const std::string base = dir.path() + "/RP_20512345678";
  tk.expectDialog("", "Archivos T-Registro")
      .type(1002, "01/03/2025")
      .press("Aceptar")
      .expectDialog("", "Archivos T-Registro")
      .type(1002, "01/03/2025")
      .press("Aceptar")
      .expectMessage(ui::MsgKind::Info,
                     "Archivos Generados:\r\n" + base + ".ide\r\n" + base + ".tra\r\n" + base + ".per\r\n" + base +
                         ".est\r\n" + base + ".cta",
                     "Mensaje");
  tregistro->run(s(), tk);
  ASSERT_TRUE(tk.ok()) << tk.report();
  // Worked from the form: DNI (DOC 1 -> 01), birth, surnames, names, sex F -> 2, Peruvian
  // 9589, mobile, e-mail, calle 03 LAS FLORES 250, 7 empty parts, no zone, no reference,
  // Santiago de Surco 140130, the second address and field 41 empty.
  EXPECT_EQ(read("RP_20512345678.ide"),
            "01|45678901||15/08/1995|FLORES|MENA|ROSA|2|9589||987001122|rosa.flores@empresa-demo.test|03|LAS FLORES|250|"
            "||||||||||140130|" + std::string(15, '|') + "\r\n");
  // Empleado (23 -> 21), EsSalud 00, no fund: ONP 02; paid into his BCP account.
  EXPECT_EQ(read("RP_20512345678.per"),
            "01|45678901||1|1|01/03/2025||||\r\n01|45678901||1|2|01/03/2025||21||\r\n"
            "01|45678901||1|3|01/03/2025||00||\r\n01|45678901||1|4|01/03/2025||02||\r\n");
  EXPECT_EQ(read("RP_20512345678.cta"), "01|45678901||002|19100011122233|\r\n");
}

}  // namespace
}  // namespace planilla
