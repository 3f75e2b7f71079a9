#include "calc/settlement_store.h"

#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>

#include "calc/record.h"
#include "session/change_log.h"
#include "session/run_register.h"
#include "session/tables.h"
#include "store/catalog.h"
#include "ui/messages.h"

namespace planilla::calc {

namespace {

using catalog::TableDef;
using catalog::TableId;

const char* kTitle = "Mensaje";

bool refuse(Session& s, const std::string& text) {
  ui::MSGSTOP(s.messages(), text, kTitle);
  return false;
}

std::string two(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n % 100);
  return b;
}

catalog::Period periodOf(const Session& s, int year, int month = 0) {
  return {s.YCIA, month ? two(month) : s.YMES, two(year)};
}

// An open table of the catalog, or nothing when the file does not exist. Any other
// failure (in use by a run, damaged index) is shown and `ok` turns false.
std::unique_ptr<Table> openIfPresent(Session& s, const TableDef& def, bool& ok) {
  if (!ok || !catalog::tableExists(s.fs(), s.dataDir(), def)) return nullptr;
  auto t = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!t) {
    showTableError(s, t.status());
    ok = false;
    return nullptr;
  }
  return std::move(*t);
}

// Calls `fn` with each live record of `t` whose code is `code` (ordered by code);
// false after a message when a number cannot be read.
bool eachOfCode(Session& s, Table& t, const std::string& code, const std::function<void(const RecordView&)>& fn) {
  if (!t.seek(code)) return true;
  RecordView v(t);
  for (; !t.eof() && t.str("CODIGO") == code; (void)t.skip(1)) {
    v.load(t);
    fn(v);
    if (Status st = v.numberError(); !st) {
      ui::MSGSTOP(s.messages(), st.message(), kTitle);
      return false;
    }
  }
  return true;
}

// The employee's amount `field` in a result table of a run, when it holds him.
std::optional<double> resultAmount(Session& s, const TableDef& def, const std::string& code, const char* field,
                                   bool& ok) {
  std::optional<double> out;
  auto t = openIfPresent(s, def, ok);
  if (!t) return out;
  ok = eachOfCode(s, *t, code, [&](const RecordView& v) { out = v.num(field); });
  t->close();
  return out;
}

Date lastDayOf(int y, int m) { return Date(y, m, Date::daysInMonth(y, m)); }

// The settlements table of a year, created on first use.
TableDef settlementsDef(const Session& s, int year) { return catalog::define(TableId::Settlements, periodOf(s, year)); }

// Moves `t` to the employee's row of the present employment (the last row of the code
// whose termination date is not before the hire date); false when none.
bool findRow(Table& t, const std::string& code, const Date& hire) {
  uint32_t rec = 0;
  if (t.seek(code))
    for (; !t.eof() && t.str("CODIGO") == code; (void)t.skip(1))
      if (!(t.date("FCESE") < hire)) rec = t.recno();
  if (rec == 0) return false;
  return t.go(rec).isOk();
}

