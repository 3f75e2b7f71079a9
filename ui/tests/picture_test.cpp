#include "ui/picture.h"

#include <gtest/gtest.h>

namespace planilla::ui {
namespace {

TEST(PictureNumber, GroupsThousandsOnlyBetweenDigits) {
  Picture p("###,###.##");
  EXPECT_EQ(p.width(), 10);
  EXPECT_EQ(p.integerDigits(), 6);
  EXPECT_EQ(p.decimals(), 2);
  EXPECT_EQ(p.formatNumber(1234.5), "  1,234.50");
  EXPECT_EQ(p.formatNumber(234.5), "    234.50");
  EXPECT_EQ(p.formatNumber(999999.99), "999,999.99");
  EXPECT_EQ(p.formatNumber(0), "      0.00");
  EXPECT_EQ(p.formatNumber(-1234.5), " -1,234.50");
  EXPECT_EQ(p.formatNumber(-234.5), "   -234.50");
}

TEST(PictureNumber, TooWideShowsAsterisks) {
  EXPECT_EQ(Picture("###,###.##").formatNumber(1234567), "**********");
  EXPECT_EQ(Picture("999").formatNumber(1000), "***");
  EXPECT_EQ(Picture("99").formatNumber(-10), "**");  // the sign needs a position
  EXPECT_EQ(Picture("99").formatNumber(-9), "-9");
}

TEST(PictureNumber, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(Picture("###.##").formatNumber(1.005), "  1.01");
  EXPECT_EQ(Picture("###.##").formatNumber(2.675), "  2.68");
  EXPECT_EQ(Picture("###").formatNumber(2.5), "  3");
  EXPECT_EQ(Picture("###").formatNumber(-2.5), " -3");
  EXPECT_EQ(Picture("99,999.99").formatNumber(99999.995), "*********");  // rounds to 100000.00
}

TEST(PictureNumber, MasksInUse) {
  EXPECT_EQ(Picture("99,999.99").formatNumber(4500), " 4,500.00");
  EXPECT_EQ(Picture("999,999.99").formatNumber(19750), " 19,750.00");
  EXPECT_EQ(Picture("9,999,999.99").formatNumber(1234567.891), "1,234,567.89");
  EXPECT_EQ(Picture("9,999,999.99").formatNumber(12.3), "       12.30");
  EXPECT_EQ(Picture("999.9999").formatNumber(1.13), "  1.1300");
  EXPECT_EQ(Picture("999.999").formatNumber(3.456), "  3.456");
  EXPECT_EQ(Picture("999").formatNumber(8), "  8");
  EXPECT_EQ(Picture("99").formatNumber(5), " 5");
  EXPECT_EQ(Picture("#").formatNumber(7), "7");
  EXPECT_EQ(Picture("####,###.##").formatNumber(1500000), "1500,000.00");
  EXPECT_EQ(transform(3950 * 5, "###,###.##"), " 19,750.00");
}

TEST(PictureNumber, ParsesTypedText) {
  Picture p("###,###.##");
  EXPECT_EQ(p.parseNumber("1234.5"), 1234.5);
  EXPECT_EQ(p.parseNumber("  1,234.50"), 1234.5);
  EXPECT_EQ(p.parseNumber(""), 0.0);
  EXPECT_EQ(p.parseNumber("-12"), -12.0);
  EXPECT_EQ(p.parseNumber("999999.99"), 999999.99);
  EXPECT_EQ(p.parseNumber("0001234"), 1234.0);  // leading zeros take no position
  EXPECT_FALSE(p.parseNumber("1234567"));        // seven integer digits
  EXPECT_FALSE(p.parseNumber("1.234"));          // three decimals
  EXPECT_FALSE(p.parseNumber("12a"));
  EXPECT_FALSE(p.parseNumber("1.2.3"));
  EXPECT_FALSE(Picture("###").parseNumber("1.5"));
  EXPECT_EQ(Picture("###").parseNumber("135"), 135.0);
}

TEST(PictureText, UpperCaseFunctionAndTemplate) {
  EXPECT_TRUE(Picture("@!").upperCase());
  EXPECT_EQ(Picture("@!").applyText("abc \xF1" "and\xFA"), "ABC \xD1" "AND\xDA");
  EXPECT_EQ(Picture("!").applyText("s"), "S");
  EXPECT_EQ(Picture("").applyText("abc"), "abc");
  EXPECT_FALSE(Picture("@!").numeric());
  EXPECT_EQ(upper1252("\xE1\xE9\xED\xF3\xFA\xFC\xF1"), "\xC1\xC9\xCD\xD3\xDA\xDC\xD1");
  EXPECT_EQ(upper1252("\xF7"), "\xF7");  // the division sign is not a letter
}

TEST(PictureDate, DayMonthYearUnderE) {
  Picture e("@e");
  EXPECT_TRUE(e.dayMonthYear());
  EXPECT_EQ(e.formatDate(Date(2016, 3, 15)), "15/03/2016");
  EXPECT_EQ(Picture("@E").formatDate(Date(2016, 1, 1)), "01/01/2016");
  EXPECT_EQ(e.formatDate(Date()), "  /  /    ");
  EXPECT_EQ(Picture("").formatDate(Date(2016, 3, 15)), "03/15/2016");
  EXPECT_EQ(e.parseDate("15/03/2016"), Date(2016, 3, 15));
  EXPECT_EQ(e.parseDate("  /  /    "), Date());
  EXPECT_EQ(e.parseDate(""), Date());
  EXPECT_FALSE(e.parseDate("31/02/2016"));
  EXPECT_FALSE(e.parseDate("15/13/2016"));
  EXPECT_FALSE(e.parseDate("1x/03/2016"));
  EXPECT_EQ(Picture("").parseDate("03/15/2016"), Date(2016, 3, 15));
  // The year is typed in full and lies between 1900 and 2099 (a date field is refused
  // with "Fecha No Valida" otherwise): "16" is not guessed as 2016.
  EXPECT_FALSE(e.parseDate("15/03/16"));
  EXPECT_FALSE(e.parseDate("15/03/16  "));  // as the "99/99/9999" mask leaves it
  EXPECT_FALSE(e.parseDate("15/03/0016"));
  EXPECT_FALSE(e.parseDate("31/12/1899"));
  EXPECT_FALSE(e.parseDate("01/01/2100"));
  EXPECT_EQ(e.parseDate("01/01/1900"), Date(1900, 1, 1));
  EXPECT_EQ(e.parseDate("31/12/2099"), Date(2099, 12, 31));
}

TEST(PicturePlain, NaturalNumberForm) {
  EXPECT_EQ(formatPlain(3.5, 8, 2), "    3.50");
  EXPECT_EQ(formatPlain(-0.001, 6, 2), "  0.00");
  EXPECT_EQ(formatPlain(123456, 4, 0), "****");
}

}  // namespace
}  // namespace planilla::ui
