// Money rounding and calendar dates shared by the engine, the runs and the reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace planilla {

// Rounds to `decimals` places, halves away from zero, exact on decimal halves
// whatever the binary representation: the double is first read as the decimal
// it prints as with 15 significant digits, then that decimal is rounded.
// round(1.005, 2) == 1.01, round(2.675, 2) == 2.68, round(1.25 * 8.02, 2) == 10.03.
double roundHalfAway(double v, int decimals);
inline double round2(double v) { return roundHalfAway(v, 2); }

// Text of exactly `n` bytes, as a fixed-width field holds it: cut, or padded with
// blanks on the right.
inline std::string padTo(std::string_view s, size_t n) {
  std::string out(s.substr(0, n));
  out.resize(n, ' ');
  return out;
}

// A whole number as fixed-width text: rounded halves away from zero, zero-padded on
// the left to `width` characters ("-05" for -5 in width 3); a number needing more than
// `width` characters, or not finite, gives `width` asterisks.
std::string NUM_CAR(double number, int width);

// The text without its trailing blanks (a C field's value as typed).
inline std::string trimRight(std::string_view s) {
  const size_t end = s.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1));
}

// A calendar date with an empty state (a blank D field).
class Date {
 public:
  Date() = default;  // empty
  Date(int y, int m, int d) : y_(y), m_(m), d_(d) {}
  bool empty() const { return y_ == 0; }
  bool valid() const;  // a real calendar day (empty is not valid)
  int year() const { return y_; }
  int month() const { return m_; }
  int day() const { return d_; }
  // "YYYYMMDD", or eight blanks when empty (the D field form and DTOS()).
  std::string dtos() const;
  // Parses "YYYYMMDD"; blanks give an empty date; anything else gives an empty date and ok=false.
  static Date fromDtos(std::string_view s, bool* ok = nullptr);
  // Parses "dd/mm/yyyy" (also "d/m/yyyy"); blanks or "  /  /    " give empty.
  static Date fromDmy(std::string_view s, bool* ok = nullptr);
  // "dd/mm/yyyy", or "  /  /    " when empty.
  std::string dmy() const;

  // The years an operator may give a date in (typed into a field, on the command line,
  // as the working date): 1900 to 2099, always written with four digits. The period
  // files carry only the last two digits of the year, so a year such as 0026 or 2126
  // would silently name the files of 2026.
  static constexpr int kFirstYear = 1900;
  static constexpr int kLastYear = 2099;
  // A real calendar day within those years.
  bool inOperatorRange() const { return valid() && y_ >= kFirstYear && y_ <= kLastYear; }
  // Parses "dd/mm/yyyy" (also "d/m/yyyy") as an operator gives it: the year in exactly
  // four digits and inOperatorRange(). Blank text gives the empty date with ok=true;
  // anything else that is not such a date gives an empty date and ok=false.
  static Date fromOperatorDmy(std::string_view s, bool* ok = nullptr);
  int64_t julianDay() const;  // Julian day number, 0 when empty
  static Date fromJulianDay(int64_t jd);
  Date addDays(int n) const;
  static int daysInMonth(int y, int m);
  friend bool operator==(const Date& a, const Date& b) = default;
  friend auto operator<=>(const Date& a, const Date& b) = default;

 private:
  int y_ = 0, m_ = 0, d_ = 0;
};

}  // namespace planilla
