// The employee steps of the monthly payroll and of the gratification, on records
// with the result template's structure, without tables.
#include "calc/payroll.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "calc/gratificacion.h"
#include "calc/record.h"
#include "store/catalog.h"

namespace planilla::calc {
namespace {

PendingRecord resultRecord() { return PendingRecord(catalog::calcTemplateFields()); }

RunValues run(const std::string& ymes = "03") {
  RunValues rv;
  rv.ymes = ymes;
  rv.dollar = 3.25;
  rv.euro = 3.6;
  PayrollParams& p = rv.params;
  p.ipsst = 0;
  p.snpt = 13;
  p.ipsse = 9;
  p.minivital = 850;
  p.hexemp1 = 1.25;
  p.hexemp2 = 2;
  p.uit2 = 3950;
  p.bonifi9 = 9;
  return rv;
}

Employee employee() {
  Employee e;
  e.codigo = "E001      ";
  e.codafp = "      ";
  e.basMen = 1500;
  e.asigna = 75;
  e.diaTra = 30;
  e.fechIng = Date(2010, 1, 4);
  e.quinta = "N";
  return e;
}

Employee fundMember() {
  Employee e = employee();
  e.codafp = "INTEG ";
  e.fechAfp = Date(2012, 1, 1);
  e.insured = true;
  return e;
}

FundRates fund() { return FundRates{10, 1.36, 1.55, 9000}; }

struct Computed {
  PendingRecord rec = resultRecord();
  EmployeeWork w;
  AfterTax after = AfterTax::Done;
};

Computed compute(const Employee& e, const MonthlyEntries& me = {}, const RunValues& rv = run(),
                 const VacationEntry& vac = {}, double decPremium = 0, double tax = 0) {
  Computed c;
  Status st = payrollToBase(e, vac, me, rv, c.rec, c.w);
  EXPECT_TRUE(st.isOk()) << st.message();
  Result<AfterTax> r = payrollAfterTax(e, rv, fund(), decPremium, tax, c.rec, c.w);
  EXPECT_TRUE(r.isOk()) << r.status().message();
  if (r) c.after = *r;
  return c;
}

// ---- record semantics -------------------------------------------------------------

TEST(PendingRecord, StoresWithTheFieldsDecimals) {
  PendingRecord r = resultRecord();
  ASSERT_TRUE(r.setNum("TBRUTO", 1.005).isOk());
  EXPECT_DOUBLE_EQ(r.num("TBRUTO"), 1.01);
  ASSERT_TRUE(r.setNum("tbruto", 1.25 * 8.02).isOk());  // names without regard to case
  EXPECT_DOUBLE_EQ(r.num("TBRUTO"), 10.03);
  ASSERT_TRUE(r.setNum("DIA_TRA", 29.6).isOk());  // a day count keeps no decimals
  EXPECT_DOUBLE_EQ(r.num("DIA_TRA"), 30);
  ASSERT_TRUE(r.setText("CODIGO", "ABCDEFGHIJKLMN").isOk());
  EXPECT_EQ(r.text("CODIGO"), "ABCDEFGHIJ");
  EXPECT_EQ(r.setNum("NOEXISTE", 1).code(), ErrorCode::Invalid);
  EXPECT_EQ(r.setNum("TBRUTO", 1e15).code(), ErrorCode::Invalid);  // does not fit
  EXPECT_DOUBLE_EQ(r.num("TBRUTO"), 10.03);                          // the stored value is kept
  std::vector<std::string> set = r.setFields();
  ASSERT_EQ(set.size(), 3u);
  EXPECT_EQ(set[0], "tbruto");
  r.clear();
  EXPECT_FALSE(r.isSet("TBRUTO"));
  EXPECT_EQ(r.num("TBRUTO"), 0);
}

// The stored value and text must be exactly what the table's own encoding gives,
// halves and awkward binary values included.
TEST(PendingRecord, EncodingMatchesTheTable) {
  std::vector<double> values = {0, -0.0, 0.005, -0.005, 1.005, 2.675, 1.25 * 8.02, 95.666666, 1148.0 / 12,
                                 -72.0 / 9, 0.1 + 0.2, 123456.785, 999999.995, -999999.995, 1e-9, 4.35 * 100,
                                 8.345, 1.0 / 3, 2.0 / 3, 12345678.9049999, 99999999999.0};
  uint64_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    double cents = static_cast<double>(static_cast<int64_t>(seed >> 24) % 100000000) / 1000.0;  // halves of cents
    values.push_back(i % 2 ? -cents : cents);
    values.push_back(cents * 1.36 / 100);
    values.push_back(cents / 3.25);
  }
  for (int dec : {0, 2, 3}) {
    dbf::Field f;
    f.name = "X";
    f.type = 'N';
    f.width = 14;
    f.decimals = dec;
    for (double v : values) {
      char mine[14], theirs[14];
      double stored = -1;
      Status a = encodeStored(v, f, mine, &stored);
      Status b = dbf::encodeNumber(v, f.width, f.decimals, theirs);
      ASSERT_EQ(a.isOk(), b.isOk()) << v;
      if (!a) continue;
      ASSERT_EQ(std::string(mine, 14), std::string(theirs, 14)) << v << " dec " << dec;
      ASSERT_EQ(stored, dbf::decodeNumber(f, std::string_view(theirs, 14))) << v;
    }
  }
}

TEST(PendingRecord, RoundingMatchesRound2) {
  std::vector<double> values = {0, -0.0, 0.005, -0.005, 1.005, 2.675, 1.25 * 8.02, -1.25 * 8.02, 1e-7, -1e-7,
                                 0.125, 1e12 + 0.005, 3325.0 / 6 / 30 * 10, 1575.0 / 30 / 8};
  uint64_t seed = 99;
  for (int i = 0; i < 50000; ++i) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    double mills = static_cast<double>(static_cast<int64_t>(seed >> 20) % 1000000000) / 1000.0;
    values.push_back(i % 2 ? -mills : mills);
    values.push_back(mills / 3.25);
    values.push_back(mills * 1.36 / 100);
    values.push_back(mills / 30 * 7);
  }
  for (int dec : {0, 2, 4}) {
    for (double v : values) {
      double a = roundDec(v, dec), b = roundHalfAway(v, dec);
      ASSERT_TRUE(a == b && std::signbit(a) == std::signbit(b)) << v << " dec " << dec << ": " << a << " " << b;
    }
  }
}

