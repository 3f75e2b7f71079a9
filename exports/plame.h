// The import files of the monthly declaration (PLAME): "0601" + year + month + RUC
// with the extensions .rem (amounts by concept code), .jor (hours), .snl (suspension
// days) and .toc (other conditions, only when an employee has one). Plain text, one
// record a line, every field followed by "|", CR LF line ends, no header line.
// Employees paid as a plain fee are not on the payroll of the declaration and are
// left out.
#pragma once

#include <string>
#include <vector>

#include "exports/concepts.h"
#include "exports/files.h"
#include "exports/month.h"

namespace planilla::exports {

// "0601" + yyyy + mm + RUC.
std::string plameBaseName(const Month& m);

// An amount as the files take it: two decimals, "." as the point, no thousands
// separator; at most 7 integer digits. False (out untouched) when it does not fit or
// is negative.
bool plameAmount(double v, std::string& out);

// The files of the month. Every gap (company RUC, document type or number, an amount
// that does not fit) is added to `missing`; the files are only good when it stays
// empty.
std::vector<OutFile> plameFiles(const Month& m, const Concepts& c, std::vector<Missing>& missing);

// The company checks every file of the month shares: a RUC of 11 digits.
void checkCompany(const Month& m, std::vector<Missing>& missing);

// The declaration's document type and number of an employee; a gap goes to `missing`.
bool documentOf(const Employee& e, const Concepts& c, const DocConcept** doc, std::vector<Missing>& missing);

}  // namespace planilla::exports
