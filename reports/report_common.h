// What the report screens and writers share beyond the report file itself: the
// period check, message boxes with the screens' titles, opening tables under the
// writers' aliases, the scratch copy with its messages, adding one result table
// into another, and the last step of every writer (write the file, start the viewer).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "reports/institution.h"
#include "reports/rpv_writer.h"
#include "reports/scratch.h"
#include "session/session.h"
#include "store/catalog.h"
#include "store/numbers.h"

namespace planilla::reports {

inline constexpr const char* kChooseCompany = "Primero, Elija La Compania Con Que Va a Trabajar (cia)";
inline constexpr const char* kInUse = "Apertura Denegada El Archivo Esta En Uso";

// A stop box: titled "Stop" when `title` is empty, else by `title`.
void stopBox(Session& s, const std::string& text, const std::string& title = "");

// False when the company, the year or the month of the working date is blank.
bool periodChosen(const Session& s);

// The screens' first check: false after "Primero, Elija La Compania Con Que Va a
// Trabajar (cia)" (titled `title`, "" = "Stop") when no working period is chosen.
bool companyChosen(Session& s, const std::string& title);

// The institution record of the working company with the screen's messages for a
// missing table and a missing record (titled `title`); false after the message.
bool institutionRecord(Session& s, InstitutionData& out, const std::string& tableMissing,
                       const std::string& recordMissing, const std::string& title);

// Whether the table's file exists in the data directory.
bool tableExists(Session& s, const catalog::TableDef& def);
bool tableExists(Session& s, catalog::TableId id);

// Opens `def` with its bags in a free work area under `alias`, controlling order 1
// when there are tags. nullptr after a message ("Mensaje") when it cannot be opened.
Table* openAs(Session& s, const catalog::TableDef& def, const std::string& alias,
              std::optional<OpenMode> mode = std::nullopt);
Table* openAs(Session& s, catalog::TableId id, const std::string& alias, std::optional<OpenMode> mode = std::nullopt);

// The scratch copy of `source` ordered by `tag` on `key`, with the writers' messages:
// an empty source shows `emptyText` (titled `emptyTitle`, "" = "Stop"), a copy in use
// "Apertura Denegada El Archivo Esta En Uso" ("Mensaje"), any other failure its own
// text. False when the writer must end.
bool scratchCopy(Session& s, const catalog::TableDef& source, ScratchTable& out, const std::string& emptyText,
                 const std::string& emptyTitle, const std::string& tag = "codigo", const std::string& key = "CODIGO");
// regroupScratch with the same messages.
bool regroup(Session& s, ScratchTable& scratch, const std::string& tag, const std::string& key);

// Adds, for every row of `from`, the listed amount fields into the row of `into` with
// the same CODIGO (`into` is ordered by code); rows of `from` without a match are
// ignored. False after a message when a write fails.
bool addByCode(Session& s, Table& from, Table& into, const std::vector<const char*>& fields);

// The last step of a writer: closes every table, writes the report file and, when
// `startViewer`, starts the viewer on it. The file is the session's reportFile when
// set; else "Test.rpv", and the viewer is shown a private copy (closeForViewer). A
// failure is shown ("Mensaje"). True when the report file was written.
// `pdfName` is the name the viewer proposes for the PDF (see pdfNameOf).
bool finishReport(Session& s, RpvWriter& w, bool startViewer, const std::string& pdfName = "");
// A PDF's name that says what it holds: `what`, then `who` (an employee code; the
// company when empty) and the working month: "boleta_E0001_2026-12.pdf",
// "libro_01_2026-12.pdf".
std::string pdfNameOf(const Session& s, const std::string& what, const std::string& who = "");

// Walks `t` from the top in its controlling order, calling `fn` on each row; stops at
// the first failure, which is shown ("Mensaje"). False on failure or when `fn` says so.
// A row with a numeric field that holds no number is such a failure ("Dato No
// Numerico En ..."), checked before `fn` reads it: a report never prints it as 0.
template <class Fn>
bool eachRow(Session& s, Table& t, Fn fn);

// The row's amount fields as the report reads them.
double sumOf(const Table& t, std::initializer_list<const char*> fields);

void showStatus(Session& s, const Status& st);

// While the month's payroll is pending (a gratification run came after it), the
// report's header says so on every page: `header` with that line on top, after the
// font line that follows "[Header]". Otherwise `header` as it is.
// Before that, the month's results older than their inputs are told (warnIfStale).
std::string markPendingPayroll(Session& s, std::string header);

template <class Fn>
bool eachRow(Session& s, Table& t, Fn fn) {
  Status st = t.goTop();
  while (st && !t.eof()) {
    if (st = checkNumbers(t); !st) break;
    if (!fn()) return false;
    st = t.skip(1);
  }
  if (!st) {
    showStatus(s, st);
    return false;
  }
  return true;
}

}  // namespace planilla::reports
