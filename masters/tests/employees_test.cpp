// The general employee master (F_PJLG01): the form walked field by field, its
// validations, the pension-fund lookup, the listing and two stations on one employee.
#include <gtest/gtest.h>

#include "masters/employees.h"
#include "masters/tests/employees_test_util.h"
#include "ui/text1252.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using testing::Station;
using ui::MsgKind;

constexpr int kAdd = 1, kModify = 2, kSearch = 3, kPrint = 5, kExtra = 6, kExit = 7;

ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

class General : public testing::EmployeesFixture {
 protected:
  void run() {
    F_PJLG01(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  }
};

TEST(EmployeeName, SurnamesCommaNamesPaddedTo50) {
  // "PEREZ" + " " + "DIAZ" + ", " + "JUAN" + " " + "" : the blank before the empty second name stays.
  EXPECT_EQ(employeeName(padTo("PEREZ", 20), padTo("DIAZ", 20), padTo("JUAN", 20), padTo("", 20)), padTo("PEREZ DIAZ, JUAN ", 50));
  // 20 + 1 + 20 + 2 + 20 = 63 characters are cut to 50.
  const std::string a(20, 'A'), b(20, 'B'), c(20, 'C');
  EXPECT_EQ(employeeName(a, b, c, "D"), a + " " + b + ", " + c.substr(0, 7));
}

TEST_F(General, MissingCodeTablesStopTheScreenInOrder) {
  // Nothing exists: the situations are asked for first.
  st.tk.expectMessage(MsgKind::Stop, "Maestro Situacion  No Existe, (Crearlo)", "Stop");
  run();
  seedCodeTables();
  std::remove(dir.file("pmae0201.dbf").c_str());
  st.tk.expectMessage(MsgKind::Stop, "Maestro Planilla Unica No Existe, (Crearlo)", "Stop");
  run();
  EXPECT_FALSE(dir.has("pmae0101.dbf"));
  st.session.YMES = "  ";
  st.tk.expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Stop");
  run();
}

// An employee typed in every box of the form, the fund taken from the lookup: every
// typed value is in pmae0101 and the name is derived.
TEST_F(General, AddThroughTheFormStoresEveryField) {
  seedCodeTables();
  st.tk.expectDialog("MANTEP02", "Mantenimiento Maestro De Empleados")
      .pressBar(kAdd)
      .expectDialog("EDITEMPLE", "Adicionar Registro")
      .expectText(190, "1")
      .type(102, "e0099")
      .type(104, "juan")
      .type(168, "")
      .type(164, "perez")
      .type(166, "diaz")
      .type(106, "av. arequipa 123")
      .type(108, "03/04/1985")
      .type(112, "01/05/2016")
      .type(114, "987654321")
      .type(116, "41234567")
      .type(118, "contador")
      .type(120, "ess41234567")
      .type(158, "m")
      .type(154, "31/12/2016")
      .type(190, "2")
      .type(156, "peruana")
      .choose(160, "EMPLEADO")
      .type(134, "2500.5")
      .type(136, "85")
      .type(138, "5")
      .type(140, "120.25")
      .type(142, "s")
      .radio(181)
      .expectFocus(183)
      .type(183, "45.5")
      .type(144, "d")
      .type(148, "s")
      .type(150, "30")
      .choose(169, "1 DNI")
      .choose(193, "2 CESE")
      .choose(192, "01     PLANILLA EMPLEADOS")
      // The lookup lists every month's funds; the third row is PRIMA of May.
      .click(301)
      .expectDialog("", "Ventana De Ayuda (Maestro De Afps)")
      .pick(1002, 3)
      .press("&Selecciona")
      .expectFocus(126)
      .expectText(126, "PRIMA")
      .expectText(551, "PRIMA AFP")
      .choose(130, "BANCO DE CREDITO")
      .type(132, "123456789012")
      .type(186, "191-1234")
      .type(146, "01/06/2010")
      .choose(122, "ACTIVO")
      .type(124, "02/05/2016")
      .choose(128, "100    ADMINISTRACION")
      .type(188, "f")
      .choose(172, "NINGUNO")
      .press(401)
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = listOf(d);
        ASSERT_EQ(br.rowCount(), 1);
        EXPECT_EQ(br.row(0)[0], padTo("E0099", 10));
        EXPECT_EQ(br.row(0)[7], "30");
      })
      .pressBar(kExit);
  run();
  auto s = stored(TableId::EmployeeMaster);
  ASSERT_EQ(s.rows.size(), 1u);
  auto& r = s.rows[0];
  auto& n = s.nums[0];
  EXPECT_EQ(r["codigo"], padTo("E0099", 10));
  EXPECT_EQ(r["nombre1"], padTo("JUAN", 20));
  EXPECT_EQ(r["nombre2"], padTo("", 20));
  EXPECT_EQ(r["apelli1"], padTo("PEREZ", 20));
  EXPECT_EQ(r["apelli2"], padTo("DIAZ", 20));
  EXPECT_EQ(r["nombre"], padTo("PEREZ DIAZ, JUAN ", 50));
  EXPECT_EQ(r["direccion"], padTo("AV. AREQUIPA 123", 60));
  EXPECT_EQ(r["fech_nac"], "19850403");
  EXPECT_EQ(r["fech_ing"], "20160501");
  EXPECT_EQ(r["telefono"], padTo("987654321", 10));
  EXPECT_EQ(r["electoral"], "41234567");
  EXPECT_EQ(r["cargo"], padTo("CONTADOR", 40));
  EXPECT_EQ(r["carnet"], padTo("ESS41234567", 15));
  EXPECT_EQ(r["sexo"], "M");
  EXPECT_EQ(r["fcese"], "20161231");
  EXPECT_EQ(r["retri"], "2");
  EXPECT_EQ(r["nacion"], padTo("PERUANA", 20));
  EXPECT_EQ(r["tiptrab"], "01");
  EXPECT_DOUBLE_EQ(n["bas_men"], 2500.5);
  EXPECT_DOUBLE_EQ(n["asigna"], 85);
  EXPECT_DOUBLE_EQ(n["esvida"], 5);
  EXPECT_DOUBLE_EQ(n["gratif"], 120.25);
  EXPECT_EQ(r["quinta"], "S");
  EXPECT_EQ(n["control"], 1);
  EXPECT_DOUBLE_EQ(n["imp5ta"], 45.5);
  EXPECT_EQ(r["dolar"], "D");
  EXPECT_EQ(r["seguroafp"], "S");
  EXPECT_EQ(n["dia_tra"], 30);
  EXPECT_EQ(r["dociden"], "1");
  EXPECT_EQ(r["movper"], "2");
  EXPECT_EQ(r["plani"], "01    ");
  EXPECT_EQ(r["codafp"], "PRIMA ");
  EXPECT_EQ(r["banco"], "BCP ");
  EXPECT_EQ(r["nroafp"], "123456789012");
  EXPECT_EQ(r["ctacte"], padTo("191-1234", 25));
  EXPECT_EQ(r["fech_afp"], "20100601");
  EXPECT_EQ(r["situacion"], "11");
  EXPECT_EQ(r["fechasitua"], "20160502");
  EXPECT_EQ(r["ccosto"], "100   ");
  EXPECT_EQ(r["tienecta"], "F");
  EXPECT_EQ(r["catego"], "00");
  // Fields the form does not own stay empty.
  EXPECT_EQ(r["baja"], " ");
  EXPECT_EQ(n["fraccion1"], 0);
}

