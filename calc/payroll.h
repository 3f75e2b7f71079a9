// The monthly payroll of one employee: earnings, the worker's deductions and the
// employer's contributions, computed step by step into the result record.
//
// The steps are plain functions over the values the run looked up (the employee's
// active record, the vacation roll, the monthly entries, the fund rates) and the
// result record being built (PendingRecord, which stores every value with its
// field's decimals so that each later step reads what the file would hold). The run
// (PROCE01) does the look-ups, calls the fifth-category tax between the two halves,
// and writes the records.
#pragma once

#include <string>

#include "calc/quinta.h"
#include "calc/record.h"
#include "store/status.h"
#include "store/table.h"
#include "store/value.h"

namespace planilla::calc {

// Rates of the parameter record (pmae05<cia>), percentages unless noted.
struct PayrollParams {
  double ipsst = 0, snpt = 0, fonavit = 0;  // worker
  double ipsse = 0, snpe = 0, fonavie = 0;  // employer
  double minivital = 0;                     // minimum wage, floor of the EsSalud base
  double hexemp1 = 0, hexemp2 = 0;          // overtime factors (not percentages)
  double uit2 = 0;                          // tax unit
  double bonifi9 = 0;                       // extraordinary bonus on gratifications
  std::string mesafec;                      // gratification month ("07 JUL")
  TaxBands bands;
};
// Reads a record of the parameter table.
PayrollParams readParams(const RecordView& t);

// Rates of one pension fund for the month (pm06<cia><ano>).
struct FundRates {
  double afppor1 = 0;  // mandatory contribution, percent
  double afppor2 = 0;  // insurance premium, percent
  double afppor3 = 0;  // commission, percent
  double afppor4 = 0;  // pay ceiling of the premium
};
FundRates readFundRates(const RecordView& t);

enum class Currency { Soles, Dollars, Euros, Unknown };
// "S" or blank soles, "D" dollars, "E" euros; any other letter is unknown.
Currency currencyOf(const std::string& dolar);

// The fields of the employee's record that the steps read.
struct Employee {
  std::string codigo;   // as stored (10 characters)
  std::string codafp;   // six blanks: the public system (ONP)
  Date fechAfp;         // affiliation date to the fund
  Date fechIng;         // entry date (tax projection)
  double basMen = 0;    // monthly basic pay, in the employee's currency
  double asigna = 0;    // family allowance, soles
  double gratif = 0;    // monthly proportional gratification, employee's currency
  double esvida = 0;
  double imp5ta = 0;    // fixed fifth-category amount
  double diaTra = 0;    // days worked
  double fraccion = 0;  // absences
  double subsid = 0;    // days on subsidy
  Currency currency = Currency::Soles;
  std::string quinta;   // "S", "E", anything else: no tax
  bool insured = false; // SEGUROAFP = "S"
  bool feePaid = false; // RETRI = "2"
  bool fundMember() const;
};
// Reads the employee from a record of an employee table (active-employee table or
// general master: same layout).
Employee readEmployee(const RecordView& t);

// The month's entries of one employee (all zero when absent).
struct MonthlyEntries {
  double simple = 0, doble = 0, refrige = 0, diastra = 0, produc = 0, movili = 0, utili = 0, cts = 0;
  double subsid = 0, sumini = 0, adelanto = 0, otrosegr = 0, tardan = 0, retjud = 0, cuosin = 0;
};
MonthlyEntries readEntries(const RecordView& t);

// The employee's vacation record of the month, when there is one.
struct VacationEntry {
  bool found = false;
  double control = 3;
  double diavac = 0;
};

// Values fixed for the whole run.
struct RunValues {
  PayrollParams params;
  double dollar = 0;  // soles per dollar
  double euro = 0;    // soles per euro
  std::string ymes;   // working month text ("00" on 1 January)
};

// Values of one employee carried from step to step.
struct EmployeeWork {
  double v = 0;       // vacation days
  int control = 3;    // vacation control
  double m = 0;       // monthly base in soles
  double g = 0;       // proportional gratification of the month
  double a = 0;       // family allowance
  double vp = 0;      // vacation pay
  double b = 0;       // basic pay of the month
  double f = 0;       // family allowance of the month
  double r1 = 0, r2 = 0;  // overtime rates
  double o1 = 0, o2 = 0;  // overtime pay as computed, before storing
  double p = 0;       // contribution base (first TBRUTO as stored)
  double t = 0;       // monthly tax base
  double rtaExtra = 0;  // tax withheld in full on the month's extraordinary payment
};

// Steps 1 to 5 and 8 to 10: vacation days, monthly base and gratification,
// vacation pay, basic pay and allowance, overtime rates, the result fields of step 8,
// the contribution base P and the tax base T. The copied fields are the run's part
// of step 8. Requires a known currency.
Status payrollToBase(const Employee& e, const VacationEntry& vac, const MonthlyEntries& me, const RunValues& rv,
                     PendingRecord& rec, EmployeeWork& w);

// The fifth-category tax the employee is subject to.
enum class TaxVariant { None, WithGratifications /* "S" */, Monthly /* "E" */ };
TaxVariant taxVariant(const Employee& e);
// The inputs of the tax for this employee (steps 10 and 11).
FifthInput fifthInput(const Employee& e, const MonthlyEntries& me, const RunValues& rv, const EmployeeWork& w);

enum class AfterTax { Done, NoAffiliationDate };
// Steps 11 (from the tax result) to 19. `tax` is the tax step's result (ignored for
// employees without tax), `decPremium` the insurance premium already charged in the
// December gratification (0 outside December). Stops with NoAffiliationDate at step
// 13 for a fund member without affiliation date: the record then holds what steps 8
// to 12 stored.
Result<AfterTax> payrollAfterTax(const Employee& e, const RunValues& rv, const FundRates& fund, double decPremium,
                                 double tax, PendingRecord& rec, EmployeeWork& w);

// The copied fields of both result records and the amounts of the converted record.
const std::vector<std::string>& payrollCopiedFields();
const std::vector<std::string>& convertedCopiedFields();
const std::vector<std::string>& convertedAmountFields();
// Every field the run writes into the payroll result table.
const std::vector<std::string>& payrollResultFields();
// The field the run adds after the template's when the company withholds the tax of
// extraordinary payments apart (see calc/tax_law.h): the part of RTA_5TA withheld on
// the month's extraordinary payment, shown on its own line of the payslip.
extern const char* const kExtraTaxField;
FieldSpec extraTaxField();

// Step 21: each amount of `result` divided by `rate`, rounded to two decimals.
// `conv` must already hold the copied fields.
Status convertAmounts(const PendingRecord& result, const std::vector<std::string>& amounts, double rate,
                      PendingRecord& conv);

}  // namespace planilla::calc
