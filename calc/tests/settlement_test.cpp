// Termination settlement: the published worked examples, the edges of the periods,
// the vacation records with the deductions and the tax, the net in words.
#include "calc/settlement.h"

#include <gtest/gtest.h>

namespace planilla::calc {
namespace {

SettlementInput base(Date hire, Date cese, double basic, const char* reason = "01") {
  SettlementInput in;
  in.hire = hire;
  in.cese = cese;
  in.reason = reason;
  in.basic = basic;
  return in;
}

const SettlementLine* line(const Settlement& s, const std::string& key) {
  static std::vector<SettlementLine> lines;
  lines = settlementLines(s);
  for (const auto& l : lines)
    if (l.key == key) return &l;
  return nullptr;
}

// L1: hired 01/01/2021, resigned 31/01/2021, RC 930, ONP 13 %.
TEST(Settlement, ResignationAfterOneMonthNets313_87) {
  SettlementInput in = base(Date(2021, 1, 1), Date(2021, 1, 31), 930);
  in.snpt = 13;
  const Settlement s = computeSettlement(in);
  EXPECT_DOUBLE_EQ(s.ctsAmount, 77.50);       // 930 / 12 x 1
  EXPECT_DOUBLE_EQ(s.vacTruncAmount, 77.50);  // 930 / 12 x 1
  EXPECT_DOUBLE_EQ(s.grat, 155.00);           // 930 / 6 x 1 (January)
  EXPECT_DOUBLE_EQ(s.bonus, 13.95);           // 155 x 9 %
  EXPECT_DOUBLE_EQ(s.gross, 323.95);
  EXPECT_DOUBLE_EQ(s.onp, 10.08);             // 77.50 x 13 % = 10.075, half away from zero
  EXPECT_DOUBLE_EQ(s.net, 313.87);
  EXPECT_EQ(amountInWords(s.net), "SON: TRESCIENTOS TRECE Y 87/100 SOLES");
  EXPECT_EQ(s.deadline, Date(2021, 2, 2));
}

// L2: 3,500 + 75 + a bonus of 300 paid every month; July's gratification 3,875 paid;
// leaves 04/09/2015: CTS 1 May to 4 September = 4 m 4 d on 3,875 + 645.83.
TEST(Settlement, GratificationBonusAndCtsWithTheSixth) {
  SettlementInput in = base(Date(2010, 3, 1), Date(2015, 9, 4), 3500);
  in.asigna = 75;
  in.regular = {{"Bono", 1800, 6}};
  in.ctsGrat = 3875;
  in.gratCoveredThrough = Date(2015, 6, 30);
  const Settlement s = computeSettlement(in);
  EXPECT_DOUBLE_EQ(s.rc, 3875.00);
  EXPECT_DOUBLE_EQ(s.rcGrat6, 645.83);  // 3875 / 6 = 645.833
  EXPECT_DOUBLE_EQ(s.rcCts, 4520.83);
  EXPECT_EQ(s.cts.months, 4);
  EXPECT_EQ(s.cts.days, 4);
  EXPECT_DOUBLE_EQ(s.ctsAmount, 1557.17);  // 1506.94 (4520.83/12x4) + 50.23 (/360x4)
  EXPECT_EQ(s.gratMonths, 2);              // July and August
  EXPECT_DOUBLE_EQ(s.grat, 1291.67);       // 3875 / 6 x 2 = 1291.666
  EXPECT_DOUBLE_EQ(s.bonus, 116.25);       // 1291.67 x 9 % = 116.2503
}

// L4: hired 01/05/2016, dismissed 24/03/2017 = 10 m 24 d; RC 2,750 + 85 + 150.
// L5: pay 5,500 and more than twelve years: capped at 12 x 5,500.
TEST(Settlement, DismissalIndemnityAndItsCap) {
  SettlementInput in = base(Date(2016, 5, 1), Date(2017, 3, 24), 2750, "03");
  in.asigna = 85;
  in.regular = {{"Movilidad", 900, 6}, {"Horas extras", 500, 2}};  // the second is not regular
  Settlement s = computeSettlement(in);
  EXPECT_DOUBLE_EQ(s.rc, 2985.00);
  EXPECT_EQ(s.service.months, 10);
  EXPECT_EQ(s.service.days, 24);
  EXPECT_DOUBLE_EQ(s.indemnity, 4029.75);  // 4477.50 / 12 x 10 = 3731.25 + 4477.50 / 360 x 24 = 298.50
  ASSERT_NE(line(s, "INDEMN"), nullptr);

  s = computeSettlement(base(Date(2010, 1, 4), Date(2022, 6, 30), 5500, "03"));
  EXPECT_DOUBLE_EQ(s.indemnity, 66000.00);  // not 1.5 x 12 x 5500 = 99000
  EXPECT_TRUE(s.indemnityCapped);

  // A resignation gets none; a dismissal within the first three months neither.
  EXPECT_EQ(line(computeSettlement(base(Date(2016, 5, 1), Date(2017, 3, 24), 2750, "01")), "INDEMN"), nullptr);
  EXPECT_DOUBLE_EQ(computeSettlement(base(Date(2026, 1, 1), Date(2026, 3, 29), 2750, "03")).indemnity, 0);
}

TEST(Settlement, PeriodEdges) {
  struct Case {
    const char* what;
    Date hire, cese;
    int serviceMonths, serviceDays, ctsMonths, ctsDays, vacMonths, vacDays, gratMonths;
  };
  const Case cases[] = {
      // 1 March to 31 May: 90 days; CTS from 1 May; March, April and May whole.
      {"hired the 1st", Date(2026, 3, 1), Date(2026, 5, 31), 3, 0, 1, 0, 3, 0, 3},
      // 2 to 30 March is 29 days; March is not whole.
      {"hired the 2nd", Date(2026, 3, 2), Date(2026, 5, 31), 2, 29, 1, 0, 2, 29, 2},
      // 31 October closes the half-year: six whole months; July's gratification paid.
      {"last day of a half-year", Date(2020, 1, 1), Date(2026, 10, 31), 10, 0, 6, 0, 10, 0, 4},
      // 5 to 20 March: 16 days, no right yet.
      {"less than a month", Date(2026, 3, 5), Date(2026, 3, 20), 0, 16, 0, 0, 0, 0, 0},
      // 1 to 28 February is a whole month of 30 days.
      {"February", Date(2026, 2, 1), Date(2026, 2, 28), 1, 0, 1, 0, 1, 0, 1},
      // 15 to 30 January counts 16 days (the 31st is the 30th), then February whole.
      {"February after mid-January", Date(2026, 1, 15), Date(2026, 2, 28), 1, 16, 1, 16, 1, 16, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SettlementInput in = base(c.hire, c.cese, 3000);
    // The gratification of the half-year before the termination was paid.
    in.gratCoveredThrough = c.cese.month() > 6 ? Date(c.cese.year(), 6, 30) : Date(c.cese.year() - 1, 12, 31);
    const Settlement s = computeSettlement(in);
    EXPECT_EQ(s.service.months, c.serviceMonths);
    EXPECT_EQ(s.service.days, c.serviceDays);
    EXPECT_EQ(s.cts.months, c.ctsMonths);
    EXPECT_EQ(s.cts.days, c.ctsDays);
    EXPECT_EQ(s.vacTrunc.months, c.vacMonths);
    EXPECT_EQ(s.vacTrunc.days, c.vacDays);
    EXPECT_EQ(s.gratMonths, c.gratMonths);
    if (c.serviceMonths == 0) {
      EXPECT_DOUBLE_EQ(s.gross, 0);
    }
  }
}

// Hired 01/03/2022, leaves 15/06/2026 (4 years 3 months 15 days), vacation rolls on
// file since January 2024 with 40 days taken: the record of the first year (earned
// 28/02/2023) counts as settled; the second's 30 days were taken, the third's 10; the
// third was not taken within the year after it was earned.
TEST(Settlement, VacationRecordsDeductionsAndTax) {
  SettlementInput in = base(Date(2022, 3, 1), Date(2026, 6, 15), 3000);
  in.vacDataFrom = Date(2024, 1, 1);
  in.vacDaysTaken = 40;
  in.gratCoveredThrough = Date(2025, 12, 31);
  in.fundMember = true;
  in.insured = true;
  in.fund = {10, 1.37, 1.55, 5000};
  in.ipsse = 9;
  in.taxed = true;
  in.uit = 5350;
  for (int i = 0; i < 5; ++i) in.bands.limit[i] = 5350 * (i == 0 ? 5 : i == 1 ? 20 : i == 2 ? 35 : 45);
  const double rates[5] = {8, 14, 17, 20, 30};
  for (int i = 0; i < 5; ++i) in.bands.rate[i] = rates[i];
  in.yearIncome = 40000;
  in.yearWithheld = 500;
  const Settlement s = computeSettlement(in);
  EXPECT_DOUBLE_EQ(s.vacTruncAmount, 875.00);  // 3000/12 x 3 = 750 + 3000/360 x 15 = 125
  EXPECT_DOUBLE_EQ(s.vacPendingDays, 50);      // 20 of the third record + 30 of the fourth
  EXPECT_DOUBLE_EQ(s.vacPending, 5000.00);
  EXPECT_DOUBLE_EQ(s.vacIndemnityDays, 20);
  EXPECT_DOUBLE_EQ(s.vacIndemnity, 2000.00);
  EXPECT_DOUBLE_EQ(s.ctsAmount, 375.00);  // 1 May to 15 June: 1 m 15 d on 3000
  EXPECT_DOUBLE_EQ(s.grat, 2500.00);      // January to May
  EXPECT_DOUBLE_EQ(s.bonus, 225.00);
  // Affected: 875 + 5000 = 5875. Fund 10 % = 587.50; premium on the ceiling 5000 x
  // 1.37 % = 68.50; commission 1.55 % = 91.0625.
  EXPECT_DOUBLE_EQ(s.afpAporte, 587.50);
  EXPECT_DOUBLE_EQ(s.afpPrima, 68.50);
  EXPECT_DOUBLE_EQ(s.afpComision, 91.06);
  EXPECT_DOUBLE_EQ(s.onp, 0);
  // Year: 40000 + 5875 + 2500 + 225 = 48600 - 7 x 5350 = 11150 x 8 % = 892 - 500.
  EXPECT_DOUBLE_EQ(s.tax, 392.00);
  EXPECT_DOUBLE_EQ(s.essalud, 528.75);  // 5875 x 9 %
  EXPECT_DOUBLE_EQ(s.gross, 10975.00);
  EXPECT_DOUBLE_EQ(s.net, 9835.94);     // 10975 - (587.50 + 68.50 + 91.06 + 392)

  // Without any roll on file no completed record is owed.
  in.vacDataFrom = Date();
  EXPECT_DOUBLE_EQ(computeSettlement(in).vacPending, 0);
}

TEST(Settlement, NetInWords) {
  const std::pair<double, const char*> cases[] = {
      {1557.17, "SON: MIL QUINIENTOS CINCUENTA Y SIETE Y 17/100 SOLES"},
      {21001, "SON: VEINTIUN MIL UNO Y 00/100 SOLES"},
      {66000, "SON: SESENTA Y SEIS MIL Y 00/100 SOLES"},
      {100, "SON: CIEN Y 00/100 SOLES"},
      {1101101.005, "SON: UN MILLON CIENTO UN MIL CIENTO UNO Y 01/100 SOLES"},
      {2000000, "SON: DOS MILLONES Y 00/100 SOLES"},
      {0.05, "SON: CERO Y 05/100 SOLES"},
  };
  for (const auto& [v, text] : cases) EXPECT_EQ(amountInWords(v), text) << v;
}

}  // namespace
}  // namespace planilla::calc
