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

// A value as a message shows it: control characters as "?", at most 20 characters.
std::string shownValue(const std::string& v) {
  std::string out;
  for (char ch : v.substr(0, 20)) out += static_cast<unsigned char>(ch) < 32 ? '?' : ch;
  return "\"" + out + (v.size() > 20 ? "...\"" : "\"");
}

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
  else if (*doc && !validDocumentNumber(**doc, e.person.docNumber))
    missing.push_back({e.code, e.name, "el numero de documento " + shownValue(e.person.docNumber) + " no es valido para el tipo " +
                                           (*doc)->type + " (" + documentRule((*doc)->type) + ")"});
  return missing.size() == before;
}

std::string documentRule(const std::string& type) {
  if (type == "01") return "DNI: 8 digitos";
  if (type == "06") return "RUC: 11 digitos";
  if (type == "04" || type == "07") return "letras y digitos, hasta 12";
  return "letras y digitos, hasta 15";
}

bool validDocumentNumber(const DocConcept& doc, const std::string& number) {
  size_t digits = 0, alnum = 0;
  for (char ch : number) {
    const unsigned char u = static_cast<unsigned char>(ch);
    digits += u >= '0' && u <= '9';
    alnum += (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
  }
  const size_t n = number.size();
  if (n == 0 || alnum != n) return false;
  if (doc.type == "01") return n == 8 && digits == n;
  if (doc.type == "06") return n == 11 && digits == n;
  if (doc.type == "04" || doc.type == "07") return n <= 12;
  return n <= 15;
}

void plameLines(const Employee& e, const Concepts& c, std::string lines[4], std::vector<Missing>& missing) {
  if (e.person.found && paidAsFee(e)) return;
  const DocConcept* doc = nullptr;
  if (!documentOf(e, c, &doc, missing)) return;
  const std::string who = doc->type + "|" + e.person.docNumber + "|";
  std::string& rem = lines[0];
  std::string& jor = lines[1];
  std::string& snl = lines[2];
  std::string& toc = lines[3];

  // Amounts by concept code, both sources summed, in code order.
  std::map<std::string, double> byCode;
  for (const RemConcept& rc : c.rem) {
    const std::optional<ResultRow>& other = rc.source == Source::Gratification ? e.grat : e.settlement;
    const ResultRow* row = rc.source == Source::Payroll ? &e.pay : (other ? &*other : nullptr);
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

Status writePlame(MonthReader& reader, const Month& m, const Concepts& c, const std::string& dir,
                  std::vector<Missing>& missing, std::vector<std::string>* written) {
  checkCompany(m, missing);
  const std::string base = plameBaseName(m);
  // The four names of the set: this month's .toc, when no one has +Vida, is one the
  // set leaves out, so an earlier export's .toc goes with the rest of the old set.
  FileSet set(dir, base, {base + ".rem", base + ".jor", base + ".snl", base + ".toc"});
  PLANILLA_RETURN_IF_ERROR(set.open());
  bool toc = false;
  Employee e;
  while (reader.next(e)) {
    std::string lines[4];
    plameLines(e, c, lines, missing);
    if (!missing.empty()) continue;  // nothing of a set that will not be kept is written
    for (size_t i = 0; i < 4; ++i)
      if (!lines[i].empty()) PLANILLA_RETURN_IF_ERROR(set.write(i, lines[i]));
    toc = toc || !lines[3].empty();
  }
  if (reader.failed()) return Status::ioError("");
  if (!missing.empty()) return Status::ok();
  PLANILLA_RETURN_IF_ERROR(set.commit({true, true, true, toc}));
  if (written)
    for (size_t i = 0; i < (toc ? 4u : 3u); ++i) written->push_back(set.path(i));
  return Status::ok();
}

}  // namespace planilla::exports
