// The banks maintenance screen: opening, add, modify, search, delete, listing, and two
// stations on one bank.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "session/tables.h"
#include "masters/maintenance.h"
#include "masters/reference_tables.h"
#include "masters/tests/masters_test_util.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

constexpr int kAdd = 1, kModify = 2, kSearch = 3, kDelete = 4, kPrint = 5, kExit = 6;

class Banks : public ::testing::Test {
 protected:
  catalog::TableDef def() { return st.session.def(TableId::Banks); }
  void seedBanks() {
    testing::seed(dir.path(), def(),
                  {{{"codigo", "A1"}, {"nombre", "BANCO UNO"}, {"codnom", "A1 BANCO UNO"}, {"moneda", "S"}},
                   {{"codigo", "B2"}, {"nombre", "BANCO DOS"}, {"codnom", "B2 BANCO DOS"}, {"moneda", "D"}},
                   {{"codigo", "C3"}, {"nombre", "BANCO TRES"}, {"codnom", "C3 BANCO TRES"}, {"moneda", ""}},
                   {{"codigo", "D4"}, {"nombre", "BANCO CUATRO"}, {"codnom", "D4 BANCO CUATRO"}, {"moneda", "S"}}});
  }
  testing::Stored stored() { return testing::readAll(dir.path(), def()); }
  void run() {
    F_BJLG01(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  }
  ui::ScriptedToolkit& tk() { return st.tk; }
  TempDir dir;
  Station st{dir.path()};
};

ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

TEST_F(Banks, RefusedWithoutWorkingDate) {
  st.session.YMES = "  ";
  tk().expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Mensaje");
  run();
  EXPECT_FALSE(dir.has("bmae0101.dbf"));
}

TEST_F(Banks, FirstOpeningCreatesAnEmptyTableAndShowsTheScreen) {
  tk().expectDialog("MANTE02", "Maestro de Bancos")
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = listOf(d);
        EXPECT_EQ(br.rowCount(), 0);
        EXPECT_EQ(br.headerTexts(), (std::vector<std::string>{"CODIGO", "DESCRIPCION", "MOV"}));
        EXPECT_EQ(br.columnWidths(), (std::vector<int>{60, 350, 40}));
        EXPECT_FALSE(br.canMoveColumns());
        EXPECT_TRUE(br.rowCursor());
        EXPECT_EQ(d.messageBarText(), "Varmond");
        ASSERT_EQ(d.barButtons().size(), 6u);
        const char* images[] = {"add.bmp", "modify.bmp", "buscar10.bmp", "borrar.bmp", "print1.bmp", "exit10.bmp"};
        const char* tips[] = {"Adiciona Registro", "Modifica Registro", "Buscar Registro",
                              "Elimina Registro",  "Imprime Registros", "Salir"};
        for (size_t i = 0; i < 6; ++i) {
          EXPECT_EQ(d.barButtons()[i]->imageName(), images[i]);
          EXPECT_EQ(d.barButtons()[i]->tooltipText(), tips[i]);
          EXPECT_EQ(d.barButtons()[i]->barSize, 55);
        }
        EXPECT_EQ(d.background(), ui::color::kScreen);
      })
      .pressBar(kModify)  // nothing under the cursor: no dialog
      .pressBar(kDelete)  // nor a confirmation
      .pressBar(kExit);
  run();
  EXPECT_TRUE(dir.has("bmae0101.dbf"));
  EXPECT_TRUE(dir.has("bmae0101.cdx"));
  EXPECT_EQ(stored().physical, 0u);
  // Every table is closed when the screen ends.
  EXPECT_EQ(st.session.current(), nullptr);
}

