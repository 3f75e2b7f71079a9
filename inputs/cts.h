// The CTS data of the half-year (F_CTS): cts1<cia><ano> in May (November to April) and
// cts2<cia><ano> in November (May to October), one record per employee with the pay
// the deposit is computed on and the amount to deposit, which the CTS certificate and
// the deposits list print. The add and modify dialogs compute the amount when they
// save (ctsDeposit).
//
// The screen opens the table as `DataCts` in work area 1 and the general master as
// `Emplea` in area 2.
#pragma once

#include <string>

#include "session/session.h"
#include "store/value.h"
#include "ui/toolkit.h"

namespace planilla::inputs {

// What the computation reads: the computable pay R (RECOMPU), the entry date, and the
// working month (5 or 11) and four-digit year.
struct CtsInput {
  double recompu = 0;
  Date entry;
  int workMonth = 5;
  int workYear = 0;
};
// What it stores: MESES, DIAS1, DIAS2 and CALCULO.
struct CtsDeposit {
  int meses = 0;
  double dias1 = 0, dias2 = 0, calculo = 0;
};
// Months and amount of the half-year. With r12 = R / 12 rounded to two decimals and
// d the day of entry (30 - d + 1 days of a partial first month, every month 30 days):
//   - entry in an earlier year: six months, except in May for an entry in November
//     (d = 1: six; else five and the days of November) or December (d = 1: five; else
//     four and the days of December) of the year before; CALCULO = r12 x MESES + DIAS2;
//   - entry in the working year: n = working month - entry month months, one less when
//     d is not 1, at most six; DIAS1 = d and DIAS2 = r12 / 30 x (30 - d + 1); the days
//     are paid only with five months or fewer and d not 1;
//   - entry on or after the first day of the deposit month (n of 0 or less, or a later
//     year): the employee was not yet employed in the half-year, so nothing is counted
//     and every figure is zero; never a negative month count or amount.
// Every amount is rounded to two decimals, halves away from zero.
CtsDeposit ctsDeposit(const CtsInput& in);

// "Ingreso Relacion Semestral De CTS  " + month name (template Mante04); only in May
// and November.
void F_CTS(Session& s, ui::Toolkit& tk);
// Add an employee's record (template EditCts) / modify the one under the cursor
// (template ModiCts; leaving the gratification sixth reloads the pay data).
void EDITCTS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = true);
void MODICTS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add = false);

// The pay data of the dialogs, as the general master holds them.
struct CtsForm {
  std::string code = std::string(10, ' ');
  std::string name;
  double bas_men = 0, asigna = 0, grati16 = 0, depante = 0;
  Date fech_ing;
  std::string dolar = " ", banco = std::string(4, ' '), moneda = " ";
};
// The employee chosen: "Codigo " + code + " Existe" ("Stop") when the CTS table holds
// the code; otherwise the master's pay data are loaded when it has the employee (false,
// silently, when not). A blank choice passes, so that saving says "Codigo  En Blanco".
bool CODCTSEMP(Session& s, CtsForm& f);
// The gratification sixth: negative shows "Rango Fuera De Parametro" ("Stop"); in
// mode 2 (modify) the pay data are then reloaded from the general master.
bool COD02CTS(Session& s, CtsForm& f, int mode);

}  // namespace planilla::inputs
