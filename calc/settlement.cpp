#include "calc/settlement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ui/picture.h"

namespace planilla::calc {

const std::vector<EndReason>& endReasons() {
  static const std::vector<EndReason> r = {
      {"01", "RENUNCIA"},
      {"02", "RENUNCIA CON INCENTIVOS"},
      {"03", "DESPIDO O DESTITUCION"},
      {"04", "CESE COLECTIVO"},
      {"05", "JUBILACION"},
      {"06", "INVALIDEZ ABSOLUTA PERMANENTE"},
      {"07", "TERMINACION DE OBRA O SERVICIO O VENCIMIENTO DEL PLAZO"},
      {"08", "MUTUO DISENSO"},
      {"09", "FALLECIMIENTO"},
      {"10", "SUSPENSION DE LA PENSION"},
      {"11", "REASIGNACION SERVIDOR DE SALUD"},
      {"12", "PERMUTA SERVIDOR DE SALUD"},
      {"13", "TRANSFERENCIA SERVIDOR DE SALUD"},
      {"14", "BAJA POR SUCESION EN POSICION DEL EMPLEADOR"},
      {"15", "EXTINCION O LIQUIDACION DEL EMPLEADOR"},
      {"16", "OTROS MOTIVOS DE CADUCIDAD DE LA PENSION"},
      {"17", "NO SE INICIO LA RELACION LABORAL"},
      {"18", "LIMITE DE EDAD 70 ANOS"},
      {"99", "SIN VINCULO LABORAL CON CONCEPTOS PENDIENTES"},
  };
  return r;
}

const char* endReasonName(const std::string& code) {
  for (const auto& r : endReasons())
    if (code == r.code) return r.name;
  return nullptr;
}

namespace {

// A date's day in 30-day months: the last day of a month is its 30th.
int day30(const Date& d) {
  if (d.day() == Date::daysInMonth(d.year(), d.month())) return 30;
  return std::min(d.day(), 30);
}

Date addYears(const Date& d, int n) {
  const int y = d.year() + n;
  return Date(y, d.month(), std::min(d.day(), Date::daysInMonth(y, d.month())));
}

Date monthStart(int y, int m) {
  while (m < 1) { m += 12; --y; }
  while (m > 12) { m -= 12; ++y; }
  return Date(y, m, 1);
}

std::string trimLeft(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b);
}
std::string money(double v) { return trimLeft(ui::transform(v, "999,999,999.99")); }

// months x base/12 + days x base/360, each part rounded.
double twelfths(double base, int months, int days) {
  return round2(base / 12 * months) + round2(base / 12 / 30 * days);
}
std::string twelfthsText(double base, int months, int days) {
  std::string t = money(base) + " / 12 x " + std::to_string(months) + " m";
  if (days > 0) t += " + " + money(base) + " / 360 x " + std::to_string(days) + " d";
  return t;
}

}  // namespace

int days360(const Date& from, const Date& to) {
  if (from.empty() || to.empty() || to < from) return 0;
  return (to.year() - from.year()) * 360 + (to.month() - from.month()) * 30 + (day30(to) - day30(from)) + 1;
}

Span spanOf(int totalDays) {
  Span s;
  s.total = std::max(totalDays, 0);
  s.years = s.total / 360;
  s.months = s.total % 360 / 30;
  s.days = s.total % 30;
  return s;
}

int wholeCalendarMonths(const Date& from, const Date& to) {
  if (from.empty() || to.empty() || to < from) return 0;
  int n = 0;
  // The first month that starts on or after `from`.
  Date m = from.day() == 1 ? from : monthStart(from.year(), from.month() + 1);
  for (;; m = monthStart(m.year(), m.month() + 1)) {
    const Date last(m.year(), m.month(), Date::daysInMonth(m.year(), m.month()));
    if (to < last) break;
    ++n;
  }
  return n;
}

