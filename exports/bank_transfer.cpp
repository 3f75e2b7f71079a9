#include "exports/bank_transfer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

#include "calc/run_stamps.h"
#include "exports/concepts.h"
#include "exports/plame.h"
#include "masters/employee_extra.h"
#include "reports/report_common.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "session/change_log.h"
#include "session/run_register.h"
#include "session/tables.h"
#include "store/catalog.h"
#include "store/dbf_format.h"
#include "store/index.h"
#include "store/numbers.h"
#include "store/output_path.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::exports {

namespace {

using bank::Bank;
using bank::Key;
using catalog::TableId;

constexpr const char* kTitle = "Mensaje";

std::string trim(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : trimRight(std::string_view(s).substr(b));
}

bool digits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int64_t toCents(double v) { return std::llround(round2(v) * 100.0); }

std::string money(int64_t cents) { return reports::amount(static_cast<double>(cents) / 100.0, "999,999,999.99"); }

// An amount in a message: "-10.00".
std::string plainMoney(int64_t cents) { return trim(money(cents)); }

std::string currencyName(const std::string& c) { return c == "D" ? "dolares" : "soles"; }

// The bank's name for a second-record code, or "banco " + code.
std::string bankName(const std::string& sunat) {
  Bank b;
  if (bank::bankBySunat(sunat, &b)) return bank::layout(b).name;
  static const std::map<std::string, std::string> kOthers = {{"09", "SCOTIABANK"}, {"18", "NACION"}};
  auto it = kOthers.find(sunat);
  return it != kOthers.end() ? it->second : "banco " + sunat;
}

// A run's result tables, in soles and converted, and its word on references and file
// names.
struct RunTables {
  TableId soles, dollars;
  const char* label;
};

RunTables runTables(Payment p) {
  if (p == Payment::Gratification) return {TableId::GratSoles, TableId::GratDollars, "GRATIFICACION"};
  if (p == Payment::Settlement) return {TableId::Settlements, TableId::Settlements, "LIQUIDACION"};
  return {TableId::PayrollSoles, TableId::PayrollDollars, "HABERES"};
}

// "HABERES MARZO 2016": the reference of the file and of each payment.
std::string referenceOf(const Transfer& t) {
  return std::string(runTables(t.request.payment).label) + " " + reports::monthNameUpper(t.month) + " " +
         std::to_string(t.year);
}

std::unique_ptr<Table> openShared(Session& s, TableId id) {
  auto t = catalog::openTable(s.fs(), s.dataDir(), s.def(id), OpenMode::Shared);
  if (!t) {
    showTableError(s, t.status());
    return nullptr;
  }
  return std::move(*t);
}

// Fields read from whole records. A table opened shared reads its current record again
// on every field access, so that other stations' changes show at once; a file of
// 100,000 employees read field by field costs millions of reads. The transfer reads
// each table once, record by record, and takes the fields from the bytes.
class RecordFields {
 public:
  RecordFields() = default;
  explicit RecordFields(const Table& t) : layout_(t.recordLayout()) {}
  // A field by name, looked up once (nullptr when the table has no such field).
  const FieldLayout* find(std::string_view name) const {
    for (const FieldLayout& f : layout_)
      if (f.name.size() == name.size() &&
          std::equal(name.begin(), name.end(), f.name.begin(),
                     [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) ==
                                                 std::toupper(static_cast<unsigned char>(b)); }))
        return &f;
    return nullptr;
  }
  // The field's text without blanks at either end; "" when the table has no such field.
  std::string text(std::string_view rec, std::string_view name) const { return text(rec, find(name)); }
  static std::string text(std::string_view rec, const FieldLayout* f) {
    if (!f || f->offset + static_cast<size_t>(f->width) > rec.size()) return "";
    return trim(std::string(rec.substr(f->offset, static_cast<size_t>(f->width))));
  }
  // A numeric field, checked: one that holds no number is an error naming the table,
  // the record and the field, never a 0 paid.
  Status number(std::string_view rec, std::string_view name, const std::string& file, uint32_t recno,
                double* out) const {
    *out = 0;
    const FieldLayout* f = find(name);
    if (!f || f->offset + static_cast<size_t>(f->width) > rec.size()) return Status::ok();
    const std::string_view bytes = rec.substr(f->offset, static_cast<size_t>(f->width));
    bool ok = true;
    *out = dbf::decodeNumber(dbfField(FieldSpec{f->name, f->type, f->width, f->decimals}), bytes, &ok);
    return ok ? Status::ok() : unreadableNumber(file, recno, f->name, bytes);
  }

 private:
  RecordLayout layout_;
};

// One result row of the run: code, name and net pay.
struct ResultLine {
  std::string code, name;
  double net = 0;
};

