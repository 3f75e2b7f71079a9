// The worker registration files (T-Registro) for the hires and leavers of a range of
// days: RP_<RUC> with the extensions .ide (personal data), .tra (worker data), .per
// (periods), .est (workplace), .edu (completed studies, when they apply) and .cta
// (salary account, when pay goes by deposit). Every employee of the master whose start
// date falls in the range is a hire (all six kinds); every one whose end date falls in
// it is a leaver (a .per line closing the labour link with the end reason). Employees
// paid as a plain fee are not workers of the registration and are left out.
//
// Plain text, Windows-1252, one record a line, every field followed by "|", CR LF line
// ends, dates dd/mm/aaaa. The six files are one set: an export replaces the previous
// set whole, the members this export has no line for removed.
//
// What the master lacks comes from the employee's second record (masters/employee_extra.h);
// the codes the company keeps its own way become SUNAT's through the equivalences of
// kTregistroMapFile and the document types of conceptos_plame.txt.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "exports/concepts.h"
#include "exports/files.h"
#include "masters/employee_extra.h"
#include "masters/sunat_codes.h"
#include "session/session.h"
#include "store/value.h"

namespace planilla::exports {

// The equivalences of the registration, a text file of the data directory created with
// the defaults on first use. Windows-1252, one equivalence a line, "#" a comment:
//
//   TRA  TIPTRAB  TABLA8   [description]   worker type of the master -> SUNAT's table 8
//   SIT  SITUAC   TABLA15  [description]   situation of the master -> table 15
//   AFP  CODAFP   TABLA11  [description]   pension fund of the master -> table 11
//   ONP  TABLA11           [description]   the regime of employees without a fund
//
// A worker type or situation without a line is taken as SUNAT's own code when table 8
// (tablas_sunat.txt) or table 15 lists it.
inline constexpr const char* kTregistroMapFile = "equivalencias_tregistro.txt";

struct TregistroMap {
  std::map<std::string, std::string> workerType, situation, fund;
  std::string publicSystem = "02";
};

std::string defaultTregistroMapText();
// A malformed line, a code of the wrong form or a code given twice is Invalid naming
// the line.
Result<TregistroMap> parseTregistroMap(const std::string& text);
Result<TregistroMap> loadTregistroMap(Session& s);

// One employee of the master as the files need it.
struct RegEmployee {
  std::string code, ap1, ap2, names, sex, docIden, docNumber, tiptrab, situacion, codafp, cuspp, retri;
  Date born, hired, ceased;
  double basic = 0;
  bool hasExtra = false;           // the second record exists
  masters::EmployeeExtra extra;    // blank when it does not
  std::string displayName() const;
};

struct RegCompany {
  std::string cia, ruc;
};

// Everything the lines are made from.
struct RegContext {
  RegCompany company;
  Date from, to;
  Concepts concepts;
  TregistroMap map;
  masters::SunatCodes codes;
};

// The lines of one employee appended to the six texts (.ide, .tra, .per, .est, .edu,
// .cta, in that order) when he is a hire and/or a leaver of the range; every gap goes
// into one Missing for him. Returns true when he is a hire or a leaver.
bool tregistroLines(const RegEmployee& e, const RegContext& c, std::string lines[6], std::vector<Missing>& missing);

// "RP_" + RUC.
std::string tregistroBaseName(const RegCompany& company);

// Reads every employee of the company's master with his second record.
Status readRegEmployees(Session& s, std::vector<RegEmployee>& out);

// Writes the set into `dir`. With a gap (added to `missing`, the company's RUC
// included), with no hire and no leaver in the range (NotFound) or a failure, nothing in
// `dir` changes.
[[nodiscard]] Status writeTregistro(const std::vector<RegEmployee>& employees, const RegContext& c,
                                    const std::string& dir, std::vector<Missing>& missing,
                                    std::vector<std::string>* written);

// The run for the screens and the command line: a working company (kChooseCompany
// otherwise) and the range checked, the tables and the
// equivalences read, the files written into `dir` (the data directory when empty).
// Shows its stop boxes through the session; `written` receives the paths. True on
// success.
inline constexpr const char* kChooseCompany = "Primero, Elija La Compania Con Que Va a Trabajar (cia)";
bool runTregistro(Session& s, const Date& from, const Date& to, const std::string& dir,
                  std::vector<std::string>& written);

}  // namespace planilla::exports