TEST_F(Banks, AddWritesCodeNameCodnomAndCurrency) {
  seedBanks();
  tk().expectDialog("MANTE02")
      .pressBar(kAdd)
      .expectDialog("EDITBANCO", "Adicionar Registro")
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(d.fieldById(102)->tooltipText(), "Ingrese Codigo");
        EXPECT_EQ(d.fieldById(104)->tooltipText(), "Ingrese Descripcion");
        EXPECT_EQ(dynamic_cast<ui::Button*>(d.control(301))->imageName(), "save1.bmp");
        EXPECT_EQ(dynamic_cast<ui::Button*>(d.control(302))->imageName(), "exit1.bmp");
        // A new bank starts on soles.
        EXPECT_EQ(dynamic_cast<ui::Combo*>(d.control(106))->current(), 0);
      })
      .type(102, "bcp")
      .type(104, "banco de credito")
      .choose(106, "Dolar ")
      .press(301)
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = listOf(d);
        EXPECT_EQ(br.rowCount(), 5);
        // The new bank is under the cursor, in code order (B2 < BCP < C3).
        EXPECT_EQ(br.currentRow(), 2);
        EXPECT_EQ(br.row(2)[0], "BCP ");
        EXPECT_EQ(br.row(2)[2], "DOLAR");
        EXPECT_EQ(br.row(0)[2], "SOLES");
        EXPECT_EQ(br.row(3)[2], "DOLAR");  // C3: a blank currency shows DOLAR
      })
      .pressBar(kAdd)
      .expectDialog("EDITBANCO")
      .type(102, "IBK")
      .type(104, "INTERBANK")
      .press(301)  // the currency never touched: soles
      .pressBar(kExit);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 6u);
  EXPECT_EQ(s.rows[4]["codigo"], "BCP ");
  EXPECT_EQ(s.rows[4]["nombre"], padTo("BANCO DE CREDITO", 50));
  EXPECT_EQ(s.rows[4]["codnom"], padTo("BCP  BANCO DE CREDITO", 55));
  EXPECT_EQ(s.rows[4]["moneda"], "D");
  EXPECT_EQ(s.rows[4]["cuenta"], padTo("", 15));
  EXPECT_EQ(s.rows[5]["moneda"], "S");
}

TEST_F(Banks, CodeAndNameAreTypedAsWideAsTheTableKeepsThem) {
  tk().expectDialog("MANTE02")
      .pressBar(kAdd)
      .expectDialog("EDITBANCO")
      .keys(102, "abcd")
      .inspect([](ui::Dialog& d) {
        ui::Field& code = *d.fieldById(102);
        EXPECT_EQ(code.width(), 4);        // codigo C4: a fifth character is refused
        EXPECT_FALSE(code.key('E'));
        EXPECT_FALSE(code.type("ABCDEFGHIJ"));
        EXPECT_EQ(code.text(), "ABCD");
        EXPECT_EQ(d.fieldById(104)->width(), 50);  // nombre C50
        // A character the table cannot hold never reaches the field: the Qt backend
        // refuses it as typed (see encodes1252); the model sees Windows-1252 only.
      })
      .type(104, "x")
      .press(301)
      .pressBar(kExit);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["codigo"], "ABCD");
  EXPECT_EQ(s.rows[0]["codnom"], padTo("ABCD X", 55));  // code, a blank, the name
}

