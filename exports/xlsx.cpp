#include "exports/xlsx.h"

#include <unistd.h>
#include <xlsxwriter.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace planilla::exports {

namespace {

// Removes the private folder and what the library left in it.
struct PrivateDir {
  std::string path;
  ~PrivateDir() {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

lxw_format* makeFormat(lxw_workbook* wb, CellFormat f) {
  lxw_format* fmt = workbook_add_format(wb);
  switch (f) {
    case CellFormat::General: break;
    case CellFormat::Bold: format_set_bold(fmt); break;
    case CellFormat::Amount: format_set_num_format(fmt, "#,##0.00"); break;
    case CellFormat::PlainAmount: format_set_num_format(fmt, "0.00"); break;
    case CellFormat::Whole: format_set_num_format(fmt, "0"); break;
    case CellFormat::Date: format_set_num_format(fmt, "dd/mm/yyyy"); break;
    case CellFormat::TotalAmount:
      format_set_bold(fmt);
      format_set_num_format(fmt, "#,##0.00");
      break;
  }
  return fmt;
}

}  // namespace

std::string columnName(int col) {
  std::string s;
  for (int c = col + 1; c > 0; c = (c - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
  return s;
}

Result<std::string> xlsxBytes(const std::vector<Sheet>& sheets) {
  const char* env = std::getenv("TMPDIR");
  std::string tmpl = std::string(env && *env ? env : "/tmp") + "/planilla-xlsx-XXXXXX";
  PrivateDir dir;
  if (::mkdtemp(tmpl.data()) == nullptr) return Status::ioError("No se pudo crear la carpeta temporal " + tmpl);
  dir.path = tmpl;
  const std::string file = dir.path + "/libro.xlsx";

  lxw_workbook_options options = {};
  options.tmpdir = dir.path.data();
  lxw_workbook* wb = workbook_new_opt(file.c_str(), &options);
  if (!wb) return Status::ioError("No se pudo crear la hoja de calculo");
  lxw_format* formats[7];
  for (int i = 0; i < 7; ++i) formats[i] = makeFormat(wb, static_cast<CellFormat>(i));

  for (const Sheet& sh : sheets) {
    lxw_worksheet* ws = workbook_add_worksheet(wb, sh.name.substr(0, 31).c_str());
    if (!ws) {
      workbook_close(wb);
      return Status::invalid("Nombre de hoja no valido: " + sh.name);
    }
    for (size_t c = 0; c < sh.widths.size(); ++c)
      if (sh.widths[c] > 0) worksheet_set_column(ws, c, c, sh.widths[c], nullptr);
    if (sh.frozenRows > 0) worksheet_freeze_panes(ws, sh.frozenRows, 0);
    if (sh.printWide) {
      worksheet_set_landscape(ws);
      worksheet_fit_to_pages(ws, 1, 0);
    }
    for (size_t r = 0; r < sh.rows.size(); ++r) {
      for (size_t c = 0; c < sh.rows[r].size(); ++c) {
        const Cell& cell = sh.rows[r][c];
        lxw_format* fmt = cell.format == CellFormat::General ? nullptr : formats[static_cast<int>(cell.format)];
        const auto row = static_cast<lxw_row_t>(r);
        const auto col = static_cast<lxw_col_t>(c);
        lxw_error e = LXW_NO_ERROR;
        switch (cell.kind) {
          case Cell::Kind::Empty: break;
          case Cell::Kind::Text: e = worksheet_write_string(ws, row, col, cell.text.c_str(), fmt); break;
          case Cell::Kind::Number: e = worksheet_write_number(ws, row, col, cell.number, fmt); break;
          case Cell::Kind::Formula:
            e = worksheet_write_formula_num(ws, row, col, cell.text.c_str(), fmt, cell.number);
            break;
          case Cell::Kind::Day:
            if (cell.day.valid()) {
              lxw_datetime dt = {cell.day.year(), cell.day.month(), cell.day.day(), 0, 0, 0};
              e = worksheet_write_datetime(ws, row, col, &dt, fmt);
            }
            break;
        }
        if (e != LXW_NO_ERROR) {
          workbook_close(wb);
          return Status::invalid(std::string("Hoja de calculo: ") + lxw_strerror(e));
        }
      }
    }
  }
  if (lxw_error e = workbook_close(wb); e != LXW_NO_ERROR)
    return Status::ioError(std::string("No se pudo grabar la hoja de calculo: ") + lxw_strerror(e));
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in.good() && !in.eof()) return Status::ioError("No se pudo leer la hoja de calculo");
  return bytes.str();
}

}  // namespace planilla::exports
