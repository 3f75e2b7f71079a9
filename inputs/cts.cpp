#include "inputs/cts.h"

#include <cstdlib>

#include "inputs/common.h"
#include "masters/employees.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "ui/messages.h"

namespace planilla::inputs {

namespace {

using namespace masters;

constexpr const char* kCtsAlias = "DataCts";
constexpr const char* kMasterAlias = "Emplea";

// Loads the pay data of `f.code` from the general master; false when it is not there.
bool loadPay(Session& s, CtsForm& f) {
  Table* m = s.alias(kMasterAlias);
  if (!m) return false;
  const uint32_t rec = m->recno();
  const int order = m->order();
  (void)m->setOrder(1);
  const bool found = m->seek(padTo(f.code, kCodeWidth));
  if (found) {
    f.code = padTo(m->str("codigo"), kCodeWidth);
    f.name = trimRight(m->str("nombre"));
    f.bas_men = m->num("bas_men");
    f.asigna = m->num("asigna");
    f.fech_ing = m->date("fech_ing");
    f.dolar = padTo(m->str("dolar"), 1);
    f.banco = padTo(m->str("banco"), 4);
  }
  (void)m->setOrder(order);
  backTo(*m, rec);
  return found;
}

// The four-digit year of the working date: the two digits of YANO alone cannot tell
// 1999 from 2099. A session that set only the period texts falls back on them.
int workingYear(const Session& s) {
  if (s.ANO_CIE.size() == 4) return std::atoi(s.ANO_CIE.c_str());
  if (!s.YFECHA.empty()) return s.YFECHA.year();
  return 2000 + std::atoi(s.YANO.c_str());
}

void ctsDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  CtsForm f;
  if (!add) {
    f.code = padTo(t.str("codigo"), kCodeWidth);
    f.name = trimRight(t.str("nombre"));
    f.bas_men = t.num("bas_men");
    f.asigna = t.num("asigna");
    f.fech_ing = t.date("fech_ing");
    f.grati16 = t.num("grati16");
    f.dolar = padTo(t.str("dolar"), 1);
    f.moneda = padTo(t.str("moneda"), 1);
    f.banco = padTo(t.str("banco"), 4);
    f.depante = t.num("depante");
  }
  bool accepted = false;
  {
    ui::Dialog dlg(tk, add ? "EditCts" : "ModiCts", add ? "Adicionar Registro" : "Modificar Registro");
    dlg.setColors(ui::color::kBlack, ui::color::kScreen);
    for (int id : {101, 103, 105, 107}) dlg.label(id).colors(ui::color::kNavy, ui::color::kScreen);
    ui::Label& codeShown = dlg.label(551).text([&f] { return f.code; });
    if (add) {
      if (Table* master = s.alias(kMasterAlias)) {
        // On the payroll when the half-year closes (those gone before are paid with
        // their settlement), in name order.
        const Date close = paidSemesterEnd(s);
        activeEmployeeCombo(dlg, 102, f.code, *master, close, close).valid([&] {
          if (!CODCTSEMP(s, f)) return false;
          codeShown.refresh();
          return true;
        });
      }
    } else {
      dlg.label(552).text(f.name).colors(ui::color::kNavy, ui::color::kCyan);
    }
    dlg.field(104, ui::ref(f.grati16)).picture("###,###.##").valid([&] { return COD02CTS(s, f, add ? 1 : 2); });
    ui::Field& currency = dlg.field(106, ui::ref(f.moneda)).picture("@!").valid([&] { return CODEURO(s, f.moneda); });
    dlg.field(108, ui::ref(f.depante)).picture("###,###.##");
    saveCancelButtons(dlg, 301, accepted, [&] {
      // The deposits list groups by this currency: a record never leaves without one.
      if (!isBlank(f.code) && !CODEURO(s, f.moneda)) {
        (void)currency.setFocus();
        return false;
      }
      return true;
    });
    dlg.activate();
  }
  if (!formAccepted(s, t, br, rec, accepted, f.code, "Codigo  En Blanco")) return;
  if (add) {
    // Checked again before the append: another station may have added the employee.
    if (checkKey(t, f.code) != KeyCheck::Free) {
      ui::MSGSTOP(s.messages(), "Codigo " + f.code + " Existe");
      return returnTo(t, br, rec);
    }
  }
  const double recompu = round2(f.bas_men + f.asigna + f.grati16);
  const CtsDeposit d = ctsDeposit({recompu, f.fech_ing, std::atoi(s.YMES.c_str()), workingYear(s)});
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) {
    if (add) e.text("codigo", f.code).text("nombre", f.name);
    e.number("bas_men", f.bas_men)
        .number("asigna", f.asigna)
        .text("fech_ing", f.fech_ing.dtos())
        .number("grati16", f.grati16)
        .text("dolar", f.dolar)
        .text("moneda", f.moneda)
        .number("recompu", recompu)
        .text("banco", f.banco)
        .number("depante", f.depante)
        .number("meses", d.meses)
        .number("dias1", d.dias1)
        .number("dias2", d.dias2)
        .number("calculo", d.calculo);
  });
}

}  // namespace