Status fillRecord(PendingRecord& r, const SettlementCase& c) {
  const Settlement& x = c.result;
  Status st = Status::ok();
  auto num = [&](const char* f, double v) { if (st) st = r.setNum(f, v); };
  auto txt = [&](const char* f, const std::string& v) { if (st) st = r.setText(f, v); };
  auto dat = [&](const char* f, const Date& v) { if (st) st = r.setDate(f, v); };
  txt("CODIGO", c.emp.code);
  txt("NOMBRE", c.emp.name);
  dat("FECH_ING", x.hire);
  dat("FCESE", x.cese);
  txt("MOTIVO", x.reason);
  dat("FECHA", c.computedOn);
  txt("ESTADO", c.estado.empty() ? kCalculated : c.estado);
  dat("FECHAPAGO", c.paidOn);
  num("RC_BASICO", x.rcBasic);
  num("RC_ASIGFAM", x.rcAsigna);
  num("RC_REGULAR", x.rcRegular);
  num("RC", x.rc);
  num("RC_GRAT6", x.rcGrat6);
  num("RC_CTS", x.rcCts);
  num("SERV_ANOS", x.service.years);
  num("SERV_MESES", x.service.months);
  num("SERV_DIAS", x.service.days);
  dat("CTS_DESDE", x.ctsFrom);
  num("CTS_MESES", x.cts.months);
  num("CTS_DIAS", x.cts.days);
  num("CTS", x.ctsAmount);
  dat("VT_DESDE", x.vacFrom);
  num("VT_MESES", x.vacTrunc.months);
  num("VT_DIAS", x.vacTrunc.days);
  num("VAC_TRUNC", x.vacTruncAmount);
  num("VP_DIAS", x.vacPendingDays);
  num("VAC_PEND", x.vacPending);
  num("VI_DIAS", x.vacIndemnityDays);
  num("VAC_INDEM", x.vacIndemnity);
  dat("GR_DESDE", x.gratFrom);
  num("GR_MESES", x.gratMonths);
  num("GRAT", x.grat);
  num("BONIF_PCT", x.bonifi9);
  num("BONIF", x.bonus);
  num("IN_ANOS", x.indemnitySpan.years);
  num("IN_MESES", x.indemnitySpan.months);
  num("IN_DIAS", x.indemnitySpan.days);
  num("INDEMNIZ", x.indemnity);
  num("AFECTO", x.affected);
  num("AFP_APORTE", x.afpAporte);
  num("AFP_PRIMA", x.afpPrima);
  num("AFP_COMIS", x.afpComision);
  num("ONP", x.onp);
  num("RENTA5", x.tax);
  num("T_INGRESO", x.gross);
  num("T_DSCTO", x.deductions);
  num("NETO", x.net);
  num("ESSALUD", x.essalud);
  dat("PLAZO", x.deadline);
  return st;
}

void readRecord(const RecordView& v, SettlementCase& c) {
  Settlement& x = c.result;
  x.hire = v.date("FECH_ING");
  x.cese = v.date("FCESE");
  x.reason = v.str("MOTIVO");
  c.computedOn = v.date("FECHA");
  c.estado = trimRight(v.str("ESTADO"));
  c.paidOn = v.date("FECHAPAGO");
  x.rcBasic = v.num("RC_BASICO");
  x.rcAsigna = v.num("RC_ASIGFAM");
  x.rcRegular = v.num("RC_REGULAR");
  x.rc = v.num("RC");
  x.rcGrat6 = v.num("RC_GRAT6");
  x.rcCts = v.num("RC_CTS");
  x.service = spanOf(days360(x.hire, x.cese));
  x.ctsFrom = v.date("CTS_DESDE");
  x.cts.months = static_cast<int>(v.num("CTS_MESES"));
  x.cts.days = static_cast<int>(v.num("CTS_DIAS"));
  x.ctsAmount = v.num("CTS");
  x.vacFrom = v.date("VT_DESDE");
  x.vacTrunc.months = static_cast<int>(v.num("VT_MESES"));
  x.vacTrunc.days = static_cast<int>(v.num("VT_DIAS"));
  x.vacTruncAmount = v.num("VAC_TRUNC");
  x.vacPendingDays = v.num("VP_DIAS");
  x.vacPending = v.num("VAC_PEND");
  x.vacIndemnityDays = v.num("VI_DIAS");
  x.vacIndemnity = v.num("VAC_INDEM");
  x.gratFrom = v.date("GR_DESDE");
  x.gratMonths = static_cast<int>(v.num("GR_MESES"));
  x.grat = v.num("GRAT");
  x.bonifi9 = v.num("BONIF_PCT");
  x.bonus = v.num("BONIF");
  x.indemnitySpan.years = static_cast<int>(v.num("IN_ANOS"));
  x.indemnitySpan.months = static_cast<int>(v.num("IN_MESES"));
  x.indemnitySpan.days = static_cast<int>(v.num("IN_DIAS"));
  x.indemnity = v.num("INDEMNIZ");
  x.indemnityCapped = x.indemnity > 0 && x.indemnity == round2(12 * x.rc);
  x.affected = v.num("AFECTO");
  x.afpAporte = v.num("AFP_APORTE");
  x.afpPrima = v.num("AFP_PRIMA");
  x.afpComision = v.num("AFP_COMIS");
  x.onp = v.num("ONP");
  x.tax = v.num("RENTA5");
  x.gross = v.num("T_INGRESO");
  x.deductions = v.num("T_DSCTO");
  x.net = v.num("NETO");
  x.essalud = v.num("ESSALUD");
  x.deadline = v.date("PLAZO");
}