TEST(Currency, BlankIsSolesOtherLettersUnknown) {
  EXPECT_EQ(currencyOf("S"), Currency::Soles);
  EXPECT_EQ(currencyOf(" "), Currency::Soles);
  EXPECT_EQ(currencyOf(""), Currency::Soles);
  EXPECT_EQ(currencyOf("D"), Currency::Dollars);
  EXPECT_EQ(currencyOf("E"), Currency::Euros);
  EXPECT_EQ(currencyOf("X"), Currency::Unknown);
  EXPECT_EQ(currencyOf("d"), Currency::Unknown);
}

// ---- monthly payroll ------------------------------------------------------------

TEST(Payroll, SolesOvertimeExample) {
  MonthlyEntries me;
  me.simple = 2;
  Computed c = compute(employee(), me);
  EXPECT_DOUBLE_EQ(c.w.r1, 8.20);  // hourly round2(1575 / 30 / 8) = 6.56, x 1.25
  EXPECT_DOUBLE_EQ(c.rec.num("HSIMPLE_P"), 16.40);
  EXPECT_DOUBLE_EQ(c.rec.num("BAS_QUI"), 1500.00);
  EXPECT_DOUBLE_EQ(c.rec.num("ASIGNA"), 75.00);
  EXPECT_DOUBLE_EQ(c.rec.num("BAS_MEN"), 1500.00);
  EXPECT_DOUBLE_EQ(c.rec.num("TBRUTO"), 1591.40);
  EXPECT_DOUBLE_EQ(c.rec.num("HSIMPLE"), 2);
}

TEST(Payroll, SecondRateUsesTheWholeFactor) {
  MonthlyEntries me;
  me.doble = 3;
  RunValues rv = run();
  Computed c = compute(employee(), me, rv);
  EXPECT_DOUBLE_EQ(c.w.r2, 13.12);
  EXPECT_DOUBLE_EQ(c.rec.num("HDOBLE_P"), 39.36);
}

