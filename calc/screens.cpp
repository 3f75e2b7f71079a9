// The calculation screens: the exchange rate of the run, then PROCE01 (monthly
// payroll) or PROCE05 (gratification).
#include <functional>

#include "calc/screens.h"
#include "session/tables.h"
#include "calc/run_stamps.h"
#include "calc/runs.h"
#include "ui/dialogs.h"

namespace planilla::calc {

namespace {

constexpr const char* kRatesAlias = "TipCam";
constexpr int kRatesArea = 11;

// F_P301 and F_P305 differ only in their title and their run.
// `mayRun` is asked before the run starts (false: the screen ends, nothing run).
void calculationScreen(Session& s, ui::Toolkit& tk, const char* title,
                       const std::function<bool(Session&, const std::string&)>& run,
                       const std::function<bool(Session&)>& mayRun = {}) {
  const catalog::TableDef def = s.def(catalog::TableId::ExchangeRates);
  if (!s.fileExists(def.dbf())) {
    ui::MSGSTOP(s.messages(), "Maestro Tipo De Cambio No Existe  ");
    return;
  }
  s.select(kRatesArea);
  auto opened = s.open(kRatesArea, def, std::nullopt, kRatesAlias);
  if (!opened) {
    showTableError(s, opened.status());
    s.closeAll();
    return;
  }

  RateChoice c;
  ui::Dialog dlg(tk, "Calcu01", title);
  dlg.setColors(ui::color::kBlack, ui::color::kFace);
  dlg.label(101).colors(ui::color::kBlue, ui::color::kFace);
  ui::Field& code = dlg.field(102, ui::ref(c.code));
  ui::Label& rate = dlg.label(551);
  code.picture("@!").colors(ui::color::kNavy, ui::color::kCyan).valid([&] {
    if (!XTIPCAM(s, c)) return false;
    code.refresh();  // "1231" shows as the code it stands for, "12 31"
    rate.refresh();
    return true;
  });
  rate.text([&c] { return c.display(); }).colors(ui::color::kNavy, ui::color::kSilver);
  dlg.image(301, "Buscar", [&] { CONSULTACAMBANCOS(s, tk, c, 4, &dlg); }).tooltip("Buscar");
  dlg.button(201, [&] {
       // Only a code that exists starts the run: the run empties the month's results
       // before it looks the rate up.
       if (!XTIPCAM(s, c)) {
         code.setFocus();
         return;
       }
       if (!mayRun || mayRun(s)) run(s, c.code);
       dlg.end();
     }).defaultButton();
  dlg.button(202, [&] { dlg.end(); });
  dlg.activate();
  s.closeAll();
}

}  // namespace

std::string rateCodeAsTyped(std::string_view typed) {
  // The exchange-rate records are keyed "MM DD": "1231", "12/31" and "12-31" are
  // taken as "12 31", so the clerk need not know where the blank goes.
  std::string digits;
  for (char ch : typed) {
    if (ch >= '0' && ch <= '9') digits += ch;
    else if (ch != ' ' && ch != '/' && ch != '-') return std::string(typed);
  }
  if (digits.size() != 4) return std::string(typed);
  return digits.substr(0, 2) + " " + digits.substr(2);
}

bool XTIPCAM(Session& s, RateChoice& c) {
  c.code = padTo(rateCodeAsTyped(c.code), 6);
  Table* t = s.alias(kRatesAlias);
  if (t) s.select(s.areaOf(kRatesAlias));
  if (t && t->seek(c.code)) {
    c.dollar = t->str("CODCAM");
    return true;
  }
  ui::MSGSTOP(s.messages(), "Tipo De Cambio  " + c.code + " No Existe");
  return false;
}

bool KYLCAMAYU(Session& s, ui::Toolkit& tk, RateChoice& c, int selector) {
  if (selector != 4) return false;
  Table* t = s.alias(kRatesAlias);
  if (!t) return false;
  (void)t->goTop();
  ui::LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro Tipo De Cambio)";
  o.headers = {"Codigo", "T-C Dolar"};
  o.widths = {90, 170};
  o.codeField = "CODIGO";
  o.nameField = "CODCAM";
  o.searchWidth = 14;
  o.top = 2, o.left = 2, o.bottom = 19, o.right = 65;
  // A list tall enough to read ten rows at once (the common 60 units show four).
  o.listHeight = 150;
  std::string code = c.code;
  if (!ui::lookupList(tk, *t, o, &code)) return false;
  c.code = padTo(code, 6);
  return true;
}

void CONSULTACAMBANCOS(Session& s, ui::Toolkit& tk, RateChoice& c, int selector, ui::Dialog* dlg) {
  if (selector != 4) return;
  if (!KYLCAMAYU(s, tk, c, selector)) return;
  Table* t = s.alias(kRatesAlias);
  if (!t || t->eof()) return;
  c.code = padTo(t->str("CODIGO"), 6);
  c.dollar = t->str("CODCAM");
  c.euro = t->str("CODCAME");
  if (!dlg) return;
  if (ui::Label* l = dlg->labelById(551)) l->refresh();
  if (ui::Field* f = dlg->fieldById(102)) {
    f->refresh();
    f->setFocus();
  }
}

void F_P301(Session& s, ui::Toolkit& tk) {
  calculationScreen(s, tk, "Calculo De Planilla", calc::PROCE01, askBeforePayroll);
}

void F_P305(Session& s, ui::Toolkit& tk) { calculationScreen(s, tk, "Calculo De Gratificacion", calc::PROCE05); }

}  // namespace planilla::calc
