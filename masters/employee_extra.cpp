#include "masters/employee_extra.h"

#include <cctype>
#include <utility>
#include <vector>

#include "masters/maintenance.h"
#include "store/catalog.h"
#include "store/value.h"

namespace planilla::masters {

namespace {

using Member = std::string EmployeeExtra::*;

// Every field of the record and the member holding it: reading and writing walk the
// same list, so a field added to one is added to the other.
const std::vector<std::pair<const char*, Member>>& fieldMembers() {
  static const std::vector<std::pair<const char*, Member>> m = {
      {"CODIGO", &EmployeeExtra::codigo},       {"TIPDOC", &EmployeeExtra::tipdoc},
      {"NUMDOC", &EmployeeExtra::numdoc},       {"PAISEMI", &EmployeeExtra::paisemi},
      {"NACIONAL", &EmployeeExtra::nacional},   {"CELULAR", &EmployeeExtra::celular},
      {"EMAIL", &EmployeeExtra::email},         {"TIPVIA", &EmployeeExtra::tipvia},
      {"NOMVIA", &EmployeeExtra::nomvia},       {"NUMVIA", &EmployeeExtra::numvia},
      {"DEPTO", &EmployeeExtra::depto},         {"INTERIOR", &EmployeeExtra::interior},
      {"MANZANA", &EmployeeExtra::manzana},     {"LOTE", &EmployeeExtra::lote},
      {"KILOMETRO", &EmployeeExtra::kilometro}, {"BLOCK", &EmployeeExtra::block},
      {"ETAPA", &EmployeeExtra::etapa},         {"TIPZONA", &EmployeeExtra::tipzona},
      {"NOMZONA", &EmployeeExtra::nomzona},     {"REFEREN", &EmployeeExtra::referen},
      {"UBIGEO", &EmployeeExtra::ubigeo},       {"ASISTE", &EmployeeExtra::asiste},
      {"REGLAB", &EmployeeExtra::reglab},       {"SITEDU", &EmployeeExtra::sitedu},
      {"OCUPACION", &EmployeeExtra::ocupacion}, {"DISCAPAC", &EmployeeExtra::discapac},
      {"SCTRPEN", &EmployeeExtra::sctrpen},     {"TIPCONT", &EmployeeExtra::tipcont},
      {"JORNALT", &EmployeeExtra::jornalt},     {"JORMAX", &EmployeeExtra::jormax},
      {"NOCTURNO", &EmployeeExtra::nocturno},   {"SINDICATO", &EmployeeExtra::sindicato},
      {"PERIODIC", &EmployeeExtra::periodic},   {"EXON5TA", &EmployeeExtra::exon5ta},
      {"SITESP", &EmployeeExtra::sitesp},       {"TIPPAGO", &EmployeeExtra::tippago},
      {"CATOCUP", &EmployeeExtra::catocup},     {"CONVENIO", &EmployeeExtra::convenio},
      {"REGSAL", &EmployeeExtra::regsal},       {"EPS", &EmployeeExtra::eps},
      {"SCTRSAL", &EmployeeExtra::sctrsal},     {"REGPEN", &EmployeeExtra::regpen},
      {"ESTAB", &EmployeeExtra::estab},         {"EDUTIPO", &EmployeeExtra::edutipo},
      {"EDUPERU", &EmployeeExtra::eduperu},     {"EDUINST", &EmployeeExtra::eduinst},
      {"EDUCARR", &EmployeeExtra::educarr},     {"EDUANO", &EmployeeExtra::eduano},
      {"BANCOSUN", &EmployeeExtra::bancosun},   {"CTANUM", &EmployeeExtra::ctanum},
      {"CTACCI", &EmployeeExtra::ctacci},       {"CTAMON", &EmployeeExtra::ctamon},
      {"MOTBAJA", &EmployeeExtra::motbaja}};
  return m;
}

std::string codeKey(const std::string& codigo) { return padTo(codigo, 10); }

// The check digit of one group of the CCI.
int cciCheck(const std::string& digits) {
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    const int product = (digits[i] - '0') * (i % 2 == 0 ? 1 : 2);
    sum += product / 10 + product % 10;
  }
  return (10 - sum % 10) % 10;
}

}  // namespace

Result<std::unique_ptr<Table>> openEmployeeExtra(Session& s, OpenMode mode) {
  const catalog::TableDef def = s.def(catalog::TableId::EmployeeExtra);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(s.fs(), s.dataDir(), def));
  return catalog::openTable(s.fs(), s.dataDir(), def, mode);
}

bool readEmployeeExtra(Table& t, const std::string& codigo, EmployeeExtra* out) {
  EmployeeExtra e;
  e.codigo = trimRight(codigo);
  const bool found = !e.codigo.empty() && t.seek(codeKey(e.codigo));
  if (found)
    for (const auto& [name, member] : fieldMembers()) e.*member = trimRight(t.str(name));
  if (out) *out = std::move(e);
  return found;
}

Status writeEmployeeExtra(Table& t, const EmployeeExtra& e) {
  if (trimRight(e.codigo).empty()) return Status::invalid("Codigo En Blanco");
  const bool found = t.seek(codeKey(e.codigo));
  RecordEdit edit = found ? RecordEdit::current(t) : RecordEdit::blank(t);
  for (const auto& [name, member] : fieldMembers()) edit.text(name, e.*member);
  Status st = edit.status();
  if (st && found) st = t.lockRecord();
  if (st) st = found ? t.replaceRaw(edit.bytes()) : t.appendRaw(edit.bytes());
  if (st) st = t.flush();
  t.unlockAll();
  return st;
}

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool emailValid(const std::string& email) {
  if (email.empty() || email.size() > 50) return false;
  for (char c : email) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= ' ' || u >= 0x7F || c == '|' || c == ',' || c == ';') return false;
  }
  const size_t at = email.find('@');
  if (at == 0 || at == std::string::npos || email.find('@', at + 1) != std::string::npos) return false;
  const std::string domain = email.substr(at + 1);
  const size_t dot = domain.rfind('.');
  // A name before the last dot and at least two letters after it ("x.pe").
  return dot != std::string::npos && dot > 0 && dot + 3 <= domain.size() && domain.find("..") == std::string::npos;
}

bool mobileValid(const std::string& mobile) { return mobile.size() == 9 && allDigits(mobile) && mobile[0] == '9'; }

bool dniValid(const std::string& dni) { return dni.size() == 8 && allDigits(dni); }

bool documentNumberValid(const std::string& tipdoc, const std::string& numdoc) {
  if (tipdoc == "01") return dniValid(numdoc);
  const size_t most = tipdoc == "04" || tipdoc == "07" ? 12 : 15;
  if (numdoc.empty() || numdoc.size() > most) return false;
  for (char c : numdoc)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

bool cciValid(const std::string& cci) {
  if (cci.size() != 20 || !allDigits(cci)) return false;
  return cciCheck(cci.substr(0, 6)) == cci[18] - '0' && cciCheck(cci.substr(6, 12)) == cci[19] - '0';
}

}  // namespace planilla::masters
