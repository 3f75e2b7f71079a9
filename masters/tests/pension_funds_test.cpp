// The pension-fund master (F_PJLG06): month + code keys, validations, search, listing.
#include <gtest/gtest.h>

#include "masters/maintenance.h"
#include "masters/pension_funds.h"
#include "masters/tests/masters_test_util.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

constexpr int kAdd = 1, kModify = 2, kSearch = 3, kPrint = 5, kExit = 6;

ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

class Funds : public ::testing::Test {
 protected:
  catalog::TableDef def() { return st.session.def(TableId::PensionFunds); }
  testing::Stored stored() { return testing::readAll(dir.path(), def()); }
  void seedFunds() {
    testing::seed(dir.path(), def(),
                  {{{"mes", "04"}, {"codigo", "HABITA"}, {"nombre", "HABITAT"}, {"afppor1", "10"}},
                   {{"mes", "05"}, {"codigo", "INTEGR"}, {"nombre", "INTEGRA"}, {"afppor1", "10"}, {"afppor2", "1.35"},
                    {"afppor3", "1.55"}, {"afppor4", "9707.03"}},
                   {{"mes", "05"}, {"codigo", "PRIMA"}, {"nombre", "PRIMA AFP"}, {"afppor1", "10"}},
                   {{"mes", "13"}, {"codigo", "RARO"}, {"nombre", "MES RARO"}}});
  }
  void run() {
    F_PJLG06(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  }
  TempDir dir;
  Station st{dir.path()};
};

TEST(Cac01afp, MonthAbbreviations) {
  EXPECT_EQ(CAC01AFP("01"), "ENER");
  EXPECT_EQ(CAC01AFP("09"), "SETI");
  EXPECT_EQ(CAC01AFP("12"), "DICI");
  EXPECT_EQ(CAC01AFP("13"), "   ");
  EXPECT_EQ(CAC01AFP("00"), "   ");
  EXPECT_EQ(CAC01AFP("  "), "   ");
  EXPECT_EQ(CAC01AFP("5"), "   ");
}

TEST_F(Funds, FirstOpeningCreatesTheYearFileAndTheListShowsMonths) {
  seedFunds();
  st.tk.expectDialog("MANTE03", "Mantenimiento De Maestro De Afps")
      .inspect([](ui::Dialog& d) {
        ui::Browse& br = listOf(d);
        EXPECT_EQ(br.headerTexts(),
                  (std::vector<std::string>{"MES", "CODIGO", "DESCRIPCION", "APORTE", "PRIMA", "COMIS.", "TOPE"}));
        EXPECT_EQ(br.columnWidths(), (std::vector<int>{50, 60, 270, 65, 60, 60, 90}));
        ASSERT_EQ(br.rowCount(), 4);
        EXPECT_EQ(br.row(0)[0], "ABRI");
        EXPECT_EQ(br.row(1)[0], "MAYO");
        EXPECT_EQ(br.row(1)[4], "  1.35");
        EXPECT_EQ(br.row(1)[6], " 9,707.03");
        EXPECT_EQ(br.row(3)[0], "   ");  // month 13
        EXPECT_EQ(d.barButtons().size(), 6u);
      })
      .pressBar(kExit);
  run();
  EXPECT_TRUE(dir.has("pm060116.cdx"));
}

TEST_F(Funds, SameCodeRefusedInTheSameMonthAcceptedInAnother) {
  seedFunds();
  st.tk.expectDialog("MANTE03")
      .pressBar(kAdd)
      .expectDialog("EDITAFPS", "Adicionar Registro")
      .type(122, "")
      .leave(122)
      .expectMessage(MsgKind::Stop, "Campo En Blanco", "Stop")
      .type(122, "05")
      .type(102, "prima")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo  PRIMA  Existe", "Stop")
      .type(102, "")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Campo En Blanco", "Stop")
      .press(302)
      .pressBar(kAdd)
      .expectDialog("EDITAFPS", "Adicionar Registro")
      .type(122, "06")
      .type(102, "PRIMA")
      .type(104, "Prima AFP")
      .type(114, "10")
      .type(116, "1.35")
      .type(118, "1.6")
      .type(120, "9707.03")
      .press(301)
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).rowCount(), 5);
        EXPECT_EQ(listOf(d).currentRow(), 3);  // 06PRIMA sorts before 13RARO
      })
      .pressBar(kExit);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 5u);
  EXPECT_EQ(s.rows[4]["mes"], "06");
  EXPECT_EQ(s.rows[4]["codigo"], "PRIMA ");
  EXPECT_EQ(s.rows[4]["nombre"], padTo("PRIMA AFP", 40));
  EXPECT_DOUBLE_EQ(s.nums[4]["afppor2"], 1.35);
  EXPECT_DOUBLE_EQ(s.nums[4]["afppor3"], 1.6);
  EXPECT_DOUBLE_EQ(s.nums[4]["afppor4"], 9707.03);
  EXPECT_EQ(s.nums[4]["afppor41"], 0);
}

