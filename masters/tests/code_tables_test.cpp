// The code tables of F_PJLG04: every selector, add, modify, search and listing.
#include <gtest/gtest.h>

#include "masters/reference_tables.h"
#include "masters/screens.h"
#include "ui/picture.h"
#include "masters/tests/masters_test_util.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

constexpr int kAdd = 1, kModify = 2, kSearch = 3, kPrint = 5, kExit = 6;

ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

TEST(CodeTables, EverySelectorOpensItsOwnTableWithItsTitle) {
  struct Case {
    int n;
    const char* file;
    const char* title;
    int code, name, codnom;
  } cases[] = {
      {1, "pmae0401", "Maestro Centro De Costos", 6, 45, 52},
      {2, "pmae0201", "Maestro Planilla Unica", 6, 50, 57},
      {7, "pmae0701", "Maestro De Situacion", 2, 50, 53},
      {8, "pmae0801", "Maestro Tipo De Trabajador", 2, 50, 52},
      {3, "pmae0301", "Maestro Tipo Pensionista  o  Prestador De Servicios", 2, 50, 52},
      {9, "pmae0901", "Maestro Tipo de Documento de Identidad", 1, 50, 52},
      {10, "pmae1001", "Maestro Tipo de Movimiento de Personal", 1, 50, 52},
  };
  TempDir dir;
  Station st(dir.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    st.tk.reset();
    st.tk.expectDialog("MANTE02", c.title)
        .inspect([&](ui::Dialog& d) {
          ui::Browse& br = listOf(d);
          EXPECT_EQ(br.headerTexts(), (std::vector<std::string>{"CODIGO", "DESCRIPCION"}));
          EXPECT_EQ(br.columnWidths(), (std::vector<int>{100, 300}));
          EXPECT_EQ(ui::upper1252(br.table().alias()), "COSTOS");
          Table& t = br.table();
          EXPECT_EQ(t.field(t.fieldIndex("codigo")).width, c.code);
          EXPECT_EQ(t.field(t.fieldIndex("nombre")).width, c.name);
          EXPECT_EQ(t.field(t.fieldIndex("codnom")).width, c.codnom);
        })
        .pressBar(kAdd)
        .expectDialog("EDITNACION", "Adicionar Registro")
        .inspect([&](ui::Dialog& d) {
          // Code and name are typed as wide as the table keeps them: a cost-centre
          // name takes 45 characters, one more is refused as typed.
          EXPECT_EQ(d.fieldById(102)->width(), c.code);
          EXPECT_EQ(d.fieldById(104)->width(), c.name);
          EXPECT_FALSE(d.fieldById(104)->type(std::string(static_cast<size_t>(c.name) + 1, 'N')));
        })
        .type(102, "1")
        .type(104, std::string(static_cast<size_t>(c.name), 'N'))
        .press(301)
        .pressBar(kExit);
    F_PJLG04(st.session, st.tk, c.n);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
    EXPECT_TRUE(dir.has(std::string(c.file) + ".dbf"));
    EXPECT_TRUE(dir.has(std::string(c.file) + ".cdx"));
    CodeTableInfo info;
    ASSERT_TRUE(codeTableInfo(c.n, &info));
    auto s = testing::readAll(dir.path(), st.session.def(info.id));
    ASSERT_EQ(s.rows.size(), 1u);
    // codnom (code, a blank, the name) is cut to its width: for selectors 8 and 3 the
    // last character of a full name does not fit (2 + 1 + 50 = 53 > 52).
    EXPECT_EQ(s.rows[0]["nombre"], std::string(static_cast<size_t>(c.name), 'N'));
    EXPECT_EQ(s.rows[0]["codnom"],
              padTo(padTo("1", static_cast<size_t>(c.code)) + " " + std::string(static_cast<size_t>(c.name), 'N'),
                  static_cast<size_t>(c.codnom)));
  }
}

TEST(CodeTables, UnknownSelectorDoesNothing) {
  TempDir dir;
  Station st(dir.path());
  F_PJLG04(st.session, st.tk, 5);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  EXPECT_TRUE(st.tk.dialogs().empty());
  EXPECT_FALSE(codeTableInfo(4, nullptr));
}

class CostCentres : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::seed(dir.path(), def(),
                  {{{"codigo", "ADM"}, {"nombre", "ADMINISTRACION"}},
                   {{"codigo", "OPE"}, {"nombre", "OPERACIONES"}},
                   {{"codigo", "VEN"}, {"nombre", "VENTAS"}},
                   {{"codigo", "ZON"}, {"nombre", "ZONA NORTE"}}});
  }
  catalog::TableDef def() { return st.session.def(TableId::CostCentres); }
  void run() {
    F_PJLG04(st.session, st.tk, 1);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  }
  TempDir dir;
  Station st{dir.path()};
};

