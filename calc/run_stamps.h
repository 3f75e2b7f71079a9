// The order of the month's runs. In July and December the payroll run reads the
// month's gratification (its tax joins the year's projection, its fund premium is not
// charged twice), so a payroll calculated before the gratification, or from a
// gratification whose roll changed since, withholds the wrong tax without a word.
//
// The record table sp<cia><mes><ano> keeps one record per run kind: "GRATIF" with a
// digest of what the gratification run read (its roll, the master records of the
// roll's employees and the rates record), "PLANILLA" with PENDIENTE "S" when a
// gratification run came after the month's payroll. A digest of the content, not file
// times: it needs no clock agreement between stations, survives copies of the shared
// folder, and sees a change made by any program. A month calculated before this table
// existed has no record: its gratification counts as not calculated.
#pragma once

#include <string>

#include "session/session.h"
#include "store/status.h"

namespace planilla::calc {

enum class GratStatus {
  NotNeeded,  // not July or December, or no gratification roll with records
  Current,    // calculated from the roll and data as they are now
  Missing,    // not calculated, or without a record of what it was made from
  Outdated,   // its roll or the data it read changed after it was calculated
};

// Where the month's gratification stands, for the payroll run.
GratStatus gratificationStatus(Session& s);

// What the operator is told about a Missing or Outdated gratification (empty
// otherwise).
std::string gratificationProblem(const Session& s, GratStatus st);

// The check of the payroll screen before PROCE01: true when the run may go ahead.
// A Missing or Outdated gratification is told, with the question whether to calculate
// the payroll anyway; "No", the default, stops.
bool askBeforePayroll(Session& s);

// The digest of what the gratification run reads (16 hex digits; empty when the
// month's roll cannot be read). Taken before PROCE05 reads, recorded after it ends.
std::string gratificationInputs(Session& s);

// After a gratification run that ended well: records `inputs` and, when the month's
// payroll is already calculated, marks it pending.
Status stampGratification(Session& s, const std::string& inputs);

// After a payroll run that ended well: the payroll is no longer pending.
Status stampPayroll(Session& s);

// True when a gratification run came after the month's payroll, which the payslips
// and reports of the month then say.
bool payrollPending(Session& s);

// The line the payslip and the month's reports carry while the payroll is pending.
inline constexpr const char* kPayrollPendingText =
    "*** PLANILLA PENDIENTE DE RECALCULO: LA GRATIFICACION SE CALCULO DESPUES ***";

}  // namespace planilla::calc
