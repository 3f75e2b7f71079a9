#include "calc/runs.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <unordered_map>

#include "session/run_register.h"
#include "session/run_tables.h"
#include "session/startup.h"
#include "session/tables.h"
#include "calc/gratificacion.h"
#include "calc/payroll.h"
#include "calc/quinta.h"
#include "calc/record.h"
#include "calc/run_stamps.h"
#include "calc/tax_law.h"
#include "store/catalog.h"
#include "ui/messages.h"

namespace planilla::calc {

namespace {

using catalog::TableDef;
using catalog::TableId;

const char* kTemplate = "pbase18.dbf";
const char* kReadTitle = "Lea  El  Mensaje";
const char* kFileInUse = "Apertura Denegada El Archivo Esta En Uso";

bool exists(Session& s, const TableDef& d) { return catalog::tableExists(s.fs(), s.dataDir(), d); }

// Opens a table of the run into `area`; shows the failure's message and returns
// nullptr when it cannot be opened.
Table* openRun(Session& s, int area, const TableDef& def, std::optional<OpenMode> mode, const std::string& alias) {
  auto t = s.open(area, def, mode, alias);
  if (!t) {
    showTableError(s, t.status());
    return nullptr;
  }
  return *t;
}

// Opens a table with only its first index bag (the code order), as the runs need it:
// the employee tables' name-order bag plays no part.
Table* openCodeOrder(Session& s, int area, const TableDef& def, const std::string& alias) {
  std::vector<std::string> bags = def.bags();
  if (bags.size() > 1) bags.resize(1);
  auto t = s.open(area, def.dbf(), alias, std::nullopt, bags);
  if (!t) {
    showTableError(s, t.status());
    return nullptr;
  }
  return *t;
}

// What a run cut short left is put in order before a run starts (see
// session/run_tables.h); a table another station holds ends the run, nothing changed.
bool settled(Session& s) {
  Status st = settleRunTables(s);
  if (st) return true;
  if (st.code() == ErrorCode::InUse)
    ui::MSGSTOP(s.messages(), kFileInUse, "Mensaje");
  else
    showTableError(s, st);
  return false;
}

// The month's results in place are held from before anything is written until the
// new ones take their place: a table another station has open ends the run here,
// with nothing changed, and readers meanwhile are told the month is being calculated.
bool holdResults(Session& s, RunTables& out, std::initializer_list<const TableDef*> defs) {
  for (const TableDef* d : defs) {
    Status st = out.hold(*d);
    if (st) continue;
    if (st.code() == ErrorCode::InUse)
      ui::MSGSTOP(s.messages(), kFileInUse, "Mensaje");
    else
      showTableError(s, st);
    return false;
  }
  return true;
}

// A table of the new set (see RunTables), or nullptr after the failure's message.
Table* built(Session& s, Result<Table*> t) {
  if (t) return *t;
  showTableError(s, t.status());
  return nullptr;
}

// The result template must carry every field the run writes.
bool templateHolds(Session& s, const std::vector<std::string>& fields) {
  auto t = Table::open(s.fs(), s.path(kTemplate), OpenMode::Shared, "pbase18");
  if (!t) {
    showTableError(s, t.status().withContext(kTemplate));
    return false;
  }
  for (const std::string& f : fields) {
    if ((*t)->fieldIndex(f) < 0) {
      (*t)->close();
      ui::MSGSTOP(s.messages(), "Plantilla pbase18 Sin Campo " + f);
      return false;
    }
  }
  (*t)->close();
  return true;
}

// A number a run read that is no number: its message, and the end of the run.
bool unreadable(Session& s, const Status& st) {
  ui::MSGSTOP(s.messages(), st.message());
  s.closeAll();
  return false;
}

// The first record of the parameter table, in code order. Nothing after a message.
std::optional<PayrollParams> readParamsTable(Session& s, int area) {
  Table* t = openRun(s, area, s.def(TableId::Rates), std::nullopt, "Parame");
  if (!t) return std::nullopt;
  PayrollParams p;
  if (t->goTop().isOk() && !t->eof()) {
    RecordView v(*t);
    v.load(*t);
    p = readParams(v);
    if (Status st = v.numberError(); !st) {
      unreadable(s, st);
      return std::nullopt;
    }
  }
  s.close(area);
  return p;
}

struct ExchangeRate {
  bool opened = false;  // false after a message: the run ends
  bool found = false;
  double dollar = 0;
  double euro = 0;
};

ExchangeRate readExchangeRate(Session& s, const std::string& code) {
  ExchangeRate r;
  Table* t = openRun(s, 11, s.def(TableId::ExchangeRates), std::nullopt, "TipCam");
  if (!t) return r;
  if (t->seek(code)) {
    Result<double> dollar = checkedNum(*t, "TIP_CAM");
    Result<double> euro = dollar ? checkedNum(*t, "TIP_CAME") : dollar;
    if (!euro) {
      unreadable(s, euro.status());
      return r;
    }
    r.found = true;
    r.dollar = *dollar;
    r.euro = *euro;
  }
  r.opened = true;
  s.close(11);
  return r;
}

// Fund rates of the working month by fund code, looked up once per fund. `rates`
// stays empty when the fund has no record for the month.
class FundRatesCache {
 public:
  FundRatesCache(Table* funds, std::string ymes) : funds_(funds), view_(*funds), ymes_(std::move(ymes)) {}
  Status get(const std::string& codafp, std::optional<FundRates>* rates) {
    auto it = cache_.find(codafp);
    if (it != cache_.end()) {
      *rates = it->second;
      return Status::ok();
    }
    rates->reset();
    if (funds_->seek(ymes_ + codafp)) {
      view_.load(*funds_);
      FundRates r = readFundRates(view_);
      PLANILLA_RETURN_IF_ERROR(view_.numberError());
      *rates = r;
    }
    cache_.emplace(codafp, *rates);
    return Status::ok();
  }

