// The calculation screens: "Calculo De Planilla" (PROCE01) and "Calculo De
// Gratificacion" (PROCE05), each choosing the exchange rate of its run, with the
// exchange-rate lookup they open. The main menu points at F_P301 and F_P305.
#pragma once

#include <string>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::calc {

// What the calculation screens share while open: the chosen exchange-rate code (6
// characters) and the dollar and euro labels of the chosen rate.
struct RateChoice {
  std::string code = std::string(6, ' ');
  std::string dollar = " ";
  std::string euro = " ";
  // Label 551: the dollar label, five blanks and the euro label.
  std::string display() const { return dollar + "     " + euro; }
};

// "Calculo De Planilla": chooses the exchange rate and runs PROCE01.
void F_P301(Session& s, ui::Toolkit& tk);
// "Calculo De Gratificacion": the same screen running PROCE05.
void F_P305(Session& s, ui::Toolkit& tk);

// An exchange-rate code as the clerk types it: four digits however separated ("1231",
// "12/31", "12-31") are the record's "MM DD"; anything else is returned as typed.
std::string rateCodeAsTyped(std::string_view typed);

// Validation of the code field ("1231" is taken as "12 31"): seeks the code in TipCam. Found: the dollar label
// becomes CODCAM. Not found: "Tipo De Cambio  " + code + " No Existe" (title "Stop").
bool XTIPCAM(Session& s, RateChoice& c);
// The exchange-rate lookup (selector 4 only): "Ventana De Ayuda (Maestro Tipo De
// Cambio)" over TipCam from its first record; true when a rate was chosen.
bool KYLCAMAYU(Session& s, ui::Toolkit& tk, RateChoice& c, int selector);
// Action of the search picture (selector 4 only): on a choice, the code, the dollar and
// the euro label come from the chosen record; field 102 and label 551 of `dlg` are
// refreshed and the focus goes to field 102.
void CONSULTACAMBANCOS(Session& s, ui::Toolkit& tk, RateChoice& c, int selector, ui::Dialog* dlg);

}  // namespace planilla::calc
