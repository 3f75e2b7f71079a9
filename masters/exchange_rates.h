// The exchange-rate master of the working year (F_PJLG11): tcam<ano>, shared by every
// company, one record per month and day with the dollar, euro and euro/dollar rates,
// plus the CTS rates of May (key "88 888") and November (key "99 999").
#pragma once

#include <string>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// The screen "Maestro Tipo De Cambios" (template Mante03, alias TCambio).
void F_PJLG11(Session& s, ui::Toolkit& tk);
void BUILD11EMP(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br);
// Add / modify a rate (template EditCamb). The fields are not validated while editing;
// "&Aceptar" refuses, keeping the dialog open, a month that is not 1 to 12 ("Mes 13
// No Valido"), a day not in that month of the working year ("Dia 30 No Valido Para El
// Mes 02") and a code another record holds ("Codigo  05 15  Existe"); the CTS codes
// "88 888" and "99 999" are valid. A blank day writes nothing ("Codigo En Blanco").
void EDITTCAM(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODITCAM(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);
// The CTS rate of the working half-year: only in May and November ("Error , No Es
// Periodo de  CTS" otherwise), and only once ("Codigo  88 888 Existe": the existing
// record is corrected with MODITCAM).
void TCCTS(Session& s, ui::Toolkit& tk, ui::Browse& br);
// Search: input box "Buscar", prompt "Mes Dia ", the month and the day as the list shows
// them ("05 15"); the text typed is sought as the leading part of the key, so the month
// alone finds the month's first rate.
void SEEKTCAM(Session& s, ui::Toolkit& tk, ui::Browse& br);
// Listing from the cursor to the end ("Maestro Tipo de Cambio").
void IMPRTCAM(Session& s, ui::Browse& br);

// The label texts the calculation screens show for a rate: month, blank, day, blank and
// the rate in its field's form (7.3, 7.3 and 8.4), cut to 14 characters.
std::string rateLabel(const std::string& month, const std::string& day, double rate, int width, int decimals);

}  // namespace planilla::masters
