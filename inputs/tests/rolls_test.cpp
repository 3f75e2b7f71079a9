// The vacation roll and the gratification roll as an operator keeps them.
#include <gtest/gtest.h>

#include "inputs/gratification_roll.h"
#include "inputs/tests/inputs_test_util.h"
#include "inputs/vacations.h"
#include "session/install.h"

namespace planilla::inputs {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

const char* kWrongMonth = "Mes Debe ser Coincidente Con Mes del Cierre de la Planilla";

// March 2016, with the shipped roll template, the master and the month's active list.
class Rolls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
    st.session.YMES = "03";
    st.session.MES_CIE = "Marzo";
    testing::seedMaster(dir.path(), st);
    testing::seed(dir.path(), st.session.def(TableId::ActiveEmployees), {});
  }
  testing::Stored stored(TableId id) { return testing::readAll(dir.path(), st.session.def(id)); }
  TempDir dir;
  Station st{dir.path()};
};

TEST_F(Rolls, VacationInsideTheMonthWithItsDays) {
  st.tk.expectDialog("MANTE04", "Rol De Vacaciones Marzo")
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(testing::listOf(d).headerTexts(),
                  (std::vector<std::string>{"CODIGO", "N O M B R E S", "INICIO VACACIONES", "FIN VACACIONES",
                                            "DIAS TOMADOS"}));
      })
      .press(testing::kAdd)
      .expectDialog("EDITVACAE", "Adicionar Registro")
      .type(102, "E001")
      .type(104, "")
      .leave(104)
      .expectMessage(MsgKind::Stop, "Ingrese Fecha", "Stop")
      .type(104, "10/04/2016")
      .leave(104)
      .expectMessage(MsgKind::Stop, kWrongMonth, "Stop")
      .type(104, "10/03/2016")
      .type(106, "09/03/2016")
      .leave(106)
      .expectMessage(MsgKind::Stop, "Dia Debe ser Mayor/Igual a Dia de Inicio de Vacaciones", "Stop")
      .type(106, "24/03/2016")
      .leave(106)
      .expectText(108, "15")  // 24 - 10 + 1
      .press(201)
      // A second period for E002 whose first day is moved after the last day was left:
      // the days follow the dates saved (24 - 20 + 1 = 5), not the 15 shown before.
      .press(testing::kAdd)
      .expectDialog("EDITVACAE", "Adicionar Registro")
      .type(102, "E002")
      .type(104, "10/03/2016")
      .type(106, "24/03/2016")
      .leave(106)
      .type(104, "20/03/2016")
      .press(201)
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = testing::listOf(d);
        ASSERT_EQ(br.rowCount(), 2);
        EXPECT_EQ(br.row(0)[2], "10/03/2016");
        EXPECT_EQ(br.row(0)[4], "15");
      })
      .press(testing::kAdd)
      .expectDialog("EDITVACAE", "Adicionar Registro")
      .press(201)
      .expectMessage(MsgKind::Stop, "Codigo En Blanco", "Stop")
      .press(testing::kExit);
  F_PFMR202(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored(TableId::VacationRoll);
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_EQ(s.rows[0]["codigo"], "E001      ");
  EXPECT_EQ(s.rows[0]["nombre"], padTo("PEREZ LUNA JUAN", 50));
  EXPECT_EQ(s.rows[0]["inivaca"], "20160310");
  EXPECT_EQ(s.rows[0]["finvaca"], "20160324");
  EXPECT_DOUBLE_EQ(s.nums[0]["diavac"], 15);
  EXPECT_DOUBLE_EQ(s.nums[0]["control"], 1);
  EXPECT_DOUBLE_EQ(s.nums[0]["difvac"], 0);
  EXPECT_DOUBLE_EQ(s.nums[1]["diavac"], 5);
}

