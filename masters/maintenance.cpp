#include "masters/maintenance.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "session/change_log.h"
#include "session/startup.h"
#include "session/tables.h"
#include "reports/rpv_writer.h"
#include "reports/runrpv.h"
#include "store/dbf_format.h"
#include "ui/dialogs.h"
#include "ui/dialogs.h"
#include "ui/messages.h"

namespace planilla::masters {

namespace {
const char* kTitle = "Mensaje";
}  // namespace

bool isBlank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

// --- opening and closing ------------------------------------------------------------------
Table* openMaintenanceTable(Session& s, const catalog::TableDef& def, const std::string& alias) {
  if (!requireCompany(s, true)) return nullptr;
  if (!ensureTable(s, def)) return nullptr;
  Table* t = openOwnTable(s, def, 1, alias);
  if (!t) return nullptr;
  Status st = t->goTop();
  if (!st) {
    showError(s, st);
    s.close(1);
    return nullptr;
  }
  return t;
}

std::string exportNameOf(const std::string& title, const Session& s) {
  // The title's words that say what the list holds: "Maestro De Empleados" is
  // "empleados", "Archivo De Sueldos Mensual 12/2026" is "sueldos".
  static const char* const kFiller[] = {"mantenimiento", "maestro", "archivo", "ingreso", "de", "del", "la", "las", "los",
                                        "el", "y", "mensual", "relacion", "semestral", "registro"};
  std::string out;
  std::string words = ui::fileNameOf(title);
  size_t at = 0;
  while (at <= words.size()) {
    size_t end = words.find('_', at);
    if (end == std::string::npos) end = words.size();
    const std::string w = words.substr(at, end - at);
    at = end + 1;
    const bool filler = std::any_of(std::begin(kFiller), std::end(kFiller), [&](const char* f) { return w == f; });
    const bool digits = !w.empty() && std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (w.empty() || filler || digits) continue;
    out += (out.empty() ? "" : "_") + w;
  }
  if (out.empty()) out = "lista";
  if (!s.YFECHA.empty() && s.YMES.size() == 2) {
    char period[16];
    std::snprintf(period, sizeof period, "_%04d-%s", s.YFECHA.year(), s.YMES.c_str());
    out += period;
  }
  return out;
}

void runMaintenanceScreen(Session& s, ui::Toolkit& tk, const std::string& templateName,
                          const std::string& title, Table& table,
                          const std::function<void(ui::Browse&)>& columns,
                          const std::function<void(ui::Dialog&, ui::Browse&)>& bars) {
  {
    ui::Dialog dlg(tk, templateName, title);
    dlg.setColors(ui::color::kWhite, ui::color::kScreen);
    ui::Browse& br = dlg.browse(101, table);
    br.columnMoving(false).wholeRowCursor(true);
    br.exportName(exportNameOf(title, s));
    if (columns) columns(br);
    dlg.activate([&] {
      if (bars) bars(dlg, br);
    });
  }
  s.closeAll();
}

void buildBars(ui::Dialog& dlg, const std::vector<BarEntry>& entries) {
  dlg.messageBar("Varmond");
  for (const auto& e : entries) {
    std::function<void()> action = e.action;
    if (!action) action = [] {};
    dlg.barButton(e.image, e.tooltip, std::move(action), 55);
  }
  dlg.barButton("exit10.bmp", "Salir", [&dlg] { dlg.end(); }, 55);
}

// --- the change cycle -----------------------------------------------------------------------
bool selectTable(Session& s, Table& t) {
  for (int n = 1; n <= Session::kMaxAreas; ++n) {
    if (s.area(n) == &t) {
      s.select(n);
      return true;
    }
  }
  return false;
}

void backTo(Table& t, uint32_t recno) {
  if (recno >= 1 && recno <= t.recordCount()) {
    (void)t.go(recno);
  } else {
    (void)t.goBottom();
    if (!t.eof()) (void)t.skip(1);
  }
}

void settle(ui::Browse& br) {
  br.stabilize();
  br.refresh();
}

bool onRecord(Table& t) { return !t.eof() && t.recno() >= 1 && t.recno() <= t.recordCount(); }

RecordEdit RecordEdit::current(Table& t) {
  RecordEdit e(t);
  e.bytes_ = t.rawRecord();
  return e;
}

RecordEdit RecordEdit::blank(Table& t) {
  RecordEdit e(t);
  size_t len = 0;
  for (const auto& f : t.recordLayout()) len = std::max<size_t>(len, f.offset + static_cast<size_t>(f.width));
  e.bytes_.assign(len > 0 ? len - 1 : 0, ' ');  // offsets count the deletion flag
  return e;
}

const FieldLayout* RecordEdit::find(std::string_view field) {
  int i = t_->fieldIndex(field);
  const RecordLayout& lay = t_->recordLayout();
  if (i < 0 || static_cast<size_t>(i) >= lay.size()) {
    if (status_) status_ = Status::invalid("el campo " + std::string(field) + " no existe en " + t_->alias());
    return nullptr;
  }
  const FieldLayout& f = lay[static_cast<size_t>(i)];
  if (f.offset < 1 || f.offset - 1 + static_cast<size_t>(f.width) > bytes_.size()) {
    if (status_) status_ = Status::invalid("registro incompleto en " + t_->alias());
    return nullptr;
  }
  return &f;
}

RecordEdit& RecordEdit::text(std::string_view field, std::string_view value) {
  if (const FieldLayout* f = find(field)) dbf::encodeText(value, f->width, bytes_.data() + f->offset - 1);
  return *this;
}

RecordEdit& RecordEdit::number(std::string_view field, double value) {
  const FieldLayout* f = find(field);
  if (!f) return *this;
  Status st = dbf::encodeNumber(value, f->width, f->decimals, bytes_.data() + f->offset - 1);
  if (!st && status_) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", f->decimals, value);
    status_ = Status::invalid(std::string("El valor ") + buf + " no cabe en el campo " +
                              f->name + " (" + std::to_string(f->width) + "," + std::to_string(f->decimals) +
                              ")");
  }
  return *this;
}

