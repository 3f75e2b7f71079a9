// The CTS of the half-year: the months and the amount on every kind of entry date, and
// the screen that keeps one record per employee and computes it on save.
#include <gtest/gtest.h>

#include "inputs/cts.h"
#include "inputs/tests/inputs_test_util.h"

namespace planilla::inputs {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

struct Case {
  int workMonth;
  Date entry;
  double recompu;
  int meses;
  double dias1, dias2, calculo;
};

// Working year 2016. r12 = R / 12 rounded: 2400 -> 200.00, 1000 -> 83.33 (83.333...),
// 1801.80 -> 150.15, 1000.02 -> 83.34 (83.335 rounds away from zero). A partial first
// month pays r12 / 30 x (30 - d + 1).
TEST(CtsDeposit, EveryKindOfEntryDate) {
  const std::vector<Case> cases = {
      // --- May (half-year November 2015 to April 2016) -------------------------------
      // 15/11 of the year before: 5 months + 16 days: 200/30*16 = 106.666 -> 106.67;
      // 5 * 200 + 106.67 = 1106.67.
      {5, Date(2015, 11, 15), 2400, 5, 15, 106.67, 1106.67},
      // 01/12 of the year before: December to April, 5 months, no days: 1000.00.
      {5, Date(2015, 12, 1), 2400, 5, 1, 0, 1000.00},
      // November two years back: the whole half-year, 6 * 200.
      {5, Date(2014, 11, 20), 2400, 6, 0, 0, 1200.00},
      // 01/11 of the year before: the whole half-year.
      {5, Date(2015, 11, 1), 2400, 6, 1, 0, 1200.00},
      // 10/12 of the year before: January to April + 21 days: 200/30*21 = 140.00; 800 + 140.
      {5, Date(2015, 12, 10), 2400, 4, 10, 140.00, 940.00},
      // 31/12 of the year before: 30 - 31 + 1 = 0 days; 4 * 200.
      {5, Date(2015, 12, 31), 2400, 4, 31, 0, 800.00},
      // October of the year before: before the half-year, 6 months.
      {5, Date(2015, 10, 15), 2400, 6, 0, 0, 1200.00},
      {5, Date(2010, 3, 3), 2400, 6, 0, 0, 1200.00},
      // 01/01 of the working year: n = 5 - 1 = 4 months; DIAS2 = 200/30*30 = 200.00 is
      // stored but not paid with d = 1: 4 * 200 = 800.
      {5, Date(2016, 1, 1), 2400, 4, 1, 200.00, 800.00},
      // 16/01: 4 - 1 = 3 months + 15 days: 200/30*15 = 100.00; 600 + 100.
      {5, Date(2016, 1, 16), 2400, 3, 16, 100.00, 700.00},
      // 01/04: n = 1, one month: 200.
      {5, Date(2016, 4, 1), 2400, 1, 1, 200.00, 200.00},
      // 20/04: no whole month + 11 days: 200/30*11 = 73.333 -> 73.33.
      {5, Date(2016, 4, 20), 2400, 0, 20, 73.33, 73.33},
      // In the deposit month or later, or in a later year: not employed in the
      // half-year, everything zero (never -1 months or a negative amount).
      {5, Date(2016, 5, 1), 2400, 0, 0, 0, 0},
      {5, Date(2016, 5, 15), 2400, 0, 0, 0, 0},
      {5, Date(2016, 8, 10), 2400, 0, 0, 0, 0},
      {5, Date(2017, 2, 5), 2400, 0, 0, 0, 0},
      // --- November (half-year May to October 2016) ------------------------------------
      // 10/06: n = 5, 4 months + 21 days: 140.00; 800 + 140.
      {11, Date(2016, 6, 10), 2400, 4, 10, 140.00, 940.00},
      // 01/03: n = 8, at most 6: 1200 (the 200.00 of DIAS2 stored, not paid).
      {11, Date(2016, 3, 1), 2400, 6, 1, 200.00, 1200.00},
      // Any entry in an earlier year: 6 months.
      {11, Date(2015, 11, 15), 2400, 6, 0, 0, 1200.00},
      // 01/05: n = 6 whole months.
      {11, Date(2016, 5, 1), 2400, 6, 1, 200.00, 1200.00},
      // 02/05: 5 months + 29 days: 200/30*29 = 193.333 -> 193.33; 1000 + 193.33.
      {11, Date(2016, 5, 2), 2400, 5, 2, 193.33, 1193.33},
      // 25/04: n = 7 -> 6 months, days not paid: 1200.
      {11, Date(2016, 4, 25), 2400, 6, 25, 40.00, 1200.00},
      // 01/10: one month; 31/10: no month and no days.
      {11, Date(2016, 10, 1), 2400, 1, 1, 200.00, 200.00},
      {11, Date(2016, 10, 31), 2400, 0, 31, 0, 0},
      {11, Date(2016, 11, 1), 2400, 0, 0, 0, 0},
      {11, Date(2016, 12, 15), 2400, 0, 0, 0, 0},
      // --- rounding ------------------------------------------------------------------------
      // R 1000: r12 83.33; 83.33/30*16 = 44.4426 -> 44.44; 5 * 83.33 = 416.65; + 44.44.
      {5, Date(2015, 11, 15), 1000, 5, 15, 44.44, 461.09},
      // 83.33/30*21 = 58.331 -> 58.33; 4 * 83.33 = 333.32; + 58.33.
      {11, Date(2016, 6, 10), 1000, 4, 10, 58.33, 391.65},
      // r12 150.15; 30/11: one day, 150.15/30 = 5.005 -> 5.01 (a decimal half);
      // 5 * 150.15 = 750.75; + 5.01.
      {5, Date(2015, 11, 30), 1801.80, 5, 30, 5.01, 755.76},
      // r12 = 83.335 -> 83.34; 6 * 83.34.
      {11, Date(2010, 1, 1), 1000.02, 6, 0, 0, 500.04},
      // No entry date: counted as employed before the half-year.
      {5, Date(), 2400, 6, 0, 0, 1200.00},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.workMonth) + " " + c.entry.dmy() + " R " + std::to_string(c.recompu));
    CtsDeposit d = ctsDeposit({c.recompu, c.entry, c.workMonth, 2016});
    EXPECT_EQ(d.meses, c.meses);
    EXPECT_DOUBLE_EQ(d.dias1, c.dias1);
    EXPECT_DOUBLE_EQ(d.dias2, c.dias2);
    EXPECT_DOUBLE_EQ(d.calculo, c.calculo);
  }
}

class CtsScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    st.session.MES_CIE = "Mayo";
    testing::seedMaster(dir.path(), st);
  }
  testing::Stored stored() { return testing::readAll(dir.path(), st.session.def(TableId::CtsMay)); }
  TempDir dir;
  Station st{dir.path()};
};

TEST_F(CtsScreen, OnlyInMayAndNovember) {
  st.session.YMES = "06";
  st.tk.expectMessage(MsgKind::Stop, "Error , No Es Periodo de  CTS", "Stop");
  F_CTS(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  EXPECT_TRUE(st.tk.dialogs().empty());
}

TEST_F(CtsScreen, AddComputesOnSaveAndRefusesASecondRecordAndBadFields) {
  st.tk.expectDialog("MANTE04", "Ingreso Relacion Semestral De CTS  Mayo")
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = testing::listOf(d);
        EXPECT_EQ(br.headerTexts(), (std::vector<std::string>{"Codigo", "Apellidos y Nombre", "Remuneracion",
                                                              "Asig.Fam.", "1/6 Gratificac.", "Fec/Ingreso", "Mes",
                                                              "Calculo"}));
        EXPECT_FALSE(d.control(testing::kPrint)->enabled());
      })
      .press(testing::kAdd)
      .expectDialog("EDITCTS", "Adicionar Registro")
      .choose(102, "PEREZ LUNA JUAN")
      .type(104, "-1")
      .expectText(551, "E001      ")
      .leave(104)
      .expectMessage(MsgKind::Stop, "Rango Fuera De Parametro", "Stop")
      .type(104, "300")
      .type(106, "x")
      .leave(106)
      .expectMessage(MsgKind::Stop, "Error , Ingrese  [D=Dolar] o [S=Soles] o [E=Euro] ", "Stop")
      .type(106, "s")
      .type(108, "950.5")
      .press(301)
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = testing::listOf(d);
        ASSERT_EQ(br.rowCount(), 1);
        EXPECT_EQ(br.row(0)[5], "15/11/2015");
        EXPECT_EQ(br.row(0)[6], " 5");
        EXPECT_EQ(br.row(0)[7], "  1,106.67");
      })
      // The same employee again is refused at the chooser.
      .press(testing::kAdd)
      .expectDialog("EDITCTS", "Adicionar Registro")
      .choose(102, "PEREZ LUNA JUAN")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo E001       Existe", "Stop")
      .press(302)
      .expectMessage(MsgKind::NoYes, testing::discardQuestion(), "Adicionar Registro", true)
      .press(testing::kExit);
  F_CTS(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  // R = 2000 + 100 + 300 = 2400: the first case of the table above.
  EXPECT_EQ(s.rows[0]["nombre"], padTo("PEREZ LUNA JUAN", 50));
  EXPECT_EQ(s.rows[0]["fech_ing"], "20151115");
  EXPECT_EQ(s.rows[0]["moneda"], "S");
  EXPECT_EQ(s.rows[0]["banco"], "BCP ");
  EXPECT_DOUBLE_EQ(s.nums[0]["recompu"], 2400);
  EXPECT_DOUBLE_EQ(s.nums[0]["depante"], 950.5);
  EXPECT_DOUBLE_EQ(s.nums[0]["meses"], 5);
  EXPECT_DOUBLE_EQ(s.nums[0]["dias1"], 15);
  EXPECT_DOUBLE_EQ(s.nums[0]["dias2"], 106.67);
  EXPECT_DOUBLE_EQ(s.nums[0]["calculo"], 1106.67);
}

