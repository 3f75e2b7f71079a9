// A small in-memory table for the toolkit's tests: character and numeric fields, an
// optional order on one field (a sorted index), deleted records hidden from the
// cursor, prefix seek. It counts cursor movements so tests can see how much of the
// table a browse touched.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "store/table.h"

namespace planilla::testing {

class FakeTable : public Table {
 public:
  explicit FakeTable(std::vector<FieldSpec> fields) : fields_(std::move(fields)) {
    uint32_t offset = 1;  // after the deletion flag
    for (const auto& f : fields_) {
      layout_.push_back({f.name, f.type, f.width, f.decimals, offset});
      offset += static_cast<uint32_t>(f.width);
    }
  }

  // Appends a record with the given field texts (in field order).
  void add(std::vector<std::string> values) {
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (i >= values.size()) values.emplace_back();
      values[i].resize(static_cast<size_t>(fields_[i].width), ' ');
    }
    recs_.push_back({std::move(values), false});
    dirty_ = true;
  }
  void setDeleted(uint32_t recno, bool d) {
    recs_[recno - 1].deleted = d;
    dirty_ = true;
  }
  // Orders by field `name` (empty: record order).
  void orderBy(const std::string& name) {
    orderField_ = name.empty() ? -1 : fieldIndex(name);
    dirty_ = true;
  }
  long moves = 0;  // skip/go/top/bottom calls

