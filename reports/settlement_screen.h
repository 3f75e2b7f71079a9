// The termination settlement screen of the "&Procesos" menu (F_LIQBEN).
#pragma once

#include <string>

#include "calc/settlement_store.h"
#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::reports {

// "Liquidacion De Beneficios Sociales": compute, show, save, mark paid, print.
void F_LIQBEN(Session& s, ui::Toolkit& tk);

// What the screen shows of a computed settlement: every amount with its period and
// formula, the deductions, the net and the net in words (one line each).
std::string settlementSummary(const calc::SettlementCase& c);

}  // namespace planilla::reports
