#include "reports/grouped_summary.h"

#include <algorithm>

namespace planilla::reports {

std::string groupHeaderLine(std::string_view costCentre, const std::optional<std::string>& name) {
  if (name) {
    return "{e;$c01;a=l;s=8;b=y}" + rpvText(costCentre) + "{t;$c01;a=l} {tab=650} " + rpvText(*name) +
           "{t;b=n;s=7;\\n}" + kCrLf;
  }
  return "{e;$c00;a=l;s=8;b=y}" + rpvText(costCentre) + "{t;b=n;s=7;\\n}" + kCrLf;
}

std::string amountCells(const std::vector<double>& values, const std::vector<std::string>& pictures,
                        std::string_view firstGroupExtra) {
  std::string s;
  const std::string none;
  for (size_t i = 0; i < values.size(); ++i) {
    s += "{t;$c" + NUM_CAR(static_cast<double>(i + 2), 2);
    if (i == 0 && !firstGroupExtra.empty()) s += ";" + std::string(firstGroupExtra);
    s += ";a=r}";
    s += i == 0 ? " {tab= +1200} " : " {tab= +1100} ";
    const std::string& picture = pictures.empty() ? none : pictures[std::min(i, pictures.size() - 1)];
    s += amount(values[i], picture);
  }
  return s;
}

std::string summaryRowLine(std::string_view code, const std::optional<std::string>& employeeName,
                           const std::vector<double>& amounts, const std::vector<std::string>& pictures,
                           size_t nameWidth, std::string_view lead) {
  std::string s = "{e;$c01;a=l}";
  if (employeeName)
    s += std::string(lead) + rpvText(padTo(code, 8)) + "  " + rpvText(padTo(*employeeName, nameWidth));
  else
    s += " ";
  s += amountCells(amounts, pictures);
  s += "{t;\\n}";
  s += kCrLf;
  return s;
}

std::string groupTotalLine(std::string_view costCentre, const std::optional<std::string>& name,
                           const std::vector<double>& totals, const std::vector<std::string>& pictures,
                           size_t nameWidth) {
  std::string s = "{e;$c01;a=l;s=8;b=y} Total " + rpvText(costCentre) + " ";
  s += name ? rpvText(padTo(*name, nameWidth)) : std::string(" ");
  s += amountCells(totals, pictures, "s=7");
  s += "{t;b=n;\\n;\\n}";
  s += kCrLf;
  return s;
}

GroupedSummary::GroupedSummary(RpvWriter& out, size_t columns, std::vector<std::string> pictures, size_t nameWidth)
    : out_(out), pictures_(std::move(pictures)), nameWidth_(nameWidth), group_(columns, 0.0), grand_(columns, 0.0) {}

void GroupedSummary::closeGroup() {
  out_.PRINTLINE(groupTotalLine(current_, currentName_, group_, pictures_, nameWidth_));
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
  out_.PRINTLINE(summaryRowLine(row.code, row.employeeName, row.amounts, pictures_));
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
