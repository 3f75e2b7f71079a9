#include "inputs/income_entries.h"

#include <array>

#include "inputs/common.h"
#include "inputs/sheet_import.h"
#include "masters/employees.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "store/value.h"
#include "ui/messages.h"

namespace planilla::inputs {

namespace {

using namespace masters;

// The amounts of the form in the order of its fields 104, 106, ... 130, with their
// pictures.
struct Amount {
  const char* field;
  const char* picture;
};
constexpr std::array<Amount, 14> kAmounts = {{
    {"simple", "###.##"},     {"doble", "###.##"},      {"refrige", "##,###.##"}, {"diastra", "##,###.##"},
    {"produc", "##,###.##"},  {"movili", "##,###.##"},  {"utili", "##,###.##"},   {"cts", "##,###.##"},
    {"subsid", "##,###.##"},  {"adelanto", "##,###.##"}, {"otrosegr", "##,###.##"}, {"tardan", "##,###.##"},
    {"retjud", "##,###.##"},  {"cuosin", "##,###.##"},
}};
constexpr int kFirstAmount = 104;
constexpr int kJudicial = 128;

// One entry per employee and month: the payroll run reads the first entry a seek by
// code finds, so a second one would be kept and never paid. False after the message
// (which says what to do instead) when another record holds `code`; `editing` is the
// record being modified (0 when adding).
bool codeFree(Session& s, Table& t, const std::string& code, uint32_t editing) {
  if (isBlank(code) || checkKey(t, code, editing) != KeyCheck::Taken) return true;
  ui::MSGSTOP(s.messages(), "Codigo " + code + " Ya Tiene Ingresos Este Mes, Use Modificar En Su Registro");
  return false;
}

void entryDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  EmployeeChoice c;
  std::array<double, kAmounts.size()> v{};
  double sumini = 0;
  if (!add) {
    // A refused lock ends here (LAN_REG said why): a dialog started blank would
    // write zeros over the other station's entry when saved.
    bool read = readLocked(s, t, [&] {
      c.code = padTo(t.str("codigo"), kCodeWidth);
      c.name = trimRight(t.str("nombre"));
      for (size_t i = 0; i < kAmounts.size(); ++i) v[i] = t.num(kAmounts[i].field);
      sumini = t.num("sumini");
    });
    if (!read) return;
  }
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditHoraE", add ? "Adicionar Registro" : "Modificar Registro");
    c.dlg = &dlg;
    dlg.setColors(ui::color::kBlack, ui::color::kScreen);
    for (ui::Control* k : dlg.controls()) {
      if (k->inTemplate() && k->templateClass() == ui::ControlClass::Label && k->id() != 551)
        k->setColors(ui::color::kBlue, ui::color::kScreen);
    }
    dlg.field(102, ui::ref(c.code)).picture("@!").colors(ui::color::kNavy, ui::color::kCyan).valid([&] {
      return CODEMPPER(s, c) && codeFree(s, t, c.code, add ? 0 : rec);
    });
    dlg.label(551).text([&c] { return c.name; }).colors(ui::color::kNavy, ui::color::kSilver);
    dlg.image(301, "Buscar", [&] { CONSULTAEMPBANCOS(s, tk, c, 1); }).tooltip("Buscar");
    for (size_t i = 0; i < kAmounts.size(); ++i) {
      const int id = kFirstAmount + 2 * static_cast<int>(i);
      ui::Field& f = dlg.field(id, ui::ref(v[i])).picture(kAmounts[i].picture).column(t, kAmounts[i].field);
      if (id == kJudicial) f.tooltip("Importe Inafecto (cuestion monetaria)");
    }
    saveCancelButtons(dlg, 201, accepted);
    dlg.activate();
  }
  if (!formAccepted(s, t, br, rec, accepted, c.code, "Codigo  En Blanco")) return;
  // Checked again before the write: another station may have entered the employee
  // while the form was open.
  if (!codeFree(s, t, c.code, add ? 0 : rec)) return returnTo(t, br, rec);
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) {
    e.text("codigo", c.code).text("nombre", c.name);
    for (size_t i = 0; i < kAmounts.size(); ++i) e.number(kAmounts[i].field, v[i]);
    e.number("sumini", add ? 0 : sumini);
  });
}

}  // namespace

void F_PFMR201(Session& s, ui::Toolkit& tk) {
  if (isBlank(s.YCIA) || isBlank(s.YANO) || isBlank(s.YMES)) {
    ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar", "Mensaje");
    return;
  }
  Table* t = openInputTables(s, {catalog::TableId::IncomeEntries, "HorMovExt", kMasterHor,
                                 "Maestro De Trabajadores  No Existe, (Crearlo)"});
  if (!t) return;
  // An import cut short by a kill is undone before anyone sees its half.
  if (Status st = recoverIncomeImport(s, *t); !st) ui::MSGSTOP(s.messages(), st.message(), "Mensaje");
  runListScreen(
      s, tk, "Mante04I", "Ingreso De Datos Mensual " + s.MES_CIE, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        using A = ui::Browse::Align;
        br.headers({"CODIGO", "N O M B R E", "HOR/SIMPLE", "REFRIGERIO", "MOVILIDAD", "DIAS/TRAB", "BONO/PRODUC",
                    "ADELANTO", "PRESTAMO", "CUO/SIND"})
            .widths({60, 250, 80, 80, 80, 80, 80, 80, 80, 80})
            .aligns({A::Left, A::Left, A::Right, A::Right, A::Right, A::Right, A::Right, A::Right, A::Right, A::Right})
            .line([&tb] {
              return std::vector<std::string>{
                  tb.str("codigo"),  tb.str("nombre"),
                  amount(tb, "simple", "####.##"), amount(tb, "refrige", "#,###.##"),
                  amount(tb, "movili", "#,###.##"), amount(tb, "diastra", "#,###.##"),
                  amount(tb, "produc", "#,###.##"), amount(tb, "adelanto", "#,###.##"),
                  amount(tb, "otrosegr", "#,###.##"), amount(tb, "cuosin", "#,###.##")};
            });
      },
      [&](ui::Dialog&, ui::Browse& br) {
        auto buttons =
            standardButtons([&](bool add) { add ? EDITHORASE(s, tk, br, true) : MODIHORASE(s, tk, br, false); },
                            [&] { DELBANCOS(s, tk, br); }, [&] { SEEKVACACE(s, tk, br); },
                            [&] { printIncomeEntries(s, br); });
        buttons.push_back({108, "folder", "Importar Desde Hoja De Calculo", [&] { IMPORTHOR(s, tk, br); }});
        return buttons;
      });
}

void EDITHORASE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { entryDialog(s, tk, br, add); }
void MODIHORASE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { entryDialog(s, tk, br, add); }

}  // namespace planilla::inputs
