// The month's calculated payroll as a spreadsheet: a title row, a caption row, one row
// per employee with every column of the result table (text as text, dates as dates,
// amounts with two decimals and thousands separators, counts as whole numbers) and a
// row of totals (sums of the amount columns, with their values stored).
#pragma once

#include <string>
#include <vector>

#include "exports/month.h"
#include "exports/xlsx.h"

namespace planilla::exports {

// "PLANILLA_" + cia + "_" + yyyymm + ".xlsx".
std::string payrollFileName(const Month& m);

// The sheet's layout with its title and caption rows; then one payrollRow per
// employee (adding the amounts to `totals`) and payrollTotals after `employees` rows.
Sheet payrollSheetHead(const Month& m);
std::vector<Cell> payrollRow(const Month& m, const Employee& e, std::vector<double>& totals);
std::vector<Cell> payrollTotals(const Month& m, const std::vector<double>& totals, size_t employees);

// Writes the spreadsheet into `dir` row by row from `reader` (opened on `m`). A read
// error was shown by the reader and gives an error with an empty message.
[[nodiscard]] Status writePayrollSheet(MonthReader& reader, const Month& m, const std::string& dir,
                                       std::vector<std::string>* written);

}  // namespace planilla::exports
