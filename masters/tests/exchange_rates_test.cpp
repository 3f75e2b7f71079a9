// The exchange-rate master (F_PJLG11): add, modify, the CTS rate, search and listing.
#include <gtest/gtest.h>

#include "masters/exchange_rates.h"
#include "masters/tests/masters_test_util.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

constexpr int kAdd = 1, kModify = 2, kSearch = 3, kPrint = 5, kCts = 6, kExit = 7;

ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

class ExchangeRates : public ::testing::Test {
 protected:
  catalog::TableDef def() { return st.session.def(TableId::ExchangeRates); }
  testing::Stored stored() { return testing::readAll(dir.path(), def()); }
  void run() {
    F_PJLG11(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  }
  TempDir dir;
  Station st{dir.path()};
};

TEST_F(ExchangeRates, AddWritesKeyAndLabels) {
  st.tk.expectDialog("MANTE03", "Maestro Tipo De Cambios")
      .inspect([](ui::Dialog& d) {
        ASSERT_EQ(d.barButtons().size(), 7u);
        EXPECT_EQ(d.barButtons()[5]->imageName(), "cts.bmp");
        EXPECT_EQ(d.barButtons()[5]->tooltipText(), "TC para CTS");
        EXPECT_EQ(listOf(d).headerTexts()[2], "TIPO CAMBIO SOLES");
        EXPECT_EQ(listOf(d).align(4), ui::Browse::Align::Right);
      })
      .pressBar(kAdd)
      .expectDialog("EDITCAMB", "Adicionar Registro")
      .type(102, "15")
      .type(104, "05")
      .type(106, "3.456")
      .type(108, "3.9")
      .type(112, "1.13")
      .press(301)
      .inspect([](ui::Dialog& d) {
        ASSERT_EQ(listOf(d).rowCount(), 1);
        auto row = listOf(d).row(0);
        EXPECT_EQ(row[0], "15 ");
        EXPECT_EQ(row[2], "  3.456");
        EXPECT_EQ(row[4], "  1.1300");
      })
      .pressBar(kExit);
  run();
  EXPECT_TRUE(dir.has("tcam16.dbf"));
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["codigo"], "05 15 ");
  EXPECT_EQ(s.rows[0]["codcam"], "05 15    3.456");
  EXPECT_EQ(s.rows[0]["codcame"], "05 15    3.900");
  EXPECT_EQ(s.rows[0]["codeuro"], "05 15    1.130");  // 8.4 cut to 14 characters
  EXPECT_EQ(s.rows[0]["xdias"], "15 ");
  EXPECT_EQ(s.rows[0]["xmes"], "05");
  EXPECT_DOUBLE_EQ(s.nums[0]["tip_cam"], 3.456);
  EXPECT_DOUBLE_EQ(s.nums[0]["tip_came"], 3.9);
  EXPECT_DOUBLE_EQ(s.nums[0]["tip_euro"], 1.13);
}

TEST_F(ExchangeRates, BlankDayWritesNothing) {
  st.tk.expectDialog("MANTE03")
      .pressBar(kAdd)
      .expectDialog("EDITCAMB")
      .type(104, "05")
      .type(106, "3.4")
      .press(301)
      .expectMessage(MsgKind::Stop, "Codigo En Blanco", "Mensaje")
      .pressBar(kExit);
  run();
  EXPECT_EQ(stored().physical, 0u);
}

TEST_F(ExchangeRates, CtsRateOnlyInMayAndNovember) {
  st.session.YMES = "07";
  st.tk.expectDialog("MANTE03")
      .pressBar(kCts)
      .expectMessage(MsgKind::Stop, "Error , No Es Periodo de  CTS", "Stop")
      .pressBar(kExit);
  run();
  EXPECT_EQ(stored().physical, 0u);

  // "&Cancelar" adds nothing.
  st.session.YMES = "05";
  st.tk.reset();
  st.tk.expectDialog("MANTE03").pressBar(kCts).expectDialog("TCCTS").type(106, "1").press(110).pressBar(kExit);
  run();
  EXPECT_EQ(stored().physical, 0u);

  for (const char* month : {"05", "11"}) {
    SCOPED_TRACE(month);
    st.session.YMES = month;
    const bool may = std::string(month) == "05";
    st.tk.reset();
    st.tk.expectDialog("MANTE03")
        .pressBar(kCts)
        .expectDialog("TCCTS", "Datos Del Registro")
        .expectText(102, may ? "888" : "999")
        .expectText(104, may ? "88" : "99")
        .inspect([](ui::Dialog& d) {
          EXPECT_FALSE(d.fieldById(102)->editable());
          EXPECT_FALSE(d.fieldById(104)->editable());
        })
        .type(106, "3.456")
        .type(108, "3.9")
        .type(112, "1.13")
        .press(109)
        .pressBar(kExit);
    run();
  }
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_EQ(s.rows[0]["codigo"], "88 888");
  EXPECT_EQ(s.rows[0]["xdias"], "888");
  EXPECT_EQ(s.rows[0]["xmes"], "88");
  EXPECT_EQ(s.rows[0]["codcam"], "88 888   3.456");
  EXPECT_EQ(s.rows[1]["codigo"], "99 999");
}

