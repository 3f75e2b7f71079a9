#include "exports/payroll_sheet.h"

#include <cctype>
#include <map>

#include "reports/report_format.h"
#include "ui/picture.h"
#include "ui/text1252.h"

namespace planilla::exports {

namespace {

// The captions of the result editor where it has one; the field name otherwise.
std::string caption(const std::string& field) {
  static const std::map<std::string, std::string> kHeadings = {
      {"BAS_QUI", "SUELDO"},       {"ASIGNA", "ASIG"},         {"MOVILI", "MOVILIDAD"},
      {"REFRIG", "REFRIGERIO"},    {"DIASTRA", "D/TRABAJ"},    {"PRODUC", "BONO/PRODUC"},
      {"UTILI", "UTILIDAD"},       {"TBRUTO", "T/BRUTO"},      {"RTA_5TA", "RTA.5TA"},
      {"AAPOR1", "AFP 10%"},       {"AAPOR2", "SEGURO"},       {"AAPOR3", "COMISION"},
      {"SNPT", "ONP.TRAB"},        {"OTROSD", "PREST/O.DSC."}, {"T_DSCTOT", "T-DSCTOS"},
      {"TPAGAR", "NETO PAGAR"},    {"IPSSE", "ESSALUD"},       {"FONAVIE", "SCTR-SALUD"},
      {"T_DSCTOE", "T-APORTE"}};
  auto it = kHeadings.find(field);
  return it == kHeadings.end() ? field : it->second;
}

}  // namespace

std::string payrollFileName(const Month& m) {
  return "PLANILLA_" + m.cia + "_" + std::to_string(m.year) + NUM_CAR(m.month, 2) + ".xlsx";
}

Sheet payrollSheetHead(const Month& m) {
  Sheet sh;
  sh.name = "Planilla " + NUM_CAR(m.month, 2) + "-" + std::to_string(m.year);
  sh.frozenRows = 2;
  sh.printWide = true;
  sh.rows.push_back({Cell::str(ui::cp1252ToUtf8("PLANILLA MENSUAL " + reports::monthNameUpper(m.month) + " " +
                                                std::to_string(m.year) + " - " + m.company),
                               CellFormat::Bold)});
  std::vector<Cell> head;
  for (const FieldSpec& f : m.payFields) {
    head.push_back(Cell::str(caption(ui::upper1252(f.name)), CellFormat::Bold));
    sh.widths.push_back(f.type == 'C' ? std::min(f.width, 40) + 1 : f.type == 'D' ? 11 : 12);
  }
  sh.rows.push_back(std::move(head));
  return sh;
}

std::vector<Cell> payrollRow(const Month& m, const Employee& e, std::vector<double>& totals) {
  totals.resize(m.payFields.size(), 0.0);
  std::vector<Cell> row;
  for (size_t i = 0; i < m.payFields.size(); ++i) {
    const FieldSpec& f = m.payFields[i];
    const std::string name = ui::upper1252(f.name);
    if (f.type == 'N') {
      const double v = e.pay.n(name);
      totals[i] += v;
      row.push_back(Cell::num(v, f.decimals > 0 ? CellFormat::Amount : CellFormat::Whole));
    } else if (f.type == 'D') {
      auto d = e.pay.date.find(name);
      row.push_back(d == e.pay.date.end() || !d->second.valid() ? Cell::blank() : Cell::date(d->second));
    } else {
      row.push_back(Cell::str(ui::cp1252ToUtf8(e.pay.t(name))));
    }
  }
  return row;
}

std::vector<Cell> payrollTotals(const Month& m, const std::vector<double>& totals, size_t employees) {
  // Sums of the amount columns; day counts and hours are not added up.
  const size_t firstData = 3, lastData = 2 + employees;  // 1-based rows
  std::vector<Cell> total;
  for (size_t i = 0; i < m.payFields.size(); ++i) {
    const FieldSpec& f = m.payFields[i];
    if (i == 0) total.push_back(Cell::str("TOTALES", CellFormat::Bold));
    else if (f.type == 'N' && f.decimals > 0 && lastData >= firstData) {
      const std::string col = columnName(static_cast<int>(i));
      total.push_back(Cell::formula("=SUM(" + col + std::to_string(firstData) + ":" + col + std::to_string(lastData) + ")",
                                    round2(i < totals.size() ? totals[i] : 0), CellFormat::TotalAmount));
    } else total.push_back(Cell::blank());
  }
  return total;
}

Status writePayrollSheet(MonthReader& reader, const Month& m, const std::string& dir,
                         std::vector<std::string>* written) {
  Workbook wb;
  PLANILLA_RETURN_IF_ERROR(wb.addSheet(payrollSheetHead(m)));
  std::vector<double> totals;
  size_t rows = 0;
  Employee e;
  while (reader.next(e)) {
    PLANILLA_RETURN_IF_ERROR(wb.addRow(payrollRow(m, e, totals)));
    ++rows;
  }
  if (reader.failed()) return Status::ioError("");
  PLANILLA_RETURN_IF_ERROR(wb.addRow(payrollTotals(m, totals, rows)));
  return wb.save(dir, payrollFileName(m), written);
}

}  // namespace planilla::exports
