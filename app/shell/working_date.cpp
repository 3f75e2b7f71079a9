// The working-date dialog: company and working date of the session.
#include "app/shell/shell.h"
#include "session/startup.h"
#include "ui/dialogs.h"
#include "ui/text1252.h"

namespace planilla::shell {

namespace {
constexpr const char* kInstitutionsAlias = "xSeteoCia";
}

bool KYL202CIA(Session& s, ui::Toolkit& tk, int selector) {
  (void)selector;
  Table* t = s.alias(kInstitutionsAlias);
  if (!t) return false;
  (void)t->goTop();
  ui::LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro De Institucion)";
  o.headers = {"Codigo", "Descripcion"};
  o.widths = {80, 280};
  o.codeField = "COD_CIA";
  o.nameField = "NOM_CIA";
  o.searchWidth = 0;  // no input field: the list alone
  o.top = 2, o.left = 2, o.bottom = 30, o.right = 60;
  o.listRow = 1, o.listCol = 1, o.listWidth = 215, o.listHeight = 150;
  o.buttonRow = 10.7, o.selectCol = 7, o.cancelCol = 24;
  std::string code = s.YCIA;
  if (!ui::lookupList(tk, *t, o, &code)) return false;
  s.YCIA = code.substr(0, 2);
  return true;
}

void CONSULCIA(Session& s, ui::Toolkit& tk, int selector, ui::Dialog* dlg) {
  if (!KYL202CIA(s, tk, selector)) return;
  if (Table* t = s.alias(kInstitutionsAlias); t && !t->eof()) applyCompanyChoice(s, *t);
  if (!dlg) return;
  if (ui::Label* name = dlg->labelById(551)) name->refresh();
  if (ui::Field* code = dlg->fieldById(102)) {
    code->refresh();
    code->setFocus();
  }
}

bool F_I00001(Session& s, ui::Toolkit& tk, ui::MainWindow* owner) {
  if (!openInstitutions(s)) return false;

  bool accepted = false;
  ui::Dialog dlg(tk, "ELEGIRCIA", ui::utf8To1252("Elija Compañia"));
  dlg.setColors(ui::color::kBlack, ui::color::kFace);
  ui::Field& code = dlg.field(102, ui::ref(s.YCIA));
  ui::Label& name = dlg.label(551);
  code.picture("@!").colors(ui::color::kNavy, ui::color::kCyan).valid([&] {
    if (!CHEKCIA(s, s.YCIA)) return false;
    code.refresh();
    name.refresh();
    return true;
  });
  name.text([&s] { return s.YNOMBRE1; }).colors(ui::color::kNavy, ui::color::kSilver);
  // The lookup does not validate the code being typed.
  dlg.bitmapButton(300, "bitmap_41", [&] { CONSULCIA(s, tk, 1, &dlg); }).cancel().tooltip("Buscar");
  ui::Field& date = dlg.field(104, ui::ref(s.YFECHA));
  date.picture("@e").colors(ui::color::kNavy, ui::color::kCyan).valid([&] { return FECRETE(s, s.YFECHA); });
  dlg.bitmapButton(301, "check1.bmp", [&] {
       // The period comes from the date shown, even when its field was never left;
       // an empty date keeps the dialog open on that field.
       if (!FECRETE(s, s.YFECHA)) {
         date.setFocus();
         return;
       }
       accepted = true;
       dlg.end();
     }).defaultButton();
  dlg.bitmapButton(302, "exit1.bmp", [&] { dlg.end(); });
  dlg.activate({}, /*centered=*/false);

  if (!accepted) {
    s.closeAll();
    cancelWorkingDate(s);
    return false;
  }
  const bool ok = acceptWorkingDate(s);
  if (ok && owner) owner->setTitle(s.windowTitle);
  s.closeAll();
  return ok;
}

}  // namespace planilla::shell