// The live rows of a result table in code order (record order within a code).
bool readResults(Session& s, Table& t, const std::string& file, std::vector<ResultLine>& out) {
  const RecordFields f(t);
  const FieldLayout *code = f.find("CODIGO"), *name = f.find("NOMBRE");
  Status st = t.records()([&](uint32_t recno, std::string_view r) -> Status {
    if (dbf::isDeleted(r)) return Status::ok();
    ResultLine line{RecordFields::text(r, code), RecordFields::text(r, name), 0};
    PLANILLA_RETURN_IF_ERROR(f.number(r, "TPAGAR", file, recno, &line.net));
    out.push_back(std::move(line));
    return Status::ok();
  });
  if (!st) {
    showTableError(s, st);
    return false;
  }
  std::stable_sort(out.begin(), out.end(), [](const ResultLine& a, const ResultLine& b) { return a.code < b.code; });
  return true;
}

// The settlements whose termination date falls in `period` ("AAAAMM"), with their net.
// One already marked paid is listed apart (`paid`), never paid again.
bool readSettlements(Session& s, Table& t, const std::string& file, const std::string& period,
                     std::vector<ResultLine>& out, std::vector<ResultLine>& paid) {
  const RecordFields f(t);
  const FieldLayout *code = f.find("CODIGO"), *name = f.find("NOMBRE"), *cese = f.find("FCESE"),
                    *estado = f.find("ESTADO");
  Status st = t.records()([&](uint32_t recno, std::string_view r) -> Status {
    if (dbf::isDeleted(r) || RecordFields::text(r, cese).substr(0, 6) != period) return Status::ok();
    ResultLine line{RecordFields::text(r, code), RecordFields::text(r, name), 0};
    PLANILLA_RETURN_IF_ERROR(f.number(r, "NETO", file, recno, &line.net));
    (RecordFields::text(r, estado) == "P" ? paid : out).push_back(std::move(line));
    return Status::ok();
  });
  if (!st) {
    showTableError(s, st);
    return false;
  }
  std::stable_sort(out.begin(), out.end(), [](const ResultLine& a, const ResultLine& b) { return a.code < b.code; });
  return true;
}

// The listed fields of the live records of a table keyed by code, in code order (record
// order within a code, so that the first of a code is the one a seek finds).
struct Keyed {
  std::string code;
  std::vector<std::string> values;
};

bool readKeyed(Session& s, Table& t, const std::vector<const char*>& names, std::vector<Keyed>& out) {
  const RecordFields f(t);
  const FieldLayout* code = f.find("CODIGO");
  std::vector<const FieldLayout*> cols;
  for (const char* n : names) cols.push_back(f.find(n));
  out.reserve(t.recordCount());
  Status st = t.records()([&](uint32_t, std::string_view r) -> Status {
    if (dbf::isDeleted(r)) return Status::ok();
    Keyed k{RecordFields::text(r, code), {}};
    k.values.reserve(cols.size());
    for (const FieldLayout* c : cols) k.values.push_back(RecordFields::text(r, c));
    out.push_back(std::move(k));
    return Status::ok();
  });
  if (!st) {
    showTableError(s, st);
    return false;
  }
  std::stable_sort(out.begin(), out.end(), [](const Keyed& x, const Keyed& y) { return x.code < y.code; });
  return true;
}

const Keyed* findKeyed(const std::vector<Keyed>& v, const std::string& code) {
  auto it = std::lower_bound(v.begin(), v.end(), code, [](const Keyed& k, const std::string& c) { return k.code < c; });
  return it != v.end() && it->code == code ? &*it : nullptr;
}

// The document of an employee: the second record's when it has one, else the master's
// code through the equivalences of the statutory files. Empty type after a refusal.
void documentFor(const masters::EmployeeExtra& x, bool hasExtra, const std::string& docIden,
                 const std::string& electoral, const Concepts& c, std::string& type, std::string& number,
                 std::string& problem) {
  if (hasExtra && !x.tipdoc.empty() && !x.numdoc.empty()) {
    type = x.tipdoc;
    number = x.numdoc;
  } else {
    const DocConcept* d = c.document(docIden);
    if (!d || electoral.empty()) {
      problem = "falta el documento de identidad";
      return;
    }
    type = d->type;
    number = electoral;
  }
  if (!validDocumentNumber(DocConcept{"", type, ""}, number)) {
    problem = "el documento " + number + " no es valido (" + documentRule(type) + ")";
    type.clear();
  }
}

std::string bankDocument(const bank::Layout& l, const std::string& type) {
  for (const auto& [state, code] : l.documents)
    if (state == type) return code;
  return "";
}

}  // namespace

bool paymentByName(const std::string& name, Payment* out) {
  const std::string n = ui::upper1252(name);
  if (n == "PLANILLA") *out = Payment::Payroll;
  else if (n == "GRATIFICACION") *out = Payment::Gratification;
  else if (n == "LIQUIDACION") *out = Payment::Settlement;
  else return false;
  return true;
}

