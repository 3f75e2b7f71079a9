// The active employees of the month (F_PJLG02): p9<mes><ano><cia>, a copy of the
// general master taken when the month is first opened, without the terminated
// employees. The operator sets the month's figures in it (days worked, absences,
// subsidised days, late arrivals, hours, real days of the month) and may adjust pay
// terms for the month only; the payroll calculation reads it.
//
// The screen opens the month's table as `Emplea` in work area 1, the code tables the
// form shows in areas 2 to 7 (`Situac`, `Afps`, `Costos`, `Bancos`, `Tipos`, `Cate`)
// and the general master as `TabGen` in area 8.
#pragma once

#include <string>

#include "session/session.h"
#include "store/table.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// The screen "Mantenimiento Maestro De Empleados Activos" (template ManteP03). Creates
// the month's table from the general master on the first opening of the month.
void F_PJLG02(Session& s, ui::Toolkit& tk);
// The month's data of the employee under the cursor (template EditActi).
void XMODIEMPLEA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
// Adds every employee of the general master that is neither terminated nor already in
// the month; the employees already there are left as they are.
void XREFRES(Session& s, ui::Browse& br);
// Adds one employee chosen from the general master ("Adicionar OneRefresh").
void XONEREFRES(Session& s, ui::Toolkit& tk, ui::Browse& br);
// The choice of XONEREFRES: refused when the employee is already in the month ("Trabajador
// " + code + " Ya Existe en Esta Planilla"), terminated ("Trabajador  " + code + "  Dado de
// Baja") or not in the general master; accepted otherwise, with the master's code and
// name read into `code` and `name`. A blank choice is let through (the dialog's
// accept then says "Codigo  En Blanco").
bool CODONEREFRESH(Session& s, Table& active, Table& master, std::string& code, std::string& name);
// Sets the real days of the working month (31, 28, 31, 30 ...) for every active
// employee; nothing for a month outside 01 to 12.
void DIASREAL(Session& s, ui::Browse& br);
// In February: 29 real days for every active employee; in any other month nothing.
void BISIESTOS(Session& s, ui::Browse& br);
// Search: input box "Buscar", "Codigo ", 10 characters; not found "Codigo " + code + "
// No Existe" (warning box).
void SEEKEMPLEA(Session& s, ui::Toolkit& tk, ui::Browse& br);

// Days of a working month ("01" .. "12"), 0 for any other text.
int daysOfMonth(const std::string& month);

}  // namespace planilla::masters
