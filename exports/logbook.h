// The run register and the change log for people: filtered by dates, user, table and
// employee, printed through the report writer, written to a spreadsheet, and the two
// screens of "&Herramientas" ("Registro De Procesos" F_REGPROC, "Bitacora De Cambios"
// F_BITACORA) that do both. The logs themselves are kept by session/run_register.h and
// session/change_log.h.
#pragma once

#include <string>
#include <vector>

#include "session/change_log.h"
#include "session/run_register.h"
#include "session/session.h"
#include "store/value.h"
#include "ui/toolkit.h"

namespace planilla::exports {

// What to show. Empty parts do not filter. Dates are days (both included) of the
// change or of the run's start; user, table and employee code compare without regard
// to case and trailing blanks (a table by its file name, "pmae0101" or "pmae0101.dbf").
struct LogQuery {
  Date desde, hasta;
  std::string user, table, code;
};

bool matches(const LogQuery& q, const ChangeRow& r);
bool matches(const LogQuery& q, const RunRow& r);

// The rows of the company's log and register that `q` selects, in time order. False
// after the message ("Mensaje") when the table cannot be read.
bool selectChanges(Session& s, const LogQuery& q, std::vector<ChangeRow>& out);
bool selectRuns(Session& s, const LogQuery& q, std::vector<RunRow>& out);

// The listings through the report writer ("Test.rpv", or the session's report file),
// started in the viewer when `startViewer`. True when the report was written.
bool printChanges(Session& s, const LogQuery& q, bool startViewer);
bool printRuns(Session& s, const LogQuery& q, bool startViewer);

// The spreadsheets BITACORA_CC.xlsx and PROCESOS_CC.xlsx in `dir` (the data directory
// when empty), put in place whole. `written` receives the path.
bool exportChanges(Session& s, const LogQuery& q, const std::string& dir, std::vector<std::string>& written);
bool exportRuns(Session& s, const LogQuery& q, const std::string& dir, std::vector<std::string>& written);

// The screens: the filter asked in a dialog, "&Imprimir" and "&Excel".
void F_REGPROC(Session& s, ui::Toolkit& tk);
void F_BITACORA(Session& s, ui::Toolkit& tk);

}  // namespace planilla::exports
