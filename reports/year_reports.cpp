#include "reports/year_reports.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "calc/payroll.h"
#include "calc/quinta.h"
#include "calc/record.h"
#include "calc/tax_law.h"
#include "reports/institution.h"
#include "reports/report_common.h"
#include "reports/report_format.h"
#include "store/numbers.h"

namespace planilla::reports {

namespace {

using catalog::TableId;

constexpr const char* kTitle = "Mensaje";
// The cell of a month in which the employee has no result row.
constexpr const char* kNoData = "s/d";
const char* const kMonthAbbrev[12] = {"ENE", "FEB", "MAR", "ABR", "MAY", "JUN",
                                      "JUL", "AGO", "SET", "OCT", "NOV", "DIC"};

std::string twoDigits(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n % 100);
  return b;
}

YearAmounts readAmounts(const Table& t) {
  YearAmounts a;
  a.gross = t.num("TBRUTO");
  a.basic = t.num("BAS_QUI");
  a.family = t.num("ASIGNA");
  a.vacation = t.num("VACACI");
  a.overtime = t.num("HSIMPLE_P") + t.num("HDOBLE_P");
  a.gratif = t.num("GRATIF");
  a.bonus = t.num("BONIFI");
  a.other = t.num("MOVILI") + t.num("SUMINI") + t.num("SUBSID") + t.num("OTROSP");
  a.tax5 = t.num("RTA_5TA");
  a.snp = t.num("SNPT");
  a.fund = t.num("AAPOR1");
  a.premium = t.num("AAPOR2");
  a.commission = t.num("AAPOR3");
  a.essalud = t.num("IPSSE");
  return a;
}

// Reads every row of one result table of the year into `rows`; `onRow` gets each
// employee's entry and the row's amounts. With `onlyCode` only that employee's rows
// are read, found through the table's code index: a one-employee document reads no
// more of a large company than its own rows. False after a message.
template <class Fn>
bool readResults(Session& s, TableId id, int month, int year, bool& exists, const std::string& onlyCode, Fn onRow) {
  const catalog::TableDef def = catalog::define(id, {s.YCIA, twoDigits(month), twoDigits(year)});
  exists = tableExists(s, def);
  if (!exists) return true;
  Table* t = openAs(s, def, "AnoRes");
  if (!t) return false;
  bool ok = true;
  if (onlyCode.empty() || t->tagCount() == 0) {
    ok = eachRow(s, *t, [&] {
      if (onlyCode.empty() || rtrim(t->str("CODIGO")) == onlyCode) onRow(*t);
      return true;
    });
  } else if (t->seek(onlyCode)) {
    Status st;
    for (; st && !t->eof() && rtrim(t->str("CODIGO")) == onlyCode; st = t->skip(1)) onRow(*t);
    if (!st) {
      showStatus(s, st);
      ok = false;
    }
  }
  s.closeAll();
  return ok;
}

bool publicSystem(const EmployeeYear& e) { return rtrim(e.fundCode).empty(); }

// The employee has a result row in the year (not only amounts in the registers).
bool hasResults(const EmployeeYear& e) {
  return e.grat || std::any_of(std::begin(e.month), std::end(e.month), [](const auto& m) { return m.has_value(); });
}
bool inFund(const EmployeeYear& e) { return !publicSystem(e); }

// An employee's name as the documents print it; a code the master no longer holds says so.
std::string shownName(const std::string& name) {
  return name.empty() ? std::string("(no figura en el maestro)") : rtrim(name);
}

// A fund as the documents name it: its name in the fund master, else "AFP " and its code.
std::string fundLabel(const std::string& code, const std::string& name) {
  return name.empty() ? "AFP " + rtrim(code) : rtrim(name);
}

std::string padRight(std::string text, size_t width) {
  text.resize(std::max(width, text.size()), ' ');
  return text;
}

// An amount inside a sentence: without the picture's leading blanks.
std::string plainAmount(double v) {
  const std::string a = amount(v, kPicWide);
  return a.substr(std::min(a.find_first_not_of(' '), a.size()));
}

// The month grids: a 16-character label, twelve month cells of 11 characters, the
// gratifications and the total in 13 each.
constexpr size_t kLabel = 16, kMonthCell = 11, kWideCell = 13;
// Body lines of a grid page: landscape A4 less the margins and the heading, with two
// lines to spare for a heading that grows by the line of the months never calculated.
constexpr size_t kBodyLines = 38;

std::string monthHeading() {
  std::string h(kLabel, ' ');
  for (const char* m : kMonthAbbrev) h += std::string(kMonthCell - 3, ' ') + m;
  return h + std::string(kWideCell - 7, ' ') + "GRATIF." + std::string(kWideCell - 5, ' ') + "TOTAL";
}

// The report's first lines: company, title, year, and the months never calculated.
void heading(Session& s, RpvWriter& w, const YearData& y, const std::string& title, int orientation) {
  ReportSettings st;
  st.title = title;
  st.orientation = orientation;
  st.c00 = 400;
  w.settings(st);
  w.line("[Header]");
  w.line("{f=Lucida Console;\\n;s=10}");
  w.line("{\\n;$c00;a=l;b=y}" + rpvText(rtrim(s.YNOMBRE1)) + "{b=n;\\n}");
  w.line("{$c00;a=l;s=7}RUC " + rpvText(s.YRUC) + "{\\n;s=10}");
  std::string upper = title;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  w.line("{\\n;$c00;a=l;b=y}" + upper + "  A\xD1O " + std::to_string(y.year) + "{b=n;\\n}");
  std::string missing;
  for (int m = 0; m < 12; ++m)
    if (!y.monthRun[m]) missing += std::string(missing.empty() ? "" : ", ") + kMonthAbbrev[m];
  if (!missing.empty()) w.line("{$c00;a=l;s=8}Meses sin planilla calculada: " + missing + "{\\n}");
}

// A line of monospace text at the left stop, in the body's small size.
std::string textLine(const std::string& text) { return "{$c00;a=l}" + rpvText(text) + "{\\n}"; }

// What a month grid shows of one employee (or of the totals): per month the amounts
// and whether they came from the annual registers.
struct GridYear {
  std::optional<YearAmounts> month[12];
  bool registered[12] = {};
  std::optional<YearAmounts> grat;
};

// An employee's months: the results, and with `registers` the registers' amounts of the
// months without results.
GridYear gridView(const EmployeeYear& e, bool registers) {
  GridYear g;
  for (int m = 0; m < 12; ++m) {
    g.month[m] = e.month[m];
    if (!g.month[m] && registers && e.registered[m]) {
      g.month[m] = e.registered[m];
      g.registered[m] = true;
    }
  }
  g.grat = e.grat;
  return g;
}

// A cell taken from the registers carries an asterisk before its amount.
constexpr const char* kRegisterLegend = "*: mes sin planilla en el sistema, importe del registro anual";

// One line of a month grid: the label, the twelve months (s/d where the employee had
// no row), the gratifications and the total.
using Pick = double (*)(const YearAmounts&);

std::string gridLine(const std::string& label, const GridYear& e, Pick pick, double& total) {
  std::string l = padRight(label, kLabel);
  total = 0;
  for (int m = 0; m < 12; ++m) {
    if (e.month[m]) {
      std::string cell = " " + amount(pick(*e.month[m]), kPicSummary);
      if (e.registered[m]) cell[cell.find_first_not_of(' ') - 1] = '*';
      l += cell;
      total += pick(*e.month[m]);
    } else {
      l += std::string(kMonthCell - std::strlen(kNoData), ' ') + kNoData;
    }
  }
  if (e.grat) {
    l += " " + amount(pick(*e.grat), kPicWide);
    total += pick(*e.grat);
  } else {
    l += std::string(kWideCell, ' ');
  }
  return l + " " + amount(total, kPicWide);
}

// A month grid: per employee its name line and one line per amount; the grand totals
// of each line at the end. With `registers` the months without results show the annual
// registers' amounts; without, an employee with no result in the year is left out.
struct GridRow {
  const char* label;
  Pick pick;
  bool (*applies)(const EmployeeYear&) = nullptr;  // nullptr: every employee
};

bool writeGrid(Session& s, int year, const std::string& title,
               const std::vector<GridRow>& rows, std::string (*describe)(const EmployeeYear&),
               bool startViewer, bool registers = false) {
  YearData y;
  if (!loadYear(s, year, y)) return false;
  if (!registers) std::erase_if(y.employees, [](const EmployeeYear& e) { return !hasResults(e); });
  RpvWriter w(s.dataDir());
  heading(s, w, y, title, 2);
  w.line("{\\n;$c00;a=l;s=7;b=y}" + monthHeading() + "{b=n;\\n;Line=400,15050;\\n}");
  w.line("[Data]");
  std::vector<double> grand(rows.size(), 0.0);
  GridYear all;  // the totals, with the months and gratifications that exist
  for (int m = 0; m < 12; ++m)
    if (y.monthRun[m]) all.month[m] = YearAmounts{};
  if (y.employees.empty()) {
    stopBox(s, "Sin Registros", kTitle);
    return false;
  }
  // An employee's lines stay on one page: a block that would cross the page's end
  // starts the next page.
  size_t used = 0;
  auto block = [&](const std::vector<std::string>& lines, size_t height) {
    if (used > 0 && used + height > kBodyLines) {
      w.line("{\\np}");
      used = 0;
    }
    for (const std::string& l : lines) w.line(l);
    used += height;
  };
  bool anyRegistered = false;
  for (const EmployeeYear& e : y.employees) {
    const GridYear g = gridView(e, registers);
    std::vector<std::string> lines = {"{$c00;a=l;b=y}" + rpvText(rtrim(e.code) + "  " + shownName(e.name) + describe(e)) +
                                      "{b=n;\\n}"};
    for (size_t i = 0; i < rows.size(); ++i) {
      double total = 0;
      const std::string l = gridLine(std::string("  ") + rows[i].label, g, rows[i].pick, total);
      // A line of the other system shows only when it holds amounts (a change of
      // system during the year).
      if (rows[i].applies && !rows[i].applies(e) && total == 0) continue;
      lines.push_back(textLine(l));
      grand[i] += total;
    }
    block(lines, lines.size());
    for (int m = 0; m < 12; ++m) {
      if (!g.month[m]) continue;
      if (!all.month[m]) all.month[m] = YearAmounts{};
      all.month[m]->add(*g.month[m]);
      all.registered[m] = all.registered[m] || g.registered[m];
      anyRegistered = anyRegistered || g.registered[m];
    }
    if (g.grat) {
      if (!all.grat) all.grat = YearAmounts{};
      all.grat->add(*g.grat);
    }
  }
  // The totals: a rule and the title (three lines), one line per amount, the legend
  // (two lines; three with the registers').
  std::vector<std::string> totals = {"{\\n;Line=400,15050;\\n;b=y}" + textLine("TOTAL GENERAL")};
  for (const GridRow& r : rows) {
    double total = 0;
    totals.push_back(textLine(gridLine(std::string("  ") + r.label, all, r.pick, total)));
  }
  totals.push_back("{b=n;\\n;s=7}" + textLine(std::string(kNoData) + ": mes sin planilla del trabajador"));
  if (anyRegistered) totals.push_back(textLine(kRegisterLegend));
  block(totals, totals.size() + 3);  // the first entry holds three lines, the last two
  return finishReport(s, w, startViewer);
}

std::string nothing(const EmployeeYear&) { return std::string(); }

// The institution record and the year's results of one employee; false after a message.
bool employeeYear(Session& s, int year, const std::string& code, InstitutionData& inst, YearData& y,
                  const EmployeeYear*& e) {
  if (!institutionRecord(s, inst, "Maestro De Institucion No Existe", "Codigo De Institucion  No Existe", kTitle))
    return false;
  if (!loadYear(s, year, y, rtrim(code))) return false;
  e = nullptr;
  for (const EmployeeYear& x : y.employees)
    if (rtrim(x.code) == rtrim(code)) e = &x;
  if (e) return true;
  stopBox(s, "Trabajador " + rtrim(code) + " Sin Planilla En El A\xD1O " + std::to_string(year), kTitle);
  return false;
}

// A one-employee document: portrait, its title in bold over two lines and the year.
void documentTop(RpvWriter& w, const std::string& title, const std::string& line1, const std::string& line2,
                 int year) {
  ReportSettings st;
  st.title = title;
  st.orientation = 1;
  st.c00 = 900;
  w.settings(st);
  w.line("[Header]");
  w.line("{f=Lucida Console;\\n;s=10}");
  w.line("[Data]");
  w.line("{\\n;$c00;a=l;b=y}" + line1 + "{\\n}");
  w.line("{$c00;a=l}" + line2 + "{b=n;\\n}");
  w.line(textLine("EJERCICIO " + std::to_string(year)));
  w.line("{\\n}");
}

void employerLines(Session& s, RpvWriter& w, const InstitutionData& inst) {
  w.line(textLine(rtrim(s.YNOMBRE1) + ", RUC " + rtrim(inst.ruc) + ","));
  w.line(textLine("con domicilio en " + rtrim(inst.direc) + ","));
  w.line(textLine("representada por " + rtrim(inst.nombres) + ", DNI " + rtrim(inst.dni) + ","));
  w.line("{\\n}");
}

// Place and date, and the signature lines of the employer's representative and the
// employee.
void signatures(Session& s, RpvWriter& w, const InstitutionData& inst, const EmployeeYear& e) {
  w.line("{\\n;\\n}");
  w.line(textLine("Lima, " + dateE(s.YFECHA)));
  w.line("{\\n;\\n;\\n;\\n}");
  w.line(textLine("______________________________          ______________________________"));
  w.line(textLine(padRight("EL EMPLEADOR", 40) + "EL TRABAJADOR"));
  w.line(textLine(padRight(rtrim(inst.nombres).substr(0, 38), 40) + shownName(e.name).substr(0, 30)));
}

// The system the employee belongs to, as the documents' sentence names it.
std::string affiliation(const EmployeeYear& e) {
  return publicSystem(e) ? std::string("afiliado al SISTEMA NACIONAL DE PENSIONES")
                         : "afiliado a " + fundLabel(e.fundCode, e.fundName);
}

// The three fund charges, or the public system's one, of a month's amounts.
std::vector<double> pensionColumns(const EmployeeYear& e, const YearAmounts& a) {
  if (publicSystem(e)) return {a.gross, a.snp, a.snp};
  return {a.gross, a.fund, a.premium, a.commission, a.fund + a.premium + a.commission};
}

bool pensionDocument(Session& s, int year, const std::string& code, bool voucher, bool startViewer) {
  InstitutionData inst;
  YearData y;
  const EmployeeYear* e = nullptr;
  if (!employeeYear(s, year, code, inst, y, e)) return false;
  if (!hasResults(*e)) {
    // Found only in the registers, which hold no pension amounts.
    stopBox(s, "Trabajador " + rtrim(code) + " Sin Planilla En El A\xD1O " + std::to_string(year), kTitle);
    return false;
  }
  YearAmounts sum;
  for (const auto& m : e->month)
    if (m) sum.add(*m);
  if (e->grat) sum.add(*e->grat);
  const std::vector<double> totals = pensionColumns(*e, sum);
  RpvWriter w(s.dataDir());
  if (voucher)
    documentTop(w, "Comprobante Retencion x Aportes", "COMPROBANTE DE RETENCION POR APORTES",
                "AL SISTEMA DE PENSIONES", year);
  else
    documentTop(w, "Resumen Retencion x Aportes", "CERTIFICADO DE RETENCION POR APORTES",
                "AL SISTEMA DE PENSIONES", year);
  employerLines(s, w, inst);
  w.line(textLine((voucher ? "deja constancia de haber retenido a Don(na) " : "CERTIFICA: que a Don(na) ") +
                  shownName(e->name) + ","));
  w.line(textLine("codigo " + rtrim(e->code) + ", " + affiliation(*e) + ","));
  w.line(textLine("la suma de S/ " + plainAmount(totals.back()) + " por aportes al sistema de pensiones"));
  w.line(textLine("sobre remuneraciones de S/ " + plainAmount(totals.front()) +
                  " en el ejercicio " + std::to_string(year) + "."));
  w.line("{\\n}");
  const bool pub = publicSystem(*e);
  const std::vector<std::string> heads =
      pub ? std::vector<std::string>{"REMUNERACION", "O.N.P.", "TOTAL"}
          : std::vector<std::string>{"REMUNERACION", "APORTE", "SEGURO", "COMISION", "TOTAL"};
  auto cells = [](const std::string& label, const std::vector<double>& v) {
    std::string l = padRight(label, 12);
    for (double x : v) l += " " + amount(x, kPicWide);
    return l;
  };
  if (voucher) {
    for (size_t i = 1; i < heads.size(); ++i)
      w.line(textLine(padRight("  " + std::string(heads[i] == "APORTE" ? "APORTE OBLIGATORIO" : heads[i]), 40) +
                      amount(totals[i], kPicWide)));
  } else {
    std::string h = padRight("MES", 12);
    for (const std::string& x : heads) h += " " + std::string(12 - x.size(), ' ') + x;
    w.line("{$c00;a=l;s=9;b=y}" + h + "{b=n;\\n}");
    for (int m = 0; m < 12; ++m) {
      if (e->month[m])
        w.line(textLine(cells(monthNameUpper(m + 1), pensionColumns(*e, *e->month[m]))));
      else
        w.line(textLine(padRight(monthNameUpper(m + 1), 12) + std::string(13 - std::strlen(kNoData), ' ') +
                        kNoData));
    }
    if (e->grat) w.line(textLine(cells("GRATIFIC.", pensionColumns(*e, *e->grat))));
    w.line("{b=y}" + textLine(cells("TOTAL", totals)) + "{b=n;s=10}");
    w.line(textLine(std::string(kNoData) + ": mes sin planilla del trabajador"));
  }
  signatures(s, w, inst, *e);
  return finishReport(s, w, startViewer);
}

}  // namespace