Settlement computeSettlement(const SettlementInput& in) {
  Settlement s;
  s.hire = in.hire;
  s.cese = in.cese;
  s.reason = in.reason;
  s.bonifi9 = in.bonifi9;
  s.rcBasic = round2(in.basic);
  s.rcAsigna = round2(in.asigna);
  for (const auto& r : in.regular)
    if (r.monthsPaid >= 3) s.rcRegular += round2(r.sum6 / 6);
  s.rcRegular = round2(s.rcRegular);
  s.rc = round2(s.rcBasic + s.rcAsigna + s.rcRegular);
  s.rcGrat6 = round2(in.ctsGrat / 6);
  s.rcCts = round2(s.rc + s.rcGrat6);
  s.service = spanOf(days360(in.hire, in.cese));
  s.deadline = in.cese.addDays(2);
  const bool oneMonth = s.service.total >= 30;
  const int y = in.cese.year(), m = in.cese.month();

  // CTS: since the start of the half-year (1 May or 1 November) or the hire date.
  const Date half = m >= 5 && m <= 10 ? Date(y, 5, 1) : (m >= 11 ? Date(y, 11, 1) : Date(y - 1, 11, 1));
  s.ctsFrom = std::max(half, in.hire);
  if (oneMonth) {
    const int t = days360(s.ctsFrom, in.cese);
    s.cts.total = t;
    s.cts.months = t / 30;
    s.cts.days = t % 30;
    s.ctsAmount = twelfths(s.rcCts, s.cts.months, s.cts.days);
  }

  // Vacations: the running service year (from the first day from the second year on,
  // after one month in the first), then the completed records not taken.
  const int completed = s.service.years;
  s.vacFrom = addYears(in.hire, completed);
  if (completed > 0 || oneMonth) {
    s.vacTrunc = spanOf(s.service.total - completed * 360);
    s.vacTruncAmount = twelfths(s.rc, s.vacTrunc.months, s.vacTrunc.days);
  }
  if (!in.vacDataFrom.empty()) {
    double taken = std::max(in.vacDaysTaken, 0.0);
    for (int k = 1; k <= completed; ++k) {
      const Date earned = addYears(in.hire, k).addDays(-1);  // last day of service year k
      if (earned < in.vacDataFrom) continue;
      const double used = std::min(taken, 30.0);
      taken -= used;
      const double pending = 30 - used;
      s.vacPendingDays += pending;
      // Not taken within the year after it was earned: one more remuneration.
      if (k < completed) s.vacIndemnityDays += pending;
    }
    s.vacPending = round2(s.rc / 30 * s.vacPendingDays);
    s.vacIndemnity = round2(s.rc / 30 * s.vacIndemnityDays);
  }

  // Gratification: whole calendar months not covered by a gratification paid, from
  // the previous half-year at the earliest.
  const Date semester(y, m <= 6 ? 1 : 7, 1);
  const Date previous = monthStart(semester.year(), semester.month() - 6);
  s.gratFrom = std::max(in.hire, previous);
  if (!in.gratCoveredThrough.empty()) s.gratFrom = std::max(s.gratFrom, in.gratCoveredThrough.addDays(1));
  s.gratMonths = wholeCalendarMonths(s.gratFrom, in.cese);
  s.grat = round2(s.rc / 6 * s.gratMonths);
  s.bonus = round2(s.grat * in.bonifi9 / 100);

  // Dismissal indemnity: 1.5 remunerations a year, twelfths and thirtieths for the
  // fraction, at most 12 remunerations; nothing within the trial period of 3 months.
  if (in.reason == kDismissalReason && s.service.total >= 90) {
    const double base = s.rc * 1.5;
    s.indemnitySpan = s.service;
    s.indemnity = round2(base * s.service.years) + twelfths(base, s.service.months, s.service.days);
    const double cap = round2(12 * s.rc);
    if (s.indemnity > cap) {
      s.indemnity = cap;
      s.indemnityCapped = true;
    }
  }

  // Deductions on the affected amounts: the vacations (truncated and not taken) carry
  // pension, EsSalud and the tax; the gratification and its bonus only the tax.
  s.affected = round2(s.vacTruncAmount + s.vacPending);
  if (in.fundMember) {
    s.afpAporte = round2(s.affected * in.fund.afppor1 / 100);
    const double premiumBase = in.fund.afppor4 > 0 ? std::min(s.affected, in.fund.afppor4) : s.affected;
    s.afpPrima = in.insured ? round2(premiumBase * in.fund.afppor2 / 100) : 0;
    s.afpComision = round2(s.affected * in.fund.afppor3 / 100);
  } else {
    s.onp = round2(s.affected * in.snpt / 100);
  }
  s.taxable = round2(s.affected + s.grat + s.bonus);
  if (in.taxed) {
    const double net = in.yearIncome + s.taxable - 7 * in.uit;
    s.yearTax = net > 0 ? RTAPROYECTADA(net, in.bands) : 0;
    s.tax = std::clamp(round2(s.yearTax - in.yearWithheld), 0.0, s.taxable);
  }
  s.essalud = round2(s.affected * in.ipsse / 100);
  s.gross = round2(s.ctsAmount + s.vacTruncAmount + s.vacPending + s.vacIndemnity + s.grat + s.bonus + s.indemnity);
  s.deductions = round2(s.afpAporte + s.afpPrima + s.afpComision + s.onp + s.tax);
  s.net = round2(s.gross - s.deductions);
  return s;
}