Result<std::vector<ChargeAccount>> readChargeAccounts(Session& s) {
  std::vector<ChargeAccount> out;
  const catalog::TableDef def = s.def(TableId::ChargeAccounts);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return out;
  auto t = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!t) return t.status();
  Table& tb = **t;
  Status st = tb.goTop();
  for (; st && !tb.eof(); st = tb.skip()) {
    out.push_back({trim(tb.str("BANCO")), trim(tb.str("CUENTA")), trim(tb.str("MONEDA")), trim(tb.str("TIPCTA")),
                   trim(tb.str("INTERB")), trim(tb.str("DESCRIP"))});
  }
  if (!st) return st;
  return out;
}

std::string accountProblem(Bank b, const std::string& account, std::string* type) {
  const size_t n = account.size();
  if (!digits(account)) return "la cuenta " + account + " no es solo de digitos";
  switch (b) {
    case Bank::Bcp:
      if (n == 13 || n == 14) {
        if (type) *type = n == 14 ? "A" : "C";
        return "";
      }
      return "la cuenta BCP " + account + " no tiene 13 (corriente) o 14 (ahorros) digitos";
    case Bank::Bbva:
      return n == 20 ? "" : "la cuenta BBVA " + account + " no tiene 20 digitos";
    case Bank::Interbank:
      return n == 13 ? "" : "la cuenta Interbank " + account + " no tiene 13 digitos";
    case Bank::Banbif:
      return n >= 10 && n <= 20 ? "" : "la cuenta BanBif " + account + " no tiene de 10 a 20 digitos";
  }
  return "";
}

std::string chargeAccountProblem(const ChargeAccount& a) {
  Bank b;
  if (!bank::bankBySunat(a.banco, &b)) return "el banco " + a.banco + " no tiene formato de archivo de pagos";
  if (a.moneda != "S" && a.moneda != "D") return "la moneda debe ser S (soles) o D (dolares)";
  if (b == Bank::Bcp && !a.tipcta.empty() && a.tipcta != "C" && a.tipcta != "M")
    return "el tipo de cuenta de cargo BCP debe ser C (corriente) o M (maestra)";
  return accountProblem(b, a.cuenta);
}

