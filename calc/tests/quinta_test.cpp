// Fifth-category tax: the arithmetic without tables, then the year tables.
#include "calc/quinta.h"

#include <gtest/gtest.h>

#include "calc/tests/calc_fixture.h"

namespace planilla::calc {
namespace {

TaxBands bands3950() {
  TaxBands b;
  double lim[5] = {19750, 79000, 138250, 177750, 177750};
  double rate[5] = {8, 14, 17, 20, 30};
  for (int i = 0; i < 5; ++i) {
    b.limit[i] = lim[i];
    b.rate[i] = rate[i];
  }
  return b;
}

TaxPeriod month(int m, int year = 2016) {
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02d", m);
  return TaxPeriod{m, buf, year};
}

FifthInput input(double t, Date entry = Date(2010, 1, 4)) {
  FifthInput in;
  in.u = 3950;
  in.t = t;
  in.code = "E001      ";
  in.entry = entry;
  return in;
}

// ---- bands ----------------------------------------------------------------------

TEST(Rtaproyectada, FirstBandExample) {
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(14350.00, bands3950()), 1148.00);
}

TEST(Rtaproyectada, LimitPlusOneStaysInLowerBand) {
  TaxBands b = bands3950();
  b.limit[0] = 21000;
  // Less than one unit above the limit: all of it at the first rate.
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(21000.50, b), round2(21000.50 * 8 / 100));
  // SCALA01 + 0.99 is still taxed at TASA08 alone.
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(19750.99, bands3950()), round2(19750.99 * 0.08));
  // One unit above: the second band starts.
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(19751.00, bands3950()), 1580.00 + 0.14);
}

TEST(Rtaproyectada, EveryBandAddsRoundedPieces) {
  TaxBands b = bands3950();
  // Third band: 1580 + 59250 x 14% + (100000 - 79000) x 17%.
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(100000, b), 1580.00 + 8295.00 + 3570.00);
  // Fourth band.
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(150000, b), 1580.00 + 8295.00 + 10072.50 + 2350.00);
  // Top band on the part above SCALA04; SCALA05 plays no part.
  b.limit[4] = 1;
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(200000, b), 1580.00 + 8295.00 + 10072.50 + 7900.00 + 6675.00);
  // Pieces are rounded before they are added: 100.0625 x 8% = 8.005 -> 8.01.
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(100.0625, b), 8.01);
  TaxBands odd = b;
  odd.limit[0] = 100.0625;  // first piece 8.005 -> 8.01, second 0.0625 x 14% = 0.00875 -> 0.01
  EXPECT_DOUBLE_EQ(RTAPROYECTADA(101.125, odd), 8.01 + round2(1.0625 * 0.14));
}

TEST(Rtamensual, DivisorPerMonth) {
  const double a = 360;
  int divisors[13] = {0, 12, 12, 12, 9, 8, 8, 8, 5, 4, 4, 4, 1};
  for (int m = 1; m <= 12; ++m) EXPECT_DOUBLE_EQ(RTAMENSUAL(a, m), a / divisors[m]) << "mes " << m;
  EXPECT_DOUBLE_EQ(RTAMENSUAL(a, 13), a);
  EXPECT_DOUBLE_EQ(RTAMENSUAL(-90, 4), -10);
}

TEST(Rtaprevia, ProjectsRemainingMonths) {
  EXPECT_DOUBLE_EQ(RTAPREVIA(3000, 0, 0, 0, 3000, 3000, 0, 1), 42000);
  EXPECT_DOUBLE_EQ(RTAPREVIA(3000, 10, 20, 30, 1, 2, 40, 12), 3000 + 1 + 2 + 10 + 20 + 30 + 40);
}

TEST(YearRows, EarlierEarningsAndWithholdings) {
  YearRow r;
  for (int i = 0; i < 12; ++i) r.month[i] = 1 << i;  // 1, 2, 4 ... 2048
  r.graf2 = 10000;
  EXPECT_EQ(earlierEarnings(r, 1), 0);
  EXPECT_EQ(earlierEarnings(r, 2), 1);
  EXPECT_EQ(earlierEarnings(r, 3), 3);
  EXPECT_EQ(earlierEarnings(r, 12), 2047);
  const double w[13] = {0, 0, 0, 0, 7, 15, 15, 15, 127, 255, 255, 255, 2047 + 10000};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(earlierWithholdings(r, m), w[m]) << "mes " << m;
}

// ---- projections ------------------------------------------------------------------