  // --- Table -------------------------------------------------------------------------
  const std::string& path() const override { return path_; }
  const std::string& alias() const override { return path_; }
  OpenMode mode() const override { return OpenMode::Shared; }
  Status copyStructure(const std::string&) const override { return Status::unsupported("fake"); }
  Status appendFrom(const std::string&) override { return Status::unsupported("fake"); }
  Status appendFrom(Table&) override { return Status::unsupported("fake"); }
  Status pack() override { return Status::unsupported("fake"); }
  Status flush() override { return Status::ok(); }
  void close() override {}
  int fieldCount() const override { return static_cast<int>(fields_.size()); }
  const FieldSpec& field(int i) const override { return fields_[static_cast<size_t>(i)]; }
  int fieldIndex(std::string_view name) const override {
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (upper(fields_[i].name) == upper(std::string(name))) return static_cast<int>(i);
    }
    return -1;
  }
  const RecordLayout& recordLayout() const override { return layout_; }
  RecordWalker records() override {
    return [](const std::function<Status(uint32_t, std::string_view)>&) { return Status::unsupported("fake"); };
  }
  int bagCount() const override { return 0; }
  IndexBag& bag(int) override { std::abort(); }  // the fake has no index files
  Status openIndex(const std::string&) override { return Status::ok(); }
  Status createTag(const std::string&, const std::string&, const std::string&, const std::string&) override {
    return Status::ok();
  }
  Status createIndexFile(const std::string&, const std::string&) override { return Status::ok(); }
  Status rebuildBags(const std::vector<BagSpec>&, bool) override { return Status::ok(); }
  Status takePlaceOf(const std::string&, const std::vector<BagSpec>&) override { return Status::unsupported("fake"); }
  Status setRebuildMark(bool) override { return Status::unsupported("fake"); }
  int tagCount() const override { return orderField_ >= 0 ? 1 : 0; }
  std::string tagName(int) const override { return orderField_ >= 0 ? fields_[static_cast<size_t>(orderField_)].name : ""; }
  Status setOrder(int) override { return Status::ok(); }
  int order() const override { return orderField_ >= 0 ? 1 : 0; }
  void closeIndexes() override {}

  Status goTop() override {
    ensure();
    ++moves;
    pos_ = 0;
    bof_ = order_.empty();
    return Status::ok();
  }
  Status goBottom() override {
    ensure();
    ++moves;
    pos_ = order_.empty() ? 0 : order_.size() - 1;
    bof_ = order_.empty();
    return Status::ok();
  }
  Status skip(int n) override {
    ensure();
    ++moves;
    bof_ = false;
    if (n >= 0) {
      pos_ = std::min(order_.size(), pos_ + static_cast<size_t>(n));
    } else {
      size_t back = static_cast<size_t>(-static_cast<long>(n));
      if (pos_ >= order_.size() && !order_.empty()) {
        pos_ = order_.size();
      }
      if (back > pos_) {
        pos_ = 0;
        bof_ = true;
      } else {
        pos_ -= back;
      }
    }
    return Status::ok();
  }
  Status go(uint32_t recno) override {
    ensure();
    ++moves;
    bof_ = false;
    if (recno < 1 || recno > recs_.size()) return Status::invalid("registro fuera de rango");
    pos_ = posOf_[recno - 1];
    return Status::ok();
  }
  bool seek(std::string_view key) override {
    ensure();
    found_ = false;
    for (size_t i = 0; i < order_.size(); ++i) {
      const std::string& v = recs_[order_[i] - 1].values[static_cast<size_t>(std::max(orderField_, 0))];
      if (v.compare(0, key.size(), key) == 0) {
        pos_ = i;
        found_ = true;
        return true;
      }
    }
    pos_ = order_.size();
    return false;
  }
  uint32_t recno() const override {
    return pos_ < order_.size() ? order_[pos_] : static_cast<uint32_t>(recs_.size() + 1);
  }
  bool eof() const override { return pos_ >= order_.size(); }
  bool bof() const override { return bof_; }
  bool found() const override { return found_; }
  uint32_t recordCount() override { return static_cast<uint32_t>(recs_.size()); }
  bool deleted() const override { return !eof() && recs_[order_[pos_] - 1].deleted; }
  Status lastError() const override { return Status::ok(); }

  std::string str(std::string_view f) const override {
    int i = fieldIndex(f);
    return i < 0 ? std::string() : str(i);
  }
  double num(std::string_view f) const override { return std::stod("0" + str(f)); }
  Date date(std::string_view f) const override { return Date::fromDtos(str(f)); }
  bool logical(std::string_view f) const override { return str(f) == "T"; }
  std::string str(int i) const override {
    if (eof()) return std::string(static_cast<size_t>(fields_[static_cast<size_t>(i)].width), ' ');
    return recs_[order_[pos_] - 1].values[static_cast<size_t>(i)];
  }
  double num(int i) const override { return std::stod("0" + str(i)); }
  Status replace(std::string_view f, std::string_view text) override {
    int i = fieldIndex(f);
    if (i < 0 || eof()) return Status::invalid("campo");
    std::string v(text);
    v.resize(static_cast<size_t>(fields_[static_cast<size_t>(i)].width), ' ');
    uint32_t r = recno();
    recs_[r - 1].values[static_cast<size_t>(i)] = v;
    rebuild();
    (void)go(r);
    return Status::ok();
  }
  Status replace(std::string_view, double) override { return Status::unsupported("fake"); }
  Status replace(std::string_view, const Date&) override { return Status::unsupported("fake"); }
  Status replaceLogical(std::string_view, bool) override { return Status::unsupported("fake"); }
  std::string rawRecord() const override { return {}; }
  Status replaceRaw(std::string_view) override { return Status::unsupported("fake"); }
  Status appendRaw(std::string_view) override { return Status::unsupported("fake"); }
  Status appendBlank() override {
    add({});
    rebuild();
    (void)go(static_cast<uint32_t>(recs_.size()));
    return Status::ok();
  }
  Status markDeleted() override {
    if (eof()) return Status::invalid("eof");
    recs_[recno() - 1].deleted = true;
    rebuild();
    return Status::ok();
  }
  Status recall() override { return Status::ok(); }
  Status lockRecord() override { return Status::ok(); }
  void unlockAll() override {}

 private:
  struct Rec {
    std::vector<std::string> values;
    bool deleted;
  };
  static std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }
  void ensure() {
    if (dirty_) rebuild();
  }
  void rebuild() {
    dirty_ = false;
    order_.clear();
    for (size_t i = 0; i < recs_.size(); ++i) {
      if (!recs_[i].deleted) order_.push_back(static_cast<uint32_t>(i + 1));
    }
    if (orderField_ >= 0) {
      auto f = static_cast<size_t>(orderField_);
      std::stable_sort(order_.begin(), order_.end(),
                       [&](uint32_t a, uint32_t b) { return recs_[a - 1].values[f] < recs_[b - 1].values[f]; });
    }
    if (pos_ > order_.size()) pos_ = order_.size();
    posOf_.assign(recs_.size(), order_.size());
    for (size_t i = 0; i < order_.size(); ++i) posOf_[order_[i] - 1] = i;
  }

  std::string path_ = "fake";
  RecordLayout layout_;
  std::vector<FieldSpec> fields_;
  std::vector<Rec> recs_;
  std::vector<uint32_t> order_;
  std::vector<size_t> posOf_;
  bool dirty_ = false;
  int orderField_ = -1;
  size_t pos_ = 0;
  bool bof_ = false, found_ = false;
};

}  // namespace planilla::testing
