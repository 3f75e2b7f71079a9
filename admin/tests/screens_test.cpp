// The institution, users and accounting-parameter screens, walked as an operator would
// on the demonstration company.
#include "admin/institutions.h"
#include "admin/parameters.h"
#include "admin/users.h"
#include "admin/tests/admin_test_util.h"
#include "session/app_info.h"
#include "session/startup.h"
#include "session/tables.h"
#include "ui/text1252.h"

namespace planilla::admin {
namespace {

using catalog::TableId;
using testing::DemoFixture;
using testing::readAll;
using ui::MsgKind;

ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

class AdminScreens : public DemoFixture {
 protected:
  void play(void (*screen)(Session&, ui::Toolkit&)) {
    screen(s(), tk);
    EXPECT_TRUE(tk.ok()) << tk.report();
    tk.reset();
  }
  // The login of the program with user QTR.
  bool login(const std::string& password) {
    VALACEPTAR(s(), password, kLoginUser);
    return s().LACCESO;
  }
};

TEST_F(AdminScreens, NewCompanyIsChosenWithTheWorkingDateAndGetsItsOwnFiles) {
  tk.expectDialog("MANTE02", ui::utf8To1252("Maestro De Compañia"))
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).headerTexts(),
                  (std::vector<std::string>{"COD", "N O M B R E", "R U C", "D I R E C C I O N"}));
        EXPECT_EQ(listOf(d).rowCount(), 1);  // the demo company
        EXPECT_EQ(d.messageBarText(), "Varmond");
        EXPECT_EQ(d.barButtons().size(), 5u);
      })
      .pressBar(1)
      .expectDialog("EDITCIA", "Adicionar Registro")
      .type(102, "01")
      .leave()
      .expectMessage(MsgKind::Stop, "Cia 01 Existe", "Mensaje")
      .type(102, "")
      .leave()
      .expectMessage(MsgKind::Stop, "Codigo En Blanco", "Mensaje")
      .type(102, "07")
      .type(104, "nueva empresa s.a.c.")
      .type(108, "20111111111")
      .type(116, "3750")
      .type(124, "nueva")
      .press(301)
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).rowCount(), 2);
        EXPECT_EQ(listOf(d).row(listOf(d).currentRow())[0], "07");
      })
      // Modifying with a blank name saves nothing and says nothing.
      .pressBar(2)
      .expectDialog("EDITCIA", "Modificar Registro")
      .expectText(104, "NUEVA EMPRESA S.A.C.")
      .type(104, "")
      .press(301)
      // The search takes the first two characters as the code.
      .pressBar(3)
      .expectDialog("", "Buscar")
      .type(0, "99")
      .press("&Aceptar")
      .expectMessage(MsgKind::Stop, "Codigo 99   No Existe")
      .pressBar(5);
  play(F_I00002);
  auto rows = readAll(dir.path(), s().def(TableId::Institutions)).rows;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1]["nom_cia"], padTo("NUEVA EMPRESA S.A.C.", 50));
  EXPECT_EQ(rows[1]["nom_abrev"], padTo("NUEVA", 50));
  EXPECT_EQ(rows[1]["lineanom"], " 3750");

  // Chosen with the working date like any company; its files come with first use.
  s().YCIA = "07";
  s().YFECHA = Date(2025, 4, 30);
  ASSERT_TRUE(acceptWorkingDate(s()));
  EXPECT_EQ(s().YRUC, "20111111111");
  ASSERT_NE(openOwnTable(s(), TableId::Banks, 1), nullptr);
  s().closeAll();
  EXPECT_TRUE(exists("bmae0107.dbf"));
  EXPECT_TRUE(exists("bmae0107.cdx"));
}

TEST_F(AdminScreens, UsersAddedToggledAndDeletedChangeWhoLogsIn) {
  // A password limited to the reports; it sorts after QTR's (PLANILLA).
  tk.expectDialog("MANTECLAVE", "Mantenimiento Clave/Acceso De Usuarios")
      .press(102)
      .expectDialog("CLAVEEDIT", "Adicionar Registro")
      .expectText(106, "FUN001")
      .type(102, "ana")
      .type(104, "ana ruiz")
      .type(106, "reportes")
      .type(114, "rep1")
      .press(109)
      .press(102)  // a blank password is not saved
      .expectDialog("CLAVEEDIT")
      .type(102, "x")
      .press(109)
      .expectMessage(MsgKind::Stop, "Error En Ingreso De Datos - Registro NO Grabado", "Mensaje")
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = listOf(d);
        ASSERT_EQ(br.rowCount(), 2);
        EXPECT_EQ(br.row(1), (std::vector<std::string>{"ANA ", "REPORTES  ", padTo("ANA RUIZ", 50), "Con Acceso"}));
      })
      .press(168);
  play(F_CLAVE01);
  ASSERT_TRUE(login("rep1"));
  EXPECT_TRUE(s().accessLimited);
  EXPECT_EQ(s().accessGroups, std::vector<std::string>{"REPORTES"});
  ASSERT_TRUE(login("PLANILLA"));
  EXPECT_FALSE(s().accessLimited);  // FUN001 only: everything, as before

  // Toggled off, the password's only record denies it; toggled twice, it is back.
  const std::string off = "Cambia El Permiso De ANA RUIZ (REPORTES) A Sin Acceso ?";
  const std::string on = "Cambia El Permiso De ANA RUIZ (REPORTES) A Con Acceso ?";
  tk.expectDialog("MANTECLAVE").pick(101, 2)
      .press(105).expectMessage(MsgKind::NoYes, off, "Mensaje", true)
      .press(105).expectMessage(MsgKind::NoYes, on, "Mensaje", true)
      .press(105).expectMessage(MsgKind::NoYes, off, "Mensaje", true)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).row(1)[3], "Sin Acceso"); })
      .press(168);
  play(F_CLAVE01);
  tk.expectMessage(MsgKind::Stop, "Acceso Denegado", "Mensaje");
  EXPECT_FALSE(login("REP1"));

  // Deleted, the password is unknown.
  tk.expectDialog("MANTECLAVE").pick(101, 2).press(104).expectDialog("", "Borrar Registro").press("&Si ").press(168);
  play(F_CLAVE01);
  tk.expectMessage(MsgKind::Stop, "Clave No Valida  , Intente Nuevamente", "Mensaje");
  EXPECT_FALSE(login("REP1"));
  EXPECT_TRUE(tk.ok()) << tk.report();
}