TEST_F(ExchangeRates, ModifySearchAndListing) {
  testing::seed(dir.path(), def(),
                {{{"codigo", "01 02 "}, {"xdias", "02"}, {"xmes", "01"}, {"tip_cam", "3.1"}},
                 {{"codigo", "02 10 "}, {"xdias", "10"}, {"xmes", "02"}, {"tip_cam", "3.2"}},
                 {{"codigo", "03 05 "}, {"xdias", "05"}, {"xmes", "03"}, {"tip_cam", "3.3"}, {"tip_camE", "4.25"},
                  {"tip_Euro", "1.1234"}},
                 {{"codigo", "04 01 "}, {"xdias", "01"}, {"xmes", "04"}, {"tip_cam", "3.4"}}});
  st.tk.expectDialog("MANTE03")
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "03 05")
      .press("&Aceptar")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 2); })
      .pressBar(kPrint)
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "02")  // the month alone: its first rate
      .press("&Aceptar")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 1); })
      .pressBar(kSearch)
      .expectDialog("", "Buscar")
      .type(0, "09")
      .press("&Aceptar")
      .expectMessage(MsgKind::Stop, " Dia 09     No Existe", "Stop")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).currentRow(), 1); })
      .pressBar(kModify)
      .expectDialog("EDITCAMB", "Modificar Registro")
      .expectText(102, "10")
      .expectText(104, "02")
      .type(106, "3.25")
      .press(301)
      .pressBar(kExit);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 4u);
  EXPECT_DOUBLE_EQ(s.nums[1]["tip_cam"], 3.25);
  EXPECT_EQ(s.rows[1]["codigo"], "02 10 ");
  EXPECT_EQ(s.rows[1]["codcam"], "02 10    3.250");

  const std::string text = testing::readFile(dir.file("Test.rpv"));
  const std::string expected = testing::crlf({
      "Report_Title=Maestro Tipo de Cambio",
      "PaperSize=A4",
      "Orientation=1",
      "Spacing=220",
      "$c00=690",
      "$c01=2530",
      "$c02=4945",
      "$c03=5865",
      "[Header]",
      "{f=Lucida Console;\\n;s=9}",
      "{\\n;$c00;a=l} " + padTo("EMPRESA DEMO S.A.", 45),
      "{\\n;$c00;s=8;b=y;a=l} {tab=500} MAESTRO TIPO DE CAMBIO{b=n;\\n}",
      "{Line=300,6000;\\n}",
      "{$c00;a=l} DIA/MES{$c01;a=l} SOL/DOLAR{$c02;a=l} EURO/SOLES{$c03;a=l} EURO/DOLAR{\\n}",
      "{Line=300,6000;\\n}",
      "[Data]",
      "{e;$c00;a=l} 05 /03{t;$c01;a=r} {tab=800}  3.300{t;$c02;a=r} {tab=800}  4.2500{t;$c03;a=r} {tab=800}   "
      "1.1234{t;\\n}",
      "{e;$c00;a=l} 01 /04{t;$c01;a=r} {tab=800}  3.400{t;$c02;a=r} {tab=800}  0.0000{t;$c03;a=r} {tab=800}   "
      "0.0000{t;\\n}",
  });
  EXPECT_EQ(text, expected);
}

