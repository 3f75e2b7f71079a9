// The Table cursor over a .dbf file and its open index bags.
//
// Byte positions come from dbf_format; this file only decides what to read, write
// and lock, in which order:
//  - append: header lock, record count re-read under it, record written past the
//    count, keys inserted, then the count in the header (the commit), header unlock;
//  - replace: old and new images compared tag by tag, keys moved under the index
//    lock, then the record written; any failure undoes the index changes;
//  - in shared mode nothing read from the table is trusted across calls: the count
//    is re-read at the ends of the file and record bytes are read when used;
//  - index builds and pack write new files beside the old ones and rename them into
//    place (rebuildBags), so that a process killed half-way leaves usable files or
//    files that are refused, never an index that silently lacks keys.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstring>
#include <thread>

#include "store/dbf_format.h"
#include "store/index.h"
#include "store/platform.h"
#include "store/table.h"

namespace planilla {
namespace {

Date today() {
  const std::tm tm = platform::localTime(std::time(nullptr));
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
#ifdef _WIN32
  auto slash = path.find_last_of("/\\");  // Windows names take either separator
#else
  auto slash = path.rfind('/');
#endif
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stem(const std::string& path) {
  std::string n = fileName(path);
  auto dot = n.rfind('.');
  return dot == std::string::npos || dot == 0 ? n : n.substr(0, dot);
}

// The temporary name a file is built under, beside the file it will replace.
std::string besideName(const std::string& real) { return real + ".tmp"; }

// Walks records 1..total of a table file a megabyte at a time, handing each whole
// record (deletion flag first) to fn.
Status walkFile(File& f, const dbf::Header& h, uint32_t total, const std::string& name,
                const std::function<Status(uint32_t, std::string_view)>& fn) {
  const size_t rl = h.recordLength;
  const uint32_t per = static_cast<uint32_t>(std::max<size_t>(1, (1u << 20) / rl));
  std::string buf;
  for (uint32_t first = 1; first <= total; first += per) {
    uint32_t n = std::min(per, total - first + 1);
    buf.resize(size_t(n) * rl);
    size_t got = 0;
    PLANILLA_RETURN_IF_ERROR(f.readAt(dbf::recordOffset(h, first), buf.data(), buf.size(), &got));
    if (got != buf.size())
      return Status::corrupt("la tabla " + name + " termina antes del registro " + std::to_string(first + got / rl));
    for (uint32_t k = 0; k < n; ++k)
      PLANILLA_RETURN_IF_ERROR(fn(first + k, std::string_view(buf).substr(size_t(k) * rl, rl)));
  }
  return Status::ok();
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
  // `whyReadOnly` is set when the table was opened for reading because it may not be
  // written (what the writable open answered).
  DbfTable(FileSystem& fs, std::unique_ptr<File> file, std::string path, std::string alias, OpenMode mode,
           bool readOnly, dbf::Layout layout, std::string whyReadOnly = "")
      : whyReadOnly_(std::move(whyReadOnly)),
        fs_(fs),
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
  Status appendFrom(Table& source) override;
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
  Status rebuildBags(const std::vector<BagSpec>& bags, bool pack) override;
  Status takePlaceOf(const std::string& target, const std::vector<BagSpec>& bags) override;
  Status setRebuildMark(bool on) override;
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
  Status readOnlyError() const {
    if (!whyReadOnly_.empty())
      return Status::invalid("la tabla " + fileName(path_) + " no se puede modificar (" + whyReadOnly_ + ")");
    return Status::invalid("la tabla " + fileName(path_) + " esta abierta solo para lectura");
  }

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
    if (readOnly_) return readOnlyError();
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
  // --- building beside and renaming into place ---
  Status checkNoRebuildMark(const std::string& bagPath) const {
    if (!layout_.header.rebuildPending) return Status::ok();
    return Status::needsReindex("el indice " + fileName(bagPath) + " no corresponde a los registros de " +
                                fileName(path_) + " (su reconstruccion quedo a medias); reindexe la tabla");
  }
  Status checkBuildable() const;
  Status compileSpecs(const std::vector<BagSpec>& bags) const;
  Status removeLeftover(const std::string& temp);
  Result<std::unique_ptr<File>> createBeside(const std::string& temp);
  Result<std::unique_ptr<File>> holdExisting(const std::string& real);
  Status copyBeside(File& from, const std::string& temp);
  Status buildBeside(const std::string& real, const std::vector<TagSpec>& tags, const RecordWalker& records,
                     File* copyFrom);
  Status writePacked(const std::string& temp, std::unique_ptr<File>* out, dbf::Header* header);
  Status cutTail();
  Status clearRebuildMark();
  Status reopenBag(const std::string& real, int position);
  // The controlling tag by bag and name, and the order found again from them.
  void controlling(std::string* bagPath, std::string* tagName) const;
  void restoreOrder(const std::string& bagPath, const std::string& tagName);

  std::string whyReadOnly_;
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
  uint32_t n = count_ + 1;
  // The data stays below the lock bytes (0x7FFFFFFE - n): where locks bind readers
  // (Windows), a record written over them could not be read by another station.
  if (count_ + 1 > dbf::kMaxRecords || dbf::endOffset(layout_.header, n) >= dbf::recordLockOffset(n)) {
    unlockHeader();
    return Status::invalid("la tabla " + alias_ + " no admite mas registros: llego a su tamano maximo (2 GB)");
  }
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
  if (readOnly_) return readOnlyError();
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
    return walkFile(*file_, layout_.header, count_, fileName(path_), fn);
  };
}

Status DbfTable::openIndex(const std::string& bagPath) {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  PLANILLA_RETURN_IF_ERROR(checkNoRebuildMark(bagPath));
  std::string real = fs_.resolve(bagPath);
  if (bagIndexOf(real) >= 0) return Status::ok();
  // The bag's own messages already name its file.
  auto b = IndexBag::open(fs_, real, recLayout_, mode_ == OpenMode::Exclusive);
  if (!b) return b.status();
  bags_.push_back(std::move(b).value());
  bagPaths_.push_back(real);
  rebuildTagRefs();
  return Status::ok();
}

Status DbfTable::checkBuildable() const {
  PLANILLA_RETURN_IF_ERROR(checkOpen());
  if (readOnly_) return readOnlyError();
  if (mode_ != OpenMode::Exclusive)
    return Status::invalid("crear un indice requiere la tabla " + alias_ + " en uso exclusivo");
  return Status::ok();
}

void DbfTable::controlling(std::string* bagPath, std::string* tagName) const {
  bagPath->clear();
  tagName->clear();
  if (order_ == 0) return;
  for (size_t i = 0; i < bags_.size(); ++i)
    if (bags_[i].get() == &bagOf(order_)) *bagPath = bagPaths_[i];
  *tagName = tagAt(order_).name();
}

void DbfTable::restoreOrder(const std::string& bagPath, const std::string& tagName) {
  order_ = 0;
  entryValid_ = false;
  if (bagPath.empty()) return;
  int bi = bagIndexOf(bagPath);
  if (bi < 0) return;
  for (int p = 1; p <= tagCount(); ++p)
    if (&bagOf(p) == bags_[static_cast<size_t>(bi)].get() && iequals(tagAt(p).name(), tagName)) order_ = p;
}

Status DbfTable::reopenBag(const std::string& real, int position) {
  auto b = IndexBag::open(fs_, real, recLayout_, true);
  if (!b) return b.status();
  size_t at = position < 0 ? bags_.size() : std::min(bags_.size(), static_cast<size_t>(position));
  bags_.insert(bags_.begin() + static_cast<long>(at), std::move(b).value());
  bagPaths_.insert(bagPaths_.begin() + static_cast<long>(at), real);
  rebuildTagRefs();
  return Status::ok();
}

// A file under a temporary name is what an earlier build cut short left there: while
// the table is open exclusively nobody else builds its files.
Status DbfTable::removeLeftover(const std::string& temp) {
  if (!fs_.exists(temp)) return Status::ok();
  return fs_.remove(temp);
}

Result<std::unique_ptr<File>> DbfTable::createBeside(const std::string& temp) {
  PLANILLA_RETURN_IF_ERROR(removeLeftover(temp));
  OpenOptions o;
  o.mustCreate = true;
  auto f = fs_.open(temp, o);
  if (!f) return f.status();
  Status st = (*f)->lock(kUseLockOffset, 1, LockKind::Exclusive);
  if (st.code() == ErrorCode::Locked) st = Status::inUse("el archivo " + fileName(temp) + " esta en uso");
  if (!st) {
    f.value().reset();
    (void)fs_.remove(temp);
    return st;
  }
  return std::move(f).value();
}

// The file a build will replace, held exclusively from before the build until after
// the rename (nullptr when there is none): a bag another station has open, through
// this table or another that shares the bag's name, is refused and left as it is.
Result<std::unique_ptr<File>> DbfTable::holdExisting(const std::string& real) {
  if (!fs_.exists(real)) return std::unique_ptr<File>();
  auto f = fs_.open(real, OpenOptions{});
  if (!f) return f.status();
  Status st = (*f)->lock(kUseLockOffset, 1, LockKind::Exclusive);
  if (st.code() == ErrorCode::Locked) return Status::inUse("el archivo " + fileName(real) + " esta en uso");
  PLANILLA_RETURN_IF_ERROR(st);
  return std::move(f).value();
}

Status DbfTable::copyBeside(File& from, const std::string& temp) {
  auto to = createBeside(temp);
  if (!to) return to.status();
  std::string buf(1u << 20, '\0');
  Status st;
  for (uint64_t off = 0;; off += buf.size()) {
    size_t got = 0;
    st = from.readAt(off, buf.data(), buf.size(), &got);
    if (st && got > 0) st = (*to)->writeAt(off, buf.data(), got);
    if (!st || got < buf.size()) break;
  }
  to.value().reset();
  if (!st) (void)fs_.remove(temp);
  return st;
}

// Builds bag `real` with `tags` under its temporary name, complete and on disk, and
// closes it; a failure leaves no temporary file. With `copyFrom` (the existing bag)
// the build starts from a copy of it, whose other tags are kept.
Status DbfTable::buildBeside(const std::string& real, const std::vector<TagSpec>& tags, const RecordWalker& records,
                             File* copyFrom) {
  const std::string temp = besideName(real);
  std::unique_ptr<IndexBag> bag;
  if (copyFrom) {
    PLANILLA_RETURN_IF_ERROR(copyBeside(*copyFrom, temp));
    auto b = IndexBag::open(fs_, temp, recLayout_, true);
    if (!b) {
      (void)fs_.remove(temp);
      return b.status();
    }
    bag = std::move(b).value();
  } else {
    PLANILLA_RETURN_IF_ERROR(removeLeftover(temp));
    auto b = IndexBag::create(fs_, temp, recLayout_, true);
    if (!b) return b.status();
    bag = std::move(b).value();
  }
  Status st;
  for (size_t i = 0; st && i < tags.size(); ++i) {
    const TagSpec& t = tags[i];
    std::string name = t.name.empty() ? upper(stem(real)).substr(0, 10) : upper(t.name);
    IndexBag::TagOptions opts;
    opts.descending = t.descending;
    st = bag->createTag(name, t.key, t.forExpr, records, opts).withContext(fileName(real));
  }
  if (st) st = bag->flush();
  bag.reset();
  if (!st) (void)fs_.remove(temp);
  return st;
}

Status DbfTable::compileSpecs(const std::vector<BagSpec>& bags) const {
  for (const auto& b : bags)
    for (const auto& t : b.tags) {
      auto k = KeyExpr::compile(t.key, recLayout_);
      if (!k) return k.status().withContext(fileName(b.path) + ": etiqueta " + t.name);
      if (t.forExpr.find_first_not_of(' ') != std::string::npos) {
        auto f = KeyExpr::compile(t.forExpr, recLayout_);
        if (!f) return f.status().withContext(fileName(b.path) + ": etiqueta " + t.name);
      }
    }
  return Status::ok();
}

Status DbfTable::createTag(const std::string& bagPath, const std::string& tag, const std::string& keyExpr,
                           const std::string& forExpr) {
  PLANILLA_RETURN_IF_ERROR(checkBuildable());
  PLANILLA_RETURN_IF_ERROR(checkNoRebuildMark(bagPath));
  // Remember the controlling tag by name: the bag is closed and opened again.
  std::string ctlPath, ctlName;
  controlling(&ctlPath, &ctlName);
  const std::string real = fs_.resolve(bagPath);
  int bi = bagIndexOf(real);
  if (bi >= 0) {
    // Our own handle goes first: the bag is held and copied through a fresh one.
    PLANILLA_RETURN_IF_ERROR(bags_[static_cast<size_t>(bi)]->flush());
    bags_.erase(bags_.begin() + bi);
    bagPaths_.erase(bagPaths_.begin() + bi);
    rebuildTagRefs();
  }
  auto held = holdExisting(real);
  Status st = held.status();
  if (st) st = buildBeside(real, {TagSpec{tag, keyExpr, forExpr, false}}, records(), held->get());
  if (st) {
    st = fs_.replace(besideName(real), real);
    if (!st) (void)fs_.remove(besideName(real));
  }
  if (held) held->reset();
  // The new bag, or the old one untouched after a failure, back in its place.
  if (st || bi >= 0) {
    Status ro = reopenBag(real, bi);
    if (st) st = ro;
  }
  restoreOrder(ctlPath, ctlName);
  return st;
}

Status DbfTable::createIndexFile(const std::string& bagPath, const std::string& keyExpr) {
  PLANILLA_RETURN_IF_ERROR(checkBuildable());
  PLANILLA_RETURN_IF_ERROR(checkNoRebuildMark(bagPath));
  const std::string real = fs_.resolve(bagPath);
  int bi = bagIndexOf(real);
  if (bi >= 0) {
    // The file is made anew: drop it from the open bags first.
    bags_.erase(bags_.begin() + bi);
    bagPaths_.erase(bagPaths_.begin() + bi);
    rebuildTagRefs();
    order_ = 0;
  }
  entryValid_ = false;
  auto held = holdExisting(real);
  Status st = held.status();
  if (st) st = buildBeside(real, {TagSpec{"", keyExpr, "", false}}, records(), nullptr);
  if (st) {
    st = fs_.replace(besideName(real), real);
    if (!st) (void)fs_.remove(besideName(real));
  }
  if (held) held->reset();
  // The new bag, or the old one untouched after a failure, open again.
  if (st || bi >= 0) {
    Status ro = reopenBag(real, st ? -1 : bi);
    if (st) st = ro;
  }
  return st;
}

// Live records are copied, in order, into a new file beside the table: the header area
// as it stands (bytes of other writers kept) with the new count, today's date and the
// rebuild mark, then the records and the end-of-file mark. *out keeps the new file
// open and held exclusively.
Status DbfTable::writePacked(const std::string& temp, std::unique_ptr<File>* out, dbf::Header* header) {
  auto f = createBeside(temp);
  if (!f) return f.status();
  File& to = **f;
  const dbf::Header& h = layout_.header;
  std::string area(h.headerLength, '\0');
  size_t got = 0;
  Status st = file_->readAt(0, area.data(), area.size(), &got);
  if (st && got != area.size()) st = Status::corrupt("encabezado truncado en " + fileName(path_));
  uint32_t kept = 0;
  std::string buf;
  uint64_t at = h.headerLength;
  if (st) {
    st = walkFile(*file_, h, count_, fileName(path_), [&](uint32_t, std::string_view r) -> Status {
      if (dbf::isDeleted(r)) return Status::ok();
      buf.append(r);
      ++kept;
      if (buf.size() < (1u << 20)) return Status::ok();
      Status w = to.writeAt(at, buf.data(), buf.size());
      at += buf.size();
      buf.clear();
      return w;
    });
  }
  buf.push_back(dbf::kEndOfFile);
  if (st) st = to.writeAt(at, buf.data(), buf.size());
  dbf::Header nh = h;
  nh.recordCount = kept;
  dbf::setUpdateDate(&nh, today());
  nh.rebuildPending = true;
  if (st) {
    std::string upd = dbf::encodeUpdate(nh);
    area.replace(dbf::kUpdateOffset, upd.size(), upd);
    area[dbf::kRebuildMarkOffset] = static_cast<char>(dbf::kRebuildMark);
    st = to.writeAt(0, area.data(), area.size());
  }
  if (st) st = to.sync();
  if (!st) {
    f.value().reset();
    (void)fs_.remove(temp);
    return st;
  }
  *out = std::move(f).value();
  *header = nh;
  return Status::ok();
}

// An append cut short leaves its record after the last one the header counts; the
// file is made to end at the last counted record again.
Status DbfTable::cutTail() {
  auto size = file_->size();
  if (!size) return size.status();
  const uint64_t end = dbf::dataEnd(layout_.header);
  if (*size <= end + 1) return Status::ok();
  const char eofMark = dbf::kEndOfFile;
  PLANILLA_RETURN_IF_ERROR(file_->writeAt(end, &eofMark, 1));
  return file_->truncate(end + 1);
}

Status DbfTable::clearRebuildMark() {
  const char none = 0;
  PLANILLA_RETURN_IF_ERROR(file_->writeAt(dbf::kRebuildMarkOffset, &none, 1));
  PLANILLA_RETURN_IF_ERROR(file_->sync());
  layout_.header.rebuildPending = false;
  return Status::ok();
}

Status DbfTable::setRebuildMark(bool on) {
  PLANILLA_RETURN_IF_ERROR(checkBuildable());
  if (!on) return clearRebuildMark().withContext(fileName(path_));
  const char mark = static_cast<char>(dbf::kRebuildMark);
  Status st = file_->writeAt(dbf::kRebuildMarkOffset, &mark, 1);
  if (st) st = file_->sync();
  if (!st) return st.withContext(fileName(path_));
  layout_.header.rebuildPending = true;
  return Status::ok();
}

Status DbfTable::rebuildBags(const std::vector<BagSpec>& wanted, bool pack) {
  PLANILLA_RETURN_IF_ERROR(checkBuildable());
  PLANILLA_RETURN_IF_ERROR(compileSpecs(wanted));
  std::vector<std::string> reals;
  for (const auto& b : wanted) reals.push_back(fs_.resolve(b.path));
  const std::vector<std::string> wasOpen = bagPaths_;
  closeIndexes();
  PLANILLA_RETURN_IF_ERROR(refreshCount());
  std::vector<std::string> temps;
  std::vector<std::unique_ptr<File>> held;
  // Before the first rename nothing on disk has changed: the bags open before are
  // opened again and the temporary files go.
  auto giveUp = [&](Status st) {
    held.clear();
    for (const auto& t : temps) (void)fs_.remove(t);
    for (const auto& b : wasOpen) (void)reopenBag(b, -1);
    setEof();
    return st;
  };

  // 1. The old bags, held until their replacements are in place; the records the
  // new ones describe: the table as it is, or its live records written anew beside it.
  for (const auto& r : reals) {
    auto h = holdExisting(r);
    if (!h) return giveUp(h.status());
    held.push_back(std::move(h).value());
  }
  bool rewrite = false;
  if (pack) {
    Status st = records()([&](uint32_t, std::string_view r) {
      if (dbf::isDeleted(r)) rewrite = true;
      return Status::ok();
    });
    if (!st) return giveUp(st);
  }
  std::unique_ptr<File> packed;
  dbf::Header packedHeader;
  const std::string packedTemp = besideName(path_);
  RecordWalker walker = records();
  if (rewrite) {
    Status st = writePacked(packedTemp, &packed, &packedHeader);
    if (!st) return giveUp(st.withContext(fileName(path_)));
    temps.push_back(packedTemp);
    File* pf = packed.get();
    const std::string name = fileName(path_);
    walker = [pf, packedHeader, name](const std::function<Status(uint32_t, std::string_view)>& fn) {
      return walkFile(*pf, packedHeader, packedHeader.recordCount, name, fn);
    };
  }

  // 2. Every bag, whole, beside the old one.
  for (size_t i = 0; i < wanted.size(); ++i) {
    Status st = buildBeside(reals[i], wanted[i].tags, walker, nullptr);
    if (!st) return giveUp(st);
    temps.push_back(besideName(reals[i]));
  }

  // 3. Into place: the table first (it carries the mark from now on), then each bag,
  // then the mark goes. A process that stops in between leaves a table whose bags are
  // refused until it is reindexed.
  if (rewrite) {
    Status st = fs_.replace(packedTemp, path_);
    if (!st) return giveUp(st);
    temps.erase(temps.begin());
    file_ = std::move(packed);  // already held exclusively; the old file goes with its handle
    layout_.header = packedHeader;
    count_ = packedHeader.recordCount;
  } else {
    Status st = cutTail();
    if (!st) return giveUp(st.withContext(fileName(path_)));
  }
  for (size_t i = 0; i < wanted.size(); ++i) {
    Status st = fs_.replace(temps[i], reals[i]);
    if (!st) {
      for (size_t j = i; j < temps.size(); ++j) (void)fs_.remove(temps[j]);
      setEof();
      return st;
    }
  }
  held.clear();
  if (layout_.header.rebuildPending) PLANILLA_RETURN_IF_ERROR(clearRebuildMark().withContext(fileName(path_)));
  for (const auto& r : reals) PLANILLA_RETURN_IF_ERROR(reopenBag(r, -1));
  order_ = 0;
  entryValid_ = false;
  return goTop();
}

Status DbfTable::pack() {
  PLANILLA_RETURN_IF_ERROR(checkWritable());
  if (mode_ != OpenMode::Exclusive)
    return Status::invalid("compactar requiere la tabla " + alias_ + " en uso exclusivo");
  std::string ctlPath, ctlName;
  controlling(&ctlPath, &ctlName);
  std::vector<BagSpec> wanted;
  for (size_t i = 0; i < bags_.size(); ++i) {
    BagSpec b{bagPaths_[i], {}};
    for (int k = 0; k < bags_[i]->tagCount(); ++k) {
      IndexTag& t = bags_[i]->tag(k);
      b.tags.push_back(TagSpec{t.name(), t.keyText(), t.forText(), t.descending()});
    }
    wanted.push_back(std::move(b));
  }
  PLANILLA_RETURN_IF_ERROR(rebuildBags(wanted, true));
  restoreOrder(ctlPath, ctlName);
  return goTop();
}

// Which field types a value converts between when tables are appended by name.
static bool converts(char to, char from) {
  auto numeric = [](char t) { return t == 'N' || t == 'F' || t == 'I' || t == 'B' || t == 'Y'; };
  if (to == 'C') return from == 'C';
  if (to == 'N' || to == 'F') return numeric(from);
  if (to == 'D') return from == 'D' || from == 'T';
  if (to == 'L') return from == 'L';
  return to == from;
}


Status DbfTable::takePlaceOf(const std::string& target, const std::vector<BagSpec>& wanted) {
  PLANILLA_RETURN_IF_ERROR(checkBuildable());
  PLANILLA_RETURN_IF_ERROR(compileSpecs(wanted));
  PLANILLA_RETURN_IF_ERROR(flush());
  closeIndexes();
  PLANILLA_RETURN_IF_ERROR(refreshCount());
  std::vector<std::string> reals, temps;
  std::vector<std::unique_ptr<File>> held;
  // Before the table's rename nothing under the target's names has changed.
  auto giveUp = [&](Status st) {
    held.clear();
    for (const auto& t : temps) (void)fs_.remove(t);
    setEof();
    return st;
  };
  for (const auto& b : wanted) {
    reals.push_back(fs_.resolve(b.path));
    auto h = holdExisting(reals.back());
    if (!h) return giveUp(h.status());
    held.push_back(std::move(h).value());
  }
  // The mark goes on before the table can be seen under its new name: from the rename
  // until the last bag is in place its bags are refused.
  const char mark = static_cast<char>(dbf::kRebuildMark);
  Status st = file_->writeAt(dbf::kRebuildMarkOffset, &mark, 1);
  if (st) st = file_->sync();
  if (!st) return giveUp(st.withContext(fileName(path_)));
  layout_.header.rebuildPending = true;
  for (size_t i = 0; i < wanted.size(); ++i) {
    st = buildBeside(reals[i], wanted[i].tags, records(), nullptr);
    if (!st) return giveUp(st);
    temps.push_back(besideName(reals[i]));
  }
  const std::string to = fs_.resolve(target);
  st = fs_.replace(path_, to);
  if (!st) return giveUp(st);
  path_ = to;
  for (size_t i = 0; i < wanted.size(); ++i) {
    st = fs_.replace(temps[i], reals[i]);
    if (!st) {
      for (size_t j = i; j < temps.size(); ++j) (void)fs_.remove(temps[j]);
      setEof();
      return st;
    }
  }
  held.clear();
  PLANILLA_RETURN_IF_ERROR(clearRebuildMark().withContext(fileName(path_)));
  for (const auto& r : reals) PLANILLA_RETURN_IF_ERROR(reopenBag(r, -1));
  order_ = 0;
  entryValid_ = false;
  return goTop();
}

Status DbfTable::appendFrom(const std::string& path) {
  PLANILLA_RETURN_IF_ERROR(checkWritable());
  auto src = Table::openReadOnly(fs_, path);
  if (!src) return src.status();
  return appendFrom(**src);
}

Status DbfTable::appendFrom(Table& s) {
  PLANILLA_RETURN_IF_ERROR(checkWritable());
  const std::string path = s.path();
  const RecordLayout& sl = s.recordLayout();
  struct Map {
    int dst;
    int src;
  };
  std::vector<Map> maps;
  std::vector<FieldSpec> from;
  for (int j = 0; j < s.fieldCount(); ++j) from.push_back(s.field(j));
  const std::vector<int> match = matchFieldsByName(specs_, from);
  for (int i = 0; i < fieldCount(); ++i)
    if (match[static_cast<size_t>(i)] >= 0) maps.push_back({i, match[static_cast<size_t>(i)]});
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
  std::string whyReadOnly;
  if (!f && !readOnly && f.status().code() == ErrorCode::IoError && mode == OpenMode::Shared) {
    // A file we may not write (read-only media, permissions) still opens for reading.
    whyReadOnly = f.status().message();
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
  auto t = std::make_unique<DbfTable>(fs, std::move(file), real, a, mode, readOnly, std::move(layout), whyReadOnly);
  return std::unique_ptr<Table>(std::move(t));
}

}  // namespace

std::vector<int> matchFieldsByName(const std::vector<FieldSpec>& to, const std::vector<FieldSpec>& from) {
  std::vector<int> out(to.size(), -1);
  for (size_t i = 0; i < to.size(); ++i) {
    int want = 0;  // fields of this name before it
    for (size_t k = 0; k < i; ++k) want += iequals(to[k].name, to[i].name);
    for (size_t j = 0, seen = 0; j < from.size(); ++j) {
      if (!iequals(from[j].name, to[i].name) || static_cast<int>(seen++) != want) continue;
      if (converts(to[i].type, from[j].type)) out[i] = static_cast<int>(j);
      break;
    }
  }
  return out;
}

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
