// A record of a log table built in memory and written in one piece (appendRaw or
// replaceRaw), so that a log never holds a record half written.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "store/dbf_format.h"
#include "store/table.h"

namespace planilla {

class RecordBytes {
 public:
  explicit RecordBytes(const Table& t) : layout_(&t.recordLayout()) {
    size_t len = 0;
    for (const auto& f : *layout_) len = std::max<size_t>(len, f.offset + static_cast<size_t>(f.width));
    bytes_.assign(len > 0 ? len - 1 : 0, ' ');  // offsets count the deletion flag
  }
  RecordBytes(const Table& t, std::string bytes) : layout_(&t.recordLayout()), bytes_(std::move(bytes)) {}

  // Text is cut to the field (a log keeps what fits rather than refuse the record).
  RecordBytes& text(std::string_view field, std::string_view value) {
    if (const FieldLayout* f = find(field)) dbf::encodeText(value, f->width, bytes_.data() + f->offset - 1);
    return *this;
  }
  // A number that does not fit its field is the first problem kept in status().
  RecordBytes& number(std::string_view field, double value) {
    if (const FieldLayout* f = find(field)) {
      Status st = dbf::encodeNumber(value, f->width, f->decimals, bytes_.data() + f->offset - 1);
      if (!st && status_) status_ = st;
    }
    return *this;
  }
  const Status& status() const { return status_; }
  const std::string& bytes() const { return bytes_; }

 private:
  const FieldLayout* find(std::string_view field) {
    for (const auto& f : *layout_) {
      if (f.name.size() != field.size()) continue;
      bool same = true;
      for (size_t i = 0; i < field.size() && same; ++i)
        same = std::toupper(static_cast<unsigned char>(f.name[i])) == std::toupper(static_cast<unsigned char>(field[i]));
      if (same && f.offset >= 1 && f.offset - 1 + static_cast<size_t>(f.width) <= bytes_.size()) return &f;
    }
    if (status_) status_ = Status::invalid("el campo " + std::string(field) + " no existe en la tabla");
    return nullptr;
  }
  const RecordLayout* layout_;
  std::string bytes_;
  Status status_;
};

}  // namespace planilla
