#include "exports/afpnet.h"

#include <cctype>
#include <cstdio>
#include <map>

#include "exports/plame.h"
#include "reports/grouped_summary.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "ui/text1252.h"

namespace planilla::exports {

namespace {

// Every amount column of both summaries shows the same picture.
const std::vector<std::string> kSummaryPictures = {std::string(reports::kPicSummary)};

bool within(const Date& d, const Month& m) {
  return d.valid() && d.julianDay() >= m.first.julianDay() && d.julianDay() <= m.last.julianDay();
}

std::string percent(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f%%", v);
  return buf;
}

// The settings and header of both reports, in the form of the pension summary:
// landscape or portrait, $c00 600 and the column stops from 690.
void reportHeader(reports::RpvWriter& out, const Month& m, const std::string& reportTitle, int orientation,
                  std::vector<int> widths, const std::string& title, const std::string& columns) {
  reports::ReportSettings set;
  set.title = reportTitle;
  set.orientation = orientation;
  set.c00 = 600;
  set.base = 690;
  set.widths = std::move(widths);
  out.settings(set);
  out.line("[Header]");
  out.line("{f=Lucida Console;\\n;s=10}");
  out.line("{\\n;\\n;$c00;a=l;b=y} {tab=410}" + reports::rpvText(m.company));
  out.line("{\\n;$c00;a=l;b=n} {tab=410} RUC " + reports::rpvText(m.ruc));
  out.line("{\\n;\\n;\\n;$c00;s=10;b=y;a=l} {tab=1100} " + title + " " + reports::monthNameUpper(m.month) + "  " +
           std::to_string(m.year) + "{\\n;\\n;\\n}");
  out.line(columns);
  out.line("[Data]");
}

}  // namespace

bool validCuspp(const std::string& cuspp) {
  if (cuspp.size() != 12) return false;
  for (char ch : cuspp)
    if (!std::isalnum(static_cast<unsigned char>(ch))) return false;
  return true;
}

std::optional<AfpnetRow> afpnetRow(const Month& m, const Employee& e, const Concepts& c, int sequence,
                                   std::vector<Missing>& missing) {
  if (!e.fundMember()) return std::nullopt;
  const size_t before = missing.size();
  const DocConcept* doc = nullptr;
  documentOf(e, c, &doc, missing);
  const std::string cuspp = e.pay.t("NROAFP");
  if (cuspp.empty()) missing.push_back({e.code, e.name, "falta el CUSPP (numero de AFP)"});
  else if (!validCuspp(cuspp))
    missing.push_back({e.code, e.name, "el CUSPP " + cuspp + " no es valido (12 letras y digitos)"});
  if (e.gratChargedFund() && e.gratFundBase <= 0)
    missing.push_back({e.code, e.name, "la gratificacion desconto aportes y el rol de gratificaciones no tiene "
                                       "el adelanto (DSCLEY) sobre el que se calcularon"});
  if (missing.size() != before) return std::nullopt;
  AfpnetRow r;
  r.sequence = sequence;
  r.cuspp = cuspp;
  r.docType = doc->afpnet;
  r.docNumber = e.person.docNumber;
  r.ap1 = e.person.ap1;
  r.ap2 = e.person.ap2;
  r.names = e.person.names;
  const bool endedBefore = e.person.ceased.valid() && e.person.ceased.julianDay() < m.first.julianDay();
  r.relation = endedBefore ? "N" : "S";
  r.start = within(e.person.hired, m) ? "S" : "N";
  r.end = within(e.person.ceased, m) ? "S" : "N";
  // The payroll's base and, in July and December, the gratification's advance: what
  // the month charged the contributions on.
  r.pay = round2(e.fundBase());
  if (r.pay <= 0) {
    r.pay = 0;
    r.exception = e.pay.n("SUBSI") > 0 ? "U" : e.pay.n("NOSUBS") > 0 ? "L" : "O";
  }
  r.workType = "N";
  return r;
}

std::string afpnetFileName(const Month& m) {
  return "AFPNET_" + m.ruc + "_" + std::to_string(m.year) + NUM_CAR(m.month, 2) + ".xlsx";
}

std::vector<Cell> afpnetCells(const AfpnetRow& r) {
  auto t = [](const std::string& s) { return Cell::str(ui::cp1252ToUtf8(s)); };
  return {Cell::num(r.sequence, CellFormat::Whole), t(r.cuspp), t(r.docType), t(r.docNumber), t(r.ap1),
          t(r.ap2), t(r.names), t(r.relation), t(r.start), t(r.end),
          r.exception.empty() ? Cell::blank() : t(r.exception), Cell::num(r.pay, CellFormat::PlainAmount),
          Cell::num(0, CellFormat::PlainAmount), Cell::num(0, CellFormat::PlainAmount),
          Cell::num(0, CellFormat::PlainAmount), t(r.workType), Cell::blank()};
}

Sheet afpnetSheet(const std::vector<AfpnetRow>& rows) {
  Sheet sh;
  sh.name = "Planilla";
  sh.printWide = true;
  sh.widths = {6, 14, 5, 12, 20, 20, 25, 5, 5, 5, 5, 12, 8, 8, 8, 5, 5};
  for (const AfpnetRow& r : rows) sh.rows.push_back(afpnetCells(r));
  return sh;
}

Status writeAfpnet(MonthReader& reader, const Month& m, const Concepts& c, const std::string& dir,
                   std::vector<Missing>& missing, std::vector<std::string>* written) {
  checkCompany(m, missing);
  Workbook wb;
  PLANILLA_RETURN_IF_ERROR(wb.addSheet(afpnetSheet({})));
  int sequence = 0;
  Employee e;
  while (reader.next(e)) {
    std::optional<AfpnetRow> r = afpnetRow(m, e, c, sequence + 1, missing);
    if (!r) continue;
    ++sequence;
    if (missing.empty()) PLANILLA_RETURN_IF_ERROR(wb.addRow(afpnetCells(*r)));
  }
  if (reader.failed()) return Status::ioError("");
  if (!missing.empty()) return Status::ok();
  return wb.save(dir, afpnetFileName(m), written);
}

Status writeAfpnetSummary(const Month& m, const std::string& dataDir) {
  reports::RpvWriter out(dataDir);
  reportHeader(out, m, "Resumen AFPNet", 2, {1, 29, 11, 11, 8, 8, 8, 8}, "RESUMEN AFPNET",
               "{$c01;s=7;a=l} {tab=200} APELLIDOS Y NOMBRES{$c02;a=l} {tab=1} REM.ASEGURABLE{$c03;a=l} {tab=320} "
               "FONDO{$c04;a=l} {tab=550} SEGURO{$c05;a=l} {tab=450} COMISION{$c06;a=l} {tab=550} TOTAL"
               "{\\n;Line=900,11500;b=n;\\n}");

  // Funds in code order, members in payroll order within each.
  std::map<std::string, std::vector<const Employee*>> byFund;
  for (const Employee& e : m.employees)
    if (e.fundMember()) byFund[e.pay.t("CODAFP")].push_back(&e);
  std::vector<double> grand(5, 0.0);
  size_t members = 0;
  for (const auto& [code, staff] : byFund) {
    auto f = m.funds.find(code);
    std::optional<std::string> name;
    if (f != m.funds.end()) {
      char ceiling[40];
      std::snprintf(ceiling, sizeof ceiling, "%.2f", f->second.ceiling);
      name = f->second.name + "  Fondo " + percent(f->second.contribution) + "  Seguro " +
             percent(f->second.premium) + " (tope " + ceiling + ")  Comision " + percent(f->second.commission);
    }
    out.PRINTLINE(reports::groupHeaderLine(code, name));
    std::vector<double> total(5, 0.0);
    for (const Employee* e : staff) {
      const double a1 = e->fundCharge("AAPOR1"), a2 = e->fundCharge("AAPOR2"), a3 = e->fundCharge("AAPOR3");
      const std::vector<double> v = {round2(e->fundBase()), a1, a2, a3, a1 + a2 + a3};
      out.PRINTLINE(reports::summaryRowLine(e->code, e->name, v, kSummaryPictures));
      for (size_t i = 0; i < v.size(); ++i) total[i] += v[i];
    }
    for (size_t i = 0; i < total.size(); ++i) grand[i] += total[i];
    members += staff.size();
    out.PRINTLINE(reports::groupTotalLine(code, std::to_string(staff.size()) + " afiliado(s)", total,
                                          kSummaryPictures, 20));
  }
  out.PRINTLINE("{e;$c01;b=y;s=8;\\n;a=l} TOTAL AFPNET (" + std::to_string(members) + " afiliados) :" +
                reports::amountCells(grand, kSummaryPictures) + "{t;\\n}" + reports::kCrLf);
  return out.close();
}

Status writeNonAffiliated(const Month& m, const std::string& dataDir) {
  reports::RpvWriter out(dataDir);
  reportHeader(out, m, "Empleados No Afiliados", 1, {1, 40, 11, 11, 8}, "EMPLEADOS NO AFILIADOS A AFP",
               "{$c01;s=7;a=l} {tab=200} APELLIDOS Y NOMBRES{$c02;a=l} {tab=1} REM.ASEGURABLE{$c03;a=l} {tab=320} "
               "APORTE ONP{\\n;Line=900,11000;b=n;\\n}");
  reports::GroupedSummary groups(out, 2);
  // The public system first, then those with no pension contribution at all.
  for (int pass = 0; pass < 2; ++pass) {
    for (const Employee& e : m.employees) {
      if (e.fundMember()) continue;
      const bool publicSystem = e.fundCharge("SNPT") != 0;
      if (publicSystem != (pass == 0)) continue;
      reports::SummaryRow row;
      row.costCentre = publicSystem ? "ONP" : "NINGUN";
      row.costCentreName = publicSystem ? "SISTEMA NACIONAL DE PENSIONES" : "SIN REGIMEN PENSIONARIO";
      row.code = e.code;
      row.employeeName = e.name;
      row.amounts = {round2(e.fundBase()), e.fundCharge("SNPT")};
      groups.add(row);
    }
  }
  groups.finish();
  out.PRINTLINE("{e;$c01;b=y;s=8;\\n;a=l} TOTAL NO AFILIADOS :" +
                reports::amountCells(groups.grandTotals(), kSummaryPictures) + "{t;\\n}" + reports::kCrLf);
  return out.close();
}

}  // namespace planilla::exports
