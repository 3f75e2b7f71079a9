// The tables a calculation run writes, replaced as one set.
//
// A run (the monthly payroll, the gratification) never changes its tables in place:
// the month's results are written anew and the year tables it adds the month to are
// copied, each under catalog::runBuildPath beside the file in place, while the run
// holds the files in place exclusively (readers are told the month is being
// calculated). At the end every new table is synced and gets the rebuild mark; then,
// in the set's order, each table and its bags are renamed into place; then the marks
// go. The rename of the set's first table is the point of no return:
//  - cut short before it, the files in place are the previous month, whole, and the
//    build files are removed by the next run or reindex;
//  - cut short after it, every build file is complete: the next run or reindex renames
//    the rest into place and rebuilds the bags of every table still marked, giving the
//    new month whole. Meanwhile a table carrying the mark is refused to readers and
//    the ones not yet renamed are the previous month, whole.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "session/session.h"

namespace planilla {

// The sets of the two runs for the session's period, in the order they are put in
// place: the monthly payroll (results in soles and converted, earnings and
// withholdings of the year) and the gratification (results, withholdings).
std::vector<catalog::TableDef> payrollRunSet(const Session& s);
std::vector<catalog::TableDef> gratificationRunSet(const Session& s);

// What settleRunTables did about a set, named by the set's first table file.
struct RunNotice {
  std::string file;
  std::string text;
};

// Puts in order what a run of either set that was cut short left (see above), holding
// the tables concerned exclusively meanwhile; does nothing, holding nothing, when
// there is nothing to put in order. InUse when another station has one of them open
// (a run there may be under way): nothing is touched then. `notices` (optional)
// receives what was done, for the reindex to say.
Status settleRunTables(Session& s, std::vector<RunNotice>* notices = nullptr);

class RunTables {
 public:
  explicit RunTables(Session& s) : s_(s) {}
  // Whatever was not put in place is closed and its build files removed, last table
  // first (the set's first table's build file goes last: while it exists the set was
  // not put in place).
  ~RunTables();
  RunTables(const RunTables&) = delete;
  RunTables& operator=(const RunTables&) = delete;

  // Holds the table file of `def` in place exclusively until the set is put in place
  // (for tables the run does not itself open exclusively). A file that does not exist
  // is not held. InUse when another station has it open.
  Status hold(const catalog::TableDef& def);
  // The new table of `def`: empty, with the structure of the results template (and
  // `extra` fields after it, when given); its bags are built when the set is put in
  // place. Open exclusively.
  Result<Table*> fresh(const catalog::TableDef& def, const std::vector<FieldSpec>& extra = {});
  // The new table of `def` as a copy of the live records of `current` (the table in
  // place, which the run holds open), with its bags, ordered by the first tag. Open
  // exclusively.
  Result<Table*> copyOf(const catalog::TableDef& def, Table& current);
  // Puts the set in place, in the order fresh/copyOf were called (see above). On an
  // error before the first rename nothing in place has changed; after it, the build
  // files are left for the next run or reindex to finish with.
  Status commit();

 private:
  struct Built {
    catalog::TableDef def;
    std::string real;  // the table file in place (resolved)
    std::string temp;  // its build file
    std::unique_ptr<Table> table;
    bool bagsBuilt = false;
  };
  Result<Table*> add(const catalog::TableDef& def, std::unique_ptr<Table> t, const std::string& real,
                     const std::string& temp, bool bagsBuilt);
  Status buildBags(Built& b);

  Session& s_;
  std::vector<std::unique_ptr<File>> held_;
  std::vector<Built> built_;
  bool pastReturn_ = false;  // the first table was renamed into place
};

}  // namespace planilla
