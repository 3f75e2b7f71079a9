// The documents of a whole year, read from the twelve monthly payroll results
// (e2<cia><mm><aa>) and the July and December gratification results (he<cia><mm><aa>):
// the fifth-category withholding summary, the pension contributions summary, the
// EsSalud contributions summary and one employee's certificate of income and
// fifth-category withholdings.
//
// A month whose results do not exist is named in the report's heading; a month in
// which an employee has no result row prints "s/d" (no data) in that employee's cell.
// For months without a result row, the fifth-category documents take the employee's
// earnings and withholding from the annual registers of the year (habe<cia><aa> and
// rete<cia><aa>: written by the runs, kept by hand for the months paid outside the
// system). Nothing is estimated: a month of employment that neither holds makes the
// certificate say that the year is incomplete, and it then settles no balance. Writers
// return true when the report file was written; a refusal shows its message first and
// every table is closed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "session/session.h"
#include "store/value.h"

namespace planilla::reports {

// One employee's amounts in one result row (or the sum of several).
struct YearAmounts {
  double gross = 0;       // TBRUTO
  double basic = 0;       // BAS_QUI
  double family = 0;      // ASIGNA
  double vacation = 0;    // VACACI
  double overtime = 0;    // HSIMPLE_P + HDOBLE_P
  double gratif = 0;      // GRATIF
  double bonus = 0;       // BONIFI (extraordinary bonus on gratifications)
  double other = 0;       // MOVILI + SUMINI + SUBSID + OTROSP
  double tax5 = 0;        // RTA_5TA
  double snp = 0;         // SNPT (public system)
  double fund = 0;        // AAPOR1 (fund contribution)
  double premium = 0;     // AAPOR2
  double commission = 0;  // AAPOR3
  double essalud = 0;     // IPSSE
  void add(const YearAmounts& o);
};

struct EmployeeYear {
  std::string code;                        // CODIGO as stored
  std::string name;                        // from the employee master ("" when missing)
  std::string fundCode;                    // CODAFP of the latest month (blank: public system)
  std::string fundName;                    // its name in the year's fund master ("" when missing)
  std::optional<YearAmounts> month[12];    // nullopt: no result row that month
  std::optional<YearAmounts> grat;         // July + December gratifications, when any
  // Months without a result row for which the annual registers hold an amount: the
  // earnings register's in `gross`, the withholding register's in `tax5` (nothing else).
  std::optional<YearAmounts> registered[12];
  Date entry, leaving;                     // FECH_ING and FCESE of the master (empty: none)
  // The employee was employed in month m (0..11) of `year`: the month is not before the
  // entry date's month nor after the end of contract's.
  bool employed(int m, int year) const;
  // A month of employment with neither a result row nor an amount in the registers.
  bool unaccounted(int m, int year) const { return !month[m] && !registered[m] && employed(m, year); }
};

struct YearData {
  int year = 0;
  bool monthRun[12] = {};                  // the month's result table exists
  std::vector<EmployeeYear> employees;     // in code order
};

// Reads the year's results and annual registers of the working company (an employee
// found only in the registers is listed too); with `onlyCode` (a code without its
// trailing blanks) those of that employee alone. False after a message when the
// employee master is missing, no month of the year was calculated, or a table cannot
// be read (an unreadable amount of a register names the table, the record and the field).
bool loadYear(Session& s, int year, YearData& out, const std::string& onlyCode = "");

// The year argument of the screens and the command: four digits, 1900..2099.
bool validYear(int year);

// Summary of the year's earnings and fifth-category withholdings per employee.
bool PREP424(Session& s, int year, bool startViewer = true);
// Summary of the year's pension contributions per employee (fund or public system).
bool PREP425(Session& s, int year, bool startViewer = true);
// Summary of the year's EsSalud contributions per employee.
bool PREPESSALUD(Session& s, int year, bool startViewer = true);
// Certificate of income and fifth-category withholdings of `code` for `year`: the gross
// income by component, the seven-unit deduction, the net income, the tax on the bands
// of the rates record, the withholdings made and the balance.
bool PREP419(Session& s, int year, const std::string& code, bool startViewer = true);

// The statement (PREP414) and the voucher (PREP420) of the pension contributions
// withheld from `code` in `year`: the statement month by month, the voucher the year's
// totals; both with the employer's and the employee's data and the signature lines.
bool PREP414(Session& s, int year, const std::string& code, bool startViewer = true);
bool PREP420(Session& s, int year, const std::string& code, bool startViewer = true);

// One employee's pension contributions of the year, for the annual fund liquidation.
struct FundYearRow {
  std::string fund;       // CODAFP
  std::string fundName;   // as in EmployeeYear
  std::string code, name;
  double insurable = 0, contribution = 0, premium = 0, commission = 0;
  double total() const { return contribution + premium + commission; }
};
// The employees of a fund (public-system employees left out), ordered by fund and code.
std::vector<FundYearRow> fundYearRows(const YearData& y);

// The annual liquidation of fund contributions and withholdings, grouped by fund.
bool PREP428(Session& s, int year, bool startViewer = true);

}  // namespace planilla::reports