void showError(Session& s, const Status& st) { ui::MSGSTOP(s.messages(), st.message(), kTitle); }

bool addRecord(Session& s, Table& t, const RecordEdit& edit) {
  if (!edit.status()) {
    showError(s, edit.status());
    return false;
  }
  selectTable(s, t);
  Status st = t.appendRaw(edit.bytes());
  if (st) {
    (void)logChange(s, t, 'A', "", edit.bytes());
    return true;
  }
  // As ADD_REG: a refused append on a shared table is "record in use".
  if (st.code() == ErrorCode::Locked || st.code() == ErrorCode::InUse)
    ui::MSGSTOP(s.messages(), "Acceso Denegado Registro En Uso", kTitle);
  else
    showError(s, st);
  return false;
}

bool changeRecord(Session& s, Table& t, uint32_t recno, const std::function<void(RecordEdit&)>& fill) {
  selectTable(s, t);
  backTo(t, recno);
  if (!onRecord(t)) return false;
  if (!LAN_REG(s)) return false;
  RecordEdit edit = RecordEdit::current(t);
  const std::string before = edit.bytes();
  fill(edit);
  Status st = edit.status();
  if (st) st = t.replaceRaw(edit.bytes());
  FREE(s);
  if (!st) {
    showError(s, st);
    return false;
  }
  (void)logChange(s, t, 'M', before, edit.bytes());
  return true;
}

bool readLocked(Session& s, Table& t, const std::function<void()>& read) {
  selectTable(s, t);
  if (!LAN_REG(s)) return false;
  read();
  FREE(s);
  return true;
}

void okCancelButtons(ui::Dialog& dlg, bool& accepted) {
  dlg.bitmapButton(301, "check1.bmp", [&dlg, &accepted] {
    accepted = true;
    dlg.end();
  });
  dlg.bitmapButton(302, "exit1.bmp", [&dlg] { dlg.end(); }).cancel();
}

void returnTo(Table& t, ui::Browse& br, uint32_t recno) {
  backTo(t, recno);
  settle(br);
}

void saveRecord(Session& s, Table& t, ui::Browse& br, uint32_t recno, bool add,
                const std::function<void(RecordEdit&)>& fill) {
  if (add) {
    RecordEdit e = RecordEdit::blank(t);
    fill(e);
    if (addRecord(s, t, e)) {
      FREE(s);
      settle(br);
      return;
    }
  } else {
    (void)changeRecord(s, t, recno, fill);
  }
  returnTo(t, br, recno);
}

