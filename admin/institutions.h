// The institution master (F_I00002): the companies whose payroll the system keeps, in
// the installed table pmae0001. List, add, modify, search and delete; no working date
// needed.
#pragma once

#include <string>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::admin {

void F_I00002(Session& s, ui::Toolkit& tk);
// Message bar "Varmond" and the button bar: add, modify, search, delete, exit.
void BUILD0002(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br);
void EDITCIA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODICIA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
// Leaving the code field: when adding a blank or existing code is refused ("Codigo En
// Blanco", "Cia " + code + " Existe"); when modifying only a blank one.
bool CHEP021(Session& s, Table& t, const std::string& code);
bool CHEP022(Session& s, const std::string& code);
// The search by code: a four-character text whose first two characters are the code.
void SEEKCIA(Session& s, ui::Toolkit& tk, ui::Browse& br);

}  // namespace planilla::admin
