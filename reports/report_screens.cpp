#include "reports/report_screens.h"

#include "reports/cts_reports.h"
#include "reports/payslip.h"
#include "reports/payslip_screen.h"
#include "reports/report_common.h"
#include "reports/settlement_screen.h"
#include "reports/summaries.h"
#include "reports/vacation_record.h"
#include "reports/year_reports.h"
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

bool askYear(Session& s, ui::Toolkit& tk, const std::string& title, int& year) {
  if (!companyChosen(s, "Mensaje")) return false;
  std::string text = s.ANO_CIE;
  text.resize(4, ' ');
  if (!ui::MSGGET(tk, title, "A\xF1o ", text, "", "9999")) return false;
  const bool digits = text.find_first_not_of("0123456789") == std::string::npos;
  year = digits ? std::stoi(text) : 0;
  if (validYear(year)) return true;
  ui::MSGSTOP(s.messages(), "A\xF1o No Valido", "Mensaje");
  return false;
}

void F_P424(Session& s, ui::Toolkit& tk) {
  int year = 0;
  if (askYear(s, tk, "Resumen Retencion de Quinta Categoria", year)) PREP424(s, year);
}

void F_P425(Session& s, ui::Toolkit& tk) {
  int year = 0;
  if (askYear(s, tk, "Resumen Aportes Previsionales Anual", year)) PREP425(s, year);
}

void F_PESSALUD(Session& s, ui::Toolkit& tk) {
  int year = 0;
  if (askYear(s, tk, "Liquidacion Anual Aportes EsSalud", year)) PREPESSALUD(s, year);
}

namespace {

// A one-employee document of a year: the year, then the employee dialog whose
// "&Imprimir" runs `writer`.
void yearEmployeeScreen(Session& s, ui::Toolkit& tk, const std::string& title,
                        bool (*writer)(Session&, int, const std::string&, bool)) {
  int year = 0;
  if (!askYear(s, tk, title, year)) return;
  if (!tableExists(s, catalog::TableId::EmployeeMaster)) {
    stopBox(s, "Maestro De Empleados No Existe", "Mensaje");
    return;
  }
  if (!openAs(s, catalog::TableId::EmployeeMaster, "RepEmplea")) return;
  EmployeeChoice c;
  employeeDialog(s, tk, title, c, [&] { writer(s, year, c.code, true); });
}

}  // namespace

void F_P419(Session& s, ui::Toolkit& tk) { yearEmployeeScreen(s, tk, "Certificado Quinta Categoria", PREP419); }
void F_P414(Session& s, ui::Toolkit& tk) { yearEmployeeScreen(s, tk, "Resumen Retencion x Aportes", PREP414); }
void F_P420(Session& s, ui::Toolkit& tk) { yearEmployeeScreen(s, tk, "Comprobante Retencion x Aportes", PREP420); }

void F_PCOSTOCC(Session& s, ui::Toolkit& tk) {
  if (!companyChosen(s, "Mensaje")) return;
  periodDialog(s, tk, "Costo de Planilla Mensual x Centro de Costo", [&] { REPCOSTOCC(s); });
}

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
  if (f == "F_LIQBEN") return Fn(F_LIQBEN);
  if (f == "F_P431(3)") return [](Session& s, ui::Toolkit& tk) { F_P431(s, tk, 3); };
  if (f == "F_P431(2)") return [](Session& s, ui::Toolkit& tk) { F_P431(s, tk, 2); };
  if (f == "F_P429") return Fn(F_P429);
  if (f == "F_P424") return Fn(F_P424);
  if (f == "F_P425") return Fn(F_P425);
  if (f == "F_PESSALUD") return Fn(F_PESSALUD);
  if (f == "F_P419") return Fn(F_P419);
  if (f == "F_P414") return Fn(F_P414);
  if (f == "F_P420") return Fn(F_P420);
  if (f == "F_PCOSTOCC") return Fn(F_PCOSTOCC);
  return {};
}

}  // namespace planilla::reports
