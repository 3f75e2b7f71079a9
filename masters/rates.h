// Rates and percentages of the company (F_PJLG05): the one parameter record of
// pmae05<cia> shown in the form "Datos" and saved under a short record lock.
#pragma once

#include <array>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// The parameter screen. Refuses with "Primero Ingrese Fecha" when the working date has
// not been chosen; creates the table with its one blank record on first use.
void F_PJLG05(Session& s, ui::Toolkit& tk);

// Validation of the "U.I.T." field: a negative value shows "Importe Debe Ser Mayor Que
// Cero" ("Mensaje") and is refused; otherwise the five bracket limits become 5, 20, 35,
// 45 and 45 times the value, rounded to 2 decimals. A value whose limits would not fit
// their fields (more than 9,999,999.99) is refused with "Importe Fuera De Rango".
bool IMPUIT2(Session& s, double uit, std::array<double, 5>& limits);

}  // namespace planilla::masters
