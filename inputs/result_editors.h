// The screens over what the calculation runs wrote for the month: F_SUELDOS lists the
// payroll results (e2<cia><mes><ano>) with a read-only detail per employee; F_GRATIFI
// lists the gratification results (he<cia><mes><ano>) and lets the operator add, change
// and delete records by hand, the form's totals following the amounts typed. A new run
// of the month replaces both tables, hand changes included.
//
// They live with the input screens because they are built from the same pieces (the
// code check, the employee lookup, the search); the runs themselves are in calc/.
// Both open the result table as `HorMovExt` in work area 1 and the general master as
// `HorEmplea` in area 2.
#pragma once

#include <array>
#include <string>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::inputs {

// "Archivo De Sueldos Mensual " + month name (template Mante041).
void F_SUELDOS(Session& s, ui::Toolkit& tk);
// "Consulta Detallada Del Trabajador" (template EditSueldo): every amount shown, nothing
// written whatever button closes it.
void MODISUELDO(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);

// "Archivo De Gratificacion " + month name (template Mante04).
void F_GRATIFI(Session& s, ui::Toolkit& tk);
void EDITGRATIF(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODIGRATIF(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);

// The 24 amounts of the form, in the order of its fields 104, 106, ... 150.
struct ResultForm {
  std::array<double, 24> v{};
  double& at(int control) { return v[static_cast<size_t>((control - 104) / 2)]; }
};
// The checks of the amount fields: a negative amount shows "Importe Debe Ser Mayor Que
// Cero" ("Mensaje") and is refused. Otherwise SUELDO01 (income 104 to 122) sets the gross
// 142 to the sum of the ten incomes and the net 150 to gross less the deductions total
// 140; SUELDO02 (deductions 124 to 138) sets 140 to the sum of the eight deductions and
// the net; SUELDO03 (144, 146) sets the contributions total 148. The dialog's totals are
// refreshed when `dlg` is given.
bool SUELDO01(Session& s, ResultForm& f, double amount, ui::Dialog* dlg = nullptr);
bool SUELDO02(Session& s, ResultForm& f, double amount, ui::Dialog* dlg = nullptr);
bool SUELDO03(Session& s, ResultForm& f, double amount, ui::Dialog* dlg = nullptr);

}  // namespace planilla::inputs