TEST(Projection, EarlierYearBeforeJuly) {
  Projection p = projectGratifications(3000, Date(2010, 5, 1), month(3), {});
  EXPECT_EQ(p.j, 3000);
  EXPECT_EQ(p.d, 3000);
}

TEST(Projection, EnteredInMarchWorkingMonthMay) {
  Projection p = projectGratifications(3000, Date(2016, 3, 10), month(5), {});
  EXPECT_DOUBLE_EQ(p.j, 3000.0 / 6 * 4);
  EXPECT_EQ(p.d, 3000);
}

TEST(Projection, EnteredInAugustJulyResultWithoutEmployee) {
  GratSources g;
  g.julyExists = true;
  Projection p = projectGratifications(3000, Date(2016, 8, 1), month(10), g);
  EXPECT_EQ(p.j, 0);
  EXPECT_EQ(p.d, 0);
}

TEST(Projection, AfterJulyUsesTheJulyGross) {
  GratSources g;
  g.julyExists = true;
  g.julyGross = 1716.75;
  Projection p = projectGratifications(3000, Date(2010, 1, 1), month(9), g);
  EXPECT_EQ(p.j, 1716.75);
  EXPECT_EQ(p.d, 3000);
  // Without the July table both stay at T.
  p = projectGratifications(3000, Date(2010, 1, 1), month(9), {});
  EXPECT_EQ(p.j, 3000);
  EXPECT_EQ(p.d, 3000);
}

TEST(Projection, DecemberTakesBothResults) {
  GratSources g;
  g.julyExists = true;
  g.julyGross = 1700;
  g.decemberExists = true;
  g.decemberGross = 1800;
  Projection p = projectGratifications(3000, Date(2010, 1, 1), month(12), g);
  EXPECT_EQ(p.j, 1700);
  EXPECT_EQ(p.d, 1800);
  // A table without the employee gives 0, a missing table leaves T.
  g.decemberGross.reset();
  g.julyExists = false;
  p = projectGratifications(3000, Date(2016, 2, 1), month(12), g);
  EXPECT_EQ(p.j, 3000);
  EXPECT_EQ(p.d, 0);
}

TEST(Projection, LaterYearGivesNothing) {
  Projection p = projectGratifications(3000, Date(2017, 1, 1), month(3), {});
  EXPECT_EQ(p.j, 0);
  EXPECT_EQ(p.d, 0);
}

// ---- the whole computation ------------------------------------------------------------

TEST(ComputeFifth, JanuaryExample) {
  FifthOutcome o = computeFifth(input(3000), month(1), bands3950(), std::nullopt, std::nullopt, {});
  EXPECT_DOUBLE_EQ(o.y, 42000.00);
  EXPECT_DOUBLE_EQ(o.k, 27650.00);
  EXPECT_DOUBLE_EQ(o.n, 14350.00);
  EXPECT_DOUBLE_EQ(o.x, 1148.00);
  EXPECT_TRUE(o.positive);
  EXPECT_DOUBLE_EQ(o.z, 1148.0 / 12);
  EXPECT_DOUBLE_EQ(round2(o.z), 95.67);
}

TEST(ComputeFifth, AprilAndJuneSubtractAndDivide) {
  YearRow earn, ret;
  for (int i = 0; i < 5; ++i) {
    earn.month[i] = 3000;
    ret.month[i] = 100 + i;  // 100, 101, 102, 103, 104
  }
  FifthOutcome apr = computeFifth(input(3000), month(4), bands3950(), earn, ret, {});
  EXPECT_DOUBLE_EQ(apr.w, 303);
  EXPECT_DOUBLE_EQ(apr.h, 9000);
  EXPECT_DOUBLE_EQ(apr.z, (apr.x - 303) / 9);
  FifthOutcome jun = computeFifth(input(3000), month(6), bands3950(), earn, ret, {});
  EXPECT_DOUBLE_EQ(jun.w, 406);  // January to April only
  EXPECT_DOUBLE_EQ(jun.z, (jun.x - 406) / 8);
}

TEST(ComputeFifth, DecemberSubtractsGraf2WithoutDivision) {
  YearRow ret;
  for (int i = 0; i < 11; ++i) ret.month[i] = 100;
  ret.month[11] = 999;  // December's own earlier value does not count
  ret.graf2 = 120;
  YearRow earn;
  for (int i = 0; i < 11; ++i) earn.month[i] = 3000;
  FifthOutcome o = computeFifth(input(3000), month(12), bands3950(), earn, ret, {});
  EXPECT_DOUBLE_EQ(o.h, 33000);
  EXPECT_DOUBLE_EQ(o.n, 3000 + 3000 + 3000 + 33000 - 27650);
  EXPECT_DOUBLE_EQ(o.x, 1148);
  EXPECT_DOUBLE_EQ(o.w, 1100 + 120);
  EXPECT_DOUBLE_EQ(o.z, 1148 - 1220.0);
}