bool buildTransfer(Session& s, const TransferRequest& req, Transfer& out) {
  out = Transfer{};
  out.request = req;
  if (trim(s.YCIA).empty() || trim(s.YMES).empty() || !s.YFECHA.valid()) {
    ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar (cia)", kTitle);
    return false;
  }
  const bank::Layout& L = bank::layout(req.bank);
  out.cia = trim(s.YCIA);
  out.ruc = trim(s.YRUC);
  out.company = trim(s.YNOMBRE1);
  out.year = s.YFECHA.year();
  out.month = s.YMES == "00" ? 1 : std::stoi(s.YMES);
  out.today = s.today();
  out.processDate = req.processDate.empty() ? out.today : req.processDate;
  const RunTables run = runTables(req.payment);
  const std::string period = std::to_string(out.year) + NUM_CAR(out.month, 2);
  out.setName = std::string(L.name) + "_" + run.label + "_" + period;
  out.wholeSet = req.chargeAccount.empty();

  // The run must be calculated, and current.
  const catalog::TableDef solesDef = s.def(run.soles);
  if (!catalog::tableExists(s.fs(), s.dataDir(), solesDef)) {
    ui::MSGSTOP(s.messages(),
                req.payment == Payment::Payroll        ? "Archivo Planilla-1 Mes " + s.YMES + " No Existe "
                : req.payment == Payment::Gratification ? "La Gratificacion Del Mes " + s.YMES + " No Esta Calculada"
                                                        : "No Hay Liquidaciones Con Cese En El Mes " + s.YMES,
                kTitle);
    return false;
  }
  if (req.payment == Payment::Payroll && calc::payrollPending(s)) {
    ui::MSGSTOP(s.messages(),
                "La Planilla Del Mes Esta Pendiente De Recalculo: La Gratificacion Se Calculo Despues. "
                "Calcule La Planilla Antes De Pagarla.",
                kTitle);
    return false;
  }
  if (req.payment == Payment::Gratification && calc::gratificationStatus(s) == calc::GratStatus::Outdated) {
    ui::MSGSTOP(s.messages(), calc::gratificationProblem(s, calc::GratStatus::Outdated), kTitle);
    return false;
  }
  Result<Concepts> concepts = loadConcepts(s);
  if (!concepts) {
    ui::MSGSTOP(s.messages(), concepts.status().message(), kTitle);
    return false;
  }
  Result<std::vector<ChargeAccount>> accounts = readChargeAccounts(s);
  if (!accounts) {
    showTableError(s, accounts.status());
    return false;
  }

  auto refuse = [&](const std::string& code, const std::string& name, const std::string& what) {
    out.refusals.push_back({code, name, what});
  };
  const std::string companyName = "Empresa " + out.cia;
  if (out.processDate < out.today)
    refuse("", companyName, "la fecha de proceso " + out.processDate.dmy() + " ya paso");

  // The charge account of each currency, and the banks other files pay.
  const std::string curs[2] = {"S", "D"};
  std::optional<ChargeAccount> charge[2];
  std::string chargeProblem[2];
  std::vector<std::string> banksWithFile[2];
  bool givenFound = false;
  for (int c = 0; c < 2; ++c) {
    std::vector<ChargeAccount> mine;
    for (const ChargeAccount& a : *accounts) {
      if (a.moneda != curs[c]) continue;
      if (a.banco != L.sunatCode) {
        if (std::find(banksWithFile[c].begin(), banksWithFile[c].end(), a.banco) == banksWithFile[c].end())
          banksWithFile[c].push_back(a.banco);
        continue;
      }
      if (!req.chargeAccount.empty() && a.cuenta != req.chargeAccount) continue;
      mine.push_back(a);
    }
    const std::string what = std::string("cuenta de cargo ") + L.name + " en " + currencyName(curs[c]);
    if (mine.empty()) {
      chargeProblem[c] = "no tiene " + what + " (Maestros, Cuentas De Cargo)";
    } else if (mine.size() > 1) {
      chargeProblem[c] = "tiene varias " + what + ": indique la cuenta";
    } else if (std::string p = chargeAccountProblem(mine[0]); !p.empty()) {
      chargeProblem[c] = "la " + what + " " + mine[0].cuenta + ": " + p;
    } else {
      charge[c] = mine[0];
      givenFound = givenFound || !req.chargeAccount.empty();
    }
  }
  if (!req.chargeAccount.empty() && !givenFound) {
    refuse("", companyName, "la cuenta de cargo " + req.chargeAccount + " no esta registrada para " + L.name +
                                " (Maestros, Cuentas De Cargo)");
  }

  // The run's results, the employees and their second records, each read in one pass.
  std::vector<ResultLine> lines;
  std::map<std::string, double> dollarNets;
  // The fields read of the second records and of the active employees, in this order.
  enum { kTipdoc, kNumdoc, kBanco, kCtanum, kCci, kMon, kPago, kEmail, kCel };
  enum { kAp1, kAp2, kN1, kN2, kDoc, kNum, kDir, kTel, kRetri };
  std::vector<Keyed> people, extras;
  std::unique_ptr<Table> table;
  const bool settlements = req.payment == Payment::Settlement;
  std::vector<ResultLine> paidBefore;
  if (!(table = openShared(s, run.soles))) return false;
  if (!(settlements ? readSettlements(s, *table, s.def(run.soles).dbf(), period, lines, paidBefore)
                    : readResults(s, *table, s.def(run.soles).dbf(), lines)))
    return false;
  table.reset();
  if (settlements && lines.empty() && paidBefore.empty()) {
    ui::MSGSTOP(s.messages(), "No Hay Liquidaciones Con Cese En El Mes " + s.YMES, kTitle);
    return false;
  }
  for (const ResultLine& r : paidBefore) out.omitted.push_back({r.code, r.name, "liquidacion ya pagada", toCents(r.net), "S"});
  // Settlements are computed in soles: there is no converted table.
  const bool haveDollars = !settlements && catalog::tableExists(s.fs(), s.dataDir(), s.def(run.dollars));
  if (haveDollars) {
    if (!(table = openShared(s, run.dollars))) return false;
    std::vector<ResultLine> converted;
    if (!readResults(s, *table, s.def(run.dollars).dbf(), converted)) return false;
    for (const ResultLine& r : converted) dollarNets.emplace(r.code, r.net);
    table.reset();
  }
  // A leaver may be missing from the month's active employees (saved before they were
  // made): settlements take the person from the general master, of the same layout.
  for (TableId id : {settlements ? TableId::EmployeeMaster : TableId::ActiveEmployees, TableId::EmployeeExtra}) {
    if (!catalog::tableExists(s.fs(), s.dataDir(), s.def(id))) continue;
    if (!(table = openShared(s, id))) return false;
    const bool person = id != TableId::EmployeeExtra;
    const std::vector<const char*> names =
        person ? std::vector<const char*>{"APELLI1", "APELLI2", "NOMBRE1", "NOMBRE2", "DOCIDEN", "ELECTORAL",
                                          "DIRECCION", "TELEFONO", "RETRI"}
               : std::vector<const char*>{"TIPDOC", "NUMDOC", "BANCOSUN", "CTANUM", "CTACCI", "CTAMON", "TIPPAGO",
                                          "EMAIL", "CELULAR"};
    if (!readKeyed(s, *table, names, person ? people : extras)) return false;
    table.reset();
  }
  TransferFile files[2];
  bool chargeRefused[2] = {false, false};
  for (const ResultLine& row : lines) {
    const std::string& code = row.code;
    const std::string& resultName = row.name;
    masters::EmployeeExtra x;
    const Keyed* xr = findKeyed(extras, code);
    const bool hasExtra = xr != nullptr;
    if (hasExtra) {
      const std::vector<std::string>& v = xr->values;
      x.tipdoc = v[kTipdoc];
      x.numdoc = v[kNumdoc];
      x.bancosun = v[kBanco];
      x.ctanum = v[kCtanum];
      x.ctacci = v[kCci];
      x.ctamon = v[kMon];
      x.tippago = v[kPago];
      x.email = v[kEmail];
      x.celular = v[kCel];
    }
    const std::string currency = hasExtra && !x.ctamon.empty() ? x.ctamon : "S";
    const int ci = currency == "D" ? 1 : 0;

    // The net pay in the account's currency.
    double net = row.net;
    if (currency == "D") {
      if (!haveDollars) {
        refuse(code, resultName, settlements ? "su cuenta es en dolares y la liquidacion se paga en soles"
                                             : "su cuenta es en dolares y la planilla en dolares del mes no existe");
        continue;
      }
      const auto d = dollarNets.find(code);
      net = d == dollarNets.end() ? 0 : d->second;
    }
    const int64_t cents = toCents(net);
    if (currency != "S" && currency != "D") {
      refuse(code, resultName, "la moneda de su cuenta (" + currency + ") no es S ni D");
      continue;
    }
    if (cents < 0) {
      refuse(code, resultName, "neto a pagar negativo (" + plainMoney(cents) + ")");
      continue;
    }
    auto omit = [&](const std::string& why) { out.omitted.push_back({code, resultName, why, cents, currency}); };
    if (cents == 0) {
      omit("sin neto a pagar");
      continue;
    }
    if (hasExtra && x.tippago == "1") {
      omit("pago en efectivo");
      continue;
    }
    if (hasExtra && x.tippago == "3") {
      omit("pago por otro medio");
      continue;
    }
    if (!hasExtra || (x.ctanum.empty() && x.ctacci.empty())) {
      refuse(code, resultName, "tiene neto a pagar y no tiene cuenta de haberes (datos adicionales del empleado)");
      continue;
    }
    if (x.bancosun.empty()) {
      refuse(code, resultName, "falta el banco de su cuenta de haberes");
      continue;
    }
    // Which file pays this employee.
    const bool ownBank = x.bancosun == L.sunatCode;
    bool viaCci = false;
    if (!ownBank) {
      const bool otherFile = std::find(banksWithFile[ci].begin(), banksWithFile[ci].end(), x.bancosun) !=
                             banksWithFile[ci].end();
      const bool interbank = charge[ci] && charge[ci]->interb == "S" && L.acceptsCci && !otherFile;
      if (!interbank) {
        omit("cuenta en " + bankName(x.bancosun) + (otherFile ? ": en el archivo de ese banco" : ""));
        continue;
      }
      viaCci = true;
    }
    if (!req.chargeAccount.empty() && !charge[ci]) {
      omit("cuenta en " + currencyName(currency) + ": otra cuenta de cargo");
      continue;
    }

    TransferLine line;
    line.code = code;
    line.bankSunat = x.bancosun;
    line.cents = cents;
    line.email = x.email;
    line.mobile = x.celular;
    std::string problem;
    if (viaCci || x.ctanum.empty()) {
      if (!viaCci) {
        problem = std::string("falta el numero de su cuenta ") + L.name;
      } else if (x.ctacci.empty()) {
        problem = "falta el CCI de su cuenta en " + bankName(x.bancosun) + " para el abono interbancario";
      } else if (x.ctacci.size() != 20 || !digits(x.ctacci)) {
        problem = "el CCI " + x.ctacci + " no tiene 20 digitos";
      } else if (!masters::cciValid(x.ctacci)) {
        problem = "el CCI " + x.ctacci + " tiene los digitos de control errados";
      } else if (x.ctacci.compare(0, 3, "0" + x.bancosun) != 0) {
        problem = "el CCI " + x.ctacci + " no es del banco de su cuenta (" + bankName(x.bancosun) + ")";
      }
      line.account = x.ctacci;
      line.viaCci = true;
    } else {
      problem = accountProblem(req.bank, x.ctanum);
      if (problem.empty() && !x.ctacci.empty() && (x.ctacci.size() != 20 || !masters::cciValid(x.ctacci)))
        problem = "el CCI " + x.ctacci + " tiene los digitos de control errados";
      line.account = x.ctanum;
    }

    // The employee's name and document, from the month's active employees.
    std::string docIden, electoral;
    const Keyed* pr = findKeyed(people, code);
    if (!pr) {
      refuse(code, resultName, "no esta en el maestro de empleados activos del mes");
      continue;
    }
    {
      const std::vector<std::string>& v = pr->values;
      line.paterno = bank::foldName(v[kAp1]);
      line.materno = bank::foldName(v[kAp2]);
      line.nombres = bank::foldName(v[kN1] + " " + v[kN2]);
      docIden = ui::upper1252(v[kDoc]);
      electoral = v[kNum];
      line.address = bank::foldName(v[kDir]);
      line.phone = v[kTel];
      line.feePaid = v[kRetri] == "2";
    }
    line.name = bank::foldName(line.paterno + " " + line.materno + " " + line.nombres);
    std::string docProblem;
    documentFor(x, hasExtra, docIden, electoral, *concepts, line.docType, line.docNumber, docProblem);
    if (docProblem.empty() && bankDocument(L, line.docType).empty())
      docProblem = "el tipo de documento " + line.docType + " no tiene codigo en el formato " + L.name;
    for (const std::string* p : {&problem, &docProblem}) {
      if (!p->empty()) refuse(code, resultName, *p);
    }
    if (!problem.empty() || !docProblem.empty()) continue;
    if (!charge[ci]) {
      if (!chargeRefused[ci]) refuse("", companyName, chargeProblem[ci]);
      chargeRefused[ci] = true;
      continue;
    }
    files[ci].totalCents += cents;
    files[ci].lines.push_back(std::move(line));
  }

  for (int c = 0; c < 2; ++c) {
    TransferFile& f = files[c];
    if (f.lines.empty() || !charge[c]) continue;
    f.currency = curs[c];
    f.charge = *charge[c];
    f.fileName = out.setName + (c == 0 ? "_PEN" : "_USD") + ".txt";
    if (req.bank == Bank::Bcp) {
      std::vector<std::string> accs;
      std::vector<bool> cci;
      accs.reserve(f.lines.size());
      cci.reserve(f.lines.size());
      for (const TransferLine& l : f.lines) {
        accs.push_back(l.account);
        cci.push_back(l.viaCci);
      }
      if (!bank::bcpControlSum(f.charge.cuenta, accs, cci, &f.checksum))
        refuse("", companyName, "no se pudo calcular el total de control BCP");
    }
    out.files.push_back(std::move(f));
  }
  // Every value must fit its field: the texts are built once here, so that a refusal
  // of the bytes joins the others.
  for (TransferFile& f : out.files) {
    std::string error;
    if (!transferText(out, f, f.text, &error)) refuse("", companyName, "archivo " + f.fileName + ": " + error);
  }
  return true;
}