void YearAmounts::add(const YearAmounts& o) {
  gross += o.gross;
  basic += o.basic;
  family += o.family;
  vacation += o.vacation;
  overtime += o.overtime;
  gratif += o.gratif;
  bonus += o.bonus;
  other += o.other;
  tax5 += o.tax5;
  snp += o.snp;
  fund += o.fund;
  premium += o.premium;
  commission += o.commission;
  essalud += o.essalud;
}

bool EmployeeYear::employed(int m, int year) const {
  const int month = year * 12 + m;
  if (!entry.empty() && entry.year() * 12 + entry.month() - 1 > month) return false;
  return leaving.empty() || leaving.year() * 12 + leaving.month() - 1 >= month;
}

bool validYear(int year) { return year >= 1900 && year <= 2099; }

bool loadYear(Session& s, int year, YearData& out, const std::string& onlyCode) {
  s.closeAll();
  out = YearData{};
  out.year = year;
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, "Maestro De Empleados No Existe", kTitle);
    return false;
  }
  std::map<std::string, EmployeeYear> byCode;
  auto entry = [&](const Table& t) -> EmployeeYear& {
    const std::string code = t.str("CODIGO");
    EmployeeYear& e = byCode[code];
    e.code = code;
    return e;
  };
  bool any = false;
  for (int m = 1; m <= 12; ++m) {
    bool exists = false;
    if (!readResults(s, TableId::PayrollSoles, m, year, exists, onlyCode, [&](const Table& t) {
          EmployeeYear& e = entry(t);
          YearAmounts a = readAmounts(t);
          if (e.month[m - 1]) a.add(*e.month[m - 1]);  // a code twice in a month: both rows count
          e.month[m - 1] = a;
          e.fundCode = t.str("CODAFP");
        }))
      return false;
    out.monthRun[m - 1] = exists;
    any = any || exists;
  }
  if (!any) {
    stopBox(s, "No Hay Planillas Calculadas En El A\xD1O " + std::to_string(year), kTitle);
    return false;
  }
  for (int m : {7, 12}) {
    bool exists = false;
    if (!readResults(s, TableId::GratSoles, m, year, exists, onlyCode, [&](const Table& t) {
          EmployeeYear& e = entry(t);
          YearAmounts a = readAmounts(t);
          if (e.grat) a.add(*e.grat);
          e.grat = a;
        }))
      return false;
  }
  // The annual registers: an amount of a month without a result row stands for that
  // month (the earnings register's as the gross pay, the withholding register's as the
  // tax withheld).
  const auto& monthNames = catalog::monthFieldNames();
  for (TableId id : {TableId::Earnings, TableId::Deductions}) {
    const catalog::TableDef def = catalog::define(id, {s.YCIA, "", twoDigits(year)});
    if (!tableExists(s, def)) continue;
    Table* t = openAs(s, def, "AnoReg");
    if (!t) return false;
    const bool ok = eachRow(s, *t, [&] {
      const std::string code = rtrim(t->str("CODIGO"));
      if (code.empty() || (!onlyCode.empty() && code != onlyCode)) return true;
      double v[12];
      for (int m = 0; m < 12; ++m) {
        Result<double> r = checkedNum(*t, monthNames[m]);
        if (!r) {
          showStatus(s, r.status());
          return false;
        }
        v[m] = *r;
      }
      EmployeeYear& e = entry(*t);
      for (int m = 0; m < 12; ++m) {
        if (e.month[m] || v[m] == 0) continue;
        if (!e.registered[m]) e.registered[m] = YearAmounts{};
        (id == TableId::Earnings ? e.registered[m]->gross : e.registered[m]->tax5) += v[m];
      }
      return true;
    });
    s.closeAll();
    if (!ok) return false;
  }
  Table* employees = openAs(s, TableId::EmployeeMaster, "RepEmplea");
  if (!employees) return false;
  // The funds of the year are kept month by month: the name of the latest month in
  // which the employee had a result.
  const catalog::TableDef fundsDef = catalog::define(TableId::PensionFunds, {s.YCIA, s.YMES, twoDigits(year)});
  Table* funds = tableExists(s, fundsDef) ? openAs(s, fundsDef, "MaeAfp") : nullptr;
  for (auto& [code, e] : byCode) {
    if (employees->seek(code)) {
      e.name = employees->str("NOMBRE");
      e.entry = employees->date("FECH_ING");
      e.leaving = employees->date("FCESE");
    }
    for (int m = 12; funds && !publicSystem(e) && m >= 1; --m)
      if (e.month[m - 1] && funds->seek(twoDigits(m) + e.fundCode)) {
        e.fundName = funds->str("NOMBRE");
        break;
      }
    out.employees.push_back(std::move(e));
  }
  s.closeAll();
  return true;
}

