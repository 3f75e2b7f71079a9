#include "calc/record.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace planilla::calc {

namespace {

inline unsigned char foldCase(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 32) : u;
}

constexpr double kPow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};

// Rounds |v| x 10^d to a whole number k when the result is certain without looking
// at the decimal the value prints as: the value is of moderate size and not within a
// hair of a rounding half. Then rounding that decimal (15 significant digits, as
// roundHalfAway does) and rounding the value itself agree, and k / 10^d is the
// double nearest to the rounded decimal. False when the general path must decide.
bool fastScaled(double v, int d, uint64_t* k) {
  if (d < 0 || d > 6 || !(std::fabs(v) < 1e9)) return false;
  const double scaled = std::fabs(v) * kPow10[d];
  const double whole = std::floor(scaled);
  const double frac = scaled - whole;
  if (std::fabs(frac - 0.5) <= scaled * 1e-14 + 1e-9) return false;
  *k = static_cast<uint64_t>(whole) + (frac > 0.5 ? 1 : 0);
  return true;
}

// The common case of encodeStored without formatting through the C library: a value
// of moderate size that is not within a hair of a rounding half. The rounding of the
// decimal the value prints as (15 significant digits) and of the value itself then
// agree, and k / 10^d is the double nearest to the decimal text, which is what the
// field reads back. Returns false when the general path must decide.
bool fastEncode(double v, const dbf::Field& f, char* out, double* stored, bool* fits) {
  const int d = f.decimals;
  uint64_t k = 0;
  if (!fastScaled(v, d, &k)) return false;
  const bool neg = v < 0;
  // Digits of k with d decimals: "-12.50", "0.05", "7".
  char buf[40];
  int n = 0;
  uint64_t x = k;
  int digits = 0;
  char rev[32];
  do {
    rev[digits++] = static_cast<char>('0' + x % 10);
    x /= 10;
  } while (x != 0 || digits <= d);  // at least one digit before the point
  if (neg && k != 0) buf[n++] = '-';
  for (int i = digits - 1; i >= 0; --i) {
    if (i == d - 1) buf[n++] = '.';
    buf[n++] = rev[i];
  }
  *fits = n <= f.width;
  if (!*fits) return true;
  std::memset(out, ' ', static_cast<size_t>(f.width - n));
  std::memcpy(out + (f.width - n), buf, static_cast<size_t>(n));
  const double kv = static_cast<double>(k) / kPow10[d];
  *stored = (neg && k != 0) ? -kv : kv;
  return true;
}

}  // namespace

double roundDec(double v, int decimals) {
  uint64_t k = 0;
  if (!fastScaled(v, decimals, &k)) return roundHalfAway(v, decimals);
  const double kv = static_cast<double>(k) / kPow10[decimals];
  return std::signbit(v) ? -kv : kv;
}

// --- FieldMap -----------------------------------------------------------------------

FieldMap::FieldMap(std::vector<FieldSpec> fields) : fields_(std::move(fields)) {
  uint32_t off = 0;
  for (int i = 0; i < static_cast<int>(fields_.size()); ++i) {
    const FieldSpec& s = fields_[i];
    dbf::Field d = dbfField(s);
    d.offset = off;
    off += static_cast<uint32_t>(s.width);
    dbf_.push_back(d);
    byName_.emplace(s.name, i);  // keeps the first field of a name
  }
}

size_t FieldMap::Hash::operator()(std::string_view s) const {
  size_t h = 1469598103934665603ULL;  // FNV-1a
  for (char c : s) {
    h ^= foldCase(c);
    h *= 1099511628211ULL;
  }
  return h;
}

bool FieldMap::Equal::operator()(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  return true;
}