// The worker's data from the master record.
SettlementEmployee employeeOf(const RecordView& v) {
  SettlementEmployee e;
  e.code = v.str("CODIGO");
  e.name = trimRight(v.str("NOMBRE"));
  e.dni = trimRight(v.str("ELECTORAL"));
  e.cargo = trimRight(v.str("CARGO"));
  e.direccion = trimRight(v.str("DIRECCION"));
  e.banco = v.str("BANCO");
  e.ctacte = trimRight(v.str("CTACTE"));
  e.codafp = v.str("CODAFP");
  e.nroafp = trimRight(v.str("NROAFP"));
  e.dolar = v.str("DOLAR");
  e.hire = v.date("FECH_ING");
  return e;
}

// Opens the master and reads the employee's record; false after a message.
bool readMaster(Session& s, const std::string& code, std::unique_ptr<Table>* master, RecordView* rec) {
  const TableDef def = s.def(TableId::EmployeeMaster);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return refuse(s, "Maestro De Empleados No Existe");
  auto t = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!t) {
    showTableError(s, t.status());
    return false;
  }
  Table& m = **t;
  (void)m.setOrder(1);
  if (!m.seek(code)) return refuse(s, "Codigo Empleado  " + trimRight(code) + " No Existe");
  *rec = RecordView(m);
  rec->load(m);
  *master = std::move(*t);
  return true;
}

}  // namespace

