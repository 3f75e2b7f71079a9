#include "admin/institutions.h"

#include "admin/form.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "ui/messages.h"
#include "ui/text1252.h"

namespace planilla::admin {

namespace {

using namespace masters;

const char* kTitle = "Mensaje";

// The twelve fields of the edit dialog, as the template numbers them.
Form institutionForm(const Table& t) {
  return Form(t, {{102, "COD_CIA", "@!", "Ingrese Codigo"},
                  {104, "NOM_CIA", "@!", "Ingrese Descripcion"},
                  {106, "PATRO", "@!", ""},
                  {108, "RUC", "@!", ""},
                  {110, "DIREC", "@!", ""},
                  {112, "NOMBRES", "@!", ""},
                  {114, "CARGO", "@!", ""},
                  {116, "LINEANOM", "#####", "Valores Son  80  y/o  3750"},
                  {118, "LINEACAR", "#####", "Valores Son  810  y/o  4280"},
                  {120, "REPITE", "#####", "Valores Son  4750  y/o  4750"},
                  {122, "DNI", "@!", ""},
                  {124, "NOM_ABREV", "@!", ""}});
}

void institutionDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  Form form = institutionForm(t);
  // A record another station is changing is not shown blank (and then saved over): the
  // lock refusal has been said and the dialog does not open.
  uint32_t rec = 0;
  if (!form.start(s, t, add, &rec)) return;

  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EDITCIA", add ? "Adicionar Registro" : "Modificar Registro");
    for (int id = 101; id <= 123; id += 2) dlg.label(id).colors(ui::color::kNavy, ui::color::kScreen);
    form.bind(dlg, t, ui::color::kNavy, ui::color::kCyan);
    std::string& code = form.text("COD_CIA");
    form.control(dlg, "COD_CIA").valid([&] { return add ? CHEP021(s, t, code) : CHEP022(s, code); });
    dlg.bitmapButton(301, "save1.bmp", [&] {
      accepted = true;
      dlg.end();
    });
    dlg.bitmapButton(302, "exit1.bmp", [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  selectTable(s, t);
  const std::string& code = form.text("COD_CIA");
  auto fill = [&](RecordEdit& e) { form.fill(e); };
  if (!accepted) return returnTo(t, br, rec);
  if (isBlank(code)) {
    ui::MSGSTOP(s.messages(), "Campo En Blanco");
    return returnTo(t, br, rec);
  }
  if (add) return saveRecord(s, t, br, rec, true, fill);
  // A blank name saves nothing and says nothing.
  if (!isBlank(form.text("NOM_CIA"))) (void)changeRecord(s, t, rec, fill);
  returnTo(t, br, rec);
}

}  // namespace

void F_I00002(Session& s, ui::Toolkit& tk) {
  Table* t = openInstalled(s, catalog::TableId::Institutions, "Compania", "WARNING MAIN", "WARNING MAIN-2");
  if (!t) return;
  runMaintenanceScreen(
      s, tk, "MANTE02", ui::utf8To1252("Maestro De Compañia"), *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        br.headers({"COD", "N O M B R E", "R U C", "D I R E C C I O N"}).widths({50, 330, 90, 100}).line([&tb] {
          return std::vector<std::string>{tb.str("COD_CIA"), tb.str("NOM_CIA"), tb.str("RUC"), tb.str("DIREC")};
        });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) { BUILD0002(s, tk, dlg, br); });
}

void BUILD0002(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br) {
  buildBars(dlg, {
                     {"add.bmp", "Adiciona Registro", [&] { EDITCIA(s, tk, br, true); }},
                     {"modify.bmp", "Modifica Registro", [&] { MODICIA(s, tk, br, false); }},
                     {"buscar10.bmp", "Buscar Registro", [&] { SEEKCIA(s, tk, br); }},
                     {"borrar.bmp", "Elimina Registro", [&] { DELBANCOS(s, tk, br); }},
                 });
}

void EDITCIA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { institutionDialog(s, tk, br, add); }
void MODICIA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { institutionDialog(s, tk, br, add); }

bool CHEP021(Session& s, Table& t, const std::string& code) {
  switch (checkKey(t, code)) {
    case KeyCheck::Blank:
      ui::MSGSTOP(s.messages(), "Codigo En Blanco", kTitle);
      return false;
    case KeyCheck::Taken:
    case KeyCheck::Self:
      ui::MSGSTOP(s.messages(), "Cia " + code + " Existe", kTitle);
      return false;
    case KeyCheck::Free:
      break;
  }
  return true;
}

bool CHEP022(Session& s, const std::string& code) {
  if (!isBlank(code)) return true;
  ui::MSGSTOP(s.messages(), "Codigo En Blanco", kTitle);
  return false;
}

void SEEKCIA(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string typed;
  if (!askKey(tk, "Codigo ", 4, typed)) return;
  selectTable(s, t);
  if (keySearch(t, typed.substr(0, 2), 2)) {
    settle(br);
    return;
  }
  ui::MSGSTOP(s.messages(), "Codigo " + typed + " No Existe");
  settle(br);
}

}  // namespace planilla::admin