bool PREP424(Session& s, int year, bool startViewer) {
  return writeGrid(s, year, "Resumen Retenciones Quinta Categoria",
                   {{"Remuneracion", [](const YearAmounts& a) { return a.gross; }},
                    {"Retencion 5ta", [](const YearAmounts& a) { return a.tax5; }}},
                   nothing, startViewer, true);
}

bool PREP425(Session& s, int year, bool startViewer) {
  // A month's row carries the fields of both systems; each employee shows those of the
  // system of the latest month, and those of the other system that hold amounts.
  return writeGrid(
      s, year, "Resumen Aportes Previsionales Anual",
      {{"Remuneracion", [](const YearAmounts& a) { return a.gross; }},
       {"O.N.P.", [](const YearAmounts& a) { return a.snp; }, publicSystem},
       {"Aporte AFP", [](const YearAmounts& a) { return a.fund; }, inFund},
       {"Seguro AFP", [](const YearAmounts& a) { return a.premium; }, inFund},
       {"Comision AFP", [](const YearAmounts& a) { return a.commission; }, inFund}},
      [](const EmployeeYear& e) {
        return "   " +
               (publicSystem(e) ? std::string("SISTEMA NACIONAL DE PENSIONES") : fundLabel(e.fundCode, e.fundName));
      },
      startViewer);
}

