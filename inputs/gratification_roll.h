// The gratification roll (F_PFMR203): ge<cia><mes><ano>, copied from the roll template
// pbase14, at most one record per employee with the months and days that count for the
// July or December gratification, a discount, the fifth-category tax withheld on it and
// the amount already paid in advance ("Ley 29351"). The gratification run computes one
// result per record.
//
// The screen opens the roll as `Gratif` in work area 1 and the general master as
// `Emplea` in area 2.
#pragma once

#include <string>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::inputs {

// "Ingreso Rol De Gratificaciones" + month name (template Mante04). Outside July and
// December it warns and opens all the same.
void F_PFMR203(Session& s, ui::Toolkit& tk);
// Add a record (template EditGrati, the employee chosen from a list) / modify the one
// under the cursor (template ModiGrati, the employee fixed).
void EDITGRATIE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODIGRATIE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);

// The employee chosen: refused with "Codigo " + code + " Existe" ("Stop") when the
// roll already holds the code (the roll's position kept); otherwise the master's code
// and name are taken when it has the employee (false, silently, when not). A blank
// choice passes, so that saving says "Codigo En Blanco".
bool CODVACEMP(Session& s, std::string& code, std::string& name);
// Days counted: 0 to 29, else "Rango Fuera De Parametro" (alert, "Error En Ingreso De Dato").
bool CODPROGRA(Session& s, double days);
// The three amounts: not negative, else "Descuento Fuera De Rango  " (alert).
bool IMPGRA(Session& s, double amount);
// The indicator: "S" or "N", else "Error , Ingrese  [S=Si] o [N=No]" ("Lea   El   Mensaje").
bool INDICA01(Session& s, const std::string& indicator);

}  // namespace planilla::inputs
