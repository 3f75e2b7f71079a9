// What the month's input screens share: the employee code with its name (the code
// field 102, label 551 and the "Buscar" picture 301 of the forms), the code check
// CODEMPPER against the general master, the employee lookup KYLEMPAYU with its
// picture action CONSULTAEMPBANCOS, the key search SEEKVACACE, the button bar of the
// template Mante04, and the opening steps every screen of this folder follows.
//
// The general master is open under `HorEmplea` (income entries, vacations and the
// result editors) or `Emplea` (gratification roll and CTS); the helpers take the alias
// from the EmployeeChoice they are given.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "session/session.h"
#include "store/catalog.h"
#include "ui/toolkit.h"

namespace planilla::inputs {

inline constexpr size_t kCodeWidth = 10;
inline constexpr const char* kMasterHor = "HorEmplea";

// The code typed, the employee's name shown next to it and the dialog that shows both
// (field 102 and label 551 are refreshed when it is set).
struct EmployeeChoice {
  std::string code = std::string(kCodeWidth, ' ');
  std::string name;
  std::string masterAlias = kMasterHor;
  // The lookup lists the employees active in these days (empty: the working month).
  Date from, to;
  ui::Dialog* dlg = nullptr;
  void refresh() const;
};

// The code check of the forms: seeks the code in the general master by code (order 1,
// which stays selected). Found: the name becomes the employee's and label 551 is
// refreshed. Not found: "Codigo Empleado  " + code + " No Existe" (alert, "Error En
// Ingreso De Dato"), false. A blank code passes, so that saving says "Codigo  En Blanco".
bool CODEMPPER(Session& s, EmployeeChoice& c);

// The employee lookup (selector 1 only): the master in name order from its first
// record, "Ventana De Ayuda (Maestro De Empleados)" with the columns "CODIGO" and
// "NOMBRES APELLIDOS", only the employees active in the choice's days (the working
// month when none are given); the typed name is looked for among them. True when an
// employee was chosen, whose code becomes the choice's; the master stays in name
// order until CODEMPPER runs.
bool KYLEMPAYU(Session& s, ui::Toolkit& tk, EmployeeChoice& c, int selector);
// The action of the "Buscar" picture: on a choice the code and the name come from the
// chosen employee, field 102 and label 551 are refreshed and the code takes the focus.
void CONSULTAEMPBANCOS(Session& s, ui::Toolkit& tk, EmployeeChoice& c, int selector);

// The first and last day of the working month.
std::pair<Date, Date> workingMonth(const Session& s);
// The last day of the half-year a July or December gratification (June 30, December
// 31) or a May or November CTS deposit (April 30, October 31) pays for; the working
// month's last day in any other month. Whoever left before it is paid that half-year's
// share with the settlement, not in the roll.
Date paidSemesterEnd(const Session& s);
// The employee picker of the gratification and CTS forms: a combo on control `id` of
// the general master's employees active from `from` to `to`, in name order (the
// operator types the surname to reach it), storing the code in `code`. The master
// keeps its order and position.
ui::Combo& activeEmployeeCombo(ui::Dialog& dlg, int id, std::string& code, Table& master, const Date& from,
                               const Date& to);

// The key search of every screen of this folder, on the list's table: input box
// "Buscar", "Codigo ", 10 characters. Not found: "Codigo " + code + " No Existe"
// ("Stop") and the cursor stays where it was.
void SEEKVACACE(Session& s, ui::Toolkit& tk, ui::Browse& br);

// The name of `code` in the master open under `alias` (code order), its position kept;
// empty when not there.
std::string employeeName(Session& s, const std::string& alias, const std::string& code);

// --- opening ---------------------------------------------------------------------------
// How one screen opens: the message and title when the general master is missing, its
// own table (created on first use when `create`, else `missing` is shown when absent)
// opened in work area 1 under `alias`, and the master in work area 2 under `masterAlias`
// with both its index files (code order).
struct ScreenTables {
  catalog::TableId own;
  const char* alias;
  const char* masterAlias;
  const char* noMaster;
  bool noMasterStop = true;  // false: titled "Mensaje"
  bool create = true;
  std::string missing;       // when !create: the table is not there ("Stop")
};
// Opens as `t` says, after the period check the caller did. Returns the screen's table
// at its first record, area 1 selected; nullptr (after a message, tables closed) when the
// screen must not open.
Table* openInputTables(Session& s, const ScreenTables& t);

// --- the list screen (template Mante04 or Mante041) ------------------------------------------
// One button of the screen: control, image and tooltip; empty action: the button ends
// the dialog.
struct ScreenButton {
  int id;
  const char* image;
  const char* tooltip;
  std::function<void()> action;
};
// The buttons 102 to 105 and 107 of the input screens with their images and tooltips,
// "&Impresion" (106) when `print` is given.
std::vector<ScreenButton> standardButtons(const std::function<void(bool add)>& edit,
                                          const std::function<void()>& remove,
                                          const std::function<void()>& search,
                                          const std::function<void()>& print = {});
// The dialog from `templateName` titled `title` with the list 101 over `table`, its
// columns set by `columns` (and, unless `columns` chose them, a totals line adding up
// its right-aligned columns), the buttons and (when not empty) a message bar text; a
// double click runs the modify button (103). Closes every table when it ends.
void runListScreen(Session& s, ui::Toolkit& tk, const std::string& templateName, const std::string& title,
                   Table& table, const std::function<void(ui::Browse&)>& columns,
                   const std::function<std::vector<ScreenButton>(ui::Dialog&, ui::Browse&)>& buttons,
                   const std::string& messageBar = "");

// --- the add and modify forms --------------------------------------------------------------
// "&Grabar" on `saveId` (image "SAVE32.BMP") and "&Cancelar" on saveId + 1 ("exit1.bmp").
// "&Grabar" runs `check` first when given (false keeps the dialog open), then sets
// `accepted` and ends the dialog.
void saveCancelButtons(ui::Dialog& dlg, int saveId, bool& accepted, const std::function<bool()>& check = {});
// After a form: true when it was accepted with a code, so the caller saves. Otherwise
// (cancelled, or a blank code: `blankMessage`, "Stop") the list goes back to `rec`.
bool formAccepted(Session& s, Table& t, ui::Browse& br, uint32_t rec, bool accepted, const std::string& code,
                  const char* blankMessage);

// "&Impresion" of the screens: the employee listing of the general master open under
// `alias`, every employee in code order; the master keeps its order and position.
void printEmployees(Session& s, const std::string& alias);

// An amount column value: the number through `picture`.
std::string amount(Table& t, const char* field, const char* picture);

}  // namespace planilla::inputs
