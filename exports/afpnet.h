// The pension-fund declaration of the month for the AFPnet portal: the upload
// spreadsheet (17 columns, no header row, one row per fund member), its summary per
// fund as a report, and the report of the employees outside the private funds.
#pragma once

#include <optional>
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

// A CUSPP as AFPnet takes it: 12 letters and digits.
bool validCuspp(const std::string& cuspp);

// The row of a fund member (nothing for anyone else). Gaps (CUSPP missing or not of 12
// letters and digits, document, a gratification advance the roll no longer holds) go
// to `missing` and give no row. The insurable pay is what the month charged the
// contributions on: the payroll's base and the gratification run's advance.
std::optional<AfpnetRow> afpnetRow(const Month& m, const Employee& e, const Concepts& c, int sequence,
                                   std::vector<Missing>& missing);

// The upload file's name: "AFPNET_" + RUC + "_" + yyyymm + ".xlsx".
std::string afpnetFileName(const Month& m);

// The upload sheet: the 17 columns, names and numbers as text, the pay as a number
// with two decimals, the three voluntary contributions 0, the AFP column blank.
std::vector<Cell> afpnetCells(const AfpnetRow& r);
Sheet afpnetSheet(const std::vector<AfpnetRow>& rows);

// Writes the upload into `dir` row by row from `reader` (opened on `m`). With a gap (the
// company's RUC included) nothing is written; a read error was shown by the reader and
// gives an error with an empty message.
[[nodiscard]] Status writeAfpnet(MonthReader& reader, const Month& m, const Concepts& c, const std::string& dir,
                                 std::vector<Missing>& missing, std::vector<std::string>* written);

// The summary report "RESUMEN AFPNET": per fund the members, the insurable pay, the
// fund contribution, the premium (with the fund's ceiling of the insurable pay), the
// commission and their total as the month charged them (payroll and gratification),
// then the totals. Written to
// "Test.rpv" of `dataDir`.
[[nodiscard]] Status writeAfpnetSummary(const Month& m, const std::string& dataDir);

// The report "EMPLEADOS NO AFILIADOS A AFP": the employees of the month's payroll
// without a fund code, with their regime (the public system when the payroll charged
// its contribution, none otherwise), pay and contribution. Written to "Test.rpv".
[[nodiscard]] Status writeNonAffiliated(const Month& m, const std::string& dataDir);

}  // namespace planilla::exports