TEST_F(Banks, ListKeysAndAcceleratorsRunTheBarButtons) {
  seedBanks();
  tk().expectDialog("MANTE02")
      .inspect([](ui::Dialog& d) {
        // A letter of each tooltip, none shared: Adiciona, Modifica, Buscar, Elimina,
        // Imprime, Salir; every button reachable with Tab.
        std::string letters;
        for (ui::Button* b : d.barButtons()) {
          letters += b->mnemonic();
          EXPECT_TRUE(b->focusable());
        }
        EXPECT_EQ(letters, "AMBEIS");
      })
      .key(101, ui::Key::Tab)
      .expectFocus(1001)  // from the list, Tab goes round to the first bar button
      .pick(101, 2)
      .key(101, ui::Key::Enter)
      .expectDialog("EDITBANCO", "Modificar Registro")
      .expectText(102, "B2")
      .close()
      .doubleClick(101, 3)
      .expectDialog("EDITBANCO", "Modificar Registro")
      .expectText(102, "C3")
      .close()
      .key(101, ui::Key::Insert)
      .expectDialog("EDITBANCO", "Adicionar Registro")
      .close()
      .key(101, ui::Key::Find)
      .expectDialog("", "Buscar")
      .close()
      .alt('m')
      .expectDialog("EDITBANCO", "Modificar Registro")
      .expectText(102, "C3")
      .close()
      .pick(101, 2)
      .key(101, ui::Key::Delete)
      .expectDialog("", "Borrar Registro")
      .press("&Si ")
      .inspect([](ui::Dialog& d) {
        // B2 gone: the cursor is on the row that followed it.
        EXPECT_EQ(listOf(d).rowCount(), 3);
        EXPECT_EQ(listOf(d).currentRow(), 1);
        EXPECT_EQ(listOf(d).row(1)[0], "C3  ");
      })
      .pick(101, 3)
      .key(101, ui::Key::Delete)
      .expectDialog("", "Borrar Registro")
      .press("&Si ")
      .inspect([](ui::Dialog& d) {
        // D4, the last row, gone: the cursor is on the row before it.
        EXPECT_EQ(listOf(d).rowCount(), 2);
        EXPECT_EQ(listOf(d).currentRow(), 1);
        EXPECT_EQ(listOf(d).row(1)[0], "C3  ");
      })
      .key(101, ui::Key::Escape);  // "Salir"
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_EQ(s.rows[0]["codigo"], "A1  ");
  EXPECT_EQ(s.rows[1]["codigo"], "C3  ");
}

TEST_F(Banks, DuplicateAndBlankCodesAreRefusedAtTheField) {
  seedBanks();
  tk().expectDialog("MANTE02")
      .pressBar(kAdd)
      .expectDialog("EDITBANCO")
      .type(102, "B2")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Dato  Existe", "Mensaje")
      .expectFocus(102)
      .type(102, "")
      .press(301)
      .expectMessage(MsgKind::Stop, "Campo En Blanco", "Mensaje")
      .expectFocus(102)
      .press(302)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 0); })
      .pressBar(kExit);
  run();
  EXPECT_EQ(stored().physical, 4u);
}

TEST_F(Banks, ModifyKeepsItsOwnCodeAndRefusesAnothersCode) {
  seedBanks();
  tk().expectDialog("MANTE02")
      .pick(101, 2)
      .pressBar(kModify)
      .expectDialog("EDITBANCO", "Modificar Registro")
      .expectText(102, "B2")
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(d.fieldById(102)->tooltipText(), "Modificar Codigo");
        EXPECT_EQ(d.fieldById(104)->tooltipText(), "Modificar Descripcion");
        EXPECT_EQ(dynamic_cast<ui::Combo*>(d.control(106))->current(), 1);  // stored "D"
      })
      .type(102, "C3")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo  C3   Existe", "Mensaje")
      .type(102, "")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Campo  En Blanco", "Mensaje")
      .type(102, "B2")
      .type(104, "BANCO DOS NUEVO")
      .press(301)
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).currentRow(), 1);
        EXPECT_EQ(listOf(d).row(1)[1], padTo("BANCO DOS NUEVO", 50));
      })
      .pressBar(kExit);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 4u);
  EXPECT_EQ(s.rows[1]["codigo"], "B2  ");
  EXPECT_EQ(s.rows[1]["nombre"], padTo("BANCO DOS NUEVO", 50));
  EXPECT_EQ(s.rows[1]["codnom"], padTo("B2   BANCO DOS NUEVO", 55));
  EXPECT_EQ(s.rows[1]["moneda"], "D");  // no new choice: the stored currency stays
}