bool transferText(const Transfer& t, const TransferFile& f, std::string& text, std::string* error) {
  const bank::Layout& L = bank::layout(t.request.bank);
  const bool dollars = f.currency == "D";
  const std::string label = referenceOf(t);
  text.clear();
  text.reserve((f.lines.size() + 1) * static_cast<size_t>(bank::recordWidth(L.detail) + 2));
  bank::Values v;
  if (!L.header.empty()) {
    at(v, Key::Count) = std::to_string(f.lines.size());
    at(v, Key::ProcessDate) = t.processDate.dtos();
    at(v, Key::Subtype) = t.request.payment == Payment::Gratification ? "G" : "X";
    at(v, Key::ChargeType) = f.charge.tipcta.empty() ? "C" : f.charge.tipcta;
    at(v, Key::Currency) = dollars ? L.usd : L.pen;
    at(v, Key::ChargeAccount) = f.charge.cuenta;
    at(v, Key::Total) = bank::centsText(f.totalCents);
    at(v, Key::TotalPen) = bank::centsText(dollars ? 0 : f.totalCents);
    at(v, Key::TotalUsd) = bank::centsText(dollars ? f.totalCents : 0);
    at(v, Key::Reference) = label;
    at(v, Key::Checksum) = f.checksum;
    // BBVA: a later date is processed on that date, today's at once.
    const bool future = t.processDate > t.today;
    at(v, Key::ProcessKind) = future ? "F" : "A";
    if (t.request.bank == Bank::Bbva && !future) at(v, Key::ProcessDate) = "";
    at(v, Key::Timestamp) = t.processDate.dtos() + "000000";
    if (!bank::appendRecord(L.header, v, text, error)) return false;
    text += "\r\n";
  }
  int sequence = 0;
  for (const TransferLine& l : f.lines) {
    v = bank::Values{};
    at(v, Key::Sequence) = std::to_string(++sequence);
    at(v, Key::DocType) = bankDocument(L, l.docType);
    at(v, Key::DocNumber) = l.docNumber;
    at(v, Key::Name) = l.name;
    at(v, Key::Paterno) = l.paterno;
    at(v, Key::Materno) = l.materno;
    at(v, Key::Nombres) = l.nombres;
    at(v, Key::BeneficiaryRef) = label;
    at(v, Key::CompanyRef) = l.code;
    at(v, Key::Amount) = bank::centsText(l.cents);
    at(v, Key::Currency) = dollars ? L.usd : L.pen;
    at(v, Key::Address) = l.address;
    at(v, Key::Phone) = l.phone;
    at(v, Key::BankCode) = "0" + l.bankSunat;
    at(v, Key::Motive) = l.feePaid ? "4" : "5";
    switch (t.request.bank) {
      case Bank::Bcp: {
        std::string type;
        (void)accountProblem(Bank::Bcp, l.account, &type);
        at(v, Key::CreditType) = l.viaCci ? "B" : type;
        at(v, Key::Account) = l.account;
        break;
      }
      case Bank::Bbva:
        at(v, Key::CreditType) = l.viaCci ? "I" : "P";
        at(v, Key::Account) = l.account;
        if (!l.email.empty() && l.email.size() <= 50) {
          at(v, Key::NoticeKind) = "E";
          at(v, Key::Notice) = l.email;
        } else if (l.mobile.size() == 9 && digits(l.mobile)) {
          at(v, Key::NoticeKind) = "C";
          at(v, Key::Notice) = l.mobile;
        }
        break;
      case Bank::Interbank:
        at(v, Key::PayMethod) = l.viaCci ? "99" : "09";
        at(v, Key::AccountType) = l.viaCci ? "" : "002";
        at(v, Key::AccountCurrency) = l.viaCci ? "" : (dollars ? L.usd : L.pen);
        at(v, Key::Account) = l.viaCci ? "   " + l.account : l.account;
        break;
      case Bank::Banbif:
        at(v, Key::Account) = l.account;
        break;
    }
    std::string err;
    if (!bank::appendRecord(L.detail, v, text, &err)) {
      if (error) *error = l.code + ": " + err;
      return false;
    }
    text += "\r\n";
  }
  return true;
}

