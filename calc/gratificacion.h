// The July and December gratification of one employee: the legal bonus for the
// months and days of the half-year, the extraordinary bonus on it, and the
// contributions charged on the amount paid in advance (DSCLEY).
//
// As for the monthly payroll, the steps are plain functions over the looked-up
// values and the result record being built; PROCE05 (calc/runs.h) drives them.
#pragma once

#include <string>
#include <vector>

#include "calc/payroll.h"
#include "calc/record.h"

namespace planilla::calc {

// One record of the gratification roll (ge<cia><mes><ano>).
struct RollEntry {
  std::string codigo;
  double mes = 0;      // months counted
  double dia = 0;      // days counted
  double dscto = 0;    // discount
  double desgrat = 0;  // fifth-category tax withheld on the gratification
  double dscley = 0;   // amount paid in advance; base of the contributions
};
RollEntry readRollEntry(const RecordView& t);

// Values of one employee carried from step to step.
struct GratWork {
  double m = 0;  // monthly base in soles
  double a = 0;  // family allowance
  double q = 0;  // gross as stored
};

// Steps 2, 3 and 5 to 10 for one roll record. `workYear` and `workMonth` are the
// working year (four digits) and month (from YMES) as numbers: a fund member whose
// affiliation date falls after that month of that year is charged the public system.
// Requires a known currency. Stops with NoAffiliationDate at step 8 for a fund member
// without affiliation date whose DSCLEY is not zero; the record then holds what steps
// 5 to 7 stored.
Result<AfterTax> gratificationSteps(const Employee& e, const RollEntry& r, const RunValues& rv,
                                    const FundRates& fund, int workYear, int workMonth, PendingRecord& rec,
                                    GratWork& w);

// Whether the fund rates of the month take part for this employee (fund member with
// an amount paid in advance): only then a missing fund record matters.
bool gratNeedsFund(const Employee& e, const RollEntry& r);

const std::vector<std::string>& gratCopiedFields();
const std::vector<std::string>& gratConvertedAmountFields();
const std::vector<std::string>& gratResultFields();

}  // namespace planilla::calc
