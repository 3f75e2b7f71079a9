// `planilla liquidacion --cia CC --codigo EMP --fecha-cese DD/MM/AAAA --motivo NN
// [--fecha DD/MM/AAAA] [--tc CODIGO] [--pdf SALIDA.pdf] [--clave CLAVE]`: computes the
// employee's termination settlement as the desktop screen does, saves it (replacing a
// settlement not yet paid; the termination date goes into the employee master),
// writes its document to "Test.rpv" and, with --pdf, renders it. Each amount line goes
// to stdout. `--pagada DD/MM/AAAA` instead marks the saved settlement paid on that
// date; it cannot change afterwards. Refusals go to stderr with exit 1.
#include <optional>
#include <ostream>

#include "app/cli/render_pdf.h"
#include "app/cli_session.h"
#include "app/commands.h"
#include "calc/settlement_store.h"
#include "reports/report_common.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "reports/settlement_docs.h"
#include "store/output_path.h"
#include "ui/picture.h"

namespace planilla {
namespace {

const char* kUsage =
    "uso: planilla liquidacion --cia CC --codigo EMP --fecha-cese DD/MM/AAAA --motivo NN [--fecha DD/MM/AAAA]\n"
    "                          [--tc CODIGO] [--pdf SALIDA.pdf] [--clave CLAVE]\n"
    "     planilla liquidacion --cia CC --codigo EMP --pagada DD/MM/AAAA [--fecha DD/MM/AAAA] [--clave CLAVE]\n"
    "MOTIVO (tabla 17 de SUNAT):";

void usage(std::ostream& err) {
  err << kUsage << "\n";
  for (const auto& r : calc::endReasons()) err << "  " << r.code << " " << r.name << "\n";
}

bool dateOption(const CliArgs& a, const char* name, Date* out, std::ostream& err) {
  auto it = a.extra.find(name);
  if (it == a.extra.end() || it->second.empty()) return true;
  bool ok = false;
  *out = Date::fromOperatorDmy(it->second, &ok);
  if (!ok || out->empty()) {
    err << "Fecha No Valida: " << it->second << " (DD/MM/AAAA)\n";
    return false;
  }
  return true;
}

int liquidacionCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {"--codigo", "--fecha-cese", "--motivo", "--pdf", "--tc", "--pagada"}, a, err)) return 2;
  auto opt = [&](const char* k) { auto it = a.extra.find(k); return it == a.extra.end() ? std::string() : it->second; };
  Date cese, paid;
  if (!a.positional.empty() || a.cia.empty() || opt("--codigo").empty() || !dateOption(a, "--fecha-cese", &cese, err) ||
      !dateOption(a, "--pagada", &paid, err)) {
    usage(err);
    return 2;
  }
  const bool paying = !paid.empty();
  if (!paying && (cese.empty() || opt("--motivo").empty())) {
    usage(err);
    return 2;
  }
  const std::string code = padTo(ui::upper1252(opt("--codigo")), 10);
  const std::string pdf = opt("--pdf");
  if (Status st = pdf.empty() ? Status::ok() : checkOutputFile(pdf); !st) {
    err << "planilla liquidacion: " << st.message() << "\n";
    return 1;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "PROCESOS"); rc != 0) return rc;
  Session& s = cs.session();
  if (paying) {
    if (!calc::markSettlementPaid(s, code, paid)) return 1;
    out << "Liquidacion de " << trimRight(code) << " pagada el " << paid.dmy() << "\n";
    return 0;
  }
  calc::SettlementCase c;
  if (!calc::prepareSettlement(s, code, cese, opt("--motivo"), ui::upper1252(opt("--tc")), &c)) return 1;
  if (!calc::saveSettlement(s, c)) return 1;
  for (const calc::SettlementLine& l : calc::settlementLines(c.result))
    out << l.name << ": " << reports::amount(l.amount, reports::kPicWide) << "   " << l.formula << "\n";
  out << "NETO A PAGAR: " << reports::amount(c.result.net, reports::kPicWide) << "\n"
      << calc::amountInWords(c.result.net) << "\n";
  // The document of what was saved, read back from the table.
  std::optional<PrivateReport> own;
  if (!pdf.empty()) own.emplace(s);
  if (!reports::printSettlementDoc(s, reports::SettlementDoc::Settlement, code, false)) return 1;
  out << catalog::joinPath(s.dataDir(), reports::kReportFile) << "\n";
  if (!own) return 0;
  const int rc = renderPdf(own->path(), pdf, "liquidacion", out, err);
  if (Status st = own->publish(); !st) {
    err << "planilla liquidacion: " << st.message() << "\n";
    return 1;
  }
  return rc;
}

const CommandRegistration kLiquidacion(
    "liquidacion",
    "liquidacion --cia CC --codigo EMP --fecha-cese DD/MM/AAAA --motivo NN [--fecha DD/MM/AAAA] [--tc CODIGO] "
    "[--pdf SALIDA.pdf] [--pagada DD/MM/AAAA] [--clave CLAVE]  liquidacion de beneficios sociales de un trabajador",
    liquidacionCommand);

}  // namespace
}  // namespace planilla
