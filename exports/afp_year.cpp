#include "exports/afp_year.h"

#include "exports/files.h"
#include "reports/report_format.h"
#include "session/run_register.h"
#include "ui/text1252.h"

namespace planilla::exports {

std::string afpYearFileName(const std::string& cia, int year) {
  return "AFPANUAL_" + cia + "_" + std::to_string(year) + ".xlsx";
}

Sheet afpYearSheet(const std::string& company, int year, const std::vector<reports::FundYearRow>& rows) {
  Sheet sh;
  sh.name = "AFP " + std::to_string(year);
  sh.frozenRows = 2;
  sh.printWide = true;
  sh.widths = {10, 12, 42, 14, 14, 14, 14, 14};
  sh.rows.push_back({Cell::str(ui::cp1252ToUtf8("LIQUIDACION ANUAL APORTES/RETENCIONES AFP " + std::to_string(year) +
                                                " - " + reports::rtrim(company)),
                               CellFormat::Bold)});
  std::vector<Cell> caption;
  for (const char* c : {"AFP", "CODIGO", "APELLIDOS Y NOMBRES", "REM.ASEGURABLE", "APORTE OBLIG.", "SEGURO", "COMISION",
                        "TOTAL RETENIDO"})
    caption.push_back(Cell::str(c, CellFormat::Bold));
  sh.rows.push_back(caption);
  // A total row sums the rows above it since `first` (1-based spreadsheet rows).
  auto totalRow = [&](const std::string& label, size_t first, size_t last, const std::vector<double>& v) {
    std::vector<Cell> r = {Cell::str(label, CellFormat::Bold), Cell::blank(), Cell::blank()};
    for (size_t k = 0; k < v.size(); ++k) {
      const std::string col = columnName(static_cast<int>(k) + 3);
      r.push_back(Cell::formula("=SUM(" + col + std::to_string(first) + ":" + col + std::to_string(last) + ")", v[k],
                                CellFormat::TotalAmount));
    }
    sh.rows.push_back(r);
  };
  std::vector<double> fund(5, 0.0), grand(5, 0.0);
  size_t fundFirst = 3;
  std::vector<std::string> fundTotals;  // cells of the fund total rows, for the grand total
  for (size_t i = 0; i < rows.size(); ++i) {
    const reports::FundYearRow& r = rows[i];
    const std::vector<double> v = {r.insurable, r.contribution, r.premium, r.commission, r.total()};
    std::vector<Cell> row = {Cell::str(ui::cp1252ToUtf8(reports::rtrim(r.fund))),
                             Cell::str(ui::cp1252ToUtf8(reports::rtrim(r.code))),
                             Cell::str(ui::cp1252ToUtf8(reports::rtrim(r.name)))};
    for (size_t k = 0; k < v.size(); ++k) {
      row.push_back(Cell::num(v[k], CellFormat::Amount));
      fund[k] += v[k];
      grand[k] += v[k];
    }
    sh.rows.push_back(row);
    if (i + 1 == rows.size() || rows[i + 1].fund != r.fund) {
      totalRow("TOTAL " + ui::cp1252ToUtf8(reports::rtrim(r.fund)), fundFirst, sh.rows.size(), fund);
      fundTotals.push_back(std::to_string(sh.rows.size()));
      std::fill(fund.begin(), fund.end(), 0.0);
      fundFirst = sh.rows.size() + 1;
    }
  }
  std::vector<Cell> total = {Cell::str("TOTAL GENERAL", CellFormat::Bold), Cell::blank(), Cell::blank()};
  for (size_t k = 0; k < grand.size(); ++k) {
    const std::string col = columnName(static_cast<int>(k) + 3);
    std::string f = "=";
    for (size_t i = 0; i < fundTotals.size(); ++i) f += (i ? "+" : "") + col + fundTotals[i];
    total.push_back(Cell::formula(f, grand[k], CellFormat::TotalAmount));
  }
  sh.rows.push_back(total);
  return sh;
}

bool runAfpYear(Session& s, int year, const std::string& dirGiven, std::vector<std::string>& written,
                bool startViewer) {
  RunRecord reg(s, kRunExportAfpYear);
  if (!reg.started()) return false;
  if (!reports::PREP428(s, year, startViewer)) return false;
  reports::YearData y;
  if (!reports::loadYear(s, year, y)) return false;
  const std::string dir = dirGiven.empty() ? s.dataDir() : dirGiven;
  Workbook book;
  Status st = book.addSheet(afpYearSheet(s.YNOMBRE1, year, reports::fundYearRows(y)));
  if (st) st = book.save(dir, afpYearFileName(s.YCIA, year), &written);
  if (!reportFailure(s, {}, st)) return false;
  reg.finish();
  return true;
}

}  // namespace planilla::exports
