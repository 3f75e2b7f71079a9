// The payslip of one employee for the working month ("BOLETA DE REMUNERACIONES"):
// the checks of the menu action F_P401 and the writer PREP401; and the gratification
// payslip of the July and December gratification (F_P403's checks, PREP403), which
// follows the payslip with its own set of lines.
//
// Flow: checkPayslipPreconditions() (F_P401 up to its dialog) leaves the tables the
// writer reads open in the session's work areas and keeps the institution values;
// the dialog validates the code with CODPER (which yields the cost centre); its print
// button calls PREP401, which writes "Test.rpv" and starts the viewer.
#pragma once

#include <string>

#include "session/session.h"
#include "reports/institution.h"

namespace planilla::reports {

// Values F_P401 keeps for the writer.
struct PayslipValues {
  InstitutionData institution;
  std::string firma;          // signature choice (first character "1", "2" or other)
  bool vacationOpen = false;  // the month's vacation roll exists and is open
};

// Steps 1 to 5 of F_P401. On refusal shows its stop box (title "Stop"), closes the
// tables and returns false. On success the employee master (alias RepEmplea, order 1
// by code, order 2 by name), the payroll results (RepFijos), the worker types (Tipos)
// and, when its file exists, the vacation roll (DatVac) are open.
bool checkPayslipPreconditions(Session& s, PayslipValues& out);

// CODPER: the code validation of the employee dialog. Seeks `code` in RepEmplea by
// code; found: sets `name` and `costCentre` and accepts. Not found: the alert
// "Codigo Empleado  " + code + " No Existe" titled "Error En Ingreso De Dato"; refused.
bool CODPER(Session& s, const std::string& code, std::string* name, std::string* costCentre);

// PREP401: writes the payslip(s) of `code` into "Test.rpv" in the data directory and,
// when `startViewer`, starts the report viewer. Refusals ("Trabajador ... No Existe",
// "Trabajador  ... Sin Boleta ") show a stop box before the report file is touched.
// A report file that cannot be written, or a viewer that cannot be started, is
// reported too. Closes every table. Returns true when the report file was written.
bool PREP401(Session& s, const std::string& code, const PayslipValues& values, const std::string& costCentre,
             bool startViewer = true);

// F_P403's checks: as checkPayslipPreconditions with the gratification results of the
// month (he<cia><mes><ano>, alias RepFijos) instead of the payroll results, no vacation
// roll, and the refusals titled "Lea El Mensaje".
bool checkGratiSlipPreconditions(Session& s, PayslipValues& out);

// PREP403: the gratification payslip(s) of `code`. `shownName` is the name the dialog
// shows (it names the employee in "Trabajador ... Sin Boleta Gratificacion ").
bool PREP403(Session& s, const std::string& code, const std::string& shownName, const PayslipValues& values,
             const std::string& costCentre, bool startViewer = true);

}  // namespace planilla::reports
