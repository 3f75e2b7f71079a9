#include "store/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace planilla {

double roundHalfAway(double v, int decimals) {
  if (!std::isfinite(v)) return v;
  // The decimal the value stands for: 15 significant digits, as %.15g prints it.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", v);
  // buf: [-]D.DDDDDDDDDDDDDDe[+-]XX
  const char* p = buf;
  bool neg = false;
  if (*p == '-') { neg = true; ++p; }
  char digits[32];
  int nd = 0;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits[nd++] = *p;
  int exp10 = std::atoi(p + 1);  // value = 0.D1D2.. * 10^(exp10+1)
  // Position of the rounding digit: digits before the decimal point = exp10 + 1.
  int keep = exp10 + 1 + decimals;  // number of digits kept
  if (keep < 0) return neg ? -0.0 : 0.0;
  if (keep >= nd) return v;  // already exact at this precision
  // Build the kept digits as an integer string and round by the next digit.
  bool up = digits[keep] >= '5';
  // Integer made of digits[0..keep) (may be empty -> 0).
  char ibuf[40];
  int ni = 0;
  ibuf[ni++] = '0';  // room for carry
  for (int i = 0; i < keep; ++i) ibuf[ni++] = digits[i];
  if (up) {
    int i = ni - 1;
    while (true) {
      if (ibuf[i] == '9') { ibuf[i] = '0'; --i; }
      else { ibuf[i]++; break; }
    }
  }
  ibuf[ni] = 0;
  // Value = integer * 10^(exp10 + 1 - keep) = integer * 10^(-decimals)
  char out[80];
  std::snprintf(out, sizeof out, "%s%se-%d", neg ? "-" : "", ibuf, decimals);
  return std::strtod(out, nullptr);
}

bool Date::valid() const {
  if (y_ < 1 || y_ > 9999 || m_ < 1 || m_ > 12 || d_ < 1) return false;
  return d_ <= daysInMonth(y_, m_);
}

int Date::daysInMonth(int y, int m) {
  static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12) return 0;
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return dm[m - 1];
}

std::string Date::dtos() const {
  if (empty()) return std::string(8, ' ');
  char b[16];
  std::snprintf(b, sizeof b, "%04d%02d%02d", y_ % 10000, m_ % 100, d_ % 100);
  return b;
}

static bool allBlank(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\0') return false;
  return true;
}

Date Date::fromDtos(std::string_view s, bool* ok) {
  if (ok) *ok = true;
  if (allBlank(s)) return Date();
  if (s.size() != 8) { if (ok) *ok = false; return Date(); }
  int v[8];
  for (int i = 0; i < 8; ++i) {
    if (s[i] < '0' || s[i] > '9') { if (ok) *ok = false; return Date(); }
    v[i] = s[i] - '0';
  }
  Date d(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]);
  if (!d.valid()) { if (ok) *ok = false; return Date(); }
  return d;
}

Date Date::fromDmy(std::string_view s, bool* ok) {
  if (ok) *ok = true;
  bool blank = true;
  for (char c : s)
    if (c != ' ' && c != '/' && c != '\0') blank = false;
  if (blank) return Date();
  int parts[3] = {0, 0, 0};
  int idx = 0, ndig = 0;
  for (char c : s) {
    if (c == '/') { if (ndig == 0 || ++idx > 2) break; ndig = 0; continue; }
    if (c == ' ') continue;
    if (c < '0' || c > '9') { if (ok) *ok = false; return Date(); }
    // At most four digits a part: longer runs are no date (and would overflow).
    if (++ndig > 4) { if (ok) *ok = false; return Date(); }
    parts[idx] = parts[idx] * 10 + (c - '0');
  }
  if (idx != 2 || ndig == 0) { if (ok) *ok = false; return Date(); }
  Date d(parts[2], parts[1], parts[0]);
  if (!d.valid()) { if (ok) *ok = false; return Date(); }
  return d;
}

Date Date::fromOperatorDmy(std::string_view s, bool* ok) {
  bool parsed = false;
  Date d = fromDmy(s, &parsed);
  if (ok) *ok = parsed;
  if (!parsed || d.empty()) return d;
  // fromDmy took the year from the digits after the second slash.
  int yearDigits = 0;
  const size_t slash = s.rfind('/');
  for (char c : s.substr(slash + 1))
    if (c >= '0' && c <= '9') ++yearDigits;
  if (yearDigits != 4 || !d.inOperatorRange()) {
    if (ok) *ok = false;
    return Date();
  }
  return d;
}

std::string Date::dmy() const {
  if (empty()) return "  /  /    ";
  char b[16];
  std::snprintf(b, sizeof b, "%02d/%02d/%04d", d_ % 100, m_ % 100, y_ % 10000);
  return b;
}

int64_t Date::julianDay() const {
  if (empty()) return 0;
  int64_t a = (14 - m_) / 12;
  int64_t y = y_ + 4800 - a;
  int64_t m = m_ + 12 * a - 3;
  return d_ + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

Date Date::fromJulianDay(int64_t jd) {
  if (jd <= 0) return Date();
  int64_t a = jd + 32044;
  int64_t b = (4 * a + 3) / 146097;
  int64_t c = a - 146097 * b / 4;
  int64_t d = (4 * c + 3) / 1461;
  int64_t e = c - 1461 * d / 4;
  int64_t m = (5 * e + 2) / 153;
  int day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  int month = static_cast<int>(m + 3 - 12 * (m / 10));
  int year = static_cast<int>(100 * b + d - 4800 + m / 10);
  return Date(year, month, day);
}

Date Date::addDays(int n) const {
  if (empty()) return *this;
  return fromJulianDay(julianDay() + n);
}

std::string NUM_CAR(double number, int width) {
  if (width <= 0) return std::string();
  if (!std::isfinite(number)) return std::string(static_cast<size_t>(width), '*');
  const double r = roundHalfAway(number, 0);
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%.0f", std::fabs(r));
  if (n <= 0 || n >= static_cast<int>(sizeof buf)) return std::string(static_cast<size_t>(width), '*');
  std::string digits(buf, static_cast<size_t>(n));
  const bool negative = r < 0;
  size_t need = digits.size() + (negative ? 1 : 0);
  if (need > static_cast<size_t>(width)) return std::string(static_cast<size_t>(width), '*');
  std::string zeros(static_cast<size_t>(width) - need, '0');
  return (negative ? "-" : "") + zeros + digits;
}

}  // namespace planilla