TEST_F(Funds, ModifyKeepsItsKeyAndRefusesAnothersKey) {
  seedFunds();
  st.tk.expectDialog("MANTE03")
      .pick(101, 2)
      .pressBar(kModify)
      .expectDialog("EDITAFPS", "Modificar Registro")
      .expectText(122, "05")
      .expectText(102, "INTEGR")
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(d.fieldById(104)->foreground(), ui::color::kBlack);
        EXPECT_NE(d.fieldById(122)->foreground(), ui::color::kBlack);
      })
      .type(102, "PRIMA")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Registro   05PRIMA  Ya Existe", "Mensaje")
      .expectFocus(102)
      .type(102, "")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo En Blanco", "Mensaje")
      .type(102, "INTEGR")
      .type(122, "")  // leaving its own key is accepted
      .type(102, "INTEGR")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Mes En Blanco", "Mensaje")
      .press(302)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 1); })
      .pressBar(kModify)
      .expectDialog("EDITAFPS", "Modificar Registro")
      .type(118, "1.47")
      .type(102, "INTEGR")
      .press(301)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 1); })
      .pressBar(kExit);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 4u);
  EXPECT_EQ(s.rows[1]["codigo"], "INTEGR");
  EXPECT_DOUBLE_EQ(s.nums[1]["afppor3"], 1.47);
  EXPECT_DOUBLE_EQ(s.nums[1]["afppor4"], 9707.03);
}

// A value that does not fit its field is refused before anything is written (the
// pictures of the dialogs keep typed values inside their fields; this guards the write).
TEST_F(Funds, ValueThatDoesNotFitWritesNothing) {
  seedFunds();
  auto before = stored();
  Table* t = openMaintenanceTable(st.session, def(), "Afps");
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(t->seek("05INTEGR"));
  const uint32_t rec = t->recno();
  RecordEdit e = RecordEdit::current(*t);
  const std::string original = e.bytes();
  e.text("nombre", "OTRO").number("afppor1", 1000);
  EXPECT_FALSE(e.status().isOk());
  st.tk.expectMessage(MsgKind::Stop, "El valor 1000.00 no cabe en el campo AFPPOR1 (6,2)", "Mensaje");
  EXPECT_FALSE(changeRecord(st.session, *t, rec, [](RecordEdit& r) { r.text("nombre", "OTRO").number("afppor1", 1000); }));
  RecordEdit add = RecordEdit::blank(*t);
  add.text("mes", "07").text("codigo", "NUEVO").number("afppor4", 1e9);
  EXPECT_FALSE(add.status().isOk());
  st.tk.expectMessage(MsgKind::Stop, "El valor 1000000000.00 no cabe en el campo AFPPOR4 (10,2)", "Mensaje");
  EXPECT_FALSE(addRecord(st.session, *t, add));
  // Good values go through in one piece.
  EXPECT_TRUE(changeRecord(st.session, *t, rec, [](RecordEdit& r) { r.number("afppor1", 11.5); }));
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  st.session.closeAll();
  auto after = stored();
  EXPECT_EQ(after.physical, before.physical);
  EXPECT_EQ(after.rows[1]["nombre"], before.rows[1]["nombre"]);
  EXPECT_DOUBLE_EQ(after.nums[1]["afppor1"], 11.5);
  EXPECT_EQ(after.rows[0], before.rows[0]);
}

TEST_F(Funds, SearchLooksInTheWorkingMonth) {
  seedFunds();
  st.tk.expectDialog("MANTE03")
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "prima")
      .press("&Aceptar")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "HABITA")  // only in April
      .press("&Aceptar")
      .expectMessage(MsgKind::Stop, "Codigo HABITA No Existe", "Stop")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pressBar(kExit);
  run();
}

TEST_F(Funds, ListingFromTheThirdRecord) {
  seedFunds();
  st.tk.expectDialog("MANTE03").pick(101, 3).pressBar(kPrint).pressBar(kExit);
  run();
  const std::string expected = testing::crlf({
      "Report_Title=Reporte Maestro  AFPs",
      "PaperSize=A4",
      "Orientation=1",
      "Spacing=220",
      "$c00=690",
      "$c01=1495",
      "$c02=2415",
      "$c03=4485",
      "$c04=5750",
      "$c05=7015",
      "$c06=8280",
      "[Header]",
      "{f=Lucida Console;\\n;s=9}",
      "{\\n;$c00;a=l} " + padTo("EMPRESA DEMO S.A.", 45),
      "{\\n;$c00;s=8;b=y;a=l} {tab=2900} MAESTRO DE AFPs{b=n;\\n}",
      "{Line=300,9500;\\n}",
      "{$c00;a=l} MES{$c01;a=l} {tab=-100} CODIGO{$c02;a=l} {tab=200} NOMBRE{$c03;a=l} {tab=100} APORTE"
      "{$c04;a=l} {tab=100} PRIMA{$c05;a=l} COMISION{$c06;a=l} TOPE{\\n}",
      "{Line=300,9500;\\n}",
      "[Data]",
      "{e;$c00;a=l} 05{t;$c01;a=l} PRIMA {t;$c02;a=l} " + padTo("PRIMA AFP", 40) +
          "{t;$c03;a=r} {tab=800} 10.00{t;$c04;a=r} {tab=800}  0.00{t;$c05;a=r} {tab=800}  0.00"
          "{t;$c06;a=r} {tab=800}      0.00{t;\\n}",
      "{e;$c00;a=l} 13{t;$c01;a=l} RARO  {t;$c02;a=l} " + padTo("MES RARO", 40) +
          "{t;$c03;a=r} {tab=800}  0.00{t;$c04;a=r} {tab=800}  0.00{t;$c05;a=r} {tab=800}  0.00"
          "{t;$c06;a=r} {tab=800}      0.00{t;\\n}",
  });
  EXPECT_EQ(testing::readFile(dir.file("Test.rpv")), expected);
}

}  // namespace
}  // namespace planilla::masters
