// The annual per-employee amount tables (F_PJLG19, F_PJLG20, F_PJLG21): adding through
// the employee lookup, one row per employee, tot as the sum of the months, modify, search.
#include <gtest/gtest.h>

#include "masters/annual_tables.h"
#include "masters/maintenance.h"
#include "masters/screens.h"
#include "masters/tests/masters_test_util.h"
#include "ui/dialogs.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

constexpr int kAddButton = 102, kModifyButton = 103, kSearchButton = 105, kExitButton = 168;
constexpr int kLookupSearch = ui::kLookupSearchId;
const char* kLookupTitle = "Ventana De Ayuda (Maestro De Empleados)";

ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

// Three employees; in name order ALVA, PEREZ, QUISPE.
void seedMaster(const std::string& dir, Station& st) {
  testing::seed(dir, st.session.def(TableId::EmployeeMaster),
                {{{"codigo", "E001"}, {"nombre", "PEREZ LUNA JUAN"}},
                 {{"codigo", "E002"}, {"nombre", "ALVA ROJAS ANA"}},
                 {{"codigo", "E003"}, {"nombre", "QUISPE MAMANI ROSA"}}});
}

// One amount typed into the form and the field it must land in.
struct Typed {
  int control;
  const char* field;
  const char* text;
  double stored;
};

struct Variant {
  const char* function;
  const char* caption;
  TableId id;
  const char* file;
  const char* title;
  const char* form;
  bool navyLabels;
  std::vector<Typed> typed;
  double tot;  // worked out by hand below
};