// Each validation refuses at its field with its message and lets a good value through.
TEST_F(General, ValidationsRefuseAtTheirFields) {
  seedCodeTables();
  struct Case {
    int field;
    const char* bad;
    const char* good;
    MsgKind kind;
    const char* text;
    const char* title;
  };
  const Case cases[] = {
      {158, "x", "f", MsgKind::Stop, "Error , Ingrese  [M=Masculino] o [F=Femenino] ", "Stop"},
      {190, "3", "1", MsgKind::Stop, "Error , Ingrese  [1=Boleta]  o  [2=Retribucion]", "Stop"},
      {144, "x", "e", MsgKind::Stop, "Error , Ingrese  [D=Dolar] o [S=Soles] o [E=Euro] ", "Stop"},
      {188, "x", "n", MsgKind::Stop,
       "Error , Ingrese  [F=Fondo Uno] o  [N=Sin Apertura  Cuenta de Sueldo]  o  [Espacio en Blanco=]", "Stop"},
      {150, "32", "31", MsgKind::Alert, "Rango Fuera De Parametro", "Error En Ingreso De Dato"},
      // HABITA has rates only for April; the working month is May.
      {126, "habita", "", MsgKind::Alert, "Codigo Afp  HABITA No Existe", "Error En Ingreso De Dato"},
  };
  st.tk.expectDialog("MANTEP02").pressBar(kAdd).expectDialog("EDITEMPLE", "Adicionar Registro");
  for (const auto& c : cases) {
    st.tk.type(c.field, c.bad)
        .leave(c.field)
        .expectMessage(c.kind, c.text, c.title)
        .expectFocus(c.field)
        .type(c.field, c.good)
        .leave(c.field);
  }
  st.tk.type(188, "").leave(188);  // a blank indicator is allowed
  st.tk.press(402).expectMessage(MsgKind::NoYes, ui::utf8To1252("¿Descartar Los Cambios?"), "Adicionar Registro", true).pressBar(kExit);
  run();
  EXPECT_EQ(stored(TableId::EmployeeMaster).rows.size(), 0u);
}

