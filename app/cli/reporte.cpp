// `planilla reporte NOMBRE --cia CC --fecha DD/MM/AAAA [--codigo EMP] [--moneda S|D]
// [--banco BANCO] [--fecha-cert DD/MM/AAAA] [--ano AAAA] [--pdf SALIDA.pdf] [--clave CLAVE]`: any report
// of the reports menu, made as its screen makes it (the same checks, the same messages,
// on stderr), written to "Test.rpv" and, with --pdf, rendered. The viewer is not
// started. Exit 0 only when the report file was written. afp-anual also writes its
// spreadsheet into the data directory and prints its path.
#include <algorithm>
#include <optional>
#include <ostream>

#include "app/cli/render_pdf.h"
#include "app/cli_session.h"
#include "app/commands.h"
#ifdef PLANILLA_HAVE_EXPORTS
#include "exports/afp_year.h"
#endif
#include "reports/cts_reports.h"
#include "reports/payslip.h"
#include "reports/settlement_docs.h"
#include "reports/report_common.h"
#include "reports/rpv_writer.h"
#include "reports/summaries.h"
#include "reports/vacation_record.h"
#include "reports/year_reports.h"
#include "store/output_path.h"
#include "ui/picture.h"

namespace planilla {
namespace {

const char* kUsage =
    "uso: planilla reporte NOMBRE --cia CC --fecha DD/MM/AAAA [--codigo EMP] [--moneda S|D] [--banco BANCO]\n"
    "                      [--fecha-cert DD/MM/AAAA] [--pdf SALIDA.pdf] [--clave CLAVE]\n"
    "NOMBRE: libro, pdt, aportes, netos, boleta-grati (--codigo), grati, cts (--codigo),\n"
    "        depositos-cts (--moneda), vacaciones (--codigo),\n"
    "        costo-cc; del año (--ano AAAA, por defecto el de --fecha): quinta-anual, aportes-anual,\n"
    "        essalud-anual, afp-anual, certificado-quinta, retencion-aportes, comprobante-aportes (--codigo);\n"
    "        del cese (--codigo): liquidacion, certificado-trabajo, carta-cts\n";

struct Options {
  std::string code;           // --codigo as the dialog's field holds it (10, upper case)
  int selector = 3;           // --moneda: 3 soles, 2 dollars
  std::string bank;           // --banco (empty: the first bank, as the dialog opens)
  Date certificate;           // --fecha-cert (default: the working date)
  int year = 0;               // --ano (0: the working year)
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
// `written` receives the files a report makes besides the report file.
bool runReport(Session& s, const std::string& name, const Options& o, std::vector<std::string>* written) {
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
  const int year = o.year != 0 ? o.year : s.YFECHA.year();
  if (name == "quinta-anual") return PREP424(s, year, false);
  if (name == "aportes-anual") return PREP425(s, year, false);
  if (name == "essalud-anual") return PREPESSALUD(s, year, false);
  if (name == "certificado-quinta") return PREP419(s, year, o.code, false);
  if (name == "retencion-aportes") return PREP414(s, year, o.code, false);
  if (name == "comprobante-aportes") return PREP420(s, year, o.code, false);
#ifdef PLANILLA_HAVE_EXPORTS
  if (name == "afp-anual") return exports::runAfpYear(s, year, "", *written, false);
#else
  if (name == "afp-anual") {
    stopBox(s, "El Reporte AFP Anual No Es Parte De Esta Compilacion (Sin Hoja De Calculo)", "Mensaje");
    return false;
  }
#endif
  if (name == "costo-cc") return REPCOSTOCC(s, false);
  for (SettlementDoc d : {SettlementDoc::Settlement, SettlementDoc::Certificate, SettlementDoc::CtsLetter})
    if (name == settlementDocName(d)) return printSettlementDoc(s, d, o.code, false);
  if (name == "depositos-cts") {
    if (!checkCtsDeposits(s)) return false;
    Table* banks = s.alias("Bancos");
    const std::string bank = o.bank.empty() ? banks->str("CODIGO") : o.bank;
    // A bank the master does not hold would give an empty list that looks complete.
    if (bank.size() > 4 || !banks->seek(padTo(bank, 4))) {
      stopBox(s, "Banco " + bank + " No Existe En El Maestro De Bancos", "Mensaje");
      s.closeAll();
      return false;
    }
    return REP431(s, bank, o.selector, false);
  }
  return false;
}

int reporteCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {"--codigo", "--moneda", "--banco", "--fecha-cert", "--pdf", "--ano"}, a, err)) return 2;
  static const std::vector<std::string> kNames = {"libro", "pdt",  "aportes",       "netos",     "boleta-grati",
                                                  "grati", "cts", "depositos-cts", "vacaciones",
                                                  "quinta-anual", "aportes-anual", "essalud-anual",
                                                  "certificado-quinta", "retencion-aportes",
                                                  "comprobante-aportes", "afp-anual", "costo-cc",
                                                  "liquidacion", "certificado-trabajo", "carta-cts"};
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
  if ((name == "boleta-grati" || name == "cts" || name == "vacaciones" || name == "certificado-quinta" ||
       name == "retencion-aportes" || name == "comprobante-aportes" || name == "liquidacion" ||
       name == "certificado-trabajo" || name == "carta-cts") &&
      opt("--codigo").empty()) {
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
  if (const std::string y = opt("--ano"); !y.empty()) {
    o.year = y.size() == 4 && y.find_first_not_of("0123456789") == std::string::npos ? std::stoi(y) : 0;
    if (!reports::validYear(o.year)) {
      err << "planilla reporte: --ano AAAA (cuatro cifras)\n";
      return 2;
    }
  }
  const std::string pdf = opt("--pdf");
  if (Status st = pdf.empty() ? Status::ok() : checkOutputFile(pdf); !st) {
    err << "planilla reporte: " << st.message() << "\n";
    return 1;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "REPORTES"); rc != 0) return rc;
  Session& s = cs.session();
  std::vector<std::string> written;
  // With --pdf the report is rendered from a file of the command's own.
  std::optional<PrivateReport> own;
  if (!pdf.empty()) own.emplace(s);
  if (!runReport(s, name, o, &written)) return 1;
  const std::string rpv = catalog::joinPath(s.dataDir(), reports::kReportFile);
  out << rpv << "\n";
  for (const std::string& p : written) out << p << "\n";
  if (!own) return 0;
  const int rc = renderPdf(own->path(), pdf, "reporte", out, err);
  if (Status st = own->publish(); !st) {
    err << "planilla reporte: " << st.message() << "\n";
    return 1;
  }
  return rc;
}

CommandRegistration reporteRegistration(
    "reporte",
    "reporte NOMBRE --cia CC --fecha DD/MM/AAAA [--codigo EMP] [--moneda S|D] [--banco BANCO] [--fecha-cert "
    "DD/MM/AAAA] [--ano AAAA] [--pdf SALIDA.pdf]   libro, pdt, aportes, netos, boleta-grati, grati, cts, "
    "depositos-cts, "
    "vacaciones, costo-cc, quinta-anual, aportes-anual, essalud-anual, afp-anual, certificado-quinta, "
    "retencion-aportes, comprobante-aportes, liquidacion, certificado-trabajo, carta-cts",
    reporteCommand);

}  // namespace
}  // namespace planilla