TEST(Payroll, DollarsAreConvertedAtTheRate) {
  Employee e = employee();
  e.currency = Currency::Dollars;
  e.basMen = 1000;
  e.gratif = 100;
  Computed c = compute(e);
  EXPECT_DOUBLE_EQ(c.rec.num("BAS_MEN"), 3250.00);
  EXPECT_DOUBLE_EQ(c.rec.num("GRATIF"), 325.00);
  PendingRecord conv = resultRecord();
  ASSERT_TRUE(convertAmounts(c.rec, convertedAmountFields(), 3.25, conv).isOk());
  EXPECT_DOUBLE_EQ(conv.num("BAS_MEN"), 1000.00);
  EXPECT_DOUBLE_EQ(conv.num("ASIGNA"), round2(75 / 3.25));
  EXPECT_DOUBLE_EQ(conv.num("TPAGAR"), round2(c.rec.num("TPAGAR") / 3.25));
  EXPECT_FALSE(conv.isSet("REFRIG"));  // not carried to the converted record
  EXPECT_EQ(convertAmounts(c.rec, convertedAmountFields(), 0, conv).code(), ErrorCode::Invalid);
}

TEST(Payroll, EurosUseTheEuroRate) {
  Employee e = employee();
  e.currency = Currency::Euros;
  e.basMen = 1000;
  Computed c = compute(e);
  EXPECT_DOUBLE_EQ(c.rec.num("BAS_MEN"), 3600.00);
}

TEST(Payroll, UnknownCurrencyIsRefused) {
  Employee e = employee();
  e.currency = Currency::Unknown;
  PendingRecord rec = resultRecord();
  EmployeeWork w;
  EXPECT_FALSE(payrollToBase(e, {}, {}, run(), rec, w).isOk());
}

TEST(Payroll, FebruaryVacationOfMoreThan27DaysCountsAs30) {
  Employee e = employee();
  e.diaTra = 0;
  e.gratif = 300;
  VacationEntry vac{true, 1, 28};
  Computed c = compute(e, {}, run("02"), vac);
  EXPECT_EQ(c.w.v, 30);
  EXPECT_DOUBLE_EQ(c.rec.num("VACACI"), 1575.00);
  EXPECT_DOUBLE_EQ(c.rec.num("GRATIF"), 300.00);
  vac.diavac = 27;
  c = compute(e, {}, run("02"), vac);
  EXPECT_EQ(c.w.v, 27);
  EXPECT_DOUBLE_EQ(c.rec.num("VACACI"), round2(1575.0 / 30 * 27));
  // In March 28 days stay 28.
  vac.diavac = 28;
  c = compute(e, {}, run("03"), vac);
  EXPECT_EQ(c.w.v, 28);
}

TEST(Payroll, VacationControlOtherThanOnePaysNoVacation) {
  Employee e = employee();
  e.gratif = 300;
  e.diaTra = 20;
  VacationEntry vac{true, 3, 10};
  Computed c = compute(e, {}, run(), vac);
  EXPECT_EQ(c.rec.num("VACACI"), 0);
  // The days still count for the proportional gratification.
  EXPECT_DOUBLE_EQ(c.rec.num("GRATIF"), 300.00);
}

// Each fraction costs a thirtieth of the daily pay, the daily pay rounded to cents
// first. 3,000 / 30 = 100.00; 3 x 100.00 / 30 = 10.00 -> 2,990.00. 2,500 / 30 =
// 83.333... -> 83.33; 20 x 83.33 / 30 = 55.5533 -> 2,444.4467 -> 2,444.45 (unrounded,
// 55.5556 would give 2,444.44). The family allowance of 75: 75 / 30 = 2.50, less 3 x
// 2.50 / 30 = 0.25 -> 74.75, less 20 x 2.50 / 30 = 1.6667 -> 73.33.
TEST(Payroll, AbsencesRemoveAThirtiethOfTheRoundedDailyPay) {
  struct Case {
    double basMen, fraccion, basQui, asigna;
  };
  for (const Case& k : {Case{3000, 3, 2990.00, 74.75}, Case{2500, 20, 2444.45, 73.33}}) {
    SCOPED_TRACE(k.basMen);
    Employee e = employee();
    e.basMen = k.basMen;
    e.fraccion = k.fraccion;
    Computed c = compute(e);
    EXPECT_DOUBLE_EQ(c.rec.num("BAS_QUI"), k.basQui);
    EXPECT_DOUBLE_EQ(c.rec.num("ASIGNA"), k.asigna);
  }
}

TEST(Payroll, EssaludFloorAtTheMinimumWage) {
  Employee e = employee();
  e.basMen = 600;
  e.asigna = 0;
  Computed c = compute(e);
  EXPECT_DOUBLE_EQ(c.rec.num("IPSSE"), 76.50);  // 850 x 9%
  e.diaTra = 0;
  c = compute(e);
  EXPECT_EQ(c.w.p, 0);
  EXPECT_EQ(c.rec.num("IPSSE"), 0);
  // With a subsidy the base is P without it, no floor.
  e.diaTra = 30;
  MonthlyEntries me;
  me.subsid = 200;
  c = compute(e, me);
  EXPECT_DOUBLE_EQ(c.rec.num("IPSSE"), 54.00);  // 600 x 9%
  EXPECT_DOUBLE_EQ(c.rec.num("SUBSID"), 200);
}

