// The exports of the working month as runs (for the screens and the command line) and
// as menu entries: the PLAME files, the AFPnet upload, its summary, the employees
// outside the funds and the payroll spreadsheet.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::exports {

enum class Export { Plame, Afpnet, Payroll };

// Writes the files of `which` for the session's month into `dir` (the data directory
// when empty). Shows its stop boxes through the session (missing working date or
// results, data gaps listed one per employee, a write failure) and leaves no file
// behind then. `written` receives the paths written. True on success.
bool runExport(Session& s, Export which, const std::string& dir, std::vector<std::string>& written);

// The two AFPnet reports: write "Test.rpv" in the data directory and, when
// `startViewer`, show it. True when the report file was written.
bool runAfpnetSummary(Session& s, bool startViewer);
bool runNonAffiliated(Session& s, bool startViewer);

struct ScreenEntry {
  std::string function;  // "F_AFPNET01" ...
  std::string caption;   // the menu caption
  std::function<void(Session&, ui::Toolkit&)> run;
};

// "Generacion &Planilla Unica" F_AFPNET01, "&Resumen De AFPNet" F_AFPNET02, "&Empleados
// No Afiliados" F_AFPNET03, "Exportar Planilla Mensual" F_AFPNET04, the PLAME files
// "Archivos P&LAME Del Mes" F_PLAME01 and the registration files of the hires and
// leavers "Archivos &T-Registro" F_TREG01 (the days asked, the working date offered).
// The file entries close with "Archivos Generados:" and the paths. The bank transfer
// files "Archivos De &Pago Al Banco" F_BANCO01 and the company's charge accounts
// "Cuentas De &Cargo Bancarias" F_BJLG02 (exports/bank_screens.h).
const std::vector<ScreenEntry>& exportScreens();
const ScreenEntry* findScreen(const std::string& function);

}  // namespace planilla::exports