int FieldMap::index(std::string_view name) const {
  Memo& m = memo_[((reinterpret_cast<uintptr_t>(name.data()) >> 3) ^ name.size()) % memo_.size()];
  if (m.data == name.data() && m.size == name.size() && m.index >= 0 &&
      Equal()(fields_[static_cast<size_t>(m.index)].name, name))
    return m.index;
  auto it = byName_.find(name);
  if (it == byName_.end()) return -1;
  m = {name.data(), name.size(), it->second};
  return it->second;
}

Status encodeStored(double v, const dbf::Field& f, char* out, double* stored) {
  bool fits = true;
  if (!fastEncode(v, f, out, stored, &fits)) {
    PLANILLA_RETURN_IF_ERROR(dbf::encodeNumber(v, f.width, f.decimals, out));
    *stored = dbf::decodeNumber(f, std::string_view(out, static_cast<size_t>(f.width)));
    return Status::ok();
  }
  if (!fits) {
    // The general path words the refusal.
    char scratch[64];
    if (f.width > static_cast<int>(sizeof scratch)) return Status::invalid("campo " + f.name + " invalido");
    return dbf::encodeNumber(v, f.width, f.decimals, scratch);
  }
  return Status::ok();
}

// --- RecordView ---------------------------------------------------------------------

std::vector<FieldSpec> fieldSpecs(const Table& t) {
  std::vector<FieldSpec> f;
  f.reserve(t.fieldCount());
  for (int i = 0; i < t.fieldCount(); ++i) f.push_back(t.field(i));
  return f;
}