// QTR's password (PLANILLA, one FUN001 record) is the only one that opens
// "&Herramientas", where this screen lives: no toggle, change, delete or new record may
// take that away, and a toggle is asked first with "No" as the answer to Enter.
TEST_F(AdminScreens, AccessChangesAreAskedAndTheLastPasswordToTheToolsIsKept) {
  const std::string last = "Debe Quedar Una Clave Que Abra Herramientas (Permisos De Usuarios): Cambio No Grabado";
  const std::string qtrOff = "Cambia El Permiso De ADMINISTRADOR DEL SISTEMA (FUN001) A Sin Acceso ?";
  tk.expectDialog("MANTECLAVE")
      .press(105).expectMessage(MsgKind::NoYes, qtrOff, "Mensaje", false)  // Enter: No
      .press(105).expectMessage(MsgKind::NoYes, qtrOff, "Mensaje", true)
      .expectMessage(MsgKind::Stop, last, "Mensaje")
      .press(104).expectMessage(MsgKind::Stop, last, "Mensaje")  // no delete question
      .press(103).expectDialog("CLAVEEDIT", "Modificar Registro").radio(108).press(109)
      .expectMessage(MsgKind::Stop, last, "Mensaje")
      // A group record for the same password would limit it to that group.
      .press(102).expectDialog("CLAVEEDIT").type(102, "qtr").type(106, "reportes").type(114, "planilla").press(109)
      .expectMessage(MsgKind::Stop, last, "Mensaje")
      // A second password that opens the tools: then QTR's may be switched off.
      .press(102).expectDialog("CLAVEEDIT").type(102, "jefe").type(106, "herramient").type(114, "jefe1").press(109)
      .pick(101, 2)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).row(1)[1], "FUN001    "); })
      .press(105).expectMessage(MsgKind::NoYes, qtrOff, "Mensaje", true)
      .inspect([](ui::Dialog& d) {
        ASSERT_EQ(listOf(d).rowCount(), 2);
        EXPECT_EQ(listOf(d).row(1)[3], "Sin Acceso");
      })
      .press(168);
  play(F_CLAVE01);
  ASSERT_TRUE(login("JEFE1"));
  EXPECT_TRUE(s().allows("HERRAMIENT"));
  EXPECT_FALSE(s().allows("PROCESOS"));
  tk.expectMessage(MsgKind::Stop, "Acceso Denegado", "Mensaje");
  EXPECT_FALSE(login("PLANILLA"));
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(AdminScreens, ParametersCreatedOnFirstUseAcceptRepeatedCodes) {
  ASSERT_FALSE(exists("paracont.dbf"));
  tk.expectDialog("MANTE02", "Maestro De Parametros")
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).rowCount(), 0);
        ASSERT_EQ(d.barButtons().size(), 5u);
        EXPECT_EQ(d.barButtons()[0]->barSize, 30);
        EXPECT_EQ(d.messageBarText(), kMakerBanner);
      })
      .pressBar(1).expectDialog("EDITPARA1", "Adicionar Registro")
      .type(102, "").press(301)
      .expectMessage(MsgKind::Stop, "Campo En Blanco", "Mensaje")
      .pressBar(1).expectDialog("EDITPARA1")
      .type(102, "02").type(104, "4111").type(106, "40311").type(108, "4112").type(110, "40312").press(301)
      .pressBar(1).expectDialog("EDITPARA1")
      .type(102, "02").type(104, "4113").press(301)
      .pressBar(3)
      .expectDialog("", "Buscar").type(0, "05").press("&Aceptar")
      .expectMessage(MsgKind::Stop, "Codigo 05   No Existe", "Mensaje")
      .pressBar(5);
  play(F_VJLG99);
  EXPECT_TRUE(exists("paracont.cdx"));
  auto rows = readAll(dir.path(), s().def(TableId::AccountingParams)).rows;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["campo04"], padTo("40312", 10));
  EXPECT_EQ(rows[1]["campo01"], padTo("4113", 10));
  EXPECT_EQ(rows[1]["campo05"], padTo("", 10));
}

}  // namespace
}  // namespace planilla::admin
