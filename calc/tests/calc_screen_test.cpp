// The calculation screens F_P301 / F_P305 through the scripted backend.
#include "calc/run_stamps.h"
#include "calc/screens.h"
#include "session/tests/demo_fixture.h"
#include "store/catalog.h"

namespace planilla::calc {
namespace {

using testing::DemoFixture;
using ui::MsgKind;

class CalcScreenTest : public DemoFixture {
 protected:
  // Records of the month's payroll result table; -1 when it does not exist.
  int payrollRows() {
    const auto def = s().def(catalog::TableId::PayrollSoles);
    if (!s().fileExists(def.dbf())) return -1;
    auto t = s().open(0, def, OpenMode::Shared);
    if (!t) return -1;
    int n = 0;
    for ((void)(*t)->goTop(); !(*t)->eof(); (void)(*t)->skip(1)) ++n;
    s().closeAll();
    return n;
  }
};

TEST_F(CalcScreenTest, WithoutTheYearsExchangeRatesTheScreenDoesNotOpen) {
  // No working date: the file name carries a blank year.
  tk.expectMessage(MsgKind::Stop, "Maestro Tipo De Cambio No Existe  ", "Stop");
  F_P301(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(CalcScreenTest, UnknownRateCodeIsRefusedAndNothingRuns) {
  chooseDemoDate();
  tk.expectDialog("CALCU01", "Calculo De Planilla")
      .type(102, "xx")
      .press(201)
      .expectMessage(MsgKind::Stop, "Tipo De Cambio  XX     No Existe", "Stop")
      .expectFocus(102)
      .press(202);
  F_P301(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(payrollRows(), -1);
  EXPECT_EQ(s().current(), nullptr);
}

TEST_F(CalcScreenTest, TypedCodeShowsItsDollarLabel) {
  chooseDemoDate();
  tk.expectDialog("CALCU01")
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(d.labelById(101)->foreground(), ui::color::kBlue);
        EXPECT_EQ(d.fieldById(102)->foreground(), ui::color::kNavy);
        EXPECT_EQ(d.fieldById(102)->background(), ui::color::kCyan);
        EXPECT_EQ(d.fieldById(102)->width(), 6);
        EXPECT_EQ(d.labelById(551)->background(), ui::color::kSilver);
      })
      .type(102, "03 31")
      .leave(102)
      .inspect([](ui::Dialog& d) {
        const std::string shown = d.labelById(551)->shown();
        // The dollar label of the record, five blanks, the euro label (still blank).
        EXPECT_EQ(shown.substr(0, 7), "03 31  ") << shown;
        EXPECT_EQ(shown.substr(14), "      ") << shown;
      })
      .press(202);
  F_P301(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(CalcScreenTest, LookedUpCodeStartsTheRun) {
  chooseDemoDate();
  tk.expectDialog("CALCU01", "Calculo De Planilla")
      .inspect([](ui::Dialog& d) {
        auto* im = dynamic_cast<ui::Image*>(d.control(301));
        ASSERT_NE(im, nullptr);
        EXPECT_TRUE(im->handCursor());
      })
      .click(301)
      .expectDialog("", "Ventana De Ayuda (Maestro Tipo De Cambio)")
      .keys(1001, "03")  // the incremental search finds the March rate
      .press("&Selecciona")
      .expectText(102, "03 31")
      .expectFocus(102)
      .inspect([](ui::Dialog& d) {
        const std::string shown = d.labelById(551)->shown();
        EXPECT_EQ(shown.substr(0, 6), "03 31 ");
        EXPECT_NE(shown.find("     03 31 "), std::string::npos) << shown;  // then the euro label
      })
      .press(201)
      // The demo carries 2026's figures; its March of 2025 is told so.
      .expectMessage(MsgKind::Alert,
                     "La U.I.T. De Porcentajes (5500.00) No Es La Del A\xF1o 2025 (5350.00): Revise Porcentajes",
                     "Mensaje")
      .expectMessage(MsgKind::Info, "Fin De Proceso", "Mensaje");
  F_P301(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_GT(payrollRows(), 20);
  EXPECT_EQ(s().current(), nullptr);
}

// The demo in December, whose gratification roll is ready and not yet calculated.
class DecemberScreen : public CalcScreenTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
    ASSERT_TRUE(installDemo(platformFileSystem(), dir.path(), kDecember).isOk());
    tk.setDataDir(dir.path());
    session = std::make_unique<Session>(platformFileSystem(), tk, dir.path());
    session->setRed(false);
    chooseDemoDate(kDecember);
  }
  // The payroll screen started with the month's rate record.
  ui::ScriptedToolkit& startPayroll() { return tk.expectDialog("CALCU01", "Calculo De Planilla").type(102, "12 31").press(201); }
  const Date kDecember{2026, 12, 31};
};

// The payroll run asks before it goes ahead without the month's gratification; "No",
// the answer to Enter, stops with nothing run. Run anyway and followed by the
// gratification, the payroll is pending until it is run again.
TEST_F(DecemberScreen, PayrollAsksBeforeRunningWithoutTheGratification) {
  const std::string question =
      "La Gratificacion De Diciembre No Esta Calculada: Su Impuesto Entra En La Planilla Del Mes. Calcule Primero "
      "La Gratificacion.  Calcula La Planilla De Todos Modos ?";
  startPayroll().expectMessage(MsgKind::NoYes, question, "Mensaje", false);
  F_P301(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(payrollRows(), -1);

  startPayroll()
      .expectMessage(MsgKind::NoYes, question, "Mensaje", true)
      .expectMessage(MsgKind::Info, "Fin De Proceso", "Mensaje");
  F_P301(s(), tk);
  EXPECT_GT(payrollRows(), 20);
  EXPECT_FALSE(payrollPending(s()));
  tk.expectDialog("CALCU01", "Calculo De Gratificacion")
      .type(102, "12 31")
      .press(201)
      .expectMessage(MsgKind::Info, "Fin De Proceso", "Mensaje");
  F_P305(s(), tk);
  EXPECT_TRUE(payrollPending(s()));
  EXPECT_EQ(gratificationStatus(s()), GratStatus::Current);
  startPayroll().expectMessage(MsgKind::Info, "Fin De Proceso", "Mensaje");  // no question now
  F_P301(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_FALSE(payrollPending(s()));
}

TEST_F(CalcScreenTest, LookupCancelledKeepsTheCode) {
  chooseDemoDate();
  tk.expectDialog("CALCU01")
      .type(102, "88 888")
      .click(301)
      .expectDialog("", "Ventana De Ayuda (Maestro Tipo De Cambio)")
      .press("&Cancela")
      .expectText(102, "88 888")
      .press(202);
  F_P301(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(payrollRows(), -1);
}

TEST_F(CalcScreenTest, OtherSelectorsOfTheLookupDoNothing) {
  chooseDemoDate();
  RateChoice c;
  EXPECT_FALSE(KYLCAMAYU(s(), tk, c, 3));
  CONSULTACAMBANCOS(s(), tk, c, 5, nullptr);
  EXPECT_EQ(c.code, "      ");
  EXPECT_TRUE(tk.dialogs().empty());
}

TEST_F(CalcScreenTest, GratificationScreenIsTheSameScreenWithItsRun) {
  chooseDemoDate();
  tk.expectDialog("CALCU01", "Calculo De Gratificacion").type(102, "zz").press(201)
      .expectMessage(MsgKind::Stop, "Tipo De Cambio  ZZ     No Existe", "Stop")
      .press(202);
  F_P305(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();

  // In March the run refuses (July and December only): the screen did start it.
  tk.reset();
  tk.expectDialog("CALCU01", "Calculo De Gratificacion")
      .type(102, "03 31")
      .press(201)
      .expectMessage(MsgKind::Stop, "Relacion De Empleados Para Gratificaciones  No Existe", "Lea  El  Mensaje");
  F_P305(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().current(), nullptr);
}

}  // namespace
}  // namespace planilla::calc

namespace planilla::calc {
namespace {

// A December installation: the gratification roll of the month exists.
class DecemberCalcTest : public testing::DemoFixture {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir.path().empty());
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
    ASSERT_TRUE(installDemo(platformFileSystem(), dir.path(), Date(2025, 12, 31)).isOk());
    ::setenv("PLANILLA_VISOR", "true", 1);
    tk.setDataDir(dir.path());
    session = std::make_unique<Session>(platformFileSystem(), tk, dir.path());
    session->setRed(false);
    chooseDemoDate(Date(2025, 12, 31));
  }
  int rows(catalog::TableId id) {
    const auto def = s().def(id);
    if (!s().fileExists(def.dbf())) return -1;
    auto t = s().open(0, def, OpenMode::Shared);
    if (!t) return -1;
    int n = 0;
    for ((void)(*t)->goTop(); !(*t)->eof(); (void)(*t)->skip(1)) ++n;
    s().closeAll();
    return n;
  }
};

TEST_F(DecemberCalcTest, GratificationRunsWithTheLookedUpRate) {
  tk.expectDialog("CALCU01", "Calculo De Gratificacion")
      .click(301)
      .expectDialog("", "Ventana De Ayuda (Maestro Tipo De Cambio)")
      .keys(1001, "12")
      .press("&Selecciona")
      .expectText(102, "12 31")
      .press(201)
      .expectMessage(ui::MsgKind::Info, "Fin De Proceso", "Mensaje");
  F_P305(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_GT(rows(catalog::TableId::GratSoles), 0);
  EXPECT_EQ(rows(catalog::TableId::GratSoles), rows(catalog::TableId::GratDollars));
  // The payroll of the month was not touched by the gratification screen.
  EXPECT_EQ(rows(catalog::TableId::PayrollSoles), -1);
}

}  // namespace
}  // namespace planilla::calc

namespace planilla::calc {
namespace {

// The rate code as a clerk types it, and F4 on the code field opening the lookup the
// magnifier beside it opens.
TEST_F(CalcScreenTest, FourDigitsAreTheRateCodeAndF4OpensTheLookup) {
  EXPECT_EQ(rateCodeAsTyped("1231"), "12 31");
  EXPECT_EQ(rateCodeAsTyped("12/31"), "12 31");
  EXPECT_EQ(rateCodeAsTyped("12 31"), "12 31");
  EXPECT_EQ(rateCodeAsTyped("XX"), "XX");
  EXPECT_EQ(rateCodeAsTyped("123"), "123");
  chooseDemoDate();
  tk.expectDialog("CALCU01", "Calculo De Planilla")
      .type(102, "0331")
      .leave(102)
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(trimRight(d.fieldById(102)->text()), "03 31");
        EXPECT_EQ(d.labelById(551)->shown().substr(0, 5), "03 31");  // the record was found
      })
      .key(102, ui::Key::Lookup)
      .expectDialog("", "Ventana De Ayuda (Maestro Tipo De Cambio)")
      .press("&Cancela")
      .press(202);
  F_P301(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

}  // namespace
}  // namespace planilla::calc
