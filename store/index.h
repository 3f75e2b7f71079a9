// Compound index bags (.cdx and the same format under other extensions) and the
// key expressions their tags are built from. The table code drives these through
// this interface only; page layouts live in cdx_format.*.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/io.h"
#include "store/status.h"

namespace planilla {

// One field of a table's record as laid out on disk. offset counts from the start
// of the record, whose byte 0 is the deletion flag.
struct FieldLayout {
  std::string name;
  char type = 'C';
  int width = 0;
  int decimals = 0;
  uint32_t offset = 0;
};
using RecordLayout = std::vector<FieldLayout>;

// A compiled xBase expression over one record: field names, +, comparison and
// logical operators, and the functions index files use (UPPER, TRIM, LEFT, STR,
// DTOS, DELETED ...). Index keys are encoded in the index's byte form.
class KeyExpr {
 public:
  enum class Type { Char, Numeric, Date, Logical, Integer };
  virtual ~KeyExpr() = default;
  static Result<std::shared_ptr<KeyExpr>> compile(std::string_view text, const RecordLayout& layout);
  virtual Type type() const = 0;
  // Key bytes for index use: character keys blank padded to keyLength(); numeric and
  // date keys as 8-byte sortable doubles; integer keys as 4 bytes.
  virtual int keyLength() const = 0;
  virtual Result<std::string> key(std::string_view record) const = 0;
  // For FOR clauses (Logical type).
  virtual Result<bool> truth(std::string_view record) const = 0;
  virtual const std::string& text() const = 0;
};

// Keys of nullable tags (options 0x02) carry their leading 0x80 byte everywhere:
// keyOf(), insert(), remove(), the arguments and the results of navigation.
struct IndexEntry {
  std::string key;
  uint32_t recno = 0;
};

// Feeds every record of a table to a bulk tag build or a verification.
// The callback gets (recno, record bytes); returning a non-ok status stops the walk.
using RecordWalker = std::function<Status(const std::function<Status(uint32_t, std::string_view)>&)>;

class IndexTag {
 public:
  virtual ~IndexTag() = default;
  virtual const std::string& name() const = 0;
  virtual const std::string& keyText() const = 0;
  virtual const std::string& forText() const = 0;
  virtual int keyLength() const = 0;
  virtual bool descending() const = 0;
  // False when the key or FOR expression could not be compiled against the table:
  // the tag can be walked but not maintained.
  virtual bool evaluable() const = 0;
  // The key of a record, and whether the FOR clause admits it.
  virtual Result<std::string> keyOf(std::string_view record) const = 0;
  virtual Result<bool> admits(std::string_view record) const = 0;

  // Keys are ordered by bytes then record number (descending tags reversed).
  virtual Status insert(std::string_view key, uint32_t recno) = 0;
  virtual Status remove(std::string_view key, uint32_t recno) = 0;

  // Navigation. Each call finds its place again from the given entry, so callers may
  // interleave navigation with changes. std::nullopt = no such entry.
  virtual Result<std::optional<IndexEntry>> first() = 0;
  virtual Result<std::optional<IndexEntry>> last() = 0;
  // First entry whose key is >= `key` (key compared on its own length: a prefix; a
  // key longer than keyLength() is cut). On a descending tag: the first entry, in the
  // tag's order, whose key prefix is <= `key`, so that a prefix seek lands on the
  // first matching entry either way.
  virtual Result<std::optional<IndexEntry>> lowerBound(std::string_view key) = 0;
  virtual Result<std::optional<IndexEntry>> next(const IndexEntry& from) = 0;
  virtual Result<std::optional<IndexEntry>> prev(const IndexEntry& from) = 0;
};

class IndexBag {
 public:
  virtual ~IndexBag() = default;
  // Opens an existing bag. `exclusive` allows caching pages without re-reading the
  // change counter; it also holds the file's use byte exclusively, so an exclusive
  // open fails with InUse while anyone else has the bag open, and keeps others out.
  // A bag made by create() is open exclusively.
  static Result<std::unique_ptr<IndexBag>> open(FileSystem& fs, const std::string& path,
                                                const RecordLayout& layout, bool exclusive);
  // Creates an empty bag (a tag directory without tags), replacing any file there;
  // with `mustBeNew` a file of that name is refused instead (ErrorCode::Invalid).
  static Result<std::unique_ptr<IndexBag>> create(FileSystem& fs, const std::string& path,
                                                  const RecordLayout& layout, bool mustBeNew = false);
  virtual const std::string& path() const = 0;
  virtual int tagCount() const = 0;
  // 0-based, in creation order (tag header offset ascending in the file); a
  // replaced tag is created anew and so moves last.
  virtual IndexTag& tag(int i) = 0;
  virtual int findTag(std::string_view name) const = 0;  // -1 when absent
  // Bulk build (sort, packed leaves, levels above) over all records; replaces a tag
  // of the same name. Deleted records keep their keys.
  virtual Status createTag(const std::string& name, const std::string& keyExpr,
                           const std::string& forExpr, const RecordWalker& records) = 0;
  // The same with options (INDEX ON ... DESCENDING). A descending tag stores its
  // entries in ascending order and is navigated from the end; the header says
  // "descending" so other readers do the same.
  struct TagOptions {
    bool descending = false;
  };
  virtual Status createTag(const std::string& name, const std::string& keyExpr,
                           const std::string& forExpr, const RecordWalker& records,
                           const TagOptions& options) = 0;
  // Rebuilds every tag from the records and rewrites the file from scratch, in place:
  // a process stopped half-way leaves the bag without tags, so data files are rebuilt
  // through Table::rebuildBags, which builds beside the old file and renames. The
  // rewrite keeps no free or unreferenced pages (replacing tags one by one leaves the
  // old pages on the free list). Tags keep their names, expressions, FOR clauses,
  // directions and creation order; references to the old tags become invalid, as
  // after createTag. Exclusive bags only; every expression is compiled before
  // anything is written, so a tag that cannot be evaluated leaves the file untouched.
  virtual Status reindex(const RecordWalker& records) = 0;
  // Around every change by a shared user: takes the index lock, re-reads the change
  // counter (dropping cached pages when another station changed the bag) and, at the
  // end, bumps the counter and releases the lock.
  virtual Status beginUpdate() = 0;
  virtual Status endUpdate() = 0;
  // Before reads on a shared bag: drops cached pages if another station changed it.
  // (Navigation calls on a shared bag outside beginUpdate/endUpdate do this by
  // themselves, and retry a read that meets a half-written tree a few times before
  // reporting it as damage.)
  virtual Status refresh() = 0;
  // Structural check of every tag, and of the keys against the records.
  // Each problem found is described in Spanish in `problems`.
  virtual Status verify(const RecordWalker& records, std::vector<std::string>& problems) = 0;
  virtual Status flush() = 0;
};

}  // namespace planilla
