// The vacation roll of the month (F_PFMR202): ve<cia><mes><ano>, copied from the roll
// template pbase14, one period inside the working month per record. The monthly run
// pays the days taken of the records added here (CONTROL 1) and counts them towards the
// month's proportional gratification; the payslip prints the period.
//
// The screen opens the roll as `Vacaci` in work area 1, the general master as
// `HorEmplea` in area 2 and the month's active employees as `MaeAct` in area 4.
#pragma once

#include <string>

#include "session/session.h"
#include "store/value.h"
#include "ui/toolkit.h"

namespace planilla::inputs {

// "Rol De Vacaciones " + month name (template Mante04).
void F_PFMR202(Session& s, ui::Toolkit& tk);
// Add a period / modify the one under the cursor (template EditVacaE).
void EDITVACACE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODIVACACE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);

// The days of the dialog: the days text shown by label 108 and the February days.
struct VacationDays {
  std::string text = "  ";
  double difvac = 0;
};
// The first day: "Ingrese Fecha" when empty, "Mes Debe ser Coincidente Con Mes del
// Cierre de la Planilla" when outside the working month (both "Stop").
bool CCAM01(Session& s, const Date& first);
// The last day: the same two checks, then "Dia Debe ser Mayor/Igual a Dia de Inicio de
// Vacaciones" before the first day; accepted, the days taken become the text (and in
// February the February days: 30 above 27 days taken, else the days taken).
bool CCAM02(Session& s, const Date& first, const Date& last, VacationDays& days);

}  // namespace planilla::inputs