TEST_F(Banks, ModifyWithBlankNameWritesNothingAndSaysNothing) {
  seedBanks();
  const auto before = stored();
  tk().expectDialog("MANTE02")
      .pick(101, 3)
      .pressBar(kModify)
      .expectDialog("EDITBANCO", "Modificar Registro")
      .type(104, "")
      .choose(106, "Soles ")
      .press(301)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pressBar(kModify)
      .expectDialog("EDITBANCO", "Modificar Registro")
      .type(104, "CAMBIADO")
      .press(302)  // cancelled
      .pressBar(kExit);
  run();
  EXPECT_EQ(stored().rows, before.rows);
}

TEST_F(Banks, SearchFindsTheCodeOrStaysWhereItWas) {
  seedBanks();
  tk().expectDialog("MANTE02")
      .pick(101, 2)
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "D4")
      .press("&Aceptar")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 3); })
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "ZZ")
      .press("&Aceptar")
      .expectMessage(MsgKind::Stop, "Codigo ZZ   No Existe", "Stop")
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).currentRow(), 3);
        EXPECT_FALSE(listOf(d).table().eof());
      })
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "A1")
      .press("&Cancelar")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 3); })
      .pressBar(kExit);
  run();
}

TEST_F(Banks, DeleteAsksAndNoLeavesEverythingAsItWas) {
  seedBanks();
  tk().expectDialog("MANTE02")
      .pick(101, 3)
      .pressBar(kDelete)
      .expectDialog("", "Borrar Registro")
      .inspect([](ui::Dialog& d) {
        bool asked = false;
        for (ui::Control* c : d.controls()) {
          if (auto* l = dynamic_cast<ui::Label*>(c)) asked = asked || l->shown() == "Esta Seguro De Eliminar";
        }
        EXPECT_TRUE(asked);
      })
      .press("&No ")
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).currentRow(), 2);
        EXPECT_EQ(listOf(d).rowCount(), 4);
      })
      .pressBar(kDelete)
      .expectDialog("", "Borrar Registro")
      .close()
      .pressBar(kDelete)
      .expectDialog("", "Borrar Registro")
      .press("&Si ")
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = listOf(d);
        EXPECT_EQ(br.rowCount(), 3);
        EXPECT_EQ(br.currentRow(), 2);  // on the row that followed the deleted one
        EXPECT_EQ(br.row(2)[0], "D4  ");
      })
      .pressBar(kExit);
  run();
  auto s = stored();
  EXPECT_EQ(s.physical, 4u);  // marked, not removed
  ASSERT_EQ(s.rows.size(), 3u);
  EXPECT_EQ(s.rows[2]["codigo"], "D4  ");
}

TEST_F(Banks, ListingStartsAtTheRecordUnderTheCursor) {
  seedBanks();
  tk().expectDialog("MANTE02")
      .pick(101, 3)
      .pressBar(kPrint)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pressBar(kExit);
  run();
  const std::string company = padTo("EMPRESA DEMO S.A.", 45);
  const std::string expected = testing::crlf({
      "Report_Title=Reporte de Maestro",
      "PaperSize=A4",
      "Orientation=1",
      "Spacing=220",
      "$c00=690",
      "$c01=1955",
      "$c02=6670",
      "[Header]",
      "{f=Lucida Console;\\n;s=9}",
      "{\\n;$c00;a=l} " + company,
      "{\\n;$c00;s=8;b=y;a=l} {tab=500} Maestro de Bancos{b=n;\\n}",
      "{Line=300,6000;\\n}",
      "{$c00;a=l} CODIGO{$c01;a=l} DESCRIPCION{\\n}",
      "{Line=300,6000;\\n}",
      "[Data]",
      "{e;$c00;a=l} C3  {t;$c01;a=l} " + padTo("BANCO TRES", 50) + "{t;\\n}",
      "{e;$c00;a=l} D4  {t;$c01;a=l} " + padTo("BANCO CUATRO", 50) + "{t;\\n}",
  });
  EXPECT_EQ(testing::readFile(dir.file("Test.rpv")), expected);
}