Status writeTransferFiles(const Transfer& t, std::vector<std::string>* written) {
  const std::string dir = t.request.dir;
  std::vector<std::string> members;
  std::vector<bool> present;
  const std::string pen = t.setName + "_PEN.txt", usd = t.setName + "_USD.txt";
  if (t.wholeSet) {
    members = {pen, usd};
    present = {false, false};
    for (const TransferFile& f : t.files) present[f.currency == "D" ? 1 : 0] = true;
  } else {
    for (const TransferFile& f : t.files) members.push_back(f.fileName);
    present.assign(members.size(), true);
  }
  if (members.empty()) return Status::ok();
  FileSet set(dir, t.wholeSet ? t.setName : t.setName + (members[0] == pen ? "_PEN" : "_USD"), members);
  PLANILLA_RETURN_IF_ERROR(set.open());
  for (const TransferFile& f : t.files) {
    std::string text, error;
    if (f.text.empty() && !transferText(t, f, text, &error)) return Status::invalid(error);
    const size_t i = static_cast<size_t>(std::find(members.begin(), members.end(), f.fileName) - members.begin());
    PLANILLA_RETURN_IF_ERROR(set.write(i, f.text.empty() ? text : f.text));
  }
  PLANILLA_RETURN_IF_ERROR(set.commit(present));
  if (written)
    for (size_t i = 0; i < members.size(); ++i)
      if (present[i]) written->push_back(set.path(i));
  return Status::ok();
}