TEST(Payroll, InsuredFundMemberAboveTheCeiling) {
  Employee e = fundMember();
  e.basMen = 10000;
  e.asigna = 0;
  Computed c = compute(e);
  EXPECT_DOUBLE_EQ(c.rec.num("AAPOR1"), 1000.00);
  EXPECT_DOUBLE_EQ(c.rec.num("AAPOR2"), 122.40);  // 9000 x 1.36%
  EXPECT_DOUBLE_EQ(c.rec.num("AAPOR3"), 155.00);
  EXPECT_DOUBLE_EQ(c.rec.num("AFPDSC"), 1277.40);
  EXPECT_EQ(c.rec.num("SNPT"), 0);
  // December: minus the premium of the December gratification.
  c = compute(e, {}, run("12"), {}, 20.5);
  EXPECT_DOUBLE_EQ(c.rec.num("AAPOR2"), 101.90);
  // Below the ceiling the premium is on P; not insured, none.
  e.basMen = 2000;
  c = compute(e);
  EXPECT_DOUBLE_EQ(c.rec.num("AAPOR2"), 27.20);
  e.insured = false;
  c = compute(e);
  EXPECT_EQ(c.rec.num("AAPOR2"), 0);
  EXPECT_DOUBLE_EQ(c.rec.num("AFPDSC"), 200 + 31);
}

TEST(Payroll, PublicSystemMember) {
  Computed c = compute(employee());
  EXPECT_DOUBLE_EQ(c.rec.num("SNPT"), 204.75);  // 1575 x 13%
  for (const char* f : {"AAPOR1", "AAPOR2", "AAPOR3", "AFPDSC"}) EXPECT_EQ(c.rec.num(f), 0) << f;
  EXPECT_DOUBLE_EQ(c.rec.num("T_DSCTOT"), 204.75);
  EXPECT_DOUBLE_EQ(c.rec.num("TPAGAR"), 1575 - 204.75);
  EXPECT_DOUBLE_EQ(c.rec.num("T_DSCTOE"), 141.75);
}

TEST(Payroll, FixedTaxReplacesTheComputedOne) {
  Employee e = employee();
  e.quinta = "S";
  e.imp5ta = 50;
  Computed c = compute(e, {}, run(), {}, 0, 123.456);
  EXPECT_DOUBLE_EQ(c.rec.num("RTA_5TA"), 50.00);
  e.imp5ta = 0;
  c = compute(e, {}, run(), {}, 0, 123.456);
  EXPECT_DOUBLE_EQ(c.rec.num("RTA_5TA"), 123.46);
  c = compute(e, {}, run(), {}, 0, -3);
  EXPECT_EQ(c.rec.num("RTA_5TA"), 0);
  e.quinta = "N";  // no tax whatever the tax step says
  c = compute(e, {}, run(), {}, 0, 123.456);
  EXPECT_EQ(c.rec.num("RTA_5TA"), 0);
}

TEST(Payroll, TaxBaseOfTheTwoVariants) {
  Employee e = employee();
  e.gratif = 300;
  MonthlyEntries me;
  me.subsid = 10;
  me.movili = 40;
  e.quinta = "S";
  Computed c = compute(e, me);
  EXPECT_DOUBLE_EQ(c.w.t, 1500 + 75 + 10);
  e.quinta = "E";
  c = compute(e, me);
  EXPECT_DOUBLE_EQ(c.w.t, 1500 + 75 + 300 + 10);
  FifthInput in = fifthInput(e, me, run(), c.w);
  EXPECT_FALSE(in.projectGrat);
  EXPECT_DOUBLE_EQ(in.mv, 40);
  EXPECT_DOUBLE_EQ(in.p, c.w.p);
}

