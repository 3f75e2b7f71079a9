// The payslip screen ("Boletas De Pagos") and the employee lookup of the report
// dialogs.
#include "reports/payslip_screen.h"
#include "reports/payslip.h"
#include "ui/dialogs.h"

namespace planilla::reports {

namespace {

constexpr const char* kEmployeesAlias = "RepEmplea";

}  // namespace

bool KYLAYU(Session& s, ui::Toolkit& tk, EmployeeChoice& c, int mode) {
  if (mode != 5 && mode != 6) return false;
  Table* t = s.alias(kEmployeesAlias);
  if (!t) return false;
  // Mode 5 lists by name, mode 6 by code; the incremental search follows the order.
  if (Status st = t->setOrder(mode == 5 ? 2 : 1); !st) (void)t->setOrder(1);
  (void)t->goTop();
  ui::LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro De Empleados)";
  o.headers = {"Codigo", "Descripcion"};
  o.widths = {90, 220};
  o.codeField = "CODIGO";
  o.nameField = "NOMBRE";
  o.searchWidth = 40;
  // A list tall enough to read ten rows at once (the common 60 units show four).
  o.listHeight = 150;
  std::string code = c.code;
  if (!ui::lookupList(tk, *t, o, &code)) return false;
  c.code = padTo(code, 10);
  return true;
}

void CONSULTABANCOS(Session& s, ui::Toolkit& tk, EmployeeChoice& c, int mode, ui::Dialog* dlg) {
  if (mode != 5 && mode != 6) return;
  if (!KYLAYU(s, tk, c, mode)) return;
  Table* t = s.alias(kEmployeesAlias);
  if (!t || t->eof()) return;
  c.code = padTo(t->str("CODIGO"), 10);
  c.name = t->str("NOMBRE");
  c.costCentre = padTo(t->str("CCOSTO"), 6);
  if (!dlg) return;
  if (ui::Label* l = dlg->labelById(551)) l->refresh();
  if (ui::Field* f = dlg->fieldById(102)) {
    f->refresh();
    f->setFocus();
  }
}

void employeeControls(ui::Dialog& dlg, Session& s, ui::Toolkit& tk, EmployeeChoice& c,
                      std::function<bool()> validate) {
  dlg.label(101).colors(ui::color::kBlue, ui::color::kFace);
  ui::Label* name = &dlg.label(551).text([&c] { return c.name; }).colors(ui::color::kNavy, ui::color::kSilver);
  dlg.field(102, ui::ref(c.code))
      .picture("@!")
      .colors(ui::color::kNavy, ui::color::kCyan)
      .valid([name, validate = std::move(validate)] {
        if (!validate()) return false;
        name->refresh();
        return true;
      });
  dlg.image(301, "Buscar", [&s, &tk, &c, &dlg] { CONSULTABANCOS(s, tk, c, 5, &dlg); }).tooltip("Buscar");
}

void employeeDialog(Session& s, ui::Toolkit& tk, const std::string& title, EmployeeChoice& c,
                    const std::function<void()>& print) {
  ui::Dialog dlg(tk, "RepP401", title);
  dlg.setColors(ui::color::kBlack, ui::color::kFace);
  employeeControls(dlg, s, tk, c, [&] { return reports::CODPER(s, c.code, &c.name, &c.costCentre); });
  dlg.button(109, [&] {
       print();
       dlg.end();
     }).defaultButton();
  dlg.button(110, [&] { dlg.end(); });
  dlg.activate();
  s.closeAll();
}

void F_P401(Session& s, ui::Toolkit& tk) {
  reports::PayslipValues values;
  if (!reports::checkPayslipPreconditions(s, values)) return;
  EmployeeChoice c;
  employeeDialog(s, tk, "Reporte De Boletas", c, [&] { reports::PREP401(s, c.code, values, c.costCentre); });
}

}  // namespace planilla::reports
