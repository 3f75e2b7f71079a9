// The banks master (F_BJLG01) and the simple code tables of F_PJLG04: cost centres,
// "Planilla Unica" codes, situations, worker types, pensioner or service-provider
// types, identity-document types and personnel-movement types. Both are maintenance
// screens (masters/maintenance.h) over a table of code, name and "code name" text.
//
// The operations taking a browse list work on the list's table, which the screen
// opened in work area 1 under the alias "Costos".
#pragma once

#include <cstdint>
#include <string>

#include "session/session.h"
#include "store/catalog.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// --- banks ------------------------------------------------------------------------------
// The banks maintenance screen "Maestro de Bancos" over bmae01<cia>.
void F_BJLG01(Session& s, ui::Toolkit& tk);
// Its message bar and button bar (add, modify, search, delete, print, exit).
void BUILD01BANC(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br);
// Add a bank ("Adicionar Registro", template EditBanco).
void EDITBANCOS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
// Modify the bank under the cursor ("Modificar Registro").
void MODIBANCOS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
// Find a bank by code (input box "Buscar", "Codigo ", 4 characters).
void SEEKBANCOS(Session& s, ui::Toolkit& tk, ui::Browse& br);
// Listing of the banks from the cursor to the end ("Maestro de Bancos").
void IMPRBANCOS(Session& s, ui::Browse& br);
// The currency choice "Soles " / "Dolar " (any letter case) as its letter "S" / "D";
// any other text leaves `currency` as it was. Always lets the focus leave.
bool MONEDA(const std::string& comboText, std::string& currency);

// --- key validations of the code fields ---------------------------------------------------
// Add dialogs: a blank code shows "Campo En Blanco", a code found in `t` "Dato  Existe"
// (both "Mensaje"); false keeps the focus.
bool CHEC01(Session& s, Table& t, const std::string& code);
// Modify dialogs: blank -> "Campo  En Blanco"; found on a record other than `recno` ->
// "Codigo  " + code + " Existe" (both "Mensaje"); the table goes back to `recno`.
bool CHEC012(Session& s, Table& t, const std::string& code, uint32_t recno);

// --- code tables ------------------------------------------------------------------------------
struct CodeTableInfo {
  int selector = 0;
  catalog::TableId id{};
  std::string title;  // screen title ("Maestro Centro De Costos" ...)
};
// The code table of a selector (1, 2, 3, 7, 8, 9, 10); false for any other value.
bool codeTableInfo(int selector, CodeTableInfo* out);

// The code-table maintenance screen of `selector`. Another selector does nothing.
void F_PJLG04(Session& s, ui::Toolkit& tk, int selector);
void BUILD04PLA(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br, int selector,
                const std::string& title);
// Add a code ("Adicionar Registro", template EditNacion).
void EDITCOSTOS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add, int selector);
// Modify the code under the cursor.
void MODICOSTOS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
// Find a code (input box "Buscar", "Codigo ", 10 characters, upper-cased).
void SEEKCUENTA(Session& s, ui::Toolkit& tk, ui::Browse& br);
// Listing of the codes from the cursor to the end.
void IMPRCOSTOS(Session& s, ui::Browse& br, int selector, const std::string& title);

}  // namespace planilla::masters
