// The fifth-category withholding through the monthly run on SUNAT's May cases, with
// "Proyeccion Con Bonificacion Extraordinaria" off and on, a profit share, and a rates
// record left with another year's UIT.
#include "calc/tax_law.h"

#include <gtest/gtest.h>

#include "calc/runs.h"
#include "calc/tests/calc_fixture.h"

namespace planilla::calc {
namespace {

using catalog::TableId;
class TaxLaw : public testing::CalcFixture {};

// SUNAT's worker: 4,000.00 a month; January to April earned 4,100 + 3,950 + 4,150 +
// 4,050 = 16,250.00 and had 930.00 withheld. Y = 4,000 x 8 months + 2 gratifications of
// 4,000 = 40,000.00; N = Y + 16,250 - 7 UIT; on, 9% x 8,000 = 720.00 of bonus joins Y.
TEST_F(TaxLaw, SunatMayCasesThroughTheRun) {
  struct Case {
    int year;
    double uit;  // of the rates record
    bool on;
    double utili, tax, extra;
    bool warned;
  } cases[] = {
      // 2022, 7 UIT 32,200: N 24,050; 23,000 x 8% + 1,050 x 14% = 1,987.00;
      // (1,987 - 930) / 8 = 132.125 -> 132.13 (SUNAT's figure).
      {2022, 4600, false, 0, 132.13, 0, false},
      // N 24,770: 1,840 + 1,770 x 14% = 2,087.80; 1,157.80 / 8 = 144.725 -> 144.73.
      {2022, 4600, true, 0, 144.73, 0, false},
      // 2023, 7 UIT 34,650: N 21,600 x 8% = 1,728.00; 798 / 8 = 99.75 (SUNAT's figure).
      {2023, 4950, false, 0, 99.75, 0, false},
      // N 22,320 x 8% = 1,785.60 (below 5 UIT, 24,750); 855.60 / 8 = 106.95.
      {2023, 4950, true, 0, 106.95, 0, false},
      // A profit share of 10,000.00: with it N 34,770, 1,840 + 11,770 x 14% = 3,487.80,
      // less 2,087.80 without it: 1,400.00 withheld whole besides the 144.73.
      {2022, 4600, true, 10000, 144.73 + 1400, 1400, false},
      // Off, the profit share plays no part.
      {2022, 4600, false, 10000, 132.13, 0, false},
      // 2023 with 2022's unit left in the rates record: told; the run keeps that unit.
      {2023, 4600, false, 0, 132.13, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.year) + (c.on ? " con" : " sin") + " utili " + std::to_string(c.utili));
    TearDown();
    SetUp();
    msgs.shown.clear();
    setDate(c.year, 5, 31);
    makeTemplate();
    makeRates({{"UIT2", c.uit}, {"SCALA01", 5 * c.uit}, {"SCALA02", 20 * c.uit}, {"SCALA03", 35 * c.uit},
               {"SCALA04", 45 * c.uit}, {"SCALA05", 45 * c.uit}});
    makeFunds();
    makeExchange();
    addEmployee("E001", {{"BAS_MEN", 4000.0}, {"ASIGNA", 0.0}, {"QUINTA", std::string("S")}});
    add(TableId::Earnings,
        {{"CODIGO", std::string("E001")}, {"ENE", 4100.0}, {"FEB", 3950.0}, {"MAR", 4150.0}, {"ABR", 4050.0}});
    add(TableId::Deductions, {{"CODIGO", std::string("E001")}, {"ENE", 930.0}});
    add(TableId::IncomeEntries, {{"CODIGO", std::string("E001")}, {"UTILI", c.utili}});
    ASSERT_TRUE(writeTaxSettings(s(), TaxSettings{c.on}).isOk());

    ASSERT_TRUE(PROCE01(s(), "TC0001")) << msgs.all();
    ASSERT_EQ(msgs.shown.size(), c.warned ? 2u : 1u) << msgs.all();
    if (c.warned)
      EXPECT_EQ(msgs.shown[0].text,
                "La U.I.T. De Porcentajes (4600.00) No Es La Del A\xF1o 2023 (4950.00): Revise Porcentajes");
    auto r = row(TableId::PayrollSoles, "E001");
    ASSERT_TRUE(r);
    EXPECT_DOUBLE_EQ(r->num("RTA_5TA"), c.tax);
    EXPECT_EQ(r->n.count("RTA_EXTRA"), c.on ? 1u : 0u);  // the results keep the template's fields off
    if (c.on) EXPECT_DOUBLE_EQ(r->num("RTA_EXTRA"), c.extra);
    EXPECT_DOUBLE_EQ(r->num("T_DSCTOT"), c.tax + 520);  // and ONP's 13% of 4,000.00
    // The month holds what was earned and withheld in it, so that June counts both.
    EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("MAY"), c.tax);
    EXPECT_DOUBLE_EQ(row(TableId::Earnings, "E001")->num("MAY"), 4000 + (c.extra > 0 ? c.utili : 0));
  }
}

}  // namespace
}  // namespace planilla::calc
