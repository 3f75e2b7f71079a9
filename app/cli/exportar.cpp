// `planilla exportar plame|afpnet|excel --cia CC --fecha DD/MM/AAAA [--dir CARPETA]
// [--clave CLAVE]`: the statutory files of the month, as the menu entries make them,
// written into CARPETA (the data directory by default). Prints each path written; a
// refusal (data missing, no results) goes to stderr with exit code 1.
//
// `planilla exportar banco BCP|BBVA|INTERBANK|BANBIF --cia CC --fecha DD/MM/AAAA
// [--pago planilla|gratificacion|liquidacion] [--cuenta CARGO] [--fecha-proceso DD/MM/AAAA]
// [--dir CARPETA] [--pdf SALIDA.pdf]`: the salary-transfer files of the run for the
// bank, as "Archivos De Pago Al Banco" makes them, and their summary report in
// "Test.rpv" (rendered with --pdf).
//
// `planilla exportar tregistro --cia CC --desde DD/MM/AAAA --hasta DD/MM/AAAA [--dir
// CARPETA]`: the worker registration files of the hires and leavers of those days.
#include <optional>
#include <ostream>

#include "app/cli/render_pdf.h"
#include "app/cli_session.h"
#include "app/commands.h"
#include "exports/bank_transfer.h"
#include "exports/screens.h"
#include "exports/tregistro.h"
#include "reports/rpv_writer.h"
#include "store/catalog.h"
#include "store/output_path.h"

namespace planilla {
namespace {

const char* kUsage =
    "uso: planilla exportar plame|afpnet|excel --cia CC --fecha DD/MM/AAAA [--dir CARPETA] [--clave CLAVE]\n"
    "     planilla exportar banco BCP|BBVA|INTERBANK|BANBIF --cia CC --fecha DD/MM/AAAA\n"
    "              [--pago planilla|gratificacion|liquidacion] [--cuenta CARGO] [--fecha-proceso DD/MM/AAAA]\n"
    "              [--dir CARPETA] [--pdf SALIDA.pdf] [--clave CLAVE]\n"
    "     planilla exportar tregistro --cia CC --desde DD/MM/AAAA --hasta DD/MM/AAAA [--dir CARPETA] [--clave CLAVE]\n";

int bankCommand(const CliArgs& a, std::ostream& out, std::ostream& err) {
  auto opt = [&](const char* k) { auto it = a.extra.find(k); return it == a.extra.end() ? std::string() : it->second; };
  exports::TransferRequest req;
  if (a.positional.size() != 2 || !exports::bank::bankByName(a.positional[1], &req.bank)) {
    err << "planilla exportar banco: indique el banco: BCP, BBVA, INTERBANK o BANBIF\n" << kUsage;
    return 2;
  }
  if (const std::string p = opt("--pago"); !p.empty() && !exports::paymentByName(p, &req.payment)) {
    err << "planilla exportar banco: --pago planilla, gratificacion o liquidacion\n";
    return 2;
  }
  req.chargeAccount = opt("--cuenta");
  if (const std::string f = opt("--fecha-proceso"); !f.empty()) {
    bool ok = false;
    req.processDate = Date::fromOperatorDmy(f, &ok);
    if (!ok || req.processDate.empty()) {
      err << "Fecha No Valida: " << f << " (DD/MM/AAAA)\n";
      return 2;
    }
  }
  req.dir = opt("--dir");
  const std::string pdf = opt("--pdf");
  if (Status st = pdf.empty() ? Status::ok() : checkOutputFile(pdf); !st) {
    err << "planilla exportar: " << st.message() << "\n";
    return 1;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "AFPNET"); rc != 0) return rc;
  Session& s = cs.session();
  // With --pdf the summary is rendered from a report file of the command's own.
  std::optional<PrivateReport> own;
  if (!pdf.empty()) own.emplace(s);
  std::vector<std::string> written;
  if (!exports::runBankTransfer(s, req, written, false)) return 1;
  for (const std::string& p : written) out << p << "\n";
  if (!own) {
    out << catalog::joinPath(s.dataDir(), reports::kReportFile) << "\n";
    return 0;
  }
  const int rc = renderPdf(own->path(), pdf, "exportar", out, err);
  if (Status st = own->publish(); !st) {
    err << "planilla exportar: " << st.message() << "\n";
    return 1;
  }
  return rc;
}

int tregistroCommand(const CliArgs& a, std::ostream& out, std::ostream& err) {
  auto from = a.extra.find("--desde"), to = a.extra.find("--hasta");
  if (a.cia.empty() || from == a.extra.end() || to == a.extra.end()) {
    err << kUsage;
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
  if (!parseCliArgs(args, {"--dir", "--pago", "--cuenta", "--fecha-proceso", "--pdf", "--desde", "--hasta"}, a, err))
    return 2;
  exports::Export which = exports::Export::Plame;
  std::string kind = a.positional.empty() ? "" : a.positional[0];
  if (kind == "banco") {
    if (a.cia.empty()) {
      err << "planilla exportar: indique --cia CC\n";
      return 2;
    }
    return bankCommand(a, out, err);
  }
  if (kind == "tregistro" && a.positional.size() == 1) return tregistroCommand(a, out, err);
  const bool otherOption = a.extra.count("--pago") || a.extra.count("--cuenta") || a.extra.count("--fecha-proceso") ||
                           a.extra.count("--pdf") || a.extra.count("--desde") || a.extra.count("--hasta");
  if (kind == "plame") which = exports::Export::Plame;
  else if (kind == "afpnet") which = exports::Export::Afpnet;
  else if (kind == "excel") which = exports::Export::Payroll;
  else kind.clear();
  if (kind.empty() || a.positional.size() != 1 || otherOption) {
    err << kUsage;
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
    "AFPnet o planilla en hoja de calculo; exportar banco BCP|BBVA|INTERBANK|BANBIF --cia CC --fecha DD/MM/AAAA "
    "[--pago planilla|gratificacion|liquidacion] [--cuenta CARGO] [--fecha-proceso DD/MM/AAAA] [--dir CARPETA] [--pdf "
    "SALIDA.pdf]  archivos de abono de haberes al banco; exportar tregistro --cia CC --desde DD/MM/AAAA "
    "--hasta DD/MM/AAAA [--dir CARPETA]  altas y bajas del T-Registro",
    exportarCommand);

}  // namespace
}  // namespace planilla
