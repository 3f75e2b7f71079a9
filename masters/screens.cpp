#include "masters/screens.h"

#include "masters/active_employees.h"
#include "masters/employees.h"
#include "masters/annual_tables.h"
#include "masters/exchange_rates.h"
#include "masters/pension_funds.h"
#include "masters/rates.h"
#include "masters/reference_tables.h"

namespace planilla::masters {

namespace {
ScreenEntry codeTable(int selector, const char* caption) {
  return {"F_PJLG04(" + std::to_string(selector) + ")", caption,
          [selector](Session& s, ui::Toolkit& tk) { F_PJLG04(s, tk, selector); }};
}
}  // namespace

const std::vector<ScreenEntry>& masterScreens() {
  static const std::vector<ScreenEntry> k = {
      codeTable(1, "&Centro De Costos"),
      codeTable(7, "&Situacion"),
      {"F_PJLG05", "&Porcentajes", [](Session& s, ui::Toolkit& tk) { F_PJLG05(s, tk); }},
      {"F_BJLG01", "&Bancos", [](Session& s, ui::Toolkit& tk) { F_BJLG01(s, tk); }},
      {"F_PJLG11", "&Tipo De Cambios", [](Session& s, ui::Toolkit& tk) { F_PJLG11(s, tk); }},
      {"F_PJLG06", "Maestro De A.&F.P.", [](Session& s, ui::Toolkit& tk) { F_PJLG06(s, tk); }},
      codeTable(8, "&Tipo Trabajador"),
      codeTable(3, "Ti&po Pensionista/Prestador Servicios"),
      codeTable(9, "Tipo Documento &Identidad"),
      codeTable(10, "Tipo &Movimiento Personal"),
      codeTable(2, "&Planilla Unica"),
      // Employees: the general master and the active employees of the month.
      {"F_PJLG01", "&Empleados General", [](Session& s, ui::Toolkit& tk) { F_PJLG01(s, tk); }},
      {"F_PJLG02", "Empleados &Activos", [](Session& s, ui::Toolkit& tk) { F_PJLG02(s, tk); }},
      // "Tablas &Varias  ": the annual per-employee amount tables.
      {"F_PJLG20", "Tabla Antes De &Planilla", [](Session& s, ui::Toolkit& tk) { F_PJLG20(s, tk); }},
      {"F_PJLG21(1)", "Tabla De &Haberes", [](Session& s, ui::Toolkit& tk) { F_PJLG21(s, tk, 1); }},
      {"F_PJLG21(2)", "Tabla De &Retenciones", [](Session& s, ui::Toolkit& tk) { F_PJLG21(s, tk, 2); }},
      {"F_PJLG19", "Tabla De &Aportes", [](Session& s, ui::Toolkit& tk) { F_PJLG19(s, tk); }},
  };
  return k;
}

const ScreenEntry* findScreen(const std::string& function) {
  for (const auto& e : masterScreens()) {
    if (e.function == function) return &e;
  }
  return nullptr;
}

}  // namespace planilla::masters
