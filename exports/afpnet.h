// The pension-fund declaration of the month for the AFPnet portal: the upload
// spreadsheet (17 columns, no header row, one row per fund member), its summary per
// fund as a report, and the report of the employees outside the private funds.
#pragma once

#include <string>
#include <vector>

#include "exports/concepts.h"
#include "exports/files.h"
#include "exports/month.h"
#include "exports/xlsx.h"

namespace planilla::exports {

struct AfpnetRow {
  int sequence = 0;
  std::string cuspp;       // 12 characters
  std::string docType;     // AFPnet's code
  std::string docNumber;
  std::string ap1, ap2, names;
  std::string relation;    // "S": the labour relation is in force in the month
  std::string start;       // "S": it started in the month
  std::string end;         // "S": it ended in the month
  std::string exception;   // blank when there is pay; else "U" subsidy, "L" leave, "O" other
  double pay = 0;          // insurable pay
  std::string workType;    // "N" dependent worker, normal
};

// The rows of the fund members of the month in payroll order. Gaps (company RUC,
// CUSPP, document) go to `missing`.
std::vector<AfpnetRow> afpnetRows(const Month& m, const Concepts& c, std::vector<Missing>& missing);

// The upload file's name: "AFPNET_" + RUC + "_" + yyyymm + ".xlsx".
std::string afpnetFileName(const Month& m);

// The upload sheet: the 17 columns, names and numbers as text, the pay as a number
// with two decimals, the three voluntary contributions 0, the AFP column blank.
Sheet afpnetSheet(const std::vector<AfpnetRow>& rows);

// The summary report "RESUMEN AFPNET": per fund the members, the insurable pay, the
// fund contribution, the premium (with the fund's ceiling of the insurable pay), the
// commission and their total as the payroll charged them, then the totals. Written to
// "Test.rpv" of `dataDir`.
[[nodiscard]] Status writeAfpnetSummary(const Month& m, const std::string& dataDir);

// The report "EMPLEADOS NO AFILIADOS A AFP": the employees of the month's payroll
// without a fund code, with their regime (the public system when the payroll charged
// its contribution, none otherwise), pay and contribution. Written to "Test.rpv".
[[nodiscard]] Status writeNonAffiliated(const Month& m, const std::string& dataDir);

}  // namespace planilla::exports
