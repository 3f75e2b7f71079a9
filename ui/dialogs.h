// Dialogs the toolkit offers ready-made: the input box (MSGGET) and the lookup list
// (help window) with its incremental key search.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/toolkit.h"

namespace planilla::ui {

// Input box: a small dialog (text rows 10 to 18, columns 20 to 59.5) titled `title`
// with `prompt` as a label, one field of 120 x 12 bound to a copy of `var` and the
// buttons "&Aceptar" (default) and "&Cancelar" of 42 x 12. With an image it stands at
// the top left and the label and field move right. "&Aceptar" stores the edited value
// in `var` and returns true; "&Cancelar" or closing leave `var` as it was and return
// false.
// Text variables keep their width; `picture` applies to the field.
bool MSGGET(Toolkit& tk, const std::string& title, const std::string& prompt, std::string& var,
            const std::string& image = "", const std::string& picture = "");
bool MSGGET(Toolkit& tk, const std::string& title, const std::string& prompt, double& var,
            const std::string& image = "", const std::string& picture = "");
bool MSGGET(Toolkit& tk, const std::string& title, const std::string& prompt, Date& var,
            const std::string& image = "", const std::string& picture = "@e");

// Geometry and columns of a lookup list. The defaults are the common help window:
// rows 2 to 19, columns 2 to 60, an upper-case input field of 40 characters at row 1
// column 6, a list of 215 x 60 at row 2.5 column 1 with "Codigo" (90 pixels) and
// "Descripcion" (220 pixels), and the buttons "&Selecciona" (column 7, default) and
// "&Cancela" (column 20) of 40 x 12 at row 9.
struct LookupOptions {
  std::string title;  // "Ventana De Ayuda (Maestro De ...)"
  std::vector<std::string> headers{"Codigo", "Descripcion"};
  std::vector<int> widths{90, 220};
  std::string codeField = "CODIGO";  // copied into the caller's code on "&Selecciona"
  std::string nameField = "NOMBRE";
  // Column values of the current record; default: codeField and nameField.
  std::function<std::vector<std::string>()> line;
  int searchWidth = 40;  // characters of the input field; 0: no input field
  double top = 2, left = 2, bottom = 19, right = 60;
  double listRow = 2.5, listCol = 1, listWidth = 215, listHeight = 60;
  double buttonRow = 9, selectCol = 7, cancelCol = 20;
  // Only the records for which this is true are listed (e.g. the employees active in
  // a period); the search then looks for the typed name among them.
  std::function<bool()> filter;
};

// Identifiers of the lookup list's controls (for tests and key hooks).
inline constexpr int kLookupSearchId = 1001;

// Shows the lookup list over `table` in its controlling order, from the table's
// current position (callers go to the first record first). "&Selecciona" copies the
// current row's code field into `code` (when given), ends and returns true; a
// double-click ends and returns true leaving the row current; "&Cancela" or closing
// return false. The table is left on the row the operator chose.
bool lookupList(Toolkit& tk, Table& table, const LookupOptions& options, std::string* code);

// Incremental search of a lookup list (key-down hook of its input field): for a key
// code from 32 to 255, the field's text before the key, trimmed, plus the key's
// character is sought on the list's controlling order. Found: the list is
// re-synchronised on the found record. Not found: the table goes back to the record
// it was on. Other key codes do nothing.
void KAPTURAKEY(int key, Dialog& dlg, Browse& list, Field& field);

// --- lists to a spreadsheet ---------------------------------------------------------------
// The list as shown, every row in its order, with typed cells: a right-aligned value
// that reads as a number is a number (with the decimals shown), a "dd/mm/yyyy" value
// a date, the rest text; and the totals line when the list has one.
ListSheet listSheet(Browse& list);
// "Exportar A Hoja De Calculo": asks where (proposing `<name>.xlsx` in the data
// directory, the name the list's exportName or else taken from the dialog's title),
// writes with the toolkit's spreadsheet writer and says where it went. False when
// cancelled or not written (the message says why; an earlier file is left whole).
bool exportList(Toolkit& tk, Browse& list);
// A file name made of `title`'s words: lower case, letters and digits, joined by "_"
// ("Maestro De Empleados" -> "maestro_de_empleados"); accents dropped.
std::string fileNameOf(std::string_view title);

}  // namespace planilla::ui