TEST_F(Rolls, FebruaryCountsThirtyAndModifyKeepsControl) {
  st.session.YMES = "02";
  testing::seed(dir.path(), st.session.def(TableId::ActiveEmployees), {});
  testing::seed(dir.path(), st.session.def(TableId::VacationRoll),
                {{{"codigo", "E003"}, {"nombre", "QUISPE MAMANI ROSA"}, {"inivaca", "20160201"},
                  {"finvaca", "20160205"}, {"diavac", "5"}, {"difvac", "5"}, {"control", "3"}}});
  st.tk.expectDialog("MANTE04")
      .press(testing::kModify)
      .expectDialog("EDITVACAE", "Modificar Registro")
      .expectText(108, "05")
      .type(106, "28/02/2016")
      .leave(106)
      .expectText(108, "28")
      .press(201)
      .press(testing::kExit);
  F_PFMR202(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored(TableId::VacationRoll);
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_DOUBLE_EQ(s.nums[0]["diavac"], 28);
  EXPECT_DOUBLE_EQ(s.nums[0]["difvac"], 30);  // more than 27 days in February
  EXPECT_DOUBLE_EQ(s.nums[0]["control"], 3);  // never changed by the modify dialog
}

// The days taken from the two dates (last - first + 1): a one-day vacation is taken;
// in February more than 27 days count as the month's 30, up to 27 as they are; other
// months keep DIFVAC as it was.
TEST_F(Rolls, DaysTakenAndFebruarysThirty) {
  struct Case {
    const char* mes;
    Date first, last;
    const char* text;
    double difvac;
  };
  const Case cases[] = {
      {"02", Date(2016, 2, 1), Date(2016, 2, 27), "27", 27},  // 27 - 1 + 1
      {"02", Date(2016, 2, 1), Date(2016, 2, 28), "28", 30},
      {"02", Date(2016, 2, 2), Date(2016, 2, 29), "28", 30},
      {"02", Date(2016, 2, 9), Date(2016, 2, 9), "1", 1},
      {"03", Date(2016, 3, 9), Date(2016, 3, 9), "1", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first.dmy() + " - " + c.last.dmy());
    st.session.YMES = c.mes;
    VacationDays days;
    days.difvac = -1;
    EXPECT_TRUE(CCAM02(st.session, c.first, c.last, days));
    EXPECT_EQ(days.text, c.text);
    EXPECT_DOUBLE_EQ(days.difvac, c.difvac);
  }
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();  // no message
}

TEST_F(Rolls, VacationScreenRefusals) {
  // 1 January works on month "00": no date is in it.
  st.session.YMES = "00";
  st.tk.expectMessage(MsgKind::Stop, kWrongMonth, "Stop");
  EXPECT_FALSE(CCAM01(st.session, Date(2016, 1, 1)));
  st.session.YMES = "04";  // April has no active list
  st.tk.expectMessage(MsgKind::Stop, "Maestro Empleados Activos No Existe", "Stop");
  F_PFMR202(st.session, st.tk);
  st.session.YANO = "  ";
  st.tk.expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar (a#o)", "Stop");
  F_PFMR202(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  EXPECT_FALSE(dir.has("ve010416.dbf"));
}

TEST_F(Rolls, GratificationRollOutsideJulyWarnsAndChecksItsFields) {
  st.tk.expectMessage(MsgKind::Stop, "Recuerde Solo   JULIO-DICIEMBRE  , Opcion Ejecutable ", "Stop")
      .expectDialog("MANTE04", "Ingreso Rol De GratificacionesMarzo")
      .press(testing::kAdd)
      .expectDialog("EDITGRATI", "Adicionar Registro")
      .expectText(118, "S")
      .choose(102, "ALVA ROJAS ANA")
      .type(104, "5")
      .expectText(551, "E002      ")
      .type(106, "30")
      .leave(106)
      .expectMessage(MsgKind::Alert, "Rango Fuera De Parametro", "Error En Ingreso De Dato")
      .type(106, "29")
      .type(112, "-1")
      .leave(112)
      .expectMessage(MsgKind::Alert, "Descuento Fuera De Rango  ", "Error En Ingreso De Dato")
      .type(112, "50")
      .type(116, "300")
      .type(118, "x")
      .leave(118)
      .expectMessage(MsgKind::Stop, "Error , Ingrese  [S=Si] o [N=No]", "Lea   El   Mensaje")
      .type(118, "n")
      .press(301)
      // The same employee again.
      .press(testing::kAdd)
      .expectDialog("EDITGRATI", "Adicionar Registro")
      .choose(102, "ALVA ROJAS ANA")
      .press(301)
      .expectMessage(MsgKind::Stop, "Codigo E002       Existe", "Stop")
      .press(302)
      .expectMessage(MsgKind::NoYes, testing::discardQuestion(), "Adicionar Registro", true)
      // Modify: the employee is shown, not offered.
      .press(testing::kModify)
      .expectDialog("MODIGRATI", "Modificar Registro")
      .expectText(552, "ALVA ROJAS ANA")
      .expectText(551, "E002      ")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(d.control(102), nullptr); })
      .type(114, "12.5")
      .press(301)
      .press(testing::kExit);
  F_PFMR203(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored(TableId::GratificationRoll);
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["codigo"], "E002      ");
  EXPECT_EQ(s.rows[0]["nombre"], padTo("ALVA ROJAS ANA", 50));
  EXPECT_EQ(s.rows[0]["indica"], "N");
  EXPECT_DOUBLE_EQ(s.nums[0]["mes"], 5);
  EXPECT_DOUBLE_EQ(s.nums[0]["dia"], 29);
  EXPECT_DOUBLE_EQ(s.nums[0]["dscto"], 50);
  EXPECT_DOUBLE_EQ(s.nums[0]["desgrat"], 12.5);
  EXPECT_DOUBLE_EQ(s.nums[0]["dscley"], 300);
}

}  // namespace
}  // namespace planilla::inputs
