// `planilla reporte NOMBRE --cia CC --fecha DD/MM/AAAA [--codigo EMP] [--moneda S|D]
// [--banco BANCO] [--fecha-cert DD/MM/AAAA] [--pdf SALIDA.pdf] [--clave CLAVE]`: any report
// of the reports menu, made as its screen makes it (the same checks, the same messages,
// on stderr), written to "Test.rpv" and, with --pdf, rendered. The viewer is not
// started. Exit 0 only when the report file was written.
#include <algorithm>
#include <ostream>

#include "app/cli/render_pdf.h"
#include "app/cli_session.h"
#include "app/commands.h"
#include "reports/cts_reports.h"
#include "reports/payslip.h"
#include "reports/rpv_writer.h"
#include "reports/summaries.h"
#include "reports/vacation_record.h"
#include "ui/picture.h"

namespace planilla {
namespace {

const char* kUsage =
    "uso: planilla reporte NOMBRE --cia CC --fecha DD/MM/AAAA [--codigo EMP] [--moneda S|D] [--banco BANCO]\n"
    "                      [--fecha-cert DD/MM/AAAA] [--pdf SALIDA.pdf] [--clave CLAVE]\n"
    "NOMBRE: libro, pdt, aportes, netos, boleta-grati (--codigo), grati, cts (--codigo),\n"
    "        depositos-cts (--moneda), vacaciones (--codigo)\n";

struct Options {
  std::string code;           // --codigo as the dialog's field holds it (10, upper case)
  int selector = 3;           // --moneda: 3 soles, 2 dollars
  std::string bank;           // --banco (empty: the first bank, as the dialog opens)
  Date certificate;           // --fecha-cert (default: the working date)
};

// Validates the employee code as the employee dialog does (CODPER); its name and cost
// centre are what the dialog would show and keep.
bool employee(Session& s, const Options& o, std::string& name, std::string& costCentre) {
  costCentre = std::string(6, ' ');
  if (reports::CODPER(s, o.code, &name, &costCentre)) return true;
  s.closeAll();
  return false;
}

// Runs report `name`; true when the report file was written.
bool runReport(Session& s, const std::string& name, const Options& o) {
  using namespace reports;
  std::string ruc, empName, cc;
  if (name == "libro") return checkPayrollBook(s, ruc) && PREP406(s, ruc, false);
  if (name == "pdt") return REPXXP404(s, false);
  if (name == "aportes") return checkPensionSummary(s) && REPXXP405(s, false);
  if (name == "netos") return checkNetPay(s) && PREP426(s, 3, false);
  if (name == "grati") return checkGratiBook(s, ruc) && PREP402(s, ruc, false);
  if (name == "boleta-grati") {
    PayslipValues v;
    return checkGratiSlipPreconditions(s, v) && employee(s, o, empName, cc) &&
           PREP403(s, o.code, empName, v, cc, false);
  }
  if (name == "vacaciones")
    return checkVacationRecord(s) && employee(s, o, empName, cc) && PREP429(s, o.code, empName, false);
  if (name == "cts") {
    CtsCertificateValues v;
    CtsEmployee e;
    if (!checkCtsCertificate(s, v)) return false;
    if (!CODPERQUINTA(s, o.code, e)) {
      s.closeAll();
      return false;
    }
    return PREP430(s, e, v, o.certificate.empty() ? s.YFECHA : o.certificate, false);
  }
  if (name == "depositos-cts") {
    if (!checkCtsDeposits(s)) return false;
    Table* banks = s.alias("Bancos");
    const std::string bank = o.bank.empty() ? banks->str("CODIGO") : o.bank;
    return REP431(s, bank, o.selector, false);
  }
  return false;
}

int reporteCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {"--codigo", "--moneda", "--banco", "--fecha-cert", "--pdf"}, a, err)) return 2;
  static const std::vector<std::string> kNames = {"libro", "pdt",  "aportes",       "netos",     "boleta-grati",
                                                  "grati", "cts", "depositos-cts", "vacaciones"};
  if (a.positional.size() != 1 || std::find(kNames.begin(), kNames.end(), a.positional[0]) == kNames.end() ||
      a.cia.empty()) {
    err << (a.positional.size() == 1 && !a.cia.empty() ? "planilla reporte: reporte desconocido: " + a.positional[0] + "\n"
                                                        : std::string())
        << kUsage;
    return 2;
  }
  const std::string name = a.positional[0];
  Options o;
  auto opt = [&](const char* k) { auto it = a.extra.find(k); return it == a.extra.end() ? std::string() : it->second; };
  o.code = padTo(ui::upper1252(opt("--codigo")), 10);
  if ((name == "boleta-grati" || name == "cts" || name == "vacaciones") && opt("--codigo").empty()) {
    err << "planilla reporte " << name << ": indique --codigo EMPLEADO\n" << kUsage;
    return 2;
  }
  const std::string moneda = ui::upper1252(opt("--moneda"));
  if (!moneda.empty() && moneda != "S" && moneda != "D") {
    err << "planilla reporte: --moneda S (soles) o D (dolares)\n";
    return 2;
  }
  o.selector = moneda == "D" ? 2 : 3;
  o.bank = ui::upper1252(opt("--banco"));
  if (const std::string f = opt("--fecha-cert"); !f.empty()) {
    bool ok = false;
    o.certificate = Date::fromOperatorDmy(f, &ok);
    if (!ok || o.certificate.empty()) {
      err << "Fecha No Valida: " << f << " (DD/MM/AAAA)\n";
      return 2;
    }
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "REPORTES"); rc != 0) return rc;
  Session& s = cs.session();
  if (!runReport(s, name, o)) return 1;
  const std::string rpv = catalog::joinPath(s.dataDir(), reports::kReportFile);
  out << rpv << "\n";
  const std::string pdf = opt("--pdf");
  return pdf.empty() ? 0 : renderPdf(rpv, pdf, "reporte", out, err);
}

CommandRegistration reporteRegistration(
    "reporte",
    "reporte NOMBRE --cia CC --fecha DD/MM/AAAA [--codigo EMP] [--moneda S|D] [--banco BANCO] [--fecha-cert "
    "DD/MM/AAAA] [--pdf SALIDA.pdf]   libro, pdt, aportes, netos, boleta-grati, grati, cts, depositos-cts, vacaciones",
    reporteCommand);

}  // namespace
}  // namespace planilla