CtsDeposit ctsDeposit(const CtsInput& in) {
  CtsDeposit out;
  const Date& e = in.entry;
  const double r12 = round2(in.recompu / 12);
  const int d = e.day();
  const int rest = 30 - d + 1;
  // The days of a partial first month; a 31st leaves none.
  const double days = rest > 0 ? round2(r12 / 30 * rest) : 0;
  if (e.year() < in.workYear) {
    out.meses = 6;
    if (in.workYear - e.year() == 1 && in.workMonth == 5 && (e.month() == 11 || e.month() == 12)) {
      // Entry in November or December of the half-year that starts in November.
      const int whole = e.month() == 11 ? 6 : 5;
      if (d == 1) {
        out.meses = whole;
        out.dias1 = 1;
      } else {
        out.meses = whole - 1;
        out.dias1 = d;
        out.dias2 = days;
      }
    }
    out.calculo = round2(r12 * out.meses + out.dias2);
    return out;
  }
  const int n = in.workMonth - e.month();
  if (e.year() > in.workYear || n <= 0) return out;  // not employed in the half-year
  out.meses = n > 6 ? 6 : (d == 1 ? n : n - 1);
  out.dias1 = d;
  out.dias2 = days;
  out.calculo = round2(d != 1 && out.meses <= 5 ? r12 * out.meses + out.dias2 : r12 * out.meses);
  return out;
}

bool CODCTSEMP(Session& s, CtsForm& f) {
  f.code = padTo(f.code, kCodeWidth);
  if (isBlank(f.code)) return true;
  Table* t = s.alias(kCtsAlias);
  if (t && checkKey(*t, f.code) != KeyCheck::Free) {
    ui::MSGSTOP(s.messages(), "Codigo " + f.code + " Existe");
    return false;
  }
  return loadPay(s, f);
}

bool COD02CTS(Session& s, CtsForm& f, int mode) {
  if (f.grati16 < 0) {
    ui::MSGSTOP(s.messages(), "Rango Fuera De Parametro");
    return false;
  }
  if (mode == 2) (void)loadPay(s, f);
  return true;
}

void F_CTS(Session& s, ui::Toolkit& tk) {
  if (isBlank(s.YCIA) || isBlank(s.YANO) || isBlank(s.YMES))
    return ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Mensaje");
  if (s.YMES != "05" && s.YMES != "11") return ui::MSGSTOP(s.messages(), "Error , No Es Periodo de  CTS");
  const catalog::TableId id = s.YMES == "05" ? catalog::TableId::CtsMay : catalog::TableId::CtsNovember;
  ScreenTables tables{id, kCtsAlias, kMasterAlias, "Maestro De Trabajadores  No Existe Crearlo"};
  tables.noMasterStop = false;
  Table* t = openInputTables(s, tables);
  if (!t) return;
  runListScreen(
      s, tk, "Mante04", "Ingreso Relacion Semestral De CTS  " + s.MES_CIE, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        using A = ui::Browse::Align;
        br.headers({"Codigo", "Apellidos y Nombre", "Remuneracion", "Asig.Fam.", "1/6 Gratificac.", "Fec/Ingreso", "Mes",
                    "Calculo"})
            .widths({70, 300, 90, 60, 80, 70, 30, 80})
            .aligns({A::Left, A::Left, A::Right, A::Right, A::Right, A::Left, A::Right, A::Right})
            .totals({2, 3, 4, 7})  // the amounts; months are not added up
            .line([&tb] {
              return std::vector<std::string>{tb.str("codigo"),
                                              tb.str("nombre"),
                                              amount(tb, "bas_men", "999,999.99"),
                                              amount(tb, "asigna", "999,999.99"),
                                              amount(tb, "grati16", "999,999.99"),
                                              tb.date("fech_ing").dmy(),
                                              amount(tb, "meses", "99"),
                                              amount(tb, "calculo", "999,999.99")};
            });
      },
      [&](ui::Dialog&, ui::Browse& br) {
        return standardButtons([&](bool add) { add ? EDITCTS(s, tk, br, true) : MODICTS(s, tk, br, false); },
                               [&] { DELBANCOS(s, tk, br); }, [&] { SEEKVACACE(s, tk, br); });
      });
}

void EDITCTS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { ctsDialog(s, tk, br, add); }
void MODICTS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { ctsDialog(s, tk, br, add); }

}  // namespace planilla::inputs
