#include "exports/list_sheet.h"

#include <algorithm>

#include "exports/xlsx.h"
#include "ui/text1252.h"

namespace planilla::exports {

namespace {
Cell cellOf(const ui::ListCell& c, bool total) {
  switch (c.kind) {
    case ui::ListCell::Kind::Number: {
      CellFormat f = CellFormat::General;
      if (c.decimals == 2) f = total ? CellFormat::TotalAmount : CellFormat::Amount;
      else if (c.decimals == 0) f = total ? CellFormat::Bold : CellFormat::Whole;
      return Cell::num(c.number, f);
    }
    case ui::ListCell::Kind::Day: return Cell::date(c.day);
    case ui::ListCell::Kind::Text:
      if (c.text.empty()) return Cell::blank();
      return Cell::str(ui::cp1252ToUtf8(c.text), total ? CellFormat::Bold : CellFormat::General);
  }
  return Cell::blank();
}
}  // namespace

std::string writeListSheet(const ui::ListSheet& sheet, const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return "Indique El Nombre Del Archivo";

  Sheet head;
  // A sheet name is at most 31 characters and has none of []:*?/\ .
  std::string title = ui::cp1252ToUtf8(sheet.title);
  for (char& ch : title) {
    if (std::string_view("[]:*?/\\").find(ch) != std::string_view::npos) ch = ' ';
  }
  while (title.size() > 31) {
    title.pop_back();
    while (!title.empty() && (static_cast<unsigned char>(title.back()) & 0xC0) == 0x80) title.pop_back();  // whole characters
    if (!title.empty() && static_cast<unsigned char>(title.back()) >= 0xC0) title.pop_back();
  }
  head.name = title.empty() ? "Lista" : title;
  head.frozenRows = 1;
  head.printWide = sheet.headers.size() > 8;
  for (int w : sheet.widths) head.widths.push_back(std::max(6.0, w / 7.0));
  std::vector<Cell> headers;
  for (const auto& h : sheet.headers) headers.push_back(Cell::str(ui::cp1252ToUtf8(h), CellFormat::Bold));
  head.rows.push_back(std::move(headers));

  Workbook wb;
  Status st = wb.addSheet(head);
  for (size_t r = 0; st && r < sheet.rows.size(); ++r) {
    std::vector<Cell> row;
    for (const auto& c : sheet.rows[r]) row.push_back(cellOf(c, false));
    st = wb.addRow(row);
  }
  if (st && !sheet.totals.empty()) {
    std::vector<Cell> row;
    for (const auto& c : sheet.totals) row.push_back(cellOf(c, true));
    st = wb.addRow(row);
  }
  std::vector<std::string> written;
  if (st) st = wb.save(dir, name, &written);
  if (!st) return "No Se Pudo Grabar " + path + ": " + st.message();
  return std::string();
}

}  // namespace planilla::exports
