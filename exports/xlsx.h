// Spreadsheets (.xlsx) of typed cells written with libxlsxwriter, row by row: the
// library keeps one row in memory (constant_memory) and writes into a private folder;
// the finished workbook is read back and checked (checkXlsx) before it takes the place
// of the previous file (FileSet), so a workbook is never seen half-written or corrupt.
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

// A workbook written row by row. Every library result is checked; the first failure
// is kept and returned by every later call.
class Workbook {
 public:
  Workbook();
  ~Workbook();
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  // Starts a sheet with the layout of `sh` (its rows, if any, are written too).
  [[nodiscard]] Status addSheet(const Sheet& sh);
  [[nodiscard]] Status addRow(const std::vector<Cell>& cells);
  // Closes the workbook, checks it (checkXlsx) and puts it in place as `dir`/`name`
  // (FileSet). `written` receives the path.
  [[nodiscard]] Status save(const std::string& dir, const std::string& name, std::vector<std::string>* written);

 private:
  Status close();
  struct Impl;
  Impl* impl_;
};

// Reads a finished workbook back as a reader would: a zip archive whose central
// directory, local headers, sizes and CRCs agree, every part inflating whole, and
// every XML part ending with the close of its root element. The message says what
// is wrong; `shown` names the file in it.
[[nodiscard]] Status checkXlsx(const std::string& path, const std::string& shown);

}  // namespace planilla::exports
