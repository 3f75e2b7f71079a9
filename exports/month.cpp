#include "exports/month.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "reports/report_format.h"
#include "session/tables.h"
#include "store/catalog.h"
#include "store/numbers.h"
#include "ui/picture.h"
#include "store/table.h"
#include "ui/messages.h"

namespace planilla::exports {

namespace {

using catalog::TableId;

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : reports::rtrim(s.substr(b));
}

ResultRow readRow(const Table& t) {
  ResultRow r;
  for (int i = 0; i < t.fieldCount(); ++i) {
    const FieldSpec& f = t.field(i);
    const std::string name = ui::upper1252(f.name);
    if (r.text.count(name) || r.num.count(name) || r.date.count(name)) continue;  // first of a name
    if (f.type == 'N') r.num[name] = t.num(i);
    else if (f.type == 'D') r.date[name] = t.date(f.name);
    else r.text[name] = t.str(i);
  }
  return r;
}

// Opens a table of the month for reading; shows why when it cannot.
std::unique_ptr<Table> openShared(Session& s, TableId id, const std::string& missing) {
  const catalog::TableDef def = s.def(id);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) {
    if (!missing.empty()) ui::MSGSTOP(s.messages(), missing, "Mensaje");
    return nullptr;
  }
  auto t = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!t) {
    showTableError(s, t.status());
    return nullptr;
  }
  return std::move(*t);
}

// Every live record of `t`, or false after showing the read error. An amount that
// cannot be read is such an error ("Dato No Numerico En ..."), never a 0 in a file.
bool readAll(Session& s, Table& t, std::vector<ResultRow>& out) {
  Status st = t.goTop();
  for (; st && !t.eof() && (st = checkNumbers(t)); st = t.skip()) out.push_back(readRow(t));
  if (!st) showTableError(s, st);
  return st.isOk();
}

}  // namespace

double ResultRow::n(const std::string& f) const {
  auto it = num.find(f);
  return it == num.end() ? 0 : it->second;
}

std::string ResultRow::t(const std::string& f) const {
  auto it = text.find(f);
  return it == text.end() ? std::string() : trim(it->second);
}

double Employee::insurablePay() const {
  if (person.retri == "2") return 0;
  return pay.n("TBRUTO") + pay.n("REFRIG") - pay.n("ESCOLAR");
}

bool readMonth(Session& s, Month& out) {
  if (trim(s.YCIA).empty() || trim(s.YMES).empty() || !s.YFECHA.valid()) {
    ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Mensaje");
    return false;
  }
  out = Month{};
  out.cia = trim(s.YCIA);
  out.ruc = trim(s.YRUC);
  out.company = trim(s.YNOMBRE1);
  out.year = s.YFECHA.year();
  // "00" is the month of 1 January: the files are those of January.
  out.month = s.YMES == "00" ? 1 : std::stoi(s.YMES);
  out.first = Date(out.year, out.month, 1);
  out.last = Date(out.year, out.month, Date::daysInMonth(out.year, out.month));

  std::vector<ResultRow> pay, grat;
  {
    auto e2 = openShared(s, TableId::PayrollSoles, "Archivo Planilla-1 Mes " + s.YMES + " No Existe ");
    if (!e2 || !readAll(s, *e2, pay)) return false;
    for (int i = 0; i < e2->fieldCount(); ++i) {
      bool seen = false;
      for (const FieldSpec& f : out.payFields) seen = seen || ui::upper1252(f.name) == ui::upper1252(e2->field(i).name);
      if (!seen) out.payFields.push_back(e2->field(i));
    }
  }
  if (pay.empty()) {
    ui::MSGSTOP(s.messages(), "Sin Registros", "Mensaje");
    return false;
  }
  if (s.YMES == "07" || s.YMES == "12") {
    if (catalog::tableExists(s.fs(), s.dataDir(), s.def(TableId::GratSoles))) {
      auto he = openShared(s, TableId::GratSoles, "");
      if (!he || !readAll(s, *he, grat)) return false;
      out.hasGratification = true;
    }
  }
  std::map<std::string, ResultRow> gratByCode;
  for (ResultRow& g : grat) gratByCode.emplace(g.t("CODIGO"), std::move(g));
  auto active = openShared(s, TableId::ActiveEmployees, "Maestro De Empleados No Existe");
  if (!active) return false;
  for (ResultRow& r : pay) {
    Employee e;
    e.code = r.t("CODIGO");
    e.name = r.t("NOMBRE");
    if (active->seek(padTo(e.code, 10))) {
      Person& p = e.person;
      p.found = true;
      p.ap1 = trim(active->str("apelli1"));
      p.ap2 = trim(active->str("apelli2"));
      p.names = trim(trim(active->str("nombre1")) + " " + trim(active->str("nombre2")));
      p.docIden = ui::upper1252(trim(active->str("DocIden")));
      p.docNumber = trim(active->str("electoral"));
      p.retri = trim(active->str("Retri"));
      p.hired = active->date("fech_ing");
      p.ceased = active->date("fcese");
    } else if (Status st = active->lastError(); !st) {
      showTableError(s, st);
      return false;
    }
    if (auto g = gratByCode.find(e.code); g != gratByCode.end()) e.grat = g->second;
    e.pay = std::move(r);
    out.employees.push_back(std::move(e));
  }
  active.reset();
  std::stable_sort(out.employees.begin(), out.employees.end(),
                   [](const Employee& a, const Employee& b) { return a.code < b.code; });

  if (catalog::tableExists(s.fs(), s.dataDir(), s.def(TableId::PensionFunds))) {
    auto funds = openShared(s, TableId::PensionFunds, "");
    if (!funds) return false;
    std::vector<ResultRow> rows;
    if (!readAll(s, *funds, rows)) return false;
    const std::string mes = s.YMES == "00" ? "01" : s.YMES;
    for (const ResultRow& r : rows) {
      if (r.t("MES") != mes) continue;
      Fund f{r.t("CODIGO"), r.t("NOMBRE"), r.n("AFPPOR1"), r.n("AFPPOR2"), r.n("AFPPOR3"), r.n("AFPPOR4")};
      out.funds[f.code] = f;
    }
  }
  return true;
}

}  // namespace planilla::exports
