// The screens over the month's results: the gratification editor's running totals and
// the read-only payroll detail.
#include <gtest/gtest.h>

#include "inputs/result_editors.h"
#include "inputs/tests/inputs_test_util.h"
#include "session/install.h"

namespace planilla::inputs {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

// One result record: deductions 100 + 130 = 230, contributions 90 + 10 = 100; the payroll
// detail shows PRODUC 55 and SNPE 7 where the gratification form has BONIFI 77 and
// FONAVIE 10. The stored gross and net are as a run left them; the form recomputes
// them from its own fields.
const std::map<std::string, std::string> kResult = {
    {"codigo", "E001"},   {"nombre", "PEREZ LUNA JUAN"}, {"bas_qui", "1000"}, {"asigna", "100"},
    {"gratif", "500"},    {"produc", "55"},             {"bonifi", "77"},    {"tbruto", "1600"},
    {"adelanto", "100"},  {"snpt", "130"},              {"t_dsctot", "230"}, {"tpagar", "1370"},
    {"ipsse", "90"},      {"fonavie", "10"},            {"snpe", "7"},       {"t_dsctoe", "100"}};

class ResultEditors : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
    st.session.MES_CIE = "Mayo";
    testing::seedMaster(dir.path(), st);
  }
  TempDir dir;
  Station st{dir.path()};
};

TEST_F(ResultEditors, GratificationTotalsFollowTheAmountsTyped) {
  st.tk.expectMessage(MsgKind::Stop, "Archivo Gratificacion  05 No Existe", "Stop");
  F_GRATIFI(st.session, st.tk);
  ASSERT_TRUE(st.tk.ok()) << st.tk.report();

  const catalog::TableDef he = st.session.def(TableId::GratSoles);
  ASSERT_TRUE(catalog::recreateCalcFile(platformFileSystem(), dir.path(), he).isOk());
  testing::seed(dir.path(), he, {kResult});
  st.tk.expectDialog("MANTE04", "Archivo De Gratificacion Mayo")
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = testing::listOf(d);
        ASSERT_EQ(br.headerTexts().size(), 24u);
        EXPECT_EQ(br.headerTexts()[7], "GRATIFICACION");
        EXPECT_EQ(br.headerTexts()[8], "BONIFICACION");
        EXPECT_EQ(br.row(0)[7], "   500.00");
        EXPECT_NE(d.messageBarText().find("reemplaza"), std::string::npos);
      })
      .press(testing::kModify)
      .expectDialog("EDITSUELDO", "Modificar Registro")
      .expectText(114, "     77.00")
      .type(104, "1200")
      .leave(104)
      // The ten incomes: 1200 + 100 + 77 (bonus) + 500 = 1877; net 1877 - 230.
      .expectText(142, "  1,877.00")
      .expectText(150, "  1,647.00")
      .type(124, "-5")
      .leave(124)
      .expectMessage(MsgKind::Stop, "Importe Debe Ser Mayor Que Cero", "Mensaje")
      .type(124, "150")
      .leave(124)
      .expectText(140, "    280.00")  // 150 + 130
      .expectText(150, "  1,597.00")  // 1877 - 280
      .type(146, "25")
      .leave(146)
      .expectText(148, "    115.00")  // 90 + 25
      .press(201)
      // By hand: E003 with 700 of salary.
      .press(testing::kAdd)
      .expectDialog("EDITSUELDO", "Adicionar Registro")
      .type(102, "E003")
      .type(104, "700")
      .leave(104)
      .expectText(142, "    700.00")
      .expectText(150, "    700.00")
      .press(201)
      .press(testing::kExit);
  F_GRATIFI(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = testing::readAll(dir.path(), he);
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_DOUBLE_EQ(s.nums[0]["bas_qui"], 1200);
  EXPECT_DOUBLE_EQ(s.nums[0]["tbruto"], 1877);
  EXPECT_DOUBLE_EQ(s.nums[0]["adelanto"], 150);
  EXPECT_DOUBLE_EQ(s.nums[0]["t_dsctot"], 280);
  EXPECT_DOUBLE_EQ(s.nums[0]["tpagar"], 1597);
  EXPECT_DOUBLE_EQ(s.nums[0]["fonavie"], 25);
  EXPECT_DOUBLE_EQ(s.nums[0]["t_dsctoe"], 115);
  EXPECT_DOUBLE_EQ(s.nums[0]["bonifi"], 77);
  EXPECT_DOUBLE_EQ(s.nums[0]["produc"], 55);  // not on the gratification form
  EXPECT_EQ(s.rows[1]["codigo"], "E003      ");
  EXPECT_EQ(s.rows[1]["nombre"], padTo("QUISPE MAMANI ROSA", 50));
  EXPECT_DOUBLE_EQ(s.nums[1]["tpagar"], 700);
}

TEST_F(ResultEditors, PayrollDetailNeverWrites) {
  st.tk.expectMessage(MsgKind::Stop, "Archivo Planilla-1 Mes 05 No Existe", "Stop");
  F_SUELDOS(st.session, st.tk);
  ASSERT_TRUE(st.tk.ok()) << st.tk.report();

  const catalog::TableDef e2 = st.session.def(TableId::PayrollSoles);
  ASSERT_TRUE(catalog::recreateCalcFile(platformFileSystem(), dir.path(), e2).isOk());
  testing::seed(dir.path(), e2, {kResult});
  const auto before = testing::readAll(dir.path(), e2);
  st.tk.expectDialog("MANTE041", "Archivo De Sueldos Mensual Mayo")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(testing::listOf(d).headerTexts()[7], "BONO/PRODUC"); })
      .press(103)
      .expectDialog("EDITSUELDO", "Consulta Detallada Del Trabajador")
      .expectText(104, "  1,000.00")
      .expectText(114, "     55.00")  // PRODUC
      .expectText(146, "      7.00")  // SNPE
      .expectText(551, "PEREZ LUNA JUAN")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(d.fieldById(104), nullptr); })  // shown, not editable
      .press(201)
      .doubleClick(101, 1)
      .expectDialog("EDITSUELDO", "Consulta Detallada Del Trabajador")
      .type(102, "")
      .press(201)
      .expectMessage(MsgKind::Stop, "Codigo  En Blanco", "Stop")
      .press(107);
  F_SUELDOS(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  const auto after = testing::readAll(dir.path(), e2);
  EXPECT_EQ(after.rows, before.rows);
}

}  // namespace
}  // namespace planilla::inputs
