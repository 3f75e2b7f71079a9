// The grouped summary layout shared by the summaries: rows read in cost-centre order,
// a header line when a cost centre starts, one line per row, a total line when it
// ends, and the grand totals for the caller's own closing line.
//
// One group is made for every distinct cost centre, a blank one included: a blank
// cost centre is a group like any other, with its own header and total, and its rows
// are never counted in another group's total.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reports/report_format.h"
#include "reports/rpv_writer.h"

namespace planilla::reports {

struct SummaryRow {
  std::string costCentre;                     // CCOSTO, 6 characters
  std::optional<std::string> costCentreName;  // NOMBRE of the cost centre; nullopt when missing
  std::string code;                           // employee code
  std::optional<std::string> employeeName;    // NOMBRE of the employee; nullopt when missing
  std::vector<double> amounts;                // one per amount column ($c02, $c03, ...)
};

// The single lines, for writers that need them one by one.
// Group header: `{e;$c01;a=l;s=8;b=y}` code `{t;$c01;a=l} {tab=650} ` name
// `{t;b=n;s=7;\n}`, or `{e;$c00;a=l;s=8;b=y}` code `{t;b=n;s=7;\n}` when missing.
std::string groupHeaderLine(std::string_view costCentre, const std::optional<std::string>& name);
// Row: `{e;$c01;a=l}` code(8) + two blanks + name(`nameWidth`, 40 or 30 in the pension
// summary, which puts a blank before the code), then one right-aligned cell per amount.
std::string summaryRowLine(std::string_view code, const std::optional<std::string>& employeeName,
                           const std::vector<double>& amounts, const std::vector<std::string>& pictures,
                           size_t nameWidth = 40, std::string_view lead = "");
// Group total: `{e;$c01;a=l;s=8;b=y} Total ` code " " name(nameWidth) and the totals.
std::string groupTotalLine(std::string_view costCentre, const std::optional<std::string>& name,
                           const std::vector<double>& totals, const std::vector<std::string>& pictures,
                           size_t nameWidth);
// The amount cells of a line: `{t;$cNN;a=r} {tab= +1200} ` (first) / ` {tab= +1100} `
// (others) before each amount; `firstGroupExtra` goes into the first cell's group
// (the total line writes "s=7" there).
// `pictures` gives each column's picture; a shorter list repeats its last picture.
std::string amountCells(const std::vector<double>& values, const std::vector<std::string>& pictures,
                        std::string_view firstGroupExtra = "");

class GroupedSummary {
 public:
  // `columns` amount columns printed with `pictures` (one per column, or one for
  // all); total lines show `nameWidth` characters of the cost-centre name.
  GroupedSummary(RpvWriter& out, size_t columns, std::vector<std::string> pictures = {std::string(kPicSummary)},
                 size_t nameWidth = 20);
  // Adds one row (rows must come in cost-centre order).
  void add(const SummaryRow& row);
  // Writes the last group's total line (nothing when there were no rows).
  void finish();
  const std::vector<double>& grandTotals() const { return grand_; }
  size_t groupCount() const { return groups_; }

 private:
  void closeGroup();
  RpvWriter& out_;
  std::vector<std::string> pictures_;
  size_t nameWidth_;
  bool open_ = false;
  std::string current_;
  std::optional<std::string> currentName_;
  std::vector<double> group_, grand_;
  size_t groups_ = 0;
};

}  // namespace planilla::reports