std::vector<SettlementLine> settlementLines(const Settlement& s) {
  std::vector<SettlementLine> out;
  const bool oneMonth = s.service.total >= 30;
  const char* tooShort = "menos de un mes de servicio";
  out.push_back({"CTS", "CTS TRUNCA", s.ctsFrom, s.cese, 0, s.cts.months, s.cts.days,
                 oneMonth ? twelfthsText(s.rcCts, s.cts.months, s.cts.days) : tooShort, s.ctsAmount});
  out.push_back({"VACTRU", "VACACIONES TRUNCAS", s.vacFrom, s.cese, 0, s.vacTrunc.months, s.vacTrunc.days,
                 s.service.years > 0 || oneMonth ? twelfthsText(s.rc, s.vacTrunc.months, s.vacTrunc.days) : tooShort,
                 s.vacTruncAmount});
  const auto days = [](double d) { return std::to_string(static_cast<int>(d)); };
  if (s.vacPendingDays > 0)
    out.push_back({"VACPEN", "VACACIONES NO GOZADAS (RECORDS COMPLETOS)", Date(), Date(), 0, 0,
                   static_cast<int>(s.vacPendingDays), money(s.rc) + " / 30 x " + days(s.vacPendingDays) + " d",
                   s.vacPending});
  if (s.vacIndemnityDays > 0)
    out.push_back({"VACIND", "INDEMNIZACION VACACIONAL (ART. 23 D.LEG. 713)", Date(), Date(), 0, 0,
                   static_cast<int>(s.vacIndemnityDays), money(s.rc) + " / 30 x " + days(s.vacIndemnityDays) + " d",
                   s.vacIndemnity});
  out.push_back({"GRATIF", "GRATIFICACION TRUNCA", s.gratFrom, s.cese, 0, s.gratMonths, 0,
                 money(s.rc) + " / 6 x " + std::to_string(s.gratMonths) + " m (meses calendario completos)", s.grat});
  out.push_back({"BONIF", "BONIFICACION EXTRAORDINARIA LEY 30334", Date(), Date(), 0, 0, 0,
                 money(s.grat) + " x " + trimLeft(ui::transform(s.bonifi9, "999.99")) + " %", s.bonus});
  if (s.reason == kDismissalReason) {
    std::string formula = "dentro del periodo de prueba (3 meses)";
    const double base = s.rc * 1.5;
    if (s.indemnityCapped)
      formula = "tope: 12 x " + money(s.rc);
    else if (s.service.total >= 90)
      formula = money(base) + " x " + std::to_string(s.indemnitySpan.years) + " a + " +
                twelfthsText(base, s.indemnitySpan.months, s.indemnitySpan.days);
    out.push_back({"INDEMN", "INDEMNIZACION POR DESPIDO ARBITRARIO", s.hire, s.cese, s.indemnitySpan.years,
                   s.indemnitySpan.months, s.indemnitySpan.days, formula, s.indemnity});
  }
  return out;
}

namespace {

const char* kUnits[] = {"",       "UNO",     "DOS",       "TRES",       "CUATRO",     "CINCO",     "SEIS",
                        "SIETE",  "OCHO",    "NUEVE",     "DIEZ",       "ONCE",       "DOCE",      "TRECE",
                        "CATORCE", "QUINCE", "DIECISEIS", "DIECISIETE", "DIECIOCHO",  "DIECINUEVE", "VEINTE",
                        "VEINTIUNO", "VEINTIDOS", "VEINTITRES", "VEINTICUATRO", "VEINTICINCO", "VEINTISEIS",
                        "VEINTISIETE", "VEINTIOCHO", "VEINTINUEVE"};
const char* kTens[] = {"", "", "", "TREINTA", "CUARENTA", "CINCUENTA", "SESENTA", "SETENTA", "OCHENTA", "NOVENTA"};
const char* kHundreds[] = {"",           "CIENTO",     "DOSCIENTOS", "TRESCIENTOS", "CUATROCIENTOS",
                           "QUINIENTOS", "SEISCIENTOS", "SETECIENTOS", "OCHOCIENTOS", "NOVECIENTOS"};

// 1 to 999; `apocope` writes UN for a final UNO (before MIL and MILLONES).
std::string below1000(int n, bool apocope) {
  std::string out;
  auto add = [&](const std::string& w) { out += (out.empty() ? "" : " ") + w; };
  if (n == 100) return "CIEN";
  if (n >= 100) add(kHundreds[n / 100]);
  const int r = n % 100;
  if (r == 0) return out;
  std::string tail;
  if (r < 30) tail = kUnits[r];
  else tail = std::string(kTens[r / 10]) + (r % 10 ? std::string(" Y ") + kUnits[r % 10] : "");
  if (apocope && tail.size() >= 3 && tail.compare(tail.size() - 3, 3, "UNO") == 0) tail.resize(tail.size() - 1);
  add(tail);
  return out;
}

std::string integerWords(long long n) {
  if (n == 0) return "CERO";
  std::string out;
  auto add = [&](const std::string& w) { out += (out.empty() ? "" : " ") + w; };
  const long long millions = n / 1000000, thousands = n / 1000 % 1000, rest = n % 1000;
  if (millions == 1) add("UN MILLON");
  if (millions > 1) {
    std::string m = integerWords(millions);
    if (m.size() >= 3 && m.compare(m.size() - 3, 3, "UNO") == 0) m.resize(m.size() - 1);
    add(m + " MILLONES");
  }
  if (thousands > 0) add(thousands == 1 ? "MIL" : below1000(static_cast<int>(thousands), true) + " MIL");
  if (rest > 0) add(below1000(static_cast<int>(rest), false));
  return out;
}

}  // namespace

std::string amountInWords(double amount) {
  const double v = round2(std::fabs(amount));
  const long long cents = std::llround(v * 100);
  char c[8];
  std::snprintf(c, sizeof c, "%02lld", cents % 100);
  return "SON: " + integerWords(cents / 100) + " Y " + c + "/100 SOLES";
}

}  // namespace planilla::calc
