// Reading the cells of a spreadsheet the supervisors send: a CSV file as a spreadsheet
// saves it (comma or semicolon between cells, quotes around a cell that holds them,
// Windows-1252 or UTF-8 with or without its byte-order mark) or the first sheet of an
// .xlsx workbook (libzip opens the package, expat reads its XML).
//
// Cells come back as Windows-1252 text, as the tables hold it; a number stored as a
// number in an .xlsx comes back as the workbook writes it ("12.5", "1E-3"). Nothing
// here interprets a cell: a formula cell gives the value the workbook saved with it.
#pragma once

#include <string>
#include <vector>

#include "store/status.h"

namespace planilla::inputs {

struct SheetRow {
  int line = 0;  // 1-based: the file's line for CSV, the row number for .xlsx
  std::vector<std::string> cells;
};

// The rows of `path`, chosen by its extension (".xlsx" without regard to case: a
// workbook; anything else: CSV). Rows that are wholly blank are left out. A file that
// cannot be opened or is not what its name says gives a Status with a Spanish message.
Result<std::vector<SheetRow>> readSheet(const std::string& path);

// The same for CSV text already in memory (the reader of a .csv file).
std::vector<SheetRow> parseCsv(const std::string& bytes);

}  // namespace planilla::inputs