TEST_F(General, FifthCategoryRadioClearsAndDisablesTheAmount) {
  seedCodeTables();
  st.tk.expectDialog("MANTEP02")
      .pressBar(kAdd)
      .expectDialog("EDITEMPLE")
      .type(102, "A1")
      .type(158, "F")
      .type(183, "100")
      .radio(182)
      .expectFocus(144)
      .inspect([](ui::Dialog& d) {
        EXPECT_FALSE(d.fieldById(183)->enabled());
        EXPECT_NE(d.fieldById(183)->text().find("0.00"), std::string::npos) << d.fieldById(183)->text();
      })
      .type(144, "s")
      .radio(181)
      .expectFocus(183)
      .inspect([](ui::Dialog& d) { EXPECT_TRUE(d.fieldById(183)->enabled()); })
      .type(183, "70")
      .radio(182)
      .press(401)
      .pressBar(kExit);
  run();
  auto s = stored(TableId::EmployeeMaster);
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.nums[0]["control"], 2);
  EXPECT_EQ(s.nums[0]["imp5ta"], 0);
  EXPECT_EQ(s.rows[0]["dolar"], "S");
}

TEST_F(General, BlankCodeDuplicateCodeModifySearchAndListing) {
  seedCodeTables();
  seedMaster({{"E001", "PEREZ", "JUAN", " "}, {"E002", "QUISPE", "ANA", "1"}, {"E003", "ROJAS", "LUIS", "2"}});
  st.tk.expectDialog("MANTEP02")
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = listOf(d);
        EXPECT_EQ(br.headerTexts().size(), 12u);
        EXPECT_EQ(br.rowColor(0)->first, ui::color::kBlack);
        EXPECT_EQ(br.rowColor(1)->first, ui::color::kCyan);
        EXPECT_EQ(br.rowColor(2)->first, (ui::Color{0, 255, 0}));
      })
      .pressBar(kAdd)
      .expectDialog("EDITEMPLE")
      .press(401)
      .expectMessage(MsgKind::Stop, "Codigo  En Blanco", "Stop")
      .pressBar(kAdd)
      .expectDialog("EDITEMPLE")
      .type(102, "e002")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo  E002       Existe", "Mensaje")
      .press(402)
      .expectMessage(MsgKind::NoYes, ui::utf8To1252("¿Descartar Los Cambios?"), "Adicionar Registro", true)
      .pick(101, 2)
      .pressBar(kModify)
      .expectDialog("EDITEMPLE", "Modificar Registro")
      .expectText(102, "E002")
      .expectText(164, "QUISPE")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(d.fieldById(102)->tooltipText(), "Modificar Codigo"); })
      .type(164, "quispe mamani")
      .type(102, "E002")  // its own code is accepted
      .press(401)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 1); })
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "e003")
      .press("&Aceptar")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "X9")
      .press("&Aceptar")
      .expectMessage(MsgKind::Stop, "Codigo X9     No Existe", "Stop")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pick(101, 2)
      .pressBar(kPrint)
      .pressBar(kExit);
  run();
  auto s = stored(TableId::EmployeeMaster);
  ASSERT_EQ(s.rows.size(), 3u);
  EXPECT_EQ(s.rows[1]["nombre"], padTo("QUISPE MAMANI , ANA ", 50));
  EXPECT_EQ(s.rows[1]["baja"], "1");  // the form never touches the terminated flag
  // Stops: 690, then + (w + 1) * 115 for the widths 6, 30, 2, 7, 27, 8, 7, 7, 11, 9, 7:
  // 690 + 805 = 1495, + 3565 = 5060, + 345 = 5405, + 920 = 6325, + 3220 = 9545,
  // + 1035 = 10580, + 920 = 11500, + 920 = 12420, + 1380 = 13800, + 1150 = 14950, + 920 = 15870.
  const std::string rpv = testing::readFile(dir.file("Test.rpv"));
  EXPECT_NE(rpv.find("Report_Title=Maestro Empleado\r\nPaperSize=A4\r\nOrientation=2\r\nSpacing=220\r\n$c00=690\r\n"
                     "$c01=1495\r\n$c02=5060\r\n$c03=5405\r\n$c04=6325\r\n$c05=9545\r\n$c06=10580\r\n$c07=11500\r\n"
                     "$c08=12420\r\n$c09=13800\r\n$c10=14950\r\n$c11=15870\r\n[Header]"),
            std::string::npos)
      << rpv;
  // From the cursor (second record) on: E002 and E003, not E001; an empty date as 00/00/   0.
  EXPECT_EQ(rpv.find("E001"), std::string::npos);
  EXPECT_NE(rpv.find("{e;$c00;a=l;s=7} E002      {t;$c01;a=l} QUISPE MAMANI , ANA"), std::string::npos) << rpv;
  EXPECT_NE(rpv.find("{t;$c10;a=l} 00/00/   0{t;\\n}"), std::string::npos) << rpv;
  EXPECT_NE(rpv.find("E003"), std::string::npos);
}

