// "Estado Del Mes": where the working month stands, one line per step of the month
// (the inputs, the runs, the statutory files, the payslips), each with its state and
// the screen that does it. Read from what the program already keeps: the month's
// tables, the change log (last change of the inputs), the run register (runs and
// exports with time and user) and the payslip delivery register.
#pragma once

#include <string>
#include <vector>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::shell {

// The states of a line.
inline constexpr const char* kStepDone = "Hecho";
inline constexpr const char* kStepPending = "Pendiente";
inline constexpr const char* kStepStale = "Desactualizado";
inline constexpr const char* kStepEmpty = "Sin Datos";
inline constexpr const char* kStepStopped = "Detenido";

struct MonthStep {
  std::string step;      // "Calculo De Planilla"
  std::string state;     // one of the states above
  std::string detail;    // "05/12/2026 10:31:02 Por QTR (PC-01), 12 Trabajadores"
  std::string function;  // the screen that does it ("F_P301")
};

// The checklist of the session's period, in the order the month is worked:
// active employees, the entries, the vacation roll, in July and December the
// gratification roll and run (before the payroll), the payroll run, PLAME, AFPnet,
// the bank files and the payslips. A run is "Desactualizado" when its inputs
// changed after it (the change log against the run register), an export or the
// payslips when the payroll was calculated again after them, and the payroll of
// July or December when the gratification was calculated after it or not yet.
std::vector<MonthStep> monthChecklist(Session& s);

// The screen (template EstadoMes): the list; "&Abrir" or a double click opens the
// line's screen through `open` and reads the list again; the check box keeps the
// operator's choice of seeing it when the working date is chosen.
void F_ESTMES(Session& s, ui::Toolkit& tk, const std::function<void(const std::string& function)>& open);

// After the working date was accepted on the desktop: the checklist, unless the
// operator chose not to see it then.
bool showMonthStatusOnOpening(const Session& s);

}  // namespace planilla::shell
