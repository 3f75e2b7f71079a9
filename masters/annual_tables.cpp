#include "masters/annual_tables.h"

#include "masters/maintenance.h"
#include "session/startup.h"
#include "session/tables.h"
#include "store/value.h"
#include "ui/dialogs.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::masters {

namespace {

using catalog::TableId;

const char* kTitle = "Mensaje";
const char* kTableAlias = "Haberes";
const char* kMasterAlias = "HorEmplea";
constexpr size_t kCodeWidth = 10;
constexpr int kCodeField = 102, kNameDisplay = 551, kLookupImage = 301, kTotalField = 128;
constexpr int kEmployeeLookup = 3;

const AnnualTable& variant(TableId id) {
  for (const auto& v : annualTables()) {
    if (v.id == id) return v;
  }
  return annualTables().front();  // not reached: every id below is in the list
}

const AnnualTable& earningsOrWithholdings(int selector) {
  return variant(selector == 1 ? TableId::Earnings : TableId::Deductions);
}

Table* table(Session& s, const char* alias) { return s.alias(alias); }

// The employee's name by code from the general master (code order); empty when the
// code is not there. The master keeps its position.
bool findEmployee(Session& s, const std::string& code, std::string& name) {
  Table* m = table(s, kMasterAlias);
  if (!m) return false;
  const uint32_t rec = m->recno();
  const int order = m->order();
  (void)m->setOrder(1);
  bool found = !isBlank(code) && m->seek(padTo(code, kCodeWidth));
  if (found) name = trimRight(m->str("nombre"));
  (void)m->setOrder(order);
  backTo(*m, rec);
  return found;
}

bool checkEmployeeCode(Session& s, const std::string& code, uint32_t editing, std::string& name) {
  if (!findEmployee(s, code, name)) {
    ui::MSGSTOP(s.messages(), "Codigo Empleado  " + code + " No Existe", kTitle);
    return false;
  }
  Table* t = table(s, kTableAlias);
  if (t && checkKey(*t, padTo(code, kCodeWidth), editing) == KeyCheck::Taken) {
    ui::MSGSTOP(s.messages(), "Dato  Existe", kTitle);
    return false;
  }
  return true;
}

// The add and modify dialog of every variant: the code with its lookup and the
// employee's name, then the groups of month amounts (and the total when the table
// keeps one).
void amountDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, const AnnualTable& v, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  std::string code(kCodeWidth, ' ');
  std::string name;
  std::vector<std::vector<double>> amounts(v.groups.size(), std::vector<double>(12, 0.0));
  double total = 0;
  if (!add) {
    bool read = readLocked(s, t, [&] {
      code = padTo(t.str("codigo"), kCodeWidth);
      for (size_t g = 0; g < v.groups.size(); ++g) {
        for (size_t m = 0; m < 12; ++m) amounts[g][m] = t.num(v.groups[g].fields[m]);
      }
      if (v.savesTotal) total = t.num("tot");
    });
    if (!read) return;
    (void)findEmployee(s, code, name);
  }
  auto monthSum = [&] {
    double sum = 0;
    for (double a : amounts[0]) sum += a;
    return round2(sum);
  };
  bool accepted = false;
  {
    ui::Dialog dlg(tk, v.form, add ? "Adicionar Registro" : "Modificar Registro");
    if (v.navyLabels) {
      for (ui::Control* c : dlg.controls()) {
        if (c->inTemplate() && c->templateClass() == ui::ControlClass::Label && c->id() != kNameDisplay)
          c->setColors(ui::color::kNavy, ui::color::kScreen);
      }
    }
    ui::Field& fc = dlg.field(kCodeField, ui::ref(code)).picture("@!").tooltip("Ingrese Codigo");
    ui::Label& shown = dlg.label(kNameDisplay).text([&] { return name; }).colors(ui::color::kNavy, ui::color::kSilver);
    fc.valid([&] {
      bool ok = add ? CODEMP01HABER(s, code, name) : CODEMP02HABER(s, code, rec, name);
      shown.refresh();
      return ok;
    });
    dlg.image(kLookupImage, "Buscar", [&] {
      if (!CONSULTAHABBANCOS(s, tk, kEmployeeLookup, code, name)) return;
      fc.refresh();
      shown.refresh();
      (void)fc.setFocus();
    });
    ui::Field* totalField = nullptr;
    for (size_t g = 0; g < v.groups.size(); ++g) {
      for (size_t m = 0; m < 12; ++m) {
        ui::Field& f = dlg.field(v.groups[g].firstControl + 2 * static_cast<int>(m), ui::ref(amounts[g][m]))
                           .picture("###,###.##")
                           .tooltip("Registre Dato");
        if (v.savesTotal && g == 0) {
          // The total shown follows the months as they are typed: it is what will be saved.
          f.valid([&] {
            total = monthSum();
            if (totalField) totalField->refresh();
            return true;
          });
        }
      }
    }
    if (v.savesTotal) {
      totalField = &dlg.field(kTotalField, ui::ref(total)).picture("#,###,###.##").tooltip("Registre Dato");
    }
    dlg.bitmapButton(309, "save1.bmp", [&] {
      accepted = true;
      dlg.end();
    });
    dlg.bitmapButton(310, "exit1.bmp", [&dlg] { dlg.end(); }).cancel();
    dlg.activate();
  }
  selectTable(s, t);
  if (!accepted) return returnTo(t, br, rec);
  if (isBlank(code)) {
    ui::MSGSTOP(s.messages(), "Codigo En Blanco", kTitle);
    return returnTo(t, br, rec);
  }
  // Checked again just before writing: another station may have added this employee's
  // row (or removed the employee) while the dialog was open.
  if (!checkEmployeeCode(s, code, add ? 0 : rec, name)) return returnTo(t, br, rec);
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) {
    e.text("codigo", code);
    for (size_t g = 0; g < v.groups.size(); ++g) {
      for (size_t m = 0; m < 12; ++m) e.number(v.groups[g].fields[m], amounts[g][m]);
    }
    if (v.savesTotal) e.number("tot", monthSum());  // whatever was typed into the total
  });
}

