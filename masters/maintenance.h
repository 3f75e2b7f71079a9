// The maintenance screen pattern, in pieces every master screen reuses:
//
//   - opening: the working-date check, create on first use, open in work area 1 under
//     the screen's alias, the dialog with its browse list (control 101) and button bar,
//     and closing every table when the dialog ends (openMaintenanceTable,
//     runMaintenanceScreen);
//   - the change cycle of the add and modify dialogs: remember the record, append or
//     lock, write, release, stabilise and refresh (RecordEdit, addRecord,
//     changeRecord, backTo, settle);
//   - the key search through the input box "Buscar" (askKey);
//   - the shared delete confirmation DELBANCOS;
//   - the listing from the record under the cursor to the end, on the report writer,
//     opened in the viewer (printListing).
//
// Every function works on the table of the browse list it is given; the session's
// current work area is set to that table before records are locked or released, so
// LAN_REG, ADD_REG and FREE act on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "session/session.h"
#include "store/catalog.h"
#include "store/table.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// --- small text helpers -----------------------------------------------------------------
bool isBlank(const std::string& s);
using ::planilla::trimRight;  // store/value.h

// --- opening and closing ------------------------------------------------------------------
// Steps 1 to 4 of every maintenance screen: refuses when YCIA, YANO or YMES is blank
// ("Primero, Elija La Compania Con Que Va a Trabajar (cia)"), creates the table with
// its tags when missing ("Apertura Denegada El Archivo Esta En Uso" when it cannot be
// opened exclusively), opens it in work area 1 under `alias` in the session's mode and
// goes to its first record. nullptr (after the message) when the screen must end.
Table* openMaintenanceTable(Session& s, const catalog::TableDef& def, const std::string& alias);

// Steps 5 to 7: the dialog from `templateName` titled `title` (white on the screen
// colour), the browse list on control 101 over `table` (columns not movable, whole-row
// cursor) set up by `columns`, activated centred with `bars` as its initialisation
// action; when the dialog ends every table of the session is closed.
void runMaintenanceScreen(Session& s, ui::Toolkit& tk, const std::string& templateName,
                          const std::string& title, Table& table,
                          const std::function<void(ui::Browse&)>& columns,
                          const std::function<void(ui::Dialog&, ui::Browse&)>& bars);

// What a list exported to a spreadsheet is called: the words of the screen's title that
// say what it holds and the working month ("Maestro De Empleados" in December 2026:
// "empleados_2026-12").
std::string exportNameOf(const std::string& title, const Session& s);

// The message bar "Varmond" and the button bar of a maintenance screen: one 55 x 55
// button per entry (image, tooltip, action), then "exit10.bmp" "Salir", which ends it.
struct BarEntry {
  std::string image;
  std::string tooltip;
  std::function<void()> action;  // empty: the button does nothing
};
void buildBars(ui::Dialog& dlg, const std::vector<BarEntry>& entries);

// --- the change cycle -----------------------------------------------------------------------
// Makes the work area holding `t` the current one (so LAN_REG, ADD_REG and FREE act on
// it). False when no area holds it.
bool selectTable(Session& s, Table& t);

// Goes back to a remembered record (end of file when it was there: an empty list or a
// cursor past the last record).
void backTo(Table& t, uint32_t recno);
// Stabilise and refresh the browse list.
void settle(ui::Browse& br);
// True when the table has a record under the cursor.
bool onRecord(Table& t);

// The new contents of one record, built in memory and written in one piece, so that a
// value that does not fit its field (or a failing write) leaves the record as it was.
// Text is cut or blank padded to the field; numbers are rounded to the field's decimals.
class RecordEdit {
 public:
  // Starts from the current record (modify) or from a blank record (add).
  static RecordEdit current(Table& t);
  static RecordEdit blank(Table& t);

  RecordEdit& text(std::string_view field, std::string_view value);
  RecordEdit& number(std::string_view field, double value);
  // The first problem met (unknown field, a number that does not fit), ok otherwise.
  const Status& status() const { return status_; }
  const std::string& bytes() const { return bytes_; }

