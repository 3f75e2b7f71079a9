#include "exports/plame.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

#include "reports/report_format.h"

namespace planilla::exports {

namespace {

constexpr const char* kEol = "\r\n";

std::string two(int v) { return NUM_CAR(v, 2); }

std::string fixed2(double v) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2f", round2(v));
  return buf;
}

bool paidAsFee(const Employee& e) { return e.person.retri == "2"; }

// Hours with a fraction as whole hours and minutes (6.5 -> 6 h 30 min).
void hoursMinutes(double hours, long& h, long& min) {
  long total = std::lround(hours * 60);
  h = total / 60;
  min = total % 60;
}

}  // namespace

std::string plameBaseName(const Month& m) {
  return "0601" + std::to_string(m.year) + two(m.month) + m.ruc;
}

bool plameAmount(double v, std::string& out) {
  const double r = round2(v);
  if (r < 0 || r >= 10000000.0) return false;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", r);
  out = buf;
  return true;
}

void checkCompany(const Month& m, std::vector<Missing>& missing) {
  bool ok = m.ruc.size() == 11;
  for (char ch : m.ruc) ok = ok && std::isdigit(static_cast<unsigned char>(ch));
  if (!ok) missing.push_back({"", "Empresa " + m.cia, "falta el RUC (11 digitos) en el maestro de instituciones"});
}

bool documentOf(const Employee& e, const Concepts& c, const DocConcept** doc, std::vector<Missing>& missing) {
  const size_t before = missing.size();
  if (!e.person.found) {
    missing.push_back({e.code, e.name, "no esta en el maestro de empleados activos del mes"});
    return false;
  }
  *doc = c.document(e.person.docIden);
  if (e.person.docIden.empty()) missing.push_back({e.code, e.name, "falta el tipo de documento de identidad"});
  else if (!*doc)
    missing.push_back({e.code, e.name,
                       "el tipo de documento " + e.person.docIden + " no tiene equivalencia en " + kConceptsFile});
  if (e.person.docNumber.empty()) missing.push_back({e.code, e.name, "falta el numero de documento (L.Electoral)"});
  return missing.size() == before;
}

std::vector<OutFile> plameFiles(const Month& m, const Concepts& c, std::vector<Missing>& missing) {
  checkCompany(m, missing);
  std::string rem, jor, snl, toc;
  for (const Employee& e : m.employees) {
    if (e.person.found && paidAsFee(e)) continue;
    const DocConcept* doc = nullptr;
    if (!documentOf(e, c, &doc, missing)) continue;
    const std::string who = doc->type + "|" + e.person.docNumber + "|";

    // Amounts by concept code, both sources summed, in code order.
    std::map<std::string, double> byCode;
    for (const RemConcept& rc : c.rem) {
      const ResultRow* row = rc.source == Source::Payroll ? &e.pay : (e.grat ? &*e.grat : nullptr);
      if (row) byCode[rc.code] += row->n(rc.field);
    }
    for (const auto& [code, sum] : byCode) {
      if (round2(sum) == 0) continue;
      std::string a;
      if (!plameAmount(sum, a)) {
        missing.push_back({e.code, e.name, "el importe " + fixed2(sum) + " del concepto " + code +
                                               " no cabe en 7 enteros y 2 decimales o es negativo"});
        continue;
      }
      rem += who + code + "|" + a + "|" + a + "|" + kEol;
    }

    long h = 0, min = 0, oh = 0, omin = 0;
    hoursMinutes(e.pay.n("HORASTRA"), h, min);
    hoursMinutes(e.pay.n("HSIMPLE") + e.pay.n("HDOBLE"), oh, omin);
    if (h > 360 || oh > 360) missing.push_back({e.code, e.name, "las horas del mes exceden 360"});
    else if (h + min + oh + omin > 0)
      jor += who + std::to_string(h) + "|" + std::to_string(min) + "|" + std::to_string(oh) + "|" +
             std::to_string(omin) + "|" + kEol;

    for (const SnlConcept& sc : c.snl) {
      const long days = std::lround(e.pay.n(sc.field));
      if (days <= 0) continue;
      if (days > 31) missing.push_back({e.code, e.name, "los dias de " + sc.field + " exceden 31"});
      else snl += who + sc.type + "|" + std::to_string(days) + "|" + kEol;
    }

    // EsSalud +Vida paid by the worker: the declaration computes the amount itself
    // from this flag. Fields: pension insurance (repealed, 0), +Vida, FDSA (not
    // applicable), domiciled (1).
    if (e.pay.n("ESVIDA") > 0) toc += who + "0|1||1|" + kEol;
  }
  if (!missing.empty()) return {};
  const std::string base = plameBaseName(m);
  std::vector<OutFile> files = {{base + ".rem", rem}, {base + ".jor", jor}, {base + ".snl", snl}};
  if (!toc.empty()) files.push_back({base + ".toc", toc});
  return files;
}

}  // namespace planilla::exports
