// Consistency check of a table and its index bags, as `planilla verificar` runs it.
#pragma once

#include <string>
#include <vector>

#include "store/io.h"
#include "store/status.h"

namespace planilla {

// Checks the table header against the file (versions, lengths, record count against
// the file size), every record's deletion flag and numeric fields, and each bag
// (every record's key present exactly once per tag honouring FOR, key order, sibling
// links, counts). Each problem is appended to `problems` as a Spanish sentence. The
// returned status is not ok only when the check could not run (a missing file, an
// I/O error); a table whose header is unreadable is a problem, not a failure.
Status verifyTable(FileSystem& fs, const std::string& tablePath, const std::vector<std::string>& bagPaths,
                   std::vector<std::string>& problems);

// The index bag that goes with a table by name (same base name, extension .cdx, or
// .dcx for a .dbc, found without regard to case); empty when there is none.
std::string companionBag(FileSystem& fs, const std::string& tablePath);

}  // namespace planilla
