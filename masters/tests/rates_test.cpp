// Rates and percentages (F_PJLG05) and the tax brackets of IMPUIT2.
#include <gtest/gtest.h>

#include "masters/rates.h"
#include "masters/tests/masters_test_util.h"
#include "ui/picture.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;
using ui::MsgKind;

class Rates : public ::testing::Test {
 protected:
  catalog::TableDef def() { return st.session.def(TableId::Rates); }
  testing::Stored stored() { return testing::readAll(dir.path(), def()); }
  void run() {
    F_PJLG05(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  }
  TempDir dir;
  Station st{dir.path()};
};

TEST_F(Rates, RefusedWithoutWorkingDate) {
  st.session.YANO = "  ";
  st.tk.expectMessage(MsgKind::Stop, "Primero Ingrese Fecha", "Mensaje");
  run();
  EXPECT_FALSE(dir.has("pmae0501.dbf"));
}

TEST_F(Rates, FirstOpeningCreatesOneBlankRecordAndShowsZeros) {
  st.tk.expectDialog("EDITPORCE", "Datos")
      .expectText(104, ui::transform(0, "###.##"))
      .expectText(202, ui::transform(0, "###,###.##"))
      .expectText(102, "")
      .inspect([](ui::Dialog& d) {
        EXPECT_TRUE(d.fieldById(202)->isReadOnly());
        EXPECT_EQ(d.fieldById(202)->background(), ui::color::kSilver);
        EXPECT_EQ(d.fieldById(104)->background(), ui::color::kCyan);
        EXPECT_EQ(dynamic_cast<ui::Label*>(d.control(199))->foreground(), ui::color::kBlue);
        auto* month = dynamic_cast<ui::Combo*>(d.control(146));
        ASSERT_NE(month, nullptr);
        EXPECT_EQ(month->items().size(), 12u);
        EXPECT_EQ(month->items()[8], "09 SET");
        EXPECT_EQ(dynamic_cast<ui::Combo*>(d.control(154))->items(),
                  (std::vector<std::string>{"1-ROVAN", "2-TELIS"}));
        EXPECT_EQ(dynamic_cast<ui::Button*>(d.control(301))->imageName(), "check1.bmp");
      })
      .press(302);
  run();
  EXPECT_TRUE(dir.has("pmae0501.cdx"));
  auto s = stored();
  EXPECT_EQ(s.physical, 1u);
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.nums[0]["uit2"], 0);
  EXPECT_EQ(s.rows[0]["codigo"], padTo("", 6));
  // The table stays with its single record however often the screen opens.
  st.tk.reset();
  st.tk.expectDialog("EDITPORCE").press(301);
  run();
  EXPECT_EQ(stored().physical, 1u);
}

TEST_F(Rates, TaxUnitDerivesTheBracketLimits) {
  st.tk.expectDialog("EDITPORCE", "Datos")
      .type(200, "3950")
      .leave(200)
      .expectText(202, " 19,750.00")
      .expectText(204, " 79,000.00")
      .expectText(206, "138,250.00")
      .expectText(208, "177,750.00")
      .expectText(210, "177,750.00")
      .press(301);
  run();
  auto s = stored();
  ASSERT_EQ(s.nums.size(), 1u);
  EXPECT_EQ(s.nums[0]["uit2"], 3950);
  EXPECT_EQ(s.nums[0]["scala01"], 19750);
  EXPECT_EQ(s.nums[0]["scala02"], 79000);
  EXPECT_EQ(s.nums[0]["scala03"], 138250);
  EXPECT_EQ(s.nums[0]["scala04"], 177750);
  EXPECT_EQ(s.nums[0]["scala05"], 177750);
}

TEST_F(Rates, NegativeTaxUnitIsRefusedAndZeroAccepted) {
  st.tk.expectDialog("EDITPORCE")
      .type(200, "-1")
      .leave(200)
      .expectMessage(MsgKind::Stop, "Importe Debe Ser Mayor Que Cero", "Mensaje")
      .expectFocus(200)
      .type(200, "0")
      .leave(200)
      .press(302);
  run();
}

// "Proyeccion Con Bonificacion Extraordinaria" is kept in pmae13<cia>, not in the
// rates record: nothing on "&Cancelar"; saved, and shown as saved next time.
TEST_F(Rates, BonusProjectionIsKeptInItsOwnTable) {
  const catalog::TableDef tax = st.session.def(TableId::TaxSettings);
  auto stays = [&](bool on, int button, const char* stored) {
    st.tk.reset();
    st.tk.expectDialog("EDITPORCE")
        .inspect([on](ui::Dialog& d) { EXPECT_EQ(dynamic_cast<ui::CheckBox*>(d.control(231))->checked(), !on); })
        .setCheck(231, on)
        .press(button);
    run();
    auto t = testing::readAll(dir.path(), tax);
    EXPECT_EQ(t.rows.empty() ? "" : t.rows[0]["proyboni"], stored);
    EXPECT_LE(t.rows.size(), 1u);
  };
  stays(true, 302, "");
  stays(true, 301, "S");
  stays(false, 301, "N");
  EXPECT_EQ(stored().physical, 1u);  // the rates record keeps its one record
}