bool prepareSettlement(Session& s, const std::string& codeIn, const Date& cese, const std::string& reason,
                       const std::string& exchangeCode, SettlementCase* out) {
  if (trimRight(s.YCIA).empty() || trimRight(s.YANO).empty() || s.YFECHA.empty())
    return refuse(s, "Primero, Elija La Compania Con Que Va a Trabajar (cia)");
  const std::string code = padTo(codeIn, 10);
  if (trimRight(code).empty()) return refuse(s, "Codigo En Blanco");
  if (trimRight(reason).empty()) return refuse(s, "Ingrese El Motivo Del Cese");
  if (!endReasonName(reason)) return refuse(s, "Motivo De Cese " + reason + " No Existe En La Tabla De SUNAT");
  if (!cese.valid()) return refuse(s, "Ingrese La Fecha De Cese");

  std::unique_ptr<Table> master;
  RecordView e;
  if (!readMaster(s, code, &master, &e)) return false;
  master->close();
  const Status bad = e.checkNumbers({"BAS_MEN", "ASIGNA"});
  if (!bad) return refuse(s, bad.message());
  SettlementCase c;
  c.emp = employeeOf(e);
  c.computedOn = s.YFECHA;
  SettlementInput& in = c.in;
  in.hire = c.emp.hire;
  in.cese = cese;
  in.reason = reason;
  const Date monthEnd = lastDayOf(s.YFECHA.year(), s.YFECHA.month());
  if (in.hire.empty()) return refuse(s, "El Trabajador No Tiene Fecha De Ingreso En El Maestro");
  if (cese < in.hire) return refuse(s, "La Fecha De Cese Es Anterior A La Fecha De Ingreso (" + in.hire.dmy() + ")");
  if (monthEnd < cese) return refuse(s, "La Fecha De Cese Es Posterior Al Mes De Trabajo (" + monthEnd.dmy() + ")");
  if (e.str("RETRI") == "2")
    return refuse(s, "Trabajador Pagado Por Retribucion: No Tiene Beneficios Sociales De Planilla");
  const double basMen = e.num("BAS_MEN");
  if (!(basMen > 0)) return refuse(s, "El Trabajador No Tiene Remuneracion En El Maestro");

  // A paid settlement of this employment never changes.
  bool ok = true;
  {
    auto lq = openIfPresent(s, settlementsDef(s, cese.year()), ok);
    if (!ok) return false;
    if (lq && findRow(*lq, code, in.hire)) {
      c.estado = trimRight(lq->str("ESTADO"));
      c.paidOn = lq->date("FECHAPAGO");
    }
    if (c.estado == kPaid)
      return refuse(s, "La Liquidacion De " + trimRight(code) + " Ya Fue Pagada El " + c.paidOn.dmy() +
                           ": No Se Puede Modificar");
  }

  // Pay in soles at the termination date, as the monthly run converts it.
  const Currency cur = currencyOf(e.str("DOLAR"));
  if (cur == Currency::Unknown) return refuse(s, "Moneda Del Basico No Valida (S/D/E) En El Maestro");
  in.basic = basMen;
  if (cur != Currency::Soles) {
    if (trimRight(exchangeCode).empty())
      return refuse(s, "Remuneracion En Moneda Extranjera: Indique El Tipo De Cambio");
    auto tc = openIfPresent(s, catalog::define(TableId::ExchangeRates, s.period()), ok);
    if (!ok) return false;
    if (!tc || !tc->seek(padTo(exchangeCode, 6)))
      return refuse(s, "Tipo De Cambio  " + trimRight(exchangeCode) + " No Existe");
    const double rate = tc->num(cur == Currency::Dollars ? "TIP_CAM" : "TIP_CAME");
    if (!(rate > 0)) return refuse(s, "Tipo De Cambio  " + trimRight(exchangeCode) + " Es Cero");
    in.basic = round2(rate * basMen);
  }
  in.asigna = e.num("ASIGNA");

  // Rates record.
  {
    auto rt = openIfPresent(s, s.def(TableId::Rates), ok);
    if (!ok) return false;
    if (!rt) return refuse(s, "Maestro De Descuentos No Existe");
    (void)rt->goTop();
    if (rt->eof()) return refuse(s, "Maestro De Descuentos Sin Registro");
    RecordView v(*rt);
    v.load(*rt);
    const PayrollParams p = readParams(v);
    in.snpt = p.snpt;
    in.ipsse = p.ipsse;
    in.bonifi9 = p.bonifi9 > 0 ? p.bonifi9 : 9;
    in.uit = p.uit2;
    in.bands = p.bands;
  }

  // Pension fund rates of the termination month.
  in.fundMember = !trimRight(c.emp.codafp).empty();
  in.insured = e.str("SEGUROAFP") == "S";
  if (in.fundMember) {
    auto pf = openIfPresent(s, catalog::define(TableId::PensionFunds, periodOf(s, cese.year())), ok);
    if (!ok) return false;
    if (!pf || !pf->seek(two(cese.month()) + c.emp.codafp))
      return refuse(s, "Codigo Afp  " + trimRight(c.emp.codafp) + " Sin Tasas Para El Mes " + two(cese.month()) +
                           "/" + std::to_string(cese.year()));
    RecordView v(*pf);
    v.load(*pf);
    in.fund = readFundRates(v);
  }

  // Regular items: the six months before the termination month's.
  struct Item {
    const char* name;
    std::vector<const char*> fields;
  };
  const Item items[] = {{"Movilidad", {"MOVILI"}}, {"Horas extras", {"HSIMPLE_P", "HDOBLE_P"}}, {"Otros ingresos", {"SUMINI"}}};
  for (const Item& it : items) in.regular.push_back({it.name, 0, 0});
  for (int k = 1; k <= 6 && ok; ++k) {
    int y = cese.year(), m = cese.month() - k;
    if (m < 1) { m += 12; --y; }
    auto e2 = openIfPresent(s, catalog::define(TableId::PayrollSoles, periodOf(s, y, m)), ok);
    if (!e2) continue;
    ok = eachOfCode(s, *e2, code, [&](const RecordView& v) {
      for (size_t i = 0; i < std::size(items); ++i) {
        double a = 0;
        for (const char* f : items[i].fields) a += v.num(f);
        if (a != 0) {
          in.regular[i].sum6 += a;
          in.regular[i].monthsPaid += 1;
        }
      }
    });
    e2->close();
  }
  if (!ok) return false;

  // Gratifications paid: the one of the CTS half-year, and how far they cover.
  auto gratOf = [&](int y, int m, const char* field) {
    return resultAmount(s, catalog::define(TableId::GratSoles, periodOf(s, y, m)), code, field, ok);
  };
  const int cy = cese.year(), cm = cese.month();
  if (cm >= 7 && cm <= 10) in.ctsGrat = gratOf(cy, 7, "GRATIF").value_or(0);
  if (cm == 12) in.ctsGrat = gratOf(cy, 12, "GRATIF").value_or(0);
  if (cm <= 4) in.ctsGrat = gratOf(cy - 1, 12, "GRATIF").value_or(0);
  const std::pair<Date, std::pair<int, int>> covers[] = {{Date(cy, 12, 31), {cy, 12}}, {Date(cy, 6, 30), {cy, 7}},
                                                         {Date(cy - 1, 12, 31), {cy - 1, 12}}};
  for (const auto& [through, run] : covers) {
    if (gratOf(run.first, run.second, "TBRUTO").has_value()) {
      in.gratCoveredThrough = through;
      break;
    }
  }
  if (!ok) return false;

  // Vacation rolls from the hire month on: the first one on file starts the records
  // the system knows; every day taken since counts.
  for (int y = in.hire.year(); y <= cy && ok; ++y) {
    for (int m = (y == in.hire.year() ? in.hire.month() : 1); m <= 12 && !(y == cy && m > cm); ++m) {
      auto ve = openIfPresent(s, catalog::define(TableId::VacationRoll, periodOf(s, y, m)), ok);
      if (!ve) {
        if (!ok) break;
        continue;
      }
      if (in.vacDataFrom.empty()) in.vacDataFrom = Date(y, m, 1);
      ok = eachOfCode(s, *ve, code, [&](const RecordView& v) { in.vacDaysTaken += v.num("DIAVAC"); });
      ve->close();
    }
  }
  if (!ok) return false;

  // Fifth-category tax on the year's recorded income.
  const std::string quinta = e.str("QUINTA");
  in.taxed = quinta == "S" || quinta == "E";
  if (in.taxed) {
    for (TableId id : {TableId::Earnings, TableId::Deductions}) {
      auto t = openIfPresent(s, catalog::define(id, periodOf(s, cy)), ok);
      if (!t) continue;
      std::optional<YearRow> row;
      if (Status st = readYearRow(*t, code, &row); !st) return refuse(s, st.message());
      t->close();
      if (!row) continue;
      double sum = 0;
      for (double v : row->month) sum += v;
      if (id == TableId::Earnings) in.yearIncome += sum;
      else in.yearWithheld += sum + row->graf2;
    }
    for (int m : {7, 12}) in.yearIncome += gratOf(cy, m, "TBRUTO").value_or(0);
    if (!ok) return false;
  }

  c.result = computeSettlement(in);
  *out = std::move(c);
  return true;
}

