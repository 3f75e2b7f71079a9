// Records of the runs, kept in memory with the exact semantics of the table fields.
//
// PendingRecord is a record being built for a result table: a number is stored
// rounded to the field's decimals (and refused when it does not fit the width), text
// is cut or padded to the width, and every later step that reads a field reads the
// stored value, as it would read it back from the file. The runs build each result
// record here and write it in one go, so an employee whose calculation cannot finish
// (a value that does not fit its field) leaves no half-made record behind; where a
// run stops on purpose after writing part of a record, it writes the fields set so far.
//
// RecordView is one record of an input table read in one go (a shared table reads
// the record from disk on every field access; the runs read each record once).
//
// Numbers the runs read are checked: a blank numeric field is 0, as dBase has it, but
// a field that holds no number at all (asterisks left where a value did not fit,
// letters) is an error naming the table, the record and the field, never a silent 0.
// The screens and the verification read leniently through Table::num.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/dbf_format.h"
#include "store/numbers.h"
#include "store/status.h"
#include "store/table.h"
#include "store/value.h"

namespace planilla::calc {

// Field positions of a record by name (first field of a name, without regard to case).
class FieldMap {
 public:
  FieldMap() = default;
  explicit FieldMap(std::vector<FieldSpec> fields);
  int index(std::string_view name) const;  // -1 when absent
  int size() const { return static_cast<int>(fields_.size()); }
  const FieldSpec& fieldAt(int i) const { return fields_[i]; }
  const dbf::Field& field(int i) const { return dbf_[i]; }  // with its offset (0 = first byte after the flag)
  const std::vector<FieldSpec>& specs() const { return fields_; }

 private:
  // Field names compare without regard to (ASCII) case.
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const;
  };
  struct Equal {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  std::vector<FieldSpec> fields_;
  std::vector<dbf::Field> dbf_;
  std::unordered_map<std::string, int, Hash, Equal> byName_;
  // The runs ask for the same few names, written once in the code, for every
  // employee: the field found is remembered by the address and length of the name
  // asked for, and taken from there when the field's own name matches it (a name that
  // merely lands at the same address is looked up anew). Not for two threads at once.
  struct Memo {
    const char* data = nullptr;
    size_t size = 0;
    int index = -1;
  };
  mutable std::array<Memo, 128> memo_{};
};

// The fields of an open table, in order.
std::vector<FieldSpec> fieldSpecs(const Table& t);

// planilla::roundHalfAway(v, decimals), exactly (sign of zero included), without
// formatting through the C library in the common case. The runs round many amounts
// per employee.
double roundDec(double v, int decimals);
inline double roundMoney(double v) { return roundDec(v, 2); }

// Encodes a number as the field stores it (right-aligned, rounded to the decimals
// halves away from zero) and gives the value the field then holds. Invalid when it
// does not fit the width. Same result as dbf::encodeNumber followed by decodeNumber.
Status encodeStored(double v, const dbf::Field& f, char* out, double* stored);

// The checked reads (unreadableNumber, checkedNum) are the store's: store/numbers.h.

class RecordView {
 public:
  RecordView() = default;
  // The structure of `t`; load() fills in a record.
  explicit RecordView(const Table& t);
  // Takes the current record of `t` (which must have the structure given), and its
  // table and record number for the messages.
  void load(const Table& t);
  // OK, or the error for the first numeric field read since load() that held no
  // number (num() gave 0 for it). Checked by the runs after reading a record.
  Status numberError() const;
  // Reads the numeric fields among `names` (others and absent ones are passed over)
  // and returns numberError().
  Status checkNumbers(const std::vector<std::string>& names) const;

  int index(std::string_view name) const { return map_.index(name); }
  // Field values as the table would return them (first field of a name).
  std::string str(std::string_view name) const { return str(index(name)); }
  double num(std::string_view name) const { return num(index(name)); }
  Date date(std::string_view name) const { return date(index(name)); }
  std::string str(int i) const;
  double num(int i) const;
  Date date(int i) const;

 private:
  std::string_view bytes(int i) const;
  FieldMap map_;
  std::string bytes_;
  std::string table_;       // file name of the table of the loaded record
  uint32_t recno_ = 0;
  mutable int badField_ = -1;  // first numeric field read that held no number
};

class PendingRecord {
 public:
  PendingRecord() = default;
  explicit PendingRecord(std::vector<FieldSpec> fields);
  // The structure of an open table.
  static PendingRecord forTable(const Table& t);

  // Forgets every value: numbers zero, text and dates blank, nothing set.
  void clear();

  bool hasField(std::string_view name) const { return map_.index(name) >= 0; }
  // Stores a value into the field. Invalid (naming the field) when the field does
  // not exist or the number does not fit.
  Status setNum(std::string_view name, double v);
  Status setText(std::string_view name, std::string_view text);
  Status setDate(std::string_view name, const Date& d);

  // The stored value (0 / blanks / empty date for fields never set).
  double num(std::string_view name) const;
  std::string text(std::string_view name) const;
  Date date(std::string_view name) const;

  bool isSet(std::string_view name) const;
  // Names of the fields set, in the order they were first set.
  std::vector<std::string> setFields() const;

  // Copies `fields` from a record of another table, converting to this record's
  // field types (C text, N number, D date). Fields absent from `src` are skipped. A
  // number of `src` that is no number is an error (src.numberError()).
  Status copyFrom(const RecordView& src, const std::vector<std::string>& fields);

  // Appends a record to `t` holding every field set so far (the others blank), in
  // one write. `t` must have this record's structure (forTable).
  Status appendTo(Table& t) const;
  // Writes this record over the current record of `t` in one write (the caller holds
  // its lock); the same structure as for appendTo.
  Status writeOver(Table& t) const;

  const std::vector<FieldSpec>& fields() const { return map_.specs(); }

 private:
  struct Slot {
    double num = 0;
    Date date;
    bool set = false;
  };
  Status fieldFor(std::string_view name, char type, int* i) const;
  void markSet(int i);

  FieldMap map_;
  std::string image_;       // the record's bytes as they will be written (no deletion flag)
  std::string blank_;       // a blank record (all blanks)
  std::vector<Slot> slots_;
  std::vector<int> order_;  // fields in the order first set
};

}  // namespace planilla::calc