 private:
  Table* funds_;
  RecordView view_;
  std::string ymes_;
  std::unordered_map<std::string, std::optional<FundRates>> cache_;
};

void missingFundMessages(Session& s, const Employee& e) {
  ui::MSGSTOP(s.messages(), "Falta Ingresar Tasas De La AFP " + e.codafp + " Del Mes " + s.YMES);
  ui::MSGSTOP(s.messages(), "Del Trabajador De Codigo " + e.codigo);
}

void unknownCurrencyMessage(Session& s, const Employee& e, const std::string& dolar) {
  ui::MSGSTOP(s.messages(), "Moneda " + dolar + " No Valida (S, D o E) Del Trabajador De Codigo " + e.codigo);
}

void zeroRateMessage(Session& s, const std::string& what, const std::string& code) {
  ui::MSGSTOP(s.messages(), "Tipo De Cambio " + what + " " + code + " En Cero, Proceso Cancelado");
}

// Ends a run after a failure of the tables or of a value that does not fit.
bool failEmployee(Session& s, const Status& st, const std::string& code) {
  ui::MSGSTOP(s.messages(), "Error En El Trabajador De Codigo " + code + ": " + st.message());
  s.closeAll();
  return false;
}

bool failTable(Session& s, const Status& st) {
  showTableError(s, st);
  s.closeAll();
  return false;
}

bool stop(Session& s) {
  s.closeAll();
  return false;
}

// The start every run shares: nothing left open, a company and period chosen, and the
// result template present.
bool runPrepared(Session& s) {
  s.closeAll();
  if (!requireCompany(s, true)) return false;
  if (!s.fileExists(kTemplate)) {
    ui::MSGSTOP(s.messages(), "WARNING  P18!!  ");
    return false;
  }
  return true;
}

// A table the run cannot do without, and the message shown when it is absent.
struct RequiredTable {
  const TableDef& def;
  const char* missing;
};

// The first absent table ends the run with its message (under `title` when given).
bool requireTables(Session& s, std::initializer_list<RequiredTable> tables, const char* title = nullptr) {
  for (const RequiredTable& r : tables) {
    if (exists(s, r.def)) continue;
    if (title)
      ui::MSGSTOP(s.messages(), r.missing, title);
    else
      ui::MSGSTOP(s.messages(), r.missing);
    return false;
  }
  return true;
}

// The rates of a run: the parameters and the exchange rate of `code`. False, with every
// table closed, when either table cannot be read.
bool readRunValues(Session& s, const std::string& code, RunValues& rv, ExchangeRate& xr) {
  rv.ymes = s.YMES;
  auto p = readParamsTable(s, 3);
  if (!p) return stop(s);
  rv.params = *p;
  xr = readExchangeRate(s, code);
  if (!xr.opened) return stop(s);
  rv.dollar = xr.dollar;
  rv.euro = xr.euro;
  return true;
}

// Appends a result record and releases the lock the append took, in every case.
Status appendReleased(const PendingRecord& rec, Table& t) {
  Status st = rec.appendTo(t);
  t.unlockAll();
  return st;
}

// Puts the run's new tables in place as one set; a failure ends the run with its
// message.
bool commitAll(Session& s, RunTables& out) {
  Status st = out.commit();
  if (!st) return failTable(s, st);
  return true;
}

// The tables the monthly run reads for each employee besides the employee table;
// nullptr when the file does not exist.
struct PayrollInputTables {
  Table* vacations = nullptr;  // DatVacac
  Table* entries = nullptr;    // DatHoras
  Table* december = nullptr;   // CalGraDi, read in December only
  std::optional<RecordView> vacView, entView;
  bool inDecember = false;
  void prepare(const std::string& ymes) {
    if (vacations) vacView.emplace(*vacations);
    if (entries) entView.emplace(*entries);
    inDecember = ymes == "12";
  }
};

// What the monthly run reads for one employee besides the employee's own record.
struct PayrollInputs {
  VacationEntry vac;
  std::optional<FundRates> fund;  // empty when the fund has no rates for the month
  MonthlyEntries me;
  double decPremium = 0;          // premium already charged in the December gratification
};

// Steps 1, 6 and 7 of one employee, and the December premium of step 13; an error
// names a number that is no number.
Status readPayrollInputs(PayrollInputTables& in, FundRatesCache& funds, const Employee& e, PayrollInputs& out) {
  if (in.vacations && in.vacations->seek(e.codigo)) {
    in.vacView->load(*in.vacations);
    out.vac.found = true;
    out.vac.control = in.vacView->num("CONTROL");
    out.vac.diavac = in.vacView->num("DIAVAC");
    PLANILLA_RETURN_IF_ERROR(in.vacView->numberError());
  }
  if (e.fundMember()) PLANILLA_RETURN_IF_ERROR(funds.get(e.codafp, &out.fund));
  if (in.entries && in.entries->seek(e.codigo)) {
    in.entView->load(*in.entries);
    out.me = readEntries(*in.entView);
    PLANILLA_RETURN_IF_ERROR(in.entView->numberError());
  }
  if (in.inDecember && in.december && in.december->seek(e.codigo)) {
    Result<double> d = checkedNum(*in.december, "AAPOR2");
    if (!d) return d.status();
    out.decPremium = *d;
  }
  return Status::ok();
}

}  // namespace

// ------------------------------------------------------------------------------------
// Monthly payroll.

bool PROCE01(Session& s, const std::string& codeIn) {
  // First: the register listens to every message the run shows.
  RunRecord reg(s, kRunPayroll);
  if (!reg.started()) return false;
  ui::Messages& msg = s.messages();
  const std::string code = padTo(codeIn, 6);
  // Preparation: the template and the tables the run cannot do without.
  if (!runPrepared(s) || !settled(s)) return false;
  const TableDef emp = s.def(TableId::ActiveEmployees);
  const TableDef rates = s.def(TableId::Rates);
  const TableDef funds = s.def(TableId::PensionFunds);
  const TableDef rete = s.def(TableId::Deductions);
  const TableDef habe = s.def(TableId::Earnings);
  if (!requireTables(s, {{emp, "Maestro De Empleados No Existe"},
                         {rates, "Maestro De Descuentos No Existe"},
                         {funds, "Maestro De AFP No Existe"},
                         {rete, "Tabla De Retenciones  No Existe"},
                         {habe, "Tabla De Haberes  No Existe"}}))
    return false;

  // Optional inputs: each that is missing contributes nothing.
  catalog::Period p07 = s.period(), p12 = s.period();
  p07.mes = "07";
  p12.mes = "12";
  const TableDef entries = s.def(TableId::IncomeEntries);
  const TableDef vacations = s.def(TableId::VacationRoll);
  const TableDef july = catalog::define(TableId::GratSoles, p07);
  const TableDef december = catalog::define(TableId::GratSoles, p12);
  const bool hasEntries = exists(s, entries);
  const bool hasVacations = exists(s, vacations);
  const bool hasJuly = exists(s, july);
  const bool hasDecember = exists(s, december);

  const TableDef e2 = s.def(TableId::PayrollSoles);
  const TableDef e1 = s.def(TableId::PayrollDollars);
  if (!templateHolds(s, payrollResultFields())) return false;

  // The rates of the run.
  RunValues rv;
  ExchangeRate xr;
  if (!readRunValues(s, code, rv, xr)) return false;
  TaxSettings taxSettings;
  if (Status ts = readTaxSettings(s, &taxSettings); !ts) return failTable(s, ts);

  // Every table of the run is opened before anything is deleted, so that a table
  // another station holds ends the run with nothing changed.
  Table* tEmp = openCodeOrder(s, 1, emp, "DatEmplea");
  if (!tEmp) return stop(s);
  Table* tFunds = openRun(s, 2, funds, std::nullopt, "DatAfp");
  if (!tFunds) return stop(s);
  Table* tRet = openRun(s, 5, rete, OpenMode::Exclusive, "TabReten");
  if (!tRet) return stop(s);
  Table* tHab = openRun(s, 6, habe, OpenMode::Exclusive, "TabHaber");
  if (!tHab) return stop(s);
  PayrollInputTables in;
  Table* tJul = nullptr;
  Table* tDec = nullptr;
  if (hasVacations && !(in.vacations = openRun(s, 8, vacations, std::nullopt, "DatVacac"))) return stop(s);
  if (hasEntries && !(in.entries = openRun(s, 9, entries, std::nullopt, "DatHoras"))) return stop(s);
  if (hasJuly && !(tJul = openRun(s, 10, july, std::nullopt, "CalGrati"))) return stop(s);
  if (hasDecember && !(tDec = openRun(s, 11, december, std::nullopt, "CalGraDi"))) return stop(s);
  in.december = tDec;
  in.prepare(s.YMES);
  RunTables out(s);
  if (!holdResults(s, out, {&e2, &e1})) return stop(s);

  TaxPeriod period{s.YFECHA.month(), s.YMES, s.YFECHA.year()};
  if (s.YFECHA.empty()) {  // a session that set only the period texts
    period.m = std::max(1, std::atoi(s.YMES.c_str()));
    period.year = 2000 + std::atoi(s.YANO.c_str());
  }
  FundRatesCache fundCache(tFunds, s.YMES);
  ui::Busy busy(msg, "Calculo De Planilla", "Trabajadores procesados", static_cast<long>(tEmp->recordCount()));
  TaxTables tt{tHab, tRet, tJul, tDec};

  // Refusals that leave the month's results as they are: an unknown exchange-rate
  // code, and an employee the run could not compute with it (a rate of zero, a
  // currency the run does not know, a fund without rates for the month, a number
  // it reads that is no number). The employees' are found in the one reading of
  // each employee's inputs that feeds the calculation: the new month is built beside
  // the one in place, which a refusal leaves as it was, whatever was built by then.
  if (!xr.found) {
    ui::MSGSTOP(msg, "Tipo De Cambio  " + code + " No Existe");
    return stop(s);
  }
  if (!(rv.dollar > 0)) return zeroRateMessage(s, "Dolar", code), stop(s);
  // The run goes on with the rates record's tax unit, but a unit left from another
  // year withholds the wrong tax all year: the operator is told before anything runs.
  if (const std::string warn = uitWarning(rv.params.uit2, period.year); !warn.empty())
    ui::MSGALERT(msg, warn, "Mensaje");

  // The new month is written beside the previous one, which stays whole until the
  // whole set takes its place at the end: the results anew, the year tables copied.
  Table* tE2 = built(s, taxSettings.projectBonus ? out.fresh(e2, {extraTaxField()}) : out.fresh(e2));
  if (!tE2) return stop(s);
  Table* tE1 = built(s, out.fresh(e1));
  if (!tE1) return stop(s);
  Table* nHab = built(s, out.copyOf(habe, *tHab));
  if (!nHab) return stop(s);
  Table* nRet = built(s, out.copyOf(rete, *tRet));
  if (!nRet) return stop(s);
  TaxTables nt{nHab, nRet, tJul, tDec};

  PendingRecord rec = PendingRecord::forTable(*tE2);
  PendingRecord conv = PendingRecord::forTable(*tE1);
  RecordView ev(*tEmp);

  Status st;
  for (st = tEmp->goTop(); st && !tEmp->eof(); st = tEmp->skip()) {
    busy.step();
    ev.load(*tEmp);
    const Employee e = readEmployee(ev);
    Status rs = ev.numberError();
    if (rs) rs = ev.checkNumbers(payrollCopiedFields());
    if (!rs) return unreadable(s, rs);
    // 2. The currency decides the monthly base.
    if (e.currency == Currency::Unknown) return unknownCurrencyMessage(s, e, ev.str("DOLAR")), stop(s);
    if (e.currency == Currency::Euros && !(rv.euro > 0)) return zeroRateMessage(s, "Euro", code), stop(s);
    // 1, 6 and 7: vacation days, fund rates of the month, monthly entries, and the
    // premium already charged in the December gratification.
    PayrollInputs pi;
    if (Status is = readPayrollInputs(in, fundCache, e, pi); !is) return unreadable(s, is);
    FundRates fund;
    if (e.fundMember()) {
      if (!pi.fund) return missingFundMessages(s, e), stop(s);
      fund = *pi.fund;
    }
    // The year's rows of the tax, read from the tables in place (the month is
    // written into their copies).
    const TaxVariant variant = taxVariant(e);
    TaxInputs ti;
    if (variant != TaxVariant::None) {
      if (Status ts = readTaxInputs(tt, e.codigo, variant == TaxVariant::WithGratifications, &ti); !ts)
        return unreadable(s, ts);
    }

    // 8 to 10.
    rec.clear();
    EmployeeWork w;
    Status cs = rec.copyFrom(ev, payrollCopiedFields());
    if (cs) cs = payrollToBase(e, pi.vac, pi.me, rv, rec, w);
    if (!cs) return failEmployee(s, cs, e.codigo);
    // 11. Fifth-category tax (records the month in the year tables).
    double tax = 0;
    if (variant != TaxVariant::None) {
      FifthInput fi = fifthInput(e, pi.me, rv, w);
      if (taxSettings.projectBonus) {
        fi.bonusRate = rv.params.bonifi9;
        fi.extra = pi.me.utili;
      }
      Result<FifthOutcome> z = DETERMINE5TA(nt, fi, period, rv.params.bands, ti);
      if (!z) return failEmployee(s, z.status(), e.codigo);
      tax = z->positive ? z->z : 0;
      w.rtaExtra = z->ze;
    }
    // 11 to 19.
    Result<AfterTax> after = payrollAfterTax(e, rv, fund, pi.decPremium, tax, rec, w);
    if (!after) return failEmployee(s, after.status(), e.codigo);
    if (*after == AfterTax::NoAffiliationDate) {
      // The run ends here; the month in place stays as it was.
      ui::MSGSTOP(msg, "Falta Ingresar fecha De Ingreso De AFP");
      ui::MSGSTOP(msg, "Del Trabajador De Codigo " + e.codigo);
      return stop(s);
    }
    // The converted record is complete before anything of this employee is written.
    conv.clear();
    cs = conv.copyFrom(ev, convertedCopiedFields());
    if (cs) cs = convertAmounts(rec, convertedAmountFields(), e.currency == Currency::Euros ? rv.euro : rv.dollar, conv);
    if (!cs) return failEmployee(s, cs, e.codigo);
    // 8 / 20. Result record, released.
    cs = appendReleased(rec, *tE2);
    if (!cs) return failEmployee(s, cs, e.codigo);
    // 21. Converted record.
    cs = appendReleased(conv, *tE1);
    if (!cs) return failEmployee(s, cs, e.codigo);
    reg.count(rec.num("TBRUTO"), rec.num("T_DSCTOT"), rec.num("TPAGAR"), rec.num("T_DSCTOE"));
  }
  if (!st) return failTable(s, st);
  if (!tEmp->lastError().isOk()) return failTable(s, tEmp->lastError());
  if (!commitAll(s, out)) return false;
  s.closeAll();
  if (Status ss = stampPayroll(s); !ss) showTableError(s, ss);
  reg.finish();
  busy.report();
  ui::MSGINFO(msg, "Fin De Proceso", "Mensaje");
  return true;
}

// ------------------------------------------------------------------------------------
// Gratification.

bool PROCE05(Session& s, const std::string& codeIn) {
  RunRecord reg(s, kRunGratification);
  if (!reg.started()) return false;
  ui::Messages& msg = s.messages();
  const std::string code = padTo(codeIn, 6);
  if (!runPrepared(s) || !settled(s)) return false;
  const TableDef master = s.def(TableId::EmployeeMaster);
  const TableDef rates = s.def(TableId::Rates);
  const TableDef funds = s.def(TableId::PensionFunds);
  const TableDef rete = s.def(TableId::Deductions);
  const TableDef habe = s.def(TableId::Earnings);
  const TableDef roll = s.def(TableId::GratificationRoll);
  if (!requireTables(s,
                     {{master, "Maestro De Empleados No Existe"},
                      {rates, "Maestro De Descuentos No Existe"},
                      {funds, "Maestro De AFP No Existe"},
                      {rete, "Tabla De Retenciones No Existe"},
                      {habe, "Tabla De Haberes No Existe"},
                      {roll, "Relacion De Empleados Para Gratificaciones  No Existe"}},
                     kReadTitle))
    return false;
  // What the run reads, as it is before it reads it: recorded when the run ends well.
  const std::string inputs = gratificationInputs(s);
  {
    Table* r = openRun(s, 5, roll, std::nullopt, "DatVacac");
    if (!r) return stop(s);
    Status st = r->goTop();
    if (!st) return failTable(s, st);
    if (r->eof()) {
      ui::MSGSTOP(msg, "Sin Registros", kReadTitle);
      return stop(s);
    }
    s.closeAll();
  }
  const TableDef he = s.def(TableId::GratSoles);
  const TableDef h1 = s.def(TableId::GratDollars);
  if (!templateHolds(s, gratResultFields())) return false;

  RunValues rv;
  ExchangeRate xr;
  if (!readRunValues(s, code, rv, xr)) return false;
  const bool monthOk = s.YMES == "07" || s.YMES == "12";
  const std::string mesafec = rv.params.mesafec.substr(0, 2);
  const bool mesafecOk = mesafec == "07" || mesafec == "12";

  // Tables of the run, opened before anything is deleted.
  Table* tEmp = openCodeOrder(s, 1, master, "DatEmplea");
  if (!tEmp) return stop(s);
  Table* tFunds = openRun(s, 2, funds, std::nullopt, "DatAfp");
  if (!tFunds) return stop(s);
  Table* tRet = openRun(s, 3, rete, OpenMode::Exclusive, "TabReten");
  if (!tRet) return stop(s);
  Table* tHab = openRun(s, 4, habe, std::nullopt, "TabHaber");
  if (!tHab) return stop(s);
  Table* tRoll = openRun(s, 5, roll, std::nullopt, "DatVacac");
  if (!tRoll) return stop(s);
  RunTables out(s);
  if (!holdResults(s, out, {&he, &h1})) return stop(s);

  // Only July and December have gratifications: another month's result tables are
  // left created and empty (they never hold results).
  if (!monthOk) {
    if (!built(s, out.fresh(he)) || !built(s, out.fresh(h1)) || !commitAll(s, out)) return stop(s);
    ui::MSGSTOP(msg, "Recuerde Solo   JULIO-DICIEMBRE   Opcion Ejecutable", kReadTitle);
    return stop(s);
  }
  // The other refusals leave the month's results as they are: a gratification month
  // of the parameters that is neither, an unknown exchange-rate code, and a roll record
  // the run could not compute with the rate (zero, a currency it does not know, a fund
  // without rates for the month, a number it reads that is no number). The roll's are
  // found in the one reading of each record's inputs that feeds the calculation: the
  // new gratification is built beside the one in place, which a refusal leaves whole.
  if (!mesafecOk) {
    ui::MSGSTOP(msg, "Mes Fuera de Parametro", kReadTitle);
    return stop(s);
  }
  if (!xr.found) {
    ui::MSGALERT(msg, "Tipo De Cambio  " + code + " No Existe", "Error En Ingreso De Dato");
    return stop(s);
  }
  if (!(rv.dollar > 0)) return zeroRateMessage(s, "Dolar", code), stop(s);
  FundRatesCache fundCache(tFunds, s.YMES);
  const FieldMap retMap(fieldSpecs(*tRet));
  ui::Busy busy(msg, "Calculo De Gratificacion", "Trabajadores procesados", static_cast<long>(tRoll->recordCount()));

  // The new gratification is written beside the one in place, which stays whole
  // until the whole set takes its place at the end.
  Table* tHe = built(s, out.fresh(he));
  if (!tHe) return stop(s);
  Table* tH1 = built(s, out.fresh(h1));
  if (!tH1) return stop(s);
  Table* nRet = built(s, out.copyOf(rete, *tRet));
  if (!nRet) return stop(s);

  const int workYear = s.YFECHA.year();
  const int workMonth = std::atoi(s.YMES.c_str());
  PendingRecord rec = PendingRecord::forTable(*tHe);
  PendingRecord conv = PendingRecord::forTable(*tH1);
  RecordView rview(*tRoll), ev(*tEmp);
  Status st;
  for (st = tRoll->goTop(); st && !tRoll->eof(); st = tRoll->skip()) {
    busy.step();
    rview.load(*tRoll);
    const RollEntry r = readRollEntry(rview);
    if (Status rs = rview.numberError(); !rs) return unreadable(s, rs);
    // 1. A roll record without its employee produces nothing.
    if (!tEmp->seek(r.codigo)) continue;
    ev.load(*tEmp);
    const Employee e = readEmployee(ev);
    Status rs = ev.numberError();
    if (rs) rs = ev.checkNumbers(gratCopiedFields());
    if (!rs) return unreadable(s, rs);
    // 2.
    if (e.currency == Currency::Unknown) return unknownCurrencyMessage(s, e, ev.str("DOLAR")), stop(s);
    if (e.currency == Currency::Euros && !(rv.euro > 0)) return zeroRateMessage(s, "Euro", code), stop(s);
    // 4. Fund rates of the month.
    FundRates fund;
    if (e.fundMember()) {
      std::optional<FundRates> f;
      if (Status fs = fundCache.get(e.codafp, &f); !fs) return unreadable(s, fs);
      if (f) fund = *f;
      else if (gratNeedsFund(e, r)) return missingFundMessages(s, e), stop(s);
    }
    // December adds the tax withheld to the employee's year of withholdings: the
    // employee's row is checked in the table in place before it is written.
    if (s.YMES == "12") {
      std::optional<YearRow> row;
      if (Status ys = readYearRow(*tRet, retMap, e.codigo, &row); !ys) return unreadable(s, ys);
    }
    // 3, 5 to 10.
    rec.clear();
    GratWork w;
    Status cs = rec.copyFrom(ev, gratCopiedFields());
    Result<AfterTax> after = AfterTax::Done;
    if (cs) after = gratificationSteps(e, r, rv, fund, workYear, workMonth, rec, w);
    if (!cs) return failEmployee(s, cs, e.codigo);
    if (!after) return failEmployee(s, after.status(), e.codigo);
    if (*after == AfterTax::NoAffiliationDate) {
      // The run ends here; the gratification in place stays as it was.
      ui::MSGSTOP(msg, "Falta Ingresar fecha De Ingreso De AFP");
      ui::MSGSTOP(msg, "Del Trabajador De Codigo " + e.codigo + "   ");
      return stop(s);
    }
    // 11. Converted record, complete before anything of this employee is written.
    conv.clear();
    cs = conv.copyFrom(ev, gratCopiedFields());
    if (cs)
      cs = convertAmounts(rec, gratConvertedAmountFields(), e.currency == Currency::Euros ? rv.euro : rv.dollar,
                          conv);
    if (!cs) return failEmployee(s, cs, e.codigo);
    cs = appendReleased(rec, *tHe);
    if (!cs) return failEmployee(s, cs, e.codigo);
    cs = appendReleased(conv, *tH1);
    if (!cs) return failEmployee(s, cs, e.codigo);
    reg.count(rec.num("TBRUTO"), rec.num("T_DSCTOT"), rec.num("TPAGAR"), rec.num("T_DSCTOE"));
    // 12. Tax withheld on the December gratification.
    cs = GRABA01RENTA(*nRet, e.codigo, r.desgrat, s.YMES);
    if (!cs) return failEmployee(s, cs, e.codigo);
  }
  if (!st) return failTable(s, st);
  if (!tRoll->lastError().isOk()) return failTable(s, tRoll->lastError());
  if (!commitAll(s, out)) return false;
  s.closeAll();
  if (Status ss = stampGratification(s, inputs); !ss) showTableError(s, ss);
  reg.finish();
  busy.report();
  ui::MSGINFO(msg, "Fin De Proceso", "Mensaje");
  return true;
}

}  // namespace planilla::calc
