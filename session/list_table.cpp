#include "session/list_table.h"

#include <filesystem>
#include <system_error>

#include "store/platform.h"

namespace planilla {

Result<std::unique_ptr<ListTable>> ListTable::create(FileSystem& fs, const std::vector<Column>& columns) {
  std::unique_ptr<ListTable> out(new ListTable());
  out->columns_ = columns;
  // A fresh private folder per list, so two lists (or two stations) never meet.
  auto dir = platform::makeUniqueFolder(platform::tempFolder(), "planilla-lista");
  if (!dir) return Status::ioError("No se pudo crear la carpeta temporal de la lista");
  out->dir_ = *dir;
  if (out->dir_.empty()) return Status::ioError("No se pudo crear la carpeta temporal de la lista");
  std::vector<FieldSpec> fields;
  for (const Column& c : columns) fields.push_back({c.name, 'C', c.width, 0});
  const std::string path = out->dir_ + "/lista.dbf";
  PLANILLA_RETURN_IF_ERROR(Table::create(fs, path, fields));
  auto t = Table::open(fs, path, OpenMode::Exclusive, "Lista");
  if (!t) return t.status();
  out->table_ = std::move(t).value();
  return out;
}

ListTable::~ListTable() {
  if (table_) table_->close();
  table_.reset();
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(platform::fsPath(dir_), ec);
}

Status ListTable::clear() {
  for (Status st = table_->goTop(); !table_->eof(); st = table_->skip()) {
    PLANILLA_RETURN_IF_ERROR(st);
    PLANILLA_RETURN_IF_ERROR(table_->markDeleted());
  }
  return table_->pack();
}

Status ListTable::add(const std::vector<std::string>& values) {
  std::string bytes;
  for (size_t i = 0; i < columns_.size(); ++i) {
    std::string v = i < values.size() ? values[i] : "";
    v.resize(static_cast<size_t>(columns_[i].width), ' ');
    bytes += v;
  }
  return table_->appendRaw(bytes);
}

}  // namespace planilla
