// The termination settlement on the tables: what it reads, saving, replacing until
// paid, and the refusals that write nothing.
#include "calc/settlement_store.h"

#include <gtest/gtest.h>

#include "calc/tests/calc_fixture.h"

namespace planilla::calc {
namespace {

using catalog::TableId;

class SettlementStore : public testing::CalcFixture {
 protected:
  // July 2026. E001: hired 01/03/2025, 3000.00 in soles, public pension; mobility paid
  // in four of the six months before July; July's gratification of 3000.00 paid;
  // 10 vacation days taken in February, the first roll on file.
  void SetUp() override {
    CalcFixture::SetUp();
    setDate(2026, 7, 31);
    makeRates();
    addEmployee("E001      ", {{"FECH_ING", Date(2025, 3, 1)}, {"BAS_MEN", 3000.0}, {"ASIGNA", 0.0}},
                TableId::EmployeeMaster);
    addEmployee("E002      ", {{"BAS_MEN", 0.0}}, TableId::EmployeeMaster);
    for (int m = 2; m <= 5; ++m)
      add(TableId::PayrollSoles, {{"CODIGO", std::string("E001")}, {"MOVILI", 200.0}}, "0" + std::to_string(m));
    add(TableId::GratSoles, {{"CODIGO", std::string("E001")}, {"GRATIF", 3000.0}, {"TBRUTO", 3270.0}}, "07");
    add(TableId::VacationRoll, {{"CODIGO", std::string("E001")}, {"DIAVAC", 10.0}}, "02");
  }
  bool prepare(const std::string& code, Date cese, const std::string& reason, SettlementCase* c) {
    return prepareSettlement(s(), code, cese, reason, "", c);
  }
};

TEST_F(SettlementStore, ReadsTheTablesSavesAndReplacesUntilPaid) {
  SettlementCase c;
  ASSERT_TRUE(prepare("E001", Date(2026, 7, 20), "01", &c)) << msgs.all();
  const Settlement& x = c.result;
  // RC 3000 + 800 / 6 = 3133.33; for the CTS + 3000 / 6 = 3633.33.
  EXPECT_DOUBLE_EQ(x.rcRegular, 133.33);
  EXPECT_DOUBLE_EQ(x.rcCts, 3633.33);
  // CTS 1 May - 20 July = 2 m 20 d: 605.56 + 201.85.
  EXPECT_DOUBLE_EQ(x.ctsAmount, 807.41);
  // 1 y 4 m 20 d: truncated 4 m 20 d = 1044.44 + 174.07; first record (earned
  // 28/02/2026, after the first roll) owes 20 days = 2088.89.
  EXPECT_DOUBLE_EQ(x.vacTruncAmount, 1218.51);
  EXPECT_DOUBLE_EQ(x.vacPending, 2088.89);
  EXPECT_DOUBLE_EQ(x.grat, 0);  // July's gratification covers January to June
  // ONP 13 % of 3307.40 = 429.96; 4114.81 - 429.96.
  EXPECT_DOUBLE_EQ(x.net, 3684.85);
  ASSERT_TRUE(saveSettlement(s(), c)) << msgs.all();

  auto saved = row(TableId::Settlements, "E001");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->str("ESTADO"), "C");
  EXPECT_DOUBLE_EQ(saved->num("NETO"), 3684.85);
  EXPECT_DOUBLE_EQ(saved->num("ESSALUD"), 297.67);  // 3307.40 x 9 %
  auto master = row(TableId::EmployeeMaster, "E001");
  EXPECT_EQ(master->str("FCESE"), "20260720");
  EXPECT_EQ(master->str("BAJA"), "1");

  // Recomputed as a dismissal: the same row, replaced whole.
  ASSERT_TRUE(prepare("E001", Date(2026, 7, 20), "03", &c));
  ASSERT_TRUE(saveSettlement(s(), c));
  ASSERT_EQ(rows(TableId::Settlements).size(), 1u);
  EXPECT_GT(row(TableId::Settlements, "E001")->num("INDEMNIZ"), 0);

  SettlementCase back;
  ASSERT_TRUE(readStoredSettlement(s(), "E001", &back));
  EXPECT_DOUBLE_EQ(back.result.net, c.result.net);
  EXPECT_EQ(settlementLines(back.result).size(), settlementLines(c.result).size());