TEST_F(CtsScreen, ModifyReloadsThePayFromTheMasterAndRecomputes) {
  testing::seed(dir.path(), st.session.def(TableId::CtsMay),
                {{{"codigo", "E001"}, {"nombre", "PEREZ LUNA JUAN"}, {"bas_men", "900"}, {"grati16", "300"},
                  {"moneda", "S"}, {"meses", "2"}, {"calculo", "1"}}});
  st.tk.expectDialog("MANTE04")
      .press(testing::kModify)
      .expectDialog("MODICTS", "Modificar Registro")
      .expectText(552, "PEREZ LUNA JUAN")
      .expectText(551, "E001      ")
      .leave(104)  // reloads 2000 + 100 and the entry 15/11/2015 from the master
      .press(301)
      .press(testing::kExit);
  F_CTS(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_DOUBLE_EQ(s.nums[0]["bas_men"], 2000);
  EXPECT_DOUBLE_EQ(s.nums[0]["recompu"], 2400);   // 2000 + 100 + 300
  EXPECT_DOUBLE_EQ(s.nums[0]["calculo"], 1106.67);  // as the first case above
}

// A working date of the last century: 31/05/1999 is the half-year November 1998 to
// April 1999. Entry 15/11/1998, pay 2400: r12 = 200.00; November is short of its first
// 15 days, so 5 whole months (December to April) + 16 days: 200 / 30 * 16 = 106.666 ->
// 106.67; 5 * 200 + 106.67 = 1106.67 (taken as 2099, the entry would be six whole
// months back: 1200.00).
TEST_F(CtsScreen, WorkingYearOfTheLastCentury) {
  st.session.YANO = "99";
  st.session.ANO_CIE = "1999";
  testing::seedMaster(dir.path(), st,
                      {{{"codigo", "E004"}, {"nombre", "ROJAS DIAZ LUIS"}, {"bas_men", "2400"},
                        {"fech_ing", "19981115"}, {"dolar", "S"}}});
  st.tk.expectDialog("MANTE04")
      .press(testing::kAdd)
      .expectDialog("EDITCTS", "Adicionar Registro")
      .choose(102, "ROJAS DIAZ LUIS")
      .type(106, "S")
      .press(301)
      .press(testing::kExit);
  F_CTS(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["fech_ing"], "19981115");
  EXPECT_DOUBLE_EQ(s.nums[0]["meses"], 5);
  EXPECT_DOUBLE_EQ(s.nums[0]["dias1"], 15);
  EXPECT_DOUBLE_EQ(s.nums[0]["dias2"], 106.67);
  EXPECT_DOUBLE_EQ(s.nums[0]["calculo"], 1106.67);
}

}  // namespace
}  // namespace planilla::inputs
