// The month's calculated payroll as a spreadsheet: a title row, a caption row, one row
// per employee with every column of the result table (text as text, dates as dates,
// amounts with two decimals and thousands separators, counts as whole numbers) and a
// row of totals (sums of the amount columns, with their values stored).
#pragma once

#include <string>

#include "exports/month.h"
#include "exports/xlsx.h"

namespace planilla::exports {

// "PLANILLA_" + cia + "_" + yyyymm + ".xlsx".
std::string payrollFileName(const Month& m);

Sheet payrollSheet(const Month& m);

}  // namespace planilla::exports
