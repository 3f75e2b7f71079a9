// Fifth-category income tax ("quinta categoria") withheld from salaries.
//
// The month's withholding projects the employee's taxable income for the whole
// calendar year, deducts seven tax units, applies the progressive bands of the rates
// record, subtracts what was withheld in the earlier months and spreads the rest over
// the months left by a fixed divisor per month. Each computation records the month
// in the year's earnings table (habe<cia><ano>) and withholding table (rete<cia><ano>).
//
// The arithmetic lives in plain functions over plain values (computeFifth and the
// pieces it is made of); DETER5TA / DETER5TAES read their inputs from the run's open
// tables, call it, and write the results back through GRABARENTA / GRABAHABER.
#pragma once

#include <optional>
#include <string>

#include "calc/record.h"
#include "store/status.h"
#include "store/table.h"
#include "store/value.h"

namespace planilla::calc {

// Band limits SCALA01..SCALA05 (SCALA05 takes no part in the computation) and
// the band rates TASA08, TASA14, TASA17, TASA20, TASA30 (whole percentages).
struct TaxBands {
  double limit[5] = {0, 0, 0, 0, 0};
  double rate[5] = {0, 0, 0, 0, 0};
};

// Annual tax on the net income n. Each band is tested against its limit plus one
// unit (a net income less than one unit above a limit stays in the lower band), and
// each piece is rounded to two decimals before the pieces are added.
double RTAPROYECTADA(double n, const TaxBands& b);

// The month's share of `amount` (no rounding): /12 in January to March, /9 in April,
// /8 in May to July, /5 in August, /4 in September to November, whole in December
// (and for any other month number).
double RTAMENSUAL(double amount, int m);

// Projected annual income before deductions for month m (1..12):
// t x (12 - m + 1) + j + d + o1 + o2 + mv + su.
double RTAPREVIA(double t, double o1, double o2, double mv, double j, double d, double su, int m);

// One employee's row of a year table: the twelve month amounts (ENE..DIC) and GRAF2.
struct YearRow {
  double month[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  double graf2 = 0;
};

// Earnings of the months before m (January: nothing; December: ENE..NOV).
double earlierEarnings(const YearRow& r, int m);
// Withholdings counted as already made in month m: none in January to March;
// ENE..MAR in April; ENE..ABR in May to July; ENE..JUL in August; ENE..AGO in
// September to November; ENE..NOV plus GRAF2 in December.
double earlierWithholdings(const YearRow& r, int m);

// What the July and December gratification results tell about one employee:
// whether each table exists and, when it holds the employee, its TBRUTO.
struct GratSources {
  bool julyExists = false;
  std::optional<double> julyGross;
  bool decemberExists = false;
  std::optional<double> decemberGross;
};

// The working period as the tax sees it: m is the month of the working date (1..12),
// ymes the two-character month text of the file names (compared as text), year the
// working year (four digits).
struct TaxPeriod {
  int m = 1;
  std::string ymes = "01";
  int year = 0;
};

struct Projection {
  double j = 0;  // July gratification
  double d = 0;  // December gratification
  // Which of the two is an estimate from the monthly base (false: taken from the
  // gratification's result, bonus included as paid, or none).
  bool jProjected = false, dProjected = false;
};
// Gratification projections J and D for monthly tax base t and the entry date.
Projection projectGratifications(double t, const Date& entry, const TaxPeriod& p, const GratSources& g);

// Inputs handed over by the monthly run for one employee.
struct FifthInput {
  double u = 0;    // UIT2
  double t = 0;    // monthly tax base
  double o1 = 0;   // overtime pay, first rate (as computed, before storing)
  double o2 = 0;   // overtime pay, second rate
  double mv = 0;   // mobility allowance of the monthly entries
  double su = 0;   // SUMINI of the monthly entries
  double p = 0;    // contribution base, recorded in the earnings table
  std::string code;  // employee code as stored (10 characters)
  Date entry;        // FECH_ING
  bool projectGrat = true;  // variant "S" (DETER5TA); false for variant "E" (DETER5TAES)
  // With the company's "Proyeccion Con Bonificacion Extraordinaria" (0 without it):
  // the percent of the extraordinary bonus added to each gratification projected
  // from the monthly base (the rates record's BONIFI9: 9, or 6.75 with an EPS) ...
  double bonusRate = 0;
  // ... and the month's extraordinary payment (the profit share), taxed apart.
  double extra = 0;
};

struct FifthOutcome {
  double k = 0, h = 0, w = 0, j = 0, d = 0, y = 0, n = 0, x = 0;
  double b = 0;          // extraordinary bonus of the projected gratifications (in y)
  double z = 0;          // the month's share (unrounded); 0 when n <= 0
  bool positive = false; // n > 0: the month is recorded in the year tables
  // The extraordinary payment: the annual tax with it (xe) less the annual tax
  // without it (x, or 0 when n <= 0), withheld in full this month (ze, 0 without one).
  double xe = 0, ze = 0;
  // What the month records: the withholding (the share, not below 0, plus ze) and
  // the earnings (p plus the extraordinary payment).
  bool records() const { return positive || ze > 0; }
};

// The whole computation for one employee, without tables. `earnings` and
// `withholdings` are the employee's rows when the tables hold them.
FifthOutcome computeFifth(const FifthInput& in, const TaxPeriod& p, const TaxBands& b,
                          const std::optional<YearRow>& earnings, const std::optional<YearRow>& withholdings,
                          const GratSources& g);

// --- on the run's tables ---------------------------------------------------------
// The tables a monthly run holds open for the tax: earnings and withholding tables
// (exclusive, ordered by code) and the July / December gratification results of the
// year (nullptr when the file does not exist).
struct TaxTables {
  TaxTables(Table* earn, Table* ret, Table* jul, Table* dec);
  Table* earnings;      // TabHaber
  Table* withholdings;  // TabReten
  Table* july;          // CalGrati
  Table* december;      // CalGraDi
  FieldMap earningsMap, withholdingsMap;  // structures of the two year tables
};

// Reads an employee's row of a year table (seeks the code); `row` stays empty when
// the table has none. A month that holds no number is an error naming the table,
// the record and the field (as every number the runs read).
Status readYearRow(Table& t, const std::string& code, std::optional<YearRow>* row);
Status readYearRow(Table& t, const FieldMap& map, const std::string& code, std::optional<YearRow>* row);
// TBRUTO of the employee in a gratification result, when the table holds it.
Status gratGross(Table* t, const std::string& code, std::optional<double>* gross);

// What the tax step reads from the tables for one employee: the rows of the year
// tables and, for the variant with projected gratifications, the July and December
// gross. The run reads them once before anything is deleted, to refuse unreadable
// numbers while the month's results are still whole.
struct TaxInputs {
  std::optional<YearRow> earnings, withholdings;
  GratSources grat;
};
Status readTaxInputs(TaxTables& tt, const std::string& code, bool projectGrat, TaxInputs* out);

// DETER5TA / DETER5TAES as the monthly run calls them: the whole outcome, the
// extraordinary withholding included. The year tables are written as records() says.
Result<FifthOutcome> DETERMINE5TA(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b);
// The same on the employee's inputs as readTaxInputs gave them (the run reads them
// once, from the tables in place, and writes the month into its copies `tt`).
Result<FifthOutcome> DETERMINE5TA(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b,
                                  const TaxInputs& read);

// Variant "S": with projected July and December gratifications. Returns the month's
// withholding (unrounded), or 0 when the projected net income is not above zero; in
// that case the year tables are not touched.
Result<double> DETER5TA(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b);
// Variant "E": the same without gratification projections.
Result<double> DETER5TAES(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b);

// The year-table writers store each change of a record in one write (the month and
// the running total together).
// Records a withholding of month m; amounts not above zero change nothing.
Status GRABARENTA(Table& withholdings, const std::string& code, double amount, int m);
// Records the earnings of month m (any amount).
Status GRABAHABER(Table& earnings, const std::string& code, double amount, int m);
// Records the tax withheld on the December gratification (GRAF2) when ymes is "12";
// in other months it only makes sure the employee has a record.
Status GRABA01RENTA(Table& withholdings, const std::string& code, double amount, const std::string& ymes);

}  // namespace planilla::calc
