// Users and their access (F_CLAVE01): one record of kylusua per password and function
// code, with its access flag. Which function codes mean what, and how the login reads
// them, is told in README.md.
#pragma once

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::admin {

void F_CLAVE01(Session& s, ui::Toolkit& tk);
void EDITCLAVE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODICLAVE(Session& s, ui::Toolkit& tk, ui::Browse& br);
// Toggles ACCESO of the current record between "T" and "F" under its record lock,
// after a question whose default is "No". The add, modify, delete and toggle all refuse
// a change that would leave no password able to open "&Herramientas".
void PERMI(Session& s, ui::Browse& br);

}  // namespace planilla::admin