// --- searching -------------------------------------------------------------------------------
bool askKey(ui::Toolkit& tk, const std::string& prompt, int width, std::string& typed,
            const std::string& picture) {
  std::string v(static_cast<size_t>(width), ' ');
  if (!ui::MSGGET(tk, "Buscar", prompt, v, "lupa.bmp", picture)) return false;
  typed = v;
  return true;
}

// --- delete ------------------------------------------------------------------------------------
void DELBANCOS(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  if (!onRecord(t)) return;  // an empty list: nothing to delete
  bool confirmed = false;
  {
    ui::Dialog dlg(tk, 19, 15, 28, 50, "Borrar Registro");
    dlg.labelAt(1, 7, "Esta Seguro De Eliminar");
    dlg.buttonAt(2, 3, "&No ", 35, 12, [&] { dlg.end(); });
    dlg.buttonAt(2, 14, "&Si ", 35, 12, [&] {
      confirmed = true;
      dlg.end();
    });
    dlg.activate();
  }
  if (!confirmed) return;
  selectTable(s, t);
  const uint32_t rec = t.recno();
  // Where the cursor goes once the record is gone: the row after it, or the one
  // before when it was the last, so the next key acts next to where the operator was.
  uint32_t next = 0;
  if (t.skip(1) && !t.eof()) next = t.recno();
  (void)t.go(rec);
  if (next == 0 && t.skip(-1) && !t.bof()) next = t.recno();
  (void)t.go(rec);
  bool gone = false;
  if (LAN_REG(s)) {
    const std::string before = t.rawRecord();
    Status st = t.markDeleted();
    FREE(s);
    if (!st) showError(s, st);
    gone = st.isOk();
    if (gone) (void)logChange(s, t, 'B', before, "");
  }
  if (!gone) backTo(t, rec);    // nothing deleted: the cursor stays on the record
  else if (next) (void)t.go(next);
  else backTo(t, 0);            // the list is empty now
  settle(br);
}

// --- listing ------------------------------------------------------------------------------------
std::vector<std::string> listingTitleLines(const Session& s, const std::string& title, int tab,
                                           const std::string& stop) {
  return {
      "{f=Lucida Console;\\n;s=9}",
      "{\\n;$c00;a=l} " + reports::rpvText(s.YNOMBRE1),
      "{\\n;" + stop + ";s=8;b=y;a=l} {tab=" + std::to_string(tab) + "} " + title + "{b=n;\\n}",
  };
}

void printListing(Session& s, ui::Browse& br, const ListingLayout& listing,
                  const std::function<std::string(Table&)>& line) {
  printListing(s, br.table(), listing, line);
  settle(br);
}

void printListing(Session& s, Table& t, const ListingLayout& listing,
                  const std::function<std::string(Table&)>& line) {
  const uint32_t rec = t.recno();
  reports::RpvWriter w(s.dataDir());
  reports::ReportSettings set;
  set.title = listing.reportTitle;
  set.orientation = listing.orientation;
  set.spacing = 220;
  set.c00 = listing.c00;
  set.base = listing.base;
  set.widths = listing.widths;
  w.settings(set);
  w.line("[Header]");
  for (const auto& h : listing.header) w.line(h);
  w.line("[Data]");
  // From the record under the cursor to the end: the listing does not rewind.
  Status readErr;
  if (onRecord(t)) {
    ui::Busy busy(s.messages(), listing.reportTitle, "Registros listados", 0);
    while (!t.eof()) {
      busy.step();
      w.line(line(t));
      Status st = t.skip(1);
      if (!st) {
        readErr = st;
        break;
      }
    }
  }
  // The viewer gets a copy of its own: "Test.rpv" is shared with the other stations.
  std::string own;
  Status st = readErr ? w.closeForViewer(&own) : readErr;
  if (!st) {
    showError(s, st);
  } else {
    Status shown = reports::RUNRPV(s.dataDir(), own);
    if (!shown) ui::MSGSTOP(s.messages(), "No se pudo abrir el visor de reportes: " + shown.message(), kTitle);
  }
  backTo(t, rec);
}

}  // namespace planilla::masters
