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

MonthReader::MonthReader() = default;
MonthReader::~MonthReader() = default;

bool MonthReader::fail(const Status& st) {
  showTableError(*s_, st);
  failed_ = true;
  return false;
}

bool MonthReader::open(Session& s, Month& out) {
  s_ = &s;
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

  pay_ = openShared(s, TableId::PayrollSoles, "Archivo Planilla-1 Mes " + s.YMES + " No Existe ");
  if (!pay_) return false;
  for (int i = 0; i < pay_->fieldCount(); ++i) {
    bool seen = false;
    for (const FieldSpec& f : out.payFields) seen = seen || ui::upper1252(f.name) == ui::upper1252(pay_->field(i).name);
    if (!seen) out.payFields.push_back(pay_->field(i));
  }
  // Only the codes are kept: the rows are read again one by one in code order.
  Status st = pay_->goTop();
  for (; st && !pay_->eof(); st = pay_->skip()) order_.emplace_back(trim(pay_->str("CODIGO")), pay_->recno());
  if (!st) return fail(st);
  if (order_.empty()) {
    ui::MSGSTOP(s.messages(), "Sin Registros", "Mensaje");
    return false;
  }
  std::stable_sort(order_.begin(), order_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  if (s.YMES == "07" || s.YMES == "12") {
    if (catalog::tableExists(s.fs(), s.dataDir(), s.def(TableId::GratSoles))) {
      grat_ = openShared(s, TableId::GratSoles, "");
      if (!grat_) return false;
      st = grat_->goTop();
      for (; st && !grat_->eof(); st = grat_->skip()) gratRecords_.emplace(trim(grat_->str("CODIGO")), grat_->recno());
      if (!st) return fail(st);
      out.hasGratification = true;
      // The roll holds the advance the run charged the fund contributions on.
      if (catalog::tableExists(s.fs(), s.dataDir(), s.def(TableId::GratificationRoll))) {
        roll_ = openShared(s, TableId::GratificationRoll, "");
        if (!roll_) return false;
      }
    }
  }
  active_ = openShared(s, TableId::ActiveEmployees, "Maestro De Empleados No Existe");
  if (!active_) return false;
  first_ = out.first;
  last_ = out.last;
  if (catalog::tableExists(s.fs(), s.dataDir(), s.def(TableId::Settlements))) {
    settlements_ = openShared(s, TableId::Settlements, "");
    if (!settlements_) return false;
  }

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

bool MonthReader::next(Employee& e) {
  if (failed_ || !pay_ || next_ >= order_.size()) return false;
  const auto& [code, recno] = order_[next_++];
  e = Employee{};
  // An amount that cannot be read stops the export ("Dato No Numerico En ..."): it is
  // never written as 0.
  if (Status st = pay_->go(recno); !st || !(st = checkNumbers(*pay_))) return fail(st);
  e.pay = readRow(*pay_);
  e.code = e.pay.t("CODIGO");
  e.name = e.pay.t("NOMBRE");
  if (auto g = gratRecords_.find(code); g != gratRecords_.end()) {
    if (Status st = grat_->go(g->second); !st || !(st = checkNumbers(*grat_))) return fail(st);
    e.grat = readRow(*grat_);
    if (e.gratChargedFund() && roll_) {
      if (roll_->seek(padTo(e.code, 10))) e.gratFundBase = roll_->num("DSCLEY");
      else if (Status st = roll_->lastError(); !st) return fail(st);
    }
  }
  if (settlements_ && settlements_->seek(padTo(e.code, 10))) {
    for (; !settlements_->eof() && trim(settlements_->str("CODIGO")) == e.code; (void)settlements_->skip()) {
      const Date cese = settlements_->date("FCESE");
      if (cese < first_ || last_ < cese) continue;
      if (Status st = checkNumbers(*settlements_); !st) return fail(st);
      e.settlement = readRow(*settlements_);
    }
  }
  if (Status st = settlements_ ? settlements_->lastError() : Status::ok(); !st) return fail(st);
  if (active_->seek(padTo(e.code, 10))) {
    Person& p = e.person;
    p.found = true;
    p.ap1 = trim(active_->str("apelli1"));
    p.ap2 = trim(active_->str("apelli2"));
    p.names = trim(trim(active_->str("nombre1")) + " " + trim(active_->str("nombre2")));
    p.docIden = ui::upper1252(trim(active_->str("DocIden")));
    p.docNumber = trim(active_->str("electoral"));
    p.retri = trim(active_->str("Retri"));
    p.hired = active_->date("fech_ing");
    p.ceased = active_->date("fcese");
  } else if (Status st = active_->lastError(); !st) {
    return fail(st);
  }
  return true;
}

bool Employee::gratChargedFund() const {
  return grat && (grat->n("AAPOR1") != 0 || grat->n("AAPOR2") != 0 || grat->n("AAPOR3") != 0 || grat->n("SNPT") != 0);
}

double Employee::fundCharge(const std::string& field) const {
  return pay.n(field) + (grat ? grat->n(field) : 0);
}

double Employee::fundBase() const { return insurablePay() + gratFundBase; }

bool readMonth(Session& s, Month& out) {
  MonthReader r;
  if (!r.open(s, out)) return false;
  Employee e;
  while (r.next(e)) out.employees.push_back(std::move(e));
  return !r.failed();
}

}  // namespace planilla::exports
