#include "admin/parameters.h"

#include "admin/form.h"
#include "masters/maintenance.h"
#include "session/app_info.h"
#include "session/tables.h"
#include "ui/messages.h"

namespace planilla::admin {

namespace {

using namespace masters;

const char* kTitle = "Mensaje";

void parameterDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  // campo05 is not edited and stays blank.
  Form form(t, {{102, "codigo", "@!", ""},
                {104, "campo01", "@!", ""},
                {106, "campo02", "@!", ""},
                {108, "campo03", "@!", ""},
                {110, "campo04", "@!", ""}});
  uint32_t rec = 0;
  if (!form.start(s, t, add, &rec)) return;

  bool saved = false;
  {
    ui::Dialog dlg(tk, "EDITPARA1", add ? "Adicionar Registro" : "Modificar Registro");
    for (int id : {101, 103, 105, 107, 109}) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    form.bind(dlg, t, ui::color::kNavy, ui::color::kCyan);
    dlg.button(301, [&] {
      saved = true;
      dlg.end();
    });
    dlg.button(302, [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  selectTable(s, t);
  if (saved && isBlank(form.text("codigo"))) {
    ui::MSGSTOP(s.messages(), "Campo En Blanco", kTitle);
  } else if (saved) {
    return saveRecord(s, t, br, rec, add, [&](RecordEdit& e) { form.fill(e); });
  }
  returnTo(t, br, rec);
}

}  // namespace

void F_VJLG99(Session& s, ui::Toolkit& tk) {
  const catalog::TableDef def = s.def(catalog::TableId::AccountingParams);
  // First use: the table with its index, made whole under a temporary name.
  const Status made = catalog::ensureTable(s.fs(), s.dataDir(), def);
  if (made.code() == ErrorCode::InUse) {
    ui::MSGSTOP(s.messages(), "Apertura Denegada El Archivo Esta Bloqueado", kTitle);
    return;
  }
  if (!made) {
    showTableError(s, made);
    return;
  }
  Table* t = openExisting(s, def, 1, "Tabla Parametros No Existe", "TCambio");
  if (!t) return;
  (void)t->goTop();
  runMaintenanceScreen(
      s, tk, "MANTE02", "Maestro De Parametros", *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        br.headers({"SubDiario", "Parametro1", "Parametro2", "Parametro3", "Parametro4"})
            .widths({60, 100, 100, 100, 100})
            .line([&tb] {
              return std::vector<std::string>{tb.str("codigo"), tb.str("campo01"), tb.str("campo02"),
                                              tb.str("campo03"), tb.str("campo04")};
            });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) { BUIL01PARA01(s, tk, dlg, br); });
}

void BUIL01PARA01(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br) {
  dlg.messageBar(kMakerBanner);
  dlg.barButton("add", "Adiciona Registro", [&] { EDITPAR1(s, tk, br, true); }, 30, true);
  dlg.barButton("edit", "Modifica Registro", [&] { MODIPAR2(s, tk, br, false); }, 30, true);
  dlg.barButton("search", "Buscar Registro", [&] { SEEKBUSCAR(s, tk, br); }, 30, true);
  dlg.barButton("del", "Elimina Registro", [&] { DELBANCOS(s, tk, br); }, 30, true);
  dlg.barButton("salir", "Salir", [&dlg] { dlg.end(); }, 30);
}

void EDITPAR1(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { parameterDialog(s, tk, br, add); }
void MODIPAR2(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { parameterDialog(s, tk, br, add); }

void SEEKBUSCAR(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string code;
  if (!askKey(tk, "Codigo", 4, code)) return;
  selectTable(s, t);
  if (!keySearch(t, code, 4)) ui::MSGSTOP(s.messages(), "Codigo " + code + " No Existe", kTitle);
  settle(br);
}

}  // namespace planilla::admin
