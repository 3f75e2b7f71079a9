// The annual per-employee amount tables: one row per employee of the general master,
// one amount per calendar month, per company and year.
//
//   F_PJLG21(1)  habe<cia><ano>  "Tabla De Haberes"      (earnings; tot = the months)
//   F_PJLG21(n)  rete<cia><ano>  "Tabla De Retenciones"  (withholdings; tot = the months)
//   F_PJLG19     salu<cia><ano>  EsSalud and fifth-category register (tot stays 0)
//   F_PJLG20     apor<cia><ano>  "Tabla Antes de Planilla" (tot stays 0)
//
// Each screen opens its table in work area 1 as `Haberes` and the general master in
// area 2 as `HorEmplea`; the validations and the lookup below work on those two aliases.
// The monthly and gratification runs read and write habe/rete themselves (calc/), so
// the field layout is the catalog's and must not change here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/session.h"
#include "store/catalog.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// One group of twelve month amounts of a form: the table's fields in month order and
// the form's controls, `firstControl`, +2, ... +22.
struct AmountGroup {
  std::vector<std::string> fields;
  int firstControl = 0;
};

// What tells the four screens apart.
struct AnnualTable {
  std::string function;  // menu function name: "F_PJLG21(1)", "F_PJLG19" ...
  std::string caption;   // menu caption
  catalog::TableId id;
  std::string title;     // screen title
  std::string form;      // template of the add / modify dialog
  std::vector<AmountGroup> groups;
  // Earnings and withholdings: the form has a total field (128) and `tot` is saved as
  // the sum of the twelve month amounts of the first group.
  bool savesTotal = false;
  // Labels navy on the screen colour (the pre-payroll form keeps the default colours).
  bool navyLabels = true;
};

// The four tables in menu order: F_PJLG20, F_PJLG21(1), F_PJLG21(2), F_PJLG19.
const std::vector<AnnualTable>& annualTables();
// The month field names: "ene" .. "dic" (September "seti") followed by `suffix`; with
// `numbered` the month's two-digit number follows instead ("ene01" .. "dic12").
std::vector<std::string> monthFields(const std::string& suffix, bool numbered = false);

// --- screens ---------------------------------------------------------------------------------
// Earnings (selector 1) or withholdings (any other selector).
void F_PJLG21(Session& s, ui::Toolkit& tk, int selector);
void F_PJLG19(Session& s, ui::Toolkit& tk);
void F_PJLG20(Session& s, ui::Toolkit& tk);

// --- add and modify dialogs -------------------------------------------------------------------
void EDITHABER(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add, int selector);
void MODIHABER(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add, int selector);
void EDITSALUD(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add);
void MODISALUD(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add);
void EDITPLANI(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add);
void MODIPLANI(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add);

// --- code validation (the form's code field) -----------------------------------------------
// The code must be an employee of `HorEmplea` ("Codigo Empleado  " + code + " No
// Existe", "Mensaje"); found, `name` receives the employee's name. Then it must not be
// in `Haberes` yet ("Dato  Existe", "Mensaje"). Both tables keep their position.
bool CODEMP01HABER(Session& s, const std::string& code, std::string& name);
// As CODEMP01HABER for the modify dialog: the row `recno` itself does not count.
bool CODEMP02HABER(Session& s, const std::string& code, uint32_t recno, std::string& name);

// --- employee lookup ------------------------------------------------------------------------------
// The lookup list "Ventana De Ayuda (Maestro De Empleados)" over `HorEmplea` in name
// order from its first record. True when an employee was chosen: `HorEmplea` is left on
// that employee. Lookup numbers other than 3 do nothing.
bool KYLHABAYU(Session& s, ui::Toolkit& tk, int number);
// The lookup of the image "Buscar": on a choice copies the employee's code (10
// characters) and name into `code` and `name` and returns true.
bool CONSULTAHABBANCOS(Session& s, ui::Toolkit& tk, int number, std::string& code, std::string& name);

// --- search ------------------------------------------------------------------------------------------
// Input box "Buscar" / "Codigo " (10 characters); not found: "Codigo Empleado  " + code
// + " No Existe" ("Mensaje") and the cursor goes back.
void SEEKHABER(Session& s, ui::Toolkit& tk, ui::Browse& br);

}  // namespace planilla::masters
