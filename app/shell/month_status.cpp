#include "app/shell/month_status.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>

#include "session/change_log.h"
#include "session/list_table.h"
#include "session/preferences.h"
#include "session/run_register.h"
#include "store/catalog.h"
#include "store/value.h"
#include "ui/messages.h"
#ifdef PLANILLA_HAVE_DELIVERY
#include "delivery/deliveries.h"
#endif

namespace planilla::shell {

namespace {

constexpr const char* kTitle = "Estado Del Mes";
constexpr const char* kPreference = "estado_mes_al_abrir";

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Live records of a table of the month; -1 when the table is not there.
long liveRecords(Session& s, catalog::TableId id) {
  const std::string dbf = s.def(id).dbf();
  if (!s.fileExists(dbf)) return -1;
  auto t = Table::openReadOnly(s.fs(), s.path(dbf));
  if (!t) return -1;
  long n = 0;
  for (Status st = t.value()->goTop(); st && !t.value()->eof(); st = t.value()->skip()) ++n;
  return n;
}

// What the month reads from the logs, read once.
struct Logs {
  std::vector<RunRow> runs;          // this period's, in time order
  std::vector<ChangeRow> changes;    // this period's
  std::string period;
  // The last run of `process` in the register (whatever its end), or nullptr.
  const RunRow* last(const std::string& process) const {
    const RunRow* found = nullptr;
    for (const RunRow& r : runs) {
      if (trimRight(r.process) == process) found = &r;
    }
    return found;
  }
  const RunRow* lastFinished(const std::string& process) const {
    const RunRow* found = nullptr;
    for (const RunRow& r : runs) {
      if (trimRight(r.process) == process && r.state == 'T') found = &r;
    }
    return found;
  }
  // The last change to the table `base` while working on this period.
  const ChangeRow* lastChange(const std::string& base) const {
    const ChangeRow* found = nullptr;
    for (const ChangeRow& c : changes) {
      if (lower(trimRight(c.table)) == base) found = &c;
    }
    return found;
  }
};

std::string who(const RunRow& r) {
  return stampText(r.start) + " Por " + trimRight(r.user) + " (" + trimRight(r.station) + ")";
}

// An input table of the month: its records and its last change.
MonthStep inputStep(Session& s, const Logs& logs, const std::string& step, catalog::TableId id,
                    const std::string& function) {
  MonthStep m{step, kStepEmpty, "", function};
  const long n = liveRecords(s, id);
  if (n <= 0) {
    m.detail = n < 0 ? "Aun No Hay Datos Este Mes" : "Sin Registros";
    return m;
  }
  m.state = kStepDone;
  m.detail = std::to_string(n) + (n == 1 ? " Registro" : " Registros");
  if (const ChangeRow* c = logs.lastChange(lower(s.def(id).base)))
    m.detail += "; Ultimo Cambio " + stampText(c->moment) + " Por " + trimRight(c->user);
  return m;
}

// A run or an export: done with when and who, stopped, or pending.
MonthStep runStep(const Logs& logs, const std::string& step, const std::string& process,
                  const std::string& function) {
  MonthStep m{step, kStepPending, "No Se Ha Hecho Este Mes", function};
  const RunRow* done = logs.lastFinished(process);
  const RunRow* last = logs.last(process);
  if (done) {
    m.state = kStepDone;
    m.detail = who(*done);
    if (done->totals.employees > 0) m.detail += ", " + std::to_string(done->totals.employees) + " Trabajador(es)";
  }
  if (last && last != done && last->state != 'E') {
    m.state = kStepStopped;
    m.detail = runStateText(last->state) + " " + stampText(last->start) + ": " + trimRight(last->message);
  }
  return m;
}

}  // namespace

std::vector<MonthStep> monthChecklist(Session& s) {
  Logs logs;
  logs.period = periodOf(s);
  {
    std::vector<RunRow> all;
    if (readRunRegister(s, &all)) {
      for (RunRow& r : all) {
        if (trimRight(r.period) == logs.period) logs.runs.push_back(std::move(r));
      }
    }
    std::vector<ChangeRow> changes;
    if (readChangeLog(s, &changes, false)) {
      for (ChangeRow& c : changes) {
        if (trimRight(c.period) == logs.period) logs.changes.push_back(std::move(c));
      }
    }
  }
  const bool gratificationMonth = s.YMES == "07" || s.YMES == "12";
  std::vector<MonthStep> out;
  out.push_back(inputStep(s, logs, "Empleados Activos Del Mes", catalog::TableId::ActiveEmployees, "F_PJLG02"));
  out.push_back(inputStep(s, logs, "Ingresos De Trabajador", catalog::TableId::IncomeEntries, "F_PFMR201"));
  out.push_back(inputStep(s, logs, "Rol De Vacaciones", catalog::TableId::VacationRoll, "F_PFMR202"));

  MonthStep payroll = runStep(logs, "Calculo De Planilla", kRunPayroll, "F_P301");
  if (payroll.state == kStepDone && resultsStale(s, kRunPayroll)) {
    payroll.state = kStepStale;
    payroll.detail = std::string(kStaleResults) + " (" + stampText(lastInputChange(s, kRunPayroll)) + ")";
  }
  if (gratificationMonth) {
    out.push_back(
        inputStep(s, logs, "Rol De Gratificaciones", catalog::TableId::GratificationRoll, "F_PFMR203"));
    MonthStep grat = runStep(logs, "Calculo De Gratificacion (Antes De La Planilla)", kRunGratification, "F_P305");
    if (grat.state == kStepDone && resultsStale(s, kRunGratification)) {
      grat.state = kStepStale;
      grat.detail = std::string(kStaleResults) + " (" + stampText(lastInputChange(s, kRunGratification)) + ")";
    }
    out.push_back(grat);
    // The payroll of these months pays the gratification: it comes after it.
    const RunRow* g = logs.lastFinished(kRunGratification);
    const RunRow* p = logs.lastFinished(kRunPayroll);
    if (p && !g) {
      payroll.state = kStepStale;
      payroll.detail = "Se Calculo Sin Gratificacion: Calcule La Gratificacion Y Luego La Planilla";
    } else if (p && g && g->start > p->start) {
      payroll.state = kStepStale;
      payroll.detail = "La Gratificacion Se Calculo Despues (" + stampText(g->start) + "): Calcule La Planilla De Nuevo";
    }
  }
  out.push_back(payroll);

  // What is made from the payroll: stale when the payroll was calculated again after it.
  const RunRow* lastPayroll = logs.lastFinished(kRunPayroll);
  auto fromPayroll = [&](const std::string& step, const std::string& process, const std::string& function) {
    MonthStep m = runStep(logs, step, process, function);
    const RunRow* r = logs.lastFinished(process);
    if (m.state == kStepDone && lastPayroll && r && r->start < lastPayroll->end) {
      m.state = kStepStale;
      m.detail = "Hecho " + stampText(r->start) + ", Antes Del Ultimo Calculo De Planilla (" +
                 stampText(lastPayroll->end) + ")";
    }
    return m;
  };
  out.push_back(fromPayroll("Archivos PLAME", kRunExportPlame, "F_PLAME01"));
  out.push_back(fromPayroll("Planilla AFPnet", kRunExportAfpnet, "F_AFPNET01"));
  out.push_back(fromPayroll("Archivos De Pago Al Banco", kRunExportBank, "F_BANCO01"));
  MonthStep slips = fromPayroll("Boletas Del Mes (Impresas / PDF)", kRunPayslips, "F_BOLMES");
  out.push_back(slips);
#ifdef PLANILLA_HAVE_DELIVERY
  {
    MonthStep sent{"Boletas Enviadas Por Correo", kStepPending, "Ninguna Enviada", "F_PENVIO01"};
    auto rows = delivery::readDeliveries(s, s.ANO_CIE + s.YMES);
    if (rows) {
      std::set<std::string> codes;
      std::string lastAt;
      for (const auto& r : rows.value()) {
        if (r.tipo == "M" && r.resultado == delivery::kSent) codes.insert(r.codigo);
      }
      const long total = liveRecords(s, catalog::TableId::PayrollSoles);
      if (!codes.empty()) {
        sent.state = total > 0 && static_cast<long>(codes.size()) < total ? kStepPending : kStepDone;
        sent.detail = std::to_string(codes.size()) + (total > 0 ? " De " + std::to_string(total) : "") + " Enviada(s)";
      }
    }
    out.push_back(sent);
  }
#endif
  return out;
}

bool showMonthStatusOnOpening(const Session& s) { return preference(auditUser(s), kPreference, "si") != "no"; }

void F_ESTMES(Session& s, ui::Toolkit& tk, const std::function<void(const std::string&)>& open) {
  if (trimRight(s.YCIA).empty() || trimRight(s.YMES).empty() || trimRight(s.YANO).empty()) {
    ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar", "Mensaje");
    return;
  }
  std::vector<MonthStep> steps;
  auto made = ListTable::create(s.fs(), {{"estado", 14}, {"paso", 50}, {"detalle", 200}, {"n", 3}});
  if (!made) {
    ui::MSGSTOP(s.messages(), made.status().message(), kTitle);
    return;
  }
  std::unique_ptr<ListTable> list = std::move(made).value();
  Table& t = list->table();
  // The list read again (on opening, after a screen, on "Actualizar").
  auto load = [&]() -> bool {
    steps = monthChecklist(s);
    Status st = list->clear();
    for (size_t i = 0; st && i < steps.size(); ++i)
      st = list->add({steps[i].state, steps[i].step, steps[i].detail, std::to_string(i)});
    if (st) st = t.goTop();
    if (!st) ui::MSGSTOP(s.messages(), st.message(), kTitle);
    return static_cast<bool>(st);
  };
  if (!load()) return;
  bool hide = !showMonthStatusOnOpening(s);
  const bool hideBefore = hide;
  {
    ui::Dialog dlg(tk, "EstadoMes", std::string(kTitle) + " " + trimRight(s.MES_CIE) + " " + s.ANO_CIE);
    using A = ui::Browse::Align;
    ui::Browse* br = &dlg.browse(101, t)
                          .headers({"ESTADO", "PASO", "DETALLE"})
                          .widths({110, 300, 560})
                          .aligns({A::Left, A::Left, A::Left})
                          .columnMoving(false)
                          .wholeRowCursor(true)
                          .line([&t] {
                            return std::vector<std::string>{trimRight(t.str("estado")), trimRight(t.str("paso")),
                                                            trimRight(t.str("detalle"))};
                          })
                          .rowColors([&t]() -> std::optional<std::pair<ui::Color, ui::Color>> {
                            const std::string st = trimRight(t.str("estado"));
                            if (st == kStepStale || st == kStepStopped)
                              return std::make_pair(ui::Color{192, 0, 0}, ui::color::kWhite);
                            if (st == kStepDone) return std::make_pair(ui::color::kNavy, ui::color::kWhite);
                            return std::nullopt;
                          });
    auto openCurrent = [&] {
      if (t.eof()) return;
      const size_t i = static_cast<size_t>(std::atoi(trimRight(t.str("n")).c_str()));
      if (i >= steps.size()) return;
      const size_t keep = i;
      open(steps[i].function);
      // The screen closed every table of the session; the list is the dialog's own.
      if (load()) {
        for (size_t k = 0; k < keep && !t.eof(); ++k) (void)t.skip();
        br->stabilize();
        br->refresh();
      }
    };
    br->onDoubleClick(openCurrent);
    dlg.button(201, openCurrent).defaultButton();
    dlg.button(202, [&] {
      if (!load()) return;
      br->stabilize();
      br->refresh();
    });
    dlg.button(203, [&] { dlg.end(); }).cancel();
    dlg.check(204, ui::ref(hide));
    dlg.activate();
  }
  if (hide != hideBefore) {
    if (Status st = setPreference(auditUser(s), kPreference, hide ? "no" : "si"); !st)
      ui::MSGSTOP(s.messages(), st.message(), kTitle);
  }
}

}  // namespace planilla::shell
