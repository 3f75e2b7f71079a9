// Consistency check of a table and its index bags, as `planilla verificar` runs it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/io.h"
#include "store/status.h"

namespace planilla {

// A bag the system expects beside a table, with the tags it must hold.
struct BagExpectation {
  std::string path;
  std::vector<std::string> tags;
};

// The bags and tags the catalog gives a table file whose name it knows (in the
// table's folder); empty for other names and for tables without index.
std::vector<BagExpectation> catalogExpectations(const std::string& tablePath);

// Checks the table header against the file (versions, lengths, record count against
// the file size, records left past the count by an append cut short, the mark of a
// rebuild cut short), every record's deletion flag and numeric fields (N and F: text
// that is not a number, blanks aside, as the runs refuse it), and each bag
// (a bag without tags; every record's key present exactly once per tag honouring FOR,
// key order, sibling links, counts). The bags of `expected` are checked too: a
// missing one, and a tag it lacks, are problems. Each problem is appended to
// `problems` as a Spanish sentence. The returned status is not ok only when the
// check could not run (a missing table, an I/O error); a table whose header is
// unreadable is a problem, not a failure. What is worth knowing but harms nothing
// (bytes another program left after the end-of-file mark) goes to `notes` when given.
Status verifyTable(FileSystem& fs, const std::string& tablePath, const std::vector<std::string>& bagPaths,
                   std::vector<std::string>& problems, const std::vector<BagExpectation>& expected = {},
                   std::vector<std::string>* notes = nullptr);

// Whole records and loose bytes after the last record the header counts (an end-of-
// file mark alone is not counted).
struct TableTail {
  uint32_t records = 0;
  uint64_t bytes = 0;
};
Result<TableTail> tableTail(FileSystem& fs, const std::string& tablePath);

// The index bag that goes with a table by name (same base name, extension .cdx, or
// .dcx for a .dbc, found without regard to case); empty when there is none.
std::string companionBag(FileSystem& fs, const std::string& tablePath);

}  // namespace planilla
