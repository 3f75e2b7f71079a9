#include "session/run_register.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "session/record_bytes.h"
#include "store/catalog.h"
#include "store/platform.h"
#include "store/value.h"
#include "ui/messages.h"

namespace planilla {

namespace {
const char* kTitle = "Mensaje";
}  // namespace

std::string nowStamp() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const long ms = static_cast<long>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  const std::tm tm = platform::localTime(secs);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d%03ld", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
  return buf;
}

std::string stampText(const std::string& stamp) {
  if (stamp.size() < 14 || stamp.find_first_not_of(' ') == std::string::npos) return "";
  return stamp.substr(6, 2) + "/" + stamp.substr(4, 2) + "/" + stamp.substr(0, 4) + " " + stamp.substr(8, 2) + ":" +
         stamp.substr(10, 2) + ":" + stamp.substr(12, 2);
}

std::string periodOf(const Session& s) {
  std::string year = trimRight(s.ANO_CIE);
  if (year.size() != 4) year = "20" + s.YANO;
  return year + s.YMES;
}

std::string auditUser(const Session& s) {
  std::string u = trimRight(s.userCode);
  return u.empty() ? "?" : u;
}

std::string auditStation(const Session& s) {
  std::string st = trimRight(s.station);
  return st.empty() ? "?" : st;
}

// The messages of the run go on to the operator as before; the last stop or alert is
// kept, to name why a run that did not finish stopped.
class RunRecord::Listener : public ui::Messages {
 public:
  explicit Listener(ui::Messages& outer) : outer_(outer) {}
  bool show(ui::MsgKind kind, const std::string& text, const std::string& title) override {
    if (kind == ui::MsgKind::Stop || kind == ui::MsgKind::Alert) {
      // A run often says what went wrong in two boxes ("Falta ... " then "Del
      // Trabajador ..."): both are kept when they follow each other.
      last = last.empty() || lastWasInfo ? text : last + " " + text;
      lastWasInfo = false;
    } else {
      lastWasInfo = true;
    }
    return outer_.show(kind, text, title);
  }
  void workBegin(const std::string& title, const std::string& what, long total) override {
    outer_.workBegin(title, what, total);
  }
  void workProgress(long done) override { outer_.workProgress(done); }
  void workEnd(long done) override { outer_.workEnd(done); }
  std::string last;
  bool lastWasInfo = true;

 private:
  ui::Messages& outer_;
};

RunRecord::RunRecord(Session& s, std::string process) : s_(s), process_(std::move(process)) {
  if (trimRight(s.YCIA).empty()) {
    noCompany_ = true;
    return;
  }
  const catalog::TableDef def = s.def(catalog::TableId::RunRegister);
  Status st = catalog::ensureTable(s.fs(), s.dataDir(), def);
  if (st) {
    auto t = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared, "RegProc");
    if (t) {
      RecordBytes r(**t);
      r.text("PROCESO", process_)
          .text("PERIODO", periodOf(s))
          .text("USUARIO", auditUser(s))
          .text("ESTACION", auditStation(s))
          .text("INICIO", nowStamp())
          .text("ESTADO", "E");
      st = r.status();
      // In shared use the new record stays locked: the lock says the run is alive.
      if (st) st = (*t)->appendRaw(r.bytes());
      if (st) st = (*t)->flush();
      if (st) {
        recno_ = (*t)->recno();
        table_ = std::move(*t);
      } else {
        (*t)->close();
      }
    } else {
      st = t.status();
    }
  }
  if (!st) {
    ui::MSGSTOP(s.messages(), "No Se Pudo Anotar El Proceso En El Registro De Procesos: " + st.message(), kTitle);
    return;
  }
  listener_ = std::make_unique<Listener>(s.messages());
  outer_ = s.swapMessages(listener_.get());
}

RunRecord::~RunRecord() {
  if (!table_) return;
  const std::string why = listener_->last.empty() ? "Proceso Detenido" : listener_->last;
  end('D', why);
}

void RunRecord::count(double gross, double deductions, double net, double employer) {
  ++totals_.employees;
  totals_.gross += gross;
  totals_.deductions += deductions;
  totals_.net += net;
  totals_.employer += employer;
}

void RunRecord::finish() { end('T', ""); }

void RunRecord::end(char state, const std::string& message) {
  if (!table_) return;
  s_.swapMessages(outer_);
  Table& t = *table_;
  Status st = t.go(recno_);
  if (st) {
    RecordBytes r(t, t.rawRecord());
    r.text("FIN", nowStamp())
        .number("EMPLEAD", static_cast<double>(totals_.employees))
        .number("BRUTO", round2(totals_.gross))
        .number("DESCTO", round2(totals_.deductions))
        .number("NETO", round2(totals_.net))
        .number("APORTE", round2(totals_.employer))
        .text("ESTADO", std::string(1, state))
        .text("MENSAJE", message);
    st = r.status();
    if (st) st = t.replaceRaw(r.bytes());
    if (st) st = t.flush();
  }
  t.unlockAll();
  t.close();
  table_.reset();
  if (!st)
    ui::MSGSTOP(s_.messages(), "No Se Pudo Completar El Registro De Procesos: " + st.message(), kTitle);
}

std::string runStateText(char state) {
  switch (state) {
    case 'E': return "En Curso";
    case 'T': return "Terminado";
    case 'D': return "Detenido";
    case 'I': return "Interrumpido";
    default: return "?";
  }
}

Status readRunRegister(Session& s, std::vector<RunRow>* out) {
  out->clear();
  const catalog::TableDef def = s.def(catalog::TableId::RunRegister);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return Status::ok();
  auto opened = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared, "LeeProc");
  if (!opened) return opened.status();
  Table& t = **opened;
  Status st;
  for (st = t.goTop(); st && !t.eof(); st = t.skip(1)) {
    RunRow r;
    r.recno = t.recno();
    r.process = trimRight(t.str("PROCESO"));
    r.period = trimRight(t.str("PERIODO"));
    r.user = trimRight(t.str("USUARIO"));
    r.station = trimRight(t.str("ESTACION"));
    r.start = trimRight(t.str("INICIO"));
    r.end = trimRight(t.str("FIN"));
    r.message = trimRight(t.str("MENSAJE"));
    const std::string state = t.str("ESTADO");
    r.state = state.empty() ? ' ' : state[0];
    r.totals = {static_cast<long>(t.num("EMPLEAD")), t.num("BRUTO"), t.num("DESCTO"), t.num("NETO"),
                t.num("APORTE")};
    out->push_back(std::move(r));
  }
  if (st) st = t.lastError();
  // A run still marked running whose lock no station holds was cut short.
  for (RunRow& r : *out) {
    if (r.state != 'E' || !st) continue;
    if (!t.go(r.recno)) continue;
    if (t.lockRecord()) {
      r.state = 'I';
      t.unlockAll();
    }
  }
  t.close();
  return st;
}

bool lastFinishedRun(Session& s, const std::string& process, const std::string& period, RunRow* out) {
  std::vector<RunRow> rows;
  if (!readRunRegister(s, &rows)) return false;
  bool found = false;
  for (const RunRow& r : rows) {
    if (r.state != 'T' || r.process != process || r.period != period) continue;
    if (!found || r.start >= out->start) *out = r;
    found = true;
  }
  return found;
}

}  // namespace planilla
