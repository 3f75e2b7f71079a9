#include "exports/xlsx.h"

#include <xlsxwriter.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "exports/files.h"
#include "store/platform.h"

namespace planilla::exports {

namespace {

// Removes the private folder and what the library left in it.
struct PrivateDir {
  std::string path;
  ~PrivateDir() {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(platform::fsPath(path), ec);
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


namespace {

uint32_t le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool readAt(std::ifstream& in, void* buf, size_t n, int64_t at) {
  in.clear();
  in.seekg(static_cast<std::streamoff>(at));
  in.read(static_cast<char*>(buf), static_cast<std::streamsize>(n));
  return static_cast<size_t>(in.gcount()) == n;
}

// The root element of an XML text's beginning: the name after the declaration.
std::string rootElement(const std::string& head) {
  size_t p = 0;
  if (head.compare(0, 5, "<?xml") == 0) {
    p = head.find("?>");
    if (p == std::string::npos) return "";
    p += 2;
  }
  p = head.find_first_not_of(" \t\r\n", p);
  if (p == std::string::npos || head[p] != '<') return "";
  const size_t end = head.find_first_of(" \t\r\n/>", p + 1);
  return end == std::string::npos ? "" : head.substr(p + 1, end - p - 1);
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

Status checkXlsx(const std::string& path, const std::string& shown) {
  auto bad = [&](const std::string& why) {
    return Status::ioError("La hoja de calculo " + shown + " no se grabo completa (" + why +
                           "); no se reemplazo el archivo anterior");
  };
  std::ifstream file(platform::fsPath(path), std::ios::binary | std::ios::ate);
  if (!file) return bad("no se pudo abrir");
  using off_t = int64_t;
  const off_t size = static_cast<off_t>(file.tellg());
  // The end of central directory record: 22 bytes and a comment of up to 65,535.
  if (size < 22) return bad("archivo de " + std::to_string(size) + " bytes");
  const off_t tailAt = size > 65557 ? size - 65557 : 0;
  std::vector<unsigned char> tail(static_cast<size_t>(size - tailAt));
  if (!readAt(file, tail.data(), tail.size(), tailAt)) return bad("no se pudo leer");
  off_t eocd = -1;
  for (size_t i = tail.size() - 22 + 1; i-- > 0;)
    if (le32(&tail[i]) == 0x06054b50) {
      eocd = tailAt + static_cast<off_t>(i);
      break;
    }
  if (eocd < 0) return bad("falta el directorio del archivo zip");
  const unsigned char* e = &tail[static_cast<size_t>(eocd - tailAt)];
  const uint32_t entries = le16(e + 10), cdSize = le32(e + 12), cdAt = le32(e + 16);
  if (entries == 0 || static_cast<off_t>(cdAt) + cdSize > eocd) return bad("directorio zip no valido");
  std::vector<unsigned char> cd(cdSize);
  if (!readAt(file, cd.data(), cd.size(), cdAt)) return bad("no se pudo leer el directorio zip");
  size_t pos = 0;
  for (uint32_t n = 0; n < entries; ++n) {
    if (pos + 46 > cd.size() || le32(&cd[pos]) != 0x02014b50) return bad("directorio zip no valido");
    const unsigned char* c = &cd[pos];
    const uint32_t method = le16(c + 10), crc = le32(c + 16), csize = le32(c + 20), usize = le32(c + 24);
    const uint32_t nameLen = le16(c + 28), extraLen = le16(c + 30), commentLen = le16(c + 32), local = le32(c + 42);
    if (pos + 46 + nameLen > cd.size()) return bad("directorio zip no valido");
    const std::string name(reinterpret_cast<const char*>(c + 46), nameLen);
    pos += 46 + nameLen + extraLen + commentLen;

    unsigned char lh[30];
    if (static_cast<off_t>(local) + 30 > cdAt || !readAt(file, lh, 30, local) || le32(lh) != 0x04034b50)
      return bad("parte " + name + " sin cabecera");
    const off_t dataAt = static_cast<off_t>(local) + 30 + le16(lh + 26) + le16(lh + 28);
    if (dataAt + csize > cdAt) return bad("parte " + name + " cortada");
    if (method != 0 && method != 8) return bad("parte " + name + " con compresion desconocida");

    // Inflate the part, keeping its CRC, its size, its first and its last bytes.
    z_stream z{};
    if (method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK) return bad("zlib");
    std::vector<unsigned char> in(1 << 16), out(1 << 16);
    uLong sum = crc32(0, nullptr, 0);
    uint64_t total = 0;
    std::string head, last;
    auto take = [&](const unsigned char* p, size_t k) {
      sum = crc32(sum, p, static_cast<uInt>(k));
      total += k;
      if (head.size() < 512) head.append(reinterpret_cast<const char*>(p), std::min(k, 512 - head.size()));
      last.append(reinterpret_cast<const char*>(p), k);
      if (last.size() > 512) last.erase(0, last.size() - 512);
    };
    bool ended = method == 0, broken = false;
    for (uint32_t done = 0; done < csize && !broken;) {
      const size_t k = std::min<size_t>(in.size(), csize - done);
      if (!readAt(file, in.data(), k, dataAt + done)) {
        broken = true;
        break;
      }
      done += static_cast<uint32_t>(k);
      if (method == 0) {
        take(in.data(), k);
        continue;
      }
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(k);
      while (z.avail_in > 0 && !ended) {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        take(out.data(), out.size() - z.avail_out);
        if (rc == Z_STREAM_END) ended = true;
        else if (rc != Z_OK && rc != Z_BUF_ERROR) broken = true;
        if (broken || (rc == Z_BUF_ERROR && z.avail_out != 0)) break;
      }
    }
    if (method == 8) inflateEnd(&z);
    if (broken || !ended) return bad("parte " + name + " no se puede descomprimir");
    if (total != usize || sum != crc) return bad("parte " + name + " no coincide con su tamano o su CRC");
    if (endsWith(name, ".xml") || endsWith(name, ".rels")) {
      const std::string root = rootElement(head);
      const size_t lastChar = last.find_last_not_of(" \t\r\n");
      const std::string trimmed = lastChar == std::string::npos ? "" : last.substr(0, lastChar + 1);
      if (root.empty() || !endsWith(trimmed, "</" + root + ">")) return bad("parte " + name + " incompleta");
    }
  }
  return Status::ok();
}

struct Workbook::Impl {
  PrivateDir dir;
  std::string file;
  lxw_workbook* wb = nullptr;
  lxw_format* formats[7] = {};
  lxw_worksheet* ws = nullptr;
  lxw_row_t row = 0;
  Status failed;
  bool closed = false;
};

Workbook::Workbook() : impl_(new Impl) {
  auto made = platform::makeUniqueFolder("", "planilla-xlsx");
  if (!made) {
    impl_->failed = Status::ioError("No se pudo crear la carpeta temporal: " + made.status().message());
    return;
  }
  const std::string tmpl = made.value();
  impl_->dir.path = tmpl;
  impl_->file = tmpl + "/libro.xlsx";
  // One row in memory at a time: the rows go to the library's files in the private folder.
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = impl_->dir.path.data();
  impl_->wb = workbook_new_opt(impl_->file.c_str(), &options);
  if (!impl_->wb) {
    impl_->failed = Status::ioError("No se pudo crear la hoja de calculo");
    return;
  }
  for (int i = 0; i < 7; ++i) impl_->formats[i] = makeFormat(impl_->wb, static_cast<CellFormat>(i));
}

Workbook::~Workbook() {
  // An unfinished workbook is closed only to free it; its file is removed with the folder.
  if (impl_->wb) workbook_close(impl_->wb);
  delete impl_;
}

Status Workbook::addSheet(const Sheet& sh) {
  Impl& w = *impl_;
  if (!w.failed) return w.failed;
  if (w.closed) return w.failed = Status::ioError("Hoja de calculo ya cerrada");
  w.ws = workbook_add_worksheet(w.wb, sh.name.substr(0, 31).c_str());
  w.row = 0;
  if (!w.ws) return w.failed = Status::invalid("Nombre de hoja no valido: " + sh.name);
  for (size_t c = 0; c < sh.widths.size(); ++c)
    if (sh.widths[c] > 0)
      if (lxw_error e = worksheet_set_column(w.ws, c, c, sh.widths[c], nullptr); e != LXW_NO_ERROR)
        return w.failed = Status::invalid(std::string("Hoja de calculo: ") + lxw_strerror(e));
  if (sh.frozenRows > 0) worksheet_freeze_panes(w.ws, sh.frozenRows, 0);
  if (sh.printWide) {
    worksheet_set_landscape(w.ws);
    worksheet_fit_to_pages(w.ws, 1, 0);
  }
  for (const std::vector<Cell>& r : sh.rows) PLANILLA_RETURN_IF_ERROR(addRow(r));
  return Status::ok();
}

Status Workbook::addRow(const std::vector<Cell>& cells) {
  Impl& w = *impl_;
  if (!w.failed) return w.failed;
  if (!w.ws || w.closed) return w.failed = Status::ioError("Hoja de calculo sin hoja abierta");
  for (size_t c = 0; c < cells.size(); ++c) {
    const Cell& cell = cells[c];
    lxw_format* fmt = cell.format == CellFormat::General ? nullptr : w.formats[static_cast<int>(cell.format)];
    const auto col = static_cast<lxw_col_t>(c);
    lxw_error e = LXW_NO_ERROR;
    switch (cell.kind) {
      case Cell::Kind::Empty: break;
      case Cell::Kind::Text: e = worksheet_write_string(w.ws, w.row, col, cell.text.c_str(), fmt); break;
      case Cell::Kind::Number: e = worksheet_write_number(w.ws, w.row, col, cell.number, fmt); break;
      case Cell::Kind::Formula: e = worksheet_write_formula_num(w.ws, w.row, col, cell.text.c_str(), fmt, cell.number); break;
      case Cell::Kind::Day:
        if (cell.day.valid()) {
          lxw_datetime dt = {cell.day.year(), cell.day.month(), cell.day.day(), 0, 0, 0};
          e = worksheet_write_datetime(w.ws, w.row, col, &dt, fmt);
        }
        break;
    }
    if (e != LXW_NO_ERROR) return w.failed = Status::invalid(std::string("Hoja de calculo: ") + lxw_strerror(e));
  }
  ++w.row;
  return Status::ok();
}

Status Workbook::close() {
  Impl& w = *impl_;
  if (!w.failed) return w.failed;
  if (w.closed) return Status::ok();
  w.closed = true;
  const lxw_error e = workbook_close(w.wb);
  w.wb = nullptr;
  if (e != LXW_NO_ERROR)
    return w.failed = Status::ioError(std::string("No se pudo grabar la hoja de calculo: ") + lxw_strerror(e));
  // The library does not see every failed write of its parts (a full disk can leave
  // a part cut short behind a successful close): the file is read back.
  if (Status st = checkXlsx(w.file, "en preparacion"); !st) return w.failed = st;
  return Status::ok();
}

Status Workbook::save(const std::string& dir, const std::string& name, std::vector<std::string>* written) {
  PLANILLA_RETURN_IF_ERROR(close());
  FileSet set(dir, name, {name});
  PLANILLA_RETURN_IF_ERROR(set.open());
  std::ifstream in(platform::fsPath(impl_->file), std::ios::binary);
  if (!in) return Status::ioError("No se pudo leer la hoja de calculo " + impl_->file);
  std::vector<char> buf(1 << 16);
  for (;;) {
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    const std::streamsize n = in.gcount();
    if (n > 0) PLANILLA_RETURN_IF_ERROR(set.write(0, std::string_view(buf.data(), static_cast<size_t>(n))));
    if (in.eof()) break;
    if (!in) return Status::ioError("No se pudo leer la hoja de calculo " + impl_->file);
  }
  PLANILLA_RETURN_IF_ERROR(set.commit({true}));
  if (written) written->push_back(set.path(0));
  return Status::ok();
}

}  // namespace planilla::exports