namespace {

std::string documentLabel(const std::string& type) {
  if (type == "01") return "DNI";
  if (type == "04") return "CE";
  if (type == "07") return "PAS";
  return "DOC";
}

// A row of the summary: the text columns padded in the monospace font, the amount
// right-aligned on the last stop.
std::string summaryRow(const std::string& text, const std::string& amountText, const char* style = "") {
  return std::string("{e;$c01;a=l;s=7") + style + "} " + reports::rpvText(text) + "{t;$c02;a=r} {tab= +1200} " +
         reports::rpvText(amountText) + "{t;b=n;\\n}" + reports::kCrLf;
}

std::string cut(const std::string& s, size_t n) { return padTo(s.substr(0, std::min(s.size(), n)), n); }

}  // namespace

std::string refusalMessage(const std::vector<Missing>& refusals) {
  std::string text = "No Se Generaron Los Archivos Del Banco:";
  for (const Missing& m : refusals) {
    text += "\r\n";
    text += m.code.empty() ? m.name : m.code + " " + m.name;
    text += ": " + m.what;
  }
  return text;
}

bool writeTransferSummary(Session& s, const Transfer& t, bool startViewer) {
  const bank::Layout& L = bank::layout(t.request.bank);
  reports::RpvWriter out(s.dataDir());
  reports::ReportSettings set;
  set.title = "Abono De Haberes";
  set.orientation = 2;
  set.c00 = 600;
  set.base = 690;
  set.widths = {1, 110, 14};
  out.settings(set);
  out.line("[Header]");
  out.line("{f=Lucida Console;\\n;s=10}");
  out.line("{\\n;\\n;$c00;a=l;b=y} {tab=410}" + reports::rpvText(t.company));
  out.line("{\\n;$c00;a=l;b=n} {tab=410} RUC " + reports::rpvText(t.ruc));
  out.line("{\\n;\\n;$c00;s=10;b=y;a=l} {tab=1100} ABONO DE " + std::string(runTables(t.request.payment).label) +
           " " + reports::monthNameUpper(t.month) + " " + std::to_string(t.year) + " - " + L.name +
           "{b=n;\\n;\\n}");
  out.line("[Data]");
  const std::string columns = cut("CODIGO", 10) + cut("APELLIDOS Y NOMBRES", 47) + cut("DOCUMENTO", 15) +
                              cut("BANCO", 16) + "CUENTA";
  for (const TransferFile& f : t.files) {
    const std::string cur = f.currency == "D" ? "US$" : "S/";
    out.PRINTLINE("{e;$c00;a=l;s=8;b=y} BANCO " + std::string(L.name) + "   CUENTA DE CARGO " +
                  reports::rpvText(f.charge.cuenta) + " (" + (f.currency == "D" ? "DOLARES" : "SOLES") +
                  ")   FECHA DE PROCESO " + t.processDate.dmy() + "{t;b=n;\\n}" + reports::kCrLf);
    out.PRINTLINE("{e;$c00;a=l;s=8} ARCHIVO " + reports::rpvText(f.fileName) + "{t;\\n;\\n}" + reports::kCrLf);
    out.PRINTLINE(summaryRow(columns, "IMPORTE " + cur, ";b=y"));
    for (const TransferLine& l : f.lines) {
      const std::string row = cut(l.code, 10) + cut(l.name, 45) + "  " +
                              cut(documentLabel(l.docType) + " " + l.docNumber, 15) +
                              cut(bankName(l.bankSunat) + (l.viaCci ? " CCI" : ""), 16) + l.account;
      out.PRINTLINE(summaryRow(row, money(l.cents)));
    }
    out.PRINTLINE(summaryRow("TOTAL " + std::to_string(f.lines.size()) + " ABONO(S)", money(f.totalCents), ";b=y"));
    if (!f.checksum.empty()) out.PRINTLINE(summaryRow("TOTAL DE CONTROL BCP " + f.checksum, ""));
    out.PRINTLINE(std::string("{e;$c00;a=l} {t;\\n}") + reports::kCrLf);
  }
  if (!t.omitted.empty()) {
    out.PRINTLINE("{e;$c00;a=l;s=8;b=y} NO INCLUIDOS EN ESTE ARCHIVO{t;b=n;\\n}" + std::string(reports::kCrLf));
    for (const TransferOmission& o : t.omitted) {
      out.PRINTLINE(summaryRow(cut(o.code, 10) + cut(o.name, 45) + "  " + o.reason,
                               (o.currency == "D" ? "US$ " : "S/ ") + money(o.cents)));
    }
    out.PRINTLINE(std::string("{e;$c00;a=l} {t;\\n}") + reports::kCrLf);
  }
  out.PRINTLINE("{e;$c00;a=l;s=7} Formato " + std::string(L.name) + ": " +
                (L.validated ? "validado con un archivo aceptado por el banco"
                             : "sin validar con un archivo aceptado por el banco") +
                "; confianza " + L.grade + "{t;\\n;\\n;\\n;\\n}" + reports::kCrLf);
  out.PRINTLINE(std::string("{e;$c01;a=l;s=8} ______________________________          "
                            "______________________________{t;\\n}") +
                reports::kCrLf);
  out.PRINTLINE(std::string("{e;$c01;a=l;s=8}          Elaborado por                           "
                            "Autorizado por{t;\\n}") +
                reports::kCrLf);
  return reports::finishReport(s, out, startViewer);
}

