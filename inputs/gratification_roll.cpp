#include "inputs/gratification_roll.h"

#include "inputs/common.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "ui/messages.h"

namespace planilla::inputs {

namespace {

using namespace masters;

constexpr const char* kRollAlias = "Gratif";
constexpr const char* kMasterAlias = "Emplea";
constexpr const char* kInputTitle = "Error En Ingreso De Dato";

struct RollForm {
  std::string code = std::string(kCodeWidth, ' ');
  std::string name;
  double mes = 0, dia = 0, dscto = 0, desgrat = 0, dscley = 0;
  std::string indica = "S";
};

void rollDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  RollForm f;
  if (!add) {
    f.code = padTo(t.str("codigo"), kCodeWidth);
    f.name = trimRight(t.str("nombre"));
    f.mes = t.num("mes");
    f.dia = t.num("dia");
    f.dscto = t.num("dscto");
    f.desgrat = t.num("desgrat");
    f.dscley = t.num("dscley");
    f.indica = padTo(t.str("indica"), 1);
  }
  bool accepted = false;
  {
    ui::Dialog dlg(tk, add ? "EditGrati" : "ModiGrati", add ? "Adicionar Registro" : "Modificar Registro");
    dlg.setColors(ui::color::kBlack, ui::color::kScreen);
    for (int id : {101, 103, 105, 111, 113, 115, 117}) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    ui::Label& codeShown = dlg.label(551).text([&f] { return f.code; });
    if (add) {
      Table* master = s.alias(kMasterAlias);
      if (master) {
        // On the payroll when the half-year closes (those gone before are paid with
        // their settlement), in name order.
        const Date close = paidSemesterEnd(s);
        activeEmployeeCombo(dlg, 102, f.code, *master, close, close).valid([&] {
          if (!CODVACEMP(s, f.code, f.name)) return false;
          codeShown.refresh();
          return true;
        });
      }
    } else {
      dlg.label(552).text(f.name).colors(ui::color::kNavy, ui::color::kCyan);
    }
    dlg.field(104, ui::ref(f.mes)).picture("#");
    dlg.field(106, ui::ref(f.dia)).picture("##").valid([&] { return CODPROGRA(s, f.dia); });
    dlg.field(112, ui::ref(f.dscto)).picture("##,###.##").valid([&] { return IMPGRA(s, f.dscto); });
    dlg.field(114, ui::ref(f.desgrat)).picture("##,###.##").valid([&] { return IMPGRA(s, f.desgrat); });
    dlg.field(116, ui::ref(f.dscley)).picture("##,###.##").valid([&] { return IMPGRA(s, f.dscley); });
    dlg.field(118, ui::ref(f.indica)).picture("!").valid([&] { return INDICA01(s, f.indica); });
    saveCancelButtons(dlg, 301, accepted);
    dlg.activate();
  }
  if (!formAccepted(s, t, br, rec, accepted, f.code, "Codigo En Blanco")) return;
  // Checked again before the append: another station may have added the employee
  // while the dialog was open.
  if (add && !CODVACEMP(s, f.code, f.name)) return returnTo(t, br, rec);
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) {
    e.text("codigo", f.code)
        .text("nombre", f.name)
        .number("mes", f.mes)
        .number("dia", f.dia)
        .number("dscto", f.dscto)
        .number("desgrat", f.desgrat)
        .number("dscley", f.dscley)
        .text("indica", f.indica);
  });
}

}  // namespace

bool CODVACEMP(Session& s, std::string& code, std::string& name) {
  code = padTo(code, kCodeWidth);
  if (isBlank(code)) return true;
  Table* roll = s.alias(kRollAlias);
  if (roll && checkKey(*roll, code) != KeyCheck::Free) {
    ui::MSGSTOP(s.messages(), "Codigo " + code + " Existe");
    return false;
  }
  std::string found = employeeName(s, kMasterAlias, code);
  if (found.empty()) return false;
  name = found;
  return true;
}

bool CODPROGRA(Session& s, double days) {
  if (days >= 0 && days <= 29) return true;
  ui::MSGALERT(s.messages(), "Rango Fuera De Parametro", kInputTitle);
  return false;
}

bool IMPGRA(Session& s, double amount) {
  if (amount >= 0) return true;
  ui::MSGALERT(s.messages(), "Descuento Fuera De Rango  ", kInputTitle);
  return false;
}

bool INDICA01(Session& s, const std::string& indicator) {
  if (indicator == "S" || indicator == "N") return true;
  ui::MSGSTOP(s.messages(), "Error , Ingrese  [S=Si] o [N=No]", "Lea   El   Mensaje");
  return false;
}

void F_PFMR203(Session& s, ui::Toolkit& tk) {
  if (isBlank(s.YCIA) || isBlank(s.YANO) || isBlank(s.YMES))
    return ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar (cia)");
  if (s.YMES != "07" && s.YMES != "12")
    ui::MSGSTOP(s.messages(), "Recuerde Solo   JULIO-DICIEMBRE  , Opcion Ejecutable ");
  Table* t = openInputTables(s, {catalog::TableId::GratificationRoll, kRollAlias, kMasterAlias,
                                 "Maestro De Trabajadores  No Existe, (Crearlo) "});
  if (!t) return;
  runListScreen(
      s, tk, "Mante04", "Ingreso Rol De Gratificaciones" + s.MES_CIE, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        using A = ui::Browse::Align;
        br.headers({"Codigo", "Apellidos y Nombre", "Descuento", "DesGrat", "Ley 29351", "Indicativo"})
            .widths({70, 320, 80, 80, 80, 30})
            .aligns({A::Left, A::Left, A::Right, A::Right, A::Right, A::Left})
            .line([&tb] {
              return std::vector<std::string>{tb.str("codigo"),
                                              tb.str("nombre"),
                                              amount(tb, "dscto", "99,999.99"),
                                              amount(tb, "desgrat", "99,999.99"),
                                              amount(tb, "dscley", "99,999.99"),
                                              tb.str("indica")};
            });
      },
      [&](ui::Dialog&, ui::Browse& br) {
        return standardButtons([&](bool add) { add ? EDITGRATIE(s, tk, br, true) : MODIGRATIE(s, tk, br, false); },
                               [&] { DELBANCOS(s, tk, br); }, [&] { SEEKVACACE(s, tk, br); });
      });
}

void EDITGRATIE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { rollDialog(s, tk, br, add); }
void MODIGRATIE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { rollDialog(s, tk, br, add); }

}  // namespace planilla::inputs
