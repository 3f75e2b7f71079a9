// The termination settlement screen through the scripted backend, on the demo company:
// compute, save, print, mark paid, and no change after.
#include "reports/settlement_screen.h"

#include "session/tests/demo_fixture.h"

namespace planilla::reports {
namespace {

using testing::DemoFixture;
using ui::MsgKind;

class SettlementScreen : public DemoFixture {};

TEST_F(SettlementScreen, ComputeSavePrintAndCloseForGood) {
  chooseDemoDate();
  tk.expectDialog("LIQBEN01")
      .type(102, "E0002")
      .leave(102)
      .type(104, "31/03/2025")
      .leave(104)
      .choose(106, "01 RENUNCIA")
      .press(202)
      .expectMessage(MsgKind::Stop, "Primero Calcule La Liquidacion", "Mensaje")
      .press(201)
      .inspect([](ui::Dialog& d) {
        const std::string shown = d.labelById(552)->shown();
        EXPECT_NE(shown.find("CTS TRUNCA"), std::string::npos) << shown;
        EXPECT_NE(shown.find("SON: "), std::string::npos) << shown;
      })
      .press(202)
      .expectMessage(MsgKind::Info, "Liquidacion Grabada; Fecha De Cese Registrada En El Maestro", "Mensaje")
      .press(204)
      .type(110, "02/04/2025")
      .leave(110)
      .press(203)
      .expectMessage(MsgKind::NoYes, "Una Liquidacion Pagada Ya No Se Puede Modificar. Marca Como Pagada ?",
                     "Mensaje", true)
      .expectMessage(MsgKind::Info, "Liquidacion Marcada Como Pagada", "Mensaje")
      .press(201)
      .expectMessage(MsgKind::Stop, "La Liquidacion De E0002 Ya Fue Pagada El 02/04/2025: No Se Puede Modificar",
                     "Mensaje")
      .press(207);
  F_LIQBEN(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  const std::string doc = read("Test.rpv");
  EXPECT_NE(doc.find("LIQUIDACION DE BENEFICIOS SOCIALES"), std::string::npos);
  EXPECT_NE(doc.find("TORRES VEGA, MARIA ELENA"), std::string::npos);
  EXPECT_NE(doc.find("FECHA DE CESE: 31/03/2025"), std::string::npos);
  EXPECT_EQ(s().current(), nullptr);
}

}  // namespace
}  // namespace planilla::reports
