#include "inputs/common.h"

#include "masters/employees.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "store/value.h"
#include "ui/dialogs.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::inputs {

using masters::isBlank;
using masters::trimRight;

void EmployeeChoice::refresh() const {
  if (!dlg) return;
  if (ui::Label* l = dlg->labelById(551)) l->refresh();
  if (ui::Field* f = dlg->fieldById(102)) f->refresh();
}

bool CODEMPPER(Session& s, EmployeeChoice& c) {
  c.code = padTo(c.code, kCodeWidth);
  if (isBlank(c.code)) {
    c.name.clear();
    c.refresh();
    return true;
  }
  Table* m = s.alias(c.masterAlias);
  if (m) {
    s.select(c.masterAlias);
    (void)m->setOrder(1);
    if (m->seek(c.code)) {
      c.name = trimRight(m->str("nombre"));
      c.refresh();
      return true;
    }
  }
  ui::MSGALERT(s.messages(), "Codigo Empleado  " + c.code + " No Existe", "Error En Ingreso De Dato");
  return false;
}

bool KYLEMPAYU(Session& s, ui::Toolkit& tk, EmployeeChoice& c, int selector) {
  if (selector != 1) return false;
  Table* m = s.alias(c.masterAlias);
  if (!m) return false;
  (void)m->setOrder(2);  // by name
  (void)m->goTop();
  ui::LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro De Empleados)";
  o.headers = {"CODIGO", "NOMBRES APELLIDOS"};
  o.widths = {90, 220};
  o.listHeight = 150;  // ten rows at once: the common 60 units show four
  auto [from, to] = c.from.empty() ? workingMonth(s) : std::make_pair(c.from, c.to);
  o.filter = [m, from, to] { return masters::activeBetween(*m, from, to); };
  std::string chosen = c.code;
  if (!ui::lookupList(tk, *m, o, &chosen) || !masters::onRecord(*m)) return false;
  c.code = padTo(m->str("codigo"), kCodeWidth);
  return true;
}

void CONSULTAEMPBANCOS(Session& s, ui::Toolkit& tk, EmployeeChoice& c, int selector) {
  if (!KYLEMPAYU(s, tk, c, selector)) return;
  Table* m = s.alias(c.masterAlias);
  c.code = padTo(m->str("codigo"), kCodeWidth);
  c.name = trimRight(m->str("nombre"));
  c.refresh();
  if (c.dlg)
    if (ui::Field* f = c.dlg->fieldById(102)) (void)f->setFocus();
}

std::pair<Date, Date> workingMonth(const Session& s) {
  const Date d = s.YFECHA;
  if (d.empty()) return {};
  Date first(d.year(), d.month(), 1);
  Date last(d.year(), d.month(), 28);
  while (Date(d.year(), d.month(), last.day() + 1).valid()) last = Date(d.year(), d.month(), last.day() + 1);
  return {first, last};
}

Date paidSemesterEnd(const Session& s) {
  const Date d = s.YFECHA;
  if (d.empty()) return {};
  switch (d.month()) {
    case 7: return Date(d.year(), 6, 30);
    case 12: return Date(d.year(), 12, 31);
    case 5: return Date(d.year(), 4, 30);
    case 11: return Date(d.year(), 10, 31);
    default: return workingMonth(s).second;
  }
}

ui::Combo& activeEmployeeCombo(ui::Dialog& dlg, int id, std::string& code, Table& master, const Date& from,
                               const Date& to) {
  const int order = master.order();
  (void)master.setOrder(2);  // by name
  ui::Combo& c = dlg.tableCombo(id, ui::ref(code), master, "CODIGO", "NOMBRE",
                                [&master, from, to] { return masters::activeBetween(master, from, to); });
  (void)master.setOrder(order);
  return c;
}

void SEEKVACACE(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string code;
  if (!masters::askKey(tk, "Codigo ", static_cast<int>(kCodeWidth), code, "@!")) return;
  masters::selectTable(s, t);
  if (!keySearch(t, code, static_cast<int>(kCodeWidth))) ui::MSGSTOP(s.messages(), "Codigo " + code + " No Existe");
  masters::settle(br);
}

std::string employeeName(Session& s, const std::string& alias, const std::string& code) {
  Table* m = s.alias(alias);
  if (!m || isBlank(code)) return std::string();
  const uint32_t rec = m->recno();
  const int order = m->order();
  (void)m->setOrder(1);
  std::string name;
  if (m->seek(padTo(code, kCodeWidth))) name = trimRight(m->str("nombre"));
  (void)m->setOrder(order);
  masters::backTo(*m, rec);
  return name;
}