bool PREPESSALUD(Session& s, int year, bool startViewer) {
  return writeGrid(s, year, "Liquidacion Anual Aportes EsSalud",
                   {{"Remuneracion", [](const YearAmounts& a) { return a.gross; }},
                    {"EsSalud", [](const YearAmounts& a) { return a.essalud; }}},
                   nothing, startViewer);
}

bool PREP414(Session& s, int year, const std::string& code, bool startViewer) {
  return pensionDocument(s, year, code, false, startViewer);
}

bool PREP420(Session& s, int year, const std::string& code, bool startViewer) {
  return pensionDocument(s, year, code, true, startViewer);
}

bool PREP419(Session& s, int year, const std::string& code, bool startViewer) {
  InstitutionData inst;
  YearData y;
  const EmployeeYear* e = nullptr;
  if (!employeeYear(s, year, code, inst, y, e)) return false;
  // The tax unit and the bands come from the company's rates record.
  Table* rates = openAs(s, TableId::Rates, "Porcen");
  if (!rates) return false;
  if (Status st = rates->goTop(); !st || rates->eof()) {
    s.closeAll();
    stopBox(s, "Tabla De Porcentajes Sin Datos", kTitle);
    return false;
  }
  calc::RecordView record(*rates);
  record.load(*rates);
  calc::PayrollParams params = calc::readParams(record);
  s.closeAll();
  // A year the table of tax units knows is settled on its own unit and bands (a 2024
  // certificate printed in 2026 uses 2024's); another year on the rates record's.
  if (const std::optional<double> uit = calc::yearUit(year)) {
    params.uit2 = *uit;
    params.bands = calc::bandsForUit(*uit);
  }

  // The months with results give the income by component; the months taken from the
  // registers give their earnings as one amount. A month of employment with neither
  // leaves the year incomplete: the tax of the year cannot be settled then.
  YearAmounts sum, registered;
  std::string without, fromRegisters, unaccounted;
  auto list = [](std::string& l, int m) { l += std::string(l.empty() ? "" : ", ") + kMonthAbbrev[m]; };
  for (int m = 0; m < 12; ++m) {
    if (e->month[m]) {
      sum.add(*e->month[m]);
    } else if (e->registered[m]) {
      registered.add(*e->registered[m]);
      list(fromRegisters, m);
    } else if (e->employed(m, year)) {
      list(unaccounted, m);
    } else {
      list(without, m);
    }
  }
  if (e->grat) sum.add(*e->grat);
  const double gross = calc::roundMoney(sum.basic + sum.family + sum.vacation + sum.overtime + sum.gratif + sum.bonus +
                                        sum.other + registered.gross);
  const double deduction = calc::roundMoney(7 * params.uit2);
  const double net = std::max(0.0, calc::roundMoney(gross - deduction));
  const double tax = net > 0 ? calc::RTAPROYECTADA(net, params.bands) : 0.0;
  const double withheld = calc::roundMoney(sum.tax5 + registered.tax5);
  const double balance = calc::roundMoney(tax - withheld);

  RpvWriter w(s.dataDir());
  documentTop(w, "Certificado Quinta Categoria", "CERTIFICADO DE RENTAS Y RETENCIONES POR RENTAS",
              "DE QUINTA CATEGORIA", year);
  employerLines(s, w, inst);
  auto text = [&](const std::string& t) { w.line(textLine(t)); };
  auto row = [&](const std::string& label, double v) { text(padRight(label, 58) + amount(v, kPicWide)); };
  const std::string rule = padRight("", 58) + std::string(12, '-');
  text("CERTIFICA: que a Don(na) " + shownName(e->name) + ",");
  text("codigo " + rtrim(e->code) + ", se le ha retenido el importe de S/ " + plainAmount(withheld) + ",");
  text("como pago a cuenta del impuesto a la renta de quinta categoria");
  text("del ejercicio " + std::to_string(year) + ", calculado en base a:");
  w.line("{\\n}");
  text("1. RENTA BRUTA");
  row("  Remuneraciones", sum.basic);
  row("  Asignacion familiar", sum.family);
  row("  Vacaciones", sum.vacation);
  row("  Horas extras", sum.overtime);
  row("  Gratificaciones", sum.gratif);
  row("  Bonificacion extraordinaria", sum.bonus);
  row("  Otros ingresos", sum.other);
  if (!fromRegisters.empty()) row("  Remuneraciones segun registro anual", registered.gross);
  text(rule);
  row("  Total renta bruta", gross);
  row("2. DEDUCCION 7 UIT (7 x " + plainAmount(params.uit2) + ")", -deduction);
  row("3. RENTA NETA", net);
  row("4. IMPUESTO SEGUN ESCALA", tax);
  row("5. RETENCIONES EFECTUADAS", -withheld);
  text(rule);
  if (!unaccounted.empty())
    text("6. SALDO: NO SE DETERMINA, A\xD1O INCOMPLETO");
  else if (balance > 0)
    row("6. SALDO POR REGULARIZAR", balance);
  else if (balance < 0)
    row("6. SALDO A FAVOR DEL TRABAJADOR", -balance);
  else
    row("6. SALDO", 0);
  // Each list on a line of its own: twelve months fit the certificate's width there.
  auto months = [&](const std::string& caption, const std::string& l) {
    if (l.empty()) return;
    w.line("{\\n}");
    text(caption);
    text(l);
  };
  months("A\xD1O INCOMPLETO, meses sin planilla ni registro anual:", unaccounted);
  months("Meses segun registro anual de haberes y retenciones:", fromRegisters);
  months("Meses sin planilla del trabajador:", without);
  signatures(s, w, inst, *e);
  return finishReport(s, w, startViewer);
}

