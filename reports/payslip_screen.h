// The payslip screen "Boletas De Pagos" and the employee lookup of the report
// dialogs. The main menu points at F_P401.
#pragma once

#include <functional>
#include <string>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::reports {

// The employee chosen in the employee dialogs of the reports.
struct EmployeeChoice {
  std::string code = std::string(10, ' ');
  std::string name = " ";
  std::string costCentre = std::string(6, ' ');
};

// "Boletas De Pagos": the checks of the payslip, the employee dialog RepP401 ("Reporte
// De Boletas") and the writer PREP401 on "&Imprimir".
void F_P401(Session& s, ui::Toolkit& tk);

// The employee controls of the report dialogs: label 101, the code field 102 checked
// by `validate` (which fills `c`; the name display 551 is refreshed on success), and
// the lookup picture 301. `dlg`, `s`, `tk` and `c` must outlive the dialog's run.
void employeeControls(ui::Dialog& dlg, Session& s, ui::Toolkit& tk, EmployeeChoice& c,
                      std::function<bool()> validate);

// The employee dialog RepP401 titled `title`: the code validated by CODPER (which needs
// the employee master open as RepEmplea), the lookup picture, "&Imprimir" calling
// `print` and closing, "&Cancelar" closing. Closes every table when it ends.
void employeeDialog(Session& s, ui::Toolkit& tk, const std::string& title, EmployeeChoice& c,
                    const std::function<void()>& print);

// The employee lookup over RepEmplea "Ventana De Ayuda (Maestro De Empleados)": mode 5
// in name order, mode 6 in code order, from the first record. True when an employee was
// chosen (the table stays on it); other modes return false without a dialog.
bool KYLAYU(Session& s, ui::Toolkit& tk, EmployeeChoice& c, int mode);
// Action of the search picture of the employee dialogs (modes 5 and 6): on a choice
// the code, name and cost centre come from the chosen employee; field 102 and label 551
// of `dlg` are refreshed and the focus goes to field 102.
void CONSULTABANCOS(Session& s, ui::Toolkit& tk, EmployeeChoice& c, int mode, ui::Dialog* dlg);

}  // namespace planilla::reports
