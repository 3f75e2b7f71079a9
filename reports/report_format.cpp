#include "reports/report_format.h"

#include "ui/picture.h"

#include <cmath>
#include <cstdio>

namespace planilla::reports {

std::string amount(double value, std::string_view picture) {
  // The shared picture formatter: a report prints a number as the screens show it.
  return ui::transform(value, picture);
}

std::string dateE(const Date& d) {
  if (d.empty()) return "  /  /    ";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d.day() % 100, d.month() % 100, d.year() % 10000);
  return buf;
}

std::string writerDate(const Date& d) {
  char buf[32];
  if (d.empty()) return "00/00/   0";
  std::snprintf(buf, sizeof buf, "%02d/%02d/%4d", d.day() % 100, d.month() % 100, d.year() % 10000);
  return buf;
}

std::string numberText(double number) {
  if (!std::isfinite(number)) return std::string(10, '*');
  const double r = roundHalfAway(number, 0);
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%.0f", r == 0 ? 0.0 : r);
  if (n <= 0 || n > 10) return std::string(10, '*');
  return std::string(static_cast<size_t>(10 - n), ' ') + std::string(buf, static_cast<size_t>(n));
}

std::vector<int> columnStops(int base, const std::vector<int>& widths) {
  std::vector<int> stops;
  int pos = base;
  for (size_t n = 0; n + 1 < widths.size(); ++n) {
    pos += (widths[n] + 1) * 115;
    stops.push_back(pos);
  }
  return stops;
}

std::string companySubtitle(std::string_view cia) {
  if (cia == "01") return "  ";
  if (cia == "02") return "ASISTENCIA TECNICA";
  if (cia == "03") return "PROGRAMA DE PATRIMONIO CULTURAL";
  if (cia == "04") return "PROGRAMA DE ALFABETIZACION Y EDUCACION BASICA DE ADULTOS";
  return " ";
}

std::string rtrim(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string monthNameUpper(int month) {
  static const char* const kNames[] = {"ENERO", "FEBRERO", "MARZO",     "ABRIL",   "MAYO",      "JUNIO",
                                       "JULIO", "AGOSTO",  "SETIEMBRE", "OCTUBRE", "NOVIEMBRE", "DICIEMBRE"};
  if (month < 1 || month > 12) return std::string();
  return kNames[month - 1];
}

}  // namespace planilla::reports
