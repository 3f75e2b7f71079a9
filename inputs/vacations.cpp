#include "inputs/vacations.h"

#include <cstdlib>

#include "inputs/common.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "ui/messages.h"

namespace planilla::inputs {

namespace {

using namespace masters;

bool inWorkingMonth(Session& s, const Date& d) {
  if (d.empty()) {
    ui::MSGSTOP(s.messages(), "Ingrese Fecha");
    return false;
  }
  // YMES is "00" on 1 January: no date is in that month.
  if (d.month() != std::atoi(s.YMES.c_str())) {
    ui::MSGSTOP(s.messages(), "Mes Debe ser Coincidente Con Mes del Cierre de la Planilla");
    return false;
  }
  return true;
}

// The days text of a stored record: two blanks for none, else two digits.
std::string daysText(double days) {
  const int n = static_cast<int>(days);
  if (n <= 0) return "  ";
  return n < 10 ? "0" + std::to_string(n) : std::to_string(n);
}

void vacationDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  EmployeeChoice c;
  Date first, last;
  VacationDays days;
  if (!add) {
    // A refused lock ends here: a blank dialog saved would wipe the period.
    bool read = readLocked(s, t, [&] {
      c.code = padTo(t.str("codigo"), kCodeWidth);
      c.name = trimRight(t.str("nombre"));
      first = t.date("inivaca");
      last = t.date("finvaca");
      days.difvac = t.num("difvac");
      days.text = daysText(t.num("diavac"));
    });
    if (!read) return;
  }
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditVacaE", add ? "Adicionar Registro" : "Modificar Registro");
    c.dlg = &dlg;
    dlg.setColors(ui::color::kBlack, ui::color::kScreen);
    for (int id : {101, 103, 105, 107}) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    ui::Field& code = dlg.field(102, ui::ref(c.code)).picture("@!").colors(ui::color::kNavy, ui::color::kCyan);
    code.valid([&] { return CODEMPPER(s, c); });
    dlg.label(551).text([&c] { return c.name; }).colors(ui::color::kNavy, ui::color::kSilver);
    dlg.image(301, "Buscar", [&] { CONSULTAEMPBANCOS(s, tk, c, 1); }).tooltip("Buscar");
    ui::Label& shown = dlg.label(108).text([&days] { return days.text; }).colors(ui::color::kNavy, ui::color::kSilver);
    dlg.field(104, ui::ref(first)).picture("@e").valid([&] { return CCAM01(s, first); });
    ui::Field& lastField = dlg.field(106, ui::ref(last)).picture("@e").valid([&] {
      if (!CCAM02(s, first, last, days)) return false;
      shown.refresh();
      return true;
    });
    saveCancelButtons(dlg, 201, accepted, [&] {
      // The days are worked out again from both dates as they stand now: a first day
      // changed after the last day was left would otherwise be saved with the old days.
      if (!isBlank(c.code) && !(CCAM01(s, first) && CCAM02(s, first, last, days))) {
        (void)lastField.setFocus();
        return false;
      }
      return true;
    });
    dlg.activate();
  }
  if (!formAccepted(s, t, br, rec, accepted, c.code, "Codigo En Blanco")) return;
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) {
    e.text("codigo", c.code)
        .text("nombre", c.name)
        .number("diavac", std::atoi(days.text.c_str()))
        .text("inivaca", first.dtos())
        .text("finvaca", last.dtos())
        .number("difvac", days.difvac);
    if (add) e.number("control", 1);
  });
}

}  // namespace

bool CCAM01(Session& s, const Date& first) { return inWorkingMonth(s, first); }

bool CCAM02(Session& s, const Date& first, const Date& last, VacationDays& days) {
  if (!inWorkingMonth(s, last)) return false;
  if (last.day() < first.day()) {
    ui::MSGSTOP(s.messages(), "Dia Debe ser Mayor/Igual a Dia de Inicio de Vacaciones");
    return false;
  }
  const int taken = last.day() - first.day() + 1;
  if (s.YMES == "02") days.difvac = taken > 27 ? 30 : taken;
  days.text = std::to_string(taken);
  return true;
}

void F_PFMR202(Session& s, ui::Toolkit& tk) {
  const char* kAsk = "Primero, Elija La Compania Con Que Va a Trabajar ";
  if (isBlank(s.YCIA)) return ui::MSGSTOP(s.messages(), std::string(kAsk) + "(cia)");
  if (isBlank(s.YANO)) return ui::MSGSTOP(s.messages(), std::string(kAsk) + "(a#o)");
  if (isBlank(s.YMES)) return ui::MSGSTOP(s.messages(), std::string(kAsk) + "(mes)");
  const char* noMaster = "Maestro De Trabajadores  No Existe, (Crearlo) ";
  if (!s.fileExists(s.def(catalog::TableId::EmployeeMaster).dbf())) return ui::MSGSTOP(s.messages(), noMaster);
  const catalog::TableDef active = s.def(catalog::TableId::ActiveEmployees);
  const char* noActive = "Maestro Empleados Activos No Existe";
  if (!s.fileExists(active.dbf())) return ui::MSGSTOP(s.messages(), noActive);
  Table* t = openInputTables(s, {catalog::TableId::VacationRoll, "Vacaci", kMasterHor, noMaster});
  if (!t) return;
  if (!openExisting(s, active, 4, noActive, "MaeAct")) return s.closeAll();
  s.select(1);
  runListScreen(
      s, tk, "Mante04", "Rol De Vacaciones " + s.MES_CIE, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        using A = ui::Browse::Align;
        br.headers({"CODIGO", "N O M B R E S", "INICIO VACACIONES", "FIN VACACIONES", "DIAS TOMADOS"})
            .widths({75, 320, 130, 130, 100})
            .aligns({A::Left, A::Left, A::Left, A::Left, A::Right})
            .line([&tb] {
              return std::vector<std::string>{tb.str("codigo"), tb.str("nombre"), tb.date("inivaca").dmy(),
                                              tb.date("finvaca").dmy(),
                                              std::to_string(static_cast<int>(tb.num("diavac")))};
            });
      },
      [&](ui::Dialog&, ui::Browse& br) {
        return standardButtons([&](bool add) { add ? EDITVACACE(s, tk, br, true) : MODIVACACE(s, tk, br, false); },
                               [&] { DELBANCOS(s, tk, br); }, [&] { SEEKVACACE(s, tk, br); });
      });
}

void EDITVACACE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { vacationDialog(s, tk, br, add); }
void MODIVACACE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { vacationDialog(s, tk, br, add); }

}  // namespace planilla::inputs
