// The table helpers every screen, run and report uses on top of the session:
// the record helpers (RED, LAN_REG, ADD_REG, FREE), searches (SEARCHDAT and the
// logic of KAPTURAKEY) and the catalog operations with the system's
// messages (create on first use, open, recreate a calculated file).
#pragma once

#include <optional>
#include <string>

#include "session/session.h"
#include "store/catalog.h"

namespace planilla {

// --- record helpers (act on the session's current work area) --------------------
// Network mode of the station.
bool RED(const Session& s);
// Locks the current record before a change. Without network: true, no lock. With:
// one try; refused -> "Acceso Denegado Registro En Uso" ("Mensaje"), false. A table
// that cannot be written (read-only folder or disk) shows why instead.
bool LAN_REG(Session& s);
// Appends a blank record (it becomes current). Refused shared append (lock held
// elsewhere) -> "Acceso Denegado Registro En Uso" ("Mensaje"), false. Any other
// failure (full disk, read-only folder) shows its own message: never a success.
bool ADD_REG(Session& s);
// Releases the record locks of the current table (only on a network).
void FREE(Session& s);

// --- searching ---------------------------------------------------------------------
// Seeks `key` in the current table on its controlling order; true when found.
bool SEARCHDAT(Session& s, const std::string& key);

enum class KeySearch { Ignored, Found, NotFound };
// The search of KAPTURAKEY on `table` (the lookup list's table): for key codes 32 to
// 255, seeks trim(fieldText) + the key's character; found leaves the table on the
// found record (the caller repaints), not found returns it to the record that was
// current before. Other codes do nothing. `searched` (optional) receives the text.
KeySearch kapturaKeySearch(Table& table, int keycode, const std::string& fieldText,
                           std::string* searched = nullptr);

// --- key validations of the maintenance screens ---------------------------------------
// Their messages differ from screen to screen, so these only tell what they found; the
// screen shows its own message. The table's cursor is left where it was.
enum class KeyCheck {
  Blank,  // the key is blank
  Free,   // no live record holds it
  Self,   // only found on the record being edited (`editing`)
  Taken,  // found on another record
};
// Seeks `key` on the controlling order of `table` (prefix match, as every seek; the
// first record found decides) and returns the cursor to the record it was on. `editing` is the record number of the
// record being modified (0 when adding).
KeyCheck checkKey(Table& table, const std::string& key, uint32_t editing = 0);

// The key search of a maintenance screen: the typed text is padded with blanks to
// `keyWidth` (or cut to it) and sought. Found: the table stays on the found record.
// Not found: the table goes back to the record that was current; returns false.
bool keySearch(Table& table, const std::string& typed, int keyWidth);

// Day counts and the like: outside lo..hi shows "Rango Fuera De Parametro" (title
// "Error En Ingreso De Dato") and returns false.
bool checkRange(Session& s, double value, double lo, double hi);

// --- catalog with messages -----------------------------------------------------------
// Create on first use with the system's messages: "Apertura Denegada El Archivo Esta
// En Uso" ("Mensaje") when the exclusive open is refused, "WARNING 14P" when the roll
// template is missing, and a message naming the file for any other failure. False
// when the screen must end.
bool ensureTable(Session& s, const catalog::TableDef& def);

// ensureTable, then open with its bags in `area` (0 = current) under `alias` (empty =
// the catalog's) in `mode` (default: the session's). Returns nullptr after a message
// when the screen must end.
Table* openOwnTable(Session& s, catalog::TableId id, int area, const std::string& alias = "",
                    std::optional<OpenMode> mode = std::nullopt);
Table* openOwnTable(Session& s, const catalog::TableDef& def, int area, const std::string& alias = "",
                    std::optional<OpenMode> mode = std::nullopt);

// Opens an existing table with its bags (no creation). When missing, shows
// `missingMessage` ("Mensaje") and returns nullptr; other failures show their own
// message.
Table* openExisting(Session& s, const catalog::TableDef& def, int area, const std::string& missingMessage,
                    const std::string& alias = "", std::optional<OpenMode> mode = std::nullopt);

// Recreates a calculated file (e2/e1/he/h1) from pbase18: "WARNING  P18!!  " when the
// template is missing, "Apertura Denegada El Archivo Esta En Uso" ("Mensaje") when
// another station has it open. False when the run must not go on.
bool recreateCalcFile(Session& s, const catalog::TableDef& def);

// Shows the message for a failed catalog operation (InUse -> "Apertura Denegada El
// Archivo Esta En Uso", or catalog::kRunInProgress for a run's results that a run
// holds; other codes -> the status text) with title "Mensaje".
void showTableError(Session& s, const Status& st);

}  // namespace planilla
