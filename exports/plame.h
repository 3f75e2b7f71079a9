// The import files of the monthly declaration (PLAME): "0601" + year + month + RUC
// with the extensions .rem (amounts by concept code), .jor (hours), .snl (suspension
// days) and .toc (other conditions, only when an employee has one). The four are one
// set: an export replaces the previous set of the month as a whole. Plain text, one
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

// One employee's lines of the four files, appended to `lines` (.rem, .jor, .snl,
// .toc). Every gap (document type or number, an amount that does not fit) is added to
// `missing`.
void plameLines(const Employee& e, const Concepts& c, std::string lines[4], std::vector<Missing>& missing);

// Writes the files of the month into `dir`, reading the employees from `reader` (opened
// on `m`) one at a time, as one FileSet: the previous set is replaced whole, its .toc
// removed when this month has none. With a gap (added to `missing`, the company's RUC
// included) or a failure nothing in `dir` changes. A read error was shown by the reader
// and gives an error with an empty message.
[[nodiscard]] Status writePlame(MonthReader& reader, const Month& m, const Concepts& c, const std::string& dir,
                                std::vector<Missing>& missing, std::vector<std::string>* written);

// The company checks every file of the month shares: a RUC of 11 digits.
void checkCompany(const Month& m, std::vector<Missing>& missing);

// The declaration's document type and number of an employee; a gap goes to `missing`:
// no type, a type without equivalence, no number, or a number not of its type's form
// (validDocumentNumber).
bool documentOf(const Employee& e, const Concepts& c, const DocConcept** doc, std::vector<Missing>& missing);

// A document number of the form its declaration type takes, letters and digits only
// (a "|" or a blank would break the files' records): DNI (01) 8 digits, RUC (06) 11
// digits, carne de extranjeria (04) and pasaporte (07) up to 12, any other up to 15.
bool validDocumentNumber(const DocConcept& doc, const std::string& number);
std::string documentRule(const std::string& type);

}  // namespace planilla::exports
