// A list a screen builds in memory and shows in a browse list (the import preview,
// the month's checklist): a table of text columns in a private folder of its own
// under the system's temporary folder, removed with the object. Nothing of it is in
// the data directory, so no other station ever sees it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/io.h"
#include "store/status.h"
#include "store/table.h"

namespace planilla {

class ListTable {
 public:
  struct Column {
    std::string name;  // field name, at most 10 characters
    int width;         // characters (at most 254)
  };
  // An empty list with these columns, opened exclusively.
  static Result<std::unique_ptr<ListTable>> create(FileSystem& fs, const std::vector<Column>& columns);
  ~ListTable();
  ListTable(const ListTable&) = delete;
  ListTable& operator=(const ListTable&) = delete;

  // One row; values beyond a column's width are cut.
  Status add(const std::vector<std::string>& values);
  // Empties the list.
  Status clear();
  // Its table, at the first row after add() calls when rewound with goTop().
  Table& table() { return *table_; }

 private:
  ListTable() = default;
  std::vector<Column> columns_;
  std::string dir_;
  std::unique_ptr<Table> table_;
};

}  // namespace planilla