void annualScreen(Session& s, ui::Toolkit& tk, const AnnualTable& v, int selector) {
  if (!requireCompany(s, true)) return;
  const catalog::TableDef master = s.def(TableId::EmployeeMaster);
  const char* noMaster = "Maestro De Trabajadores  No Existe Crearlo";
  if (!s.fileExists(master.dbf())) {
    ui::MSGSTOP(s.messages(), noMaster, kTitle);
    return;
  }
  Table* t = openMaintenanceTable(s, s.def(v.id), kTableAlias);
  if (!t) return;
  if (!openExisting(s, master, 2, noMaster, kMasterAlias)) {
    s.closeAll();
    return;
  }
  s.select(1);
  runMaintenanceScreen(
      s, tk, "Mante06", v.title, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        std::vector<std::string> headers = {"CODIGO",  "ENERO",     "FEBRERO", "MARZO",     "ABRIL",
                                            "MAYO",    "JUNIO",     "JULIO",   "AGOSTO",    "SETIEMBRE",
                                            "OCTUBRE", "NOVIEMBRE", "DICIEMBRE", "TOTAL"};
        std::vector<int> widths(14, 70);
        widths.front() = 50;
        widths.back() = 100;
        std::vector<ui::Browse::Align> aligns(14, ui::Browse::Align::Right);
        aligns.front() = ui::Browse::Align::Left;
        br.headers(headers).widths(widths).aligns(aligns).line([&tb] {
          std::vector<std::string> cols = {tb.str("codigo")};
          for (const auto& f : monthFields("")) cols.push_back(ui::transform(tb.num(f), "999,999.99"));
          cols.push_back(ui::transform(tb.num("tot"), "999,999.99"));
          return cols;
        });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) {
        auto edit = [&](bool add) {
          switch (v.id) {
            case TableId::Health: return add ? EDITSALUD(s, tk, br, true) : MODISALUD(s, tk, br, false);
            case TableId::PrePayroll: return add ? EDITPLANI(s, tk, br, true) : MODIPLANI(s, tk, br, false);
            default: return add ? EDITHABER(s, tk, br, true, selector) : MODIHABER(s, tk, br, false, selector);
          }
        };
        dlg.bitmapButton(102, "adic16", [edit] { edit(true); }).tooltip("Adiciona Registro de Haberes");
        dlg.bitmapButton(103, "edit", [edit] { edit(false); }).tooltip("Modifica Registro de Haberes");
        dlg.bitmapButton(104, "del", [&] { DELBANCOS(s, tk, br); }).tooltip("Elimina Registro de Haberes");
        dlg.bitmapButton(105, "search", [&] { SEEKHABER(s, tk, br); }).tooltip("Busca Registro de Haberes");
        dlg.bitmapButton(168, "salir0", [&dlg] { dlg.end(); }).tooltip("Salir");
      });
}

}  // namespace

