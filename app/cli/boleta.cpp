// `planilla boleta --cia CC --fecha DD/MM/AAAA --codigo EMP [--pdf OUT.pdf] [--clave CLAVE]`:
// the payslip of one employee for the month, as the "Boletas De Pagos" screen makes
// it: writes "Test.rpv" in the working directory and, with --pdf, renders it (from a
// file of its own, then left as "Test.rpv"). The screen's stop boxes are written to
// stderr. The viewer is not started.
#include <optional>
#include <ostream>

#include "app/cli_session.h"
#include "app/cli/render_pdf.h"
#include "app/commands.h"
#include "reports/payslip.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "store/output_path.h"
#include "ui/picture.h"

namespace planilla {
namespace {

int boletaCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {"--codigo", "--pdf"}, a, err)) return 2;
  auto codigo = a.extra.find("--codigo");
  if (a.cia.empty() || codigo == a.extra.end() || codigo->second.empty() || !a.positional.empty()) {
    err << "uso: planilla boleta --cia CC --fecha DD/MM/AAAA --codigo EMPLEADO [--pdf SALIDA.pdf] [--clave CLAVE]\n";
    return 2;
  }
  auto pdf = a.extra.find("--pdf");
  if (Status st = pdf == a.extra.end() ? Status::ok() : checkOutputFile(pdf->second); !st) {
    err << "planilla boleta: " << st.message() << "\n";
    return 1;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "REPORTES"); rc != 0) return rc;
  Session& s = cs.session();

  reports::PayslipValues values;
  if (!reports::checkPayslipPreconditions(s, values)) return 1;
  // The dialog's code field: ten characters, upper case.
  const std::string code = padTo(ui::upper1252(codigo->second), 10);
  std::string name, costCentre = "      ";
  if (!reports::CODPER(s, code, &name, &costCentre)) {
    s.closeAll();
    return 1;
  }
  // With --pdf the payslip is rendered from a file of the command's own.
  std::optional<PrivateReport> own;
  if (pdf != a.extra.end()) own.emplace(s);
  if (!reports::PREP401(s, code, values, costCentre, /*startViewer=*/false)) return 1;
  const std::string rpv = catalog::joinPath(s.dataDir(), reports::kReportFile);
  out << rpv << "\n";
  if (!own) return 0;
  const int rc = renderPdf(own->path(), pdf->second, "boleta", out, err);
  if (Status st = own->publish(); !st) {
    err << "planilla boleta: " << st.message() << "\n";
    return 1;
  }
  return rc;
}

CommandRegistration boletaRegistration(
    "boleta", "boleta --cia CC --fecha DD/MM/AAAA --codigo EMP [--pdf SALIDA.pdf]   boleta de pago de un trabajador",
    boletaCommand);

}  // namespace
}  // namespace planilla