bool runBankTransfer(Session& s, const TransferRequest& given, std::vector<std::string>& written, bool startViewer) {
  RunRecord reg(s, kRunExportBank);
  if (!reg.started()) return false;
  TransferRequest req = given;
  if (req.dir.empty()) req.dir = s.dataDir();
  if (Status st = checkOutputFolder(req.dir); !st) {
    ui::MSGSTOP(s.messages(), st.message(), kTitle);
    return false;
  }
  Transfer t;
  if (!buildTransfer(s, req, t)) return false;
  if (req.payment != Payment::Settlement)
    (void)warnIfStale(s, req.payment == Payment::Gratification ? kRunGratification : kRunPayroll);
  if (!t.refusals.empty()) {
    ui::MSGSTOP(s.messages(), refusalMessage(t.refusals), kTitle);
    return false;
  }
  if (t.files.empty()) {
    ui::MSGSTOP(s.messages(),
                std::string("Ningun Empleado Del Mes Se Abona Con ") + bank::layout(req.bank).name +
                    ": No Se Genero Ningun Archivo",
                kTitle);
    return false;
  }
  if (Status st = writeTransferFiles(t, &written); !st) {
    written.clear();
    ui::MSGSTOP(s.messages(), st.message(), kTitle);
    return false;
  }
  // The register counts the payments and their amount, all currencies together.
  for (const TransferFile& f : t.files) {
    reg.totals().employees += static_cast<long>(f.lines.size());
    reg.totals().net += static_cast<double>(f.totalCents) / 100.0;
  }
  reg.finish();
  // The files are in place; a summary that cannot be written says so.
  (void)writeTransferSummary(s, t, startViewer);
  return true;
}

}  // namespace planilla::exports