TEST(AnnualTables, EachScreenAddsThroughTheLookupAndRefusesASecondRow) {
  const std::vector<Variant> variants = {
      {"F_PJLG21(1)", "Tabla De &Haberes", TableId::Earnings, "habe0116.dbf", "Tabla De Haberes", "EDITHABER", true,
       {{104, "ene", "1200.5", 1200.50}, {118, "ago", "99.25", 99.25}, {126, "dic", "300", 300}},
       1599.75},  // 1200.50 + 99.25 + 300.00
      {"F_PJLG21(2)", "Tabla De &Retenciones", TableId::Deductions, "rete0116.dbf", "Tabla De Retenciones", "EDITRETE",
       true, {{104, "ene", "45.10", 45.10}, {120, "seti", "12.45", 12.45}},
       57.55},  // 45.10 + 12.45
      {"F_PJLG19", "Tabla De &Aportes", TableId::Health, "salu0116.dbf",
       "Tabla Aportes  EsSalud y Retenciones Quinta Categoria", "EDITSALUD", true,
       {{104, "ene", "80", 80}, {126, "dic", "20", 20}, {142, "ene01", "135", 135}, {164, "dic12", "140.4", 140.40}},
       0},  // the register never writes its total
      {"F_PJLG20", "Tabla Antes De &Planilla", TableId::PrePayroll, "apor0116.dbf", "Tabla Antes de Planilla",
       "EDITPLANI", false,
       {{104, "ene", "2000", 2000},
        {126, "dic", "2100", 2100},
        {132, "enesnp", "260", 260},
        {156, "eneap1", "200", 200},
        {180, "eneap2", "27", 27},
        {204, "eneap3", "31", 31},
        {226, "dicap3", "32.5", 32.50}},
       0},
  };
  for (const auto& v : variants) {
    SCOPED_TRACE(v.function);
    TempDir dir;
    Station st(dir.path());
    seedMaster(dir.path(), st);
    const ScreenEntry* entry = findScreen(v.function);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->caption, v.caption);
    st.tk.expectDialog("MANTE06", v.title)
        .inspect([](ui::Dialog& d) {
          ui::Browse& br = listOf(d);
          EXPECT_EQ(br.headerTexts(),
                    (std::vector<std::string>{"CODIGO", "ENERO", "FEBRERO", "MARZO", "ABRIL", "MAYO", "JUNIO", "JULIO",
                                              "AGOSTO", "SETIEMBRE", "OCTUBRE", "NOVIEMBRE", "DICIEMBRE", "TOTAL"}));
          EXPECT_EQ(br.columnWidths().front(), 50);
          EXPECT_EQ(br.columnWidths()[5], 70);
          EXPECT_EQ(br.columnWidths().back(), 100);
          EXPECT_EQ(br.align(13), ui::Browse::Align::Right);
          EXPECT_EQ(d.control(kAddButton)->tooltipText(), "Adiciona Registro de Haberes");
          EXPECT_EQ(d.control(105)->tooltipText(), "Busca Registro de Haberes");
          EXPECT_EQ(br.rowCount(), 0);
        })
        .press(kAddButton)
        .expectDialog(v.form, "Adicionar Registro")
        .inspect([&v](ui::Dialog& d) {
          EXPECT_EQ(d.fieldById(102)->tooltipText(), "Ingrese Codigo");
          EXPECT_EQ(d.fieldById(104)->tooltipText(), "Registre Dato");
          EXPECT_EQ(d.control(101)->foreground() == ui::color::kNavy, v.navyLabels);
        })
        // The lookup in name order: typing "PE" finds PEREZ.
        .click(301)
        .expectDialog("", kLookupTitle)
        .keys(kLookupSearch, "PE")
        .press("&Selecciona")
        .expectText(102, "E001")
        .expectText(551, "PEREZ LUNA JUAN");
    for (const auto& t : v.typed) st.tk.type(t.control, t.text);
    st.tk.press(309)
        .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).rowCount(), 1); })
        // A second row for the same employee is refused at the code field.
        .press(kAddButton)
        .expectDialog(v.form, "Adicionar Registro")
        .type(102, "e001")
        .leave(102)
        .expectMessage(MsgKind::Stop, "Dato  Existe", "Mensaje")
        .expectFocus(102)
        .press(310)
        .press(kExitButton);
    entry->run(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
    EXPECT_TRUE(dir.has(v.file));
    auto s = testing::readAll(dir.path(), st.session.def(v.id));
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.rows[0]["codigo"], "E001      ");
    EXPECT_EQ(s.rows[0]["nombre"], padTo("", 50));  // the name is shown from the master, not stored
    double typedSum = 0;
    for (const auto& t : v.typed) {
      EXPECT_DOUBLE_EQ(s.nums[0][t.field], t.stored) << t.field;
      typedSum += t.stored;
    }
    // Every other amount stays 0: the sum over all numeric fields but tot is the typed sum.
    double all = 0;
    for (const auto& [f, n] : s.nums[0]) {
      if (f != "tot") all += n;
    }
    EXPECT_NEAR(all, typedSum, 1e-9);
    EXPECT_DOUBLE_EQ(s.nums[0]["tot"], v.tot);
  }
}

class Earnings : public ::testing::Test {
 protected:
  void SetUp() override {
    seedMaster(dir.path(), st);
    // E002 as the monthly run leaves it: January, and the December gratification's
    // withholding in graf2.
    testing::seed(dir.path(), st.session.def(TableId::Earnings),
                  {{{"codigo", "E002"}, {"ene", "300"}, {"graf2", "45.5"}, {"tot", "300"}}});
  }
  testing::Stored stored() { return testing::readAll(dir.path(), st.session.def(TableId::Earnings)); }
  TempDir dir;
  Station st{dir.path(), true};
};

TEST_F(Earnings, TotIsTheSumOfTheMonthsWhateverIsTypedIntoTheTotal) {
  st.tk.expectDialog("MANTE06", "Tabla De Haberes")
      .press(kAddButton)
      .expectDialog("EDITHABER", "Adicionar Registro")
      .type(102, "E009")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo Empleado  E009       No Existe", "Mensaje")
      .expectFocus(102)
      .type(102, "E001")
      .leave(102)
      .expectText(551, "PEREZ LUNA JUAN")
      .type(104, "1000")
      .type(106, "500")
      .leave(106)
      .expectText(128, "    1,500.00")  // the total follows the months: 1000 + 500
      .type(128, "9.99")
      .press(309)
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = listOf(d);
        ASSERT_EQ(br.rowCount(), 2);
        EXPECT_EQ(br.currentRow(), 0);  // E001 sorts first
        EXPECT_EQ(br.row(0)[1], "  1,000.00");
        EXPECT_EQ(br.row(0)[13], "  1,500.00");
      })
      .press(kExitButton);
  F_PJLG21(st.session, st.tk, 1);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_EQ(s.rows[1]["codigo"], "E001      ");
  EXPECT_DOUBLE_EQ(s.nums[1]["ene"], 1000);
  EXPECT_DOUBLE_EQ(s.nums[1]["feb"], 500);
  EXPECT_DOUBLE_EQ(s.nums[1]["tot"], 1500);  // 1000.00 + 500.00, not the 9.99 typed
}

