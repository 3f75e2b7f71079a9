// The master screens as menu entries, for the application shell: one function per
// entry of the main menu's masters branch, each taking the session and the toolkit.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::masters {

struct ScreenEntry {
  std::string function;  // "F_BJLG01", "F_PJLG04(1)" ...
  std::string caption;   // the menu caption ("&Bancos" ...)
  std::function<void(Session&, ui::Toolkit&)> run;
};

// In menu order: "&Centro De Costos" F_PJLG04(1), "&Situacion" F_PJLG04(7),
// "&Porcentajes" F_PJLG05, "&Bancos" F_BJLG01, "&Tipo De Cambios" F_PJLG11,
// "Maestro De A.&F.P." F_PJLG06, "&Tipo Trabajador" F_PJLG04(8),
// "Ti&po Pensionista/Prestador Servicios" F_PJLG04(3), "Tipo Documento &Identidad"
// F_PJLG04(9), "Tipo &Movimiento Personal" F_PJLG04(10), "&Planilla Unica" F_PJLG04(2);
// then the annual tables "Tabla Antes De &Planilla" F_PJLG20, "Tabla De &Haberes"
// F_PJLG21(1), "Tabla De &Retenciones" F_PJLG21(2), "Tabla De &Aportes" F_PJLG19.
const std::vector<ScreenEntry>& masterScreens();

// The entry of a function name ("F_PJLG04(8)"); nullptr when there is none.
const ScreenEntry* findScreen(const std::string& function);

}  // namespace planilla::masters
