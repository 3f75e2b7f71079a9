// The accounting parameters (F_VJLG99): per sub-journal code, the ledger accounts of
// the payroll provisions and withholdings in soles and dollars (table paracont, one for
// all companies). No working date needed.
#pragma once

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::admin {

void F_VJLG99(Session& s, ui::Toolkit& tk);
// The maker's banner on the message bar and the 30 x 30 buttons: add, modify, search,
// delete, exit.
void BUIL01PARA01(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br);
void EDITPAR1(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODIPAR2(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
void SEEKBUSCAR(Session& s, ui::Toolkit& tk, ui::Browse& br);

}  // namespace planilla::admin
