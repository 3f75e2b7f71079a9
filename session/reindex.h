// Rebuilding the index bags of every catalog table of the session's company and
// period that exists in the data directory (the command `planilla reindexar`).
#pragma once

#include <string>
#include <vector>

#include "session/session.h"

namespace planilla {

struct ReindexResult {
  std::string file;     // table file name ("pmae0101.dbf")
  Status status;        // ok, or why it failed
  std::string message;  // the system's message for a failure
  std::string notice;   // something found on the way and dealt with
  // "file: text" for the message or notice, unless the text names the file already.
  std::string line(const std::string& text) const {
    return text.find(file) != std::string::npos ? text : file + ": " + text;
  }
};

// The tables concerned, in catalog order: the institutions and users, the accounting
// parameters, the exchange rates of the year, the company masters, the year tables and
// the period tables of YMES (calculated files included). Templates, report work files
// and tables the system never creates are left alone.
std::vector<catalog::TableDef> reindexableTables(const Session& s);

// Packs one table and builds its bags anew, each beside the old one and renamed into
// place (catalog::rebuildIndexes): exclusive use is obtained before anything is
// touched, so a table another station holds open is refused ("Apertura Denegada El
// Archivo Esta En Uso" in `message`) and left byte for byte as it was. The table must
// exist. This is the one reindex: the utilities of the tools menu and `planilla
// reindexar` both come here.
ReindexResult reindexTable(Session& s, const catalog::TableDef& def);

// Packs each existing table and builds its bags anew, each beside the old one and
// renamed into place, so that an interruption leaves bags that are either the old ones
// or complete (catalog::rebuildIndexes). A record that an append cut short left past
// the header's count is dropped, with a notice. What a calculation run cut short left
// is put in order first (settleRunTables), with a notice on its first table. A table
// another station holds open is refused with "Apertura Denegada El Archivo Esta En
// Uso" and left untouched; the others go on. Returns true when every table was rebuilt.
bool reindexPeriod(Session& s, std::vector<ReindexResult>& results);

}  // namespace planilla
