// End to end on the demo company: the month's inputs typed through the screens reach
// the calculation runs and the payslips.
#include <gtest/gtest.h>

#include "calc/runs.h"
#include "inputs/gratification_roll.h"
#include "inputs/income_entries.h"
#include "inputs/tests/inputs_test_util.h"
#include "inputs/vacations.h"
#include "reports/payslip.h"
#include "session/tests/demo_fixture.h"

namespace planilla::inputs {
namespace {

using catalog::TableId;

class MonthEndToEnd : public planilla::testing::DemoFixture {
 protected:
  // A second station runs the calculation and the payslips, as the command line does,
  // so that their closing messages need no script.
  std::unique_ptr<Session> runner(const Date& d) {
    auto r = std::make_unique<Session>(platformFileSystem(), msgs, dir.path());
    r->YCIA = "01";
    r->YFECHA = d;
    EXPECT_TRUE(acceptWorkingDate(*r));
    return r;
  }
  std::string last() const { return msgs.boxes.empty() ? std::string() : msgs.boxes.back().text; }
  // The payslip of `code` (report file text).
  std::string payslip(Session& r, const std::string& code) {
    reports::PayslipValues values;
    EXPECT_TRUE(reports::checkPayslipPreconditions(r, values)) << last();
    EXPECT_TRUE(reports::PREP401(r, padTo(code, 10), values, "      ", false)) << last();
    return read("Test.rpv");
  }
  planilla::testing::RecordingMessages msgs;
};

// The amount printed after an item's label in the payslip's amount lines (the label
// followed by the tags of its amount column).
std::string itemAmount(const std::string& rpv, const std::string& label) {
  size_t at = rpv.find(label + "{e;");
  if (at == std::string::npos) return "(no " + label + ")";
  size_t i = at + label.size();
  while (i < rpv.size() && (rpv[i] == '{' || rpv[i] == ' ')) i = rpv[i] == '{' ? rpv.find('}', i) + 1 : i + 1;
  const std::string v = rpv.substr(i, rpv.find('{', i) - i);
  return v.substr(0, v.find_last_not_of(' ') + 1);
}

TEST_F(MonthEndToEnd, TypedInputsOfThreeEmployeesReachTheirPayslips) {
  chooseDemoDate();  // 31/03/2025
  const int kAdd = testing::kAdd;
  tk.expectDialog("MANTE04I", "Ingreso De Datos Mensual Marzo")
      .press(kAdd)
      .expectDialog("EDITHORAE")
      .type(102, "E0015")
      .type(104, "10")    // overtime hours at the first rate
      .type(108, "150")   // meal allowance
      .press(201)
      .press(kAdd)
      .expectDialog("EDITHORAE")
      .type(102, "E0024")
      .type(114, "120")   // mobility
      .type(122, "200")   // advance
      .press(201)
      .press(kAdd)
      .expectDialog("EDITHORAE")
      .type(102, "E0029")
      .type(112, "300")   // productivity bonus
      .type(130, "20")    // union dues
      .press(201)
      .press(testing::kExit);
  F_PFMR201(s(), tk);
  ASSERT_TRUE(tk.ok()) << tk.report();
  tk.expectDialog("MANTE04", "Rol De Vacaciones Marzo")
      .press(kAdd)
      .expectDialog("EDITVACAE")
      .type(102, "E0029")
      .type(104, "03/03/2025")
      .type(106, "07/03/2025")
      .press(201)
      .press(testing::kExit);
  F_PFMR202(s(), tk);
  ASSERT_TRUE(tk.ok()) << tk.report();

  auto r = runner(planilla::testing::demoDate());
  ASSERT_TRUE(calc::PROCE01(*r, "03 31 ")) << last();
  // E0015: 2800 + 113 allowance; hourly rate (2913 / 30 / 8 = 12.1375) 12.14, first rate
  // x 1.25 = 15.175 -> 15.18, 10 hours = 151.80.
  std::string p = payslip(*r, "E0015");
  EXPECT_EQ(itemAmount(p, "Horas Extras  :"), "151.80");
  EXPECT_EQ(itemAmount(p, "Refrigerio    :"), "150.00");
  p = payslip(*r, "E0024");
  EXPECT_EQ(itemAmount(p, "Movilidad     :"), "120.00");
  EXPECT_EQ(itemAmount(p, " Adelantos         :"), "200.00");
  // E0029: 5 vacation days (7 - 3 + 1) of 1250 a month: 1250 / 30 x 5 = 208.33.
  p = payslip(*r, "E0029");
  EXPECT_EQ(itemAmount(p, "Bono Producc. :"), "300.00");
  EXPECT_EQ(itemAmount(p, " Cuota Sindical    :"), "20.00");
  EXPECT_EQ(itemAmount(p, "Vacaciones    :"), "208.33");
}

TEST_F(MonthEndToEnd, GratificationRollEntryChangesTheJulyRun) {
  const Date july(2025, 7, 31);
  ASSERT_TRUE(installDemo(platformFileSystem(), dir.path(), july).isOk());
  chooseDemoDate(july);
  // E0024 (800 a month, no allowance) with three months, ten days and a discount of 40.
  tk.expectDialog("MANTE04", "Ingreso Rol De GratificacionesJulio")
      .press(testing::kSearch)
      .expectDialog("", "Buscar")
      .type(0, "E0024")
      .press("&Aceptar")
      .press(testing::kModify)
      .expectDialog("MODIGRATI", "Modificar Registro")
      .expectText(551, "E0024     ")
      .type(104, "3")
      .type(106, "10")
      .type(112, "40")
      .press(301)
      .press(testing::kExit);
  F_PFMR203(s(), tk);
  ASSERT_TRUE(tk.ok()) << tk.report();

  auto r = runner(july);
  ASSERT_TRUE(calc::PROCE05(*r, "07 31 ")) << last();
  r->closeAll();
  auto he = testing::readAll(dir.path(), s().def(TableId::GratSoles));
  const std::map<std::string, double>* row = nullptr;
  for (size_t i = 0; i < he.rows.size(); ++i)
    if (he.rows[i]["codigo"] == "E0024     ") row = &he.nums[i];
  ASSERT_NE(row, nullptr);
  // A sixth of 800 = 133.333...: 3 months 400.00 + 10 days 133.333 / 30 x 10 = 44.44.
  EXPECT_DOUBLE_EQ(row->at("gratif"), 444.44);
  EXPECT_DOUBLE_EQ(row->at("adelanto"), 40);  // the discount, nothing paid in advance
}

}  // namespace
}  // namespace planilla::inputs
