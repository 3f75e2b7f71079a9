// The scratch table of the summaries: a copy of a source table, named
// xx<cia><mes><ano>, on which amounts may be added and rows removed without touching
// stored results. It stays on disk after the report; the next run deletes it first.
#pragma once

#include <memory>
#include <string>

#include "store/catalog.h"
#include "store/io.h"
#include "store/table.h"

namespace planilla::reports {

struct ScratchTable {
  std::unique_ptr<Table> table;  // open exclusively, ordered by its one tag
  std::string dbf;               // path of the copy
  std::string bag;               // path of its index file
};

enum class ScratchOutcome {
  Ready,  // the copy is open
  Empty,  // the source has no live rows: nothing created (the report shows "Sin Registros ")
  InUse,  // the copy could not be opened exclusively ("Apertura Denegada El Archivo Esta En Uso")
  Failed, // any other failure (see the status)
};

// Deletes any earlier copy (table and index files, whatever the letter case), then
// copies the structure of `sourceDbf` into xx<cia><mes><ano>.dbf, opens it
// exclusively, builds tag `tag` on `key` in xx<cia><mes><ano>.cdx and appends every
// live row of the source. `status` explains InUse and Failed.
ScratchOutcome buildScratch(FileSystem& fs, const std::string& dir, const catalog::Period& period,
                            const std::string& sourceDbf, ScratchTable& out, Status* status = nullptr,
                            const std::string& tag = "codigo", const std::string& key = "CODIGO");

// The copy with the structure of `structureDbf` and no rows (writers that fill it
// themselves): deletes any earlier copy, creates it, opens it exclusively and builds
// tag `tag` on `key`.
ScratchOutcome emptyScratch(FileSystem& fs, const std::string& dir, const catalog::Period& period,
                            const std::string& structureDbf, ScratchTable& out, Status* status = nullptr,
                            const std::string& tag = "codigo", const std::string& key = "CODIGO");

// Orders the copy by another key: closes it, discards its index file, reopens it
// exclusively and builds tag `tag` on `key` (e.g. "ccosto+codigo", "CCOSTO+CODIGO").
// `bagExt` "cdx" keeps a compound bag; another extension ("ntx") makes a single-index
// file named after the copy.
ScratchOutcome regroupScratch(FileSystem& fs, ScratchTable& scratch, const std::string& tag,
                              const std::string& key, Status* status = nullptr, const std::string& bagExt = "cdx");

}  // namespace planilla::reports
