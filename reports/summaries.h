// The monthly summaries: the payroll book ("PLANILLA DE REMUNERACIONES") and its
// gratification twin, the statutory (PDT) summary, the pension contributions summary
// and the net pay list. Each is a pair: the checks of its menu action (F_P406,
// F_P402, F_XXP405, F_P426; F_XXP404 makes none) and its writer (PREP406, PREP402,
// REPXXP404, REPXXP405, PREP426), which the period dialog's "&Imprimir" calls.
//
// The writers read the month's results into the scratch copy xx<cia><mes><ano> (adding
// the month's gratification where the report includes it), write "Test.rpv" and start
// the viewer when `startViewer`. A refusal shows its message before the report file is
// touched. They return true when the report file was written; every table is closed.
#pragma once

#include <string>

#include "session/session.h"

namespace planilla::reports {

// F_P406 up to its dialog: the period, the institution record (its RUC is kept), the
// employees of the period and the payroll results. Refusals titled "Stop".
bool checkPayrollBook(Session& s, std::string& ruc);
bool PREP406(Session& s, const std::string& ruc, bool startViewer = true);

// F_P402 up to its dialog; refusals titled "Mensaje".
bool checkGratiBook(Session& s, std::string& ruc);
bool PREP402(Session& s, const std::string& ruc, bool startViewer = true);

// The PDT summary; its screen makes no check.
bool REPXXP404(Session& s, bool startViewer = true);

// The month's payroll cost (gross pay and the employer's contributions, the month's
// gratification included) per employee, grouped by cost centre. The results carry no
// project, so the cost centre stands in for it.
bool REPCOSTOCC(Session& s, bool startViewer = true);

// F_XXP405's only check: the pension funds of the year ("Maestro De AFPs No Existe  ").
bool checkPensionSummary(Session& s);
bool REPXXP405(Session& s, bool startViewer = true);

// F_P426 up to its dialog; refusals titled "Mensaje".
bool checkNetPay(Session& s);
// `selector` 3 lists the employees paid in soles (a blank currency included), 2 those
// paid in dollars, any other those paid in euros.
bool PREP426(Session& s, int selector, bool startViewer = true);

}  // namespace planilla::reports
