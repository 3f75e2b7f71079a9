#include "reports/report_screens.h"

#include "reports/cts_reports.h"
#include "reports/payslip.h"
#include "reports/payslip_screen.h"
#include "reports/report_common.h"
#include "reports/summaries.h"
#include "reports/vacation_record.h"
#include "ui/dialogs.h"
#include "ui/messages.h"

namespace planilla::reports {

namespace {

// The period dialog Repor402: "&Imprimir" runs the writer and closes.
void periodDialog(Session& s, ui::Toolkit& tk, const std::string& title, const std::function<void()>& print) {
  ui::Dialog dlg(tk, "Repor402", title);
  dlg.setColors(ui::color::kBlack, ui::color::kFace);
  dlg.button(301, [&] {
       print();
       dlg.end();
     }).defaultButton();
  dlg.button(302, [&] { dlg.end(); });
  dlg.activate();
  s.closeAll();
}

}  // namespace

void F_P406(Session& s, ui::Toolkit& tk) {
  std::string ruc;
  if (!checkPayrollBook(s, ruc)) return;
  periodDialog(s, tk, "Resumen De Planilla", [&] { PREP406(s, ruc); });
}

void F_XXP404(Session& s, ui::Toolkit& tk) {
  periodDialog(s, tk, "Resumen PDT-Sunat", [&] { REPXXP404(s); });
}

void F_XXP405(Session& s, ui::Toolkit& tk) {
  if (!checkPensionSummary(s)) return;
  periodDialog(s, tk, "Resumen Aportes Previsionales", [&] { REPXXP405(s); });
}

void F_P426(Session& s, ui::Toolkit& tk, int selector) {
  if (!checkNetPay(s)) return;
  periodDialog(s, tk, "Relacion De Pagos Mensual", [&] { PREP426(s, selector); });
}

void F_P402(Session& s, ui::Toolkit& tk) {
  std::string ruc;
  if (!checkGratiBook(s, ruc)) return;
  periodDialog(s, tk, "Resumen Planilla Gratificacion", [&] { PREP402(s, ruc); });
}

void F_P403(Session& s, ui::Toolkit& tk) {
  PayslipValues values;
  if (!checkGratiSlipPreconditions(s, values)) return;
  EmployeeChoice c;
  employeeDialog(s, tk, "Reporte Boletas De Gratificaciones", c,
                 [&] { PREP403(s, c.code, c.name, values, c.costCentre); });
}

void F_P429(Session& s, ui::Toolkit& tk) {
  if (!checkVacationRecord(s)) return;
  EmployeeChoice c;
  employeeDialog(s, tk, "Reporte Record Vacacional", c, [&] { PREP429(s, c.code, c.name); });
}

void F_P430(Session& s, ui::Toolkit& tk) {
  CtsCertificateValues values;
  if (!checkCtsCertificate(s, values)) return;
  EmployeeChoice c;
  CtsEmployee e;
  Date certificate;
  const auto needDate = [&] {
    if (!certificate.empty()) return true;
    ui::MSGSTOP(s.messages(), "Ingrese Fecha Del Certificado", "Mensaje");
    return false;
  };
  ui::Dialog dlg(tk, "RepP430", "Liquidacion Deposito Semestral CTS");
  dlg.setColors(ui::color::kBlack, ui::color::kFace);
  employeeControls(dlg, s, tk, c, [&] {
    if (!CODPERQUINTA(s, c.code, e)) return false;
    c.name = e.name;
    return true;
  });
  dlg.label(103);
  dlg.field(104, ui::ref(certificate)).picture("@e").colors(ui::color::kNavy, ui::color::kSilver).valid(needDate);
  dlg.bitmapButton(355, "check1.bmp", [&] {
       // The account and bank come with the code's validation; a code chosen in the
       // lookup is validated here as well. An empty date is refused as in its field.
       if (!CODPERQUINTA(s, c.code, e) || !needDate()) return;
       PREP430(s, e, values, certificate);
       dlg.end();
     }).defaultButton();
  dlg.bitmapButton(356, "exit1.bmp", [&] { dlg.end(); });
  dlg.activate();
  s.closeAll();
}

void F_P431(Session& s, ui::Toolkit& tk, int selector) {
  if (!checkCtsDeposits(s)) return;
  Table* banks = s.alias("Bancos");
  std::string bank = banks->str("CODIGO");  // the first bank, chosen until another is
  ui::Dialog dlg(tk, "RepP431", "Relacion Depositos CTS");
  dlg.setColors(ui::color::kBlack, ui::color::kFace);
  dlg.label(101);
  dlg.tableCombo(102, ui::ref(bank), *banks, "CODIGO", "NOMBRE");
  dlg.button(109, [&] {
       REP431(s, bank, selector);
       dlg.end();
     }).defaultButton();
  dlg.button(110, [&] { dlg.end(); });
  dlg.activate();
  s.closeAll();
}

std::function<void(Session&, ui::Toolkit&)> findReportScreen(const std::string& f) {
  using Fn = std::function<void(Session&, ui::Toolkit&)>;
  if (f == "F_P406") return Fn(F_P406);
  if (f == "F_XXP404") return Fn(F_XXP404);
  if (f == "F_XXP405") return Fn(F_XXP405);
  if (f == "F_P426(3)") return [](Session& s, ui::Toolkit& tk) { F_P426(s, tk, 3); };
  if (f == "F_P403") return Fn(F_P403);
  if (f == "F_P402") return Fn(F_P402);
  if (f == "F_P430") return Fn(F_P430);
  if (f == "F_P431(3)") return [](Session& s, ui::Toolkit& tk) { F_P431(s, tk, 3); };
  if (f == "F_P431(2)") return [](Session& s, ui::Toolkit& tk) { F_P431(s, tk, 2); };
  if (f == "F_P429") return Fn(F_P429);
  return {};
}

}  // namespace planilla::reports