std::vector<FundYearRow> fundYearRows(const YearData& y) {
  std::vector<FundYearRow> rows;
  for (const EmployeeYear& e : y.employees) {
    if (publicSystem(e)) continue;
    FundYearRow r{e.fundCode, e.fundName, e.code, e.name};
    YearAmounts sum;
    for (const auto& m : e.month)
      if (m) sum.add(*m);
    if (e.grat) sum.add(*e.grat);
    r.insurable = sum.gross;
    r.contribution = sum.fund;
    r.premium = sum.premium;
    r.commission = sum.commission;
    rows.push_back(r);
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const FundYearRow& a, const FundYearRow& b) { return a.fund < b.fund; });
  return rows;
}

bool PREP428(Session& s, int year, bool startViewer) {
  YearData y;
  if (!loadYear(s, year, y)) return false;
  const std::vector<FundYearRow> rows = fundYearRows(y);
  if (rows.empty()) {
    stopBox(s, "Sin Registros", kTitle);
    return false;
  }
  RpvWriter w(s.dataDir());
  heading(s, w, y, "Liquidacion Anual Aportes/Retenciones AFP", 2);
  auto line = [&](const std::string& label, const std::vector<double>& v) {
    std::string l = padRight(label, 50);
    for (double x : v) l += "  " + amount(x, kPicWide);
    return textLine(l);
  };
  std::string h = padRight("CODIGO    APELLIDOS Y NOMBRES", 50);
  for (const std::string x : {"REMUNERACION", "APORTE OBLIG", "SEGURO", "COMISION", "TOTAL RETEN."})
    h += "  " + std::string(12 - x.size(), ' ') + x;
  w.line("{\\n;$c00;a=l;s=8;b=y}" + h + "{b=n;\\n;Line=400,11950;\\n}");
  w.line("[Data]");
  std::vector<double> fund(5, 0.0), grand(5, 0.0);
  for (size_t i = 0; i < rows.size(); ++i) {
    const FundYearRow& r = rows[i];
    if (i == 0 || rows[i - 1].fund != r.fund) w.line("{b=y}" + textLine(fundLabel(r.fund, r.fundName)) + "{b=n}");
    const std::vector<double> v = {r.insurable, r.contribution, r.premium, r.commission, r.total()};
    w.line(line(padRight(rtrim(r.code), 10) + shownName(r.name).substr(0, 40), v));
    for (size_t k = 0; k < v.size(); ++k) fund[k] += v[k], grand[k] += v[k];
    if (i + 1 == rows.size() || rows[i + 1].fund != r.fund) {
      w.line("{b=y}" + line("  Total " + fundLabel(r.fund, r.fundName), fund) + "{b=n;\\n}");
      std::fill(fund.begin(), fund.end(), 0.0);
    }
  }
  w.line("{Line=400,11950;\\n;b=y}" + line("TOTAL GENERAL", grand) + "{b=n}");
  return finishReport(s, w, startViewer);
}

}  // namespace planilla::reports