TEST_F(ExchangeRates, ImpossibleAndTakenCodesKeepTheDialogOpen) {
  testing::seed(dir.path(), def(), {{{"codigo", "05 15 "}, {"xdias", "15 "}, {"xmes", "05"}, {"tip_cam", "3.3"}}});
  st.tk.expectDialog("MANTE03")
      .pressBar(kAdd)
      .expectDialog("EDITCAMB", "Adicionar Registro")
      .type(102, "32")
      .type(104, "13")
      .type(106, "3.456")
      .press(301)
      .expectMessage(MsgKind::Stop, "Mes 13 No Valido", "Mensaje")
      .expectFocus(104)
      .type(104, "1A")
      .press(301)
      .expectMessage(MsgKind::Stop, "Mes 1A No Valido", "Mensaje")
      .type(104, "02")
      .press(301)
      .expectMessage(MsgKind::Stop, "Dia 32 No Valido Para El Mes 02", "Mensaje")
      .expectFocus(102)
      .type(102, "30")
      .press(301)
      .expectMessage(MsgKind::Stop, "Dia 30 No Valido Para El Mes 02", "Mensaje")
      .type(102, "29")  // 2016 is a leap year
      .press(301)
      // A second rate for the 15th of May: the runs would only ever read the first.
      .pressBar(kAdd)
      .expectDialog("EDITCAMB", "Adicionar Registro")
      .type(102, "15")
      .type(104, "05")
      .type(106, "3.5")
      .press(301)
      .expectMessage(MsgKind::Stop, "Codigo  05 15  Existe", "Mensaje")
      .expectFocus(102)
      .press(302)
      .pressBar(kExit);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_EQ(s.rows[0]["codigo"], "05 15 ");
  EXPECT_DOUBLE_EQ(s.nums[0]["tip_cam"], 3.3);
  EXPECT_EQ(s.rows[1]["codigo"], "02 29 ");
  EXPECT_DOUBLE_EQ(s.nums[1]["tip_cam"], 3.456);

  // Modifying keeps the record's own code, but does not move it onto another's.
  st.tk.reset();
  st.tk.expectDialog("MANTE03")
      .pick(101, 2)
      .pressBar(kModify)
      .expectDialog("EDITCAMB", "Modificar Registro")
      .type(106, "3.35")
      .press(301)
      .pick(101, 1)
      .pressBar(kModify)
      .expectDialog("EDITCAMB", "Modificar Registro")
      .expectText(102, "29")
      .type(102, "15")
      .type(104, "05")
      .press(301)
      .expectMessage(MsgKind::Stop, "Codigo  05 15  Existe", "Mensaje")
      .press(302)
      .pressBar(kExit);
  run();
  s = stored();
  EXPECT_DOUBLE_EQ(s.nums[0]["tip_cam"], 3.35);
  EXPECT_EQ(s.rows[1]["codigo"], "02 29 ");

  // In 2015 February has 28 days.
  TempDir other;
  Station st15(other.path());
  st15.session.YANO = "15";
  st15.tk.expectDialog("MANTE03")
      .pressBar(kAdd)
      .expectDialog("EDITCAMB")
      .type(102, "29")
      .type(104, "02")
      .press(301)
      .expectMessage(MsgKind::Stop, "Dia 29 No Valido Para El Mes 02", "Mensaje")
      .press(302)
      .pressBar(kExit);
  F_PJLG11(st15.session, st15.tk);
  EXPECT_TRUE(st15.tk.ok()) << st15.tk.report();
}

TEST_F(ExchangeRates, OneCtsRatePerHalfYearCorrectedInPlace) {
  st.tk.expectDialog("MANTE03").pressBar(kCts).expectDialog("TCCTS").type(106, "3.1").press(109).pressBar(kExit);
  run();
  // A second one is refused before its dialog: the reports read only the first.
  st.tk.reset();
  st.tk.expectDialog("MANTE03")
      .pressBar(kCts)
      .expectMessage(MsgKind::Stop, "Codigo  88 888 Existe", "Mensaje")
      .pressBar(kExit);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["codigo"], "88 888");
  // Correcting it with the modify dialog keeps its key.
  st.tk.reset();
  st.tk.expectDialog("MANTE03")
      .pick(101, 1)
      .pressBar(kModify)
      .expectDialog("EDITCAMB", "Modificar Registro")
      .expectText(102, "888")
      .type(106, "3.15")
      .press(301)
      .pressBar(kExit);
  run();
  s = stored();
  EXPECT_DOUBLE_EQ(s.nums[0]["tip_cam"], 3.15);
  EXPECT_EQ(s.rows[0]["codigo"], "88 888");
  EXPECT_EQ(s.rows[0]["codcam"], "88 888   3.150");
}

TEST(ExchangeRatesCompanies, TwoCompaniesOfOneYearShareTheRates) {
  TempDir dir;
  Station a(dir.path());
  a.tk.expectDialog("MANTE03")
      .pressBar(kAdd)
      .expectDialog("EDITCAMB")
      .type(102, "1")
      .type(104, "01")
      .type(106, "3.3")
      .press(301)
      .pressBar(kExit);
  F_PJLG11(a.session, a.tk);
  EXPECT_TRUE(a.tk.ok()) << a.tk.report();

  Station b(dir.path());
  b.session.YCIA = "02";
  b.tk.expectDialog("MANTE03")
      .inspect([](ui::Dialog& d) {
        ASSERT_EQ(listOf(d).rowCount(), 1);
        EXPECT_EQ(listOf(d).row(0)[0], "1  ");
      })
      .pressBar(kExit);
  F_PJLG11(b.session, b.tk);
  EXPECT_TRUE(b.tk.ok()) << b.tk.report();
}

TEST(RateLabel, MonthDayAndRateInFourteenCharacters) {
  EXPECT_EQ(rateLabel("05", "15 ", 3.456, 7, 3), "05 15    3.456");
  EXPECT_EQ(rateLabel("12", "31 ", 123.4567, 8, 4), "12 31  123.456");
}

}  // namespace
}  // namespace planilla::masters
