// Any list of the desktop as a spreadsheet ("Exportar A Hoja De Calculo"): the list's
// columns with typed cells and its totals line, written with the workbook writer the
// statutory spreadsheets use, so the file is checked before it replaces an older one.
#pragma once

#include <string>

#include "ui/toolkit.h"

namespace planilla::exports {

// Writes `sheet` to `path` (a ".xlsx" file): a bold header row kept in view, one row
// per list row (amounts as numbers with two decimals shown as "#,##0.00", whole
// numbers as numbers, dates as dates, the rest as text) and the totals line in bold.
// Returns "" when written; otherwise what went wrong, in Spanish, and any file that
// was at `path` is left as it was.
std::string writeListSheet(const ui::ListSheet& sheet, const std::string& path);

}  // namespace planilla::exports
