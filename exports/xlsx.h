// Spreadsheets (.xlsx) as data: sheets of typed cells, made into the bytes of a
// workbook with libxlsxwriter. The bytes are then written like every other file of the
// exports (writeFiles), so a workbook is never seen half-written.
#pragma once

#include <string>
#include <vector>

#include "store/status.h"
#include "store/value.h"

namespace planilla::exports {

enum class CellFormat {
  General,
  Bold,
  Amount,       // "#,##0.00"
  PlainAmount,  // "0.00" (no thousands separator)
  Whole,        // "0"
  Date,         // "dd/mm/yyyy"
  TotalAmount,  // bold "#,##0.00"
};

struct Cell {
  enum class Kind { Empty, Text, Number, Day, Formula } kind = Kind::Empty;
  std::string text;  // UTF-8 text, or the formula ("=SUM(B2:B9)")
  double number = 0; // the number, or the formula's value as last computed
  Date day;
  CellFormat format = CellFormat::General;

  static Cell blank() { return {}; }
  static Cell str(std::string utf8, CellFormat f = CellFormat::General) {
    return {Kind::Text, std::move(utf8), 0, {}, f};
  }
  static Cell num(double v, CellFormat f = CellFormat::General) { return {Kind::Number, {}, v, {}, f}; }
  static Cell date(const Date& d) { return {Kind::Day, {}, 0, d, CellFormat::Date}; }
  static Cell formula(std::string f, double value, CellFormat fmt) { return {Kind::Formula, std::move(f), value, {}, fmt}; }
};

struct Sheet {
  std::string name;                    // at most 31 characters
  std::vector<std::vector<Cell>> rows;
  std::vector<double> widths;          // column widths in characters (0 = default)
  int frozenRows = 0;                  // rows kept in view when scrolling
  bool printWide = false;              // printed landscape, all columns on one page width
};

// The spreadsheet column name of a 0-based column (0 -> "A", 26 -> "AA").
std::string columnName(int col);

// The bytes of an .xlsx workbook holding `sheets`. The library writes into a private
// folder (mkdtemp, mode 0700) that is removed again.
Result<std::string> xlsxBytes(const std::vector<Sheet>& sheets);

}  // namespace planilla::exports
