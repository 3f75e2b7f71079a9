#include "calc/run_stamps.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>

#include "store/catalog.h"
#include "store/value.h"
#include "ui/messages.h"

namespace planilla::calc {

namespace {

using catalog::TableDef;
using catalog::TableId;

constexpr const char* kGratif = "GRATIF";
constexpr const char* kPayroll = "PLANILLA";

bool gratificationMonth(const Session& s) { return s.YMES == "07" || s.YMES == "12"; }

bool exists(Session& s, TableId id) { return catalog::tableExists(s.fs(), s.dataDir(), s.def(id)); }

// FNV-1a, 64 bits: a change of any byte read changes the digest.
struct Digest {
  uint64_t h = 1469598103934665603ull;
  void add(const std::string& bytes) {
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    h = (h ^ 0xFF) * 1099511628211ull;  // a record's end: "ab"+"c" differs from "a"+"bc"
  }
  std::string hex() const {
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return out;
  }
};

// Calls `fn` on every live record of `def` in record order; false when the table
// cannot be read (absent included).
template <class Fn>
bool eachRecord(Session& s, const TableDef& def, Fn fn) {
  auto t = Table::openReadOnly(s.fs(), catalog::joinPath(s.dataDir(), def.dbf()));
  if (!t) return false;
  Status st = (*t)->goTop();
  for (; st && !(*t)->eof(); st = (*t)->skip(1)) fn(**t);
  (*t)->close();
  return st.isOk();
}

// The run kind's record, read: nothing when the table or the record is not there.
struct Stamp {
  bool found = false;
  std::string huella;
  std::string pendiente;
};
Stamp readStamp(Session& s, const char* proceso) {
  Stamp out;
  const TableDef def = s.def(TableId::RunStamps);
  eachRecord(s, def, [&](Table& t) {
    if (trimRight(t.str("PROCESO")) != proceso) return;
    out.found = true;
    out.huella = trimRight(t.str("HUELLA"));
    out.pendiente = t.str("PENDIENTE");
  });
  return out;
}

// Writes the run kind's record (appended the first time) under its record lock.
template <class Fill>
Status writeStamp(Session& s, const char* proceso, Fill fill) {
  const TableDef def = s.def(TableId::RunStamps);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(s.fs(), s.dataDir(), def));
  auto opened = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!opened) return opened.status();
  Table& t = **opened;
  const std::string key = padTo(proceso, 10);
  Status st = t.seek(key) ? t.lockRecord() : t.appendBlank();
  if (st) st = t.replace("PROCESO", key);
  if (st) st = fill(t);
  if (st) st = t.flush();
  t.unlockAll();
  t.close();
  return st;
}

}  // namespace

std::string gratificationInputs(Session& s) {
  Digest d;
  std::vector<std::string> codes;
  if (!eachRecord(s, s.def(TableId::GratificationRoll), [&](Table& t) {
        d.add(t.rawRecord());
        codes.push_back(t.str("CODIGO"));
      }))
    return "";
  // The master records of the roll's employees, in the roll's order.
  const std::set<std::string> wanted(codes.begin(), codes.end());
  std::map<std::string, std::string> master;
  eachRecord(s, s.def(TableId::EmployeeMaster), [&](Table& t) {
    const std::string code = t.str("CODIGO");
    if (wanted.count(code) && !master.count(code)) master[code] = t.rawRecord();
  });
  for (const std::string& c : codes) d.add(master.count(c) ? master[c] : std::string());
  bool first = true;
  eachRecord(s, s.def(TableId::Rates), [&](Table& t) {
    if (first) d.add(t.rawRecord());
    first = false;
  });
  return d.hex();
}

GratStatus gratificationStatus(Session& s) {
  if (!gratificationMonth(s)) return GratStatus::NotNeeded;
  bool rolled = false;
  eachRecord(s, s.def(TableId::GratificationRoll), [&](Table&) { rolled = true; });
  if (!rolled) return GratStatus::NotNeeded;
  if (!exists(s, TableId::GratSoles)) return GratStatus::Missing;
  const Stamp g = readStamp(s, kGratif);
  if (!g.found || g.huella.empty()) return GratStatus::Missing;
  return g.huella == gratificationInputs(s) ? GratStatus::Current : GratStatus::Outdated;
}

std::string gratificationProblem(const Session& s, GratStatus st) {
  const std::string month = s.MES_CIE.empty() ? "Del Mes " + s.YMES : "De " + s.MES_CIE;
  switch (st) {
    case GratStatus::Missing:
      return "La Gratificacion " + month +
             " No Esta Calculada: Su Impuesto Entra En La Planilla Del Mes. Calcule Primero La Gratificacion";
    case GratStatus::Outdated:
      return "La Gratificacion " + month +
             " Se Calculo Antes De Los Ultimos Cambios De Su Rol O De Sus Datos. Calculela De Nuevo Antes De La "
             "Planilla";
    default: return "";
  }
}

bool askBeforePayroll(Session& s) {
  const std::string problem = gratificationProblem(s, gratificationStatus(s));
  if (problem.empty()) return true;
  return ui::MSGNOYES(s.messages(), problem + ".  Calcula La Planilla De Todos Modos ?", "Mensaje");
}

Status stampGratification(Session& s, const std::string& inputs) {
  PLANILLA_RETURN_IF_ERROR(writeStamp(s, kGratif, [&](Table& t) {
    Status st = t.replace("HUELLA", inputs);
    return st ? t.replace("PENDIENTE", " ") : st;
  }));
  if (!exists(s, TableId::PayrollSoles)) return Status::ok();
  return writeStamp(s, kPayroll, [](Table& t) { return t.replace("PENDIENTE", "S"); });
}

Status stampPayroll(Session& s) {
  // Nothing to record where no gratification can make the payroll pending.
  if (!gratificationMonth(s)) return Status::ok();
  return writeStamp(s, kPayroll, [](Table& t) { return t.replace("PENDIENTE", "N"); });
}

bool payrollPending(Session& s) {
  return exists(s, TableId::PayrollSoles) && readStamp(s, kPayroll).pendiente == "S";
}

}  // namespace planilla::calc
