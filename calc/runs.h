// The calculation runs: the monthly payroll (PROCE01) and the July / December
// gratification (PROCE05). Each takes the exchange-rate code chosen by the operator
// and the session, needs no screen, and shows its messages through the session's
// message boxes. Both start by closing every table of the session and end with every
// table closed.
#pragma once

#include <string>

#include "session/session.h"

namespace planilla::calc {

// The monthly payroll of the working month: re-creates e2<cia><mes><ano> (soles) and
// e1<cia><mes><ano> (converted), one record per active employee in code order, and
// keeps the year's earnings and withholding tables up to date for the fifth-category
// tax. `code` is the exchange-rate code (6 characters, padded when shorter). Returns
// true when the run reached "Fin De Proceso".
bool PROCE01(Session& s, const std::string& code);

// The gratification of July or December: re-creates he<cia><mes><ano> and
// h1<cia><mes><ano> from the month's gratification roll and records the tax withheld
// on the December gratification. Returns true when the run reached "Fin De Proceso".
bool PROCE05(Session& s, const std::string& code);

}  // namespace planilla::calc
