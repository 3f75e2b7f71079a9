// The month's entries screen as an operator works it, and the shared code check,
// lookup and search it is built from.
#include <gtest/gtest.h>

#include "inputs/income_entries.h"
#include "inputs/tests/inputs_test_util.h"
#include "session/tables.h"
#include "ui/dialogs.h"

namespace planilla::inputs {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

class IncomeEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    st.session.MES_CIE = "Mayo";
    testing::seedMaster(dir.path(), st);
  }
  testing::Stored stored() { return testing::readAll(dir.path(), st.session.def(TableId::IncomeEntries)); }
  TempDir dir;
  Station st{dir.path()};
};

TEST_F(IncomeEntries, AddThroughTheLookupBlankAndUnknownCodesAndSearch) {
  st.tk.expectDialog("MANTE04I", "Ingreso De Datos Mensual Mayo")
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = testing::listOf(d);
        EXPECT_EQ(br.rowCount(), 0);  // the month's table was created empty
        EXPECT_EQ(br.headerTexts().size(), 10u);
        EXPECT_EQ(br.headerTexts()[2], "HOR/SIMPLE");
        EXPECT_EQ(d.control(testing::kAdd)->tooltipText(), "Adiciona Registro de Empleado");
      })
      .press(testing::kAdd)
      .expectDialog("EDITHORAE", "Adicionar Registro")
      .type(102, "e009")
      .leave(102)
      .expectMessage(MsgKind::Alert, "Codigo Empleado  E009       No Existe", "Error En Ingreso De Dato")
      .expectFocus(102)
      // The lookup in name order: "QU" finds QUISPE.
      .click(301)
      .expectDialog("", "Ventana De Ayuda (Maestro De Empleados)")
      .keys(ui::kLookupSearchId, "QU")
      .press("&Selecciona")
      .expectText(102, "E003")
      .expectText(551, "QUISPE MAMANI ROSA")
      .expectFocus(102)
      .inspect([&](ui::Dialog& d) {
        EXPECT_EQ(st.session.alias("HorEmplea")->order(), 2);  // name order until the code is checked
        EXPECT_EQ(d.fieldById(128)->tooltipText(), "Importe Inafecto (cuestion monetaria)");
      })
      .type(104, "4.5")
      .inspect([&](ui::Dialog&) { EXPECT_EQ(st.session.alias("HorEmplea")->order(), 1); })
      .type(110, "30")
      .type(128, "12.5")
      .type(130, "25")
      .press(201)
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = testing::listOf(d);
        ASSERT_EQ(br.rowCount(), 1);
        EXPECT_EQ(br.row(0)[2], "   4.50");
        EXPECT_EQ(br.row(0)[5], "   30.00");
        EXPECT_EQ(br.row(0)[9], "   25.00");
      })
      // A blank code saves nothing.
      .press(testing::kAdd)
      .expectDialog("EDITHORAE", "Adicionar Registro")
      .type(106, "3")
      .press(201)
      .expectMessage(MsgKind::Stop, "Codigo  En Blanco", "Stop")
      // A code without entry: the cursor stays.
      .press(testing::kSearch)
      .expectDialog("", "Buscar")
      .type(0, "E777")
      .press("&Aceptar")
      .expectMessage(MsgKind::Stop, "Codigo E777       No Existe", "Stop")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(testing::listOf(d).currentRow(), 0); })
      .press(testing::kExit);
  F_PFMR201(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["codigo"], "E003      ");
  EXPECT_EQ(s.rows[0]["nombre"], padTo("QUISPE MAMANI ROSA", 60));
  EXPECT_DOUBLE_EQ(s.nums[0]["simple"], 4.5);
  EXPECT_DOUBLE_EQ(s.nums[0]["diastra"], 30);
  EXPECT_DOUBLE_EQ(s.nums[0]["retjud"], 12.5);
  EXPECT_DOUBLE_EQ(s.nums[0]["cuosin"], 25);
  EXPECT_DOUBLE_EQ(s.nums[0]["sumini"], 0);
  EXPECT_DOUBLE_EQ(s.nums[0]["doble"], 0);
}

TEST_F(IncomeEntries, ModifyKeepsSuminiAndMayChangeTheEmployee) {
  testing::seed(dir.path(), st.session.def(TableId::IncomeEntries),
                {{{"codigo", "E001"}, {"nombre", "PEREZ LUNA JUAN"}, {"refrige", "50"}, {"sumini", "120"}}});
  st.tk.expectDialog("MANTE04I")
      .doubleClick(101, 1)
      .expectDialog("EDITHORAE", "Modificar Registro")
      .expectText(102, "E001")
      .type(102, "E002")
      .leave(102)
      .expectText(551, "ALVA ROJAS ANA")
      .type(108, "80")
      .press(201)
      .press(testing::kExit);
  F_PFMR201(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["codigo"], "E002      ");
  EXPECT_EQ(s.rows[0]["nombre"], padTo("ALVA ROJAS ANA", 60));
  EXPECT_DOUBLE_EQ(s.nums[0]["refrige"], 80);
  EXPECT_DOUBLE_EQ(s.nums[0]["sumini"], 120);
}