Table* openInputTables(Session& s, const ScreenTables& t) {
  const catalog::TableDef master = s.def(catalog::TableId::EmployeeMaster);
  if (!s.fileExists(master.dbf())) {
    if (t.noMasterStop)
      ui::MSGSTOP(s.messages(), t.noMaster);
    else
      ui::MSGSTOP(s.messages(), t.noMaster, "Mensaje");
    return nullptr;
  }
  const catalog::TableDef own = s.def(t.own);
  if (!t.create && !s.fileExists(own.dbf())) {
    ui::MSGSTOP(s.messages(), t.missing);
    return nullptr;
  }
  if (!openExisting(s, master, 2, t.noMaster, t.masterAlias)) {
    s.closeAll();
    return nullptr;
  }
  Table* table = t.create ? openOwnTable(s, own, 1, t.alias) : openExisting(s, own, 1, t.missing, t.alias);
  if (!table) {
    s.closeAll();
    return nullptr;
  }
  s.select(1);
  (void)table->goTop();
  return table;
}

std::vector<ScreenButton> standardButtons(const std::function<void(bool add)>& edit,
                                          const std::function<void()>& remove,
                                          const std::function<void()>& search,
                                          const std::function<void()>& print) {
  std::vector<ScreenButton> b = {
      {102, "edit", "Adiciona Registro de Empleado", [edit] { edit(true); }},
      {103, "edit", "Modifica Registro de Empleado", [edit] { edit(false); }},
      {104, "del", "Elimina Registro de Empleado", remove},
      {105, "search", "Busca Registro de Empleado", search},
  };
  if (print) b.push_back({106, "printer", "Impresion Registro de Empleado", print});
  b.push_back({107, "salir0", "Salir", {}});
  return b;
}

void runListScreen(Session& s, ui::Toolkit& tk, const std::string& templateName, const std::string& title,
                   Table& table, const std::function<void(ui::Browse&)>& columns,
                   const std::function<std::vector<ScreenButton>(ui::Dialog&, ui::Browse&)>& buttons,
                   const std::string& messageBar) {
  // Every list of this folder is a list of amounts: its right-aligned columns are
  // added up on the totals line unless the screen chose the columns itself.
  auto withTotals = [&columns](ui::Browse& br) {
    if (columns) columns(br);
    if (br.hasTotals()) return;
    std::vector<int> amounts;
    for (size_t c = 0; c < br.columnCount(); ++c) {
      if (br.align(c) == ui::Browse::Align::Right) amounts.push_back(static_cast<int>(c));
    }
    br.totals(amounts);
  };
  masters::runMaintenanceScreen(s, tk, templateName, title, table, withTotals, [&](ui::Dialog& dlg, ui::Browse& br) {
    if (!messageBar.empty()) dlg.messageBar(messageBar);
    std::vector<ScreenButton> list = buttons(dlg, br);
    // A template button the screen has no action for is shown disabled.
    for (int id = 102; id <= 107; ++id) {
      bool bound = false;
      for (const auto& b : list) bound = bound || b.id == id;
      if (dlg.control(id) && !bound) dlg.button(id, [] {}).enable(false);
    }
    for (auto& b : list) {
      std::function<void()> action = b.action;
      if (!action) action = [&dlg] { dlg.end(); };
      ui::Button& btn = dlg.bitmapButton(b.id, b.image, action).tooltip(b.tooltip);
      if (b.id == 103) br.onDoubleClick([&btn] { (void)btn.press(); });
    }
  });
}

void saveCancelButtons(ui::Dialog& dlg, int saveId, bool& accepted, const std::function<bool()>& check) {
  dlg.bitmapButton(saveId, "SAVE32.BMP", [&dlg, &accepted, check] {
    if (check && !check()) return;
    accepted = true;
    dlg.end();
  });
  dlg.bitmapButton(saveId + 1, "exit1.bmp", [&dlg] { dlg.end(); }).cancel();
  dlg.askDiscard();
}

bool formAccepted(Session& s, Table& t, ui::Browse& br, uint32_t rec, bool accepted, const std::string& code,
                  const char* blankMessage) {
  masters::selectTable(s, t);
  if (accepted && isBlank(code)) ui::MSGSTOP(s.messages(), blankMessage);
  if (accepted && !isBlank(code)) return true;
  masters::returnTo(t, br, rec);
  return false;
}

void printEmployees(Session& s, const std::string& alias) {
  Table* m = s.alias(alias);
  if (!m) return;
  const uint32_t rec = m->recno();
  const int order = m->order();
  (void)m->setOrder(1);
  (void)m->goTop();
  masters::IMPREMPLEA(s, *m);
  (void)m->setOrder(order);
  masters::backTo(*m, rec);
}

std::string amount(Table& t, const char* field, const char* picture) { return ui::transform(t.num(field), picture); }

}  // namespace planilla::inputs
