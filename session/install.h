// Installation of a data directory: the files installed with the program and never
// created by it (institutions pmae0001, users kylusua, both with their index, and
// the templates pbase14 and pbase18), and an optional demonstration company.
#pragma once

#include <string>

#include "store/io.h"
#include "store/status.h"
#include "store/value.h"

namespace planilla {

// The password of the login user "QTR " in a fresh installation (and in the demo).
// It is changed with the users screen.
inline constexpr const char* kInstallPassword = "PLANILLA";
// The demo company.
inline constexpr const char* kDemoCompany = "01";

// Creates the shipped files in `dir` (which must exist). Refuses (Invalid) when any of
// them is already there, so an installation in use is never overwritten. The users
// table gets one record: user "QTR ", function "FUN001", access "T", password
// kInstallPassword. The institution table is created empty unless `demo` adds to it.
Status installBase(FileSystem& fs, const std::string& dir);

// Adds demonstration company "01" with the working date `workDate` (stored in its
// institution record): every master the screens and runs need, the rates record, the
// pension funds for every month of the year, the year's exchange rates with the CTS
// records, about thirty employees (one terminated), the year's earnings and
// withholding tables, the month's active employees, entries and vacation roll (in
// July and December also the gratification roll), the vacation rolls of a few earlier
// months of the year, and the CTS tables of the year's May and November half-years.
// Requires installBase() first.
Status installDemo(FileSystem& fs, const std::string& dir, const Date& workDate);

// A new data directory in one step, as `planilla init` makes it: the shipped files
// (installBase) and, with `demo`, the demonstration company dated `workDate`
// (installDemo) are made in a temporary sibling of `dir` created exclusively
// (".<name>.init-XXXXXX", a fresh name mkdtemp makes), and only when every file is
// complete and on disk is the sibling renamed to `dir`. An interrupted installation
// thus leaves at most that hidden sibling, never a `dir` with part of the files; a
// failure removes the sibling. `dir` must not exist, or be an empty directory (it is
// then replaced, keeping its permissions) other than the current one; missing parents
// are created. Refuses (Invalid) an installed, a non-empty or the current directory.
Status installDirectory(FileSystem& fs, const std::string& dir, bool demo, const Date& workDate);

// The working date the demo uses by default: the last day of the month of `today`.
Date defaultDemoDate(const Date& today);

}  // namespace planilla
