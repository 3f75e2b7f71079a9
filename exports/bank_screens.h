// The screens of the salary-transfer files: the company's charge accounts (a
// maintenance screen over bmae02<cia>) and the dialog that makes a bank's files.
#pragma once

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::exports {

// "Cuentas De Cargo Bancarias": the company's accounts the banks charge the transfers
// to; add, modify, delete. Each account is checked against its bank's length, is kept
// once, and at most one per currency pays other banks through the CCI.
void F_BJLG02(Session& s, ui::Toolkit& tk);

// "Archivos De Pago Al Banco": bank, run, charge account (blank: the company's),
// process date; "&Generar" writes the files, shows the summary and closes with
// "Archivos Generados:" and the paths.
void F_BANCO01(Session& s, ui::Toolkit& tk);

}  // namespace planilla::exports
