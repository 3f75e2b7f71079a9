#include "exports/logbook.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "exports/files.h"
#include "exports/xlsx.h"
#include "reports/report_common.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "session/startup.h"
#include "ui/dialogs.h"
#include "ui/messages.h"
#include "ui/text1252.h"

namespace planilla::exports {

namespace {

const char* kTitle = "Mensaje";

std::string folded(std::string v) {
  v = trimRight(v);
  size_t a = v.find_first_not_of(' ');
  v = a == std::string::npos ? "" : v.substr(a);
  for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return v;
}

// The day of a stored time (AAAAMMDD...), empty when it holds none.
Date dayOf(const std::string& stamp) {
  if (stamp.size() < 8) return Date();
  bool ok = false;
  Date d = Date::fromDtos(stamp.substr(0, 8), &ok);
  return ok ? d : Date();
}

bool inDays(const LogQuery& q, const std::string& stamp) {
  const Date d = dayOf(stamp);
  if (!q.desde.empty() && (d.empty() || d < q.desde)) return false;
  if (!q.hasta.empty() && (d.empty() || d > q.hasta)) return false;
  return true;
}

bool same(const std::string& wanted, const std::string& value) {
  return wanted.find_first_not_of(' ') == std::string::npos || folded(wanted) == folded(value);
}

std::string tableName(const std::string& wanted) {
  std::string t = folded(wanted);
  if (t.size() > 4 && t.compare(t.size() - 4, 4, ".DBF") == 0) t.resize(t.size() - 4);
  return t;
}

std::string money(double v) { return reports::amount(v, "999,999,999.99"); }

std::string pad(std::string v, size_t w) {
  v.resize(w, ' ');
  return v;
}

std::string utf8(const std::string& v) { return ui::cp1252ToUtf8(v); }

// The header every listing opens with: company, title, the filter in words.
std::string filterText(const LogQuery& q) {
  std::string f;
  auto add = [&](const std::string& what, const std::string& v) {
    if (v.find_first_not_of(' ') == std::string::npos) return;
    if (!f.empty()) f += "  ";
    f += what + ": " + trimRight(v);
  };
  if (!q.desde.empty()) add("Desde", q.desde.dmy());
  if (!q.hasta.empty()) add("Hasta", q.hasta.dmy());
  add("Usuario", q.user);
  add("Tabla", q.table);
  add("Codigo", q.code);
  return f.empty() ? "Todos Los Registros" : f;
}

void openListing(Session& s, reports::RpvWriter& w, const std::string& title, const LogQuery& q,
                 const std::string& columns) {
  reports::ReportSettings set;
  set.title = title;
  set.orientation = 2;
  set.spacing = 200;
  set.c00 = 500;
  set.base = 500;
  set.widths = {200};
  w.settings(set);
  w.line("[Header]");
  w.line("{f=Lucida Console;\\n;s=7}");
  w.line("{\\n;$c00;a=l;s=8} " + reports::rpvText(trimRight(s.YNOMBRE1)));
  w.line("{\\n;$c00;s=9;b=y;a=l} " + reports::rpvText(title) + "{b=n;s=7;\\n}");
  w.line("{$c00;a=l} " + reports::rpvText(filterText(q)) + "{\\n}");
  w.line("{Line=300,16000;\\n}");
  w.line("{$c00;a=l;b=y} " + reports::rpvText(columns) + "{b=n;\\n}");
  w.line("{Line=300,16000;\\n}");
  w.line("[Data]");
}

void printLine(reports::RpvWriter& w, const std::string& text) {
  w.line("{e;$c00;a=l} " + reports::rpvText(text) + "{t;\\n}");
}

bool closeListing(Session& s, reports::RpvWriter& w, bool startViewer) {
  return reports::finishReport(s, w, startViewer);
}

// Puts the workbook of `rows` in place; the closing box is the caller's.
bool saveSheet(Session& s, const Sheet& sheet, const std::string& dirGiven, const std::string& name,
               std::vector<std::string>& written) {
  const std::string dir = dirGiven.empty() ? s.dataDir() : dirGiven;
  Workbook book;
  Status st = book.addSheet(sheet);
  if (st) st = book.save(dir, name, &written);
  return reportFailure(s, {}, st);
}

// The detail cut into lines of `width` at the separators where it can.
std::vector<std::string> wrapped(const std::string& text, size_t width) {
  std::vector<std::string> out;
  std::string rest = text;
  while (rest.size() > width) {
    size_t cut = rest.rfind(" | ", width);
    if (cut == std::string::npos || cut == 0) cut = width;
    out.push_back(rest.substr(0, cut));
    rest.erase(0, cut);
    if (rest.compare(0, 3, " | ") == 0) rest.erase(0, 3);
  }
  if (!rest.empty() || out.empty()) out.push_back(rest);
  return out;
}

}  // namespace

bool matches(const LogQuery& q, const ChangeRow& r) {
  return inDays(q, r.moment) && same(q.user, r.user) && (q.table.empty() || tableName(q.table) == folded(r.table)) &&
         same(q.code, r.code);
}

bool matches(const LogQuery& q, const RunRow& r) {
  // The register names no table nor employee: a query by them selects no run.
  return inDays(q, r.start) && same(q.user, r.user) && folded(q.table).empty() && folded(q.code).empty();
}

bool selectChanges(Session& s, const LogQuery& q, std::vector<ChangeRow>& out) {
  std::vector<ChangeRow> all;
  if (Status st = readChangeLog(s, &all); !st) {
    ui::MSGSTOP(s.messages(), st.message(), kTitle);
    return false;
  }
  out.clear();
  for (ChangeRow& r : all)
    if (matches(q, r)) out.push_back(std::move(r));
  std::stable_sort(out.begin(), out.end(), [](const ChangeRow& a, const ChangeRow& b) { return a.moment < b.moment; });
  return true;
}

bool selectRuns(Session& s, const LogQuery& q, std::vector<RunRow>& out) {
  std::vector<RunRow> all;
  if (Status st = readRunRegister(s, &all); !st) {
    ui::MSGSTOP(s.messages(), st.message(), kTitle);
    return false;
  }
  out.clear();
  for (RunRow& r : all)
    if (matches(q, r)) out.push_back(std::move(r));
  std::stable_sort(out.begin(), out.end(), [](const RunRow& a, const RunRow& b) { return a.start < b.start; });
  return true;
}

bool printChanges(Session& s, const LogQuery& q, bool startViewer) {
  if (!requireCompany(s)) return false;
  std::vector<ChangeRow> rows;
  if (!selectChanges(s, q, rows)) return false;
  reports::RpvWriter w(s.dataDir());
  openListing(s, w, "Bitacora De Cambios", q,
              pad("FECHA Y HORA", 20) + pad("USUARIO", 11) + pad("ESTACION", 16) + pad("TABLA", 10) +
                  pad("CLAVE", 22) + pad("OPERACION", 14) + "CAMPOS: ANTES -> DESPUES");
  const size_t indent = 20 + 11 + 16 + 10 + 22 + 14;
  for (const ChangeRow& r : rows) {
    const std::vector<std::string> lines = wrapped(r.detail, 95);
    printLine(w, pad(stampText(r.moment), 20) + pad(r.user, 11) + pad(r.station.substr(0, 15), 16) + pad(r.table, 10) +
                     pad(r.key.substr(0, 21), 22) + pad(operationText(r.operation), 14) + lines.front());
    for (size_t i = 1; i < lines.size(); ++i) printLine(w, std::string(indent, ' ') + lines[i]);
  }
  printLine(w, "");
  printLine(w, "Registros: " + std::to_string(rows.size()));
  return closeListing(s, w, startViewer);
}

bool printRuns(Session& s, const LogQuery& q, bool startViewer) {
  if (!requireCompany(s)) return false;
  std::vector<RunRow> rows;
  if (!selectRuns(s, q, rows)) return false;
  reports::RpvWriter w(s.dataDir());
  openListing(s, w, "Registro De Procesos", q,
              pad("PROCESO", 14) + pad("PERIODO", 8) + pad("USUARIO", 9) + pad("ESTACION", 14) + pad("INICIO", 20) +
                  pad("FIN", 20) + pad("  TRAB.", 8) + pad("         BRUTO", 15) + pad("     DESCUENTOS", 15) +
                  pad("          NETO", 15) + pad("      APORTES", 15) + "ESTADO");
  for (const RunRow& r : rows) {
    char n[16];
    std::snprintf(n, sizeof n, "%7ld ", r.totals.employees);
    std::string line = pad(r.process, 14) + pad(r.period, 8) + pad(r.user, 9) + pad(r.station.substr(0, 13), 14) +
                       pad(stampText(r.start), 20) + pad(stampText(r.end), 20) + n + money(r.totals.gross) + " " +
                       money(r.totals.deductions) + " " + money(r.totals.net) + " " + money(r.totals.employer) + " " +
                       runStateText(r.state);
    printLine(w, line);
    if (!r.message.empty()) printLine(w, std::string(14, ' ') + r.message);
  }
  printLine(w, "");
  printLine(w, "Procesos: " + std::to_string(rows.size()));
  return closeListing(s, w, startViewer);
}

bool exportChanges(Session& s, const LogQuery& q, const std::string& dir, std::vector<std::string>& written) {
  if (!requireCompany(s)) return false;
  std::vector<ChangeRow> rows;
  if (!selectChanges(s, q, rows)) return false;
  Sheet sh;
  sh.name = "Bitacora";
  sh.widths = {20, 10, 16, 10, 22, 12, 14, 9, 100};
  sh.frozenRows = 1;
  std::vector<Cell> head;
  for (const char* h : {"Fecha y hora", "Usuario", "Estacion", "Tabla", "Clave", "Codigo", "Operacion", "Periodo",
                        "Campos: antes -> despues"})
    head.push_back(Cell::str(h, CellFormat::Bold));
  sh.rows.push_back(head);
  for (const ChangeRow& r : rows)
    sh.rows.push_back({Cell::str(stampText(r.moment)), Cell::str(utf8(r.user)), Cell::str(utf8(r.station)),
                       Cell::str(utf8(r.table)), Cell::str(utf8(r.key)), Cell::str(utf8(r.code)),
                       Cell::str(operationText(r.operation)), Cell::str(r.period), Cell::str(utf8(r.detail))});
  return saveSheet(s, sh, dir, "BITACORA_" + trimRight(s.YCIA) + ".xlsx", written);
}

bool exportRuns(Session& s, const LogQuery& q, const std::string& dir, std::vector<std::string>& written) {
  if (!requireCompany(s)) return false;
  std::vector<RunRow> rows;
  if (!selectRuns(s, q, rows)) return false;
  Sheet sh;
  sh.name = "Procesos";
  sh.widths = {14, 8, 10, 16, 20, 20, 10, 15, 15, 15, 15, 12, 60};
  sh.frozenRows = 1;
  std::vector<Cell> head;
  for (const char* h : {"Proceso", "Periodo", "Usuario", "Estacion", "Inicio", "Fin", "Trabajadores", "Bruto",
                        "Descuentos", "Neto", "Aportes", "Estado", "Mensaje"})
    head.push_back(Cell::str(h, CellFormat::Bold));
  sh.rows.push_back(head);
  for (const RunRow& r : rows)
    sh.rows.push_back({Cell::str(r.process), Cell::str(r.period), Cell::str(utf8(r.user)), Cell::str(utf8(r.station)),
                       Cell::str(stampText(r.start)), Cell::str(stampText(r.end)),
                       Cell::num(static_cast<double>(r.totals.employees), CellFormat::Whole),
                       Cell::num(r.totals.gross, CellFormat::Amount), Cell::num(r.totals.deductions, CellFormat::Amount),
                       Cell::num(r.totals.net, CellFormat::Amount), Cell::num(r.totals.employer, CellFormat::Amount),
                       Cell::str(runStateText(r.state)), Cell::str(utf8(r.message))});
  return saveSheet(s, sh, dir, "PROCESOS_" + trimRight(s.YCIA) + ".xlsx", written);
}

namespace {

// The filter dialog of both screens; `print` and `sheet` act on what it holds.
void logScreen(Session& s, ui::Toolkit& tk, const std::string& title, bool withTableAndCode,
               bool (*print)(Session&, const LogQuery&, bool),
               bool (*sheet)(Session&, const LogQuery&, const std::string&, std::vector<std::string>&)) {
  if (!requireCompany(s)) return;
  Date desde, hasta;
  std::string user(10, ' '), table(12, ' '), code(10, ' ');
  auto query = [&] {
    LogQuery q{desde, hasta, trimRight(user), trimRight(table), trimRight(code)};
    if (!q.desde.empty() && !q.hasta.empty() && q.hasta < q.desde) {
      ui::MSGSTOP(s.messages(), "La Fecha Final Es Anterior A La Inicial", kTitle);
      return std::optional<LogQuery>();
    }
    return std::optional<LogQuery>(q);
  };
  ui::Dialog dlg(tk, 6, 10, withTableAndCode ? 19 : 15, 62, title);
  dlg.labelAt(1, 2, "Desde :", 60);
  dlg.fieldAt(1, 14, ui::ref(desde), 60);
  dlg.labelAt(2.5, 2, "Hasta :", 60);
  dlg.fieldAt(2.5, 14, ui::ref(hasta), 60);
  dlg.labelAt(4, 2, "Usuario :", 60);
  dlg.fieldAt(4, 14, ui::ref(user), 50).picture("@!");
  double row = 5.5;
  if (withTableAndCode) {
    dlg.labelAt(5.5, 2, "Tabla :", 60);
    dlg.fieldAt(5.5, 14, ui::ref(table), 60);
    dlg.labelAt(7, 2, "Trabajador :", 60);
    dlg.fieldAt(7, 14, ui::ref(code), 60).picture("@!");
    row = 8.5;
  }
  dlg.buttonAt(row + 0.5, 2, "&Imprimir", 50, 14, [&] {
    if (auto q = query()) print(s, *q, true);
  });
  dlg.buttonAt(row + 0.5, 18, "&Excel", 50, 14, [&] {
    auto q = query();
    if (!q) return;
    std::vector<std::string> written;
    if (sheet(s, *q, "", written)) announce(s, written);
  });
  dlg.buttonAt(row + 0.5, 34, "&Salir", 50, 14, [&] { dlg.end(); });
  dlg.activate();
  s.closeAll();
}

}  // namespace

void F_REGPROC(Session& s, ui::Toolkit& tk) {
  logScreen(s, tk, "Registro De Procesos", false, &printRuns, &exportRuns);
}

void F_BITACORA(Session& s, ui::Toolkit& tk) {
  logScreen(s, tk, "Bitacora De Cambios", true, &printChanges, &exportChanges);
}

}  // namespace planilla::exports
