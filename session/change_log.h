// The change log bitac<cia>: every record added, changed or deleted by a screen or a
// command (through the maintenance pattern's add, change and delete) leaves one
// record: when, who, on which station, the table, the record's key, the employee code
// when the table holds one record per employee, and each changed field's old and new
// value ("BAS_MEN: 1500.00 -> 1800.00"). The program only appends to it.
//
// The log of the company chosen in the session; a change made before any company was
// chosen (the users or institutions screens) goes to bitac00, the installation's.
// A password (INICIA of the users table) is never written: its change shows as "****".
#pragma once

#include <string>
#include <vector>

#include "session/session.h"
#include "store/status.h"
#include "store/table.h"

namespace planilla {

// The text of the changes between two images of a record of `t` (field bytes without
// the deletion flag; `before` empty for a record added, `after` empty for one deleted):
// "FIELD: old -> new" for a change, "FIELD: new" for an addition, "FIELD: old" for a
// deletion, blank fields of an added or deleted record left out, joined by " | ".
// Empty when nothing changed.
std::string describeChange(const Table& t, const std::string& before, const std::string& after);

// Appends the log record of a change to the record of `t` ('A' added, 'M' changed,
// 'B' deleted). A change that changed nothing writes nothing. A failure is shown
// ("No Se Pudo Anotar El Cambio En La Bitacora: ...") and returned.
Status logChange(Session& s, const Table& t, char operation, const std::string& before, const std::string& after);

struct ChangeRow {
  std::string moment, user, station, table, key, code, period, detail;
  char operation = ' ';
};
// "Adicion", "Modificacion", "Eliminacion".
std::string operationText(char operation);

// Every record of the company's log in time order (empty when there is none yet).
Status readChangeLog(Session& s, std::vector<ChangeRow>* out);
// The same, leaving `detail` empty when `withDetail` is false (the stale-results check).
Status readChangeLog(Session& s, std::vector<ChangeRow>* out, bool withDetail);

// The time (nowStamp() form) of the last change to what the run `process` of the
// session's period reads: the month's own input tables, and the company's masters and
// rates the run reads when changed while working on that period. Changes to the
// results themselves (the result editors) are not inputs. "" when there is none.
std::string lastInputChange(Session& s, const std::string& process);

// The warning of results older than their inputs.
inline constexpr const char* kStaleResults = "Los Datos Del Mes Cambiaron Despues Del Ultimo Calculo";
// True when the last finished run of `process` for the session's period started before
// the last change to its inputs. A period with no run in the register (calculated
// before the register existed, or never) is not called stale.
bool resultsStale(Session& s, const std::string& process);
// Before the month's payslips, reports and exports are printed or written: when the
// results of `process` are stale, says so (an alert "Aviso" with kStaleResults; from
// the command line it goes to stderr, once per command) and returns true. The printing
// goes on.
bool warnIfStale(Session& s, const std::string& process);

}  // namespace planilla
