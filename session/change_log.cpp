#include "session/change_log.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "session/record_bytes.h"
#include "session/run_register.h"
#include "store/catalog.h"
#include "ui/messages.h"

namespace planilla {

namespace {

using catalog::TableId;

constexpr int kDetailFields = 8;
constexpr size_t kDetailWidth = 254;

std::string lower(std::string v) {
  for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return v;
}

std::string upperName(std::string v) {
  for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return v;
}

std::string trimBoth(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The table's base file name ("pmae0101") from its path.
std::string baseOf(const Table& t) {
  std::string name = t.path();
  if (auto slash = name.rfind('/'); slash != std::string::npos) name = name.substr(slash + 1);
  if (auto dot = name.rfind('.'); dot != std::string::npos) name = name.substr(0, dot);
  return lower(name);
}

// Tables with one record per employee, keyed by his code.
bool perEmployee(TableId id) {
  switch (id) {
    case TableId::EmployeeMaster: case TableId::ActiveEmployees: case TableId::IncomeEntries:
    case TableId::VacationRoll: case TableId::GratificationRoll: case TableId::PayrollSoles:
    case TableId::PayrollDollars: case TableId::GratSoles: case TableId::GratDollars:
    case TableId::Earnings: case TableId::Deductions: case TableId::Health: case TableId::PrePayroll:
    case TableId::CtsMay: case TableId::CtsNovember:
      return true;
    default:
      return false;
  }
}

// The bytes of field `f` in a record image (blank when the image is empty or short).
std::string slice(const std::string& image, const FieldLayout& f) {
  if (image.empty() || f.offset < 1 || f.offset - 1 + static_cast<size_t>(f.width) > image.size())
    return std::string(static_cast<size_t>(f.width), ' ');
  return image.substr(f.offset - 1, static_cast<size_t>(f.width));
}

// A stored value for people: text and numbers trimmed, dates as dd/mm/aaaa.
std::string shown(const FieldLayout& f, const std::string& raw) {
  std::string v = trimBoth(raw);
  if (f.type == 'D' && v.size() == 8) return v.substr(6, 2) + "/" + v.substr(4, 2) + "/" + v.substr(0, 4);
  return v;
}

// A number field's value: blank is zero; false when the bytes are no number.
bool numberOf(const std::string& raw, double* out) {
  const std::string v = trimBoth(raw);
  if (v.empty()) {
    *out = 0;
    return true;
  }
  char* end = nullptr;
  *out = std::strtod(v.c_str(), &end);
  return end && *end == '\0';
}

// The log table of the session's company (bitac00 before a company is chosen).
catalog::TableDef logDef(const Session& s) {
  catalog::Period p = s.period();
  if (trimBoth(p.cia).empty()) p.cia = "00";
  return catalog::define(TableId::ChangeLog, p);
}

}  // namespace

std::string describeChange(const Table& t, const std::string& before, const std::string& after) {
  catalog::TableDef def;
  const bool known = catalog::identify(t.path(), &def);
  std::string out;
  for (const FieldLayout& f : t.recordLayout()) {
    const std::string a = slice(before, f), b = slice(after, f);
    if (a == b) continue;
    // A number field read as blank is read as zero everywhere: blank to 0.00 (as a form
    // writes back what it showed) or 1500.0 to 1500.00 changes nothing.
    double x = 0, y = 0;
    if ((f.type == 'N' || f.type == 'F') && !before.empty() && !after.empty() && numberOf(a, &x) &&
        numberOf(b, &y) && x == y)
      continue;
    std::string text;
    if (known && def.id == TableId::Users && upperName(f.name) == "INICIA") {
      text = "****";  // a password is never written down
      if (!before.empty() && !after.empty()) text = "**** -> ****";
    } else if (before.empty()) {
      text = shown(f, b);
    } else if (after.empty()) {
      text = shown(f, a);
    } else {
      text = shown(f, a) + " -> " + shown(f, b);
    }
    if (!out.empty()) out += " | ";
    out += upperName(f.name) + ": " + text;
  }
  return out;
}

Status logChange(Session& s, const Table& t, char operation, const std::string& before, const std::string& after) {
  const std::string detail = describeChange(t, before, after);
  if (detail.empty()) return Status::ok();
  catalog::TableDef def;
  const bool known = catalog::identify(t.path(), &def);
  const std::string& image = after.empty() ? before : after;
  // The record's key: the fields of the table's first tag (the users table by user and
  // function, never by password), else its record number.
  std::string key;
  if (known && !def.tags.empty()) {
    std::string expr = def.id == TableId::Users ? "CODIGO+FUNCION" : def.tags.front().key;
    size_t from = 0;
    while (from <= expr.size()) {
      size_t plus = expr.find('+', from);
      const std::string name = trimBoth(expr.substr(from, plus == std::string::npos ? std::string::npos : plus - from));
      int fi = t.fieldIndex(name);
      if (fi >= 0) {
        if (!key.empty()) key += "/";
        key += trimBoth(slice(image, t.recordLayout()[static_cast<size_t>(fi)]));
      }
      if (plus == std::string::npos) break;
      from = plus + 1;
    }
  }
  if (key.empty()) key = "#" + std::to_string(t.recno());
  std::string code;
  if (known && perEmployee(def.id)) {
    int fi = t.fieldIndex("CODIGO");
    if (fi >= 0) code = trimBoth(slice(image, t.recordLayout()[static_cast<size_t>(fi)]));
  }

  const catalog::TableDef log = logDef(s);
  Status st = catalog::ensureTable(s.fs(), s.dataDir(), log);
  if (st) {
    auto opened = catalog::openTable(s.fs(), s.dataDir(), log, OpenMode::Shared, "Bitacora");
    if (opened) {
      Table& lt = **opened;
      RecordBytes r(lt);
      r.text("MOMENTO", nowStamp())
          .text("USUARIO", auditUser(s))
          .text("ESTACION", auditStation(s))
          .text("TABLA", baseOf(t))
          .text("CLAVE", key)
          .text("CODIGO", code)
          .text("OPERACION", std::string(1, operation))
          .text("PERIODO", periodOf(s));
      // The detail fills DETALLE1..8 in turn; what does not fit in them is cut, and
      // the cut says so.
      std::string rest = detail;
      const size_t room = kDetailFields * kDetailWidth;
      if (rest.size() > room) rest = rest.substr(0, room - 3) + "...";
      for (int i = 0; i < kDetailFields && !rest.empty(); ++i) {
        r.text("DETALLE" + std::to_string(i + 1), rest.substr(0, kDetailWidth));
        rest.erase(0, std::min(rest.size(), kDetailWidth));
      }
      st = r.status();
      if (st) st = lt.appendRaw(r.bytes());
      lt.unlockAll();
      lt.close();
    } else {
      st = opened.status();
    }
  }
  if (!st) ui::MSGSTOP(s.messages(), "No Se Pudo Anotar El Cambio En La Bitacora: " + st.message(), "Mensaje");
  return st;
}

std::string operationText(char operation) {
  switch (operation) {
    case 'A': return "Adicion";
    case 'M': return "Modificacion";
    case 'B': return "Eliminacion";
    default: return "?";
  }
}

Status readChangeLog(Session& s, std::vector<ChangeRow>* out) { return readChangeLog(s, out, true); }

Status readChangeLog(Session& s, std::vector<ChangeRow>* out, bool withDetail) {
  out->clear();
  const catalog::TableDef def = logDef(s);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return Status::ok();
  auto opened = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared, "LeeBitac");
  if (!opened) return opened.status();
  Table& t = **opened;
  Status st;
  for (st = t.goTop(); st && !t.eof(); st = t.skip(1)) {
    ChangeRow r;
    r.moment = trimRight(t.str("MOMENTO"));
    r.user = trimRight(t.str("USUARIO"));
    r.station = trimRight(t.str("ESTACION"));
    r.table = trimRight(t.str("TABLA"));
    r.key = trimRight(t.str("CLAVE"));
    r.code = trimRight(t.str("CODIGO"));
    r.period = trimRight(t.str("PERIODO"));
    const std::string op = t.str("OPERACION");
    r.operation = op.empty() ? ' ' : op[0];
    // The detail was cut in pieces of the field's width: glued back whole.
    if (withDetail) {
      for (int i = 1; i <= kDetailFields; ++i) r.detail += t.str("DETALLE" + std::to_string(i));
      r.detail = trimRight(r.detail);
    }
    out->push_back(std::move(r));
  }
  if (st) st = t.lastError();
  t.close();
  return st;
}

std::string lastInputChange(Session& s, const std::string& process) {
  const catalog::Period p = s.period();
  const bool grat = process == kRunGratification;
  std::vector<TableId> month = grat ? std::vector<TableId>{TableId::GratificationRoll}
                                    : std::vector<TableId>{TableId::ActiveEmployees, TableId::IncomeEntries,
                                                           TableId::VacationRoll};
  std::vector<TableId> company = {TableId::Rates, TableId::PensionFunds, TableId::ExchangeRates, TableId::Earnings,
                                  TableId::Deductions};
  if (grat) company.push_back(TableId::EmployeeMaster);
  std::vector<std::string> monthNames, companyNames;
  for (TableId id : month) monthNames.push_back(lower(catalog::baseName(id, p)));
  for (TableId id : company) companyNames.push_back(lower(catalog::baseName(id, p)));
  const std::string period = periodOf(s);

  std::vector<ChangeRow> rows;
  if (!readChangeLog(s, &rows, false)) return "";
  std::string last;
  auto in = [](const std::vector<std::string>& v, const std::string& x) {
    return std::find(v.begin(), v.end(), x) != v.end();
  };
  for (const ChangeRow& r : rows) {
    const std::string table = lower(r.table);
    const bool counts = in(monthNames, table) || (in(companyNames, table) && r.period == period);
    if (counts && r.moment > last) last = r.moment;
  }
  return last;
}

namespace {
// The size of a file of the data directory (0 when missing or unreadable).
uint64_t fileSize(Session& s, const std::string& name) {
  const std::string path = s.fs().resolve(s.path(name));
  if (!s.fs().exists(path)) return 0;
  OpenOptions ro;
  ro.readOnly = true;
  auto f = s.fs().open(path, ro);
  if (!f) return 0;
  auto n = (*f)->size();
  return n ? *n : 0;
}
}  // namespace

bool warnIfStale(Session& s, const std::string& process) {
  if (trimRight(s.YCIA).empty()) return false;
  // Every change and every run adds a record to the log or the register: while their
  // sizes stay as they were, the answer stands (the payslips of a whole month ask once
  // per employee). The warning is given every time.
  const std::string key = process + periodOf(s) + "/" + std::to_string(fileSize(s, logDef(s).dbf())) + "/" +
                          std::to_string(fileSize(s, s.def(catalog::TableId::RunRegister).dbf()));
  if (key != s.staleCheck) {
    s.staleCheck = key;
    s.staleResult = resultsStale(s, process);
  }
  if (s.staleResult) ui::MSGALERT(s.messages(), kStaleResults, "Aviso");
  return s.staleResult;
}

bool resultsStale(Session& s, const std::string& process) {
  RunRow run;
  if (!lastFinishedRun(s, process, periodOf(s), &run)) return false;
  const std::string change = lastInputChange(s, process);
  // A change made while the run went on may have been read or not: it counts as after.
  return !change.empty() && change >= run.start;
}

}  // namespace planilla
