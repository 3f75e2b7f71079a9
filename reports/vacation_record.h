// The year's vacation record of one employee ("RECORD VACACIONAL", F_P429 / PREP429):
// every vacation of the monthly vacation rolls of January to December of the working
// year, two entries per printed line, and the days taken.
#pragma once

#include <string>

#include "session/session.h"

namespace planilla::reports {

// F_P429 up to its dialog; leaves the employee master open as RepEmplea.
bool checkVacationRecord(Session& s);

// PREP429: the record of `code`; `shownName` is the name the dialog shows.
bool PREP429(Session& s, const std::string& code, const std::string& shownName, bool startViewer = true);

}  // namespace planilla::reports
