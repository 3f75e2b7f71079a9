#include "store/value.h"

#include <gtest/gtest.h>

namespace planilla {
namespace {

TEST(RoundHalfAway, DecimalHalvesRoundUpWhateverTheBinaryForm) {
  EXPECT_DOUBLE_EQ(roundHalfAway(1.005, 2), 1.01);
  EXPECT_DOUBLE_EQ(roundHalfAway(2.675, 2), 2.68);
  EXPECT_DOUBLE_EQ(roundHalfAway(1.25 * 8.02, 2), 10.03);
  EXPECT_DOUBLE_EQ(roundHalfAway(-1.005, 2), -1.01);
  EXPECT_DOUBLE_EQ(roundHalfAway(99.995, 2), 100.0);
  EXPECT_DOUBLE_EQ(roundHalfAway(2.5, 0), 3.0);
  EXPECT_DOUBLE_EQ(roundHalfAway(-2.5, 0), -3.0);
}

TEST(RoundHalfAway, BelowHalfAndTinyValues) {
  EXPECT_DOUBLE_EQ(roundHalfAway(0.0049999, 2), 0.0);
  EXPECT_DOUBLE_EQ(roundHalfAway(1e-9, 2), 0.0);
  EXPECT_DOUBLE_EQ(roundHalfAway(123.454, 2), 123.45);
  EXPECT_DOUBLE_EQ(roundHalfAway(1234567.125, 2), 1234567.13);
  EXPECT_DOUBLE_EQ(roundHalfAway(5.0, 2), 5.0);
}

TEST(Date, TextFormsAndJulianDays) {
  Date d(2016, 3, 15);
  EXPECT_EQ(d.dtos(), "20160315");
  EXPECT_EQ(d.dmy(), "15/03/2016");
  EXPECT_EQ(Date().dtos(), "        ");
  EXPECT_EQ(Date().dmy(), "  /  /    ");
  EXPECT_EQ(Date::fromJulianDay(d.julianDay()), d);
  EXPECT_EQ(Date(2000, 1, 1).julianDay(), 2451545);
  bool ok = true;
  EXPECT_TRUE(Date::fromDmy("31/02/2016", &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_EQ(Date::fromDmy("29/02/2016", &ok), Date(2016, 2, 29));
  EXPECT_TRUE(ok);
  EXPECT_EQ(Date(2016, 2, 28).addDays(2), Date(2016, 3, 1));
  // Long digit runs are refused, not overflowed.
  EXPECT_TRUE(Date::fromDmy("9999999931/12/2016", &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Date::fromDmy("01/01/99999", &ok).empty());
  EXPECT_FALSE(ok);
}

TEST(Date, OperatorDatesHaveFourDigitYearsFrom1900To2099) {
  // The period files carry two year digits: 31/12/26 (year 26) would name the files
  // of December 2026, so only a year written in full and within the range is a date.
  struct Case {
    const char* text;
    Date date;  // empty: refused (except for blank text)
  };
  const Case cases[] = {
      {"31/12/2026", Date(2026, 12, 31)}, {"1/2/2016", Date(2016, 2, 1)},   {"01/01/1900", Date(1900, 1, 1)},
      {"31/12/2099", Date(2099, 12, 31)}, {"31/12/26", Date()},             {"31/12/0026", Date()},
      {"31/12/1899", Date()},             {"01/01/2100", Date()},           {"29/02/2100", Date()},
      {"31/12/026", Date()},              {"31/12/20266", Date()},          {"31/12/2026x", Date()},
  };
  for (const Case& c : cases) {
    bool ok = false;
    EXPECT_EQ(Date::fromOperatorDmy(c.text, &ok), c.date) << c.text;
    EXPECT_EQ(ok, !c.date.empty()) << c.text;
  }
  bool ok = false;
  EXPECT_TRUE(Date::fromOperatorDmy("  /  /    ", &ok).empty());
  EXPECT_TRUE(ok);  // blank: no date given
  EXPECT_FALSE(Date(1899, 12, 31).inOperatorRange());
  EXPECT_TRUE(Date(1900, 1, 1).inOperatorRange());
  EXPECT_FALSE(Date(2100, 1, 1).inOperatorRange());
}

}  // namespace
}  // namespace planilla
