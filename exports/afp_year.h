// The year's fund contributions and withholdings per employee as a spreadsheet, beside
// the report of the same name: one row per employee of a fund in fund order, a total
// row per fund and the grand total (sums stored with their values).
#pragma once

#include <string>
#include <vector>

#include "exports/xlsx.h"
#include "reports/year_reports.h"
#include "session/session.h"

namespace planilla::exports {

// "AFPANUAL_" + cia + "_" + yyyy + ".xlsx".
std::string afpYearFileName(const std::string& cia, int year);

Sheet afpYearSheet(const std::string& company, int year, const std::vector<reports::FundYearRow>& rows);

// Writes the report ("Test.rpv", viewer started when `startViewer`) and the spreadsheet
// into `dir` (the data directory when empty); `written` receives the spreadsheet's path.
// False after a message.
bool runAfpYear(Session& s, int year, const std::string& dir, std::vector<std::string>& written, bool startViewer);

}  // namespace planilla::exports
