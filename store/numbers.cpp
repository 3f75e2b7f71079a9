#include "store/numbers.h"

#include <algorithm>
#include <vector>

#include "store/dbf_format.h"

namespace planilla {
namespace {

std::string fileNameOf(const Table& t) {
  const std::string& p = t.path();
  const size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool decimalText(char type) { return type == 'N' || type == 'F'; }

}  // namespace

dbf::Field dbfField(const FieldSpec& s) {
  dbf::Field d;
  d.name = s.name;
  d.type = s.type;
  d.width = s.width;
  d.decimals = s.decimals;
  return d;
}

Status unreadableNumber(const std::string& table, uint32_t recno, const std::string& field, std::string_view bytes) {
  std::string shown(bytes);
  shown.erase(0, std::min(shown.find_first_not_of(' '), shown.size()));
  while (!shown.empty() && shown.back() == ' ') shown.pop_back();
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';  // binary junk stays on one line
  return Status::corrupt("Dato No Numerico En " + table + ", Registro " + std::to_string(recno) + ", Campo " +
                         field + " (" + shown + ")");
}

Result<double> checkedNum(const Table& t, std::string_view field) {
  const int i = t.fieldIndex(field);
  if (i < 0) return 0.0;
  const dbf::Field f = dbfField(t.field(i));
  const std::string bytes = t.str(i);
  bool ok = true;
  const double v = dbf::decodeNumber(f, bytes, &ok);
  if (!ok) return unreadableNumber(fileNameOf(t), t.recno(), f.name, bytes);
  return v;
}

Status checkNumbers(const Table& t) {
  for (int i = 0; i < t.fieldCount(); ++i) {
    if (!decimalText(t.field(i).type)) continue;
    const std::string bytes = t.str(i);
    bool ok = true;
    (void)dbf::decodeNumber(dbfField(t.field(i)), bytes, &ok);
    if (!ok) return unreadableNumber(fileNameOf(t), t.recno(), t.field(i).name, bytes);
  }
  return Status::ok();
}

Status checkAllNumbers(Table& t) {
  std::vector<dbf::Field> numeric;
  for (const FieldLayout& f : t.recordLayout()) {
    if (!decimalText(f.type)) continue;
    dbf::Field d;
    d.name = f.name;
    d.type = f.type;
    d.width = f.width;
    d.decimals = f.decimals;
    d.offset = f.offset;
    numeric.push_back(d);
  }
  if (numeric.empty()) return Status::ok();
  const std::string name = fileNameOf(t);
  return t.records()([&](uint32_t recno, std::string_view r) -> Status {
    if (dbf::isDeleted(r)) return Status::ok();
    for (const dbf::Field& f : numeric) {
      if (f.offset + static_cast<size_t>(f.width) > r.size()) continue;
      const std::string_view bytes = r.substr(f.offset, static_cast<size_t>(f.width));
      bool ok = true;
      (void)dbf::decodeNumber(f, bytes, &ok);
      if (!ok) return unreadableNumber(name, recno, f.name, bytes);
    }
    return Status::ok();
  });
}

}  // namespace planilla