TEST_F(CostCentres, AddRefusesDuplicatesAndBlankCodes) {
  st.tk.expectDialog("MANTE02")
      .pressBar(kAdd)
      .expectDialog("EDITNACION")
      .type(102, "ope")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Dato  Existe", "Mensaje")
      .type(102, "  ")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Campo En Blanco", "Mensaje")
      .type(102, "fin")
      .type(104, "finanzas")
      .press(301)
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).rowCount(), 5);
        EXPECT_EQ(listOf(d).currentRow(), 1);  // FIN sorts after ADM
      })
      .pressBar(kExit);
  run();
  auto s = testing::readAll(dir.path(), def());
  ASSERT_EQ(s.rows.size(), 5u);
  EXPECT_EQ(s.rows[4]["codigo"], "FIN   ");
  EXPECT_EQ(s.rows[4]["codnom"], padTo("FIN    FINANZAS", 52));
}

TEST_F(CostCentres, ModifyKeepsOwnCodeRefusesOthersAndIgnoresBlankName) {
  const auto before = testing::readAll(dir.path(), def());
  st.tk.expectDialog("MANTE02")
      .pick(101, 2)
      .pressBar(kModify)
      .expectDialog("EDITNACION", "Modificar Registro")
      .type(102, "VEN")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo  VEN    Existe", "Mensaje")
      .type(102, "OPE")
      .type(104, "")
      .press(301)  // blank name: nothing written, nothing said
      .pressBar(kModify)
      .expectDialog("EDITNACION", "Modificar Registro")
      .type(102, "OPX")
      .type(104, "OPERACIONES MINA")
      .press(301)
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).currentRow(), 1);
        EXPECT_EQ(listOf(d).row(1)[0], "OPX   ");
      })
      .pressBar(kExit);
  run();
  auto s = testing::readAll(dir.path(), def());
  ASSERT_EQ(s.rows.size(), 4u);
  EXPECT_EQ(s.rows[0], before.rows[0]);
  EXPECT_EQ(s.rows[1]["codigo"], "OPX   ");
  EXPECT_EQ(s.rows[1]["nombre"], padTo("OPERACIONES MINA", 45));
  EXPECT_EQ(s.rows[1]["codnom"], padTo("OPX    OPERACIONES MINA", 52));
}

TEST_F(CostCentres, SearchUpperCasesAndSaysWhenMissing) {
  st.tk.expectDialog("MANTE02")
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "ven")
      .press("&Aceptar")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "xyz")
      .press("&Aceptar")
      .expectMessage(MsgKind::Stop, "Dato Ingresado No Existe", "Mensaje")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pressBar(kExit);
  run();
}

TEST_F(CostCentres, ListingFromTheThirdRecord) {
  st.tk.expectDialog("MANTE02").pick(101, 3).pressBar(kPrint).pressBar(kExit);
  run();
  const std::string text = testing::readFile(dir.file("Test.rpv"));
  const std::string header = testing::crlf({
      "Report_Title=Reporte de Maestro",
      "PaperSize=A4",
      "Orientation=1",
      "Spacing=220",
      "$c00=690",
      "$c01=1955",
      "$c02=6670",
      "[Header]",
      "{f=Lucida Console;\\n;s=9}",
      "{\\n;$c00;a=l} " + padTo("EMPRESA DEMO S.A.", 45),
      "{\\n;$c00;s=8;b=y;a=l} {tab=500} Maestro Centro De Costos{b=n;\\n}",
      "{Line=300,6000;\\n}",
      "{$c00;a=l} CODIGO{$c01;a=l} DESCRIPCION{\\n}",
      "{Line=300,6000;\\n}",
      "[Data]",
  });
  const std::string data = testing::crlf({
      "{e;$c00;a=l} VEN   {t;$c01;a=l} " + padTo("VENTAS", 45) + "{t;\\n}",
      "{e;$c00;a=l} ZON   {t;$c01;a=l} " + padTo("ZONA NORTE", 45) + "{t;\\n}",
  });
  EXPECT_EQ(text, header + data);
}

TEST(ScreenEntries, EveryMenuEntryIsThere) {
  const auto& all = masterScreens();
  ASSERT_EQ(all.size(), 17u);
  for (const char* f : {"F_BJLG01", "F_PJLG05", "F_PJLG06", "F_PJLG11", "F_PJLG04(1)", "F_PJLG04(2)", "F_PJLG04(3)",
                        "F_PJLG04(7)", "F_PJLG04(8)", "F_PJLG04(9)", "F_PJLG04(10)", "F_PJLG01", "F_PJLG02",
                        "F_PJLG19", "F_PJLG20", "F_PJLG21(1)", "F_PJLG21(2)"}) {
    EXPECT_NE(findScreen(f), nullptr) << f;
  }
  EXPECT_EQ(findScreen("F_PJLG04(4)"), nullptr);
  EXPECT_EQ(findScreen("F_PJLG04(8)")->caption, "&Tipo Trabajador");
  // Each entry opens its screen (here: refused without a working date).
  TempDir dir;
  Station st(dir.path());
  st.session.YCIA = "  ";
  for (const auto& e : all) {
    if (e.function == "F_PJLG01" || e.function == "F_PJLG02") continue;  // other titles: their own tests
    st.tk.reset();
    const bool rates = e.function == "F_PJLG05";
    st.tk.expectMessage(MsgKind::Stop,
                        rates ? "Primero Ingrese Fecha" : "Primero, Elija La Compania Con Que Va a Trabajar (cia)",
                        "Mensaje");
    e.run(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << e.function << "\n" << st.tk.report();
  }
}

}  // namespace
}  // namespace planilla::masters