std::vector<std::string> monthFields(const std::string& suffix, bool numbered) {
  static const char* const kMonths[12] = {"ene", "feb", "mar", "abr", "may", "jun",
                                          "jul", "ago", "seti", "oct", "nov", "dic"};
  std::vector<std::string> out;
  for (int m = 0; m < 12; ++m) {
    std::string f = kMonths[m];
    if (numbered) {
      f += static_cast<char>('0' + (m + 1) / 10);
      f += static_cast<char>('0' + (m + 1) % 10);
    } else {
      f += suffix;
    }
    out.push_back(f);
  }
  return out;
}

const std::vector<AnnualTable>& annualTables() {
  static const std::vector<AnnualTable> k = {
      {"F_PJLG20", "Tabla Antes De &Planilla", TableId::PrePayroll, "Tabla Antes de Planilla", "EditPlani",
       {{monthFields(""), 104},
        {monthFields("snp"), 132},
        {monthFields("ap1"), 156},
        {monthFields("ap2"), 180},
        {monthFields("ap3"), 204}},
       false, false},
      {"F_PJLG21(1)", "Tabla De &Haberes", TableId::Earnings, "Tabla De Haberes", "EditHaber",
       {{monthFields(""), 104}}, true, true},
      {"F_PJLG21(2)", "Tabla De &Retenciones", TableId::Deductions, "Tabla De Retenciones", "EditRete",
       {{monthFields(""), 104}}, true, true},
      {"F_PJLG19", "Tabla De &Aportes", TableId::Health, "Tabla Aportes  EsSalud y Retenciones Quinta Categoria",
       "EditSalud", {{monthFields(""), 104}, {monthFields("", true), 142}}, false, true},
  };
  return k;
}

void F_PJLG21(Session& s, ui::Toolkit& tk, int selector) {
  annualScreen(s, tk, earningsOrWithholdings(selector), selector);
}
void F_PJLG19(Session& s, ui::Toolkit& tk) { annualScreen(s, tk, variant(TableId::Health), 0); }
void F_PJLG20(Session& s, ui::Toolkit& tk) { annualScreen(s, tk, variant(TableId::PrePayroll), 0); }

void EDITHABER(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add, int selector) {
  amountDialog(s, tk, br, earningsOrWithholdings(selector), add);
}
void MODIHABER(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add, int selector) {
  amountDialog(s, tk, br, earningsOrWithholdings(selector), add);
}
void EDITSALUD(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  amountDialog(s, tk, br, variant(TableId::Health), add);
}
void MODISALUD(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  amountDialog(s, tk, br, variant(TableId::Health), add);
}
void EDITPLANI(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  amountDialog(s, tk, br, variant(TableId::PrePayroll), add);
}
void MODIPLANI(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  amountDialog(s, tk, br, variant(TableId::PrePayroll), add);
}

bool CODEMP01HABER(Session& s, const std::string& code, std::string& name) {
  return checkEmployeeCode(s, code, 0, name);
}

bool CODEMP02HABER(Session& s, const std::string& code, uint32_t recno, std::string& name) {
  return checkEmployeeCode(s, code, recno, name);
}

bool KYLHABAYU(Session& s, ui::Toolkit& tk, int number) {
  if (number != kEmployeeLookup) return false;
  Table* m = table(s, kMasterAlias);
  if (!m) return false;
  (void)m->setOrder(2);  // name order
  (void)m->goTop();
  ui::LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro De Empleados)";
  return ui::lookupList(tk, *m, o, nullptr) && onRecord(*m);
}

bool CONSULTAHABBANCOS(Session& s, ui::Toolkit& tk, int number, std::string& code, std::string& name) {
  if (!KYLHABAYU(s, tk, number)) return false;
  Table* m = table(s, kMasterAlias);
  code = padTo(m->str("codigo"), kCodeWidth);
  name = trimRight(m->str("nombre"));
  return true;
}

void SEEKHABER(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string code;
  if (!askKey(tk, "Codigo ", static_cast<int>(kCodeWidth), code, "@!")) return;
  selectTable(s, t);
  if (!keySearch(t, code, static_cast<int>(kCodeWidth)))
    ui::MSGSTOP(s.messages(), "Codigo Empleado  " + code + " No Existe", kTitle);
  settle(br);
}

}  // namespace planilla::masters