TEST(ComputeFifth, VariantEProjectsNoGratifications) {
  FifthInput in = input(3250);
  in.projectGrat = false;
  FifthOutcome o = computeFifth(in, month(1), bands3950(), std::nullopt, std::nullopt, {});
  EXPECT_DOUBLE_EQ(o.y, 39000.00);
  EXPECT_EQ(o.j, 0);
  EXPECT_EQ(o.d, 0);
}

TEST(ComputeFifth, OvertimeMobilityAndSuminiEnterTheProjection) {
  FifthInput in = input(3000);
  in.o1 = 16.4;
  in.o2 = 20;
  in.mv = 50;
  in.su = 13.6;
  FifthOutcome o = computeFifth(in, month(1), bands3950(), std::nullopt, std::nullopt, {});
  EXPECT_DOUBLE_EQ(o.y, 42000.00 + 100);
}

TEST(ComputeFifth, NotPositiveNetIncome) {
  FifthOutcome o = computeFifth(input(1000), month(1), bands3950(), std::nullopt, std::nullopt, {});
  EXPECT_LE(o.n, 0);  // 1000 x 14 - 27650
  EXPECT_FALSE(o.positive);
  EXPECT_EQ(o.z, 0);
}

// ---- year tables -------------------------------------------------------------------

using testing::CalcFixture;
using catalog::TableId;

class YearTables : public CalcFixture {
 protected:
  void SetUp() override {
    CalcFixture::SetUp();
    makeYearTables();
  }
};

TEST_F(YearTables, GrabarentaAppendsThenUpdatesRunningTotal) {
  auto t = open(TableId::Deductions);
  ASSERT_TRUE(GRABARENTA(*t, "E001      ", 95.666666, 1).isOk());
  ASSERT_TRUE(GRABARENTA(*t, "E001      ", 0, 2).isOk());    // not above zero: nothing
  ASSERT_TRUE(GRABARENTA(*t, "E001      ", -5, 2).isOk());
  ASSERT_TRUE(GRABARENTA(*t, "E001      ", 10.004, 3).isOk());
  ASSERT_TRUE(GRABARENTA(*t, "E002      ", -1, 3).isOk());   // no record for a non-positive amount
  t->close();
  auto rows = this->rows(TableId::Deductions);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_DOUBLE_EQ(rows[0].num("ENE"), 95.67);
  EXPECT_DOUBLE_EQ(rows[0].num("FEB"), 0);
  EXPECT_DOUBLE_EQ(rows[0].num("MAR"), 10.00);
  EXPECT_DOUBLE_EQ(rows[0].num("TOT"), 105.67);
  EXPECT_EQ(rows[0].str("NOMBRE"), std::string(50, ' '));
}

TEST_F(YearTables, DecemberTotalsCountGraf2) {
  add(TableId::Deductions, {{"CODIGO", std::string("E001")}, {"ENE", 10.0}, {"NOV", 5.0}, {"GRAF2", 120.0}});
  auto t = open(TableId::Deductions);
  ASSERT_TRUE(GRABARENTA(*t, "E001      ", 30, 12).isOk());
  ASSERT_TRUE(GRABARENTA(*t, "E002      ", 40, 12).isOk());
  t->close();
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("TOT"), 10 + 5 + 120 + 30);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E002")->num("TOT"), 40);

  add(TableId::Earnings, {{"CODIGO", std::string("E001")}, {"ENE", 1000.0}, {"GRAF2", 50.0}});
  auto h = open(TableId::Earnings);
  ASSERT_TRUE(GRABAHABER(*h, "E001      ", 2000, 12).isOk());
  ASSERT_TRUE(GRABAHABER(*h, "E003      ", -7.5, 2).isOk());  // recorded whatever the sign
  h->close();
  EXPECT_DOUBLE_EQ(row(TableId::Earnings, "E001")->num("TOT"), 3000);  // no GRAF2 in earnings
  EXPECT_DOUBLE_EQ(row(TableId::Earnings, "E003")->num("FEB"), -7.5);
  EXPECT_DOUBLE_EQ(row(TableId::Earnings, "E003")->num("TOT"), -7.5);
}