TEST(Payroll, FeePaidEmployee) {
  Employee e = fundMember();
  e.feePaid = true;
  e.currency = Currency::Dollars;
  e.basMen = 1000;
  e.esvida = 5;
  MonthlyEntries me;
  me.refrige = 30;
  me.adelanto = 100;
  Computed c = compute(e, me, run(), {}, 0, 80);
  EXPECT_DOUBLE_EQ(c.rec.num("TBRUTO"), 1000.00);  // as recorded, not converted
  EXPECT_DOUBLE_EQ(c.rec.num("BAS_QUI"), 1000.00);
  EXPECT_DOUBLE_EQ(c.rec.num("TPAGAR"), 1000.00);
  EXPECT_DOUBLE_EQ(c.rec.num("BAS_MEN"), 3250.00);
  EXPECT_DOUBLE_EQ(c.rec.num("REFRIG"), 30.00);
  for (const char* f : {"T_DSCTOT", "T_DSCTOE", "IPSSE", "AAPOR1", "AFPDSC", "ESVIDA", "ADELANTO", "RTA_5TA",
                        "ASIGNA", "BONIFI"})
    EXPECT_EQ(c.rec.num(f), 0) << f;
  EXPECT_TRUE(c.rec.isSet("BONIFI"));
}

TEST(Payroll, MealAllowanceRaisesTheBaseNotTheGross) {
  Computed plain = compute(employee());
  MonthlyEntries me;
  me.refrige = 100;
  Computed meal = compute(employee(), me);
  EXPECT_DOUBLE_EQ(meal.w.p, plain.w.p + 100);
  EXPECT_DOUBLE_EQ(meal.rec.num("TBRUTO"), plain.rec.num("TBRUTO"));
  EXPECT_DOUBLE_EQ(meal.rec.num("SNPT"), plain.rec.num("SNPT") + 13);
  EXPECT_DOUBLE_EQ(meal.rec.num("TPAGAR"), plain.rec.num("TPAGAR") - 13);
  EXPECT_DOUBLE_EQ(meal.rec.num("IPSSE"), plain.rec.num("IPSSE") + 9);
}

TEST(Payroll, DeductionsOfTheEntries) {
  MonthlyEntries me;
  me.adelanto = 100;
  me.otrosegr = 50;
  me.retjud = 25;
  me.cuosin = 10;
  me.tardan = 5;
  Employee e = employee();
  e.esvida = 5;
  Computed c = compute(e, me);
  EXPECT_DOUBLE_EQ(c.rec.num("OTROSD"), 50);
  EXPECT_DOUBLE_EQ(c.rec.num("T_DSCTOT"), 204.75 + 5 + 100 + 50 + 25 + 10 + 5);
}

TEST(Payroll, NoAffiliationDateStopsAfterTheHealthContributions) {
  Employee e = fundMember();
  e.fechAfp = Date();
  Computed c = compute(e);
  EXPECT_EQ(c.after, AfterTax::NoAffiliationDate);
  EXPECT_TRUE(c.rec.isSet("RTA_5TA"));
  EXPECT_TRUE(c.rec.isSet("IPSST"));
  EXPECT_TRUE(c.rec.isSet("FONAVIT"));
  EXPECT_FALSE(c.rec.isSet("AAPOR1"));
  EXPECT_FALSE(c.rec.isSet("TPAGAR"));
  EXPECT_DOUBLE_EQ(c.rec.num("TBRUTO"), 1575);  // the contribution base
}

TEST(Payroll, ProportionalGratificationCountsDaysWorkedAndVacation) {
  Employee e = employee();
  e.gratif = 250;
  e.diaTra = 20;
  Computed c = compute(e, {}, run(), {true, 1, 5});
  EXPECT_DOUBLE_EQ(c.rec.num("GRATIF"), round2(250.0 / 30 * 25));
  // FONAVIE on P without the gratification.
  RunValues rv = run();
  rv.params.fonavie = 2;
  c = compute(e, {}, rv, {true, 1, 5});
  EXPECT_DOUBLE_EQ(c.rec.num("FONAVIE"), round2((c.w.p - c.w.g) * 2 / 100));
}

// ---- gratification --------------------------------------------------------------

struct GratComputed {
  PendingRecord rec = resultRecord();
  GratWork w;
  AfterTax after = AfterTax::Done;
};

GratComputed grat(const Employee& e, const RollEntry& r) {
  GratComputed g;
  Result<AfterTax> a = gratificationSteps(e, r, run("07"), fund(), 2016, 7, g.rec, g.w);
  EXPECT_TRUE(a.isOk()) << a.status().message();
  if (a) g.after = *a;
  return g;
}

