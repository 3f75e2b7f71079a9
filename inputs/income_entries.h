// The month's entries per employee (F_PFMR201): ph<cia><mes><ano>, overtime hours at
// the two rates, other income and other deductions, which the monthly payroll run reads
// (the first entry a seek by code finds). The screen opens the entries as `HorMovExt` in
// work area 1 and the general master as `HorEmplea` in area 2.
#pragma once

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::inputs {

// "Ingreso De Datos Mensual " + month name (template Mante04I: Mante04 with the
// import button).
void F_PFMR201(Session& s, ui::Toolkit& tk);
// Add an entry / modify the one under the cursor (template EditHoraE). The modify
// dialog keeps SUMINI as read; the add dialog writes it as zero.
void EDITHORASE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODIHORASE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
// "&Impresion": the month's entries, every one of the table in its order, as a
// landscape listing ("Ingresos Del Mes") in the viewer; the cursor stays where it was.
void printIncomeEntries(Session& s, ui::Browse& br);
// "Im&portar" (108, "Importar Desde Hoja De Calculo"): the file asked for, checked
// whole and previewed (template ImportHoja), then every row written or none
// (inputs/sheet_import.h). The cursor goes back where it was.
void IMPORTHOR(Session& s, ui::Toolkit& tk, ui::Browse& br);

}  // namespace planilla::inputs
