// The general employee master (F_PJLG01): pmae01<cia>, every employee of the company
// with personal data, pay terms and pension, bank and tax settings; its employee form
// (template EditEmple) with the one-letter and range validations, the pension-fund
// lookup, and the employee listing that the active-employee screen prints too.
//
// The screen opens the master as `Emplea` in work area 1 and the code tables the form
// lists in areas 2 to 10 (`Situac`, `Afps`, `Costos`, `Bancos`, `Tipos`, `Catego`,
// `DocIde`, `MovPer`, `Unica`).
#pragma once

#include <string>
#include <vector>

#include "session/session.h"
#include "store/value.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// The values of the employee form, each as wide as its field.
struct EmployeeForm {
  std::string codigo = std::string(10, ' ');
  std::string nombre1 = std::string(20, ' '), nombre2 = std::string(20, ' ');
  std::string apelli1 = std::string(20, ' '), apelli2 = std::string(20, ' ');
  std::string direccion = std::string(60, ' ');
  Date fech_nac, fech_ing, fcese, fech_afp, fechasitua;
  std::string telefono = std::string(10, ' ');
  std::string electoral = std::string(8, ' ');
  std::string cargo = std::string(40, ' ');
  std::string carnet = std::string(15, ' ');
  std::string sexo = " ";
  std::string Retri = "1";
  std::string nacion = std::string(20, ' ');
  std::string tiptrab = "  ";
  double bas_men = 0, asigna = 0, esvida = 0, gratif = 0, imp5ta = 0, dia_tra = 0;
  std::string quinta = " ";
  int control = 1;
  std::string dolar = " ", seguroafp = " ";
  std::string DocIden = " ", MovPer = " ";
  std::string Plani = std::string(6, ' ');
  std::string codafp = std::string(6, ' ');
  std::string fundName;  // display 551
  std::string banco = std::string(4, ' ');
  std::string nroafp = std::string(12, ' ');
  std::string ctacte = std::string(25, ' ');
  std::string situacion = "  ";
  std::string ccosto = std::string(6, ' ');
  std::string tienecta = " ";
  std::string catego = "  ";
};

// The derived full name: surname 1, a blank, surname 2, a comma and a blank, name 1, a
// blank, name 2, each without its trailing blanks, cut or padded to 50.
std::string employeeName(const std::string& apelli1, const std::string& apelli2, const std::string& nombre1,
                         const std::string& nombre2);

// The screen "Mantenimiento Maestro De Empleados" (template ManteP02). Refuses to open
// while one of the code tables it lists is missing; creates the master on first use.
// Was the employee under the master's cursor on the payroll at some day from `from`
// to `to`? Hired by `to` (no hire date: yes) and not gone before `from`: an employee
// marked as left ("baja") counts only with a termination date from `from` on.
bool activeBetween(const Table& master, const Date& from, const Date& to);

void F_PJLG01(Session& s, ui::Toolkit& tk);
// Its message bar and button bar: add, modify, search, delete, print, additional data
// ("Datos Adicionales", the second record of the employee under the cursor), exit.
void BUIL01EMPLE(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br);
// Add an employee ("Adicionar Registro") / modify the one under the cursor
// ("Modificar Registro"), both on the form EditEmple.
void EDITEMPLEA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODIEMPLEA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
// Search: input box "Buscar", "Codigo ", 6 characters, sought as the leading part of
// the employee code; not found "Codigo " + text + " No Existe" (title "Stop").
void seekGeneralEmployee(Session& s, ui::Toolkit& tk, ui::Browse& br);

// The fifth-category radio changed: the fixed amount becomes 0; with 1 ("Ingresar
// Dato") its field 183 is enabled and takes the focus, with 2 it is disabled and the
// focus goes to the currency field 144.
void CCAM05(ui::Dialog& dlg, int control, double& amount);

// One-letter validations (message with the title "Stop"; false keeps the focus).
bool CODSEX(Session& s, const std::string& v);    // "M" or "F"
bool CODRET(Session& s, const std::string& v);    // "1" or "2"
bool CODEURO(Session& s, const std::string& v);   // "S", "D" or "E"
bool INDICA02(Session& s, const std::string& v);  // blank, "F" or "N"
// Range validations: "Rango Fuera De Parametro" in a warning box titled "Error En
// Ingreso De Dato". COD01TRA 0 to 31 (range kinds 1 and 2), COD02TRA 0 to 240,
// COD03TRA 0 to 31.
bool COD01TRA(Session& s, double value, int kind);
bool COD02TRA(Session& s, double value);
bool COD03TRA(Session& s, double value);
// The pension-fund code: blank is accepted; otherwise `Afps` is sought with the
// working month + code; found puts the fund's name into `name` (and refreshes display
// 551 of `dlg`), not found shows "Codigo Afp  " + code + " No Existe".
bool COD01PER(Session& s, const std::string& code, std::string& name, ui::Dialog* dlg = nullptr);

// The pension-fund lookup "Ventana De Ayuda (Maestro De Afps)" over `Afps` (lookup
// number 6; any other number does nothing and returns false). "&Selecciona" puts the
// row's code into `code`; true when a fund was chosen.
bool KYLPLAAYU(Session& s, ui::Toolkit& tk, std::string& code, int n);
// The lookup from the form: on a choice the form takes the row's code and name,
// refreshes the code field 126 and display 551 and puts the focus on the code.
void CONSULTAPLABANCOS(Session& s, ui::Toolkit& tk, EmployeeForm& f, int n, ui::Dialog* dlg);

// The employee listing "Maestro Empleado" (landscape) over the list's table, from the
// record under the cursor to the end.
void IMPREMPLEA(Session& s, ui::Browse& br);
// The same over an employee table no list shows, from its current record.
void IMPREMPLEA(Session& s, Table& t);

// A table an employee screen needs: tested in order before the screen opens, then
// opened in work areas 2 on under its alias.
struct ScreenTable {
  catalog::TableId id;
  const char* alias;
  const char* missing;  // the message when the file is not there
};

// The opening steps both employee screens share: a chosen period, every needed table
// present (else its message, in an alert box when `alert`, otherwise a stop box), the
// screen's own table `own` created on first use and opened in area 1 as "Emplea", the
// needed ones in areas 2 on. Returns the own table, selected and at its top, or nullptr
// after a message with every table closed.
Table* openEmployeeScreen(Session& s, catalog::TableId own, const std::vector<ScreenTable>& needed, bool alert);

}  // namespace planilla::masters
