// The pension-fund master (F_PJLG06): pm06<cia><ano>, the rates of each private
// pension fund (AFP) for each month, keyed by MES + CODIGO.
#pragma once

#include <cstdint>
#include <string>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// The screen "Mantenimiento De Maestro De Afps" (template Mante03, alias Afps).
void F_PJLG06(Session& s, ui::Toolkit& tk);
void BUILD06AFP(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br);
// Add / modify the rates of a fund for a month (template EditAfps).
void EDITAFPS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODIAFPS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
// The month abbreviation of the list: "01" -> "ENER" ... "12" -> "DICI"; any other
// value three blanks.
std::string CAC01AFP(const std::string& month);
// Add dialog: a blank month shows "Campo En Blanco" (title "Stop").
bool CHEC01AFP(Session& s, const std::string& month);
// Add dialog: a blank code shows "Campo En Blanco"; month + code already present
// "Codigo  " + code + " Existe" (both titled "Stop").
bool CHEC02AFP(Session& s, Table& t, const std::string& month, const std::string& code);
// Modify dialog: "Mes En Blanco", "Codigo En Blanco", or "Registro   " + month + code +
// " Ya Existe" when another record holds month + code (all "Mensaje"); the table goes
// back to `recno`.
bool CHEC03AFP(Session& s, Table& t, const std::string& month, const std::string& code, uint32_t recno);
// Search: input box "Buscar", "Codigo ", 6 characters; the fund code is sought in the
// working month (YMES + code, as the calculations look it up).
void SEEKAFPS(Session& s, ui::Toolkit& tk, ui::Browse& br);
// Listing from the cursor to the end ("Reporte Maestro  AFPs").
void IMPRAFPS(Session& s, ui::Browse& br);

}  // namespace planilla::masters
