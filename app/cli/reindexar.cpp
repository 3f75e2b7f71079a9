// planilla reindexar --cia CC [--fecha DD/MM/AAAA] [--clave CLAVE]: rebuilds the index
// bags of every catalog table of the company and working period found in the data
// directory, also tables copied in without their index files. Deleted records are
// removed on the way, as the reindex utilities do.
#include <ostream>

#include "app/cli_session.h"
#include "app/commands.h"
#include "session/reindex.h"

namespace planilla {
namespace {

int runReindexar(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {}, a, err)) return 2;
  if (!a.positional.empty()) {
    err << "uso: planilla reindexar --cia CC [--fecha DD/MM/AAAA] [--clave CLAVE]\n";
    return 2;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "HERRAMIENT"); rc != 0) return rc;
  std::vector<ReindexResult> results;
  bool ok = reindexPeriod(cs.session(), results);
  for (const auto& r : results) {
    if (!r.notice.empty()) err << r.line(r.notice) << "\n";
    if (r.status)
      out << r.file << ": reindexado\n";
    else
      err << r.line(r.message) << "\n";
  }
  return ok ? 0 : 1;
}

const CommandRegistration kReindexar(
    "reindexar", "reindexar --cia CC [--fecha DD/MM/AAAA] [--clave CLAVE]  reconstruye los indices de la empresa",
    runReindexar);

}  // namespace
}  // namespace planilla
