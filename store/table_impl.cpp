// The Table cursor over a .dbf file and its open index bags.
//
// Byte positions come from dbf_format; this file only decides what to read, write
// and lock, in which order:
//  - append: header lock, record count re-read under it, record written past the
//    count, keys inserted, then the count in the header (the commit), header unlock;
//  - replace: old and new images compared tag by tag, keys moved under the index
//    lock, then the record written; any failure undoes the index changes;
//  - in shared mode nothing read from the table is trusted across calls: the count
//    is re-read at the ends of the file and record bytes are read when used.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstring>
#include <thread>

#include "store/dbf_format.h"
#include "store/index.h"
#include "store/table.h"

namespace planilla {
namespace {

Date today() {
  time_t now = ::time(nullptr);
  struct tm tm;
  ::localtime_r(&now, &tm);
  return Date(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

std::string fileName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stem(const std::string& path) {
  std::string n = fileName(path);
  auto dot = n.rfind('.');
  return dot == std::string::npos || dot == 0 ? n : n.substr(0, dot);
}

// Locks that guard a few microseconds of work (header/append lock, index lock) are
// retried briefly; record locks are never retried.
template <class F>
Status retryBriefly(F&& attempt) {
  auto delay = std::chrono::microseconds(20);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (true) {
    Status st = attempt();
    if (st.code() != ErrorCode::Locked || std::chrono::steady_clock::now() >= deadline) return st;
    std::this_thread::sleep_for(delay);
    delay = std::min(delay * 2, std::chrono::microseconds(2000));
  }
}

class DbfTable final : public Table {
 public:
  DbfTable(FileSystem& fs, std::unique_ptr<File> file, std::string path, std::string alias, OpenMode mode,
           bool readOnly, dbf::Layout layout)
      : fs_(fs),
        file_(std::move(file)),
        path_(std::move(path)),
        alias_(std::move(alias)),
        mode_(mode),
        readOnly_(readOnly),
        layout_(std::move(layout)) {
    recLayout_ = dbf::recordLayout(layout_);
    specs_ = dbf::fieldSpecs(layout_);
    blank_ = dbf::blankRecord(layout_);
    rec_ = blank_;
    count_ = layout_.header.recordCount;
    recno_ = count_ + 1;
  }
  ~DbfTable() override { close(); }

  // --- whole file -------------------------------------------------------------
  const std::string& path() const override { return path_; }
  const std::string& alias() const override { return alias_; }
  OpenMode mode() const override { return mode_; }

  Status copyStructure(const std::string& path) const override {
    return Table::create(fs_, path, specs_);
  }

  Status appendFrom(const std::string& path) override;
  Status pack() override;

  Status flush() override {
    if (!file_) return closedError();
    for (auto& b : bags_) PLANILLA_RETURN_IF_ERROR(b->flush());
    if (readOnly_) return Status::ok();
    return file_->sync();
  }

  void close() override {
    if (!file_) return;
    unlockAll();
    // Every change is already written through; close does not wait for the disk.
    tags_.clear();
    bags_.clear();
    bagPaths_.clear();
    order_ = 0;
    file_.reset();
    eof_ = bof_ = true;
    found_ = false;
    rec_ = blank_;
  }

  // --- structure ----------------------------------------------------------------
  int fieldCount() const override { return static_cast<int>(specs_.size()); }
  const FieldSpec& field(int i) const override { return specs_.at(static_cast<size_t>(i)); }
  int fieldIndex(std::string_view name) const override {
    size_t e = name.size();
    while (e > 0 && name[e - 1] == ' ') --e;
    name = name.substr(0, e);
    for (size_t i = 0; i < specs_.size(); ++i)
      if (iequals(specs_[i].name, name)) return static_cast<int>(i);
    return -1;
  }
  const RecordLayout& recordLayout() const override { return recLayout_; }
  RecordWalker records() override;

  // --- indexes ----------------------------------------------------------------------
  Status openIndex(const std::string& bagPath) override;
  Status createTag(const std::string& bagPath, const std::string& tag, const std::string& keyExpr,
                   const std::string& forExpr) override;
  Status createIndexFile(const std::string& bagPath, const std::string& keyExpr) override;
  int tagCount() const override { return static_cast<int>(tags_.size()); }
  std::string tagName(int position) const override {
    if (position < 1 || position > tagCount()) return "";
    return tagAt(position).name();
  }
  Status setOrder(int position) override {
    if (position < 0 || position > tagCount())
      return Status::invalid("orden " + std::to_string(position) + " inexistente en " + alias_);
    order_ = position;
    entryValid_ = false;
    return Status::ok();
  }
  int order() const override { return order_; }
  void closeIndexes() override {
    tags_.clear();
    bags_.clear();
    bagPaths_.clear();
    order_ = 0;
    entryValid_ = false;
  }
  int bagCount() const override { return static_cast<int>(bags_.size()); }
  IndexBag& bag(int i) override { return *bags_.at(static_cast<size_t>(i)); }

  // --- cursor -------------------------------------------------------------------------
  Status goTop() override;
  Status goBottom() override;
  Status goEdge(int dir);
  Status skip(int n) override;
  Status go(uint32_t recno) override;
  bool seek(std::string_view key) override;
  uint32_t recno() const override { return recno_; }
  bool eof() const override { return eof_; }
  bool bof() const override { return bof_; }
  bool found() const override { return found_; }
  uint32_t recordCount() override {
    if (file_ && mode_ == OpenMode::Shared) (void)refreshCount();
    return count_;
  }
  bool deleted() const override { return !eof_ && dbf::isDeleted(current()); }
  Status lastError() const override { return lastError_; }

  // --- fields -------------------------------------------------------------------------
  std::string str(std::string_view name) const override { return str(fieldIndex(name)); }
  double num(std::string_view name) const override { return num(fieldIndex(name)); }
  Date date(std::string_view name) const override {
    int i = fieldIndex(name);
    if (i < 0) return Date();
    const auto& f = layout_.fields[static_cast<size_t>(i)];
    return dbf::decodeDate(f, fieldBytes(current(), i));
  }
  bool logical(std::string_view name) const override {
    int i = fieldIndex(name);
    if (i < 0) return false;
    return dbf::decodeLogical(fieldBytes(current(), i));
  }
  std::string str(int i) const override {
    if (i < 0 || i >= fieldCount()) return "";
    return std::string(fieldBytes(current(), i));
  }
  double num(int i) const override {
    if (i < 0 || i >= fieldCount()) return 0;
    return dbf::decodeNumber(layout_.fields[static_cast<size_t>(i)], fieldBytes(current(), i));
  }

  Status replace(std::string_view name, std::string_view text) override;
  Status replace(std::string_view name, double value) override;
  Status replace(std::string_view name, const Date& value) override;
  Status replaceLogical(std::string_view name, bool value) override;
  std::string rawRecord() const override {
    const std::string& r = current();
    return r.substr(1);
  }
  Status replaceRaw(std::string_view bytes) override;

  // --- records and locks ------------------------------------------------------------------
  Status appendBlank() override { return appendRecord(blank_, true); }
  Status appendRaw(std::string_view bytes) override {
    if (bytes.size() + 1 != layout_.header.recordLength)
      return Status::invalid("registro de " + std::to_string(bytes.size()) + " bytes para " + alias_ +
                             " (se esperan " + std::to_string(layout_.header.recordLength - 1) + ")");
    appendImage_.assign(1, dbf::kLiveFlag);
    appendImage_.append(bytes);
    return appendRecord(appendImage_, true);
  }
  Status markDeleted() override { return setDeletedFlag(true); }
  Status recall() override { return setDeletedFlag(false); }
  Status lockRecord() override;
  void unlockAll() override {
    if (!file_) {
      locks_.clear();
      return;
    }
    for (uint32_t n : locks_) (void)file_->unlock(dbf::recordLockOffset(n), 1);
    locks_.clear();
  }

 private:
  struct TagRef {
    IndexBag* bag;
    int index;
    int nullable = -1;  // -1 not yet known; 1 when keys carry the leading 0x80 byte
  };
  // One index change, kept so that it can be undone.
  struct KeyOp {
    IndexTag* tag;
    bool insert;
    std::string key;
    uint32_t recno;
  };

  static Status closedError() { return Status::invalid("la tabla esta cerrada"); }

  IndexTag& tagAt(int position) const {
    const TagRef& r = tags_[static_cast<size_t>(position - 1)];
    return r.bag->tag(r.index);
  }
  IndexBag& bagOf(int position) const { return *tags_[static_cast<size_t>(position - 1)].bag; }

  // Whether the tag's keys are one byte longer than its expression gives: the
  // nullable form, whose keys start with 0x80.
  bool nullableTag(int position) {
    TagRef& r = tags_[static_cast<size_t>(position - 1)];
    if (r.nullable < 0) {
      IndexTag& t = r.bag->tag(r.index);
      auto e = KeyExpr::compile(t.keyText(), recLayout_);
      r.nullable = e && (*e)->type() == KeyExpr::Type::Char && (*e)->keyLength() + 1 == t.keyLength() ? 1 : 0;
    }
    return r.nullable == 1;
  }

  std::string_view fieldBytes(const std::string& rec, int i) const {
    const auto& f = layout_.fields[static_cast<size_t>(i)];
    return std::string_view(rec).substr(f.offset, static_cast<size_t>(f.width));
  }

  // The current record's bytes. In shared mode they are read again on every use so
  // that changes by other stations show at once.
  const std::string& current() const {
    if (file_ && !eof_ && mode_ == OpenMode::Shared) {
      Status st = readRecord(recno_, scratchRead_);
      if (st) rec_.swap(scratchRead_);
    }
    return rec_;
  }

  Status readRecord(uint32_t n, std::string& buf) const {
    buf.resize(layout_.header.recordLength);
    size_t got = 0;
    PLANILLA_RETURN_IF_ERROR(file_->readAt(dbf::recordOffset(layout_.header, n), buf.data(), buf.size(), &got));
    if (got != buf.size())
      return Status::corrupt("registro " + std::to_string(n) + " incompleto en " + fileName(path_));
    return Status::ok();
  }

  Status writeRecord(uint32_t n, const std::string& rec) {
    return file_->writeAt(dbf::recordOffset(layout_.header, n), rec.data(), rec.size());
  }

  // Re-reads the record count from the header (other stations append).
  Status refreshCount() {
    char b[dbf::kRecordCountSize];
    size_t got = 0;
    PLANILLA_RETURN_IF_ERROR(file_->readAt(dbf::kRecordCountOffset, b, sizeof b, &got));
    if (got != sizeof b) return Status::corrupt("encabezado truncado en " + fileName(path_));
    uint32_t n = dbf::decodeRecordCount(b);
    if (n > dbf::kMaxRecords) return Status::corrupt("cantidad de registros invalida en " + fileName(path_));
    count_ = n;
    layout_.header.recordCount = n;
    return Status::ok();
  }

  void setEof() {
    eof_ = true;
    recno_ = count_ + 1;
    rec_ = blank_;
    entryValid_ = false;
  }

  Status fail(Status st) {
    lastError_ = st;
    return st;
  }

  // Moves to record n whose bytes are already in rec_.
  void land(uint32_t n) {
    recno_ = n;
    eof_ = false;
    bof_ = false;
  }

  Status checkOpen() const { return file_ ? Status::ok() : closedError(); }

  // Changes are refused on read-only tables and while any open tag cannot be kept.
  Status checkWritable() const {
    PLANILLA_RETURN_IF_ERROR(checkOpen());
    if (readOnly_) return Status::invalid("la tabla " + fileName(path_) + " esta abierta solo para lectura");
    for (int p = 1; p <= tagCount(); ++p) {
      IndexTag& t = tagAt(p);
      if (!t.evaluable())
        return Status::needsReindex("el indice " + t.name() + " de " + fileName(path_) +
                                    " no se puede mantener (expresion \"" + t.keyText() +
                                    "\"); reindexe la tabla antes de modificarla");
    }
    return Status::ok();
  }

  void rebuildTagRefs() {
    tags_.clear();
    for (auto& b : bags_)
      for (int i = 0; i < b->tagCount(); ++i) tags_.push_back({b.get(), i, -1});
  }

  int bagIndexOf(const std::string& resolved) const {
    for (size_t i = 0; i < bagPaths_.size(); ++i)
      if (bagPaths_[i] == resolved) return static_cast<int>(i);
    return -1;
  }

  // --- record order helpers ---
  Status firstLiveFrom(uint32_t n, int dir, bool* landed);
  // --- index order helpers ---
  Status refreshBag(int position) {
    if (mode_ == OpenMode::Shared) return bagOf(position).refresh();
    return Status::ok();
  }
  // Walks entries from `e` in direction dir until a live record; lands there.
  Status landOnEntry(std::optional<IndexEntry> e, int dir, bool* landed);
  Status currentEntry(IndexEntry* out);

  // Index maintenance between two images of record n.
  Status planKeyOps(const std::string& before, const std::string& after, uint32_t n, bool hadBefore,
                    std::vector<KeyOp>* ops);
  Status applyKeyOps(std::vector<KeyOp>& ops, std::vector<IndexBag*>* begun, size_t* applied);
  Status beginBagOf(const IndexTag* tag, std::vector<IndexBag*>* begun);
  Status dropStaleKeys(const std::string& stale, uint32_t n, std::vector<IndexBag*>* begun);
  void undoKeyOps(std::vector<KeyOp>& ops, size_t applied);
  Status endUpdates(std::vector<IndexBag*>& begun);
  void syncEntryAfterChange(const std::string& image, uint32_t n);

  Status changeRecord(const std::function<Status(std::string&)>& edit);
  Status appendRecord(const std::string& image, bool keepLock);
  Status setDeletedFlag(bool del) {
    return changeRecord([del](std::string& r) {
      dbf::setDeleted(r, del);
      return Status::ok();
    });
  }
  Status fieldForChange(std::string_view name, int* idx) const {
    *idx = fieldIndex(name);
    if (*idx < 0) return Status::invalid("campo desconocido " + std::string(name) + " en " + alias_);
    return Status::ok();
  }
  Status rebuildAllTags();

  FileSystem& fs_;
  std::unique_ptr<File> file_;
  std::string path_, alias_;
  OpenMode mode_;
  bool readOnly_;
  dbf::Layout layout_;
  RecordLayout recLayout_;
  std::vector<FieldSpec> specs_;
  std::string blank_;
  uint32_t count_ = 0;

  std::vector<std::unique_ptr<IndexBag>> bags_;
  std::vector<std::string> bagPaths_;  // resolved names, parallel to bags_
  std::vector<TagRef> tags_;
  int order_ = 0;

  uint32_t recno_ = 1;
  bool eof_ = true, bof_ = true, found_ = false;
  mutable std::string rec_;
  mutable std::string scratchRead_;
  std::string work_;
  std::string appendImage_;
  std::string seekKey_;
  IndexEntry entry_;
  bool entryValid_ = false;
  std::vector<uint32_t> locks_;
  Status lastError_;
};

// ---------------------------------------------------------------------------------------
// Record order

// Finds the first live record starting at n and moving by dir (+1/-1) within 1..count.
Status DbfTable::firstLiveFrom(uint32_t n, int dir, bool* landed) {
  *landed = false;
  while (n >= 1 && n <= count_) {
    Status st = readRecord(n, rec_);
    if (!st) {
      setEof();  // the cursor never points at bytes of another record
      return st;
    }
    if (!dbf::isDeleted(rec_)) {
      land(n);
      *landed = true;
      return Status::ok();
    }
    n = dir > 0 ? n + 1 : n - 1;
  }
  return Status::ok();
}

Status DbfTable::goTop() { return goEdge(+1); }
Status DbfTable::goBottom() { return goEdge(-1); }

// The first live record in the controlling order (dir +1) or the last (dir -1);
// end of file (and beginning) when there is none.
Status DbfTable::goEdge(int dir) {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  lastError_ = Status::ok();
  found_ = false;
  if (mode_ == OpenMode::Shared) PLANILLA_RETURN_IF_ERROR(fail(refreshCount()));
  bool landed = false;
  if (order_ == 0) {
    Status st = firstLiveFrom(dir > 0 ? 1 : count_, dir, &landed);
    if (!st) return fail(st);
    entryValid_ = false;
  } else {
    PLANILLA_RETURN_IF_ERROR(fail(refreshBag(order_)));
    auto e = dir > 0 ? tagAt(order_).first() : tagAt(order_).last();
    if (!e) return fail(e.status());
    Status st = landOnEntry(*e, dir, &landed);
    if (!st) return fail(st);
  }
  if (!landed) {
    setEof();
    bof_ = true;
  }
  return Status::ok();
}

Status DbfTable::go(uint32_t n) {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  lastError_ = Status::ok();
  found_ = false;
  if (mode_ == OpenMode::Shared || n > count_) PLANILLA_RETURN_IF_ERROR(fail(refreshCount()));
  if (n == count_ + 1) {
    setEof();
    return Status::ok();
  }
  if (n < 1 || n > count_)
    return fail(Status::invalid("registro " + std::to_string(n) + " fuera de rango en " + alias_ + " (hay " +
                                std::to_string(count_) + ")"));
  Status st = readRecord(n, rec_);
  if (!st) {
    setEof();
    return fail(st);
  }
  land(n);
  entryValid_ = false;
  return Status::ok();
}

Status DbfTable::skip(int n) {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  lastError_ = Status::ok();
  found_ = false;
  if (n == 0) {
    if (!eof_) return fail(readRecord(recno_, rec_));
    return Status::ok();
  }
  if (mode_ == OpenMode::Shared) PLANILLA_RETURN_IF_ERROR(fail(refreshCount()));
  if (order_ == 0) {
    for (int step = 0; step < std::abs(n); ++step) {
      bool landed = false;
      if (n > 0) {
        if (eof_) return Status::ok();
        Status st = firstLiveFrom(recno_ + 1, +1, &landed);
        if (!st) return fail(st);
        if (!landed) {
          setEof();
          return Status::ok();
        }
      } else {
        uint32_t from = eof_ ? count_ : recno_ - 1;
        Status st = firstLiveFrom(from, -1, &landed);
        if (!st) return fail(st);
        if (!landed) {
          PLANILLA_RETURN_IF_ERROR(goTop());
          bof_ = true;
          return Status::ok();
        }
      }
    }
    entryValid_ = false;
    return Status::ok();
  }
  PLANILLA_RETURN_IF_ERROR(fail(refreshBag(order_)));
  IndexTag& tag = tagAt(order_);
  for (int step = 0; step < std::abs(n); ++step) {
    bool landed = false;
    if (n > 0) {
      if (eof_) return Status::ok();
      IndexEntry here;
      PLANILLA_RETURN_IF_ERROR(fail(currentEntry(&here)));
      auto e = tag.next(here);
      if (!e) return fail(e.status());
      Status st = landOnEntry(*e, +1, &landed);
      if (!st) return fail(st);
      if (!landed) {
        setEof();
        return Status::ok();
      }
    } else {
      std::optional<IndexEntry> e;
      if (eof_) {
        auto r = tag.last();
        if (!r) return fail(r.status());
        e = *r;
      } else {
        IndexEntry here;
        PLANILLA_RETURN_IF_ERROR(fail(currentEntry(&here)));
        auto r = tag.prev(here);
        if (!r) return fail(r.status());
        e = *r;
      }
      Status st = landOnEntry(e, -1, &landed);
      if (!st) return fail(st);
      if (!landed) {
        PLANILLA_RETURN_IF_ERROR(goTop());
        bof_ = true;
        return Status::ok();
      }
    }
  }
  return Status::ok();
}

Status DbfTable::landOnEntry(std::optional<IndexEntry> e, int dir, bool* landed) {
  *landed = false;
  IndexTag& tag = tagAt(order_);
  bool recounted = false;
  while (e) {
    if (e->recno > count_ && !recounted && mode_ == OpenMode::Shared) {
      PLANILLA_RETURN_IF_ERROR(refreshCount());
      recounted = true;
    }
    // An entry beyond the last record (a stale index) is passed over.
    if (e->recno >= 1 && e->recno <= count_) {
      Status st = readRecord(e->recno, rec_);
      if (!st) {
        setEof();
        return st;
      }
      if (!dbf::isDeleted(rec_)) {
        land(e->recno);
        entry_ = std::move(*e);
        entryValid_ = true;
        *landed = true;
        return Status::ok();
      }
    }
    auto r = dir > 0 ? tag.next(*e) : tag.prev(*e);
    if (!r) {
      setEof();
      return r.status();
    }
    e = std::move(*r);
  }
  return Status::ok();
}

// The current record's place in the controlling order.
Status DbfTable::currentEntry(IndexEntry* out) {
  if (entryValid_ && entry_.recno == recno_) {
    *out = entry_;
    return Status::ok();
  }
  IndexTag& tag = tagAt(order_);
  if (tag.evaluable()) {
    auto k = tag.keyOf(current());
    if (!k) return k.status();
    entry_ = {std::move(k).value(), recno_};
    entryValid_ = true;
    *out = entry_;
    return Status::ok();
  }
  // The key cannot be computed: look for the record number in the tag.
  auto e = tag.first();
  if (!e) return e.status();
  std::optional<IndexEntry> cur = *e;
  while (cur) {
    if (cur->recno == recno_) {
      entry_ = *cur;
      entryValid_ = true;
      *out = entry_;
      return Status::ok();
    }
    auto r = tag.next(*cur);
    if (!r) return r.status();
    cur = std::move(*r);
  }
  return Status::notFound("el registro " + std::to_string(recno_) + " no esta en el indice " + tag.name());
}

bool DbfTable::seek(std::string_view key) {
  found_ = false;
  lastError_ = Status::ok();
  if (!file_) {
    lastError_ = closedError();
    return false;
  }
  if (order_ == 0) {
    lastError_ = Status::invalid("no hay un orden de indice activo en " + alias_);
    setEof();
    return false;
  }
  Status st = refreshBag(order_);
  if (!st) {
    lastError_ = st;
    setEof();
    return false;
  }
  IndexTag& tag = tagAt(order_);
  size_t len = static_cast<size_t>(std::max(tag.keyLength(), 0));
  if (nullableTag(order_)) {
    // Keys of a nullable tag start with a marker byte the sought text lacks.
    seekKey_.assign(1, '\x80');
    seekKey_.append(key.substr(0, len > 0 ? len - 1 : 0));
    key = seekKey_;
  }
  if (key.size() > len) key = key.substr(0, len);
  auto e = tag.lowerBound(key);
  if (!e) {
    lastError_ = e.status();
    setEof();
    return false;
  }
  std::optional<IndexEntry> cur = std::move(*e);
  while (cur && cur->key.size() >= key.size() && std::memcmp(cur->key.data(), key.data(), key.size()) == 0) {
    // A record appended by another station since the count was last read.
    if (cur->recno > count_ && mode_ == OpenMode::Shared) {
      Status cs = refreshCount();
      if (!cs) {
        lastError_ = cs;
        setEof();
        return false;
      }
    }
    if (cur->recno >= 1 && cur->recno <= count_) {
      Status rs = readRecord(cur->recno, rec_);
      if (!rs) {
        lastError_ = rs;
        setEof();
        return false;
      }
      if (!dbf::isDeleted(rec_)) {
        land(cur->recno);
        entry_ = std::move(*cur);
        entryValid_ = true;
        found_ = true;
        return true;
      }
    }
    auto r = tag.next(*cur);
    if (!r) {
      lastError_ = r.status();
      setEof();
      return false;
    }
    cur = std::move(*r);
  }
  if (mode_ == OpenMode::Shared) (void)refreshCount();  // so that recno() is count + 1
  setEof();
  return false;
}

// ---------------------------------------------------------------------------------------
// Index maintenance

Status DbfTable::planKeyOps(const std::string& before, const std::string& after, uint32_t n, bool hadBefore,
                            std::vector<KeyOp>* ops) {
  ops->clear();
  for (int p = 1; p <= tagCount(); ++p) {
    IndexTag& t = tagAt(p);
    bool inBefore = false, inAfter = false;
    std::string kb, ka;
    if (hadBefore) {
      auto adm = t.admits(before);
      if (!adm) return adm.status();
      inBefore = *adm;
      if (inBefore) {
        auto k = t.keyOf(before);
        if (!k) return k.status();
        kb = std::move(k).value();
      }
    }
    auto adm = t.admits(after);
    if (!adm) return adm.status();
    inAfter = *adm;
    if (inAfter) {
      auto k = t.keyOf(after);
      if (!k) return k.status();
      ka = std::move(k).value();
    }
    if (inBefore == inAfter && (!inBefore || kb == ka)) continue;
    if (inBefore) ops->push_back({&t, false, std::move(kb), n});
    if (inAfter) ops->push_back({&t, true, std::move(ka), n});
  }
  return Status::ok();
}

Status DbfTable::applyKeyOps(std::vector<KeyOp>& ops, std::vector<IndexBag*>* begun, size_t* applied) {
  *applied = 0;
  // Every bag touched is taken under its index lock first.
  for (const auto& op : ops) PLANILLA_RETURN_IF_ERROR(beginBagOf(op.tag, begun));
  for (auto& op : ops) {
    Status st = op.insert ? op.tag->insert(op.key, op.recno) : op.tag->remove(op.key, op.recno);
    if (!st) return st.withContext("indice " + op.tag->name());
    ++*applied;
  }
  return Status::ok();
}

Status DbfTable::beginBagOf(const IndexTag* tag, std::vector<IndexBag*>* begun) {
  IndexBag* owner = nullptr;
  for (const auto& r : tags_)
    if (&r.bag->tag(r.index) == tag) owner = r.bag;
  if (!owner || std::find(begun->begin(), begun->end(), owner) != begun->end()) return Status::ok();
  Status st = retryBriefly([&] { return owner->beginUpdate(); });
  if (!st) return st.withContext("indice " + owner->path());
  begun->push_back(owner);
  return Status::ok();
}

// An append cut short after its keys went in but before the count moved leaves
// entries for record n, which does not exist. They carry the keys of the image still
// lying past the count, so they are taken out (each one only if present) before the
// record that now takes number n puts in its own. An image whose keys cannot be
// worked out never had them inserted, since keys go in only after a whole record.
Status DbfTable::dropStaleKeys(const std::string& stale, uint32_t n, std::vector<IndexBag*>* begun) {
  for (int p = 1; p <= tagCount(); ++p) {
    IndexTag& t = tagAt(p);
    auto adm = t.admits(stale);
    if (!adm || !*adm) continue;
    auto k = t.keyOf(stale);
    if (!k) continue;
    PLANILLA_RETURN_IF_ERROR(beginBagOf(&t, begun));
    Status st = t.remove(*k, n);
    if (st || st.code() == ErrorCode::NotFound) continue;
    if (st.code() == ErrorCode::Locked || st.code() == ErrorCode::IoError) return st.withContext("indice " + t.name());
    return Status::needsReindex("el indice " + t.name() + " de " + fileName(path_) + " esta danado (" + st.message() +
                                "); reindexe la tabla antes de modificarla");
  }
  return Status::ok();
}

void DbfTable::undoKeyOps(std::vector<KeyOp>& ops, size_t applied) {
  while (applied > 0) {
    KeyOp& op = ops[--applied];
    (void)(op.insert ? op.tag->remove(op.key, op.recno) : op.tag->insert(op.key, op.recno));
  }
}

Status DbfTable::endUpdates(std::vector<IndexBag*>& begun) {
  Status first;
  for (IndexBag* b : begun) {
    Status st = b->endUpdate();
    if (!st && first.isOk()) first = st.withContext("indice " + b->path());
  }
  begun.clear();
  return first;
}

void DbfTable::syncEntryAfterChange(const std::string& image, uint32_t n) {
  entryValid_ = false;
  if (order_ == 0) return;
  IndexTag& t = tagAt(order_);
  auto adm = t.admits(image);
  if (!adm || !*adm) return;
  auto k = t.keyOf(image);
  if (!k) return;
  entry_ = {std::move(k).value(), n};
  entryValid_ = true;
}

// Applies `edit` to the current record and stores it with its keys. In shared mode
// the record is read afresh under its lock (taken for the change when the caller did
// not hold it), so the change applies to what is on disk now.
Status DbfTable::changeRecord(const std::function<Status(std::string&)>& edit) {
  PLANILLA_RETURN_IF_ERROR(checkWritable());
  if (eof_) return Status::invalid("no hay registro actual en " + alias_);
  uint32_t n = recno_;
  bool tempLock = false;
  if (mode_ == OpenMode::Shared && std::find(locks_.begin(), locks_.end(), n) == locks_.end()) {
    Status st = file_->lock(dbf::recordLockOffset(n), 1, LockKind::Exclusive);
    if (st.code() == ErrorCode::Locked)
      return Status::locked("el registro " + std::to_string(n) + " de " + alias_ + " esta en uso");
    PLANILLA_RETURN_IF_ERROR(st);
    tempLock = true;
  }
  auto release = [&] {
    if (tempLock) (void)file_->unlock(dbf::recordLockOffset(n), 1);
  };
  if (mode_ == OpenMode::Shared) {
    Status st = readRecord(n, rec_);
    if (!st) {
      release();
      return st;
    }
  }
  work_ = rec_;
  Status st = edit(work_);
  if (!st) {
    release();
    return st;
  }
  if (work_ == rec_) {
    release();
    return Status::ok();
  }
  std::vector<KeyOp> ops;
  st = planKeyOps(rec_, work_, n, true, &ops);
  if (!st) {
    release();
    return st;
  }
  std::vector<IndexBag*> begun;
  size_t applied = 0;
  st = applyKeyOps(ops, &begun, &applied);
  if (st) st = writeRecord(n, work_);
  if (!st) {
    undoKeyOps(ops, applied);
    (void)endUpdates(begun);
    release();
    return st;
  }
  Status endSt = endUpdates(begun);
  release();
  rec_.swap(work_);
  syncEntryAfterChange(rec_, n);
  return endSt;
}

Status DbfTable::appendRecord(const std::string& image, bool keepLock) {
  PLANILLA_RETURN_IF_ERROR(checkWritable());
  found_ = false;
  const bool shared = mode_ == OpenMode::Shared;
  if (shared) {
    Status st = retryBriefly([&] { return file_->lock(dbf::kHeaderLockOffset, 1, LockKind::Exclusive); });
    if (st.code() == ErrorCode::Locked)
      return Status::locked("no se pudo agregar un registro a " + alias_ + ": la tabla esta bloqueada");
    PLANILLA_RETURN_IF_ERROR(st);
  }
  auto unlockHeader = [&] {
    if (shared) (void)file_->unlock(dbf::kHeaderLockOffset, 1);
  };
  // The count is re-read under the header lock: two stations never take one number.
  Status st = refreshCount();
  if (!st) {
    unlockHeader();
    return st;
  }
  if (count_ + 1 > dbf::kMaxRecords) {
    unlockHeader();
    return Status::invalid("la tabla " + alias_ + " no admite mas registros");
  }
  uint32_t n = count_ + 1;
  bool recLocked = false;
  if (shared) {
    st = file_->lock(dbf::recordLockOffset(n), 1, LockKind::Exclusive);
    if (!st) {
      unlockHeader();
      if (st.code() == ErrorCode::Locked)
        return Status::locked("no se pudo agregar un registro a " + alias_ + ": registro en uso");
      return st;
    }
    recLocked = true;
  }
  auto undoLock = [&] {
    if (recLocked) (void)file_->unlock(dbf::recordLockOffset(n), 1);
  };
  // A whole record already past the count is what an append cut short left there;
  // its keys may still be in the index.
  std::string stale;
  bool hasStale = false;
  if (tagCount() > 0) {
    stale.resize(layout_.header.recordLength);
    size_t got = 0;
    st = file_->readAt(dbf::recordOffset(layout_.header, n), stale.data(), stale.size(), &got);
    hasStale = st && got == stale.size();
  }
  // The record and a fresh end-of-file mark go past the current count, where
  // nobody reads them until the count says so.
  work_ = image;
  work_.push_back(dbf::kEndOfFile);
  if (st) st = file_->writeAt(dbf::recordOffset(layout_.header, n), work_.data(), work_.size());
  work_.pop_back();
  std::vector<KeyOp> ops;
  std::vector<IndexBag*> begun;
  size_t applied = 0;
  if (st) st = planKeyOps(work_, work_, n, false, &ops);
  if (st && hasStale) st = dropStaleKeys(stale, n, &begun);
  for (size_t i = 0; st && i < ops.size(); ++i) st = beginBagOf(ops[i].tag, &begun);
  if (st) {
    st = applyKeyOps(ops, &begun, &applied);
    // With the leftovers gone, a key already present for n means the index is damaged.
    if (st.code() == ErrorCode::Invalid)
      st = Status::needsReindex(st.message() + "; reindexe la tabla antes de modificarla");
  }
  if (st) {
    dbf::Header h = layout_.header;
    h.recordCount = n;
    dbf::setUpdateDate(&h, today());
    std::string upd = dbf::encodeUpdate(h);
    st = file_->writeAt(dbf::kUpdateOffset, upd.data(), upd.size());
    if (st) layout_.header = h;
  }
  if (!st) {
    undoKeyOps(ops, applied);
    (void)endUpdates(begun);
    undoLock();
    unlockHeader();
    return st.withContext("no se pudo agregar el registro a " + alias_);
  }
  Status endSt = endUpdates(begun);
  unlockHeader();
  count_ = n;
  rec_ = work_;
  land(n);
  if (recLocked) {
    if (keepLock)
      locks_.push_back(n);
    else
      undoLock();
  }
  syncEntryAfterChange(rec_, n);
  return endSt;
}

Status DbfTable::lockRecord() {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  if (eof_) return Status::invalid("no hay registro actual para bloquear en " + alias_);
  if (mode_ == OpenMode::Exclusive) return Status::ok();
  if (std::find(locks_.begin(), locks_.end(), recno_) == locks_.end()) {
    Status st = file_->lock(dbf::recordLockOffset(recno_), 1, LockKind::Exclusive);
    if (st.code() == ErrorCode::Locked)
      return Status::locked("el registro " + std::to_string(recno_) + " de " + alias_ + " esta en uso");
    PLANILLA_RETURN_IF_ERROR(st);
    locks_.push_back(recno_);
  }
  // What another station wrote before letting go of the lock is what we change.
  entryValid_ = false;
  return readRecord(recno_, rec_);
}

// ---------------------------------------------------------------------------------------
// Field replacement

Status DbfTable::replace(std::string_view name, std::string_view text) {
  int i;
  PLANILLA_RETURN_IF_ERROR(fieldForChange(name, &i));
  const auto& f = layout_.fields[static_cast<size_t>(i)];
  std::string value(text);
  switch (f.type) {
    case 'C':
      break;
    case 'D': {
      bool ok = true;
      Date d = Date::fromDtos(text, &ok);
      if (!ok || (!d.empty() && !d.valid()))
        return Status::invalid("fecha invalida '" + value + "' para el campo " + f.name);
      return replace(name, d);
    }
    case 'L': {
      char c = text.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
      if (c != 'T' && c != 'F' && c != 'Y' && c != 'N' && c != ' ' && c != '?')
        return Status::invalid("valor logico invalido para el campo " + f.name);
      value.assign(1, c);
      break;
    }
    case 'N':
    case 'F': {
      dbf::Field probe = f;
      bool ok = true;
      double v = dbf::decodeNumber(probe, text, &ok);
      if (!ok) return Status::invalid("numero invalido '" + value + "' para el campo " + f.name);
      return replace(name, v);
    }
    default:
      return Status::unsupported(std::string("no se puede escribir el campo ") + f.name + " de tipo " + f.type);
  }
  return changeRecord([&](std::string& r) {
    dbf::encodeText(value, f.width, r.data() + f.offset);
    return Status::ok();
  });
}

Status DbfTable::replace(std::string_view name, double value) {
  int i;
  PLANILLA_RETURN_IF_ERROR(fieldForChange(name, &i));
  const auto& f = layout_.fields[static_cast<size_t>(i)];
  if (f.type != 'N' && f.type != 'F')
    return Status::invalid("el campo " + f.name + " no es numerico");
  char buf[32];
  Status st = dbf::encodeNumber(value, f.width, f.decimals, buf);
  if (!st) return st.withContext("campo " + f.name);
  return changeRecord([&](std::string& r) {
    std::memcpy(r.data() + f.offset, buf, static_cast<size_t>(f.width));
    return Status::ok();
  });
}

Status DbfTable::replace(std::string_view name, const Date& value) {
  int i;
  PLANILLA_RETURN_IF_ERROR(fieldForChange(name, &i));
  const auto& f = layout_.fields[static_cast<size_t>(i)];
  if (f.type != 'D') return Status::invalid("el campo " + f.name + " no es de fecha");
  if (!value.empty() && !value.valid()) return Status::invalid("fecha invalida para el campo " + f.name);
  return changeRecord([&](std::string& r) {
    dbf::encodeDate(value, f.width, r.data() + f.offset);
    return Status::ok();
  });
}

Status DbfTable::replaceLogical(std::string_view name, bool value) {
  int i;
  PLANILLA_RETURN_IF_ERROR(fieldForChange(name, &i));
  const auto& f = layout_.fields[static_cast<size_t>(i)];
  if (f.type != 'L') return Status::invalid("el campo " + f.name + " no es logico");
  return changeRecord([&](std::string& r) {
    dbf::encodeLogical(value, f.width, r.data() + f.offset);
    return Status::ok();
  });
}

Status DbfTable::replaceRaw(std::string_view bytes) {
  if (bytes.size() + 1 != layout_.header.recordLength)
    return Status::invalid("registro de " + std::to_string(bytes.size()) + " bytes para " + alias_ + " (se esperan " +
                           std::to_string(layout_.header.recordLength - 1) + ")");
  return changeRecord([&](std::string& r) {
    std::memcpy(r.data() + 1, bytes.data(), bytes.size());
    return Status::ok();
  });
}

// ---------------------------------------------------------------------------------------
// Whole-table work

RecordWalker DbfTable::records() {
  return [this](const std::function<Status(uint32_t, std::string_view)>& fn) -> Status {
    PLANILLA_RETURN_IF_ERROR(checkOpen());
    if (mode_ == OpenMode::Shared) PLANILLA_RETURN_IF_ERROR(refreshCount());
    const uint32_t total = count_;
    const size_t rl = layout_.header.recordLength;
    const uint32_t per = static_cast<uint32_t>(std::max<size_t>(1, (1u << 20) / rl));
    std::string buf;
    for (uint32_t first = 1; first <= total; first += per) {
      uint32_t n = std::min(per, total - first + 1);
      buf.resize(size_t(n) * rl);
      size_t got = 0;
      PLANILLA_RETURN_IF_ERROR(file_->readAt(dbf::recordOffset(layout_.header, first), buf.data(), buf.size(), &got));
      if (got != buf.size())
        return Status::corrupt("la tabla " + fileName(path_) + " termina antes del registro " +
                               std::to_string(first + got / rl));
      for (uint32_t k = 0; k < n; ++k)
        PLANILLA_RETURN_IF_ERROR(fn(first + k, std::string_view(buf).substr(size_t(k) * rl, rl)));
    }
    return Status::ok();
  };
}

Status DbfTable::openIndex(const std::string& bagPath) {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  std::string real = fs_.resolve(bagPath);
  if (bagIndexOf(real) >= 0) return Status::ok();
  auto b = IndexBag::open(fs_, real, recLayout_, mode_ == OpenMode::Exclusive);
  if (!b) return b.status().withContext(fileName(bagPath));
  bags_.push_back(std::move(b).value());
  bagPaths_.push_back(real);
  rebuildTagRefs();
  return Status::ok();
}

Status DbfTable::createTag(const std::string& bagPath, const std::string& tag, const std::string& keyExpr,
                           const std::string& forExpr) {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  if (readOnly_) return Status::invalid("la tabla " + fileName(path_) + " esta abierta solo para lectura");
  if (mode_ != OpenMode::Exclusive)
    return Status::invalid("crear un indice requiere la tabla " + alias_ + " en uso exclusivo");
  // Remember the controlling tag by identity: positions move when a tag is replaced.
  IndexBag* ctlBag = order_ > 0 ? &bagOf(order_) : nullptr;
  std::string ctlName = order_ > 0 ? tagAt(order_).name() : "";
  std::string real = fs_.resolve(bagPath);
  int bi = bagIndexOf(real);
  if (bi < 0) {
    Result<std::unique_ptr<IndexBag>> b =
        fs_.exists(real) ? IndexBag::open(fs_, real, recLayout_, true) : IndexBag::create(fs_, real, recLayout_);
    if (!b) return b.status().withContext(fileName(bagPath));
    bags_.push_back(std::move(b).value());
    bagPaths_.push_back(real);
    bi = static_cast<int>(bags_.size()) - 1;
  }
  Status st = bags_[static_cast<size_t>(bi)]->createTag(upper(tag), keyExpr, forExpr, records());
  rebuildTagRefs();
  order_ = 0;
  if (ctlBag) {
    for (int p = 1; p <= tagCount(); ++p)
      if (&bagOf(p) == ctlBag && iequals(tagAt(p).name(), ctlName)) order_ = p;
  }
  entryValid_ = false;
  return st;
}

Status DbfTable::createIndexFile(const std::string& bagPath, const std::string& keyExpr) {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  if (mode_ != OpenMode::Exclusive)
    return Status::invalid("crear un indice requiere la tabla " + alias_ + " en uso exclusivo");
  std::string real = fs_.resolve(bagPath);
  int bi = bagIndexOf(real);
  if (bi >= 0) {
    // The file is made anew: drop it from the open bags first.
    bags_.erase(bags_.begin() + bi);
    bagPaths_.erase(bagPaths_.begin() + bi);
    rebuildTagRefs();
    order_ = 0;
  }
  auto b = IndexBag::create(fs_, real, recLayout_);
  if (!b) return b.status().withContext(fileName(bagPath));
  bags_.push_back(std::move(b).value());
  bagPaths_.push_back(real);
  std::string name = upper(stem(real)).substr(0, 10);
  Status st = bags_.back()->createTag(name, keyExpr, "", records());
  rebuildTagRefs();
  entryValid_ = false;
  return st;
}

Status DbfTable::rebuildAllTags() {
  for (auto& b : bags_) {
    struct Def {
      std::string name, key, cond;
      bool descending;
    };
    std::vector<Def> defs;
    for (int i = 0; i < b->tagCount(); ++i) {
      IndexTag& t = b->tag(i);
      defs.push_back({t.name(), t.keyText(), t.forText(), t.descending()});
    }
    // Rebuilding each in turn moves it last, so the original order comes back.
    for (const auto& d : defs) {
      IndexBag::TagOptions opts;
      opts.descending = d.descending;
      Status st = b->createTag(d.name, d.key, d.cond, records(), opts);
      if (!st) {
        rebuildTagRefs();
        return st.withContext("indice " + d.name);
      }
    }
  }
  rebuildTagRefs();
  return Status::ok();
}

Status DbfTable::pack() {
  PLANILLA_RETURN_IF_ERROR(checkWritable());
  if (mode_ != OpenMode::Exclusive)
    return Status::invalid("compactar requiere la tabla " + alias_ + " en uso exclusivo");
  IndexBag* ctlBag = order_ > 0 ? &bagOf(order_) : nullptr;
  std::string ctlName = order_ > 0 ? tagAt(order_).name() : "";
  PLANILLA_RETURN_IF_ERROR(refreshCount());
  const uint32_t total = count_;
  const size_t rl = layout_.header.recordLength;
  const uint32_t per = static_cast<uint32_t>(std::max<size_t>(1, (1u << 20) / rl));
  std::string buf;
  uint32_t kept = 0;
  // Live records move down in place. A moved record's old slot is marked deleted
  // right after the copy, so an interruption leaves every live record present once
  // (at worst one twice) under the old count, and the tags to be rebuilt.
  for (uint32_t first = 1; first <= total; first += per) {
    uint32_t n = std::min(per, total - first + 1);
    buf.resize(size_t(n) * rl);
    size_t got = 0;
    PLANILLA_RETURN_IF_ERROR(file_->readAt(dbf::recordOffset(layout_.header, first), buf.data(), buf.size(), &got));
    if (got != buf.size()) return Status::corrupt("la tabla " + fileName(path_) + " esta truncada");
    for (uint32_t k = 0; k < n; ++k) {
      uint32_t from = first + k;
      const char* r = buf.data() + size_t(k) * rl;
      if (r[0] == dbf::kDeletedFlag) continue;
      ++kept;
      if (kept == from) continue;
      PLANILLA_RETURN_IF_ERROR(file_->writeAt(dbf::recordOffset(layout_.header, kept), r, rl));
      const char del = dbf::kDeletedFlag;
      PLANILLA_RETURN_IF_ERROR(file_->writeAt(dbf::recordOffset(layout_.header, from), &del, 1));
    }
  }
  if (kept != total) {
    dbf::Header h = layout_.header;
    h.recordCount = kept;
    dbf::setUpdateDate(&h, today());
    std::string upd = dbf::encodeUpdate(h);
    PLANILLA_RETURN_IF_ERROR(file_->writeAt(dbf::kUpdateOffset, upd.data(), upd.size()));
    layout_.header = h;
    count_ = kept;
    const char eofMark = dbf::kEndOfFile;
    PLANILLA_RETURN_IF_ERROR(file_->writeAt(dbf::endOffset(layout_.header, kept), &eofMark, 1));
    PLANILLA_RETURN_IF_ERROR(file_->truncate(dbf::endOffset(layout_.header, kept) + 1));
  }
  Status st = rebuildAllTags();
  order_ = 0;
  if (ctlBag)
    for (int p = 1; p <= tagCount(); ++p)
      if (&bagOf(p) == ctlBag && iequals(tagAt(p).name(), ctlName)) order_ = p;
  entryValid_ = false;
  PLANILLA_RETURN_IF_ERROR(st);
  return goTop();
}

Status DbfTable::appendFrom(const std::string& path) {
  PLANILLA_RETURN_IF_ERROR(checkWritable());
  auto src = Table::openReadOnly(fs_, path);
  if (!src) return src.status();
  Table& s = **src;
  const RecordLayout& sl = s.recordLayout();
  struct Map {
    int dst;
    int src;
  };
  std::vector<Map> maps;
  for (int i = 0; i < fieldCount(); ++i) {
    int j = s.fieldIndex(specs_[static_cast<size_t>(i)].name);
    if (j >= 0) maps.push_back({i, j});
  }
  std::string image;
  uint32_t copied = 0;
  Status st = s.records()([&](uint32_t, std::string_view r) -> Status {
    if (dbf::isDeleted(r)) return Status::ok();
    image = blank_;
    for (const auto& m : maps) {
      const auto& df = layout_.fields[static_cast<size_t>(m.dst)];
      const auto& sf = sl[static_cast<size_t>(m.src)];
      std::string_view sb = r.substr(sf.offset, static_cast<size_t>(sf.width));
      char* out = image.data() + df.offset;
      if (df.type == sf.type && df.width == sf.width && df.decimals == sf.decimals) {
        std::memcpy(out, sb.data(), sb.size());
      } else if (df.type == 'C' && sf.type == 'C') {
        dbf::encodeText(sb, df.width, out);
      } else if ((df.type == 'N' || df.type == 'F') &&
                 (sf.type == 'N' || sf.type == 'F' || sf.type == 'I' || sf.type == 'B' || sf.type == 'Y')) {
        dbf::Field probe;
        probe.type = sf.type;
        double v = dbf::decodeNumber(probe, sb);
        PLANILLA_RETURN_IF_ERROR(dbf::encodeNumber(v, df.width, df.decimals, out).withContext("campo " + df.name));
      } else if (df.type == 'D' && (sf.type == 'D' || sf.type == 'T')) {
        dbf::Field probe;
        probe.type = sf.type;
        dbf::encodeDate(dbf::decodeDate(probe, sb), df.width, out);
      } else if (df.type == 'L' && sf.type == 'L') {
        dbf::encodeLogical(dbf::decodeLogical(sb), df.width, out);
      }
      // Other pairs of types stay blank.
    }
    PLANILLA_RETURN_IF_ERROR(appendRecord(image, false));
    ++copied;
    return Status::ok();
  });
  if (!st)
    return st.withContext("agregando desde " + fileName(path) + " (" + std::to_string(copied) + " registros copiados)");
  return Status::ok();
}

// ---------------------------------------------------------------------------------------
// Opening and creating

Result<std::unique_ptr<Table>> openTable(FileSystem& fs, const std::string& path, OpenMode mode,
                                         const std::string& alias, bool readOnly) {
  std::string real = fs.resolve(path);
  OpenOptions opts;
  opts.readOnly = readOnly;
  auto f = fs.open(real, opts);
  if (!f && !readOnly && f.status().code() == ErrorCode::IoError && mode == OpenMode::Shared) {
    // A file we may not write (read-only media, permissions) still opens for reading.
    opts.readOnly = readOnly = true;
    f = fs.open(real, opts);
  }
  if (!f) {
    if (f.status().code() == ErrorCode::InUse)
      return Status::inUse("Apertura denegada: el archivo " + fileName(path) + " esta en uso");
    return f.status();
  }
  std::unique_ptr<File> file = std::move(f).value();
  if (mode == OpenMode::Exclusive) {
    Status st = file->lock(kUseLockOffset, 1, LockKind::Exclusive);
    if (st.code() == ErrorCode::Locked)
      return Status::inUse("Apertura denegada: el archivo " + fileName(path) + " esta en uso por otra estacion");
    PLANILLA_RETURN_IF_ERROR(st);
  }
  std::string head(dbf::kHeaderSize, '\0');
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR(file->readAt(0, head.data(), head.size(), &got));
  head.resize(got);
  dbf::Layout layout;
  PLANILLA_RETURN_IF_ERROR(dbf::decodeHeader(head, &layout.header).withContext(fileName(path)));
  std::string area(layout.header.headerLength, '\0');
  PLANILLA_RETURN_IF_ERROR(file->readAt(0, area.data(), area.size(), &got));
  area.resize(got);
  PLANILLA_RETURN_IF_ERROR(dbf::decodeLayout(area, &layout).withContext(fileName(path)));
  auto size = file->size();
  if (!size) return size.status();
  if (*size < dbf::dataEnd(layout.header))
    return Status::corrupt(fileName(path) + ": archivo truncado: el encabezado indica " +
                           std::to_string(layout.header.recordCount) + " registros y el archivo tiene " +
                           std::to_string(*size) + " bytes (se esperan " +
                           std::to_string(dbf::dataEnd(layout.header)) + ")");
  std::string a = alias.empty() ? upper(stem(real)) : upper(alias);
  auto t = std::make_unique<DbfTable>(fs, std::move(file), real, a, mode, readOnly, std::move(layout));
  return std::unique_ptr<Table>(std::move(t));
}

}  // namespace

Result<std::unique_ptr<Table>> Table::open(FileSystem& fs, const std::string& path, OpenMode mode,
                                           const std::string& alias) {
  return openTable(fs, path, mode, alias, false);
}

Result<std::unique_ptr<Table>> Table::openReadOnly(FileSystem& fs, const std::string& path,
                                                   const std::string& alias) {
  return openTable(fs, path, OpenMode::Shared, alias, true);
}

Status Table::create(FileSystem& fs, const std::string& path, const std::vector<FieldSpec>& fields) {
  auto layout = dbf::layoutFor(fields, today());
  if (!layout) return layout.status().withContext(fileName(path));
  OpenOptions opts;
  opts.create = true;
  opts.truncate = true;
  auto f = fs.open(path, opts);
  if (!f) {
    if (f.status().code() == ErrorCode::InUse)
      return Status::inUse("Apertura denegada: el archivo " + fileName(path) + " esta en uso");
    return f.status();
  }
  std::string bytes = dbf::encodeLayout(*layout);
  bytes.push_back(dbf::kEndOfFile);
  PLANILLA_RETURN_IF_ERROR((*f)->writeAt(0, bytes.data(), bytes.size()));
  return (*f)->sync();
}

}  // namespace planilla