TEST(Gratification, SixMonthsWithoutAdvance) {
  RollEntry r;
  r.mes = 6;
  GratComputed g = grat(employee(), r);
  EXPECT_DOUBLE_EQ(g.rec.num("GRATIF"), 1575.00);
  EXPECT_DOUBLE_EQ(g.rec.num("BONIFI"), 141.75);
  EXPECT_DOUBLE_EQ(g.rec.num("TBRUTO"), 1716.75);
  for (const char* f : {"SNPT", "AAPOR1", "AFPDSC", "IPSSE", "SNPE", "FONAVIE"}) EXPECT_EQ(g.rec.num(f), 0) << f;
  EXPECT_DOUBLE_EQ(g.rec.num("TPAGAR"), 1716.75);
}

TEST(Gratification, MonthsAndDays) {
  RollEntry r;
  r.mes = 5;
  r.dia = 10;
  GratComputed g = grat(employee(), r);
  EXPECT_DOUBLE_EQ(g.rec.num("GRATIF"), 1400.00);  // 1312.50 + 87.50
}

TEST(Gratification, AdvanceOfAnInsuredFundMember) {
  RollEntry r;
  r.mes = 6;
  r.dscley = 500;
  r.dscto = 20;
  r.desgrat = 12;
  GratComputed g = grat(fundMember(), r);
  EXPECT_DOUBLE_EQ(g.rec.num("BONIFI"), round2((1575 - 500) * 0.09));
  EXPECT_DOUBLE_EQ(g.rec.num("AAPOR1"), 50.00);
  EXPECT_DOUBLE_EQ(g.rec.num("AAPOR2"), 6.80);  // Q below the ceiling: on DSCLEY
  EXPECT_DOUBLE_EQ(g.rec.num("AAPOR3"), 7.75);
  EXPECT_DOUBLE_EQ(g.rec.num("AFPDSC"), 64.55);
  EXPECT_DOUBLE_EQ(g.rec.num("IPSSE"), 45.00);
  EXPECT_DOUBLE_EQ(g.rec.num("ADELANTO"), 520.00);
  EXPECT_DOUBLE_EQ(g.rec.num("RTA_5TA"), 12.00);
  EXPECT_DOUBLE_EQ(g.rec.num("T_DSCTOT"), 64.55 + 12 + 520);
  EXPECT_DOUBLE_EQ(g.rec.num("TPAGAR"), g.rec.num("TBRUTO") - g.rec.num("T_DSCTOT"));
}

TEST(Gratification, PremiumAboveTheCeilingAndAnAffiliationOfAnEarlierYear) {
  Employee e = fundMember();
  e.basMen = 60000;
  RollEntry r;
  r.mes = 6;
  r.dscley = 500;
  GratComputed g = grat(e, r);
  EXPECT_DOUBLE_EQ(g.rec.num("AAPOR2"), 122.40);  // AFPPOR4 x AFPPOR2
  // Affiliated in September 2001, a later month than July but of an earlier year:
  // a fund member in July 2016, charged the fund on DSCLEY, not the public system.
  e.fechAfp = Date(2001, 9, 1);
  g = grat(e, r);
  EXPECT_DOUBLE_EQ(g.rec.num("AAPOR1"), 50.00);  // 500 x 10%
  EXPECT_DOUBLE_EQ(g.rec.num("AAPOR3"), 7.75);   // 500 x 1.55%
  EXPECT_EQ(g.rec.num("SNPT"), 0);
}

TEST(Gratification, NoAffiliationDateOnlyMattersWithAnAdvance) {
  Employee e = fundMember();
  e.fechAfp = Date();
  RollEntry r;
  r.mes = 6;
  GratComputed g = grat(e, r);
  EXPECT_EQ(g.after, AfterTax::Done);
  EXPECT_FALSE(gratNeedsFund(e, r));
  r.dscley = 100;
  EXPECT_TRUE(gratNeedsFund(e, r));
  g = grat(e, r);
  EXPECT_EQ(g.after, AfterTax::NoAffiliationDate);
  EXPECT_TRUE(g.rec.isSet("IPSST"));
  EXPECT_FALSE(g.rec.isSet("AAPOR1"));
}

TEST(Gratification, DollarBase) {
  Employee e = employee();
  e.currency = Currency::Dollars;
  e.basMen = 1000;
  e.asigna = 0;
  RollEntry r;
  r.mes = 6;
  GratComputed g = grat(e, r);
  EXPECT_DOUBLE_EQ(g.rec.num("BAS_MEN"), 3250.00);
  EXPECT_DOUBLE_EQ(g.rec.num("GRATIF"), 3250.00);
}

}  // namespace
}  // namespace planilla::calc