TEST_F(Earnings, ModifyKeepsItsCodeRefusesAnotherEmployeesRowAndLeavesGrafAlone) {
  testing::seed(dir.path(), st.session.def(TableId::Earnings), {{{"codigo", "E003"}, {"ene", "10"}}});
  st.tk.expectDialog("MANTE06")
      .pick(101, 1)  // E002
      .press(kModifyButton)
      .expectDialog("EDITHABER", "Modificar Registro")
      .expectText(102, "E002")
      .expectText(551, "ALVA ROJAS ANA")
      .expectText(104, "    300.00")
      .type(102, "E003")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Dato  Existe", "Mensaje")
      .type(102, "E002")
      .leave(102)  // its own code: accepted
      .type(106, "200")
      .type(124, "0.55")
      .press(309)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 0); })
      .press(kExitButton);
  F_PJLG21(st.session, st.tk, 1);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_EQ(s.rows[0]["codigo"], "E002      ");
  EXPECT_DOUBLE_EQ(s.nums[0]["feb"], 200);
  EXPECT_DOUBLE_EQ(s.nums[0]["nov"], 0.55);
  EXPECT_DOUBLE_EQ(s.nums[0]["tot"], 500.55);  // 300.00 + 200.00 + 0.55
  EXPECT_DOUBLE_EQ(s.nums[0]["graf2"], 45.5);  // the gratification's withholding stays
  EXPECT_DOUBLE_EQ(s.nums[1]["ene"], 10);      // E003 untouched
}

TEST_F(Earnings, SearchByEmployeeCodeAndDelete) {
  testing::seed(dir.path(), st.session.def(TableId::Earnings), {{{"codigo", "E003"}}, {{"codigo", "E001"}}});
  st.tk.expectDialog("MANTE06")
      .press(kSearchButton)
      .expectDialog("", "Buscar")
      .type(0, "e003")
      .press("&Aceptar")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })  // E001, E002, E003
      .press(kSearchButton)
      .expectDialog("", "Buscar")
      .type(0, "E777")
      .press("&Aceptar")
      .expectMessage(MsgKind::Stop, "Codigo Empleado  E777       No Existe", "Mensaje")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      // The found row deleted with the shared confirmation.
      .press(104)
      .expectDialog("", "Borrar Registro")
      .press("&Si ")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).rowCount(), 2); })
      .press(kExitButton);
  F_PJLG21(st.session, st.tk, 1);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_EQ(s.rows[0]["codigo"], "E002      ");
  EXPECT_EQ(s.rows[1]["codigo"], "E001      ");
}

TEST(AnnualTablesOpening, AnySelectorButOneIsTheWithholdingTableAndTheMasterMustExist) {
  TempDir dir;
  Station st(dir.path());
  // Without the general master nothing opens and no year table is created.
  st.tk.expectMessage(MsgKind::Stop, "Maestro De Trabajadores  No Existe Crearlo", "Mensaje");
  F_PJLG19(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  EXPECT_FALSE(dir.has("salu0116.dbf"));

  seedMaster(dir.path(), st);
  st.tk.reset();
  st.tk.expectDialog("MANTE06", "Tabla De Retenciones").press(kExitButton);
  F_PJLG21(st.session, st.tk, 3);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  EXPECT_TRUE(dir.has("rete0116.dbf"));
  EXPECT_FALSE(dir.has("habe0116.dbf"));
  EXPECT_EQ(st.session.area(1), nullptr);  // every table closed with the screen
}

}  // namespace
}  // namespace planilla::masters
