// A table is a cursor over one .dbf file with its open index bags.
//
// Contract shared by every caller (screens, runs, reports):
//  - Records marked deleted are invisible to skip, seek, goTop, goBottom and copies.
//  - seek() searches the controlling order with prefix match; a failed seek sets
//    found() false and leaves the cursor at end of file.
//  - Every open tag is maintained on append and replace; a table whose tags cannot
//    all be evaluated opens for reading but refuses changes (NeedsReindex).
//  - Nothing blocks: locks are tried once.
// Field values are Windows-1252 bytes exactly as stored (C fields blank padded).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/index.h"
#include "store/io.h"
#include "store/status.h"
#include "store/value.h"

namespace planilla {

struct FieldSpec {
  std::string name;  // at most 10 characters
  char type = 'C';   // C, N, D, L (others are read but not written)
  int width = 1;
  int decimals = 0;
};

enum class OpenMode { Shared, Exclusive };

// How appendFrom pairs fields by name: for each field of `to`, the index of the field of
// `from` that fills it, or -1. Names are compared without regard to case and matched by
// occurrence (the n-th field of a name takes the n-th of that name); the pair must
// convert: text to text, a number to a number, a date to a date, a logical to a logical.
std::vector<int> matchFieldsByName(const std::vector<FieldSpec>& to, const std::vector<FieldSpec>& from);

// One tag of an index bag to build. An empty name makes the bag's single index,
// named after the bag's file.
struct TagSpec {
  std::string name;
  std::string key;
  std::string forExpr;
  bool descending = false;
};
struct BagSpec {
  std::string path;
  std::vector<TagSpec> tags;
};

class Table {
 public:
  virtual ~Table() = default;

  // --- whole-file operations -------------------------------------------------
  // Opens `path` (case-insensitive match of the name) under `alias`.
  // Shared and exclusive opens refuse each other across processes and within one
  // process (ErrorCode::InUse).
  static Result<std::unique_ptr<Table>> open(FileSystem& fs, const std::string& path,
                                             OpenMode mode, const std::string& alias = "");
  // Creates an empty table (version 0x03, code page mark 0x03). Fails with InUse when
  // someone has an existing file of that name open.
  static Status create(FileSystem& fs, const std::string& path, const std::vector<FieldSpec>& fields);
  // Opens for reading only (shared; every change is refused). For checks, copies
  // from a source table and files the process may not write.
  static Result<std::unique_ptr<Table>> openReadOnly(FileSystem& fs, const std::string& path,
                                                     const std::string& alias = "");

  virtual const std::string& path() const = 0;
  virtual const std::string& alias() const = 0;
  virtual OpenMode mode() const = 0;
  // Creates an empty table with this table's structure (duplicate names kept).
  virtual Status copyStructure(const std::string& path) const = 0;
  // Appends every live record of the table at `path`, matching fields by name. A name
  // the layout holds twice is matched by occurrence: the first field of that name gets
  // the source's first, the second its second (left blank when the source has one).
  virtual Status appendFrom(const std::string& path) = 0;
  // The same from a table this process already has open (in any mode).
  virtual Status appendFrom(Table& source) = 0;
  // Removes records marked deleted and rebuilds the open tags, as rebuildBags() does
  // with the open bags and their tags. Exclusive only.
  virtual Status pack() = 0;
  virtual Status flush() = 0;
  virtual void close() = 0;

  // --- structure -------------------------------------------------------------
  virtual int fieldCount() const = 0;
  virtual const FieldSpec& field(int i) const = 0;
  // First field of that name, compared without regard to case; -1 when absent.
  virtual int fieldIndex(std::string_view name) const = 0;
  // Field places inside a record (byte 0 is the deletion flag), for index bags.
  virtual const RecordLayout& recordLayout() const = 0;
  // Walks every record, deleted ones included, handing the whole record bytes
  // (deletion flag first) in record order. Does not move the cursor.
  virtual RecordWalker records() = 0;