// Two stations on one employee: while another station holds the record, the form does
// not open, and a form already open saves nothing.
TEST_F(General, SecondStationIsRefusedTheRecordInUse) {
  seedCodeTables();
  seedMaster({{"E001", "PEREZ", "JUAN", " "}});
  st.session.setRed(true);
  // The other station, holding the employee's record while it writes.
  auto other = catalog::openTable(platformFileSystem(), dir.path(), def(TableId::EmployeeMaster), OpenMode::Shared);
  ASSERT_TRUE(other.isOk()) << other.status().message();
  Table& held = **other;
  ASSERT_TRUE(held.goTop().isOk());
  ASSERT_TRUE(held.lockRecord().isOk());
  st.tk.expectDialog("MANTEP02")
      .pressBar(kModify)
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje")
      .inspect([&](ui::Dialog&) { held.unlockAll(); })
      .pressBar(kModify)
      .expectDialog("EDITEMPLE", "Modificar Registro")
      .type(118, "gerente")
      .inspect([&](ui::Dialog&) { ASSERT_TRUE(held.lockRecord().isOk()); })
      .press(401)
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje")
      .pressBar(kExit);
  run();
  held.unlockAll();
  held.close();
  auto s = stored(TableId::EmployeeMaster);
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["cargo"], padTo("CONTADOR", 40));
}

}  // namespace
}  // namespace planilla::masters
