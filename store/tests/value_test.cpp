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

}  // namespace
}  // namespace planilla
