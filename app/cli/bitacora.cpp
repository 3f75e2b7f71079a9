// planilla bitacora [procesos] --cia CC [--desde DD/MM/AAAA] [--hasta DD/MM/AAAA]
// [--codigo EMP] [--usuario U] [--tabla TABLA] [--pdf SALIDA.pdf] [--excel CARPETA]:
// the company's change log (or, with "procesos", its run register) on stdout, one
// line per record, filtered as the screens filter it; with --pdf the listing of the
// report writer rendered, with --excel the spreadsheet. Only for passwords that open
// "&Herramientas", as the screens.
#include <cstdio>
#include <optional>
#include <ostream>

#include "app/cli/render_pdf.h"
#include "app/cli_session.h"
#include "app/commands.h"
#include "exports/logbook.h"
#include "store/output_path.h"

namespace planilla {
namespace {

const char* kUsage =
    "uso: planilla bitacora [procesos] --cia CC [--desde DD/MM/AAAA] [--hasta DD/MM/AAAA] [--codigo EMP] "
    "[--usuario U] [--tabla TABLA] [--pdf SALIDA.pdf] [--excel CARPETA]\n";

std::string fmt2(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f", v);
  return b;
}

bool dateOption(const CliArgs& a, const char* name, Date* out, std::ostream& err) {
  auto it = a.extra.find(name);
  if (it == a.extra.end()) return true;
  bool ok = false;
  *out = Date::fromOperatorDmy(it->second, &ok);
  if (!ok || out->empty()) {
    err << "Fecha No Valida: " << it->second << " (DD/MM/AAAA)\n";
    return false;
  }
  return true;
}

int bitacoraCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {"--desde", "--hasta", "--codigo", "--usuario", "--tabla", "--pdf", "--excel"}, a, err))
    return 2;
  const bool runs = a.positional.size() == 1 && a.positional[0] == "procesos";
  if (a.cia.empty() || (!a.positional.empty() && !runs)) {
    err << kUsage;
    return 2;
  }
  exports::LogQuery q;
  if (!dateOption(a, "--desde", &q.desde, err) || !dateOption(a, "--hasta", &q.hasta, err)) return 2;
  auto opt = [&](const char* n) {
    auto it = a.extra.find(n);
    return it == a.extra.end() ? std::string() : it->second;
  };
  q.code = opt("--codigo");
  q.user = opt("--usuario");
  q.table = opt("--tabla");
  const std::string pdf = opt("--pdf");
  if (Status st = pdf.empty() ? Status::ok() : checkOutputFile(pdf); !st) {
    err << "planilla bitacora: " << st.message() << "\n";
    return 1;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "HERRAMIENT"); rc != 0) return rc;
  Session& s = cs.session();

  if (runs) {
    std::vector<RunRow> rows;
    if (!exports::selectRuns(s, q, rows)) return 1;
    for (const RunRow& r : rows) {
      out << r.process << "\t" << r.period << "\t" << r.user << "\t" << r.station << "\t" << stampText(r.start)
          << "\t" << stampText(r.end) << "\t" << r.totals.employees << "\t" << fmt2(r.totals.gross) << "\t"
          << fmt2(r.totals.deductions) << "\t" << fmt2(r.totals.net) << "\t"
          << fmt2(r.totals.employer) << "\t" << runStateText(r.state) << "\t" << r.message << "\n";
    }
  } else {
    std::vector<ChangeRow> rows;
    if (!exports::selectChanges(s, q, rows)) return 1;
    for (const ChangeRow& r : rows)
      out << stampText(r.moment) << "\t" << r.user << "\t" << r.station << "\t" << r.table << "\t" << r.key << "\t"
          << operationText(r.operation) << "\t" << r.detail << "\n";
  }
  if (const std::string dir = opt("--excel"); !dir.empty()) {
    std::vector<std::string> written;
    if (!(runs ? exports::exportRuns(s, q, dir, written) : exports::exportChanges(s, q, dir, written))) return 1;
    for (const std::string& p : written) err << "Archivo: " << p << "\n";
  }
  if (pdf.empty()) return 0;
  PrivateReport own(s);
  if (!(runs ? exports::printRuns(s, q, false) : exports::printChanges(s, q, false))) return 1;
  const int rc = renderPdf(own.path(), pdf, "bitacora", err, err);
  if (Status st = own.publish(); !st) {
    err << "planilla bitacora: " << st.message() << "\n";
    return 1;
  }
  return rc;
}

const CommandRegistration kBitacora("bitacora",
                                    "bitacora [procesos] --cia CC [--desde DD/MM/AAAA] [--hasta DD/MM/AAAA] "
                                    "[--codigo EMP] [--pdf SALIDA.pdf] [--excel CARPETA]   bitacora de cambios o "
                                    "registro de procesos",
                                    bitacoraCommand);

}  // namespace
}  // namespace planilla
