// "Liquidacion De Beneficios Sociales" (F_LIQBEN, menu "&Procesos"): the employee (code
// and lookup), the termination date, the reason from SUNAT's table and, for pay in
// dollars or euros, the exchange rate; "&Calcular" shows every amount with its period
// and formula, "&Grabar" saves it (and the termination date into the master), "Marcar
// &Pagada" closes it for good; the three documents print from the saved settlement.
#include "reports/settlement_screen.h"

#include "calc/settlement_store.h"
#include "reports/payslip.h"
#include "reports/payslip_screen.h"
#include "reports/report_common.h"
#include "reports/report_format.h"
#include "reports/settlement_docs.h"
#include "ui/dialogs.h"
#include "ui/text1252.h"

namespace planilla::reports {

namespace {

const char* kTitle = "Mensaje";

std::string fit(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

std::string money(double v) { return amount(v, kPicWide); }
std::string trimLeft(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b);
}

}  // namespace

std::string settlementSummary(const calc::SettlementCase& c) {
  const calc::Settlement& x = c.result;
  std::string out;
  auto line = [&](const std::string& l) { out += l + "\n"; };
  line(fit("Remuneracion computable", 44) + money(x.rc) + "   (basico " + money(x.rcBasic) + ")");
  line(fit("  + asignacion familiar / regulares", 44) + money(x.rcAsigna) + money(x.rcRegular));
  line(fit("  para la CTS (+ 1/6 gratificacion)", 44) + money(x.rcCts));
  line("Tiempo de servicios: " + std::to_string(x.service.years) + " a " + std::to_string(x.service.months) + " m " +
       std::to_string(x.service.days) + " d (meses de 30 dias)");
  line("");
  for (const calc::SettlementLine& l : calc::settlementLines(x)) {
    const std::string period = l.from.empty() || l.to < l.from ? std::string() : l.from.dmy() + "-" + l.to.dmy();
    line(fit(l.name, 44) + fit(period, 22) + money(l.amount));
    line("     " + l.formula);
  }
  line(fit("TOTAL BENEFICIOS", 66) + money(x.gross));
  if (trimRight(c.emp.codafp).empty())
    line(fit("ONP sobre " + trimLeft(money(x.affected)), 66) + money(x.onp));
  else
    line(fit("AFP aporte + prima + comision", 66) + money(x.afpAporte + x.afpPrima + x.afpComision));
  line(fit("Renta de quinta categoria", 66) + money(x.tax));
  line(fit("NETO A PAGAR", 66) + money(x.net));
  line(calc::amountInWords(x.net));
  line("EsSalud del empleador (informativo): " + trimLeft(money(x.essalud)) + "   Plazo de pago: " +
       x.deadline.dmy());
  return out;
}

void F_LIQBEN(Session& s, ui::Toolkit& tk) {
  if (!companyChosen(s, kTitle)) return;
  const catalog::TableDef master = s.def(catalog::TableId::EmployeeMaster);
  if (!tableExists(s, master)) {
    stopBox(s, "Maestro De Empleados No Existe", kTitle);
    return;
  }
  // The lookup and the code check read the master as RepEmplea; shared, since the
  // settlement reads and writes it too.
  auto openMaster = [&] { return openAs(s, master, "RepEmplea", OpenMode::Shared) != nullptr; };
  if (!openMaster()) return;

  EmployeeChoice who;
  Date cese, paid;
  std::string reason = "  ", tc = std::string(6, ' ');
  std::vector<std::string> items, values;
  for (const auto& r : calc::endReasons()) {
    items.push_back(std::string(r.code) + " " + r.name);
    values.push_back(r.code);
  }
  calc::SettlementCase current;
  bool computed = false;
  std::string shown;

  ui::Dialog dlg(tk, "LiqBen01", ui::utf8To1252("Liquidación De Beneficios Sociales"));
  dlg.setColors(ui::color::kBlack, ui::color::kFace);
  ui::Label& amounts = dlg.label(552).text([&] { return shown; }).colors(ui::color::kNavy, ui::color::kWhite);
  amounts.font("Monospace", 0, 9);
  auto forget = [&] {
    computed = false;
    shown.clear();
    amounts.refresh();
  };
  employeeControls(dlg, s, tk, who, [&] {
    forget();
    return CODPER(s, who.code, &who.name, &who.costCentre);
  });
  for (int id : {103, 105, 107, 109}) dlg.label(id).colors(ui::color::kBlue, ui::color::kFace);
  dlg.field(104, ui::ref(cese)).picture("@e").colors(ui::color::kNavy, ui::color::kCyan).valid([&] {
    forget();
    return true;
  });
  ui::Combo& motive = dlg.combo(106, ui::ref(reason), items);
  (void)motive;
  dlg.field(108, ui::ref(tc)).picture("@!").colors(ui::color::kNavy, ui::color::kCyan);
  dlg.field(110, ui::ref(paid)).picture("@e").colors(ui::color::kNavy, ui::color::kCyan);

  dlg.button(201, [&] {
       forget();
       if (!calc::prepareSettlement(s, who.code, cese, reason.substr(0, 2), tc, &current)) return;
       computed = true;
       shown = settlementSummary(current);
       amounts.refresh();
     }).defaultButton();
  dlg.button(202, [&] {
    if (!computed) {
      stopBox(s, "Primero Calcule La Liquidacion", kTitle);
      return;
    }
    if (calc::saveSettlement(s, current))
      ui::MSGINFO(s.messages(), "Liquidacion Grabada; Fecha De Cese Registrada En El Maestro", kTitle);
  });
  dlg.button(203, [&] {
    if (paid.empty()) {
      stopBox(s, "Ingrese La Fecha De Pago", kTitle);
      return;
    }
    if (!ui::MSGNOYES(s.messages(), "Una Liquidacion Pagada Ya No Se Puede Modificar. Marca Como Pagada ?", kTitle))
      return;
    if (calc::markSettlementPaid(s, who.code, paid)) ui::MSGINFO(s.messages(), "Liquidacion Marcada Como Pagada", kTitle);
  });
  auto print = [&](SettlementDoc d) {
    printSettlementDoc(s, d, who.code, true);
    // The writer closes every table: the lookup needs the master again.
    if (!openMaster()) dlg.end();
  };
  dlg.button(204, [&] { print(SettlementDoc::Settlement); });
  dlg.button(205, [&] { print(SettlementDoc::Certificate); });
  dlg.button(206, [&] { print(SettlementDoc::CtsLetter); });
  dlg.button(207, [&] { dlg.end(); });
  dlg.activate();
  s.closeAll();
}

}  // namespace planilla::reports
