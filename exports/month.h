// The working month as the statutory files need it: the calculated payroll (and, in
// July and December, the gratification) joined with the employees' personal data of
// the month's active-employee table and the fund rates of the month. Read in one go
// with the tables opened shared and closed again; nothing is written.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "session/session.h"
#include "store/table.h"
#include "store/value.h"

namespace planilla::exports {

// One result record: every field by upper-case name (first field of a name).
struct ResultRow {
  std::map<std::string, double> num;
  std::map<std::string, std::string> text;  // as stored, blank padded
  std::map<std::string, Date> date;
  double n(const std::string& f) const;
  std::string t(const std::string& f) const;  // trailing blanks removed
};

struct Person {
  std::string ap1, ap2, names;  // surnames and given names, trimmed
  std::string docIden;          // company document code (1 character, trimmed)
  std::string docNumber;        // ELECTORAL, trimmed
  std::string retri;            // "2" paid as a plain fee
  Date hired, ceased;           // FECH_ING, FCESE
  bool found = false;           // present in the active-employee table
};

struct Fund {
  std::string code, name;
  double contribution = 0, premium = 0, commission = 0, ceiling = 0;  // AFPPOR1..4
};

struct Employee {
  std::string code;  // trimmed
  std::string name;  // NOMBRE of the result, trimmed
  ResultRow pay;     // the payroll result
  std::optional<ResultRow> grat;  // the gratification result, when there is one
  // The termination settlement whose termination date falls in the month (lq<cia><ano>),
  // declared with the month's payroll.
  std::optional<ResultRow> settlement;
  Person person;
  bool fundMember() const { return !pay.t("CODAFP").empty(); }
  // The base the payroll charged the fund contributions on: the gross plus the meal
  // allowance (which the run adds to the base but not to the gross), less the school
  // bonus. Zero for an employee paid as a plain fee.
  double insurablePay() const;
  // July and December: the gratification run charges the pension contributions (the
  // fund's or the public system's) on the advance of the month's gratification roll
  // (DSCLEY); that amount, when it charged any.
  double gratFundBase = 0;
  bool gratChargedFund() const;
  // A pension contribution (AAPOR1 fund, AAPOR2 premium, AAPOR3 commission, SNPT public
  // system) as the month charged it: the payroll's plus the gratification's.
  double fundCharge(const std::string& field) const;
  // The insurable pay the funds see for the month: insurablePay() plus gratFundBase.
  double fundBase() const;
};

struct Month {
  std::string cia, ruc, company;  // trimmed
  int year = 0, month = 0;        // of the working date
  Date first, last;               // first and last day of the month
  std::vector<FieldSpec> payFields;  // fields of the payroll results, in order (first of a name)
  std::vector<Employee> employees;  // payroll order (by code)
  std::map<std::string, Fund> funds;  // by trimmed code, rates of the working month
  bool hasGratification = false;
};

// The month read one employee at a time, so that a file written row by row needs
// memory for one employee, not for the company: open() reads the header (company,
// dates, result fields, fund rates) and the codes of the results with their record
// numbers; next() reads the following employee in code order with its gratification
// and personal data. The tables stay open (shared) until the reader is destroyed.
class MonthReader {
 public:
  MonthReader();
  ~MonthReader();
  // On failure shows the message (title "Mensaje"): "Primero, Elija La Compania Con
  // Que Va a Trabajar (cia)" without a working date, "Archivo Planilla-1 Mes " + YMES +
  // " No Existe " without payroll results, "Sin Registros" when they are empty, or the
  // reason a table could not be read. `out.employees` stays empty.
  bool open(Session& s, Month& out);
  // The next employee; false at the end, or after showing a read error (then failed()).
  bool next(Employee& e);
  bool failed() const { return failed_; }
  // The number of employees of the month's results (after open()).
  size_t count() const { return order_.size(); }

 private:
  bool fail(const Status& st);
  Session* s_ = nullptr;
  std::unique_ptr<Table> pay_, grat_, roll_, active_, settlements_;
  Date first_, last_;
  std::vector<std::pair<std::string, uint32_t>> order_;  // code, record number
  std::map<std::string, uint32_t> gratRecords_;          // first record of each code
  size_t next_ = 0;
  bool failed_ = false;
};

// Reads the whole month (every employee in `out.employees`) with a MonthReader.
bool readMonth(Session& s, Month& out);

}  // namespace planilla::exports