bool saveSettlement(Session& s, const SettlementCase& c) {
  // A saved settlement is a run: the register says who saved it, when, and its totals.
  RunRecord reg(s, kRunSettlement);
  if (!reg.started()) return false;
  const TableDef def = settlementsDef(s, c.result.cese.year());
  if (Status st = catalog::ensureTable(s.fs(), s.dataDir(), def); !st) {
    showTableError(s, st);
    return false;
  }
  std::unique_ptr<Table> master;
  RecordView e;
  if (!readMaster(s, c.emp.code, &master, &e)) return false;
  auto opened = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!opened) {
    showTableError(s, opened.status());
    return false;
  }
  Table& lq = **opened;
  Table& m = *master;
  auto done = [&](bool result) {
    lq.unlockAll();
    m.unlockAll();
    lq.close();
    m.close();
    return result;
  };
  // Both records are locked before anything is written.
  if (!m.lockRecord()) return done(refuse(s, "Acceso Denegado Registro En Uso"));
  const bool exists = findRow(lq, c.emp.code, c.emp.hire);
  if (exists) {
    if (trimRight(lq.str("ESTADO")) == kPaid)
      return done(refuse(s, "La Liquidacion De " + trimRight(c.emp.code) + " Ya Fue Pagada El " +
                                lq.date("FECHAPAGO").dmy() + ": No Se Puede Modificar"));
    if (!lq.lockRecord()) return done(refuse(s, "Acceso Denegado Registro En Uso"));
  }
  PendingRecord r = PendingRecord::forTable(lq);
  SettlementCase fresh = c;
  fresh.estado = kCalculated;
  fresh.paidOn = Date();
  Status st = fillRecord(r, fresh);
  if (st) st = exists ? r.writeOver(lq) : r.appendTo(lq);
  if (st) st = lq.flush();
  const std::string masterBefore = m.rawRecord();
  if (st) st = m.replace("FCESE", c.result.cese);
  if (st) st = m.replace("BAJA", "1");
  if (st) st = m.flush();
  if (!st) return done(refuse(s, "No Se Pudo Grabar La Liquidacion: " + st.message()));
  // The termination date written into the master is a change to it like any other.
  (void)logChange(s, m, 'M', masterBefore, m.rawRecord());
  reg.count(c.result.gross, c.result.deductions, c.result.net, c.result.essalud);
  reg.finish();
  return done(true);
}