TEST_F(YearTables, Graba01rentaOnlyInDecember) {
  add(TableId::Deductions, {{"CODIGO", std::string("E001")}, {"ENE", 10.0}, {"DIC", 7.0}});
  auto t = open(TableId::Deductions);
  ASSERT_TRUE(GRABA01RENTA(*t, "E001      ", 120, "07").isOk());
  ASSERT_TRUE(GRABA01RENTA(*t, "E002      ", 120, "07").isOk());
  t->close();
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("GRAF2"), 0);
  ASSERT_TRUE(row(TableId::Deductions, "E002"));
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E002")->num("TOT"), 0);

  t = open(TableId::Deductions);
  ASSERT_TRUE(GRABA01RENTA(*t, "E001      ", 120, "12").isOk());
  ASSERT_TRUE(GRABA01RENTA(*t, "E003      ", 80, "12").isOk());
  t->close();
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("GRAF2"), 120);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("TOT"), 130);  // ENE..NOV + GRAF2
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E003")->num("GRAF2"), 80);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E003")->num("TOT"), 80);
}

TEST_F(YearTables, Deter5taRecordsOnlyAPositiveNetIncome) {
  auto hab = open(TableId::Earnings);
  auto ret = open(TableId::Deductions);
  TaxTables tt{hab.get(), ret.get(), nullptr, nullptr};
  FifthInput in = input(1000);
  in.p = 1075;
  Result<double> z = DETER5TA(tt, in, month(1), bands3950());
  ASSERT_TRUE(z.isOk());
  EXPECT_EQ(*z, 0);
  EXPECT_EQ(hab->recordCount(), 0u);
  EXPECT_EQ(ret->recordCount(), 0u);

  in = input(3000);
  in.p = 3100;
  z = DETER5TA(tt, in, month(1), bands3950());
  ASSERT_TRUE(z.isOk());
  EXPECT_DOUBLE_EQ(*z, 1148.0 / 12);
  hab->close();
  ret->close();
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("ENE"), 95.67);
  EXPECT_DOUBLE_EQ(row(TableId::Earnings, "E001")->num("ENE"), 3100);
}

TEST_F(YearTables, NegativeShareKeepsWithholdingButRecordsEarnings) {
  add(TableId::Deductions, {{"CODIGO", std::string("E001")}, {"ENE", 900.0}, {"FEB", 900.0}, {"MAR", 900.0},
                            {"ABR", 55.0}, {"TOT", 2755.0}});
  auto hab = open(TableId::Earnings);
  auto ret = open(TableId::Deductions);
  TaxTables tt{hab.get(), ret.get(), nullptr, nullptr};
  FifthInput in = input(3000);
  in.p = 3000;
  Result<double> z = DETER5TA(tt, in, month(4), bands3950());
  ASSERT_TRUE(z.isOk());
  EXPECT_LT(*z, 0);
  hab->close();
  ret->close();
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("ABR"), 55);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("TOT"), 2755);
  EXPECT_DOUBLE_EQ(row(TableId::Earnings, "E001")->num("ABR"), 3000);
}

TEST_F(YearTables, Deter5taReadsTheGratificationResults) {
  create(TableId::GratSoles, "07");
  add(TableId::GratSoles, {{"CODIGO", std::string("E001")}, {"TBRUTO", 1000.0}}, "07");
  auto hab = open(TableId::Earnings);
  auto ret = open(TableId::Deductions);
  auto jul = open(TableId::GratSoles, "07", OpenMode::Shared);
  TaxTables tt{hab.get(), ret.get(), jul.get(), nullptr};
  FifthInput in = input(3000);
  Result<double> z = DETER5TA(tt, in, month(9), bands3950());
  ASSERT_TRUE(z.isOk());
  // Y = 3000 x 4 + 1000 (July) + 3000 (December); N = Y - 7 UIT = -11650: no tax.
  EXPECT_EQ(*z, 0);
  in.t = 9000;
  z = DETER5TA(tt, in, month(9), bands3950());
  ASSERT_TRUE(z.isOk());
  double n = 9000 * 4 + 1000 + 9000 - 27650;
  EXPECT_DOUBLE_EQ(*z, RTAPROYECTADA(n, bands3950()) / 4);
  // Variant E ignores the July result.
  z = DETER5TAES(tt, in, month(9), bands3950());
  ASSERT_TRUE(z.isOk());
  EXPECT_DOUBLE_EQ(*z, (RTAPROYECTADA(9000 * 4 - 27650, bands3950()) - 0) / 4);
}

}  // namespace
}  // namespace planilla::calc