static std::string fileNameOf(const Table& t) {
  const std::string& p = t.path();
  const size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

RecordView::RecordView(const Table& t) : map_(fieldSpecs(t)), table_(fileNameOf(t)) {}

void RecordView::load(const Table& t) {
  bytes_ = t.rawRecord();
  recno_ = t.recno();
  badField_ = -1;
}

Status RecordView::checkNumbers(const std::vector<std::string>& names) const {
  for (const std::string& n : names) {
    const int i = index(n);
    if (i < 0) continue;
    switch (map_.fieldAt(i).type) {
      case 'N': case 'F': case 'I': case 'B': case 'Y': (void)num(i); break;
      default: break;
    }
  }
  return numberError();
}

Status RecordView::numberError() const {
  if (badField_ < 0) return Status::ok();
  return unreadableNumber(table_, recno_, map_.fieldAt(badField_).name, bytes(badField_));
}

std::string_view RecordView::bytes(int i) const {
  if (i < 0) return {};
  const dbf::Field& f = map_.field(i);
  if (f.offset + static_cast<size_t>(f.width) > bytes_.size()) return {};
  return std::string_view(bytes_).substr(f.offset, static_cast<size_t>(f.width));
}

std::string RecordView::str(int i) const { return std::string(bytes(i)); }

double RecordView::num(int i) const {
  std::string_view b = bytes(i);
  if (b.empty()) return 0.0;
  bool ok = true;
  const double v = dbf::decodeNumber(map_.field(i), b, &ok);
  if (!ok && badField_ < 0) badField_ = i;
  return v;
}

Date RecordView::date(int i) const {
  std::string_view b = bytes(i);
  return b.empty() ? Date() : dbf::decodeDate(map_.field(i), b);
}

// --- PendingRecord ------------------------------------------------------------------

PendingRecord::PendingRecord(std::vector<FieldSpec> fields) : map_(std::move(fields)) {
  size_t len = 0;
  for (int i = 0; i < map_.size(); ++i) len += static_cast<size_t>(map_.fieldAt(i).width);
  blank_.assign(len, ' ');
  clear();
}

PendingRecord PendingRecord::forTable(const Table& t) { return PendingRecord(fieldSpecs(t)); }

void PendingRecord::clear() {
  image_ = blank_;
  slots_.assign(static_cast<size_t>(map_.size()), Slot{});
  order_.clear();
}

Status PendingRecord::fieldFor(std::string_view name, char type, int* i) const {
  *i = map_.index(name);
  if (*i < 0) return Status::invalid("campo " + std::string(name) + " no existe");
  char t = map_.fieldAt(*i).type;
  if (t == 'F') t = 'N';
  if (t != type) return Status::invalid("campo " + map_.fieldAt(*i).name + " de otro tipo");
  return Status::ok();
}

void PendingRecord::markSet(int i) {
  if (!slots_[i].set) {
    slots_[i].set = true;
    order_.push_back(i);
  }
}

Status PendingRecord::setNum(std::string_view name, double v) {
  int i;
  PLANILLA_RETURN_IF_ERROR(fieldFor(name, 'N', &i));
  const dbf::Field& f = map_.field(i);
  char buf[64];
  if (f.width <= 0 || f.width > static_cast<int>(sizeof buf)) return Status::invalid("campo " + f.name + " invalido");
  double stored = 0;
  Status st = encodeStored(v, f, buf, &stored);
  if (!st) return Status::invalid("valor " + std::to_string(v) + " no cabe en el campo " + f.name);
  std::memcpy(image_.data() + f.offset, buf, static_cast<size_t>(f.width));
  slots_[i].num = stored;
  markSet(i);
  return Status::ok();
}

Status PendingRecord::setText(std::string_view name, std::string_view text) {
  int i;
  PLANILLA_RETURN_IF_ERROR(fieldFor(name, 'C', &i));
  const dbf::Field& f = map_.field(i);
  dbf::encodeText(text, f.width, image_.data() + f.offset);
  markSet(i);
  return Status::ok();
}

Status PendingRecord::setDate(std::string_view name, const Date& d) {
  int i;
  PLANILLA_RETURN_IF_ERROR(fieldFor(name, 'D', &i));
  const dbf::Field& f = map_.field(i);
  dbf::encodeDate(d, f.width, image_.data() + f.offset);
  slots_[i].date = d;
  markSet(i);
  return Status::ok();
}

double PendingRecord::num(std::string_view name) const {
  int i = map_.index(name);
  return i < 0 ? 0.0 : slots_[i].num;
}

std::string PendingRecord::text(std::string_view name) const {
  int i = map_.index(name);
  if (i < 0) return "";
  const dbf::Field& f = map_.field(i);
  return image_.substr(f.offset, static_cast<size_t>(f.width));
}

Date PendingRecord::date(std::string_view name) const {
  int i = map_.index(name);
  return i < 0 ? Date() : slots_[i].date;
}

bool PendingRecord::isSet(std::string_view name) const {
  int i = map_.index(name);
  return i >= 0 && slots_[i].set;
}

std::vector<std::string> PendingRecord::setFields() const {
  std::vector<std::string> names;
  names.reserve(order_.size());
  for (int i : order_) names.push_back(map_.fieldAt(i).name);
  return names;
}

Status PendingRecord::copyFrom(const RecordView& src, const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    int si = src.index(n);
    if (si < 0) continue;
    int di = map_.index(n);
    if (di < 0) return Status::invalid("campo " + n + " no existe");
    switch (map_.fieldAt(di).type) {
      case 'C': PLANILLA_RETURN_IF_ERROR(setText(n, src.str(si))); break;
      case 'N':
      case 'F': PLANILLA_RETURN_IF_ERROR(setNum(n, src.num(si))); break;
      case 'D': PLANILLA_RETURN_IF_ERROR(setDate(n, src.date(si))); break;
      default: break;
    }
  }
  return src.numberError();
}

Status PendingRecord::appendTo(Table& t) const {
  // Fields never set hold blanks, as in a blank record.
  if (t.fieldCount() != map_.size()) return Status::invalid("estructura distinta de " + t.alias());
  return t.appendRaw(image_);
}

Status PendingRecord::writeOver(Table& t) const {
  if (t.fieldCount() != map_.size()) return Status::invalid("estructura distinta de " + t.alias());
  return t.replaceRaw(image_);
}

}  // namespace planilla::calc
