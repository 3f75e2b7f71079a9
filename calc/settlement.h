// The termination settlement ("liquidacion de beneficios sociales") of one employee:
// computable pay, truncated CTS, vacations (truncated record, completed records not
// taken, vacation indemnity), truncated gratification with its extraordinary bonus,
// the dismissal indemnity, the deductions on the affected amounts, the employer's
// EsSalud, the net and the net in words.
//
// computeSettlement() is a plain function over plain values: the caller (the screen,
// the command, settlement_store.h) reads the tables and hands over what they say.
//
// Conventions, written on the document as well:
//  - Time is counted in 30-day months: a date's day counts as at most 30, and the last
//    day of a month counts as its 30th (so 1 to 28 February is a whole month, and 15
//    to 30 January is 16 days). The span from A to B counts both days.
//  - Every line is rounded with the rounding helper (two decimals, halves away from
//    zero): the months part and the days part each, then their sum.
//  - The truncated gratification counts whole calendar months only.
#pragma once

#include <string>
#include <vector>

#include "calc/payroll.h"
#include "calc/quinta.h"
#include "store/value.h"

namespace planilla::calc {

// SUNAT's table of end reasons (Tabla 17) as the settlement offers them.
struct EndReason {
  const char* code;  // two digits
  const char* name;
};
const std::vector<EndReason>& endReasons();
// The reason's name, or nullptr for a code the table lacks.
const char* endReasonName(const std::string& code);
// The reason that gives the dismissal indemnity.
inline constexpr const char* kDismissalReason = "03";

// Days from `from` to `to`, both included, in 30-day months; 0 when `to` is before
// `from` or either is empty.
int days360(const Date& from, const Date& to);
struct Span {
  int years = 0, months = 0, days = 0;
  int total = 0;  // days in 30-day months
};
// Splits a day count into years of 360 days, months of 30 and days.
Span spanOf(int totalDays);
// The first whole calendar months from `from` to `to` (both included): a month counts
// when every one of its days lies in the span.
int wholeCalendarMonths(const Date& from, const Date& to);

// A pay item that is not paid every month: it joins the computable pay as the sum of
// the last six months divided by six when it was paid in at least three of them.
struct RegularItem {
  std::string name;   // as printed ("Movilidad", "Horas extras" ...)
  double sum6 = 0;    // what the last six months paid
  int monthsPaid = 0; // months of the six with an amount
};

struct SettlementInput {
  Date hire, cese;
  std::string reason;        // two digits (endReasons())
  double basic = 0;          // monthly pay at the termination date, in soles
  double asigna = 0;         // family allowance
  std::vector<RegularItem> regular;
  double ctsGrat = 0;        // gratification paid in the CTS half-year (its sixth joins the CTS pay)
  Date gratCoveredThrough;   // last day covered by a gratification the system paid (empty: none)
  // Vacations: records completed before `vacDataFrom` (the first month with a
  // vacation roll on file) are taken as settled; `vacDaysTaken` is every day taken in
  // the rolls from then on. An empty `vacDataFrom` means no roll on file at all.
  Date vacDataFrom;
  double vacDaysTaken = 0;
  double bonifi9 = 9;        // extraordinary bonus, percent of the gratification
  // Pension and contributions on the affected amounts.
  bool fundMember = false;
  FundRates fund;
  bool insured = false;      // SEGUROAFP "S": the fund's premium is charged
  double snpt = 0;           // ONP percent
  double ipsse = 0;          // EsSalud percent (employer)
  // Fifth-category tax: when `taxed`, recomputed on the year's income.
  bool taxed = false;
  double uit = 0;
  TaxBands bands;
  double yearIncome = 0;     // the year's taxable income recorded before the settlement
  double yearWithheld = 0;   // the year's withholdings before the settlement
};

// One amount line of the settlement.
struct SettlementLine {
  std::string key;      // CTS, VACTRU, VACPEN, VACIND, GRATIF, BONIF, INDEMN
  std::string name;     // printed name
  Date from, to;        // period (empty when the line has none)
  int years = 0, months = 0, days = 0;
  std::string formula;  // how the amount was made, in words and figures
  double amount = 0;
};

struct Settlement {
  Date hire, cese;
  std::string reason;
  double bonifi9 = 0;
  // Computable pay.
  double rcBasic = 0, rcAsigna = 0, rcRegular = 0;
  double rc = 0;       // basic + allowance + regular items (vacations, gratification, indemnity)
  double rcGrat6 = 0;  // one sixth of the gratification of the CTS half-year
  double rcCts = 0;    // rc + rcGrat6
  Span service;        // hire to cese
  Date ctsFrom, vacFrom, gratFrom;
  Span cts, vacTrunc, indemnitySpan;
  int gratMonths = 0;
  double vacPendingDays = 0, vacIndemnityDays = 0;
  double ctsAmount = 0, vacTruncAmount = 0, vacPending = 0, vacIndemnity = 0;
  double grat = 0, bonus = 0, indemnity = 0;
  bool indemnityCapped = false;
  // Deductions.
  double affected = 0;  // vacation amounts: pension, EsSalud and tax
  double afpAporte = 0, afpPrima = 0, afpComision = 0, onp = 0;
  double taxable = 0;   // affected + gratification + bonus
  double yearTax = 0;   // tax of the year with the settlement
  double tax = 0;       // fifth-category tax withheld from the settlement
  double essalud = 0;   // employer's cost, for information
  double gross = 0, deductions = 0, net = 0;
  Date deadline;        // 48 hours after the termination date
};

Settlement computeSettlement(const SettlementInput& in);

// The settlement's amount lines in document order, each with its period and formula,
// from the figures alone (so a stored settlement prints as it was saved). The
// indemnity line appears only for a dismissal; the vacation lines of completed records
// only when something is owed.
std::vector<SettlementLine> settlementLines(const Settlement& s);

// "SON: TRESCIENTOS TRECE Y 87/100 SOLES" for 313.87.
std::string amountInWords(double amount);

}  // namespace planilla::calc
