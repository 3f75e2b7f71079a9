// How values are written into report files: amounts and counts under numeric
// pictures, dates, zero-padded numbers, the default number-to-text form, the column
// stops and the company subtitle. Everything returns Windows-1252 bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/value.h"

namespace planilla::reports {

// Numeric pictures used by the writers.
inline constexpr std::string_view kPicPayslip = "99,999.99";
inline constexpr std::string_view kPicSummary = "999,999.99";
inline constexpr std::string_view kPicWide = "9,999,999.99";
inline constexpr std::string_view kPicRate = "999.9999";
inline constexpr std::string_view kPicDays3 = "999";
inline constexpr std::string_view kPicDays2 = "99";

// The number under a numeric picture ("99,999.99", "999" ...): exactly as wide as the
// picture, right-aligned, a "," only between digits, a minus sign just before the
// first digit, rounded halves away from zero. A number that does not fit prints as
// asterisks over the whole width (the report is still produced).
std::string amount(double value, std::string_view picture);

// A date under the "@E" picture: "dd/mm/yyyy"; an empty date prints as "  /  /    ".
std::string dateE(const Date& d);

// A date the writers assemble themselves: two-digit day, "/", two-digit month, "/",
// the year right-aligned in four places. An empty date gives "00/00/   0".
std::string writerDate(const Date& d);

// The default number-to-text form: rounded to a whole number, right-aligned in ten
// characters (asterisks when it does not fit).
std::string numberText(double number);

// Column stops: for N = 1 .. K-1, base + sum over k = 1..N of (w_k + 1) * 115.
// The last width of the list does not contribute.
std::vector<int> columnStops(int base, const std::vector<int>& widths);

// The fixed text printed under the company name, chosen by the company code.
std::string companySubtitle(std::string_view cia);

// Text with trailing blanks removed.
std::string rtrim(std::string_view text);

// Month names in capitals ("ENERO" ... "DICIEMBRE"); empty for a month out of range.
std::string monthNameUpper(int month);

}  // namespace planilla::reports