TEST(Impuit2, LimitsRoundedAndOversizedRefused) {
  TempDir dir;
  Station st(dir.path());
  std::array<double, 5> lim{1, 2, 3, 4, 5};
  EXPECT_TRUE(IMPUIT2(st.session, 3600.55, lim));
  EXPECT_DOUBLE_EQ(lim[0], 18002.75);
  EXPECT_DOUBLE_EQ(lim[3], 162024.75);
  EXPECT_DOUBLE_EQ(lim[4], lim[3]);
  // 45 times the unit no longer fits the limit fields: refused, limits kept.
  st.tk.expectMessage(MsgKind::Stop, "Importe Fuera De Rango", "Mensaje");
  EXPECT_FALSE(IMPUIT2(st.session, 250000, lim));
  EXPECT_DOUBLE_EQ(lim[0], 18002.75);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
}

TEST_F(Rates, SavesTheFormAndKeepsTheFieldsItDoesNotShow) {
  testing::updateFirst(dir.path(), def(),
                       {{"uit", "3600"}, {"escala1", "99.5"}, {"fonavit", "1.25"}, {"fonavie", "2"}, {"afpaum", "7"},
                        {"scala01", "11111"}, {"uit2", "3800"}});
  st.tk.expectDialog("EDITPORCE")
      // The stored limits are shown as stored, even when they do not match the unit.
      .expectText(202, " 11,111.00")
      .type(102, "abc")
      .type(104, "9")
      .type(120, "1.35")
      .type(122, "1.25")
      .type(130, "1234567.5")
      .type(224, "14")
      .choose(146, "07 JUL")
      .choose(154, "2-TELIS")
      .type(150, "bcp")
      .press(301);
  run();
  auto s = stored();
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.rows[0]["codigo"], "ABC   ");
  EXPECT_EQ(s.nums[0]["ipsst"], 9);
  EXPECT_EQ(s.nums[0]["hexemp2"], 1);  // no decimals in the field
  EXPECT_EQ(s.nums[0]["hexemp1"], 1.25);
  EXPECT_EQ(s.nums[0]["baseret"], 1234567.5);
  EXPECT_EQ(s.nums[0]["tasa14"], 14);
  EXPECT_EQ(s.rows[0]["mesafec"], "07 JUL");
  EXPECT_EQ(s.rows[0]["firma"], "2-TELIS");
  EXPECT_EQ(s.rows[0]["banco"], "BCP   ");
  EXPECT_EQ(s.nums[0]["scala01"], 11111);  // the unit was not touched
  EXPECT_EQ(s.nums[0]["uit"], 3600);
  EXPECT_EQ(s.nums[0]["escala1"], 99.5);
  EXPECT_EQ(s.nums[0]["fonavit"], 1.25);
  EXPECT_EQ(s.nums[0]["fonavie"], 2);
  EXPECT_EQ(s.nums[0]["afpaum"], 7);
}

TEST_F(Rates, CancelLeavesTheRecordAsItWas) {
  testing::updateFirst(dir.path(), def(), {{"ipsst", "9"}, {"mesafec", "12 DIC"}});
  const auto before = stored();
  st.tk.expectDialog("EDITPORCE")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(dynamic_cast<ui::Combo*>(d.control(146))->current(), 11); })
      .type(104, "13")
      .type(200, "5000")
      .choose(146, "01 ENE")
      .press(302);
  run();
  EXPECT_EQ(stored().rows, before.rows);
}

TEST_F(Rates, TableWithoutItsRecordGetsItBackOnSave) {
  ASSERT_TRUE(catalog::ensureTable(platformFileSystem(), dir.path(), def()).isOk());
  {
    auto t = catalog::openTable(platformFileSystem(), dir.path(), def(), OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE((*t)->goTop().isOk());
    ASSERT_TRUE((*t)->markDeleted().isOk());
    (*t)->close();
  }
  st.tk.expectDialog("EDITPORCE").expectText(104, "  0.00").type(104, "9").press(301);
  run();
  auto s = stored();
  EXPECT_EQ(s.physical, 2u);
  ASSERT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.nums[0]["ipsst"], 9);
}

TEST(RatesTwoStations, LockedRecordIsNotWritten) {
  TempDir dir;
  Station a(dir.path(), true), b(dir.path(), true);
  const catalog::TableDef def = a.session.def(TableId::Rates);
  ASSERT_TRUE(catalog::ensureTable(platformFileSystem(), dir.path(), def).isOk());
  auto held = catalog::openTable(platformFileSystem(), dir.path(), def, OpenMode::Shared);
  ASSERT_TRUE(held.isOk());
  ASSERT_TRUE((*held)->goTop().isOk());
  ASSERT_TRUE((*held)->lockRecord().isOk());
  a.tk.expectDialog("EDITPORCE")
      .type(104, "9")
      .press(301)
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje");
  F_PJLG05(a.session, a.tk);
  EXPECT_TRUE(a.tk.ok()) << a.tk.report();
  (*held)->close();
  EXPECT_EQ(testing::readAll(dir.path(), def).nums[0]["ipsst"], 0);
}

}  // namespace
}  // namespace planilla::masters