// Each field of the form lands in its own column (the form's order: 104 SIMPLE, 106
// DOBLE ... 124 OTROSEGR, 126 TARDAN, 128 RETJUD, 130 CUOSIN), and an employee has one
// entry a month: the run pays only the first, so a second is refused at the code, on add
// and when a modify would move another entry onto it.
TEST_F(IncomeEntries, EveryAmountInItsOwnFieldAndOneEntryPerEmployee) {
  testing::seed(dir.path(), st.session.def(TableId::IncomeEntries),
                {{{"codigo", "E002"}, {"nombre", "ALVA ROJAS ANA"}, {"movili", "50"}}});
  const std::vector<std::pair<int, const char*>> fields = {
      {104, "simple"}, {106, "doble"},  {108, "refrige"},  {110, "diastra"},  {112, "produc"},
      {114, "movili"}, {116, "utili"},  {118, "cts"},      {120, "subsid"},   {122, "adelanto"},
      {124, "otrosegr"}, {126, "tardan"}, {128, "retjud"}, {130, "cuosin"}};
  auto value = [](size_t i) { return static_cast<double>(i + 1) + 0.25; };  // 1.25, 2.25 ... 14.25
  const std::string taken = "Codigo E001       Ya Tiene Ingresos Este Mes, Use Modificar En Su Registro";
  auto& script = st.tk.expectDialog("MANTE04I").press(testing::kAdd).expectDialog("EDITHORAE").type(102, "E001");
  for (size_t i = 0; i < fields.size(); ++i) script.type(fields[i].first, std::to_string(i + 1) + ".25");
  script.press(201)
      .press(testing::kAdd)
      .expectDialog("EDITHORAE", "Adicionar Registro")
      .type(102, "E001")
      .leave(102)
      .expectMessage(MsgKind::Stop, taken, "Stop")
      .expectFocus(102)
      .press(202)
      .expectMessage(MsgKind::NoYes, testing::discardQuestion(), "Adicionar Registro", true)
      .doubleClick(101, 2)
      .expectDialog("EDITHORAE", "Modificar Registro")
      .expectText(102, "E002")
      .type(102, "E001")
      .leave(102)
      .expectMessage(MsgKind::Stop, taken, "Stop")
      .press(202)
      .expectMessage(MsgKind::NoYes, testing::discardQuestion(), "Modificar Registro", true)
      .press(testing::kExit);
  F_PFMR201(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_EQ(s.rows[0]["codigo"], "E002      ");
  EXPECT_DOUBLE_EQ(s.nums[0]["movili"], 50);
  EXPECT_EQ(s.rows[1]["codigo"], "E001      ");
  for (size_t i = 0; i < fields.size(); ++i) EXPECT_DOUBLE_EQ(s.nums[1][fields[i].second], value(i)) << fields[i].second;
}

TEST(IncomeEntriesRefused, WithoutPeriodOrMaster) {
  TempDir dir;
  Station st(dir.path());
  st.tk.expectMessage(MsgKind::Stop, "Maestro De Trabajadores  No Existe, (Crearlo)", "Stop");
  F_PFMR201(st.session, st.tk);
  st.session.YMES = "  ";
  st.tk.expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar", "Mensaje");
  F_PFMR201(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  EXPECT_FALSE(dir.has("ph010516.dbf"));
}

// Two stations on one data directory: while one holds the entry, the other's change is
// refused and nothing is written.
TEST(IncomeEntriesTwoStations, SecondLockIsRefusedAndNothingIsWritten) {
  TempDir dir;
  Station a(dir.path(), true), b(dir.path(), true);
  testing::seedMaster(dir.path(), a);
  const catalog::TableDef def = a.session.def(TableId::IncomeEntries);
  testing::seed(dir.path(), def, {{{"codigo", "E001"}, {"nombre", "PEREZ LUNA JUAN"}, {"adelanto", "300"}}});
  const auto before = testing::readAll(dir.path(), def);
  a.tk.expectDialog("MANTE04I")
      .press(testing::kModify)
      .expectDialog("EDITHORAE", "Modificar Registro")
      .inspect([&](ui::Dialog&) {
        Table* t = openOwnTable(b.session, def, 1, "HorMovExt");
        ASSERT_NE(t, nullptr);
        ASSERT_TRUE(t->seek("E001"));
        ASSERT_TRUE(LAN_REG(b.session));
      })
      .type(124, "999")
      .press(201)
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje")
      // Nor can the record be opened for a change while b holds it.
      .press(testing::kModify)
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje")
      .press(testing::kExit);
  F_PFMR201(a.session, a.tk);
  EXPECT_TRUE(a.tk.ok()) << a.tk.report();
  b.session.closeAll();
  const auto after = testing::readAll(dir.path(), def);
  EXPECT_EQ(after.rows, before.rows);
}

}  // namespace
}  // namespace planilla::inputs
