// "Importar Desde Hoja De Calculo" of the month's entries (ph<cia><mes><ano>): a
// spreadsheet with one row per employee and a header row naming the columns is
// checked whole, shown as a preview with every problem by line, and then written
// whole or not at all.
//
// The header names each column by the entries' field name ("SIMPLE", "ADELANTO"),
// by its label on the entry form ("Hor.Ext.1ra. Tasa", "Refrigerio") or by its
// heading in the entries list ("HOR/SIMPLE", "PRESTAMO"), without regard to case,
// blanks, dots or accents. "CODIGO" is required; a name column ("NOMBRE", "NOMBRES",
// "APELLIDOS Y NOMBRES" ...) is shown in the preview and never written (the name
// comes from the master). Any other column is a problem.
//
// Amounts take a decimal comma or point; with both, the last one is the decimal mark
// and the other groups thousands ("1.234,50", "1,234.50"). A blank cell leaves the
// entry's amount as it is (zero for a new entry); to clear an amount the sheet says 0.
// An employee with an entry this month has the sheet's amounts written into it (the
// first entry, the one the payroll run reads); one without gets a new entry.
//
// All or nothing: every record to change is locked first (one refused lock writes
// nothing), every new record image is built and checked in memory, and the old
// images go to a journal beside the table (<table>.imp) before the first write. A
// failure while writing puts the old images back; a kill leaves the journal, and
// the next import or opening of the month's entries puts them back
// (recoverIncomeImport) unless the station that wrote it is still at work. Each
// change, and each change undone, goes to the change log.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "inputs/sheet_reader.h"
#include "session/session.h"
#include "store/table.h"

namespace planilla::inputs {

struct ImportProblem {
  int line = 0;
  std::string code;
  std::string text;
};

struct ImportRow {
  int line = 0;
  std::string code;  // padded to the code width
  std::string name;  // from the master
  // For each column of ImportPlan::fields: the amount, or nothing (blank cell).
  std::vector<std::optional<double>> values;
};

struct ImportPlan {
  std::vector<std::string> fields;   // the entries' fields the sheet fills, lower case
  std::vector<std::string> headers;  // their headings in the sheet, as written
  std::vector<ImportRow> rows;
  std::vector<ImportProblem> problems;
  bool writable() const { return problems.empty() && !rows.empty(); }
};

// Checks `rows` (the first is the header) against the general master, the month's
// active employees (when the month has that table; without it, against the master's
// terminations) and the entries' field widths. Writes nothing.
ImportPlan checkIncomeImport(Session& s, const std::vector<SheetRow>& rows);

// What one row will do, for the preview: "Nuevo" or "Modifica" and the amounts
// ("HOR/SIMPLE 10,00  ADELANTO 200,00"), from the entries in `entries`.
std::string describeRow(const ImportPlan& plan, const ImportRow& row, Table& entries);

// Writes the plan into `entries` (the month's entries, open in a work area of the
// session), all rows or none; see above. The cursor goes back where it was.
// Returns the number of records changed and added, or why nothing was written.
Result<int> applyIncomeImport(Session& s, Table& entries, const ImportPlan& plan);

// Puts back the records of an import that was cut short, when its journal is there
// and no station is still writing it. Ok when there was nothing to do; Locked while
// another station is importing.
Status recoverIncomeImport(Session& s, Table& entries);

// The journal of the month's entries table of the session's period.
std::string importJournalPath(Session& s);

}  // namespace planilla::inputs
