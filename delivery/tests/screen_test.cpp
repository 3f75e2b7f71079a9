// "Envio De Boletas Electronicas" played with the scripted toolkit on the demo
// company: a wrong value is refused and nothing is written, the settings typed are
// kept, and a month without calculated payroll stops with the payslip's own message
// before anything is made.
#include <gtest/gtest.h>

#include <filesystem>

#include "delivery/screens.h"
#include "delivery/settings.h"
#include "session/tests/demo_fixture.h"

namespace planilla::delivery {
namespace {

using ui::MsgKind;

class EnvioScreen : public testing::DemoFixture {
 protected:
  // No payslip is rendered in these cases.
  PdfRenderer render = [](const std::string&, const std::string&) {
    return Status::unsupported("no se genera PDF en esta prueba");
  };
};

TEST_F(EnvioScreen, WrongPortRefusedThenSettingsKeptThenUncalculatedMonthStops) {
  chooseDemoDate();
  tk.expectDialog("ENVIOBOL", "Envio De Boletas Electronicas")
      .type(102, "firma01.p12")
      .type(112, "smtp.empresa.pe")
      .type(114, "0")
      .radio(118)
      .type(123, "planillas@empresa.pe")
      .press(201)
      .expectMessage(MsgKind::Stop, "Puerto SMTP No Valido", "Mensaje")
      .type(114, "465")
      .press(201)
      .expectMessage(MsgKind::Info, "Configuracion Grabada", "Mensaje")
      .press(202)
      .expectMessage(MsgKind::YesNo, "Enviar Las Boletas Del Mes Por Correo ?", "Envio De Boletas Electronicas")
      .expectMessage(MsgKind::Stop, "Archivo Planilla-1 Mes 03 No Existe")
      .press(203);
  F_PENVIO01(s(), tk, render);
  EXPECT_TRUE(tk.ok()) << tk.report();

  bool found = false;
  auto v = readSettings(s(), &found);
  ASSERT_TRUE(v);
  EXPECT_TRUE(found);
  EXPECT_EQ(v.value().certificate, "firma01.p12");
  EXPECT_EQ(v.value().smtpHost, "smtp.empresa.pe");
  EXPECT_EQ(v.value().smtpPort, 465);
  EXPECT_EQ(v.value().tls, SmtpTls::Implicit);
  EXPECT_EQ(v.value().sender, "planillas@empresa.pe");
  // Nothing was made for the month.
  std::error_code ec;
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("boletas032025"), ec) || ec);
}

}  // namespace
}  // namespace planilla::delivery