 private:
  explicit RecordEdit(Table& t) : t_(&t) {}
  const FieldLayout* find(std::string_view field);
  Table* t_;
  std::string bytes_;  // field bytes, without the deletion flag
  Status status_;
};

// Adds the record `edit` describes (ADD_REG's messages: "Acceso Denegado Registro En
// Uso" when another station holds the append lock). In shared mode the new record stays
// locked until FREE. Any other failure is shown with its own text ("Mensaje"). False when
// nothing was added.
bool addRecord(Session& s, Table& t, const RecordEdit& edit);
// Goes to `recno`, locks it (LAN_REG), builds the change with `fill` from the record as
// now stored and writes it in one piece; releases the lock (FREE) in every case. False,
// with nothing written, when the lock was refused or the values do not fit.
bool changeRecord(Session& s, Table& t, uint32_t recno, const std::function<void(RecordEdit&)>& fill);
// Reads the record under a short lock (the modify dialogs): LAN_REG, `read`, FREE. False
// when the lock was refused (LAN_REG has shown its message).
bool readLocked(Session& s, Table& t, const std::function<void()>& read);

// The accept and cancel buttons of the add and modify dialogs: "check1.bmp" on control
// 301 sets `accepted` and ends the dialog, "exit1.bmp" on control 302 only ends it.
void okCancelButtons(ui::Dialog& dlg, bool& accepted);
// Goes back to the remembered record `recno`, then stabilises and refreshes.
void returnTo(Table& t, ui::Browse& br, uint32_t recno);
// The end of an accepted add or modify dialog: adds the record `fill` describes (it
// stays current, released with FREE) or changes the remembered record `recno`; on a
// failed add and after a change goes back to `recno`. Stabilises and refreshes always.
void saveRecord(Session& s, Table& t, ui::Browse& br, uint32_t recno, bool add,
                const std::function<void(RecordEdit&)>& fill);

// Shows a failed store operation ("Mensaje").
void showError(Session& s, const Status& st);

// --- searching -------------------------------------------------------------------------------
// The input box of the key searches: titled "Buscar", prompt `prompt`, image "lupa.bmp",
// into a blank text of `width` characters (`picture` applies). False when cancelled.
bool askKey(ui::Toolkit& tk, const std::string& prompt, int width, std::string& typed,
            const std::string& picture = "");

// --- delete ------------------------------------------------------------------------------------
// The shared delete confirmation: "Borrar Registro" with "Esta Seguro De Eliminar" and
// the buttons "&No " and "&Si ". Confirmed: lock, mark deleted, release; the cursor goes
// to the row after the deleted one (the one before when it was the last; it stays on the
// record when the lock was refused), stabilise, refresh. Not confirmed: nothing.
// Without a record under the cursor nothing is asked.
void DELBANCOS(Session& s, ui::Toolkit& tk, ui::Browse& br);

// --- listing ------------------------------------------------------------------------------------
struct ListingLayout {
  std::string reportTitle;               // Report_Title
  int orientation = 1;                   // 1 portrait, 2 landscape
  int c00 = 690;                         // $c00
  int base = 690;                        // base of the computed stops
  std::vector<int> widths;               // column widths in characters
  std::vector<std::string> header;       // lines between "[Header]" and "[Data]"
};
// The company name line and the bold title line (size 8, after a tab of `tab`) that open
// every listing's header; the caller adds the rules and headings.
std::vector<std::string> listingTitleLines(const Session& s, const std::string& title, int tab,
                                           const std::string& stop = "$c00");
// Writes "Test.rpv" with the settings, header and one `line()` per record from the record
// under the browse cursor to the end of the table in its order, starts the viewer, goes
// back to the remembered record, stabilises and refreshes. A report file that cannot be
// written is reported and the viewer is not started.
void printListing(Session& s, ui::Browse& br, const ListingLayout& listing,
                  const std::function<std::string(Table&)>& line);
// The same over a table that no list shows: from its current record to the end, the
// table put back on that record.
void printListing(Session& s, Table& t, const ListingLayout& listing,
                  const std::function<std::string(Table&)>& line);

}  // namespace planilla::masters
