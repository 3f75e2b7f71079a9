// `planilla exportar plame|afpnet|excel --cia CC --fecha DD/MM/AAAA [--dir CARPETA]
// [--clave CLAVE]`: the statutory files of the month, as the menu entries make them,
// written into CARPETA (the data directory by default). Prints each path written; a
// refusal (data missing, no results) goes to stderr with exit code 1.
// `planilla exportar tregistro --cia CC --desde DD/MM/AAAA --hasta DD/MM/AAAA [--dir
// CARPETA]`: the worker registration files of the hires and leavers of those days.
#include <ostream>

#include "app/cli_session.h"
#include "app/commands.h"
#include "exports/screens.h"
#include "exports/tregistro.h"

namespace planilla {
namespace {

constexpr const char* kTregistroUsage =
    "uso: planilla exportar tregistro --cia CC --desde DD/MM/AAAA --hasta DD/MM/AAAA [--dir CARPETA] [--clave "
    "CLAVE]\n";

int tregistroCommand(const CliArgs& a, std::ostream& out, std::ostream& err) {
  auto from = a.extra.find("--desde"), to = a.extra.find("--hasta");
  if (a.cia.empty() || from == a.extra.end() || to == a.extra.end()) {
    err << kTregistroUsage;
    return 2;
  }
  bool okFrom = false, okTo = false;
  const Date desde = Date::fromDmy(from->second, &okFrom), hasta = Date::fromDmy(to->second, &okTo);
  if (!okFrom || !okTo || !desde.valid() || !hasta.valid()) {
    err << "planilla exportar tregistro: Fecha No Valida (use DD/MM/AAAA)\n";
    return 2;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "AFPNET"); rc != 0) return rc;
  auto dir = a.extra.find("--dir");
  std::vector<std::string> written;
  if (!exports::runTregistro(cs.session(), desde, hasta, dir == a.extra.end() ? "" : dir->second, written)) return 1;
  for (const std::string& p : written) out << p << "\n";
  return 0;
}

int exportarCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {"--dir", "--desde", "--hasta"}, a, err)) return 2;
  exports::Export which;
  const std::string kind = a.positional.size() == 1 ? a.positional[0] : "";
  if (kind == "tregistro") return tregistroCommand(a, out, err);
  if (kind == "plame") which = exports::Export::Plame;
  else if (kind == "afpnet") which = exports::Export::Afpnet;
  else if (kind == "excel") which = exports::Export::Payroll;
  else {
    err << "uso: planilla exportar plame|afpnet|excel --cia CC --fecha DD/MM/AAAA [--dir CARPETA] [--clave CLAVE]\n"
        << kTregistroUsage;
    return 2;
  }
  if (a.cia.empty()) {
    err << "planilla exportar: indique --cia CC\n";
    return 2;
  }
  CliSession cs(err);
  // The same menu groups as the desktop: the PLAME files sit under the reports, the
  // AFPnet upload and the payroll spreadsheet under "&AFPnet".
  if (int rc = cs.start(a, true, which == exports::Export::Plame ? "REPORTES" : "AFPNET"); rc != 0) return rc;
  auto dir = a.extra.find("--dir");
  std::vector<std::string> written;
  if (!exports::runExport(cs.session(), which, dir == a.extra.end() ? "" : dir->second, written)) return 1;
  for (const std::string& p : written) out << p << "\n";
  return 0;
}

const CommandRegistration kExportar(
    "exportar",
    "exportar plame|afpnet|excel --cia CC --fecha DD/MM/AAAA [--dir CARPETA] [--clave CLAVE]  archivos PLAME, "
    "AFPnet o planilla en hoja de calculo; exportar tregistro --cia CC --desde DD/MM/AAAA --hasta DD/MM/AAAA "
    "[--dir CARPETA]  altas y bajas del T-Registro",
    exportarCommand);

}  // namespace
}  // namespace planilla