  // --- indexes ---------------------------------------------------------------
  // Opens an index bag (any extension); its tags follow the tags already open.
  // Refused (NeedsReindex) while the table carries the mark of a rebuild cut short.
  virtual Status openIndex(const std::string& bagPath) = 0;
  //
  // Index builds never change a bag in place: the new bag is written beside the old
  // one under a temporary name (the bag's name + ".tmp", created exclusively), then put
  // in its place by one rename, so that an interruption leaves the old bag or the
  // whole new one, never a bag that lacks a tag. Each is for exclusive use only.
  //
  // Creates (or replaces) tag `tag` in bag `bagPath` over all records, creating the
  // bag when missing (the other tags of an existing bag are kept); the bag is opened
  // if it was not.
  virtual Status createTag(const std::string& bagPath, const std::string& tag,
                           const std::string& keyExpr, const std::string& forExpr = "") = 0;
  // Single-tag index file, made anew: the tag is named after the file's base name.
  virtual Status createIndexFile(const std::string& bagPath, const std::string& keyExpr) = 0;
  // Builds every bag of `bags` anew with exactly the tags listed (any old file of that
  // name is replaced; other bags are left alone) and leaves them open, in that order,
  // with no controlling order. With `pack`, records marked deleted are removed first:
  // when there are any, the table is written anew beside the old file too and put in
  // its place carrying the rebuild mark, which is cleared once every bag built for the
  // new record numbers is in place. A record that an interrupted append left past the
  // header's count is dropped. Every expression is compiled before anything is
  // written; on an error before the first rename nothing on disk has changed.
  virtual Status rebuildBags(const std::vector<BagSpec>& bags, bool pack) = 0;
  // Puts this table, built under another name, in the place of the table file `target`
  // with `bags` built for it (for a table rewritten into a new layout). Order: the old
  // bags held, this table marked and synced, every bag built beside its old file, the
  // table renamed over `target` in one step, each bag renamed into place, the mark
  // cleared. An interruption leaves the old table with its old bags, or this table
  // whole under the target's name, whose bags are refused until it is reindexed. The
  // caller holds `target` exclusively (or it does not exist); this table is open
  // exclusively and stays open under the new name with the bags, no order selected.
  virtual Status takePlaceOf(const std::string& target, const std::vector<BagSpec>& bags) = 0;
  // Sets or clears the rebuild mark (header byte 14) and syncs it. While the mark is
  // on, bags are refused when opened (NeedsReindex). For a caller that renames several
  // tables built beside their old files into place as one set: each carries the mark
  // from before its rename until every table of the set is in place. Exclusive only;
  // bags already open stay open.
  virtual Status setRebuildMark(bool on) = 0;
  virtual int tagCount() const = 0;
  virtual std::string tagName(int position) const = 0;  // 1-based
  virtual Status setOrder(int position) = 0;            // 0 = record order
  virtual int order() const = 0;
  virtual void closeIndexes() = 0;
  virtual int bagCount() const = 0;
  virtual IndexBag& bag(int i) = 0;  // 0-based, in the order the bags were opened

  // --- cursor ----------------------------------------------------------------
  virtual Status goTop() = 0;
  virtual Status goBottom() = 0;
  virtual Status skip(int n = 1) = 0;
  virtual Status go(uint32_t recno) = 0;  // any record, deleted or not
  virtual bool seek(std::string_view key) = 0;
  virtual uint32_t recno() const = 0;     // recordCount()+1 at end of file
  virtual bool eof() const = 0;
  virtual bool bof() const = 0;
  virtual bool found() const = 0;
  virtual uint32_t recordCount() = 0;     // physical count, deleted included
  virtual bool deleted() const = 0;
  // Status of the last cursor movement that failed on I/O or corruption (seek
  // returns only found/not found).
  virtual Status lastError() const = 0;

  // --- fields of the current record ------------------------------------------
  virtual std::string str(std::string_view field) const = 0;  // raw bytes, padded
  virtual double num(std::string_view field) const = 0;
  virtual Date date(std::string_view field) const = 0;
  virtual bool logical(std::string_view field) const = 0;
  virtual std::string str(int i) const = 0;
  virtual double num(int i) const = 0;
  // Replacing stores at once (the record is written through) and maintains tags.
  // Text longer than the field is cut; shorter is blank padded. A number is rounded
  // to the field's decimals; one that does not fit is refused (Invalid).
  virtual Status replace(std::string_view field, std::string_view text) = 0;
  virtual Status replace(std::string_view field, double value) = 0;
  virtual Status replace(std::string_view field, const Date& value) = 0;
  virtual Status replaceLogical(std::string_view field, bool value) = 0;
  // The current record's field bytes (without the deletion flag), and their
  // replacement as a whole (deletion flag kept).
  virtual std::string rawRecord() const = 0;
  virtual Status replaceRaw(std::string_view bytes) = 0;

  // --- records and locks -----------------------------------------------------
  // Appends a blank record under the header lock (count re-read under it) and
  // makes it current. In shared mode the new record is left locked.
  virtual Status appendBlank() = 0;
  // The same with the new record's field bytes given whole (as rawRecord() returns
  // them): one write for a record built in memory.
  virtual Status appendRaw(std::string_view bytes) = 0;
  virtual Status markDeleted() = 0;
  virtual Status recall() = 0;
  virtual Status lockRecord() = 0;   // current record, tried once (Locked when refused)
  virtual void unlockAll() = 0;
};

}  // namespace planilla
