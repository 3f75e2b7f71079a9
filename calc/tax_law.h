// The fifth-category figures of each tax year and the company's choice of how the
// monthly withholding projects the year.
//
// The monthly run keeps taking the tax unit and the bands from the rates record
// (pmae05<cia>), which the operator updates each January; the documents of a past
// year (the certificate of income and withholdings) take that year's own unit from
// the table below, so that a 2024 certificate printed in 2026 uses 2024's UIT.
//
// The company's settings live in pmae13<cia> (one record), apart from the rates
// record, whose layout other installations know.
#pragma once

#include <optional>
#include <string>

#include "calc/quinta.h"
#include "session/session.h"
#include "store/status.h"

namespace planilla::calc {

// The UIT of `year` (2016..2026), as the yearly supreme decrees set it; nothing for a
// year outside the table.
std::optional<double> yearUit(int year);

// The bands of the income-tax scale on the net income for tax unit `uit`: up to 5,
// 20, 35 and 45 units (the fifth limit repeats the fourth, as the rates screen fills
// it) at 8, 14, 17, 20 and 30 percent.
TaxBands bandsForUit(double uit);

// The warning of the monthly run when the rates record's tax unit is not the working
// year's; empty when they agree or the year is outside the table.
std::string uitWarning(double ratesUit, int year);

// The company's fifth-category settings.
struct TaxSettings {
  // "Proyeccion Con Bonificacion Extraordinaria": the projection of every month adds
  // the extraordinary bonus of each gratification still to come (the rates record's
  // BONIFI9 percent of it; those already paid count as paid), and a month with an
  // extraordinary payment (the profit share UTILI) withholds in full the difference
  // between the annual tax with and without it. Off: the projection as it always was.
  bool projectBonus = false;
};

// Reads pmae13<cia> of the session's company: the defaults when the table or its
// record is missing; an error when it cannot be read.
Status readTaxSettings(Session& s, TaxSettings* out);
// Writes the settings into the one record of pmae13<cia> (created on first use)
// under its record lock; InUse when another station holds the record.
Status writeTaxSettings(Session& s, const TaxSettings& in);

}  // namespace planilla::calc