  // Paid: never again.
  ASSERT_TRUE(markSettlementPaid(s(), "E001", Date(2026, 7, 22)));
  const std::string paidRow = row(TableId::Settlements, "E001")->raw;
  EXPECT_FALSE(prepare("E001", Date(2026, 7, 20), "01", &c));
  EXPECT_TRUE(msgs.has("La Liquidacion De E001 Ya Fue Pagada El 22/07/2026: No Se Puede Modificar")) << msgs.all();
  EXPECT_FALSE(saveSettlement(s(), back));
  EXPECT_EQ(row(TableId::Settlements, "E001")->raw, paidRow);
}

TEST_F(SettlementStore, BadInputIsRefusedAndWritesNothing) {
  struct Case {
    const char* code;
    Date cese;
    const char* reason;
    const char* message;
  };
  const Case cases[] = {
      {"E001", Date(2025, 2, 28), "01", "La Fecha De Cese Es Anterior A La Fecha De Ingreso (01/03/2025)"},
      {"E001", Date(2026, 8, 1), "01", "La Fecha De Cese Es Posterior Al Mes De Trabajo (31/07/2026)"},
      {"E001", Date(2026, 7, 20), "", "Ingrese El Motivo Del Cese"},
      {"E001", Date(2026, 7, 20), "19", "Motivo De Cese 19 No Existe En La Tabla De SUNAT"},
      {"E002", Date(2026, 7, 20), "01", "El Trabajador No Tiene Remuneracion En El Maestro"},
      {"E009", Date(2026, 7, 20), "01", "Codigo Empleado  E009 No Existe"},
  };
  const std::string masterBefore = row(TableId::EmployeeMaster, "E001")->raw;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    msgs.shown.clear();
    SettlementCase c;
    EXPECT_FALSE(prepare(k.code, k.cese, k.reason, &c));
    EXPECT_TRUE(msgs.has(k.message)) << msgs.all();
  }
  EXPECT_FALSE(exists(TableId::Settlements));
  EXPECT_EQ(row(TableId::EmployeeMaster, "E001")->raw, masterBefore);
}

// Pay in dollars is converted as the monthly run does, at the rate the operator names;
// a fund member needs the fund's rates of the termination month.
TEST_F(SettlementStore, ForeignCurrencyAndFundRates) {
  makeExchange("TC0001", 3.25);
  addEmployee("E003      ", {{"DOLAR", std::string("D")}, {"BAS_MEN", 1000.0}, {"ASIGNA", 0.0},
                             {"CODAFP", std::string("INTEG ")}},
              TableId::EmployeeMaster);
  SettlementCase c;
  EXPECT_FALSE(prepareSettlement(s(), "E003", Date(2026, 7, 20), "01", "", &c));
  EXPECT_TRUE(msgs.has("Remuneracion En Moneda Extranjera: Indique El Tipo De Cambio")) << msgs.all();
  EXPECT_FALSE(prepareSettlement(s(), "E003", Date(2026, 7, 20), "01", "TC0001", &c));
  EXPECT_TRUE(msgs.has("Codigo Afp  INTEG Sin Tasas Para El Mes 07/2026")) << msgs.all();
  makeFunds(10, 1.37, 1.55, 12000);
  ASSERT_TRUE(prepareSettlement(s(), "E003", Date(2026, 7, 20), "01", "TC0001", &c)) << msgs.all();
  EXPECT_DOUBLE_EQ(c.result.rcBasic, 3250.00);  // 1000 x 3.25
  // Hired 04/01/2010: the running year from 04/01/2026 to 20/07/2026 is
  // (7 - 1) x 30 + (20 - 4) + 1 = 197 days = 6 m 17 d: 3250/12 x 6 = 1625.00 + 3250/360 x 17 =
  // 153.47; the fund's 10 % of 1778.47 = 177.847.
  EXPECT_DOUBLE_EQ(c.result.vacTruncAmount, 1778.47);
  EXPECT_DOUBLE_EQ(c.result.afpAporte, 177.85);
  EXPECT_DOUBLE_EQ(c.result.onp, 0);
}

}  // namespace
}  // namespace planilla::calc