TEST_F(Banks, ReportFileThatCannotBeWrittenIsReportedAndNoViewerStarts) {
  seedBanks();
  // A folder where the report file should go: the file cannot replace it.
  std::filesystem::create_directory(dir.file("Test.rpv"));
  tk().expectDialog("MANTE02")
      .pick(101, 2)
      .pressBar(kPrint)
      .expectMessage(MsgKind::Stop,
                     "No se pudo reemplazar el archivo " + dir.file("Test.rpv") + ": " + std::strerror(EISDIR),
                     "Mensaje")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 1); })
      .pressBar(kExit);
  run();
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("Test.rpv")));
}

TEST_F(Banks, TableHeldExclusivelyElsewhereDoesNotOpen) {
  seedBanks();
  auto other = catalog::openTable(platformFileSystem(), dir.path(), def(), OpenMode::Exclusive);
  ASSERT_TRUE(other.isOk());
  tk().expectMessage(MsgKind::Stop, "Apertura Denegada El Archivo Esta En Uso", "Mensaje");
  run();
  EXPECT_TRUE(tk().dialogs().empty());
  (*other)->close();
}

// Two stations on one data directory, on a network: while one holds the record, the
// other's change is refused and nothing is written.
TEST(BanksTwoStations, SecondLockIsRefusedAndNothingIsWritten) {
  TempDir dir;
  Station a(dir.path(), true), b(dir.path(), true);
  const catalog::TableDef def = a.session.def(TableId::Banks);
  testing::seed(dir.path(), def, {{{"codigo", "BCP"}, {"nombre", "BANCO DE CREDITO"}, {"moneda", "S"}}});
  const auto before = testing::readAll(dir.path(), def);

  // Station a opens the modify dialog; while it is open, station b takes the record.
  a.tk.expectDialog("MANTE02")
      .pressBar(kModify)
      .expectDialog("EDITBANCO", "Modificar Registro")
      .inspect([&](ui::Dialog&) {
        Table* t = openOwnTable(b.session, def, 1, "Bancos");
        ASSERT_NE(t, nullptr);
        ASSERT_TRUE(t->seek("BCP"));
        ASSERT_TRUE(LAN_REG(b.session));
      })
      .type(104, "NOMBRE DE A")
      .press(301)
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje")
      // While b still holds it, a cannot even open the modify dialog.
      .pressBar(kModify)
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje")
      // Nor delete it.
      .pressBar(kDelete)
      .expectDialog("", "Borrar Registro")
      .press("&Si ")
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje")
      .pressBar(kExit);
  F_BJLG01(a.session, a.tk);
  EXPECT_TRUE(a.tk.ok()) << a.tk.report();
  EXPECT_EQ(testing::readAll(dir.path(), def).rows, before.rows);

  // Once b lets go, a's change goes through.
  FREE(b.session);
  a.tk.reset();
  a.tk.expectDialog("MANTE02")
      .pressBar(kModify)
      .expectDialog("EDITBANCO", "Modificar Registro")
      .type(104, "NOMBRE DE A")
      .press(301)
      .pressBar(kExit);
  F_BJLG01(a.session, a.tk);
  EXPECT_TRUE(a.tk.ok()) << a.tk.report();
  auto after = testing::readAll(dir.path(), def);
  ASSERT_EQ(after.rows.size(), 1u);
  EXPECT_EQ(after.rows[0]["nombre"], padTo("NOMBRE DE A", 50));
  b.session.closeAll();
}

TEST(Moneda, MapsTheChoiceWhateverTheCase) {
  std::string c = " ";
  EXPECT_TRUE(MONEDA("Soles ", c));
  EXPECT_EQ(c, "S");
  EXPECT_TRUE(MONEDA("DOLAR ", c));
  EXPECT_EQ(c, "D");
  EXPECT_TRUE(MONEDA("soles", c));
  EXPECT_EQ(c, "S");
  EXPECT_TRUE(MONEDA("Euros ", c));  // not a choice: unchanged, and the focus may leave
  EXPECT_EQ(c, "S");
}

}  // namespace
}  // namespace planilla::masters
