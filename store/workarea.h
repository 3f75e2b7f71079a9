// Numbered work areas holding open tables under aliases, with a current area, as
// the screens use them: select an area by number or alias, put a table in it, close
// one or all. Areas are numbered from 1; area 0 in select()/use() means "the lowest
// free area".
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/status.h"
#include "store/table.h"

namespace planilla {

class WorkAreas {
 public:
  explicit WorkAreas(int capacity = 60);
  ~WorkAreas();
  WorkAreas(const WorkAreas&) = delete;
  WorkAreas& operator=(const WorkAreas&) = delete;

  int capacity() const { return static_cast<int>(areas_.size()) - 1; }
  // Makes `area` current (0 = the lowest free area). Invalid when out of range.
  Status select(int area);
  // Makes the area holding `alias` current (compared without regard to case).
  Status select(std::string_view alias);
  int current() const { return current_; }
  // The table in the current area, in `area`, or under `alias`; nullptr when none.
  Table* table() const { return table(current_); }
  Table* table(int area) const;
  Table* find(std::string_view alias) const;
  int areaOf(std::string_view alias) const;  // 0 when no area holds it
  int freeArea() const;                       // 0 when every area is taken

  // Puts `t` into `area` (0 = the current area), closing what was there, and makes
  // that area current. Invalid when another area already uses the same alias.
  Status use(int area, std::unique_ptr<Table> t);
  Status use(std::unique_ptr<Table> t) { return use(0, std::move(t)); }
  // Opens `path` and puts it into `area` (0 = the current area).
  Result<Table*> open(FileSystem& fs, int area, const std::string& path, OpenMode mode,
                      const std::string& alias = "");

  void close(int area);
  void close() { close(current_); }
  void closeAll();

 private:
  std::vector<std::unique_ptr<Table>> areas_;  // index 0 unused
  int current_ = 1;
};

}  // namespace planilla