bool markSettlementPaid(Session& s, const std::string& codeIn, const Date& paidOn) {
  const std::string code = padTo(codeIn, 10);
  std::unique_ptr<Table> master;
  RecordView e;
  if (!readMaster(s, code, &master, &e)) return false;
  master->close();
  const Date hire = e.date("FECH_ING");
  const Date cese = e.date("FCESE");
  if (cese.empty()) return refuse(s, "Trabajador Sin Liquidacion Grabada");
  bool ok = true;
  auto lq = openIfPresent(s, settlementsDef(s, cese.year()), ok);
  if (!ok) return false;
  if (!lq || !findRow(*lq, code, hire)) return refuse(s, "Trabajador Sin Liquidacion Grabada");
  if (trimRight(lq->str("ESTADO")) == kPaid)
    return refuse(s, "La Liquidacion De " + trimRight(code) + " Ya Fue Pagada El " + lq->date("FECHAPAGO").dmy());
  if (!paidOn.valid() || paidOn < cese) return refuse(s, "La Fecha De Pago Es Anterior A La Fecha De Cese");
  if (!lq->lockRecord()) return refuse(s, "Acceso Denegado Registro En Uso");
  PendingRecord r = PendingRecord::forTable(*lq);
  RecordView v(*lq);
  v.load(*lq);
  // The row is written whole, with the two fields changed.
  Status st = Status::ok();
  for (size_t i = 0; i < r.fields().size() && st; ++i) {
    const FieldSpec& f = r.fields()[i];
    if (f.type == 'N') st = r.setNum(f.name, v.num(f.name));
    else if (f.type == 'D') st = r.setDate(f.name, v.date(f.name));
    else st = r.setText(f.name, v.str(f.name));
  }
  if (st) st = v.numberError();
  if (st) st = r.setText("ESTADO", kPaid);
  if (st) st = r.setDate("FECHAPAGO", paidOn);
  if (st) st = r.writeOver(*lq);
  if (st) st = lq->flush();
  lq->unlockAll();
  lq->close();
  if (!st) return refuse(s, "No Se Pudo Grabar La Liquidacion: " + st.message());
  return true;
}

bool readStoredSettlement(Session& s, const std::string& codeIn, SettlementCase* out) {
  const std::string code = padTo(codeIn, 10);
  std::unique_ptr<Table> master;
  RecordView e;
  if (!readMaster(s, code, &master, &e)) return false;
  master->close();
  SettlementCase c;
  c.emp = employeeOf(e);
  bool ok = true;
  for (int year : {s.YFECHA.year(), s.YFECHA.year() - 1}) {
    auto lq = openIfPresent(s, settlementsDef(s, year), ok);
    if (!ok) return false;
    if (!lq || !findRow(*lq, code, c.emp.hire)) continue;
    RecordView v(*lq);
    v.load(*lq);
    readRecord(v, c);
    if (Status st = v.numberError(); !st) return refuse(s, st.message());
    *out = std::move(c);
    return true;
  }
  return refuse(s, "Trabajador Sin Liquidacion Grabada");
}

}  // namespace planilla::calc
