#include "session/reindex.h"

#include "session/run_tables.h"
#include "store/verify.h"

namespace planilla {

std::vector<catalog::TableDef> reindexableTables(const Session& s) {
  std::vector<catalog::TableDef> out;
  for (catalog::TableId id : catalog::allTables()) {
    catalog::TableDef def = s.def(id);
    if (def.tags.empty()) continue;  // templates, work files
    if (def.origin == catalog::Origin::External || def.origin == catalog::Origin::WorkFile) continue;
    out.push_back(std::move(def));
  }
  return out;
}

ReindexResult reindexTable(Session& s, const catalog::TableDef& def) {
  ReindexResult r{def.dbf(), Status::ok(), "", ""};
  auto tail = tableTail(s.fs(), s.path(def.dbf()));
  r.status = catalog::rebuildIndexes(s.fs(), s.dataDir(), def, true);
  if (r.status && tail && tail->bytes > 0) {
    r.notice = tail->records > 0 ? "se descartaron " + std::to_string(tail->records) +
                                       " registro(s) que un agregado interrumpido dejo despues del final"
                                 : "se descartaron " + std::to_string(tail->bytes) +
                                       " bytes sobrantes despues del ultimo registro";
  }
  if (!r.status)
    r.message = r.status.code() == ErrorCode::InUse ? "Apertura Denegada El Archivo Esta En Uso" : r.status.message();
  return r;
}

bool reindexPeriod(Session& s, std::vector<ReindexResult>& results) {
  s.closeAll();
  // First what a calculation run cut short left: its tables whole, one month or the
  // other, before their bags are built.
  std::vector<RunNotice> notices;
  Status settled = settleRunTables(s, &notices);
  bool all = settled.isOk();
  for (const auto& def : reindexableTables(s)) {
    if (!catalog::tableExists(s.fs(), s.dataDir(), def)) continue;
    results.push_back(reindexTable(s, def));
    ReindexResult& r = results.back();
    for (const RunNotice& n : notices)
      if (n.file == def.dbf()) r.notice += (r.notice.empty() ? "" : "; ") + n.text;
    if (!settled && (def.id == catalog::TableId::PayrollSoles || def.id == catalog::TableId::GratSoles) && r.status) {
      r.status = settled;
      r.message = settled.code() == ErrorCode::InUse ? catalog::kRunInProgress : settled.message();
    }
    all = all && r.status.isOk();
  }
  return all;
}

}  // namespace planilla
