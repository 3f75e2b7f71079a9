// Pictures: how a value is shown and typed. One formatter serves the screens and the
// report writers, so a number printed in a report looks as it does on screen.
//
// A picture has an optional function part ("@!", "@E", "@e", "@K" ...) and an optional
// template part, separated by a blank:
//   "@!"          every letter upper case (text)
//   "!"           one character, upper case (each "!" of a template upper-cases its position)
//   "@e" / "@E"   dates shown and typed as dd/mm/yyyy
//   "###,###.##"  numeric mask: "#" or "9" a digit position, "," a thousands separator
//                 shown only between digits (a blank otherwise), "." the decimal point;
//                 the positions after the point are the decimals kept.
// Text is Windows-1252 bytes; upper-casing covers the accented letters of that code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/value.h"

namespace planilla::ui {

// Upper-cases Windows-1252 text (a..z, and the accented and other lower-case letters).
std::string upper1252(std::string_view s);
char upper1252(char c);

class Picture {
 public:
  Picture() = default;
  explicit Picture(std::string_view picture);

  const std::string& source() const { return source_; }
  bool empty() const { return source_.empty(); }

  // "@!" or a template made only of "!": letters become upper case.
  bool upperCase() const { return upper_; }
  // "@e"/"@E": dates as day/month/year.
  bool dayMonthYear() const { return dmy_; }
  // The template part, e.g. "###,###.##" or "!" ("" when only functions are given).
  const std::string& mask() const { return mask_; }

  // --- numeric masks -----------------------------------------------------------------
  // True when the template is a numeric mask ("#", "9", ",", ".").
  bool numeric() const { return numeric_; }
  int width() const { return static_cast<int>(mask_.size()); }
  int integerDigits() const { return intDigits_; }
  int decimals() const { return decimals_; }
  // The number in the mask, right-aligned, exactly width() characters: digits fill
  // the digit positions from the decimal point leftwards, a "," shows only with a
  // digit on its left, a minus sign takes the position before the first digit, zero
  // shows "0" before the point. A number too wide gives width() asterisks (display
  // only: the value itself is never changed). Rounded halves away from zero.
  std::string formatNumber(double value) const;
  // Reads typed text back: blanks and "," ignored, an optional leading "-", digits and
  // at most one ".". Empty text is zero. Refused (nullopt) when there are more integer
  // digits or decimals than the mask holds, or characters that are not part of a number.
  std::optional<double> parseNumber(std::string_view text) const;

  // --- text --------------------------------------------------------------------------
  // Applies the picture to typed or stored text: upper-cases under "@!" and at "!"
  // positions of a template.
  std::string applyText(std::string_view text) const;

  // --- dates -------------------------------------------------------------------------
  // "dd/mm/yyyy" under "@e", otherwise "mm/dd/yyyy" (the system's default date form
  // with four-digit years); blanks and slashes for an empty date.
  std::string formatDate(const Date& d) const;
  // Reads a typed date in the picture's order. Blank text ("", "  /  /    ") is the
  // empty date; a day that is not in the calendar, a year not typed with four digits
  // or outside Date::kFirstYear..kLastYear is refused (nullopt).
  std::optional<Date> parseDate(std::string_view text) const;

 private:
  std::string source_;
  std::string mask_;
  bool upper_ = false;
  bool dmy_ = false;
  bool numeric_ = false;
  int intDigits_ = 0;
  int decimals_ = 0;
};

// Convenience for report writers and browse columns: the number in the mask.
std::string transform(double value, std::string_view picture);

// A number in its natural form for a field without picture: `width` characters,
// right-aligned, with `decimals` decimals (asterisks when it does not fit).
std::string formatPlain(double value, int width, int decimals);

}  // namespace planilla::ui
