#include "reports/grouped_summary.h"

namespace planilla::reports {

std::string groupHeaderLine(std::string_view costCentre, const std::optional<std::string>& name) {
  if (name) {
    return "{e;$c01;a=l;s=8;b=y}" + std::string(costCentre) + "{t;$c01;a=l} {tab=650} " + *name +
           "{t;b=n;s=7;\\n}" + kCrLf;
  }
  return "{e;$c00;a=l;s=8;b=y}" + std::string(costCentre) + "{t;b=n;s=7;\\n}" + kCrLf;
}

std::string amountCells(const std::vector<double>& values, std::string_view picture,
                        std::string_view firstGroupExtra) {
  std::string s;
  for (size_t i = 0; i < values.size(); ++i) {
    s += "{t;$c" + NUM_CAR(static_cast<double>(i + 2), 2);
    if (i == 0 && !firstGroupExtra.empty()) s += ";" + std::string(firstGroupExtra);
    s += ";a=r}";
    s += i == 0 ? " {tab= +1200} " : " {tab= +1100} ";
    s += amount(values[i], picture);
  }
  return s;
}

std::string summaryRowLine(std::string_view code, const std::optional<std::string>& employeeName,
                           const std::vector<double>& amounts, std::string_view picture) {
  std::string s = "{e;$c01;a=l}";
  if (employeeName)
    s += padTo(code, 8) + "  " + padTo(*employeeName, 40);
  else
    s += " ";
  s += amountCells(amounts, picture);
  s += "{t;\\n}";
  s += kCrLf;
  return s;
}

std::string groupTotalLine(std::string_view costCentre, const std::optional<std::string>& name,
                           const std::vector<double>& totals, std::string_view picture, size_t nameWidth) {
  std::string s = "{e;$c01;a=l;s=8;b=y} Total " + std::string(costCentre) + " ";
  s += name ? padTo(*name, nameWidth) : std::string(" ");
  s += amountCells(totals, picture, "s=7");
  s += "{t;b=n;\\n;\\n}";
  s += kCrLf;
  return s;
}

GroupedSummary::GroupedSummary(RpvWriter& out, size_t columns, std::string_view picture, size_t nameWidth)
    : out_(out), picture_(picture), nameWidth_(nameWidth), group_(columns, 0.0), grand_(columns, 0.0) {}

void GroupedSummary::closeGroup() {
  out_.PRINTLINE(groupTotalLine(current_, currentName_, group_, picture_, nameWidth_));
  std::fill(group_.begin(), group_.end(), 0.0);
}

void GroupedSummary::add(const SummaryRow& row) {
  if (!open_ || row.costCentre != current_) {
    if (open_) closeGroup();
    open_ = true;
    ++groups_;
    current_ = row.costCentre;
    currentName_ = row.costCentreName;
    out_.PRINTLINE(groupHeaderLine(current_, currentName_));
  }
  out_.PRINTLINE(summaryRowLine(row.code, row.employeeName, row.amounts, picture_));
  for (size_t i = 0; i < group_.size() && i < row.amounts.size(); ++i) {
    group_[i] += row.amounts[i];
    grand_[i] += row.amounts[i];
  }
}

void GroupedSummary::finish() {
  if (open_) closeGroup();
  open_ = false;
}

}  // namespace planilla::reports
