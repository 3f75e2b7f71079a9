// The application shell: the program's entry (XXMAIN) with its login dialog, the main
// window with its menu and button bar, the About box and the working-date dialog, with
// the lookup list it opens. The screens of the subsystems live in their folders.
//
// Every function takes the session and the toolkit it shows its dialogs on; none of
// them knows which backend that is (Qt on the desktop, the scripted one in tests).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::shell {

// --- start-up ---------------------------------------------------------------------------
// The maker's banner: the message bar of the main window, the message of "A&cerca De"
// and the About box's title.
extern const char* const kBanner;

// Program entry: process settings, the login dialog ACCESO1, then the main window
// until it is closed. Returns the process exit code: 0 after a normal end or a
// cancelled login, 1 when the users file is missing (the program ends at once).
int XXMAIN(Session& s, ui::Toolkit& tk);

// The login dialog ACCESO1 ("Sistema Varmond"); returns s.LACCESO. Ends early, with
// s.endRequested set, when the users file is missing.
bool loginDialog(Session& s, ui::Toolkit& tk);

// About box (template ACERCATHKYL): the maker's contact data, read only.
void XMAINXXX(Session& s, ui::Toolkit& tk);

// "&Salir" and the exit button: closes the main window and every table, without
// confirmation.
void XEXIT(Session& s, ui::MainWindow& w);

// --- main menu and button bar -----------------------------------------------------------
// One line of the command table: a submenu, an entry or a separator at a nesting depth.
// `function` names the screen function an entry calls ("F_P301", "F_PJLG04(8)");
// empty for the entries that have no action.
struct MenuRow {
  enum class Kind { Submenu, Entry, Separator };
  int depth;
  Kind kind;
  const char* caption;
  const char* message;
  const char* image;
  const char* function;
};
struct BarRow {
  const char* image;
  const char* image2;
  const char* message;
  const char* tooltip;
  bool group;
  const char* function;
};
// The menu bar and the button bar as tables (texts in UTF-8; the window gets them in
// Windows-1252).
const std::vector<MenuRow>& menuRows();
const std::vector<BarRow>& barRows();

// The action of a screen function name for the main window `w`: empty for an empty
// name (the entry is inert); for a screen not part of this build, the message "Opcion
// En Desarrollo" (title "Mensaje").
std::function<void()> screenAction(const std::string& function, Session& s, ui::Toolkit& tk, ui::MainWindow& w);

// CREARMENU: builds the menu tree of the main window.
void CREARMENU(ui::MainWindow& w, Session& s, ui::Toolkit& tk);
// The eight buttons of the main window's button bar.
void buildButtonBar(ui::MainWindow& w, Session& s, ui::Toolkit& tk);

// --- working date ------------------------------------------------------------------------
// Working-date dialog (ELEGIRCIA "Elija Compañia"): company code (CHEKCIA), lookup
// (CONSULCIA), working date (FECRETE). On acceptance updates the institution record,
// the globals and the main window's title (`owner`, when given). True when a working
// date was accepted.
bool F_I00001(Session& s, ui::Toolkit& tk, ui::MainWindow* owner = nullptr);

// The institution lookup "Ventana De Ayuda (Maestro De Institucion)" over the table
// open under alias xSeteoCia, from its first record. "&Selecciona" copies COD_CIA into
// YCIA; true when a row was chosen (the table stays on it).
bool KYL202CIA(Session& s, ui::Toolkit& tk, int selector);
// Action of the lookup button of the working-date dialog: on a choice, YCIA and
// YNOMBRE1 come from the chosen row, and the code field and the name label of `dlg`
// (102 and 551) are refreshed, the focus going to the code field.
void CONSULCIA(Session& s, ui::Toolkit& tk, int selector, ui::Dialog* dlg);
}  // namespace planilla::shell
